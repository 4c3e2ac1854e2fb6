// `vantelle render SCENE` and `vantelle info SCENE`: working from a saved scene file.
#pragma once

#include <string>

#include "app/frames.h"

namespace CLI {
class App;
}

namespace vantelle::app {

struct RenderOptions {
  std::string scene;
  std::string output;
  FrameOptions frames;
  PictureOptions picture;
  std::string compress;  // --compress as given (see AddCompressOption); empty: none
  bool json = false;
  std::string pluginFolder;
};

struct InfoOptions {
  std::string scene;
  bool json = false;
  std::string pluginFolder;
};

CLI::App* AddRenderCommand(CLI::App& app, RenderOptions& options);
CLI::App* AddInfoCommand(CLI::App& app, InfoOptions& options);

// Load the scene, evaluate it at the chosen frames (default: the scene's own time), write
// the output, print a summary.
int RunRender(const RenderOptions& options);
// Load the scene, evaluate it once, print its objects with every parameter's value and
// each plot's value range.
int RunInfo(const InfoOptions& options);

}  // namespace vantelle::app
