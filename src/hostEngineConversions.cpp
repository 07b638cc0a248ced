#include "src/hostEngineConversions.h"

namespace {

constexpr unsigned int kTranslationRow = 3;

}  // namespace

Mgc::MgcMatrix3 engineRotationMatrix(const MQuaternion& rotation) {
  Mgc::MgcMatrix3 matrix;
  toEngine(rotation).ToRotationMatrix(matrix);
  return matrix;
}

MMatrix multiplyTransforms(const MMatrix& a, const MMatrix& b) {
  MMatrix linear = b;
  for (unsigned int c = 0; c < 3; ++c) linear(kTranslationRow, c) = 0.0;
  MMatrix product = linear * a;
  const MVector moved = transformPoint(MVector(b(kTranslationRow, 0), b(kTranslationRow, 1), b(kTranslationRow, 2)), a);
  for (unsigned int c = 0; c < 3; ++c) product(kTranslationRow, c) = moved[c];
  return product;
}

MVector transformPoint(const MVector& p, const MMatrix& m) {
  MVector result;
  for (unsigned int c = 0; c < 3; ++c)
    result[c] = p.x * m(0, c) + p.y * m(1, c) + p.z * m(2, c) + m(kTranslationRow, c);
  return result;
}

MQuaternion rotationOf(const MMatrix& matrix) {
  double x = 0.0, y = 0.0, z = 0.0, w = 1.0;
  MTransformationMatrix(matrix).getRotationQuaternion(x, y, z, w, MSpace::kTransform);
  return MQuaternion(x, y, z, w);
}

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

MMatrix poseMatrix(const MVector& translation, const MQuaternion& rotation, const MVector& scale) {
  MTransformationMatrix pose;
  const double factors[3] = {scale.x, scale.y, scale.z};
  pose.setScale(factors, MSpace::kTransform);
  pose.rotateTo(rotation);
  pose.setTranslation(translation, MSpace::kTransform);
  return pose.asMatrix();
}

MMatrix poseMatrix(const FloatPose& pose, const float scale[3]) {
  return poseMatrix(pose.translationVector(), pose.rotationQuaternion(), MVector(scale[0], scale[1], scale[2]));
}

MMatrix bodyPoseMatrix(const HardBody& body) {
  return poseMatrix(toHost(body.getDyn().position), toHost(body.getDyn().orientationQuat));
}

MTransformationMatrix bodyTransformation(const HardBody& body, const double scale[3]) {
  MTransformationMatrix pose;
  pose.rotateTo(toHost(body.getDyn().orientationQuat));
  pose.setTranslation(toHost(body.getDyn().position), MSpace::kTransform);
  pose.setScale(scale, MSpace::kTransform);
  return pose;
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
