#pragma once

// The reference library's own conversions between its plain values and
// Eigen's column-major types, so that every result is what Eigen computes on
// those. Only the library's sources include this.

#include <Eigen/Dense>
#include <Eigen/Geometry>

#include "support/reference/EigenReference.h"

namespace zovref::conversion {

inline Eigen::Vector2d toE(const Vec2& a) { return {a[0], a[1]}; }
inline Vec2 asVec2(const Eigen::Vector2d& e) { return {e[0], e[1]}; }
inline Eigen::Vector3d toE(const Vec3& a) { return {a[0], a[1], a[2]}; }
inline Vec3 asVec3(const Eigen::Vector3d& e) { return {e[0], e[1], e[2]}; }

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

inline Eigen::Matrix2d toE(const Mat2& a) { return toMatrix<2>(a); }
inline Mat2 asMat2(const Eigen::Matrix2d& e) { return fromMatrix<Mat2>(e); }
inline Eigen::Matrix3d toE(const Mat3& a) { return toMatrix<3>(a); }
inline Mat3 asMat3(const Eigen::Matrix3d& e) { return fromMatrix<Mat3>(e); }
inline Eigen::Matrix4d toE(const Mat4& a) { return toMatrix<4>(a); }
inline Mat4 asMat4(const Eigen::Matrix4d& e) { return fromMatrix<Mat4>(e); }

inline Eigen::VectorXd toE(const VecX& a) {
  return Eigen::Map<const Eigen::VectorXd>(a.v.data(), static_cast<Eigen::Index>(a.v.size()));
}
inline VecX asVecX(const Eigen::VectorXd& e) {
  VecX a;
  a.v.assign(e.data(), e.data() + e.size());
  return a;
}
/// The row-major entries as Eigen's column-major matrix.
inline Eigen::MatrixXd toE(const MatX& a) {
  return Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>(a.m.data(), a.rows,
                                                                                                  a.cols);
}
inline MatX asMatX(const Eigen::MatrixXd& e) {
  MatX a(static_cast<int>(e.rows()), static_cast<int>(e.cols()));
  for (int r = 0; r < a.rows; ++r)
    for (int c = 0; c < a.cols; ++c) a(r, c) = e(r, c);
  return a;
}

inline Eigen::Quaterniond toE(const Quat& q) { return {q.w, q.x, q.y, q.z}; }
inline Quat asQuat(const Eigen::Quaterniond& e) { return {e.w(), e.x(), e.y(), e.z()}; }
inline Quat fromCoeffs(const Eigen::Vector4d& coeffs) {
  Eigen::Quaterniond e;
  e.coeffs() = coeffs;
  return asQuat(e);
}

}  // namespace zovref::conversion
