#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "math/MgcMatrix3.h"
#include "math/MgcQuaternion.h"
#include "math/MgcVector3.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using Mgc::Quaternion;
using zovtest::fromEigen;
using zovtest::kPi;
using zovtest::maxDifference;
using zovtest::Random;
using zovtest::rotationDistance;
using zovtest::toEigen;

namespace {

Eigen::Quaterniond eigenAxisAngle(const MgcVector3& axis, double angle) {
  return Eigen::Quaterniond(Eigen::AngleAxisd(angle, toEigen(axis)));
}

MgcMatrix3 rotationMatrix(const Quaternion& q) {
  MgcMatrix3 m;
  q.ToRotationMatrix(m);
  return m;
}

// The point at t on the great circle from unit p through unit q (not through
// -q), written from the circle's orthonormal frame (p, q_perp).
Eigen::Quaterniond greatCircle(const Eigen::Quaterniond& p, const Eigen::Quaterniond& q, double t,
                               int extraHalfCircles = 0) {
  const double angle = std::acos(std::clamp(p.dot(q), -1.0, 1.0));
  const Eigen::Vector4d perpendicular = (q.coeffs() - p.dot(q) * p.coeffs()).normalized();
  const double travelled = t * (angle + extraHalfCircles * kPi);
  Eigen::Quaterniond result;
  result.coeffs() = std::cos(travelled) * p.coeffs() + std::sin(travelled) * perpendicular;
  return result;
}

}  // namespace

TEST(MgcQuaternion, MatrixConversionsMatchEigen) {
  Random random(31);
  for (int i = 0; i < 1000; ++i) {
    // Every fourth input is a rotation by more than 2*pi/3 (negative trace)
    // about an axis near x, y or z, so that every branch of the conversion
    // from a matrix runs.
    Eigen::Quaterniond expected = zovtest::randomQuaternion(random);
    if (i % 4 != 0) {
      MgcVector3 axis = random.vector(-0.3, 0.3);
      axis[i % 3] = 1.0;
      axis *= 1.0 / axis.Length();
      expected = eigenAxisAngle(axis, random.uniform(2.2, kPi));
    }
    const MgcMatrix3 m = fromEigen(expected.toRotationMatrix());
    const Quaternion q(m);
    EXPECT_LT(rotationDistance(q, expected), 1e-14);
    EXPECT_LT(maxDifference(rotationMatrix(fromEigen(expected)), expected.toRotationMatrix()), 1e-15);
    EXPECT_LT(maxDifference(rotationMatrix(q), m), 1e-14);

    const MgcVector3 v = random.vector();
    EXPECT_LT((toEigen(q.Rotate(v)) - expected * toEigen(v)).cwiseAbs().maxCoeff(), 1e-14);

    const MgcVector3 axis = random.unitVector();
    const double angle = random.uniform(1e-3, 2.0 * kPi - 1e-3);
    const Quaternion fromAxis(axis, angle);
    EXPECT_LT(maxDifference(fromAxis, eigenAxisAngle(axis, angle)), 1e-15);
    MgcVector3 foundAxis;
    double foundAngle;
    fromAxis.ToAxisAngle(foundAxis, foundAngle);
    EXPECT_NEAR(foundAngle, angle, 1e-7);
    EXPECT_LT((foundAxis - axis).Length(), 1e-12);
  }
}

TEST(MgcQuaternion, AlgebraMatchesEigen) {
  Random random(33);
  for (int i = 0; i < 500; ++i) {
    const Eigen::Quaterniond a = zovtest::randomQuaternion(random);
    Eigen::Quaterniond b = zovtest::randomQuaternion(random);
    b.coeffs() *= 1.7;  // not unit, so that Inverse differs from Conjugate
    const Quaternion qa = fromEigen(a);
    const Quaternion qb = fromEigen(b);
    EXPECT_LT(maxDifference(qa * qb, a * b), 1e-15);
    EXPECT_LT(maxDifference(qb.Inverse(), b.inverse()), 1e-15);
    EXPECT_EQ(maxDifference(qb.Conjugate(), b.conjugate()), 0.0);
    EXPECT_NEAR(qa.Dot(qb), a.dot(b), 1e-15);
    EXPECT_NEAR(qb.Length(), b.norm(), 1e-15);

    Quaternion unit = qb;
    EXPECT_NEAR(unit.Normalize(), b.norm(), 1e-15);
    EXPECT_LT(maxDifference(unit, b.normalized()), 1e-15);

    // Exp and Log are inverse on unit quaternions.
    const MgcVector3 axis = random.unitVector();
    const double angle = random.uniform(1e-6, kPi - 1e-6);
    const Quaternion pure(0.0, angle * axis.x, angle * axis.y, angle * axis.z);
    const Eigen::Quaterniond exp(std::cos(angle), std::sin(angle) * axis.x, std::sin(angle) * axis.y,
                                 std::sin(angle) * axis.z);
    EXPECT_LT(maxDifference(pure.Exp(), exp), 1e-15);
    EXPECT_LT(maxDifference(fromEigen(exp).Log(), toEigen(pure)), 1e-9);
  }
  EXPECT_EQ(Quaternion::IDENTITY.Log(), Quaternion(0, 0, 0, 0));
}

