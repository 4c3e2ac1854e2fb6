// `vantelle view`: the interactive view of a plot or a saved scene, optionally driven by a
// script instead of a user.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace vantelle::app {

struct ViewOptions {
  std::string input;   // a formula, or a scene file (.json); empty: the default plot
  std::string script;  // a session to replay; empty: the user drives
  std::string size = "1440x860";
  std::string pluginFolder;
};

CLI::App* AddViewCommand(CLI::App& app, ViewOptions& options);

// Opens the window and runs until it is closed (or the script ends). Throws AppError; a
// script whose checks fail gives kExitFailure.
int RunView(const ViewOptions& options);

}  // namespace vantelle::app
