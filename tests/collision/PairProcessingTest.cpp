// The work on pairs in contact: extraction pushes the upper body out by the
// depth and parts bodies side by side, or of very different masses where
// the lighter one moves into the heavier one, by their masses, the pair's
// energy, first-hit switches, the
// impact of a point mass (restitution and Coulomb friction), the resting
// pass and the alignment on crackers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ContactFixtures.h"
#include "engine/PrivateWorld.h"
#include "engine/WorldFlags.h"
#include "engine/bodies/ZovCrackerBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/threads/LevelOrder.h"
#include "engine/collision/threads/WorkerPool.h"
#include "engine/solver/LsqrSystem.h"
#include "geometry/ConvexHull.h"
#include "platform/Processors.h"
#include "support/ConvexSat.h"
#include "support/SceneFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using namespace zovtest;

namespace {

const MgcVector3 kHalf(0.5, 0.5, 0.5);
const MgcVector3 kUp(0.0, 1.0, 0.0);

bool finite(const MgcVector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// Two unit boxes, the upper one sunk `depth` into the lower one; levels,
// the upper box's mass and the speed at which the lighter box moves into the
// other as given. Returns how far each moved up: by the depth less the
// overlap extraction leaves.
struct Moves {
  double upper;
  double lower;
  /// Whether the helpers that take pairs apart at once count each as moved.
  bool upperCounted;
  bool lowerCounted;
};
Moves extractStack(double depth, int upperLevel, int lowerLevel, float upperMass, double lighterClosing = 0.0) {
  PrivateWorld world;
  CollisionManager& manager = *world.getCollisionManager();
  manager.setGravityDirection(-kUp);
  BodyPtr lower = hullBox(kHalf, MgcVector3(0.0, 0.5, 0.0));
  BodyPtr upper = hullBox(kHalf, MgcVector3(0.0, 1.5 - depth, 0.0));
  upper->setMass(upperMass);
  if (upperMass < 1.0f) {
    upper->setLinearVelocity(kUp * -lighterClosing);
  } else {
    lower->setLinearVelocity(kUp * lighterClosing);
  }
  for (HardBody* b : {lower.get(), upper.get()}) b->setExtractionCoeff(1.0);
  upper->setContactLevel(upperLevel);
  lower->setContactLevel(lowerLevel);
  const double upperBefore = upper->getDyn().position.y;
  const double lowerBefore = lower->getDyn().position.y;
  bool counted[2] = {false, false};
  if (manager.testPair(upper.get(), lower.get()) != 0) {
    CollisionPair* pair = manager.getNewPairs().getFirst()->value;
    for (const bool first : {true, false})
      counted[(first ? pair->firstBody : pair->secondBody) == upper.get() ? 0 : 1] =
          manager.extractionMayMove(*pair, first);
    manager.extractContacts(pair);
  }
  return Moves{upper->getDyn().position.y - upperBefore, lower->getDyn().position.y - lowerBefore, counted[0],
               counted[1]};
}

// The box on top moves up by the depth when the two weigh about the same;
// so does one of a lower level than the box it lies on (a body leaning on
// another and standing on the ground beside it), where moving the lower box
// would push it into its own support. A sleeping box (level 0) on a moving
// one holds, and the moving one goes down. A box more than half as heavy
// again as the other, or less than two thirds as heavy, parts with it by
// their masses (m1 d1 = m2 d2) where the lighter one moves into the other
// faster than a still contact creeps (moved alone, a heavy box would be
// carried by a light one rising into it), or where one is a hundred times
// as heavy as the other or more; resting on the lower box, the upper one
// moves alone.
TEST(PairProcessing, ExtractionMovesTheBodyOnTopByTheDepthUnlessOneIsMuchHeavier) {
  struct Case {
    double depth;
    int upperLevel;
    int lowerLevel;
    float upperMass;
    double lighterClosing;
    double upperMove;
    double lowerMove;
  };
  for (const Case& c :
       {Case{0.02, 2, 1, 1.0f, 0.0, 0.02, 0.0}, Case{0.02, 1, 2, 1.0f, 0.0, 0.02, 0.0},
        Case{0.02, 1, 1, 1.0f, 0.0, 0.02, 0.0}, Case{0.02, 2, 1, 1.4f, 0.1, 0.02, 0.0},
        Case{0.02, 2, 1, 0.75f, 0.0, 0.02, 0.0}, Case{0.02, 0, 1, 1.0f, 0.0, 0.0, -0.02},
        Case{1e-6, 2, 1, 1.0f, 0.0, 0.0, 0.0}, Case{0.02, 1, 3, 5.0f, 0.1, 0.02 / 6.0, -0.02 * 5.0 / 6.0},
        Case{0.02, 2, 1, 10.0f, 0.1, 0.02 / 11.0, -0.02 * 10.0 / 11.0}, Case{0.02, 2, 1, 10.0f, 0.0, 0.02, 0.0},
        Case{0.02, 2, 1, 10.0f, 5e-4, 0.02, 0.0}, Case{0.02, 2, 1, 200.0f, 0.0, 0.02 / 201.0, -0.02 * 200.0 / 201.0},
        Case{0.05, 3, 0, 0.25f, 0.1, 0.04, -0.01}, Case{0.05, 3, 0, 0.25f, 0.0, 0.05, 0.0}}) {
    const Moves moves = extractStack(c.depth, c.upperLevel, c.lowerLevel, c.upperMass, c.lighterClosing);
    const double left = c.upperMove - c.lowerMove > 0.0 ? kRestingOverlap : 0.0;
    EXPECT_NEAR(moves.upper, c.upperMove * (1.0 - left / c.depth), 1e-6)
        << c.depth << " " << c.upperLevel << " " << c.lowerLevel;
    EXPECT_NEAR(moves.lower, c.lowerMove * (1.0 - left / c.depth), 1e-6)
        << c.depth << " " << c.upperLevel << " " << c.lowerLevel;
  }
}

// Light boxes each under two boxes two hundred times as heavy, dropped on
// them: extraction parts every such pair by their masses, moving both
// bodies, each light box in two pairs at once. Stepped on 1 and on 4
// threads, whose helpers take pairs apart at once where they move different
// bodies, the boxes end bit for bit alike (and, under ThreadSanitizer, no
// two helpers move one box at once). That rests on the order the helpers
// keep, which counts every body an extraction moves as moved: checked on
// pairs of every mass ratio, light bodies moving into heavy ones or not,
// whatever the helpers' timing on a busy machine.
TEST(PairProcessing, PartedPairsEndAsInOrderOnAnyThreadCount) {
  for (const float upperMass : {1.0f, 1.4f, 10.0f, 200.0f, 0.25f, 0.005f}) {
    for (const double closing : {0.0, 0.1}) {
      const Moves moves = extractStack(0.02, 2, 1, upperMass, closing);
      EXPECT_TRUE(moves.upper == 0.0 || moves.upperCounted) << upperMass << " closing " << closing;
      EXPECT_TRUE(moves.lower == 0.0 || moves.lowerCounted) << upperMass << " closing " << closing;
    }
  }
  std::vector<double> reference;
  for (std::uint32_t threads : {1u, 4u}) {
    zov::platform::setProcessorCountOverride(8);
    PrivateWorld world;
    zov::platform::setProcessorCountOverride(0);
    prepareWorld(world, threads);
    addGround(world);
    std::vector<HardBody*> boxes;
    for (int i = 0; i < 8; ++i) {
      const double x = 4.0 * i;
      boxes.push_back(addBox(world, MgcVector3(1.0, 0.25, 0.5), MgcVector3(x, 0.25, 0.0)));
      for (double side : {-0.5, 0.5})
        boxes.push_back(addBox(world, MgcVector3(0.4, 0.4, 0.4), MgcVector3(x + side, 0.9, 0.0), 200.0f));
    }
    runSteps(world, 40, 1.0 / 240.0);
    std::vector<double> poses;
    for (const HardBody* box : boxes) {
      const RBDynamics& state = box->getDyn();
      for (int k = 0; k < 3; ++k) poses.push_back(state.position[k]);
      for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) poses.push_back(state.orientation[r][c]);
    }
    if (reference.empty()) {
      reference = poses;
    } else {
      EXPECT_EQ(poses, reference) << threads << " threads";
    }
  }
}

// Two boxes side by side on one level (both on the ground), sunk `depth`
// into each other along x: extraction parts them by the depth (less the
// overlap it leaves), each moving
// by its share of the inverse masses (m1 d1 = m2 d2, the momentum an
// impulse would give); with gravity along x the left box lies under the
// right one and holds.
TEST(PairProcessing, ExtractionPartsBodiesOfOneLevelByTheirMasses) {
  struct Case {
    float leftMass;
    float rightMass;
    MgcVector3 gravity;
    double leftMove;
    double rightMove;
  };
  const double depth = 0.04;
  for (const Case& c :
       {Case{1.0f, 1.0f, -kUp, -0.02, 0.02}, Case{1.0f, 3.0f, -kUp, -0.03, 0.01},
        Case{4.0f, 1.0f, MgcVector3(), -0.008, 0.032}, Case{1.0f, 1.0f, MgcVector3(-1, 0, 0), 0.0, 0.04}}) {
    PrivateWorld world;
    CollisionManager& manager = *world.getCollisionManager();
    manager.setGravityDirection(c.gravity);
    BodyPtr left = hullBox(kHalf, MgcVector3(0.0, 0.5, 0.0));
    BodyPtr right = hullBox(kHalf, MgcVector3(1.0 - depth, 0.5, 0.0));
    left->setMass(c.leftMass);
    right->setMass(c.rightMass);
    for (HardBody* b : {left.get(), right.get()}) {
      b->setExtractionCoeff(1.0);
      b->setContactLevel(1);
    }
    const MgcVector3 leftBefore = left->getDyn().position;
    const MgcVector3 rightBefore = right->getDyn().position;
    ASSERT_NE(manager.testPair(right.get(), left.get()), 0u);
    manager.extractContacts(manager.getNewPairs().getFirst()->value);
    const MgcVector3 leftMove = left->getDyn().position - leftBefore;
    const MgcVector3 rightMove = right->getDyn().position - rightBefore;
    const double parted = 1.0 - kRestingOverlap / depth;
    EXPECT_NEAR(leftMove.x, c.leftMove * parted, 1e-6) << c.leftMass << " " << c.rightMass;
    EXPECT_NEAR(rightMove.x, c.rightMove * parted, 1e-6) << c.leftMass << " " << c.rightMass;
    EXPECT_NEAR(leftMove.y, 0.0, 1e-9);
    EXPECT_NEAR(rightMove.y, 0.0, 1e-9);
  }
}

// Piles of 4 x 4 x 4 boxes of random sides from 0.3 to 1.2, each its
// volume in mass or every other one ten times that, turned and shifted at
// random and dropped in layers 1.2 apart on a passive box, played as the
// host plays them (24 frames a second, 5 substeps; friction 0.7, bounciness
// 0.3). Boxes standing on the ground lean on boxes lying on others, at
// every angle: once the pile has landed (2 s), no two boxes that moved less
// than a centimetre in the frame lie 5 mm inside each other (their
// separating-axis depth) for three frames running, nor 2 cm in any frame,
// nor a box 2 cm in the ground. The sanitizers' builds play one pile.
TEST(PairProcessing, BoxesLeaningOnBoxesOfAHigherLevelDoNotSinkIntoThem) {
  struct Pile {
    unsigned draw;
    float heavier;
  };
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  const std::vector<Pile> piles{{3u, 1.0f}};
#else
  const std::vector<Pile> piles{{3u, 1.0f}, {7u, 1.0f}, {21u, 10.0f}};
#endif
  constexpr int kBoxes = 64;
  constexpr int kSubsteps = 5;
  for (const Pile& pile : piles) {
    PrivateWorld world;
    world.enableManagerOption();
    world.enableBodyDeactivation();
    HardBody* ground = addBox(world, MgcVector3(20.0, 0.5, 20.0), MgcVector3(3.0, -0.5, 3.0), 1.0f, 0.3, 0.7);
    ground->enableStatic();
    std::mt19937 random(2024 + pile.draw);
    std::uniform_real_distribution<double> side(0.3, 1.2), offset(-0.05, 0.05), unit(-1.0, 1.0), turn(-0.1, 0.1);
    std::vector<HardBody*> boxes;
    std::vector<MgcVector3> halves;
    for (int i = 0; i < kBoxes; ++i) {
      const MgcVector3 half(0.5 * side(random), 0.5 * side(random), 0.5 * side(random));
      const MgcVector3 at(1.2 * (i % 4) + offset(random), 0.7 + 1.2 * (i / 16) + offset(random),
                          1.2 * ((i / 4) % 4) + offset(random));
      MgcVector3 axis(unit(random), unit(random), unit(random));
      if (axis.Unitize(1e-6) == 0.0) axis = kUp;
      MgcMatrix3 R;
      R.FromAxisAngle(axis, turn(random));
      const float mass = static_cast<float>(8.0 * half.x * half.y * half.z) * (i % 2 == 1 ? pile.heavier : 1.0f);
      boxes.push_back(addBox(world, half, at, mass, 0.3, 0.7, R));
      halves.push_back(half);
    }
    std::vector<ConvexPolyhedron> before(kBoxes), now(kBoxes);
    const auto place = [&](std::vector<ConvexPolyhedron>& into) {
      for (int i = 0; i < kBoxes; ++i) {
        into[i] = convexPolyhedron(ZOVbox{boxes[i]->getDyn().position, boxes[i]->getDyn().orientation, halves[i]});
      }
    };
    const auto resting = [&](int i) {
      for (int k = 0; k < 8; ++k)
        if ((now[i].vertices[k] - before[i].vertices[k]).Length() > 0.01) return false;
      return true;
    };
    double deepest = 0.0;
    std::vector<int> deepFrames(kBoxes * kBoxes, 0);
    int longest = 0;
    for (int frame = 1; frame <= 6 * 24; ++frame) {
      place(before);
      runSteps(world, kSubsteps, 1.0 / (24 * kSubsteps));
      place(now);
      for (int i = 0; frame > 2 * 24 && i < kBoxes; ++i) {
        if (!resting(i)) continue;
        for (const MgcVector3& corner : now[i].vertices) deepest = std::max(deepest, -corner.y);
        for (int j = i + 1; j < kBoxes; ++j) {
          const double apart = (boxes[i]->getDyn().position - boxes[j]->getDyn().position).Length();
          if (!resting(j) || apart > halves[i].Length() + halves[j].Length()) continue;
          const double depth = -separatingAxes(now[i], now[j]).gap;
          deepest = std::max(deepest, depth);
          int& frames = deepFrames[i * kBoxes + j];
          frames = depth > 0.005 ? frames + 1 : 0;
          longest = std::max(longest, frames);
        }
      }
    }
    EXPECT_LT(longest, 3) << "draw " << pile.draw << ", every other box " << pile.heavier << " times as heavy";
    EXPECT_LT(deepest, 0.02) << "draw " << pile.draw << ", every other box " << pile.heavier << " times as heavy";
  }
}

TEST(PairProcessing, PairEnergyIsTheSumOfTwiceTheKineticEnergies) {
  PrivateWorld world;
  CollisionManager& manager = *world.getCollisionManager();
  BodyPtr a = hullBox(kHalf, MgcVector3());
  BodyPtr b = hullBox(MgcVector3(1.0, 0.5, 0.25), MgcVector3(3.0, 0.0, 0.0));
  a->setMass(2.0f);
  b->setMass(3.0f);
  a->setLinearVelocity(MgcVector3(1.0, 2.0, 0.0));
  b->setLinearVelocity(MgcVector3(0.0, 0.0, -1.0));
  a->setAngularVelocity(MgcVector3(0.0, 3.0, 0.0));
  b->setAngularVelocity(MgcVector3(1.0, 0.0, 2.0));
  CollisionPair* pair = manager.threadBuffer(0);
  pair->reset();
  pair->firstBody = a.get();
  pair->secondBody = b.get();
  double expected = 0.0;
  MgcVector3 momentum;
  for (HardBody* body : {a.get(), b.get()}) {
    const RBDynamics& s = body->getDyn();
    expected +=
        body->getMass() * s.linearVelocity.SquaredLength() + s.angularVelocity.Dot(s.worldInertia * s.angularVelocity);
    momentum += s.linearVelocity * body->getMass();
  }
  EXPECT_NEAR(manager.pairEnergy(pair), expected, 1e-9 * expected);
  EXPECT_NEAR((manager.getPairMomenta()[0] - momentum).Length(), 0.0, 1e-12);
  EXPECT_EQ(manager.pairEnergy(nullptr), -1.0);
  manager.queueContact(pair, 0);
}

TEST(PairProcessing, StaticBodyWaitingForItsFirstHitBecomesDynamic) {
  PrivateWorld world;
  CollisionManager& manager = *world.getCollisionManager();
  BodyPtr waiting = hullBox(kHalf, MgcVector3(0.0, 0.5, 0.0));
  waiting->enableStatic();
  waiting->enableFirstHit();
  BodyPtr falling = hullBox(kHalf, MgcVector3(0.0, 1.49, 0.0));
  falling->setLinearVelocity(MgcVector3(0.0, -2.0, 0.0));
  ASSERT_NE(manager.testPair(falling.get(), waiting.get()), 0u);
  EXPECT_EQ(manager.processPair(manager.getNewPairs().getFirst()->value, 1, 0), kWorldBodyChangeState);
  EXPECT_FALSE(waiting->isStatic());
  // The hit reached it: it moves down now.
  EXPECT_LT(waiting->getDyn().linearVelocity.y, -0.1);
}

// A point mass hitting a body: the normal speed turns into -e of itself,
// and a slide loses mu times the normal impulse, against the slide.
TEST(PairProcessing, PointMassImpactKeepsRestitutionAndFrictionCone) {
  struct Case {
    bool bodyStatic;
    MgcVector3 velocity;
    double restitution;
    double friction;
    MgcVector3 expected;
  };
  for (const Case& c : {
           Case{true, MgcVector3(0.0, -2.0, 0.0), 0.5, 0.5, MgcVector3(0.0, 1.0, 0.0)},
           Case{true, MgcVector3(1.0, -1.0, 0.0), 0.0, 0.5, MgcVector3(0.5, 0.0, 0.0)},
           Case{true, MgcVector3(-3.0, -2.0, 0.0), 0.5, 0.25, MgcVector3(-3.0 + 0.25 * 3.0, 1.0, 0.0)},
           Case{true, MgcVector3(0.0, 1.0, 0.0), 0.5, 0.5, MgcVector3(0.0, 1.0, 0.0)},
           // Equal masses, head on through the centre, no bounce: they
           // share the momentum.
           Case{false, MgcVector3(0.0, -2.0, 0.0), 0.0, 0.5, MgcVector3(0.0, -1.0, 0.0)},
       }) {
    PrivateWorld world;
    BodyPtr body = hullBox(kHalf, MgcVector3());
    body->setMass(1.0f);
    body->setRestitutionCoeff(1.0);
    body->setFrictionCoeff(1.0);
    if (c.bodyStatic) body->enableStatic();
    MgcVector3 v = c.velocity;
    world.resolveBodyImpact(body.get(), c.restitution, c.friction, MgcVector3(0.0, 0.5, 0.0), 1.0, kUp, v);
    EXPECT_NEAR((v - c.expected).Length(), 0.0, 1e-6) << c.velocity.x << " " << c.velocity.y;
    if (!c.bodyStatic) {
      EXPECT_NEAR(body->getDyn().linearVelocity.y, -1.0, 1e-6);
    }
  }
}

// Pairs put into the step's list by hand, with `count` contacts of a body
// on the ground.
CollisionPair* restingPair(CollisionManager& manager, HardBody* a, HardBody* b, std::uint32_t count) {
  CollisionPair* pair = manager.threadBuffer(0);
  pair->reset();
  pair->firstBody = a;
  pair->secondBody = b;
  pair->reserveContacts(count);
  pair->contactCount = count;
  for (std::uint32_t i = 0; i < count; ++i) pair->normals[i] = kUp;
  manager.getStepPairs().append(pair);
  return pair;
}

TEST(PairProcessing, RestingPassNeedsThreeContactsAndTwentyQuietCalls) {
  for (std::uint32_t contacts : {2u, 3u, 4u}) {
    PrivateWorld world;
    CollisionManager& manager = *world.getCollisionManager();
    BodyPtr ground = barrier(MgcVector3(), kUp);
    BodyPtr box = hullBox(kHalf, MgcVector3(0.0, 0.5, 0.0));
    box->setLinearVelocity(MgcVector3(0.01, 0.0, 0.0));
    box->storeLastDynamics();
    restingPair(manager, box.get(), ground.get(), contacts);
    int sleptAt = -1;
    for (int call = 1; call <= 25 && sleptAt < 0; ++call) {
      manager.settleRestingBodies();
      if (!box->isActive()) sleptAt = call;
    }
    if (contacts < 3) {
      EXPECT_EQ(sleptAt, -1);
    } else {
      EXPECT_EQ(sleptAt, 20);
      EXPECT_EQ(box->getDyn().linearVelocity, MgcVector3());
    }
    manager.getStepPairs().clear();
  }
}

// A box on an edge on the ground (two contacts) that leans at one point on
// another, still moving, box: held at three points not on one line, it is
// put to rest after twenty quiet calls as a box on three contacts of the
// ground is; with the third point on the line of the edge it could still
// tip, and it never is.
TEST(PairProcessing, RestingPassTakesABodysTouchesOfSeveralPairsTogether) {
  struct Case {
    MgcVector3 leaning;  // the third point, in the box's frame
    int sleptAt;
  };
  for (const Case& c : {Case{MgcVector3(0.5, 0.3, 0.2), 20}, Case{MgcVector3(0.5, -0.5, 0.2), 20},
                        Case{MgcVector3(0.2, -0.5, 0.0), -1}, Case{MgcVector3(0.5, -0.5, 0.0), -1}}) {
    PrivateWorld world;
    CollisionManager& manager = *world.getCollisionManager();
    BodyPtr ground = barrier(MgcVector3(), kUp);
    const MgcVector3 at(0.0, 0.5, 0.0);
    BodyPtr box = hullBox(kHalf, at);
    BodyPtr other = hullBox(kHalf, MgcVector3(1.0, 0.6, 0.0));
    box->setLinearVelocity(MgcVector3(0.01, 0.0, 0.0));
    box->storeLastDynamics();
    other->setLinearVelocity(MgcVector3(0.0, -0.01, 0.0));
    other->storeLastDynamics();
    CollisionPair* edge = restingPair(manager, box.get(), ground.get(), 2);
    edge->points[0] = MgcVector3(-0.5, -0.5, 0.0);
    edge->points[1] = MgcVector3(0.5, -0.5, 0.0);
    for (int i = 0; i < 2; ++i) edge->secondPoints[i] = edge->points[i] + at;
    CollisionPair* lean = restingPair(manager, box.get(), other.get(), 1);
    lean->points[0] = c.leaning;
    lean->secondPoints[0] = c.leaning + at - other->getDyn().position;
    lean->normals[0] = MgcVector3(-1.0, 0.0, 0.0);
    int sleptAt = -1;
    for (int call = 1; call <= 25 && sleptAt < 0; ++call) {
      manager.settleRestingBodies();
      if (!box->isActive()) sleptAt = call;
    }
    EXPECT_EQ(sleptAt, c.sleptAt) << c.leaning.x << " " << c.leaning.y << " " << c.leaning.z;
    EXPECT_TRUE(other->isActive());
    manager.getStepPairs().clear();
  }
}

// A body resting on a cracker turns and moves onto the cracker's rim; one
// too far above it for the rim to reach stays as it is (no square root of a
// negative number).
TEST(PairProcessing, AlignmentOnCrackersSkipsBodiesOutOfReach) {
  struct Case {
    MgcVector3 offset;
    bool moves;
  };
  for (const Case& c : {Case{MgcVector3(0.1, 0.0, 5.0), false}, Case{MgcVector3(0.3, 0.0, 0.2), true},
                        Case{MgcVector3(0.0, 0.3, -0.39), true}}) {
    PrivateWorld world;
    CollisionManager& manager = *world.getCollisionManager();
    BodyPtr cracker = capsuleAlongX<ZovCrackerBody>(1.0, 0.4, MgcVector3(0.0, 0.0, 0.0));
    BodyPtr box = hullBox(MgcVector3(0.1, 0.1, 0.1), c.offset);
    CollisionPair* pair = manager.threadBuffer(0);
    pair->reset();
    pair->firstBody = box.get();
    pair->secondBody = cracker.get();
    manager.getCrackerPairs().append(pair);
    const MgcVector3 before = box->getDyn().position;
    world.alignRestingBodies();
    EXPECT_TRUE(finite(box->getDyn().position)) << c.offset.z;
    const RBDynamics& state = box->getDyn();
    for (int r = 0; r < 3; ++r)
      EXPECT_TRUE(finite(MgcVector3(state.orientation[r][0], state.orientation[r][1], state.orientation[r][2])));
    EXPECT_EQ(box->getDyn().position != before, c.moves) << c.offset.z;
    manager.getCrackerPairs().clear();
  }
}

}  // namespace

