// What the plot's components share: their place in the priority list, their switched-off
// state, and (for the spline components) what they last saw of the plot's frame and box.
#pragma once

#include "host/scene/objects.h"

namespace vantelle {

// Whether the component is switched on; every parameter of a switched-off one is disabled.
Bool IsSwitchedOn(const GeListNode* node);

// Adds the component to the priority list at its priority; always true.
Bool JoinPriorityList(BaseObject* op, PriorityList* list, Int32 priority);

// Whether the component's plot changed its data since `lastDataDirty`, the plot's data
// dirty count the component saw last. On a change the component marks itself changed
// (MSG_UPDATE) and remembers the new count. False without a plot.
Bool NoticePlotChange(BaseObject* op, UInt32& lastDataDirty);

// The frame and the plot's height and size as a component last saw them. Starts with
// values no document or plot has, so the first look always sees a change.
struct PlotWatch {
  Int32 lastFrame = LIMIT_MIN_INT32;
  Float lastHeight = -1.0;
  Float lastSize = -1.0;

  // Whether `frame` differs from the last frame seen; remembers it.
  Bool NewFrame(Int32 frame);
  // Whether the plot's SURFO_HEIGHT or SURFO_SIZE differs (exactly) from the last seen;
  // remembers them.
  Bool BoxChanged(const BaseObject& plot);
};

}  // namespace vantelle
