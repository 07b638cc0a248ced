#pragma once

#include <maya/MFloatVector.h>
#include <maya/MStatus.h>

class MPoint;

/// A point of single-precision floats in homogeneous coordinates: the form in
/// which the host keeps mesh vertices.
class MFloatPoint {
 public:
  MFloatPoint() = default;
  MFloatPoint(float x, float y, float z = 0.0f, float w = 1.0f) : x(x), y(y), z(z), w(w) {}
  /// Narrows each component to single precision.
  MFloatPoint(const MPoint& point);

  float operator[](unsigned int index) const { return index == 0 ? x : index == 1 ? y : index == 2 ? z : w; }
  float& operator[](unsigned int index) { return index == 0 ? x : index == 1 ? y : index == 2 ? z : w; }

  MFloatVector operator-(const MFloatPoint& other) const { return MFloatVector(x - other.x, y - other.y, z - other.z); }
  MFloatPoint operator+(const MFloatVector& offset) const {
    return MFloatPoint(x + offset.x, y + offset.y, z + offset.z, w);
  }
  bool operator==(const MFloatPoint& other) const {
    return x == other.x && y == other.y && z == other.z && w == other.w;
  }
  bool operator!=(const MFloatPoint& other) const { return !(*this == other); }

  MFloatPoint& cartesianize();
  float distanceTo(const MFloatPoint& other) const;
  bool isEquivalent(const MFloatPoint& other, float tolerance = 1.0e-5f) const;
  MStatus get(float values[4]) const;

  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  float w = 1.0f;
};
