#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/scene/execution.h"
#include "host/scene/registry.h"

namespace {

constexpr Int32 kRunnerType = 990101;
constexpr Int32 kCacheItemType = 990102;
constexpr Int32 kPassiveType = 990103;

std::vector<std::string> g_log;
Int32 g_cacheItemsFreed = 0;

// Joins the priority list with the priority in its container (ID 1); builds a cache that
// it keeps while its container's ID 2 is true.
class Runner : public ObjectData {
public:
  static NodeData* Alloc() { return new Runner(); }
  Bool AddToExecution(BaseObject* op, PriorityList* list) override {
    list->Add(op, op->GetDataInstance()->GetInt32(1), EXECUTIONFLAGS::NONE);
    return true;
  }
  EXECUTIONRESULT Execute(BaseObject* op, BaseDocument*, BaseThread*, Int32 priority, EXECUTIONFLAGS) override {
    g_log.push_back(op->GetName().GetStd() + "@" + std::to_string(priority));
    return EXECUTIONRESULT::OK;
  }
  BaseObject* GetVirtualObjects(BaseObject* op, const HierarchyHelp* hh) override {
    g_log.push_back("cache " + op->GetName().GetStd() + (hh->GetDocument() == op->GetDocument() ? "" : " wrong doc"));
    if (op->GetDataInstance()->GetBool(2) && op->GetCache() != nullptr && !op->IsDirty(DIRTYFLAGS::DATA)) {
      return op->GetCache();
    }
    return BaseObject::Alloc(kCacheItemType);
  }
};

class CacheItem : public ObjectData {
public:
  static NodeData* Alloc() { return new CacheItem(); }
  void Free(GeListNode*) override { ++g_cacheItemsFreed; }
};

class Execution : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    RegisterObjectPlugin(kRunnerType, String("Runner"), OBJECT_GENERATOR | OBJECT_CALL_ADDEXECUTION, Runner::Alloc,
                         String(), nullptr, 0);
    RegisterObjectPlugin(kCacheItemType, String("Item"), 0, CacheItem::Alloc, String(), nullptr, 0);
    RegisterObjectPlugin(kPassiveType, String("Passive"), OBJECT_GENERATOR, Runner::Alloc, String(), nullptr, 0);
  }
  static void TearDownTestSuite() { FreeObjectPlugins(); }
  void SetUp() override {
    g_log.clear();
    g_cacheItemsFreed = 0;
    doc = BaseDocument::Alloc();
  }
  void TearDown() override { BaseDocument::Free(doc); }

  BaseObject* Add(Int32 type, const char* name, Int32 priority, BaseObject* parent = nullptr) {
    BaseObject* op = BaseObject::Alloc(type);
    op->SetName(String(name));
    op->GetDataInstance()->SetInt32(1, priority);
    if (parent != nullptr) {
      op->InsertUnderLast(parent);
    } else {
      doc->InsertObject(op, nullptr, doc->GetFirstObject() ? CollectObjects(doc).back() : nullptr);
    }
    return op;
  }

  BaseDocument* doc = nullptr;
};

TEST_F(Execution, RunsByPriorityThenTreeOrderThenBuildsCachesInTreeOrder) {
  BaseObject* a = Add(kRunnerType, "a", 5010);
  Add(kRunnerType, "a1", 5000, a);
  Add(kRunnerType, "a2", 5002, a);
  Add(kRunnerType, "b", 5002);
  Add(kPassiveType, "passive", 1);  // a generator that does not ask to execute

  const PassStatistics stats = ExecutePasses(doc);
  EXPECT_EQ(g_log, (std::vector<std::string>{"a1@5000", "a2@5002", "b@5002", "a@5010", "cache a", "cache a1",
                                             "cache a2", "cache b", "cache passive"}));
  EXPECT_EQ(stats.executed, 4);
  EXPECT_EQ(stats.cachesBuilt, 5);

  g_log.clear();
  ExecutePasses(doc, /*caches=*/false);
  EXPECT_EQ(g_log.size(), 4u);
}

TEST_F(Execution, AHandedBackCacheIsKeptAnyOtherReplacesAndFreesTheOld) {
  BaseObject* op = Add(kRunnerType, "gen", 0);
  EXPECT_TRUE(op->IsDirty(DIRTYFLAGS::DATA)) << "dirty until a first cache exists";
  ExecutePasses(doc);
  BaseObject* first = op->GetCache();
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(op->IsDirty(DIRTYFLAGS::DATA));

  ExecutePasses(doc);  // not kept: replaced, old one freed
  EXPECT_NE(op->GetCache(), nullptr);
  EXPECT_EQ(g_cacheItemsFreed, 1);

  op->GetDataInstance()->SetBool(2, true);
  BaseObject* kept = op->GetCache();
  const PassStatistics stats = ExecutePasses(doc);
  EXPECT_EQ(stats.cachesKept, 1);
  EXPECT_EQ(op->GetCache(), kept);
  EXPECT_EQ(g_cacheItemsFreed, 1);

  op->Message(MSG_UPDATE);  // now dirty: rebuilt
  EXPECT_TRUE(op->IsDirty(DIRTYFLAGS::DATA));
  ExecutePasses(doc);
  EXPECT_EQ(g_cacheItemsFreed, 2);

  BaseDocument::Free(doc);
  EXPECT_EQ(g_cacheItemsFreed, 3) << "freeing the generator frees its cache";
  doc = BaseDocument::Alloc();
}

TEST_F(Execution, ASwitchedOffGeneratorHasNoCacheAndTheSwitchIsAChange) {
  BaseObject* op = Add(kRunnerType, "gen", 0);
  op->GetDataInstance()->SetBool(2, true);  // keeps its cache while nothing changes
  ExecutePasses(doc);
  ASSERT_NE(op->GetCache(), nullptr);

  const UInt32 dirty = op->GetDirty(DIRTYFLAGS::DATA);
  op->SetDeformMode(false);
  EXPECT_NE(op->GetDirty(DIRTYFLAGS::DATA), dirty);
  g_log.clear();
  ExecutePasses(doc);
  EXPECT_EQ(op->GetCache(), nullptr);
  EXPECT_EQ(g_cacheItemsFreed, 1);
  EXPECT_EQ(g_log, std::vector<std::string>{"gen@0"}) << "it still executes, but builds nothing";

  op->SetDeformMode(true);
  EXPECT_TRUE(op->IsDirty(DIRTYFLAGS::DATA));
  ExecutePasses(doc);
  EXPECT_NE(op->GetCache(), nullptr);
  const UInt32 restored = op->GetDirty(DIRTYFLAGS::DATA);
  op->SetDeformMode(true);  // no change, no new count
  EXPECT_EQ(op->GetDirty(DIRTYFLAGS::DATA), restored);
}

TEST_F(Execution, CollectsDeepTreesWithoutRecursion) {
  BaseObject* parent = Add(kPassiveType, "root", 0);
  for (int i = 0; i < 100000; ++i) {
    BaseObject* child = BaseObject::Alloc(Onull);
    child->InsertUnder(parent);
    parent = child;
  }
  Add(kPassiveType, "after", 0);
  const std::vector<BaseObject*> all = CollectObjects(doc);
  ASSERT_EQ(all.size(), 100002u);
  EXPECT_EQ(all.back()->GetName().GetStd(), "after");
}

}  // namespace
