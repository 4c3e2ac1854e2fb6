// The kinds of object a plot is built from, as the command line names them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/scene/objects.h"

namespace vantelle::app {

struct ObjectKind {
  std::string_view name;      // as users type it: plot, mesh, grid, cage, labels
  std::string_view typeName;  // the type's name in its description
  Int32 type;
  Int32 addIndex;  // the plot's SURFO_ADDCOMPONENT value; -1 for the plot itself
};

// The kind called `name`, or nothing.
std::optional<ObjectKind> FindObjectKind(std::string_view name);
// The names of the component kinds, for messages: "mesh, grid, cage, labels".
std::string ComponentKindNames();

// The first object of `type` below `root` (depth first, in order), or null.
BaseObject* FindBelow(BaseObject* root, Int32 type);

}  // namespace vantelle::app
