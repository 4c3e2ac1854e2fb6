#include "host/json_reader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <new>
#include <system_error>
#include <unordered_map>
#include <utility>

namespace {

// Recursion follows the nesting, so the depth a caller may ask for is bounded too.
constexpr Int32 kDepthCeiling = 256;
// Containers whose one-line form is at most this long stay on one line when pretty.
constexpr std::size_t kInlineWidth = 120;

struct ParseFailure {
  Int32 line;
  Int32 column;
  std::string message;
};

// A byte as people can read it in a message.
std::string ShowByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 0x20 && u < 0x7F) {
    return c == '\'' ? std::string("\"'\"") : "'" + std::string(1, c) + "'";
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  return std::string("byte 0x") + kHex[u >> 4] + kHex[u & 0xF];
}

// Huge numbers would flood a message; their start is enough to find them.
std::string Excerpt(std::string_view text) {
  constexpr std::size_t kMax = 40;
  return text.size() <= kMax ? std::string(text) : std::string(text.substr(0, kMax)) + "...";
}

void AppendUtf8(std::string& out, UInt32 cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether a decimal number that from_chars found out of range is too large (rather
// than too small, which reads as zero): from the position of its first non-zero digit.
bool Overflows(std::string_view intPart, std::string_view fracPart, std::string_view exponent) {
  Int64 exp = 0;
  bool negative = false;
  for (const char c : exponent) {
    if (c == '-') {
      negative = true;
    } else if (IsDigit(c)) {
      exp = std::min<Int64>(exp * 10 + (c - '0'), Int64{1} << 40);  // saturate; any such value decides
    }
  }
  exp = negative ? -exp : exp;
  const std::size_t i = intPart.find_first_not_of('0');
  if (i != std::string_view::npos) {
    return static_cast<Int64>(intPart.size() - 1 - i) + exp > 0;
  }
  const std::size_t j = fracPart.find_first_not_of('0');
  return j != std::string_view::npos && exp - static_cast<Int64>(j + 1) > 0;
}

}  // namespace

// ---- JsonValue -----------------------------------------------------------------------

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

// ---- Reading -------------------------------------------------------------------------

class JsonParser {
public:
  JsonParser(std::string_view text, const JsonLimits& limits)
      : text_(text), maxDepth_(std::clamp(limits.maxDepth, 1, kDepthCeiling)), maxValues_(limits.maxValues) {}

  JsonValue ParseDocument() {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") {
      pos_ = 3;  // the mark is not a character people see, so columns stay as they are
    }
    JsonValue root = ParseValue(0);
    SkipSpace();
    if (!AtEnd()) {
      Fail("unexpected " + ShowByte(Peek()) + " after the end of the JSON value");
    }
    return root;
  }

private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return text_[pos_]; }

  void Advance() {
    const char c = text_[pos_++];
    if (c == '\n') {
      ++line_;
      column_ = 1;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++column_;  // continuation bytes belong to the character before them
    }
  }

  [[noreturn]] void Fail(const std::string& message) const { throw ParseFailure{line_, column_, message}; }
  [[noreturn]] static void FailAt(Int32 line, Int32 column, const std::string& message) {
    throw ParseFailure{line, column, message};
  }

  std::string Found() const { return AtEnd() ? "the end of the text" : ShowByte(Peek()); }

  void SkipSpace() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) {
      Advance();
    }
  }

  void Expect(char c, const char* what) {
    if (AtEnd() || Peek() != c) {
      Fail(std::string("expected ") + what + ", found " + Found());
    }
    Advance();
  }

  JsonValue ParseValue(Int32 depth) {
    SkipSpace();
    if (AtEnd()) {
      Fail("expected a value, found the end of the text");
    }
    if (++values_ > maxValues_) {
      Fail("more than " + std::to_string(maxValues_) + " values");
    }
    JsonValue v;
    v.line_ = line_;
    v.column_ = column_;
    const char c = Peek();
    if (c == '{') {
      ParseObject(v, depth + 1);
    } else if (c == '[') {
      ParseArray(v, depth + 1);
    } else if (c == '"') {
      v.value_ = ParseString();
    } else if (c == '-' || IsDigit(c)) {
      ParseNumber(v);
    } else if (c == 't' || c == 'f' || c == 'n') {
      ParseLiteral(v);
    } else {
      Fail("expected a value, found " + ShowByte(c));
    }
    return v;
  }

  void CheckDepth(Int32 depth) const {
    if (depth > maxDepth_) {
      Fail("arrays and objects nested deeper than " + std::to_string(maxDepth_) + " levels");
    }
  }

  void ParseObject(JsonValue& v, Int32 depth) {
    CheckDepth(depth);
    Advance();  // {
    std::vector<JsonMember> members;
    std::unordered_map<std::string, Int32> seen;  // key -> line of its first use
    SkipSpace();
    if (!AtEnd() && Peek() == '}') {
      Advance();
      v.value_ = std::move(members);
      return;
    }
    while (true) {
      SkipSpace();
      if (AtEnd() || Peek() != '"') {
        if (!members.empty() && !AtEnd() && Peek() == '}') {
          Fail("expected another member after ',', found '}'");
        }
        Fail("expected a string key, found " + Found());
      }
      JsonMember member;
      member.line = line_;
      member.column = column_;
      member.key = ParseString();
      const auto [it, fresh] = seen.emplace(member.key, member.line);
      if (!fresh) {
        FailAt(member.line, member.column,
               "duplicate key \"" + Excerpt(member.key) + "\" (first at line " + std::to_string(it->second) + ")");
      }
      SkipSpace();
      Expect(':', "':' after the key");
      member.value = ParseValue(depth);
      members.push_back(std::move(member));
      SkipSpace();
      if (!AtEnd() && Peek() == ',') {
        Advance();
        continue;
      }
      Expect('}', "',' or '}'");
      break;
    }
    v.value_ = std::move(members);
  }

  void ParseArray(JsonValue& v, Int32 depth) {
    CheckDepth(depth);
    Advance();  // [
    std::vector<JsonValue> items;
    SkipSpace();
    if (!AtEnd() && Peek() == ']') {
      Advance();
      v.value_ = std::move(items);
      return;
    }
    while (true) {
      SkipSpace();
      if (!AtEnd() && Peek() == ']') {
        Fail("expected another value after ',', found ']'");
      }
      items.push_back(ParseValue(depth));
      SkipSpace();
      if (!AtEnd() && Peek() == ',') {
        Advance();
        continue;
      }
      Expect(']', "',' or ']'");
      break;
    }
    v.value_ = std::move(items);
  }

  UInt32 ReadHex4() {
    UInt32 value = 0;
    for (int i = 0; i < 4; ++i) {
      if (AtEnd()) {
        Fail("\\u must be followed by four hex digits, found the end of the text");
      }
      const char c = Peek();
      UInt32 digit = 0;
      if (IsDigit(c)) {
        digit = static_cast<UInt32>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        digit = static_cast<UInt32>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        digit = static_cast<UInt32>(c - 'A' + 10);
      } else {
        Fail("\\u must be followed by four hex digits, found " + ShowByte(c));
      }
      value = value * 16 + digit;
      Advance();
    }
    return value;
  }

  // At the backslash of a \u escape; the code point, surrogate pairs joined.
  UInt32 ReadUnicodeEscape() {
    const Int32 line = line_;
    const Int32 column = column_;
    Advance();  // backslash
    Advance();  // u
    const UInt32 first = ReadHex4();
    if (first >= 0xDC00 && first <= 0xDFFF) {
      FailAt(line, column, "unpaired low surrogate in a \\u escape");
    }
    if (first < 0xD800 || first > 0xDBFF) {
      return first;
    }
    if (text_.substr(pos_, 2) != "\\u") {
      FailAt(line, column, "unpaired high surrogate in a \\u escape");
    }
    Advance();
    Advance();
    const UInt32 second = ReadHex4();
    if (second < 0xDC00 || second > 0xDFFF) {
      FailAt(line, column, "unpaired high surrogate in a \\u escape");
    }
    return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
  }

  std::string ParseString() {
    const Int32 line = line_;
    const Int32 column = column_;
    Advance();  // opening quote
    std::string out;
    while (true) {
      if (AtEnd()) {
        FailAt(line, column, "unterminated string");
      }
      const char c = Peek();
      if (c == '"') {
        Advance();
        return out;
      }
      if (static_cast<unsigned char>(c) < 0x20) {
        Fail("control character " + ShowByte(c) + " in a string; write it as an escape such as \\n or \\u0009");
      }
      if (c != '\\') {
        out += c;
        Advance();
        continue;
      }
      if (pos_ + 1 >= text_.size()) {
        FailAt(line, column, "unterminated string");
      }
      const char e = text_[pos_ + 1];
      if (e == 'u') {
        AppendUtf8(out, ReadUnicodeEscape());
        continue;
      }
      char decoded = 0;
      switch (e) {
        case '"': decoded = '"'; break;
        case '\\': decoded = '\\'; break;
        case '/': decoded = '/'; break;
        case 'b': decoded = '\b'; break;
        case 'f': decoded = '\f'; break;
        case 'n': decoded = '\n'; break;
        case 'r': decoded = '\r'; break;
        case 't': decoded = '\t'; break;
        default:
          Fail("invalid escape: a backslash followed by " + ShowByte(e));
      }
      out += decoded;
      Advance();
      Advance();
    }
  }

  void ScanDigits() {
    while (!AtEnd() && IsDigit(Peek())) {
      Advance();
    }
  }

  void ParseNumber(JsonValue& v) {
    const std::size_t start = pos_;
    if (Peek() == '-') {
      Advance();
    }
    const std::size_t intStart = pos_;
    if (AtEnd() || !IsDigit(Peek())) {
      Fail("expected a digit after '-', found " + Found());
    }
    if (Peek() == '0') {
      Advance();
      if (!AtEnd() && IsDigit(Peek())) {
        FailAt(v.line_, v.column_, "a number must not start with a 0 followed by digits");
      }
    } else {
      ScanDigits();
    }
    const std::string_view intPart = text_.substr(intStart, pos_ - intStart);
    std::string_view fracPart;
    std::string_view exponent;
    bool integral = true;
    if (!AtEnd() && Peek() == '.') {
      Advance();
      const std::size_t fracStart = pos_;
      if (AtEnd() || !IsDigit(Peek())) {
        Fail("expected a digit after '.', found " + Found());
      }
      ScanDigits();
      fracPart = text_.substr(fracStart, pos_ - fracStart);
      integral = false;
    }
    if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
      Advance();
      const std::size_t expStart = pos_;
      if (!AtEnd() && (Peek() == '+' || Peek() == '-')) {
        Advance();
      }
      if (AtEnd() || !IsDigit(Peek())) {
        Fail("expected a digit in the exponent, found " + Found());
      }
      ScanDigits();
      exponent = text_.substr(expStart, pos_ - expStart);
      integral = false;
    }
    const std::string_view token = text_.substr(start, pos_ - start);
    const char* first = token.data();
    const char* last = token.data() + token.size();
    if (integral) {
      Int64 value = 0;
      const auto [ptr, ec] = std::from_chars(first, last, value);
      if (ec != std::errc() || ptr != last) {
        FailAt(v.line_, v.column_, "integer " + Excerpt(token) + " is outside the 64-bit range");
      }
      v.value_ = value;
      return;
    }
    Float value = 0.0;
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
      if (Overflows(intPart, fracPart, exponent)) {
        FailAt(v.line_, v.column_, "number " + Excerpt(token) + " is too large for a float");
      }
      value = token[0] == '-' ? -0.0 : 0.0;
    } else if (ec != std::errc() || ptr != last || !std::isfinite(value)) {
      FailAt(v.line_, v.column_, "invalid number " + Excerpt(token));
    }
    v.value_ = value;
  }

  void ParseLiteral(JsonValue& v) {
    for (const std::string_view word : {std::string_view("true"), std::string_view("false"), std::string_view("null")}) {
      if (text_.substr(pos_, word.size()) != word) {
        continue;
      }
      // "nullx" or "true1" is one misspelt word, not a literal and trailing text.
      const std::size_t after = pos_ + word.size();
      if (after < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[after])) != 0 || text_[after] == '_')) {
        break;
      }
      for (std::size_t i = 0; i < word.size(); ++i) {
        Advance();
      }
      if (word == "null") {
        v.value_ = std::monostate();
      } else {
        v.value_ = word == "true";
      }
      return;
    }
    Fail("expected a value (true, false, null, a number, a string, an array or an object)");
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  Int32 line_ = 1;
  Int32 column_ = 1;
  std::size_t values_ = 0;
  Int32 maxDepth_;
  std::size_t maxValues_;
};

