#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "collision/narrowphase/NarrowPhaseFixtures.h"
#include "engine/collision/narrowphase/PkJump.h"
#include "geometry/ContactBuilders.h"
#include "math/MgcMatrix3.h"
#include "support/GeometryFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::ContactArrays;
using zovtest::Random;

namespace {

const MgcVector3 kHalf(0.5, 0.5, 0.5);
const MgcVector3 kUp(0, 0, 1);

TEST(MeshPlaneContacts, CubeOnPlaneTouchesAtItsLowestCorners) {
  MgcMatrix3 onEdge;
  onEdge.FromAxisAngle(MgcVector3::UNIT_X, M_PI / 4);
  // Turns the diagonal (1, 1, 1) onto the z axis: corner 0 lowest.
  MgcMatrix3 onCorner;
  onCorner.FromAxisAngle(MgcVector3(1, -1, 0) / std::sqrt(2.0), -std::acos(1 / std::sqrt(3.0)));
  const double sink = 0.005;
  struct Case {
    const char* name;
    MgcMatrix3 turn;
    double lowest;  // of the unturned cube's centre-to-corner heights
    std::uint32_t count;
  };
  // Flat, the deepest corner and two neighbours within 0.01 are listed; the
  // fourth is not.
  const Case cases[] = {{"flat", MgcMatrix3::IDENTITY, 0.5, 3},
                        {"on an edge", onEdge, 0.5 * std::sqrt(2.0), 2},
                        {"on a corner", onCorner, 0.5 * std::sqrt(3.0), 1},
                        {"above the plane", MgcMatrix3::IDENTITY, 0.6, 0}};
  const Pk_jump jump;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto cube = zovtest::boxHull(kHalf, c.turn, {0.3, -0.2, c.lowest - sink});
    JumpState state;
    ContactArrays contacts;
    const bool found = jump.meshPlaneContacts(cube.get(), {1, 2, 0}, kUp, state, contacts.out());
    if (c.count == 0) {
      EXPECT_FALSE(found);
      EXPECT_EQ(contacts.count, ContactArrays::kUntouched);
      continue;
    }
    ASSERT_TRUE(found);
    ASSERT_EQ(contacts.count, c.count);
    EXPECT_EQ(contacts.normals[0], kUp);
    EXPECT_NEAR(contacts.depths[0], -sink, 1e-12);
    for (std::uint32_t i = 0; i < contacts.count; ++i) {
      EXPECT_NEAR(contacts.points[i].z, -sink, 1e-12);
      for (std::uint32_t j = 0; j < i; ++j) EXPECT_GT((contacts.points[i] - contacts.points[j]).Length(), 0.9);
    }
    // A stale vertex in a cached state counts as vertex 0.
    state.vertexA = 1000;
    ASSERT_TRUE(jump.meshPlaneContacts(cube.get(), {1, 2, 0}, kUp, state, contacts.out()));
    EXPECT_EQ(contacts.count, c.count);
  }
}

// A cube leaning on the plane by up to the 0.01 height band about one of its
// bottom edges: the corners of that edge sink `sink`, the two others of the
// face stand up to 0.01 higher. Each listed corner's depth is its own height
// over the plane, not the deepest one's: the corners that stand above it are
// free to come down.
TEST(MeshPlaneContacts, CornersOfALeaningFaceEachTakeTheirOwnHeight) {
  const double sink = 0.002;
  const Pk_jump jump;
  for (const double height : {0.0, 0.001, 0.005, 0.009}) {
    SCOPED_TRACE(height);
    MgcMatrix3 lean;
    lean.FromAxisAngle(MgcVector3::UNIT_Y, std::asin(height));
    // The bottom face's corners at x = 0.5 (the edge) turn to -sink.
    const MgcVector3 edge = lean * MgcVector3(0.5, 0.0, -0.5);
    const auto cube = zovtest::boxHull(kHalf, lean, MgcVector3(0.1, 0.2, -sink - edge.z));
    JumpState state;
    ContactArrays contacts;
    ASSERT_TRUE(jump.meshPlaneContacts(cube.get(), {0, 0, 0}, kUp, state, contacts.out()));
    ASSERT_GE(contacts.count, 2u);
    double deepest = 1.0;
    for (std::uint32_t i = 0; i < contacts.count; ++i) {
      EXPECT_NEAR(contacts.depths[i], contacts.points[i].z, 1e-12) << i;
      EXPECT_LE(contacts.depths[i], -sink + height + 1e-12) << i;
      deepest = std::min(deepest, contacts.depths[i]);
    }
    EXPECT_NEAR(deepest, -sink, 1e-12);
  }
}

