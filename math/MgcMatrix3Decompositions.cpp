// Decompositions of MgcMatrix3: singular values (Householder bidiagonalisation
// and Golub-Kahan steps), orthogonal * diagonal * unit upper triangular (QDU),
// the symmetric eigen decomposition (tridiagonalisation and QL iteration), the
// spectral norm and the largest root of a monic cubic.

#include <algorithm>
#include <cmath>
#include <limits>

#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "math/SymmetricEigen.h"
#include "math/Tolerances.h"

namespace Mgc {

namespace {

/// Golub-Kahan steps allowed before the singular values are taken as they are.
constexpr int kMaxSvdIterations = 32;
/// QL sweeps allowed for the symmetric eigen decomposition.
constexpr int kMaxQLSweeps = 32;
/// Newton steps allowed for the cubic root; the iteration is monotone and
/// stops by itself once it no longer moves, well before this.
constexpr int kMaxNewtonSteps = 128;
/// A diagonal entry of the bidiagonal form this small relative to the whole
/// is rounding noise: the shifted Golub-Kahan step cannot use it.
constexpr double kNegligibleDiagonal = 4.0 * std::numeric_limits<double>::epsilon();

/// A plane rotation: a pair (i, j) of vectors becomes
/// (c * v_i - s * v_j, s * v_i + c * v_j).
struct Rotation {
  double c;
  double s;
};

/// The rotation taking the pair (y, z) to (-hypot(y, z), 0); the identity for
/// (0, 0), which has nothing to annihilate.
Rotation annihilating(double y, double z) {
  const double length = std::hypot(y, z);
  if (length == 0.0) return {1.0, 0.0};
  return {-y / length, z / length};
}

/// The pair (x, y) turned by the rotation: (c x - s y, s x + c y).
void rotatePair(double& x, double& y, Rotation g) {
  const double u = x;
  const double v = y;
  x = g.c * u - g.s * v;
  y = g.s * u + g.c * v;
}

void rotateColumns(MgcMatrix3& a, int i, int j, Rotation g) {
  for (int r = 0; r < 3; ++r) rotatePair(a[r][i], a[r][j], g);
}

void rotateRows(MgcMatrix3& a, int i, int j, Rotation g) {
  for (int c = 0; c < 3; ++c) rotatePair(a[i][c], a[j][c], g);
}

/// Diagonalises the 2x2 block [[a, b], [0, d]] of the bidiagonal form B at
/// rows and columns (k, k + 1): B's block = G0 * diag(first, second) * G1 with
/// G0 folded into columns k, k + 1 of L and G1 into rows k, k + 1 of R.
///
/// The left angle t0 = tan(theta0) is the root of t^2 - tau * t - 1 = 0,
/// tau = (a^2 + b^2 - d^2) / (b d), that (tau + sqrt(tau^2 + 4)) / 2 names;
/// the right rotation is the one that clears the off-diagonal entries of
/// G0^T * block. Both are formed from sines and cosines rather than tangents
/// so that a zero a or d (a singular block) needs no division by it.
void closeBidiagonalBlock(double a, double b, double d, int k, MgcMatrix3& L, MgcMatrix3& R, double& first,
                          double& second) {
  // (c0, s0) is proportional to (1, t0), t0 > 0; the two forms avoid the
  // cancellation of tau + sqrt(tau^2 + 4) for either sign of tau.
  const double h = a * a + b * b - d * d;
  const double twoK = 2.0 * b * d;
  const double u = twoK >= 0.0 ? h : -h;
  const double q = std::hypot(h, twoK);
  const double x = u >= 0.0 ? std::fabs(twoK) : q - u;
  const double y = u >= 0.0 ? u + q : std::fabs(twoK);
  const double length0 = std::hypot(x, y);
  const Rotation left = length0 > 0.0 ? Rotation{x / length0, y / length0} : Rotation{1.0, 0.0};

  // Rows of G0^T * block; they are orthogonal, so the right rotation follows
  // from whichever is longer (c1 >= 0 as for the tangent form).
  const double x0 = left.c * a;
  const double y0 = left.c * b - left.s * d;
  const double x1 = left.s * a;
  const double y1 = left.s * b + left.c * d;
  Rotation right{1.0, 0.0};
  const double length1 = std::hypot(x0, y0);
  const double length2 = std::hypot(x1, y1);
  if (length1 >= length2 && length1 > 0.0) {
    const double sign = x0 < 0.0 ? -1.0 : 1.0;
    right = {sign * x0 / length1, -sign * y0 / length1};
  } else if (length2 > 0.0) {
    const double sign = y1 < 0.0 ? -1.0 : 1.0;
    right = {sign * y1 / length2, sign * x1 / length2};
  }

  rotateColumns(L, k, k + 1, left);
  rotateRows(R, k, k + 1, right);
  first = right.c * x0 - right.s * y0;
  second = right.s * x1 + right.c * y1;
}

/// Eigen pairs of the 2x2 block (d_i, d_j, e) of a diagonal-plus-one
/// off-diagonal form, in closed form: columns i and j of `basis` are rotated
/// onto the eigenvectors, d_i becomes the smaller and d_j the larger value.
void closeSymmetricBlock(double& di, double& dj, double e, int i, int j, MgcMatrix3& basis) {
  const double delta = di - dj;
  const double rho = std::hypot(2.0 * e, delta);
  const double smaller = 0.5 * (di + dj - rho);
  const double larger = 0.5 * (di + dj + rho);

  // The eigenvector of the smaller value is (p, -q), read from the row of the
  // block with the larger pivot; d_i - smaller = (delta + rho) / 2 and
  // d_j - smaller = (rho - delta) / 2 avoid cancellation. A block that is
  // already a multiple of the identity keeps its columns.
  double p = delta >= 0.0 ? e : 0.5 * (rho - delta);
  double q = delta >= 0.0 ? 0.5 * (delta + rho) : e;
  const double length = std::hypot(p, q);
  if (length > 0.0) {
    p /= length;
    q /= length;
  } else {
    p = 1.0;
    q = 0.0;
  }
  rotateColumns(basis, i, j, {p, q});
  di = smaller;
  dj = larger;
}

/// True when e does not change |a| + |b| in floating point.
bool negligible(double e, double a, double b) {
  const double scale = std::fabs(a) + std::fabs(b);
  return std::fabs(e) + scale == scale;
}

double cubic(const double c[3], double x) { return c[0] + x * (c[1] + x * (c[2] + x)); }

}  // namespace

void MgcMatrix3::SingularValueDecomposition(MgcMatrix3& L, MgcVector3& S, MgcMatrix3& R) const {
  MgcMatrix3 B = *this;
  Bidiagonalize(B, L, R);

  // Until an off-diagonal entry is negligible, Golub-Kahan steps drive the
  // lower one to zero; the remaining 2x2 block is then solved in closed form.
  bool converged = false;
  for (int iteration = 0; iteration < kMaxSvdIterations && !converged; ++iteration) {
    const bool upperSplit = (std::fabs(B[0][0]) + std::fabs(B[1][1])) * zov::kSvdTolerance >= std::fabs(B[0][1]);
    const bool lowerSplit = (std::fabs(B[1][1]) + std::fabs(B[2][2])) * zov::kSvdTolerance >= std::fabs(B[1][2]);
    if (upperSplit && lowerSplit) {
      S = {B[0][0], B[1][1], B[2][2]};
      converged = true;
    } else if (upperSplit) {
      S.x = B[0][0];
      closeBidiagonalBlock(B[1][1], B[1][2], B[2][2], 1, L, R, S.y, S.z);
      converged = true;
    } else if (lowerSplit) {
      closeBidiagonalBlock(B[0][0], B[0][1], B[1][1], 0, L, R, S.x, S.y);
      S.z = B[2][2];
      converged = true;
    } else {
      GolubKahanStep(B, L, R);
    }
  }
  // Out of steps (only non-finite input gets here): the diagonal is the best
  // estimate there is, and L * B * R still equals the matrix.
  if (!converged) S = {B[0][0], B[1][1], B[2][2]};

  for (int i = 0; i < 3; ++i) {
    if (S[i] < 0.0) {
      S[i] = -S[i];
      for (int c = 0; c < 3; ++c) R[i][c] = -R[i][c];
    }
  }
}

void MgcMatrix3::SingularValueComposition(const MgcMatrix3& L, const MgcMatrix3& S, const MgcMatrix3& R) {
  *this = L * (S * R);
}

void MgcMatrix3::Bidiagonalize(MgcMatrix3& A, MgcMatrix3& L, MgcMatrix3& R) {
  // Each reflection is I + f v v^T with v = (1, x_1 / w, ...), w = x_0 + sign
  // * |x| (sign of x_0, 0 counting as negative) so that w never cancels, and
  // f = -2 / (v . v). A zero vector needs no reflection.

  // Column 0, from the left, on all three columns.
  L = IDENTITY;
  double length = std::hypot(A[0][0], A[1][0], A[2][0]);
  if (length > 0.0) {
    const double sign = A[0][0] > 0.0 ? 1.0 : -1.0;
    const double inverse = 1.0 / (A[0][0] + sign * length);
    const double v[3] = {1.0, A[1][0] * inverse, A[2][0] * inverse};
    const double factor = -2.0 / (v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int c = 0; c < 3; ++c) {
      const double w = factor * (v[0] * A[0][c] + v[1] * A[1][c] + v[2] * A[2][c]);
      for (int r = 0; r < 3; ++r) A[r][c] += w * v[r];
    }
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) L[r][c] += factor * v[r] * v[c];
  }
  A[1][0] = 0.0;
  A[2][0] = 0.0;

