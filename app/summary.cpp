#include "app/summary.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "app/components.h"
#include "app/terminal_text.h"
#include "host/core/text.h"
#include "host/scene/execution.h"

namespace vantelle::app {

namespace {

using Lines = std::vector<std::pair<std::string, std::string>>;

std::string Decimal(Float value, Int32 decimals) { return FloatToString(value, -1, -decimals).GetStd(); }

// JSON has no infinities; a bare null would read as "no value", so they go in as text.
nlohmann::ordered_json JsonNumber(Float value) {
  if (std::isfinite(value)) {
    return value;
  }
  return ReadableNumber(value);
}

// Why a plot is not complete, or nothing.
std::string Incompleteness(const PlotSummary& s) {
  std::vector<std::string> reasons;
  const Int64 side = static_cast<Int64>(s.resolution) + 1;
  if (s.resolution > 0 && s.samples != side * side) {
    reasons.push_back("the grid is not whole");
  }
  if (!s.formulaError.empty()) {
    reasons.push_back("the formula cannot be read");
  } else if (s.undefined > 0) {
    reasons.push_back(std::to_string(s.undefined) + " of " + std::to_string(s.samples) + " samples have no value");
  }
  if (s.outOfRange > 0) {
    reasons.push_back(std::to_string(s.outOfRange) + " samples lie beyond the range of numbers");
  }
  if (s.droppedPolygons > 0 || s.droppedLines > 0) {
    reasons.push_back("geometry left out of the file");
  }
  std::string text;
  for (const std::string& r : reasons) {
    text += (text.empty() ? "" : "; ") + r;
  }
  return text;
}

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

std::string Join(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) {
    text += (text.empty() ? "" : ", ") + item;
  }
  return text;
}

void AddPlotLines(const PlotSummary& s, Lines& lines) {
  lines.emplace_back("formula", s.formula);
  if (!s.formulaError.empty()) {
    lines.emplace_back("formula error", "column " + std::to_string(s.formulaColumn) + ": " + s.formulaError);
  }
  lines.emplace_back("resolution", std::to_string(s.resolution));
  lines.emplace_back("samples", Samples(s));
  lines.emplace_back("values", s.samples > 0 ? ReadableNumber(s.min) + " .. " + ReadableNumber(s.max) : "none");
  lines.emplace_back("uses time", s.usesTime ? "yes" : "no");
  const std::string why = Incompleteness(s);
  lines.emplace_back("complete", s.complete ? "yes" : (why.empty() ? "no" : "no (" + why + ")"));
  lines.emplace_back("components", s.components.empty() ? "none" : Join(s.components));
}

std::string Render(const Lines& lines) {
  std::size_t width = 0;
  for (const auto& line : lines) {
    width = std::max(width, line.first.size());
  }
  std::string text;
  for (const auto& [name, value] : lines) {
    text += name + std::string(width - name.size() + 2, ' ') + TerminalText(value) + "\n";
  }
  return text;
}

nlohmann::ordered_json PlotJson(const PlotSummary& s) {
  nlohmann::ordered_json json = {{"name", s.name},
                                 {"formula", s.formula},
                                 {"resolution", s.resolution},
                                 {"samples", s.samples},
                                 {"min", JsonNumber(s.min)},
                                 {"max", JsonNumber(s.max)},
                                 {"uses_time", s.usesTime},
                                 {"complete", s.complete},
                                 {"samples_without_value", s.undefined},
                                 {"samples_out_of_range", s.outOfRange},
                                 {"evaluation", s.evaluation},
                                 {"components", s.components}};
  if (!s.formulaError.empty()) {
    json["formula_error"] = {{"column", s.formulaColumn}, {"reason", s.formulaError}};
  }
  return json;
}

// The plot an object belongs to: itself or its nearest plot ancestor.
const BaseObject* PlotOf(const BaseObject* op, Int32 plotType) {
  while (op != nullptr && op->GetType() != plotType) {
    op = op->GetUp();
  }
  return op;
}

}  // namespace

std::string ReadableNumber(Float value) {
  if (!std::isfinite(value)) {
    return FloatToString(value).GetStd();
  }
  const Float magnitude = std::abs(value);
  if (magnitude != 0.0 && (magnitude >= 1e15 || magnitude < 1e-6)) {
    return FloatToString(value, -1, -6, true).GetStd();
  }
  return Decimal(value, 6);
}

