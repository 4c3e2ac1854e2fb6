#include "app/gltf_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

#include <tiny_gltf.h>

#include "app/app_error.h"
#include "app/gltf_model.h"
#include "host/polygon_object.h"
#include "host/registry.h"
#include "host/spline_object.h"
#include "host/tags.h"

namespace vantelle::app {

namespace {

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

// Unit quaternion (x, y, z, w) of the rotation whose matrix has these columns.
std::array<double, 4> QuaternionFromAxes(const Vector& x, const Vector& y, const Vector& z) {
  const double m00 = x.x, m10 = x.y, m20 = x.z;
  const double m01 = y.x, m11 = y.y, m21 = y.z;
  const double m02 = z.x, m12 = z.y, m22 = z.z;
  std::array<double, 4> q{};
  const double trace = m00 + m11 + m22;
  // Dividing by the largest of the four candidates keeps the result accurate.
  if (trace > 0.0) {
    const double s = 2.0 * std::sqrt(trace + 1.0);
    q = {(m21 - m12) / s, (m02 - m20) / s, (m10 - m01) / s, 0.25 * s};
  } else if (m00 > m11 && m00 > m22) {
    const double s = 2.0 * std::sqrt(1.0 + m00 - m11 - m22);
    q = {0.25 * s, (m01 + m10) / s, (m02 + m20) / s, (m21 - m12) / s};
  } else if (m11 > m22) {
    const double s = 2.0 * std::sqrt(1.0 + m11 - m00 - m22);
    q = {(m01 + m10) / s, 0.25 * s, (m12 + m21) / s, (m02 - m20) / s};
  } else {
    const double s = 2.0 * std::sqrt(1.0 + m22 - m00 - m11);
    q = {(m02 + m20) / s, (m12 + m21) / s, 0.25 * s, (m10 - m01) / s};
  }
  const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  if (!(length > 0.0) || !std::isfinite(length)) {
    return {0.0, 0.0, 0.0, 1.0};
  }
  // One sign for one rotation, so equal rotations write equal numbers.
  const double sign = q[3] < 0.0 ? -1.0 : 1.0;
  for (double& c : q) {
    c *= sign / length;
  }
  return q;
}

void ToGltf::LocalTransform(const BaseObject& op, tinygltf::Node& node) {
  const Matrix ml = op.GetMl();
  const Vector scale = op.GetRelScale();

  if (ml.off != Vector()) {
    const Vector t = Point(ml.off);
    node.translation = {t.x, t.y, t.z};
  }

  // The local matrix is rotation × scale; dividing the scale out of each axis leaves the
  // rotation. An axis scaled to nothing is rebuilt from the other two.
  Vector axes[3] = {ml.v1, ml.v2, ml.v3};
  const Float factors[3] = {scale.x, scale.y, scale.z};
  int flat = -1;
  int flatCount = 0;
  for (int i = 0; i < 3; ++i) {
    if (factors[i] != 0.0) {
      axes[i] = axes[i] / factors[i];
    } else {
      flat = i;
      ++flatCount;
    }
  }
  if (flatCount == 1) {
    axes[flat] = Cross(axes[(flat + 1) % 3], axes[(flat + 2) % 3]);
  }
  if (flatCount <= 1) {
    // Mirroring both sides of R (S·R·S with S = diag(1, 1, -1)) flips the third column.
    const std::array<double, 4> q =
        QuaternionFromAxes(Direction(axes[0]), Direction(axes[1]), -Direction(axes[2]));
    if (std::abs(q[3] - 1.0) > 1e-12) {
      node.rotation = {q[0], q[1], q[2], q[3]};
    }
  }

  // A scale along the mirrored axis stays a scale along it.
  if (scale != Vector(1.0, 1.0, 1.0)) {
    node.scale = {scale.x, scale.y, scale.z};
  }
}

// What glTF needs of one polygon object, already in glTF space.
struct MeshArrays {
  std::vector<float> positions;  // xyz per vertex
  std::vector<float> normals;    // xyz per vertex
  std::vector<float> uvs;        // uv per vertex, when the object has texture coordinates
  std::vector<float> colours;    // rgba per vertex, when the object has vertex colours
  std::vector<UInt32> indices;   // three per triangle
  std::array<float, 3> min{};
  std::array<float, 3> max{};

