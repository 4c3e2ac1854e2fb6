#include "host/files/file_replacement.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class FileReplacementTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("vantelle_replace_" + std::to_string(getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path folder_;
};

// A process ended by a signal while writing leaves the target as it was and no temporary
// file: neither one still being written nor one complete and waiting to be put in place.
TEST_F(FileReplacementTest, EndingBySignalRemovesTemporaryFiles) {
  std::ofstream(folder_ / "kept.glb") << "old";
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      RemoveTemporaryFilesOnSignal();
      FileWriteError error;
      auto waiting = FileReplacement::Open(Filename(folder_ / "kept.glb"), &error);
      auto writing = FileReplacement::Open(Filename(folder_ / "new.glb"), &error);
      const std::string bytes(100000, 'x');
      if (!waiting || !writing || !waiting->Write(bytes.data(), bytes.size(), &error) || !waiting->Finish(&error) ||
          !writing->Write(bytes.data(), bytes.size(), &error)) {
        _exit(3);
      }
      kill(getpid(), sig);
      _exit(4);  // not reached: the signal ends the process
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "signal " << sig << ": exit " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), sig);
    EXPECT_EQ(Names(), std::set<std::string>{"kept.glb"}) << "signal " << sig;
    EXPECT_EQ(Read(folder_ / "kept.glb"), "old");
  }

  // Under nohup a hangup is ignored, and stays so.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGHUP, SIG_IGN);
    RemoveTemporaryFilesOnSignal();
    kill(getpid(), SIGHUP);
    _exit(5);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 5) << "a hangup ended a process that ignores it";
}

TEST_F(FileReplacementTest, LongNamesFitAndSameFilesAreFoundThroughLinks) {
  // 255 bytes, the longest name, of two-byte letters; with and without a leading "y", so
  // that the cut for the temporary name falls inside a letter for one of them.
  std::set<std::string> written;
  for (const std::string lead : {"", "y"}) {
    std::string name = lead;
    while (name.size() + 2 <= 254) {
      name += "\xc3\xa9";
    }
    name.resize(255, 'x');
    FileWriteError error;
    auto file = FileReplacement::Open(Filename(folder_ / name), &error);
    ASSERT_NE(file, nullptr) << error.message.GetStd();
    std::set<std::string> during = Names();
    for (const std::string& done : written) {
      during.erase(done);
    }
    ASSERT_EQ(during.size(), 1u);
    const std::string temporary = *during.begin();
    EXPECT_LE(temporary.size(), 255u);
    EXPECT_EQ(temporary.substr(0, 1 + lead.size() + 2), "." + lead + "\xc3\xa9") << "it shows the target's name";
    EXPECT_EQ(temporary.find("\xc3."), std::string::npos) << "a letter was cut in two";
    ASSERT_TRUE(file->Write(lead.data(), lead.size(), &error));
    ASSERT_TRUE(file->Commit(&error)) << error.message.GetStd();
    EXPECT_EQ(Read(folder_ / name), lead);
    written.insert(name);
  }
  EXPECT_EQ(Names(), written);

  std::ofstream(folder_ / "a.json") << "{}";
  fs::create_hard_link(folder_ / "a.json", folder_ / "hard.json");
  fs::create_directory(folder_ / "sub");
  fs::create_directory_symlink(folder_ / "sub", folder_ / "sublink");
  fs::create_symlink("../a.json", folder_ / "sub" / "up.json");
  const Filename a(folder_ / "a.json");
  EXPECT_TRUE(IsSameFile(a, Filename(folder_ / "hard.json")));
  EXPECT_TRUE(IsSameFile(a, Filename(folder_ / "sub" / "up.json")));
  EXPECT_TRUE(IsSameFile(a, Filename(folder_ / "sub" / ".." / "a.json")));
  EXPECT_TRUE(IsSameFile(Filename(folder_ / "sublink" / "new.glb"), Filename(folder_ / "sub" / "new.glb")))
      << "files not yet there are the same by their path";
  EXPECT_FALSE(IsSameFile(a, Filename(folder_ / "b.json")));
  EXPECT_FALSE(IsSameFile(Filename(folder_ / "b.json"), Filename(folder_ / "c.json")));

  // Links in a circle lead nowhere: refused, not followed for ever.
  fs::create_symlink("loop2", folder_ / "loop1");
  fs::create_symlink("loop1", folder_ / "loop2");
  FileWriteError error;
  EXPECT_EQ(FileReplacement::Open(Filename(folder_ / "loop1"), &error), nullptr);
  EXPECT_EQ(error.kind, FileWriteError::Kind::TARGET);
}

}  // namespace
