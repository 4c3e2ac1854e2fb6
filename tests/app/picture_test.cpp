// Pictures the app writes, checked by their pixels: what must show lies where the camera
// projects it.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/render/camera.h"
#include "tests/app/run_app.h"

namespace vantelle::app {
namespace {

using test::RunApp;
using test::RunResult;

struct Image {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;

  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  const unsigned char* At(int x, int y) const {
    return rgb.data() +
           (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
  }
};

Image ReadPng(const std::filesystem::path& path) {
  Image image;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&png, path.c_str()) == 0) {
    ADD_FAILURE() << path << " is not a PNG file: " << png.message;
    return image;
  }
  png.format = PNG_FORMAT_RGB;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.rgb.resize(PNG_IMAGE_SIZE(png));
  if (png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr) == 0) {
    ADD_FAILURE() << path << " cannot be read: " << png.message;
    image = Image();
  }
  return image;
}

using PixelTest = std::function<bool(const unsigned char*)>;

bool Red(const unsigned char* p) {
  return p[0] >= 60 && p[0] > 2 * p[1] && p[0] > 2 * p[2];
}
bool Blue(const unsigned char* p) {
  return p[2] >= 60 && p[2] > 2 * p[0] && p[2] > 2 * p[1];
}
// The cage's and the grid's light grey, or a white marker.
bool Light(const unsigned char* p) {
  return std::min({p[0], p[1], p[2]}) >= 140 && std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) <= 40;
}
// Anything of a white marker, even a line covering part of a pixel.
bool Lit(const unsigned char* p) {
  return std::min({p[0], p[1], p[2]}) >= 100 && std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) <= 40;
}
// The handles' orange.
bool Orange(const unsigned char* p) {
  return p[0] >= 200 && p[1] >= 90 && p[1] <= 170 && p[2] <= 60;
}

// Whether a pixel within `radius` of where `point` projects passes `test`.
bool ShowsNear(const Image& image, const Camera& camera, const Vector& point, int radius, const PixelTest& test) {
  const Vector at = camera.Project(point);
  const int cx = static_cast<int>(at.x), cy = static_cast<int>(at.y);
  for (int y = cy - radius; y <= cy + radius; ++y) {
    for (int x = cx - radius; x <= cx + radius; ++x) {
      if (image.Contains(x, y) && test(image.At(x, y))) {
        return true;
      }
    }
  }
  return false;
}

// The first pixel passing `test` walking from (x, y) by (dx, dy), or -1 as the coordinate
// that moves.
int FirstAlong(const Image& image, int x, int y, int dx, int dy, const PixelTest& test) {
  for (; image.Contains(x, y); x += dx, y += dy) {
    if (test(image.At(x, y))) {
      return dx != 0 ? x : y;
    }
  }
  return -1;
}

// How many pixels in a row pass `test` from (x, y) both ways along (dx, dy).
int RunThrough(const Image& image, int x, int y, int dx, int dy, const PixelTest& test) {
  int count = 0;
  for (int sx = x, sy = y; image.Contains(sx, sy) && test(image.At(sx, sy)); sx += dx, sy += dy) {
    ++count;
  }
  for (int sx = x - dx, sy = y - dy; image.Contains(sx, sy) && test(image.At(sx, sy)); sx -= dx, sy -= dy) {
    ++count;
  }
  return count;
}

Box PlotBox(Float size, Float height) {
  Box box;
  box.Add(Vector(-size / 2, -height / 2, -size / 2));
  box.Add(Vector(size / 2, height / 2, size / 2));
  return box;
}

