#include <benchmark/benchmark.h>

#include "host/execution.h"
#include "host/registry.h"
#include "main/type_ids.h"
#include "plot/surfo_object.h"

namespace {

using namespace vantelle;

// A document holding one default plot at the given resolution.
class PlotScene {
public:
  explicit PlotScene(Int32 resolution) {
    if (FindObjectPlugin(Osurfo) == nullptr) {
      RegisterObjectPlugin(Osurfo, String("Plot"), 0x8104, SurfoObject::Alloc, String(), nullptr, 0);
    }
    doc_ = BaseDocument::Alloc();
    plot_ = BaseObject::Alloc(Osurfo);
    plot_->GetDataInstance()->SetInt32(SURFO_RESOLUTION, resolution);
    doc_->InsertObject(plot_, nullptr, nullptr);
  }
  ~PlotScene() { BaseDocument::Free(doc_); }
  PlotScene(const PlotScene&) = delete;
  PlotScene& operator=(const PlotScene&) = delete;

  BaseDocument* doc() const { return doc_; }
  BaseObject* plot() const { return plot_; }
  SurfoObject* data() const { return plot_->GetNodeData<SurfoObject>(); }

private:
  BaseDocument* doc_ = nullptr;
  BaseObject* plot_ = nullptr;
};

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
