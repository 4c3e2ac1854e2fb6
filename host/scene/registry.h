// The registry of object plug-in types, and the folder of the module being driven.
#pragma once

#include <vector>

#include "host/files/files.h"
#include "host/scene/objects.h"

class BaseBitmap;

// Registration flags of object plug-ins.
inline constexpr Int32 OBJECT_MODIFIER = 0x1;
inline constexpr Int32 OBJECT_GENERATOR = 0x4;
// The generator builds from its children, which are then not shown themselves.
inline constexpr Int32 OBJECT_INPUT = 0x8;
inline constexpr Int32 OBJECT_PARTICLEMODIFIER = 0x20;
inline constexpr Int32 OBJECT_ISSPLINE = 0x80;
inline constexpr Int32 OBJECT_UNIQUEENUMERATION = 0x100;
inline constexpr Int32 OBJECT_USECACHECOLOR = 0x400;
inline constexpr Int32 OBJECT_CALL_ADDEXECUTION = 0x8000;
inline constexpr Int32 PLUGINFLAG_HIDEPLUGINMENU = 0x10000000;

// Makes a new plug-in instance on cleared memory, or null.
using DataAllocator = NodeData*();

// The host's record of a registered object type.
struct ObjectPlugin {
  Int32 id = 0;
  String name;
  Int32 info = 0;
  DataAllocator* allocator = nullptr;
  String description;
  BaseBitmap* icon = nullptr;
  Int32 diskLevel = 0;
  Bool callsGetVirtualObjects = false;  // only generators (OBJECT_GENERATOR)
  Bool callsGetContour = false;         // only spline generators (OBJECT_ISSPLINE)
  Bool callsAddToExecution = false;     // OBJECT_CALL_ADDEXECUTION
};

// Registers an object type. A non-empty `description` names a description resource that
// one of the loaded modules' "res" folders holds (description/<name>.json); when it
// cannot be found or read, the type is not registered. Registering an ID twice fails.
Bool RegisterObjectPlugin(Int32 id, const String& name, Int32 info, DataAllocator* allocator,
                          const String& description, BaseBitmap* icon, Int32 diskLevel);
const ObjectPlugin* FindObjectPlugin(Int32 id);
// Every registered type, in registration order.
std::vector<const ObjectPlugin*> GetObjectPlugins();
// Forgets every registered type and description.
void FreeObjectPlugins();

// The "res" folders of the loaded modules, searched in order for description resources.
void AddModuleResourceFolder(const Filename& resFolder);
void ForgetModuleResourceFolders();
