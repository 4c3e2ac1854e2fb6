// Exports hand-built documents and reads the files back with tinygltf, checking what any
// glTF reader sees: geometry in glTF's space still facing the way it did in the host,
// shared vertices, materials, the node tree, and files that appear whole or not at all.
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <array>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/app_error.h"
#include "app/gltf_export.h"
#include "app/gltf_model.h"
#include "app/scratch_file.h"
#include "host/geometry/extrude_object.h"
#include "host/geometry/polygon_object.h"
#include "host/geometry/primitives.h"
#include "host/geometry/spline_object.h"
#include "host/geometry/tags.h"
#include "host/geometry/text_spline.h"
#include "host/scene/execution.h"
#include "host/scene/registry.h"
#include "tests/host/geometry/solid_checks.h"

namespace {

namespace fs = std::filesystem;
using vantelle::app::WriteGlb;

// Host to glTF space, worked out apart from the exporter.
Vector Gltf(const Vector& p) { return Vector(p.x, p.y, -p.z) * 0.01; }
Vector GltfDirection(const Vector& d) { return Vector(d.x, d.y, -d.z).GetNormalized(); }
void ExpectNear(const Vector& actual, const Vector& expected, double tolerance = 1e-6) {
  EXPECT_LT((actual - expected).GetLength(), tolerance)
      << "(" << actual.x << ", " << actual.y << ", " << actual.z << ") vs (" << expected.x << ", " << expected.y << ", "
      << expected.z << ")";
}

template <class T>
std::vector<T> Read(const tinygltf::Model& model, int index) {
  const tinygltf::Accessor& accessor = model.accessors.at(index);
  const tinygltf::BufferView& view = model.bufferViews.at(accessor.bufferView);
  std::vector<T> values(accessor.count * tinygltf::GetNumComponentsInType(accessor.type));
  std::memcpy(values.data(), model.buffers.at(0).data.data() + view.byteOffset + accessor.byteOffset,
              values.size() * sizeof(T));
  return values;
}

struct Mesh {
  std::vector<Vector> positions, normals;
  std::vector<float> uvs, colours;
  std::vector<UInt32> indices;
  int material = -1;
  std::size_t Triangles() const { return indices.size() / 3; }
  const Vector& Corner(std::size_t t, int k) const { return positions.at(indices.at(3 * t + k)); }
  // glTF's front side: right-handed, counter-clockwise.
  Vector Normal(std::size_t t) const { return Cross(Corner(t, 1) - Corner(t, 0), Corner(t, 2) - Corner(t, 0)); }
};

Mesh ReadMesh(const tinygltf::Model& model, int index) {
  const tinygltf::Primitive& primitive = model.meshes.at(index).primitives.at(0);
  EXPECT_EQ(primitive.mode, TINYGLTF_MODE_TRIANGLES);
  EXPECT_EQ(model.accessors.at(primitive.indices).componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
  const auto vectors = [&](const char* name) {
    const std::vector<float> xyz = Read<float>(model, primitive.attributes.at(name));
    std::vector<Vector> out;
    for (std::size_t i = 0; i < xyz.size(); i += 3) {
      out.emplace_back(xyz[i], xyz[i + 1], xyz[i + 2]);
    }
    return out;
  };
  Mesh mesh{vectors("POSITION"), vectors("NORMAL"), {}, {}, Read<UInt32>(model, primitive.indices), primitive.material};
  if (primitive.attributes.count("TEXCOORD_0") != 0) {
    mesh.uvs = Read<float>(model, primitive.attributes.at("TEXCOORD_0"));
  }
  if (primitive.attributes.count("COLOR_0") != 0) {
    mesh.colours = Read<float>(model, primitive.attributes.at("COLOR_0"));
  }
  return mesh;
}

// The host point a vertex was made from, or -1.
int PointOf(const Vector& vertex, const PolygonObject& op) {
  for (Int32 i = 0; i < op.GetPointCount(); ++i) {
    if ((Gltf(op.GetPointR()[i]) - vertex).GetLength() < 1e-6) {
      return i;
    }
  }
  return -1;
}

// (n + 1)² points 10 cm apart over x and z, n² quads facing +Y, heights from `height`.
PolygonObject* Grid(int n, double (*height)(int, int) = [](int, int) { return 0.0; }) {
  PolygonObject* op = PolygonObject::Alloc((n + 1) * (n + 1), n * n);
  for (int i = 0; i <= n; ++i) {
    for (int j = 0; j <= n; ++j) {
      op->GetPointW()[i * (n + 1) + j] = Vector(10.0 * i, height(i, j), 10.0 * j);
    }
  }
  for (int i = 0; i < n * n; ++i) {
    const Int32 a = i / n * (n + 1) + i % n;
    op->GetPolygonW()[i] = CPolygon(a, a + 1, a + n + 2, a + n + 1);
  }
  return op;
}

// Texture coordinates from each point's place on the grid, so neighbours agree.
UVWTag* AddGridUvs(PolygonObject* op, int n) {
  auto* tag = static_cast<UVWTag*>(op->MakeVariableTag(Tuvw, op->GetPolygonCount()));
  const auto uv = [n](Int32 point) { return Vector(point / (n + 1) / double(n), point % (n + 1) / double(n), 0.0); };
  for (Int32 p = 0; p < op->GetPolygonCount(); ++p) {
    const CPolygon& q = op->GetPolygonR()[p];
    tag->Set(p, UVWStruct{uv(q.a), uv(q.b), uv(q.c), uv(q.d)});
  }
  return tag;
}

ColorA32* AddColours(PolygonObject* op) {
  auto* tag = static_cast<VertexColorTag*>(op->MakeVariableTag(Tvertexcolor, op->GetPointCount()));
  for (Int32 i = 0; i < op->GetPointCount(); ++i) {
    tag->GetDataAddressW()[i] = ColorA32{0.01f * (i % 100), 0.5f, 0.25f, 1.0f - 0.001f * (i % 1000)};
  }
  return tag->GetDataAddressW();
}

template <class T>
T* Named(T* op, const std::string& name, Vector colour = Vector(), Int32 usecolor = 0) {
  op->SetName(String(name));
  const ObjectColorProperties properties{colour, usecolor, false};
  op->SetColorProperties(&properties);
  return op;
}

// A generator whose cache depends on its name, so one document can hold every case.
class TestGenerator final : public ObjectData {
public:
  static NodeData* Alloc() { return new TestGenerator; }
  BaseObject* GetVirtualObjects(BaseObject* op, const HierarchyHelp*) override {
    const std::string name = op->GetName().GetStd();
    BaseObject* cache = BaseObject::Alloc(Onull);
    if (name == "lone mesh") {
      BaseObject::Free(cache);
      return Grid(2);
    }
    if (name == "moved mesh") {
      BaseObject::Free(cache);
      cache = Named(Grid(1), "moved");
      cache->SetRelPos(Vector(0, 100, 0));
    }
    for (int i = 0; name == "spheres" && i < 3; ++i) {
      BaseObject* sphere = GeneratePrimitive(nullptr, Osphere, BaseContainer(), 1.0, false, nullptr);
      Named(sphere, "sphere " + std::to_string(i), Vector(0.1, 0.2 * i, 0.8), 2)->MakeTag(Tphong);
      sphere->SetRelPos(Vector(250.0 * i, 0, -400));
      sphere->InsertUnderLast(cache);
    }
    return cache;
  }
};
constexpr Int32 kTestGenerator = 1990001;

class GltfExportTest : public ::testing::Test {
protected:
  void SetUp() override {
    static const bool registered = RegisterObjectPlugin(kTestGenerator, String("Test Generator"), OBJECT_GENERATOR,
                                                        &TestGenerator::Alloc, String(), nullptr, 0);
    ASSERT_TRUE(registered);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    BaseDocument::Free(doc_);
    fs::remove_all(folder_);
  }

  // Appends `op` last below `parent`, or last at the top.
  template <class T>
  T* Add(T* op, BaseObject* parent = nullptr) {
    BaseObject* pred = parent != nullptr ? parent->GetDownLast() : doc_->GetFirstObject();
    while (parent == nullptr && pred != nullptr && pred->GetNext() != nullptr) {
      pred = pred->GetNext();
    }
    doc_->InsertObject(op, parent, pred);
    return op;
  }
  tinygltf::Model Export(const fs::path& file) {
    ExecutePasses(doc_);
    dropped_ = WriteGlb(doc_, Filename(file));
    tinygltf::Model model;
    std::string error, warning;
    EXPECT_TRUE(tinygltf::TinyGLTF().LoadBinaryFromFile(&model, &error, &warning, file.string())) << error;
    return model;
  }
  tinygltf::Model Export() { return Export(folder_ / "scene.glb"); }
  const tinygltf::Node& Node(const tinygltf::Model& model, const std::string& name) {
    for (const tinygltf::Node& node : model.nodes) {
      if (node.name == name) {
        return node;
      }
    }
    throw std::runtime_error("no node " + name);
  }
  std::vector<std::string> Names(const tinygltf::Model& model, const std::vector<int>& nodes) {
    std::vector<std::string> names;
    for (int node : nodes) {
      names.push_back(model.nodes.at(node).name);
    }
    return names;
  }

  BaseDocument* doc_ = BaseDocument::Alloc();
  std::vector<vantelle::app::DroppedGeometry> dropped_;  // what the last export left out
  const fs::path folder_ = fs::temp_directory_path() / ("vantelle_export_" + std::to_string(getpid()));
};

TEST_F(GltfExportTest, GeometryIsMirroredIntoMetresAndStillFacesOutward) {
  // A tetrahedron whose faces all face outward by the host's rule.
  PolygonObject* op = Add(PolygonObject::Alloc(4, 4));
  const Vector corners[4] = {Vector(0, 0, 0), Vector(100, 0, 0), Vector(0, 100, 0), Vector(0, 0, 100)};
  std::copy(corners, corners + 4, op->GetPointW());
  const CPolygon faces[4] = {CPolygon(0, 2, 1), CPolygon(0, 3, 2), CPolygon(0, 1, 3), CPolygon(1, 2, 3)};
  std::copy(faces, faces + 4, op->GetPolygonW());
  const Vector centre(25, 25, 25);
  for (const CPolygon& f : faces) {
    ASSERT_GT(Dot(CalcFaceNormal(corners, f), corners[f.a] - centre), 0.0);
  }
  const tinygltf::Model model = Export();
  const Mesh mesh = ReadMesh(model, 0);
  ASSERT_EQ(mesh.Triangles(), 4u);
  for (std::size_t t = 0; t < 4; ++t) {
    const CPolygon& f = faces[t];
    for (int k = 0; k < 3; ++k) {
      EXPECT_GE(PointOf(mesh.Corner(t, k), *op), 0);
      // Flat shading: every corner carries its face's normal.
      ExpectNear(mesh.normals[mesh.indices[3 * t + k]], mesh.Normal(t).GetNormalized());
    }
    ExpectNear(mesh.Normal(t).GetNormalized(), GltfDirection(CalcFaceNormal(corners, f)));
    EXPECT_GT(Dot(mesh.Normal(t), mesh.Corner(t, 0) - Gltf(centre)), 0.0) << "triangle " << t << " faces inward";
  }
  const tinygltf::Accessor& position = model.accessors[model.meshes[0].primitives[0].attributes.at("POSITION")];
  EXPECT_EQ(position.minValues, (std::vector<double>{0.0, 0.0, -1.0}));
  EXPECT_EQ(position.maxValues, (std::vector<double>{1.0, 1.0, 0.0}));
}

TEST_F(GltfExportTest, VerticesAreSharedWhereNormalTextureAndColourAgree) {
  // No two quads of this grid share a normal.
  const auto bumpy = [](int i, int j) { return 3.0 * std::array{0, 9, 2, 5, 1, 14, 8, 3, 6}[3 * i + j]; };
  Add(Grid(2, bumpy))->MakeTag(Tphong);
  Add(Grid(2, bumpy));
  PolygonObject* seams = Add(Grid(2, bumpy));
  seams->MakeTag(Tphong);
  auto* uvs = static_cast<UVWTag*>(seams->MakeVariableTag(Tuvw, 4));
  for (Int32 p = 0; p < 4; ++p) {
    uvs->Set(p, UVWStruct{Vector(p, 0, 0), Vector(p, 1, 0), Vector(p + 1, 1, 0), Vector(p + 1, 0, 0)});
  }
  Add(Grid(2));  // flat, but its faces share one normal
  PolygonObject* plot = Add(Grid(50, [](int i, int j) { return 20.0 * std::sin(0.2 * i) * std::cos(0.3 * j); }));
  plot->MakeTag(Tphong);
  AddGridUvs(plot, 50);
  AddColours(plot);
  // A large floor triangle (+Y) and a tiny wall (+X) meet at point 0: weighted by area the
  // floor wins, where a plain average would lean 45°.
  PolygonObject* corner = Add(PolygonObject::Alloc(5, 2));
  const Vector points[5] = {Vector(0, 0, 0), Vector(0, 0, 100), Vector(100, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)};
  std::copy(points, points + 5, corner->GetPointW());
  corner->GetPolygonW()[0] = CPolygon(0, 1, 2);
  corner->GetPolygonW()[1] = CPolygon(0, 3, 4);
  corner->MakeTag(Tphong);

  const tinygltf::Model model = Export();
  ASSERT_EQ(model.meshes.size(), 6u);
  EXPECT_EQ(ReadMesh(model, 0).positions.size(), 9u);
  EXPECT_EQ(ReadMesh(model, 1).positions.size(), 16u);
  EXPECT_EQ(ReadMesh(model, 2).positions.size(), 16u);
  EXPECT_EQ(ReadMesh(model, 3).positions.size(), 9u);
  const Mesh surface = ReadMesh(model, 4);
  EXPECT_EQ(surface.positions.size(), 2601u);
  EXPECT_EQ(surface.Triangles(), 5000u);
  const Mesh weighted = ReadMesh(model, 5);
  for (std::size_t v = 0; v < weighted.positions.size(); ++v) {
    EXPECT_NEAR(weighted.normals[v].GetLength(), 1.0, 1e-6);
    if (PointOf(weighted.positions[v], *corner) == 0) {
      ExpectNear(weighted.normals[v], GltfDirection(Vector(1, 10000, 0)));
    }
  }
}

TEST_F(GltfExportTest, TextureCoordinatesColoursAndMaterials) {
  PolygonObject* coloured = Add(Named(Grid(1, [](int i, int j) { return 5.0 * i * j; }), "coloured", Vector(1, 0, 0), 2));
  coloured->MakeTag(Tphong);
  const UVWStruct uv{Vector(0.1, 0.2, 0), Vector(0.3, 0.4, 0), Vector(0.5, 0.6, 0), Vector(0.7, 0.8, 0)};
  static_cast<UVWTag*>(coloured->MakeVariableTag(Tuvw, 1))->Set(0, uv);
  const ColorA32* colours = AddColours(coloured);
  Add(Named(Grid(1), "red always", Vector(1, 0, 0), 2));
  Add(Named(Grid(1), "red automatic", Vector(1, 0, 0), 1));
  Add(Named(Grid(1), "colour off", Vector(0, 1, 0), 0));
  Add(Named(Grid(1), "inherits blue"), Add(Named(BaseObject::Alloc(Onull), "blue", Vector(0, 0, 1), 2)));

  const tinygltf::Model model = Export();
  const Mesh mesh = ReadMesh(model, 0);
  ASSERT_EQ(mesh.uvs.size(), 8u);
  ASSERT_EQ(mesh.colours.size(), 16u);
  for (std::size_t v = 0; v < 4; ++v) {
    const int point = PointOf(mesh.positions[v], *coloured);
    const Vector& expected = point == 0 ? uv.a : point == 1 ? uv.b : point == 3 ? uv.c : uv.d;
    EXPECT_EQ(mesh.uvs[2 * v], float(expected.x));
    EXPECT_EQ(mesh.uvs[2 * v + 1], float(expected.y));
    EXPECT_EQ(std::vector<float>(&mesh.colours[4 * v], &mesh.colours[4 * v + 4]),
              (std::vector<float>{colours[point].r, colours[point].g, colours[point].b, colours[point].a}));
  }
  const auto colourOf = [&](const std::string& name) {
    const tinygltf::Material& m = model.materials.at(ReadMesh(model, Node(model, name).mesh).material);
    EXPECT_EQ(m.pbrMetallicRoughness.metallicFactor, 0.0);
    EXPECT_NEAR(m.pbrMetallicRoughness.roughnessFactor, 0.8, 1e-9);
    return m.pbrMetallicRoughness.baseColorFactor;
  };
  // Vertex colours are multiplied by the base colour, which must not tint them.
  EXPECT_EQ(colourOf("coloured"), (std::vector<double>{1, 1, 1, 1}));
  EXPECT_EQ(colourOf("red always"), (std::vector<double>{1, 0, 0, 1}));
  EXPECT_EQ(colourOf("red automatic"), (std::vector<double>{1, 0, 0, 1}));
  EXPECT_EQ(colourOf("colour off"), (std::vector<double>{0.8, 0.8, 0.8, 1}));
  EXPECT_EQ(colourOf("inherits blue"), (std::vector<double>{0, 0, 1, 1}));
  EXPECT_EQ(model.materials.size(), 4u);
  // Only lines use an extension.
  EXPECT_TRUE(model.extensionsUsed.empty());
}

TEST_F(GltfExportTest, ObjectsOfOneShapeShareAMeshAndLookalikeColoursAMaterial) {
  // A plot's primitives: one shape placed by each object's position, coloured along a
  // gradient, where neighbours differ by less than an 8-bit display shows.
  Add(Named(Grid(1), "a", Vector(1, 0, 0), 2))->SetRelPos(Vector(100, 0, 0));
  Add(Named(Grid(1), "b", Vector(1, 0, 0), 2))->SetRelPos(Vector(200, 0, 0));
  Add(Named(Grid(1), "c", Vector(1 - 1e-3, 0, 0), 2));
  Add(Named(Grid(1), "d", Vector(1 - 5e-3, 0, 0), 2));
  Add(Named(Grid(2), "e", Vector(1, 0, 0), 2));
  const tinygltf::Model model = Export();
  const int a = Node(model, "a").mesh;
  EXPECT_EQ(Node(model, "b").mesh, a);
  EXPECT_EQ(Node(model, "c").mesh, a);
  EXPECT_NE(Node(model, "d").mesh, a);
  EXPECT_NE(Node(model, "e").mesh, a);
  EXPECT_EQ(model.meshes.size(), 3u);
  ASSERT_EQ(model.materials.size(), 2u);
  // The first colour of a look-alike set is the one written.
  EXPECT_EQ(model.materials[0].pbrMetallicRoughness.baseColorFactor, (std::vector<double>{1, 0, 0, 1}));
  EXPECT_EQ(Node(model, "b").translation, (std::vector<double>{2, 0, 0}));
}

TEST_F(GltfExportTest, TheChunkedWriterWritesTheLibrarysBytes) {
  Add(Named(Grid(3, [](int i, int j) { return 1.0 * i * j; }), "surface", Vector(0, 0, 1), 2));
  ExecutePasses(doc_);
  tinygltf::Model model = vantelle::app::BuildGltfModel(doc_);
  // Past what the chunk holds in memory, and a length that needs padding.
  model.buffers.at(0).data.resize(model.buffers[0].data.size() + vantelle::app::BinaryChunk::kHeld + 3, 7);
  const fs::path library = folder_ / "library.glb";
  const fs::path chunked = folder_ / "chunked.glb";
  vantelle::app::WriteGltfModel(model, Filename(library));
  vantelle::app::BinaryChunk bin;
  bin.Append(model.buffers[0].data.data(), model.buffers[0].data.size() - 100);
  bin.Append(model.buffers[0].data.data() + model.buffers[0].data.size() - 100, 100);
  model.buffers[0].data.clear();
  vantelle::app::StageGlb(model, bin, Filename(chunked)).Commit();
  std::ifstream a(library, std::ios::binary), b(chunked, std::ios::binary);
  const std::string x((std::istreambuf_iterator<char>(a)), std::istreambuf_iterator<char>());
  const std::string y((std::istreambuf_iterator<char>(b)), std::istreambuf_iterator<char>());
  EXPECT_EQ(x.size(), y.size());
  EXPECT_TRUE(x == y);
}

TEST_F(GltfExportTest, TrianglesQuadsAndUnusablePolygons) {
  PolygonObject* op = Add(Named(Grid(1), "mixed"));
  op->ResizeObject(4, 5);
  const CPolygon polygons[5] = {CPolygon(0, 1, 2), CPolygon(0, 1, 2, 3), CPolygon(0, 1, 4), CPolygon(0, 1, 2, 9),
                                CPolygon(-1, 1, 2)};
  std::copy(polygons, polygons + 5, op->GetPolygonW());
  PolygonObject* endless = Add(Named(Grid(1), "endless"));
  endless->GetPointW()[1] = Vector(std::numeric_limits<double>::infinity(), 0, 0);
  endless->GetPointW()[2] = Vector(1e300, 0, 0);
  Add(Named(PolygonObject::Alloc(0, 0), "empty"));

  const tinygltf::Model model = Export();
  ASSERT_EQ(model.meshes.size(), 1u);
  const Mesh mesh = ReadMesh(model, Node(model, "mixed").mesh);
  // The triangle once, the quad split along a-c into (a, b, c) and (a, c, d).
  std::multiset<std::set<int>> triangles;
  for (std::size_t t = 0; t < mesh.Triangles(); ++t) {
    triangles.insert({PointOf(mesh.Corner(t, 0), *op), PointOf(mesh.Corner(t, 1), *op), PointOf(mesh.Corner(t, 2), *op)});
  }
  EXPECT_EQ(triangles, (std::multiset<std::set<int>>{{0, 1, 2}, {0, 1, 2}, {0, 2, 3}}));
  // Nothing to show: a node without a mesh, never an empty mesh.
  EXPECT_EQ(Node(model, "endless").mesh, -1);
  EXPECT_EQ(Node(model, "empty").mesh, -1);
  // Polygons too far out for single precision are reported; malformed ones are not geometry.
  ASSERT_EQ(dropped_.size(), 1u);
  EXPECT_EQ(dropped_[0].object, endless);
  EXPECT_EQ(dropped_[0].name, "endless");
  EXPECT_EQ(dropped_[0].polygons, 1);
}

TEST_F(GltfExportTest, SwitchedOffObjectsAddTheirNodeAlone) {
  BaseObject* generator = Add(Named(BaseObject::Alloc(kTestGenerator), "lone mesh"));
  BaseObject* polygons = Add(Named(Grid(1), "grid"));
  BaseObject* child = Add(Named(Grid(1), "child"), polygons);
  const tinygltf::Model on = Export();
  ASSERT_GE(Node(on, "lone mesh").mesh, 0);
  generator->SetDeformMode(false);
  polygons->SetDeformMode(false);
  const tinygltf::Model off = Export();
  EXPECT_EQ(Node(off, "lone mesh").mesh, -1);
  EXPECT_TRUE(Node(off, "lone mesh").children.empty());
  EXPECT_EQ(Node(off, "grid").mesh, -1);
  EXPECT_GE(Node(off, "child").mesh, 0) << "a child switches itself";
  EXPECT_EQ(off.meshes.size(), 1u);
  EXPECT_TRUE(child->GetDeformMode());
}

TEST_F(GltfExportTest, ARotationSurvivesScaleAxesOfNothing) {
  int count = 0;
  for (const Vector& scale : {Vector(0, 0, 1), Vector(0, 2, 0), Vector(0, 0, 0), Vector(3, 0, -1)}) {
    BaseObject* op = Add(Named(BaseObject::Alloc(Onull), "scaled " + std::to_string(++count)));
    op->SetRelRot(Vector(0.5, 0, 0));
    op->SetRelScale(scale);
  }
  const tinygltf::Model model = Export();
  for (const BaseObject* op = doc_->GetFirstObject(); op != nullptr; op = op->GetNext()) {
    const tinygltf::Node& node = Node(model, op->GetName().GetStd());
    // A heading of 0.5 turns +X towards the host's +Z, which is glTF's -Z: a right-handed
    // turn of +0.5 about Y.
    ASSERT_EQ(node.rotation.size(), 4u) << op->GetName().GetStd();
    EXPECT_NEAR(node.rotation[1], std::sin(0.25), 1e-12) << op->GetName().GetStd();
    EXPECT_NEAR(node.rotation[3], std::cos(0.25), 1e-12) << op->GetName().GetStd();
    EXPECT_EQ(node.scale, (std::vector<double>{op->GetRelScale().x, op->GetRelScale().y, op->GetRelScale().z}));
  }
}

// v turned by the unit quaternion (x, y, z, w).
Vector Rotate(const std::vector<double>& q, const Vector& v) {
  const Vector u(q[0], q[1], q[2]);
  return u * (2.0 * Dot(u, v)) + v * (q[3] * q[3] - Dot(u, u)) + Cross(u, v) * (2.0 * q[3]);
}

TEST_F(GltfExportTest, NodesFollowTheTreeWithTheirTransforms) {
  BaseObject* parent = Add(Named(BaseObject::Alloc(Onull), "Parent"));
  parent->SetRelPos(Vector(100, 200, 300));
  Add(Named(Grid(1), "A"), parent);
  Add(Named(BaseObject::Alloc(Onull), "C"), Add(Named(BaseObject::Alloc(Onull), "B"), parent));
  Add(BaseObject::Alloc(Onull));  // unnamed: named after its type, as tinygltf drops empty nodes
  const Vector turns[] = {Vector(0.3, -0.5, 0.7), Vector(PI, 0, 0), Vector(0, PI / 2, 0), Vector(2.5, 3.0, -2.9)};
  for (const Vector& turn : turns) {
    BaseObject* op = Add(Named(BaseObject::Alloc(Onull), "turned " + std::to_string(turn.x)));
    op->SetRelPos(Vector(10, -20, 30));
    op->SetRelRot(turn);
    op->SetRelScale(Vector(2, 0.5, -3));
  }

  const tinygltf::Model model = Export();
  EXPECT_EQ(Names(model, model.scenes.at(model.defaultScene).nodes).at(1), "Null");
  EXPECT_EQ(Names(model, Node(model, "Parent").children), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(Names(model, Node(model, "B").children), (std::vector<std::string>{"C"}));
  EXPECT_EQ(Node(model, "Parent").translation, (std::vector<double>{1.0, 2.0, -3.0}));
  EXPECT_GE(Node(model, "A").mesh, 0);
  for (const BaseObject* op = doc_->GetFirstObject()->GetNext()->GetNext(); op != nullptr; op = op->GetNext()) {
    const tinygltf::Node& node = Node(model, op->GetName().GetStd());
    ASSERT_EQ(node.rotation.size() + node.scale.size() + node.translation.size(), 10u);
    for (const Vector& v : {Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1), Vector(3, -4, 5)}) {
      // glTF scales, then rotates, then moves.
      const Vector scaled(Gltf(v).x * node.scale[0], Gltf(v).y * node.scale[1], Gltf(v).z * node.scale[2]);
      const Vector moved = Vector(node.translation[0], node.translation[1], node.translation[2]);
      ExpectNear(Rotate(node.rotation, scaled) + moved, Gltf(op->GetMl() * v), 1e-9);
    }
  }
}

TEST_F(GltfExportTest, GeneratorCachesGoBelowTheirNodes) {
  for (const char* name : {"lone mesh", "empty", "spheres", "moved mesh"}) {
    Add(Named(BaseObject::Alloc(kTestGenerator), name));
  }
  const tinygltf::Model model = Export();
  // A lone mesh at the origin is the generator's own; an empty null adds nothing.
  EXPECT_GE(Node(model, "lone mesh").mesh, 0);
  EXPECT_TRUE(Node(model, "lone mesh").children.empty());
  EXPECT_EQ(Node(model, "empty").mesh, -1);
  EXPECT_TRUE(Node(model, "empty").children.empty());
  EXPECT_EQ(Names(model, Node(model, "spheres").children),
            (std::vector<std::string>{"sphere 0", "sphere 1", "sphere 2"}));
  EXPECT_EQ(Node(model, "sphere 1").translation, (std::vector<double>{2.5, 0.0, 4.0}));
  EXPECT_GE(Node(model, "sphere 1").mesh, 0);
  // A mesh away from the origin keeps its offset on a node of its own.
  EXPECT_EQ(Names(model, Node(model, "moved mesh").children), (std::vector<std::string>{"moved"}));
  EXPECT_EQ(Node(model, "moved").translation, (std::vector<double>{0.0, 1.0, 0.0}));
  EXPECT_EQ(model.nodes.size(), 8u);
}

std::string ReadAll(const fs::path& file) {
  std::stringstream text;
  text << std::ifstream(file, std::ios::binary).rdbuf();
  return text.str();
}

std::string FailureOf(const std::function<void()>& action, int exitCode = vantelle::app::kExitFailure) {
  try {
    action();
  } catch (const vantelle::app::AppError& e) {
    EXPECT_EQ(e.GetExitCode(), exitCode);
    return e.what();
  }
  return "no failure";
}

TEST_F(GltfExportTest, FailuresNameTheFileAndLeaveEverythingAsItWas) {
  Add(Grid(40));
  const fs::path missing = folder_ / "no" / "x.glb";
  EXPECT_EQ(FailureOf([&] { WriteGlb(doc_, Filename(missing)); }),
            "cannot write " + missing.string() + ": No such file or directory");

  const fs::path folderInTheWay = folder_ / "taken.glb";
  fs::create_directory(folderInTheWay);
  EXPECT_EQ(FailureOf([&] { WriteGlb(doc_, Filename(folderInTheWay)); }, vantelle::app::kExitBadInput),
            "cannot write " + folderInTheWay.string() + ": Is a directory");

  // A write cut short, as by a full disk, keeps the existing file.
  const fs::path existing = folder_ / "plot.glb";
  std::ofstream(existing) << "old";
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 4096;
  const auto handler = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  const std::string cut = FailureOf([&] { WriteGlb(doc_, Filename(existing)); });
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, handler);
  EXPECT_EQ(cut.rfind("cannot write " + existing.string() + ": ", 0), 0u) << cut;
  EXPECT_EQ(ReadAll(existing), "old");

  std::set<std::string> entries;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    entries.insert(entry.path().filename().string());
  }
  EXPECT_EQ(entries, (std::set<std::string>{"taken.glb", "plot.glb"}));
  // Success replaces it.
  EXPECT_EQ(Export(existing).meshes.size(), 1u);
}

