#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "host/system/system_viewer.h"

extern char** environ;

namespace {

#if defined(__APPLE__)
constexpr const char* kOpener = "open";
#else
constexpr const char* kOpener = "xdg-open";
#endif

// Whether `program` is an executable file in one of the PATH folders.
bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) {
    return false;
  }
  std::string folders(path);
  std::size_t start = 0;
  while (start <= folders.size()) {
    const std::size_t end = folders.find(':', start);
    const std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0) {
      return true;
    }
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  return false;
}

// Starts the system's opener and does not wait for the viewer it launches.
Bool OpenWithSystem(const Filename& path) {
  if (!OnPath(kOpener)) {
    return false;
  }
  const std::string file = path.GetString().GetStd();
  std::string program = kOpener;
  char* argv[] = {program.data(), const_cast<char*>(file.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, kOpener, nullptr, nullptr, argv, environ) != 0) {
    return false;
  }
  // The opener hands the file to the viewer and returns; reaping it avoids a zombie.
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

Bool OpenWithSystemViewer(const Filename& file) { return OpenWithSystem(file); }
