#include "labels/label_objects.h"

#include "host/core/font_data.h"
#include "host/geometry/extrude_object.h"
#include "host/geometry/text_spline.h"
#include "labels/surfo_label.h"
#include "plot/samples.h"
#include "plot/surfo_object.h"

namespace vantelle {

LabelInputs ReadLabelInputs(const BaseContainer& bc, const BaseObject& plot) {
  LabelInputs in;
  in.textHeight = bc.GetFloat(SURFOLABEL_SIZE);
  in.depth = bc.GetFloat(SURFOLABEL_DEPTH);
  in.colour = bc.GetVector(SURFOLABEL_COLOR);
  if (bc.GetCustomData<FontData>(SURFOLABEL_FONT) != nullptr) {
    in.font = bc.GetData(SURFOLABEL_FONT);
  }
  in.flip = bc.GetBool(SURFOLABEL_FLIP);
  in.decimals = bc.GetInt32(SURFOLABEL_DECIMALS);
  in.horizontalShown = bc.GetBool(SURFOLABEL_HLABELS);
  in.verticalShown = bc.GetBool(SURFOLABEL_VLABELS);
  in.sides = bc.GetInt32(SURFOLABEL_SIDES);
  in.legendShown = bc.GetBool(SURFOLABEL_LEGEND);
  in.legendOffset = bc.GetVector(SURFOLABEL_LEGENDOFFSET);
  in.legendRotation = bc.GetInt32(SURFOLABEL_LEGENDROTATION);

  const BaseContainer& pc = *plot.GetDataInstance();
  in.size = pc.GetFloat(SURFO_SIZE);
  in.height = pc.GetFloat(SURFO_HEIGHT);
  in.xMin = pc.GetFloat(SURFO_XMIN);
  in.xMax = pc.GetFloat(SURFO_XMAX);
  const Bool ownZRange = pc.GetBool(SURFO_USEZRANGE);
  in.zMin = ownZRange ? pc.GetFloat(SURFO_ZMIN) : in.xMin;
  in.zMax = ownZRange ? pc.GetFloat(SURFO_ZMAX) : in.xMax;
  in.formula = pc.GetString(SURFO_FORMULA);
  if (const auto* data = plot.GetNodeData<SurfoObject>()) {
    in.minValue = data->GetMinValue();
    in.maxValue = data->GetMaxValue();
  }
  return in;
}

String LabelName(LabelKind kind, Int32 index) {
  const char* prefix = kind == LabelKind::HORIZONTAL ? "_SurfoHLabel" : "_SurfoVLabel";
  return String(prefix) + String::IntToString(index) + String("_");
}

BaseObject* FindLabelObject(const BaseObject* component, const String& name) {
  if (component == nullptr) {
    return nullptr;
  }
  for (BaseObject* op = component->GetDown(); op != nullptr; op = NextBelow(op, component)) {
    if (op->GetName() == name) {
      return op;
    }
  }
  return nullptr;
}

void DeleteLabelObject(BaseObject* component, const String& name) {
  if (BaseObject* old = FindLabelObject(component, name)) {
    old->Remove();
    BaseObject::Free(old);
  }
}

void SwitchLabel(BaseObject* label, Bool on) {
  if (label != nullptr) {
    label->SetEditorMode(on ? MODE_ON : MODE_OFF);
    label->SetRenderMode(on ? MODE_ON : MODE_OFF);
  }
}

Bool StartsVisible(LabelKind kind, Int32 index, const LabelInputs& in) {
  const Bool kindShown = kind == LabelKind::HORIZONTAL ? in.horizontalShown : in.verticalShown;
  const Bool frontSet = index < 3;
  const Bool setSelected = frontSet ? (in.sides == SURFOLABEL_SIDES_FRONT || in.sides == SURFOLABEL_SIDES_BOTH)
                                    : (in.sides == SURFOLABEL_SIDES_SIDE || in.sides == SURFOLABEL_SIDES_BOTH);
  return kindShown && setSelected;
}

void SetLabelVisibility(BaseObject* component, LabelKind kind, Int32 sides, Bool hide) {
  const LabelKind prefix = kind == LabelKind::HORIZONTAL ? LabelKind::HORIZONTAL : LabelKind::VERTICAL;
  const auto switchSet = [&](Int32 first, Bool on) {
    for (Int32 i = first; i < first + 3; ++i) {
      SwitchLabel(FindLabelObject(component, LabelName(prefix, i)), on);
    }
  };
  if (hide) {
    switchSet(0, false);
    switchSet(3, false);
  } else {
    if (sides == SURFOLABEL_SIDES_FRONT || sides == SURFOLABEL_SIDES_BOTH) {
      switchSet(0, true);
      if (sides == SURFOLABEL_SIDES_FRONT) {
        switchSet(3, false);
      }
    }
    if (sides == SURFOLABEL_SIDES_SIDE || sides == SURFOLABEL_SIDES_BOTH) {
      switchSet(3, true);
      if (sides == SURFOLABEL_SIDES_SIDE) {
        switchSet(0, false);
      }
    }
  }
  if (kind == LabelKind::LEGEND) {
    SwitchLabel(FindLabelObject(component, String(kLegendName)), !hide);
  }
}

void SetupTextSpline(BaseObject* text, Float height, Int32 alignment, const GeData& font, const String& value) {
  BaseContainer& bc = *text->GetDataInstance();
  if (font.GetCustomData<FontData>() != nullptr) {
    bc.SetData(PRIM_TEXT_FONT, font);
  }
  bc.SetFloat(PRIM_TEXT_HEIGHT, height);
  bc.SetInt32(PRIM_TEXT_ALIGN, alignment);
  bc.SetString(PRIM_TEXT_TEXT, value);
}

void SetupLabelObject(BaseObject* label, Float depth, const Vector& position, const Vector& rotation,
                      const Vector& colour) {
  BaseContainer& bc = *label->GetDataInstance();
  bc.SetVector(EXTRUDEOBJECT_MOVE, Vector(0.0, 0.0, depth));
  bc.SetVector(EXTRUDEOBJECT_MOVE_LEGACY, Vector(0.0, 0.0, depth));
  label->SetRelPos(position);
  label->SetRelRot(rotation);
  const ObjectColorProperties properties{colour, 1, false};
  label->SetColorProperties(&properties);
  label->Message(MSG_UPDATE);
}

BaseObject* MakeLabelObject(const String& name, const LabelInputs& in, Int32 alignment, const String& value) {
  BaseObject* label = BaseObject::Alloc(Oextrude);
  if (label == nullptr) {
    return nullptr;
  }
  label->SetName(name);
  if (BaseObject* text = BaseObject::Alloc(Osplinetext)) {
    SetupTextSpline(text, in.textHeight, alignment, in.font, value);
    text->InsertUnderLast(label);
  }
  return label;
}

}  // namespace vantelle
