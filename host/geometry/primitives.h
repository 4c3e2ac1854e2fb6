// The host's built-in primitives as polygon meshes.
#pragma once

#include "host/geometry/polygon_object.h"

class BaseThread;

// Primitive parameters.
inline constexpr Int32 PRIM_CUBE_LEN = 1100;       // Vector: edge lengths along X, Y, Z
inline constexpr Int32 PRIM_CUBE_SUBX = 1102;      // Int32: segments along X (at least 1)
inline constexpr Int32 PRIM_CUBE_SUBY = 1103;
inline constexpr Int32 PRIM_CUBE_SUBZ = 1104;
inline constexpr Int32 PRIM_SPHERE_RAD = 1110;     // Float: radius
inline constexpr Int32 PRIM_SPHERE_SUB = 1111;     // Int32: segments around (at least 3)
inline constexpr Int32 PRIM_PLATONIC_RAD = 1120;   // Float: circumradius
inline constexpr Int32 PRIM_PLATONIC_TYPE = 1122;  // Int32: 0 tetra, 1 hexa, 2 octa, 3 dodeca, 4 icosa
inline constexpr Int32 PRIM_PYRAMID_LEN = 1220;    // Vector: base width (X), height (Y), base depth (Z)

// A closed polygon mesh of a primitive type (Ocube, Osphere, Opyramid, Oplatonic) centred
// on its origin, every polygon facing outward; null for other types or when it cannot be
// made. Missing parameters take the host's defaults (cube 200 cm, sphere radius 100 and
// 24 segments, pyramid 200 cm, platonic radius 100 and type 0).
PolygonObject* GeneratePrimitive(BaseDocument* doc, Int32 type, const BaseContainer& bc, Float lod, Bool isoparm,
                                 BaseThread* bt);
