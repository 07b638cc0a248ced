#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "collision/narrowphase/NarrowPhaseFixtures.h"
#include "engine/collision/narrowphase/PkJump.h"
#include "geometry/BVbox.h"
#include "math/Tolerances.h"
#include "support/GeometryFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::Random;

namespace {

/// Pairs whose exact gap lies within this band of 0 may go either way.
constexpr double kBand = 1e-4;

TEST(PkJumpOverlap, RandomHullPairsAgreeWithSeparatingAxes) {
  Random random(7);
  const Pk_jump jump;
  int decided = 0;
  for (int trial = 0; trial < 1000; ++trial) {
    SCOPED_TRACE(trial);
    const auto a = zovtest::randomConvexShape(random, trial % 3, random.vector(-0.2, 0.2));
    const auto b = zovtest::randomConvexShape(random, (trial / 3) % 3, random.unitVector() * random.uniform(0.0, 2.5));
    const double gap =
        zovtest::separatingAxes(zovtest::convexPolyhedron(*a.mesh), zovtest::convexPolyhedron(*b.mesh)).gap;
    // Every other pair starts from a stale cache: any direction, any vertices.
    JumpState state;
    if (trial % 2 == 1) {
      state.direction = random.unitVector();
      state.vertexA = random.index(a.mesh->numVertices);
      state.vertexB = random.index(b.mesh->numVertices);
    }
    const int result = jump.meshMeshOverlap(a.get(), b.get(), state);
    if (result == 0) {
      EXPECT_GT(zovtest::gapAlong(*a.mesh, *b.mesh, state.direction), 0.0);
    }
    if (std::fabs(gap) < kBand) continue;
    ++decided;
    EXPECT_EQ(result, gap < 0.0 ? 1 : 0) << "gap " << gap;
  }
  EXPECT_GT(decided, 950);
}

TEST(PkJumpOverlap, BoxAndCapsuleTestsAgreeWithExactGaps) {
  Random random(11);
  const Pk_jump jump;
  for (int trial = 0; trial < 600; ++trial) {
    SCOPED_TRACE(trial);
    const auto mesh = zovtest::randomConvexShape(random, trial % 3, MgcVector3());
    ZOVbox record = zovtest::randomBox(random, 1.6, 0.1, 0.8);
    const BVbox box(&record);
    const ZOVcapsule capsule = zovtest::randomCapsule(random, 1.6, 1.5, 0.5);
    const auto boxMesh = zovtest::boxHull(record.extents, record.axes, record.center);

    JumpState state;
    const double boxGap =
        zovtest::separatingAxes(zovtest::convexPolyhedron(*mesh.mesh), zovtest::convexPolyhedron(record)).gap;
    if (std::fabs(boxGap) > kBand) {
      EXPECT_EQ(jump.meshBoxOverlap(mesh.get(), box, state), boxGap < 0.0 ? 1 : 0);
    }
    state = JumpState();
    const double capsuleGap = zovtest::capsuleGap(*mesh.mesh, capsule);
    if (std::fabs(capsuleGap) > kBand) {
      EXPECT_EQ(jump.meshVolumeOverlap(mesh.get(), capsule, state), capsuleGap < 0.0 ? 1 : 0);
    }
    state = JumpState();
    const double boxCapsuleGap = zovtest::capsuleGap(*boxMesh.mesh, capsule);
    if (std::fabs(boxCapsuleGap) > kBand) {
      EXPECT_EQ(jump.boxConvexOverlap(box, capsule, state), boxCapsuleGap < 0.0 ? 1 : 0);
    }
  }
}

TEST(PkJumpOverlap, CachedSeparatingDirectionAnswersAtOnce) {
  const auto a = zovtest::boxHull({0.5, 0.5, 0.5}, MgcMatrix3::IDENTITY, {0, 0, 0});
  const auto b = zovtest::boxHull({0.5, 0.5, 0.5}, MgcMatrix3::IDENTITY, {3, 0.2, 0});
  const Pk_jump jump;
  // Cached: the direction stays and the support pair spans the 2-unit gap.
  JumpState cached;
  cached.direction = MgcVector3::UNIT_X;
  EXPECT_EQ(jump.meshMeshOverlap(a.get(), b.get(), cached), 0);
  EXPECT_EQ(cached.direction, MgcVector3::UNIT_X);
  EXPECT_DOUBLE_EQ(cached.lastPoint.x, 2.0);
  EXPECT_EQ(cached.lastPoint, b.mesh->worldVertices[cached.vertexB] - a.mesh->worldVertices[cached.vertexA]);
  // Fresh: the search starts from centre to centre.
  JumpState fresh;
  EXPECT_EQ(jump.meshMeshOverlap(a.get(), b.get(), fresh), 0);
  const MgcVector3 expected = MgcVector3(3, 0.2, 0) / std::sqrt(9.04);
  EXPECT_NEAR((fresh.direction - expected).Length(), 0.0, 1e-12);
}

TEST(PkJumpOverlap, ShapesSharingTheirCentreOverlap) {
  const MgcVector3 centre(0.3, -0.2, 1.0);
  const MgcMatrix3 turn = Random(3).rotation();
  struct Case {
    const char* name;
    zovtest::HullVolume a, b;
  };
  Case cases[] = {
      {"a body and its twin", zovtest::boxHull({0.5, 0.3, 0.2}, turn, centre),
       zovtest::boxHull({0.5, 0.3, 0.2}, turn, centre)},
      {"a box inside a larger one", zovtest::boxHull({0.2, 0.2, 0.2}, MgcMatrix3::IDENTITY, centre),
       zovtest::boxHull({1, 1, 1}, turn, centre)},
      {"an icosahedron around a box", zovtest::icosahedronHull(0.7, turn, centre),
       zovtest::boxHull({0.4, 0.1, 0.3}, MgcMatrix3::IDENTITY, centre)},
  };
  const Pk_jump jump;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JumpState state;
    EXPECT_EQ(jump.meshMeshOverlap(c.a.get(), c.b.get(), state), 1);
    EXPECT_NEAR(state.direction.Length(), 1.0, 1e-12);
    // The contacts follow from there: the exact depth, no pass-through.
    zovtest::ContactArrays contacts;
    ASSERT_TRUE(jump.meshMeshContacts(c.a.get(), c.b.get(), state, contacts.out()));
    const double gap =
        zovtest::separatingAxes(zovtest::convexPolyhedron(*c.a.mesh), zovtest::convexPolyhedron(*c.b.mesh)).gap;
    EXPECT_NEAR(contacts.depths[0], gap, 1e-9);
  }
}

