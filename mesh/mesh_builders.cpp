// The three kinds of geometry the mesh component builds from a complete sample grid.
#include <cstring>
#include <limits>
#include <vector>

#include "host/geometry/modeling.h"
#include "host/geometry/primitives.h"
#include "host/geometry/tags.h"
#include "host/scene/document.h"
#include "host/scene/execution.h"
#include "mesh/surfo_mesh.h"
#include "plot/samples.h"

namespace vantelle {

namespace {

// Counts that the host's Int32 point and polygon indices can address, or nothing.
bool FitsInt32(Int64 count) {
  return count >= 0 && count <= std::numeric_limits<Int32>::max();
}

ColorA32 ToColorA32(const Vector& colour, Float32 alpha) {
  return ColorA32{static_cast<Float32>(colour.x), static_cast<Float32>(colour.y), static_cast<Float32>(colour.z), alpha};
}

// Copies the new object's vertex colours onto the component, where materials and other
// objects find them: in place when the size matches, otherwise as a fresh copy.
void PublishVertexColours(BaseObject* component, const VertexColorTag& tag) {
  auto* existing = static_cast<VariableTag*>(component->GetTag(Tvertexcolor));
  if (existing != nullptr && existing->GetDataCount() == tag.GetDataCount()) {
    std::memcpy(existing->GetLowlevelDataAddressW(), tag.GetLowlevelDataAddressR(),
                static_cast<std::size_t>(tag.GetDataCount()) * sizeof(ColorA32));
  } else {
    while (component->GetTag(Tvertexcolor) != nullptr) {
      component->KillTag(Tvertexcolor);
    }
    if (BaseTag* copy = tag.GetClone()) {
      component->InsertTag(copy);
    }
  }
  component->Message(MSG_UPDATE);
}

void RemoveVertexColours(BaseObject* component) {
  if (BaseTag* tag = component->GetTag(Tvertexcolor)) {
    tag->Remove();
    BaseTag::Free(tag);
  }
}

// A solid's shape: point offsets in units of s, and polygons relative to its first point.
struct SolidShape {
  std::vector<Vector> offsets;
  std::vector<CPolygon> polygons;
};

const SolidShape* ShapeFor(Int32 shape) {
  static const SolidShape cube{
      {{-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}, {1, 1, -1}, {-1, -1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, -1, -1}},
      {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 5, 4}, {3, 2, 6, 7}, {0, 3, 7, 4}, {1, 2, 6, 5}}};
  static const SolidShape pyramid{{{-1, -1, 0}, {0, -1, -1}, {1, -1, 0}, {0, -1, 1}, {0, 1, 0}},
                                  {{0, 4, 1, 1}, {1, 4, 2, 2}, {2, 4, 3, 3}, {3, 4, 0, 0}, {0, 1, 2, 3}}};
  // Points at distance ~1: p = 0.526, q = 0.851.
  constexpr Float p = 0.526, q = 0.851;
  static const SolidShape icosahedron{
      {{0, p, -q}, {0, -p, -q}, {q, 0, -p}, {q, 0, p}, {0, p, q}, {0, -p, q}, {-q, 0, p}, {-q, 0, -p},
       {p, q, 0}, {-p, q, 0}, {-p, -q, 0}, {p, -q, 0}},
      {{9, 8, 0}, {8, 2, 0}, {8, 3, 2}, {8, 4, 3}, {8, 9, 4}, {4, 9, 6}, {6, 9, 7}, {9, 0, 7}, {11, 10, 1}, {2, 11, 1},
       {2, 3, 11}, {3, 5, 11}, {5, 10, 11}, {5, 6, 10}, {6, 7, 10}, {7, 1, 10}, {1, 7, 0}, {2, 1, 0}, {4, 5, 3},
       {4, 6, 5}}};
  switch (shape) {
    case SURFOMESH_SOLID_CUBE: return &cube;
    case SURFOMESH_SOLID_PYRAMID: return &pyramid;
    case SURFOMESH_SOLID_ICOSAHEDRON: return &icosahedron;
    default: return nullptr;
  }
}

}  // namespace

PolygonObject* BuildSurface(const PlotSamples& plot, BaseObject* component, Bool vertexColours, Bool phong) {
  if (!plot.IsComplete()) {
    return nullptr;
  }
  const Int64 n = plot.resolution;
  const Int64 h = n + 1;
  if (!FitsInt32(h * h) || !FitsInt32(n * n)) {
    return nullptr;
  }
  const auto pointCount = static_cast<Int32>(h * h);
  const auto polygonCount = static_cast<Int32>(n * n);
  PolygonObject* surface = PolygonObject::Alloc(pointCount, polygonCount);
  if (surface == nullptr) {
    return nullptr;
  }

  VertexColorTag* colours = nullptr;
  if (vertexColours) {
    colours = static_cast<VertexColorTag*>(surface->MakeVariableTag(Tvertexcolor, pointCount));
  } else if (component != nullptr) {
    RemoveVertexColours(component);
  }
  if (phong) {
    surface->MakeTag(Tphong);
  }

  Vector* points = surface->GetPointW();
  ColorA32* colourData = colours != nullptr ? colours->GetDataAddressW() : nullptr;
  for (Int32 k = 0; k < pointCount; ++k) {
    const PlotSample& sample = plot.samples[static_cast<std::size_t>(k)];
    points[k] = sample.position;
    if (colourData != nullptr) {
      colourData[k] = ToColorA32(sample.colour, colourData[k].a);
    }
  }
  if (colours != nullptr && component != nullptr) {
    PublishVertexColours(component, *colours);
  }

  // Each quad runs along +Z, steps along +X and comes back along -Z, so it faces +Y.
  CPolygon* polygons = surface->GetPolygonW();
  const auto side = static_cast<Int32>(n);
  const auto width = static_cast<Int32>(h);
  for (Int32 j = 0; j < polygonCount; ++j) {
    const Int32 k = (j / side) * width + (j % side);
    polygons[j] = CPolygon(k, k + 1, k + width + 1, k + width);
  }

  if (auto* uvw = static_cast<UVWTag*>(VariableTag::Alloc(Tuvw, polygonCount))) {
    surface->InsertTag(uvw);
    UVWStruct* uv = uvw->GetDataAddressW();
    const auto nf = static_cast<Float>(n);
    auto corner = [width, nf](Int32 point) {
      return Vector(static_cast<Float>(point / width) / nf, 1.0 - static_cast<Float>(point % width) / nf, 0.0);
    };
    for (Int32 j = 0; j < polygonCount; ++j) {
      const CPolygon& poly = polygons[j];
      uv[j] = UVWStruct{corner(poly.a), corner(poly.b), corner(poly.c), corner(poly.d)};
    }
  }
  return surface;
}

