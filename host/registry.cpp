#include "host/registry.h"

#include <memory>

#include "host/description.h"

namespace {

std::vector<std::unique_ptr<ObjectPlugin>>& Plugins() {
  static std::vector<std::unique_ptr<ObjectPlugin>> plugins;
  return plugins;
}

Filename& CurrentModuleFolder() {
  static Filename folder;
  return folder;
}

}  // namespace

Bool RegisterObjectPlugin(Int32 id, const String& name, Int32 info, DataAllocator* allocator,
                          const String& description, BaseBitmap* icon, Int32 diskLevel) {
  if (allocator == nullptr || FindObjectPlugin(id) != nullptr) {
    return false;
  }
  if (description.IsPopulated() &&
      !RegisterDescription(id, description, GeGetPluginPath() + Filename("res"))) {
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

Filename GeGetPluginPath() {
  return CurrentModuleFolder();
}

void SetCurrentModuleFolder(const Filename& folder) {
  CurrentModuleFolder() = folder;
}
