// JSON read into values that remember where they stood in the text, so that a reader of
// a hand-edited file can send people to the line of a bad value; and written back in a
// stable, readable layout.
//
// Reading is strict JSON (RFC 8259) with bounds, so that no input can crash or exhaust
// the reader: nesting depth, text size and value count are capped.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "host/core/types.h"

enum class JsonKind { NUL, BOOLEAN, INTEGER, FLOAT, STRING, ARRAY, OBJECT };

struct JsonMember;

class JsonValue {
public:
  JsonValue() = default;  // null

  static JsonValue MakeBoolean(bool value);
  static JsonValue MakeInteger(Int64 value);
  static JsonValue MakeFloat(Float value);
  // An integer when `value` is integral and exactly representable, else a float: for
  // numbers whose type the reader knows from where they stand, written as people would.
  static JsonValue MakeNumber(Float value);
  static JsonValue MakeString(std::string value);
  static JsonValue MakeArray();
  static JsonValue MakeObject();

  JsonKind GetKind() const { return static_cast<JsonKind>(value_.index()); }
  // 1-based; columns count characters (UTF-8 sequences), not bytes. 0 for built values.
  Int32 GetLine() const { return line_; }
  Int32 GetColumn() const { return column_; }

  Bool IsNull() const { return GetKind() == JsonKind::NUL; }
  Bool IsBoolean() const { return GetKind() == JsonKind::BOOLEAN; }
  Bool IsInteger() const { return GetKind() == JsonKind::INTEGER; }
  Bool IsFloat() const { return GetKind() == JsonKind::FLOAT; }
  Bool IsNumber() const { return IsInteger() || IsFloat(); }
  Bool IsString() const { return GetKind() == JsonKind::STRING; }
  Bool IsArray() const { return GetKind() == JsonKind::ARRAY; }
  Bool IsObject() const { return GetKind() == JsonKind::OBJECT; }

  // Each getter reads its own kind only and gives the zero value for any other, except
  // GetNumber, which reads integers too.
  bool GetBoolean() const;
  Int64 GetInteger() const;
  Float GetNumber() const;
  const std::string& GetString() const;
  const std::vector<JsonValue>& GetItems() const;
  const std::vector<JsonMember>& GetMembers() const;
  // The member named `key`, or null (also for non-objects).
  const JsonMember* Find(std::string_view key) const;

  // Building; each does nothing on a value of another kind. Set replaces a member of the
  // same key in place, so keys stay unique and keep their first position.
  JsonValue& Append(JsonValue item);
  JsonValue& Set(std::string key, JsonValue value);

  // What the value is, for messages: "an integer", "a string", "an object", ...
  const char* DescribeKind() const;

private:
  friend class JsonParser;  // fills values in place, with positions

  std::variant<std::monostate, bool, Int64, Float, std::string, std::vector<JsonValue>, std::vector<JsonMember>>
      value_;
  Int32 line_ = 0;
  Int32 column_ = 0;
};

struct JsonMember {
  std::string key;
  Int32 line = 0;  // where the key stands
  Int32 column = 0;
  JsonValue value;
};

struct JsonLimits {
  Int32 maxDepth = 64;                     // nested arrays and objects
  std::size_t maxBytes = 64u << 20;        // 64 MiB of text
  std::size_t maxValues = std::size_t{1} << 21;  // every value, including members and items
};

struct JsonError {
  Int32 line = 0;
  Int32 column = 0;
  std::string message;
  // "line 3, column 17: expected ',' or '}'"
  std::string Format() const;
};

// The value `text` holds, or nothing with *error set. Numbers without '.' or exponent
// are integers (refused outside the 64-bit range), others floats (refused when they
// overflow; underflow reads as zero). Strings may hold any bytes but control characters;
// \u escapes become UTF-8 and must pair their surrogates. Duplicate keys, trailing text
// and anything beyond the limits are refused. A UTF-8 byte order mark is skipped.
std::optional<JsonValue> ReadJson(std::string_view text, JsonError* error, const JsonLimits& limits = JsonLimits());

// The value as JSON text that ReadJson reads back to the same values. Floats use the
// shortest text that round-trips and always show a '.' or exponent, so that they read
// back as floats. `pretty` lays containers out over lines with two-space indents, but
// keeps any array or object on one line when it is short.
std::string WriteJson(const JsonValue& value, bool pretty = false);
