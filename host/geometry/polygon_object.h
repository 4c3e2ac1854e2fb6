// Objects made of points: polygon meshes.
#pragma once

#include <vector>

#include "host/scene/objects.h"

// A polygon: four point indices. A triangle repeats c in d.
struct CPolygon {
  Int32 a = 0, b = 0, c = 0, d = 0;
  constexpr CPolygon() = default;
  constexpr CPolygon(Int32 ia, Int32 ib, Int32 ic) : a(ia), b(ib), c(ic), d(ic) {}
  constexpr CPolygon(Int32 ia, Int32 ib, Int32 ic, Int32 id) : a(ia), b(ib), c(ic), d(id) {}
  constexpr Bool IsTriangle() const { return c == d; }
  constexpr bool operator==(const CPolygon&) const = default;
};

// The face normal convention of the host: Cross(b - a, c - a) points to the front side,
// and a closed mesh whose polygons all face outward has a positive signed volume.
Vector CalcFaceNormal(const Vector* points, const CPolygon& polygon);

class PointObject : public BaseObject {
public:
  Int32 GetPointCount() const { return static_cast<Int32>(points_.size()); }
  const Vector* GetPointR() const { return points_.data(); }
  Vector* GetPointW() { return points_.data(); }

protected:
  explicit PointObject(Int32 type) : BaseObject(type) {}
  std::vector<Vector> points_;
};

class PolygonObject final : public PointObject {
public:
  // A new polygon object with `pointCount` points at the origin and `polygonCount`
  // polygons (0, 0, 0, 0); null for negative counts or when memory runs out.
  static PolygonObject* Alloc(Int32 pointCount, Int32 polygonCount);

  Int32 GetPolygonCount() const { return static_cast<Int32>(polygons_.size()); }
  const CPolygon* GetPolygonR() const { return polygons_.data(); }
  CPolygon* GetPolygonW() { return polygons_.data(); }

  // Sets the counts, keeping existing points and polygons; false (and nothing changed)
  // for negative counts or when memory runs out.
  Bool ResizeObject(Int32 pointCount, Int32 polygonCount);

  // Whether every polygon's indices lie below the point count.
  Bool IsValid() const;

private:
  friend class BaseObject;
  PolygonObject() : PointObject(Opolygon) {}
  std::vector<CPolygon> polygons_;
};
