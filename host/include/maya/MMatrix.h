#pragma once

/// A 4x4 matrix of doubles, row-major, acting on row vectors (a point p maps
/// to p * M). Default-constructed as the identity.
class MMatrix {
public:
  MMatrix();
  explicit MMatrix(const double values[4][4]);

  double operator()(unsigned int row, unsigned int col) const { return matrix[row][col]; }
  double& operator()(unsigned int row, unsigned int col) { return matrix[row][col]; }
  double* operator[](unsigned int row) { return matrix[row]; }
  const double* operator[](unsigned int row) const { return matrix[row]; }

  MMatrix operator*(const MMatrix& right) const;
  bool operator==(const MMatrix& other) const;
  bool operator!=(const MMatrix& other) const { return !(*this == other); }
  /// True when every element differs by at most tolerance.
  bool isEquivalent(const MMatrix& other, double tolerance = kDefaultTolerance) const;
  MMatrix& setToIdentity();
  MMatrix transpose() const;

  static const MMatrix identity;
  static constexpr double kDefaultTolerance = 1.0e-10;

  double matrix[4][4];
};
