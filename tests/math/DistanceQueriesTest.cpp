#include "math/DistanceQueries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "math/Tolerances.h"
#include "support/BruteForceGeometry.h"
#include "support/RandomGeometry.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::Random;

namespace {

// Agreement with a reference: absolute for small values, relative for large.
void expectSameDistance(double actual, double expected, double tolerance = 1e-9) {
  EXPECT_NEAR(actual, expected, tolerance * (1.0 + expected));
}

MgcVector3 onSegment(const MgcVector3& a, const MgcVector3& b, double s) { return a + (b - a) * s; }
MgcVector3 onTriangle(const MgcVector3 tri[3], double s, double t) {
  return tri[0] + (tri[1] - tri[0]) * s + (tri[2] - tri[0]) * t;
}

// Segment pairs of every kind: general, parallel, opposite, collinear,
// crossing, short, and degenerate (a point) on either side.
void randomSegmentPair(Random& random, int kind, MgcVector3 seg[4]) {
  seg[0] = random.vector(-1, 1);
  seg[1] = random.vector(-1, 1);
  seg[2] = random.vector(-1, 1);
  seg[3] = random.vector(-1, 1);
  const MgcVector3 direction = seg[1] - seg[0];
  switch (kind % 8) {
    case 1:  // parallel, same direction, random offset and length
      seg[3] = seg[2] + direction * random.uniform(0.1, 2.0);
      break;
    case 2:  // parallel, opposite direction
      seg[3] = seg[2] - direction * random.uniform(0.1, 2.0);
      break;
    case 3:  // collinear, overlapping or not
      seg[2] = seg[0] + direction * random.uniform(-1.5, 1.5);
      seg[3] = seg[0] + direction * random.uniform(-1.5, 1.5);
      break;
    case 4:  // crossing: both through one point
      seg[3] = seg[0] + direction * random.uniform(0.1, 0.9);
      seg[2] = seg[3] + (seg[3] - seg[2]) * random.uniform(0.2, 1.0);
      break;
    case 5:  // first one short, at any angle
      seg[1] = seg[0] + random.unitVector() * random.uniform(1e-3, 5e-3);
      break;
    case 6:  // first one a point
      seg[1] = seg[0];
      break;
    case 7:  // second one a point
      seg[3] = seg[2];
      break;
    default:
      break;
  }
}

TEST(DistanceQueries, SegmentDistanceEdgeCases) {
  struct Case {
    const char* name;
    MgcVector3 P0, P1, Q0, Q1;
    double distanceSq;
  };
  const Case cases[] = {
      {"perpendicular crossing", {-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, 0.0},
      {"parallel overlapping", {0, 0, 0}, {2, 0, 0}, {1, 0, 0}, {3, 0, 0}, 0.0},
      {"parallel one apart", {0, 0, 0}, {1, 0, 0}, {0.5, 1, 0}, {1.5, 1, 0}, 1.0},
      {"opposite, end to end", {0, 0, 0}, {1, 0, 0}, {3, 0, 0}, {2, 0, 0}, 1.0},
      {"skew over the middle", {0, 0, 1}, {0, 0, -1}, {-1, 2, 0}, {1, 2, 0}, 4.0},
      {"first a point over the middle", {0.5, 1, 0}, {0.5, 1, 0}, {0, 0, 0}, {1, 0, 0}, 1.0},
      {"first a point beyond the end", {3, 0, 0}, {3, 0, 0}, {0, 0, 0}, {1, 0, 0}, 4.0},
      {"second a point", {0, 0, 0}, {2, 0, 0}, {1, 3, 0}, {1, 3, 0}, 9.0},
      {"both points", {0, 0, 0}, {0, 0, 0}, {0, 0, 2}, {0, 0, 2}, 4.0},
      {"short first segment across", {0.5, 1, 0}, {0.501, 1, 0}, {0, 0, 0}, {1, 0, 0}, 1.0},
      {"short perpendicular pair", {0, 0, 1}, {0, 0.002, 1}, {-0.001, 0.001, 0}, {0.001, 0.001, 0}, 1.0},
      // Nearly parallel lines whose closest approach lies before P0.
      {"closest approach before the start",
       {0, 0, 0},
       {1, 0, 0},
       {-0.8, -0.0025, 0.1},
       {0.2, 0.0025, 0.1},
       zovtest::bfSegmentSegmentSq({0, 0, 0}, {1, 0, 0}, {-0.8, -0.0025, 0.1}, {0.2, 0.0025, 0.1})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    double s = -1.0, t = -1.0;
    const double distance = distanceSq_seg2seg(c.P0, c.P1, c.Q0, c.Q1, s, t);
    expectSameDistance(distance, c.distanceSq, 1e-12);
    EXPECT_GE(s, 0.0);
    EXPECT_LE(s, 1.0);
    EXPECT_GE(t, 0.0);
    EXPECT_LE(t, 1.0);
    expectSameDistance((onSegment(c.P0, c.P1, s) - onSegment(c.Q0, c.Q1, t)).SquaredLength(), distance, 1e-12);
  }
}

TEST(DistanceQueries, SegmentDistanceMatchesBruteForceOnRandomPairs) {
  Random random(11);
  for (int i = 0; i < 4000; ++i) {
    MgcVector3 seg[4];
    randomSegmentPair(random, i, seg);
    SCOPED_TRACE(i);
    double s = 0.0, t = 0.0;
    const double distance = distanceSq_seg2seg(seg[0], seg[1], seg[2], seg[3], s, t);
    expectSameDistance(distance, zovtest::bfSegmentSegmentSq(seg[0], seg[1], seg[2], seg[3]));
    ASSERT_TRUE(s >= 0.0 && s <= 1.0 && t >= 0.0 && t <= 1.0) << s << " " << t;
    expectSameDistance((onSegment(seg[0], seg[1], s) - onSegment(seg[2], seg[3], t)).SquaredLength(), distance);
  }
}

TEST(DistanceQueries, PointTriangleDistanceEdgeCases) {
  const MgcVector3 tri[3] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}};
  struct Case {
    const char* name;
    MgcVector3 point;
    double distanceSq, s, t;
  };
  const Case cases[] = {
      {"above the interior", {0.5, 0.5, 3}, 9.0, 0.25, 0.25},
      {"below the interior", {1, 0.5, -2}, 4.0, 0.5, 0.25},
      {"beyond edge t0-t1", {1, -1, 0}, 1.0, 0.5, 0.0},
      {"beyond edge t0-t2", {-2, 1, 1}, 5.0, 0.0, 0.5},
      {"beyond edge t1-t2", {2, 2, 0}, 2.0, 0.5, 0.5},
      {"beyond corner t0", {-1, -1, 0}, 2.0, 0.0, 0.0},
      {"beyond corner t1", {3, -1, 0}, 2.0, 1.0, 0.0},
      {"beyond corner t2", {-1, 4, 0}, 5.0, 0.0, 1.0},
      {"on a corner", {2, 0, 0}, 0.0, 1.0, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    double s = -1.0, t = -1.0;
    EXPECT_NEAR(distanceSq_pt2tri(c.point, tri, s, t), c.distanceSq, 1e-12);
    EXPECT_NEAR(s, c.s, 1e-12);
    EXPECT_NEAR(t, c.t, 1e-12);
  }

  // Triangles without area count as their edges.
  const MgcVector3 flat[3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
  const MgcVector3 pinched[3] = {{1, 1, 1}, {1, 1, 1}, {3, 1, 1}};
  double s = 0.0, t = 0.0;
  EXPECT_NEAR(distanceSq_pt2tri({1.5, 1, 0}, flat, s, t), 1.0, 1e-12);
  EXPECT_NEAR((onTriangle(flat, s, t) - MgcVector3(1.5, 0, 0)).SquaredLength(), 0.0, 1e-12);
  EXPECT_NEAR(distanceSq_pt2tri({2, 1, 0}, pinched, s, t), 1.0, 1e-12);
  EXPECT_NEAR((onTriangle(pinched, s, t) - MgcVector3(2, 1, 1)).SquaredLength(), 0.0, 1e-12);
}

TEST(DistanceQueries, PointTriangleDistanceMatchesBruteForce) {
  Random random(12);
  for (int i = 0; i < 3000; ++i) {
    MgcVector3 tri[3] = {random.vector(-1, 1), random.vector(-1, 1), random.vector(-1, 1)};
    if (i % 10 == 0) tri[2] = tri[0] + (tri[1] - tri[0]) * random.uniform(-1, 2);  // collinear corners
    const MgcVector3 point = random.vector(-2, 2);
    SCOPED_TRACE(i);
    double s = 0.0, t = 0.0;
    const double distance = distanceSq_pt2tri(point, tri, s, t);
    expectSameDistance(distance, zovtest::bfPointTriangleSq(point, tri));
    EXPECT_TRUE(s >= 0.0 && t >= 0.0 && s + t <= 1.0 + 1e-12);
    expectSameDistance((onTriangle(tri, s, t) - point).SquaredLength(), distance);
  }
}

TEST(DistanceQueries, SegmentTriangleDistanceEdgeCases) {
  const MgcVector3 tri[3] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}};
  double r = -1.0, s = -1.0, t = -1.0;
  // A segment piercing the triangle meets it at the piercing point.
  EXPECT_NEAR(segmentTriangleDistanceSq({0.5, 0.5, 1}, {0.5, 0.5, -3}, tri, r, s, t), 0.0, 1e-15);
  EXPECT_NEAR(r, 0.25, 1e-12);
  EXPECT_NEAR(s, 0.25, 1e-12);
  EXPECT_NEAR(t, 0.25, 1e-12);
  // A segment in the triangle's plane outside it: the parallel branch.
  EXPECT_NEAR(segmentTriangleDistanceSq({3, 1, 0}, {1, 3, 0}, tri, r, s, t), 2.0, 1e-12);
  EXPECT_NEAR((onSegment({3, 1, 0}, {1, 3, 0}, r) - onTriangle(tri, s, t)).SquaredLength(), 2.0, 1e-12);
  // Level above the interior, reaching past an edge.
  EXPECT_NEAR(segmentTriangleDistanceSq({-1, 0.5, 2}, {0.5, 0.5, 2}, tri, r, s, t), 4.0, 1e-12);
  // A segment that is a point, and a triangle that is a segment.
  EXPECT_NEAR(segmentTriangleDistanceSq({0.5, 0.5, 1}, {0.5, 0.5, 1}, tri, r, s, t), 1.0, 1e-12);
  const MgcVector3 flat[3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
  EXPECT_NEAR(segmentTriangleDistanceSq({1, 1, -1}, {1, 1, 1}, flat, r, s, t), 1.0, 1e-12);
}

TEST(DistanceQueries, SegmentTriangleDistanceMatchesBruteForce) {
  Random random(13);
  for (int i = 0; i < 1500; ++i) {
    MgcVector3 tri[3] = {random.vector(-1, 1), random.vector(-1, 1), random.vector(-1, 1)};
    MgcVector3 a = random.vector(-1.5, 1.5);
    MgcVector3 b = random.vector(-1.5, 1.5);
    const MgcVector3 normal = (tri[1] - tri[0]).Cross(tri[2] - tri[0]);
    switch (i % 6) {
      case 1:  // parallel to the triangle's plane
        b -= normal * ((b - a).Dot(normal) / normal.SquaredLength());
        break;
      case 2:  // in the plane
        a -= normal * ((a - tri[0]).Dot(normal) / normal.SquaredLength());
        b -= normal * ((b - tri[0]).Dot(normal) / normal.SquaredLength());
        break;
      case 3:  // a point
        b = a;
        break;
      case 4:  // triangle without area
        tri[2] = tri[0] + (tri[1] - tri[0]) * random.uniform(-1, 2);
        break;
      default:
        break;
    }
    SCOPED_TRACE(i);
    double r = 0.0, s = 0.0, t = 0.0;
    const double distance = segmentTriangleDistanceSq(a, b, tri, r, s, t);
    expectSameDistance(distance, zovtest::bfSegmentTriangleSq(a, b, tri), 1e-8);
    ASSERT_TRUE(r >= 0.0 && r <= 1.0 && s >= 0.0 && t >= 0.0 && s + t <= 1.0 + 1e-12);
    expectSameDistance((onSegment(a, b, r) - onTriangle(tri, s, t)).SquaredLength(), distance, 1e-8);
  }
}

TEST(DistanceQueries, TriangleDistanceMatchesBruteForce) {
  Random random(14);
  for (int i = 0; i < 400; ++i) {
    MgcVector3 A[3] = {random.vector(-1, 1), random.vector(-1, 1), random.vector(-1, 1)};
    MgcVector3 B[3] = {random.vector(-1, 1), random.vector(-1, 1), random.vector(-1, 1)};
    const MgcVector3 nA = zovtest::unitNormal(A[0], A[1], A[2]);
    switch (i % 5) {
      case 1:  // parallel planes
        for (MgcVector3& p : B) p -= nA * ((p - A[0]).Dot(nA) - 0.3);
        break;
      case 2:  // one plane
        for (MgcVector3& p : B) p -= nA * (p - A[0]).Dot(nA);
        break;
      case 3:  // B without area
        B[2] = B[0] + (B[1] - B[0]) * random.uniform(-1, 2);
        break;
      default:
        break;
    }
    const MgcVector3 nB = (B[1] - B[0]).Cross(B[2] - B[0]).SquaredLength() > 1e-12
                              ? zovtest::unitNormal(B[0], B[1], B[2])
                              : MgcVector3::UNIT_Z;
    SCOPED_TRACE(i);
    MgcVector3 closestA, closestB;
    const double distance = distanceSq_tri2tri(A, nA, B, nB, closestA, closestB);
    expectSameDistance(distance, zovtest::bfTriangleTriangleSq(A, B), 1e-8);
    // The closest points lie on their triangles and are that far apart.
    EXPECT_LT(zovtest::bfPointTriangleSq(closestA, A), 1e-20);
    EXPECT_LT(zovtest::bfPointTriangleSq(closestB, B), 1e-20);
    expectSameDistance((closestA - closestB).SquaredLength(), distance, 1e-8);
  }
}

// A convex polygon of `count` corners around a centre, in a random plane.
std::vector<MgcVector3> randomPolygon(Random& random, std::uint32_t count, MgcVector3& normal) {
  const MgcMatrix3 frame = random.rotation();
  normal = frame.GetColumn(2);
  const MgcVector3 center = random.vector(-1.5, 1.5);
  std::vector<MgcVector3> polygon;
  for (std::uint32_t k = 0; k < count; ++k) {
    const double angle = 2.0 * M_PI * (k + random.uniform(0.1, 0.9)) / count;
    const double radius = random.uniform(0.3, 1.0);
    polygon.push_back(center + frame.GetColumn(0) * (radius * std::cos(angle)) +
                      frame.GetColumn(1) * (radius * std::sin(angle)));
  }
  return polygon;
}

TEST(DistanceQueries, PolygonDistanceMatchesBruteForce) {
  Random random(15);
  for (int i = 0; i < 40; ++i) {
    MgcVector3 nA, nB;
    const std::vector<MgcVector3> A = randomPolygon(random, 3 + random.index(4), nA);
    const std::vector<MgcVector3> B = randomPolygon(random, 3 + random.index(4), nB);
    SCOPED_TRACE(i);
    MgcVector3 pointA, pointB;
    const double distance = polygonPolygonDistanceSq(A.data(), static_cast<std::uint32_t>(A.size()), nA, B.data(),
                                                     static_cast<std::uint32_t>(B.size()), nB, pointA, pointB);
    expectSameDistance(distance,
                       zovtest::bfPolygonPolygonSq(A.data(), static_cast<std::uint32_t>(A.size()), B.data(),
                                                   static_cast<std::uint32_t>(B.size())),
                       1e-8);
    expectSameDistance((pointA - pointB).SquaredLength(), distance, 1e-8);
  }
}

TEST(DistanceQueries, PolygonsWithoutTrianglesGiveTheLargestFloat) {
  const MgcVector3 segmentA[2] = {{0, 0, 0}, {1, 0, 0}};
  const MgcVector3 segmentB[2] = {{0, 1, 0}, {1, 1, 0}};
  const MgcVector3 triangle[3] = {{0, 1, 0}, {1, 1, 0}, {0, 2, 0}};
  MgcVector3 pointA(7, 7, 7), pointB(7, 7, 7);
  EXPECT_EQ(polygonPolygonDistanceSq(segmentA, 2, MgcVector3::UNIT_Z, segmentB, 2, MgcVector3::UNIT_Z, pointA, pointB),
            zov::kMaxFloat);
  EXPECT_EQ(polygonPolygonDistanceSq(triangle, 3, MgcVector3::UNIT_Z, segmentB, 2, MgcVector3::UNIT_Z, pointA, pointB),
            zov::kMaxFloat);
  EXPECT_EQ(polygonPolygonDistanceSq(triangle, 1, MgcVector3::UNIT_Z, triangle, 0, MgcVector3::UNIT_Z, pointA, pointB),
            zov::kMaxFloat);
  EXPECT_EQ(pointA, MgcVector3(7, 7, 7));
}

}  // namespace
