// Rotation conversions of MgcMatrix3: Gram-Schmidt, axis-angle, Euler angles
// and interpolation between two rotations.

#include <cmath>
#include <limits>

#include "math/MgcMath.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

namespace Mgc {

namespace {

MgcMatrix3 rotationX(double angle) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  return {1.0, 0.0, 0.0, 0.0, c, -s, 0.0, s, c};
}

MgcMatrix3 rotationY(double angle) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  return {c, 0.0, s, 0.0, 1.0, 0.0, -s, 0.0, c};
}

MgcMatrix3 rotationZ(double angle) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  return {c, -s, 0.0, s, c, 0.0, 0.0, 0.0, 1.0};
}

// The axis of a rotation m by an angle with cosine `cosAngle` well away from 1,
// read from the symmetric part.
MgcVector3 symmetricPartAxis(const MgcMatrix3& m, double cosAngle) {
  // The symmetric part of a rotation is cos*I + (1 - cos)*axis*axis^T. Its
  // largest diagonal entry gives the best-conditioned axis component; the
  // other two follow from the off-diagonal entries.
  const double oneMinusCos = 1.0 - cosAngle;
  int i = 0;
  if (m(1, 1) > m(i, i)) i = 1;
  if (m(2, 2) > m(i, i)) i = 2;
  const int j = (i + 1) % 3;
  const int k = (j + 1) % 3;

  MgcVector3 axis;
  axis[i] = std::sqrt((m(i, i) - cosAngle) / oneMinusCos);
  const double scale = 0.5 / (oneMinusCos * axis[i]);
  axis[j] = (m(i, j) + m(j, i)) * scale;
  axis[k] = (m(i, k) + m(k, i)) * scale;
  return axis;
}

// Whether the entry e that holds the sine or cosine of an Euler extraction's
// middle angle leaves that angle away from the ends of its range. Within a
// few ulps of +-1 the entries that would give the outer angles are rounding
// noise, since they scale with the cosine (or sine) of the middle angle, so
// the outer angles are read as at the limit: the error of doing so is of the
// order of the square root of the bound, well below the noise they carry.
bool awayFromLimits(double e) {
  constexpr double kLimit = 1.0 - 4.0 * std::numeric_limits<double>::epsilon();
  return e > -kLimit && e < kLimit;
}

}  // namespace

void MgcMatrix3::Orthonormalize() {
  // Column 0.
  double inverseLength = 1.0 / std::sqrt(m[0][0] * m[0][0] + m[1][0] * m[1][0] + m[2][0] * m[2][0]);
  for (int r = 0; r < 3; ++r) m[r][0] *= inverseLength;

  // Column 1 without its part along column 0.
  double dot0 = m[0][0] * m[0][1] + m[1][0] * m[1][1] + m[2][0] * m[2][1];
  for (int r = 0; r < 3; ++r) m[r][1] -= dot0 * m[r][0];
  inverseLength = 1.0 / std::sqrt(m[0][1] * m[0][1] + m[1][1] * m[1][1] + m[2][1] * m[2][1]);
  for (int r = 0; r < 3; ++r) m[r][1] *= inverseLength;

  // Column 2 without its parts along columns 0 and 1.
  dot0 = m[0][0] * m[0][2] + m[1][0] * m[1][2] + m[2][0] * m[2][2];
  const double dot1 = m[0][1] * m[0][2] + m[1][1] * m[1][2] + m[2][1] * m[2][2];
  for (int r = 0; r < 3; ++r) m[r][2] -= dot0 * m[r][0] + dot1 * m[r][1];
  inverseLength = 1.0 / std::sqrt(m[0][2] * m[0][2] + m[1][2] * m[1][2] + m[2][2] * m[2][2]);
  for (int r = 0; r < 3; ++r) m[r][2] *= inverseLength;
}

void MgcMatrix3::ToAxisAngle(MgcVector3& axis, double& angle) const {
  const double cosAngle = 0.5 * (m[0][0] + m[1][1] + m[2][2] - 1.0);
  if (cosAngle >= 1.0) {
    angle = 0.0;
    axis = MgcVector3::UNIT_X;
    return;
  }
  angle = cosAngle <= -1.0 ? Math::PI : std::acos(cosAngle);

  if (angle == 0.0) {
    axis = MgcVector3::UNIT_X;
    return;
  }

  if (angle < Math::PI) {
    // The skew-symmetric part is sin(angle) * SkewSymmetric(axis).
    axis = MgcVector3(m[2][1] - m[1][2], m[0][2] - m[2][0], m[1][0] - m[0][1]);
    if (axis.Unitize(EPSILON) > 0.0) return;

    // Too short to unitise with the library tolerance: the angle lies within
    // about 5e-7 of 0 or of a half turn. Near 0 the direction of the short
    // vector is still accurate; near a half turn the skew part has almost
    // vanished and the symmetric part decides the axis, with the skew part's
    // sign.
    const double length = axis.Length();
    if (angle < Math::HALF_PI) {
      axis = length > 0.0 ? axis * (1.0 / length) : MgcVector3::UNIT_X;
      return;
    }
    const MgcVector3 skew = axis;
    axis = symmetricPartAxis(*this, cosAngle);
    if (skew.Dot(axis) < 0.0) axis = -axis;
    return;
  }

  // A half turn: the matrix is symmetric, 2*axis*axis^T - I.
  if (m[0][0] >= m[1][1] && m[0][0] >= m[2][2]) {
    axis.x = 0.5 * std::sqrt(m[0][0] - m[1][1] - m[2][2] + 1.0);
    const double half = 0.5 / axis.x;
    axis.y = m[0][1] * half;
    axis.z = m[0][2] * half;
  } else if (m[1][1] >= m[2][2]) {
    axis.y = 0.5 * std::sqrt(m[1][1] - m[0][0] - m[2][2] + 1.0);
    const double half = 0.5 / axis.y;
    axis.x = m[0][1] * half;
    axis.z = m[1][2] * half;
  } else {
    axis.z = 0.5 * std::sqrt(m[2][2] - m[0][0] - m[1][1] + 1.0);
    const double half = 0.5 / axis.z;
    axis.x = m[0][2] * half;
    axis.y = m[1][2] * half;
  }
}

void MgcMatrix3::FromAxisAngle(const MgcVector3& axis, double angle) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  const double t = 1.0 - c;
  const double x = axis.x;
  const double y = axis.y;
  const double z = axis.z;

  m[0][0] = t * x * x + c;
  m[1][1] = t * y * y + c;
  m[2][2] = t * z * z + c;

  const double txy = t * x * y;
  const double txz = t * x * z;
  const double tyz = t * y * z;
  const double sx = s * x;
  const double sy = s * y;
  const double sz = s * z;
  m[0][1] = txy - sz;
  m[1][0] = txy + sz;
  m[0][2] = txz + sy;
  m[2][0] = txz - sy;
  m[1][2] = tyz - sx;
  m[2][1] = tyz + sx;
}

// ---------------------------------------------------------------------------
// Euler angles. m = R_A(a0) * R_B(a1) * R_C(a2) for the order ABC.

void MgcMatrix3::FromEulerAnglesXYZ(double a0, double a1, double a2) {
  *this = rotationX(a0) * rotationY(a1) * rotationZ(a2);
}

void MgcMatrix3::FromEulerAnglesXZY(double a0, double a1, double a2) {
  *this = rotationX(a0) * rotationZ(a1) * rotationY(a2);
}

void MgcMatrix3::FromEulerAnglesYXZ(double a0, double a1, double a2) {
  *this = rotationY(a0) * rotationX(a1) * rotationZ(a2);
}

void MgcMatrix3::FromEulerAnglesYZX(double a0, double a1, double a2) {
  *this = rotationY(a0) * rotationZ(a1) * rotationX(a2);
}

void MgcMatrix3::FromEulerAnglesZXY(double a0, double a1, double a2) {
  *this = rotationZ(a0) * rotationX(a1) * rotationY(a2);
}

void MgcMatrix3::FromEulerAnglesZYX(double a0, double a1, double a2) {
  *this = rotationZ(a0) * rotationY(a1) * rotationX(a2);
}

// Each extraction reads the middle angle from one entry. When that entry
// reaches +-1 (to within a few ulps, see awayFromLimits) the first and last
// axes coincide and only their sum or difference is determined: the last
// angle is then set to 0, the first takes the whole, and the result is false. An entry that is not a number counts as
// not unique.

bool MgcMatrix3::ToEulerAnglesXYZ(double& a0, double& a1, double& a2) const {
  const double e = m[0][2];
  if (awayFromLimits(e)) {
    a0 = std::atan2(-m[1][2], m[2][2]);
    a1 = std::asin(e);
    a2 = std::atan2(-m[0][1], m[0][0]);
    return true;
  }
  a2 = 0.0;
  if (e < 0.0) {
    a1 = -Math::HALF_PI;
    a0 = -std::atan2(m[1][0], m[1][1]);
  } else {
    a1 = Math::HALF_PI;
    a0 = std::atan2(m[1][0], m[1][1]);
  }
  return false;
}

bool MgcMatrix3::ToEulerAnglesXZY(double& a0, double& a1, double& a2) const {
  const double e = m[0][1];
  if (awayFromLimits(e)) {
    a0 = std::atan2(m[2][1], m[1][1]);
    a1 = std::asin(-e);
    a2 = std::atan2(m[0][2], m[0][0]);
    return true;
  }
  a2 = 0.0;
  if (e < 0.0) {
    a1 = Math::HALF_PI;
    a0 = -std::atan2(-m[2][0], m[2][2]);
  } else {
    a1 = -Math::HALF_PI;
    a0 = std::atan2(-m[2][0], m[2][2]);
  }
  return false;
}

bool MgcMatrix3::ToEulerAnglesYXZ(double& a0, double& a1, double& a2) const {
  const double e = m[1][2];
  if (awayFromLimits(e)) {
    a0 = std::atan2(m[0][2], m[2][2]);
    a1 = std::asin(-e);
    a2 = std::atan2(m[1][0], m[1][1]);
    return true;
  }
  a2 = 0.0;
  if (e < 0.0) {
    a1 = Math::HALF_PI;
    a0 = -std::atan2(-m[0][1], m[0][0]);
  } else {
    a1 = -Math::HALF_PI;
    a0 = std::atan2(-m[0][1], m[0][0]);
  }
  return false;
}

bool MgcMatrix3::ToEulerAnglesYZX(double& a0, double& a1, double& a2) const {
  const double e = m[1][0];
  if (awayFromLimits(e)) {
    a0 = std::atan2(-m[2][0], m[0][0]);
    a1 = std::asin(e);
    a2 = std::atan2(-m[1][2], m[1][1]);
    return true;
  }
  a2 = 0.0;
  if (e < 0.0) {
    a1 = -Math::HALF_PI;
    a0 = -std::atan2(m[2][1], m[2][2]);
  } else {
    a1 = Math::HALF_PI;
    a0 = std::atan2(m[2][1], m[2][2]);
  }
  return false;
}

bool MgcMatrix3::ToEulerAnglesZXY(double& a0, double& a1, double& a2) const {
  const double e = m[2][1];
  if (awayFromLimits(e)) {
    a0 = std::atan2(-m[0][1], m[1][1]);
    a1 = std::asin(e);
    a2 = std::atan2(-m[2][0], m[2][2]);
    return true;
  }
  a2 = 0.0;
  if (e < 0.0) {
    a1 = -Math::HALF_PI;
    a0 = -std::atan2(m[0][2], m[0][0]);
  } else {
    a1 = Math::HALF_PI;
    a0 = std::atan2(m[0][2], m[0][0]);
  }
  return false;
}

bool MgcMatrix3::ToEulerAnglesZYX(double& a0, double& a1, double& a2) const {
  const double e = m[2][0];
  if (awayFromLimits(e)) {
    a0 = std::atan2(m[1][0], m[0][0]);
    a1 = std::asin(-e);
    a2 = std::atan2(m[2][1], m[2][2]);
    return true;
  }
  a2 = 0.0;
  if (e < 0.0) {
    a1 = Math::HALF_PI;
    a0 = -std::atan2(m[0][1], m[0][2]);
  } else {
    a1 = -Math::HALF_PI;
    a0 = std::atan2(-m[0][1], -m[0][2]);
  }
  return false;
}

bool MgcMatrix3::ToEulerAnglesXYX(double& a0, double& a1, double& a2) const {
  const double e = m[0][0];
  if (awayFromLimits(e)) {
    a0 = std::atan2(m[1][0], -m[2][0]);
    a1 = std::acos(e);
    a2 = std::atan2(m[0][1], m[0][2]);
    return true;
  }
  a2 = 0.0;
  if (e < 0.0) {
    a1 = Math::PI;
    a0 = -std::atan2(-m[1][2], m[1][1]);
  } else {
    a1 = 0.0;
    a0 = std::atan2(-m[1][2], m[1][1]);
  }
  return false;
}

bool MgcMatrix3::ToEulerAnglesXZX(double& a0, double& a1, double& a2) const {
  const double e = m[0][0];
  if (awayFromLimits(e)) {
    a0 = std::atan2(m[2][0], m[1][0]);
    a1 = std::acos(e);
    a2 = std::atan2(m[0][2], -m[0][1]);
    return true;
  }
  a2 = 0.0;
  if (e < 0.0) {
    a1 = Math::PI;
    a0 = -std::atan2(m[2][1], m[2][2]);
  } else {
    a1 = 0.0;
    a0 = std::atan2(m[2][1], m[2][2]);
  }
  return false;
}

bool MgcMatrix3::ToEulerAnglesYXY(double& a0, double& a1, double& a2) const {
  const double e = m[1][1];
  if (awayFromLimits(e)) {
    a0 = std::atan2(m[0][1], m[2][1]);
    a1 = std::acos(e);
    a2 = std::atan2(m[1][0], -m[1][2]);
    return true;
  }
  a2 = 0.0;
  if (e < 0.0) {
    a1 = Math::PI;
    a0 = -std::atan2(m[0][2], m[0][0]);
  } else {
    a1 = 0.0;
    a0 = std::atan2(m[0][2], m[0][0]);
  }
  return false;
}

bool MgcMatrix3::ToEulerAnglesYZY(double& a0, double& a1, double& a2) const {
  const double e = m[1][1];
  if (awayFromLimits(e)) {
    a0 = std::atan2(m[2][1], -m[0][1]);
    a1 = std::acos(e);
    a2 = std::atan2(m[1][2], m[1][0]);
    return true;
  }
  a2 = 0.0;
  if (e < 0.0) {
    a1 = Math::PI;
    a0 = -std::atan2(-m[2][0], m[2][2]);
  } else {
    a1 = 0.0;
    a0 = std::atan2(-m[2][0], m[2][2]);
  }
  return false;
}

bool MgcMatrix3::ToEulerAnglesZXZ(double& a0, double& a1, double& a2) const {
  const double e = m[2][2];
  if (awayFromLimits(e)) {
    a0 = std::atan2(m[0][2], -m[1][2]);
    a1 = std::acos(e);
    a2 = std::atan2(m[2][0], m[2][1]);
    return true;
  }
  a2 = 0.0;
  if (e < 0.0) {
    a1 = Math::PI;
    a0 = -std::atan2(-m[0][1], m[0][0]);
  } else {
    a1 = 0.0;
    a0 = std::atan2(-m[0][1], m[0][0]);
  }
  return false;
}

bool MgcMatrix3::ToEulerAnglesZYZ(double& a0, double& a1, double& a2) const {
  const double e = m[2][2];
  if (awayFromLimits(e)) {
    a0 = std::atan2(m[1][2], m[0][2]);
    a1 = std::acos(e);
    a2 = std::atan2(m[2][1], -m[2][0]);
    return true;
  }
  a2 = 0.0;
  if (e < 0.0) {
    a1 = Math::PI;
    a0 = -std::atan2(m[1][0], m[1][1]);
  } else {
    a1 = 0.0;
    a0 = std::atan2(m[1][0], m[1][1]);
  }
  return false;
}

MgcMatrix3 MgcMatrix3::Slerp(double t, const MgcMatrix3& r0, const MgcMatrix3& r1) {
  MgcVector3 axis;
  double angle;
  r0.TransposeTimes(r1).ToAxisAngle(axis, angle);
  MgcMatrix3 partial;
  partial.FromAxisAngle(axis, t * angle);
  return r0 * partial;
}

}  // namespace Mgc
