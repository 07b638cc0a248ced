#include "math/MgcMath.h"
#include "math/MgcVector2.h"
#include "math/MgcVector3.h"
#include "math/Tolerances.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using Mgc::Math;
using Mgc::MgcVector2;
using Mgc::MgcVector3;

TEST(MgcVector3, DivisionByZeroFillsWithLargestDouble) {
  const double largest = std::numeric_limits<double>::max();
  for (double zero : {0.0, -0.0}) {
    const MgcVector3 q = MgcVector3(1.0, -2.0, 3.0) / zero;
    EXPECT_EQ(q.x, largest);
    EXPECT_EQ(q.y, largest);
    EXPECT_EQ(q.z, largest);
    MgcVector3 v(4.0, 5.0, 6.0);
    v /= zero;
    EXPECT_EQ(v, MgcVector3(largest, largest, largest));
    const MgcVector2 p = MgcVector2(1.0, 2.0) / zero;
    EXPECT_EQ(p.x, largest);
    EXPECT_EQ(p.y, largest);
  }
}

TEST(MgcVector3, UnitizeLeavesShortVectorsAlone) {
  struct Case {
    MgcVector3 input;
    double length;
    MgcVector3 result;
  };
  const Case cases[] = {
      {{0.0, 0.0, 0.0}, 0.0, {0.0, 0.0, 0.0}},
      {{1e-7, 0.0, 0.0}, 0.0, {1e-7, 0.0, 0.0}},
      {{3.0, 4.0, 0.0}, 5.0, {0.6, 0.8, 0.0}},
      {{std::nan(""), 0.0, 0.0}, 0.0, {std::nan(""), 0.0, 0.0}},
  };
  for (const Case& c : cases) {
    MgcVector3 v = c.input;
    EXPECT_DOUBLE_EQ(v.Unitize(zov::kUnitizeTolerance), c.length);
    for (int i = 0; i < 3; ++i) {
      if (std::isnan(c.result[i])) {
        EXPECT_TRUE(std::isnan(v[i]));
      } else {
        EXPECT_NEAR(v[i], c.result[i], 1e-15);
      }
    }
  }
}

TEST(MgcVector3, UnitCrossOfParallelVectorsIsTheRawCross) {
  const MgcVector3 a(1.0, 2.0, 3.0);
  const MgcVector3 cross = a.UnitCross(a * 2.0);
  EXPECT_LT(cross.Length(), 1e-12);
  const MgcVector3 unit = MgcVector3::UNIT_X.UnitCross(MgcVector3(0.0, 5.0, 0.0));
  EXPECT_EQ(unit, MgcVector3::UNIT_Z);
}

TEST(MgcVector3, NaNComponentsAreNeverEqual) {
  const MgcVector3 a(std::nan(""), 0.0, 0.0);
  EXPECT_FALSE(a == a);
  EXPECT_TRUE(a != a);
}

TEST(MgcVector3, FuzzMakesNearbyVectorsEqual) {
  MgcVector3::FUZZ = 0.01;
  EXPECT_EQ(MgcVector3(1.0, 2.0, 3.0), MgcVector3(1.005, 2.0, 2.995));
  EXPECT_NE(MgcVector3(1.0, 2.0, 3.0), MgcVector3(1.02, 2.0, 3.0));
  MgcVector3::FUZZ = 0.0;
}

// The ordering compares the low 32 bits of the bit patterns: 1.0 and 2.0 both
// have zero low words, so they are equal as keys.
TEST(MgcVector3, OrderingUsesLowWordsOfBitPatterns) {
  const MgcVector3 one(1.0, 0.0, 0.0), two(2.0, 0.0, 0.0);
  EXPECT_FALSE(one < two);
  EXPECT_FALSE(one > two);
  EXPECT_TRUE(one <= two);
  EXPECT_TRUE(one >= two);
  // 0.1 has a non-zero low word; z decides before x.
  const MgcVector3 a(5.0, 0.0, 0.0), b(0.0, 0.0, 0.1);
  EXPECT_TRUE(a < b);
  EXPECT_FALSE(b < a);
  EXPECT_TRUE(MgcVector2(0.0, 0.0) < MgcVector2(0.0, 0.1));
}

TEST(MgcVector3, OrthonormalizeGivesAnOrthonormalSet) {
  MgcVector3 v[3] = {{1.0, 1.0, 0.0}, {1.0, 0.0, 1.0}, {0.0, 1.0, 1.0}};
  MgcVector3::Orthonormalize(v);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(v[i].Dot(v[j]), i == j ? 1.0 : 0.0, 1e-14);
}

