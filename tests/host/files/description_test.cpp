#include "host/files/description.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "host/core/gradient.h"
#include "host/files/files.h"

namespace {

std::string Resource(const std::string& parameters, const std::string& name = "otest", Int32 id = 77) {
  return R"({"resource": ")" + name + R"(", "type": "Otest", "id": )" + std::to_string(id) +
         R"(, "parameters": [)" + parameters + "]}";
}

// Every failure must come back as nothing plus a message that says where and what.
void ExpectRejected(const std::string& json, const std::vector<std::string>& fragments) {
  String error;
  EXPECT_FALSE(ParseDescriptionResource(json, &error).has_value()) << json;
  for (const std::string& fragment : fragments) {
    EXPECT_NE(error.GetStd().find(fragment), std::string::npos) << "\"" << error.GetStd() << "\" lacks \"" << fragment
                                                                << "\" for " << json;
  }
}

TEST(DescriptionParse, ReadsEveryTypeWithItsDefault) {
  String error;
  const auto r = ParseDescriptionResource(Resource(R"(
    {"id": 1, "name": "P_INT", "type": "int32", "default": 3, "min": 1, "max": 9, "popup": [[3, "Three"], [4, "Four"]], "command": true},
    {"id": 2, "name": "P_FLOAT", "type": "float", "default": 2, "group": "G", "label": "Float"},
    {"id": 3, "name": "P_BOOL", "type": "bool", "default": true, "hide": true},
    {"id": 4, "name": "P_TEXT", "type": "string", "default": "a; b"},
    {"id": 5, "name": "P_VEC", "type": "vector", "default": [-1, 0.5, 1e6]},
    {"id": 6, "name": "P_COL", "type": "color", "default": [0, 0.5, 1]},
    {"id": 7, "name": "P_GRAD", "type": "gradient", "default": {"knots": []}},
    {"id": 8, "name": "P_FONT", "type": "font"},
    {"id": 9, "name": "P_BUTTON", "type": "button"})"),
                                          &error);
  ASSERT_TRUE(r.has_value()) << error.GetStd();
  EXPECT_EQ(r->resourceName, String("otest"));
  EXPECT_EQ(r->typeName, String("Otest"));
  EXPECT_EQ(r->typeId, 77);
  ASSERT_EQ(r->parameters.size(), 9u);

  const DescParameter* p = r->FindByName("P_INT");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->defaultValue.GetType(), GeDataType::INT32);
  EXPECT_EQ(p->defaultValue.GetInt32(), 3);
  EXPECT_EQ(p->min, 1.0);
  EXPECT_EQ(p->max, 9.0);
  ASSERT_EQ(p->popup.size(), 2u);
  EXPECT_EQ(p->popup[1].value, 4);
  EXPECT_EQ(p->popup[1].label, String("Four"));
  EXPECT_TRUE(p->command);
  EXPECT_EQ(p->label, String("P_INT")) << "a missing label falls back to the name";

  // An integer written for a float must still be stored as a float.
  EXPECT_EQ(r->FindById(2)->defaultValue.GetType(), GeDataType::FLOAT);
  EXPECT_EQ(r->FindById(2)->defaultValue.GetFloat(), 2.0);
  EXPECT_EQ(r->FindById(2)->group, String("G"));
  EXPECT_TRUE(r->FindById(3)->defaultValue.GetBool());
  EXPECT_TRUE(r->FindById(3)->hide);
  EXPECT_EQ(r->FindById(4)->defaultValue.GetString(), String("a; b"));
  EXPECT_EQ(r->FindById(5)->defaultValue.GetVector(), Vector(-1, 0.5, 1e6));
  EXPECT_FALSE(r->FindById(5)->min.has_value()) << "vectors are unlimited unless told";
  EXPECT_EQ(r->FindById(6)->min, 0.0) << "colours are 0..1 unless told";
  EXPECT_EQ(r->FindById(6)->max, 1.0);
  EXPECT_NE(r->FindById(7)->defaultValue.GetCustomData<Gradient>(), nullptr);
  EXPECT_TRUE(r->FindById(8)->defaultValue.IsNil());
  EXPECT_TRUE(r->FindById(9)->defaultValue.IsNil());
  EXPECT_EQ(r->FindById(10), nullptr);
  EXPECT_STREQ(DescParamTypeName(DescParamType::COLOR), "color");
}

