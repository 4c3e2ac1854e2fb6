#include "host/geometry/triangulation.h"

#include <GL/glu.h>

#include <cmath>
#include <cstdint>

namespace {

// The tessellator carries a pointer per vertex; ours carry point indices, offset by one
// so that no vertex is a null pointer.
void* IndexData(Int32 index) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(index) + 1); }
Int32 DataIndex(void* data) { return static_cast<Int32>(reinterpret_cast<std::intptr_t>(data) - 1); }

// What one tessellation hands back through its callbacks.
struct Collector {
  std::vector<Vector>* points = nullptr;
  std::vector<std::vector<Int32>>* loops = nullptr;          // boundary pass
  std::vector<std::array<Int32, 3>>* triangles = nullptr;   // filling pass
  Vector normal;
  std::vector<Int32> current;
  bool failed = false;
};

void GLAPIENTRY OnBegin(GLenum /*mode*/, void* user) { static_cast<Collector*>(user)->current.clear(); }

void GLAPIENTRY OnVertex(void* data, void* user) {
  auto* c = static_cast<Collector*>(user);
  c->current.push_back(DataIndex(data));
  if (c->triangles != nullptr && c->current.size() == 3) {
    std::array<Int32, 3> t = {c->current[0], c->current[1], c->current[2]};
    const std::vector<Vector>& p = *c->points;
    // The tessellator's own order depends on its sweep; ours faces the normal.
    if (Dot(Cross(p[t[1]] - p[t[0]], p[t[2]] - p[t[0]]), c->normal) < 0.0) {
      std::swap(t[1], t[2]);
    }
    c->triangles->push_back(t);
    c->current.clear();
  }
}

void GLAPIENTRY OnEnd(void* user) {
  auto* c = static_cast<Collector*>(user);
  if (c->loops != nullptr && c->current.size() >= 3) {
    c->loops->push_back(c->current);
  }
  c->current.clear();
}

// Outlines cross or touch here. Where they only touch, at a point they already have (two
// loops of the boundary sharing a corner), that point stays the one point, so caps and
// walls keep meeting there; a crossing gets a new point.
void GLAPIENTRY OnCombine(GLdouble coords[3], void* data[4], GLfloat /*weight*/[4], void** outData, void* user) {
  auto* c = static_cast<Collector*>(user);
  const Vector at(coords[0], coords[1], coords[2]);
  for (int i = 0; i < 4; ++i) {
    if (data[i] != nullptr && (*c->points)[static_cast<std::size_t>(DataIndex(data[i]))] == at) {
      *outData = data[i];
      return;
    }
  }
  c->points->push_back(at);
  *outData = IndexData(static_cast<Int32>(c->points->size()) - 1);
}

void GLAPIENTRY OnError(GLenum /*error*/, void* user) { static_cast<Collector*>(user)->failed = true; }

// Asking for edge flags makes the tessellator hand out separate triangles only, no fans
// or strips.
void GLAPIENTRY OnEdgeFlag(GLboolean /*flag*/, void* /*user*/) {}

template <class F>
_GLUfuncptr Callback(F* f) {
  return reinterpret_cast<_GLUfuncptr>(f);
}

// One run of the tessellator over `loops` (indices into c.points).
bool Tessellate(const std::vector<std::vector<Int32>>& loops, bool boundaryOnly, Collector& c) {
  GLUtesselator* tess = gluNewTess();
  if (tess == nullptr) {
    return false;
  }
  gluTessCallback(tess, GLU_TESS_BEGIN_DATA, Callback(OnBegin));
  gluTessCallback(tess, GLU_TESS_VERTEX_DATA, Callback(OnVertex));
  gluTessCallback(tess, GLU_TESS_END_DATA, Callback(OnEnd));
  gluTessCallback(tess, GLU_TESS_COMBINE_DATA, Callback(OnCombine));
  gluTessCallback(tess, GLU_TESS_ERROR_DATA, Callback(OnError));
  if (!boundaryOnly) {
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, Callback(OnEdgeFlag));
  }
  gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
  gluTessProperty(tess, GLU_TESS_BOUNDARY_ONLY, boundaryOnly ? GL_TRUE : GL_FALSE);
  gluTessNormal(tess, c.normal.x, c.normal.y, c.normal.z);

  // The tessellator reads the coordinates when the polygon ends, so they stay put until
  // then; points made by crossings only ever come after them.
  std::vector<std::array<GLdouble, 3>> coords;
  std::size_t total = 0;
  for (const auto& loop : loops) {
    total += loop.size();
  }
  coords.reserve(total);
  gluTessBeginPolygon(tess, &c);
  for (const auto& loop : loops) {
    gluTessBeginContour(tess);
    for (const Int32 index : loop) {
      const Vector& p = (*c.points)[static_cast<std::size_t>(index)];
      coords.push_back({p.x, p.y, p.z});
      gluTessVertex(tess, coords.back().data(), IndexData(index));
    }
    gluTessEndContour(tess);
  }
  gluTessEndPolygon(tess);
  gluDeleteTess(tess);
  return !c.failed;
}

// The tessellator refuses coordinates beyond this; well below it, so sums stay finite.
constexpr Float kMaxCoordinate = 1e100;

bool Usable(const Vector& p) {
  return std::abs(p.x) < kMaxCoordinate && std::abs(p.y) < kMaxCoordinate && std::abs(p.z) < kMaxCoordinate;
}

}  // namespace

bool FillOddRegion(const std::vector<std::vector<Vector>>& loops, const Vector& normal, FilledRegion& out) {
  out = FilledRegion{};
  const Vector n = normal.GetNormalized();
  if (n == Vector()) {
    return false;
  }
  std::vector<std::vector<Int32>> input;
  for (const auto& loop : loops) {
    std::vector<Int32> indices;
    for (const Vector& p : loop) {
      if (Usable(p)) {
        indices.push_back(static_cast<Int32>(out.points.size()));
        out.points.push_back(p);
      }
    }
    if (indices.size() >= 3) {
      input.push_back(std::move(indices));
    }
  }
  // First the boundary alone, which settles crossings and overlaps once; then the
  // triangles of that clean boundary, which then share its edges exactly.
  Collector boundary{&out.points, &out.boundaries, nullptr, n, {}, false};
  Collector filling{&out.points, nullptr, &out.triangles, n, {}, false};
  if (!Tessellate(input, true, boundary) || !Tessellate(out.boundaries, false, filling)) {
    out = FilledRegion{};
    return false;
  }
  return true;
}
