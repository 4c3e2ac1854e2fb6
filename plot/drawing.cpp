// The plot in the viewport: its nominal box, the two handles for size and height, and
// its samples drawn as markers, which is all the user sees of a plot without components.
#include <algorithm>
#include <array>
#include <cmath>

#include "host/ui/base_draw.h"
#include "plot/surfo_object.h"

namespace vantelle {

namespace {

inline constexpr Int32 kHandleCount = 2;
inline constexpr Float kLargestHandleValue = 1e20;

struct HandleSpec {
  Int32 parameter;
  Vector direction;
};
// Handle 0 edits the size along X, handle 1 the height along Y; each sits at half its value.
inline constexpr std::array<HandleSpec, kHandleCount> kHandles = {
    HandleSpec{SURFO_SIZE, Vector(1.0, 0.0, 0.0)},
    HandleSpec{SURFO_HEIGHT, Vector(0.0, 1.0, 0.0)},
};

bool IsHandle(Int32 i) {
  return i >= 0 && i < kHandleCount;
}

void DrawMarker(BaseDraw& bd, Int32 style, Float d, const PlotSample& sample) {
  const Vector& p = sample.position;
  switch (style) {
    case SURFO_POINTSTYLE_DOT:
      bd.SetPointSize(2.0 * d);
      bd.DrawHandle(p, DRAWHANDLE::CUSTOM, NOCLIP_D);
      break;
    case SURFO_POINTSTYLE_SPHERE: bd.DrawSphere(p, Vector(d), sample.colour, 0); break;
    case SURFO_POINTSTYLE_CROSS:
      // A plus sign in the plot's XY plane; seen from above it is a short dash.
      bd.DrawLine(p - Vector(d, 0.0, 0.0), p + Vector(d, 0.0, 0.0), 0);
      bd.DrawLine(p - Vector(0.0, d, 0.0), p + Vector(0.0, d, 0.0), 0);
      break;
    default: break;  // a style this version does not know draws no marker
  }
}

}  // namespace

void SurfoObject::GetDimension(const BaseObject* op, Vector* mp, Vector* rad) const {
  // The nominal volume from the parameters, not the samples: values beyond the height
  // (free height mode, scale factors above 1) lie outside it.
  const BaseContainer& bc = *op->GetDataInstance();
  const Float s = std::abs(bc.GetFloat(SURFO_SIZE)) * 0.5;
  const Float h = std::abs(bc.GetFloat(SURFO_HEIGHT)) * 0.5;
  if (mp != nullptr)
    *mp = Vector();
  if (rad != nullptr)
    *rad = Vector(s, h, s);
}

Int32 SurfoObject::GetHandleCount(const BaseObject* /*op*/) const {
  return kHandleCount;
}

void SurfoObject::GetHandle(BaseObject* op, Int32 i, HandleInfo& info) {
  if (!IsHandle(i)) {
    return;
  }
  const HandleSpec& handle = kHandles[static_cast<std::size_t>(i)];
  info.position = handle.direction * (op->GetDataInstance()->GetFloat(handle.parameter) * 0.5);
  info.direction = handle.direction;
}

void SurfoObject::SetHandle(BaseObject* op, Int32 i, Vector p, const HandleInfo& /*info*/) {
  if (!IsHandle(i)) {
    return;
  }
  const HandleSpec& handle = kHandles[static_cast<std::size_t>(i)];
  // A drag past the origin means nothing; a position without a value (NaN) is taken as
  // no size rather than written into the scene.
  Float value = 2.0 * Dot(p, handle.direction);
  value = value > 0.0 ? std::min(value, kLargestHandleValue) : 0.0;
  op->GetDataInstance()->SetFloat(handle.parameter, value);
}

DRAWRESULT SurfoObject::Draw(BaseObject* op, DRAWPASS drawpass, BaseDraw* bd, BaseDrawHelp* bh) {
  // Without samples there is nothing to show, not even the handles.
  if (plot_.samples.empty() || op == nullptr || bd == nullptr || bh == nullptr) {
    return DRAWRESULT::SKIP;
  }
  if (drawpass == DRAWPASS::OBJECT) {
    const BaseContainer& bc = *op->GetDataInstance();
    const Int32 style = bc.GetInt32(SURFO_POINTSTYLE);
    const Float d = bc.GetFloat(SURFO_POINTSIZE);
    bd->SetMatrix_Matrix(op, bh->GetMg());
    for (const PlotSample& sample : plot_.samples) {
      bd->SetPen(sample.colour, 0);
      DrawMarker(*bd, style, d, sample);
    }
  } else if (drawpass == DRAWPASS::HANDLES) {
    const Int32 highlighted = op->GetHighlightHandle(bd);
    bd->SetMatrix_Matrix(op, bh->GetMg());
    for (Int32 i = 0; i < kHandleCount; ++i) {
      bd->SetPen(GetViewColor(i == highlighted ? VIEWCOLOR_SELECTION_PREVIEW : VIEWCOLOR_ACTIVEPOINT), 0);
      HandleInfo info;
      GetHandle(op, i, info);
      bd->DrawHandle(info.position, DRAWHANDLE::BIG, 0);
      bd->DrawLine(info.position, Vector(), 0);
    }
  }
  return ObjectData::Draw(op, drawpass, bd, bh);
}

}  // namespace vantelle
