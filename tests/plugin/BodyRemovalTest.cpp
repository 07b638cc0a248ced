#include <maya/MAnimControl.h>

#include <string>
#include <vector>

#include "CommandFixture.h"
#include "testing/HostTesting.h"

namespace {

/// The solver's default gravity, a single-precision setting.
constexpr double kGravity = static_cast<double>(9.81f);

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

TEST_F(BodyRemoval, ABodyDeletedMidPlayAndBroughtBackFallsOnFromWhereItWas) {
  // The body node alone, or the cube's transform with it.
  for (const char* target : {"pCubeZovBody1", "pCube1"}) {
    fallingCubes();
    run("setAttr pCubeZovBody1.linearDamping 0; getAttr pCubeZovBody1.ca_rigidBodyParam");
    std::vector<double> firstFall;
    for (int f = 1; f <= 6; ++f) {
      frame(f);
      firstFall.push_back(height(1));
    }
    const double hanging = height(1);
    ASSERT_TRUE(runs(std::string("delete ") + target)) << target;
    frame(7);
    ASSERT_TRUE(runs("undo")) << target;
    EXPECT_DOUBLE_EQ(height(1), hanging) << target;
    // From rest at the height it hung at, frame after frame: a fall from there.
    std::vector<double> secondFall(13);
    for (int f = 8; f <= 12; ++f) {
      frame(f);
      const double t = (f - 7) / 24.0;
      secondFall[f] = height(1);
      EXPECT_NEAR(secondFall[f], hanging - 0.5 * kGravity * t * t, 1e-6) << target << " frame " << f;
    }
    EXPECT_EQ(worldBodies(), 3) << target;
    // Scrubbing back plays what was recorded (in single precision), the
    // frames it was gone included.
    for (int f : {10, 7, 9}) {
      frame(f);
      EXPECT_NEAR(height(1), f == 7 ? hanging : secondFall[f], 1e-5) << target << " frame " << f;
    }
    // Its start is where it started: every replay falls from there again.
    for (int f = 1; f <= 6; ++f) {
      frame(f);
      EXPECT_DOUBLE_EQ(height(1), firstFall[f - 1]) << target << " frame " << f;
    }
  }
}

// A turned box thrown from y 2 onto a ground, deleted once it has fallen:
// however the deletion is undone and redone, and wherever the time stands
// between, the box it gives back starts as it started (pose and initial
// motion) and plays as it first did.
TEST_F(BodyRemoval, ABodyDeletedMidPlayComesBackWithItsStartThroughRedoAndRewind) {
  const struct {
    const char* what;
    std::vector<std::string> lines;
  } cases[] = {
      {"undone, redone and undone", {"delete boxZovBody", "undo", "redo", "undo"}},
      {"undone after a rewind", {"delete boxZovBody", "currentTime 1", "undo"}},
      {"the transform, undone after a rewind", {"delete box", "currentTime 1", "undo"}},
      {"undone, redone after a rewind and undone", {"delete boxZovBody", "undo", "currentTime 1", "redo", "undo"}},
  };
  // The box's pose at each frame, from a rewind to the first.
  const auto play = [] {
    std::vector<double> poses;
    for (int f = 1; f <= 24; ++f) {
      frame(f);
      for (const char* channel : {".translateX", ".translateY", ".translateZ", ".rotateX", ".rotateY", ".rotateZ"})
        poses.push_back(getDouble(std::string("box") + channel));
    }
    return poses;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    zovhost::testing::resetHost();
    run(moduleLoadLine().str());
    run("playbackOptions -min 1 -max 24; zovSolver; getAttr zovSolverNode1.ca_solverParams; "
        "setAttr zovSolverNode1.cacheActive 0; getAttr zovSolverNode1.ca_cacheSize");
    run("polyCube -n ground -w 8 -h 1 -d 8; setAttr ground.translateY -0.5; select ground; new_ZOVBody -st 2 -a 1");
    run("polyCube -n box; setAttr box.translateY 2; setAttr box.rotate 20 0 15; select box; new_ZOVBody -st 2");
    run("setAttr boxZovBody.initialVelocity 0.5 0 0; getAttr boxZovBody.ca_initialVelocity");
    run("setAttr boxZovBody.initialSpin 0 2 0; getAttr boxZovBody.ca_initialSpin");
    zovhost::testing::flushIdleQueue();
    const std::vector<double> untouched = play();
    ASSERT_EQ(untouched[1], 2.0);
    for (int f = 1; f <= 16; ++f) frame(f);
    ASSERT_LT(getDouble("box.translateY"), 1.0);
    for (const std::string& line : c.lines) ASSERT_TRUE(runs(line)) << line;
    const std::vector<double> replay = play();
    ASSERT_EQ(replay.size(), untouched.size());
    for (size_t k = 0; k < replay.size(); ++k)
      EXPECT_NEAR(replay[k], untouched[k], 1e-9) << "frame " << k / 6 + 1 << ", value " << k % 6;
  }
}

TEST_F(BodyRemoval, TenCreationsUndoneAndRedonePlayAsWithoutTheUndo) {
  const std::vector<std::string> lines = {"polyCube -w 8 -h 1 -d 8 -n slab",
                                          "setAttr slab.translateY -0.5",
                                          "polyCube -n boxA",
                                          "setAttr boxA.translateY 2",
                                          "polyCube -n boxB",
                                          "setAttr boxB.translate 0.3 4 0; setAttr boxB.rotate 30 0 20",
                                          "zovSolver",
                                          "select slab",
                                          "new_ZOVBody -a 1 -st 2",
                                          "select boxA boxB",
                                          "new_ZOVBody -st 2"};
  std::vector<double> poses[2];
  for (int pass = 0; pass < 2; ++pass) {
    zovhost::testing::resetHost();
    run(moduleLoadLine().str());
    run("playbackOptions -min 1 -max 24");
    for (const std::string& line : lines) ASSERT_TRUE(runs(line)) << line;
    if (pass == 1) {
      for (int i = 0; i < 10; ++i) ASSERT_TRUE(runs("undo")) << i;
      EXPECT_TRUE(nodesOfType("zovRigidBody").empty());
      for (int i = 0; i < 10; ++i) ASSERT_TRUE(runs("redo")) << i;
    }
    zovhost::testing::flushIdleQueue();
    ASSERT_EQ(worldBodies(), 3) << pass;
    for (const char* body : {"slabZovBody", "boxAZovBody", "boxBZovBody"})
      EXPECT_NE(bodyNode(body).engineBody(false), nullptr) << body << " pass " << pass;
    for (int f = 1; f <= 24; ++f) {
      frame(f);
      for (const char* box : {"boxA", "boxB"})
        for (const char* channel : {".translateX", ".translateY", ".translateZ", ".rotateX", ".rotateY", ".rotateZ"})
          poses[pass].push_back(getDouble(std::string(box) + channel));
    }
  }
  ASSERT_EQ(poses[0].size(), poses[1].size());
  for (size_t i = 0; i < poses[0].size(); ++i) EXPECT_NEAR(poses[1][i], poses[0][i], 1e-9) << i;
  // And they did move: boxA fell onto the slab.
  EXPECT_NEAR(getDouble("boxA.translateY"), 0.5, 0.01);
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
