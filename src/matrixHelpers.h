#pragma once

#include <maya/MMatrix.h>
#include <maya/MVector.h>

// Products of the host's affine matrices (row vectors: a point p maps to
// p·M, the translation in the last row).

/// The transform that applies b first, then a: b's 3x3 part times a, with
/// b's translation taken through a. For affine matrices this is b·a.
MMatrix multiplyTransforms(const MMatrix& a, const MMatrix& b);
/// p times m's 3x3 part plus m's translation row.
MVector transformPoint(const MVector& p, const MMatrix& m);
