// The building blocks of every label: the settings a rebuild reads once, the children's
// names and how they are found again, their visibility, and the extruded text object.
#pragma once

#include "host/geometry/text_layout.h"  // TEXT_ALIGN_LEFT, _MIDDLE, _RIGHT
#include "host/scene/objects.h"

namespace vantelle {

inline constexpr Float kQuarterTurn = 1.5707963267948966;        // π/2
inline constexpr Float kHalfTurn = 3.141592653589793;            // π
inline constexpr Float kThreeQuarterTurn = 4.71238898038469;     // 3π/2

// Six labels of each axis kind: indices 0 to 2 are the front set, 3 to 5 the side set.
inline constexpr Int32 kLabelsPerKind = 6;

enum class LabelKind { HORIZONTAL, VERTICAL, LEGEND };

inline constexpr const char* kLegendName = "_SurfoLegend_";

// Everything a rebuild builds the labels from, read once from the component and its plot.
struct LabelInputs {
  // The component's settings.
  Float textHeight = 0.0;  // T
  Float depth = 0.0;       // D
  Vector colour;
  GeData font;  // a FontData, or nil when the component holds none
  Bool flip = false;
  Int32 decimals = 0;
  Bool horizontalShown = false;
  Bool verticalShown = false;
  Int32 sides = 0;
  Bool legendShown = false;
  Vector legendOffset;
  Int32 legendRotation = 0;
  // The plot's.
  Float size = 0.0;    // S
  Float height = 0.0;  // H
  Float xMin = 0.0, xMax = 0.0;
  Float zMin = 0.0, zMax = 0.0;  // the X range again unless the plot uses its own Z range
  Float minValue = 0.0, maxValue = 0.0;
  String formula;
};

// The inputs from the component's container, the plot's container and the plot's samples.
LabelInputs ReadLabelInputs(const BaseContainer& bc, const BaseObject& plot);

// "_SurfoHLabel3_", "_SurfoVLabel0_".
String LabelName(LabelKind kind, Int32 index);

// The first of `component`'s descendants named `name`, depth first in pre-order; never the
// component itself nor anything outside it. Null when there is none.
BaseObject* FindLabelObject(const BaseObject* component, const String& name);
// Takes the first descendant named `name` out of the hierarchy and frees it, if any.
void DeleteLabelObject(BaseObject* component, const String& name);

// Shows or hides an object in the editor and in renders alike.
void SwitchLabel(BaseObject* label, Bool on);
// Whether a new axis label of `kind` and `index` starts visible: its kind is shown and
// SURFOLABEL_SIDES selects its set (1 or 2 the front set, 0 or 2 the side set).
Bool StartsVisible(LabelKind kind, Int32 index, const LabelInputs& in);
// Switches existing children only. With `hide`, all six labels of the kind go off;
// otherwise `sides` turns sets on and off (any value but 0, 1 and 2 changes nothing).
// The legend kind switches the vertical labels and, after them, the legend itself.
void SetLabelVisibility(BaseObject* component, LabelKind kind, Int32 sides, Bool hide);

// Writes a text spline's settings, in this order: the font (only when `font` holds one),
// the height, the alignment (0 left, 1 middle, 2 right) and the text.
void SetupTextSpline(BaseObject* text, Float height, Int32 alignment, const GeData& font, const String& value);
// Gives a label object its depth, place, heading and colour, then tells it it changed.
void SetupLabelObject(BaseObject* label, Float depth, const Vector& position, const Vector& rotation,
                      const Vector& colour);

// A new label object named `name`: an extrude holding a text spline with `value`, or an
// extrude alone when the text spline cannot be had. Null when the extrude cannot be had.
// Not yet placed, switched or inserted.
BaseObject* MakeLabelObject(const String& name, const LabelInputs& in, Int32 alignment, const String& value);

}  // namespace vantelle
