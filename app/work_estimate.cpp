#include "app/work_estimate.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "app/app_error.h"
#include "app/components.h"
#include "app/gltf_model.h"
#include "host/scene/execution.h"

namespace vantelle::app {

namespace {

// Bytes per item at the peak of one frame (the host's objects, the glTF arrays, the
// model's buffer and the copy the writer makes), measured on plots of resolution 100 to
// 1000 and rounded up.
constexpr std::uint64_t kSampleBytes = 120;       // a sample
constexpr std::uint64_t kPointBytes = 100;        // an exported vertex of a polygon object
constexpr std::uint64_t kPolygonBytes = 120;      // a polygon, with its texture coordinates
constexpr std::uint64_t kPrimitiveBytes = 2000;   // one host primitive object and its node
constexpr std::uint64_t kLinePointBytes = 40;     // a point of a grid line, subdivided
constexpr std::uint64_t kBaseBytes = 64u << 20;   // the program, the modules and the fonts
// Points a grid line of n spans is exported with: its curve is subdivided.
constexpr std::uint64_t kLinePointsPerSpan = 5;
// What each frame adds to an animated file: an exported vertex that morphs (position,
// normal and colour), a line point (position).
constexpr std::uint64_t kMovingVertexBytes = 40;
constexpr std::uint64_t kMovingLinePointBytes = 12;
// What each frame of an animated file adds to memory per morphing accessor: its bounds
// and the file's description of it, until the file is written.
constexpr std::uint64_t kFrameAccessorBytes = 3000;

bool UsesTime(std::string_view formula) {
  for (std::size_t i = 0; i < formula.size(); ++i) {
    const auto c = static_cast<unsigned char>(formula[i]);
    if (!std::isalpha(c) && c != '_') {
      continue;
    }
    std::size_t end = i;
    while (end < formula.size() &&
           (std::isalnum(static_cast<unsigned char>(formula[end])) != 0 || formula[end] == '_')) {
      ++end;
    }
    const std::string_view word = formula.substr(i, end - i);
    if (word == "t" || word == "T" || word == "f" || word == "F") {
      return true;
    }
    i = end;
  }
  return false;
}

std::uint64_t ParseBytes(const char* text) {
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || !(value > 0)) {
    return 0;
  }
  double scale = 1;
  switch (std::toupper(static_cast<unsigned char>(*end))) {
    case 'K':
      scale = 1024.0;
      break;
    case 'M':
      scale = 1024.0 * 1024.0;
      break;
    case 'G':
      scale = 1024.0 * 1024.0 * 1024.0;
      break;
    default:
      break;
  }
  return static_cast<std::uint64_t>(value * scale);
}

// MemAvailable of /proc/meminfo, in bytes; 0 when unknown.
std::uint64_t MemAvailable() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::uint64_t kilobytes = 0;
  std::string unit;
  while (meminfo >> key >> kilobytes >> unit) {
    if (key == "MemAvailable:") {
      return kilobytes * 1024;
    }
  }
  return 0;
}

std::uint64_t GroupLimit() {
  std::ifstream limit("/sys/fs/cgroup/memory.max");
  std::uint64_t bytes = 0;
  return limit >> bytes ? bytes : 0;
}

std::uint64_t Smaller(std::uint64_t a, std::uint64_t b) {
  if (a == 0) {
    return b;
  }
  return b == 0 ? a : std::min(a, b);
}

}  // namespace

