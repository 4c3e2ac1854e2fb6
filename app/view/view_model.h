// What the interactive view knows and does, apart from its window: the document and its
// evaluation, the camera the user steers, the handle under the cursor and the one being
// dragged, and the user's edits with their undo history. Every edit reaches the module
// through the host (SetParameter, buttons, the enabled switch, SetHandle), so the module
// gets exactly the messages a 3D application sends. Nothing here needs OpenGL or a
// display, so tests drive it directly.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/render/camera.h"
#include "app/render/viewport_scene.h"
#include "app/session.h"
#include "host/core/gradient.h"

namespace vantelle::app {

// A handle of an object: which object, which of its handles.
struct HandleRef {
  BaseObject* object = nullptr;
  Int32 index = -1;
  bool operator==(const HandleRef&) const = default;
};

// One parameter edit as undo sees it: the values before and after.
struct ParameterEdit {
  BaseObject* object = nullptr;
  Int32 id = 0;
  GeData before;
  GeData after;
};
// An object a user action added to the document (a component a button made), with where
// it went. While its action is undone the object is out of the document and the history
// owns it, so that redo puts back the very object the later edits name.
struct AddedObject {
  BaseObject* object = nullptr;
  BaseObject* parent = nullptr;  // null at the top level
  BaseObject* pred = nullptr;    // the object before it, null when first
};

// What one user action changed (a handle drag may change several parameters, a button
// may add objects), undone and redone as one.
struct EditStep {
  std::vector<ParameterEdit> parameters;
  std::vector<AddedObject> added;
  bool empty() const { return parameters.empty() && added.empty(); }
};

// What the status line shows.
struct ViewStatus {
  Int64 evaluations = 0;      // formula texts evaluated since the view opened
  Int64 lastEvaluations = 0;  // of those, in the last pass
  Int64 samples = 0;          // samples every plot holds now
  Int32 frame = 0;
  double lastPassSeconds = 0.0;
};

class ViewModel {
public:
  // Takes the session with its modules loaded and its document set up, and evaluates it.
  explicit ViewModel(Session& session);
  ~ViewModel();
  ViewModel(const ViewModel&) = delete;
  ViewModel& operator=(const ViewModel&) = delete;

  Session& GetSession() { return session_; }
  BaseDocument* GetDocument() const { return session_.GetDocument(); }

  // ---- The scene as the view shows it --------------------------------------------------
  // Runs the evaluation pass when anything changed since the last one; true when it ran.
  bool Update();
  // Marks the document changed, so that the next Update evaluates it.
  void Touch() { needsPass_ = true; }
  // What to draw, gathered after the last pass with the hovered handle highlighted.
  const ViewportScene& Scene();
  // Changes whenever Scene() gathers anew, so a window uploads only what changed.
  UInt64 SceneVersion() {
    Scene();
    return sceneVersion_;
  }
  const ViewStatus& Status() const { return status_; }

  // ---- The camera ------------------------------------------------------------------------
  // The view's size in pixels.
  void Resize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  Camera GetCamera() const;
  const ViewRequest& GetViewRequest() const { return request_; }
  // One of the standard views, framing what the last one framed.
  void SetView(ViewKind kind);
  // Turns a perspective view by pixels of mouse travel (a parallel view becomes the
  // perspective one it was looking along).
  void Orbit(double dx, double dy);
  // Moves what the camera looks at with the mouse, by pixels.
  void Pan(double dx, double dy);
  // Moves closer (positive steps) or away.
  void Zoom(double steps);
  // Frames everything the scene shows.
  void FrameAll();

