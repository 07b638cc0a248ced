#include "engine/solver/Lsqr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "RandomMatrices.h"
#include "platform/CRandom.h"
#include "support/reference/EigenReference.h"

namespace {

using zovref::MatX;
using zovref::VecX;

using lsqrtest::randomMatrix;
using lsqrtest::randomVector;

// Writes m into the problem's matrix through row views and sizes the problem.
void load(LsqrProblem& problem, const MatX& m, const VecX& b) {
  ASSERT_TRUE(problem.setSize(static_cast<std::uint32_t>(m.rows), static_cast<std::uint32_t>(m.cols)));
  for (int r = 0; r < m.rows; ++r) {
    dvec row = getMatrixRow(problem.func->matrix, static_cast<std::uint32_t>(r));
    ASSERT_EQ(row.length, static_cast<std::uint32_t>(m.cols));
    for (int c = 0; c < m.cols; ++c) row.elements[c] = m(r, c);
    problem.input->b->elements[r] = b(r);
  }
  for (int c = 0; c < m.cols; ++c) problem.input->x->elements[c] = 0.0;
}

VecX solution(const LsqrProblem& problem) {
  VecX x(static_cast<int>(problem.input->x->length));
  for (int i = 0; i < x.size(); ++i) x(i) = problem.input->x->elements[i];
  return x;
}

// The minimum-norm least-squares solution.
VecX reference(const MatX& m, const VecX& b) { return zovref::minimumNormSolve(m, b); }

}  // namespace

// From x = 0 LSQR stays in the row space of A, so it converges to the
// minimum-norm least-squares solution, damped or not.
TEST(Lsqr, MatchesMinimumNormLeastSquaresSolution) {
  struct Case {
    const char* name;
    int rows, columns, rank;
    bool consistent;
    double damp;
  };
  const Case cases[] = {
      {"square", 8, 8, 8, true, 0.0},
      {"overdetermined consistent", 12, 5, 5, true, 0.0},
      {"overdetermined inconsistent", 12, 5, 5, false, 0.0},
      {"underdetermined", 5, 11, 5, true, 0.0},
      {"rank-deficient square", 10, 10, 6, true, 0.0},
      {"rank-deficient inconsistent", 10, 7, 4, false, 0.0},
      {"rank-deficient underdetermined", 6, 9, 3, false, 0.0},
      {"damped overdetermined", 12, 5, 5, false, 0.3},
      {"damped rank-deficient", 9, 9, 5, false, 0.7},
  };
  zov::platform::crtSrand(7);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const MatX m = randomMatrix(c.rows, c.rank) * randomMatrix(c.rank, c.columns);
    const VecX b = c.consistent ? m * randomVector(c.columns) : randomVector(c.rows);

    LsqrProblem problem(16, 16);
    load(problem, m, b);
    problem.input->damp = c.damp;
    problem.input->iterationLimit = 10 * static_cast<std::uint32_t>(c.columns);
    problem.solve();

    // Damped least squares is the plain problem on [A; damp I] x = [b; 0].
    const VecX expected = zovref::minimumNormSolve(m, b, c.damp);
    EXPECT_LT(norm(solution(problem) - expected), 1e-9 * (1.0 + norm(expected)));
    const double residual = norm(m * expected - b);
    if (c.damp == 0.0) {
      EXPECT_NEAR(problem.output->normR, residual, 1e-9 * (1.0 + norm(b)));
    }
  }
}

// The engine's settings: no tolerances and 3n/2 iterations suffice for the
// well-conditioned systems it solves.
TEST(Lsqr, EngineSettingsSolveWellConditionedSquareSystem) {
  zov::platform::crtSrand(11);
  const int n = 12;
  const MatX m = MatX::identity(n) * 3.0 + randomMatrix(n, n);
  const VecX b = randomVector(n);
  LsqrProblem problem(n, n);
  load(problem, m, b);
  problem.input->iterationLimit = (3 * n) / 2;
  problem.solve();
  EXPECT_LT(norm(solution(problem) - zovref::solve(m, b)), 1e-10);
  EXPECT_LE(problem.output->iterations, static_cast<std::uint32_t>((3 * n) / 2));
  const std::uint32_t stop = problem.output->stopCode;
  EXPECT_TRUE(stop == 1 || stop == 3 || stop == 5 || stop == 6 || stop == 7) << stop;
}

