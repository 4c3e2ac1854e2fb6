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
      // A spline generator says itself whether it is dirty; its contour is rebuilt only
      // then, or when it has none.
      data->CheckDirty(op, doc);
      if (op->GetCache() != nullptr && !op->IsDirty(DIRTYFLAGS::DATA)) {
        ++stats.cachesKept;
        continue;
      }
      op->SetCache(data->GetContour(op, doc, hh.GetLOD(), &thread));
      ++stats.cachesBuilt;
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