  // ---- Handles -----------------------------------------------------------------------------
  // The handle nearest to the picture point (x, y) within a few pixels, if any.
  std::optional<HandleRef> FindHandleAt(double x, double y);
  // Where a handle is in the picture, in pixels (as Camera::Project).
  std::optional<Vector> HandleOnScreen(const HandleRef& handle);
  // The handle under the cursor, which the host reports through GetHighlightHandle.
  void SetHover(const std::optional<HandleRef>& handle);
  std::optional<HandleRef> GetHover() const { return hover_; }
  // A drag: grabs a handle, moves it along its direction to where the line of sight
  // through (x, y) passes closest, then lets it go as one undoable edit.
  void BeginDrag(const HandleRef& handle);
  void DragTo(double x, double y);
  void EndDrag();
  bool IsDragging() const { return drag_.has_value(); }

  // ---- Edits ---------------------------------------------------------------------------
  // A user edit of a parameter through the host (SetParameter), kept for undo. A command
  // parameter is pressed after being set. No edit is made when the value is the same.
  // `continued`: the same gesture as the last edit of this parameter (a slider being
  // dragged), so that undo takes the whole gesture back at once.
  void EditParameter(BaseObject* op, Int32 id, const GeData& value, bool continued = false);
  // The same, from text checked against the object's description; BadInput when invalid.
  void EditParameterText(BaseObject* op, const std::string& name, const std::string& text);
  // A button through the host.
  void PressButton(BaseObject* op, Int32 id);
  // A knot added to or removed from a gradient parameter, as an edit of that parameter.
  // The new knot goes in the middle of the widest gap between knots (or between a knot and
  // an end) with the colour the gradient has there. The last knot is never removed.
  void AddGradientKnot(BaseObject* op, Int32 id);
  void RemoveGradientKnot(BaseObject* op, Int32 id, Int32 knot);
  // The object's enabled switch through the host.
  void SetEnabled(BaseObject* op, bool enabled);
  bool CanUndo() const { return undone_ < history_.size(); }
  bool CanRedo() const { return undone_ > 0; }
  void Undo();
  void Redo();
  // Whether anything changed since the document was opened or last saved.
  bool HasUnsavedChanges() const { return unsaved_; }

  // ---- Time and files ----------------------------------------------------------------------
  void SetFrame(Int32 frame);
  // The document's first and last frame, for the timeline.
  Int32 FirstFrame() const;
  Int32 LastFrame() const;
  // Saves the document; Failure when it cannot be written.
  void Save(const std::string& file);
  const std::string& SceneFile() const { return sceneFile_; }
  void SetSceneFile(const std::string& file) { sceneFile_ = file; }

private:
  void Apply(const EditStep& step, bool forward);
  void Record(EditStep step, bool continued = false);
  // Frees the objects of undone steps at the end of the history, which only it holds.
  void ForgetUndone();
  bool IsInDocument(const BaseObject* op) const;

  Session& session_;
  bool needsPass_ = true;
  bool sceneStale_ = true;
  ViewportScene scene_;
  ViewportSceneCache sceneCache_;
  UInt64 sceneVersion_ = 0;
  ViewStatus status_;

  int width_ = 1280;
  int height_ = 720;
  ViewRequest request_;
  Box focus_;

  std::optional<HandleRef> hover_;
  struct Drag {
    HandleRef handle;
    HandleInfo info;  // where it was grabbed, in the object's space
    Matrix mg;
    BaseContainer before;  // the object's parameters when it was grabbed
  };
  std::optional<Drag> drag_;

  std::vector<EditStep> history_;
  std::size_t undone_ = 0;  // edits at the end of the history that were undone
  bool unsaved_ = false;
  std::string sceneFile_;
};

// The parameters whose values differ between two states of one object's container, as
// edits of `op` from `before` to `after`.
std::vector<ParameterEdit> DiffParameters(BaseObject* op, const BaseContainer& before, const BaseContainer& after);

// The gradient with one knot more: in the middle of the widest gap between neighbouring
// knots or between a knot and an end of 0..1, coloured as the gradient is there.
Gradient WithKnotAdded(const Gradient& gradient);
// The gradient without its knot `knot` (in insertion order); unchanged when that is the
// only knot or there is no such knot.
Gradient WithKnotRemoved(const Gradient& gradient, Int32 knot);

}  // namespace vantelle::app
