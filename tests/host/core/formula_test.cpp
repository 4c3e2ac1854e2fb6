#include "host/core/formula.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <optional>
#include <string>

namespace {

struct Case {
  std::string_view text;
  double expected;
};

// A refusal becomes NaN so the comparison fails visibly instead of throwing.
double Eval(std::string_view text) {
  const std::optional<double> v = EvaluateFormulaText(text);
  EXPECT_TRUE(v.has_value()) << "refused: \"" << text << "\"";
  return v.value_or(NAN);
}

void ExpectValues(std::initializer_list<Case> cases) {
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(Eval(c.text), c.expected) << c.text;
}

// Exact equality: quarter-turn trigonometry must not be off by even one ulp.
void ExpectExact(std::initializer_list<Case> cases) {
  for (const Case& c : cases) EXPECT_EQ(Eval(c.text), c.expected) << c.text;
}

void ExpectRefused(std::initializer_list<std::string_view> texts) {
  for (std::string_view text : texts) {
    const std::optional<double> v = EvaluateFormulaText(text);
    EXPECT_FALSE(v.has_value()) << "\"" << text << "\" gave " << v.value_or(0.0);
  }
}

TEST(FormulaEvaluator, ReadsPlainDecimalNumbersOnly) {
  ExpectValues({{"12", 12}, {"1.5", 1.5}, {".5", 0.5}, {"5.", 5}, {" \t 3 \t", 3}});
  // A fraction too small for a double is zero; a whole part too big is a refusal.
  EXPECT_DOUBLE_EQ(Eval("0." + std::string(400, '0') + "1"), 0.0);
  ExpectRefused({"1e5", "1.5e-3", ".", "1.2.3", "1 2", "1" + std::string(400, '0')});
}

TEST(FormulaEvaluator, BinaryOperatorsFollowMathematicalPrecedence) {
  ExpectValues({{"1+2*3", 7}, {"(1+2)*3", 9}, {"10-4-3", 3}, {"8/4/2", 1}, {"2*3^2", 18}});
}

TEST(FormulaEvaluator, PowerIsRightAssociativeAndBindsTighterThanUnaryMinus) {
  ExpectValues({{"2^3^2", 512}, {"-2^2", -4}, {"-(2)^2", -4}, {"(-2)^2", 4},
                {"2^-1", 0.5}, {"2^-1^2", 0.5}, {"0^0", 1}});
}

TEST(FormulaEvaluator, UnarySignsCombineWithBinaryOperators) {
  ExpectValues({{"3--2", 5}, {"3-+2", 1}, {"2*-3", -6}, {"-2*3", -6}, {"- - 4", 4}, {"---4", -4}});
}

TEST(FormulaEvaluator, NamesIgnoreCaseAndArgumentsAreSeparatedBySemicolons) {
  ExpectValues({{"Sin(90)", 1}, {"SIN(90)", 1}, {"sIn (90)", 1}, {"PI", std::numbers::pi}, {"pi", std::numbers::pi},
                {"LOG10(1000)", 3}, {"Pow(2; 10)", 1024}, {"Min(3)", 3}, {"Max(3; -1; 1+7)", 8},
                {"Hypot(3; 4)", 5}, {"Mod(7.5; 2)", 1.5}, {"Mod(-7; 3)", -1},
                {"Max(Min(1;2); Pow(2;0.5)^2)", 2}});
  ExpectRefused({"Sin()", "Sin(1;2)", "Pow(2)", "Pow(1;2;3)", "Min()", "Max(1;)", "Mod(1,2)"});
}

TEST(FormulaEvaluator, TrigonometryWorksInDegreesAndIsExactAtQuarterTurns) {
  ExpectExact({{"Sin(180)", 0}, {"Sin(-180)", 0}, {"Sin(270)", -1}, {"Sin(450)", 1},
               {"Cos(90)", 0}, {"Cos(-180)", -1}, {"Tan(180)", 0}, {"Sin(360*10^15)", 0}});
  EXPECT_NEAR(Eval("Sin(30)"), 0.5, 1e-15);
  EXPECT_NEAR(Eval("Sin(390)"), 0.5, 1e-14);
  EXPECT_NEAR(Eval("Tan(-135)"), 1.0, 1e-15);
  EXPECT_NEAR(Eval("Cos(-172.8)"), -0.99211470131447788, 1e-15);
  EXPECT_LE(std::fabs(Eval("Sin(10^300)")), 1.0);
  ExpectRefused({"Tan(90)", "Tan(270)", "Tan(-450)"});
}

TEST(FormulaEvaluator, InverseTrigonometryAnswersInDegrees) {
  for (const Case& c : {Case{"Asin(1)", 90}, Case{"Asin(0.5)", 30}, Case{"Acos(-1)", 180},
                        Case{"Atan(1)", 45}, Case{"Atan2(1; -1)", 135}}) {
    EXPECT_NEAR(Eval(c.text), c.expected, 1e-12) << c.text;
  }
}

TEST(FormulaEvaluator, RoundingAndSignFollowTheirConventions) {
  ExpectValues({{"Round(2.5)", 3}, {"Round(-2.5)", -3}, {"Round(-2.4)", -2},
                {"Floor(-1.5) + Ceil(-1.5) * 10 + Trunc(-1.7) * 100", -112},
                {"Sign(-7)", -1}, {"Sign(0)", 0}, {"Sign(0.001)", 1}});
}

TEST(FormulaEvaluator, RefusesValuesThatAreNotFinite) {
  ExpectRefused({"1/0", "0/0", "Log(0)", "Log(-1)", "Sqrt(-1)", "Asin(2)", "Exp(1000)", "10^400",
                 "0^-1", "(-8)^(1/3)", "Mod(5; 0)", "Hypot(1.5*10^308; 1.5*10^308)"});
  // Overflow inside must not be hidden by an outer operation that would tame it.
  ExpectRefused({"Atan(Exp(1000))", "1/Exp(1000)", "0*10^400", "Sign(10^200*10^200)",
                 "Sign(1.5*10^308+10^308)", "Min(1; Exp(1000))"});
}

TEST(FormulaEvaluator, RefusesUnknownNamesStrayLettersAndMalformedText) {
  ExpectRefused({"x", "2x", "nan", "inf", "Pi2", "Pi()", "Sin", "Sin 90", "Averyverylongname(1)"});
  ExpectRefused({"", "   ", "-", "1+", "1)", "(1", "()", "Sin(1;", "1\n", "1 \xC3\xA9",
                 std::string_view("1\0", 2), std::string_view("\0" "1", 2)});
}

TEST(FormulaEvaluator, HostileInputsAreRefusedQuicklyWithoutCrashing) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_DOUBLE_EQ(Eval(std::string(100, '(') + "7" + std::string(100, ')')), 7.0);

