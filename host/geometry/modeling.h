// Modelling commands on polygon objects.
#pragma once

#include "host/geometry/polygon_object.h"

inline constexpr Int32 MCOMMAND_ALIGNNORMALS = 218;

enum class MODELINGCOMMANDMODE : Int32 { ALL = 0, POINTSELECTION = 1, POLYGONSELECTION = 2 };
enum class MODELINGCOMMANDFLAGS : Int32 { NONE = 0 };

struct ModelingCommandData {
  BaseDocument* doc = nullptr;
  BaseObject* op = nullptr;
  BaseContainer* bc = nullptr;
  MODELINGCOMMANDMODE mode = MODELINGCOMMANDMODE::ALL;
  MODELINGCOMMANDFLAGS flags = MODELINGCOMMANDFLAGS::NONE;
};

// Runs a modelling command on data.op. MCOMMAND_ALIGNNORMALS turns polygons so that
// neighbours sharing an edge wind alike, and every closed part faces outward (positive
// signed volume); polygon texture coordinates turn with their polygons. False for an
// unknown command or an object that is not a polygon object.
Bool SendModelingCommand(Int32 command, ModelingCommandData& data);
