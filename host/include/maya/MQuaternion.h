#pragma once

#include <maya/MMatrix.h>
#include <maya/MVector.h>

class MEulerRotation;

/// A rotation as a quaternion (x, y, z, w). Products follow the matrices:
/// (a * b).asMatrix() equals a.asMatrix() * b.asMatrix(), that is a rotation
/// by a followed by one by b.
class MQuaternion {
 public:
  MQuaternion() = default;
  MQuaternion(double x, double y, double z, double w) : x(x), y(y), z(z), w(w) {}
  /// A rotation by angle (radians) about axis (normalised here).
  MQuaternion(double angle, const MVector& axis);
  /// The shortest rotation taking direction from to direction to.
  MQuaternion(const MVector& from, const MVector& to);
  /// That rotation scaled by factor (0 none, 1 the whole rotation).
  MQuaternion(const MVector& from, const MVector& to, double factor);

  double operator[](unsigned int index) const { return index == 0 ? x : index == 1 ? y : index == 2 ? z : w; }
  double& operator[](unsigned int index) { return index == 0 ? x : index == 1 ? y : index == 2 ? z : w; }

  /// The rotation matrix (the quaternion normalised first).
  MMatrix asMatrix() const;
  MEulerRotation asEulerRotation() const;
  /// The rotation part of a matrix: its upper 3x3 part orthonormalised.
  MQuaternion& operator=(const MMatrix& matrix);
  MQuaternion& operator=(const MEulerRotation& rotation);

  MQuaternion operator*(const MQuaternion& right) const;
  MQuaternion& operator*=(const MQuaternion& right) { return *this = *this * right; }
  MQuaternion operator+(const MQuaternion& other) const {
    return MQuaternion(x + other.x, y + other.y, z + other.z, w + other.w);
  }
  MQuaternion operator-(const MQuaternion& other) const {
    return MQuaternion(x - other.x, y - other.y, z - other.z, w - other.w);
  }
  MQuaternion operator-() const { return MQuaternion(-x, -y, -z, -w); }
  MQuaternion operator*(double scale) const { return MQuaternion(x * scale, y * scale, z * scale, w * scale); }
  bool operator==(const MQuaternion& other) const {
    return x == other.x && y == other.y && z == other.z && w == other.w;
  }
  bool operator!=(const MQuaternion& other) const { return !(*this == other); }
  /// True when the components agree within tolerance (q and -q differ here).
  bool isEquivalent(const MQuaternion& other, double tolerance = MVector::kTolerance) const;

  /// The axis (unit) and angle (radians, 0 to 2 pi) of the rotation; false for
  /// the identity, whose axis is then (0, 0, 1).
  bool getAxisAngle(MVector& axis, double& angle) const;
  MQuaternion& setAxisAngle(const MVector& axis, double angle);
  MQuaternion normal() const;
  MQuaternion& normalizeIt();
  MQuaternion conjugate() const { return MQuaternion(-x, -y, -z, w); }
  /// The reverse rotation (conjugate over squared length; zero stays zero).
  MQuaternion inverse() const;
  MQuaternion& invertIt() { return *this = inverse(); }
  double length() const;

  static const MQuaternion identity;

  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
  double w = 1.0;
};

/// Spherical interpolation from p (t = 0) to q (t = 1) along the shorter arc.
MQuaternion slerp(const MQuaternion& p, const MQuaternion& q, double t);
