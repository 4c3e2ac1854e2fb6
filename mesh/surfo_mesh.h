// The surface mesh component: turns its plot's samples into polygons, into small solids
// at the samples, or into one primitive object per sample.
#pragma once

#include "host/scene/objects.h"

class PolygonObject;

namespace vantelle {

class SurfoObject;
struct PlotSamples;

inline constexpr Int32 SURFOMESH_VERTEXCOLORS = 20000;
inline constexpr Int32 SURFOMESH_PHONG = 20001;
inline constexpr Int32 SURFOMESH_MODE = 20002;
inline constexpr Int32 SURFOMESH_SIZE = 20005;
inline constexpr Int32 SURFOMESH_RENDERONLY = 20006;
inline constexpr Int32 SURFOMESH_SOLID = 20007;
inline constexpr Int32 SURFOMESH_PRIMITIVE = 20008;

inline constexpr Int32 SURFOMESH_MODE_SURFACE = 0;
inline constexpr Int32 SURFOMESH_MODE_SOLIDS = 1;
inline constexpr Int32 SURFOMESH_MODE_PRIMITIVES = 2;

inline constexpr Int32 SURFOMESH_SOLID_CUBE = 0;
inline constexpr Int32 SURFOMESH_SOLID_PYRAMID = 1;
inline constexpr Int32 SURFOMESH_SOLID_ICOSAHEDRON = 2;

inline constexpr Int32 SURFOMESH_PRIMITIVE_CUBE = 0;
inline constexpr Int32 SURFOMESH_PRIMITIVE_SPHERE = 1;
inline constexpr Int32 SURFOMESH_PRIMITIVE_PYRAMID = 2;
inline constexpr Int32 SURFOMESH_PRIMITIVE_PLATONIC = 3;

class SurfoMesh final : public ObjectData {
public:
  static NodeData* Alloc();

  Bool Init(GeListNode* node) override;
  Bool CopyTo(NodeData* dest, const GeListNode* snode, GeListNode* dnode, COPYFLAGS flags,
              AliasTrans* trn) override;
  Bool GetDDescription(const GeListNode* node, Description* description, DESCFLAGS_DESC& flags) const override;
  Bool GetDEnabling(const GeListNode* node, const DescID& id, const GeData& value, DESCFLAGS_ENABLE flags,
                    const BaseContainer* itemdesc) const override;
  Bool AddToExecution(BaseObject* op, PriorityList* list) override;
  // Notices that the plot changed since the last pass and asks for a new cache.
  EXECUTIONRESULT Execute(BaseObject* op, BaseDocument* doc, BaseThread* bt, Int32 priority,
                          EXECUTIONFLAGS flags) override;
  // The mesh, or the current cache when nothing changed; an empty null where nothing can
  // be built. Never null unless even that cannot be allocated.
  BaseObject* GetVirtualObjects(BaseObject* op, const HierarchyHelp* hh) override;

private:
  UInt32 lastDataDirty_ = 0;
  Bool plotChanged_ = false;
  Int32 lastFrame_ = LIMIT_MIN_INT32;
};

// The builders, given a complete grid of samples. Each returns null when it cannot build.
// A polygon surface through every sample, with texture coordinates; vertex colours and a
// phong tag on request. The vertex colours are also published on `component`.
PolygonObject* BuildSurface(const PlotSamples& plot, BaseObject* component, Bool vertexColours, Bool phong);
// One closed solid (SURFOMESH_SOLID_*) of size s around every sample, all in one object.
PolygonObject* BuildSolids(const PlotSamples& plot, Float s, Int32 shape, BaseDocument* doc);
// A null holding one host primitive (SURFOMESH_PRIMITIVE_*) of size s per sample,
// coloured with its sample's colour.
BaseObject* BuildPrimitives(const PlotSamples& plot, Float s, Int32 type, const HierarchyHelp* hh);

}  // namespace vantelle