// The edge cases of construction, arithmetic and comparison.
TEST(MgcQuaternion, DegenerateInputsGiveDefinedResults) {
  const double largest = std::numeric_limits<double>::max();
  for (const double zero : {0.0, -0.0}) {
    Quaternion divided(0.5, -0.5, 0.5, 0.5);
    EXPECT_EQ(divided / zero, Quaternion(largest, largest, largest, largest));
    divided /= zero;
    EXPECT_EQ(divided, Quaternion(largest, largest, largest, largest));
  }
  Quaternion zero = Quaternion::ZERO;
  EXPECT_EQ(zero.Normalize(), 0.0);
  EXPECT_EQ(zero, Quaternion::ZERO);
  EXPECT_EQ(Quaternion::ZERO.Inverse(), Quaternion::ZERO);
  EXPECT_EQ(Quaternion::ZERO.Exp(), Quaternion::IDENTITY);
  // A half turn about x has trace -1 and is read from the m00 branch.
  EXPECT_EQ(Quaternion(MgcMatrix3(1, 0, 0, 0, -1, 0, 0, 0, -1)), Quaternion(0, 1, 0, 0));
  MgcVector3 axis;
  double angle = -1.0;
  Quaternion::IDENTITY.ToAxisAngle(axis, angle);
  EXPECT_EQ(angle, 0.0);
  EXPECT_EQ(axis, MgcVector3::UNIT_X);

  // Byte-wise equality: the two zeros differ, equal NaN patterns are equal.
  EXPECT_NE(Quaternion(0.0, 0, 0, 0), Quaternion(-0.0, 0, 0, 0));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(Quaternion(nan, 0, 0, 0), Quaternion(nan, 0, 0, 0));
}

TEST(MgcQuaternion, SlerpFollowsTheGreatArcWithoutSignFlip) {
  Random random(34);
  for (int i = 0; i < 500; ++i) {
    const Eigen::Quaterniond p = zovtest::randomQuaternion(random);
    const Eigen::Quaterniond q = zovtest::randomQuaternion(random);
    const double t = random.uniform(0.0, 1.0);
    Quaternion result;
    result.Slerp(t, fromEigen(p), fromEigen(q));
    if (p.dot(q) >= 0.0) {
      // Eigen's slerp takes the shorter arc, which is the only arc here.
      EXPECT_LT(maxDifference(result, p.slerp(t, q)), 1e-12);
    } else {
      // The longer arc, towards q itself rather than -q.
      EXPECT_LT(maxDifference(result, greatCircle(p, q, t)), 1e-12);
    }
    for (const int spins : {1, 2, -1}) {
      result.SlerpExtraSpins(t, fromEigen(p), fromEigen(q), spins);
      EXPECT_LT(maxDifference(result, greatCircle(p, q, t, spins)), 1e-12);
    }
  }
}

TEST(MgcQuaternion, SlerpOfCoincidentOrOppositeEndsStaysOnTheRotation) {
  const Quaternion p(MgcVector3(0.0, 0.6, 0.8), 1.1);
  for (const double t : {0.0, 0.25, 0.5, 1.0}) {
    Quaternion result;
    EXPECT_EQ(result.Slerp(t, p, p), p);
    // -p is the same rotation as p: the result stays p rather than passing
    // through 0 or blowing up.
    EXPECT_EQ(result.Slerp(t, p, -p), p);
    EXPECT_EQ(result.SlerpExtraSpins(t, p, -p, 1), p);
  }
  // Slerp(0.5) with p.q < 0 does not flip q: it passes through the
  // normalised sum of p and q, not of p and -q.
  const Quaternion a = Quaternion::IDENTITY;
  const Quaternion b(MgcVector3::UNIT_Z, 1.5 * kPi);  // w < 0
  Quaternion middle;
  middle.Slerp(0.5, a, b);
  Quaternion sum = a + b;
  sum.Normalize();
  EXPECT_LT(maxDifference(middle, toEigen(sum)), 1e-15);
}

