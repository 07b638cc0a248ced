// The pair dispatch: which test each pair of body kinds reaches, the contact
// conventions every test keeps, the face-tree queries on faces of more than
// three corners, and the merging of fracture-body pieces.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ContactFixtures.h"
#include "engine/bodies/TriMeshBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/narrowphase/FaceTree.h"
#include "engine/collision/narrowphase/PkJump.h"
#include "geometry/BVmesh.h"
#include "geometry/BoxTree.h"
#include "geometry/OverlapTests.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using namespace zovtest;

namespace {

const MgcVector3 kUp(0.0, 1.0, 0.0);

// The pair test of the passes without the preparation: overlap, then
// contacts. The record goes back to the pool with the next call's reset.
CollisionPair* runPair(CollisionManager& manager, HardBody* a, HardBody* b) {
  CollisionPair* pair = manager.threadBuffer(0);
  pair->reset();
  pair->firstBody = a;
  pair->secondBody = b;
  if (!manager.testBodyPair(a, b, pair, 0) || !manager.testBodyPairExact(a, b, pair, 0)) pair->contactCount = 0;
  return pair;
}

double segmentDistance(const ZOVcapsule& c, const MgcVector3& p) {
  const MgcVector3 half = c.axis * (0.5 * c.length);
  const MgcVector3 a = c.center - half;
  const MgcVector3 d = half * 2.0;
  double t = (p - a).Dot(d) / d.SquaredLength();
  t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
  return (p - (a + d * t)).Length();
}

TEST(PairDispatch, ShapePairCodesFollowTheTable) {
  // Rows: first body's kind; columns: second's; kinds 0 to 7 (4 is no body).
  const std::uint32_t expected[8][8] = {
      {0, 0, 0, 0, 0, 0, 0, 0}, {0, 1, 2, 4, 0, 0, 1, 10}, {0, 3, 6, 7, 0, 0, 3, 11}, {0, 5, 8, 9, 0, 0, 5, 12},
      {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0},  {0, 1, 2, 4, 0, 0, 1, 10}, {0, 0, 0, 0, 0, 0, 0, 0},
  };
  for (std::uint32_t a = 0; a < 8; ++a)
    for (std::uint32_t b = 0; b < 8; ++b)
      EXPECT_EQ(CollisionManager::shapePairCode(a, b), expected[a][b]) << "kinds " << a << ", " << b;
  EXPECT_EQ(CollisionManager::shapePairCode(99, kHullBody), 0u);
}

// Every kind above every kind, overlapping by 0.1: the pairs with a code (a
// fracture body through its hull piece) overlap and give contacts whose
// normals point from the lower (second) body up to the first and whose
// depths are negative; the others neither overlap nor touch.
TEST(PairDispatch, EveryPairOfKindsReachesItsTest) {
  CollisionManager manager;
  const MgcVector3 upper(0.0, 0.45, 0.0);
  const MgcVector3 lower(0.0, -0.45, 0.0);
  const MgcVector3 small(0.5, 0.5, 0.5);
  const MgcVector3 wide(1.0, 0.5, 1.0);
  struct Kind {
    const char* name;
    eHBodyType dispatchType;            // what the pair dispatch sees (a fracture body: its piece)
    std::function<BodyPtr(bool)> make;  // upper (first) or lower (second) instance
  };
  const auto compound = [&](bool top) {
    auto body = compoundAt(MgcVector3(1.5, 1.0, 1.5), top ? upper : lower);
    body->addPiece(hullBox(top ? small : wide, top ? upper : lower));
    return BodyPtr(body.release());
  };
  const std::vector<Kind> kinds = {
      {"phantom", kPhantomBody, [&](bool top) { return phantomBox(top ? small : wide, top ? upper : lower); }},
      {"capsule", kCapsuleBody, [&](bool top) { return capsuleAlongX(0.5, 0.5, top ? upper : lower); }},
      {"hull", kHullBody, [&](bool top) { return hullBox(top ? small : wide, top ? upper : lower); }},
      {"mesh", kTriMeshBody, [&](bool top) { return meshBox(top ? small : wide, top ? upper : lower); }},
      {"fracture", kHullBody, compound},
      {"cracker", kCrackerBody, [&](bool top) { return capsuleAlongX<ZovCrackerBody>(0.5, 0.5, top ? upper : lower); }},
      {"barrier", kBarrierBody, [&](bool top) { return barrier(top ? upper : MgcVector3(), kUp); }},
  };
  int touching = 0;
  for (const Kind& first : kinds) {
    for (const Kind& second : kinds) {
      SCOPED_TRACE(std::string(first.name) + " on " + second.name);
      BodyPtr a = first.make(true);
      BodyPtr b = second.make(false);
      const bool expected = CollisionManager::shapePairCode(first.dispatchType, second.dispatchType) != kPairNone;
      CollisionPair* pair = manager.threadBuffer(0);
      pair->reset();
      const bool overlap = manager.testBodyPair(a.get(), b.get(), pair, 0);
      ASSERT_EQ(overlap, expected);
      if (!overlap) {
        manager.queueContact(pair, 0);
        continue;
      }
      ++touching;
      ASSERT_TRUE(manager.testBodyPairExact(a.get(), b.get(), pair, 0));
      ASSERT_GE(pair->contactCount, 1u);
      ASSERT_LE(pair->contactCount, kMaxPairContacts);
      double deepest = 0.0;
      for (std::uint32_t i = 0; i < pair->contactCount; ++i) {
        EXPECT_GT(pair->normals[i].Dot(kUp), 0.5) << "contact " << i;
        EXPECT_NEAR(pair->normals[i].Length(), 1.0, 1e-9);
        EXPECT_LE(pair->depths[i], 1e-9);
        EXPECT_LE(std::fabs(pair->points[i].y), 0.2);
        deepest = std::fmin(deepest, pair->depths[i]);
      }
      EXPECT_LT(deepest, -1e-3);
      manager.queueContact(pair, 0);
    }
  }
  // 5 first kinds that reach a test (capsule, hull, mesh, fracture,
  // cracker) against 6 second kinds (the same and the barrier).
  EXPECT_EQ(touching, 30);
}

// The one capsule contact lies on the first capsule with its normal from
// the second towards the first.
TEST(PairDispatch, CapsulesGiveOneContactFacingTheFirst) {
  CollisionManager manager;
  BodyPtr a = capsuleAlongX(1.0, 0.3, MgcVector3(0.0, 0.5, 0.0));
  BodyPtr b = capsuleAlongX(1.0, 0.3, MgcVector3(0.2, 0.0, 0.0));
  CollisionPair* pair = runPair(manager, a.get(), b.get());
  ASSERT_EQ(pair->contactCount, 1u);
  EXPECT_NEAR(pair->depths[0], 0.5 - 0.6, 1e-12);
  EXPECT_NEAR(pair->normals[0].Dot(kUp), 1.0, 1e-12);
  EXPECT_EQ(pair->features[0].firstFeature, zov::kNoIndex);
}

// A capsule lying across a box: two contacts. With the hull first they lie
// on its top face; with the capsule first every one lies on the capsule
// (not only the first).
TEST(PairDispatch, CapsuleContactsLieOnTheFirstShape) {
  CollisionManager manager;
  const double top = 0.5;
  BodyPtr capsule = capsuleAlongX(0.3, 0.2, MgcVector3(0.0, top + 0.19, 0.0));
  ZOVcapsule shape;
  ASSERT_TRUE(static_cast<CapsuleBody*>(capsule.get())->placedCapsule(shape));
  for (const bool mesh : {false, true}) {
    SCOPED_TRACE(mesh ? "triangle mesh" : "hull");
    BodyPtr box = mesh ? meshBox(MgcVector3(0.5, 0.5, 0.5), MgcVector3()) : hullBox(MgcVector3(0.5, 0.5, 0.5), {});
    // The hull's search ends within its own tolerance of the exact contact.
    const double tolerance = mesh ? 1e-9 : 1e-4;
    CollisionPair* onBox = runPair(manager, box.get(), capsule.get());
    ASSERT_GE(onBox->contactCount, 2u);
    for (std::uint32_t i = 0; i < onBox->contactCount; ++i) {
      EXPECT_NEAR(onBox->points[i].y, top, tolerance);
      EXPECT_NEAR(onBox->depths[i], -0.01, tolerance);
      EXPECT_NEAR(onBox->normals[i].Dot(kUp), -1.0, 1e-9);
    }
    CollisionPair* onCapsule = runPair(manager, capsule.get(), box.get());
    ASSERT_GE(onCapsule->contactCount, 2u);
    for (std::uint32_t i = 0; i < onCapsule->contactCount; ++i) {
      EXPECT_NEAR(segmentDistance(shape, onCapsule->points[i]), shape.radius, tolerance);
      EXPECT_NEAR(onCapsule->normals[i].Dot(kUp), 1.0, 1e-9);
    }
  }
}

// A face of four corners is two triangles: a capsule over its second half
// touches it (a leaf test on the first three corners alone misses it).
TEST(PairDispatch, FaceTreesHitEveryPartOfAFace) {
  auto mesh = polygonMesh({{0, 0, 0}, {2, 0, 0}, {2, 0, -2}, {0, 0, -2}}, {{0, 1, 2, 3}});
  BVmesh volume;
  ASSERT_TRUE(volume.init(mesh.get(), 0));
  BoxTree tree;
  ASSERT_TRUE(tree.buildTriangleTree(&volume));
  tree.transform(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
  // Over the triangle (0, 2, 3), away from (0, 1, 2).
  const ZOVcapsule capsule{MgcVector3(0.3, 0.1, -1.7), MgcVector3(1.0, 0.0, 0.0), 0.2, 0.15};
  Pk_jump jump;
  BoxTreeNode* cached = nullptr;
  EXPECT_TRUE(FaceTree::capsuleOverlap(&tree, *mesh, capsule, &jump, cached));
  EXPECT_NE(cached, nullptr);
  MgcVector3 points[kMaxPairContacts];
  MgcVector3 normals[kMaxPairContacts];
  double depths[kMaxPairContacts];
  ContactFeature features[kMaxPairContacts];
  std::uint32_t count = 0;
  ContactSet set{points, normals, depths, features, &count};
  ASSERT_TRUE(FaceTree::capsuleContacts(&tree, *mesh, capsule, &jump, set));
  for (std::uint32_t i = 0; i < count; ++i) {
    EXPECT_NEAR(points[i].y, 0.0, 1e-9);  // on the face, the tree's side
    EXPECT_NEAR(depths[i], -0.05, 1e-9);
  }
}

// A vertex counts as below a plane by its height, wherever the plane point is.
// Two triangle-mesh boxes face to face, the upper one's bottom exactly on
// the lower one's top or sunk into it by less than the 1e-5 contact band:
// they overlap and touch over the overlap of the two faces, with the normal
// up towards the first (upper) box and the points on the touching faces.
// Two opposed faces less than the band apart also make contacts where the
// trees bring them together (faces apart by more do not).
TEST(PairDispatch, TriangleMeshesFaceToFaceWithinTheBandTouch) {
  CollisionManager manager;
  for (const double gap : {0.0, -5e-6}) {
    SCOPED_TRACE(gap);
    BodyPtr lower = meshBox(MgcVector3(1.0, 0.5, 1.0), MgcVector3(0.0, -0.5, 0.0));
    BodyPtr upper = meshBox(MgcVector3(0.5, 0.5, 0.5), MgcVector3(0.2, 0.5 + gap, -0.1));
    CollisionPair* pair = runPair(manager, upper.get(), lower.get());
    ASSERT_GE(pair->contactCount, 1u);
    for (std::uint32_t i = 0; i < pair->contactCount; ++i) {
      EXPECT_GT(pair->normals[i].Dot(kUp), 0.99) << i;
      EXPECT_LT(std::fabs(pair->points[i].y), 1e-4) << i;
      EXPECT_LE(std::fabs(pair->points[i].x - 0.2), 0.5 + 1e-9) << i;
      EXPECT_LE(std::fabs(pair->points[i].z + 0.1), 0.5 + 1e-9) << i;
    }
    manager.queueContact(pair, 0);
  }

  // One face each: the upper square faces down, the lower faces up.
  const struct {
    double gap;
    bool touch;
  } faces[] = {{5e-6, true}, {0.0, true}, {-5e-6, true}, {2e-5, false}};
  auto below = polygonMesh({{-1, 0, -1}, {-1, 0, 1}, {1, 0, 1}, {1, 0, -1}}, {{0, 1, 2, 3}});
  BVmesh belowVolume;
  ASSERT_TRUE(belowVolume.init(below.get(), 0));
  BoxTree belowTree;
  ASSERT_TRUE(belowTree.buildTriangleTree(&belowVolume));
  for (const auto& f : faces) {
    SCOPED_TRACE(f.gap);
    auto above =
        polygonMesh({{-0.3, f.gap, -0.6}, {0.7, f.gap, -0.6}, {0.7, f.gap, 0.4}, {-0.3, f.gap, 0.4}}, {{0, 1, 2, 3}});
    BVmesh aboveVolume;
    ASSERT_TRUE(aboveVolume.init(above.get(), 0));
    BoxTree aboveTree;
    ASSERT_TRUE(aboveTree.buildTriangleTree(&aboveVolume));
    ASSERT_TRUE(aboveTree.getRoot()->isLeaf() && belowTree.getRoot()->isLeaf());
    MgcVector3 points[kMaxPairContacts];
    MgcVector3 normals[kMaxPairContacts];
    double depths[kMaxPairContacts];
    ContactFeature features[kMaxPairContacts];
    std::uint32_t count = 0;
    ContactSet set{points, normals, depths, features, &count};
    FaceTreeNode::leafLeafContacts(*aboveTree.getRoot(), *above, *belowTree.getRoot(), *below, set);
    EXPECT_EQ(count > 0, f.touch);
    for (std::uint32_t i = 0; i < count; ++i) {
      EXPECT_GT(normals[i].Dot(kUp), 0.99) << i;
      EXPECT_LE(std::fabs(points[i].x - 0.2), 0.5 + 1e-9) << i;
      EXPECT_LE(std::fabs(points[i].z + 0.1), 0.5 + 1e-9) << i;
    }
  }
}

// A square face turned 45 degrees on a larger square face touches it over an
// octagon-like patch whose contacts outnumber what a pair first makes room
// for: the pair keeps every contact the face trees find, the same ones a
// full-size set receives from the same query, each on both faces.
TEST(PairDispatch, FaceOnFaceMeshesKeepEveryContactFound) {
  CollisionManager manager;
  BodyPtr lower = meshBox(MgcVector3(0.6, 0.5, 0.6), MgcVector3(0.0, -0.5, 0.0));
  MgcMatrix3 turn;
  turn.FromAxisAngle(kUp, 0.25 * M_PI);
  BodyPtr upper = meshBody(*boxMesh(MgcVector3(0.5, 0.5, 0.5)), MgcVector3(0.0, 0.5, 0.0), turn);
  CollisionPair* pair = runPair(manager, upper.get(), lower.get());
  ASSERT_GT(pair->contactCount, 4u);
  EXPECT_GE(pair->contactCapacity(), pair->contactCount);

  MgcVector3 points[kMaxPairContacts];
  MgcVector3 normals[kMaxPairContacts];
  double depths[kMaxPairContacts];
  ContactFeature features[kMaxPairContacts];
  std::uint32_t count = 0;
  ContactSet full{points, normals, depths, features, &count};
  const auto* upperMesh = static_cast<const TriMeshBody*>(upper.get());
  const auto* lowerMesh = static_cast<const TriMeshBody*>(lower.get());
  ASSERT_TRUE(FaceTree::treeContacts(upperMesh->getTriangleTree(), *upperMesh->getBoundingMesh()->getMesh(),
                                     *lowerMesh->getBoundingMesh()->getMesh(), lowerMesh->getTriangleTree(), full));
  ASSERT_EQ(pair->contactCount, count);
  for (std::uint32_t i = 0; i < count; ++i) {
    EXPECT_EQ(pair->points[i], points[i]) << i;
    EXPECT_EQ(pair->normals[i], normals[i]) << i;
    EXPECT_EQ(pair->depths[i], depths[i]) << i;
    EXPECT_LT(std::fabs(pair->points[i].y), 1e-4) << i;
    // Inside the lower face and inside the turned upper face.
    EXPECT_LE(std::fabs(pair->points[i].x), 0.6 + 1e-9) << i;
    EXPECT_LE(std::fabs(pair->points[i].z), 0.6 + 1e-9) << i;
    EXPECT_LE(std::fabs(pair->points[i].x) + std::fabs(pair->points[i].z), 0.5 * std::sqrt(2.0) + 1e-9) << i;
  }
  manager.queueContact(pair, 0);
}

TEST(PairDispatch, PlaneContactsDoNotDependOnThePlanePoint) {
  CollisionManager manager;
  BodyPtr box = meshBox(MgcVector3(0.5, 0.5, 0.5), MgcVector3(0.0, 0.5 - 1e-4, 0.0));
  for (const double far : {0.0, 1000.0}) {
    BodyPtr ground = barrier(MgcVector3(far, 0.0, far), kUp);
    CollisionPair* pair = runPair(manager, box.get(), ground.get());
    ASSERT_EQ(pair->contactCount, 4u) << far;
    for (std::uint32_t i = 0; i < 4; ++i) EXPECT_NEAR(pair->depths[i], -1e-4, 1e-12);
  }
}

// Hulls found apart keep, for the next step, a direction that separates them.
TEST(PairDispatch, HullsApartKeepTheirSeparatingDirection) {
  CollisionManager manager;
  // Unequal axes give the hulls boxes along x, y and z, which overlap.
  const std::vector<MgcVector3> corners = {{1, 0, 0}, {-1, 0, 0}, {0, 1.5, 0}, {0, -1.5, 0}, {0, 0, 0.5}, {0, 0, -0.5}};
  auto octahedron =
      polygonMesh(corners, {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4}, {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}});
  BodyPtr a = hullBody(*octahedron, MgcVector3());
  const MgcVector3 offset(1.4, 1.4, 0.0);
  BodyPtr b = hullBody(*octahedron, offset);
  ASSERT_TRUE(obbOverlap(a->getBbox(), b->getBbox()));  // only the hulls tell
  CollisionPair* pair = manager.threadBuffer(0);
  pair->reset();
  EXPECT_FALSE(manager.testBodyPair(a.get(), b.get(), pair, 0));
  const MgcVector3 d = pair->separatingVector;
  ASSERT_GT(d.SquaredLength(), 0.5);
  double highA = -1e300;
  double lowB = 1e300;
  for (const MgcVector3& v : corners) {
    highA = std::fmax(highA, v.Dot(d));
    lowB = std::fmin(lowB, (v + offset).Dot(d));
  }
  EXPECT_GT(lowB, highA);
}

TEST(PairDispatch, RestingBodiesMeetOnlyWhenOneWaitsForItsFirstHit) {
  CollisionManager manager;
  BodyPtr a = hullBox(MgcVector3(0.5, 0.5, 0.5), MgcVector3(0.0, 0.9, 0.0));
  BodyPtr b = hullBox(MgcVector3(0.5, 0.5, 0.5), MgcVector3());
  a->enableStatic();
  b->enableStatic();
  CollisionPair* pair = manager.threadBuffer(0);
  pair->reset();
  EXPECT_FALSE(manager.testBodyPair(a.get(), b.get(), pair, 0));
  b->enableFirstHit();
  EXPECT_TRUE(manager.testBodyPair(a.get(), b.get(), pair, 0));
}

// A fracture body overlaps through its first overlapping piece; its contacts
// gather every piece's, both sets cut to 16 when together they would reach
// 32, and name the touching piece on its side only.
TEST(PairDispatch, FractureBodyPiecesMergeToAtMost32Contacts) {
  CollisionManager manager;
  BodyPtr ground = barrier(MgcVector3(), kUp);
  auto bed = nailBedMesh(10, 0.4);  // 30 points, each 0.01 deep
  auto compound = compoundAt(MgcVector3(3.0, 1.0, 3.0), MgcVector3());
  compound->addPiece(meshBody(*bed, MgcVector3(-1.0, -0.01, 0.0)));
  CollisionPair* single = runPair(manager, compound.get(), ground.get());
  ASSERT_EQ(single->contactCount, 30u);
  manager.queueContact(single, 0);

  compound->addPiece(meshBody(*bed, MgcVector3(1.0, -0.01, 0.0)));
  compound->addPiece(hullBox(MgcVector3(0.2, 0.2, 0.2), MgcVector3(0.0, 5.0, 0.0)));  // apart
  CollisionPair* pair = runPair(manager, compound.get(), ground.get());
  EXPECT_EQ(pair->contactCount, 2 * kMergedContacts);
  int left = 0;
  int right = 0;
  for (std::uint32_t i = 0; i < pair->contactCount; ++i) {
    EXPECT_NEAR(pair->depths[i], -0.01, 1e-9);
    (pair->points[i].x < 0.0 ? left : right) += 1;
  }
  EXPECT_EQ(left, 16);
  EXPECT_EQ(right, 16);
  ASSERT_NE(pair->firstPiece, nullptr);
  EXPECT_EQ(pair->firstPiece->getParent(), compound.get());
  EXPECT_EQ(pair->secondPiece, nullptr);

  // Only the piece far above: no overlap.
  auto aloft = compoundAt(MgcVector3(3.0, 6.0, 3.0), MgcVector3(0.0, 0.25, 0.0));
  aloft->addPiece(hullBox(MgcVector3(0.2, 0.2, 0.2), MgcVector3(0.0, 5.0, 0.0)));
  EXPECT_FALSE(manager.testBodyPair(aloft.get(), ground.get(), pair, 0));
}

TEST(PairDispatch, TwoFractureBodiesNameBothTouchingPieces) {
  CollisionManager manager;
  auto upper = compoundAt(MgcVector3(2.0, 2.0, 2.0), MgcVector3(0.0, 0.45, 0.0));
  auto lower = compoundAt(MgcVector3(2.0, 2.0, 2.0), MgcVector3(0.0, -0.45, 0.0));
  upper->addPiece(hullBox(MgcVector3(0.5, 0.5, 0.5), MgcVector3(0.0, 0.45, 0.0)));
  lower->addPiece(hullBox(MgcVector3(1.0, 0.5, 1.0), MgcVector3(0.0, -0.45, 0.0)));
  lower->addPiece(hullBox(MgcVector3(0.3, 0.3, 0.3), MgcVector3(5.0, 0.0, 0.0)));
  CollisionPair* pair = runPair(manager, upper.get(), lower.get());
  ASSERT_GT(pair->contactCount, 0u);
  EXPECT_EQ(pair->firstPiece->getParent(), upper.get());
  ASSERT_NE(pair->secondPiece, nullptr);
  EXPECT_EQ(pair->secondPiece->getParent(), lower.get());
  EXPECT_NEAR(pair->secondPiece->getDyn().position.x, 0.0, 1e-12);
}

}  // namespace
