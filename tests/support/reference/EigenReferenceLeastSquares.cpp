// Minimum-norm least squares.

#include "support/reference/EigenReference.h"

#include <vector>

#include "support/reference/EigenReferenceConversions.h"

namespace zovref {

using namespace conversion;

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

}  // namespace zovref
