// Runs the built vantelle executable as a user would and checks what it prints and how
// it exits: these are the app's promises to scripts.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/app/run_app.h"

namespace {

using vantelle::test::ReadAll;
using vantelle::test::RunApp;
using vantelle::test::RunResult;

// A successful run whose stdout is exactly one JSON object.
nlohmann::json RunJson(std::vector<std::string> args) {
  args.emplace_back("--json");
  const RunResult r = RunApp(args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  try {
    return nlohmann::json::parse(r.out);
  } catch (const nlohmann::json::exception& e) {
    ADD_FAILURE() << "stdout is not one JSON object: " << e.what() << "\n" << r.out;
    return nlohmann::json::object();
  }
}

TEST(AppPlot, DefaultPlotSummarisesTheWholeGrid) {
  const RunResult r = RunApp({"plot"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("2601 (51 x 51)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Sin(x) * Cos(z)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" ms, 2601 formula evaluations\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("components  mesh, grid, cage, labels\n"), std::string::npos) << r.out;
}

TEST(AppPlot, JsonHasEveryKeyWithTheDefaultPlotsValues) {
  const nlohmann::json j = RunJson({"plot"});
  for (const char* key :
       {"formula", "samples", "resolution", "min", "max", "uses_time", "complete", "frame", "fps", "evaluate_seconds"}) {
    EXPECT_TRUE(j.contains(key)) << key << " missing from " << j.dump();
  }
  ASSERT_TRUE(j.is_object());
  EXPECT_EQ(j.value("samples", 0), 2601);
  EXPECT_EQ(j.value("resolution", 0), 50);
  const double lo = j.value("min", 9.0);
  const double hi = j.value("max", -9.0);
  EXPECT_GE(lo, -1.0);
  EXPECT_LE(hi, 1.0);
  EXPECT_LT(lo, hi) << "Sin(x) * Cos(z) over a full period is not flat";
  EXPECT_EQ(j.value("uses_time", true), false);
  EXPECT_EQ(j.value("complete", false), true);
  EXPECT_EQ(j.value("frame", -1), 0);
  EXPECT_EQ(j.value("evaluation", ""), "compiled");
  EXPECT_EQ(j.value("fps", 0), 30);
  EXPECT_GE(j.value("evaluate_seconds", -1.0), 0.0);
}

TEST(AppPlot, FormulaAndSettingsReachTheObjectInOrder) {
  nlohmann::json j = RunJson({"plot", "x * z", "--set", "SURFO_RESOLUTION=10", "--set", "SURFO_RESOLUTION=20", "--fps", "24"});
  EXPECT_EQ(j.value("formula", ""), "x * z");
  EXPECT_EQ(j.value("resolution", 0), 20) << "the last setting wins";
  EXPECT_EQ(j.value("samples", 0), 441);
  EXPECT_EQ(j.value("min", 0.0), -32400.0) << "x * z over the default -180..180 square";
  EXPECT_EQ(j.value("max", 0.0), 32400.0);
  EXPECT_EQ(j.value("fps", 0), 24);

  j = RunJson({"plot", "--set", "SURFO_FORMULA=x", "--set", "SURFO_FORMULA=z"});
  EXPECT_EQ(j.value("formula", ""), "z") << "settings apply in order";

  for (const char* setting : {"SURFO_HEIGHTMODE=clip", "SURFO_ADDCOMPONENT=Grid", "SURFO_COLOR=1 0.5 0", "SURFO_ANIMATE=off"}) {
    const RunResult r = RunApp({"plot", "--set", setting});
    EXPECT_EQ(r.exitCode, 0) << setting << ": " << r.err;
  }
}

TEST(AppPlot, TimeFormulaFollowsTheFrame) {
  const nlohmann::json still = RunJson({"plot", "Sin(x + t * 90)"});
  const nlohmann::json moved = RunJson({"plot", "Sin(x + t * 90)", "--frame", "15"});
  EXPECT_EQ(moved.value("uses_time", false), true);
  EXPECT_EQ(moved.value("frame", 0), 15);
  EXPECT_NE(moved.value("max", 0.0), still.value("max", 0.0)) << "frame 15 must move the wave";
  EXPECT_EQ(RunJson({"plot", "--frame", "-3"}).value("frame", 0), -3);
}

TEST(AppPlot, FrameRangeReportsTheExtremesOfAllFrames) {
  // Frame 0 (t = 0) reaches -90 and nothing above 0; frame 10 (t = 1) reaches 270 and
  // nothing below 0.
  const std::vector<std::string> args = {"plot", "(x + 180) * (t - 0.25)", "--frames", "0:10", "--fps", "10",
                                         "--set", "SURFO_RESOLUTION=4"};
  const nlohmann::json j = RunJson(args);
  EXPECT_EQ(j.value("min", 0.0), -90.0) << "from the first frame";
  EXPECT_EQ(j.value("max", 0.0), 270.0) << "from the last frame";
  EXPECT_EQ(j["plots"][0].value("min", 0.0), -90.0);
  const RunResult text = RunApp(args);
  EXPECT_NE(text.out.find("values      -90 .. 270\n"), std::string::npos) << text.out;
}

TEST(AppPlot, LargestCommonResolutionCountsEverySample) {
  EXPECT_EQ(RunJson({"plot", "--set", "SURFO_RESOLUTION=1000"}).value("samples", 0), 1002001);
}

TEST(AppPlot, BadInputExitsTwoNamingTheProblemAndPrintsNothing) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"plot", "--set", "SURFO_RESOLUTION=0"}, "SURFO_RESOLUTION: 0 is below the minimum 1"},
      {{"plot", "--set", "SURFO_RESOLUTION=5000"}, "SURFO_RESOLUTION: 5000 is above the maximum 2000"},
      {{"plot", "--set", "SURFO_RESOLUTION=abc"}, "SURFO_RESOLUTION: \"abc\" is not an integer"},
      {{"plot", "--set", "NOPE=1"}, "unknown parameter NOPE for Osurfo"},
      {{"plot", "--set", "SURFO_RESOLUTON=3"}, "did you mean SURFO_RESOLUTION?"},
      {{"plot", "--set", "SURFO_RESOLUTION"}, "SURFO_RESOLUTION: expected [OBJECT.]NAME=VALUE"},
      {{"plot", "--set", "SURFO_HEIGHTMODE=sideways"}, "SURFO_HEIGHTMODE"},
      {{"plot", "--set", "SURFO_RESET=true"}, "SURFO_RESET"},
      {{"plot", "--set", "SURFO_RESOLUTION=10", "--set", "SURFO_SIZE=-1"}, "SURFO_SIZE"},
      {{"plot", "Sin("}, "vantelle: formula: column 5: the formula ends where a value should follow\n"},
      {{"plot", "Sinn(x)"}, "vantelle: formula: column 1: unknown function \"Sinn\" (did you mean Sin?)\n"},
      {{"plot", "x z"}, "vantelle: formula: column 3: an operator is missing before \"z\"\n"},
      {{"plot", "--set", "SURFO_FORMULA=" + std::string(65537, '1')}, "more than the 65536 it may have"},
      {{"plot", "--add", "teapot"}, "--add teapot: not a component"},
      {{"plot", "--set", "labels.SURFOLABEL_DECIMALS=11"}, "SURFOLABEL_DECIMALS: 11 is above the maximum 10"},
      {{"plot", "--add", "mesh", "--set", "labels.SURFOLABEL_SIZE=8"}, "the plot has no labels"},
      {{"plot", "--add", "none", "--set", "mesh.SURFOMESH_MODE=1"}, "the plot has no mesh (add one with --add mesh)"},
      {{"plot", "--add", "grid", "--set", "cage.SURFOCAGE_RINGS=1"}, "the plot has no cage"},
      {{"plot", "--preset", "11"}, "--preset"},
      {{"plot", "x", "--preset", "2"}, "--preset"},
      {{"plot", "--frames", "5:2"}, "the last frame comes before the first"},
      {{"plot", "--frames", "1-5"}, "expected A:B"},
      {{"plot", "--frame", "1", "--frames", "1:2"}, "--frame"},
      {{"plot", "--set", "vase.X=1"}, "unknown object vase"},
      {{"plot", "--add", "mesh", "--set", "mesh.SURFOMESH_MODE=9"}, "SURFOMESH_MODE"},
      {{"plot", "--yes", "--no"}, "--no"},
      {{"plot", "1/0"}, "has no value at any sample"},
      {{"plot", "--fps", "0"}, "--fps"},
      {{"plot", "--frame", "soon"}, "--frame"},
      {{"plot", "--bogus"}, "--bogus"},
      {{}, "subcommand"},
  };
  for (const auto& [args, fragment] : cases) {
    const RunResult r = RunApp(args);
    const std::string shown = args.empty() ? "(no arguments)" : args.back();
    EXPECT_EQ(r.exitCode, 2) << shown << ": " << r.err;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_EQ(r.err.rfind("vantelle: ", 0), 0u) << shown << ": " << r.err;
    EXPECT_NE(r.err.find(fragment), std::string::npos) << shown << ": \"" << r.err << "\" lacks \"" << fragment << "\"";
  }
}

