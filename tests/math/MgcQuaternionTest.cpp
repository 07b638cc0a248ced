#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "math/MgcMatrix3.h"
#include "math/MgcQuaternion.h"
#include "math/MgcVector3.h"
#include "support/MathTestUtil.h"

using namespace Mgc;
using namespace zovtest;
using zovref::Quat;

namespace {

Quat refAxisAngle(const MgcVector3& axis, double angle) { return zovref::axisAngleQuat(angle, toRef(axis)); }

// The point at t on the great circle from unit p through unit q (not through
// -q), written from the circle's orthonormal frame (p, q_perp).
Quat greatCircle(const Quat& p, const Quat& q, double t, int extraHalfCircles = 0) {
  const double angle = std::acos(std::clamp(dot(p, q), -1.0, 1.0));
  const Quat perpendicular = normalized(q - dot(p, q) * p);
  const double travelled = t * (angle + extraHalfCircles * kPi);
  return std::cos(travelled) * p + std::sin(travelled) * perpendicular;
}

}  // namespace

TEST(MgcQuaternion, ConversionsAndAlgebraMatchEigen) {
  Random random(31);
  for (int i = 0; i < 1000; ++i) {
    // Every fourth rotation is by more than 2*pi/3 (negative trace) about an
    // axis near x, y or z, so that every branch of the conversion from a
    // matrix runs.
    Quat a = randomQuaternion(random);
    if (i % 4 != 0) {
      MgcVector3 axis = random.vector(-0.3, 0.3);
      axis[i % 3] = 1.0;
      a = refAxisAngle(axis * (1.0 / axis.Length()), random.uniform(2.2, kPi));
    }
    const Quat b = 1.7 * randomQuaternion(random);  // not unit, so that Inverse differs from Conjugate
    const Quaternion qa = fromRef(a), qb = fromRef(b);
    EXPECT_LT(rotationDistance(Quaternion(fromRef(toRotationMatrix(a))), a), 1e-14);
    MgcMatrix3 m;
    qa.ToRotationMatrix(m);
    EXPECT_LT(maxDifference(m, toRotationMatrix(a)), 1e-15);
    const MgcVector3 v = random.vector();
    EXPECT_LT(zovref::maxAbs(toRef(qa.Rotate(v)) - a * toRef(v)), 1e-14);
    EXPECT_LT(maxDifference(qa * qb, a * b), 1e-15);
    EXPECT_LT(maxDifference(qb.Inverse(), zovref::inverse(b)), 1e-15);
    Quaternion unit = qb;
    EXPECT_NEAR(unit.Normalize(), zovref::norm(b), 1e-15);
    EXPECT_LT(maxDifference(unit, normalized(b)), 1e-15);

    const MgcVector3 axis = random.unitVector();
    const double angle = random.uniform(1e-3, 2.0 * kPi - 1e-3);
    const Quaternion fromAxis(axis, angle);
    EXPECT_LT(maxDifference(fromAxis, refAxisAngle(axis, angle)), 1e-15);
    MgcVector3 foundAxis;
    double foundAngle;
    fromAxis.ToAxisAngle(foundAxis, foundAngle);
    EXPECT_NEAR(foundAngle, angle, 1e-7);
    EXPECT_LT((foundAxis - axis).Length(), 1e-12);
    // Exp and Log are inverse on unit quaternions: (cos h, sin h * axis).
    const Quaternion pure(0.0, angle / 2 * axis.x, angle / 2 * axis.y, angle / 2 * axis.z);
    EXPECT_LT(maxDifference(pure.Exp(), toRef(fromAxis)), 1e-15);
    EXPECT_LT(maxDifference(fromAxis.Log(), toRef(pure)), 1e-9);

    // Twist about the direction's image times a swing that carries the
    // direction there, and swing times a twist about the direction itself.
    const MgcVector3 image = qa.Rotate(axis);
    Quaternion twist, swing;
    qa.DecomposeTwistTimesSwing(axis, twist, swing);
    EXPECT_LT(maxDifference(twist * swing, a), 1e-14);
    EXPECT_LT((swing.Rotate(axis) - image).Length() + (twist.Rotate(image) - image).Length(), 1e-12);
    qa.DecomposeSwingTimesTwist(axis, swing, twist);
    EXPECT_LT(maxDifference(swing * twist, a), 1e-14);
    EXPECT_LT((twist.Rotate(axis) - axis).Length(), 1e-12);
  }
}

