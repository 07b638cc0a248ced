// Automatic joints, the split into fragments and the impact walk of fracture
// bodies, each against a truth of its own: joints against a brute-force
// search for touching faces, fragments against a union-find over the joints
// left, fragment velocities against the parent's rigid motion.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/collision/CollisionManager.h"
#include "platform/Processors.h"
#include "support/FractureFixtures.h"

using Mgc::MgcVector3;
using zovtest::cubePiece;
using zovtest::CubeWall;

namespace {

using NamePair = std::pair<std::string, std::string>;

NamePair sortedPair(const std::string& a, const std::string& b) { return a < b ? NamePair{a, b} : NamePair{b, a}; }

std::set<NamePair> jointPairs(const FractureBody& body) {
  std::set<NamePair> pairs;
  for (auto* node = body.getActiveJoints().getFirst(); node != nullptr; node = node->next)
    pairs.insert(sortedPair(node->value->getCNode()->getShape().name, node->value->getPNode()->getShape().name));
  return pairs;
}

// Axis-aligned unit cubes touch face to face when their centres differ by
// 1 + gap along one axis with gap below the tolerance, and agree along the
// other two.
bool cubesShareAFace(const MgcVector3& a, const MgcVector3& b, double tolerance) {
  const MgcVector3 d = b - a;
  int apart = -1;
  for (int axis = 0; axis < 3; ++axis) {
    if (std::fabs(d[axis]) < 1e-9) continue;
    if (apart >= 0) return false;
    apart = axis;
  }
  return apart >= 0 && std::fabs(d[apart]) - 1.0 < tolerance;
}

// Cubes on a 4 x 4 grid with random gaps between columns and rows, some
// below the tolerance and some above: the joints are exactly the grid
// neighbours across a gap below it, names "str_" + both names; a cube far
// off and a pair of static cubes get none.
TEST(AutomaticJoints, JoinExactlyTheCubesWhoseFacesTouch) {
  const double tolerance = 0.01;
  std::mt19937 random(7);
  std::uniform_real_distribution<double> gapOf(0.0, 2.0 * tolerance);
  for (int trial = 0; trial < 4; ++trial) {
    std::vector<double> xs{0.0};
    std::vector<double> ys{0.0};
    for (int i = 1; i < 4; ++i) {
      xs.push_back(xs.back() + 1.0 + gapOf(random));
      ys.push_back(ys.back() + 1.0 + gapOf(random));
    }
    std::vector<std::unique_ptr<HullBody>> cubes;
    std::vector<MgcVector3> centres;
    FractureBody body;
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) {
        centres.emplace_back(xs[c], ys[r], 0.0);
        cubes.push_back(cubePiece(centres.back(), 1.0f, ("c" + std::to_string(r) + std::to_string(c)).c_str()));
      }
    }
    centres.emplace_back(20.0, 0.0, 0.0);
    cubes.push_back(cubePiece(centres.back(), 1.0f, "far"));
    for (const double x : {30.0, 31.0}) {
      centres.emplace_back(x, 0.0, 0.0);
      cubes.push_back(cubePiece(centres.back(), 1.0f, x == 30.0 ? "s0" : "s1"));
      cubes.back()->enableStatic();
    }
    for (const auto& cube : cubes) body.addUniqueToList(cube.get());

