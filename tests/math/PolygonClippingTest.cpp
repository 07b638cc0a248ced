#include "math/PolygonClipping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "math/MgcMath.h"
#include "platform/CRandom.h"

namespace {

using Mgc::MgcVector3;

double uniform(double lo, double hi) {
  return lo + (hi - lo) * zov::platform::crtRand() / static_cast<double>(zov::platform::kRandMax);
}

// A convex polygon in the plane z = 0: corners on an ellipse at sorted
// random angles, counter-clockwise.
std::vector<MgcVector3> randomConvexPolygon(std::uint32_t n) {
  std::vector<double> angles(n);
  for (double& a : angles) a = uniform(0.0, Mgc::Math::TWO_PI);
  std::sort(angles.begin(), angles.end());
  const double rx = uniform(0.5, 3.0), ry = uniform(0.5, 3.0);
  const MgcVector3 centre(uniform(-1.0, 1.0), uniform(-1.0, 1.0), 0.0);
  std::vector<MgcVector3> polygon;
  for (double a : angles) polygon.push_back(centre + MgcVector3(rx * std::cos(a), ry * std::sin(a), 0.0));
  return polygon;
}

double cross2(const MgcVector3& a, const MgcVector3& b) { return a.x * b.y - a.y * b.x; }

double area(const std::vector<MgcVector3>& polygon) {
  double sum = 0.0;
  for (std::size_t i = 0; i < polygon.size(); ++i) sum += cross2(polygon[i], polygon[(i + 1) % polygon.size()]);
  return 0.5 * sum;
}

// Signed distance of q from the polygon's boundary, positive inside, for a
// counter-clockwise convex polygon.
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

TEST(PolygonClipping, SplitPolygonByPlaneEdgeCases) {
  const std::vector<MgcVector3> square = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  struct Case {
    const char* name;
    MgcVector3 normal;
    double constant;
    std::vector<MgcVector3> expected;
  };
  const Case cases[] = {
      // Through the corners 0 and 2: they enter as crossing points.
      {"diagonal", {1, -1, 0}, 0.0, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}},
      {"all behind", {1, 0, 0}, 5.0, {}},
      {"in the plane", {0, 0, 1}, 0.0, {}},
      {"nothing behind", {1, 0, 0}, 0.0, square},
      {"half", {0, 1, 0}, 0.5, {{1, 0.5, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0.5, 0}}},
      {"corner cut", {-1, -1, 0}, -0.5, {{0, 0, 0}, {0.5, 0, 0}, {0, 0.5, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<MgcVector3> clipped = clip(square, c.normal, c.constant);
    ASSERT_EQ(clipped.size(), c.expected.size());
    for (std::size_t i = 0; i < clipped.size(); ++i) {
      EXPECT_LT((clipped[i] - c.expected[i]).Length(), 1e-15) << i;
    }
  }
}

TEST(PolygonClipping, SplitPolygonByPlaneRefusesWhatWouldNotFit) {
  // Not convex: corners alternate across the plane, and the two runs in
  // front of it need more room than one extra vertex.
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
  std::vector<MgcVector3> largest;
  for (std::uint32_t i = 0; i < kMaxClipVertices; ++i) {
    const double a = Mgc::Math::TWO_PI * i / kMaxClipVertices;
    largest.emplace_back(std::cos(a), std::sin(a), 0.0);
  }
  largest.emplace_back();
  count = kMaxClipVertices;
  EXPECT_TRUE(splitPolygonByPlane(MgcVector3(1, 0.3, 0), 0.2, count, largest.data()));
  EXPECT_GT(count, 0u);
}

// Clipping by a plane and by its opposite splits the area exactly, and each
// part is where brute-force sampling says it is.
TEST(PolygonClipping, RandomClipsSplitAreaAndMatchSampling) {
  zov::platform::crtSrand(5);
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    const std::vector<MgcVector3> polygon = randomConvexPolygon(3 + trial % 20);
    const double angle = uniform(0.0, Mgc::Math::TWO_PI);
    const MgcVector3 normal(std::cos(angle), std::sin(angle), 0.0);
    const double c = uniform(-2.0, 2.0);
    const std::vector<MgcVector3> front = clip(polygon, normal, c);
    const std::vector<MgcVector3> back = clip(polygon, -normal, -c);
    EXPECT_LE(front.size(), polygon.size() + 1);
    const double frontArea = front.size() >= 3 ? area(front) : 0.0;
    const double backArea = back.size() >= 3 ? area(back) : 0.0;
    EXPECT_NEAR(frontArea + backArea, area(polygon), 1e-12);
    for (const MgcVector3& p : front) {
      EXPECT_GE(normal.Dot(p) - c, -1e-12);
      EXPECT_GE(insideMargin(polygon, p), -1e-12);
    }
    if (front.size() < 3) continue;
    for (int sample = 0; sample < 50; ++sample) {
      const MgcVector3 q(uniform(-4.0, 4.0), uniform(-4.0, 4.0), 0.0);
      const double expected = std::min(insideMargin(polygon, q), normal.Dot(q) - c);
      if (std::fabs(expected) < 1e-9) continue;
      EXPECT_EQ(insideMargin(front, q) > 0.0, expected > 0.0);
    }
  }
}

TEST(PolygonClipping, SegmentIntersectionEdgeCases) {
  struct Case {
    const char* name;
    MgcVector3 p0, p1, q0, q1;
    int count;
    double s0, s1;  // expected parameters along p0p1 (s1 only for count 2)
  };
  const Case cases[] = {
      {"crossing", {0, 0, 0}, {2, 0, 0}, {1, -1, 0}, {1, 1, 0}, 1, 0.5, 0.0},
      {"apart", {0, 0, 0}, {2, 0, 0}, {3, -1, 0}, {3, 1, 0}, 0, 0.0, 0.0},
      {"parallel distinct", {0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {2, 1, 0}, 0, 0.0, 0.0},
      {"overlapping", {0, 0, 0}, {4, 0, 0}, {1, 0, 0}, {6, 0, 0}, 2, 0.25, 1.0},
      {"overlapping reversed", {0, 0, 0}, {4, 0, 0}, {3, 0, 0}, {-1, 0, 0}, 2, 0.0, 0.75},
      {"end to end", {0, 0, 0}, {2, 0, 0}, {2, 0, 0}, {5, 0, 0}, 1, 1.0, 0.0},
      {"start to start", {0, 0, 0}, {2, 0, 0}, {-3, 0, 0}, {0, 0, 0}, 1, 0.0, 0.0},
      {"collinear apart", {0, 0, 0}, {2, 0, 0}, {3, 0, 0}, {5, 0, 0}, 0, 0.0, 0.0},
      {"point on segment", {1, 0, 0}, {1, 0, 0}, {0, 0, 0}, {2, 0, 0}, 1, 0.0, 0.0},
      {"point off segment", {1, 1, 0}, {1, 1, 0}, {0, 0, 0}, {2, 0, 0}, 0, 0.0, 0.0},
      {"point beyond segment", {3, 0, 0}, {3, 0, 0}, {0, 0, 0}, {2, 0, 0}, 0, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int count = -1;
    double parameters[2] = {-9.0, -9.0};
    EXPECT_EQ(intersectSegments2D(c.p0, c.p1, c.q0, c.q1, count, parameters), c.count != 0);
    EXPECT_EQ(count, c.count);
    if (c.count >= 1) {
      EXPECT_DOUBLE_EQ(parameters[0], c.s0);
    }
    if (c.count == 2) {
      EXPECT_DOUBLE_EQ(parameters[1], c.s1);
    }
  }
}

// Random segments in general position meet exactly when the ends of each lie
// on opposite sides of the other (orientation signs), and at the point both
// parameters name.
TEST(PolygonClipping, RandomSegmentIntersectionsMatchOrientationTest) {
  zov::platform::crtSrand(8);
  int meetings = 0;
  for (int trial = 0; trial < 2000; ++trial) {
    MgcVector3 p[4];
    for (MgcVector3& point : p) point = MgcVector3(uniform(-1, 1), uniform(-1, 1), 0.0);
    const double o1 = cross2(p[1] - p[0], p[2] - p[0]);
    const double o2 = cross2(p[1] - p[0], p[3] - p[0]);
    const double o3 = cross2(p[3] - p[2], p[0] - p[2]);
    const double o4 = cross2(p[3] - p[2], p[1] - p[2]);
    const double smallest = std::min({std::fabs(o1), std::fabs(o2), std::fabs(o3), std::fabs(o4)});
    if (smallest < 1e-6) continue;  // too close to touching to judge by signs
    const bool expected = (o1 > 0) != (o2 > 0) && (o3 > 0) != (o4 > 0);
    int count = 0;
    double parameters[2];
    ASSERT_EQ(intersectSegments2D(p[0], p[1], p[2], p[3], count, parameters), expected) << trial;
    if (!expected) continue;
    ++meetings;
    ASSERT_EQ(count, 1);
    const MgcVector3 onFirst = p[0] + (p[1] - p[0]) * parameters[0];
    const MgcVector3 onSecond = p[2] + (p[3] - p[2]) * parameters[1];
    EXPECT_LT((onFirst - onSecond).Length(), 1e-9);
  }
  EXPECT_GT(meetings, 100);
}

TEST(PolygonClipping, PointInConvexPolygonMatchesEdgeSides) {
  zov::platform::crtSrand(12);
  const MgcVector3 up(0, 0, 1);
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<MgcVector3> polygon = randomConvexPolygon(3 + trial % 10);
    // Either winding: the test orients each edge by the next corner.
    if (trial % 2 == 1) std::reverse(polygon.begin(), polygon.end());
    const auto n = static_cast<std::uint32_t>(polygon.size());
    for (int sample = 0; sample < 20; ++sample) {
      const MgcVector3 q(uniform(-4, 4), uniform(-4, 4), 0.0);
      // The first edge (from corner i to i + 1) that q lies beyond.
      std::uint32_t firstOutside = n;
      double closest = 1e300;
      const double winding = trial % 2 == 1 ? -1.0 : 1.0;
      for (std::uint32_t i = 0; i < n; ++i) {
        const MgcVector3 edge = polygon[(i + 1) % n] - polygon[i];
        const MgcVector3 toQ = q - polygon[(i + 1) % n];
        const double side = winding * cross2(edge, toQ) / (edge.Length() * toQ.Length());
        closest = std::min(closest, std::fabs(side));
        if (side < 0.0 && firstOutside == n) firstOutside = i;
      }
      if (closest < 1e-4) continue;
      std::uint32_t failing = 999;
      EXPECT_EQ(pointInConvexPolygon(q, polygon.data(), n, up, failing), firstOutside == n);
      if (firstOutside < n) {
        EXPECT_EQ(failing, firstOutside);
      }
    }
  }
  const MgcVector3 corners[2] = {{0, 0, 0}, {1, 0, 0}};
  std::uint32_t failing = 9;
  EXPECT_FALSE(pointInConvexPolygon(MgcVector3(0.5, 0, 0), corners, 2, up, failing));
  EXPECT_FALSE(pointInConvexPolygon(MgcVector3(0, 0, 0), corners, 1, up, failing));
  EXPECT_FALSE(pointInConvexPolygon(MgcVector3(0, 0, 0), corners, 0, up, failing));
  EXPECT_EQ(failing, 0u);
}

TEST(PolygonClipping, PolygonSegmentIntersections) {
  const std::vector<MgcVector3> square = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
  MgcVector3 points[3];
  std::uint32_t found = 0;
  // Through corner 0, which ends two edges: the point is kept once.
  EXPECT_TRUE(polygonSegmentIntersections(square.data(), 4, MgcVector3(-1, -1, 0), MgcVector3(1, 1, 0), found, points));
  ASSERT_EQ(found, 1u);
  EXPECT_EQ(points[0], MgcVector3(0, 0, 0));
  EXPECT_FALSE(
      polygonSegmentIntersections(square.data(), 4, MgcVector3(0.5, 0.5, 0), MgcVector3(1.5, 1, 0), found, points));
  EXPECT_EQ(found, 0u);

  // A repeated corner makes an edge of no length, which meets nothing else.
  const std::vector<MgcVector3> repeated = {{0, 0, 0}, {2, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
  EXPECT_TRUE(
      polygonSegmentIntersections(repeated.data(), 5, MgcVector3(1, -1, 0), MgcVector3(1, 1, 0), found, points));
  ASSERT_EQ(found, 1u);
  EXPECT_EQ(points[0], MgcVector3(1, 0, 0));

  // Random chords through random convex polygons cross the boundary once per
  // end that lies outside, at points on both the boundary and the chord.
  zov::platform::crtSrand(4);
  for (int trial = 0; trial < 300; ++trial) {
    SCOPED_TRACE(trial);
    const std::vector<MgcVector3> polygon = randomConvexPolygon(3 + trial % 12);
    const MgcVector3 a(uniform(-4, 4), uniform(-4, 4), 0), b(uniform(-4, 4), uniform(-4, 4), 0);
    const double ma = insideMargin(polygon, a), mb = insideMargin(polygon, b);
    if (std::fabs(ma) < 1e-6 || std::fabs(mb) < 1e-6) continue;
    std::uint32_t expected = (ma < 0) + (mb < 0);
    // Both ends outside: the chord may miss the polygon.
    const auto n = static_cast<std::uint32_t>(polygon.size());
    polygonSegmentIntersections(polygon.data(), n, a, b, found, points);
    if (expected == 2 && found == 0) continue;
    EXPECT_EQ(found, expected);
    for (std::uint32_t k = 0; k < found; ++k) {
      double t = 0.0;
      EXPECT_LT(distanceSq_pt2seg(points[k], a, b, t), 1e-18);
      EXPECT_LT(std::fabs(insideMargin(polygon, points[k])), 1e-9);
    }
  }
}

TEST(PolygonClipping, SphereSphereContact) {
  struct Case {
    const char* name;
    MgcVector3 c0;
    double r0;
    MgcVector3 c1;
    double r1;
    MgcVector3 point, normal;
    double depth;
  };
  const Case cases[] = {
      {"overlapping", {0, 0, 0}, 1.0, {0, 3, 0}, 2.5, {0, 1, 0}, {0, 1, 0}, -0.5},
      {"apart", {1, 1, 1}, 0.5, {1, 1, -3}, 1.0, {1, 1, 0.5}, {0, 0, -1}, 2.5},
      {"concentric", {2, 0, 0}, 0.5, {2, 0, 0}, 0.8, {2.5, 0, 0}, {1, 0, 0}, -0.8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MgcVector3 point, normal;
    double depth = 0.0;
    sphereSphereContact(c.c0, c.r0, c.c1, c.r1, point, normal, depth);
    EXPECT_LT((point - c.point).Length(), 1e-15);
    EXPECT_LT((normal - c.normal).Length(), 1e-15);
    EXPECT_DOUBLE_EQ(depth, c.depth);
  }
}

TEST(PolygonClipping, DistanceToSegmentMatchesDenseSampling) {
  zov::platform::crtSrand(6);
  for (int trial = 0; trial < 200; ++trial) {
    const MgcVector3 a(uniform(-1, 1), uniform(-1, 1), uniform(-1, 1));
    const MgcVector3 b(uniform(-1, 1), uniform(-1, 1), uniform(-1, 1));
    const MgcVector3 p(uniform(-2, 2), uniform(-2, 2), uniform(-2, 2));
    if ((b - a).SquaredLength() < 1e-3) continue;
    double t = -1.0;
    const double distance = distanceSq_pt2seg(p, a, b, t);
    ASSERT_GE(t, 0.0);
    ASSERT_LE(t, 1.0);
    EXPECT_NEAR(distance, (p - (a + (b - a) * t)).SquaredLength(), 1e-14);
    double best = 1e300;
    constexpr int kSamples = 4000;
    for (int i = 0; i <= kSamples; ++i) {
      best = std::min(best, (p - (a + (b - a) * (static_cast<double>(i) / kSamples))).SquaredLength());
    }
    EXPECT_LE(distance, best + 1e-14);
    EXPECT_GT(distance, best - 1e-5);
  }
  double t = 5.0;
  EXPECT_DOUBLE_EQ(distanceSq_pt2seg(MgcVector3(3, 4, 0), MgcVector3(0, 0, 0), MgcVector3(1e-3, 0, 0), t), 25.0);
  EXPECT_EQ(t, 0.0);
}

TEST(PolygonClipping, CompareU32SortsUnsigned) {
  std::uint32_t values[] = {7u, 0xFFFFFFFFu, 0u, 0x80000000u, 7u, 1u};
  std::qsort(values, 6, sizeof values[0], compareU32);
  const std::uint32_t expected[] = {0u, 1u, 7u, 7u, 0x80000000u, 0xFFFFFFFFu};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(values[i], expected[i]);
  const std::uint32_t one = 1, big = 0xF0000000u;
  EXPECT_EQ(compareU32(&one, &big), -1);
  EXPECT_EQ(compareU32(&big, &one), 1);
  EXPECT_EQ(compareU32(&one, &one), 0);
}
