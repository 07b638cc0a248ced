#include <maya/MArgList.h>
#include <maya/MDGMessage.h>
#include <maya/MDoubleArray.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "CommandFixture.h"
#include "MeshTestSupport.h"
#include "engine/PrivateWorld.h"
#include "src/nodeLinks.h"
#include "src/simulation/computeRotDistCmd.h"
#include "src/simulation/zovCrackerNode.h"

namespace {

using namespace zovhost::testing;

constexpr double kPi = 3.14159265358979323846;

class BodyQueries : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    run("playbackOptions -min 1 -max 24");
  }
  /// A solver that reports collisions, a passive 10 x 1 x 10 slab whose top
  /// is at y = 0, and dynamic unit boxes with their centres at (x, y, 0).
  void boxesOnASlab(const std::vector<std::string>& boxes, const std::vector<double>& xs,
                    const std::vector<double>& ys) {
    run("zovSolver -rc true; getAttr zovSolverNode1.ca_solverParams");
    run("polyCube -w 10 -h 1 -d 10 -n slab; setAttr slab.translateY -0.5");
    run("select slab; new_ZOVBody -active 1 -shapeType 2");
    for (size_t i = 0; i < boxes.size(); ++i) {
      run("polyCube -n " + boxes[i] + "; setAttr " + boxes[i] + ".translate " + std::to_string(xs[i]) + " " +
          std::to_string(ys[i]) + " 0");
      run("select " + boxes[i] + "; new_ZOVBody -shapeType 2");
    }
  }
  static void playTo(int last) {
    for (int f = 1; f <= last; ++f) frame(f);
  }
  static std::vector<double> numbers(const std::string& line) {
    MDoubleArray values;
    EXPECT_TRUE(MGlobal::executeCommand(line.c_str(), values)) << line;
    return std::vector<double>(&values[0], &values[0] + values.length());
  }
};

TEST_F(BodyQueries, TheCollisionListGathersThePartnersOfEveryBodyInOneArray) {
  boxesOnASlab({"left", "right"}, {-3.0, 3.0}, {0.5, 0.5});
  playTo(4);
  std::vector<std::string> result;
  ASSERT_TRUE(runs("queryZovBody -cl leftZovBody rightZovBody", &result));
  EXPECT_EQ(result, (std::vector<std::string>{"slabZovBody", "slabZovBody"}));
  // The slab touches both; a transform stands for its body.
  ASSERT_TRUE(runs("queryZovBody -collisionList slab", &result));
  EXPECT_EQ(result.size(), 2u);
  for (const std::string& name : result) EXPECT_TRUE(name == "leftZovBody" || name == "rightZovBody") << name;
}

TEST_F(BodyQueries, ContactPointsOfStackedBoxesLieOnTheSharedFace) {
  boxesOnASlab({"lower", "upper"}, {0.0, 0.0}, {0.5, 1.5});
  playTo(6);
  const std::vector<double> points = numbers("queryZovBody -cp upperZovBody lowerZovBody");
  ASSERT_FALSE(points.empty());
  ASSERT_EQ(points.size() % 3, 0u);
  // The upper box may have slid a little: the face is where it is now.
  const double x = getDouble("upper.translateX"), z = getDouble("upper.translateZ");
  for (size_t k = 0; k < points.size(); k += 3) {
    EXPECT_NEAR(points[k + 1], 1.0, 0.01) << k / 3;
    EXPECT_LE(std::fabs(points[k] - x), 0.5 + 0.01) << k / 3;
    EXPECT_LE(std::fabs(points[k + 2] - z), 0.5 + 0.01) << k / 3;
  }
}

