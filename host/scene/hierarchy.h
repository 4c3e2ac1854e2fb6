// The host's node tree: GeListNode (links, messages, plug-in data), BaseList2D (name,
// parameter container, dirty counts, bits) and NodeData, the base of plug-in instances.
//
// Ownership: a node owns its children. Freeing a node frees its subtree; a node that is
// still linked is unlinked first.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "host/core/container.h"
#include "host/files/description.h"

class BaseDocument;
class GeListNode;
class BaseList2D;
class AliasTrans;

// Message types.
inline constexpr Int32 MSG_UPDATE = 5;                          // the data changed: raises the data dirty count
inline constexpr Int32 MSG_DESCRIPTION_POSTSETPARAMETER = 17;   // data: DescriptionPostSetValue*
inline constexpr Int32 MSG_DESCRIPTION_COMMAND = 18;            // data: DescriptionCommand*
inline constexpr Int32 MSG_MENUPREPARE = 22;                    // data: BaseDocument*
inline constexpr Int32 MSG_DEFORMMODE_CHANGED = 200000125;      // the object was switched on or off

// A host's request for read-only facts about an object's computed state, to show users
// (summaries, scene information). Data: a BaseContainer* that the object fills with the
// STATE_ entries it knows; objects that know nothing leave it alone.
inline constexpr Int32 MSG_HOST_QUERY_STATE = 1100001;
inline constexpr Int32 STATE_SAMPLE_COUNT = 1;   // Int64
inline constexpr Int32 STATE_RESOLUTION = 2;     // Int32
inline constexpr Int32 STATE_MIN_VALUE = 3;      // Float
inline constexpr Int32 STATE_MAX_VALUE = 4;      // Float
inline constexpr Int32 STATE_USES_TIME = 5;      // Bool
inline constexpr Int32 STATE_COMPLETE = 6;       // Bool: the computed data is whole
inline constexpr Int32 STATE_UNDEFINED_COUNT = 7;   // Int64: computed values that have no value
inline constexpr Int32 STATE_NONFINITE_COUNT = 8;   // Int64: computed points outside the range of numbers
inline constexpr Int32 STATE_FORMULA_ERROR = 9;     // String: why the object's formula cannot be read
inline constexpr Int32 STATE_FORMULA_COLUMN = 10;   // Int32: where in the formula, from 1
inline constexpr Int32 STATE_FORMULA_PARAMETER = 11;  // Int32: the ID of the parameter holding the formula
inline constexpr Int32 STATE_EVALUATION = 12;  // String: how the formula was evaluated ("compiled", "text", "none")

// Data of MSG_DESCRIPTION_POSTSETPARAMETER: which parameter was set.
struct DescriptionPostSetValue {
  const DescID* descid = nullptr;
};

// Data of MSG_DESCRIPTION_COMMAND: which button was pressed.
struct DescriptionCommand {
  DescID id;
};

// Dirty count kinds.
enum class DIRTYFLAGS : UInt32 {
  NONE = 0,
  MATRIX = 1u << 1,
  DATA = 1u << 2,
  CACHE = 1u << 3,
  CHILDREN = 1u << 4,
};

// Node bits.
inline constexpr Int32 NBIT_CONTROL_SET = 1;
inline constexpr Int32 NBIT_CONTROL_CLEAR = 2;
inline constexpr Int32 NBIT_CONTROL_TOGGLE = 3;
inline constexpr Int32 NBIT_COUNT = 64;

enum class COPYFLAGS : Int32 { NONE = 0, NO_HIERARCHY = 1 << 2, NO_BITS = 1 << 3, DOCUMENT = 16 };
enum class DESCFLAGS_DESC : Int32 { NONE = 0, LOADED = 2 };
enum class DESCFLAGS_ENABLE : Int32 { NONE = 0 };
enum class DESCFLAGS_SET : Int32 { NONE = 0, USERINTERACTION = 2 };
enum class DESCFLAGS_GET : Int32 { NONE = 0 };

inline DESCFLAGS_DESC operator|(DESCFLAGS_DESC a, DESCFLAGS_DESC b) {
  return static_cast<DESCFLAGS_DESC>(static_cast<Int32>(a) | static_cast<Int32>(b));
}
inline DESCFLAGS_DESC& operator|=(DESCFLAGS_DESC& a, DESCFLAGS_DESC b) { return a = a | b; }

// Base of every plug-in instance. The host allocates it through the registered allocator,
// attaches it to its node, calls Init, and calls Free before destroying it.
class NodeData {
public:
  virtual ~NodeData() = default;

  // The node this instance belongs to.
  BaseList2D* Get() const { return node_; }

  virtual Bool Init(GeListNode* node);
  virtual void Free(GeListNode* node);
  // Copies the instance's own data into `dest` (an instance of the same type).
  virtual Bool CopyTo(NodeData* dest, const GeListNode* snode, GeListNode* dnode, COPYFLAGS flags, AliasTrans* trn);
  virtual Bool Message(GeListNode* node, Int32 type, void* data);
  // Loads the node's description; the base implementation loads the description resource
  // registered for the node's type.
  virtual Bool GetDDescription(const GeListNode* node, Description* description, DESCFLAGS_DESC& flags) const;
  virtual Bool GetDEnabling(const GeListNode* node, const DescID& id, const GeData& value, DESCFLAGS_ENABLE flags,
                            const BaseContainer* itemdesc) const;

private:
  friend class GeListNode;
  BaseList2D* node_ = nullptr;
};

