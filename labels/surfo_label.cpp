#include "labels/surfo_label.h"

#include <new>

#include "host/core/font_data.h"
#include "host/files/clip_map.h"
#include "host/scene/execution.h"
#include "labels/axis_labels.h"
#include "labels/legend.h"
#include "plot/component_support.h"
#include "plot/samples.h"
#include "plot/surfo_object.h"

namespace vantelle {

namespace {

inline constexpr Int32 kLabelsPriority = 5020;

// Each system's usual sans-serif face; where it is missing the system's default serves.
#if defined(_WIN32)
inline constexpr const char* kWantedFont = "Arial";
#elif defined(__APPLE__)
inline constexpr const char* kWantedFont = "Helvetica";
#else
inline constexpr const char* kWantedFont = "Liberation Sans";
#endif

Int32 ParameterOf(Int32 type, const void* data) {
  if (data == nullptr) {
    return 0;
  }
  if (type == MSG_DESCRIPTION_POSTSETPARAMETER) {
    const auto* notice = static_cast<const DescriptionPostSetValue*>(data);
    return notice->descid != nullptr ? (*notice->descid)[0].id : 0;
  }
  return static_cast<const DescriptionCommand*>(data)->id[0].id;
}

void Rebuild(BaseObject* op) {
  RebuildLabels(op, *op->GetDataInstance(), FindPlotObject(op));
}

// A parameter of the component was set: rebuild what it shapes, switch what it shows, or
// move the legend.
void ParameterChanged(BaseObject* op, Int32 id) {
  const BaseContainer& bc = *op->GetDataInstance();
  const Int32 sides = bc.GetInt32(SURFOLABEL_SIDES);
  switch (id) {
    case SURFOLABEL_SIZE:
    case SURFOLABEL_COLOR:
    case SURFOLABEL_DECIMALS:
    case SURFOLABEL_FLIP:
    case SURFOLABEL_FONT:
    case SURFOLABEL_DEPTH:
      Rebuild(op);
      break;
    case SURFOLABEL_HLABELS:
      SetLabelVisibility(op, LabelKind::HORIZONTAL, sides, !bc.GetBool(SURFOLABEL_HLABELS));
      break;
    case SURFOLABEL_VLABELS:
      SetLabelVisibility(op, LabelKind::VERTICAL, sides, !bc.GetBool(SURFOLABEL_VLABELS));
      break;
    case SURFOLABEL_LEGEND:
    case SURFOLABEL_LEGENDOFFSET:
    case SURFOLABEL_LEGENDROTATION:
      UpdateLegend(op, id);
      break;
    case SURFOLABEL_SIDES:
      SetLabelVisibility(op, LabelKind::HORIZONTAL, sides, !bc.GetBool(SURFOLABEL_HLABELS));
      SetLabelVisibility(op, LabelKind::VERTICAL, sides, !bc.GetBool(SURFOLABEL_VLABELS));
      break;
    default:
      break;
  }
}

}  // namespace

NodeData* SurfoLabel::Alloc() {
  return new (std::nothrow) SurfoLabel();
}

void WriteLabelDefaults(BaseContainer& bc) {
  bc.SetFloat(SURFOLABEL_SIZE, 7.0);
  bc.SetVector(SURFOLABEL_COLOR, Vector(1.0, 1.0, 1.0));
  bc.SetInt32(SURFOLABEL_DECIMALS, 1);
  bc.SetBool(SURFOLABEL_HLABELS, true);
  bc.SetBool(SURFOLABEL_VLABELS, true);
  bc.SetBool(SURFOLABEL_FLIP, false);
  bc.SetBool(SURFOLABEL_LEGEND, true);
  bc.SetVector(SURFOLABEL_LEGENDOFFSET, Vector(0.0, 0.0, 0.0));
  bc.SetInt32(SURFOLABEL_LEGENDROTATION, 3);
  bc.SetInt32(SURFOLABEL_SIDES, SURFOLABEL_SIDES_FRONT);
  bc.SetFloat(SURFOLABEL_DEPTH, 0.1);
}

Bool SurfoLabel::Init(GeListNode* node) {
  auto* op = dynamic_cast<BaseList2D*>(node);
  if (op == nullptr) {
    return false;
  }
  WriteLabelDefaults(*op->GetDataInstance());
  lastDataDirty_ = 0;
  return true;
}

Bool SurfoLabel::CopyTo(NodeData* dest, const GeListNode* snode, GeListNode* dnode, COPYFLAGS flags,
                        AliasTrans* trn) {
  auto* target = dynamic_cast<SurfoLabel*>(dest);
  if (target == nullptr) {
    return false;
  }
  target->lastDataDirty_ = lastDataDirty_;
  return ObjectData::CopyTo(dest, snode, dnode, flags, trn);
}

Bool SurfoLabel::Message(GeListNode* node, Int32 type, void* data) {
  if (auto* op = dynamic_cast<BaseObject*>(node)) {
    switch (type) {
      case MSG_DESCRIPTION_POSTSETPARAMETER:
        ParameterChanged(op, ParameterOf(type, data));
        break;
      case MSG_DESCRIPTION_COMMAND: {
        const Int32 id = ParameterOf(type, data);
        if (id == SURFOLABEL_RESET) {
          WriteLabelDefaults(*op->GetDataInstance());
          SetDefaultFont(*op->GetDataInstance());
          Rebuild(op);
        } else if (id == SURFOLABEL_UPDATE) {
          Rebuild(op);
        }
        break;
      }
      case MSG_MENUPREPARE:
        SetDefaultFont(*op->GetDataInstance());
        Rebuild(op);
        break;
      case MSG_DEFORMMODE_CHANGED:
        if (op->GetDeformMode()) {
          Rebuild(op);
        } else {
          SetLabelVisibility(op, LabelKind::HORIZONTAL, 0, true);
          SetLabelVisibility(op, LabelKind::VERTICAL, 0, true);
          SetLabelVisibility(op, LabelKind::LEGEND, 0, true);
        }
        break;
      default:
        break;
    }
  }
  return ObjectData::Message(node, type, data);
}

Bool SurfoLabel::GetDEnabling(const GeListNode* node, const DescID& id, const GeData& value, DESCFLAGS_ENABLE flags,
                              const BaseContainer* itemdesc) const {
  if (!IsSwitchedOn(node)) {
    return false;
  }
  const BaseContainer& bc = *static_cast<const BaseObject*>(node)->GetDataInstance();
  switch (id[0].id) {
    case SURFOLABEL_DECIMALS:
    case SURFOLABEL_FLIP:
      return bc.GetBool(SURFOLABEL_HLABELS) || bc.GetBool(SURFOLABEL_VLABELS);
    case SURFOLABEL_LEGENDOFFSET:
    case SURFOLABEL_LEGENDROTATION:
      return bc.GetBool(SURFOLABEL_LEGEND);
    case SURFOLABEL_SIDES:
      return bc.GetBool(SURFOLABEL_HLABELS);
    default:
      return ObjectData::GetDEnabling(node, id, value, flags, itemdesc);
  }
}

Bool SurfoLabel::AddToExecution(BaseObject* op, PriorityList* list) {
  return JoinPriorityList(op, list, kLabelsPriority);
}

EXECUTIONRESULT SurfoLabel::Execute(BaseObject* op, BaseDocument* /*doc*/, BaseThread* /*bt*/, Int32 /*priority*/,
                                    EXECUTIONFLAGS /*flags*/) {
  NoticePlotChange(op, lastDataDirty_);
  return EXECUTIONRESULT::OK;
}

BaseObject* SurfoLabel::GetVirtualObjects(BaseObject* /*op*/, const HierarchyHelp* /*hh*/) {
  return BaseObject::Alloc(Onull);
}

void RebuildLabels(BaseObject* component, const BaseContainer& bc, BaseObject* plot) {
  if (component == nullptr || plot == nullptr || plot->GetNodeData<SurfoObject>() == nullptr ||
      !component->GetDeformMode()) {
    return;
  }
  const LabelInputs in = ReadLabelInputs(bc, *plot);
  BuildAxisLabels(component, LabelKind::HORIZONTAL, in);
  BuildAxisLabels(component, LabelKind::VERTICAL, in);
  BuildLegend(component, in);
}

Bool SetDefaultFont(BaseContainer& bc) {
  BaseContainer fonts;
  GeClipMap::EnumerateFonts(&fonts, 0);
  const String wanted(kWantedFont);
  BaseContainer chosen;
  Bool found = false;
  for (Int32 i = 0; fonts.GetIndexId(i) != NOTOK; ++i) {
    const BaseContainer* font = fonts.GetIndexData(i)->GetContainer();
    if (font == nullptr) {
      continue;
    }
    String name;
    if (!GeClipMap::GetFontName(font, GE_FONT_NAME_DISPLAY, &name)) {
      return false;
    }
    if (name == wanted) {
      chosen = *font;
      found = true;
      break;
    }
  }
  if (!found && !GeClipMap::GetDefaultFont(GE_FONT_DEFAULT_SYSTEM, &chosen)) {
    return false;
  }
  FontData value;
  value.SetFont(&chosen);
  bc.SetData(SURFOLABEL_FONT, GeData(value));
  return true;
}

}  // namespace vantelle
