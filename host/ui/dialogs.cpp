#include "host/ui/dialogs.h"

#include <iostream>
#include <string>

#include "host/system/system_viewer.h"

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
  return Execute() ? Execute()(path) : OpenWithSystemViewer(path);
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
