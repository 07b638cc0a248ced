#include <gtest/gtest.h>

#include <cmath>

#include "math/MgcQuaternion.h"
#include "math/MgcVector3.h"
#include "support/MathTestUtil.h"

using Mgc::MgcVector3;
using Mgc::Quaternion;
using zovtest::fromEigen;
using zovtest::Random;
using zovtest::rotationDistance;
using zovtest::toEigen;

// Directions that are opposite, or nearly so, given with different lengths:
// the rotation is a unit quaternion that takes the one onto the other (a
// half turn, or nearly), never a rotation that leaves the first in place.
TEST(QuaternionLimits, AlignOfNearlyOppositeDirectionsIsAHalfTurn) {
  Random random(51);
  for (const double offset : {0.0, 1e-15, 1e-12, 1e-9, 1e-6}) {
    SCOPED_TRACE(testing::Message() << "offset " << offset);
    for (int i = 0; i < 2000; ++i) {
      const MgcVector3 v = random.unitVector();
      const MgcVector3 from = v * random.uniform(0.01, 100.0);
      const MgcVector3 to = (-v + random.unitVector() * offset) * random.uniform(0.01, 100.0);
      Quaternion q;
      q.Align(from, to);
      EXPECT_NEAR(q.Length(), 1.0, 1e-15);
      const MgcVector3 image = q.Rotate(from * (1.0 / from.Length()));
      EXPECT_LT((image - to * (1.0 / to.Length())).Length(), 1e-14);
    }
  }
}

// Unit quaternions that are opposite only to within rounding are the same
// rotation: Slerp between them stays on it with unit length.
TEST(QuaternionLimits, SlerpOfOppositeQuaternionsWithinRoundingStaysUnit) {
  Random random(52);
  for (int i = 0; i < 2000; ++i) {
    const Eigen::Quaterniond e = zovtest::randomQuaternion(random);
    Eigen::Quaterniond opposite(-e.coeffs() * random.uniform(0.1, 10.0));
    opposite.normalize();
    const Quaternion p = fromEigen(e);
    const Quaternion q = fromEigen(opposite);
    for (const double t : {0.25, 0.5, 0.75}) {
      Quaternion result;
      result.Slerp(t, p, q);
      EXPECT_NEAR(result.Length(), 1.0, 1e-14);
      EXPECT_LT(rotationDistance(result, e), 1e-14);
    }
  }
}
