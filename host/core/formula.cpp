#include "host/core/formula.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>
#include <system_error>

#include "host/core/formula_functions.h"

namespace {

using formula_functions::Apply;
using formula_functions::Fn;
using formula_functions::FnEntry;
using formula_functions::Functions;
using formula_functions::kMaxNameLength;
using formula_functions::kPi;
using formula_functions::kVariadic;

// Every recursive cycle of the grammar passes through Parser::Unary, so capping
// its nesting bounds the stack no matter how hostile the text is.
constexpr int kMaxDepth = 200;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char ToLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// ---- Wording of syntax errors -----------------------------------------------------------

// A piece of the text in quotes, cut short (at a character boundary) when long.
std::string Quote(const char* begin, const char* end) {
  constexpr std::ptrdiff_t kShown = 24;
  const char* cut = end;
  if (end - begin > kShown) {
    cut = begin + kShown;
    while (cut > begin && (static_cast<unsigned char>(*cut) & 0xC0) == 0x80) --cut;
  }
  return "\"" + std::string(begin, cut) + (cut < end ? "...\"" : "\"");
}

std::string ArgumentList(int arity) {
  switch (arity) {
    case 1: return "x";
    case 2: return "x; y";
    default: return "x; y; ...";
  }
}

std::string ArityReason(const FnEntry& entry, int found) {
  const std::string name(entry.display);
  if (entry.arity == kVariadic) {
    return name + " takes one or more arguments, as in " + name + "(" + ArgumentList(kVariadic) + ")";
  }
  return name + " takes " + std::to_string(entry.arity) + (entry.arity == 1 ? " argument" : " arguments") +
         ", not " + std::to_string(found);
}

// Known names within a small edit distance of a misspelt one; the first in the table wins
// a tie, so "Sinn" suggests Sin rather than Sinh.
std::string Suggestion(std::string_view word) {
  if (word.size() > 2 * kMaxNameLength) return {};
  std::string lower(word);
  std::transform(lower.begin(), lower.end(), lower.begin(), ToLower);
  const std::size_t tolerance = std::clamp<std::size_t>(word.size() / 3, 1, 2);
  std::size_t best = tolerance + 1;
  std::string_view bestName;
  for (const FnEntry& entry : Functions()) {
    const std::size_t d = EditDistance(lower, entry.name);
    if (d < best) {
      best = d;
      bestName = entry.display;
    }
  }
  if (EditDistance(lower, "pi") < best) bestName = "Pi";
  return bestName.empty() ? std::string() : " (did you mean " + std::string(bestName) + "?)";
}

constexpr const char* kCommaReason = "\",\" is not part of the formula language: write \".\" in numbers and \";\" "
                                     "between a function's arguments";

// ---- The parser ----------------------------------------------------------------------------

enum class Mode { kEvaluate, kCheck, kCompile };

// One grammar for evaluating, checking and compiling. Evaluating computes values and gives
// up at the first failure; checking computes nothing, reads the number slots as numbers and
// records the first error with its place and reason. Every failing path of the checker
// goes through Fail, and no failure is ever recovered from, so the first one recorded is
// the first one met reading from the left. Compiling accepts what checking accepts and
// writes, instead of values, the operations that compute them in the order evaluating
// would, so a compiled text gives the same value bit for bit.
template <Mode kMode>
class Parser {
  static constexpr bool kCheck = kMode == Mode::kCheck;
  static constexpr bool kCompile = kMode == Mode::kCompile;
  // Modes that read number slots and refuse what the check refuses.
  static constexpr bool kStrict = kCheck || kCompile;

public:
  Parser(const char* begin, const char* end) : begin_(begin), p_(begin), end_(end) {}
  Parser(const char* begin, const char* end, const std::vector<Int32>& slots)
      : begin_(begin), p_(begin), end_(end), slots_(&slots) {}
  Parser(const char* begin, const char* end, const std::vector<Int32>& slots, const std::vector<Int32>& variables,
         CompiledFormulaProgram& program)
      : begin_(begin), p_(begin), end_(end), slots_(&slots), variables_(&variables), program_(&program) {}

