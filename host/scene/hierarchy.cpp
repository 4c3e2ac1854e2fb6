#include "host/scene/hierarchy.h"

#include "host/scene/document.h"

#include <vector>

namespace {

// One counter for every node and kind, so a count is never repeated.
UInt32 g_dirtyCounter = 0;

UInt32 NextDirtyCount() {
  return ++g_dirtyCounter;
}

}  // namespace

// --- NodeData ---------------------------------------------------------------------------

Bool NodeData::Init(GeListNode* /*node*/) {
  return true;
}

void NodeData::Free(GeListNode* /*node*/) {}

Bool NodeData::CopyTo(NodeData* /*dest*/, const GeListNode* /*snode*/, GeListNode* /*dnode*/, COPYFLAGS /*flags*/,
                      AliasTrans* /*trn*/) {
  return true;
}

Bool NodeData::Message(GeListNode* /*node*/, Int32 /*type*/, void* /*data*/) {
  return true;
}

Bool NodeData::GetDDescription(const GeListNode* node, Description* description, DESCFLAGS_DESC& flags) const {
  if (description == nullptr || node == nullptr) {
    return false;
  }
  if (!description->IsLoaded() && !description->LoadDescription(node->GetType())) {
    return false;
  }
  flags |= DESCFLAGS_DESC::LOADED;
  return true;
}

Bool NodeData::GetDEnabling(const GeListNode* /*node*/, const DescID& /*id*/, const GeData& /*value*/,
                            DESCFLAGS_ENABLE /*flags*/, const BaseContainer* /*itemdesc*/) const {
  return true;
}

// --- GeListNode -------------------------------------------------------------------------

GeListNode::~GeListNode() {
  Unlink();
  // Children are freed with a work list rather than by recursion, so that a deep
  // hierarchy cannot exhaust the stack. Each node is freed whole (Free sees its children)
  // and then destroyed without any.
  std::vector<GeListNode*> pending;
  DetachChildren(pending);
  while (!pending.empty()) {
    GeListNode* node = pending.back();
    pending.pop_back();
    if (node->nodeData_) {
      node->nodeData_->Free(node);
    }
    node->DetachChildren(pending);
    delete node;
  }
}

void GeListNode::DetachChildren(std::vector<GeListNode*>& into) {
  GeListNode* child = down_;
  down_ = nullptr;
  while (child != nullptr) {
    GeListNode* next = child->next_;
    child->up_ = nullptr;
    child->pred_ = nullptr;
    child->next_ = nullptr;
    into.push_back(child);
    child = next;
  }
}

GeListNode* GeListNode::GetUp() const {
  return up_ != nullptr && up_->isListHead_ ? nullptr : up_;
}

GeListNode* GeListNode::GetDownLast() const {
  GeListNode* node = down_;
  while (node != nullptr && node->next_ != nullptr) {
    node = node->next_;
  }
  return node;
}

bool GeListNode::IsAncestorOf(const GeListNode* node) const {
  if (down_ == nullptr) {
    return node == this;  // a leaf is nobody's ancestor: no walk needed
  }
  for (const GeListNode* n = node; n != nullptr; n = n->up_) {
    if (n == this) {
      return true;
    }
  }
  return false;
}

void GeListNode::Unlink() {
  if (pred_ != nullptr) {
    pred_->next_ = next_;
  } else if (up_ != nullptr && up_->down_ == this) {
    up_->down_ = next_;
  }
  if (next_ != nullptr) {
    next_->pred_ = pred_;
  }
  up_ = nullptr;
  next_ = nullptr;
  pred_ = nullptr;
}

void GeListNode::InsertUnder(GeListNode* parent) {
  if (parent == nullptr || IsAncestorOf(parent)) {
    return;
  }
  Unlink();
  up_ = parent;
  next_ = parent->down_;
  if (next_ != nullptr) {
    next_->pred_ = this;
  }
  parent->down_ = this;
}

void GeListNode::InsertUnderLast(GeListNode* parent) {
  if (parent == nullptr || IsAncestorOf(parent)) {
    return;
  }
  GeListNode* last = parent->GetDownLast();
  if (last == nullptr) {
    InsertUnder(parent);
  } else if (last != this) {
    InsertAfter(last);
  }
}

void GeListNode::InsertBefore(GeListNode* next) {
  if (next == nullptr || next == this || IsAncestorOf(next)) {
    return;
  }
  Unlink();
  up_ = next->up_;
  pred_ = next->pred_;
  next_ = next;
  if (pred_ != nullptr) {
    pred_->next_ = this;
  } else if (up_ != nullptr) {
    up_->down_ = this;
  }
  next->pred_ = this;
}

void GeListNode::InsertAfter(GeListNode* pred) {
  if (pred == nullptr || pred == this || IsAncestorOf(pred)) {
    return;
  }
  Unlink();
  up_ = pred->up_;
  pred_ = pred;
  next_ = pred->next_;
  if (next_ != nullptr) {
    next_->pred_ = this;
  }
  pred->next_ = this;
}

