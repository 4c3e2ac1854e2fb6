#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <numbers>
#include <optional>
#include <string>

#include "host/core/formula.h"
#include "plot/formula_preparation.h"

namespace vantelle {
namespace {

// Values in the order t, x, z, h, r, f.
VariableValues Values(Float x, Float z, Float t = 0.0, Float f = 0.0, Float h = 50.0, Float r = 25.0) {
  return {t, x, z, h, r, f};
}

std::string Prepare(const char* formula, const VariableValues& values, Bool* usesTime = nullptr) {
  Bool flag = true;
  const String text = PrepareFormula(String(formula), values, flag);
  if (usesTime != nullptr) {
    *usesTime = flag;
  }
  return text.GetStd();
}

std::optional<Float> Evaluate(const char* formula, Float x, Float z) {
  Bool usesTime = false;
  const GeData value = StringToNumber(PrepareFormula(String(formula), Values(x, z), usesTime), FORMAT_FLOAT, 30);
  return value.IsNil() ? std::nullopt : std::optional<Float>(value.GetFloat());
}

TEST(PrepareFormula, ReplacesStandaloneVariablesWithTheirValues) {
  Bool usesTime = true;
  EXPECT_EQ(Prepare("Sin(x) * Cos(z)", Values(-180, -172.8), &usesTime), "Sin(-180) * Cos(-172.8)");
  EXPECT_FALSE(usesTime);
  EXPECT_EQ(Prepare("Sin(Sqrt((x * x) + (z * z)))", Values(1, 2)), "Sin(Sqrt((1 * 1) + (2 * 2)))");
  EXPECT_EQ(Prepare("Tan(x) * Atan(z)", Values(1, 2)), "Tan(1) * Atan(2)");
  EXPECT_EQ(Prepare("x^3 * Sin(z * 10)", Values(0.5, 2)), "0.5^3 * Sin(2 * 10)");
  EXPECT_EQ(Prepare("x", Values(7.25, 0)), "7.25");
  EXPECT_EQ(Prepare("h + r", Values(0, 0)), "50 + 25");
  EXPECT_EQ(Prepare("x+x+x", Values(3, 0)), "3+3+3");
}

TEST(PrepareFormula, LeavesLettersThatTouchWordCharacters) {
  EXPECT_EQ(Prepare("2x + x2 + ax + xa", Values(9, 9)), "2x + x2 + ax + xa");
  EXPECT_EQ(Prepare("X * Z", Values(9, 9)), "X * Z");
  EXPECT_EQ(Prepare("x_z", Values(1, 2)), "1_2");  // '_' is not a word character
}

TEST(PrepareFormula, TimeLettersSetUsesTime) {
  Bool usesTime = false;
  EXPECT_EQ(Prepare("x * t", Values(2, 0, 1.0 / 30.0), &usesTime), "2 * 0.033");
  EXPECT_TRUE(usesTime);
  EXPECT_EQ(Prepare("f / 2", Values(0, 0, 0, 15), &usesTime), "15 / 2");
  EXPECT_TRUE(usesTime);
  EXPECT_EQ(Prepare("Atan(x)", Values(1, 0), &usesTime), "Atan(1)");
  EXPECT_FALSE(usesTime);
  EXPECT_EQ(Prepare("", Values(1, 1), &usesTime), "");
  EXPECT_FALSE(usesTime);

  EXPECT_TRUE(FormulaUsesTime(String("Sin(x + t)")));
  EXPECT_TRUE(FormulaUsesTime(String("f")));
  EXPECT_FALSE(FormulaUsesTime(String("Sin(x) * Cos(z)")));
  EXPECT_FALSE(FormulaUsesTime(String("Atan(x) + Floor(z)")));
  EXPECT_FALSE(FormulaUsesTime(String("")));
}

TEST(PrepareFormula, RoundsValuesToThreeDecimals) {
  EXPECT_EQ(Prepare("x", Values(0.12341, 0)), Prepare("x", Values(0.12344, 0)));
  EXPECT_EQ(Prepare("x", Values(-0.0004, 0)), "0");
  EXPECT_EQ(Prepare("x", Values(1234567.8916, 0)), "1234567.892");
}

TEST(PrepareFormula, ParenthesisesANegativeBaseOfAPower) {
  EXPECT_EQ(Prepare("x^2", Values(-180, 0)), "(-180)^2");
  EXPECT_EQ(Prepare("x ^ 2", Values(-3, 0)), "(-3) ^ 2");
  EXPECT_EQ(Prepare("x^3 * Sin(z * 10)", Values(-0.5, 2)), "(-0.5)^3 * Sin(2 * 10)");
  EXPECT_EQ(Prepare("Exp(-x^2 / 1000)", Values(-180, 0)), "Exp(-(-180)^2 / 1000)");
  // Everywhere else a value's text goes in as it is.
  EXPECT_EQ(Prepare("Exp(-x^2 / 1000)", Values(180, 0)), "Exp(-180^2 / 1000)");
  EXPECT_EQ(Prepare("2^x", Values(-1, 0)), "2^-1");
  EXPECT_EQ(Prepare("x*2", Values(-3, 0)), "-3*2");
  EXPECT_EQ(Prepare("x^2", Values(-0.0001, 0)), "0^2");
}

TEST(PrepareFormula, SquaresAndGaussianAgreeWithDirectComputationOverAGrid) {
  // The default grid: 51 inputs from -180 to 180 on both axes.
  for (int r = 0; r <= 50; ++r) {
    for (int c = 0; c <= 50; ++c) {
      const Float x = -180.0 + r * 7.2;
      const Float z = -180.0 + c * 7.2;
      const std::optional<Float> squares = Evaluate("x^2 + z^2", x, z);
      const std::optional<Float> gaussian = Evaluate("Exp(-x^2 / 1000)", x, z);
      ASSERT_TRUE(squares && gaussian) << "x=" << x << " z=" << z;
      EXPECT_NEAR(*squares, x * x + z * z, 1e-9 * (1.0 + x * x + z * z)) << "x=" << x << " z=" << z;
      EXPECT_NEAR(*gaussian, std::exp(-x * x / 1000.0), 1e-12) << "x=" << x;
    }
  }
}

TEST(PrepareFormula, EveryPresetEvaluatesAsComputedDirectly) {
  constexpr Float kDeg = std::numbers::pi / 180.0;
  struct Case {
    const char* formula;
    Float (*direct)(Float, Float);
  };
  const Case presets[] = {
      {"Sin(x) * Cos(z)", [](Float x, Float z) { return std::sin(x * kDeg) * std::cos(z * kDeg); }},
      {"x^3 * Sin(z * 10)", [](Float x, Float z) { return x * x * x * std::sin(z * 10 * kDeg); }},
      {"x * x * z", [](Float x, Float z) { return x * x * z; }},
      {"Tan(x) * Atan(z)", [](Float x, Float z) { return std::tan(x * kDeg) * std::atan(z) / kDeg; }},
      {"Pow(Sin(x); 3)", [](Float x, Float) { return std::pow(std::sin(x * kDeg), 3.0); }},
      {"(x * x) / (z * z)", [](Float x, Float z) { return (x * x) / (z * z); }},
      {"Pow((x * x) + (z * z); 0.5)", [](Float x, Float z) { return std::sqrt(x * x + z * z); }},
      {"Cos(Abs(x) + Abs(z))", [](Float x, Float z) { return std::cos((std::abs(x) + std::abs(z)) * kDeg); }},
      {"Log(x)", [](Float x, Float) { return std::log(x); }},
      {"x * Cos(z)", [](Float x, Float z) { return x * std::cos(z * kDeg); }},
      {"Sin(Sqrt((x * x) + (z * z)))", [](Float x, Float z) { return std::sin(std::sqrt(x * x + z * z) * kDeg); }},
  };
  const Float points[][2] = {{36.0, -50.4}, {100.8, 7.2}, {-165.6, 129.6}, {0.5, -0.25}};
  for (const Case& preset : presets) {
    for (const auto& p : points) {
      const Float x = p[0], z = p[1];
      const Float expected = preset.direct(x, z);
      const std::optional<Float> value = Evaluate(preset.formula, x, z);
      if (!std::isfinite(expected)) {
        EXPECT_FALSE(value) << preset.formula << " at x=" << x;
        continue;
      }
      ASSERT_TRUE(value) << preset.formula << " at x=" << x << " z=" << z;
      EXPECT_NEAR(*value, expected, 1e-9 * (1.0 + std::abs(expected))) << preset.formula << " at x=" << x << " z=" << z;
    }
  }
  // Where a preset has no value the evaluator gives nothing rather than a wrong number.
  EXPECT_FALSE(Evaluate("(x * x) / (z * z)", 3.0, 0.0));
  EXPECT_FALSE(Evaluate("Log(x)", 0.0, 0.0));
}

TEST(IsStandaloneVariable, TestsOnlyTheNeighboursThatExist) {
  EXPECT_TRUE(IsStandaloneVariable(String("x"), 0));
  EXPECT_TRUE(IsStandaloneVariable(String("x+1"), 0));
  EXPECT_FALSE(IsStandaloneVariable(String("xa"), 0));
  EXPECT_TRUE(IsStandaloneVariable(String("1+x"), 2));
  EXPECT_FALSE(IsStandaloneVariable(String("1x"), 1));
  EXPECT_TRUE(IsStandaloneVariable(String("(x)"), 1));
  EXPECT_FALSE(IsStandaloneVariable(String("Sqrt"), 2));

  // Letters of both cases and all ten digits, nothing else.
  std::string words;
  for (int c = 0; c < 256; ++c) {
    const char byte = static_cast<char>(c);
    if (IsWordCharacter(String(std::string_view(&byte, 1)))) {
      words += byte;
    }
  }
  EXPECT_EQ(words, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  EXPECT_FALSE(IsWordCharacter(String("")));
}

TEST(PrepareFormula, UpperCaseLettersKeepTheNamesTheyArePartOf) {
  const Float kDeg = std::numbers::pi / 180.0;
  EXPECT_NEAR(*Evaluate("tAN(x)", 30.0, 0.0), std::tan(30.0 * kDeg), 1e-12);
  EXPECT_EQ(*Evaluate("fLOOR(x)", 2.5, 0.0), 2.0);
  EXPECT_EQ(*Evaluate("hYPOT(x; z)", 3.0, 4.0), 5.0);
  EXPECT_EQ(*Evaluate("rOUND(x)", 2.5, 0.0), 3.0);
  EXPECT_EQ(Prepare("X + Z + x9 + 9x + Tx", Values(1, 2)), "X + Z + x9 + 9x + Tx");
}

// The rules of preparation read literally: each letter in turn, every occurrence searched
// in the text as replaced so far.
std::string PrepareLetterByLetter(const std::string& formula, const VariableValues& values) {
  String text(formula);
  const std::string letters = kVariableLetters;
  for (std::size_t l = 0; l < letters.size(); ++l) {
    Int32 start = 0;
    while (start < text.GetLength()) {
      Int32 pos = -1;
      if (!text.FindFirst(String(letters.substr(l, 1)), &pos, start)) {
        break;
      }
      if (IsStandaloneVariable(text, pos)) {
        text.Delete(pos, 1);
        String number = FloatToString(values[l], -1, -3, false, ' ');
        Int32 next = pos;
        while (text[next] == ' ' || text[next] == '\t') {
          ++next;
        }
        if (number[0] == '-' && text[next] == '^') {
          number = String("(") + number + String(")");
        }
        text.Insert(pos, number);
      }
      start = pos + 1;
    }
  }
  return text.GetStd();
}

TEST(PrepareFormula, OnePassGivesWhatLetterByLetterReplacementGives) {
  const std::string alphabet = "txzhrfTXaS29^ (-)*.\t";
  const Float specials[] = {-180.0, 0.5, -0.0004, 1e300, -INFINITY, INFINITY, NAN, 7.25};
  std::uint64_t state = 99;
  const auto next = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return state >> 33;
  };
  for (int i = 0; i < 20000; ++i) {
    std::string formula;
    const int length = static_cast<int>(next() % 14);
    for (int k = 0; k < length; ++k) {
      formula += alphabet[next() % alphabet.size()];
    }
    VariableValues values{};
    for (Float& v : values) {
      v = specials[next() % std::size(specials)];
    }
    Bool usesTime = false;
    ASSERT_EQ(PrepareFormula(String(formula), values, usesTime).GetStd(), PrepareLetterByLetter(formula, values))
        << formula;
  }
}

TEST(PrepareFormula, CostGrowsLinearlyWithTheFormula) {
  // The best of three runs, so that a busy machine does not decide the outcome.
  const auto seconds = [](int variables) {
    std::string formula;
    for (int i = 0; i < variables; ++i) {
      formula += "x + ";
    }
    formula += "1";
    const String text(formula);
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
      const auto start = std::chrono::steady_clock::now();
      Bool usesTime = false;
      const String prepared = PrepareFormula(text, Values(-180, 0), usesTime);
      best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      EXPECT_EQ(prepared.GetLength(), variables * 7 + 1);
    }
    return best;
  };
  // Eight times the formula: about eight times the cost (more as it outgrows the caches),
  // where a copy of the rest of the text per variable would cost sixty-four times.
  const double small = seconds(50000);
  const double large = seconds(400000);
  EXPECT_LT(large, 32.0 * small) << small << " s, then " << large << " s";
}

TEST(CheckFormula, ReadsTheVariablesAsNumbers) {
  const auto check = [](const char* formula) {
    const String text(formula);
    return CheckFormula(text, FindVariableSlots(text));
  };
  for (const char* malformed : {"x z", "2 x", "t x", "x (z)"}) {
    const std::optional<FormulaError> error = check(malformed);
    ASSERT_TRUE(error.has_value()) << malformed;
    EXPECT_EQ(error->reason.GetStd().rfind("an operator is missing before", 0), 0u) << error->reason.GetStd();
  }
  EXPECT_EQ(check("x z")->column, 3);
  EXPECT_EQ(check("2x")->reason.GetStd(), "a letter right after a number is no variable: write 2 * x");
  for (const char* fine : {"Sin(x) * Cos(z)", "x^3 * Sin(z * 10)", "Pow((x * x) + (z * z); 0.5)", "t * f + h - r",
                           "tAN(x) * hYPOT(x; z)", "Log(x)"}) {
    EXPECT_FALSE(check(fine).has_value()) << fine;
  }
}

}  // namespace
}  // namespace vantelle
