#pragma once

#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

namespace Mgc {

/// A quaternion w + x*i + y*j + z*k, stored as four doubles w, x, y, z. The
/// unit quaternion (cos(a/2), sin(a/2)*axis) is the rotation by a radians about
/// the unit axis, acting on column vectors as ToRotationMatrix does.
class Quaternion {
 public:
  /// An angle range on one coordinate axis for the constrained GetClosest
  /// members. The angles are radians applied directly to the (w, component)
  /// pair of a quaternion, so they are half the rotation angles; the range
  /// should span less than pi.
  struct Constraints {
    Constraints() = default;
    Constraints(double low, double high) { SetAngleRange(low, high); }
    /// Stores the range and fills the cached sines and cosines.
    void SetAngleRange(double low, double high);

    double LowAngle = 0.0;
    double HighAngle = 0.0;
    double CosLow = 1.0;
    double SinLow = 0.0;
    double CosHigh = 1.0;
    double SinHigh = 0.0;
    /// CosHigh - CosLow.
    double CosHighMinusLow = 0.0;
    /// SinHigh - SinLow.
    double SinHighMinusLow = 0.0;
    /// Cosine and sine of the middle of the range.
    double CosMid = 1.0;
    double SinMid = 0.0;
  };

  /// Leaves the components unset.
  Quaternion() {}
  constexpr Quaternion(double w, double x, double y, double z) : tuple{w, x, y, z} {}
  /// The rotation of a rotation matrix (see FromRotationMatrix).
  explicit Quaternion(const MgcMatrix3& rotation) { FromRotationMatrix(rotation); }
  /// The rotation by `angle` radians about the unit `axis`.
  Quaternion(const MgcVector3& axis, double angle) { FromAxisAngle(axis, angle); }
  /// The rotation whose matrix has the three axes as columns.
  explicit Quaternion(const MgcVector3 axes[3]) { FromRotationMatrix(axes); }
  Quaternion(const Quaternion&) = default;
  Quaternion& operator=(const Quaternion&) = default;

  /// Component i: 0 is w, 1 to 3 are x, y, z (no range check).
  double operator[](int i) const { return tuple[i]; }
  double& operator[](int i) { return tuple[i]; }
  operator const double*() const { return tuple; }
  operator double*() { return tuple; }
  double W() const { return tuple[0]; }
  double& W() { return tuple[0]; }
  double X() const { return tuple[1]; }
  double& X() { return tuple[1]; }
  double Y() const { return tuple[2]; }
  double& Y() { return tuple[2]; }
  double Z() const { return tuple[3]; }
  double& Z() { return tuple[3]; }

  // Byte-wise comparisons of the four components, usable as keys: -0.0 and
  // 0.0 differ, identical NaN patterns are equal. Not the numeric order.
  bool operator==(const Quaternion& q) const { return CompareArrays(q) == 0; }
  bool operator!=(const Quaternion& q) const { return CompareArrays(q) != 0; }
  bool operator<(const Quaternion& q) const { return CompareArrays(q) < 0; }
  bool operator<=(const Quaternion& q) const { return CompareArrays(q) <= 0; }
  bool operator>(const Quaternion& q) const { return CompareArrays(q) > 0; }
  bool operator>=(const Quaternion& q) const { return CompareArrays(q) >= 0; }

