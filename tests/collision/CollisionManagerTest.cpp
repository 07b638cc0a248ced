// The collision manager's pools, releases and pair queries, with pairs put
// into its lists by hand.

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

#include "engine/PrivateWorld.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactManifold.h"
#include "platform/Processors.h"
#include "support/BodyFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::BoxBody;

namespace {

// A manager built for a machine of the given processor count.
std::unique_ptr<CollisionManager> managerFor(int processors) {
  zov::platform::setProcessorCountOverride(processors);
  auto manager = std::make_unique<CollisionManager>();
  zov::platform::setProcessorCountOverride(0);
  return manager;
}

std::unique_ptr<BoxBody> bodyAt(const MgcVector3& position, const MgcMatrix3& R = MgcMatrix3::IDENTITY) {
  auto body = std::make_unique<BoxBody>();
  body->init(position, R, MgcVector3(1.0, 1.0, 1.0));
  return body;
}

// A pair of (a, b) with `count` contacts: point i at (i, 0, 0) in a's frame,
// normal +y, depth -i.
CollisionPair* pairOf(CollisionManager& manager, HardBody* a, HardBody* b, std::uint32_t count) {
  CollisionPair* pair = manager.threadBuffer(0);
  pair->reset();
  pair->firstBody = a;
  pair->secondBody = b;
  pair->reserveContacts(count);
  pair->contactCount = count;
  for (std::uint32_t i = 0; i < count; ++i) {
    pair->points[i] = MgcVector3(i, 0.0, 0.0);
    pair->normals[i] = MgcVector3(0.0, 1.0, 0.0);
    pair->depths[i] = -static_cast<double>(i);
  }
  return pair;
}

TEST(CollisionManager, PoolsGrowInBatchesPerWorker) {
  auto manager = managerFor(4);
  ASSERT_EQ(manager->getWorkerCount(), 3u);
  std::set<CollisionPair*> taken;
  for (int i = 0; i < 17; ++i) taken.insert(manager->threadBuffer(2));
  EXPECT_EQ(taken.size(), 17u);
  EXPECT_EQ(manager->getWorkerFreePairs(2)->getCount(), 2u * kPairBatch - 17u);
  EXPECT_EQ(manager->threadBuffer(4), nullptr);  // above the worker count
  manager->queueContact(*taken.begin(), 4);      // does nothing
  manager->queueContact(*taken.begin(), 2);
  EXPECT_EQ(manager->getWorkerFreePairs(2)->getCount(), 2u * kPairBatch - 16u);
  // Records still out in worker lists are the manager's: clearAll frees them.
  manager->clearAll();
  EXPECT_EQ(manager->getWorkerFreePairs(2)->getCount(), 0u);
}

TEST(CollisionManager, DealingFreeRecordsSharesThemEvenly) {
  auto manager = managerFor(4);
  std::vector<CollisionPair*> records;
  for (int i = 0; i < 112; ++i) records.push_back(manager->threadBuffer(0));  // seven batches
  ASSERT_EQ(manager->getFreePairs().getCount(), 0u);
  for (int i = 0; i < 100; ++i) manager->queueContact(records[i], 0);
  manager->dealFreePairs();
  for (std::uint32_t k = 1; k <= 3; ++k) EXPECT_EQ(manager->getWorkerFreePairs(k)->getCount(), 25u);
  EXPECT_EQ(manager->getFreePairs().getCount(), 25u);
  manager->collectWorkerPairs();
  EXPECT_EQ(manager->getFreePairs().getCount(), 100u);
}

TEST(CollisionManager, PartnersAreCappedAndReleasedWithTheReport) {
  auto manager = managerFor(1);
  auto body = bodyAt(MgcVector3());
  std::vector<std::unique_ptr<BoxBody>> others;
  for (int i = 0; i < 40; ++i) {
    others.push_back(bodyAt(MgcVector3()));
    manager->getReportedPairs().append(pairOf(*manager, i % 2 == 0 ? body.get() : others.back().get(),
                                              i % 2 == 0 ? others.back().get() : body.get(), 1));
  }
  HardBody** partners = nullptr;
  EXPECT_EQ(manager->bodyPartners(body.get(), &partners), kMaxPartners);
  for (std::uint32_t i = 0; i < kMaxPartners; ++i) EXPECT_NE(partners[i], body.get());
  manager->releaseAllPairs();
  EXPECT_EQ(manager->bodyPartners(body.get(), &partners), 0u);
}

TEST(CollisionManager, PairContactsAnswerInEitherOrder) {
  auto manager = managerFor(1);
  const MgcMatrix3 quarter(0.0, -1.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0);  // 90 degrees about z
  auto a = bodyAt(MgcVector3(1.0, 2.0, 3.0), quarter);
  auto b = bodyAt(MgcVector3());
  manager->getReportedPairs().append(pairOf(*manager, a.get(), b.get(), 3));
  MgcVector3* points = nullptr;
  ASSERT_EQ(manager->pairContacts(b.get(), a.get(), &points), 3u);
  // Point (2, 0, 0) in a's frame is a's position plus (0, 2, 0).
  EXPECT_EQ(points[2], MgcVector3(1.0, 4.0, 3.0));
  MgcVector3* again = nullptr;
  ASSERT_EQ(manager->pairContacts(a.get(), b.get(), &again), 3u);
  EXPECT_EQ(again[1], MgcVector3(1.0, 3.0, 3.0));
  auto stranger = bodyAt(MgcVector3());
  EXPECT_EQ(manager->pairContacts(a.get(), stranger.get(), &points), 0u);
}

// The detailed query counts every contact of the step's pairs of the two
// bodies (it used to answer 0 whatever it found) and sees normals from a.
TEST(CollisionManager, DetailedContactsCountAndOrientNormals) {
  auto manager = managerFor(1);
  auto a = bodyAt(MgcVector3());
  auto b = bodyAt(MgcVector3());
  manager->getStepPairs().append(pairOf(*manager, a.get(), b.get(), 2));
  manager->getStepPairs().append(pairOf(*manager, b.get(), a.get(), 3));
  MgcVector3* normals = nullptr;
  double* depths = nullptr;
  ASSERT_EQ(manager->pairContactsDetailed(a.get(), b.get(), &normals, &depths), 5u);
  int up = 0;
  for (int i = 0; i < 5; ++i) up += normals[i].y > 0.0 ? 1 : 0;
  EXPECT_EQ(up, 2);
  MgcVector3* reversed = nullptr;
  double* sameDepths = nullptr;
  ASSERT_EQ(manager->pairContactsDetailed(b.get(), a.get(), &reversed, &sameDepths), 5u);
  up = 0;
  for (int i = 0; i < 5; ++i) up += reversed[i].y > 0.0 ? 1 : 0;
  EXPECT_EQ(up, 3);
  auto stranger = bodyAt(MgcVector3());
  MgcVector3* untouched = nullptr;
  EXPECT_EQ(manager->pairContactsDetailed(a.get(), stranger.get(), &untouched, &depths), 0u);
  EXPECT_EQ(untouched, nullptr);
}

TEST(CollisionManager, ReleasesReturnRecordsAndManifolds) {
  auto manager = managerFor(1);
  auto a = bodyAt(MgcVector3());
  auto b = bodyAt(MgcVector3());
  manager->clearAll();
  EXPECT_EQ(manager->getFreeManifolds().getCount(), kInlineManifolds);
  manager->getStepPairs().append(pairOf(*manager, a.get(), b.get(), 1));
  const std::uint32_t freeBefore = manager->getFreePairs().getCount() + 1;
  manager->setPairCounter(1);
  ContactManifold* manifold = manager->getFreeManifolds().getFirst()->value;
  manager->getFreeManifolds().remove(manifold);
  manifold->body = a.get();
  manager->getManifoldsInUse().append(manifold);
  manager->setManifoldCount(1);
  a->enableInContact();

  manager->releaseBodyRecords();
  EXPECT_FALSE(a->isInContact());
  EXPECT_EQ(manager->getManifoldCount(), 0u);
  manager->releasePairRecords();
  EXPECT_EQ(manager->getStepPairs().getCount(), 0u);
  EXPECT_EQ(manager->getFreePairs().getCount(), freeBefore);
  EXPECT_EQ(manager->getFreeManifolds().getCount(), kInlineManifolds);
}

TEST(CollisionManager, ReportCopiesTheStepPairsOncePerBodyPair) {
  PrivateWorld world;
  CollisionManager& manager = *world.getCollisionManager();
  auto a = bodyAt(MgcVector3());
  auto b = bodyAt(MgcVector3());
  manager.getStepPairs().append(pairOf(manager, a.get(), b.get(), 2));
  manager.refreshPairList();
  manager.getStepPairs().getFirst()->value->contactCount = 4;
  manager.refreshPairList();
  ASSERT_EQ(manager.getReportedPairs().getCount(), 1u);
  EXPECT_EQ(manager.getReportedPairs().getFirst()->value->contactCount, 4u);
  HardBody** partners = nullptr;
  EXPECT_EQ(world.bodyPartners(a.get(), &partners), 1u);
  // A body that leaves the world leaves the report.
  world.addBody(a.get(), 0);
  world.removeBody(a.get());
  EXPECT_EQ(world.bodyPartners(b.get(), &partners), 0u);
}

}  // namespace
