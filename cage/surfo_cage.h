// The cage component: a wire box around the plot, with optional rings at even heights and
// loops that divide it evenly in X and Z.
#pragma once

#include "host/scene/objects.h"
#include "plot/component_support.h"

class SplineObject;

namespace vantelle {

inline constexpr Int32 SURFOCAGE_RINGS = 40000;
inline constexpr Int32 SURFOCAGE_DIVISIONS = 40001;
inline constexpr Int32 SURFOCAGE_COLOR = 40002;

class SurfoCage final : public ObjectData {
public:
  static NodeData* Alloc();

  Bool Init(GeListNode* node) override;
  Bool CopyTo(NodeData* dest, const GeListNode* snode, GeListNode* dnode, COPYFLAGS flags,
              AliasTrans* trn) override;
  Bool GetDEnabling(const GeListNode* node, const DescID& id, const GeData& value, DESCFLAGS_ENABLE flags,
                    const BaseContainer* itemdesc) const override;
  Bool AddToExecution(BaseObject* op, PriorityList* list) override;
  // Marks the cage dirty on a new frame and when the plot's size or height changed; the
  // box does not depend on the samples.
  void CheckDirty(BaseObject* op, const BaseDocument* doc) override;
  // The box; an empty spline where nothing can be built.
  SplineObject* GetContour(BaseObject* op, BaseDocument* doc, Float lod, BaseThread* bt) override;

private:
  PlotWatch watch_;
};

// A closed LINEAR spline: the box of half-extent b (X, Z) and c (Y) with `rings` rings and
// `divisions` loops per axis (negative counts as none); null when it cannot be made.
SplineObject* BuildCageSpline(Float b, Float c, Int32 rings, Int32 divisions);

}  // namespace vantelle