  UInt32 VertexCount() const { return static_cast<UInt32>(positions.size() / 3); }
};

// Twice the area-weighted normal of a valid polygon: its two triangles' cross products
// summed, which for a quad reduces to the cross product of its diagonals.
Vector AreaNormal(const Vector* points, const CPolygon& p) {
  if (p.c == p.d) {
    return Cross(points[p.b] - points[p.a], points[p.c] - points[p.a]);
  }
  return Cross(points[p.c] - points[p.a], points[p.d] - points[p.b]);
}

// Unit normal in glTF space; "up" where the surface has no area to give one.
std::array<float, 3> UnitGltfNormal(const Vector& hostNormal) {
  const Float length = hostNormal.GetLength();
  const Vector n = length > 0.0 && std::isfinite(length) ? ToGltf::Direction(hostNormal / length) : Vector(0.0, 1.0, 0.0);
  return {static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z)};
}

template <class T>
const T* FindTag(const BaseObject& op, Int32 type) {
  return dynamic_cast<const T*>(op.GetTag(type));
}

// Triangles of the object with vertices shared wherever the point, the normal, the
// texture coordinates and the colour all agree. False when no polygon is usable.
bool BuildMeshArrays(const PolygonObject& op, MeshArrays& out) {
  const Int32 pointCount = op.GetPointCount();
  const Int32 polygonCount = op.GetPolygonCount();
  const Vector* points = op.GetPointR();
  const CPolygon* polygons = op.GetPolygonR();
  if (pointCount <= 0 || polygonCount <= 0) {
    return false;
  }
  // Vertex numbers stay below 2^32 even when every corner is a vertex of its own.
  if (polygonCount > (1 << 29)) {
    throw Failure("the object " + op.GetName().GetStd() + " has too many polygons for glTF");
  }

  const bool smooth = op.GetTag(Tphong) != nullptr;
  const UVWTag* uvTag = FindTag<UVWTag>(op, Tuvw);
  const VertexColorTag* colourTag = FindTag<VertexColorTag>(op, Tvertexcolor);
  const UVWStruct* uvw = uvTag != nullptr ? uvTag->GetDataAddressR() : nullptr;
  const Int32 uvwCount = uvTag != nullptr ? uvTag->GetDataCount() : 0;
  const ColorA32* colours = colourTag != nullptr ? colourTag->GetDataAddressR() : nullptr;
  const Int32 colourCount = colourTag != nullptr ? colourTag->GetDataCount() : 0;

  // A point that single precision cannot hold would write numbers glTF does not allow.
  const auto inRange = [pointCount, points](Int32 i) {
    return i >= 0 && i < pointCount && std::isfinite(static_cast<float>(points[i].x)) &&
           std::isfinite(static_cast<float>(points[i].y)) && std::isfinite(static_cast<float>(points[i].z));
  };
  const auto usable = [&](const CPolygon& p) { return inRange(p.a) && inRange(p.b) && inRange(p.c) && inRange(p.d); };

  std::vector<Vector> pointNormals;
  if (smooth) {
    pointNormals.assign(static_cast<std::size_t>(pointCount), Vector());
    for (Int32 i = 0; i < polygonCount; ++i) {
      const CPolygon& p = polygons[i];
      if (!usable(p)) {
        continue;
      }
      const Vector n = AreaNormal(points, p);
      pointNormals[p.a] += n;
      pointNormals[p.b] += n;
      pointNormals[p.c] += n;
      if (p.d != p.c) {
        pointNormals[p.d] += n;
      }
    }
  }

  // The common case is one vertex per point; a point gets more only where normals or
  // texture coordinates differ between its polygons. The vertices of a point form a chain
  // from firstVertex, so no hashing is needed.
  constexpr UInt32 kNone = std::numeric_limits<UInt32>::max();
  std::vector<UInt32> firstVertex(static_cast<std::size_t>(pointCount), kNone);
  std::vector<UInt32> nextVertex;
  nextVertex.reserve(static_cast<std::size_t>(pointCount));
  out.positions.reserve(3 * static_cast<std::size_t>(pointCount));
  out.normals.reserve(3 * static_cast<std::size_t>(pointCount));
  if (uvw != nullptr) {
    out.uvs.reserve(2 * static_cast<std::size_t>(pointCount));
  }
  if (colours != nullptr) {
    out.colours.reserve(4 * static_cast<std::size_t>(pointCount));
  }
  out.indices.reserve(6 * static_cast<std::size_t>(polygonCount));

  out.min = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(), std::numeric_limits<float>::max()};
  out.max = {std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest(),
             std::numeric_limits<float>::lowest()};