PolygonObject* BuildSolids(const PlotSamples& plot, Float s, Int32 shape, BaseDocument* doc) {
  const SolidShape* solid = ShapeFor(shape);
  if (solid == nullptr || plot.samples.empty()) {
    return nullptr;
  }
  const auto samples = static_cast<Int64>(plot.samples.size());
  const auto perPoints = static_cast<Int64>(solid->offsets.size());
  const auto perPolygons = static_cast<Int64>(solid->polygons.size());
  if (!FitsInt32(samples * perPoints) || !FitsInt32(samples * perPolygons)) {
    return nullptr;
  }
  PolygonObject* object =
      PolygonObject::Alloc(static_cast<Int32>(samples * perPoints), static_cast<Int32>(samples * perPolygons));
  if (object == nullptr) {
    return nullptr;
  }
  Vector* points = object->GetPointW();
  CPolygon* polygons = object->GetPolygonW();
  for (Int64 i = 0; i < samples; ++i) {
    const Vector centre = plot.samples[static_cast<std::size_t>(i)].position;
    const auto first = static_cast<Int32>(i * perPoints);
    for (Int64 p = 0; p < perPoints; ++p) {
      points[first + p] = centre + solid->offsets[static_cast<std::size_t>(p)] * s;
    }
    for (Int64 q = 0; q < perPolygons; ++q) {
      const CPolygon& rel = solid->polygons[static_cast<std::size_t>(q)];
      polygons[i * perPolygons + q] = CPolygon(first + rel.a, first + rel.b, first + rel.c, first + rel.d);
    }
  }

  if (auto* uvw = static_cast<UVWTag*>(object->MakeVariableTag(Tuvw, object->GetPolygonCount()))) {
    const UVWStruct square{{1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    UVWStruct* uv = uvw->GetDataAddressW();
    for (Int32 j = 0; j < object->GetPolygonCount(); ++j) {
      uv[j] = square;
    }
  }

  // The modelling command runs against a working copy of the scene, never the scene
  // itself; it is only needed here, so it is only made here.
  BaseDocument* workingCopy = doc != nullptr ? doc->GetClone(COPYFLAGS::DOCUMENT) : nullptr;
  ModelingCommandData command;
  command.doc = workingCopy;
  command.op = object;
  SendModelingCommand(MCOMMAND_ALIGNNORMALS, command);
  BaseDocument::Free(workingCopy);
  return object;
}

BaseObject* BuildPrimitives(const PlotSamples& plot, Float s, Int32 type, const HierarchyHelp* hh) {
  BaseObject* result = BaseObject::Alloc(Onull);
  if (result == nullptr) {
    return nullptr;
  }
  BaseContainer bc;
  Int32 hostType = 0;
  switch (type) {
    case SURFOMESH_PRIMITIVE_CUBE:
      hostType = Ocube;
      bc.SetVector(PRIM_CUBE_LEN, Vector(s, s, s));
      bc.SetInt32(PRIM_CUBE_SUBX, 1);
      bc.SetInt32(PRIM_CUBE_SUBY, 1);
      bc.SetInt32(PRIM_CUBE_SUBZ, 1);
      break;
    case SURFOMESH_PRIMITIVE_SPHERE:
      hostType = Osphere;
      bc.SetFloat(PRIM_SPHERE_RAD, 0.5 * s);
      bc.SetInt32(PRIM_SPHERE_SUB, 12);
      break;
    case SURFOMESH_PRIMITIVE_PYRAMID:
      hostType = Opyramid;
      bc.SetVector(PRIM_PYRAMID_LEN, Vector(s, s, s));
      break;
    case SURFOMESH_PRIMITIVE_PLATONIC:
      hostType = Oplatonic;
      bc.SetFloat(PRIM_PLATONIC_RAD, 0.5 * s);
      bc.SetInt32(PRIM_PLATONIC_TYPE, 4);
      break;
    default:
      return result;
  }

  const Float lod = hh != nullptr ? hh->GetLOD() : 1.0;
  BaseThread* thread = hh != nullptr ? hh->GetThread() : nullptr;
  for (const PlotSample& sample : plot.samples) {
    PolygonObject* primitive = GeneratePrimitive(nullptr, hostType, bc, lod, false, thread);
    if (primitive == nullptr) {
      continue;
    }
    if (hostType == Osphere && primitive->GetTag(Tphong) == nullptr) {
      primitive->MakeTag(Tphong);
    }
    primitive->SetRelPos(sample.position);
    const ObjectColorProperties colour{sample.colour, 1, false};
    primitive->SetColorProperties(&colour);
    // First child each time, so the children run from the last sample to the first.
    primitive->InsertUnder(result);
  }
  return result;
}

}  // namespace vantelle
