#include "host/files/scene_format.h"

#include <system_error>

#include "host/files/description.h"
#include "host/scene/registry.h"

namespace scene_format {

namespace {

struct BuiltInType {
  Int32 id;
  const char* name;
};

constexpr BuiltInType kBuiltInTypes[] = {
    {Onull, "Onull"},         {Opolygon, "Opolygon"},   {Ospline, "Ospline"},   {Ocube, "Ocube"},
    {Osphere, "Osphere"},     {Oplatonic, "Oplatonic"}, {Opyramid, "Opyramid"}, {Oextrude, "Oextrude"},
    {Osplinetext, "Osplinetext"},
};

const char* BuiltInName(Int32 type) {
  for (const BuiltInType& t : kBuiltInTypes) {
    if (t.id == type) {
      return t.name;
    }
  }
  return nullptr;
}

}  // namespace

std::string TypeName(Int32 type) {
  if (const DescriptionResource* resource = FindDescriptionResource(type)) {
    return resource->typeName.GetStd();
  }
  const char* builtIn = BuiltInName(type);
  return builtIn != nullptr ? builtIn : "";
}

std::string TypeLabel(Int32 type) {
  const std::string name = TypeName(type);
  return name.empty() ? std::to_string(type) : name;
}

Bool IsLoadableType(Int32 type) {
  return BuiltInName(type) != nullptr || FindObjectPlugin(type) != nullptr;
}

std::optional<Int32> TypeByName(std::string_view name) {
  for (const ObjectPlugin* plugin : GetObjectPlugins()) {
    const DescriptionResource* resource = FindDescriptionResource(plugin->id);
    if (resource != nullptr && resource->typeName.View() == name) {
      return plugin->id;
    }
  }
  for (const BuiltInType& t : kBuiltInTypes) {
    if (name == t.name) {
      return t.id;
    }
  }
  return std::nullopt;
}

std::string KnownTypes() {
  std::string list;
  const auto add = [&list](const std::string& name) { list += (list.empty() ? "" : ", ") + name; };
  for (const BuiltInType& t : kBuiltInTypes) {
    add(t.name);
  }
  for (const ObjectPlugin* plugin : GetObjectPlugins()) {
    add(TypeLabel(plugin->id));
  }
  return list;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string ErrnoText(int code) { return std::error_code(code, std::generic_category()).message(); }

}  // namespace scene_format
