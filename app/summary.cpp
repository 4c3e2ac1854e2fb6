#include "app/summary.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "host/text.h"

namespace vantelle::app {

namespace {

std::string Decimal(Float value, Int32 decimals) { return FloatToString(value, -1, -decimals).GetStd(); }

std::string Samples(const PlotSummary& s) {
  std::string text = std::to_string(s.samples);
  // Shows the grid only when the count is the square grid the resolution implies, so an
  // unexpected count is not dressed up as one.
  const Int64 side = static_cast<Int64>(s.resolution) + 1;
  if (s.resolution > 0 && s.samples == side * side) {
    text += " (" + std::to_string(side) + " x " + std::to_string(side) + ")";
  }
  return text;
}

}  // namespace

std::string FormatSummaryText(const PlotSummary& s) {
  const std::vector<std::pair<std::string, std::string>> lines = {
      {"formula", s.formula},
      {"resolution", std::to_string(s.resolution)},
      {"samples", Samples(s)},
      {"values", s.samples > 0 ? Decimal(s.min, 6) + " .. " + Decimal(s.max, 6) : "none"},
      {"uses time", s.usesTime ? "yes" : "no"},
      {"complete", s.complete ? "yes" : "no"},
      {"frame", std::to_string(s.frame) + " at " + std::to_string(s.fps) + " fps"},
      {"evaluation", Decimal(s.evaluateSeconds * 1000.0, 3) + " ms"},
  };
  std::size_t width = 0;
  for (const auto& line : lines) {
    width = std::max(width, line.first.size());
  }
  std::string text;
  for (const auto& [name, value] : lines) {
    text += name + std::string(width - name.size() + 2, ' ') + value + "\n";
  }
  if (!s.output.empty()) {
    text += "wrote " + s.output + "\n";
  }
  return text;
}

nlohmann::ordered_json SummaryToJson(const PlotSummary& s) {
  nlohmann::ordered_json json{
      {"formula", s.formula},
      {"resolution", s.resolution},
      {"samples", s.samples},
      {"min", s.min},
      {"max", s.max},
      {"uses_time", s.usesTime},
      {"complete", s.complete},
      {"frame", s.frame},
      {"fps", s.fps},
      {"undefined_samples", s.undefinedSamples},
      {"evaluate_seconds", s.evaluateSeconds},
  };
  if (!s.output.empty()) {
    json["output"] = s.output;
  }
  return json;
}

}  // namespace vantelle::app
