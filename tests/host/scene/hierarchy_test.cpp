#include <gtest/gtest.h>

#include <vector>

#include "host/core/faults.h"
#include "host/scene/document.h"
#include "host/scene/registry.h"

namespace {

constexpr Int32 kRecorderType = 990001;
constexpr Int32 kRefusingType = 990002;

std::vector<Int32> g_freed;  // ids (container 1) of instances whose Free ran

// A plug-in that records what the host does to it.
class Recorder : public ObjectData {
public:
  static NodeData* Alloc() { return new Recorder(); }
  Bool Init(GeListNode* node) override {
    static_cast<BaseList2D*>(node)->GetDataInstance()->SetInt32(2, 42);
    return true;
  }
  void Free(GeListNode* node) override { g_freed.push_back(static_cast<BaseList2D*>(node)->GetDataInstance()->GetInt32(1)); }
  Bool CopyTo(NodeData* dest, const GeListNode*, GeListNode*, COPYFLAGS, AliasTrans*) override {
    static_cast<Recorder*>(dest)->copiedPayload = payload;
    return true;
  }
  Bool Message(GeListNode*, Int32 type, void* data) override {
    messages.push_back(type);
    if (type == MSG_DESCRIPTION_POSTSETPARAMETER) {
      lastSetId = (*static_cast<DescriptionPostSetValue*>(data)->descid)[0].id;
    }
    if (type == MSG_DESCRIPTION_COMMAND) {
      lastCommandId = static_cast<DescriptionCommand*>(data)->id[0].id;
    }
    return true;
  }
  std::vector<Int32> messages;
  Int32 lastSetId = 0;
  Int32 lastCommandId = 0;
  Int32 payload = 0;
  Int32 copiedPayload = 0;
};

class Refusing : public ObjectData {
public:
  static NodeData* Alloc() { return new Refusing(); }
  Bool Init(GeListNode*) override { return false; }
};

class Hierarchy : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    RegisterObjectPlugin(kRecorderType, String("Recorder"), OBJECT_GENERATOR, Recorder::Alloc, String(), nullptr, 0);
    RegisterObjectPlugin(kRefusingType, String("Refusing"), 0, Refusing::Alloc, String(), nullptr, 0);
  }
  static void TearDownTestSuite() { FreeObjectPlugins(); }
  void SetUp() override { g_freed.clear(); }

  static BaseObject* Tagged(Int32 type, Int32 tag) {
    BaseObject* op = BaseObject::Alloc(type);
    op->GetDataInstance()->SetInt32(1, tag);
    return op;
  }
};

TEST_F(Hierarchy, InsertUnderMakesTheFirstChildAndLastMakesTheLast) {
  BaseObject* parent = BaseObject::Alloc(Onull);
  BaseObject* a = BaseObject::Alloc(Onull);
  BaseObject* b = BaseObject::Alloc(Onull);
  BaseObject* c = BaseObject::Alloc(Onull);
  a->InsertUnder(parent);
  b->InsertUnder(parent);
  c->InsertUnderLast(parent);
  EXPECT_EQ(parent->GetDown(), b);
  EXPECT_EQ(b->GetNext(), a);
  EXPECT_EQ(a->GetNext(), c);
  EXPECT_EQ(c->GetPred(), a);
  EXPECT_EQ(parent->GetDownLast(), c);
  EXPECT_EQ(a->GetUp(), parent);

  a->Remove();
  EXPECT_EQ(b->GetNext(), c);
  EXPECT_EQ(c->GetPred(), b);
  EXPECT_EQ(a->GetUp(), nullptr);
  BaseObject::Free(a);
  EXPECT_EQ(a, nullptr);

  // Moving an object re-links it instead of leaving it in two places.
  c->InsertUnder(b);
  EXPECT_EQ(b->GetNext(), nullptr);
  EXPECT_EQ(b->GetDown(), c);
  BaseObject::Free(parent);
}

