#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <utility>

#include "host/geometry/primitives.h"

namespace {

struct MeshFacts {
  bool closed = true;        // every edge walked once each way
  bool faceOutward = true;   // every face normal points away from the centre
  Float volume = 0.0;
  Vector min{std::numeric_limits<Float>::infinity()};
  Vector max{-std::numeric_limits<Float>::infinity()};
  Float minRadius = std::numeric_limits<Float>::infinity();
  Float maxRadius = 0.0;
  Int32 triangles = 0;
  Int32 quads = 0;
};

// What a convex mesh centred on the origin looks like from outside.
MeshFacts Inspect(const PolygonObject& op) {
  MeshFacts f;
  const Vector* pts = op.GetPointR();
  std::map<std::pair<Int32, Int32>, Int32> directed;
  for (Int32 i = 0; i < op.GetPolygonCount(); ++i) {
    const CPolygon& p = op.GetPolygonR()[i];
    const Int32 corners[] = {p.a, p.b, p.c, p.d};
    const Int32 n = p.IsTriangle() ? 3 : 4;
    (n == 3 ? f.triangles : f.quads)++;
    Vector centre;
    for (Int32 k = 0; k < n; ++k) {
      ++directed[{corners[k], corners[(k + 1) % n]}];
      centre += pts[corners[k]] / n;
    }
    f.faceOutward = f.faceOutward && Dot(CalcFaceNormal(pts, p), centre) > 0.0;
    f.volume += Dot(pts[p.a], Cross(pts[p.b], pts[p.c])) / 6.0;
    f.volume += n == 4 ? Dot(pts[p.a], Cross(pts[p.c], pts[p.d])) / 6.0 : 0.0;
  }
  for (const auto& [edge, count] : directed) {
    const auto back = directed.find({edge.second, edge.first});
    f.closed = f.closed && count == 1 && back != directed.end() && back->second == 1 && edge.first != edge.second;
  }
  for (Int32 i = 0; i < op.GetPointCount(); ++i) {
    const Vector& v = pts[i];
    f.min = {std::min(f.min.x, v.x), std::min(f.min.y, v.y), std::min(f.min.z, v.z)};
    f.max = {std::max(f.max.x, v.x), std::max(f.max.y, v.y), std::max(f.max.z, v.z)};
    f.minRadius = std::min(f.minRadius, v.GetLength());
    f.maxRadius = std::max(f.maxRadius, v.GetLength());
  }
  return f;
}

// Builds, inspects and frees.
MeshFacts Generate(Int32 type, const BaseContainer& bc, Int32* points = nullptr) {
  PolygonObject* op = GeneratePrimitive(nullptr, type, bc, 1.0, false, nullptr);
  EXPECT_TRUE(op != nullptr && op->IsValid());
  if (op == nullptr) {
    return MeshFacts{};
  }
  const MeshFacts f = Inspect(*op);
  if (points != nullptr) {
    *points = op->GetPointCount();
  }
  BaseObject* base = op;
  BaseObject::Free(base);
  return f;
}

void ExpectBox(const MeshFacts& f, const Vector& len) {
  EXPECT_EQ(f.min, len * -0.5);
  EXPECT_EQ(f.max, len * 0.5);
}

TEST(Primitives, CubeIsAClosedOutwardBoxOfTheGivenLengths) {
  struct Case {
    Vector len;
    Int32 sx, sy, sz;
  };
  for (const Case& c : {Case{{200, 200, 200}, 1, 1, 1}, Case{{10, 20, 30}, 1, 2, 3}, Case{{5, 0.5, 7}, 4, 1, 2},
                        Case{{1, 1, 1}, 5, 5, 5}}) {
    BaseContainer bc;
    bc.SetVector(PRIM_CUBE_LEN, c.len);
    bc.SetInt32(PRIM_CUBE_SUBX, c.sx);
    bc.SetInt32(PRIM_CUBE_SUBY, c.sy);
    bc.SetInt32(PRIM_CUBE_SUBZ, c.sz);
    Int32 points = 0;
    const MeshFacts f = Generate(Ocube, bc, &points);
    SCOPED_TRACE(testing::Message() << c.sx << " x " << c.sy << " x " << c.sz);
    const Int32 faces = 2 * (c.sx * c.sy + c.sy * c.sz + c.sx * c.sz);
    EXPECT_EQ(f.quads, faces);
    EXPECT_EQ(points, faces + 2);  // corners shared: a closed quad sphere has V = F + 2
    EXPECT_TRUE(f.closed && f.faceOutward);
    const Float volume = c.len.x * c.len.y * c.len.z;
    EXPECT_NEAR(f.volume, volume, 1e-9 * volume);
    ExpectBox(f, c.len);
  }
  // Defaults, then sizes of the wrong sign or no number and segment counts below 1.
  ExpectBox(Generate(Ocube, BaseContainer()), Vector(200.0));
  BaseContainer bc;
  bc.SetVector(PRIM_CUBE_LEN, Vector(-10, 20, std::nan("")));
  bc.SetInt32(PRIM_CUBE_SUBX, 0);
  bc.SetInt32(PRIM_CUBE_SUBY, -7);
  bc.SetInt32(PRIM_CUBE_SUBZ, 2);
  const MeshFacts f = Generate(Ocube, bc);
  EXPECT_EQ(f.quads, 2 * (1 + 2 + 2));
  EXPECT_TRUE(f.closed);
  ExpectBox(f, Vector(10, 20, 0));
}

TEST(Primitives, SphereIsAClosedOutwardUvSphereOnItsRadius) {
  for (Float radius : {100.0, 0.5}) {
    for (Int32 sub : {3, 4, 7, 24, 25}) {
      BaseContainer bc;
      bc.SetFloat(PRIM_SPHERE_RAD, radius);
      bc.SetInt32(PRIM_SPHERE_SUB, sub);
      Int32 points = 0;
      const MeshFacts f = Generate(Osphere, bc, &points);
      SCOPED_TRACE(testing::Message() << "radius " << radius << " segments " << sub);
      const Int32 rings = std::max(2, sub / 2);
      EXPECT_EQ(points, 2 + (rings - 1) * sub);
      EXPECT_EQ(f.triangles, 2 * sub);  // the pole caps
      EXPECT_EQ(f.quads, (rings - 2) * sub);
      EXPECT_TRUE(f.closed && f.faceOutward);
      EXPECT_NEAR(f.minRadius, radius, 1e-12 * radius);
      EXPECT_NEAR(f.maxRadius, radius, 1e-12 * radius);
    }
  }
  // Inscribed in the ball, and close to it at the default 24 segments.
  const Float ball = 4.0 / 3.0 * PI * 1e6;
  const Float volume = Generate(Osphere, BaseContainer()).volume;
  EXPECT_LT(volume, ball);
  EXPECT_GT(volume, 0.96 * ball);

  BaseContainer bc;
  bc.SetFloat(PRIM_SPHERE_RAD, -2.0);
  bc.SetInt32(PRIM_SPHERE_SUB, 2000000000);
  PolygonObject* huge = GeneratePrimitive(nullptr, Osphere, bc, 1.0, false, nullptr);
  EXPECT_EQ(huge->GetPolygonCount(), 1000 * 500);  // clamped to 1000 around
  EXPECT_NEAR(huge->GetPointR()[1].GetLength(), 2.0, 1e-12);
  BaseObject* base = huge;
  BaseObject::Free(base);
}

TEST(Primitives, PyramidStandsOnItsBase) {
  for (const Vector& len : {Vector(200, 200, 200), Vector(10, 30, 4), Vector(1, 0.25, 8)}) {
    BaseContainer bc;
    bc.SetVector(PRIM_PYRAMID_LEN, len);
    const MeshFacts f = Generate(Opyramid, bc);
    EXPECT_EQ(f.triangles, 4);
    EXPECT_EQ(f.quads, 1);
    EXPECT_TRUE(f.closed && f.faceOutward);
    EXPECT_NEAR(f.volume, len.x * len.y * len.z / 3.0, 1e-9 * len.x * len.y * len.z);
    ExpectBox(f, len);
  }
}

TEST(Primitives, PlatonicSolidsAreRegularAndOnTheirCircumradius) {
  struct Solid {
    Int32 type, triangles, quads;
    Float volumePerCubedRadius;
  };
  const Float a12 = 4.0 / (std::sqrt(3.0) * (1.0 + std::sqrt(5.0)));  // dodecahedron edge at radius 1
  const Float a20 = 4.0 / std::sqrt(10.0 + 2.0 * std::sqrt(5.0));     // icosahedron edge at radius 1
  const Solid solids[] = {
      {0, 4, 0, 8.0 / (9.0 * std::sqrt(3.0))},
      {1, 0, 6, std::pow(2.0 / std::sqrt(3.0), 3)},
      {2, 8, 0, 4.0 / 3.0},
      {3, 12, 12, (15.0 + 7.0 * std::sqrt(5.0)) / 4.0 * a12 * a12 * a12},  // pentagons: quad + triangle
      {4, 20, 0, 5.0 * (3.0 + std::sqrt(5.0)) / 12.0 * a20 * a20 * a20},
  };
  for (const Solid& s : solids) {
    for (Float radius : {100.0, 0.003}) {
      BaseContainer bc;
      bc.SetInt32(PRIM_PLATONIC_TYPE, s.type);
      bc.SetFloat(PRIM_PLATONIC_RAD, radius);
      const MeshFacts f = Generate(Oplatonic, bc);
      SCOPED_TRACE(testing::Message() << "type " << s.type << " radius " << radius);
      EXPECT_EQ(f.triangles, s.triangles);
      EXPECT_EQ(f.quads, s.quads);
      EXPECT_TRUE(f.closed && f.faceOutward);
      const Float cube = radius * radius * radius;
      EXPECT_NEAR(f.volume, s.volumePerCubedRadius * cube, 1e-9 * cube);
      EXPECT_NEAR(f.minRadius, radius, 1e-12 * radius);
      EXPECT_NEAR(f.maxRadius, radius, 1e-12 * radius);
    }
  }
  // No number for a radius collapses the solid but keeps it whole; types are clamped.
  BaseContainer bc;
  bc.SetFloat(PRIM_PLATONIC_RAD, std::nan(""));
  bc.SetInt32(PRIM_PLATONIC_TYPE, 99);
  const MeshFacts f = Generate(Oplatonic, bc);
  EXPECT_EQ(f.triangles, 20);
  EXPECT_TRUE(f.closed);
  EXPECT_EQ(f.maxRadius, 0.0);
  EXPECT_EQ(GeneratePrimitive(nullptr, Onull, bc, 1.0, false, nullptr), nullptr);
}

}  // namespace
