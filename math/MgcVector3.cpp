#include "math/MgcVector3.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "math/FloatBits.h"
#include "math/MgcMath.h"
#include "math/Tolerances.h"

namespace Mgc {

const MgcVector3 MgcVector3::ZERO(0.0, 0.0, 0.0);
const MgcVector3 MgcVector3::UNIT_X(1.0, 0.0, 0.0);
const MgcVector3 MgcVector3::UNIT_Y(0.0, 1.0, 0.0);
const MgcVector3 MgcVector3::UNIT_Z(0.0, 0.0, 1.0);
double MgcVector3::FUZZ = 0.0;

namespace {

// Result of comparing z, then y: negative or positive when one decides, 0 when
// both low words are equal and x must decide.
int compareHigherComponents(const MgcVector3& left, const MgcVector3& right) {
  for (int i = 2; i >= 1; --i) {
    const std::uint32_t a = lowWord(left[i]);
    const std::uint32_t b = lowWord(right[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  return 0;
}

// The right operand with every component that lies within FUZZ of the left
// one's replaced by the left one's.
MgcVector3 fuzzed(const MgcVector3& left, const MgcVector3& right) {
  MgcVector3 copy = right;
  if (MgcVector3::FUZZ > 0.0) {
    for (int i = 0; i < 3; ++i)
      if (std::fabs(left[i] - copy[i]) <= MgcVector3::FUZZ) copy[i] = left[i];
  }
  return copy;
}

template <typename Relation>
bool order(const MgcVector3& left, const MgcVector3& rightOperand, Relation relation) {
  const MgcVector3 right = fuzzed(left, rightOperand);
  const int higher = compareHigherComponents(left, right);
  if (higher != 0) return higher < 0 ? relation(0u, 1u) : relation(1u, 0u);
  return relation(lowWord(left.x), lowWord(right.x));
}

}  // namespace

bool MgcVector3::operator==(const MgcVector3& v) const {
  if (FUZZ == 0.0) return x == v.x && y == v.y && z == v.z;
  return std::fabs(x - v.x) <= FUZZ && std::fabs(y - v.y) <= FUZZ && std::fabs(z - v.z) <= FUZZ;
}

bool MgcVector3::operator<(const MgcVector3& v) const {
  return order(*this, v, [](std::uint32_t a, std::uint32_t b) { return a < b; });
}
bool MgcVector3::operator<=(const MgcVector3& v) const {
  return order(*this, v, [](std::uint32_t a, std::uint32_t b) { return a <= b; });
}
bool MgcVector3::operator>(const MgcVector3& v) const {
  return order(*this, v, [](std::uint32_t a, std::uint32_t b) { return a > b; });
}
bool MgcVector3::operator>=(const MgcVector3& v) const {
  return order(*this, v, [](std::uint32_t a, std::uint32_t b) { return a >= b; });
}

MgcVector3 MgcVector3::operator/(double s) const {
  if (s == 0.0) return {Math::MAX_REAL, Math::MAX_REAL, Math::MAX_REAL};
  const double inverse = 1.0 / s;
  return {x * inverse, y * inverse, z * inverse};
}

MgcVector3& MgcVector3::operator/=(double s) {
  if (s == 0.0) {
    x = y = z = Math::MAX_REAL;
    return *this;
  }
  const double inverse = 1.0 / s;
  x *= inverse;
  y *= inverse;
  z *= inverse;
  return *this;
}

MgcVector3 MgcVector3::UnitCross(const MgcVector3& v) const {
  MgcVector3 cross = Cross(v);
  cross.Unitize(zov::kUnitizeTolerance);
  return cross;
}

void MgcVector3::Orthonormalize(MgcVector3 v[]) {
  v[0].Unitize(zov::kUnitizeTolerance);
  v[1] -= v[0] * v[0].Dot(v[1]);
  v[1].Unitize(zov::kUnitizeTolerance);
  const double d0 = v[0].Dot(v[2]);
  const double d1 = v[1].Dot(v[2]);
  v[2] -= v[0] * d0 + v[1] * d1;
  v[2].Unitize(zov::kUnitizeTolerance);
}

void MgcVector3::GenerateOrthonormalBasis(MgcVector3& U, MgcVector3& V, MgcVector3& W, bool unitW) {
  if (!unitW) W.Unitize(zov::kUnitizeTolerance);
  if (std::fabs(W.x) >= std::fabs(W.y)) {
    const double inverse = 1.0 / std::sqrt(W.x * W.x + W.z * W.z);
    U = MgcVector3(-W.z * inverse, 0.0, W.x * inverse);
  } else {
    const double inverse = 1.0 / std::sqrt(W.y * W.y + W.z * W.z);
    U = MgcVector3(0.0, W.z * inverse, -W.y * inverse);
  }
  V = W.Cross(U);
}

}  // namespace Mgc
