#include "mathtypes/MatrixParts.h"

#include <maya/MVector.h>

#include <cmath>

namespace zovhost {

namespace {

// Rows shorter than this fraction of the longest row count as dependent.
constexpr double kDependentRow = 1.0e-12;

MVector row(const MMatrix& m, unsigned int r) { return MVector(m[r][0], m[r][1], m[r][2]); }

}  // namespace

bool splitScaleShearRotation(const MMatrix& matrix, ScaleShearRotation& parts) {
  const MVector rows[3] = {row(matrix, 0), row(matrix, 1), row(matrix, 2)};
  const double longest = std::fmax(rows[0].length(), std::fmax(rows[1].length(), rows[2].length()));
  const double tiny = kDependentRow * longest;
  if (!(longest > 0.0)) return false;

  const double sx = rows[0].length();
  if (sx <= tiny) return false;
  const MVector r0 = rows[0] / sx;

  const double d01 = rows[1] * r0;
  const MVector rest1 = rows[1] - r0 * d01;
  const double sy = rest1.length();
  if (sy <= tiny) return false;
  const MVector r1 = rest1 / sy;

  const double d02 = rows[2] * r0;
  const double d12 = rows[2] * r1;
  const MVector rest2 = rows[2] - r0 * d02 - r1 * d12;
  double sz = rest2.length();
  if (sz <= tiny) return false;
  MVector r2 = rest2 / sz;
  // A mirroring goes into scale z so that the rotation stays proper.
  if (((r0 ^ r1) * r2) < 0.0) {
    sz = -sz;
    r2 = -r2;
  }

  parts.scale[0] = sx;
  parts.scale[1] = sy;
  parts.scale[2] = sz;
  parts.shear[0] = d01 / sy;
  parts.shear[1] = d02 / sz;
  parts.shear[2] = d12 / sz;
  parts.rotation = MMatrix();
  const MVector axes[3] = {r0, r1, r2};
  for (unsigned int r = 0; r < 3; ++r)
    for (unsigned int c = 0; c < 3; ++c) parts.rotation[r][c] = axes[r][c];
  return true;
}

MMatrix rotationPart(const MMatrix& matrix) {
  ScaleShearRotation parts;
  return splitScaleShearRotation(matrix, parts) ? parts.rotation : MMatrix();
}

MMatrix translationMatrix(double x, double y, double z) {
  MMatrix result;
  result[3][0] = x;
  result[3][1] = y;
  result[3][2] = z;
  return result;
}

}  // namespace zovhost
