// What objects draw through BaseDraw in one pass, gathered in the host's global space so
// that the renderer can draw each kind in one go.
#pragma once

#include <vector>

#include "host/ui/base_draw.h"

namespace vantelle::app {

struct PointMark {
  Vector position;
  Vector colour;
  Float pixels = 1.0;      // diameter, or side of a square
  bool round = true;       // a round dot, or a square handle
  bool unclipped = false;  // drawn even beyond the near and far planes
};

struct LineMark {
  Vector from;
  Vector to;
  Vector colour;
};

struct SphereMark {
  Vector centre;
  Vector radii;
  Vector colour;
};

struct ViewMarks {
  std::vector<PointMark> points;
  std::vector<LineMark> lines;
  std::vector<SphereMark> spheres;
  bool IsEmpty() const { return points.empty() && lines.empty() && spheres.empty(); }
};

// Pixel sizes of the host's handle points.
inline constexpr Float kMiddleHandlePixels = 7.0;
inline constexpr Float kBigHandlePixels = 9.0;

class MarkCollector final : public BaseDraw {
public:
  explicit MarkCollector(ViewMarks& marks) : marks_(&marks) {}
  // Where the marks of the next pass go; the pen, point size and matrix carry over, as
  // they would on a screen.
  void SetTarget(ViewMarks& marks) { marks_ = &marks; }

  void SetMatrix_Matrix(BaseObject* op, const Matrix& mg) override;
  void SetPen(const Vector& col, Int32 flags = 0) override;
  void SetPointSize(Float pointsize) override;
  void DrawHandle(const Vector& vp, DRAWHANDLE type, Int32 flags) override;
  void DrawSphere(const Vector& off, const Vector& size, const Vector& col, Int32 flags) override;
  void DrawLine(const Vector& p1, const Vector& p2, Int32 flags) override;

private:
  ViewMarks* marks_;
  Matrix matrix_;
  Vector pen_{1.0, 1.0, 1.0};
  Float pointSize_ = 1.0;
};

}  // namespace vantelle::app
