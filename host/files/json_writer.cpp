#include "host/files/json_reader.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

namespace {

// Containers whose one-line form is at most this long stay on one line when pretty.
constexpr std::size_t kInlineWidth = 120;

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