    std::set<NamePair> expected;
    for (std::size_t i = 0; i < cubes.size(); ++i) {
      for (std::size_t k = i + 1; k < cubes.size(); ++k) {
        if (cubes[i]->isStatic() && cubes[k]->isStatic()) continue;
        if (cubesShareAFace(centres[i], centres[k], tolerance))
          expected.insert(sortedPair(cubes[i]->getShape().name, cubes[k]->getShape().name));
      }
    }
    ASSERT_EQ(body.createJoints(tolerance, false, false), 1u);
    EXPECT_EQ(jointPairs(body), expected) << trial;
    for (auto* node = body.getActiveJoints().getFirst(); node != nullptr; node = node->next) {
      const DynamicStress* joint = node->value;
      EXPECT_EQ(std::string(joint->getName()),
                std::string("str_") + joint->getPNode()->getShape().name + "_" + joint->getCNode()->getShape().name);
      EXPECT_TRUE(joint->isActive());
      EXPECT_EQ(joint->get_break_tolerance(), 1.0);
    }
    // Every joined cube is a piece of the body; the others stay where they
    // were.
    for (const auto& cube : cubes) EXPECT_EQ(body.hasPiece(cube.get()), cube->getJointCount() != 0);
    EXPECT_FALSE(body.hasPiece(cubes[16].get()));
    // With static pairs allowed the two static cubes are joined too.
    FractureBody withStatics;
    for (const auto& cube : cubes) withStatics.addUniqueToList(cube.get());
    withStatics.createJoints(tolerance, false, true);
    EXPECT_EQ(jointPairs(withStatics).count(sortedPair("s0", "s1")), 1u);
    body.deleteAllJoints();
    withStatics.deleteAllJoints();
  }
}

// Names that do not fit the name buffer are cut and end with a zero.
TEST(AutomaticJoints, LongNamesAreCutToTheBuffer) {
  const std::string longName(200, 'a');
  auto a = cubePiece(MgcVector3(0, 0, 0), 1.0f, longName.c_str());
  auto b = cubePiece(MgcVector3(1, 0, 0), 1.0f, (longName + "b").c_str());
  FractureBody body;
  body.addUniqueToList(a.get());
  body.addUniqueToList(b.get());
  body.createJoints(0.01, false, false);
  ASSERT_EQ(body.getNActiveJoints(), 1u);
  const DynamicStress* joint = body.getActiveJoints().getFirst()->value;
  const std::string full =
      std::string("str_") + joint->getPNode()->getShape().name + "_" + joint->getCNode()->getShape().name;
  EXPECT_EQ(std::strlen(joint->getName()), static_cast<std::size_t>(kJointNameLength - 1));
  EXPECT_EQ(std::string(joint->getName()), full.substr(0, kJointNameLength - 1));
  body.deleteAllJoints();
}

// The connected build joins every cube, however far, into one group, and
// adds a joint for every other pair whose squared closest distance is below
// the setting.
TEST(AutomaticJoints, ConnectedBuildJoinsEveryCubeAndCloseNeighbours) {
  std::vector<std::unique_ptr<HullBody>> cubes;
  const std::vector<MgcVector3> centres{{0, 0, 0}, {1.05, 0, 0}, {2.1, 0, 0}, {0, 1.2, 0}, {9, 0, 0}};
  FractureBody body;
  for (std::size_t i = 0; i < centres.size(); ++i) {
    cubes.push_back(cubePiece(centres[i], 1.0f, ("k" + std::to_string(i)).c_str()));
    body.addUniqueToList(cubes.back().get());
  }
  // Squared gaps: 0.0025 between k0-k1 and k1-k2, 0.04 for k0-k3 and
  // 0.0425 for k1-k3 (corner to edge): a setting of 0.01 joins the first.
  ASSERT_EQ(body.createJointsByProximity(0.01), 1u);
  EXPECT_EQ(body.numDisconectBodies(), 0u);
  EXPECT_EQ(body.getNJointBodies(), 5u);
  const std::set<NamePair> pairs = jointPairs(body);
  EXPECT_EQ(pairs.count(sortedPair("k0", "k1")), 1u);
  EXPECT_EQ(pairs.count(sortedPair("k1", "k2")), 1u);
  EXPECT_EQ(pairs.count(sortedPair("k0", "k2")), 0u);
  // A tree over five cubes has four joints; the extra contacts add none
  // that the tree already has.
  EXPECT_EQ(pairs.size(), 4u);
  body.deleteAllJoints();
}

