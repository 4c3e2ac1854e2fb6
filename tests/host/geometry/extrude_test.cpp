// The extrude generator: closed solids from splines, with holes, facing outward, and a
// cache that follows its inputs.
#include <gtest/gtest.h>

#include <vector>

#include "host/geometry/extrude_object.h"
#include "host/geometry/spline_object.h"
#include "host/geometry/text_spline.h"
#include "host/scene/execution.h"
#include "tests/host/geometry/solid_checks.h"

namespace {

using solid_checks::Examine;
using solid_checks::SolidFacts;

// An extrude generator over one child, in a document of its own.
class ExtrudeScene {
public:
  ExtrudeScene(BaseObject* child, const Vector& move) : doc_(BaseDocument::Alloc()), extrude_(BaseObject::Alloc(Oextrude)) {
    doc_->InsertObject(extrude_, nullptr, nullptr);
    extrude_->GetDataInstance()->SetVector(EXTRUDEOBJECT_MOVE, move);
    child->InsertUnderLast(extrude_);
  }
  ~ExtrudeScene() { BaseDocument::Free(doc_); }
  ExtrudeScene(const ExtrudeScene&) = delete;
  ExtrudeScene& operator=(const ExtrudeScene&) = delete;

  BaseObject* Extrude() const { return extrude_; }
  BaseObject* Child() const { return extrude_->GetDown(); }
  const PolygonObject& Mesh() const {
    ExecutePasses(doc_);
    return *static_cast<const PolygonObject*>(extrude_->GetCache());
  }

private:
  BaseDocument* doc_;
  BaseObject* extrude_;
};

// A linear spline of closed square loops: [x0, y0, side] each, counter-clockwise unless
// the side is negative.
BaseObject* Squares(std::initializer_list<std::array<Float, 3>> squares) {
  SplineObject* spline = SplineObject::Alloc(static_cast<Int32>(4 * squares.size()), SPLINETYPE::LINEAR);
  spline->ResizeObject(spline->GetPointCount(), static_cast<Int32>(squares.size()));
  Vector* p = spline->GetPointW();
  Int32 i = 0;
  for (const auto& [x, y, side] : squares) {
    const Float s = std::abs(side);
    std::vector<Vector> corners = {{x, y, 0}, {x + s, y, 0}, {x + s, y + s, 0}, {x, y + s, 0}};
    if (side < 0) std::reverse(corners.begin(), corners.end());
    std::copy(corners.begin(), corners.end(), p);
    p += 4;
    spline->GetSegmentW()[i++] = Segment{4, true};
  }
  return spline;
}

// Every triangle lying flat at height z, by the direction its normal points along Z.
struct CapFacing {
  Int32 towardsMinusZ = 0, towardsPlusZ = 0;
};
CapFacing CapAt(const PolygonObject& mesh, Float z) {
  CapFacing facing;
  const Vector* p = mesh.GetPointR();
  for (const auto& t : solid_checks::Triangles(mesh)) {
    if (p[t[0]].z == z && p[t[1]].z == z && p[t[2]].z == z) {
      const Vector n = Cross(p[t[1]] - p[t[0]], p[t[2]] - p[t[0]]);
      ++(n.z < 0.0 ? facing.towardsMinusZ : facing.towardsPlusZ);
    }
  }
  return facing;
}

TEST(Extrude, ASquareWithASquareHoleInEitherDirectionIsAClosedOutwardRing) {
  for (const Float innerSide : {2.0, -2.0}) {
    ExtrudeScene scene(Squares({{0, 0, 4}, {1, 1, innerSide}}), Vector(0, 0, 2));
    const PolygonObject& mesh = scene.Mesh();
    const SolidFacts facts = Examine(mesh);
    // 8 corners front and back; each cap 8 triangles around the hole; 8 wall quads.
    EXPECT_EQ(mesh.GetPointCount(), 16);
    EXPECT_EQ(mesh.GetPolygonCount(), 24);
    EXPECT_EQ(facts.unpairedEdges, 0u);
    EXPECT_NEAR(facts.volume, (16.0 - 4.0) * 2.0, 1e-9);
    EXPECT_EQ(facts.genusAlongX, std::vector<Int32>({1}));
    EXPECT_EQ(CapAt(mesh, 0.0).towardsMinusZ, 8);
    EXPECT_EQ(CapAt(mesh, 0.0).towardsPlusZ, 0);
    EXPECT_EQ(CapAt(mesh, 2.0).towardsPlusZ, 8);
    EXPECT_EQ(CapAt(mesh, 2.0).towardsMinusZ, 0);
  }

  // Swept backwards, the solid still faces out: the front cap now faces +Z.
  ExtrudeScene back(Squares({{0, 0, 4}, {1, 1, 2}}), Vector(0, 0, -2));
  EXPECT_NEAR(Examine(back.Mesh()).volume, 24.0, 1e-9);
  EXPECT_EQ(CapAt(back.Mesh(), 0.0).towardsPlusZ, 8);

  // Outlines touching at a corner keep that corner one point of caps and walls alike.
  ExtrudeScene touching(Squares({{0, 0, 1}, {1, 1, 1}}), Vector(0, 0, 2));
  EXPECT_EQ(touching.Mesh().GetPointCount(), 14);
  EXPECT_EQ(Examine(touching.Mesh()).unbalancedEdges, 0u);
  EXPECT_NEAR(Examine(touching.Mesh()).volume, 4.0, 1e-9);

  // A child placed off the origin carries its outlines with it; a slanted sweep shears.
  ExtrudeScene moved(Squares({{0, 0, 4}}), Vector(1, 0, 2));
  moved.Child()->SetRelPos(Vector(10, 0, 0));
  const PolygonObject& sheared = moved.Mesh();
  EXPECT_EQ(sheared.GetMp(), Vector(12.5, 2.0, 1.0));
  EXPECT_NEAR(Examine(sheared).volume, 32.0, 1e-9);
  EXPECT_EQ(Examine(sheared).unpairedEdges, 0u);
}

TEST(Extrude, WithoutDepthOnlyTheFrontRemainsAndOpenLinesNeedAMove) {
  ExtrudeScene flat(Squares({{0, 0, 4}, {1, 1, 2}}), Vector());
  EXPECT_EQ(flat.Mesh().GetPointCount(), 8);
  EXPECT_EQ(CapAt(flat.Mesh(), 0.0).towardsMinusZ, 8);
  EXPECT_EQ(flat.Mesh().GetPolygonCount(), 8);

  SplineObject* line = SplineObject::Alloc(3, SPLINETYPE::LINEAR);
  line->GetPointW()[1] = Vector(1, 0, 0);
  line->GetPointW()[2] = Vector(1, 1, 0);
  ExtrudeScene band(line, Vector(0, 0, 1));
  EXPECT_EQ(band.Mesh().GetPointCount(), 6);
  EXPECT_EQ(band.Mesh().GetPolygonCount(), 2);
  band.Extrude()->SetParameter(DescID(EXTRUDEOBJECT_MOVE), GeData(Vector()));
  EXPECT_EQ(band.Mesh().GetPolygonCount(), 0);
}

TEST(Extrude, ALabelIsOneClosedSolidWithTheHolesOfItsDigitsInReadingOrder) {
  BaseObject* text = BaseObject::Alloc(Osplinetext);
  text->GetDataInstance()->SetFloat(PRIM_TEXT_HEIGHT, 7.0);
  text->GetDataInstance()->SetInt32(PRIM_TEXT_ALIGN, TEXT_ALIGN_MIDDLE);
  text->GetDataInstance()->SetString(PRIM_TEXT_TEXT, "-180.0");
  ExtrudeScene scene(text, Vector(0, 0, 0.1));
  const Vector textMp = text->GetMp(), textRad = text->GetRad();
  const PolygonObject& mesh = scene.Mesh();

  const SolidFacts facts = Examine(mesh);
  EXPECT_EQ(facts.unpairedEdges, 0u);
  // "-", "1", "8" (two holes), "0" (one), ".", "0" (one), from left to right.
  EXPECT_EQ(facts.genusAlongX, std::vector<Int32>({0, 0, 2, 1, 0, 1}));
  EXPECT_GT(facts.volume, 0.0);
  // Every cap triangle faces away from the solid: the front towards the viewer at -Z.
  const CapFacing front = CapAt(mesh, 0.0), back = CapAt(mesh, 0.1);
  EXPECT_GT(front.towardsMinusZ, 50);
  EXPECT_EQ(front.towardsPlusZ, 0);
  EXPECT_EQ(back.towardsPlusZ, front.towardsMinusZ);
  EXPECT_EQ(back.towardsMinusZ, 0);
  // The solid is the laid-out text, 0.1 deep.
  EXPECT_NEAR((mesh.GetMp() - (textMp + Vector(0, 0, 0.05))).GetLength(), 0.0, 1e-12);
  EXPECT_NEAR((mesh.GetRad() - (textRad + Vector(0, 0, 0.05))).GetLength(), 0.0, 1e-12);
  EXPECT_EQ(scene.Extrude()->GetRad(), mesh.GetRad());
}

TEST(Extrude, KeepsItsCacheUntilItsSweepOrItsChildChanges) {
  BaseObject* text = BaseObject::Alloc(Osplinetext);
  ExtrudeScene scene(text, Vector(0, 0, 1));
  const BaseObject* cache = &scene.Mesh();
  EXPECT_EQ(&scene.Mesh(), cache);

  const auto rebuilt = [&] {
    const BaseObject* now = &scene.Mesh();
    const bool changed = now != cache;
    cache = now;
    return changed;
  };
  text->GetDataInstance()->SetString(PRIM_TEXT_TEXT, "Text");  // the same as before
  EXPECT_FALSE(rebuilt());
  text->GetDataInstance()->SetString(PRIM_TEXT_TEXT, "Other");  // no message: a plain write
  EXPECT_TRUE(rebuilt());
  EXPECT_FALSE(rebuilt());
  scene.Extrude()->GetDataInstance()->SetVector(EXTRUDEOBJECT_MOVE, Vector(0, 0, 3));
  EXPECT_TRUE(rebuilt());
  EXPECT_NEAR(scene.Extrude()->GetRad().z, 1.5, 1e-12);
  scene.Extrude()->Message(MSG_UPDATE);
  EXPECT_TRUE(rebuilt());
  text->SetRelPos(Vector(0, 5, 0));
  EXPECT_TRUE(rebuilt());
  text->SetDeformMode(false);
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(static_cast<const PolygonObject*>(cache)->GetPolygonCount(), 0);
  EXPECT_FALSE(rebuilt());
}

}  // namespace
