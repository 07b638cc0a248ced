// Hits on fracture bodies in a stepping world: a wall of cubes struck by a
// heavy box breaks where it is hit, into fragments that are exactly the
// groups its remaining joints hold together, and the pieces carry off the
// box's momentum; light hits, unbreakable walls and joints that break by
// frame keep it whole; restoring and breaking again gives the same parts at
// any thread count.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "platform/Processors.h"
#include "support/FractureFixtures.h"
#include "support/SceneFixtures.h"

using Mgc::MgcVector3;
using zovtest::CubeWall;
using zovtest::jointGroups;
using zovtest::splitParts;

namespace {

constexpr double kStep = kWorldIntegrationStep;

// A world with a frictionless ground (so that it pushes only upwards) and a
// 4 x 4 wall on it, facing -z.
struct WallScene {
  PrivateWorld world;
  CubeWall wall{4, 4};
  std::vector<DynamicStress*> joints;
  HardBody* box = nullptr;

  explicit WallScene(std::uint32_t threads = 1) {
    zovtest::prepareWorld(world, threads);
    HardBody* ground = zovtest::addGround(world);
    ground->setFrictionCoeff(0.0);
    wall.body->setFrictionCoeff(0.0);
    wall.body->setRestitutionCoeff(0.0);
    // Hits count from an impact measure of 100 on: resting on the ground is
    // no hit.
    wall.body->setGlobalStressThreshold(1.0);
    world.addBody(wall.body, 0);
    for (auto* node = wall.body->getActiveJoints().getFirst(); node != nullptr; node = node->next)
      joints.push_back(node->value);
  }
  ~WallScene() { wall.release(world); }

  // A box of the given mass and half size flying along +z at `speed` towards
  // the face of cube (c, r), starting `gap` in front of it.
  void throwBox(float mass, double speed, int c = 1, int r = 2, double gap = 0.05, double half = 0.4) {
    box =
        zovtest::addBox(world, MgcVector3(half, half, half), MgcVector3(c, r + 0.5, -0.5 - half - gap), mass, 0.0, 0.0);
    box->setLinearVelocity(MgcVector3(0.0, 0.0, speed));
    box->saveDynamics(kSaveAll);
  }

  // Steps until the wall has split or `steps` steps have run; the number of
  // steps run.
  int runUntilSplit(int steps) {
    for (int i = 0; i < steps; ++i) {
      zovtest::runSteps(world, 1, kStep);
      if (wall.body->isSplitted()) return i + 1;
    }
    return steps;
  }

