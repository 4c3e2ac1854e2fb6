#include <gtest/gtest.h>

#include <vector>

#include "host/core/faults.h"
#include "host/geometry/polygon_object.h"
#include "host/geometry/tags.h"
#include "host/scene/document.h"
#include "host/scene/execution.h"

namespace {

class Tags : public ::testing::Test {
protected:
  void TearDown() override { ClearHostFaults(); }

  static std::vector<BaseTag*> List(const BaseObject* op) {
    std::vector<BaseTag*> tags;
    for (BaseTag* tag = op->GetFirstTag(); tag != nullptr; tag = tag->GetNext()) {
      tags.push_back(tag);
    }
    return tags;
  }
};

TEST_F(Tags, ListOrderLookupRemovalAndMoves) {
  BaseDocument* doc = BaseDocument::Alloc();
  BaseObject* op = BaseObject::Alloc(Onull);
  BaseObject* other = BaseObject::Alloc(Onull);
  doc->InsertObject(op, nullptr, nullptr);
  BaseTag* a = op->MakeTag(Tphong);
  BaseTag* b = op->MakeTag(Tphong);  // no predecessor: first
  BaseTag* c = op->MakeTag(Tphong, a);
  VariableTag* d = op->MakeVariableTag(Tuvw, 3, c);
  EXPECT_EQ(List(op), (std::vector<BaseTag*>{b, a, c, d}));
  EXPECT_EQ(op->GetTag(Tphong, 1), a);
  EXPECT_EQ(op->GetTag(Tphong, 3), nullptr);
  EXPECT_EQ(op->GetTag(Tuvw), d);
  EXPECT_EQ(op->MakeTag(999), nullptr);
  EXPECT_EQ(op->MakeVariableTag(Tphong, 3), nullptr);
  EXPECT_EQ(d->GetObject(), op);
  EXPECT_EQ(d->GetUp(), nullptr);  // the hidden head is nobody's parent
  EXPECT_EQ(d->GetDocument(), doc);

  op->KillTag(Tphong, 1);  // a
  op->KillTag(Tphong, 9);  // none
  EXPECT_EQ(List(op), (std::vector<BaseTag*>{b, c, d}));

  // Moving keeps the order on both sides; a predecessor elsewhere places it first.
  BaseTag* target = other->MakeTag(Tphong);
  other->InsertTag(c, target);
  EXPECT_EQ(List(op), (std::vector<BaseTag*>{b, d}));
  EXPECT_EQ(List(other), (std::vector<BaseTag*>{target, c}));
  EXPECT_EQ(c->GetObject(), other);
  EXPECT_EQ(c->GetDocument(), nullptr);
  other->InsertTag(c, b);
  EXPECT_EQ(List(other), (std::vector<BaseTag*>{c, target}));

  b->Remove();
  EXPECT_EQ(b->GetObject(), nullptr);
  EXPECT_EQ(List(op), (std::vector<BaseTag*>{d}));
  BaseTag::Free(b);
  BaseTag::Free(target);  // still attached: unlinked first
  EXPECT_EQ(List(other), (std::vector<BaseTag*>{c}));
  // The rest go with their objects (checked for leaks by the sanitizer build).
  BaseObject::Free(other);
  BaseDocument::Free(doc);
}

TEST_F(Tags, StartValuesSizesAndResize) {
  BaseTag* phong = BaseTag::Alloc(Tphong);
  EXPECT_FALSE(phong->GetDataInstance()->GetBool(PHONGTAG_PHONG_ANGLELIMIT, true));
  EXPECT_NEAR(phong->GetDataInstance()->GetFloat(PHONGTAG_PHONG_ANGLE), 1.3962634015954636, 1e-15);
  EXPECT_EQ(BaseTag::Alloc(12345), nullptr);
  EXPECT_EQ(VariableTag::Alloc(Tuvw, -1), nullptr);

  VertexColorTag* colors = VertexColorTag::Alloc(2);
  EXPECT_EQ(colors->GetDataSize(), 16);
  colors->GetDataAddressW()[0] = ColorA32{0.5f, 0.25f, 0.0f, 0.0f};
  ASSERT_TRUE(colors->Resize(3));
  EXPECT_EQ(colors->GetDataAddressR()[0].g, 0.25f);
  for (Int32 i : {1, 2}) {
    const ColorA32& c = colors->GetDataAddressR()[i];
    EXPECT_TRUE(c.r == 1.0f && c.g == 1.0f && c.b == 1.0f && c.a == 1.0f) << i;
  }

  UVWTag* uvw = UVWTag::Alloc(2);
  EXPECT_EQ(uvw->GetDataSize(), 96);
  uvw->Set(1, UVWStruct{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}});
  uvw->Set(2, UVWStruct{{99, 0, 0}, {}, {}, {}});  // outside: ignored
  ASSERT_TRUE(uvw->Resize(5));
  EXPECT_EQ(uvw->Get(1).d, Vector(10, 11, 12));
  EXPECT_EQ(uvw->Get(2).a, Vector());
  ASSERT_TRUE(uvw->Resize(1));
  ASSERT_TRUE(uvw->Resize(2));
  EXPECT_EQ(uvw->Get(1).a, Vector());  // dropped, then fresh again
  EXPECT_FALSE(uvw->Resize(-1));
  EXPECT_EQ(uvw->GetDataCount(), 2);

