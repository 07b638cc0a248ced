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

double area(const std::vector<MgcVector3>& polygon) {
  double sum = 0.0;
  for (std::size_t i = 0; i < polygon.size(); ++i) sum += cross2(polygon[i], polygon[(i + 1) % polygon.size()]);
  return polygon.size() < 3 ? 0.0 : 0.5 * sum;
}

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

std::vector<MgcVector3> clip(std::vector<MgcVector3> polygon, const MgcVector3& normal, double c) {
  auto count = static_cast<std::uint32_t>(polygon.size());
  polygon.resize(polygon.size() + 1);
  EXPECT_TRUE(splitPolygonByPlane(normal, c, count, polygon.data()));
  polygon.resize(count);
  return polygon;
}

}  // namespace

TEST(PolygonClipping, SplitPolygonByPlaneCases) {
  const std::vector<MgcVector3> square = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  struct Case {
    MgcVector3 normal;
    double constant;
    std::vector<MgcVector3> expected;
  };
  const Case cases[] = {
      {{1, -1, 0}, 0.0, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}},  // through corners 0 and 2
      {{1, 0, 0}, 5.0, {}},                                  // all behind
      {{0, 0, 1}, 0.0, {}},                                  // in the plane
      {{1, 0, 0}, 0.0, square},                              // nothing behind
      {{0, 1, 0}, 0.5, {{1, 0.5, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0.5, 0}}},
      {{-1, -1, 0}, -0.5, {{0, 0, 0}, {0.5, 0, 0}, {0, 0.5, 0}}},
  };
  for (const Case& c : cases) {
    const std::vector<MgcVector3> clipped = clip(square, c.normal, c.constant);
    ASSERT_EQ(clipped.size(), c.expected.size()) << c.normal.x << " " << c.normal.y << " " << c.constant;
    for (std::size_t i = 0; i < clipped.size(); ++i) EXPECT_LT((clipped[i] - c.expected[i]).Length(), 1e-15) << i;
  }

  // Not convex: the two runs in front of the plane need more than one extra
  // vertex. Refused, the polygon unchanged; so are too many vertices.
  std::vector<MgcVector3> zigzag = {{0, 0, 0}, {1, 2, 0}, {2, 0, 0}, {3, 2, 0}, {}};
  const std::vector<MgcVector3> before = zigzag;
  std::uint32_t count = 4;
  EXPECT_FALSE(splitPolygonByPlane(MgcVector3(0, 1, 0), 1.0, count, zigzag.data()));
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(zigzag, before);
  std::vector<MgcVector3> tooMany(kMaxClipVertices + 2, MgcVector3(1, 0, 0));
  count = kMaxClipVertices + 1;
  EXPECT_FALSE(splitPolygonByPlane(MgcVector3(1, 0, 0), 0.5, count, tooMany.data()));
  EXPECT_EQ(count, kMaxClipVertices + 1);
  // The largest polygon it takes may gain its one vertex.
  Random random(3);
  std::vector<MgcVector3> largest = randomConvexPolygon(random, kMaxClipVertices);
  largest.emplace_back();
  count = kMaxClipVertices;
  EXPECT_TRUE(splitPolygonByPlane(MgcVector3(1, 0.3, 0), 0.2, count, largest.data()));
}

// Clipping by a plane and by its opposite splits the area exactly, and each
// part is where sampling says it is.
TEST(PolygonClipping, RandomClipsSplitAreaAndMatchSampling) {
  Random random(5);
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    const std::vector<MgcVector3> polygon = randomConvexPolygon(random, 3 + trial % 20);
    const double angle = random.uniform(0.0, 2.0 * M_PI), c = random.uniform(-2.0, 2.0);
    const MgcVector3 normal(std::cos(angle), std::sin(angle), 0.0);
    const std::vector<MgcVector3> front = clip(polygon, normal, c);
    EXPECT_LE(front.size(), polygon.size() + 1);
    EXPECT_NEAR(area(front) + area(clip(polygon, -normal, -c)), area(polygon), 1e-12);
    for (const MgcVector3& p : front) {
      EXPECT_GE(normal.Dot(p) - c, -1e-12);
      EXPECT_GE(insideMargin(polygon, p), -1e-12);
    }
    for (int sample = 0; sample < 50 && front.size() >= 3; ++sample) {
      const MgcVector3 q = randomPlanePoint(random, 4.0);
      const double expected = std::min(insideMargin(polygon, q), normal.Dot(q) - c);
      if (std::fabs(expected) > 1e-9) {
        EXPECT_EQ(insideMargin(front, q) > 0.0, expected > 0.0);
      }
    }
  }
}

