#include "host/geometry/spline_object.h"
#include "tests/plot/plot_fixture.h"

namespace vantelle {
namespace {

TEST(CageSpline, CountsFollowRingsAndDivisionsAndNegativesMeanNone) {
  for (Int32 r : {0, 1, 3, 4, -2}) {
    for (Int32 d : {0, 1, 3, 4, -2}) {
      SplineObject* cage = BuildCageSpline(100.0, 25.0, r, d);
      ASSERT_NE(cage, nullptr);
      const Int32 rr = std::max(r, 0), dd = std::max(d, 0);
      EXPECT_EQ(cage->GetPointCount(), 16 + 4 * rr + 8 * dd) << r << "," << d;
      ASSERT_EQ(cage->GetSegmentCount(), 6 + rr + 2 * dd) << r << "," << d;
      Int32 total = 0;
      for (Int32 s = 0; s < cage->GetSegmentCount(); ++s) {
        total += cage->GetSegmentR()[s].cnt;
        EXPECT_EQ(cage->GetSegmentR()[s].cnt, s < 2 || s >= 6 ? 4 : 2);
      }
      EXPECT_EQ(total, cage->GetPointCount());
      EXPECT_TRUE(cage->IsClosed());
      EXPECT_EQ(cage->GetSplineType(), SPLINETYPE::LINEAR);
      BaseObject* base = cage;
      BaseObject::Free(base);
    }
  }
}

TEST(CageSpline, EveryLoopRunsRoundItsRectangleInOrder) {
  SplineObject* cage = BuildCageSpline(2.0, 1.0, 1, 1);
  const std::vector<Vector> expected = {
      {-2, 1, -2}, {2, 1, -2}, {2, 1, 2}, {-2, 1, 2},      // top
      {-2, -1, -2}, {2, -1, -2}, {2, -1, 2}, {-2, -1, 2},  // bottom
      {-2, 1, -2}, {-2, -1, -2}, {2, 1, -2}, {2, -1, -2},  // vertical edges, corner by corner
      {2, 1, 2},   {2, -1, 2},   {-2, 1, 2}, {-2, -1, 2},
      {-2, 0, -2}, {2, 0, -2},   {2, 0, 2},  {-2, 0, 2},   // the ring
      {0, 1, -2},  {0, 1, 2},    {0, -1, 2}, {0, -1, -2},  // the loop in x = 0
      {-2, 1, 0},  {2, 1, 0},    {2, -1, 0}, {-2, -1, 0},  // the loop in z = 0
  };
  ASSERT_EQ(cage->GetPointCount(), static_cast<Int32>(expected.size()));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(cage->GetPointR()[i], expected[i]) << i;
  }
  BaseObject* base = cage;
  BaseObject::Free(base);
}

TEST(CageSpline, FrameRingsAndDivisionPlanes) {
  SplineObject* cage = BuildCageSpline(100.0, 25.0, 3, 4);
  const Vector* p = cage->GetPointR();
  // Top rectangle at y = c, corners at +-b; bottom at -c; the first vertical edge.
  EXPECT_EQ(p[0], Vector(-100, 25, -100));
  EXPECT_EQ(p[2], Vector(100, 25, 100));
  EXPECT_EQ(p[5], Vector(100, -25, -100));
  EXPECT_EQ(p[8], Vector(-100, 25, -100));
  EXPECT_EQ(p[9], Vector(-100, -25, -100));
  // Rings at c/2, 0, -c/2.
  EXPECT_DOUBLE_EQ(p[16].y, 12.5);
  EXPECT_DOUBLE_EQ(p[20].y, 0.0);
  EXPECT_DOUBLE_EQ(p[24 + 3].y, -12.5);
  // Four divisions at -0.6b, -0.2b, 0.2b, 0.6b: a loop in x = o, then one in z = o.
  const Float planes[] = {-60.0, -20.0, 20.0, 60.0};
  for (Int32 k = 0; k < 4; ++k) {
    const Int32 first = 28 + 8 * k;
    for (Int32 i = 0; i < 4; ++i) {
      EXPECT_NEAR(p[first + i].x, planes[k], 1e-9) << k;
      EXPECT_NEAR(p[first + 4 + i].z, planes[k], 1e-9) << k;
    }
    EXPECT_EQ(p[first + 1], Vector(p[first].x, 25, 100)) << "across the top first";
  }
  BaseObject* base = cage;
  BaseObject::Free(base);

  cage = BuildCageSpline(100.0, 25.0, 1, 1);
  EXPECT_DOUBLE_EQ(cage->GetPointR()[16].y, 0.0);
  EXPECT_DOUBLE_EQ(cage->GetPointR()[20].x, 0.0);
  EXPECT_DOUBLE_EQ(cage->GetPointR()[24].z, 0.0);
  base = cage;
  BaseObject::Free(base);

  // Counts no description allows cannot overflow into a small spline.
  EXPECT_EQ(BuildCageSpline(1.0, 1.0, LIMIT_MAX_INT32, LIMIT_MAX_INT32), nullptr);
}

class Cage : public ComponentFixture<Osurfocage> {
protected:
  SplineObject* Spline() const { return dynamic_cast<SplineObject*>(cage->GetCache()); }

