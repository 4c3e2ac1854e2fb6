#include <gtest/gtest.h>

#include <chrono>

#include "host/core/container.h"
#include "host/core/faults.h"
#include "host/core/gradient.h"

namespace {

TEST(BaseContainer, GettersReturnTheDefaultOnlyForMissingIds) {
  BaseContainer bc;
  EXPECT_EQ(bc.GetInt32(1, 7), 7);
  EXPECT_EQ(bc.GetFloat(1, 2.5), 2.5);
  EXPECT_EQ(bc.GetString(1, String("d")).GetStd(), "d");
  EXPECT_EQ(bc.GetVector(1, Vector(1, 2, 3)), Vector(1, 2, 3));
  EXPECT_TRUE(bc.GetData(1).IsNil());

  bc.SetInt32(1, 0);
  EXPECT_EQ(bc.GetInt32(1, 7), 0);
  // A present value of another kind reads as the zero value, not the default.
  bc.SetString(2, String("text"));
  EXPECT_EQ(bc.GetFloat(2, 9.0), 0.0);
  EXPECT_EQ(bc.GetVector(2, Vector(1, 1, 1)), Vector());
}

TEST(BaseContainer, NumbersConvertBetweenKindsAndSaturate) {
  BaseContainer bc;
  bc.SetBool(1, true);
  bc.SetFloat(2, 2.75);
  bc.SetFloat(3, 1e300);
  bc.SetFloat(4, std::numeric_limits<double>::quiet_NaN());
  bc.SetInt32(5, -4);
  EXPECT_EQ(bc.GetInt32(1), 1);
  EXPECT_TRUE(bc.GetBool(1));
  EXPECT_EQ(bc.GetInt32(2), 2);
  EXPECT_EQ(bc.GetInt32(3), LIMIT_MAX_INT32);
  EXPECT_EQ(bc.GetInt32(4), 0);
  EXPECT_EQ(bc.GetFloat(5), -4.0);
}

TEST(BaseContainer, KeepsInsertionOrderAndReplacesInPlace) {
  BaseContainer bc;
  bc.SetInt32(30, 1);
  bc.SetInt32(10, 2);
  bc.SetInt32(20, 3);
  bc.SetFloat(10, 4.0);  // replaced where it stands
  ASSERT_EQ(bc.GetCount(), 3);
  EXPECT_EQ(bc.GetIndexId(0), 30);
  EXPECT_EQ(bc.GetIndexId(1), 10);
  EXPECT_EQ(bc.GetIndexId(2), 20);
  EXPECT_EQ(bc.GetIndexData(1)->GetFloat(), 4.0);
  EXPECT_EQ(bc.GetIndexId(3), NOTOK);
  EXPECT_EQ(bc.GetIndexData(-1), nullptr);

  EXPECT_TRUE(bc.RemoveData(30));
  EXPECT_FALSE(bc.RemoveData(30));
  EXPECT_EQ(bc.GetIndexId(0), 10);
}

TEST(BaseContainer, CopiesAreDeepForSubContainersAndCustomData) {
  BaseContainer inner;
  inner.SetString(1, String("inner"));
  auto gradient = Gradient::Alloc();
  GradientKnot knot;
  knot.col = Vector(1, 0, 0);
  gradient->InsertKnot(knot);

  BaseContainer outer;
  outer.SetContainer(5, inner);
  outer.SetData(6, GeData(*gradient));

  BaseContainer copy = outer;
  EXPECT_TRUE(copy == outer);
  copy.GetContainerInstance(5)->SetString(1, String("changed"));
  EXPECT_EQ(outer.GetContainer(5).GetString(1).GetStd(), "inner");

  auto* copiedGradient = copy.GetDataPointer(6)->GetCustomData<Gradient>();
  ASSERT_NE(copiedGradient, nullptr);
  copiedGradient->InsertKnot(knot);
  EXPECT_EQ(outer.GetCustomData<Gradient>(6)->GetKnotCount(), 1);
  EXPECT_FALSE(copy == outer);
  EXPECT_EQ(outer.GetCustomDataType(6, CUSTOMDATATYPE_FONT), nullptr);
}

Gradient BlueGreenRed(Int32 interpolation) {
  Gradient g;
  const Vector colours[] = {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}};
  const Float positions[] = {0.0, 0.5, 1.0};
  for (int i = 0; i < 3; ++i) {
    GradientKnot k;
    k.col = colours[i];
    k.pos = positions[i];
    k.interpolation = interpolation;
    g.InsertKnot(k);
  }
  return g;
}