// A start value x0 is honoured: the result is x0 plus the minimum-norm
// correction, which differs from the minimum-norm solution when A is singular.
TEST(Lsqr, StartValueGetsMinimumNormCorrection) {
  zov::platform::crtSrand(3);
  const MatX m = randomMatrix(7, 3) * randomMatrix(3, 7);
  const VecX b = randomVector(7);
  const VecX x0 = randomVector(7);
  LsqrProblem problem(7, 7);
  load(problem, m, b);
  for (int i = 0; i < 7; ++i) problem.input->x->elements[i] = x0(i);
  problem.input->iterationLimit = 50;
  problem.solve();
  const VecX expected = x0 + reference(m, b - m * x0);
  EXPECT_LT(norm(solution(problem) - expected), 1e-9);
  EXPECT_GT(norm(expected - reference(m, b)), 1e-3);
}

// The products sum in an order of their own, so "b = A x0 exactly" is posed
// with small integers, whose products and sums are exact in any order.
TEST(Lsqr, ExactStartStopsAtOnceWithCodeZero) {
  const MatX m(5, 4, {1, -2, 3, 0, 4, 1, -1, 2, -3, 5, 2, 1, 0, 2, -4, 3, 2, -1, 1, -2});
  const VecX x0{3, -1, 2, 5};
  const VecX b = m * x0;
  const VecX zeroStart(4), zeroB(5);
  struct Case {
    const char* name;
    const VecX& start;
    const VecX& b;
  };
  const Case cases[] = {
      {"b = A x0", x0, b},
      {"b = 0 from x = 0", zeroStart, zeroB},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LsqrProblem problem(5, 4);
    load(problem, m, c.b);
    for (int i = 0; i < 4; ++i) problem.input->x->elements[i] = c.start(i);
    problem.input->iterationLimit = 10;
    problem.solve();
    EXPECT_EQ(problem.output->stopCode, 0u);
    EXPECT_EQ(problem.output->iterations, 0u);
    EXPECT_EQ(solution(problem), c.start);
  }
}

// Standard errors of an overdetermined fit: |r| / sqrt(m - n) times the
// square root of the diagonal of (A^T A)^-1.
TEST(Lsqr, StandardErrorsMatchTextbookFormula) {
  zov::platform::crtSrand(9);
  const int rows = 10, columns = 3;
  const MatX m = randomMatrix(rows, columns);
  const VecX b = randomVector(rows);
  LsqrProblem problem(rows, columns);
  load(problem, m, b);
  problem.input->iterationLimit = columns;
  problem.solve();
  const VecX x = reference(m, b);
  const double sigma = norm(m * x - b) / std::sqrt(static_cast<double>(rows - columns));
  const MatX covariance = inverse(transpose(m) * m);
  for (int i = 0; i < columns; ++i) {
    EXPECT_NEAR(problem.output->standardErrors->elements[i], sigma * std::sqrt(covariance(i, i)), 1e-8);
  }
}

