#include "math/PlanarConvexHull.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <utility>
#include <vector>

#include "support/RandomGeometry.h"

namespace {

using Mgc::MgcVector2;
using Mgc::MgcVector3;

int randomInt(zovtest::Random& random, int lo, int hi) { return lo + static_cast<int>(random.index(hi - lo + 1)); }

// Turn of a -> b -> c seen from the side into which `normal` points:
// positive counter-clockwise.
double turn(const MgcVector3& a, const MgcVector3& b, const MgcVector3& c, const MgcVector3& normal) {
  return (b - a).Cross(c - b).Dot(normal);
}

// The extreme points by brute force: a and b are ends of a hull edge when no
// point lies strictly to the right of a -> b and no point on its line lies
// outside [a, b]. Points are given on an integer grid, so the test is exact.
std::set<std::pair<double, double>> bruteForceCorners(const std::vector<MgcVector3>& points, const MgcVector3& normal) {
  std::set<std::pair<double, double>> corners;
  for (const MgcVector3& a : points) {
    for (const MgcVector3& b : points) {
      if (a == b) continue;
      bool edge = true;
      for (const MgcVector3& k : points) {
        const double side = (b - a).Cross(k - a).Dot(normal);
        if (side < 0.0) edge = false;
        if (side == 0.0) {
          const double along = (k - a).Dot(b - a);
          if (along < 0.0 || along > (b - a).SquaredLength()) edge = false;
        }
        if (!edge) break;
      }
      if (edge) {
        corners.insert({a.x, a.y});
        corners.insert({b.x, b.y});
      }
    }
  }
  return corners;
}

void expectValidHull(const std::vector<MgcVector3>& points, const MgcVector3& normal,
                     const std::vector<std::uint32_t>& hull, double tolerance) {
  const std::size_t k = hull.size();
  for (std::uint32_t index : hull) {
    ASSERT_LT(index, points.size());
    for (std::uint32_t j = 0; j < index; ++j) {
      EXPECT_GT((points[j] - points[index]).SquaredLength(), 1e-5) << "not the first occurrence";
    }
  }
  if (k < 3) return;
  for (std::size_t i = 0; i < k; ++i) {
    const MgcVector3& a = points[hull[i]];
    const MgcVector3& b = points[hull[(i + 1) % k]];
    const MgcVector3& c = points[hull[(i + 2) % k]];
    // Clockwise seen from the normal's side, with a strict turn at every corner.
    EXPECT_LT(turn(a, b, c, normal), -tolerance) << "corner " << (i + 1) % k;
    // Every input point lies inside or on the edge a -> b.
    for (const MgcVector3& p : points) {
      EXPECT_LE((b - a).Cross(p - a).Dot(normal), tolerance * (b - a).Length());
    }
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

// Points in randomly tilted planes: the hull holds every point, runs
// clockwise about the normal and is convex, within rounding.
TEST(PlanarConvexHull, RandomTiltedPlanesGiveConvexClockwiseHulls) {
  zovtest::Random random(77);
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    MgcVector3 normal = random.unitVector();
    MgcVector3 u, v;
    MgcVector3::GenerateOrthonormalBasis(u, v, normal, true);
    const MgcVector3 origin(random.uniform(-5, 5), random.uniform(-5, 5), random.uniform(-5, 5));
    std::vector<MgcVector3> points;
    const int n = randomInt(random, 3, 40);
    for (int i = 0; i < n; ++i) {
      points.push_back(origin + u * random.uniform(-3, 3) + v * random.uniform(-3, 3));
      if (i % 7 == 3) points.push_back(points[points.size() / 2]);  // duplicates
    }
    std::vector<std::uint32_t> hull;
    const std::int32_t count = planarConvexHull(points.data(), static_cast<std::uint32_t>(points.size()), normal, hull);
    ASSERT_GE(count, 3);
    expectValidHull(points, normal, hull, 1e-9);
  }
}

TEST(PlanarConvexHull, EdgeCases) {
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
      {"square shuffled", {{1, 1, 0}, {0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {0, 3, 1, 2}},
      {"repeated corner", {{0, 0, 0}, {1, 0, 0}, {0, 0, 0}, {1, 1, 0}, {0, 1, 0}, {1, 1, 0}}, {4, 3, 1, 0}},
      {"points on edges and inside",
       {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}, {1, 0, 0}, {2, 1, 0}, {1, 1, 0}, {0, 1, 0}},
       {3, 2, 1, 0}},
      {"collinear", {{0, 0, 0}, {1, 1, 0}, {3, 3, 0}, {2, 2, 0}}, {0, 2}},
      {"two points", {{0, 0, 0}, {0, 4, 0}}, {0, 1}},
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
}

TEST(PlanarConvexHull, ChainOnSortedPoints) {
  // Sorted by x, then y: the lower chain left to right, the upper one back,
  // closed by the first point.
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
