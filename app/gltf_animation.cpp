#include "app/gltf_animation.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/app_error.h"
#include "app/gltf_model.h"
#include "app/gltf_switching.h"
#include "app/progress.h"
#include "app/scratch_file.h"

namespace vantelle::app {

namespace {

using Bytes = std::vector<unsigned char>;

// A node's transform as the model has it; glTF's defaults where a part is left out.
struct Transform {
  std::vector<double> translation, rotation, scale;
};

struct Bounds {
  std::vector<double> min, max;
};

// The bytes of one buffer view of a captured frame: in memory while its frame is the first
// or the newest, in the recorder's scratch file after, so that a long animation's frames
// are never all held at once.
class StoredView {
public:
  explicit StoredView(Bytes bytes) : size_(bytes.size()), memory_(std::make_shared<const Bytes>(std::move(bytes))) {}
  StoredView(const StoredView&) = delete;
  StoredView& operator=(const StoredView&) = delete;

  std::size_t Size() const { return size_; }
  // The bytes, read back when they were moved out.
  std::shared_ptr<const Bytes> Load() const {
    if (memory_) {
      return memory_;
    }
    auto bytes = std::make_shared<Bytes>(size_);
    file_->Read(offset_, bytes->data(), size_);
    return bytes;
  }
  void MoveTo(ScratchFile& file) {
    if (memory_) {
      offset_ = file.Append(memory_->data(), size_);
      file_ = &file;
      memory_.reset();
    }
  }

private:
  std::size_t size_;
  std::shared_ptr<const Bytes> memory_;  // null once moved out
  const ScratchFile* file_ = nullptr;
  std::uint64_t offset_ = 0;
};
using View = std::shared_ptr<StoredView>;

// One captured frame, kept so that what does not change is held once however many frames
// there are: a buffer view whose bytes equal the previous frame's shares them, and the
// model without its bytes, transforms and bounds (the numbers that change as the plot
// moves) shares the previous frame's when they are equal.
struct Frame {
  std::shared_ptr<const tinygltf::Model> structure;
  std::vector<View> views;
  std::vector<Transform> transforms;  // per node
  std::vector<Bounds> bounds;         // per accessor
  std::vector<char> switchable;       // per node: shown as versions (see IsSwitchable)
  Int32 number = 0;                   // the document's frame