// A spinning, moving 4 x 4 x 2 block with random joints broken splits into
// exactly the groups the remaining joints hold; each part starts with the
// block's velocity at its centre; fragments are named and numbered after
// the block; restoring gives back the whole block.
TEST(FractureSplit, FragmentsAreTheJointGroupsMovingWithTheBody) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 6; ++trial) {
    CubeWall block(4, 4, 2, "block");
    FractureBody& body = *block.body;
    std::vector<DynamicStress*> joints;
    for (auto* node = body.getActiveJoints().getFirst(); node != nullptr; node = node->next)
      joints.push_back(node->value);
    const MgcVector3 v(1.0, -2.0, 0.5);
    const MgcVector3 w(0.3, 0.2, -0.7);
    body.setLinearVelocity(v);
    body.setAngularVelocity(w);
    const MgcVector3 centre = body.getDyn().position;
    std::bernoulli_distribution breaks(0.15 + 0.1 * trial);
    std::size_t broken = 0;
    for (DynamicStress* joint : joints) {
      if (!breaks(random)) continue;
      joint->deActivate();
      ++broken;
    }
    body.removeDeactivatedJointsFromActiveList();
    ASSERT_EQ(body.splitIntoFragments(false), broken != 0 ? 1u : 0u);
    const auto groups = zovtest::jointGroups(block.pieces, joints);
    if (groups.size() == 1) {
      EXPECT_TRUE(body.isActive()) << trial;
      EXPECT_EQ(body.getNFBodies(), 0u);
      EXPECT_EQ(body.getNActiveJoints(), joints.size() - broken);
    } else {
      EXPECT_EQ(zovtest::splitParts(body), groups) << trial;
      EXPECT_FALSE(body.isActive());
    }
    EXPECT_EQ(body.getBrokenJointCount(), broken);
    std::set<std::string> names;
    for (auto* node = body.getChildBodies().getFirst(); node != nullptr; node = node->next) {
      auto* fragment = static_cast<FractureBody*>(node->value);
      names.insert(fragment->getShape().name);
      const RBDynamics& s = fragment->getDyn();
      const MgcVector3 expected = v + w.Cross(s.position - centre);
      EXPECT_LT((s.linearVelocity - expected).Length(), 1e-9) << trial;
      // Its pieces move with it as one rigid body.
      for (auto* p = fragment->getPieces().getFirst(); p != nullptr; p = p->next) {
        const RBDynamics& ps = p->value->getDyn();
        EXPECT_LT((ps.linearVelocity - (s.linearVelocity + s.angularVelocity.Cross(ps.position - s.position))).Length(),
                  1e-9);
      }
    }
    std::set<std::string> numbered;
    for (std::uint32_t i = 1; i <= body.getFragmentCount(); ++i) numbered.insert("block_" + std::to_string(i));
    EXPECT_EQ(names, numbered) << trial;
    for (auto* node = body.getDisconnectedBodies().getFirst(); node != nullptr; node = node->next) {
      const RBDynamics& s = node->value->getDyn();
      EXPECT_LT((s.linearVelocity - (v + w.Cross(s.position - centre))).Length(), 1e-9) << trial;
      EXPECT_EQ(node->value->getParent(), nullptr);
    }

    body.restoreDynamics();
    EXPECT_EQ(body.getNActiveJoints(), joints.size());
    EXPECT_EQ(body.getNJointBodies(), block.pieces.size());
    EXPECT_EQ(body.getNFBodies(), 0u);
    EXPECT_EQ(body.getFragmentCount(), 0u);
    block.deleteAll();
  }
}

// A fragment's name: the parent's with "_" and its number while that fits
// in 255 characters, "splitted" otherwise.
TEST(FractureSplit, FragmentNamesFitTheNameBuffer) {
  const struct {
    std::size_t length;
    bool numbered;
  } rows[] = {{10, true}, {253, true}, {254, false}};
  for (const auto& row : rows) {
    CubeWall bar(4, 1, 1, std::string(row.length, 'n').c_str());
    // The middle joint breaks: two fragments of two cubes.
    DynamicStress* middle = zovtest::jointBetween(bar.at(1, 0), bar.at(2, 0));
    middle->deActivate();
    bar.body->removeDeactivatedJointsFromActiveList();
    bar.body->splitIntoFragments(false);
    ASSERT_EQ(bar.body->getNFBodies(), 2u);
    for (auto* node = bar.body->getChildBodies().getFirst(); node != nullptr; node = node->next) {
      const std::string name = node->value->getShape().name;
      if (row.numbered) {
        EXPECT_EQ(name.substr(0, row.length + 1), std::string(row.length, 'n') + "_");
        EXPECT_LE(name.size(), 255u);
      } else {
        EXPECT_EQ(name, "splitted");
      }
    }
    bar.deleteAll();
  }
}

