#include <benchmark/benchmark.h>

#include "host/core/formula.h"
#include "plot/formula_preparation.h"

namespace {

// One sample of the default plot: the default formula prepared with a grid point's values
// and evaluated by the host, as sampling does (2,601 times at the default resolution).
void BM_PrepareAndEvaluate(benchmark::State& state) {
  const String formula("Sin(x) * Cos(z)");
  Float x = -180.0;
  Float sum = 0.0;
  for (auto _ : state) {
    Bool usesTime = false;
    const vantelle::VariableValues values{0.0, x, -172.8, 50.0, 25.0, 0.0};
    const String prepared = vantelle::PrepareFormula(formula, values, usesTime);
    sum += StringToNumber(prepared, FORMAT_FLOAT, 30).GetFloat();
    x = x >= 180.0 ? -180.0 : x + 7.2;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PrepareAndEvaluate);

void BM_Evaluate(benchmark::State& state) {
  const String text("Sin(-180) * Cos(-172.8)");
  for (auto _ : state) {
    benchmark::DoNotOptimize(StringToNumber(text, FORMAT_FLOAT, 30));
  }
}
BENCHMARK(BM_Evaluate);

}  // namespace
