// The two halves of a glTF export, apart so that several frames can share them: the
// model of an evaluated document, and a model written to a .glb file.
#pragma once

#include <tiny_gltf.h>

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/progress.h"
#include "app/scratch_file.h"
#include "app/staged_file.h"
#include "host/files/files.h"
#include "host/scene/document.h"

namespace vantelle::app {

// Geometry of one document object that a file cannot hold: points beyond single
// precision, which glTF does not allow, so their polygons and line segments stay out.
struct DroppedGeometry {
  const BaseObject* object = nullptr;  // the document object whose geometry it is
  std::string name;
  Int64 polygons = 0;
  Int64 lines = 0;  // spline segments
};

// The most bytes a .glb's binary chunk may hold: its lengths are 32-bit, and the margin
// leaves room for the JSON part.
inline constexpr std::size_t kMaxGlbBin = 0xFFFFFFFFu - (std::size_t{1} << 26);

// Adds `more` to `into`, one entry per object, keeping the larger count of each: frames
// of one file show the same objects, so their drops are not added up.
void MergeDropped(std::vector<DroppedGeometry>& into, const std::vector<DroppedGeometry>& more);

// What `doc` shows after its last evaluation, as WriteGlb writes it: its binary data in
// buffer 0, one buffer view per accessor. No document gives an empty asset. A switched-off
// object adds its node alone, with neither geometry nor cache. What had to be left out is
// added to *dropped. With `nodeObjects`, also the object each node stands for (a document
// object or a cache), one per node.
tinygltf::Model BuildGltfModel(const BaseDocument* doc, std::vector<DroppedGeometry>* dropped = nullptr,
                               std::vector<const BaseObject*>* nodeObjects = nullptr);

// A whole .glb written beside its target (or in place to a device or pipe), so that the
// target changes only on Commit and several files can wait to replace theirs together.
// Throws the AppError of WriteError, naming the target.
StagedFile StageGlb(const tinygltf::Model& model, const Filename& path);

// Changes to a model's JSON that tinygltf cannot express (extensions of buffers and
// buffer views), made before the file is written.
using GltfJsonPatch = std::function<void(nlohmann::ordered_json&)>;

// The same with the binary chunk apart from the model, whose buffer 0 must then be empty:
// the chunk is copied to the file in pieces, so a large animation is never held whole.
// `progress`, when given, advances by each byte of the chunk written; `patch`, when given,
// changes the JSON.
StagedFile StageGlb(const tinygltf::Model& model, const BinaryChunk& bin, const Filename& path,
                    Progress* progress = nullptr, const GltfJsonPatch& patch = nullptr);

// Stages the model and commits it at once.
void WriteGltfModel(const tinygltf::Model& model, const Filename& path);

}  // namespace vantelle::app
