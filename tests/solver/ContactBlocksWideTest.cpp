#include "engine/solver/ContactBlocksWide.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "engine/solver/ContactBlocks.h"
#include "engine/solver/Lsqr.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

namespace {

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

/// The same bits, or NaN both (whose sign and payload the two solves need
/// not share).
bool sameBitsOrNaN(double a, double b) { return sameBits(a, b) || (std::isnan(a) && std::isnan(b)); }

/// A random contact system with its records, as a pair solve hands them
/// over: some contacts taken out (zero elements), the work vectors holding
/// leftovers of an earlier solve.
struct RandomSystem {
  std::uint32_t n = 0;
  ContactBlocks blocks;
  std::vector<std::uint8_t> marks;
  std::vector<double> rhs, start, leftovers;
};

enum class Marks { kNone, kSome, kAll };

RandomSystem randomSystem(std::mt19937_64& random, std::uint32_t n, int turning, Marks marking, bool fromZero) {
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  RandomSystem s;
  s.n = n;
  std::vector<MgcVector3> arms[2];
  MgcMatrix3 inertias[2];
  for (int b = 0; b < 2; ++b) {
    for (std::uint32_t i = 0; i < n; ++i) arms[b].emplace_back(unit(random), unit(random), unit(random));
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) inertias[b][r][c] = 0.3 * unit(random) + (r == c ? 2.0 : 0.0);
    }
  }
  const MgcMatrix3* turns[2] = {(turning & 1) != 0 ? &inertias[0] : nullptr,
                                (turning & 2) != 0 ? &inertias[1] : nullptr};
  s.blocks.reset(n, 0.5 + 0.4 * unit(random), turns[0], arms[0].data(), turns[1], arms[1].data());
  s.marks.assign(n, 0);
  for (std::uint32_t i = 0; i < n; ++i) {
    if (marking == Marks::kAll || (marking == Marks::kSome && random() % 3 == 0)) s.marks[i] = 1;
  }
  for (std::uint32_t k = 0; k < 3 * n; ++k) {
    const bool out = s.marks[k / 3] != 0;
    // Signed zeros among the values: a lane that turned a sign would show.
    const std::uint64_t pick = random() % 8;
    const double value = pick == 0 ? -0.0 : pick == 1 ? 0.0 : unit(random);
    s.rhs.push_back(out ? 0.0 : value);
    s.start.push_back(out || fromZero ? 0.0 : 0.1 * unit(random));
    s.leftovers.push_back(unit(random));
  }
  return s;
}

/// The records of one solve of `s`.
LsqrProblem problemFor(const RandomSystem& s) {
  const std::uint32_t m = 3 * s.n;
  LsqrProblem problem(m, m, 0, 0);
  lsqr_set_input_size(problem.input, m, m);
  lsqr_set_output_size(problem.output, m);
  lsqr_set_work_size(problem.work, m);
  lsqr_input* input = problem.input;
  input->damp = input->atol = input->btol = input->conlim = 0.0;
  input->iterationLimit = (3 * m) / 2;
  for (std::uint32_t k = 0; k < m; ++k) {
    input->b->elements[k] = s.rhs[k];
    input->x->elements[k] = s.start[k];
    problem.work->v->elements[k] = problem.work->w->elements[k] = s.leftovers[k];
    problem.output->standardErrors->elements[k] = s.leftovers[k];
  }
  return problem;
}

/// The records of two solves alike: to the bit, or up to NaNs with
/// `nanAlike`.
void expectSameRecords(const LsqrProblem& got, const LsqrProblem& expected, std::uint32_t m, bool nanAlike = false) {
  const auto same = [nanAlike](double a, double b) { return nanAlike ? sameBitsOrNaN(a, b) : sameBits(a, b); };
  EXPECT_EQ(got.output->stopCode, expected.output->stopCode);
  EXPECT_EQ(got.output->iterations, expected.output->iterations);
  EXPECT_TRUE(same(got.output->normA, expected.output->normA));
  EXPECT_TRUE(same(got.output->condA, expected.output->condA));
  EXPECT_TRUE(same(got.output->normR, expected.output->normR));
  EXPECT_TRUE(same(got.output->normATr, expected.output->normATr));
  EXPECT_TRUE(same(got.output->normX, expected.output->normX));
  for (std::uint32_t k = 0; k < m; ++k) {
    EXPECT_TRUE(same(got.input->x->elements[k], expected.input->x->elements[k])) << k;
    EXPECT_TRUE(same(got.input->b->elements[k], expected.input->b->elements[k])) << k;
    EXPECT_TRUE(same(got.work->v->elements[k], expected.work->v->elements[k])) << k;
    EXPECT_TRUE(same(got.work->w->elements[k], expected.work->w->elements[k])) << k;
    EXPECT_TRUE(same(got.output->standardErrors->elements[k], expected.output->standardErrors->elements[k])) << k;
  }
}

}  // namespace

