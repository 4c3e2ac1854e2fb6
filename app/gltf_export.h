// Export of an evaluated document as binary glTF (.glb), for viewers and other 3D tools.
#pragma once

#include <vector>

#include "app/gltf_compress.h"
#include "app/gltf_model.h"
#include "host/files/files.h"
#include "host/scene/document.h"

namespace vantelle::app {

// Writes what `doc` shows after its last evaluation to `path` as one binary glTF file:
// one node per document object in tree order, generators' caches below their nodes,
// polygon objects as triangle meshes with a material in their display colour, spline
// objects as line strips and loops with unlit materials, in glTF's metres and
// right-handed axes. Objects whose render mode is off are left out with everything below
// them, and so are the children a generator builds from (an extrude's splines).
//
// The file appears whole or not at all, as FileReplacement (file_replacement.h) writes
// files: an existing file stays as it was when anything fails. Throws the AppError of
// WriteError naming the file: BadInput when the target must not be written. Returns what
// the file could not hold. `compression` makes the file smaller (see GlbCompression).
std::vector<DroppedGeometry> WriteGlb(BaseDocument* doc, const Filename& path,
                                      GlbCompression compression = GlbCompression::kNone);

}  // namespace vantelle::app
