#include "tests/plot/plot_fixture.h"

namespace vantelle {
namespace {

using Commands = PlotFixture;

TEST_F(Commands, APresetReplacesTheFormulaAndOutOfRangeValuesKeepIt) {
  Set(SURFO_FORMULA, String("x + 1"));
  Set(SURFO_PRESET, Int32(3));
  EXPECT_EQ(bc->GetString(SURFO_FORMULA).GetStd(), "Tan(x) * Atan(z)");
  Set(SURFO_PRESET, Int32(10));
  EXPECT_EQ(bc->GetString(SURFO_FORMULA).GetStd(), "Sin(Sqrt((x * x) + (z * z)))");
  Set(SURFO_FORMULA, String("x * 2"));
  for (Int32 outside : {11, -1}) {
    Set(SURFO_PRESET, outside);
    EXPECT_EQ(bc->GetString(SURFO_FORMULA).GetStd(), "x * 2");
  }
  Set(SURFO_PRESET, Int32(0));
  EXPECT_EQ(bc->GetString(SURFO_FORMULA).GetStd(), "Sin(x) * Cos(z)");
  // The formula takes effect in the next pass, not at once.
  Evaluate();
  const Int64 before = GetStringToNumberCount();
  Set(SURFO_PRESET, Int32(2));
  EXPECT_EQ(GetStringToNumberCount(), before);
  EXPECT_EQ(Evaluate(), 2601);
}

TEST_F(Commands, ResetRestoresEveryDefaultButLeavesTheSamples) {
  Evaluate();
  Set(SURFO_FORMULA, String("x"));
  Set(SURFO_HEIGHT, 80.0);
  Set(SURFO_COLORMODE, SURFO_COLORMODE_SINGLE);
  Set(SURFO_GRADIENT, GeData(Gradient()));
  op->PressButton(DescID(SURFO_RESET));
  EXPECT_EQ(bc->GetString(SURFO_FORMULA).GetStd(), "Sin(x) * Cos(z)");
  EXPECT_EQ(bc->GetFloat(SURFO_HEIGHT), 50.0);
  EXPECT_EQ(bc->GetInt32(SURFO_COLORMODE), SURFO_COLORMODE_GRADIENT);
  ASSERT_NE(bc->GetCustomData<Gradient>(SURFO_GRADIENT), nullptr);
  EXPECT_EQ(bc->GetCustomData<Gradient>(SURFO_GRADIENT)->GetKnotCount(), 3);
  EXPECT_EQ(Count(), 2601u);
}

TEST_F(Commands, SwitchingThePlotEmptiesItsSamplesAndAnnouncesIt) {
  Evaluate();
  const UInt32 dirty = op->GetDirty(DIRTYFLAGS::DATA);
  const Int64 redraws = GetEventAddCount();
  op->SetDeformMode(false);
  EXPECT_EQ(Count(), 0u);
  EXPECT_NE(op->GetDirty(DIRTYFLAGS::DATA), dirty);
  EXPECT_EQ(GetEventAddCount(), redraws + 1);
}

TEST_F(Commands, TheHostCanAskForTheComputedState) {
  Set(SURFO_RESOLUTION, Int32(4));
  Evaluate();
  BaseContainer state;
  op->Message(MSG_HOST_QUERY_STATE, &state);
  EXPECT_EQ(state.GetInt64(STATE_SAMPLE_COUNT), 25);
  EXPECT_EQ(state.GetInt32(STATE_RESOLUTION), 4);
  EXPECT_EQ(state.GetFloat(STATE_MIN_VALUE), -1.0);
  EXPECT_EQ(state.GetFloat(STATE_MAX_VALUE), 1.0);
  EXPECT_FALSE(state.GetBool(STATE_USES_TIME, true));
  EXPECT_TRUE(state.GetBool(STATE_COMPLETE));
  op->Message(MSG_HOST_QUERY_STATE, nullptr);  // no container: nothing to fill, no crash
}

}  // namespace
}  // namespace vantelle