  // Linear momentum of the wall's cubes and the box.
  MgcVector3 momentum() const {
    MgcVector3 p = box->getDyn().linearVelocity * box->getMass();
    for (const HullBody* piece : wall.pieces) p += piece->getDyn().linearVelocity * piece->getMass();
    return p;
  }
};

// The joints a fracture body and the fragments it split into, down to
// theirs, counted as broken.
std::size_t brokenWithFragments(const FractureBody& body) {
  std::size_t count = body.getBrokenJointCount();
  for (auto* node = body.getChildBodies().getFirst(); node != nullptr; node = node->next)
    count += brokenWithFragments(*static_cast<const FractureBody*>(node->value));
  return count;
}

// A fragment may be hit again in the step after the split (its cubes still
// touch the ones released beside them): the parts are counted down to the
// fragments' own.
TEST(HitProcessing, HeavyBoxBreaksTheWallIntoItsJointGroups) {
  WallScene scene;
  ASSERT_EQ(scene.joints.size(), 24u);
  scene.throwBox(20.0f, 8.0);
  // Gravity pulls vertically and the ground pushes vertically only: the
  // horizontal momentum of the wall and the box is conserved.
  zovtest::runSteps(scene.world, 2, kStep);
  const MgcVector3 before = scene.momentum();
  ASSERT_LT(scene.runUntilSplit(30), 30);
  zovtest::runSteps(scene.world, 1, kStep);
  const MgcVector3 after = scene.momentum();
  EXPECT_NEAR(after.x, before.x, 1e-9 * std::fabs(before.z));
  EXPECT_NEAR(after.z, before.z, 1e-9 * std::fabs(before.z));

  FractureBody& wall = *scene.wall.body;
  const std::size_t broken =
      std::count_if(scene.joints.begin(), scene.joints.end(), [](const DynamicStress* j) { return !j->isActive(); });
  EXPECT_GT(broken, 0u);
  EXPECT_EQ(brokenWithFragments(wall), broken);
  // The joints of the hit cube broke.
  for (auto* node = scene.wall.at(1, 2)->getJointList().getFirst(); node != nullptr; node = node->next)
    EXPECT_FALSE(node->value->isActive()) << node->value->getName();
  EXPECT_EQ(splitParts(wall), jointGroups(scene.wall.pieces, scene.joints));

  // Fragments are numbered from 1 after the wall's name and the wall left
  // the simulation.
  std::set<std::string> names;
  for (auto* node = wall.getChildBodies().getFirst(); node != nullptr; node = node->next) {
    names.insert(node->value->getShape().name);
    EXPECT_EQ(node->value->getShape().id, wall.getShape().id + 1);
    EXPECT_TRUE(scene.world.containsBody(node->value));
  }
  std::set<std::string> numbered;
  for (std::uint32_t i = 1; i <= wall.getFragmentCount(); ++i) numbered.insert("wall_" + std::to_string(i));
  EXPECT_EQ(names, numbered);
  EXPECT_FALSE(wall.isActive());
  EXPECT_TRUE(scene.world.getInactiveBodies().contains(&wall));
  // The hit cube flies on with the box.
  EXPECT_GT(scene.wall.at(1, 2)->getDyn().linearVelocity.z, 1.0);
}

// Hits that leave every joint whole: too light a hit, an unbreakable wall,
// and joints that break by frame, which no impact breaks.
TEST(HitProcessing, LightHitsUnbreakableWallsAndFrameJointsHold) {
  struct Row {
    const char* what;
    float mass;
    double speed;
    bool unbreakable;
    bool byFrame;
  };
  const Row rows[] = {
      {"below the limit", 1.0f, 2.0, false, false},
      {"unbreakable", 20.0f, 8.0, true, false},
      {"breakable by frame", 20.0f, 8.0, false, true},
  };
  for (const Row& row : rows) {
    WallScene scene;
    if (row.unbreakable) scene.wall.body->setSubtreeFlag();
    if (row.byFrame) {
      for (DynamicStress* joint : scene.joints) joint->enableBreakableByFrame();
    }
    scene.throwBox(row.mass, row.speed);
    EXPECT_EQ(scene.runUntilSplit(30), 30) << row.what;
    for (const DynamicStress* joint : scene.joints) EXPECT_TRUE(joint->isActive()) << row.what << joint->getName();
    EXPECT_EQ(scene.wall.body->getNInactiveJoints() + scene.wall.body->getNSplitJoints(), 0u) << row.what;
    // The box was stopped by the wall: the hit reached it.
    EXPECT_LT(scene.box->getDyn().linearVelocity.z, row.speed) << row.what;
  }
}

// Joints that break by frame break when the host finds them due, the push
// of their break energy carrying the parts apart, and not before; a due
// joint that also breaks by force only stops waiting for its frame.
TEST(HitProcessing, FrameJointsBreakWhenDue) {
  WallScene scene;
  FractureBody& wall = *scene.wall.body;
  // The top row's joints to the row below break at frame 3; the joint
  // between the two left cubes of the bottom row breaks by force instead.
  std::vector<DynamicStress*> top;
  DynamicStress* forced = nullptr;
  for (DynamicStress* joint : scene.joints) {
    const std::string name = joint->getName();
    if (name.find("w0_3_") != std::string::npos && name.find("w0_2_") != std::string::npos) top.push_back(joint);
    if (name == "str_w0_0_0_w0_0_1" || name == "str_w0_0_1_w0_0_0") forced = joint;
  }
  ASSERT_EQ(top.size(), 4u);
  ASSERT_NE(forced, nullptr);
  for (DynamicStress* joint : top) {
    joint->disableBreakableByForce();
    joint->enableBreakableByFrame();
    joint->setBreakEnergy(0.5);
  }
  forced->enableBreakableByFrame();
  const int breakFrame = 3;
  for (int frame = 1; frame <= 5; ++frame) {
    std::vector<DynamicStress*> due;
    if (frame >= breakFrame) {
      due = top;
      due.push_back(forced);
    }
    const bool broke = wall.breakJointsByFrame(due, &scene.world);
    EXPECT_EQ(broke, frame == breakFrame) << frame;
    zovtest::runSteps(scene.world, 10, kStep);
    for (const DynamicStress* joint : top) EXPECT_EQ(joint->isActive(), frame < breakFrame) << frame;
  }
  EXPECT_TRUE(forced->isActive());
  EXPECT_FALSE(forced->isBreakableByFrame());
  // The top row came off as one fragment, pushed up and away from the rest.
  EXPECT_EQ(splitParts(wall), jointGroups(scene.wall.pieces, scene.joints));
  EXPECT_EQ(wall.getNFBodies(), 2u);
  EXPECT_GT(scene.wall.at(0, 3)->getDyn().linearVelocity.y, scene.wall.at(0, 0)->getDyn().linearVelocity.y);
}

// A static wall (one cube anchored) hit by a lighter box: the hit piece is
// the wall's second body in the pair, and the impact still reaches it and
// cracks the joints of the hit cube, though the box comes to a stop.
TEST(HitProcessing, LightBoxCracksAStaticWallItHits) {
  WallScene scene;
  scene.world.removeBody(scene.wall.body);
  scene.wall.at(3, 0)->enableStatic();
  scene.wall.body->updateMassProperties();
  scene.wall.body->saveDynamics(kSaveAll);
  scene.world.addBody(scene.wall.body, 0);
  ASSERT_TRUE(scene.wall.body->isStatic());
  scene.throwBox(1.0f, 15.0);
  zovtest::runSteps(scene.world, 4, kStep);
  EXPECT_NEAR(scene.box->getDyn().linearVelocity.z, 0.0, 1e-6);
  EXPECT_GT(scene.wall.body->getBrokenJointCount(), 0u);
  std::size_t cracked = 0;
  for (auto* node = scene.wall.at(1, 2)->getJointList().getFirst(); node != nullptr; node = node->next)
    cracked += node->value->isActive() ? 0 : 1;
  EXPECT_GT(cracked, 0u);
}

// Every list, piece and pose of the world, with the parts of the wall.
std::string worldText(WallScene& scene) {
  std::string text = zovtest::dumpWorld(scene.world);
  for (const auto& part : splitParts(*scene.wall.body)) {
    text += "part";
    for (const std::string& name : part) text += " " + name;
    text += "\n";
  }
  return text;
}

// The parts of the wall and the poses of its cubes and the box.
std::string posesText(WallScene& scene) {
  std::string text;
  for (const auto& part : splitParts(*scene.wall.body)) {
    text += "part";
    for (const std::string& name : part) text += " " + name;
    text += "\n";
  }
  for (const HullBody* piece : scene.wall.pieces) {
    text += piece->getShape().name;
    zovtest::dumpState(text, piece->getDyn());
    text += "\n";
  }
  zovtest::dumpState(text, scene.box->getDyn());
  return text;
}

// Breaking, restoring and breaking again gives the same parts and poses at
// 1, 2, 4 and 8 threads.
TEST(HitProcessing, RestoredWallBreaksTheSameAtAnyThreadCount) {
  zov::platform::setProcessorCountOverride(8);
  std::string reference;
  for (std::uint32_t threads : {1u, 2u, 4u, 8u}) {
    WallScene scene(threads);
    scene.throwBox(20.0f, 8.0);
    const auto toStart = [&] {
      scene.world.rebuild();
      scene.world.restoreBody(scene.wall.body);
      scene.world.activateBody(scene.wall.body);
      scene.wall.body->resetCrackCount();
      scene.world.restoreBody(scene.box);
    };
    // A body restored after a split lists its joints by index: the start
    // is taken from there.
    ASSERT_LT(scene.runUntilSplit(30), 30) << threads;
    toStart();
    const std::string start = worldText(scene);
    std::string first;
    for (int round = 0; round < 2; ++round) {
      ASSERT_LT(scene.runUntilSplit(30), 30) << threads;
      zovtest::runSteps(scene.world, 5, kStep);
      const std::string broken = worldText(scene);
      if (round == 0) first = broken;
      EXPECT_EQ(broken, first) << threads;
      if (round == 0 && reference.empty()) reference = posesText(scene);
      if (round == 0) {
        EXPECT_EQ(posesText(scene), reference) << threads;
      }
      // Back to the start: the whole wall, no fragment, every joint.
      toStart();
      EXPECT_EQ(worldText(scene), start) << threads;
      EXPECT_EQ(scene.wall.body->getNActiveJoints(), 24u);
      EXPECT_EQ(scene.wall.body->getNFBodies(), 0u);
    }
  }
  zov::platform::setProcessorCountOverride(0);
}

// A fracture body made ready to split between steps (its joint broken by
// the host while it falls, touching nothing) splits in the next step that
// has pairs, though none of them is its own.
TEST(HitProcessing, ABodyMadeReadyBetweenStepsSplitsInTheNextStepWithPairs) {
  PrivateWorld world;
  zovtest::prepareWorld(world);
  zovtest::addGround(world);
  // A box sunk a little into the ground: a pair in every step.
  zovtest::addBox(world, MgcVector3(0.5, 0.5, 0.5), MgcVector3(5.0, 0.49, 0.0));
  CubeWall bar(2, 1, 1, "bar");
  bar.body->setPosition(bar.body->getDyn().position + MgcVector3(0.0, 10.0, 0.0));
  world.addBody(bar.body, 0);
  zovtest::runSteps(world, 2, kStep);
  ASSERT_FALSE(bar.body->isSplitted());
  ASSERT_TRUE(bar.body->deActivateJoint(bar.body->getActiveJoints().getFirst()->value));
  zovtest::runSteps(world, 1, kStep);
  EXPECT_GT(world.getCollisionManager()->getPairCounter(), 0u);
  EXPECT_TRUE(bar.body->isSplitted());
  EXPECT_EQ(bar.body->numDisconectBodies(), 2u);
  EXPECT_GT(bar.at(0, 0)->getDyn().position.y, 5.0);
  bar.release(world);
}

// Two unit cubes along x from x0, `mass` each, held by one joint that breaks
// by force, in one fracture body without a cluster tree.
struct CubePair {
  std::unique_ptr<HullBody> left;
  std::unique_ptr<HullBody> right;
  std::unique_ptr<FractureBody> body = std::make_unique<FractureBody>();
  DynamicStress* joint = nullptr;

