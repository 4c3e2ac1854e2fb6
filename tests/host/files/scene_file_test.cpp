#include <unistd.h>

#include "host/files/scene_file.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/core/faults.h"
#include "host/core/font_data.h"
#include "host/core/gradient.h"
#include "host/files/font_catalog.h"
#include "host/geometry/extrude_object.h"
#include "host/geometry/text_spline.h"
#include "host/scene/registry.h"

namespace {

namespace fs = std::filesystem;

constexpr Int32 kPlotType = 990101;
constexpr Int32 kChildType = 990102;
constexpr Int32 kBareType = 990103;  // registered without a description

constexpr Int32 TP_RESOLUTION = 1;
constexpr Int32 TP_SIZE = 2;
constexpr Int32 TP_ANIMATE = 3;
constexpr Int32 TP_FORMULA = 4;
constexpr Int32 TP_COLOR = 5;
constexpr Int32 TP_OFFSET = 6;
constexpr Int32 TP_MODE = 7;
constexpr Int32 TP_GRADIENT = 8;

constexpr const char* kPlotDescription = R"json({"resource": "otestplot", "type": "Otestplot", "id": 990101,
  "parameters": [
    {"id": 1, "name": "TP_RESOLUTION", "type": "int32", "default": 50, "min": 1, "max": 2000},
    {"id": 2, "name": "TP_SIZE", "type": "float", "default": 200, "min": 0},
    {"id": 3, "name": "TP_ANIMATE", "type": "bool", "default": true},
    {"id": 4, "name": "TP_FORMULA", "type": "string", "default": "Sin(x) * Cos(z)", "maxlength": 16},
    {"id": 5, "name": "TP_COLOR", "type": "color", "default": [1, 1, 1]},
    {"id": 6, "name": "TP_OFFSET", "type": "vector", "default": [0, 0, 0]},
    {"id": 7, "name": "TP_MODE", "type": "int32", "default": 1, "popup": [[0, "Free"], [1, "Fit"], [2, "Clip"]]},
    {"id": 8, "name": "TP_GRADIENT", "type": "gradient", "default": {"mode": 0, "knots": [
      {"color": [0, 0, 1], "position": 0}, {"color": [1, 0, 0], "position": 1}]}},
    {"id": 9, "name": "TP_RESET", "type": "button"}
  ]})json";

constexpr const char* kChildDescription = R"({"resource": "otestchild", "type": "Otestchild", "id": 990102,
  "parameters": [{"id": 1, "name": "TC_COUNT", "type": "int32", "default": 3}]})";

std::vector<Int32> g_messages;  // every message any test object received
Int32 g_live = 0;               // test objects allocated and not yet freed

// Writes its description's defaults in Init, as the module's objects do, and records
// what the host sends it.
class TestObject : public ObjectData {
public:
  static NodeData* Alloc() { return new TestObject(); }
  TestObject() { ++g_live; }
  ~TestObject() override { --g_live; }
  Bool Init(GeListNode* node) override {
    if (const DescriptionResource* resource = FindDescriptionResource(node->GetType())) {
      for (const DescParameter& p : resource->parameters) {
        if (!p.defaultValue.IsNil()) {
          static_cast<BaseList2D*>(node)->GetDataInstance()->SetData(p.id, p.defaultValue);
        }
      }
    }
    return true;
  }
  Bool Message(GeListNode*, Int32 type, void*) override {
    g_messages.push_back(type);
    return true;
  }
};

GeData MakeGradient(Int32 mode, Float brightness) {
  Gradient gradient;
  gradient.SetData(GRADIENT_MODE, GeData(mode));
  GradientKnot a;
  a.col = Vector(0.1, 0.2, 0.3);
  a.pos = 0.25;
  a.brightness = brightness;
  a.bias = 0.75;
  a.interpolation = GRADIENT_INTERPOLATION_LINEAR;
  a.index = 4;
  GradientKnot b;
  b.col = Vector(1.0, 1.0 / 3.0, 0.0);
  b.pos = 1.0;
  gradient.InsertKnot(a);
  gradient.InsertKnot(b);
  return GeData(gradient);
}

