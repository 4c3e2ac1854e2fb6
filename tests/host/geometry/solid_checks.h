// Facts about a triangle mesh that say whether it is a proper solid: closed, wound one
// way, facing outward, and in how many parts with how many holes through each.
#pragma once

#include <algorithm>
#include <array>
#include <map>
#include <numeric>
#include <utility>
#include <vector>

#include "host/geometry/polygon_object.h"

namespace solid_checks {

using Triangle = std::array<Int32, 3>;

struct SolidFacts {
  std::size_t triangles = 0;
  // Directed edges that are not matched by exactly one edge running the other way, nor
  // used once themselves: 0 exactly when every edge joins two triangles wound alike.
  std::size_t unpairedEdges = 0;
  // Edges used more often in one direction than in the other: 0 for any closed surface,
  // also where parts touch at a point and an edge there joins four triangles.
  std::size_t unbalancedEdges = 0;
  // Signed volume: positive when the triangles face outward.
  Float volume = 0.0;
  // Holes through each connected part (its genus), parts ordered by their centre's x.
  std::vector<Int32> genusAlongX;
};

inline std::vector<Triangle> Triangles(const PolygonObject& op) {
  std::vector<Triangle> out;
  for (Int32 i = 0; i < op.GetPolygonCount(); ++i) {
    const CPolygon& p = op.GetPolygonR()[i];
    out.push_back({p.a, p.b, p.c});
    if (!p.IsTriangle()) {
      out.push_back({p.a, p.c, p.d});
    }
  }
  return out;
}

inline SolidFacts Examine(const std::vector<Vector>& points, const std::vector<Triangle>& triangles) {
  SolidFacts facts;
  facts.triangles = triangles.size();
  std::map<std::pair<Int32, Int32>, Int32> directed;
  std::vector<Int32> parent(points.size());
  std::iota(parent.begin(), parent.end(), 0);
  const auto root = [&](Int32 i) {
    while (parent[i] != i) {
      i = parent[i] = parent[parent[i]];
    }
    return i;
  };
  for (const Triangle& t : triangles) {
    for (int k = 0; k < 3; ++k) {
      ++directed[{t[k], t[(k + 1) % 3]}];
      parent[root(t[k])] = root(t[(k + 1) % 3]);
    }
    facts.volume += Dot(points[t[0]], Cross(points[t[1]], points[t[2]])) / 6.0;
  }
  struct Part {
    std::size_t vertices = 0, edges = 0, faces = 0;
    Vector sum;
  };
  std::map<Int32, Part> parts;
  std::vector<bool> seen(points.size(), false);
  for (const Triangle& t : triangles) {
    Part& part = parts[root(t[0])];
    ++part.faces;
    for (const Int32 v : t) {
      if (!seen[v]) {
        seen[v] = true;
        ++part.vertices;
        part.sum += points[v];
      }
    }
  }
  for (const auto& [edge, count] : directed) {
    const auto reverse = directed.find({edge.second, edge.first});
    if (count != 1 || reverse == directed.end() || reverse->second != 1) {
      ++facts.unpairedEdges;
    }
    if (count != (reverse == directed.end() ? 0 : reverse->second)) {
      ++facts.unbalancedEdges;
    }
    if (edge.first < edge.second || reverse == directed.end()) {
      ++parts[root(edge.first)].edges;
    }
  }
  std::vector<std::pair<Float, Int32>> byX;
  for (const auto& [id, part] : parts) {
    const auto euler = static_cast<Int64>(part.vertices) - static_cast<Int64>(part.edges) + static_cast<Int64>(part.faces);
    byX.emplace_back(part.sum.x / static_cast<Float>(part.vertices), static_cast<Int32>((2 - euler) / 2));
  }
  std::sort(byX.begin(), byX.end());
  for (const auto& [x, genus] : byX) {
    facts.genusAlongX.push_back(genus);
  }
  return facts;
}

inline SolidFacts Examine(const PolygonObject& op) {
  return Examine(std::vector<Vector>(op.GetPointR(), op.GetPointR() + op.GetPointCount()), Triangles(op));
}

}  // namespace solid_checks