class Pictures : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("vantelle_pictures_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Runs the app writing `name` in the test's folder; the picture read back.
  Image Draw(const std::string& name, std::vector<std::string> args) {
    args.insert(args.end(), {"-o", (dir_ / name).string()});
    const RunResult r = RunApp(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return ReadPng(dir_ / name);
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path dir_;
};

TEST_F(Pictures, FrontViewShowsThePeakTheTroughTheCageAndTheHandlesWhereTheyProject) {
  // Without labels, so that the view frames the plot's box alone.
  const Image image = Draw("front.png", {"plot", "--view", "front", "--add", "mesh", "--add", "grid", "--add", "cage",
                                              "--set", "mesh.SURFOMESH_VERTEXCOLORS=on"});
  ASSERT_EQ(image.width, 1280);
  ASSERT_EQ(image.height, 720);
  ViewRequest front;
  front.kind = ViewKind::FRONT;
  const Camera camera = Camera::Frame(front, PlotBox(200, 50), 1280, 720);

  // Sin(x) * Cos(z) peaks at x = 90, z = 0 and dips at x = -90, z = 0; the surface is
  // seen just inside its top and bottom edges there.
  EXPECT_TRUE(ShowsNear(image, camera, Vector(50, 22, 0), 3, Red));
  EXPECT_TRUE(ShowsNear(image, camera, Vector(-50, -22, 0), 3, Blue));
  EXPECT_FALSE(ShowsNear(image, camera, Vector(50, 22, 0), 3, Blue));
  EXPECT_FALSE(ShowsNear(image, camera, Vector(-50, -22, 0), 3, Red));

  // The cage's edges, found from outside in, between the surface's lobes.
  const Vector left = camera.Project(Vector(-100, 12, -100));
  const Vector right = camera.Project(Vector(100, 12, -100));
  const int row = static_cast<int>(left.y);
  EXPECT_NEAR(FirstAlong(image, 0, row, 1, 0, Light), left.x, 1.5);
  EXPECT_NEAR(FirstAlong(image, image.width - 1, row, -1, 0, Light), right.x, 1.5);
  const Vector top = camera.Project(Vector(-75, 25, -100));
  const Vector bottom = camera.Project(Vector(-75, -25, -100));
  const int column = static_cast<int>(top.x);
  EXPECT_NEAR(FirstAlong(image, column, 0, 0, 1, Light), top.y, 1.5);
  EXPECT_NEAR(FirstAlong(image, column, image.height - 1, 0, -1, Light), bottom.y, 1.5);

  // The handles: size at +X on the right, height at +Y on top.
  EXPECT_TRUE(ShowsNear(image, camera, Vector(100, 0, 0), 2, Orange));
  EXPECT_TRUE(ShowsNear(image, camera, Vector(0, 25, 0), 2, Orange));
  EXPECT_FALSE(ShowsNear(image, camera, Vector(-100, 0, 0), 6, Orange));

  // A dark gradient behind, lighter at the top.
  const unsigned char* high = image.At(5, 5);
  const unsigned char* low = image.At(5, image.height - 6);
  EXPECT_LT(high[0], 110);
  EXPECT_GT(high[0] + high[1] + high[2], low[0] + low[1] + low[2] + 60);
}

TEST_F(Pictures, CrossesArePlusSignsOfTwiceThePointSizeWithoutALineAlongZ) {
  // Four white crosses at (±100, 25, ±100), away from the handles' lines.
  const std::vector<std::string> plot = {"plot",
                                         "--add",
                                         "none",
                                         "--set",
                                         "SURFO_POINTSTYLE=2",
                                         "--set",
                                         "SURFO_POINTSIZE=10",
                                         "--set",
                                         "SURFO_RESOLUTION=1",
                                         "--set",
                                         "SURFO_FORMULA=1",
                                         "--set",
                                         "SURFO_COLORMODE=1",
                                         "--size",
                                         "640x360"};
  const Box box = PlotBox(200, 50);
  for (ViewKind kind : {ViewKind::FRONT, ViewKind::RIGHT}) {
    const bool front = kind == ViewKind::FRONT;
    SCOPED_TRACE(front ? "front" : "right");
    std::vector<std::string> args = plot;
    args.insert(args.end(), {"--view", front ? "front" : "right"});
    const Image image = Draw("crosses.png", args);
    ASSERT_EQ(image.width, 640);
    ViewRequest view;
    view.kind = kind;
    const Camera camera = Camera::Frame(view, box, 640, 360);
    const Vector centre = camera.Project(Vector(100, 25, front ? -100 : 100));
    const Float pixelsPerUnit = camera.Project(Vector(0, 1, 0)).y - camera.Project(Vector(0, 0, 0)).y;
    const Float arm = 2 * 10 * std::abs(pixelsPerUnit);
    const int x = static_cast<int>(centre.x), y = static_cast<int>(centre.y);
    ASSERT_TRUE(Lit(image.At(x, y)));
    // Upright: the Y line, in both views.
    EXPECT_NEAR(RunThrough(image, x, y, 0, 1, Lit), arm, 2.5);
    // Across: the X line in the front view; from the right, where Z runs across, nothing
    // but the width of the Y line.
    if (front) {
      EXPECT_NEAR(RunThrough(image, x, y, 1, 0, Lit), arm, 2.5);
    } else {
      EXPECT_LE(RunThrough(image, x, y, 1, 0, Lit), 3);
    }
  }
}

TEST_F(Pictures, MarkersOfEveryStyleSitOnTheSamples) {
  // A flat 3 x 3 grid seen from above; the samples off the X axis, where the handle of
  // the size lies.
  for (const char* style : {"0", "1", "2"}) {
    SCOPED_TRACE(style);
    const Image image =
        Draw("marks.png", {"plot", "--add", "none", "--set", std::string("SURFO_POINTSTYLE=") + style, "--set",
                           "SURFO_POINTSIZE=3", "--set", "SURFO_RESOLUTION=2", "--set", "SURFO_FORMULA=0", "--set",
                           "SURFO_COLORMODE=1", "--view", "top", "--size", "320x240"});
    ViewRequest top;
    top.kind = ViewKind::TOP;
    const Camera camera = Camera::Frame(top, PlotBox(200, 50), 320, 240);
    for (Float x : {-100.0, 0.0, 100.0}) {
      for (Float z : {-100.0, 100.0}) {
        EXPECT_TRUE(ShowsNear(image, camera, Vector(x, 0, z), 1, Lit)) << x << ", " << z;
      }
    }
    EXPECT_FALSE(ShowsNear(image, camera, Vector(50, 0, 50), 4, Lit));
  }
}

TEST_F(Pictures, FramesWriteOnePictureEachAndWholeOrNotAtAll) {
  const RunResult r = RunApp({"plot", "--frames", "0:2", "--size", "64x48", "-o", (dir_ / "f.png").string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Files(), (std::vector<std::string>{"f_0000.png", "f_0001.png", "f_0002.png"}));
  EXPECT_NE(r.out.find("f_0002.png"), std::string::npos) << r.out;
  EXPECT_EQ(ReadPng(dir_ / "f_0001.png").width, 64);

  // A folder in the way of the picture: nothing new appears.
  std::filesystem::create_directory(dir_ / "taken.png");
  const RunResult blocked = RunApp({"plot", "--size", "64x48", "-o", (dir_ / "taken.png").string()});
  EXPECT_EQ(blocked.exitCode, 2);  // a folder is refused before any work
  EXPECT_NE(blocked.err.find("taken.png"), std::string::npos) << blocked.err;
  EXPECT_EQ(Files().size(), 4u);
}

TEST_F(Pictures, PictureOptionsThatDoNotReadAreRefusedBeforeAnyWork) {
  struct Case {
    std::vector<std::string> options;
    const char* message;
  };
  for (const Case& c : {Case{{"--size", "10x10"}, "--size 10x10"}, Case{{"--size", "wide"}, "--size wide"},
                        Case{{"--size", "1280x720x3"}, "--size 1280x720x3"}, Case{{"--view", "side"}, "--view side"},
                        Case{{"--camera", "30"}, "--camera 30"}, Case{{"--camera", "30,95"}, "elevation"},
                        Case{{"--camera", "30,20,0"}, "distance"}, Case{{"--camera", "a,20"}, "\"a\""},
                        Case{{"--view", "top", "--camera", "30,20"}, "excludes"}}) {
    std::vector<std::string> args = {"plot", "-o", (dir_ / "never.png").string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const RunResult r = RunApp(args);
    EXPECT_EQ(r.exitCode, 2) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  EXPECT_TRUE(Files().empty());
}

}  // namespace
}  // namespace vantelle::app
