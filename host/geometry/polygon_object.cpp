#include "host/geometry/polygon_object.h"

#include <new>
#include <stdexcept>

// A triangle's normal is Cross(b - a, c - a). A quad's is Cross(c - a, d - b), the cross
// product of its diagonals: that is twice the quad's vector area, so it averages over both
// halves of a bent quad instead of following only the triangle (a, b, c), and for a
// planar convex quad it points the same way as the triangle formula. The result is
// normalized; a degenerate polygon gives the zero vector.
Vector CalcFaceNormal(const Vector* points, const CPolygon& polygon) {
  if (points == nullptr) {
    return Vector();
  }
  const Vector& a = points[polygon.a];
  const Vector& b = points[polygon.b];
  const Vector& c = points[polygon.c];
  if (polygon.IsTriangle()) {
    return Cross(b - a, c - a).GetNormalized();
  }
  const Vector& d = points[polygon.d];
  return Cross(c - a, d - b).GetNormalized();
}

PolygonObject* PolygonObject::Alloc(Int32 pointCount, Int32 polygonCount) {
  if (pointCount < 0 || polygonCount < 0) {
    return nullptr;
  }
  auto* op = static_cast<PolygonObject*>(BaseObject::Alloc(Opolygon));
  if (op == nullptr) {
    return nullptr;
  }
  if (!op->ResizeObject(pointCount, polygonCount)) {
    BaseObject* base = op;
    BaseObject::Free(base);
    return nullptr;
  }
  return op;
}

Bool PolygonObject::ResizeObject(Int32 pointCount, Int32 polygonCount) {
  if (pointCount < 0 || polygonCount < 0) {
    return false;
  }
  // Reserving both first means the resizes below cannot fail, so a failure leaves both
  // arrays as they were.
  try {
    points_.reserve(static_cast<std::size_t>(pointCount));
    polygons_.reserve(static_cast<std::size_t>(polygonCount));
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  points_.resize(static_cast<std::size_t>(pointCount));
  polygons_.resize(static_cast<std::size_t>(polygonCount));
  return true;
}

Bool PolygonObject::IsValid() const {
  const Int32 count = GetPointCount();
  const auto inRange = [count](Int32 i) { return i >= 0 && i < count; };
  for (const CPolygon& p : polygons_) {
    if (!inRange(p.a) || !inRange(p.b) || !inRange(p.c) || !inRange(p.d)) {
      return false;
    }
  }
  return true;
}
