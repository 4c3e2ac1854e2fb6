#include "main/registration.h"

#include "cage/surfo_cage.h"
#include "common/type_ids.h"
#include "grid/surfo_grid.h"
#include "host/scene/execution.h"
#include "host/scene/plugin_glue.h"
#include "host/scene/registry.h"
#include "labels/surfo_label.h"
#include "main/module_state.h"
#include "mesh/surfo_mesh.h"
#include "plot/surfo_object.h"

namespace vantelle {

namespace {

struct TypeRegistration {
  Int32 type;
  DataAllocator* allocator;
  const char* description;
  Int32 nameId;
  Int32 flags;
  Int32 iconSlot;
};

// Flags: every type is a generator that takes part in the priority list; the plot and
// the mesh enumerate uniquely; the components stay out of the plug-in menu, since they are
// added from the plot's component button.
const TypeRegistration kTypes[] = {
    {Osurfo, SurfoObject::Alloc, "osurfo", IDS_SURFO,
     OBJECT_GENERATOR | OBJECT_UNIQUEENUMERATION | OBJECT_CALL_ADDEXECUTION, 0},
    {Osurfomesh, SurfoMesh::Alloc, "osurfomesh", IDS_SURFOMESH,
     OBJECT_GENERATOR | OBJECT_UNIQUEENUMERATION | OBJECT_USECACHECOLOR | OBJECT_CALL_ADDEXECUTION |
         PLUGINFLAG_HIDEPLUGINMENU,
     1},
    {Osurfogrid, SurfoGrid::Alloc, "osurfogrid", IDS_SURFOGRID,
     OBJECT_GENERATOR | OBJECT_ISSPLINE | OBJECT_CALL_ADDEXECUTION | PLUGINFLAG_HIDEPLUGINMENU, 2},
    {Osurfocage, SurfoCage::Alloc, "osurfocage", IDS_SURFOCAGE,
     OBJECT_GENERATOR | OBJECT_ISSPLINE | OBJECT_CALL_ADDEXECUTION | PLUGINFLAG_HIDEPLUGINMENU, 3},
    {Osurfolabel, SurfoLabel::Alloc, "osurfolabel", IDS_SURFOLABEL,
     OBJECT_GENERATOR | OBJECT_CALL_ADDEXECUTION | PLUGINFLAG_HIDEPLUGINMENU, 4},
};

Bool RegisterType(const TypeRegistration& t) {
  const String name = plugin_glue::g_resource.IsLoaded() ? GeLoadString(t.nameId) : String();
  return RegisterObjectPlugin(t.type, name, t.flags, t.allocator, String(t.description), GetIcon(t.iconSlot), 0);
}

}  // namespace

void RegisterTypes() {
  for (const TypeRegistration& t : kTypes) {
    RegisterType(t);
  }
}

}  // namespace vantelle
