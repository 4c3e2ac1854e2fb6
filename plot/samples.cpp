#include "plot/samples.h"

#include "common/type_ids.h"
#include "host/scene/objects.h"

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
  for (BaseObject* op = plot->GetDown(); op != nullptr; op = NextBelow(op, plot)) {
    if (op->GetType() == type) {
      return op;
    }
  }
  return nullptr;
}

BaseObject* NextBelow(const BaseObject* op, const BaseObject* root) {
  if (op == nullptr) {
    return nullptr;
  }
  if (op->GetDown() != nullptr) {
    return op->GetDown();
  }
  if (op == root) {
    return nullptr;
  }
  // Climb until a next sibling turns up, but never to the root itself.
  while (op->GetNext() == nullptr) {
    op = op->GetUp();
    if (op == nullptr || op == root) {
      return nullptr;
    }
  }
  return op->GetNext();
}

}  // namespace vantelle