  // `faceNormal` is the polygon's with flat shading; smooth normals belong to the point.
  const auto vertexFor = [&](Int32 point, const std::array<float, 3>& faceNormal, const Vector& uv) -> UInt32 {
    const float u = static_cast<float>(uv.x);
    const float v = static_cast<float>(uv.y);
    for (UInt32 k = firstVertex[point]; k != kNone; k = nextVertex[k]) {
      // Colours belong to the point too, so only these can differ.
      const bool sameNormal = smooth || (out.normals[3 * k] == faceNormal[0] && out.normals[3 * k + 1] == faceNormal[1] &&
                                         out.normals[3 * k + 2] == faceNormal[2]);
      const bool sameUv = uvw == nullptr || (out.uvs[2 * k] == u && out.uvs[2 * k + 1] == v);
      if (sameNormal && sameUv) {
        return k;
      }
    }
    const UInt32 k = out.VertexCount();
    nextVertex.push_back(firstVertex[point]);
    firstVertex[point] = k;

    const Vector p = ToGltf::Point(points[point]);
    const std::array<float, 3> position = {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
    const std::array<float, 3> normal = smooth ? UnitGltfNormal(pointNormals[point]) : faceNormal;
    for (int i = 0; i < 3; ++i) {
      out.min[i] = std::min(out.min[i], position[i]);
      out.max[i] = std::max(out.max[i], position[i]);
    }
    out.positions.insert(out.positions.end(), position.begin(), position.end());
    out.normals.insert(out.normals.end(), normal.begin(), normal.end());
    if (uvw != nullptr) {
      out.uvs.insert(out.uvs.end(), {u, v});
    }
    if (colours != nullptr) {
      const ColorA32 c = point < colourCount ? colours[point] : ColorA32{};
      out.colours.insert(out.colours.end(), {c.r, c.g, c.b, c.a});
    }
    return k;
  };

  for (Int32 i = 0; i < polygonCount; ++i) {
    const CPolygon& p = polygons[i];
    if (!usable(p)) {
      continue;
    }
    const UVWStruct corners = uvw != nullptr && i < uvwCount ? uvw[i] : UVWStruct{};
    const std::array<float, 3> faceNormal = smooth ? std::array<float, 3>{} : UnitGltfNormal(AreaNormal(points, p));
    const UInt32 a = vertexFor(p.a, faceNormal, corners.a);
    const UInt32 b = vertexFor(p.b, faceNormal, corners.b);
    const UInt32 c = vertexFor(p.c, faceNormal, corners.c);
    for (UInt32 index : ToGltf::Triangle(a, b, c)) {
      out.indices.push_back(index);
    }
    if (p.d != p.c) {
      const UInt32 d = vertexFor(p.d, faceNormal, corners.d);
      for (UInt32 index : ToGltf::Triangle(a, c, d)) {
        out.indices.push_back(index);
      }
    }
  }
  return !out.indices.empty();
}

// One segment of a spline as a line primitive, already in glTF space.
struct LineArrays {
  MeshArrays arrays;  // positions, min and max only
  bool closed = false;
};

// Sub-points per span between two control points of a cubic spline: a plot's 51-point
// line over 2 m then gets a vertex every 8 mm, where the eye no longer sees corners.
constexpr int kCubicSteps = 5;

// The curve from p1 to p2 of a centripetal Catmull-Rom spline through p0, p1, p2, p3, at
// s in (0, 1). Centripetal parametrisation (knot gaps of √distance) never forms cusps or
// loops within a span and keeps a steep plot's line from swinging far past its samples.
// Neighbours that coincide with the span's ends give no direction; the span's own chord
// stands in, which is also what reflecting an end point would give.
class CatmullRomSpan {
public:
  CatmullRomSpan(const Vector& p0, const Vector& p1, const Vector& p2, const Vector& p3) : p1_(p1), p2_(p2) {
    const Float d01 = std::sqrt((p1 - p0).GetLength());
    const Float d12 = std::sqrt((p2 - p1).GetLength());
    const Float d23 = std::sqrt((p3 - p2).GetLength());
    const Vector chord = p2 - p1;
    if (!(d12 > 0.0)) {
      return;  // a span of no length stays at its point
    }
    // Hermite tangents of the non-uniform spline, scaled to the span's own parameter.
    m1_ = d01 > 0.0 ? ((p1 - p0) / d01 - (p2 - p0) / (d01 + d12) + chord / d12) * d12 : chord;
    m2_ = d23 > 0.0 ? (chord / d12 - (p3 - p1) / (d12 + d23) + (p3 - p2) / d23) * d12 : chord;
  }

