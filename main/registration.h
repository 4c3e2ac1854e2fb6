// The object types the module registers, in order, with their icons.
#pragma once

#include "host/core/types.h"

namespace vantelle {

// The number of object types the module offers (one icon slot each).
inline constexpr Int32 kRegisteredTypeCount = 5;

// Registers every type in the order of the table; a failed registration does not stop
// the others.
void RegisterTypes();

}  // namespace vantelle
