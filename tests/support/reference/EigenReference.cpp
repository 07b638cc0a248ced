// Arithmetic of the reference values and their printing.

#include "support/reference/EigenReference.h"

#include <ostream>

#include "support/reference/EigenReferenceConversions.h"

namespace zovref {

using namespace conversion;

Vec3 Vec3::unit(int axis) { return asVec3(Eigen::Vector3d::Unit(axis)); }
Mat2 Mat2::identity() { return asMat2(Eigen::Matrix2d::Identity()); }
Mat3 Mat3::identity() { return asMat3(Eigen::Matrix3d::Identity()); }
Mat3 Mat3::diagonal(const Vec3& d) { return asMat3(Eigen::Matrix3d(toE(d).asDiagonal())); }
Mat4 Mat4::identity() { return asMat4(Eigen::Matrix4d::Identity()); }

Vec3 operator+(const Vec3& a, const Vec3& b) { return asVec3(toE(a) + toE(b)); }
Vec3 operator-(const Vec3& a, const Vec3& b) { return asVec3(toE(a) - toE(b)); }
Vec3 operator-(const Vec3& a) { return asVec3(-toE(a)); }
Vec3 operator*(double s, const Vec3& a) { return asVec3(s * toE(a)); }
Vec3 operator*(const Vec3& a, double s) { return asVec3(toE(a) * s); }
Vec3 operator/(const Vec3& a, double s) { return asVec3(toE(a) / s); }
Vec3& operator+=(Vec3& a, const Vec3& b) { return a = a + b; }
Vec3& operator/=(Vec3& a, double s) { return a = a / s; }
double dot(const Vec3& a, const Vec3& b) { return toE(a).dot(toE(b)); }
Vec3 cross(const Vec3& a, const Vec3& b) { return asVec3(toE(a).cross(toE(b))); }
double norm(const Vec3& a) { return toE(a).norm(); }
double squaredNorm(const Vec3& a) { return toE(a).squaredNorm(); }
Vec3 normalized(const Vec3& a) { return asVec3(toE(a).normalized()); }
Vec3 cwiseProduct(const Vec3& a, const Vec3& b) { return asVec3(toE(a).cwiseProduct(toE(b))); }
double prod(const Vec3& a) { return toE(a).prod(); }
double minCoeff(const Vec3& a) { return toE(a).minCoeff(); }
double maxAbs(const Vec3& a) { return toE(a).cwiseAbs().maxCoeff(); }
double absSum(const Vec3& a) { return toE(a).cwiseAbs().sum(); }

Vec2 operator-(const Vec2& a, const Vec2& b) { return asVec2(toE(a) - toE(b)); }
double norm(const Vec2& a) { return toE(a).norm(); }
double maxAbs(const Vec2& a) { return toE(a).cwiseAbs().maxCoeff(); }
Mat2 operator+(const Mat2& a, const Mat2& b) { return asMat2(toE(a) + toE(b)); }
Mat2 operator-(const Mat2& a, const Mat2& b) { return asMat2(toE(a) - toE(b)); }
Mat2 operator*(const Mat2& a, const Mat2& b) { return asMat2(toE(a) * toE(b)); }
Vec2 operator*(const Mat2& a, const Vec2& v) { return asVec2(toE(a) * toE(v)); }
Vec2 operator*(double s, const Vec2& v) { return asVec2(s * toE(v)); }
Mat2 transpose(const Mat2& a) { return asMat2(toE(a).transpose()); }
Mat2 inverse(const Mat2& a) { return asMat2(toE(a).inverse()); }
double determinant(const Mat2& a) { return toE(a).determinant(); }
double norm(const Mat2& a) { return toE(a).norm(); }
double maxAbs(const Mat2& a) { return toE(a).cwiseAbs().maxCoeff(); }
Mat3 operator+(const Mat3& a, const Mat3& b) { return asMat3(toE(a) + toE(b)); }
Mat3 operator-(const Mat3& a, const Mat3& b) { return asMat3(toE(a) - toE(b)); }
Mat3 operator-(const Mat3& a) { return asMat3(-toE(a)); }
Mat3 operator*(const Mat3& a, const Mat3& b) { return asMat3(toE(a) * toE(b)); }
Vec3 operator*(const Mat3& a, const Vec3& v) { return asVec3(toE(a) * toE(v)); }
Mat3 operator*(double s, const Mat3& a) { return asMat3(s * toE(a)); }
Mat3 operator*(const Mat3& a, double s) { return asMat3(toE(a) * s); }
Mat3 operator/(const Mat3& a, double s) { return asMat3(toE(a) / s); }
Mat3& operator+=(Mat3& a, const Mat3& b) { return a = a + b; }
Mat3& operator/=(Mat3& a, double s) { return a = a / s; }
bool operator==(const Mat3& a, const Mat3& b) { return toE(a) == toE(b); }
Mat3 outer(const Vec3& a, const Vec3& b) { return asMat3(toE(a) * toE(b).transpose()); }
Mat3 transpose(const Mat3& a) { return asMat3(toE(a).transpose()); }
Mat3 inverse(const Mat3& a) { return asMat3(toE(a).inverse()); }
double determinant(const Mat3& a) { return toE(a).determinant(); }
double trace(const Mat3& a) { return toE(a).trace(); }
double norm(const Mat3& a) { return toE(a).norm(); }
double maxAbs(const Mat3& a) { return toE(a).cwiseAbs().maxCoeff(); }
Mat4 operator*(const Mat4& a, const Mat4& b) { return asMat4(toE(a) * toE(b)); }
Mat4 operator-(const Mat4& a, const Mat4& b) { return asMat4(toE(a) - toE(b)); }
Mat4 operator*(const Mat4& a, double s) { return asMat4(toE(a) * s); }
Mat4 inverse(const Mat4& a) { return asMat4(toE(a).inverse()); }
double determinant(const Mat4& a) { return toE(a).determinant(); }
double determinant3(const Mat4& a) { return toE(a).topLeftCorner<3, 3>().determinant(); }
double maxAbs(const Mat4& a) { return toE(a).cwiseAbs().maxCoeff(); }

Quat operator+(const Quat& a, const Quat& b) { return fromCoeffs(toE(a).coeffs() + toE(b).coeffs()); }
Quat operator-(const Quat& a, const Quat& b) { return fromCoeffs(toE(a).coeffs() - toE(b).coeffs()); }
Quat operator-(const Quat& a) { return fromCoeffs(-toE(a).coeffs()); }
Quat operator*(double s, const Quat& a) { return fromCoeffs(s * toE(a).coeffs()); }
double dot(const Quat& a, const Quat& b) { return toE(a).dot(toE(b)); }
double norm(const Quat& a) { return toE(a).norm(); }
double maxAbs(const Quat& a) { return toE(a).coeffs().cwiseAbs().maxCoeff(); }

std::ostream& operator<<(std::ostream& out, const Vec3& v) { return out << toE(v).transpose(); }
std::ostream& operator<<(std::ostream& out, const Mat2& m) { return out << toE(m); }
std::ostream& operator<<(std::ostream& out, const Mat3& m) { return out << toE(m); }
std::ostream& operator<<(std::ostream& out, const Mat4& m) { return out << toE(m); }

}  // namespace zovref
