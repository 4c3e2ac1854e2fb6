#include "app/terminal_text.h"

#include <cstdio>

namespace vantelle::app {

namespace {

void AppendEscape(std::string& out, const char* format, unsigned value) {
  char code[8];
  std::snprintf(code, sizeof(code), format, value);
  out += code;
}

// The length of the valid UTF-8 sequence at the start of `text`, or 0 when there is none
// (overlong forms, surrogates and values beyond U+10FFFF are not valid).
std::size_t SequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    min = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) {
    return 0;
  }
  unsigned value = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) {
      return 0;
    }
    value = value << 6 | (byte(i) & 0x3F);
  }
  if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  return length;
}

}  // namespace

std::string TerminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const unsigned char c = static_cast<unsigned char>(text[0]);
    if (c < 0x80) {
      if (c < 0x20 || c == 0x7F) {
        AppendEscape(out, "\\x%02x", c);
      } else {
        out += static_cast<char>(c);
      }
      text.remove_prefix(1);
      continue;
    }
    const std::size_t length = SequenceLength(text);
    if (length == 0) {
      AppendEscape(out, "\\x%02x", c);
      text.remove_prefix(1);
    } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0) {
      AppendEscape(out, "\\u%04x", static_cast<unsigned char>(text[1]));  // U+0080 to U+009F
      text.remove_prefix(2);
    } else {
      out.append(text.substr(0, length));
      text.remove_prefix(length);
    }
  }
  return out;
}

}  // namespace vantelle::app
