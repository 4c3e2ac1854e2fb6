#include "host/geometry/builtin_generators.h"

#include "host/geometry/extrude_object.h"
#include "host/geometry/text_spline.h"

namespace {

ObjectPlugin Record(Int32 type, const char* name, Int32 info, DataAllocator* allocator) {
  ObjectPlugin plugin;
  plugin.id = type;
  plugin.name = String(name);
  plugin.info = info;
  plugin.allocator = allocator;
  plugin.callsGetVirtualObjects = (info & OBJECT_GENERATOR) != 0;
  plugin.callsGetContour = (info & OBJECT_ISSPLINE) != 0;
  return plugin;
}

}  // namespace

const ObjectPlugin* FindBuiltInGenerator(Int32 type) {
  static const ObjectPlugin kExtrude = Record(Oextrude, "Extrude", OBJECT_GENERATOR | OBJECT_INPUT, ExtrudeData::Alloc);
  static const ObjectPlugin kText =
      Record(Osplinetext, "Text", OBJECT_GENERATOR | OBJECT_ISSPLINE, TextSplineData::Alloc);
  switch (type) {
    case Oextrude: return &kExtrude;
    case Osplinetext: return &kText;
    default: return nullptr;
  }
}
