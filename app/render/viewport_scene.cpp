#include "app/render/viewport_scene.h"

#include <cstring>
#include <limits>

#include "app/gltf_space.h"
#include "host/geometry/tags.h"
#include "host/ui/base_draw.h"

namespace vantelle::app {

namespace {

// Back from a glTF export's space to the host's: the inverse of ToGltf::Point.
constexpr Float kUnitsPerMetre = 1.0 / ToGltf::kMetresPerUnit;
constexpr Matrix kFromGltf{Vector(), Vector(kUnitsPerMetre, 0.0, 0.0), Vector(0.0, kUnitsPerMetre, 0.0),
                           Vector(0.0, 0.0, -kUnitsPerMetre)};

struct Pending {
  BaseObject* op;
  Matrix parentMg;
  Vector colour;
  bool colourSet;
  bool visible;  // what an undefined editor mode inherits
};

// Adds the points `positions` bounded by min and max, taken by `model`. A model that only
// scales and moves along the axes takes each axis's extremes to extremes, so the two
// corners give exactly what every point would.
void AddPoints(const std::vector<float>& positions, const std::array<float, 3>& min, const std::array<float, 3>& max,
               const Matrix& model, Box& bounds) {
  if (positions.empty()) {
    return;
  }
  const bool alongAxes = model.v1.y == 0.0 && model.v1.z == 0.0 && model.v2.x == 0.0 && model.v2.z == 0.0 &&
                         model.v3.x == 0.0 && model.v3.y == 0.0;
  if (alongAxes) {
    bounds.Add(model * Vector(min[0], min[1], min[2]));
    bounds.Add(model * Vector(max[0], max[1], max[2]));
    return;
  }
  for (std::size_t i = 0; i + 2 < positions.size(); i += 3) {
    bounds.Add(model * Vector(positions[i], positions[i + 1], positions[i + 2]));
  }
}

template <class T>
void AppendBytes(std::vector<unsigned char>& out, const T* data, std::size_t count) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  out.insert(out.end(), bytes, bytes + count * sizeof(T));
}

template <class T>
void AppendValue(std::vector<unsigned char>& out, const T& value) {
  AppendBytes(out, &value, 1);
}

// Everything BuildMeshArrays reads of a polygon object, as bytes.
void MeshInput(const PolygonObject& op, std::vector<unsigned char>& out) {
  out.clear();
  out.push_back('M');
  AppendValue(out, op.GetPointCount());
  AppendValue(out, op.GetPolygonCount());
  AppendBytes(out, op.GetPointR(), static_cast<std::size_t>(op.GetPointCount()));
  AppendBytes(out, op.GetPolygonR(), static_cast<std::size_t>(op.GetPolygonCount()));
  AppendValue(out, static_cast<unsigned char>(op.GetTag(Tphong) != nullptr));
  for (const Int32 type : {Tuvw, Tvertexcolor}) {
    const auto* tag = dynamic_cast<const VariableTag*>(op.GetTag(type));
    const Int32 bytes = tag != nullptr ? tag->GetDataCount() * tag->GetDataSize() : -1;
    AppendValue(out, bytes);
    if (bytes > 0) {
      AppendBytes(out, static_cast<const unsigned char*>(tag->GetLowlevelDataAddressR()),
                  static_cast<std::size_t>(bytes));
    }
  }
}

// Everything BuildLineArrays reads of a spline object, as bytes.
void LineInput(const SplineObject& op, std::vector<unsigned char>& out) {
  out.clear();
  out.push_back('L');
  AppendValue(out, static_cast<Int32>(op.GetSplineType()));
  const std::vector<Segment> segments = op.GetEffectiveSegments();
  AppendValue(out, segments.size());
  for (const Segment& segment : segments) {
    AppendValue(out, segment.cnt);
    AppendValue(out, static_cast<unsigned char>(segment.closed));
  }
  AppendValue(out, op.GetPointCount());
  AppendBytes(out, op.GetPointR(), static_cast<std::size_t>(op.GetPointCount()));
}

std::shared_ptr<const LinePairs> MakeLinePairs(const SplineObject& op) {
  auto out = std::make_shared<LinePairs>();
  if (!BuildLinePairs(op, *out)) {
    return nullptr;
  }
  return out;
}

std::shared_ptr<const MeshArrays> MakeMeshArrays(const PolygonObject& op) {
  auto out = std::make_shared<MeshArrays>();
  if (!BuildMeshArrays(op, *out)) {
    return nullptr;
  }
  return out;
}

class Collector {
public:
  Collector(ViewportScene& scene, const BaseObject* highlight, Int32 handle, ViewportSceneCache* cache)
      : scene_(scene), marks_(scene.objectPass), cache_(cache) {
    marks_.SetHighlightHandle(highlight, handle);
  }

  void Walk(BaseDocument& doc) {
    std::vector<Pending> level;
    for (BaseObject* op = doc.GetFirstObject(); op != nullptr; op = op->GetNext()) {
      level.push_back({op, Matrix(), kNeutralColour, false, true});
    }
    Push(level);
    // An explicit stack, so a deep hierarchy cannot exhaust the call stack.
    while (!stack_.empty()) {
      const Pending item = stack_.back();
      stack_.pop_back();
      Visit(item);
    }
    // Passes in the host's order: every object's own drawing, then every object's handles.
    for (BaseObject* op : drawn_) {
      DrawPass(op, DRAWPASS::OBJECT, scene_.objectPass);
    }
    for (BaseObject* op : drawn_) {
      DrawPass(op, DRAWPASS::HANDLES, scene_.handlesPass);
    }
  }

private:
  void Push(const std::vector<Pending>& inOrder) { stack_.insert(stack_.end(), inOrder.rbegin(), inOrder.rend()); }