  // Row 0's tail, from the right, on columns 1 and 2.
  R = IDENTITY;
  length = std::hypot(A[0][1], A[0][2]);
  if (length > 0.0) {
    const double sign = A[0][1] > 0.0 ? 1.0 : -1.0;
    const double h = A[0][2] / (A[0][1] + sign * length);
    const double factor = -2.0 / (1.0 + h * h);
    for (int r = 0; r < 3; ++r) {
      const double w = factor * (A[r][1] + h * A[r][2]);
      A[r][1] += w;
      A[r][2] += w * h;
    }
    R[1][1] = 1.0 + factor;
    R[1][2] = factor * h;
    R[2][1] = factor * h;
    R[2][2] = 1.0 + factor * h * h;
  }
  A[0][2] = 0.0;

  // Column 1's tail, from the left, on rows 1 and 2; folded into L.
  length = std::hypot(A[1][1], A[2][1]);
  if (length > 0.0) {
    const double sign = A[1][1] > 0.0 ? 1.0 : -1.0;
    const double h = A[2][1] / (A[1][1] + sign * length);
    const double factor = -2.0 / (1.0 + h * h);
    for (int c = 1; c < 3; ++c) {
      const double w = factor * (A[1][c] + h * A[2][c]);
      A[1][c] += w;
      A[2][c] += w * h;
    }
    for (int r = 0; r < 3; ++r) {
      const double w = factor * (L[r][1] + h * L[r][2]);
      L[r][1] += w;
      L[r][2] += w * h;
    }
  }
  A[2][1] = 0.0;
}

