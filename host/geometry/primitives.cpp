#include "host/geometry/primitives.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr Int32 kMaxSegments = 1000;

// Sizes come from user containers: a negative size means its magnitude, and a size that
// is not a finite number means nothing at all.
Float CleanSize(Float v) {
  return std::isfinite(v) ? std::fabs(v) : 0.0;
}

Vector CleanSize(const Vector& v) {
  return {CleanSize(v.x), CleanSize(v.y), CleanSize(v.z)};
}

Int32 CleanSegments(Int32 v, Int32 lowest) {
  return std::clamp(v, lowest, kMaxSegments);
}

// Collects points and polygons, then hands them over as one polygon object.
struct MeshBuilder {
  std::vector<Vector> points;
  std::vector<CPolygon> polygons;

  Int32 AddPoint(const Vector& p) {
    points.push_back(p);
    return static_cast<Int32>(points.size() - 1);
  }
  void AddTriangle(Int32 a, Int32 b, Int32 c) { polygons.emplace_back(a, b, c); }
  void AddQuad(Int32 a, Int32 b, Int32 c, Int32 d) { polygons.emplace_back(a, b, c, d); }

  PolygonObject* Finish() const {
    PolygonObject* op = PolygonObject::Alloc(static_cast<Int32>(points.size()), static_cast<Int32>(polygons.size()));
    if (op != nullptr) {
      std::copy(points.begin(), points.end(), op->GetPointW());
      std::copy(polygons.begin(), polygons.end(), op->GetPolygonW());
    }
    return op;
  }
};

// --- Cube -------------------------------------------------------------------------------

// The lattice points on the surface of a box of n[0] x n[1] x n[2] cells, stored layer by
// layer along Y: the bottom and top layers whole, the layers between only as the ring
// around their rim. Each surface point exists once, so neighbouring faces share their
// edge points.
class BoxLattice {
public:
  explicit BoxLattice(const std::array<Int32, 3>& n)
      : n_(n), full_((n[0] + 1) * (n[2] + 1)), ring_(2 * (n[0] + n[2])) {}

  Int32 PointCount() const { return 2 * full_ + (n_[1] - 1) * ring_; }

  // The index of lattice point (i, j, k), which must lie on the surface.
  Int32 Index(Int32 i, Int32 j, Int32 k) const {
    if (j == 0) {
      return k * (n_[0] + 1) + i;
    }
    if (j == n_[1]) {
      return full_ + (n_[1] - 1) * ring_ + k * (n_[0] + 1) + i;
    }
    return full_ + (j - 1) * ring_ + RingIndex(i, k);
  }

private:
  // Position along the rim, walked k = 0 side, i = max side, k = max side, i = 0 side.
  Int32 RingIndex(Int32 i, Int32 k) const {
    const Int32 nx = n_[0], nz = n_[2];
    if (k == 0 && i < nx) return i;
    if (i == nx && k < nz) return nx + k;
    if (k == nz && i > 0) return nx + nz + (nx - i);
    return 2 * nx + nz + (nz - k);  // i == 0, k > 0
  }

  std::array<Int32, 3> n_;
  Int32 full_;
  Int32 ring_;
};

PolygonObject* GenerateCube(const BaseContainer& bc) {
  const Vector len = CleanSize(bc.GetVector(PRIM_CUBE_LEN, Vector(200.0)));
  const std::array<Int32, 3> n{CleanSegments(bc.GetInt32(PRIM_CUBE_SUBX, 1), 1),
                               CleanSegments(bc.GetInt32(PRIM_CUBE_SUBY, 1), 1),
                               CleanSegments(bc.GetInt32(PRIM_CUBE_SUBZ, 1), 1)};
  const std::array<Float, 3> size{len.x, len.y, len.z};
  const BoxLattice lattice(n);

  MeshBuilder mesh;
  mesh.points.resize(static_cast<std::size_t>(lattice.PointCount()));
  const auto coordinate = [&](Int32 axis, Int32 step) { return -0.5 * size[axis] + size[axis] * step / n[axis]; };
  for (Int32 j = 0; j <= n[1]; ++j) {
    for (Int32 k = 0; k <= n[2]; ++k) {
      for (Int32 i = 0; i <= n[0]; ++i) {
        const bool onSurface = j == 0 || j == n[1] || i == 0 || i == n[0] || k == 0 || k == n[2];
        if (onSurface) {
          mesh.points[static_cast<std::size_t>(lattice.Index(i, j, k))] = {coordinate(0, i), coordinate(1, j),
                                                                            coordinate(2, k)};
        }
      }
    }
  }

  // Each face lies across axis w; u and v follow it cyclically (X -> Y, Z; Y -> Z, X;
  // Z -> X, Y), so that Cross(u, v) is +w. Walking a cell u first then v thus faces +w;
  // the face at the low end walks v first to face -w.
  for (Int32 w = 0; w < 3; ++w) {
    const Int32 u = (w + 1) % 3;
    const Int32 v = (w + 2) % 3;
    for (Int32 side = 0; side < 2; ++side) {
      const auto at = [&](Int32 iu, Int32 iv) {
        std::array<Int32, 3> c{};
        c[static_cast<std::size_t>(w)] = side == 1 ? n[static_cast<std::size_t>(w)] : 0;
        c[static_cast<std::size_t>(u)] = iu;
        c[static_cast<std::size_t>(v)] = iv;
        return lattice.Index(c[0], c[1], c[2]);
      };
      for (Int32 iv = 0; iv < n[static_cast<std::size_t>(v)]; ++iv) {
        for (Int32 iu = 0; iu < n[static_cast<std::size_t>(u)]; ++iu) {
          const Int32 p00 = at(iu, iv), p10 = at(iu + 1, iv), p11 = at(iu + 1, iv + 1), p01 = at(iu, iv + 1);
          if (side == 1) {
            mesh.AddQuad(p00, p10, p11, p01);
          } else {
            mesh.AddQuad(p00, p01, p11, p10);
          }
        }
      }
    }
  }
  return mesh.Finish();
}

