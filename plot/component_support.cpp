#include "plot/component_support.h"

#include "host/scene/execution.h"
#include "plot/samples.h"
#include "plot/surfo_parameters.h"

namespace vantelle {

Bool IsSwitchedOn(const GeListNode* node) {
  const auto* op = dynamic_cast<const BaseObject*>(node);
  return op != nullptr && op->GetDeformMode();
}

Bool JoinPriorityList(BaseObject* op, PriorityList* list, Int32 priority) {
  if (list != nullptr) {
    list->Add(op, priority, EXECUTIONFLAGS::NONE);
  }
  return true;
}

Bool NoticePlotChange(BaseObject* op, UInt32& lastDataDirty) {
  const BaseObject* plot = FindPlotObject(op);
  if (plot == nullptr || plot->GetDirty(DIRTYFLAGS::DATA) == lastDataDirty) {
    return false;
  }
  op->Message(MSG_UPDATE);
  lastDataDirty = plot->GetDirty(DIRTYFLAGS::DATA);
  return true;
}

Bool PlotWatch::NewFrame(Int32 frame) {
  if (frame == lastFrame) {
    return false;
  }
  lastFrame = frame;
  return true;
}

Bool PlotWatch::BoxChanged(const BaseObject& plot) {
  const Float height = plot.GetDataInstance()->GetFloat(SURFO_HEIGHT);
  const Float size = plot.GetDataInstance()->GetFloat(SURFO_SIZE);
  if (height == lastHeight && size == lastSize) {
    return false;
  }
  lastHeight = height;
  lastSize = size;
  return true;
}

}  // namespace vantelle
