// Singular values, symmetric eigen systems and the roots of cubics.

#include "support/reference/EigenReference.h"

#include <unsupported/Eigen/Polynomials>

#include <vector>

#include "support/reference/EigenReferenceConversions.h"

namespace zovref {

using namespace conversion;

Vec2 singularValues(const Mat2& a) { return asVec2(Eigen::JacobiSVD<Eigen::Matrix2d>(toE(a)).singularValues()); }
Vec2 symmetricEigenvalues(const Mat2& a) {
  return asVec2(Eigen::SelfAdjointEigenSolver<Eigen::Matrix2d>(toE(a)).eigenvalues());
}

Vec3 singularValues(const Mat3& a) {
  const Eigen::JacobiSVD<Eigen::Matrix3d> svd(toE(a));
  return asVec3(svd.singularValues());
}
SymmetricEigen3 symmetricEigen(const Mat3& a) {
  const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> solver(toE(a));
  return {asVec3(solver.eigenvalues()), asMat3(solver.eigenvectors())};
}

std::vector<double> cubicRealRoots(const double c[4], double imaginaryTolerance) {
  const Eigen::Vector4d coefficients(c[0], c[1], c[2], c[3]);
  std::vector<double> real;
  Eigen::PolynomialSolver<double, 3>(coefficients).realRoots(real, imaginaryTolerance);
  return real;
}

}  // namespace zovref
