#include <gtest/gtest.h>

#include <Eigen/Dense>

#include <cmath>

#include "math/MgcMatrix2.h"
#include "math/MgcVector2.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix2;
using Mgc::MgcVector2;
using zovtest::kPi;
using zovtest::Random;

namespace {

Eigen::Matrix2d toEigen2(const MgcMatrix2& m) {
  Eigen::Matrix2d e;
  e << m[0][0], m[0][1], m[1][0], m[1][1];
  return e;
}

double maxDifference2(const MgcMatrix2& a, const Eigen::Matrix2d& b) { return (toEigen2(a) - b).cwiseAbs().maxCoeff(); }

MgcMatrix2 randomMatrix2(Random& random) {
  return {random.uniform(-1, 1), random.uniform(-1, 1), random.uniform(-1, 1), random.uniform(-1, 1)};
}

}  // namespace

TEST(MgcMatrix2, ProductsMatchEigen) {
  Random random(21);
  for (int i = 0; i < 200; ++i) {
    const MgcMatrix2 a = randomMatrix2(random);
    const MgcMatrix2 b = randomMatrix2(random);
    const MgcVector2 u(random.uniform(-1, 1), random.uniform(-1, 1));
    const Eigen::Matrix2d ea = toEigen2(a);
    const Eigen::Vector2d eu(u.x, u.y);

    EXPECT_LT(maxDifference2(a * b, ea * toEigen2(b)), 1e-15);
    const MgcVector2 column = a * u;
    const MgcVector2 row = u * a;
    EXPECT_LT((Eigen::Vector2d(column.x, column.y) - ea * eu).cwiseAbs().maxCoeff(), 1e-15);
    EXPECT_LT((Eigen::Vector2d(row.x, row.y) - ea.transpose() * eu).cwiseAbs().maxCoeff(), 1e-15);
    EXPECT_NEAR(a.Determinant(), ea.determinant(), 1e-15);
  }
}

TEST(MgcMatrix2, InverseMatchesEigenAndSingularGivesZero) {
  Random random(22);
  for (int i = 0; i < 100; ++i) {
    const MgcMatrix2 a = randomMatrix2(random) + MgcMatrix2::IDENTITY * 2.0;
    MgcMatrix2 inverse;
    ASSERT_TRUE(a.Inverse(inverse, MgcMatrix2::EPSILON));
    EXPECT_LT(maxDifference2(inverse, toEigen2(a).inverse()), 1e-13);
    EXPECT_EQ(a.Inverse(MgcMatrix2::EPSILON), inverse);
  }

  const MgcMatrix2 singular[] = {MgcMatrix2::ZERO, MgcMatrix2(1, 2, 2, 4), MgcMatrix2::IDENTITY * 1e-4};
  for (const MgcMatrix2& m : singular) {
    MgcMatrix2 out(5, 6, 7, 8);
    EXPECT_FALSE(m.Inverse(out, MgcMatrix2::EPSILON));
    EXPECT_EQ(out, MgcMatrix2(5, 6, 7, 8));
    EXPECT_EQ(m.Inverse(MgcMatrix2::EPSILON), MgcMatrix2::ZERO);
  }
}

TEST(MgcMatrix2, AngleConversionsMatchEigenRotation) {
  Random random(23);
  for (int i = 0; i < 200; ++i) {
    const double angle = random.uniform(-kPi, kPi);
    MgcMatrix2 m;
    m.FromAngle(angle);
    EXPECT_LT(maxDifference2(m, Eigen::Rotation2Dd(angle).toRotationMatrix()), 1e-15);
    EXPECT_NEAR(m.ToAngle(), angle, 1e-14);
  }
}

TEST(MgcMatrix2, OrthonormalizeIsGramSchmidtOverColumns) {
  Random random(24);
  for (int i = 0; i < 100; ++i) {
    const MgcMatrix2 a = randomMatrix2(random) + MgcMatrix2::IDENTITY * 2.0;
    MgcMatrix2 q = a;
    q.Orthonormalize();
    const Eigen::Matrix2d eq = toEigen2(q);
    EXPECT_LT((eq.transpose() * eq - Eigen::Matrix2d::Identity()).cwiseAbs().maxCoeff(), 1e-15);
    const Eigen::Matrix2d r = eq.transpose() * toEigen2(a);
    EXPECT_NEAR(r(1, 0), 0.0, 4e-15);
    EXPECT_GT(r(0, 0), 0.0);
    EXPECT_GT(r(1, 1), 0.0);
  }
}
