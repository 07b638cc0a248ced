// The world's operations on fracture bodies and joints, the factory's
// fracture operations, and who owns what: restoring a world after a split
// gives back every list, piece and joint, and tearing a world down with
// fracture bodies, joints and fragments on every list frees each once.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/FractureFactory.h"
#include "engine/PrivateWorld.h"
#include "support/FractureFixtures.h"

using Mgc::MgcVector3;
using zovtest::cubePiece;
using zovtest::jointAt;
using zovtest::SplitProbe;

namespace {

// Cubes in a row along x, each joined to the next (joint i + 1 between
// pieces i and i + 1), in a body of type Body named `name`.
template <typename Body = FractureBody>
struct Row {
  std::vector<std::unique_ptr<HullBody>> pieces;
  std::vector<DynamicStress*> joints;
  Body* body = new Body;

  Row(int count, const char* name, double y = 0.0) {
    body->getShape().setName(name);
    for (int i = 0; i < count; ++i) {
      const std::string pieceName = std::string(name) + "_p" + std::to_string(i);
      pieces.push_back(cubePiece(MgcVector3(i, y, 0), 1.0f + static_cast<float>(i), pieceName.c_str()));
    }
    for (int i = 0; i + 1 < count; ++i) {
      joints.push_back(jointAt(MgcVector3(i + 0.5, y, 0), pieces[i].get(), pieces[i + 1].get(), i + 1));
      body->attachJoint(joints.back());
    }
    body->rebuildFromPieces();
    body->saveDynamics(kSaveAll);
  }
  HullBody* piece(int i) const { return pieces[i].get(); }
  // Breaks joints 2 and 3 (around piece 2): pieces 0-1 and 3-4 become
  // fragments, piece 2 is released.
  std::vector<FractureBody*> splitAroundPiece2() {
    joints[1]->deActivate();
    joints[2]->deActivate();
    body->removeDeactivatedJointsFromActiveList();
    return body->splitByHand({{joints[0]}, {joints[3]}}, {piece(2)});
  }
};

// A row (of the plain fracture body) filed in a world of its own; the world
// is emptied and the body deleted when it goes.
struct RowInWorld {
  RowInWorld(int count, const char* name) : row(count, name) { world.addBody(row.body, 0); }
  ~RowInWorld() {
    world.clearAllBodies();
    delete row.body;
  }
  PrivateWorld world;
  Row<> row;
};

TEST(FractureWorld, CountsPiecesAndConnectsOnlyFractureBodies) {
  RowInWorld filed(5, "row");
  auto& [world, row] = filed;
  EXPECT_EQ(world.countSubBodies(), 6u);
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(world.containsBody(row.piece(i)));

  auto lone = cubePiece(MgcVector3(0, 5, 0), 1.0f, "lone");
  DynamicStress joint;
  EXPECT_TRUE(world.connectBodies(&joint, lone.get()));
  EXPECT_FALSE(joint.isActive());
  EXPECT_FALSE(world.connectBodies(&joint, nullptr));
  EXPECT_FALSE(world.attachJointToBody(nullptr, row.body));
  EXPECT_FALSE(world.detachJointFromBody(&joint, nullptr));
  // A whole body that is not active is left alone.
  row.body->deActivate();
  world.removeBody(row.body);
  EXPECT_TRUE(world.activateBodyTree(row.body));
  EXPECT_FALSE(world.containsBody(row.body));
}

// Detaching the only joint of two pieces hands both to the world; attaching
// it again takes them back.
TEST(FractureWorld, DetachingTheOnlyJointFilesBothPieces) {
  RowInWorld filed(2, "pair");
  auto& [world, row] = filed;
  DynamicStress* joint = row.joints[0];
  ASSERT_TRUE(world.detachJointFromBody(joint, row.body));
  EXPECT_FALSE(joint->isActive());
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(world.containsBody(row.piece(i)));
    EXPECT_EQ(row.piece(i)->getParent(), nullptr);
    EXPECT_EQ(row.piece(i)->getJointCount(), 0u);
  }
  ASSERT_TRUE(world.attachJointToBody(joint, row.body));
  EXPECT_TRUE(joint->isActive());
  EXPECT_EQ(row.body->getNJointBodies(), 2u);
  world.addBody(row.body, 0);
  for (int i = 0; i < 2; ++i) EXPECT_FALSE(world.containsBody(row.piece(i)));
  world.removeBody(row.body);
}

