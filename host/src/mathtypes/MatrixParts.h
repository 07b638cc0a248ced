#pragma once

#include <maya/MMatrix.h>

namespace zovhost {

/// The parts of a matrix's upper 3x3 part A = S * Sh * R (row-vector
/// convention): scale S = diag(scale), shear Sh with rows (1, 0, 0),
/// (xy, 1, 0), (xz, yz, 1) where shear = (xy, xz, yz), and a proper rotation
/// R (determinant +1; a mirroring goes into the sign of scale z).
struct ScaleShearRotation {
  double scale[3] = {1.0, 1.0, 1.0};
  double shear[3] = {0.0, 0.0, 0.0};
  MMatrix rotation;
};

/// Splits A by Gram-Schmidt over its rows; false when A is singular (a row
/// of length zero or dependent on the ones before it), leaving parts as is.
bool splitScaleShearRotation(const MMatrix& matrix, ScaleShearRotation& parts);

/// The rotation R of that split (the identity for a singular matrix).
MMatrix rotationPart(const MMatrix& matrix);

/// A translation matrix.
MMatrix translationMatrix(double x, double y, double z);

}  // namespace zovhost
