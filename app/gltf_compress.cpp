#include "app/gltf_compress.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <tiny_gltf.h>

#ifdef VANTELLE_MESHOPT
#include <meshoptimizer.h>
#endif

#include "app/app_error.h"

namespace vantelle::app {

namespace {

constexpr const char* kQuantisation = "KHR_mesh_quantization";

// Positions are whole steps of one grid per mesh, 16-bit signed; a morph delta is a
// difference of two such points and must fit 16 bits as well.
constexpr double kPositionSteps = 65534.0;  // -32767 .. 32767 across the mesh
constexpr double kDeltaSteps = 32766.0;     // one step spare for rounding both ends

// The most bytes views are gathered into one (see Quantiser::Gather).
constexpr std::size_t kGatheredBytes = std::size_t{16} << 20;

using Bytes = std::vector<unsigned char>;

std::size_t ElementBytes(const tinygltf::Accessor& a) {
  return static_cast<std::size_t>(tinygltf::GetComponentSizeInBytes(a.componentType)) *
         static_cast<std::size_t>(tinygltf::GetNumComponentsInType(a.type));
}

std::size_t Padded(std::size_t bytes) { return (bytes + 3) / 4 * 4; }

void AddExtension(tinygltf::Model& model, const char* name, bool required) {
  if (std::find(model.extensionsUsed.begin(), model.extensionsUsed.end(), name) == model.extensionsUsed.end()) {
    model.extensionsUsed.emplace_back(name);
  }
  if (required &&
      std::find(model.extensionsRequired.begin(), model.extensionsRequired.end(), name) ==
          model.extensionsRequired.end()) {
    model.extensionsRequired.emplace_back(name);
  }
}

// What an accessor holds for the meshes that read it; an accessor read in two ways, or
// one whose bytes are not its view's alone, stays as it is.
enum class Role { kOther, kPosition, kPositionDelta, kNormal, kNormalDelta, kTexcoord, kColour, kIndices };

struct Use {
  Role role = Role::kOther;
  int mesh = -1;
  int base = -1;  // for a delta: the primitive's own attribute
  bool conflict = false;
};

// The grid a mesh's positions are stored on: point = centre + step * q.
struct Grid {
  std::array<double, 3> centre{};
  double step = 1.0;
};

class Quantiser {
public:
  // The accessors and views as built are kept, as the model's change while views are
  // rewritten.
  Quantiser(tinygltf::Model& model, const BinaryChunk& in)
      : model_(model), in_(in), accessors_(model.accessors), views_(model.bufferViews),
        readers_(model.bufferViews.size(), 0) {
    for (const tinygltf::Accessor& a : accessors_) {
      if (a.bufferView >= 0) {
        ++readers_[static_cast<std::size_t>(a.bufferView)];
      }
    }
  }

