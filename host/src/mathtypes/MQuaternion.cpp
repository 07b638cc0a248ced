#include <maya/MEulerRotation.h>
#include <maya/MQuaternion.h>

#include "mathtypes/MatrixParts.h"

#include <cmath>
#include "mathtypes/Constants.h"

using zovhost::kPi;

namespace {

// Vectors shorter than this have no direction; half-angle sines below it mean no rotation.
constexpr double kTiny = 1.0e-12;

/// A unit vector perpendicular to v (v not zero).
MVector perpendicular(const MVector& v) {
  const MVector other = std::fabs(v.x) < std::fabs(v.y)
                            ? (std::fabs(v.x) < std::fabs(v.z) ? MVector::xAxis : MVector::zAxis)
                            : (std::fabs(v.y) < std::fabs(v.z) ? MVector::yAxis : MVector::zAxis);
  return (v ^ other).normal();
}

}  // namespace

const MQuaternion MQuaternion::identity;

MQuaternion::MQuaternion(double angle, const MVector& axis) { setAxisAngle(axis, angle); }

MQuaternion::MQuaternion(const MVector& from, const MVector& to) : MQuaternion(from, to, 1.0) {}

MQuaternion::MQuaternion(const MVector& from, const MVector& to, double factor) {
  const MVector a = from.normal();
  const MVector b = to.normal();
  if (a.length() < kTiny || b.length() < kTiny) return;
  const MVector cross = a ^ b;
  const double angle = std::atan2(cross.length(), a * b);
  // Opposite directions turn about any perpendicular axis.
  const MVector axis = cross.length() > kTiny ? cross : perpendicular(a);
  setAxisAngle(axis, angle * factor);
}

MQuaternion& MQuaternion::setAxisAngle(const MVector& axis, double angle) {
  const MVector unit = axis.normal();
  const double s = std::sin(0.5 * angle);
  x = unit.x * s;
  y = unit.y * s;
  z = unit.z * s;
  w = std::cos(0.5 * angle);
  return *this;
}

double MQuaternion::length() const { return std::sqrt(x * x + y * y + z * z + w * w); }

MQuaternion MQuaternion::normal() const {
  const double size = length();
  return size > 0.0 ? *this * (1.0 / size) : *this;
}

MQuaternion& MQuaternion::normalizeIt() { return *this = normal(); }

MQuaternion MQuaternion::inverse() const {
  const double squared = x * x + y * y + z * z + w * w;
  return squared > 0.0 ? conjugate() * (1.0 / squared) : *this;
}

MMatrix MQuaternion::asMatrix() const {
  const MQuaternion q = normal();
  MMatrix m;
  // The transpose of the usual column-vector rotation matrix: the host multiplies row vectors.
  m[0][0] = 1.0 - 2.0 * (q.y * q.y + q.z * q.z);
  m[0][1] = 2.0 * (q.x * q.y + q.z * q.w);
  m[0][2] = 2.0 * (q.x * q.z - q.y * q.w);
  m[1][0] = 2.0 * (q.x * q.y - q.z * q.w);
  m[1][1] = 1.0 - 2.0 * (q.x * q.x + q.z * q.z);
  m[1][2] = 2.0 * (q.y * q.z + q.x * q.w);
  m[2][0] = 2.0 * (q.x * q.z + q.y * q.w);
  m[2][1] = 2.0 * (q.y * q.z - q.x * q.w);
  m[2][2] = 1.0 - 2.0 * (q.x * q.x + q.y * q.y);
  return m;
}

MQuaternion& MQuaternion::operator=(const MMatrix& matrix) {
  const MMatrix m = zovhost::rotationPart(matrix);
  // Shepperd's method on the largest of w, x, y, z for accuracy.
  const double trace = m[0][0] + m[1][1] + m[2][2];
  if (trace > 0.0) {
    const double s = 2.0 * std::sqrt(trace + 1.0);
    w = 0.25 * s;
    x = (m[1][2] - m[2][1]) / s;
    y = (m[2][0] - m[0][2]) / s;
    z = (m[0][1] - m[1][0]) / s;
  } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
    const double s = 2.0 * std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]);
    w = (m[1][2] - m[2][1]) / s;
    x = 0.25 * s;
    y = (m[1][0] + m[0][1]) / s;
    z = (m[2][0] + m[0][2]) / s;
  } else if (m[1][1] > m[2][2]) {
    const double s = 2.0 * std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]);
    w = (m[2][0] - m[0][2]) / s;
    x = (m[1][0] + m[0][1]) / s;
    y = 0.25 * s;
    z = (m[2][1] + m[1][2]) / s;
  } else {
    const double s = 2.0 * std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]);
    w = (m[0][1] - m[1][0]) / s;
    x = (m[2][0] + m[0][2]) / s;
    y = (m[2][1] + m[1][2]) / s;
    z = 0.25 * s;
  }
  return *this;
}

MQuaternion& MQuaternion::operator=(const MEulerRotation& rotation) { return *this = rotation.asQuaternion(); }

MEulerRotation MQuaternion::asEulerRotation() const {
  return MEulerRotation::decompose(asMatrix(), MEulerRotation::kXYZ);
}

MQuaternion MQuaternion::operator*(const MQuaternion& right) const {
  // The Hamilton product right * this: this rotation first, then right's.
  const MQuaternion& a = right;
  const MQuaternion& b = *this;
  return MQuaternion(a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
                     a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
}

bool MQuaternion::isEquivalent(const MQuaternion& other, double tolerance) const {
  return std::fabs(x - other.x) <= tolerance && std::fabs(y - other.y) <= tolerance &&
         std::fabs(z - other.z) <= tolerance && std::fabs(w - other.w) <= tolerance;
}

bool MQuaternion::getAxisAngle(MVector& axis, double& angle) const {
  const MQuaternion q = normal();
  const double s = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
  if (s < kTiny) {
    axis = MVector::zAxis;
    angle = 0.0;
    return false;
  }
  axis = MVector(q.x / s, q.y / s, q.z / s);
  angle = 2.0 * std::atan2(s, q.w);
  if (angle < 0.0) angle += 2.0 * kPi;
  return true;
}

MQuaternion slerp(const MQuaternion& p, const MQuaternion& q, double t) {
  MQuaternion target = q;
  double cosine = p.x * q.x + p.y * q.y + p.z * q.z + p.w * q.w;
  if (cosine < 0.0) {
    target = -q;
    cosine = -cosine;
  }
  // Nearly equal rotations interpolate linearly, where the sine below vanishes.
  if (cosine > 1.0 - kTiny) return (p * (1.0 - t) + target * t).normal();
  const double angle = std::acos(cosine);
  const double s = std::sin(angle);
  return p * (std::sin((1.0 - t) * angle) / s) + target * (std::sin(t * angle) / s);
}