void MgcMatrix3::GolubKahanStep(MgcMatrix3& A, MgcMatrix3& L, MgcMatrix3& R) {
  // Wilkinson shift: the eigenvalue of the trailing 2x2 block of A^T A nearer
  // to its last diagonal entry (the larger one on a tie).
  const double t00 = A[0][1] * A[0][1] + A[1][1] * A[1][1];
  const double t11 = A[1][2] * A[1][2] + A[2][2] * A[2][2];
  const double t01 = A[1][1] * A[1][2];
  const double spread = std::hypot(t00 - t11, 2.0 * t01);
  const double root0 = 0.5 * (t00 + t11 - spread);
  const double root1 = 0.5 * (t00 + t11 + spread);
  const double shift = std::fabs(root0 - t11) < std::fabs(root1 - t11) ? root0 : root1;

  // The first rotation is that of one QR step on A^T A - shift * I, whose
  // first column is (a00^2 - shift, a00 a01, 0). When a diagonal entry is
  // negligible that column degenerates; the zero-shift step, started from
  // (a00, a01), then moves the zero to the bottom, where it splits off.
  const double size =
      std::fabs(A[0][0]) + std::fabs(A[0][1]) + std::fabs(A[1][1]) + std::fabs(A[1][2]) + std::fabs(A[2][2]);
  const double threshold = kNegligibleDiagonal * size;
  const bool zeroShift =
      std::fabs(A[0][0]) <= threshold || std::fabs(A[1][1]) <= threshold || std::fabs(A[2][2]) <= threshold;
  Rotation g = zeroShift ? annihilating(A[0][0], A[0][1]) : annihilating(A[0][0] * A[0][0] - shift, A[0][0] * A[0][1]);

  // Chase the bulge down: right on columns 0-1, left on rows 0-1, right on
  // columns 1-2, left on rows 1-2. Each entry a rotation annihilates is set
  // to an exact zero.
  rotateColumns(A, 0, 1, g);
  rotateRows(R, 0, 1, g);

  g = annihilating(A[0][0], A[1][0]);
  rotateRows(A, 0, 1, g);
  rotateColumns(L, 0, 1, g);
  A[1][0] = 0.0;

  g = annihilating(A[0][1], A[0][2]);
  rotateColumns(A, 1, 2, g);
  rotateRows(R, 1, 2, g);
  A[0][2] = 0.0;

  g = annihilating(A[1][1], A[2][1]);
  rotateRows(A, 1, 2, g);
  rotateColumns(L, 1, 2, g);
  A[2][1] = 0.0;
}