// Several kinds of objects in one file; with VANTELLE_EXPORT_SAMPLE set it goes there, for
// the glTF validator and Blender (tests/export/).
TEST_F(GltfExportTest, SampleScene) {
  BaseObject* plot = Add(Named(BaseObject::Alloc(Onull), "Plot"));
  plot->SetRelPos(Vector(0, 50, 0));
  plot->SetRelRot(Vector(0.4, 0, 0));
  PolygonObject* surface =
      Add(Named(Grid(50, [](int i, int j) { return 40.0 * std::sin(0.25 * (i - 25)) * std::cos(0.2 * (j - 25)); }),
                "Surface"),
          plot);
  surface->SetRelPos(Vector(-250, 0, -250));
  surface->MakeTag(Tphong);
  AddGridUvs(surface, 50);
  AddColours(surface);
  Add(Named(GeneratePrimitive(doc_, Ocube, BaseContainer(), 1.0, false, nullptr), "Cube", Vector(0.9, 0.3, 0.1), 2), plot)
      ->SetRelPos(Vector(0, 0, 300));
  Add(Named(BaseObject::Alloc(kTestGenerator), "spheres"));
  SplineObject* wire = Add(Named(SplineObject::Alloc(12, SPLINETYPE::CUBIC), "Wire", Vector(0.2, 0.9, 0.3), 1), plot);
  wire->ResizeObject(12, 2);
  wire->GetSegmentW()[0] = Segment{8, true};
  wire->GetSegmentW()[1] = Segment{4, false};
  for (Int32 i = 0; i < 12; ++i) {
    const double angle = 2 * PI * i / 8;
    wire->GetPointW()[i] = i < 8 ? Vector(260 * std::cos(angle), 60, 260 * std::sin(angle)) : Vector(-250, 20 * i, 250);
  }

  const char* sample = std::getenv("VANTELLE_EXPORT_SAMPLE");
  const tinygltf::Model model = Export(sample != nullptr && *sample != '\0' ? fs::path(sample) : folder_ / "sample.glb");
  EXPECT_EQ(model.nodes.size(), 8u);
  EXPECT_EQ(model.meshes.size(), 6u);
}

