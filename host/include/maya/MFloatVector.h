#pragma once

#include <maya/MStatus.h>

class MVector;

/// A direction of three floats: the single-precision form in which the host
/// keeps mesh normals.
class MFloatVector {
 public:
  MFloatVector() = default;
  MFloatVector(float x, float y, float z = 0.0f) : x(x), y(y), z(z) {}
  explicit MFloatVector(const float values[3]) : x(values[0]), y(values[1]), z(values[2]) {}
  /// Narrows each component to single precision.
  MFloatVector(const MVector& vector);

  float operator[](unsigned int index) const { return index == 0 ? x : index == 1 ? y : z; }
  float& operator[](unsigned int index) { return index == 0 ? x : index == 1 ? y : z; }

  MFloatVector operator+(const MFloatVector& other) const {
    return MFloatVector(x + other.x, y + other.y, z + other.z);
  }
  MFloatVector operator-(const MFloatVector& other) const {
    return MFloatVector(x - other.x, y - other.y, z - other.z);
  }
  MFloatVector operator-() const { return MFloatVector(-x, -y, -z); }
  MFloatVector operator*(float scale) const { return MFloatVector(x * scale, y * scale, z * scale); }
  float operator*(const MFloatVector& other) const { return x * other.x + y * other.y + z * other.z; }
  MFloatVector operator^(const MFloatVector& other) const {
    return MFloatVector(y * other.z - z * other.y, z * other.x - x * other.z, x * other.y - y * other.x);
  }
  bool operator==(const MFloatVector& other) const { return x == other.x && y == other.y && z == other.z; }
  bool operator!=(const MFloatVector& other) const { return !(*this == other); }

  float length() const;
  MFloatVector normal() const;
  MStatus normalize();
  bool isEquivalent(const MFloatVector& other, float tolerance = 1.0e-5f) const;
  MStatus get(float values[3]) const;

  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};
