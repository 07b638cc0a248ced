#pragma once

// Helpers for the tests that compare with Eigen (the reference library):
// conversions to its values, random rotations and closeness checks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "math/MgcMatrix3.h"
#include "math/MgcQuaternion.h"
#include "math/MgcVector3.h"
#include "support/RandomGeometry.h"
#include "support/reference/EigenReference.h"

namespace zovtest {

constexpr double kPi = 3.14159265358979323846;

/// A uniformly distributed unit quaternion.
inline zovref::Quat randomQuaternion(Random& random) {
  const zovref::Quat q(random.normal(), random.normal(), random.normal(), random.normal());
  return zovref::normalized(q);
}

inline zovref::Mat3 toRef(const Mgc::MgcMatrix3& m) {
  zovref::Mat3 e;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) e(r, c) = m[r][c];
  return e;
}

inline Mgc::MgcMatrix3 fromRef(const zovref::Mat3& e) {
  return {e(0, 0), e(0, 1), e(0, 2), e(1, 0), e(1, 1), e(1, 2), e(2, 0), e(2, 1), e(2, 2)};
}

inline zovref::Vec3 toRef(const Mgc::MgcVector3& v) { return {v.x, v.y, v.z}; }

inline Mgc::MgcVector3 fromRef(const zovref::Vec3& v) { return {v.x(), v.y(), v.z()}; }

inline zovref::Quat toRef(const Mgc::Quaternion& q) { return {q.W(), q.X(), q.Y(), q.Z()}; }

inline Mgc::Quaternion fromRef(const zovref::Quat& q) { return {q.w, q.x, q.y, q.z}; }

/// Largest absolute entry difference.
inline double maxDifference(const Mgc::MgcMatrix3& a, const zovref::Mat3& b) { return zovref::maxAbs(toRef(a) - b); }

inline double maxDifference(const Mgc::MgcMatrix3& a, const Mgc::MgcMatrix3& b) {
  return zovref::maxAbs(toRef(a) - toRef(b));
}

inline double maxDifference(const Mgc::Quaternion& a, const zovref::Quat& b) { return zovref::maxAbs(toRef(a) - b); }

/// Distance between two quaternions as rotations: q and -q are the same.
inline double rotationDistance(const Mgc::Quaternion& a, const zovref::Quat& b) {
  return std::min(zovref::maxAbs(toRef(a) - b), zovref::maxAbs(toRef(a) + b));
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
