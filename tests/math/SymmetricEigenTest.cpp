#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "math/MgcMatrix3.h"
#include "math/SymmetricEigen.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zov::sortEigenSystem;
using zov::tridiagonalQL;
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
  zov::symmetricTridiagonalize(system.vectors, system.values, sub);
  system.converged = tridiagonalQL(3, system.values, sub, system.vectors);
  if (system.converged) sortEigenSystem(3, system.values, system.vectors);
  return system;
}

MgcMatrix3 symmetric(double a, double b, double c, double d, double e, double f) { return {a, b, c, b, d, e, c, e, f}; }

// Sorted eigenvalues that agree with Eigen's, orthonormal eigenvectors and
// A v = lambda v, all relative to the size of the matrix.
void expectEigenSystem(const MgcMatrix3& a) {
  const EigenSystem system = solve(a);
  ASSERT_TRUE(system.converged);
  const Eigen::Matrix3d ea = toEigen(a);
  const double size = std::max(ea.cwiseAbs().maxCoeff(), std::numeric_limits<double>::min());
  const Eigen::Vector3d expected = Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d>(ea).eigenvalues();
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(system.values[i], expected[i], 1e-13 * size);
  EXPECT_LE(system.values[0], system.values[1]);
  EXPECT_LE(system.values[1], system.values[2]);
  const Eigen::Matrix3d v = toEigen(system.vectors);
  EXPECT_LT((v.transpose() * v - Eigen::Matrix3d::Identity()).cwiseAbs().maxCoeff(), 1e-14);
  for (int i = 0; i < 3; ++i)
    EXPECT_LT((ea * v.col(i) - system.values[i] * v.col(i)).cwiseAbs().maxCoeff(), 1e-14 * size);
}

}  // namespace

TEST(SymmetricEigen, RandomAndStructuredMatricesDecompose) {
  zovtest::Random random(51);
  for (int i = 0; i < 2000; ++i) {
    const double scale = i % 4 == 0 ? std::pow(10.0, random.uniform(-100.0, 100.0)) : 1.0;
    const MgcVector3 d = random.vector(), o = random.vector();
    SCOPED_TRACE(i);
    expectEigenSystem(symmetric(d.x, o.x, o.y, d.y, o.z, d.z) * scale);
  }
  const double tiny = 1e-300, small = 1e-170;
  for (const MgcMatrix3& a :
       {MgcMatrix3::ZERO, MgcMatrix3::IDENTITY * 2.0, symmetric(2, 1, 1, 2, 1, 2), symmetric(-4, 1, 0.5, -3, 0.2, -5),
        symmetric(1, 0, tiny, 2, 0, 3), symmetric(1, 1, tiny, 2, 0, 3), symmetric(1, small, small, 2, 0.5, 3),
        symmetric(1e300, -2e300, 1e299, 3e300, 5e299, -1e300)})
    expectEigenSystem(a);

  // Known spectra: a tridiagonal matrix, and a diagonal one whose axes are
  // reordered with their values.
  const EigenSystem tridiagonal = solve(symmetric(2, 1, 0, 2, 1, 2));
  EXPECT_NEAR(tridiagonal.values[0], 2.0 - std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(tridiagonal.values[1], 2.0, 1e-15);
  EXPECT_NEAR(tridiagonal.values[2], 2.0 + std::sqrt(2.0), 1e-15);
  const EigenSystem diagonal = solve(symmetric(3, 0, 0, 1, 0, 2));
  EXPECT_EQ(diagonal.vectors, MgcMatrix3(0, 0, 1, 1, 0, 0, 0, 1, 0));
  EXPECT_EQ(diagonal.values[0], 1.0);
}

TEST(SymmetricEigen, SortIsStableAndSmallerOrdersWork) {
  double values[3] = {2.0, 1.0, 1.0};
  MgcMatrix3 columns(1, 2, 3, 4, 5, 6, 7, 8, 9);
  sortEigenSystem(3, values, columns);
  EXPECT_EQ(columns, MgcMatrix3(2, 3, 1, 5, 6, 4, 8, 9, 7));  // the two ones keep their order

  // Order 2: [[1, 5], [5, 2]] has eigenvalues 1.5 -+ sqrt(25.25); order 0 does nothing.
  double diag[3] = {1.0, 2.0, 3.0}, sub[3] = {5.0, 5.0, 0.0};
  MgcMatrix3 m = MgcMatrix3::IDENTITY;
  EXPECT_TRUE(tridiagonalQL(0, diag, sub, m));
  EXPECT_TRUE(tridiagonalQL(2, diag, sub, m));
  sortEigenSystem(2, diag, m);
  EXPECT_NEAR(diag[0], 1.5 - std::sqrt(25.25), 1e-14);
  EXPECT_NEAR(diag[1], 1.5 + std::sqrt(25.25), 1e-14);
  for (int i = 0; i < 2; ++i) {
    EXPECT_NEAR(1.0 * m[0][i] + 5.0 * m[1][i], diag[i] * m[0][i], 1e-13);
    EXPECT_NEAR(5.0 * m[0][i] + 2.0 * m[1][i], diag[i] * m[1][i], 1e-13);
  }
  EXPECT_EQ(m[2][2], 1.0);  // the third row and column are not touched
}

TEST(SymmetricEigen, NonFiniteInputFailsInsteadOfLooping) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(solve(symmetric(1, 2, 3, nan, 5, 6)).converged);
  EXPECT_FALSE(solve(symmetric(1, 2, 0, 4, nan, 6)).converged);
}
