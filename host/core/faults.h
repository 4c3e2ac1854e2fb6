// Fault injection, so that tests can drive the failure paths of host operations that
// cannot fail on demand otherwise (allocation, render preparation).
#pragma once

#include "host/core/types.h"

enum class HostFault : Int32 {
  GRADIENT_ALLOC,        // Gradient::Alloc returns null
  GRADIENT_RENDER,       // Gradient::PrepareRenderData fails
  OBJECT_ALLOC,          // BaseObject::Alloc returns null
  TAG_ALLOC,             // tag allocation returns null
  BITMAP_ALLOC,          // BaseBitmap::Alloc returns null
  COUNT
};

// Lets `after` more calls of the operation succeed, then fails the next `count` calls
// (-1: every later call) until cleared.
void SetHostFault(HostFault fault, Int32 after, Int32 count = 1);
void ClearHostFaults();

// Called by the operation itself: whether this call must fail. Consumes one call.
Bool HostFaultTriggered(HostFault fault);
