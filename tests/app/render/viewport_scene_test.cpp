#include "app/render/viewport_scene.h"

#include "host/geometry/polygon_object.h"
#include "host/geometry/spline_object.h"
#include "tests/plot/plot_fixture.h"

namespace vantelle::app {
namespace {

// A triangle with a corner at each of the given points.
BaseObject* Triangle(const Vector& a, const Vector& b, const Vector& c) {
  PolygonObject* op = PolygonObject::Alloc(3, 1);
  op->GetPointW()[0] = a;
  op->GetPointW()[1] = b;
  op->GetPointW()[2] = c;
  op->GetPolygonW()[0] = CPolygon(0, 1, 2);
  return op;
}

void Colour(BaseObject* op, const Vector& colour) {
  const ObjectColorProperties properties{colour, 1, false};
  op->SetColorProperties(&properties);
}

// The host-space points a mesh puts on screen.
std::vector<Vector> Points(const SceneMesh& mesh) {
  std::vector<Vector> points;
  const std::vector<float>& p = mesh.arrays->positions;
  for (std::size_t i = 0; i + 2 < p.size(); i += 3) {
    points.push_back(mesh.model * Vector(p[i], p[i + 1], p[i + 2]));
  }
  return points;
}

void ExpectNear(const Vector& a, const Vector& b) {
  EXPECT_NEAR(a.x, b.x, 1e-4);
  EXPECT_NEAR(a.y, b.y, 1e-4);
  EXPECT_NEAR(a.z, b.z, 1e-4);
}

using ViewportScenes = PlotFixture;

TEST_F(ViewportScenes, GeometryShowsInGlobalSpaceAndItsColoursUnlessItsEditorModeIsOff) {
  // A moved folder (a null) in red holding a triangle that inherits the colour, and a
  // hidden folder whose child shows only where it says so itself.
  BaseObject* shown = BaseObject::Alloc(Onull);
  shown->SetRelPos(Vector(10, 20, 30));
  Colour(shown, Vector(1, 0, 0));
  doc->InsertObject(shown, nullptr, nullptr);
  Triangle(Vector(0, 0, 0), Vector(1, 0, 0), Vector(0, 0, 2))->InsertUnder(shown);

  BaseObject* hidden = BaseObject::Alloc(Onull);
  hidden->SetEditorMode(MODE_OFF);
  doc->InsertObject(hidden, nullptr, nullptr);
  BaseObject* inherits = Triangle(Vector(500, 0, 0), Vector(501, 0, 0), Vector(500, 1, 0));
  inherits->InsertUnder(hidden);
  BaseObject* own = Triangle(Vector(-7, 0, 0), Vector(-6, 0, 0), Vector(-7, 0, 1));
  own->SetEditorMode(MODE_ON);
  own->InsertUnderLast(hidden);

  SplineObject* line = SplineObject::Alloc(2, SPLINETYPE::LINEAR);
  line->GetPointW()[1] = Vector(0, 0, 40);
  Colour(line, Vector(0, 0, 1));
  doc->InsertObject(line, nullptr, nullptr);

  // The plot without samples adds only its box to the bounds.
  BaseObject::Free(op);

  const ViewportScene scene = CollectViewportScene(doc);
  ASSERT_EQ(scene.meshes.size(), 2u);
  // Tree order: the line, the hidden folder's own child, the red folder's triangle.
  const SceneMesh& ownMesh = scene.meshes[0];
  const SceneMesh& red = scene.meshes[1];
  EXPECT_EQ(ownMesh.colour, kNeutralColour);
  EXPECT_EQ(red.colour, Vector(1, 0, 0));
  const std::vector<Vector> points = Points(red);
  ASSERT_EQ(points.size(), 3u);
  ExpectNear(points[0], Vector(10, 20, 30));
  ExpectNear(points[1], Vector(11, 20, 30));
  ExpectNear(points[2], Vector(10, 20, 32));  // Z keeps its direction

  ASSERT_EQ(scene.lines.size(), 1u);
  EXPECT_EQ(scene.lines[0].colour, Vector(0, 0, 1));
  EXPECT_EQ(scene.lines[0].arrays->pairs, (std::vector<UInt32>{0, 1}));

  ExpectNear(scene.bounds.min, Vector(-7, 0, 0));
  ExpectNear(scene.bounds.max, Vector(11, 20, 40));
  EXPECT_TRUE(scene.objectPass.IsEmpty());
  EXPECT_TRUE(scene.handlesPass.IsEmpty());
}

TEST_F(ViewportScenes, APlotDrawsItsSamplesThenItsHandlesWhereItStands) {
  Set(SURFO_RESOLUTION, Int32(2));
  Set(SURFO_POINTSIZE, 4.0);
  op->SetRelPos(Vector(0, 50, 0));
  Evaluate();

  const ViewportScene scene = CollectViewportScene(doc, op, 1);
  ASSERT_EQ(scene.objectPass.points.size(), 9u);
  for (std::size_t i = 0; i < 9; ++i) {
    const PointMark& mark = scene.objectPass.points[i];
    ExpectNear(mark.position, plot->GetSamples()[i].position + Vector(0, 50, 0));
    EXPECT_EQ(mark.colour, plot->GetSamples()[i].colour);
    EXPECT_EQ(mark.pixels, 8.0);
    EXPECT_TRUE(mark.round);
    EXPECT_TRUE(mark.unclipped);
  }
  // Both handles twice, the plot's big squares and the host's own, in the plot's space;
  // the one under the cursor lit.
  const std::vector<PointMark>& handles = scene.handlesPass.points;
  ASSERT_EQ(handles.size(), 4u);
  ExpectNear(handles[0].position, Vector(100, 50, 0));
  ExpectNear(handles[1].position, Vector(0, 75, 0));
  EXPECT_EQ(handles[0].pixels, kBigHandlePixels);
  EXPECT_EQ(handles[2].pixels, kMiddleHandlePixels);
  EXPECT_FALSE(handles[0].round);
  EXPECT_EQ(handles[0].colour, GetViewColor(VIEWCOLOR_ACTIVEPOINT));
  EXPECT_EQ(handles[1].colour, GetViewColor(VIEWCOLOR_SELECTION_PREVIEW));
  ASSERT_EQ(scene.handlesPass.lines.size(), 2u);
  ExpectNear(scene.handlesPass.lines[1].to, Vector(0, 50, 0));

  ExpectNear(scene.bounds.min, Vector(-100, 25, -100));
  ExpectNear(scene.bounds.max, Vector(100, 75, 100));

  // Switched off, it shows nothing at all.
  op->SetDeformMode(false, false);
  const ViewportScene off = CollectViewportScene(doc);
  EXPECT_TRUE(off.objectPass.IsEmpty());
  EXPECT_TRUE(off.handlesPass.IsEmpty());
  EXPECT_TRUE(off.bounds.IsEmpty());
}

TEST_F(ViewportScenes, ACacheConvertsOnlyChangedGeometryAndGathersWhatAFreshGatheringDoes) {
  BaseObject::Free(op);  // the plot without samples would add only its box
  BaseObject* still = Triangle(Vector(0, 0, 0), Vector(1, 0, 0), Vector(0, 0, 2));
  doc->InsertObject(still, nullptr, nullptr);
  auto* moving = static_cast<PolygonObject*>(Triangle(Vector(5, 0, 0), Vector(6, 0, 0), Vector(5, 1, 0)));
  doc->InsertObject(moving, nullptr, nullptr);
  SplineObject* line = SplineObject::Alloc(3, SPLINETYPE::LINEAR);
  line->GetPointW()[1] = Vector(0, 0, 40);
  line->GetPointW()[2] = Vector(10, 0, 40);
  doc->InsertObject(line, nullptr, nullptr);

  ViewportSceneCache cache;
  const ViewportScene first = CollectViewportScene(doc, nullptr, -1, &cache);
  ASSERT_EQ(first.meshes.size(), 2u);
  ASSERT_EQ(first.lines.size(), 1u);
  EXPECT_EQ(cache.Converted(), 3);
  // Nothing changed: the very same arrays, so a renderer keeps what it uploaded.
  const ViewportScene second = CollectViewportScene(doc, nullptr, -1, &cache);
  EXPECT_EQ(cache.Reused(), 3);
  EXPECT_EQ(second.meshes[0].arrays, first.meshes[0].arrays);
  EXPECT_EQ(second.meshes[1].arrays, first.meshes[1].arrays);
  EXPECT_EQ(second.lines[0].arrays, first.lines[0].arrays);

  // A moved point, vertex colours and a closed line: each converted anew, as a gathering
  // without a cache converts them.
  moving->GetPointW()[2] = Vector(5, 3, 0);
  still->MakeVariableTag(Tvertexcolor, 3);
  line->GetDataInstance()->SetBool(SPLINEOBJECT_CLOSED, true);
  ViewportScene third = CollectViewportScene(doc, nullptr, -1, &cache);
  const ViewportScene fresh = CollectViewportScene(doc);
  EXPECT_EQ(cache.Converted(), 6);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_NE(third.meshes[i].arrays, second.meshes[i].arrays);
    EXPECT_EQ(third.meshes[i].arrays->positions, fresh.meshes[i].arrays->positions);
    EXPECT_EQ(third.meshes[i].arrays->colours, fresh.meshes[i].arrays->colours);
    EXPECT_EQ(third.meshes[i].arrays->indices, fresh.meshes[i].arrays->indices);
  }
  EXPECT_EQ(third.meshes[1].arrays->colours.size(), 12u);
  EXPECT_EQ(third.lines[0].arrays->pairs, (std::vector<UInt32>{0, 1, 1, 2, 2, 0}));
  EXPECT_EQ(third.lines[0].arrays->pairs, fresh.lines[0].arrays->pairs);
  EXPECT_EQ(third.bounds.max, fresh.bounds.max);

