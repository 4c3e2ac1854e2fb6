#include "host/scene/document.h"

namespace {

// The hidden head of a document's object list; top-level objects are its children.
class ObjectListHead final : public GeListNode {
public:
  explicit ObjectListHead(BaseDocument* doc) {
    isListHead_ = true;
    headDocument_ = doc;
  }
};

Int64 g_eventAddCount = 0;

}  // namespace

BaseDocument::BaseDocument() : head_(new ObjectListHead(this)) {
  GetDataInstance()->SetTime(DOCUMENT_MINTIME, BaseTime(0.0, 1.0));
  GetDataInstance()->SetTime(DOCUMENT_MAXTIME, BaseTime(90.0, 30.0));
}

BaseDocument::~BaseDocument() {
  // Objects first, while the document they belong to still exists.
  while (BaseObject* op = GetFirstObject()) {
    BaseObject::Free(op);
  }
  delete head_;
}

BaseDocument* BaseDocument::Alloc() {
  return new BaseDocument();
}

void BaseDocument::Free(BaseDocument*& doc) {
  delete doc;
  doc = nullptr;
}

BaseObject* BaseDocument::GetFirstObject() const {
  return static_cast<BaseObject*>(head_->GetDown());
}

void BaseDocument::InsertObject(BaseObject* op, BaseObject* parent, BaseObject* pred) {
  if (op == nullptr) {
    return;
  }
  if (pred != nullptr) {
    op->InsertAfter(pred);
  } else if (parent != nullptr) {
    op->InsertUnder(parent);
  } else {
    op->InsertUnder(head_);
  }
}

BaseDocument* BaseDocument::GetClone(COPYFLAGS flags, AliasTrans* trn) const {
  BaseDocument* clone = Alloc();
  clone->SetName(GetName());
  clone->SetData(GetData());
  clone->time_ = time_;
  clone->fps_ = fps_;
  BaseObject* last = nullptr;
  for (const BaseObject* op = GetFirstObject(); op != nullptr; op = op->GetNext()) {
    BaseObject* copy = op->GetClone(flags, trn);
    if (copy == nullptr) {
      Free(clone);
      return nullptr;
    }
    clone->InsertObject(copy, nullptr, last);
    last = copy;
  }
  return clone;
}

BaseTime BaseDocument::GetMinTime() const {
  return GetDataInstance()->GetTime(DOCUMENT_MINTIME, BaseTime(0.0, 1.0));
}

void BaseDocument::SetMinTime(const BaseTime& time) {
  GetDataInstance()->SetTime(DOCUMENT_MINTIME, time);
}

BaseTime BaseDocument::GetMaxTime() const {
  return GetDataInstance()->GetTime(DOCUMENT_MAXTIME, BaseTime(0.0, 1.0));
}

void BaseDocument::SetMaxTime(const BaseTime& time) {
  GetDataInstance()->SetTime(DOCUMENT_MAXTIME, time);
}

void EventAdd(EVENT /*flags*/) {
  ++g_eventAddCount;
}

Int64 GetEventAddCount() {
  return g_eventAddCount;
}
