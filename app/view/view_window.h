// The interactive view's window: GLFW with an OpenGL 3.3 core context, the scene drawn by
// the same renderer as pictures, the attribute panel, the timeline and the status line.
// Input arrives through GLFW's callbacks, or from a script through the same entry points.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/view/view_model.h"

struct GLFWwindow;

namespace vantelle::app {

class Framebuffer;
class ViewPanel;
class ViewportRenderer;
struct GlFunctions;

// Pixels the panel on the right and the bar below the scene take.
inline constexpr int kPanelWidth = 380;
inline constexpr int kBarHeight = 58;

class ViewWindow {
public:
  // Opens the window (Failure when no display or OpenGL 3.3 can be had). The title names
  // what is shown.
  ViewWindow(ViewModel& model, int width, int height, const std::string& title);
  ~ViewWindow();
  ViewWindow(const ViewWindow&) = delete;
  ViewWindow& operator=(const ViewWindow&) = delete;

  // Runs until the user closes the window.
  void Run();
  // One frame: input, evaluation when something changed, drawing.
  void RunFrame();
  // A frame while a dialog waits for the user inside a module's call: input reaches the
  // dialogs only, and the document is neither evaluated nor asked to draw.
  void RunModalFrame();
  bool IsClosed() const { return closed_; }

  // ---- Input, as GLFW reports it (window pixels from the top left) --------------------
  void OnCursor(double x, double y);
  void OnButton(int button, int action, int mods);
  void OnScroll(double dy);
  void OnKey(int key, int action, int mods);
  // The close button: asks first when there are unsaved changes.
  void RequestClose();

  // ---- What the script looks at --------------------------------------------------------
  // The scene as the last frame showed it: RGBA rows from the bottom, SceneWidth() x
  // SceneHeight().
  const std::vector<unsigned char>& ScenePixels();
  int SceneWidth() const { return model_.Width(); }
  int SceneHeight() const { return model_.Height(); }
  // Draws `doc` (evaluated) from the view's camera as the view would show it, into the
  // same pixels layout as ScenePixels.
  std::vector<unsigned char> DrawDocument(BaseDocument* doc);
  // Whether the close question is open.
  bool IsAskingToClose() const;
  // Answers the open close question: save (to the scene file), discard, or stay.
  enum class CloseAnswer { SAVE, DISCARD, CANCEL };
  void AnswerClose(CloseAnswer answer);
  ViewPanel& Panel() { return *panel_; }

  // ---- Files -------------------------------------------------------------------------------
  // Saves to the scene file, or asks for a name in the panel when there is none.
  void Save();
  void SavePicture(const std::string& file);
  // Draws a frame and writes the whole window, panel and all, as a PNG picture.
  void SaveScreenshot(const std::string& file);
  void ExportGlb(const std::string& file);

private:
  void Layout();
  void Frame(bool modal);
  void DrawScene(bool modal);
  void DrawBar();
  void Play(double now);

  ViewModel& model_;
  GLFWwindow* window_ = nullptr;
  std::unique_ptr<GlFunctions> gl_;
  std::unique_ptr<ViewportRenderer> renderer_;
  std::unique_ptr<Framebuffer> sceneBuffer_;
  std::unique_ptr<ViewPanel> panel_;
  std::vector<unsigned char> scenePixels_;
  UInt64 uploaded_ = 0;  // the scene version the renderer holds; 0: none of the model's
  std::string screenshotFile_;  // written by the next frame
  bool imgui_ = false;
  bool closed_ = false;
  bool modal_ = false;

  // Mouse: what the buttons do while held.
  enum class Gesture { NONE, ORBIT, PAN, DRAG };
  Gesture gesture_ = Gesture::NONE;
  double cursorX_ = -1.0;
  double cursorY_ = -1.0;
  bool shift_ = false;

  bool playing_ = false;
  double playStart_ = 0.0;
  Int32 playFirstFrame_ = 0;
};

}  // namespace vantelle::app