  bool Parse(double& out) {
    if constexpr (kCheck) {
      SkipBlanks();
      if (p_ == end_) return Fail(p_, "the formula is empty");
    }
    if (!Expr(out)) return false;
    SkipBlanks();
    if (p_ == end_) return true;
    return FailAfterValue(Expecting::kEnd, nullptr, {});
  }

  const std::optional<FormulaError>& Error() const { return error_; }
  const char* Position() const { return p_; }

  // 1-based, in characters: UTF-8 continuation bytes do not count.
  Int32 Column(const char* at) const {
    Int32 column = 1;
    for (const char* q = begin_; q < at; ++q) {
      if ((static_cast<unsigned char>(*q) & 0xC0) != 0x80) ++column;
    }
    return column;
  }

private:
  enum class Expecting { kEnd, kClose, kArgument };

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

  char NextNonBlank(const char* q) const {
    while (q < end_ && (*q == ' ' || *q == '\t')) ++q;
    return q < end_ ? *q : '\0';
  }

  // Whether a number slot stands at |q|. The parser only moves forward, so the slots are
  // walked once.
  bool IsSlot(const char* q) {
    if constexpr (!kStrict) {
      return false;
    } else {
      if (slots_ == nullptr) return false;
      const auto offset = static_cast<Int64>(q - begin_);
      while (nextSlot_ < slots_->size() && (*slots_)[nextSlot_] < offset) ++nextSlot_;
      return nextSlot_ < slots_->size() && (*slots_)[nextSlot_] == offset;
    }
  }

  bool Fail(const char* at, const std::string& reason) {
    if constexpr (kCheck) {
      if (!error_) error_ = FormulaError{Column(at), String(reason)};
    } else {
      (void)at;
      (void)reason;
    }
    return false;
  }

  // The reason is only worded when checking, so evaluating never builds texts.
  template <class Reason>
  bool FailWith(const char* at, Reason&& reason) {
    if constexpr (kCheck) return Fail(at, reason());
    (void)at;
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
      if constexpr (kCompile) {
        Emit(op == '+' ? Op::kAdd : Op::kSubtract);
      } else if constexpr (!kCheck) {
        out = (op == '+') ? out + rhs : out - rhs;
        if (!Finite(out)) return false;
      }
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
      if (op == '*' && p_ < end_ && *p_ == '*') {
        return FailWith(p_ - 1, [] { return std::string("\"**\" is not an operator; write \"^\" for a power, as in x^2"); });
      }
      double rhs;
      if (!Unary(rhs)) return false;
      if constexpr (kCompile) {
        Emit(op == '*' ? Op::kMultiply : Op::kDivide);
      } else if constexpr (!kCheck) {
        if (op == '*') {
          out *= rhs;
        } else {
          if (rhs == 0.0) return false;
          out /= rhs;
        }
        if (!Finite(out)) return false;
      }
    }
  }

  // Signs are folded in a loop so "------1" costs no stack; the sign applies to
  // the whole power, which is what makes -2^2 equal -4.
  bool Unary(double& out) {
    if (++depth_ > kMaxDepth) return FailWith(p_, [] { return std::string("nested more than 200 levels deep"); });
    bool negate = false;
    for (;;) {
      SkipBlanks();
      if (p_ == end_) return FailValueExpected();
      if (*p_ == '-') {
        negate = !negate;
      } else if (*p_ != '+') {
        break;
      }
      ++p_;
    }
    if (!Power(out)) return false;
    if (negate) {
      if constexpr (kCompile) {
        Emit(Op::kNegate);
      } else {
        out = -out;
      }
    }
    --depth_;
    return true;
  }

