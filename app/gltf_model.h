// The two halves of a glTF export, apart so that several frames can share them: the
// model of an evaluated document, and a model written to a .glb file.
#pragma once

#include <tiny_gltf.h>

#include <filesystem>
#include <string>

#include "app/staged_file.h"
#include "host/files/files.h"
#include "host/scene/document.h"

namespace vantelle::app {

// What `doc` shows after its last evaluation, as WriteGlb writes it: its binary data in
// buffer 0, one buffer view per accessor. No document gives an empty asset.
tinygltf::Model BuildGltfModel(const BaseDocument* doc);

// A whole .glb under a temporary name beside its target, so that the target changes only
// on Commit and several files can wait to replace theirs together. Throws a Failure naming
// the target.
StagedFile StageGlb(const tinygltf::Model& model, const Filename& path);

// Stages the model and commits it at once.
void WriteGltfModel(const tinygltf::Model& model, const Filename& path);

}  // namespace vantelle::app
