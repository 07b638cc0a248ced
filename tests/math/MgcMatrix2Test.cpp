#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "math/MgcMatrix2.h"
#include "support/MathTestUtil.h"

using namespace Mgc;
using namespace zovtest;
using zovref::Mat2;
using zovref::Vec2;

namespace {

Mat2 toRef2(const MgcMatrix2& m) { return {m[0][0], m[0][1], m[1][0], m[1][1]}; }

double difference(const MgcMatrix2& a, const Mat2& b) { return zovref::maxAbs(toRef2(a) - b); }

MgcMatrix2 randomMatrix(Random& random) {
  return {random.uniform(-1, 1), random.uniform(-1, 1), random.uniform(-1, 1), random.uniform(-1, 1)};
}

// Generic matrices at several scales, scaled rotations (equal singular
// values), rank one, matrices with orthogonal rows or columns, the zero matrix.
std::vector<MgcMatrix2> matrixFamilies() {
  Random random(21u);
  std::vector<MgcMatrix2> matrices;
  for (double scale : {1e-9, 1.0, 1e6})
    for (int i = 0; i < 200; ++i) matrices.push_back(randomMatrix(random) * scale);
  for (int i = 0; i < 100; ++i) {
    MgcMatrix2 rotation;
    rotation.FromAngle(random.uniform(-3.0, 3.0));
    matrices.push_back(rotation * random.uniform(0.5, 2.0));
    const double x = random.uniform(-1, 1), y = random.uniform(-1, 1);
    matrices.emplace_back(x, 2.0 * x, y, 2.0 * y);
  }
  for (const MgcMatrix2& m : {MgcMatrix2(0, 2, 1, 0), MgcMatrix2(3, 0, 0, -4), MgcMatrix2(1, 1, 1, -1),
                              MgcMatrix2(0, 0, 0, 0), MgcMatrix2(0, 0, 0, 5)})
    matrices.push_back(m);
  return matrices;
}

}  // namespace

TEST(MgcMatrix2, ArithmeticAndAnglesMatchEigen) {
  Random random(21);
  for (int i = 0; i < 200; ++i) {
    const MgcMatrix2 a = randomMatrix(random), b = randomMatrix(random);
    const MgcVector2 u(random.uniform(-1, 1), random.uniform(-1, 1));
    const Mat2 ea = toRef2(a);
    const Vec2 eu(u.x, u.y);
    EXPECT_LT(difference(a * b, ea * toRef2(b)), 1e-15);
    const MgcVector2 column = a * u, row = u * a;
    EXPECT_LT(maxAbs(Vec2(column.x, column.y) - ea * eu), 1e-15);
    EXPECT_LT(maxAbs(Vec2(row.x, row.y) - transpose(ea) * eu), 1e-15);
    EXPECT_NEAR(a.Determinant(), determinant(ea), 1e-15);

    const MgcMatrix2 shifted = a + MgcMatrix2::IDENTITY * 2.0;
    MgcMatrix2 inverse;
    ASSERT_TRUE(shifted.Inverse(inverse, MgcMatrix2::EPSILON));
    EXPECT_LT(difference(inverse, zovref::inverse(toRef2(shifted))), 1e-13);
    // Gram-Schmidt is QR with a positive diagonal.
    MgcMatrix2 q = shifted;
    q.Orthonormalize();
    const Mat2 r = transpose(toRef2(q)) * toRef2(shifted);
    EXPECT_LT(maxAbs(transpose(toRef2(q)) * toRef2(q) - Mat2::identity()), 1e-15);
    EXPECT_NEAR(r(1, 0), 0.0, 4e-15);
    EXPECT_GT(std::min(r(0, 0), r(1, 1)), 0.0);

    const double angle = random.uniform(-kPi, kPi);
    MgcMatrix2 m;
    m.FromAngle(angle);
    EXPECT_LT(difference(m, zovref::rotation2(angle)), 1e-15);
    EXPECT_NEAR(m.ToAngle(), angle, 1e-14);
  }
  // Singular: false, the output untouched; the by-value form gives zero.
  for (const MgcMatrix2& m : {MgcMatrix2::ZERO, MgcMatrix2(1, 2, 2, 4), MgcMatrix2::IDENTITY * 1e-4}) {
    MgcMatrix2 out(5, 6, 7, 8);
    EXPECT_FALSE(m.Inverse(out, MgcMatrix2::EPSILON));
    EXPECT_EQ(out, MgcMatrix2(5, 6, 7, 8));
    EXPECT_EQ(m.Inverse(MgcMatrix2::EPSILON), MgcMatrix2::ZERO);
  }
}