  // The exponent is a full unary so that 2^-1 works and 2^3^2 groups to the right.
  bool Power(double& out) {
    if (!Primary(out)) return false;
    if (!Accept('^')) return true;
    double exponent;
    if (!Unary(exponent)) return false;
    if constexpr (kCheck) return true;
    if constexpr (kCompile) {
      Emit(Op::kPower);
      return true;
    }
    out = std::pow(out, exponent);
    return Finite(out);
  }

  bool Primary(double& out) {
    SkipBlanks();
    if (p_ == end_) return FailValueExpected();
    if (IsSlot(p_)) {
      // A negative number filled in before "^" arrives in parentheses: one level more.
      if (depth_ + 1 > kMaxDepth) return FailWith(p_, [] { return std::string("nested more than 200 levels deep"); });
      if constexpr (kCompile) Emit(Op::kVariable, (*variables_)[nextSlot_]);
      ++p_;
      out = 0.0;
      return true;
    }
    const char c = *p_;
    if (c == '(') {
      const char* const open = p_;
      ++p_;
      if (!Expr(out)) return false;
      if (Accept(')')) return true;
      return FailAfterValue(Expecting::kClose, open, {});
    }
    if (IsDigit(c) || c == '.') return Number(out);
    if (IsLetter(c)) return Name(out);
    return FailValueExpected();
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
    if (!any_digit) return FailWith(start, [] { return std::string("a \".\" without digits is not a number"); });
    if constexpr (kStrict) {
      if (p_ < end_ && IsLetter(*p_) && !IsSlot(p_)) return FailLetterAfterNumber(start);
    }
    const auto [ptr, ec] = std::from_chars(start, p_, out, std::chars_format::fixed);
    if (ec == std::errc::result_out_of_range) {
      // Out of range with no whole part can only be underflow of a tiny fraction.
      if (nonzero_integer_part) {
        return FailWith(start, [&] { return "the number " + Quote(start, p_) + " is too large"; });
      }
      out = 0.0;
      return EmitConstant(out);
    }
    return ec == std::errc() && ptr == p_ && EmitConstant(out);
  }

  // "1e3" and "2x": a number with letters glued to it.
  bool FailLetterAfterNumber(const char* start) {
    const char* const letter = p_;
    const char* q = letter + 1;
    if (*letter == 'e' || *letter == 'E') {
      const char* digits = q < end_ && (*q == '+' || *q == '-') ? q + 1 : q;
      if (digits < end_ && IsDigit(*digits)) {
        const char* stop = digits;
        while (stop < end_ && IsDigit(*stop)) ++stop;
        const std::string sign = *q == '-' ? "-" : "";
        return Fail(start, "exponent notation (" + Quote(start, stop) + ") is not part of the formula language; write " +
                               std::string(start, letter) + " * 10^" + sign + std::string(digits, stop));
      }
    }
    while (q < end_ && (IsLetter(*q) || IsDigit(*q))) ++q;
    return Fail(letter, "a letter right after a number is no variable: write " + std::string(start, letter) + " * " +
                            std::string(letter, std::min(q, letter + 24)));
  }

  bool Name(double& out) {
    const char* const start = p_;
    char lower[kMaxNameLength];
    std::size_t length = 0;
    while (p_ < end_ && (IsLetter(*p_) || IsDigit(*p_))) {
      if (length < kMaxNameLength) lower[length] = ToLower(*p_);
      ++length;
      ++p_;
    }
    if (length <= kMaxNameLength) {
      const std::string_view name(lower, length);
      if (name == "pi") {
        if (kStrict && NextNonBlank(p_) == '(') {
          return Fail(start, "Pi is a number and takes no arguments");
        }
        out = kPi;
        return EmitConstant(out);
      }
      for (const FnEntry& entry : Functions()) {
        if (entry.name == name) return Call(entry, start, out);
      }
    }
    return FailWith(start, [&] {
      const bool called = NextNonBlank(p_) == '(';
      return std::string(called ? "unknown function " : "unknown name ") + Quote(start, p_) +
             Suggestion(std::string_view(start, static_cast<std::size_t>(p_ - start)));
    });
  }

