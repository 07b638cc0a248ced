#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "collision/narrowphase/NarrowPhaseFixtures.h"
#include "engine/collision/narrowphase/PkJump.h"
#include "engine/collision/narrowphase/PolytopeSearch.h"
#include "math/MgcMatrix3.h"
#include "math/MgcQuaternion.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::ContactArrays;
using zovtest::HullVolume;
using zovtest::Random;

namespace {

/// The contact conventions: 1 to 32 points on A's surface, one unit normal,
/// faces of both meshes.
void expectConventions(const ContactArrays& c, const ZOVmesh& a, const ZOVmesh& b) {
  ASSERT_GE(c.count, 1u);
  ASSERT_LE(c.count, kMaxJumpContacts);
  EXPECT_NEAR(c.normals[0].Length(), 1.0, 1e-9);
  EXPECT_LT(c.facesA[0], a.numFaces);
  EXPECT_LT(c.facesB[0], b.numFaces);
  for (std::uint32_t i = 0; i < c.count; ++i) EXPECT_NEAR(zovtest::signedDistanceToHull(a, c.points[i]), 0.0, 1e-6);
}

TEST(MeshMeshContacts, RandomOverlappingHullsMatchSeparatingAxes) {
  Random random(5);
  const Pk_jump jump;
  const double cosOneDegree = std::cos(M_PI / 180.0);
  int compared = 0;
  for (int trial = 0; trial < 1500; ++trial) {
    const auto a = zovtest::randomConvexShape(random, trial % 3, random.vector(-0.2, 0.2));
    const auto b = zovtest::randomConvexShape(random, (trial / 3) % 3, random.unitVector() * random.uniform(0.0, 1.5));
    const zovtest::SatResult sat =
        zovtest::separatingAxes(zovtest::convexPolyhedron(*a.mesh), zovtest::convexPolyhedron(*b.mesh));
    if (sat.gap > -1e-4) continue;
    SCOPED_TRACE(trial);
    ++compared;
    JumpState state;
    ContactArrays c;
    ASSERT_TRUE(jump.meshMeshContacts(a.get(), b.get(), state, c.out()));
    expectConventions(c, *a.mesh, *b.mesh);
    // Bodies are 0.2 to 2 across: the deepest contact within 1e-3 of the
    // exact depth. An edge leaning along a face has a contact at each end,
    // each at its own height.
    EXPECT_NEAR(*std::min_element(c.depths, c.depths + c.count), sat.gap, 1e-3);
    if (sat.runnerUpDepth + sat.gap > 1e-3) {
      EXPECT_GT(c.normals[0].Dot(sat.normal), cosOneDegree);
    }
  }
  EXPECT_GT(compared, 700);
}

TEST(MeshMeshContacts, FlatFacesSunkIntoEachOtherGiveTheOverlapCorners) {
  struct Case {
    const char* name;
    MgcVector3 halfB, centreB;
    std::vector<MgcVector3> corners;
  };
  const Case cases[] = {
      {"unit square sunk 0.1 into a slab",
       {5, 5, 0.5},
       {0, 0, -0.5},
       {{-.5, -.5, -.1}, {.5, -.5, -.1}, {.5, .5, -.1}, {-.5, .5, -.1}}},
      {"two unit cubes stacked, sunk 0.1",
       {.5, .5, .5},
       {0, 0, -0.5},
       {{-.5, -.5, -.1}, {.5, -.5, -.1}, {.5, .5, -.1}, {-.5, .5, -.1}}},
      {"half overlapping footprints",
       {.5, .5, .5},
       {0.5, 0, -0.5},
       {{0, -.5, -.1}, {.5, -.5, -.1}, {.5, .5, -.1}, {0, .5, -.1}}},
      // The sides cross at x = -0.2 and y = -0.3, away from the middles of
      // both squares' sides.
      {"footprints overlapping at a corner",
       {.5, .5, .5},
       {0.3, 0.2, -0.5},
       {{-.2, -.3, -.1}, {.5, -.3, -.1}, {.5, .5, -.1}, {-.2, .5, -.1}}},
      {"a narrow slab across a corner",
       {.5, .15, .5},
       {0.35, -0.4, -0.5},
       {{-.15, -.5, -.1}, {.5, -.5, -.1}, {.5, -.25, -.1}, {-.15, -.25, -.1}}},
  };
  const Pk_jump jump;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto a = zovtest::boxHull({.5, .5, .5}, MgcMatrix3::IDENTITY, {0, 0, 0.4});
    const auto b = zovtest::boxHull(c.halfB, MgcMatrix3::IDENTITY, c.centreB);
    JumpState state;
    ContactArrays contacts;
    ASSERT_TRUE(jump.meshMeshContacts(a.get(), b.get(), state, contacts.out()));
    expectConventions(contacts, *a.mesh, *b.mesh);
    EXPECT_NEAR(contacts.depths[0], -0.1, 1e-12);
    EXPECT_EQ(contacts.normals[0], MgcVector3::UNIT_Z);
    ASSERT_EQ(contacts.count, c.corners.size());
    for (const MgcVector3& corner : c.corners) {
      double nearest = HUGE_VAL;
      for (std::uint32_t i = 0; i < contacts.count; ++i)
        nearest = std::min(nearest, (contacts.points[i] - corner).Length());
      EXPECT_LT(nearest, 1e-12);
    }
  }
}

