#include <maya/MSceneMessage.h>

#include <string>
#include <vector>

#include "BodyFixture.h"
#include "engine/bodies/BarrierBody.h"

namespace {

using namespace zovhost::testing;

constexpr double kTolerance = 1e-5;
/// The settings' gravity is single precision.
const double kG = static_cast<double>(-9.81f);

class Solver : public BodyTest {
 protected:
  static void pull(const std::string& plug) { run("getAttr " + plug); }

  static bool ran(const std::string& line) {
    for (const auto& command : zovhost::testing::commands())
      if (command.line == line) return true;
    return false;
  }
};

TEST_F(Solver, GravityIsTheSettingsOnceTheyArePulled) {
  struct Case {
    bool fitUnits;
    const char* gravity;
    bool enabled;
    MVector expected;
  };
  const Case cases[] = {
      {false, nullptr, true, {0, kG, 0}},
      {true, nullptr, true, {0, 4 * kG, 0}},
      {true, "1 2 -3", true, {4, 8, -12}},
      {false, "0 -1 0", false, {0, -1, 0}},
  };
  for (const Case& c : cases) {
    zovhost::testing::resetScene();
    const std::string solver = makeSolver();
    ASSERT_NE(theWorld, nullptr);
    EXPECT_EQ(theWorld->GetGravity(), Mgc::MgcVector3(0, -40, 0));
    run("setAttr " + solver + ".fitUnitsToMayaScale " + (c.fitUnits ? "1" : "0"));
    run("setAttr " + solver + ".gravityEnabled " + (c.enabled ? "1" : "0"));
    if (c.gravity) setVector(solver + ".gravity", c.gravity);
    pull(solver + ".ca_solverParams");
    const Mgc::MgcVector3 g = theWorld->GetGravity();
    for (unsigned int k = 0; k < 3; ++k) EXPECT_NEAR(g[k], c.expected[k], kTolerance) << c.gravity;
    EXPECT_EQ(theWorld->isGravityActive(), c.enabled);
    EXPECT_TRUE(theWorld->isBodyDeactivationEnabled());
  }
}

// After the first push, each later change of a setting reaches the world at
// the next pull of the settings' twin, one setting at a time.
TEST_F(Solver, EachChangedSettingReachesTheWorldAtTheNextPull) {
  struct Step {
    const char* attribute;
    const char* value;
    MVector gravity;
    bool enabled;
  };
  const Step steps[] = {
      {"gravityEnabled", "0", {0, kG, 0}, false},     {"fitUnitsToMayaScale", "1", {0, 4 * kG, 0}, false},
      {"gravity", "1 2 -3", {4, 8, -12}, false},      {"gravityEnabled", "1", {4, 8, -12}, true},
      {"fitUnitsToMayaScale", "0", {1, 2, -3}, true}, {"gravity", "0 0 -2", {0, 0, -2}, true},
  };
  const std::string solver = makeSolver();
  run("setAttr " + solver + ".fitUnitsToMayaScale 0");
  run("setAttr " + solver + ".gravityEnabled 1");
  pull(solver + ".ca_solverParams");
  ASSERT_NEAR(theWorld->GetGravity().y, kG, kTolerance);
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.attribute) + " " + step.value);
    if (std::string(step.attribute) == "gravity")
      setVector(solver + ".gravity", step.value);
    else
      run("setAttr " + solver + "." + step.attribute + " " + step.value);
    pull(solver + ".ca_solverParams");
    const Mgc::MgcVector3 g = theWorld->GetGravity();
    for (unsigned int k = 0; k < 3; ++k) EXPECT_NEAR(g[k], step.gravity[k], kTolerance) << k;
    EXPECT_EQ(theWorld->isGravityActive(), step.enabled);
  }
}

