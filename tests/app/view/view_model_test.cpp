#include "app/view/view_model.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/plot_command.h"
#include "app/render/framebuffer.h"
#include "app/render/offscreen_context.h"
#include "app/render/viewport_renderer.h"
#include "host/scene/execution.h"
#include "host/ui/base_draw.h"

namespace vantelle::app {
namespace {

// The real module, loaded as the app loads it, with one plot of 51 x 51 samples and no
// components (they would only slow the tests).
class ViewModelTest : public ::testing::Test {
protected:
  void SetUp() override {
    session.LoadModules(Filename(VANTELLE_PLUGIN_FOLDER));
    PlotOptions options;
    options.components = {"none"};
    plot = SetUpPlot(session, options);
    model = std::make_unique<ViewModel>(session);
    model->Resize(800, 600);
  }
  void TearDown() override { model.reset(); }

  Float Get(Int32 id) { return plot->GetDataInstance()->GetFloat(id); }
  String Formula() { return plot->GetDataInstance()->GetString(kFormula); }

  // Projections go through single-precision matrices, so positions agree to about 1e-6 of
  // their size.
  // Drags a handle on screen to where `target` is seen, in a few steps.
  void Drag(Int32 handle, const Vector& target) {
    const Vector from = *model->HandleOnScreen({plot, handle});
    const Vector to = model->GetCamera().Project(target);
    model->BeginDrag({plot, handle});
    for (int step = 1; step <= 4; ++step) {
      model->DragTo(from.x + (to.x - from.x) * step / 4.0, from.y + (to.y - from.y) * step / 4.0);
      model->Update();
    }
    model->EndDrag();
    model->Update();
  }

  static constexpr Int32 kSize = 10004;
  static constexpr Int32 kHeight = 10005;
  static constexpr Int32 kFormula = 10013;
  static constexpr Int32 kPreset = 10025;
  static constexpr Int32 kGradient = 10008;
  static constexpr Int32 kAddComponent = 10029;

