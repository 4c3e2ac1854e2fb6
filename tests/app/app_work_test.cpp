// Work that grows with the resolution and the number of frames: refused at once when the
// machine cannot hold it, animated files written without holding every frame, and a
// progress bar that keeps out of the way of messages.
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/progress.h"
#include "tests/app/run_app.h"

namespace {

namespace fs = std::filesystem;
using vantelle::test::ReadAll;
using vantelle::test::RunApp;
using vantelle::test::RunOnTerminal;
using vantelle::test::RunResult;

class AppWork : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vantelle_work_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    unsetenv("VANTELLE_MEMORY_LIMIT");
    fs::remove_all(folder_);
  }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  fs::path folder_;
};

constexpr const char* kMoving = "Sin(x + t * 90) * Cos(z)";

TEST_F(AppWork, WorkBeyondTheMachineIsRefusedBeforeItStarts) {
  setenv("VANTELLE_MEMORY_LIMIT", "1G", 1);
  const auto start = std::chrono::steady_clock::now();
  const RunResult solids = RunApp({"plot", "--add", "mesh", "--set", "mesh.SURFOMESH_MODE=1", "--set",
                                   "SURFO_RESOLUTION=2000", "-o", Path("solids.glb")});
  EXPECT_EQ(solids.exitCode, 2) << solids.err;
  EXPECT_NE(solids.err.find("resolution 2000 with solids needs about"), std::string::npos) << solids.err;
  EXPECT_NE(solids.err.find("1.0 GB is available"), std::string::npos) << solids.err;

  // Nothing like 4 GB fits one .glb's binary chunk, whatever the memory.
  unsetenv("VANTELLE_MEMORY_LIMIT");
  const RunResult frames = RunApp({"plot", kMoving, "--frames", "0:4999", "--set", "SURFO_RESOLUTION=100", "-o",
                                   Path("big.glb")});
  EXPECT_EQ(frames.exitCode, 2) << frames.err;
  EXPECT_NE(frames.err.find("an animated file of 5000 frames of a plot at resolution 100 would take about"),
            std::string::npos)
      << frames.err;
  EXPECT_NE(frames.err.find("more than one .glb file can hold"), std::string::npos) << frames.err;
  // Refused at once: the work itself takes minutes and many GB.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_TRUE(fs::is_empty(folder_));

  // Still frames do not grow the file, and work within the limit goes ahead.
  setenv("VANTELLE_MEMORY_LIMIT", "1G", 1);
  const RunResult still =
      RunApp({"plot", "--frames", "0:199", "--set", "SURFO_RESOLUTION=4", "-o", Path("still.glb")});
  EXPECT_EQ(still.exitCode, 0) << still.err;
  EXPECT_EQ(RunApp({"plot", "--set", "SURFO_RESOLUTION=100", "-o", Path("fine.glb")}).exitCode, 0);
}

// The peak memory of the children waited for so far, in KB.
long ChildrenPeakKb() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_maxrss;
}

TEST_F(AppWork, AnimatedFilesDoNotHoldEveryFrame) {
#ifdef __SANITIZE_ADDRESS__
  // The sanitizer's shadow memory and quarantine would be measured, not the app's.
  GTEST_SKIP() << "peak memory is not the app's under AddressSanitizer";
#endif
  // 120 frames of a moving plot at resolution 100 make a file of about 90 MB; held in
  // memory, with its frames and the writer's copy, it takes well over 350 MB.
  const RunResult run = RunApp({"plot", kMoving, "--frames", "0:119", "--set", "SURFO_RESOLUTION=100", "--json",
                                "-o", Path("long.glb")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto size = fs::file_size(Path("long.glb"));
  EXPECT_GT(size, 60u << 20);
  EXPECT_LT(ChildrenPeakKb(), 250L * 1024) << "file of " << size << " bytes";
  const std::string bytes = ReadAll(Path("long.glb"));
  ASSERT_GT(bytes.size(), 28u);
  EXPECT_EQ(bytes.compare(0, 4, "glTF"), 0);
  // The length in the header is the file's.
  EXPECT_EQ(*reinterpret_cast<const unsigned*>(bytes.data() + 8), bytes.size());
}

TEST_F(AppWork, TheProgressBarShowsTimeAndKeepsOffMessages) {
  using vantelle::app::Progress;
  EXPECT_EQ(Progress::Line("frames", 126, 300, 12.0, true),
            "frames  42% [############------------------] 126/300  0:12 elapsed, 0:17 left");
  EXPECT_EQ(Progress::Line("writing a.glb", 0, 1000, 0.4, false),
            "writing a.glb   0% [------------------------------]  0:00 elapsed");
  EXPECT_EQ(Progress::Line("frames", 1, 3, 3725.0, false),
            "frames  33% [##########--------------------]  1:02:05 elapsed, 2:04:10 left");

  // Frames where the formula has no value at some samples: a warning once they are done.
  const std::string frames = RunOnTerminal({"plot", "Sqrt(x) + t", "--frames", "0:30", "--set",
                                            "SURFO_RESOLUTION=80", "-o", Path("bar.glb")});
  EXPECT_NE(frames.find("frames  "), std::string::npos) << frames;
  EXPECT_NE(frames.find("% ["), std::string::npos) << frames;
  EXPECT_NE(frames.find(" elapsed, "), std::string::npos) << frames;
  EXPECT_NE(frames.find(" left"), std::string::npos) << frames;
  const std::size_t warning = frames.find("vantelle: warning:");
  ASSERT_NE(warning, std::string::npos) << frames;
  // The warning starts a line: the bar was cleared ("\r" and erase to the end) first.
  EXPECT_EQ(frames.compare(warning - 4, 4, "\r\033[K"), 0) << frames;
  // Writing the file shows a bar of its own.
  EXPECT_NE(frames.find("writing " + Path("bar.glb")), std::string::npos) << frames;

  // One frame shows no bar at all.
  const std::string single =
      RunOnTerminal({"plot", "Sqrt(x)", "--set", "SURFO_RESOLUTION=80", "-o", Path("one.glb")});
  EXPECT_NE(single.find("vantelle: warning:"), std::string::npos) << single;
  EXPECT_EQ(single.find("% ["), std::string::npos) << single;
}

}  // namespace
