// Loading modules: the records the host hands a module's entry point, and the loader that
// finds modules in a plug-in folder and drives them through c4d_main.
#pragma once

#include <vector>

#include "host/files/files.h"

// The API version this host implements.
inline constexpr Int32 HOST_API_VERSION = 2026000;

// The file name ending of a module on this system.
#if defined(_WIN32)
inline constexpr const char* MODULE_EXTENSION = ".xdl64";
#elif defined(__APPLE__)
inline constexpr const char* MODULE_EXTENSION = ".xlib";
#else
inline constexpr const char* MODULE_EXTENSION = ".xso64";
#endif

// Actions of c4d_main.
inline constexpr Int32 C4DPL_INIT_SYS = 1;      // p1: HostTables*, p3: ModuleInfo*
inline constexpr Int32 C4DPL_INIT = 2;          // register
inline constexpr Int32 C4DPL_END = 3;           // release
inline constexpr Int32 C4DPL_INIT_VERSION = 4;  // which module interface version
inline constexpr Int32 C4DPL_MESSAGE = 6;       // p1: message ID, p2: message data

// Messages sent with C4DPL_MESSAGE.
inline constexpr Int32 C4DMSG_INIT_RESOURCES = 1;  // load resources and icons

using C4DMainFunction = Int32 (*)(Int32 action, void* p1, void* p2, void* p3);

// What the host passes as p1 of C4DPL_INIT_SYS.
struct HostTables {
  Int32 apiVersion = HOST_API_VERSION;
  const char* hostName = "vantelle";
};

// What the host passes as p3 of C4DPL_INIT_SYS: where the module lives.
struct ModuleInfo {
  Filename folder;  // the module's own folder (holds res/)
  Filename file;    // the module file
};

// Loads and drives modules. Objects of the modules' types must be freed before the
// modules are unloaded.
class ModuleHost {
public:
  ModuleHost() = default;
  ModuleHost(const ModuleHost&) = delete;
  ModuleHost& operator=(const ModuleHost&) = delete;
  ~ModuleHost() { UnloadAll(); }

  // Loads every module file in `pluginFolder` and in its direct subfolders, in name order,
  // and starts each: C4DPL_INIT_SYS, C4DMSG_INIT_RESOURCES, C4DPL_INIT. Returns how many
  // started; a module that cannot be loaded, has no res/ folder beside it or refuses to
  // start is reported in `errors` and unloaded. A module file name found more than once
  // loads once (the copy with a res/ folder, else the first) and each other copy is named
  // in `warnings`.
  Int32 LoadFolder(const Filename& pluginFolder, std::vector<String>* errors, std::vector<String>* warnings = nullptr);
  // Ends every module (C4DPL_END), forgets the registered types and unloads them, last
  // loaded first.
  void UnloadAll();
  Int32 GetModuleCount() const { return static_cast<Int32>(modules_.size()); }

private:
  struct Loaded {
    void* handle = nullptr;
    C4DMainFunction main = nullptr;
    ModuleInfo info;
  };
  Bool Start(const Filename& file, String* error);

  HostTables tables_;
  std::vector<Loaded*> modules_;  // owned; stable addresses for the ModuleInfo records
};

// Opens a module file without starting it. Returns its entry point, or null with *error.
// `handle` receives what CloseModuleFile takes.
C4DMainFunction OpenModuleFile(const Filename& file, void** handle, String* error);
void CloseModuleFile(void* handle);
