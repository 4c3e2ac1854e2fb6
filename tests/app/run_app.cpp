#include "tests/app/run_app.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace vantelle::test {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {

// The app's path and `args` as exec wants them; `all` keeps the texts they point into.
std::vector<char*> Argv(const std::vector<std::string>& args, std::vector<std::string>& all) {
  all = {VANTELLE_APP};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) {
    argv.push_back(a.data());
  }
  argv.push_back(nullptr);
  return argv;
}

}  // namespace

RunResult RunApp(const std::vector<std::string>& args) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  static int runs = 0;
  const std::string tag = std::to_string(getpid()) + "_" + std::to_string(++runs);
  const std::string outPath = (dir / ("vantelle_out_" + tag)).string();
  const std::string errPath = (dir / ("vantelle_err_" + tag)).string();

  std::vector<std::string> all;
  std::vector<char*> argv = Argv(args, all);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);

  RunResult result;
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << VANTELLE_APP;
    return result;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  result.out = ReadAll(outPath);
  result.err = ReadAll(errPath);
  std::filesystem::remove(outPath);
  std::filesystem::remove(errPath);
  return result;
}

std::string RunOnTerminal(const std::vector<std::string>& args) {
  std::vector<std::string> all;
  std::vector<char*> argv = Argv(args, all);
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid < 0) {
    ADD_FAILURE() << "cannot open a terminal";
    return {};
  }
  if (pid == 0) {
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::string text;
  char buffer[4096];
  for (;;) {
    // Fails with EIO once the app has ended and closed its side.
    const ssize_t n = read(terminal, buffer, sizeof(buffer));
    if (n <= 0) {
      break;
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  close(terminal);
  return text;
}

}  // namespace vantelle::test
