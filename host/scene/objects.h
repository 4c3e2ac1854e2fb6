// Scene objects: BaseObject and ObjectData, the base of object plug-ins.
#pragma once

#include "host/scene/hierarchy.h"

class BaseObject;
class BaseThread;
class BaseDraw;
class BaseDrawHelp;
class HierarchyHelp;
class PriorityList;
class SplineObject;
struct ObjectPlugin;

// Built-in object types.
inline constexpr Int32 Opolygon = 5100;
inline constexpr Int32 Ospline = 5101;
inline constexpr Int32 Oextrude = 5116;     // generator: sweeps its child splines (host/geometry/extrude_object.h)
inline constexpr Int32 Onull = 5140;
inline constexpr Int32 Ocube = 5159;
inline constexpr Int32 Osphere = 5160;
inline constexpr Int32 Oplatonic = 5161;
inline constexpr Int32 Opyramid = 5167;
inline constexpr Int32 Osplinetext = 5178;  // spline generator: text (host/geometry/text_spline.h)

// Editor and render visibility.
inline constexpr Int32 MODE_ON = 0;
inline constexpr Int32 MODE_OFF = 1;
inline constexpr Int32 MODE_UNDEF = 2;

enum class EXECUTIONRESULT : Int32 { OK = 0, USERBREAK = 1, OUTOFMEMORY = 2 };
enum class EXECUTIONFLAGS : Int32 { NONE = 0 };
enum class DRAWRESULT : Int32 { FAILURE = 0, OK = 1, SKIP = 2 };
enum class DRAWPASS : Int32 { OBJECT = 0, BOX = 1, HANDLES = 2, HIGHLIGHTS = 3 };

class BaseTag;
class VariableTag;

// How an object's display colour is used: 0 off, 1 automatic, 2 always.
struct ObjectColorProperties {
  Vector color{1.0, 1.0, 1.0};
  Int32 usecolor = 0;
  Bool xray = false;
  bool operator==(const ObjectColorProperties&) const = default;
};

// The rotation of heading (about Y), pitch (about X) and bank (about Z), in radians,
// applied bank first. A positive heading turns to the left as seen from above: a quarter
// turn takes +X to +Z and +Z to -X, so that a camera looking along +Z then looks along -X.
Matrix HPBToMatrix(const Vector& hpb);

struct HandleInfo {
  Vector position;
  Vector direction;
};

// Base of object plug-ins. Every method has the host's default behaviour.
class ObjectData : public NodeData {
public:
  virtual EXECUTIONRESULT Execute(BaseObject* op, BaseDocument* doc, BaseThread* bt, Int32 priority,
                                  EXECUTIONFLAGS flags);
  virtual Bool AddToExecution(BaseObject* op, PriorityList* list);
  // A generator's cache. Returning the object's current cache keeps it.
  virtual BaseObject* GetVirtualObjects(BaseObject* op, const HierarchyHelp* hh);
  // A spline generator's spline.
  virtual SplineObject* GetContour(BaseObject* op, BaseDocument* doc, Float lod, BaseThread* bt);
  // Lets a spline generator mark itself dirty before the host decides on a new contour.
  virtual void CheckDirty(BaseObject* op, const BaseDocument* doc);
  // The centre and half size of the object's bounding box in its own coordinates. The
  // default measures the generator's cache (zero without one).
  virtual void GetDimension(const BaseObject* op, Vector* mp, Vector* rad) const;
  virtual Int32 GetHandleCount(const BaseObject* op) const;
  virtual void GetHandle(BaseObject* op, Int32 i, HandleInfo& info);
  virtual void SetHandle(BaseObject* op, Int32 i, Vector p, const HandleInfo& info);
  // The default draws nothing but, in the handles pass, the object's handles in the
  // host's own style (returning OK); in every other pass it returns SKIP.
  virtual DRAWRESULT Draw(BaseObject* op, DRAWPASS drawpass, BaseDraw* bd, BaseDrawHelp* bh);
};

class BaseObject : public BaseList2D {
public:
  // A new object of a built-in or registered plug-in type (allocator, then Init), or
  // null when the type is unknown, the allocation fails or Init refuses. A plug-in object
  // is named after its type.
  static BaseObject* Alloc(Int32 type);
  // Frees the object and its subtree (unlinking it first) and sets the pointer to null.
  static void Free(BaseObject*& op);

  Int32 GetType() const override { return type_; }
  Bool IsInstanceOf(Int32 type) const { return type_ == type; }

  BaseObject* GetUp() const { return static_cast<BaseObject*>(GeListNode::GetUp()); }
  BaseObject* GetDown() const { return static_cast<BaseObject*>(GeListNode::GetDown()); }
  BaseObject* GetDownLast() const { return static_cast<BaseObject*>(GeListNode::GetDownLast()); }
  BaseObject* GetNext() const { return static_cast<BaseObject*>(GeListNode::GetNext()); }
  BaseObject* GetPred() const { return static_cast<BaseObject*>(GeListNode::GetPred()); }

