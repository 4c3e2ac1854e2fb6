// What a viewport shows of a document, gathered from the host's object model: every
// visible object's geometry and cache, and what the plug-in objects draw themselves.
// Nothing here needs OpenGL, so tests can look at it directly.
#pragma once

#include <array>
#include <memory>
#include <unordered_map>
#include <vector>

#include "app/gltf_geometry.h"
#include "app/render/camera.h"
#include "app/render/view_marks.h"
#include "host/scene/document.h"

namespace vantelle::app {

// Triangles of one polygon object. The arrays are those of a glTF export (right-handed,
// metres); `model` takes them to the host's global space. The arrays are shared, and the
// same arrays stand for the same triangles from one gathering to the next (see
// ViewportSceneCache), so a renderer can keep what it uploaded before.
struct SceneMesh {
  std::shared_ptr<const MeshArrays> arrays;
  Matrix model;
  Vector colour;  // when the arrays carry no colours
};

// Lines of one spline object (see BuildLinePairs), shared as a SceneMesh's arrays are.
struct SceneLines {
  std::shared_ptr<const LinePairs> arrays;
  Matrix model;
  Vector colour;
};

struct ViewportScene {
  std::vector<SceneMesh> meshes;
  std::vector<SceneLines> lines;
  ViewMarks objectPass;   // drawn among the geometry
  ViewMarks handlesPass;  // drawn over everything
  // What the camera frames: the geometry's points and the plug-in objects' boxes
  // (GetDimension) in the host's global space.
  Box bounds;
};

// The colour of an object without a display colour of its own or inherited.
inline constexpr Vector kNeutralColour{0.8, 0.8, 0.8};

// What the last gathering made of each object's geometry, so that the next one converts
// only objects whose geometry changed: while a handle is dragged, the plot's surface and
// lines change at every frame but the labels' extruded text does not. An object counts as
// unchanged when everything the conversion reads (points, polygons or segments, the tags
// it uses) is byte for byte what it was, so no dirty count has to be trusted.
class ViewportSceneCache {
public:
  // Geometry of objects not met in the gathering since the last call is let go.
  void StartGathering();
  void FinishGathering();

  // The arrays of a polygon object or a spline object, converted anew only when it changed;
  // null when it shows nothing.
  std::shared_ptr<const MeshArrays> Mesh(const PolygonObject& op);
  std::shared_ptr<const LinePairs> Lines(const SplineObject& op);

  // How many conversions were taken from the cache and how many made, since it was made.
  Int64 Reused() const { return reused_; }
  Int64 Converted() const { return converted_; }

private:
  struct Entry {
    std::vector<unsigned char> input;
    std::shared_ptr<const void> geometry;  // MeshArrays or LinePairs
    bool met = false;
  };
  // The object's entry, with `changed` true (and `input` taken) when its input differs
  // from the one the entry was made from.
  Entry& Find(const BaseObject& op, std::vector<unsigned char>& input, bool& changed);

  std::unordered_map<const BaseObject*, Entry> entries_;
  std::vector<unsigned char> input_;  // kept to save allocating at every object
  Int64 reused_ = 0;
  Int64 converted_ = 0;
};

// Gathers `doc` as it stands (evaluate it first). An object whose editor mode is off is not
// shown, nor what inherits that mode from it; a switched-off generator shows neither its
// cache nor its drawing. `highlight` and `handle` name the handle under the cursor.
// `cache`, when given, keeps conversions from one gathering to the next.
ViewportScene CollectViewportScene(BaseDocument* doc, const BaseObject* highlight = nullptr, Int32 handle = -1,
                                   ViewportSceneCache* cache = nullptr);

}  // namespace vantelle::app
