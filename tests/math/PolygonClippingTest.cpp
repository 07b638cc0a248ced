#include "math/PolygonClipping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "support/BruteForceGeometry.h"
#include "support/RandomGeometry.h"

namespace {

using Mgc::MgcVector3;
using zovtest::Random;

// A convex polygon in the plane z = 0, counter-clockwise.
std::vector<MgcVector3> randomConvexPolygon(Random& random, std::uint32_t n) {
  return zovtest::ellipsePolygon(random, n, Mgc::MgcMatrix3::IDENTITY,
                                 {random.uniform(-1, 1), random.uniform(-1, 1), 0}, random.uniform(0.5, 3.0),
                                 random.uniform(0.5, 3.0));
}

MgcVector3 randomPlanePoint(Random& random, double range) {
  return {random.uniform(-range, range), random.uniform(-range, range), 0.0};
}

double cross2(const MgcVector3& a, const MgcVector3& b) { return a.x * b.y - a.y * b.x; }

// Signed distance of q from the boundary of a counter-clockwise convex
// polygon, positive inside.
double insideMargin(const std::vector<MgcVector3>& polygon, const MgcVector3& q) {
  double margin = 1e300;
  for (std::size_t i = 0; i < polygon.size(); ++i) {
    const MgcVector3 edge = polygon[(i + 1) % polygon.size()] - polygon[i];
    margin = std::min(margin, cross2(edge, q - polygon[i]) / edge.Length());
  }
  return margin;
}

}  // namespace

// The part kept is where sampling says it is: inside the polygon and in front
// of the plane.
TEST(PolygonClipping, SplitPolygonByPlaneKeepsThePartInFront) {
  Random random(5);
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    const std::vector<MgcVector3> polygon = randomConvexPolygon(random, 3 + trial % 20);
    const double angle = random.uniform(0.0, 2.0 * M_PI), c = random.uniform(-2.0, 2.0);
    const MgcVector3 normal(std::cos(angle), std::sin(angle), 0.0);
    std::vector<MgcVector3> front = polygon;
    auto count = static_cast<std::uint32_t>(front.size());
    front.emplace_back();
    ASSERT_TRUE(splitPolygonByPlane(normal, c, count, front.data()));
    front.resize(count);
    for (const MgcVector3& p : front) {
      EXPECT_GE(normal.Dot(p) - c, -1e-12);
      EXPECT_GE(insideMargin(polygon, p), -1e-12);
    }
    for (int sample = 0; sample < 50 && front.size() >= 3; ++sample) {
      const MgcVector3 q = randomPlanePoint(random, 4.0);
      const double expected = std::min(insideMargin(polygon, q), normal.Dot(q) - c);
      EXPECT_TRUE(std::fabs(expected) < 1e-9 || (insideMargin(front, q) > 0.0) == (expected > 0.0));
    }
  }
  // Corners in the plane count as behind it: a cut through two corners of the
  // unit square keeps a triangle, a plane holding all of it keeps nothing.
  std::vector<MgcVector3> square = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {}};
  std::uint32_t count = 4;
  EXPECT_TRUE(splitPolygonByPlane(MgcVector3(1, -1, 0), 0.0, count, square.data()));
  EXPECT_EQ(std::vector<MgcVector3>(square.begin(), square.begin() + count),
            (std::vector<MgcVector3>{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}));
  EXPECT_TRUE(splitPolygonByPlane(MgcVector3(0, 0, 1), 0.0, count, square.data()));
  EXPECT_EQ(count, 0u);
  // Not convex (the part in front comes in two runs), or more vertices than
  // it takes: refused, the polygon unchanged. The largest it takes may gain
  // its one vertex.
  std::vector<MgcVector3> zigzag = {{0, 0, 0}, {1, 2, 0}, {2, 0, 0}, {3, 2, 0}, {}};
  const std::vector<MgcVector3> before = zigzag;
  count = 4;
  EXPECT_FALSE(splitPolygonByPlane(MgcVector3(0, 1, 0), 1.0, count, zigzag.data()));
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(zigzag, before);
  std::vector<MgcVector3> largest = randomConvexPolygon(random, kMaxClipVertices + 1);
  count = kMaxClipVertices + 1;
  EXPECT_FALSE(splitPolygonByPlane(MgcVector3(1, 0.3, 0), 0.2, count, largest.data()));
  EXPECT_EQ(count, kMaxClipVertices + 1);
  count = kMaxClipVertices;
  EXPECT_TRUE(splitPolygonByPlane(MgcVector3(1, 0.3, 0), 0.2, count, largest.data()));
}