  bool Call(const FnEntry& entry, const char* name, double& out) {
    if (!Accept('(')) {
      return FailWith(name, [&] {
        const std::string display(entry.display);
        return display + " needs parentheses around " + (entry.arity == 1 ? "its argument" : "its arguments") +
               ", as in " + display + "(" + ArgumentList(entry.arity) + ")";
      });
    }
    const char* const open = p_ - 1;
    if (kStrict && Accept(')')) return Fail(name, ArityReason(entry, 0));
    double args[2] = {0.0, 0.0};
    int count = 0;
    for (;;) {
      double value;
      if (!Expr(value)) return false;
      if constexpr (kCheck) {
        ++count;
      } else if constexpr (kCompile) {
        if (entry.arity == kVariadic) {
          if (count > 0) Emit(entry.fn == Fn::kMin ? Op::kMin : Op::kMax);
        } else if (count >= entry.arity) {
          return false;
        }
        ++count;
      } else {
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
      }
      if (Accept(';')) continue;
      if (Accept(')')) break;
      return FailAfterValue(Expecting::kArgument, open, entry.display);
    }
    if (entry.arity != kVariadic && count != entry.arity) {
      return FailWith(name, [&] { return ArityReason(entry, count); });
    }
    if constexpr (kCheck) return true;
    if constexpr (kCompile) {
      // Min and Max are folded argument by argument and need no call. A function of a
      // bare variable, as in Sin(x), is one step instead of two: code in this order ends
      // with a push only when the whole argument is that push.
      std::vector<CompiledFormulaProgram::Instruction>& code = program_->code;
      if (entry.arity == 1 && !code.empty() && code.back().op == Op::kVariable) {
        code.back() = {Op::kCallVariable, code.back().argument, formula_functions::Function(entry.fn)};
        return true;
      }
      if (entry.arity == 1) Emit(Op::kCall1, 0, formula_functions::Function(entry.fn));
      if (entry.arity == 2) Emit(Op::kCall2, 0, formula_functions::Function(entry.fn));
      return true;
    }
    out = Apply(entry.fn, args[0], args[1]);
    return Finite(out);
  }

  // Where a value is wanted but something else stands.
  bool FailValueExpected() {
    if constexpr (!kCheck) {
      return false;
    } else {
      SkipBlanks();
      if (p_ == end_) return Fail(p_, "the formula ends where a value should follow");
      const char c = *p_;
      if (c == ',') return Fail(p_, kCommaReason);
      if (c == ')' || c == ';' || c == '*' || c == '/' || c == '^') {
        return Fail(p_, "a value is missing before \"" + std::string(1, c) + "\"");
      }
      return Fail(p_, Unexpected());
    }
  }

  // Where a complete value is followed by something other than what may come next: the
  // end of the text, the ")" of a group, or the ";" or ")" of a function's arguments.
  bool FailAfterValue(Expecting expecting, const char* open, std::string_view function) {
    if constexpr (!kCheck) {
      (void)expecting;
      (void)open;
      (void)function;
      return false;
    } else {
      SkipBlanks();
      if (p_ == end_) {
        if (expecting == Expecting::kArgument) {
          return Fail(p_, "missing \")\" after the arguments of " + std::string(function));
        }
        return Fail(p_, "missing \")\" to close the \"(\" at column " + std::to_string(Column(open)));
      }
      const char c = *p_;
      if (c == ',') {
        return Fail(p_, expecting == Expecting::kArgument
                            ? std::string("\",\" does not separate arguments; write \";\", as in Pow(x; 2)")
                            : std::string(kCommaReason));
      }
      if (c == ';') return Fail(p_, "\";\" separates a function's arguments and stands only inside its parentheses");
      if (c == ')') return Fail(p_, "\")\" has no matching \"(\"");
      if (IsDigit(c) || c == '.' || IsLetter(c) || c == '(') {
        const char* stop = p_ + 1;
        if (c != '(') {
          while (stop < end_ && (IsLetter(*stop) || IsDigit(*stop) || (*stop == '.' && !IsLetter(c)))) ++stop;
        }
        return Fail(p_, "an operator is missing before " + Quote(p_, IsSlot(p_) ? p_ + 1 : stop));
      }
      return Fail(p_, Unexpected());
    }
  }