  const tinygltf::Model& Model() const { return *structure; }
};

// The attributes a morph target may change. The validator accepts colour targets, and a
// plot whose colours follow its height changes them together with the positions.
constexpr std::array<const char*, 3> kMorphed = {"POSITION", "NORMAL", "COLOR_0"};

struct Span {
  std::shared_ptr<const Bytes> held;  // keeps the bytes loaded
  const unsigned char* data = nullptr;
  std::size_t bytes = 0;
};

// The bytes an accessor reads; ModelBuilder packs each accessor into a view of its own.
Span BytesOf(const Frame& frame, int index) {
  const tinygltf::Accessor& accessor = frame.Model().accessors.at(static_cast<std::size_t>(index));
  if (accessor.bufferView < 0) {
    return {};
  }
  const StoredView& view = *frame.views.at(static_cast<std::size_t>(accessor.bufferView));
  const std::size_t bytes = accessor.count *
                            static_cast<std::size_t>(tinygltf::GetComponentSizeInBytes(accessor.componentType)) *
                            static_cast<std::size_t>(tinygltf::GetNumComponentsInType(accessor.type));
  if (frame.Model().bufferViews[accessor.bufferView].byteStride != 0 || accessor.byteOffset + bytes > view.Size()) {
    throw std::logic_error("glTF accessor " + std::to_string(index) + " is not packed into its view");
  }
  Span span{view.Load(), nullptr, bytes};
  span.data = span.held->data() + accessor.byteOffset;
  return span;
}

bool SameShape(const tinygltf::Accessor& a, const tinygltf::Accessor& b) {
  return a.count == b.count && a.type == b.type && a.componentType == b.componentType;
}

bool SameBytes(const Frame& a, int accessorA, const Frame& b, int accessorB) {
  // A view shared between frames holds the same bytes for both, without reading them.
  const tinygltf::Accessor& p = a.Model().accessors.at(static_cast<std::size_t>(accessorA));
  const tinygltf::Accessor& q = b.Model().accessors.at(static_cast<std::size_t>(accessorB));
  if (p.bufferView >= 0 && q.bufferView >= 0 && p.byteOffset == q.byteOffset && SameShape(p, q) &&
      a.views.at(static_cast<std::size_t>(p.bufferView)) == b.views.at(static_cast<std::size_t>(q.bufferView))) {
    return true;
  }
  const Span x = BytesOf(a, accessorA);
  const Span y = BytesOf(b, accessorB);
  return x.bytes == y.bytes && (x.bytes == 0 || std::memcmp(x.data, y.data, x.bytes) == 0);
}

std::vector<float> Floats(const Frame& frame, int accessor) {
  const Span span = BytesOf(frame, accessor);
  std::vector<float> values(span.bytes / sizeof(float));
  if (span.bytes != 0) {
    std::memcpy(values.data(), span.data, span.bytes);
  }
  return values;
}

bool SameTopology(const Frame& a, const Frame& b) {
  const tinygltf::Model& x = a.Model();
  const tinygltf::Model& y = b.Model();
  // Materials cannot be animated: frames whose colours differ need files of their own.
  if (x.defaultScene != y.defaultScene || x.scenes.size() != y.scenes.size() || x.nodes.size() != y.nodes.size() ||
      x.meshes.size() != y.meshes.size() || x.materials != y.materials) {
    return false;
  }
  for (std::size_t i = 0; i < x.scenes.size(); ++i) {
    if (x.scenes[i].nodes != y.scenes[i].nodes) {
      return false;
    }
  }
  for (std::size_t i = 0; i < x.nodes.size(); ++i) {
    if (x.nodes[i].name != y.nodes[i].name || x.nodes[i].mesh != y.nodes[i].mesh ||
        x.nodes[i].children != y.nodes[i].children) {
      return false;
    }
  }
  for (std::size_t m = 0; m < x.meshes.size(); ++m) {
    const std::vector<tinygltf::Primitive>& p = x.meshes[m].primitives;
    const std::vector<tinygltf::Primitive>& q = y.meshes[m].primitives;
    if (p.size() != q.size()) {
      return false;
    }
    for (std::size_t i = 0; i < p.size(); ++i) {
      if (p[i].mode != q[i].mode || p[i].material != q[i].material ||
          p[i].attributes.size() != q[i].attributes.size() || (p[i].indices < 0) != (q[i].indices < 0)) {
        return false;
      }
      for (const auto& [name, accessor] : p[i].attributes) {
        const auto other = q[i].attributes.find(name);
        if (other == q[i].attributes.end() || !SameShape(x.accessors[accessor], y.accessors[other->second])) {
          return false;
        }
      }
      if (p[i].indices >= 0 && !SameBytes(a, p[i].indices, b, q[i].indices)) {
        return false;
      }
    }
  }
  return true;
}

// A transform's parts with glTF's defaults filled in, so that a part left out and the
// same value written compare equal.
std::vector<double> Translation(const Transform& t) {
  return t.translation.empty() ? std::vector<double>{0, 0, 0} : t.translation;
}
std::vector<double> Rotation(const Transform& t) {
  return t.rotation.empty() ? std::vector<double>{0, 0, 0, 1} : t.rotation;
}
std::vector<double> Scale(const Transform& t) {
  return t.scale.empty() ? std::vector<double>{1, 1, 1} : t.scale;
}

struct Path {
  const char* name;
  std::vector<double> (*of)(const Transform&);
  int type;
};
constexpr std::array<Path, 3> kPaths = {{{"translation", &Translation, TINYGLTF_TYPE_VEC3},
                                         {"rotation", &Rotation, TINYGLTF_TYPE_VEC4},
                                         {"scale", &Scale, TINYGLTF_TYPE_VEC3}}};

// What changes over the frames, found once for both HasMotion and WriteAnimated.
struct Plan {
  struct Attribute {
    std::string name;
    std::vector<char> changed;  // per frame: whether it differs from frame 0
  };
  struct Primitive {
    std::vector<Attribute> attributes;  // only those that change
  };
  struct Mesh {
    std::vector<Primitive> primitives;
    bool animated = false;
  };
  std::vector<Mesh> meshes;
  std::vector<std::pair<int, const Path*>> transforms;  // node and the part of it that moves

