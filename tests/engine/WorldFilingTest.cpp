// Filing bodies in the world's lists: the switches of a new world, adding,
// removing, waking and putting bodies to sleep, ids, and the invariant that
// every body is on the lists its state says, once, with counts to match.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "engine/BodyFactory.h"
#include "engine/PrivateWorld.h"
#include "engine/bodies/BarrierBody.h"
#include "engine/collision/CollisionManager.h"
#include "math/Tolerances.h"
#include "support/BodyFixtures.h"
#include "support/GeometryFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::BoxBody;

namespace {

std::uint32_t occurrences(const EngineList<HardBody*>& list, const HardBody* body) {
  std::uint32_t n = 0;
  for (auto* node = list.getFirst(); node != nullptr; node = node->next) n += node->value == body ? 1 : 0;
  return n;
}

// Every body once on at most one of the dynamic, static and inactive lists,
// sleepers also on the inactive list, crackers and barriers only on theirs,
// and counts equal to what the lists hold.
void expectListsConsistent(const PrivateWorld& world, const std::vector<HardBody*>& bodies) {
  for (const HardBody* body : bodies) {
    const std::uint32_t dyn = occurrences(world.getDynamicBodies(), body);
    const std::uint32_t stat = occurrences(world.getStaticBodies(), body);
    const std::uint32_t inactive = occurrences(world.getInactiveBodies(), body);
    const std::uint32_t sleeping = occurrences(world.getSleepingBodies(), body);
    ASSERT_LE(dyn + stat + inactive, 1u) << body->getShape().name;
    ASSERT_LE(sleeping, inactive) << body->getShape().name;
  }
  EXPECT_EQ(world.getNumDynamicBodies(),
            static_cast<std::int32_t>(world.getDynamicBodies().getCount() + world.getSleepingBodies().getCount()));
  EXPECT_EQ(world.getNumberOfStaticBodies(), static_cast<std::int32_t>(world.getStaticBodies().getCount()));
  EXPECT_TRUE(world.listOrdersMatchLists());
  EXPECT_TRUE(world.listsKeepTheirRules());
}

std::unique_ptr<BoxBody> namedBox(const char* name, bool active = true, bool isStatic = false) {
  auto body = std::make_unique<BoxBody>();
  body->getShape().setName(name);
  body->init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
  if (!active) body->deActivate();
  if (isStatic) body->enableStatic();
  return body;
}

TEST(WorldFiling, NewWorldHasDefaultSwitchesAndGravity) {
  PrivateWorld world;
  EXPECT_TRUE(world.isAirDampingActive());
  EXPECT_TRUE(world.isFrictionActive());
  EXPECT_TRUE(world.isGravityActive());
  EXPECT_FALSE(world.isDetectModeActive());
  EXPECT_FALSE(world.isRepportCollisionsActive());
  EXPECT_FALSE(world.isBodyChangeState());
  EXPECT_FALSE(world.isBodyDeactivationEnabled());
  EXPECT_EQ(world.GetGravity(), MgcVector3(0.0, -10.0, 0.0));
  EXPECT_EQ(world.getNumberOfBodies(), 0);
  ASSERT_NE(world.getCollisionManager(), nullptr);
  EXPECT_EQ(world.getThreadCount(), 1u);
}

TEST(WorldFiling, AddBodyFilesByStateAndLayer) {
  PrivateWorld world;
  auto inactive = namedBox("inactive", false);
  auto dynamic = namedBox("dynamic");
  auto layered = namedBox("layered");
  BarrierBody* ground = new BarrierBody;
  ground->setPlane(MgcVector3(), MgcVector3(0.0, 1.0, 0.0));

  EXPECT_FALSE(world.addBody(nullptr, 0));
  EXPECT_TRUE(world.addBody(inactive.get(), 0));
  EXPECT_EQ(world.getNumberOfBodies(), 0);
  EXPECT_TRUE(world.getInactiveBodies().contains(inactive.get()));

  world.addBody(dynamic.get(), 0);
  world.addBody(dynamic.get(), 0);
  EXPECT_EQ(occurrences(world.getDynamicBodies(), dynamic.get()), 1u);
  EXPECT_EQ(world.getNumberOfBodies(), 1);

  EXPECT_TRUE(world.addBody(layered.get(), 3));
  EXPECT_FALSE(world.containsBody(layered.get()));
  EXPECT_TRUE(world.addBody(ground, 3));
  EXPECT_TRUE(world.containsBody(ground));
  EXPECT_TRUE(ground->isActive());

  EXPECT_TRUE(world.removeBody(layered.get()));  // on no list: nothing changes
  EXPECT_EQ(world.getNumberOfBodies(), 1);
  world.removeBody(inactive.get());
  world.removeBody(dynamic.get());
  EXPECT_EQ(world.getNumberOfBodies(), 0);
}

TEST(WorldFiling, IdsAreConsecutiveAndKeepTheCounterAbove) {
  PrivateWorld world;
  auto first = namedBox("a");
  auto second = namedBox("b");
  auto fixed = namedBox("c");
  world.addBody(first.get(), 0);
  world.addBody(second.get(), 0);
  EXPECT_EQ(second->getShape().id, first->getShape().id + 1);
  fixed->getShape().id = static_cast<std::int32_t>(PrivateWorld::getNextBodyIndex() + 40);
  world.addBody(fixed.get(), 0);
  EXPECT_GE(PrivateWorld::getNextBodyIndex(), static_cast<std::uint32_t>(fixed->getShape().id) + 1);
  // The dynamic list runs in ascending id.
  std::vector<std::int32_t> ids;
  for (auto* node = world.getDynamicBodies().getFirst(); node != nullptr; node = node->next) {
    ids.push_back(node->value->getShape().id);
  }
  EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
  for (auto* body : {first.get(), second.get(), fixed.get()}) world.removeBody(body);
}

TEST(WorldFiling, FindBodyByNameSearchesDynamicFirstAndCountsBodies) {
  PrivateWorld world;
  auto sleeper = namedBox("twin", false);
  auto awake = namedBox("twin");
  auto other = namedBox("other");
  auto ground = namedBox("ground", true, true);
  world.addBody(sleeper.get(), 0);
  world.addBody(awake.get(), 0);
  world.addBody(other.get(), 0);
  world.addBody(ground.get(), 0);
  EXPECT_EQ(world.findBodyByName("twin"), awake.get());
  EXPECT_EQ(world.findBodyByName("missing"), nullptr);
  EXPECT_EQ(world.findBodyByName(nullptr), nullptr);
  EXPECT_EQ(world.countSubBodies(), 3u);
  EXPECT_EQ(world.getNumberOfStaticBodies(), 1);
  world.clearAllBodies();  // the bodies stay the test's
  EXPECT_EQ(world.getNumberOfBodies(), 0);
}

TEST(WorldFiling, DistanceAndOverlapOfBodies) {
  PrivateWorld world;
  // Meshes come in world terms: the right cube is built 3 along x.
  auto cube = zovtest::boxMesh(MgcVector3(0.5, 0.5, 0.5));
  auto shifted = zovtest::boxMesh(MgcVector3(0.5, 0.5, 0.5));
  for (std::uint32_t i = 0; i < shifted->numVertices; ++i) shifted->vertices[i] += MgcVector3(3.0, 0.0, 0.0);
  std::unique_ptr<HardBody> left(createHullBody(cube.get()));
  std::unique_ptr<HardBody> right(createHullBody(shifted.get()));
  std::unique_ptr<HardBody> capsule(createCapsuleBody(cube.get()));
  left->init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
  right->init(MgcVector3(3.0, 0.0, 0.0), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
  capsule->init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
  std::uint32_t va = 0, vb = 0, fa = 0, fb = 0;
  MgcVector3 pa, pb;
  // The closest facing faces of the two hulls: never nearer than the gap of 2.
  const double squared = world.bodyDistance(left.get(), right.get(), va, vb, fa, fb, pa, pb);
  EXPECT_GE(squared, 4.0 - 1e-9);
  EXPECT_NEAR((pb - pa).SquaredLength(), squared, 1e-9);
  EXPECT_LT(squared, zov::kMaxFloat);
  EXPECT_EQ(world.bodyDistance(capsule.get(), right.get(), va, vb, fa, fb, pa, pb), zov::kMaxFloat);
  EXPECT_FALSE(world.bodiesOverlap(left.get(), right.get()));
  EXPECT_TRUE(world.bodiesOverlap(left.get(), capsule.get()));
}

// A sleeper woken by activateBody used to stay on the sleeping list as well;
// the next sleep and wake pass then filed it on the dynamic list a second time.
TEST(WorldFiling, ActivatingASleeperFilesItOnce) {
  PrivateWorld world;
  world.disableGravity();
  auto body = namedBox("sleeper");
  world.addBody(body.get(), 0);
  body->deActivate();
  world.advance(0.01, nullptr);
  ASSERT_TRUE(world.getSleepingBodies().contains(body.get()));
  world.activateBody(body.get());
  world.advance(0.01, nullptr);
  EXPECT_EQ(occurrences(world.getDynamicBodies(), body.get()), 1u);
  EXPECT_FALSE(world.getSleepingBodies().contains(body.get()));
  expectListsConsistent(world, {body.get()});
  world.removeBody(body.get());
}

// Counts follow the lists through every move that used to let them drift:
// activating a parked static body, removing a sleeper, making a merely
// inactive body static.
TEST(WorldFiling, CountsFollowTheListsOnEveryMove) {
  PrivateWorld world;
  world.disableGravity();
  auto parked = namedBox("parked", true, true);
  auto sleeper = namedBox("sleeper");
  auto idle = namedBox("idle", false);
  world.addBody(parked.get(), 0);
  world.addBody(sleeper.get(), 0);
  world.addBody(idle.get(), 0);

  parked->disableStatic();
  world.activateBody(parked.get());
  expectListsConsistent(world, {parked.get(), sleeper.get(), idle.get()});

  sleeper->deActivate();
  world.advance(0.01, nullptr);
  world.removeBody(sleeper.get());
  expectListsConsistent(world, {parked.get(), sleeper.get(), idle.get()});

  world.registerBody(idle.get(), false);
  expectListsConsistent(world, {parked.get(), sleeper.get(), idle.get()});
  EXPECT_EQ(world.getNumberOfBodies(), 2);
  world.clearAllBodies();
}

// Long random sequences of world operations and direct sleeps and wakes keep
// the lists and counts consistent after every operation; after an advance
// every awake body is integrated and every sleeper has left the dynamic list.
TEST(WorldFiling, RandomOperationsKeepListsAndCountsConsistent) {
  std::mt19937 random(20240611);
  PrivateWorld world;
  world.disableGravity();
  std::vector<std::unique_ptr<HardBody>> bodies;
  std::vector<HardBody*> all;
  for (int i = 0; i < 24; ++i) {
    HardBody* body = namedBox("body", (i % 3) != 0, (i % 4) == 0).release();
    if (i % 11 == 0) {
      auto* ground = new BarrierBody;
      ground->setPlane(MgcVector3(), MgcVector3(0.0, 1.0, 0.0));
      delete body;
      body = ground;
    }
    bodies.emplace_back(body);
    all.push_back(body);
  }
  std::map<HardBody*, bool> inWorld;
  for (int op = 0; op < 6000; ++op) {
    HardBody* body = all[random() % all.size()];
    switch (random() % 9) {
      case 0:
        world.addBody(body, 0);
        inWorld[body] = true;
        break;
      case 1:
        world.removeBody(body);
        inWorld[body] = false;
        break;
      case 2:
        world.activateBody(body);
        inWorld[body] = true;
        break;
      case 3:
        world.deactivateBody(body);
        break;
      case 4:
        body->deActivate();  // asleep: the next pass files it
        break;
      case 5:
        body->activate();  // awake again
        break;
      case 6:
        (random() % 2 == 0 ? world.makeBodyStatic(body, nullptr) : world.makeBodyDynamic(body, nullptr));
        inWorld[body] = true;
        break;
      case 7:
        world.advance(0.01, nullptr);
        for (auto* node = world.getDynamicBodies().getFirst(); node != nullptr; node = node->next) {
          ASSERT_TRUE(node->value->isActive());
        }
        for (auto* node = world.getSleepingBodies().getFirst(); node != nullptr; node = node->next) {
          ASSERT_FALSE(node->value->isActive());
        }
        break;
      default:
        ASSERT_TRUE(world.step(0.01));
        break;
    }
    expectListsConsistent(world, all);
    if (HasFatalFailure()) return;
  }
  // Whatever the world still holds it deletes; the rest is the test's.
  for (auto& body : bodies) {
    if (world.containsBody(body.get()) || world.getCrackerBodies().contains(body.get())) body.release();
  }
}

}  // namespace