namespace {

// Pairs joining bodies named by letters ('G' the static ground), dealt in
// the order given: which list each lands in (-1 for the shared pairs).
TEST(PairProcessing, DealingKeepsPairsOfABodyTogetherAndLeavesPairsJoiningTwoListsToTheEnd) {
  struct Case {
    const char* pairs;
    std::vector<int> lists;
  };
  const Case cases[] = {
      // Disjoint pairs open lists in turn.
      {"AB CD EF", {0, 1, 2}},
      // A pair with a body of one list joins it and takes its other body.
      {"AB BC CD", {0, 0, 0}},
      // E belongs to list 0 by then, C to list 1: the pair waits.
      {"AB CD BE EC FG DF", {0, 1, 0, -1, 2, -1}},
      // The static ground belongs to no list.
      {"AG CG AC", {0, 1, -1}},
  };
  for (const Case& c : cases) {
    PrivateWorld world;
    CollisionManager& manager = *world.getCollisionManager();
    BodyPtr ground = barrier(MgcVector3(), kUp);
    std::vector<BodyPtr> boxes;
    for (int i = 0; i < 6; ++i) boxes.push_back(hullBox(kHalf, MgcVector3(3.0 * i, 0.5, 0.0)));
    const auto body = [&](char name) { return name == 'G' ? ground.get() : boxes[name - 'A'].get(); };
    std::vector<std::unique_ptr<CollisionPair>> records;
    std::vector<CollisionPair*> pairs;
    const std::string text = c.pairs;
    for (std::size_t i = 0; i + 1 < text.size(); i += 3) {
      records.push_back(std::make_unique<CollisionPair>());
      records.back()->firstBody = body(text[i]);
      records.back()->secondBody = body(text[i + 1]);
      pairs.push_back(records.back().get());
    }
    CollisionManager::PairDealing dealing;
    manager.dealPairs(pairs, dealing);
    const std::vector<std::vector<CollisionPair*>>& lists = dealing.lists;
    const std::vector<CollisionPair*>& shared = dealing.shared;
    ASSERT_EQ(lists.size(), static_cast<std::size_t>(kMaxWorkerThreads));
    std::vector<CollisionPair*> expectedShared;
    std::vector<std::vector<CollisionPair*>> expected(lists.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      (c.lists[i] < 0 ? expectedShared : expected[static_cast<std::size_t>(c.lists[i])]).push_back(pairs[i]);
    }
    EXPECT_EQ(lists, expected) << c.pairs;
    EXPECT_EQ(shared, expectedShared) << c.pairs;
  }
}

// Each shared pair waits, in the next pass, for the shared pairs that write
// one of its bodies last in a pass: worked out by hand from the bodies.
TEST(PairProcessing, DealingNamesTheSharedPairsEachWaitsForInTheNextPass) {
  struct Case {
    const char* pairs;
    std::vector<std::vector<std::uint32_t>> afterPass;
  };
  const Case cases[] = {
      // No body of one shared pair is another's: each waits for itself.
      {"AB CD BE EC FG DF", {{0}, {1}}},
      // B is written last by BD, C by BC: BC waits for both.
      {"AB CD BC BD", {{0, 1}, {1}}},
      // DC joins list 1; C is written by both shared pairs, last by AC.
      {"AB CD BC DC AC", {{0, 1}, {1}}},
      // No shared pair.
      {"AB BC CD", {}},
  };
  for (const Case& c : cases) {
    PrivateWorld world;
    CollisionManager& manager = *world.getCollisionManager();
    std::vector<BodyPtr> boxes;
    for (int i = 0; i < 7; ++i) boxes.push_back(hullBox(kHalf, MgcVector3(3.0 * i, 0.5, 0.0)));
    std::vector<std::unique_ptr<CollisionPair>> records;
    std::vector<CollisionPair*> pairs;
    const std::string text = c.pairs;
    for (std::size_t i = 0; i + 1 < text.size(); i += 3) {
      records.push_back(std::make_unique<CollisionPair>());
      records.back()->firstBody = boxes[text[i] - 'A'].get();
      records.back()->secondBody = boxes[text[i + 1] - 'A'].get();
      pairs.push_back(records.back().get());
    }
    CollisionManager::PairDealing dealing;
    manager.dealPairs(pairs, dealing);
    ASSERT_EQ(dealing.shared.size(), c.afterPass.size()) << c.pairs;
    EXPECT_EQ(dealing.sharedAfterPass, c.afterPass) << c.pairs;
  }
}

// The bodies dealPairs reads ahead take storage as long as the pair list;
// between calls the manager keeps no more than a small working array, and a
// second dealing of the same pairs (on fresh storage) deals them alike.
TEST(PairProcessing, DealingKeepsOnlySmallStorageBetweenCalls) {
  for (const std::size_t count : {std::size_t{1}, std::size_t{12}, std::size_t{200}, std::size_t{2000}}) {
    PrivateWorld world;
    CollisionManager& manager = *world.getCollisionManager();
    std::vector<BodyPtr> boxes;
    for (std::size_t i = 0; i <= count; ++i) boxes.push_back(hullBox(kHalf, MgcVector3(3.0 * i, 0.5, 0.0)));
    std::vector<std::unique_ptr<CollisionPair>> records;
    std::vector<CollisionPair*> pairs;
    for (std::size_t i = 0; i < count; ++i) {
      records.push_back(std::make_unique<CollisionPair>());
      records.back()->firstBody = boxes[i].get();
      records.back()->secondBody = boxes[i + 1].get();
      pairs.push_back(records.back().get());
    }
    CollisionManager::PairDealing first;
    manager.dealPairs(pairs, first);
    EXPECT_LE(manager.passScratchBytes(), kKeptScratchBytes) << count;
    CollisionManager::PairDealing second;
    manager.dealPairs(pairs, second);
    EXPECT_LE(manager.passScratchBytes(), kKeptScratchBytes) << count;
    EXPECT_EQ(first.lists, second.lists) << count;
    EXPECT_EQ(first.shared, second.shared) << count;
    // A chain of pairs shares each body with the next pair: one list.
    EXPECT_EQ(first.lists[0].size(), count) << count;
  }
}

// A row of boxes resting on the ground: each step's passes deal and hold
// hundreds of pairs, and between steps the manager keeps only the small
// storage of each of its four pass arrays, at every thread count.
TEST(PairProcessing, PassesKeepOnlySmallStorageBetweenSteps) {
  constexpr int kBoxes = 300;
  for (const std::uint32_t threads : {1u, 4u}) {
    PrivateWorld world;
    prepareWorld(world, threads);
    addGround(world);
    for (int i = 0; i < kBoxes; ++i) addBox(world, kHalf, MgcVector3(1.5 * i, 0.499, 0.0));
    runSteps(world, 4);
    const CollisionManager& manager = *world.getCollisionManager();
    EXPECT_LE(manager.passScratchBytes(), 4 * kKeptScratchBytes) << threads;
  }
}

}  // namespace

