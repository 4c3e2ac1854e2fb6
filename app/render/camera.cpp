#include "app/render/camera.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "app/app_error.h"

namespace vantelle::app {

namespace {

constexpr Float kDegrees = PI / 180.0;
// Vertical field of view of the perspective view: about a 35 mm lens on a 16:9 picture.
constexpr Float kFieldOfView = 30.0 * kDegrees;
// How much of the picture's half width or height the framed box may fill.
constexpr Float kFill = 0.88;
// What an empty scene frames: the volume of a plot of the default size.
constexpr Vector kEmptyHalfSize{100.0, 25.0, 100.0};

std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) {
      return parts;
    }
    start = comma + 1;
  }
}

bool ParseNumber(std::string text, Float& value) {
  // Spaces around a number are what people type after a comma.
  const auto first = text.find_first_not_of(' ');
  const auto last = text.find_last_not_of(' ');
  if (first == std::string::npos) {
    return false;
  }
  text = text.substr(first, last - first + 1);
  const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(begin, end, value);
  return ec == std::errc() && ptr == end && std::isfinite(value);
}

// The box the camera frames, never flat in all directions, so a single point or an empty
// scene still gives a usable view.
Box Framed(const Box& bounds) {
  Box box = bounds;
  if (box.IsEmpty()) {
    box.min = -kEmptyHalfSize;
    box.max = kEmptyHalfSize;
    return box;
  }
  const Vector size = box.max - box.min;
  if (std::max({size.x, size.y, size.z}) <= 0.0) {
    box.min -= Vector(1.0);
    box.max += Vector(1.0);
  }
  return box;
}

std::array<Vector, 8> Corners(const Box& box) {
  std::array<Vector, 8> corners;
  for (int i = 0; i < 8; ++i) {
    corners[static_cast<std::size_t>(i)] =
        Vector((i & 1) ? box.max.x : box.min.x, (i & 2) ? box.max.y : box.min.y, (i & 4) ? box.max.z : box.min.z);
  }
  return corners;
}

Mat4 Multiply(const Mat4& a, const Mat4& b) {
  Mat4 r{};
  for (int col = 0; col < 4; ++col) {
    for (int row = 0; row < 4; ++row) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) {
        sum += a[static_cast<std::size_t>(k * 4 + row)] * b[static_cast<std::size_t>(col * 4 + k)];
      }
      r[static_cast<std::size_t>(col * 4 + row)] = sum;
    }
  }
  return r;
}

}  // namespace

ViewKind ParseViewKind(const std::string& text) {
  if (text == "front")
    return ViewKind::FRONT;
  if (text == "top")
    return ViewKind::TOP;
  if (text == "right")
    return ViewKind::RIGHT;
  if (text == "persp" || text == "perspective")
    return ViewKind::PERSPECTIVE;
  throw BadInput("--view " + text + ": expected front, top, right or persp");
}

void ParseCameraAngles(const std::string& text, ViewRequest& request) {
  const std::vector<std::string> parts = SplitCommas(text);
  Float values[3] = {};
  if (parts.size() < 2 || parts.size() > 3) {
    throw BadInput("--camera " + text + ": expected AZIMUTH,ELEVATION or AZIMUTH,ELEVATION,DISTANCE");
  }
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (!ParseNumber(parts[i], values[i])) {
      throw BadInput("--camera " + text + ": \"" + parts[i] + "\" is not a number");
    }
  }
  if (std::abs(values[1]) > 90.0) {
    throw BadInput("--camera " + text + ": the elevation lies between -90 and 90 degrees");
  }
  if (parts.size() == 3 && !(values[2] > 0.0)) {
    throw BadInput("--camera " + text + ": the distance must be greater than 0");
  }
  request.kind = ViewKind::PERSPECTIVE;
  request.azimuth = values[0];
  request.elevation = values[1];
  request.distance.reset();
  if (parts.size() == 3) {
    request.distance = values[2];
  }
}

void Box::Add(const Vector& p) {
  if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
    return;
  }
  min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
  max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
}

void Box::Add(const Box& other) {
  if (!other.IsEmpty()) {
    Add(other.min);
    Add(other.max);
  }
}