class GeListNode {
public:
  GeListNode(const GeListNode&) = delete;
  GeListNode& operator=(const GeListNode&) = delete;
  virtual ~GeListNode();

  virtual Int32 GetType() const { return 0; }

  // Links. GetUp is null for a top-level object of a document.
  GeListNode* GetUp() const;
  GeListNode* GetDown() const { return down_; }
  GeListNode* GetDownLast() const;
  GeListNode* GetNext() const { return next_; }
  GeListNode* GetPred() const { return pred_; }

  // Insertion unlinks the node from where it was first. Inserting a node under itself or
  // under one of its descendants is refused.
  void InsertUnder(GeListNode* parent);      // as the first child
  void InsertUnderLast(GeListNode* parent);  // as the last child
  void InsertBefore(GeListNode* next);
  void InsertAfter(GeListNode* pred);
  // Unlinks the node (and its subtree); the caller owns it afterwards.
  void Remove();

  // The document the node's tree is inserted in, or null.
  BaseDocument* GetDocument() const;

  // Sends a message: the host's own handling first (MSG_UPDATE raises the data dirty
  // count), then the plug-in instance's Message. Returns the instance's answer, or true.
  Bool Message(Int32 type, void* data = nullptr);

  Bool GetNBit(Int32 bit) const;
  Bool ChangeNBit(Int32 bit, Int32 control);

  NodeData* GetNodeData() const { return nodeData_.get(); }
  template <class T>
  T* GetNodeData() const {
    return dynamic_cast<T*>(nodeData_.get());
  }

protected:
  GeListNode() = default;
  // Takes ownership of the plug-in instance and binds it to this node.
  void AttachNodeData(std::unique_ptr<NodeData> data);
  // Host-side part of Message, run before the plug-in sees it.
  virtual void HostMessage(Int32 type, void* data);

  // The node that owns the hidden list head this node hangs under (an object, for its
  // tags), or null.
  GeListNode* ListOwner() const { return up_ != nullptr && up_->isListHead_ ? up_->headOwner_ : nullptr; }

  friend class BaseDocument;
  bool isListHead_ = false;        // the hidden head of a document's object list or an object's tag list
  BaseDocument* headDocument_ = nullptr;
  GeListNode* headOwner_ = nullptr;  // the object whose tags hang under this head

private:
  void Unlink();
  // Unlinks every child and appends it to `into`.
  void DetachChildren(std::vector<GeListNode*>& into);
  bool IsAncestorOf(const GeListNode* node) const;

  GeListNode* up_ = nullptr;
  GeListNode* down_ = nullptr;
  GeListNode* next_ = nullptr;
  GeListNode* pred_ = nullptr;
  std::array<bool, NBIT_COUNT> nbits_{};
  std::unique_ptr<NodeData> nodeData_;
};

class BaseList2D : public GeListNode {
public:
  const String& GetName() const { return name_; }
  void SetName(const String& name) { name_ = name; }

  BaseContainer* GetDataInstance() { return &data_; }
  const BaseContainer* GetDataInstance() const { return &data_; }
  BaseContainer GetData() const { return data_; }
  void SetData(const BaseContainer& bc) { data_ = bc; }

  // A count that changes whenever SetDirty is called with that kind. Counts are unique
  // across all nodes, so a different node never repeats a count seen before.
  UInt32 GetDirty(DIRTYFLAGS flags) const;
  void SetDirty(DIRTYFLAGS flags);

  // Reads a parameter; false when the container has no such ID.
  Bool GetParameter(const DescID& id, GeData& value, DESCFLAGS_GET flags = DESCFLAGS_GET::NONE) const;
  // A user edit: writes the container, raises the data dirty count and sends
  // MSG_DESCRIPTION_POSTSETPARAMETER with the ID.
  Bool SetParameter(const DescID& id, const GeData& value, DESCFLAGS_SET flags = DESCFLAGS_SET::NONE);
  // A button press: sends MSG_DESCRIPTION_COMMAND with the ID.
  Bool PressButton(const DescID& id);

  // The node's description as its plug-in reports it (GetDDescription). False when the
  // node has no description.
  Bool GetDescription(Description* description, DESCFLAGS_DESC flags = DESCFLAGS_DESC::NONE) const;
  // Whether a parameter is enabled (GetDEnabling); true without a plug-in.
  Bool GetEnabling(const DescID& id) const;

protected:
  BaseList2D();
  void HostMessage(Int32 type, void* data) override;

private:
  String name_;
  BaseContainer data_;
  UInt32 dirtyData_ = 0;
  UInt32 dirtyMatrix_ = 0;
  UInt32 dirtyCache_ = 0;
  UInt32 dirtyChildren_ = 0;
};
