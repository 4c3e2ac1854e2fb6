#include "plot/samples.h"

#include "host/scene/objects.h"
#include "main/type_ids.h"

namespace vantelle {

Bool PlotSamples::IsComplete() const {
  if (resolution < 1) {
    return false;
  }
  // 64-bit, so a huge resolution from a saved scene cannot overflow the square.
  const Int64 side = static_cast<Int64>(resolution) + 1;
  return static_cast<Int64>(samples.size()) == side * side;
}

BaseObject* FindPlotObject(const BaseObject* component) {
  if (component == nullptr) {
    return nullptr;
  }
  for (BaseObject* op = component->GetUp(); op != nullptr; op = op->GetUp()) {
    if (op->GetType() == Osurfo) {
      return op;
    }
  }
  return nullptr;
}

BaseObject* FindComponent(const BaseObject* plot, Int32 type) {
  if (plot == nullptr) {
    return nullptr;
  }
  BaseObject* op = plot->GetDown();
  while (op != nullptr) {
    if (op->GetType() == type) {
      return op;
    }
    if (op->GetDown() != nullptr) {
      op = op->GetDown();
      continue;
    }
    // Climb until a next sibling turns up, but never to the plot itself.
    while (op != nullptr && op->GetNext() == nullptr) {
      op = op->GetUp();
      if (op == plot) {
        return nullptr;
      }
    }
    if (op != nullptr) {
      op = op->GetNext();
    }
  }
  return nullptr;
}

}  // namespace vantelle
