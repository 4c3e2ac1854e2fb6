#include "host/core/container.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Float to Int32 conversion that saturates instead of invoking undefined behaviour.
template <class I>
I SaturatingCast(Float v) {
  if (std::isnan(v)) {
    return 0;
  }
  if (v >= static_cast<Float>(std::numeric_limits<I>::max())) {
    return std::numeric_limits<I>::max();
  }
  if (v <= static_cast<Float>(std::numeric_limits<I>::min())) {
    return std::numeric_limits<I>::min();
  }
  return static_cast<I>(v);
}

const GeData kNil;

}  // namespace

GeData::GeData(const BaseContainer& v) : value_(std::make_unique<BaseContainer>(v)) {}
GeData::GeData(const CustomDataType& v) : value_(v.Clone()) {}
GeData::~GeData() = default;

GeData::GeData(const GeData& other) {
  *this = other;
}

GeData& GeData::operator=(const GeData& other) {
  if (this == &other) {
    return *this;
  }
  std::visit(
      [this](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::unique_ptr<BaseContainer>>) {
          value_ = v ? std::make_unique<BaseContainer>(*v) : nullptr;
        } else if constexpr (std::is_same_v<T, std::unique_ptr<CustomDataType>>) {
          value_ = v ? v->Clone() : nullptr;
        } else {
          value_ = v;
        }
      },
      other.value_);
  return *this;
}

Int32 GeData::GetInt32() const {
  switch (GetType()) {
    case GeDataType::INT32: return std::get<Int32>(value_);
    case GeDataType::INT64: return static_cast<Int32>(std::clamp<Int64>(std::get<Int64>(value_), LIMIT_MIN_INT32, LIMIT_MAX_INT32));
    case GeDataType::FLOAT: return SaturatingCast<Int32>(std::get<Float>(value_));
    default: return 0;
  }
}

Int64 GeData::GetInt64() const {
  switch (GetType()) {
    case GeDataType::INT32: return std::get<Int32>(value_);
    case GeDataType::INT64: return std::get<Int64>(value_);
    case GeDataType::FLOAT: return SaturatingCast<Int64>(std::get<Float>(value_));
    default: return 0;
  }
}

Float GeData::GetFloat() const {
  switch (GetType()) {
    case GeDataType::INT32: return std::get<Int32>(value_);
    case GeDataType::INT64: return static_cast<Float>(std::get<Int64>(value_));
    case GeDataType::FLOAT: return std::get<Float>(value_);
    default: return 0.0;
  }
}

Vector GeData::GetVector() const {
  return GetType() == GeDataType::VECTOR ? std::get<Vector>(value_) : Vector();
}

String GeData::GetString() const {
  return GetType() == GeDataType::STRING ? std::get<String>(value_) : String();
}

BaseTime GeData::GetTime() const {
  return GetType() == GeDataType::TIME ? std::get<BaseTime>(value_) : BaseTime();
}

const BaseContainer* GeData::GetContainer() const {
  return GetType() == GeDataType::CONTAINER ? std::get<std::unique_ptr<BaseContainer>>(value_).get() : nullptr;
}

BaseContainer* GeData::GetContainer() {
  return GetType() == GeDataType::CONTAINER ? std::get<std::unique_ptr<BaseContainer>>(value_).get() : nullptr;
}

const CustomDataType* GeData::GetCustomDataType(Int32 typeId) const {
  if (GetType() != GeDataType::CUSTOM) {
    return nullptr;
  }
  const auto& data = std::get<std::unique_ptr<CustomDataType>>(value_);
  return data && data->GetCustomDataTypeId() == typeId ? data.get() : nullptr;
}

CustomDataType* GeData::GetCustomDataType(Int32 typeId) {
  return const_cast<CustomDataType*>(std::as_const(*this).GetCustomDataType(typeId));
}

Bool GeData::operator==(const GeData& other) const {
  if (GetType() != other.GetType()) {
    return false;
  }
  switch (GetType()) {
    case GeDataType::CONTAINER: {
      const BaseContainer* a = GetContainer();
      const BaseContainer* b = other.GetContainer();
      return a == b || (a != nullptr && b != nullptr && *a == *b);
    }
    case GeDataType::CUSTOM: {
      const auto& a = std::get<std::unique_ptr<CustomDataType>>(value_);
      const auto& b = std::get<std::unique_ptr<CustomDataType>>(other.value_);
      if (!a || !b) {
        return !a && !b;
      }
      return a->GetCustomDataTypeId() == b->GetCustomDataTypeId() && a->IsEqual(*b);
    }
    default:
      return value_ == other.value_;
  }
}

