#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "math/MgcMatrix3.h"
#include "math/SymmetricEigen.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using zov::sortEigenSystem;
using zov::symmetricTridiagonalize;
using zov::tridiagonalQL;
using zovtest::maxDifference;
using zovtest::Random;
using zovtest::toEigen;

namespace {

struct EigenSystem {
  bool converged = false;
  double values[3] = {0.0, 0.0, 0.0};
  MgcMatrix3 vectors;  // eigenvectors as columns
};

EigenSystem solve(const MgcMatrix3& a) {
  EigenSystem system;
  system.vectors = a;
  double sub[3];
  symmetricTridiagonalize(system.vectors, system.values, sub);
  system.converged = tridiagonalQL(3, system.values, sub, system.vectors);
  if (system.converged) sortEigenSystem(3, system.values, system.vectors);
  return system;
}

MgcMatrix3 symmetric(double a, double b, double c, double d, double e, double f) { return {a, b, c, b, d, e, c, e, f}; }

MgcMatrix3 randomSymmetric(Random& random, double scale) {
  return symmetric(random.uniform(-1, 1), random.uniform(-1, 1), random.uniform(-1, 1), random.uniform(-1, 1),
                   random.uniform(-1, 1), random.uniform(-1, 1)) *
         scale;
}

// Sorted eigenvalues that agree with Eigen's, orthonormal eigenvectors and
// A*v = lambda*v, all relative to the size of the matrix.
void expectEigenSystem(const MgcMatrix3& a, const EigenSystem& system) {
  ASSERT_TRUE(system.converged);
  const Eigen::Matrix3d ea = toEigen(a);
  const double size = std::max(ea.cwiseAbs().maxCoeff(), std::numeric_limits<double>::min());
  const Eigen::Vector3d expected = Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d>(ea).eigenvalues();
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(system.values[i], expected[i], 1e-13 * size);
  EXPECT_LE(system.values[0], system.values[1]);
  EXPECT_LE(system.values[1], system.values[2]);

  const Eigen::Matrix3d v = toEigen(system.vectors);
  EXPECT_LT((v.transpose() * v - Eigen::Matrix3d::Identity()).cwiseAbs().maxCoeff(), 1e-14);
  for (int i = 0; i < 3; ++i) {
    const Eigen::Vector3d residual = ea * v.col(i) - system.values[i] * v.col(i);
    EXPECT_LT(residual.cwiseAbs().maxCoeff(), 1e-14 * size);
  }
}

}  // namespace

TEST(SymmetricEigen, RandomSymmetricMatricesDecompose) {
  Random random(51);
  for (int i = 0; i < 2000; ++i) {
    const double scale = i % 4 == 0 ? std::pow(10.0, random.uniform(-100.0, 100.0)) : 1.0;
    const MgcMatrix3 a = randomSymmetric(random, scale);
    SCOPED_TRACE(i);
    expectEigenSystem(a, solve(a));
  }
}

TEST(SymmetricEigen, StructuredMatricesDecompose) {
  struct Case {
    const char* name;
    MgcMatrix3 a;
  };
  const double root2 = std::sqrt(2.0);
  const Case cases[] = {
      {"zero", MgcMatrix3::ZERO},
      {"multiple of identity", MgcMatrix3::IDENTITY * 2.0},
      {"double eigenvalue", symmetric(2, 1, 1, 2, 1, 2)},  // 1, 1, 4
      {"negative definite", symmetric(-4, 1, 0.5, -3, 0.2, -5)},
      {"corner zero, already tridiagonal", symmetric(2, 1, 0, 2, 1, 2)},
      {"tiny corner", symmetric(1, 0, 1e-300, 2, 0, 3)},
      {"tiny corner with b", symmetric(1, 1, 1e-300, 2, 0, 3)},
      {"tiny first row", symmetric(1, 1e-170, 1e-170, 2, 0.5, 3)},
      {"huge entries", symmetric(1e300, -2e300, 1e299, 3e300, 5e299, -1e300)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectEigenSystem(c.a, solve(c.a));
  }

  // Known spectra.
  const EigenSystem tridiagonal = solve(symmetric(2, 1, 0, 2, 1, 2));
  EXPECT_NEAR(tridiagonal.values[0], 2.0 - root2, 1e-15);
  EXPECT_NEAR(tridiagonal.values[1], 2.0, 1e-15);
  EXPECT_NEAR(tridiagonal.values[2], 2.0 + root2, 1e-15);
  const EigenSystem tinyCorner = solve(symmetric(1, 0, 1e-300, 2, 0, 3));
  EXPECT_EQ(tinyCorner.values[0], 1.0);
  EXPECT_EQ(tinyCorner.values[1], 2.0);
  EXPECT_EQ(tinyCorner.values[2], 3.0);
}

// A diagonal matrix needs no rotation: the eigenvectors are the coordinate
// axes, reordered with their eigenvalues.
TEST(SymmetricEigen, DiagonalMatrixGivesSortedAxes) {
  const EigenSystem system = solve(symmetric(3, 0, 0, 1, 0, 2));
  ASSERT_TRUE(system.converged);
  EXPECT_EQ(system.values[0], 1.0);
  EXPECT_EQ(system.values[1], 2.0);
  EXPECT_EQ(system.values[2], 3.0);
  EXPECT_EQ(system.vectors, MgcMatrix3(0, 0, 1, 1, 0, 0, 0, 1, 0));
}

TEST(SymmetricEigen, SortKeepsEqualValuesInOrder) {
  double values[3] = {2.0, 1.0, 1.0};
  MgcMatrix3 columns(1, 2, 3, 4, 5, 6, 7, 8, 9);
  sortEigenSystem(3, values, columns);
  EXPECT_EQ(values[0], 1.0);
  EXPECT_EQ(values[1], 1.0);
  EXPECT_EQ(values[2], 2.0);
  // Columns 1 and 2 (the two ones) keep their order; column 0 goes last.
  EXPECT_EQ(columns, MgcMatrix3(2, 3, 1, 5, 6, 4, 8, 9, 7));
}

TEST(SymmetricEigen, TridiagonalQLOfSmallerOrders) {
  double diag[3] = {1.0, 2.0, 3.0};
  double sub[3] = {5.0, 5.0, 0.0};
  MgcMatrix3 m = MgcMatrix3::IDENTITY;
  EXPECT_TRUE(tridiagonalQL(0, diag, sub, m));
  EXPECT_EQ(diag[0], 1.0);
  EXPECT_EQ(m, MgcMatrix3::IDENTITY);

  // Order 2: [[1, 5], [5, 2]] has eigenvalues 1.5 -+ sqrt(25.25).
  EXPECT_TRUE(tridiagonalQL(2, diag, sub, m));
  sortEigenSystem(2, diag, m);
  EXPECT_NEAR(diag[0], 1.5 - std::sqrt(25.25), 1e-14);
  EXPECT_NEAR(diag[1], 1.5 + std::sqrt(25.25), 1e-14);
  for (int i = 0; i < 2; ++i) {
    const double x = m[0][i], y = m[1][i];
    EXPECT_NEAR(1.0 * x + 5.0 * y, diag[i] * x, 1e-13);
    EXPECT_NEAR(5.0 * x + 2.0 * y, diag[i] * y, 1e-13);
  }
  EXPECT_EQ(m[2][2], 1.0);  // the third row and column are not touched
}

TEST(SymmetricEigen, NonFiniteInputFailsInsteadOfLooping) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(solve(symmetric(1, 2, 3, nan, 5, 6)).converged);
  EXPECT_FALSE(solve(symmetric(1, 2, 0, 4, nan, 6)).converged);
}
