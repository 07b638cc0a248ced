#include "geometry/ContactBuilders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/OverlapTests.h"
#include "support/BruteForceGeometry.h"
#include "support/GeometryFixtures.h"
#include "support/MathTestUtil.h"

using Mgc::MgcVector3;
using zovtest::bfPointSegmentSq;
using zovtest::bfPointTriangleSq;
using zovtest::capsuleBetween;
using zovtest::expectNear;
using zovtest::Random;

namespace {

bool containsPoint(const MgcVector3* points, std::uint32_t count, const MgcVector3& p) {
  return std::any_of(points, points + count, [&](const MgcVector3& q) { return (q - p).Length() < 1e-9; });
}

struct Contact {
  MgcVector3 points[kMaxTriangleContacts];
  MgcVector3 normal;
  std::uint32_t count = 0;
  double depth = 0.0;
};

}  // namespace

// A level capsule touches with both ends, a tilted one with its lower end;
// the points are moved down onto the plane or triangle by the depth.
TEST(ContactBuilders, CapsulePlaneAndTriangleContactCases) {
  const MgcVector3 up = MgcVector3::UNIT_Z;
  const MgcVector3 tri[3] = {{-4, -4, 0}, {4, 0, 0}, {0, 4, 0}};
  const MgcVector3 side = MgcVector3(0, -0.5, 0.3) / std::sqrt(0.34);  // towards an edge of a smaller triangle
  struct Case {
    ZOVcapsule capsule;
    std::vector<MgcVector3> points;
    double depth;
    bool onTriangle;
  };
  const Case cases[] = {
      {capsuleBetween({1, 2, 0.3}, {1, 2, 2}, 0.5), {{1, 2, -0.2}}, -0.2, false},  // upright
      {capsuleBetween({1, 2, 2}, {1, 2, 0.3}, 0.5), {{1, 2, -0.2}}, -0.2, false},  // upside down
      {capsuleBetween({0, 0, 0.4}, {2, 0, 0.4}, 0.5), {{2, 0, -0.1}, {0, 0, -0.1}}, -0.1, true},
      {capsuleBetween({0, 0, 0.4}, {2, 0, 0.4 + 5e-6}, 0.5), {{2, 0, -0.1 + 5e-6}, {0, 0, -0.1}}, -0.1 + 5e-6, false},
      {capsuleBetween({0, 0, 1}, {0, 0, 1}, 0.5), {{0, 0, 0.5}}, 0.5, true},  // a sphere
      {capsuleBetween({0, 0, 1}, {1, 0, 3}, 0.25), {{0, 0, 0.75}}, 0.75, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.depth);
    Contact plane, triangle;
    EXPECT_TRUE(
        capsulePlaneContact(c.capsule, MgcVector3::ZERO, up, plane.points, plane.normal, plane.count, plane.depth));
    ASSERT_EQ(plane.count, c.points.size());
    for (std::uint32_t k = 0; k < plane.count; ++k) expectNear(plane.points[k], c.points[k]);
    EXPECT_NEAR(plane.depth, c.depth, 1e-12);
    expectNear(plane.normal, up);
    if (!c.onTriangle) continue;  // the same over the face of a triangle
    EXPECT_TRUE(
        capsuleTriangleContact(c.capsule, tri, up, triangle.points, triangle.normal, triangle.count, triangle.depth));
    ASSERT_EQ(triangle.count, c.points.size());
    for (std::uint32_t k = 0; k < triangle.count; ++k) expectNear(triangle.points[k], c.points[k], 1e-9);
    EXPECT_NEAR(triangle.depth, c.depth, 1e-9);
  }
  // Beside an edge the normal runs from the edge to the axis.
  const MgcVector3 small[3] = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}};
  Contact edge;
  capsuleTriangleContact(capsuleBetween({1, -0.5, 0.3}, {3, -0.5, 0.3}, 0.5), small, up, edge.points, edge.normal,
                         edge.count, edge.depth);
  ASSERT_EQ(edge.count, 1u);
  expectNear(edge.normal, side, 1e-9);
  EXPECT_NEAR(edge.depth, std::sqrt(0.34) - 0.5, 1e-9);
  expectNear(edge.points[0], MgcVector3(1, -0.5, 0.3) - side * 0.5, 1e-9);
}