  bool Any() const {
    return !transforms.empty() || std::any_of(meshes.begin(), meshes.end(), [](const Mesh& m) { return m.animated; });
  }
};

// Needs frames of one topology.
Plan MakePlan(const std::vector<Frame>& frames) {
  Plan plan;
  const Frame& first = frames.front();
  const tinygltf::Model& base = first.Model();
  plan.meshes.resize(base.meshes.size());
  for (std::size_t m = 0; m < base.meshes.size(); ++m) {
    Plan::Mesh& mesh = plan.meshes[m];
    for (std::size_t p = 0; p < base.meshes[m].primitives.size(); ++p) {
      Plan::Primitive& primitive = mesh.primitives.emplace_back();
      for (const char* name : kMorphed) {
        const auto found = base.meshes[m].primitives[p].attributes.find(name);
        if (found == base.meshes[m].primitives[p].attributes.end()) {
          continue;
        }
        Plan::Attribute attribute{name, std::vector<char>(frames.size(), 0)};
        bool any = false;
        for (std::size_t k = 1; k < frames.size(); ++k) {
          const int other = frames[k].Model().meshes[m].primitives[p].attributes.at(name);
          attribute.changed[k] = SameBytes(first, found->second, frames[k], other) ? 0 : 1;
          any = any || attribute.changed[k] != 0;
        }
        if (any) {
          primitive.attributes.push_back(std::move(attribute));
          mesh.animated = true;
        }
      }
    }
  }
  for (std::size_t n = 0; n < base.nodes.size(); ++n) {
    for (const Path& path : kPaths) {
      const std::vector<double> start = path.of(first.transforms[n]);
      if (std::any_of(frames.begin() + 1, frames.end(),
                      [&](const Frame& f) { return path.of(f.transforms[n]) != start; })) {
        plan.transforms.emplace_back(static_cast<int>(n), &path);
      }
    }
  }
  return plan;
}

// The frame's model made whole again.
tinygltf::Model Assemble(const Frame& frame) {
  tinygltf::Model model = frame.Model();
  for (std::size_t i = 0; i < model.nodes.size(); ++i) {
    model.nodes[i].translation = frame.transforms[i].translation;
    model.nodes[i].rotation = frame.transforms[i].rotation;
    model.nodes[i].scale = frame.transforms[i].scale;
  }
  for (std::size_t i = 0; i < model.accessors.size(); ++i) {
    model.accessors[i].minValues = frame.bounds[i].min;
    model.accessors[i].maxValues = frame.bounds[i].max;
  }
  if (frame.views.empty()) {
    return model;
  }
  std::size_t size = 0;
  for (std::size_t i = 0; i < frame.views.size(); ++i) {
    size = std::max(size, model.bufferViews[i].byteOffset + frame.views[i]->Size());
  }
  Bytes& bin = model.buffers.at(0).data;
  bin.assign(size, 0);
  for (std::size_t i = 0; i < frame.views.size(); ++i) {
    const std::shared_ptr<const Bytes> bytes = frame.views[i]->Load();
    std::copy(bytes->begin(), bytes->end(), bin.begin() + static_cast<std::ptrdiff_t>(model.bufferViews[i].byteOffset));
  }
  return model;
}

// Adds the morph targets and the animation to frame 0's model.
class AnimationWriter {
public:
  AnimationWriter(tinygltf::Model& model, BinaryChunk& bin, const std::vector<Frame>& frames, const Plan& plan,
                  Int32 fps, Progress& progress)
      : model_(model), bin_(bin), frames_(frames), plan_(plan), fps_(fps), progress_(progress) {}

  // Bytes the animation adds to the buffer.
  static std::size_t ExtraBytes(const tinygltf::Model& base, const std::vector<Frame>& frames, const Plan& plan) {
    const std::size_t n = frames.size();
    std::size_t bytes = n * sizeof(float);  // the times
    bool weights = false;
    for (std::size_t m = 0; m < plan.meshes.size(); ++m) {
      weights = weights || plan.meshes[m].animated;
      for (std::size_t p = 0; p < plan.meshes[m].primitives.size(); ++p) {
        for (const Plan::Attribute& attribute : plan.meshes[m].primitives[p].attributes) {
          const tinygltf::Accessor& a = base.accessors[base.meshes[m].primitives[p].attributes.at(attribute.name)];
          const auto changed =
              static_cast<std::size_t>(std::count(attribute.changed.begin(), attribute.changed.end(), 1));
          bytes +=
              changed * a.count * static_cast<std::size_t>(tinygltf::GetNumComponentsInType(a.type)) * sizeof(float);
        }
      }
    }
    if (weights) {
      bytes += n * n * sizeof(float);
    }
    for (const auto& [node, path] : plan.transforms) {
      bytes += n * static_cast<std::size_t>(tinygltf::GetNumComponentsInType(path->type)) * sizeof(float);
    }
    return bytes;
  }

