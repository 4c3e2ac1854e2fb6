#include "host/files/json_reader.h"

#include <cmath>
#include <utility>

JsonValue JsonValue::MakeBoolean(bool value) {
  JsonValue v;
  v.value_ = value;
  return v;
}

JsonValue JsonValue::MakeInteger(Int64 value) {
  JsonValue v;
  v.value_ = value;
  return v;
}

JsonValue JsonValue::MakeFloat(Float value) {
  JsonValue v;
  v.value_ = value;
  return v;
}

JsonValue JsonValue::MakeNumber(Float value) {
  constexpr Float kExact = 9007199254740992.0;  // 2^53
  const bool negativeZero = value == 0.0 && std::signbit(value);
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) <= kExact && !negativeZero) {
    return MakeInteger(static_cast<Int64>(value));
  }
  return MakeFloat(value);
}

JsonValue JsonValue::MakeString(std::string value) {
  JsonValue v;
  v.value_ = std::move(value);
  return v;
}

JsonValue JsonValue::MakeArray() {
  JsonValue v;
  v.value_ = std::vector<JsonValue>();
  return v;
}

JsonValue JsonValue::MakeObject() {
  JsonValue v;
  v.value_ = std::vector<JsonMember>();
  return v;
}

bool JsonValue::GetBoolean() const {
  const bool* v = std::get_if<bool>(&value_);
  return v != nullptr && *v;
}

Int64 JsonValue::GetInteger() const {
  const Int64* v = std::get_if<Int64>(&value_);
  return v != nullptr ? *v : 0;
}

Float JsonValue::GetNumber() const {
  if (const Float* f = std::get_if<Float>(&value_)) {
    return *f;
  }
  return static_cast<Float>(GetInteger());
}

const std::string& JsonValue::GetString() const {
  static const std::string kEmpty;
  const std::string* v = std::get_if<std::string>(&value_);
  return v != nullptr ? *v : kEmpty;
}

const std::vector<JsonValue>& JsonValue::GetItems() const {
  static const std::vector<JsonValue> kEmpty;
  const auto* v = std::get_if<std::vector<JsonValue>>(&value_);
  return v != nullptr ? *v : kEmpty;
}

const std::vector<JsonMember>& JsonValue::GetMembers() const {
  static const std::vector<JsonMember> kEmpty;
  const auto* v = std::get_if<std::vector<JsonMember>>(&value_);
  return v != nullptr ? *v : kEmpty;
}

const JsonMember* JsonValue::Find(std::string_view key) const {
  for (const JsonMember& m : GetMembers()) {
    if (m.key == key) {
      return &m;
    }
  }
  return nullptr;
}

JsonValue& JsonValue::Append(JsonValue item) {
  if (auto* items = std::get_if<std::vector<JsonValue>>(&value_)) {
    items->push_back(std::move(item));
  }
  return *this;
}

JsonValue& JsonValue::Set(std::string key, JsonValue value) {
  if (auto* members = std::get_if<std::vector<JsonMember>>(&value_)) {
    for (JsonMember& m : *members) {
      if (m.key == key) {
        m.value = std::move(value);
        return *this;
      }
    }
    members->push_back(JsonMember{std::move(key), 0, 0, std::move(value)});
  }
  return *this;
}

const char* JsonValue::DescribeKind() const {
  switch (GetKind()) {
    case JsonKind::NUL: return "null";
    case JsonKind::BOOLEAN: return "a boolean";
    case JsonKind::INTEGER: return "an integer";
    case JsonKind::FLOAT: return "a float";
    case JsonKind::STRING: return "a string";
    case JsonKind::ARRAY: return "an array";
    case JsonKind::OBJECT: return "an object";
  }
  return "a value";
}
