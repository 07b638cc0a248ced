#include "geometry/ContactBuilders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/OverlapTests.h"
#include "support/BruteForceGeometry.h"
#include "support/GeometryFixtures.h"

using Mgc::MgcVector3;
using zovtest::Random;

namespace {

ZOVcapsule capsule(const MgcVector3& lower, const MgcVector3& upper, double radius) {
  ZOVcapsule c;
  c.center = (lower + upper) * 0.5;
  c.axis = upper - lower;
  c.length = c.axis.Unitize(1e-12);
  if (c.length == 0.0) c.axis = MgcVector3::UNIT_Z;
  c.radius = radius;
  return c;
}

MgcVector3 lowerEnd(const ZOVcapsule& c) { return c.center - c.axis * (0.5 * c.length); }
MgcVector3 upperEnd(const ZOVcapsule& c) { return c.center + c.axis * (0.5 * c.length); }

void expectNear(const MgcVector3& actual, const MgcVector3& expected, double tolerance = 1e-12) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

bool containsPoint(const MgcVector3* points, std::uint32_t count, const MgcVector3& p, double tolerance = 1e-12) {
  for (std::uint32_t i = 0; i < count; ++i)
    if ((points[i] - p).SquaredLength() < tolerance * tolerance) return true;
  return false;
}

TEST(ContactBuilders, CapsulePlaneContactCases) {
  const MgcVector3 origin(0, 0, 0);
  const MgcVector3 up = MgcVector3::UNIT_Z;
  struct Case {
    const char* name;
    ZOVcapsule capsule;
    std::uint32_t count;
    MgcVector3 first, second;
    double depth;
  };
  const Case cases[] = {
      {"upright, sunk 0.2", capsule({1, 2, 0.3}, {1, 2, 2}, 0.5), 1, {1, 2, -0.2}, {}, -0.2},
      {"upside down", capsule({1, 2, 2}, {1, 2, 0.3}, 0.5), 1, {1, 2, -0.2}, {}, -0.2},
      {"lying level", capsule({0, 0, 0.4}, {2, 0, 0.4}, 0.5), 2, {2, 0, -0.1}, {0, 0, -0.1}, -0.1},
      {"level within the tolerance",
       capsule({0, 0, 0.4}, {2, 0, 0.4 + 5e-6}, 0.5),
       2,
       {2, 0, -0.1 + 5e-6},
       {0, 0, -0.1},
       -0.1 + 5e-6},
      {"a sphere", capsule({0, 0, 1}, {0, 0, 1}, 0.5), 1, {0, 0, 0.5}, {}, 0.5},
      {"tilted, above the plane", capsule({0, 0, 1}, {1, 0, 3}, 0.25), 1, {0, 0, 0.75}, {}, 0.75},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MgcVector3 points[kMaxCapsuleContacts];
    MgcVector3 normal;
    std::uint32_t count = 0;
    double depth = 0.0;
    EXPECT_TRUE(capsulePlaneContact(c.capsule, origin, up, points, normal, count, depth));
    ASSERT_EQ(count, c.count);
    expectNear(points[0], c.first);
    if (count == 2) expectNear(points[1], c.second);
    EXPECT_NEAR(depth, c.depth, 1e-12);
    expectNear(normal, up);
  }
}

TEST(ContactBuilders, CapsuleCapsuleContactTouchesBothSurfaces) {
  Random random(31);
  for (int i = 0; i < 1000; ++i) {
    const ZOVcapsule a = zovtest::randomCapsule(random, 1.0, 2.0, 0.6);
    const ZOVcapsule b = zovtest::randomCapsule(random, 1.0, 2.0, 0.6);
    const double between = zovtest::bfSegmentSegmentSq(lowerEnd(a), upperEnd(a), lowerEnd(b), upperEnd(b));
    if (between < 1e-6) continue;  // crossing axes leave the normal undefined
    SCOPED_TRACE(i);
    MgcVector3 point, normal;
    double depth = 0.0;
    EXPECT_TRUE(capsuleCapsuleContact(a, b, point, normal, depth));
    EXPECT_NEAR(depth, std::sqrt(between) - a.radius - b.radius, 1e-8);
    EXPECT_NEAR(normal.SquaredLength(), 1.0, 1e-12);
    // The point lies on A's surface; moved along the normal (A to B) by the
    // depth it lies on B's.
    EXPECT_NEAR(zovtest::bfPointSegmentSq(point, lowerEnd(a), upperEnd(a)), a.radius * a.radius, 1e-8);
    EXPECT_NEAR(zovtest::bfPointSegmentSq(point + normal * depth, lowerEnd(b), upperEnd(b)), b.radius * b.radius, 1e-8);
  }
  // Concentric capsules: normal (1, 0, 0), depth -max(rA, rB).
  MgcVector3 point, normal;
  double depth = 0.0;
  capsuleCapsuleContact(capsule({0, 0, 0}, {0, 0, 1}, 0.3), capsule({0, 0, 0}, {0, 0, 1}, 0.5), point, normal, depth);
  expectNear(normal, MgcVector3::UNIT_X);
  EXPECT_DOUBLE_EQ(depth, -0.5);
}

TEST(ContactBuilders, CapsuleTriangleContactCases) {
  const MgcVector3 tri[3] = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}};
  const MgcVector3 up = MgcVector3::UNIT_Z;
  struct Case {
    const char* name;
    ZOVcapsule capsule;
    std::uint32_t count;
    MgcVector3 first, second, normal;
    double depth;
  };
  const double r = 0.5;
  const double edgeDistance = std::sqrt(0.5 * 0.5 + 0.3 * 0.3);
  const Case cases[] = {
      {"lying level over the face", capsule({0.5, 1, 0.4}, {2, 1, 0.4}, r), 2, {2, 1, -0.1}, {0.5, 1, -0.1}, up, -0.1},
      {"upright on the face", capsule({1, 1, 0.4}, {1, 1, 3}, r), 1, {1, 1, -0.1}, {}, up, -0.1},
      {"upside down on the face", capsule({1, 1, 3}, {1, 1, 0.4}, r), 1, {1, 1, -0.1}, {}, up, -0.1},
      {"tilted, lower end over the face", capsule({1, 1, 0.45}, {3, 3, 2.45}, r), 1, {1, 1, -0.05}, {}, up, -0.05},
      {"level, reaching past an edge", capsule({1, 1, 0.4}, {1, -3, 0.4}, r), 2, {1, 0, -0.1}, {1, 1, -0.1}, up, -0.1},
      {"a sphere over the face", capsule({1, 1, 0.3}, {1, 1, 0.3}, r), 1, {1, 1, -0.2}, {}, up, -0.2},
      {"a sphere beside an edge",
       capsule({1, -0.3, 0.4}, {1, -0.3, 0.4}, r),
       1,
       MgcVector3(1, -0.3, 0.4) - MgcVector3(0, -0.6, 0.8) * r,
       {},
       {0, -0.6, 0.8},
       0.5 - r},
      {"beside an edge",
       capsule({1, -0.5, 0.3}, {3, -0.5, 0.3}, r),
       1,
       MgcVector3(1, -0.5, 0.3) - MgcVector3(0, -0.5, 0.3) / edgeDistance * r,
       {},
       MgcVector3(0, -0.5, 0.3) / edgeDistance,
       edgeDistance - r},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MgcVector3 points[kMaxCapsuleContacts];
    MgcVector3 normal;
    std::uint32_t count = 0;
    double depth = 0.0;
    EXPECT_TRUE(capsuleTriangleContact(c.capsule, tri, up, points, normal, count, depth));
    ASSERT_EQ(count, c.count);
    expectNear(points[0], c.first, 1e-9);
    if (count == 2) expectNear(points[1], c.second, 1e-9);
    expectNear(normal, c.normal, 1e-9);
    EXPECT_NEAR(depth, c.depth, 1e-9);
  }
}

