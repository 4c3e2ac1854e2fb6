// Documents: the object tree, time and frame rate; and the redraw request counter.
#pragma once

#include "host/scene/objects.h"

inline constexpr Int32 Tbasedocument = 110059;

// Document parameters.
inline constexpr Int32 DOCUMENT_MINTIME = 1002;  // BaseTime: the first frame's time
inline constexpr Int32 DOCUMENT_MAXTIME = 1003;  // BaseTime: the last frame's time

class BaseDocument : public BaseList2D {
public:
  static BaseDocument* Alloc();
  static void Free(BaseDocument*& doc);
  ~BaseDocument() override;

  Int32 GetType() const override { return Tbasedocument; }

  BaseObject* GetFirstObject() const;
  // Inserts `op` under `parent` (top level when null) after `pred` (first when null).
  void InsertObject(BaseObject* op, BaseObject* parent, BaseObject* pred);

  // A copy of the document: objects (with their plug-in data), time, frame rate and
  // settings; null when it cannot be made.
  BaseDocument* GetClone(COPYFLAGS flags = COPYFLAGS::NONE, AliasTrans* trn = nullptr) const;

  BaseTime GetTime() const { return time_; }
  void SetTime(const BaseTime& time) { time_ = time; }
  Int32 GetFps() const { return fps_; }
  void SetFps(Int32 fps) { fps_ = fps; }
  BaseTime GetMinTime() const;
  void SetMinTime(const BaseTime& time);
  BaseTime GetMaxTime() const;
  void SetMaxTime(const BaseTime& time);

private:
  BaseDocument();

  GeListNode* head_ = nullptr;  // hidden head whose children are the top-level objects
  BaseTime time_;
  Int32 fps_ = 30;
};

enum class EVENT : Int32 { NONE = 0, FORCEREDRAW = 1, ANIMATE = 2, NOEXPRESSION = 4 };

// Asks the host to redraw. The host counts the requests.
void EventAdd(EVENT flags = EVENT::NONE);
Int64 GetEventAddCount();
