// The compiled evaluation of a formula against the reference, filling each sample's text
// in and evaluating it: the same numbers bit for bit, on rows computed in parallel.
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plot/formula_preparation.h"
#include "plot/parallel_rows.h"
#include "tests/plot/plot_fixture.h"

namespace vantelle {
namespace {

bool SameBits(Float a, Float b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameBits(const Vector& a, const Vector& b) {
  return SameBits(a.x, b.x) && SameBits(a.y, b.y) && SameBits(a.z, b.z);
}

std::string Show(std::optional<Float> v) {
  return v ? std::to_string(*v) : std::string("nothing");
}

// A formula and the values it is tried with: every x of `inputs` with every z of it.
void ExpectCompiledMatchesText(const std::string& text, const std::vector<Float>& inputs) {
  const String formula(text);
  const std::vector<VariableSlot> slots = FindVariableSlots(formula);
  ASSERT_FALSE(CheckFormula(formula, slots).has_value()) << text;
  const std::optional<CompiledFormula> compiled = CompileFormula(formula, slots);
  ASSERT_TRUE(compiled.has_value()) << text;
  for (const Float t : {0.0, 1.0 / 30.0, 0.5}) {
    for (const Float x : inputs) {
      for (const Float z : inputs) {
        const VariableValues values{t, x, z, 50.0, 25.0, t * 30.0};
        Bool usesTime = false;
        const std::optional<Float> expected = EvaluateFilledText(formula, slots, values, 30, usesTime);
        const std::optional<Float> actual = EvaluateCompiled(*compiled, slots, values);
        ASSERT_EQ(expected.has_value(), actual.has_value()) << text << " at x=" << x << " z=" << z;
        if (expected) {
          ASSERT_TRUE(SameBits(*expected, *actual))
              << text << " at x=" << x << " z=" << z << ": " << Show(expected) << " vs " << Show(actual);
        }
      }
    }
  }
}

TEST(CompiledFormula, GivesTheFilledTextsValueBitForBit) {
  // The plot's own inputs, the ones whose texts round (more than three decimals, a
  // negative that rounds to zero), huge and non-finite ones.
  std::vector<Float> inputs;
  for (int i = 0; i <= 50; i += 7) {
    inputs.push_back(-180.0 + i * (360.0 / 50.0));
  }
  for (const Float v : {-0.0, 0.0004, -0.0004, -0.0005, 0.0015, -2.5, 1.0 / 3.0, -7.0 / 3.0, 1e300, -1e300, 1e-300,
                        1e15 + 0.3, std::nan(""), -HUGE_VAL}) {
    inputs.push_back(v);
  }
  std::string nested = "x";
  for (int i = 0; i < 150; ++i) {
    nested = "(" + nested + " - z)";
  }
  for (const char* text :
       {"Sin(x) * Cos(z)", "x * x * z", "Sin(x + t * 90) * Cos(z) * (1 + t)", "Pow(x; 2)", "Sin(Sqrt((x * x) + (z * z)))",
        // How the text path treats signs and powers: the pasted minus joins the signs before it.
        "x^2", "x ^ 2", "-x", "-x^2", "--x", "2 - -x", "2 - - x", "x^z", "2^x", "2^-x", "x^-z", "z^x^2", "-(x)^2",
        "+x", "x--z", "x - -z * -x", "1/x", "x/z", "Log(x)", "Sqrt(z)", "Mod(x; z)", "Atan2(x; z)", "Hypot(x; -z)",
        "Min(x; z; -x)", "Max(z)", "MAX(x; 2; z)", "Round(x / 7) * Sign(z)", "h + r * f - t", "x * Pi", "x^0.5",
        "Tan(x)", "Exp(z)", "Pow(x; z)", "(((x)))", "0.1 + x * 0.2", "\tx\t*z "}) {
    ExpectCompiledMatchesText(text, inputs);
  }
  ExpectCompiledMatchesText(nested, {-180.0, 3.5, 0.0001});
}

TEST(CompiledFormula, CompilesExactlyWhatTheCheckAccepts) {
  // Texts that pasted numbers would turn into something else: the check refuses them, so
  // no sample has a value either way, and compiling refuses them too.
  std::string deep(199, '(');
  deep += "x" + std::string(199, ')');
  std::string tooDeep(200, '(');
  tooDeep += "x" + std::string(200, ')');
  for (const std::string& text : {std::string("x.5"), std::string("x z"), std::string("2x"), std::string(""),
                                  std::string("  "), std::string(".x"), std::string("1.x"), std::string("x."),
                                  std::string("Sin()"), std::string("Pi(2)"), std::string("1e3"), std::string("x**2"),
                                  std::string("Pow(x)"), std::string("Sinn(x)"), deep, tooDeep, std::string("x;z")}) {
    const String formula(text);
    const std::vector<VariableSlot> slots = FindVariableSlots(formula);
    EXPECT_EQ(CompileFormula(formula, slots).has_value(), !CheckFormula(formula, slots).has_value()) << text;
  }
}

TEST(RowsInParallel, EveryRowOnceInBlocksNumberedInRowOrder) {
  // 1001 cells a row: a part wants 16 rows or more.
  for (const auto& [rows, expectedParts] : {std::pair<std::int64_t, std::int64_t>{1, 1}, {100, 6}, {1001, 8}}) {
    std::vector<int> seen(static_cast<std::size_t>(rows), 0);
    std::vector<std::int64_t> firstRow(8, -1);
    const std::int64_t parts = RunRowsInParallel(rows, 1001, 8, [&](std::int64_t part, std::int64_t a, std::int64_t b) {
      firstRow[static_cast<std::size_t>(part)] = a;
      for (std::int64_t r = a; r < b; ++r) {
        ++seen[static_cast<std::size_t>(r)];
      }
    });
    EXPECT_EQ(parts, expectedParts);
    for (const int count : seen) {
      EXPECT_EQ(count, 1);
    }
    for (std::int64_t part = 1; part < parts; ++part) {
      EXPECT_GT(firstRow[static_cast<std::size_t>(part)], firstRow[static_cast<std::size_t>(part - 1)]);
    }
  }
  // Too little work for a second thread.
  EXPECT_EQ(RunRowsInParallel(10, 10, 8, [](std::int64_t, std::int64_t, std::int64_t) {}), 1);
}

// A second plot in the same document evaluates every sample by filling in its text; the
// two must agree on every number they keep.
class SamplingPaths : public PlotFixture {
protected:
  void SetUp() override {
    PlotFixture::SetUp();
    textOp = BaseObject::Alloc(Osurfo);
    ASSERT_NE(textOp, nullptr);
    doc->InsertObject(textOp, nullptr, nullptr);
    textPlot = textOp->GetNodeData<SurfoObject>();
    textPlot->SetEvaluateAsText(true);
  }
  void SetBoth(Int32 id, const GeData& value) {
    op->SetParameter(DescID(id), value);
    textOp->SetParameter(DescID(id), value);
  }
  void ExpectSamePlots(const std::string& what, SamplingPath path = SamplingPath::kCompiled) {
    ExecutePasses(doc);
    EXPECT_EQ(plot->GetSamplingPath(), path) << what;
    EXPECT_EQ(textPlot->GetSamplingPath(), path == SamplingPath::kNone ? path : SamplingPath::kText) << what;
    const std::vector<PlotSample>& a = plot->GetSamples();
    const std::vector<PlotSample>& b = textPlot->GetSamples();
    ASSERT_EQ(a.size(), b.size()) << what;
    ASSERT_TRUE(plot->GetPlotSamples().IsComplete()) << what;
    for (std::size_t i = 0; i < a.size(); ++i) {
      ASSERT_TRUE(SameBits(a[i].position, b[i].position) && SameBits(a[i].colour, b[i].colour))
          << what << ", sample " << i << ": y " << a[i].position.y << " vs " << b[i].position.y;
    }
    EXPECT_TRUE(SameBits(plot->GetMinValue(), textPlot->GetMinValue())) << what;
    EXPECT_TRUE(SameBits(plot->GetMaxValue(), textPlot->GetMaxValue())) << what;
    EXPECT_EQ(plot->GetUndefinedSampleCount(), textPlot->GetUndefinedSampleCount()) << what;
    EXPECT_EQ(plot->UsesTime(), textPlot->UsesTime()) << what;
  }

  BaseObject* textOp = nullptr;
  SurfoObject* textPlot = nullptr;
};

TEST_F(SamplingPaths, EveryPresetOverWholeGridsInEveryHeightMode) {
  for (Int32 preset = 0; preset < 11; ++preset) {
    SetBoth(SURFO_PRESET, preset);
    for (const Int32 mode : {SURFO_HEIGHTMODE_FIT, SURFO_HEIGHTMODE_CLIP, SURFO_HEIGHTMODE_FREE}) {
      // 201 points a side once: enough work for the compiled plot's rows to run in parallel.
      SetBoth(SURFO_RESOLUTION, Int32(mode == SURFO_HEIGHTMODE_FIT ? 200 : 60));
      SetBoth(SURFO_HEIGHTMODE, mode);
      ExpectSamePlots("preset " + std::to_string(preset) + ", height mode " + std::to_string(mode));
    }
  }
}

TEST_F(SamplingPaths, TimeRangesScalesAndFormulasWithoutValue) {
  SetBoth(SURFO_RESOLUTION, Int32(37));
  SetBoth(SURFO_USEZRANGE, true);
  SetBoth(SURFO_XMIN, -7.3);
  SetBoth(SURFO_XMAX, 12.9);
  SetBoth(SURFO_ZMIN, -0.01);
  SetBoth(SURFO_ZMAX, 0.0333);
  SetBoth(SURFO_SCALENEG, 0.3);
  SetBoth(SURFO_GRADIENTABS, true);
  SetBoth(SURFO_ANIMATE, true);
  for (const char* text : {"Sin(x + t * 90) * Cos(z) * (1 + t)", "x * f - z / t", "x^2 - z^3 + h / r", "Log(x) * z",
                           "1 / z", "-x", "2 - -x", "Pow(x; z)"}) {
    SetBoth(SURFO_FORMULA, String(text));
    for (const Int32 frame : {0, 1, 17}) {
      SetFrame(frame);
      ExpectSamePlots(std::string(text) + " at frame " + std::to_string(frame));
    }
  }
  // No value anywhere: nothing is evaluated, the same way on both.
  for (const char* text : {"", "x.5", "x z", "2x"}) {
    SetBoth(SURFO_FORMULA, String(text));
    ExpectSamePlots(text, SamplingPath::kNone);
  }
}

TEST_F(SamplingPaths, ARecomputationOfTheSameSizeKeepsItsBuffer) {
  Set(SURFO_RESOLUTION, Int32(300));
  Evaluate();
  const PlotSample* const data = plot->GetSamples().data();
  const std::size_t capacity = plot->GetSamples().capacity();
  Set(SURFO_FORMULA, String("x * z"));
  EXPECT_EQ(Evaluate(), 301 * 301);  // compiled evaluations count as evaluations
  EXPECT_EQ(plot->GetSamples().data(), data);
  EXPECT_EQ(plot->GetSamples().capacity(), capacity);
}

}  // namespace
}  // namespace vantelle
