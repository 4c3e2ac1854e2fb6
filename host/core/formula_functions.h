// The functions of the host's formula language: their names, argument counts and values
// (trigonometry in degrees). Shared by the evaluator and its syntax check; internal to
// the formula evaluator.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace formula_functions {

inline constexpr double kPi = 3.14159265358979323846;

enum class Fn : unsigned char {
  kSin, kCos, kTan, kAsin, kAcos, kAtan, kAtan2,
  kSinh, kCosh, kTanh,
  kSqrt, kAbs, kExp, kLog, kLog10, kLog2, kPow, kHypot, kMod,
  kMin, kMax,
  kFloor, kCeil, kRound, kTrunc, kSign,
};

inline constexpr int kVariadic = -1;

struct FnEntry {
  std::string_view name;     // lower case
  std::string_view display;  // as people write it
  Fn fn;
  int arity;  // kVariadic means "one or more"
};

// Longer than any known name; anything longer is unknown without comparing.
inline constexpr std::size_t kMaxNameLength = 8;

// Every function, in the order a misspelling's suggestion prefers on a tie.
std::span<const FnEntry> Functions();

// The function's value of its arguments (b only for two-argument functions); not finite
// where the function has no value, which the evaluator then refuses.
double Apply(Fn fn, double a, double b);

// The function itself, for a caller that calls it many times: Function(fn)(a, b) gives
// exactly Apply(fn, a, b), without choosing the function on every call.
using FnPointer = double (*)(double a, double b);
FnPointer Function(Fn fn);

}  // namespace formula_functions