// Segments crossing at an angle meet at the point both parameters name;
// collinear pairs and points meet along the first by its parameters. (The
// chords below cross polygon edges at random.)
TEST(PolygonClipping, SegmentIntersectionsOfCollinearPairsAndPoints) {
  int count = 0;
  double crossing[2];
  EXPECT_TRUE(intersectSegments2D({0, 0, 0}, {4, 0, 0}, {1, -1, 0}, {1, 3, 0}, count, crossing));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(std::vector<double>(crossing, crossing + 2), (std::vector<double>{0.25, 0.25}));
  // Collinear pairs along x, the second raised by dy, and points: the count
  // and the parameters along the first.
  const double cases[][8] = {// p0, p1, q0, q1, dy, count, s0, s1
                             {0, 4, 3, -1, 0, 2, 0.0, 0.75}, {0, 2, 2, 5, 0, 1, 1, 0}, {0, 2, -3, 0, 0, 1, 0, 0},
                             {0, 2, 3, 5, 0, 0, 0, 0},       {0, 2, 0, 2, 1, 0, 0, 0}, {1, 1, 0, 2, 0, 1, 0, 0},
                             {1, 1, 0, 2, 1, 0, 0, 0}};
  for (const auto& c : cases) {
    count = -1;
    double s[2] = {-9.0, -9.0};
    EXPECT_EQ(intersectSegments2D({c[0], 0, 0}, {c[1], 0, 0}, {c[2], c[4], 0}, {c[3], c[4], 0}, count, s), c[5] != 0);
    ASSERT_EQ(count, c[5]) << c[0] << " " << c[2] << " " << c[4];
    EXPECT_DOUBLE_EQ(count > 0 ? s[0] : c[6], c[6]);
    EXPECT_DOUBLE_EQ(count > 1 ? s[1] : c[7], c[7]);
  }
}

