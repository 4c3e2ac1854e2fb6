// File replacement on Windows: what the POSIX tests check with modes, signals and links,
// checked with the attributes, names and devices of Windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "host/files/file_replacement.h"

namespace {

namespace fs = std::filesystem;

class WindowsFileReplacement : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("vantelle_replace_" + std::to_string(GetCurrentProcessId()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    for (const auto& entry : fs::directory_iterator(folder_)) {
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::remove_all(folder_);
  }

  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.insert(Utf8FromPath(entry.path().filename()));
    }
    return names;
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static bool Write(const Filename& name, const std::string& bytes, FileWriteError* error) {
    auto file = FileReplacement::Open(name, error);
    return file != nullptr && file->Write(bytes.data(), bytes.size(), error) && file->Commit(error);
  }

  fs::path folder_;
};

TEST_F(WindowsFileReplacement, ReplacesWholeKeepsBinaryBytesAndHandlesUtf8Names) {
  // Non-ASCII names (outside any ANSI code page too) reach the disk as the user typed them.
  const std::string name = "plot \xc3\xa9\xe2\x82\xac\xf0\x9f\x93\x88.glb";
  const Filename target(String(Utf8FromPath(folder_) + "/" + name));
  std::ofstream(PathFromUtf8(target.GetString().GetStd()), std::ios::binary) << "old";

  FileWriteError error;
  auto file = FileReplacement::Open(target, &error);
  ASSERT_NE(file, nullptr) << error.message.GetStd();
  const std::string bytes("a\r\nb\nc\x1a\0d", 9);  // no text-mode translation, no end at ^Z
  ASSERT_TRUE(file->Write(bytes.data(), bytes.size(), &error));
  EXPECT_EQ(Names().size(), 2u) << "the temporary file sits beside the target";
  EXPECT_EQ(Read(PathFromUtf8(target.GetString().GetStd())), "old") << "the target changes only on commit";
  ASSERT_TRUE(file->Commit(&error)) << error.message.GetStd();
  EXPECT_EQ(Read(PathFromUtf8(target.GetString().GetStd())), bytes);
  EXPECT_EQ(Names(), std::set<std::string>{name});

  // Dropped before commit: the target stays, the temporary file goes.
  {
    auto dropped = FileReplacement::Open(target, &error);
    ASSERT_NE(dropped, nullptr);
    ASSERT_TRUE(dropped->Write("new", 3, &error));
  }
  EXPECT_EQ(Read(PathFromUtf8(target.GetString().GetStd())), bytes);
  EXPECT_EQ(Names(), std::set<std::string>{name});
}

TEST_F(WindowsFileReplacement, RefusesReadOnlyFilesAndFoldersWritesDevicesInPlace) {
  const fs::path locked = folder_ / "locked.glb";
  std::ofstream(locked) << "keep";
  ASSERT_TRUE(SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));
  FileWriteError error;
  EXPECT_FALSE(Write(Filename(locked), "new", &error));
  EXPECT_EQ(error.kind, FileWriteError::Kind::TARGET);
  EXPECT_EQ(error.message.GetStd(), "is read-only");
  EXPECT_EQ(Read(locked), "keep");

  fs::create_directory(folder_ / "sub");
  EXPECT_FALSE(Write(Filename(folder_ / "sub"), "new", &error));
  EXPECT_EQ(error.kind, FileWriteError::Kind::TARGET);

  EXPECT_FALSE(Write(Filename(folder_ / "missing" / "a.glb"), "new", &error));
  EXPECT_EQ(error.kind, FileWriteError::Kind::IO);

  // NUL is a device in every folder, with any extension: written to, never replaced by a file.
  for (const char* device : {"NUL", "nul.glb"}) {
    const std::optional<OutputTarget> nul = ResolveOutputTarget(Filename(folder_ / device), &error);
    ASSERT_TRUE(nul.has_value()) << device;
    EXPECT_TRUE(nul->inPlace) << device;
    EXPECT_TRUE(Write(Filename(folder_ / device), "discarded", &error)) << error.message.GetStd();
  }
  EXPECT_TRUE(Write(Filename(folder_ / "null.glb"), "x", &error)) << "a longer name is a file";
  EXPECT_EQ(Names(), (std::set<std::string>{"locked.glb", "null.glb", "sub"}));
}

TEST_F(WindowsFileReplacement, SameFileIgnoresCaseAndSpelling) {
  std::ofstream(folder_ / "a.json") << "{}";
  const Filename a(folder_ / "a.json");
  EXPECT_TRUE(IsSameFile(a, Filename(folder_ / "A.JSON")));
  EXPECT_TRUE(IsSameFile(a, Filename(folder_ / "sub" / ".." / "a.json")));
  EXPECT_TRUE(IsSameFile(Filename(folder_ / "new.glb"), Filename(folder_ / "NEW.glb")));
  EXPECT_FALSE(IsSameFile(a, Filename(folder_ / "b.json")));
  EXPECT_FALSE(IsSameFile(Filename(folder_ / "b.json"), Filename(folder_ / "c.json")));
}

}  // namespace