  BaseObject*& cage = component;
};

TEST_F(Cage, SpansThePlotsSizeAndHeightAndFollowsThemButNotTheFormula) {
  EXPECT_TRUE(Rebuilt());
  ASSERT_NE(Spline(), nullptr);
  EXPECT_EQ(Spline()->GetPointR()[0], Vector(-100, 25, -100));
  EXPECT_TRUE(Rebuilt()) << "first sight of the plot's size and height";
  EXPECT_FALSE(Rebuilt());
  Set(SURFO_FORMULA, String("x * z"));
  EXPECT_FALSE(Rebuilt()) << "the box does not depend on the samples";

  Set(SURFO_HEIGHT, 0.0);
  EXPECT_TRUE(Rebuilt());
  EXPECT_EQ(Spline()->GetPointR()[0].y, 0.0);
  EXPECT_EQ(Spline()->GetPointR()[4].y, 0.0);
  EXPECT_FALSE(Rebuilt());

  cage->SetParameter(DescID(SURFOCAGE_RINGS), GeData(Int32(1)));
  EXPECT_TRUE(Rebuilt());
  EXPECT_EQ(Spline()->GetPointCount(), 20);

  SetFrame(4);
  EXPECT_TRUE(Rebuilt());
  EXPECT_FALSE(Rebuilt());
}

TEST_F(Cage, ASwitchedOffCageHasNothingAndFollowsItsSwitchAtOnce) {
  ExecutePasses(doc);
  ASSERT_EQ(Spline()->GetPointCount(), 16);
  cage->SetDeformMode(false);
  ExecutePasses(doc);
  EXPECT_EQ(cage->GetCache(), nullptr) << "switched off: no cache at all";
  EXPECT_FALSE(cage->GetEnabling(DescID(SURFOCAGE_RINGS)));
  cage->SetDeformMode(true);
  ExecutePasses(doc);  // the same frame: only the switch changed
  ASSERT_NE(Spline(), nullptr);
  EXPECT_EQ(Spline()->GetPointCount(), 16);

  // One created switched off and switched on later shows its box in the next pass.
  BaseObject* late = BaseObject::Alloc(Osurfocage);
  late->SetDeformMode(false);
  late->InsertUnder(op);
  ExecutePasses(doc);
  EXPECT_EQ(late->GetCache(), nullptr);
  late->SetDeformMode(true);
  ExecutePasses(doc);
  ASSERT_NE(late->GetCache(), nullptr);
  EXPECT_EQ(dynamic_cast<SplineObject*>(late->GetCache())->GetPointCount(), 16);
}

TEST_F(Cage, WithoutAPlotTheCageIsAnEmptySplineInItsColour) {
  cage->Remove();
  doc->InsertObject(cage, nullptr, nullptr);
  cage->Message(MSG_UPDATE);
  ExecutePasses(doc);
  EXPECT_EQ(Spline()->GetPointCount(), 0);
  ObjectColorProperties colour;
  cage->GetColorProperties(&colour);
  EXPECT_EQ(colour.color, Vector(0.8, 0.8, 0.8));
  cage->SetParameter(DescID(SURFOCAGE_COLOR), GeData(Vector(0.1, 0.2, 0.3)));
  ExecutePasses(doc);
  cage->GetColorProperties(&colour);
  EXPECT_EQ(colour.color, Vector(0.1, 0.2, 0.3));
  EXPECT_EQ(colour.usecolor, 1);
}

}  // namespace
}  // namespace vantelle
