#pragma once

#include "math/MgcVector3.h"

namespace Mgc {

/// A 3x3 matrix of doubles stored row by row, m[r][c]. Rotations act on column
/// vectors (R*v) and hold their frame's axes in their columns; angles are in
/// radians, positive counter-clockwise about their axis.
class MgcMatrix3 {
 public:
  /// All entries 0.
  MgcMatrix3() : m{{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}} {}
  /// Nine doubles in row order.
  explicit MgcMatrix3(const double* entries);
  MgcMatrix3(double m00, double m01, double m02, double m10, double m11, double m12, double m20, double m21, double m22)
      : m{{m00, m01, m02}, {m10, m11, m12}, {m20, m21, m22}} {}
  /// The three vectors as the COLUMNS of the matrix.
  MgcMatrix3(MgcVector3 a, MgcVector3 b, MgcVector3 c) : m{{a.x, b.x, c.x}, {a.y, b.y, c.y}, {a.z, b.z, c.z}} {}
  MgcMatrix3(const MgcMatrix3&) = default;
  MgcMatrix3& operator=(const MgcMatrix3&) = default;

  /// Row r.
  double* operator[](int r) { return m[r]; }
  const double* operator[](int r) const { return m[r]; }
  double& operator()(unsigned r, unsigned c) { return m[r][c]; }
  const double& operator()(unsigned r, unsigned c) const { return m[r][c]; }
  operator double*() { return &m[0][0]; }
  operator const double*() const { return &m[0][0]; }
  /// Column c (no range check).
  MgcVector3 GetColumn(int c) const { return {m[0][c], m[1][c], m[2][c]}; }

  void MakeDiagonal(double a, double b, double c);
  void SetIdentity() { MakeDiagonal(1.0, 1.0, 1.0); }
  void SetZero() { MakeDiagonal(0.0, 0.0, 0.0); }

  /// Exact entry-wise comparison (a NaN entry makes matrices unequal).
  bool operator==(const MgcMatrix3& b) const;
  bool operator!=(const MgcMatrix3& b) const { return !(*this == b); }

  MgcMatrix3 operator+(const MgcMatrix3& b) const;
  MgcMatrix3 operator-(const MgcMatrix3& b) const;
  MgcMatrix3 operator-() const;
  /// this*b.
  MgcMatrix3 operator*(const MgcMatrix3& b) const {
    MgcMatrix3 product;
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) product.m[r][c] = m[r][0] * b.m[0][c] + m[r][1] * b.m[1][c] + m[r][2] * b.m[2][c];
    return product;
  }
  /// this*v with v a column.
  MgcVector3 operator*(const MgcVector3& v) const {
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
  }
  MgcMatrix3 operator*(double s) const;
  /// this^T * b.
  MgcMatrix3 TransposeTimes(const MgcMatrix3& b) const;
  /// this * b^T.
  MgcMatrix3 TimesTranspose(const MgcMatrix3& b) const;
  MgcMatrix3 Transpose() const {
    return {m[0][0], m[1][0], m[2][0], m[0][1], m[1][1], m[2][1], m[0][2], m[1][2], m[2][2]};
  }
  double Determinant() const;

  /// Writes the inverse into `out` and returns true; when |det| <= tolerance
  /// returns false and `out` holds the unscaled adjugate.
  bool Inverse(MgcMatrix3& out, double tolerance) const;
  /// The inverse, or ZERO when |det| <= tolerance.
  MgcMatrix3 Inverse(double tolerance) const;

  /// out[r][c] = u[r]*v[c].
  static void TensorProduct(const MgcVector3& u, const MgcVector3& v, MgcMatrix3& out);

  /// Gram-Schmidt over the columns, without a tolerance (a zero column gives
  /// non-finite entries).
  void Orthonormalize();
  /// The unit axis and the angle in [0, pi] of a rotation matrix; the identity
  /// gives angle 0 and axis UNIT_X.
  void ToAxisAngle(MgcVector3& axis, double& angle) const;
  /// The rotation by `angle` radians about `axis`, which must be unit length.
  void FromAxisAngle(const MgcVector3& axis, double angle);

  // m = R_A(a0) * R_B(a1) * R_C(a2) for the order ABC.
  void FromEulerAnglesXYZ(double a0, double a1, double a2);
  void FromEulerAnglesXZY(double a0, double a1, double a2);
  void FromEulerAnglesYXZ(double a0, double a1, double a2);
  void FromEulerAnglesYZX(double a0, double a1, double a2);
  void FromEulerAnglesZXY(double a0, double a1, double a2);
  void FromEulerAnglesZYX(double a0, double a1, double a2);