void MgcMatrix3::QDUDecomposition(MgcMatrix3& Q, MgcMatrix3& D, MgcMatrix3& U) const {
  const MgcVector3 c0 = GetColumn(0);
  const MgcVector3 c1 = GetColumn(1);
  const MgcVector3 c2 = GetColumn(2);

  // Classical Gram-Schmidt.
  MgcVector3 q0 = c0 * (1.0 / c0.Length());
  MgcVector3 q1 = c1 - q0 * q0.Dot(c1);
  q1 = q1 * (1.0 / q1.Length());
  MgcVector3 q2 = c2 - q0 * q0.Dot(c2) - q1 * q1.Dot(c2);
  q2 = q2 * (1.0 / q2.Length());

  // A reflection becomes a rotation; D takes the sign.
  Q = MgcMatrix3(q0, q1, q2);
  if (Q.Determinant() < 0.0) {
    Q = -Q;
    q0 = -q0;
    q1 = -q1;
    q2 = -q2;
  }

  const double r00 = q0.Dot(c0);
  const double r01 = q0.Dot(c1);
  const double r02 = q0.Dot(c2);
  const double r11 = q1.Dot(c1);
  const double r12 = q1.Dot(c2);
  const double r22 = q2.Dot(c2);
  D.MakeDiagonal(r00, r11, r22);
  U = MgcMatrix3(1.0, r01 / r00, r02 / r00, 0.0, 1.0, r12 / r11, 0.0, 0.0, 1.0);
}

