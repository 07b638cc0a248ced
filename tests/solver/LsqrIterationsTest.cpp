#include "engine/solver/LsqrIterations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "engine/solver/Lsqr.h"

namespace {

using lsqriterations::DampingRotation;
using lsqriterations::Estimates;

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

/// Values over the whole range of doubles: zeros of both signs, subnormals,
/// powers of two at the bounds the shortcuts test, their neighbours, the
/// largest, infinities and NaN, and random mantissas at random exponents.
std::vector<double> probeValues(std::uint32_t seed, int randomCount) {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> out = {0.0,
                             -0.0,
                             std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::max(),
                             inf,
                             std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::epsilon(),
                             1.0};
  for (int e : {-1075, -1074, -1000, -951, -900, -500, -400, -100, -52, -51, 51, 52, 400, 500, 1000}) {
    const double p = std::ldexp(1.0, e);
    out.push_back(p);
    out.push_back(std::nextafter(p, 0.0));
    out.push_back(std::nextafter(p, inf));
  }
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int k = 0; k < randomCount; ++k) {
    const double mantissa = 1.0 + unit(random);
    const int exponent = static_cast<int>(unit(random) * 2100.0) - 1050;
    out.push_back(std::ldexp(mantissa, exponent));
  }
  return out;
}

}  // namespace

// Without damping the first rotation is |rhobar| and its sign, taken
// without the square root and the quotients where rhobar^2 is normal, and
// the full rotation elsewhere: the same bits for every rhobar and either
// zero.
TEST(LsqrIterations, ZeroDampingRotationIsTheFullRotation) {
  const std::vector<double> values = probeValues(7, 20000);
  for (double damp : {0.0, -0.0}) {
    for (double magnitude : values) {
      for (double rhobar : {magnitude, -magnitude}) {
        const DampingRotation full = lsqriterations::eliminateDamping(damp, rhobar);
        const DampingRotation quick = lsqriterations::eliminateZeroDamping(damp, rhobar);
        EXPECT_TRUE(sameBits(quick.rhbar1, full.rhbar1) || (std::isnan(quick.rhbar1) && std::isnan(full.rhbar1)))
            << rhobar;
        EXPECT_TRUE(sameBits(quick.cs1, full.cs1) || (std::isnan(quick.cs1) && std::isnan(full.cs1))) << rhobar;
        EXPECT_TRUE(sameBits(quick.sn1, full.sn1) || (std::isnan(quick.sn1) && std::isnan(full.sn1))) << rhobar;
      }
    }
  }
}

// The stopping tests of a solve without tolerances, limit or report give
// the full tests' stop for estimates across the range of doubles, near the
// bounds each shortcut reads, and for every way of setting no tolerance.
TEST(LsqrIterations, StopsWithoutTolerancesAreTheFullTests) {
  struct Settings {
    double atol, btol, conlim;
  };
  const Settings settings[] = {{0.0, 0.0, 0.0}, {-0.0, -0.0, -1.0}, {0.0, -0.0, std::nan("")}};
  const std::vector<double> values = probeValues(11, 60);
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const auto pick = [&] { return values[random() % values.size()]; };
  lsqr_input* input = alloc_lsqr_in(1, 1);
  input->iterationLimit = 10;
  int decided = 0;
  for (const Settings& s : settings) {
    input->atol = s.atol;
    input->btol = s.btol;
    input->conlim = s.conlim;
    ASSERT_TRUE(lsqriterations::withoutTolerances(input));
    for (int k = 0; k < 200000; ++k) {
      Estimates at;
      at.normA = pick();
      at.condA = pick();
      at.normR = pick();
      at.normX = pick();
      // ||x|| left waiting, as the run leaves it.
      if (k % 5 == 0) {
        at.normXWaits = true;
        at.xxnorm = pick();
        at.rhs = pick();
        at.gambar = pick();
      }
      double normB = pick();
      // Estimates that sit at the bounds: the residual a tiny part of
      // ||b||, and ||A^T r|| near eps ||A|| ||r||.
      if (k % 3 == 1) at.normR = normB * std::ldexp(1.0 + unit(random), -1076 + static_cast<int>(unit(random) * 8));
      at.normATr = k % 3 == 2 ? at.normA * at.normR * std::ldexp(1.0 + unit(random), -53) : pick();
      const std::uint32_t iterations = k % 2 == 0 ? 3 : 10;
      Estimates taken = at;
      taken.normX = lsqriterations::normXOf(at);
      taken.normXWaits = false;
      const LsqrStop full = lsqriterations::stopReason(input, iterations, taken, normB);
      const LsqrStop quick = lsqriterations::stopReasonWithoutTolerances(input, iterations, at, normB);
      ASSERT_EQ(quick, full) << "normA " << at.normA << " condA " << at.condA << " normR " << at.normR << " normATr "
                             << at.normATr << " normX " << at.normX << " normB " << normB;
      if (full != kLsqrStartIsSolution && full != kLsqrIterationLimit) ++decided;
    }
  }
  // Every stop but the iteration limit was reached somewhere.
  EXPECT_GT(decided, 1000);
  input->report = stdout;
  EXPECT_FALSE(lsqriterations::withoutTolerances(input));
  input->report = nullptr;
  input->atol = 1e-9;
  EXPECT_FALSE(lsqriterations::withoutTolerances(input));
  free_lsqr_in(input);
}

