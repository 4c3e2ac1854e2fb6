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
  bool complete = false;  // the whole grid, every sample with a value and a place, all of it written
  Int64 undefined = 0;    // samples whose formula text had no value
  Int64 outOfRange = 0;   // samples whose position left the range of numbers
  std::string evaluation;  // how the formula was evaluated: compiled, text or none
  Int32 formulaColumn = 0;
  std::string formulaError;   // why the formula cannot be read; empty when it can
  Int64 droppedPolygons = 0;  // of its objects, left out of the files written
  Int64 droppedLines = 0;
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

// Every plot object of the session's document, in tree order, with what the written files
// left out of each plot's objects and, where `outcome` has them, the extremes of its
// values over all the frames it evaluated.
std::vector<PlotSummary> SummarisePlots(const Session& session, const FramesOutcome& outcome = FramesOutcome());

// A number as people read it: decimals where they are few, exponent form for the very
// large and the very small, "inf" and "nan" for what is not finite.
std::string ReadableNumber(Float value);

// Aligned "name  value" lines; several plots each get their block.
std::string FormatSummaryText(const RunSummary& summary);
// One object. The first plot's facts stand at the top level (formula, samples, min, max,
// ...), every plot's under "plots"; numbers stay numbers.
nlohmann::ordered_json SummaryToJson(const RunSummary& summary);

}  // namespace vantelle::app
