#include <gtest/gtest.h>

#include <cmath>

#include "host/core/faults.h"
#include "host/geometry/polygon_object.h"

namespace {

TEST(PolygonObject, AllocAndResizeKeepDataAndRefuseNegativeCounts) {
  EXPECT_EQ(PolygonObject::Alloc(-1, 0), nullptr);
  EXPECT_EQ(PolygonObject::Alloc(0, -1), nullptr);
  SetHostFault(HostFault::OBJECT_ALLOC, 0);
  EXPECT_EQ(PolygonObject::Alloc(3, 1), nullptr);
  ClearHostFaults();

  PolygonObject* op = PolygonObject::Alloc(2, 1);
  ASSERT_NE(op, nullptr);
  EXPECT_EQ(op->GetPolygonR()[0], CPolygon(0, 0, 0, 0));
  op->GetPointW()[1] = Vector(5, 6, 7);
  op->GetPolygonW()[0] = CPolygon(1, 0, 1, 0);
  ASSERT_TRUE(op->ResizeObject(10, 3));
  EXPECT_EQ(op->GetPointR()[1], Vector(5, 6, 7));
  EXPECT_EQ(op->GetPointR()[9], Vector());
  EXPECT_EQ(op->GetPolygonR()[0], CPolygon(1, 0, 1, 0));
  EXPECT_FALSE(op->ResizeObject(-1, 3));
  EXPECT_FALSE(op->ResizeObject(3, -1));
  EXPECT_EQ(op->GetPointCount(), 10);  // a refused resize changes nothing
  EXPECT_EQ(op->GetPolygonCount(), 3);
  BaseObject* base = op;
  BaseObject::Free(base);

  // The built-in type through the general allocator is an empty polygon object.
  BaseObject* plain = BaseObject::Alloc(Opolygon);
  ASSERT_NE(dynamic_cast<PolygonObject*>(plain), nullptr);
  EXPECT_EQ(static_cast<PolygonObject*>(plain)->GetPointCount(), 0);
  BaseObject::Free(plain);
}

TEST(PolygonObject, IsValidChecksEveryCorner) {
  PolygonObject* op = PolygonObject::Alloc(4, 1);
  for (Int32 corner = 0; corner < 4; ++corner) {
    for (Int32 bad : {4, -1}) {
      CPolygon p(0, 1, 2, 3);
      (corner == 0 ? p.a : corner == 1 ? p.b : corner == 2 ? p.c : p.d) = bad;
      op->GetPolygonW()[0] = p;
      EXPECT_FALSE(op->IsValid()) << "corner " << corner << " index " << bad;
    }
  }
  op->GetPolygonW()[0] = CPolygon(0, 1, 3);
  EXPECT_TRUE(op->IsValid());
  ASSERT_TRUE(op->ResizeObject(3, 1));  // point 3 is gone
  EXPECT_FALSE(op->IsValid());
  BaseObject* base = op;
  BaseObject::Free(base);
}

TEST(PolygonObject, FaceNormalFollowsTheWinding) {
  // The unit square at y = 0 walked a (0,0,0), b (0,0,1), c (1,0,1), d (1,0,0):
  // (b - a) x (c - a) = (0,0,1) x (1,0,1) = (0,1,0); (c - a) x (d - b) = (0,2,0).
  const Vector square[] = {{0, 0, 0}, {0, 0, 1}, {1, 0, 1}, {1, 0, 0}};
  EXPECT_EQ(CalcFaceNormal(square, CPolygon(0, 1, 2, 3)), Vector(0, 1, 0));
  EXPECT_EQ(CalcFaceNormal(square, CPolygon(0, 3, 2, 1)), Vector(0, -1, 0));
  EXPECT_EQ(CalcFaceNormal(square, CPolygon(0, 1, 2)), Vector(0, 1, 0));
  EXPECT_EQ(CalcFaceNormal(square, CPolygon(0, 0, 0)), Vector());

  // A bent quad takes the diagonals' direction, not its first triangle's (+Y).
  const Vector bent[] = {{0, 0, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 0}};
  const Vector n = CalcFaceNormal(bent, CPolygon(0, 1, 2, 3));
  EXPECT_NEAR((n - Vector(-1, 2, 1) / std::sqrt(6.0)).GetLength(), 0.0, 1e-15);
}

}  // namespace
