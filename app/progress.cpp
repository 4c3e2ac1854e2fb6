#include "app/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace vantelle::app {

namespace {

constexpr int kBarWidth = 30;

// The bar on the terminal now; bars nest, and only the innermost draws.
Progress* g_current = nullptr;

std::string Clock(double seconds) {
  const auto whole = static_cast<long long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof(text), "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
  } else {
    std::snprintf(text, sizeof(text), "%lld:%02lld", whole / 60, whole % 60);
  }
  return text;
}

}  // namespace

Progress::Progress(std::string label, Int64 total, bool counted)
    : label_(std::move(label)),
      total_(std::max<Int64>(total, 1)),
      visible_(total > 1 && isatty(STDERR_FILENO) != 0),
      counted_(counted),
      start_(std::chrono::steady_clock::now()),
      outer_(g_current) {
  if (visible_) {
    if (outer_ != nullptr) {
      outer_->Clear();
    }
    g_current = this;
    Draw(true);
  }
}

Progress::~Progress() {
  if (visible_) {
    Clear();
    g_current = outer_;
  }
}

void Progress::Advance(Int64 steps) {
  done_ = std::min(total_, done_ + steps);
  Draw(done_ == total_);
}

std::string Progress::Line(const std::string& label, Int64 done, Int64 total, double elapsed, bool counts) {
  total = std::max<Int64>(total, 1);
  done = std::clamp<Int64>(done, 0, total);
  const Int64 filled = done * kBarWidth / total;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.resize(kBarWidth, '-');
  char head[64];
  std::snprintf(head, sizeof(head), " %3lld%% [", static_cast<long long>(done * 100 / total));
  std::string line = label + head + bar + "]";
  if (counts) {
    line += " " + std::to_string(done) + "/" + std::to_string(total);
  }
  line += "  " + Clock(elapsed) + " elapsed";
  // The rate so far is the best guess at the rate to come; nothing done yet says nothing.
  if (done > 0) {
    line += ", " + Clock(elapsed * static_cast<double>(total - done) / static_cast<double>(done)) + " left";
  }
  return line;
}

void Progress::Draw(bool force) {
  if (!visible_ || g_current != this) {
    return;
  }
  // At most a few redraws a second: a terminal is slower than a fast loop.
  const auto now = std::chrono::steady_clock::now();
  if (!force && drawn_ && now - lastDraw_ < std::chrono::milliseconds(100)) {
    return;
  }
  lastDraw_ = now;
  drawn_ = true;
  const std::string line =
      Line(label_, done_, total_, std::chrono::duration<double>(now - start_).count(), counted_);
  std::fprintf(stderr, "\r%s\033[K", line.c_str());
  std::fflush(stderr);
}

void Progress::Clear() {
  if (drawn_) {
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    drawn_ = false;
  }
}

void ClearProgressLine() {
  if (g_current != nullptr) {
    g_current->Clear();
  }
}

}  // namespace vantelle::app