  // Angles of the order ABC; false when the decomposition is not unique
  // (a2 is then 0).
  bool ToEulerAnglesXYZ(double& a0, double& a1, double& a2) const;
  bool ToEulerAnglesXZY(double& a0, double& a1, double& a2) const;
  bool ToEulerAnglesYXZ(double& a0, double& a1, double& a2) const;
  bool ToEulerAnglesYZX(double& a0, double& a1, double& a2) const;
  bool ToEulerAnglesZXY(double& a0, double& a1, double& a2) const;
  bool ToEulerAnglesZYX(double& a0, double& a1, double& a2) const;
  bool ToEulerAnglesXYX(double& a0, double& a1, double& a2) const;
  bool ToEulerAnglesXZX(double& a0, double& a1, double& a2) const;
  bool ToEulerAnglesYXY(double& a0, double& a1, double& a2) const;
  bool ToEulerAnglesYZY(double& a0, double& a1, double& a2) const;
  bool ToEulerAnglesZXZ(double& a0, double& a1, double& a2) const;
  bool ToEulerAnglesZYZ(double& a0, double& a1, double& a2) const;

  /// The rotation from r0 towards r1 at t: r0 * rotation(axis, t*angle) of the
  /// relative rotation r0^T * r1.
  static MgcMatrix3 Slerp(double t, const MgcMatrix3& r0, const MgcMatrix3& r1);

  /// Singular value decomposition: this = L * diag(S) * R with L and R
  /// orthogonal and every S[i] >= 0, in the order the iteration leaves them
  /// (not sorted). Off-diagonal entries below a relative zov::kSvdTolerance of the
  /// bidiagonal form count as zero, so the product reproduces the matrix to
  /// that tolerance.
  void SingularValueDecomposition(MgcMatrix3& L, MgcVector3& S, MgcMatrix3& R) const;
  /// this = L * S * R. S is a full matrix; pass diag(S) to undo the
  /// decomposition.
  void SingularValueComposition(const MgcMatrix3& L, const MgcMatrix3& S, const MgcMatrix3& R);
  /// this = Q * D * U with Q a rotation (determinant +1), D diagonal and U unit
  /// upper triangular, by Gram-Schmidt over the columns without a tolerance:
  /// a matrix with dependent columns gives non-finite entries.
  void QDUDecomposition(MgcMatrix3& Q, MgcMatrix3& D, MgcMatrix3& U) const;
  /// Eigenvalues and unit eigenvectors of a symmetric matrix (the upper
  /// triangle is read). values[i] belongs to vectors[i]; the values are not
  /// sorted and the vectors form a right-handed frame.
  void EigenSolveSymmetric(double values[3], MgcVector3 vectors[3]) const;
  /// The largest singular value (the matrix 2-norm); 0 for the zero matrix.
  double SpectralNorm() const;

  static const MgcMatrix3 ZERO;
  static const MgcMatrix3 IDENTITY;
  /// The library tolerance: single-precision 1e-6.
  static const double EPSILON;

 protected:
  /// Householder reduction of this symmetric matrix to tridiagonal form:
  /// this becomes the orthogonal transform, diag the diagonal, sub[0..1] the
  /// off-diagonal and sub[2] 0.
  void Tridiagonal(double diag[3], double sub[3]);
  /// Implicit-shift QL iteration on the tridiagonal form, accumulating the
  /// rotations into the columns of this. Afterwards diag holds the
  /// eigenvalues (unsorted) and column i of this the eigenvector of diag[i].
  /// False when 32 sweeps do not converge.
  bool QLAlgorithm(double diag[3], double sub[3]);
  /// Householder reduction A = L * B * R to upper bidiagonal B (written back
  /// into A, with exact zeros off the two diagonals); L and R orthogonal.
  static void Bidiagonalize(MgcMatrix3& A, MgcMatrix3& L, MgcMatrix3& R);
  /// One implicit-shift QR step on the upper bidiagonal A, keeping L * A * R
  /// unchanged.
  static void GolubKahanStep(MgcMatrix3& A, MgcMatrix3& L, MgcMatrix3& R);
  /// The largest real root of x^3 + c[2] x^2 + c[1] x + c[0].
  static double MaxCubicRoot(const double c[3]);

  double m[3][3];
};

/// v^T * M, v taken as a row.
MgcVector3 operator*(const MgcVector3& v, const MgcMatrix3& mat);
MgcMatrix3 operator*(double s, const MgcMatrix3& mat);
/// The matrix of the cross product: SkewSymmetric(a) * b = a x b.
MgcMatrix3 SkewSymmetric(const MgcVector3& v);

}  // namespace Mgc
