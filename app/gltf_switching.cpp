#include "app/gltf_switching.h"

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

namespace vantelle::app {

namespace {

using Bytes = std::vector<unsigned char>;

// Copies some nodes of a model into a model of their own that holds only what they use:
// meshes, accessors, views and materials in the order the nodes first use them, the views'
// bytes packed into one new buffer.
class Extractor {
public:
  explicit Extractor(const tinygltf::Model& source)
      : source_(source),
        meshes_(source.meshes.size(), -1),
        accessors_(source.accessors.size(), -1),
        views_(source.bufferViews.size(), -1),
        materials_(source.materials.size(), -1) {}

  // `nodes` (indices into the source) become nodes 0, 1, ... in that order; children
  // outside the list are dropped.
  tinygltf::Model Extract(const std::vector<int>& nodes) {
    std::vector<int> renumbered(source_.nodes.size(), -1);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      renumbered[static_cast<std::size_t>(nodes[i])] = static_cast<int>(i);
    }
    out_.asset = source_.asset;
    for (const int old : nodes) {
      tinygltf::Node node = source_.nodes[static_cast<std::size_t>(old)];
      std::vector<int> children;
      for (const int child : node.children) {
        if (renumbered[static_cast<std::size_t>(child)] >= 0) {
          children.push_back(renumbered[static_cast<std::size_t>(child)]);
        }
      }
      node.children = std::move(children);
      node.mesh = Mesh(node.mesh);
      out_.nodes.push_back(std::move(node));
    }
    for (const std::string& extension : source_.extensionsUsed) {
      if (std::any_of(out_.materials.begin(), out_.materials.end(),
                      [&](const tinygltf::Material& m) { return m.extensions.count(extension) != 0; })) {
        out_.extensionsUsed.push_back(extension);
      }
    }
    if (!bin_.empty()) {
      out_.buffers.emplace_back();
      out_.buffers[0].data = std::move(bin_);
    }
    return std::move(out_);
  }

private:
  int Mesh(int old) {
    if (old < 0) {
      return old;
    }
    int& index = meshes_[static_cast<std::size_t>(old)];
    if (index < 0) {
      tinygltf::Mesh mesh = source_.meshes[static_cast<std::size_t>(old)];
      for (tinygltf::Primitive& primitive : mesh.primitives) {
        for (auto& [name, accessor] : primitive.attributes) {
          accessor = Accessor(accessor);
        }
        for (auto& target : primitive.targets) {
          for (auto& [name, accessor] : target) {
            accessor = Accessor(accessor);
          }
        }
        primitive.indices = Accessor(primitive.indices);
        primitive.material = Material(primitive.material);
      }
      out_.meshes.push_back(std::move(mesh));
      index = static_cast<int>(out_.meshes.size()) - 1;
    }
    return index;
  }

  int Accessor(int old) {
    if (old < 0) {
      return old;
    }
    int& index = accessors_[static_cast<std::size_t>(old)];
    if (index < 0) {
      tinygltf::Accessor accessor = source_.accessors[static_cast<std::size_t>(old)];
      accessor.bufferView = View(accessor.bufferView);
      out_.accessors.push_back(std::move(accessor));
      index = static_cast<int>(out_.accessors.size()) - 1;
    }
    return index;
  }

  int View(int old) {
    if (old < 0) {
      return old;
    }
    int& index = views_[static_cast<std::size_t>(old)];
    if (index < 0) {
      tinygltf::BufferView view = source_.bufferViews[static_cast<std::size_t>(old)];
      const Bytes& data = source_.buffers.at(static_cast<std::size_t>(view.buffer)).data;
      const auto start = data.begin() + static_cast<std::ptrdiff_t>(view.byteOffset);
      view.buffer = 0;
      view.byteOffset = bin_.size();
      bin_.insert(bin_.end(), start, start + static_cast<std::ptrdiff_t>(view.byteLength));
      out_.bufferViews.push_back(std::move(view));
      index = static_cast<int>(out_.bufferViews.size()) - 1;
    }
    return index;
  }

  int Material(int old) {
    if (old < 0) {
      return old;
    }
    int& index = materials_[static_cast<std::size_t>(old)];
    if (index < 0) {
      out_.materials.push_back(source_.materials[static_cast<std::size_t>(old)]);
      index = static_cast<int>(out_.materials.size()) - 1;
    }
    return index;
  }