TEST(DescriptionParse, RejectsBrokenParametersNamingThem) {
  const std::string a = R"({"id": 1, "name": "P_A", "type": "int32", "default": 0})";
  ExpectRejected(Resource(R"({"id": 10000, "name": "SURFO_RESOLUTION", "type": "int32", "default": 0, "min": 1})"),
                 {"parameter SURFO_RESOLUTION (10000): default 0 is below the minimum 1"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_B", "type": "float", "default": 2.5, "max": 2})"),
                 {"P_B (1)", "above the maximum 2"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_B", "type": "float", "default": 0.00005, "min": 0.0001})"),
                 {"default 0.00005 is below the minimum 0.0001"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_B", "type": "float", "default": 1, "min": 3, "max": 2})"),
                 {"P_B", "minimum 3 is above the maximum 2"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_V", "type": "vector", "default": [0, -2, 0], "min": -1})"),
                 {"P_V", "component y -2 is below the minimum -1"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_C", "type": "color", "default": [0, 0, 1.5]})"),
                 {"P_C", "component z 1.5 is above the maximum 1"});
  ExpectRejected(Resource(a + "," + R"({"id": 1, "name": "P_B", "type": "bool", "default": false})"),
                 {"P_B (1)", "ID 1 is already used by P_A"});
  ExpectRejected(Resource(a + "," + R"({"id": 2, "name": "P_A", "type": "bool", "default": false})"),
                 {"P_A (2)", "name is already used by ID 1"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_A", "type": "int32"})"), {"P_A (1)", "missing field \"default\""});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_A", "type": "integer", "default": 0})"), {"P_A", "unknown type"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_A", "type": "int32", "defualt": 0})"),
                 {"P_A", "unknown field \"defualt\""});
  ExpectRejected(Resource(R"({"id": 4, "type": "int32", "default": 0})"), {"parameters[0] (4)", "\"name\""});
  ExpectRejected(Resource(a + R"(, {"name": "P_B", "type": "int32", "default": 0})"), {"parameters[1]", "\"id\""});
}

TEST(DescriptionParse, RejectsDefaultsOfTheWrongKind) {
  ExpectRejected(Resource(R"({"id": 1, "name": "P_A", "type": "int32", "default": 1.5})"), {"P_A", "integer"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_A", "type": "int32", "default": 3000000000})"),
                 {"P_A", "outside the Int32 range"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_A", "type": "float", "default": true})"), {"P_A", "number"});
  // Overflow is caught by the JSON reader before the parameter is known.
  ExpectRejected(Resource(R"({"id": 1, "name": "P_A", "type": "float", "default": 1e400})"),
                 {"not valid JSON", "1e400"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_A", "type": "bool", "default": 1})"), {"P_A", "true or false"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_A", "type": "string", "default": 7})"), {"P_A", "string"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_A", "type": "vector", "default": [1, 2]})"),
                 {"P_A", "three numbers"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_A", "type": "button", "default": 0})"), {"P_A", "no default"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_A", "type": "string", "default": "", "min": 0})"),
                 {"P_A", "min and max apply only"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_G", "type": "gradient", "default": {"knots": [
                   {"color": [0, 0, 1], "position": 0}, {"color": [0, 0, 1], "position": 1.5}]}})"),
                 {"P_G", "default.knots[1]", "position 1.5 is outside 0..1"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_G", "type": "gradient", "default": {"knots": [
                   {"color": [0, 0, 1], "position": 0, "interpolation": 4}]}})"),
                 {"P_G", "interpolation 4"});
}

