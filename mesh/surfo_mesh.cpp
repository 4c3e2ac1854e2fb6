#include "mesh/surfo_mesh.h"

#include <new>

#include "common/type_ids.h"
#include "host/files/description.h"
#include "host/geometry/polygon_object.h"
#include "host/scene/execution.h"
#include "plot/component_support.h"
#include "plot/samples.h"
#include "plot/surfo_object.h"

namespace vantelle {

namespace {

inline constexpr Int32 kMeshPriority = 5010;

BaseObject* EmptyNull() {
  return BaseObject::Alloc(Onull);
}

}  // namespace

NodeData* SurfoMesh::Alloc() {
  return new (std::nothrow) SurfoMesh();
}

Bool SurfoMesh::Init(GeListNode* node) {
  auto* op = dynamic_cast<BaseList2D*>(node);
  if (op == nullptr) {
    return false;
  }
  lastDataDirty_ = 0;
  plotChanged_ = false;
  lastFrame_ = LIMIT_MIN_INT32;
  BaseContainer& bc = *op->GetDataInstance();
  bc.SetBool(SURFOMESH_VERTEXCOLORS, false);
  bc.SetBool(SURFOMESH_PHONG, true);
  bc.SetInt32(SURFOMESH_MODE, SURFOMESH_MODE_SURFACE);
  bc.SetFloat(SURFOMESH_SIZE, 1.0);
  bc.SetBool(SURFOMESH_RENDERONLY, false);
  bc.SetInt32(SURFOMESH_SOLID, SURFOMESH_SOLID_CUBE);
  bc.SetInt32(SURFOMESH_PRIMITIVE, SURFOMESH_PRIMITIVE_CUBE);
  return true;
}

Bool SurfoMesh::CopyTo(NodeData* dest, const GeListNode* snode, GeListNode* dnode, COPYFLAGS flags,
                       AliasTrans* trn) {
  auto* target = dynamic_cast<SurfoMesh*>(dest);
  if (target == nullptr) {
    return false;
  }
  target->lastDataDirty_ = lastDataDirty_;
  return ObjectData::CopyTo(dest, snode, dnode, flags, trn);
}

Bool SurfoMesh::GetDDescription(const GeListNode* node, Description* description, DESCFLAGS_DESC& flags) const {
  if (node == nullptr || description == nullptr || !description->LoadDescription(node->GetType())) {
    return false;
  }
  if (DescParameter* vertexColours = description->GetParameterI(DescID(SURFOMESH_VERTEXCOLORS))) {
    vertexColours->hide = false;
  }
  flags |= DESCFLAGS_DESC::LOADED;
  return ObjectData::GetDDescription(node, description, flags);
}

Bool SurfoMesh::GetDEnabling(const GeListNode* node, const DescID& id, const GeData& value, DESCFLAGS_ENABLE flags,
                             const BaseContainer* itemdesc) const {
  if (!IsSwitchedOn(node)) {
    return false;
  }
  const Int32 mode = static_cast<const BaseObject*>(node)->GetDataInstance()->GetInt32(SURFOMESH_MODE);
  switch (id[0].id) {
    case SURFOMESH_VERTEXCOLORS:
    case SURFOMESH_PHONG:
      return mode == SURFOMESH_MODE_SURFACE;
    case SURFOMESH_SIZE:
      return mode == SURFOMESH_MODE_SOLIDS || mode == SURFOMESH_MODE_PRIMITIVES;
    case SURFOMESH_SOLID:
      return mode == SURFOMESH_MODE_SOLIDS;
    case SURFOMESH_PRIMITIVE:
      return mode == SURFOMESH_MODE_PRIMITIVES;
    default:
      return ObjectData::GetDEnabling(node, id, value, flags, itemdesc);
  }
}

Bool SurfoMesh::AddToExecution(BaseObject* op, PriorityList* list) {
  return JoinPriorityList(op, list, kMeshPriority);
}

EXECUTIONRESULT SurfoMesh::Execute(BaseObject* op, BaseDocument* /*doc*/, BaseThread* /*bt*/, Int32 /*priority*/,
                                   EXECUTIONFLAGS /*flags*/) {
  if (FindPlotObject(op) != nullptr) {
    plotChanged_ = NoticePlotChange(op, lastDataDirty_);
  }
  return EXECUTIONRESULT::OK;
}

BaseObject* SurfoMesh::GetVirtualObjects(BaseObject* op, const HierarchyHelp* hh) {
  BaseObject* plot = FindPlotObject(op);
  const SurfoObject* data = plot != nullptr ? plot->GetNodeData<SurfoObject>() : nullptr;
  if (data == nullptr || hh == nullptr) {
    return EmptyNull();
  }
  const BaseContainer& bc = *op->GetDataInstance();
  const Bool timeDependent = plot->GetDataInstance()->GetBool(SURFO_ANIMATE) && data->UsesTime();
  const Int32 mode = bc.GetInt32(SURFOMESH_MODE);

  const Bool rendering =
      CheckIsRunning(CHECKISRUNNING::EDITORRENDERING) || CheckIsRunning(CHECKISRUNNING::EXTERNALRENDERING);
  if (!rendering && bc.GetBool(SURFOMESH_RENDERONLY)) {
    return EmptyNull();
  }

  BaseDocument* doc = hh->GetDocument();
  const Int32 frame = doc != nullptr ? doc->GetTime().GetFrame(doc->GetFps()) : 0;
  if ((frame == lastFrame_ || !timeDependent) && !plotChanged_ && !op->IsDirty(DIRTYFLAGS::DATA) &&
      op->GetCache() != nullptr) {
    return op->GetCache();
  }

  const PlotSamples& samples = data->GetPlotSamples();
  if (samples.samples.empty()) {
    return EmptyNull();
  }
  lastFrame_ = frame;

  BaseObject* result = nullptr;
  if (samples.IsComplete()) {
    const Float size = bc.GetFloat(SURFOMESH_SIZE);
    switch (mode) {
      case SURFOMESH_MODE_SURFACE:
        result = BuildSurface(samples, op, bc.GetBool(SURFOMESH_VERTEXCOLORS), bc.GetBool(SURFOMESH_PHONG));
        break;
      case SURFOMESH_MODE_SOLIDS:
        result = BuildSolids(samples, size, bc.GetInt32(SURFOMESH_SOLID), doc);
        break;
      case SURFOMESH_MODE_PRIMITIVES:
        result = BuildPrimitives(samples, size, bc.GetInt32(SURFOMESH_PRIMITIVE), hh);
        break;
      default:
        break;
    }
  }
  return result != nullptr ? result : EmptyNull();
}

}  // namespace vantelle
