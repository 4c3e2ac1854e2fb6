#include "host/geometry/spline_object.h"
#include "tests/plot/plot_fixture.h"

namespace vantelle {
namespace {

TEST(GridLines, EveryStepthLineAndAlwaysTheLast) {
  std::vector<Int32> expected;
  for (Int32 d = 0; d <= 48; d += 3) {
    expected.push_back(d);
  }
  expected.push_back(50);
  EXPECT_EQ(ChooseGridLines(50, 3), expected);
  EXPECT_EQ(ChooseGridLines(4, 10), (std::vector<Int32>{0, 4}));
  EXPECT_EQ(ChooseGridLines(1, 1), (std::vector<Int32>{0, 1}));
  EXPECT_EQ(ChooseGridLines(4, 2), (std::vector<Int32>{0, 2, 4}));
  EXPECT_EQ(ChooseGridLines(50, 1).size(), 51u);
  // A step below 1 (from a script or an old scene) is taken as 1, never as a loop.
  EXPECT_EQ(ChooseGridLines(3, 0), (std::vector<Int32>{0, 1, 2, 3}));
  EXPECT_EQ(ChooseGridLines(3, -5), (std::vector<Int32>{0, 1, 2, 3}));
  EXPECT_EQ(ChooseGridLines(3, LIMIT_MAX_INT32), (std::vector<Int32>{0, 3}));
}

class Grid : public ComponentFixture<Osurfogrid> {
protected:
  SplineObject* Spline() const { return dynamic_cast<SplineObject*>(grid->GetCache()); }

