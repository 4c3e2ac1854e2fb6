#include "cage/surfo_cage.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>

#include "host/geometry/spline_object.h"
#include "host/scene/execution.h"
#include "plot/samples.h"
#include "plot/surfo_object.h"

namespace vantelle {

namespace {

inline constexpr Int32 kCagePriority = 5002;

SplineObject* EmptySpline() {
  return SplineObject::Alloc(0, SPLINETYPE::LINEAR);
}

}  // namespace

NodeData* SurfoCage::Alloc() {
  return new (std::nothrow) SurfoCage();
}

Bool SurfoCage::Init(GeListNode* node) {
  auto* op = dynamic_cast<BaseList2D*>(node);
  if (op == nullptr) {
    return false;
  }
  watch_ = PlotWatch();
  BaseContainer& bc = *op->GetDataInstance();
  bc.SetInt32(SURFOCAGE_RINGS, 0);
  bc.SetInt32(SURFOCAGE_DIVISIONS, 0);
  bc.SetVector(SURFOCAGE_COLOR, Vector(0.8, 0.8, 0.8));
  return true;
}

Bool SurfoCage::CopyTo(NodeData* dest, const GeListNode* snode, GeListNode* dnode, COPYFLAGS flags,
                       AliasTrans* trn) {
  auto* target = dynamic_cast<SurfoCage*>(dest);
  if (target == nullptr) {
    return false;
  }
  target->watch_ = watch_;
  return ObjectData::CopyTo(dest, snode, dnode, flags, trn);
}

Bool SurfoCage::GetDEnabling(const GeListNode* node, const DescID& id, const GeData& value, DESCFLAGS_ENABLE flags,
                             const BaseContainer* itemdesc) const {
  return IsSwitchedOn(node) && ObjectData::GetDEnabling(node, id, value, flags, itemdesc);
}

Bool SurfoCage::AddToExecution(BaseObject* op, PriorityList* list) {
  return JoinPriorityList(op, list, kCagePriority);
}

void SurfoCage::CheckDirty(BaseObject* op, const BaseDocument* doc) {
  if (op == nullptr || doc == nullptr) {
    return;
  }
  const BaseObject* plot = FindPlotObject(op);
  if (watch_.NewFrame(doc->GetTime().GetFrame(doc->GetFps()))) {
    op->SetDirty(DIRTYFLAGS::DATA);
    return;
  }
  if (plot != nullptr && watch_.BoxChanged(*plot)) {
    op->SetDirty(DIRTYFLAGS::DATA);
  }
}

SplineObject* SurfoCage::GetContour(BaseObject* op, BaseDocument* /*doc*/, Float /*lod*/, BaseThread* /*bt*/) {
  if (op == nullptr) {
    return EmptySpline();
  }
  const BaseContainer& bc = *op->GetDataInstance();
  const ObjectColorProperties colour{bc.GetVector(SURFOCAGE_COLOR), 1, false};
  op->SetColorProperties(&colour);
  const BaseObject* plot = FindPlotObject(op);
  if (plot == nullptr || plot->GetNodeData<SurfoObject>() == nullptr || !op->GetDeformMode()) {
    return EmptySpline();
  }
  const BaseContainer& plotData = *plot->GetDataInstance();
  SplineObject* cage = BuildCageSpline(0.5 * plotData.GetFloat(SURFO_SIZE), 0.5 * plotData.GetFloat(SURFO_HEIGHT),
                                       bc.GetInt32(SURFOCAGE_RINGS), bc.GetInt32(SURFOCAGE_DIVISIONS));
  if (cage == nullptr || !cage->IsInstanceOf(Ospline)) {
    BaseObject* unusable = cage;
    BaseObject::Free(unusable);
    return EmptySpline();
  }
  return cage;
}

SplineObject* BuildCageSpline(Float b, Float c, Int32 rings, Int32 divisions) {
  const Int64 r = std::max(rings, 0);
  const Int64 d = std::max(divisions, 0);
  // 64-bit, so that counts no description allows cannot overflow into a small spline.
  const Int64 pointCount = 16 + 4 * r + 8 * d;
  const Int64 segmentCount = 6 + r + 2 * d;
  if (pointCount > std::numeric_limits<Int32>::max()) {
    return nullptr;
  }
  SplineObject* spline = SplineObject::Alloc(static_cast<Int32>(pointCount), SPLINETYPE::LINEAR);
  if (spline == nullptr) {
    return nullptr;
  }
  Vector* p = spline->GetPointW();
  Int64 k = 0;
  auto put = [&p, &k](std::initializer_list<Vector> points) {
    for (const Vector& v : points) {
      p[k++] = v;
    }
  };
  put({{-b, c, -b}, {b, c, -b}, {b, c, b}, {-b, c, b}});
  put({{-b, -c, -b}, {b, -c, -b}, {b, -c, b}, {-b, -c, b}});
  put({{-b, c, -b}, {-b, -c, -b}});
  put({{b, c, -b}, {b, -c, -b}});
  put({{b, c, b}, {b, -c, b}});
  put({{-b, c, b}, {-b, -c, b}});
  const Float ringSpacing = (1.0 / static_cast<Float>(r + 1)) * c * 2.0;
  for (Int64 i = 1; i <= r; ++i) {
    const Float y = c - static_cast<Float>(i) * ringSpacing;
    put({{-b, y, -b}, {b, y, -b}, {b, y, b}, {-b, y, b}});
  }
  const Float divisionSpacing = (1.0 / static_cast<Float>(d + 1)) * b * 2.0;
  for (Int64 i = 1; i <= d; ++i) {
    const Float o = static_cast<Float>(i) * divisionSpacing - b;
    put({{o, c, -b}, {o, c, b}, {o, -c, b}, {o, -c, -b}});
    put({{-b, c, o}, {b, c, o}, {b, -c, o}, {-b, -c, o}});
  }
  if (spline->ResizeObject(static_cast<Int32>(pointCount), static_cast<Int32>(segmentCount))) {
    Segment* segments = spline->GetSegmentW();
    constexpr std::array<Int32, 6> kFrame = {4, 4, 2, 2, 2, 2};
    for (Int64 s = 0; s < segmentCount; ++s) {
      segments[s] = Segment{s < 6 ? kFrame[static_cast<std::size_t>(s)] : 4, false};
    }
  }
  spline->GetDataInstance()->SetBool(SPLINEOBJECT_CLOSED, true);
  return spline;
}

}  // namespace vantelle
