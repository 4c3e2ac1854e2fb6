#include "host/scene/modules.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <utility>

#include "host/scene/registry.h"
#include "host/system/shared_library.h"

C4DMainFunction OpenModuleFile(const Filename& file, void** handle, String* error) {
  std::string why;
  *handle = OpenSharedLibrary(file.GetPath(), &why);
  if (*handle == nullptr) {
    if (error != nullptr) {
      *error = String(file.GetString().GetStd() + ": cannot load: " + why);
    }
    return nullptr;
  }
  auto main = reinterpret_cast<C4DMainFunction>(SharedLibrarySymbol(*handle, "c4d_main"));
  if (main == nullptr) {
    if (error != nullptr) {
      *error = String(file.GetString().GetStd() + ": not a module (no c4d_main)");
    }
    CloseSharedLibrary(*handle);
    *handle = nullptr;
  }
  return main;
}

void CloseModuleFile(void* handle) { CloseSharedLibrary(handle); }

namespace {

Bool HasResources(const std::filesystem::path& module) {
  std::error_code ec;
  return std::filesystem::is_directory(module.parent_path() / "res", ec);
}

// One file per module name: a second copy would register the same types again. The copy
// that has its resources wins, else the first in name order; each other copy is named in
// a warning.
std::vector<std::filesystem::path> OnePerName(const std::vector<std::filesystem::path>& files,
                                              std::vector<String>* warnings) {
  std::vector<std::filesystem::path> chosen;
  for (const auto& file : files) {
    const auto same = std::find_if(chosen.begin(), chosen.end(),
                                   [&file](const auto& c) { return c.filename() == file.filename(); });
    if (same == chosen.end()) {
      chosen.push_back(file);
      continue;
    }
    std::filesystem::path skipped = file;
    if (!HasResources(*same) && HasResources(file)) {
      skipped = std::exchange(*same, file);
    }
    if (warnings != nullptr) {
      warnings->push_back(String("the module " + file.filename().string() + " is found twice: loaded " +
                                 same->string() + ", left out " + skipped.string()));
    }
  }
  std::sort(chosen.begin(), chosen.end());
  return chosen;
}

}  // namespace

Int32 ModuleHost::LoadFolder(const Filename& pluginFolder, std::vector<String>* errors, std::vector<String>* warnings) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  auto collect = [&files](const std::filesystem::path& folder) {
    std::error_code inner;
    for (const auto& entry : std::filesystem::directory_iterator(folder, inner)) {
      if (entry.is_regular_file(inner) && entry.path().extension() == MODULE_EXTENSION) {
        files.push_back(entry.path());
      }
    }
  };
  if (!std::filesystem::is_directory(pluginFolder.GetPath(), ec)) {
    if (errors != nullptr) {
      errors->push_back(String(pluginFolder.GetString().GetStd() + ": no such plug-in folder"));
    }
    return 0;
  }
  collect(pluginFolder.GetPath());
  for (const auto& entry : std::filesystem::directory_iterator(pluginFolder.GetPath(), ec)) {
    if (entry.is_directory(ec)) {
      collect(entry.path());
    }
  }
  std::sort(files.begin(), files.end());

  Int32 started = 0;
  for (const auto& file : OnePerName(files, warnings)) {
    String error;
    if (Start(Filename(file), &error)) {
      ++started;
    } else if (errors != nullptr) {
      errors->push_back(error);
    }
  }
  return started;
}

Bool ModuleHost::Start(const Filename& file, String* error) {
  auto* module = new Loaded();
  module->main = OpenModuleFile(file, &module->handle, error);
  if (module->main == nullptr) {
    delete module;
    return false;
  }
  module->info.file = file;
  module->info.folder = file.GetDirectory();
  // Without its descriptions a module's types cannot be named, set or saved; said here,
  // the cause is plain rather than a type that later seems to be missing.
  if (!HasResources(file.GetPath())) {
    *error = String(file.GetString().GetStd() + ": no res/ folder beside the module (its descriptions, strings and "
                                                "icons); install the module's whole folder");
    CloseModuleFile(module->handle);
    delete module;
    return false;
  }
  AddModuleResourceFolder(module->info.folder + Filename("res"));

  const Int32 init = module->main(C4DPL_INIT_SYS, &tables_, nullptr, &module->info);
  if (init != 1) {
    *error = String(file.GetString().GetStd() + ": refused to start (code " + std::to_string(init) + ")");
    CloseModuleFile(module->handle);
    delete module;
    return false;
  }
  module->main(C4DPL_MESSAGE, reinterpret_cast<void*>(static_cast<std::intptr_t>(C4DMSG_INIT_RESOURCES)), nullptr,
               nullptr);
  module->main(C4DPL_INIT, nullptr, nullptr, nullptr);
  modules_.push_back(module);
  return true;
}

void ModuleHost::UnloadAll() {
  for (auto it = modules_.rbegin(); it != modules_.rend(); ++it) {
    (*it)->main(C4DPL_END, nullptr, nullptr, nullptr);
  }
  // The types point into the modules' code: forget them before the code goes.
  FreeObjectPlugins();
  ForgetModuleResourceFolders();
  for (auto it = modules_.rbegin(); it != modules_.rend(); ++it) {
    CloseModuleFile((*it)->handle);
    delete *it;
  }
  modules_.clear();
}