// Reading of a nested structure at a glance: objects with every kind of value.
BaseDocument* SampleDocument() {
  BaseDocument* doc = BaseDocument::Alloc();
  doc->SetFps(25);
  doc->SetTime(BaseTime(7.0, 25.0));
  doc->SetMinTime(BaseTime(-0.1, 3.0));
  doc->SetMaxTime(BaseTime(250.0, 25.0));

  BaseObject* plot = BaseObject::Alloc(kPlotType);
  plot->SetName("Plot \"one\"\n\xC3\xA9");
  plot->SetDeformMode(false);
  plot->SetRelPos(Vector(1.5, -2.0, 1.0 / 3.0));
  plot->SetRelRot(Vector(0.1, 0.0, -PI));
  plot->SetRelScale(Vector(2.0, 1e-300, -0.0));
  BaseContainer* bc = plot->GetDataInstance();
  bc->SetInt32(TP_RESOLUTION, 77);
  bc->SetFloat(TP_SIZE, 0.1);
  bc->SetBool(TP_ANIMATE, false);
  bc->SetString(TP_FORMULA, "x * \"z\"\t\\ \xE2\x82\xAC");
  bc->SetVector(TP_COLOR, Vector(0.25, 0.5, 1.0));
  bc->SetVector(TP_OFFSET, Vector(-1e300, 0.0, 5e-324));
  bc->SetInt32(TP_MODE, 2);
  bc->SetData(TP_GRADIENT, MakeGradient(1, 2.0));
  bc->SetFloat(10099, 2.5);
  bc->SetInt32(10100, -7);
  bc->SetString(10101, "s");
  bc->SetVector(10102, Vector(1.0, 2.5, -3.0));
  bc->SetInt64(10103, Int64{1} << 40);
  bc->SetTime(10104, BaseTime(3.0, 7.0));
  bc->SetData(10105, GeData());
  bc->SetData(10106, MakeGradient(0, 0.5));
  bc->SetFloat(-3, 4.0);
  doc->InsertObject(plot, nullptr, nullptr);

  BaseObject* first = BaseObject::Alloc(kChildType);
  first->SetName("first");
  first->GetDataInstance()->SetInt32(1, -5);
  BaseObject* second = BaseObject::Alloc(Onull);
  second->SetName("second");
  BaseObject* grandchild = BaseObject::Alloc(Opolygon);
  first->InsertUnderLast(plot);
  second->InsertUnderLast(plot);
  grandchild->InsertUnder(first);

  BaseObject* bare = BaseObject::Alloc(kBareType);
  bare->GetDataInstance()->SetInt32(5, 6);
  doc->InsertObject(bare, nullptr, plot);
  BaseObject* spline = BaseObject::Alloc(Ospline);
  doc->InsertObject(spline, nullptr, bare);

  // Text a user placed: extruded, coloured, shown in renders only.
  BaseObject* label = BaseObject::Alloc(Oextrude);
  label->SetName("Label");
  label->GetDataInstance()->SetVector(EXTRUDEOBJECT_MOVE, Vector(0.0, 0.0, 0.1));
  label->GetDataInstance()->SetVector(EXTRUDEOBJECT_MOVE_LEGACY, Vector(0.0, 0.0, 0.1));
  label->SetEditorMode(MODE_OFF);
  label->SetRenderMode(MODE_ON);
  const ObjectColorProperties colour{Vector(1.0, 0.5, 0.0), 1, true};
  label->SetColorProperties(&colour);
  BaseObject* text = BaseObject::Alloc(Osplinetext);
  text->GetDataInstance()->SetString(PRIM_TEXT_TEXT, "-180.0");
  text->GetDataInstance()->SetData(PRIM_TEXT_FONT, GeData(FontData(FontDescriptionFor("Liberation Sans", "Bold"))));
  text->InsertUnder(label);
  doc->InsertObject(label, nullptr, spline);
  return doc;
}

void ExpectSameTime(const BaseTime& a, const BaseTime& b, const char* what) {
  EXPECT_EQ(a.numerator, b.numerator) << what;
  EXPECT_EQ(a.denominator, b.denominator) << what;
}

