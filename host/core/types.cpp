#include "host/core/types.h"

Int32 BaseTime::GetFrame(Int32 fps) const {
  const Float divisor = std::floor(denominator);
  const Float quotient = std::trunc(std::floor(static_cast<Float>(fps) * numerator) / divisor);
  if (divisor == 0.0 || std::isnan(quotient)) {
    return 0;
  }
  // Truncation to Int32 saturates rather than overflowing.
  if (quotient >= static_cast<Float>(LIMIT_MAX_INT32)) {
    return LIMIT_MAX_INT32;
  }
  if (quotient <= static_cast<Float>(LIMIT_MIN_INT32)) {
    return LIMIT_MIN_INT32;
  }
  return static_cast<Int32>(quotient);
}