  // Rewrites every view into `out`, quantising what can be, and places the meshes' grids
  // in their nodes' transforms. False when nothing was quantised.
  bool Run(BinaryChunk& out) {
    FindUses();
    FindGrids();
    bool any = false;
    std::vector<int> owner(model_.bufferViews.size(), -1);
    for (std::size_t a = 0; a < model_.accessors.size(); ++a) {
      if (model_.accessors[a].bufferView >= 0) {
        owner[static_cast<std::size_t>(model_.accessors[a].bufferView)] = static_cast<int>(a);
      }
    }
    // Every view's bytes as they will be, in order, then gathered by kind.
    BinaryChunk staged;
    std::vector<std::uint64_t> at(model_.bufferViews.size());
    for (std::size_t v = 0; v < model_.bufferViews.size(); ++v) {
      tinygltf::BufferView& view = model_.bufferViews[v];
      Bytes bytes;
      const int a = owner[v];
      bool converted = false;
      if (readers_[v] == 1 && view.buffer == 0 && view.byteStride == 0 &&
          model_.accessors[static_cast<std::size_t>(a)].byteOffset == 0) {
        converted = Convert(a, view, bytes);
      }
      if (!converted) {
        bytes.resize(view.byteLength);
        in_.ReadAt(view.byteOffset, bytes.data(), bytes.size());
      }
      any = any || (converted && uses_[static_cast<std::size_t>(a)].role != Role::kIndices);
      at[v] = staged.Size();
      view.byteLength = bytes.size();
      staged.Append(bytes.data(), bytes.size());
    }
    Gather(staged, at, owner, out);
    if (any) {
      PlaceGrids();
      AddExtension(model_, kQuantisation, true);
    }
    return any;
  }

private:
  // Views of one kind become one view, their accessors at offsets in it: thousands of
  // morph targets then need a few views, which keeps the JSON small and gives
  // meshoptimizer long runs to pack. Vertex data is gathered by stride, indices by size,
  // the animation's data into one. A view read by several accessors stays alone.
  void Gather(const BinaryChunk& staged, const std::vector<std::uint64_t>& at, const std::vector<int>& owner,
              BinaryChunk& out) {
    std::vector<tinygltf::BufferView> views;
    std::map<std::pair<int, std::size_t>, int> kinds;  // target and stride: the gathered view
    std::vector<int> placed(model_.bufferViews.size(), -1);
    std::vector<std::vector<std::size_t>> members;
    std::vector<std::size_t> gatheredBytes;
    for (std::size_t v = 0; v < model_.bufferViews.size(); ++v) {
      const tinygltf::BufferView& view = model_.bufferViews[v];
      std::pair<int, std::size_t> kind{-1, v};  // alone
      if (readers_[v] == 1 && view.buffer == 0 && model_.accessors[static_cast<std::size_t>(owner[v])].byteOffset == 0) {
        const tinygltf::Accessor& a = model_.accessors[static_cast<std::size_t>(owner[v])];
        const std::size_t element = ElementBytes(a);
        const std::size_t stride = view.byteStride != 0 ? view.byteStride : element;
        if (view.target == TINYGLTF_TARGET_ARRAY_BUFFER && stride % 4 == 0 && stride <= 252) {
          kind = {view.target, stride};
        } else if (view.target == TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER && view.byteStride == 0) {
          kind = {view.target, element};
        } else if (view.target == 0 && view.byteStride == 0 && element % 4 == 0) {
          kind = {0, 0};
        }
      }
      auto [found, added] = kinds.try_emplace(kind, static_cast<int>(views.size()));
      // A gathered view is packed in one piece, in memory: a long animation's fill several.
      if (!added && gatheredBytes[static_cast<std::size_t>(found->second)] + view.byteLength > kGatheredBytes) {
        found->second = static_cast<int>(views.size());
        added = true;
      }
      if (added) {
        tinygltf::BufferView gathered = view;
        gathered.byteLength = 0;
        gathered.byteStride = kind.first == TINYGLTF_TARGET_ARRAY_BUFFER ? kind.second : view.byteStride;
        views.push_back(gathered);
        members.emplace_back();
        gatheredBytes.push_back(0);
      }
      gatheredBytes[static_cast<std::size_t>(found->second)] += view.byteLength;
      placed[v] = found->second;
      members[static_cast<std::size_t>(found->second)].push_back(v);
    }
    const unsigned char zeros[4] = {};
    Bytes bytes;
    std::vector<std::size_t> offset(model_.bufferViews.size(), 0);
    for (std::size_t g = 0; g < views.size(); ++g) {
      out.Append(zeros, static_cast<std::size_t>(Padded(out.Size()) - out.Size()));
      views[g].byteOffset = static_cast<std::size_t>(out.Size());
      for (const std::size_t v : members[g]) {
        // Indices follow each other without a gap, so that triangles stay whole.
        if (views[g].target != TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER) {
          const std::size_t gap = Padded(views[g].byteLength) - views[g].byteLength;
          out.Append(zeros, gap);
          views[g].byteLength += gap;
        }
        offset[v] = views[g].byteLength;
        bytes.resize(model_.bufferViews[v].byteLength);
        staged.ReadAt(at[v], bytes.data(), bytes.size());
        out.Append(bytes.data(), bytes.size());
        views[g].byteLength += bytes.size();
      }
    }
    for (tinygltf::Accessor& a : model_.accessors) {
      if (a.bufferView >= 0) {
        const auto v = static_cast<std::size_t>(a.bufferView);
        a.byteOffset += offset[v];
        a.bufferView = placed[v];
      }
    }
    model_.bufferViews = std::move(views);
  }