void ExpectSameObjects(const BaseObject* a, const BaseObject* b) {
  for (; a != nullptr && b != nullptr; a = a->GetNext(), b = b->GetNext()) {
    SCOPED_TRACE(a->GetName().GetStd());
    EXPECT_EQ(a->GetType(), b->GetType());
    EXPECT_EQ(a->GetName(), b->GetName());
    EXPECT_EQ(a->GetDeformMode(), b->GetDeformMode());
    EXPECT_EQ(a->GetRelPos(), b->GetRelPos());
    EXPECT_EQ(a->GetRelRot(), b->GetRelRot());
    EXPECT_EQ(a->GetRelScale(), b->GetRelScale());
    EXPECT_EQ(a->GetEditorMode(), b->GetEditorMode());
    EXPECT_EQ(a->GetRenderMode(), b->GetRenderMode());
    ObjectColorProperties ca, cb;
    a->GetColorProperties(&ca);
    b->GetColorProperties(&cb);
    EXPECT_EQ(ca, cb);
    EXPECT_TRUE(*a->GetDataInstance() == *b->GetDataInstance()) << "containers differ (values, types or order)";
    ExpectSameObjects(a->GetDown(), b->GetDown());
  }
  EXPECT_EQ(a, nullptr) << "the first tree has more objects";
  EXPECT_EQ(b, nullptr) << "the second tree has more objects";
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class SceneFile : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    // One folder per process: ctest runs each test in a process of its own, in parallel.
    resources_ = fs::temp_directory_path() / ("vantelle_scene_test_res_" + std::to_string(getpid()));
    fs::create_directories(resources_ / "description");
    std::ofstream(resources_ / "description" / "otestplot.json") << kPlotDescription;
    std::ofstream(resources_ / "description" / "otestchild.json") << kChildDescription;
    AddModuleResourceFolder(Filename(resources_));
    ASSERT_TRUE(RegisterObjectPlugin(kPlotType, "Test Plot", 0, TestObject::Alloc, "otestplot", nullptr, 0));
    ASSERT_TRUE(RegisterObjectPlugin(kChildType, "Test Child", 0, TestObject::Alloc, "otestchild", nullptr, 0));
    ASSERT_TRUE(RegisterObjectPlugin(kBareType, "Bare", 0, TestObject::Alloc, String(), nullptr, 0));
  }
  static void TearDownTestSuite() {
    FreeObjectPlugins();
    ForgetModuleResourceFolders();
    fs::remove_all(resources_);
  }
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vantelle_scene_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    g_messages.clear();
  }
  void TearDown() override {
    ClearHostFaults();
    fs::remove_all(folder_);
    EXPECT_EQ(g_live, 0) << "a test object outlived its document";
  }

  // Files in the test folder other than `except`.
  std::vector<std::string> OtherFiles(const std::string& except) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      if (entry.path().filename() != except) {
        names.push_back(entry.path().filename().string());
      }
    }
    return names;
  }

  static fs::path resources_;
  fs::path folder_;
};

fs::path SceneFile::resources_;

TEST_F(SceneFile, SavedSceneLoadsBackEqualAndSavesIdentically) {
  BaseDocument* doc = SampleDocument();
  const fs::path path = folder_ / "scene.json";
  String error;
  ASSERT_TRUE(SaveScene(doc, Filename(path), &error)) << error.GetStd();
  const std::string text = ReadFile(path);
  EXPECT_EQ(text, SceneToJson(doc));

  g_messages.clear();  // building the sample switched the plot off
  SceneError loadError;
  BaseDocument* loaded = LoadScene(Filename(path), &loadError);
  ASSERT_NE(loaded, nullptr) << loadError.Format().GetStd();
  EXPECT_EQ(loaded->GetFps(), 25);
  ExpectSameTime(loaded->GetTime(), doc->GetTime(), "time");
  ExpectSameTime(loaded->GetMinTime(), doc->GetMinTime(), "start");
  ExpectSameTime(loaded->GetMaxTime(), doc->GetMaxTime(), "end");
  ExpectSameObjects(doc->GetFirstObject(), loaded->GetFirstObject());
  EXPECT_EQ(SceneToJson(loaded), text);
  EXPECT_TRUE(g_messages.empty()) << "loading sent " << g_messages.size() << " messages";
  EXPECT_EQ(OtherFiles("scene.json"), std::vector<std::string>()) << "a temporary file was left behind";
  BaseDocument::Free(loaded);
  BaseDocument::Free(doc);
}