TEST(AppPlot, AFormulaUndefinedOnPartOfTheGridIsPlottedWithAWarning) {
  RunResult r = RunApp({"plot", "Log(x)", "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("warning: the formula has no value at 1326 of 2601 samples"), std::string::npos) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["undefined_samples"], 1326);
  EXPECT_EQ(j["samples_without_value"], 1326);
  EXPECT_EQ(j["complete"], false);
  r = RunApp({"plot", "Log(x)"});
  EXPECT_NE(r.out.find("complete    no (1326 of 2601 samples have no value)\n"), std::string::npos) << r.out;
}

TEST(AppPlot, ValuesBeyondTheFilesPrecisionAreReportedNotHidden) {
  const auto folder = std::filesystem::temp_directory_path() / ("vantelle_precision_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string out = (folder / "e.glb").string();
  RunResult r = RunApp({"plot", "Exp(708)", "-o", out, "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["complete"], false);
  EXPECT_EQ(j["min"], std::exp(708.0)) << "the value itself, not a stand-in";
  EXPECT_EQ(j["max"], std::exp(708.0));
  EXPECT_EQ(j["samples_out_of_range"], 2601);
  ASSERT_TRUE(j.contains("dropped")) << r.out;
  EXPECT_EQ(j["dropped"], nlohmann::json::parse(R"([{"object": "Plot Grid", "polygons": 0, "lines": 102},
                                                     {"object": "Plot Mesh", "polygons": 2500, "lines": 0}])"));
  EXPECT_NE(r.err.find("warning: left out 102 lines of \"Plot Grid\" and 2500 polygons of \"Plot Mesh\""),
            std::string::npos)
      << r.err;

  // A size beyond single precision drops the cage and the grid too; numbers stay short.
  r = RunApp({"plot", "--set", "SURFO_SIZE=1e300", "-o", out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string dropped =
      "left out 6 lines of \"Plot Cage\", 102 lines of \"Plot Grid\" and 2500 polygons of \"Plot Mesh\"";
  EXPECT_NE(r.err.find(dropped), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("complete    no (geometry left out of the file)\n"), std::string::npos) << r.out;
  r = RunApp({"plot", "Exp(700)", "--set", "SURFO_HEIGHTMODE=free"});
  EXPECT_NE(r.out.find("values      1.014232e+304 .. 1.014232e+304\n"), std::string::npos) << r.out;
  std::filesystem::remove_all(folder);
}

TEST(AppPlot, MissingOrBrokenModulesExitOne) {
  RunResult r = RunApp({"plot", "--plugins", "/nonexistent"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("vantelle: /nonexistent"), std::string::npos) << r.err;

  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vantelle_plugins_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  r = RunApp({"plot", "--plugins", folder.string()});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("Osurfo"), std::string::npos) << "an empty folder offers no plot: " << r.err;

  std::ofstream(folder / "Broken.xso64") << "not a shared object";
  r = RunApp({"plot", "--plugins", folder.string()});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("Broken.xso64"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  std::filesystem::remove_all(folder);
}

TEST(AppPlot, WritesTheMeshAsGlbAndAsksBeforeASecondOfAKind) {
  const auto folder = std::filesystem::temp_directory_path() / ("vantelle_app_glb_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string out = (folder / "plot.glb").string();
  RunResult r = RunApp({"plot", "--add", "mesh", "--set", "mesh.SURFOMESH_VERTEXCOLORS=true", "-o", out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("wrote       " + out + "\n"), std::string::npos) << r.out;
  ASSERT_TRUE(std::filesystem::exists(out));
  EXPECT_GT(std::filesystem::file_size(out), 2601u * 12u) << "positions of every sample at least";

  // In a script the question about a second mesh is answered No unless --yes says so.
  r = RunApp({"plot", "--add", "mesh", "--add", "mesh", "--json", "-o", out});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("A component of this type already exists"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Answered no"), std::string::npos) << r.err;
  EXPECT_EQ(nlohmann::json::parse(r.out)["output"], out);
  r = RunApp({"plot", "--add", "mesh", "--add", "mesh", "--yes"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err.find("already exists"), std::string::npos) << r.err;

  // An unwritable target is an error that leaves nothing behind.
  r = RunApp({"plot", "--add", "mesh", "-o", (folder / "missing" / "plot.glb").string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("missing/plot.glb"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
  std::filesystem::remove_all(folder);
}

TEST(AppCli, HelpAndVersionGoToStdoutAndSucceed) {
  RunResult r = RunApp({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("plot"), std::string::npos) << r.out;
  r = RunApp({"plot", "--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("--set"), std::string::npos) << r.out;
  r = RunApp({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.rfind("vantelle ", 0), 0u) << r.out;
}

}  // namespace

namespace {

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class AppScenes : public ::testing::Test {
protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("vantelle_scenes_" + std::to_string(getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  std::string Path(const char* name) const { return (folder / name).string(); }
  void Write(const char* name, const std::string& text) const { std::ofstream(folder / name) << text; }

  std::filesystem::path folder;
};

TEST_F(AppScenes, ASavedSceneRendersTheSameFileByteForByte) {
  RunResult r = RunApp({"plot", "Sin(x) * Cos(z) * r / 25", "--set", "SURFO_SIZE=300", "--set",
                        "grid.SURFOGRID_STEP=5", "--set", "labels.SURFOLABEL_SIDES=both", "--set",
                        "labels.SURFOLABEL_FLIP=true", "--frame", "7", "--save", Path("scene.json"), "-o",
                        Path("direct.glb")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("saved       " + Path("scene.json")), std::string::npos) << r.out;
  r = RunApp({"render", Path("scene.json"), "-o", Path("rendered.glb")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("frame       7 at 30 fps"), std::string::npos) << "the scene's own time: " << r.out;
  const std::string direct = ReadBytes(folder / "direct.glb");
  ASSERT_GT(direct.size(), 1000u);
  EXPECT_TRUE(direct == ReadBytes(folder / "rendered.glb")) << "the same scene must write the same file";

  r = RunApp({"info", Path("scene.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("SURFO_SIZE"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("SURFOGRID_STEP   5"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("values"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("5116 \"_SurfoHLabel3_\" at -150, -32, -150"), std::string::npos) << r.out;
}

// The JSON chunk of a .glb.
nlohmann::json GlbJson(const std::string& bytes) {
  if (bytes.size() < 20) {
    return nlohmann::json::object();
  }
  std::uint32_t length = 0;
  std::memcpy(&length, bytes.data() + 12, sizeof(length));
  return nlohmann::json::parse(bytes.substr(20, length));
}

TEST_F(AppScenes, CompressedFilesAreSmallerAndRequireWhatReadsThem) {
  struct Case {
    std::vector<std::string> args;
    double quantised;  // the largest share of the uncompressed size each may take
    double packed;
  };
  // The quantised share is what 8-byte positions and deltas (12 as floats), 4-byte
  // normals, colours and texture coordinates and 2-byte indices leave; meshoptimizer packs
  // the integers to about a quarter.
  const std::vector<Case> cases = {
      {{"plot"}, 0.6, 0.3},
      {{"plot", "Sin(x + t * 90) * Cos(z) * (1 + t)", "--frames", "0:9"}, 0.75, 0.35},
  };
  for (const Case& c : cases) {
    std::vector<std::string> sizes;
    std::vector<std::size_t> bytes;
    for (const std::string& option : {std::string(), std::string("--compress"), std::string("--compress=meshopt")}) {
      std::vector<std::string> args = c.args;
      if (!option.empty()) {
        args.push_back(option);
      }
      args.insert(args.end(), {"-o", Path("out.glb")});
      const RunResult r = RunApp(args);
      ASSERT_EQ(r.exitCode, 0) << option << ": " << r.err;
      const std::string file = ReadBytes(folder / "out.glb");
      bytes.push_back(file.size());
      const nlohmann::json required = GlbJson(file).value("extensionsRequired", nlohmann::json::array());
      EXPECT_EQ(required.size(), option.empty() ? 0u : (option == "--compress" ? 1u : 2u)) << option << required;
      if (!option.empty()) {
        EXPECT_EQ(required[0], "KHR_mesh_quantization") << option;
      }
      if (option == "--compress=meshopt") {
        EXPECT_EQ(required[1], "EXT_meshopt_compression");
      }
    }
    EXPECT_LT(static_cast<double>(bytes[1]), c.quantised * static_cast<double>(bytes[0])) << c.args.size();
    EXPECT_LT(static_cast<double>(bytes[2]), c.packed * static_cast<double>(bytes[0])) << c.args.size();
  }

  // Only a .glb is compressed, and only in the two ways.
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"plot", "--compress"}, "only a .glb file"},
      {{"plot", "--compress", "-o", Path("view.png")}, "only a .glb file"},
      {{"plot", "--compress=zip", "-o", Path("out.glb")}, "--compress=zip: expected --compress or --compress=meshopt"},
  };
  for (const auto& [args, message] : refused) {
    const RunResult r = RunApp(args);
    EXPECT_EQ(r.exitCode, 2) << args.back();
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
  }
}

TEST_F(AppScenes, TheLabelsButtonAndAddLabelsMakeTheSameScene) {
  RunResult r = RunApp({"plot", "--add", "none", "--set", "SURFO_ADDCOMPONENT=3", "--save", Path("button.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = RunApp({"plot", "--add", "labels", "--save", Path("added.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("components  labels\n"), std::string::npos) << r.out;
  EXPECT_EQ(ReadBytes(folder / "button.json"), ReadBytes(folder / "added.json"));
  r = RunApp({"info", Path("added.json")});
  EXPECT_NE(r.out.find("5116 \"_SurfoVLabel2_\" at -102, -25, -100"), std::string::npos) << r.out;
}

TEST_F(AppScenes, BadScenesAreRefusedWithTheirLineAndNothingIsWritten) {
  Write("out.glb", "keep me");
  Write("broken.json", "{\n  \"vantelle_scene\": 1,\n  \"objects\": [\n    {\"type\": \"Osurfo\",,}\n  ]\n}\n");
  Write("unknown_type.json", "{\"vantelle_scene\": 1,\n \"objects\": [{\"type\": \"Oteapot\"}]}");
  Write("unknown_param.json",
        "{\"vantelle_scene\": 1,\n \"objects\": [{\"type\": \"Osurfo\",\n  \"parameters\": {\"SURFO_RESOLUTON\": 3}}]}");
  Write("range.json",
        "{\"vantelle_scene\": 1,\n \"objects\": [{\"type\": \"Osurfo\",\n  \"parameters\": {\"SURFO_RESOLUTION\": 5000}}]}");
  Write("wrong_type.json",
        "{\"vantelle_scene\": 1,\n \"objects\": [{\"type\": \"Osurfo\",\n  \"parameters\": {\"SURFO_FORMULA\": 5}}]}");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"broken.json", "broken.json:4"},
      {"unknown_type.json", "Oteapot"},
      {"unknown_param.json", "unknown_param.json:3"},
      {"range.json", "above the maximum 2000"},
      {"wrong_type.json", "SURFO_FORMULA"},
      {"missing.json", "missing.json"},
  };
  for (const auto& [file, fragment] : cases) {
    const RunResult r = RunApp({"render", Path(file.c_str()), "-o", Path("out.glb")});
    EXPECT_EQ(r.exitCode, 2) << file << ": " << r.err;
    EXPECT_EQ(r.out, "") << file;
    EXPECT_NE(r.err.find(fragment), std::string::npos) << file << ": \"" << r.err << "\" lacks \"" << fragment << "\"";
    EXPECT_EQ(ReadBytes(folder / "out.glb"), "keep me") << file << ": the existing output is untouched";
  }
  EXPECT_EQ(RunApp({"info", Path("range.json")}).exitCode, 2);
  EXPECT_EQ(RunApp({"render"}).exitCode, 2);
}

TEST_F(AppScenes, AFormulaThatCannotBeReadNamesTheFileLineAndParameter) {
  Write("typo.json",
        "{\"vantelle_scene\": 1,\n \"objects\": [{\"type\": \"Osurfo\", \"name\": \"Wave\",\n  \"parameters\": {\n"
        "   \"SURFO_RESOLUTION\": 4,\n   \"SURFO_FORMULA\": \"Sin(x) Cos(z)\"}}]}");
  Write("out.glb", "keep me");
  RunResult r = RunApp({"render", Path("typo.json"), "-o", Path("out.glb")});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_EQ(r.err, "vantelle: " + Path("typo.json") +
                       ":5: SURFO_FORMULA of \"Wave\": column 8: an operator is missing before \"Cos\"\n");
  EXPECT_EQ(ReadBytes(folder / "out.glb"), "keep me");

  // Information about the scene shows it rather than refusing.
  r = RunApp({"info", Path("typo.json")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("warning: " + Path("typo.json") + ":5: SURFO_FORMULA"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("formula error  column 8: an operator is missing before \"Cos\"\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("complete       no (the formula cannot be read)\n"), std::string::npos) << r.out;
  r = RunApp({"info", Path("typo.json"), "--json"});
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["formula_error"]["column"], 8);
  EXPECT_EQ(j["complete"], false);
}

TEST_F(AppScenes, ColoursThatChangeOverFramesGoToOneFilePerFrame) {
  const RunResult r = RunApp({"plot", "Sin(x + t * 90)", "--add", "mesh", "--set", "SURFO_RESOLUTION=2", "--set",
                              "mesh.SURFOMESH_MODE=primitives", "--frames", "0:2", "-o", Path("p.glb"), "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["files"].size(), 3u);
  EXPECT_NE(j.value("per_frame_reason", "").find("colours"), std::string::npos) << r.out;
  EXPECT_TRUE(std::filesystem::exists(folder / "p_0002.glb"));
}

TEST_F(AppScenes, FramesOfATimeFormulaAnimateAndFramesWithoutTimeSampleOnce) {
  nlohmann::json j = RunJson({"plot", "Sin(x + t * 90) * Cos(z)", "--frames", "0:9", "-o", Path("wave.glb")});
  EXPECT_EQ(j["frames"]["count"], 10);
  EXPECT_EQ(j["evaluations"], 10 * 2601) << "a time formula samples every frame";
  EXPECT_EQ(j["animated"], true);
  EXPECT_TRUE(std::filesystem::exists(folder / "wave.glb"));

  j = RunJson({"plot", "x * x * z", "--frames", "0:9", "-o", Path("still.glb")});
  EXPECT_EQ(j["evaluations"], 2601) << "no time: sampled once";
  EXPECT_EQ(j["animated"], false);
  EXPECT_EQ(j["files"].size(), 1u);
}

TEST_F(AppScenes, TextRendersAsASolidAndWithoutAnyFontAsNothingWithOneWarning) {
  const std::string label = VANTELLE_SOURCE_DIR "/tests/export/label.json";
  RunResult r = RunApp({"render", label, "-o", Path("label.glb")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_GT(ReadBytes(folder / "label.glb").size(), 20000u);
  r = RunApp({"info", label});
  EXPECT_NE(r.out.find("2111  \"-180.0\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("2117  Liberation Sans\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1009  0, 0, 0.1\n"), std::string::npos) << r.out;

  // fontconfig told of no font folder at all: the label renders empty, and says why once.
  Write("nofonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig><cachedir>" + folder.string() + "</cachedir></fontconfig>\n");
  setenv("FONTCONFIG_FILE", Path("nofonts.conf").c_str(), 1);
  r = RunApp({"render", label, "-o", Path("empty.glb")});
  unsetenv("FONTCONFIG_FILE");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err,
            "vantelle: warning: no font is installed, so text objects stay empty (install one, on Debian for "
            "instance fonts-liberation2 and fontconfig)\n");
  EXPECT_GT(ReadBytes(folder / "empty.glb").size(), 0u);
  EXPECT_LT(ReadBytes(folder / "empty.glb").size(), 1000u);
}

TEST(AppParams, ListsEveryTypeOrOne) {
  RunResult r = RunApp({"params"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const char* type : {"Osurfo", "Osurfomesh", "Osurfogrid", "Osurfocage", "Osurfolabel"}) {
    EXPECT_NE(r.out.find(type), std::string::npos) << type;
  }
  r = RunApp({"params", "mesh", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j.size(), 1u);
  EXPECT_EQ(j[0]["type"], "Osurfomesh");
  EXPECT_EQ(j[0]["parameters"].size(), 7u);
  r = RunApp({"params", "labels"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("SURFOLABEL_SIDES"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Both"), std::string::npos) << r.out;
  EXPECT_EQ(RunApp({"params", "teapot"}).exitCode, 2);
}

}  // namespace