  Quaternion operator+(const Quaternion& q) const {
    return {tuple[0] + q.tuple[0], tuple[1] + q.tuple[1], tuple[2] + q.tuple[2], tuple[3] + q.tuple[3]};
  }
  Quaternion operator-(const Quaternion& q) const {
    return {tuple[0] - q.tuple[0], tuple[1] - q.tuple[1], tuple[2] - q.tuple[2], tuple[3] - q.tuple[3]};
  }
  Quaternion operator-() const { return {-tuple[0], -tuple[1], -tuple[2], -tuple[3]}; }
  Quaternion operator*(double s) const { return {tuple[0] * s, tuple[1] * s, tuple[2] * s, tuple[3] * s}; }
  /// Division by 0.0 (either sign) fills every component with Math::MAX_REAL.
  Quaternion operator/(double s) const;
  /// The Hamilton product this*q: the rotation q followed by this.
  Quaternion operator*(const Quaternion& q) const {
    const double w1 = tuple[0], x1 = tuple[1], y1 = tuple[2], z1 = tuple[3];
    const double w2 = q.tuple[0], x2 = q.tuple[1], y2 = q.tuple[2], z2 = q.tuple[3];
    return {w1 * w2 - x1 * x2 - y1 * y2 - z1 * z2, w1 * x2 + x1 * w2 + y1 * z2 - z1 * y2,
            w1 * y2 + y1 * w2 + z1 * x2 - x1 * z2, w1 * z2 + z1 * w2 + x1 * y2 - y1 * x2};
  }

  Quaternion& operator+=(const Quaternion& q);
  Quaternion& operator-=(const Quaternion& q);
  Quaternion& operator*=(double s);
  /// Division by 0.0 fills every component with Math::MAX_REAL.
  Quaternion& operator/=(double s);

  /// Four-component dot product.
  double Dot(const Quaternion& q) const {
    return tuple[0] * q.tuple[0] + tuple[1] * q.tuple[1] + tuple[2] * q.tuple[2] + tuple[3] * q.tuple[3];
  }
  double SquaredLength() const { return Dot(*this); }
  double Length() const;
  /// Scales to unit length and returns the old length; a zero quaternion
  /// becomes ZERO and 0.0 is returned.
  double Normalize();
  /// The multiplicative inverse conjugate/|q|^2; ZERO for ZERO.
  Quaternion Inverse() const;
  /// (w, -x, -y, -z): the inverse rotation of a unit quaternion.
  Quaternion Conjugate() const { return {tuple[0], -tuple[1], -tuple[2], -tuple[3]}; }
  /// ToRotationMatrix() * v.
  MgcVector3 Rotate(const MgcVector3& v) const;

  /// The quaternion of a rotation matrix (either of the two signs).
  Quaternion& FromRotationMatrix(const MgcMatrix3& rotation);
  /// The quaternion of the rotation matrix with the axes as columns.
  Quaternion& FromRotationMatrix(const MgcVector3 axes[3]);
  /// The rotation matrix. No normalisation is done: a non-unit quaternion
  /// gives a scaled, non-orthogonal matrix.
  void ToRotationMatrix(MgcMatrix3& rotation) const;
  /// The columns of the rotation matrix.
  void ToRotationMatrix(MgcVector3 axes[3]) const;
  /// The rotation by `angle` radians about `axis`, which must be unit length.
  Quaternion& FromAxisAngle(const MgcVector3& axis, double angle);
  /// The unit axis and the angle in [0, 2*pi] of a unit quaternion; a pure
  /// scalar gives angle 0 and axis UNIT_X.
  void ToAxisAngle(MgcVector3& axis, double& angle) const;

  /// The exponential of (0, theta*u) with u unit: (cos theta, sin theta*u).
  Quaternion Exp() const;
  /// The logarithm of a unit quaternion: (0, theta*u).
  Quaternion Log() const;

  /// Spherical interpolation from p (t = 0) to q (t = 1) along the great arc
  /// through them. There is no sign flip: when p.q < 0 the path is the longer
  /// one. When q = -p (to within rounding) the path is not defined and the
  /// result is p, the same rotation as q.
  Quaternion& Slerp(double t, const Quaternion& p, const Quaternion& q);
  /// Slerp with `spins` extra full turns of the rotation along the way.
  Quaternion& SlerpExtraSpins(double t, const Quaternion& p, const Quaternion& q, int spins);
  /// The inner control point at q1 of a Squad spline through q0, q1, q2.
  Quaternion& Intermediate(const Quaternion& q0, const Quaternion& q1, const Quaternion& q2);
  /// Spherical quadrangle interpolation from p to q with control points a, b.
  Quaternion& Squad(double t, const Quaternion& p, const Quaternion& a, const Quaternion& b, const Quaternion& q);
  /// The shortest rotation taking the direction of `from` to that of `to`;
  /// IDENTITY when either is too short to have a direction.
  Quaternion& Align(const MgcVector3& from, const MgcVector3& to);

