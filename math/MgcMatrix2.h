#pragma once

#include "math/MgcVector2.h"

namespace Mgc {

/// A 2x2 matrix of doubles stored row by row, m[r][c]. Rotations act on column
/// vectors; angles are in radians, positive counter-clockwise.
class MgcMatrix2 {
 public:
  /// Leaves the entries unset.
  MgcMatrix2() {}
  /// Entries from a 2x2 array, m[r][c] = entries[r][c].
  explicit MgcMatrix2(const double entries[2][2]);
  constexpr MgcMatrix2(double m00, double m01, double m10, double m11) : m{{m00, m01}, {m10, m11}} {}
  MgcMatrix2(const MgcMatrix2&) = default;
  MgcMatrix2& operator=(const MgcMatrix2&) = default;

  /// Row r.
  double* operator[](int r) { return m[r]; }
  const double* operator[](int r) const { return m[r]; }
  operator double*() { return &m[0][0]; }
  operator const double*() const { return &m[0][0]; }
  /// Column c (no range check).
  MgcVector2 GetColumn(int c) const { return {m[0][c], m[1][c]}; }

  /// Exact entry-wise comparison (a NaN entry makes matrices unequal).
  bool operator==(const MgcMatrix2& b) const;
  bool operator!=(const MgcMatrix2& b) const { return !(*this == b); }

  MgcMatrix2 operator+(const MgcMatrix2& b) const;
  MgcMatrix2 operator-(const MgcMatrix2& b) const;
  MgcMatrix2 operator-() const;
  /// this*b.
  MgcMatrix2 operator*(const MgcMatrix2& b) const;
  /// this*v with v a column.
  MgcVector2 operator*(const MgcVector2& v) const;
  MgcMatrix2 operator*(double s) const;
  MgcMatrix2 Transpose() const { return {m[0][0], m[1][0], m[0][1], m[1][1]}; }
  double Determinant() const { return m[0][0] * m[1][1] - m[0][1] * m[1][0]; }

  /// Writes the inverse into `out` and returns true; when |det| <= tolerance
  /// returns false and leaves `out` untouched.
  bool Inverse(MgcMatrix2& out, double tolerance) const;
  /// The inverse, or ZERO when |det| <= tolerance.
  MgcMatrix2 Inverse(double tolerance) const;

  /// Gram-Schmidt over the two columns, without a tolerance (a zero column
  /// gives non-finite entries).
  void Orthonormalize();
  /// The sum of the squared entries.
  double L2NormSqr() const;
  /// The angle of a rotation matrix, in (-pi, pi].
  double ToAngle() const;
  /// The rotation by `angle` radians.
  void FromAngle(double angle);

  /// out[r][c] = u[r]*v[c].
  static void TensorProduct(const MgcVector2& u, const MgcVector2& v, MgcMatrix2& out);

  /// Singular value decomposition: this = L * diag(S) * R with L and R
  /// orthogonal and S >= 0; S[0] is the larger value unless the rows of the
  /// matrix are orthogonal, when S = (|row 0|, |row 1|).
  void SingularValueDecomposition(MgcMatrix2& L, MgcVector2& S, MgcMatrix2& R) const;
  /// this = L * diag(S) * R.
  void SingularValueComposition(const MgcMatrix2& L, const MgcVector2& S, const MgcMatrix2& R);
  /// this = Q * diag(D) * [[1, U], [0, 1]] with Q a rotation, by Gram-Schmidt
  /// over the columns without a tolerance: dependent columns give non-finite
  /// results.
  void QDUDecomposition(MgcMatrix2& Q, MgcVector2& D, double& U) const;
  /// Eigenvalues and unit eigenvectors of a symmetric matrix (m[0][1] is
  /// read as the off-diagonal). values[i] belongs to vectors[i]; the values
  /// are not sorted and the pair is right-handed.
  void EigenSolveSymmetric(double values[2], MgcVector2 vectors[2]) const;
  /// The largest singular value (the matrix 2-norm); 0 for the zero matrix.
  double SpectralNorm() const;

  static const MgcMatrix2 ZERO;
  static const MgcMatrix2 IDENTITY;
  /// The library tolerance: single-precision 1e-6.
  static const double EPSILON;

 protected:
  /// The tridiagonal form of a symmetric 2x2 matrix is the matrix itself:
  /// diag = (m00, m11), sub = (m01, 0), and this becomes IDENTITY.
  void Tridiagonal(double diag[2], double sub[2]);
  /// Implicit-shift QL iteration, accumulating the rotations into the columns
  /// of this; false when an eigenvalue needs more than 32 iterations.
  bool QLAlgorithm(double diag[2], double sub[2]);

  double m[2][2];
};

/// v^T * M, v taken as a row.
MgcVector2 operator*(const MgcVector2& v, const MgcMatrix2& mat);
MgcMatrix2 operator*(double s, const MgcMatrix2& mat);

}  // namespace Mgc