TEST_F(BodyQueries, OpenMeshesAndShortCachesAreToldApart) {
  run("zovSolver; getAttr zovSolverNode1.ca_solverParams");
  run("polyCube -n box; polyPlane -w 2 -h 2 -sx 1 -sy 1 -n sheet; setAttr sheet.translateY 5");
  run("select box; new_ZOVBody -shapeType 2; select sheet; new_ZOVBody -shapeType 3");
  std::vector<std::string> result;
  ASSERT_TRUE(runs("queryZovBody -imn boxZovBody", &result));
  EXPECT_EQ(result, std::vector<std::string>{"0"});
  ASSERT_TRUE(runs("queryZovBody -isMassNegative sheetZovBody", &result));
  EXPECT_EQ(result, std::vector<std::string>{"1"});
  ASSERT_TRUE(runs("queryZovBody -imn boxZovBody sheetZovBody", &result));
  EXPECT_EQ(result, std::vector<std::string>{"1"});
  // Always false; the first flag of the table wins.
  ASSERT_TRUE(runs("queryZovBody -itr -imn sheetZovBody", &result));
  EXPECT_EQ(result, std::vector<std::string>{"0"});

  frame(1);
  ASSERT_TRUE(runs("queryZovBody -ico boxZovBody", &result));
  EXPECT_EQ(result, std::vector<std::string>{"0"});
  for (int f = 2; f <= 4; ++f) frame(f);
  ASSERT_TRUE(runs("queryZovBody -isCacheON boxZovBody", &result));
  EXPECT_EQ(result, std::vector<std::string>{"1"});
  // No flag: no answer.
  ASSERT_TRUE(runs("queryZovBody boxZovBody", &result));
  EXPECT_TRUE(result.empty());
}

TEST_F(BodyQueries, BadQueriesGiveTheirMessages) {
  boxesOnASlab({"box"}, {0.0}, {0.5});
  const std::pair<const char*, const char*> cases[] = {
      {"select -cl; queryZovBody -cl", "invalid selection"},
      {"queryZovBody -cp boxZovBody", "expected two objects"},
      {"queryZovBody -cl box1 time1", "not zov bodies selected"},
      {"queryZovBody -cp slab time1", "not zov bodies selected"},
  };
  run("polyCube -n box1");
  for (const auto& [line, message] : cases) {
    zovhost::testing::clearLogs();
    EXPECT_FALSE(runs(line)) << line;
    EXPECT_TRUE(hasMessage(MessageKind::Error, message)) << line;
  }
  // The solver is found by its name alone.
  run("rename zovSolverNode1 mySolver");
  for (const char* line :
       {"queryZovBody -cl boxZovBody", "queryZovBody -cp boxZovBody slabZovBody", "queryZovBody -itr boxZovBody",
        "queryZovBody -imn boxZovBody", "queryZovBody -ico boxZovBody", "queryZovBody boxZovBody"}) {
    zovhost::testing::clearLogs();
    EXPECT_FALSE(runs(line)) << line;
    EXPECT_TRUE(hasMessage(MessageKind::Error, "zov solver not found")) << line;
  }
}

TEST_F(BodyQueries, RotationsCompareByTheWayTheyTurn) {
  const std::string turn = std::to_string(2 * kPi);
  const std::pair<std::string, const char*> cases[] = {
      {"dComputeRotDist", "1"},
      {"dComputeRotDist -rx 0 -ry 0 -rz 0 -rx2 " + turn + " -tol 1e-6", "1"},
      {"dComputeRotDist -rotX 0.1 -rotX2 0.2 -tolerance 0.01", "0"},
      {"dComputeRotDist -rx 0.1 -rx2 0.2 -tol 0.2", "1"},
      // Half turns about x and y make a half turn about z.
      {"dComputeRotDist -rx " + std::to_string(kPi) + " -ry " + std::to_string(kPi) + " -rz2 " + std::to_string(kPi) +
           " -tol 1e-5",
       "1"},
  };
  for (const auto& [line, answer] : cases) {
    std::vector<std::string> result;
    ASSERT_TRUE(runs(line, &result)) << line;
    EXPECT_EQ(result, std::vector<std::string>{answer}) << line;
  }
  // A word where a number belongs fails, whether the host or the command reads it.
  EXPECT_FALSE(runs("dComputeRotDist -rx 0.1 -rx2 abc"));
  ComputeRotDistCmd command;
  command.setRegisteredName("dComputeRotDist");
  MArgList arguments;
  arguments.addArg(MString("-rx"));
  arguments.addArg(MString("abc"));
  EXPECT_FALSE(command.doIt(arguments));
}

/// The names of the nodes removed, in order.
std::vector<std::string> g_removed;

void recordRemoval(MObject& node, void*) { g_removed.push_back(MFnDependencyNode(node).name().asChar()); }