TEST(DescriptionParse, ChecksPopups) {
  ExpectRejected(Resource(R"({"id": 1, "name": "P_A", "type": "int32", "default": 2, "popup": [[0, "A"], [1, "B"]]})"),
                 {"P_A", "default 2 is not among the popup values"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_A", "type": "int32", "default": 0, "popup": [[0, "A"], [0, "B"]]})"),
                 {"P_A", "popup value 0 appears twice"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_A", "type": "int32", "default": 0, "popup": [[0]]})"),
                 {"P_A", "popup[0]"});
  ExpectRejected(Resource(R"({"id": 1, "name": "P_A", "type": "float", "default": 0, "popup": [[0, "A"]]})"),
                 {"P_A", "popup applies only to int32"});
}

TEST(DescriptionParse, RejectsBrokenDocuments) {
  ExpectRejected("{\"resource\": ", {"not valid JSON"});
  ExpectRejected("[]", {"JSON object"});
  ExpectRejected(R"({"type": "Otest", "id": 1, "parameters": []})", {"\"resource\""});
  ExpectRejected(R"({"resource": "otest", "type": "Otest", "id": 1, "parameters": {}})", {"parameters must be an array"});
  String* noError = nullptr;
  EXPECT_FALSE(ParseDescriptionResource("", noError).has_value());
}

TEST(GradientJson, FillsOptionalKnotFieldsAndLeavesModeUnsetWhenAbsent) {
  String error;
  const auto data = GradientFromJson(R"({"knots": [{"color": [1, 0, 0], "position": 0.25}]})", &error);
  ASSERT_TRUE(data.has_value()) << error.GetStd();
  const Gradient* g = data->GetCustomData<Gradient>();
  ASSERT_NE(g, nullptr);
  ASSERT_EQ(g->GetKnotCount(), 1);
  const GradientKnot k = g->GetKnot(0);
  EXPECT_EQ(k.col, Vector(1, 0, 0));
  EXPECT_EQ(k.pos, 0.25);
  EXPECT_EQ(k.brightness, 1.0);
  EXPECT_EQ(k.bias, 0.5);
  EXPECT_EQ(k.interpolation, GRADIENT_INTERPOLATION_SMOOTH);
  EXPECT_EQ(k.index, 0);
  EXPECT_TRUE(g->GetData(GRADIENT_MODE).IsNil());
}

TEST(GradientJson, RoundTripsEveryKnotFieldInInsertionOrder) {
  Gradient g;
  g.SetData(GRADIENT_MODE, GeData(Int32(2)));
  g.InsertKnot(GradientKnot{Vector(0.1, 0.2, 0.3), 2.5, 0.9, 0.25, 7, GRADIENT_INTERPOLATION_LINEAR});
  g.InsertKnot(GradientKnot{Vector(1, 1, 1), 1.0, 0.1, 0.5, 0, GRADIENT_INTERPOLATION_NONE});
  const std::string text = GradientToJson(g);
  String error;
  const auto back = GradientFromJson(text, &error);
  ASSERT_TRUE(back.has_value()) << error.GetStd() << " in " << text;
  ASSERT_NE(back->GetCustomData<Gradient>(), nullptr);
  EXPECT_TRUE(back->GetCustomData<Gradient>()->IsEqual(g)) << text;
  EXPECT_EQ(back->GetCustomData<Gradient>()->GetKnot(0).pos, 0.9) << "insertion order, not sorted by position";
}

TEST(GradientJson, RejectsMalformedGradients) {
  String error;
  EXPECT_FALSE(GradientFromJson(R"({"knots": [{"position": 0}]})", &error).has_value());
  EXPECT_NE(error.GetStd().find("knots[0]: missing field \"color\""), std::string::npos) << error.GetStd();
  EXPECT_FALSE(GradientFromJson(R"({"knots": [{"color": [0, 0, 0], "position": 0, "bias": 2}]})", &error));
  EXPECT_NE(error.GetStd().find("bias 2 is outside 0..1"), std::string::npos) << error.GetStd();
  EXPECT_FALSE(GradientFromJson(R"({"mode": "x", "knots": []})", &error));
  EXPECT_FALSE(GradientFromJson(R"([])", &error));
  EXPECT_FALSE(GradientFromJson("not json", nullptr));
}

