#include "host/scene/modules.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>

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

Int32 ModuleHost::LoadFolder(const Filename& pluginFolder, std::vector<String>* errors) {
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
  for (const auto& file : files) {
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
