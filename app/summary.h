// What a run produced, as people read it (one screen) and as scripts read it (JSON).
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/frames.h"
#include "app/session.h"
#include "host/core/types.h"

namespace vantelle::app {

// One plot object of the document, as its last evaluation left it.
struct PlotSummary {
  std::string name;
  std::string formula;
  Int64 samples = 0;
  Int32 resolution = 0;
  Float min = 0.0;
  Float max = 0.0;
  bool usesTime = false;
  bool complete = false;
  std::vector<std::string> components;  // kinds found below it: mesh, grid, ...
};

struct RunSummary {
  std::vector<PlotSummary> plots;
  FrameRange frames;
  Int32 fps = 0;
  FramesOutcome outcome;
  std::string scene;  // the scene file read or saved, if any
  bool sceneSaved = false;
};

// Every plot object of the session's document, in tree order.
std::vector<PlotSummary> SummarisePlots(const Session& session);

// Aligned "name  value" lines; several plots each get their block.
std::string FormatSummaryText(const RunSummary& summary);
// One object. The first plot's facts stand at the top level (formula, samples, min, max,
// ...), every plot's under "plots"; numbers stay numbers.
nlohmann::ordered_json SummaryToJson(const RunSummary& summary);

}  // namespace vantelle::app
