#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "RandomMatrices.h"
#include "engine/solver/Lsqr.h"
#include "platform/CRandom.h"
#include "support/reference/EigenReference.h"

namespace {

using zovref::MatX;
using zovref::VecX;
using Settings = zovref::LsqrSettings;
using SolveResult = zovref::LsqrRun;

SolveResult engineLsqr(const MatX& A, const VecX& b, const VecX& x0, const Settings& s) {
  const auto rows = static_cast<std::uint32_t>(A.rows), columns = static_cast<std::uint32_t>(A.cols);
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
  run.x.v.assign(problem.input->x->elements, problem.input->x->elements + columns);
  run.errors.v.assign(problem.output->standardErrors->elements, problem.output->standardErrors->elements + columns);
  run.stop = problem.output->stopCode;
  run.iterations = problem.output->iterations;
  run.normA = problem.output->normA;
  run.normR = problem.output->normR;
  return run;
}

using lsqrtest::randomVector;
using lsqrtest::uniform;

// A random matrix whose leading square gets `weight` on its diagonal.
MatX weightedMatrix(int rows, int columns, double weight, double spread) {
  MatX m = lsqrtest::randomMatrixByColumns(rows, columns) * spread;
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
    const MatX A = weightedMatrix(m, n, 4.0, engine ? 1.0 : spread);
    const VecX b = randomVector(m);
    const bool start = kind == kEngineStart || kind == kDamped;
    const VecX x0 = start ? randomVector(n) : VecX(n);

    SCOPED_TRACE(testing::Message() << "trial " << trial << ": " << m << " x " << n);
    const SolveResult expected = zovref::textbookLsqr(A, b, x0, s);
    const SolveResult got = engineLsqr(A, b, x0, s);
    EXPECT_EQ(got.stop, expected.stop);
    EXPECT_EQ(got.iterations, expected.iterations);
    EXPECT_LT(norm(got.x - expected.x), 1e-8 * (1.0 + norm(expected.x)));
    if (!engine) {
      EXPECT_LT(norm(got.errors - expected.errors), 1e-8 * (1.0 + norm(expected.errors)));
      EXPECT_NEAR(got.normA, expected.normA, 1e-12 * expected.normA);
      EXPECT_NEAR(got.normR, expected.normR, 1e-12 * norm(b));
    }
    ++stops[expected.stop];
  }
  // The systems reach the iteration limit and the tolerance, condition and
  // precision tests.
  for (int code : {1, 2, 3, 5, 7}) EXPECT_GT(stops[code], 0) << code;
}
