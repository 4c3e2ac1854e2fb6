#include "app/view/view_script.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <cmath>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include "app/app_error.h"
#include "app/view/view_panel.h"
#include "app/view/view_window.h"
#include "host/core/formula.h"
#include "host/files/parameter_text.h"
#include "host/files/scene_file.h"
#include "host/scene/execution.h"
#include "host/ui/base_draw.h"

namespace vantelle::app {

namespace {

// Mouse steps of a scripted drag, so the handle passes through the way as under a hand.
constexpr int kDragSteps = 6;

struct ScriptError {
  std::string message;
};

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  std::string word;
  while (in >> word) {
    words.push_back(word);
  }
  return words;
}

double Number(const std::string& text) {
  try {
    std::size_t used = 0;
    const double value = std::stod(text, &used);
    if (used == text.size() && std::isfinite(value)) {
      return value;
    }
  } catch (const std::exception&) {
  }
  throw ScriptError{"\"" + text + "\" is not a number"};
}

// "NAME = TEXT" after the verb: the name and everything after the '=' trimmed.
std::pair<std::string, std::string> Assignment(const std::string& rest) {
  const std::size_t eq = rest.find('=');
  if (eq == std::string::npos) {
    throw ScriptError{"expected NAME = VALUE"};
  }
  const auto trim = [](std::string s) {
    const std::size_t first = s.find_first_not_of(" \t");
    const std::size_t last = s.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
  };
  return {trim(rest.substr(0, eq)), trim(rest.substr(eq + 1))};
}

class Runner {
public:
  Runner(ViewWindow& window, ViewModel& model)
      : window_(window), model_(model), evaluationsSeen_(model.Status().evaluations) {}

  void Line(const std::string& line) {
    const std::vector<std::string> w = Words(line);
    if (w.empty() || w[0][0] == '#') {
      return;
    }
    const std::string& verb = w[0];
    const std::string rest = line.substr(line.find(verb) + verb.size());
    if (verb == "hover") {
      Hover(w);
    } else if (verb == "drag" && w.size() == 7 && w[1] == "handle" && w[3] == "to") {
      Drag(Handle(w[2]), Vector(Number(w[4]), Number(w[5]), Number(w[6])));
    } else if (verb == "orbit" && w.size() == 3) {
      MouseGesture(GLFW_MOUSE_BUTTON_LEFT, 0, Number(w[1]), Number(w[2]));
    } else if (verb == "pan" && w.size() == 3) {
      MouseGesture(GLFW_MOUSE_BUTTON_MIDDLE, 0, Number(w[1]), Number(w[2]));
    } else if (verb == "zoom" && w.size() == 2) {
      window_.OnScroll(Number(w[1]));
    } else if (verb == "key" && w.size() == 2) {
      Key(w[1]);
    } else if (verb == "edit") {
      const auto [name, text] = Assignment(rest);
      model_.EditParameterText(Owner(name), name, text);
    } else if (verb == "press" && w.size() == 2) {
      BaseObject* op = Owner(w[1]);
      model_.PressButton(op, ParameterOf(op, w[1]).id);
    } else if (verb == "answer" && w.size() == 2 && (w[1] == "yes" || w[1] == "no")) {
      window_.Panel().SetAnswer(w[1] == "yes");
    } else if (verb == "frame" && w.size() == 2) {
      model_.SetFrame(static_cast<Int32>(Number(w[1])));
    } else if (verb == "save" && w.size() == 2) {
      model_.SetSceneFile(w[1]);
      Key("ctrl+s");
    } else if (verb == "picture" && w.size() == 2) {
      window_.SavePicture(w[1]);
    } else if (verb == "screenshot" && w.size() == 2) {
      window_.SaveScreenshot(w[1]);
    } else if (verb == "select" && w.size() == 2) {
      Select(w[1]);
    } else if (verb == "export" && w.size() == 2) {
      window_.ExportGlb(w[1]);
    } else if (verb == "close" && w.size() == 1) {
      window_.RequestClose();
    } else if (verb == "answer-close" && w.size() == 2) {
      window_.AnswerClose(w[1] == "save"      ? ViewWindow::CloseAnswer::SAVE
                          : w[1] == "discard" ? ViewWindow::CloseAnswer::DISCARD
                                              : ViewWindow::CloseAnswer::CANCEL);
    } else if (verb == "expect" && w.size() >= 2) {
      Expect(w, rest);
      return;
    } else {
      throw ScriptError{"cannot read \"" + line + "\""};
    }
    if (!window_.IsClosed()) {
      window_.RunFrame();
    }
  }

  int Failures() const { return failures_; }
  void SetPlace(const std::string& place) { place_ = place; }

private:
  BaseObject* FirstPlot() {
    for (BaseObject* op : CollectObjects(model_.GetDocument())) {
      if (op->GetObjectData() != nullptr && op->GetObjectData()->GetHandleCount(op) > 0) {
        return op;
      }
    }
    throw ScriptError{"the document has no object with handles"};
  }

  HandleRef Handle(const std::string& index) {
    return {FirstPlot(), static_cast<Int32>(Number(index))};
  }

