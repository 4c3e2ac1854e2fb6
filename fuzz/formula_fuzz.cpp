#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/core/formula.h"

// The evaluator promises finite-or-nothing for any bytes; a NaN or infinity
// escaping would poison every sample computed from it downstream.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const String text(std::string_view(reinterpret_cast<const char*>(data), size));
  const GeData value = StringToNumber(text, FORMAT_FLOAT, 30);
  if (!value.IsNil() && (value.GetType() != GeDataType::FLOAT || !std::isfinite(value.GetFloat()))) {
    __builtin_trap();
  }
  return 0;
}
