#include "app/render/viewport_scene.h"

#include "app/gltf_space.h"
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

void AddPoints(const std::vector<float>& positions, const Matrix& model, Box& bounds) {
  for (std::size_t i = 0; i + 2 < positions.size(); i += 3) {
    bounds.Add(model * Vector(positions[i], positions[i + 1], positions[i + 2]));
  }
}

class Collector {
public:
  Collector(ViewportScene& scene, const BaseObject* highlight, Int32 handle) : scene_(scene), marks_(scene.objectPass) {
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
      SceneMesh mesh{MeshArrays{}, model, colour};
      if (BuildMeshArrays(*polygons, mesh.arrays)) {
        AddPoints(mesh.arrays.positions, model, scene_.bounds);
        scene_.meshes.push_back(std::move(mesh));
      }
    } else if (const auto* spline = dynamic_cast<const SplineObject*>(&op)) {
      SceneLines lines{{}, {}, model, colour};
      for (const LineArrays& segment : BuildLineArrays(*spline)) {
        const auto first = static_cast<UInt32>(lines.positions.size() / 3);
        const UInt32 count = segment.arrays.VertexCount();
        lines.positions.insert(lines.positions.end(), segment.arrays.positions.begin(), segment.arrays.positions.end());
        for (UInt32 i = 0; i + 1 < count; ++i) {
          lines.pairs.insert(lines.pairs.end(), {first + i, first + i + 1});
        }
        if (segment.closed && count > 2) {
          lines.pairs.insert(lines.pairs.end(), {first + count - 1, first});
        }
      }
      if (!lines.pairs.empty()) {
        AddPoints(lines.positions, model, scene_.bounds);
        scene_.lines.push_back(std::move(lines));
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
  std::vector<Pending> stack_;
  std::vector<BaseObject*> drawn_;
};

}  // namespace

ViewportScene CollectViewportScene(BaseDocument* doc, const BaseObject* highlight, Int32 handle) {
  ViewportScene scene;
  if (doc != nullptr) {
    Collector(scene, highlight, handle).Walk(*doc);
  }
  return scene;
}

}  // namespace vantelle::app
