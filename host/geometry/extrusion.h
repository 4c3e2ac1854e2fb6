// Solids from outlines: closed outlines swept along a vector become a closed mesh with a
// cap at each end and walls between; open outlines become bands.
#pragma once

#include <vector>

#include "host/geometry/polygon_object.h"

// The outlines of one spline, in the coordinates of the solid to build.
struct ExtrusionOutlines {
  std::vector<std::vector<Vector>> closed;  // loops; the last point joins the first
  std::vector<std::vector<Vector>> open;    // lines
};

// A new polygon object holding every input swept along `move`, or null when memory runs
// out. Each input is filled on its own:
// - Its closed outlines bound one region by the odd winding rule, so nested outlines cut
//   holes ("0", "8", "@") whatever their direction, and outlines that cross or overlap
//   are settled once for caps and walls alike.
// - The front cap lies on the outlines and faces away from `move`; the back cap is the
//   front moved by `move` and faces along it; walls join their edges facing outward.
//   Caps are triangles, walls quads. Every edge is shared by exactly two polygons, used
//   once in each direction, and every polygon faces outward (Cross(b - a, c - a) by the
//   host's convention), so the mesh is closed with a positive volume. Only outlines
//   that touch themselves or each other at a point share a vertex among more polygons.
// - When `move` lies in the outlines' plane (a zero vector included) there is no solid:
//   the front cap alone, facing the side the plane's normal's largest component points
//   away from (-Z for text in the XY plane).
// - Open outlines become bands of quads along `move`, and nothing without a move.
// Points that are not finite, and outlines too short to span anything, are left out.
PolygonObject* ExtrudeOutlines(const std::vector<ExtrusionOutlines>& inputs, const Vector& move);
