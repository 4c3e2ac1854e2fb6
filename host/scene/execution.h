// The scene evaluation pass: the priority list, Execute, then the generators' caches.
#pragma once

#include <vector>

#include "host/scene/document.h"

class BaseThread {};

// Where the host is in building caches, handed to GetVirtualObjects.
class HierarchyHelp {
public:
  HierarchyHelp(BaseDocument* doc, BaseThread* thread, Float lod) : doc_(doc), thread_(thread), lod_(lod) {}
  BaseDocument* GetDocument() const { return doc_; }
  BaseThread* GetThread() const { return thread_; }
  Float GetLOD() const { return lod_; }

private:
  BaseDocument* doc_;
  BaseThread* thread_;
  Float lod_;
};

// What the host is doing; generators may build differently for renders.
enum class CHECKISRUNNING : Int32 {
  ANIMATIONRUNNING = 0,
  VIEWDRAWING = 1,
  EDITORRENDERING = 2,
  EXTERNALRENDERING = 3,
};
Bool CheckIsRunning(CHECKISRUNNING what);
// Host side: marks an activity as running or not (the app sets EXTERNALRENDERING while it
// evaluates for a file).
void SetRunning(CHECKISRUNNING what, Bool running);

// Standard priorities.
inline constexpr Int32 EXECUTIONPRIORITY_INITIAL = 1000;
inline constexpr Int32 EXECUTIONPRIORITY_ANIMATION = 2000;
inline constexpr Int32 EXECUTIONPRIORITY_EXPRESSION = 3000;
inline constexpr Int32 EXECUTIONPRIORITY_DYNAMICS = 4000;
inline constexpr Int32 EXECUTIONPRIORITY_GENERATOR = 5000;

// The objects that asked to run in this pass, with their priorities.
class PriorityList {
public:
  void Add(BaseObject* op, Int32 priority, EXECUTIONFLAGS flags);

  struct Entry {
    BaseObject* op;
    Int32 priority;
    EXECUTIONFLAGS flags;
    std::size_t order;  // tree order, breaks ties
  };
  // Entries by ascending priority, ties in the order they were added.
  std::vector<Entry> Sorted() const;

private:
  std::vector<Entry> entries_;
};

// What one pass did, for tests and the app.
struct PassStatistics {
  Int32 executed = 0;       // Execute calls
  Int32 cachesBuilt = 0;    // GetVirtualObjects / GetContour calls
  Int32 cachesKept = 0;     // caches handed back unchanged
};

// Evaluates the document once:
//  1. every object, in tree order, whose type asks for it (OBJECT_CALL_ADDEXECUTION) is
//     asked AddToExecution;
//  2. the entries run Execute by ascending priority, ties in tree order;
//  3. with `caches`, every generator in tree order that is switched on gets its cache
//     built (a switched-off one loses any cache it had): a spline
//     generator (OBJECT_ISSPLINE) is asked CheckDirty and then, when it is dirty since its
//     last contour or has none, GetContour; any other generator GetVirtualObjects, where a
//     cache handed back unchanged is kept and any other replaces the old one.
PassStatistics ExecutePasses(BaseDocument* doc, Bool caches = true);

// The spline an object gives a generator that reads it: the object itself when it is a
// spline; a spline generator's contour, rebuilt first when the generator says it is dirty
// or has none (as the pass does, which then keeps it); null for anything else.
SplineObject* GetSplineInput(BaseObject* op, const HierarchyHelp& hh);

// Every object of the document in tree order (pre-order, children before siblings).
std::vector<BaseObject*> CollectObjects(BaseDocument* doc);