TEST(ContactBuildersRandom, CapsuleTriangleContactPointsLieOnCapsuleAndTriangle) {
  Random random(32);
  int contacts = 0;
  for (int i = 0; i < 3000; ++i) {
    const MgcVector3 tri[3] = {random.vector(-1, 1), random.vector(-1, 1), random.vector(-1, 1)};
    const MgcVector3 n = zovtest::unitNormal(tri[0], tri[1], tri[2]);
    ZOVcapsule c = zovtest::randomCapsule(random, 1.0, i % 4 == 0 ? 0.0 : 2.0, 0.6);
    if (i % 3 == 1) {  // level with the triangle
      c.axis -= n * c.axis.Dot(n);
      c.axis.Unitize(1e-12);
    }
    if (!capsuleTriangleOverlap(c, tri)) continue;
    ++contacts;
    SCOPED_TRACE(i);
    MgcVector3 points[kMaxCapsuleContacts];
    MgcVector3 normal;
    std::uint32_t count = 0;
    double depth = 0.0;
    capsuleTriangleContact(c, tri, n, points, normal, count, depth);
    ASSERT_GE(count, 1u);
    ASSERT_LE(count, 2u);
    EXPECT_NEAR(normal.SquaredLength(), 1.0, 1e-12);
    for (std::uint32_t k = 0; k < count; ++k) {
      // On the capsule (its surface, or within it for a tilted axis) ...
      EXPECT_LE(zovtest::bfPointSegmentSq(points[k], lowerEnd(c), upperEnd(c)), c.radius * c.radius + 1e-9);
      // ... and moved back along the normal by the depth, on the triangle (a
      // sphere's centre counts as over the face within the 1e-5 tolerance).
      const double slack = c.length == 0.0 ? 1e-5 : 1e-18;
      EXPECT_LT(zovtest::bfPointTriangleSq(points[k] - normal * depth, tri), slack);
    }
  }
  EXPECT_GT(contacts, 300);
}