TEST_F(SceneFile, TextIsIndentedTypedAndNamed) {
  BaseDocument* doc = SampleDocument();
  const std::string text = SceneToJson(doc);
  BaseDocument::Free(doc);
  EXPECT_EQ(text.rfind("{\n  \"vantelle_scene\": 1,\n  \"document\": {\"fps\": 25, \"time\": [7, 25], \"start\": "
                       "[-0.1, 3], \"end\": [250, 25]},\n  \"objects\": [\n    {\n      \"type\": \"Otestplot\",\n",
                       0),
            0u)
      << text;
  for (const char* fragment :
       {"\"name\": \"Plot \\\"one\\\"\\n\xC3\xA9\"", "\"enabled\": false", "\"scale\": [2, 1e-300, -0.0]",
        "\"TP_RESOLUTION\": 77,", "\"TP_SIZE\": 0.1,", "\"TP_ANIMATE\": false,", "\"TP_COLOR\": [0.25, 0.5, 1],",
        "\"TP_MODE\": 2,", "\"10099\": 2.5,", "\"10100\": -7,", "\"10103\": {\"int64\": 1099511627776},",
        "\"10104\": {\"time\": [3, 7]},", "\"10105\": null,", "\"-3\": 4.0", "\"type\": 990103",
        "\"type\": \"Ospline\"", "\"type\": \"Opolygon\"", "\"TC_COUNT\": -5", "\"children\": []",
        "\"interpolation\": 3, \"index\": 4}", "\"mode\": 1,",
        "\"type\": \"Oextrude\",\n      \"name\": \"Label\"", "\"editor_mode\": \"off\",\n      \"render_mode\": \"on\",",
        "\"display_color\": {\"color\": [1, 0.5, 0], \"use\": 1, \"xray\": true},",
        "\"1009\": [0, 0, 0.1], \"1002\": [0, 0, 0.1]", "\"2111\": \"-180.0\"",
        "\"2117\": {\"font\": {\"family\": \"Liberation Sans\", \"style\": \"Bold\"}}"}) {
    EXPECT_NE(text.find(fragment), std::string::npos) << "lacks " << fragment << " in\n" << text;
  }
  EXPECT_EQ(text.back(), '\n');
  std::size_t modes = 0;
  for (std::size_t at = text.find("_mode\""); at != std::string::npos; at = text.find("_mode\"", at + 1)) {
    ++modes;
  }
  EXPECT_EQ(modes, 2u) << "only the label sets its visibility";
  // Container order is file order: TP_GRADIENT's default came before the extras.
  EXPECT_LT(text.find("\"TP_GRADIENT\""), text.find("\"10099\""));
}

TEST_F(SceneFile, LoadingKeepsInitDefaultsAndSendsNoMessages) {
  const std::string text = R"({"vantelle_scene": 1, "objects": [
    {"type": "Otestplot", "enabled": false, "parameters": {"TP_SIZE": 12, "10099": 1}},
    {"type": 990101}]})";
  SceneError error;
  BaseDocument* doc = SceneFromJson(text, "scene.json", &error);
  ASSERT_NE(doc, nullptr) << error.Format().GetStd();
  EXPECT_TRUE(g_messages.empty()) << "a restored object must not hear about being switched off or set";

  BaseObject* fresh = BaseObject::Alloc(kPlotType);
  BaseContainer expected = *fresh->GetDataInstance();
  expected.SetFloat(TP_SIZE, 12.0);
  expected.SetInt32(10099, 1);
  BaseObject::Free(fresh);
  const BaseObject* plot = doc->GetFirstObject();
  EXPECT_TRUE(*plot->GetDataInstance() == expected);
  EXPECT_EQ(plot->GetDataInstance()->GetData(TP_SIZE).GetType(), GeDataType::FLOAT) << "an integer in a float slot";
  EXPECT_FALSE(plot->GetDeformMode());
  EXPECT_EQ(plot->GetNext()->GetType(), kPlotType) << "a type given by number";
  EXPECT_TRUE(plot->GetNext()->GetDeformMode());
  EXPECT_EQ(doc->GetFps(), 30) << "document settings left out keep their defaults";
  BaseDocument::Free(doc);

  doc = SceneFromJson(R"({"vantelle_scene": 1})", "scene.json", &error);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->GetFirstObject(), nullptr);
  BaseDocument::Free(doc);
}

// The lines of a plot scene; the parameter under test goes on line 7.
std::string PlotScene(const std::string& parameterLine) {
  return "{\n"
         "  \"vantelle_scene\": 1,\n"
         "  \"document\": {\"fps\": 30},\n"
         "  \"objects\": [\n"
         "    {\"type\": \"Otestplot\", \"name\": \"Plot\",\n"
         "     \"parameters\": {\n"
         "       " + parameterLine + "\n"
         "     }}\n"
         "  ]\n"
         "}\n";
}

struct BadScene {
  std::string text;
  Int32 line;
  std::string fragment;
};

void ExpectBad(const BadScene& bad) {
  SceneError error;
  error.line = -1;
  BaseDocument* doc = SceneFromJson(bad.text, "scene.json", &error);
  EXPECT_EQ(doc, nullptr) << bad.text;
  BaseDocument::Free(doc);
  EXPECT_EQ(error.kind, SceneError::Kind::BAD_INPUT);
  EXPECT_EQ(error.file, String("scene.json"));
  EXPECT_EQ(error.line, bad.line) << error.Format().GetStd();
  EXPECT_NE(error.message.GetStd().find(bad.fragment), std::string::npos)
      << "\"" << error.Format().GetStd() << "\" lacks \"" << bad.fragment << "\"";
}

std::string ManyKnots(int count) {
  std::string knots;
  for (int i = 0; i < count; ++i) {
    knots += (i == 0 ? "" : ", ") + std::string("{\"color\": [1, 1, 1], \"position\": ") +
             std::to_string(static_cast<double>(i % 1000) / 1000.0) + "}";
  }
  return knots;
}