TEST_F(Hierarchy, RefusesToInsertANodeBelowItself) {
  BaseObject* parent = BaseObject::Alloc(Onull);
  BaseObject* child = BaseObject::Alloc(Onull);
  child->InsertUnder(parent);
  parent->InsertUnder(child);
  parent->InsertUnder(parent);
  parent->InsertAfter(child);
  EXPECT_EQ(parent->GetUp(), nullptr);
  EXPECT_EQ(child->GetUp(), parent);
  EXPECT_EQ(parent->GetNext(), nullptr);
  BaseObject::Free(parent);
}

TEST_F(Hierarchy, DocumentObjectsAreTopLevelAndKnowTheirDocument) {
  BaseDocument* doc = BaseDocument::Alloc();
  BaseObject* first = BaseObject::Alloc(Onull);
  BaseObject* second = BaseObject::Alloc(Onull);
  BaseObject* child = BaseObject::Alloc(Onull);
  doc->InsertObject(second, nullptr, nullptr);
  doc->InsertObject(first, nullptr, nullptr);
  doc->InsertObject(child, second, nullptr);
  EXPECT_EQ(doc->GetFirstObject(), first);
  EXPECT_EQ(first->GetNext(), second);
  EXPECT_EQ(first->GetUp(), nullptr);
  EXPECT_EQ(child->GetDocument(), doc);
  EXPECT_EQ(first->GetDocument(), doc);

  child->Remove();
  EXPECT_EQ(child->GetDocument(), nullptr);
  BaseObject::Free(child);
  BaseDocument::Free(doc);
}

TEST_F(Hierarchy, FreeingAParentFreesEachPluginInstanceInTheSubtreeOnce) {
  BaseDocument* doc = BaseDocument::Alloc();
  BaseObject* root = Tagged(kRecorderType, 1);
  BaseObject* mid = Tagged(kRecorderType, 2);
  Tagged(kRecorderType, 3)->InsertUnder(mid);
  mid->InsertUnder(root);
  Tagged(kRecorderType, 4)->InsertUnderLast(root);
  doc->InsertObject(root, nullptr, nullptr);
  BaseDocument::Free(doc);
  std::sort(g_freed.begin(), g_freed.end());
  EXPECT_EQ(g_freed, (std::vector<Int32>{1, 2, 3, 4}));
}

TEST_F(Hierarchy, AllocRunsInitAndFailsCleanly) {
  BaseObject* op = BaseObject::Alloc(kRecorderType);
  ASSERT_NE(op, nullptr);
  EXPECT_EQ(op->GetDataInstance()->GetInt32(2), 42);
  EXPECT_NE(op->GetNodeData<Recorder>(), nullptr);
  EXPECT_EQ(op->GetNodeData<Recorder>()->Get(), op);
  BaseObject::Free(op);

  EXPECT_EQ(BaseObject::Alloc(kRefusingType), nullptr);
  EXPECT_EQ(BaseObject::Alloc(123456789), nullptr);
  SetHostFault(HostFault::OBJECT_ALLOC, 0);
  EXPECT_EQ(BaseObject::Alloc(Onull), nullptr);
  ClearHostFaults();
  EXPECT_FALSE(RegisterObjectPlugin(kRecorderType, String("again"), 0, Recorder::Alloc, String(), nullptr, 0));
}

TEST_F(Hierarchy, UserEditsGoThroughTheHostWithMessagesAndDirtyCounts) {
  BaseObject* op = BaseObject::Alloc(kRecorderType);
  auto* rec = op->GetNodeData<Recorder>();
  const UInt32 before = op->GetDirty(DIRTYFLAGS::DATA);

  op->SetParameter(DescID(7), GeData(Float(3.5)));
  EXPECT_EQ(op->GetDataInstance()->GetFloat(7), 3.5);
  EXPECT_EQ(rec->lastSetId, 7);
  const UInt32 afterSet = op->GetDirty(DIRTYFLAGS::DATA);
  EXPECT_NE(afterSet, before);

  op->PressButton(DescID(8));
  EXPECT_EQ(rec->lastCommandId, 8);

  op->Message(MSG_UPDATE);
  EXPECT_NE(op->GetDirty(DIRTYFLAGS::DATA), afterSet);

  op->SetDeformMode(false);
  op->SetDeformMode(false);  // no change, no message
  EXPECT_EQ(rec->messages,
            (std::vector<Int32>{MSG_DESCRIPTION_POSTSETPARAMETER, MSG_DESCRIPTION_COMMAND, MSG_UPDATE, MSG_DEFORMMODE_CHANGED}));
  BaseObject::Free(op);
}

