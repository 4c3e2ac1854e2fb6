#include "app/command_line.h"

namespace vantelle::app {

// POSIX systems pass the bytes the user typed, UTF-8 on any current one.
std::vector<std::string> Utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

void UseUtf8Console() {}

}  // namespace vantelle::app