TEST(ContactBuilders, TriTriContactNearParallelFacesGiveEveryPoint) {
  const MgcVector3 A[3] = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}};
  const MgcVector3 up = MgcVector3::UNIT_Z;
  // B faces A, sunk 0.1 and tilted by 0.003 (still parallel within 0.99999):
  // every corner of its shadow is a contact, moved down by the deepest depth.
  const MgcVector3 corners[3] = {{1, 1, -0.1}, {1, 2, -0.1}, {2, 1, -0.103}};
  for (int rotation = 0; rotation < 3; ++rotation) {
    SCOPED_TRACE(rotation);
    const MgcVector3 B[3] = {corners[rotation], corners[(rotation + 1) % 3], corners[(rotation + 2) % 3]};
    const MgcVector3 nB = zovtest::unitNormal(B[0], B[1], B[2]);
    ASSERT_GT(-nB.Dot(up), 0.99999);
    MgcVector3 points[kMaxTriangleContacts];
    MgcVector3 normal;
    std::uint32_t count = 0;
    double depth = 0.0;
    ASSERT_TRUE(triTriContact(A, up, B, nB, points, normal, count, depth));
    EXPECT_EQ(count, 3u);
    EXPECT_NEAR(depth, -0.103, 1e-12);
    expectNear(normal, -up);
    for (const MgcVector3& corner : corners)
      EXPECT_TRUE(containsPoint(points, count, {corner.x, corner.y, -0.103})) << corner.x << " " << corner.y;
  }
}

TEST(ContactBuilders, TriTriContactAtRightAnglesKeepsClippedPoints) {
  const MgcVector3 A[3] = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}};
  const MgcVector3 B[3] = {{1, 1, -0.5}, {2, 1, -0.5}, {1, 1, 1}};  // standing in the plane y = 1
  MgcVector3 points[kMaxTriangleContacts];
  MgcVector3 normal;
  std::uint32_t count = 0;
  double depth = 0.0;
  ASSERT_TRUE(triTriContact(A, MgcVector3::UNIT_Z, B, {0, -1, 0}, points, normal, count, depth));
  EXPECT_NEAR(depth, -0.5, 1e-12);  // the least penetration of the two
  ASSERT_GE(count, 2u);
  for (std::uint32_t k = 0; k < count; ++k) {
    // Unmoved: in the reference face, on the other triangle's shadow.
    const double inA = std::fabs(points[k].z) < 1e-12 ? zovtest::bfPointTriangleSq(points[k], A) : 1.0;
    const double inB = std::fabs(points[k].y - 1.0) < 1e-12 ? zovtest::bfPointTriangleSq(points[k], B) : 1.0;
    EXPECT_TRUE(inA < 1e-20 || inB < 1e-20) << k;
  }
}