TEST(PkJumpOverlap, MeshPointsInsideCountsVerticesBySignedDistance) {
  // A flat quad in z = 0 whose third corner sinks 1e-3 below it.
  const auto quad = zovtest::placeHull(
      zovtest::polygonMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, -1e-3}, {0, 1, 0}}, {{0, 1, 2, 3}}), MgcMatrix3::IDENTITY, {});
  const auto flat = zovtest::placeHull(
      zovtest::polygonMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}}), MgcMatrix3::IDENTITY, {});
  const MgcVector3 up = MgcVector3::UNIT_Z;
  struct Case {
    const char* name;
    const zovtest::HullVolume& mesh;
    MgcVector3 planePoint;
    bool inside;
  };
  // The sunk corner counts however far the plane point lies from it.
  const Case cases[] = {
      {"all vertices on the plane", flat, {0.5, 0.5, 0}, false},
      {"1e-3 deep, 1 away", quad, {2, 1, 0}, true},
      {"1e-3 deep, 1000 away", quad, {1001, 1, 0}, true},
  };
  const Pk_jump jump;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JumpState state;
    state.vertexA = 7;
    EXPECT_EQ(jump.meshPointsInside(c.mesh.get(), c.planePoint, up, state), c.inside);
    EXPECT_EQ(state.vertexA, c.inside ? 2u : 7u);
    EXPECT_EQ(state.direction, c.inside ? up : MgcVector3());
  }
}

TEST(PkJumpOverlap, SupportSearches) {
  const ZOVcapsule capsule{{1, 2, 3}, {0, 0, 1}, 2.0, 0.5};
  // Across the axis the lower end is taken.
  EXPECT_EQ(Pk_jump::capsuleSupport(capsule, MgcVector3::UNIT_X), MgcVector3(1.5, 2, 2));
  EXPECT_EQ(Pk_jump::capsuleSupport(capsule, MgcVector3::UNIT_Z), MgcVector3(1, 2, 4.5));

  const auto box = zovtest::boxHull({1, 1, 1}, MgcMatrix3::IDENTITY, {});
  const BVmesh& volume = *box.get();
  // Vertex k has x, y, z = +1 where bit 0, 1, 2 of k is set.
  EXPECT_EQ(Pk_jump::meshSupport(volume, 0, MgcVector3(0.1, 0.2, 1)), 7u);
  EXPECT_EQ(Pk_jump::meshSupport(volume, zov::kNoIndex, MgcVector3(-1, -1, -1)), 0u);
  // Neighbours no higher than the start leave it in place.
  EXPECT_EQ(Pk_jump::meshSupport(volume, 4, MgcVector3::UNIT_Z), 4u);
}

}  // namespace
