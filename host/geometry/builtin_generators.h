// The host's own generators (the extrude and the text spline) are allocated and
// evaluated through the same records as plug-in objects, so the evaluation pass and the
// caches treat them alike. They are not in the plug-in registry: a module cannot
// replace them, and they are not listed among the modules' types.
#pragma once

#include "host/scene/registry.h"

// The record of a built-in generator type, or null for any other type.
const ObjectPlugin* FindBuiltInGenerator(Int32 type);
