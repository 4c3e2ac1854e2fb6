#include <gtest/gtest.h>

#include "common/type_ids.h"
#include "host/core/faults.h"
#include "host/files/description.h"
#include "host/scene/document.h"
#include "host/scene/registry.h"
#include "plot/surfo_object.h"

namespace vantelle {

// Stages the sampling state that Execute would normally leave behind.
class SurfoObjectTestAccess {
public:
  static PlotSamples& Plot(SurfoObject& o) { return o.plot_; }
  static SamplingSnapshot& Sampled(SurfoObject& o) { return o.sampled_; }
  static Float& PreviousSize(SurfoObject& o) { return o.previousSize_; }
  static Float& PreviousHalfHeight(SurfoObject& o) { return o.previousHalfHeight_; }
  static Int32& LastFrame(SurfoObject& o) { return o.lastFrame_; }
};

namespace {

using Access = SurfoObjectTestAccess;

class PlotObject : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    AddModuleResourceFolder(Filename(VANTELLE_SOURCE_DIR "/res"));
    ASSERT_TRUE(RegisterObjectPlugin(Osurfo, String("Plot"), 0x8104, SurfoObject::Alloc, String("osurfo"), nullptr, 0));
  }
  static void TearDownTestSuite() {
    FreeObjectPlugins();
    ForgetModuleResourceFolders();
  }
  void SetUp() override {
    op = BaseObject::Alloc(Osurfo);
    ASSERT_NE(op, nullptr);
    plot = op->GetNodeData<SurfoObject>();
    bc = op->GetDataInstance();
  }
  void TearDown() override {
    BaseObject::Free(op);
    ClearHostFaults();
  }

  BaseObject* op = nullptr;
  SurfoObject* plot = nullptr;
  BaseContainer* bc = nullptr;
};

TEST_F(PlotObject, ANewPlotHoldsTheDefaultsWithTheHeightDoubledInTheContainer) {
  EXPECT_EQ(bc->GetString(SURFO_FORMULA).GetStd(), "Sin(x) * Cos(z)");
  EXPECT_EQ(bc->GetInt32(SURFO_PRESET, -1), 0);
  EXPECT_EQ(bc->GetInt32(SURFO_RESOLUTION), 50);
  EXPECT_EQ(bc->GetFloat(SURFO_SIZE), 200.0);
  EXPECT_EQ(bc->GetFloat(SURFO_HEIGHT), 50.0);
  EXPECT_EQ(plot->GetParameters().halfHeight, 25.0);
  EXPECT_EQ(bc->GetFloat(SURFO_XMIN), -180.0);
  EXPECT_EQ(bc->GetFloat(SURFO_ZMAX), 180.0);
  EXPECT_EQ(bc->GetInt32(SURFO_HEIGHTMODE), SURFO_HEIGHTMODE_FIT);
  EXPECT_TRUE(bc->GetBool(SURFO_ANIMATE));
  EXPECT_EQ(plot->GetLastFrame(), LIMIT_MIN_INT32);
  EXPECT_TRUE(plot->GetSamples().empty());

  const Gradient* gradient = bc->GetCustomData<Gradient>(SURFO_GRADIENT);
  ASSERT_NE(gradient, nullptr);
  ASSERT_EQ(gradient->GetKnotCount(), 3);
  EXPECT_EQ(gradient->GetData(GRADIENT_MODE).GetInt32(), 0);
  const Vector colours[] = {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}};
  const Float positions[] = {0.0, 0.5, 1.0};
  for (Int32 i = 0; i < 3; ++i) {
    const GradientKnot knot = gradient->GetKnot(i);
    EXPECT_EQ(knot.col, colours[i]);
    EXPECT_EQ(knot.pos, positions[i]);
    EXPECT_EQ(knot.brightness, 1.0);
    EXPECT_EQ(knot.bias, 0.5);
    EXPECT_EQ(knot.interpolation, 2);
  }
}

TEST_F(PlotObject, TheDescriptionAgreesWithTheDefaultsItWasWrittenFor) {
  Description description;
  DESCFLAGS_DESC flags = DESCFLAGS_DESC::NONE;
  ASSERT_TRUE(plot->GetDDescription(op, &description, flags));
  EXPECT_EQ(static_cast<Int32>(flags) & static_cast<Int32>(DESCFLAGS_DESC::LOADED), 2);

  Int32 valued = 0;
  for (const DescParameter& param : description.GetResource().parameters) {
    const GeData* stored = bc->GetDataPointer(param.id);
    if (param.type == DescParamType::BUTTON || param.command) {
      continue;
    }
    ++valued;
    ASSERT_NE(stored, nullptr) << param.name.GetStd() << " has no default in a new plot";
    EXPECT_TRUE(*stored == param.defaultValue) << param.name.GetStd();
  }
  // Every valued parameter of a new plot is described, and nothing else is.
  EXPECT_EQ(valued, bc->GetCount());
}

TEST_F(PlotObject, WithoutAGradientTheOtherDefaultsStillApply) {
  BaseObject::Free(op);
  SetHostFault(HostFault::GRADIENT_ALLOC, 0);
  op = BaseObject::Alloc(Osurfo);
  ASSERT_NE(op, nullptr);
  bc = op->GetDataInstance();
  EXPECT_EQ(bc->GetDataPointer(SURFO_GRADIENT), nullptr);
  EXPECT_EQ(bc->GetFloat(SURFO_HEIGHT), 50.0);
  EXPECT_EQ(bc->GetString(SURFO_FORMULA).GetStd(), "Sin(x) * Cos(z)");
}