// The decompositions of each matrix, and the eigen system of its symmetric
// part.
TEST(MgcMatrix2, DecompositionsMatchEigen) {
  for (const MgcMatrix2& a : matrixFamilies()) {
    SCOPED_TRACE(::testing::PrintToString(toRef2(a)));
    const double size = std::max(norm(toRef2(a)), std::numeric_limits<double>::min());
    MgcMatrix2 L, R, rebuilt;
    MgcVector2 S;
    a.SingularValueDecomposition(L, S, R);
    rebuilt.SingularValueComposition(L, S, R);
    EXPECT_LT(norm(toRef2(rebuilt) - toRef2(a)), 1e-14 * size);
    EXPECT_LT(norm(transpose(toRef2(L)) * toRef2(L) - Mat2::identity()), 1e-14);
    EXPECT_LT(norm(toRef2(R) * transpose(toRef2(R)) - Mat2::identity()), 1e-14);
    const Vec2 expected = zovref::singularValues(toRef2(a));
    // Larger value first unless the rows are orthogonal, which keep their order.
    EXPECT_TRUE(S.x >= S.y || a[0][0] * a[1][0] + a[0][1] * a[1][1] == 0.0);
    EXPECT_NEAR(std::max(S.x, S.y), expected[0], 1e-14 * size);
    EXPECT_NEAR(std::min(S.x, S.y), expected[1], 1e-14 * size);
    EXPECT_GE(std::min(S.x, S.y), 0.0);
    EXPECT_NEAR(a.SpectralNorm(), expected[0], 1e-14 * size);

    const MgcMatrix2 symmetric = a + a.Transpose();
    double values[2];
    MgcVector2 vectors[2];
    symmetric.EigenSolveSymmetric(values, vectors);
    const Mat2 v(vectors[0].x, vectors[1].x, vectors[0].y, vectors[1].y);
    EXPECT_NEAR(determinant(v), 1.0, 1e-14);
    EXPECT_LT(norm(transpose(v) * v - Mat2::identity()), 1e-14);
    for (int i = 0; i < 2; ++i) EXPECT_LT(norm(toRef2(symmetric) * v.col(i) - values[i] * v.col(i)), 3e-14 * size);
    const Vec2 eigenvalues = zovref::symmetricEigenvalues(toRef2(symmetric));
    EXPECT_NEAR(std::min(values[0], values[1]), eigenvalues[0], 3e-14 * size);
    EXPECT_NEAR(std::max(values[0], values[1]), eigenvalues[1], 3e-14 * size);

    if (std::fabs(a.Determinant()) <= 1e-3 * size * size) continue;  // QDU needs independent columns
    MgcMatrix2 Q;
    MgcVector2 D;
    double U;
    a.QDUDecomposition(Q, D, U);
    EXPECT_NEAR(Q.Determinant(), 1.0, 1e-12);
    EXPECT_LT(difference(Q * MgcMatrix2(D.x, D.x * U, 0.0, D.y), toRef2(a)), 1e-13 * size);
  }
  EXPECT_NEAR(MgcMatrix2(3e200, 0.0, 0.0, 4e200).SpectralNorm(), 4e200, 1e186);
}
