#include "math/DistanceQueries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "math/Tolerances.h"
#include "support/BruteForceGeometry.h"
#include "support/MathTestUtil.h"

using Mgc::MgcVector3;
using namespace zovtest;

namespace {

MgcVector3 onSegment(const MgcVector3& a, const MgcVector3& b, double s) { return a + (b - a) * s; }
MgcVector3 onTriangle(const MgcVector3 tri[3], double s, double t) {
  return tri[0] + (tri[1] - tri[0]) * s + (tri[2] - tri[0]) * t;
}
bool inUnitInterval(double s) { return s >= 0.0 && s <= 1.0; }

// A random triangle; every tenth has collinear corners.
void randomTriangle(Random& random, int i, MgcVector3 tri[3]) {
  for (int k = 0; k < 3; ++k) tri[k] = random.vector();
  if (i % 10 == 0) tri[2] = tri[0] + (tri[1] - tri[0]) * random.uniform(-1, 2);
}

}  // namespace

// Segment pairs of every kind: general, parallel either way (any offset and
// length), collinear, crossing, the first one short, and a point on either side.
TEST(DistanceQueries, SegmentDistanceMatchesBruteForce) {
  Random random(11);
  for (int i = 0; i < 4000; ++i) {
    MgcVector3 seg[4] = {random.vector(), random.vector(), random.vector(), random.vector()};
    const MgcVector3 direction = seg[1] - seg[0];
    const int kind = i % 8;
    if (kind == 1 || kind == 2) seg[3] = seg[2] + direction * (kind == 1 ? 1.0 : -1.0) * random.uniform(0.1, 2.0);
    if (kind == 3) seg[2] = seg[0] + direction * random.uniform(-1.5, 1.5);  // collinear, overlapping or not
    if (kind == 3) seg[3] = seg[0] + direction * random.uniform(-1.5, 1.5);
    if (kind == 4) seg[3] = seg[0] + direction * random.uniform(0.1, 0.9);  // crossing
    if (kind == 4) seg[2] = seg[3] + (seg[3] - seg[2]) * random.uniform(0.2, 1.0);
    if (kind == 5) seg[1] = seg[0] + random.unitVector() * random.uniform(1e-3, 5e-3);
    if (kind == 6) seg[1] = seg[0];
    if (kind == 7) seg[3] = seg[2];
    SCOPED_TRACE(i);
    double s = -1.0, t = -1.0;
    const double distance = distanceSq_seg2seg(seg[0], seg[1], seg[2], seg[3], s, t);
    expectSameDistance(distance, bfSegmentSegmentSq(seg[0], seg[1], seg[2], seg[3]));
    ASSERT_TRUE(inUnitInterval(s)) << s;
    ASSERT_TRUE(inUnitInterval(t)) << t;
    expectSameDistance((onSegment(seg[0], seg[1], s) - onSegment(seg[2], seg[3], t)).SquaredLength(), distance);
  }
  // Nearly parallel lines whose closest approach lies before P0.
  const MgcVector3 Q0(-0.8, -0.0025, 0.1), Q1(0.2, 0.0025, 0.1);
  double s = 0.0, t = 0.0;
  expectSameDistance(distanceSq_seg2seg({0, 0, 0}, {1, 0, 0}, Q0, Q1, s, t),
                     bfSegmentSegmentSq({0, 0, 0}, {1, 0, 0}, Q0, Q1), 1e-12);
}

