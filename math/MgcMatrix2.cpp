#include "math/MgcMatrix2.h"

#include <cmath>

#include "math/Tolerances.h"

namespace Mgc {

const MgcMatrix2 MgcMatrix2::ZERO(0.0, 0.0, 0.0, 0.0);
const MgcMatrix2 MgcMatrix2::IDENTITY(1.0, 0.0, 0.0, 1.0);
const double MgcMatrix2::EPSILON = zov::kUnitizeTolerance;

MgcMatrix2::MgcMatrix2(const double entries[2][2])
    : m{{entries[0][0], entries[0][1]}, {entries[1][0], entries[1][1]}} {}

bool MgcMatrix2::operator==(const MgcMatrix2& b) const {
  return m[0][0] == b.m[0][0] && m[0][1] == b.m[0][1] && m[1][0] == b.m[1][0] && m[1][1] == b.m[1][1];
}

MgcMatrix2 MgcMatrix2::operator+(const MgcMatrix2& b) const {
  return {m[0][0] + b.m[0][0], m[0][1] + b.m[0][1], m[1][0] + b.m[1][0], m[1][1] + b.m[1][1]};
}

MgcMatrix2 MgcMatrix2::operator-(const MgcMatrix2& b) const {
  return {m[0][0] - b.m[0][0], m[0][1] - b.m[0][1], m[1][0] - b.m[1][0], m[1][1] - b.m[1][1]};
}

MgcMatrix2 MgcMatrix2::operator-() const { return {-m[0][0], -m[0][1], -m[1][0], -m[1][1]}; }

MgcMatrix2 MgcMatrix2::operator*(const MgcMatrix2& b) const {
  return {m[0][0] * b.m[0][0] + m[0][1] * b.m[1][0], m[0][0] * b.m[0][1] + m[0][1] * b.m[1][1],
          m[1][0] * b.m[0][0] + m[1][1] * b.m[1][0], m[1][0] * b.m[0][1] + m[1][1] * b.m[1][1]};
}

MgcVector2 MgcMatrix2::operator*(const MgcVector2& v) const {
  return {m[0][0] * v.x + m[0][1] * v.y, m[1][0] * v.x + m[1][1] * v.y};
}

MgcMatrix2 MgcMatrix2::operator*(double s) const { return {m[0][0] * s, m[0][1] * s, m[1][0] * s, m[1][1] * s}; }

bool MgcMatrix2::Inverse(MgcMatrix2& out, double tolerance) const {
  const double det = Determinant();
  if (std::fabs(det) <= tolerance) return false;
  const double inverseDet = 1.0 / det;
  out = MgcMatrix2(m[1][1] * inverseDet, -m[0][1] * inverseDet, -m[1][0] * inverseDet, m[0][0] * inverseDet);
  return true;
}

MgcMatrix2 MgcMatrix2::Inverse(double tolerance) const {
  MgcMatrix2 inverse = ZERO;
  Inverse(inverse, tolerance);
  return inverse;
}

void MgcMatrix2::Orthonormalize() {
  const double inverseLength0 = 1.0 / std::sqrt(m[0][0] * m[0][0] + m[1][0] * m[1][0]);
  m[0][0] *= inverseLength0;
  m[1][0] *= inverseLength0;

  const double dot0 = m[0][0] * m[0][1] + m[1][0] * m[1][1];
  m[0][1] -= dot0 * m[0][0];
  m[1][1] -= dot0 * m[1][0];
  const double inverseLength1 = 1.0 / std::sqrt(m[0][1] * m[0][1] + m[1][1] * m[1][1]);
  m[0][1] *= inverseLength1;
  m[1][1] *= inverseLength1;
}

double MgcMatrix2::L2NormSqr() const {
  return m[0][0] * m[0][0] + m[0][1] * m[0][1] + m[1][0] * m[1][0] + m[1][1] * m[1][1];
}

double MgcMatrix2::ToAngle() const { return std::atan2(m[1][0], m[0][0]); }

void MgcMatrix2::FromAngle(double angle) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  *this = MgcMatrix2(c, -s, s, c);
}

void MgcMatrix2::TensorProduct(const MgcVector2& u, const MgcVector2& v, MgcMatrix2& out) {
  out = MgcMatrix2(u.x * v.x, u.x * v.y, u.y * v.x, u.y * v.y);
}

MgcVector2 operator*(const MgcVector2& v, const MgcMatrix2& mat) {
  return {v.x * mat[0][0] + v.y * mat[1][0], v.x * mat[0][1] + v.y * mat[1][1]};
}

MgcMatrix2 operator*(double s, const MgcMatrix2& mat) { return mat * s; }

}  // namespace Mgc
