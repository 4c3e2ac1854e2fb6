#include <benchmark/benchmark.h>

#include <string>

#include "host/core/gradient.h"
#include "host/files/description.h"

namespace {

// A scene's gradient of `count` knots: read from its text, prepared, and looked up once per
// sample of the default plot.
void BM_GradientLoad(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(0));
  std::string json = "{\"knots\": [";
  for (int i = 0; i < count; ++i) {
    json += (i == 0 ? "" : ", ") + std::string("{\"color\": [1, 0.5, 0], \"position\": ") +
            std::to_string(static_cast<double>((i * 7919) % count) / count) + "}";
  }
  json += "]}";
  Float sum = 0.0;
  for (auto _ : state) {
    const std::optional<GeData> data = GradientFromJson(json, nullptr);
    const Gradient* gradient = data->GetCustomData<Gradient>();
    for (int k = 0; k < 2601; ++k) {
      GradientRenderData render;
      gradient->PrepareRenderData(InitRenderStruct(), render);
      sum += render.CalcGradientPixel(k / 2600.0).y;
    }
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_GradientLoad)->Arg(3)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
