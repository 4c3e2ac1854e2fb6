#include "host/scene/objects.h"

#include <cmath>

#include <algorithm>

#include "host/core/faults.h"
#include "host/geometry/builtin_generators.h"
#include "host/geometry/polygon_object.h"
#include "host/geometry/spline_object.h"
#include "host/geometry/tags.h"
#include "host/scene/document.h"
#include "host/scene/registry.h"

// --- ObjectData defaults ----------------------------------------------------------------

EXECUTIONRESULT ObjectData::Execute(BaseObject* /*op*/, BaseDocument* /*doc*/, BaseThread* /*bt*/, Int32 /*priority*/,
                                    EXECUTIONFLAGS /*flags*/) {
  return EXECUTIONRESULT::OK;
}

Bool ObjectData::AddToExecution(BaseObject* /*op*/, PriorityList* /*list*/) {
  return false;
}

BaseObject* ObjectData::GetVirtualObjects(BaseObject* /*op*/, const HierarchyHelp* /*hh*/) {
  return nullptr;
}

SplineObject* ObjectData::GetContour(BaseObject* /*op*/, BaseDocument* /*doc*/, Float /*lod*/, BaseThread* /*bt*/) {
  return nullptr;
}

void ObjectData::CheckDirty(BaseObject* /*op*/, const BaseDocument* /*doc*/) {}

void ObjectData::GetDimension(const BaseObject* op, Vector* mp, Vector* rad) const {
  const BaseObject* cache = op != nullptr ? op->GetCache() : nullptr;
  if (mp != nullptr) *mp = cache != nullptr ? cache->GetMp() : Vector();
  if (rad != nullptr) *rad = cache != nullptr ? cache->GetRad() : Vector();
}

Int32 ObjectData::GetHandleCount(const BaseObject* /*op*/) const {
  return 0;
}

void ObjectData::GetHandle(BaseObject* /*op*/, Int32 /*i*/, HandleInfo& /*info*/) {}

void ObjectData::SetHandle(BaseObject* /*op*/, Int32 /*i*/, Vector /*p*/, const HandleInfo& /*info*/) {}

// ObjectData::Draw lives with the drawing layer (host/ui/base_draw.cpp).

// --- BaseObject -------------------------------------------------------------------------

Matrix HPBToMatrix(const Vector& hpb) {
  const Float ch = std::cos(hpb.x), sh = std::sin(hpb.x);
  const Float cp = std::cos(hpb.y), sp = std::sin(hpb.y);
  const Float cb = std::cos(hpb.z), sb = std::sin(hpb.z);
  Matrix heading;
  heading.v1 = {ch, 0.0, sh};
  heading.v3 = {-sh, 0.0, ch};
  Matrix pitch;
  pitch.v2 = {0.0, cp, sp};
  pitch.v3 = {0.0, -sp, cp};
  Matrix bank;
  bank.v1 = {cb, sb, 0.0};
  bank.v2 = {-sb, cb, 0.0};
  return heading * pitch * bank;
}

namespace {

// The hidden head of an object's tag list; the tags are its children. It knows its
// object, so that a tag can name the object it is attached to.
class TagListHead final : public GeListNode {
public:
  explicit TagListHead(BaseObject* owner) {
    isListHead_ = true;
    headOwner_ = owner;
  }
};

bool IsBuiltInType(Int32 type) {
  switch (type) {
    case Opolygon:
    case Onull:
    case Ocube:
    case Osphere:
    case Oplatonic:
    case Opyramid:
      return true;
    default:
      return false;
  }
}

// Copies the points (and polygons) of a point object into its clone; false when memory
// runs out. A spline's segment records travel with its tags.
bool CopyGeometry(const BaseObject* source, BaseObject* dest) {
  const auto* fromSpline = dynamic_cast<const SplineObject*>(source);
  auto* toSpline = dynamic_cast<SplineObject*>(dest);
  if (fromSpline != nullptr && toSpline != nullptr) {
    if (!toSpline->ResizeObject(fromSpline->GetPointCount(), toSpline->GetSegmentCount())) {
      return false;
    }
    std::copy(fromSpline->GetPointR(), fromSpline->GetPointR() + fromSpline->GetPointCount(), toSpline->GetPointW());
    return true;
  }
  const auto* from = dynamic_cast<const PolygonObject*>(source);
  auto* to = dynamic_cast<PolygonObject*>(dest);
  if (from == nullptr || to == nullptr) {
    return true;
  }
  if (!to->ResizeObject(from->GetPointCount(), from->GetPolygonCount())) {
    return false;
  }
  std::copy(from->GetPointR(), from->GetPointR() + from->GetPointCount(), to->GetPointW());
  std::copy(from->GetPolygonR(), from->GetPolygonR() + from->GetPolygonCount(), to->GetPolygonW());
  return true;
}

}  // namespace

