#include "plot/samples.h"

namespace vantelle {

Bool PlotSamples::IsComplete() const {
  if (resolution < 1) {
    return false;
  }
  // 64-bit, so a huge resolution from a saved scene cannot overflow the square.
  const Int64 side = static_cast<Int64>(resolution) + 1;
  return static_cast<Int64>(samples.size()) == side * side;
}

}  // namespace vantelle
