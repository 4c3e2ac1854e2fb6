#include <cmath>
#include <limits>

#include "host/ui/draw_recorder.h"
#include "tests/plot/plot_fixture.h"

namespace vantelle {
namespace {

class Drawing : public PlotFixture {
protected:
  // A 2 x 2 grid of known colours, away from the origin so the matrix shows.
  void SetUpFourSamples() {
    Set(SURFO_RESOLUTION, Int32(1));
    Set(SURFO_COLORMODE, SURFO_COLORMODE_SINGLE);
    Set(SURFO_COLOR, Vector(0.25, 0.5, 1.0));
    Set(SURFO_FORMULA, String("x / 180"));
    op->SetRelPos(Vector(10.0, 20.0, 30.0));
    Evaluate();
    ASSERT_EQ(Count(), 4u);
  }
  DRAWRESULT DrawPass(DRAWPASS pass) {
    BaseDrawHelp bh(&bd, op);
    return op->GetObjectData()->Draw(op, pass, &bd, &bh);
  }
  Matrix Mg() const { return op->GetMg(); }

  DrawRecorder bd;
};

TEST_F(Drawing, WithoutSamplesNothingIsDrawnInAnyPass) {
  for (DRAWPASS pass : {DRAWPASS::OBJECT, DRAWPASS::HANDLES, DRAWPASS::HIGHLIGHTS}) {
    EXPECT_EQ(DrawPass(pass), DRAWRESULT::SKIP);
  }
  EXPECT_TRUE(bd.GetCalls().empty());
  // Emptied again by switching the plot off: the handles go too.
  Evaluate();
  op->SetDeformMode(false);
  EXPECT_EQ(DrawPass(DRAWPASS::HANDLES), DRAWRESULT::SKIP);
  EXPECT_TRUE(bd.GetCalls().empty());
}

TEST_F(Drawing, ObjectPassDrawsEverySampleWithItsPenThenItsMarker) {
  SetUpFourSamples();
  Set(SURFO_POINTSIZE, 1.5);
  const Vector colour(0.25, 0.5, 1.0);
  const auto expectedFor = [&](Int32 style) {
    std::vector<DrawCall> calls = {DrawCall::SetMatrix(op, Mg())};
    for (const PlotSample& s : plot->GetSamples()) {
      const Vector& p = s.position;
      calls.push_back(DrawCall::SetPen(colour, 0));
      if (style == SURFO_POINTSTYLE_DOT) {
        calls.push_back(DrawCall::SetPointSize(3.0));
        calls.push_back(DrawCall::DrawHandle(p, DRAWHANDLE::CUSTOM, NOCLIP_D));
      } else if (style == SURFO_POINTSTYLE_SPHERE) {
        calls.push_back(DrawCall::DrawSphere(p, Vector(1.5), colour, 0));
      } else {
        calls.push_back(DrawCall::DrawLine(p + Vector(-1.5, 0, 0), p + Vector(1.5, 0, 0), 0));
        calls.push_back(DrawCall::DrawLine(p + Vector(0, -1.5, 0), p + Vector(0, 1.5, 0), 0));
      }
    }
    return calls;
  };
  // The positions are the plot's own, not moved by the matrix.
  EXPECT_EQ(plot->GetSamples()[3].position, Vector(100.0, 25.0, 100.0));
  for (Int32 style : {SURFO_POINTSTYLE_DOT, SURFO_POINTSTYLE_SPHERE, SURFO_POINTSTYLE_CROSS}) {
    SCOPED_TRACE(style);
    Set(SURFO_POINTSTYLE, style);
    bd.Clear();
    EXPECT_EQ(DrawPass(DRAWPASS::OBJECT), DRAWRESULT::SKIP);
    EXPECT_EQ(bd.GetCalls(), expectedFor(style));
  }
}

TEST_F(Drawing, HandlesPassColoursTheHighlightedHandleThenAddsTheHostsHandles) {
  SetUpFourSamples();
  Set(SURFO_SIZE, 120.0);
  Set(SURFO_HEIGHT, 30.0);
  const Vector normal = GetViewColor(VIEWCOLOR_ACTIVEPOINT);
  const Vector lit = GetViewColor(VIEWCOLOR_SELECTION_PREVIEW);
  EXPECT_GT((normal - lit).GetLength(), 0.3) << "two handle colours a user tells apart";

  const Vector size(60.0, 0.0, 0.0), height(0.0, 15.0, 0.0);
  bd.SetHighlightHandle(op, 1);
  EXPECT_EQ(DrawPass(DRAWPASS::HANDLES), DRAWRESULT::OK);
  const std::vector<DrawCall> expected = {
      DrawCall::SetMatrix(op, Mg()),
      DrawCall::SetPen(normal),
      DrawCall::DrawHandle(size, DRAWHANDLE::BIG, 0),
      DrawCall::DrawLine(size, Vector(), 0),
      DrawCall::SetPen(lit),
      DrawCall::DrawHandle(height, DRAWHANDLE::BIG, 0),
      DrawCall::DrawLine(height, Vector(), 0),
      // The host's own handles on top.
      DrawCall::SetMatrix(op, Mg()),
      DrawCall::SetPen(normal),
      DrawCall::DrawHandle(size, DRAWHANDLE::MIDDLE, 0),
      DrawCall::SetPen(lit),
      DrawCall::DrawHandle(height, DRAWHANDLE::MIDDLE, 0),
  };
  EXPECT_EQ(bd.GetCalls(), expected);

  // Under a cursor over another object, neither handle lights up.
  bd.Clear();
  BaseObject* other = BaseObject::Alloc(Onull);
  doc->InsertObject(other, nullptr, nullptr);
  bd.SetHighlightHandle(other, 0);
  EXPECT_EQ(DrawPass(DRAWPASS::HANDLES), DRAWRESULT::OK);
  for (const DrawCall& call : bd.GetCalls()) {
    if (call.kind == DrawCall::Kind::PEN) {
      EXPECT_EQ(call.a, normal);
    }
  }
  // Passes the plot does not draw in keep the host's answer.
  bd.Clear();
  EXPECT_EQ(DrawPass(DRAWPASS::BOX), DRAWRESULT::SKIP);
  EXPECT_TRUE(bd.GetCalls().empty());
}

using Handles = PlotFixture;

TEST_F(Handles, DimensionIsTheNominalBoxWhateverTheSamplesHold) {
  Vector mp(1.0, 1.0, 1.0), rad;
  const auto dimension = [&] { op->GetObjectData()->GetDimension(op, &mp, &rad); };
  dimension();
  EXPECT_EQ(mp, Vector());
  EXPECT_EQ(rad, Vector(100.0, 25.0, 100.0));
  // Values of twice the height stay outside the box.
  Set(SURFO_HEIGHTMODE, SURFO_HEIGHTMODE_FREE);
  Set(SURFO_FORMULA, String("2"));
  Evaluate();
  ASSERT_EQ(Sample(0, 0).position.y, 50.0);
  dimension();
  EXPECT_EQ(rad, Vector(100.0, 25.0, 100.0));
  // Negative values, which a scene may hold, still give a proper box.
  bc->SetFloat(SURFO_SIZE, -60.0);
  bc->SetFloat(SURFO_HEIGHT, -10.0);
  dimension();
  EXPECT_EQ(mp, Vector());
  EXPECT_EQ(rad, Vector(30.0, 5.0, 30.0));
}

TEST_F(Handles, TwoHandlesSetSizeAndHeightFromTwiceTheDragWithinLimits) {
  ObjectData* data = op->GetObjectData();
  ASSERT_EQ(data->GetHandleCount(op), 2);
  HandleInfo info;
  data->GetHandle(op, 0, info);
  EXPECT_EQ(info.position, Vector(100.0, 0.0, 0.0));
  EXPECT_EQ(info.direction, Vector(1.0, 0.0, 0.0));
  data->GetHandle(op, 1, info);
  EXPECT_EQ(info.position, Vector(0.0, 25.0, 0.0));
  EXPECT_EQ(info.direction, Vector(0.0, 1.0, 0.0));

  struct Drag {
    Int32 handle;
    Vector to;
    Int32 parameter;
    Float value;
  };
  const Float nan = std::numeric_limits<Float>::quiet_NaN();
  for (const Drag& d :
       {Drag{0, Vector(60.0, 7.0, -3.0), SURFO_SIZE, 120.0}, Drag{0, Vector(-5.0, 0, 0), SURFO_SIZE, 0.0},
        Drag{0, Vector(1e30, 0, 0), SURFO_SIZE, 1e20}, Drag{1, Vector(9.0, 40.0, 0), SURFO_HEIGHT, 80.0},
        Drag{1, Vector(0, -1e30, 0), SURFO_HEIGHT, 0.0}, Drag{1, Vector(0, nan, 0), SURFO_HEIGHT, 0.0}}) {
    data->GetHandle(op, d.handle, info);
    data->SetHandle(op, d.handle, d.to, info);
    EXPECT_EQ(bc->GetFloat(d.parameter), d.value) << "handle " << d.handle << " to " << d.to.x << ", " << d.to.y;
  }
  // Only two handles: asking for a third changes nothing.
  bc->SetFloat(SURFO_SIZE, 200.0);
  data->SetHandle(op, 2, Vector(0.0, 0.0, 30.0), info);
  EXPECT_EQ(bc->GetFloat(SURFO_SIZE), 200.0);
}

TEST_F(Handles, TheNextPassRescalesTheSamplesWithoutEvaluating) {
  ASSERT_EQ(Evaluate(), 2601);
  const PlotSample corner = Sample(50, 50);
  ObjectData* data = op->GetObjectData();
  HandleInfo info;
  data->GetHandle(op, 0, info);
  data->SetHandle(op, 0, Vector(60.0, 0.0, 0.0), info);
  data->GetHandle(op, 1, info);
  data->SetHandle(op, 1, Vector(0.0, 50.0, 0.0), info);
  EXPECT_EQ(Evaluate(), 0);
  EXPECT_DOUBLE_EQ(Sample(50, 50).position.x, 60.0);
  EXPECT_DOUBLE_EQ(Sample(50, 50).position.z, 60.0);
  EXPECT_DOUBLE_EQ(Sample(50, 50).position.y, corner.position.y * 4.0);
  // The handles follow the new values.
  data->GetHandle(op, 0, info);
  EXPECT_EQ(info.position, Vector(60.0, 0.0, 0.0));
}

}  // namespace
}  // namespace vantelle
