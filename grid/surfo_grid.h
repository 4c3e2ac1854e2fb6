// The grid component: smooth lines through the plot's samples along every chosen row and
// column.
#pragma once

#include <vector>

#include "host/scene/objects.h"
#include "plot/component_support.h"

class SplineObject;

namespace vantelle {

struct PlotSamples;

inline constexpr Int32 SURFOGRID_STEP = 30000;
inline constexpr Int32 SURFOGRID_COLOR = 30001;

class SurfoGrid final : public ObjectData {
public:
  static NodeData* Alloc();

  Bool Init(GeListNode* node) override;
  Bool CopyTo(NodeData* dest, const GeListNode* snode, GeListNode* dnode, COPYFLAGS flags,
              AliasTrans* trn) override;
  Bool GetDEnabling(const GeListNode* node, const DescID& id, const GeData& value, DESCFLAGS_ENABLE flags,
                    const BaseContainer* itemdesc) const override;
  Bool AddToExecution(BaseObject* op, PriorityList* list) override;
  // Marks the grid dirty on a new frame, at the start frame, when the plot's size or
  // height changed, and when the plot's samples changed.
  void CheckDirty(BaseObject* op, const BaseDocument* doc) override;
  // After a size or height change: one update of its own.
  EXECUTIONRESULT Execute(BaseObject* op, BaseDocument* doc, BaseThread* bt, Int32 priority,
                          EXECUTIONFLAGS flags) override;
  // The grid's spline; an empty spline where nothing can be built.
  SplineObject* GetContour(BaseObject* op, BaseDocument* doc, Float lod, BaseThread* bt) override;

private:
  PlotWatch watch_;
  Bool sizeChanged_ = false;
  UInt32 lastPlotDirty_ = 0;
};

// The row (and column) indices the grid draws for a resolution and step: 0, step,
// 2 step, ... and always the last, at most resolution + 1 of them. A step below 1 counts
// as 1.
std::vector<Int32> ChooseGridLines(Int32 resolution, Int32 step);

// A CUBIC spline with one open segment per chosen row (along +Z), then one per chosen
// column (along +X), through the sample positions; null when the grid is incomplete or
// memory runs out.
SplineObject* BuildGridSpline(const PlotSamples& plot, Int32 step);

}  // namespace vantelle