  Vector GetRelPos() const { return pos_; }
  void SetRelPos(const Vector& v);
  // Heading, pitch, bank in radians.
  Vector GetRelRot() const { return rot_; }
  void SetRelRot(const Vector& v);
  Vector GetRelScale() const { return scale_; }
  void SetRelScale(const Vector& v);
  // The centre and half size of the object's bounding box in its own coordinates: a point
  // object's points; otherwise what its type reports (a generator's cache by default, a
  // text spline its laid-out text at once); zero for an object with nothing to measure.
  Vector GetMp() const;
  Vector GetRad() const;

  // Local matrix (relative to the parent) and global matrix.
  Matrix GetMl() const;
  Matrix GetMg() const;

  // The enabled state. Switching it raises the data dirty count and sends
  // MSG_DEFORMMODE_CHANGED unless `notify` is false, as when a scene is read: the object
  // is not being switched, it is restored. A switched-off generator gets no cache.
  Bool GetDeformMode() const { return enabled_; }
  void SetDeformMode(Bool mode, Bool notify = true);

  Int32 GetEditorMode() const { return editorMode_; }
  void SetEditorMode(Int32 mode) { editorMode_ = mode; }
  Int32 GetRenderMode() const { return renderMode_; }
  void SetRenderMode(Int32 mode) { renderMode_ = mode; }

  // Display colour.
  void GetColorProperties(ObjectColorProperties* properties) const {
    if (properties != nullptr) *properties = colorProperties_;
  }
  void SetColorProperties(const ObjectColorProperties* properties) {
    if (properties != nullptr) colorProperties_ = *properties;
  }

  // Tags, owned by the object, in order.
  BaseTag* GetFirstTag() const;
  // The nr-th tag of `type`, or null.
  BaseTag* GetTag(Int32 type, Int32 nr = 0) const;
  // Creates a tag of `type` (a fixed-size tag) and attaches it after `pred` (first when
  // null); null when it cannot be made.
  BaseTag* MakeTag(Int32 type, BaseTag* pred = nullptr);
  // Creates a variable tag of `type` with `count` entries and attaches it; null when it
  // cannot be made.
  VariableTag* MakeVariableTag(Int32 type, Int32 count, BaseTag* pred = nullptr);
  // Attaches a tag (unlinking it from where it was) after `pred`, or first.
  void InsertTag(BaseTag* tag, BaseTag* pred = nullptr);
  // Removes and frees the nr-th tag of `type`, if any.
  void KillTag(Int32 type, Int32 nr = 0);

  // The index of this object's handle under the cursor of the view `bd`, or -1.
  Int32 GetHighlightHandle(BaseDraw* bd) const;

  // The plug-in instance of a plug-in object, or null.
  ObjectData* GetObjectData() const { return dynamic_cast<ObjectData*>(GetNodeData()); }
  // The registration of a plug-in object's type, or null for built-in types.
  const ObjectPlugin* GetPlugin() const { return plugin_; }

  // A copy of the object: container, name, state and plug-in data (CopyTo), with its
  // children unless NO_HIERARCHY. Null when it cannot be made.
  BaseObject* GetClone(COPYFLAGS flags = COPYFLAGS::NONE, AliasTrans* trn = nullptr) const;

  // The geometry a generator built in the last evaluation, owned by the object; null
  // before the first build.
  BaseObject* GetCache() const { return cache_; }
  // Whether the data dirty count changed since the host last built the cache (true
  // before the first build).
  Bool IsDirty(DIRTYFLAGS flags) const;

  // Host side of the evaluation: stores a new cache (freeing the old one unless it is the
  // same object) and remembers the dirty count it was built at.
  void SetCache(BaseObject* cache);

  ~BaseObject() override;

protected:
  void GetBoundingBox(Vector* mp, Vector* rad) const;

  explicit BaseObject(Int32 type) : type_(type) {}

private:
  Int32 type_ = 0;
  const ObjectPlugin* plugin_ = nullptr;
  Vector pos_;
  Vector rot_;
  Vector scale_{1.0, 1.0, 1.0};
  Bool enabled_ = true;
  Int32 editorMode_ = MODE_UNDEF;
  Int32 renderMode_ = MODE_UNDEF;
  BaseObject* cache_ = nullptr;
  ObjectColorProperties colorProperties_;
  GeListNode* tagHead_ = nullptr;  // hidden head whose children are the tags
  Bool cacheBuilt_ = false;
  UInt32 cacheDataDirty_ = 0;
};
