// Undo and redo across the module's commands: a command whose work the
// host's undo cannot give back stops every undo at itself (its undo empties
// the undo queue), the others are taken back and done again; after every
// step the scene's nodes and the engine world describe the same bodies.
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlug.h>
#include <maya/MPointArray.h>
#include <maya/MSelectionList.h>
#include <maya/MStringArray.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "FractureFixture.h"
#include "SceneWorldWalk.h"
#include "engine/PrivateWorld.h"
#include "engine/bodies/PrivateHardBody.h"
#include "src/fracture/clusterFractureNode.h"
#include "src/nodeLinks.h"
#include "src/shatter/shatterLocatorNode.h"
#include "src/simulation/rigidBodyNode.h"
#include "support/HostLookups.h"
#include "testing/HostTesting.h"

namespace {

using namespace zovhost::testing;

using zovtest::nodesOfType;

template <typename Node>
Node& userNodeNamed(const std::string& name) {
  return *userNodeOf<Node>(zovtest::nodeNamed(name));
}

/// What the nodes and the world disagree on, one line each; empty when they
/// agree. A body node brought back by an undo makes its engine body when the
/// solver next reads it: the linked ones are read first, as a frame would.
std::vector<std::string> disagreements(const SceneWalkOptions& options = {}) {
  for (const std::string& name : nodesOfType("zovRigidBody")) {
    rigidBodyNode& rigid = userNodeNamed<rigidBodyNode>(name);
    if (MPlug(rigid.thisMObject(), rigidBodyNode::solver).isConnected()) rigid.pullAll();
  }
  return walkSceneAgainstWorld(options);
}

/// One line of a user's session, and what of its work must outlive an
/// undo, in words (empty: it is taken back like any host command).
struct Step {
  const char* line;
  std::function<std::string()> work;
};

std::string namesOf(const std::string& type) {
  std::string text;
  for (const std::string& name : nodesOfType(type)) text += name + " ";
  return text;
}

std::string shatterWork() { return namesOf("transform") + "| " + namesOf("mesh") + "| " + namesOf("zovVoronoiNode"); }
std::string fractureWork() {
  return namesOf("zovFbodyNode") + "| " + namesOf("zovStressNode") + "| " + namesOf("ClusterZovNode");
}
std::string previewWork() {
  std::string text;
  const MPointArray& points = userNodeNamed<ShatterLocatorNode>("cubePreview").settings.pointsA;
  for (unsigned int i = 0; i < points.length(); ++i)
    text += std::to_string(points[i].x) + "," + std::to_string(points[i].y) + "," + std::to_string(points[i].z) + " ";
  return text;
}
std::string strengthWork() {
  std::string text;
  for (const std::string& joint : nodesOfType("zovStressNode")) {
    double strength = 0.0;
    MGlobal::executeCommand(("getAttr " + joint + ".forceStrenght").c_str(), strength);
    text += std::to_string(strength) + " ";
  }
  return text + "| " + fractureWork();
}
std::string staticWork() {
  std::string text;
  for (const std::string& name : nodesOfType("zovRigidBody"))
    if (HardBody* body = userNodeNamed<rigidBodyNode>(name).engineBody(false)) text += body->isStatic() ? "s" : "d";
  return text + "| " + fractureWork();
}

class CommandUndo : public FractureTest {
 protected:
  /// A shattered cube whose shards are one fracture body with a cluster,
  /// then changed by each fracture tool; a second cube shattered alike.
  static std::vector<Step> session() {
    return {
        {"polyCube -w 2 -h 2 -d 2 -n cube; setAttr cube.translateY 3", nullptr},
        {"createNode ShatterLocator -n cubePreview -p cube", nullptr},
        {"zovShatterPreview -dp -ns 6 -sed 7 cubeShape", previewWork},
        {"zovShatter -ns 6 -sed 7 cube", shatterWork},
        {"select `ls \"cube_shard?\"`; new_ZOVBody -st 2", nullptr},
        {"select `ls -type zovRigidBody`; zovFractureBody -dTh 0.05", fractureWork},
        {"select cube_shardZovBody1 cube_shardZovBody2; zovCluster -as", fractureWork},
        {"select cube_shardZovBody3; update_Fbody -stf true", staticWork},
        {"setAttr str_cube_shardZovBody2_cube_shardZovBody1.forceStrenght 7", nullptr},
        {"select ZovFractureBody; fBody_selStresses -ra", strengthWork},
        {"select cube_shardZovBody6; Detach_FBody", staticWork},
        {"polyCube -w 2 -h 2 -d 2 -n other; setAttr other.translateX 5", nullptr},
        {"zovAdqShatter -reo zovVoronoiNode1 other", shatterWork},
        {"zovJagginess -com other_shard1", shatterWork},
        {"select ZovFractureBody; deleteZovFBody", staticWork},
    };
  }

