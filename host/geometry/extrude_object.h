// The host's extrude generator (Oextrude): its child splines swept into one closed mesh.
#pragma once

#include <vector>

#include "host/scene/objects.h"

// Parameters of an extrude generator.
// Vector: the sweep, in the generator's coordinates: the back cap is the front cap moved
// by it. (0, 0, D) makes text in the XY plane D deep, its front facing -Z.
inline constexpr Int32 EXTRUDEOBJECT_MOVE = 1009;
// Vector: the sweep as older scenes stored it. Kept as written; the mesh follows
// EXTRUDEOBJECT_MOVE alone.
inline constexpr Int32 EXTRUDEOBJECT_MOVE_LEGACY = 1002;

class ExtrudeData final : public ObjectData {
public:
  static NodeData* Alloc();

  // The default sweep is (0, 0, 20).
  Bool Init(GeListNode* node) override;
  // Sweeps every enabled child that is a spline or a spline generator (its contour,
  // brought up to date first), placed by the child's own position, rotation and scale.
  // Each child's closed segments are filled together, so its nested outlines make holes
  // (see ExtrudeOutlines). The cache is kept while neither the generator's sweep, nor
  // any child's settings, placement, state or contour changed.
  BaseObject* GetVirtualObjects(BaseObject* op, const HierarchyHelp* hh) override;

private:
  struct Stamp {
    Vector move;
    std::vector<UInt32> children;  // per child: on/off, then its dirty counts
    bool operator==(const Stamp&) const = default;
  };
  Stamp built_;
};
