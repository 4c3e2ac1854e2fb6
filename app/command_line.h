// The command line and the console as UTF-8 text, whatever the system's own encoding
// (Windows hands main() its arguments in the ANSI code page and writes the console in
// the OEM one).
#pragma once

#include <string>
#include <vector>

namespace vantelle::app {

// The program's arguments in UTF-8, the program's name first.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
// Makes what the program prints to a console read as UTF-8.
void UseUtf8Console();

}  // namespace vantelle::app
