// The world-step passes: levels from the resting side outward, the pass on
// helper threads finding what one thread finds, the fall-back when no
// worker can be had, the cracker pass and the bounds table, which only ever
// drops pairs that cannot touch.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ContactFixtures.h"
#include "engine/PrivateWorld.h"
#include "engine/bodies/ZovCrackerBody.h"
#include "engine/collision/BroadPhase.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "platform/Processors.h"
#include "support/FractureFixtures.h"
#include "support/SceneFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using namespace zovtest;

namespace {

const MgcVector3 kHalf(0.5, 0.5, 0.5);
const MgcVector3 kUp(0.0, 1.0, 0.0);

// The list walks the bodies in the given order.
void fill(EngineList<HardBody*>& list, const std::vector<HardBody*>& bodies) {
  for (auto it = bodies.rbegin(); it != bodies.rend(); ++it) list.append(*it);
}

// A world made as on a machine of 8 processors, so that every thread count
// up to 8 has its workers.
std::unique_ptr<PrivateWorld> worldOnEightProcessors() {
  zov::platform::setProcessorCountOverride(8);
  auto world = std::make_unique<PrivateWorld>();
  zov::platform::setProcessorCountOverride(0);
  return world;
}

// A column of boxes sunk a little into each other and into the ground,
// and a pair of boxes touching in the air beside it.
struct Column {
  BodyPtr ground = barrier(MgcVector3(), kUp);
  std::vector<BodyPtr> boxes;
  Column() {
    for (int i = 0; i < 3; ++i) boxes.push_back(hullBox(kHalf, MgcVector3(0.0, 0.49 + 0.99 * i, 0.0)));
    boxes.push_back(hullBox(kHalf, MgcVector3(5.0, 5.0, 0.0)));
    boxes.push_back(hullBox(kHalf, MgcVector3(5.0, 5.99, 0.0)));
  }
  std::vector<HardBody*> moving() const {
    std::vector<HardBody*> out;
    for (const BodyPtr& b : boxes) out.push_back(b.get());
    return out;
  }
};

TEST(DetectionPass, LevelsCountContactsFromTheGroundAndIslandsGetTheLastWave) {
  for (std::uint8_t ordered : {0, 1}) {
    PrivateWorld world;
    CollisionManager& manager = *world.getCollisionManager();
    manager.setOrderedExtraction(ordered);
    Column column;
    EngineList<HardBody*> active;
    fill(active, column.moving());
    EngineList<HardBody*> none;
    EngineList<HardBody*> barriers;
    fill(barriers, {column.ground.get()});
    ASSERT_EQ(manager.detectContacts(&active, &none, &none, &barriers), 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(column.boxes[i]->getContactLevel(), i + 1) << int(ordered);
    // Three waves from the ground, then the islands' wave.
    EXPECT_EQ(column.boxes[3]->getContactLevel(), 4);
    EXPECT_EQ(column.boxes[4]->getContactLevel(), 4);
    EXPECT_EQ(manager.getStepPairs().getCount(), 4u);
    EXPECT_EQ(manager.getPairCounter(), 4u);
    EXPECT_EQ(manager.getOrderedExtraction(), ordered);
  }
}

// The contact pass on 2, 4 and 8 threads leaves the bodies, the pairs and
// their contacts exactly as the detection pass on one thread.
TEST(DetectionPass, ContactPassOnHelpersMatchesTheSequentialPass) {
  struct Outcome {
    std::vector<MgcVector3> positions;
    std::vector<std::int32_t> levels;
    std::vector<std::uint32_t> counts;
    bool operator==(const Outcome& o) const {
      return positions == o.positions && levels == o.levels && counts == o.counts;
    }
  };
  std::vector<Outcome> outcomes;
  for (std::uint32_t threads : {1u, 2u, 4u, 8u}) {
    const std::unique_ptr<PrivateWorld> world = worldOnEightProcessors();
    CollisionManager& manager = *world->getCollisionManager();
    manager.setOrderedExtraction(1);
    manager.setThreadCount(threads);
    BodyPtr ground = barrier(MgcVector3(), kUp);
    std::vector<BodyPtr> boxes;
    std::vector<HardBody*> moving;
    for (int i = 0; i < 40; ++i) {
      const MgcVector3 at(1.02 * (i % 5), 0.49 + 0.98 * (i / 10), 1.02 * ((i / 5) % 2));
      boxes.push_back(i % 3 == 0 ? meshBox(kHalf, at) : hullBox(kHalf, at));
      boxes.back()->setExtractionCoeff(1.0);
      moving.push_back(boxes.back().get());
    }
    EngineList<HardBody*> active;
    fill(active, moving);
    EngineList<HardBody*> none;
    EngineList<HardBody*> barriers;
    fill(barriers, {ground.get()});
    ASSERT_EQ(manager.contactPass(&active, &none, &none, &barriers), 1);
    Outcome outcome;
    for (HardBody* b : moving) {
      outcome.positions.push_back(b->getDyn().position);
      outcome.levels.push_back(b->getContactLevel());
    }
    for (auto* node = manager.getStepPairs().getFirst(); node != nullptr; node = node->next) {
      outcome.counts.push_back(node->value->contactCount);
    }
    outcomes.push_back(outcome);
    // Every record the helpers took is back with the calling thread.
    for (std::uint32_t w = 1; w <= manager.getWorkerCount(); ++w) {
      EXPECT_EQ(manager.getWorkerFreePairs(w)->getCount(), 0u);
    }
  }
  for (std::size_t i = 1; i < outcomes.size(); ++i) EXPECT_TRUE(outcomes[i] == outcomes[0]) << i;
}

// A box sunk into a sleeping box on the ground: the contact pass finds the
// pair and pushes the moving box out, and the sleeper neither wakes nor
// moves; the sleeper and the ground, neither of which moves, are not tested.
TEST(DetectionPass, ContactPassLandsMovingBodiesOnSleepersWithoutWakingThem) {
  for (std::uint32_t threads : {1u, 2u, 4u, 8u}) {
    const std::unique_ptr<PrivateWorld> world = worldOnEightProcessors();
    CollisionManager& manager = *world->getCollisionManager();
    manager.setOrderedExtraction(1);
    manager.setThreadCount(threads);
    manager.setGravityDirection(-kUp);
    BodyPtr ground = barrier(MgcVector3(), kUp);
    BodyPtr sleeper = hullBox(kHalf, MgcVector3(0.0, 0.49, 0.0));
    BodyPtr top = hullBox(kHalf, MgcVector3(0.0, 1.47, 0.0));
    top->setExtractionCoeff(1.0);
    sleeper->deActivate();
    const MgcVector3 restingAt = sleeper->getDyn().position;
    EngineList<HardBody*> active;
    fill(active, {top.get()});
    EngineList<HardBody*> sleeping;
    fill(sleeping, {sleeper.get()});
    EngineList<HardBody*> none;
    EngineList<HardBody*> barriers;
    fill(barriers, {ground.get()});
    ASSERT_EQ(manager.contactPass(&active, &none, &sleeping, &barriers), 1) << threads;
    ASSERT_EQ(manager.getStepPairs().getCount(), 1u) << threads;
    EXPECT_TRUE(manager.getStepPairs().getFirst()->value->joins(top.get(), sleeper.get())) << threads;
    EXPECT_FALSE(sleeper->isActive()) << threads;
    EXPECT_EQ(sleeper->getDyn().position, restingAt) << threads;
    EXPECT_GT(top->getDyn().position.y, 1.47) << threads;
    EXPECT_EQ(sleeper->getContactLevel(), 0) << threads;
    EXPECT_EQ(top->getContactLevel(), 1) << threads;
  }
}

// The world points of a pair's contacts.
std::vector<MgcVector3> contactPoints(const CollisionPair& pair) {
  std::vector<MgcVector3> out;
  const RBDynamics& state = pair.firstBody->getDyn();
  for (std::uint32_t i = 0; i < pair.contactCount; ++i)
    out.push_back(state.orientation * pair.points[i] + state.position);
  return out;
}

// Two jointed unit cubes, x in [-0.5, 1.5], standing on the ground in one
// fracture body, with a plank laid across both: the pieces meet the ground
// and the plank, never each other, and each fracture body's pairs end as
// one pair with the contacts of both pieces, in the fracture body's frame.
// The same at 1, 2, 4 and 8 threads, and so are the poses a second later.
TEST(DetectionPass, ContactPassLiftsPiecePairsToOnePairOfTheirFractureBody) {
  std::string reference;
  for (std::uint32_t threads : {1u, 2u, 4u, 8u}) {
    const std::unique_ptr<PrivateWorld> scene = worldOnEightProcessors();
    PrivateWorld& world = *scene;
    prepareWorld(world, threads);
    HardBody* ground = addGround(world);
    CubeWall wall(2, 1);
    // Sunk a little into the ground, so that the first step meets it.
    wall.body->setPosition(wall.body->getDyn().position - kUp * 0.01);
    world.addBody(wall.body, 0);
    HardBody* plank = addBox(world, MgcVector3(0.9, 0.25, 0.4), MgcVector3(0.5, 1.23, 0.0));
    ASSERT_NEAR(wall.pieces[0]->getDyn().position.y, 0.49, 1e-12);
    world.step(1.0 / 240.0);
    CollisionManager& manager = *world.getCollisionManager();
    std::string text;
    int onGround = 0;
    int underPlank = 0;
    for (auto* node = manager.getStepPairs().getFirst(); node != nullptr; node = node->next) {
      const CollisionPair& pair = *node->value;
      EXPECT_EQ(pair.firstBody->getParent(), nullptr) << threads;
      EXPECT_EQ(pair.secondBody->getParent(), nullptr) << threads;
      EXPECT_NE(pair.firstBody, pair.secondBody) << threads;
      if (!pair.joins(wall.body, ground) && !pair.joins(wall.body, plank)) continue;
      const bool groundPair = pair.joins(wall.body, ground);
      ++(groundPair ? onGround : underPlank);
      const HardBody* piece = pair.firstBody == wall.body ? pair.firstPiece : pair.secondPiece;
      EXPECT_NE(std::find(wall.pieces.begin(), wall.pieces.end(), piece), wall.pieces.end()) << threads;
      ASSERT_LE(pair.contactCount, kMaxPairContacts);
      // Contacts of both cubes: on both sides of x = 0.5, at the height of
      // the face they lie on.
      double lowest = 2.0;
      double highest = -1.0;
      for (const MgcVector3& p : contactPoints(pair)) {
        lowest = std::min(lowest, p.x);
        highest = std::max(highest, p.x);
        EXPECT_NEAR(p.y, groundPair ? 0.0 : 1.0, 0.05) << threads;
        EXPECT_GT(p.x, -0.5 - 1e-3);
        EXPECT_LT(p.x, 1.5 + 1e-3);
      }
      EXPECT_LT(lowest, 0.5) << threads;
      EXPECT_GT(highest, 0.5) << threads;
      text += std::string(pair.firstBody->getShape().name) + " " + pair.secondBody->getShape().name + " " +
              std::to_string(pair.contactCount) + "\n";
    }
    EXPECT_EQ(onGround, 1) << threads;
    EXPECT_EQ(underPlank, 1) << threads;
    world.advance(1.0 / 240.0, nullptr);
    runSteps(world, 240, 1.0 / 240.0);
    for (const HullBody* piece : wall.pieces) {
      EXPECT_NEAR(piece->getDyn().position.y, 0.5, 0.02) << threads;
      dumpState(text, piece->getDyn());
    }
    // The plank stays on the cubes (its centre above their top, 1.0).
    EXPECT_GT(plank->getDyn().position.y, 1.0) << threads;
    EXPECT_LT(plank->getDyn().position.y, 1.26) << threads;
    dumpState(text, plank->getDyn());
    if (reference.empty()) reference = text;
    EXPECT_EQ(text, reference) << threads;
    wall.release(world);
  }
}

TEST(DetectionPass, ThreadCountWithoutWorkersStillFindsContacts) {
  zov::platform::setProcessorCountOverride(1);
  PrivateWorld world;
  zov::platform::setProcessorCountOverride(0);
  ASSERT_EQ(world.getCollisionManager()->getWorkerCount(), 0u);
  world.setThreadCount(4);
  Column column;
  EngineList<HardBody*> active;
  fill(active, {column.boxes[0].get()});
  EngineList<HardBody*> none;
  EngineList<HardBody*> barriers;
  fill(barriers, {column.ground.get()});
  EXPECT_EQ(world.getCollisionManager()->contactPass(&active, &none, &none, &barriers), 1);
  EXPECT_EQ(world.getCollisionManager()->getStepPairs().getCount(), 1u);
}

TEST(DetectionPass, CrackerPassWithoutCrackersTouchesNothing) {
  PrivateWorld world;
  CollisionManager& manager = *world.getCollisionManager();
  Column column;
  EngineList<HardBody*> active;
  fill(active, column.moving());
  EngineList<HardBody*> none;
  EXPECT_EQ(manager.testCrackerPairs(&none, &active, &none), 0);
  EXPECT_EQ(manager.getCrackerPairs().getCount(), 0u);
  BodyPtr cracker = capsuleAlongX<ZovCrackerBody>(1.0, 0.3, MgcVector3(0.0, 0.0, 0.0));
  EngineList<HardBody*> crackers;
  fill(crackers, {cracker.get()});
  EXPECT_EQ(manager.testCrackerPairs(&crackers, &active, &none), 1);
  ASSERT_EQ(manager.getCrackerPairs().getCount(), 1u);
  EXPECT_EQ(manager.getCrackerPairs().getFirst()->value->secondBody, cracker.get());
}

TEST(DetectionPass, ACrackerWakesTheSleepersItTouchesAndLeavesTheOthers) {
  PrivateWorld world;
  CollisionManager& manager = *world.getCollisionManager();
  Column column;
  HardBody* touched = column.boxes[0].get();
  HardBody* apart = column.boxes[3].get();
  for (HardBody* box : {touched, apart}) box->deActivate();
  EngineList<HardBody*> sleeping;
  fill(sleeping, {touched, apart});
  EngineList<HardBody*> none;
  BodyPtr cracker = capsuleAlongX<ZovCrackerBody>(1.0, 0.3, MgcVector3(0.0, 0.49, 0.0));
  EngineList<HardBody*> crackers;
  fill(crackers, {cracker.get()});
  EXPECT_EQ(manager.testCrackerPairs(&crackers, &none, &none, &sleeping), 1);
  ASSERT_EQ(manager.getCrackerPairs().getCount(), 1u);
  EXPECT_EQ(manager.getCrackerPairs().getFirst()->value->firstBody, touched);
  EXPECT_TRUE(touched->isActive());
  EXPECT_FALSE(apart->isActive());
}

// Random boxes and capsules, some far apart, some overlapping: every pair
// that the pair test finds touching is one the table keeps, also after
// bodies move.
TEST(DetectionPass, BoundsTableKeepsEveryPairThatTouches) {
  PrivateWorld world;
  CollisionManager& manager = *world.getCollisionManager();
  std::mt19937 random(7);
  std::uniform_real_distribution<double> spread(-4.0, 4.0);
  std::uniform_real_distribution<double> size(0.1, 1.2);
  std::vector<BodyPtr> bodies;
  std::vector<HardBody*> list;
  bodies.push_back(barrier(MgcVector3(0.0, -3.0, 0.0), kUp));
  for (int i = 0; i < 60; ++i) {
    const MgcVector3 at(spread(random), spread(random), spread(random));
    if (i % 4 == 3) {
      bodies.push_back(capsuleAlongX(size(random), size(random) * 0.5, at));
    } else {
      bodies.push_back(hullBox(MgcVector3(size(random), size(random), size(random)), at));
    }
  }
  bodies.push_back(phantomBox(kHalf, MgcVector3()));
  for (const BodyPtr& b : bodies) list.push_back(b.get());
  BroadPhase table;
  table.build(list);
  const auto check = [&] {
    int touching = 0;
    for (std::uint32_t a = 0; a < list.size(); ++a) {
      std::vector<std::uint32_t> partners;
      table.forEachNeighbour(a, [&](std::uint32_t other) { partners.push_back(other); });
      for (std::uint32_t b = a + 1; b < list.size(); ++b) {
        const bool kept = table.mayTouch(a, b);
        const bool listed = std::find(partners.begin(), partners.end(), b) != partners.end();
        if (!table.isUnbounded(a) && !table.isUnbounded(b) && !table.isInert(a) && !table.isInert(b)) {
          EXPECT_EQ(kept, listed) << a << " " << b;
        }
        for (auto [first, second] : {std::pair{list[a], list[b]}, std::pair{list[b], list[a]}}) {
          CollisionPair* record = manager.threadBuffer(0);
          if (manager.initPair(first, second, record, 0) != 0) {
            ++touching;
            EXPECT_TRUE(kept) << a << " " << b;
          }
          manager.queueContact(record, 0);
        }
      }
    }
    return touching;
  };
  EXPECT_GT(check(), 10);
  // Moves small and large, each told to the table.
  for (std::uint32_t i = 1; i < list.size(); i += 3) {
    list[i]->setPosition(list[i]->getDyn().position + MgcVector3(0.3 * (i % 5), -0.02, 2.5 * (i % 2)));
    list[i]->updateWorldData();
    table.noteMoved(i);
  }
  EXPECT_GT(check(), 10);
  table.clear();
  for (HardBody* b : list) EXPECT_EQ(b->getPassSlot(), -1);
}

TEST(DetectionPass, ReleasingABodyDropsTheReportsThatRememberItAsAPiece) {
  PrivateWorld world;
  CollisionManager& manager = *world.getCollisionManager();
  BodyPtr a = hullBox(kHalf, MgcVector3());
  BodyPtr b = hullBox(kHalf, MgcVector3());
  BodyPtr piece = hullBox(kHalf, MgcVector3());
  CollisionPair* pair = manager.threadBuffer(0);
  pair->reset();
  pair->firstBody = a.get();
  pair->secondBody = b.get();
  pair->secondPiece = piece.get();
  manager.getReportedPairs().append(pair);
  manager.releaseBodyPairs(piece.get());
  EXPECT_EQ(manager.getReportedPairs().getCount(), 0u);
}

}  // namespace
