#include "app/plot_command.h"

#include <iostream>
#include <string_view>

#include <CLI/CLI.hpp>

#include "app/app_error.h"
#include "app/session.h"
#include "app/summary.h"
#include "host/hierarchy.h"

namespace vantelle::app {

namespace {

// The plot object type; the only thing the app knows about the module ahead of time.
constexpr Int32 kPlotType = 1055349;
constexpr std::string_view kPlotTypeName = "Osurfo";
constexpr std::string_view kFormulaParameter = "SURFO_FORMULA";

struct Setting {
  std::string name;
  std::string value;
};

// Checked before any module loads, so a typo fails fast and the same way everywhere.
std::vector<Setting> SplitSettings(const std::vector<std::string>& settings) {
  std::vector<Setting> out;
  for (const std::string& s : settings) {
    const std::size_t eq = s.find('=');
    if (eq == std::string::npos || eq == 0) {
      throw BadInput("--set " + s + ": expected NAME=VALUE");
    }
    out.push_back({s.substr(0, eq), s.substr(eq + 1)});
  }
  return out;
}

PlotSummary ReadSummary(const Session& session, BaseObject* op, const PlotOptions& options) {
  BaseContainer state;
  op->Message(MSG_HOST_QUERY_STATE, &state);
  if (state.GetDataPointer(STATE_SAMPLE_COUNT) == nullptr) {
    throw Failure("the " + std::string(kPlotTypeName) + " object reported no plot state");
  }
  PlotSummary s;
  s.formula = session.GetParameterByName(op, kFormulaParameter).GetString().GetStd();
  s.samples = state.GetInt64(STATE_SAMPLE_COUNT);
  s.resolution = state.GetInt32(STATE_RESOLUTION);
  s.min = state.GetFloat(STATE_MIN_VALUE);
  s.max = state.GetFloat(STATE_MAX_VALUE);
  s.usesTime = state.GetBool(STATE_USES_TIME);
  s.complete = state.GetBool(STATE_COMPLETE);
  s.frame = options.frame;
  s.fps = options.fps;
  return s;
}

}  // namespace

CLI::App* AddPlotCommand(CLI::App& app, PlotOptions& options) {
  CLI::App* plot = app.add_subcommand("plot", "Evaluate one plot of y = f(x, z) and print a summary");
  plot->add_option("FORMULA", options.formula, "The formula, e.g. \"Sin(x) * Cos(z)\" (default: the object's)")
      ->each([&options](const std::string&) { options.hasFormula = true; });
  plot->add_option("--set", options.settings, "Set a parameter of the plot object, e.g. SURFO_RESOLUTION=100")
      ->type_name("NAME=VALUE")
      ->allow_extra_args(false);
  plot->add_option("--frame", options.frame, "Evaluate at this frame (may be negative)")->type_name("F");
  plot->add_option("--fps", options.fps, "Frames per second of the document")
      ->type_name("N")
      ->check(CLI::Range(1, 1000))
      ->capture_default_str();
  plot->add_flag("--json", options.json, "Print the summary as one JSON object");
  plot->add_option("--plugins", options.pluginFolder, "Folder of the plug-in modules (default: plugins/ beside vantelle)")
      ->type_name("DIR");
  return plot;
}

int RunPlot(const PlotOptions& options) {
  const std::vector<Setting> settings = SplitSettings(options.settings);

  Session session;
  session.LoadModules(options.pluginFolder.empty() ? DefaultPluginFolder() : Filename(String(options.pluginFolder)));
  session.NewDocument(options.fps);
  BaseObject* op = session.AddObject(kPlotType, kPlotTypeName);
  if (options.hasFormula) {
    session.SetParameterText(op, kFormulaParameter, options.formula);
  }
  for (const Setting& s : settings) {
    session.SetParameterText(op, s.name, s.value);
  }
  session.SetFrame(options.frame);

  const Session::EvaluationCost cost = session.Evaluate();
  PlotSummary summary = ReadSummary(session, op, options);
  summary.evaluateSeconds = cost.seconds;
  summary.undefinedSamples = cost.failures;
  // A formula without a value anywhere (a typo, "1/0") would quietly plot a flat sheet.
  if (cost.evaluations > 0 && cost.failures == cost.evaluations) {
    throw BadInput("the formula \"" + summary.formula + "\" has no value at any sample (check its syntax)");
  }
  if (cost.failures > 0) {
    std::cerr << "vantelle: warning: the formula has no value at " << cost.failures << " of " << cost.evaluations
              << " samples; they are plotted at 0\n";
  }

  if (options.json) {
    std::cout << SummaryToJson(summary).dump(2) << '\n';
  } else {
    std::cout << FormatSummaryText(summary);
  }
  std::cout.flush();
  return kExitOk;
}

}  // namespace vantelle::app
