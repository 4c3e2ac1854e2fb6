#include "host/geometry/spline_object.h"

#include <new>
#include <stdexcept>

SplineObject* SplineObject::Alloc(Int32 pointCount, SPLINETYPE type) {
  if (pointCount < 0) {
    return nullptr;
  }
  auto* spline = static_cast<SplineObject*>(BaseObject::Alloc(Ospline));
  if (spline == nullptr) {
    return nullptr;
  }
  spline->GetDataInstance()->SetInt32(SPLINEOBJECT_TYPE, static_cast<Int32>(type));
  if (!spline->ResizeObject(pointCount, 0)) {
    BaseObject* base = spline;
    BaseObject::Free(base);
    return nullptr;
  }
  return spline;
}

SPLINETYPE SplineObject::GetSplineType() const {
  return GetDataInstance()->GetInt32(SPLINEOBJECT_TYPE) == static_cast<Int32>(SPLINETYPE::CUBIC) ? SPLINETYPE::CUBIC
                                                                                                : SPLINETYPE::LINEAR;
}

SegmentTag* SplineObject::GetSegmentTag() const {
  return static_cast<SegmentTag*>(GetTag(Tsegment));
}

Bool SplineObject::ResizeObject(Int32 pointCount, Int32 segmentCount) {
  if (pointCount < 0 || segmentCount < 0) {
    return false;
  }
  try {
    points_.reserve(static_cast<std::size_t>(pointCount));
  } catch (const std::exception&) {
    return false;
  }
  SegmentTag* segments = GetSegmentTag();
  if (segmentCount > 0 && segments == nullptr) {
    segments = static_cast<SegmentTag*>(MakeVariableTag(Tsegment, segmentCount));
    if (segments == nullptr) {
      return false;
    }
  } else if (segments != nullptr && !segments->Resize(segmentCount)) {
    return false;
  }
  points_.resize(static_cast<std::size_t>(pointCount));
  return true;
}

Int32 SplineObject::GetSegmentCount() const {
  const SegmentTag* segments = GetSegmentTag();
  return segments != nullptr ? segments->GetDataCount() : 0;
}

const Segment* SplineObject::GetSegmentR() const {
  const SegmentTag* segments = GetSegmentTag();
  return segments != nullptr ? segments->GetDataAddressR() : nullptr;
}

Segment* SplineObject::GetSegmentW() {
  SegmentTag* segments = GetSegmentTag();
  return segments != nullptr ? segments->GetDataAddressW() : nullptr;
}

std::vector<Segment> SplineObject::GetEffectiveSegments() const {
  const Bool closed = IsClosed();
  std::vector<Segment> result;
  const Segment* records = GetSegmentR();
  Int64 total = 0;
  bool valid = records != nullptr;
  for (Int32 i = 0; valid && i < GetSegmentCount(); ++i) {
    valid = records[i].cnt >= 0;
    total += records[i].cnt;
  }
  if (valid && total == GetPointCount()) {
    for (Int32 i = 0; i < GetSegmentCount(); ++i) {
      if (records[i].cnt > 0) {
        result.push_back(Segment{records[i].cnt, records[i].closed || closed});
      }
    }
  } else if (GetPointCount() > 0) {
    result.push_back(Segment{GetPointCount(), closed});
  }
  return result;
}