// A bar of four cubes split at its middle joint: a static body that does
// not wait for a first hit keeps both halves static under its own parent
// until its static parts are let go; a static body waiting for its first
// hit and a moving body let both halves move at once.
TEST(FractureSplit, HeldStaticBodiesKeepEveryFragmentStaticUntilReleased) {
  const struct {
    const char* what;
    bool isStatic;
    bool firstHit;
    bool held;
  } rows[] = {
      {"static, held", true, false, true},
      {"static, waiting for a hit", true, true, false},
      {"moving", false, false, false},
  };
  for (const auto& row : rows) {
    CubeWall bar(4, 1, 1, "bar");
    FractureBody& body = *bar.body;
    FractureBody holder;
    body.setParent(&holder);
    if (row.isStatic) body.enableStatic();
    if (row.firstHit) body.enableFirstHit();
    zovtest::jointBetween(bar.at(1, 0), bar.at(2, 0))->deActivate();
    body.removeDeactivatedJointsFromActiveList();
    ASSERT_EQ(body.splitIntoFragments(false), 1u) << row.what;
    ASSERT_EQ(body.getNFBodies(), 2u) << row.what;
    for (HardBody* fragment : valuesOf(body.getChildBodies())) {
      EXPECT_EQ(fragment->isStatic(), row.held) << row.what;
      EXPECT_FALSE(fragment->isFirstHit(false)) << row.what;
      EXPECT_EQ(fragment->getParent(), row.held ? &holder : nullptr) << row.what;
    }
    body.disableStaticParts();
    for (HardBody* fragment : valuesOf(body.getChildBodies())) EXPECT_FALSE(fragment->isStatic()) << row.what;
    bar.deleteAll();
  }
}

// The impact walk on a bar of cubes: a hit on the end cube breaks the joints
// whose velocity change passes the tolerance and spreads the rest; with
// propagation type 1 only the hit cube's joints are tested; joints that
// break by frame never break by impact; past the crack limit the walk stays
// at the hit cube.
TEST(ImpactWalk, BreaksWhatPassesTheToleranceAndStopsWhereTold) {
  struct Row {
    const char* what;
    int propagation;
    bool byFrame;
    int passesBefore;
    int brokenExpected;
  };
  const Row rows[] = {
      {"spreads along the bar", 0, false, 0, 2},
      {"propagation type 1", 1, false, 0, 1},
      {"joints break by frame", 0, true, 0, 0},
      {"past the crack limit", 0, false, 8, 1},
  };
  CollisionManager manager;  // the least-squares systems of the joints
  for (const Row& row : rows) {
    CubeWall bar(6, 1, 1, "bar");
    FractureBody& body = *bar.body;
    body.setBreakModeRecursive(row.propagation);
    for (auto* node = body.getActiveJoints().getFirst(); node != nullptr; node = node->next) {
      node->value->set_break_tolerance(0.5);
      if (row.byFrame) node->value->enableBreakableByFrame();
    }
    for (int i = 0; i < row.passesBefore; ++i) body.beginThreadPass(0);
    body.beginThreadPass(0);
    // The hit: the end cube's slot moves at 30 along x, away from the bar. A
    // breaking joint passes on a tenth (0.2 sqrt(0.25)) of the motion: the
    // second joint breaks too, the third holds.
    PrivateHardBody* end = bar.at(0, 0);
    end->getWorkerDyn(0)->linearVelocity = MgcVector3(-30.0, 0.0, 0.0);
    body.propagateImpact(end, false, 0);
    int broken = 0;
    for (auto* node = body.getActiveJoints().getFirst(); node != nullptr; node = node->next)
      broken += node->value->isActive() ? 0 : 1;
    EXPECT_EQ(broken, row.brokenExpected) << row.what;
    EXPECT_EQ(body.getPendingDeactivations(), static_cast<std::uint32_t>(broken)) << row.what;
    // The walk wrote only the pass's slots: every cube's own state is still.
    for (const HullBody* piece : bar.pieces) EXPECT_EQ(piece->getDyn().linearVelocity.Length(), 0.0) << row.what;
    bar.deleteAll();
  }
}