// The point as a file's single precision holds it. Kept as floats: g++ 12 at -O2 folds a
// pair of double-to-float-to-double round trips away.
std::array<float, 3> Single(const Vector& v) { return {float(v.x), float(v.y), float(v.z)}; }

// One primitive of a spline's mesh as a reader sees it.
struct Line {
  int mode = -1;
  std::vector<Vector> positions;
};

std::vector<Line> ReadLines(const tinygltf::Model& model, int mesh) {
  std::vector<Line> lines;
  for (const tinygltf::Primitive& primitive : model.meshes.at(mesh).primitives) {
    // Only the position: lines have no surface to shade or texture.
    EXPECT_EQ(primitive.attributes.size(), 1u);
    const std::vector<float> xyz = Read<float>(model, primitive.attributes.at("POSITION"));
    Line line{primitive.mode, {}};
    for (std::size_t i = 0; i < xyz.size(); i += 3) {
      line.positions.emplace_back(xyz[i], xyz[i + 1], xyz[i + 2]);
    }
    if (primitive.indices >= 0) {
      std::vector<Vector> indexed;
      for (UInt32 index : Read<UInt32>(model, primitive.indices)) {
        indexed.push_back(line.positions.at(index));
      }
      line.positions = indexed;
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

// A spline of `type` through `points`, split by `segments` when there are any.
SplineObject* Spline(SPLINETYPE type, const std::vector<Vector>& points, const std::vector<Segment>& segments = {},
                     bool closed = false) {
  SplineObject* op = SplineObject::Alloc(static_cast<Int32>(points.size()), type);
  op->ResizeObject(static_cast<Int32>(points.size()), static_cast<Int32>(segments.size()));
  std::copy(points.begin(), points.end(), op->GetPointW());
  std::copy(segments.begin(), segments.end(), op->GetSegmentW());
  op->GetDataInstance()->SetBool(SPLINEOBJECT_CLOSED, closed);
  return op;
}

// Every vertex is finite and within `margin` of the box around the control points (as a
// share of the box's size along each axis), where a curve that overshoots or loops would
// leave it.
void ExpectWithinControlBox(const Line& line, const std::vector<Vector>& controls, double margin) {
  const auto along = [](const Vector& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; };
  std::array<double, 3> low{}, high{};
  for (int axis = 0; axis < 3; ++axis) {
    low[axis] = std::numeric_limits<double>::max();
    high[axis] = std::numeric_limits<double>::lowest();
    for (const Vector& c : controls) {
      const Vector g = Gltf(c);
      low[axis] = std::min(low[axis], along(g, axis));
      high[axis] = std::max(high[axis], along(g, axis));
    }
  }
  for (const Vector& v : line.positions) {
    for (int axis = 0; axis < 3; ++axis) {
      const double value = along(v, axis);
      const double slack = margin * (high[axis] - low[axis]) + 1e-6;
      ASSERT_TRUE(std::isfinite(value));
      EXPECT_TRUE(value >= low[axis] - slack && value <= high[axis] + slack)
          << "(" << v.x << ", " << v.y << ", " << v.z << ") leaves the control points' box along axis " << axis;
    }
  }
}

TEST_F(GltfExportTest, LinearSplinesKeepTheirPoints) {
  const std::vector<Vector> square = {Vector(0, 0, 0), Vector(100, 0, 0), Vector(100, 0, 100), Vector(0, 0, 100)};
  Add(Named(Spline(SPLINETYPE::LINEAR, square, {}, true), "square"));
  Add(Named(Spline(SPLINETYPE::LINEAR, {Vector(1, 2, 3), Vector(4, 5, 6), Vector(7, 8, 9)}), "open"));
  // Records that do not add up to the points are ignored: one segment of all of them.
  Add(Named(Spline(SPLINETYPE::LINEAR, {Vector(1, 2, 3), Vector(4, 5, 6), Vector(7, 8, 9)}, {Segment{2, true}}),
            "miscounted"));

  const tinygltf::Model model = Export();
  const std::vector<Line> loop = ReadLines(model, Node(model, "square").mesh);
  ASSERT_EQ(loop.size(), 1u);
  EXPECT_EQ(loop[0].mode, TINYGLTF_MODE_LINE_LOOP);
  ASSERT_EQ(loop[0].positions.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    ExpectNear(loop[0].positions[i], Gltf(square[i]));
  }
  for (const char* name : {"open", "miscounted"}) {
    const std::vector<Line> strip = ReadLines(model, Node(model, name).mesh);
    ASSERT_EQ(strip.size(), 1u);
    EXPECT_EQ(strip[0].mode, TINYGLTF_MODE_LINE_STRIP) << name;
    ASSERT_EQ(strip[0].positions.size(), 3u);
    ExpectNear(strip[0].positions[2], Gltf(Vector(7, 8, 9)));
  }
  const tinygltf::Accessor& position = model.accessors[model.meshes[0].primitives[0].attributes.at("POSITION")];
  EXPECT_EQ(position.minValues, (std::vector<double>{0.0, 0.0, -1.0}));
  EXPECT_EQ(position.maxValues, (std::vector<double>{1.0, 0.0, 0.0}));
}

TEST_F(GltfExportTest, CubicSplinesRunSmoothlyThroughEveryPoint) {
  const std::vector<Vector> bend = {Vector(0, 0, 0), Vector(30, 90, 10), Vector(200, -40, 0)};
  Add(Named(Spline(SPLINETYPE::CUBIC, bend), "bend"));
  // A plot's line: 51 samples over 2 m with a sharp step, where a uniform spline would
  // swing far past the samples.
  std::vector<Vector> plotted;
  for (int i = 0; i <= 50; ++i) {
    plotted.emplace_back(4.0 * i - 100, i < 25 ? 0.0 : 80.0, 7.0);
  }
  Add(Named(Spline(SPLINETYPE::CUBIC, plotted), "plotted"));
  // Repeated points give a span of no length and neighbours with no direction.
  const std::vector<Vector> repeats = {Vector(5, 5, 5), Vector(5, 5, 5), Vector(50, 0, 0), Vector(50, 0, 0),
                                       Vector(50, 0, 0), Vector(90, 20, 0), Vector(90, 20, 0)};
  Add(Named(Spline(SPLINETYPE::CUBIC, repeats), "repeats"));
  Add(Named(Spline(SPLINETYPE::CUBIC, {Vector(1, 1, 1), Vector(1, 1, 1), Vector(1, 1, 1)}, {}, true), "one place"));
  const std::vector<Vector> ring = {Vector(100, 0, 0), Vector(0, 0, 100), Vector(-100, 0, 0), Vector(0, 0, -100)};
  Add(Named(Spline(SPLINETYPE::CUBIC, ring, {}, true), "ring"));

  const tinygltf::Model model = Export();
  const Line line = ReadLines(model, Node(model, "bend").mesh).at(0);
  EXPECT_EQ(line.mode, TINYGLTF_MODE_LINE_STRIP);
  // Two spans of k sub-points each, whatever k the exporter chose.
  const std::size_t k = (line.positions.size() - 1) / 2;
  ASSERT_EQ(line.positions.size(), 2 * k + 1);
  EXPECT_GE(k, 4u);
  EXPECT_LE(k, 8u);
  // The control points themselves, bit for bit, not the curve evaluated near them.
  EXPECT_EQ(Single(line.positions.front()), Single(Gltf(bend[0])));
  EXPECT_EQ(Single(line.positions[k]), Single(Gltf(bend[1])));
  EXPECT_EQ(Single(line.positions.back()), Single(Gltf(bend[2])));
  ExpectWithinControlBox(line, bend, 0.05);
  // Sub-points lie between their control points rather than all at one end.
  EXPECT_GT((line.positions[k / 2] - line.positions[0]).GetLength(), 0.1);
  EXPECT_GT((line.positions[k / 2] - line.positions[k]).GetLength(), 0.1);

  const Line plot = ReadLines(model, Node(model, "plotted").mesh).at(0);
  ASSERT_EQ(plot.positions.size(), 50 * k + 1);
  for (std::size_t i = 0; i <= 50; ++i) {
    EXPECT_EQ(Single(plot.positions[i * k]), Single(Gltf(plotted[i])));
  }
  ExpectWithinControlBox(plot, plotted, 0.02);
  // Flat runs stay flat: no ripples spread out from the step.
  for (std::size_t v = 0; v < 23 * k; ++v) {
    EXPECT_NEAR(plot.positions[v].y, 0.0, 1e-6) << v;
  }

  const Line repeated = ReadLines(model, Node(model, "repeats").mesh).at(0);
  ASSERT_EQ(repeated.positions.size(), (repeats.size() - 1) * k + 1);
  for (std::size_t i = 0; i < repeats.size(); ++i) {
    EXPECT_EQ(Single(repeated.positions[i * k]), Single(Gltf(repeats[i])));
  }
  ExpectWithinControlBox(repeated, repeats, 0.05);
  const Line still = ReadLines(model, Node(model, "one place").mesh).at(0);
  EXPECT_EQ(still.mode, TINYGLTF_MODE_LINE_LOOP);
  ASSERT_EQ(still.positions.size(), 3 * k);
  for (const Vector& v : still.positions) {
    EXPECT_EQ(Single(v), Single(Gltf(Vector(1, 1, 1))));
  }

  // A closed curve wraps around: no corner where it starts, the loop joins it up.
  const Line loop = ReadLines(model, Node(model, "ring").mesh).at(0);
  EXPECT_EQ(loop.mode, TINYGLTF_MODE_LINE_LOOP);
  ASSERT_EQ(loop.positions.size(), 4 * k);
  ExpectWithinControlBox(loop, ring, 0.02);
  // The ring looks the same from every control point, the first included.
  const std::size_t n = loop.positions.size();
  for (std::size_t i = 1; i < 4; ++i) {
    EXPECT_NEAR((loop.positions[1] - loop.positions[0]).GetLength(),
                (loop.positions[i * k + 1] - loop.positions[i * k]).GetLength(), 1e-6);
    EXPECT_NEAR((loop.positions[0] - loop.positions[n - 1]).GetLength(),
                (loop.positions[i * k] - loop.positions[i * k - 1]).GetLength(), 1e-6);
  }
}

TEST_F(GltfExportTest, SplineSegmentsBecomePrimitivesInOrder) {
  const std::vector<Vector> points = {Vector(0, 0, 0),   Vector(10, 0, 0),  Vector(20, 0, 0),  Vector(99, 99, 99),
                                      Vector(0, 10, 0),  Vector(10, 10, 0), Vector(10, 20, 0), Vector(0, 20, 0),
                                      Vector(0, 30, 0),  Vector(10, 30, 0)};
  const std::vector<Segment> segments = {Segment{3, false}, Segment{1, true}, Segment{0, false}, Segment{4, true},
                                         Segment{2, false}};
  Add(Named(Spline(SPLINETYPE::LINEAR, points, segments), "segments"));
  // The spline's own setting closes every segment.
  Add(Named(Spline(SPLINETYPE::LINEAR, points, segments, true), "all closed"));
  // A segment that single precision cannot hold is left out, and then nothing is left.
  Add(Named(Spline(SPLINETYPE::CUBIC, {Vector(0, 0, 0), Vector(1e300, 0, 0), Vector(1, 1, 1), Vector(2, 2, 2)},
                   {Segment{2, false}, Segment{2, false}}),
            "one unusable"));
  Add(Named(Spline(SPLINETYPE::CUBIC, {Vector(0, 0, 0), Vector(std::numeric_limits<double>::infinity(), 0, 0)}),
            "unusable"));
  Add(Named(Spline(SPLINETYPE::CUBIC, {Vector(1, 1, 1)}), "one point"));
  Add(Named(SplineObject::Alloc(0, SPLINETYPE::LINEAR), "empty"));

  const tinygltf::Model model = Export();
  const std::vector<Line> lines = ReadLines(model, Node(model, "segments").mesh);
  // The lone point draws nothing.
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].mode, TINYGLTF_MODE_LINE_STRIP);
  EXPECT_EQ(lines[1].mode, TINYGLTF_MODE_LINE_LOOP);
  EXPECT_EQ(lines[2].mode, TINYGLTF_MODE_LINE_STRIP);
  const std::vector<std::size_t> first = {0, 4, 8}, sizes = {3, 4, 2};
  for (std::size_t s = 0; s < 3; ++s) {
    ASSERT_EQ(lines[s].positions.size(), sizes[s]);
    for (std::size_t i = 0; i < sizes[s]; ++i) {
      ExpectNear(lines[s].positions[i], Gltf(points[first[s] + i]));
    }
  }
  for (const Line& line : ReadLines(model, Node(model, "all closed").mesh)) {
    EXPECT_EQ(line.mode, TINYGLTF_MODE_LINE_LOOP);
  }
  const std::vector<Line> usable = ReadLines(model, Node(model, "one unusable").mesh);
  ASSERT_EQ(usable.size(), 1u);
  ExpectNear(usable[0].positions.front(), Gltf(Vector(1, 1, 1)));
  for (const char* name : {"unusable", "one point", "empty"}) {
    EXPECT_EQ(Node(model, name).mesh, -1) << name;
  }
}

TEST_F(GltfExportTest, SplinesShowTheirDisplayColourUnlit) {
  const std::vector<Vector> points = {Vector(0, 0, 0), Vector(10, 0, 0)};
  Add(Named(Spline(SPLINETYPE::CUBIC, points), "red line", Vector(1, 0, 0), 1));
  Add(Named(Spline(SPLINETYPE::LINEAR, points), "red again", Vector(1, 0, 0), 2));
  Add(Named(Grid(1), "red surface", Vector(1, 0, 0), 2));
  Add(Named(Spline(SPLINETYPE::LINEAR, points), "plain"));
  BaseObject* blue = Add(Named(BaseObject::Alloc(Onull), "blue", Vector(0, 0, 1), 2));
  Add(Named(Spline(SPLINETYPE::LINEAR, points), "inherits blue"), blue);

  const tinygltf::Model model = Export();
  const auto materialOf = [&](const std::string& name) {
    return model.meshes.at(Node(model, name).mesh).primitives.at(0).material;
  };
  const auto unlitColour = [&](const std::string& name) {
    const tinygltf::Material& m = model.materials.at(materialOf(name));
    EXPECT_EQ(m.extensions.count("KHR_materials_unlit"), 1u) << name;
    return m.pbrMetallicRoughness.baseColorFactor;
  };
  EXPECT_EQ(unlitColour("red line"), (std::vector<double>{1, 0, 0, 1}));
  EXPECT_EQ(materialOf("red again"), materialOf("red line"));
  EXPECT_EQ(unlitColour("plain"), (std::vector<double>{0.8, 0.8, 0.8, 1}));
  EXPECT_EQ(unlitColour("inherits blue"), (std::vector<double>{0, 0, 1, 1}));
  // A surface of the same colour keeps its lit material.
  EXPECT_NE(materialOf("red surface"), materialOf("red line"));
  EXPECT_EQ(model.materials.at(materialOf("red surface")).extensions.count("KHR_materials_unlit"), 0u);
  EXPECT_EQ(model.extensionsUsed, (std::vector<std::string>{"KHR_materials_unlit"}));
  EXPECT_TRUE(model.extensionsRequired.empty());
}

// An axis label as the labels component makes it, and objects a render leaves out.
TEST_F(GltfExportTest, ExtrudedTextIsOneColouredSolidReadingAlongPlusXAndHiddenObjectsAreLeftOut) {
  BaseObject* label = Add(Named(BaseObject::Alloc(Oextrude), "_SurfoHLabel0_", Vector(0.9, 0.75, 0.2), 1));
  label->GetDataInstance()->SetVector(EXTRUDEOBJECT_MOVE, Vector(0, 0, 0.1));
  label->SetRelPos(Vector(-100, -32, -100));
  BaseObject* text = Add(BaseObject::Alloc(Osplinetext), label);
  text->GetDataInstance()->SetFloat(PRIM_TEXT_HEIGHT, 7.0);
  text->GetDataInstance()->SetString(PRIM_TEXT_TEXT, "-180.0");
  BaseObject* hidden = Add(Named(BaseObject::Alloc(Oextrude), "hidden"));
  Add(BaseObject::Alloc(Osplinetext), hidden);
  Add(Named(Grid(1), "below hidden"), hidden);
  hidden->SetRenderMode(MODE_OFF);
  BaseObject* shown = Add(Named(Grid(1), "editor only off"));
  shown->SetEditorMode(MODE_OFF);

  const tinygltf::Model model = Export();
  // The label's text spline is in its solid, not a line of its own.
  ASSERT_EQ(Names(model, model.scenes.at(0).nodes), (std::vector<std::string>{"_SurfoHLabel0_", "editor only off"}));
  const tinygltf::Node& node = Node(model, "_SurfoHLabel0_");
  EXPECT_TRUE(node.children.empty());
  EXPECT_EQ(node.translation, (std::vector<double>{-1.0, -0.32, 1.0}));
  const Mesh mesh = ReadMesh(model, node.mesh);
  const tinygltf::Material& material = model.materials.at(mesh.material);
  EXPECT_EQ(material.pbrMetallicRoughness.baseColorFactor, (std::vector<double>{0.9, 0.75, 0.2, 1.0}));
  EXPECT_EQ(material.extensions.count("KHR_materials_unlit"), 0u);

  // Welded by position, the vertices make a closed solid in glTF's own winding, with its
  // glyphs' holes in reading order along +X and its front towards +Z.
  std::vector<Vector> points;
  std::map<std::array<double, 3>, Int32> welded;
  std::vector<Int32> pointOf;
  for (const Vector& p : mesh.positions) {
    const auto [it, fresh] = welded.emplace(std::array<double, 3>{p.x, p.y, p.z}, static_cast<Int32>(points.size()));
    if (fresh) {
      points.push_back(p);
    }
    pointOf.push_back(it->second);
  }
  std::vector<solid_checks::Triangle> triangles;
  Int32 frontFacing = 0;
  for (std::size_t t = 0; t < mesh.Triangles(); ++t) {
    triangles.push_back({pointOf[mesh.indices[3 * t]], pointOf[mesh.indices[3 * t + 1]], pointOf[mesh.indices[3 * t + 2]]});
    const bool atFront = mesh.Corner(t, 0).z == 0.0 && mesh.Corner(t, 1).z == 0.0 && mesh.Corner(t, 2).z == 0.0;
    frontFacing += atFront ? (mesh.Normal(t).z > 0.0 ? 1 : -1000) : 0;
  }
  const solid_checks::SolidFacts facts = solid_checks::Examine(points, triangles);
  EXPECT_EQ(facts.unpairedEdges, 0u);
  EXPECT_GT(facts.volume, 0.0);
  EXPECT_EQ(facts.genusAlongX, std::vector<Int32>({0, 0, 2, 1, 0, 1}));
  EXPECT_GT(frontFacing, 50);
  // Its bounds are the laid-out text's, 0.1 deep towards -Z, in metres.
  const Vector textMin = text->GetMp() - text->GetRad(), textMax = text->GetMp() + text->GetRad();
  const auto near = [](double a, double b) { return std::abs(a - b) < 1e-6; };
  const tinygltf::Accessor& position = model.accessors.at(model.meshes.at(node.mesh).primitives.at(0).attributes.at("POSITION"));
  EXPECT_TRUE(near(position.minValues[0], textMin.x * 0.01) && near(position.maxValues[0], textMax.x * 0.01));
  EXPECT_TRUE(near(position.minValues[1], textMin.y * 0.01) && near(position.maxValues[1], textMax.y * 0.01));
  EXPECT_TRUE(near(position.minValues[2], -0.001) && near(position.maxValues[2], 0.0));
}

}  // namespace