TEST_F(Solver, ANewSolverReplacesTheWorldWhileBodiesStayWithTheirNodes) {
  const std::string first = makeSolver();
  const std::string body = makeBoxBody("box", 1, 1, 1, "0 0 0", "0 0 0", 2, first);
  HardBody* engine = bodyNode(body).engineBody(true);
  ASSERT_NE(engine, nullptr);
  EXPECT_EQ(theWorld->getNumberOfBodies(), 1);

  const std::string second = makeSolver();
  ASSERT_NE(theWorld, nullptr);
  EXPECT_EQ(theWorld->getNumberOfBodies(), 0);
  EXPECT_FALSE(solverNode(first).ownsWorld());
  EXPECT_TRUE(solverNode(second).ownsWorld());
  EXPECT_EQ(bodyNode(body).engineBody(true), engine);
  EXPECT_NEAR(engine->getMass(), 1.0, kTolerance);

  // The older solver goes for good: its bodies go (the user can undo that),
  // the newer world stays.
  ASSERT_TRUE(MGlobal::executeCommand(("delete " + first).c_str(), false, true));
  EXPECT_FALSE(node(body).isNull());
  run("undoInfo -fl");
  EXPECT_TRUE(node(body).isNull());
  ASSERT_NE(theWorld, nullptr);
  EXPECT_TRUE(solverNode(second).ownsWorld());
  run("undo");
  EXPECT_FALSE(node(body).isNull());

  run("delete " + second);
  run("undoInfo -fl");
  EXPECT_EQ(theWorld, nullptr);
}

// A solver's ground in its world, which a newer solver then replaces: the
// older world lets go of the ground instead of freeing it, so it stays the
// older solver's, and that solver, deleted for good, frees it once (the
// sanitized build reports any use of it after a free, or a leak).
TEST_F(Solver, ANewSolverLeavesTheOlderSolversGroundToItUntilItGoes) {
  zovhost::testing::setGridShown(true);
  const std::string first = makeSolver();
  run("setAttr " + first + ".useGroundGrid 1");
  pull(first + ".ca_solverParams");
  HardBody* ground = solverNode(first).ground();
  ASSERT_NE(ground, nullptr);
  ASSERT_TRUE(theWorld->containsBody(ground));

  const std::string second = makeSolver();
  EXPECT_FALSE(theWorld->containsBody(ground));
  EXPECT_EQ(solverNode(first).ground(), ground);
  EXPECT_EQ(std::string(ground->getShape().name), "groundGrid");

  run("delete " + first);
  run("undoInfo -fl");
  EXPECT_TRUE(solverNode(second).ownsWorld());
  EXPECT_EQ(theWorld->getNumberOfBodies(), 0);
}

TEST_F(Solver, StartFrameIsRaisedToThePlaybackStart) {
  struct Case {
    int playbackStart;
    int startFrame;
  };
  for (const Case& c : {Case{10, 10}, Case{0, 1}, Case{-5, 1}, Case{1, 1}}) {
    zovhost::testing::resetScene();
    run("playbackOptions -min " + std::to_string(c.playbackStart) + " -max 100");
    const std::string solver = makeSolver();
    EXPECT_EQ(getDouble(solver + ".startFrame"), c.startFrame) << c.playbackStart;
  }
}

TEST_F(Solver, TheGroundJoinsTheWorldOnlyWhileTheGridIsShownAndUsed) {
  struct Step {
    bool shown;
    bool use;
    bool inWorld;
    const char* colour;
  };
  const Step steps[] = {
      {true, true, true, "displayColor -dormant \"grid\" 15"},
      {false, false, true, nullptr},
      {true, false, false, "displayColor -dormant \"grid\" 3"},
      {false, true, false, nullptr},
  };
  const std::string solver = makeSolver();
  const HardBody* ground = solverNode(solver).ground();
  ASSERT_NE(ground, nullptr);
  EXPECT_EQ(std::string(ground->getShape().name), "groundGrid");
  EXPECT_FALSE(theWorld->containsBody(const_cast<HardBody*>(ground)));
  int index = 0;
  for (const Step& step : steps) {
    zovhost::testing::setGridShown(step.shown);
    zovhost::testing::clearLogs();
    run("setAttr " + solver + ".useGroundGrid " + (step.use ? "1" : "0"));
    pull(solver + ".ca_solverParams");
    EXPECT_EQ(theWorld->containsBody(const_cast<HardBody*>(ground)), step.inWorld) << "step " << index;
    EXPECT_EQ(ran("displayColor -dormant \"grid\" 15") || ran("displayColor -dormant \"grid\" 3"),
              step.colour != nullptr)
        << "step " << index;
    if (step.colour) {
      EXPECT_TRUE(ran(step.colour)) << "step " << index;
    }
    ++index;
  }
}

TEST_F(Solver, TheGroundLiesOnTheUpAxis) {
  for (const char* axis : {"y", "z"}) {
    zovhost::testing::resetScene();
    zovhost::testing::setUpAxis(axis);
    const auto* ground = static_cast<const BarrierBody*>(solverNode(makeSolver()).ground());
    ASSERT_NE(ground, nullptr);
    const Mgc::MgcVector3 up = std::string(axis) == "z" ? Mgc::MgcVector3(0, 0, 1) : Mgc::MgcVector3(0, 1, 0);
    EXPECT_EQ(ground->getPlaneNormal(), up) << axis;
    EXPECT_EQ(ground->getPlanePoint(), Mgc::MgcVector3()) << axis;
  }
}