  Session session;
  BaseObject* plot = nullptr;
  std::unique_ptr<ViewModel> model;
};

TEST_F(ViewModelTest, DraggedHandlesRescaleWithoutEvaluatingAndUndoAsOneStepEach) {
  ASSERT_EQ(model->Status().samples, 51 * 51);
  const Int64 evaluations = model->Status().evaluations;
  ASSERT_EQ(evaluations, 51 * 51);

  Drag(0, Vector(60, 0, 0));
  EXPECT_NEAR(Get(kSize), 120.0, 1e-4);
  EXPECT_EQ(model->Status().evaluations, evaluations);  // rescaled, not sampled again
  EXPECT_EQ(model->Status().samples, 51 * 51);
  // From the front the height handle moves straight up.
  model->SetView(ViewKind::FRONT);
  Drag(1, Vector(0, 40, 0));
  EXPECT_NEAR(Get(kHeight), 80.0, 1e-4);
  EXPECT_EQ(model->Status().evaluations, evaluations);

  model->Undo();
  EXPECT_EQ(Get(kHeight), 50.0);
  EXPECT_NEAR(Get(kSize), 120.0, 1e-4);
  model->Undo();
  EXPECT_EQ(Get(kSize), 200.0);
  EXPECT_FALSE(model->CanUndo());
  model->Redo();
  EXPECT_NEAR(Get(kSize), 120.0, 1e-4);
  model->Update();
  // Undo and redo are edits the module hears of: the samples follow them.
  EXPECT_EQ(model->Status().evaluations, evaluations);
  const Box bounds = model->Scene().bounds;
  EXPECT_NEAR(bounds.max.x, 60.0, 1e-4);
  EXPECT_NEAR(bounds.max.y, 25.0, 1e-4);
}

TEST_F(ViewModelTest, AHandleOfAMovedTurnedAndScaledPlotFollowsTheCursorInTheObjectsOwnSpace) {
  // Moved, turned a quarter about Y (its X axis now points along +Z) and scaled by 2: the
  // size handle sits at 100 * 2 along +Z from the plot's origin.
  plot->SetRelPos(Vector(30, 10, -20));
  plot->SetRelRot(Vector(PI / 2, 0, 0));
  plot->SetRelScale(Vector(2, 2, 2));
  model->Touch();
  model->Update();
  const Vector axis = plot->GetMg().TransformVector(Vector(1, 0, 0)).GetNormalized();
  ASSERT_NEAR((axis - Vector(0, 0, 1)).GetLength(), 0.0, 1e-12);
  // To 60 scene units from the origin along that axis: 30 of the plot's own, a size of 60.
  Drag(0, plot->GetMg().off + axis * 60.0);
  EXPECT_NEAR(Get(kSize), 60.0, 1e-4);
  const std::optional<Vector> shown = model->HandleOnScreen({plot, 0});
  const Vector wanted = model->GetCamera().Project(plot->GetMg().off + axis * 60.0);
  ASSERT_TRUE(shown);
  EXPECT_NEAR(shown->x, wanted.x, 1e-3);
  EXPECT_NEAR(shown->y, wanted.y, 1e-3);
}

TEST_F(ViewModelTest, TheHandleUnderTheCursorIsHighlightedThroughTheHost) {
  const Vector p0 = *model->HandleOnScreen({plot, 0});
  EXPECT_EQ(model->FindHandleAt(p0.x + 3.0, p0.y - 3.0), (HandleRef{plot, 0}));
  EXPECT_FALSE(model->FindHandleAt(p0.x + 12.0, p0.y));
  model->SetHover(HandleRef{plot, 0});
  // The plot asked the host which handle is under the cursor and drew it in colour 47,
  // the other in colour 12.
  int highlighted = 0;
  int plain = 0;
  for (const PointMark& point : model->Scene().handlesPass.points) {
    if (point.colour == GetViewColor(VIEWCOLOR_SELECTION_PREVIEW)) {
      ++highlighted;
      EXPECT_NEAR((point.position - Vector(100, 0, 0)).GetLength(), 0.0, 1e-9);
    } else if (point.colour == GetViewColor(VIEWCOLOR_ACTIVEPOINT)) {
      ++plain;
    }
  }
  EXPECT_GE(highlighted, 1);
  EXPECT_GE(plain, 1);
  model->SetHover(std::nullopt);
  for (const PointMark& point : model->Scene().handlesPass.points) {
    EXPECT_NE(point.colour, GetViewColor(VIEWCOLOR_SELECTION_PREVIEW));
  }
}

TEST_F(ViewModelTest, EditsReachTheModuleAsMessagesAndUndoRestoresEveryValueTheyChanged) {
  // The preset is applied by the module when it hears of the edit: it writes the formula.
  model->EditParameter(plot, kPreset, GeData(Int32(2)));
  model->Update();
  EXPECT_EQ(Formula().GetStd(), "x * x * z");
  EXPECT_EQ(model->Status().lastEvaluations, 51 * 51);
  EXPECT_TRUE(model->HasUnsavedChanges());

  // The same value again is no edit; a slider's drag is one edit however many steps.
  model->EditParameter(plot, kPreset, GeData(Int32(2)));
  model->EditParameter(plot, kHeight, GeData(Float(60.0)));
  model->EditParameter(plot, kHeight, GeData(Float(70.0)), true);
  model->EditParameter(plot, kHeight, GeData(Float(90.0)), true);
  model->Undo();
  EXPECT_EQ(Get(kHeight), 50.0);
  model->Undo();
  EXPECT_EQ(Formula().GetStd(), "Sin(x) * Cos(z)");
  EXPECT_EQ(plot->GetDataInstance()->GetInt32(kPreset), 0);
  EXPECT_FALSE(model->CanUndo());
  model->Update();
  EXPECT_EQ(model->Status().lastEvaluations, 51 * 51);

  // Redo brings both back; a new edit after an undo drops what was undone.
  model->Redo();
  EXPECT_EQ(Formula().GetStd(), "x * x * z");
  model->Undo();
  model->EditParameterText(plot, "SURFO_FORMULA", "x + z");
  EXPECT_FALSE(model->CanRedo());
  model->Undo();
  EXPECT_EQ(Formula().GetStd(), "Sin(x) * Cos(z)");

  // A switched-off plot has no samples and shows no handles.
  model->SetEnabled(plot, false);
  model->Update();
  EXPECT_EQ(model->Status().samples, 0);
  EXPECT_FALSE(model->FindHandleAt(0.0, 0.0));
}

TEST_F(ViewModelTest, AnAddedComponentAndGradientKnotEditsAreUndoneAndRedoneExactly) {
  const auto children = [&] {
    std::vector<BaseObject*> below;
    for (BaseObject* op = plot->GetDown(); op != nullptr; op = op->GetNext()) {
      below.push_back(op);
    }
    return below;
  };
  // The panel's popup: labels, which come with label objects of their own.
  model->EditParameter(plot, kAddComponent, GeData(Int32(3)));
  model->Update();
  const std::vector<BaseObject*> added = children();
  ASSERT_EQ(added.size(), 1u);
  ASSERT_NE(added[0]->GetDown(), nullptr);
  const std::size_t withLabels = CollectObjects(session.GetDocument()).size();
  model->Undo();
  EXPECT_TRUE(children().empty());
  EXPECT_EQ(CollectObjects(session.GetDocument()).size(), 1u);
  model->Update();
  model->Redo();
  EXPECT_EQ(children(), added);  // the very object, so later edits of it redo too
  EXPECT_EQ(CollectObjects(session.GetDocument()).size(), withLabels);
  model->Update();
  // A new edit after undoing the addition lets the component go (the sanitizer build
  // would see a leak or a double free).
  model->Undo();
  model->EditParameter(plot, kHeight, GeData(Float(60.0)));
  EXPECT_FALSE(model->CanRedo());
  EXPECT_TRUE(children().empty());

  const auto knots = [&] {
    GeData value;
    plot->GetParameter(DescID(kGradient), value);
    const Gradient* gradient = value.GetCustomData<Gradient>();
    std::vector<GradientKnot> list;
    for (Int32 k = 0; gradient != nullptr && k < gradient->GetKnotCount(); ++k) {
      list.push_back(gradient->GetKnot(k));
    }
    return list;
  };
  const std::vector<GradientKnot> original = knots();  // blue at 0, green at 0.5, red at 1
  ASSERT_EQ(original.size(), 3u);
  GeData value;
  plot->GetParameter(DescID(kGradient), value);
  const Vector quarter = value.GetCustomData<Gradient>()->GetColorAt(0.25);
  // The first of the widest gaps gets a knot in its middle, in the colour shown there.
  model->AddGradientKnot(plot, kGradient);
  const std::vector<GradientKnot> more = knots();
  ASSERT_EQ(more.size(), 4u);
  EXPECT_EQ(std::vector<GradientKnot>(more.begin(), more.begin() + 3), original);
  EXPECT_EQ(more[3].pos, 0.25);
  EXPECT_EQ(more[3].col, quarter);
  model->RemoveGradientKnot(plot, kGradient, 1);
  const std::vector<GradientKnot> fewer = {original[0], original[2], more[3]};
  EXPECT_EQ(knots(), fewer);
  model->Undo();
  EXPECT_EQ(knots(), more);
  model->Undo();
  EXPECT_EQ(knots(), original);
  model->Redo();
  model->Redo();
  EXPECT_EQ(knots(), fewer);
  // The last knot stays.
  for (int i = 0; i < 3; ++i) {
    model->RemoveGradientKnot(plot, kGradient, 0);
  }
  EXPECT_EQ(knots(), std::vector<GradientKnot>{more[3]});

  // Still undone when the view closes, the grid goes with the view.
  model->EditParameter(plot, kAddComponent, GeData(Int32(1)));
  ASSERT_EQ(children().size(), 1u);
  model->Undo();
  EXPECT_TRUE(children().empty());
}

TEST_F(ViewModelTest, NavigationMovesTheCameraAndTheSightLineMeetsWhatItAimsAt) {
  for (ViewKind kind : {ViewKind::PERSPECTIVE, ViewKind::TOP}) {
    model->SetView(kind);
    const Camera camera = model->GetCamera();
    const Vector p(37, -12, 81);
    const Vector s = camera.Project(p);
    Vector origin, direction;
    camera.Ray(s.x, s.y, origin, direction);
    const Vector off = p - origin;
    EXPECT_NEAR((off - direction * Dot(off, direction)).GetLength(), 0.0, 1e-4);  // single-precision matrices
  }
  // A pan carries the point looked at with the mouse.
  model->SetView(ViewKind::PERSPECTIVE);
  const Vector centre = (model->Scene().bounds.min + model->Scene().bounds.max) * 0.5;
  const Vector before = model->GetCamera().Project(centre);
  model->Pan(30.0, -10.0);
  const Vector after = model->GetCamera().Project(centre);
  EXPECT_NEAR(after.x - before.x, 30.0, 1e-4);
  EXPECT_NEAR(after.y - before.y, -10.0, 1e-4);
  // Zooming in brings the eye closer; orbiting turns it about what it looks at.
  const Float distance = (model->GetCamera().Eye() - (centre + Vector())).GetLength();
  model->FrameAll();
  const Float framed = (model->GetCamera().Eye() - centre).GetLength();
  model->Zoom(2.0);
  EXPECT_NEAR((model->GetCamera().Eye() - centre).GetLength(), framed * 0.85 * 0.85, 1e-6 * framed);
  model->Orbit(100.0, 0.0);
  EXPECT_NEAR(model->GetViewRequest().azimuth, 35.0 + 40.0, 1e-9);
  EXPECT_GT(distance, 0.0);
}

// While a handle is dragged the renderer keeps what did not change and writes the rest
// over its old buffers: the frame must be the one a renderer that never saw the plot
// before draws.
TEST(ViewRedraw, ADraggedPlotIsRedrawnAsAFreshRendererDrawsIt) {
  Session session;
  session.LoadModules(Filename(VANTELLE_PLUGIN_FOLDER));
  PlotOptions options;
  options.components = {"mesh", "grid", "labels"};
  options.settings = {"SURFO_RESOLUTION=20"};
  BaseObject* plot = SetUpPlot(session, options);
  ViewModel model(session);
  constexpr int kWidth = 240;
  constexpr int kHeight = 160;
  model.Resize(kWidth, kHeight);
  OffscreenContext context;
  Framebuffer frame(context.Gl(), kWidth, kHeight);
  const auto draw = [&](ViewportRenderer& renderer, const ViewportScene& scene) {
    renderer.Upload(scene);
    frame.Bind();
    renderer.Draw(model.GetCamera(), ViewRegion::Whole(kWidth, kHeight));
    std::vector<unsigned char> pixels;
    frame.Read(0, 0, kWidth, kHeight, pixels);
    return pixels;
  };
  ViewportRenderer renderer(context.Gl());
  const std::vector<unsigned char> before = draw(renderer, model.Scene());

  const Vector from = *model.HandleOnScreen({plot, 0});
  model.BeginDrag({plot, 0});
  for (int step = 1; step <= 3; ++step) {
    model.DragTo(from.x - 15.0 * step, from.y);
    model.Update();
    draw(renderer, model.Scene());
  }
  model.EndDrag();
  const std::vector<unsigned char> dragged = draw(renderer, model.Scene());
  ViewportRenderer fresh(context.Gl());
  EXPECT_NE(dragged, before);
  EXPECT_TRUE(dragged == draw(fresh, CollectViewportScene(session.GetDocument())));
}

}  // namespace
}  // namespace vantelle::app
