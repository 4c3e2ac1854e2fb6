#include "app/gltf_space.h"

#include <tiny_gltf.h>

#include <array>
#include <cmath>

namespace vantelle::app {

namespace {

// Unit quaternion (x, y, z, w) of the rotation whose matrix has these columns.
std::array<double, 4> QuaternionFromAxes(const Vector& x, const Vector& y, const Vector& z) {
  const double m00 = x.x, m10 = x.y, m20 = x.z;
  const double m01 = y.x, m11 = y.y, m21 = y.z;
  const double m02 = z.x, m12 = z.y, m22 = z.z;
  std::array<double, 4> q{};
  const double trace = m00 + m11 + m22;
  // Dividing by the largest of the four candidates keeps the result accurate.
  if (trace > 0.0) {
    const double s = 2.0 * std::sqrt(trace + 1.0);
    q = {(m21 - m12) / s, (m02 - m20) / s, (m10 - m01) / s, 0.25 * s};
  } else if (m00 > m11 && m00 > m22) {
    const double s = 2.0 * std::sqrt(1.0 + m00 - m11 - m22);
    q = {0.25 * s, (m01 + m10) / s, (m02 + m20) / s, (m21 - m12) / s};
  } else if (m11 > m22) {
    const double s = 2.0 * std::sqrt(1.0 + m11 - m00 - m22);
    q = {(m01 + m10) / s, 0.25 * s, (m12 + m21) / s, (m02 - m20) / s};
  } else {
    const double s = 2.0 * std::sqrt(1.0 + m22 - m00 - m11);
    q = {(m02 + m20) / s, (m12 + m21) / s, 0.25 * s, (m10 - m01) / s};
  }
  const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  if (!(length > 0.0) || !std::isfinite(length)) {
    return {0.0, 0.0, 0.0, 1.0};
  }
  // One sign for one rotation, so equal rotations write equal numbers.
  const double sign = q[3] < 0.0 ? -1.0 : 1.0;
  for (double& c : q) {
    c *= sign / length;
  }
  return q;
}

}  // namespace

void ToGltf::LocalTransform(const BaseObject& op, tinygltf::Node& node) {
  const Matrix ml = op.GetMl();
  const Vector scale = op.GetRelScale();

  if (ml.off != Vector()) {
    const Vector t = Point(ml.off);
    node.translation = {t.x, t.y, t.z};
  }

  // The rotation is the object's own, whatever its scale: a matrix with axes scaled to
  // nothing no longer holds it.
  const Matrix rotation = HPBToMatrix(op.GetRelRot());
  // Mirroring both sides of R (S·R·S with S = diag(1, 1, -1)) flips the third column.
  const std::array<double, 4> q =
      QuaternionFromAxes(Direction(rotation.v1), Direction(rotation.v2), -Direction(rotation.v3));
  if (std::abs(q[3] - 1.0) > 1e-12) {
    node.rotation = {q[0], q[1], q[2], q[3]};
  }

  // A scale along the mirrored axis stays a scale along it.
  if (scale != Vector(1.0, 1.0, 1.0)) {
    node.scale = {scale.x, scale.y, scale.z};
  }
}

}  // namespace vantelle::app
