#include "labels/axis_labels.h"

#include <cmath>

#include "host/core/text.h"

namespace vantelle {

namespace {

// Where one label stands and what it shows.
struct Placement {
  Float number = 0.0;
  Vector position;
  Float heading = 0.0;
  Int32 alignment = TEXT_ALIGN_LEFT;
};

Bool IsFrontSet(Int32 index) { return index < 3; }

// Along an edge of the base: its start, middle and end for the three labels of a set.
Float AlongEdge(Int32 k, Float size) {
  return k == 0 ? -0.5 * size : (k == 1 ? 0.0 : 0.5 * size);
}

// Front set: the X range along the front edge (the back edge when flipped, turned half
// round so that it reads from there); side set: the Z range along the right edge (the
// left when flipped). Text reads from its start, so flipping also swaps the alignments.
Placement HorizontalPlacement(Int32 index, const LabelInputs& in) {
  const Int32 k = index % 3;
  const Float y = -0.5 * in.height - in.textHeight;
  const Float along = AlongEdge(k, in.size);
  const Float edge = 0.5 * in.size;
  Placement p;
  p.alignment = in.flip ? TEXT_ALIGN_RIGHT - k : k;
  if (IsFrontSet(index)) {
    const Float numbers[3] = {in.xMin, (in.xMax + in.xMin) * 0.5, in.xMax};
    p.number = numbers[k];
    p.position = Vector(along, y, in.flip ? edge : -edge);
    p.heading = in.flip ? kHalfTurn : 0.0;
  } else {
    const Float numbers[3] = {in.zMin, (in.zMax + in.zMin) * 0.5, in.zMax};
    p.number = numbers[k];
    p.position = Vector(in.flip ? -edge : edge, y, along);
    p.heading = in.flip ? kThreeQuarterTurn : kQuarterTurn;
  }
  return p;
}

// Top, middle and bottom of the value scale, right-aligned beside a vertical edge; `r` is
// half the text's own height, which lifts the top label below the top and centres the
// middle one on 0.
Placement VerticalPlacement(Int32 index, const LabelInputs& in, Float scale, Float r) {
  const Int32 k = index % 3;
  const Float half = 0.5 * in.size;
  const Float numbers[3] = {scale, 0.0, -scale};
  const Float heights[3] = {0.5 * in.height - 2.0 * r, -r, -0.5 * in.height};
  Placement p;
  p.number = numbers[k];
  p.alignment = TEXT_ALIGN_RIGHT;
  const Float z = in.flip ? half : -half;
  if (IsFrontSet(index)) {
    p.position = Vector(in.flip ? half + 2.0 : -half - 2.0, heights[k], z);
    p.heading = in.flip ? kHalfTurn : 0.0;
  } else {
    p.position = Vector(in.flip ? 2.0 - half : half - 2.0, heights[k], z);
    p.heading = in.flip ? kThreeQuarterTurn : kQuarterTurn;
  }
  return p;
}

String NumberText(Float value, Int32 decimals) {
  return FloatToString(value, -1, decimals, false, ' ');
}

}  // namespace

Float ValueScale(Float minValue, Float maxValue) {
  return std::fabs(minValue) < std::fabs(maxValue) ? std::fabs(maxValue) : std::fabs(minValue);
}

void BuildAxisLabels(BaseObject* component, LabelKind kind, const LabelInputs& in) {
  const Bool vertical = kind == LabelKind::VERTICAL;
  const Float scale = vertical ? ValueScale(in.minValue, in.maxValue) : 0.0;
  for (Int32 i = 0; i < kLabelsPerKind; ++i) {
    DeleteLabelObject(component, LabelName(kind, i));
  }
  for (Int32 i = 0; i < kLabelsPerKind; ++i) {
    // The number and alignment do not depend on r, so the text is made before r is known.
    Placement p = vertical ? VerticalPlacement(i, in, scale, 0.0) : HorizontalPlacement(i, in);
    BaseObject* label = MakeLabelObject(LabelName(kind, i), in, p.alignment, NumberText(p.number, in.decimals));
    if (label == nullptr) {
      continue;
    }
    if (vertical) {
      const BaseObject* text = label->GetDown();
      p = VerticalPlacement(i, in, scale, text != nullptr ? text->GetRad().y : 0.0);
    }
    SwitchLabel(label, StartsVisible(kind, i, in));
    SetupLabelObject(label, in.depth, p.position, Vector(p.heading, 0.0, 0.0), in.colour);
    label->InsertUnderLast(component);
  }
}

}  // namespace vantelle
