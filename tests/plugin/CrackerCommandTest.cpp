#include <maya/MAnimControl.h>
#include <maya/MDagPath.h>
#include <maya/MVector.h>

#include <cmath>
#include <string>
#include <vector>

#include "CommandFixture.h"
#include "engine/PrivateWorld.h"
#include "src/nodeLinks.h"
#include "src/simulation/zovCrackerNode.h"

namespace {

using namespace zovhost::testing;

constexpr double kPi = 3.14159265358979323846;

/// How many cracker bodies the world holds.
unsigned int worldCrackers() {
  return theWorld ? static_cast<PrivateWorld*>(theWorld)->getCrackerBodies().getCount() : 0u;
}

bool worldHoldsCracker(const HardBody* body) {
  if (theWorld == nullptr) return false;
  for (auto* node = static_cast<PrivateWorld*>(theWorld)->getCrackerBodies().getFirst(); node; node = node->next)
    if (node->value == body) return true;
  return false;
}

class CrackerCommand : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    run("playbackOptions -min 1 -max 24");
  }
  static zovCrackerNode* crackerNode(const std::string& name) { return userNodeOf<zovCrackerNode>(node(name)); }
  static std::string parentOf(const std::string& name) {
    MDagPath path;
    if (!MDagPath::getAPathTo(node(name), path) || !path.pop()) return std::string();
    return path.partialPathName().asChar();
  }
};

TEST_F(CrackerCommand, ASelectedMeshBecomesACrackerWhoseBodyIsInTheWorldAtOnce) {
  run("polyCube -w 2 -n pCube1; setAttr pCube1.translate 1 2 3; zovSolver; select pCube1");
  // The diameter changes nothing: both calls make the same cracker.
  for (const char* line : {"zovCracker", "zovCracker -diameter 5"}) {
    std::vector<std::string> result;
    ASSERT_TRUE(runs(line, &result)) << line;
    EXPECT_EQ(result, std::vector<std::string>{"ZovpCube1"}) << line;
    EXPECT_EQ(parentOf("ZovpCube1"), "pCube1") << line;
    EXPECT_EQ(nodesOfType("zovCollisionShape"), std::vector<std::string>{"ZovpCube1Shape"}) << line;
    EXPECT_EQ(getDouble("ZovpCube1Shape.type"), 6.0) << line;
    EXPECT_TRUE(feeds("pCubeShape1.worldMesh[0]", "ZovpCube1Shape.inShape")) << line;
    EXPECT_TRUE(feeds("ZovpCube1Shape.outCollisionType", "ZovpCube1.inCollisionType")) << line;
    EXPECT_TRUE(feeds("zovSolverNode1.crackers", "ZovpCube1.solver")) << line;
    HardBody* body = crackerNode("ZovpCube1")->engineBody();
    ASSERT_NE(body, nullptr) << line;
    EXPECT_EQ(body->getType(), kCrackerBody) << line;
    EXPECT_TRUE(worldHoldsCracker(body)) << line;
    // The body has the box's volume and sits at its centre.
    EXPECT_NEAR(body->getMass(), 2.0, 1e-6) << line;
    const Mgc::MgcVector3 at = body->getDyn().position;
    EXPECT_NEAR((MVector(at.x, at.y, at.z) - MVector(1, 2, 3)).length(), 0.0, 1e-6) << line;
    ASSERT_TRUE(runs("undo"));
  }
}

TEST_F(CrackerCommand, WithTwoSolversTheCrackerJoinsTheLastFound) {
  run("polyCube -n pCube1; zovSolver");
  const std::string second = makeSolver();
  run("select pCube1; zovCracker");
  EXPECT_TRUE(feeds(second + ".crackers", "ZovpCube1.solver"));
  EXPECT_FALSE(feeds("zovSolverNode1.crackers", "ZovpCube1.solver"));
}

TEST_F(CrackerCommand, UndoTakesTheCrackersAwayAndRedoMakesFreshBodies) {
  run("polyCube -n pCube1; polyCube -n pCube2; zovSolver; select pCube1 pCube2");
  std::vector<std::string> result;
  ASSERT_TRUE(runs("zovCracker", &result));
  // The result names the last cracker made.
  EXPECT_EQ(result, std::vector<std::string>{"ZovpCube2"});
  EXPECT_EQ(worldCrackers(), 2u);
  const std::string before = crackerNode("ZovpCube1")->engineBody()->getShape().name;

  run("select -cl");
  ASSERT_TRUE(runs("undo"));
  EXPECT_TRUE(nodesOfType("zovCracker").empty());
  EXPECT_TRUE(nodesOfType("zovCollisionShape").empty());
  EXPECT_EQ(worldCrackers(), 0u);
  // The selection the command worked on is back.
  MSelectionList selection;
  MGlobal::getActiveSelectionList(selection);
  EXPECT_EQ(selection.length(), 2u);

  ASSERT_TRUE(runs("redo"));
  EXPECT_EQ(nodesOfType("zovCracker"), (std::vector<std::string>{"ZovpCube1", "ZovpCube2"}));
  EXPECT_EQ(worldCrackers(), 2u);
  for (const char* name : {"ZovpCube1", "ZovpCube2"}) {
    HardBody* body = crackerNode(name)->engineBody();
    ASSERT_NE(body, nullptr) << name;
    EXPECT_TRUE(worldHoldsCracker(body)) << name;
  }
  EXPECT_EQ(crackerNode("ZovpCube1")->engineBody()->getShape().name, before);
}