// Ordering by level, then by a distinct first index, gives what a sort by
// the two keys gives: for levels close together (counted), spread far apart
// (sorted), negative ones, one level, one item and none, with firsts taken
// at random from a larger range.
TEST(PairProcessing, OrderingByLevelThenFirstMatchesASortByBoth) {
  struct Item {
    std::int32_t level;
    std::uint32_t first;
  };
  struct Case {
    std::uint32_t items;
    std::int32_t lowest;
    std::int32_t highest;
  };
  const Case cases[] = {{200, 0, 30}, {500, -5, 5}, {300, -100000, 100000}, {50, 7, 7}, {1, 3, 3}, {0, 0, 0}};
  std::mt19937 random(20261208);
  for (const Case& c : cases) {
    const std::uint32_t firstCount = 3 * c.items + 1;
    std::vector<std::uint32_t> firsts(firstCount);
    for (std::uint32_t k = 0; k < firstCount; ++k) firsts[k] = k;
    std::shuffle(firsts.begin(), firsts.end(), random);
    std::uniform_int_distribution<std::int32_t> level(c.lowest, c.highest);
    std::vector<Item> items;
    for (std::uint32_t k = 0; k < c.items; ++k) items.push_back(Item{level(random), firsts[k]});
    std::vector<Item> expected = items;
    std::sort(expected.begin(), expected.end(),
              [](const Item& a, const Item& b) { return a.level != b.level ? a.level < b.level : a.first < b.first; });
    orderByLevelThenFirst(
        items, firstCount, [](const Item& item) { return item.level; }, [](const Item& item) { return item.first; });
    ASSERT_EQ(items.size(), expected.size());
    for (std::size_t k = 0; k < items.size(); ++k) {
      EXPECT_EQ(items[k].level, expected[k].level) << c.items << " " << k;
      EXPECT_EQ(items[k].first, expected[k].first) << c.items << " " << k;
    }
  }
}

