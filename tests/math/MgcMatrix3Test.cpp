#include <gtest/gtest.h>

#include <cmath>

#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "math/Tolerances.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::maxDifference;
using zovtest::toEigen;

TEST(MgcMatrix3, ArithmeticMatchesEigen) {
  EXPECT_EQ(MgcMatrix3(MgcVector3(1, 2, 3), MgcVector3(4, 5, 6), MgcVector3(7, 8, 9)),
            MgcMatrix3(1, 4, 7, 2, 5, 8, 3, 6, 9));  // vectors are columns
  MgcMatrix3 withNaN = MgcMatrix3::IDENTITY;
  withNaN(1, 1) = std::nan("");
  EXPECT_FALSE(withNaN == withNaN);

  zovtest::Random random(11);
  for (int i = 0; i < 200; ++i) {
    const MgcMatrix3 a(random.vector(), random.vector(), random.vector());
    const MgcMatrix3 b(random.vector(), random.vector(), random.vector());
    const MgcVector3 u = random.vector(), v = random.vector();
    const Eigen::Matrix3d ea = toEigen(a), eb = toEigen(b);
    EXPECT_LT(maxDifference(a * b, ea * eb), 1e-15);
    EXPECT_LT(maxDifference(a.TransposeTimes(b), ea.transpose() * eb), 1e-15);
    EXPECT_LT(maxDifference(a.TimesTranspose(b), ea * eb.transpose()), 1e-15);
    EXPECT_LT((toEigen(a * u) - ea * toEigen(u)).cwiseAbs().maxCoeff(), 1e-15);
    EXPECT_LT((toEigen(u * a) - ea.transpose() * toEigen(u)).cwiseAbs().maxCoeff(), 1e-15);
    EXPECT_NEAR(a.Determinant(), ea.determinant(), 1e-14);
    EXPECT_LT((toEigen(Mgc::SkewSymmetric(u) * v) - toEigen(u).cross(toEigen(v))).cwiseAbs().maxCoeff(), 1e-15);

    const MgcMatrix3 shifted = a + MgcMatrix3::IDENTITY * 2.0;
    MgcMatrix3 inverse;
    ASSERT_TRUE(shifted.Inverse(inverse, zov::kInertiaInverseTolerance));
    EXPECT_LT(maxDifference(inverse, toEigen(shifted).inverse()), 1e-12);
    EXPECT_EQ(shifted.Inverse(zov::kInertiaInverseTolerance), inverse);
  }
}

// A singular matrix reports false and leaves its adjugate (the transposed
// cofactors, here from 2x2 minors) in the output; the by-value form gives ZERO.
TEST(MgcMatrix3, InverseOfSingularMatrixIsZero) {
  for (const MgcMatrix3& m : {MgcMatrix3::ZERO, MgcMatrix3(1, 2, 3, 4, 5, 6, 7, 8, 9),
                              MgcMatrix3(1, 2, 3, 2, 4, 6, -1, -2, -3), MgcMatrix3::IDENTITY * 1e-3}) {
    MgcMatrix3 out = MgcMatrix3::IDENTITY, adjugate;
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c)  // cyclic minors carry the cofactor sign already
        adjugate[c][r] = m[(r + 1) % 3][(c + 1) % 3] * m[(r + 2) % 3][(c + 2) % 3] -
                         m[(r + 1) % 3][(c + 2) % 3] * m[(r + 2) % 3][(c + 1) % 3];
    EXPECT_FALSE(m.Inverse(out, MgcMatrix3::EPSILON));
    EXPECT_LT(maxDifference(out, adjugate), 1e-15);
    EXPECT_EQ(m.Inverse(MgcMatrix3::EPSILON), MgcMatrix3::ZERO);
  }
}
