#include "app/view/view_model.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "host/core/formula.h"
#include "host/scene/execution.h"

namespace vantelle::app {

namespace {

// How near the cursor must come to a handle to grab it, in pixels.
constexpr double kHandleReach = 8.0;
constexpr double kOrbitDegreesPerPixel = 0.4;
constexpr double kZoomPerStep = 0.85;

// The point of `m`'s space that `m` takes to `p`; `p` itself when `m` cannot be inverted.
Vector InverseTransform(const Matrix& m, const Vector& p) {
  const Vector c0 = Cross(m.v2, m.v3);
  const Float det = Dot(m.v1, c0);
  if (det == 0.0 || !std::isfinite(det)) {
    return p;
  }
  const Vector d = p - m.off;
  // Cramer's rule: the columns are v1, v2, v3.
  return Vector(Dot(d, c0), Dot(d, Cross(m.v3, m.v1)), Dot(d, Cross(m.v1, m.v2))) * (1.0 / det);
}

bool IsShown(BaseObject* op) {
  for (BaseObject* o = op; o != nullptr; o = o->GetUp()) {
    if (o->GetEditorMode() == MODE_OFF) {
      return false;
    }
    if (o->GetEditorMode() == MODE_ON) {
      break;
    }
  }
  for (BaseObject* o = op; o != nullptr; o = o->GetUp()) {
    if (!o->GetDeformMode()) {
      return false;
    }
  }
  return true;
}

// The objects of `doc` that `before` did not hold, outermost only: an added object's
// children come and go with it. Only a pure addition counts: when objects went too, the
// module rebuilt objects of its own (labels), which it frees and remakes as it likes, so
// undo must not hold on to them.
std::vector<AddedObject> AddedObjects(const std::vector<BaseObject*>& before, BaseDocument* doc) {
  const std::unordered_set<const BaseObject*> known(before.begin(), before.end());
  const std::vector<BaseObject*> after = CollectObjects(doc);
  std::size_t kept = 0;
  std::vector<AddedObject> added;
  for (BaseObject* op : after) {
    if (known.contains(op)) {
      ++kept;
    } else if (op->GetUp() == nullptr || known.contains(op->GetUp())) {
      added.push_back({op, op->GetUp(), op->GetPred()});
    }
  }
  if (kept != before.size()) {
    return {};
  }
  return added;
}

}  // namespace

Gradient WithKnotAdded(const Gradient& gradient) {
  std::vector<Float> positions;
  for (Int32 k = 0; k < gradient.GetKnotCount(); ++k) {
    positions.push_back(std::clamp(gradient.GetKnot(k).pos, 0.0, 1.0));
  }
  std::sort(positions.begin(), positions.end());
  // The ends of 0..1 bound the first and last gaps.
  Float pos = 0.5;
  Float widest = -1.0;
  Float from = 0.0;
  positions.push_back(1.0);
  for (const Float to : positions) {
    if (to - from > widest) {
      widest = to - from;
      pos = (from + to) * 0.5;
    }
    from = to;
  }
  Gradient result = gradient;
  GradientKnot knot;
  knot.col = gradient.GetColorAt(pos);
  knot.pos = pos;
  Int32 index = 0;
  for (Int32 k = 0; k < gradient.GetKnotCount(); ++k) {
    index = std::max(index, gradient.GetKnot(k).index + 1);
  }
  knot.index = index;
  result.InsertKnot(knot);
  return result;
}

Gradient WithKnotRemoved(const Gradient& gradient, Int32 knot) {
  if (gradient.GetKnotCount() <= 1 || knot < 0 || knot >= gradient.GetKnotCount()) {
    return gradient;
  }
  Gradient result = gradient;
  result.FlushKnots();
  for (Int32 k = 0; k < gradient.GetKnotCount(); ++k) {
    if (k != knot) {
      result.InsertKnot(gradient.GetKnot(k));
    }
  }
  return result;
}

std::vector<ParameterEdit> DiffParameters(BaseObject* op, const BaseContainer& before, const BaseContainer& after) {
  std::vector<ParameterEdit> step;
  for (Int32 i = 0; i < after.GetCount(); ++i) {
    const Int32 id = after.GetIndexId(i);
    const GeData* now = after.GetIndexData(i);
    const GeData* was = before.GetDataPointer(id);
    if (now != nullptr && (was == nullptr || !(*was == *now))) {
      step.push_back({op, id, was != nullptr ? *was : GeData(), *now});
    }
  }
  return step;
}

ViewModel::ViewModel(Session& session) : session_(session) {
  Update();
  FrameAll();
}

ViewModel::~ViewModel() {
  ForgetUndone();
}

bool ViewModel::Update() {
  if (!needsPass_) {
    return false;
  }
  needsPass_ = false;
  const Session::EvaluationCost cost = session_.Evaluate();
  status_.lastEvaluations = cost.evaluations;
  status_.evaluations += cost.evaluations;
  status_.lastPassSeconds = cost.seconds;
  status_.frame = session_.GetFrame();
  status_.samples = 0;
  for (BaseObject* op : CollectObjects(GetDocument())) {
    BaseContainer state;
    op->Message(MSG_HOST_QUERY_STATE, &state);
    status_.samples += state.GetInt64(STATE_SAMPLE_COUNT);
  }
  sceneStale_ = true;
  return true;
}

const ViewportScene& ViewModel::Scene() {
  if (sceneStale_) {
    scene_ = CollectViewportScene(GetDocument(), hover_ ? hover_->object : nullptr, hover_ ? hover_->index : -1,
                                  &sceneCache_);
    sceneStale_ = false;
    ++sceneVersion_;
  }
  return scene_;
}

// ---- The camera ------------------------------------------------------------------------

void ViewModel::Resize(int width, int height) {
  width_ = std::max(width, 1);
  height_ = std::max(height, 1);
}

Camera ViewModel::GetCamera() const {
  return Camera::Frame(request_, focus_, width_, height_);
}

void ViewModel::SetView(ViewKind kind) {
  request_.kind = kind;
  if (kind == ViewKind::PERSPECTIVE) {
    request_ = ViewRequest();
  }
}

void ViewModel::Orbit(double dx, double dy) {
  if (request_.kind != ViewKind::PERSPECTIVE) {
    const Camera camera = GetCamera();
    const Vector f = camera.Forward();
    request_.azimuth = std::atan2(-f.x, f.z) * 180.0 / PI;
    request_.elevation = std::asin(std::clamp(-f.y, -1.0, 1.0)) * 180.0 / PI;
    request_.kind = ViewKind::PERSPECTIVE;
  }
  request_.azimuth = std::fmod(request_.azimuth + dx * kOrbitDegreesPerPixel, 360.0);
  request_.elevation = std::clamp(request_.elevation + dy * kOrbitDegreesPerPixel, -89.0, 89.0);
}

void ViewModel::Pan(double dx, double dy) {
  const Camera camera = GetCamera();
  const Vector centre = focus_.IsEmpty() ? Vector() : focus_.Centre();
  // Scene units per pixel where the camera looks.
  const Vector a = camera.Project(centre);
  const Vector b = camera.Project(centre + camera.Right());
  const Float pixels = std::hypot(b.x - a.x, b.y - a.y);
  if (!(pixels > 0.0) || focus_.IsEmpty()) {
    return;
  }
  const Vector shift = (camera.Right() * -dx + camera.Up() * dy) * (1.0 / pixels);
  focus_.min += shift;
  focus_.max += shift;
}

void ViewModel::Zoom(double steps) {
  const Float factor = std::pow(kZoomPerStep, steps);
  if (request_.kind == ViewKind::PERSPECTIVE) {
    const Camera camera = GetCamera();
    const Vector centre = focus_.IsEmpty() ? Vector() : focus_.Centre();
    request_.distance = std::max((camera.Eye() - centre).GetLength() * factor, 1e-3);
  } else if (!focus_.IsEmpty()) {
    const Vector centre = focus_.Centre();
    const Vector half = (focus_.max - focus_.min) * (0.5 * factor);
    focus_.min = centre - half;
    focus_.max = centre + half;
  }
}

void ViewModel::FrameAll() {
  focus_ = Scene().bounds;
  request_.distance.reset();
}

// ---- Handles -----------------------------------------------------------------------------

std::optional<Vector> ViewModel::HandleOnScreen(const HandleRef& handle) {
  ObjectData* data = handle.object != nullptr ? handle.object->GetObjectData() : nullptr;
  if (data == nullptr || handle.index < 0 || handle.index >= data->GetHandleCount(handle.object)) {
    return std::nullopt;
  }
  HandleInfo info;
  data->GetHandle(handle.object, handle.index, info);
  const Vector p = GetCamera().Project(handle.object->GetMg() * info.position);
  if (!(p.z > 0.0) || !std::isfinite(p.x) || !std::isfinite(p.y)) {
    return std::nullopt;
  }
  return p;
}

std::optional<HandleRef> ViewModel::FindHandleAt(double x, double y) {
  std::optional<HandleRef> best;
  double bestDistance = kHandleReach;
  for (BaseObject* op : CollectObjects(GetDocument())) {
    ObjectData* data = op->GetObjectData();
    // A plot shows its handles only while it has something to show.
    if (data == nullptr || !IsShown(op) || op->GetCache() == nullptr) {
      continue;
    }
    const Int32 count = data->GetHandleCount(op);
    for (Int32 i = 0; i < count; ++i) {
      const std::optional<Vector> p = HandleOnScreen({op, i});
      if (!p) {
        continue;
      }
      const double distance = std::hypot(p->x - x, p->y - y);
      if (distance <= bestDistance) {
        bestDistance = distance;
        best = HandleRef{op, i};
      }
    }
  }
  return best;
}

void ViewModel::SetHover(const std::optional<HandleRef>& handle) {
  if (handle != hover_) {
    hover_ = handle;
    sceneStale_ = true;
  }
}

void ViewModel::BeginDrag(const HandleRef& handle) {
  ObjectData* data = handle.object != nullptr ? handle.object->GetObjectData() : nullptr;
  if (data == nullptr || handle.index < 0 || handle.index >= data->GetHandleCount(handle.object)) {
    return;
  }
  Drag drag;
  drag.handle = handle;
  data->GetHandle(handle.object, handle.index, drag.info);
  drag.mg = handle.object->GetMg();
  drag.before = handle.object->GetData();
  drag_ = drag;
}

void ViewModel::DragTo(double x, double y) {
  if (!drag_) {
    return;
  }
  Drag& drag = *drag_;
  // The handle moves along its own direction: to the point of that line nearest the line
  // of sight through the cursor.
  Vector origin, sight;
  GetCamera().Ray(x, y, origin, sight);
  const Vector a = drag.mg * drag.info.position;
  const Vector d = drag.mg.TransformVector(drag.info.direction);
  const Vector w = a - origin;
  const Float dd = Dot(d, d);
  const Float ds = Dot(d, sight);
  const Float ss = Dot(sight, sight);
  const Float denominator = dd * ss - ds * ds;
  if (!(std::abs(denominator) > 1e-12 * dd * ss)) {
    return;  // looking along the handle's direction: no way to tell where it goes
  }
  const Float t = (ds * Dot(sight, w) - ss * Dot(d, w)) / denominator;
  const Vector local = InverseTransform(drag.mg, a + d * t);
  drag.handle.object->GetObjectData()->SetHandle(drag.handle.object, drag.handle.index, local, drag.info);
  // The plug-in wrote its own container; the host knows the object changed and evaluates.
  // The pass runs once per frame (Update), however many cursor moves came in between.
  drag.handle.object->SetDirty(DIRTYFLAGS::DATA);
  needsPass_ = true;
}

void ViewModel::EndDrag() {
  if (!drag_) {
    return;
  }
  BaseObject* op = drag_->handle.object;
  EditStep step{DiffParameters(op, drag_->before, op->GetData()), {}};
  drag_.reset();
  Record(std::move(step));
}

// ---- Edits ---------------------------------------------------------------------------

void ViewModel::EditParameter(BaseObject* op, Int32 id, const GeData& value, bool continued) {
  if (op == nullptr) {
    return;
  }
  const BaseContainer before = op->GetData();
  GeData was;
  if (op->GetParameter(DescID(id), was) && was == value) {
    return;
  }
  const std::vector<BaseObject*> objects = CollectObjects(GetDocument());
  op->SetParameter(DescID(id), value, DESCFLAGS_SET::USERINTERACTION);
  Description description;
  if (op->GetDescription(&description)) {
    const DescParameter* param = description.GetParameterI(DescID(id));
    if (param != nullptr && param->command) {
      op->PressButton(DescID(id));
    }
  }
  // The module may adjust other parameters in answer (a preset writes the formula) or add
  // objects (a component); undo takes them all back.
  Record({DiffParameters(op, before, op->GetData()), AddedObjects(objects, GetDocument())}, continued);
  needsPass_ = true;
}

void ViewModel::EditParameterText(BaseObject* op, const std::string& name, const std::string& text) {
  const BaseContainer before = op->GetData();
  session_.SetParameterText(op, name, text);
  Record({DiffParameters(op, before, op->GetData()), {}});
  needsPass_ = true;
}

void ViewModel::PressButton(BaseObject* op, Int32 id) {
  if (op == nullptr) {
    return;
  }
  const BaseContainer before = op->GetData();
  const std::vector<BaseObject*> objects = CollectObjects(GetDocument());
  op->PressButton(DescID(id));
  Record({DiffParameters(op, before, op->GetData()), AddedObjects(objects, GetDocument())});
  // A button may change what undo cannot see (a message, the manual), but saving should
  // still be offered.
  unsaved_ = true;
  needsPass_ = true;
}

void ViewModel::AddGradientKnot(BaseObject* op, Int32 id) {
  GeData value;
  if (op == nullptr || !op->GetParameter(DescID(id), value)) {
    return;
  }
  if (const Gradient* gradient = value.GetCustomData<Gradient>()) {
    EditParameter(op, id, GeData(WithKnotAdded(*gradient)));
  }
}

void ViewModel::RemoveGradientKnot(BaseObject* op, Int32 id, Int32 knot) {
  GeData value;
  if (op == nullptr || !op->GetParameter(DescID(id), value)) {
    return;
  }
  if (const Gradient* gradient = value.GetCustomData<Gradient>()) {
    EditParameter(op, id, GeData(WithKnotRemoved(*gradient, knot)));
  }
}

void ViewModel::SetEnabled(BaseObject* op, bool enabled) {
  if (op != nullptr && op->GetDeformMode() != enabled) {
    op->SetDeformMode(enabled);
    unsaved_ = true;
    needsPass_ = true;
  }
}

void ViewModel::Record(EditStep step, bool continued) {
  if (step.empty()) {
    return;
  }
  if (continued && undone_ == 0 && !history_.empty() && step.added.empty() && history_.back().added.empty() &&
      history_.back().parameters.size() == 1 && step.parameters.size() == 1 &&
      history_.back().parameters[0].object == step.parameters[0].object &&
      history_.back().parameters[0].id == step.parameters[0].id) {
    history_.back().parameters[0].after = step.parameters[0].after;
    unsaved_ = true;
    return;
  }
  ForgetUndone();
  history_.resize(history_.size() - undone_);
  undone_ = 0;
  history_.push_back(std::move(step));
  unsaved_ = true;
}

void ViewModel::ForgetUndone() {
  for (std::size_t i = history_.size() - undone_; i < history_.size(); ++i) {
    for (AddedObject& added : history_[i].added) {
      // Out of the document while its step is undone; nothing else holds it.
      if (added.object->GetDocument() == nullptr) {
        BaseObject::Free(added.object);
      }
    }
  }
}

bool ViewModel::IsInDocument(const BaseObject* op) const {
  const std::vector<BaseObject*> objects = CollectObjects(GetDocument());
  return std::find(objects.begin(), objects.end(), op) != objects.end();
}

void ViewModel::Apply(const EditStep& step, bool forward) {
  // Back in the reverse order of the changes, forward in their order; each through the
  // host as a user edit, so the module hears of it.
  const auto apply = [this, forward](const ParameterEdit& edit) {
    if (!IsInDocument(edit.object)) {
      return;
    }
    const GeData& value = forward ? edit.after : edit.before;
    if (value.IsNil()) {
      return;
    }
    edit.object->SetParameter(DescID(edit.id), value, DESCFLAGS_SET::USERINTERACTION);
  };
  // Objects come back after the parameters that made them and go before those are taken
  // back, mirroring the action.
  if (forward) {
    std::for_each(step.parameters.begin(), step.parameters.end(), apply);
    for (const AddedObject& added : step.added) {
      if (added.parent == nullptr || IsInDocument(added.parent)) {
        const bool predHere = added.pred != nullptr && added.pred->GetUp() == added.parent && IsInDocument(added.pred);
        GetDocument()->InsertObject(added.object, added.parent, predHere ? added.pred : nullptr);
      }
    }
  } else {
    for (auto added = step.added.rbegin(); added != step.added.rend(); ++added) {
      if (!IsInDocument(added->object)) {
        continue;
      }
      added->object->Remove();
      if (hover_ && !IsInDocument(hover_->object)) {
        hover_.reset();
      }
    }
    std::for_each(step.parameters.rbegin(), step.parameters.rend(), apply);
  }
  unsaved_ = true;
  sceneStale_ = true;
  needsPass_ = true;
}

void ViewModel::Undo() {
  if (CanUndo()) {
    ++undone_;
    Apply(history_[history_.size() - undone_], false);
  }
}

void ViewModel::Redo() {
  if (CanRedo()) {
    Apply(history_[history_.size() - undone_], true);
    --undone_;
  }
}

// ---- Time and files ----------------------------------------------------------------------

void ViewModel::SetFrame(Int32 frame) {
  if (frame != session_.GetFrame()) {
    session_.SetFrame(frame);
    needsPass_ = true;
  }
}

Int32 ViewModel::FirstFrame() const {
  return GetDocument()->GetMinTime().GetFrame(GetDocument()->GetFps());
}

Int32 ViewModel::LastFrame() const {
  return GetDocument()->GetMaxTime().GetFrame(GetDocument()->GetFps());
}

void ViewModel::Save(const std::string& file) {
  session_.SaveDocument(Filename(String(file)));
  sceneFile_ = file;
  unsaved_ = false;
}

}  // namespace vantelle::app
