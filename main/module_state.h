// Module-wide state and the three module functions that c4d_main dispatches to.
#pragma once

#include <array>

#include "host/files/bitmaps.h"
#include "host/scene/modules.h"

namespace vantelle {

inline constexpr Int32 kIconSlots = 6;
inline constexpr Int32 kIconSize = 64;

struct ModuleState {
  Int32 useCount = 0;
  const HostTables* hostTables = nullptr;
  ModuleInfo* moduleInfo = nullptr;                      // our own copy, released at the end
  BaseBitmap* iconStrip = nullptr;
  std::array<BaseBitmap*, kIconSlots>* icons = nullptr;  // slot 5 is never filled
};

ModuleState& GetModuleState();

// Message 1 loads the resource and, when that worked, the icons. Always false.
Bool PluginMessage(Int32 id, void* data);
// Registers the object types. Always true.
Bool PluginStart();
// Frees the icon strip and icons.
void PluginEnd();

// The icon of a slot, or null when there is none.
BaseBitmap* GetIcon(Int32 slot);

}  // namespace vantelle