  std::string Unexpected() const {
    const auto c = static_cast<unsigned char>(*p_);
    if (c == '[' || c == ']' || c == '{' || c == '}') {
      return "\"" + std::string(1, static_cast<char>(c)) + "\" does not group; use \"(\" and \")\"";
    }
    if (c == '\n' || c == '\r') return "unexpected line break";
    if (c < 0x20 || c == 0x7F) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", c);
      return std::string("unexpected control character ") + code;
    }
    const char* stop = p_ + 1;
    if (c >= 0x80) {
      while (stop < end_ && (static_cast<unsigned char>(*stop) & 0xC0) == 0x80 && stop - p_ < 4) ++stop;
    }
    return "unexpected " + Quote(p_, stop);
  }

  using Op = CompiledFormulaProgram::Op;

  // Appends an operation and keeps the stack depth it needs.
  void Emit(Op code, Int32 argument = 0, double (*function)(double, double) = nullptr) {
    program_->code.push_back({code, argument, function});
    switch (code) {
      case Op::kConstant:
      case Op::kVariable:
      case Op::kCallVariable:
      case Op::kInput: ++stack_; break;
      case Op::kNegate:
      case Op::kCall1: break;
      default: --stack_; break;
    }
    program_->stackSize = std::max(program_->stackSize, stack_);
  }

  bool EmitConstant(double value) {
    if constexpr (kCompile) {
      program_->constants.push_back(value);
      Emit(Op::kConstant, static_cast<Int32>(program_->constants.size() - 1));
    } else {
      (void)value;
    }
    return true;
  }

  const char* const begin_;
  const char* p_;
  const char* const end_;
  int depth_ = 0;
  const std::vector<Int32>* slots_ = nullptr;
  const std::vector<Int32>* variables_ = nullptr;
  CompiledFormulaProgram* program_ = nullptr;
  Int32 stack_ = 0;
  std::size_t nextSlot_ = 0;
  std::optional<FormulaError> error_;
};

}  // namespace

std::optional<double> EvaluateFormulaText(std::string_view text) noexcept {
  double value;
  Parser<Mode::kEvaluate> parser(text.data(), text.data() + text.size());
  if (!parser.Parse(value)) return std::nullopt;
  return value;
}

std::optional<FormulaError> CheckFormulaText(const String& text, const std::vector<Int32>& numberSlots) {
  const std::string_view view = text.View();
  Parser<Mode::kCheck> parser(view.data(), view.data() + view.size(), numberSlots);
  double ignored = 0.0;
  if (parser.Parse(ignored)) return std::nullopt;
  if (parser.Error()) return parser.Error();
  return FormulaError{parser.Column(parser.Position()), String("the formula cannot be read here")};
}

std::optional<CompiledFormula> CompiledFormula::Compile(std::string_view text, const std::vector<Int32>& slots,
                                                        const std::vector<Int32>& slotVariables) {
  if (slots.size() != slotVariables.size()) return std::nullopt;
  CompiledFormula compiled;
  Parser<Mode::kCompile> parser(text.data(), text.data() + text.size(), slots, slotVariables, compiled.program_);
  double ignored = 0.0;
  if (!parser.Parse(ignored) || compiled.program_.stackSize > kMaxStack) return std::nullopt;
  return compiled;
}

