// The legend: "Formula: " and the plot's formula as typed, one line above the plot.
#pragma once

#include "labels/label_objects.h"

namespace vantelle {

// Replaces the legend below `component` by a new one as its last child; without an
// extrude to make it from there is no legend until the next rebuild.
void BuildLegend(BaseObject* component, const LabelInputs& in);

// Applies a change of SURFOLABEL_LEGEND (visibility) or SURFOLABEL_LEGENDOFFSET /
// SURFOLABEL_LEGENDROTATION (place and heading) to the existing legend, in place, and
// asks for a redraw. Does nothing without a plot above or a legend below `component`.
void UpdateLegend(BaseObject* component, Int32 parameter);

// The legend's place: centred 2 units above the plot's top (height H), moved by `offset`.
Vector LegendPosition(const Vector& offset, Float height);
// Its heading: 0 gives π/2, 1 gives 3π/2, 2 gives π, anything else 0.
Float LegendHeading(Int32 rotation);

}  // namespace vantelle
