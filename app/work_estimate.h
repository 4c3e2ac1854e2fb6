// What a command's work will cost in memory and file size, worked out from the document
// before anything is evaluated, so that work the machine cannot finish is refused at
// once instead of failing minutes later.
#pragma once

#include <cstdint>
#include <string>

#include "app/frames.h"
#include "app/session.h"

namespace vantelle::app {

struct WorkCost {
  std::uint64_t frameBytes = 0;   // memory while one frame is evaluated and exported
  std::uint64_t movingBytes = 0;  // added to an animated file by each frame, when the plots move
  std::uint64_t frameOverhead = 0;  // memory each frame of an animated file keeps until it is written
  std::string biggest;            // the plot that costs most, for messages: "resolution 2000 with solids"
};

// The cost of one frame of `session`'s document: the samples, meshes, solids, primitives
// and grid lines of every plot, as their parameters ask for them. A plot whose formula
// uses neither the time t nor the frame f does not move.
WorkCost EstimateFrameCost(const Session& session);

// The memory the work may use: what the system reports as available (MemAvailable in
// /proc/meminfo, and the control group's limit when it has one), or less when the
// environment variable VANTELLE_MEMORY_LIMIT gives a number of bytes (suffixes K, M, G
// allowed). 0 when nothing is known, which lets any work go ahead.
std::uint64_t AvailableMemory();

// Refuses, as BadInput with the figures, work that needs more than `available` bytes of
// memory or an animated file beyond what a .glb can hold. `animatedFile`: the frames go
// into one .glb file.
void CheckWorkFits(const WorkCost& cost, const FrameRange& frames, bool animatedFile, std::uint64_t available);

// "1.5 GB", "820 MB", "12 KB".
std::string DescribeBytes(std::uint64_t bytes);

}  // namespace vantelle::app