// A unit cube leaning by theta about y (within the flush tolerance, cos theta
// above 0.99999) on a unit cube shifted 0.6 along -x: the faces overlap for
// world x in [-0.5, -0.1], where A's face is deepest at x = -0.1, sunk d
// below B's top (z = 0), and rises towards x = -0.5. Each contact lies on
// A's face with its own height over B's top as its depth: the deepest is
// -d, not A's lowest corner's, which lies outside B's face, 0.6 tan(theta)
// deeper; the others stand up to 0.4 tan(theta) higher.
TEST(MeshMeshContacts, LeaningFlushFacesGiveEachContactItsOwnHeightOverTheOtherFace) {
  const Pk_jump jump;
  const double d = 1e-4;
  for (const double theta : {0.0, 0.001, 0.003, 0.0044}) {
    SCOPED_TRACE(theta);
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    // The point of A's bottom face (z = -0.5 in A's frame) at world x = -0.1.
    const double xa = (-0.1 + 0.5 * s) / c;
    const double cz = -d + xa * s + 0.5 * c;
    const MgcMatrix3 R(c, 0.0, s, 0.0, 1.0, 0.0, -s, 0.0, c);
    const auto a = zovtest::boxHull({.5, .5, .5}, R, {0.0, 0.0, cz});
    const auto b = zovtest::boxHull({.5, .5, .5}, MgcMatrix3::IDENTITY, {-0.6, 0.0, -0.5});
    JumpState state;
    ContactArrays contacts;
    ASSERT_TRUE(jump.meshMeshContacts(a.get(), b.get(), state, contacts.out()));
    expectConventions(contacts, *a.mesh, *b.mesh);
    EXPECT_EQ(contacts.count, 4u);
    EXPECT_NEAR(contacts.normals[0].z, 1.0, 1e-12);
    double deepest = 1.0;
    for (std::uint32_t i = 0; i < contacts.count; ++i) {
      // On A's bottom face, over B's top.
      const MgcVector3 local = R.Transpose() * (contacts.points[i] - MgcVector3(0.0, 0.0, cz));
      EXPECT_NEAR(local.z, -0.5, 1e-12) << i;
      EXPECT_LE(contacts.points[i].x, -0.1 + 1e-12) << i;
      EXPECT_NEAR(contacts.depths[i], contacts.points[i].z, 1e-12) << i;
      deepest = std::min(deepest, contacts.depths[i]);
    }
    EXPECT_NEAR(deepest, -d, 1e-12);
  }
}

