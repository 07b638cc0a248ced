#include <maya/MAnimControl.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MSceneMessage.h>
#include <unistd.h>
#include <zovhost/Application.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "CommandFixture.h"
#include "SceneWorldWalk.h"
#include "engine/PrivateWorld.h"
#include "src/shatter/voronoiNode.h"
#include "support/ScratchFile.h"
#include "testing/HostTesting.h"
#include "testing/RenderTesting.h"

namespace {

using namespace zovhost::testing;

class SceneCallbacks : public CommandTest {
 protected:
  /// A solver over the range 1 .. 24 and three cubes made bodies: one
  /// passive slab at the bottom and two dropped onto it, one turned.
  static void boxesOnASlab() {
    run("playbackOptions -min 1 -max 24");
    run("polyCube -w 8 -h 1 -d 8 -n slab; setAttr slab.translateY -0.5");
    run("polyCube -n boxA; setAttr boxA.translateY 2");
    run("polyCube -n boxB; setAttr boxB.translate 0.3 4 0; setAttr boxB.rotate 30 0 20");
    run("zovSolver; getAttr zovSolverNode1.ca_solverParams");
    run("select slab; new_ZOVBody -a 1 -st 2");
    run("select boxA boxB; new_ZOVBody -st 2");
    zovhost::testing::flushIdleQueue();
  }
  static std::vector<double> poses() {
    std::vector<double> values;
    for (const char* box : {"boxA", "boxB"})
      for (const char* channel : {"translateX", "translateY", "translateZ", "rotateX", "rotateY", "rotateZ"})
        values.push_back(getDouble(std::string(box) + "." + channel));
    return values;
  }
  static void playTo(int last) {
    for (int f = 1; f <= last; ++f) frame(f);
  }
  void save() { run("file -rename \"" + path + "\"; file -save"); }
  void open() { run("file -open \"" + path + "\""); }

