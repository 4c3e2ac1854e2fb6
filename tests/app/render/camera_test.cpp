#include "app/render/camera.h"

#include <gtest/gtest.h>

#include "app/app_error.h"

namespace vantelle::app {
namespace {

Box MakeBox(const Vector& min, const Vector& max) {
  Box box;
  box.Add(min);
  box.Add(max);
  return box;
}

const Box kPlot = MakeBox(Vector(-100, -25, -100), Vector(100, 25, 100));

Camera View(ViewKind kind, const Box& box = kPlot, int width = 1280, int height = 720) {
  ViewRequest request;
  request.kind = kind;
  return Camera::Frame(request, box, width, height);
}

// Where a step along an axis moves a point's picture: right (+x), down (+y), away (+z).
Vector Step(const Camera& camera, const Vector& axis) {
  return camera.Project(axis * 10.0) - camera.Project(Vector());
}

TEST(Camera, StandardViewsShowTheHostsAxesAsTheHostDoes) {
  const Camera front = View(ViewKind::FRONT);
  EXPECT_TRUE(front.IsParallel());
  EXPECT_GT(Step(front, Vector(1, 0, 0)).x, 0.0);
  EXPECT_LT(Step(front, Vector(0, 1, 0)).y, 0.0);
  const Vector away = Step(front, Vector(0, 0, 1));
  EXPECT_NEAR(away.x, 0.0, 1e-3);
  EXPECT_NEAR(away.y, 0.0, 1e-3);
  EXPECT_NEAR(away.z, 10.0, 1e-9) << "+Z points away from the viewer";

  const Camera right = View(ViewKind::RIGHT);
  EXPECT_GT(Step(right, Vector(0, 0, 1)).x, 0.0);
  EXPECT_LT(Step(right, Vector(0, 1, 0)).y, 0.0);
  EXPECT_NEAR(Step(right, Vector(1, 0, 0)).z, -10.0, 1e-9) << "seen from +X";

  const Camera top = View(ViewKind::TOP);
  EXPECT_GT(Step(top, Vector(1, 0, 0)).x, 0.0);
  EXPECT_LT(Step(top, Vector(0, 0, 1)).y, 0.0) << "+Z is up in a top view";
  EXPECT_NEAR(Step(top, Vector(0, 1, 0)).z, -10.0, 1e-9) << "seen from above";

  // The default: a perspective from the front, right and above, looking at the centre.
  const Camera persp = View(ViewKind::PERSPECTIVE);
  EXPECT_FALSE(persp.IsParallel());
  EXPECT_GT(persp.Eye().x, 0.0);
  EXPECT_GT(persp.Eye().y, 0.0);
  EXPECT_LT(persp.Eye().z, 0.0);
  EXPECT_NEAR(persp.Project(Vector()).x, 640.0, 1e-3);
  EXPECT_NEAR(persp.Project(Vector()).y, 360.0, 1e-3);
  EXPECT_LT(Step(persp, Vector(0, 1, 0)).y, 0.0);
}

TEST(Camera, FramingShowsTheWholeBoxWithAMarginAndFillsThePicture) {
  const Box boxes[] = {kPlot, MakeBox(Vector(-5, 0, -5), Vector(5, 0, 5)),       // flat
                       MakeBox(Vector(300, 40, 7), Vector(300, 40, 7)),          // one point
                       Box(),                                                    // empty
                       MakeBox(Vector(1000, -1, 1000), Vector(3000, 1, 1200))};  // far off, thin
  const ViewKind kinds[] = {ViewKind::FRONT, ViewKind::TOP, ViewKind::RIGHT, ViewKind::PERSPECTIVE};
  const int sizes[][2] = {{1280, 720}, {300, 900}};
  for (const Box& box : boxes) {
    const Box shown = box.IsEmpty() ? kPlot : box;
    for (ViewKind kind : kinds) {
      for (const auto& size : sizes) {
        const Camera camera = View(kind, box, size[0], size[1]);
        Float minX = 1e30, maxX = -1e30, minY = 1e30, maxY = -1e30;
        for (int i = 0; i < 8; ++i) {
          const Vector corner((i & 1) ? shown.max.x : shown.min.x, (i & 2) ? shown.max.y : shown.min.y,
                              (i & 4) ? shown.max.z : shown.min.z);
          const Vector p = camera.Project(corner);
          EXPECT_GT(p.z, 0.0) << "in front of the camera";
          minX = std::min(minX, p.x);
          maxX = std::max(maxX, p.x);
          minY = std::min(minY, p.y);
          maxY = std::max(maxY, p.y);
        }
        const Float w = size[0], h = size[1];
        SCOPED_TRACE(::testing::Message() << "view " << static_cast<int>(kind) << " at " << w << "x" << h);
        EXPECT_GE(minX, 0.04 * w);
        EXPECT_LE(maxX, 0.96 * w);
        EXPECT_GE(minY, 0.04 * h);
        EXPECT_LE(maxY, 0.96 * h);
        // Along the box's longer side on the picture it fills most of it.
        if (shown.max != shown.min) {
          EXPECT_GE(std::max((maxX - minX) / w, (maxY - minY) / h), 0.6);
        }
      }
    }
  }
}

TEST(Camera, AnglesAndDistanceOfTheCommandLine) {
  ViewRequest request;
  request.kind = ViewKind::TOP;
  ParseCameraAngles("90, 0,500", request);
  EXPECT_EQ(request.kind, ViewKind::PERSPECTIVE);
  const Camera side = Camera::Frame(request, kPlot, 640, 480);
  EXPECT_NEAR(side.Eye().x, 500.0, 1e-9);
  EXPECT_NEAR(side.Eye().y, 0.0, 1e-9);
  EXPECT_NEAR(side.Eye().z, 0.0, 1e-9);

  ParseCameraAngles("-30,+90", request);
  EXPECT_FALSE(request.distance.has_value());
  const Camera above = Camera::Frame(request, kPlot, 640, 480);
  EXPECT_NEAR(above.Eye().x, 0.0, 1e-6);
  EXPECT_GT(above.Eye().y, 25.0);
  EXPECT_NEAR(above.Forward().y, -1.0, 1e-12);

  for (const char* bad : {"", "10", "1,2,3,4", "a,2", "1,,2", "1,91", "1,-90.5", "1,2,0", "1,2,-5", "nan,2", "1,inf"}) {
    try {
      ParseCameraAngles(bad, request);
      ADD_FAILURE() << "accepted \"" << bad << "\"";
    } catch (const AppError& e) {
      EXPECT_EQ(e.GetExitCode(), kExitBadInput);
      EXPECT_NE(std::string(e.what()).find(std::string("--camera ") + bad), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(ParseViewKind("right"), ViewKind::RIGHT);
  EXPECT_THROW(ParseViewKind("Front"), AppError);
}

}  // namespace
}  // namespace vantelle::app