TEST(DistanceQueries, PointAndSegmentToTriangleMatchBruteForce) {
  Random random(12);
  for (int i = 0; i < 3000; ++i) {
    MgcVector3 tri[3];
    randomTriangle(random, i, tri);
    const MgcVector3 point = random.vector(-2, 2);
    SCOPED_TRACE(i);
    double s = -1.0, t = -1.0;
    const double distance = distanceSq_pt2tri(point, tri, s, t);
    expectSameDistance(distance, bfPointTriangleSq(point, tri));
    EXPECT_GE(std::min(s, t), 0.0);
    EXPECT_LE(s + t, 1.0 + 1e-12);
    expectSameDistance((onTriangle(tri, s, t) - point).SquaredLength(), distance);

    // Segments: general, parallel to the plane, in the plane, or a point.
    MgcVector3 a = random.vector(-1.5, 1.5), b = random.vector(-1.5, 1.5);
    const MgcVector3 normal = (tri[1] - tri[0]).Cross(tri[2] - tri[0]);
    const int kind = i % 10 == 0 ? 0 : i % 4;  // no plane to a triangle without area
    if (kind == 1) b -= normal * ((b - a).Dot(normal) / normal.SquaredLength());
    if (kind == 2) {
      a -= normal * ((a - tri[0]).Dot(normal) / normal.SquaredLength());
      b -= normal * ((b - tri[0]).Dot(normal) / normal.SquaredLength());
    }
    if (kind == 3) b = a;
    double r = -1.0;
    const double segmentDistance = segmentTriangleDistanceSq(a, b, tri, r, s, t);
    expectSameDistance(segmentDistance, bfSegmentTriangleSq(a, b, tri), 1e-8);
    ASSERT_TRUE(inUnitInterval(r)) << r;
    EXPECT_GE(std::min(s, t), 0.0);
    EXPECT_LE(s + t, 1.0 + 1e-12);
    expectSameDistance((onSegment(a, b, r) - onTriangle(tri, s, t)).SquaredLength(), segmentDistance, 1e-8);
  }
}

TEST(DistanceQueries, TriangleDistanceMatchesBruteForce) {
  Random random(14);
  for (int i = 0; i < 400; ++i) {
    MgcVector3 A[3] = {random.vector(), random.vector(), random.vector()};
    MgcVector3 B[3];
    randomTriangle(random, i + 5, B);
    const MgcVector3 nA = unitNormal(A[0], A[1], A[2]);
    // Parallel planes, or one plane.
    if (i % 5 == 1 || i % 5 == 2)
      for (MgcVector3& p : B) p -= nA * ((p - A[0]).Dot(nA) - (i % 5 == 1 ? 0.3 : 0.0));
    const MgcVector3 nB =
        (B[1] - B[0]).Cross(B[2] - B[0]).SquaredLength() > 1e-12 ? unitNormal(B[0], B[1], B[2]) : MgcVector3::UNIT_Z;
    SCOPED_TRACE(i);
    MgcVector3 closestA, closestB;
    const double distance = distanceSq_tri2tri(A, nA, B, nB, closestA, closestB);
    expectSameDistance(distance, bfTriangleTriangleSq(A, B), 1e-8);
    // The closest points lie on their triangles and are that far apart.
    EXPECT_LT(bfPointTriangleSq(closestA, A), 1e-20);
    EXPECT_LT(bfPointTriangleSq(closestB, B), 1e-20);
    expectSameDistance((closestA - closestB).SquaredLength(), distance, 1e-8);
  }
}

TEST(DistanceQueries, PolygonDistanceMatchesBruteForce) {
  Random random(15);
  for (int i = 0; i < 40; ++i) {
    const Mgc::MgcMatrix3 frameA = random.rotation(), frameB = random.rotation();
    const std::vector<MgcVector3> A =
        ellipsePolygon(random, 3 + random.index(4), frameA, random.vector(-1.5, 1.5), 1.0, 0.4);
    const std::vector<MgcVector3> B =
        ellipsePolygon(random, 3 + random.index(4), frameB, random.vector(-1.5, 1.5), 0.6, 0.8);
    const auto nA = static_cast<std::uint32_t>(A.size()), nB = static_cast<std::uint32_t>(B.size());
    SCOPED_TRACE(i);
    MgcVector3 pointA, pointB;
    const double distance =
        polygonPolygonDistanceSq(A.data(), nA, frameA.GetColumn(2), B.data(), nB, frameB.GetColumn(2), pointA, pointB);
    expectSameDistance(distance, bfPolygonPolygonSq(A.data(), nA, B.data(), nB), 1e-8);
    expectSameDistance((pointA - pointB).SquaredLength(), distance, 1e-8);
  }
  // Fewer than three corners on either side: no triangles, the largest float.
  const MgcVector3 corners[3] = {{0, 1, 0}, {1, 1, 0}, {0, 2, 0}};
  MgcVector3 pointA(7, 7, 7), pointB;
  for (const std::uint32_t countA : {2u, 3u, 1u})
    EXPECT_EQ(polygonPolygonDistanceSq(corners, countA, MgcVector3::UNIT_Z, corners, countA == 3 ? 2 : 0,
                                       MgcVector3::UNIT_Z, pointA, pointB),
              zov::kMaxFloat);
  EXPECT_EQ(pointA, MgcVector3(7, 7, 7));
}
