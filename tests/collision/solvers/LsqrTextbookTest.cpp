#include <gtest/gtest.h>

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/collision/Lsqr.h"
#include "platform/CRandom.h"

namespace {

using Eigen::MatrixXd;
using Eigen::VectorXd;

double uniform() { return 2.0 * zov::platform::crtRand() / static_cast<double>(zov::platform::kRandMax) - 1.0; }

struct Settings {
  double damp = 0.0, atol = 0.0, btol = 0.0, conlim = 0.0;
  int iterationLimit = 0;
};

struct SolveResult {
  VectorXd x, errors;
  std::uint32_t stop = 0, iterations = 0;
  double normA = 0.0, normR = 0.0;
};

// LSQR as Paige and Saunders published it, in Eigen's vector operations,
// with the stopping tests in the solver's order.
SolveResult textbookLsqr(const MatrixXd& A, const VectorXd& b, const VectorXd& x0, const Settings& s) {
  const double eps = std::numeric_limits<double>::epsilon();
  SolveResult run;
  run.x = x0;
  run.errors = VectorXd::Zero(A.cols());
  VectorXd u = b - A * x0;
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
  if (alpha * beta == 0.0) return run;
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
    run.errors += d;
    ddnorm += d.sum();
    run.x += (phi / rho) * w;
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
  run.errors = run.errors.cwiseSqrt() * (run.normR / std::sqrt(dof));
  return run;
}

SolveResult engineLsqr(const MatrixXd& A, const VectorXd& b, const VectorXd& x0, const Settings& s) {
  const auto rows = static_cast<std::uint32_t>(A.rows()), columns = static_cast<std::uint32_t>(A.cols());
  LsqrProblem problem(rows + 1, columns + 3);  // strides wider than the sizes
  problem.setSize(rows, columns);
  for (std::uint32_t r = 0; r < rows; ++r) {
    dvec row = getMatrixRow(problem.func->matrix, r);
    for (std::uint32_t c = 0; c < columns; ++c) row.elements[c] = A(r, c);
    problem.input->b->elements[r] = b(r);
  }
  for (std::uint32_t c = 0; c < columns; ++c) problem.input->x->elements[c] = x0(c);
  problem.input->damp = s.damp;
  problem.input->atol = s.atol;
  problem.input->btol = s.btol;
  problem.input->conlim = s.conlim;
  problem.input->iterationLimit = static_cast<std::uint32_t>(s.iterationLimit);
  problem.solve();
  SolveResult run;
  run.x = Eigen::Map<const VectorXd>(problem.input->x->elements, columns);
  run.errors = Eigen::Map<const VectorXd>(problem.output->standardErrors->elements, columns);
  run.stop = problem.output->stopCode;
  run.iterations = problem.output->iterations;
  run.normA = problem.output->normA;
  run.normR = problem.output->normR;
  return run;
}

MatrixXd randomMatrix(int rows, int columns) {
  return MatrixXd::NullaryExpr(rows, columns, [] { return uniform(); });
}

// A random matrix whose leading square gets `weight` on its diagonal.
MatrixXd weightedMatrix(int rows, int columns, double weight, double spread) {
  MatrixXd m = randomMatrix(rows, columns) * spread;
  for (int i = 0; i < std::min(rows, columns); ++i) m(i, i) += weight;
  return m;
}

}  // namespace

// The solver sums its products in an order of its own. On systems whose
// stopping test is not decided by rounding it must stop where the textbook
// algorithm stops, for the same reason, with the same results to within
// rounding. Those are systems that are still converging when the engine's
// iteration limit (3n/2) stops them, and systems that meet tolerances well
// above rounding long before their Krylov space runs out. (Where a run goes
// on past convergence, the estimates and the precision tests follow
// rounding noise, in any two implementations alike.)
TEST(LsqrTextbook, RandomSystemsStopWhereTheTextbookStops) {
  enum Kind { kEngineSquare, kEngineStart, kOverdetermined, kUnderdetermined, kDamped, kConditionLimit, kKinds };
  zov::platform::crtSrand(21);
  int stops[8] = {};
  for (int trial = 0; trial < 240; ++trial) {
    const auto kind = static_cast<Kind>(trial % kKinds);
    const bool engine = kind == kEngineSquare || kind == kEngineStart;
    const int n = (engine ? 16 : 20) + zov::platform::crtRand() % 41;
    const double spread = 1.0 / std::sqrt(static_cast<double>(n));
    int m = n;
    Settings s;
    s.iterationLimit = engine ? (3 * n) / 2 : 4 * n;
    if (!engine && kind != kConditionLimit) s.atol = s.btol = 1e-6;
    if (kind == kOverdetermined || kind == kConditionLimit) m = n + 1 + zov::platform::crtRand() % 20;
    if (kind == kUnderdetermined) m = n / 2 + zov::platform::crtRand() % (n / 2);
    if (kind == kDamped) s.damp = 0.1 + 0.4 * std::fabs(uniform());
    if (kind == kConditionLimit) s.conlim = 0.5 * n + 2.0;
    const MatrixXd A = weightedMatrix(m, n, 4.0, engine ? 1.0 : spread);
    const VectorXd b = VectorXd::NullaryExpr(m, [] { return uniform(); });
    const bool start = kind == kEngineStart || kind == kDamped;
    const VectorXd x0 = start ? VectorXd(VectorXd::NullaryExpr(n, [] { return uniform(); })) : VectorXd::Zero(n);

    SCOPED_TRACE(testing::Message() << "trial " << trial << ": " << m << " x " << n);
    const SolveResult expected = textbookLsqr(A, b, x0, s);
    const SolveResult got = engineLsqr(A, b, x0, s);
    EXPECT_EQ(got.stop, expected.stop);
    EXPECT_EQ(got.iterations, expected.iterations);
    EXPECT_LT((got.x - expected.x).norm(), 1e-8 * (1.0 + expected.x.norm()));
    if (!engine) {
      EXPECT_LT((got.errors - expected.errors).norm(), 1e-8 * (1.0 + expected.errors.norm()));
      EXPECT_NEAR(got.normA, expected.normA, 1e-12 * expected.normA);
      EXPECT_NEAR(got.normR, expected.normR, 1e-12 * b.norm());
    }
    ++stops[expected.stop];
  }
  // The systems reach the iteration limit and the tolerance, condition and
  // precision tests.
  for (int code : {1, 2, 3, 5, 7}) EXPECT_GT(stops[code], 0) << code;
}