  void Claim(int accessor, Role role, int mesh, int base) {
    if (accessor < 0) {
      return;
    }
    Use& use = uses_[static_cast<std::size_t>(accessor)];
    if (use.role == Role::kOther && !use.conflict) {
      use = {role, mesh, base, false};
    } else if (use.role != role || use.mesh != mesh || use.base != base) {
      use.conflict = true;
    }
  }

  void FindUses() {
    uses_.assign(model_.accessors.size(), Use{});
    for (std::size_t m = 0; m < model_.meshes.size(); ++m) {
      const int mesh = static_cast<int>(m);
      for (const tinygltf::Primitive& p : model_.meshes[m].primitives) {
        const auto attribute = [&p](const char* name) {
          const auto found = p.attributes.find(name);
          return found == p.attributes.end() ? -1 : found->second;
        };
        Claim(attribute("POSITION"), Role::kPosition, mesh, -1);
        Claim(attribute("NORMAL"), Role::kNormal, mesh, -1);
        Claim(attribute("TEXCOORD_0"), Role::kTexcoord, mesh, -1);
        Claim(attribute("COLOR_0"), Role::kColour, mesh, -1);
        Claim(p.indices, Role::kIndices, mesh, -1);
        for (const std::map<std::string, int>& target : p.targets) {
          for (const auto& [name, accessor] : target) {
            // Accessors without a view are zeros, which every grid reads alike.
            if (model_.accessors[static_cast<std::size_t>(accessor)].bufferView < 0) {
              continue;
            }
            if (name == "POSITION") {
              Claim(accessor, Role::kPositionDelta, mesh, attribute("POSITION"));
            } else if (name == "NORMAL") {
              Claim(accessor, Role::kNormalDelta, mesh, attribute("NORMAL"));
            } else {
              Claim(accessor, Role::kOther, mesh, -1);
              uses_[static_cast<std::size_t>(accessor)].conflict = true;
            }
          }
        }
      }
    }
    for (Use& use : uses_) {
      if (use.conflict) {
        use.role = Role::kOther;
      }
    }
  }

  bool IsPackedFloat(int accessor, int type) const {
    if (accessor < 0) {
      return false;
    }
    const tinygltf::Accessor& a = accessors_[static_cast<std::size_t>(accessor)];
    // Only an accessor with a view of its own is rewritten.
    return a.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT && a.type == type && a.bufferView >= 0 &&
           !a.sparse.isSparse && a.byteOffset == 0 && readers_[static_cast<std::size_t>(a.bufferView)] == 1 &&
           views_[static_cast<std::size_t>(a.bufferView)].byteStride == 0 &&
           views_[static_cast<std::size_t>(a.bufferView)].buffer == 0;
  }

  // The accessor's values as built.
  template <class T>
  std::vector<T> Read(int accessor) const {
    const tinygltf::Accessor& a = accessors_[static_cast<std::size_t>(accessor)];
    const tinygltf::BufferView& view = views_[static_cast<std::size_t>(a.bufferView)];
    const std::size_t bytes = a.count * ElementBytes(a);
    std::vector<T> values(bytes / sizeof(T));
    in_.ReadAt(view.byteOffset + a.byteOffset, values.data(), bytes);
    return values;
  }

