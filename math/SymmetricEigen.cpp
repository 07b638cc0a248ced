#include "math/SymmetricEigen.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace zov {

namespace {

constexpr int kStride = 3;
/// QL sweeps allowed per eigenvalue; a symmetric tridiagonal matrix usually
/// needs two or three.
constexpr int kMaxQLIterations = 32;

}  // namespace

void symmetricTridiagonalize(double* matrix, double* diag, double* sub) {
  const double a = matrix[0];
  double b = matrix[1];
  double c = matrix[2];
  const double d = matrix[4];
  const double e = matrix[5];
  const double f = matrix[8];

  diag[0] = a;
  sub[2] = 0.0;
  if (c == 0.0) {
    // Already tridiagonal.
    diag[1] = d;
    diag[2] = f;
    sub[0] = b;
    sub[1] = e;
    const double identity[9] = {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    std::copy(identity, identity + 9, matrix);
    return;
  }

  // One Householder reflection in the (1, 2) plane zeroes the corner entry.
  // hypot keeps the length from underflowing to 0 for tiny b and c.
  const double length = std::hypot(b, c);
  b /= length;
  c /= length;
  const double q = 2.0 * b * e + c * (f - d);
  diag[1] = d + c * q;
  diag[2] = f - c * q;
  sub[0] = length;
  sub[1] = e - b * q;
  const double reflection[9] = {1.0, 0.0, 0.0, 0.0, b, c, 0.0, c, -b};
  std::copy(reflection, reflection + 9, matrix);
}

void implicitQLSweep(int l, int m, int rows, double* diag, double* sub, double* matrix) {
  // Wilkinson-style shift from the leading 2x2 block.
  double g = (diag[l + 1] - diag[l]) / (2.0 * sub[l]);
  double r = std::sqrt(g * g + 1.0);
  g = diag[m] - diag[l] + sub[l] / (g >= 0.0 ? g + r : g - r);

  // Chase the bulge from m - 1 up to l with plane rotations; dividing by the
  // larger entry keeps the tangent at most 1.
  double s = 1.0;
  double c = 1.0;
  double p = 0.0;
  for (int i = m - 1; i >= l; --i) {
    const double f = s * sub[i];
    const double b = c * sub[i];
    if (std::fabs(f) >= std::fabs(g)) {
      c = g / f;
      r = std::sqrt(c * c + 1.0);
      sub[i + 1] = f * r;
      s = 1.0 / r;
      c *= s;
    } else {
      s = f / g;
      r = std::sqrt(s * s + 1.0);
      sub[i + 1] = g * r;
      c = 1.0 / r;
      s *= c;
    }
    g = diag[i + 1] - p;
    r = (diag[i] - g) * s + 2.0 * c * b;
    p = s * r;
    diag[i + 1] = g + p;
    g = c * r - b;

    for (int k = 0; k < rows; ++k) {
      double* row = matrix + kStride * k;
      const double u = row[i];
      const double v = row[i + 1];
      row[i + 1] = s * u + c * v;
      row[i] = c * u - s * v;
    }
  }
  diag[l] -= p;
  sub[l] = g;
  sub[m] = 0.0;
}

bool tridiagonalQL(int n, double* diag, double* sub, double* matrix) {
  for (int l = 0; l < n; ++l) {
    for (int iteration = 0;; ++iteration) {
      // Split off at the first negligible sub-diagonal entry at or after l.
      int m = l;
      for (; m <= n - 2; ++m) {
        const double scale = std::fabs(diag[m]) + std::fabs(diag[m + 1]);
        if (std::fabs(sub[m]) + scale == scale) break;
      }
      if (m == l) break;
      if (iteration == kMaxQLIterations) return false;

      implicitQLSweep(l, m, n, diag, sub, matrix);
    }
  }
  return true;
}

void sortEigenSystem(int n, double* diag, double* matrix) {
  // Selection sort: only a strictly smaller value moves forward, so equal
  // eigenvalues keep their order.
  for (int i = 0; i <= n - 2; ++i) {
    int smallest = i;
    for (int j = i + 1; j < n; ++j)
      if (diag[j] < diag[smallest]) smallest = j;
    if (smallest == i) continue;

    std::swap(diag[i], diag[smallest]);
    for (int row = 0; row < n; ++row) std::swap(matrix[kStride * row + i], matrix[kStride * row + smallest]);
  }
}

}  // namespace zov
