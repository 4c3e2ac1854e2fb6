#include "app/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace vantelle::app {

namespace {
constexpr int kBarWidth = 30;
}  // namespace

Progress::Progress(std::string label, Int64 total)
    : label_(std::move(label)), total_(std::max<Int64>(total, 1)), visible_(isatty(STDERR_FILENO) != 0) {
  Draw(true);
}

Progress::~Progress() {
  if (visible_) {
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
  }
}

void Progress::Step() {
  ++done_;
  Draw(done_ == total_);
}

void Progress::Draw(bool force) {
  if (!visible_) {
    return;
  }
  // At most a few redraws a second: a terminal is slower than a fast loop.
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - lastDraw_ < std::chrono::milliseconds(100)) {
    return;
  }
  lastDraw_ = now;
  const Int64 filled = std::min<Int64>(kBarWidth, done_ * kBarWidth / total_);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.resize(kBarWidth, '-');
  std::fprintf(stderr, "\r%s [%s] %lld/%lld", label_.c_str(), bar.c_str(), static_cast<long long>(done_),
               static_cast<long long>(total_));
  std::fflush(stderr);
}

}  // namespace vantelle::app