// --- Sphere -----------------------------------------------------------------------------

PolygonObject* GenerateSphere(const BaseContainer& bc) {
  const Float radius = CleanSize(bc.GetFloat(PRIM_SPHERE_RAD, 100.0));
  const Int32 around = CleanSegments(bc.GetInt32(PRIM_SPHERE_SUB, 24), 3);
  const Int32 rings = std::max<Int32>(2, around / 2);

  MeshBuilder mesh;
  const Int32 north = mesh.AddPoint({0.0, radius, 0.0});
  // Ring r (1 .. rings - 1) at polar angle pi * r / rings from the north pole.
  const auto ringPoint = [&](Int32 r, Int32 s) { return 1 + (r - 1) * around + (s % around); };
  for (Int32 r = 1; r < rings; ++r) {
    const Float theta = PI * r / rings;
    for (Int32 s = 0; s < around; ++s) {
      const Float phi = 2.0 * PI * s / around;
      mesh.AddPoint({radius * std::sin(theta) * std::cos(phi), radius * std::cos(theta),
                     radius * std::sin(theta) * std::sin(phi)});
    }
  }
  const Int32 south = mesh.AddPoint({0.0, -radius, 0.0});

  // With phi growing towards +Z from +X and the rings running south, Cross(east, south)
  // points away from the centre, so each cell is walked east first, then south.
  for (Int32 s = 0; s < around; ++s) {
    mesh.AddTriangle(north, ringPoint(1, s + 1), ringPoint(1, s));
  }
  for (Int32 r = 1; r + 1 < rings; ++r) {
    for (Int32 s = 0; s < around; ++s) {
      mesh.AddQuad(ringPoint(r, s), ringPoint(r, s + 1), ringPoint(r + 1, s + 1), ringPoint(r + 1, s));
    }
  }
  for (Int32 s = 0; s < around; ++s) {
    mesh.AddTriangle(ringPoint(rings - 1, s), ringPoint(rings - 1, s + 1), south);
  }
  return mesh.Finish();
}

// --- Pyramid ----------------------------------------------------------------------------

PolygonObject* GeneratePyramid(const BaseContainer& bc) {
  const Vector half = CleanSize(bc.GetVector(PRIM_PYRAMID_LEN, Vector(200.0))) * 0.5;
  MeshBuilder mesh;
  mesh.AddPoint({-half.x, -half.y, -half.z});
  mesh.AddPoint({half.x, -half.y, -half.z});
  mesh.AddPoint({half.x, -half.y, half.z});
  mesh.AddPoint({-half.x, -half.y, half.z});
  const Int32 apex = mesh.AddPoint({0.0, half.y, 0.0});
  // The base faces down; each side walks its base edge the other way round.
  mesh.AddQuad(0, 1, 2, 3);
  for (Int32 i = 0; i < 4; ++i) {
    mesh.AddTriangle((i + 1) % 4, i, apex);
  }
  return mesh.Finish();
}

// --- Platonic solids --------------------------------------------------------------------

constexpr Float kGolden = 1.6180339887498948482;