TEST(MgcQuaternion, SquadMeetsItsEndsAndReducesToSlerp) {
  Random random(36);
  for (int i = 0; i < 100; ++i) {
    const Quaternion p = fromEigen(zovtest::randomQuaternion(random));
    Quaternion q = fromEigen(zovtest::randomQuaternion(random));
    if (p.Dot(q) < 0.0) q = -q;
    const Quaternion a = fromEigen(zovtest::randomQuaternion(random));
    const Quaternion b = fromEigen(zovtest::randomQuaternion(random));
    Quaternion result;
    EXPECT_LT(maxDifference(result.Squad(0.0, p, a, b, q), toEigen(p)), 1e-15);
    EXPECT_LT(maxDifference(result.Squad(1.0, p, a, b, q), toEigen(q)), 1e-15);
    const double t = random.uniform(0.0, 1.0);
    Quaternion slerp;
    slerp.Slerp(t, p, q);
    EXPECT_LT(maxDifference(result.Squad(t, p, p, q, q), toEigen(slerp)), 1e-12);

    // Control points placed symmetrically about q1 give q1 itself.
    const Quaternion step(random.unitVector(), random.uniform(0.1, 1.0));
    const Quaternion q1 = p;
    EXPECT_LT(maxDifference(result.Intermediate(q1 * step.Conjugate(), q1, q1 * step), toEigen(q1)), 1e-12);
  }
}

TEST(MgcQuaternion, AlignRotatesOneDirectionOntoAnother) {
  Random random(37);
  for (int i = 0; i < 500; ++i) {
    // Lengths other than 1 must not matter.
    const MgcVector3 from = random.unitVector() * random.uniform(0.1, 10.0);
    const MgcVector3 to = random.unitVector() * random.uniform(0.1, 10.0);
    Quaternion q;
    q.Align(from, to);
    const Eigen::Quaterniond expected = Eigen::Quaterniond::FromTwoVectors(toEigen(from), toEigen(to));
    EXPECT_LT(rotationDistance(q, expected), 1e-12);
    EXPECT_NEAR(q.Length(), 1.0, 1e-15);
  }
}

TEST(MgcQuaternion, AlignOfDegenerateDirectionsGivesUnitRotation) {
  const MgcVector3 v = MgcVector3(0.3, -0.4, 0.5) * (1.0 / std::sqrt(0.5));
  struct Case {
    const char* name;
    MgcVector3 from, to;
    double tolerance;
  };
  const Case cases[] = {
      {"opposite", v, -v, 1e-15},
      {"opposite, |y| > |x|", MgcVector3(0.0, 1.0, 0.0), MgcVector3(0.0, -1.0, 0.0), 1e-15},
      {"opposite along z", MgcVector3::UNIT_Z, -MgcVector3::UNIT_Z, 1e-15},
      // The bisector of nearly opposite directions carries the rounding of
      // their sum, relative to its length of about 2e-9.
      {"nearly opposite", v, -v + MgcVector3(1e-9, 0.0, -2e-9), 1e-6},
      {"same", v, v, 1e-15},
      {"same direction, other length", v, v * 3.0, 1e-15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Quaternion q;
    q.Align(c.from, c.to);
    EXPECT_NEAR(q.Length(), 1.0, 1e-15);
    const MgcVector3 target = c.to * (1.0 / c.to.Length());
    EXPECT_LT((q.Rotate(c.from * (1.0 / c.from.Length())) - target).Length(), c.tolerance);
  }

  // Exact opposites: a half turn about a unit axis perpendicular to v.
  Quaternion q;
  q.Align(v, -v);
  EXPECT_EQ(q.W(), 0.0);
  EXPECT_NEAR(MgcVector3(q.X(), q.Y(), q.Z()).Dot(v), 0.0, 1e-16);

  // Nothing to align: no rotation.
  EXPECT_EQ(q.Align(MgcVector3::ZERO, v), Quaternion::IDENTITY);
  EXPECT_EQ(q.Align(v, MgcVector3::ZERO), Quaternion::IDENTITY);
}

TEST(MgcQuaternion, TwistAndSwingRecomposeTheRotation) {
  Random random(38);
  for (int i = 0; i < 300; ++i) {
    const Quaternion q = fromEigen(zovtest::randomQuaternion(random));
    const MgcVector3 direction = random.unitVector();
    const MgcVector3 image = q.Rotate(direction);
    Quaternion twist, swing;

    q.DecomposeTwistTimesSwing(direction, twist, swing);
    EXPECT_LT(maxDifference(twist * swing, toEigen(q)), 1e-14);
    EXPECT_LT((swing.Rotate(direction) - image).Length(), 1e-12);
    EXPECT_LT((twist.Rotate(image) - image).Length(), 1e-12);  // turns about the image

    q.DecomposeSwingTimesTwist(direction, swing, twist);
    EXPECT_LT(maxDifference(swing * twist, toEigen(q)), 1e-14);
    EXPECT_LT((twist.Rotate(direction) - direction).Length(), 1e-12);
  }
}