  /// Runs a user's line; the idle queue runs after it, as the host runs it.
  static void user(const std::string& line) {
    ASSERT_TRUE(runs(line)) << line;
    zovhost::testing::flushIdleQueue();
  }

  /// Undoes until nothing is left to undo; answers the number of steps.
  /// No undo may leave the nodes and the world disagreeing where they
  /// agreed before it.
  static int undoAll(const std::string& context) {
    int steps = 0;
    while (zovhost::testing::undoCount() > 0 && steps < 100) {
      MString name;
      MGlobal::executeCommand("undoInfo -q -un", name);
      const std::vector<std::string> before = disagreements();
      EXPECT_TRUE(runs("undo")) << context;
      zovhost::testing::flushIdleQueue();
      ++steps;
      for (const std::string& problem : disagreements())
        if (std::find(before.begin(), before.end(), problem) == before.end())
          ADD_FAILURE() << context << ", undo of " << name.asChar() << ": " << problem;
    }
    return steps;
  }
};

TEST_F(CommandUndo, UndoAfterAShatterLeavesTheSourceAndItsShards) {
  user("polyCube -w 2 -h 2 -d 2 -n cube");
  user("zovShatter -ns 6 -sed 7 cube");
  const std::string shattered = shatterWork();
  ASSERT_NE(shattered.find("cube_shard6 "), std::string::npos) << shattered;
  ASSERT_TRUE(runs("undo"));
  zovhost::testing::flushIdleQueue();
  EXPECT_TRUE(disagreements().empty());
  // The source is still under its shards, the record still reads it, and no
  // further undo can take it away.
  EXPECT_EQ(shatterWork(), shattered);
  EXPECT_FALSE(node("cubeShape").isNull());
  EXPECT_TRUE(feeds("cubeShape.worldMesh[0]", "zovVoronoiNode1.inShape"));
  zovhost::testing::clearLogs();
  runs("undo");
  runs("redo");
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "There are no more commands to undo."));
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "There are no more commands to redo."));
  EXPECT_EQ(shatterWork(), shattered);
  EXPECT_FALSE(node("cube").isNull());
}

TEST_F(CommandUndo, NoUndoReachesPastACommandWhoseWorkItCannotGiveBack) {
  const std::vector<Step> steps = session();
  for (size_t last = 0; last < steps.size(); ++last) {
    if (!steps[last].work) continue;
    SetUp();
    for (size_t i = 0; i < last; ++i) user(steps[i].line);
    const std::string before = steps[last].work();
    user(steps[last].line);
    const std::string made = steps[last].work();
    EXPECT_NE(made, before) << steps[last].line;
    const int undone = undoAll(steps[last].line);
    // The command's own undo was the last: it emptied the queue.
    EXPECT_EQ(undone, 1) << steps[last].line;
    EXPECT_EQ(zovhost::testing::redoCount(), 0u) << steps[last].line;
    EXPECT_EQ(steps[last].work(), made) << steps[last].line;
  }
}

TEST_F(CommandUndo, UndoOfTheBodyCommandsBeforeAnyFractureLeavesNodesAndWorldAgreeing) {
  // Everything before the first command that stops undo, undone and redone
  // line by line.
  user("polyCube -w 2 -h 2 -d 2 -n cube; setAttr cube.translateY 3");
  user("polyCube -n slab -w 6 -h 1 -d 6; setAttr slab.translateY -0.5");
  user("select cube; new_ZOVBody -st 2");
  user("select slab; new_ZOVBody -st 2 -a 1");
  user("select cubeZovBody; ManageZovListCmd -add 0");
  user("deleteUserNode slabZovBody");
  user("polyCube -n hammer; setAttr hammer.translateY 6; select hammer; zovCracker");
  ASSERT_TRUE(disagreements().empty());
  const auto crackers = [] { return static_cast<PrivateWorld*>(theWorld)->getCrackerBodies().getCount(); };
  ASSERT_EQ(crackers(), 1u);
  const int undone = undoAll("body commands");
  EXPECT_GE(undone, 7);
  for (int i = 0; i < undone; ++i) {
    ASSERT_TRUE(runs("redo"));
    zovhost::testing::flushIdleQueue();
    for (const std::string& problem : disagreements()) ADD_FAILURE() << "redo " << i << ": " << problem;
  }
  EXPECT_TRUE(node("slabZovBody").isNull());
  EXPECT_EQ(getDouble("cubeZovBody.enabled"), 0.0);
  EXPECT_EQ(crackers(), 1u);
}