TEST_F(PlotObject, EnablingFollowsColourModeAndZRange) {
  struct Expect {
    Int32 mode;
    bool gradient, gradientAbs, colour;
  };
  for (const Expect& e : {Expect{0, true, true, false}, Expect{1, false, false, true}, Expect{2, false, false, false},
                          Expect{-1, false, false, false}}) {
    bc->SetInt32(SURFO_COLORMODE, e.mode);
    EXPECT_EQ(op->GetEnabling(DescID(SURFO_GRADIENT)), e.gradient) << e.mode;
    EXPECT_EQ(op->GetEnabling(DescID(SURFO_GRADIENTABS)), e.gradientAbs) << e.mode;
    EXPECT_EQ(op->GetEnabling(DescID(SURFO_COLOR)), e.colour) << e.mode;
    EXPECT_TRUE(op->GetEnabling(DescID(SURFO_FORMULA)));
  }
  EXPECT_FALSE(op->GetEnabling(DescID(SURFO_ZMIN)));
  EXPECT_FALSE(op->GetEnabling(DescID(SURFO_ZMAX)));
  bc->SetBool(SURFO_USEZRANGE, true);
  EXPECT_TRUE(op->GetEnabling(DescID(SURFO_ZMIN)));
  EXPECT_TRUE(op->GetEnabling(DescID(DescLevel(SURFO_ZMAX), DescLevel(1))));
  EXPECT_TRUE(op->GetEnabling(DescID(SURFO_XMIN)));
}

TEST_F(PlotObject, ReadParametersTakesZeroForMissingIdsAndHalvesTheHeight) {
  BaseContainer empty;
  plot->ReadParameters(empty);
  const PlotParameters& p = plot->GetParameters();
  EXPECT_EQ(p.resolution, 0);
  EXPECT_EQ(p.halfHeight, 0.0);
  EXPECT_TRUE(p.formula.IsEmpty());
  EXPECT_FALSE(p.animate);
  EXPECT_EQ(plot->GetResolution(), 0);

  bc->SetFloat(SURFO_HEIGHT, 7.0);
  bc->SetInt32(SURFO_RESOLUTION, 12);
  plot->ReadParameters(*bc);
  EXPECT_EQ(plot->GetParameters().halfHeight, 3.5);
  EXPECT_EQ(plot->GetResolution(), 12);
}

TEST_F(PlotObject, ACopyCarriesSamplesAndParametersButSamplesAfresh) {
  PlotSamples& samples = Access::Plot(*plot);
  samples.samples = {{{1, 2, 3}, {0, 1, 0}}, {{4, 5, 6}, {1, 0, 0}}};
  samples.minValue = -0.5;
  samples.maxValue = 0.75;
  samples.usesTime = true;
  Access::LastFrame(*plot) = 12;
  Access::PreviousSize(*plot) = 200.0;
  Access::PreviousHalfHeight(*plot) = 25.0;
  Access::Sampled(*plot).formula = String("Sin(x) * Cos(z)");
  Access::Sampled(*plot).resolution = 50;
  bc->SetString(SURFO_FORMULA, String("x * z"));
  plot->ReadParameters(*bc);

  BaseObject* copy = op->GetClone();
  ASSERT_NE(copy, nullptr);
  auto* copied = copy->GetNodeData<SurfoObject>();
  ASSERT_EQ(copied->GetSamples().size(), 2u);
  EXPECT_EQ(copied->GetSamples()[1].position, Vector(4, 5, 6));
  EXPECT_EQ(copied->GetSamples()[1].colour, Vector(1, 0, 0));
  EXPECT_EQ(copied->GetMinValue(), -0.5);
  EXPECT_EQ(copied->GetMaxValue(), 0.75);
  EXPECT_EQ(copied->GetLastFrame(), 12);
  EXPECT_EQ(copied->GetParameters().formula.GetStd(), "x * z");
  EXPECT_EQ(copied->GetResolution(), 50);
  // What decides about recomputing is not copied, so the copy's first pass samples again.
  EXPECT_FALSE(copied->UsesTime());
  EXPECT_EQ(Access::PreviousSize(*copied), 0.0);
  EXPECT_EQ(Access::PreviousHalfHeight(*copied), 0.0);
  EXPECT_TRUE(Access::Sampled(*copied).formula.IsEmpty());
  EXPECT_EQ(Access::Sampled(*copied).resolution, 0);
  BaseObject::Free(copy);

  EXPECT_FALSE(plot->CopyTo(nullptr, op, nullptr, COPYFLAGS::NONE, nullptr));
}

TEST_F(PlotObject, FreeEmptiesTheSamplesButKeepsTheirStorage) {
  PlotSamples& samples = Access::Plot(*plot);
  samples.samples.resize(100);
  const auto capacity = samples.samples.capacity();
  plot->Free(op);
  EXPECT_TRUE(plot->GetSamples().empty());
  EXPECT_EQ(samples.samples.capacity(), capacity);
}

TEST(PlotSamples, CompleteOnlyWithTheWholeGridOfTheResolution) {
  PlotSamples s;
  s.resolution = 1;
  s.samples.resize(4);
  EXPECT_TRUE(s.IsComplete());
  s.samples.resize(3);
  EXPECT_FALSE(s.IsComplete());
  s.resolution = 0;
  s.samples.clear();
  EXPECT_FALSE(s.IsComplete());
  s.resolution = LIMIT_MAX_INT32;  // the square does not overflow into a small number
  EXPECT_FALSE(s.IsComplete());
}

}  // namespace
}  // namespace vantelle
