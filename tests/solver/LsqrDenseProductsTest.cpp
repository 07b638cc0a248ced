#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "RandomMatrices.h"
#include "engine/solver/Lsqr.h"
#include "platform/CRandom.h"

namespace {

using lsqrtest::uniform;

// The dense product behind another address: lsqr then goes through the
// callback for every product.
void callbackProduct(int mode, dvec* x, dvec* y, const dmat* matrix) { lsqr_mat_vec_prod(mode, x, y, matrix); }

struct Result {
  std::vector<double> x, errors, b;
  double norms[5];
  std::uint32_t stop, iterations;
};

Result solve(std::uint32_t rows, std::uint32_t columns, unsigned seed, double damp, bool startValue,
             lsqr_product product) {
  zov::platform::crtSrand(seed);
  LsqrProblem problem(rows + 2, columns + 3);  // strides wider than the sizes
  problem.setSize(rows, columns);
  problem.func->product = product;
  for (std::uint32_t r = 0; r < rows; ++r) {
    dvec row = getMatrixRow(problem.func->matrix, r);
    for (std::uint32_t c = 0; c < columns; ++c) row.elements[c] = uniform() + (r == c ? 2.0 : 0.0);
    problem.input->b->elements[r] = uniform();
  }
  for (std::uint32_t c = 0; c < columns; ++c) problem.input->x->elements[c] = startValue ? uniform() : 0.0;
  problem.input->damp = damp;
  problem.input->iterationLimit = 2 * columns + 3;
  problem.solve();
  const lsqr_output& out = *problem.output;
  Result result{{problem.input->x->elements, problem.input->x->elements + columns},
                {out.standardErrors->elements, out.standardErrors->elements + columns},
                {problem.input->b->elements, problem.input->b->elements + rows},
                {out.normA, out.condA, out.normR, out.normATr, out.normX},
                out.stopCode,
                out.iterations};
  return result;
}

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

}  // namespace

// The solver runs the dense product on the matrix and its transpose itself;
// every result must be the one that the product callback gives, to the bit.
TEST(LsqrDenseProducts, SameBitsAsThroughTheCallback) {
  struct Case {
    std::uint32_t rows, columns;
    double damp;
    bool startValue;
  };
  // Systems of up to 32 unknowns run their vector work in few passes, larger
  // ones pass by pass: both sides of that size, square or not.
  const Case cases[] = {{1, 1, 0.0, false},  {3, 5, 0.0, true},   {48, 48, 0.0, false}, {50, 37, 0.2, true},
                        {17, 33, 0.0, true}, {64, 64, 0.0, true}, {31, 31, 0.5, false}, {4, 4, 0.0, false},
                        {9, 2, 0.0, true},   {32, 32, 0.0, true}, {33, 32, 0.1, false}, {32, 33, 0.0, false},
                        {6, 7, 0.0, true},   {7, 6, 0.3, false},  {2, 3, 0.0, true},    {14, 10, 0.0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rows << " x " << c.columns);
    const Result dense = solve(c.rows, c.columns, 9, c.damp, c.startValue, lsqr_mat_vec_prod);
    const Result callback = solve(c.rows, c.columns, 9, c.damp, c.startValue, callbackProduct);
    EXPECT_TRUE(sameBits(dense.x, callback.x));
    EXPECT_TRUE(sameBits(dense.errors, callback.errors));
    EXPECT_TRUE(sameBits(dense.b, callback.b));
    EXPECT_EQ(std::memcmp(dense.norms, callback.norms, sizeof dense.norms), 0);
    EXPECT_EQ(dense.stop, callback.stop);
    EXPECT_EQ(dense.iterations, callback.iterations);
  }
}

// A^T y sums each column over the rows in row order, one product and one
// addition a row, however many columns go side by side and whatever the
// processor's registers; A x sums each row's even columns and its odd ones
// apart, then the two: the bits of plain loops in those orders, on every row
// however many there are.
TEST(LsqrDenseProducts, BothProductsGiveThePlainLoopsBitsInTheirOrder) {
  struct Case {
    std::uint32_t rows, columns;
  };
  // Column counts through every block width (16, 8, 4, 2, 1), rows past a
  // band of 128 and past 256.
  const Case cases[] = {{1, 1},  {5, 3},   {7, 17},    {48, 48}, {30, 31},  {200, 200}, {131, 45},
                        {3, 64}, {257, 9}, {300, 300}, {300, 7}, {513, 21}, {1029, 4},  {260, 256}};
  zov::platform::crtSrand(29);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rows << " x " << c.columns);
    LsqrProblem problem(c.rows + 1, c.columns + 3);  // a stride wider than the columns
    problem.setSize(c.rows, c.columns);
    dmat* matrix = problem.func->matrix;
    const auto at = [&](std::uint32_t r, std::uint32_t k) { return getMatrixRow(matrix, r).elements[k]; };
    std::vector<double> x(c.columns), y(c.rows);
    for (std::uint32_t r = 0; r < c.rows; ++r) {
      dvec row = getMatrixRow(matrix, r);
      for (std::uint32_t k = 0; k < c.columns; ++k) row.elements[k] = uniform();
      y[r] = uniform();
    }
    for (double& value : x) value = uniform();
    std::vector<double> transposed(x), product(y);
    for (std::uint32_t k = 0; k < c.columns; ++k) {
      for (std::uint32_t r = 0; r < c.rows; ++r) transposed[k] += at(r, k) * y[r];
    }
    for (std::uint32_t r = 0; r < c.rows; ++r) {
      double sums[2] = {0.0, 0.0};
      for (std::uint32_t k = 0; k < c.columns; ++k) sums[k % 2] += at(r, k) * x[k];
      product[r] += sums[0] + sums[1];
    }
    std::vector<double> xOut(x), yOut(y);
    dvec xView{1, c.columns, c.columns, xOut.data()};
    dvec yView{1, c.rows, c.rows, yOut.data()};
    lsqr_mat_vec_prod(1, &xView, &yView, matrix);
    EXPECT_TRUE(sameBits(xOut, transposed));
    EXPECT_TRUE(sameBits(yOut, y));
    xOut = x;
    lsqr_mat_vec_prod(0, &xView, &yView, matrix);
    EXPECT_TRUE(sameBits(yOut, product));
    EXPECT_TRUE(sameBits(xOut, x));
  }
}

TEST(LsqrDenseProducts, StopReasonsIndexTheirMessages) {
  EXPECT_EQ(std::string(lsqrStopMessage(kLsqrStartIsSolution)), "The exact solution is x = x0");
  EXPECT_EQ(std::string(lsqrStopMessage(kLsqrConditionAtPrecision)),
            "The estimated condition number has exceeded machine precision");
  EXPECT_EQ(std::string(lsqrStopMessage(kLsqrIterationLimit)), "The iteration limit has been reached");
  EXPECT_EQ(std::string(lsqrStopMessage(8)), "");
}
