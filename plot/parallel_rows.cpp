#include "plot/parallel_rows.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

namespace vantelle {

namespace {

// Below this many cells a thread costs more to start than it saves.
constexpr std::int64_t kMinCellsPerPart = 16384;

}  // namespace

std::int64_t MaxRowParts() {
  return std::max<std::int64_t>(1, static_cast<std::int64_t>(std::thread::hardware_concurrency()));
}

std::int64_t RunRowsInParallel(std::int64_t rows, std::int64_t cellsPerRow, std::int64_t maxParts,
                               const std::function<void(std::int64_t, std::int64_t, std::int64_t)>& work) {
  if (rows <= 0) {
    return 0;
  }
  const std::int64_t cells = rows * std::max<std::int64_t>(cellsPerRow, 1);
  const std::int64_t parts = std::clamp<std::int64_t>(cells / kMinCellsPerPart, 1, std::min(maxParts, rows));
  auto begin = [&](std::int64_t part) { return rows * part / parts; };
  std::vector<std::thread> threads;
  threads.reserve(static_cast<std::size_t>(parts - 1));
  std::int64_t started = 1;
  for (; started < parts; ++started) {
    try {
      threads.emplace_back(work, started, begin(started), begin(started + 1));
    } catch (const std::exception&) {
      break;  // no more threads to be had: this thread does the rest
    }
  }
  work(0, begin(0), begin(1));
  for (std::int64_t part = started; part < parts; ++part) {
    work(part, begin(part), begin(part + 1));
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  return parts;
}

}  // namespace vantelle