  void Visit(const Pending& item) {
    BaseObject& op = *item.op;
    const Matrix mg = item.parentMg * op.GetMl();
    const Int32 mode = op.GetEditorMode();
    const bool visible = mode == MODE_ON || (mode != MODE_OFF && item.visible);
    ObjectColorProperties properties;
    op.GetColorProperties(&properties);
    const bool colourSet = properties.usecolor != 0 || item.colourSet;
    const Vector colour = properties.usecolor != 0 ? properties.color : item.colour;

    if (visible) {
      AddGeometry(op, mg, colourSet ? colour : kNeutralColour);
    }
    std::vector<Pending> below;
    // A switched-off generator shows neither its cache nor its own drawing.
    if (op.GetDeformMode()) {
      if (BaseObject* cache = op.GetCache()) {
        below.push_back({cache, mg, colour, colourSet, visible});
      }
      if (visible && op.GetObjectData() != nullptr) {
        drawn_.push_back(&op);
        AddDimension(op, mg);
      }
    }
    for (BaseObject* child = op.GetDown(); child != nullptr; child = child->GetNext()) {
      below.push_back({child, mg, colour, colourSet, visible});
    }
    Push(below);
  }

  void AddGeometry(const BaseObject& op, const Matrix& mg, const Vector& colour) {
    const Matrix model = mg * kFromGltf;
    if (const auto* polygons = dynamic_cast<const PolygonObject*>(&op)) {
      std::shared_ptr<const MeshArrays> arrays =
          cache_ != nullptr ? cache_->Mesh(*polygons) : MakeMeshArrays(*polygons);
      if (arrays != nullptr) {
        AddPoints(arrays->positions, arrays->min, arrays->max, model, scene_.bounds);
        scene_.meshes.push_back({std::move(arrays), model, colour});
      }
    } else if (const auto* spline = dynamic_cast<const SplineObject*>(&op)) {
      std::shared_ptr<const LinePairs> lines = cache_ != nullptr ? cache_->Lines(*spline) : MakeLinePairs(*spline);
      if (lines != nullptr) {
        AddPoints(lines->positions, lines->min, lines->max, model, scene_.bounds);
        scene_.lines.push_back({std::move(lines), model, colour});
      }
    }
  }

  void AddDimension(BaseObject& op, const Matrix& mg) {
    Vector mp, rad;
    op.GetObjectData()->GetDimension(&op, &mp, &rad);
    if (rad == Vector()) {
      return;  // an object without extent of its own
    }
    for (int i = 0; i < 8; ++i) {
      const Vector corner(mp.x + ((i & 1) ? rad.x : -rad.x), mp.y + ((i & 2) ? rad.y : -rad.y),
                          mp.z + ((i & 4) ? rad.z : -rad.z));
      scene_.bounds.Add(mg * corner);
    }
  }

  void DrawPass(BaseObject* op, DRAWPASS pass, ViewMarks& target) {
    marks_.SetTarget(target);
    BaseDrawHelp bh(&marks_, op);
    op->GetObjectData()->Draw(op, pass, &marks_, &bh);
  }

  ViewportScene& scene_;
  MarkCollector marks_;
  ViewportSceneCache* cache_;
  std::vector<Pending> stack_;
  std::vector<BaseObject*> drawn_;
};

}  // namespace

void ViewportSceneCache::StartGathering() {
  for (auto& [op, entry] : entries_) {
    entry.met = false;
  }
}

void ViewportSceneCache::FinishGathering() {
  std::erase_if(entries_, [](const auto& item) { return !item.second.met; });
}

ViewportSceneCache::Entry& ViewportSceneCache::Find(const BaseObject& op, std::vector<unsigned char>& input,
                                                    bool& changed) {
  Entry& entry = entries_[&op];
  entry.met = true;
  changed = entry.input != input;
  if (changed) {
    ++converted_;
    // The old input's storage takes the next object's input.
    entry.input.swap(input);
  } else {
    ++reused_;
  }
  return entry;
}

// The input starts with its kind, so an entry's geometry is of the kind its input says.
std::shared_ptr<const MeshArrays> ViewportSceneCache::Mesh(const PolygonObject& op) {
  MeshInput(op, input_);
  bool changed = false;
  Entry& entry = Find(op, input_, changed);
  if (changed) {
    entry.geometry = MakeMeshArrays(op);
  }
  return std::static_pointer_cast<const MeshArrays>(entry.geometry);
}

std::shared_ptr<const LinePairs> ViewportSceneCache::Lines(const SplineObject& op) {
  LineInput(op, input_);
  bool changed = false;
  Entry& entry = Find(op, input_, changed);
  if (changed) {
    entry.geometry = MakeLinePairs(op);
  }
  return std::static_pointer_cast<const LinePairs>(entry.geometry);
}

ViewportScene CollectViewportScene(BaseDocument* doc, const BaseObject* highlight, Int32 handle,
                                   ViewportSceneCache* cache) {
  ViewportScene scene;
  if (cache != nullptr) {
    cache->StartGathering();
  }
  if (doc != nullptr) {
    Collector(scene, highlight, handle, cache).Walk(*doc);
  }
  if (cache != nullptr) {
    cache->FinishGathering();
  }
  return scene;
}

}  // namespace vantelle::app