TEST_F(BodyQueries, DeletedNodesGoInListOrderAndTakeTheirEngineObjects) {
  boxesOnASlab({"box"}, {0.0}, {0.5});
  run("polyCube -n hammer; setAttr hammer.translateY 5; select hammer; zovCracker");
  zovCrackerNode* cracker = userNodeOf<zovCrackerNode>(node("Zovhammer"));
  ASSERT_NE(cracker->engineBody(), nullptr);
  ASSERT_EQ(worldBodies(), 2);
  ASSERT_EQ(static_cast<PrivateWorld*>(theWorld)->getCrackerBodies().getCount(), 1u);

  g_removed.clear();
  MStatus status;
  const MCallbackId id = MDGMessage::addNodeRemovedCallback(recordRemoval, "dependNode", nullptr, &status);
  ASSERT_TRUE(status);
  ASSERT_TRUE(runs("deleteUserNode boxZovBody Zovhammer boxZovBodyShape"));
  MMessage::removeCallback(id);
  EXPECT_EQ(g_removed, (std::vector<std::string>{"boxZovBody", "Zovhammer", "boxZovBodyShape"}));
  EXPECT_EQ(worldBodies(), 1);
  EXPECT_EQ(static_cast<PrivateWorld*>(theWorld)->getCrackerBodies().getCount(), 0u);
  // The meshes and transforms stay.
  EXPECT_FALSE(node("box").isNull());
  EXPECT_FALSE(node("hammer").isNull());

  zovhost::testing::clearLogs();
  run("select -cl");
  EXPECT_FALSE(runs("deleteUserNode"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "invalid selection"));
}

// A body on a closed cube has mass; on a box with its top open (its volume
// still positive) its mesh is open; on an inside-out cube its volume, and
// so its mass, is negative; a box open only by edges of 0.004 in its own
// space counts as closed, however far its transform scales it.
TEST_F(BodyQueries, MassNegativeTellsOpenEdgesAndInsideOutMeshesFromClosedOnes) {
  run("zovSolver; getAttr zovSolverNode1.ca_solverParams");
  std::vector<MPoint> corners;
  for (int i = 0; i < 8; ++i) corners.emplace_back((i & 1) - 0.5, ((i >> 1) & 1) - 0.5, ((i >> 2) & 1) - 0.5);
  // Outward quads: -x, +x, -y, -z, +z, then +y (the top).
  const std::vector<int> outward{0, 4, 6, 2, 1, 3, 7, 5, 0, 1, 5, 4, 0, 2, 3, 1, 4, 5, 7, 6, 2, 6, 7, 3};
  std::vector<int> inward = outward;
  for (size_t f = 0; f < inward.size(); f += 4) std::swap(inward[f + 1], inward[f + 3]);
  const std::vector<int> open(outward.begin(), outward.end() - 4);
  const struct {
    const char* what;
    const char* name;
    std::vector<int> quads;
    double size;
    bool negative;
  } rows[] = {{"closed", "closedBox", outward, 1.0, false},
              {"open", "openBox", open, 1.0, true},
              {"inside out", "turnedBox", inward, 1.0, true},
              {"open by short edges", "tinyBox", open, 0.004, false}};
  for (const auto& row : rows) {
    std::vector<MPoint> points;
    for (const MPoint& corner : corners) points.push_back(corner * row.size);
    const MDagPath shape = meshtest::makeMesh(points, std::vector<int>(row.quads.size() / 4, 4), row.quads);
    const std::string transform = row.name;
    run("rename " + std::string(MFnDagNode(shape.transform()).name().asChar()) + " " + transform);
    const double scale = 1.0 / row.size;
    run("setAttr " + transform + ".scale " + std::to_string(scale) + " " + std::to_string(scale) + " " +
        std::to_string(scale));
    run("select " + transform + "; new_ZOVBody -shapeType 3");
    std::vector<std::string> result;
    ASSERT_TRUE(runs("queryZovBody -isMassNegative " + transform + "ZovBody", &result)) << row.what;
    EXPECT_EQ(result, std::vector<std::string>{row.negative ? "1" : "0"}) << row.what;
  }
}

}  // namespace
