#pragma once

// Reference values from Eigen for the tests: small vectors, matrices and
// quaternions of plain doubles, their arithmetic and the decompositions the
// tests compare with. Everything here is computed by Eigen in a library of its
// own, built once and optimised, so that test files never parse Eigen. The
// types hold values only; converting the system's own types is the tests' job.

#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <utility>
#include <vector>

namespace zovref {

/// A column vector of two.
struct Vec2 {
  double v[2] = {0.0, 0.0};
  Vec2() = default;
  Vec2(double x, double y) : v{x, y} {}
  double operator[](int i) const { return v[i]; }
  double& operator[](int i) { return v[i]; }
};

/// A column vector of three.
struct Vec3 {
  double v[3] = {0.0, 0.0, 0.0};
  Vec3() = default;
  Vec3(double x, double y, double z) : v{x, y, z} {}
  double x() const { return v[0]; }
  double y() const { return v[1]; }
  double z() const { return v[2]; }
  double operator[](int i) const { return v[i]; }
  double& operator[](int i) { return v[i]; }
  const double* data() const { return v; }
  double* data() { return v; }
  /// The unit vector along coordinate axis 0, 1 or 2.
  static Vec3 unit(int axis);
};

/// A 2x2 matrix, m[row][column].
struct Mat2 {
  double m[2][2] = {};
  Mat2() = default;
  Mat2(double m00, double m01, double m10, double m11) : m{{m00, m01}, {m10, m11}} {}
  double operator()(int r, int c) const { return m[r][c]; }
  double& operator()(int r, int c) { return m[r][c]; }
  Vec2 col(int c) const { return {m[0][c], m[1][c]}; }
  static Mat2 identity();
};

/// A 3x3 matrix, m[row][column].
struct Mat3 {
  double m[3][3] = {};
  Mat3() = default;
  /// The entries row by row.
  Mat3(double m00, double m01, double m02, double m10, double m11, double m12, double m20, double m21, double m22)
      : m{{m00, m01, m02}, {m10, m11, m12}, {m20, m21, m22}} {}
  double operator()(int r, int c) const { return m[r][c]; }
  double& operator()(int r, int c) { return m[r][c]; }
  Vec3 col(int c) const { return {m[0][c], m[1][c], m[2][c]}; }
  static Mat3 identity();
  static Mat3 diagonal(const Vec3& d);
};

/// A 4x4 matrix, m[row][column].
struct Mat4 {
  double m[4][4] = {};
  double operator()(int r, int c) const { return m[r][c]; }
  double& operator()(int r, int c) { return m[r][c]; }
  static Mat4 identity();
};

/// A column vector of any length.
struct VecX {
  std::vector<double> v;
  VecX() = default;
  /// n entries of `value`.
  explicit VecX(int n, double value = 0.0) : v(static_cast<std::size_t>(n), value) {}
  VecX(std::initializer_list<double> values) : v(values) {}
  explicit VecX(std::vector<double> values) : v(std::move(values)) {}
  int size() const { return static_cast<int>(v.size()); }
  double operator()(int i) const { return v[static_cast<std::size_t>(i)]; }
  double& operator()(int i) { return v[static_cast<std::size_t>(i)]; }
  /// Entries 3k .. 3k + 2 as a vector of three.
  Vec3 segment3(int k) const { return {(*this)(3 * k), (*this)(3 * k + 1), (*this)(3 * k + 2)}; }
  void setSegment3(int k, const Vec3& a) {
    for (int i = 0; i < 3; ++i) (*this)(3 * k + i) = a[i];
  }
};

/// A matrix of any size, m(row, column), its entries row by row.
struct MatX {
  int rows = 0, cols = 0;
  std::vector<double> m;
  MatX() = default;
  /// rows x cols zeros.
  MatX(int r, int c) : rows(r), cols(c), m(static_cast<std::size_t>(r) * static_cast<std::size_t>(c), 0.0) {}
  /// rows x cols with the given entries row by row.
  MatX(int r, int c, std::initializer_list<double> rowMajor) : rows(r), cols(c), m(rowMajor) {}
  double operator()(int r, int c) const { return m[static_cast<std::size_t>(r) * cols + c]; }
  double& operator()(int r, int c) { return m[static_cast<std::size_t>(r) * cols + c]; }
  static MatX identity(int n);
  /// The 3x3 block at rows 3i .., columns 3j ...
  Mat3 block3(int i, int j) const;
  void setBlock3(int i, int j, const Mat3& a);
};

/// A quaternion w + xi + yj + zk, unit for a rotation; the identity by default.
struct Quat {
  double w = 1.0, x = 0.0, y = 0.0, z = 0.0;
  Quat() = default;
  Quat(double w0, double x0, double y0, double z0) : w(w0), x(x0), y(y0), z(z0) {}
};

// Vectors of three.
Vec3 operator+(const Vec3& a, const Vec3& b);
Vec3 operator-(const Vec3& a, const Vec3& b);
Vec3 operator-(const Vec3& a);
Vec3 operator*(double s, const Vec3& a);
Vec3 operator*(const Vec3& a, double s);
Vec3 operator/(const Vec3& a, double s);
Vec3& operator+=(Vec3& a, const Vec3& b);
Vec3& operator/=(Vec3& a, double s);
double dot(const Vec3& a, const Vec3& b);
Vec3 cross(const Vec3& a, const Vec3& b);
double norm(const Vec3& a);
double squaredNorm(const Vec3& a);
Vec3 normalized(const Vec3& a);
/// The entry-wise product.
Vec3 cwiseProduct(const Vec3& a, const Vec3& b);
/// The product of the entries.
double prod(const Vec3& a);
double minCoeff(const Vec3& a);
/// The largest absolute entry.
double maxAbs(const Vec3& a);
/// The sum of the absolute entries.
double absSum(const Vec3& a);

// 2x2 matrices.
Vec2 operator-(const Vec2& a, const Vec2& b);
double norm(const Vec2& a);
double maxAbs(const Vec2& a);
Mat2 operator+(const Mat2& a, const Mat2& b);
Mat2 operator-(const Mat2& a, const Mat2& b);
Mat2 operator*(const Mat2& a, const Mat2& b);
Vec2 operator*(const Mat2& a, const Vec2& v);
Vec2 operator*(double s, const Vec2& v);
Mat2 transpose(const Mat2& a);
Mat2 inverse(const Mat2& a);
double determinant(const Mat2& a);
/// The Frobenius norm.
double norm(const Mat2& a);
double maxAbs(const Mat2& a);
/// The rotation by `angle` counter-clockwise.
Mat2 rotation2(double angle);
/// The singular values, largest first.
Vec2 singularValues(const Mat2& a);
/// The eigenvalues of a symmetric matrix, smallest first.
Vec2 symmetricEigenvalues(const Mat2& a);

// 3x3 matrices.
Mat3 operator+(const Mat3& a, const Mat3& b);
Mat3 operator-(const Mat3& a, const Mat3& b);
Mat3 operator-(const Mat3& a);
Mat3 operator*(const Mat3& a, const Mat3& b);
Vec3 operator*(const Mat3& a, const Vec3& v);
Mat3 operator*(double s, const Mat3& a);
Mat3 operator*(const Mat3& a, double s);
Mat3 operator/(const Mat3& a, double s);
Mat3& operator+=(Mat3& a, const Mat3& b);
Mat3& operator/=(Mat3& a, double s);
bool operator==(const Mat3& a, const Mat3& b);
/// a b^T.
Mat3 outer(const Vec3& a, const Vec3& b);
Mat3 transpose(const Mat3& a);
Mat3 inverse(const Mat3& a);
double determinant(const Mat3& a);
double trace(const Mat3& a);
/// The Frobenius norm.
double norm(const Mat3& a);
double maxAbs(const Mat3& a);
/// The rotation by `angle` about the unit vector `axis`, right-handed.
Mat3 axisAngleMatrix(double angle, const Vec3& axis);
/// The angle in [0, pi] of a rotation matrix.
double rotationAngle(const Mat3& rotation);
/// The singular values, largest first.
Vec3 singularValues(const Mat3& a);

/// The eigen system of a symmetric matrix: values smallest first, unit
/// vectors in the columns in the same order.
struct SymmetricEigen3 {
  Vec3 values;
  Mat3 vectors;
};
SymmetricEigen3 symmetricEigen(const Mat3& a);

// 4x4 matrices.
Mat4 operator*(const Mat4& a, const Mat4& b);
Mat4 inverse(const Mat4& a);
double determinant(const Mat4& a);
/// The determinant of the upper-left 3x3 block.
double determinant3(const Mat4& a);
Mat4 operator-(const Mat4& a, const Mat4& b);
Mat4 operator*(const Mat4& a, double s);
double maxAbs(const Mat4& a);

// Quaternions; + - and scalar products act on the four coefficients.
Quat operator*(const Quat& a, const Quat& b);
Quat operator+(const Quat& a, const Quat& b);
Quat operator-(const Quat& a, const Quat& b);
Quat operator-(const Quat& a);
Quat operator*(double s, const Quat& a);
/// The image of v under the rotation of a unit quaternion.
Vec3 operator*(const Quat& q, const Vec3& v);
double dot(const Quat& a, const Quat& b);
double norm(const Quat& a);
Quat normalized(const Quat& a);
Quat inverse(const Quat& a);
Mat3 toRotationMatrix(const Quat& q);
/// The rotation by `angle` about the unit vector `axis`.
Quat axisAngleQuat(double angle, const Vec3& axis);
/// The shortest rotation that turns the direction of `from` onto that of `to`.
Quat fromTwoVectors(const Vec3& from, const Vec3& to);
/// The largest absolute coefficient.
double maxAbs(const Quat& a);

// Vectors and matrices of any size.
VecX operator+(const VecX& a, const VecX& b);
VecX operator-(const VecX& a, const VecX& b);
VecX operator*(double s, const VecX& a);
VecX operator*(const VecX& a, double s);
VecX operator/(const VecX& a, double s);
bool operator==(const VecX& a, const VecX& b);
double norm(const VecX& a);
MatX operator+(const MatX& a, const MatX& b);
MatX operator-(const MatX& a, const MatX& b);
MatX operator*(const MatX& a, const MatX& b);
MatX operator*(const MatX& a, double s);
VecX operator*(const MatX& a, const VecX& v);
bool operator==(const MatX& a, const MatX& b);
MatX transpose(const MatX& a);
/// The Frobenius norm.
double norm(const MatX& a);
/// The inverse of a square matrix.
MatX inverse(const MatX& a);
/// The solution of a square nonsingular system (full-pivoting LU).
VecX solve(const MatX& a, const VecX& b);
/// The minimum-norm solution of min |A x - b|^2 + damp^2 |x|^2.
VecX minimumNormSolve(const MatX& a, const VecX& b, double damp = 0.0);

/// The settings of a least-squares run by LSQR (0 for an unused tolerance).
struct LsqrSettings {
  double damp = 0.0, atol = 0.0, btol = 0.0, conlim = 0.0;
  int iterationLimit = 0;
};
/// What an LSQR run gives: the solution, the standard errors, the stop code
/// (0 to 7), the iterations and the estimates of |A| and |r|.
struct LsqrRun {
  VecX x, errors;
  std::uint32_t stop = 0, iterations = 0;
  double normA = 0.0, normR = 0.0;
};
/// LSQR as Paige and Saunders published it, in Eigen's vector operations,
/// from the start x0, with the stopping tests in the order the engine's
/// solver takes them.
LsqrRun textbookLsqr(const MatX& a, const VecX& b, const VecX& x0, const LsqrSettings& s);

/// The real roots of c[0] + c[1] x + c[2] x^2 + c[3] x^3 (c[3] != 0): the
/// roots of the companion matrix whose imaginary parts are within
/// `imaginaryTolerance`.
std::vector<double> cubicRealRoots(const double c[4], double imaginaryTolerance);

/// The minimum-norm solution x of min |A x - b|^2 + damp^2 |x|^2 for the
/// row-major rows x cols matrix A and the rows entries of b.
std::vector<double> leastSquares(int rows, int cols, const double* A, const double* b, double damp = 0.0);
/// The Euclidean norm of a vector of any length.
double norm(const std::vector<double>& v);

/// The orientation after `duration` of a torque-free rigid body that starts
/// at the unit quaternion `start`: q' = (0, w) q / 2 with w = R I^-1 R^T L,
/// L the constant world angular momentum and I^-1 the inverse inertia in the
/// body's frame; classical Runge-Kutta with 20000 steps.
Quat torqueFreeSpin(const Quat& start, const Mat3& bodyInverseInertia, const Vec3& angularMomentum, double duration);

std::ostream& operator<<(std::ostream& out, const Vec3& v);
std::ostream& operator<<(std::ostream& out, const Mat2& m);
std::ostream& operator<<(std::ostream& out, const Mat3& m);
std::ostream& operator<<(std::ostream& out, const Mat4& m);

}  // namespace zovref
