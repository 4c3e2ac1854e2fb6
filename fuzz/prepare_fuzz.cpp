#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "host/core/formula.h"
#include "plot/formula_preparation.h"

// The first 48 bytes choose the six variable values (any bit pattern, NaN and infinity
// included); the rest is the formula. Preparation must terminate, keep every letter that
// is not a standalone variable, and hand the evaluator a text it survives.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantelle::VariableValues values{};
  const size_t valueBytes = sizeof(values);
  if (size >= valueBytes) {
    std::memcpy(values.data(), data, valueBytes);
    data += valueBytes;
    size -= valueBytes;
  }
  const String formula(std::string_view(reinterpret_cast<const char*>(data), size));
  Bool usesTime = false;
  const String prepared = vantelle::PrepareFormula(formula, values, usesTime);
  if (usesTime != vantelle::FormulaUsesTime(formula)) {
    __builtin_trap();
  }
  const GeData value = StringToNumber(prepared, FORMAT_FLOAT, 30);
  if (!value.IsNil() && !std::isfinite(value.GetFloat())) {
    __builtin_trap();
  }
  return 0;
}
