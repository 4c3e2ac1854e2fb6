// One run of the app against the plug-in modules: it loads the modules, owns the
// document and drives objects only through the host's object model, as any host would.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/files/description.h"
#include "host/files/files.h"
#include "host/files/scene_file.h"
#include "host/scene/document.h"
#include "host/scene/modules.h"

namespace vantelle::app {

// plugins/ beside the executable.
Filename DefaultPluginFolder();

class Session {
public:
  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  // The document goes first: its objects run the modules' code when freed.
  ~Session();

  // Starts every module of the folder. Any module that fails to load is a Failure, so a
  // broken install is never half-used.
  void LoadModules(const Filename& pluginFolder);

  // A new empty document at `fps` frames per second; replaces any earlier one.
  void NewDocument(Int32 fps);
  // Reads a scene file as the document, replacing any earlier one. BadInput naming the
  // file and line when it cannot be read.
  void LoadDocument(const Filename& scene);
  // Saves the document as a scene file; Failure when it cannot be written.
  void SaveDocument(const Filename& scene) const;
  BaseDocument* GetDocument() const { return doc_; }

  // A new object of a registered type, inserted at the top of the document. Failure
  // when no loaded module offers the type.
  BaseObject* AddObject(Int32 type, std::string_view typeName);

  // A user edit of the parameter `name` from text, checked against the object's
  // description (BadInput when unknown or invalid). Command parameters (a popup that
  // acts when chosen) are pressed after being set.
  void SetParameterText(BaseObject* op, std::string_view name, std::string_view text);
  // The current value of a parameter by name; nil when the object has none such.
  GeData GetParameterByName(const BaseObject* op, std::string_view name) const;

  // Moves the document to frame `frame` at its frame rate.
  void SetFrame(Int32 frame);
  // The frame the document's time falls on.
  Int32 GetFrame() const;
  // What one evaluation pass cost.
  struct EvaluationCost {
    double seconds = 0.0;
    Int64 evaluations = 0;  // formula texts the host evaluated
    Int64 failures = 0;     // of those, the ones without a value
  };
  // One evaluation pass over the document.
  EvaluationCost Evaluate();

  // A formula that an object of the document could not read in its last evaluation.
  struct FormulaProblem {
    const BaseObject* object = nullptr;
    // Where the formula came from: "scene.json:7: SURFO_FORMULA of \"Plot\"" for a loaded
    // scene, "formula" for one given on the command line.
    std::string where;
    Int32 column = 0;
    std::string reason;
    // "where: column N: reason".
    std::string Message() const;
  };
  // Asks every object of the document, in tree order.
  std::vector<FormulaProblem> FindFormulaProblems() const;

private:
  Description DescribeObject(const BaseObject* op) const;

  ModuleHost modules_;
  Filename pluginFolder_;
  BaseDocument* doc_ = nullptr;
  std::string sceneFile_;  // the file the document was loaded from; empty for a new one
  SceneLines sceneLines_;
};

}  // namespace vantelle::app