TEST(MgcVector3, GenerateOrthonormalBasisIsRightHanded) {
  MgcVector3 U, V, W(0.0, 0.0, 1.0);
  MgcVector3::GenerateOrthonormalBasis(U, V, W, true);
  EXPECT_EQ(U, MgcVector3(-1.0, 0.0, 0.0));
  EXPECT_EQ(V, MgcVector3(0.0, -1.0, 0.0));

  MgcVector3 W2(1.0, -2.0, 0.5);
  MgcVector3::GenerateOrthonormalBasis(U, V, W2, false);
  EXPECT_NEAR(W2.Length(), 1.0, 1e-15);
  EXPECT_NEAR(U.Dot(W2), 0.0, 1e-15);
  EXPECT_NEAR(V.Dot(W2), 0.0, 1e-15);
  EXPECT_NEAR(U.Length(), 1.0, 1e-15);
  EXPECT_NEAR((U.Cross(V) - W2).Length(), 0.0, 1e-15);
}

TEST(MgcMath, ClampedInverseTrigonometry) {
  EXPECT_EQ(Math::ACos(1.5), 0.0);
  EXPECT_EQ(Math::ACos(-2.0), M_PI);
  EXPECT_EQ(Math::ASin(-1.0), -M_PI / 2);
  EXPECT_EQ(Math::ASin(1.0), M_PI / 2);
  EXPECT_DOUBLE_EQ(Math::ACos(0.5), std::acos(0.5));
  EXPECT_EQ(Math::Sign(std::nan("")), 0.0);
  EXPECT_EQ(Math::Sign(-3), -1);
}

TEST(MgcMath, FastSqrtIsWithinTenPercent) {
  for (double x : {0.25, 1.0, 2.0, 10.0, 1234.5}) EXPECT_NEAR(Math::FastSqrt(x), std::sqrt(x), 0.1 * std::sqrt(x));
  EXPECT_EQ(Math::FastSqrt(4.0), 2.0);  // exact on even powers of two
}

TEST(MgcMath, FastApproximationsTrackTheLibraryFunctions) {
  for (double x = -0.75; x <= 0.75; x += 0.05) {
    EXPECT_NEAR(Math::FastSin0(x), std::sin(x), 2e-3);
    EXPECT_NEAR(Math::FastSin1(x), std::sin(x), 1e-6);
    EXPECT_NEAR(Math::FastCos0(x), std::cos(x), 2e-3);
    EXPECT_NEAR(Math::FastCos1(x), std::cos(x), 1e-6);
    EXPECT_NEAR(Math::FastTan0(x), std::tan(x), 2e-3);
    EXPECT_NEAR(Math::FastTan1(x), std::tan(x), 1e-5);
    EXPECT_NEAR(Math::FastInvTan0(x), std::atan(x), 1e-4);
    EXPECT_NEAR(Math::FastInvTan1(x), std::atan(x), 1e-6);
  }
  for (double x = 0.0; x <= 1.0; x += 0.05) {
    EXPECT_NEAR(Math::FastInvSin(x), std::asin(x), 1e-4);
    EXPECT_NEAR(Math::FastInvCos(x), std::acos(x), 1e-4);
  }
}

TEST(MgcMath, RandomSeedingRules) {
  // A positive seed is truncated and reseeds; 7.9 seeds as 7.
  const double first = Math::UnitRandom(7.9);
  EXPECT_EQ(Math::UnitRandom(7.0), first);
  // Seed 0 continues the sequence rather than restarting it.
  Math::UnitRandom(7.0);
  const double second = Math::UnitRandom(0.0);
  Math::UnitRandom(7.0);
  EXPECT_EQ(Math::UnitRandom(-1.0), second);
  // After srand(1) rand() is 41.
  EXPECT_DOUBLE_EQ(Math::UnitRandom(1.0), 41.0 / 32767.0);
  EXPECT_DOUBLE_EQ(Math::SymmetricRandom(1.0), 2.0 * 41.0 / 32767.0 - 1.0);
  EXPECT_DOUBLE_EQ(Math::IntervalRandom(2.0, 4.0, 1.0), 2.0 + 2.0 * 41.0 / 32767.0);
}

TEST(MgcMath, RandomRangesAndGaussianMoments) {
  Math::UnitRandom(3.0);
  double sum = 0.0, squares = 0.0;
  constexpr int kSamples = 200000;
  for (int i = 0; i < kSamples; ++i) {
    const double u = Math::UnitRandom();
    ASSERT_GE(u, 0.0);
    ASSERT_LE(u, 1.0);
    const double g = Math::GaussRandom(2.0, 3.0);
    sum += g;
    squares += (g - 2.0) * (g - 2.0);
  }
  // The mean of two independent N(0, 1) deviates has variance 1/2, so the
  // spread of the result is stddev / sqrt(2).
  EXPECT_NEAR(sum / kSamples, 2.0, 0.03);
  EXPECT_NEAR(std::sqrt(squares / kSamples), 3.0 / std::sqrt(2.0), 0.03);
}