std::string DescribeBytes(std::uint64_t bytes) {
  const char* units[] = {"bytes", "KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes);
  std::size_t unit = 0;
  while (value >= 1000.0 && unit + 1 < std::size(units)) {
    value /= 1024.0;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof(text), unit == 0 ? "%.0f %s" : "%.1f %s", value, units[unit]);
  return text;
}

WorkCost EstimateFrameCost(const Session& session) {
  WorkCost cost;
  cost.frameBytes = kBaseBytes;
  BaseDocument* doc = session.GetDocument();
  if (doc == nullptr) {
    return cost;
  }
  const Int32 plotType = FindObjectKind("plot")->type;
  const Int32 meshType = FindObjectKind("mesh")->type;
  const Int32 gridType = FindObjectKind("grid")->type;
  std::uint64_t biggest = 0;
  std::uint64_t movingAccessors = 0;
  for (const BaseObject* op : CollectObjects(doc)) {
    if (op->GetType() == plotType) {
      const auto n = static_cast<std::uint64_t>(std::max<Int32>(1, session.GetParameterByName(op, "SURFO_RESOLUTION").GetInt32()));
      const std::uint64_t samples = (n + 1) * (n + 1);
      const bool moves = session.GetParameterByName(op, "SURFO_ANIMATE").GetBool() &&
                         UsesTime(session.GetParameterByName(op, "SURFO_FORMULA").GetString().GetStd());
      std::uint64_t bytes = samples * kSampleBytes;
      std::uint64_t moving = 0;
      std::string shape = "";
      for (const BaseObject* child = op->GetDown(); child != nullptr; child = child->GetNext()) {
        if (child->GetType() == meshType) {
          const Int32 mode = session.GetParameterByName(child, "SURFOMESH_MODE").GetInt32();
          std::uint64_t points = 0, polygons = 0;
          if (mode == 0) {
            points = samples;
            polygons = n * n;
          } else if (mode == 1) {
            shape = " with solids";
            switch (session.GetParameterByName(child, "SURFOMESH_SOLID").GetInt32()) {
              case 1:  // pyramid: 5 points, 5 faces; exported with a corner per face
                points = 16 * samples;
                polygons = 5 * samples;
                break;
              case 2:  // icosahedron
                points = 60 * samples;
                polygons = 20 * samples;
                break;
              default:  // cube
                points = 24 * samples;
                polygons = 6 * samples;
                break;
            }
          } else if (mode == 2) {
            shape = " with primitives";
            bytes += samples * kPrimitiveBytes;
            movingAccessors += samples;
          }
          bytes += points * kPointBytes + polygons * kPolygonBytes;
          moving += points * kMovingVertexBytes;
          movingAccessors += 3;
        } else if (child->GetType() == gridType) {
          const auto step = static_cast<std::uint64_t>(std::max<Int32>(1, session.GetParameterByName(child, "SURFOGRID_STEP").GetInt32()));
          const std::uint64_t lines = 2 * (n / step + 1);
          const std::uint64_t points = lines * (n * kLinePointsPerSpan + 1);
          bytes += points * kLinePointBytes;
          moving += points * kMovingLinePointBytes;
          movingAccessors += lines;
        }
      }
      cost.frameBytes += bytes;
      if (moves) {
        cost.movingBytes += moving;
        cost.frameOverhead += movingAccessors * kFrameAccessorBytes;
      }
      if (bytes > biggest) {
        biggest = bytes;
        cost.biggest = "resolution " + std::to_string(n) + shape;
      }
    }
  }
  return cost;
}

std::uint64_t AvailableMemory() {
  std::uint64_t bytes = Smaller(MemAvailable(), GroupLimit());
  if (const char* limit = std::getenv("VANTELLE_MEMORY_LIMIT"); limit != nullptr && *limit != '\0') {
    bytes = Smaller(bytes, ParseBytes(limit));
  }
  return bytes;
}

void CheckWorkFits(const WorkCost& cost, const FrameRange& frames, bool animatedFile, std::uint64_t available) {
  const auto count = static_cast<std::uint64_t>(frames.Count());
  std::uint64_t memory = cost.frameBytes;
  const std::string what = cost.biggest.empty() ? std::string("this plot") : "a plot at " + cost.biggest;
  const std::string frameText = frames.isRange ? std::to_string(count) + " frames of " : "";
  if (animatedFile && frames.isRange && cost.movingBytes > 0) {
    const std::uint64_t fileBytes = count * cost.movingBytes;
    if (fileBytes > kMaxGlbBin) {
      throw BadInput("an animated file of " + frameText + what + " would take about " + DescribeBytes(fileBytes) +
                     ", more than one .glb file can hold (4 GB): write fewer frames or a lower resolution, or "
                     "pictures (-o NAME.png)");
    }
    memory += count * cost.frameOverhead;
  }
  if (available != 0 && memory > available) {
    throw BadInput(frameText + what + " needs about " + DescribeBytes(memory) + " of memory, and " +
                   DescribeBytes(available) + " is available: lower the resolution" +
                   (frames.isRange ? std::string(" or the number of frames") : std::string()));
  }
}

}  // namespace vantelle::app
