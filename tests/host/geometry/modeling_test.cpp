#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <map>
#include <utility>
#include <vector>

#include "host/geometry/modeling.h"
#include "host/geometry/primitives.h"
#include "host/geometry/tags.h"

namespace {

// Whether every edge shared by two polygons is walked once each way.
bool Consistent(const PolygonObject& op) {
  std::map<std::pair<Int32, Int32>, Int32> directed;
  for (Int32 i = 0; i < op.GetPolygonCount(); ++i) {
    const CPolygon& p = op.GetPolygonR()[i];
    const Int32 c[] = {p.a, p.b, p.c, p.d};
    const Int32 n = p.IsTriangle() ? 3 : 4;
    for (Int32 k = 0; k < n; ++k) {
      if (++directed[{c[k], c[(k + 1) % n]}] > 1) {
        return false;
      }
    }
  }
  return true;
}

// The signed volume of polygons [first, first + count), all by default.
Float SignedVolume(const PolygonObject& op, Int32 first = 0, Int32 count = -1) {
  const Vector* v = op.GetPointR();
  Float sum = 0.0;
  for (Int32 i = first; i < (count < 0 ? op.GetPolygonCount() : first + count); ++i) {
    const CPolygon& p = op.GetPolygonR()[i];
    sum += Dot(v[p.a], Cross(v[p.b], v[p.c])) + (p.IsTriangle() ? 0.0 : Dot(v[p.a], Cross(v[p.c], v[p.d])));
  }
  return sum / 6.0;
}

Bool Align(BaseObject* op) {
  ModelingCommandData data;
  data.op = op;
  return SendModelingCommand(MCOMMAND_ALIGNNORMALS, data);
}

// Writes the mixed-winding cube of half size s at `centre` into points [base, base + 8)
// and polygons [firstPolygon, firstPolygon + 6).
void PutMixedCube(PolygonObject* op, Int32 base, Int32 firstPolygon, Float s, const Vector& centre) {
  const Vector corners[] = {{-s, s, -s}, {-s, s, s}, {s, s, s}, {s, s, -s},
                            {-s, -s, -s}, {-s, -s, s}, {s, -s, s}, {s, -s, -s}};
  for (Int32 i = 0; i < 8; ++i) {
    op->GetPointW()[base + i] = centre + corners[i];
  }
  const CPolygon quads[] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 5, 4}, {3, 2, 6, 7}, {0, 3, 7, 4}, {1, 2, 6, 5}};
  for (Int32 i = 0; i < 6; ++i) {
    const CPolygon& q = quads[i];
    op->GetPolygonW()[firstPolygon + i] = CPolygon(base + q.a, base + q.b, base + q.c, base + q.d);
  }
}

void FreeMesh(PolygonObject*& op) {
  BaseObject* base = op;
  BaseObject::Free(base);
  op = nullptr;
}

TEST(Modeling, MixedCubeBecomesConsistentAndOutwardWithItsCoordinates) {
  PolygonObject* op = PolygonObject::Alloc(8, 6);
  PutMixedCube(op, 0, 0, 1.0, Vector());
  auto* uvw = static_cast<UVWTag*>(op->MakeVariableTag(Tuvw, 6));
  for (Int32 i = 0; i < 6; ++i) {
    uvw->Set(i, UVWStruct{{i + 0.1, 0, 0}, {i + 0.2, 0, 0}, {i + 0.3, 0, 0}, {i + 0.4, 0, 0}});
  }
  ASSERT_FALSE(Consistent(*op));
  ASSERT_TRUE(Align(op));
  EXPECT_TRUE(Consistent(*op));
  EXPECT_NEAR(SignedVolume(*op), 8.0, 1e-12);
  // The top (y = +1) was (0,1,2,3): (0,0,2) x (2,0,2) = +Y, already out, so it stays.
  EXPECT_EQ(op->GetPolygonR()[0], CPolygon(0, 1, 2, 3));
  EXPECT_EQ(uvw->Get(0).b.x, 0.2);
  // The bottom, walked the same way, faced into the cube: turned keeping its first
  // corner, its coordinates with it.
  EXPECT_EQ(op->GetPolygonR()[1], CPolygon(4, 7, 6, 5));
  const UVWStruct bottom = uvw->Get(1);
  EXPECT_EQ(std::vector<Float>({bottom.a.x, bottom.b.x, bottom.c.x, bottom.d.x}), std::vector<Float>({1.1, 1.4, 1.3, 1.2}));
  const std::vector<CPolygon> before(op->GetPolygonR(), op->GetPolygonR() + 6);
  ASSERT_TRUE(Align(op));  // a second pass changes nothing
  EXPECT_EQ(std::vector<CPolygon>(op->GetPolygonR(), op->GetPolygonR() + 6), before);
  FreeMesh(op);
}

TEST(Modeling, AnInwardClosedMeshIsTurnedWhole) {
  for (Int32 platonic = 0; platonic < 5; ++platonic) {  // triangles, quads and both
    BaseContainer bc;
    bc.SetInt32(PRIM_PLATONIC_TYPE, platonic);
    PolygonObject* op = GeneratePrimitive(nullptr, Oplatonic, bc, 1.0, false, nullptr);
    const Float volume = SignedVolume(*op);
    std::vector<CPolygon> outward(op->GetPolygonR(), op->GetPolygonR() + op->GetPolygonCount());
    for (Int32 i = 0; i < op->GetPolygonCount(); ++i) {
      CPolygon& p = op->GetPolygonW()[i];
      p = p.IsTriangle() ? CPolygon(p.c, p.b, p.a) : CPolygon(p.d, p.c, p.b, p.a);
    }
    ASSERT_TRUE(Align(op));
    EXPECT_NEAR(SignedVolume(*op), volume, 1e-9 * volume) << platonic;
    for (Int32 i = 0; i < op->GetPolygonCount(); ++i) {  // turned, keeping the new first corner
      const CPolygon& o = outward[static_cast<std::size_t>(i)];
      EXPECT_EQ(op->GetPolygonR()[i], o.IsTriangle() ? CPolygon(o.c, o.a, o.b) : CPolygon(o.d, o.a, o.b, o.c));
    }
    FreeMesh(op);
  }
}

