#pragma once

// A small eigen solver for symmetric 3x3 matrices: Householder reduction to
// tridiagonal form, implicit-shift QL iteration and a sort of the result.
// Call the three in this order:
//
//   double diag[3], sub[3];
//   symmetricTridiagonalize(matrix, diag, sub);
//   if (tridiagonalQL(3, diag, sub, matrix)) sortEigenSystem(3, diag, matrix);
//
// Afterwards diag holds the eigenvalues in ascending order and column i of the
// matrix the unit eigenvector of diag[i]. The eigenvectors are orthonormal but
// not necessarily right-handed (the determinant may be -1).
//
// Matrices are nine doubles row by row, the layout of MgcMatrix3.
namespace zov {

/// Reduces the symmetric matrix (only its upper triangle is read) to
/// tridiagonal form: `matrix` becomes the orthogonal transform, `diag` the
/// three diagonal entries and `sub` the two sub-diagonal entries followed by 0.
void symmetricTridiagonalize(double* matrix, double* diag, double* sub);

/// Diagonalises the symmetric tridiagonal matrix of order n given by `diag`
/// (n entries) and `sub` (sub-diagonal in entries 0 to n-2), accumulating the
/// rotations into the columns of `matrix` (n <= 3 rows of stride 3). On success
/// `diag` holds the eigenvalues and column i of `matrix` the eigenvector of
/// diag[i]. Returns false when an eigenvalue does not converge within 32
/// iterations; n < 1 returns true at once.
bool tridiagonalQL(int n, double* diag, double* sub, double* matrix);

/// One implicit QL sweep over rows and columns l to m of the symmetric
/// tridiagonal matrix given by `diag` and `sub` (l < m, sub[l] not 0), shifted by the eigenvalue of its leading 2x2
/// block nearer diag[l]; the plane rotations are accumulated into columns l to m of `matrix` (`rows` rows of stride 3).
/// Leaves sub[m] = 0.
void implicitQLSweep(int l, int m, int rows, double* diag, double* sub, double* matrix);

/// Sorts `diag` (n entries) ascending and permutes the columns of `matrix`
/// (n rows of stride 3) alike; equal values keep their order.
void sortEigenSystem(int n, double* diag, double* matrix);

}  // namespace zov
