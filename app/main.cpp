// vantelle: the command-line host of the Vantelle plug-in.
//
// Exit codes: 0 success, 1 failure while working, 2 bad usage or input. Every error goes
// to stderr as "vantelle: ..."; stdout carries only results, so scripts can parse it.
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/app_error.h"
#include "app/command_line.h"
#include "app/params_command.h"
#include "app/plot_command.h"
#include "app/scene_commands.h"
#include "app/terminal_text.h"
#ifdef VANTELLE_WITH_VIEW
#include "app/view/view_command.h"
#endif
#include "host/files/file_replacement.h"

namespace {

using vantelle::app::AppError;

void PrintError(const std::string& message) {
  // Several lines (one per failed module) each get the prefix, so each reads alone.
  // Messages quote names from files and the command line: none may reach the terminal
  // as a control sequence.
  std::size_t start = 0;
  while (start <= message.size()) {
    const std::size_t end = message.find('\n', start);
    std::cerr << "vantelle: " << vantelle::app::TerminalText(message.substr(start, end - start)) << '\n';
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
}

// What CLI11 says about a word it does not know helps little when the word was meant as
// a command or as a formula that happens to begin with a minus.
std::string ParseErrorHint(const CLI::App& app, int argc, char** argv) {
  const std::vector<const CLI::App*> commands = app.get_subcommands({});
  std::string names;
  const CLI::App* chosen = nullptr;
  for (const CLI::App* command : commands) {
    names += (names.empty() ? "" : ", ") + command->get_name();
    if (argc > 1 && command->check_name(argv[1])) {
      chosen = command;
    }
  }
  if (argc > 1 && chosen == nullptr && argv[1][0] != '-') {
    return "unknown command \"" + std::string(argv[1]) + "\"; the commands are " + names;
  }
  if (chosen == nullptr) {
    return {};
  }
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") {
      break;
    }
    // A long option ("--bogus") is a misspelt option, not a formula.
    if (arg.size() < 2 || arg[0] != '-' || arg[1] == '-') {
      continue;
    }
    const std::string name = arg.substr(0, arg.find('='));
    if (chosen->get_option_no_throw(name) == nullptr && chosen->get_option_no_throw(name.substr(0, 2)) == nullptr) {
      return "a formula that begins with '-' goes after --, which ends the options: vantelle " + chosen->get_name() +
             " [OPTIONS] -- \"" + arg + "\"";
    }
  }
  return {};
}

int Run(int argc, char** argv) {
  CLI::App app{"Plots y = f(x, z) through the Vantelle plug-in module.", "vantelle"};
  app.set_version_flag("--version", std::string("vantelle ") + VANTELLE_VERSION);
  app.require_subcommand(1);

  vantelle::app::PlotOptions plotOptions;
  CLI::App* plot = vantelle::app::AddPlotCommand(app, plotOptions);
  vantelle::app::RenderOptions renderOptions;
  CLI::App* render = vantelle::app::AddRenderCommand(app, renderOptions);
  vantelle::app::InfoOptions infoOptions;
  CLI::App* info = vantelle::app::AddInfoCommand(app, infoOptions);
  vantelle::app::ParamsOptions paramsOptions;
  CLI::App* params = vantelle::app::AddParamsCommand(app, paramsOptions);
#ifdef VANTELLE_WITH_VIEW
  vantelle::app::ViewOptions viewOptions;
  CLI::App* view = vantelle::app::AddViewCommand(app, viewOptions);
#endif

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and version are "errors" with code 0 that CLI11 prints itself.
    if (e.get_exit_code() == 0) {
      return app.exit(e);
    }
    const std::string hint = ParseErrorHint(app, argc, argv);
    // An unknown command is all there is to say; CLI11 would only ask for a command.
    if (hint.rfind("unknown command", 0) == 0) {
      PrintError(hint);
    } else {
      PrintError(hint.empty() ? std::string(e.what()) : std::string(e.what()) + "\n" + hint);
    }
    std::cerr << "Run with --help for more information.\n";
    return vantelle::app::kExitBadInput;
  }

  if (plot->parsed()) {
    return vantelle::app::RunPlot(plotOptions);
  }
  if (render->parsed()) {
    return vantelle::app::RunRender(renderOptions);
  }
  if (info->parsed()) {
    return vantelle::app::RunInfo(infoOptions);
  }
  if (params->parsed()) {
    return vantelle::app::RunParams(paramsOptions);
  }
#ifdef VANTELLE_WITH_VIEW
  if (view->parsed()) {
    return vantelle::app::RunView(viewOptions);
  }
#endif
  PrintError("no command given");
  return vantelle::app::kExitBadInput;
}

}  // namespace

int main(int argc, char** argv) {
  // An interrupted write leaves no temporary file behind.
  RemoveTemporaryFilesOnSignal();
  vantelle::app::UseUtf8Console();
  try {
    std::vector<std::string> arguments = vantelle::app::Utf8Arguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments) {
      pointers.push_back(argument.data());
    }
    return Run(static_cast<int>(pointers.size()), pointers.data());
  } catch (const AppError& e) {
    PrintError(e.what());
    return e.GetExitCode();
  } catch (const std::bad_alloc&) {
    PrintError("out of memory while working; a smaller resolution or fewer frames need less");
    return vantelle::app::kExitFailure;
  } catch (const std::exception& e) {
    PrintError(e.what());
    return vantelle::app::kExitFailure;
  } catch (...) {
    PrintError("unexpected failure");
    return vantelle::app::kExitFailure;
  }
}
