#include <benchmark/benchmark.h>

#include "bench/plot_scene.h"

namespace {

using namespace vantelle;

// A full computation of the default plot: every sample prepared, evaluated and coloured.
void BM_Sample(benchmark::State& state) {
  PlotScene scene(static_cast<Int32>(state.range(0)));
  SurfoObject* data = scene.data();
  Float formulaSwitch = 0.0;
  for (auto _ : state) {
    // Alternating between two equal formulas forces a full computation each time.
    scene.plot()->GetDataInstance()->SetString(SURFO_FORMULA,
                                               String(formulaSwitch == 0.0 ? "Sin(x) * Cos(z)" : "Sin(x)*Cos(z)"));
    formulaSwitch = 1.0 - formulaSwitch;
    data->Execute(scene.plot(), scene.doc(), nullptr, 5000, EXECUTIONFLAGS::NONE);
    benchmark::DoNotOptimize(data->GetSamples().data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(data->GetSamples().size()));
}
BENCHMARK(BM_Sample)->Arg(50)->Arg(200)->Arg(1000)->Unit(benchmark::kMillisecond);

// A height change of computed samples: a rescale, no evaluation.
void BM_Rescale(benchmark::State& state) {
  PlotScene scene(static_cast<Int32>(state.range(0)));
  SurfoObject* data = scene.data();
  data->Execute(scene.plot(), scene.doc(), nullptr, 5000, EXECUTIONFLAGS::NONE);
  Float height = 50.0;
  for (auto _ : state) {
    height = height == 50.0 ? 60.0 : 50.0;
    scene.plot()->GetDataInstance()->SetFloat(SURFO_HEIGHT, height);
    data->Execute(scene.plot(), scene.doc(), nullptr, 5000, EXECUTIONFLAGS::NONE);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(data->GetSamples().size()));
}
BENCHMARK(BM_Rescale)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
