#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "host/core/formula.h"
#include "plot/formula_preparation.h"

// A formula read once and evaluated with numbers in its slots must give what filling the
// numbers into the text and evaluating that gives, bit for bit, for every text and every
// value. The input either is the formula itself or, mostly, steers a generator of the
// formula language so that most cases get past the syntax check.
namespace {

class Bytes {
public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return at_ >= size_; }
  unsigned Next() { return at_ < size_ ? data_[at_++] : 0; }
  double NextDouble() {
    double d = 0.0;
    unsigned char raw[sizeof d] = {};
    for (unsigned char& byte : raw) byte = static_cast<unsigned char>(Next());
    std::memcpy(&d, raw, sizeof d);
    return d;
  }

private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

constexpr const char* kNames[] = {"Sin", "Cos", "Tan", "Asin", "Acos", "Atan", "Atan2", "Sinh", "Cosh",
                                  "Tanh", "Sqrt", "Abs", "Exp", "Log", "Log10", "Log2", "Pow", "Hypot",
                                  "Mod", "Min", "Max", "Floor", "Ceil", "Round", "Trunc", "Sign", "sIN"};
constexpr int kArity[] = {1, 1, 1, 1, 1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, -1, -1, 1, 1, 1, 1, 1, 1};

void Blank(Bytes& in, std::string& out) {
  const unsigned b = in.Next() % 8;
  if (b == 0) out += ' ';
  if (b == 1) out += "  ";
  if (b == 2) out += '\t';
}

void Expression(Bytes& in, std::string& out, int depth);

void Operand(Bytes& in, std::string& out, int depth) {
  Blank(in, out);
  const unsigned choice = in.Empty() ? 0 : in.Next() % (depth > 12 ? 4 : 10);
  switch (choice) {
    case 0:
    case 1: out += "txzhrf"[in.Next() % 6]; break;
    case 2: {
      static const char* const kNumbers[] = {"0", "1", "2", "0.5", "180", "90", "3.25", ".5", "1.", "360",
                                            "0.001", "1000000", "45", "10", "00", "7.0"};
      out += kNumbers[in.Next() % 16];
      break;
    }
    case 3: out += (in.Next() % 2) ? "Pi" : "pi"; break;
    case 4:
    case 5: out += '-'; Operand(in, out, depth + 1); break;
    case 6: out += '('; Expression(in, out, depth + 1); out += ')'; break;
    case 7: out += '+'; Operand(in, out, depth + 1); break;
    default: {
      const unsigned f = in.Next() % (sizeof kArity / sizeof kArity[0]);
      out += kNames[f];
      out += '(';
      const int count = kArity[f] > 0 ? kArity[f] : 1 + static_cast<int>(in.Next() % 4);
      for (int i = 0; i < count; ++i) {
        if (i > 0) out += ';';
        Expression(in, out, depth + 1);
      }
      out += ')';
      break;
    }
  }
  Blank(in, out);
}

void Expression(Bytes& in, std::string& out, int depth) {
  Operand(in, out, depth);
  const int terms = static_cast<int>(in.Next() % 4);
  for (int i = 0; i < terms && !in.Empty(); ++i) {
    out += "+-*/^^-*"[in.Next() % 8];
    Operand(in, out, depth + 1);
  }
}

// Grid-like values mostly (what a plot hands the formula), raw bit patterns sometimes.
double Value(Bytes& in) {
  const unsigned kind = in.Next() % 8;
  if (kind == 0) return in.NextDouble();
  const double whole = static_cast<double>(static_cast<int>(in.Next()) - 128);
  if (kind == 1) return whole;
  if (kind == 2) return whole / 1000.0 + static_cast<double>(in.Next()) * 1e-4;
  if (kind == 3) return -0.0;
  if (kind == 4) return whole * 7.2;
  return whole + static_cast<double>(in.Next()) / 256.0;
}

bool SameBits(std::optional<double> a, std::optional<double> b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || std::memcmp(&*a, &*b, sizeof(double)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in(data, size);
  std::string text;
  if (in.Next() % 4 == 0) {
    text.assign(reinterpret_cast<const char*>(data) + 1, size > 0 ? size - 1 : 0);
  } else {
    Expression(in, text, 0);
  }
  const String formula(text);
  const std::vector<vantelle::VariableSlot> slots = vantelle::FindVariableSlots(formula);
  const bool wellFormed = !vantelle::CheckFormula(formula, slots).has_value();
  const std::optional<CompiledFormula> compiled = vantelle::CompileFormula(formula, slots);
  // What compiles is exactly what the check accepts, short of the stack limit.
  if (compiled.has_value() && !wellFormed) __builtin_trap();
  if (!compiled) return 0;
  for (int round = 0; round < 4; ++round) {
    vantelle::VariableValues values{};
    for (double& v : values) v = Value(in);
    Bool usesTime = false;
    const std::optional<double> expected = vantelle::EvaluateFilledText(formula, slots, values, 30, usesTime);
    const std::optional<double> actual = vantelle::EvaluateCompiled(*compiled, slots, values);
    if (!SameBits(expected, actual)) __builtin_trap();
  }
  return 0;
}
