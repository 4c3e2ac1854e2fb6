#include "app/plot_command.h"

#include <iostream>
#include <string_view>

#include <CLI/CLI.hpp>

#include "app/answers.h"
#include "app/app_error.h"
#include "app/components.h"
#include "app/gltf_export.h"
#include "app/session.h"
#include "app/summary.h"
#include "host/execution.h"
#include "host/hierarchy.h"

namespace vantelle::app {

namespace {

// The plot object type; the only thing the app knows about the module ahead of time.
constexpr Int32 kPlotType = 1055349;
constexpr std::string_view kPlotTypeName = "Osurfo";
constexpr std::string_view kFormulaParameter = "SURFO_FORMULA";

// Marks the evaluation as one for a file, so generators build their full render quality,
// and clears the mark however the evaluation ends.
class ExternalRendering {
public:
  explicit ExternalRendering(bool active) : active_(active) {
    if (active_) {
      SetRunning(CHECKISRUNNING::EXTERNALRENDERING, true);
    }
  }
  ~ExternalRendering() {
    if (active_) {
      SetRunning(CHECKISRUNNING::EXTERNALRENDERING, false);
    }
  }
  ExternalRendering(const ExternalRendering&) = delete;
  ExternalRendering& operator=(const ExternalRendering&) = delete;

private:
  bool active_;
};

struct Setting {
  ObjectKind object;  // whose parameter: the plot unless prefixed ("mesh.")
  std::string name;
  std::string value;
};

// Checked before any module loads, so a typo fails fast and the same way everywhere.
std::vector<Setting> SplitSettings(const std::vector<std::string>& settings) {
  std::vector<Setting> out;
  for (const std::string& s : settings) {
    const std::size_t eq = s.find('=');
    if (eq == std::string::npos || eq == 0) {
      throw BadInput("--set " + s + ": expected [OBJECT.]NAME=VALUE");
    }
    std::string name = s.substr(0, eq);
    ObjectKind object = *FindObjectKind("plot");
    if (const std::size_t dot = name.find('.'); dot != std::string::npos) {
      const std::optional<ObjectKind> kind = FindObjectKind(name.substr(0, dot));
      if (!kind) {
        throw BadInput("--set " + s + ": unknown object " + name.substr(0, dot) + " (plot, " + ComponentKindNames() +
                       ")");
      }
      object = *kind;
      name = name.substr(dot + 1);
    }
    out.push_back({object, name, s.substr(eq + 1)});
  }
  return out;
}

std::vector<ObjectKind> ParseComponents(const std::vector<std::string>& names) {
  std::vector<ObjectKind> kinds;
  for (const std::string& name : names) {
    const std::optional<ObjectKind> kind = FindObjectKind(name);
    if (!kind || kind->addIndex < 0) {
      throw BadInput("--add " + name + ": not a component (" + ComponentKindNames() + ")");
    }
    kinds.push_back(*kind);
  }
  return kinds;
}

// The object a setting is for: the plot, or the first component of its kind below it.
BaseObject* TargetOf(const Setting& setting, BaseObject* plot) {
  if (setting.object.addIndex < 0) {
    return plot;
  }
  BaseObject* component = FindBelow(plot, setting.object.type);
  if (component == nullptr) {
    throw BadInput("--set " + std::string(setting.object.name) + "." + setting.name + ": the plot has no " +
                   std::string(setting.object.name) + " (add one with --add " + std::string(setting.object.name) +
                   ")");
  }
  return component;
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
  plot->add_option("--add", options.components, "Add a component below the plot: mesh, grid, cage or labels")
      ->type_name("KIND")
      ->allow_extra_args(false);
  plot->add_option("--set", options.settings,
                   "Set a parameter, e.g. SURFO_RESOLUTION=100, or a component's: mesh.SURFOMESH_MODE=solids")
      ->type_name("[OBJECT.]NAME=VALUE")
      ->allow_extra_args(false);
  CLI::Option* yes = plot->add_flag("--yes", options.yes, "Answer Yes to the module's questions");
  plot->add_flag("--no", options.no, "Answer No to the module's questions (the default in scripts)")->excludes(yes);
  plot->add_option("--frame", options.frame, "Evaluate at this frame (may be negative)")->type_name("F");
  plot->add_option("--fps", options.fps, "Frames per second of the document")
      ->type_name("N")
      ->check(CLI::Range(1, 1000))
      ->capture_default_str();
  plot->add_flag("--json", options.json, "Print the summary as one JSON object");
  plot->add_option("--plugins", options.pluginFolder, "Folder of the plug-in modules (default: plugins/ beside vantelle)")
      ->type_name("DIR");
  plot->add_option("-o,--output", options.output, "Also write the evaluated plot to FILE as binary glTF (.glb)")
      ->type_name("FILE");
  return plot;
}

int RunPlot(const PlotOptions& options) {
  const std::vector<ObjectKind> components = ParseComponents(options.components);
  const std::vector<Setting> settings = SplitSettings(options.settings);
  const DialogAnswers answers(options.yes ? AnswerPolicy::YES : (options.no ? AnswerPolicy::NO : AnswerPolicy::ASK));

  Session session;
  session.LoadModules(options.pluginFolder.empty() ? DefaultPluginFolder() : Filename(String(options.pluginFolder)));
  session.NewDocument(options.fps);
  BaseObject* op = session.AddObject(kPlotType, kPlotTypeName);
  if (options.hasFormula) {
    session.SetParameterText(op, kFormulaParameter, options.formula);
  }
  // Components come through the plot's own command, so the module decides (and asks).
  for (const ObjectKind& kind : components) {
    session.SetParameterText(op, "SURFO_ADDCOMPONENT", std::to_string(kind.addIndex));
  }
  for (const Setting& s : settings) {
    session.SetParameterText(TargetOf(s, op), s.name, s.value);
  }
  session.SetFrame(options.frame);

  const bool writesFile = !options.output.empty();
  Session::EvaluationCost cost;
  {
    const ExternalRendering rendering(writesFile);
    cost = session.Evaluate();
  }
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
  if (writesFile) {
    WriteGlb(session.GetDocument(), Filename(String(options.output)));
    summary.output = options.output;
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
