#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "support/EulerOrders.h"
#include "support/MathTestUtil.h"

using namespace Mgc;
using namespace zovtest;

namespace {

MgcMatrix3 axisAngle(const MgcVector3& axis, double angle) {
  MgcMatrix3 m;
  m.FromAxisAngle(axis, angle);
  return m;
}

zovref::Quat about(int axis, double angle) { return zovref::axisAngleQuat(angle, zovref::Vec3::unit(axis)); }

}  // namespace

// Random axes and angles; then angles so close to 0 or to a half turn that the
// skew-symmetric part is too short to unitise, and half turns, about random
// and coordinate axes. The axis read back is a unit vector and rebuilds the
// rotation (a half turn about -axis is the same rotation). Slerp and
// Orthonormalize run on the same rotations.
TEST(MgcMatrix3Rotation, AxisAngleSlerpAndOrthonormalizeMatchEigen) {
  Random random(1);
  const double special[] = {kPi, kPi - 1e-7, kPi - 4e-7, 1e-7};
  for (int i = 0; i < 540; ++i) {
    MgcVector3 axis = i < 520 ? random.unitVector() : MgcMatrix3::IDENTITY.GetColumn(i / 4 % 3);
    const double angle = i < 500 ? random.uniform(1e-3, kPi - 1e-3) * (i % 2 ? 1.0 : -2.0) : special[i % 4];
    const zovref::Mat3 expected = zovref::axisAngleMatrix(angle, toRef(axis));
    EXPECT_LT(maxDifference(axisAngle(axis, angle), expected), 1e-14);
    if (angle < 0.0) continue;
    // The angle comes from the arc cosine of the trace, which near a half turn
    // resolves about sqrt(machine epsilon).
    const double tolerance = i < 500 ? 1e-12 : 5e-8;
    MgcVector3 foundAxis;
    double foundAngle;
    fromRef(expected).ToAxisAngle(foundAxis, foundAngle);
    EXPECT_NEAR(foundAxis.Length(), 1.0, 1e-12) << i;
    EXPECT_NEAR(foundAngle, angle, tolerance) << i;
    EXPECT_LT(maxDifference(axisAngle(foundAxis, foundAngle), expected), tolerance) << i;

    // Slerp from a random rotation towards its product with this one runs
    // about the axis (a half turn has no one way to go).
    const zovref::Mat3 start = toRef(random.rotation());
    const double t = random.uniform(0.0, 1.0);
    const zovref::Mat3 between = start * zovref::axisAngleMatrix(t * angle, toRef(axis));
    if (angle < kPi) {
      EXPECT_LT(maxDifference(MgcMatrix3::Slerp(t, fromRef(start), fromRef(start * expected)), between), tolerance);
    }
    // Gram-Schmidt over the columns of a perturbed rotation is the QR
    // factorisation with a positive diagonal: Q is orthonormal and Q^T A upper
    // triangular with positive diagonal.
    const MgcMatrix3 a =
        fromRef(expected) + MgcMatrix3(random.vector(-0.1, 0.1), random.vector(-0.1, 0.1), random.vector(-0.1, 0.1));
    MgcMatrix3 q = a;
    q.Orthonormalize();
    EXPECT_LT(maxDifference(q.TransposeTimes(q), MgcMatrix3::IDENTITY), 1e-14);
    const MgcMatrix3 r = q.TransposeTimes(a);
    EXPECT_LT(std::max({std::fabs(r[1][0]), std::fabs(r[2][0]), std::fabs(r[2][1])}), 1e-14);
    EXPECT_GT(std::min({r[0][0], r[1][1], r[2][2]}), 0.0);
  }
  MgcVector3 axis(0.0, 0.0, 0.0);
  double angle = -1.0;
  MgcMatrix3::IDENTITY.ToAxisAngle(axis, angle);
  EXPECT_EQ(angle, 0.0);
  EXPECT_EQ(axis, MgcVector3::UNIT_X);
}

// Middle angles inside their range read back as they were built, with the
// outer angles; the builders agree with the textbook products. At a limit of
// the range (0 or pi for the proper orders, +-pi/2 for the others), built from
// exact axis rotations, only the sum or difference of the outer angles is
// determined: the extraction reports false, puts it all in a0 and sets a2 = 0.
// Within rounding of a limit, built through quaternion products whose entries
// carry rounding noise, the angles read back still rebuild the rotation.
TEST(EulerLimits, AnglesInsideAtAndNearTheLimitsRebuildTheRotation) {
  const double offsets[] = {0.0, 1e-300, 1e-12, -1e-12, 1e-9, -1e-9, 2e-8, -2e-8, 1e-7, -1e-7, 1e-3};
  Random random(21);
  for (const EulerOrder& order : kEulerOrders) {
    const double limits[2] = {order.proper ? 0.0 : -0.5 * kPi, order.proper ? kPi : 0.5 * kPi};
    for (const double limit : limits) {
      for (const double offset : offsets) {
        for (int i = 0; i < 20; ++i) {
          // Step inside the range of the middle angle; the last offset stands
          // for anywhere inside.
          const double step = offset == 1e-3 ? random.uniform(1e-3, 0.5 * kPi - 1e-3) : std::fabs(offset);
          const double a0 = random.uniform(-kPi, kPi), a1 = limit == limits[0] ? limit + step : limit - step,
                       a2 = random.uniform(-kPi, kPi);
          SCOPED_TRACE(testing::Message() << order.name << " a1 = " << a1);
          const bool exact = offset == 0.0 && i % 2 == 0, inside = offset == 1e-3;
          // A proper order's rotation about its first axis alone, given by
          // axis and angle, is the limit a1 = 0 however its diagonal rounds.
          const bool aboutFirst = offset == 0.0 && i % 2 == 1 && order.proper && limit == 0.0;
          const zovref::Quat q = about(order.axes[0], a0) * about(order.axes[1], a1) * about(order.axes[2], a2);
          MgcMatrix3 m = fromRef(exact || inside ? eulerReference(order, a0, a1, a2) : toRotationMatrix(normalized(q)));
          if (aboutFirst) m = axisAngle(MgcMatrix3::IDENTITY.GetColumn(order.axes[0]), a0 + a2);
          double b0, b1 = 0.5, b2 = 0.5;
          const bool regular = (m.*order.to)(b0, b1, b2);
          ASSERT_TRUE(std::isfinite(b0) && std::isfinite(b1) && std::isfinite(b2));
          EXPECT_LT(maxDifference(m, eulerReference(order, b0, b1, b2)), exact || inside ? 1e-12 : 1e-7);
          EXPECT_LT(aboutFirst ? b1 : 0.0, 1e-7);
          if (exact) {
            EXPECT_FALSE(regular);
            EXPECT_EQ(b1, limit);
            EXPECT_EQ(b2, 0.0);
          }
          if (inside) {
            EXPECT_TRUE(regular);
            EXPECT_LT(angleDistance(b0, a0) + std::fabs(b1 - a1) + angleDistance(b2, a2), 1e-9);
          }
          if (inside && order.from != nullptr) {
            MgcMatrix3 built;
            (built.*order.from)(a0, a1, a2);
            EXPECT_LT(maxDifference(built, m), 1e-14);
          }
        }
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
