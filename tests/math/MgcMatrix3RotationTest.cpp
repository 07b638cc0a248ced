#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::angleDistance;
using zovtest::fromEigen;
using zovtest::kPi;
using zovtest::maxDifference;
using zovtest::Random;
using zovtest::toEigen;

namespace {

using FromEuler = void (MgcMatrix3::*)(double, double, double);
using ToEuler = bool (MgcMatrix3::*)(double&, double&, double&) const;

struct EulerOrder {
  std::string name;
  int axes[3];     // 0, 1, 2 for x, y, z: m = R_axes[0](a0) R_axes[1](a1) R_axes[2](a2)
  FromEuler from;  // null for the orders that have no builder
  ToEuler to;
  bool proper;  // first and last axis the same: middle angle in [0, pi]
};

const EulerOrder kOrders[] = {
    {"XYZ", {0, 1, 2}, &MgcMatrix3::FromEulerAnglesXYZ, &MgcMatrix3::ToEulerAnglesXYZ, false},
    {"XZY", {0, 2, 1}, &MgcMatrix3::FromEulerAnglesXZY, &MgcMatrix3::ToEulerAnglesXZY, false},
    {"YXZ", {1, 0, 2}, &MgcMatrix3::FromEulerAnglesYXZ, &MgcMatrix3::ToEulerAnglesYXZ, false},
    {"YZX", {1, 2, 0}, &MgcMatrix3::FromEulerAnglesYZX, &MgcMatrix3::ToEulerAnglesYZX, false},
    {"ZXY", {2, 0, 1}, &MgcMatrix3::FromEulerAnglesZXY, &MgcMatrix3::ToEulerAnglesZXY, false},
    {"ZYX", {2, 1, 0}, &MgcMatrix3::FromEulerAnglesZYX, &MgcMatrix3::ToEulerAnglesZYX, false},
    {"XYX", {0, 1, 0}, nullptr, &MgcMatrix3::ToEulerAnglesXYX, true},
    {"XZX", {0, 2, 0}, nullptr, &MgcMatrix3::ToEulerAnglesXZX, true},
    {"YXY", {1, 0, 1}, nullptr, &MgcMatrix3::ToEulerAnglesYXY, true},
    {"YZY", {1, 2, 1}, nullptr, &MgcMatrix3::ToEulerAnglesYZY, true},
    {"ZXZ", {2, 0, 2}, nullptr, &MgcMatrix3::ToEulerAnglesZXZ, true},
    {"ZYZ", {2, 1, 2}, nullptr, &MgcMatrix3::ToEulerAnglesZYZ, true},
};

// The textbook rotation about coordinate axis 0, 1 or 2; its unit row and
// column are exact, so that gimbal-lock entries come out as exactly +-1.
Eigen::Matrix3d elementaryRotation(int axis, double angle) {
  const int j = (axis + 1) % 3;
  const int k = (axis + 2) % 3;
  Eigen::Matrix3d m = Eigen::Matrix3d::Zero();
  m(axis, axis) = 1.0;
  m(j, j) = std::cos(angle);
  m(k, k) = std::cos(angle);
  m(j, k) = -std::sin(angle);
  m(k, j) = std::sin(angle);
  return m;
}

// The reference rotation of an order.
Eigen::Matrix3d eulerReference(const EulerOrder& order, double a0, double a1, double a2) {
  return elementaryRotation(order.axes[0], a0) * elementaryRotation(order.axes[1], a1) *
         elementaryRotation(order.axes[2], a2);
}

// The entry that holds the middle angle's sine or cosine.
double middleEntry(const EulerOrder& order, const Eigen::Matrix3d& m) {
  // cos(a1) on the diagonal for a proper order, +-sin(a1) at (first, last)
  // for the others.
  const int first = order.axes[0];
  return order.proper ? m(first, first) : m(first, order.axes[2]);
}

MgcMatrix3 axisAngle(const MgcVector3& axis, double angle) {
  MgcMatrix3 m;
  m.FromAxisAngle(axis, angle);
  return m;
}

}  // namespace

TEST(MgcMatrix3Rotation, FromAxisAngleMatchesEigen) {
  Random random(1);
  for (int i = 0; i < 500; ++i) {
    const MgcVector3 axis = random.unitVector();
    const double angle = random.uniform(-2.0 * kPi, 2.0 * kPi);
    const Eigen::Matrix3d expected = Eigen::AngleAxisd(angle, toEigen(axis)).toRotationMatrix();
    EXPECT_LT(maxDifference(axisAngle(axis, angle), expected), 1e-14);
  }
}

TEST(MgcMatrix3Rotation, ToAxisAngleRecoversAxisAndAngle) {
  Random random(2);
  for (int i = 0; i < 500; ++i) {
    const MgcVector3 axis = random.unitVector();
    const double angle = random.uniform(1e-3, kPi - 1e-3);
    const MgcMatrix3 m = fromEigen(Eigen::AngleAxisd(angle, toEigen(axis)).toRotationMatrix());
    MgcVector3 foundAxis;
    double foundAngle;
    m.ToAxisAngle(foundAxis, foundAngle);
    EXPECT_NEAR(foundAngle, angle, 1e-12);
    EXPECT_LT((foundAxis - axis).Length(), 1e-10);
  }
}

