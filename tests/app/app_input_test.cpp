// What the app says about scene files and command lines that are wrong, or right in a way
// the user may not have meant: each is a real command on real files, refused (exit 2)
// with the place and the way out, or run with a warning.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/app/run_app.h"

namespace {

namespace fs = std::filesystem;
using vantelle::test::ReadAll;
using vantelle::test::RunApp;
using vantelle::test::RunResult;

class AppInput : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("vantelle_input_" + std::to_string(getpid()) + "_" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }

  fs::path folder_;
};

// A scene of one plot whose object line (3) and parameters (from line 4) are given.
std::string PlotScene(const std::string& object, const std::string& parameters, const std::string& document = "") {
  return "{\"vantelle_scene\": 1,\n \"document\": {" + document + "},\n \"objects\": [{\"type\": \"Osurfo\"" + object +
         ", \"parameters\": {\n  \"SURFO_RESOLUTION\": 2" + parameters + "}}]}\n";
}

TEST_F(AppInput, SceneFilesAreCheckedWhenLoadedNamingFileLineAndParameter) {
  const std::string knots = "\"knots\": [{\"color\": [0, 0, 1], \"position\": 0}]";
  Write("name.json", PlotScene(", \"name\": \"Pl\xC3\"", ""));
  Write("formula.json", PlotScene("", ",\n  \"SURFO_FORMULA\": \"Sin(x)\xFF\""));
  Write("text.json", "{\"vantelle_scene\": 1, \"objects\": [\n {\"type\": \"Osplinetext\", \"parameters\": {\n"
                     "  \"2111\": \"\xED\xA0\x80\"}}]}\n");
  Write("font.json", "{\"vantelle_scene\": 1, \"objects\": [\n {\"type\": \"Osplinetext\", \"parameters\": {\n"
                     "  \"2117\": {\"font\": {\"family\": \"Sans\xC0\xAF\"}}}}]}\n");
  Write("gradient.json", PlotScene("", ",\n  \"SURFO_GRADIENT\": {\"mode\": 7, " + knots + "}"));
  Write("order.json", PlotScene("", "", "\"fps\": 30,\n \"start\": [60, 30], \"end\": [30, 30]"));
  Write("negative.json", PlotScene("", "", "\"time\": [0,\n -30]"));
  Write("button.json", PlotScene("", ",\n  \"SURFO_INFO\": true"));
  Write("out.glb", "keep me");

  struct Case {
    std::string file;
    std::string error;  // after "vantelle: FOLDER/"
  };
  const std::vector<Case> cases = {
      {"name.json", "name.json:3: \"name\" of a Osurfo is not valid UTF-8: byte 0xc3 at byte 3 of the text"},
      {"formula.json", "formula.json:5: parameter SURFO_FORMULA of Osurfo is not valid UTF-8: byte 0xff at byte 7"},
      {"text.json", "text.json:3: parameter 2111 of Osplinetext is not valid UTF-8: byte 0xed at byte 1"},
      {"font.json", "font.json:3: parameter 2117 of Osplinetext family is not valid UTF-8: byte 0xc0 at byte 5"},
      {"gradient.json", "gradient.json:5: parameter SURFO_GRADIENT of Osurfo: mode 7 is not one of 0 (colour), "
                        "1 (alpha), 2 (colour and alpha)"},
      {"order.json", "order.json:3: document start (frame 60) is after its end (frame 30)"},
      {"negative.json", "negative.json:3: document time: the denominator must be above 0, found -30"},
      {"button.json", "button.json:5: parameter SURFO_INFO of Osurfo is a button, which has no value to give"},
  };
  for (const Case& c : cases) {
    for (const std::string command : {"render", "info"}) {
      std::vector<std::string> args = {command, Path(c.file)};
      if (command == "render") {
        args.insert(args.end(), {"-o", Path("out.glb")});
      }
      const RunResult r = RunApp(args);
      EXPECT_EQ(r.exitCode, 2) << command << " " << c.file << ": " << r.err;
      EXPECT_EQ(r.out, "") << command << " " << c.file;
      EXPECT_EQ(r.err.rfind("vantelle: " + Path(c.error), 0), 0u)
          << command << " " << c.file << ": \"" << r.err << "\" does not start with \"" << c.error << "\"";
    }
  }
  EXPECT_EQ(ReadAll(Path("out.glb")), "keep me");

  // A plot below a plot is a plot of its own: each draws its surface, and the inner one
  // moves with the outer.
  Write("nested.json", "{\"vantelle_scene\": 1, \"objects\": [{\"type\": \"Osurfo\", \"name\": \"Outer\",\n"
                       " \"parameters\": {\"SURFO_RESOLUTION\": 2, \"SURFO_FORMULA\": \"1\"}, \"children\": [\n"
                       "  {\"type\": \"Osurfomesh\"},\n"
                       "  {\"type\": \"Osurfo\", \"name\": \"Inner\", \"position\": [0, 100, 0],\n"
                       "   \"parameters\": {\"SURFO_RESOLUTION\": 3, \"SURFO_FORMULA\": \"-1\"},\n"
                       "   \"children\": [{\"type\": \"Osurfomesh\"}]}]}]}\n");
  const RunResult r = RunApp({"render", Path("nested.json"), "-o", Path("nested.glb")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string glb = ReadAll(Path("nested.glb"));
  ASSERT_GT(glb.size(), 20u);
  const std::uint32_t jsonLength = static_cast<unsigned char>(glb[12]) | static_cast<unsigned char>(glb[13]) << 8 |
                                   static_cast<unsigned char>(glb[14]) << 16;
  const nlohmann::json gltf = nlohmann::json::parse(glb.substr(20, jsonLength));
  std::vector<std::string> meshes;  // "name: count at height", nodes in file order
  for (const nlohmann::json& node : gltf["nodes"]) {
    if (node["name"] == "Inner") {
      EXPECT_EQ(node["translation"], nlohmann::json::parse("[0.0, 1.0, -0.0]"));
    }
    if (node.contains("mesh")) {
      const nlohmann::json& mesh = gltf["meshes"][node["mesh"].get<std::size_t>()];
      const nlohmann::json& position =
          gltf["accessors"][mesh["primitives"][0]["attributes"]["POSITION"].get<std::size_t>()];
      meshes.push_back(node["name"].get<std::string>() + ": " + std::to_string(position["count"].get<int>()) + " at " +
                       std::to_string(position["min"][1].get<double>()));
    }
  }
  EXPECT_EQ(meshes, (std::vector<std::string>{"Plot Mesh: 9 at 0.250000", "Plot Mesh: 16 at -0.250000"}));
}

TEST_F(AppInput, CommandLineMistakesAreNamedWithTheWayOut) {
  // --help tells that --add takes one kind and repeats.
  RunResult r = RunApp({"plot", "--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("Add one component below the plot"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("repeat for more (--add mesh --add grid)"), std::string::npos) << r.out;

  struct Refusal {
    std::vector<std::string> args;
    std::string error;  // a fragment of stderr
  };
  const std::vector<Refusal> refused = {
      {{"plot", "--add", "mesh", "grid"},
       "vantelle: --add takes one kind at a time, so \"grid\" would be the formula; write --add mesh --add grid\n"},
      {{"plot", "-x * z"}, "vantelle: a formula that begins with '-' goes after --, which ends the options: "
                           "vantelle plot [OPTIONS] -- \"-x * z\"\n"},
      {{"plot", "--add", "mesh", "--add", "grid", "-x"}, "-- \"-x\"\n"},
      {{"frobnicate"}, "vantelle: unknown command \"frobnicate\"; the commands are plot, render, info, params, view\n"},
      {{"plot", "--preset", "abc"},
       "\"abc\" is not a preset: presets are the eleven built-in formulas, numbered 0 to 10"},
      {{"plot", "--preset", "11"}, "\"11\" is not a preset"},
      {{"plot", "x * z", "--set", "SURFO_FORMULA=z"},
       "vantelle: --set SURFO_FORMULA would replace the formula \"x * z\" given before it; give the formula once\n"},
      {{"plot", "x * z", "--set", "SURFO_PRESET=2"}, "vantelle: --set SURFO_PRESET would replace the formula"},
      {{"plot", "--preset", "3", "--set", "SURFO_PRESET=2"}, "--set SURFO_PRESET would replace --preset 3"},
      {{"plot", "--preset", "3", "--set", "SURFO_FORMULA=x"},
       "vantelle: --set SURFO_FORMULA would replace --preset 3; give the formula once\n"},
  };
  for (const Refusal& c : refused) {
    r = RunApp(c.args);
    EXPECT_EQ(r.exitCode, 2) << c.args.back() << ": " << r.err;
    EXPECT_EQ(r.out, "") << c.args.back();
    EXPECT_NE(r.err.find(c.error), std::string::npos) << "\"" << r.err << "\" lacks \"" << c.error << "\"";
  }

  // The ways out work; a number is no option.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"plot", "--add", "mesh", "--set", "SURFO_RESOLUTION=2", "--", "-x * z"},
        std::vector<std::string>{"plot", "--add", "mesh", "--set", "SURFO_RESOLUTION=2", "-2 * x"}}) {
    r = RunApp(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("formula     " + args.back() + "\n"), std::string::npos) << r.out;
  }

  // A second component of a kind is a question the script answers No, with a warning.
  r = RunApp({"plot", "--add", "grid", "--add", "grid", "--set", "SURFO_RESOLUTION=2"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("A component of this type already exists"), std::string::npos) << r.err;
  r = RunApp({"plot", "--add", "grid", "--add", "grid", "--set", "SURFO_RESOLUTION=2", "--yes"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");

  // The bare plot written as a 3D file holds nothing to see.
  r = RunApp({"plot", "--add", "none", "--set", "SURFO_RESOLUTION=2", "-o", Path("bare.glb")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("vantelle: warning: --add none: " + Path("bare.glb") + " will hold no geometry"),
            std::string::npos)
      << r.err;
  r = RunApp({"plot", "--add", "none", "--set", "SURFO_RESOLUTION=2", "-o", Path("bare.png")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err.find("warning"), std::string::npos) << "a picture shows the samples: " << r.err;

  // Plug-in folders: the module without its resources, and the same module twice.
  const fs::path module = fs::path(VANTELLE_APP).parent_path() / "plugins" / "Vantelle";
  const std::string moduleFile = "Vantelle.xso64";
  fs::create_directories(folder_ / "bare" / "Vantelle");
  fs::copy_file(module / moduleFile, folder_ / "bare" / "Vantelle" / moduleFile);
  r = RunApp({"plot", "--plugins", Path("bare")});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("vantelle: " + Path("bare/Vantelle/") + moduleFile +
                       ": no res/ folder beside the module (its descriptions, strings and icons); install the "
                       "module's whole folder\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("offers"), std::string::npos) << r.err;

  for (const std::string copy : {"A", "B"}) {
    fs::create_directories(folder_ / "twice" / copy);
    fs::copy_file(module / moduleFile, folder_ / "twice" / copy / moduleFile);
    fs::create_directory_symlink(module / "res", folder_ / "twice" / copy / "res");
  }
  fs::copy_file(module / moduleFile, folder_ / "twice" / moduleFile);  // loose, without res/
  r = RunApp({"plot", "--plugins", Path("twice"), "--set", "SURFO_RESOLUTION=2"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "vantelle: warning: the module " + moduleFile + " is found twice: loaded " + Path("twice/A/") +
                       moduleFile + ", left out " + Path("twice/B/") + moduleFile +
                       "\nvantelle: warning: the module " + moduleFile + " is found twice: loaded " +
                       Path("twice/A/") + moduleFile + ", left out " + Path("twice/") + moduleFile + "\n");
  EXPECT_NE(r.out.find("samples     9"), std::string::npos) << r.out;
}

}  // namespace
