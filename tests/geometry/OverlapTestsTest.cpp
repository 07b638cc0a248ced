#include "geometry/OverlapTests.h"

#include <gtest/gtest.h>

#include <cmath>

#include "math/DistanceQueries.h"
#include "support/BruteForceBoxes.h"
#include "support/BruteForceGeometry.h"
#include "support/GeometryFixtures.h"
#include "support/MeshFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::capsuleBetween;
using zovtest::Random;

namespace {

ZOVbox axisBox(const MgcVector3& center, const MgcVector3& extents) { return {center, MgcMatrix3::IDENTITY, extents}; }

ZOVAAbox aaBox(const ZOVbox& box) { return {box.center - box.extents, box.center + box.extents}; }

ZOVbox grown(ZOVbox box, double amount) {
  box.extents += MgcVector3(amount, amount, amount);
  return box;
}

TEST(OverlapTests, TouchingBoxesOverlap) {
  // A quarter turn about z: the axes are permuted exactly.
  const MgcMatrix3 quarterTurn(0, -1, 0, 1, 0, 0, 0, 0, 1);
  struct Case {
    const char* name;
    ZOVbox a, b;
    bool overlap;
  };
  ZOVbox turned = axisBox({3, 0, 0}, {1, 2, 0.5});
  turned.axes = quarterTurn;  // spans x in [1, 5]
  const Case cases[] = {
      {"face to face", axisBox({0, 0, 0}, {1, 1, 1}), axisBox({2, 0.5, -0.5}, {1, 1, 1}), true},
      {"edge to edge", axisBox({0, 0, 0}, {1, 1, 1}), axisBox({2, 2, 0}, {1, 1, 1}), true},
      {"corner to corner", axisBox({0, 0, 0}, {1, 1, 1}), axisBox({1.5, 2, 2.5}, {0.5, 1, 1.5}), true},
      {"a hair apart", axisBox({0, 0, 0}, {1, 1, 1}), axisBox({2 + 1e-9, 0, 0}, {1, 1, 1}), false},
      {"one inside the other", axisBox({0, 0, 0}, {3, 3, 3}), axisBox({1, -1, 0.5}, {0.5, 0.5, 0.5}), true},
      {"turned box touching a face", axisBox({0, 0, 0}, {1, 1, 1}), turned, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(obbOverlap(c.a, c.b), c.overlap);
    EXPECT_EQ(obbOverlap(c.b, c.a), c.overlap);
    if (c.b.axes == MgcMatrix3::IDENTITY) {
      EXPECT_EQ(aabbOverlap(aaBox(c.a), aaBox(c.b)), c.overlap);
    }
  }
}

// Random box pairs whose answer does not change when both grow or shrink by a
// hair, so that the reference is not decided by rounding.
template <typename Check>
void forRandomBoxPairs(unsigned seed, bool aligned, Check check) {
  Random random(seed);
  int decided = 0;
  for (int i = 0; i < 3000; ++i) {
    ZOVbox a = zovtest::randomBox(random, 2.0, 0.1, 1.5);
    ZOVbox b = zovtest::randomBox(random, 2.0, 0.1, 1.5);
    if (aligned) a.axes = b.axes = MgcMatrix3::IDENTITY;
    const bool meet = zovtest::boxesMeet(a, b);
    if (meet != zovtest::boxesMeet(grown(a, 1e-9), grown(b, 1e-9)) ||
        meet != zovtest::boxesMeet(grown(a, -1e-9), grown(b, -1e-9)))
      continue;
    ++decided;
    SCOPED_TRACE(i);
    check(a, b, meet);
  }
  EXPECT_GT(decided, 2900);
}

TEST(OverlapTests, BoxOverlapsAgreeWithEdgeClipping) {
  int overlapping = 0;
  forRandomBoxPairs(21, false, [&](const ZOVbox& a, const ZOVbox& b, bool meet) {
    overlapping += meet;
    EXPECT_EQ(obbOverlap(a, b), meet);
  });
  EXPECT_GT(overlapping, 500);  // both outcomes well represented
  forRandomBoxPairs(
      22, true, [](const ZOVbox& a, const ZOVbox& b, bool meet) { EXPECT_EQ(aabbOverlap(aaBox(a), aaBox(b)), meet); });
}

TEST(OverlapTests, ObbPlaneOverlapMeansSomeCornerBehindThePlane) {
  const MgcVector3 up = MgcVector3::UNIT_Z;
  EXPECT_TRUE(obbPlaneOverlap(axisBox({0, 0, -5}, {1, 1, 1}), {0, 0, 0}, up));  // wholly behind
  EXPECT_FALSE(obbPlaneOverlap(axisBox({0, 0, 5}, {1, 1, 1}), {0, 0, 0}, up));
  EXPECT_TRUE(obbPlaneOverlap(axisBox({0, 0, 0.5}, {1, 1, 1}), {0, 0, 0}, up));
  EXPECT_FALSE(obbPlaneOverlap(axisBox({0, 0, 1}, {1, 1, 1}), {0, 0, 0}, up));  // resting on it

  Random random(23);
  for (int i = 0; i < 2000; ++i) {
    const ZOVbox box = zovtest::randomBox(random, 2.0, 0.1, 1.5);
    const MgcVector3 point = random.vector(-2, 2);
    const MgcVector3 normal = random.unitVector();
    MgcVector3 corners[8];
    zovtest::boxCorners(box, corners);
    double lowest = 1e300;
    for (const MgcVector3& corner : corners) lowest = std::fmin(lowest, (corner - point).Dot(normal));
    if (std::fabs(lowest) < 1e-9) continue;
    EXPECT_EQ(obbPlaneOverlap(box, point, normal), lowest < 0.0) << i;
  }
}

TEST(OverlapTests, CapsuleOverlapsAgreeWithBruteForceDistances) {
  // Parallel capsules exactly touching count as overlapping.
  EXPECT_TRUE(capsuleCapsuleOverlap(capsuleBetween({0, 0, 0}, {2, 0, 0}, 0.25),
                                    capsuleBetween({1, 0.5, 0}, {3, 0.5, 0}, 0.25)));
  // A capsule exactly touching a triangle does not.
  const MgcVector3 ground[3] = {{-5, -5, 0}, {5, -5, 0}, {0, 5, 0}};
  EXPECT_FALSE(capsuleTriangleOverlap(capsuleBetween({0, 0, 0.5}, {1, 0, 0.5}, 0.5), ground));
  EXPECT_TRUE(capsuleTriangleOverlap(capsuleBetween({0, 0, 0.49}, {1, 0, 0.49}, 0.5), ground));
  EXPECT_TRUE(capsuleTriangleOverlap(capsuleBetween({0, 0, 0.49}, {0, 0, 0.49}, 0.5), ground));  // a sphere

  Random random(24);
  for (int i = 0; i < 1500; ++i) {
    const ZOVcapsule a = zovtest::randomCapsule(random, 1.5, i % 5 == 0 ? 0.0 : 2.0, 0.6);
    const ZOVcapsule b = zovtest::randomCapsule(random, 1.5, 2.0, 0.6);
    const double reach = (a.radius + b.radius) * (a.radius + b.radius);
    const double between = zovtest::bfSegmentSegmentSq(lowerEnd(a), upperEnd(a), lowerEnd(b), upperEnd(b));
    if (std::fabs(between - reach) > 1e-7) {
      EXPECT_EQ(capsuleCapsuleOverlap(a, b), reach >= between) << i;
    }

    const MgcVector3 tri[3] = {random.vector(-1, 1), random.vector(-1, 1), random.vector(-1, 1)};
    const double toTriangle = zovtest::bfSegmentTriangleSq(lowerEnd(a), upperEnd(a), tri);
    const double r2 = a.radius * a.radius;
    if (std::fabs(toTriangle - r2) > 1e-7) {
      EXPECT_EQ(capsuleTriangleOverlap(a, tri), r2 > toTriangle) << i;
    }
  }
}

// Whether two triangles meet robustly: they still meet when both shrink a
// little about their centroids.
bool trianglesMeetRobustly(const MgcVector3 A[3], const MgcVector3 B[3]) {
  MgcVector3 a[3], b[3];
  const MgcVector3 ca = (A[0] + A[1] + A[2]) / 3.0;
  const MgcVector3 cb = (B[0] + B[1] + B[2]) / 3.0;
  for (int i = 0; i < 3; ++i) {
    a[i] = ca + (A[i] - ca) * (1.0 - 1e-4);
    b[i] = cb + (B[i] - cb) * (1.0 - 1e-4);
  }
  return zovtest::bfTriangleTriangleSq(a, b) == 0.0;
}

TEST(OverlapTests, TriangleOverlapAgreesWithBruteForceDistance) {
  Random random(25);
  int meeting = 0, apart = 0;
  for (int i = 0; i < 600; ++i) {
    MgcVector3 A[3] = {random.vector(-1, 1), random.vector(-1, 1), random.vector(-1, 1)};
    MgcVector3 B[3] = {random.vector(-1, 1), random.vector(-1, 1), random.vector(-1, 1)};
    const MgcVector3 nA = zovtest::unitNormal(A[0], A[1], A[2]);
    // A third of the pairs in A's plane, where the in-plane axes decide. The
    // plane offsets then differ by rounding only, which a hair of margin absorbs.
    const bool coplanar = i % 3 == 0;
    if (coplanar) {
      for (MgcVector3& p : B) p -= nA * (p - A[0]).Dot(nA);
    }
    const double margin = coplanar ? 1e-12 : 0.0;
    const MgcVector3 nB = zovtest::unitNormal(B[0], B[1], B[2]);
    const double distance = zovtest::bfTriangleTriangleSq(A, B);
    SCOPED_TRACE(i);
    if (distance > 1e-8) {
      ++apart;
      EXPECT_FALSE(triTriOverlap(A, nA, B, nB, margin));
    } else if (trianglesMeetRobustly(A, B)) {
      ++meeting;
      EXPECT_TRUE(triTriOverlap(A, nA, B, nB, margin));
    }
  }
  EXPECT_GT(meeting, 100);
  EXPECT_GT(apart, 100);
}

TEST(OverlapTests, TriangleOverlapCases) {
  const MgcVector3 A[3] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}};
  const MgcVector3 up = MgcVector3::UNIT_Z;
  const MgcVector3 down = -up;
  const MgcVector3 above[3] = {{0.2, 0.2, 0.005}, {0.2, 1.0, 0.005}, {1.0, 0.2, 0.005}};
  const MgcVector3 beside[3] = {{2.005, 0.5, 0}, {3, 0.5, 0}, {3, 1.5, 0}};
  // B separated only by its own plane: A lies wholly on one side of it.
  const MgcVector3 P[3] = {{-4, 0, 1}, {1, -1, 0}, {-1, -2, -3}};
  const MgcVector3 Q[3] = {{0, -4, 0}, {3, 2, 4}, {3, -2, -3}};
  const MgcVector3 nP = zovtest::unitNormal(P[0], P[1], P[2]);
  const MgcVector3 nQ = zovtest::unitNormal(Q[0], Q[1], Q[2]);
  ASSERT_GT(zovtest::bfTriangleTriangleSq(P, Q), 1.0);

