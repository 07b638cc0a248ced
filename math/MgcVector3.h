#pragma once

#include <cmath>

namespace Mgc {

/// A 3-vector of doubles: x, y, z and nothing else, so that arrays of vectors
/// can be handed around as arrays of doubles.
class MgcVector3 {
 public:
  double x, y, z;

  /// The zero vector.
  MgcVector3() : x(0.0), y(0.0), z(0.0) {}
  MgcVector3(double fx, double fy, double fz) : x(fx), y(fy), z(fz) {}
  /// Copies three doubles from `values`.
  explicit MgcVector3(double* const values) : x(values[0]), y(values[1]), z(values[2]) {}
  MgcVector3(const MgcVector3&) = default;
  MgcVector3& operator=(const MgcVector3&) = default;

  /// Component i: 0, 1, 2 for x, y, z (no range check).
  double& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
  const double& operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
  operator double*() { return &x; }
  operator const double*() const { return &x; }

  double GetX() const { return x; }
  double GetY() const { return y; }
  double GetZ() const { return z; }
  void SetX(double value) { x = value; }
  void SetY(double value) { y = value; }
  void SetZ(double value) { z = value; }
  void Set(double fx, double fy, double fz) {
    x = fx;
    y = fy;
    z = fz;
  }

  /// Exact comparison while FUZZ is 0 (a NaN component makes vectors unequal);
  /// otherwise every component within FUZZ.
  bool operator==(const MgcVector3& v) const;
  bool operator!=(const MgcVector3& v) const { return !(*this == v); }

  /// An ordering for use as keys: compares the low 32 bits of the components'
  /// bit patterns, z first, then y, then x. It is not the numeric order.
  bool operator<(const MgcVector3& v) const;
  bool operator<=(const MgcVector3& v) const;
  bool operator>(const MgcVector3& v) const;
  bool operator>=(const MgcVector3& v) const;

  MgcVector3 operator+(const MgcVector3& v) const { return {x + v.x, y + v.y, z + v.z}; }
  MgcVector3 operator-(const MgcVector3& v) const { return {x - v.x, y - v.y, z - v.z}; }
  MgcVector3 operator*(double s) const { return {x * s, y * s, z * s}; }
  /// Division by 0.0 (either sign) fills every component with Math::MAX_REAL.
  MgcVector3 operator/(double s) const;
  /// Flips every sign bit: 0.0 becomes -0.0.
  MgcVector3 operator-() const { return {-x, -y, -z}; }

  MgcVector3& operator+=(const MgcVector3& v) {
    x += v.x;
    y += v.y;
    z += v.z;
    return *this;
  }
  MgcVector3& operator-=(const MgcVector3& v) {
    x -= v.x;
    y -= v.y;
    z -= v.z;
    return *this;
  }
  MgcVector3& operator*=(double s) {
    x *= s;
    y *= s;
    z *= s;
    return *this;
  }
  MgcVector3& operator/=(double s);

  double SquaredLength() const { return x * x + y * y + z * z; }
  double Length() const { return std::sqrt(x * x + y * y + z * z); }
  double Dot(const MgcVector3& v) const { return x * v.x + y * v.y + z * v.z; }
  /// Scales to unit length and returns the old length; returns 0.0 and leaves
  /// the vector exactly as it was when its length is not above `tolerance`.
  double Unitize(double tolerance) {
    const double length = Length();
    if (!(length > tolerance)) return 0.0;  // also catches a NaN length
    const double inverse = 1.0 / length;
    x *= inverse;
    y *= inverse;
    z *= inverse;
    return length;
  }
  /// this x v.
  MgcVector3 Cross(const MgcVector3& v) const { return {y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x}; }
  /// this x v, unitised with the library tolerance (left as is when too short).
  MgcVector3 UnitCross(const MgcVector3& v) const;

  /// Gram-Schmidt over three vectors, each unitised with the library tolerance.
  static void Orthonormalize(MgcVector3 v[]);
  /// Completes W to a right-handed orthonormal basis (U, V, W); W is unitised
  /// first unless `unitW` says it already is.
  static void GenerateOrthonormalBasis(MgcVector3& U, MgcVector3& V, MgcVector3& W, bool unitW);

  static const MgcVector3 ZERO;
  static const MgcVector3 UNIT_X;
  static const MgcVector3 UNIT_Y;
  static const MgcVector3 UNIT_Z;
  /// Comparison slack of == and of the ordering; 0.0 unless a caller sets it.
  static double FUZZ;
};

inline MgcVector3 operator*(double s, const MgcVector3& v) { return v * s; }

}  // namespace Mgc