  // A grid per mesh whose positions and morph deltas can all be quantised: 16-bit steps
  // across its largest side, coarser when its deltas would not fit 16 bits otherwise.
  void FindGrids() {
    grids_.assign(model_.meshes.size(), std::nullopt);
    for (std::size_t m = 0; m < model_.meshes.size(); ++m) {
      std::array<double, 3> lo, hi;
      lo.fill(std::numeric_limits<double>::infinity());
      hi.fill(-std::numeric_limits<double>::infinity());
      double delta = 0.0;
      bool usable = !model_.meshes[m].primitives.empty();
      for (const tinygltf::Primitive& p : model_.meshes[m].primitives) {
        const auto found = p.attributes.find("POSITION");
        if (found == p.attributes.end() || !IsPackedFloat(found->second, TINYGLTF_TYPE_VEC3) ||
            uses_[static_cast<std::size_t>(found->second)].role != Role::kPosition) {
          usable = false;
          break;
        }
        const std::vector<float> points = Read<float>(found->second);
        for (std::size_t i = 0; i < points.size(); ++i) {
          lo[i % 3] = std::min<double>(lo[i % 3], points[i]);
          hi[i % 3] = std::max<double>(hi[i % 3], points[i]);
        }
        for (const std::map<std::string, int>& target : p.targets) {
          const auto moved = target.find("POSITION");
          if (moved == target.end() || model_.accessors[static_cast<std::size_t>(moved->second)].bufferView < 0) {
            continue;
          }
          // A delta the grid cannot hold would be read in its steps all the same.
          if (!IsPackedFloat(moved->second, TINYGLTF_TYPE_VEC3) ||
              uses_[static_cast<std::size_t>(moved->second)].role != Role::kPositionDelta ||
              accessors_[static_cast<std::size_t>(moved->second)].count * 3 != points.size()) {
            usable = false;
            break;
          }
          for (const float d : Read<float>(moved->second)) {
            delta = std::max(delta, std::abs(static_cast<double>(d)));
          }
        }
        if (!usable) {
          break;
        }
      }
      if (!usable) {
        continue;
      }
      Grid grid;
      double extent = 0.0;
      for (int c = 0; c < 3; ++c) {
        grid.centre[c] = (lo[c] + hi[c]) / 2.0;
        extent = std::max(extent, hi[c] - lo[c]);
      }
      // One step for all three axes: a scale that differs between axes would bend the
      // normals that the node's transform also applies to.
      grid.step = std::max(extent / kPositionSteps, delta / kDeltaSteps);
      if (!(grid.step > 0.0) || !std::isfinite(grid.step)) {
        grid.step = 1.0;
      }
      grids_[m] = grid;
    }
    for (Use& use : uses_) {
      if ((use.role == Role::kPosition || use.role == Role::kPositionDelta) &&
          !grids_[static_cast<std::size_t>(use.mesh)]) {
        use.role = Role::kOther;
      }
    }
  }

  static std::int16_t Step(double value) {
    return static_cast<std::int16_t>(std::clamp(std::round(value), -32767.0, 32767.0));
  }

