#include "app/answers.h"

#include <unistd.h>

#include <iostream>
#include <string>

#include "app/progress.h"
#include "app/terminal_text.h"
#include "host/ui/dialogs.h"

namespace vantelle::app {

namespace {

Bool AskOnTerminal(const String& question) {
  ClearProgressLine();
  std::cerr << TerminalText(question.GetStd()) << " [y/N] " << std::flush;
  std::string line;
  if (!std::getline(std::cin, line)) {
    return false;
  }
  return line == "y" || line == "Y" || line == "yes" || line == "Yes";
}

}  // namespace

DialogAnswers::DialogAnswers(AnswerPolicy policy) {
  SetQuestionHandler([policy](const String& question) -> Bool {
    switch (policy) {
      case AnswerPolicy::YES: return true;
      case AnswerPolicy::NO: return false;
      case AnswerPolicy::ASK: break;
    }
    if (isatty(STDIN_FILENO) != 0) {
      return AskOnTerminal(question);
    }
    ClearProgressLine();
    std::cerr << "vantelle: " << TerminalText(question.GetStd()) << " Answered no (pass --yes to agree)\n";
    return false;
  });
  SetMessageHandler([](const String& text) {
    ClearProgressLine();
    std::cerr << "vantelle: " << TerminalText(text.GetStd()) << '\n';
  });
}

DialogAnswers::~DialogAnswers() {
  SetQuestionHandler(nullptr);
  SetMessageHandler(nullptr);
}

}  // namespace vantelle::app
