#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "collision/narrowphase/NarrowPhaseFixtures.h"
#include "engine/collision/narrowphase/ContactClipping.h"
#include "engine/collision/narrowphase/PkJump.h"
#include "engine/collision/narrowphase/SeparationSearch.h"
#include "support/GeometryFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::Random;

namespace {

MgcMatrix3 turnAboutZ(double degrees) {
  MgcMatrix3 R;
  R.FromAxisAngle(MgcVector3(0.0, 0.0, 1.0), degrees * M_PI / 180.0);
  return R;
}

const MgcVector3 kHalf(0.5, 0.5, 0.5);

// Unit boxes at poses whose distance is worked out by hand: side by side,
// a box turned 45 degrees showing its edge, apart along two axes at once,
// touching and overlapping (no distance), and beyond the reach.
TEST(MeshMeshDistance, BoxesAtKnownPosesStandTheirHandComputedDistanceApart) {
  struct Case {
    const char* name;
    MgcVector3 at;
    double turn;
    double reach;
    double expected;  // < 0: touching or overlapping; >= reach: beyond
  };
  const double r2 = std::sqrt(2.0);
  const Case cases[] = {
      {"side by side", {1.3, 0.0, 0.0}, 0.0, 1.0, 0.3},
      {"edge on", {1.5, 0.0, 0.0}, 45.0, 1.0, 1.5 - 0.5 * r2 - 0.5},
      {"corner to corner", {1.4, 1.6, 0.0}, 0.0, 1.0, std::sqrt(0.4 * 0.4 + 0.6 * 0.6)},
      {"touching", {1.0, 0.0, 0.0}, 0.0, 1.0, -1.0},
      {"overlapping", {0.8, 0.3, 0.0}, 20.0, 1.0, -1.0},
      {"beyond the reach", {1.3, 0.0, 0.0}, 0.0, 0.1, 0.1},
  };
  const Pk_jump jump;
  const auto a = zovtest::boxHull(kHalf, MgcMatrix3::IDENTITY, MgcVector3());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto b = zovtest::boxHull(kHalf, turnAboutZ(c.turn), c.at);
    JumpState state = freshJumpState();
    const double distance = jump.meshMeshDistance(a.get(), b.get(), c.reach, state);
    if (c.expected < 0.0) {
      EXPECT_LT(distance, 0.0);
    } else if (c.expected >= c.reach) {
      EXPECT_GE(distance, c.reach);
    } else {
      EXPECT_NEAR(distance, c.expected, 1e-9);
      // The kept direction separates the boxes by that distance.
      EXPECT_NEAR(zovtest::gapAlong(*a.mesh, *b.mesh, state.direction), c.expected, 1e-9);
    }
  }
}

// Random hulls apart: the distance agrees with the least vertex-face and
// edge-edge distance over all their features, from a fresh and from a stale
// cache.
TEST(MeshMeshDistance, RandomHullsApartAgreeWithTheirClosestFeatures) {
  Random random(23);
  const Pk_jump jump;
  int measured = 0;
  for (int trial = 0; trial < 400; ++trial) {
    SCOPED_TRACE(trial);
    const auto a = zovtest::randomConvexShape(random, trial % 3, random.vector(-0.2, 0.2));
    const auto b = zovtest::randomConvexShape(random, (trial / 3) % 3, random.unitVector() * random.uniform(0.5, 3.0));
    const double gap =
        zovtest::separatingAxes(zovtest::convexPolyhedron(*a.mesh), zovtest::convexPolyhedron(*b.mesh)).gap;
    if (gap < 1e-4) continue;
    JumpState state = freshJumpState();
    if (trial % 2 == 1) {
      state.direction = random.unitVector();
      state.vertexA = random.index(a.mesh->numVertices);
      state.vertexB = random.index(b.mesh->numVertices);
    }
    const double truth = std::sqrt(zovtest::convexMeshDistanceSq(*a.mesh, *b.mesh));
    EXPECT_NEAR(jump.meshMeshDistance(a.get(), b.get(), 10.0, state), truth, 1e-7);
    ++measured;
  }
  EXPECT_GT(measured, 100);
}

