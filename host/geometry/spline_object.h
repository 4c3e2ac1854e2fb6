// Spline objects: points joined into segments, each an open line or a closed loop.
#pragma once

#include "host/geometry/polygon_object.h"
#include "host/geometry/tags.h"

enum class SPLINETYPE : Int32 { LINEAR = 0, CUBIC = 1 };

// Spline settings in its container.
inline constexpr Int32 SPLINEOBJECT_TYPE = 1000;    // Int32: SPLINETYPE
inline constexpr Int32 SPLINEOBJECT_CLOSED = 1002;  // Bool: every segment is a closed loop

// The points run segment after segment; the Tsegment tag records how many points each
// segment has and whether it is closed. A spline without segment records is one segment
// of all its points. LINEAR joins the points with straight lines; CUBIC runs a smooth
// curve through every point.
class SplineObject final : public PointObject {
public:
  // A new spline of `type` with `pointCount` points at the origin and no segment records;
  // null for a negative count or when memory runs out.
  static SplineObject* Alloc(Int32 pointCount, SPLINETYPE type);

  SPLINETYPE GetSplineType() const;
  // Whether every segment is closed, by the spline's own setting or the segment's record.
  Bool IsClosed() const { return GetDataInstance()->GetBool(SPLINEOBJECT_CLOSED); }

  // Sets the point and segment counts, keeping the existing points and segment records;
  // false (and nothing changed) for negative counts or when memory runs out.
  Bool ResizeObject(Int32 pointCount, Int32 segmentCount);

  Int32 GetSegmentCount() const;
  const Segment* GetSegmentR() const;
  Segment* GetSegmentW();

  // The segments as the points really split: the records when they add up to the point
  // count, otherwise one segment of every point. Closed when the record or the spline
  // says so.
  std::vector<Segment> GetEffectiveSegments() const;

private:
  friend class BaseObject;
  SplineObject() : PointObject(Ospline) {}
  SegmentTag* GetSegmentTag() const;
};
