// What the app writes and prints when the user names odd targets or loads a scene with
// odd texts: refused commands change no file, accepted ones replace only what may be
// replaced, and nothing from a file reaches the terminal as a control sequence.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/run_app.h"

namespace {

namespace fs = std::filesystem;
using vantelle::test::ReadAll;
using vantelle::test::RunApp;
using vantelle::test::RunResult;

// One entry of a folder as lstat sees it: what it is, who may use it and what it holds.
struct Entry {
  std::string kind;  // "file", "link", "fifo", "folder"
  unsigned mode = 0;
  std::string content;  // a file's bytes or a link's target
  bool operator==(const Entry&) const = default;
};

std::map<std::string, Entry> Snapshot(const fs::path& folder) {
  std::map<std::string, Entry> entries;
  for (const auto& item : fs::directory_iterator(folder)) {
    struct stat st {};
    lstat(item.path().c_str(), &st);
    Entry e;
    e.mode = st.st_mode & 07777;
    if (S_ISLNK(st.st_mode)) {
      e.kind = "link";
      e.content = fs::read_symlink(item.path()).string();
    } else if (S_ISFIFO(st.st_mode)) {
      e.kind = "fifo";
    } else if (S_ISDIR(st.st_mode)) {
      e.kind = "folder";
    } else {
      e.kind = "file";
      e.content = ReadAll(item.path().string());
    }
    entries[item.path().filename().string()] = e;
  }
  return entries;
}

bool IsGlb(const std::string& bytes) { return bytes.size() > 12 && bytes.compare(0, 4, "glTF") == 0; }

class AppFiles : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vantelle_files_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  void Write(const std::string& name, const std::string& bytes, unsigned mode = 0644) const {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
    chmod(Path(name).c_str(), mode);
  }

  fs::path folder_;
};

constexpr const char* kScene =
    "{\"vantelle_scene\": 1, \"objects\": [{\"type\": \"Osurfo\", \"parameters\": {\"SURFO_RESOLUTION\": 4}}]}\n";