  Vector At(Float s) const {
    const Float s2 = s * s;
    const Float s3 = s2 * s;
    return p1_ * (2 * s3 - 3 * s2 + 1) + m1_ * (s3 - 2 * s2 + s) + p2_ * (-2 * s3 + 3 * s2) + m2_ * (s3 - s2);
  }

private:
  Vector p1_, p2_;
  Vector m1_, m2_;
};

// The host points a segment's line passes, in order: the points themselves for a linear
// spline; for a cubic one each point followed by kCubicSteps - 1 points of the curve to
// the next, ending on the last point when open and before the first when closed (the
// loop joins them).
void TraceSegment(const Vector* points, Int32 count, bool closed, bool cubic, std::vector<Vector>& out) {
  out.clear();
  if (!cubic || count < 2) {
    out.assign(points, points + count);
    return;
  }
  const Int32 spans = closed ? count : count - 1;
  out.reserve(static_cast<std::size_t>(spans) * kCubicSteps + 1);
  // An open line's missing neighbours are its ends reflected through the end points.
  const auto at = [&](Int32 i) -> Vector {
    if (closed) {
      return points[(i % count + count) % count];
    }
    if (i < 0) {
      return points[0] * 2.0 - points[1];
    }
    if (i >= count) {
      return points[count - 1] * 2.0 - points[count - 2];
    }
    return points[i];
  };
  for (Int32 i = 0; i < spans; ++i) {
    const CatmullRomSpan span(at(i - 1), at(i), at(i + 1), at(i + 2));
    // The control point itself, not the curve at 0, so the line meets it exactly.
    out.push_back(points[i]);
    for (int k = 1; k < kCubicSteps; ++k) {
      out.push_back(span.At(static_cast<Float>(k) / kCubicSteps));
    }
  }
  if (!closed) {
    out.push_back(points[count - 1]);
  }
}

// Every drawable segment of the spline in order. A segment of fewer than two points
// draws nothing, and one that single precision cannot hold would write numbers glTF
// does not allow; both are left out.
std::vector<LineArrays> BuildLineArrays(const SplineObject& op) {
  const Vector* points = op.GetPointR();
  const bool cubic = op.GetSplineType() == SPLINETYPE::CUBIC;
  std::vector<LineArrays> lines;
  std::vector<Vector> traced;
  std::size_t vertices = 0;
  Int64 first = 0;
  for (const Segment& segment : op.GetEffectiveSegments()) {
    const Int32 count = segment.cnt;
    const Vector* start = points + first;
    first += count;
    if (count < 2) {
      continue;
    }
    TraceSegment(start, count, segment.closed, cubic, traced);
    vertices += traced.size();
    // Vertex counts are ints in glTF's accessors, and this keeps far below that.
    if (vertices > (std::size_t(1) << 28)) {
      throw Failure("the object " + op.GetName().GetStd() + " has too many spline points for glTF");
    }
    LineArrays line;
    line.closed = segment.closed;
    MeshArrays& arrays = line.arrays;
    arrays.positions.reserve(3 * traced.size());
    arrays.min.fill(std::numeric_limits<float>::max());
    arrays.max.fill(std::numeric_limits<float>::lowest());
    bool finite = true;
    for (const Vector& p : traced) {
      const Vector g = ToGltf::Point(p);
      const std::array<float, 3> position = {static_cast<float>(g.x), static_cast<float>(g.y), static_cast<float>(g.z)};
      for (int i = 0; i < 3; ++i) {
        finite = finite && std::isfinite(position[i]);
        arrays.min[i] = std::min(arrays.min[i], position[i]);
        arrays.max[i] = std::max(arrays.max[i], position[i]);
      }
      arrays.positions.insert(arrays.positions.end(), position.begin(), position.end());
    }
    if (finite) {
      lines.push_back(std::move(line));
    }
  }
  return lines;
}

// A display colour an object shows, or none (the neutral grey).
struct DisplayColour {
  bool set = false;
  Vector colour;
};

// The colour an object shows: its own when it uses one, else what it inherits.
DisplayColour ColourOf(const BaseObject& op, const DisplayColour& inherited) {
  ObjectColorProperties properties;
  op.GetColorProperties(&properties);
  if (properties.usecolor != 0) {
    return {true, properties.color};
  }
  return inherited;
}

bool IsIdentity(const Matrix& m) { return m == Matrix(); }

// The object's name, or its type's name when it has none: objects are often left unnamed,
// and tinygltf writes a node without any property as null, which is not valid glTF.
std::string NodeName(const BaseObject& op) {
  if (op.GetName().IsPopulated()) {
    return op.GetName().GetStd();
  }
  if (const ObjectPlugin* plugin = op.GetPlugin(); plugin != nullptr && plugin->name.IsPopulated()) {
    return plugin->name.GetStd();
  }
  switch (op.GetType()) {
    case Opolygon:
      return "Polygon";
    case Ospline:
      return "Spline";
    case Onull:
      return "Null";
    default:
      return "Object";
  }
}

// Builds the glTF model of one document.
class ModelBuilder {
public:
  ModelBuilder() {
    model_.asset.version = "2.0";
    model_.asset.generator = "Vantelle";
  }

