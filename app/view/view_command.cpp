#include "app/view/view_command.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>

#include "app/app_error.h"
#include "app/plot_command.h"
#include "app/render/picture.h"
#include "app/session.h"
#include "app/view/view_model.h"
#include "app/view/view_script.h"
#include "app/view/view_window.h"

namespace vantelle::app {

namespace {

bool IsSceneFile(const std::string& input) {
  const std::string extension = std::filesystem::path(input).extension().string();
  return extension == ".json" || extension == ".JSON";
}

}  // namespace

CLI::App* AddViewCommand(CLI::App& app, ViewOptions& options) {
  CLI::App* view = app.add_subcommand(
      "view", "Open an interactive view of a plot (FORMULA) or a saved scene (SCENE.json): drag its handles, edit it");
  view->add_option("INPUT", options.input, "A formula, or a scene file ending in .json (default: the default plot)");
  view->add_option("--script", options.script, "Replay the session of FILE (input events and checks) and close")
      ->type_name("FILE");
  view->add_option("--size", options.size, "Size of the window in pixels")->type_name("WxH")->capture_default_str();
  view->add_option("--plugins", options.pluginFolder, "Folder of the plug-in modules (default: plugins/ beside vantelle)")
      ->type_name("DIR");
  return view;
}

int RunView(const ViewOptions& options) {
  PictureOptions sizeOnly;
  sizeOnly.size = options.size;
  const PictureSettings size = ResolvePictureOptions(sizeOnly);
  if (size.width <= kPanelWidth + 64 || size.height <= kBarHeight + 64) {
    throw BadInput("--size " + options.size + ": too small for the view and its panel");
  }

  Session session;
  session.LoadModules(options.pluginFolder.empty() ? DefaultPluginFolder() : Filename(String(options.pluginFolder)));
  std::string title = "Vantelle";
  std::string sceneFile;
  if (!options.input.empty() && IsSceneFile(options.input)) {
    session.LoadDocument(Filename(String(options.input)));
    sceneFile = options.input;
    title += " - " + options.input;
  } else {
    PlotOptions plot;
    plot.formula = options.input;
    plot.hasFormula = !options.input.empty();
    SetUpPlot(session, plot);
  }
  ViewModel model(session);
  model.SetSceneFile(sceneFile);
  ViewWindow window(model, size.width, size.height, title);
  if (options.script.empty()) {
    window.Run();
    return kExitOk;
  }
  const int failures = RunViewScript(window, model, options.script);
  if (failures > 0) {
    std::cerr << "vantelle: " << options.script << ": " << failures << (failures == 1 ? " problem\n" : " problems\n");
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace vantelle::app
