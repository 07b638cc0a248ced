#include <gtest/gtest.h>

#include <cmath>

#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "math/Tolerances.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::fromEigen;
using zovtest::maxDifference;
using zovtest::Random;
using zovtest::toEigen;

namespace {

MgcMatrix3 randomMatrix(Random& random) { return {random.vector(), random.vector(), random.vector()}; }

// The adjugate (transposed cofactor matrix) from 2x2 minors.
Eigen::Matrix3d adjugate(const Eigen::Matrix3d& a) {
  Eigen::Matrix3d adj;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      const int r0 = (r + 1) % 3, r1 = (r + 2) % 3, c0 = (c + 1) % 3, c1 = (c + 2) % 3;
      // Cyclic minors carry the cofactor sign already.
      adj(c, r) = a(r0, c0) * a(r1, c1) - a(r0, c1) * a(r1, c0);
    }
  }
  return adj;
}

}  // namespace

TEST(MgcMatrix3, VectorConstructorStoresColumns) {
  EXPECT_EQ(MgcMatrix3(MgcVector3::UNIT_X, MgcVector3::UNIT_Y, MgcVector3::UNIT_Z), MgcMatrix3::IDENTITY);
  const MgcMatrix3 m(MgcVector3(1, 2, 3), MgcVector3(4, 5, 6), MgcVector3(7, 8, 9));
  EXPECT_EQ(m[0][0], 1.0);
  EXPECT_EQ(m[0][1], 4.0);
  EXPECT_EQ(m[0][2], 7.0);
  EXPECT_EQ(m.GetColumn(2), MgcVector3(7, 8, 9));

  MgcMatrix3 withNaN = MgcMatrix3::IDENTITY;
  withNaN(1, 1) = std::nan("");
  EXPECT_FALSE(withNaN == withNaN);
  EXPECT_TRUE(withNaN != withNaN);
}

TEST(MgcMatrix3, ProductsMatchEigen) {
  Random random(11);
  for (int i = 0; i < 200; ++i) {
    const MgcMatrix3 a = randomMatrix(random);
    const MgcMatrix3 b = randomMatrix(random);
    const MgcVector3 u = random.vector();
    const MgcVector3 v = random.vector();
    const Eigen::Matrix3d ea = toEigen(a);
    const Eigen::Matrix3d eb = toEigen(b);

    EXPECT_LT(maxDifference(a * b, ea * eb), 1e-15);
    EXPECT_LT(maxDifference(a.TransposeTimes(b), ea.transpose() * eb), 1e-15);
    EXPECT_LT(maxDifference(a.TimesTranspose(b), ea * eb.transpose()), 1e-15);
    EXPECT_LT((toEigen(a * u) - ea * toEigen(u)).cwiseAbs().maxCoeff(), 1e-15);
    EXPECT_LT((toEigen(u * a) - ea.transpose() * toEigen(u)).cwiseAbs().maxCoeff(), 1e-15);
    EXPECT_NEAR(a.Determinant(), ea.determinant(), 1e-14);

    EXPECT_LT((toEigen(Mgc::SkewSymmetric(u) * v) - toEigen(u).cross(toEigen(v))).cwiseAbs().maxCoeff(), 1e-15);
  }
}

TEST(MgcMatrix3, InverseMatchesEigen) {
  Random random(12);
  for (int i = 0; i < 200; ++i) {
    const MgcMatrix3 a = randomMatrix(random) + MgcMatrix3::IDENTITY * 2.0;
    MgcMatrix3 inverse;
    ASSERT_TRUE(a.Inverse(inverse, zov::kInertiaInverseTolerance));
    const Eigen::Matrix3d expected = toEigen(a).inverse();
    EXPECT_LT(maxDifference(inverse, expected), 1e-12);
    EXPECT_EQ(a.Inverse(zov::kInertiaInverseTolerance), inverse);
  }
}

// A singular matrix reports false and leaves its adjugate in the output; the
// by-value form gives ZERO rather than that adjugate.
TEST(MgcMatrix3, InverseOfSingularMatrixIsZero) {
  struct Case {
    const char* name;
    MgcMatrix3 m;
  };
  const Case cases[] = {
      {"zero", MgcMatrix3::ZERO},
      {"rank two", MgcMatrix3(1, 2, 3, 4, 5, 6, 7, 8, 9)},
      {"rank one", MgcMatrix3(1, 2, 3, 2, 4, 6, -1, -2, -3)},
      {"determinant below tolerance", MgcMatrix3::IDENTITY * 1e-3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MgcMatrix3 out = MgcMatrix3::IDENTITY;
    EXPECT_FALSE(c.m.Inverse(out, MgcMatrix3::EPSILON));
    EXPECT_LT(maxDifference(out, adjugate(toEigen(c.m))), 1e-15);
    EXPECT_EQ(c.m.Inverse(MgcMatrix3::EPSILON), MgcMatrix3::ZERO);
  }
}