  // An object gone from the document is let go with its arrays.
  const std::weak_ptr<const MeshArrays> gone = third.meshes[0].arrays;
  moving->Remove();
  BaseObject* removed = moving;
  BaseObject::Free(removed);
  {
    const ViewportScene fourth = CollectViewportScene(doc, nullptr, -1, &cache);
    EXPECT_EQ(fourth.meshes.size(), 1u);
  }
  third = ViewportScene();
  EXPECT_TRUE(gone.expired());

  // Turned, the triangle's corners bound it, not its box's turned corners.
  still->SetRelPos(Vector(50, 0, -50));
  still->SetRelRot(Vector(PI / 4, 0, 0));
  const ViewportScene turned = CollectViewportScene(doc, nullptr, -1, &cache);
  Box box;
  for (const Vector& p : Points(turned.meshes[0])) {
    box.Add(p);
  }
  for (const Vector& p : {Vector(0, 0, 0), Vector(0, 0, 40), Vector(10, 0, 40)}) {
    box.Add(p);  // the line's points
  }
  ExpectNear(turned.bounds.min, box.min);
  ExpectNear(turned.bounds.max, box.max);
}

TEST(MarkCollector, SpheresTakeTheMatrixsScaleAndLinesThePen) {
  ViewMarks marks;
  MarkCollector draw(marks);
  Matrix m;
  m.off = Vector(1, 2, 3);
  m.v1 = Vector(0, 2, 0);  // a quarter turn with a scale of 2
  m.v2 = Vector(-2, 0, 0);
  m.v3 = Vector(0, 0, 2);
  draw.SetMatrix_Matrix(nullptr, m);
  draw.SetPen(Vector(0.5, 0.5, 0));
  draw.DrawSphere(Vector(1, 0, 0), Vector(3), Vector(0, 1, 0), 0);
  draw.DrawLine(Vector(), Vector(0, 1, 0), 0);
  ASSERT_EQ(marks.spheres.size(), 1u);
  EXPECT_EQ(marks.spheres[0].centre, Vector(1, 4, 3));
  EXPECT_EQ(marks.spheres[0].radii, Vector(6, 6, 6));
  EXPECT_EQ(marks.spheres[0].colour, Vector(0, 1, 0));
  ASSERT_EQ(marks.lines.size(), 1u);
  EXPECT_EQ(marks.lines[0].to, Vector(-1, 2, 3));
  EXPECT_EQ(marks.lines[0].colour, Vector(0.5, 0.5, 0));
}

}  // namespace
}  // namespace vantelle::app
