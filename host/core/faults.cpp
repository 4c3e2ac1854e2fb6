#include "host/core/faults.h"

#include <array>

namespace {

struct FaultState {
  Int32 after = 0;
  Int32 remaining = 0;  // 0: inactive; -1: for ever
};

std::array<FaultState, static_cast<std::size_t>(HostFault::COUNT)> g_faults{};

FaultState& StateOf(HostFault fault) {
  return g_faults[static_cast<std::size_t>(fault)];
}

}  // namespace

void SetHostFault(HostFault fault, Int32 after, Int32 count) {
  StateOf(fault) = FaultState{after < 0 ? 0 : after, count};
}

void ClearHostFaults() {
  g_faults.fill(FaultState{});
}

Bool HostFaultTriggered(HostFault fault) {
  FaultState& state = StateOf(fault);
  if (state.remaining == 0) {
    return false;
  }
  if (state.after > 0) {
    --state.after;
    return false;
  }
  if (state.remaining > 0) {
    --state.remaining;
  }
  return true;
}