Camera Camera::Frame(const ViewRequest& request, const Box& bounds, int width, int height) {
  Camera camera;
  camera.width_ = std::max(width, 1);
  camera.height_ = std::max(height, 1);
  camera.aspect_ = static_cast<Float>(camera.width_) / camera.height_;
  camera.parallel_ = request.kind != ViewKind::PERSPECTIVE;

  Float azimuth = request.azimuth * kDegrees;
  Float elevation = request.elevation * kDegrees;
  switch (request.kind) {
    case ViewKind::FRONT: azimuth = elevation = 0.0; break;
    case ViewKind::TOP:
      azimuth = 0.0;
      elevation = 90.0 * kDegrees;
      break;
    case ViewKind::RIGHT:
      azimuth = 90.0 * kDegrees;
      elevation = 0.0;
      break;
    case ViewKind::PERSPECTIVE: break;
  }
  // The camera orbits the box's centre: azimuth turns it from the front towards +X, and
  // looking straight down, screen-up is +Z, as in a top view.
  camera.forward_ = {-std::sin(azimuth) * std::cos(elevation), -std::sin(elevation),
                     std::cos(azimuth) * std::cos(elevation)};
  camera.right_ = {std::cos(azimuth), 0.0, std::sin(azimuth)};
  camera.up_ = Cross(camera.forward_, camera.right_);

  const Box box = Framed(bounds);
  const Vector centre = box.Centre();
  const Float radius = std::max((box.max - box.min).GetLength() * 0.5, 1e-6);
  camera.tanHalfFov_ = std::tan(kFieldOfView * 0.5);
  const Float tanX = camera.tanHalfFov_ * camera.aspect_;

  Float distance = 0.0;
  Float halfHeight = 0.0;
  for (const Vector& corner : Corners(box)) {
    const Vector d = corner - centre;
    const Float x = std::abs(Dot(d, camera.right_));
    const Float y = std::abs(Dot(d, camera.up_));
    const Float z = Dot(d, camera.forward_);
    halfHeight = std::max({halfHeight, y / kFill, x / (kFill * camera.aspect_)});
    distance = std::max({distance, x / (kFill * tanX) - z, y / (kFill * camera.tanHalfFov_) - z, 0.05 * radius - z});
  }
  if (camera.parallel_) {
    // Far enough that nothing of the box lies behind the camera.
    distance = 3.0 * radius;
    camera.halfHeight_ = halfHeight > 0.0 ? halfHeight : 1.0;
    camera.near_ = distance - 1.5 * radius;
    camera.far_ = distance + 1.5 * radius;
  } else {
    if (request.distance) {
      distance = *request.distance;
    }
    camera.near_ = std::max(distance - 1.2 * radius, 0.005 * (distance + radius));
    camera.far_ = (distance + radius) * 1.2;
  }
  camera.eye_ = centre - camera.forward_ * distance;
  return camera;
}

Mat4 Camera::View() const {
  // Rows right, up and backward: the mirror that turns the host's left-handed space into
  // OpenGL's right-handed one.
  const Vector back = -forward_;
  Mat4 m{};
  const Vector rows[3] = {right_, up_, back};
  for (int row = 0; row < 3; ++row) {
    const Vector& axis = rows[row];
    m[static_cast<std::size_t>(0 * 4 + row)] = static_cast<float>(axis.x);
    m[static_cast<std::size_t>(1 * 4 + row)] = static_cast<float>(axis.y);
    m[static_cast<std::size_t>(2 * 4 + row)] = static_cast<float>(axis.z);
    m[static_cast<std::size_t>(3 * 4 + row)] = static_cast<float>(-Dot(axis, eye_));
  }
  m[15] = 1.0f;
  return m;
}

Mat4 Camera::ViewProjection() const {
  Mat4 p{};
  const Float depth = far_ - near_;
  if (parallel_) {
    p[0] = static_cast<float>(1.0 / (halfHeight_ * aspect_));
    p[5] = static_cast<float>(1.0 / halfHeight_);
    p[10] = static_cast<float>(-2.0 / depth);
    p[14] = static_cast<float>(-(far_ + near_) / depth);
    p[15] = 1.0f;
  } else {
    p[0] = static_cast<float>(1.0 / (tanHalfFov_ * aspect_));
    p[5] = static_cast<float>(1.0 / tanHalfFov_);
    p[10] = static_cast<float>(-(far_ + near_) / depth);
    p[11] = -1.0f;
    p[14] = static_cast<float>(-2.0 * far_ * near_ / depth);
  }
  return Multiply(p, View());
}

Vector Camera::Project(const Vector& p) const {
  const Mat4 m = ViewProjection();
  const auto row = [&](int r) {
    return m[static_cast<std::size_t>(r)] * p.x + m[static_cast<std::size_t>(4 + r)] * p.y +
           m[static_cast<std::size_t>(8 + r)] * p.z + m[static_cast<std::size_t>(12 + r)];
  };
  const Float w = row(3);
  const Float x = row(0) / w;
  const Float y = row(1) / w;
  return {(x + 1.0) * 0.5 * width_, (1.0 - y) * 0.5 * height_, Dot(p - eye_, forward_)};
}

void Camera::Ray(Float x, Float y, Vector& origin, Vector& direction) const {
  const Float nx = x / width_ * 2.0 - 1.0;
  const Float ny = 1.0 - y / height_ * 2.0;
  if (parallel_) {
    origin = eye_ + right_ * (nx * halfHeight_ * aspect_) + up_ * (ny * halfHeight_) + forward_ * near_;
    direction = forward_;
    return;
  }
  direction = (forward_ + right_ * (nx * tanHalfFov_ * aspect_) + up_ * (ny * tanHalfFov_)).GetNormalized();
  origin = eye_ + direction * (near_ / Dot(direction, forward_));
}

}  // namespace vantelle::app
