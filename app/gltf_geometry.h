// The geometry of one host object as the arrays a glTF primitive reads: polygon objects
// as triangles, spline objects as lines. The model builder turns them into accessors.
#pragma once

#include <array>
#include <vector>

#include "host/core/types.h"
#include "host/geometry/polygon_object.h"
#include "host/geometry/spline_object.h"

namespace vantelle::app {

// What glTF needs of one polygon object, already in glTF space.
struct MeshArrays {
  std::vector<float> positions;  // xyz per vertex
  std::vector<float> normals;    // xyz per vertex
  std::vector<float> uvs;        // uv per vertex, when the object has texture coordinates
  std::vector<float> colours;    // rgba per vertex, when the object has vertex colours
  std::vector<UInt32> indices;   // three per triangle
  std::array<float, 3> min{};
  std::array<float, 3> max{};
  Int64 dropped = 0;  // polygons left out: single precision cannot hold one of their points

  UInt32 VertexCount() const { return static_cast<UInt32>(positions.size() / 3); }
};

// One segment of a spline as a line primitive, already in glTF space.
struct LineArrays {
  MeshArrays arrays;  // positions, min and max only
  bool closed = false;
};

// Triangles of the object with vertices shared wherever the point, the normal, the
// texture coordinates and the colour all agree. A polygon with a point that single
// precision cannot hold would write numbers glTF does not allow; it is left out and
// counted in out.dropped. False when no polygon is usable.
// Throws a Failure naming the object when it has too many polygons for 32-bit vertex numbers.
bool BuildMeshArrays(const PolygonObject& op, MeshArrays& out);

// Every drawable segment of the spline in order. A segment of fewer than two points
// draws nothing, and one that single precision cannot hold would write numbers glTF
// does not allow; both are left out, the latter counted in *dropped.
// Throws a Failure naming the object when its lines have too many points for glTF.
std::vector<LineArrays> BuildLineArrays(const SplineObject& op, Int64* dropped = nullptr);

// The segments of BuildLineArrays one after another in one array, as pairs of vertex
// numbers (a closed segment's last vertex pairs with its first), for drawing.
struct LinePairs {
  std::vector<float> positions;  // xyz per vertex
  std::vector<UInt32> pairs;
  std::array<float, 3> min{};  // bounds of the positions
  std::array<float, 3> max{};
};
// False when there is no line to draw.
bool BuildLinePairs(const SplineObject& op, LinePairs& out);

}  // namespace vantelle::app
