// Redrawing the interactive view while a handle is dragged, on Mesa's software renderer:
// each frame moves the size handle (SetHandle, then the evaluation pass, which rescales
// without evaluating the formula), gathers the scene and draws it at the view's size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "app/plot_command.h"
#include "app/render/framebuffer.h"
#include "app/render/offscreen_context.h"
#include "app/render/viewport_renderer.h"
#include "app/session.h"
#include "app/view/view_model.h"
#include "app/view/view_window.h"

namespace {

using namespace vantelle::app;

// The scene part of the view's default 1440 x 860 window.
constexpr int kWidth = 1440 - kPanelWidth;
constexpr int kHeight = 860 - kBarHeight;

void BM_ViewHandleDragRedraw(benchmark::State& state) {
  Session session;
  session.LoadModules(Filename(VANTELLE_PLUGIN_FOLDER));
  PlotOptions options;  // the whole plot: mesh, grid, cage and labels
  options.settings = {"SURFO_RESOLUTION=" + std::to_string(state.range(0))};
  BaseObject* plot = SetUpPlot(session, options);
  ViewModel model(session);
  model.Resize(kWidth, kHeight);
  OffscreenContext context;
  ViewportRenderer renderer(context.Gl());
  Framebuffer frame(context.Gl(), kWidth, kHeight);
  std::vector<unsigned char> pixel;

  // A first frame compiles the renderer's shaders, which is not part of any drag.
  renderer.Upload(model.Scene());
  frame.Bind();
  renderer.Draw(model.GetCamera(), ViewRegion::Whole(kWidth, kHeight));
  frame.Read(0, 0, 1, 1, pixel);

  const Vector from = *model.HandleOnScreen({plot, 0});
  const Int64 evaluations = model.Status().evaluations;
  model.BeginDrag({plot, 0});
  int step = 0;
  // Wall time of each phase, so that a change shows where it saved.
  using Clock = std::chrono::steady_clock;
  std::chrono::duration<double, std::milli> pass{}, gather{}, upload{}, draw{}, finish{};
  for (auto _ : state) {
    // Back and forth over 120 pixels, as a hand drags.
    const double t = static_cast<double>(step % 40 < 20 ? step % 40 : 40 - step % 40) / 20.0;
    ++step;
    const Clock::time_point t0 = Clock::now();
    model.DragTo(from.x - 120.0 * t, from.y);
    model.Update();
    const Clock::time_point t1 = Clock::now();
    const ViewportScene& scene = model.Scene();
    const Clock::time_point t2 = Clock::now();
    renderer.Upload(scene);
    const Clock::time_point t3 = Clock::now();
    frame.Bind();
    renderer.Draw(model.GetCamera(), ViewRegion::Whole(kWidth, kHeight));
    const Clock::time_point t4 = Clock::now();
    frame.Read(0, 0, 1, 1, pixel);  // waits for the frame to be drawn
    const Clock::time_point t5 = Clock::now();
    pass += t1 - t0;
    gather += t2 - t1;
    upload += t3 - t2;
    draw += t4 - t3;
    finish += t5 - t4;
  }
  model.EndDrag();
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  const auto perFrame = [&state](std::chrono::duration<double, std::milli> total) {
    return benchmark::Counter(total.count() /
                              static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1)));
  };
  state.counters["pass_ms"] = perFrame(pass);
  state.counters["gather_ms"] = perFrame(gather);
  state.counters["upload_ms"] = perFrame(upload);
  // Draw hands the primitives to the driver; on Mesa's software renderer the pixels are
  // filled by its own threads, which the read back waits for.
  state.counters["draw_ms"] = perFrame(draw);
  state.counters["finish_ms"] = perFrame(finish);
  state.counters["formula_evaluations"] = static_cast<double>(model.Status().evaluations - evaluations);
}
BENCHMARK(BM_ViewHandleDragRedraw)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