  EXPECT_FALSE(triTriOverlapExact(A, up, above, down));
  EXPECT_TRUE(triTriOverlap(A, up, above, down, 0.01));    // the margin widens the plane test
  EXPECT_FALSE(triTriOverlap(A, up, beside, down, 0.01));  // but not the in-plane axes
  EXPECT_FALSE(triTriOverlapExact(P, nP, Q, nQ));
  EXPECT_FALSE(triTriOverlapExact(Q, nQ, P, nP));
}

TEST(OverlapTests, ClassifyMeshAgainstPlane) {
  auto cube = zovtest::boxMesh({1, 1, 1});
  auto dfCube = zovtest::makeDFmesh(cube->numVertices, 0);
  for (std::uint32_t i = 0; i < cube->numVertices; ++i) dfCube->worldVertices[i] = cube->worldVertices[i];
  struct Case {
    const char* name;
    MgcVector3 normal, point;
    int result;
  };
  const Case cases[] = {
      {"all in front", {0, 0, 1}, {0, 0, -2}, 1},
      {"all behind", {0, 0, 1}, {0, 0, 2}, -1},
      {"straddling", {0, 1, 1}, {0, 0, 0}, 0},
      {"touching a face from below", {0, 0, 1}, {0, 0, -1}, 1},
      {"touching a face from above", {0, 0, 1}, {0, 0, 1}, -1},
      {"within the dead zone", {0, 0, 1}, {0, 0, -1 + 0.5e-5}, 1},
      {"normal of length 2", {0, 0, 2}, {0, 0, 2}, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(classifyMeshAgainstPlane(*cube, c.normal, c.point), c.result) << c.name;
    EXPECT_EQ(classifyMeshAgainstPlane(*dfCube, c.normal, c.point), c.result) << c.name;
  }
  const ZOVmesh empty;
  EXPECT_EQ(classifyMeshAgainstPlane(empty, {0, 0, 1}, {0, 0, 5}), 1);
}

}  // namespace
