#pragma once

#include <maya/MMatrix.h>
#include <maya/MVector.h>

class MQuaternion;

/// A rotation as three angles (radians) about the x, y and z axes, applied in
/// the order given: kXYZ rotates about x first, then y, then z (its matrix is
/// Rx * Ry * Rz).
class MEulerRotation {
 public:
  enum RotationOrder { kXYZ, kYZX, kZXY, kXZY, kYXZ, kZYX };

  MEulerRotation() = default;
  MEulerRotation(double x, double y, double z, RotationOrder order = kXYZ) : x(x), y(y), z(z), order(order) {}
  explicit MEulerRotation(const MVector& angles, RotationOrder order = kXYZ)
      : x(angles.x), y(angles.y), z(angles.z), order(order) {}

  double operator[](unsigned int index) const { return index == 0 ? x : index == 1 ? y : z; }
  double& operator[](unsigned int index) { return index == 0 ? x : index == 1 ? y : z; }

  MMatrix asMatrix() const;
  MQuaternion asQuaternion() const;
  MVector asVector() const { return MVector(x, y, z); }
  MEulerRotation& setValue(double x, double y, double z, RotationOrder order = kXYZ);

  /// The same orientation expressed in another order.
  MEulerRotation reorder(RotationOrder order) const;
  MEulerRotation& reorderIt(RotationOrder order) { return *this = reorder(order); }

  MEulerRotation operator+(const MEulerRotation& other) const;
  MEulerRotation operator-(const MEulerRotation& other) const;
  MEulerRotation operator-() const { return MEulerRotation(-x, -y, -z, order); }
  MEulerRotation operator*(double scale) const { return MEulerRotation(x * scale, y * scale, z * scale, order); }
  bool operator==(const MEulerRotation& other) const;
  bool operator!=(const MEulerRotation& other) const { return !(*this == other); }
  /// Whether both turn things the same way, whatever their angles and
  /// orders: no entry of their matrices differs by more than tolerance (so
  /// a whole turn about an axis is no turn at all).
  bool isEquivalent(const MEulerRotation& other, double tolerance = MVector::kTolerance) const;

  /// The angles in the given order of the rotation in a matrix's upper 3x3
  /// part (orthonormalised first); the middle angle lies in [-pi/2, pi/2].
  static MEulerRotation decompose(const MMatrix& matrix, RotationOrder order);

  static const MEulerRotation identity;

  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
  RotationOrder order = kXYZ;
};