// Contact points lie on the capsule and, moved back along the normal by the
// depth, on the other shape; two capsules' depth is their distance less radii.
TEST(ContactBuilders, CapsuleContactPointsLieOnBothShapes) {
  Random random(31);
  int contacts = 0;
  for (int i = 0; i < 3000; ++i) {
    SCOPED_TRACE(i);
    const ZOVcapsule a = zovtest::randomCapsule(random, 1.0, 2.0, 0.6),
                     b = zovtest::randomCapsule(random, 1.0, 2.0, 0.6);
    const double between = zovtest::bfSegmentSegmentSq(lowerEnd(a), upperEnd(a), lowerEnd(b), upperEnd(b));
    MgcVector3 point, normal;
    double depth = 0.0;
    // Axes within the tolerance of crossing count as concentric.
    if (i < 1000 && between > 1e-5) {
      EXPECT_TRUE(capsuleCapsuleContact(a, b, point, normal, depth));
      EXPECT_NEAR(depth, std::sqrt(between) - a.radius - b.radius, 1e-8);
      EXPECT_NEAR(bfPointSegmentSq(point, lowerEnd(a), upperEnd(a)), a.radius * a.radius, 1e-8);
      EXPECT_NEAR(bfPointSegmentSq(point + normal * depth, lowerEnd(b), upperEnd(b)), b.radius * b.radius, 1e-8);
    }
    const MgcVector3 tri[3] = {random.vector(), random.vector(), random.vector()};
    const MgcVector3 n = zovtest::unitNormal(tri[0], tri[1], tri[2]);
    ZOVcapsule c = zovtest::randomCapsule(random, 1.0, i % 4 == 0 ? 0.0 : 2.0, 0.6);
    if (i % 3 == 1) {  // level with the triangle
      c.axis -= n * c.axis.Dot(n);
      c.axis.Unitize(1e-12);
    }
    if (!capsuleTriangleOverlap(c, tri)) continue;
    ++contacts;
    Contact contact;
    capsuleTriangleContact(c, tri, n, contact.points, contact.normal, contact.count, contact.depth);
    ASSERT_GE(contact.count, 1u);
    ASSERT_LE(contact.count, 2u);
    EXPECT_NEAR(contact.normal.SquaredLength(), 1.0, 1e-12);
    for (std::uint32_t k = 0; k < contact.count; ++k) {
      EXPECT_LE(bfPointSegmentSq(contact.points[k], lowerEnd(c), upperEnd(c)), c.radius * c.radius + 1e-9);
      // An end counts as over the face within 1e-5 of it; a sphere's centre
      // (a capsule shorter than the tolerance is one) within a squared 1e-5.
      EXPECT_LT(bfPointTriangleSq(contact.points[k] - contact.normal * contact.depth, tri),
                c.length * c.length < 1e-5 ? 1e-5 : 1e-10);
    }
  }
  EXPECT_GT(contacts, 300);
  MgcVector3 point, normal;  // concentric: normal (1, 0, 0), depth -max(rA, rB)
  double depth = 0.0;
  capsuleCapsuleContact(capsuleBetween({0, 0, 0}, {0, 0, 1}, 0.3), capsuleBetween({0, 0, 0}, {0, 0, 1}, 0.5), point,
                        normal, depth);
  expectNear(normal, MgcVector3::UNIT_X);
  EXPECT_DOUBLE_EQ(depth, -0.5);
}

