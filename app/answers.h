// How the app answers the questions a module asks (adding a second component of a kind,
// for one): from --yes / --no, by asking on a terminal, or No in a script.
#pragma once

namespace vantelle::app {

enum class AnswerPolicy { ASK, YES, NO };

// Installs the host's dialog handlers for this run and restores the defaults when it ends.
class DialogAnswers {
public:
  explicit DialogAnswers(AnswerPolicy policy);
  ~DialogAnswers();
  DialogAnswers(const DialogAnswers&) = delete;
  DialogAnswers& operator=(const DialogAnswers&) = delete;
};

}  // namespace vantelle::app