// A box tipped 10 degrees over a slab whose top is y = 0, its low edge h
// above it: the contacts are the corners of its bottom face, each on the box
// with its own height over the slab as its gap, the normal up; those beyond
// the reach are left out. Touching the slab along its low edge, the far
// edge alone is what the facing faces add.
TEST(MeshMeshDistance, ATippedBoxOverASlabGivesItsBottomCornersWithTheirHeights) {
  const Pk_jump jump;
  const auto slab = zovtest::boxHull(MgcVector3(3.0, 0.5, 3.0), MgcMatrix3::IDENTITY, MgcVector3(0.0, -0.5, 0.0));
  const MgcMatrix3 R = turnAboutZ(10.0);
  const double rise = std::sin(10.0 * M_PI / 180.0);
  // The centre that puts the lowest corner (-0.5, -0.5) of the turned box h up.
  const auto centreAt = [&](double h) { return MgcVector3(0.0, h - (R * MgcVector3(-0.5, -0.5, 0.0)).y, 0.0); };
  const auto placed = [&](double h) { return zovtest::boxHull(kHalf, R, centreAt(h)); };
  struct Case {
    double h;
    double reach;
    int count;
  };
  for (const Case& c : {Case{0.02, 0.5, 4}, Case{0.02, 0.1, 2}, Case{0.3, 0.25, 0}}) {
    SCOPED_TRACE(c.reach);
    const auto box = placed(c.h);
    zovtest::ContactArrays arrays;
    JumpState state = freshJumpState();
    const bool found = jump.meshMeshNearContacts(box.get(), slab.get(), c.reach, state, arrays.out());
    EXPECT_EQ(found, c.count > 0);
    if (!found) continue;
    ASSERT_EQ(static_cast<int>(arrays.count), c.count);
    EXPECT_NEAR(arrays.normals[0].y, 1.0, 1e-12);
    for (std::uint32_t k = 0; k < arrays.count; ++k) {
      // On the box's bottom face, at its own height over the slab.
      EXPECT_NEAR((R.Transpose() * (arrays.points[k] - centreAt(c.h))).y, -0.5, 1e-9);
      EXPECT_NEAR(arrays.depths[k], arrays.points[k].y, 1e-9);
      const bool lowEdge = std::fabs(arrays.depths[k] - c.h) < 1e-9;
      const bool highEdge = std::fabs(arrays.depths[k] - (c.h + rise)) < 1e-9;
      EXPECT_TRUE(lowEdge || highEdge) << arrays.depths[k];
    }
  }
  const auto touching = placed(0.0);
  MgcVector3 points[kMaxPolygonClipPoints];
  double gaps[kMaxPolygonClipPoints];
  MgcVector3 normal;
  const std::uint32_t n =
      jump.meshMeshFacingPoints(touching.get(), slab.get(), MgcVector3(0.0, 1.0, 0.0), 0.5, 1e-3, points, gaps, normal);
  ASSERT_EQ(n, 2u);
  EXPECT_NEAR(normal.y, 1.0, 1e-12);
  for (std::uint32_t k = 0; k < n; ++k) EXPECT_NEAR(gaps[k], rise, 1e-9);
}

// A tile 2 long and 0.2 thick lying nearly flat over a wide slab, its low
// edge a hair above it, at places along the slab: the distance search's
// simplex is a long thin face of the difference shape, where rounding
// stalls it a nanometre or two short of the distance. The hulls still stand
// the edge's height apart, and the near contacts are the corners of the
// face over the slab, two at that height and two at the far edge's, h + 2
// cos(tilt) (a stalled search answered touching, and the pair test then
// found the tile neither touching the slab nor near it).
TEST(MeshMeshDistance, ATileLyingNearlyFlatAHairAboveASlabStandsItsHeightApart) {
  const Pk_jump jump;
  const auto slab = zovtest::boxHull(MgcVector3(10.0, 0.5, 10.0), MgcMatrix3::IDENTITY, MgcVector3(0.0, -0.5, 0.0));
  const struct {
    double tilt;
    double h;
    double x;
  } cases[] = {{80.0, 1.2e-5, 3.1}, {84.44, 1.2e-5, 3.1}, {89.25, 1.2e-5, 3.1}, {87.0, 1e-4, 0.1}, {85.0, 1e-3, -4.9}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.tilt << " degrees, " << c.h << " m up at x " << c.x);
    const MgcMatrix3 R = turnAboutZ(-c.tilt);
    const MgcVector3 lowEdge(c.x, c.h, 0.0);
    const auto tile = zovtest::boxHull(MgcVector3(0.1, 1.0, 0.5), R, lowEdge + R * MgcVector3(-0.1, 1.0, 0.0));
    JumpState state = freshJumpState();
    EXPECT_NEAR(jump.meshMeshDistance(tile.get(), slab.get(), 0.5, state), c.h, 1e-8);
    zovtest::ContactArrays arrays;
    state = freshJumpState();
    ASSERT_TRUE(jump.meshMeshNearContacts(tile.get(), slab.get(), 0.5, state, arrays.out()));
    ASSERT_EQ(arrays.count, 4u);
    const double far = c.h + 2.0 * std::cos(c.tilt * M_PI / 180.0);
    int low = 0;
    int high = 0;
    for (std::uint32_t k = 0; k < arrays.count; ++k) {
      low += std::fabs(arrays.depths[k] - c.h) < 1e-8 ? 1 : 0;
      high += std::fabs(arrays.depths[k] - far) < 1e-8 ? 1 : 0;
    }
    EXPECT_EQ(low, 2);
    EXPECT_EQ(high, 2);
  }
}