  const tinygltf::Model& source_;
  tinygltf::Model out_;
  Bytes bin_;
  std::vector<int> meshes_, accessors_, views_, materials_;
};

// The node's subtree in pre-order.
std::vector<int> Subtree(const tinygltf::Model& model, int root) {
  std::vector<int> order;
  std::vector<int> stack{root};
  while (!stack.empty()) {
    const int node = stack.back();
    stack.pop_back();
    order.push_back(node);
    const std::vector<int>& children = model.nodes[static_cast<std::size_t>(node)].children;
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
  return order;
}

// Appends `piece` to `model`: its bytes to buffer 0, its views, accessors, meshes and
// nodes renumbered after the model's own, its materials shared where the model has equal
// ones. Returns the model's index of the piece's node 0.
int Append(tinygltf::Model& model, BinaryChunk& bin, const tinygltf::Model& piece) {
  if (model.buffers.empty() && !piece.buffers.empty()) {
    model.buffers.emplace_back();
  }
  const int viewBase = static_cast<int>(model.bufferViews.size());
  if (!piece.buffers.empty()) {
    const std::size_t byteBase = bin.Size();
    bin.Append(piece.buffers[0].data.data(), piece.buffers[0].data.size());
    for (tinygltf::BufferView view : piece.bufferViews) {
      view.buffer = 0;
      view.byteOffset += byteBase;
      model.bufferViews.push_back(std::move(view));
    }
  }
  const int accessorBase = static_cast<int>(model.accessors.size());
  for (tinygltf::Accessor accessor : piece.accessors) {
    if (accessor.bufferView >= 0) {
      accessor.bufferView += viewBase;
    }
    model.accessors.push_back(std::move(accessor));
  }
  std::vector<int> materials;
  for (const tinygltf::Material& material : piece.materials) {
    const auto same = std::find(model.materials.begin(), model.materials.end(), material);
    materials.push_back(static_cast<int>(same - model.materials.begin()));
    if (same == model.materials.end()) {
      model.materials.push_back(material);
    }
  }
  const int meshBase = static_cast<int>(model.meshes.size());
  for (tinygltf::Mesh mesh : piece.meshes) {
    for (tinygltf::Primitive& primitive : mesh.primitives) {
      for (auto& [name, accessor] : primitive.attributes) {
        accessor += accessorBase;
      }
      for (auto& target : primitive.targets) {
        for (auto& [name, accessor] : target) {
          accessor += accessorBase;
        }
      }
      if (primitive.indices >= 0) {
        primitive.indices += accessorBase;
      }
      if (primitive.material >= 0) {
        primitive.material = materials[static_cast<std::size_t>(primitive.material)];
      }
    }
    model.meshes.push_back(std::move(mesh));
  }
  const int nodeBase = static_cast<int>(model.nodes.size());
  for (tinygltf::Node node : piece.nodes) {
    if (node.mesh >= 0) {
      node.mesh += meshBase;
    }
    for (int& child : node.children) {
      child += nodeBase;
    }
    model.nodes.push_back(std::move(node));
  }
  for (const std::string& extension : piece.extensionsUsed) {
    if (std::find(model.extensionsUsed.begin(), model.extensionsUsed.end(), extension) ==
        model.extensionsUsed.end()) {
      model.extensionsUsed.push_back(extension);
    }
  }
  return nodeBase;
}

}  // namespace

int AppendFloats(tinygltf::Model& model, BinaryChunk& bin, const std::vector<float>& values, int type, int target,
                 bool bounds) {
  if (model.buffers.empty()) {
    model.buffers.emplace_back();
  }
  const std::size_t bytes = values.size() * sizeof(float);
  tinygltf::BufferView view;
  view.buffer = 0;
  view.byteOffset = bin.Size();
  view.byteLength = bytes;
  view.target = target;
  bin.Append(values.data(), bytes);
  model.bufferViews.push_back(view);

  tinygltf::Accessor accessor;
  accessor.bufferView = static_cast<int>(model.bufferViews.size()) - 1;
  accessor.byteOffset = 0;
  accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
  accessor.type = type;
  const auto components = static_cast<std::size_t>(tinygltf::GetNumComponentsInType(type));
  accessor.count = values.size() / components;
  if (bounds) {
    accessor.minValues.assign(components, std::numeric_limits<double>::max());
    accessor.maxValues.assign(components, std::numeric_limits<double>::lowest());
    for (std::size_t i = 0; i < values.size(); ++i) {
      accessor.minValues[i % components] = std::min<double>(accessor.minValues[i % components], values[i]);
      accessor.maxValues[i % components] = std::max<double>(accessor.maxValues[i % components], values[i]);
    }
  }
  model.accessors.push_back(std::move(accessor));
  return static_cast<int>(model.accessors.size()) - 1;
}

std::vector<DetachedNode> DetachNodes(tinygltf::Model& model, const std::vector<char>& detach) {
  const std::size_t n = model.nodes.size();
  std::vector<int> parent(n, -1);
  for (std::size_t i = 0; i < n; ++i) {
    for (const int child : model.nodes[i].children) {
      parent[static_cast<std::size_t>(child)] = static_cast<int>(i);
    }
  }
  // Whether a node goes with a detached subtree: its own flag or an ancestor's.
  std::vector<signed char> inside(n, -1);
  const auto isInside = [&](std::size_t node) {
    std::vector<std::size_t> chain;
    std::size_t at = node;
    signed char value = 0;
    for (;;) {
      if (inside[at] >= 0) {
        value = inside[at];
        break;
      }
      chain.push_back(at);
      if (at < detach.size() && detach[at] != 0) {
        value = 1;
        break;
      }
      if (parent[at] < 0) {
        break;
      }
      at = static_cast<std::size_t>(parent[at]);
    }
    for (const std::size_t c : chain) {
      inside[c] = value;
    }
    return inside[node] == 1;
  };

  std::vector<int> kept;
  std::vector<int> tops;
  std::vector<int> renumbered(n, -1);
  for (std::size_t i = 0; i < n; ++i) {
    if (!isInside(i)) {
      renumbered[i] = static_cast<int>(kept.size());
      kept.push_back(static_cast<int>(i));
    } else if (parent[i] < 0 || !isInside(static_cast<std::size_t>(parent[i]))) {
      tops.push_back(static_cast<int>(i));
    }
  }
  if (tops.empty()) {
    return {};
  }

  std::vector<DetachedNode> detached;
  for (const int top : tops) {
    DetachedNode node;
    const int above = parent[static_cast<std::size_t>(top)];
    node.parent = above >= 0 ? renumbered[static_cast<std::size_t>(above)] : -1;
    node.piece = Extractor(model).Extract(Subtree(model, top));
    detached.push_back(std::move(node));
  }
  tinygltf::Model rest = Extractor(model).Extract(kept);
  rest.scenes = model.scenes;
  for (tinygltf::Scene& scene : rest.scenes) {
    std::vector<int> roots;
    for (const int root : scene.nodes) {
      if (renumbered[static_cast<std::size_t>(root)] >= 0) {
        roots.push_back(renumbered[static_cast<std::size_t>(root)]);
      }
    }
    scene.nodes = std::move(roots);
  }
  rest.defaultScene = model.defaultScene;
  model = std::move(rest);
  return detached;
}

void SwitchedNodes::Add(std::size_t frame, DetachedNode node) {
  for (Track& track : tracks_) {
    if (track.parent == node.parent && track.piece == node.piece) {
      track.shown.at(frame) = 1;
      return;
    }
  }
  Track track{node.parent, std::move(node.piece), std::vector<char>(frames_, 0)};
  track.shown.at(frame) = 1;
  tracks_.push_back(std::move(track));
}

std::size_t SwitchedNodes::ExtraBytes() const {
  std::size_t bytes = frames_ * sizeof(float);  // times, when no animation has them yet
  for (const Track& track : tracks_) {
    bytes += track.piece.buffers.empty() ? 0 : track.piece.buffers[0].data.size();
    bytes += frames_ * 3 * sizeof(float);
  }
  return bytes;
}

void SwitchedNodes::AddTo(tinygltf::Model& model, BinaryChunk& bin, Int32 fps) const {
  int times = -1;
  for (const Track& track : tracks_) {
    const int node = Append(model, bin, track.piece);
    if (track.parent >= 0) {
      model.nodes[static_cast<std::size_t>(track.parent)].children.push_back(node);
    } else {
      if (model.scenes.empty()) {
        model.scenes.emplace_back();
        model.defaultScene = 0;
      }
      model.scenes[static_cast<std::size_t>(std::max(model.defaultScene, 0))].nodes.push_back(node);
    }
    if (std::all_of(track.shown.begin(), track.shown.end(), [](char shown) { return shown != 0; })) {
      continue;
    }
    if (model.animations.empty()) {
      model.animations.emplace_back();
      model.animations[0].name = "Frames";
    }
    tinygltf::Animation& animation = model.animations[0];
    if (times < 0) {
      if (!animation.samplers.empty()) {
        times = animation.samplers[0].input;
      } else {
        std::vector<float> seconds(frames_);
        for (std::size_t k = 0; k < frames_; ++k) {
          seconds[k] = static_cast<float>(static_cast<double>(k) / fps);
        }
        times = AppendFloats(model, bin, seconds, TINYGLTF_TYPE_SCALAR, 0, true);
      }
    }
    const std::vector<double>& own = model.nodes[static_cast<std::size_t>(node)].scale;
    std::vector<float> scales;
    for (const char shown : track.shown) {
      for (std::size_t c = 0; c < 3; ++c) {
        scales.push_back(shown == 0 ? 0.0f : (own.empty() ? 1.0f : static_cast<float>(own[c])));
      }
    }
    tinygltf::AnimationSampler sampler;
    sampler.input = times;
    sampler.output = AppendFloats(model, bin, scales, TINYGLTF_TYPE_VEC3, 0, false);
    // Step: a label is there or not, never half grown.
    sampler.interpolation = "STEP";
    animation.samplers.push_back(std::move(sampler));
    tinygltf::AnimationChannel channel;
    channel.sampler = static_cast<int>(animation.samplers.size()) - 1;
    channel.target_node = node;
    channel.target_path = "scale";
    animation.channels.push_back(std::move(channel));
  }
}

}  // namespace vantelle::app