// A walk on a worker's slot reads and writes that slot only: the calling
// thread's slot 0 and the bodies' own states stay as they were, and a held
// joint passes 0.9 of the hit cube's motion on in the worker's slot.
TEST(ImpactWalk, WalkOnAWorkerSlotWritesOnlyThatSlot) {
  zov::platform::setProcessorCountOverride(8);
  CollisionManager manager;  // least-squares systems for slots 0 to 7
  zov::platform::setProcessorCountOverride(0);
  CubeWall bar(2, 1, 1, "pair");
  FractureBody& body = *bar.body;
  const int t = 5;
  body.beginThreadPass(0);
  body.beginThreadPass(t);
  PrivateHardBody* hit = bar.at(0, 0);
  PrivateHardBody* next = bar.at(1, 0);
  // Too slow to break a joint of tolerance 1.
  hit->getWorkerDyn(t)->linearVelocity = MgcVector3(0.0, 0.0, 0.5);
  body.propagateImpact(hit, false, t);
  EXPECT_TRUE(body.getActiveJoints().getFirst()->value->isActive());
  const MgcVector3 passed = next->getWorkerDyn(t)->linearVelocity;
  EXPECT_NEAR(passed.z, static_cast<double>(0.9f) * 0.5, 1e-12);
  EXPECT_EQ(next->getWorkerDyn(0)->linearVelocity.Length(), 0.0);
  EXPECT_EQ(next->getDyn().linearVelocity.Length(), 0.0);
  EXPECT_TRUE(next->isProcessedThread(t));
  EXPECT_FALSE(next->isProcessedThread(0));
  bar.deleteAll();
}

// Breaking by frame walks the push from the joint's bodies on the calling
// thread's slot even after an earlier pass on that slot marked the cubes:
// the neighbouring joint, of the least tolerance, breaks from the push.
TEST(ImpactWalk, FrameBreakWalksAfterAnEarlierPass) {
  CollisionManager manager;
  CubeWall bar(3, 1, 1, "bar");
  FractureBody& body = *bar.body;
  DynamicStress* first = zovtest::jointBetween(bar.at(0, 0), bar.at(1, 0));
  DynamicStress* second = zovtest::jointBetween(bar.at(1, 0), bar.at(2, 0));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  first->disableBreakableByForce();
  first->enableBreakableByFrame();
  first->setBreakEnergy(0.5);
  second->set_break_tolerance(1e-6);
  // A pass on slot 0 that finds nothing moving marks every cube.
  body.beginThreadPass(0);
  body.propagateImpact(bar.at(2, 0), false, 0);
  ASSERT_TRUE(second->isActive());
  EXPECT_TRUE(body.breakJointsByFrame({first}, nullptr));
  EXPECT_FALSE(first->isActive());
  EXPECT_FALSE(second->isActive());
  // Every cube was released, each pushed by the break energy.
  EXPECT_EQ(body.numDisconectBodies(), 3u);
  bar.deleteAll();
}

// Joining disconnected bodies to the nearest piece of their group passes
// over a body that cannot be joined (it has no mesh) instead of trying it
// for ever.
TEST(FractureSplit, AttachNearestPiecesPassesOverBodiesItCannotJoin) {
  auto a = cubePiece(MgcVector3(0, 0, 0), 1.0f, "a");
  auto b = cubePiece(MgcVector3(1, 0, 0), 1.0f, "b");
  auto c = cubePiece(MgcVector3(2, 0, 0), 1.0f, "c");
  HullBody bare;  // no mesh: no joint can hold it
  FractureBody body;
  DynamicStress* joint = zovtest::jointAt(MgcVector3(0.5, 0, 0), a.get(), b.get(), 1);
  body.attachJoint(joint);
  for (HardBody* loose : {static_cast<HardBody*>(&bare), static_cast<HardBody*>(c.get())}) {
    loose->setGroupID(0);
    loose->updateWorldData();
    body.addUniqueToList(static_cast<PrivateHardBody*>(loose));
  }
  ASSERT_TRUE(body.validateDisconnectBodiesGroups());
  body.attachNearestPieces();
  EXPECT_TRUE(body.hasPiece(c.get()));
  EXPECT_FALSE(body.hasPiece(&bare));
  EXPECT_EQ(body.numDisconectBodies(), 1u);
  EXPECT_NE(zovtest::jointBetween(b.get(), c.get()), nullptr);
  body.deleteAllJoints();
}