std::string JsonError::Format() const {
  return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + message;
}

std::optional<JsonValue> ReadJson(std::string_view text, JsonError* error, const JsonLimits& limits) {
  const auto fail = [error](Int32 line, Int32 column, std::string message) {
    if (error != nullptr) {
      *error = JsonError{line, column, std::move(message)};
    }
    return std::nullopt;
  };
  if (text.size() > limits.maxBytes) {
    return fail(1, 1, "the text is larger than " + std::to_string(limits.maxBytes) + " bytes");
  }
  try {
    JsonParser parser(text, limits);
    return parser.ParseDocument();
  } catch (const ParseFailure& failure) {
    return fail(failure.line, failure.column, failure.message);
  } catch (const std::bad_alloc&) {
    return fail(1, 1, "not enough memory to read the text");
  }
}

// ---- Writing -------------------------------------------------------------------------

namespace {

void WriteString(std::string& out, const std::string& text) {
  out += '"';
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          static constexpr char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out += kHex[static_cast<unsigned char>(c) >> 4];
          out += kHex[static_cast<unsigned char>(c) & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void WriteFloat(std::string& out, Float value) {
  if (!std::isfinite(value)) {
    out += "null";  // JSON has no spelling for these; the reader never makes them
    return;
  }
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  const std::string_view text(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
  out += text;
  if (text.find_first_of(".e") == std::string_view::npos) {
    out += ".0";
  }
}

void WriteCompact(std::string& out, const JsonValue& value) {
  switch (value.GetKind()) {
    case JsonKind::NUL: out += "null"; return;
    case JsonKind::BOOLEAN: out += value.GetBoolean() ? "true" : "false"; return;
    case JsonKind::INTEGER: out += std::to_string(value.GetInteger()); return;
    case JsonKind::FLOAT: WriteFloat(out, value.GetNumber()); return;
    case JsonKind::STRING: WriteString(out, value.GetString()); return;
    case JsonKind::ARRAY: {
      out += '[';
      bool first = true;
      for (const JsonValue& item : value.GetItems()) {
        out += first ? "" : ", ";
        first = false;
        WriteCompact(out, item);
      }
      out += ']';
      return;
    }
    case JsonKind::OBJECT: {
      out += '{';
      bool first = true;
      for (const JsonMember& m : value.GetMembers()) {
        out += first ? "" : ", ";
        first = false;
        WriteString(out, m.key);
        out += ": ";
        WriteCompact(out, m.value);
      }
      out += '}';
      return;
    }
  }
}

// Whether the one-line form fits in `budget` characters; stops counting once it cannot.
bool FitsOnOneLine(const JsonValue& value, std::size_t& budget) {
  const auto take = [&budget](std::size_t n) {
    if (n > budget) {
      return false;
    }
    budget -= n;
    return true;
  };
  switch (value.GetKind()) {
    case JsonKind::ARRAY: {
      if (!take(2)) return false;
      bool first = true;
      for (const JsonValue& item : value.GetItems()) {
        if ((!first && !take(2)) || !FitsOnOneLine(item, budget)) return false;
        first = false;
      }
      return true;
    }
    case JsonKind::OBJECT: {
      if (!take(2)) return false;
      bool first = true;
      for (const JsonMember& m : value.GetMembers()) {
        if ((!first && !take(2)) || !take(m.key.size() + 4) || !FitsOnOneLine(m.value, budget)) return false;
        first = false;
      }
      return true;
    }
    case JsonKind::STRING:
      return take(value.GetString().size() + 2);
    default: {
      std::string scalar;
      WriteCompact(scalar, value);
      return take(scalar.size());
    }
  }
}

void WritePretty(std::string& out, const JsonValue& value, std::size_t indent) {
  std::size_t budget = kInlineWidth;
  const bool empty = value.GetItems().empty() && value.GetMembers().empty();
  // The outermost level is always laid out, so a file starts the same way however small.
  const bool fits = indent > 0 ? FitsOnOneLine(value, budget) : empty;
  if ((!value.IsArray() && !value.IsObject()) || fits) {
    WriteCompact(out, value);
    return;
  }
  const std::string inner(indent + 2, ' ');
  if (value.IsArray()) {
    out += "[\n";
    const auto& items = value.GetItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
      out += inner;
      WritePretty(out, items[i], indent + 2);
      out += i + 1 < items.size() ? ",\n" : "\n";
    }
    out += std::string(indent, ' ') + "]";
    return;
  }
  out += "{\n";
  const auto& members = value.GetMembers();
  for (std::size_t i = 0; i < members.size(); ++i) {
    out += inner;
    WriteString(out, members[i].key);
    out += ": ";
    WritePretty(out, members[i].value, indent + 2);
    out += i + 1 < members.size() ? ",\n" : "\n";
  }
  out += std::string(indent, ' ') + "}";
}

}  // namespace

std::string WriteJson(const JsonValue& value, bool pretty) {
  std::string out;
  if (pretty) {
    WritePretty(out, value, 0);
  } else {
    WriteCompact(out, value);
  }
  return out;
}
