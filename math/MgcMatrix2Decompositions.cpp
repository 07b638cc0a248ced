// Decompositions of MgcMatrix2: singular values in closed form, orthogonal *
// diagonal * unit upper triangular (QDU), the symmetric eigen decomposition
// and the spectral norm.

#include <algorithm>
#include <cmath>

#include "math/MgcMatrix2.h"
#include "math/MgcVector2.h"

namespace Mgc {

namespace {

/// QL iterations allowed per eigenvalue.
constexpr int kMaxQLIterations = 32;

/// The unit eigenvector of the larger eigenvalue of [[a, b], [b, c]],
/// oriented like (b, larger - a). Of the two equivalent forms the longer one
/// is used, which also avoids the cancellation in larger - a when a > c.
/// A multiple of the identity gives (1, 0).
MgcVector2 largerEigenvector(double a, double b, double c) {
  const double spread = std::hypot(a - c, 2.0 * b);
  const MgcVector2 fromRow0(b, 0.5 * (spread - (a - c)));
  const double sign = b < 0.0 ? -1.0 : 1.0;
  const MgcVector2 fromRow1(sign * 0.5 * (spread + (a - c)), sign * b);
  const MgcVector2 v = fromRow0.SquaredLength() >= fromRow1.SquaredLength() ? fromRow0 : fromRow1;
  const double length = std::hypot(v.x, v.y);
  if (length == 0.0) return {1.0, 0.0};
  return {v.x / length, v.y / length};
}

}  // namespace

void MgcMatrix2::SingularValueDecomposition(MgcMatrix2& L, MgcVector2& S, MgcMatrix2& R) const {
  // Left singular vectors: the eigenvectors of A A^T = [[p, r], [r, q]].
  const double p = m[0][0] * m[0][0] + m[0][1] * m[0][1];
  const double q = m[1][0] * m[1][0] + m[1][1] * m[1][1];
  const double r = m[0][0] * m[1][0] + m[0][1] * m[1][1];
  if (std::fabs(r) > 0.0) {
    // (p + q)^2 - 4 (p q - r^2) = (p - q)^2 + 4 r^2, formed without the
    // cancellation. The smaller value follows from |det| = S0 * S1, which
    // stays accurate for a nearly singular matrix.
    const double larger = 0.5 * (p + q + std::hypot(p - q, 2.0 * r));
    S.x = std::sqrt(larger);
    S.y = std::fabs(Determinant()) / S.x;
    const MgcVector2 u = largerEigenvector(p, r, q);
    L = MgcMatrix2(u.x, -u.y, u.y, u.x);
  } else {
    // Orthogonal rows: they are the singular directions as they stand.
    S.x = std::sqrt(p);
    S.y = std::sqrt(q);
    L = IDENTITY;
  }

  // Right singular vectors: v_k = A^T u_k / S_k, taken for the larger value
  // (the other row of R is perpendicular). Forming them from L rather than as
  // eigenvectors of A^T A keeps them paired with L when the two singular
  // values are equal, as for every rotation.
  const int k = S.x >= S.y ? 0 : 1;
  const MgcVector2 u = L.GetColumn(k);
  MgcVector2 v(m[0][0] * u.x + m[1][0] * u.y, m[0][1] * u.x + m[1][1] * u.y);
  const double length = std::hypot(v.x, v.y);
  v = length > 0.0 ? MgcVector2(v.x / length, v.y / length) : MgcVector2(1.0, 0.0);
  if (k == 1) v = MgcVector2(v.y, -v.x);
  R = MgcMatrix2(v.x, v.y, -v.y, v.x);

  // The signs the directions could not fix: of the patterns (+,+), (-,+),
  // (-,-), (+,-) of S, the one reproducing the matrix best is moved into the
  // rows of R; a later pattern wins only when strictly better.
  const double signs[4][2] = {{1.0, 1.0}, {-1.0, 1.0}, {-1.0, -1.0}, {1.0, -1.0}};
  int best = 0;
  double bestResidual = 0.0;
  for (int pattern = 0; pattern < 4; ++pattern) {
    MgcMatrix2 scaledR = R;
    for (int row = 0; row < 2; ++row)
      for (int c = 0; c < 2; ++c) scaledR[row][c] *= signs[pattern][row] * S[row];
    const double residual = (*this - L * scaledR).L2NormSqr();
    if (pattern == 0 || residual < bestResidual) {
      best = pattern;
      bestResidual = residual;
    }
  }
  for (int row = 0; row < 2; ++row)
    for (int c = 0; c < 2; ++c) R[row][c] *= signs[best][row];
}

void MgcMatrix2::SingularValueComposition(const MgcMatrix2& L, const MgcVector2& S, const MgcMatrix2& R) {
  const MgcMatrix2 scaledR(S.x * R[0][0], S.x * R[0][1], S.y * R[1][0], S.y * R[1][1]);
  *this = L * scaledR;
}

void MgcMatrix2::QDUDecomposition(MgcMatrix2& Q, MgcVector2& D, double& U) const {
  const MgcVector2 c0 = GetColumn(0);
  const MgcVector2 c1 = GetColumn(1);
  const MgcVector2 q0 = c0 * (1.0 / c0.Length());
  MgcVector2 q1 = c1 - q0 * q0.Dot(c1);
  q1 = q1 * (1.0 / q1.Length());

  // Negating one column turns a reflection into a rotation; D takes the sign.
  if (q0.x * q1.y - q0.y * q1.x < 0.0) q1 = -q1;
  Q = MgcMatrix2(q0.x, q1.x, q0.y, q1.y);
  D = MgcVector2(q0.Dot(c0), q1.Dot(c1));
  U = q0.Dot(c1) / D.x;
}

void MgcMatrix2::EigenSolveSymmetric(double values[2], MgcVector2 vectors[2]) const {
  MgcMatrix2 basis = *this;
  double diag[2];
  double sub[2];
  basis.Tridiagonal(diag, sub);
  // Without convergence the values are the best estimate there is; the
  // vectors stay orthonormal either way.
  basis.QLAlgorithm(diag, sub);

  for (int i = 0; i < 2; ++i) {
    values[i] = diag[i];
    vectors[i] = basis.GetColumn(i);
  }
  if (vectors[0].x * vectors[1].y - vectors[0].y * vectors[1].x < 0.0) vectors[1] = -vectors[1];
}

double MgcMatrix2::SpectralNorm() const {
  // The larger eigenvalue of A^T A in closed form, with A scaled by its
  // largest entry so that the squares neither overflow nor underflow.
  const double scale = std::max({std::fabs(m[0][0]), std::fabs(m[0][1]), std::fabs(m[1][0]), std::fabs(m[1][1])});
  if (scale == 0.0) return 0.0;
  const MgcMatrix2 a = *this * (1.0 / scale);
  const double t00 = a[0][0] * a[0][0] + a[1][0] * a[1][0];
  const double t11 = a[0][1] * a[0][1] + a[1][1] * a[1][1];
  const double t01 = a[0][0] * a[0][1] + a[1][0] * a[1][1];
  const double largest = 0.5 * (t00 + t11 + std::hypot(t00 - t11, 2.0 * t01));
  return scale * std::sqrt(largest);
}

void MgcMatrix2::Tridiagonal(double diag[2], double sub[2]) {
  diag[0] = m[0][0];
  diag[1] = m[1][1];
  sub[0] = m[0][1];
  sub[1] = 0.0;
  *this = IDENTITY;
}

bool MgcMatrix2::QLAlgorithm(double diag[2], double sub[2]) {
  for (int iteration = 0;; ++iteration) {
    const double scale = std::fabs(diag[0]) + std::fabs(diag[1]);
    if (std::fabs(sub[0]) + scale == scale) return true;
    if (iteration == kMaxQLIterations) return false;

    // One implicit QL step with the shift from the block itself; a single
    // rotation, formed with the larger entry as divisor.
    double g = (diag[1] - diag[0]) / (2.0 * sub[0]);
    double r = std::sqrt(g * g + 1.0);
    g = diag[1] - diag[0] + sub[0] / (g >= 0.0 ? g + r : g - r);
    const double f = sub[0];
    const double b = sub[0];
    double s;
    double c;
    if (std::fabs(f) >= std::fabs(g)) {
      c = g / f;
      r = std::sqrt(c * c + 1.0);
      s = 1.0 / r;
      c *= s;
    } else {
      s = f / g;
      r = std::sqrt(s * s + 1.0);
      c = 1.0 / r;
      s *= c;
    }
    g = diag[1];
    r = (diag[0] - g) * s + 2.0 * c * b;
    const double p = s * r;
    diag[1] = g + p;
    diag[0] -= p;
    sub[0] = c * r - b;
    sub[1] = 0.0;
    for (int row = 0; row < 2; ++row) {
      const double u = m[row][0];
      const double v = m[row][1];
      m[row][1] = s * u + c * v;
      m[row][0] = c * u - s * v;
    }
  }
}

}  // namespace Mgc
