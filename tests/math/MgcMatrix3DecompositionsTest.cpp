#include <gtest/gtest.h>

#include <unsupported/Eigen/Polynomials>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "math/MgcMatrix3.h"
#include "math/Tolerances.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::maxDifference;
using zovtest::Random;
using zovtest::toEigen;

namespace {

// Exposes the protected building blocks.
struct MatrixProbe : MgcMatrix3 {
  using MgcMatrix3::MaxCubicRoot;
};

double frobenius(const MgcMatrix3& a) { return toEigen(a).norm(); }

Eigen::Matrix3d randomOrthogonal(Random& random) { return zovtest::randomQuaternion(random).toRotationMatrix(); }

// Families of test matrices: generic, badly scaled, rank-deficient, with a
// zero row or column, and orthogonal (three equal singular values).
std::vector<MgcMatrix3> matrixFamilies() {
  Random random(7u);
  std::vector<MgcMatrix3> matrices;
  for (double scale : {1e-7, 1.0, 100.0, 1e6}) {
    for (int i = 0; i < 300; ++i) {
      MgcMatrix3 a;
      for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) a[r][c] = scale * random.uniform(-1.0, 1.0);
      matrices.push_back(a);
    }
  }
  for (int rank = 1; rank <= 2; ++rank) {
    for (int i = 0; i < 300; ++i) {
      Eigen::Matrix3d m = Eigen::Matrix3d::Zero();
      for (int k = 0; k < rank; ++k) m += toEigen(random.vector()) * toEigen(random.vector()).transpose();
      matrices.push_back(zovtest::fromEigen(m));
    }
  }
  for (int i = 0; i < 300; ++i) {
    MgcMatrix3 a;
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) a[r][c] = random.uniform(-1.0, 1.0);
    const int zeroed = i % 6;
    for (int k = 0; k < 3; ++k) (zeroed < 3 ? a[k][zeroed] : a[zeroed - 3][k]) = 0.0;
    matrices.push_back(a);
  }
  for (int i = 0; i < 100; ++i)
    matrices.push_back(zovtest::fromEigen(Eigen::Matrix3d((i % 2 ? -2.5 : 1.0) * randomOrthogonal(random))));
  return matrices;
}

// Every matrix with entries in {-1, 0, 1}: exact zeros, ties and singular
// blocks in every position of the bidiagonal form.
std::vector<MgcMatrix3> ternaryMatrices() {
  std::vector<MgcMatrix3> matrices;
  for (int code = 0; code < 19683; ++code) {
    MgcMatrix3 a;
    int digits = code;
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c, digits /= 3) a[r][c] = digits % 3 - 1.0;
    matrices.push_back(a);
  }
  return matrices;
}

void expectSvdMatchesReference(const MgcMatrix3& a) {
  MgcMatrix3 L, R;
  MgcVector3 S;
  a.SingularValueDecomposition(L, S, R);
  const double size = std::max(frobenius(a), std::numeric_limits<double>::min());
  SCOPED_TRACE(::testing::PrintToString(toEigen(a)));

  // Converged off-diagonal entries of a relative kSvdTolerance are dropped.
  const double tolerance = 3.0 * zov::kSvdTolerance * size;
  const Eigen::Matrix3d rebuilt = toEigen(L) * toEigen(S).asDiagonal() * toEigen(R);
  ASSERT_LT((rebuilt - toEigen(a)).norm(), tolerance);
  EXPECT_LT((toEigen(L).transpose() * toEigen(L) - Eigen::Matrix3d::Identity()).norm(), 1e-13);
  EXPECT_LT((toEigen(R) * toEigen(R).transpose() - Eigen::Matrix3d::Identity()).norm(), 1e-13);

  Eigen::Vector3d values = toEigen(S);
  EXPECT_GE(values.minCoeff(), 0.0);
  std::sort(values.data(), values.data() + 3, std::greater<double>());
  const Eigen::Vector3d expected = Eigen::JacobiSVD<Eigen::Matrix3d>(toEigen(a)).singularValues();
  EXPECT_LT((values - expected).cwiseAbs().maxCoeff(), tolerance);
}

TEST(MgcMatrix3Decompositions, SingularValueDecompositionMatchesEigenOnMatrixFamilies) {
  for (const MgcMatrix3& a : matrixFamilies()) expectSvdMatchesReference(a);
}

TEST(MgcMatrix3Decompositions, SingularValueDecompositionHandlesEveryTernaryMatrix) {
  for (const MgcMatrix3& a : ternaryMatrices()) expectSvdMatchesReference(a);
}

TEST(MgcMatrix3Decompositions, SingularValueDecompositionMovesSignsIntoR) {
  // The first reflection flips row 0 into L, the third turns b11 negative,
  // and the sign pass moves that sign into row 1 of R.
  MgcMatrix3 L, R;
  MgcVector3 S;
  MgcMatrix3(-2.0, 0.0, 0.0, 0.0, 3.0, 0.0, 0.0, 0.0, 4.0).SingularValueDecomposition(L, S, R);
  EXPECT_EQ(L, MgcMatrix3(-1.0, 0.0, 0.0, 0.0, -1.0, 0.0, 0.0, 0.0, 1.0));
  EXPECT_EQ(S, MgcVector3(2.0, 3.0, 4.0));
  EXPECT_EQ(R, MgcMatrix3(1.0, 0.0, 0.0, 0.0, -1.0, 0.0, 0.0, 0.0, 1.0));
}

