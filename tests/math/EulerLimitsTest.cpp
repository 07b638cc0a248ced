#include <gtest/gtest.h>

#include <Eigen/Geometry>

#include <cmath>

#include "math/MgcMatrix3.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using zovtest::fromEigen;
using zovtest::kPi;
using zovtest::maxDifference;
using zovtest::Random;

namespace {

using ToEuler = bool (MgcMatrix3::*)(double&, double&, double&) const;

struct Order {
  const char* name;
  int axes[3];
  ToEuler to;
  bool proper;
};

const Order kOrders[] = {
    {"XYZ", {0, 1, 2}, &MgcMatrix3::ToEulerAnglesXYZ, false}, {"XZY", {0, 2, 1}, &MgcMatrix3::ToEulerAnglesXZY, false},
    {"YXZ", {1, 0, 2}, &MgcMatrix3::ToEulerAnglesYXZ, false}, {"YZX", {1, 2, 0}, &MgcMatrix3::ToEulerAnglesYZX, false},
    {"ZXY", {2, 0, 1}, &MgcMatrix3::ToEulerAnglesZXY, false}, {"ZYX", {2, 1, 0}, &MgcMatrix3::ToEulerAnglesZYX, false},
    {"XYX", {0, 1, 0}, &MgcMatrix3::ToEulerAnglesXYX, true},  {"XZX", {0, 2, 0}, &MgcMatrix3::ToEulerAnglesXZX, true},
    {"YXY", {1, 0, 1}, &MgcMatrix3::ToEulerAnglesYXY, true},  {"YZY", {1, 2, 1}, &MgcMatrix3::ToEulerAnglesYZY, true},
    {"ZXZ", {2, 0, 2}, &MgcMatrix3::ToEulerAnglesZXZ, true},  {"ZYZ", {2, 1, 2}, &MgcMatrix3::ToEulerAnglesZYZ, true},
};

Eigen::Quaterniond about(int axis, double angle) {
  return Eigen::Quaterniond(Eigen::AngleAxisd(angle, Eigen::Vector3d::Unit(axis)));
}

Eigen::Matrix3d exactProduct(const Order& order, double a0, double a1, double a2) {
  return Eigen::Matrix3d(Eigen::AngleAxisd(a0, Eigen::Vector3d::Unit(order.axes[0]))) *
         Eigen::Matrix3d(Eigen::AngleAxisd(a1, Eigen::Vector3d::Unit(order.axes[1]))) *
         Eigen::Matrix3d(Eigen::AngleAxisd(a2, Eigen::Vector3d::Unit(order.axes[2])));
}

}  // namespace

// Rotations whose middle angle sits at a limit of its range (0 or pi for the
// proper orders, +-pi/2 for the others) or within rounding of it, built
// through quaternion products so that the entries carry rounding noise: the
// angles read back must rebuild the same rotation.
TEST(EulerLimits, AnglesNearTheLimitsRebuildTheRotation) {
  const double offsets[] = {0.0, 1e-300, 1e-12, -1e-12, 1e-9, -1e-9, 2e-8, -2e-8, 1e-7, -1e-7};
  Random random(21);
  for (const Order& order : kOrders) {
    const double limits[2] = {order.proper ? 0.0 : -0.5 * kPi, order.proper ? kPi : 0.5 * kPi};
    for (const double limit : limits) {
      for (const double offset : offsets) {
        // Step inside the range of the middle angle.
        const double a1 = limit + (limit == limits[0] ? std::fabs(offset) : -std::fabs(offset));
        SCOPED_TRACE(testing::Message() << order.name << " a1 = " << a1);
        for (int i = 0; i < 20; ++i) {
          const double a0 = random.uniform(-kPi, kPi);
          const double a2 = random.uniform(-kPi, kPi);
          const Eigen::Quaterniond q = about(order.axes[0], a0) * about(order.axes[1], a1) * about(order.axes[2], a2);
          const MgcMatrix3 m = fromEigen(q.normalized().toRotationMatrix());
          double b0, b1, b2;
          (m.*order.to)(b0, b1, b2);
          ASSERT_TRUE(std::isfinite(b0) && std::isfinite(b1) && std::isfinite(b2));
          EXPECT_LT(maxDifference(m, exactProduct(order, b0, b1, b2)), 1e-7);
        }
      }
    }
  }
}

// A rotation about the first axis alone, given by axis and angle, is the
// proper orders' limit a1 = 0 however its diagonal entry rounds.
TEST(EulerLimits, RotationAboutTheFirstAxisIsTheZeroLimit) {
  for (const Order& order : kOrders) {
    if (!order.proper) continue;
    SCOPED_TRACE(order.name);
    for (int i = 1; i < 64; ++i) {
      const double angle = -kPi + i * (2.0 * kPi / 64.0) + 0.01;
      MgcMatrix3 m;
      Mgc::MgcVector3 axis;
      axis[order.axes[0]] = 1.0;
      m.FromAxisAngle(axis, angle);
      double b0, b1, b2;
      (m.*order.to)(b0, b1, b2);
      EXPECT_LT(maxDifference(m, exactProduct(order, b0, b1, b2)), 1e-7);
      EXPECT_LT(b1, 1e-7);
    }
  }
}