// Division by zero, the zero quaternion, the identity's axis, byte-wise
// equality (the two zeros differ, equal NaN patterns are equal).
TEST(MgcQuaternion, DegenerateInputsGiveDefinedResults) {
  const double largest = std::numeric_limits<double>::max(), nan = std::numeric_limits<double>::quiet_NaN();
  for (const double zero : {0.0, -0.0}) {
    Quaternion divided(0.5, -0.5, 0.5, 0.5);
    EXPECT_EQ(divided / zero, Quaternion(largest, largest, largest, largest));
    EXPECT_EQ(divided /= zero, Quaternion(largest, largest, largest, largest));
  }
  Quaternion zero = Quaternion::ZERO;
  EXPECT_EQ(zero.Normalize(), 0.0);
  EXPECT_EQ(zero, Quaternion::ZERO);
  EXPECT_EQ(Quaternion::ZERO.Inverse(), Quaternion::ZERO);
  EXPECT_EQ(Quaternion::ZERO.Exp(), Quaternion::IDENTITY);
  EXPECT_EQ(Quaternion::IDENTITY.Log(), Quaternion::ZERO);
  MgcVector3 axis;
  double angle = -1.0;
  Quaternion::IDENTITY.ToAxisAngle(axis, angle);
  EXPECT_EQ(angle, 0.0);
  EXPECT_EQ(axis, MgcVector3::UNIT_X);
  EXPECT_NE(Quaternion(0.0, 0, 0, 0), Quaternion(-0.0, 0, 0, 0));
  EXPECT_EQ(Quaternion(nan, 0, 0, 0), Quaternion(nan, 0, 0, 0));
}

// Directions of any lengths, from opposite through nearly opposite and
// general to nearly the same: a unit quaternion that takes the one onto the
// other, the shortest such rotation where it is defined. Nothing to align
// gives no rotation.
TEST(QuaternionLimits, AlignTakesOneDirectionOntoAnotherAtAnyAngle) {
  Random random(51);
  Quaternion q;
  for (const double sign : {-1.0, 1.0}) {
    for (const double offset : {0.0, 1e-15, 1e-12, 1e-9, 1e-6, 1.0}) {
      SCOPED_TRACE(testing::Message() << "sign " << sign << " offset " << offset);
      for (int i = 0; i < 1000; ++i) {
        const MgcVector3 v = random.unitVector();
        const MgcVector3 from = v * random.uniform(0.01, 100.0);
        const MgcVector3 to = (v * sign + random.unitVector() * offset) * random.uniform(0.01, 100.0);
        q.Align(from, to);
        EXPECT_NEAR(q.Length(), 1.0, 1e-15);
        const MgcVector3 image = q.Rotate(from * (1.0 / from.Length()));
        EXPECT_LT((image - to * (1.0 / to.Length())).Length(), 1e-14);
        if (sign > 0.0 || offset == 1.0) {
          EXPECT_LT(rotationDistance(q, zovref::fromTwoVectors(toRef(from), toRef(to))), 1e-12);
        }
      }
    }
  }
  EXPECT_EQ(q.Align(MgcVector3::ZERO, MgcVector3::UNIT_X), Quaternion::IDENTITY);
  EXPECT_EQ(q.Align(MgcVector3::UNIT_X, MgcVector3::ZERO), Quaternion::IDENTITY);
}

// Slerp follows the great arc towards q itself, never flipping q to -q, extra
// spins adding half circles. Unit quaternions that are equal, or opposite
// exactly or to within rounding, are the same rotation: Slerp between them
// stays on it with unit length rather than passing through 0 or dividing by
// sin(0). Squad meets its ends and reduces to Slerp with coincident control
// points.
TEST(QuaternionLimits, SlerpFollowsTheGreatArcAndStaysOnOneRotation) {
  Random random(52);
  for (int i = 0; i < 2000; ++i) {
    const Quat p = randomQuaternion(random);
    Quat q = randomQuaternion(random);
    const int kind = i % 4;  // general, equal, opposite, opposite within rounding
    if (kind == 1) q = p;
    if (kind == 2) q = -p;
    if (kind == 3) q = normalized(random.uniform(0.1, 10.0) * -p);
    const double t = random.uniform(0.0, 1.0);
    Quaternion result;
    result.Slerp(t, fromRef(p), fromRef(q));
    EXPECT_NEAR(result.Length(), 1.0, 1e-14);
    EXPECT_LT(maxDifference(result, kind == 0 ? greatCircle(p, q, t) : p), 1e-12);
    // Extra half turns between equal ends have no plane to turn in.
    for (const int spins : {1, 2, -1}) {
      if (kind == 1) continue;
      result.SlerpExtraSpins(t, fromRef(p), fromRef(q), spins);
      EXPECT_LT(maxDifference(result, kind == 0 ? greatCircle(p, q, t, spins) : p), 1e-12);
    }
    if (kind != 0) continue;
    const Quaternion a = fromRef(randomQuaternion(random));
    EXPECT_LT(maxDifference(result.Squad(0.0, fromRef(p), a, a, fromRef(q)), p), 1e-15);
    EXPECT_LT(maxDifference(result.Squad(1.0, fromRef(p), a, a, fromRef(q)), q), 1e-15);
    EXPECT_LT(maxDifference(result.Squad(t, fromRef(p), fromRef(p), fromRef(q), fromRef(q)), greatCircle(p, q, t)),
              1e-12);
    // Control points placed symmetrically about q1 give q1 itself.
    const Quaternion step(random.unitVector(), random.uniform(0.1, 1.0));
    EXPECT_LT(maxDifference(result.Intermediate(a * step.Conjugate(), a, a * step), toRef(a)), 1e-12);
  }
}
