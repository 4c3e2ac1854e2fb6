// The module's entry point. The host calls c4d_main with an action; nothing else is
// exported, and no exception ever crosses back into the host.
#include <cstdint>
#include <new>

#include "host/scene/plugin_glue.h"
#include "main/module_state.h"

// The three names the host looks up; everything else stays inside the module.
#if defined(_WIN32)
#define VANTELLE_VISIBLE __declspec(dllexport)
#else
#define VANTELLE_VISIBLE __attribute__((visibility("default")))
#endif
#define VANTELLE_EXPORT extern "C" VANTELLE_VISIBLE

extern "C" {
VANTELLE_VISIBLE MaxonModuleRecord g_maxon{};
VANTELLE_VISIBLE CpuYieldDelegateRecord g_CpuYieldDelegate{};
}

namespace vantelle {
namespace {

inline constexpr Int32 kResultOk = 1;
inline constexpr Int32 kResultVersionMismatch = -3;
inline constexpr Int32 kResultUnknown = -1;
inline constexpr Int32 kModuleInterfaceVersion = 5;

Int32 InitSystem(void* tables, void* info) {
  ModuleState& state = GetModuleState();
  if (++state.useCount > 1) {
    return kResultOk;
  }
  const auto* hostTables = static_cast<const HostTables*>(tables);
  if (hostTables == nullptr || hostTables->apiVersion < HOST_API_VERSION || info == nullptr) {
    // Not started: a later attempt must check again rather than pass as a repeat.
    --state.useCount;
    return kResultVersionMismatch;
  }
  state.hostTables = hostTables;
  state.moduleInfo = new (std::nothrow) ModuleInfo(*static_cast<const ModuleInfo*>(info));
  plugin_glue::g_moduleInfo = state.moduleInfo;
  return kResultOk;
}

Int32 EndSystem() {
  ModuleState& state = GetModuleState();
  if (state.useCount <= 0) {
    return kResultOk;
  }
  if (--state.useCount != 0) {
    return kResultOk;
  }
  PluginEnd();
  plugin_glue::g_resource.Free();
  plugin_glue::g_moduleInfo = nullptr;
  delete state.moduleInfo;
  state.moduleInfo = nullptr;
  state.hostTables = nullptr;
  return kResultOk;
}

}  // namespace
}  // namespace vantelle

VANTELLE_EXPORT Int32 c4d_main(Int32 action, void* p1, void* p2, void* p3) {
  using namespace vantelle;
  try {
    switch (action) {
      case C4DPL_INIT_SYS:
        return InitSystem(p1, p3);
      case C4DPL_INIT:
        PluginStart();
        return kResultOk;
      case C4DPL_END:
        return EndSystem();
      case C4DPL_INIT_VERSION:
        return kModuleInterfaceVersion;
      case C4DPL_MESSAGE:
        return PluginMessage(static_cast<Int32>(reinterpret_cast<std::intptr_t>(p1)), p2) ? kResultOk : kResultUnknown;
      default:
        return kResultUnknown;
    }
  } catch (...) {
    return kResultUnknown;
  }
}