  const zovtest::ScratchFile scratch{"zov_callbacks_", ".zsc"};
  const std::string& path = scratch.path;
};

TEST_F(SceneCallbacks, APlaybackRangeMovesTheStartFrameAndSizesTheCaches) {
  run("playbackOptions -min 1 -max 120");
  run("zovSolver");
  EXPECT_EQ(getDouble("zovSolverNode1.cacheSize"), 120.0);
  // Each step: the new range, the time before it, then the start frame, the
  // cache size and the time after it, and what the user is told.
  const struct {
    int start, end, timeBefore;
    int startFrame, cacheSize, timeAfter;
    const char* warning;
    const char* queued;
  } steps[] = {
      {5, 60, 10, 5, 56, 5, " time set to start frame of the new playback range", "updateZovSolverPanel()"},
      {8, 60, 8, 8, 53, 8, nullptr, "updateZovSolverPanel()"},
      {2, 30, 9, 8, 29, 9, nullptr, "warning \"ZOv solver options->start frame is bigger than playback start time\""},
  };
  for (const auto& step : steps) {
    frame(step.timeBefore);
    zovhost::testing::flushIdleQueue();
    zovhost::testing::clearLogs();
    run("playbackOptions -min " + std::to_string(step.start) + " -max " + std::to_string(step.end));
    EXPECT_EQ(getDouble("zovSolverNode1.startFrame"), step.startFrame) << step.start;
    EXPECT_EQ(getDouble("zovSolverNode1.cacheSize"), step.cacheSize) << step.start;
    EXPECT_EQ(MAnimControl::currentTime(), MTime(step.timeAfter)) << step.start;
    if (step.warning) {
      EXPECT_TRUE(hasMessage(MessageKind::Warning, step.warning)) << step.start;
    }
    zovhost::testing::flushIdleQueue();
    EXPECT_TRUE(ranLine(step.queued)) << step.start;
  }
}

TEST_F(SceneCallbacks, AUnitChangeBringsEveryStartFrameToTheRangesStart) {
  run("playbackOptions -min 4 -max 24");
  run("zovSolver");
  run("setAttr zovSolverNode1.startFrame 9");
  frame(12);
  zovhost::testing::clearLogs();
  run("currentUnit -l m");
  EXPECT_EQ(getDouble("zovSolverNode1.startFrame"), 4.0);
  EXPECT_EQ(MAnimControl::currentTime(), MTime(4.0));
  EXPECT_TRUE(hasMessage(MessageKind::Warning, " time set to start frame of the playback range"));
}

TEST_F(SceneCallbacks, NewFieldsAreLinkedAndHostRigidBodiesRefusedUnderBodies) {
  boxesOnASlab();
  zovhost::testing::clearLogs();
  run("gravity -n pull");
  EXPECT_TRUE(MFnDependencyNode(node("pull")).hasAttribute("zovfield"));
  EXPECT_TRUE(ranLine("zovConnectForceFields -connectAll \"pull\""));
  // Other new nodes are left alone.
  zovhost::testing::clearLogs();
  run("polyCube -n plain; createNode transform -n empty");
  EXPECT_FALSE(ranLine("zovConnectForceFields"));

  // The host's own rigid body goes from under a simulated transform, and
  // only from there.
  run("createNode rigidBody -p boxA -n hostBodyA; createNode rigidBody -p plain -n hostBodyPlain");
  zovhost::testing::flushIdleQueue();
  EXPECT_TRUE(node("hostBodyA").isNull());
  EXPECT_TRUE(hasMessage(MessageKind::Error, "cannot add a Maya rigid body to a Zov object"));
  EXPECT_FALSE(node("hostBodyPlain").isNull());
}

TEST_F(SceneCallbacks, ASavedSceneReopensToTheSameSimulation) {
  boxesOnASlab();
  run("uniform -n wind -m 0");
  playTo(24);
  const std::vector<double> played = poses();
  // Saving past the start takes the time and the bodies back to the start.
  save();
  EXPECT_EQ(MAnimControl::currentTime(), MTime(1.0));
  EXPECT_DOUBLE_EQ(getDouble("boxA.translateY"), 2.0);

  zovhost::testing::clearLogs();
  ::testing::internal::CaptureStderr();
  open();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  // The field came with its link attribute: nothing was added twice, no
  // line of the file failed and nothing was linked during the load.
  EXPECT_FALSE(hasMessage(MessageKind::Warning, "line(s) of"));
  for (const auto& message : zovhost::testing::messages())
    EXPECT_EQ(message.text.find("zovfield"), std::string::npos) << message.text;
  EXPECT_FALSE(ranLine("zovConnectForceFields"));
  EXPECT_TRUE(MFnDependencyNode(node("wind")).hasAttribute("zovfield"));
  EXPECT_EQ(worldBodies(), 3);
  zovhost::testing::flushIdleQueue();
  playTo(24);
  const std::vector<double> replayed = poses();
  ASSERT_EQ(replayed.size(), played.size());
  for (size_t i = 0; i < played.size(); ++i) EXPECT_NEAR(replayed[i], played[i], 1e-9) << i;

  // Imported beside itself, the scene's field is left alone as well.
  zovhost::testing::clearLogs();
  run("file -import \"" + path + "\"");
  EXPECT_FALSE(hasMessage(MessageKind::Warning, "line(s) of"));
  EXPECT_FALSE(ranLine("zovConnectForceFields"));
}

TEST_F(SceneCallbacks, ASavedSceneWithACrackerReopensToTheSamePoses) {
  // A hammer on a path at boxA's resting height knocks it off the slab.
  boxesOnASlab();
  run("polyCube -n hammer; curve -d 1 -p -6 0.5 0 -p 6 0.5 0 -k 0 -k 1 -n path");
  run("pathAnimation -c path -stu 1 -etu 24 hammer; select hammer; zovCracker");
  zovhost::testing::flushIdleQueue();
  playTo(24);
  const std::vector<double> played = poses();
  ASSERT_GT(std::fabs(played[0]), 1.0);  // boxA was hit
  save();
  open();
  zovhost::testing::flushIdleQueue();
  // The cracker is made again with the rest: its body is in the world
  // before anything asks for it.
  const auto* world = static_cast<PrivateWorld*>(theWorld);
  ASSERT_NE(world, nullptr);
  EXPECT_EQ(world->getCrackerBodies().getCount(), 1u);
  playTo(24);
  const std::vector<double> replayed = poses();
  ASSERT_EQ(replayed.size(), played.size());
  for (size_t i = 0; i < played.size(); ++i) EXPECT_NEAR(replayed[i], played[i], 1e-5) << i;
}

TEST_F(SceneCallbacks, ANewSceneHoldsViewRefreshesUntilASceneIsOpened) {
  boxesOnASlab();
  save();
  run("file -new");
  EXPECT_TRUE(g_sceneLoading);
  run("zovSolver");
  const unsigned refreshes = zovhost::testing::viewRefreshCount();
  frame(3);
  EXPECT_EQ(zovhost::testing::viewRefreshCount(), refreshes);
  open();
  EXPECT_FALSE(g_sceneLoading);
  frame(2);
  EXPECT_GT(zovhost::testing::viewRefreshCount(), refreshes);
}

TEST_F(SceneCallbacks, OlderScenesAreBroughtUpToDateWhenOpened) {
  // Each version: whether the user is told, whether the bodies get their
  // time link back and whether the shape's type feeds the body again.
  const struct {
    const char* version;
    bool told;
    bool timeLinked;
    bool typeLinked;
  } versions[] = {
      {"3.4", true, true, true}, {"3.5", true, true, false}, {"3.9", true, false, false}, {"4.0", false, false, false}};
  for (const auto& v : versions) {
    zovhost::testing::resetHost();
    run(moduleLoadLine().str());
    boxesOnASlab();
    run("disconnectAttr zovSolverNode1.inTime boxAZovBody.inTimeRbd");
    run("disconnectAttr boxAZovBodyShape.outCollisionType boxAZovBody.inCollisionType");
    run(std::string("setAttr -type \"string\" zovSolverNode1.version \"") + v.version + "\"");
    save();
    zovhost::testing::clearLogs();
    open();
    EXPECT_EQ(hasMessage(MessageKind::Info, " This scene has been created with a previous version of ZOV"), v.told)
        << v.version;
    MString version;
    MPlug(node("zovSolverNode1"), zovSolverNode::version).getValue(version);
    EXPECT_EQ(version, MString("4.0")) << v.version;
    EXPECT_EQ(feeds("zovSolverNode1.inTime", "boxAZovBody.inTimeRbd"), v.timeLinked) << v.version;
    EXPECT_EQ(feeds("boxAZovBodyShape.outCollisionType", "boxAZovBody.inCollisionType"), v.typeLinked) << v.version;
    // The world is made again from the scene in every case.
    EXPECT_EQ(worldBodies(), 3) << v.version;
  }
}

// Scenes before 3.5 kept no group on the pieces of a fracture body made
// from a shatter: opened, each piece takes the index of its shatter's
// voronoi node as its group, in its node and in the engine. A 3.5 scene's
// pieces keep the group they have.
TEST_F(SceneCallbacks, OpeningAnOldSceneGivesShatterPiecesTheirShattersGroup) {
  for (const char* version : {"3.4", "3.5"}) {
    zovhost::testing::resetHost();
    run(moduleLoadLine().str());
    run("playbackOptions -min 1 -max 24");
    run("zovSolver; getAttr zovSolverNode1.ca_solverParams");
    ASSERT_NO_FATAL_FAILURE(shatteredRock("-ns 6 -sed 3"));
    const std::vector<std::string> bodies = bodiesOfShards("rock");
    ASSERT_EQ(bodies.size(), 6u);
    ASSERT_TRUE(fracture(bodies));
    const std::vector<std::string> records = nodesOfType("zovVoronoiNode");
    ASSERT_EQ(records.size(), 1u);
    const int index = MPlug(node(records[0]), voronoiNode::index).asInt();
    ASSERT_GE(index, 0);
    for (const std::string& body : bodies) run("setAttr " + body + ".groupid -1");
    run(std::string("setAttr -type \"string\" zovSolverNode1.version \"") + version + "\"");
    save();
    open();
    const int expected = std::string(version) == "3.4" ? index : -1;
    for (const std::string& body : bodies) {
      EXPECT_EQ(MPlug(node(body), rigidBodyNode::groupid).asInt(), expected) << version << " " << body;
      const HardBody* engine = bodyNode(body).engineBody(false);
      ASSERT_NE(engine, nullptr) << version << " " << body;
      EXPECT_EQ(engine->getGroupID(), expected) << version << " " << body;
    }
    EXPECT_EQ(walkSceneAgainstWorld(), std::vector<std::string>()) << version;
  }
}

TEST_F(SceneCallbacks, TheExamplesInterfaceScriptAnswersEveryCallOfTheModule) {
  zovhost::testing::resetHost();
  zovhost::app::addScriptPath(ZOV_EXAMPLES_UI_PATH);
  zovhost::testing::clearLogs();
  run(moduleLoadLine().str());
  // Every window the module asks about open, so that every panel refresh runs.
  for (const char* window :
       {"MayaWindow", "winZovBasicFractures", "winZovManageWorld", "winZovSolver", "zovCrakersWin"})
    zovhost::testing::setWindowExists(window, true);
  boxesOnASlab();
  playTo(4);
  save();
  run("file -new");
  open();
  playTo(3);
  run("playbackOptions -min 2 -max 20");
  run("delete boxB");
  zovhost::testing::flushIdleQueue();
  std::string name = ZOV_MODULE_PATH;
  name = name.substr(name.rfind('/') + 4);
  run("unloadPlugin " + name.substr(0, name.find('.')));
  zovhost::testing::flushIdleQueue();
  EXPECT_TRUE(ranLine("setDefaultsZovFbodyParams"));
  EXPECT_TRUE(ranLine("clear( $zovCurrentSelectedFragments)"));
  EXPECT_TRUE(ranLine("updateZovFracturesPanel"));
  EXPECT_TRUE(ranLine("deleteAllBodiesFromZovWorldWithoutConfirm"));
  for (const auto& command : zovhost::testing::commands()) EXPECT_TRUE(command.succeeded) << command.line;
  for (const auto& message : zovhost::testing::messages()) EXPECT_NE(message.kind, MessageKind::Error) << message.text;
}

TEST_F(SceneCallbacks, AtExitTheWorldGoesThroughTheSolverAndTheHostTakesTheNodes) {
  boxesOnASlab();
  playTo(6);
  zovhost::testing::clearLogs();
  zovhost::testing::raiseSceneMessage(MSceneMessage::kMayaExiting);
  EXPECT_EQ(theWorld, nullptr);
  EXPECT_TRUE(ranLine("savePrefs -colors"));
  // The nodes stay the host's: they go with the module, once.
  EXPECT_FALSE(node("zovSolverNode1").isNull());
  EXPECT_NE(bodyNode("boxAZovBody").engineBody(false), nullptr);
  std::string name = ZOV_MODULE_PATH;
  name = name.substr(name.rfind('/') + 4);
  run("unloadPlugin " + name.substr(0, name.find('.')));
  EXPECT_TRUE(node("zovSolverNode1").isNull());
}

}  // namespace
