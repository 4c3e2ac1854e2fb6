#include "app/view/view_window.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <imgui.h>

#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>
#include <dlfcn.h>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/app_error.h"
#include "app/gltf_export.h"
#include "app/render/framebuffer.h"
#include "app/render/picture.h"
#include "app/render/viewport_renderer.h"
#include "app/view/view_panel.h"
#include "host/ui/dialogs.h"

namespace vantelle::app {

namespace {

ViewWindow& Owner(GLFWwindow* window) {
  return *static_cast<ViewWindow*>(glfwGetWindowUserPointer(window));
}

// GLFW reports its errors through a callback; the last one explains a failed call.
std::string& LastGlfwError() {
  static std::string error;
  return error;
}

void WriteBytes(const std::string& file, const std::vector<unsigned char>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) {
    throw Failure("cannot write " + file);
  }
}

void KeepGlfwError(int /*code*/, const char* description) {
  LastGlfwError() = description != nullptr ? description : "";
}

}  // namespace

ViewWindow::ViewWindow(ViewModel& model, int width, int height, const std::string& title)
    : model_(model), gl_(std::make_unique<GlFunctions>()), panel_(std::make_unique<ViewPanel>(model, *this)) {
  glfwSetErrorCallback(KeepGlfwError);
  if (glfwInit() != GLFW_TRUE) {
    throw Failure("cannot open a window: " + LastGlfwError());
  }
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_DEPTH_BITS, 24);
  window_ = glfwCreateWindow(width, height, title.c_str(), nullptr, nullptr);
  if (window_ == nullptr) {
    const std::string error = LastGlfwError();
    glfwTerminate();
    throw Failure("cannot open a window with OpenGL 3.3: " + error);
  }
  glfwSetWindowUserPointer(window_, this);
  glfwMakeContextCurrent(window_);
  // The OpenGL libraries GLFW opened stay loaded after it closes them: the driver keeps
  // memory to the end (names of its own), and a sanitizer tells it from ours only while
  // it can still name the library it came from.
  for (const char* library : {"libGL.so.1", "libGLX.so.0", "libGLX_mesa.so.0", "libgallium_dri.so", "swrast_dri.so"}) {
    dlopen(library, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
  }
  glfwSwapInterval(0);
  std::string missing;
  if (!gl_->Load([](const char* name) { return reinterpret_cast<GlFunctions::Proc>(glfwGetProcAddress(name)); },
                 missing)) {
    glfwDestroyWindow(window_);
    glfwTerminate();
    throw Failure("cannot draw the view: OpenGL lacks " + missing);
  }
  try {
    renderer_ = std::make_unique<ViewportRenderer>(*gl_);
  } catch (...) {
    glfwDestroyWindow(window_);
    glfwTerminate();
    throw;
  }

  // Ours first: ImGui's backend calls them after its own.
  glfwSetCursorPosCallback(window_, [](GLFWwindow* w, double x, double y) { Owner(w).OnCursor(x, y); });
  glfwSetMouseButtonCallback(window_,
                             [](GLFWwindow* w, int button, int action, int mods) { Owner(w).OnButton(button, action, mods); });
  glfwSetScrollCallback(window_, [](GLFWwindow* w, double /*dx*/, double dy) { Owner(w).OnScroll(dy); });
  glfwSetKeyCallback(window_, [](GLFWwindow* w, int key, int /*scancode*/, int action, int mods) {
    Owner(w).OnKey(key, action, mods);
  });
  glfwSetWindowCloseCallback(window_, [](GLFWwindow* w) {
    glfwSetWindowShouldClose(w, GLFW_FALSE);
    Owner(w).RequestClose();
  });

  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGui::GetIO().IniFilename = nullptr;  // the layout is fixed; nothing to remember
  ViewPanel::SetStyle();
  ImGui_ImplGlfw_InitForOpenGL(window_, true);
  ImGui_ImplOpenGL3_Init("#version 330 core");
  imgui_ = true;

  // The module's questions and messages become the panel's dialogs.
  SetQuestionHandler([this](const String& question) -> Bool { return panel_->Ask(question.GetStd()); });
  SetMessageHandler([this](const String& text) { panel_->Tell(text.GetStd()); });
  Layout();
}

