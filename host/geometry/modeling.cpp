#include "host/geometry/modeling.h"

#include <algorithm>
#include <new>
#include <vector>

#include "host/geometry/tags.h"

namespace {

// One polygon's use of an edge. The key names the edge by its two points, lower first;
// `forward` says whether the polygon walks it from the lower point to the higher.
struct EdgeUse {
  UInt64 key;
  Int32 polygon;
  bool forward;
};

// Two polygons meeting at an edge. They agree when they walk it in opposite directions,
// so `sameWay` means one of them has to turn.
struct Link {
  Int32 other;
  bool sameWay;
};

Int32 CornerCount(const CPolygon& p) {
  return p.IsTriangle() ? 3 : 4;
}

Int32 Corner(const CPolygon& p, Int32 i) {
  switch (i) {
    case 0: return p.a;
    case 1: return p.b;
    case 2: return p.c;
    default: return p.d;
  }
}

// Reverses the walk while keeping the first corner: (a, b, c, d) -> (a, d, c, b), and a
// triangle (a, b, c, c) -> (a, c, b, b) so that it stays a triangle.
template <class T>
void Turn(T& b, T& c, T& d, bool triangle) {
  if (triangle) {
    std::swap(b, c);
    d = c;
  } else {
    std::swap(b, d);
  }
}

// Six times the signed volume the polygon closes with `origin`, as the triangles of its
// fan from a.
Float SignedVolume6(const Vector* points, const CPolygon& p, const Vector& origin) {
  const Vector a = points[p.a] - origin;
  const Vector b = points[p.b] - origin;
  const Vector c = points[p.c] - origin;
  Float v = Dot(a, Cross(b, c));
  if (!p.IsTriangle()) {
    v += Dot(a, Cross(c, points[p.d] - origin));
  }
  return v;
}

struct Alignment {
  std::vector<bool> turn;  // per polygon: whether it must be turned
  bool any = false;
};

Alignment Align(const PolygonObject& op) {
  const Int32 count = op.GetPolygonCount();
  const CPolygon* polygons = op.GetPolygonR();
  const Vector* points = op.GetPointR();

  // Every edge use, sorted so that the uses of one edge lie together.
  std::vector<EdgeUse> uses;
  uses.reserve(static_cast<std::size_t>(count) * 4);
  for (Int32 i = 0; i < count; ++i) {
    const CPolygon& p = polygons[i];
    const Int32 corners = CornerCount(p);
    for (Int32 k = 0; k < corners; ++k) {
      const Int32 from = Corner(p, k);
      const Int32 to = Corner(p, (k + 1) % corners);
      if (from == to) {
        continue;  // a collapsed edge joins nothing
      }
      const auto lo = static_cast<UInt64>(std::min(from, to));
      const auto hi = static_cast<UInt64>(std::max(from, to));
      uses.push_back(EdgeUse{(lo << 32) | hi, i, from < to});
    }
  }
  std::sort(uses.begin(), uses.end(), [](const EdgeUse& x, const EdgeUse& y) {
    return x.key != y.key ? x.key < y.key : x.polygon < y.polygon;
  });

  // Links between polygons, kept as one array per polygon (offsets into `links`).
  // An edge shared by exactly two polygons links them. An edge of three or more has no
  // consistent answer, so each of its polygons is only linked to the first: that keeps
  // them in one part and the links linear in number. A part with any edge not used
  // exactly twice is open.
  std::vector<bool> touchesOpenEdge(static_cast<std::size_t>(count), false);
  std::vector<Int32> degree(static_cast<std::size_t>(count) + 1, 0);
  struct Pair {
    Int32 a, b;
    bool sameWay;
  };
  std::vector<Pair> pairs;
  pairs.reserve(uses.size() / 2 + 1);
  for (std::size_t i = 0; i < uses.size();) {
    std::size_t j = i + 1;
    while (j < uses.size() && uses[j].key == uses[i].key) {
      ++j;
    }
    const std::size_t n = j - i;
    for (std::size_t k = i; k < j; ++k) {
      if (n != 2) {
        touchesOpenEdge[static_cast<std::size_t>(uses[k].polygon)] = true;
      }
      if (k > i && uses[k].polygon != uses[i].polygon) {
        pairs.push_back(Pair{uses[i].polygon, uses[k].polygon, uses[i].forward == uses[k].forward});
        ++degree[static_cast<std::size_t>(uses[i].polygon)];
        ++degree[static_cast<std::size_t>(uses[k].polygon)];
      }
    }
    i = j;
  }
  std::vector<Int32> offset(static_cast<std::size_t>(count) + 1, 0);
  for (Int32 i = 0; i < count; ++i) {
    offset[static_cast<std::size_t>(i) + 1] = offset[static_cast<std::size_t>(i)] + degree[static_cast<std::size_t>(i)];
  }
  std::vector<Link> links(static_cast<std::size_t>(offset.back()));
  std::vector<Int32> fill(offset.begin(), offset.end() - 1);
  for (const Pair& pr : pairs) {
    links[static_cast<std::size_t>(fill[static_cast<std::size_t>(pr.a)]++)] = Link{pr.b, pr.sameWay};
    links[static_cast<std::size_t>(fill[static_cast<std::size_t>(pr.b)]++)] = Link{pr.a, pr.sameWay};
  }

  // Flood each part from its first polygon, which keeps its walk. A neighbour reached
  // first decides a polygon's turn; a later disagreement (a non-orientable part, a
  // non-manifold edge) is left as it is, so every polygon is visited once.
  Alignment result;
  result.turn.assign(static_cast<std::size_t>(count), false);
  std::vector<bool> visited(static_cast<std::size_t>(count), false);
  std::vector<Int32> part;
  std::vector<Int32> queue;
  for (Int32 seed = 0; seed < count; ++seed) {
    if (visited[static_cast<std::size_t>(seed)]) {
      continue;
    }
    part.clear();
    queue.clear();
    queue.push_back(seed);
    visited[static_cast<std::size_t>(seed)] = true;
    bool closed = true;
    for (std::size_t head = 0; head < queue.size(); ++head) {
      const Int32 p = queue[head];
      part.push_back(p);
      closed = closed && !touchesOpenEdge[static_cast<std::size_t>(p)];
      const bool turnP = result.turn[static_cast<std::size_t>(p)];
      for (Int32 l = offset[static_cast<std::size_t>(p)]; l < offset[static_cast<std::size_t>(p) + 1]; ++l) {
        const Link& link = links[static_cast<std::size_t>(l)];
        const auto q = static_cast<std::size_t>(link.other);
        if (!visited[q]) {
          visited[q] = true;
          result.turn[q] = turnP != link.sameWay;
          queue.push_back(link.other);
        }
      }
    }
    // A closed part must enclose a positive volume. Measured from a point of the part,
    // so that parts far from the origin keep their precision.
    if (closed) {
      const Vector origin = points[polygons[seed].a];
      Float volume = 0.0;
      for (Int32 p : part) {
        const Float v = SignedVolume6(points, polygons[p], origin);
        volume += result.turn[static_cast<std::size_t>(p)] ? -v : v;
      }
      if (volume < 0.0) {
        for (Int32 p : part) {
          result.turn[static_cast<std::size_t>(p)] = !result.turn[static_cast<std::size_t>(p)];
        }
      }
    }
  }
  result.any = std::find(result.turn.begin(), result.turn.end(), true) != result.turn.end();
  return result;
}

Bool AlignNormals(PolygonObject& op) {
  if (!op.IsValid()) {
    return false;
  }
  Alignment alignment;
  try {
    alignment = Align(op);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!alignment.any) {
    return true;
  }
  const Int32 count = op.GetPolygonCount();
  CPolygon* polygons = op.GetPolygonW();
  // Texture coordinates are per polygon corner, so they turn with their polygon; a tag
  // whose size does not match the polygons cannot be matched up and is left alone.
  auto* uvw = static_cast<UVWTag*>(op.GetTag(Tuvw));
  UVWStruct* uv = uvw != nullptr && uvw->GetDataCount() == count ? uvw->GetDataAddressW() : nullptr;
  for (Int32 i = 0; i < count; ++i) {
    if (!alignment.turn[static_cast<std::size_t>(i)]) {
      continue;
    }
    CPolygon& p = polygons[i];
    const bool triangle = p.IsTriangle();
    Turn(p.b, p.c, p.d, triangle);
    if (uv != nullptr) {
      UVWStruct& t = uv[i];
      Turn(t.b, t.c, t.d, triangle);
    }
  }
  op.Message(MSG_UPDATE);
  return true;
}

}  // namespace

Bool SendModelingCommand(Int32 command, ModelingCommandData& data) {
  if (command != MCOMMAND_ALIGNNORMALS) {
    return false;
  }
  auto* op = dynamic_cast<PolygonObject*>(data.op);
  if (op == nullptr) {
    return false;
  }
  return AlignNormals(*op);
}