// Lowest height above A's plane (along nA) of the part of B over A, by dense
// sampling of B.
double sampledDepth(const MgcVector3 A[3], const MgcVector3& nA, const MgcVector3 B[3]) {
  constexpr int kSteps = 300;
  double lowest = 1e300;
  for (int i = 0; i <= kSteps; ++i)
    for (int j = 0; i + j <= kSteps; ++j) {
      const MgcVector3 x = B[0] + (B[1] - B[0]) * (double(i) / kSteps) + (B[2] - B[0]) * (double(j) / kSteps);
      const double height = (x - A[0]).Dot(nA);
      if (zovtest::bfPointTriangleSq(x - nA * height, A) > 1e-20) continue;
      lowest = std::min(lowest, height);
    }
  return lowest;
}

TEST(ContactBuildersRandom, TriTriContactPointsLieOnBothTriangles) {
  Random random(33);
  int tested = 0;
  for (int i = 0; i < 400 && tested < 120; ++i) {
    const MgcVector3 A[3] = {random.vector(-1, 1), random.vector(-1, 1), random.vector(-1, 1)};
    const MgcVector3 B[3] = {random.vector(-1, 1), random.vector(-1, 1), random.vector(-1, 1)};
    const MgcVector3 nA = zovtest::unitNormal(A[0], A[1], A[2]);
    const MgcVector3 nB = zovtest::unitNormal(B[0], B[1], B[2]);
    if (!triTriOverlapExact(A, nA, B, nB) || std::fabs(nA.Dot(nB)) > 0.99 || std::fabs(nA.Dot(nB)) < 0.05) continue;
    MgcVector3 points[kMaxTriangleContacts];
    MgcVector3 normal;
    std::uint32_t count = 0;
    double depth = 0.0;
    if (!triTriContact(A, nA, B, nB, points, normal, count, depth)) continue;
    ++tested;
    SCOPED_TRACE(i);
    ASSERT_EQ(count, 1u);
    // Reference A: the point is B's deepest point over A, depth its height.
    const bool referenceA = (normal + nA).SquaredLength() < 1e-20;
    const MgcVector3* reference = referenceA ? A : B;
    const MgcVector3* other = referenceA ? B : A;
    const MgcVector3& refNormal = referenceA ? nA : nB;
    EXPECT_TRUE(referenceA || (normal - nB).SquaredLength() < 1e-20);
    EXPECT_LT(zovtest::bfPointTriangleSq(points[0], other), 1e-18);
    EXPECT_LT(zovtest::bfPointTriangleSq(points[0] - refNormal * depth, reference), 1e-18);
    const double sampled = std::min(0.0, sampledDepth(reference, refNormal, other));
    EXPECT_LE(depth, sampled + 1e-9);
    EXPECT_NEAR(depth, sampled > -1e-5 ? 0.0 : sampled, 0.02);
  }
  EXPECT_GE(tested, 100);
}