TEST_F(SceneFile, LoadingTellsWhereEachParameterStood) {
  SceneError error;
  SceneLines lines;
  BaseDocument* doc =
      SceneFromJson(PlotScene("\"TP_SIZE\": 5,\n\"TP_FORMULA\": \"x\",\n\"TP_GRADIENT\": {\"knots\": [" + ManyKnots(10000) + "]}"),
                    "scene.json", &error, &lines);
  ASSERT_NE(doc, nullptr) << error.Format().GetStd();
  const BaseObject* plot = doc->GetFirstObject();
  EXPECT_EQ(lines.Find(plot, TP_SIZE), 7);
  EXPECT_EQ(lines.Find(plot, TP_FORMULA), 8);
  EXPECT_EQ(lines.Find(plot, TP_RESOLUTION), 0) << "not in the file";
  EXPECT_EQ(plot->GetDataInstance()->GetCustomData<Gradient>(TP_GRADIENT)->GetKnotCount(), 10000);
  BaseDocument::Free(doc);
}

TEST_F(SceneFile, BadParameterValuesNameTheLineAndParameter) {
  SceneError error;
  EXPECT_EQ(SceneFromJson(PlotScene(R"("TP_RESOLUTION": 5000)"), "scene.json", &error), nullptr);
  EXPECT_EQ(error.Format(), String("scene.json:7: parameter TP_RESOLUTION of Otestplot: 5000 is above the maximum 2000"));

  const std::vector<BadScene> cases = {
      {PlotScene(R"("TP_RESOLUTION": 0)"), 7, "TP_RESOLUTION of Otestplot: 0 is below the minimum 1"},
      {PlotScene(R"("TP_RESOLUTON": 5)"), 7, "unknown parameter TP_RESOLUTON of Otestplot; did you mean TP_RESOLUTION?"},
      {PlotScene(R"("TP_RESOLUTION": "50")"), 7, "TP_RESOLUTION of Otestplot must be an integer, found a string"},
      {PlotScene(R"("TP_RESOLUTION": 50.0)"), 7, "must be an integer, found a float"},
      {PlotScene(R"("TP_RESOLUTION": 3000000000)"), 7, "outside the Int32 range"},
      {PlotScene(R"("TP_MODE": 7)"), 7, "TP_MODE of Otestplot: 7 is not one of 0 (Free), 1 (Fit), 2 (Clip)"},
      {PlotScene(R"("TP_SIZE": -0.5)"), 7, "TP_SIZE of Otestplot: -0.5 is below the minimum 0"},
      {PlotScene(R"("TP_SIZE": 1e999)"), 7, "too large"},
      {PlotScene(R"("TP_SIZE": NaN)"), 7, "expected a value"},
      {PlotScene(R"("TP_ANIMATE": 1)"), 7, "TP_ANIMATE of Otestplot must be true or false, found an integer"},
      {PlotScene(R"("TP_FORMULA": null)"), 7, "TP_FORMULA of Otestplot must be a string, found null"},
      {PlotScene(R"("TP_COLOR": [1, 2, 0])"), 7, "TP_COLOR of Otestplot: y 2 is above the maximum 1"},
      {PlotScene(R"("TP_OFFSET": [1, 2])"), 7, "TP_OFFSET of Otestplot must be [x, y, z], found an array of 2 values"},
      {PlotScene(R"("TP_OFFSET": [1, "2", 3])"), 7, "TP_OFFSET of Otestplot y must be a number, found a string"},
      {PlotScene(R"("TP_GRADIENT": 5)"), 7, "TP_GRADIENT of Otestplot must be a gradient"},
      {PlotScene("\"TP_GRADIENT\": {\"knots\": [\n{\"color\": [0, 0, 0], \"position\": 0},\n"
                 "{\"color\": [0, 0, 0], \"position\": 2}]}"),
       9, "TP_GRADIENT of Otestplot: knots[1]: position 2 is outside 0..1"},
      {PlotScene("\"TP_SIZE\": 1,\n\"2\": 3"), 8, "parameter 2 of Otestplot is given twice (also at line 7)"},
      {PlotScene(R"("10099": 3000000000)"), 7, "write {\"int64\": 3000000000}"},
      {PlotScene(R"("10099": [1, 2])"), 7, "must be [x, y, z]"},
      {PlotScene(R"("10099": {"x": 1})"), 7, "an object value must be a gradient"},
      {PlotScene(R"("10099": {"int64": 1.5})"), 7, "must be an integer, found a float"},
      {PlotScene(R"("10099": {"time": [1, 0]})"), 7, "the denominator must be above 0, found 0"},
      {PlotScene(R"("TP_RESET": 1, "TP_RESET": 2)"), 7, "duplicate key \"TP_RESET\""},
      {PlotScene(R"("TP_FORMULA": "\u00e92345678901234567")"), 7,
       "TP_FORMULA of Otestplot: the text has 17 characters, more than the 16 it may have"},
      {PlotScene("\"TP_GRADIENT\": {\"knots\": [\n{\"color\": [0, 0, 0], \"position\": 0},\n"
                 "{\"color\": [1, 0, 0], \"position\": 1, \"brightness\": -1e308}]}"),
       9, "knots[1]: color times brightness is -1e+308, beyond what a colour can hold"},
      {PlotScene("\"TP_GRADIENT\": {\"knots\": [" + ManyKnots(10001) + "]}"), 7,
       "knots: 10001 knots, more than the 10000 a gradient may have"},
  };
  for (const BadScene& bad : cases) {
    ExpectBad(bad);
  }
}