// Near-parallel faces give every corner of the shadow, moved down by the
// deepest depth; otherwise one point, B's deepest over the reference face.
TEST(ContactBuilders, TriTriContactGivesTheDeepestPoints) {
  const MgcVector3 A[3] = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}}, up = MgcVector3::UNIT_Z;
  const MgcVector3 corners[3] = {{1, 1, -0.1}, {1, 2, -0.1}, {2, 1, -0.103}};  // tilted by 0.003
  for (int turn = 0; turn < 3; ++turn) {
    const MgcVector3 B[3] = {corners[turn], corners[(turn + 1) % 3], corners[(turn + 2) % 3]};
    Contact contact;
    ASSERT_TRUE(triTriContact(A, up, B, zovtest::unitNormal(B[0], B[1], B[2]), contact.points, contact.normal,
                              contact.count, contact.depth));
    EXPECT_EQ(contact.count, 3u);
    EXPECT_NEAR(contact.depth, -0.103, 1e-12);
    expectNear(contact.normal, -up);
    for (const MgcVector3& corner : corners)
      EXPECT_TRUE(containsPoint(contact.points, contact.count, {corner.x, corner.y, -0.103})) << turn;
  }
  const MgcVector3 far[3] = {{5, 5, -0.1}, {5, 6, -0.1}, {6, 5, -0.1}};
  Contact none;
  none.count = 9;
  EXPECT_FALSE(triTriContact(A, up, far, -up, none.points, none.normal, none.count, none.depth));
  EXPECT_EQ(none.count, 0u);

  Random random(33);
  int tested = 0;
  for (int i = 0; i < 400 && tested < 120; ++i) {
    const MgcVector3 P[3] = {random.vector(), random.vector(), random.vector()};
    const MgcVector3 Q[3] = {random.vector(), random.vector(), random.vector()};
    const MgcVector3 nP = zovtest::unitNormal(P[0], P[1], P[2]), nQ = zovtest::unitNormal(Q[0], Q[1], Q[2]);
    if (!triTriOverlapExact(P, nP, Q, nQ) || std::fabs(nP.Dot(nQ)) > 0.99 || std::fabs(nP.Dot(nQ)) < 0.05) continue;
    Contact contact;
    if (!triTriContact(P, nP, Q, nQ, contact.points, contact.normal, contact.count, contact.depth)) continue;
    ++tested;
    SCOPED_TRACE(i);
    ASSERT_EQ(contact.count, 1u);
    const bool referenceP = (contact.normal + nP).SquaredLength() < 1e-20;
    EXPECT_TRUE(referenceP || (contact.normal - nQ).SquaredLength() < 1e-20);
    const MgcVector3* reference = referenceP ? P : Q;
    const MgcVector3* other = referenceP ? Q : P;
    const MgcVector3& n = referenceP ? nP : nQ;
    EXPECT_LT(bfPointTriangleSq(contact.points[0], other), 1e-18);
    EXPECT_LT(bfPointTriangleSq(contact.points[0] - n * contact.depth, reference), 1e-18);
    const double sampled = std::min(0.0, zovtest::sampledDepth(reference, n, other));
    EXPECT_LE(contact.depth, sampled + 1e-9);
    EXPECT_NEAR(contact.depth, sampled > -1e-5 ? 0.0 : sampled, 0.02);
  }
  EXPECT_GE(tested, 100);
}

// The points lie on A and under B's shadow and span the overlap but for
// slivers of the thinning width along its edges; repeated corners count once.
TEST(ContactBuilders, TriangleContactPointsCoverTheOverlap) {
  Random random(34);
  int overlapping = 0;
  for (int i = 0; i < 2000; ++i) {
    const MgcVector3 A[3] = {random.vector(), random.vector(), random.vector()};
    MgcVector3 B[3] = {random.vector(), random.vector(), random.vector()};
    const MgcVector3 nA = zovtest::unitNormal(A[0], A[1], A[2]);
    if (i % 2 == 0) B[i % 3] = A[0] + (A[1] - A[0]) * random.uniform(-0.5, 1.5);  // a corner on A's edge line
    SCOPED_TRACE(i);
    MgcVector3 points[kMaxTriangleContacts], shadowB[3];
    const std::uint32_t count = triangleContactPoints(A, nA, B, points);
    ASSERT_LE(count, kMaxTriangleContacts);
    for (int c = 0; c < 3; ++c) shadowB[c] = B[c] - nA * (B[c] - A[0]).Dot(nA);
    double fanArea = 0.0, perimeter = 0.0;
    for (std::uint32_t k = 0; k < count; ++k) {
      EXPECT_LT(bfPointTriangleSq(points[k], A), 1e-18);
      EXPECT_LT(bfPointTriangleSq(points[k], shadowB), 1e-18);
      if (k >= 2) fanArea += 0.5 * (points[k - 1] - points[0]).Cross(points[k] - points[0]).Dot(nA);
    }
    const double expected = zovtest::shadowOverlapArea(A, nA, B, &perimeter);
    overlapping += expected > 0.0;
    EXPECT_NEAR(std::fabs(fanArea), expected, std::sqrt(1e-5) * perimeter);
  }
  EXPECT_GT(overlapping, 500);

  const MgcVector3 A[3] = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}};
  struct Case {
    MgcVector3 B[3];
    std::vector<MgcVector3> expected;
  };
  const Case cases[] = {
      // Every clip adds a copy of the shared corner; an edge meets it twice,
      // once through rounding; a single touching point is no overlap.
      {{{0, 0, 1}, {3, 0.5, 1}, {0.5, 3, 1}}, {{0, 0, 0}, {3, 0.5, 0}, {0.5, 3, 0}}},
      {{{2, 2, 1}, {-2, -2, 1}, {-2, -1, 1}}, {{2, 2, 0}, {0, 0, 0}, {0, 0.5, 0}}},
      {{{4, 0, 1}, {5, 1, 1}, {5, -1, 1}}, {}},
  };
  for (const Case& c : cases) {
    MgcVector3 points[kMaxTriangleContacts];
    const std::uint32_t count = triangleContactPoints(A, MgcVector3::UNIT_Z, c.B, points);
    ASSERT_EQ(count, c.expected.size());
    for (const MgcVector3& corner : c.expected) EXPECT_TRUE(containsPoint(points, count, corner));
  }
}

