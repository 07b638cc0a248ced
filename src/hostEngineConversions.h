#pragma once

#include <maya/MFloatPoint.h>
#include <maya/MMatrix.h>
#include <maya/MPoint.h>
#include <maya/MQuaternion.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MVector.h>

#include "engine/bodies/HardBody.h"
#include "math/MgcMatrix3.h"
#include "math/MgcQuaternion.h"
#include "math/MgcVector3.h"

// Conversions between the host's math types and the engine's, and the poses
// that nodes keep between evaluations.
//
// Quaternions: the host's put w last (x, y, z, w), the engine's first
// (w, x, y, z); the conversions here swap explicitly. Matrices are the
// host's affine ones with row vectors: a point p maps to p·M, the
// translation in the last row.

// --- Vectors and quaternions ----------------------------------------------

inline Mgc::MgcVector3 toEngine(const MVector& v) { return Mgc::MgcVector3(v.x, v.y, v.z); }
/// The point's x, y and z; its w is not looked at.
inline Mgc::MgcVector3 toEngine(const MPoint& p) { return Mgc::MgcVector3(p.x, p.y, p.z); }
inline Mgc::MgcVector3 toEngine(const MFloatPoint& p) { return Mgc::MgcVector3(p.x, p.y, p.z); }
inline Mgc::Quaternion toEngine(const MQuaternion& q) { return Mgc::Quaternion(q.w, q.x, q.y, q.z); }

inline MVector toHost(const Mgc::MgcVector3& v) { return MVector(v.x, v.y, v.z); }
inline MPoint toHostPoint(const Mgc::MgcVector3& v) { return MPoint(v.x, v.y, v.z); }
inline MQuaternion toHost(const Mgc::Quaternion& q) { return MQuaternion(q.X(), q.Y(), q.Z(), q.W()); }

/// The engine's rotation matrix of a host rotation.
Mgc::MgcMatrix3 engineRotationMatrix(const MQuaternion& rotation);

// --- Matrices --------------------------------------------------------------

/// The transform that applies b first, then a: b's 3x3 part times a, with
/// b's translation taken through a. For affine matrices this is b·a.
MMatrix multiplyTransforms(const MMatrix& a, const MMatrix& b);
/// p times m's 3x3 part plus m's translation row.
MVector transformPoint(const MVector& p, const MMatrix& m);
/// The rotation of a matrix decomposed in transform space.
MQuaternion rotationOf(const MMatrix& matrix);

// --- Poses -------------------------------------------------------------------

/// A pose held in single precision: translations as three floats, rotations
/// as quaternions of four floats x, y, z, w.
struct FloatPose {
  float translation[3] = {0.0f, 0.0f, 0.0f};
  float rotation[4] = {0.0f, 0.0f, 0.0f, 1.0f};

  MVector translationVector() const { return MVector(translation[0], translation[1], translation[2]); }
  MQuaternion rotationQuaternion() const { return MQuaternion(rotation[0], rotation[1], rotation[2], rotation[3]); }
};

/// The translation and rotation of a matrix decomposed in transform space,
/// each narrowed to float; the scale too when asked for.
FloatPose poseOf(const MMatrix& matrix, float scale[3] = nullptr);
/// The pose matrix: rotation, then translation.
MMatrix poseMatrix(const MVector& translation, const MQuaternion& rotation);
MMatrix poseMatrix(const FloatPose& pose);
/// The pose matrix with a scale applied first, as poseOf splits a matrix:
/// rebuilds the matrix a pose and its scale came from (shear aside).
MMatrix poseMatrix(const MVector& translation, const MQuaternion& rotation, const MVector& scale);
MMatrix poseMatrix(const FloatPose& pose, const float scale[3]);
/// The matrix of an engine body's position and orientation.
MMatrix bodyPoseMatrix(const HardBody& body);
/// An engine body's position and orientation with a scale: the scale and
/// rotation, then the translation to its position.
MTransformationMatrix bodyTransformation(const HardBody& body, const double scale[3]);
/// The way from a to b at fraction f: translations and quaternion components
/// blended linearly, the quaternion normalised (no shortest-arc correction).
void blendPoses(const FloatPose& a, const FloatPose& b, double f, MVector& translation, MQuaternion& rotation);
/// Places the body at a body matrix: its translation and its rotation, each
/// component rounded to float when asked.
void placeBodyAt(HardBody& body, const MMatrix& bodyMatrix, bool roundToFloat);
/// The angular velocity that turns a into b over dt seconds: the axis of
/// a⁻¹·b times its angle over dt. False, leaving w alone, when the axes of a
/// and b point into opposite half-spaces, or when dt is not positive.
bool turnRate(const MQuaternion& a, const MQuaternion& b, double dt, MVector& w);