  std::string tower = "2";
  for (int i = 0; i < 50000; ++i) tower += "^2";
  std::string calls;
  for (int i = 0; i < 30000; ++i) calls += "Sin(";
  ExpectRefused({std::string(100000, '('), std::string(100000, '(') + "1" + std::string(100000, ')'),
                 std::string(100000, '-'), std::string(100000, '\0'), std::string(100000, '\xFF'),
                 tower, calls + "1" + std::string(30000, ')')});

  // Sign runs and long sums cost no nesting, so they still evaluate.
  EXPECT_DOUBLE_EQ(Eval(std::string(100001, '-') + "2"), -2.0);
  std::string sum = "1";
  for (int i = 0; i < 100000; ++i) sum += "+1";
  EXPECT_DOUBLE_EQ(Eval(sum), 100001.0);

  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace

namespace {

struct Problem {
  std::string_view text;
  Int32 column;
  std::string_view reason;
};

TEST(FormulaCheck, NamesTheFirstProblemWithItsColumnAndReason) {
  const Problem problems[] = {
      {"Sinn(x)", 1, "unknown function \"Sinn\" (did you mean Sin?)"},
      {"1 + Sqr(2)", 5, "unknown function \"Sqr\" (did you mean Sqrt?)"},
      {"2 * y", 5, "unknown name \"y\""},
      {"Sin(90", 7, "missing \")\" after the arguments of Sin"},
      {"(1 + 2", 7, "missing \")\" to close the \"(\" at column 1"},
      {"Pow(2, 3)", 6, "\",\" does not separate arguments; write \";\", as in Pow(x; 2)"},
      {"1,5", 2, "\",\" is not part of the formula language: write \".\" in numbers and \";\" between a function's "
                 "arguments"},
      {"2**3", 2, "\"**\" is not an operator; write \"^\" for a power, as in x^2"},
      {"1e3", 1, "exponent notation (\"1e3\") is not part of the formula language; write 1 * 10^3"},
      {"2.5E-4 + 1", 1, "exponent notation (\"2.5E-4\") is not part of the formula language; write 2.5 * 10^-4"},
      {"2Sin(1)", 2, "a letter right after a number is no variable: write 2 * Sin"},
      {"Pow(2)", 1, "Pow takes 2 arguments, not 1"},
      {"1 + Sin(1; 2)", 5, "Sin takes 1 argument, not 2"},
      {"Max()", 1, "Max takes one or more arguments, as in Max(x; y; ...)"},
      {"Sin 90", 1, "Sin needs parentheses around its argument, as in Sin(x)"},
      {"Pi(2)", 1, "Pi is a number and takes no arguments"},
      {"2 3", 3, "an operator is missing before \"3\""},
      {"1 + 2)", 6, "\")\" has no matching \"(\""},
      {"1 +", 4, "the formula ends where a value should follow"},
      {"(1;2)", 3, "\";\" separates a function's arguments and stands only inside its parentheses"},
      {"1 * [2]", 5, "\"[\" does not group; use \"(\" and \")\""},
      {"\xC3\xA9 + 1", 1, "unexpected \"\xC3\xA9\""},
      {"1 + \xC3\xA9", 5, "unexpected \"\xC3\xA9\""},  // columns count characters, not bytes
      {"1\n", 2, "unexpected line break"},
      {"   ", 4, "the formula is empty"},
  };
  for (const Problem& p : problems) {
    const std::optional<FormulaError> error = CheckFormulaText(String(p.text));
    ASSERT_TRUE(error.has_value()) << p.text;
    EXPECT_EQ(error->column, p.column) << p.text;
    EXPECT_EQ(error->reason.GetStd(), p.reason) << p.text;
    EXPECT_FALSE(EvaluateFormulaText(p.text).has_value()) << "the evaluator refuses what the check refuses: " << p.text;
  }
  EXPECT_EQ(CheckFormulaText(String("1" + std::string(400, '0')))->reason.GetStd(),
            "the number \"100000000000000000000000...\" is too large");
}

TEST(FormulaCheck, ReadsSlotsAsNumbersAndLetsValuesBe) {
  // Values that cannot be computed are not syntax errors.
  for (const char* fine : {"1/0", "Log(-1)", "Exp(1000)", "Min(3; 1; 2) + -(-2)^2 + Pi", "  Sin(1)  "}) {
    EXPECT_FALSE(CheckFormulaText(String(fine)).has_value()) << fine;
  }
  // "x z" with x and z as slots: two numbers in a row, wherever a value would be pasted in.
  const std::optional<FormulaError> twoValues = CheckFormulaText(String("x z"), {0, 2});
  ASSERT_TRUE(twoValues.has_value());
  EXPECT_EQ(twoValues->column, 3);
  EXPECT_EQ(twoValues->reason.GetStd(), "an operator is missing before \"z\"");
  EXPECT_FALSE(CheckFormulaText(String("x^2 + -z"), {0, 7}).has_value());
  EXPECT_EQ(CheckFormulaText(String("x"), {})->reason.GetStd(), "unknown name \"x\"") << "no slot, no number";
  EXPECT_EQ(CheckFormulaText(String("2.x"), {2})->column, 3) << "a number and a slot in a row";
}

TEST(FormulaCheck, EveryTextTheEvaluatorReadsPassesTheCheck) {
  // The check and the evaluator share one grammar: a sweep of short texts over the
  // language's characters finds no text that evaluates yet fails the check.
  const std::string alphabet = "12.+-*/^(); ,eSinPxz";
  std::uint64_t state = 12345;
  int evaluated = 0;
  for (int i = 0; i < 200000; ++i) {
    std::string text;
    const int length = 1 + static_cast<int>(state % 9);
    for (int k = 0; k < length; ++k) {
      state = state * 6364136223846793005ull + 1442695040888963407ull;
      text += alphabet[(state >> 33) % alphabet.size()];
    }
    if (EvaluateFormulaText(text).has_value()) {
      ++evaluated;
      ASSERT_FALSE(CheckFormulaText(String(text)).has_value()) << text;
    }
  }
  EXPECT_GT(evaluated, 1000);
}

}  // namespace
