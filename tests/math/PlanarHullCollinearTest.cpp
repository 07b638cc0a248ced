#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "math/PlanarConvexHull.h"
#include "support/MathTestUtil.h"

using Mgc::MgcVector3;
using zovtest::Random;

// Outlines with many points along their straight sides, in planes that are not
// coordinate planes and away from the origin, so that the projected points
// carry rounding: only the outline's true corners are corners of the hull.
TEST(PlanarHullCollinear, InnerPointsOfStraightRunsAreNotCorners) {
  Random random(61);
  for (int trial = 0; trial < 200; ++trial) {
    const MgcVector3 normal = random.unitVector();
    MgcVector3 e1 = normal.UnitCross(random.unitVector());
    const MgcVector3 e2 = normal.Cross(e1);
    const MgcVector3 centre = random.vector(-100.0, 100.0);
    const double size = random.uniform(0.05, 20.0);
    // A quadrilateral or a triangle, its corners first.
    const int sides = trial % 2 == 0 ? 4 : 3;
    std::vector<MgcVector3> points;
    for (int k = 0; k < sides; ++k) {
      const double angle = k * 2.0 * zovtest::kPi / sides + random.uniform(-0.2, 0.2);
      points.push_back(centre + (e1 * std::cos(angle) + e2 * std::sin(angle)) * size);
    }
    for (int k = 0; k < sides; ++k) {
      const MgcVector3 a = points[k];
      const MgcVector3 b = points[(k + 1) % sides];
      for (int j = 1; j < 12; ++j) points.push_back(a + (b - a) * (j / 12.0));
    }
    for (int j = 0; j < 20; ++j) {  // inside: convex combinations of the corners
      const double s = random.uniform(0.0, 0.5), t = random.uniform(0.0, 0.5);
      points.push_back(points[0] * (1.0 - s - t) + points[1] * s + points[2] * t);
    }

    std::vector<std::uint32_t> hull;
    const std::int32_t count = planarConvexHull(points.data(), static_cast<std::uint32_t>(points.size()), normal, hull);
    SCOPED_TRACE(testing::Message() << "trial " << trial << " normal " << normal.x << " " << normal.y << " "
                                    << normal.z);
    ASSERT_EQ(count, sides);
    std::set<std::uint32_t> corners(hull.begin(), hull.end());
    for (std::uint32_t k = 0; k < static_cast<std::uint32_t>(sides); ++k) EXPECT_EQ(corners.count(k), 1u);
  }
}
