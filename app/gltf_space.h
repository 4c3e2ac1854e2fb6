// The one conversion from the host's space into glTF's, shared by the geometry and the
// nodes of an export so that the two cannot disagree about axes, units or winding.
#pragma once

#include <array>

#include "host/core/types.h"
#include "host/scene/objects.h"

namespace tinygltf {
class Node;
}

namespace vantelle::app {

// The host is left-handed in centimetres, glTF right-handed in metres, both with Y up.
// Mirroring Z swaps the handedness; the mirror also turns every front face's winding
// around and changes how rotations read. Every such conversion lives in this one place so
// that they cannot drift apart.
struct ToGltf {
  static constexpr Float kMetresPerUnit = 0.01;

  static Vector Point(const Vector& p) { return Vector(p.x, p.y, -p.z) * kMetresPerUnit; }
  static Vector Direction(const Vector& d) { return {d.x, d.y, -d.z}; }
  // Host corners in the order that faces the front; glTF reads them back to front.
  static std::array<UInt32, 3> Triangle(UInt32 a, UInt32 b, UInt32 c) { return {a, c, b}; }
  // The object's position, rotation and scale relative to its parent.
  static void LocalTransform(const BaseObject& op, tinygltf::Node& node);
};

}  // namespace vantelle::app