// A piece switched static or dynamic stays a piece; breakable-by-force
// follows; the compound's static decision follows the piece.
TEST(FractureWorld, PieceSwitchesUpdateJointsAndTheCompound) {
  RowInWorld filed(3, "row");
  auto& [world, row] = filed;
  world.makeBodyStatic(row.piece(0), row.body);
  EXPECT_FALSE(world.containsBody(row.piece(0)));
  EXPECT_TRUE(row.body->isStatic());
  row.joints[0]->enableBreakableByForce();
  world.makeBodyStatic(row.piece(1), row.body);
  EXPECT_FALSE(row.joints[0]->isBreakableByForce());  // both its bodies static
  EXPECT_FALSE(row.joints[1]->isBreakableByForce());  // never set
  world.makeBodyDynamic(row.piece(1), row.body);
  EXPECT_TRUE(row.joints[0]->isBreakableByForce());
  EXPECT_TRUE(row.joints[1]->isBreakableByForce());
  world.makeBodyDynamic(row.piece(0), row.body);
  EXPECT_FALSE(row.body->isStatic());
  EXPECT_FALSE(world.containsBody(row.piece(1)));
  world.removeBody(row.body);
}

// After a step that split a body, the post-step retires it to the inactive
// list and files its fragments and released piece; rebuild forgets it. A
// body split while it sleeps (its joints broken by frame) is retired alike.
TEST(FractureWorld, PostStepRetiresSplitBodies) {
  for (bool asleep : {false, true}) {
    PrivateWorld world;
    Row<SplitProbe> row(5, "row");
    world.addBody(row.body, 0);
    const int dynamicBefore = world.getNumDynamicBodies();
    if (asleep) {
      row.body->deActivate();
      ASSERT_TRUE(world.advance(1.0 / 60.0, nullptr));
      ASSERT_TRUE(world.getSleepingBodies().contains(row.body));
    }
    const std::vector<FractureBody*> fragments = row.splitAroundPiece2();
    world.postStep();
    EXPECT_FALSE(row.body->isActive());
    EXPECT_EQ(world.getNumDynamicBodies(), dynamicBefore - 1 + 3) << asleep;
    EXPECT_TRUE(world.getInactiveBodies().contains(row.body));
    EXPECT_FALSE(world.getSleepingBodies().contains(row.body));
    EXPECT_TRUE(world.listsKeepTheirRules());
    EXPECT_TRUE(world.getDynamicBodies().contains(row.piece(2))) << asleep;
    for (FractureBody* fragment : fragments) {
      EXPECT_TRUE(world.getDynamicBodies().contains(fragment)) << asleep;
      EXPECT_EQ(fragment->getHoldingWorld(), &world);
      EXPECT_EQ(fragment->getFragmentOwner(), row.body);
    }
    world.rebuild();
    EXPECT_FALSE(world.containsBody(row.body));
    // The parent owns its fragments: deleting it takes them off the lists.
    delete row.body;
    EXPECT_EQ(world.getNumDynamicBodies(), 1);
    EXPECT_TRUE(world.containsBody(row.piece(2)));
    world.clearAllBodies();
  }
}

// Restoring the world after simulating and splitting gives back the very
// lists, bodies, pieces and joints of its start.
TEST(FractureWorld, RestoringAfterASplitGivesBackTheStart) {
  PrivateWorld world;
  Row<SplitProbe> row(5, "row", 3.0);
  auto other = cubePiece(MgcVector3(10, 0, 0), 2.0f, "other");
  other->setLinearVelocity(MgcVector3(1, 0, 0));
  other->saveDynamics(kSaveAll);
  world.addBody(row.body, 0);
  world.addBody(other.get(), 0);
  const auto toStart = [&] {
    world.rebuild();
    world.restoreBody(row.body);
    world.activateBody(row.body);
    world.restoreBody(other.get());
  };
  const auto run = [&](int steps) {
    for (int i = 0; i < steps; ++i) {
      ASSERT_TRUE(world.step(1.0 / 60.0));
      ASSERT_TRUE(world.advance(1.0 / 60.0, nullptr));
    }
  };
  toStart();
  const std::string start = zovtest::dumpWorld(world);
  for (int round = 0; round < 2; ++round) {
    run(10);
    row.splitAroundPiece2();
    world.postStep();
    run(10);
    EXPECT_NE(zovtest::dumpWorld(world), start);
    toStart();
    EXPECT_EQ(zovtest::dumpWorld(world), start) << round;
  }
  world.removeBody(row.body);
  world.clearAllBodies();
  delete row.body;
}

