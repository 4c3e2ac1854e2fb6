// Runs the rows of a grid on all cores with the standard library's threads.
#pragma once

#include <cstdint>
#include <functional>

namespace vantelle {

// Calls work(part, firstRow, endRow) for consecutive blocks of rows that together cover
// [0, rows) once each, the parts numbered 0.. in row order; returns the number of parts.
// The blocks run in parallel when there is enough work for more than one thread
// (`cellsPerRow` tells how much a row holds), otherwise in this thread. At most
// `maxParts` parts. `work` must not throw.
std::int64_t RunRowsInParallel(std::int64_t rows, std::int64_t cellsPerRow, std::int64_t maxParts,
                               const std::function<void(std::int64_t, std::int64_t, std::int64_t)>& work);

// The most parts RunRowsInParallel makes on this machine.
std::int64_t MaxRowParts();

}  // namespace vantelle
