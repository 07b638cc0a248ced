#include "src/poseHelpers.h"

#include <maya/MTransformationMatrix.h>

#include "math/MgcQuaternion.h"
#include "math/MgcVector3.h"

FloatPose poseOf(const MMatrix& matrix, float scale[3]) {
  const MTransformationMatrix parts(matrix);
  FloatPose pose;
  const MVector t = parts.getTranslation(MSpace::kTransform);
  for (unsigned int k = 0; k < 3; ++k) pose.translation[k] = static_cast<float>(t[k]);
  double q[4] = {0.0, 0.0, 0.0, 1.0};
  parts.getRotationQuaternion(q[0], q[1], q[2], q[3], MSpace::kTransform);
  for (unsigned int k = 0; k < 4; ++k) pose.rotation[k] = static_cast<float>(q[k]);
  if (scale != nullptr) {
    double s[3];
    parts.getScale(s, MSpace::kTransform);
    for (unsigned int k = 0; k < 3; ++k) scale[k] = static_cast<float>(s[k]);
  }
  return pose;
}

MMatrix poseMatrix(const MVector& translation, const MQuaternion& rotation) {
  MTransformationMatrix pose;
  pose.rotateTo(rotation);
  pose.setTranslation(translation, MSpace::kTransform);
  return pose.asMatrix();
}

MMatrix poseMatrix(const FloatPose& pose) { return poseMatrix(pose.translationVector(), pose.rotationQuaternion()); }

MMatrix bodyPoseMatrix(const HardBody& body) {
  const Mgc::Quaternion& q = body.getDyn().orientationQuat;
  const Mgc::MgcVector3& p = body.getDyn().position;
  return poseMatrix(MVector(p.x, p.y, p.z), MQuaternion(q.X(), q.Y(), q.Z(), q.W()));
}

void blendPoses(const FloatPose& a, const FloatPose& b, double f, MVector& translation, MQuaternion& rotation) {
  translation = a.translationVector() * (1.0 - f) + b.translationVector() * f;
  rotation = a.rotationQuaternion() * (1.0 - f) + b.rotationQuaternion() * f;
  rotation.normalizeIt();
}

void placeBodyAt(HardBody& body, const MMatrix& bodyMatrix, bool roundToFloat) {
  const MTransformationMatrix parts(bodyMatrix);
  const MVector p = parts.getTranslation(MSpace::kTransform);
  double x = 0.0, y = 0.0, z = 0.0, w = 1.0;
  parts.getRotationQuaternion(x, y, z, w, MSpace::kTransform);
  const auto round = [roundToFloat](double v) { return roundToFloat ? static_cast<double>(static_cast<float>(v)) : v; };
  body.setPosition(Mgc::MgcVector3(round(p.x), round(p.y), round(p.z)));
  body.setOrientationQuat(Mgc::Quaternion(round(w), round(x), round(y), round(z)));
}

bool turnRate(const MQuaternion& a, const MQuaternion& b, double dt, MVector& w) {
  if (!(dt > 0.0)) return false;
  MVector axisA, axisB;
  double angleA = 0.0, angleB = 0.0;
  a.getAxisAngle(axisA, angleA);
  b.getAxisAngle(axisB, angleB);
  if (axisA * axisB < 0.0) return false;
  MQuaternion delta = a.inverse() * b;
  delta.normalizeIt();
  MVector axis;
  double angle = 0.0;
  delta.getAxisAngle(axis, angle);
  w = axis * (angle / dt);
  return true;
}
