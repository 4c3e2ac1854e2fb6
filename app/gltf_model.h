// The two halves of a glTF export, apart so that several frames can share them: the
// model of an evaluated document, and a model written to a .glb file.
#pragma once

#include <tiny_gltf.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/files/files.h"
#include "host/scene/document.h"

namespace vantelle::app {

// What `doc` shows after its last evaluation, as WriteGlb writes it: its binary data in
// buffer 0, one buffer view per accessor. No document gives an empty asset. With
// `nodeObjects`, also the object each node stands for (a document object or a cache),
// one per node.
tinygltf::Model BuildGltfModel(const BaseDocument* doc, std::vector<const BaseObject*>* nodeObjects = nullptr);

// A whole .glb under a temporary name beside its target, so that the target changes only
// on Commit and several files can wait to replace theirs together. A file never committed
// is removed. Throws a Failure naming the target.
class StagedGlb {
public:
  StagedGlb(const tinygltf::Model& model, const Filename& path);
  StagedGlb(StagedGlb&& other) noexcept;
  StagedGlb(const StagedGlb&) = delete;
  StagedGlb& operator=(const StagedGlb&) = delete;
  StagedGlb& operator=(StagedGlb&&) = delete;
  ~StagedGlb();

  // Renames the file over the target.
  void Commit();

private:
  std::string temporary_;  // empty once committed or moved from
  std::filesystem::path target_;
};

// Stages the model and commits it at once.
void WriteGltfModel(const tinygltf::Model& model, const Filename& path);

}  // namespace vantelle::app
