#include "math/MgcQuaternion.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "math/MgcMath.h"
#include "math/Tolerances.h"

namespace Mgc {

namespace {

/// How far from 1 the length of a vector normalised in double precision, or
/// the dot product of two such, may lie by rounding alone (with a margin).
constexpr double kUnitRounding = 8.0 * std::numeric_limits<double>::epsilon();

}  // namespace

const Quaternion Quaternion::ZERO(0.0, 0.0, 0.0, 0.0);
const Quaternion Quaternion::IDENTITY(1.0, 0.0, 0.0, 0.0);
const double Quaternion::CLOSEST_TOLERANCE = 1e-8;
const double Quaternion::ROOT_HALF = 0.70710678118654752440;
const double Quaternion::ROOT_TWO = 1.41421356237309504880;

int Quaternion::CompareArrays(const Quaternion& q) const { return std::memcmp(tuple, q.tuple, sizeof tuple); }

Quaternion Quaternion::operator/(double s) const {
  if (s == 0.0) return {Math::MAX_REAL, Math::MAX_REAL, Math::MAX_REAL, Math::MAX_REAL};
  return *this * (1.0 / s);
}

Quaternion& Quaternion::operator+=(const Quaternion& q) {
  for (int i = 0; i < 4; ++i) tuple[i] += q.tuple[i];
  return *this;
}

Quaternion& Quaternion::operator-=(const Quaternion& q) {
  for (int i = 0; i < 4; ++i) tuple[i] -= q.tuple[i];
  return *this;
}

Quaternion& Quaternion::operator*=(double s) {
  for (double& component : tuple) component *= s;
  return *this;
}

Quaternion& Quaternion::operator/=(double s) {
  *this = *this / s;
  return *this;
}

double Quaternion::Length() const { return std::sqrt(SquaredLength()); }

double Quaternion::Normalize() {
  const double length = Length();
  if (length > 0.0) {
    *this *= 1.0 / length;
    return length;
  }
  *this = ZERO;
  return 0.0;
}

Quaternion Quaternion::Inverse() const {
  const double norm = SquaredLength();
  if (norm > 0.0) return Conjugate() * (1.0 / norm);
  return ZERO;
}

MgcVector3 Quaternion::Rotate(const MgcVector3& v) const {
  MgcMatrix3 rotation;
  ToRotationMatrix(rotation);
  return rotation * v;
}

// ---------------------------------------------------------------------------
// Conversions

Quaternion& Quaternion::FromRotationMatrix(const MgcMatrix3& m) {
  const double trace = m(0, 0) + m(1, 1) + m(2, 2);
  if (trace > 0.0) {
    // |w| >= 1/2: w is the well-conditioned component.
    double root = std::sqrt(trace + 1.0);
    tuple[0] = 0.5 * root;
    root = 0.5 / root;
    tuple[1] = (m(2, 1) - m(1, 2)) * root;
    tuple[2] = (m(0, 2) - m(2, 0)) * root;
    tuple[3] = (m(1, 0) - m(0, 1)) * root;
    return *this;
  }

  // |w| <= 1/2: start from the vector component of the largest diagonal entry.
  static const unsigned next[3] = {1, 2, 0};
  unsigned i = 0;
  if (m(1, 1) > m(0, 0)) i = 1;
  if (m(2, 2) > m(i, i)) i = 2;
  const unsigned j = next[i];
  const unsigned k = next[j];

  double root = std::sqrt(m(i, i) - m(j, j) - m(k, k) + 1.0);
  double* vector = &tuple[1];
  vector[i] = 0.5 * root;
  root = 0.5 / root;
  tuple[0] = (m(k, j) - m(j, k)) * root;
  vector[j] = (m(j, i) + m(i, j)) * root;
  vector[k] = (m(k, i) + m(i, k)) * root;
  return *this;
}

Quaternion& Quaternion::FromRotationMatrix(const MgcVector3 axes[3]) {
  return FromRotationMatrix(MgcMatrix3(axes[0], axes[1], axes[2]));
}

void Quaternion::ToRotationMatrix(MgcMatrix3& m) const {
  const double w = tuple[0], x = tuple[1], y = tuple[2], z = tuple[3];
  const double tx = 2.0 * x;
  const double ty = 2.0 * y;
  const double tz = 2.0 * z;
  const double twx = tx * w;
  const double twy = ty * w;
  const double twz = tz * w;
  const double txx = tx * x;
  const double txy = ty * x;
  const double txz = tz * x;
  const double tyy = ty * y;
  const double tyz = tz * y;
  const double tzz = tz * z;

  m(0, 0) = 1.0 - (tyy + tzz);
  m(0, 1) = txy - twz;
  m(0, 2) = txz + twy;
  m(1, 0) = txy + twz;
  m(1, 1) = 1.0 - (txx + tzz);
  m(1, 2) = tyz - twx;
  m(2, 0) = txz - twy;
  m(2, 1) = tyz + twx;
  m(2, 2) = 1.0 - (txx + tyy);
}

void Quaternion::ToRotationMatrix(MgcVector3 axes[3]) const {
  MgcMatrix3 rotation;
  ToRotationMatrix(rotation);
  for (int c = 0; c < 3; ++c) axes[c] = rotation.GetColumn(c);
}

Quaternion& Quaternion::FromAxisAngle(const MgcVector3& axis, double angle) {
  const double halfAngle = 0.5 * angle;
  const double s = std::sin(halfAngle);
  tuple[0] = std::cos(halfAngle);
  tuple[1] = s * axis.x;
  tuple[2] = s * axis.y;
  tuple[3] = s * axis.z;
  return *this;
}

void Quaternion::ToAxisAngle(MgcVector3& axis, double& angle) const {
  const double sqrLength = tuple[1] * tuple[1] + tuple[2] * tuple[2] + tuple[3] * tuple[3];
  if (sqrLength > 0.0) {
    angle = 2.0 * Math::ACos(tuple[0]);
    const double inverseLength = 1.0 / std::sqrt(sqrLength);
    axis = MgcVector3(tuple[1], tuple[2], tuple[3]) * inverseLength;
  } else {
    // No rotation: any axis will do.
    angle = 0.0;
    axis = MgcVector3::UNIT_X;
  }
}

// ---------------------------------------------------------------------------
// Exponential, logarithm and interpolation

Quaternion Quaternion::Exp() const {
  // (0, theta*u) -> (cos theta, sin theta * u); sin theta / theta -> 1 as
  // theta -> 0, so a zero sine keeps the vector part as it is.
  const double angle = std::sqrt(tuple[1] * tuple[1] + tuple[2] * tuple[2] + tuple[3] * tuple[3]);
  const double sine = std::sin(angle);
  Quaternion result(std::cos(angle), tuple[1], tuple[2], tuple[3]);
  if (sine != 0.0) {
    const double coefficient = sine / angle;
    for (int i = 1; i < 4; ++i) result.tuple[i] *= coefficient;
  }
  return result;
}

Quaternion Quaternion::Log() const {
  // (cos theta, sin theta * u) -> (0, theta*u).
  Quaternion result(0.0, tuple[1], tuple[2], tuple[3]);
  if (std::fabs(tuple[0]) < 1.0) {
    const double angle = Math::ACos(tuple[0]);
    const double sine = std::sin(angle);
    if (sine != 0.0) {
      const double coefficient = angle / sine;
      for (int i = 1; i < 4; ++i) result.tuple[i] *= coefficient;
    }
  }
  return result;
}

Quaternion& Quaternion::Slerp(double t, const Quaternion& p, const Quaternion& q) {
  return SlerpExtraSpins(t, p, q, 0);
}

Quaternion& Quaternion::SlerpExtraSpins(double t, const Quaternion& p, const Quaternion& q, int spins) {
  const double cosine = p.Dot(q);
  const double angle = Math::ACos(cosine);
  // At angle 0 the two are one point. At angle pi they are antipodes, the
  // same rotation with opposite signs: no great arc is singled out and the
  // weights below would divide by sin(pi), which is only rounding noise. Unit
  // quaternions that are opposite to within rounding have a cosine a few ulps
  // from -1, whose angle's sine is still noise: they count as antipodes.
  if (angle == 0.0 || cosine <= -1.0 + kUnitRounding) {
    *this = p;
    return *this;
  }
  const double phase = spins * Math::PI * t;
  const double inverseSine = 1.0 / std::sin(angle);
  const double coefficient0 = std::sin((1.0 - t) * angle - phase) * inverseSine;
  const double coefficient1 = std::sin(t * angle + phase) * inverseSine;
  *this = p * coefficient0 + q * coefficient1;
  return *this;
}

Quaternion& Quaternion::Intermediate(const Quaternion& q0, const Quaternion& q1, const Quaternion& q2) {
  const Quaternion q1Inverse = q1.Conjugate();
  const Quaternion log0 = (q1Inverse * q0).Log();
  const Quaternion log2 = (q1Inverse * q2).Log();
  *this = q1 * ((log0 + log2) * -0.25).Exp();
  return *this;
}

Quaternion& Quaternion::Squad(double t, const Quaternion& p, const Quaternion& a, const Quaternion& b,
                              const Quaternion& q) {
  Quaternion outer;
  Quaternion inner;
  outer.Slerp(t, p, q);
  inner.Slerp(t, a, b);
  return Slerp(2.0 * t * (1.0 - t), outer, inner);
}

Quaternion& Quaternion::Align(const MgcVector3& from, const MgcVector3& to) {
  // Unit directions, so that the result is a unit quaternion whatever the
  // lengths of the inputs.
  MgcVector3 a = from;
  MgcVector3 b = to;
  if (a.Unitize(zov::kUnitizeTolerance) == 0.0 || b.Unitize(zov::kUnitizeTolerance) == 0.0) {
    *this = IDENTITY;
    return *this;
  }

  // The rotation by the angle between a and b about a x b is (a.u, a x u)
  // with u the unit bisector of a and b: the half turn about u. For unit a
  // and b the sum a + b is perpendicular to a - b, but the rounding of the
  // unit vectors is not, and for nearly opposite directions it is much of
  // their short sum. Without its part along a - b the bisector stays
  // perpendicular, so the half turn about it takes a to b to within that
  // rounding however short the sum is. (For an angle below a quarter turn
  // the difference is the short one, and the sum needs no correction.)
  MgcVector3 bisector = a + b;
  if (a.Dot(b) < 0.0) {
    const MgcVector3 difference = a - b;
    bisector -= difference * (bisector.Dot(difference) / difference.SquaredLength());
  }
  if (bisector.Unitize(kUnitRounding) > 0.0) {
    const double cosHalfAngle = a.Dot(bisector);
    const MgcVector3 axis = a.Cross(bisector);
    *this = Quaternion(cosHalfAngle, axis.x, axis.y, axis.z);
    return *this;
  }

  // Opposite to within rounding: a half turn about any unit vector
  // perpendicular to a.
  if (std::fabs(a.x) >= std::fabs(a.y)) {
    const double inverseLength = 1.0 / std::sqrt(a.x * a.x + a.z * a.z);
    *this = Quaternion(0.0, -a.z * inverseLength, 0.0, a.x * inverseLength);
  } else {
    const double inverseLength = 1.0 / std::sqrt(a.y * a.y + a.z * a.z);
    *this = Quaternion(0.0, 0.0, a.z * inverseLength, -a.y * inverseLength);
  }
  return *this;
}

void Quaternion::DecomposeTwistTimesSwing(const MgcVector3& direction, Quaternion& twist, Quaternion& swing) const {
  swing.Align(direction, Rotate(direction));
  twist = *this * swing.Conjugate();
}

void Quaternion::DecomposeSwingTimesTwist(const MgcVector3& direction, Quaternion& swing, Quaternion& twist) const {
  swing.Align(direction, Rotate(direction));
  twist = swing.Conjugate() * *this;
}

void Quaternion::Constraints::SetAngleRange(double low, double high) {
  LowAngle = low;
  HighAngle = high;
  CosLow = std::cos(low);
  SinLow = std::sin(low);
  CosHigh = std::cos(high);
  SinHigh = std::sin(high);
  CosHighMinusLow = CosHigh - CosLow;
  SinHighMinusLow = SinHigh - SinLow;
  const double middle = 0.5 * (low + high);
  CosMid = std::cos(middle);
  SinMid = std::sin(middle);
}

}  // namespace Mgc
