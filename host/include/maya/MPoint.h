#pragma once

#include <maya/MStatus.h>
#include <maya/MVector.h>

class MFloatPoint;
class MMatrix;

/// A point in homogeneous coordinates of doubles (w is 1 for an ordinary
/// point). Multiplying by a matrix (p * M, row-vector convention) applies the
/// whole matrix, translation included.
class MPoint {
 public:
  MPoint() = default;
  MPoint(double x, double y, double z = 0.0, double w = 1.0) : x(x), y(y), z(z), w(w) {}
  explicit MPoint(const double values[4]) : x(values[0]), y(values[1]), z(values[2]), w(values[3]) {}
  MPoint(const MVector& vector) : x(vector.x), y(vector.y), z(vector.z) {}
  MPoint(const MFloatPoint& point);

  double operator[](unsigned int index) const { return index == 0 ? x : index == 1 ? y : index == 2 ? z : w; }
  double& operator[](unsigned int index) { return index == 0 ? x : index == 1 ? y : index == 2 ? z : w; }

  /// The displacement between two points (both taken in Cartesian form).
  MVector operator-(const MPoint& other) const;
  MPoint operator+(const MVector& offset) const;
  MPoint operator-(const MVector& offset) const;
  MPoint& operator+=(const MVector& offset) { return *this = *this + offset; }
  MPoint& operator-=(const MVector& offset) { return *this = *this - offset; }
  /// Scales x, y and z; w is kept.
  MPoint operator*(double scale) const { return MPoint(x * scale, y * scale, z * scale, w); }
  MPoint operator/(double scale) const { return MPoint(x / scale, y / scale, z / scale, w); }
  MPoint operator*(const MMatrix& matrix) const;
  MPoint& operator*=(const MMatrix& matrix) { return *this = *this * matrix; }
  bool operator==(const MPoint& other) const { return x == other.x && y == other.y && z == other.z && w == other.w; }
  bool operator!=(const MPoint& other) const { return !(*this == other); }

  /// Divides x, y and z by w and sets w to 1 (nothing when w is 0).
  MPoint& cartesianize();
  double distanceTo(const MPoint& other) const;
  bool isEquivalent(const MPoint& other, double tolerance = MVector::kTolerance) const;
  MStatus get(double values[4]) const;

  static const MPoint origin;

  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
  double w = 1.0;
};
