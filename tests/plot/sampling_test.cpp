#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "tests/plot/plot_fixture.h"

namespace vantelle {
namespace {

using Sampling = PlotFixture;

TEST_F(Sampling, PositionsSpanTheSizeForOddAndEvenPointCounts) {
  EXPECT_EQ(Evaluate(), 2601);
  ASSERT_EQ(Count(), 2601u);
  for (Int32 i = 0; i <= 50; ++i) {
    EXPECT_DOUBLE_EQ(Sample(i, 0).position.x, -100.0 + 4.0 * i);
    EXPECT_DOUBLE_EQ(Sample(0, i).position.z, -100.0 + 4.0 * i);
  }

  Set(SURFO_RESOLUTION, Int32(51));
  Set(SURFO_SIZE, 204.0);
  Evaluate();
  ASSERT_EQ(Count(), 52u * 52u);
  for (Int32 i = 0; i <= 51; ++i) {
    EXPECT_DOUBLE_EQ(Sample(i, 3).position.x, -102.0 + 4.0 * i);
    EXPECT_DOUBLE_EQ(Sample(3, i).position.z, -102.0 + 4.0 * i);
  }
}

TEST_F(Sampling, RowsRunAlongXAndColumnsAlongZWithTheirInputs) {
  Set(SURFO_RESOLUTION, Int32(4));
  Set(SURFO_HEIGHTMODE, SURFO_HEIGHTMODE_FREE);
  Set(SURFO_HEIGHT, 2.0);  // b = 1: y is the formula's value
  Set(SURFO_FORMULA, String("x * 1000 + z"));
  Evaluate();
  ASSERT_EQ(Count(), 25u);
  // Inputs step by 90 from -180; z uses the X range unless its own is switched on.
  EXPECT_DOUBLE_EQ(Sample(0, 0).position.y, -180.0 * 1000 - 180.0);
  EXPECT_DOUBLE_EQ(Sample(0, 1).position.y, -180.0 * 1000 - 90.0);
  EXPECT_DOUBLE_EQ(Sample(1, 0).position.y, -90.0 * 1000 - 180.0);
  EXPECT_DOUBLE_EQ(plot->GetSamples()[5].position.y, -90.0 * 1000 - 180.0);
  EXPECT_DOUBLE_EQ(Sample(0, 1).position.x, Sample(0, 0).position.x);
  EXPECT_DOUBLE_EQ(Sample(0, 1).position.z - Sample(0, 0).position.z, 50.0);

  Set(SURFO_USEZRANGE, true);
  Set(SURFO_ZMIN, 0.0);
  Set(SURFO_ZMAX, 4.0);
  Evaluate();
  EXPECT_DOUBLE_EQ(Sample(2, 0).position.y, 0.0);
  EXPECT_DOUBLE_EQ(Sample(2, 3).position.y, 3.0);
  EXPECT_DOUBLE_EQ(plot->GetMinValue(), -180.0 * 1000);
  EXPECT_DOUBLE_EQ(plot->GetMaxValue(), 180.0 * 1000 + 4.0);
}

TEST_F(Sampling, HeightModesOnConstants) {
  struct Case {
    const char* formula;
    Int32 mode;
    Float y;
  };
  for (const Case& c : {Case{"2", SURFO_HEIGHTMODE_FIT, 25.0}, Case{"2", SURFO_HEIGHTMODE_CLIP, 25.0},
                        Case{"2", SURFO_HEIGHTMODE_FREE, 50.0}, Case{"-2", SURFO_HEIGHTMODE_FIT, -25.0},
                        Case{"-2", SURFO_HEIGHTMODE_CLIP, -25.0}, Case{"0.5", SURFO_HEIGHTMODE_FIT, 12.5}}) {
    Set(SURFO_FORMULA, String(c.formula));
    Set(SURFO_HEIGHTMODE, c.mode);
    Evaluate();
    ASSERT_EQ(Count(), 2601u);
    const Float v = std::atof(c.formula);
    EXPECT_DOUBLE_EQ(plot->GetMinValue(), v) << c.formula << " mode " << c.mode;
    EXPECT_DOUBLE_EQ(plot->GetMaxValue(), v) << c.formula << " mode " << c.mode;
    for (const PlotSample& s : plot->GetSamples()) {
      ASSERT_DOUBLE_EQ(s.position.y, c.y) << c.formula << " mode " << c.mode;
    }
  }
}

TEST_F(Sampling, ScaleFactorsApplyBySignAfterClipping) {
  Set(SURFO_RESOLUTION, Int32(4));
  Set(SURFO_HEIGHTMODE, SURFO_HEIGHTMODE_CLIP);
  Set(SURFO_SCALEPOS, 2.0);
  Set(SURFO_SCALENEG, 0.5);
  Set(SURFO_FORMULA, String("x / 90"));  // -2, -1, 0, 1, 2 along rows
  Evaluate();
  EXPECT_DOUBLE_EQ(Sample(0, 0).position.y, -12.5);
  EXPECT_DOUBLE_EQ(Sample(1, 0).position.y, -12.5);
  EXPECT_DOUBLE_EQ(Sample(3, 0).position.y, 50.0);
  EXPECT_DOUBLE_EQ(Sample(4, 0).position.y, 50.0);
  EXPECT_DOUBLE_EQ(plot->GetMinValue(), -2.0);  // extremes are taken before clipping
}

TEST_F(Sampling, HeightAndSizeChangesRescaleWithoutEvaluating) {
  Set(SURFO_HEIGHTMODE, SURFO_HEIGHTMODE_FREE);
  Evaluate();
  const PlotSample before = Sample(7, 9);
  const Int64 redraws = GetEventAddCount();

  Set(SURFO_HEIGHT, 100.0);
  EXPECT_EQ(Evaluate(), 0);
  EXPECT_DOUBLE_EQ(Sample(7, 9).position.y, 2.0 * before.position.y);
  EXPECT_GT(GetEventAddCount(), redraws);

  Set(SURFO_SIZE, 50.0);
  EXPECT_EQ(Evaluate(), 0);
  EXPECT_DOUBLE_EQ(Sample(7, 9).position.x, before.position.x / 4.0);
  EXPECT_DOUBLE_EQ(Sample(7, 9).position.z, before.position.z / 4.0);
  EXPECT_DOUBLE_EQ(Sample(7, 9).position.y, 2.0 * before.position.y);

  // From 0 nothing can be rescaled: the grid is computed afresh.
  Set(SURFO_HEIGHT, 0.0);
  EXPECT_EQ(Evaluate(), 0);
  Set(SURFO_HEIGHT, 100.0);
  EXPECT_EQ(Evaluate(), 2601);
  EXPECT_DOUBLE_EQ(Sample(7, 9).position.y, 2.0 * before.position.y);
}

TEST_F(Sampling, AChangeFromANegativeHeightOrSizeRecomputesInsteadOfStayingStale) {
  Set(SURFO_HEIGHTMODE, SURFO_HEIGHTMODE_FREE);
  Evaluate();
  const PlotSample fresh = Sample(7, 9);
  // A saved scene or script may hold negative values the attribute editor never allows.
  bc->SetFloat(SURFO_HEIGHT, -10.0);
  bc->SetFloat(SURFO_SIZE, -20.0);
  Evaluate();
  bc->SetFloat(SURFO_HEIGHT, 50.0);
  bc->SetFloat(SURFO_SIZE, 200.0);
  EXPECT_EQ(Evaluate(), 2601);
  EXPECT_DOUBLE_EQ(Sample(7, 9).position.y, fresh.position.y);
  EXPECT_DOUBLE_EQ(Sample(7, 9).position.x, fresh.position.x);
}

TEST_F(Sampling, ValueParametersRecomputeAndUnchangedPassesDoNothing) {
  EXPECT_EQ(Evaluate(), 2601);
  EXPECT_EQ(Evaluate(), 0);
  // Each value the samples were computed with, changed alone.
  const std::pair<Int32, GeData> changes[] = {
      {SURFO_FORMULA, GeData(String("x * z"))}, {SURFO_SCALEPOS, GeData(1.5)},  {SURFO_SCALENEG, GeData(0.5)},
      {SURFO_XMAX, GeData(90.0)},               {SURFO_XMIN, GeData(-90.0)},    {SURFO_ZMAX, GeData(90.0)},
      {SURFO_ZMIN, GeData(-90.0)},              {SURFO_USEZRANGE, GeData(true)}, {SURFO_HEIGHTMODE, GeData(Int32(2))},
      {SURFO_RESOLUTION, GeData(Int32(10))},
  };
  for (const auto& [id, value] : changes) {
    Set(id, value);
    EXPECT_EQ(Evaluate(), id == SURFO_RESOLUTION ? 121 : 2601) << id;
    EXPECT_EQ(Evaluate(), 0) << id;
  }
  Set(SURFO_POINTSIZE, 3.0);  // drawing only
  EXPECT_EQ(Evaluate(), 0);
}

TEST_F(Sampling, FrameChangesRecomputeOnlyAnimatedTimeFormulas) {
  Evaluate();
  SetFrame(5);
  EXPECT_EQ(Evaluate(), 0) << "no time in the formula";

  Set(SURFO_FORMULA, String("Sin(x + t * 90) * Cos(z)"));
  EXPECT_EQ(Evaluate(), 2601);
  EXPECT_TRUE(plot->UsesTime());
  SetFrame(6);
  EXPECT_EQ(Evaluate(), 2601);
  doc->SetTime(BaseTime(6.5, 30.0));  // same frame, later time
  EXPECT_EQ(Evaluate(), 0);

  Set(SURFO_ANIMATE, false);
  SetFrame(7);
  EXPECT_EQ(Evaluate(), 0);
  Set(SURFO_ANIMATE, true);
  Set(SURFO_FORMULA, String("x * x * z"));
  Evaluate();
  SetFrame(8);
  EXPECT_EQ(Evaluate(), 0);
}

TEST_F(Sampling, TimeAndFrameReachTheFormula) {
  Set(SURFO_RESOLUTION, Int32(2));
  Set(SURFO_HEIGHTMODE, SURFO_HEIGHTMODE_FREE);
  Set(SURFO_HEIGHT, 2.0);
  Set(SURFO_FORMULA, String("t * 1000 + f"));
  // Frame 15 at 30 frames per second, written as two equal fractions.
  for (const BaseTime& time : {BaseTime(15.0, 30.0), BaseTime(1.0, 2.0)}) {
    SetFrame(0);
    Evaluate();
    doc->SetTime(time);
    EXPECT_EQ(Evaluate(), 9);
    for (const PlotSample& s : plot->GetSamples()) {
      ASSERT_DOUBLE_EQ(s.position.y, 515.0);
    }
  }
}

TEST_F(Sampling, ColourChangesRecolourWithoutEvaluating) {
  Evaluate();
  // Gradient by height: the middle of the range is green, the extremes blue and red.
  Set(SURFO_FORMULA, String("x / 180"));
  Set(SURFO_HEIGHTMODE, SURFO_HEIGHTMODE_FREE);
  Evaluate();
  EXPECT_EQ(Sample(0, 0).colour, Vector(0, 0, 1));
  EXPECT_EQ(Sample(25, 0).colour, Vector(0, 1, 0));
  EXPECT_EQ(Sample(50, 0).colour, Vector(1, 0, 0));

  Set(SURFO_COLOR, Vector(0.2, 0.4, 0.6));
  Set(SURFO_COLORMODE, SURFO_COLORMODE_SINGLE);
  EXPECT_EQ(Evaluate(), 0);
  for (const PlotSample& s : plot->GetSamples()) {
    ASSERT_EQ(s.colour, Vector(0.2, 0.4, 0.6));
  }
  Set(SURFO_COLORMODE, Int32(7));  // unknown modes are white, whichever way they are reached
  EXPECT_EQ(Sample(3, 3).colour, Vector(1, 1, 1));
  Set(SURFO_COLORMODE, SURFO_COLORMODE_GRADIENT);
  Set(SURFO_GRADIENTABS, true);
  EXPECT_EQ(Evaluate(), 0);
  EXPECT_EQ(Sample(0, 0).colour, Vector(1, 0, 0));  // |y| / b = 1
  EXPECT_EQ(Sample(25, 0).colour, Vector(0, 0, 1));
  // Recolouring agrees with computing afresh.
  const Vector recoloured = Sample(12, 30).colour;
  bc->SetString(SURFO_FORMULA, String("x / 180 + 0"));
  Evaluate();
  EXPECT_EQ(Sample(12, 30).colour, recoloured);

  // A new gradient recolours too: all magenta.
  std::unique_ptr<Gradient> magenta = Gradient::Alloc();
  magenta->InsertKnot(GradientKnot{Vector(1, 0, 1)});
  const UInt32 dirty = op->GetDirty(DIRTYFLAGS::DATA);
  Set(SURFO_GRADIENT, GeData(*magenta));
  EXPECT_EQ(Evaluate(), 0);
  EXPECT_EQ(Sample(12, 30).colour, Vector(1, 0, 1));
  EXPECT_NE(op->GetDirty(DIRTYFLAGS::DATA), dirty);
}

TEST_F(Sampling, UnderFitColoursFollowTheFittedHeightsAsRecolouringDoes) {
  // Preset 6 is a cone up to 254: fitted into the box it spans the whole gradient.
  Set(SURFO_FORMULA, String("Pow((x * x) + (z * z); 0.5)"));
  Evaluate();
  std::size_t saturated = 0;
  for (const PlotSample& s : plot->GetSamples()) {
    saturated += (s.colour == Vector(1, 0, 0) || s.colour == Vector(0, 0, 1)) ? 1 : 0;
  }
  EXPECT_LE(saturated, Count() / 10);
  EXPECT_EQ(Sample(25, 25).colour, Vector(0, 1, 0)) << "the tip at height 0 is the middle of the gradient";
  EXPECT_EQ(Sample(0, 0).colour, Vector(1, 0, 0)) << "the fitted corner at +b is the top";

  std::vector<Vector> computed;
  for (const PlotSample& s : plot->GetSamples()) {
    computed.push_back(s.colour);
  }
  Set(SURFO_GRADIENTABS, true);
  Set(SURFO_GRADIENTABS, false);
  for (std::size_t i = 0; i < Count(); ++i) {
    ASSERT_EQ(plot->GetSamples()[i].colour, computed[i]) << i;
  }
}

TEST_F(Sampling, AMalformedFormulaHasNoValueAnywhereAndSaysWhy) {
  Set(SURFO_RESOLUTION, Int32(4));
  // Pasted in, "x z" reads as a subtraction wherever z is negative.
  for (const char* typo : {"x z", "2 x", "t x"}) {
    Set(SURFO_FORMULA, String(typo));
    EXPECT_EQ(Evaluate(), 0) << typo;
    ASSERT_EQ(Count(), 25u);
    for (const PlotSample& s : plot->GetSamples()) {
      ASSERT_EQ(s.position.y, 0.0) << typo;
    }
    ASSERT_TRUE(plot->GetFormulaError().has_value()) << typo;
    EXPECT_EQ(plot->GetFormulaError()->column, 3) << typo;
    EXPECT_EQ(plot->GetUndefinedSampleCount(), 25) << typo;
  }
  EXPECT_TRUE(plot->UsesTime()) << "the t of \"t x\" still asks for every frame";
  Set(SURFO_FORMULA, String("Log(x)"));
  EXPECT_EQ(Evaluate(), 25);
  EXPECT_FALSE(plot->GetFormulaError().has_value());
  EXPECT_EQ(plot->GetUndefinedSampleCount(), 15) << "x <= 0 on three of five rows";
}

TEST_F(Sampling, DefaultPlotValueRangeAndEmptyFormula) {
  Set(SURFO_RESOLUTION, Int32(4));  // inputs -180, -90, 0, 90, 180: Sin reaches +-1
  Evaluate();
  EXPECT_DOUBLE_EQ(plot->GetMinValue(), -1.0);
  EXPECT_DOUBLE_EQ(plot->GetMaxValue(), 1.0);

  Set(SURFO_FORMULA, String(""));
  EXPECT_EQ(Evaluate(), 0);
  ASSERT_EQ(Count(), 25u);
  for (const PlotSample& s : plot->GetSamples()) {
    ASSERT_EQ(s.position.y, 0.0);
    ASSERT_EQ(s.colour, Vector(0, 1, 0));
  }
  EXPECT_EQ(plot->GetMinValue(), 0.0);
  EXPECT_EQ(plot->GetMaxValue(), 0.0);
}

TEST_F(Sampling, AFormulaWithoutValueCountsAsZero) {
  Set(SURFO_RESOLUTION, Int32(4));
  Set(SURFO_FORMULA, String("Log(x)"));  // no value for x <= 0
  Set(SURFO_HEIGHTMODE, SURFO_HEIGHTMODE_FREE);
  Evaluate();
  EXPECT_EQ(Sample(0, 0).position.y, 0.0);
  EXPECT_EQ(Sample(2, 0).position.y, 0.0);
  EXPECT_DOUBLE_EQ(Sample(4, 0).position.y, 25.0 * std::log(180.0));
}

TEST_F(Sampling, AGradientThatCannotBePreparedLeavesAPartialGrid) {
  ExecutePasses(doc);
  Set(SURFO_FORMULA, String("x * z"));
  SetHostFault(HostFault::GRADIENT_RENDER, 100);
  const UInt32 dirty = op->GetDirty(DIRTYFLAGS::DATA);
  EXPECT_EQ(plot->Execute(op, doc, nullptr, 5000, EXECUTIONFLAGS::NONE), EXECUTIONRESULT::OUTOFMEMORY);
  EXPECT_EQ(Count(), 100u);
  EXPECT_FALSE(plot->GetPlotSamples().IsComplete());
  EXPECT_EQ(plot->GetMinValue(), 0.0);
  EXPECT_EQ(plot->GetMaxValue(), 0.0);
  EXPECT_EQ(op->GetDirty(DIRTYFLAGS::DATA), dirty) << "no update is announced for a partial grid";
  // It stays until a change empties it.
  EXPECT_EQ(plot->Execute(op, doc, nullptr, 5000, EXECUTIONFLAGS::NONE), EXECUTIONRESULT::OK);
  EXPECT_EQ(Count(), 100u);
}

TEST_F(Sampling, ResolutionsBelowOneOrBeyondMemoryHoldNoSamples) {
  Evaluate();
  const UInt32 dirty = op->GetDirty(DIRTYFLAGS::DATA);
  for (Int32 resolution : {0, -1, LIMIT_MIN_INT32, LIMIT_MAX_INT32}) {
    bc->SetInt32(SURFO_RESOLUTION, resolution);
    EXPECT_EQ(Evaluate(), 0) << resolution;
    EXPECT_EQ(Count(), 0u) << resolution;
    EXPECT_EQ(plot->GetMinValue(), 0.0);
  }
  EXPECT_NE(op->GetDirty(DIRTYFLAGS::DATA), dirty) << "losing the samples is announced";
  bc->SetInt32(SURFO_RESOLUTION, 1);
  EXPECT_EQ(Evaluate(), 4);
}

TEST_F(Sampling, ASwitchedOffPlotHoldsNoSamplesAndComputesNothing) {
  Evaluate();
  op->SetDeformMode(false);  // the host reports the switch to the plot
  EXPECT_EQ(Count(), 0u);
  Set(SURFO_FORMULA, String("x"));
  EXPECT_EQ(Evaluate(), 0);
  EXPECT_EQ(Count(), 0u);
  op->SetDeformMode(true);
  EXPECT_EQ(Evaluate(), 2601);
}

TEST_F(Sampling, ACopySamplesAfreshInItsFirstPass) {
  Evaluate();
  BaseObject* copy = op->GetClone();
  doc->InsertObject(copy, nullptr, nullptr);
  EXPECT_EQ(copy->GetNodeData<SurfoObject>()->GetSamples().size(), 2601u);
  EXPECT_EQ(Evaluate(), 2601) << "only the copy computes";
}

TEST_F(Sampling, ThePlotIsAGeneratorOfEmptyNulls) {
  Evaluate();
  BaseObject* first = op->GetCache();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetType(), Onull);
  EXPECT_EQ(first->GetDown(), nullptr);
  const PassStatistics stats = ExecutePasses(doc);
  EXPECT_EQ(stats.cachesBuilt, 1);
  EXPECT_EQ(stats.executed, 1);
}

class LabelSpy : public ObjectData {
public:
  static NodeData* Alloc() { return new LabelSpy(); }
  Bool Message(GeListNode*, Int32 type, void* data) override {
    if (type == MSG_DESCRIPTION_COMMAND && static_cast<DescriptionCommand*>(data)->id[0].id == 50012) {
      ++updates;
    }
    return true;
  }
  Int32 updates = 0;
};

TEST_F(Sampling, AFullComputationAsksTheFirstLabelsBelowToUpdate) {
  RegisterObjectPlugin(Osurfolabel, String("Labels"), 0, LabelSpy::Alloc, String(), nullptr, 0);
  BaseObject* holder = BaseObject::Alloc(Onull);
  holder->InsertUnder(op);
  BaseObject* nested = BaseObject::Alloc(Osurfolabel);
  nested->InsertUnder(holder);
  BaseObject* later = BaseObject::Alloc(Osurfolabel);
  later->InsertUnderLast(op);

  Evaluate();
  EXPECT_EQ(nested->GetNodeData<LabelSpy>()->updates, 1);
  EXPECT_EQ(later->GetNodeData<LabelSpy>()->updates, 0);
  Evaluate();
  Set(SURFO_HEIGHT, 80.0);
  Evaluate();
  EXPECT_EQ(nested->GetNodeData<LabelSpy>()->updates, 1) << "rescaling is not a new computation";
  Set(SURFO_FORMULA, String("x"));
  Evaluate();
  EXPECT_EQ(nested->GetNodeData<LabelSpy>()->updates, 2);
}

TEST(FindComponent, SearchesDepthFirstWithoutLeavingThePlot) {
  BaseDocument* doc = BaseDocument::Alloc();
  // Plots are found by type alone, so nulls serve as plots here and cubes as components.
  auto make = [](Int32 type) { return BaseObject::Alloc(type); };
  BaseObject* plotA = make(Onull);
  BaseObject* plotB = make(Onull);
  doc->InsertObject(plotB, nullptr, nullptr);
  doc->InsertObject(plotA, nullptr, nullptr);
  BaseObject* group = make(Onull);
  group->InsertUnder(plotA);
  BaseObject* deep = make(Ocube);
  deep->InsertUnder(group);
  BaseObject* shallowLater = make(Ocube);
  shallowLater->InsertUnderLast(plotA);
  BaseObject* other = make(Ocube);
  other->InsertUnder(plotB);

  EXPECT_EQ(FindComponent(plotA, Ocube), deep);
  EXPECT_EQ(FindComponent(plotB, Ocube), other);
  EXPECT_EQ(FindComponent(group, Ocube), deep);
  EXPECT_EQ(FindComponent(deep, Ocube), nullptr);
  EXPECT_EQ(FindComponent(plotA, Osphere), nullptr);
  EXPECT_EQ(FindComponent(nullptr, Ocube), nullptr);
  // Without a match under a deep first branch the walk climbs back but stops at the plot.
  BaseObject* sphere = make(Osphere);
  sphere->InsertUnder(plotB);
  EXPECT_EQ(FindComponent(group, Osphere), nullptr);
  BaseDocument::Free(doc);
}

TEST_F(Sampling, ComponentsFindTheirNearestPlot) {
  BaseObject* group = BaseObject::Alloc(Onull);
  group->InsertUnder(op);
  BaseObject* component = BaseObject::Alloc(Ocube);
  component->InsertUnder(group);
  EXPECT_EQ(FindPlotObject(component), op);
  BaseObject* inner = BaseObject::Alloc(Osurfo);
  inner->InsertUnder(group);
  BaseObject* innerComponent = BaseObject::Alloc(Ocube);
  innerComponent->InsertUnder(inner);
  EXPECT_EQ(FindPlotObject(innerComponent), inner);
  EXPECT_EQ(FindPlotObject(op), nullptr);
  EXPECT_EQ(FindPlotObject(nullptr), nullptr);
}

}  // namespace
}  // namespace vantelle
