#include "host/geometry/tags.h"

#include <cstring>
#include <new>
#include <stdexcept>

#include "host/core/faults.h"
#include "host/scene/objects.h"

namespace {

bool IsVariableTagType(Int32 type) {
  return type == Tuvw || type == Tvertexcolor || type == Tsegment;
}

// Every tag allocation asks first, so that each path (Alloc, MakeTag, clones) answers
// the injected allocation fault the same way.
bool TagAllocationAllowed() {
  return !HostFaultTriggered(HostFault::TAG_ALLOC);
}

}  // namespace

// --- BaseTag ----------------------------------------------------------------------------

BaseTag* BaseTag::Alloc(Int32 type) {
  if (IsVariableTagType(type)) {
    return VariableTag::Alloc(type, 0);
  }
  if (type != Tphong) {
    return nullptr;
  }
  BaseTag* tag = TagAllocationAllowed() ? new (std::nothrow) BaseTag(type) : nullptr;
  if (tag != nullptr) {
    BaseContainer* bc = tag->GetDataInstance();
    bc->SetBool(PHONGTAG_PHONG_ANGLELIMIT, false);
    bc->SetFloat(PHONGTAG_PHONG_ANGLE, 80.0 * PI / 180.0);
  }
  return tag;
}

void BaseTag::Free(BaseTag*& tag) {
  if (tag == nullptr) {
    return;
  }
  tag->Remove();
  if (NodeData* data = tag->GetNodeData()) {
    data->Free(tag);
  }
  delete tag;
  tag = nullptr;
}

BaseObject* BaseTag::GetObject() const {
  return static_cast<BaseObject*>(ListOwner());
}

BaseTag* BaseTag::GetClone(COPYFLAGS /*flags*/) const {
  BaseTag* clone = TagAllocationAllowed() ? new (std::nothrow) BaseTag(type_) : nullptr;
  if (clone != nullptr) {
    clone->SetName(GetName());
    clone->SetData(GetData());
  }
  return clone;
}

// --- VariableTag ------------------------------------------------------------------------

namespace {

// Fills entries [from, to) with the value a fresh entry of the tag's type has.
void FillFresh(Int32 type, unsigned char* bytes, Int32 from, Int32 to) {
  if (type == Tvertexcolor) {
    const ColorA32 white;
    for (Int32 i = from; i < to; ++i) {
      std::memcpy(bytes + static_cast<std::size_t>(i) * sizeof(ColorA32), &white, sizeof(ColorA32));
    }
  }
  // Every other type starts zeroed, which the byte vector already is.
}

}  // namespace

VariableTag* VariableTag::Alloc(Int32 type, Int32 count) {
  if (count < 0 || !IsVariableTagType(type)) {
    return nullptr;
  }
  if (!TagAllocationAllowed()) {
    return nullptr;
  }
  VariableTag* tag = nullptr;
  switch (type) {
    case Tuvw: tag = new (std::nothrow) UVWTag(); break;
    case Tvertexcolor: tag = new (std::nothrow) VertexColorTag(); break;
    default: tag = new (std::nothrow) SegmentTag(); break;
  }
  if (tag != nullptr && !tag->Resize(count)) {
    delete tag;
    return nullptr;
  }
  return tag;
}

Bool VariableTag::Resize(Int32 count) {
  if (count < 0) {
    return false;
  }
  try {
    data_.resize(static_cast<std::size_t>(count) * static_cast<std::size_t>(entrySize_));
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  FillFresh(GetType(), data_.data(), count_, count);
  count_ = count;
  return true;
}

BaseTag* VariableTag::GetClone(COPYFLAGS /*flags*/) const {
  VariableTag* clone = Alloc(GetType(), count_);
  if (clone == nullptr) {
    return nullptr;
  }
  clone->SetName(GetName());
  clone->SetData(GetData());
  clone->data_ = data_;
  return clone;
}

// --- The concrete variable tags ---------------------------------------------------------

UVWTag* UVWTag::Alloc(Int32 count) {
  return static_cast<UVWTag*>(VariableTag::Alloc(Tuvw, count));
}

UVWStruct UVWTag::Get(Int32 polygon) const {
  UVWStruct uvw;
  if (polygon >= 0 && polygon < GetDataCount()) {
    std::memcpy(&uvw, static_cast<const unsigned char*>(GetLowlevelDataAddressR()) +
                          static_cast<std::size_t>(polygon) * sizeof(UVWStruct),
                sizeof(UVWStruct));
  }
  return uvw;
}

void UVWTag::Set(Int32 polygon, const UVWStruct& uvw) {
  if (polygon >= 0 && polygon < GetDataCount()) {
    std::memcpy(static_cast<unsigned char*>(GetLowlevelDataAddressW()) + static_cast<std::size_t>(polygon) * sizeof(UVWStruct),
                &uvw, sizeof(UVWStruct));
  }
}

VertexColorTag* VertexColorTag::Alloc(Int32 count) {
  return static_cast<VertexColorTag*>(VariableTag::Alloc(Tvertexcolor, count));
}

SegmentTag* SegmentTag::Alloc(Int32 count) {
  return static_cast<SegmentTag*>(VariableTag::Alloc(Tsegment, count));
}
