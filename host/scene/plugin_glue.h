// The part of the SDK that is compiled into each module rather than living in the host:
// the functions that answer for "this module" (its folder, its strings). Every module
// has its own copy of this state, because modules are built with hidden visibility.
#pragma once

#include "host/files/resource.h"
#include "host/scene/modules.h"

namespace plugin_glue {
// The module's information record, kept by the module from C4DPL_INIT_SYS.
inline const ModuleInfo* g_moduleInfo = nullptr;
// The module's resource.
inline GeResource g_resource;
}  // namespace plugin_glue

// The folder of this module, or an empty name before the host introduced it.
inline Filename GeGetPluginPath() {
  return plugin_glue::g_moduleInfo != nullptr ? plugin_glue::g_moduleInfo->folder : Filename();
}

// A string of this module's string table, or an empty text.
inline String GeLoadString(Int32 id) {
  return plugin_glue::g_resource.LoadString(id);
}

// The SDK's module records that every module exports beside c4d_main. They carry nothing
// of the module's own.
struct MaxonModuleRecord {
  Int32 apiVersion = HOST_API_VERSION;
  const char* sdk = "vantelle-host-sdk";
};
struct CpuYieldDelegateRecord {
  void (*yield)() = nullptr;
};