// Where the sums behind ||A||, cond(A) and ||r|| say that a solve without
// tolerances surely goes on, the full stopping tests on the norms taken from
// them find no stop: sums across the range of doubles, near each bound the
// shortcut reads, and ||A^T r|| near eps ||A|| ||r||.
TEST(LsqrIterations, SumsThatSurelyGoOnFindNoStop) {
  const std::vector<double> values = probeValues(13, 200);
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const auto pick = [&] { return values[random() % values.size()]; };
  // A value a few roundings from 2^e.
  const auto near = [&](int e) { return std::ldexp(1.0 + (unit(random) - 0.5) * 0x1p-40, e); };
  lsqr_input* input = alloc_lsqr_in(1, 1);
  input->iterationLimit = 10;
  ASSERT_TRUE(lsqriterations::withoutTolerances(input));
  int goOn = 0;
  for (int k = 0; k < 400000; ++k) {
    lsqriterations::NormSums sums = {pick(), pick(), pick()};
    if (k % 4 == 1) {
      // At the bounds: each sum near 2^-200, their product near 2^100 and
      // on either side of 2^104, where cond(A) passes 2^52.
      const int e = -200 + static_cast<int>(unit(random) * 4);
      sums.bbnorm = near(e);
      sums.ddnorm = k % 8 == 1 ? near(-200) : near(96 - e + static_cast<int>(unit(random) * 12));
      sums.residual = near(-200 + static_cast<int>(unit(random) * 300));
    } else if (k % 4 == 2) {
      // Moderate sums, whose products stay below the bounds.
      sums.bbnorm = std::ldexp(1.0 + unit(random), static_cast<int>(unit(random) * 200) - 100);
      sums.ddnorm = std::ldexp(1.0 + unit(random), static_cast<int>(unit(random) * 100) - 50);
      sums.residual = std::ldexp(1.0 + unit(random), static_cast<int>(unit(random) * 200) - 100);
    }
    Estimates at;
    lsqriterations::takeNorms(sums, at);
    // ||A^T r|| within a few roundings of 2^-51 ||A|| ||r||, near it, or
    // anywhere.
    const double bound = at.normA * at.normR * 0x1p-51;
    switch (k % 3) {
      case 0:
        at.normATr = pick();
        break;
      case 1:
        at.normATr = bound * (1.0 + (unit(random) - 0.5) * 0x1p-12);
        break;
      default:
        at.normATr = bound * std::exp2((unit(random) - 0.5) * 6);
        break;
    }
    at.normX = pick();
    const double normB =
        k % 5 == 0 ? pick() : std::ldexp(1.0 + unit(random), static_cast<int>(unit(random) * 800) - 400);
    const bool normBInRange = normB >= 0x1p-400 && normB <= 0x1p400;
    if (!lsqriterations::surelyGoesOn(sums, at.normATr, normBInRange)) continue;
    ++goOn;
    ASSERT_EQ(lsqriterations::stopReason(input, 3, at, normB), kLsqrStartIsSolution)
        << "bbnorm " << sums.bbnorm << " ddnorm " << sums.ddnorm << " residual " << sums.residual << " normATr "
        << at.normATr << " normB " << normB;
  }
  // The shortcut decides a good share of these sums.
  EXPECT_GT(goOn, 40000);
  // Nothing is decided for ||b|| out of its range.
  EXPECT_FALSE(lsqriterations::surelyGoesOn({1.0, 1.0, 1.0}, 1.0, false));
  free_lsqr_in(input);
}
