// Running the built vantelle executable as a user would, for tests of the app's promises.
#pragma once

#include <string>
#include <vector>

namespace vantelle::test {

struct RunResult {
  int exitCode = -1;  // the negated signal when killed by one
  std::string out;
  std::string err;
};

// The whole file, or an empty text when it cannot be read.
std::string ReadAll(const std::string& path);

// Runs the app with `args` and waits for it. Output goes to files, not pipes, so a chatty
// child can never block on a full pipe.
RunResult RunApp(const std::vector<std::string>& args);

// Runs the app with `args` on a terminal of its own and returns all it wrote there
// (stdout and stderr together, as the terminal shows them).
std::string RunOnTerminal(const std::vector<std::string>& args);

}  // namespace vantelle::test
