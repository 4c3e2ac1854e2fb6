#include "host/files/json_reader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <new>
#include <system_error>
#include <unordered_map>
#include <utility>

namespace {

// Recursion follows the nesting, so the depth a caller may ask for is bounded too.
constexpr Int32 kDepthCeiling = 256;

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
