#include "app/render/view_marks.h"

namespace vantelle::app {

void MarkCollector::SetMatrix_Matrix(BaseObject* /*op*/, const Matrix& mg) {
  matrix_ = mg;
}

void MarkCollector::SetPen(const Vector& col, Int32 /*flags*/) {
  pen_ = col;
}

void MarkCollector::SetPointSize(Float pointsize) {
  pointSize_ = pointsize;
}

void MarkCollector::DrawHandle(const Vector& vp, DRAWHANDLE type, Int32 flags) {
  PointMark mark;
  mark.position = matrix_ * vp;
  mark.colour = pen_;
  mark.unclipped = (flags & NOCLIP_D) != 0;
  switch (type) {
    case DRAWHANDLE::CUSTOM: mark.pixels = pointSize_; break;
    case DRAWHANDLE::MIDDLE:
      mark.pixels = kMiddleHandlePixels;
      mark.round = false;
      break;
    case DRAWHANDLE::BIG:
      mark.pixels = kBigHandlePixels;
      mark.round = false;
      break;
  }
  marks_->points.push_back(mark);
}

void MarkCollector::DrawSphere(const Vector& off, const Vector& size, const Vector& col, Int32 /*flags*/) {
  // The matrix's scale reaches the radii; a sphere stays a sphere under rotation.
  const Vector radii(size.x * matrix_.v1.GetLength(), size.y * matrix_.v2.GetLength(), size.z * matrix_.v3.GetLength());
  marks_->spheres.push_back({matrix_ * off, radii, col});
}

void MarkCollector::DrawLine(const Vector& p1, const Vector& p2, Int32 /*flags*/) {
  marks_->lines.push_back({matrix_ * p1, matrix_ * p2, pen_});
}

}  // namespace vantelle::app
