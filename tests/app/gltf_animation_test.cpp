// Records hand-built documents over several frames and reads the files back with
// tinygltf: morph targets that rebuild every frame, the weights animation that plays
// them, static files where nothing moves, and numbered files where the frames differ.
#include "app/gltf_animation.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/app_error.h"
#include "app/gltf_export.h"
#include "host/geometry/polygon_object.h"
#include "host/geometry/primitives.h"
#include "host/geometry/spline_object.h"
#include "host/geometry/tags.h"
#include "host/geometry/text_spline.h"
#include "host/scene/execution.h"

namespace {

namespace fs = std::filesystem;
using vantelle::app::GltfFrameRecorder;

// An accessor's values; one without a view holds zeros.
std::vector<float> Floats(const tinygltf::Model& model, int index) {
  const tinygltf::Accessor& accessor = model.accessors.at(index);
  std::vector<float> values(accessor.count * tinygltf::GetNumComponentsInType(accessor.type), 0.0f);
  if (accessor.bufferView >= 0) {
    const tinygltf::BufferView& view = model.bufferViews.at(accessor.bufferView);
    std::memcpy(values.data(), model.buffers.at(0).data.data() + view.byteOffset + accessor.byteOffset,
                values.size() * sizeof(float));
  }
  return values;
}

// The vertex of a primitive at `at` (glTF space), or -1.
int VertexAt(const tinygltf::Model& model, const tinygltf::Primitive& primitive, const Vector& at) {
  const std::vector<float> xyz = Floats(model, primitive.attributes.at("POSITION"));
  for (std::size_t v = 0; v < xyz.size() / 3; ++v) {
    if ((Vector(xyz[3 * v], xyz[3 * v + 1], xyz[3 * v + 2]) - at).GetLength() < 1e-6) {
      return static_cast<int>(v);
    }
  }
  return -1;
}

// (n + 1)² points 10 cm apart over x and z, n² quads facing +Y.
PolygonObject* Grid(int n, const std::string& name) {
  PolygonObject* op = PolygonObject::Alloc((n + 1) * (n + 1), n * n);
  for (int i = 0; i <= n; ++i) {
    for (int j = 0; j <= n; ++j) {
      op->GetPointW()[i * (n + 1) + j] = Vector(10.0 * i, 0.0, 10.0 * j);
    }
  }
  for (int i = 0; i < n * n; ++i) {
    const Int32 a = i / n * (n + 1) + i % n;
    op->GetPolygonW()[i] = CPolygon(a, a + 1, a + n + 2, a + n + 1);
  }
  op->SetName(String(name));
  return op;
}

SplineObject* Line(const std::vector<Vector>& points, SPLINETYPE type, const std::string& name) {
  SplineObject* op = SplineObject::Alloc(static_cast<Int32>(points.size()), type);
  std::copy(points.begin(), points.end(), op->GetPointW());
  op->SetName(String(name));
  return op;
}

std::string ReadAll(const fs::path& file) {
  std::stringstream text;
  text << std::ifstream(file, std::ios::binary).rdbuf();
  return text.str();
}

class GltfAnimationTest : public ::testing::Test {
protected:
  void SetUp() override { fs::create_directories(folder_); }
  void TearDown() override {
    BaseDocument::Free(doc_);
    fs::remove_all(folder_);
  }

  // Appends `op` last at the top.
  template <class T>
  T* Add(T* op) {
    BaseObject* pred = doc_->GetFirstObject();
    while (pred != nullptr && pred->GetNext() != nullptr) {
      pred = pred->GetNext();
    }
    doc_->InsertObject(op, nullptr, pred);
    return op;
  }
  void Capture(GltfFrameRecorder& recorder, Int32 frame) {
    doc_->SetTime(BaseTime(frame, doc_->GetFps()));
    ExecutePasses(doc_);
    recorder.Capture(doc_);
  }
  static tinygltf::Model Load(const fs::path& file) {
    tinygltf::Model model;
    std::string error, warning;
    EXPECT_TRUE(tinygltf::TinyGLTF().LoadBinaryFromFile(&model, &error, &warning, file.string())) << error;
    return model;
  }
  // The file WriteGlb makes of the document as it is now.
  tinygltf::Model Static(const std::string& name) {
    vantelle::app::WriteGlb(doc_, Filename(folder_ / name));
    return Load(folder_ / name);
  }
  static const tinygltf::Mesh& MeshOf(const tinygltf::Model& model, const std::string& node) {
    for (const tinygltf::Node& n : model.nodes) {
      if (n.name == node) {
        return model.meshes.at(n.mesh);
      }
    }
    throw std::runtime_error("no node " + node);
  }
  std::set<std::string> Entries() const {
    std::set<std::string> entries;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      entries.insert(entry.path().filename().string());
    }
    return entries;
  }

