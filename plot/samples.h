// The sampled grid that the plot object keeps for its components.
#pragma once

#include <vector>

#include "host/core/types.h"

namespace vantelle {

// One grid point: its position in the plot's own space (y is the scaled value) and its
// colour (components nominally 0..1).
struct PlotSample {
  Vector position;
  Vector colour;
};

// The plot's samples. `samples` is either empty (not computed) or, after a successful
// computation, holds (resolution + 1)^2 points in row-major order: row = X index (outer),
// column = Z index (inner), sample (r, c) at r * (resolution + 1) + c. Components must not
// index it unless its size is exactly that.
struct PlotSamples {
  Int32 resolution = 0;
  std::vector<PlotSample> samples;
  Float minValue = 0.0;  // smallest raw formula value of the last computation
  Float maxValue = 0.0;  // largest raw formula value of the last computation
  Bool usesTime = false;

  // Whether the array holds the whole grid of the current resolution.
  Bool IsComplete() const;
};

}  // namespace vantelle

class BaseObject;

namespace vantelle {

// A component's plot: the nearest ancestor of type Osurfo, or null.
BaseObject* FindPlotObject(const BaseObject* component);

// The first object of `type` below `plot`, depth first in pre-order, never leaving the
// plot's subtree; null when there is none.
BaseObject* FindComponent(const BaseObject* plot, Int32 type);

// The object after `op` in a pre-order walk of `root`'s descendants (children before
// siblings), or null when the walk would leave `root`'s subtree. Start with root's first
// child.
BaseObject* NextBelow(const BaseObject* op, const BaseObject* root);

}  // namespace vantelle
