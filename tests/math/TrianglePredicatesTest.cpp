#include "math/TrianglePredicates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/RandomGeometry.h"

using Mgc::MgcVector3;

TEST(TrianglePredicates, DegenerateCasesFollowEdgeAndHeightLimits) {
  struct Case {
    MgcVector3 a, b, c;
    bool relative, degenerate;
  };
  const Case cases[] = {
      {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, false, false},       // well shaped
      {{0, 0, 0}, {0.003, 0, 0}, {0, 5, 0}, false, true},    // a short edge, however tall
      {{0, 0, 0}, {0.003, 0, 0}, {0, 5, 0}, true, true},     //
      {{0, 0, 0}, {1, 1, 1}, {3, 3, 3}, false, true},        // corners on a line
      {{0, 0, 0}, {5, 0.01, 0}, {10, 0, 0}, false, false},   // height 0.01 over 10
      {{0, 0, 0}, {5, 0.01, 0}, {10, 0, 0}, true, true},     //
      {{0, 0, 0}, {10, 0, 0}, {12, 0.001, 0}, true, true},   // apex past the longest edge
      {{0, 0, 0}, {0.01, 0, 0}, {0, 0.01, 0}, true, false},  // small but well shaped
  };
  for (const Case& test : cases) {
    EXPECT_EQ(isTriangleDegenerate(test.a, test.b, test.c, test.relative, 1e-5), test.degenerate) << test.b.x;
    EXPECT_EQ(isTriangleDegenerate(test.c, test.a, test.b, test.relative, 1e-5), test.degenerate) << test.b.x;
  }
}

// The textbook answer: an edge shorter than sqrt(1e-5), or a squared height
// over the longest edge, (2 area / |longest edge|)^2, below the limit.
TEST(TrianglePredicates, AgreesWithHeightFromAreaOnRandomTriangles) {
  zovtest::Random random(11);
  constexpr double kTolerance = 1e-5;
  for (int trial = 0; trial < 20000; ++trial) {
    const MgcVector3 a = random.vector(), b = random.vector();
    // The third corner near the line a-b, often very near.
    const MgcVector3 c = a + (b - a) * random.uniform(-2, 2) + random.vector() * std::pow(10.0, random.uniform(-6, 1));
    const double ab = (b - a).SquaredLength(), bc = (c - b).SquaredLength(), ca = (a - c).SquaredLength();
    const double longest = std::max({ab, bc, ca}), doubleArea = (b - a).Cross(c - a).Length();
    for (bool relative : {false, true}) {
      const double heightOverLimit = doubleArea * doubleArea / longest / (relative ? kTolerance * longest : kTolerance);
      if (std::abs(heightOverLimit - 1.0) < 1e-9) continue;  // within rounding of the limit
      const bool expected = std::min({ab, bc, ca}) < kTolerance || heightOverLimit < 1.0;
      EXPECT_EQ(isTriangleDegenerate(a, b, c, relative, kTolerance), expected) << "trial " << trial;
    }
  }
}