// Identity, half turns and angles so close to 0 or to a half turn that the
// skew-symmetric part is too short to unitise.
TEST(MgcMatrix3Rotation, ToAxisAngleOfDegenerateAnglesGivesUnitAxis) {
  const MgcVector3 tilted = MgcVector3(1.0, -2.0, 3.0) * (1.0 / std::sqrt(14.0));
  struct Case {
    const char* name;
    MgcVector3 axis;
    double angle;
    bool signMatters;  // a half turn about -axis is the same rotation
  };
  const Case cases[] = {
      {"half turn about x", MgcVector3::UNIT_X, kPi, false},
      {"half turn about y", MgcVector3::UNIT_Y, kPi, false},
      {"half turn about z", MgcVector3::UNIT_Z, kPi, false},
      {"half turn about tilted axis", tilted, kPi, false},
      {"just below a half turn", tilted, kPi - 1e-7, true},
      {"further below a half turn", tilted, kPi - 4e-7, true},
      {"tiny angle", tilted, 1e-7, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const MgcMatrix3 m = axisAngle(c.axis, c.angle);
    MgcVector3 axis;
    double angle;
    m.ToAxisAngle(axis, angle);
    EXPECT_NEAR(axis.Length(), 1.0, 1e-12);
    // The angle comes from the arc cosine of the trace, which near a half turn
    // resolves about sqrt(machine epsilon).
    EXPECT_NEAR(angle, c.angle, 5e-8);
    const double alignment = axis.Dot(c.axis);
    EXPECT_NEAR(c.signMatters ? alignment : std::fabs(alignment), 1.0, 1e-8);
    EXPECT_LT(maxDifference(axisAngle(axis, angle), m), 5e-8);
  }

  MgcVector3 axis(0.0, 0.0, 0.0);
  double angle = -1.0;
  MgcMatrix3::IDENTITY.ToAxisAngle(axis, angle);
  EXPECT_EQ(angle, 0.0);
  EXPECT_EQ(axis, MgcVector3::UNIT_X);

  // A half turn about y is read from the m11 branch: exactly (0, 1, 0) up to
  // the rounding of the off-diagonal entries.
  axisAngle(MgcVector3::UNIT_Y, kPi).ToAxisAngle(axis, angle);
  EXPECT_EQ(angle, kPi);
  EXPECT_EQ(axis.y, 1.0);
  EXPECT_NEAR(axis.x, 0.0, 1e-15);
  EXPECT_NEAR(axis.z, 0.0, 1e-15);
}

TEST(MgcMatrix3Rotation, FromEulerAnglesMatchesAxisProducts) {
  Random random(3);
  for (const EulerOrder& order : kOrders) {
    if (order.from == nullptr) continue;
    SCOPED_TRACE(order.name);
    for (int i = 0; i < 200; ++i) {
      const double a0 = random.uniform(-kPi, kPi);
      const double a1 = random.uniform(-kPi, kPi);
      const double a2 = random.uniform(-kPi, kPi);
      MgcMatrix3 m;
      (m.*order.from)(a0, a1, a2);
      EXPECT_LT(maxDifference(m, eulerReference(order, a0, a1, a2)), 1e-14);
    }
  }
}

TEST(MgcMatrix3Rotation, ToEulerAnglesRoundTripsForEveryOrder) {
  Random random(4);
  for (const EulerOrder& order : kOrders) {
    SCOPED_TRACE(order.name);
    for (int i = 0; i < 300; ++i) {
      const double a0 = random.uniform(-kPi, kPi);
      const double a1 =
          order.proper ? random.uniform(1e-3, kPi - 1e-3) : random.uniform(-0.5 * kPi + 1e-3, 0.5 * kPi - 1e-3);
      const double a2 = random.uniform(-kPi, kPi);
      const MgcMatrix3 m = fromEigen(eulerReference(order, a0, a1, a2));
      double b0, b1, b2;
      ASSERT_TRUE((m.*order.to)(b0, b1, b2));
      EXPECT_LT(angleDistance(b0, a0), 1e-9);
      EXPECT_NEAR(b1, a1, 1e-9);
      EXPECT_LT(angleDistance(b2, a2), 1e-9);
    }
  }
  // The documented example.
  MgcMatrix3 m;
  m.FromEulerAnglesXYZ(0.1, 0.2, 0.3);
  double a0, a1, a2;
  EXPECT_TRUE(m.ToEulerAnglesXYZ(a0, a1, a2));
  EXPECT_NEAR(a0, 0.1, 1e-15);
  EXPECT_NEAR(a1, 0.2, 1e-15);
  EXPECT_NEAR(a2, 0.3, 1e-15);
}

// At the limits of the middle angle only the sum or difference of the outer
// angles is determined: the extraction reports false, puts it all in a0 and
// sets a2 = 0, and the angles it gives still build the same rotation.
TEST(MgcMatrix3Rotation, GimbalLockReportsFalseWithAnEquivalentRotation) {
  Random random(5);
  for (const EulerOrder& order : kOrders) {
    const double limits[2] = {order.proper ? 0.0 : -0.5 * kPi, order.proper ? kPi : 0.5 * kPi};
    for (const double limit : limits) {
      SCOPED_TRACE(order.name + " at " + std::to_string(limit));
      for (int i = 0; i < 20; ++i) {
        const Eigen::Matrix3d reference =
            eulerReference(order, random.uniform(-kPi, kPi), limit, random.uniform(-kPi, kPi));
        ASSERT_EQ(std::fabs(middleEntry(order, reference)), 1.0);
        const MgcMatrix3 m = fromEigen(reference);
        double a0, a1 = 0.5, a2 = 0.5;
        EXPECT_FALSE((m.*order.to)(a0, a1, a2));
        EXPECT_EQ(a1, limit);
        EXPECT_EQ(a2, 0.0);
        EXPECT_LT(maxDifference(m, eulerReference(order, a0, a1, a2)), 1e-12);
      }
    }
  }
  // An entry pushed past 1 by rounding counts as the limit too.
  MgcMatrix3 m;
  m.FromEulerAnglesXYZ(0.3, 0.5 * kPi, 0.0);
  m[0][2] = std::nextafter(1.0, 2.0);
  double a0, a1, a2;
  EXPECT_FALSE(m.ToEulerAnglesXYZ(a0, a1, a2));
  EXPECT_EQ(a1, 0.5 * kPi);
  EXPECT_NEAR(a0, 0.3, 1e-12);
}

TEST(MgcMatrix3Rotation, SlerpMatchesEigenQuaternionSlerp) {
  Random random(6);
  for (int i = 0; i < 500; ++i) {
    const Eigen::Quaterniond q0 = zovtest::randomQuaternion(random);
    const Eigen::Quaterniond q1 = zovtest::randomQuaternion(random);
    const double t = i < 2 ? i : random.uniform(0.0, 1.0);
    const MgcMatrix3 r0 = fromEigen(q0.toRotationMatrix());
    const MgcMatrix3 r1 = fromEigen(q1.toRotationMatrix());
    // Eigen's slerp takes the shorter arc, as a rotation by at most pi does.
    const Eigen::Matrix3d expected = q0.slerp(t, q1).toRotationMatrix();
    EXPECT_LT(maxDifference(MgcMatrix3::Slerp(t, r0, r1), expected), 1e-9);
  }
}

TEST(MgcMatrix3Rotation, SlerpRunsFromStartToEndRotation) {
  const MgcVector3 tilted = MgcVector3(2.0, 1.0, -1.0) * (1.0 / std::sqrt(6.0));
  const MgcMatrix3 start = axisAngle(MgcVector3::UNIT_Z, 0.7);
  struct Case {
    const char* name;
    MgcMatrix3 r1;
  };
  const Case cases[] = {
      {"same rotation", start},
      {"quarter turn away", start * axisAngle(tilted, 0.5 * kPi)},
      {"half turn away", start * axisAngle(tilted, kPi)},
      {"just short of a half turn away", start * axisAngle(tilted, kPi - 2e-7)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_LT(maxDifference(MgcMatrix3::Slerp(0.0, start, c.r1), start), 1e-15);
    // Near a half turn the relative angle resolves to about 1.5e-8.
    EXPECT_LT(maxDifference(MgcMatrix3::Slerp(1.0, start, c.r1), c.r1), 5e-8);
    const MgcMatrix3 middle = MgcMatrix3::Slerp(0.5, start, c.r1);
    EXPECT_LT(maxDifference(middle.TransposeTimes(middle), MgcMatrix3::IDENTITY), 1e-12);
  }
}

// Gram-Schmidt is the QR factorisation with a positive diagonal: Q is
// orthonormal and Q^T * A is upper triangular with positive diagonal.
TEST(MgcMatrix3Rotation, OrthonormalizeIsGramSchmidtOverColumns) {
  Random random(7);
  for (int i = 0; i < 200; ++i) {
    const MgcMatrix3 a = fromEigen(zovtest::randomQuaternion(random).toRotationMatrix()) +
                         MgcMatrix3(random.vector(-0.1, 0.1), random.vector(-0.1, 0.1), random.vector(-0.1, 0.1));
    MgcMatrix3 q = a;
    q.Orthonormalize();
    EXPECT_LT(maxDifference(q.TransposeTimes(q), MgcMatrix3::IDENTITY), 1e-14);
    const MgcMatrix3 r = q.TransposeTimes(a);
    EXPECT_NEAR(r[1][0], 0.0, 1e-14);
    EXPECT_NEAR(r[2][0], 0.0, 1e-14);
    EXPECT_NEAR(r[2][1], 0.0, 1e-14);
    for (int k = 0; k < 3; ++k) EXPECT_GT(r[k][k], 0.0);
  }
}
