#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/files/files.h"
#include "host/files/resource.h"

namespace {

namespace fs = std::filesystem;

class TempFolder : public ::testing::Test {
protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("vantelle_files_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }
  void Write(const std::string& name, const std::string& text) { std::ofstream(folder / name) << text; }
  fs::path folder;
};

TEST(Filename, JoinsPartByPartAndTreatsBackslashesAsSeparators) {
  const Filename base("/plugins/Vantelle");
  EXPECT_EQ((base + Filename("res") + Filename("Surfo.tif")).GetString().GetStd(), "/plugins/Vantelle/res/Surfo.tif");
  // A part written for another system still lands inside the folder.
  EXPECT_EQ((base + Filename("\\Vantelle.pdf")).GetString().GetStd(), "/plugins/Vantelle/Vantelle.pdf");
  EXPECT_EQ(Filename(String(base.GetString().GetStd() + "\\Vantelle.pdf")).GetString().GetStd(),
            "/plugins/Vantelle/Vantelle.pdf");
  EXPECT_EQ((base + Filename("")).GetString().GetStd(), "/plugins/Vantelle");
  EXPECT_EQ(Filename("/a/b/c.txt").GetDirectory().GetString().GetStd(), "/a/b");
  EXPECT_EQ(Filename("/a/b/c.txt").GetFileString().GetStd(), "c.txt");
}

TEST_F(TempFolder, ExistenceTellsFilesFromFolders) {
  Write("a.txt", "hello");
  EXPECT_TRUE(GeFExist(Filename(folder / "a.txt")));
  EXPECT_FALSE(GeFExist(Filename(folder / "a.txt"), true));
  EXPECT_TRUE(GeFExist(Filename(folder), true));
  EXPECT_FALSE(GeFExist(Filename(folder)));
  EXPECT_FALSE(GeFExist(Filename(folder / "missing")));
  std::string text;
  EXPECT_TRUE(ReadTextFile(Filename(folder / "a.txt"), text));
  EXPECT_EQ(text, "hello");
  EXPECT_FALSE(ReadTextFile(Filename(folder / "missing"), text));
}

TEST_F(TempFolder, AResourceLoadsItsStringsOnceAndReportsTheFirstResult) {
  Write("strings.json", R"({"strings": [{"id": 15000, "name": "IDS_A", "text": "Plot"}]})");
  GeResource resource;
  ASSERT_TRUE(resource.Init(Filename(folder)));
  EXPECT_EQ(resource.LoadString(15000).GetStd(), "Plot");
  EXPECT_TRUE(resource.LoadString(15001).IsEmpty());
  // A second initialisation keeps the first answer, even for another folder.
  EXPECT_TRUE(resource.Init(Filename(folder / "elsewhere")));
  resource.Free();
  EXPECT_TRUE(resource.LoadString(15000).IsEmpty());

  GeResource missing;
  EXPECT_FALSE(missing.Init(Filename(folder / "elsewhere")));
  Write("strings.json", R"({"strings": [{"id": "15000", "text": "Plot"}]})");
  EXPECT_FALSE(missing.Init(Filename(folder))) << "the first failure stands";
  GeResource malformed;
  EXPECT_FALSE(malformed.Init(Filename(folder)));
  Write("strings.json", "{not json");
  GeResource broken;
  EXPECT_FALSE(broken.Init(Filename(folder)));
  EXPECT_TRUE(broken.LoadString(15000).IsEmpty());
}

}  // namespace
