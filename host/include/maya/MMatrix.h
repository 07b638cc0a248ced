#pragma once

/// A 4x4 matrix of doubles, row-major, acting on row vectors (a point p maps
/// to p * M, so A * B applies A first). Default-constructed as the identity.
class MMatrix {
 public:
  MMatrix();
  explicit MMatrix(const double values[4][4]);

  double operator()(unsigned int row, unsigned int col) const { return matrix[row][col]; }
  double& operator()(unsigned int row, unsigned int col) { return matrix[row][col]; }
  double* operator[](unsigned int row) { return matrix[row]; }
  const double* operator[](unsigned int row) const { return matrix[row]; }

  MMatrix operator*(const MMatrix& right) const;
  MMatrix& operator*=(const MMatrix& right) { return *this = *this * right; }
  MMatrix operator*(double scale) const;
  MMatrix operator+(const MMatrix& right) const;
  MMatrix operator-(const MMatrix& right) const;
  bool operator==(const MMatrix& other) const;
  bool operator!=(const MMatrix& other) const { return !(*this == other); }
  /// True when every element differs by at most tolerance.
  bool isEquivalent(const MMatrix& other, double tolerance = kDefaultTolerance) const;
  MMatrix& setToIdentity();
  MMatrix transpose() const;
  /// The inverse; a singular matrix has none and gives the zero matrix.
  MMatrix inverse() const;
  /// The transpose of the matrix of cofactors (inverse times determinant).
  MMatrix adjoint() const;
  double det4x4() const;
  /// The determinant of the upper-left 3x3 part.
  double det3x3() const;
  /// True when the determinant is negligible against the product of the row
  /// lengths (the largest determinant rows of those lengths can have).
  bool isSingular() const;
  void get(double values[4][4]) const;

  static const MMatrix identity;
  static constexpr double kDefaultTolerance = 1.0e-10;
  /// Relative size of a determinant below which a matrix counts as singular.
  static constexpr double kSingularTolerance = 1.0e-14;

  double matrix[4][4];
};
