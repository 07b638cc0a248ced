#pragma once

// Helpers for the math tests: a seeded generator of random vectors and
// rotations, conversions to Eigen (the reference library) and closeness checks.

#include <gtest/gtest.h>
#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <random>

#include "math/MgcMatrix3.h"
#include "math/MgcQuaternion.h"
#include "math/MgcVector3.h"

namespace zov::test {

constexpr double kPi = 3.14159265358979323846;

/// Deterministic random inputs for the math tests.
class MathRandom {
 public:
  explicit MathRandom(unsigned seed = 12345u) : engine_(seed) {}

  double uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(engine_); }
  Mgc::MgcVector3 vector(double low = -1.0, double high = 1.0) {
    return {uniform(low, high), uniform(low, high), uniform(low, high)};
  }
  Mgc::MgcVector3 unitVector() {
    std::normal_distribution<double> normal;
    Mgc::MgcVector3 v(normal(engine_), normal(engine_), normal(engine_));
    return v * (1.0 / v.Length());
  }
  /// A uniformly distributed unit quaternion as Eigen (w, x, y, z).
  Eigen::Quaterniond eigenRotation() {
    std::normal_distribution<double> normal;
    Eigen::Quaterniond q(normal(engine_), normal(engine_), normal(engine_), normal(engine_));
    q.normalize();
    return q;
  }

 private:
  std::mt19937_64 engine_;
};

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

/// Difference of two angles modulo 2*pi, in [0, pi].
inline double angleDistance(double a, double b) {
  const double difference = std::remainder(a - b, 2.0 * kPi);
  return std::fabs(difference);
}

}  // namespace zov::test
