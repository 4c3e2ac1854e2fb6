// A progress bar on stderr for long work, shown only when stderr is a terminal, so
// scripts and logs see nothing of it.
#pragma once

#include <chrono>
#include <string>

#include "host/core/types.h"

namespace vantelle::app {

class Progress {
public:
  Progress(std::string label, Int64 total);
  ~Progress();  // clears the bar
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // One more step done.
  void Step();

private:
  void Draw(bool force);

  std::string label_;
  Int64 total_;
  Int64 done_ = 0;
  bool visible_;
  std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace vantelle::app