  BaseDocument* doc_ = BaseDocument::Alloc();
  const fs::path folder_ = fs::temp_directory_path() / ("vantelle_animation_" + std::to_string(getpid()));
};

TEST_F(GltfAnimationTest, MovingVerticesBecomeOneTargetPerFrame) {
  PolygonObject* wave = Add(Grid(2, "wave"));
  wave->MakeTag(Tphong);
  auto* colours = static_cast<VertexColorTag*>(wave->MakeVariableTag(Tvertexcolor, wave->GetPointCount()));
  Add(Grid(1, "still"));
  SplineObject* line = Add(Line({Vector(0, 0, 0), Vector(10, 0, 0), Vector(20, 0, 0)}, SPLINETYPE::LINEAR, "line"));

  // Frames 5, 6 and 7 lift the centre of the wave and the line's middle, and redden the
  // centre; every other vertex stays.
  constexpr int kFrames = 3;
  GltfFrameRecorder recorder;
  std::vector<tinygltf::Model> expected;
  for (int k = 0; k < kFrames; ++k) {
    wave->GetPointW()[4].y = 10.0 * k;
    colours->GetDataAddressW()[4] = ColorA32{0.25f * k, 0.0f, 0.0f, 1.0f};
    line->GetPointW()[1].y = 5.0 * k;
    Capture(recorder, 5 + k);
    expected.push_back(Static("frame" + std::to_string(k) + ".glb"));
  }
  EXPECT_EQ(recorder.GetFrameCount(), kFrames);
  EXPECT_TRUE(recorder.HasSameTopology());
  EXPECT_TRUE(recorder.HasMotion());
  recorder.WriteAnimated(Filename(folder_ / "animated.glb"), 10);
  const tinygltf::Model model = Load(folder_ / "animated.glb");

  // The centre rose 20 cm by the last frame: 0.2 m, and its red 0.5.
  const tinygltf::Primitive& surface = MeshOf(model, "wave").primitives.at(0);
  const int centre = VertexAt(model, surface, Vector(0.1, 0, -0.1));
  ASSERT_GE(centre, 0);
  ASSERT_EQ(surface.targets.size(), 3u);
  const std::vector<float> lifted = Floats(model, surface.targets[2].at("POSITION"));
  EXPECT_FLOAT_EQ(lifted[3 * centre + 1], 0.2f);
  EXPECT_FLOAT_EQ(Floats(model, surface.targets[2].at("COLOR_0"))[4 * centre], 0.5f);
  const tinygltf::Accessor& bounds = model.accessors[surface.targets[2].at("POSITION")];
  EXPECT_EQ(bounds.minValues, (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(bounds.maxValues, (std::vector<double>{0, float(0.2), 0}));

  // Base plus target k is frame k as a file of that frame alone has it, for every moving
  // attribute of every primitive.
  for (const char* node : {"wave", "line"}) {
    const tinygltf::Mesh& mesh = MeshOf(model, node);
    EXPECT_EQ(mesh.weights, std::vector<double>(kFrames, 0.0)) << node;
    for (std::size_t p = 0; p < mesh.primitives.size(); ++p) {
      const tinygltf::Primitive& primitive = mesh.primitives[p];
      ASSERT_EQ(primitive.targets.size(), std::size_t(kFrames)) << node;
      for (int k = 0; k < kFrames; ++k) {
        const tinygltf::Primitive& alone = MeshOf(expected[k], node).primitives[p];
        for (const auto& [attribute, accessor] : primitive.targets[k]) {
          const std::vector<float> base = Floats(model, primitive.attributes.at(attribute));
          const std::vector<float> delta = Floats(model, accessor);
          const std::vector<float> want = Floats(expected[k], alone.attributes.at(attribute));
          ASSERT_EQ(delta.size(), want.size());
          for (std::size_t i = 0; i < want.size(); ++i) {
            EXPECT_NEAR(base[i] + delta[i], want[i], 1e-6) << node << " " << attribute << " frame " << k << " " << i;
          }
        }
      }
    }
  }
  EXPECT_EQ(MeshOf(model, "wave").primitives[0].targets[1].count("NORMAL"), 1u);
  // The line has only positions to move.
  EXPECT_EQ(MeshOf(model, "line").primitives[0].targets[1].size(), 1u);
  EXPECT_TRUE(MeshOf(model, "still").primitives[0].targets.empty());
  EXPECT_TRUE(MeshOf(model, "still").weights.empty());
  const tinygltf::Value& names = MeshOf(model, "wave").extras.Get("targetNames");
  ASSERT_EQ(names.ArrayLen(), 3u);
  EXPECT_EQ(names.Get(2).Get<std::string>(), "Frame 7");

  ASSERT_EQ(model.animations.size(), 1u);
  const tinygltf::Animation& animation = model.animations[0];
  EXPECT_EQ(animation.name, "Frames");
  std::set<std::string> targets;
  for (const tinygltf::AnimationChannel& channel : animation.channels) {
    EXPECT_EQ(channel.target_path, "weights");
    targets.insert(model.nodes.at(channel.target_node).name);
    const tinygltf::AnimationSampler& sampler = animation.samplers.at(channel.sampler);
    EXPECT_EQ(sampler.interpolation, "LINEAR");
    EXPECT_EQ(Floats(model, sampler.input), (std::vector<float>{0.0f, 0.1f, 0.2f}));
    EXPECT_EQ(model.accessors[sampler.input].maxValues, (std::vector<double>{float(0.2)}));
    EXPECT_EQ(Floats(model, sampler.output), (std::vector<float>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
  }
  EXPECT_EQ(targets, (std::set<std::string>{"wave", "line"}));

  // One file per frame instead: each the file of that frame alone, byte for byte.
  const std::vector<std::string> files = recorder.WriteFrames(Filename(folder_ / "each.glb"));
  ASSERT_EQ(files.size(), std::size_t(kFrames));
  for (int k = 0; k < kFrames; ++k) {
    EXPECT_EQ(ReadAll(files[k]), ReadAll(folder_ / ("frame" + std::to_string(k) + ".glb"))) << k;
  }
}

TEST_F(GltfAnimationTest, FramesThatDoNotMoveWriteTheStaticFile) {
  Add(Grid(3, "plot"))->MakeTag(Tphong);
  Add(Line({Vector(0, 0, 0), Vector(10, 5, 0), Vector(20, 0, 0)}, SPLINETYPE::CUBIC, "curve"));
  GltfFrameRecorder recorder;
  for (int k = 0; k < 4; ++k) {
    Capture(recorder, k);
  }
  EXPECT_TRUE(recorder.HasSameTopology());
  EXPECT_FALSE(recorder.HasMotion());
  recorder.WriteAnimated(Filename(folder_ / "animated.glb"), 30);
  Static("static.glb");
  EXPECT_EQ(ReadAll(folder_ / "animated.glb"), ReadAll(folder_ / "static.glb"));
  EXPECT_TRUE(Load(folder_ / "animated.glb").animations.empty());
}

TEST_F(GltfAnimationTest, FramesOfDifferentTopologyGoToNumberedFiles) {
  PolygonObject* plot = Add(Grid(2, "plot"));
  plot->MakeTag(Tphong);
  const auto sameAfter = [&](auto change) {
    GltfFrameRecorder recorder;
    Capture(recorder, 0);
    change();
    Capture(recorder, 1);
    return recorder.HasSameTopology();
  };
  EXPECT_TRUE(sameAfter([&] { plot->SetRelPos(Vector(1, 2, 3)); }));
  EXPECT_FALSE(sameAfter([&] { plot->SetName(String("renamed")); }));
  // Same counts, other triangles: only the index data differ.
  EXPECT_FALSE(sameAfter([&] { plot->GetPolygonW()[0] = CPolygon(3, 4, 1, 0); }));
  // A material cannot animate, so a new display colour is a new file, not a frozen one.
  EXPECT_FALSE(sameAfter([&] {
    const ObjectColorProperties red{Vector(1, 0, 0), 2, false};
    plot->SetColorProperties(&red);
  }));

  GltfFrameRecorder recorder;
  Capture(recorder, 0);
  Add(Grid(1, "second"));
  Capture(recorder, 1);
  EXPECT_FALSE(recorder.HasSameTopology());
  EXPECT_TRUE(recorder.HasMotion());
  EXPECT_THROW(recorder.WriteAnimated(Filename(folder_ / "anim.glb"), 30), vantelle::app::AppError);
  const std::vector<std::string> files = recorder.WriteFrames(Filename(folder_ / "anim.GLB"));
  EXPECT_EQ(files,
            (std::vector<std::string>{(folder_ / "anim_0000.glb").string(), (folder_ / "anim_0001.glb").string()}));
  EXPECT_EQ(Load(files[0]).meshes.size(), 1u);
  EXPECT_EQ(Load(files[1]).meshes.size(), 2u);
  EXPECT_EQ(Entries(), (std::set<std::string>{"anim_0000.glb", "anim_0001.glb"}));
}

TEST_F(GltfAnimationTest, TextThatChangesBecomesOneNodePerVersionShownOnlyInItsFrames) {
  // A text that stays, the wave, and a changing text inside a folder after both, so that
  // setting the texts apart renumbers the folder.
  BaseObject* title = Add(BaseObject::Alloc(Oextrude));
  title->SetName(String("title"));
  BaseObject::Alloc(Osplinetext)->InsertUnder(title);
  PolygonObject* wave = Add(Grid(2, "wave"));
  wave->MakeTag(Tphong);
  BaseObject* folder = Add(BaseObject::Alloc(Onull));
  folder->SetName(String("folder"));
  BaseObject* label = BaseObject::Alloc(Oextrude);
  label->SetName(String("label"));
  label->SetRelPos(Vector(0, 50, 0));
  label->InsertUnder(folder);
  BaseObject* text = BaseObject::Alloc(Osplinetext);
  text->InsertUnder(label);
  const char* texts[] = {"1.0", "2.0", "1.0"};
  GltfFrameRecorder recorder;
  std::vector<tinygltf::Model> expected;
  for (int k = 0; k < 3; ++k) {
    text->GetDataInstance()->SetString(PRIM_TEXT_TEXT, String(texts[k]));
    wave->GetPointW()[4].y = 10.0 * k;
    Capture(recorder, k);
    expected.push_back(Static("frame" + std::to_string(k) + ".glb"));
  }
  EXPECT_FALSE(recorder.HasSameTopology());
  ASSERT_TRUE(recorder.FitsOneFile());
  EXPECT_TRUE(recorder.HasMotion());
  recorder.WriteAnimated(Filename(folder_ / "switched.glb"), 10);
  const tinygltf::Model model = Load(folder_ / "switched.glb");

  // "1.0" once, shown in frames 0 and 2; "2.0" in frame 1; each the mesh of its frame's
  // file, at its place in its folder. The wave still morphs; the title stays as it is.
  std::vector<int> versions;
  std::vector<std::string> folders;
  for (std::size_t n = 0; n < model.nodes.size(); ++n) {
    if (model.nodes[n].name == "label") {
      versions.push_back(static_cast<int>(n));
    }
    for (const int child : model.nodes[n].children) {
      if (model.nodes.at(child).name == "label") {
        folders.push_back(model.nodes[n].name);
      }
    }
  }
  ASSERT_EQ(versions.size(), 2u);
  EXPECT_EQ(folders, (std::vector<std::string>{"folder", "folder"}));
  for (int v = 0; v < 2; ++v) {
    const tinygltf::Node& node = model.nodes[static_cast<std::size_t>(versions[v])];
    EXPECT_EQ(node.translation, (std::vector<double>{0, 0.5, 0}));
    const tinygltf::Primitive& mine = model.meshes.at(node.mesh).primitives.at(0);
    const tinygltf::Primitive& alone = MeshOf(expected[v], "label").primitives.at(0);
    EXPECT_EQ(Floats(model, mine.attributes.at("POSITION")), Floats(expected[v], alone.attributes.at("POSITION")));
  }
  EXPECT_EQ(MeshOf(model, "wave").primitives[0].targets.size(), 3u);
  ASSERT_EQ(model.animations.size(), 1u);
  const tinygltf::Animation& animation = model.animations[0];
  std::map<int, std::vector<float>> scales;
  int times = -1;
  for (const tinygltf::AnimationChannel& channel : animation.channels) {
    const tinygltf::AnimationSampler& sampler = animation.samplers.at(channel.sampler);
    times = times < 0 ? sampler.input : times;
    EXPECT_EQ(sampler.input, times) << "every channel plays on the same times";
    if (channel.target_path == "scale") {
      EXPECT_EQ(sampler.interpolation, "STEP");
      scales[channel.target_node] = Floats(model, sampler.output);
    }
  }
  EXPECT_EQ(scales[versions[0]], (std::vector<float>{1, 1, 1, 0, 0, 0, 1, 1, 1}));
  EXPECT_EQ(scales[versions[1]], (std::vector<float>{0, 0, 0, 1, 1, 1, 0, 0, 0}));
  EXPECT_EQ(scales.size(), 2u);

  // A surface whose own make-up changes still needs a file per frame.
  text->GetDataInstance()->SetString(PRIM_TEXT_TEXT, String("3.0"));
  Add(Grid(1, "second"));
  Capture(recorder, 3);
  EXPECT_FALSE(recorder.FitsOneFile());
  EXPECT_THROW(recorder.WriteAnimated(Filename(folder_ / "switched.glb"), 10), vantelle::app::AppError);
}

TEST_F(GltfAnimationTest, FailedWritesLeaveNothingBehind) {
  PolygonObject* plot = Add(Grid(1, "plot"));
  GltfFrameRecorder recorder;
  for (int k = 0; k < 3; ++k) {
    plot->GetPointW()[0].y = 10.0 * k;
    Capture(recorder, k);
  }
  const fs::path missing = folder_ / "no" / "anim.glb";
  try {
    recorder.WriteAnimated(Filename(missing), 30);
    ADD_FAILURE() << "no failure";
  } catch (const vantelle::app::AppError& e) {
    EXPECT_EQ(std::string(e.what()), "cannot write " + missing.string() + ": No such file or directory");
  }
  EXPECT_THROW(recorder.WriteFrames(Filename(missing)), vantelle::app::AppError);
  EXPECT_TRUE(Entries().empty());

  // A folder in the way of the last file: the files before it are not left behind, and an
  // earlier file of the same name stays as it was.
  std::ofstream(folder_ / "anim_0000.glb") << "old";
  fs::create_directory(folder_ / "anim_0002.glb");
  try {
    recorder.WriteFrames(Filename(folder_ / "anim.glb"));
    ADD_FAILURE() << "no failure";
  } catch (const vantelle::app::AppError& e) {
    EXPECT_EQ(std::string(e.what()), "cannot write " + (folder_ / "anim_0002.glb").string() + ": Is a directory");
  }
  EXPECT_EQ(Entries(), (std::set<std::string>{"anim_0000.glb", "anim_0002.glb"}));
  EXPECT_EQ(ReadAll(folder_ / "anim_0000.glb"), "old");
}

// A plot's surface and lines and a moving box over a few frames; with
// VANTELLE_EXPORT_ANIMATED set it goes there, for the glTF validator and Blender
// (tests/export/).
TEST_F(GltfAnimationTest, AnimatedSample) {
  constexpr int n = 50;
  constexpr int kFrames = 12;
  PolygonObject* surface = Add(Grid(n, "Surface"));
  surface->SetRelPos(Vector(-250, 0, -250));
  surface->MakeTag(Tphong);
  auto* uvs = static_cast<UVWTag*>(surface->MakeVariableTag(Tuvw, surface->GetPolygonCount()));
  for (Int32 p = 0; p < surface->GetPolygonCount(); ++p) {
    const CPolygon& q = surface->GetPolygonR()[p];
    const auto uv = [](Int32 point) { return Vector(point / (n + 1) / double(n), point % (n + 1) / double(n), 0.0); };
    uvs->Set(p, UVWStruct{uv(q.a), uv(q.b), uv(q.c), uv(q.d)});
  }
  auto* colours = static_cast<VertexColorTag*>(surface->MakeVariableTag(Tvertexcolor, surface->GetPointCount()));
  SplineObject* lines = Add(SplineObject::Alloc(2 * (n + 1), SPLINETYPE::CUBIC));
  lines->SetName(String("Grid"));
  lines->ResizeObject(2 * (n + 1), 2);
  lines->GetSegmentW()[0] = Segment{n + 1, false};
  lines->GetSegmentW()[1] = Segment{n + 1, false};
  BaseObject* cage = Add(GeneratePrimitive(doc_, Ocube, BaseContainer(), 1.0, false, nullptr));
  cage->SetName(String("Cage"));

  GltfFrameRecorder recorder;
  for (int k = 0; k < kFrames; ++k) {
    const auto height = [k](int i, int j) {
      return 40.0 * std::sin(0.25 * (i - 25) + 0.5 * k) * std::cos(0.2 * (j - 25));
    };
    for (int i = 0; i <= n; ++i) {
      for (int j = 0; j <= n; ++j) {
        surface->GetPointW()[i * (n + 1) + j].y = height(i, j);
        const float h = static_cast<float>(0.5 + height(i, j) / 80.0);
        colours->GetDataAddressW()[i * (n + 1) + j] = ColorA32{h, 0.2f, 1.0f - h, 1.0f};
      }
      lines->GetPointW()[i] = Vector(10.0 * i - 250, height(i, 25), 0);
      lines->GetPointW()[n + 1 + i] = Vector(0, height(25, i), 10.0 * i - 250);
    }
    // The box rises and turns as a whole, past half a turn, where the rotation's w
    // changes sign.
    cage->SetRelPos(Vector(0, 10.0 * k, 0));
    cage->SetRelRot(Vector(2.9 + 0.1 * k, 0, 0));
    Capture(recorder, k);
  }
  ASSERT_TRUE(recorder.HasMotion());
  const char* sample = std::getenv("VANTELLE_EXPORT_ANIMATED");
  const fs::path file = sample != nullptr && *sample != '\0' ? fs::path(sample) : folder_ / "animated.glb";
  recorder.WriteAnimated(Filename(file), 24);
  const tinygltf::Model model = Load(file);
  EXPECT_EQ(MeshOf(model, "Surface").primitives.at(0).targets.size(), std::size_t(kFrames));
  EXPECT_EQ(MeshOf(model, "Grid").primitives.at(1).targets.size(), std::size_t(kFrames));
  EXPECT_TRUE(MeshOf(model, "Cage").primitives.at(0).targets.empty());
  std::map<std::string, std::vector<float>> moves;
  for (const tinygltf::AnimationChannel& channel : model.animations.at(0).channels) {
    if (model.nodes.at(channel.target_node).name == "Cage") {
      moves[channel.target_path] = Floats(model, model.animations[0].samplers.at(channel.sampler).output);
    }
  }
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_FLOAT_EQ(moves["translation"].at(3 * 5 + 1), 0.5f);
  // Neighbouring rotations on the same side, so that the turn between them is the short one.
  const std::vector<float>& q = moves["rotation"];
  ASSERT_EQ(q.size(), 4u * kFrames);
  for (std::size_t k = 4; k < q.size(); k += 4) {
    EXPECT_NEAR(q[k] * q[k - 4] + q[k + 1] * q[k - 3] + q[k + 2] * q[k - 2] + q[k + 3] * q[k - 1], std::cos(0.05),
                1e-6);
  }
}

}  // namespace