  /// this = twist*swing, where swing takes `direction` to its rotated image
  /// and twist turns about that image.
  void DecomposeTwistTimesSwing(const MgcVector3& direction, Quaternion& twist, Quaternion& swing) const;
  /// this = swing*twist, where twist turns about `direction` and swing takes
  /// it to its rotated image.
  void DecomposeSwingTimesTwist(const MgcVector3& direction, Quaternion& swing, Quaternion& twist) const;

  // The closest unit quaternion of the form (c + s*axis) about one coordinate
  // axis, or the closest product of two such, optionally with each angle
  // restricted to a range. "Closest" maximises |dot| with this unit
  // quaternion; the result has a non-negative dot.
  Quaternion GetClosestX() const { return GetClosest(1); }
  Quaternion GetClosestY() const { return GetClosest(2); }
  Quaternion GetClosestZ() const { return GetClosest(3); }
  Quaternion GetClosestX(const Constraints& xCon) const { return GetClosest(1, xCon); }
  Quaternion GetClosestY(const Constraints& yCon) const { return GetClosest(2, yCon); }
  Quaternion GetClosestZ(const Constraints& zCon) const { return GetClosest(3, zCon); }
  /// The closest (cx + sx*i)*(cy + sy*j); the other orders alike.
  Quaternion GetClosestXY() const;
  Quaternion GetClosestYX() const;
  Quaternion GetClosestZX() const;
  Quaternion GetClosestXZ() const;
  Quaternion GetClosestYZ() const;
  Quaternion GetClosestZY() const;
  Quaternion GetClosestXY(const Constraints& xCon, const Constraints& yCon) const;
  Quaternion GetClosestYX(const Constraints& yCon, const Constraints& xCon) const;
  Quaternion GetClosestZX(const Constraints& zCon, const Constraints& xCon) const;
  Quaternion GetClosestXZ(const Constraints& xCon, const Constraints& zCon) const;
  Quaternion GetClosestZY(const Constraints& zCon, const Constraints& yCon) const;
  Quaternion GetClosestYZ(const Constraints& yCon, const Constraints& zCon) const;

  // Factor a unit quaternion into a product of three rotations about the
  // coordinate axes in the order of the name: this = (cx + sx*i)*(cy + sy*j)*
  // (cz + sz*k) for XYZ. Each (c, s) pair is the cosine and sine of a half
  // angle.
  void FactorXYZ(double& cx, double& sx, double& cy, double& sy, double& cz, double& sz) const;
  void FactorXZY(double& cx, double& sx, double& cz, double& sz, double& cy, double& sy) const;
  void FactorYZX(double& cy, double& sy, double& cz, double& sz, double& cx, double& sx) const;
  void FactorYXZ(double& cy, double& sy, double& cx, double& sx, double& cz, double& sz) const;
  void FactorZXY(double& cz, double& sz, double& cx, double& sx, double& cy, double& sy) const;
  void FactorZYX(double& cz, double& sz, double& cy, double& sy, double& cx, double& sx) const;

  static const Quaternion ZERO;
  static const Quaternion IDENTITY;

 private:
  /// Sign of the first differing byte of the two component arrays.
  int CompareArrays(const Quaternion& q) const;
  /// Closest rotation about coordinate axis 1, 2 or 3 (x, y, z).
  Quaternion GetClosest(int axis) const;
  Quaternion GetClosest(int axis, const Constraints& con) const;

  /// Bound below which the closest-rotation and factoring members treat a
  /// quaternion as degenerate (no rotation about the axis, or gimbal lock).
  static const double CLOSEST_TOLERANCE;
  static const double ROOT_HALF;
  static const double ROOT_TWO;

  double tuple[4];
};

}  // namespace Mgc
