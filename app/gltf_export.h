// Export of an evaluated document as binary glTF (.glb), for viewers and other 3D tools.
#pragma once

#include <vector>

#include "app/gltf_model.h"
#include "host/files/files.h"
#include "host/scene/document.h"

namespace vantelle::app {

// Writes what `doc` shows after its last evaluation to `path` as one binary glTF file:
// one node per document object in tree order, generators' caches below their nodes,
// polygon objects as triangle meshes, spline objects as line strips and loops with unlit
// materials, in glTF's metres and right-handed axes.
//
// The file appears whole or not at all: it is written beside the target and renamed over
// it, so an existing file stays as it was when anything fails. Throws a Failure naming
// the file. Returns what the file could not hold.
std::vector<DroppedGeometry> WriteGlb(BaseDocument* doc, const Filename& path);

}  // namespace vantelle::app