// The wide solve and the two-lane solve agree to the bit on random systems:
// iterates, stop, estimates and every element of the records, for every set
// of turning bodies, sizes up to the most contacts a system takes, with and
// without contacts taken out, from zero and from a start value.
TEST(ContactBlocksWide, WideSolveGivesTheBaselineBits) {
  if (!contactblockswide::available()) {
    GTEST_SKIP() << "no AVX2 on this processor";
  }
  std::mt19937_64 random(20261207);
  // Solves that made iterations: the comparison is not of start values only.
  int iterated = 0;
  for (std::uint32_t n : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 13u, 31u, ContactBlocks::kMaxContacts}) {
    for (int turning = 0; turning < 4; ++turning) {
      for (Marks marking : {Marks::kNone, Marks::kSome, Marks::kAll}) {
        for (bool fromZero : {true, false}) {
          SCOPED_TRACE(testing::Message() << n << " contacts, turning " << turning << ", marks "
                                          << static_cast<int>(marking) << ", from zero " << fromZero);
          const RandomSystem s = randomSystem(random, n, turning, marking, fromZero);
          const ContactBlockProducts products(s.blocks, s.marks.data());
          LsqrProblem wide = problemFor(s);
          LsqrProblem baseline = problemFor(s);
          products.solveBaseline(baseline.input, baseline.output, baseline.work);
          const ContactBlockProducts::Active& active = products.activeContacts();
          ASSERT_TRUE(contactblockswide::solve(active, wide.input, wide.output, wide.work));
          if (baseline.output->iterations > 0) ++iterated;
          expectSameRecords(wide, baseline, 3 * n);

          // solve() takes the wide solve here, to the same bits.
          LsqrProblem chosen = problemFor(s);
          products.solve(chosen.input, chosen.output, chosen.work);
          expectSameRecords(chosen, baseline, 3 * n);
        }
      }
    }
  }
  EXPECT_GT(iterated, 120);
}

// A layout the slots do not hold is refused with the records untouched, and
// solve() then runs the two-lane solve.
TEST(ContactBlocksWide, WideSolveRefusesRecordsItCannotLayOut) {
  std::mt19937_64 random(7);
  const RandomSystem s = randomSystem(random, 3, 3, Marks::kNone, true);
  const ContactBlockProducts products(s.blocks, s.marks.data());
  LsqrProblem problem = problemFor(s);
  // Eight columns are not whole contacts.
  lsqr_set_input_size(problem.input, 8, 8);
  const std::vector<double> before(problem.input->b->elements, problem.input->b->elements + 9);
  EXPECT_FALSE(contactblockswide::solve(products.activeContacts(), problem.input, problem.output, problem.work));
  for (std::uint32_t k = 0; k < 9; ++k) EXPECT_TRUE(sameBits(problem.input->b->elements[k], before[k])) << k;

  // Records of the right size take the wide solve where it runs.
  LsqrProblem fitting = problemFor(s);
  EXPECT_EQ(contactblockswide::solve(products.activeContacts(), fitting.input, fitting.output, fitting.work),
            contactblockswide::available());
}

// From a zero start the products of the first residual are zeros only for a
// positive linear response and finite arms and inertias: with a negative or
// -0 response the wide solve still gives the two-lane solve's bits, +0
// right-hand sides included, and with an infinite or NaN factor its NaNs
// where the two-lane solve has them.
TEST(ContactBlocksWide, ZeroStartWithFactorsThatDoNotVanishGivesTheBaselineBits) {
  if (!contactblockswide::available()) {
    GTEST_SKIP() << "no AVX2 on this processor";
  }
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double c;
    int turning;
    double arm;      ///< an element of the first turning body's first arm
    double inertia;  ///< an element of its inertia
  };
  const Case cases[] = {{-0.5, 0, 0.3, 2.0}, {-0.0, 0, 0.3, 2.0}, {0.0, 0, 0.3, 2.0},
                        {-0.5, 3, 0.3, 2.0}, {0.7, 1, inf, 2.0},  {0.7, 2, 0.3, std::nan("")},
                        {0.7, 3, -inf, 2.0}, {inf, 1, 0.3, 2.0},  {0.7, 1, 0.3, -inf}};
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "c " << k.c << ", turning " << k.turning << ", arm " << k.arm << ", inertia "
                                    << k.inertia);
    RandomSystem s;
    s.n = 4;
    std::vector<MgcVector3> arms[2];
    MgcMatrix3 inertias[2];
    for (int b = 0; b < 2; ++b) {
      for (std::uint32_t i = 0; i < s.n; ++i) arms[b].emplace_back(unit(random), unit(random), unit(random));
      for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) inertias[b][r][c] = 0.3 * unit(random) + (r == c ? 2.0 : 0.0);
      }
    }
    const int first = (k.turning & 1) != 0 ? 0 : 1;
    arms[first][0].y = k.arm;
    inertias[first][1][2] = k.inertia;
    const MgcMatrix3* turns[2] = {(k.turning & 1) != 0 ? &inertias[0] : nullptr,
                                  (k.turning & 2) != 0 ? &inertias[1] : nullptr};
    s.blocks.reset(s.n, k.c, turns[0], arms[0].data(), turns[1], arms[1].data());
    s.marks.assign(s.n, 0);
    for (std::uint32_t e = 0; e < 3 * s.n; ++e) {
      // +0 right-hand sides, which a residual of -0 would turn.
      s.rhs.push_back(e % 3 == 1 ? 0.0 : unit(random));
      s.start.push_back(0.0);
      s.leftovers.push_back(unit(random));
    }
    const ContactBlockProducts products(s.blocks, s.marks.data());
    LsqrProblem wide = problemFor(s);
    LsqrProblem baseline = problemFor(s);
    products.solveBaseline(baseline.input, baseline.output, baseline.work);
    ASSERT_TRUE(contactblockswide::solve(products.activeContacts(), wide.input, wide.output, wide.work));
    const bool finite = std::isfinite(k.c) && std::isfinite(k.arm) && std::isfinite(k.inertia);
    expectSameRecords(wide, baseline, 3 * s.n, !finite);
  }
}
