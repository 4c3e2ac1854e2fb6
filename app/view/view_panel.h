// The attribute panel of the interactive view (Dear ImGui): the scene's objects with their
// on/off switches, the selected object's parameters as its description lays them out, and
// the view's dialogs (the module's questions and messages, file names, the close question).
// Every edit goes to ViewModel, which hands it to the host.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <vector>
#include <string>

#include "host/scene/objects.h"

namespace vantelle::app {

class ViewModel;
class ViewWindow;

class ViewPanel {
public:
  ViewPanel(ViewModel& model, ViewWindow& window);

  // The colours and spacing of the whole interface.
  static void SetStyle();
  // Lays out the panel on the right of a window of `width` x `height` pixels, and any open
  // dialog.
  void Draw(int width, int height);

  // Runs the edits made in the panel during the last frame. They wait for the frame's end
  // because a module may answer one with a question, whose dialog needs frames of its own.
  void RunLater();

  BaseObject* Selected() const { return selected_; }
  void Select(BaseObject* op) { selected_ = op; }

  // A module's question, answered in a modal dialog before the module goes on. A script
  // answers in advance (SetAnswer); the answer stays until changed.
  bool Ask(const std::string& question);
  void SetAnswer(std::optional<bool> answer) { presetAnswer_ = answer; }
  const std::string& LastQuestion() const { return lastQuestion_; }
  // A module's message, shown in a dialog.
  void Tell(const std::string& text);
  const std::string& LastMessage() const { return lastMessage_; }
  // A short note on the status line.
  void Note(const std::string& text) { note_ = text; }

  enum class FileJob { NONE, SAVE, EXPORT, PICTURE };
  void AskFileName(FileJob job);
  void AskToClose() { askingToClose_ = true; }
  bool IsAskingToClose() const { return askingToClose_; }
  void StopAskingToClose() { askingToClose_ = false; }

private:
  void DrawObjects();
  void DrawAttributes();
  void DrawDialogs();

  void Later(std::function<void()> action) { later_.push_back(std::move(action)); }

  ViewModel& model_;
  ViewWindow& window_;
  std::vector<std::function<void()>> later_;
  BaseObject* selected_ = nullptr;
  std::set<const BaseObject*> folded_;    // top-level objects the user folded
  std::set<const BaseObject*> unfolded_;  // deeper objects the user opened

  std::optional<bool> presetAnswer_;
  std::string question_;
  std::optional<bool> answer_;
  std::string lastQuestion_;
  std::string message_;
  std::string lastMessage_;
  std::string note_;
  FileJob fileJob_ = FileJob::NONE;
  char fileName_[512] = {};
  bool askingToClose_ = false;
};

}  // namespace vantelle::app