  void Add() {
    const std::size_t n = frames_.size();
    tinygltf::Animation animation;
    animation.name = "Frames";
    std::vector<float> times(n);
    for (std::size_t k = 0; k < n; ++k) {
      times[k] = static_cast<float>(static_cast<double>(k) / fps_);
    }
    const int input = AddFloats(times, TINYGLTF_TYPE_SCALAR, 0, true);

    // Frame k has all of target k and nothing else, so that the animation passes through
    // every frame and blends between neighbours.
    int weights = -1;
    for (std::size_t m = 0; m < plan_.meshes.size(); ++m) {
      if (!plan_.meshes[m].animated) {
        continue;
      }
      AddTargets(static_cast<int>(m));
      if (weights < 0) {
        std::vector<float> identity(n * n, 0.0f);
        for (std::size_t k = 0; k < n; ++k) {
          identity[k * n + k] = 1.0f;
        }
        weights = AddFloats(identity, TINYGLTF_TYPE_SCALAR, 0, false);
      }
      for (std::size_t node = 0; node < model_.nodes.size(); ++node) {
        if (model_.nodes[node].mesh == static_cast<int>(m)) {
          AddChannel(animation, input, weights, static_cast<int>(node), "weights");
        }
      }
    }
    for (const auto& [node, path] : plan_.transforms) {
      std::vector<float> values;
      std::vector<double> last;
      for (const Frame& frame : frames_) {
        std::vector<double> value = path->of(frame.transforms[node]);
        // A rotation and its negative are the same turn, and the model writes the one
        // with w >= 0; interpolating from one sign to the other would take the long way.
        if (path->type == TINYGLTF_TYPE_VEC4 && !last.empty() &&
            value[0] * last[0] + value[1] * last[1] + value[2] * last[2] + value[3] * last[3] < 0.0) {
          for (double& c : value) {
            c = -c;
          }
        }
        values.insert(values.end(), value.begin(), value.end());
        last = std::move(value);
      }
      AddChannel(animation, input, AddFloats(values, path->type, 0, false), node, path->name);
    }
    model_.animations.push_back(std::move(animation));
  }

private:
  void AddTargets(int m) {
    const std::size_t n = frames_.size();
    tinygltf::Mesh& mesh = model_.meshes[m];
    for (std::size_t p = 0; p < mesh.primitives.size(); ++p) {
      tinygltf::Primitive& primitive = mesh.primitives[p];
      const std::vector<Plan::Attribute>& changing = plan_.meshes[m].primitives[p].attributes;
      primitive.targets.assign(n, {});
      // Every primitive of the mesh needs as many targets; one that stays put gets
      // targets of zeros, which take no bytes.
      const int vertices = static_cast<int>(model_.accessors[primitive.attributes.at("POSITION")].count);
      if (std::none_of(changing.begin(), changing.end(),
                       [](const Plan::Attribute& a) { return a.name == "POSITION"; })) {
        for (std::map<std::string, int>& target : primitive.targets) {
          target["POSITION"] = Zeros(vertices, TINYGLTF_TYPE_VEC3);
        }
      }
      for (const Plan::Attribute& attribute : changing) {
        const int base = primitive.attributes.at(attribute.name);
        const int type = model_.accessors[base].type;
        const std::vector<float> start = Floats(frames_[0], base);
        for (std::size_t k = 0; k < n; ++k) {
          if (attribute.changed[k] == 0) {
            primitive.targets[k][attribute.name] = Zeros(vertices, type);
            continue;
          }
          std::vector<float> delta =
              Floats(frames_[k], frames_[k].Model().meshes[m].primitives[p].attributes.at(attribute.name));
          for (std::size_t i = 0; i < delta.size(); ++i) {
            delta[i] -= start[i];
          }
          primitive.targets[k][attribute.name] =
              AddFloats(delta, type, TINYGLTF_TARGET_ARRAY_BUFFER, attribute.name == "POSITION");
        }
      }
    }
    mesh.weights.assign(n, 0.0);
    tinygltf::Value::Array names;
    for (const Frame& frame : frames_) {
      names.emplace_back("Frame " + std::to_string(frame.number));
    }
    // Where Blender and three.js look for the names of the targets.
    tinygltf::Value::Object extras =
        mesh.extras.IsObject() ? mesh.extras.Get<tinygltf::Value::Object>() : tinygltf::Value::Object();
    extras["targetNames"] = tinygltf::Value(std::move(names));
    mesh.extras = tinygltf::Value(std::move(extras));
  }

