#include "app/summary.h"

#include <algorithm>
#include <utility>

#include "app/components.h"
#include "app/terminal_text.h"
#include "host/core/text.h"
#include "host/scene/execution.h"

namespace vantelle::app {

namespace {

using Lines = std::vector<std::pair<std::string, std::string>>;

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

std::string Join(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) {
    text += (text.empty() ? "" : ", ") + item;
  }
  return text;
}

void AddPlotLines(const PlotSummary& s, Lines& lines) {
  lines.emplace_back("formula", s.formula);
  lines.emplace_back("resolution", std::to_string(s.resolution));
  lines.emplace_back("samples", Samples(s));
  lines.emplace_back("values", s.samples > 0 ? Decimal(s.min, 6) + " .. " + Decimal(s.max, 6) : "none");
  lines.emplace_back("uses time", s.usesTime ? "yes" : "no");
  lines.emplace_back("complete", s.complete ? "yes" : "no");
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
  return {{"name", s.name},         {"formula", s.formula},   {"resolution", s.resolution},
          {"samples", s.samples},   {"min", s.min},           {"max", s.max},
          {"uses_time", s.usesTime}, {"complete", s.complete}, {"components", s.components}};
}

}  // namespace

std::vector<PlotSummary> SummarisePlots(const Session& session) {
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
    s.usesTime = state.GetBool(STATE_USES_TIME);
    s.complete = state.GetBool(STATE_COMPLETE);
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