TEST(ContactBuilders, TriTriContactWithoutOverlapIsFalse) {
  const MgcVector3 A[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  const MgcVector3 B[3] = {{3, 3, -0.1}, {3, 4, -0.1}, {4, 3, -0.1}};
  MgcVector3 points[kMaxTriangleContacts];
  MgcVector3 normal;
  std::uint32_t count = 9;
  double depth = 0.0;
  EXPECT_FALSE(triTriContact(A, MgcVector3::UNIT_Z, B, -MgcVector3::UNIT_Z, points, normal, count, depth));
  EXPECT_EQ(count, 0u);
}

// Area of A's part under B's shadow, clipping in A's plane independently of
// the library (Sutherland-Hodgman against B's three edge lines).
double overlapArea(const MgcVector3 A[3], const MgcVector3& nA, const MgcVector3 B[3], double* perimeter) {
  std::vector<MgcVector3> polygon(A, A + 3);
  MgcVector3 shadow[3];
  for (int c = 0; c < 3; ++c) shadow[c] = B[c] - nA * (B[c] - A[0]).Dot(nA);
  const double winding = (shadow[1] - shadow[0]).Cross(shadow[2] - shadow[0]).Dot(nA) > 0.0 ? 1.0 : -1.0;
  for (int e = 0; e < 3 && !polygon.empty(); ++e) {
    const MgcVector3& from = shadow[e];
    const MgcVector3 inward = nA.Cross(shadow[(e + 1) % 3] - from) * winding;
    std::vector<MgcVector3> kept;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
      const MgcVector3& p = polygon[i];
      const MgcVector3& q = polygon[(i + 1) % polygon.size()];
      const double dp = (p - from).Dot(inward);
      const double dq = (q - from).Dot(inward);
      if (dp >= 0.0) kept.push_back(p);
      if ((dp >= 0.0) != (dq >= 0.0)) kept.push_back(p + (q - p) * (dp / (dp - dq)));
    }
    polygon = kept;
  }
  double area = 0.0;
  for (std::size_t i = 1; i + 1 < polygon.size(); ++i)
    area += 0.5 * std::fabs((polygon[i] - polygon[0]).Cross(polygon[i + 1] - polygon[0]).Dot(nA));
  *perimeter = 0.0;
  for (std::size_t i = 0; i < polygon.size(); ++i)
    *perimeter += std::sqrt((polygon[(i + 1) % polygon.size()] - polygon[i]).SquaredLength());
  return area;
}

double fanArea(const MgcVector3* points, std::uint32_t count, const MgcVector3& normal) {
  double area = 0.0;
  for (std::uint32_t i = 1; i + 1 < count; ++i)
    area += 0.5 * (points[i] - points[0]).Cross(points[i + 1] - points[0]).Dot(normal);
  return std::fabs(area);
}

TEST(ContactBuildersRandom, TriangleContactPointsCoverTheOverlap) {
  Random random(34);
  int overlapping = 0;
  for (int i = 0; i < 2000; ++i) {
    const MgcVector3 A[3] = {random.vector(-1, 1), random.vector(-1, 1), random.vector(-1, 1)};
    MgcVector3 B[3] = {random.vector(-1, 1), random.vector(-1, 1), random.vector(-1, 1)};
    const MgcVector3 nA = zovtest::unitNormal(A[0], A[1], A[2]);
    if (i % 2 == 0) B[i % 3] = A[0] + (A[1] - A[0]) * random.uniform(-0.5, 1.5);  // a corner on A's edge line
    SCOPED_TRACE(i);
    MgcVector3 points[kMaxTriangleContacts];
    const std::uint32_t count = triangleContactPoints(A, nA, B, points);
    ASSERT_LE(count, kMaxTriangleContacts);
    MgcVector3 shadowB[3];
    for (int c = 0; c < 3; ++c) shadowB[c] = B[c] - nA * (B[c] - A[0]).Dot(nA);
    for (std::uint32_t k = 0; k < count; ++k) {
      EXPECT_LT(zovtest::bfPointTriangleSq(points[k], A), 1e-18);
      EXPECT_LT(zovtest::bfPointTriangleSq(points[k], shadowB), 1e-18);
    }
    // Thinning drops only points on the line through their neighbours or
    // within sqrt(1e-5) of one: the polygon keeps the area of the overlap
    // but for slivers of that width along its edges.
    double perimeter = 0.0;
    const double expected = overlapArea(A, nA, B, &perimeter);
    overlapping += expected > 0.0;
    EXPECT_NEAR(count >= 3 ? fanArea(points, count, nA) : 0.0, expected, std::sqrt(1e-5) * perimeter);
  }
  EXPECT_GT(overlapping, 500);
}

