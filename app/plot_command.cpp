#include "app/plot_command.h"

#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>

#include "app/answers.h"
#include "app/app_error.h"
#include "app/components.h"
#include "app/output_files.h"
#include "app/session.h"
#include "app/summary.h"
#include "app/terminal_text.h"
#include "host/scene/registry.h"

namespace vantelle::app {

namespace {

constexpr std::string_view kFormulaParameter = "SURFO_FORMULA";
constexpr std::string_view kPresetParameter = "SURFO_PRESET";

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

// The kinds to add; without any named, the whole annotated plot: surface, grid, cage and
// labels.
std::vector<ObjectKind> ParseComponents(const std::vector<std::string>& names) {
  if (names.empty()) {
    return {*FindObjectKind("mesh"), *FindObjectKind("grid"), *FindObjectKind("cage"), *FindObjectKind("labels")};
  }
  std::vector<ObjectKind> kinds;
  for (const std::string& name : names) {
    if (name == "none") {
      continue;
    }
    const std::optional<ObjectKind> kind = FindObjectKind(name);
    if (!kind || kind->addIndex < 0) {
      throw BadInput("--add " + name + ": not a component (" + ComponentKindNames() + ", or none)");
    }
    kinds.push_back(*kind);
  }
  return kinds;
}

// What the command line says twice or by a slip, refused before any work: the plot's
// formula can come from one place only, and a kind after --add is no formula.
void CheckFormulaSources(const PlotOptions& options, const std::vector<Setting>& settings) {
  if (options.hasFormula && !options.components.empty() && FindObjectKind(options.formula)) {
    throw BadInput("--add takes one kind at a time, so \"" + options.formula +
                   "\" would be the formula; write --add " + options.components.back() + " --add " +
                   options.formula);
  }
  for (const Setting& s : settings) {
    if (s.object.addIndex >= 0 || (s.name != kFormulaParameter && s.name != kPresetParameter)) {
      continue;
    }
    if (options.hasFormula) {
      throw BadInput("--set " + s.name + " would replace the formula \"" + options.formula +
                     "\" given before it; give the formula once");
    }
    if (options.hasPreset) {
      throw BadInput("--set " + s.name + " would replace --preset " + std::to_string(options.preset) +
                     "; give the formula once");
    }
  }
}

// CLI11's own message for a bad number names no range and no meaning.
CLI::Validator PresetNumber() {
  return CLI::Validator(
      [](const std::string& text) {
        std::size_t used = 0;
        int value = -1;
        try {
          value = std::stoi(text, &used);
        } catch (const std::exception&) {
          used = 0;
        }
        if (used == text.size() && value >= 0 && value <= 10) {
          return std::string();
        }
        return "\"" + text +
               "\" is not a preset: presets are the eleven built-in formulas, numbered 0 to 10 (vantelle params "
               "plot lists them under SURFO_PRESET)";
      },
      "N", "PRESET");
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

}  // namespace

CLI::App* AddPlotCommand(CLI::App& app, PlotOptions& options) {
  CLI::App* plot = app.add_subcommand("plot", "Plot y = f(x, z): set up, evaluate, write glTF or a picture, summarise");
  CLI::Option* formula =
      plot->add_option("FORMULA", options.formula, "The formula, e.g. \"Sin(x) * Cos(z)\" (default: the object's)")
          ->each([&options](const std::string&) { options.hasFormula = true; });
  plot->add_option("--preset", options.preset, "Start from one of the eleven preset formulas, 0 to 10")
      ->type_name("N")
      ->check(PresetNumber())
      ->each([&options](const std::string&) { options.hasPreset = true; })
      ->excludes(formula);
  plot->add_option("--add", options.components,
                   "Add one component below the plot: mesh, grid, cage or labels; repeat for more (--add mesh "
                   "--add grid). Default: a mesh with the plot's colours, a grid, a cage and labels; none for none")
      ->type_name("KIND")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  plot->add_option("--set", options.settings,
                   "Set a parameter, e.g. SURFO_RESOLUTION=100, or a component's: mesh.SURFOMESH_MODE=solids")
      ->type_name("[OBJECT.]NAME=VALUE")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  AddFrameOptions(*plot, options.frames);
  plot->add_option("--fps", options.fps, "Frames per second of the document")
      ->type_name("N")
      ->check(CLI::Range(1, 1000))
      ->capture_default_str();
  plot->add_option("-o,--output", options.output,
                   "Write the plot to FILE as binary glTF (.glb), with --frames an animated file; or as a picture "
                   "of the viewport (.png), with --frames one per frame (FILE_0000.png, ...)")
      ->type_name("FILE")
      ->check(NotEmpty());
  AddPictureOptions(*plot, options.picture);
  AddCompressOption(*plot, options.compress);
  plot->add_option("--save", options.save, "Save the plot as a scene file that 'vantelle render' reads")
      ->type_name("SCENE")
      ->check(NotEmpty());
  plot->add_flag("--json", options.json, "Print the summary as one JSON object");
  CLI::Option* yes = plot->add_flag("--yes", options.yes, "Answer Yes to the module's questions");
  plot->add_flag("--no", options.no, "Answer No to the module's questions (the default in scripts)")->excludes(yes);
  plot->add_option("--plugins", options.pluginFolder, "Folder of the plug-in modules (default: plugins/ beside vantelle)")
      ->type_name("DIR");
  return plot;
}

BaseObject* SetUpPlot(Session& session, const PlotOptions& options) {
  const std::vector<ObjectKind> components = ParseComponents(options.components);
  const std::vector<Setting> settings = SplitSettings(options.settings);
  session.NewDocument(options.fps);
  const ObjectKind plotKind = *FindObjectKind("plot");
  BaseObject* op = session.AddObject(plotKind.type, plotKind.typeName);
  if (options.hasPreset) {
    session.SetParameterText(op, "SURFO_PRESET", std::to_string(options.preset));
  }
  if (options.hasFormula) {
    session.SetParameterText(op, kFormulaParameter, options.formula);
  }
  // Components come through the plot's own command, so the module decides (and asks).
  for (const ObjectKind& kind : components) {
    if (FindObjectPlugin(kind.type) == nullptr) {
      throw BadInput("--add " + std::string(kind.name) + ": the loaded modules offer no " + std::string(kind.name) +
                     " component");
    }
    session.SetParameterText(op, "SURFO_ADDCOMPONENT", std::to_string(kind.addIndex));
  }
  // The whole plot the app sets up by itself shows the plot's colours on its surface.
  if (options.components.empty()) {
    if (BaseObject* mesh = FindBelow(op, FindObjectKind("mesh")->type)) {
      session.SetParameterText(mesh, "SURFOMESH_VERTEXCOLORS", "true");
    }
  }
  for (const Setting& s : settings) {
    session.SetParameterText(TargetOf(s, op), s.name, s.value);
  }
  return op;
}

int RunPlot(const PlotOptions& options) {
  CheckOutputFiles({{"--save", options.save}, {"-o", options.output}}, {});
  // Checked before any module loads, so a typo fails fast.
  const std::vector<ObjectKind> components = ParseComponents(options.components);
  CheckFormulaSources(options, SplitSettings(options.settings));
  const FrameRange frames = ResolveFrames(options.frames, 0);
  const PictureSettings picture = ResolvePictureOptions(options.picture);
  const GlbCompression compression = ResolveCompression(options.compress, options.output);
  const DialogAnswers answers(options.yes ? AnswerPolicy::YES : (options.no ? AnswerPolicy::NO : AnswerPolicy::ASK));

  if (components.empty() && !options.components.empty() && !options.output.empty() && !IsPictureFile(options.output)) {
    std::cerr << "vantelle: warning: --add none: " << TerminalText(options.output)
              << " will hold no geometry, only the bare plot's node (a picture shows its samples; --add mesh "
                 "gives its surface)\n";
  }

  Session session;
  session.LoadModules(options.pluginFolder.empty() ? DefaultPluginFolder() : Filename(String(options.pluginFolder)));
  SetUpPlot(session, options);

  RunSummary summary;
  summary.frames = frames;
  summary.fps = options.fps;
  summary.outcome = EvaluateFrames(session, frames, options.output, picture, FormulaFaults::kRefuse, compression);
  summary.plots = SummarisePlots(session, summary.outcome);
  if (!options.save.empty()) {
    session.SaveDocument(Filename(String(options.save)));
    summary.scene = options.save;
    summary.sceneSaved = true;
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