// The faces of a regular solid centred on the origin: the dual solid's vertices point
// at the face centres, and a face holds the vertices that reach furthest along that
// direction. Built on the unit template, so a zero radius still gives whole faces.
void AddRegularSolid(MeshBuilder& mesh, const std::vector<Vector>& vertices, const std::vector<Vector>& faceDirections,
                     Float radius) {
  std::vector<Vector> unit;
  unit.reserve(vertices.size());
  for (const Vector& v : vertices) {
    unit.push_back(v.GetNormalized());
  }
  for (const Vector& v : unit) {
    mesh.AddPoint(v * radius);
  }
  for (const Vector& direction : faceDirections) {
    const Vector d = direction.GetNormalized();
    Float reach = -2.0;
    for (const Vector& v : unit) {
      reach = std::max(reach, Dot(v, d));
    }
    // Sorted counter-clockwise seen from outside: with e1 x e2 = d, a growing angle from
    // e1 towards e2 gives Cross(b - a, c - a) along d.
    const Vector e1 = Cross(std::fabs(d.x) < 0.9 ? Vector(1.0, 0.0, 0.0) : Vector(0.0, 1.0, 0.0), d).GetNormalized();
    const Vector e2 = Cross(d, e1);
    std::vector<std::pair<Float, Int32>> face;
    for (std::size_t i = 0; i < unit.size(); ++i) {
      if (Dot(unit[i], d) > reach - 1e-9) {
        face.emplace_back(std::atan2(Dot(unit[i], e2), Dot(unit[i], e1)), static_cast<Int32>(i));
      }
    }
    std::sort(face.begin(), face.end());
    if (face.size() == 3) {
      mesh.AddTriangle(face[0].second, face[1].second, face[2].second);
    } else if (face.size() == 4) {
      mesh.AddQuad(face[0].second, face[1].second, face[2].second, face[3].second);
    } else if (face.size() == 5) {
      // A pentagon as a quad and the triangle that closes it.
      mesh.AddQuad(face[0].second, face[1].second, face[2].second, face[3].second);
      mesh.AddTriangle(face[0].second, face[3].second, face[4].second);
    }
  }
}

std::vector<Vector> TetrahedronVertices() {
  return {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}};
}

std::vector<Vector> HexahedronVertices() {
  std::vector<Vector> v;
  for (Float x : {-1.0, 1.0}) {
    for (Float y : {-1.0, 1.0}) {
      for (Float z : {-1.0, 1.0}) {
        v.emplace_back(x, y, z);
      }
    }
  }
  return v;
}

std::vector<Vector> OctahedronVertices() {
  return {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
}

// The icosahedron and the dodecahedron come in two turns about the cube's axes, which
// swap the roles of the two non-zero coordinates; each solid's faces point at the other
// solid's vertices in the opposite turn.
void AddCyclic(std::vector<Vector>& v, Float a, Float b, bool turned) {
  if (turned) {
    std::swap(a, b);
  }
  v.emplace_back(0.0, a, b);
  v.emplace_back(a, b, 0.0);
  v.emplace_back(b, 0.0, a);
}

std::vector<Vector> IcosahedronVertices(bool turned) {
  std::vector<Vector> v;
  for (Float a : {-1.0, 1.0}) {
    for (Float b : {-kGolden, kGolden}) {
      AddCyclic(v, a, b, turned);
    }
  }
  return v;
}

std::vector<Vector> DodecahedronVertices(bool turned) {
  std::vector<Vector> v = HexahedronVertices();
  for (Float a : {-1.0 / kGolden, 1.0 / kGolden}) {
    for (Float b : {-kGolden, kGolden}) {
      AddCyclic(v, a, b, turned);
    }
  }
  return v;
}

PolygonObject* GeneratePlatonic(const BaseContainer& bc) {
  const Float radius = CleanSize(bc.GetFloat(PRIM_PLATONIC_RAD, 100.0));
  MeshBuilder mesh;
  switch (std::clamp(bc.GetInt32(PRIM_PLATONIC_TYPE, 0), 0, 4)) {
    case 0: {
      // The tetrahedron is its own dual, turned inside out.
      std::vector<Vector> directions;
      for (const Vector& v : TetrahedronVertices()) {
        directions.push_back(-v);
      }
      AddRegularSolid(mesh, TetrahedronVertices(), directions, radius);
      break;
    }
    case 1: AddRegularSolid(mesh, HexahedronVertices(), OctahedronVertices(), radius); break;
    case 2: AddRegularSolid(mesh, OctahedronVertices(), HexahedronVertices(), radius); break;
    case 3: AddRegularSolid(mesh, DodecahedronVertices(false), IcosahedronVertices(true), radius); break;
    default: AddRegularSolid(mesh, IcosahedronVertices(false), DodecahedronVertices(true), radius); break;
  }
  return mesh.Finish();
}

}  // namespace

PolygonObject* GeneratePrimitive(BaseDocument* /*doc*/, Int32 type, const BaseContainer& bc, Float /*lod*/,
                                 Bool /*isoparm*/, BaseThread* /*bt*/) {
  try {
    switch (type) {
      case Ocube: return GenerateCube(bc);
      case Osphere: return GenerateSphere(bc);
      case Opyramid: return GeneratePyramid(bc);
      case Oplatonic: return GeneratePlatonic(bc);
      default: return nullptr;
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