  CubePair(double x0, float mass, const std::string& name)
      : left(zovtest::cubePiece(MgcVector3(x0, 0.5, 0.0), mass, (name + "L").c_str())),
        right(zovtest::cubePiece(MgcVector3(x0 + 1.0, 0.5, 0.0), mass, (name + "R").c_str())) {
    body->getShape().setName(name.c_str());
    body->addUniqueToList(left.get());
    body->addUniqueToList(right.get());
    body->createJoints(CubeWall::kTouchDistance, false, false);
    joint = body->getActiveJoints().getFirst()->value;
    joint->enableBreakableByForce();
    joint->set_break_tolerance(5.0);
    body->setGlobalStressThreshold(0.25);
    body->updateMassProperties();
    body->saveDynamics(kSaveAll);
  }
};

// One contact between cube `firstPiece` of `first` and cube `secondPiece` of
// `second` at `w`, the normal pointing towards the first, with the impact
// measure given, as the lift leaves a pair of two fracture bodies.
struct HandPair {
  CollisionPair pair;
  HandPair(FractureBody& first, HullBody& firstPiece, FractureBody& second, HullBody& secondPiece, const MgcVector3& w,
           const MgcVector3& normal, double measure) {
    pair.reserveContacts(1);
    pair.contactCount = 1;
    pair.firstBody = &first;
    pair.secondBody = &second;
    pair.firstPiece = &firstPiece;
    pair.secondPiece = &secondPiece;
    const RBDynamics& state = first.getDyn();
    pair.points[0] = state.orientation.Transpose() * (w - state.position);
    pair.normals[0] = normal;
    pair.impactMeasure = measure;
  }
};

// When both sides of a hit are fracture bodies, the other side's struck
// piece, not its whole body, decides whether a static body's hit is forced
// (a heavier striker) and whether secondary cracks run (a static striker
// that does not move).
TEST(HitProcessing, BetweenTwoFractureBodiesTheStruckPieceDecidesForcingAndCracks) {
  const struct {
    const char* what;
    bool staticFirst;      // the first body (hit at its right cube) is static
    float otherMass;       // each cube of the second body
    bool anchorStruck;     // the second body is static by its struck cube
    bool anchorElsewhere;  // the second body is static by its other cube
    double measure;
    bool firstBreaks;
    bool cracks;
  } rows[] = {
      // Below the limit (25) only a forced hit breaks anything: a cube of
      // 1.5 is lighter than the static body's 2, though its body weighs 3.
      {"lighter piece of a heavier body", true, 1.5f, false, false, 0.0, false, false},
      {"heavier piece", true, 3.0f, false, false, 0.0, true, false},
      // A strong hit, with no approach left to break the joint, from a body
      // held static by another cube than the one that struck: a moving
      // piece, no secondary cracks.
      {"moving piece of a static body", false, 1.0f, false, true, 1e4, false, false},
      {"static piece", false, 1.0f, true, false, 1e4, false, true},
  };
  for (const auto& row : rows) {
    PrivateWorld world;
    CollisionManager& manager = *world.getCollisionManager();
    CubePair first(0.0, 1.0f, "first");
    CubePair second(2.0, row.otherMass, "second");
    if (row.staticFirst) first.body->enableStatic();
    first.body->enableSecImpacts();
    first.body->setSecImpactsParams(5, first.body->getMass());
    if (row.anchorStruck || row.anchorElsewhere) {
      (row.anchorStruck ? second.left : second.right)->enableStatic();
      second.body->updateMassProperties();
      ASSERT_TRUE(second.body->isStatic()) << row.what;
    }
    ASSERT_FALSE(second.left->updateSleepState()) << row.what;
    HandPair hand(*first.body, *first.right, *second.body, *second.left, MgcVector3(1.5, 0.5, 0.0),
                  MgcVector3(-1.0, 0.0, 0.0), row.measure);
    manager.secondaryImpacts(&hand.pair, 0, 0);
    EXPECT_EQ(first.joint->isActive(), !row.firstBreaks) << row.what;
    EXPECT_EQ(first.body->getTreeMesh() != nullptr, row.cracks) << row.what;
    // Two cubes make one leaf of the cluster tree: cracks bring the joint's
    // tolerance down to the global threshold.
    EXPECT_EQ(first.joint->get_break_tolerance(), row.cracks ? 0.25 : 5.0) << row.what;
  }
}

}  // namespace