class DescriptionRegistry : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("vantelle_desc_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(folder_ / "description");
    Write("otest", Resource(R"({"id": 5, "name": "P_A", "type": "float", "default": 1.5, "label": "A"})"));
  }
  void TearDown() override {
    FreeDescriptions();
    std::filesystem::remove_all(folder_);
  }
  void Write(const std::string& file, const std::string& text) {
    std::ofstream(folder_ / "description" / (file + ".json")) << text;
  }
  Filename Folder() const { return Filename(folder_); }

  std::filesystem::path folder_;
};

TEST_F(DescriptionRegistry, RegistersOnceAndForgetsOnFree) {
  String error;
  EXPECT_EQ(FindDescriptionResource(77), nullptr);
  ASSERT_TRUE(RegisterDescription(77, "otest", Folder(), &error)) << error.GetStd();
  const DescriptionResource* r = FindDescriptionResource(77);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->FindById(5)->label, String("A"));
  EXPECT_FALSE(RegisterDescription(77, "otest", Folder(), &error)) << "a second registration would dangle pointers";
  EXPECT_EQ(FindDescriptionResource(77), r);
  FreeDescriptions();
  EXPECT_EQ(FindDescriptionResource(77), nullptr);
}

TEST_F(DescriptionRegistry, RefusesMissingMismatchedAndBrokenFiles) {
  String error;
  EXPECT_FALSE(RegisterDescription(77, "omissing", Folder(), &error));
  EXPECT_NE(error.GetStd().find("omissing.json"), std::string::npos) << error.GetStd();

  Write("oother", Resource("", "otest"));
  EXPECT_FALSE(RegisterDescription(77, "oother", Folder(), &error));
  EXPECT_NE(error.GetStd().find("does not match the name \"oother\""), std::string::npos) << error.GetStd();

  Write("owrongid", Resource("", "owrongid", 78));
  EXPECT_FALSE(RegisterDescription(77, "owrongid", Folder(), &error));
  EXPECT_NE(error.GetStd().find("78"), std::string::npos) << error.GetStd();

  Write("obroken", Resource(R"({"id": 1, "name": "P_Z", "type": "int32", "default": 5, "max": 4})", "obroken"));
  EXPECT_FALSE(RegisterDescription(77, "obroken", Folder(), &error));
  EXPECT_NE(error.GetStd().find("P_Z"), std::string::npos) << error.GetStd();

  EXPECT_FALSE(RegisterDescription(77, "../description/otest", Folder(), &error));
  EXPECT_EQ(FindDescriptionResource(77), nullptr) << "no failed attempt may register anything";
}

TEST_F(DescriptionRegistry, DescriptionIsAnIndependentCopyFoundByFirstLevel) {
  Description d;
  EXPECT_FALSE(d.LoadDescription(77));
  EXPECT_FALSE(d.IsLoaded());
  EXPECT_EQ(d.GetParameterI(DescID(5)), nullptr);
  ASSERT_TRUE(RegisterDescription(77, "otest", Folder()));
  ASSERT_TRUE(d.LoadDescription(77));
  EXPECT_TRUE(d.IsLoaded());

  DescParameter* p = d.GetParameterI(DescID(DescLevel(5, 19), DescLevel(1000)));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->name, String("P_A"));
  EXPECT_EQ(d.GetParameterI(DescID()), nullptr);
  EXPECT_EQ(d.GetParameterI(DescID(6)), nullptr);

  p->hide = true;
  p->label = "Changed";
  EXPECT_FALSE(FindDescriptionResource(77)->FindById(5)->hide) << "adjusting a description must not touch the registry";
  EXPECT_EQ(FindDescriptionResource(77)->FindById(5)->label, String("A"));
}