TEST_F(Solver, ChangedSettingsEndCachedMode) {
  struct Case {
    const char* setting;
    const char* twin;
    bool ends;
  };
  const Case cases[] = {
      {"substeps 3", "ca_solverParams", true},   {"gravityY -1", "ca_solverParams", true},
      {"startFrame 4", "ca_solverParams", true}, {"cacheSize 50", "ca_cacheSize", true},
      {"cacheActive 0", "ca_cacheSize", true},   {"numThreads 4", "ca_numThreads", false},
  };
  const std::string solver = makeSolver();
  for (const Case& c : cases) {
    run("setAttr " + solver + ".cachedMode 1");
    zovhost::testing::clearLogs();
    run("setAttr " + solver + "." + c.setting);
    pull(solver + "." + c.twin);
    EXPECT_EQ(getDouble(solver + ".cachedMode"), c.ends ? 0.0 : 1.0) << c.setting;
    EXPECT_EQ(hasMessage(MessageKind::Info, " ZOV bake cached mode has been deactivated "), c.ends) << c.setting;
  }
}

TEST_F(Solver, WithoutTimeTheUserIsToldTheDynamicsAreOff) {
  for (bool timed : {true, false}) {
    zovhost::testing::resetScene();
    zovhost::testing::flushIdleQueue();
    MString solver;
    MGlobal::executeCommand("createNode zovSolverNode", solver);
    if (timed) run("connectAttr time1.outTime " + solver.str() + ".inTime");
    pull(solver.str() + ".ca_solverParams");
    zovhost::testing::clearLogs();
    zovhost::testing::flushIdleQueue();
    EXPECT_EQ(ran("confirmDialog -title \"Zov Info\" -button \"OK\" -defaultButton \"OK\" -message \"Zov dynamics "
                  "has been disabled, delete all Zov keys will enable it again \""),
              !timed);
  }
}

TEST_F(Solver, DisplaySelectedReachesTheModuleWhenItsTwinIsPulled) {
  const std::string solver = makeSolver();
  for (bool shown : {false, true}) {
    run("setAttr " + solver + ".displaySelected " + (shown ? "1" : "0"));
    pull(solver + ".ca_displaySelected");
    EXPECT_EQ(g_displaySelected, shown);
  }
}

TEST_F(Solver, BeforeANewSceneTheLoadIsFlaggedAndOpenPanelsEmptied) {
  zovhost::testing::setWindowExists("winZovManageWorld", true);
  for (bool withSolver : {false, true}) {
    zovhost::testing::resetScene();
    if (withSolver) makeSolver();
    zovhost::testing::flushIdleQueue();
    g_sceneLoading = false;
    zovhost::testing::clearLogs();
    zovhost::testing::raiseSceneMessage(MSceneMessage::kBeforeNew);
    EXPECT_TRUE(g_sceneLoading);
    EXPECT_TRUE(ran("setDefaultsZovFbodyParams(\"\")"));
    zovhost::testing::flushIdleQueue();
    // The host records each command of a line on its own.
    EXPECT_EQ(ran("textScrollList -edit -removeAll $zovBodiesList"), withSolver);
  }
}

TEST_F(Solver, RebuildingAfterOpeningKeepsTheUsersMassAndCentre) {
  // As a scene file leaves them: settings stored, no engine body yet.
  const std::string solver = makeSolver();
  const std::string body = makeBoxBody("box", 2, 1, 1, "0 0 0", "0 0 0", 2, solver);
  run("setAttr " + body + ".mass 5");
  setVector(body + ".massCenter", "0.5 0 0", "012");
  solverNode(solver).rebuildWorld();
  const HardBody* engine = bodyNode(body).engineBody(true);
  ASSERT_NE(engine, nullptr);
  EXPECT_NEAR(engine->getMass(), 5.0, kTolerance);
  EXPECT_EQ(getDouble(body + ".mass"), 5.0);
  const Mgc::MgcVector3& p = engine->getDyn().position;
  EXPECT_NEAR(p.x, 0.5, kTolerance);
  EXPECT_NEAR(p.y, 0.0, kTolerance);
  EXPECT_NEAR(getDouble(body + ".massCenter0"), 0.5, kTolerance);
}

}  // namespace
