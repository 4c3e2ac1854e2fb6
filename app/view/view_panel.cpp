#include "app/view/view_panel.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "app/view/view_model.h"
#include "app/view/view_window.h"
#include "host/core/gradient.h"
#include "host/files/description.h"
#include "host/files/font_catalog.h"
#include "host/scene/execution.h"

namespace vantelle::app {

namespace {

constexpr ImGuiWindowFlags kFixed =
    ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings;

ImVec4 Rgb(float r, float g, float b, float a = 1.0f) {
  return ImVec4(r, g, b, a);
}

std::string Label(const DescParameter& param) {
  const std::string label = param.label.GetStd();
  return label.empty() ? param.name.GetStd() : label;
}

double LimitOr(const std::optional<Float>& limit, double otherwise) {
  return limit ? static_cast<double>(*limit) : otherwise;
}

}  // namespace

ViewPanel::ViewPanel(ViewModel& model, ViewWindow& window) : model_(model), window_(window) {}

void ViewPanel::SetStyle() {
  // The system's sans-serif face reads better than ImGui's bitmap font; without one the
  // built-in font serves.
  if (const std::optional<FontFace> face = GetFontCatalog().DefaultFace()) {
    ImFontConfig config;
    config.OversampleH = 2;
    ImGui::GetIO().Fonts->AddFontFromFileTTF(face->file.GetStd().c_str(), 15.0f, &config);
  }
  ImGui::StyleColorsDark();
  ImGuiStyle& style = ImGui::GetStyle();
  style.WindowRounding = 0.0f;
  style.FrameRounding = 3.0f;
  style.GrabRounding = 3.0f;
  style.PopupRounding = 4.0f;
  style.WindowBorderSize = 0.0f;
  style.FramePadding = ImVec2(7.0f, 4.0f);
  style.ItemSpacing = ImVec2(8.0f, 6.0f);
  style.IndentSpacing = 14.0f;
  ImVec4* c = style.Colors;
  // Quiet greys with one warm accent, as 3D applications dress their panels, so the
  // plot's own colours stand out.
  const ImVec4 accent = Rgb(0.95f, 0.58f, 0.20f);
  c[ImGuiCol_WindowBg] = Rgb(0.165f, 0.17f, 0.185f);
  c[ImGuiCol_PopupBg] = Rgb(0.19f, 0.195f, 0.21f, 0.98f);
  c[ImGuiCol_FrameBg] = Rgb(0.115f, 0.12f, 0.13f);
  c[ImGuiCol_FrameBgHovered] = Rgb(0.24f, 0.245f, 0.26f);
  c[ImGuiCol_FrameBgActive] = Rgb(0.28f, 0.285f, 0.30f);
  c[ImGuiCol_Header] = Rgb(0.25f, 0.255f, 0.27f);
  c[ImGuiCol_HeaderHovered] = Rgb(0.30f, 0.305f, 0.32f);
  c[ImGuiCol_HeaderActive] = Rgb(0.36f, 0.30f, 0.24f);
  c[ImGuiCol_Button] = Rgb(0.26f, 0.265f, 0.28f);
  c[ImGuiCol_ButtonHovered] = Rgb(0.34f, 0.345f, 0.36f);
  c[ImGuiCol_ButtonActive] = Rgb(0.45f, 0.34f, 0.22f);
  c[ImGuiCol_CheckMark] = accent;
  c[ImGuiCol_SliderGrab] = accent;
  c[ImGuiCol_SliderGrabActive] = Rgb(1.0f, 0.7f, 0.35f);
  c[ImGuiCol_TitleBg] = c[ImGuiCol_WindowBg];
  c[ImGuiCol_TitleBgActive] = c[ImGuiCol_WindowBg];
  c[ImGuiCol_Separator] = Rgb(0.26f, 0.265f, 0.28f);
  c[ImGuiCol_Text] = Rgb(0.86f, 0.86f, 0.87f);
  c[ImGuiCol_TextDisabled] = Rgb(0.52f, 0.53f, 0.55f);
  c[ImGuiCol_ModalWindowDimBg] = Rgb(0.0f, 0.0f, 0.0f, 0.45f);
}

void ViewPanel::Draw(int width, int height) {
  // The selected object may have left the document: undone, or remade by its module (labels).
  const std::vector<BaseObject*> objects = CollectObjects(model_.GetDocument());
  if (selected_ == nullptr || std::find(objects.begin(), objects.end(), selected_) == objects.end()) {
    selected_ = model_.GetDocument()->GetFirstObject();
  }
  ImGui::SetNextWindowPos(ImVec2(static_cast<float>(width - kPanelWidth), 0.0f));
  ImGui::SetNextWindowSize(ImVec2(static_cast<float>(kPanelWidth), static_cast<float>(height)));
  ImGui::Begin("Attributes", nullptr, kFixed | ImGuiWindowFlags_NoTitleBar);
  ImGui::TextColored(Rgb(0.95f, 0.58f, 0.20f), "OBJECTS");
  ImGui::BeginChild("##objects", ImVec2(0.0f, 150.0f), true);
  DrawObjects();
  ImGui::EndChild();
  ImGui::Spacing();
  ImGui::TextColored(Rgb(0.95f, 0.58f, 0.20f), "ATTRIBUTES");
  ImGui::BeginChild("##attributes", ImVec2(0.0f, -ImGui::GetFrameHeightWithSpacing()), false);
  DrawAttributes();
  ImGui::EndChild();
  ImGui::TextDisabled("%s", note_.empty() ? "Ctrl+Z undo  Ctrl+S save  Ctrl+E .glb  Ctrl+P picture" : note_.c_str());
  ImGui::End();
  DrawDialogs();
}

void ViewPanel::DrawObjects() {
  // Depth first over the document's objects, with an explicit stack so that no hierarchy
  // can exhaust the call stack.
  struct Item {
    BaseObject* op;
    int depth;
  };
  std::vector<Item> roots;
  for (BaseObject* op = model_.GetDocument()->GetFirstObject(); op != nullptr; op = op->GetNext()) {
    roots.push_back({op, 0});
  }
  std::vector<Item> stack(roots.rbegin(), roots.rend());
  std::vector<Item> order;
  while (!stack.empty()) {
    const Item item = stack.back();
    stack.pop_back();
    order.push_back(item);
    std::vector<Item> children;
    for (BaseObject* child = item.op->GetDown(); child != nullptr; child = child->GetNext()) {
      children.push_back({child, item.depth + 1});
    }
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
  int hiddenBelow = -1;  // the depth of a folded object whose subtree is skipped
  for (const Item& item : order) {
    if (hiddenBelow >= 0 && item.depth > hiddenBelow) {
      continue;
    }
    hiddenBelow = -1;
    ImGui::PushID(item.op);
    bool enabled = item.op->GetDeformMode();
    if (ImGui::Checkbox("##on", &enabled)) {
      Later([this, op = item.op, enabled] { model_.SetEnabled(op, enabled); });
    }
    ImGui::SameLine(0.0f, 4.0f + 16.0f * static_cast<float>(item.depth));
    // Objects with children fold; only the top level is open at first, so the generated
    // label objects do not crowd out the plot.
    if (item.op->GetDown() != nullptr) {
      const bool open = item.depth == 0 ? !folded_.contains(item.op) : unfolded_.contains(item.op);
      if (ImGui::ArrowButton("##fold", open ? ImGuiDir_Down : ImGuiDir_Right)) {
        auto& set = item.depth == 0 ? folded_ : unfolded_;
        if (set.contains(item.op)) {
          set.erase(item.op);
        } else {
          set.insert(item.op);
        }
      }
      if (!open) {
        hiddenBelow = item.depth;
      }
    } else {
      ImGui::Dummy(ImVec2(ImGui::GetFrameHeight(), ImGui::GetFrameHeight()));
    }
    ImGui::SameLine();
    if (!enabled) {
      ImGui::PushStyleColor(ImGuiCol_Text, ImGui::GetStyle().Colors[ImGuiCol_TextDisabled]);
    }
    if (ImGui::Selectable(item.op->GetName().GetStd().c_str(), selected_ == item.op)) {
      selected_ = item.op;
    }
    if (!enabled) {
      ImGui::PopStyleColor();
    }
    ImGui::PopID();
  }
}

void ViewPanel::DrawAttributes() {
  BaseObject* op = selected_;
  Description description;
  if (op == nullptr || !op->GetDescription(&description)) {
    ImGui::TextDisabled("Nothing selected");
    return;
  }
  ImGui::TextDisabled("%s", description.GetResource().typeName.GetStd().c_str());
  std::string group = "\x01";
  bool open = true;
  static std::string active;  // the field being dragged or typed into, as "object/id"
  for (const DescParameter& param : description.GetResource().parameters) {
    if (param.hide) {
      continue;
    }
    if (param.group.GetStd() != group) {
      group = param.group.GetStd();
      open = ImGui::CollapsingHeader(group.empty() ? "Object" : group.c_str(), ImGuiTreeNodeFlags_DefaultOpen);
    }
    if (!open) {
      continue;
    }
    ImGui::PushID(param.id);
    const DescID id(param.id);
    GeData value;
    op->GetParameter(id, value);
    const bool enabled = op->GetEnabling(id);
    ImGui::BeginDisabled(!enabled);
    const std::string label = Label(param);
    const std::string key = std::to_string(reinterpret_cast<std::uintptr_t>(op)) + "/" + std::to_string(param.id);
    const bool continued = active == key;
    const Int32 pid = param.id;
    const auto edited = [&](const GeData& v) {
      Later([this, op, pid, v, continued] { model_.EditParameter(op, pid, v, continued); });
      active = key;
    };
    if (param.type != DescParamType::BUTTON && param.type != DescParamType::GRADIENT) {
      ImGui::AlignTextToFramePadding();
      ImGui::TextUnformatted(label.c_str());
      ImGui::SameLine(132.0f);
      ImGui::SetNextItemWidth(-1.0f);
    }
    switch (param.type) {
      case DescParamType::INT32:
        if (!param.popup.empty()) {
          const Int32 current = value.GetInt32();
          std::string shown = param.command ? "Choose..." : std::to_string(current);
          for (const DescPopupEntry& entry : param.popup) {
            if (entry.value == current && !param.command) {
              shown = entry.label.GetStd();
            }
          }
          if (ImGui::BeginCombo("##v", shown.c_str())) {
            for (const DescPopupEntry& entry : param.popup) {
              if (ImGui::Selectable(entry.label.GetStd().c_str(), entry.value == current && !param.command)) {
                // A command popup acts each time, even on the same entry.
                const Int32 chosen = entry.value;
                const bool again = param.command && value.GetInt32() == entry.value;
                Later([this, op, pid, chosen, again] {
                  model_.EditParameter(op, pid, GeData(chosen));
                  if (again) {
                    model_.PressButton(op, pid);
                  }
                });
              }
            }
            ImGui::EndCombo();
          }
        } else {
          int v = value.GetInt32();
          const int lo = static_cast<int>(LimitOr(param.min, std::numeric_limits<int>::min()));
          const int hi = static_cast<int>(LimitOr(param.max, std::numeric_limits<int>::max()));
          if (ImGui::DragInt("##v", &v, 0.2f, lo, hi, "%d", ImGuiSliderFlags_AlwaysClamp)) {
            edited(GeData(static_cast<Int32>(std::clamp(v, lo, hi))));
          }
        }
        break;
      case DescParamType::FLOAT: {
        double v = value.GetFloat();
        const double lo = LimitOr(param.min, -1e300);
        const double hi = LimitOr(param.max, 1e300);
        const float speed = static_cast<float>(std::max(std::abs(v) * 0.005, 0.01));
        if (ImGui::DragScalar("##v", ImGuiDataType_Double, &v, speed, &lo, &hi, "%.4g", ImGuiSliderFlags_AlwaysClamp)) {
          edited(GeData(std::clamp(v, lo, hi)));
        }
        break;
      }
      case DescParamType::BOOL: {
        bool v = value.GetBool();
        if (ImGui::Checkbox("##v", &v)) {
          edited(GeData(Bool(v)));
        }
        break;
      }
      case DescParamType::STRING: {
        char text[4096] = {};
        const std::string current = value.GetString().GetStd();
        std::snprintf(text, sizeof(text), "%s", current.c_str());
        // Applied when typing ends, so the plot is not re-sampled at every keystroke.
        ImGui::InputText("##v", text, sizeof(text));
        if (ImGui::IsItemDeactivatedAfterEdit() && current != text) {
          edited(GeData(String(text)));
        }
        break;
      }
      case DescParamType::VECTOR: {
        const Vector v0 = value.GetVector();
        double v[3] = {v0.x, v0.y, v0.z};
        if (ImGui::DragScalarN("##v", ImGuiDataType_Double, v, 3, 0.5f, nullptr, nullptr, "%.3g")) {
          edited(GeData(Vector(v[0], v[1], v[2])));
        }
        break;
      }
      case DescParamType::COLOR: {
        const Vector c = value.GetVector();
        float rgb[3] = {static_cast<float>(c.x), static_cast<float>(c.y), static_cast<float>(c.z)};
        if (ImGui::ColorEdit3("##v", rgb, ImGuiColorEditFlags_Float)) {
          edited(GeData(Vector(rgb[0], rgb[1], rgb[2])));
        }
        break;
      }
      case DescParamType::GRADIENT: {
        const Gradient* gradient = static_cast<const GeData&>(value).GetCustomData<Gradient>();
        ImGui::TextUnformatted(label.c_str());
        if (gradient == nullptr) {
          break;
        }
        // A strip of the gradient, then each knot's colour and position.
        const ImVec2 at = ImGui::GetCursorScreenPos();
        const float stripWidth = ImGui::GetContentRegionAvail().x;
        ImDrawList* draw = ImGui::GetWindowDrawList();
        constexpr int kSteps = 64;
        for (int i = 0; i < kSteps; ++i) {
          const Vector c = gradient->GetColorAt((i + 0.5) / kSteps);
          const float x0 = at.x + stripWidth * static_cast<float>(i) / kSteps;
          const float x1 = at.x + stripWidth * static_cast<float>(i + 1) / kSteps + 1.0f;
          draw->AddRectFilled(ImVec2(x0, at.y), ImVec2(x1, at.y + 16.0f),
                              ImGui::ColorConvertFloat4ToU32(ImVec4(static_cast<float>(c.x), static_cast<float>(c.y),
                                                                    static_cast<float>(c.z), 1.0f)));
        }
        ImGui::Dummy(ImVec2(stripWidth, 18.0f));
        for (Int32 k = 0; k < gradient->GetKnotCount(); ++k) {
          ImGui::PushID(k);
          GradientKnot knot = gradient->GetKnot(k);
          float rgb[3] = {static_cast<float>(knot.col.x), static_cast<float>(knot.col.y),
                          static_cast<float>(knot.col.z)};
          double pos = knot.pos;
          const double lo = 0.0, hi = 1.0;
          bool changed = ImGui::ColorEdit3("##c", rgb, ImGuiColorEditFlags_NoInputs | ImGuiColorEditFlags_Float);
          ImGui::SameLine();
          // A gradient keeps at least one knot.
          ImGui::BeginDisabled(gradient->GetKnotCount() <= 1);
          if (ImGui::Button("-")) {
            Later([this, op, pid, k] { model_.RemoveGradientKnot(op, pid, k); });
          }
          ImGui::EndDisabled();
          ImGui::SameLine();
          ImGui::SetNextItemWidth(-1.0f);
          changed |= ImGui::SliderScalar("##p", ImGuiDataType_Double, &pos, &lo, &hi, "knot at %.3f");
          if (changed) {
            std::unique_ptr<CustomDataType> copy = gradient->Clone();
            auto* edit = static_cast<Gradient*>(copy.get());
            knot.col = Vector(rgb[0], rgb[1], rgb[2]);
            knot.pos = std::clamp(pos, 0.0, 1.0);
            edit->SetKnot(k, knot);
            edited(GeData(*edit));
          }
          ImGui::PopID();
        }
        if (ImGui::Button("Add knot", ImVec2(-1.0f, 0.0f))) {
          Later([this, op, pid] { model_.AddGradientKnot(op, pid); });
        }
        break;
      }
      case DescParamType::FONT: ImGui::TextDisabled("(font)"); break;
      case DescParamType::BUTTON:
        if (ImGui::Button(label.c_str(), ImVec2(-1.0f, 0.0f))) {
          Later([this, op, pid] { model_.PressButton(op, pid); });
        }
        break;
    }
    if (ImGui::IsItemDeactivated()) {
      active.clear();
    }
    ImGui::EndDisabled();
    ImGui::PopID();
  }
}

void ViewPanel::RunLater() {
  std::vector<std::function<void()>> actions;
  actions.swap(later_);
  for (const auto& action : actions) {
    action();
  }
}

bool ViewPanel::Ask(const std::string& question) {
  lastQuestion_ = question;
  if (presetAnswer_) {
    return *presetAnswer_;
  }
  question_ = question;
  answer_.reset();
  // The module waits for its answer: the window keeps drawing, but nothing else happens
  // to the document until the question is answered.
  while (!answer_ && !window_.IsClosed()) {
    window_.RunModalFrame();
  }
  question_.clear();
  return answer_.value_or(false);
}

void ViewPanel::Tell(const std::string& text) {
  lastMessage_ = text;
  message_ = text;
}

void ViewPanel::AskFileName(FileJob job) {
  fileJob_ = job;
  const char* name = job == FileJob::SAVE ? "scene.json" : job == FileJob::EXPORT ? "plot.glb" : "view.png";
  std::snprintf(fileName_, sizeof(fileName_), "%s", name);
}

void ViewPanel::DrawDialogs() {
  const ImVec2 centre = ImGui::GetMainViewport()->GetCenter();
  const auto modal = [&](const char* title, bool wanted) {
    if (wanted && !ImGui::IsPopupOpen(title)) {
      ImGui::OpenPopup(title);
    }
    ImGui::SetNextWindowPos(centre, ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSizeConstraints(ImVec2(320.0f, 0.0f), ImVec2(560.0f, 600.0f));
    return ImGui::BeginPopupModal(title, nullptr, ImGuiWindowFlags_AlwaysAutoResize);
  };
  if (modal("Question", !question_.empty())) {
    ImGui::TextWrapped("%s", question_.c_str());
    if (ImGui::Button("Yes", ImVec2(100.0f, 0.0f))) {
      answer_ = true;
      ImGui::CloseCurrentPopup();
    }
    ImGui::SameLine();
    if (ImGui::Button("No", ImVec2(100.0f, 0.0f))) {
      answer_ = false;
      ImGui::CloseCurrentPopup();
    }
    ImGui::EndPopup();
  }
  if (modal("Info", !message_.empty())) {
    ImGui::TextWrapped("%s", message_.c_str());
    if (ImGui::Button("OK", ImVec2(100.0f, 0.0f))) {
      message_.clear();
      ImGui::CloseCurrentPopup();
    }
    ImGui::EndPopup();
  }
  const char* fileTitle = fileJob_ == FileJob::SAVE      ? "Save scene"
                          : fileJob_ == FileJob::EXPORT  ? "Export glTF"
                                                         : "Save picture";
  if (modal(fileTitle, fileJob_ != FileJob::NONE)) {
    ImGui::TextUnformatted("File");
    ImGui::SetNextItemWidth(420.0f);
    const bool enter = ImGui::InputText("##file", fileName_, sizeof(fileName_), ImGuiInputTextFlags_EnterReturnsTrue);
    if (ImGui::Button("OK", ImVec2(100.0f, 0.0f)) || enter) {
      const FileJob job = fileJob_;
      fileJob_ = FileJob::NONE;
      ImGui::CloseCurrentPopup();
      try {
        switch (job) {
          case FileJob::SAVE:
            model_.Save(fileName_);
            break;
          case FileJob::EXPORT: window_.ExportGlb(fileName_); break;
          case FileJob::PICTURE: window_.SavePicture(fileName_); break;
          case FileJob::NONE: break;
        }
        note_ = std::string("Wrote ") + fileName_;
      } catch (const std::exception& e) {
        Tell(e.what());
      }
    }
    ImGui::SameLine();
    if (ImGui::Button("Cancel", ImVec2(100.0f, 0.0f))) {
      fileJob_ = FileJob::NONE;
      ImGui::CloseCurrentPopup();
    }
    ImGui::EndPopup();
  }
  if (modal("Unsaved changes", askingToClose_)) {
    ImGui::TextUnformatted("The scene has changes that are not saved. Save them before closing?");
    if (ImGui::Button("Save", ImVec2(100.0f, 0.0f))) {
      ImGui::CloseCurrentPopup();
      window_.AnswerClose(ViewWindow::CloseAnswer::SAVE);
    }
    ImGui::SameLine();
    if (ImGui::Button("Don't save", ImVec2(100.0f, 0.0f))) {
      ImGui::CloseCurrentPopup();
      window_.AnswerClose(ViewWindow::CloseAnswer::DISCARD);
    }
    ImGui::SameLine();
    if (ImGui::Button("Cancel", ImVec2(100.0f, 0.0f))) {
      ImGui::CloseCurrentPopup();
      window_.AnswerClose(ViewWindow::CloseAnswer::CANCEL);
    }
    ImGui::EndPopup();
  }
}

}  // namespace vantelle::app