TEST_F(CrackerCommand, AnAnimatedSelectionAwayFromTheStartMovesTheTimeThere) {
  run("polyCube -n pCube1; zovSolver");
  run("setKeyframe -t 1 -v 0 pCube1.translateX; setKeyframe -t 24 -v 10 pCube1.translateX");
  run("currentTime 12; select pCube1");
  zovhost::testing::clearLogs();
  ASSERT_TRUE(runs("zovCracker"));
  EXPECT_TRUE(hasMessage(MessageKind::Warning, " time set to start frame becouse animated object selected"));
  EXPECT_EQ(MAnimControl::currentTime().value(), 1.0);
  // The rest pose is the animation's start.
  EXPECT_NEAR(crackerNode("ZovpCube1")->engineBody()->getDyn().position.x, 0.0, 1e-9);

  // A still selection leaves the time alone.
  run("polyCube -n still; currentTime 12; select still");
  zovhost::testing::clearLogs();
  ASSERT_TRUE(runs("zovCracker"));
  EXPECT_FALSE(hasMessage(MessageKind::Warning, "time set to start frame"));
  EXPECT_EQ(MAnimControl::currentTime().value(), 12.0);
}

TEST_F(CrackerCommand, SelectionsThatMakeNoCrackerFailAndLeaveNothing) {
  const RefusedCommand cases[] = {
      {"nothing selected", {"zovSolver", "select -cl"}, "zovCracker", MessageKind::Error, "invalid selection"},
      {"no solver", {"select pCube1"}, "zovCracker", MessageKind::Error, "no zov solver found"},
      {"only an intermediate mesh",
       {"zovSolver", "setAttr pCubeShape1.intermediateObject 1", "select pCube1"},
       "zovCracker",
       MessageKind::Info,
       " error creating cracker"},
      {"a transform without a mesh",
       {"zovSolver", "createNode transform -n empty", "select empty"},
       "zovCracker",
       MessageKind::Info,
       " error creating cracker"},
      // Every mesh found is an instance: nothing is made, so the call fails.
      {"only an instance",
       {"zovSolver", "group -em -n other", "parent -add -s pCubeShape1 other", "select pCube1"},
       "zovCracker",
       MessageKind::Error,
       "Object pCube1|pCubeShape1 is an instance, convert it to object( Modify->convert->instance to object)"},
      {"only an instance",
       {"zovSolver", "group -em -n other", "parent -add -s pCubeShape1 other", "select pCube1"},
       "zovCracker",
       MessageKind::Info,
       " error creating cracker"},
  };
  for (const RefusedCommand& c : cases) {
    expectRefused(c, "polyCube -n pCube1");
    EXPECT_EQ(worldCrackers(), 0u) << c.name;
    EXPECT_EQ(zovhost::testing::undoCount(), 0u) << c.name;
  }
}

TEST_F(CrackerCommand, AKeyedCrackerKnocksOverAStandingBox) {
  // A tall box stands on a passive slab; a cube keyed to sweep through its
  // upper half at 10 units a second topples it. Without the cracker it
  // stays upright.
  for (const bool withCracker : {false, true}) {
    zovhost::testing::resetHost();
    run(moduleLoadLine().str());
    run("playbackOptions -min 1 -max 48");
    run("polyCube -w 10 -h 1 -d 10 -n slab; setAttr slab.translateY -0.5");
    run("polyCube -w 1 -h 3 -d 1 -n post; setAttr post.translateY 1.5");
    run("polyCube -n hammer; setAttr hammer.translate -3 2.5 0");
    run("setKeyframe -t 1 -v -3 hammer.translateX; setKeyframe -t 24 -v 6.6 hammer.translateX");
    run("zovSolver; getAttr zovSolverNode1.ca_solverParams");
    run("select slab; new_ZOVBody -active 1 -shapeType 2; select post; new_ZOVBody -shapeType 2");
    if (withCracker) run("select hammer; zovCracker");
    for (int f = 1; f <= 48; ++f) frame(f);
    // The post's long axis, turned as its transform turns it.
    MDagPath post;
    ASSERT_TRUE(MDagPath::getAPathTo(node("post"), post));
    const MVector up = (MVector(0, 1, 0) * post.inclusiveMatrix()).normal();
    if (withCracker) {
      EXPECT_LT(up.y, std::cos(kPi / 4)) << "the post still stands";
      EXPECT_GT(getDouble("post.translateX"), 0.5);
    } else {
      EXPECT_NEAR(up.y, 1.0, 1e-3);
      EXPECT_NEAR(getDouble("post.translateX"), 0.0, 1e-3);
    }
  }
}

}  // namespace