void MgcMatrix3::EigenSolveSymmetric(double values[3], MgcVector3 vectors[3]) const {
  MgcMatrix3 basis = *this;
  double diag[3];
  double sub[3];
  basis.Tridiagonal(diag, sub);
  // Without convergence after 32 sweeps the values are the best estimate
  // there is; the vectors stay orthonormal either way.
  basis.QLAlgorithm(diag, sub);

  for (int i = 0; i < 3; ++i) {
    values[i] = diag[i];
    vectors[i] = basis.GetColumn(i);
  }
  if (vectors[0].Dot(vectors[1].Cross(vectors[2])) < 0.0) vectors[2] = -vectors[2];
}

double MgcMatrix3::SpectralNorm() const {
  // Scaling by the largest entry keeps A^T A clear of overflow and underflow.
  // The symmetric solver keeps full accuracy when singular values coincide,
  // where the multiple root of the characteristic cubic would not.
  double scale = 0.0;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) scale = std::max(scale, std::fabs(m[r][c]));
  if (scale == 0.0) return 0.0;

  const MgcMatrix3 scaled = *this * (1.0 / scale);
  double values[3];
  MgcVector3 vectors[3];
  scaled.TransposeTimes(scaled).EigenSolveSymmetric(values, vectors);
  const double largest = std::max({values[0], values[1], values[2], 0.0});
  return scale * std::sqrt(largest);
}

void MgcMatrix3::Tridiagonal(double diag[3], double sub[3]) {
  // The nine entries are the row-by-row layout the eigen solver reads.
  zov::symmetricTridiagonalize(&m[0][0], diag, sub);
}

bool MgcMatrix3::QLAlgorithm(double diag[3], double sub[3]) {
  for (int sweep = 0;; ++sweep) {
    // Once one off-diagonal entry is negligible the other block is 2x2 and
    // closes in one step.
    if (negligible(sub[0], diag[0], diag[1])) {
      closeSymmetricBlock(diag[1], diag[2], sub[1], 1, 2, *this);
      sub[0] = 0.0;
      sub[1] = 0.0;
      return true;
    }
    if (negligible(sub[1], diag[1], diag[2])) {
      closeSymmetricBlock(diag[0], diag[1], sub[0], 0, 1, *this);
      sub[0] = 0.0;
      sub[1] = 0.0;
      return true;
    }
    if (sweep == kMaxQLSweeps) return false;

    zov::implicitQLSweep(0, 2, 3, diag, sub, *this);
  }
}

double MgcMatrix3::MaxCubicRoot(const double c[3]) {
  // p(x) = x^3 + c2 x^2 + c1 x + c0. Let x+ be its local minimum (or its
  // inflection -c2/3 when p is monotone). When p(x+) <= 0 the largest root
  // lies in [x+, x+ + cbrt(-p(x+))], where p is increasing and convex, and
  // Newton steps from the right end fall onto it monotonically. Otherwise the
  // only real root lies left of the local maximum x- (or the inflection),
  // within cbrt(p(x-)) of it, where p is increasing and concave, and Newton
  // steps from the left end rise onto it.
  const double inflection = -c[2] / 3.0;
  const double discriminant = c[2] * c[2] - 3.0 * c[1];
  const double halfWidth = discriminant > 0.0 ? std::sqrt(discriminant) / 3.0 : 0.0;

  const double localMin = inflection + halfWidth;
  const double atLocalMin = cubic(c, localMin);
  double x;
  double direction;
  if (atLocalMin <= 0.0) {
    x = localMin + std::cbrt(-atLocalMin);
    direction = -1.0;
  } else {
    const double localMax = inflection - halfWidth;
    x = localMax - std::cbrt(cubic(c, localMax));
    direction = 1.0;
  }

  for (int step = 0; step < kMaxNewtonSteps; ++step) {
    const double value = cubic(c, x);
    const double slope = c[1] + x * (2.0 * c[2] + 3.0 * x);
    if (value == 0.0 || slope == 0.0) break;
    const double next = x - value / slope;
    // Rounding ends the monotone approach: stop when a step no longer moves
    // towards the root.
    if (!((next - x) * direction > 0.0)) break;
    x = next;
  }
  return x;
}

}  // namespace Mgc
