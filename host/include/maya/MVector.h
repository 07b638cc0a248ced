#pragma once

#include <maya/MStatus.h>

class MFloatVector;
class MMatrix;
class MPoint;
class MQuaternion;

/// A direction or displacement of three doubles. Multiplying by a matrix
/// (v * M, row-vector convention) applies the matrix's rotation, scale and
/// shear but not its translation.
class MVector {
 public:
  enum Axis { kXaxis, kYaxis, kZaxis, kWaxis };

  MVector() = default;
  MVector(double x, double y, double z = 0.0) : x(x), y(y), z(z) {}
  explicit MVector(const double values[3]) : x(values[0]), y(values[1]), z(values[2]) {}
  MVector(const MPoint& point);
  MVector(const MFloatVector& vector);

  double operator[](unsigned int index) const { return index == 0 ? x : index == 1 ? y : z; }
  double& operator[](unsigned int index) { return index == 0 ? x : index == 1 ? y : z; }
  double operator()(unsigned int index) const { return (*this)[index]; }

  MVector operator+(const MVector& other) const { return MVector(x + other.x, y + other.y, z + other.z); }
  MVector operator-(const MVector& other) const { return MVector(x - other.x, y - other.y, z - other.z); }
  MVector operator-() const { return MVector(-x, -y, -z); }
  MVector operator*(double scale) const { return MVector(x * scale, y * scale, z * scale); }
  MVector operator/(double scale) const { return MVector(x / scale, y / scale, z / scale); }
  /// Dot product.
  double operator*(const MVector& other) const { return x * other.x + y * other.y + z * other.z; }
  /// Cross product.
  MVector operator^(const MVector& other) const {
    return MVector(y * other.z - z * other.y, z * other.x - x * other.z, x * other.y - y * other.x);
  }
  /// The direction transformed by a matrix's upper 3x3 part.
  MVector operator*(const MMatrix& matrix) const;
  MVector& operator*=(const MMatrix& matrix) { return *this = *this * matrix; }
  MVector& operator+=(const MVector& other) { return *this = *this + other; }
  MVector& operator-=(const MVector& other) { return *this = *this - other; }
  MVector& operator*=(double scale) { return *this = *this * scale; }
  MVector& operator/=(double scale) { return *this = *this / scale; }
  bool operator==(const MVector& other) const { return x == other.x && y == other.y && z == other.z; }
  bool operator!=(const MVector& other) const { return !(*this == other); }

  double length() const;
  /// The unit vector in this direction; a zero vector stays zero.
  MVector normal() const;
  MStatus normalize();
  /// The angle to another vector in radians, 0 when either is zero.
  double angle(const MVector& other) const;
  bool isEquivalent(const MVector& other, double tolerance = kTolerance) const;
  bool isParallel(const MVector& other, double tolerance = kTolerance) const;
  /// The vector rotated by a quaternion.
  MVector rotateBy(const MQuaternion& rotation) const;
  /// The rotation that takes this vector's direction to another's.
  MQuaternion rotateTo(const MVector& target) const;
  MStatus get(double values[3]) const;

  static const MVector zero;
  static const MVector one;
  static const MVector xAxis;
  static const MVector yAxis;
  static const MVector zAxis;
  static const MVector xNegAxis;
  static const MVector yNegAxis;
  static const MVector zNegAxis;
  static constexpr double kTolerance = 1.0e-10;

  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

inline MVector operator*(double scale, const MVector& vector) { return vector * scale; }
