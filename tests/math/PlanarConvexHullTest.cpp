#include "math/PlanarConvexHull.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <utility>
#include <vector>

#include "support/MathTestUtil.h"

namespace {

using Mgc::MgcVector2;
using Mgc::MgcVector3;

int randomInt(zovtest::Random& random, int lo, int hi) { return lo + static_cast<int>(random.index(hi - lo + 1)); }

// The extreme points by brute force: a and b are ends of a hull edge when no
// point lies strictly to the right of a -> b and no point on its line lies
// outside [a, b]. Points are given on an integer grid, so the test is exact.
std::set<std::pair<double, double>> bruteForceCorners(const std::vector<MgcVector3>& points, const MgcVector3& normal) {
  std::set<std::pair<double, double>> corners;
  for (const MgcVector3& a : points) {
    for (const MgcVector3& b : points) {
      bool edge = !(a == b);
      for (const MgcVector3& k : points) {
        const double side = (b - a).Cross(k - a).Dot(normal), along = (k - a).Dot(b - a);
        if (side < 0.0 || (side == 0.0 && (along < 0.0 || along > (b - a).SquaredLength()))) edge = false;
      }
      if (edge) corners.insert({a.x, a.y});
    }
  }
  return corners;
}

// Each corner the first occurrence of its point; clockwise seen from the
// normal's side with a strict turn at every corner; every point inside or on
// every edge.
void expectValidHull(const std::vector<MgcVector3>& points, const MgcVector3& normal,
                     const std::vector<std::uint32_t>& hull, double tolerance) {
  const std::size_t k = hull.size();
  for (std::uint32_t index : hull) {
    ASSERT_LT(index, points.size());
    for (std::uint32_t j = 0; j < index; ++j) EXPECT_GT((points[j] - points[index]).SquaredLength(), 1e-5);
  }
  for (std::size_t i = 0; i < k && k >= 3; ++i) {
    const MgcVector3& a = points[hull[i]];
    const MgcVector3& b = points[hull[(i + 1) % k]];
    const MgcVector3& c = points[hull[(i + 2) % k]];
    EXPECT_LT((b - a).Cross(c - b).Dot(normal), -tolerance) << "corner " << (i + 1) % k;
    for (const MgcVector3& p : points) EXPECT_LE((b - a).Cross(p - a).Dot(normal), tolerance * (b - a).Length());
  }
}

}  // namespace

// Random points on a small grid (many duplicates, many collinear) in the
// planes z = 2 and z = -1 seen from either side. The first two points differ
// along x only, so that the hull's frame is axis-aligned and exact.
TEST(PlanarConvexHull, MatchesBruteForceHullOnGrid) {
  zovtest::Random random(31);
  for (int trial = 0; trial < 300; ++trial) {
    SCOPED_TRACE(trial);
    const MgcVector3 normal = trial % 2 == 0 ? MgcVector3(0, 0, 1) : MgcVector3(0, 0, -1);
    const double z = trial % 3 == 0 ? -1.0 : 2.0;
    const int span = 1 + trial % 6;
    std::vector<MgcVector3> points;
    const double y0 = randomInt(random, -span, span);
    points.emplace_back(randomInt(random, -span, span), y0, z);
    points.emplace_back(points[0].x + randomInt(random, 1, 3), y0, z);
    const int n = randomInt(random, 0, 25);
    for (int i = 0; i < n; ++i) points.emplace_back(randomInt(random, -span, span), randomInt(random, -span, span), z);

    std::vector<std::uint32_t> hull;
    const std::int32_t count = planarConvexHull(points.data(), static_cast<std::uint32_t>(points.size()), normal, hull);
    ASSERT_EQ(static_cast<std::size_t>(count), hull.size());
    std::set<std::pair<double, double>> corners;
    for (std::uint32_t index : hull) corners.insert({points[index].x, points[index].y});
    EXPECT_EQ(corners.size(), hull.size()) << "a corner given twice";
    EXPECT_EQ(corners, bruteForceCorners(points, normal));
    expectValidHull(points, normal, hull, 0.0);
  }
}

// Outlines with many points along their straight sides, in planes that are not
// coordinate planes and away from the origin, so that the projected points
// carry rounding: only the outline's true corners are corners of the hull.
TEST(PlanarConvexHull, InnerPointsOfStraightRunsInTiltedPlanesAreNotCorners) {
  zovtest::Random random(61);
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
    SCOPED_TRACE(trial);
    ASSERT_EQ(count, sides);
    std::set<std::uint32_t> corners(hull.begin(), hull.end());
    for (std::uint32_t k = 0; k < static_cast<std::uint32_t>(sides); ++k) EXPECT_EQ(corners.count(k), 1u);
    expectValidHull(points, normal, hull, 1e-9);
  }
}

TEST(PlanarConvexHull, EdgeCasesAndTheChainOnSortedPoints) {
  const MgcVector3 up(0, 0, 1);
  struct Case {
    const char* name;
    std::vector<MgcVector3> points;
    std::vector<std::uint32_t> expected;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      // Clockwise seen from +z, from the first corner of the chain in the
      // hull's own frame.
      {"square", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {3, 2, 1, 0}},
      {"collinear", {{0, 0, 0}, {1, 1, 0}, {3, 3, 0}, {2, 2, 0}}, {0, 2}},
      {"all equal", {{1, 2, 3}, {1, 2, 3}, {1, 2, 3}}, {}},
      {"one point", {{1, 2, 3}}, {}},
      {"none", {}, {}},
      {"within tolerance", {{0, 0, 0}, {0.001, 0, 0}, {0, 0.002, 0}}, {}},
      {"not finite", {{0, 0, 0}, {1, 0, 0}, {nan, 1, 0}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint32_t> hull = {99};
    const std::int32_t count = planarConvexHull(c.points.data(), static_cast<std::uint32_t>(c.points.size()), up, hull);
    EXPECT_EQ(hull, c.expected);
    EXPECT_EQ(static_cast<std::size_t>(count), c.expected.size());
  }
  // The chain itself on points sorted by x, then y: the lower chain left to
  // right, the upper one back, closed by the first point.
  const MgcVector2 square[] = {{0, 0}, {0, 1}, {0.5, 0.5}, {1, 0}, {1, 1}};
  int indices[6];
  ASSERT_EQ(convexHull2DIndices(square, 5, indices), 5);
  EXPECT_EQ(std::vector<int>(indices, indices + 5), (std::vector<int>{0, 3, 4, 1, 0}));
  MgcVector2 corners[6];
  ASSERT_EQ(convexHull2D(square, 5, corners), 5);
  EXPECT_EQ(corners[2], MgcVector2(1, 1));

  const MgcVector2 vertical[] = {{2, -1}, {2, 0}, {2, 3}};
  ASSERT_EQ(convexHull2DIndices(vertical, 3, indices), 3);
  EXPECT_EQ(std::vector<int>(indices, indices + 3), (std::vector<int>{0, 2, 0}));
  EXPECT_EQ(compareVector2XY(MgcVector2(1, 5), MgcVector2(2, 0)), -1);
  EXPECT_EQ(compareVector2XY(MgcVector2(2, 5), MgcVector2(2, 0)), 1);
}
