#include "labels/legend.h"

#include "host/scene/document.h"
#include "labels/surfo_label.h"
#include "plot/samples.h"
#include "plot/surfo_parameters.h"

namespace vantelle {

Vector LegendPosition(const Vector& offset, Float height) {
  return Vector(0.0 + offset.x, height * 0.5 + 2.0 + offset.y, 0.0 + offset.z);
}

Float LegendHeading(Int32 rotation) {
  switch (rotation) {
    case 0: return kQuarterTurn;
    case 1: return kThreeQuarterTurn;
    case 2: return kHalfTurn;
    default: return 0.0;
  }
}

void BuildLegend(BaseObject* component, const LabelInputs& in) {
  DeleteLabelObject(component, String(kLegendName));
  // The formula as the user typed it, not as it was prepared for evaluation.
  BaseObject* legend = MakeLabelObject(String(kLegendName), in, TEXT_ALIGN_MIDDLE, String("Formula: ") + in.formula);
  if (legend == nullptr) {
    return;
  }
  SwitchLabel(legend, in.legendShown);
  SetupLabelObject(legend, in.depth, LegendPosition(in.legendOffset, in.height),
                   Vector(LegendHeading(in.legendRotation), 0.0, 0.0), in.colour);
  legend->InsertUnderLast(component);
}

void UpdateLegend(BaseObject* component, Int32 parameter) {
  const BaseObject* plot = FindPlotObject(component);
  if (plot == nullptr) {
    return;
  }
  const Float height = plot->GetDataInstance()->GetFloat(SURFO_HEIGHT);
  BaseObject* legend = FindLabelObject(component, String(kLegendName));
  if (legend == nullptr) {
    return;
  }
  const BaseContainer& bc = *component->GetDataInstance();
  if (parameter == SURFOLABEL_LEGEND) {
    SwitchLabel(legend, bc.GetBool(SURFOLABEL_LEGEND));
  } else if (parameter == SURFOLABEL_LEGENDOFFSET || parameter == SURFOLABEL_LEGENDROTATION) {
    legend->SetRelPos(LegendPosition(bc.GetVector(SURFOLABEL_LEGENDOFFSET), height));
    legend->SetRelRot(Vector(LegendHeading(bc.GetInt32(SURFOLABEL_LEGENDROTATION)), 0.0, 0.0));
  }
  legend->Message(MSG_UPDATE);
  EventAdd(EVENT::FORCEREDRAW);
}

}  // namespace vantelle