TEST_F(CommandUndo, TheListCommandAndTheNodeDeletionAreTakenBackAndDoneAgain) {
  user("polyCube -n boxA; setAttr boxA.translateY 2; polyCube -n boxB; setAttr boxB.translateY 4");
  user("select boxA boxB; new_ZOVBody -st 2");
  const int bodies = worldBodies();
  ASSERT_EQ(bodies, 2);
  const struct {
    const char* line;
    int bodiesAfter;
  } cases[] = {
      {"select boxAZovBody; ManageZovListCmd -add 0", 1},
      {"select boxAZovBody boxBZovBody; ManageZovListCmd -add 1", 2},
      {"deleteUserNode boxBZovBody boxBZovBodyShape", 1},
  };
  for (const auto& c : cases) {
    const int before = worldBodies();
    user(c.line);
    EXPECT_EQ(worldBodies(), c.bodiesAfter) << c.line;
    ASSERT_TRUE(runs("undo")) << c.line;
    EXPECT_TRUE(disagreements().empty()) << c.line;
    EXPECT_EQ(worldBodies(), before) << c.line;
    ASSERT_TRUE(runs("redo")) << c.line;
    EXPECT_TRUE(disagreements().empty()) << c.line;
    EXPECT_EQ(worldBodies(), c.bodiesAfter) << c.line;
  }
}

// Each node deleteUserNode names goes in turn, and each one left is told
// of: not one an earlier node took along (a transform's shape, a fracture
// body's cluster), and a transform that holds a locked node deeper down by
// that node's name. Undo gives the scene back, redo takes it again.
TEST_F(CommandUndo, DeleteUserNodeTellsOfEachNodeItLeavesAndNotOfOnesTakenAlong) {
  const std::vector<std::string> boxA{"boxA", "boxAShape", "boxAZovBody"};
  const std::vector<std::string> fracture{"ZovFractureBody", "zovCluster0"};
  const struct {
    const char* line;
    /// What goes besides the fracture body's joint nodes, which go with it.
    std::vector<std::string> gone;
    std::vector<std::string> warnings;
  } cases[] = {
      {"deleteUserNode boxA boxAShape", boxA, {}},
      {"deleteUserNode boxAShape boxA", boxA, {}},
      {"deleteUserNode ZovFractureBody zovCluster0", fracture, {}},
      {"deleteUserNode zovCluster0 ZovFractureBody", fracture, {}},
      {"deleteUserNode pile boxA",
       boxA,
       {"deleteUserNode: pile has the locked node boxBZovBody below it, it is left as it is"}},
  };
  // The nodes in the scene's order, each with its lock.
  const auto scene = [] {
    std::vector<std::string> nodes = nodesOfType("dependNode");
    for (std::string& name : nodes)
      if (MFnDependencyNode(node(name)).isLocked()) name += " locked";
    return nodes;
  };
  const std::vector<Step> steps = session();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    SetUp();
    for (size_t i = 0; i < 7; ++i) user(steps[i].line);
    user("polyCube -n boxA; setAttr boxA.translate 4 1 0; polyCube -n boxB; setAttr boxB.translate 6 1 0");
    user("select boxA boxB; new_ZOVBody -st 2; group -n pile boxA boxB; lockNode boxBZovBody");
    const std::vector<std::string> before = scene();
    std::vector<std::string> gone = c.gone;
    if (c.gone == fracture)
      for (const std::string& joint : nodesOfType("zovStressNode")) gone.push_back(joint);
    std::vector<std::string> after;
    for (const std::string& name : nodesOfType("dependNode"))
      if (std::find(gone.begin(), gone.end(), name) == gone.end()) after.push_back(name);
    clearLogs();
    EXPECT_TRUE(runs(c.line));
    std::vector<std::string> printed;
    for (const Message& message : messages())
      if (message.kind != MessageKind::Result) printed.push_back(message.text);
    EXPECT_EQ(printed, c.warnings);
    EXPECT_EQ(nodesOfType("dependNode"), after);
    EXPECT_EQ(disagreements(), std::vector<std::string>());
    ASSERT_TRUE(runs("undo"));
    EXPECT_EQ(scene(), before);
    EXPECT_EQ(disagreements({true}), std::vector<std::string>());
    ASSERT_TRUE(runs("redo"));
    EXPECT_EQ(nodesOfType("dependNode"), after);
    EXPECT_EQ(disagreements(), std::vector<std::string>());
  }
}

}  // namespace
