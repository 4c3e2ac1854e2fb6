// `vantelle params [TYPE]`: every parameter of the loaded modules' object types, as their
// description resources give them.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace vantelle::app {

struct ParamsOptions {
  std::string type;  // a kind (plot, mesh, ...) or a type name (Osurfo); empty: every type
  bool json = false;
  std::string pluginFolder;
};

CLI::App* AddParamsCommand(CLI::App& app, ParamsOptions& options);
int RunParams(const ParamsOptions& options);

}  // namespace vantelle::app
