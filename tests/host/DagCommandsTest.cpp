#include "DagSupport.h"
#include "HostFixture.h"
#include "TestNodes.h"
#include "support/RefusedLines.h"
#include "support/ScratchFile.h"

#include <maya/MFnMesh.h>
#include <maya/MFnTransform.h>
#include <maya/MPointArray.h>
#include <maya/MQuaternion.h>

#include <cmath>

namespace {

using namespace dagtest;

constexpr double kPi = 3.14159265358979323846;

void expectNumbers(const std::vector<double>& actual, const std::vector<double>& expected, double tolerance,
                   const std::string& what) {
  ASSERT_EQ(actual.size(), expected.size()) << what;
  for (size_t i = 0; i < actual.size(); ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << what << " [" << i << "]";
}

std::vector<double> rowMajor(const MMatrix& m) {
  std::vector<double> values;
  for (unsigned int r = 0; r < 4; ++r)
    for (unsigned int c = 0; c < 4; ++c) values.push_back(m[r][c]);
  return values;
}

class DagCommands : public HostTest {};

TEST_F(DagCommands, XformSetsAndQueriesInObjectAndWorldSpace) {
  run("polyCube -n box");
  run("group -n holder box");
  run("xform -t 1 2 3 -ro 0 90 0 -s 2 2 2 holder");
  run("xform -t 0 0 5 -ro 30 0 0 box");
  expectNumbers(runNumbers("xform -q -t box"), {0, 0, 5}, 1e-12, "object translation");
  // In world space: the holder turns +z onto +x, doubles it and moves it.
  expectNumbers(runNumbers("xform -q -ws -t box"), {11, 2, 3}, 1e-12, "world translation");
  expectNumbers(runNumbers("xform -q -ro box"), {30, 0, 0}, 1e-12, "object rotation");
  const MMatrix world = path("box").inclusiveMatrix();
  expectNumbers(runNumbers("xform -q -ws -m box"), rowMajor(world), 1e-12, "world matrix");
  expectNumbers(runNumbers("xform -q -m box"),
                rowMajor(path("box").inclusiveMatrix() * path("holder").inclusiveMatrixInverse()), 1e-12,
                "object matrix");
  // World rotation read back in the node's rotate order.
  const std::vector<double> worldRotation = runNumbers("xform -q -ws -ro box");
  const MEulerRotation euler(worldRotation[0] * kPi / 180, worldRotation[1] * kPi / 180, worldRotation[2] * kPi / 180);
  MQuaternion fromMatrix;
  fromMatrix = world;
  EXPECT_TRUE(euler.asMatrix().isEquivalent(fromMatrix.asMatrix(), 1e-12));
  // Setting in world space, then moving the pivots without moving the box.
  run("xform -ws -t -4 0 0 box");
  expectNumbers(runNumbers("xform -q -ws -t box"), {-4, 0, 0}, 1e-12, "world translation set");
  const MMatrix before = path("box").inclusiveMatrix();
  run("xform -ws -piv 1 1 1 box");
  EXPECT_TRUE(path("box").inclusiveMatrix().isEquivalent(before, 1e-12));
  expectNumbers(runNumbers("xform -q -ws -piv box"), {1, 1, 1, 1, 1, 1}, 1e-12, "world pivots");
  // A matrix set in world space puts the box there.
  MMatrix target = MEulerRotation(0.1, 0.2, 0.3).asMatrix();
  target[3][0] = 7.0;
  std::string line = "xform -ws -m";
  for (double value : rowMajor(target)) line += " " + std::to_string(value);
  run(line + " box");
  EXPECT_TRUE(path("box").inclusiveMatrix().isEquivalent(target, 1e-6));
  // One undo step per xform.
  const size_t steps = zovhost::testing::undoCount();
  ASSERT_TRUE(MGlobal::executeCommand("xform -t 9 9 9 -s 1 1 1 holder", false, true));
  EXPECT_EQ(zovhost::testing::undoCount(), steps + 1);
  ASSERT_TRUE(MGlobal::executeCommand("undo"));
  expectNumbers(runNumbers("xform -q -t holder"), {1, 2, 3}, 1e-12, "after undo");
  // Bad calls.
  EXPECT_FALSE(MGlobal::executeCommand("xform -t 1 2 boxShape"));
  EXPECT_FALSE(MGlobal::executeCommand("xform -t 1 2 3 boxShape"));
  EXPECT_FALSE(MGlobal::executeCommand("xform -q -t nothing"));
}

TEST_F(DagCommands, ParentKeepsTheWorldPlacementUnlessRelative) {
  run("polyCube -n a");
  run("polyCube -n b");
  run("xform -t 5 0 0 -ro 0 0 45 -s 1 3 1 a");
  run("xform -t 1 2 3 b");
  const MMatrix world = path("b").inclusiveMatrix();
  EXPECT_EQ(run("parent b a"), (std::vector<std::string>{"b"}));
  EXPECT_EQ(path("b").fullPathName(), MString("|a|b"));
  EXPECT_TRUE(path("b").inclusiveMatrix().isEquivalent(world, 1e-10));
  run("parent -w b");
  EXPECT_TRUE(path("b").inclusiveMatrix().isEquivalent(world, 1e-10));
  run("parent -r b a");
  expectNumbers(runNumbers("xform -q -t b"), {1, 2, 3}, 1e-10, "relative keeps local values");
  // Refused: cycles, shapes without -shape, parents that are not transforms.
  EXPECT_FALSE(MGlobal::executeCommand("parent a b"));
  EXPECT_FALSE(MGlobal::executeCommand("parent bShape a"));
  EXPECT_FALSE(MGlobal::executeCommand("parent b aShape"));
  EXPECT_FALSE(MGlobal::executeCommand("parent -w aShape"));
  ASSERT_TRUE(MGlobal::executeCommand("parent -s -r bShape a"));
  EXPECT_EQ(path("bShape").fullPathName(), MString("|a|bShape"));
  ASSERT_TRUE(MGlobal::executeCommand("parent -w b", false, true));
  ASSERT_TRUE(MGlobal::executeCommand("undo"));
  EXPECT_EQ(path("b").fullPathName(), MString("|a|b"));
}

TEST_F(DagCommands, GroupGathersObjectsUnderTheirCommonParent) {
  run("polyCube -n a");
  run("polyCube -n b");
  run("group -n outer a b");
  run("xform -t 0 10 0 outer");
  const MMatrix world = path("a").inclusiveMatrix();
  EXPECT_EQ(run("group a b"), (std::vector<std::string>{"group1"}));
  EXPECT_EQ(path("a").fullPathName(), MString("|outer|group1|a"));
  EXPECT_TRUE(path("a").inclusiveMatrix().isEquivalent(world, 1e-12));
  EXPECT_EQ(run("group -em"), (std::vector<std::string>{"null1"}));
  run("select -r a");
  EXPECT_EQ(run("group -w -n loose"), (std::vector<std::string>{"loose"}));
  EXPECT_EQ(path("a").fullPathName(), MString("|loose|a"));
  EXPECT_TRUE(path("a").inclusiveMatrix().isEquivalent(world, 1e-12));
  // One undo step takes the group and its members' move back.
  ASSERT_TRUE(MGlobal::executeCommand("group -n g2 b", false, true));
  ASSERT_TRUE(MGlobal::executeCommand("undo"));
  EXPECT_EQ(path("b").fullPathName(), MString("|outer|group1|b"));
  EXPECT_TRUE(run("ls g2").empty());
  run("select -cl");
  EXPECT_FALSE(MGlobal::executeCommand("group"));
}

TEST_F(DagCommands, LsFiltersByTypeSelectionDagAndTransforms) {
  registerTestNodes();
  run("polyCube");
  run("createNode doubler -n d");
  run("createNode testLocator -n loc -p pCube1");
  EXPECT_EQ(run("ls -type transform"), (std::vector<std::string>{"pCube1"}));
  EXPECT_EQ(run("ls -tr"), (std::vector<std::string>{"pCube1"}));
  EXPECT_EQ(run("ls -type shape"), (std::vector<std::string>{"pCubeShape1", "loc"}));
  EXPECT_EQ(run("ls -type mesh -type doubler"), (std::vector<std::string>{"pCubeShape1", "d"}));
  EXPECT_EQ(run("ls -dag"), (std::vector<std::string>{"pCube1", "pCubeShape1", "loc"}));
  EXPECT_EQ(run("ls -type dependNode"), (std::vector<std::string>{"time1", "initialShadingGroup", "polyCube1", "pCube1",
                                                                  "pCubeShape1", "d", "loc"}));
  run("select -r d pCube1");
  EXPECT_EQ(run("ls -sl"), (std::vector<std::string>{"d", "pCube1"}));
  EXPECT_EQ(run("ls -sl -dag"), (std::vector<std::string>{"pCube1"}));
  EXPECT_EQ(run("ls p*"), (std::vector<std::string>{"polyCube1", "pCube1", "pCubeShape1"}));
  EXPECT_TRUE(run("ls -type nothing").empty());
}

TEST_F(DagCommands, CreateNodeMakesDagNodesUnderAParent) {
  registerTestNodes();
  EXPECT_EQ(run("createNode transform -n holder"), (std::vector<std::string>{"holder"}));
  EXPECT_EQ(run("createNode mesh -p holder"), (std::vector<std::string>{"polySurfaceShape1"}));
  EXPECT_EQ(path("polySurfaceShape1").fullPathName(), MString("|holder|polySurfaceShape1"));
  // A shape without a parent gets a transform of its own.
  EXPECT_EQ(run("createNode testLocator"), (std::vector<std::string>{"testLocator1"}));
  EXPECT_EQ(path("testLocator1").fullPathName(), MString("|transform1|testLocator1"));
  EXPECT_FALSE(MGlobal::executeCommand("createNode transform -p polySurfaceShape1"));
  EXPECT_FALSE(MGlobal::executeCommand("createNode doubler -p holder"));
  EXPECT_FALSE(MGlobal::executeCommand("createNode transform -p nowhere"));
}

TEST_F(DagCommands, ASavedSceneKeepsTransformsMeshesAndInstances) {
  const zovtest::ScratchFile scratch{"zovhost_dag_", ".zsc"};
  const std::string& file = scratch.path;
  run("polyCube -w 2 -sx 2 -n box");
  run("polySphere -sa 6 -sh 4 -n ball");
  run("group -n rig box ball");
  run("xform -t 1 2 3 -ro 10 20 30 -s 1 2 3 -piv 0.5 0 0 rig");
  run("setAttr rig.rotateOrder 5");
  run("setAttr rig.shear 0.2 0 0.1");
  run("group -em -n other");
  run("parent -add -r ball other");
  // A mesh of its own, with a normal set, under its own transform.
  MPointArray points;
  for (double x : {0.0, 1.0, 1.0, 0.0}) points.append(MPoint(x, x > 0 ? 0.0 : 1.0, 0.5));
  MIntArray counts, connects;
  counts.append(4);
  for (int i : {0, 1, 2, 3}) connects.append(i);
  points[2].y = 1.0;
  MFnMesh own;
  own.create(4, 1, points, counts, connects);
  own.setFaceVertexNormal(MVector(0.0, 0.6, 0.8), 0, 2);
  const std::vector<std::string> dagBefore = run("ls -dag");
  const MMatrix ballWorld = path("|other|ball").inclusiveMatrix();
  const MMatrix boxWorld = path("box").inclusiveMatrix();
  MPointArray boxPoints;
  MFnMesh(path("box")).getPoints(boxPoints, MSpace::kWorld);

  ASSERT_TRUE(MGlobal::executeCommand(("file -rename \"" + file + "\"; file -save").c_str()));
  ASSERT_TRUE(MGlobal::executeCommand(("file -open \"" + file + "\"").c_str()));

  EXPECT_EQ(run("ls -dag"), dagBefore);
  EXPECT_TRUE(path("box").inclusiveMatrix().isEquivalent(boxWorld, 1e-12));
  EXPECT_TRUE(path("|other|ball").inclusiveMatrix().isEquivalent(ballWorld, 1e-12));
  EXPECT_EQ(MFnMesh(path("ball")).numPolygons(), 24);
  MPointArray boxAfter;
  MFnMesh(path("box")).getPoints(boxAfter, MSpace::kWorld);
  ASSERT_EQ(boxAfter.length(), boxPoints.length());
  for (unsigned int i = 0; i < boxAfter.length(); ++i) EXPECT_TRUE(boxAfter[i].isEquivalent(boxPoints[i], 1e-12));
  // The mesh of its own comes back point for point, with its set normal.
  MFnMesh reopened(path("polySurfaceShape1"));
  MPointArray ownPoints;
  reopened.getPoints(ownPoints);
  ASSERT_EQ(ownPoints.length(), 4u);
  for (unsigned int i = 0; i < 4; ++i) EXPECT_EQ(ownPoints[i], points[i]);
  MVector normal;
  reopened.getFaceVertexNormal(0, 2, normal);
  EXPECT_TRUE(normal.isEquivalent(MVector(0.0, 0.6, 0.8), 1e-7));
  // The creation nodes still drive their meshes.
  run("setAttr polyCube1.subdivisionsWidth 1");
  EXPECT_EQ(MFnMesh(path("box")).numPolygons(), 6);
}

}  // namespace

namespace {

TEST_F(DagCommands, MakeIdentityHandsAGroupsTransformationDownAndNothingMovesInTheWorld) {
  run("polyCube -n box");
  run("group -n inner box");
  run("polyCube -n loose");
  // A mesh of its own, without construction history, right under the group.
  run("disconnectAttr polyCube2.output looseShape.inMesh");
  run("parent -s -r looseShape inner");
  run("group -n outer inner");
  run("xform -t 1 2 3 -ro 10 20 30 -s 1 2 3 outer");
  run("xform -t 0 1 0 -ro 0 0 45 inner");
  run("xform -piv 0.5 0.5 0.5 inner");
  const MMatrix boxBefore = path("box").inclusiveMatrix();
  const MMatrix innerBefore = path("inner").inclusiveMatrix();
  MPointArray objectBefore;
  MFnMesh(path("looseShape")).getPoints(objectBefore, MSpace::kObject);
  MPointArray worldBefore;
  MFnMesh(path("looseShape")).getPoints(worldBefore, MSpace::kWorld);

  dagtest::runUndoable("makeIdentity -apply true inner");
  expectNumbers(rowMajor(path("inner").inclusiveMatrix()), rowMajor(path("outer").inclusiveMatrix()), 1e-12,
                "inner is its parent's frame");
  expectNumbers(runNumbers("xform -q -m inner"), rowMajor(MMatrix()), 1e-12, "inner's own matrix");
  expectNumbers(rowMajor(path("box").inclusiveMatrix()), rowMajor(boxBefore), 1e-12, "child transform");
  MPointArray worldAfter;
  MFnMesh(path("looseShape")).getPoints(worldAfter, MSpace::kWorld);
  ASSERT_EQ(worldAfter.length(), worldBefore.length());
  for (unsigned int i = 0; i < worldAfter.length(); ++i)
    EXPECT_NEAR(worldAfter[i].distanceTo(worldBefore[i]), 0.0, 1e-6) << i;
  // The pivot stays where it stood in the world.
  expectNumbers(runNumbers("xform -q -ws -piv inner"),
                {0.5 * innerBefore[0][0] + 0.5 * innerBefore[1][0] + 0.5 * innerBefore[2][0] + innerBefore[3][0],
                 0.5 * innerBefore[0][1] + 0.5 * innerBefore[1][1] + 0.5 * innerBefore[2][1] + innerBefore[3][1],
                 0.5 * innerBefore[0][2] + 0.5 * innerBefore[1][2] + 0.5 * innerBefore[2][2] + innerBefore[3][2],
                 0.5 * innerBefore[0][0] + 0.5 * innerBefore[1][0] + 0.5 * innerBefore[2][0] + innerBefore[3][0],
                 0.5 * innerBefore[0][1] + 0.5 * innerBefore[1][1] + 0.5 * innerBefore[2][1] + innerBefore[3][1],
                 0.5 * innerBefore[0][2] + 0.5 * innerBefore[1][2] + 0.5 * innerBefore[2][2] + innerBefore[3][2]},
                1e-9, "pivots");

  dagtest::runUndoable("undo");
  expectNumbers(rowMajor(path("inner").inclusiveMatrix()), rowMajor(innerBefore), 1e-12, "undone");
  MPointArray objectUndone;
  MFnMesh(path("looseShape")).getPoints(objectUndone, MSpace::kObject);
  ASSERT_EQ(objectUndone.length(), objectBefore.length());
  for (unsigned int i = 0; i < objectUndone.length(); ++i) EXPECT_EQ(objectUndone[i], objectBefore[i]) << i;
  expectNumbers(rowMajor(path("box").inclusiveMatrix()), rowMajor(boxBefore), 1e-12, "child undone");
}

TEST_F(DagCommands, MakeIdentityRefusesAMeshWithHistoryAndOnlyApplies) {
  run("polyCube -n box");
  run("xform -t 1 2 3 box");
  const zovtest::RefusedLine refusals[] = {
      {"makeIdentity -apply true box", "makeIdentity: the mesh 'boxShape' has construction history"},
      {"makeIdentity -apply false box", "makeIdentity: this host only applies a transformation (-apply true)"},
      {"makeIdentity box", "makeIdentity: this host only applies a transformation (-apply true)"},
      {"makeIdentity -apply true boxShape", "makeIdentity: 'boxShape' is not a transform"},
  };
  for (const auto& refusal : refusals) {
    zovtest::expectRefusedLine(refusal, [](const std::string& line) { return !dagtest::lineFails(line); });
    expectNumbers(runNumbers("xform -q -t box"), {1, 2, 3}, 0.0, refusal.line);
  }
}

}  // namespace