// Secondary cracks cut the joints between the cluster tree's two halves and
// at static cubes, and lower the others to the global threshold.
TEST(ImpactWalk, SecondaryCracksCutBetweenClusters) {
  CubeWall bar(8, 1, 1, "bar");
  FractureBody& body = *bar.body;
  bar.at(7, 0)->enableStatic();
  body.setGlobalStressThreshold(0.25);
  body.applySecondaryCracks();
  ASSERT_NE(body.getTreeMesh(), nullptr);
  for (auto* node = body.getActiveJoints().getFirst(); node != nullptr; node = node->next) {
    const DynamicStress* joint = node->value;
    const bool acrossHalves = joint->getCNode()->getShape().tag != joint->getPNode()->getShape().tag;
    const bool atStatic = joint->getCNode()->isStatic() || joint->getPNode()->isStatic();
    EXPECT_EQ(joint->get_break_tolerance(), acrossHalves || atStatic ? 0.0 : 0.25) << joint->getName();
  }
  // The bar splits into two halves along x: exactly one joint crosses.
  int across = 0;
  for (auto* node = body.getActiveJoints().getFirst(); node != nullptr; node = node->next)
    across += node->value->getCNode()->getShape().tag != node->value->getPNode()->getShape().tag ? 1 : 0;
  EXPECT_EQ(across, 1);
  bar.deleteAll();
}

// A joint to a static piece measures what holding the hit cube takes and
// breaks only past its tolerance, even on a direct hit, leaving the static
// piece as it was; a dynamic neighbour's joint breaks on any direct hit. By
// hand for the hit unit cube of mass 1 (inverse inertia 6) and the anchor
// half a unit along x: the system is diag(1, 2.5, 2.5), so |dv|^2 is
// vx^2 + (vz / 2.5)^2. (Measured on the 2 x 1 x 1 neighbour instead, vz
// would count 1 / 3.4.)
TEST(ImpactWalk, AJointToAStaticPieceBreaksOnlyPastItsTolerance) {
  struct Row {
    double vx, vz, tolerance;
    bool neighbourStatic, direct, breaks;
  };
  const Row rows[] = {
      {-3.0, 0.0, 2.9, true, true, true},  {-3.0, 0.0, 3.1, true, true, false}, {0.0, 3.0, 1.1, true, false, true},
      {0.0, 3.0, 1.3, true, false, false}, {0.0, 3.0, 1.3, true, true, false},  {0.0, 3.0, 1.3, false, true, true},
  };
  CollisionManager manager;
  for (const Row& row : rows) {
    auto hit = cubePiece(MgcVector3(0, 0, 0), 1.0f, "hit");
    auto neighbour = zovtest::boxPiece(MgcVector3(1.5, 0, 0), MgcVector3(1.0, 0.5, 0.5), 1.0f, "neighbour");
    if (row.neighbourStatic) neighbour->enableStatic();
    DynamicStress* joint = zovtest::jointAt(MgcVector3(0.5, 0, 0), hit.get(), neighbour.get(), 0);
    joint->enableBreakableByForce();
    joint->set_break_tolerance(row.tolerance);
    FractureBody body;
    body.attachJoint(joint);
    body.beginThreadPass(0);
    hit->getWorkerDyn(0)->linearVelocity = MgcVector3(row.vx, 0.0, row.vz);
    body.propagateImpact(hit.get(), row.direct, 0);
    EXPECT_EQ(!joint->isActive(), row.breaks) << row.vx << " " << row.vz << " " << row.tolerance;
    if (row.neighbourStatic) {
      EXPECT_EQ(neighbour->getWorkerDyn(0)->linearVelocity.Length(), 0.0);
      EXPECT_EQ(neighbour->getWorkerDyn(0)->angularVelocity.Length(), 0.0);
    }
    body.deleteAllJoints();
  }
}