  // Writes the accessor's values as integers into `bytes` and describes them in the
  // accessor and its view. False to keep the floats.
  bool Convert(int index, tinygltf::BufferView& view, Bytes& bytes) {
    tinygltf::Accessor& a = model_.accessors[static_cast<std::size_t>(index)];
    const Use& use = uses_[static_cast<std::size_t>(index)];
    // Every attribute is read as floats of its type first.
    std::vector<float> values;
    if (use.role != Role::kIndices && use.role != Role::kOther) {
      const int type = use.role == Role::kTexcoord ? TINYGLTF_TYPE_VEC2
                       : use.role == Role::kColour ? TINYGLTF_TYPE_VEC4
                                                   : TINYGLTF_TYPE_VEC3;
      if (!IsPackedFloat(index, type)) {
        return false;
      }
      values = Read<float>(index);
    }
    switch (use.role) {
      case Role::kPosition:
      case Role::kPositionDelta: {
        const Grid& grid = *grids_[static_cast<std::size_t>(use.mesh)];
        std::vector<float> base;
        if (use.role == Role::kPositionDelta) {
          base = Read<float>(use.base);
          if (base.size() != values.size()) {
            return false;
          }
        }
        std::vector<std::int16_t> q(values.size() / 3 * 4, 0);
        std::array<double, 3> lo, hi;
        lo.fill(32767.0);
        hi.fill(-32767.0);
        for (std::size_t i = 0; i < values.size(); ++i) {
          const std::size_t c = i % 3;
          const auto at = [&](double p) { return Step((p - grid.centre[c]) / grid.step); };
          // A moved point lands on the grid itself, so every frame is as exact as the first.
          const std::int16_t value = use.role == Role::kPosition
                                         ? at(values[i])
                                         : Step(static_cast<double>(at(static_cast<double>(base[i]) + values[i])) -
                                                at(base[i]));
          q[i / 3 * 4 + c] = value;
          lo[c] = std::min<double>(lo[c], value);
          hi[c] = std::max<double>(hi[c], value);
        }
        Store(a, view, q, TINYGLTF_COMPONENT_TYPE_SHORT, false, 8, bytes);
        if (a.count > 0) {
          a.minValues.assign(lo.begin(), lo.end());
          a.maxValues.assign(hi.begin(), hi.end());
        }
        return true;
      }
      case Role::kNormal: {
        const auto q = Integers<std::int8_t>(values, 3, 4, [](float n) {
          return static_cast<std::int8_t>(std::round(std::clamp(static_cast<double>(n), -1.0, 1.0) * 127.0));
        });
        Store(a, view, q, TINYGLTF_COMPONENT_TYPE_BYTE, true, 4, bytes);
        return true;
      }
      case Role::kNormalDelta: {
        if (std::any_of(values.begin(), values.end(), [](float d) { return !(std::abs(d) <= 1.0f); })) {
          return false;
        }
        const auto q = Integers<std::int16_t>(values, 3, 4, [](float d) { return Step(d * 32767.0); });
        Store(a, view, q, TINYGLTF_COMPONENT_TYPE_SHORT, true, 8, bytes);
        return true;
      }
      case Role::kTexcoord: {
        // Coordinates beyond 0..1 would need a texture transform as well.
        if (std::any_of(values.begin(), values.end(), [](float u) { return !(u >= 0.0f && u <= 1.0f); })) {
          return false;
        }
        const auto q = Integers<std::uint16_t>(
            values, 2, 2, [](float u) { return static_cast<std::uint16_t>(std::round(u * 65535.0)); });
        Store(a, view, q, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT, true, 4, bytes);
        return true;
      }
      case Role::kColour: {
        const auto q = Integers<std::uint8_t>(values, 4, 4, [](float c) {
          return static_cast<std::uint8_t>(
              std::round((std::isfinite(c) ? std::clamp(static_cast<double>(c), 0.0, 1.0) : 0.0) * 255.0));
        });
        Store(a, view, q, TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, true, 4, bytes);
        return true;
      }
      case Role::kIndices: {
        if (a.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT || a.type != TINYGLTF_TYPE_SCALAR ||
            a.sparse.isSparse) {
          return false;
        }
        const std::vector<std::uint32_t> indices = Read<std::uint32_t>(index);
        // 65535 is the restart value, which glTF does not allow as an index.
        if (std::any_of(indices.begin(), indices.end(), [](std::uint32_t i) { return i >= 65535u; })) {
          return false;
        }
        const std::vector<std::uint16_t> q(indices.begin(), indices.end());
        Store(a, view, q, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT, false, 0, bytes);
        return true;
      }
      case Role::kOther:
        break;
    }
    return false;
  }

  // Each of `values` as `to` makes it an integer, `components` of them to an element of
  // `padded` (vertex data starts every element on 4 bytes; the padding is zeros).
  template <class T, class To>
  static std::vector<T> Integers(const std::vector<float>& values, std::size_t components, std::size_t padded, To to) {
    std::vector<T> q(values.size() / components * padded, 0);
    for (std::size_t i = 0; i < values.size(); ++i) {
      q[i / components * padded + i % components] = to(values[i]);
    }
    return q;
  }