TEST(Lsqr, ProductFollowsModeAndRowStride) {
  zov::platform::crtSrand(13);
  const MatX m = randomMatrix(3, 4);
  LsqrProblem problem(6, 6);  // rows are read with a stride of 6
  load(problem, m, VecX(3));
  dvec* x = problem.work->v;   // 4 elements in use
  dvec* y = problem.input->b;  // 3 elements in use
  const VecX x0 = randomVector(4), y0 = randomVector(3);
  auto setBoth = [&] {
    for (int i = 0; i < 4; ++i) x->elements[i] = x0(i);
    for (int i = 0; i < 3; ++i) y->elements[i] = y0(i);
  };
  auto get = [](const dvec* v) {
    VecX out(static_cast<int>(v->length));
    for (int i = 0; i < out.size(); ++i) out(i) = v->elements[i];
    return out;
  };

  setBoth();
  lsqr_mat_vec_prod(0, x, y, problem.func->matrix);
  EXPECT_LT(norm(get(y) - (y0 + m * x0)), 1e-14);
  EXPECT_EQ(get(x), x0);

  setBoth();
  lsqr_mat_vec_prod(1, x, y, problem.func->matrix);
  EXPECT_LT(norm(get(x) - (x0 + transpose(m) * y0)), 1e-14);
  EXPECT_EQ(get(y), y0);

  for (int mode : {-1, 2, 7}) {
    setBoth();
    lsqr_mat_vec_prod(mode, x, y, problem.func->matrix);
    EXPECT_EQ(get(x), x0);
    EXPECT_EQ(get(y), y0);
  }
}

TEST(Lsqr, SizeSettersRefuseSizesAboveCapacity) {
  LsqrProblem problem(6, 4);
  ASSERT_TRUE(problem.setSize(6, 4));
  ASSERT_TRUE(problem.setSize(2, 3));
  struct Case {
    std::uint32_t rows, columns;
    bool accepted;
  };
  const Case cases[] = {{7, 4, false}, {6, 5, false}, {100, 100, false}, {0, 0, true}, {6, 4, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rows << " x " << c.columns);
    ASSERT_TRUE(problem.setSize(2, 3));
    EXPECT_EQ(problem.setSize(c.rows, c.columns), c.accepted);
    const std::uint32_t rows = c.accepted ? c.rows : 2;
    const std::uint32_t columns = c.accepted ? c.columns : 3;
    EXPECT_EQ(problem.input->rowCount, rows);
    EXPECT_EQ(problem.input->b->length, rows);
    EXPECT_EQ(problem.func->matrix->rows, rows);
    EXPECT_EQ(problem.input->x->length, columns);
    EXPECT_EQ(problem.output->standardErrors->length, columns);
    EXPECT_EQ(problem.work->v->length, columns);
    EXPECT_EQ(problem.work->w->length, columns);
    EXPECT_EQ(problem.func->matrix->columns, columns);
  }
  EXPECT_FALSE(lsqr_set_input_size(problem.input, 7, 1));
  EXPECT_FALSE(lsqr_set_output_size(problem.output, 5));
  EXPECT_FALSE(lsqr_set_work_size(problem.work, 5));
  EXPECT_FALSE(lsqr_set_func_size(problem.func, 1, 5));

  dvec small{0, 2, 2, nullptr};
  dvec large{0, 3, 3, nullptr};
  EXPECT_FALSE(dvec_copy(&large, &small));
}

TEST(Lsqr, AllocationFailureThrowsBadAlloc) {
  // rows * columns doubles exceed the address space.
  EXPECT_THROW(alloc_dmat(0xFFFFFFFFu, 0xFFFFFFFFu), std::bad_alloc);
  EXPECT_THROW(alloc_lsqr_fnc(0xFFFFFFFFu, 0xFFFFFFFFu), std::bad_alloc);
}

TEST(Lsqr, ReportEndsWithStopMessage) {
  // The report is kept in memory: the test writes no file.
  char* written = nullptr;
  std::size_t length = 0;
  std::FILE* report = open_memstream(&written, &length);
  ASSERT_NE(report, nullptr);
  LsqrProblem problem(3, 3);
  const MatX m(3, 3, {2, 0, 0, 0, 3, 0, 0, 0, 4});
  load(problem, m, VecX(3, 1.0));
  problem.input->iterationLimit = 1;
  problem.input->report = report;
  problem.solve();
  std::fclose(report);
  const std::string text(written, length);
  std::free(written);
  EXPECT_NE(text.find("Least Squares Solution of A*x = b"), std::string::npos);
  EXPECT_EQ(problem.output->stopCode, 7u);
  const std::string last = std::string("  ") + "The iteration limit has been reached" + "\n\n";
  ASSERT_GE(text.size(), last.size());
  EXPECT_EQ(text.substr(text.size() - last.size()), last);
}
