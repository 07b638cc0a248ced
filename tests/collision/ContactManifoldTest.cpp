// Contact manifolds on hand-made point sets: setting one from a pair,
// appending, reducing, marking and pruning, and the manager's building,
// linking and maintenance.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactManifold.h"
#include "support/BodyFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::BoxBody;

namespace {

const MgcVector3 kUp(0.0, 1.0, 0.0);

std::unique_ptr<BoxBody> bodyAt(const MgcVector3& at, const MgcMatrix3& R = MgcMatrix3::IDENTITY) {
  auto body = std::make_unique<BoxBody>();
  body->init(at, R, MgcVector3(1.0, 1.0, 1.0));
  return body;
}

MgcMatrix3 turn(double angle) {
  MgcMatrix3 R;
  R.FromAxisAngle(MgcVector3(0.0, 0.0, 1.0), angle);
  return R;
}

// A prepared-looking pair of (a, b): n contacts at the world points given,
// normal +y (from b up to a), held in the bodies' frames.
CollisionPair* pairOf(CollisionManager& manager, HardBody* a, HardBody* b, const std::vector<MgcVector3>& world,
                      const MgcVector3& normal = kUp) {
  CollisionPair* pair = manager.threadBuffer(0);
  pair->reset();
  pair->firstBody = a;
  pair->secondBody = b;
  pair->reserveContacts(static_cast<std::uint32_t>(world.size()));
  for (const MgcVector3& p : world) {
    const std::uint32_t i = pair->contactCount++;
    pair->normals[i] = normal;
    pair->points[i] = a->getDyn().orientation.Transpose() * (p - a->getDyn().position);
    pair->secondPoints[i] = b->getDyn().orientation.Transpose() * (p - b->getDyn().position);
  }
  return pair;
}

std::vector<MgcVector3> row(int n, double y = 0.0) {
  std::vector<MgcVector3> points;
  for (int i = 0; i < n; ++i) points.emplace_back(0.1 * i, y, 0.0);
  return points;
}

TEST(ContactManifold, SetFromAPairSeenFromEitherBody) {
  CollisionManager manager;
  auto a = bodyAt(MgcVector3(0.0, 1.0, 0.0), turn(0.3));
  auto b = bodyAt(MgcVector3(0.5, -1.0, 0.2), turn(-0.7));
  b->setLinearVelocity(MgcVector3(2.0, 0.0, 0.0));
  CollisionPair* pair = pairOf(manager, a.get(), b.get(), {MgcVector3(0.1, 0.0, 0.2), MgcVector3(-0.3, 0.0, 0.1)});
  ContactManifold onA;
  ASSERT_TRUE(onA.merge(*pair, a.get()));
  EXPECT_EQ(onA.pointCount, 2u);
  EXPECT_EQ(onA.normals[0], -kUp);  // from a towards its support b
  EXPECT_EQ(onA.supports[1], b.get());
  EXPECT_NE(onA.flags & kManifoldCurrent, 0u);
  MgcVector3 middle[2];
  onA.midpoints(middle);
  EXPECT_LT((middle[1] - MgcVector3(-0.3, 0.0, 0.1)).Length(), 1e-12);
  EXPECT_LT((onA.velocities[0] - MgcVector3(2.0, 0.0, 0.0)).Length(), 1e-12);  // the support's
  ContactManifold onB;
  ASSERT_TRUE(onB.merge(*pair, b.get()));
  EXPECT_EQ(onB.normals[0], kUp);
  EXPECT_EQ(onB.supports[0], a.get());
  auto stranger = bodyAt(MgcVector3());
  ContactManifold none;
  EXPECT_FALSE(none.merge(*pair, stranger.get()));
  EXPECT_EQ(none.pointCount, 0u);
}

TEST(ContactManifold, ReducingKeepsEveryOtherPoint) {
  CollisionManager manager;
  auto a = bodyAt(MgcVector3(0.0, 1.0, 0.0));
  auto b = bodyAt(MgcVector3(0.0, -1.0, 0.0));
  struct Case {
    int points;
    std::uint32_t kept;
  };
  for (const Case c : {Case{15, 15}, Case{16, 8}, Case{31, 15}, Case{32, 16}}) {
    CollisionPair* pair = pairOf(manager, a.get(), b.get(), row(c.points));
    ContactManifold manifold;
    ASSERT_TRUE(manifold.merge(*pair, a.get()));
    manifold.reduce();
    ASSERT_EQ(manifold.pointCount, c.kept) << c.points;
    MgcVector3 middle[kMaxManifoldPoints];
    manifold.midpoints(middle);
    const int step = c.points < 16 ? 1 : 2;
    for (std::uint32_t k = 0; k < c.kept; ++k) EXPECT_NEAR(middle[k].x, 0.1 * step * k, 1e-12);
  }
}

TEST(ContactManifold, AppendingStaysWithinThirtyTwoPoints) {
  CollisionManager manager;
  auto a = bodyAt(MgcVector3(0.0, 1.0, 0.0));
  auto b = bodyAt(MgcVector3(0.0, -1.0, 0.0));
  auto c = bodyAt(MgcVector3(3.0, -1.0, 0.0));
  ContactManifold first;
  ContactManifold second;
  ASSERT_TRUE(first.merge(*pairOf(manager, a.get(), b.get(), row(20)), a.get()));
  ASSERT_TRUE(second.merge(*pairOf(manager, a.get(), c.get(), row(20, 0.5)), a.get()));
  ASSERT_TRUE(first.addPoints(second));
  EXPECT_LE(first.pointCount, kMaxManifoldPoints);
  EXPECT_EQ(first.pointCount, 16u + 8u);  // 32 reached: 16 kept, then the last 8 appended
  EXPECT_EQ(first.keptCount, first.pointCount);
  EXPECT_EQ(first.flags & kManifoldCurrent, 0u);
  EXPECT_EQ(first.supports[first.pointCount - 1], c.get());
  ContactManifold full;
  ASSERT_TRUE(full.merge(*pairOf(manager, a.get(), b.get(), row(32)), a.get()));
  EXPECT_FALSE(full.addPoints(second));
  ContactManifold other;
  ASSERT_TRUE(other.merge(*pairOf(manager, a.get(), b.get(), row(2)), b.get()));
  EXPECT_FALSE(first.addPoints(other));  // another body's
}

TEST(ContactManifold, MarksAlignmentAndTheDominantSide) {
  CollisionManager manager;
  auto a = bodyAt(MgcVector3(0.0, 1.0, 0.0));
  auto below = bodyAt(MgcVector3(0.0, -1.0, 0.0));
  auto above = bodyAt(MgcVector3(0.0, 3.0, 0.0));
  auto side = bodyAt(MgcVector3(3.0, 1.0, 0.0));

  ContactManifold manifold;
  ASSERT_TRUE(manifold.merge(*pairOf(manager, a.get(), below.get(), row(4)), a.get()));
  const std::uint8_t marks[4] = {0, 1, 0, 1};
  EXPECT_EQ(manifold.countUnmarked(marks), 2u);
  EXPECT_EQ(manifold.countUnmarked(nullptr), 0u);
  EXPECT_EQ(manifold.countUnmarked(marks), 2u);
  manifold.compact();
  EXPECT_EQ(manifold.pointCount, 2u);

  // A side contact is dropped for being off the direction of gravity.
  ContactManifold sideways;
  ASSERT_TRUE(sideways.merge(*pairOf(manager, a.get(), side.get(), row(3), MgcVector3(-1, 0, 0)), a.get()));
  ASSERT_TRUE(manifold.addPoints(sideways));
  manifold.keepAlignedNormals(kUp);
  EXPECT_EQ(manifold.pointCount, 2u);

  // Pressed from above and below: the side whose support moves more stays.
  for (const bool faster : {false, true}) {
    below->setLinearVelocity(MgcVector3(0.0, faster ? 4.0 : 1.0, 0.0));
    above->setLinearVelocity(MgcVector3(0.0, -2.0, 0.0));
    ContactManifold squeezed;
    ASSERT_TRUE(squeezed.merge(*pairOf(manager, a.get(), below.get(), row(2)), a.get()));
    ContactManifold top;
    ASSERT_TRUE(top.merge(*pairOf(manager, above.get(), a.get(), row(3, 2.0)), a.get()));
    ASSERT_TRUE(squeezed.addPoints(top));
    squeezed.keepDominantSide();
    const std::uint32_t expected = faster ? 2u : 3u;
    ASSERT_EQ(squeezed.pointCount, expected);
    EXPECT_EQ(squeezed.supports[0], faster ? below.get() : above.get());
  }
}

// The manager builds one manifold per body, merging what the body touches.
TEST(ContactManifold, BuildingGivesEachBodyOneManifold) {
  CollisionManager manager;
  manager.clearAll();
  auto box = bodyAt(MgcVector3(0.0, 1.0, 0.0));
  auto left = bodyAt(MgcVector3(-1.0, -1.0, 0.0));
  auto right = bodyAt(MgcVector3(1.0, -1.0, 0.0));
  left->setContactStage(0);
  right->setContactStage(0);
  box->setContactStage(1);
  EngineList<CollisionPair*> pairs;
  pairs.append(pairOf(manager, box.get(), left.get(), row(20)));
  pairs.append(pairOf(manager, box.get(), right.get(), row(20, 0.1)));
  ASSERT_TRUE(manager.updateManifolds(pairs));
  ASSERT_EQ(manager.getManifoldCount(), 1u);
  const ContactManifold& built = *manager.getManifoldsInUse().getFirst()->value;
  EXPECT_EQ(built.body, box.get());
  EXPECT_EQ(built.pointCount, 20u);  // 20 + 20 reduced to 10 + 10
  EXPECT_TRUE(box->isInContact());
  EXPECT_FALSE(left->isInContact());  // the reference stage gets none

  EXPECT_EQ(manager.linkPairRecords(pairs), 2u);
  for (auto* node = pairs.getFirst(); node != nullptr; node = node->next) {
    ASSERT_EQ(node->value->manifolds.getCount(), 1u);
    EXPECT_EQ(node->value->manifolds.getFirst()->value->body, box.get());
  }
}

// Maintenance unlinks what no longer belongs, merges a body's manifolds and
// drops a manifold left without points.
TEST(ContactManifold, MaintenancePrunesLinkedManifolds) {
  CollisionManager manager;
  auto a = bodyAt(MgcVector3(0.0, 1.0, 0.0));
  auto b = bodyAt(MgcVector3(0.0, -1.0, 0.0));
  auto other = bodyAt(MgcVector3(5.0, 0.0, 0.0));
  auto wall = bodyAt(MgcVector3(3.0, 1.0, 0.0));
  CollisionPair* pair = pairOf(manager, a.get(), b.get(), row(3));
  ContactManifold onA;
  ContactManifold moreOnA;
  ContactManifold onOther;
  ContactManifold onlySideways;
  ASSERT_TRUE(onA.merge(*pair, a.get()));
  ASSERT_TRUE(moreOnA.merge(*pairOf(manager, a.get(), b.get(), row(2, 0.1)), a.get()));
  ASSERT_TRUE(onOther.merge(*pairOf(manager, other.get(), b.get(), row(2)), other.get()));
  ASSERT_TRUE(onlySideways.merge(*pairOf(manager, b.get(), wall.get(), row(2), MgcVector3(-1, 0, 0)), b.get()));
  pair->manifolds.append(&onlySideways);
  pair->manifolds.append(&onOther);
  pair->manifolds.append(&moreOnA);
  pair->manifolds.append(&onA);
  manager.maintainManifolds(*pair, kUp);
  ASSERT_EQ(pair->manifolds.getCount(), 1u);
  EXPECT_EQ(pair->manifolds.getFirst()->value, &onA);
  EXPECT_EQ(onA.pointCount, 5u);
}

// A sibling piece's manifold handed over to the first keeps its points where
// they are in the world.
TEST(ContactManifold, SiblingManifoldsMergeWithTheirPointsInPlace) {
  CollisionManager manager;
  auto parent = bodyAt(MgcVector3());
  auto piece1 = bodyAt(MgcVector3(-1.0, 1.0, 0.0), turn(0.4));
  auto piece2 = bodyAt(MgcVector3(1.0, 1.0, 0.0), turn(-0.9));
  auto ground = bodyAt(MgcVector3(0.0, -1.0, 0.0));
  piece1->setParent(parent.get());
  piece2->setParent(parent.get());
  CollisionPair* pair = pairOf(manager, piece1.get(), ground.get(), {MgcVector3(-1.0, 0.0, 0.0)});
  ContactManifold first;
  ContactManifold second;
  ASSERT_TRUE(first.merge(*pair, piece1.get()));
  ASSERT_TRUE(second.merge(*pairOf(manager, piece2.get(), ground.get(), {MgcVector3(1.2, 0.0, 0.3)}), piece2.get()));
  pair->manifolds.append(&second);
  pair->manifolds.append(&first);
  manager.maintainManifolds(*pair, kUp);
  ASSERT_EQ(first.pointCount, 2u);
  MgcVector3 middle[2];
  first.midpoints(middle);
  EXPECT_LT((middle[1] - MgcVector3(1.2, 0.0, 0.3)).Length(), 1e-12);
}

}  // namespace