// A box set down between two blocks standing on the ground, on a support
// between them, 4 mm too wide for the gap on each side: the blocks' faces
// towards it lean back (so that their contacts with it rise towards it),
// stand upright or lean over it, and the box is lighter than the blocks, as
// heavy or heavier. Statics: the blocks slide apart by the overlap and the box
// lies on its support, its centre 0.15 above the support's top. From a
// quarter of a second on, it lies no more than 2 mm inside either block, its
// separating-axis depth; after 4 s it lies on its support within a
// millimetre and all sleep.
TEST(PairProcessing, ABoxWedgedBetweenTwoBlocksPushesThemApartAndLiesOnItsSupport) {
  constexpr double kJam = 0.004;
  const MgcVector3 half(0.0, 0.15, 0.4);
  for (const double lean : {0.04, 0.0, -0.04}) {
    for (const float mass : {0.1f, 1.0f, 3.0f}) {
      SCOPED_TRACE("lean " + std::to_string(lean) + ", mass " + std::to_string(mass));
      PrivateWorld world;
      world.enableManagerOption();
      world.enableBodyDeactivation();
      addBox(world, MgcVector3(5.0, 0.5, 5.0), MgcVector3(0.0, -0.5, 0.0), 1.0f, 0.3, 0.7)->enableStatic();
      // Each block 1 high, its inner face at 0.18 from the middle at its foot
      // and 0.18 + lean at its top.
      std::vector<HardBody*> bodies;
      for (const double side : {-1.0, 1.0}) {
        MgcVector3 corners[8];
        MgcVector3 centre;
        for (int k = 0; k < 8; ++k) {
          const double y = (k & 2) != 0 ? 1.0 : 0.0;
          corners[k] = MgcVector3(side * ((k & 1) != 0 ? 0.18 + lean * y : 0.8), y, (k & 4) != 0 ? 0.5 : -0.5);
          centre += corners[k] / 8.0;
        }
        for (MgcVector3& corner : corners) corner -= centre;
        HardBody* block = createHullBody(convexHull(corners, 8).get());
        block->init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
        block->setPosition(centre);
        block->setFrictionCoeff(0.7);
        block->activate();
        world.addBody(block, 0);
        bodies.push_back(block);
      }
      bodies.push_back(addBox(world, MgcVector3(0.1, 0.15, 0.4), MgcVector3(0.0, 0.15, 0.0), 1.0f, 0.3, 0.7));
      const MgcVector3 boxHalf(0.18 + lean * 0.45 + kJam, half.y, 0.4);
      HardBody* box = addBox(world, boxHalf, MgcVector3(0.0, 0.45, 0.0), mass, 0.3, 0.7);
      bodies.push_back(box);
      double deepest = 0.0;
      for (int frame = 1; frame <= 4 * 24; ++frame) {
        runSteps(world, 5, 1.0 / 120.0);
        const ConvexPolyhedron wedged =
            convexPolyhedron(ZOVbox{box->getDyn().position, box->getDyn().orientation, boxHalf});
        for (int b = 0; frame > 6 && b < 2; ++b) {
          bodies[b]->updateWorldData();
          deepest = std::max(deepest, -separatingAxes(wedged, convexPolyhedron(*bodies[b]->getWorldMesh())).gap);
        }
      }
      EXPECT_LT(deepest, 0.002);
      EXPECT_NEAR(box->getDyn().position.y, 0.45, 0.001);
      for (const HardBody* body : bodies) EXPECT_FALSE(body->isActive());
    }
  }
}
