// Basic value types shared by every area of the host.
#pragma once

#include <cmath>
#include <cstdint>

using Int32 = std::int32_t;
using UInt32 = std::uint32_t;
using Int64 = std::int64_t;
using UInt64 = std::uint64_t;
using Float = double;
using Float32 = float;
using Float64 = double;
using Bool = bool;
using Char = char;
using UChar = unsigned char;

inline constexpr Int32 LIMIT_MIN_INT32 = INT32_MIN;
inline constexpr Int32 LIMIT_MAX_INT32 = INT32_MAX;
inline constexpr Float MAXVALUE_FLOAT = 1.7976931348623157e308;
inline constexpr Float PI = 3.14159265358979323846;
inline constexpr Int32 NOTOK = -1;

// A point, direction or colour: three float64 components.
struct Vector {
  Float x = 0.0;
  Float y = 0.0;
  Float z = 0.0;

  constexpr Vector() = default;
  constexpr Vector(Float ix, Float iy, Float iz) : x(ix), y(iy), z(iz) {}
  constexpr explicit Vector(Float v) : x(v), y(v), z(v) {}

  constexpr Vector operator+(const Vector& o) const { return {x + o.x, y + o.y, z + o.z}; }
  constexpr Vector operator-(const Vector& o) const { return {x - o.x, y - o.y, z - o.z}; }
  constexpr Vector operator-() const { return {-x, -y, -z}; }
  constexpr Vector operator*(Float s) const { return {x * s, y * s, z * s}; }
  constexpr Vector operator/(Float s) const { return {x / s, y / s, z / s}; }
  constexpr Vector& operator+=(const Vector& o) { x += o.x; y += o.y; z += o.z; return *this; }
  constexpr Vector& operator-=(const Vector& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
  constexpr Vector& operator*=(Float s) { x *= s; y *= s; z *= s; return *this; }
  constexpr bool operator==(const Vector& o) const = default;

  Float GetLength() const { return std::sqrt(x * x + y * y + z * z); }
  Vector GetNormalized() const {
    const Float len = GetLength();
    return len > 0.0 ? *this / len : Vector();
  }
};

constexpr Vector operator*(Float s, const Vector& v) { return v * s; }
constexpr Float Dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
constexpr Vector Cross(const Vector& a, const Vector& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Single-precision vector, used where the host stores compact per-point data.
struct Vector32 {
  Float32 x = 0.0f;
  Float32 y = 0.0f;
  Float32 z = 0.0f;
  constexpr bool operator==(const Vector32& o) const = default;
};

// A point in time as a fraction of two float64 values, seconds = numerator / denominator.
struct BaseTime {
  Float numerator = 0.0;
  Float denominator = 1.0;

  constexpr BaseTime() = default;
  constexpr BaseTime(Float num, Float den) : numerator(num), denominator(den) {}
  // A time in seconds, kept as a fraction over a fixed denominator.
  explicit BaseTime(Float seconds) : numerator(std::round(seconds * 46080000.0)), denominator(46080000.0) {}

  // Seconds; 0 when the denominator is 0.
  constexpr Float Get() const { return denominator != 0.0 ? numerator / denominator : 0.0; }
  // The frame at `fps`: floor(fps * numerator) / floor(denominator), truncated toward zero
  // and clamped into Int32. 0 when the denominator floors to 0 or the quotient is NaN.
  Int32 GetFrame(Int32 fps) const;
  constexpr bool operator==(const BaseTime& o) const { return Get() == o.Get(); }
};

// An affine transform: off is the translation, v1..v3 the X, Y and Z axes.
struct Matrix {
  Vector off;
  Vector v1{1.0, 0.0, 0.0};
  Vector v2{0.0, 1.0, 0.0};
  Vector v3{0.0, 0.0, 1.0};

  constexpr Vector operator*(const Vector& p) const { return off + v1 * p.x + v2 * p.y + v3 * p.z; }
  constexpr Matrix operator*(const Matrix& m) const {
    Matrix r;
    r.off = *this * m.off;
    r.v1 = TransformVector(m.v1);
    r.v2 = TransformVector(m.v2);
    r.v3 = TransformVector(m.v3);
    return r;
  }
  constexpr Vector TransformVector(const Vector& d) const { return v1 * d.x + v2 * d.y + v3 * d.z; }
  constexpr bool operator==(const Matrix& o) const = default;
};