TEST(MeshPlaneContacts, CapsuleAgainstPlaneDepthIsItsLowestPoint) {
  Random random(17);
  for (int i = 0; i < 200; ++i) {
    // Capsules shorter than 1e-5 squared count as spheres at their upper end.
    ZOVcapsule capsule = zovtest::randomCapsule(random, 2.0, 2.0, 0.6);
    capsule.length += 0.01;
    const MgcVector3 normal = random.unitVector();
    const MgcVector3 point = random.vector(-1, 1);
    MgcVector3 points[kMaxCapsuleContacts];
    MgcVector3 contactNormal;
    std::uint32_t count = 0;
    double depth = 0.0;
    capsulePlaneContact(capsule, point, normal, points, contactNormal, count, depth);
    const double expected = (capsule.center - point).Dot(normal) - capsule.radius -
                            0.5 * capsule.length * std::fabs(capsule.axis.Dot(normal));
    EXPECT_NEAR(depth, expected, 1e-12);
  }
}

TEST(MeshVolumeContacts, CapsuleLyingAlongAFaceTouchesAtBothEnds) {
  const auto slab = zovtest::boxHull({5, 5, 1}, MgcMatrix3::IDENTITY, {0, 0, -1});
  const double radius = 0.3;
  const ZOVcapsule capsule{{0.4, 0.7, radius - 0.05}, {1, 0, 0}, 2.0, radius};
  JumpState state;
  ContactArrays c;
  ASSERT_TRUE(Pk_jump().meshVolumeContacts(slab.get(), capsule, state, c.out()));
  ASSERT_EQ(c.count, 2u);
  EXPECT_NEAR((c.normals[0] + kUp).Length(), 0.0, 1e-9);
  EXPECT_NEAR(c.depths[0], -0.05, 1e-6);
  const double xs[2] = {c.points[0].x, c.points[1].x};
  // The ends come from support points of the round capsule, found to the
  // polytope search's tolerance.
  EXPECT_NEAR(std::min(xs[0], xs[1]), -0.6, 1e-3);
  EXPECT_NEAR(std::max(xs[0], xs[1]), 1.4, 1e-3);
  for (const MgcVector3& p : {c.points[0], c.points[1]})
    EXPECT_NEAR(zovtest::signedDistanceToHull(*slab.mesh, p), 0.0, 1e-6);
}

TEST(MeshVolumeContacts, CapsuleEndOnAVertexTakesTheVertexNormal) {
  const auto cube = zovtest::boxHull(kHalf, MgcMatrix3::IDENTITY, {});
  const ZOVcapsule capsule{{1, 1, 1}, {1, 1, 1}, 0.5, 0.2};
  std::uint32_t list[3] = {7, 0, 0};
  std::uint32_t count = 1;
  const MgcVector3 touching[2] = {kHalf, kHalf};
  ContactArrays c;
  Pk_jump().meshVolumeFeatureContacts(*cube.get(), capsule, list, count, touching, 1, c.out());
  ASSERT_EQ(c.count, 1u);
  EXPECT_EQ(c.points[0], kHalf);
  EXPECT_NEAR((c.normals[0] + MgcVector3(1, 1, 1) / std::sqrt(3.0)).Length(), 0.0, 1e-12);
  EXPECT_EQ(c.depths[0], 0.0);
}

TEST(MeshVolumeContacts, RandomCapsulesKeepTheConventions) {
  Random random(23);
  const Pk_jump jump;
  int compared = 0;
  for (int trial = 0; trial < 1000; ++trial) {
    const auto mesh = zovtest::randomConvexShape(random, trial % 3, MgcVector3());
    const ZOVcapsule capsule = zovtest::randomCapsule(random, 1.2, 1.5, 0.5);
    const double gap = zovtest::capsuleGap(*mesh.mesh, capsule);
    if (gap > -1e-4) continue;
    SCOPED_TRACE(trial);
    ++compared;
    JumpState state;
    ContactArrays c;
    ASSERT_TRUE(jump.meshVolumeContacts(mesh.get(), capsule, state, c.out()));
    ASSERT_GE(c.count, 1u);
    ASSERT_LE(c.count, 2u);
    EXPECT_NEAR(c.normals[0].Length(), 1.0, 1e-9);
    // Penetration gives a negative depth; where the capsule lies along a
    // face its two points give the exact one. (Edge contacts measure along
    // the edge's mean normal instead.)
    EXPECT_LT(c.depths[0], 0.0);
    if (c.count == 2) {
      EXPECT_NEAR(c.depths[0], gap, 1e-3);
    }
    // Points lie on A's surface, or, for a single point, on the plane of one
    // of its faces: a capsule point's shadow on a face's plane or edge's line
    // is not clamped to the face or edge.
    for (std::uint32_t i = 0; i < c.count; ++i) {
      double nearestPlane = HUGE_VAL;
      for (std::uint32_t f = 0; f < mesh.mesh->numFaces; ++f) {
        const MgcVector3& corner = mesh.mesh->worldVertices[mesh.mesh->faces[f].vertices[0]];
        nearestPlane = std::min(nearestPlane, std::fabs((c.points[i] - corner).Dot(mesh.mesh->worldFaceNormals[f])));
      }
      EXPECT_LT(nearestPlane, 1e-9);
      if (c.count == 2) {
        EXPECT_NEAR(zovtest::signedDistanceToHull(*mesh.mesh, c.points[i]), 0.0, 1e-6);
      }
    }
  }
  EXPECT_GT(compared, 300);
}

}  // namespace