void GeListNode::Remove() {
  Unlink();
}

BaseDocument* GeListNode::GetDocument() const {
  const GeListNode* top = this;
  while (top->up_ != nullptr) {
    top = top->up_;
  }
  if (top->isListHead_) {
    // A tag belongs to whatever document its object is in.
    return top->headOwner_ != nullptr ? top->headOwner_->GetDocument() : top->headDocument_;
  }
  return const_cast<BaseDocument*>(dynamic_cast<const BaseDocument*>(top));
}

Bool GeListNode::Message(Int32 type, void* data) {
  HostMessage(type, data);
  return nodeData_ ? nodeData_->Message(this, type, data) : true;
}

void GeListNode::HostMessage(Int32 /*type*/, void* /*data*/) {}

Bool GeListNode::GetNBit(Int32 bit) const {
  return bit >= 0 && bit < NBIT_COUNT && nbits_[static_cast<std::size_t>(bit)];
}

Bool GeListNode::ChangeNBit(Int32 bit, Int32 control) {
  if (bit < 0 || bit >= NBIT_COUNT) {
    return false;
  }
  bool& value = nbits_[static_cast<std::size_t>(bit)];
  switch (control) {
    case NBIT_CONTROL_SET: value = true; return true;
    case NBIT_CONTROL_CLEAR: value = false; return true;
    case NBIT_CONTROL_TOGGLE: value = !value; return true;
    default: return false;
  }
}

void GeListNode::AttachNodeData(std::unique_ptr<NodeData> data) {
  nodeData_ = std::move(data);
  if (nodeData_) {
    nodeData_->node_ = dynamic_cast<BaseList2D*>(this);
  }
}

// --- BaseList2D -------------------------------------------------------------------------

BaseList2D::BaseList2D()
    : dirtyData_(NextDirtyCount()), dirtyMatrix_(NextDirtyCount()), dirtyCache_(NextDirtyCount()),
      dirtyChildren_(NextDirtyCount()) {}

UInt32 BaseList2D::GetDirty(DIRTYFLAGS flags) const {
  // Several kinds at once answer with the sum, which changes when any of them does.
  const auto bits = static_cast<UInt32>(flags);
  UInt32 sum = 0;
  if (bits & static_cast<UInt32>(DIRTYFLAGS::DATA)) sum += dirtyData_;
  if (bits & static_cast<UInt32>(DIRTYFLAGS::MATRIX)) sum += dirtyMatrix_;
  if (bits & static_cast<UInt32>(DIRTYFLAGS::CACHE)) sum += dirtyCache_;
  if (bits & static_cast<UInt32>(DIRTYFLAGS::CHILDREN)) sum += dirtyChildren_;
  return sum;
}

void BaseList2D::SetDirty(DIRTYFLAGS flags) {
  const auto bits = static_cast<UInt32>(flags);
  if (bits & static_cast<UInt32>(DIRTYFLAGS::DATA)) dirtyData_ = NextDirtyCount();
  if (bits & static_cast<UInt32>(DIRTYFLAGS::MATRIX)) dirtyMatrix_ = NextDirtyCount();
  if (bits & static_cast<UInt32>(DIRTYFLAGS::CACHE)) dirtyCache_ = NextDirtyCount();
  if (bits & static_cast<UInt32>(DIRTYFLAGS::CHILDREN)) dirtyChildren_ = NextDirtyCount();
}

void BaseList2D::HostMessage(Int32 type, void* /*data*/) {
  if (type == MSG_UPDATE) {
    SetDirty(DIRTYFLAGS::DATA);
  }
}

Bool BaseList2D::GetParameter(const DescID& id, GeData& value, DESCFLAGS_GET /*flags*/) const {
  const GeData* data = data_.GetDataPointer(id[0].id);
  if (data == nullptr) {
    return false;
  }
  value = *data;
  return true;
}

Bool BaseList2D::SetParameter(const DescID& id, const GeData& value, DESCFLAGS_SET /*flags*/) {
  data_.SetData(id[0].id, value);
  SetDirty(DIRTYFLAGS::DATA);
  DescriptionPostSetValue notice{&id};
  Message(MSG_DESCRIPTION_POSTSETPARAMETER, &notice);
  return true;
}

Bool BaseList2D::PressButton(const DescID& id) {
  DescriptionCommand command{id};
  return Message(MSG_DESCRIPTION_COMMAND, &command);
}

Bool BaseList2D::GetDescription(Description* description, DESCFLAGS_DESC flags) const {
  if (description == nullptr) {
    return false;
  }
  if (NodeData* data = GetNodeData()) {
    return data->GetDDescription(this, description, flags);
  }
  return description->LoadDescription(GetType());
}

Bool BaseList2D::GetEnabling(const DescID& id) const {
  NodeData* data = GetNodeData();
  if (data == nullptr) {
    return true;
  }
  return data->GetDEnabling(this, id, data_.GetData(id[0].id), DESCFLAGS_ENABLE::NONE, nullptr);
}
