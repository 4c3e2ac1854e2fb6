#include "host/scene/execution.h"

#include <algorithm>
#include <array>
#include <atomic>

#include "host/geometry/spline_object.h"
#include "host/scene/registry.h"

namespace {

// What the host is doing, for every thread of the process.
std::array<std::atomic<bool>, 4> g_running{};

std::atomic<bool>* RunningState(CHECKISRUNNING what) {
  const auto index = static_cast<std::size_t>(what);
  return index < g_running.size() ? &g_running[index] : nullptr;
}

// Brings a spline generator's contour up to date; true when it was rebuilt.
bool UpdateContour(BaseObject* op, ObjectData* data, const HierarchyHelp& hh) {
  // A spline generator says itself whether it is dirty; its contour is rebuilt only then,
  // or when it has none.
  data->CheckDirty(op, hh.GetDocument());
  if (op->GetCache() != nullptr && !op->IsDirty(DIRTYFLAGS::DATA)) {
    return false;
  }
  op->SetCache(data->GetContour(op, hh.GetDocument(), hh.GetLOD(), hh.GetThread()));
  return true;
}

}  // namespace

Bool CheckIsRunning(CHECKISRUNNING what) {
  const std::atomic<bool>* state = RunningState(what);
  return state != nullptr && state->load();
}

void SetRunning(CHECKISRUNNING what, Bool running) {
  if (std::atomic<bool>* state = RunningState(what)) {
    state->store(running);
  }
}

void PriorityList::Add(BaseObject* op, Int32 priority, EXECUTIONFLAGS flags) {
  if (op != nullptr) {
    entries_.push_back(Entry{op, priority, flags, entries_.size()});
  }
}

std::vector<PriorityList::Entry> PriorityList::Sorted() const {
  std::vector<Entry> sorted = entries_;
  std::stable_sort(sorted.begin(), sorted.end(), [](const Entry& a, const Entry& b) { return a.priority < b.priority; });
  return sorted;
}

SplineObject* GetSplineInput(BaseObject* op, const HierarchyHelp& hh) {
  if (auto* spline = dynamic_cast<SplineObject*>(op)) {
    return spline;
  }
  const ObjectPlugin* plugin = op != nullptr ? op->GetPlugin() : nullptr;
  ObjectData* data = op != nullptr ? op->GetObjectData() : nullptr;
  if (plugin == nullptr || data == nullptr || !plugin->callsGetContour) {
    return nullptr;
  }
  UpdateContour(op, data, hh);
  return dynamic_cast<SplineObject*>(op->GetCache());
}

std::vector<BaseObject*> CollectObjects(BaseDocument* doc) {
  std::vector<BaseObject*> objects;
  if (doc == nullptr) {
    return objects;
  }
  // Iterative pre-order walk, so a deep hierarchy cannot exhaust the stack.
  BaseObject* op = doc->GetFirstObject();
  while (op != nullptr) {
    objects.push_back(op);
    if (op->GetDown() != nullptr) {
      op = op->GetDown();
      continue;
    }
    while (op != nullptr && op->GetNext() == nullptr) {
      op = op->GetUp();
    }
    if (op != nullptr) {
      op = op->GetNext();
    }
  }
  return objects;
}

PassStatistics ExecutePasses(BaseDocument* doc, Bool caches) {
  PassStatistics stats;
  if (doc == nullptr) {
    return stats;
  }
  BaseThread thread;

  PriorityList list;
  for (BaseObject* op : CollectObjects(doc)) {
    const ObjectPlugin* plugin = op->GetPlugin();
    ObjectData* data = op->GetObjectData();
    if (plugin != nullptr && plugin->callsAddToExecution && data != nullptr) {
      data->AddToExecution(op, &list);
    }
  }
  for (const PriorityList::Entry& entry : list.Sorted()) {
    if (ObjectData* data = entry.op->GetObjectData()) {
      data->Execute(entry.op, doc, &thread, entry.priority, entry.flags);
      ++stats.executed;
    }
  }

  if (!caches) {
    return stats;
  }
  // Collected again: Execute may have changed the tree.
  const HierarchyHelp hh(doc, &thread, 1.0);
  for (BaseObject* op : CollectObjects(doc)) {
    const ObjectPlugin* plugin = op->GetPlugin();
    ObjectData* data = op->GetObjectData();
    if (plugin == nullptr || data == nullptr) {
      continue;
    }
    if (!op->GetDeformMode()) {
      // A switched-off generator shows nothing of its own.
      if (op->GetCache() != nullptr) {
        op->SetCache(nullptr);
      }
      continue;
    }
    if (plugin->callsGetContour) {
      ++(UpdateContour(op, data, hh) ? stats.cachesBuilt : stats.cachesKept);
      continue;
    }
    if (!plugin->callsGetVirtualObjects) {
      continue;
    }
    BaseObject* result = data->GetVirtualObjects(op, &hh);
    if (result != nullptr && result == op->GetCache()) {
      ++stats.cachesKept;
    } else {
      ++stats.cachesBuilt;
    }
    op->SetCache(result);
  }
  return stats;
}