TEST(MgcMatrix3Decompositions, SingularValueDecompositionWritesValuesWhenItCannotConverge) {
  // A NaN never passes the convergence test, so the iteration runs out.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  MgcMatrix3 L, R;
  MgcVector3 S(7.0, 7.0, 7.0);
  MgcMatrix3(1.0, nan, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0).SingularValueDecomposition(L, S, R);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(std::isnan(S[i])) << i;
}

TEST(MgcMatrix3Decompositions, QduDecompositionMatchesEigenQr) {
  Random random(11u);
  for (int i = 0; i < 500; ++i) {
    MgcMatrix3 a;
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) a[r][c] = random.uniform(-1.0, 1.0);
    MgcMatrix3 Q, D, U;
    a.QDUDecomposition(Q, D, U);

    const Eigen::Matrix3d q = toEigen(Q);
    EXPECT_LT((q.transpose() * q - Eigen::Matrix3d::Identity()).norm(), 1e-12);
    EXPECT_NEAR(q.determinant(), 1.0, 1e-12);
    const Eigen::Matrix3d d = toEigen(D);
    EXPECT_EQ(d, Eigen::Matrix3d(d.diagonal().asDiagonal()));
    const Eigen::Matrix3d u = toEigen(U);
    EXPECT_EQ(u, Eigen::Matrix3d(u.triangularView<Eigen::UnitUpper>()));

    // QR is unique up to the signs of Q's columns and R's rows.
    const Eigen::HouseholderQR<Eigen::Matrix3d> qr(toEigen(a));
    const Eigen::Matrix3d expectedQ = qr.householderQ();
    const Eigen::Matrix3d expectedR = qr.matrixQR().triangularView<Eigen::Upper>();
    const Eigen::Matrix3d du = toEigen(D) * toEigen(U);
    for (int k = 0; k < 3; ++k) {
      const double sign = du(k, k) * expectedR(k, k) < 0.0 ? -1.0 : 1.0;
      EXPECT_LT((q.col(k) - sign * expectedQ.col(k)).cwiseAbs().maxCoeff(), 1e-10);
      EXPECT_LT((du.row(k) - sign * expectedR.row(k)).cwiseAbs().maxCoeff(), 1e-10);
    }
  }
}

TEST(MgcMatrix3Decompositions, QduDecompositionOfRotationIsTheRotation) {
  Random random(12u);
  const MgcMatrix3 rotation = zovtest::fromEigen(randomOrthogonal(random));
  MgcMatrix3 Q, D, U;
  rotation.QDUDecomposition(Q, D, U);
  EXPECT_LT(maxDifference(Q, rotation), 1e-14);
  EXPECT_LT(maxDifference(D, MgcMatrix3::IDENTITY), 1e-14);
  EXPECT_LT(maxDifference(U, MgcMatrix3::IDENTITY), 1e-14);
}

void expectEigenSystem(const MgcMatrix3& a) {
  double values[3];
  MgcVector3 vectors[3];
  a.EigenSolveSymmetric(values, vectors);
  SCOPED_TRACE(::testing::PrintToString(toEigen(a)));

  const Eigen::Matrix3d ea = toEigen(a);
  const double size = std::max(ea.cwiseAbs().maxCoeff(), std::numeric_limits<double>::min());
  const Eigen::Matrix3d v = toEigen(MgcMatrix3(vectors[0], vectors[1], vectors[2]));
  EXPECT_LT((v.transpose() * v - Eigen::Matrix3d::Identity()).norm(), 1e-14);
  EXPECT_NEAR(v.determinant(), 1.0, 1e-14);
  for (int i = 0; i < 3; ++i) EXPECT_LT((ea * v.col(i) - values[i] * v.col(i)).norm(), 1e-14 * size) << i;

  Eigen::Vector3d sorted(values[0], values[1], values[2]);
  std::sort(sorted.data(), sorted.data() + 3);
  const Eigen::Vector3d expected = Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d>(ea).eigenvalues();
  EXPECT_LT((sorted - expected).cwiseAbs().maxCoeff(), 1e-14 * size);
}

