#include "main/module_state.h"

#include <new>

#include "host/scene/plugin_glue.h"
#include "main/registration.h"

namespace vantelle {

ModuleState& GetModuleState() {
  static ModuleState state;
  return state;
}

namespace {

Bool InitResource() {
  return plugin_glue::g_resource.Init(GeGetPluginPath() + Filename("res"));
}

void LoadIcons() {
  ModuleState& state = GetModuleState();
  const Filename path = GeGetPluginPath() + Filename("res") + Filename("Surfo.tif");
  if (!GeFExist(path) || state.icons != nullptr) {
    return;
  }
  state.icons = new (std::nothrow) std::array<BaseBitmap*, kIconSlots>{};
  state.iconStrip = BaseBitmap::Alloc();
  if (state.icons == nullptr || state.iconStrip == nullptr) {
    return;
  }
  if (state.iconStrip->Init(path, -1) != IMAGERESULT::OK) {
    return;
  }
  for (Int32 slot = 0; slot < kRegisteredTypeCount; ++slot) {
    (*state.icons)[static_cast<std::size_t>(slot)] =
        state.iconStrip->GetClonePart(slot * kIconSize, 0, kIconSize, kIconSize);
  }
}

}  // namespace

Bool PluginMessage(Int32 id, void* /*data*/) {
  if (id == C4DMSG_INIT_RESOURCES && InitResource()) {
    LoadIcons();
  }
  return false;
}

Bool PluginStart() {
  RegisterTypes();
  return true;
}

void PluginEnd() {
  ModuleState& state = GetModuleState();
  BaseBitmap::Free(state.iconStrip);
  if (state.icons != nullptr) {
    for (BaseBitmap*& icon : *state.icons) {
      BaseBitmap::Free(icon);
    }
    delete state.icons;
    state.icons = nullptr;
  }
}

BaseBitmap* GetIcon(Int32 slot) {
  const ModuleState& state = GetModuleState();
  if (state.icons == nullptr || slot < 0 || slot >= kIconSlots) {
    return nullptr;
  }
  return (*state.icons)[static_cast<std::size_t>(slot)];
}

}  // namespace vantelle