TEST(ContactBuilders, TriangleContactPointsKeepOneCopyOfRepeatedCorners) {
  const MgcVector3 A[3] = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}};
  struct Case {
    const char* name;
    MgcVector3 B[3];
    std::vector<MgcVector3> expected;
  };
  const Case cases[] = {
      // Every clip adds a copy of the shared corner.
      {"corner on A's corner", {{0, 0, 1}, {3, 0.5, 1}, {0.5, 3, 1}}, {{0, 0, 0}, {3, 0.5, 0}, {0.5, 3, 0}}},
      // The clips meet A's corner twice, once through rounding.
      {"edge through A's corner", {{2, 2, 1}, {-2, -2, 1}, {-2, -1, 1}}, {{2, 2, 0}, {0, 0, 0}, {0, 0.5, 0}}},
      {"touching at one point: no overlap", {{4, 0, 1}, {5, 1, 1}, {5, -1, 1}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MgcVector3 points[kMaxTriangleContacts];
    const std::uint32_t count = triangleContactPoints(A, MgcVector3::UNIT_Z, c.B, points);
    ASSERT_EQ(count, c.expected.size());
    for (const MgcVector3& corner : c.expected) EXPECT_TRUE(containsPoint(points, count, corner, 1e-9));
  }
}

TEST(ContactBuilders, ClipSegmentToPolygonCases) {
  const MgcVector3 square[4] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
  const MgcVector3 clockwise[3] = {{0, 0, 0}, {0, 2, 0}, {2, 0, 0}};
  const MgcVector3 up = MgcVector3::UNIT_Z;
  struct Case {
    const char* name;
    const MgcVector3* polygon;
    std::uint32_t count;
    MgcVector3 a, b;
    std::vector<MgcVector3> expected;
  };
  const Case cases[] = {
      {"inside", square, 4, {0.5, 0.5, 1}, {1.5, 1, 1}, {{0.5, 0.5, 1}, {1.5, 1, 1}}},
      {"crossing once", square, 4, {1, 1, 0.5}, {3, 1, 0.5}, {{2, 1, 0.5}, {1, 1, 0.5}}},
      {"passing through", square, 4, {-1, 1, 0}, {3, 1, 0}, {{0, 1, 0}, {2, 1, 0}}},
      {"missing", square, 4, {3, 0, 0}, {3, 2, 0}, {}},
      {"along the normal", square, 4, {1, 1, 3}, {1, 1, -1}, {{1, 1, 3}, {1, 1, -1}}},
      {"tilted, crossing once", square, 4, {1, 1, 1}, {3, 1, 3}, {{2, 1, 2}, {1, 1, 1}}},
      {"clockwise triangle", clockwise, 3, {0.25, 0.25, 0}, {3, 0.25, 0}, {{1.75, 0.25, 0}, {0.25, 0.25, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MgcVector3 points[2];
    const std::uint32_t count = clipSegmentToPolygon(c.a, c.b, c.polygon, c.count, up, points);
    ASSERT_EQ(count, c.expected.size());
    for (std::uint32_t k = 0; k < count; ++k) expectNear(points[k], c.expected[k], 1e-12);
  }
  MgcVector3 points[2];
  EXPECT_EQ(clipSegmentToPolygon({0, 0, 0}, {1, 1, 0}, square, 2, up, points), 0u);  // not a polygon
}

TEST(ContactBuildersRandom, ClosestPointWeightsGiveTheClosestPoint) {
  Random random(35);
  for (int i = 0; i < 5000; ++i) {
    MgcVector3 tri[3] = {random.vector(-1, 1), random.vector(-1, 1), random.vector(-1, 1)};
    if (i % 10 == 0) tri[2] = tri[0] + (tri[1] - tri[0]) * random.uniform(-1, 2);
    const MgcVector3 query = random.vector(-2, 2);
    SCOPED_TRACE(i);
    double weights[4] = {-1, -1, -1, -1};
    ASSERT_TRUE(triangleClosestPointWeights(tri, query, weights));
    EXPECT_EQ(weights[3], 0.0);
    for (int k = 0; k < 3; ++k) EXPECT_GE(weights[k], 0.0);
    EXPECT_NEAR(weights[0] + weights[1] + weights[2], 1.0, 1e-12);
    const MgcVector3 point = tri[0] * weights[0] + tri[1] * weights[1] + tri[2] * weights[2];
    EXPECT_NEAR((point - query).SquaredLength(), zovtest::bfPointTriangleSq(query, tri), 1e-9);
  }
}

}  // namespace
