// What a plot evaluation produced, as people read it and as scripts read it.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "host/types.h"

namespace vantelle::app {

struct PlotSummary {
  std::string formula;
  Int64 samples = 0;
  Int32 resolution = 0;
  Float min = 0.0;
  Float max = 0.0;
  bool usesTime = false;
  bool complete = false;
  Int32 frame = 0;
  Int32 fps = 0;
  double evaluateSeconds = 0.0;
  Int64 undefinedSamples = 0;  // samples where the formula had no value
  std::string output;          // the file written, if any
};

// Aligned "name  value" lines, one per fact, then "wrote FILE" when a file was written;
// ends in a newline.
std::string FormatSummaryText(const PlotSummary& summary);
// One flat object in the order of the text form; numbers stay numbers so scripts need
// not parse text.
nlohmann::ordered_json SummaryToJson(const PlotSummary& summary);

}  // namespace vantelle::app