TEST(MgcMatrix3Decompositions, EigenSolveSymmetricMatchesEigen) {
  Random random(13u);
  // Small scales too: an entry is never dropped for being small in absolute terms.
  for (double scale : {1e-9, 1.0, 1e5}) {
    for (int i = 0; i < 400; ++i) {
      const double b = random.uniform(-1, 1), c = random.uniform(-1, 1), e = random.uniform(-1, 1);
      const MgcMatrix3 a(random.uniform(-1, 1), b, c, b, random.uniform(-1, 1), e, c, e, random.uniform(-1, 1));
      expectEigenSystem(a * scale);
    }
  }
  // Repeated and zero eigenvalues, and blocks that are already diagonal.
  const Eigen::Matrix3d q = randomOrthogonal(random);
  const MgcMatrix3 special[] = {
      MgcMatrix3::ZERO,
      MgcMatrix3::IDENTITY,
      MgcMatrix3(2.0, 0.0, 0.0, 0.0, 5.0, 0.0, 0.0, 0.0, 5.0),
      MgcMatrix3(1.0, 1.0, 0.0, 1.0, 1.0, 0.0, 0.0, 0.0, 0.0),
      MgcMatrix3(1.0, 0.0, 1e-7, 0.0, 1.0, 0.0, 1e-7, 0.0, 1.0),
      zovtest::fromEigen(Eigen::Matrix3d(q * Eigen::Vector3d(2.0, 2.0, -1.0).asDiagonal() * q.transpose())),
  };
  for (const MgcMatrix3& a : special) expectEigenSystem(a);
}

TEST(MgcMatrix3Decompositions, EigenSolveSymmetricLeavesValuesUnsorted) {
  double values[3];
  MgcVector3 vectors[3];
  MgcMatrix3(3.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 2.0).EigenSolveSymmetric(values, vectors);
  EXPECT_EQ(values[0], 3.0);
  EXPECT_EQ(values[1], 1.0);
  EXPECT_EQ(values[2], 2.0);
  EXPECT_EQ(vectors[0], MgcVector3::UNIT_X);
  EXPECT_EQ(vectors[1], MgcVector3::UNIT_Y);
  EXPECT_EQ(vectors[2], MgcVector3::UNIT_Z);
}

TEST(MgcMatrix3Decompositions, SpectralNormIsEigensLargestSingularValue) {
  for (const MgcMatrix3& a : matrixFamilies()) {
    const double expected = Eigen::JacobiSVD<Eigen::Matrix3d>(toEigen(a)).singularValues()[0];
    EXPECT_NEAR(a.SpectralNorm(), expected, 1e-14 * expected);
  }
  EXPECT_EQ(MgcMatrix3::ZERO.SpectralNorm(), 0.0);
}

TEST(MgcMatrix3Decompositions, MaxCubicRootMatchesPolynomialSolver) {
  Random random(17u);
  for (int i = 0; i < 2000; ++i) {
    // Three real roots, or one real root and a complex pair, at several scales.
    const double scale = std::pow(10.0, random.uniform(-3.0, 3.0));
    Eigen::Vector4d coefficients;  // c0, c1, c2, 1
    if (i % 2 == 0) {
      double roots[3] = {random.uniform(-1, 1), random.uniform(-1, 1), random.uniform(-1, 1)};
      std::sort(roots, roots + 3);
      if (roots[2] - roots[1] < 1e-3) continue;  // a near-double largest root is ill-conditioned
      for (double& root : roots) root *= scale;
      coefficients << -roots[0] * roots[1] * roots[2], roots[0] * roots[1] + roots[1] * roots[2] + roots[0] * roots[2],
          -(roots[0] + roots[1] + roots[2]), 1.0;
    } else {
      const double root = scale * random.uniform(-1, 1);
      const double re = scale * random.uniform(-1, 1);
      const double im = scale * random.uniform(0.1, 1);
      const double pairProduct = re * re + im * im;
      coefficients << -root * pairProduct, pairProduct + 2.0 * re * root, -(root + 2.0 * re), 1.0;
    }
    Eigen::PolynomialSolver<double, 3> solver(coefficients);
    std::vector<double> real;
    solver.realRoots(real, 1e-6 * scale);
    ASSERT_FALSE(real.empty());
    const double expected = *std::max_element(real.begin(), real.end());
    const double c[3] = {coefficients[0], coefficients[1], coefficients[2]};
    EXPECT_NEAR(MatrixProbe::MaxCubicRoot(c), expected, 1e-10 * scale) << coefficients.transpose();
  }
}

TEST(MgcMatrix3Decompositions, MaxCubicRootOfSpecialCubics) {
  struct Case {
    double c0, c1, c2;
    double root;
  };
  const Case cases[] = {
      {1.0, 0.0, 0.0, -1.0},    // x^3 + 1: monotone, its root away from the inflection
      {0.0, 0.0, 0.0, 0.0},     // x^3: triple root
      {-8.0, 12.0, -6.0, 2.0},  // (x - 2)^3
      {1.0, -1.0, -1.0, 1.0},   // (x - 1)^2 (x + 1): the largest root is double
      {-1.0, -1.0, 1.0, 1.0},   // (x + 1)^2 (x - 1): the smallest root is double
      {0.0, -1.0, 0.0, 1.0},    // x^3 - x
  };
  for (const Case& test : cases) {
    const double c[3] = {test.c0, test.c1, test.c2};
    EXPECT_NEAR(MatrixProbe::MaxCubicRoot(c), test.root, 1e-12) << test.c0 << " " << test.c1;
  }
}

}  // namespace
