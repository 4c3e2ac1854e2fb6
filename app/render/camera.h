// The viewport's camera: the standard views of a 3D application (front, top, right as
// parallel projections, and a perspective one), orbit angles, and framing a box.
//
// The host's space is left-handed with Y up, and is shown as the host shows it: in the
// front view +X points right, +Y up and +Z away from the viewer. Angles of the command
// line are degrees; distances are scene units (centimetres).
#pragma once

#include <array>
#include <optional>
#include <string>

#include "host/core/types.h"

namespace vantelle::app {

enum class ViewKind { PERSPECTIVE, FRONT, TOP, RIGHT };

// What the user asked for.
struct ViewRequest {
  ViewKind kind = ViewKind::PERSPECTIVE;
  // Orbit angles of a perspective view. Azimuth 0 looks from the front (-Z), 90 from the
  // right (+X); elevation 90 looks straight down.
  Float azimuth = 35.0;
  Float elevation = 25.0;
  // From the camera to the centre of what it frames; none: as far as framing needs.
  std::optional<Float> distance;
};

// "front", "top", "right" or "persp"; BadInput for anything else.
ViewKind ParseViewKind(const std::string& text);
// "AZIMUTH,ELEVATION[,DISTANCE]" into `request` (a perspective view). BadInput naming the
// problem for text that is not two or three finite numbers, an elevation beyond ±90 or a
// distance that is not positive.
void ParseCameraAngles(const std::string& text, ViewRequest& request);

// An axis-aligned box in the host's space; empty until a point is added.
struct Box {
  Vector min{MAXVALUE_FLOAT, MAXVALUE_FLOAT, MAXVALUE_FLOAT};
  Vector max{-MAXVALUE_FLOAT, -MAXVALUE_FLOAT, -MAXVALUE_FLOAT};

  bool IsEmpty() const { return !(min.x <= max.x && min.y <= max.y && min.z <= max.z); }
  // Ignores points that are not finite.
  void Add(const Vector& p);
  void Add(const Box& other);
  Vector Centre() const { return (min + max) * 0.5; }
};

// Column-major 4 x 4 matrix, as OpenGL takes it.
using Mat4 = std::array<float, 16>;

class Camera {
public:
  // A camera for a picture of `width` x `height` pixels that shows all of `bounds` with a
  // margin, looking at its centre (an empty box frames the origin as a 2 m plot would be).
  static Camera Frame(const ViewRequest& request, const Box& bounds, int width, int height);

  // Host space to clip space.
  Mat4 ViewProjection() const;
  // Host space to the camera's right-handed view space (the camera looks down -Z).
  Mat4 View() const;
  // Where a point of the host's space lands in the picture: x to the right and y down
  // from the top-left corner, in pixels (pixel centres at .5), z the distance in front of
  // the camera.
  Vector Project(const Vector& p) const;
  // The line of sight through the picture point (x, y) (pixels as Project gives them): its
  // start on the near plane and its unit direction into the scene, in the host's space.
  void Ray(Float x, Float y, Vector& origin, Vector& direction) const;
  int Width() const { return width_; }
  int Height() const { return height_; }

  bool IsParallel() const { return parallel_; }
  const Vector& Eye() const { return eye_; }
  // The camera's right, up and forward directions in the host's space.
  const Vector& Right() const { return right_; }
  const Vector& Up() const { return up_; }
  const Vector& Forward() const { return forward_; }

private:
  bool parallel_ = false;
  Vector eye_;
  Vector right_{1.0, 0.0, 0.0};
  Vector up_{0.0, 1.0, 0.0};
  Vector forward_{0.0, 0.0, 1.0};
  Float halfHeight_ = 1.0;   // parallel: half the visible height in scene units
  Float tanHalfFov_ = 0.27;  // perspective: tan of half the vertical field of view
  Float aspect_ = 16.0 / 9.0;
  Float near_ = 1.0;
  Float far_ = 1000.0;
  int width_ = 1;
  int height_ = 1;
};

}  // namespace vantelle::app