  void AddDocument(const BaseDocument& doc) {
    tinygltf::Scene scene;
    std::vector<Pending> stack;
    std::vector<Pending> level;
    for (const BaseObject* op = doc.GetFirstObject(); op != nullptr; op = op->GetNext()) {
      level.push_back({op, -1, DisplayColour{}});
    }
    Push(stack, level);
    // An explicit stack rather than recursion, so a deep hierarchy cannot exhaust the
    // call stack. Children are pushed in reverse, which keeps nodes in tree order.
    while (!stack.empty()) {
      const Pending item = stack.back();
      stack.pop_back();
      const int node = AddObjectNode(*item.op, item.colour, stack);
      if (item.parent < 0) {
        scene.nodes.push_back(node);
      } else {
        model_.nodes[item.parent].children.push_back(node);
      }
    }
    if (!scene.nodes.empty()) {
      model_.scenes.push_back(std::move(scene));
      model_.defaultScene = 0;
    }
  }

  // The model with its binary buffer filled in, in one allocation: the arrays of all
  // meshes are gathered first, and each is freed as soon as it is copied.
  tinygltf::Model& Finish() {
    if (!blocks_.empty()) {
      model_.buffers.emplace_back();
      std::vector<unsigned char>& bin = model_.buffers[0].data;
      bin.reserve(binBytes_);
      for (std::size_t i = 0; i < blocks_.size(); ++i) {
        const Block& block = blocks_[i];
        bin.insert(bin.end(), block.data, block.data + block.bytes);
        if (i + 1 == blocks_.size() || blocks_[i + 1].mesh != block.mesh) {
          arrays_[block.mesh] = MeshArrays{};
        }
      }
      blocks_.clear();
      arrays_.clear();
    }
    return model_;
  }

private:
  struct Pending {
    const BaseObject* op;
    int parent;  // node index, or -1 for the scene's top level
    DisplayColour colour;
  };

  static void Push(std::vector<Pending>& stack, const std::vector<Pending>& inOrder) {
    stack.insert(stack.end(), inOrder.rbegin(), inOrder.rend());
  }

  int AddObjectNode(const BaseObject& op, const DisplayColour& inherited, std::vector<Pending>& stack) {
    const int index = static_cast<int>(model_.nodes.size());
    model_.nodes.emplace_back();
    model_.nodes[index].name = NodeName(op);
    ToGltf::LocalTransform(op, model_.nodes[index]);

    const DisplayColour colour = ColourOf(op, inherited);
    model_.nodes[index].mesh = AddGeometry(op, colour, model_.nodes[index].name);

    std::vector<Pending> below;
    if (const BaseObject* cache = op.GetCache()) {
      AddCache(*cache, index, colour, below);
    }
    for (const BaseObject* child = op.GetDown(); child != nullptr; child = child->GetNext()) {
      below.push_back({child, index, colour});
    }
    Push(stack, below);
    return index;
  }

