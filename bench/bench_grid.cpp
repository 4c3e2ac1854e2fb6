#include <benchmark/benchmark.h>

#include "bench/plot_scene.h"
#include "grid/surfo_grid.h"
#include "host/geometry/spline_object.h"

namespace {

using namespace vantelle;

// The grid's spline through every row and column (step 1) of the default plot.
void BM_Grid(benchmark::State& state) {
  PlotScene scene(static_cast<Int32>(state.range(0)));
  ExecutePasses(scene.doc(), false);
  for (auto _ : state) {
    BaseObject* grid = BuildGridSpline(scene.samples(), 1);
    benchmark::DoNotOptimize(grid);
    BaseObject::Free(grid);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(scene.samples().samples.size()));
}
BENCHMARK(BM_Grid)->Arg(50)->Arg(200)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
