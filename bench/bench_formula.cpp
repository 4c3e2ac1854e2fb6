#include <benchmark/benchmark.h>

#include <string>

#include "host/core/formula.h"
#include "plot/formula_preparation.h"

namespace {

// A formula of about `length` bytes: the default formula, repeated as a sum.
String FormulaOfLength(std::size_t length) {
  std::string text = "Sin(x) * Cos(z)";
  while (text.size() + 18 <= length) {
    text += " + Sin(x) * Cos(z)";
  }
  return String(text);
}

// One sample: the formula prepared with a grid point's values and evaluated by the host,
// as sampling does (2,601 times at the default resolution). The argument is the formula's
// length: the default formula (15 bytes), 10 KB and 120 KB, whose cost per byte should be
// about the same.
void BM_PrepareAndEvaluate(benchmark::State& state) {
  const String formula = FormulaOfLength(static_cast<std::size_t>(state.range(0)));
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
  state.SetBytesProcessed(state.iterations() * formula.GetLength());
}
BENCHMARK(BM_PrepareAndEvaluate)->Arg(15)->Arg(10240)->Arg(122880);

void BM_Evaluate(benchmark::State& state) {
  const String text("Sin(-180) * Cos(-172.8)");
  for (auto _ : state) {
    benchmark::DoNotOptimize(StringToNumber(text, FORMAT_FLOAT, 30));
  }
}
BENCHMARK(BM_Evaluate);

}  // namespace
