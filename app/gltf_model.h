// The two halves of a glTF export, apart so that several frames can share them: the
// model of an evaluated document, and a model written to a .glb file.
#pragma once

#include <tiny_gltf.h>

#include <memory>
#include <string>

#include "host/files/files.h"
#include "host/scene/document.h"

class FileReplacement;

namespace vantelle::app {

// What `doc` shows after its last evaluation, as WriteGlb writes it: its binary data in
// buffer 0, one buffer view per accessor. No document gives an empty asset.
tinygltf::Model BuildGltfModel(const BaseDocument* doc);

// A whole .glb under a temporary name beside its target (or written in place to a device
// or pipe), so that the target changes only on Commit and several files can wait to
// replace theirs together. A file never committed is removed. Throws the AppError of
// WriteError, naming the target.
class StagedGlb {
public:
  StagedGlb(const tinygltf::Model& model, const Filename& path);
  StagedGlb(StagedGlb&& other) noexcept;
  StagedGlb(const StagedGlb&) = delete;
  StagedGlb& operator=(const StagedGlb&) = delete;
  StagedGlb& operator=(StagedGlb&&) = delete;
  ~StagedGlb();

  // Puts the file in place of the target.
  void Commit();

private:
  std::unique_ptr<FileReplacement> file_;  // null once moved from
  std::string shown_;                      // the target as the user named it
};

// Stages the model and commits it at once.
void WriteGltfModel(const tinygltf::Model& model, const Filename& path);

}  // namespace vantelle::app