  static void AddChannel(tinygltf::Animation& animation, int input, int output, int node, const char* path) {
    tinygltf::AnimationSampler sampler;
    sampler.input = input;
    sampler.output = output;
    sampler.interpolation = "LINEAR";
    animation.samplers.push_back(std::move(sampler));
    tinygltf::AnimationChannel channel;
    channel.sampler = static_cast<int>(animation.samplers.size()) - 1;
    channel.target_node = node;
    channel.target_path = path;
    animation.channels.push_back(std::move(channel));
  }

  int AddFloats(const std::vector<float>& values, int type, int target, bool bounds) {
    progress_.Advance(static_cast<Int64>(values.size() * sizeof(float)));
    return AppendFloats(model_, bin_, values, type, target, bounds);
  }

  // An accessor without a view, which glTF reads as zeros; one per count and type.
  int Zeros(int count, int type) {
    const auto key = std::make_pair(count, type);
    if (const auto found = zeros_.find(key); found != zeros_.end()) {
      return found->second;
    }
    tinygltf::Accessor accessor;
    accessor.bufferView = -1;
    accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
    accessor.type = type;
    accessor.count = static_cast<std::size_t>(count);
    // Positions need their bounds, and a shared accessor may serve as one.
    const auto components = static_cast<std::size_t>(tinygltf::GetNumComponentsInType(type));
    accessor.minValues.assign(components, 0.0);
    accessor.maxValues.assign(components, 0.0);
    model_.accessors.push_back(std::move(accessor));
    const int index = static_cast<int>(model_.accessors.size()) - 1;
    zeros_.emplace(key, index);
    return index;
  }

