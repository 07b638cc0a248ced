#include "engine/solver/LsqrSystem.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "RandomMatrices.h"
#include "platform/CRandom.h"
#include "support/reference/EigenReference.h"

namespace {

using zovref::MatX;
using zovref::VecX;

using lsqrtest::randomMatrix;

}  // namespace

TEST(LsqrSystem, PrepareTakesOneToSixteenUnknowns) {
  LsqrSystem system;
  dmat* A = nullptr;
  dvec *b = nullptr, *x = nullptr;
  ASSERT_TRUE(system.prepare(5, A, b, x));
  struct Case {
    int n;
    bool accepted;
  };
  const Case cases[] = {{0, false}, {-3, false}, {17, false}, {1, true}, {16, true}, {3, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    ASSERT_TRUE(system.prepare(5, A, b, x));
    dmat* newA = nullptr;
    dvec *newB = nullptr, *newX = nullptr;
    EXPECT_EQ(system.prepare(c.n, newA, newB, newX), c.accepted);
    const auto size = static_cast<std::uint32_t>(c.accepted ? c.n : 5);
    if (!c.accepted) {
      EXPECT_EQ(newA, nullptr);
    }
    EXPECT_EQ(A->rows, size);
    EXPECT_EQ(A->columns, size);
    EXPECT_EQ(b->length, size);
    EXPECT_EQ(x->length, size);
    EXPECT_GE(A->stride, 16u);
  }
}

// From a cleared solution LSQR finds the minimum-norm solution of a singular
// system; a solution left over from before would show in the null space.
TEST(LsqrSystem, SolveClearsSolutionAndKeepsRightHandSide) {
  zov::platform::crtSrand(17);
  const int n = LsqrSystem::kMaxUnknowns;
  const MatX m = randomMatrix(n, 12) * randomMatrix(12, n);
  const VecX rhs = m * lsqrtest::randomVector(n);

  LsqrSystem system;
  dmat* A = nullptr;
  dvec *b = nullptr, *x = nullptr;
  ASSERT_TRUE(system.prepare(n, A, b, x));
  for (int r = 0; r < n; ++r) {
    dvec row = getMatrixRow(A, static_cast<std::uint32_t>(r));
    for (int c = 0; c < n; ++c) row.elements[c] = m(r, c);
    b->elements[r] = rhs(r);
    x->elements[r] = 1e3;
  }
  ASSERT_TRUE(system.solve(n, A, b, x));

  VecX solved(n), kept(n);
  for (int i = 0; i < n; ++i) {
    solved(i) = x->elements[i];
    kept(i) = b->elements[i];
  }
  EXPECT_EQ(kept, rhs);
  const VecX expected = zovref::minimumNormSolve(m, rhs);
  EXPECT_LT(norm(m * solved - rhs), 1e-6 * norm(rhs));
  EXPECT_LT(norm(solved - expected), 1e-6 * norm(expected));
}

TEST(LsqrSystem, SolveRefusesRecordsItDidNotHandOut) {
  LsqrSystem system, other;
  dmat *A = nullptr, *otherA = nullptr;
  dvec *b = nullptr, *x = nullptr, *otherB = nullptr, *otherX = nullptr;
  EXPECT_FALSE(system.solve(3, A, b, x));  // nothing prepared yet
  ASSERT_TRUE(system.prepare(3, A, b, x));
  ASSERT_TRUE(other.prepare(3, otherA, otherB, otherX));
  EXPECT_FALSE(system.solve(3, otherA, otherB, otherX));
  EXPECT_FALSE(system.solve(4, A, b, x));
  EXPECT_FALSE(system.solve(3, A, x, b));
}

TEST(LsqrSystem, TableHoldsOneSystemPerThread) {
  struct Case {
    std::uint32_t workers;
    bool built;
  };
  const Case cases[] = {{0, true}, {3, true}, {32, true}, {33, false}, {1000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.workers);
    EXPECT_EQ(createLsqrSystems(c.workers), c.built);
    for (std::uint32_t t = 0; t < kLsqrSystemCount; ++t) {
      EXPECT_EQ(g_lsqrSystems[t] != nullptr, c.built && t <= c.workers) << t;
    }
  }
  ASSERT_TRUE(createLsqrSystems(2));
  destroyLsqrSystems();
  for (const auto& system : g_lsqrSystems) EXPECT_EQ(system, nullptr);
}