TEST(Gradient, ColourAtKnotsBetweenThemAndOutsideTheRange) {
  const Gradient linear = BlueGreenRed(GRADIENT_INTERPOLATION_LINEAR);
  EXPECT_EQ(linear.GetColorAt(0.0), Vector(0, 0, 1));
  EXPECT_EQ(linear.GetColorAt(0.5), Vector(0, 1, 0));
  EXPECT_EQ(linear.GetColorAt(1.0), Vector(1, 0, 0));
  EXPECT_EQ(linear.GetColorAt(-3.0), Vector(0, 0, 1));
  EXPECT_EQ(linear.GetColorAt(7.0), Vector(1, 0, 0));
  const Vector quarter = linear.GetColorAt(0.25);
  EXPECT_DOUBLE_EQ(quarter.y, 0.5);
  EXPECT_DOUBLE_EQ(quarter.z, 0.5);
  const Vector linearTenth = linear.GetColorAt(0.05);
  EXPECT_NEAR(linearTenth.y, 0.1, 1e-12);

  // Smooth blending is flat near the knots: less change than linear close to a knot.
  const Gradient smooth = BlueGreenRed(GRADIENT_INTERPOLATION_SMOOTH);
  EXPECT_DOUBLE_EQ(smooth.GetColorAt(0.25).y, 0.5);
  EXPECT_LT(smooth.GetColorAt(0.05).y, 0.1);
  EXPECT_EQ(smooth.GetColorAt(std::numeric_limits<double>::quiet_NaN()), Vector(0, 0, 1));
}

TEST(Gradient, KnotsInsertedOutOfOrderAreLookedUpByPosition) {
  Gradient g;
  GradientKnot red;
  red.col = Vector(1, 0, 0);
  red.pos = 1.0;
  red.interpolation = GRADIENT_INTERPOLATION_LINEAR;
  GradientKnot blue = red;
  blue.col = Vector(0, 0, 1);
  blue.pos = 0.0;
  blue.brightness = 0.5;
  EXPECT_EQ(g.InsertKnot(red), 0);
  EXPECT_EQ(g.InsertKnot(blue), 1);
  EXPECT_EQ(g.GetKnot(0).col, Vector(1, 0, 0));  // insertion order kept for indices
  EXPECT_EQ(g.GetColorAt(0.0), Vector(0, 0, 0.5));
  EXPECT_EQ(g.GetColorAt(0.5), Vector(0.5, 0, 0.25));
}

TEST(Gradient, ManyKnotsLoadAndLookUpQuicklyUpToTheCap) {
  const auto start = std::chrono::steady_clock::now();
  Gradient g;
  for (Int32 i = 0; i < GRADIENT_MAX_KNOTS; ++i) {
    GradientKnot knot;
    knot.pos = static_cast<Float>((i * 7919) % GRADIENT_MAX_KNOTS) / GRADIENT_MAX_KNOTS;
    knot.col = Vector(knot.pos, 0, 0);
    knot.interpolation = GRADIENT_INTERPOLATION_LINEAR;
    ASSERT_EQ(g.InsertKnot(knot), i);
  }
  EXPECT_EQ(g.InsertKnot(GradientKnot{}), -1) << "full";
  EXPECT_EQ(g.GetKnotCount(), GRADIENT_MAX_KNOTS);
  GradientRenderData data;
  for (Int32 i = 0; i < 100000; ++i) {
    ASSERT_TRUE(g.PrepareRenderData(InitRenderStruct(), data));
    const Float p = static_cast<Float>(i % 1000) / 1000.0 + 0.00005;
    ASSERT_NEAR(data.CalcGradientPixel(p).x, p, 1e-9);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST(Gradient, RenderDataIsEmptyWithoutKnotsAndCanFail) {
  Gradient empty;
  GradientRenderData data;
  ASSERT_TRUE(empty.PrepareRenderData(InitRenderStruct(), data));
  EXPECT_TRUE(data.IsEmpty());
  EXPECT_EQ(data.CalcGradientPixel(0.5), Vector());

  const Gradient g = BlueGreenRed(GRADIENT_INTERPOLATION_SMOOTH);
  ASSERT_TRUE(g.PrepareRenderData(InitRenderStruct(), data));
  EXPECT_EQ(data.CalcGradientPixel(1.0), Vector(1, 0, 0));

  SetHostFault(HostFault::GRADIENT_RENDER, 1);
  EXPECT_TRUE(g.PrepareRenderData(InitRenderStruct(), data));
  EXPECT_FALSE(g.PrepareRenderData(InitRenderStruct(), data));
  EXPECT_TRUE(data.IsEmpty());
  EXPECT_TRUE(g.PrepareRenderData(InitRenderStruct(), data));
  ClearHostFaults();

  SetHostFault(HostFault::GRADIENT_ALLOC, 0);
  EXPECT_EQ(Gradient::Alloc(), nullptr);
  EXPECT_NE(Gradient::Alloc(), nullptr);
  ClearHostFaults();
}

}  // namespace