TEST_F(SceneFile, BadStructureNamesTheLineAndKey) {
  const std::vector<BadScene> cases = {
      {"[]", 1, "a scene must be a JSON object, found an array"},
      {"{\"objects\": []}", 1, "missing \"vantelle_scene\""},
      {"{\n\"vantelle_scene\": 2}", 2, "format version 2, newer than this version of Vantelle reads (1)"},
      {"{\"vantelle_scene\": \"1\"}", 1, "must be a format version number"},
      {"{\"vantelle_scene\": 1,\n\"object\": []}", 2, "unknown key \"object\" in the scene"},
      {"{\"vantelle_scene\": 1,\n\"document\": {\"fps\": 0}}", 2, "document fps must be an integer from 1 to 1000, found 0"},
      {"{\"vantelle_scene\": 1,\n\"document\": {\"fps\": 30.0}}", 2, "found a float"},
      {"{\"vantelle_scene\": 1,\n\"document\": {\"time\": [1, 0]}}", 2, "document time: the denominator must be above 0, found 0"},
      {"{\"vantelle_scene\": 1,\n\"document\": {\"end\": [1]}}", 2, "document end must be [numerator, denominator]"},
      {"{\"vantelle_scene\": 1,\n\"document\": []}", 2, "\"document\" must be an object"},
      {"{\"vantelle_scene\": 1,\n\"objects\": {}}", 2, "\"objects\" must be an array of objects"},
      {"{\"vantelle_scene\": 1, \"objects\": [\n5]}", 2, "an object must be a JSON object, found an integer"},
      {"{\"vantelle_scene\": 1, \"objects\": [\n{\"name\": \"x\"}]}", 2, "an object needs a \"type\""},
      {"{\"vantelle_scene\": 1, \"objects\": [\n{\"type\": \"Otestplt\"}]}", 2,
       "unknown object type \"Otestplt\"; known types: Onull, Opolygon, Ospline, Ocube, Osphere, Oplatonic, Opyramid, Oextrude, Osplinetext, "
       "Otestplot, Otestchild, 990103"},
      {"{\"vantelle_scene\": 1, \"objects\": [\n{\"type\": 12345}]}", 2, "unknown object type 12345"},
      {"{\"vantelle_scene\": 1, \"objects\": [\n{\"type\": true}]}", 2, "must be a type name or number"},
      {"{\"vantelle_scene\": 1, \"objects\": [{\"type\": \"Onull\",\n\"postion\": [0, 0, 0]}]}", 2,
       "unknown key \"postion\" in an object"},
      {"{\"vantelle_scene\": 1, \"objects\": [{\"type\": \"Onull\", \"name\": \"N\",\n\"position\": \"0 0 0\"}]}", 2,
       "\"position\" of object \"N\" (Onull) must be [x, y, z], found a string"},
      {"{\"vantelle_scene\": 1, \"objects\": [{\"type\": \"Onull\",\n\"enabled\": 0}]}", 2, "must be true or false"},
      {"{\"vantelle_scene\": 1, \"objects\": [{\"type\": \"Onull\",\n\"render_mode\": \"hidden\"}]}", 2,
       "\"render_mode\" of object \"\" (Onull) must be \"on\" or \"off\", found \"hidden\""},
      {"{\"vantelle_scene\": 1, \"objects\": [{\"type\": \"Onull\", \"display_color\":\n{\"use\": 3}}]}", 2,
       "use must be 0 (off), 1 (automatic) or 2 (always), found 3"},
      {"{\"vantelle_scene\": 1, \"objects\": [{\"type\": \"Onull\", \"display_color\":\n{\"colour\": [1, 1, 1]}}]}", 2,
       "unknown key \"colour\" in \"display_color\" of object"},
      {"{\"vantelle_scene\": 1, \"objects\": [{\"type\": \"Onull\",\n\"name\": 5}]}", 2,
       "\"name\" of a Onull must be a string"},
      {"{\"vantelle_scene\": 1, \"objects\": [{\"type\": \"Onull\", \"children\": [\n{\"type\": \"Nope\"}]}]}", 2,
       "unknown object type \"Nope\""},
      {"{\"vantelle_scene\": 1, \"objects\": [{\"type\": 990103, \"parameters\": {\n\"SIZE\": 1}}]}", 2,
       "unknown parameter SIZE of 990103; 990103 has no description"},
      {"{\"vantelle_scene\": 1, \"objects\": [{\"type\": \"Onull\", \"parameters\":\n[]}]}", 2,
       "\"parameters\" of object \"\" (Onull) must be an object"},
      {"{\"vantelle_scene\": 1,\n  \"objects\": [{\"type\": \"Onull\"} {\"type\": \"Onull\"}]}", 2,
       "expected ',' or ']', found '{' (column 33)"},
  };
  for (const BadScene& bad : cases) {
    ExpectBad(bad);
  }
}