// --- BaseContainer ---------------------------------------------------------------------

Int32 BaseContainer::FindIndex(Int32 id) const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].first == id) {
      return static_cast<Int32>(i);
    }
  }
  return NOTOK;
}

const GeData* BaseContainer::GetDataPointer(Int32 id) const {
  const Int32 index = FindIndex(id);
  return index == NOTOK ? nullptr : &entries_[static_cast<std::size_t>(index)].second;
}

GeData* BaseContainer::GetDataPointer(Int32 id) {
  return const_cast<GeData*>(std::as_const(*this).GetDataPointer(id));
}

const GeData& BaseContainer::GetData(Int32 id) const {
  const GeData* data = GetDataPointer(id);
  return data != nullptr ? *data : kNil;
}

Int32 BaseContainer::GetInt32(Int32 id, Int32 def) const {
  const GeData* data = GetDataPointer(id);
  return data != nullptr ? data->GetInt32() : def;
}

Int64 BaseContainer::GetInt64(Int32 id, Int64 def) const {
  const GeData* data = GetDataPointer(id);
  return data != nullptr ? data->GetInt64() : def;
}

Float BaseContainer::GetFloat(Int32 id, Float def) const {
  const GeData* data = GetDataPointer(id);
  return data != nullptr ? data->GetFloat() : def;
}

Bool BaseContainer::GetBool(Int32 id, Bool def) const {
  const GeData* data = GetDataPointer(id);
  return data != nullptr ? data->GetBool() : def;
}

Vector BaseContainer::GetVector(Int32 id, const Vector& def) const {
  const GeData* data = GetDataPointer(id);
  return data != nullptr ? data->GetVector() : def;
}

String BaseContainer::GetString(Int32 id, const String& def) const {
  const GeData* data = GetDataPointer(id);
  return data != nullptr ? data->GetString() : def;
}

BaseTime BaseContainer::GetTime(Int32 id, const BaseTime& def) const {
  const GeData* data = GetDataPointer(id);
  return data != nullptr ? data->GetTime() : def;
}

BaseContainer BaseContainer::GetContainer(Int32 id) const {
  const BaseContainer* sub = GetContainerInstance(id);
  return sub != nullptr ? *sub : BaseContainer();
}

BaseContainer* BaseContainer::GetContainerInstance(Int32 id) {
  GeData* data = GetDataPointer(id);
  return data != nullptr ? data->GetContainer() : nullptr;
}

const BaseContainer* BaseContainer::GetContainerInstance(Int32 id) const {
  const GeData* data = GetDataPointer(id);
  return data != nullptr ? data->GetContainer() : nullptr;
}

const CustomDataType* BaseContainer::GetCustomDataType(Int32 id, Int32 typeId) const {
  const GeData* data = GetDataPointer(id);
  return data != nullptr ? data->GetCustomDataType(typeId) : nullptr;
}

void BaseContainer::SetData(Int32 id, GeData value) {
  if (GeData* existing = GetDataPointer(id)) {
    *existing = std::move(value);
    return;
  }
  entries_.emplace_back(id, std::move(value));
}

Bool BaseContainer::RemoveData(Int32 id) {
  const Int32 index = FindIndex(id);
  if (index == NOTOK) {
    return false;
  }
  entries_.erase(entries_.begin() + index);
  return true;
}

Int32 BaseContainer::GetIndexId(Int32 index) const {
  if (index < 0 || index >= GetCount()) {
    return NOTOK;
  }
  return entries_[static_cast<std::size_t>(index)].first;
}

const GeData* BaseContainer::GetIndexData(Int32 index) const {
  if (index < 0 || index >= GetCount()) {
    return nullptr;
  }
  return &entries_[static_cast<std::size_t>(index)].second;
}

Bool BaseContainer::operator==(const BaseContainer& other) const {
  return id_ == other.id_ && entries_ == other.entries_;
}
