#include <maya/MAnimControl.h>

#include <cmath>
#include <string>
#include <vector>

#include "CommandFixture.h"
#include "src/simulation/rigidBodyCmd.h"
#include "testing/HostTesting.h"

namespace {

using namespace zovhost::testing;

/// The solver's gravity setting is single precision.
constexpr double kGravity = static_cast<double>(9.81f);
constexpr double kFrameSeconds = 1.0 / 24.0;

/// Height at a frame of an undamped fall from `top` that starts at frame 1.
double fallen(double top, int frame) {
  const double t = (frame - 1) * kFrameSeconds;
  return top - 0.5 * kGravity * t * t;
}

class BodyCommands : public CommandTest {
 protected:
  /// Two cubes at heights 10 and 20 and the range 1 .. 24, as a user starts.
  void SetUp() override {
    CommandTest::SetUp();
    run("playbackOptions -min 1 -max 24");
    run("polyCube; polyCube");
    run("setAttr pCube1.translateY 10; setAttr pCube2.translateY 20");
  }
  /// The solver's settings in the world, as the user interface has them.
  static void solverReady() {
    run("zovSolver");
    run("getAttr zovSolverNode1.ca_solverParams");
  }
  /// Plays the range frame by frame from its start.
  static void playTo(int last) {
    for (int f = 1; f <= last; ++f) frame(f);
  }
};

TEST_F(BodyCommands, ASelectedMeshBecomesABodyWiredToTheSolverAndToTime) {
  std::vector<std::string> result;
  ASSERT_TRUE(runs("zovSolver", &result));
  EXPECT_EQ(result, std::vector<std::string>{"zovSolverNode1"});
  EXPECT_TRUE(feeds("time1.outTime", "zovSolverNode1.inTime"));
  // The caches hold the whole range.
  EXPECT_EQ(getDouble("zovSolverNode1.cacheSize"), 24.0);
  run("getAttr zovSolverNode1.ca_solverParams");

  run("select pCube1");
  ASSERT_TRUE(runs("new_ZOVBody", &result));
  EXPECT_EQ(result, std::vector<std::string>{"pCubeZovBody1"});
  EXPECT_EQ(nodesOfType("zovCollisionShape"), std::vector<std::string>{"pCubeZovBody1Shape"});
  EXPECT_TRUE(feeds("pCubeShape1.worldMesh[0]", "pCubeZovBody1Shape.inShape"));
  EXPECT_TRUE(feeds("zovSolverNode1.rigidBodies", "pCubeZovBody1.solver"));
  EXPECT_TRUE(feeds("zovSolverNode1.inTime", "pCubeZovBody1.inTimeRbd"));
  EXPECT_TRUE(feeds("pCubeZovBody1Shape.outCollisionType", "pCubeZovBody1.inCollisionType"));
  // The body stands under the cube's transform, in the world at once.
  MDagPath path;
  ASSERT_TRUE(MDagPath::getAPathTo(node("pCubeZovBody1"), path));
  EXPECT_EQ(path.fullPathName(), MString("|pCube1|pCubeZovBody1"));
  EXPECT_EQ(worldBodies(), 1);
  EXPECT_EQ(bodyNode("pCubeZovBody1").frameCacheCapacity(), 24u);

  // Played, it falls freely (no damping, pulled as the attribute editor
  // does), as the user's range plays it.
  run("setAttr pCubeZovBody1.linearDamping 0; getAttr pCubeZovBody1.ca_rigidBodyParam");
  playTo(12);
  EXPECT_NEAR(getDouble("pCube1.translateY"), fallen(10.0, 12), 1e-4);
  const double played = getDouble("pCube1.translateY");

  // Back at the start, undo takes the nodes and the engine body away; redo
  // makes them again and they fall the same way.
  frame(1);
  ASSERT_TRUE(runs("undo"));
  EXPECT_TRUE(nodesOfType("zovRigidBody").empty());
  EXPECT_TRUE(nodesOfType("zovCollisionShape").empty());
  EXPECT_EQ(worldBodies(), 0);
  ASSERT_TRUE(runs("redo"));
  EXPECT_EQ(nodesOfType("zovRigidBody"), std::vector<std::string>{"pCubeZovBody1"});
  EXPECT_EQ(worldBodies(), 1);
  run("setAttr pCubeZovBody1.linearDamping 0; getAttr pCubeZovBody1.ca_rigidBodyParam");
  playTo(12);
  EXPECT_DOUBLE_EQ(getDouble("pCube1.translateY"), played);
}

TEST_F(BodyCommands, OneSolverIsMadeAndItsFlagsActOnIt) {
  // A first call with the report flag makes the solver and switches the report on.
  std::vector<std::string> result;
  ASSERT_TRUE(runs("zovSolver -rc true", &result));
  EXPECT_EQ(result, std::vector<std::string>{"repport collisions enabled"});
  ASSERT_NE(theWorld, nullptr);
  EXPECT_TRUE(theWorld->isRepportCollisionsActive());
  ASSERT_TRUE(runs("zovSolver -repportCollisions false", &result));
  EXPECT_EQ(result, std::vector<std::string>{"repport collisions disabled"});
  EXPECT_FALSE(theWorld->isRepportCollisionsActive());
  ASSERT_TRUE(runs("zovSolver", &result));
  EXPECT_EQ(result, std::vector<std::string>{"zovSolverNode1"});
  EXPECT_TRUE(runs("zovSolver -cac"));
  EXPECT_EQ(nodesOfType("zovSolverNode"), std::vector<std::string>{"zovSolverNode1"});
  // A flag given a word is refused before anything happens.
  EXPECT_FALSE(runs("zovSolver -rc maybe"));

  // Connecting the dynamics again links time once more, and the bodies'
  // pivot helpers to their transforms' pivots.
  run("select pCube1; new_ZOVBody");
  run("disconnectAttr time1.outTime zovSolverNode1.inTime");
  run("disconnectAttr pCubeZovBody1.keysTX pCube1.rotatePivotX");
  run("setAttr pCube1.rotatePivotX 2");
  ASSERT_TRUE(runs("zovSolver -con"));
  EXPECT_TRUE(feeds("time1.outTime", "zovSolverNode1.inTime"));
  EXPECT_DOUBLE_EQ(getDouble("pCubeZovBody1.keysTX"), 2.0);
  EXPECT_TRUE(feeds("pCubeZovBody1.keysTX", "pCube1.rotatePivotX"));
}

TEST_F(BodyCommands, WithoutATimeNodeNoSolverIsLeftBehind) {
  ASSERT_TRUE(zovhost::testing::removeNode("time1"));
  zovhost::testing::clearLogs();
  EXPECT_FALSE(runs("zovSolver"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "can not find time node"));
  EXPECT_TRUE(nodesOfType("zovSolverNode").empty());
  // Nothing waits to be undone either.
  EXPECT_EQ(zovhost::testing::undoCount(), 0u);
}

TEST_F(BodyCommands, ASecondRunUpdatesTheBodyUnlessMultipleBodiesAreAsked) {
  solverReady();
  run("select pCube1");
  run("new_ZOVBody");
  std::vector<std::string> result;
  // The update takes the new settings: passive, of the "Mesh" type.
  ASSERT_TRUE(runs("new_ZOVBody -a 1 -st 3", &result));
  EXPECT_EQ(result, std::vector<std::string>{"pCubeZovBody1"});
  EXPECT_EQ(nodesOfType("zovRigidBody").size(), 1u);
  EXPECT_EQ(getDouble("pCubeZovBody1Shape.type"), 3.0);
  EXPECT_EQ(getDouble("pCubeZovBody1.passive"), 1.0);
  HardBody* body = bodyNode("pCubeZovBody1").engineBody(true);
  ASSERT_NE(body, nullptr);
  EXPECT_TRUE(body->isStatic());
  // The mass is the cube's volume again.
  EXPECT_NEAR(getDouble("pCubeZovBody1.mass"), 1.0, 1e-9);
  EXPECT_EQ(worldBodies(), 1);

  ASSERT_TRUE(runs("new_ZOVBody -mul true", &result));
  EXPECT_EQ(result, std::vector<std::string>{"pCubeZovBody2"});
  EXPECT_EQ(nodesOfType("zovRigidBody"), (std::vector<std::string>{"pCubeZovBody1", "pCubeZovBody2"}));
  EXPECT_EQ(worldBodies(), 2);

  // Both cubes at once, the first updated and the second made (under the
  // next free name).
  ASSERT_TRUE(runs("new_ZOVBody pCube1 pCube2", &result));
  EXPECT_EQ(result, (std::vector<std::string>{"pCubeZovBody1", "pCubeZovBody3"}));
  EXPECT_EQ(nodesOfType("zovRigidBody").size(), 3u);
}

TEST_F(BodyCommands, WrongSelectionsGiveTheirMessagesAndMakeNothing) {
  // Each case: set-up lines, the command, the message it must give.
  const RefusedCommand cases[] = {
      {"no solver", {}, "new_ZOVBody pCube1", MessageKind::Error, "ZOV INFO: no zov solver found, abort"},
      {"nothing selected", {"zovSolver", "select -cl"}, "new_ZOVBody", MessageKind::Error, "invalid selection"},
      {"a NURBS surface",
       {"zovSolver", "createNode nurbsSurface -n plateShape"},
       "new_ZOVBody surface1",
       MessageKind::Info,
       " ZOV doesnt work on NURBS, convert it to poly."},
      {"a NURBS surface",
       {"zovSolver", "createNode nurbsSurface -n plateShape"},
       "new_ZOVBody surface1",
       MessageKind::Info,
       " Select one or more polygonal objects( not instances)."},
      {"a light-less transform",
       {"zovSolver", "createNode transform -n empty"},
       "new_ZOVBody empty",
       MessageKind::Info,
       " Select one or more polygonal objects( not instances)."},
      {"an instance",
       {"zovSolver", "group -em -n other", "parent -add -s pCubeShape1 other"},
       "new_ZOVBody pCube1",
       MessageKind::Error,
       "Object pCube1|pCubeShape1 is an instance, convert it to object( Modify->convert->instance to object)"},
      {"the host's rigid body",
       {"zovSolver", "createNode rigidBody -p pCube1"},
       "new_ZOVBody pCube1",
       MessageKind::Info,
       " Select one or more polygonal objects( not instances)."},
      {"a mesh played back from a cache",
       {"zovSolver", "disconnectAttr polyCube1.output pCubeShape1.inMesh", "createNode meshCache -n cache",
        "connectAttr pCubeShape1.worldMesh[0] cache.inMesh"},
       "new_ZOVBody pCube1",
       MessageKind::Info,
       " Select one or more polygonal objects( not instances)."},
      {"time disconnected",
       {"zovSolver", "disconnectAttr time1.outTime zovSolverNode1.inTime"},
       "new_ZOVBody pCube1",
       MessageKind::Error,
       "ZOV INFO: cannot create rigid body because zov solver is disabled"},
  };
  for (const RefusedCommand& c : cases) {
    expectRefused(c, "polyCube; polyCube");
    EXPECT_TRUE(nodesOfType("zovRigidBody").empty()) << c.name;
    EXPECT_EQ(worldBodies(), 0) << c.name;
  }
  // Without time the user is also told how to have the dynamics back.
  zovhost::testing::flushIdleQueue();
  EXPECT_TRUE(ranLine("confirmDialog -title \"Zov Info\""));
}

TEST_F(BodyCommands, TheBodyNameTakesZovBodyBeforeTheTrailingDigits) {
  const std::pair<const char*, const char*> names[] = {
      {"pCube12", "pCubeZovBody12"}, {"box", "boxZovBody"}, {"123", "ZovBody123"}, {"a1b2", "a1bZovBody2"}};
  for (const auto& [transform, body] : names) EXPECT_EQ(rigidBodyNameFor(transform), MString(body)) << transform;
}

TEST_F(BodyCommands, TheListCommandTakesBodiesOutOfTheSimulationAndBack) {
  solverReady();
  run("select pCube1 pCube2; new_ZOVBody");
  ASSERT_EQ(worldBodies(), 2);
  ASSERT_TRUE(runs("ManageZovListCmd pCubeZovBody1 pCube2 time1"));
  EXPECT_EQ(worldBodies(), 1);
  EXPECT_FALSE(bodyNode("pCubeZovBody1").isEnabled());
  // Taking it out again changes nothing.
  ASSERT_TRUE(runs("ManageZovListCmd -add false pCubeZovBody1"));
  EXPECT_EQ(worldBodies(), 1);
  ASSERT_TRUE(runs("ManageZovListCmd -add true pCubeZovBody1"));
  EXPECT_EQ(worldBodies(), 2);

  // The solver is found by its name alone.
  run("rename zovSolverNode1 mySolver");
  zovhost::testing::clearLogs();
  EXPECT_FALSE(runs("ManageZovListCmd pCubeZovBody1"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "no ZOV solver found"));
  EXPECT_EQ(worldBodies(), 2);
}

}  // namespace