// A tetrahedron's edge and the apex of a pyramid g beyond it, the apex over a
// point of the edge off its middle: the nearest features are a segment and a
// point, and no face of either looks along the line between them within 45
// degrees (the tetrahedron's faces stand 54.7 degrees from it, the
// pyramid's 63.4). In either order of the meshes the distance search gives
// the point of the edge and the apex, each on its own mesh, and the near
// contacts fall back on one contact: the first mesh's point, the normal from
// the second towards the first, the gap g.
TEST(MeshMeshDistance, AnEdgeAndAnApexGiveTheirOwnPointsAndOneContactOnTheFirst) {
  MgcMatrix3 R;
  R.FromAxisAngle(MgcVector3(1.0, 2.0, 3.0) / std::sqrt(14.0), 0.5);
  const MgcVector3 at(0.3, -0.2, 0.1);
  const double a = 0.5, g = 0.3, u = 0.2;
  // The edge (a, a, a) - (a, -a, -a) is the tetrahedron's side along +x.
  const auto tetrahedron =
      zovtest::placeHull(zovtest::convexHullMesh({{a, a, a}, {a, -a, -a}, {-a, a, -a}, {-a, -a, a}}), R, at);
  const MgcVector3 apex(a + g, u, u);
  const auto pyramid =
      zovtest::placeHull(zovtest::convexHullMesh(
                             {{0.0, 0.0, 0.0}, {1.0, 0.5, 0.5}, {1.0, -0.5, 0.5}, {1.0, 0.5, -0.5}, {1.0, -0.5, -0.5}}),
                         R, R * apex + at);
  const MgcVector3 onEdge = R * MgcVector3(a, u, u) + at;
  const MgcVector3 onApex = R * apex + at;
  const Pk_jump jump;
  for (const bool edgeFirst : {true, false}) {
    SCOPED_TRACE(edgeFirst ? "edge first" : "apex first");
    const zovtest::HullVolume& first = edgeFirst ? tetrahedron : pyramid;
    const zovtest::HullVolume& second = edgeFirst ? pyramid : tetrahedron;
    const MgcVector3 pointA = edgeFirst ? onEdge : onApex;
    const MgcVector3 pointB = edgeFirst ? onApex : onEdge;
    const HullView hullA(first.get());
    const HullView hullB(second.get());
    const MeshSide sideA(hullA);
    const MeshSide sideB(hullB);
    const SidesSupport<MeshSide, MeshSide> shapes(sideA, sideB);
    const DistanceResult found = searchDistance(shapes, hullB.center() - hullA.center(), 0, 0, 1.0);
    ASSERT_TRUE(found.apart);
    EXPECT_NEAR(found.distance, g, 1e-9);
    EXPECT_NEAR((found.pointA - pointA).Length(), 0.0, 1e-9);
    EXPECT_NEAR((found.pointB - pointB).Length(), 0.0, 1e-9);
    zovtest::ContactArrays arrays;
    JumpState state = freshJumpState();
    ASSERT_TRUE(jump.meshMeshNearContacts(first.get(), second.get(), 1.0, state, arrays.out()));
    ASSERT_EQ(arrays.count, 1u);
    EXPECT_NEAR((arrays.points[0] - pointA).Length(), 0.0, 1e-9);
    EXPECT_NEAR((arrays.normals[0] - (pointA - pointB) / g).Length(), 0.0, 1e-9);
    EXPECT_NEAR(arrays.depths[0], g, 1e-9);
  }
}

}  // namespace
