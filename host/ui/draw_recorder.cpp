#include "host/ui/draw_recorder.h"

#include <ostream>

DrawCall DrawCall::SetMatrix(const BaseObject* op, const Matrix& mg) {
  DrawCall call;
  call.kind = Kind::MATRIX;
  call.object = op;
  call.matrix = mg;
  return call;
}

DrawCall DrawCall::SetPen(const Vector& col, Int32 flags) {
  DrawCall call;
  call.kind = Kind::PEN;
  call.a = col;
  call.flags = flags;
  return call;
}

DrawCall DrawCall::SetPointSize(Float size) {
  DrawCall call;
  call.kind = Kind::POINTSIZE;
  call.size = size;
  return call;
}

DrawCall DrawCall::DrawHandle(const Vector& p, DRAWHANDLE type, Int32 flags) {
  DrawCall call;
  call.kind = Kind::HANDLE;
  call.a = p;
  call.handle = type;
  call.flags = flags;
  return call;
}

DrawCall DrawCall::DrawSphere(const Vector& off, const Vector& size, const Vector& col, Int32 flags) {
  DrawCall call;
  call.kind = Kind::SPHERE;
  call.a = off;
  call.b = size;
  call.colour = col;
  call.flags = flags;
  return call;
}

DrawCall DrawCall::DrawLine(const Vector& p1, const Vector& p2, Int32 flags) {
  DrawCall call;
  call.kind = Kind::LINE;
  call.a = p1;
  call.b = p2;
  call.flags = flags;
  return call;
}

namespace {

std::ostream& operator<<(std::ostream& out, const Vector& v) {
  return out << '(' << v.x << ", " << v.y << ", " << v.z << ')';
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const DrawCall& call) {
  switch (call.kind) {
    case DrawCall::Kind::MATRIX: return out << "SetMatrix_Matrix(" << call.object << ", off " << call.matrix.off << ')';
    case DrawCall::Kind::PEN: return out << "SetPen(" << call.a << ", " << call.flags << ')';
    case DrawCall::Kind::POINTSIZE: return out << "SetPointSize(" << call.size << ')';
    case DrawCall::Kind::HANDLE:
      return out << "DrawHandle(" << call.a << ", " << static_cast<Int32>(call.handle) << ", " << call.flags << ')';
    case DrawCall::Kind::SPHERE:
      return out << "DrawSphere(" << call.a << ", " << call.b << ", " << call.colour << ", " << call.flags << ')';
    case DrawCall::Kind::LINE: return out << "DrawLine(" << call.a << ", " << call.b << ", " << call.flags << ')';
  }
  return out;
}

void DrawRecorder::SetMatrix_Matrix(BaseObject* op, const Matrix& mg) {
  calls_.push_back(DrawCall::SetMatrix(op, mg));
}

void DrawRecorder::SetPen(const Vector& col, Int32 flags) {
  calls_.push_back(DrawCall::SetPen(col, flags));
}

void DrawRecorder::SetPointSize(Float pointsize) {
  calls_.push_back(DrawCall::SetPointSize(pointsize));
}

void DrawRecorder::DrawHandle(const Vector& vp, DRAWHANDLE type, Int32 flags) {
  calls_.push_back(DrawCall::DrawHandle(vp, type, flags));
}

void DrawRecorder::DrawSphere(const Vector& off, const Vector& size, const Vector& col, Int32 flags) {
  calls_.push_back(DrawCall::DrawSphere(off, size, col, flags));
}

void DrawRecorder::DrawLine(const Vector& p1, const Vector& p2, Int32 flags) {
  calls_.push_back(DrawCall::DrawLine(p1, p2, flags));
}
