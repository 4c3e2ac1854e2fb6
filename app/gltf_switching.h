// Objects that are made anew in every frame, such as text whose glyphs change with the
// number it shows: their meshes cannot morph into each other, so an animated file holds
// each distinct version once, as a node of its own that is shown in its frames and
// hidden (scaled to zero, with step interpolation) in the others.
#pragma once

#include <tiny_gltf.h>

#include <cstddef>
#include <vector>

#include "app/scratch_file.h"
#include "host/core/types.h"

namespace vantelle::app {

// Appends an accessor over `values` (of glTF `type`, for buffer view `target` or 0) to
// `model`, its bytes to `bin`, which stands for buffer 0 (made when missing); with
// `bounds`, its min and max. Returns its index.
int AppendFloats(tinygltf::Model& model, BinaryChunk& bin, const std::vector<float>& values, int type, int target,
                 bool bounds);

// One node taken out of a frame's model, with everything it needs to stand alone.
struct DetachedNode {
  int parent = -1;       // its parent's node in the model it was taken from, -1 at the top
  tinygltf::Model piece;  // node 0 is the detached node, its subtree follows; no scene
};

// Takes the subtrees of the nodes flagged in `detach` (one flag per node) out of `model`,
// which keeps everything else with its indices renumbered in order and its buffer
// packed anew. The parents the pieces name are nodes of the model as it is afterwards.
std::vector<DetachedNode> DetachNodes(tinygltf::Model& model, const std::vector<char>& detach);

// The distinct detached nodes of a run of frames, with the frames each shows in.
class SwitchedNodes {
public:
  explicit SwitchedNodes(std::size_t frames) : frames_(frames) {}

  // Adds what `frame` detached; a node equal to one seen before (same parent, name,
  // transform, mesh and material) only shows in one more frame.
  void Add(std::size_t frame, DetachedNode node);
  std::size_t DistinctCount() const { return tracks_.size(); }
  // Bytes AddTo appends to the buffer.
  std::size_t ExtraBytes() const;

  // Appends every distinct node below its parent in `model` (which has the parents'
  // numbering), and, for each not shown in every frame, a step-interpolated scale channel
  // that shows it at frame k / fps only where it belongs, in the model's first animation
  // (made when there is none) with that animation's times. Bytes go to `bin`, which
  // stands for the model's buffer 0.
  void AddTo(tinygltf::Model& model, BinaryChunk& bin, Int32 fps) const;

private:
  struct Track {
    int parent = -1;
    tinygltf::Model piece;
    std::vector<char> shown;  // per frame
  };
  std::size_t frames_;
  std::vector<Track> tracks_;
};

}  // namespace vantelle::app
