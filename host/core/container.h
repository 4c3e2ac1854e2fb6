// Parameter storage: GeData, a typed value, and BaseContainer, an insertion-ordered map
// from Int32 IDs to GeData. Every object's settings live in one BaseContainer.
#pragma once

#include <memory>
#include <utility>
#include <variant>
#include <vector>

#include "host/core/text.h"
#include "host/core/types.h"

class BaseContainer;

// Custom data type IDs known to the host.
inline constexpr Int32 CUSTOMDATATYPE_GRADIENT = 1000481;
inline constexpr Int32 CUSTOMDATATYPE_FONT = 1009372;

// Base of the host's custom data types (gradients, fonts). A GeData owns its own copy.
class CustomDataType {
public:
  virtual ~CustomDataType() = default;
  virtual Int32 GetCustomDataTypeId() const = 0;
  virtual std::unique_ptr<CustomDataType> Clone() const = 0;
  virtual Bool IsEqual(const CustomDataType& other) const = 0;
};

enum class GeDataType { NIL, INT32, INT64, FLOAT, VECTOR, STRING, TIME, CONTAINER, CUSTOM };

// A typed value. Bool is stored as Int32 (0 or 1), as the host does. The numeric getters
// convert between Int32, Int64 and Float; any other mismatch reads as the zero value.
class GeData {
public:
  GeData() = default;
  GeData(Int32 v) : value_(v) {}                   // NOLINT
  GeData(Bool v) : value_(Int32(v ? 1 : 0)) {}     // NOLINT
  GeData(Int64 v) : value_(v) {}                   // NOLINT
  GeData(Float v) : value_(v) {}                   // NOLINT
  GeData(const Vector& v) : value_(v) {}           // NOLINT
  GeData(const String& v) : value_(v) {}           // NOLINT
  GeData(const char* v) : value_(String(v)) {}     // NOLINT
  GeData(const BaseTime& v) : value_(v) {}         // NOLINT
  GeData(const BaseContainer& v);                  // NOLINT
  GeData(const CustomDataType& v);                 // NOLINT
  GeData(const GeData& other);
  GeData(GeData&& other) noexcept = default;
  GeData& operator=(const GeData& other);
  GeData& operator=(GeData&& other) noexcept = default;
  ~GeData();

  GeDataType GetType() const { return static_cast<GeDataType>(value_.index()); }
  Bool IsNil() const { return GetType() == GeDataType::NIL; }

  Int32 GetInt32() const;
  Int64 GetInt64() const;
  Float GetFloat() const;
  Bool GetBool() const { return GetInt64() != 0; }
  Vector GetVector() const;
  String GetString() const;
  BaseTime GetTime() const;
  // The held container, or null.
  const BaseContainer* GetContainer() const;
  BaseContainer* GetContainer();
  // The held custom data when it is of `typeId`, or null.
  const CustomDataType* GetCustomDataType(Int32 typeId) const;
  CustomDataType* GetCustomDataType(Int32 typeId);
  template <class T>
  T* GetCustomData() {
    return static_cast<T*>(GetCustomDataType(T::TYPE_ID));
  }
  template <class T>
  const T* GetCustomData() const {
    return static_cast<const T*>(GetCustomDataType(T::TYPE_ID));
  }

  Bool operator==(const GeData& other) const;

private:
  std::variant<std::monostate, Int32, Int64, Float, Vector, String, BaseTime, std::unique_ptr<BaseContainer>,
               std::unique_ptr<CustomDataType>>
      value_;
};

class BaseContainer {
public:
  explicit BaseContainer(Int32 id = 0) : id_(id) {}

  Int32 GetId() const { return id_; }
  void SetId(Int32 id) { id_ = id; }

  // Getters return `def` when the ID is missing.
  Int32 GetInt32(Int32 id, Int32 def = 0) const;
  Int64 GetInt64(Int32 id, Int64 def = 0) const;
  Float GetFloat(Int32 id, Float def = 0.0) const;
  Bool GetBool(Int32 id, Bool def = false) const;
  Vector GetVector(Int32 id, const Vector& def = Vector()) const;
  String GetString(Int32 id, const String& def = String()) const;
  BaseTime GetTime(Int32 id, const BaseTime& def = BaseTime()) const;
  // A copy of the sub-container, or an empty one.
  BaseContainer GetContainer(Int32 id) const;
  BaseContainer* GetContainerInstance(Int32 id);
  const BaseContainer* GetContainerInstance(Int32 id) const;
  // The value, or a nil GeData when the ID is missing.
  const GeData& GetData(Int32 id) const;
  const GeData* GetDataPointer(Int32 id) const;
  GeData* GetDataPointer(Int32 id);
  const CustomDataType* GetCustomDataType(Int32 id, Int32 typeId) const;
  template <class T>
  const T* GetCustomData(Int32 id) const {
    return static_cast<const T*>(GetCustomDataType(id, T::TYPE_ID));
  }

  // Setters replace an existing entry in place (keeping its position) or append.
  void SetInt32(Int32 id, Int32 v) { SetData(id, GeData(v)); }
  void SetInt64(Int32 id, Int64 v) { SetData(id, GeData(v)); }
  void SetFloat(Int32 id, Float v) { SetData(id, GeData(v)); }
  void SetBool(Int32 id, Bool v) { SetData(id, GeData(v)); }
  void SetVector(Int32 id, const Vector& v) { SetData(id, GeData(v)); }
  void SetString(Int32 id, const String& v) { SetData(id, GeData(v)); }
  void SetTime(Int32 id, const BaseTime& v) { SetData(id, GeData(v)); }
  void SetContainer(Int32 id, const BaseContainer& v) { SetData(id, GeData(v)); }
  void SetData(Int32 id, GeData value);
  Bool RemoveData(Int32 id);
  void FlushAll() { entries_.clear(); }

  // Index walks, in insertion order.
  Int32 GetCount() const { return static_cast<Int32>(entries_.size()); }
  // The ID at `index`, or NOTOK outside the range.
  Int32 GetIndexId(Int32 index) const;
  // The value at `index`, or null outside the range.
  const GeData* GetIndexData(Int32 index) const;
  // The index of `id`, or NOTOK.
  Int32 FindIndex(Int32 id) const;

  void CopyTo(BaseContainer* dest) const {
    if (dest != nullptr) {
      *dest = *this;
    }
  }
  Bool operator==(const BaseContainer& other) const;

private:
  Int32 id_ = 0;
  std::vector<std::pair<Int32, GeData>> entries_;
};
