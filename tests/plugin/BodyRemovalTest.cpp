#include <maya/MAnimControl.h>

#include <string>
#include <vector>

#include "CommandFixture.h"
#include "testing/HostTesting.h"

namespace {

class BodyRemoval : public CommandTest {
 protected:
  /// Three cubes at heights 10, 20 and 30 made bodies of a new solver, the
  /// range 1 .. 24 played to frame 6.
  static void fallingCubes() {
    zovhost::testing::resetHost();
    run(moduleLoadLine().str());
    run("playbackOptions -min 1 -max 24");
    for (int i = 1; i <= 3; ++i)
      run("polyCube; setAttr pCube" + std::to_string(i) + ".translateY " + std::to_string(10 * i));
    run("zovSolver; getAttr zovSolverNode1.ca_solverParams");
    run("select pCube1 pCube2 pCube3; new_ZOVBody -st 2");
    // The host runs what the commands left for it when idle.
    zovhost::testing::flushIdleQueue();
    for (int f = 1; f <= 6; ++f) frame(f);
  }
  static double height(int cube) { return getDouble("pCube" + std::to_string(cube) + ".translateY"); }
};

TEST_F(BodyRemoval, DeletingABodyAtAnyFrameLeavesNoEngineBodyAndTheOthersGoOn) {
  // What is deleted from the first cube, and whether its body goes: a body
  // that loses only its shape stays with the engine body it made.
  const struct {
    const char* target;
    bool bodyGoes;
  } cases[] = {{"pCubeZovBody1", true}, {"pCube1", true}, {"pCubeZovBody1Shape", false}};
  for (const auto& c : cases) {
    fallingCubes();
    ASSERT_EQ(worldBodies(), 3) << c.target;
    ASSERT_TRUE(runs(std::string("delete ") + c.target)) << c.target;
    zovhost::testing::flushIdleQueue();
    EXPECT_EQ(node("pCubeZovBody1").isNull(), c.bodyGoes) << c.target;
    EXPECT_EQ(worldBodies(), c.bodyGoes ? 2 : 3) << c.target;
    // The others keep falling, frame after frame.
    double previous = height(2);
    for (int f = 7; f <= 12; ++f) {
      frame(f);
      EXPECT_LT(height(2), previous) << c.target << " frame " << f;
      previous = height(2);
    }
    EXPECT_LT(height(3), 30.0) << c.target;
    // Back at the start and undone, the body has its engine body again and
    // falls too.
    frame(1);
    ASSERT_TRUE(runs("undo")) << c.target;
    ASSERT_FALSE(node("pCubeZovBody1").isNull()) << c.target;
    EXPECT_NE(bodyNode("pCubeZovBody1").engineBody(true), nullptr) << c.target;
    EXPECT_EQ(worldBodies(), 3) << c.target;
    for (int f = 2; f <= 6; ++f) frame(f);
    EXPECT_LT(height(1), 10.0) << c.target;
  }
}

TEST_F(BodyRemoval, AnUndoneDeletionMakesTheEngineBodyAgainWhateverLinksTheShape) {
  // A body linked to its shape by the mesh-animation link alone (as scenes of
  // old versions have it): nothing on its way in marks its body output.
  fallingCubes();
  frame(1);
  run("disconnectAttr pCubeZovBody1Shape.outCollisionType pCubeZovBody1.inCollisionType");
  ASSERT_NE(bodyNode("pCubeZovBody1").engineBody(true), nullptr);
  ASSERT_TRUE(runs("delete pCubeZovBody1"));
  EXPECT_EQ(worldBodies(), 2);
  ASSERT_TRUE(runs("undo"));
  EXPECT_NE(bodyNode("pCubeZovBody1").engineBody(true), nullptr);
  EXPECT_EQ(worldBodies(), 3);
}

TEST_F(BodyRemoval, DeletingTheSolverStopsTheSimulationAndItsEndTakesEveryBody) {
  fallingCubes();
  const double stopped = height(2);
  ASSERT_TRUE(runs("delete zovSolverNode1"));
  frame(7);
  EXPECT_DOUBLE_EQ(height(2), stopped);
  // Undone, the solver goes on where it stood.
  ASSERT_TRUE(runs("undo"));
  frame(7);
  EXPECT_LT(height(2), stopped);
  // Deleted for good (nothing left to undo), it takes its bodies and the
  // world with it.
  ASSERT_TRUE(runs("delete zovSolverNode1"));
  run("undoInfo -flush");
  EXPECT_EQ(theWorld, nullptr);
  EXPECT_TRUE(nodesOfType("zovRigidBody").empty());
  frame(8);
}

}  // namespace