  // A generator's cache goes below its node; a lone piece of geometry at the generator's
  // origin becomes the node's own mesh, and a null at the origin is only a folder.
  void AddCache(const BaseObject& cache, int node, const DisplayColour& colour, std::vector<Pending>& below) {
    const bool atOrigin = IsIdentity(cache.GetMl());
    const bool bare = cache.GetDown() == nullptr && cache.GetCache() == nullptr;
    if (atOrigin && bare && model_.nodes[node].mesh < 0 && IsGeometry(cache)) {
      // Caches are seldom named; the mesh then takes the generator's name.
      const std::string name = cache.GetName().IsPopulated() ? cache.GetName().GetStd() : model_.nodes[node].name;
      model_.nodes[node].mesh = AddGeometry(cache, ColourOf(cache, colour), name);
      return;
    }
    if (atOrigin && cache.GetType() == Onull && cache.GetCache() == nullptr) {
      const DisplayColour inner = ColourOf(cache, colour);
      for (const BaseObject* child = cache.GetDown(); child != nullptr; child = child->GetNext()) {
        below.push_back({child, node, inner});
      }
      return;
    }
    below.push_back({&cache, node, colour});
  }

  // Kept in step with AddGeometry.
  static bool IsGeometry(const BaseObject& op) {
    return dynamic_cast<const PolygonObject*>(&op) != nullptr || dynamic_cast<const SplineObject*>(&op) != nullptr;
  }

  // Every kind of geometry an object can carry is dispatched here, so that the kinds stay
  // in step with IsGeometry. Returns the mesh index, or -1 when the object has nothing to
  // show.
  int AddGeometry(const BaseObject& op, const DisplayColour& colour, const std::string& name) {
    if (const auto* polygons = dynamic_cast<const PolygonObject*>(&op)) {
      return AddPolygonMesh(*polygons, colour, name);
    }
    if (const auto* spline = dynamic_cast<const SplineObject*>(&op)) {
      return AddSplineMesh(*spline, colour, name);
    }
    return -1;
  }

  // One line primitive per segment; lines have no surface to light, so their material
  // shows the display colour as it is.
  int AddSplineMesh(const SplineObject& op, const DisplayColour& colour, const std::string& name) {
    std::vector<LineArrays> lines = BuildLineArrays(op);
    if (lines.empty()) {
      return -1;
    }
    const int material = UnlitMaterialFor(colour.set ? colour.colour : kNeutral);
    tinygltf::Mesh mesh;
    mesh.name = name;
    for (LineArrays& line : lines) {
      arrays_.push_back(std::move(line.arrays));
      const MeshArrays& arrays = arrays_.back();
      tinygltf::Primitive primitive;
      primitive.mode = line.closed ? TINYGLTF_MODE_LINE_LOOP : TINYGLTF_MODE_LINE_STRIP;
      const int position = AddAccessor(arrays.positions, TINYGLTF_TYPE_VEC3, static_cast<int>(arrays.VertexCount()),
                                       TINYGLTF_TARGET_ARRAY_BUFFER);
      model_.accessors[position].minValues.assign(arrays.min.begin(), arrays.min.end());
      model_.accessors[position].maxValues.assign(arrays.max.begin(), arrays.max.end());
      primitive.attributes["POSITION"] = position;
      primitive.material = material;
      mesh.primitives.push_back(std::move(primitive));
    }
    model_.meshes.push_back(std::move(mesh));
    return static_cast<int>(model_.meshes.size()) - 1;
  }