// A bar of three cubes whose two joints break with energies 2 (left) and 3
// (right), the left one first: every cube is released, each moving away
// from the neighbour of the first energetic joint in the split's list that
// held it at that joint's energy. The list takes the broken joints from the
// front of the inactive list and puts each in front, so the left joint comes
// first: the middle cube takes its push alone, +2 along x.
TEST(FractureSplit, AReleasedPieceTakesThePushOfItsFirstEnergeticJointOnly) {
  CubeWall bar(3, 1, 1, "bar");
  FractureBody& body = *bar.body;
  DynamicStress* left = zovtest::jointBetween(bar.at(0, 0), bar.at(1, 0));
  DynamicStress* right = zovtest::jointBetween(bar.at(1, 0), bar.at(2, 0));
  left->setBreakEnergy(2.0);
  right->setBreakEnergy(3.0);
  ASSERT_TRUE(body.deActivateJoint(left));
  ASSERT_TRUE(body.deActivateJoint(right));
  ASSERT_EQ(body.splitIntoFragments(false), 1u);
  ASSERT_EQ(body.numDisconectBodies(), 3u);
  const double expected[3] = {-2.0, 2.0, 3.0};
  for (int c = 0; c < 3; ++c) {
    const MgcVector3 v = bar.at(c, 0)->getDyn().linearVelocity;
    EXPECT_NEAR((v - MgcVector3(expected[c], 0.0, 0.0)).Length(), 0.0, 1e-12) << c;
  }
  bar.deleteAll();
}

// The connected build's extra joints: of an L of three cubes, the tree joins
// the corner cube to both others; the two ends, corner to corner g apart,
// get a joint of their own exactly when g squared is below the setting.
TEST(AutomaticJoints, ExtraJointsCompareTheSquaredGapWithTheSetting) {
  const struct {
    double setting, gap;
    bool joined;
  } rows[] = {{0.1, 0.15, true}, {1.5, 1.3, false}, {0.05, 0.2, false}};
  for (const auto& row : rows) {
    auto corner = cubePiece(MgcVector3(0, 0, 0), 1.0f, "corner");
    auto side = cubePiece(MgcVector3(1, 0, 0), 1.0f, "side");
    auto top = cubePiece(MgcVector3(0, 1 + row.gap, 0), 1.0f, "top");
    FractureBody body;
    for (HullBody* cube : {corner.get(), side.get(), top.get()}) body.addUniqueToList(cube);
    ASSERT_EQ(body.createJointsByProximity(row.setting), 1u);
    const std::set<NamePair> pairs = jointPairs(body);
    EXPECT_EQ(pairs.count(sortedPair("corner", "side")), 1u);
    EXPECT_EQ(pairs.count(sortedPair("corner", "top")), 1u);
    EXPECT_EQ(pairs.count(sortedPair("side", "top")), row.joined ? 1u : 0u) << row.setting << " " << row.gap;
    body.deleteAllJoints();
  }
}

// The recursive split breaks a joint whose external force is longer than
// its tolerance: squared length against squared tolerance.
TEST(FractureSplit, RecursiveSplitBreaksJointsWhoseForcePassesTheirTolerance) {
  const struct {
    double force, tolerance;
    bool breaks;
  } rows[] = {{1.5, 2.0, false}, {0.5, 0.4, true}, {2.0, 2.0, false}, {3.0, 1.0, true}};
  for (const auto& row : rows) {
    CubeWall pair(2, 1, 1, "pair");
    DynamicStress* joint = zovtest::jointBetween(pair.at(0, 0), pair.at(1, 0));
    joint->set_break_tolerance(row.tolerance);
    joint->applyExternalForce(MgcVector3(0.0, row.force * 0.6, row.force * 0.8));
    pair.body->splitRecursive();
    EXPECT_EQ(!joint->isActive(), row.breaks) << row.force << " " << row.tolerance;
    pair.deleteAll();
  }
}

}  // namespace
