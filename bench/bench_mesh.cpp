#include <benchmark/benchmark.h>

#include "bench/plot_scene.h"
#include "host/geometry/polygon_object.h"

namespace {

using namespace vantelle;

// The surface as the mesh component builds it by default: points, quads, texture
// coordinates and a phong tag; with the second argument 1, vertex colours too.
void BM_SurfaceBuild(benchmark::State& state) {
  const PlotScene scene(static_cast<Int32>(state.range(0)), true);
  const Bool vertexColours = state.range(1) != 0;
  for (auto _ : state) {
    BaseObject* surface = BuildSurface(scene.samples(), scene.mesh(), vertexColours, true);
    benchmark::DoNotOptimize(surface);
    BaseObject::Free(surface);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(scene.samples().samples.size()));
}
BENCHMARK(BM_SurfaceBuild)->Args({50, 0})->Args({200, 0})->Args({1000, 0})->Args({1000, 1})->Unit(benchmark::kMillisecond);

// Solid cubes at every sample, aligned.
void BM_SolidsBuild(benchmark::State& state) {
  const PlotScene scene(static_cast<Int32>(state.range(0)), true);
  for (auto _ : state) {
    BaseObject* solids = BuildSolids(scene.samples(), 1.0, SURFOMESH_SOLID_CUBE, nullptr);
    benchmark::DoNotOptimize(solids);
    BaseObject::Free(solids);
  }
}
BENCHMARK(BM_SolidsBuild)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace
