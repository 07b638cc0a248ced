// Projections of a unit quaternion onto rotations about one or two coordinate
// axes (optionally within angle ranges), and its factoring into three
// rotations about the coordinate axes.
//
// The orders other than XY (and XYZ for the factoring) reuse the XY (XYZ)
// solver on a quaternion whose components are permuted and negated so that
// the wanted axes play the parts of x and y (x, y, z), and map the result
// back the same way.

#include <cmath>

#include "math/MgcMath.h"
#include "math/MgcQuaternion.h"

namespace Mgc {

namespace {

// Whether the unit pair (c, s) = (cos a, sin a), or its antipode, lies on the
// arc of the range: both ends lie on the arc, and a point is on it when it is
// on the arc's side of the chord between them.
bool insideRange(const Quaternion::Constraints& con, double c, double s) {
  const bool direct = (c - con.CosLow) * con.SinHighMinusLow >= (s - con.SinLow) * con.CosHighMinusLow;
  const bool antipode = (con.SinLow + s) * con.CosHighMinusLow >= (con.CosLow + c) * con.SinHighMinusLow;
  return direct || antipode;
}

// (c0 + s0*i) * (c1 + s1*j).
Quaternion productXY(double c0, double s0, double c1, double s1) { return {c0 * c1, s0 * c1, c0 * s1, s0 * s1}; }

// The cosines and sines of the half angles of the closest (c0 + s0*i) *
// (c1 + s1*j) to the unit quaternion (w, x, y, z), away from gimbal lock
// (|det| < 1/2 with det = w*z - x*y).
struct AnglePairs {
  double c0, s0, c1, s1;
};

AnglePairs closestPairsXY(double w, double x, double y, double z, double det) {
  // The dot of (w, x, y, z) with the product is c1*(c0*w + s0*x) +
  // s1*(c0*y + s0*z). For a given (c0, s0) the best (c1, s1) is that pair
  // normalised; (c0, s0) is then the dominant eigenvector of
  // [[w^2 + y^2, wx + yz], [wx + yz, x^2 + z^2]], whose eigenvalues differ by
  // sqrt(1 - 4*det^2).
  const double discriminant = std::sqrt(std::fabs(1.0 - 4.0 * det * det));
  const double a = w * x + y * z;
  const double b = w * w - x * x + y * y - z * z;
  double c0, s0;
  if (b >= 0.0) {
    c0 = 0.5 * (discriminant + b);
    s0 = a;
  } else {
    c0 = a;
    s0 = 0.5 * (discriminant - b);
  }
  double inverseLength = 1.0 / std::sqrt(c0 * c0 + s0 * s0);
  c0 *= inverseLength;
  s0 *= inverseLength;

  double c1 = w * c0 + x * s0;
  double s1 = y * c0 + z * s0;
  inverseLength = 1.0 / std::sqrt(c1 * c1 + s1 * s1);
  c1 *= inverseLength;
  s1 *= inverseLength;
  return {c0, s0, c1, s1};
}

}  // namespace

// ---------------------------------------------------------------------------
// One axis

Quaternion Quaternion::GetClosest(int axis) const {
  // The dot of this with (c, s*e_axis) is c*w + s*component: largest for the
  // normalised pair (w, component).
  Quaternion closest = ZERO;
  const double a = tuple[0];
  const double b = tuple[axis];
  const double sqrLength = a * a + b * b;
  if (sqrLength > CLOSEST_TOLERANCE) {
    const double inverseLength = 1.0 / std::sqrt(sqrLength);
    closest.tuple[0] = a * inverseLength;
    closest.tuple[axis] = b * inverseLength;
  } else {
    // Every rotation about the axis is equally close.
    closest.tuple[0] = 1.0;
  }
  return closest;
}

Quaternion Quaternion::GetClosest(int axis, const Constraints& con) const {
  Quaternion closest = ZERO;
  double a = tuple[0];
  double b = tuple[axis];
  const double sqrLength = a * a + b * b;
  if (sqrLength <= CLOSEST_TOLERANCE) {
    // Every angle is equally close: take the middle of the range.
    closest.tuple[0] = con.CosMid;
    closest.tuple[axis] = con.SinMid;
    return closest;
  }

  const double inverseLength = 1.0 / std::sqrt(sqrLength);
  a *= inverseLength;
  b *= inverseLength;
  if (insideRange(con, a, b)) {
    closest.tuple[0] = a;
    closest.tuple[axis] = b;
    return closest;
  }

  // Outside the range: the nearer end, signed to face this quaternion.
  double cosLow = con.CosLow;
  double sinLow = con.SinLow;
  double dotLow = cosLow * a + sinLow * b;
  if (dotLow < 0.0) {
    cosLow = -cosLow;
    sinLow = -sinLow;
    dotLow = -dotLow;
  }
  double cosHigh = con.CosHigh;
  double sinHigh = con.SinHigh;
  double dotHigh = cosHigh * a + sinHigh * b;
  if (dotHigh < 0.0) {
    cosHigh = -cosHigh;
    sinHigh = -sinHigh;
    dotHigh = -dotHigh;
  }
  if (dotHigh >= dotLow) {
    closest.tuple[0] = cosHigh;
    closest.tuple[axis] = sinHigh;
  } else {
    closest.tuple[0] = cosLow;
    closest.tuple[axis] = sinLow;
  }
  return closest;
}

// ---------------------------------------------------------------------------
// Two axes, unconstrained

Quaternion Quaternion::GetClosestXY() const {
  const double w = tuple[0], x = tuple[1], y = tuple[2], z = tuple[3];
  const double det = w * z - x * y;
  if (std::fabs(det) < 0.5 - CLOSEST_TOLERANCE) {
    const AnglePairs pairs = closestPairsXY(w, x, y, z, det);
    return productXY(pairs.c0, pairs.s0, pairs.c1, pairs.s1);
  }

  // Gimbal case: the eigenvalues coincide and only X - Y or X + Y is
  // determined; Y is taken as 0.
  const double inverseLength = 1.0 / std::sqrt(std::fabs(det));
  return {w * inverseLength, x * inverseLength, 0.0, 0.0};
}

Quaternion Quaternion::GetClosestYX() const {
  Quaternion closest = Quaternion(W(), X(), Y(), -Z()).GetClosestXY();
  closest.Z() = -closest.Z();
  return closest;
}

Quaternion Quaternion::GetClosestZX() const {
  const Quaternion r = Quaternion(W(), X(), Z(), Y()).GetClosestXY();
  return {r.W(), r.X(), r.Z(), r.Y()};
}

Quaternion Quaternion::GetClosestXZ() const {
  const Quaternion r = Quaternion(W(), X(), -Z(), Y()).GetClosestXY();
  return {r.W(), r.X(), r.Z(), -r.Y()};
}

Quaternion Quaternion::GetClosestYZ() const {
  const Quaternion r = Quaternion(W(), Y(), Z(), X()).GetClosestXY();
  return {r.W(), r.Z(), r.X(), r.Y()};
}

Quaternion Quaternion::GetClosestZY() const {
  const Quaternion r = Quaternion(W(), Y(), Z(), -X()).GetClosestXY();
  return {r.W(), -r.Z(), r.X(), r.Y()};
}

// ---------------------------------------------------------------------------
// Two axes, constrained

Quaternion Quaternion::GetClosestXY(const Constraints& xCon, const Constraints& yCon) const {
  const double w = tuple[0], x = tuple[1], y = tuple[2], z = tuple[3];
  const double det = w * z - x * y;

  if (std::fabs(det) < 0.5 - CLOSEST_TOLERANCE) {
    // The unconstrained optimum, when both of its angles are in range.
    const AnglePairs pairs = closestPairsXY(w, x, y, z, det);
    if (insideRange(xCon, pairs.c0, pairs.s0) && insideRange(yCon, pairs.c1, pairs.s1))
      return productXY(pairs.c0, pairs.s0, pairs.c1, pairs.s1);

    // Otherwise the optimum lies on the boundary of the range rectangle: hold
    // one angle at an end and take the best other angle in its range.
    Quaternion best;
    double bestDot = 0.0;
    bool haveBest = false;
    const auto consider = [&](const Quaternion& qx, const Quaternion& qy, double dot) {
      if (!haveBest || dot > bestDot) {
        best = qx * qy;
        bestDot = dot;
        haveBest = true;
      }
    };
    const auto holdX = [&](double c, double s) {
      const Quaternion qx(c, s, 0.0, 0.0);
      const Quaternion rest = qx.Conjugate() * *this;
      const Quaternion qy = rest.GetClosest(2, yCon);
      consider(qx, qy, qy.Dot(rest));
    };
    const auto holdY = [&](double c, double s) {
      const Quaternion qy(c, 0.0, s, 0.0);
      const Quaternion rest = *this * qy.Conjugate();
      const Quaternion qx = rest.GetClosest(1, xCon);
      consider(qx, qy, qx.Dot(rest));
    };
    holdX(xCon.CosLow, xCon.SinLow);
    holdX(xCon.CosHigh, xCon.SinHigh);
    holdY(yCon.CosLow, yCon.SinLow);
    holdY(yCon.CosHigh, yCon.SinHigh);
    return best;
  }

  // Gimbal case: only the difference X - Y (det > 0) or the sum X + Y
  // (det <= 0) of the two angles is determined. Find it within the range the
  // two ranges allow, then split it so that both angles stay in range.
  Constraints range;
  if (det > 0.0) {
    range.SetAngleRange(xCon.LowAngle - yCon.HighAngle, xCon.HighAngle - yCon.LowAngle);
  } else {
    range.SetAngleRange(xCon.LowAngle + yCon.LowAngle, xCon.HighAngle + yCon.HighAngle);
  }
  const Quaternion closest = GetClosest(1, range);
  double combined = std::atan2(closest.X(), closest.W());
  if (combined < range.LowAngle || combined > range.HighAngle) {
    // The pair or its antipode lies in the range, but the range may reach
    // past +-pi where atan2 does not: take the angle of the pair, modulo pi,
    // nearest the middle of the range.
    const double middle = 0.5 * (range.LowAngle + range.HighAngle);
    combined += Math::PI * std::round((middle - combined) / Math::PI);
  }

  double angleX, angleY;
  if (det > 0.0) {
    if (xCon.HighAngle - yCon.HighAngle >= combined) {
      angleY = yCon.HighAngle;
      angleX = combined + angleY;
    } else {
      angleX = xCon.HighAngle;
      angleY = angleX - combined;
    }
  } else {
    if (combined >= yCon.HighAngle + xCon.LowAngle) {
      angleY = yCon.HighAngle;
      angleX = combined - angleY;
    } else {
      angleX = xCon.LowAngle;
      angleY = combined - angleX;
    }
  }

  Quaternion result = productXY(std::cos(angleX), std::sin(angleX), std::cos(angleY), std::sin(angleY));
  if (result.Dot(*this) < 0.0) result = -result;
  return result;
}

Quaternion Quaternion::GetClosestYX(const Constraints& yCon, const Constraints& xCon) const {
  // Negating z turns the order of products around: XY there is YX here.
  Quaternion closest = Quaternion(W(), X(), Y(), -Z()).GetClosestXY(xCon, yCon);
  closest.Z() = -closest.Z();
  return closest;
}

Quaternion Quaternion::GetClosestZX(const Constraints& zCon, const Constraints& xCon) const {
  // The cyclic relabelling x -> z, y -> x, z -> y keeps products in order.
  const Quaternion r = Quaternion(W(), Z(), X(), Y()).GetClosestXY(zCon, xCon);
  return {r.W(), r.Y(), r.Z(), r.X()};
}

Quaternion Quaternion::GetClosestXZ(const Constraints& xCon, const Constraints& zCon) const {
  // Negating y turns the order of products around: ZX there is XZ here.
  Quaternion closest = Quaternion(W(), X(), -Y(), Z()).GetClosestZX(zCon, xCon);
  closest.Y() = -closest.Y();
  return closest;
}

Quaternion Quaternion::GetClosestZY(const Constraints& zCon, const Constraints& yCon) const {
  // The relabelling x -> z, y -> y, z -> -x is a rotation of the axes and
  // keeps products in order.
  const Quaternion r = Quaternion(W(), Z(), Y(), -X()).GetClosestXY(zCon, yCon);
  return {r.W(), -r.Z(), r.Y(), r.X()};
}

Quaternion Quaternion::GetClosestYZ(const Constraints& yCon, const Constraints& zCon) const {
  // Negating x turns the order of products around: ZY there is YZ here.
  Quaternion closest = Quaternion(W(), -X(), Y(), Z()).GetClosestZY(zCon, yCon);
  closest.X() = -closest.X();
  return closest;
}

// ---------------------------------------------------------------------------
// Factoring into three rotations

void Quaternion::FactorXYZ(double& cx, double& sx, double& cy, double& sy, double& cz, double& sz) const {
  const double w = tuple[0], x = tuple[1], y = tuple[2], z = tuple[3];
  const double a = w * x - y * z;
  const double b = 0.5 * (w * w - x * x - y * y + z * z);
  const double length = std::sqrt(a * a + b * b);

  if (length > CLOSEST_TOLERANCE) {
    // (a, b)/length is (sin 2X, cos 2X); take the half angle through the
    // larger of its cosine and sine.
    const double sin2X = a / length;
    const double cos2X = b / length;
    if (cos2X >= 0.0) {
      cx = std::sqrt(0.5 * (1.0 + cos2X));
      sx = 0.5 * sin2X / cx;
    } else {
      sx = std::sqrt(0.5 * (1.0 - cos2X));
      cx = 0.5 * sin2X / sx;
    }

    const double t0 = cx * w + sx * x;
    const double t1 = cx * z - sx * y;
    const double inverseLength = 1.0 / std::sqrt(t0 * t0 + t1 * t1);
    cz = t0 * inverseLength;
    sz = t1 * inverseLength;

    // Divide by the larger of cz and sz.
    if (std::fabs(cz) >= std::fabs(sz)) {
      cy = t0 / cz;
      sy = (sx * z + cx * y) / cz;
    } else {
      cy = t1 / sz;
      sy = (cx * x - sx * w) / sz;
    }
    return;
  }

  // Gimbal lock: Y is a quarter turn and only X + Z (or X - Z) is determined;
  // X is taken as 0.
  cx = 1.0;
  sx = 0.0;
  cy = ROOT_HALF;
  cz = ROOT_TWO * w;
  if (y * w + z * x > 0.0) {
    sy = ROOT_HALF;
    sz = ROOT_TWO * x;
  } else {
    sy = -ROOT_HALF;
    sz = -ROOT_TWO * x;
  }
}

void Quaternion::FactorXZY(double& cx, double& sx, double& cz, double& sz, double& cy, double& sy) const {
  Quaternion(W(), X(), Z(), -Y()).FactorXYZ(cx, sx, cz, sz, cy, sy);
  sy = -sy;
}

void Quaternion::FactorYZX(double& cy, double& sy, double& cz, double& sz, double& cx, double& sx) const {
  Quaternion(W(), -Y(), Z(), -X()).FactorXYZ(cy, sy, cz, sz, cx, sx);
  sy = -sy;
  sx = -sx;
}

void Quaternion::FactorYXZ(double& cy, double& sy, double& cx, double& sx, double& cz, double& sz) const {
  Quaternion(W(), -Y(), X(), Z()).FactorXYZ(cy, sy, cx, sx, cz, sz);
  sy = -sy;
}

void Quaternion::FactorZXY(double& cz, double& sz, double& cx, double& sx, double& cy, double& sy) const {
  Quaternion(W(), -Z(), X(), -Y()).FactorXYZ(cz, sz, cx, sx, cy, sy);
  sz = -sz;
  sy = -sy;
}

void Quaternion::FactorZYX(double& cz, double& sz, double& cy, double& sy, double& cx, double& sx) const {
  Quaternion(W(), Z(), -Y(), X()).FactorXYZ(cz, sz, cy, sy, cx, sx);
  sy = -sy;
}

}  // namespace Mgc
