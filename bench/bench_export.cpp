#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "app/gltf_export.h"
#include "host/geometry/polygon_object.h"
#include "host/geometry/tags.h"
#include "host/scene/document.h"

namespace {

// A smooth surface of (n + 1)² points and n² quads, shaped and tagged as the plot's mesh
// is: texture coordinates, vertex colours and smooth shading.
PolygonObject* MakeSurface(Int32 n) {
  const Int32 side = n + 1;
  PolygonObject* op = PolygonObject::Alloc(side * side, n * n);
  Vector* points = op->GetPointW();
  auto* colours = static_cast<VertexColorTag*>(op->MakeVariableTag(Tvertexcolor, side * side));
  ColorA32* colour = colours->GetDataAddressW();
  for (Int32 i = 0; i < side; ++i) {
    for (Int32 j = 0; j < side; ++j) {
      const Float x = -100.0 + 200.0 * i / n;
      const Float z = -100.0 + 200.0 * j / n;
      const Float y = 25.0 * std::sin(0.05 * x) * std::cos(0.05 * z);
      points[i * side + j] = Vector(x, y, z);
      colour[i * side + j] = ColorA32{static_cast<Float32>(0.5 + y / 50.0), 0.3f, static_cast<Float32>(0.5 - y / 50.0), 1.0f};
    }
  }
  CPolygon* polygons = op->GetPolygonW();
  auto* uvw = static_cast<UVWTag*>(op->MakeVariableTag(Tuvw, n * n));
  UVWStruct* uv = uvw->GetDataAddressW();
  const auto uvOf = [&](Int32 i, Int32 j) { return Vector(Float(i) / n, Float(j) / n, 0.0); };
  for (Int32 i = 0; i < n; ++i) {
    for (Int32 j = 0; j < n; ++j) {
      const Int32 a = i * side + j;
      polygons[i * n + j] = CPolygon(a, a + 1, a + side + 1, a + side);
      uv[i * n + j] = UVWStruct{uvOf(i, j), uvOf(i, j + 1), uvOf(i + 1, j + 1), uvOf(i + 1, j)};
    }
  }
  op->MakeTag(Tphong);
  return op;
}

// Export of one plot surface at resolution n (2n² triangles) to a file in /tmp.
void BM_ExportGlb(benchmark::State& state) {
  BaseDocument* doc = BaseDocument::Alloc();
  doc->InsertObject(MakeSurface(static_cast<Int32>(state.range(0))), nullptr, nullptr);
  const std::filesystem::path file = "/tmp/vantelle_bench_export_" + std::to_string(getpid()) + ".glb";
  for (auto _ : state) {
    vantelle::app::WriteGlb(doc, Filename(file));
  }
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
  std::filesystem::remove(file);
  BaseDocument::Free(doc);
}
BENCHMARK(BM_ExportGlb)->Arg(50)->Arg(200)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
