// Filling closed outlines with triangles: regions bounded by outlines with holes (the
// inside of a letter "0", "8" or "@"), by the odd winding rule, through the GLU
// tessellator.
#pragma once

#include <array>
#include <vector>

#include "host/core/types.h"

struct FilledRegion {
  // The outline points in input order (loop after loop), then any point the tessellator
  // made where outlines cross or touch.
  std::vector<Vector> points;
  // The region's boundary, cleaned of crossings and overlaps: closed loops of indices into
  // `points`. Outer loops turn positively about the normal and holes negatively (by the
  // right-hand rule on the coordinates as numbers, whatever handedness they stand for).
  std::vector<std::vector<Int32>> boundaries;
  // Triangles (a, b, c) covering the region exactly, each with Cross(b - a, c - a) along
  // the normal. Every boundary edge is an edge of exactly one triangle, so a cap made of
  // them meets walls built on the boundaries edge for edge.
  std::vector<std::array<Int32, 3>> triangles;
};

// Fills the region that `loops` enclose by the odd winding rule: a point is inside when a
// ray from it crosses the loops an odd number of times, so nested loops make holes
// whatever their direction. The loops should lie roughly in one plane with normal
// `normal` (a non-zero vector); they are seen projected along it.
// Loops of fewer than three points and points that are not finite are left out. False
// (and `out` emptied) when the tessellator gives up; a region with no area is not a
// failure.
bool FillOddRegion(const std::vector<std::vector<Vector>>& loops, const Vector& normal, FilledRegion& out);
