// The worker table and the dealing of work: workers per processor count,
// block dealing, shares whose thread cannot be started, errors on workers,
// and a threaded world that matches the sequential one.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

#include "collision/ContactFixtures.h"
#include "engine/BodyFactory.h"
#include "engine/PrivateWorld.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/threads/CollisionWorkers.h"
#include "platform/Processors.h"
#include "support/BodyFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::BoxBody;

namespace {

std::thread refuseThread(zov::platform::ThreadRoutine, void*, bool) { return std::thread(); }

// Restores the real thread start and processor count however a test ends.
struct WorkerSetupGuard {
  ~WorkerSetupGuard() {
    setWorkerThreadStarter(nullptr);
    zov::platform::setProcessorCountOverride(0);
  }
};

TEST(CollisionWorkers, OneWorkerPerProcessorButOneAtMostThirtyTwo) {
  const std::pair<int, std::uint32_t> table[] = {{-3, 0}, {0, 0}, {1, 0}, {2, 1}, {8, 7}, {33, 32}, {40, 32}};
  for (const auto& [processors, workers] : table) EXPECT_EQ(workersForProcessors(processors), workers) << processors;
  WorkerSetupGuard guard;
  for (const auto& [processors, workers] : {std::pair{8, 7u}, std::pair{40, 32u}}) {
    zov::platform::setProcessorCountOverride(processors);
    CollisionManager manager;
    EXPECT_EQ(manager.getWorkerCount(), workers);
    EXPECT_EQ(manager.getWorkerTable()->capacity, workers);
    manager.useAllThreads();
    EXPECT_EQ(manager.getThreadCount(), workers + 1);
  }
}

TEST(CollisionWorkers, BlocksGrowByWorker) {
  std::vector<std::unique_ptr<BoxBody>> bodies;
  for (const auto& [n, shares, kept] : {std::tuple{200u, std::vector<std::uint32_t>{40, 60, 80}, 20u},
                                        std::tuple{10u, std::vector<std::uint32_t>{10, 0, 0}, 0u}}) {
    EngineList<HardBody*> moving;
    std::vector<HardBody*> order;
    for (std::uint32_t i = 0; i < n; ++i) {
      bodies.push_back(std::make_unique<BoxBody>());
      moving.append(bodies.back().get());
    }
    for (auto* node = moving.getFirst(); node != nullptr; node = node->next) order.push_back(node->value);
    EngineList<HardBody*> lists[3];
    dealFromFront(moving, lists, 3);
    std::vector<HardBody*> dealt;
    for (std::uint32_t k = 0; k < 3; ++k) {
      EXPECT_EQ(lists[k].getCount(), shares[k]) << n << " worker " << k;
      for (auto* node = lists[k].getFirst(); node != nullptr; node = node->next) dealt.push_back(node->value);
    }
    EXPECT_EQ(moving.getCount(), kept);
    for (auto* node = moving.getFirst(); node != nullptr; node = node->next) dealt.push_back(node->value);
    EXPECT_EQ(dealt, order);  // in order, each once
  }
  EXPECT_EQ(dealBlockSize(200, 3), 20u);
  EXPECT_EQ(dealBlockSize(10, 3), 8u);
}

unsigned countShare(WorkerSlot* slot) {
  slot->result = slot->workerNumber;
  return 0;
}

unsigned throwOnSecond(WorkerSlot* slot) {
  if (slot->workerNumber == 2) throw std::runtime_error("worker failed");
  slot->result = 1;
  return 0;
}

// A share whose thread the system refuses is run on the calling thread
// instead of being left untested.
TEST(CollisionWorkers, RefusedThreadsShareRunsOnTheCallingThread) {
  WorkerSetupGuard guard;
  zov::platform::setProcessorCountOverride(4);
  CollisionManager manager;
  WorkerTable& table = *manager.getWorkerTable();
  for (ThreadStarter starter : {static_cast<ThreadStarter>(nullptr), &refuseThread}) {
    setWorkerThreadStarter(starter);
    const bool work[3] = {true, false, true};
    bool callerRan = false;
    for (std::uint32_t k = 0; k < 3; ++k) {
      table.slots[k].routine = &countShare;
      table.slots[k].result = 0;
    }
    runWorkerPhase(table, work, 3, [&] { callerRan = true; });
    EXPECT_TRUE(callerRan);
    EXPECT_EQ(table.slots[0].result, 1u);
    EXPECT_EQ(table.slots[1].result, 0u);  // no work, no thread
    EXPECT_EQ(table.slots[2].result, 3u);
  }
}

// What a worker throws reaches the caller once every worker has ended.
TEST(CollisionWorkers, WorkerErrorsReachTheCallerAfterTheJoin) {
  WorkerSetupGuard guard;
  zov::platform::setProcessorCountOverride(4);
  CollisionManager manager;
  WorkerTable& table = *manager.getWorkerTable();
  const bool work[3] = {true, true, true};
  for (ThreadStarter starter : {static_cast<ThreadStarter>(nullptr), &refuseThread}) {
    setWorkerThreadStarter(starter);
    for (std::uint32_t k = 0; k < 3; ++k) {
      table.slots[k].routine = &throwOnSecond;
      table.slots[k].result = 0;
    }
    EXPECT_THROW(runWorkerPhase(table, work, 3, [] {}), std::runtime_error);
    EXPECT_EQ(table.slots[0].result, 1u);
    EXPECT_EQ(table.slots[2].result, 1u);
    for (std::uint32_t k = 0; k < 3; ++k) EXPECT_FALSE(table.slots[k].thread.joinable());
  }
  EXPECT_THROW(runWorkerPhase(table, work, 3, [] { throw std::bad_alloc(); }), std::bad_alloc);
}

// Falling bodies stepped on 1, 2, 4 and 8 threads end where the sequential
// world leaves them.
TEST(CollisionWorkers, ThreadedWorldMatchesTheSequentialOne) {
  WorkerSetupGuard guard;
  std::vector<MgcVector3> reference;
  for (int processors : {1, 2, 4, 8}) {
    zov::platform::setProcessorCountOverride(processors);
    PrivateWorld world;
    world.useAllThreads();
    // Static bodies give the workers pairs to test.
    for (int i = 0; i < 3; ++i) {
      auto* ground = new BoxBody(MgcVector3(200.0, 1.0, 1.0));
      ground->init(MgcVector3(0.0, -10.0 * (i + 1), 0.0), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
      ground->enableStatic();
      world.addBody(ground, 0);
    }
    std::vector<BoxBody*> bodies;
    for (int i = 0; i < 60; ++i) {
      auto* body = new BoxBody();
      body->init(MgcVector3(3.0 * i, 0.0, 0.0), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
      body->setLinearVelocity(MgcVector3(0.0, 0.1 * i, 0.0));
      world.addBody(body, 0);
      bodies.push_back(body);
    }
    for (int frame = 0; frame < 10; ++frame) {
      ASSERT_TRUE(world.step(0.02));
      ASSERT_TRUE(world.advance(0.02, nullptr));
    }
    std::vector<MgcVector3> positions;
    for (BoxBody* body : bodies) positions.push_back(body->getDyn().position);
    if (reference.empty()) {
      reference = positions;
    } else {
      EXPECT_EQ(positions, reference) << processors;
    }
  }
}

// 100 boxes resting in two layers on a barrier, kept awake, stepped on 1
// and 8 threads: the pair records made follow the pairs in contact, not the
// thread count (at most one batch more per thread slot than on one thread,
// however the work fell between the threads), and on one thread later steps
// reuse the records without making any.
TEST(CollisionWorkers, PairRecordsDoNotGrowWithThreadsOrSteps) {
  WorkerSetupGuard guard;
  std::uint32_t oneThread = 0;
  for (int processors : {1, 8}) {
    zov::platform::setProcessorCountOverride(processors);
    PrivateWorld world;
    world.enableManagerOption();
    world.useAllThreads();
    MgcVector3 up(0.0, 1.0, 0.0);
    world.addBody(createBarrierBody(MgcVector3(), up), 0);
    const auto cube = zovtest::boxMesh(MgcVector3(0.5, 0.5, 0.5));
    for (int i = 0; i < 100; ++i) {
      HardBody* body = createHullBody(cube.get());
      body->init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
      body->setPosition(MgcVector3(1.01 * (i % 10), 0.5 + 1.0 * (i / 50), 1.01 * ((i / 10) % 5)));
      body->activate();
      world.addBody(body, 0);
    }
    const auto steps = [&world](int n) {
      for (int s = 0; s < n; ++s) {
        ASSERT_TRUE(world.step(1.0 / 240.0));
        ASSERT_TRUE(world.advance(1.0 / 240.0, nullptr));
      }
    };
    steps(10);
    const std::uint32_t early = world.getCollisionManager()->pairRecordCount();
    steps(20);
    const std::uint32_t made = world.getCollisionManager()->pairRecordCount();
    // Each box of the upper layer rests on the one below it.
    ASSERT_GE(world.getCollisionManager()->getStepPairs().getCount(), 50u);
    if (processors == 1) {
      EXPECT_EQ(made, early);
      oneThread = made;
    } else {
      EXPECT_LE(made, oneThread + static_cast<std::uint32_t>(processors) * kPairBatch);
    }
  }
}

}  // namespace
