// MgcMatrix3's arithmetic and decompositions, and the separate symmetric
// eigen solver, against Eigen.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "math/SymmetricEigen.h"
#include "math/Tolerances.h"
#include "support/MathTestUtil.h"

using namespace Mgc;
using namespace zovtest;
using zovref::Mat3;
using zovref::Vec3;

namespace {

// Exposes the protected building block.
struct MatrixProbe : MgcMatrix3 {
  using MgcMatrix3::MaxCubicRoot;
};

MgcMatrix3 randomMatrix(Random& random, double scale) {
  return MgcMatrix3(random.vector(), random.vector(), random.vector()) * scale;
}

MgcMatrix3 symmetric(double a, double b, double c, double d, double e, double f) { return {a, b, c, b, d, e, c, e, f}; }

// The diagonal of m alone, and its upper triangle over a unit diagonal.
Mat3 diagonalPart(const Mat3& m) { return Mat3::diagonal({m(0, 0), m(1, 1), m(2, 2)}); }

Mat3 unitUpperPart(const Mat3& m) {
  Mat3 u = m;
  for (int r = 0; r < 3; ++r) {
    u(r, r) = 1.0;
    for (int c = 0; c < r; ++c) u(r, c) = 0.0;
  }
  return u;
}

double size(const MgcMatrix3& a) { return std::max(zovref::maxAbs(toRef(a)), std::numeric_limits<double>::min()); }

// Generic and badly scaled matrices, rank one and two, a zero row or column,
// scaled orthogonal matrices (three equal singular values), and every matrix
// with entries in {-1, 0, 1}: exact zeros and ties in every position.
std::vector<MgcMatrix3> matrixFamilies() {
  Random random(7u);
  std::vector<MgcMatrix3> matrices;
  for (double scale : {1e-7, 1.0, 100.0, 1e6})
    for (int i = 0; i < 300; ++i) matrices.push_back(randomMatrix(random, scale));
  for (int i = 0; i < 300; ++i) {
    const Mat3 one = zovref::outer(toRef(random.vector()), toRef(random.vector()));
    matrices.push_back(fromRef(one));
    matrices.push_back(fromRef(one + zovref::outer(toRef(random.vector()), toRef(random.vector()))));
    MgcMatrix3 a = randomMatrix(random, 1.0);
    for (int k = 0; k < 3; ++k) (i % 6 < 3 ? a[k][i % 3] : a[i % 3][k]) = 0.0;
    matrices.push_back(a);
  }
  for (int i = 0; i < 100; ++i) matrices.push_back(random.rotation() * (i % 2 ? -2.5 : 1.0));
  for (int code = 0; code < 19683; ++code) {
    MgcMatrix3 a;
    for (int k = 0, digits = code; k < 9; ++k, digits /= 3) a[k / 3][k % 3] = digits % 3 - 1.0;
    matrices.push_back(a);
  }
  return matrices;
}

// Eigenvalues that agree with Eigen's, orthonormal eigenvectors in the
// columns, A v = lambda v, all relative to the size of the matrix.
void expectEigenSystem(const MgcMatrix3& a, const double values[3], const MgcMatrix3& vectors) {
  const Mat3 ea = toRef(a), v = toRef(vectors);
  EXPECT_LT(zovref::norm(transpose(v) * v - Mat3::identity()), 1e-14);
  for (int i = 0; i < 3; ++i) EXPECT_LT(zovref::maxAbs(ea * v.col(i) - values[i] * v.col(i)), 1e-14 * size(a)) << i;
  Vec3 sorted(values[0], values[1], values[2]);
  std::sort(sorted.data(), sorted.data() + 3);
  const Vec3 expected = zovref::symmetricEigen(ea).values;
  EXPECT_LT(zovref::maxAbs(sorted - expected), 1e-13 * size(a));
}

// The separate solver, run as its callers do.
bool solve(const MgcMatrix3& a, double values[3], MgcMatrix3& vectors) {
  vectors = a;
  double sub[3];
  zov::symmetricTridiagonalize(vectors, values, sub);
  const bool converged = zov::tridiagonalQL(3, values, sub, vectors);
  if (converged) zov::sortEigenSystem(3, values, vectors);
  return converged;
}

}  // namespace