ViewWindow::~ViewWindow() {
  SetQuestionHandler(nullptr);
  SetMessageHandler(nullptr);
  glfwMakeContextCurrent(window_);
  if (imgui_) {
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext();
  }
  // The OpenGL objects go while the context is still there.
  sceneBuffer_.reset();
  renderer_.reset();
  glfwDestroyWindow(window_);
  glfwTerminate();
}

void ViewWindow::Layout() {
  int width = 0, height = 0;
  glfwGetFramebufferSize(window_, &width, &height);
  const int sceneWidth = std::max(width - kPanelWidth, 16);
  const int sceneHeight = std::max(height - kBarHeight, 16);
  if (sceneBuffer_ == nullptr || sceneBuffer_->Width() != sceneWidth || sceneBuffer_->Height() != sceneHeight) {
    sceneBuffer_.reset();
    sceneBuffer_ = std::make_unique<Framebuffer>(*gl_, sceneWidth, sceneHeight);
    model_.Resize(sceneWidth, sceneHeight);
  }
}

void ViewWindow::Run() {
  while (!closed_) {
    // Idle until something happens, unless the timeline plays.
    if (playing_) {
      glfwPollEvents();
    } else {
      glfwWaitEventsTimeout(0.25);
    }
    RunFrame();
  }
}

void ViewWindow::Play(double now) {
  if (!playing_) {
    return;
  }
  const Int32 first = model_.FirstFrame();
  const Int32 fps0 = model_.GetDocument()->GetFps();
  const Int32 last = model_.LastFrame() > first ? model_.LastFrame() : first + 3 * fps0;
  const Int32 fps = model_.GetDocument()->GetFps();
  const Int32 span = std::max(last - first + 1, 1);
  const auto advanced = static_cast<Int32>(std::floor((now - playStart_) * fps));
  model_.SetFrame(first + (playFirstFrame_ - first + advanced) % span);
}

void ViewWindow::RunFrame() {
  Frame(false);
}

void ViewWindow::RunModalFrame() {
  modal_ = true;
  glfwWaitEventsTimeout(0.1);
  Frame(true);
  modal_ = false;
}

void ViewWindow::Frame(bool modal) {
  glfwMakeContextCurrent(window_);
  if (!modal) {
    Play(glfwGetTime());
    Layout();
    model_.Update();
  }
  DrawScene(modal);

  int width = 0, height = 0;
  glfwGetFramebufferSize(window_, &width, &height);
  gl_->Viewport(0, 0, width, height);
  ImGui_ImplOpenGL3_NewFrame();
  ImGui_ImplGlfw_NewFrame();
  ImGui::NewFrame();
  panel_->Draw(width, height);
  DrawBar();
  ImGui::Render();
  ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
  if (!screenshotFile_.empty()) {
    const std::string file = std::move(screenshotFile_);
    screenshotFile_.clear();
    std::vector<unsigned char> rgba(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    gl_->PixelStorei(GL_PACK_ALIGNMENT, 1);
    gl_->ReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::size_t from = (static_cast<std::size_t>(height - 1 - y) * width + x) * 4;
        const std::size_t to = (static_cast<std::size_t>(y) * width + x) * 3;
        std::copy_n(rgba.begin() + static_cast<std::ptrdiff_t>(from), 3, picture.rgb.begin() + static_cast<std::ptrdiff_t>(to));
      }
    }
    WriteBytes(file, EncodePng(picture));
  }
  glfwSwapBuffers(window_);
  if (!modal) {
    panel_->RunLater();
  }
}

void ViewWindow::DrawScene(bool modal) {
  if (!modal) {
    if (uploaded_ != model_.SceneVersion()) {
      renderer_->Upload(model_.Scene());
      uploaded_ = model_.SceneVersion();
    }
    sceneBuffer_->Bind();
    renderer_->Draw(model_.GetCamera(), ViewRegion::Whole(sceneBuffer_->Width(), sceneBuffer_->Height()));
  }
  int width = 0, height = 0;
  glfwGetFramebufferSize(window_, &width, &height);
  gl_->BindFramebuffer(GL_FRAMEBUFFER, 0);
  gl_->Viewport(0, 0, width, height);
  gl_->ClearColor(0.11f, 0.115f, 0.13f, 1.0f);
  gl_->Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  sceneBuffer_->CopyToWindow(0, height - sceneBuffer_->Height());
}

