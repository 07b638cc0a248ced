#include "math/TrianglePredicates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/RandomGeometry.h"

using Mgc::MgcVector3;

// The textbook answer: an edge shorter than sqrt(1e-5), or a squared height
// over the longest edge, (2 area / |longest edge|)^2, below the limit, on
// triangles of sizes from 1e-3 to 10, the apex over the edge or beyond its ends.
TEST(TrianglePredicates, AgreesWithHeightFromAreaOnRandomTriangles) {
  zovtest::Random random(11);
  constexpr double kTolerance = 1e-5;
  for (int trial = 0; trial < 20000; ++trial) {
    const double size = std::pow(10.0, random.uniform(-3, 1));
    const MgcVector3 a = random.vector() * size, b = random.vector() * size;
    // The third corner near the line a-b, often very near.
    const MgcVector3 c =
        a + (b - a) * random.uniform(-2, 2) + random.vector() * (size * std::pow(10.0, random.uniform(-6, 1)));
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
