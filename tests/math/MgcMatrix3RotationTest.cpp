#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "support/EulerOrders.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::angleDistance;
using zovtest::eulerReference;
using zovtest::fromEigen;
using zovtest::kPi;
using zovtest::maxDifference;
using zovtest::Random;
using zovtest::toEigen;

namespace {

MgcMatrix3 axisAngle(const MgcVector3& axis, double angle) {
  MgcMatrix3 m;
  m.FromAxisAngle(axis, angle);
  return m;
}

}  // namespace

TEST(MgcMatrix3Rotation, AxisAngleConversionsMatchEigen) {
  Random random(1);
  for (int i = 0; i < 500; ++i) {
    const MgcVector3 axis = random.unitVector();
    const double angle = random.uniform(1e-3, kPi - 1e-3) * (i % 2 ? 1.0 : -2.0);
    const Eigen::Matrix3d expected = Eigen::AngleAxisd(angle, toEigen(axis)).toRotationMatrix();
    EXPECT_LT(maxDifference(axisAngle(axis, angle), expected), 1e-14);
    if (angle < 0.0) continue;
    MgcVector3 foundAxis;
    double foundAngle;
    fromEigen(expected).ToAxisAngle(foundAxis, foundAngle);
    EXPECT_NEAR(foundAngle, angle, 1e-12);
    EXPECT_LT((foundAxis - axis).Length(), 1e-10);
  }
}

// Identity, half turns and angles so close to 0 or to a half turn that the
// skew-symmetric part is too short to unitise.
TEST(MgcMatrix3Rotation, ToAxisAngleOfDegenerateAnglesGivesUnitAxis) {
  const MgcVector3 tilted = MgcVector3(1.0, -2.0, 3.0) * (1.0 / std::sqrt(14.0));
  struct Case {
    MgcVector3 axis;
    double angle;
    bool signMatters;  // a half turn about -axis is the same rotation
  };
  const Case cases[] = {{MgcVector3::UNIT_X, kPi, false},
                        {MgcVector3::UNIT_Y, kPi, false},
                        {MgcVector3::UNIT_Z, kPi, false},
                        {tilted, kPi, false},
                        {tilted, kPi - 1e-7, true},
                        {tilted, kPi - 4e-7, true},
                        {tilted, 1e-7, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.angle);
    const MgcMatrix3 m = axisAngle(c.axis, c.angle);
    MgcVector3 axis;
    double angle;
    m.ToAxisAngle(axis, angle);
    EXPECT_NEAR(axis.Length(), 1.0, 1e-12);
    // The angle comes from the arc cosine of the trace, which near a half turn
    // resolves about sqrt(machine epsilon).
    EXPECT_NEAR(angle, c.angle, 5e-8);
    EXPECT_NEAR(c.signMatters ? axis.Dot(c.axis) : std::fabs(axis.Dot(c.axis)), 1.0, 1e-8);
    EXPECT_LT(maxDifference(axisAngle(axis, angle), m), 5e-8);
  }
  MgcVector3 axis(0.0, 0.0, 0.0);
  double angle = -1.0;
  MgcMatrix3::IDENTITY.ToAxisAngle(axis, angle);
  EXPECT_EQ(angle, 0.0);
  EXPECT_EQ(axis, MgcVector3::UNIT_X);
}

TEST(MgcMatrix3Rotation, EulerAnglesRoundTripForEveryOrder) {
  Random random(3);
  for (const zovtest::EulerOrder& order : zovtest::kEulerOrders) {
    SCOPED_TRACE(order.name);
    for (int i = 0; i < 300; ++i) {
      const double a0 = random.uniform(-kPi, kPi), a2 = random.uniform(-kPi, kPi);
      const double a1 =
          order.proper ? random.uniform(1e-3, kPi - 1e-3) : random.uniform(-0.5 * kPi + 1e-3, 0.5 * kPi - 1e-3);
      const MgcMatrix3 m = fromEigen(eulerReference(order, a0, a1, a2));
      if (order.from != nullptr) {
        MgcMatrix3 built;
        (built.*order.from)(a0, a1, a2);
        EXPECT_LT(maxDifference(built, m), 1e-14);
      }
      double b0, b1, b2;
      ASSERT_TRUE((m.*order.to)(b0, b1, b2));
      EXPECT_LT(angleDistance(b0, a0), 1e-9);
      EXPECT_NEAR(b1, a1, 1e-9);
      EXPECT_LT(angleDistance(b2, a2), 1e-9);
    }
  }
}

// At the limits of the middle angle only the sum or difference of the outer
// angles is determined: the extraction reports false, puts it all in a0 and
// sets a2 = 0, and the angles it gives still build the same rotation.
TEST(MgcMatrix3Rotation, GimbalLockReportsFalseWithAnEquivalentRotation) {
  Random random(5);
  for (const zovtest::EulerOrder& order : zovtest::kEulerOrders) {
    const double limits[2] = {order.proper ? 0.0 : -0.5 * kPi, order.proper ? kPi : 0.5 * kPi};
    for (const double limit : limits) {
      SCOPED_TRACE(order.name + " at " + std::to_string(limit));
      for (int i = 0; i < 20; ++i) {
        const Eigen::Matrix3d reference =
            eulerReference(order, random.uniform(-kPi, kPi), limit, random.uniform(-kPi, kPi));
        ASSERT_EQ(std::fabs(zovtest::middleEntry(order, reference)), 1.0);
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
  // The same rotation, a quarter turn, a half turn and just short of one away.
  for (const double angle : {0.0, 0.5 * kPi, kPi, kPi - 2e-7}) {
    SCOPED_TRACE(angle);
    const MgcMatrix3 end = start * axisAngle(tilted, angle);
    EXPECT_LT(maxDifference(MgcMatrix3::Slerp(0.0, start, end), start), 1e-15);
    // Near a half turn the relative angle resolves to about 1.5e-8.
    EXPECT_LT(maxDifference(MgcMatrix3::Slerp(1.0, start, end), end), 5e-8);
    const MgcMatrix3 middle = MgcMatrix3::Slerp(0.5, start, end);
    EXPECT_LT(maxDifference(middle.TransposeTimes(middle), MgcMatrix3::IDENTITY), 1e-12);
  }
}

// Gram-Schmidt is the QR factorisation with a positive diagonal: Q is
// orthonormal and Q^T * A is upper triangular with positive diagonal.
TEST(MgcMatrix3Rotation, OrthonormalizeIsGramSchmidtOverColumns) {
  Random random(7);
  for (int i = 0; i < 200; ++i) {
    const MgcMatrix3 a =
        random.rotation() + MgcMatrix3(random.vector(-0.1, 0.1), random.vector(-0.1, 0.1), random.vector(-0.1, 0.1));
    MgcMatrix3 q = a;
    q.Orthonormalize();
    EXPECT_LT(maxDifference(q.TransposeTimes(q), MgcMatrix3::IDENTITY), 1e-14);
    const MgcMatrix3 r = q.TransposeTimes(a);
    EXPECT_LT(std::max({std::fabs(r[1][0]), std::fabs(r[2][0]), std::fabs(r[2][1])}), 1e-14);
    EXPECT_GT(std::min({r[0][0], r[1][1], r[2][2]}), 0.0);
  }
}
