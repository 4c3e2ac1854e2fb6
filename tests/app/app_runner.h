// Runs the built vantelle executable as a separate process, as users and scripts do.
#pragma once

#include <string>
#include <vector>

struct RunResult {
  int exitCode = -1;  // the negated signal when killed by one
  std::string out;
  std::string err;
};

// Runs vantelle with `args` and waits for it. Output goes to files, not pipes, so a chatty
// child can never block on a full pipe.
RunResult RunApp(const std::vector<std::string>& args);

// A whole file's bytes; empty when it cannot be read.
std::string ReadAll(const std::string& path);
