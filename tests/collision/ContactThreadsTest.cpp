// Pair tests on several workers at once, sharing the resting bodies, find
// what one thread finds alone (also under ThreadSanitizer).

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "ContactFixtures.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "platform/Processors.h"

using Mgc::MgcVector3;
using namespace zovtest;

namespace {

struct Found {
  std::uint32_t count = 0;
  double depthSum = 0.0;
  MgcVector3 pointSum;
  bool operator==(const Found& o) const { return count == o.count && depthSum == o.depthSum && pointSum == o.pointSum; }
};

// The pass's pair test on worker `worker`: overlap, contacts, preparation.
Found testOn(CollisionManager& manager, HardBody* a, HardBody* b, std::uint32_t worker) {
  CollisionPair* pair = manager.threadBuffer(worker);
  pair->reset();
  pair->firstBody = a;
  pair->secondBody = b;
  Found found;
  if (manager.testBodyPair(a, b, pair, worker) && manager.testBodyPairExact(a, b, pair, worker)) {
    manager.prepareContacts(*pair);
    found.count = pair->contactCount;
    for (std::uint32_t i = 0; i < pair->contactCount; ++i) {
      found.depthSum += pair->depths[i];
      found.pointSum += pair->points[i];
    }
  }
  manager.queueContact(pair, worker);
  return found;
}

TEST(ContactThreads, WorkersSharingRestingBodiesFindWhatOneThreadFinds) {
  zov::platform::setProcessorCountOverride(5);
  CollisionManager manager;
  zov::platform::setProcessorCountOverride(0);
  ASSERT_EQ(manager.getWorkerCount(), 4u);

  // Resting bodies: the ground, a static hull, a static triangle mesh and a
  // fracture body of two pieces.
  std::vector<BodyPtr> resting;
  resting.push_back(barrier(MgcVector3(), MgcVector3(0.0, 1.0, 0.0)));
  resting.push_back(hullBox(MgcVector3(1.0, 0.5, 1.0), MgcVector3(-3.0, 0.4, 0.0)));
  resting.push_back(meshBox(MgcVector3(1.0, 0.5, 1.0), MgcVector3(3.0, 0.4, 0.0)));
  auto compound = compoundAt(MgcVector3(3.0, 1.0, 3.0), MgcVector3(0.0, 0.4, 3.0));
  compound->addPiece(hullBox(MgcVector3(0.5, 0.5, 1.0), MgcVector3(-0.6, 0.4, 3.0)));
  compound->addPiece(meshBox(MgcVector3(0.5, 0.5, 1.0), MgcVector3(0.6, 0.4, 3.0)));
  resting.push_back(BodyPtr(compound.release()));
  for (std::size_t i = 1; i < resting.size(); ++i) resting[i]->enableStatic();

  // Moving bodies of three kinds in three rows: sunk into the static boxes,
  // into the fracture body's pieces, and into the ground.
  std::vector<BodyPtr> moving;
  for (int i = 0; i < 24; ++i) {
    const int row = i % 3;
    const MgcVector3 at(-4.0 + 0.35 * i, row == 2 ? 0.35 : 0.85 + 0.01 * (i % 5),
                        row == 0 ? 0.0 : (row == 1 ? 3.0 : -3.0));
    if (i % 3 == 0) moving.push_back(hullBox(MgcVector3(0.4, 0.4, 0.4), at));
    if (i % 3 == 1) moving.push_back(meshBox(MgcVector3(0.4, 0.4, 0.4), at));
    if (i % 3 == 2) moving.push_back(capsuleAlongX(0.3, 0.4, at));
  }

  std::vector<Found> alone;
  for (const BodyPtr& m : moving)
    for (const BodyPtr& r : resting) alone.push_back(testOn(manager, m.get(), r.get(), 0));

  const std::uint32_t workers = 4;
  std::vector<std::vector<Found>> shares(workers + 1, std::vector<Found>(alone.size()));
  const auto work = [&](std::uint32_t worker) {
    for (std::size_t k = worker; k < alone.size(); k += workers + 1) {
      shares[worker][k] = testOn(manager, moving[k / resting.size()].get(), resting[k % resting.size()].get(), worker);
    }
  };
  std::vector<std::thread> threads;
  for (std::uint32_t w = 1; w <= workers; ++w) threads.emplace_back(work, w);
  work(0);
  for (std::thread& t : threads) t.join();

  std::uint32_t touching = 0;
  for (std::size_t k = 0; k < alone.size(); ++k) {
    EXPECT_EQ(shares[k % (workers + 1)][k], alone[k]) << k;
    if (alone[k].count != 0) ++touching;
  }
  EXPECT_GT(touching, 12u);
}

}  // namespace
