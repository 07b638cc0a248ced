#include <gtest/gtest.h>

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "math/MgcMatrix2.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix2;
using Mgc::MgcVector2;
using zovtest::Random;

namespace {

Eigen::Matrix2d toEigen2(const MgcMatrix2& a) {
  Eigen::Matrix2d e;
  e << a[0][0], a[0][1], a[1][0], a[1][1];
  return e;
}

// Generic matrices, rotations and scaled rotations (equal singular values),
// matrices with orthogonal rows or columns, singular ones and the zero matrix.
std::vector<MgcMatrix2> matrixFamilies() {
  Random random(21u);
  std::vector<MgcMatrix2> matrices;
  for (int i = 0; i < 500; ++i)
    matrices.emplace_back(random.uniform(-1, 1), random.uniform(-1, 1), random.uniform(-1, 1), random.uniform(-1, 1));
  for (int i = 0; i < 100; ++i) {
    MgcMatrix2 rotation;
    rotation.FromAngle(random.uniform(-3.0, 3.0));
    matrices.push_back(rotation * random.uniform(0.5, 2.0));
    const double x = random.uniform(-1, 1), y = random.uniform(-1, 1);
    matrices.emplace_back(x, 2.0 * x, y, 2.0 * y);  // rank 1
  }
  const MgcMatrix2 special[] = {
      {0.0, 2.0, 1.0, 0.0},  {0.0, 1.0, 2.0, 0.0}, {3.0, 0.0, 0.0, -4.0},
      {1.0, 1.0, 1.0, -1.0}, {0.0, 0.0, 0.0, 0.0}, {0.0, 0.0, 0.0, 5.0},
  };
  matrices.insert(matrices.end(), std::begin(special), std::end(special));
  return matrices;
}

TEST(MgcMatrix2Decompositions, SingularValueDecompositionMatchesEigen) {
  for (const MgcMatrix2& a : matrixFamilies()) {
    SCOPED_TRACE(::testing::PrintToString(toEigen2(a)));
    MgcMatrix2 L, R;
    MgcVector2 S;
    a.SingularValueDecomposition(L, S, R);

    const double size = std::max(toEigen2(a).norm(), 1.0);
    MgcMatrix2 rebuilt;
    rebuilt.SingularValueComposition(L, S, R);
    EXPECT_LT((toEigen2(rebuilt) - toEigen2(a)).norm(), 1e-14 * size);
    EXPECT_LT((toEigen2(L).transpose() * toEigen2(L) - Eigen::Matrix2d::Identity()).norm(), 1e-14);
    EXPECT_LT((toEigen2(R) * toEigen2(R).transpose() - Eigen::Matrix2d::Identity()).norm(), 1e-14);
    EXPECT_GE(std::min(S.x, S.y), 0.0);

    // Larger value first unless the rows are orthogonal, which keep their order.
    const Eigen::Vector2d expected = Eigen::JacobiSVD<Eigen::Matrix2d>(toEigen2(a)).singularValues();
    const bool rowsOrthogonal = a[0][0] * a[1][0] + a[0][1] * a[1][1] == 0.0;
    if (!rowsOrthogonal) {
      EXPECT_GE(S.x, S.y);
    }
    EXPECT_NEAR(std::max(S.x, S.y), expected[0], 1e-14 * size);
    EXPECT_NEAR(std::min(S.x, S.y), expected[1], 1e-14 * size);
  }
}

TEST(MgcMatrix2Decompositions, QduDecompositionRebuildsTheMatrix) {
  for (const MgcMatrix2& a : matrixFamilies()) {
    if (std::fabs(a.Determinant()) < 1e-3) continue;  // needs independent columns
    MgcMatrix2 Q;
    MgcVector2 D;
    double U;
    a.QDUDecomposition(Q, D, U);
    // Classical Gram-Schmidt loses orthogonality with the condition number.
    EXPECT_NEAR(Q.Determinant(), 1.0, 1e-12);
    EXPECT_LT((toEigen2(Q).transpose() * toEigen2(Q) - Eigen::Matrix2d::Identity()).norm(), 1e-12);
    const MgcMatrix2 rebuilt = Q * MgcMatrix2(D.x, D.x * U, 0.0, D.y);
    EXPECT_LT((toEigen2(rebuilt) - toEigen2(a)).norm(), 1e-13);
  }
}

TEST(MgcMatrix2Decompositions, EigenSolveSymmetricMatchesEigen) {
  Random random(22u);
  std::vector<MgcMatrix2> matrices = {MgcMatrix2::ZERO, MgcMatrix2::IDENTITY, {2.0, 0.0, 0.0, 1.0}};
  for (double scale : {1e-9, 1.0, 1e6}) {
    for (int i = 0; i < 300; ++i) {
      const double b = random.uniform(-1, 1);
      matrices.push_back(MgcMatrix2(random.uniform(-1, 1), b, b, random.uniform(-1, 1)) * scale);
    }
  }
  for (const MgcMatrix2& a : matrices) {
    double values[2];
    MgcVector2 vectors[2];
    a.EigenSolveSymmetric(values, vectors);

    const Eigen::Matrix2d ea = toEigen2(a);
    const double size = std::max(ea.cwiseAbs().maxCoeff(), std::numeric_limits<double>::min());
    Eigen::Matrix2d v;
    v << vectors[0].x, vectors[1].x, vectors[0].y, vectors[1].y;
    EXPECT_NEAR(v.determinant(), 1.0, 1e-14);
    EXPECT_LT((v.transpose() * v - Eigen::Matrix2d::Identity()).norm(), 1e-14);
    for (int i = 0; i < 2; ++i) EXPECT_LT((ea * v.col(i) - values[i] * v.col(i)).norm(), 1e-14 * size);
    const Eigen::Vector2d expected = Eigen::SelfAdjointEigenSolver<Eigen::Matrix2d>(ea).eigenvalues();
    EXPECT_NEAR(std::min(values[0], values[1]), expected[0], 1e-14 * size);
    EXPECT_NEAR(std::max(values[0], values[1]), expected[1], 1e-14 * size);
  }
}

TEST(MgcMatrix2Decompositions, SpectralNormIsEigensLargestSingularValue) {
  for (const MgcMatrix2& a : matrixFamilies()) {
    const double expected = Eigen::JacobiSVD<Eigen::Matrix2d>(toEigen2(a)).singularValues()[0];
    EXPECT_NEAR(a.SpectralNorm(), expected, 1e-14 * std::max(expected, 1.0));
  }
  EXPECT_NEAR(MgcMatrix2(3e200, 0.0, 0.0, 4e200).SpectralNorm(), 4e200, 1e186);
}

}  // namespace