TEST(ContactBuilders, ClipSegmentToPolygonCases) {
  const MgcVector3 square[4] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
  const MgcVector3 clockwise[3] = {{0, 0, 0}, {0, 2, 0}, {2, 0, 0}};
  struct Case {
    const MgcVector3* polygon;
    std::uint32_t count;
    MgcVector3 a, b;
    std::vector<MgcVector3> expected;
  };
  const Case cases[] = {
      {square, 4, {0.5, 0.5, 1}, {1.5, 1, 1}, {{0.5, 0.5, 1}, {1.5, 1, 1}}},  // inside
      {square, 4, {1, 1, 0.5}, {3, 1, 0.5}, {{2, 1, 0.5}, {1, 1, 0.5}}},      // crossing once
      {square, 4, {-1, 1, 0}, {3, 1, 0}, {{0, 1, 0}, {2, 1, 0}}},             // passing through
      {square, 4, {3, 0, 0}, {3, 2, 0}, {}},                                  // missing
      {square, 4, {1, 1, 3}, {1, 1, -1}, {{1, 1, 3}, {1, 1, -1}}},            // along the normal
      {square, 4, {1, 1, 1}, {3, 1, 3}, {{2, 1, 2}, {1, 1, 1}}},              // tilted
      {clockwise, 3, {0.25, 0.25, 0}, {3, 0.25, 0}, {{1.75, 0.25, 0}, {0.25, 0.25, 0}}},
      {square, 2, {0, 0, 0}, {1, 1, 0}, {}},  // not a polygon
  };
  for (const Case& c : cases) {
    MgcVector3 points[2];
    const std::uint32_t count = clipSegmentToPolygon(c.a, c.b, c.polygon, c.count, MgcVector3::UNIT_Z, points);
    ASSERT_EQ(count, c.expected.size()) << c.a.x << " " << c.b.x;
    for (std::uint32_t k = 0; k < count; ++k) expectNear(points[k], c.expected[k]);
  }
}

TEST(ContactBuilders, ClosestPointWeightsGiveTheClosestPoint) {
  Random random(35);
  for (int i = 0; i < 5000; ++i) {
    MgcVector3 tri[3] = {random.vector(), random.vector(), random.vector()};
    if (i % 10 == 0) tri[2] = tri[0] + (tri[1] - tri[0]) * random.uniform(-1, 2);
    const MgcVector3 query = random.vector(-2, 2);
    SCOPED_TRACE(i);
    double w[4] = {-1, -1, -1, -1};
    ASSERT_TRUE(triangleClosestPointWeights(tri, query, w));
    EXPECT_EQ(w[3], 0.0);
    EXPECT_GE(std::min({w[0], w[1], w[2]}), 0.0);
    EXPECT_NEAR(w[0] + w[1] + w[2], 1.0, 1e-12);
    EXPECT_NEAR((tri[0] * w[0] + tri[1] * w[1] + tri[2] * w[2] - query).SquaredLength(), bfPointTriangleSq(query, tri),
                1e-9);
  }
}
