#include "app/session.h"

#include "host/core/formula.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "app/app_error.h"
#include "app/terminal_text.h"
#include "host/files/parameter_text.h"
#include "host/files/scene_file.h"
#include "host/scene/execution.h"
#include "host/scene/registry.h"
#include "host/system/shared_library.h"

namespace vantelle::app {

Filename DefaultPluginFolder() {
  const std::filesystem::path exe = RunningExecutable();
  if (exe.empty()) {
    return Filename("plugins");
  }
  return Filename(exe.parent_path() / "plugins");
}

Session::~Session() {
  BaseDocument::Free(doc_);
  modules_.UnloadAll();
}

void Session::LoadModules(const Filename& pluginFolder) {
  pluginFolder_ = pluginFolder;
  std::vector<String> errors;
  std::vector<String> warnings;
  modules_.LoadFolder(pluginFolder, &errors, &warnings);
  for (const String& w : warnings) {
    std::cerr << "vantelle: warning: " << TerminalText(w.GetStd()) << '\n';
  }
  if (!errors.empty()) {
    std::string message;
    for (const String& e : errors) {
      message += (message.empty() ? "" : "\n") + e.GetStd();
    }
    throw Failure(message);
  }
}

void Session::NewDocument(Int32 fps) {
  BaseDocument::Free(doc_);
  sceneFile_.clear();
  sceneLines_ = SceneLines();
  doc_ = BaseDocument::Alloc();
  if (doc_ == nullptr) {
    throw Failure("cannot create a document");
  }
  doc_->SetFps(fps);
}

BaseObject* Session::AddObject(Int32 type, std::string_view typeName) {
  if (FindObjectPlugin(type) == nullptr) {
    throw Failure("no module in " + pluginFolder_.GetString().GetStd() + " offers the object type " +
                  std::string(typeName) + " (" + std::to_string(type) + ")");
  }
  BaseObject* op = BaseObject::Alloc(type);
  if (op == nullptr) {
    throw Failure("cannot create an object of type " + std::string(typeName));
  }
  doc_->InsertObject(op, nullptr, nullptr);
  return op;
}

Description Session::DescribeObject(const BaseObject* op) const {
  Description description;
  if (!op->GetDescription(&description)) {
    throw Failure("the object of type " + std::to_string(op->GetType()) + " has no description");
  }
  return description;
}

void Session::SetParameterText(BaseObject* op, std::string_view name, std::string_view text) {
  const Description description = DescribeObject(op);
  const DescriptionResource& resource = description.GetResource();
  const DescParameter* param = resource.FindByName(name);
  if (param == nullptr) {
    std::string message = "unknown parameter " + std::string(name) + " for " + resource.typeName.GetStd();
    if (const auto closest = FindClosestParameterName(resource, name)) {
      message += "; did you mean " + *closest + "?";
    }
    throw BadInput(message);
  }
  String error;
  const std::optional<GeData> value = ParseParameterValue(*param, text, &error);
  if (!value) {
    throw BadInput(error.GetStd());
  }
  const DescID id(param->id);
  op->SetParameter(id, *value, DESCFLAGS_SET::USERINTERACTION);
  if (param->command) {
    op->PressButton(id);
  }
}

GeData Session::GetParameterByName(const BaseObject* op, std::string_view name) const {
  const Description description = DescribeObject(op);
  const DescParameter* param = description.GetResource().FindByName(name);
  GeData value;
  if (param != nullptr) {
    op->GetParameter(DescID(param->id), value);
  }
  return value;
}

void Session::LoadDocument(const Filename& scene) {
  SceneError error;
  SceneLines lines;
  BaseDocument* doc = LoadScene(scene, &error, &lines);
  if (doc == nullptr) {
    throw BadInput(error.Format().GetStd());
  }
  BaseDocument::Free(doc_);
  doc_ = doc;
  sceneFile_ = scene.GetString().GetStd();
  sceneLines_ = std::move(lines);
}

void Session::SaveDocument(const Filename& scene) const {
  String error;
  if (!SaveScene(doc_, scene, &error)) {
    throw Failure(error.GetStd());
  }
}

Int32 Session::GetFrame() const {
  return doc_->GetTime().GetFrame(doc_->GetFps());
}

void Session::SetFrame(Int32 frame) {
  doc_->SetTime(BaseTime(static_cast<Float>(frame), static_cast<Float>(doc_->GetFps())));
}

std::string Session::FormulaProblem::Message() const {
  return where + ": column " + std::to_string(column) + ": " + reason;
}

std::vector<Session::FormulaProblem> Session::FindFormulaProblems() const {
  std::vector<FormulaProblem> problems;
  for (BaseObject* op : CollectObjects(doc_)) {
    BaseContainer state;
    op->Message(MSG_HOST_QUERY_STATE, &state);
    if (state.GetData(STATE_FORMULA_ERROR).IsNil()) {
      continue;
    }
    FormulaProblem problem;
    problem.object = op;
    problem.column = state.GetInt32(STATE_FORMULA_COLUMN);
    problem.reason = state.GetString(STATE_FORMULA_ERROR).GetStd();
    problem.where = "formula";
    if (!sceneFile_.empty()) {
      const Int32 id = state.GetInt32(STATE_FORMULA_PARAMETER);
      const DescriptionResource* resource = FindDescriptionResource(op->GetType());
      const DescParameter* param = resource != nullptr ? resource->FindById(id) : nullptr;
      const Int32 line = sceneLines_.Find(op, id);
      problem.where = sceneFile_ + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " +
                      (param != nullptr ? param->name.GetStd() : std::to_string(id)) + " of \"" +
                      op->GetName().GetStd() + "\"";
    }
    problems.push_back(std::move(problem));
  }
  return problems;
}

Session::EvaluationCost Session::Evaluate() {
  const Int64 evaluations = GetStringToNumberCount();
  const Int64 failures = GetStringToNumberFailureCount();
  const auto start = std::chrono::steady_clock::now();
  ExecutePasses(doc_);
  EvaluationCost cost;
  cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  cost.evaluations = GetStringToNumberCount() - evaluations;
  cost.failures = GetStringToNumberFailureCount() - failures;
  return cost;
}

}  // namespace vantelle::app