  BaseObject*& grid = component;
};

TEST_F(Grid, OneCellGivesFourTwoPointLinesRowsFirst) {
  Set(SURFO_RESOLUTION, Int32(1));
  ExecutePasses(doc);
  SplineObject* spline = Spline();
  ASSERT_NE(spline, nullptr);
  EXPECT_EQ(spline->GetSplineType(), SPLINETYPE::CUBIC);
  ASSERT_EQ(spline->GetPointCount(), 8);
  ASSERT_EQ(spline->GetSegmentCount(), 4);
  const Int32 order[] = {0, 1, 2, 3, 0, 2, 1, 3};  // rows (0,1), (2,3), then columns (0,2), (1,3)
  for (Int32 i = 0; i < 8; ++i) {
    EXPECT_EQ(spline->GetPointR()[i], plot->GetSamples()[static_cast<std::size_t>(order[i])].position) << i;
  }
  for (Int32 s = 0; s < 4; ++s) {
    EXPECT_EQ(spline->GetSegmentR()[s].cnt, 2);
    EXPECT_FALSE(spline->GetSegmentR()[s].closed);
  }
  ObjectColorProperties colour;
  grid->GetColorProperties(&colour);
  EXPECT_EQ(colour.color, Vector(0.8, 0.8, 0.8));
  EXPECT_EQ(colour.usecolor, 1);
  grid->SetParameter(DescID(SURFOGRID_COLOR), GeData(Vector(0.1, 0.2, 0.3)));
  ExecutePasses(doc);
  grid->GetColorProperties(&colour);
  EXPECT_EQ(colour.color, Vector(0.1, 0.2, 0.3));
}

TEST_F(Grid, StepChoosesLinesAndBothDirectionsFollowTheSamples) {
  grid->SetParameter(DescID(SURFOGRID_STEP), GeData(Int32(3)));
  ExecutePasses(doc);
  SplineObject* spline = Spline();
  ASSERT_NE(spline, nullptr);
  ASSERT_EQ(spline->GetSegmentCount(), 2 * 18);
  ASSERT_EQ(spline->GetPointCount(), 2 * 18 * 51);
  // Row line 1 is sample row 3, along +Z; column line 1 is sample column 3, along +X.
  EXPECT_EQ(spline->GetPointR()[51], Sample(3, 0).position);
  EXPECT_EQ(spline->GetPointR()[51 + 50], Sample(3, 50).position);
  EXPECT_EQ(spline->GetPointR()[18 * 51 + 51 + 7], Sample(7, 3).position);
  // The last row and column are always drawn.
  EXPECT_EQ(spline->GetPointR()[17 * 51], Sample(50, 0).position);
  EXPECT_EQ(spline->GetPointR()[2 * 18 * 51 - 1], Sample(50, 50).position);

  grid->SetParameter(DescID(SURFOGRID_STEP), GeData(Int32(1)));
  ExecutePasses(doc);
  EXPECT_EQ(Spline()->GetSegmentCount(), 102);
  EXPECT_EQ(Spline()->GetPointCount(), 5202);

  grid->GetDataInstance()->SetInt32(SURFOGRID_STEP, 0);  // a script bypassing the limits
  grid->Message(MSG_UPDATE);
  ExecutePasses(doc);
  EXPECT_EQ(Spline()->GetSegmentCount(), 102);
}

TEST_F(Grid, AnIncompleteGridOrNoPlotGivesAnEmptySpline) {
  Set(SURFO_FORMULA, String("x * z"));
  SetHostFault(HostFault::GRADIENT_RENDER, 100);
  ExecutePasses(doc);
  ASSERT_NE(Spline(), nullptr);
  EXPECT_EQ(Spline()->GetPointCount(), 0);
  EXPECT_EQ(Spline()->GetSplineType(), SPLINETYPE::LINEAR);
  ClearHostFaults();

  grid->Remove();
  doc->InsertObject(grid, nullptr, nullptr);
  grid->Message(MSG_UPDATE);
  ExecutePasses(doc);
  ASSERT_NE(Spline(), nullptr);
  EXPECT_EQ(Spline()->GetPointCount(), 0);
}

TEST_F(Grid, RebuildsOnNewFramesAtTheStartFrameAndWhenThePlotChanges) {
  doc->SetMinTime(BaseTime(0.0, 1.0));
  SetFrame(10);  // away from the start frame
  EXPECT_TRUE(Rebuilt()) << "a first spline";
  EXPECT_TRUE(Rebuilt()) << "first sight of the plot's size and height";
  EXPECT_TRUE(Rebuilt()) << "the update that follows a size change";
  EXPECT_FALSE(Rebuilt()) << "nothing changed: the spline is kept";

  SetFrame(11);
  EXPECT_TRUE(Rebuilt());
  EXPECT_FALSE(Rebuilt());

  // A size change: rebuilt at once, and once more after the grid's own update.
  Set(SURFO_SIZE, 100.0);
  const UInt32 dirty = grid->GetDirty(DIRTYFLAGS::DATA);
  EXPECT_TRUE(Rebuilt());
  EXPECT_DOUBLE_EQ(Spline()->GetPointR()[0].x, -50.0);
  const UInt32 afterCheck = grid->GetDirty(DIRTYFLAGS::DATA);
  EXPECT_NE(afterCheck, dirty);
  EXPECT_TRUE(Rebuilt());
  EXPECT_NE(grid->GetDirty(DIRTYFLAGS::DATA), afterCheck) << "the next pass sends its update";
  EXPECT_FALSE(Rebuilt());

  // A formula change moves the samples; the lines follow even away from the start frame.
  Set(SURFO_FORMULA, String("x / 180"));
  EXPECT_TRUE(Rebuilt());
  EXPECT_DOUBLE_EQ(Spline()->GetPointR()[0].y, Sample(0, 0).position.y);
  EXPECT_FALSE(Rebuilt());

  // At the start frame the grid is rebuilt in every pass.
  SetFrame(0);
  EXPECT_TRUE(Rebuilt());
  EXPECT_TRUE(Rebuilt());
}

TEST_F(Grid, SwitchedOffMeansAllParametersDisabled) {
  EXPECT_TRUE(grid->GetEnabling(DescID(SURFOGRID_STEP)));
  grid->SetDeformMode(false);
  EXPECT_FALSE(grid->GetEnabling(DescID(SURFOGRID_STEP)));
  EXPECT_FALSE(grid->GetEnabling(DescID(SURFOGRID_COLOR)));
}

}  // namespace
}  // namespace vantelle
