#pragma once

// Helpers for the tests that compare with Eigen (the reference library):
// conversions, random rotations and closeness checks.

#include <gtest/gtest.h>
#include <Eigen/Dense>

#include <algorithm>
#include <cmath>

#include "math/MgcMatrix3.h"
#include "math/MgcQuaternion.h"
#include "math/MgcVector3.h"
#include "support/RandomGeometry.h"

namespace zovtest {

constexpr double kPi = 3.14159265358979323846;

/// A uniformly distributed unit quaternion as Eigen (w, x, y, z).
inline Eigen::Quaterniond randomQuaternion(Random& random) {
  Eigen::Quaterniond q(random.normal(), random.normal(), random.normal(), random.normal());
  q.normalize();
  return q;
}

inline Eigen::Matrix3d toEigen(const Mgc::MgcMatrix3& m) {
  Eigen::Matrix3d e;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) e(r, c) = m[r][c];
  return e;
}

inline Mgc::MgcMatrix3 fromEigen(const Eigen::Matrix3d& e) {
  return {e(0, 0), e(0, 1), e(0, 2), e(1, 0), e(1, 1), e(1, 2), e(2, 0), e(2, 1), e(2, 2)};
}

inline Eigen::Vector3d toEigen(const Mgc::MgcVector3& v) { return {v.x, v.y, v.z}; }

inline Mgc::MgcVector3 fromEigen(const Eigen::Vector3d& v) { return {v.x(), v.y(), v.z()}; }

inline Eigen::Quaterniond toEigen(const Mgc::Quaternion& q) { return {q.W(), q.X(), q.Y(), q.Z()}; }

inline Mgc::Quaternion fromEigen(const Eigen::Quaterniond& q) { return {q.w(), q.x(), q.y(), q.z()}; }

/// Largest absolute entry difference.
inline double maxDifference(const Mgc::MgcMatrix3& a, const Eigen::Matrix3d& b) {
  return (toEigen(a) - b).cwiseAbs().maxCoeff();
}

inline double maxDifference(const Mgc::MgcMatrix3& a, const Mgc::MgcMatrix3& b) {
  return (toEigen(a) - toEigen(b)).cwiseAbs().maxCoeff();
}

inline double maxDifference(const Mgc::Quaternion& a, const Eigen::Quaterniond& b) {
  return (toEigen(a).coeffs() - b.coeffs()).cwiseAbs().maxCoeff();
}

/// Distance between two quaternions as rotations: q and -q are the same.
inline double rotationDistance(const Mgc::Quaternion& a, const Eigen::Quaterniond& b) {
  const Eigen::Vector4d ca = toEigen(a).coeffs();
  return std::min((ca - b.coeffs()).cwiseAbs().maxCoeff(), (ca + b.coeffs()).cwiseAbs().maxCoeff());
}

/// Each component of `actual` within `tolerance` of `expected`.
inline void expectNear(const Mgc::MgcVector3& actual, const Mgc::MgcVector3& expected, double tolerance = 1e-12) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

/// Agreement of a distance with a reference: absolute for small values,
/// relative for large.
inline void expectSameDistance(double actual, double expected, double tolerance = 1e-9) {
  EXPECT_NEAR(actual, expected, tolerance * (1.0 + expected));
}

/// Difference of two angles modulo 2*pi, in [0, pi].
inline double angleDistance(double a, double b) {
  const double difference = std::remainder(a - b, 2.0 * kPi);
  return std::fabs(difference);
}

}  // namespace zovtest