// A world torn down with whole and split fracture bodies, fragments on the
// dynamic, static and sleeping lists and a released piece deletes each body
// and joint once; the pieces, which the host owns, keep no joint or parent.
TEST(FractureWorld, TeardownWithFragmentsOnEveryListFreesEachOnce) {
  Row<SplitProbe> split(5, "split");
  Row<> whole(3, "whole", 4.0);
  Row<SplitProbe> dozing(3, "dozing", 8.0);
  {
    PrivateWorld world;
    for (const auto& piece : whole.pieces) piece->enableStatic();
    whole.body->updateMassProperties();
    world.addBody(whole.body, 0);
    world.addBody(split.body, 0);
    world.addBody(dozing.body, 0);
    std::vector<FractureBody*> fragments = split.splitAroundPiece2();
    fragments[1]->enableStatic();
    // Dozing: one fragment, then put to sleep by the sleep and wake pass.
    dozing.joints[1]->deActivate();
    dozing.body->removeDeactivatedJointsFromActiveList();
    std::vector<FractureBody*> asleep = dozing.body->splitByHand({{dozing.joints[0]}}, {dozing.piece(2)});
    world.postStep();
    asleep[0]->deActivate();
    ASSERT_TRUE(world.advance(1.0 / 60.0, nullptr));
    EXPECT_TRUE(world.getSleepingBodies().contains(asleep[0]));
    EXPECT_TRUE(world.getStaticBodies().contains(fragments[1]));
    EXPECT_TRUE(world.getStaticBodies().contains(whole.body));
    // Released pieces are world bodies now, deleted with the world.
    split.pieces[2].release();
    dozing.pieces[2].release();
  }
  for (const auto* row : {&split.pieces, &whole.pieces, &dozing.pieces}) {
    for (const auto& piece : *row) {
      if (!piece) continue;
      EXPECT_EQ(piece->getParent(), nullptr);
      EXPECT_EQ(piece->getJointList().getCount(), 0u);
    }
  }
}

TEST(FractureFactory, CreatesAndDeletesFractureBodiesAndJoints) {
  FractureBody* body = createFractureBody();
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(body->getType(), kFractureBody);
  EXPECT_EQ(body->getMaxCracks(), 8);
  EXPECT_EQ(body->getTreeMesh(), nullptr);
  DynamicStress* joint = createJoint();
  ASSERT_NE(joint, nullptr);
  EXPECT_EQ(joint->getFlags(), 0u);
  EXPECT_EQ(joint->get_break_tolerance(), 0.0);
  DynamicStress* alias = joint;
  deleteJoint(&alias);
  EXPECT_EQ(alias, nullptr);
  alias = joint;
  deleteJoint(alias);
  EXPECT_EQ(alias, nullptr);
  delete joint;
  // Without a world: the joints go with the body.
  deleteFractureBody(&body);
  EXPECT_EQ(body, nullptr);
  deleteFractureBody(static_cast<FractureBody**>(nullptr));
  body = createFractureBody();
  deleteFractureBody(body);
  EXPECT_EQ(body, nullptr);

  // In the world, split: the fragments leave the world and are deleted, the
  // pieces become world bodies without joints or parent.
  createWorld();
  Row<SplitProbe> row(5, "row");
  theWorld->addBody(row.body, 0);
  row.splitAroundPiece2();
  theWorld->postStep();
  FractureBody* doomed = row.body;
  deleteFractureBody(&doomed);
  EXPECT_EQ(doomed, nullptr);
  auto* world = static_cast<PrivateWorld*>(theWorld);
  for (const auto& piece : row.pieces) {
    EXPECT_TRUE(world->containsBody(piece.get()));
    EXPECT_EQ(piece->getParent(), nullptr);
    EXPECT_EQ(piece->getJointCount(), 0u);
  }
  world->clearAllBodies();
  deleteWorld(&theWorld);
}

}  // namespace