BaseObject* BaseObject::Alloc(Int32 type) {
  if (HostFaultTriggered(HostFault::OBJECT_ALLOC)) {
    return nullptr;
  }
  if (type == Opolygon) {
    return new PolygonObject();
  }
  if (type == Ospline) {
    return new SplineObject();
  }
  if (IsBuiltInType(type)) {
    return new BaseObject(type);
  }
  const ObjectPlugin* plugin = FindBuiltInGenerator(type);
  if (plugin == nullptr) {
    plugin = FindObjectPlugin(type);
  }
  if (plugin == nullptr || plugin->allocator == nullptr) {
    return nullptr;
  }
  NodeData* data = plugin->allocator();
  if (data == nullptr) {
    return nullptr;
  }
  auto* op = new BaseObject(type);
  op->plugin_ = plugin;
  // A new object is called what its type is called, as in the host's object menu.
  op->SetName(plugin->name);
  op->AttachNodeData(std::unique_ptr<NodeData>(data));
  if (!data->Init(op)) {
    Free(op);
    return nullptr;
  }
  return op;
}

void BaseObject::Free(BaseObject*& op) {
  if (op == nullptr) {
    return;
  }
  op->Remove();
  if (NodeData* data = op->GetNodeData()) {
    data->Free(op);
  }
  delete op;
  op = nullptr;
}

BaseObject::~BaseObject() {
  Free(cache_);
  delete tagHead_;  // frees the tags with it
}

// --- Tags -------------------------------------------------------------------------------

BaseTag* BaseObject::GetFirstTag() const {
  return tagHead_ != nullptr ? static_cast<BaseTag*>(tagHead_->GetDown()) : nullptr;
}

BaseTag* BaseObject::GetTag(Int32 type, Int32 nr) const {
  if (nr < 0) {
    return nullptr;
  }
  for (BaseTag* tag = GetFirstTag(); tag != nullptr; tag = tag->GetNext()) {
    if (tag->GetType() == type && nr-- == 0) {
      return tag;
    }
  }
  return nullptr;
}

BaseTag* BaseObject::MakeTag(Int32 type, BaseTag* pred) {
  BaseTag* tag = BaseTag::Alloc(type);
  if (tag != nullptr) {
    InsertTag(tag, pred);
  }
  return tag;
}

VariableTag* BaseObject::MakeVariableTag(Int32 type, Int32 count, BaseTag* pred) {
  VariableTag* tag = VariableTag::Alloc(type, count);
  if (tag != nullptr) {
    InsertTag(tag, pred);
  }
  return tag;
}

void BaseObject::InsertTag(BaseTag* tag, BaseTag* pred) {
  if (tag == nullptr) {
    return;
  }
  if (tagHead_ == nullptr) {
    tagHead_ = new TagListHead(this);
  }
  // A predecessor on another object (or the tag itself) cannot say where the tag goes
  // here, so the tag goes first, as with no predecessor.
  if (pred != nullptr && pred != tag && pred->GetObject() == this) {
    tag->InsertAfter(pred);
  } else {
    tag->InsertUnder(tagHead_);
  }
}

void BaseObject::KillTag(Int32 type, Int32 nr) {
  BaseTag* tag = GetTag(type, nr);
  BaseTag::Free(tag);
}

Bool BaseObject::IsDirty(DIRTYFLAGS flags) const {
  if (!cacheBuilt_) {
    return true;
  }
  if ((static_cast<UInt32>(flags) & static_cast<UInt32>(DIRTYFLAGS::DATA)) != 0) {
    return GetDirty(DIRTYFLAGS::DATA) != cacheDataDirty_;
  }
  return false;
}

void BaseObject::SetCache(BaseObject* cache) {
  if (cache != cache_) {
    Free(cache_);
    cache_ = cache;
    if (cache_ != nullptr) {
      cache_->Remove();
    }
  }
  cacheBuilt_ = true;
  cacheDataDirty_ = GetDirty(DIRTYFLAGS::DATA);
}

