#include "app/gltf_geometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>
#include <vector>

#include "app/app_error.h"
#include "app/gltf_space.h"
#include "host/geometry/tags.h"

namespace vantelle::app {

namespace {

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

}  // namespace

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
      const auto exists = [pointCount](Int32 k) { return k >= 0 && k < pointCount; };
      if (exists(p.a) && exists(p.b) && exists(p.c) && exists(p.d)) {
        ++out.dropped;  // a real polygon, too far out for the file
      }
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

namespace {

// Calls `each(traced, closed)` with the host points of every segment of two or more points,
// in order. Throws a Failure naming the object when its lines have too many points for glTF.
template <class Each>
void TraceSegments(const SplineObject& op, Each each) {
  const Vector* points = op.GetPointR();
  const bool cubic = op.GetSplineType() == SPLINETYPE::CUBIC;
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
    each(traced, segment.closed);
  }
}

// Appends the glTF positions of `traced` to `positions` and sets min and max to their
// bounds; false, with `positions` as it was, when single precision cannot hold a point.
bool AppendPositions(const std::vector<Vector>& traced, std::vector<float>& positions, std::array<float, 3>& min,
                     std::array<float, 3>& max) {
  min.fill(std::numeric_limits<float>::max());
  max.fill(std::numeric_limits<float>::lowest());
  const std::size_t start = positions.size();
  positions.resize(start + 3 * traced.size());
  float* out = positions.data() + start;
  bool finite = true;
  for (const Vector& p : traced) {
    const Vector g = ToGltf::Point(p);
    const std::array<float, 3> position = {static_cast<float>(g.x), static_cast<float>(g.y), static_cast<float>(g.z)};
    for (int i = 0; i < 3; ++i) {
      finite = finite && std::isfinite(position[i]);
      min[i] = std::min(min[i], position[i]);
      max[i] = std::max(max[i], position[i]);
      *out++ = position[i];
    }
  }
  if (!finite) {
    positions.resize(start);
  }
  return finite;
}

}  // namespace

std::vector<LineArrays> BuildLineArrays(const SplineObject& op, Int64* dropped) {
  std::vector<LineArrays> lines;
  TraceSegments(op, [&](const std::vector<Vector>& traced, bool closed) {
    LineArrays line;
    line.closed = closed;
    if (AppendPositions(traced, line.arrays.positions, line.arrays.min, line.arrays.max)) {
      lines.push_back(std::move(line));
    } else if (dropped != nullptr) {
      ++*dropped;
    }
  });
  return lines;
}

bool BuildLinePairs(const SplineObject& op, LinePairs& out) {
  out.positions.clear();
  out.pairs.clear();
  // Room for every traced vertex at once: a cubic line has kCubicSteps per point at most.
  const auto vertices = static_cast<std::size_t>(std::max(op.GetPointCount(), 0)) *
                        (op.GetSplineType() == SPLINETYPE::CUBIC ? kCubicSteps : 1);
  out.positions.reserve(3 * vertices);
  out.pairs.reserve(2 * vertices);
  out.min.fill(std::numeric_limits<float>::max());
  out.max.fill(std::numeric_limits<float>::lowest());
  TraceSegments(op, [&](const std::vector<Vector>& traced, bool closed) {
    const auto first = static_cast<UInt32>(out.positions.size() / 3);
    std::array<float, 3> min{}, max{};
    if (!AppendPositions(traced, out.positions, min, max)) {
      return;
    }
    const auto count = static_cast<UInt32>(traced.size());
    for (UInt32 i = 0; i + 1 < count; ++i) {
      out.pairs.push_back(first + i);
      out.pairs.push_back(first + i + 1);
    }
    if (closed && count > 2) {
      out.pairs.push_back(first + count - 1);
      out.pairs.push_back(first);
    }
    for (int i = 0; i < 3; ++i) {
      out.min[i] = std::min(out.min[i], min[i]);
      out.max[i] = std::max(out.max[i], max[i]);
    }
  });
  return !out.pairs.empty();
}

}  // namespace vantelle::app