  // `values` (a whole number of strides, or packed with `stride` 0) as the accessor's bytes.
  template <class T>
  static void Store(tinygltf::Accessor& a, tinygltf::BufferView& view, const std::vector<T>& values, int component,
                    bool normalized, int stride, Bytes& bytes) {
    bytes.resize(values.size() * sizeof(T));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    a.componentType = component;
    a.normalized = normalized;
    a.minValues.clear();
    a.maxValues.clear();
    // Vertex attributes start every element on 4 bytes.
    view.byteStride = static_cast<std::size_t>(stride) == ElementBytes(a) ? 0 : static_cast<std::size_t>(stride);
  }

  // Each node with a quantised mesh scales and moves the grid back into place: in its own
  // transform when nothing else depends on that, otherwise in a child node of its own
  // that takes over the mesh and its morph weights.
  void PlaceGrids() {
    std::vector<char> animated(model_.nodes.size(), 0);
    for (const tinygltf::Animation& animation : model_.animations) {
      for (const tinygltf::AnimationChannel& channel : animation.channels) {
        if (channel.target_node >= 0 && channel.target_path != "weights") {
          animated[static_cast<std::size_t>(channel.target_node)] = 1;
        }
      }
    }
    const std::size_t count = model_.nodes.size();
    for (std::size_t n = 0; n < count; ++n) {
      const int mesh = model_.nodes[n].mesh;
      if (mesh < 0 || !grids_[static_cast<std::size_t>(mesh)]) {
        continue;
      }
      const Grid& grid = *grids_[static_cast<std::size_t>(mesh)];
      if (animated[n] == 0 && model_.nodes[n].children.empty() && model_.nodes[n].matrix.empty()) {
        Fold(model_.nodes[n], grid);
        continue;
      }
      tinygltf::Node holder;
      holder.name = model_.nodes[n].name + " geometry";
      holder.mesh = mesh;
      holder.translation.assign(grid.centre.begin(), grid.centre.end());
      holder.scale.assign(3, grid.step);
      const int child = static_cast<int>(model_.nodes.size());
      model_.nodes.push_back(std::move(holder));
      model_.nodes[n].mesh = -1;
      model_.nodes[n].children.push_back(child);
      for (tinygltf::Animation& animation : model_.animations) {
        for (tinygltf::AnimationChannel& channel : animation.channels) {
          if (channel.target_node == static_cast<int>(n) && channel.target_path == "weights") {
            channel.target_node = child;
          }
        }
      }
    }
  }

  // T R S (centre + step q) = T' R S', with T' = T + R S centre and S' = S step.
  static void Fold(tinygltf::Node& node, const Grid& grid) {
    const std::vector<double> s = node.scale.empty() ? std::vector<double>{1, 1, 1} : node.scale;
    const std::vector<double> t = node.translation.empty() ? std::vector<double>{0, 0, 0} : node.translation;
    const std::array<double, 3> v = {s[0] * grid.centre[0], s[1] * grid.centre[1], s[2] * grid.centre[2]};
    std::array<double, 3> r = v;
    if (node.rotation.size() == 4) {
      // v + 2 w (u x v) + 2 u x (u x v), with the quaternion (u, w).
      const double x = node.rotation[0], y = node.rotation[1], z = node.rotation[2], w = node.rotation[3];
      const std::array<double, 3> c = {y * v[2] - z * v[1], z * v[0] - x * v[2], x * v[1] - y * v[0]};
      const std::array<double, 3> cc = {y * c[2] - z * c[1], z * c[0] - x * c[2], x * c[1] - y * c[0]};
      for (int i = 0; i < 3; ++i) {
        r[i] = v[i] + 2.0 * w * c[i] + 2.0 * cc[i];
      }
    }
    node.translation = {t[0] + r[0], t[1] + r[1], t[2] + r[2]};
    node.scale = {s[0] * grid.step, s[1] * grid.step, s[2] * grid.step};
  }