  int AddPolygonMesh(const PolygonObject& op, const DisplayColour& colour, const std::string& name) {
    MeshArrays built;
    if (!BuildMeshArrays(op, built)) {
      return -1;
    }
    // Moving keeps the arrays' storage where it is, so the blocks may point into it.
    arrays_.push_back(std::move(built));
    const MeshArrays& arrays = arrays_.back();
    tinygltf::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    const int count = static_cast<int>(arrays.VertexCount());
    primitive.attributes["POSITION"] = AddAccessor(arrays.positions, TINYGLTF_TYPE_VEC3, count, TINYGLTF_TARGET_ARRAY_BUFFER);
    tinygltf::Accessor& position = model_.accessors[primitive.attributes["POSITION"]];
    position.minValues.assign(arrays.min.begin(), arrays.min.end());
    position.maxValues.assign(arrays.max.begin(), arrays.max.end());
    primitive.attributes["NORMAL"] = AddAccessor(arrays.normals, TINYGLTF_TYPE_VEC3, count, TINYGLTF_TARGET_ARRAY_BUFFER);
    if (!arrays.uvs.empty()) {
      primitive.attributes["TEXCOORD_0"] = AddAccessor(arrays.uvs, TINYGLTF_TYPE_VEC2, count, TINYGLTF_TARGET_ARRAY_BUFFER);
    }
    const bool vertexColours = !arrays.colours.empty();
    if (vertexColours) {
      primitive.attributes["COLOR_0"] = AddAccessor(arrays.colours, TINYGLTF_TYPE_VEC4, count, TINYGLTF_TARGET_ARRAY_BUFFER);
    }
    primitive.indices = AddAccessor(arrays.indices, TINYGLTF_TYPE_SCALAR, static_cast<int>(arrays.indices.size()),
                                    TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    // Vertex colours are multiplied by the base colour, so white keeps them as they are.
    primitive.material = vertexColours ? MaterialFor(Vector(1.0)) : MaterialFor(colour.set ? colour.colour : kNeutral);

    tinygltf::Mesh mesh;
    mesh.name = name;
    mesh.primitives.push_back(std::move(primitive));
    model_.meshes.push_back(std::move(mesh));
    return static_cast<int>(model_.meshes.size()) - 1;
  }

  // An accessor over `values` of the newest mesh, whose bytes Finish copies into place.
  template <class T>
  int AddAccessor(const std::vector<T>& values, int type, int count, int target) {
    static_assert(sizeof(T) == 4, "every component is 4 bytes, which keeps views aligned");
    const std::size_t bytes = values.size() * sizeof(T);
    // A .glb's lengths are 32-bit; the margin leaves room for the JSON part.
    if (binBytes_ + bytes > std::numeric_limits<UInt32>::max() - (std::size_t(1) << 26)) {
      throw Failure("the scene is too large for a .glb file");
    }
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = binBytes_;
    view.byteLength = bytes;
    view.target = target;
    model_.bufferViews.push_back(view);
    blocks_.push_back({arrays_.size() - 1, reinterpret_cast<const unsigned char*>(values.data()), bytes});
    binBytes_ += bytes;

    tinygltf::Accessor accessor;
    accessor.bufferView = static_cast<int>(model_.bufferViews.size()) - 1;
    accessor.byteOffset = 0;
    accessor.componentType = std::is_same_v<T, float> ? TINYGLTF_COMPONENT_TYPE_FLOAT : TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
    accessor.count = static_cast<std::size_t>(count);
    accessor.type = type;
    model_.accessors.push_back(std::move(accessor));
    return static_cast<int>(model_.accessors.size()) - 1;
  }

  int MaterialFor(const Vector& colour) {
    const std::array<double, 3> key = {colour.x, colour.y, colour.z};
    if (const auto found = materials_.find(key); found != materials_.end()) {
      return found->second;
    }
    tinygltf::Material material;
    char name[32];
    std::snprintf(name, sizeof(name), "Colour %.3f %.3f %.3f", colour.x, colour.y, colour.z);
    material.name = name;
    material.pbrMetallicRoughness.baseColorFactor = {colour.x, colour.y, colour.z, 1.0};
    material.pbrMetallicRoughness.metallicFactor = 0.0;
    material.pbrMetallicRoughness.roughnessFactor = kRoughness;
    // Plots are open sheets seen from above and below.
    material.doubleSided = true;
    model_.materials.push_back(std::move(material));
    const int index = static_cast<int>(model_.materials.size()) - 1;
    materials_.emplace(key, index);
    return index;
  }

  int UnlitMaterialFor(const Vector& colour) {
    const std::array<double, 3> key = {colour.x, colour.y, colour.z};
    if (const auto found = unlitMaterials_.find(key); found != unlitMaterials_.end()) {
      return found->second;
    }
    tinygltf::Material material;
    char name[40];
    std::snprintf(name, sizeof(name), "Line %.3f %.3f %.3f", colour.x, colour.y, colour.z);
    material.name = name;
    material.pbrMetallicRoughness.baseColorFactor = {colour.x, colour.y, colour.z, 1.0};
    // What readers without the extension fall back to: a dull, non-metallic colour.
    material.pbrMetallicRoughness.metallicFactor = 0.0;
    material.pbrMetallicRoughness.roughnessFactor = kRoughness;
    material.extensions[kUnlit] = tinygltf::Value(tinygltf::Value::Object());
    if (std::find(model_.extensionsUsed.begin(), model_.extensionsUsed.end(), kUnlit) == model_.extensionsUsed.end()) {
      model_.extensionsUsed.push_back(kUnlit);
    }
    model_.materials.push_back(std::move(material));
    const int index = static_cast<int>(model_.materials.size()) - 1;
    unlitMaterials_.emplace(key, index);
    return index;
  }

  static constexpr Vector kNeutral{0.8, 0.8, 0.8};
  static constexpr const char* kUnlit = "KHR_materials_unlit";
  static constexpr double kRoughness = 0.8;

  // Bytes of one mesh array, in the order they go into the buffer.
  struct Block {
    std::size_t mesh;  // index into arrays_
    const unsigned char* data;
    std::size_t bytes;
  };

  tinygltf::Model model_;
  std::map<std::array<double, 3>, int> materials_;
  std::map<std::array<double, 3>, int> unlitMaterials_;
  std::vector<MeshArrays> arrays_;
  std::vector<Block> blocks_;
  std::size_t binBytes_ = 0;
};

std::string ErrorText(int error) { return std::generic_category().message(error); }

// Whether the file holds a whole .glb: its header's length is the file's length.
bool IsCompleteGlb(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    return false;
  }
  const std::streamoff size = in.tellg();
  in.seekg(0);
  unsigned char header[12] = {};
  if (size < 12 || !in.read(reinterpret_cast<char*>(header), sizeof(header))) {
    return false;
  }
  const UInt32 length = UInt32(header[8]) | UInt32(header[9]) << 8 | UInt32(header[10]) << 16 | UInt32(header[11]) << 24;
  return std::memcmp(header, "glTF", 4) == 0 && std::streamoff(length) == size;
}

// A new empty file beside the target, so the final rename stays on one file system.
std::string CreateTemporaryBeside(const std::filesystem::path& target, const std::string& shown) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = "." + target.filename().string() + "." + std::to_string(getpid()) + "." +
                             std::to_string(counter.fetch_add(1)) + ".tmp";
    const std::string path = (folder / name).string();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return path;
    }
    if (errno != EEXIST) {
      throw Failure("cannot write " + shown + ": " + ErrorText(errno));
    }
  }
  throw Failure("cannot write " + shown + ": no free temporary name in its folder");
}

}  // namespace