TEST(Modeling, EveryDisjointPartIsFixedOnItsOwnInLinearTime) {
  constexpr Int32 side = 51;  // 2601 cubes, 20808 points, 15606 quads
  constexpr Int32 cubes = side * side;
  PolygonObject* op = PolygonObject::Alloc(8 * cubes, 6 * cubes);
  for (Int32 i = 0; i < cubes; ++i) {
    PutMixedCube(op, 8 * i, 6 * i, 1.0, Vector(1000.0 * (i % side), 0.0, 1000.0 * (i / side)));
    for (Int32 k = 0; i % 3 == 0 && k < 6; ++k) {  // every third cube starts turned inside out
      std::swap(op->GetPolygonW()[6 * i + k].b, op->GetPolygonW()[6 * i + k].d);
    }
  }
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(Align(op));
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(Consistent(*op));
  for (Int32 i = 0; i < cubes; ++i) {
    ASSERT_NEAR(SignedVolume(*op, 6 * i, 6), 8.0, 1e-6) << "cube " << i;
  }
  // Generous for sanitizer builds; a pass that is quadratic in the polygons takes seconds.
  EXPECT_LT(elapsed.count(), 1000.0);
  std::printf("aligned %d cubes in %.2f ms\n", cubes, elapsed.count());
  FreeMesh(op);
}

TEST(Modeling, AnOpenPatchFollowsItsFirstPolygon) {
  // A 2 x 2 grid of quads over points (i, 0, k) at index 3k + i; the last quad is walked
  // the other way from the rest.
  PolygonObject* op = PolygonObject::Alloc(9, 4);
  for (Int32 n = 0; n < 9; ++n) {
    op->GetPointW()[n] = Vector(n % 3, 0, n / 3);
  }
  op->GetPolygonW()[0] = CPolygon(0, 3, 4, 1);
  op->GetPolygonW()[1] = CPolygon(1, 4, 5, 2);
  op->GetPolygonW()[2] = CPolygon(3, 6, 7, 4);
  op->GetPolygonW()[3] = CPolygon(4, 5, 8, 7);
  ASSERT_TRUE(Align(op));
  EXPECT_TRUE(Consistent(*op));
  EXPECT_EQ(op->GetPolygonR()[3], CPolygon(4, 7, 8, 5));
  for (Int32 i = 0; i < 4; ++i) {  // no volume to go by: the first polygon's side wins
    EXPECT_EQ(CalcFaceNormal(op->GetPointR(), op->GetPolygonR()[i]), Vector(0, 1, 0)) << i;
  }
  FreeMesh(op);
}

TEST(Modeling, TriangleCoordinatesStayTriangles) {
  PolygonObject* op = PolygonObject::Alloc(4, 2);
  op->GetPointW()[1] = Vector(0, 0, 1);
  op->GetPointW()[2] = Vector(1, 0, 1);
  op->GetPointW()[3] = Vector(1, 0, 0);
  op->GetPolygonW()[0] = CPolygon(0, 1, 2);
  op->GetPolygonW()[1] = CPolygon(0, 3, 2);  // walks 2 -> 0 as polygon 0 does
  auto* uvw = static_cast<UVWTag*>(op->MakeVariableTag(Tuvw, 2));
  uvw->Set(1, UVWStruct{{1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {3, 0, 0}});
  ASSERT_TRUE(Align(op));
  EXPECT_EQ(op->GetPolygonR()[1], CPolygon(0, 2, 3));
  const UVWStruct t = uvw->Get(1);
  EXPECT_EQ(std::vector<Float>({t.a.x, t.b.x, t.c.x, t.d.x}), std::vector<Float>({1, 3, 2, 2}));
  FreeMesh(op);
}

TEST(Modeling, NonManifoldAndBrokenInputDoNotHang) {
  // Four triangles around the edge 0-1 and a polygon collapsed to one point.
  PolygonObject* op = PolygonObject::Alloc(6, 5);
  const Vector pts[] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 0, -1}};
  std::copy(std::begin(pts), std::end(pts), op->GetPointW());
  const CPolygon polys[] = {{0, 1, 2}, {0, 1, 3}, {1, 0, 4}, {0, 1, 5}, {2, 2, 2, 2}};
  std::copy(std::begin(polys), std::end(polys), op->GetPolygonW());
  EXPECT_TRUE(Align(op));
  EXPECT_TRUE(op->IsValid());
  EXPECT_EQ(op->GetPolygonR()[0], CPolygon(0, 1, 2));  // the seed keeps its walk

  op->GetPolygonW()[4] = CPolygon(0, 1, 99);  // bad index
  EXPECT_FALSE(Align(op));
  BaseObject* null = BaseObject::Alloc(Onull);
  EXPECT_FALSE(Align(null));
  EXPECT_FALSE(Align(nullptr));
  ModelingCommandData data;
  data.op = op;
  EXPECT_FALSE(SendModelingCommand(12345, data));
  BaseObject::Free(null);
  FreeMesh(op);
}

}  // namespace
