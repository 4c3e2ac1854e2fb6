// A progress bar on stderr for long work, shown only when stderr is a terminal, so
// scripts and logs see nothing of it: the label, the share done, the elapsed time and an
// estimate of the time left. Work of a single step shows no bar.
#pragma once

#include <chrono>
#include <string>

#include "host/core/types.h"

namespace vantelle::app {

class Progress {
public:
  // `total` steps: whole ones (frames, files) shown as "done/total" when `counted`,
  // else an amount (bytes) shown as its share alone.
  Progress(std::string label, Int64 total, bool counted = true);
  ~Progress();  // clears the bar
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // One more step done.
  void Step() { Advance(1); }
  // `steps` more done.
  void Advance(Int64 steps);

  // The bar's text with `done` of the total after `elapsed` seconds:
  // "frames  42% [############------------------] 126/300  0:12 elapsed, 0:16 left".
  static std::string Line(const std::string& label, Int64 done, Int64 total, double elapsed, bool counts);

private:
  void Draw(bool force);
  void Clear();
  friend void ClearProgressLine();

  std::string label_;
  Int64 total_;
  Int64 done_ = 0;
  bool visible_;
  bool counted_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
  Progress* outer_;  // the bar shown before this one
};

// Clears the bar on the terminal, if one is shown, so that the next line written to
// stderr (a warning, a question, a message) starts on a line of its own; the bar comes
// back with its next step. Every message to stderr during work goes through here first.
void ClearProgressLine();

}  // namespace vantelle::app
