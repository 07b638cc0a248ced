// Rotations: axis and angle, quaternions and the torque-free spin.

#include "support/reference/EigenReference.h"

#include "support/reference/EigenReferenceConversions.h"

namespace zovref {

using namespace conversion;

Mat2 rotation2(double angle) { return asMat2(Eigen::Rotation2Dd(angle).toRotationMatrix()); }
Mat3 axisAngleMatrix(double angle, const Vec3& axis) {
  return asMat3(Eigen::AngleAxisd(angle, toE(axis)).toRotationMatrix());
}
double rotationAngle(const Mat3& rotation) { return Eigen::AngleAxisd(toE(rotation)).angle(); }
Quat operator*(const Quat& a, const Quat& b) { return asQuat(toE(a) * toE(b)); }
Vec3 operator*(const Quat& q, const Vec3& v) { return asVec3(toE(q) * toE(v)); }
Quat normalized(const Quat& a) { return asQuat(toE(a).normalized()); }
Quat inverse(const Quat& a) { return asQuat(toE(a).inverse()); }
Mat3 toRotationMatrix(const Quat& q) { return asMat3(toE(q).toRotationMatrix()); }
Quat axisAngleQuat(double angle, const Vec3& axis) {
  return asQuat(Eigen::Quaterniond(Eigen::AngleAxisd(angle, toE(axis))));
}
Quat fromTwoVectors(const Vec3& from, const Vec3& to) {
  return asQuat(Eigen::Quaterniond::FromTwoVectors(toE(from), toE(to)));
}
Quat torqueFreeSpin(const Quat& start, const Mat3& bodyInverseInertia, const Vec3& angularMomentum, double duration) {
  const Eigen::Matrix3d inverseInertia = toE(bodyInverseInertia);
  const Eigen::Vector3d L = toE(angularMomentum);
  auto derivative = [&](const Eigen::Vector4d& y) {
    Eigen::Quaterniond qq(y[0], y[1], y[2], y[3]);
    qq.normalize();
    const Eigen::Matrix3d R = qq.toRotationMatrix();
    const Eigen::Vector3d w = R * inverseInertia * R.transpose() * L;
    const Eigen::Quaterniond dq = Eigen::Quaterniond(0.0, w.x(), w.y(), w.z()) * qq;
    return Eigen::Vector4d(0.5 * dq.w(), 0.5 * dq.x(), 0.5 * dq.y(), 0.5 * dq.z());
  };
  constexpr int kSteps = 20000;
  const double h = duration / kSteps;
  Eigen::Vector4d y(start.w, start.x, start.y, start.z);
  for (int i = 0; i < kSteps; ++i) {
    const Eigen::Vector4d k1 = derivative(y);
    const Eigen::Vector4d k2 = derivative(y + 0.5 * h * k1);
    const Eigen::Vector4d k3 = derivative(y + 0.5 * h * k2);
    const Eigen::Vector4d k4 = derivative(y + h * k3);
    y += h / 6.0 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
  }
  return asQuat(Eigen::Quaterniond(y[0], y[1], y[2], y[3]).normalized());
}

}  // namespace zovref