// Random segments meet exactly when the ends of each lie on opposite sides of
// the other, at the point both parameters name; touching and collinear pairs
// by table.
TEST(PolygonClipping, SegmentIntersectionsMatchOrientationTest) {
  Random random(8);
  int meetings = 0;
  for (int trial = 0; trial < 2000; ++trial) {
    MgcVector3 p[4];
    for (MgcVector3& point : p) point = randomPlanePoint(random, 1.0);
    const double o[4] = {cross2(p[1] - p[0], p[2] - p[0]), cross2(p[1] - p[0], p[3] - p[0]),
                         cross2(p[3] - p[2], p[0] - p[2]), cross2(p[3] - p[2], p[1] - p[2])};
    if (std::min({std::fabs(o[0]), std::fabs(o[1]), std::fabs(o[2]), std::fabs(o[3])}) < 1e-6) continue;
    const bool expected = (o[0] > 0) != (o[1] > 0) && (o[2] > 0) != (o[3] > 0);
    int count = 0;
    double parameters[2];
    ASSERT_EQ(intersectSegments2D(p[0], p[1], p[2], p[3], count, parameters), expected) << trial;
    if (!expected) continue;
    ++meetings;
    ASSERT_EQ(count, 1);
    EXPECT_LT((p[0] + (p[1] - p[0]) * parameters[0] - (p[2] + (p[3] - p[2]) * parameters[1])).Length(), 1e-9);
  }
  EXPECT_GT(meetings, 100);

  struct Case {
    MgcVector3 p0, p1, q0, q1;
    int count;
    double s0, s1;  // parameters along p0p1 (s1 only for count 2)
  };
  const Case cases[] = {
      {{0, 0, 0}, {4, 0, 0}, {1, 0, 0}, {6, 0, 0}, 2, 0.25, 1.0},  // overlapping
      {{0, 0, 0}, {4, 0, 0}, {3, 0, 0}, {-1, 0, 0}, 2, 0.0, 0.75},
      {{0, 0, 0}, {2, 0, 0}, {2, 0, 0}, {5, 0, 0}, 1, 1.0, 0.0},  // end to end
      {{0, 0, 0}, {2, 0, 0}, {-3, 0, 0}, {0, 0, 0}, 1, 0.0, 0.0},
      {{0, 0, 0}, {2, 0, 0}, {3, 0, 0}, {5, 0, 0}, 0, 0.0, 0.0},  // collinear apart
      {{0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {2, 1, 0}, 0, 0.0, 0.0},  // parallel
      {{1, 0, 0}, {1, 0, 0}, {0, 0, 0}, {2, 0, 0}, 1, 0.0, 0.0},  // a point on the segment
      {{1, 1, 0}, {1, 1, 0}, {0, 0, 0}, {2, 0, 0}, 0, 0.0, 0.0},
      {{3, 0, 0}, {3, 0, 0}, {0, 0, 0}, {2, 0, 0}, 0, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    int count = -1;
    double parameters[2] = {-9.0, -9.0};
    EXPECT_EQ(intersectSegments2D(c.p0, c.p1, c.q0, c.q1, count, parameters), c.count != 0);
    ASSERT_EQ(count, c.count) << c.p0.x << " " << c.q0.x;
    if (count > 0) {
      EXPECT_DOUBLE_EQ(parameters[0], c.s0);
    }
    if (count > 1) {
      EXPECT_DOUBLE_EQ(parameters[1], c.s1);
    }
  }
}

TEST(PolygonClipping, PointInConvexPolygonNamesTheFirstEdgeItLiesBeyond) {
  Random random(12);
  const MgcVector3 up(0, 0, 1);
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<MgcVector3> polygon = randomConvexPolygon(random, 3 + trial % 10);
    // Either winding: the test orients each edge by the next corner.
    const double winding = trial % 2 == 1 ? -1.0 : 1.0;
    if (winding < 0.0) std::reverse(polygon.begin(), polygon.end());
    const auto n = static_cast<std::uint32_t>(polygon.size());
    for (int sample = 0; sample < 20; ++sample) {
      const MgcVector3 q = randomPlanePoint(random, 4.0);
      std::uint32_t firstOutside = n;
      double closest = 1e300;
      for (std::uint32_t i = 0; i < n; ++i) {
        const MgcVector3 edge = polygon[(i + 1) % n] - polygon[i], toQ = q - polygon[(i + 1) % n];
        const double side = winding * cross2(edge, toQ) / (edge.Length() * toQ.Length());
        closest = std::min(closest, std::fabs(side));
        if (side < 0.0 && firstOutside == n) firstOutside = i;
      }
      if (closest < 1e-4) continue;
      std::uint32_t failing = 999;
      EXPECT_EQ(pointInConvexPolygon(q, polygon.data(), n, up, failing), firstOutside == n);
      EXPECT_EQ(failing, firstOutside == n ? 999u : firstOutside);
    }
  }
  std::uint32_t failing = 9;
  const MgcVector3 segment[2] = {{0, 0, 0}, {1, 0, 0}};
  EXPECT_FALSE(pointInConvexPolygon(MgcVector3(0.5, 0, 0), segment, 2, up, failing));
  EXPECT_EQ(failing, 0u);
}

// Random chords cross the boundary once per end that lies outside, at points
// on both the boundary and the chord; a crossing at a corner counts once.
TEST(PolygonClipping, PolygonSegmentIntersections) {
  Random random(4);
  MgcVector3 points[3];
  std::uint32_t found = 0;
  for (int trial = 0; trial < 300; ++trial) {
    SCOPED_TRACE(trial);
    const std::vector<MgcVector3> polygon = randomConvexPolygon(random, 3 + trial % 12);
    const MgcVector3 a = randomPlanePoint(random, 4.0), b = randomPlanePoint(random, 4.0);
    const double ma = insideMargin(polygon, a), mb = insideMargin(polygon, b);
    if (std::fabs(ma) < 1e-6 || std::fabs(mb) < 1e-6) continue;
    const std::uint32_t expected = (ma < 0) + (mb < 0);
    polygonSegmentIntersections(polygon.data(), static_cast<std::uint32_t>(polygon.size()), a, b, found, points);
    if (expected == 2 && found == 0) continue;  // a chord may pass beside the polygon
    EXPECT_EQ(found, expected);
    for (std::uint32_t k = 0; k < found; ++k) {
      EXPECT_LT(zovtest::bfPointSegmentSq(points[k], a, b), 1e-18);
      EXPECT_LT(std::fabs(insideMargin(polygon, points[k])), 1e-9);
    }
  }
  const MgcVector3 square[4] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
  EXPECT_TRUE(polygonSegmentIntersections(square, 4, MgcVector3(-1, -1, 0), MgcVector3(1, 1, 0), found, points));
  ASSERT_EQ(found, 1u);
  EXPECT_EQ(points[0], MgcVector3(0, 0, 0));
}

TEST(PolygonClipping, SphereContactAndPointSegmentDistance) {
  struct Case {
    MgcVector3 c0;
    double r0;
    MgcVector3 c1;
    double r1;
    MgcVector3 point, normal;
    double depth;
  };
  const Case cases[] = {
      {{0, 0, 0}, 1.0, {0, 3, 0}, 2.5, {0, 1, 0}, {0, 1, 0}, -0.5},     // overlapping
      {{1, 1, 1}, 0.5, {1, 1, -3}, 1.0, {1, 1, 0.5}, {0, 0, -1}, 2.5},  // apart
      {{2, 0, 0}, 0.5, {2, 0, 0}, 0.8, {2.5, 0, 0}, {1, 0, 0}, -0.8},   // concentric
  };
  for (const Case& c : cases) {
    MgcVector3 point, normal;
    double depth = 0.0;
    sphereSphereContact(c.c0, c.r0, c.c1, c.r1, point, normal, depth);
    EXPECT_LT((point - c.point).Length(), 1e-15);
    EXPECT_LT((normal - c.normal).Length(), 1e-15);
    EXPECT_DOUBLE_EQ(depth, c.depth);
  }
  // The distance to a segment is the smallest over dense samples of it.
  Random random(6);
  for (int trial = 0; trial < 200; ++trial) {
    const MgcVector3 a = random.vector(), b = random.vector(), p = random.vector(-2, 2);
    double t = -1.0, best = 1e300;
    const double distance = distanceSq_pt2seg(p, a, b, t);
    ASSERT_GE(t, 0.0);
    ASSERT_LE(t, 1.0);
    EXPECT_NEAR(distance, (p - (a + (b - a) * t)).SquaredLength(), 1e-14);
    for (int i = 0; i <= 4000; ++i) best = std::min(best, (p - (a + (b - a) * (i / 4000.0))).SquaredLength());
    EXPECT_LE(distance, best + 1e-14);
    EXPECT_GT(distance, best - 1e-5);
  }
  double t = 5.0;  // a segment shorter than the tolerance is its first end
  EXPECT_DOUBLE_EQ(distanceSq_pt2seg(MgcVector3(3, 4, 0), MgcVector3(0, 0, 0), MgcVector3(1e-3, 0, 0), t), 25.0);
  EXPECT_EQ(t, 0.0);

  std::uint32_t values[] = {7u, 0xFFFFFFFFu, 0u, 0x80000000u, 7u, 1u};
  std::qsort(values, 6, sizeof values[0], compareU32);
  EXPECT_EQ(std::vector<std::uint32_t>(values, values + 6),
            (std::vector<std::uint32_t>{0u, 1u, 7u, 7u, 0x80000000u, 0xFFFFFFFFu}));
}