  // A variable type through BaseTag::Alloc is an empty variable tag.
  BaseTag* segments = BaseTag::Alloc(Tsegment);
  ASSERT_NE(dynamic_cast<SegmentTag*>(segments), nullptr);
  EXPECT_EQ(static_cast<VariableTag*>(segments)->GetDataCount(), 0);
  for (BaseTag* t : {phong, static_cast<BaseTag*>(colors), static_cast<BaseTag*>(uvw), segments}) {
    BaseTag::Free(t);
  }
}

TEST_F(Tags, ClonesAreDeepAndEveryAllocationCanFail) {
  SegmentTag* segments = SegmentTag::Alloc(2);
  segments->SetName(String("rails"));
  segments->GetDataAddressW()[1] = Segment{7, true};
  auto* clone = dynamic_cast<SegmentTag*>(segments->GetClone());
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->GetName(), String("rails"));
  segments->GetDataAddressW()[1].cnt = 8;
  EXPECT_EQ(clone->GetDataAddressR()[1].cnt, 7);
  EXPECT_TRUE(clone->GetDataAddressR()[1].closed);

  BaseObject* op = BaseObject::Alloc(Onull);
  SetHostFault(HostFault::TAG_ALLOC, 0, -1);
  EXPECT_EQ(BaseTag::Alloc(Tphong), nullptr);
  EXPECT_EQ(UVWTag::Alloc(1), nullptr);
  EXPECT_EQ(op->MakeTag(Tphong), nullptr);
  EXPECT_EQ(op->MakeVariableTag(Tvertexcolor, 4), nullptr);
  EXPECT_EQ(segments->GetClone(), nullptr);
  EXPECT_EQ(op->GetFirstTag(), nullptr);
  BaseObject::Free(op);
  for (BaseTag* t : {static_cast<BaseTag*>(segments), static_cast<BaseTag*>(clone)}) {
    BaseTag::Free(t);
  }
}

