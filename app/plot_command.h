// `vantelle plot`: the main job in one command. One plot object with its components, set
// up from the command line, evaluated at a frame or over frames, written as glTF and
// summarised.
#pragma once

#include <string>
#include <vector>

#include "app/frames.h"
#include "host/core/types.h"

namespace CLI {
class App;
}

namespace vantelle::app {

struct PlotOptions {
  std::string formula;
  bool hasFormula = false;  // an empty FORMULA is still a formula the user asked for
  Int32 preset = 0;
  bool hasPreset = false;
  std::vector<std::string> components;  // kinds to add, in order; none given: mesh, grid, cage, labels
  std::vector<std::string> settings;    // [OBJECT.]NAME=VALUE, applied in order after the additions
  bool yes = false;                     // answer the module's questions Yes
  bool no = false;                      // answer them No
  FrameOptions frames;
  PictureOptions picture;
  Int32 fps = 30;
  bool json = false;
  std::string pluginFolder;  // empty: the default beside the executable
  std::string output;        // a .glb or .png file to write; empty: none
  std::string save;          // a scene file to save the set-up plot to; empty: none
  std::string compress;      // --compress as given (see AddCompressOption); empty: none
};

// Registers the subcommand on `app`, filling `options` when it is parsed.
CLI::App* AddPlotCommand(CLI::App& app, PlotOptions& options);

class Session;
// A new document in `session` (its modules loaded) holding the plot the options describe:
// its formula or preset, its components and settings. Returns the plot object. BadInput
// for a setting or component that does not apply.
BaseObject* SetUpPlot(Session& session, const PlotOptions& options);

// Runs the command; the summary goes to stdout. Throws AppError.
int RunPlot(const PlotOptions& options);

}  // namespace vantelle::app
