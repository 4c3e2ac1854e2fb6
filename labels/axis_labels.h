// The twelve axis labels: numbers of the plot's X and Z ranges along two edges of its
// base (horizontal), and its value scale at two vertical edges (vertical).
#pragma once

#include "labels/label_objects.h"

namespace vantelle {

// Deletes the six labels of `kind` (HORIZONTAL or VERTICAL) below `component` and creates
// six new ones as its last children, indices 0 to 5 in order. A label whose extrude
// cannot be had is left out; one whose text spline cannot be had is made without text.
void BuildAxisLabels(BaseObject* component, LabelKind kind, const LabelInputs& in);

// The largest magnitude of the plot's values, the scale the vertical labels show: +C at
// the top, 0 in the middle, -C at the bottom.
Float ValueScale(Float minValue, Float maxValue);

}  // namespace vantelle
