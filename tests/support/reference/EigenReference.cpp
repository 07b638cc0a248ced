#include "support/reference/EigenReference.h"

#include <Eigen/Dense>
#include <Eigen/Geometry>
#include <unsupported/Eigen/Polynomials>

#include <ostream>

namespace zovref {

namespace {

// Each value goes to and from Eigen's own column-major types, so that every
// result is what Eigen computes on those.

Eigen::Vector2d toE(const Vec2& a) { return {a[0], a[1]}; }
Vec2 asVec2(const Eigen::Vector2d& e) { return {e[0], e[1]}; }
Eigen::Vector3d toE(const Vec3& a) { return {a[0], a[1], a[2]}; }
Vec3 asVec3(const Eigen::Vector3d& e) { return {e[0], e[1], e[2]}; }

template <int N, typename M>
Eigen::Matrix<double, N, N> toMatrix(const M& a) {
  Eigen::Matrix<double, N, N> e;
  for (int r = 0; r < N; ++r)
    for (int c = 0; c < N; ++c) e(r, c) = a.m[r][c];
  return e;
}

template <typename M, int N>
M fromMatrix(const Eigen::Matrix<double, N, N>& e) {
  M a;
  for (int r = 0; r < N; ++r)
    for (int c = 0; c < N; ++c) a.m[r][c] = e(r, c);
  return a;
}

Eigen::Matrix2d toE(const Mat2& a) { return toMatrix<2>(a); }
Mat2 asMat2(const Eigen::Matrix2d& e) { return fromMatrix<Mat2>(e); }
Eigen::Matrix3d toE(const Mat3& a) { return toMatrix<3>(a); }
Mat3 asMat3(const Eigen::Matrix3d& e) { return fromMatrix<Mat3>(e); }
Eigen::Matrix4d toE(const Mat4& a) { return toMatrix<4>(a); }
Mat4 asMat4(const Eigen::Matrix4d& e) { return fromMatrix<Mat4>(e); }

Eigen::Quaterniond toE(const Quat& q) { return {q.w, q.x, q.y, q.z}; }
Quat asQuat(const Eigen::Quaterniond& e) { return {e.w(), e.x(), e.y(), e.z()}; }
Quat fromCoeffs(const Eigen::Vector4d& coeffs) {
  Eigen::Quaterniond e;
  e.coeffs() = coeffs;
  return asQuat(e);
}

}  // namespace

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
Mat2 rotation2(double angle) { return asMat2(Eigen::Rotation2Dd(angle).toRotationMatrix()); }
Vec2 singularValues(const Mat2& a) { return asVec2(Eigen::JacobiSVD<Eigen::Matrix2d>(toE(a)).singularValues()); }
Vec2 symmetricEigenvalues(const Mat2& a) {
  return asVec2(Eigen::SelfAdjointEigenSolver<Eigen::Matrix2d>(toE(a)).eigenvalues());
}

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
Mat3 axisAngleMatrix(double angle, const Vec3& axis) {
  return asMat3(Eigen::AngleAxisd(angle, toE(axis)).toRotationMatrix());
}
double rotationAngle(const Mat3& rotation) { return Eigen::AngleAxisd(toE(rotation)).angle(); }
Vec3 singularValues(const Mat3& a) {
  const Eigen::JacobiSVD<Eigen::Matrix3d> svd(toE(a));
  return asVec3(svd.singularValues());
}
SymmetricEigen3 symmetricEigen(const Mat3& a) {
  const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> solver(toE(a));
  return {asVec3(solver.eigenvalues()), asMat3(solver.eigenvectors())};
}

Mat4 operator*(const Mat4& a, const Mat4& b) { return asMat4(toE(a) * toE(b)); }
Mat4 operator-(const Mat4& a, const Mat4& b) { return asMat4(toE(a) - toE(b)); }
Mat4 operator*(const Mat4& a, double s) { return asMat4(toE(a) * s); }
Mat4 inverse(const Mat4& a) { return asMat4(toE(a).inverse()); }
double determinant(const Mat4& a) { return toE(a).determinant(); }
double determinant3(const Mat4& a) { return toE(a).topLeftCorner<3, 3>().determinant(); }
double maxAbs(const Mat4& a) { return toE(a).cwiseAbs().maxCoeff(); }

Quat operator*(const Quat& a, const Quat& b) { return asQuat(toE(a) * toE(b)); }
Quat operator+(const Quat& a, const Quat& b) { return fromCoeffs(toE(a).coeffs() + toE(b).coeffs()); }
Quat operator-(const Quat& a, const Quat& b) { return fromCoeffs(toE(a).coeffs() - toE(b).coeffs()); }
Quat operator-(const Quat& a) { return fromCoeffs(-toE(a).coeffs()); }
Quat operator*(double s, const Quat& a) { return fromCoeffs(s * toE(a).coeffs()); }
Vec3 operator*(const Quat& q, const Vec3& v) { return asVec3(toE(q) * toE(v)); }
double dot(const Quat& a, const Quat& b) { return toE(a).dot(toE(b)); }
double norm(const Quat& a) { return toE(a).norm(); }
Quat normalized(const Quat& a) { return asQuat(toE(a).normalized()); }
Quat inverse(const Quat& a) { return asQuat(toE(a).inverse()); }
Mat3 toRotationMatrix(const Quat& q) { return asMat3(toE(q).toRotationMatrix()); }
Quat axisAngleQuat(double angle, const Vec3& axis) {
  return asQuat(Eigen::Quaterniond(Eigen::AngleAxisd(angle, toE(axis))));
}
Quat fromTwoVectors(const Vec3& from, const Vec3& to) {
  return asQuat(Eigen::Quaterniond::FromTwoVectors(toE(from), toE(to)));
}
double maxAbs(const Quat& a) { return toE(a).coeffs().cwiseAbs().maxCoeff(); }

std::vector<double> cubicRealRoots(const double c[4], double imaginaryTolerance) {
  const Eigen::Vector4d coefficients(c[0], c[1], c[2], c[3]);
  std::vector<double> real;
  Eigen::PolynomialSolver<double, 3>(coefficients).realRoots(real, imaginaryTolerance);
  return real;
}

std::vector<double> leastSquares(int rows, int cols, const double* A, const double* b, double damp) {
  const int stacked = damp != 0.0 ? rows + cols : rows;
  Eigen::MatrixXd m = Eigen::MatrixXd::Zero(stacked, cols);
  Eigen::VectorXd rhs = Eigen::VectorXd::Zero(stacked);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) m(r, c) = A[r * cols + c];
    rhs(r) = b[r];
  }
  // The damping as more equations damp x = 0 below A x = b.
  if (damp != 0.0) m.bottomRows(cols) = damp * Eigen::MatrixXd::Identity(cols, cols);
  const Eigen::VectorXd x = m.completeOrthogonalDecomposition().solve(rhs);
  return std::vector<double>(x.data(), x.data() + x.size());
}

double norm(const std::vector<double>& v) {
  return Eigen::Map<const Eigen::VectorXd>(v.data(), static_cast<Eigen::Index>(v.size())).norm();
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

std::ostream& operator<<(std::ostream& out, const Vec3& v) { return out << toE(v).transpose(); }
std::ostream& operator<<(std::ostream& out, const Mat2& m) { return out << toE(m); }
std::ostream& operator<<(std::ostream& out, const Mat3& m) { return out << toE(m); }
std::ostream& operator<<(std::ostream& out, const Mat4& m) { return out << toE(m); }

}  // namespace zovref
