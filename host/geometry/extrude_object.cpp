#include "host/geometry/extrude_object.h"

#include <new>

#include "host/geometry/extrusion.h"
#include "host/geometry/spline_object.h"
#include "host/scene/execution.h"

NodeData* ExtrudeData::Alloc() { return new (std::nothrow) ExtrudeData(); }

Bool ExtrudeData::Init(GeListNode* node) {
  static_cast<BaseList2D*>(node)->GetDataInstance()->SetVector(EXTRUDEOBJECT_MOVE, Vector(0.0, 0.0, 20.0));
  return true;
}

namespace {

// A spline's segments as outlines in its parent's coordinates.
ExtrusionOutlines OutlinesOf(const SplineObject& spline, const Matrix& placement) {
  ExtrusionOutlines outlines;
  const Vector* points = spline.GetPointR();
  Int64 first = 0;
  for (const Segment& segment : spline.GetEffectiveSegments()) {
    std::vector<Vector> line;
    line.reserve(static_cast<std::size_t>(segment.cnt));
    for (Int32 i = 0; i < segment.cnt; ++i) {
      line.push_back(placement * points[first + i]);
    }
    first += segment.cnt;
    (segment.closed ? outlines.closed : outlines.open).push_back(std::move(line));
  }
  return outlines;
}

}  // namespace

BaseObject* ExtrudeData::GetVirtualObjects(BaseObject* op, const HierarchyHelp* hh) {
  if (op == nullptr || hh == nullptr) {
    return nullptr;
  }
  Stamp stamp;
  stamp.move = op->GetDataInstance()->GetVector(EXTRUDEOBJECT_MOVE);
  std::vector<ExtrusionOutlines> inputs;
  for (BaseObject* child = op->GetDown(); child != nullptr; child = child->GetNext()) {
    stamp.children.push_back(child->GetDeformMode() ? 1u : 0u);
    if (!child->GetDeformMode()) {
      continue;
    }
    const SplineObject* spline = GetSplineInput(child, *hh);
    stamp.children.push_back(child->GetDirty(DIRTYFLAGS::DATA));
    stamp.children.push_back(child->GetDirty(DIRTYFLAGS::MATRIX));
    // A rebuilt contour is a new object, and every new object gets dirty counts never
    // seen before.
    stamp.children.push_back(spline != nullptr ? spline->GetDirty(DIRTYFLAGS::DATA) : 0u);
    if (spline != nullptr) {
      inputs.push_back(OutlinesOf(*spline, child->GetMl()));
    }
  }
  if (op->GetCache() != nullptr && !op->IsDirty(DIRTYFLAGS::DATA) && stamp == built_) {
    return op->GetCache();
  }
  PolygonObject* mesh = ExtrudeOutlines(inputs, stamp.move);
  if (mesh != nullptr) {
    built_ = std::move(stamp);
  }
  return mesh;
}
