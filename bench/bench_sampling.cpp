#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/plot_scene.h"
#include "host/core/formula_functions.h"
#include "host/core/gradient.h"

namespace {

using namespace vantelle;

// Full computations of the scene's plot with FORMULA, one per iteration: a trailing blank
// added and taken away changes the text, not the value, so each pass computes every sample.
void ComputeRepeatedly(benchmark::State& state, PlotScene& scene, const std::string& formula) {
  SurfoObject* data = scene.data();
  bool padded = false;
  for (auto _ : state) {
    scene.plot()->GetDataInstance()->SetString(SURFO_FORMULA, String(padded ? formula : formula + " "));
    padded = !padded;
    data->Execute(scene.plot(), scene.doc(), nullptr, 5000, EXECUTIONFLAGS::NONE);
    benchmark::DoNotOptimize(data->GetSamples().data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(data->GetSamples().size()));
}

// A full computation of the default plot: every sample prepared, evaluated and coloured.
void BM_Sample(benchmark::State& state) {
  PlotScene scene(static_cast<Int32>(state.range(0)));
  ComputeRepeatedly(state, scene, "Sin(x) * Cos(z)");
}
BENCHMARK(BM_Sample)->Arg(50)->Arg(200)->Arg(1000)->Unit(benchmark::kMillisecond);

// The same computation with every sample's text filled in and evaluated, the reference way.
void BM_SampleAsText(benchmark::State& state) {
  PlotScene scene(static_cast<Int32>(state.range(0)));
  scene.data()->SetEvaluateAsText(true);
  ComputeRepeatedly(state, scene, "Sin(x) * Cos(z)");
}
BENCHMARK(BM_SampleAsText)->Arg(200)->Unit(benchmark::kMillisecond);

// What the default plot's samples cost written directly in C++, in one thread: the same
// functions of the host, heights, extremes, gradient colours and positions, no formula.
void BM_SampleDirect(benchmark::State& state) {
  const auto n = static_cast<Int32>(state.range(0));
  PlotScene scene(n);
  const BaseContainer& bc = *scene.plot()->GetDataInstance();
  const Gradient* gradient = bc.GetCustomData<Gradient>(SURFO_GRADIENT);
  const Float b = bc.GetFloat(SURFO_HEIGHT) * 0.5;
  const Float xMin = bc.GetFloat(SURFO_XMIN);
  const Float step = (bc.GetFloat(SURFO_XMAX) - xMin) / n;
  const Float cell = bc.GetFloat(SURFO_SIZE) / n;
  const Int64 w = n + 1;
  std::vector<PlotSample> samples;
  samples.reserve(static_cast<std::size_t>(w * w));
  std::vector<Float> heights(static_cast<std::size_t>(w * w));
  for (auto _ : state) {
    samples.clear();
    Float lo = MAXVALUE_FLOAT;
    Float hi = -MAXVALUE_FLOAT;
    for (Int64 r = 0; r < w; ++r) {
      const Float sx = formula_functions::Apply(formula_functions::Fn::kSin, xMin + static_cast<Float>(r) * step, 0.0);
      for (Int64 c = 0; c < w; ++c) {
        const Float cz = formula_functions::Apply(formula_functions::Fn::kCos, xMin + static_cast<Float>(c) * step, 0.0);
        const Float level = sx * cz * b;
        lo = std::min(lo, level);
        hi = std::max(hi, level);
        heights[static_cast<std::size_t>(r * w + c)] = level;
      }
    }
    benchmark::DoNotOptimize(lo);
    benchmark::DoNotOptimize(hi);
    for (Int64 r = 0; r < w; ++r) {
      for (Int64 c = 0; c < w; ++c) {
        const Float y = heights[static_cast<std::size_t>(r * w + c)];
        GradientRenderData render;
        gradient->PrepareRenderData(InitRenderStruct(scene.doc()), render);
        const Vector colour = render.CalcGradientPixel(std::clamp((y + b) / (2.0 * b), 0.0, 1.0));
        samples.push_back(PlotSample{Vector(static_cast<Float>(r) * cell - 100.0, y, static_cast<Float>(c) * cell - 100.0),
                                     colour});
      }
    }
    benchmark::DoNotOptimize(samples.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(samples.size()));
}
BENCHMARK(BM_SampleDirect)->Arg(1000)->Unit(benchmark::kMillisecond);

// Presets 1, 6 and 10 at resolution 1000: a formula of one product, of powers, and of a
// square root of a sum.
void BM_SamplePreset(benchmark::State& state) {
  PlotScene scene(1000);
  scene.plot()->SetParameter(DescID(SURFO_PRESET), GeData(static_cast<Int32>(state.range(0))));
  ComputeRepeatedly(state, scene, scene.plot()->GetDataInstance()->GetString(SURFO_FORMULA).GetStd());
}
BENCHMARK(BM_SamplePreset)->Arg(1)->Arg(6)->Arg(10)->Unit(benchmark::kMillisecond);

// A formula of 100 KB at resolution 50: reading it once keeps the cost linear in its length.
void BM_SampleLongFormula(benchmark::State& state) {
  PlotScene scene(50);
  std::string text = "x";
  while (text.size() < 100 * 1024) {
    text += " + Sin(x * 0.5) * z - z / 3";
  }
  ComputeRepeatedly(state, scene, text);
}
BENCHMARK(BM_SampleLongFormula)->Unit(benchmark::kMillisecond);

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