  tinygltf::Model& model_;
  const BinaryChunk& in_;
  const std::vector<tinygltf::Accessor> accessors_;
  const std::vector<tinygltf::BufferView> views_;
  std::vector<int> readers_;  // accessors per view
  std::vector<Use> uses_;
  std::vector<std::optional<Grid>> grids_;
};

#ifdef VANTELLE_MESHOPT
constexpr const char* kMeshoptName = "EXT_meshopt_compression";

// Packs every view that meshoptimizer's codec can take into `out`; the views then read
// from a fallback buffer without bytes, which the decoder fills. Returns the JSON changes
// tinygltf cannot write.
GltfJsonPatch PackViews(tinygltf::Model& model, const BinaryChunk& in, BinaryChunk& out) {
  // What reads each view: indices of triangle lists compress best as triangles, other
  // indices as a sequence, everything else as elements of its stride.
  struct Readers {
    int indices = 0;    // accessors read as indices
    int triangles = 0;  // of them, whole triangle lists
    int others = 0;
    std::size_t element = 0;  // the size of every reader's element, or 0 when they differ
    bool aligned = true;      // every reader starts on a whole element
  };
  std::vector<Readers> readers(model.bufferViews.size());
  std::vector<char> triangleList(model.accessors.size(), 0);
  std::vector<char> isIndices(model.accessors.size(), 0);
  for (const tinygltf::Mesh& mesh : model.meshes) {
    for (const tinygltf::Primitive& p : mesh.primitives) {
      if (p.indices >= 0) {
        isIndices[static_cast<std::size_t>(p.indices)] = 1;
        const bool triangles = p.mode == TINYGLTF_MODE_TRIANGLES || p.mode == -1;
        triangleList[static_cast<std::size_t>(p.indices)] =
            triangles && model.accessors[static_cast<std::size_t>(p.indices)].count % 3 == 0 ? 1 : 0;
      }
    }
  }
  for (std::size_t a = 0; a < model.accessors.size(); ++a) {
    const tinygltf::Accessor& accessor = model.accessors[a];
    if (accessor.bufferView < 0) {
      continue;
    }
    Readers& r = readers[static_cast<std::size_t>(accessor.bufferView)];
    const std::size_t element = ElementBytes(accessor);
    r.element = r.indices + r.others == 0 || r.element == element ? element : 0;
    r.aligned = r.aligned && element > 0 && accessor.byteOffset % element == 0;
    if (isIndices[a] != 0) {
      ++r.indices;
      r.triangles += triangleList[a];
    } else {
      ++r.others;
    }
  }
  meshopt_encodeVertexVersion(0);
  meshopt_encodeIndexVersion(1);
  std::vector<std::pair<int, nlohmann::ordered_json>> packed;
  std::size_t fallback = 0;
  const unsigned char zeros[4] = {};
  for (std::size_t v = 0; v < model.bufferViews.size(); ++v) {
    tinygltf::BufferView& view = model.bufferViews[v];
    const Readers& r = readers[v];
    Bytes raw(view.byteLength);
    in.ReadAt(view.byteOffset, raw.data(), raw.size());
    Bytes encoded;
    const char* mode = nullptr;
    std::size_t stride = 0;
    if (view.buffer == 0 && !raw.empty() && r.indices > 0 && r.others == 0 && r.aligned &&
        (r.element == 2 || r.element == 4) && view.byteStride == 0 && raw.size() % r.element == 0) {
      stride = r.element;
      const std::size_t count = raw.size() / stride;
      std::vector<unsigned int> indices(count);
      for (std::size_t i = 0; i < count; ++i) {
        indices[i] = stride == 2 ? static_cast<unsigned int>(raw[2 * i] | raw[2 * i + 1] << 8)
                                 : static_cast<unsigned int>(raw[4 * i] | raw[4 * i + 1] << 8 | raw[4 * i + 2] << 16 |
                                                             static_cast<unsigned int>(raw[4 * i + 3]) << 24);
      }
      const std::size_t vertices = indices.empty() ? 0 : *std::max_element(indices.begin(), indices.end()) + 1;
      if (r.triangles == r.indices && count % 3 == 0) {
        encoded.resize(meshopt_encodeIndexBufferBound(count, vertices));
        encoded.resize(meshopt_encodeIndexBuffer(encoded.data(), encoded.size(), indices.data(), count));
        mode = "TRIANGLES";
      } else {
        encoded.resize(meshopt_encodeIndexSequenceBound(count, vertices));
        encoded.resize(meshopt_encodeIndexSequence(encoded.data(), encoded.size(), indices.data(), count));
        mode = "INDICES";
      }
    } else if (view.buffer == 0 && !raw.empty() && r.indices == 0 && r.others > 0) {
      // A gathered view without a stride holds elements of 4 bytes or several of 4.
      stride = view.byteStride != 0 ? view.byteStride : (r.element != 0 && r.aligned ? r.element : 4);
      if (stride % 4 == 0 && stride <= 256 && raw.size() % stride == 0) {
        const std::size_t count = raw.size() / stride;
        encoded.resize(meshopt_encodeVertexBufferBound(count, stride));
        encoded.resize(meshopt_encodeVertexBuffer(encoded.data(), encoded.size(), raw.data(), count, stride));
        mode = "ATTRIBUTES";
      }
    }
    out.Append(zeros, static_cast<std::size_t>(Padded(out.Size()) - out.Size()));
    if (mode == nullptr || encoded.empty() || encoded.size() >= raw.size()) {
      view.byteOffset = static_cast<std::size_t>(out.Size());
      out.Append(raw.data(), raw.size());
      continue;
    }
    nlohmann::ordered_json extension = {{"buffer", 0},
                                        {"byteOffset", out.Size()},
                                        {"byteLength", encoded.size()},
                                        {"byteStride", stride},
                                        {"count", raw.size() / stride},
                                        {"mode", mode}};
    out.Append(encoded.data(), encoded.size());
    view.buffer = 1;
    view.byteOffset = fallback;
    fallback += Padded(raw.size());
    packed.emplace_back(static_cast<int>(v), std::move(extension));
  }
  if (packed.empty()) {
    return nullptr;
  }
  model.buffers.resize(2);
  AddExtension(model, kMeshoptName, true);
  return [packed = std::move(packed), fallback](nlohmann::ordered_json& json) {
    // Buffer 1 has no bytes of its own: the decoder writes the views into it.
    json["buffers"][1] = {{"byteLength", fallback}, {"extensions", {{kMeshoptName, {{"fallback", true}}}}}};
    for (const auto& [view, extension] : packed) {
      json["bufferViews"][static_cast<std::size_t>(view)]["extensions"][kMeshoptName] = extension;
    }
  };
}
#endif

}  // namespace

StagedFile StageCompressedGlb(tinygltf::Model model, const Filename& path, GlbCompression compression) {
  if (compression == GlbCompression::kNone || model.buffers.empty()) {
    return StageGlb(model, path);
  }
  BinaryChunk bin;
  bin.Append(model.buffers[0].data.data(), model.buffers[0].data.size());
  Bytes().swap(model.buffers[0].data);
  return StageCompressedGlb(std::move(model), bin, path, compression);
}

StagedFile StageCompressedGlb(tinygltf::Model model, const BinaryChunk& bin, const Filename& path,
                              GlbCompression compression, Progress* progress) {
  if (compression == GlbCompression::kNone || model.buffers.empty()) {
    return StageGlb(model, bin, path, progress);
  }
  BinaryChunk quantised;
  Quantiser(model, bin).Run(quantised);
  if (compression == GlbCompression::kQuantise) {
    return StageGlb(model, quantised, path, progress);
  }
#ifdef VANTELLE_MESHOPT
  BinaryChunk packed;
  const GltfJsonPatch patch = PackViews(model, quantised, packed);
  return StageGlb(model, packed, path, progress, patch);
#else
  throw BadInput("--compress=meshopt: this build of vantelle has no meshoptimizer");
#endif
}

}  // namespace vantelle::app
