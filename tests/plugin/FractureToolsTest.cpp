// The fracture body tools: update_Fbody, deleteZovFBody, Detach_FBody,
// fBody_selStresses and queryZovFBody on the 2 x 2 x 2 block, whose every
// cube has three joints.
#include <gtest/gtest.h>
#include <maya/MDagPath.h>
#include <maya/MMatrix.h>
#include <maya/MSelectionList.h>

#include <cmath>
#include <functional>
#include <set>

#include "FractureFixture.h"
#include "engine/bodies/BodyFlags.h"
#include "engine/bodies/PrivateHardBody.h"
#include "support/HostLookups.h"

namespace {

using zovhost::testing::MessageKind;

constexpr double kThreshold = 50.0;

class FractureTools : public FractureTest {
 protected:
  /// The block under the group "block", made a fracture body whose every
  /// joint holds the threshold.
  void builtBlock(double lift = 0.0) {
    block = makeBlock(2, lift);
    run("group -n block piece000 piece001 piece010 piece011 piece100 piece101 piece110 piece111");
    ASSERT_TRUE(fracture(block));
    run("setAttr ZovFractureBody.randomThreshold 0; getAttr ZovFractureBody.ca_randomThreshold");
  }

  /// The built block with the two bodies made a cluster, and the fracture
  /// body selected.
  void builtBlockWithCluster(const std::string& first, const std::string& second) {
    ASSERT_NO_FATAL_FAILURE(builtBlock());
    select({first, second});
    ASSERT_TRUE(runs("zovCluster -as"));
    select({"ZovFractureBody"});
  }

  /// The scene's one fracture body node is `name`; it holds `joints` joint
  /// nodes and its engine body `pieces` pieces.
  static void expectOnlyFractureBody(const std::string& name, unsigned joints, unsigned pieces) {
    EXPECT_EQ(nodesOfType("zovFbodyNode"), std::vector<std::string>{name});
    EXPECT_EQ(fractureNode(name).numStresses(), joints);
    EXPECT_EQ(fractureNode(name).getFractureBody()->getNJointBodies(), pieces);
  }

  static void select(const std::vector<std::string>& names) {
    std::string line = "select";
    for (const std::string& name : names) line += " " + name;
    run(line);
  }
  /// The joints' names as the engine names them, for joints touching the
  /// cells: "among" both in the set, "out" one of them only.
  static std::set<std::string> jointNames(const std::set<std::string>& bodies, bool among) {
    std::set<std::string> names;
    for (const std::string& joint : nodesOfType("zovStressNode")) {
      const SceneStress& node = stressNode(joint);
      const size_t inside = bodies.count(node.body1Name().asChar()) + bodies.count(node.body2Name().asChar());
      if ((among && inside == 2) || (!among && inside == 1)) names.insert(joint);
    }
    return names;
  }
  static std::set<std::string> asSet(const std::vector<std::string>& words) {
    return std::set<std::string>(words.begin(), words.end());
  }
  static MMatrix worldMatrix(const std::string& transform) { return zovtest::pathNamed(transform).inclusiveMatrix(); }
  static size_t linesStarting(const std::string& start) {
    size_t count = 0;
    for (const auto& command : zovhost::testing::commands())
      if (command.line.rfind(start, 0) == 0) ++count;
    return count;
  }

