#include "host/geometry/extrusion.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "host/geometry/triangulation.h"

namespace {

// Twice the vector area of a loop (Newell): its direction is the loop's normal by the
// right-hand rule, its length twice the area it encloses.
Vector LoopNormal(const std::vector<Vector>& loop) {
  Vector n;
  for (std::size_t i = 0; i < loop.size(); ++i) {
    const Vector& a = loop[i];
    const Vector& b = loop[(i + 1) % loop.size()];
    n += Cross(a, b);
  }
  return n;
}

bool Finite(const Vector& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// The normal of the plane the loops lie in, pointing along `move` when that leaves the
// plane, otherwise towards its largest component's positive side. Loops turn either way
// (a font's holes turn against its outer outlines), so each counts with the sign that
// agrees with the largest.
Vector PlaneNormal(const std::vector<std::vector<Vector>>& loops, const Vector& move) {
  std::vector<Vector> normals;
  std::size_t largest = 0;
  for (const auto& loop : loops) {
    normals.push_back(LoopNormal(loop));
    if (normals.back().GetLength() > normals[largest].GetLength()) {
      largest = normals.size() - 1;
    }
  }
  Vector n;
  for (const Vector& loopNormal : normals) {
    n += Dot(loopNormal, normals[largest]) < 0.0 ? -loopNormal : loopNormal;
  }
  n = n.GetNormalized();
  if (n == Vector() || !Finite(n)) {
    n = move.GetNormalized();
    if (n == Vector() || !Finite(n)) {
      n = Vector(0.0, 0.0, 1.0);
    }
  }
  const Float along = Dot(n, move);
  if (along < 0.0) {
    return -n;
  }
  if (along == 0.0) {
    const Float dominant = std::abs(n.x) >= std::abs(n.y) && std::abs(n.x) >= std::abs(n.z) ? n.x
                           : std::abs(n.y) >= std::abs(n.z)                                 ? n.y
                                                                                            : n.z;
    return dominant < 0.0 ? -n : n;
  }
  return n;
}

// Points and polygons as they are gathered, before they go into the object.
struct MeshBuilder {
  std::vector<Vector> points;
  std::vector<CPolygon> polygons;

  Int32 Add(const Vector& p) {
    points.push_back(p);
    return static_cast<Int32>(points.size()) - 1;
  }
  // A band between a line of points and the same line moved, facing by the right-hand
  // rule of the line's direction and the move.
  void Band(const std::vector<Int32>& front, const std::vector<Int32>& back, bool closed) {
    const std::size_t n = front.size();
    const std::size_t spans = closed ? n : n - 1;
    for (std::size_t i = 0; i < spans; ++i) {
      const std::size_t j = (i + 1) % n;
      polygons.emplace_back(front[i], front[j], back[j], back[i]);
    }
  }
};

void AddClosed(const std::vector<std::vector<Vector>>& loops, const Vector& move, MeshBuilder& mesh) {
  const Vector n = PlaneNormal(loops, move);
  FilledRegion region;
  if (!FillOddRegion(loops, n, region) || region.triangles.empty()) {
    return;
  }
  const bool solid = Dot(n, move) > 0.0;
  // Only the points the region uses: a loop with no area leaves its points behind.
  constexpr Int32 kUnused = -1;
  std::vector<Int32> front(region.points.size(), kUnused);
  std::vector<Int32> back(region.points.size(), kUnused);
  const auto use = [&](Int32 index) {
    const auto i = static_cast<std::size_t>(index);
    if (front[i] == kUnused) {
      front[i] = mesh.Add(region.points[i]);
      if (solid) {
        back[i] = mesh.Add(region.points[i] + move);
      }
    }
  };
  for (const auto& t : region.triangles) {
    for (const Int32 index : t) {
      use(index);
    }
  }
  for (const auto& loop : region.boundaries) {
    for (const Int32 index : loop) {
      use(index);
    }
  }
  // The region's triangles face along n, which the front cap must face away from.
  for (const auto& t : region.triangles) {
    mesh.polygons.emplace_back(front[t[0]], front[t[2]], front[t[1]]);
    if (solid) {
      mesh.polygons.emplace_back(back[t[0]], back[t[1]], back[t[2]]);
    }
  }
  if (!solid) {
    return;
  }
  // Outer loops turn positively about n and holes negatively, so a wall quad
  // (a, b, b moved, a moved) faces out of the solid on both.
  for (const auto& loop : region.boundaries) {
    std::vector<Int32> loopFront, loopBack;
    for (const Int32 index : loop) {
      loopFront.push_back(front[static_cast<std::size_t>(index)]);
      loopBack.push_back(back[static_cast<std::size_t>(index)]);
    }
    mesh.Band(loopFront, loopBack, true);
  }
}

void AddOpen(const std::vector<Vector>& line, const Vector& move, MeshBuilder& mesh) {
  std::vector<Int32> front, back;
  for (const Vector& p : line) {
    if (Finite(p) && (front.empty() || !(mesh.points[static_cast<std::size_t>(front.back())] == p))) {
      front.push_back(mesh.Add(p));
      back.push_back(mesh.Add(p + move));
    }
  }
  if (front.size() >= 2) {
    mesh.Band(front, back, false);
  }
}

}  // namespace

PolygonObject* ExtrudeOutlines(const std::vector<ExtrusionOutlines>& inputs, const Vector& move) {
  MeshBuilder mesh;
  const bool moves = Finite(move) && move != Vector();
  for (const ExtrusionOutlines& input : inputs) {
    std::vector<std::vector<Vector>> loops;
    for (const auto& loop : input.closed) {
      std::vector<Vector> clean;
      for (const Vector& p : loop) {
        if (Finite(p) && (clean.empty() || !(clean.back() == p))) {
          clean.push_back(p);
        }
      }
      while (clean.size() > 1 && clean.back() == clean.front()) {
        clean.pop_back();
      }
      if (clean.size() >= 3) {
        loops.push_back(std::move(clean));
      }
    }
    if (!loops.empty()) {
      AddClosed(loops, Finite(move) ? move : Vector(), mesh);
    }
    if (moves) {
      for (const auto& line : input.open) {
        AddOpen(line, move, mesh);
      }
    }
  }
  if (mesh.points.size() > static_cast<std::size_t>(std::numeric_limits<Int32>::max()) ||
      mesh.polygons.size() > static_cast<std::size_t>(std::numeric_limits<Int32>::max())) {
    return PolygonObject::Alloc(0, 0);
  }
  PolygonObject* op =
      PolygonObject::Alloc(static_cast<Int32>(mesh.points.size()), static_cast<Int32>(mesh.polygons.size()));
  if (op == nullptr) {
    return nullptr;
  }
  std::copy(mesh.points.begin(), mesh.points.end(), op->GetPointW());
  std::copy(mesh.polygons.begin(), mesh.polygons.end(), op->GetPolygonW());
  return op;
}
