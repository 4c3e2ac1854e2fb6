#include "host/core/formula.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <system_error>

namespace {

// Every recursive cycle of the grammar passes through Parser::Unary, so capping
// its nesting bounds the stack no matter how hostile the text is.
constexpr int kMaxDepth = 200;

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;

enum class Fn : unsigned char {
  kSin, kCos, kTan, kAsin, kAcos, kAtan, kAtan2,
  kSinh, kCosh, kTanh,
  kSqrt, kAbs, kExp, kLog, kLog10, kLog2, kPow, kHypot, kMod,
  kMin, kMax,
  kFloor, kCeil, kRound, kTrunc, kSign,
};

constexpr int kVariadic = -1;

struct FnEntry {
  std::string_view name;  // lower case
  Fn fn;
  int arity;  // kVariadic means "one or more"
};

constexpr FnEntry kFunctions[] = {
    {"sin", Fn::kSin, 1},
    {"cos", Fn::kCos, 1},
    {"tan", Fn::kTan, 1},
    {"asin", Fn::kAsin, 1},
    {"acos", Fn::kAcos, 1},
    {"atan", Fn::kAtan, 1},
    {"atan2", Fn::kAtan2, 2},
    {"sinh", Fn::kSinh, 1},
    {"cosh", Fn::kCosh, 1},
    {"tanh", Fn::kTanh, 1},
    {"sqrt", Fn::kSqrt, 1},
    {"abs", Fn::kAbs, 1},
    {"exp", Fn::kExp, 1},
    {"log", Fn::kLog, 1},
    {"log10", Fn::kLog10, 1},
    {"log2", Fn::kLog2, 1},
    {"pow", Fn::kPow, 2},
    {"hypot", Fn::kHypot, 2},
    {"mod", Fn::kMod, 2},
    {"min", Fn::kMin, kVariadic},
    {"max", Fn::kMax, kVariadic},
    {"floor", Fn::kFloor, 1},
    {"ceil", Fn::kCeil, 1},
    {"round", Fn::kRound, 1},
    {"trunc", Fn::kTrunc, 1},
    {"sign", Fn::kSign, 1},
};

// Longer than any known name; anything longer is unknown without comparing.
constexpr std::size_t kMaxNameLength = 8;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char ToLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Reducing by whole turns first keeps huge angles meaningful and lets exact
// multiples of 90 degrees give exact results instead of 6e-17 and friends.
// Returns the quarter-turn index 0..3 when the angle is such a multiple, else -1,
// and stores the reduced angle in |reduced|.
int QuarterTurns(double degrees, double& reduced) {
  reduced = std::fmod(degrees, 360.0);
  if (std::fmod(reduced, 90.0) != 0.0) return -1;
  const int k = static_cast<int>(reduced / 90.0);  // exact, in -3..3
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

class Parser {
public:
  Parser(const char* begin, const char* end) : p_(begin), end_(end) {}

  bool Parse(double& out) {
    if (!Expr(out)) return false;
    SkipBlanks();
    return p_ == end_;
  }

private:
  void SkipBlanks() {
    while (p_ < end_ && (*p_ == ' ' || *p_ == '\t')) ++p_;
  }

  // Skips blanks, then consumes |c| if it is next.
  bool Accept(char c) {
    SkipBlanks();
    if (p_ < end_ && *p_ == c) {
      ++p_;
      return true;
    }
    return false;
  }

  static bool Finite(double v) { return std::isfinite(v); }

  bool Expr(double& out) {
    if (!Term(out)) return false;
    for (;;) {
      SkipBlanks();
      if (p_ == end_) return true;
      const char op = *p_;
      if (op != '+' && op != '-') return true;
      ++p_;
      double rhs;
      if (!Term(rhs)) return false;
      out = (op == '+') ? out + rhs : out - rhs;
      if (!Finite(out)) return false;
    }
  }

  bool Term(double& out) {
    if (!Unary(out)) return false;
    for (;;) {
      SkipBlanks();
      if (p_ == end_) return true;
      const char op = *p_;
      if (op != '*' && op != '/') return true;
      ++p_;
      double rhs;
      if (!Unary(rhs)) return false;
      if (op == '*') {
        out *= rhs;
      } else {
        if (rhs == 0.0) return false;
        out /= rhs;
      }
      if (!Finite(out)) return false;
    }
  }

  // Signs are folded in a loop so "------1" costs no stack; the sign applies to
  // the whole power, which is what makes -2^2 equal -4.
  bool Unary(double& out) {
    if (++depth_ > kMaxDepth) return false;
    bool negate = false;
    for (;;) {
      SkipBlanks();
      if (p_ == end_) return false;
      if (*p_ == '-') {
        negate = !negate;
      } else if (*p_ != '+') {
        break;
      }
      ++p_;
    }
    if (!Power(out)) return false;
    if (negate) out = -out;
    --depth_;
    return true;
  }

  // The exponent is a full unary so that 2^-1 works and 2^3^2 groups to the right.
  bool Power(double& out) {
    if (!Primary(out)) return false;
    if (!Accept('^')) return true;
    double exponent;
    if (!Unary(exponent)) return false;
    out = std::pow(out, exponent);
    return Finite(out);
  }

  bool Primary(double& out) {
    SkipBlanks();
    if (p_ == end_) return false;
    const char c = *p_;
    if (c == '(') {
      ++p_;
      if (!Expr(out)) return false;
      return Accept(')');
    }
    if (IsDigit(c) || c == '.') return Number(out);
    if (IsLetter(c)) return Name(out);
    return false;
  }

  // The digit run is delimited here rather than by from_chars so that exponent
  // notation is never consumed: "1e5" must leave the 'e' behind and fail.
  bool Number(double& out) {
    const char* const start = p_;
    bool nonzero_integer_part = false;
    bool any_digit = false;
    while (p_ < end_ && IsDigit(*p_)) {
      nonzero_integer_part |= (*p_ != '0');
      any_digit = true;
      ++p_;
    }
    if (p_ < end_ && *p_ == '.') {
      ++p_;
      while (p_ < end_ && IsDigit(*p_)) {
        any_digit = true;
        ++p_;
      }
    }
    if (!any_digit) return false;
    const auto [ptr, ec] = std::from_chars(start, p_, out, std::chars_format::fixed);
    if (ec == std::errc::result_out_of_range) {
      // Out of range with no whole part can only be underflow of a tiny fraction.
      if (nonzero_integer_part) return false;
      out = 0.0;
      return true;
    }
    return ec == std::errc() && ptr == p_;
  }

  bool Name(double& out) {
    char lower[kMaxNameLength];
    std::size_t length = 0;
    while (p_ < end_ && (IsLetter(*p_) || IsDigit(*p_))) {
      if (length < kMaxNameLength) lower[length] = ToLower(*p_);
      ++length;
      ++p_;
    }
    if (length > kMaxNameLength) return false;
    const std::string_view name(lower, length);

    if (name == "pi") {
      out = kPi;
      return true;
    }
    for (const FnEntry& entry : kFunctions) {
      if (entry.name == name) return Call(entry, out);
    }
    return false;
  }

  bool Call(const FnEntry& entry, double& out) {
    if (!Accept('(')) return false;
    double args[2] = {0.0, 0.0};
    int count = 0;
    for (;;) {
      double value;
      if (!Expr(value)) return false;
      if (entry.arity == kVariadic) {
        if (count == 0) {
          args[0] = value;
        } else if (entry.fn == Fn::kMin) {
          args[0] = value < args[0] ? value : args[0];
        } else {
          args[0] = value > args[0] ? value : args[0];
        }
      } else if (count < entry.arity) {
        args[count] = value;
      } else {
        return false;
      }
      ++count;
      if (Accept(';')) continue;
      if (Accept(')')) break;
      return false;
    }
    if (entry.arity != kVariadic && count != entry.arity) return false;
    out = Apply(entry.fn, args[0], args[1]);
    return Finite(out);
  }

  static double Apply(Fn fn, double a, double b) {
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

  const char* p_;
  const char* const end_;
  int depth_ = 0;
};

}  // namespace

std::optional<double> EvaluateFormulaText(std::string_view text) noexcept {
  double value;
  Parser parser(text.data(), text.data() + text.size());
  if (!parser.Parse(value)) return std::nullopt;
  return value;
}

namespace {
Int64 g_stringToNumberCount = 0;
Int64 g_stringToNumberFailures = 0;
}  // namespace

Int64 GetStringToNumberCount() {
  return g_stringToNumberCount;
}

Int64 GetStringToNumberFailureCount() {
  return g_stringToNumberFailures;
}

GeData StringToNumber(const String& text, Int32 /*format*/, Int32 /*fps*/) {
  ++g_stringToNumberCount;
  const std::optional<double> value = EvaluateFormulaText(text.View());
  if (!value) {
    ++g_stringToNumberFailures;
    return GeData();
  }
  return GeData(*value);
}
