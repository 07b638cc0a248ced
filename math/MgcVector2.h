#pragma once

namespace Mgc {

/// A 2-vector of doubles: x, y.
class MgcVector2 {
 public:
  double x, y;

  /// Leaves the components unset.
  MgcVector2() {}
  MgcVector2(double fx, double fy) : x(fx), y(fy) {}
  explicit MgcVector2(double* const values) : x(values[0]), y(values[1]) {}
  MgcVector2(const MgcVector2&) = default;
  MgcVector2& operator=(const MgcVector2&) = default;

  double& operator[](int i) { return i == 0 ? x : y; }
  const double& operator[](int i) const { return i == 0 ? x : y; }
  operator double*() { return &x; }
  operator const double*() const { return &x; }

  bool operator==(const MgcVector2& v) const;
  bool operator!=(const MgcVector2& v) const { return !(*this == v); }
  /// Key ordering on the low 32 bits of the bit patterns, y first, then x.
  bool operator<(const MgcVector2& v) const;
  bool operator<=(const MgcVector2& v) const;
  bool operator>(const MgcVector2& v) const;
  bool operator>=(const MgcVector2& v) const;

  MgcVector2 operator+(const MgcVector2& v) const { return {x + v.x, y + v.y}; }
  MgcVector2 operator-(const MgcVector2& v) const { return {x - v.x, y - v.y}; }
  MgcVector2 operator*(double s) const { return {x * s, y * s}; }
  /// Division by 0.0 fills both components with Math::MAX_REAL.
  MgcVector2 operator/(double s) const;
  MgcVector2 operator-() const { return {-x, -y}; }

  MgcVector2& operator+=(const MgcVector2& v) {
    x += v.x;
    y += v.y;
    return *this;
  }
  MgcVector2& operator-=(const MgcVector2& v) {
    x -= v.x;
    y -= v.y;
    return *this;
  }
  MgcVector2& operator*=(double s) {
    x *= s;
    y *= s;
    return *this;
  }
  MgcVector2& operator/=(double s);

  double SquaredLength() const { return x * x + y * y; }
  double Length() const;
  double Dot(const MgcVector2& v) const { return x * v.x + y * v.y; }
  /// As MgcVector3::Unitize.
  double Unitize(double tolerance);
  /// The perpendicular (y, -x).
  MgcVector2 Cross() const { return {y, -x}; }
  /// (y, -x) unitised with the library tolerance.
  MgcVector2 UnitCross() const;

  /// Gram-Schmidt over two vectors.
  static void Orthonormalize(MgcVector2 v[]);

  static const MgcVector2 ZERO;
  static const MgcVector2 UNIT_X;
  static const MgcVector2 UNIT_Y;
  static double FUZZ;
};

inline MgcVector2 operator*(double s, const MgcVector2& v) { return v * s; }

}  // namespace Mgc
