// `vantelle plot`: one plot object, set up from the command line, evaluated once and
// summarised.
#pragma once

#include <string>
#include <vector>

#include "host/types.h"

namespace CLI {
class App;
}

namespace vantelle::app {

struct PlotOptions {
  std::string formula;
  bool hasFormula = false;  // an empty FORMULA is still a formula the user asked for
  std::vector<std::string> components;  // kinds to add, in order: mesh, grid, cage, labels
  std::vector<std::string> settings;    // [OBJECT.]NAME=VALUE, applied in order after the additions
  bool yes = false;                     // answer the module's questions Yes
  bool no = false;                      // answer them No
  Int32 frame = 0;
  Int32 fps = 30;
  bool json = false;
  std::string pluginFolder;  // empty: the default beside the executable
  std::string output;        // a .glb file to write the evaluated document to; empty: none
};

// Registers the subcommand on `app`, filling `options` when it is parsed.
CLI::App* AddPlotCommand(CLI::App& app, PlotOptions& options);

// Runs the command; the summary goes to stdout. Throws AppError.
int RunPlot(const PlotOptions& options);

}  // namespace vantelle::app