tinygltf::Model BuildGltfModel(const BaseDocument* doc) {
  ModelBuilder builder;
  if (doc != nullptr) {
    builder.AddDocument(*doc);
  }
  return std::move(builder.Finish());
}

StagedGlb::StagedGlb(const tinygltf::Model& model, const Filename& path) : target_(path.GetPath()) {
  const std::string shown = target_.string();
  if (target_.empty() || !target_.has_filename()) {
    throw Failure("cannot write " + (shown.empty() ? std::string("\"\"") : shown) + ": not a file name");
  }
  // Caught before writing a whole file that could never take its place.
  std::error_code error;
  if (std::filesystem::is_directory(target_, error)) {
    throw Failure("cannot write " + shown + ": " + ErrorText(EISDIR));
  }
  const std::string temporary = CreateTemporaryBeside(target_, shown);
  // The destructor does not run for an object never made, so the file is removed here on
  // every way out but success.
  struct Cleanup {
    const std::string* path;
    ~Cleanup() {
      if (path != nullptr) {
        std::remove(path->c_str());
      }
    }
  } cleanup{&temporary};

  tinygltf::TinyGLTF writer;
  errno = 0;
  const bool written = writer.WriteGltfSceneToFile(&model, temporary, true, true, false, true);
  const int writeError = errno;
  // The writer does not check its stream, so the file itself tells whether all of it
  // arrived (a full disk cuts it short).
  if (!written || !IsCompleteGlb(temporary)) {
    throw Failure("cannot write " + shown + ": " + (writeError != 0 ? ErrorText(writeError) : "the file is incomplete"));
  }
  temporary_ = temporary;
  cleanup.path = nullptr;
}

StagedGlb::StagedGlb(StagedGlb&& other) noexcept
    : temporary_(std::exchange(other.temporary_, std::string())), target_(std::move(other.target_)) {}

StagedGlb::~StagedGlb() {
  if (!temporary_.empty()) {
    std::remove(temporary_.c_str());
  }
}

void StagedGlb::Commit() {
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    throw Failure("cannot write " + target_.string() + ": " + ErrorText(errno));
  }
  temporary_.clear();
}

void WriteGltfModel(const tinygltf::Model& model, const Filename& path) { StagedGlb(model, path).Commit(); }

void WriteGlb(BaseDocument* doc, const Filename& path) { WriteGltfModel(BuildGltfModel(doc), path); }

}  // namespace vantelle::app
