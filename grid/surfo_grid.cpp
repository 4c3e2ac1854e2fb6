#include "grid/surfo_grid.h"

#include <algorithm>
#include <limits>
#include <new>

#include "host/geometry/spline_object.h"
#include "host/scene/execution.h"
#include "plot/samples.h"
#include "plot/surfo_object.h"

namespace vantelle {

namespace {

inline constexpr Int32 kGridPriority = 5002;

SplineObject* EmptySpline() {
  return SplineObject::Alloc(0, SPLINETYPE::LINEAR);
}

}  // namespace

NodeData* SurfoGrid::Alloc() {
  return new (std::nothrow) SurfoGrid();
}

Bool SurfoGrid::Init(GeListNode* node) {
  auto* op = dynamic_cast<BaseList2D*>(node);
  if (op == nullptr) {
    return false;
  }
  watch_ = PlotWatch();
  sizeChanged_ = false;
  lastPlotDirty_ = 0;
  op->GetDataInstance()->SetInt32(SURFOGRID_STEP, 1);
  op->GetDataInstance()->SetVector(SURFOGRID_COLOR, Vector(0.8, 0.8, 0.8));
  return true;
}

Bool SurfoGrid::CopyTo(NodeData* dest, const GeListNode* snode, GeListNode* dnode, COPYFLAGS flags,
                       AliasTrans* trn) {
  auto* target = dynamic_cast<SurfoGrid*>(dest);
  if (target == nullptr) {
    return false;
  }
  target->watch_ = watch_;
  target->sizeChanged_ = sizeChanged_;
  target->lastPlotDirty_ = lastPlotDirty_;
  return ObjectData::CopyTo(dest, snode, dnode, flags, trn);
}

Bool SurfoGrid::GetDEnabling(const GeListNode* node, const DescID& id, const GeData& value, DESCFLAGS_ENABLE flags,
                             const BaseContainer* itemdesc) const {
  return IsSwitchedOn(node) && ObjectData::GetDEnabling(node, id, value, flags, itemdesc);
}

Bool SurfoGrid::AddToExecution(BaseObject* op, PriorityList* list) {
  return JoinPriorityList(op, list, kGridPriority);
}

void SurfoGrid::CheckDirty(BaseObject* op, const BaseDocument* doc) {
  if (op == nullptr || doc == nullptr) {
    return;
  }
  const BaseObject* plot = FindPlotObject(op);
  const Int32 frame = doc->GetTime().GetFrame(doc->GetFps());
  if (watch_.NewFrame(frame)) {
    op->SetDirty(DIRTYFLAGS::DATA);
    return;
  }
  if (frame == doc->GetMinTime().GetFrame(doc->GetFps())) {
    op->SetDirty(DIRTYFLAGS::DATA);
    return;
  }
  if (plot == nullptr) {
    return;
  }
  // The lines lie on the samples, so any change of the plot's samples (a new formula, a
  // new range) must reach them too, not only changes of its size and height.
  const UInt32 plotDirty = plot->GetDirty(DIRTYFLAGS::DATA);
  const Bool plotChanged = plotDirty != lastPlotDirty_;
  lastPlotDirty_ = plotDirty;
  if (watch_.BoxChanged(*plot)) {
    op->SetDirty(DIRTYFLAGS::DATA);
    sizeChanged_ = true;
  } else if (plotChanged) {
    op->SetDirty(DIRTYFLAGS::DATA);
  }
}

EXECUTIONRESULT SurfoGrid::Execute(BaseObject* op, BaseDocument* /*doc*/, BaseThread* /*bt*/, Int32 /*priority*/,
                                   EXECUTIONFLAGS /*flags*/) {
  if (sizeChanged_ && op != nullptr) {
    op->Message(MSG_UPDATE);
    op->SetDirty(DIRTYFLAGS::DATA);
    sizeChanged_ = false;
  }
  return EXECUTIONRESULT::OK;
}

SplineObject* SurfoGrid::GetContour(BaseObject* op, BaseDocument* /*doc*/, Float /*lod*/, BaseThread* /*bt*/) {
  const BaseObject* plot = op != nullptr ? FindPlotObject(op) : nullptr;
  const SurfoObject* data = plot != nullptr ? plot->GetNodeData<SurfoObject>() : nullptr;
  if (data == nullptr) {
    return EmptySpline();
  }
  const ObjectColorProperties colour{op->GetDataInstance()->GetVector(SURFOGRID_COLOR), 1, false};
  op->SetColorProperties(&colour);
  SplineObject* grid = BuildGridSpline(data->GetPlotSamples(), op->GetDataInstance()->GetInt32(SURFOGRID_STEP));
  if (grid == nullptr || !grid->IsInstanceOf(Ospline)) {
    BaseObject* unusable = grid;
    BaseObject::Free(unusable);
    return EmptySpline();
  }
  return grid;
}

std::vector<Int32> ChooseGridLines(Int32 resolution, Int32 step) {
  std::vector<Int32> lines;
  if (resolution < 0) {
    return lines;
  }
  // A step below 1 would never advance.
  const Int64 c = std::max(step, 1);
  const Int64 h = static_cast<Int64>(resolution) + 1;
  Int64 d = 0;
  while (static_cast<Int64>(lines.size()) < h) {
    lines.push_back(static_cast<Int32>(d));
    if (d == resolution) {
      break;
    }
    d = d + c < h ? d + c : resolution;
  }
  return lines;
}

SplineObject* BuildGridSpline(const PlotSamples& plot, Int32 step) {
  if (plot.samples.empty() || !plot.IsComplete()) {
    return nullptr;
  }
  const std::vector<Int32> lines = ChooseGridLines(plot.resolution, step);
  const Int64 h = static_cast<Int64>(plot.resolution) + 1;
  const Int64 lineCount = static_cast<Int64>(lines.size());
  const Int64 pointCount = 2 * lineCount * h;
  if (pointCount > std::numeric_limits<Int32>::max() || 2 * lineCount > std::numeric_limits<Int32>::max()) {
    return nullptr;
  }
  SplineObject* spline = SplineObject::Alloc(static_cast<Int32>(pointCount), SPLINETYPE::CUBIC);
  if (spline == nullptr) {
    return nullptr;
  }
  Vector* points = spline->GetPointW();
  const std::vector<PlotSample>& samples = plot.samples;
  Int64 k = 0;
  for (Int32 row : lines) {  // along +Z at the X of the row
    for (Int64 j = 0; j < h; ++j) {
      points[k++] = samples[static_cast<std::size_t>(row * h + j)].position;
    }
  }
  for (Int32 column : lines) {  // along +X at the Z of the column
    for (Int64 j = 0; j < h; ++j) {
      points[k++] = samples[static_cast<std::size_t>(j * h + column)].position;
    }
  }
  if (spline->ResizeObject(static_cast<Int32>(pointCount), static_cast<Int32>(2 * lineCount))) {
    Segment* segments = spline->GetSegmentW();
    for (Int64 s = 0; s < 2 * lineCount; ++s) {
      segments[s] = Segment{static_cast<Int32>(h), false};
    }
  }
  return spline;
}

}  // namespace vantelle
