#include "math/MgcVector2.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "math/FloatBits.h"
#include "math/MgcMath.h"
#include "math/Tolerances.h"

namespace Mgc {

const MgcVector2 MgcVector2::ZERO(0.0, 0.0);
const MgcVector2 MgcVector2::UNIT_X(1.0, 0.0);
const MgcVector2 MgcVector2::UNIT_Y(0.0, 1.0);
double MgcVector2::FUZZ = 0.0;

namespace {

template <typename Relation>
bool order(const MgcVector2& left, const MgcVector2& rightOperand, Relation relation) {
  MgcVector2 right = rightOperand;
  if (MgcVector2::FUZZ > 0.0) {
    if (std::fabs(left.x - right.x) <= MgcVector2::FUZZ) right.x = left.x;
    if (std::fabs(left.y - right.y) <= MgcVector2::FUZZ) right.y = left.y;
  }
  const std::uint32_t ly = lowWord(left.y), ry = lowWord(right.y);
  if (ly != ry) return ly < ry ? relation(0u, 1u) : relation(1u, 0u);
  return relation(lowWord(left.x), lowWord(right.x));
}

}  // namespace

bool MgcVector2::operator==(const MgcVector2& v) const {
  if (FUZZ == 0.0) return x == v.x && y == v.y;
  return std::fabs(x - v.x) <= FUZZ && std::fabs(y - v.y) <= FUZZ;
}

bool MgcVector2::operator<(const MgcVector2& v) const {
  return order(*this, v, [](std::uint32_t a, std::uint32_t b) { return a < b; });
}
bool MgcVector2::operator<=(const MgcVector2& v) const {
  return order(*this, v, [](std::uint32_t a, std::uint32_t b) { return a <= b; });
}
bool MgcVector2::operator>(const MgcVector2& v) const {
  return order(*this, v, [](std::uint32_t a, std::uint32_t b) { return a > b; });
}
bool MgcVector2::operator>=(const MgcVector2& v) const {
  return order(*this, v, [](std::uint32_t a, std::uint32_t b) { return a >= b; });
}

MgcVector2 MgcVector2::operator/(double s) const {
  if (s == 0.0) return {Math::MAX_REAL, Math::MAX_REAL};
  const double inverse = 1.0 / s;
  return {x * inverse, y * inverse};
}

MgcVector2& MgcVector2::operator/=(double s) {
  if (s == 0.0) {
    x = y = Math::MAX_REAL;
    return *this;
  }
  const double inverse = 1.0 / s;
  x *= inverse;
  y *= inverse;
  return *this;
}

double MgcVector2::Length() const { return std::sqrt(x * x + y * y); }

double MgcVector2::Unitize(double tolerance) {
  const double length = Length();
  if (!(length > tolerance)) return 0.0;
  const double inverse = 1.0 / length;
  x *= inverse;
  y *= inverse;
  return length;
}

MgcVector2 MgcVector2::UnitCross() const {
  MgcVector2 perpendicular = Cross();
  perpendicular.Unitize(zov::kUnitizeTolerance);
  return perpendicular;
}

void MgcVector2::Orthonormalize(MgcVector2 v[]) {
  v[0].Unitize(zov::kUnitizeTolerance);
  v[1] -= v[0] * v[0].Dot(v[1]);
  v[1].Unitize(zov::kUnitizeTolerance);
}

}  // namespace Mgc
