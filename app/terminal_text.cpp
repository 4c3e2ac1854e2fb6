#include "app/terminal_text.h"

#include <cstdio>

#include "host/core/utf8.h"

namespace vantelle::app {

namespace {

void AppendEscape(std::string& out, const char* format, unsigned value) {
  char code[8];
  std::snprintf(code, sizeof(code), format, value);
  out += code;
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
    const std::size_t length = Utf8SequenceLength(text);
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
