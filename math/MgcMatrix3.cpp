#include "math/MgcMatrix3.h"

#include <cmath>

#include "math/Tolerances.h"

namespace Mgc {

const MgcMatrix3 MgcMatrix3::ZERO(0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0);
const MgcMatrix3 MgcMatrix3::IDENTITY(1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0);
const double MgcMatrix3::EPSILON = zov::kUnitizeTolerance;

MgcMatrix3::MgcMatrix3(const double* entries) {
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) m[r][c] = entries[3 * r + c];
}

void MgcMatrix3::MakeDiagonal(double a, double b, double c) {
  *this = MgcMatrix3(a, 0.0, 0.0, 0.0, b, 0.0, 0.0, 0.0, c);
}

bool MgcMatrix3::operator==(const MgcMatrix3& b) const {
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      if (!(m[r][c] == b.m[r][c])) return false;
  return true;
}

MgcMatrix3 MgcMatrix3::operator+(const MgcMatrix3& b) const {
  MgcMatrix3 sum;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) sum.m[r][c] = m[r][c] + b.m[r][c];
  return sum;
}

MgcMatrix3 MgcMatrix3::operator-(const MgcMatrix3& b) const {
  MgcMatrix3 difference;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) difference.m[r][c] = m[r][c] - b.m[r][c];
  return difference;
}

MgcMatrix3 MgcMatrix3::operator-() const {
  MgcMatrix3 negated;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) negated.m[r][c] = -m[r][c];
  return negated;
}

MgcMatrix3 MgcMatrix3::operator*(double s) const {
  MgcMatrix3 scaled;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) scaled.m[r][c] = m[r][c] * s;
  return scaled;
}

MgcMatrix3 MgcMatrix3::TransposeTimes(const MgcMatrix3& b) const {
  MgcMatrix3 product;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) product.m[r][c] = m[0][r] * b.m[0][c] + m[1][r] * b.m[1][c] + m[2][r] * b.m[2][c];
  return product;
}

MgcMatrix3 MgcMatrix3::TimesTranspose(const MgcMatrix3& b) const {
  MgcMatrix3 product;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) product.m[r][c] = m[r][0] * b.m[c][0] + m[r][1] * b.m[c][1] + m[r][2] * b.m[c][2];
  return product;
}

double MgcMatrix3::Determinant() const {
  return m[0][0] * (m[1][1] * m[2][2] - m[2][1] * m[1][2]) + m[0][1] * (m[1][2] * m[2][0] - m[1][0] * m[2][2]) +
         m[0][2] * (m[2][1] * m[1][0] - m[1][1] * m[2][0]);
}

bool MgcMatrix3::Inverse(MgcMatrix3& out, double tolerance) const {
  out.m[0][0] = m[1][1] * m[2][2] - m[2][1] * m[1][2];
  out.m[0][1] = m[2][1] * m[0][2] - m[2][2] * m[0][1];
  out.m[0][2] = m[1][2] * m[0][1] - m[1][1] * m[0][2];
  out.m[1][0] = m[2][0] * m[1][2] - m[2][2] * m[1][0];
  out.m[1][1] = m[0][0] * m[2][2] - m[2][0] * m[0][2];
  out.m[1][2] = m[1][0] * m[0][2] - m[0][0] * m[1][2];
  out.m[2][0] = m[2][1] * m[1][0] - m[1][1] * m[2][0];
  out.m[2][1] = m[2][0] * m[0][1] - m[2][1] * m[0][0];
  out.m[2][2] = m[1][1] * m[0][0] - m[1][0] * m[0][1];

  const double det = m[0][0] * out.m[0][0] + m[0][1] * out.m[1][0] + m[0][2] * out.m[2][0];
  if (std::fabs(det) <= tolerance) return false;

  const double inverseDet = 1.0 / det;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) out.m[r][c] *= inverseDet;
  return true;
}

MgcMatrix3 MgcMatrix3::Inverse(double tolerance) const {
  // A singular matrix inverts to ZERO, never to its adjugate: callers treat a
  // zero inverse inertia as "does not rotate".
  MgcMatrix3 inverse;
  if (!Inverse(inverse, tolerance)) return ZERO;
  return inverse;
}

void MgcMatrix3::TensorProduct(const MgcVector3& u, const MgcVector3& v, MgcMatrix3& out) {
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) out.m[r][c] = u[r] * v[c];
}

MgcVector3 operator*(const MgcVector3& v, const MgcMatrix3& mat) {
  return {v.x * mat[0][0] + v.y * mat[1][0] + v.z * mat[2][0], v.x * mat[0][1] + v.y * mat[1][1] + v.z * mat[2][1],
          v.x * mat[0][2] + v.y * mat[1][2] + v.z * mat[2][2]};
}

MgcMatrix3 operator*(double s, const MgcMatrix3& mat) { return mat * s; }

MgcMatrix3 SkewSymmetric(const MgcVector3& v) { return {0.0, -v.z, v.y, v.z, 0.0, -v.x, -v.y, v.x, 0.0}; }

}  // namespace Mgc