  Vector OnScreen(const HandleRef& handle) {
    const std::optional<Vector> p = model_.HandleOnScreen(handle);
    if (!p) {
      throw ScriptError{"handle " + std::to_string(handle.index) + " is not in view"};
    }
    return *p;
  }

  void Hover(const std::vector<std::string>& w) {
    if (w.size() == 2 && w[1] == "none") {
      // A corner of the scene, far from any handle.
      window_.OnCursor(2.0, 2.0);
    } else if (w.size() == 3 && w[1] == "handle") {
      const Vector p = OnScreen(Handle(w[2]));
      window_.OnCursor(p.x, p.y);
    } else {
      throw ScriptError{"expected hover handle N or hover none"};
    }
  }

  void Drag(const HandleRef& handle, const Vector& target) {
    const Vector from = OnScreen(handle);
    const Vector to = model_.GetCamera().Project(handle.object->GetMg() * target);
    window_.OnCursor(from.x, from.y);
    window_.OnButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 0);
    for (int step = 1; step <= kDragSteps; ++step) {
      const double t = static_cast<double>(step) / kDragSteps;
      window_.OnCursor(from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t);
      window_.RunFrame();
    }
    window_.OnButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 0);
  }

  void MouseGesture(int button, int mods, double dx, double dy) {
    // From the middle of the scene's top edge, where the plot is not.
    const double x = model_.Width() * 0.5;
    const double y = 3.0;
    window_.OnCursor(x, y);
    window_.OnButton(button, GLFW_PRESS, mods);
    window_.OnCursor(x + dx, y + dy);
    window_.OnButton(button, GLFW_RELEASE, mods);
  }

  void Key(const std::string& chord) {
    int mods = 0;
    std::string key = chord;
    for (std::size_t plus; (plus = key.find('+')) != std::string::npos; key = key.substr(plus + 1)) {
      const std::string mod = key.substr(0, plus);
      if (mod == "ctrl") {
        mods |= GLFW_MOD_CONTROL;
      } else if (mod == "shift") {
        mods |= GLFW_MOD_SHIFT;
      } else {
        throw ScriptError{"unknown modifier " + mod};
      }
    }
    int code = GLFW_KEY_UNKNOWN;
    if (key.size() == 1 && key[0] >= 'a' && key[0] <= 'z') {
      code = GLFW_KEY_A + (key[0] - 'a');
    } else if (key.size() == 2 && key[0] == 'f' && key[1] >= '1' && key[1] <= '9') {
      code = GLFW_KEY_F1 + (key[1] - '1');
    } else if (key == "space") {
      code = GLFW_KEY_SPACE;
    } else {
      throw ScriptError{"unknown key " + key};
    }
    window_.OnKey(code, GLFW_PRESS, mods);
    window_.OnKey(code, GLFW_RELEASE, mods);
  }

  const DescParameter& ParameterOf(BaseObject* op, const std::string& name) {
    description_ = Description();
    op->GetDescription(&description_);
    const DescParameter* param = description_.GetResource().FindByName(name);
    if (param == nullptr) {
      throw ScriptError{"no parameter " + name};
    }
    return *param;
  }

  BaseObject* Owner(const std::string& name) {
    for (BaseObject* op : CollectObjects(model_.GetDocument())) {
      Description description;
      if (op->GetDescription(&description) && description.GetResource().FindByName(name) != nullptr) {
        return op;
      }
    }
    throw ScriptError{"no object has a parameter " + name};
  }

  void Select(const std::string& name) {
    for (BaseObject* op : CollectObjects(model_.GetDocument())) {
      if (op->GetName().GetStd() == name) {
        window_.Panel().Select(op);
        return;
      }
    }
    throw ScriptError{"no object called " + name};
  }

  void Fail(const std::string& message) {
    std::cerr << place_ << ": " << message << '\n';
    ++failures_;
  }

  void Expect(const std::vector<std::string>& w, const std::string& rest) {
    const std::string& what = w[1];
    if (what == "highlight" && w.size() == 3) {
      ExpectHighlight(w[2]);
    } else if (what == "evaluations" && w.size() == 3) {
      const Int64 now = model_.Status().evaluations;
      const auto wanted = static_cast<Int64>(Number(w[2]));
      if (now - evaluationsSeen_ != wanted) {
        Fail("expected " + std::to_string(wanted) + " formula evaluations, got " +
             std::to_string(now - evaluationsSeen_));
      }
      evaluationsSeen_ = now;
    } else if (what == "samples" && w.size() == 3) {
      if (model_.Status().samples != static_cast<Int64>(Number(w[2]))) {
        Fail("expected " + w[2] + " samples, got " + std::to_string(model_.Status().samples));
      }
    } else if (what == "question" && w.size() == 2) {
      if (window_.Panel().LastQuestion().empty()) {
        Fail("expected a question from the module");
      }
      window_.Panel().SetAnswer(window_.Panel().LastQuestion().empty() ? std::nullopt : std::optional<bool>(false));
    } else if (what == "saved-picture" && w.size() == 3) {
      ExpectSavedPicture(w[2]);
    } else if (what == "asking-to-close" && w.size() == 2) {
      if (!window_.IsAskingToClose()) Fail("expected the close question");
    } else if (what == "closed" && w.size() == 2) {
      if (!window_.IsClosed()) Fail("expected the window to be closed");
    } else if (what == "unsaved" && w.size() == 2) {
      if (!model_.HasUnsavedChanges()) Fail("expected unsaved changes");
    } else if (what == "saved" && w.size() == 2) {
      if (model_.HasUnsavedChanges()) Fail("expected no unsaved changes");
    } else {
      const auto [name, text] = Assignment(rest.substr(rest.find(what)));
      ExpectParameter(name, text);
    }
  }

  void ExpectParameter(const std::string& name, const std::string& text) {
    BaseObject* op = Owner(name);
    const DescParameter& param = ParameterOf(op, name);
    GeData value;
    op->GetParameter(DescID(param.id), value);
    const std::string shown = FormatParameterValue(param, value);
    if (param.type == DescParamType::FLOAT) {
      const double wanted = Number(text);
      if (std::abs(value.GetFloat() - wanted) > 1e-6 * std::max(1.0, std::abs(wanted))) {
        Fail("expected " + name + " = " + text + ", got " + shown);
      }
      return;
    }
    String error;
    const std::optional<GeData> wanted = ParseParameterValue(param, text, &error);
    if (!wanted) {
      throw ScriptError{error.GetStd()};
    }
    if (!(*wanted == value)) {
      Fail("expected " + name + " = " + text + ", got " + shown);
    }
  }

  void ExpectHighlight(const std::string& which) {
    const std::optional<HandleRef> hover = model_.GetHover();
    if (which == "none") {
      if (hover) Fail("expected no highlighted handle, got handle " + std::to_string(hover->index));
      return;
    }
    const HandleRef handle = Handle(which);
    if (!hover || !(*hover == handle)) {
      Fail("expected handle " + which + " under the cursor");
      return;
    }
    // The host answers the plot's question, and the plot draws the handle in the colour
    // for it: look at the pixel the handle covers.
    const Vector p = OnScreen(handle);
    const int x = static_cast<int>(p.x);
    const int y = window_.SceneHeight() - 1 - static_cast<int>(p.y);
    const std::vector<unsigned char>& pixels = window_.ScenePixels();
    const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(window_.SceneWidth()) +
                            static_cast<std::size_t>(x)) * 4;
    const Vector wanted = GetViewColor(VIEWCOLOR_SELECTION_PREVIEW) * 255.0;
    const double got[3] = {static_cast<double>(pixels[at]), static_cast<double>(pixels[at + 1]),
                           static_cast<double>(pixels[at + 2])};
    if (std::abs(got[0] - wanted.x) > 2.0 || std::abs(got[1] - wanted.y) > 2.0 || std::abs(got[2] - wanted.z) > 2.0) {
      Fail("handle " + which + " is not drawn in the highlight colour: pixel (" + std::to_string(x) + ", " +
           std::to_string(y) + ") is " + std::to_string(static_cast<int>(got[0])) + " " +
           std::to_string(static_cast<int>(got[1])) + " " + std::to_string(static_cast<int>(got[2])));
    }
  }

  void ExpectSavedPicture(const std::string& file) {
    if (model_.GetHover()) {
      throw ScriptError{"hover none first: the saved scene has no cursor"};
    }
    SceneError error;
    BaseDocument* doc = LoadScene(Filename(String(file)), &error);
    if (doc == nullptr) {
      Fail(error.Format().GetStd());
      return;
    }
    const std::vector<unsigned char> shown = window_.ScenePixels();
    doc->SetTime(model_.GetDocument()->GetTime());
    ExecutePasses(doc);
    const std::vector<unsigned char> saved = window_.DrawDocument(doc);
    BaseDocument::Free(doc);
    std::size_t differing = 0;
    for (std::size_t i = 0; i < saved.size() && i < shown.size(); ++i) {
      differing += saved[i] != shown[i] ? 1 : 0;
    }
    if (saved.size() != shown.size() || differing > 0) {
      Fail("the saved scene draws differently from the view: " + std::to_string(differing) + " of " +
           std::to_string(shown.size()) + " channel values differ");
    }
  }

  ViewWindow& window_;
  ViewModel& model_;
  Description description_;
  Int64 evaluationsSeen_ = 0;
  int failures_ = 0;
  std::string place_;
};

}  // namespace

int RunViewScript(ViewWindow& window, ViewModel& model, const std::string& file) {
  std::ifstream in(file);
  if (!in) {
    throw BadInput("cannot read the script " + file);
  }
  window.RunFrame();
  Runner runner(window, model);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    runner.SetPlace(file + ":" + std::to_string(number));
    try {
      runner.Line(line);
    } catch (const ScriptError& e) {
      std::cerr << file << ":" << number << ": " << e.message << '\n';
      return runner.Failures() + 1;
    } catch (const AppError& e) {
      std::cerr << file << ":" << number << ": " << e.what() << '\n';
      return runner.Failures() + 1;
    }
  }
  return runner.Failures();
}

}  // namespace vantelle::app