  std::vector<std::string> block;
};

// ---- update_Fbody -------------------------------------------------------------------

TEST_F(FractureTools, StaticPiecesLetGoOfTheRestAndDynamicOnesHoldHalfTheThreshold) {
  builtBlock();
  const std::set<std::string> pair = {bodyName(1, 1, 0), bodyName(1, 1, 1)};
  const double mass = getDouble("ZovFractureBody.mass");
  for (bool makeStatic : {true, false}) {
    select({bodyName(1, 1, 0), bodyName(1, 1, 1)});
    zovhost::testing::flushIdleQueue();
    ASSERT_TRUE(runs(std::string("update_Fbody -stf ") + (makeStatic ? "true" : "false")));
    for (const std::string& name : pair) {
      EXPECT_EQ(bodyNode(name).engineBody(false)->isStatic(), makeStatic) << name;
      EXPECT_TRUE(MPlug(node(name), rigidBodyNode::passive).isLocked()) << name;
    }
    const std::set<std::string> boundary = jointNames(pair, false);
    EXPECT_EQ(boundary.size(), 4u);
    for (const std::string& joint : nodesOfType("zovStressNode")) {
      const double expected = boundary.count(joint) ? (makeStatic ? 0.0 : kThreshold / 2) : kThreshold;
      EXPECT_EQ(stressNode(joint).getJoint()->get_break_tolerance(), expected) << joint << " " << makeStatic;
    }
    EXPECT_EQ(getDouble("ZovFractureBody.mass"), mass);
    EXPECT_DOUBLE_EQ(fractureNode().getFractureBody()->getMass(), mass);
    zovhost::testing::clearLogs();
    EXPECT_EQ(zovhost::testing::flushIdleQueue(), 1u);
    EXPECT_TRUE(ranLine("showWindow $zovAdvancedFracturesWindow"));
  }
  // Bodies of no fracture body: each is named and left as it was, and the
  // command fails.
  makeBoxBody("free", 1, 1, 1, "5 0 0", "0 0 0", 2, "zovSolverNode1");
  select({"freeBody"});
  zovhost::testing::clearLogs();
  EXPECT_FALSE(runs("update_Fbody -stf true"));
  EXPECT_TRUE(zovhost::testing::hasMessage(MessageKind::Warning, "freeBody is not a piece of a fracture body"));
  EXPECT_TRUE(zovhost::testing::hasMessage(MessageKind::Error, "-staticFrags needs pieces of a fracture body"));
  EXPECT_FALSE(bodyNode("freeBody").engineBody(true)->isStatic());
  EXPECT_EQ(getDouble("freeBody.passive"), 0.0);
  EXPECT_FALSE(MPlug(node("freeBody"), rigidBodyNode::passive).isLocked());
}

TEST_F(FractureTools, FreezingTheGroupKeepsThePiecesWhereTheyAreAndSetMassOnlyReweighs) {
  // Two runs: "-trs -mas" reweighs the pieces' bodies as they are, "-trs"
  // alone makes them again from their meshes.
  for (bool massOnly : {true, false}) {
    if (!massOnly) {
      TearDown();
      SetUp();
    }
    builtBlock();
    run("setAttr block.translate 1 2 3; setAttr block.rotate 0 30 0");
    std::vector<MMatrix> before;
    for (const std::string& name : block) {
      const std::array<int, 3> cell = cellOf(name);
      before.push_back(worldMatrix(cubeName(cell[0], cell[1], cell[2])));
    }
    // Cube 000 becomes twice as wide; only a body made again sees it.
    const MPlug mesh = MFnDependencyNode(node("pieceShape000")).findPlug("inMesh", true);
    run(std::string("setAttr ") + MFnDependencyNode(mesh.source().node()).name().asChar() + ".width 2");
    select({"ZovFractureBody"});
    zovhost::testing::clearLogs();
    ASSERT_TRUE(runs(massOnly ? "update_Fbody -trs -mas" : "update_Fbody -trs"));
    EXPECT_FALSE(zovhost::testing::hasMessage(MessageKind::Warning, "time set to start frame"));
    EXPECT_EQ(linesStarting("makeIdentity -apply true \"block\""), 1u);
    const MMatrix group = worldMatrix("block");
    for (unsigned int r = 0; r < 4; ++r)
      for (unsigned int c = 0; c < 4; ++c) EXPECT_NEAR(group[r][c], r == c ? 1.0 : 0.0, 1e-12);
    for (size_t i = 0; i < block.size(); ++i) {
      const std::array<int, 3> cell = cellOf(block[i]);
      const MMatrix after = worldMatrix(cubeName(cell[0], cell[1], cell[2]));
      for (unsigned int r = 0; r < 4; ++r)
        for (unsigned int c = 0; c < 4; ++c) EXPECT_NEAR(after[r][c], before[i][r][c], 1e-9) << block[i];
      EXPECT_TRUE(MFnDependencyNode(node(block[i])).isLocked()) << block[i];
    }
    // Unit cubes weigh their volume; the widened one weighs more only once
    // its body is made again from its mesh.
    if (massOnly) {
      EXPECT_NEAR(bodyNode(bodyName(0, 0, 0)).engineBody(false)->getMass(), 1.0, 1e-6);
      EXPECT_NEAR(getDouble("ZovFractureBody.mass"), 8.0, 1e-5);
    } else {
      EXPECT_GT(getDouble("ZovFractureBody.mass"), 8.0 + 1e-3);
    }
    EXPECT_NEAR(fractureNode().getFractureBody()->getMass(), getDouble("ZovFractureBody.mass"), 1e-5);
  }
  // Away from the start the time goes back to it first.
  frame(5);
  zovhost::testing::clearLogs();
  ASSERT_TRUE(runs("update_Fbody -mas"));
  EXPECT_TRUE(zovhost::testing::hasMessage(MessageKind::Warning, " time set to start frame to update fracture body"));
  EXPECT_EQ(getDouble("time1.outTime"), 1.0);
}

TEST_F(FractureTools, DisplayStressesSelectsThePiecesAndSwitchesTheirGeometryDisplay) {
  builtBlock();
  select({"ZovFractureBody"});
  zovhost::testing::flushIdleQueue();
  zovhost::testing::clearLogs();
  ASSERT_TRUE(runs("update_Fbody -dst true"));
  EXPECT_TRUE(
      ranLine("global string $transformNodeslastSelectedFbody[];$transformNodeslastSelectedFbody = "
              "`queryZovFBody -gtn \"ZovFractureBody\" `"));
  EXPECT_EQ(zovhost::testing::idleQueueSize(), 1u);
  zovhost::testing::flushIdleQueue();
  EXPECT_TRUE(
      ranLine("global string $transformNodeslastSelectedFbody[];select $transformNodeslastSelectedFbody;"
              "polyOptions -dg false;select -clear"));
  for (const std::string& name : block) {
    const std::array<int, 3> cell = cellOf(name);
    run("select " + cubeName(cell[0], cell[1], cell[2]));
    std::vector<std::string> shown;
    ASSERT_TRUE(runs("polyOptions -q -dg", &shown));
    EXPECT_EQ(shown, std::vector<std::string>{"0"}) << name;
  }
  run("select ZovFractureBody");
  ASSERT_TRUE(runs("update_Fbody -dst false"));
  zovhost::testing::flushIdleQueue();
  run("select piece000");
  std::vector<std::string> shown;
  ASSERT_TRUE(runs("polyOptions -q -dg", &shown));
  EXPECT_EQ(shown, std::vector<std::string>{"1"});
}

TEST_F(FractureTools, StressesMapRecoloursAndAMissingModeIsRefused) {
  builtBlock();
  run("setAttr ZovFractureBody.displayStressses 1");
  for (const std::string& name : block) EXPECT_EQ(bodyNode(name).getStressColors().length(), 0u) << name;
  select({"ZovFractureBody"});
  ASSERT_TRUE(runs("update_Fbody -map"));
  // One colour per vertex of a cube: at the threshold, blue.
  for (const std::string& name : block) {
    const MColorArray& colours = bodyNode(name).getStressColors();
    ASSERT_EQ(colours.length(), 8u) << name;
    EXPECT_EQ(colours[0].b, 1.0f) << name;
  }
  select({bodyName(0, 0, 0)});
  EXPECT_FALSE(runs("update_Fbody -map"));
  zovhost::testing::clearLogs();
  EXPECT_FALSE(runs("update_Fbody"));
  EXPECT_TRUE(zovhost::testing::hasMessage(MessageKind::Error, "update_Fbody operation invalid"));
  run("select -clear");
  EXPECT_FALSE(runs("update_Fbody -map"));
  EXPECT_TRUE(zovhost::testing::hasMessage(MessageKind::Error, "invalid selection"));
}

// ---- deleteZovFBody -------------------------------------------------------------------

TEST_F(FractureTools, DeletingAFractureBodyLeavesOrdinaryBodiesAndAWaitingPieceWaitsAgain) {
  builtBlock();
  // Cube 111 was told to wake at its first hit while a piece.
  rigidBodyNode& waiting = bodyNode(bodyName(1, 1, 1));
  waiting.setParamsLocked(false);
  MPlug(waiting.thisMObject(), rigidBodyNode::firstHitActiveAttr).setValue(static_cast<short>(FirstHit::kOnFirstHit));
  waiting.setParamsLocked(true);
  select({"ZovFractureBody", "zovSolverNode1"});
  std::vector<std::string> result;
  ASSERT_TRUE(runs("deleteZovFBody", &result));
  EXPECT_EQ(result, std::vector<std::string>{"ZovFractureBody"});
  EXPECT_TRUE(nodesOfType("zovFbodyNode").empty());
  EXPECT_TRUE(nodesOfType("zovStressNode").empty());
  for (const std::string& name : block) {
    rigidBodyNode& piece = bodyNode(name);
    EXPECT_EQ(piece.fractureBodyNode(), nullptr) << name;
    EXPECT_FALSE(MFnDependencyNode(node(name)).isLocked()) << name;
    EXPECT_FALSE(MPlug(node(name), rigidBodyNode::mass).isLocked()) << name;
    EXPECT_TRUE(theWorld->containsBody(piece.engineBody(false))) << name;
    const bool waits = &piece == &waiting;
    EXPECT_EQ(piece.engineBody(false)->isStatic(), waits) << name;
    EXPECT_EQ(piece.engineBody(false)->isFirstHit(false), waits) << name;
  }
  EXPECT_EQ(worldBodies(), 8);
  // Every node left can be changed and played.
  for (const std::string& name : nodesOfType("zovRigidBody"))
    run("setAttr " + name + ".mass 2; getAttr " + name + ".ca_rigidBodyParam");
  prepareSimulation("zovSolverNode1", 1, 24);
  for (int f = 2; f <= 5; ++f) frame(f);

  // Nothing to delete: the node given is named, and the command fails.
  select({bodyName(0, 0, 0)});
  zovhost::testing::clearLogs();
  EXPECT_FALSE(runs("deleteZovFBody", &result));
  EXPECT_TRUE(zovhost::testing::hasMessage(MessageKind::Warning, bodyName(0, 0, 0) + " is not a fracture body node"));
  EXPECT_TRUE(zovhost::testing::hasMessage(MessageKind::Error, "deleteZovFBody: no fracture body node selected"));
}

TEST_F(FractureTools, DeletingWithTheBodiesTakesThePiecesAndTheClustersAlong) {
  ASSERT_NO_FATAL_FAILURE(builtBlockWithCluster(bodyName(0, 0, 0), bodyName(0, 0, 1)));
  std::vector<std::string> result;
  ASSERT_TRUE(runs("deleteZovFBody -db", &result));
  EXPECT_EQ(result, std::vector<std::string>{"ZovFractureBody"});
  EXPECT_TRUE(nodesOfType("zovRigidBody").empty());
  EXPECT_TRUE(nodesOfType("ClusterZovNode").empty());
  EXPECT_TRUE(nodesOfType("zovStressNode").empty());
  EXPECT_EQ(worldBodies(), 0);
  for (const std::string& name : nodesOfType("transform")) run("setAttr " + name + ".translateX 1");
  for (const std::string& name : nodesOfType("zovCollisionShape")) run("setAttr " + name + ".type 3");
  prepareSimulation("zovSolverNode1", 1, 24);
  frame(2);
}

// ---- Detach_FBody ---------------------------------------------------------------------

TEST_F(FractureTools, DetachingOnePieceTakesOnlyItAndItsJoints) {
  builtBlock();
  frame(4);
  select({bodyName(0, 0, 0)});
  zovhost::testing::clearLogs();
  ASSERT_TRUE(runs("Detach_FBody"));
  EXPECT_TRUE(zovhost::testing::hasMessage(MessageKind::Warning, " time set to start frame to detach fracture body"));
  expectOnlyFractureBody("ZovFractureBody", 9, 7);
  EXPECT_EQ(bodyNode(bodyName(0, 0, 0)).fractureBodyNode(), nullptr);
  EXPECT_FALSE(feeds("ZovFractureBody.rigidBodies", bodyName(0, 0, 0) + ".fracture"));
}

TEST_F(FractureTools, DetachingAPieceNextToAClusterTakesTheClustersJointNodesToItAlong) {
  builtBlock();
  // Cubes 001 and 011 make a cluster; 000 touches both.
  select({bodyName(0, 0, 1), bodyName(0, 1, 1)});
  ASSERT_TRUE(runs("zovCluster -assign"));
  const std::string gone = bodyName(0, 0, 0);
  const auto namesGone = [&gone] {
    std::vector<std::string> named;
    for (const std::string& joint : nodesOfType("zovStressNode"))
      if (stressNode(joint).body1Name() == gone.c_str() || stressNode(joint).body2Name() == gone.c_str())
        named.push_back(joint);
    return named;
  };
  ASSERT_EQ(namesGone().size(), 3u);
  select({gone});
  ASSERT_TRUE(runs("Detach_FBody"));
  // No joint node is left for a joint of the piece, the cluster's neither:
  // their joints are freed with them.
  EXPECT_TRUE(namesGone().empty());
  EXPECT_EQ(nodesOfType("zovStressNode").size(), 9u);
  EXPECT_EQ(fractureNode().getFractureBody()->getNActiveJoints(), 9u);
  EXPECT_EQ(bodyNode(gone).fractureBodyNode(), nullptr);
  EXPECT_TRUE(theWorld->containsBody(bodyNode(gone).engineBody(false)));
}

TEST_F(FractureTools, DetachingTwoDynamicNeighboursMakesAFractureBodyOfThemAndTheirJoint) {
  builtBlock();
  const std::set<std::string> pair = {bodyName(0, 0, 0), bodyName(0, 0, 1)};
  const std::set<std::string> common = jointNames(pair, true);
  select({bodyName(0, 0, 0), bodyName(0, 0, 1)});
  ASSERT_TRUE(runs("Detach_FBody"));
  EXPECT_EQ(nodesOfType("zovFbodyNode"), (std::vector<std::string>{"ZovFractureBody", "ZovFractureBody1"}));
  FractureBodyNode& split = fractureNode("ZovFractureBody1");
  ASSERT_EQ(joints(split).size(), 1u);
  EXPECT_EQ(common, std::set<std::string>{joints(split)[0]->nodeName().asChar()});
  EXPECT_EQ(fractureNode().numStresses(), 12u - 5u);
  EXPECT_EQ(split.getFractureBody()->getNJointBodies(), 2u);
  EXPECT_EQ(fractureNode().getFractureBody()->getNJointBodies(), 6u);
  for (const std::string& name : pair) {
    EXPECT_TRUE(feeds("ZovFractureBody1.rigidBodies", name + ".fracture")) << name;
    EXPECT_EQ(bodyNode(name).fractureBodyNode(), &split) << name;
    EXPECT_TRUE(MFnDependencyNode(node(name)).isLocked()) << name;
  }
  EXPECT_TRUE(feeds("zovSolverNode1.fractureBodies", "ZovFractureBody1.solver"));
  EXPECT_TRUE(theWorld->containsBody(split.getFractureBody()));
  // Both play.
  prepareSimulation("zovSolverNode1", 1, 24);
  for (int f = 2; f <= 5; ++f) frame(f);
}

TEST_F(FractureTools, StaticPiecesLeaveSinglyAndTheLastPiecesTakeTheSourceAlong) {
  builtBlock();
  select({bodyName(1, 1, 0), bodyName(1, 1, 1)});
  ASSERT_TRUE(runs("update_Fbody -stf true"));
  ASSERT_TRUE(runs("Detach_FBody"));
  EXPECT_EQ(nodesOfType("zovFbodyNode"), std::vector<std::string>{"ZovFractureBody"});
  EXPECT_EQ(fractureNode().numStresses(), 12u - 5u);
  EXPECT_EQ(bodyNode(bodyName(1, 1, 0)).fractureBodyNode(), nullptr);
  EXPECT_EQ(bodyNode(bodyName(1, 1, 1)).fractureBodyNode(), nullptr);

  // The six left, all detached: they and their seven joints make the new
  // fracture body, and the source, left without joints, goes.
  std::vector<std::string> rest;
  for (const std::string& name : block)
    if (name != bodyName(1, 1, 0) && name != bodyName(1, 1, 1)) rest.push_back(name);
  select(rest);
  ASSERT_TRUE(runs("Detach_FBody"));
  expectOnlyFractureBody("ZovFractureBody1", 7, 6);
  prepareSimulation("zovSolverNode1", 1, 24);
  for (int f = 2; f <= 5; ++f) frame(f);
}

TEST_F(FractureTools, PiecesWithoutACommonJointStayAndALongNameIsKeptWhole) {
  builtBlock();
  // Opposite corners share no joint: nothing could make a fracture body of
  // them, so nothing leaves the source.
  select({bodyName(0, 0, 0), bodyName(1, 1, 1)});
  zovhost::testing::clearLogs();
  EXPECT_FALSE(runs("Detach_FBody"));
  EXPECT_TRUE(zovhost::testing::hasMessage(MessageKind::Error, "invalid selection"));
  expectOnlyFractureBody("ZovFractureBody", 12, 8);
  for (const std::string& name : block) EXPECT_EQ(bodyNode(name).fractureBodyNode(), &fractureNode()) << name;
  // Nor does a selection that starts with something else.
  select({"zovSolverNode1", bodyName(0, 0, 0)});
  EXPECT_FALSE(runs("Detach_FBody"));
  EXPECT_EQ(fractureNode().numStresses(), 12u);

  const std::string longName = "F" + std::string(300, 'x');
  run("rename ZovFractureBody " + longName);
  select({bodyName(0, 0, 0), bodyName(0, 0, 1)});
  ASSERT_TRUE(runs("Detach_FBody"));
  EXPECT_EQ(nodesOfType("zovFbodyNode"), (std::vector<std::string>{longName, longName + "1"}));
}

// ---- fBody_selStresses and queryZovFBody ------------------------------------------------

TEST_F(FractureTools, TheJointsAroundTwoNeighboursByType) {
  builtBlock();
  const std::set<std::string> pair = {bodyName(0, 0, 0), bodyName(0, 0, 1)};
  const struct {
    const char* flags;
    std::set<std::string> expected;
  } cases[] = {
      {"-t 1", jointNames(pair, false)},
      {"-t 0", jointNames(pair, true)},
      {"", jointNames(pair, true)},
      {"-t 2", {}},
  };
  for (const auto& c : cases) {
    select({bodyName(0, 0, 0), bodyName(0, 0, 1)});
    std::vector<std::string> result;
    ASSERT_TRUE(runs(std::string("fBody_selStresses ") + c.flags, &result)) << c.flags;
    EXPECT_EQ(asSet(result), c.expected) << c.flags;
    EXPECT_EQ(result.size(), c.expected.size()) << c.flags;
  }
  // A lone piece: its three joints.
  select({bodyName(0, 0, 0)});
  std::vector<std::string> result;
  ASSERT_TRUE(runs("fBody_selStresses", &result));
  std::set<std::string> its = jointNames({bodyName(0, 0, 0)}, false);
  EXPECT_EQ(asSet(result), its);
  EXPECT_EQ(result.size(), 3u);

  const struct {
    const char* selection;
    const char* flags;
    const char* error;
  } refusals[] = {
      {"zovSolverNode1", "-t 1", "invalid selection"},
      {"zovSolverNode1", "-ra", "not fracture body selected"},
      {"pieceZovBody000", "-stm", "not fracture body selected"},
      {"pieceZovBody000", "-glb", "not fracture body selected"},
  };
  for (const auto& refusal : refusals) {
    run(std::string("select ") + refusal.selection);
    zovhost::testing::clearLogs();
    EXPECT_FALSE(runs(std::string("fBody_selStresses ") + refusal.flags)) << refusal.flags;
    EXPECT_TRUE(zovhost::testing::hasMessage(MessageKind::Error, refusal.error)) << refusal.flags;
  }
}

TEST_F(FractureTools, TheLastBrokenJointIsToldOnce) {
  builtBlock(5.0);
  const std::string joint = *jointNames({bodyName(0, 0, 0), bodyName(0, 0, 1)}, true).begin();
  run("setAttr " + joint + ".breakByForce 0; getAttr " + joint + ".ca_breakByForce");
  run("setAttr " + joint + ".frameToBreak 3; getAttr " + joint + ".ca_frameToBreak");
  run("setAttr " + joint + ".breakByFrame 1; getAttr " + joint + ".ca_breakByFrame");
  prepareSimulation("zovSolverNode1", 1, 24);
  select({"ZovFractureBody"});
  std::vector<std::string> result;
  ASSERT_TRUE(runs("fBody_selStresses -glb", &result));
  EXPECT_TRUE(result.empty());
  for (int f = 2; f <= 4; ++f) frame(f);
  ASSERT_FALSE(stressNode(joint).getJoint()->isActive());
  ASSERT_TRUE(runs("fBody_selStresses -glb", &result));
  EXPECT_EQ(result, std::vector<std::string>{joint});
  ASSERT_TRUE(runs("fBody_selStresses -glb", &result));
  EXPECT_TRUE(result.empty());
}

TEST_F(FractureTools, ResetAllGivesEveryJointTheThresholdAndSetToMassScalesByTheMasses) {
  builtBlock();
  const std::vector<std::string> all = nodesOfType("zovStressNode");
  for (size_t i = 0; i < all.size(); i += 3) {
    run("setAttr " + all[i] + ".breakEnergy 7; getAttr " + all[i] + ".ca_breakEnergy");
    run("setAttr " + all[i] + ".forceStrenght 3; getAttr " + all[i] + ".ca_forceStrenght");
    run("setAttr " + all[i] + ".breakByFrame 1; getAttr " + all[i] + ".ca_breakByFrame");
  }
  select({"ZovFractureBody"});
  std::vector<std::string> result;
  ASSERT_TRUE(runs("fBody_selStresses -ra", &result));
  EXPECT_TRUE(result.empty());
  for (const std::string& name : all) {
    const DynamicStress& joint = *stressNode(name).getJoint();
    EXPECT_EQ(joint.get_break_tolerance(), kThreshold) << name;
    EXPECT_EQ(joint.getBreakEnergy(), 0.0) << name;
    EXPECT_FALSE(joint.isBreakableByFrame()) << name;
    EXPECT_FALSE(stressNode(name).getBool("breakByFrame")) << name;
  }
  EXPECT_TRUE(fractureNode().breakByFrameJoints().empty());

  // Cube 000 four times as heavy: each joint holds sqrt(its pair's mean mass
  // over the mean over all joints), at most 1, of its strength.
  bodyNode(bodyName(0, 0, 0)).engineBody(false)->setMass(4.0f);
  const double heavyPair = (4.0 + 1.0) / 2, lightPair = 1.0;
  const double mean = (3 * heavyPair + 9 * lightPair) / 12;
  ASSERT_TRUE(runs("fBody_selStresses -stm", &result));
  for (const std::string& name : all) {
    const SceneStress& node = stressNode(name);
    const bool heavy = node.body1Name() == bodyName(0, 0, 0).c_str() || node.body2Name() == bodyName(0, 0, 0).c_str();
    const double scale = std::min(1.0, std::sqrt((heavy ? heavyPair : lightPair) / mean));
    EXPECT_NEAR(node.getJoint()->get_break_tolerance(), kThreshold * scale, 1e-9) << name;
  }
}

TEST_F(FractureTools, QueryGivesThePiecesTransformsClusterPiecesLastAndTheAnimatedParentFlag) {
  ASSERT_NO_FATAL_FAILURE(builtBlockWithCluster(bodyName(0, 1, 0), bodyName(1, 1, 1)));
  std::vector<std::string> result;
  ASSERT_TRUE(runs("queryZovFBody -gtn", &result));
  ASSERT_EQ(result.size(), 8u);
  const std::set<std::string> last = {result[6], result[7]};
  EXPECT_EQ(last, (std::set<std::string>{cubeName(0, 1, 0), cubeName(1, 1, 1)}));
  std::set<std::string> all;
  for (const std::string& name : block) {
    const std::array<int, 3> cell = cellOf(name);
    all.insert(cubeName(cell[0], cell[1], cell[2]));
  }
  EXPECT_EQ(asSet(result), all);

  ASSERT_TRUE(runs("queryZovFBody -ani", &result));
  EXPECT_EQ(result, std::vector<std::string>{"0"});
  zovhost::testing::clearLogs();
  ASSERT_TRUE(runs("queryZovFBody", &result));
  EXPECT_TRUE(result.empty() || result == std::vector<std::string>{""});
  for (const char* selection : {"pieceZovBody000", "zovCluster0"}) {
    run(std::string("select ") + selection);
    zovhost::testing::clearLogs();
    EXPECT_FALSE(runs("queryZovFBody -gtn")) << selection;
    EXPECT_TRUE(zovhost::testing::hasMessage(MessageKind::Error, "not fracture body selected")) << selection;
  }
  run("select -clear");
  EXPECT_FALSE(runs("queryZovFBody -ani"));
}

TEST_F(FractureTools, ABlockUnderAKeyedGroupTellsItsAnimatedParent) {
  block = makeBlock(2, 0.0);
  run("group -n grp piece000 piece001 piece010 piece011 piece100 piece101 piece110 piece111");
  run("setKeyframe -at translateX -t 1 -v 0 grp; setKeyframe -at translateX -t 24 -v 23 grp");
  ASSERT_TRUE(fracture(block));
  select({"ZovFractureBody"});
  std::vector<std::string> result;
  ASSERT_TRUE(runs("queryZovFBody -ani -gtn", &result));
  EXPECT_EQ(result, std::vector<std::string>{"1"});
}

TEST_F(FractureTools, TheToolsThatChangeFractureBodiesStopUndoAtThemselvesAndKeepTheirWork) {
  builtBlock();
  run("setAttr " + nodesOfType("zovStressNode").front() + ".forceStrenght 7");
  // What each tool changes, in words: compared before the tool, after it
  // and after the undo that follows.
  const auto staticPair = [] {
    std::string text;
    for (const std::string& name : {bodyName(1, 1, 0), bodyName(1, 1, 1)})
      text += bodyNode(name).engineBody(false)->isStatic() ? "static " : "moving ";
    return text;
  };
  const auto strengths = [] {
    std::string text;
    for (const std::string& joint : nodesOfType("zovStressNode"))
      text += joint + "=" + std::to_string(getDouble(joint + ".forceStrenght")) + " ";
    return text;
  };
  const auto fractureBodies = [] {
    std::string text;
    for (const std::string& fracture : nodesOfType("zovFbodyNode"))
      text += fracture + ":" + std::to_string(fractureNode(fracture).pieceNodes().size()) + " ";
    for (const std::string& name : {bodyName(0, 0, 0), bodyName(0, 0, 1)})
      text += theWorld->containsBody(bodyNode(name).engineBody(false)) ? "free " : "piece ";
    return text;
  };
  const struct {
    const char* selection;
    const char* command;
    std::function<std::string()> state;
  } commands[] = {
      {"pieceZovBody110 pieceZovBody111", "update_Fbody -stf true", staticPair},
      {"ZovFractureBody", "fBody_selStresses -ra", strengths},
      {"pieceZovBody000 pieceZovBody001", "Detach_FBody", fractureBodies},
      {"ZovFractureBody1", "deleteZovFBody", fractureBodies},
  };
  for (const auto& c : commands) {
    run(std::string("select ") + c.selection);
    const size_t before = zovhost::testing::undoCount();
    const std::string untouched = c.state();
    ASSERT_TRUE(runs(c.command)) << c.command;
    EXPECT_EQ(zovhost::testing::undoCount(), before + 1) << c.command;
    const std::string made = c.state();
    EXPECT_NE(made, untouched) << c.command;
    // Its undo gives nothing back and lets no undo reach the commands before.
    ASSERT_TRUE(runs("undo")) << c.command;
    EXPECT_EQ(zovhost::testing::undoCount(), 0u) << c.command;
    EXPECT_EQ(zovhost::testing::redoCount(), 0u) << c.command;
    EXPECT_EQ(c.state(), made) << c.command;
  }
}

}  // namespace