// Random points against random polygons of either winding; random chords cross
// the boundary once per end outside, at points on both boundary and chord.
TEST(PolygonClipping, PointsAndChordsAgainstConvexPolygons) {
  Random random(12);
  const MgcVector3 up(0, 0, 1);
  MgcVector3 points[3];
  std::uint32_t found = 0;
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<MgcVector3> polygon = randomConvexPolygon(random, 3 + trial % 12);
    const auto n = static_cast<std::uint32_t>(polygon.size());
    const MgcVector3 a = randomPlanePoint(random, 4.0), b = randomPlanePoint(random, 4.0);
    const double ma = insideMargin(polygon, a), mb = insideMargin(polygon, b);
    const std::uint32_t outside = (ma < 0) + (mb < 0);
    polygonSegmentIntersections(polygon.data(), n, a, b, found, points);
    // A chord with both ends outside may pass beside the polygon.
    if (std::min(std::fabs(ma), std::fabs(mb)) > 1e-6 && (outside < 2 || found > 0)) {
      EXPECT_EQ(found, outside);
    }
    for (std::uint32_t k = 0; k < found; ++k) {
      EXPECT_LT(zovtest::bfPointSegmentSq(points[k], a, b), 1e-18);
      EXPECT_LT(std::fabs(insideMargin(polygon, points[k])), 1e-9);
    }
    // The point test orients each edge by the next corner.
    const double winding = trial % 2 == 1 ? -1.0 : 1.0;
    if (winding < 0.0) std::reverse(polygon.begin(), polygon.end());
    for (const MgcVector3& q : {a, b}) {
      std::uint32_t firstOutside = n;
      double closest = 1e300;
      for (std::uint32_t i = 0; i < n; ++i) {
        const MgcVector3 edge = polygon[(i + 1) % n] - polygon[i], toQ = q - polygon[(i + 1) % n];
        const double side = winding * cross2(edge, toQ) / (edge.Length() * toQ.Length());
        closest = std::min(closest, std::fabs(side));
        if (side < 0.0 && firstOutside == n) firstOutside = i;
      }
      std::uint32_t failing = 999;
      if (closest < 1e-4) continue;
      EXPECT_EQ(pointInConvexPolygon(q, polygon.data(), n, up, failing), firstOutside == n);
      EXPECT_EQ(failing, firstOutside == n ? 999u : firstOutside);
    }
  }
  // A chord through a corner crosses there once; a segment has no inside.
  const MgcVector3 square[4] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
  EXPECT_TRUE(polygonSegmentIntersections(square, 4, MgcVector3(-1, -1, 0), MgcVector3(1, 1, 0), found, points));
  ASSERT_EQ(found, 1u);
  EXPECT_EQ(points[0], MgcVector3(0, 0, 0));
  std::uint32_t failing = 9;
  EXPECT_FALSE(pointInConvexPolygon(MgcVector3(0.5, 0, 0), square, 2, up, failing));
  EXPECT_EQ(failing, 0u);
}

TEST(PolygonClipping, SphereContactPointSegmentDistanceAndOrder) {
  // Overlapping spheres, and concentric ones (no direction between them).
  MgcVector3 point, normal;
  double depth = 0.0;
  sphereSphereContact({0, 0, 0}, 1.0, {0, 3, 0}, 2.5, point, normal, depth);
  EXPECT_EQ(point, MgcVector3(0, 1, 0));
  EXPECT_EQ(normal, MgcVector3(0, 1, 0));
  EXPECT_DOUBLE_EQ(depth, -0.5);
  sphereSphereContact({2, 0, 0}, 0.5, {2, 0, 0}, 0.8, point, normal, depth);
  EXPECT_EQ(point, MgcVector3(2.5, 0, 0));
  EXPECT_EQ(normal, MgcVector3(1, 0, 0));
  EXPECT_DOUBLE_EQ(depth, -0.8);
  // The distance to a segment is the minimum along it.
  Random random(6);
  for (int trial = 0; trial < 200; ++trial) {
    const MgcVector3 a = random.vector(), b = random.vector(), p = random.vector(-2, 2);
    double t = -1.0;
    const double distance = distanceSq_pt2seg(p, a, b, t);
    ASSERT_TRUE(t >= 0.0 && t <= 1.0) << t;
    EXPECT_NEAR(distance, (p - (a + (b - a) * t)).SquaredLength(), 1e-14);
    EXPECT_NEAR(distance,
                zovtest::minimiseConvex([&](double s) { return (p - (a + (b - a) * s)).SquaredLength(); }, 0, 1),
                1e-12);
  }
  double t = 5.0;  // a segment shorter than the tolerance is its first end
  EXPECT_DOUBLE_EQ(distanceSq_pt2seg(MgcVector3(3, 4, 0), MgcVector3(0, 0, 0), MgcVector3(1e-3, 0, 0), t), 25.0);
  EXPECT_EQ(t, 0.0);

  std::uint32_t values[] = {7u, 0xFFFFFFFFu, 0u, 0x80000000u, 7u, 1u};
  std::qsort(values, 6, sizeof values[0], compareU32);
  EXPECT_EQ(std::vector<std::uint32_t>(values, values + 6),
            (std::vector<std::uint32_t>{0u, 1u, 7u, 7u, 0x80000000u, 0xFFFFFFFFu}));
}
