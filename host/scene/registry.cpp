#include "host/scene/registry.h"

#include <memory>

#include "host/files/description.h"

namespace {

std::vector<std::unique_ptr<ObjectPlugin>>& Plugins() {
  static std::vector<std::unique_ptr<ObjectPlugin>> plugins;
  return plugins;
}

std::vector<Filename>& ResourceFolders() {
  static std::vector<Filename> folders;
  return folders;
}

// Registers the description `name` from the first module folder that has it.
Bool RegisterDescriptionFromModules(Int32 id, const String& name) {
  for (const Filename& folder : ResourceFolders()) {
    if (GeFExist(folder + Filename("description") + Filename(name + String(".json")))) {
      return RegisterDescription(id, name, folder);
    }
  }
  return false;
}

}  // namespace

Bool RegisterObjectPlugin(Int32 id, const String& name, Int32 info, DataAllocator* allocator,
                          const String& description, BaseBitmap* icon, Int32 diskLevel) {
  if (allocator == nullptr || FindObjectPlugin(id) != nullptr) {
    return false;
  }
  if (description.IsPopulated() && !RegisterDescriptionFromModules(id, description)) {
    return false;
  }
  auto plugin = std::make_unique<ObjectPlugin>();
  plugin->id = id;
  plugin->name = name;
  plugin->info = info;
  plugin->allocator = allocator;
  plugin->description = description;
  plugin->icon = icon;
  plugin->diskLevel = diskLevel;
  plugin->callsGetVirtualObjects = (info & OBJECT_GENERATOR) != 0;
  plugin->callsGetContour = (info & OBJECT_ISSPLINE) != 0;
  plugin->callsAddToExecution = (info & OBJECT_CALL_ADDEXECUTION) != 0;
  Plugins().push_back(std::move(plugin));
  return true;
}

const ObjectPlugin* FindObjectPlugin(Int32 id) {
  for (const auto& plugin : Plugins()) {
    if (plugin->id == id) {
      return plugin.get();
    }
  }
  return nullptr;
}

std::vector<const ObjectPlugin*> GetObjectPlugins() {
  std::vector<const ObjectPlugin*> result;
  for (const auto& plugin : Plugins()) {
    result.push_back(plugin.get());
  }
  return result;
}

void FreeObjectPlugins() {
  Plugins().clear();
  FreeDescriptions();
}

void AddModuleResourceFolder(const Filename& resFolder) {
  ResourceFolders().push_back(resFolder);
}

void ForgetModuleResourceFolders() {
  ResourceFolders().clear();
}
