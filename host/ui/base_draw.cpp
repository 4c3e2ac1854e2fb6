#include "host/ui/base_draw.h"

Vector GetViewColor(Int32 colid) {
  switch (colid) {
    case VIEWCOLOR_ACTIVEPOINT: return {0.96, 0.52, 0.08};       // orange
    case VIEWCOLOR_SELECTION_PREVIEW: return {1.0, 0.95, 0.45};  // pale yellow, bright against the orange
    default: return {0.6, 0.6, 0.6};
  }
}

BaseDrawHelp::BaseDrawHelp(BaseDraw* bd, const BaseObject* op) : bd_(bd), mg_(op != nullptr ? op->GetMg() : Matrix()) {}

Int32 BaseObject::GetHighlightHandle(BaseDraw* bd) const {
  return bd != nullptr ? bd->GetHighlightHandle(this) : -1;
}

DRAWRESULT ObjectData::Draw(BaseObject* op, DRAWPASS drawpass, BaseDraw* bd, BaseDrawHelp* bh) {
  if (drawpass != DRAWPASS::HANDLES) {
    return DRAWRESULT::SKIP;
  }
  const Int32 count = op != nullptr ? GetHandleCount(op) : 0;
  if (count <= 0 || bd == nullptr || bh == nullptr) {
    return DRAWRESULT::OK;
  }
  const Int32 highlighted = op->GetHighlightHandle(bd);
  bd->SetMatrix_Matrix(op, bh->GetMg());
  for (Int32 i = 0; i < count; ++i) {
    HandleInfo info;
    GetHandle(op, i, info);
    bd->SetPen(GetViewColor(i == highlighted ? VIEWCOLOR_SELECTION_PREVIEW : VIEWCOLOR_ACTIVEPOINT));
    bd->DrawHandle(info.position, DRAWHANDLE::MIDDLE, 0);
  }
  return DRAWRESULT::OK;
}
