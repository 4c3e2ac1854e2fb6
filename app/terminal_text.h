// Text from files and users shown on a terminal: names and values from a scene may hold
// control characters that would clear the screen or retitle the window.
#pragma once

#include <string>
#include <string_view>

namespace vantelle::app {

// `text` with everything a terminal could act on written out: C0 controls (newlines and
// tabs included) and DEL as \xNN, C1 controls as \u00NN, and bytes that are not UTF-8
// as \xNN. Everything else, printable UTF-8 included, stays as it is.
std::string TerminalText(std::string_view text);

}  // namespace vantelle::app