TEST_F(Tags, ObjectCloneCopiesTagsColourAndGeometry) {
  PolygonObject* op = PolygonObject::Alloc(3, 1);
  op->GetPointW()[2] = Vector(1, 2, 3);
  op->GetPolygonW()[0] = CPolygon(0, 1, 2);
  const ObjectColorProperties color{Vector(0.2, 0.4, 0.6), 2, true};
  op->SetColorProperties(&color);
  BaseTag* phong = op->MakeTag(Tphong);
  auto* uvw = static_cast<UVWTag*>(op->MakeVariableTag(Tuvw, 1, phong));
  uvw->Set(0, UVWStruct{{0.5, 0.5, 0}, {}, {}, {}});

  auto* clone = dynamic_cast<PolygonObject*>(op->GetClone());
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->GetPointR()[2], Vector(1, 2, 3));
  EXPECT_EQ(clone->GetPolygonR()[0], CPolygon(0, 1, 2));
  ObjectColorProperties cloneColor;
  clone->GetColorProperties(&cloneColor);
  EXPECT_EQ(cloneColor, color);
  const std::vector<BaseTag*> tags = List(clone);
  ASSERT_EQ(tags.size(), 2u);
  EXPECT_EQ(tags[0]->GetType(), Tphong);
  EXPECT_NE(tags[1], uvw);
  EXPECT_EQ(tags[1]->GetObject(), clone);
  EXPECT_EQ(static_cast<UVWTag*>(tags[1])->Get(0).a, Vector(0.5, 0.5, 0));

  SetHostFault(HostFault::TAG_ALLOC, 1);  // the second tag cannot be copied
  EXPECT_EQ(op->GetClone(), nullptr);
  for (BaseObject* o : {static_cast<BaseObject*>(op), static_cast<BaseObject*>(clone)}) {
    BaseObject::Free(o);
  }
}

TEST_F(Tags, DocumentCloneCarriesObjectsTagsAndSettings) {
  BaseDocument* doc = BaseDocument::Alloc();
  doc->SetFps(25);
  doc->SetTime(BaseTime(3.0, 25.0));
  doc->SetMaxTime(BaseTime(50.0, 25.0));
  BaseObject* first = BaseObject::Alloc(Onull);
  BaseObject* second = BaseObject::Alloc(Ocube);
  BaseObject* child = BaseObject::Alloc(Osphere);
  doc->InsertObject(second, nullptr, nullptr);
  doc->InsertObject(first, nullptr, nullptr);
  child->InsertUnder(second);
  child->MakeTag(Tphong);

  BaseDocument* copy = doc->GetClone();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetFps(), 25);
  EXPECT_EQ(copy->GetTime(), BaseTime(3.0, 25.0));
  EXPECT_EQ(copy->GetMaxTime(), BaseTime(50.0, 25.0));
  BaseObject* c1 = copy->GetFirstObject();
  ASSERT_TRUE(c1 != nullptr && c1 != first && c1->GetType() == Onull);
  BaseObject* c2 = c1->GetNext();
  ASSERT_TRUE(c2 != nullptr && c2->GetType() == Ocube && c2->GetNext() == nullptr && c2->GetDown() != nullptr);
  EXPECT_EQ(c2->GetDown()->GetTag(Tphong)->GetDocument(), copy);

  SetHostFault(HostFault::OBJECT_ALLOC, 2);  // the child cannot be copied
  EXPECT_EQ(doc->GetClone(), nullptr);
  BaseDocument::Free(copy);
  BaseDocument::Free(doc);
}

TEST(ExecutionRunningState, EachActivityIsItsOwnSwitch) {
  SetRunning(CHECKISRUNNING::EXTERNALRENDERING, true);
  SetRunning(static_cast<CHECKISRUNNING>(77), true);  // ignored
  EXPECT_TRUE(CheckIsRunning(CHECKISRUNNING::EXTERNALRENDERING));
  EXPECT_FALSE(CheckIsRunning(CHECKISRUNNING::EDITORRENDERING));
  EXPECT_FALSE(CheckIsRunning(static_cast<CHECKISRUNNING>(77)));
  SetRunning(CHECKISRUNNING::EXTERNALRENDERING, false);
  EXPECT_FALSE(CheckIsRunning(CHECKISRUNNING::EXTERNALRENDERING));
}

}  // namespace
