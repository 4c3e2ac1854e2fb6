// A BaseDraw that draws nothing and remembers every call in order, so that tests can
// compare what an object draws with what it should.
#pragma once

#include <iosfwd>
#include <vector>

#include "host/ui/base_draw.h"

struct DrawCall {
  enum class Kind : Int32 { MATRIX, PEN, POINTSIZE, HANDLE, SPHERE, LINE };

  Kind kind = Kind::PEN;
  const BaseObject* object = nullptr;  // MATRIX
  Matrix matrix;                       // MATRIX
  Vector a;                            // PEN colour; HANDLE, SPHERE and LINE position (start)
  Vector b;                            // SPHERE radii; LINE end
  Vector colour;                       // SPHERE
  Float size = 0.0;                    // POINTSIZE
  DRAWHANDLE handle = DRAWHANDLE::CUSTOM;
  Int32 flags = 0;

  static DrawCall SetMatrix(const BaseObject* op, const Matrix& mg);
  static DrawCall SetPen(const Vector& col, Int32 flags = 0);
  static DrawCall SetPointSize(Float size);
  static DrawCall DrawHandle(const Vector& p, DRAWHANDLE type, Int32 flags);
  static DrawCall DrawSphere(const Vector& off, const Vector& size, const Vector& col, Int32 flags);
  static DrawCall DrawLine(const Vector& p1, const Vector& p2, Int32 flags);

  bool operator==(const DrawCall&) const = default;
};

// Readable failure messages in tests.
std::ostream& operator<<(std::ostream& out, const DrawCall& call);

class DrawRecorder final : public BaseDraw {
public:
  void SetMatrix_Matrix(BaseObject* op, const Matrix& mg) override;
  void SetPen(const Vector& col, Int32 flags = 0) override;
  void SetPointSize(Float pointsize) override;
  void DrawHandle(const Vector& vp, DRAWHANDLE type, Int32 flags) override;
  void DrawSphere(const Vector& off, const Vector& size, const Vector& col, Int32 flags) override;
  void DrawLine(const Vector& p1, const Vector& p2, Int32 flags) override;

  const std::vector<DrawCall>& GetCalls() const { return calls_; }
  void Clear() { calls_.clear(); }

private:
  std::vector<DrawCall> calls_;
};
