// Smaller .glb files on request: vertex data as integers (KHR_mesh_quantization), and
// optionally every buffer view packed by meshoptimizer's codec (EXT_meshopt_compression).
#pragma once

#include "app/gltf_model.h"
#include "app/progress.h"
#include "app/scratch_file.h"
#include "app/staged_file.h"
#include "host/files/files.h"

namespace vantelle::app {

enum class GlbCompression {
  kNone,      // as built: 32-bit floats and indices
  kQuantise,  // positions, their morph deltas, normals, texture coordinates and colours as
              // integers, 16-bit indices where they fit; Blender and most viewers read it
  kMeshopt,   // the same, each buffer view then packed by meshoptimizer; only readers
              // that decode EXT_meshopt_compression read it
};

// Stages `model`, whose buffer 0 holds its bytes, compressed as `compression` says; kNone
// writes exactly what StageGlb writes.
StagedFile StageCompressedGlb(tinygltf::Model model, const Filename& path, GlbCompression compression);

// The same for a model whose buffer 0 is empty and whose bytes are `bin`.
StagedFile StageCompressedGlb(tinygltf::Model model, const BinaryChunk& bin, const Filename& path,
                              GlbCompression compression, Progress* progress = nullptr);

}  // namespace vantelle::app
