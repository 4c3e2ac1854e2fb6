// What a viewport shows of a document, gathered from the host's object model: every
// visible object's geometry and cache, and what the plug-in objects draw themselves.
// Nothing here needs OpenGL, so tests can look at it directly.
#pragma once

#include <vector>

#include "app/gltf_geometry.h"
#include "app/render/camera.h"
#include "app/render/view_marks.h"
#include "host/scene/document.h"

namespace vantelle::app {

// Triangles of one polygon object. The arrays are those of a glTF export (right-handed,
// metres); `model` takes them to the host's global space.
struct SceneMesh {
  MeshArrays arrays;
  Matrix model;
  Vector colour;  // when the arrays carry no colours
};

// Lines of one spline object, as pairs of vertex numbers into `positions`, in the same
// space as a SceneMesh's arrays.
struct SceneLines {
  std::vector<float> positions;
  std::vector<UInt32> pairs;
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

// Gathers `doc` as it stands (evaluate it first). An object whose editor mode is off is not
// shown, nor what inherits that mode from it; a switched-off generator shows neither its
// cache nor its drawing. `highlight` and `handle` name the handle under the cursor.
ViewportScene CollectViewportScene(BaseDocument* doc, const BaseObject* highlight = nullptr, Int32 handle = -1);

}  // namespace vantelle::app
