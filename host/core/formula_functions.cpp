#include "host/core/formula_functions.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <utility>

namespace formula_functions {

namespace {

constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;

constexpr FnEntry kFunctions[] = {
    {"sin", "Sin", Fn::kSin, 1},
    {"cos", "Cos", Fn::kCos, 1},
    {"tan", "Tan", Fn::kTan, 1},
    {"asin", "Asin", Fn::kAsin, 1},
    {"acos", "Acos", Fn::kAcos, 1},
    {"atan", "Atan", Fn::kAtan, 1},
    {"atan2", "Atan2", Fn::kAtan2, 2},
    {"sinh", "Sinh", Fn::kSinh, 1},
    {"cosh", "Cosh", Fn::kCosh, 1},
    {"tanh", "Tanh", Fn::kTanh, 1},
    {"sqrt", "Sqrt", Fn::kSqrt, 1},
    {"abs", "Abs", Fn::kAbs, 1},
    {"exp", "Exp", Fn::kExp, 1},
    {"log", "Log", Fn::kLog, 1},
    {"log10", "Log10", Fn::kLog10, 1},
    {"log2", "Log2", Fn::kLog2, 1},
    {"pow", "Pow", Fn::kPow, 2},
    {"hypot", "Hypot", Fn::kHypot, 2},
    {"mod", "Mod", Fn::kMod, 2},
    {"min", "Min", Fn::kMin, kVariadic},
    {"max", "Max", Fn::kMax, kVariadic},
    {"floor", "Floor", Fn::kFloor, 1},
    {"ceil", "Ceil", Fn::kCeil, 1},
    {"round", "Round", Fn::kRound, 1},
    {"trunc", "Trunc", Fn::kTrunc, 1},
    {"sign", "Sign", Fn::kSign, 1},
};

// Reducing by whole turns first keeps huge angles meaningful and lets exact
// multiples of 90 degrees give exact results instead of 6e-17 and friends.
// Returns the quarter-turn index 0..3 when the angle is such a multiple, else -1,
// and stores the reduced angle in |reduced|.
int QuarterTurns(double degrees, double& reduced) {
  // fmod is exact and leaves anything below a full turn as it is, so it is only needed
  // beyond one; below one the multiples of 90 are seven numbers. This is the evaluator's
  // hottest path: it runs for every sample of most plots.
  reduced = std::fabs(degrees) < 360.0 ? degrees : std::fmod(degrees, 360.0);
  if (std::isnan(reduced)) return -1;
  // The quotient of a multiple of 90 is exact; any other angle fails the product test.
  const int k = static_cast<int>(reduced / 90.0);  // in -3..3
  if (static_cast<double>(k) * 90.0 != reduced) return -1;
  return (k + 4) % 4;
}

double SinDegrees(double x) {
  static constexpr double kExact[4] = {0.0, 1.0, 0.0, -1.0};
  double r;
  const int q = QuarterTurns(x, r);
  return q >= 0 ? kExact[q] : std::sin(r * kDegToRad);
}

double CosDegrees(double x) {
  static constexpr double kExact[4] = {1.0, 0.0, -1.0, 0.0};
  double r;
  const int q = QuarterTurns(x, r);
  return q >= 0 ? kExact[q] : std::cos(r * kDegToRad);
}

double TanDegrees(double x) {
  double r;
  const int q = QuarterTurns(x, r);
  if (q < 0) return std::tan(r * kDegToRad);
  // The pole is a refusal rather than the huge finite value tan(pi/2) gives.
  return (q % 2 == 0) ? 0.0 : NAN;
}

}  // namespace

std::span<const FnEntry> Functions() {
  return kFunctions;
}

namespace {

[[gnu::always_inline]] inline double ApplyInline(Fn fn, double a, double b) {
  switch (fn) {
    case Fn::kSin: return SinDegrees(a);
    case Fn::kCos: return CosDegrees(a);
    case Fn::kTan: return TanDegrees(a);
    case Fn::kAsin: return std::asin(a) * kRadToDeg;
    case Fn::kAcos: return std::acos(a) * kRadToDeg;
    case Fn::kAtan: return std::atan(a) * kRadToDeg;
    case Fn::kAtan2: return std::atan2(a, b) * kRadToDeg;
    case Fn::kSinh: return std::sinh(a);
    case Fn::kCosh: return std::cosh(a);
    case Fn::kTanh: return std::tanh(a);
    case Fn::kSqrt: return std::sqrt(a);
    case Fn::kAbs: return std::fabs(a);
    case Fn::kExp: return std::exp(a);
    case Fn::kLog: return std::log(a);
    case Fn::kLog10: return std::log10(a);
    case Fn::kLog2: return std::log2(a);
    case Fn::kPow: return std::pow(a, b);
    case Fn::kHypot: return std::hypot(a, b);
    case Fn::kMod: return b == 0.0 ? NAN : std::fmod(a, b);
    case Fn::kMin:
    case Fn::kMax: return a;  // already folded while reading the arguments
    case Fn::kFloor: return std::floor(a);
    case Fn::kCeil: return std::ceil(a);
    case Fn::kRound: return std::round(a);
    case Fn::kTrunc: return std::trunc(a);
    case Fn::kSign: return a > 0.0 ? 1.0 : (a < 0.0 ? -1.0 : 0.0);
  }
  return NAN;
}

template <Fn kFn>
double Call(double a, double b) {
  return ApplyInline(kFn, a, b);
}

template <std::size_t... kIndex>
constexpr std::array<FnPointer, sizeof...(kIndex)> MakeFunctionTable(std::index_sequence<kIndex...>) {
  return {&Call<static_cast<Fn>(kIndex)>...};
}

constexpr auto kFunctionTable = MakeFunctionTable(std::make_index_sequence<static_cast<std::size_t>(Fn::kSign) + 1>());

}  // namespace

double Apply(Fn fn, double a, double b) {
  return ApplyInline(fn, a, b);
}

FnPointer Function(Fn fn) {
  return kFunctionTable[static_cast<std::size_t>(fn)];
}


}  // namespace formula_functions
