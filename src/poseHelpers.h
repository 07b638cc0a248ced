#pragma once

#include <maya/MMatrix.h>
#include <maya/MQuaternion.h>
#include <maya/MVector.h>

#include "engine/bodies/HardBody.h"

// Poses that nodes keep between evaluations: translations as three floats,
// rotations as quaternions of four floats x, y, z, w (the engine's
// quaternions put w first; the conversions here swap explicitly).

/// A pose held in single precision.
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
/// The matrix of an engine body's position and orientation.
MMatrix bodyPoseMatrix(const HardBody& body);
/// The way from a to b at fraction f: translations and quaternion components
/// blended linearly, the quaternion normalised (no shortest-arc correction).
void blendPoses(const FloatPose& a, const FloatPose& b, double f, MVector& translation, MQuaternion& rotation);
/// Places the body at a body matrix: its translation and its rotation (w
/// first), each component rounded to float when asked.
void placeBodyAt(HardBody& body, const MMatrix& bodyMatrix, bool roundToFloat);
/// The angular velocity that turns a into b over dt seconds: the axis of
/// a⁻¹·b times its angle over dt. False, leaving w alone, when the axes of a
/// and b point into opposite half-spaces, or when dt is not positive.
bool turnRate(const MQuaternion& a, const MQuaternion& b, double dt, MVector& w);
