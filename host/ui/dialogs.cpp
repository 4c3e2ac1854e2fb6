#include "host/ui/dialogs.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>

extern char** environ;

namespace {

QuestionHandler& Question() {
  static QuestionHandler handler;
  return handler;
}

MessageHandler& Message() {
  static MessageHandler handler;
  return handler;
}

ExecuteFileHandler& Execute() {
  static ExecuteFileHandler handler;
  return handler;
}

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
  if (!OnPath("xdg-open")) {
    return false;
  }
  const std::string file = path.GetString().GetStd();
  char program[] = "xdg-open";
  char* argv[] = {program, const_cast<char*>(file.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) {
    return false;
  }
  // xdg-open hands the file to the viewer and returns; reaping it avoids a zombie.
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

Bool QuestionDialog(const String& text) {
  return Question() ? Question()(text) : false;
}

void MessageDialog(const String& text) {
  if (Message()) {
    Message()(text);
  } else {
    std::cerr << text.GetStd() << '\n';
  }
}

Bool GeExecuteFile(const Filename& path) {
  return Execute() ? Execute()(path) : OpenWithSystem(path);
}

void SetQuestionHandler(QuestionHandler handler) {
  Question() = std::move(handler);
}

void SetMessageHandler(MessageHandler handler) {
  Message() = std::move(handler);
}

void SetExecuteFileHandler(ExecuteFileHandler handler) {
  Execute() = std::move(handler);
}