const std::vector<unsigned char>& ViewWindow::ScenePixels() {
  // The scene's framebuffer keeps the last frame until the next one is drawn.
  glfwMakeContextCurrent(window_);
  sceneBuffer_->Read(0, 0, sceneBuffer_->Width(), sceneBuffer_->Height(), scenePixels_);
  gl_->BindFramebuffer(GL_FRAMEBUFFER, 0);
  return scenePixels_;
}

std::vector<unsigned char> ViewWindow::DrawDocument(BaseDocument* doc) {
  glfwMakeContextCurrent(window_);
  renderer_->Upload(CollectViewportScene(doc));
  uploaded_ = 0;
  sceneBuffer_->Bind();
  renderer_->Draw(model_.GetCamera(), ViewRegion::Whole(sceneBuffer_->Width(), sceneBuffer_->Height()));
  std::vector<unsigned char> pixels;
  sceneBuffer_->Read(0, 0, sceneBuffer_->Width(), sceneBuffer_->Height(), pixels);
  gl_->BindFramebuffer(GL_FRAMEBUFFER, 0);
  return pixels;
}

void ViewWindow::DrawBar() {
  int width = 0, height = 0;
  glfwGetFramebufferSize(window_, &width, &height);
  const float barWidth = static_cast<float>(width - kPanelWidth);
  ImGui::SetNextWindowPos(ImVec2(0.0f, static_cast<float>(height - kBarHeight)));
  ImGui::SetNextWindowSize(ImVec2(barWidth, static_cast<float>(kBarHeight)));
  ImGui::Begin("##timeline", nullptr,
               ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings |
                   ImGuiWindowFlags_NoBringToFrontOnFocus);
  if (ImGui::Button(playing_ ? "Pause" : "Play", ImVec2(56.0f, 0.0f))) {
    playing_ = !playing_;
    playStart_ = glfwGetTime();
    playFirstFrame_ = model_.GetSession().GetFrame();
  }
  ImGui::SameLine();
  int frame = model_.GetSession().GetFrame();
  ImGui::SetNextItemWidth(barWidth - 90.0f);
  // A document without a length of its own gets the three seconds a new scene has.
  const int first = model_.FirstFrame();
  const int last = model_.LastFrame() > first ? model_.LastFrame() : first + 3 * model_.GetDocument()->GetFps();
  if (ImGui::SliderInt("##frame", &frame, first, last, "frame %d")) {
    playing_ = false;
    model_.SetFrame(frame);
  }
  const ViewStatus& s = model_.Status();
  ImGui::TextDisabled("evaluations %lld (last pass %lld)   samples %lld   frame %d   pass %.1f ms%s",
                      static_cast<long long>(s.evaluations), static_cast<long long>(s.lastEvaluations),
                      static_cast<long long>(s.samples), s.frame, s.lastPassSeconds * 1000.0,
                      model_.HasUnsavedChanges() ? "   unsaved" : "");
  ImGui::End();
}

// ---- Input -------------------------------------------------------------------------------

void ViewWindow::OnCursor(double x, double y) {
  if (modal_) {
    return;
  }
  const double dx = x - cursorX_;
  const double dy = y - cursorY_;
  cursorX_ = x;
  cursorY_ = y;
  switch (gesture_) {
    case Gesture::ORBIT: model_.Orbit(dx, dy); return;
    case Gesture::PAN: model_.Pan(dx, dy); return;
    case Gesture::DRAG: model_.DragTo(x, y); return;
    case Gesture::NONE: break;
  }
  const bool inScene = x >= 0.0 && y >= 0.0 && x < model_.Width() && y < model_.Height();
  model_.SetHover(inScene ? model_.FindHandleAt(x, y) : std::nullopt);
}