TEST_F(SceneFile, NestingIsCappedWhereTheFileCanStillBeRead) {
  // Builds a chain of `levels` plot objects, each with a gradient (the deepest value).
  const auto chain = [](Int32 levels) {
    BaseDocument* doc = BaseDocument::Alloc();
    BaseObject* parent = nullptr;
    for (Int32 i = 0; i < levels; ++i) {
      BaseObject* op = BaseObject::Alloc(kPlotType);
      if (parent == nullptr) {
        doc->InsertObject(op, nullptr, nullptr);
      } else {
        op->InsertUnder(parent);
      }
      parent = op;
    }
    return doc;
  };
  BaseDocument* deepest = chain(SCENE_MAX_OBJECT_DEPTH);
  const std::string text = SceneToJson(deepest);
  ASSERT_FALSE(text.empty());
  SceneError error;
  BaseDocument* loaded = SceneFromJson(text, "deep.json", &error);
  ASSERT_NE(loaded, nullptr) << error.Format().GetStd();
  ExpectSameObjects(deepest->GetFirstObject(), loaded->GetFirstObject());
  BaseDocument::Free(loaded);
  BaseDocument::Free(deepest);

  BaseDocument* tooDeep = chain(SCENE_MAX_OBJECT_DEPTH + 1);
  String saveError;
  EXPECT_EQ(SceneToJson(tooDeep, &saveError), "");
  EXPECT_NE(saveError.GetStd().find("deeper than 29 levels"), std::string::npos) << saveError.GetStd();
  BaseDocument::Free(tooDeep);

  std::string nested = "{\"type\": \"Onull\"}";
  for (Int32 i = 0; i < SCENE_MAX_OBJECT_DEPTH; ++i) {
    nested = "{\"type\": \"Onull\", \"children\": [" + nested + "]}";
  }
  EXPECT_EQ(SceneFromJson("{\"vantelle_scene\": 1, \"objects\": [" + nested + "]}", "deep.json", &error), nullptr);
  EXPECT_NE(error.message.GetStd().find("nested deeper than 29 levels"), std::string::npos) << error.Format().GetStd();
}

TEST_F(SceneFile, FailedLoadsFreeWhatTheyAllocated) {
  // The bad value comes after several objects (with children) were made.
  const std::string late = R"({"vantelle_scene": 1, "objects": [
    {"type": "Otestplot", "children": [{"type": "Otestchild"}, {"type": "Otestchild"}]},
    {"type": "Otestplot", "parameters": {"TP_RESOLUTION": 0}}]})";
  SceneError error;
  EXPECT_EQ(SceneFromJson(late, "scene.json", &error), nullptr);
  EXPECT_EQ(g_live, 0);

  const std::string three = R"({"vantelle_scene": 1, "objects": [
    {"type": "Otestplot"}, {"type": "Onull"},
    {"type": "Otestchild"}]})";
  SetHostFault(HostFault::OBJECT_ALLOC, 2);
  EXPECT_EQ(SceneFromJson(three, "scene.json", &error), nullptr);
  EXPECT_EQ(error.line, 3);
  EXPECT_NE(error.message.GetStd().find("an object of type Otestchild could not be created"), std::string::npos)
      << error.Format().GetStd();
  EXPECT_EQ(g_live, 0);
}