  tinygltf::Model& model_;
  BinaryChunk& bin_;
  const std::vector<Frame>& frames_;
  const Plan& plan_;
  const Int32 fps_;
  Progress& progress_;
  std::map<std::pair<int, int>, int> zeros_;
};

std::string Shown(const Filename& path) {
  const std::string shown = path.GetString().GetStd();
  return shown.empty() ? std::string("\"\"") : shown;
}

// A frame of `model`, holding once what equals the previous frame's.
Frame MakeFrame(tinygltf::Model model, const Frame* previous, Int32 number) {
  Frame frame;
  frame.number = number;
  if (!model.buffers.empty()) {
    const Bytes& bin = model.buffers[0].data;
    frame.views.reserve(model.bufferViews.size());
    for (std::size_t i = 0; i < model.bufferViews.size(); ++i) {
      const tinygltf::BufferView& view = model.bufferViews[i];
      const unsigned char* start = bin.data() + view.byteOffset;
      if (previous != nullptr && i < previous->views.size() && previous->views[i]->Size() == view.byteLength &&
          std::equal(start, start + view.byteLength, previous->views[i]->Load()->begin())) {
        frame.views.push_back(previous->views[i]);
      } else {
        frame.views.push_back(std::make_shared<StoredView>(Bytes(start, start + view.byteLength)));
      }
    }
    Bytes().swap(model.buffers[0].data);
  }
  frame.transforms.reserve(model.nodes.size());
  for (tinygltf::Node& node : model.nodes) {
    frame.transforms.push_back({std::move(node.translation), std::move(node.rotation), std::move(node.scale)});
    node.translation.clear();
    node.rotation.clear();
    node.scale.clear();
  }
  frame.bounds.reserve(model.accessors.size());
  for (tinygltf::Accessor& accessor : model.accessors) {
    frame.bounds.push_back({std::move(accessor.minValues), std::move(accessor.maxValues)});
    accessor.minValues.clear();
    accessor.maxValues.clear();
  }
  if (previous != nullptr && previous->Model() == model) {
    frame.structure = previous->structure;
  } else {
    frame.structure = std::make_shared<const tinygltf::Model>(std::move(model));
  }
  return frame;
}

// Moves out what only the frames before the newest use: the first frame and the newest
// stay in memory, as every new frame is compared with both.
void Retire(std::vector<Frame>& list, ScratchFile& scratch) {
  if (list.size() < 3) {
    return;
  }
  const Frame& first = list.front();
  const Frame& newest = list.back();
  for (std::size_t i = 0; i < list[list.size() - 2].views.size(); ++i) {
    const View& view = list[list.size() - 2].views[i];
    if ((i < first.views.size() && first.views[i] == view) || (i < newest.views.size() && newest.views[i] == view)) {
      continue;
    }
    view->MoveTo(scratch);
  }
}

// Extruded outlines, such as text, whose meshes change their make-up when what they show
// changes: they cannot morph, so each version becomes a node shown in its frames. They
// are small, unlike a surface, whose change of make-up still writes a file per frame.
bool IsSwitchable(const BaseObject* op) { return op != nullptr && op->GetType() == Oextrude; }

// The frames with their switchable nodes set apart, when what remains keeps one topology.
struct SplitFrames {
  std::vector<Frame> rest;
  SwitchedNodes switched;
};

std::optional<SplitFrames> Split(const std::vector<Frame>& list, ScratchFile& scratch) {
  if (std::none_of(list.begin(), list.end(), [](const Frame& f) {
        return std::any_of(f.switchable.begin(), f.switchable.end(), [](char s) { return s != 0; });
      })) {
    return std::nullopt;
  }
  SplitFrames split{{}, SwitchedNodes(list.size())};
  split.rest.reserve(list.size());
  for (std::size_t k = 0; k < list.size(); ++k) {
    tinygltf::Model model = Assemble(list[k]);
    for (DetachedNode& node : DetachNodes(model, list[k].switchable)) {
      split.switched.Add(k, std::move(node));
    }
    split.rest.push_back(MakeFrame(std::move(model), k > 0 ? &split.rest.back() : nullptr, list[k].number));
    Retire(split.rest, scratch);
    if (!SameTopology(split.rest.front(), split.rest.back())) {
      return std::nullopt;
    }
  }
  return split;
}

// Throws when `extra` bytes more do not fit into one file after the first frame's.
void CheckFits(const std::vector<Frame>& list, std::size_t extra, const Filename& path) {
  std::size_t base = 0;
  for (std::size_t i = 0; i < list.front().views.size(); ++i) {
    base = std::max(base, list.front().Model().bufferViews[i].byteOffset + list.front().views[i]->Size());
  }
  if (extra > kMaxGlbBin - base) {
    throw Failure("cannot write " + Shown(path) + ": " + std::to_string(list.size()) +
                  " frames are too many for one .glb file");
  }
}

}  // namespace

struct GltfFrameRecorder::Frames {
  ScratchFile scratch;  // declared first: views moved out refer to it until the end
  std::vector<Frame> list;
  std::vector<DroppedGeometry> dropped;
};

GltfFrameRecorder::GltfFrameRecorder() : frames_(std::make_unique<Frames>()) {}
GltfFrameRecorder::~GltfFrameRecorder() = default;

void GltfFrameRecorder::Capture(BaseDocument* doc) {
  std::vector<Frame>& list = frames_->list;
  std::vector<const BaseObject*> objects;
  tinygltf::Model model = BuildGltfModel(doc, &frames_->dropped, &objects);
  const Int32 number = doc != nullptr ? doc->GetTime().GetFrame(doc->GetFps()) : static_cast<Int32>(list.size());
  Frame frame = MakeFrame(std::move(model), list.empty() ? nullptr : &list.back(), number);
  frame.switchable.reserve(objects.size());
  for (const BaseObject* op : objects) {
    frame.switchable.push_back(IsSwitchable(op) ? 1 : 0);
  }
  list.push_back(std::move(frame));
  Retire(list, frames_->scratch);
}

const std::vector<DroppedGeometry>& GltfFrameRecorder::GetDropped() const {
  return frames_->dropped;
}

Int32 GltfFrameRecorder::GetFrameCount() const {
  return static_cast<Int32>(frames_->list.size());
}

bool GltfFrameRecorder::HasSameTopology() const {
  const std::vector<Frame>& list = frames_->list;
  return std::all_of(list.begin(), list.end(), [&](const Frame& f) { return SameTopology(list.front(), f); });
}

// Frames that differ in their topology change, whatever their vertices do.
bool GltfFrameRecorder::HasMotion() const {
  if (frames_->list.size() < 2) {
    return false;
  }
  return !HasSameTopology() || MakePlan(frames_->list).Any();
}

bool GltfFrameRecorder::FitsOneFile() const {
  return HasSameTopology() || Split(frames_->list, frames_->scratch).has_value();
}

void GltfFrameRecorder::WriteAnimated(const Filename& path, Int32 fps, GlbCompression compression) const {
  const std::vector<Frame>& list = frames_->list;
  if (list.empty()) {
    StageCompressedGlb(BuildGltfModel(nullptr), path, compression).Commit();
    return;
  }
  std::optional<SplitFrames> split;
  if (!HasSameTopology() && !(split = Split(list, frames_->scratch))) {
    throw Failure("cannot write " + Shown(path) +
                  ": the frames differ in their objects or meshes, so one file cannot animate them");
  }
  if (fps <= 0) {
    throw Failure("cannot write " + Shown(path) + ": the frame rate " + std::to_string(fps) + " is not positive");
  }
  const std::vector<Frame>& frames = split ? split->rest : list;
  const Plan plan = MakePlan(frames);
  if (!plan.Any() && !split) {
    StageCompressedGlb(Assemble(frames.front()), path, compression).Commit();
    return;
  }
  const std::size_t extra = (plan.Any() ? AnimationWriter::ExtraBytes(frames.front().Model(), frames, plan) : 0) +
                            (split ? split->switched.ExtraBytes() : 0);
  CheckFits(frames, extra, path);
  tinygltf::Model model = Assemble(frames.front());
  // The targets are made, then copied into the file.
  const std::size_t base = model.buffers.empty() ? 0 : model.buffers[0].data.size();
  Progress writing("writing " + Shown(path), static_cast<Int64>(base + 2 * extra), false);
  writing.Advance(static_cast<Int64>(base));
  // The morph targets go to the chunk as they are made, which keeps them out of memory.
  BinaryChunk bin;
  if (model.buffers.empty()) {
    model.buffers.emplace_back();  // an animation of nodes alone still needs its times
  } else {
    bin.Append(model.buffers[0].data.data(), model.buffers[0].data.size());
    Bytes().swap(model.buffers[0].data);
  }
  if (plan.Any()) {
    AnimationWriter(model, bin, frames, plan, fps, writing).Add();
  }
  if (split) {
    split->switched.AddTo(model, bin, fps);
  }
  StageCompressedGlb(std::move(model), bin, path, compression, &writing).Commit();
}

std::vector<std::string> GltfFrameRecorder::WriteFrames(const Filename& path, GlbCompression compression) const {
  std::filesystem::path stem = path.GetPath();
  if (stem.empty() || !stem.has_filename()) {
    throw Failure("cannot write " + Shown(path) + ": not a file name");
  }
  std::string extension = Utf8FromPath(stem.extension());
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  if (extension == ".glb") {
    stem.replace_extension();
  }
  // Every file is written whole before any target changes, so a failure part way leaves
  // the folder as it was.
  std::vector<StagedFile> staged;
  std::vector<std::string> names;
  staged.reserve(frames_->list.size());
  Progress writing("writing files", static_cast<Int64>(frames_->list.size()));
  for (std::size_t k = 0; k < frames_->list.size(); ++k) {
    char number[32];
    std::snprintf(number, sizeof(number), "_%04zu.glb", k);
    names.push_back(Utf8FromPath(stem) + number);
    staged.push_back(
        StageCompressedGlb(Assemble(frames_->list[k]), Filename(PathFromUtf8(names.back())), compression));
    writing.Step();
  }
  CommitAll(staged);
  return names;
}

}  // namespace vantelle::app
