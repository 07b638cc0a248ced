#include <maya/MMatrix.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr unsigned int kSize = 4;

/// The determinant of the 3x3 matrix left when a row and a column are struck out.
double minor3(const double m[4][4], unsigned int row, unsigned int col) {
  unsigned int rows[3];
  unsigned int cols[3];
  for (unsigned int i = 0, r = 0, c = 0; i < kSize; ++i) {
    if (i != row) rows[r++] = i;
    if (i != col) cols[c++] = i;
  }
  const auto at = [&](unsigned int r, unsigned int c) { return m[rows[r]][cols[c]]; };
  return at(0, 0) * (at(1, 1) * at(2, 2) - at(1, 2) * at(2, 1)) -
         at(0, 1) * (at(1, 0) * at(2, 2) - at(1, 2) * at(2, 0)) +
         at(0, 2) * (at(1, 0) * at(2, 1) - at(1, 1) * at(2, 0));
}

double rowLength(const double row[4]) {
  return std::sqrt(row[0] * row[0] + row[1] * row[1] + row[2] * row[2] + row[3] * row[3]);
}

}  // namespace

const MMatrix MMatrix::identity;

MMatrix::MMatrix() { setToIdentity(); }

MMatrix::MMatrix(const double values[4][4]) {
  for (unsigned int r = 0; r < kSize; ++r)
    for (unsigned int c = 0; c < kSize; ++c) matrix[r][c] = values[r][c];
}

MMatrix& MMatrix::setToIdentity() {
  for (unsigned int r = 0; r < kSize; ++r)
    for (unsigned int c = 0; c < kSize; ++c) matrix[r][c] = r == c ? 1.0 : 0.0;
  return *this;
}

MMatrix MMatrix::operator*(const MMatrix& right) const {
  MMatrix product;
  for (unsigned int r = 0; r < kSize; ++r)
    for (unsigned int c = 0; c < kSize; ++c) {
      double sum = 0.0;
      for (unsigned int k = 0; k < kSize; ++k) sum += matrix[r][k] * right.matrix[k][c];
      product.matrix[r][c] = sum;
    }
  return product;
}

MMatrix MMatrix::operator*(double scale) const {
  MMatrix result;
  for (unsigned int r = 0; r < kSize; ++r)
    for (unsigned int c = 0; c < kSize; ++c) result.matrix[r][c] = matrix[r][c] * scale;
  return result;
}

MMatrix MMatrix::operator+(const MMatrix& right) const {
  MMatrix result;
  for (unsigned int r = 0; r < kSize; ++r)
    for (unsigned int c = 0; c < kSize; ++c) result.matrix[r][c] = matrix[r][c] + right.matrix[r][c];
  return result;
}

MMatrix MMatrix::operator-(const MMatrix& right) const {
  MMatrix result;
  for (unsigned int r = 0; r < kSize; ++r)
    for (unsigned int c = 0; c < kSize; ++c) result.matrix[r][c] = matrix[r][c] - right.matrix[r][c];
  return result;
}

bool MMatrix::operator==(const MMatrix& other) const {
  for (unsigned int r = 0; r < kSize; ++r)
    for (unsigned int c = 0; c < kSize; ++c)
      if (matrix[r][c] != other.matrix[r][c]) return false;
  return true;
}

bool MMatrix::isEquivalent(const MMatrix& other, double tolerance) const {
  for (unsigned int r = 0; r < kSize; ++r)
    for (unsigned int c = 0; c < kSize; ++c)
      if (std::fabs(matrix[r][c] - other.matrix[r][c]) > tolerance) return false;
  return true;
}

MMatrix MMatrix::transpose() const {
  MMatrix result;
  for (unsigned int r = 0; r < kSize; ++r)
    for (unsigned int c = 0; c < kSize; ++c) result.matrix[r][c] = matrix[c][r];
  return result;
}

double MMatrix::det4x4() const {
  double det = 0.0;
  for (unsigned int c = 0; c < kSize; ++c) {
    const double term = matrix[0][c] * minor3(matrix, 0, c);
    det += c % 2 == 0 ? term : -term;
  }
  return det;
}

double MMatrix::det3x3() const {
  const auto& m = matrix;
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

MMatrix MMatrix::adjoint() const {
  MMatrix result;
  for (unsigned int r = 0; r < kSize; ++r)
    for (unsigned int c = 0; c < kSize; ++c) {
      const double cofactor = minor3(matrix, r, c);
      result.matrix[c][r] = (r + c) % 2 == 0 ? cofactor : -cofactor;
    }
  return result;
}

bool MMatrix::isSingular() const {
  double bound = 1.0;
  for (unsigned int r = 0; r < kSize; ++r) bound *= rowLength(matrix[r]);
  return bound == 0.0 || std::fabs(det4x4()) <= kSingularTolerance * bound;
}

MMatrix MMatrix::inverse() const {
  if (isSingular()) return *this * 0.0;
  // Gauss-Jordan elimination with partial pivoting.
  double a[4][4];
  get(a);
  MMatrix result;
  for (unsigned int col = 0; col < kSize; ++col) {
    unsigned int pivot = col;
    for (unsigned int r = col + 1; r < kSize; ++r)
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    if (pivot != col) {
      std::swap(a[pivot], a[col]);
      std::swap(result.matrix[pivot], result.matrix[col]);
    }
    const double scale = 1.0 / a[col][col];
    for (unsigned int c = 0; c < kSize; ++c) {
      a[col][c] *= scale;
      result.matrix[col][c] *= scale;
    }
    for (unsigned int r = 0; r < kSize; ++r) {
      if (r == col) continue;
      const double factor = a[r][col];
      if (factor == 0.0) continue;
      for (unsigned int c = 0; c < kSize; ++c) {
        a[r][c] -= factor * a[col][c];
        result.matrix[r][c] -= factor * result.matrix[col][c];
      }
    }
  }
  return result;
}

void MMatrix::get(double values[4][4]) const {
  for (unsigned int r = 0; r < kSize; ++r)
    for (unsigned int c = 0; c < kSize; ++c) values[r][c] = matrix[r][c];
}
