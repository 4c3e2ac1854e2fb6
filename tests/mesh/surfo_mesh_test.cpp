#include <array>
#include <cmath>
#include <cstring>
#include <set>

#include "host/geometry/polygon_object.h"
#include "host/geometry/tags.h"
#include "mesh/surfo_mesh.h"
#include "tests/plot/plot_fixture.h"

namespace vantelle {
namespace {

// A plot with a mesh component directly below it.
class Mesh : public PlotFixture {
protected:
  static void SetUpTestSuite() {
    PlotFixture::SetUpTestSuite();
    RegisterMesh();
  }
  void SetUp() override {
    PlotFixture::SetUp();
    mesh = BaseObject::Alloc(Osurfomesh);
    mesh->InsertUnder(op);
    meshData = mesh->GetDataInstance();
  }
  void TearDown() override {
    SetRunning(CHECKISRUNNING::EXTERNALRENDERING, false);
    PlotFixture::TearDown();
  }
  // The mesh's cache as a polygon object, or null.
  PolygonObject* Surface() const { return dynamic_cast<PolygonObject*>(mesh->GetCache()); }
  void SetMesh(Int32 id, const GeData& value) { mesh->SetParameter(DescID(id), value); }

  BaseObject* mesh = nullptr;
  BaseContainer* meshData = nullptr;
};

// Signed volume of polygons [first, first + count) of a mesh; positive when they enclose
// space facing outward.
Float SignedVolume(const PolygonObject& object, Int32 first, Int32 count) {
  const Vector* p = object.GetPointR();
  Float volume = 0.0;
  for (Int32 j = first; j < first + count; ++j) {
    const CPolygon& poly = object.GetPolygonR()[j];
    volume += Dot(p[poly.a], Cross(p[poly.b], p[poly.c])) / 6.0;
    if (!poly.IsTriangle()) {
      volume += Dot(p[poly.a], Cross(p[poly.c], p[poly.d])) / 6.0;
    }
  }
  return volume;
}

TEST_F(Mesh, OneCellGivesOneQuadInCornerOrderWithItsTextureCoordinates) {
  Set(SURFO_RESOLUTION, Int32(1));
  ExecutePasses(doc);
  PolygonObject* surface = Surface();
  ASSERT_NE(surface, nullptr);
  ASSERT_EQ(surface->GetPointCount(), 4);
  ASSERT_EQ(surface->GetPolygonCount(), 1);
  EXPECT_EQ(surface->GetPolygonR()[0], CPolygon(0, 1, 3, 2));
  EXPECT_EQ(surface->GetPointR()[1], Sample(0, 1).position);
  const auto* uvw = static_cast<UVWTag*>(surface->GetTag(Tuvw));
  ASSERT_NE(uvw, nullptr);
  const UVWStruct uv = uvw->Get(0);
  EXPECT_EQ(uv.a, Vector(0, 1, 0));
  EXPECT_EQ(uv.b, Vector(0, 0, 0));
  EXPECT_EQ(uv.c, Vector(1, 0, 0));
  EXPECT_EQ(uv.d, Vector(1, 1, 0));
  EXPECT_NE(surface->GetTag(Tphong), nullptr);
  EXPECT_EQ(surface->GetTag(Tvertexcolor), nullptr);
}

TEST_F(Mesh, SurfaceHasASquareOfQuadsFacingUp) {
  Set(SURFO_RESOLUTION, Int32(3));
  Set(SURFO_FORMULA, String("0"));
  ExecutePasses(doc);
  PolygonObject* surface = Surface();
  ASSERT_NE(surface, nullptr);
  ASSERT_EQ(surface->GetPointCount(), 16);
  ASSERT_EQ(surface->GetPolygonCount(), 9);
  EXPECT_EQ(surface->GetPolygonR()[4], CPolygon(5, 6, 10, 9));
  EXPECT_EQ(surface->GetPolygonR()[8], CPolygon(10, 11, 15, 14));
  EXPECT_TRUE(surface->IsValid());
  for (Int32 j = 0; j < 9; ++j) {
    EXPECT_GT(CalcFaceNormal(surface->GetPointR(), surface->GetPolygonR()[j]).y, 0.0) << j;
  }
  const auto* uvw = static_cast<UVWTag*>(surface->GetTag(Tuvw));
  ASSERT_EQ(uvw->GetDataCount(), 9);
  EXPECT_DOUBLE_EQ(uvw->Get(8).c.x, 1.0);  // the +X, +Z corner
  EXPECT_DOUBLE_EQ(uvw->Get(8).c.y, 0.0);
}

TEST_F(Mesh, VertexColoursAreRefreshedInPlaceReplacedOnResizeAndRemovedWhenOff) {
  Set(SURFO_RESOLUTION, Int32(4));
  SetMesh(SURFOMESH_VERTEXCOLORS, true);
  ExecutePasses(doc);
  const auto* own = static_cast<VertexColorTag*>(Surface()->GetTag(Tvertexcolor));
  ASSERT_NE(own, nullptr);
  ASSERT_EQ(own->GetDataCount(), 25);
  EXPECT_FLOAT_EQ(own->GetDataAddressR()[7].g, static_cast<Float32>(plot->GetSamples()[7].colour.y));
  EXPECT_FLOAT_EQ(own->GetDataAddressR()[7].a, 1.0f);
  const auto* published = static_cast<VertexColorTag*>(mesh->GetTag(Tvertexcolor));
  ASSERT_NE(published, nullptr);
  EXPECT_EQ(std::memcmp(published->GetDataAddressR(), own->GetDataAddressR(), 25 * sizeof(ColorA32)), 0);

  Set(SURFO_COLORMODE, SURFO_COLORMODE_SINGLE);
  Set(SURFO_COLOR, Vector(0.25, 0.5, 0.75));
  ExecutePasses(doc);
  EXPECT_EQ(mesh->GetTag(Tvertexcolor), published) << "same size: overwritten in place";
  EXPECT_FLOAT_EQ(published->GetDataAddressR()[3].b, 0.75f);

  Set(SURFO_RESOLUTION, Int32(5));
  ExecutePasses(doc);
  const auto* resized = static_cast<VertexColorTag*>(mesh->GetTag(Tvertexcolor));
  ASSERT_NE(resized, nullptr);
  EXPECT_EQ(resized->GetDataCount(), 36);
  EXPECT_EQ(mesh->GetTag(Tvertexcolor, 1), nullptr);

  SetMesh(SURFOMESH_MODE, SURFOMESH_MODE_SOLIDS);
  ExecutePasses(doc);
  EXPECT_NE(mesh->GetTag(Tvertexcolor), nullptr) << "other modes leave it alone";
  SetMesh(SURFOMESH_MODE, SURFOMESH_MODE_SURFACE);
  SetMesh(SURFOMESH_VERTEXCOLORS, false);
  ExecutePasses(doc);
  EXPECT_EQ(mesh->GetTag(Tvertexcolor), nullptr);
  EXPECT_EQ(Surface()->GetTag(Tvertexcolor), nullptr);
}

TEST_F(Mesh, SolidsAreClosedOutwardAndSizedPerShape) {
  Set(SURFO_RESOLUTION, Int32(2));
  SetMesh(SURFOMESH_MODE, SURFOMESH_MODE_SOLIDS);
  SetMesh(SURFOMESH_SIZE, 1.5);
  struct Shape {
    Int32 shape, points, polygons;
    Float volume;  // of one solid at s = 1.5
  };
  const Float s = 1.5;
  for (const Shape& shape : {Shape{SURFOMESH_SOLID_CUBE, 8, 6, 8 * s * s * s},
                             Shape{SURFOMESH_SOLID_PYRAMID, 5, 5, (2 * s * s) * (2 * s) / 3},
                             Shape{SURFOMESH_SOLID_ICOSAHEDRON, 12, 20, 0.0}}) {
    SetMesh(SURFOMESH_SOLID, shape.shape);
    ExecutePasses(doc);
    PolygonObject* solids = Surface();
    ASSERT_NE(solids, nullptr) << shape.shape;
    ASSERT_EQ(solids->GetPointCount(), 9 * shape.points);
    ASSERT_EQ(solids->GetPolygonCount(), 9 * shape.polygons);
    EXPECT_TRUE(solids->IsValid());
    for (Int32 i = 0; i < 9; ++i) {
      const Float volume = SignedVolume(*solids, i * shape.polygons, shape.polygons);
      EXPECT_GT(volume, 0.0) << "shape " << shape.shape << " solid " << i;
      if (shape.volume > 0.0) {
        EXPECT_NEAR(volume, shape.volume, 1e-9) << "shape " << shape.shape;
      } else {
        // The icosahedron's corners lie about s from its centre (0.526 and 0.851 of s).
        const Vector centre = plot->GetSamples()[static_cast<std::size_t>(i)].position;
        for (Int32 k = 0; k < shape.points; ++k) {
          EXPECT_NEAR((solids->GetPointR()[i * shape.points + k] - centre).GetLength(), 1.0004 * s, 1e-3);
        }
      }
      // Every solid sits on its sample: its points average to the sample.
      Vector sum;
      for (Int32 k = 0; k < shape.points; ++k) {
        sum += solids->GetPointR()[i * shape.points + k];
      }
      const Vector centre = plot->GetSamples()[static_cast<std::size_t>(i)].position;
      EXPECT_NEAR(sum.x / shape.points, centre.x, 1e-9);
      EXPECT_NEAR(sum.z / shape.points, centre.z, 1e-9);
    }
    const auto* uvw = static_cast<UVWTag*>(solids->GetTag(Tuvw));
    ASSERT_NE(uvw, nullptr);
    EXPECT_EQ(uvw->GetDataCount(), solids->GetPolygonCount());
    // Every face maps the unit square (aligning the normals may turn a face's corners round).
    const std::set<std::array<Float, 2>> square = {{1, 0}, {0, 0}, {0, 1}, {1, 1}};
    for (Int32 j = 0; j < uvw->GetDataCount(); ++j) {
      const UVWStruct uv = uvw->Get(j);
      std::set<std::array<Float, 2>> corners;
      for (const Vector& c : {uv.a, uv.b, uv.c, uv.d}) {
        corners.insert({c.x, c.y});
      }
      ASSERT_EQ(corners, square) << "polygon " << j;
    }
    EXPECT_EQ(solids->GetTag(Tphong), nullptr);
    EXPECT_EQ(solids->GetTag(Tvertexcolor), nullptr);
  }
}

TEST_F(Mesh, PrimitivesComeOnePerSampleLastSampleFirstInTheirColours) {
  Set(SURFO_RESOLUTION, Int32(2));
  SetMesh(SURFOMESH_MODE, SURFOMESH_MODE_PRIMITIVES);
  for (Int32 type : {SURFOMESH_PRIMITIVE_CUBE, SURFOMESH_PRIMITIVE_SPHERE, SURFOMESH_PRIMITIVE_PYRAMID,
                     SURFOMESH_PRIMITIVE_PLATONIC}) {
    SetMesh(SURFOMESH_PRIMITIVE, type);
    ExecutePasses(doc);
    BaseObject* null = mesh->GetCache();
    ASSERT_NE(null, nullptr);
    EXPECT_EQ(null->GetType(), Onull);
    Int32 count = 0;
    for (BaseObject* child = null->GetDown(); child != nullptr; child = child->GetNext(), ++count) {
      const PlotSample& sample = plot->GetSamples()[static_cast<std::size_t>(8 - count)];
      EXPECT_EQ(child->GetRelPos(), sample.position);
      ObjectColorProperties colour;
      child->GetColorProperties(&colour);
      EXPECT_EQ(colour.color, sample.colour);
      EXPECT_EQ(colour.usecolor, 1);
      auto* primitive = dynamic_cast<PolygonObject*>(child);
      ASSERT_NE(primitive, nullptr);
      EXPECT_TRUE(primitive->IsValid());
      if (type == SURFOMESH_PRIMITIVE_SPHERE) {
        EXPECT_NE(primitive->GetTag(Tphong), nullptr);
      }
    }
    EXPECT_EQ(count, 9) << type;
  }
  // With the default size 1 a primitive cube spans 1 unit; a solid cube spans 2.
  SetMesh(SURFOMESH_PRIMITIVE, SURFOMESH_PRIMITIVE_CUBE);
  ExecutePasses(doc);
  auto* cube = dynamic_cast<PolygonObject*>(mesh->GetCache()->GetDown());
  Float lo = 1e9, hi = -1e9;
  for (Int32 i = 0; i < cube->GetPointCount(); ++i) {
    lo = std::min(lo, cube->GetPointR()[i].x);
    hi = std::max(hi, cube->GetPointR()[i].x);
  }
  EXPECT_DOUBLE_EQ(hi - lo, 1.0);

  // s is the diameter of sphere and platonic; the platonic is the icosahedron.
  SetMesh(SURFOMESH_SIZE, 2.0);
  for (Int32 type : {SURFOMESH_PRIMITIVE_SPHERE, SURFOMESH_PRIMITIVE_PLATONIC}) {
    SetMesh(SURFOMESH_PRIMITIVE, type);
    ExecutePasses(doc);
    auto* primitive = dynamic_cast<PolygonObject*>(mesh->GetCache()->GetDown());
    ASSERT_NE(primitive, nullptr);
    Float radius = 0.0;
    for (Int32 i = 0; i < primitive->GetPointCount(); ++i) {
      radius = std::max(radius, primitive->GetPointR()[i].GetLength());
    }
    EXPECT_NEAR(radius, 1.0, 1e-9) << type;
    if (type == SURFOMESH_PRIMITIVE_PLATONIC) {
      EXPECT_EQ(primitive->GetPolygonCount(), 20);
    }
  }
}

TEST_F(Mesh, UnknownModesShapesAndMissingPlotsGiveAnEmptyNull) {
  Set(SURFO_RESOLUTION, Int32(2));
  auto expectEmptyNull = [this](const char* what) {
    ExecutePasses(doc);
    ASSERT_NE(mesh->GetCache(), nullptr) << what;
    EXPECT_EQ(mesh->GetCache()->GetType(), Onull) << what;
    EXPECT_EQ(mesh->GetCache()->GetDown(), nullptr) << what;
  };
  SetMesh(SURFOMESH_MODE, Int32(3));
  expectEmptyNull("mode 3");
  SetMesh(SURFOMESH_MODE, SURFOMESH_MODE_SOLIDS);
  SetMesh(SURFOMESH_SOLID, Int32(3));
  expectEmptyNull("solid 3");
  SetMesh(SURFOMESH_MODE, SURFOMESH_MODE_PRIMITIVES);
  SetMesh(SURFOMESH_PRIMITIVE, Int32(4));
  expectEmptyNull("primitive 4");

  SetMesh(SURFOMESH_MODE, SURFOMESH_MODE_SURFACE);
  mesh->Remove();
  doc->InsertObject(mesh, nullptr, nullptr);
  expectEmptyNull("no plot above");
}

TEST_F(Mesh, AnIncompleteGridGivesAnEmptyNullNotAPartialSurface) {
  Set(SURFO_FORMULA, String("x * z"));
  SetHostFault(HostFault::GRADIENT_RENDER, 100);
  ExecutePasses(doc);
  ASSERT_EQ(Count(), 100u);
  ASSERT_NE(mesh->GetCache(), nullptr);
  EXPECT_EQ(mesh->GetCache()->GetType(), Onull);
  // Solids need a whole grid too.
  SetMesh(SURFOMESH_MODE, SURFOMESH_MODE_SOLIDS);
  ExecutePasses(doc);
  EXPECT_EQ(mesh->GetCache()->GetType(), Onull);
}

TEST_F(Mesh, TheCacheIsReusedUntilThePlotItselfOrTheFrameOfATimePlotChanges) {
  ExecutePasses(doc);
  BaseObject* first = mesh->GetCache();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(ExecutePasses(doc).cachesKept, 1);  // the plot's own empty null is always new
  EXPECT_EQ(mesh->GetCache(), first);
  SetFrame(3);
  ExecutePasses(doc);
  EXPECT_EQ(mesh->GetCache(), first) << "no time in the formula";

  Set(SURFO_HEIGHT, 80.0);  // rescaled samples are still a change of the plot
  ExecutePasses(doc);
  EXPECT_NE(mesh->GetCache(), first);
  BaseObject* rescaled = mesh->GetCache();
  bc->SetFloat(SURFO_SIZE, 150.0);  // written without an edit notice, as a reset writes it
  ExecutePasses(doc);
  ASSERT_NE(mesh->GetCache(), rescaled) << "the plot announces its own rescaling";
  EXPECT_EQ(Surface()->GetPointR()[0].x, -75.0);

  Set(SURFO_FORMULA, String("Sin(x + t * 90) * Cos(z)"));
  ExecutePasses(doc);
  BaseObject* timed = mesh->GetCache();
  SetFrame(4);
  ExecutePasses(doc);
  EXPECT_NE(mesh->GetCache(), timed);
  Set(SURFO_ANIMATE, false);
  ExecutePasses(doc);
  BaseObject* still = mesh->GetCache();
  SetFrame(5);
  ExecutePasses(doc);
  EXPECT_EQ(mesh->GetCache(), still) << "animation off";

  SetMesh(SURFOMESH_PHONG, false);  // its own parameters rebuild it
  ExecutePasses(doc);
  EXPECT_NE(mesh->GetCache(), still);
}

TEST_F(Mesh, RenderOnlyShowsNothingUntilTheHostRenders) {
  SetMesh(SURFOMESH_RENDERONLY, true);
  ExecutePasses(doc);
  ASSERT_NE(mesh->GetCache(), nullptr);
  EXPECT_EQ(mesh->GetCache()->GetType(), Onull);
  SetRunning(CHECKISRUNNING::EXTERNALRENDERING, true);
  mesh->Message(MSG_UPDATE);
  ExecutePasses(doc);
  ASSERT_NE(Surface(), nullptr);
  EXPECT_EQ(Surface()->GetPolygonCount(), 2500);
}

TEST_F(Mesh, FindsAPlotTwoLevelsUp) {
  BaseObject* group = BaseObject::Alloc(Onull);
  group->InsertUnder(op);
  mesh->InsertUnder(group);
  Set(SURFO_RESOLUTION, Int32(2));
  ExecutePasses(doc);
  ASSERT_NE(Surface(), nullptr);
  EXPECT_EQ(Surface()->GetPointCount(), 9);
}

TEST_F(Mesh, ParametersAreEnabledByModeAndAllDisabledWhenSwitchedOff) {
  EXPECT_TRUE(mesh->GetEnabling(DescID(SURFOMESH_VERTEXCOLORS)));
  EXPECT_FALSE(mesh->GetEnabling(DescID(SURFOMESH_SIZE)));
  EXPECT_FALSE(mesh->GetEnabling(DescID(SURFOMESH_SOLID)));
  meshData->SetInt32(SURFOMESH_MODE, SURFOMESH_MODE_SOLIDS);
  EXPECT_FALSE(mesh->GetEnabling(DescID(SURFOMESH_PHONG)));
  EXPECT_TRUE(mesh->GetEnabling(DescID(SURFOMESH_SIZE)));
  EXPECT_TRUE(mesh->GetEnabling(DescID(SURFOMESH_SOLID)));
  EXPECT_FALSE(mesh->GetEnabling(DescID(SURFOMESH_PRIMITIVE)));
  meshData->SetInt32(SURFOMESH_MODE, SURFOMESH_MODE_PRIMITIVES);
  EXPECT_TRUE(mesh->GetEnabling(DescID(SURFOMESH_PRIMITIVE)));
  EXPECT_TRUE(mesh->GetEnabling(DescID(SURFOMESH_RENDERONLY)));
  mesh->SetDeformMode(false);
  EXPECT_FALSE(mesh->GetEnabling(DescID(SURFOMESH_RENDERONLY)));
  EXPECT_FALSE(mesh->GetEnabling(DescID(SURFOMESH_PRIMITIVE)));
}

}  // namespace
}  // namespace vantelle