// The nearest feature of the final polytope face: with the origin on the
// face's plane and on one of its sides, the face (plane distance 0) ties
// with that side and wins. With a normal tilted off the plane the plane
// distance grows and the side the origin lies on is the nearest feature.
TEST(MeshMeshContacts, OriginOnAFaceSideNamesTheFaceOrThatSide) {
  // The origin lies on side 1 (p1 to p2) at a quarter of its length.
  const MgcVector3 onSide1[3] = {{1, 2, 0}, {-1, 0, 0}, {3, 0, 0}};
  // The origin lies on side 2 (p2 to p0) at a third of its length.
  const MgcVector3 onSide2[3] = {{2, 0, 0}, {0, 3, 0}, {-1, 0, 0}};
  // The origin lies on side 0 (p0 to p1) at a fifth of its length.
  const MgcVector3 onSide0[3] = {{-1, -1, 0}, {4, 4, 0}, {0, 3, 0}};
  // The origin is corner 2.
  const MgcVector3 atCorner2[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 0}};
  const MgcVector3 flat(0, 0, 1), tilted(0, 0.6, 0.8), leaning(0.6, 0, 0.8);
  struct Case {
    const char* name;
    const MgcVector3* points;
    MgcVector3 normal;
    std::vector<std::uint32_t> records;
  };
  const Case cases[] = {
      {"on side 1", onSide1, flat, {0, 1, 2}},
      {"on side 2", onSide2, flat, {0, 1, 2}},
      {"on side 0", onSide0, flat, {0, 1, 2}},
      {"at corner 2", atCorner2, flat, {0, 1, 2}},
      {"on side 1, tilted normal", onSide1, tilted, {1, 2}},
      {"on side 2, tilted normal", onSide2, leaning, {2, 0}},
      {"on side 0, tilted normal", onSide0, leaning, {0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PolytopeResult face;
    for (int i = 0; i < 3; ++i) face.face[i].point = c.points[i];
    face.normal = c.normal;
    face.found = true;
    std::uint32_t records[3] = {9, 9, 9};
    const std::uint32_t count = nearestFeatureRecords(face, records);
    EXPECT_EQ(std::vector<std::uint32_t>(records, records + count), c.records);
  }
}

/// The contacts of the feature pair named by two vertex lists; `resolvedA`
/// receives A's list as the rules left it.
ContactArrays featureContacts(const HullVolume& a, const HullVolume& b, std::vector<std::uint32_t> listA,
                              std::vector<std::uint32_t> listB, std::vector<std::uint32_t>* resolvedA = nullptr) {
  std::uint32_t la[3] = {};
  std::uint32_t lb[3] = {};
  std::copy(listA.begin(), listA.end(), la);
  std::copy(listB.begin(), listB.end(), lb);
  std::uint32_t countA = static_cast<std::uint32_t>(listA.size());
  std::uint32_t countB = static_cast<std::uint32_t>(listB.size());
  ContactArrays c;
  Pk_jump().meshMeshFeatureContacts(*a.get(), *b.get(), la, countA, lb, countB, c.out());
  if (resolvedA != nullptr) resolvedA->assign(la, la + countA);
  return c;
}

// Box vertex k has x, y, z = +half where bit 0, 1, 2 of k is set.
const MgcVector3 kHalf(0.5, 0.5, 0.5);

TEST(MeshMeshContacts, VertexPairs) {
  const auto a = zovtest::boxHull(kHalf, MgcMatrix3::IDENTITY, {0, 0, 0});
  // Corners 7 of A and 0 of B coincide: B's corner normal, depth 0.
  const auto touching = zovtest::boxHull(kHalf, MgcMatrix3::IDENTITY, {1, 1, 1});
  ContactArrays c = featureContacts(a, touching, {7}, {0});
  ASSERT_EQ(c.count, 1u);
  EXPECT_EQ(c.points[0], kHalf);
  EXPECT_NEAR((c.normals[0] - MgcVector3(-1, -1, -1) / std::sqrt(3.0)).Length(), 0.0, 1e-12);
  EXPECT_EQ(c.depths[0], 0.0);
  // 0.2 apart: the normal runs from A's corner to B's.
  const auto apart = zovtest::boxHull(kHalf, MgcMatrix3::IDENTITY, {1.2, 1, 1});
  c = featureContacts(a, apart, {7}, {0});
  ASSERT_EQ(c.count, 1u);
  EXPECT_NEAR((c.normals[0] - MgcVector3::UNIT_X).Length(), 0.0, 1e-12);
  EXPECT_NEAR(c.depths[0], -0.2, 1e-12);
}

TEST(MeshMeshContacts, EdgesAgainstFaces) {
  const double h = 0.5;
  const double lift = h * std::sqrt(2.0) - 0.1;  // a cube on its edge, sunk 0.1
  MgcMatrix3 onEdge;
  onEdge.FromAxisAngle(MgcVector3::UNIT_X, M_PI / 4);
  MgcMatrix3 tilt;
  tilt.FromAxisAngle(MgcVector3::UNIT_Y, 0.2);
  const auto slabBelow = zovtest::boxHull({5, 5, 1}, MgcMatrix3::IDENTITY, {0, 0, -1});
  const auto slabAbove = zovtest::boxHull({5, 5, 1}, MgcMatrix3::IDENTITY, {0, 0, 1});
  // Edge 0-1 (along x) is the cube's lowest, edge 6-7 its highest.
  const auto resting = zovtest::boxHull(kHalf, onEdge, {0, 0, lift});
  const auto hanging = zovtest::boxHull(kHalf, onEdge, {0, 0, -lift});
  const auto tilted = zovtest::boxHull(kHalf, tilt * onEdge, {0, 0, lift});
  struct Case {
    const char* name;
    const HullVolume &a, &b;
    std::vector<std::uint32_t> listA, listB;
    std::uint32_t count;
    MgcVector3 normal;
    double height;  // of the points
  };
  const Case cases[] = {
      {"edge of A along B's face: its clipped ends",
       resting,
       slabBelow,
       {0, 1},
       {4, 5, 7},
       2,
       MgcVector3::UNIT_Z,
       -0.1},
      {"edge of A across B's face: one point", tilted, slabBelow, {0, 1}, {4, 5, 7}, 1, MgcVector3::UNIT_Z, 0.0},
      {"face of A against B's edge along it", slabAbove, hanging, {0, 2, 3}, {6, 7}, 2, MgcVector3::UNIT_Z, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ContactArrays contacts = featureContacts(c.a, c.b, c.listA, c.listB);
    ASSERT_EQ(contacts.count, c.count);
    EXPECT_NEAR((contacts.normals[0] - c.normal).Length(), 0.0, 1e-12);
    // The points lie on A: the ends of its sunk edge, the crossing of its
    // tilted edge with B's face, the ends of B's edge moved onto A's face.
    for (std::uint32_t i = 0; i < contacts.count; ++i) {
      EXPECT_NEAR(zovtest::signedDistanceToHull(*c.a.mesh, contacts.points[i]), 0.0, 1e-12);
      EXPECT_NEAR(contacts.points[i].z, c.height, 1e-12);
      if (c.count == 2) {
        EXPECT_NEAR(std::fabs(contacts.points[i].x), h, 1e-12);
      }
    }
    if (c.count == 2) {
      EXPECT_NEAR(contacts.depths[0], -0.1, 1e-12);
    }
  }
}

TEST(MeshMeshContacts, VertexListsBecomeFaces) {
  const auto a = zovtest::boxHull(kHalf, MgcMatrix3::IDENTITY, {0, 0, 0});
  // Diagonal corners of the bottom face: that face, as its first three corners.
  const auto below = zovtest::boxHull({5, 5, 0.5}, MgcMatrix3::IDENTITY, {0, 0, -0.9});
  std::vector<std::uint32_t> resolved;
  ContactArrays c = featureContacts(a, below, {0, 3}, {4, 5, 7}, &resolved);
  EXPECT_EQ(resolved, (std::vector<std::uint32_t>{0, 2, 3}));
  EXPECT_EQ(c.count, 4u);
  // Faces side by side share no area: no contact.
  const auto beside = zovtest::boxHull(kHalf, MgcMatrix3::IDENTITY, {3, 0, -0.9});
  c = featureContacts(a, beside, {0, 2, 3}, {4, 5, 7});
  EXPECT_EQ(c.count, 0u);
}

// A box set down flat can reach the rules as one corner on a face: a face
// around that corner lying flush against the face makes them a face pair,
// whose contacts are the corners of the touching area; a corner whose faces
// all stand at an angle keeps its one point.
TEST(MeshMeshContacts, ACornerOnAFaceWithItsOwnFaceFlushGivesTheWholeArea) {
  const auto a = zovtest::boxHull(kHalf, MgcMatrix3::IDENTITY, {0, 0, 0});
  const auto slab = zovtest::boxHull({5, 5, 0.5}, MgcMatrix3::IDENTITY, {0, 0, -0.9});
  for (const std::vector<std::uint32_t>& corner : {std::vector<std::uint32_t>{0}, std::vector<std::uint32_t>{3}}) {
    ContactArrays c = featureContacts(a, slab, corner, {4, 5, 7});
    ASSERT_EQ(c.count, 4u);
    EXPECT_EQ(c.normals[0], MgcVector3::UNIT_Z);
    EXPECT_NEAR(c.depths[0], -0.1, 1e-12);
    for (std::uint32_t i = 0; i < c.count; ++i) {
      EXPECT_NEAR(std::fabs(c.points[i].x), 0.5, 1e-12);
      EXPECT_NEAR(std::fabs(c.points[i].y), 0.5, 1e-12);
      EXPECT_NEAR(c.points[i].z, -0.5, 1e-12);
    }
  }
  MgcMatrix3 tilted;
  tilted.FromAxisAngle(MgcVector3(1.0, 1.0, 0.0) / std::sqrt(2.0), 0.1);
  const auto leaning = zovtest::boxHull(kHalf, tilted, {0, 0, 0});
  EXPECT_EQ(featureContacts(leaning, slab, {0}, {4, 5, 7}).count, 1u);
}

// A box leaning on a face with one of its edges (a falling domino on the
// next one) can reach the rules as one end of that edge: an edge of the
// corner lying along the face, to within 0.6 degrees, makes them an edge on
// a face, whose contacts are the edge's two ends, each at its own height over
// the face; an edge at a clear angle keeps its one point. With the face's
// hull first, the points lie on the face, under the edge's ends.
TEST(MeshMeshContacts, ACornerOfAnEdgeAlongAFaceGivesBothEndsOfTheEdge) {
  const double lift = 0.5 * std::sqrt(2.0) - 0.1;  // a cube on its edge, sunk 0.1
  MgcMatrix3 onEdge;
  onEdge.FromAxisAngle(MgcVector3::UNIT_X, M_PI / 4);
  const auto slab = zovtest::boxHull({5, 5, 1}, MgcMatrix3::IDENTITY, {0, 0, -1});
  struct Case {
    double tilt;  // about y, radians
    std::uint32_t count;
  };
  for (const Case& c : {Case{0.0, 2}, Case{5e-4, 2}, Case{8e-3, 2}, Case{0.015, 1}, Case{0.2, 1}}) {
    SCOPED_TRACE(c.tilt);
    MgcMatrix3 tilt;
    tilt.FromAxisAngle(MgcVector3::UNIT_Y, c.tilt);
    const auto box = zovtest::boxHull(kHalf, tilt * onEdge, {0, 0, lift});
    // The lowest edge runs from corner 0 to corner 1.
    const double deepest = std::min(box.mesh->worldVertices[0].z, box.mesh->worldVertices[1].z);
    for (const std::uint32_t corner : {0u, 1u}) {
      const ContactArrays contacts = featureContacts(box, slab, {corner}, {4, 5, 7});
      ASSERT_EQ(contacts.count, c.count);
      EXPECT_NEAR((contacts.normals[0] - MgcVector3::UNIT_Z).Length(), 0.0, 1e-12);
      if (c.count == 1) {
        EXPECT_NEAR((contacts.points[0] - box.mesh->worldVertices[corner]).Length(), 0.0, 1e-12);
        continue;
      }
      // The ends of the edge, each as deep as it lies under the slab's top
      // (z = 0).
      EXPECT_NEAR(std::min(contacts.depths[0], contacts.depths[1]), deepest, 1e-12);
      for (std::uint32_t i = 0; i < 2; ++i) {
        EXPECT_NEAR(contacts.depths[i], contacts.points[i].z, 1e-12) << i;
        const double toEnd = std::min((contacts.points[i] - box.mesh->worldVertices[0]).Length(),
                                      (contacts.points[i] - box.mesh->worldVertices[1]).Length());
        EXPECT_NEAR(toEnd, 0.0, 1e-12);
      }
      EXPECT_GT((contacts.points[0] - contacts.points[1]).Length(), 0.99);
      const ContactArrays onFace = featureContacts(slab, box, {4, 5, 7}, {corner});
      ASSERT_EQ(onFace.count, 2u);
      EXPECT_NEAR((onFace.normals[0] + MgcVector3::UNIT_Z).Length(), 0.0, 1e-12);
      for (std::uint32_t i = 0; i < 2; ++i) {
        EXPECT_NEAR(onFace.points[i].z, 0.0, 1e-12) << i;
        const MgcVector3 end = onFace.points[i] + MgcVector3::UNIT_Z * onFace.depths[i];
        const double toEnd =
            std::min((end - box.mesh->worldVertices[0]).Length(), (end - box.mesh->worldVertices[1]).Length());
        EXPECT_NEAR(toEnd, 0.0, 1e-12) << i;
      }
    }
  }
}

// Unit boxes side by side along x, their facing faces a few micrometres into
// each other and each turned by a few microradians, as two boxes of a row
// set down touching end up: the polytope search ends on a face that crosses
// the difference shape, whose records name the boxes' far faces. Contacts
// along a normal the boxes barely overlap along (by the separating axes'
// depth) may come out, or none; never contacts a box's width deep or apart.
TEST(MeshMeshContacts, BoxesThatBarelyTouchSideBySideGiveNoContactsOnTheirFarSides) {
  const Pk_jump jump;
  const struct {
    Mgc::Quaternion turnA;
    MgcVector3 atA;
    Mgc::Quaternion turnB;
    MgcVector3 atB;
  } cases[] = {
      {{0.99999999999969524, 4.8835092246109979e-08, 7.7777914362654279e-07, 4.7872208147948499e-08},
       {3.5000128941786146, 1.4999482240641762, 4.5715433671894826e-06},
       {0.99999999998607414, 1.338000885864761e-06, -2.1894826788299144e-06, -4.6117077832468536e-06},
       {2.5000075977400673, 1.4999474956007388, -8.9562367173188732e-06}},
      {{1.0, 0.0, 0.0, 0.0}, {1.0 - 2e-6, 0.0, 0.0}, {0.99999999999, 3e-6, -2e-6, 1e-6}, {0.0, 1e-6, 0.0}},
  };
  for (const auto& c : cases) {
    MgcMatrix3 RA;
    MgcMatrix3 RB;
    c.turnA.ToRotationMatrix(RA);
    c.turnB.ToRotationMatrix(RB);
    const auto a = zovtest::boxHull(kHalf, RA, c.atA);
    const auto b = zovtest::boxHull(kHalf, RB, c.atB);
    const double depth =
        -zovtest::separatingAxes(zovtest::convexPolyhedron(*a.mesh), zovtest::convexPolyhedron(*b.mesh)).gap;
    ASSERT_GT(depth, 0.0);
    ASSERT_LT(depth, 1e-5);
    JumpState state;
    ContactArrays contacts;
    if (!jump.meshMeshContacts(a.get(), b.get(), state, contacts.out())) continue;
    expectConventions(contacts, *a.mesh, *b.mesh);
    for (std::uint32_t i = 0; i < contacts.count; ++i) EXPECT_LT(std::fabs(contacts.depths[i]), 1e-3) << i;
  }
}

TEST(MeshMeshContacts, ApartOrMissingMeshesLeaveTheOutputs) {
  const auto a = zovtest::boxHull(kHalf, MgcMatrix3::IDENTITY, {0, 0, 0});
  const auto b = zovtest::boxHull(kHalf, MgcMatrix3::IDENTITY, {0, 2, 0});
  const Pk_jump jump;
  JumpState state;
  ContactArrays c;
  EXPECT_FALSE(jump.meshMeshContacts(a.get(), b.get(), state, c.out()));
  EXPECT_EQ(c.count, ContactArrays::kUntouched);
  EXPECT_GT(zovtest::gapAlong(*a.mesh, *b.mesh, state.direction), 0.9);
  EXPECT_FALSE(jump.meshMeshContacts(nullptr, b.get(), state, c.out()));
  EXPECT_EQ(c.count, ContactArrays::kUntouched);
}

}  // namespace
