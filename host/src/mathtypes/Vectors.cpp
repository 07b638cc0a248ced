// Vectors and points of doubles and of floats.
#include <maya/MFloatPoint.h>
#include <maya/MFloatVector.h>
#include <maya/MMatrix.h>
#include <maya/MPoint.h>
#include <maya/MQuaternion.h>
#include <maya/MVector.h>

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------------------
// MVector

const MVector MVector::zero(0.0, 0.0, 0.0);
const MVector MVector::one(1.0, 1.0, 1.0);
const MVector MVector::xAxis(1.0, 0.0, 0.0);
const MVector MVector::yAxis(0.0, 1.0, 0.0);
const MVector MVector::zAxis(0.0, 0.0, 1.0);
const MVector MVector::xNegAxis(-1.0, 0.0, 0.0);
const MVector MVector::yNegAxis(0.0, -1.0, 0.0);
const MVector MVector::zNegAxis(0.0, 0.0, -1.0);

MVector::MVector(const MPoint& point) : x(point.x), y(point.y), z(point.z) {}

MVector::MVector(const MFloatVector& vector) : x(vector.x), y(vector.y), z(vector.z) {}

MVector MVector::operator*(const MMatrix& m) const {
  return MVector(x * m[0][0] + y * m[1][0] + z * m[2][0], x * m[0][1] + y * m[1][1] + z * m[2][1],
                 x * m[0][2] + y * m[1][2] + z * m[2][2]);
}

double MVector::length() const { return std::sqrt(x * x + y * y + z * z); }

MVector MVector::normal() const {
  const double size = length();
  return size > 0.0 ? *this / size : *this;
}

MStatus MVector::normalize() {
  const double size = length();
  if (size == 0.0) return MS::kFailure;
  *this /= size;
  return MS::kSuccess;
}

double MVector::angle(const MVector& other) const {
  const double sizes = length() * other.length();
  if (sizes == 0.0) return 0.0;
  // atan2 of the cross and dot products stays accurate for small and large angles.
  return std::atan2((*this ^ other).length(), *this * other);
}

bool MVector::isEquivalent(const MVector& other, double tolerance) const {
  return std::fabs(x - other.x) <= tolerance && std::fabs(y - other.y) <= tolerance &&
         std::fabs(z - other.z) <= tolerance;
}

bool MVector::isParallel(const MVector& other, double tolerance) const {
  const double sizes = length() * other.length();
  if (sizes == 0.0) return true;
  return (*this ^ other).length() <= tolerance * sizes;
}

MVector MVector::rotateBy(const MQuaternion& rotation) const { return *this * rotation.asMatrix(); }

MQuaternion MVector::rotateTo(const MVector& target) const { return MQuaternion(*this, target); }

MStatus MVector::get(double values[3]) const {
  values[0] = x;
  values[1] = y;
  values[2] = z;
  return MS::kSuccess;
}

// ---------------------------------------------------------------------------
// MFloatVector

MFloatVector::MFloatVector(const MVector& vector)
    : x(static_cast<float>(vector.x)), y(static_cast<float>(vector.y)), z(static_cast<float>(vector.z)) {}

float MFloatVector::length() const { return std::sqrt(x * x + y * y + z * z); }

MFloatVector MFloatVector::normal() const {
  const float size = length();
  return size > 0.0f ? *this * (1.0f / size) : *this;
}

MStatus MFloatVector::normalize() {
  const float size = length();
  if (size == 0.0f) return MS::kFailure;
  *this = *this * (1.0f / size);
  return MS::kSuccess;
}

bool MFloatVector::isEquivalent(const MFloatVector& other, float tolerance) const {
  return std::fabs(x - other.x) <= tolerance && std::fabs(y - other.y) <= tolerance &&
         std::fabs(z - other.z) <= tolerance;
}

MStatus MFloatVector::get(float values[3]) const {
  values[0] = x;
  values[1] = y;
  values[2] = z;
  return MS::kSuccess;
}

// ---------------------------------------------------------------------------
// MPoint

const MPoint MPoint::origin(0.0, 0.0, 0.0);

namespace {

MPoint cartesian(const MPoint& point) {
  MPoint result = point;
  return result.cartesianize();
}

}  // namespace

MPoint::MPoint(const MFloatPoint& point) : x(point.x), y(point.y), z(point.z), w(point.w) {}

MVector MPoint::operator-(const MPoint& other) const {
  const MPoint a = cartesian(*this);
  const MPoint b = cartesian(other);
  return MVector(a.x - b.x, a.y - b.y, a.z - b.z);
}

MPoint MPoint::operator+(const MVector& offset) const {
  MPoint result = cartesian(*this);
  result.x += offset.x;
  result.y += offset.y;
  result.z += offset.z;
  return result;
}

MPoint MPoint::operator-(const MVector& offset) const { return *this + (-offset); }

MPoint MPoint::operator*(const MMatrix& m) const {
  MPoint result;
  for (unsigned int c = 0; c < 4; ++c) result[c] = x * m[0][c] + y * m[1][c] + z * m[2][c] + w * m[3][c];
  return result;
}

MPoint& MPoint::cartesianize() {
  if (w != 0.0 && w != 1.0) {
    x /= w;
    y /= w;
    z /= w;
    w = 1.0;
  }
  return *this;
}

double MPoint::distanceTo(const MPoint& other) const { return (*this - other).length(); }

bool MPoint::isEquivalent(const MPoint& other, double tolerance) const { return (*this - other).length() <= tolerance; }

MStatus MPoint::get(double values[4]) const {
  values[0] = x;
  values[1] = y;
  values[2] = z;
  values[3] = w;
  return MS::kSuccess;
}

// ---------------------------------------------------------------------------
// MFloatPoint

MFloatPoint::MFloatPoint(const MPoint& point)
    : x(static_cast<float>(point.x)),
      y(static_cast<float>(point.y)),
      z(static_cast<float>(point.z)),
      w(static_cast<float>(point.w)) {}

MFloatPoint& MFloatPoint::cartesianize() {
  if (w != 0.0f && w != 1.0f) {
    x /= w;
    y /= w;
    z /= w;
    w = 1.0f;
  }
  return *this;
}

float MFloatPoint::distanceTo(const MFloatPoint& other) const { return (*this - other).length(); }

bool MFloatPoint::isEquivalent(const MFloatPoint& other, float tolerance) const {
  return (*this - other).length() <= tolerance;
}

MStatus MFloatPoint::get(float values[4]) const {
  values[0] = x;
  values[1] = y;
  values[2] = z;
  values[3] = w;
  return MS::kSuccess;
}