TEST(PlotDescription, MatchesTheParameterTableAndPresets) {
  std::string text;
  ASSERT_TRUE(ReadTextFile(Filename(VANTELLE_SOURCE_DIR "/res/description/osurfo.json"), text));
  String error;
  const auto r = ParseDescriptionResource(text, &error);
  ASSERT_TRUE(r.has_value()) << error.GetStd();
  EXPECT_EQ(r->resourceName, String("osurfo"));
  EXPECT_EQ(r->typeId, 1055349);

  std::vector<Int32> ids;
  for (const DescParameter& p : r->parameters) ids.push_back(p.id);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<Int32>{10000, 10002, 10003, 10004, 10005, 10007, 10008, 10009, 10010, 10011, 10012, 10013,
                                     10014, 10015, 10016, 10017, 10018, 10020, 10025, 10028, 10029, 10030, 10032, 10033}));

  const std::vector<std::pair<const char*, GeData>> defaults = {
      {"SURFO_RESOLUTION", Int32(50)}, {"SURFO_XMIN", -180.0}, {"SURFO_XMAX", 180.0}, {"SURFO_SIZE", 200.0},
      {"SURFO_HEIGHT", 50.0}, {"SURFO_COLORMODE", Int32(0)}, {"SURFO_COLOR", Vector(1, 1, 1)},
      {"SURFO_SCALEPOS", 1.0}, {"SURFO_SCALENEG", 1.0}, {"SURFO_POINTSTYLE", Int32(0)},
      {"SURFO_FORMULA", "Sin(x) * Cos(z)"}, {"SURFO_ZMIN", -180.0}, {"SURFO_ZMAX", 180.0},
      {"SURFO_USEZRANGE", false}, {"SURFO_HEIGHTMODE", Int32(1)}, {"SURFO_ANIMATE", true},
      {"SURFO_PRESET", Int32(0)}, {"SURFO_GRADIENTABS", false}, {"SURFO_ADDCOMPONENT", Int32(0)},
      {"SURFO_POINTSIZE", 1.0}};
  for (const auto& [name, value] : defaults) {
    const DescParameter* p = r->FindByName(name);
    ASSERT_NE(p, nullptr) << name;
    EXPECT_TRUE(p->defaultValue == value) << name;
  }
  EXPECT_EQ(r->FindByName("SURFO_RESOLUTION")->min, 1.0);
  EXPECT_TRUE(r->FindByName("SURFO_ADDCOMPONENT")->command);
  for (const char* button : {"SURFO_RESET", "SURFO_MANUAL", "SURFO_INFO"}) {
    EXPECT_EQ(r->FindByName(button)->type, DescParamType::BUTTON) << button;
  }

  const std::vector<std::string> presets = {"Sin(x) * Cos(z)", "x^3 * Sin(z * 10)", "x * x * z", "Tan(x) * Atan(z)",
                                            "Pow(Sin(x); 3)", "(x * x) / (z * z)", "Pow((x * x) + (z * z); 0.5)",
                                            "Cos(Abs(x) + Abs(z))", "Log(x)", "x * Cos(z)",
                                            "Sin(Sqrt((x * x) + (z * z)))"};
  const std::vector<DescPopupEntry>& popup = r->FindById(10025)->popup;
  ASSERT_EQ(popup.size(), presets.size());
  for (std::size_t i = 0; i < presets.size(); ++i) {
    EXPECT_EQ(popup[i].value, static_cast<Int32>(i));
    EXPECT_EQ(popup[i].label.GetStd(), presets[i]);
  }
  EXPECT_EQ(r->FindById(10029)->popup.size(), 4u);

  const Gradient* g = r->FindById(10008)->defaultValue.GetCustomData<Gradient>();
  ASSERT_NE(g, nullptr);
  EXPECT_TRUE(g->GetData(GRADIENT_MODE) == GeData(Int32(0)));
  ASSERT_EQ(g->GetKnotCount(), 3);
  const Vector colours[] = {Vector(0, 0, 1), Vector(0, 1, 0), Vector(1, 0, 0)};
  const Float positions[] = {0.0, 0.5, 1.0};
  for (Int32 i = 0; i < 3; ++i) {
    EXPECT_EQ(g->GetKnot(i), (GradientKnot{colours[i], 1.0, positions[i], 0.5, 0, GRADIENT_INTERPOLATION_SMOOTH}))
        << "knot " << i;
  }

  ASSERT_TRUE(RegisterDescription(1055349, "osurfo", Filename(VANTELLE_SOURCE_DIR "/res"), &error)) << error.GetStd();
  FreeDescriptions();
}

}  // namespace
