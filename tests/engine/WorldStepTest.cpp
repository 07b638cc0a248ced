// The world's step and advance: the integration schedule, free fall at any
// split of a second, the sleep and wake pass, and what a step without
// contacts does.

#include <gtest/gtest.h>

#include <malloc.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "engine/BodyFactory.h"
#include "engine/PrivateWorld.h"
#include "engine/collision/CollisionManager.h"
#include "platform/Processors.h"
#include "support/BodyFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::BoxBody;

namespace {

// The world without its collision manager, as when it could not be made.
class ManagerlessWorld : public PrivateWorld {
 public:
  ManagerlessWorld() { dropCollisionManager(); }
};

std::unique_ptr<BoxBody> placedBox(const MgcVector3& position = {}) {
  auto body = std::make_unique<BoxBody>();
  body->init(position, MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
  body->setMass(3.0f);
  return body;
}

/// Adds a placed box to the world, which owns it from then on.
BoxBody* addPlacedBox(PrivateWorld& world) {
  BoxBody* body = placedBox().release();
  world.addBody(body, 0);
  return body;
}

// A body falls 1/2 g t^2 whatever the number of advances the second is split
// into (the trapezoidal scheme is exact for constant acceleration).
TEST(WorldStep, BodyFallsFiveInOneSecondAtAnySplit) {
  for (int advances : {24, 120, 300, 7}) {
    PrivateWorld world;
    world.disableAirDamping();
    BoxBody* body = placedBox(MgcVector3(1.0, 2.0, 3.0)).release();
    world.addBody(body, 0);
    for (int i = 0; i < advances; ++i) {
      ASSERT_TRUE(world.step(1.0 / advances));
      ASSERT_TRUE(world.advance(1.0 / advances, nullptr));
    }
    EXPECT_NEAR(body->getDyn().position.y, 2.0 - 5.0, 1e-9) << advances;
    EXPECT_NEAR(body->getDyn().linearVelocity.y, -10.0, 1e-9) << advances;
    EXPECT_NEAR(body->getDyn().position.x, 1.0, 1e-12);
  }
}

// Step lengths: whole steps of h, then the remainder, adding up to dt; a dt
// below h is one step. h is 1/300 rounded up in single precision, so 0.01 is
// two whole steps and a remainder just short of h.
TEST(WorldStep, AdvanceRunsWholeStepsThenTheRemainder) {
  const double h = kWorldIntegrationStep;
  struct Case {
    double dt;
    double lastStep;
  };
  for (const Case& c :
       {Case{0.0, 0.0}, Case{0.001, 0.001}, Case{2.0 * h, h}, Case{0.01, 0.01 - 2.0 * h}, Case{1.0, 1.0 - 299.0 * h}}) {
    PrivateWorld world;
    std::int64_t out = 7;
    ASSERT_TRUE(world.advance(c.dt, &out));
    EXPECT_EQ(out, 0);
    EXPECT_NEAR(world.getStepTime(), c.lastStep, 1e-15) << c.dt;
  }
}

TEST(WorldStep, GravityOffLeavesTheBodyAtRestAndDampingFollowsTheSwitch) {
  PrivateWorld world;
  world.disableGravity();
  BoxBody* resting = placedBox().release();
  world.addBody(resting, 0);
  world.advance(0.5, nullptr);
  EXPECT_EQ(resting->getDyn().position, MgcVector3());

  world.enableAirDamping();
  resting->setAirDampingCoeff(0.01);
  resting->setLinearVelocity(MgcVector3(1.0, 0.0, 0.0));
  world.advance(1.0, nullptr);
  EXPECT_NEAR(resting->getDyn().linearVelocity.x, std::pow(0.99, 100.0), 1e-9);
}

TEST(WorldStep, SleepingBodyLeavesAndReturnsToTheHeadOfTheDynamicList) {
  PrivateWorld world;
  world.disableGravity();
  BoxBody* a = addPlacedBox(world);
  addPlacedBox(world);
  a->setLinearVelocity(MgcVector3(1.0, 0.0, 0.0));
  a->deActivate();
  world.advance(0.1, nullptr);
  EXPECT_TRUE(world.getSleepingBodies().contains(a));
  EXPECT_TRUE(world.getInactiveBodies().contains(a));
  EXPECT_FALSE(world.getDynamicBodies().contains(a));
  EXPECT_EQ(a->getDyn().position, MgcVector3());  // not integrated
  EXPECT_EQ(world.getNumActiveBodies(), 1);

  a->activate();
  world.advance(0.1, nullptr);
  EXPECT_EQ(world.getDynamicBodies().getFirst()->value, a);
  EXPECT_GT(a->getDyn().position.x, 0.0);
  EXPECT_EQ(world.getNumDynamicBodies(), 2);
}

// The sleep and wake pass looks for woken sleepers only after a wake-up:
// however many passes found them all asleep, a sleeper woken by any means
// rejoins the dynamic list at the next one.
TEST(WorldStep, SleeperWokenAfterQuietAdvancesRejoinsTheDynamicList) {
  const std::vector<std::function<void(PrivateWorld&, HardBody*)>> wakes = {
      [](PrivateWorld&, HardBody* body) { body->activate(); },
      [](PrivateWorld&, HardBody* body) { body->applyImpulse(MgcVector3(1.0, 0.0, 0.0)); },
      [](PrivateWorld& world, HardBody* body) { world.activateBody(body); },
  };
  for (std::size_t w = 0; w < wakes.size(); ++w) {
    PrivateWorld world;
    world.disableGravity();
    BoxBody* a = addPlacedBox(world);
    BoxBody* b = addPlacedBox(world);
    a->deActivate();
    b->deActivate();
    for (int i = 0; i < 5; ++i) world.advance(0.1, nullptr);
    ASSERT_TRUE(world.getSleepingBodies().contains(a)) << w;
    ASSERT_EQ(world.getNumActiveBodies(), 0) << w;
    wakes[w](world, a);
    world.advance(0.1, nullptr);
    EXPECT_TRUE(world.getDynamicBodies().contains(a)) << w;
    EXPECT_FALSE(world.getSleepingBodies().contains(a)) << w;
    EXPECT_TRUE(world.getSleepingBodies().contains(b)) << w;
    EXPECT_EQ(world.getNumActiveBodies(), 1) << w;
  }
}

TEST(WorldStep, StepWithoutContactsEndsEarlyWithTheChangeFlagClear) {
  PrivateWorld world;
  world.enableBodyChangeState();
  world.addBody(placedBox().release(), 0);
  EXPECT_TRUE(world.step(0.01));
  EXPECT_FALSE(world.isBodyChangeState());

  world.enableDetectMode();
  world.enableBodyChangeState();
  EXPECT_FALSE(world.step(0.01));  // nothing touches: no contacts found
  EXPECT_TRUE(world.isBodyChangeState());
}

// A world whose collision manager could not be made refuses to step or
// advance instead of following a null manager.
TEST(WorldStep, WorldWithoutManagerRefusesToStep) {
  ManagerlessWorld world;
  world.addBody(placedBox().release(), 0);
  EXPECT_FALSE(world.step(0.01));
  EXPECT_FALSE(world.advance(0.01, nullptr));
  EXPECT_EQ(world.getThreadCount(), 0u);
  EXPECT_EQ(world.bodyPartners(nullptr, nullptr), 0u);
}

TEST(WorldStep, ThreadCountSwitches) {
  PrivateWorld world;
  world.setThreadCount(0);
  EXPECT_EQ(world.getThreadCount(), 1u);
  world.setThreadCount(5);
  EXPECT_EQ(world.getThreadCount(), 5u);
  world.setSingleThread();
  EXPECT_EQ(world.getThreadCount(), 1u);
  world.useAllThreads();
  EXPECT_EQ(world.getThreadCount(), world.getCollisionManager()->getWorkerCount() + 1);
}

// A body keeps worker states for the calling thread and each worker the
// world's passes use, no more.
TEST(WorldStep, BodiesKeepWorkerStatesForTheThreadsInUse) {
  zov::platform::setProcessorCountOverride(4);
  PrivateWorld world;
  zov::platform::setProcessorCountOverride(0);
  auto* body = placedBox().release();  // made for a single-threaded world
  EXPECT_EQ(body->getWorkerStateCount(), 1);
  world.addBody(body, 0);
  EXPECT_EQ(body->getWorkerStateCount(), 1);
  EXPECT_NE(body->getWorkerDyn(0), nullptr);
  EXPECT_EQ(body->getWorkerDyn(1), nullptr);
  world.useAllThreads();
  EXPECT_EQ(body->getWorkerStateCount(), 4);
  EXPECT_NE(body->getWorkerDyn(3), nullptr);
  world.setThreadCount(2);
  EXPECT_EQ(body->getWorkerStateCount(), 2);
  world.setThreadCount(40);  // no more than the workers there are
  EXPECT_EQ(body->getWorkerStateCount(), 4);
  world.setSingleThread();
  EXPECT_EQ(body->getWorkerStateCount(), 1);
}

// A slot's state is made when that slot first asks for it: it starts as the
// default state and keeps what is written to it until the slots are sized
// again, and until then a slot costs a body one pointer, so that bodies of a
// world of many threads take no more memory than those of one.
TEST(WorldStep, WorkerStatesAreMadeWhenTheirSlotFirstAsks) {
  zov::platform::setProcessorCountOverride(8);
  PrivateWorld world;
  zov::platform::setProcessorCountOverride(0);
  world.setThreadCount(8);
  auto* body = placedBox().release();
  world.addBody(body, 0);
  ASSERT_EQ(body->getWorkerStateCount(), 8);
  RBDynamics* slot = body->getWorkerDyn(5);
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(slot->invMass, 0.0);
  EXPECT_EQ(slot->linearVelocity.Length(), 0.0);
  slot->linearVelocity = MgcVector3(1.0, 2.0, 3.0);
  EXPECT_EQ(body->getWorkerDyn(5), slot);
  EXPECT_EQ(body->getWorkerDyn(5)->linearVelocity.y, 2.0);
  EXPECT_NE(body->getWorkerDyn(4), slot);
  world.setThreadCount(4);
  world.setThreadCount(8);
  EXPECT_EQ(body->getWorkerDyn(5)->linearVelocity.Length(), 0.0);

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // The C library's own heap count (the sanitizers' allocators keep theirs).
  constexpr int kBoxes = 64;
  const auto heapOfBoxes = [&](std::uint32_t threads) {
    world.setThreadCount(threads);
    std::vector<std::unique_ptr<BoxBody>> boxes;
    const struct mallinfo2 before = mallinfo2();
    for (int i = 0; i < kBoxes; ++i) boxes.push_back(placedBox());
    const struct mallinfo2 after = mallinfo2();
    return static_cast<double>(after.uordblks) - static_cast<double>(before.uordblks);
  };
  const double one = heapOfBoxes(1);
  const double eight = heapOfBoxes(8);
  EXPECT_GT(one, kBoxes * static_cast<double>(sizeof(BoxBody)));
  EXPECT_LE(eight - one, kBoxes * 8.0 * sizeof(void*));
#endif
}

TEST(WorldStep, BodiesMadeWithoutAWorldKeepEverySlot) {
  BoxBody body;
  EXPECT_EQ(body.getWorkerStateCount(), kThreadSlotCount);
}

TEST(WorldStep, RebuildReturnsSleepersAndResetDeletesEverything) {
  PrivateWorld world;
  world.disableGravity();
  BoxBody* a = placedBox().release();
  world.addBody(a, 0);
  a->deActivate();
  world.advance(0.01, nullptr);
  ASSERT_TRUE(world.getSleepingBodies().contains(a));
  world.rebuild();
  EXPECT_TRUE(world.getDynamicBodies().contains(a));
  EXPECT_TRUE(a->isActive());
  EXPECT_EQ(world.getSleepingBodies().getCount(), 0u);
  EXPECT_TRUE(world.reset());
  EXPECT_EQ(world.getNumberOfBodies(), 0);
}

}  // namespace
