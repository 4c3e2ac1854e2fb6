#include "app/scene_commands.h"

#include <iostream>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "app/app_error.h"
#include "app/output_files.h"
#include "app/session.h"
#include "app/summary.h"
#include "app/terminal_text.h"
#include "host/core/font_data.h"
#include "host/files/clip_map.h"
#include "host/files/parameter_text.h"
#include "host/scene/registry.h"

namespace vantelle::app {

namespace {

void AddPluginOption(CLI::App& command, std::string& folder) {
  command.add_option("--plugins", folder, "Folder of the plug-in modules (default: plugins/ beside vantelle)")
      ->type_name("DIR");
}

Filename PluginFolder(const std::string& option) {
  return option.empty() ? DefaultPluginFolder() : Filename(String(option));
}

std::string TypeName(const BaseObject& op) {
  if (const DescriptionResource* resource = FindDescriptionResource(op.GetType())) {
    return resource->typeName.GetStd();
  }
  return std::to_string(op.GetType());
}

std::string VectorText(const Vector& v) {
  return ReadableNumber(v.x) + ", " + ReadableNumber(v.y) + ", " + ReadableNumber(v.z);
}

// A value no description types, shown by what it holds.
std::string ValueText(const GeData& value) {
  switch (value.GetType()) {
    case GeDataType::NIL: return "(none)";
    case GeDataType::STRING: return "\"" + value.GetString().GetStd() + "\"";
    case GeDataType::VECTOR: return VectorText(value.GetVector());
    case GeDataType::CONTAINER: return "(container)";
    case GeDataType::CUSTOM: {
      String name("(data)");
      if (const FontData* font = value.GetCustomData<FontData>()) {
        const BaseContainer description = font->GetFont();
        GeClipMap::GetFontName(&description, GE_FONT_NAME_DISPLAY, &name);
      }
      return name.GetStd();
    }
    default: return ReadableNumber(value.GetFloat());
  }
}

// Every entry of the object's container, by name where its description has one.
std::vector<std::pair<std::string, std::string>> ParameterTexts(const BaseObject& op) {
  std::vector<std::pair<std::string, std::string>> texts;
  const DescriptionResource* resource = FindDescriptionResource(op.GetType());
  const BaseContainer& bc = *op.GetDataInstance();
  for (Int32 i = 0; i < bc.GetCount(); ++i) {
    const Int32 id = bc.GetIndexId(i);
    const GeData& value = *bc.GetIndexData(i);
    const DescParameter* param = resource != nullptr ? resource->FindById(id) : nullptr;
    if (param != nullptr) {
      texts.emplace_back(param->name.GetStd(), FormatParameterValue(*param, value));
    } else {
      texts.emplace_back(std::to_string(id), ValueText(value));
    }
  }
  return texts;
}

void PrintObject(const BaseObject& op, Int32 depth, std::ostream& out) {
  const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
  out << indent << TypeName(op) << " \"" << TerminalText(op.GetName().GetStd()) << "\""
      << (op.GetDeformMode() ? "" : " (off)");
  if (op.GetRelPos() != Vector()) {
    out << " at " << VectorText(op.GetRelPos());
  }
  out << '\n';
  const auto texts = ParameterTexts(op);
  std::size_t width = 0;
  for (const auto& [name, value] : texts) {
    width = std::max(width, name.size());
  }
  for (const auto& [name, value] : texts) {
    out << indent << "    " << name << std::string(width - name.size() + 2, ' ') << TerminalText(value) << '\n';
  }
  for (const BaseObject* child = op.GetDown(); child != nullptr; child = child->GetNext()) {
    PrintObject(*child, depth + 1, out);
  }
}

nlohmann::ordered_json ObjectJson(const BaseObject& op) {
  nlohmann::ordered_json params = nlohmann::ordered_json::object();
  for (const auto& [name, value] : ParameterTexts(op)) {
    params[name] = value;
  }
  nlohmann::ordered_json children = nlohmann::ordered_json::array();
  for (const BaseObject* child = op.GetDown(); child != nullptr; child = child->GetNext()) {
    children.push_back(ObjectJson(*child));
  }
  const Vector p = op.GetRelPos();
  return {{"type", TypeName(op)}, {"name", op.GetName().GetStd()}, {"enabled", op.GetDeformMode()},
          {"position", {p.x, p.y, p.z}}, {"parameters", params}, {"children", children}};
}

}  // namespace

CLI::App* AddRenderCommand(CLI::App& app, RenderOptions& options) {
  CLI::App* render = app.add_subcommand("render", "Evaluate a scene file and write what it shows as glTF or a picture");
  render->add_option("SCENE", options.scene, "The scene file (as 'vantelle plot --save' writes it)")->required();
  render->add_option("-o,--output", options.output,
                     "Write the scene to FILE as binary glTF (.glb), with --frames an animated file; or as a "
                     "picture of the viewport (.png), with --frames one per frame (FILE_0000.png, ...)")
      ->type_name("FILE")
      ->check(NotEmpty());
  AddFrameOptions(*render, options.frames);
  AddPictureOptions(*render, options.picture);
  AddCompressOption(*render, options.compress);
  render->add_flag("--json", options.json, "Print the summary as one JSON object");
  AddPluginOption(*render, options.pluginFolder);
  return render;
}

CLI::App* AddInfoCommand(CLI::App& app, InfoOptions& options) {
  CLI::App* info = app.add_subcommand("info", "Show a scene file's objects, their parameters and the plots' values");
  info->add_option("SCENE", options.scene, "The scene file")->required();
  info->add_flag("--json", options.json, "Print the information as JSON");
  AddPluginOption(*info, options.pluginFolder);
  return info;
}

int RunRender(const RenderOptions& options) {
  const PictureSettings picture = ResolvePictureOptions(options.picture);
  const GlbCompression compression = ResolveCompression(options.compress, options.output);
  CheckOutputFiles({{"-o", options.output}}, {{"the scene", options.scene}});
  Session session;
  session.LoadModules(PluginFolder(options.pluginFolder));
  session.LoadDocument(Filename(String(options.scene)));
  RunSummary summary;
  summary.frames = ResolveFrames(options.frames, session.GetFrame());
  summary.fps = session.GetDocument()->GetFps();
  summary.outcome =
      EvaluateFrames(session, summary.frames, options.output, picture, FormulaFaults::kRefuse, compression);
  summary.plots = SummarisePlots(session, summary.outcome);
  summary.scene = options.scene;
  if (options.json) {
    std::cout << SummaryToJson(summary).dump(2) << '\n';
  } else {
    std::cout << FormatSummaryText(summary);
  }
  return kExitOk;
}

int RunInfo(const InfoOptions& options) {
  Session session;
  session.LoadModules(PluginFolder(options.pluginFolder));
  session.LoadDocument(Filename(String(options.scene)));
  FrameRange now;
  now.first = now.last = session.GetFrame();
  RunSummary summary;
  summary.frames = now;
  summary.fps = session.GetDocument()->GetFps();
  // Information about a scene includes what is wrong with it, so faults are reported.
  summary.outcome = EvaluateFrames(session, now, std::string(), PictureSettings(), FormulaFaults::kReport);
  summary.plots = SummarisePlots(session);
  summary.scene = options.scene;

  const BaseDocument* doc = session.GetDocument();
  if (options.json) {
    nlohmann::ordered_json objects = nlohmann::ordered_json::array();
    for (const BaseObject* op = doc->GetFirstObject(); op != nullptr; op = op->GetNext()) {
      objects.push_back(ObjectJson(*op));
    }
    nlohmann::ordered_json json = SummaryToJson(summary);
    json["objects"] = objects;
    std::cout << json.dump(2) << '\n';
    return kExitOk;
  }
  std::cout << TerminalText(options.scene) << ": " << doc->GetFps() << " fps, frames "
            << doc->GetMinTime().GetFrame(doc->GetFps()) << ".." << doc->GetMaxTime().GetFrame(doc->GetFps())
            << ", now at " << session.GetFrame() << "\n\n";
  for (const BaseObject* op = doc->GetFirstObject(); op != nullptr; op = op->GetNext()) {
    PrintObject(*op, 0, std::cout);
  }
  std::cout << '\n' << FormatSummaryText(summary);
  return kExitOk;
}

}  // namespace vantelle::app