std::vector<PlotSummary> SummarisePlots(const Session& session, const FramesOutcome& outcome) {
  std::vector<PlotSummary> plots;
  const ObjectKind plotKind = *FindObjectKind("plot");
  for (BaseObject* op : CollectObjects(session.GetDocument())) {
    if (op->GetType() != plotKind.type) {
      continue;
    }
    BaseContainer state;
    op->Message(MSG_HOST_QUERY_STATE, &state);
    PlotSummary s;
    s.name = op->GetName().GetStd();
    s.formula = session.GetParameterByName(op, "SURFO_FORMULA").GetString().GetStd();
    s.samples = state.GetInt64(STATE_SAMPLE_COUNT);
    s.resolution = state.GetInt32(STATE_RESOLUTION);
    s.min = state.GetFloat(STATE_MIN_VALUE);
    s.max = state.GetFloat(STATE_MAX_VALUE);
    if (const auto range = outcome.values.find(op); range != outcome.values.end()) {
      s.min = range->second.min;
      s.max = range->second.max;
    }
    s.usesTime = state.GetBool(STATE_USES_TIME);
    s.undefined = state.GetInt64(STATE_UNDEFINED_COUNT);
    s.outOfRange = state.GetInt64(STATE_NONFINITE_COUNT);
    s.evaluation = state.GetString(STATE_EVALUATION).GetStd();
    s.formulaError = state.GetString(STATE_FORMULA_ERROR).GetStd();
    s.formulaColumn = state.GetInt32(STATE_FORMULA_COLUMN);
    for (const DroppedGeometry& d : outcome.dropped) {
      if (PlotOf(d.object, plotKind.type) == op) {
        s.droppedPolygons += d.polygons;
        s.droppedLines += d.lines;
      }
    }
    s.complete = state.GetBool(STATE_COMPLETE) && s.undefined == 0 && s.outOfRange == 0 && s.formulaError.empty() &&
                 s.droppedPolygons == 0 && s.droppedLines == 0;
    for (const char* kind : {"mesh", "grid", "cage", "labels"}) {
      if (FindBelow(op, FindObjectKind(kind)->type) != nullptr) {
        s.components.emplace_back(kind);
      }
    }
    plots.push_back(std::move(s));
  }
  return plots;
}

std::string FormatSummaryText(const RunSummary& summary) {
  std::string text;
  for (std::size_t i = 0; i < summary.plots.size(); ++i) {
    Lines lines;
    if (summary.plots.size() > 1) {
      lines.emplace_back("plot", summary.plots[i].name);
    }
    AddPlotLines(summary.plots[i], lines);
    text += (i > 0 ? "\n" : "") + Render(lines);
  }
  if (summary.plots.empty()) {
    text += "no plot in the document\n";
  }
  Lines run;
  const FrameRange& f = summary.frames;
  run.emplace_back(f.isRange ? "frames" : "frame",
                   (f.isRange ? std::to_string(f.first) + ".." + std::to_string(f.last) + " (" +
                                    std::to_string(f.Count()) + ")"
                              : std::to_string(f.first)) +
                       " at " + std::to_string(summary.fps) + " fps");
  const FramesOutcome& o = summary.outcome;
  run.emplace_back("evaluation",
                   Decimal(o.seconds * 1000.0, 3) + " ms, " + std::to_string(o.evaluations) + " formula evaluations");
  for (const std::string& file : o.files) {
    run.emplace_back("wrote", file + (o.animated ? " (animated)" : ""));
  }
  if (!o.perFrameReason.empty()) {
    run.emplace_back("files", "one per frame: " + o.perFrameReason);
  }
  if (!o.dropped.empty()) {
    run.emplace_back("left out", DescribeDropped(o.dropped) + " (points beyond single precision)");
  }
  if (!summary.scene.empty()) {
    run.emplace_back(summary.sceneSaved ? "saved" : "scene", summary.scene);
  }
  return text + Render(run);
}

nlohmann::ordered_json SummaryToJson(const RunSummary& summary) {
  nlohmann::ordered_json json = summary.plots.empty() ? nlohmann::ordered_json::object() : PlotJson(summary.plots[0]);
  json.erase("name");
  const FrameRange& f = summary.frames;
  const FramesOutcome& o = summary.outcome;
  json["frame"] = f.last;
  json["frames"] = {{"first", f.first}, {"last", f.last}, {"count", f.Count()}};
  json["fps"] = summary.fps;
  json["evaluations"] = o.evaluations;
  json["undefined_samples"] = o.failures;
  json["evaluate_seconds"] = o.seconds;
  if (!o.files.empty()) {
    json["output"] = o.files.front();
    json["files"] = o.files;
    json["animated"] = o.animated;
  }
  if (!o.perFrameReason.empty()) {
    json["per_frame_reason"] = o.perFrameReason;
  }
  if (!o.dropped.empty()) {
    nlohmann::ordered_json dropped = nlohmann::ordered_json::array();
    for (const DroppedGeometry& d : o.dropped) {
      dropped.push_back({{"object", d.name}, {"polygons", d.polygons}, {"lines", d.lines}});
    }
    json["dropped"] = dropped;
  }
  if (!summary.scene.empty()) {
    json[summary.sceneSaved ? "saved" : "scene"] = summary.scene;
  }
  nlohmann::ordered_json plots = nlohmann::ordered_json::array();
  for (const PlotSummary& p : summary.plots) {
    plots.push_back(PlotJson(p));
  }
  json["plots"] = plots;
  return json;
}

}  // namespace vantelle::app