bool CompiledFormula::Evaluate(const double* variables, double& value) const noexcept {
  using Op = CompiledFormulaProgram::Op;
  // stack[0] is never used: `top` starts there, below the first value, rather than before
  // the array, where a pointer may not point.
  double stack[kMaxStack + 1];
  double* top = stack;  // the value on top of the stack
  const double* constants = program_.constants.data();
  // Every check below is the evaluator's at the same step: a result that is not finite, or
  // a division by zero, leaves the text without a value.
  for (const CompiledFormulaProgram::Instruction& instruction : program_.code) {
    switch (instruction.op) {
      case Op::kConstant: *++top = constants[instruction.argument]; break;
      case Op::kVariable: *++top = variables[instruction.argument]; break;
      case Op::kNegate: *top = -*top; break;
      case Op::kAdd:
        --top;
        top[0] = top[0] + top[1];
        if (!std::isfinite(top[0])) return false;
        break;
      case Op::kSubtract:
        --top;
        top[0] = top[0] - top[1];
        if (!std::isfinite(top[0])) return false;
        break;
      case Op::kMultiply:
        --top;
        top[0] = top[0] * top[1];
        if (!std::isfinite(top[0])) return false;
        break;
      case Op::kDivide:
        --top;
        if (top[1] == 0.0) return false;
        top[0] = top[0] / top[1];
        if (!std::isfinite(top[0])) return false;
        break;
      case Op::kPower:
        --top;
        top[0] = std::pow(top[0], top[1]);
        if (!std::isfinite(top[0])) return false;
        break;
      case Op::kCall1:
        top[0] = instruction.function(top[0], 0.0);
        if (!std::isfinite(top[0])) return false;
        break;
      case Op::kCallVariable:
        *++top = instruction.function(variables[instruction.argument], 0.0);
        if (!std::isfinite(top[0])) return false;
        break;
      case Op::kInput:
        *++top = variables[instruction.argument];
        if (!std::isfinite(top[0])) return false;
        break;
      case Op::kCall2:
        --top;
        top[0] = instruction.function(top[0], top[1]);
        if (!std::isfinite(top[0])) return false;
        break;
      case Op::kMin:
        --top;
        top[0] = top[1] < top[0] ? top[1] : top[0];
        break;
      case Op::kMax:
        --top;
        top[0] = top[1] > top[0] ? top[1] : top[0];
        break;
    }
  }
  value = *top;
  return true;
}

std::vector<CompiledFormula::LiftedCall> CompiledFormula::LiftVariableCalls(Int32 firstInput) {
  using Op = CompiledFormulaProgram::Op;
  std::vector<LiftedCall> lifted;
  for (CompiledFormulaProgram::Instruction& instruction : program_.code) {
    if (instruction.op != Op::kCallVariable) continue;
    // Few distinct pairs exist (a function of one of six variables), so a search is cheap.
    auto same = std::find_if(lifted.begin(), lifted.end(), [&](const LiftedCall& call) {
      return call.function == instruction.function && call.variable == instruction.argument;
    });
    if (same == lifted.end()) {
      lifted.push_back({instruction.function, instruction.argument});
      same = lifted.end() - 1;
    }
    instruction = {Op::kInput, firstInput + static_cast<Int32>(same - lifted.begin()), nullptr};
  }
  return lifted;
}

namespace {
// Atomic, since compiled formulas are evaluated on several threads and counted from there.
std::atomic<Int64> g_stringToNumberCount{0};
std::atomic<Int64> g_stringToNumberFailures{0};
}  // namespace

Int64 GetStringToNumberCount() {
  return g_stringToNumberCount.load(std::memory_order_relaxed);
}

Int64 GetStringToNumberFailureCount() {
  return g_stringToNumberFailures.load(std::memory_order_relaxed);
}

void CountFormulaEvaluations(Int64 evaluations, Int64 failures) {
  g_stringToNumberCount.fetch_add(evaluations, std::memory_order_relaxed);
  g_stringToNumberFailures.fetch_add(failures, std::memory_order_relaxed);
}

GeData StringToNumber(const String& text, Int32 /*format*/, Int32 /*fps*/) {
  const std::optional<double> value = EvaluateFormulaText(text.View());
  CountFormulaEvaluations(1, value ? 0 : 1);
  if (!value) {
    return GeData();
  }
  return GeData(*value);
}