TEST_F(Hierarchy, DirtyCountsAreNeverRepeatedAcrossObjects) {
  BaseObject* a = BaseObject::Alloc(Onull);
  const UInt32 seen = a->GetDirty(DIRTYFLAGS::DATA);
  BaseObject::Free(a);
  BaseObject* b = BaseObject::Alloc(Onull);
  EXPECT_NE(b->GetDirty(DIRTYFLAGS::DATA), seen);
  BaseObject::Free(b);
}

TEST_F(Hierarchy, CloneCopiesContainerStatePluginDataAndChildren) {
  BaseObject* op = Tagged(kRecorderType, 5);
  op->SetName(String("plot"));
  op->SetRelPos(Vector(1, 2, 3));
  op->GetNodeData<Recorder>()->payload = 77;
  Tagged(Onull, 6)->InsertUnder(op);

  BaseObject* clone = op->GetClone();
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->GetName().GetStd(), "plot");
  EXPECT_EQ(clone->GetDataInstance()->GetInt32(1), 5);
  EXPECT_EQ(clone->GetRelPos(), Vector(1, 2, 3));
  EXPECT_EQ(clone->GetNodeData<Recorder>()->copiedPayload, 77);
  ASSERT_NE(clone->GetDown(), nullptr);
  EXPECT_EQ(clone->GetDown()->GetDataInstance()->GetInt32(1), 6);

  BaseObject* flat = op->GetClone(COPYFLAGS::NO_HIERARCHY);
  EXPECT_EQ(flat->GetDown(), nullptr);
  BaseObject::Free(flat);
  BaseObject::Free(clone);
  BaseObject::Free(op);
}

TEST_F(Hierarchy, GlobalMatrixComposesParentAndChild) {
  BaseObject* parent = BaseObject::Alloc(Onull);
  BaseObject* child = BaseObject::Alloc(Onull);
  child->InsertUnder(parent);
  parent->SetRelPos(Vector(10, 0, 0));
  parent->SetRelRot(Vector(PI / 2, 0, 0));  // heading: a quarter turn to the left, +Z to -X
  child->SetRelPos(Vector(2, 5, 1));
  const Vector p = child->GetMg().off;
  EXPECT_NEAR(p.x, 9.0, 1e-12);
  EXPECT_NEAR(p.y, 5.0, 1e-12);
  EXPECT_NEAR(p.z, 2.0, 1e-12);
  BaseObject::Free(parent);
}

TEST(BaseTime, FrameIsTheFlooredQuotientTruncatedAndSaturated) {
  EXPECT_EQ(BaseTime(15.0, 30.0).GetFrame(30), 15);
  EXPECT_EQ(BaseTime(1.0, 2.0).GetFrame(30), 15);
  EXPECT_DOUBLE_EQ(BaseTime(15.0, 30.0).Get(), 0.5);
  EXPECT_EQ(BaseTime(-1.0, 30.0).GetFrame(30), -1);
  EXPECT_EQ(BaseTime(1.0, 0.5).GetFrame(30), 0);  // the denominator floors to 0
  EXPECT_EQ(BaseTime(1e300, 1.0).GetFrame(30), LIMIT_MAX_INT32);
  EXPECT_EQ(BaseTime(1.0, 0.0).Get(), 0.0);
}

}  // namespace