void ViewWindow::OnButton(int button, int action, int mods) {
  if (modal_) {
    return;
  }
  if (action == GLFW_RELEASE) {
    if (gesture_ == Gesture::DRAG) {
      model_.EndDrag();
    }
    gesture_ = Gesture::NONE;
    return;
  }
  const bool inScene = cursorX_ >= 0.0 && cursorY_ >= 0.0 && cursorX_ < model_.Width() && cursorY_ < model_.Height();
  if (action != GLFW_PRESS || !inScene || (imgui_ && ImGui::GetIO().WantCaptureMouse)) {
    return;
  }
  shift_ = (mods & GLFW_MOD_SHIFT) != 0;
  if (button == GLFW_MOUSE_BUTTON_MIDDLE || (button == GLFW_MOUSE_BUTTON_LEFT && shift_)) {
    gesture_ = Gesture::PAN;
  } else if (button == GLFW_MOUSE_BUTTON_LEFT) {
    if (const std::optional<HandleRef> handle = model_.FindHandleAt(cursorX_, cursorY_)) {
      model_.SetHover(handle);
      model_.BeginDrag(*handle);
      gesture_ = Gesture::DRAG;
    } else {
      gesture_ = Gesture::ORBIT;
    }
  }
}

void ViewWindow::OnScroll(double dy) {
  const bool inScene = cursorX_ >= 0.0 && cursorY_ >= 0.0 && cursorX_ < model_.Width() && cursorY_ < model_.Height();
  if (inScene && !(imgui_ && ImGui::GetIO().WantCaptureMouse)) {
    model_.Zoom(dy);
  }
}

void ViewWindow::OnKey(int key, int action, int mods) {
  if (modal_ || (action != GLFW_PRESS && action != GLFW_REPEAT)) {
    return;
  }
  if ((mods & GLFW_MOD_CONTROL) != 0) {
    switch (key) {
      case GLFW_KEY_Z: model_.Undo(); return;
      case GLFW_KEY_Y: model_.Redo(); return;
      case GLFW_KEY_S: Save(); return;
      case GLFW_KEY_E: panel_->AskFileName(ViewPanel::FileJob::EXPORT); return;
      case GLFW_KEY_P: panel_->AskFileName(ViewPanel::FileJob::PICTURE); return;
      case GLFW_KEY_Q: RequestClose(); return;
      default: return;
    }
  }
  // Typing into a field is not a shortcut.
  if (imgui_ && ImGui::GetIO().WantTextInput) {
    return;
  }
  switch (key) {
    case GLFW_KEY_F: model_.FrameAll(); break;
    case GLFW_KEY_F1: model_.SetView(ViewKind::PERSPECTIVE); break;
    case GLFW_KEY_F2: model_.SetView(ViewKind::TOP); break;
    case GLFW_KEY_F3: model_.SetView(ViewKind::RIGHT); break;
    case GLFW_KEY_F4: model_.SetView(ViewKind::FRONT); break;
    case GLFW_KEY_SPACE:
      playing_ = !playing_;
      playStart_ = glfwGetTime();
      playFirstFrame_ = model_.GetSession().GetFrame();
      break;
    default: break;
  }
}

void ViewWindow::RequestClose() {
  if (model_.HasUnsavedChanges()) {
    panel_->AskToClose();
  } else {
    closed_ = true;
  }
}

bool ViewWindow::IsAskingToClose() const {
  return panel_->IsAskingToClose();
}

void ViewWindow::AnswerClose(CloseAnswer answer) {
  panel_->StopAskingToClose();
  switch (answer) {
    case CloseAnswer::SAVE:
      Save();
      closed_ = !model_.HasUnsavedChanges();
      break;
    case CloseAnswer::DISCARD: closed_ = true; break;
    case CloseAnswer::CANCEL: break;
  }
}

// ---- Files -------------------------------------------------------------------------------

void ViewWindow::Save() {
  if (model_.SceneFile().empty()) {
    panel_->AskFileName(ViewPanel::FileJob::SAVE);
    return;
  }
  try {
    model_.Save(model_.SceneFile());
    panel_->Note("Saved " + model_.SceneFile());
  } catch (const std::exception& e) {
    panel_->Tell(e.what());
  }
}

void ViewWindow::SavePicture(const std::string& file) {
  PictureSettings settings;
  settings.width = model_.Width();
  settings.height = model_.Height();
  PictureRenderer pictures(settings, *gl_);
  pictures.SetCamera(model_.GetCamera());
  WriteBytes(file, EncodePng(pictures.Draw(model_.GetDocument())));
}

void ViewWindow::SaveScreenshot(const std::string& file) {
  screenshotFile_ = file;
  RunFrame();
}

void ViewWindow::ExportGlb(const std::string& file) {
  WriteGlb(model_.GetDocument(), Filename(String(file)));
}

}  // namespace vantelle::app
