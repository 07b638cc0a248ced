#include "math/MgcMath.h"
#include "math/MgcVector2.h"
#include "math/MgcVector3.h"
#include "math/Tolerances.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Mgc;

TEST(MgcVector3, DegenerateArithmeticGivesDefinedResults) {
  const double largest = std::numeric_limits<double>::max();
  for (double zero : {0.0, -0.0}) {
    EXPECT_EQ(MgcVector3(1.0, -2.0, 3.0) / zero, MgcVector3(largest, largest, largest));
    MgcVector3 v(4.0, 5.0, 6.0);
    v /= zero;
    EXPECT_EQ(v, MgcVector3(largest, largest, largest));
    EXPECT_EQ(MgcVector2(1.0, 2.0) / zero, MgcVector2(largest, largest));
  }
  // Unitize leaves vectors shorter than the tolerance, and NaN, alone.
  for (const double x : {0.0, 1e-7, std::nan("")}) {
    MgcVector3 v(x, 0.0, 0.0);
    EXPECT_EQ(v.Unitize(zov::kUnitizeTolerance), 0.0);
    EXPECT_TRUE(v.x == x || (std::isnan(x) && std::isnan(v.x))) << x;
  }
  MgcVector3 v(3.0, 4.0, 0.0);
  EXPECT_DOUBLE_EQ(v.Unitize(zov::kUnitizeTolerance), 5.0);
  EXPECT_LT((v - MgcVector3(0.6, 0.8, 0.0)).Length(), 1e-15);
  EXPECT_LT(MgcVector3(1.0, 2.0, 3.0).UnitCross(MgcVector3(2.0, 4.0, 6.0)).Length(), 1e-12);
  EXPECT_EQ(MgcVector3::UNIT_X.UnitCross(MgcVector3(0.0, 5.0, 0.0)), MgcVector3::UNIT_Z);
}

// Equality honours FUZZ and never holds for NaN; the ordering compares the
// low 32 bits of the bit patterns, z first (1.0 and 2.0 have zero low words).
TEST(MgcVector3, ComparisonRules) {
  const MgcVector3 withNaN(std::nan(""), 0.0, 0.0);
  EXPECT_FALSE(withNaN == withNaN);
  EXPECT_TRUE(withNaN != withNaN);
  MgcVector3::FUZZ = 0.01;
  EXPECT_EQ(MgcVector3(1.0, 2.0, 3.0), MgcVector3(1.005, 2.0, 2.995));
  EXPECT_NE(MgcVector3(1.0, 2.0, 3.0), MgcVector3(1.02, 2.0, 3.0));
  MgcVector3::FUZZ = 0.0;

  const MgcVector3 one(1.0, 0.0, 0.0), two(2.0, 0.0, 0.0);
  EXPECT_FALSE(one < two || one > two);
  EXPECT_TRUE(one <= two);
  EXPECT_TRUE(one >= two);
  EXPECT_TRUE(MgcVector3(5.0, 0.0, 0.0) < MgcVector3(0.0, 0.0, 0.1));
  EXPECT_FALSE(MgcVector3(0.0, 0.0, 0.1) < MgcVector3(5.0, 0.0, 0.0));
  EXPECT_TRUE(MgcVector2(0.0, 0.0) < MgcVector2(0.0, 0.1));
}

TEST(MgcVector3, OrthonormalSetsAreRightHanded) {
  MgcVector3 v[3] = {{1.0, 1.0, 0.0}, {1.0, 0.0, 1.0}, {0.0, 1.0, 1.0}};
  MgcVector3::Orthonormalize(v);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(v[i].Dot(v[j]), i == j ? 1.0 : 0.0, 1e-14);

  MgcVector3 U, V, W(1.0, -2.0, 0.5);
  MgcVector3::GenerateOrthonormalBasis(U, V, W, false);
  EXPECT_NEAR(W.Length(), 1.0, 1e-15);
  EXPECT_NEAR(U.Dot(W), 0.0, 1e-15);
  EXPECT_NEAR(U.Length(), 1.0, 1e-15);
  EXPECT_LT((U.Cross(V) - W).Length(), 1e-15);
}

TEST(MgcMath, ApproximationsTrackTheLibraryFunctions) {
  EXPECT_EQ(Math::ACos(1.5), 0.0);  // clamped
  EXPECT_EQ(Math::ACos(-2.0), M_PI);
  EXPECT_EQ(Math::ASin(1.0), M_PI / 2);
  EXPECT_EQ(Math::Sign(std::nan("")), 0.0);
  for (double x : {0.25, 2.0, 1234.5}) EXPECT_NEAR(Math::FastSqrt(x), std::sqrt(x), 0.1 * std::sqrt(x));
  EXPECT_EQ(Math::FastSqrt(4.0), 2.0);  // exact on even powers of two
  for (double x = -0.75; x <= 0.75; x += 0.05) {
    EXPECT_NEAR(Math::FastSin0(x), std::sin(x), 2e-3);
    EXPECT_NEAR(Math::FastSin1(x), std::sin(x), 1e-6);
    EXPECT_NEAR(Math::FastCos0(x), std::cos(x), 2e-3);
    EXPECT_NEAR(Math::FastCos1(x), std::cos(x), 1e-6);
    EXPECT_NEAR(Math::FastTan0(x), std::tan(x), 2e-3);
    EXPECT_NEAR(Math::FastTan1(x), std::tan(x), 1e-5);
    EXPECT_NEAR(Math::FastInvTan0(x), std::atan(x), 1e-4);
    EXPECT_NEAR(Math::FastInvTan1(x), std::atan(x), 1e-6);
    const double unit = std::fabs(x) / 0.75;
    EXPECT_NEAR(Math::FastInvSin(unit), std::asin(unit), 1e-4);
    EXPECT_NEAR(Math::FastInvCos(unit), std::acos(unit), 1e-4);
  }
}

TEST(MgcMath, RandomSeedingRulesAndGaussianMoments) {
  // A positive seed is truncated and reseeds; 0 or below continues.
  const double first = Math::UnitRandom(7.9);
  EXPECT_EQ(Math::UnitRandom(7.0), first);
  const double second = Math::UnitRandom(0.0);
  Math::UnitRandom(7.0);
  EXPECT_EQ(Math::UnitRandom(-1.0), second);
  // After srand(1) rand() is 41.
  EXPECT_DOUBLE_EQ(Math::UnitRandom(1.0), 41.0 / 32767.0);
  EXPECT_DOUBLE_EQ(Math::SymmetricRandom(1.0), 2.0 * 41.0 / 32767.0 - 1.0);
  EXPECT_DOUBLE_EQ(Math::IntervalRandom(2.0, 4.0, 1.0), 2.0 + 2.0 * 41.0 / 32767.0);

  constexpr int kSamples = 200000;
  double sum = 0.0, squares = 0.0;
  for (int i = 0; i < kSamples; ++i) {
    const double g = Math::GaussRandom(2.0, 3.0);
    sum += g;
    squares += (g - 2.0) * (g - 2.0);
  }
  // The mean of two independent N(0, 1) deviates has variance 1/2.
  EXPECT_NEAR(sum / kSamples, 2.0, 0.03);
  EXPECT_NEAR(std::sqrt(squares / kSamples), 3.0 / std::sqrt(2.0), 0.03);
}