TEST_F(AppFiles, OutputsReplaceOnlyRegularFilesAndRefusalsChangeNothing) {
  Write("scene.json", kScene);
  Write("kept.glb", "old", 0604);
  Write("readonly.glb", "read only", 0444);
  Write("real.glb", "old");
  fs::create_symlink("real.glb", folder_ / "link.glb");
  fs::create_symlink("made.glb", folder_ / "dangling.glb");
  fs::create_symlink("/dev/null", folder_ / "devnull.glb");
  fs::create_symlink("scene.json", folder_ / "scene_alias.json");
  fs::create_directory(folder_ / "folder.glb");
  ASSERT_EQ(mkfifo(Path("pipe.glb").c_str(), 0644), 0);

  // Refused before any work (the missing plug-in folder would fail later with exit 1),
  // and every file stays as it was, byte for byte.
  const auto before = Snapshot(folder_);
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"render", Path("scene.json"), "-o", Path("scene.json")}, "scene.json"},
      {{"render", Path("scene.json"), "-o", Path("scene_alias.json")}, "scene_alias.json"},
      {{"plot", "--save", Path("both.json"), "-o", Path("both.json")}, "both.json"},
      {{"plot", "--save", Path("scene_alias.json"), "-o", Path("scene.json")}, "scene.json"},
      {{"plot", "-o", Path("readonly.glb")}, "read-only"},
      {{"plot", "--save", Path("readonly.glb")}, "read-only"},
      {{"plot", "-o", Path("folder.glb")}, "folder.glb"},
      {{"plot", "-o", ""}, "--output"},
      {{"plot", "--save", ""}, "--save"},
      {{"plot", "--frame", ""}, "--frame"},
      {{"plot", "--frames", ""}, "--frames"},
      {{"render", Path("scene.json"), "-o", ""}, "--output"},
  };
  for (auto [args, fragment] : refused) {
    args.insert(args.end(), {"--plugins", Path("no_plugins")});
    const RunResult r = RunApp(args);
    const std::string shown = args[0] + " " + args[1] + " " + args[2];
    EXPECT_EQ(r.exitCode, 2) << shown << ": " << r.err;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_NE(r.err.find(fragment), std::string::npos) << shown << ": \"" << r.err << "\" lacks \"" << fragment << "\"";
  }
  EXPECT_TRUE(Snapshot(folder_) == before) << "a refused command changed the folder";

  // A regular file is replaced whole and keeps its permissions.
  RunResult r = RunApp({"plot", "--add", "mesh", "-o", Path("kept.glb")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(IsGlb(ReadAll(Path("kept.glb"))));
  EXPECT_EQ(fs::status(folder_ / "kept.glb").permissions(), fs::perms(0604));

  // A symbolic link is followed: the file it names is written, the link stays.
  r = RunApp({"plot", "--add", "mesh", "-o", Path("link.glb"), "--save", Path("dangling.glb")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(folder_ / "link.glb"));
  EXPECT_TRUE(IsGlb(ReadAll(Path("real.glb"))));
  EXPECT_TRUE(fs::is_symlink(folder_ / "dangling.glb"));
  EXPECT_NE(ReadAll(Path("made.glb")).find("\"vantelle_scene\""), std::string::npos);

  // A device or a pipe is written in place, never replaced by a file.
  r = RunApp({"plot", "--add", "mesh", "-o", Path("devnull.glb")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(folder_ / "devnull.glb"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));

  const int reader = open(Path("pipe.glb").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  std::atomic<bool> finished{false};
  std::string piped;
  std::thread drain([&] {
    char buffer[65536];
    for (;;) {
      pollfd p{reader, POLLIN, 0};
      poll(&p, 1, 10);
      const ssize_t n = read(reader, buffer, sizeof(buffer));
      if (n > 0) {
        piped.append(buffer, static_cast<std::size_t>(n));
      } else if (finished) {
        break;
      }
    }
  });
  r = RunApp({"plot", "--add", "mesh", "-o", Path("pipe.glb")});
  finished = true;
  drain.join();
  close(reader);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::is_fifo(folder_ / "pipe.glb"));
  EXPECT_TRUE(IsGlb(piped)) << piped.size() << " bytes came through the pipe";

  // A legal name of 250 bytes is not too long for the file's temporary name.
  const std::string longName = std::string(246, 'p') + ".glb";
  r = RunApp({"plot", "--add", "mesh", "-o", Path(longName)});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(IsGlb(ReadAll(Path(longName))));

  // Nothing hidden is left behind.
  for (const auto& [name, entry] : Snapshot(folder_)) {
    EXPECT_NE(name[0], '.') << name;
  }
}

// True when the text holds a byte a terminal may act on: C0 controls but the newline,
// DEL, and C1 controls as UTF-8 or as raw bytes.
bool HasControls(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\n') || c == 0x7f) {
      return true;
    }
    if (c == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xa0) {
      return true;
    }
  }
  return false;
}

TEST_F(AppFiles, NamesAndTextsFromAFileReachTheTerminalEscaped) {
  // Clears the screen, sets the window title, and a C1 control sequence introducer.
  const std::string evil = "\\u001b[2J\\u001b]0;owned\\u0007\\u009b31m";
  const std::string shown = "\\x1b[2J\\x1b]0;owned\\x07\\u009b31m";
  Write("names.json", "{\"vantelle_scene\": 1, \"objects\": [\n"
                      " {\"type\": \"Osurfo\", \"name\": \"A" + evil + "\", \"parameters\": {\"SURFO_RESOLUTION\": 2}},\n"
                      " {\"type\": \"Osurfo\", \"name\": \"B\\n" + evil + "\", \"parameters\": {\"SURFO_RESOLUTION\": 2}}]}\n");
  Write("param.json", "{\"vantelle_scene\": 1, \"objects\": [\n"
                      " {\"type\": \"Osurfo\", \"parameters\": {\"SURFO" + evil + "\": 1}}]}\n");
  Write("formula.json", "{\"vantelle_scene\": 1, \"objects\": [\n {\"type\": \"Osurfo\", \"name\": \"F" + evil +
                            "\", \"parameters\": {\"SURFO_RESOLUTION\": 2, \"SURFO_FORMULA\": \"x " + evil + "\"}}]}\n");

  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string fragment;  // what the user sees instead, in stdout or stderr
  };
  const std::vector<Case> cases = {
      {{"info", Path("names.json")}, 0, "\"A" + shown + "\""},
      {{"info", Path("names.json")}, 0, "\"B\\x0a" + shown + "\""},
      {{"render", Path("names.json")}, 0, "plot        A" + shown + "\n"},
      {{"render", Path("param.json")}, 2, "unknown parameter SURFO" + shown},
      {{"info", Path("formula.json")}, 0, "warning: " + Path("formula.json") + ":2: SURFO_FORMULA of \"F" + shown},
      {{"render", Path("formula.json")}, 2, ":2: SURFO_FORMULA of \"F" + shown},
      {{"plot", "--set", "NOPE\x1b]0;owned\x07=1"}, 2, "unknown parameter NOPE\\x1b]0;owned\\x07 for Osurfo"},
      {{"plot", "x + 0 * z\t"}, 0, "formula     x + 0 * z\\x09\n"},
  };
  for (const Case& c : cases) {
    const RunResult r = RunApp(c.args);
    const std::string what = c.args[0] + " " + c.args[1];
    EXPECT_EQ(r.exitCode, c.exitCode) << what << ": " << r.err;
    EXPECT_FALSE(HasControls(r.out)) << what << ": " << r.out;
    EXPECT_FALSE(HasControls(r.err)) << what << ": " << r.err;
    EXPECT_NE((r.out + r.err).find(c.fragment), std::string::npos)
        << what << ": \"" << r.out << r.err << "\" lacks \"" << c.fragment << "\"";
  }
}

}  // namespace
