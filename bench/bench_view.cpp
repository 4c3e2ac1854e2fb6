// Redrawing the interactive view while a handle is dragged, on Mesa's software renderer:
// each frame moves the size handle (SetHandle, then the evaluation pass, which rescales
// without evaluating the formula), gathers the scene and draws it at the view's size.
#include <benchmark/benchmark.h>

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
  for (auto _ : state) {
    // Back and forth over 120 pixels, as a hand drags.
    const double t = static_cast<double>(step % 40 < 20 ? step % 40 : 40 - step % 40) / 20.0;
    ++step;
    model.DragTo(from.x - 120.0 * t, from.y);
    model.Update();
    renderer.Upload(model.Scene());
    frame.Bind();
    renderer.Draw(model.GetCamera(), ViewRegion::Whole(kWidth, kHeight));
    frame.Read(0, 0, 1, 1, pixel);  // waits for the frame to be drawn
  }
  model.EndDrag();
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["formula_evaluations"] = static_cast<double>(model.Status().evaluations - evaluations);
}
BENCHMARK(BM_ViewHandleDragRedraw)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