TEST_F(SceneFile, MissingOrUnreadableFilesAreBadInput) {
  SceneError error;
  const fs::path missing = folder_ / "missing.json";
  EXPECT_EQ(LoadScene(Filename(missing), &error), nullptr);
  EXPECT_EQ(error.kind, SceneError::Kind::BAD_INPUT);
  EXPECT_EQ(error.line, 0);
  EXPECT_EQ(error.Format(), String(missing.string() + ": cannot open the scene: No such file or directory"));

  EXPECT_EQ(LoadScene(Filename(folder_), &error), nullptr);
  EXPECT_EQ(error.kind, SceneError::Kind::BAD_INPUT);
  EXPECT_NE(error.message.GetStd().find("is a folder"), std::string::npos);

  std::ofstream(folder_ / "bad.json") << "{\n  \"vantelle_scene\": 1,\n  \"objects\": [}\n";
  EXPECT_EQ(LoadScene(Filename(folder_ / "bad.json"), &error), nullptr);
  EXPECT_EQ(error.Format(), String((folder_ / "bad.json").string() + ":3: expected a value, found '}' (column 15)"));
}

// File size limits (RLIMIT_FSIZE) are POSIX; Windows has no way to fill the disk on cue.
#if !defined(_WIN32)
TEST_F(SceneFile, FailedSavesKeepTheExistingFileAndLeaveNoTemporaryFile) {
  const fs::path path = folder_ / "scene.json";
  const std::string original = "the user's earlier work\n";
  std::ofstream(path) << original;
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  BaseDocument* doc = SampleDocument();
  String error;

  // The disk fills up half-way: the write itself fails.
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit tight = saved;
  tight.rlim_cur = 512;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
  const Bool saved512 = SaveScene(doc, Filename(path), &error);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(saved512);
  EXPECT_NE(error.GetStd().find(path.string() + ": cannot write the scene"), std::string::npos) << error.GetStd();
  EXPECT_EQ(ReadFile(path), original);
  EXPECT_EQ(OtherFiles("scene.json"), std::vector<std::string>());

  // A value no scene can hold: nothing is written at all.
  BaseObject* odd = BaseObject::Alloc(Onull);
  odd->GetDataInstance()->SetContainer(1, BaseContainer(4));
  doc->InsertObject(odd, nullptr, nullptr);
  EXPECT_FALSE(SaveScene(doc, Filename(path), &error));
  EXPECT_NE(error.GetStd().find("parameter 1 of object \"\" (Onull) holds a container"), std::string::npos)
      << error.GetStd();
  EXPECT_EQ(ReadFile(path), original);
  BaseObject::Free(odd);

  // A folder where the file should be cannot be replaced.
  fs::create_directories(folder_ / "taken" / "inside");
  EXPECT_FALSE(SaveScene(doc, Filename(folder_ / "taken"), &error));
  EXPECT_EQ(error.GetStd(), (folder_ / "taken").string() + ": cannot write the scene: Is a directory");
  EXPECT_TRUE(fs::is_directory(folder_ / "taken" / "inside"));

  // No folder to write into.
  EXPECT_FALSE(SaveScene(doc, Filename(folder_ / "none" / "scene.json"), &error));
  EXPECT_EQ(error.GetStd(), (folder_ / "none" / "scene.json").string() + ": cannot write the scene: No such file or directory");

  std::vector<std::string> left = OtherFiles("scene.json");
  std::erase(left, "taken");
  EXPECT_EQ(left, std::vector<std::string>());

  // Success replaces the file whole and keeps who may read it.
  ASSERT_TRUE(SaveScene(doc, Filename(path), &error)) << error.GetStd();
  EXPECT_EQ(ReadFile(path), SceneToJson(doc));
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  BaseDocument::Free(doc);
}
#endif

TEST_F(SceneFile, UnsaveableDocumentsAreRefusedWithAReason) {
  BaseDocument* doc = BaseDocument::Alloc();
  String error;
  doc->SetFps(0);
  EXPECT_EQ(SceneToJson(doc, &error), "");
  EXPECT_NE(error.GetStd().find("frame rate 0"), std::string::npos) << error.GetStd();
  doc->SetFps(30);
  BaseObject* op = BaseObject::Alloc(Onull);
  op->SetName("N");
  op->SetRelPos(Vector(0.0, std::nan(""), 0.0));
  doc->InsertObject(op, nullptr, nullptr);
  EXPECT_EQ(SceneToJson(doc, &error), "");
  EXPECT_NE(error.GetStd().find("the position of object \"N\" (Onull) is not a finite number"), std::string::npos)
      << error.GetStd();
  EXPECT_EQ(SceneToJson(nullptr, &error), "");
  BaseDocument::Free(doc);
}

}  // namespace
