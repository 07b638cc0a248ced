// Minimum-norm least squares, and LSQR as published.

#include "support/reference/EigenReference.h"

#include <cmath>
#include <limits>
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

LsqrRun textbookLsqr(const MatX& a, const VecX& b0, const VecX& x0, const LsqrSettings& s) {
  using Eigen::VectorXd;
  const Eigen::MatrixXd A = toE(a);
  const VectorXd b = toE(b0);
  const double eps = std::numeric_limits<double>::epsilon();
  VectorXd x = toE(x0);
  VectorXd errors = VectorXd::Zero(A.cols());
  LsqrRun run;
  const auto finish = [&] {
    run.x = asVecX(x);
    run.errors = asVecX(errors);
    return run;
  };
  VectorXd u = b - A * x;
  VectorXd v = VectorXd::Zero(A.cols());
  double beta = u.norm(), alpha = 0.0;
  if (beta > 0.0) {
    u /= beta;
    v = A.transpose() * u;
    alpha = v.norm();
  }
  if (alpha > 0.0) v /= alpha;
  VectorXd w = v;
  const double normB = beta;
  double rhobar = alpha, phibar = beta;
  run.normR = beta;
  if (alpha * beta == 0.0) return finish();
  const double ctol = s.conlim > 0.0 ? 1.0 / s.conlim : eps;
  double bbnorm = 0.0, ddnorm = 0.0, res2 = 0.0, xxnorm = 0.0, z = 0.0, cs2 = -1.0, sn2 = 0.0;
  while (run.stop == 0) {
    ++run.iterations;
    u = A * v - alpha * u;
    beta = u.norm();
    bbnorm += alpha * alpha + beta * beta + s.damp * s.damp;
    if (beta > 0.0) {
      u /= beta;
      v = A.transpose() * u - beta * v;
      alpha = v.norm();
      if (alpha > 0.0) v /= alpha;
    }
    const double rhbar1 = std::hypot(rhobar, s.damp);
    const double psi = (s.damp / rhbar1) * phibar;
    phibar *= rhobar / rhbar1;
    const double rho = std::hypot(rhbar1, beta), cs = rhbar1 / rho, sn = beta / rho;
    const double theta = sn * alpha;
    rhobar = -cs * alpha;
    const double phi = cs * phibar;
    phibar *= sn;
    const VectorXd d = (w / rho).cwiseAbs2();
    errors += d;
    ddnorm += d.sum();
    x += (phi / rho) * w;
    w = v - (theta / rho) * w;
    const double rhs = phi - sn2 * rho * z;
    const double normX = std::sqrt(xxnorm + std::pow(rhs / (-cs2 * rho), 2));
    const double gamma = std::hypot(-cs2 * rho, theta);
    cs2 = -cs2 * rho / gamma;
    sn2 = theta / gamma;
    z = rhs / gamma;
    xxnorm += z * z;
    run.normA = std::sqrt(bbnorm);
    const double condA = run.normA * std::sqrt(ddnorm);
    res2 += psi * psi;
    run.normR = std::sqrt(phibar * phibar + res2);
    const double normATr = alpha * std::fabs(sn * phi);
    const double test1 = run.normR / normB;
    const double test2 = run.normR > 0.0 ? normATr / (run.normA * run.normR) : 0.0;
    const double test3 = 1.0 / condA;
    if (run.iterations >= static_cast<std::uint32_t>(s.iterationLimit)) run.stop = 7;
    if (test3 <= eps) run.stop = 6;
    if (test2 <= eps) run.stop = 5;
    if (test3 <= ctol) run.stop = 3;
    if (test2 <= s.atol) run.stop = 2;
    if (test1 <= s.btol + s.atol * run.normA * normX / normB) run.stop = 1;
  }
  double dof = 1.0;
  if (A.rows() > A.cols()) dof = static_cast<double>(A.rows() - A.cols());
  if (s.damp * s.damp > 0.0) dof = static_cast<double>(A.rows());
  errors = errors.cwiseSqrt() * (run.normR / std::sqrt(dof));
  return finish();
}

}  // namespace zovref