void BaseObject::SetRelPos(const Vector& v) {
  pos_ = v;
  SetDirty(DIRTYFLAGS::MATRIX);
}

void BaseObject::SetRelRot(const Vector& v) {
  rot_ = v;
  SetDirty(DIRTYFLAGS::MATRIX);
}

void BaseObject::SetRelScale(const Vector& v) {
  scale_ = v;
  SetDirty(DIRTYFLAGS::MATRIX);
}

void BaseObject::GetBoundingBox(Vector* mp, Vector* rad) const {
  Vector centre, half;
  if (const auto* points = dynamic_cast<const PointObject*>(this); points != nullptr && points->GetPointCount() > 0) {
    const Vector* p = points->GetPointR();
    Vector lo = p[0], hi = p[0];
    for (Int32 i = 1; i < points->GetPointCount(); ++i) {
      lo = {std::min(lo.x, p[i].x), std::min(lo.y, p[i].y), std::min(lo.z, p[i].z)};
      hi = {std::max(hi.x, p[i].x), std::max(hi.y, p[i].y), std::max(hi.z, p[i].z)};
    }
    centre = (lo + hi) * 0.5;
    half = (hi - lo) * 0.5;
  } else if (const ObjectData* data = GetObjectData()) {
    data->GetDimension(this, &centre, &half);
  } else if (cache_ != nullptr) {
    centre = cache_->GetMp();
    half = cache_->GetRad();
  }
  if (mp != nullptr) *mp = centre;
  if (rad != nullptr) *rad = half;
}

Vector BaseObject::GetMp() const {
  Vector mp;
  GetBoundingBox(&mp, nullptr);
  return mp;
}

Vector BaseObject::GetRad() const {
  Vector rad;
  GetBoundingBox(nullptr, &rad);
  return rad;
}

Matrix BaseObject::GetMl() const {
  Matrix m = HPBToMatrix(rot_);
  m.v1 *= scale_.x;
  m.v2 *= scale_.y;
  m.v3 *= scale_.z;
  m.off = pos_;
  return m;
}

Matrix BaseObject::GetMg() const {
  const BaseObject* parent = GetUp();
  return parent != nullptr ? parent->GetMg() * GetMl() : GetMl();
}

void BaseObject::SetDeformMode(Bool mode, Bool notify) {
  if (enabled_ == mode) {
    return;
  }
  enabled_ = mode;
  // Switching changes what the object builds, as a parameter edit does.
  SetDirty(DIRTYFLAGS::DATA);
  if (notify) {
    Message(MSG_DEFORMMODE_CHANGED);
  }
}

BaseObject* BaseObject::GetClone(COPYFLAGS flags, AliasTrans* trn) const {
  BaseObject* clone = Alloc(type_);
  if (clone == nullptr) {
    return nullptr;
  }
  clone->SetName(GetName());
  clone->SetData(GetData());
  clone->pos_ = pos_;
  clone->rot_ = rot_;
  clone->scale_ = scale_;
  clone->enabled_ = enabled_;
  clone->editorMode_ = editorMode_;
  clone->renderMode_ = renderMode_;
  clone->colorProperties_ = colorProperties_;
  if (!CopyGeometry(this, clone)) {
    Free(clone);
    return nullptr;
  }
  BaseTag* lastTag = nullptr;
  for (const BaseTag* tag = GetFirstTag(); tag != nullptr; tag = tag->GetNext()) {
    BaseTag* tagClone = tag->GetClone(flags);
    if (tagClone == nullptr) {
      Free(clone);
      return nullptr;
    }
    clone->InsertTag(tagClone, lastTag);
    lastTag = tagClone;
  }
  if (NodeData* data = GetNodeData()) {
    if (!data->CopyTo(clone->GetNodeData(), this, clone, flags, trn)) {
      Free(clone);
      return nullptr;
    }
  }
  if ((static_cast<Int32>(flags) & static_cast<Int32>(COPYFLAGS::NO_HIERARCHY)) == 0) {
    for (const BaseObject* child = GetDown(); child != nullptr; child = child->GetNext()) {
      BaseObject* childClone = child->GetClone(flags, trn);
      if (childClone == nullptr) {
        Free(clone);
        return nullptr;
      }
      childClone->InsertUnderLast(clone);
    }
  }
  return clone;
}
