// Vectors and matrices of any size: arithmetic, inverses and solves.

#include <cstddef>

#include "support/reference/EigenReference.h"
#include "support/reference/EigenReferenceConversions.h"

namespace zovref {

using namespace conversion;

MatX MatX::identity(int n) { return asMatX(Eigen::MatrixXd::Identity(n, n)); }

Mat3 MatX::block3(int i, int j) const { return asMat3(toE(*this).block<3, 3>(3 * i, 3 * j)); }

void MatX::setBlock3(int i, int j, const Mat3& a) {
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) (*this)(3 * i + r, 3 * j + c) = a(r, c);
}

VecX operator+(const VecX& a, const VecX& b) { return asVecX(toE(a) + toE(b)); }
VecX operator-(const VecX& a, const VecX& b) { return asVecX(toE(a) - toE(b)); }
VecX operator*(double s, const VecX& a) { return asVecX(s * toE(a)); }
VecX operator*(const VecX& a, double s) { return asVecX(toE(a) * s); }
VecX operator/(const VecX& a, double s) { return asVecX(toE(a) / s); }
bool operator==(const VecX& a, const VecX& b) { return a.v == b.v; }
double norm(const VecX& a) { return toE(a).norm(); }

MatX operator+(const MatX& a, const MatX& b) { return asMatX(toE(a) + toE(b)); }
MatX operator-(const MatX& a, const MatX& b) { return asMatX(toE(a) - toE(b)); }
MatX operator*(const MatX& a, const MatX& b) { return asMatX(toE(a) * toE(b)); }
MatX operator*(const MatX& a, double s) { return asMatX(toE(a) * s); }
VecX operator*(const MatX& a, const VecX& v) { return asVecX(toE(a) * toE(v)); }
bool operator==(const MatX& a, const MatX& b) { return a.rows == b.rows && a.cols == b.cols && a.m == b.m; }
MatX transpose(const MatX& a) { return asMatX(toE(a).transpose()); }
double norm(const MatX& a) { return toE(a).norm(); }
MatX inverse(const MatX& a) { return asMatX(toE(a).inverse()); }
VecX solve(const MatX& a, const VecX& b) { return asVecX(toE(a).fullPivLu().solve(toE(b))); }

VecX minimumNormSolve(const MatX& a, const VecX& b, double damp) {
  const std::vector<double> x = leastSquares(a.rows, a.cols, a.m.data(), b.v.data(), damp);
  VecX out;
  out.v = x;
  return out;
}

}  // namespace zovref