TEST(MgcMatrix3, ArithmeticInverseAndQduMatchEigen) {
  EXPECT_EQ(MgcMatrix3(MgcVector3(1, 2, 3), MgcVector3(4, 5, 6), MgcVector3(7, 8, 9)),
            MgcMatrix3(1, 4, 7, 2, 5, 8, 3, 6, 9));  // vectors are columns
  MgcMatrix3 withNaN = MgcMatrix3::IDENTITY;
  withNaN(1, 1) = std::nan("");
  EXPECT_FALSE(withNaN == withNaN);

  Random random(11);
  for (int i = 0; i < 200; ++i) {
    const MgcMatrix3 a(random.vector(), random.vector(), random.vector());
    const MgcMatrix3 b(random.vector(), random.vector(), random.vector());
    const MgcVector3 u = random.vector(), v = random.vector();
    const Mat3 ea = toRef(a), eb = toRef(b);
    EXPECT_LT(maxDifference(a * b, ea * eb), 1e-15);
    EXPECT_LT(maxDifference(a.TransposeTimes(b), transpose(ea) * eb), 1e-15);
    EXPECT_LT(maxDifference(a.TimesTranspose(b), ea * transpose(eb)), 1e-15);
    EXPECT_LT(zovref::maxAbs(toRef(a * u) - ea * toRef(u)), 1e-15);
    EXPECT_LT(zovref::maxAbs(toRef(u * a) - transpose(ea) * toRef(u)), 1e-15);
    EXPECT_NEAR(a.Determinant(), determinant(ea), 1e-14);
    EXPECT_LT(zovref::maxAbs(toRef(Mgc::SkewSymmetric(u) * v) - zovref::cross(toRef(u), toRef(v))), 1e-15);

    const MgcMatrix3 shifted = a + MgcMatrix3::IDENTITY * 2.0;
    MgcMatrix3 inverse;
    ASSERT_TRUE(shifted.Inverse(inverse, zov::kInertiaInverseTolerance));
    EXPECT_LT(maxDifference(inverse, zovref::inverse(toRef(shifted))), 1e-12);
    EXPECT_EQ(shifted.Inverse(zov::kInertiaInverseTolerance), inverse);

    // Q a rotation, D diagonal, U unit upper triangular, Q D U the matrix: the
    // QR factorisation, unique up to signs.
    MgcMatrix3 Q, D, U;
    a.QDUDecomposition(Q, D, U);
    const Mat3 eq = toRef(Q), ed = toRef(D), eu = toRef(U);
    EXPECT_LT(zovref::norm(transpose(eq) * eq - Mat3::identity()), 1e-12);
    EXPECT_NEAR(determinant(eq), 1.0, 1e-12);
    EXPECT_EQ(ed, diagonalPart(ed));
    EXPECT_EQ(eu, unitUpperPart(eu));
    EXPECT_LT(zovref::maxAbs(eq * ed * eu - ea), 1e-12);
  }
  // A singular matrix reports false and leaves its adjugate (the transposed
  // cofactors, here from 2x2 minors) in the output; the by-value form gives ZERO.
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

TEST(MgcMatrix3Decompositions, SingularValueDecompositionMatchesEigen) {
  for (const MgcMatrix3& a : matrixFamilies()) {
    MgcMatrix3 L, R;
    MgcVector3 S;
    a.SingularValueDecomposition(L, S, R);
    const double norm = std::max(zovref::norm(toRef(a)), std::numeric_limits<double>::min());
    SCOPED_TRACE(::testing::PrintToString(toRef(a)));
    // Converged off-diagonal entries of a relative kSvdTolerance are dropped.
    const double tolerance = 3.0 * zov::kSvdTolerance * norm;
    ASSERT_LT(zovref::norm(toRef(L) * Mat3::diagonal(toRef(S)) * toRef(R) - toRef(a)), tolerance);
    EXPECT_LT(zovref::norm(transpose(toRef(L)) * toRef(L) - Mat3::identity()), 1e-13);
    EXPECT_LT(zovref::norm(toRef(R) * transpose(toRef(R)) - Mat3::identity()), 1e-13);
    Vec3 values = toRef(S);
    EXPECT_GE(zovref::minCoeff(values), 0.0);
    std::sort(values.data(), values.data() + 3, std::greater<double>());
    const Vec3 expected = zovref::singularValues(toRef(a));
    EXPECT_LT(zovref::maxAbs(values - expected), tolerance);
    EXPECT_NEAR(a.SpectralNorm(), expected[0], 1e-14 * expected[0]);
  }
  // A NaN never passes the convergence test: the values say so when it runs out.
  MgcMatrix3 L, R;
  MgcVector3 S(7.0, 7.0, 7.0);
  MgcMatrix3(1.0, std::nan(""), 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0).SingularValueDecomposition(L, S, R);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(std::isnan(S[i])) << i;
}

// Both symmetric solvers on random matrices over a wide range of scales (an
// entry is never dropped for being small in absolute terms), repeated and
// zero eigenvalues, blocks already diagonal, entries near under- and overflow.
// MgcMatrix3's vectors are right-handed and its values come unsorted, each
// beside its vector; the separate solver sorts them.
TEST(SymmetricEigen, BothSolversMatchEigen) {
  Random random(13u);
  const double tiny = 1e-300, small = 1e-170;
  const Mat3 q = toRef(random.rotation());
  std::vector<MgcMatrix3> matrices = {MgcMatrix3::ZERO,
                                      MgcMatrix3::IDENTITY * 2.0,
                                      symmetric(2, 0, 0, 5, 0, 5),
                                      symmetric(1, 1, 0, 1, 0, 0),
                                      symmetric(1, 0, 1e-7, 1, 0, 1),
                                      symmetric(1, 0, tiny, 2, 0, 3),
                                      symmetric(1, 1, tiny, 2, 0, 3),
                                      symmetric(1, small, small, 2, 0.5, 3),
                                      symmetric(1e300, -2e300, 1e299, 3e300, 5e299, -1e300),
                                      fromRef(q * Mat3::diagonal({2, 2, -1}) * transpose(q))};
  for (int i = 0; i < 2000; ++i) {
    const Mat3 m = toRef(randomMatrix(random, i % 4 == 0 ? std::pow(10.0, random.uniform(-100, 100)) : 1));
    matrices.push_back(fromRef(m + transpose(m)));
  }
  for (const MgcMatrix3& a : matrices) {
    SCOPED_TRACE(::testing::PrintToString(toRef(a)));
    double values[3];
    MgcVector3 vectors[3];
    a.EigenSolveSymmetric(values, vectors);
    expectEigenSystem(a, values, MgcMatrix3(vectors[0], vectors[1], vectors[2]));
    EXPECT_NEAR(vectors[0].Dot(vectors[1].Cross(vectors[2])), 1.0, 1e-14);
    MgcMatrix3 columns;
    ASSERT_TRUE(solve(a, values, columns));
    expectEigenSystem(a, values, columns);
    EXPECT_TRUE(values[0] <= values[1] && values[1] <= values[2]);
  }
  double values[3];
  MgcVector3 vectors[3];
  MgcMatrix3(3, 0, 0, 0, 1, 0, 0, 0, 2).EigenSolveSymmetric(values, vectors);
  EXPECT_EQ(std::vector<double>(values, values + 3), (std::vector<double>{3.0, 1.0, 2.0}));
  EXPECT_EQ(vectors[1], MgcVector3::UNIT_Y);
}

// The sort is stable; orders below 3 work; non-finite input fails instead of
// looping.
TEST(SymmetricEigen, SortOrdersAndNonFiniteInput) {
  double values[3] = {2.0, 1.0, 1.0};
  MgcMatrix3 columns(1, 2, 3, 4, 5, 6, 7, 8, 9);
  zov::sortEigenSystem(3, values, columns);
  EXPECT_EQ(columns, MgcMatrix3(2, 3, 1, 5, 6, 4, 8, 9, 7));  // the two ones keep their order

  // Order 2: [[1, 5], [5, 2]] has eigenvalues 1.5 -+ sqrt(25.25); order 0 does nothing.
  double diag[3] = {1.0, 2.0, 3.0}, sub[3] = {5.0, 5.0, 0.0};
  MgcMatrix3 m = MgcMatrix3::IDENTITY;
  EXPECT_TRUE(zov::tridiagonalQL(0, diag, sub, m));
  EXPECT_TRUE(zov::tridiagonalQL(2, diag, sub, m));
  zov::sortEigenSystem(2, diag, m);
  EXPECT_NEAR(diag[0], 1.5 - std::sqrt(25.25), 1e-14);
  EXPECT_NEAR(diag[1], 1.5 + std::sqrt(25.25), 1e-14);
  for (int i = 0; i < 2; ++i) {
    EXPECT_NEAR(1.0 * m[0][i] + 5.0 * m[1][i], diag[i] * m[0][i], 1e-13);
    EXPECT_NEAR(5.0 * m[0][i] + 2.0 * m[1][i], diag[i] * m[1][i], 1e-13);
  }
  EXPECT_EQ(m[2][2], 1.0);  // the third row and column are not touched

  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(solve(symmetric(1, 2, 3, nan, 5, 6), values, columns));
  EXPECT_FALSE(solve(symmetric(1, 2, 0, 4, nan, 6), values, columns));
}

TEST(MgcMatrix3Decompositions, MaxCubicRootMatchesPolynomialSolver) {
  Random random(17u);
  for (int i = 0; i < 2000; ++i) {
    // Three real roots, or one real root and a complex pair, at several scales.
    const double scale = std::pow(10.0, random.uniform(-3.0, 3.0));
    double coefficients[4];  // c0, c1, c2, 1
    if (i % 2 == 0) {
      double r[3] = {random.uniform(-1, 1), random.uniform(-1, 1), random.uniform(-1, 1)};
      std::sort(r, r + 3);
      if (r[2] - r[1] < 1e-3) continue;  // a near-double largest root is ill-conditioned
      for (double& root : r) root *= scale;
      const double c[4] = {-r[0] * r[1] * r[2], r[0] * r[1] + r[1] * r[2] + r[0] * r[2], -(r[0] + r[1] + r[2]), 1.0};
      std::copy(c, c + 4, coefficients);
    } else {
      const double root = scale * random.uniform(-1, 1), re = scale * random.uniform(-1, 1);
      const double pairProduct = re * re + std::pow(scale * random.uniform(0.1, 1), 2);
      const double c[4] = {-root * pairProduct, pairProduct + 2.0 * re * root, -(root + 2.0 * re), 1.0};
      std::copy(c, c + 4, coefficients);
    }
    const std::vector<double> real = zovref::cubicRealRoots(coefficients, 1e-6 * scale);
    ASSERT_FALSE(real.empty());
    EXPECT_NEAR(MatrixProbe::MaxCubicRoot(coefficients), *std::max_element(real.begin(), real.end()), 1e-10 * scale);
  }
  // x^3 + 1 (its root far from the inflection), x^3, (x - 2)^3, a double
  // largest root, a double smallest root, x^3 - x.
  const double cases[][4] = {{1, 0, 0, -1},  {0, 0, 0, 0},   {-8, 12, -6, 2},
                             {1, -1, -1, 1}, {-1, -1, 1, 1}, {0, -1, 0, 1}};
  for (const auto& c : cases) EXPECT_NEAR(MatrixProbe::MaxCubicRoot(c), c[3], 1e-12) << c[0] << " " << c[1];
}
