#include "DagSupport.h"
#include "HostFixture.h"
#include "TestNodes.h"

#include <maya/MDGMessage.h>
#include <maya/MDagModifier.h>
#include <maya/MDagPathArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnMesh.h>
#include <maya/MFnTransform.h>
#include <maya/MItDag.h>

namespace {

using dagtest::path;
using dagtest::run;

class Dag : public HostTest {
 protected:
  /// g1 > pCube1 > pCubeShape1, and an empty transform g2 moved along x.
  void SetUp() override {
    HostTest::SetUp();
    run("polyCube");
    run("group -n g1 pCube1");
    run("group -em -n g2");
    run("xform -t 10 0 0 g2");
  }

  static std::vector<std::string> walk(MItDag::TraversalType type, MFn::Type filter = MFn::kInvalid) {
    std::vector<std::string> names;
    for (MItDag it(type, filter); !it.isDone(); it.next()) names.push_back(it.fullPathName().asChar());
    return names;
  }
};

TEST_F(Dag, PathsNameTheirNodesAndMoveUpAndDown) {
  MDagPath shape = path("pCubeShape1");
  ASSERT_TRUE(shape.isValid());
  EXPECT_EQ(shape.fullPathName(), MString("|g1|pCube1|pCubeShape1"));
  EXPECT_EQ(shape.partialPathName(), MString("pCubeShape1"));
  EXPECT_EQ(shape.length(), 3u);
  EXPECT_EQ(shape.apiType(), MFn::kMesh);
  EXPECT_EQ(MFnDagNode(shape.transform()).name(), MString("pCube1"));
  ASSERT_TRUE(shape.pop());
  EXPECT_EQ(shape.fullPathName(), MString("|g1|pCube1"));
  EXPECT_EQ(shape.childCount(), 1u);
  EXPECT_EQ(MFnDagNode(shape.child(0)).name(), MString("pCubeShape1"));
  ASSERT_TRUE(shape.extendToShape());
  EXPECT_EQ(shape.partialPathName(), MString("pCubeShape1"));
  // Popping past the top leaves the world's path; further is refused.
  ASSERT_TRUE(shape.pop(3));
  EXPECT_TRUE(shape.isValid());
  EXPECT_EQ(shape.length(), 0u);
  EXPECT_FALSE(shape.pop());
  ASSERT_TRUE(shape.push(dagtest::node("g1")));
  EXPECT_FALSE(shape.push(dagtest::node("pCubeShape1")));  // not a child of g1
  // A path whose node moves no longer holds.
  const MDagPath before = path("pCube1");
  run("parent pCube1 g2");
  EXPECT_FALSE(before.isValid());
  EXPECT_EQ(path("pCube1").fullPathName(), MString("|g2|pCube1"));
}

TEST_F(Dag, InstancesHaveAPathAWorldMatrixAndAWorldMeshEach) {
  run("parent -add -r pCube1 g2");
  MDagPathArray paths;
  ASSERT_TRUE(MDagPath::getAllPathsTo(dagtest::node("pCubeShape1"), paths));
  ASSERT_EQ(paths.length(), 2u);
  EXPECT_EQ(paths[0].fullPathName(), MString("|g1|pCube1|pCubeShape1"));
  EXPECT_EQ(paths[1].fullPathName(), MString("|g2|pCube1|pCubeShape1"));
  EXPECT_EQ(paths[1].instanceNumber(), 1u);
  EXPECT_TRUE(paths[0].isInstanced());
  EXPECT_EQ(paths[1].partialPathName(), MString("g2|pCube1|pCubeShape1"));
  EXPECT_EQ(MFnDagNode(paths[0]).instanceCount(true), 2u);
  // Each instance sits where its own parents put it.
  EXPECT_DOUBLE_EQ(paths[1].inclusiveMatrix()[3][0] - paths[0].inclusiveMatrix()[3][0], 10.0);
  EXPECT_EQ(dagtest::plug("pCubeShape1", "worldMesh").numElements(), 2u);
  for (unsigned int i = 0; i < 2; ++i) {
    MPointArray world;
    MFnMesh(dagtest::plug("pCubeShape1", "worldMesh").elementByLogicalIndex(i).asMObject())
        .getPoints(world, MSpace::kWorld);
    MPointArray viaPath;
    MFnMesh(paths[i]).getPoints(viaPath, MSpace::kWorld);
    ASSERT_EQ(world.length(), 8u);
    for (unsigned int k = 0; k < world.length(); ++k) EXPECT_TRUE(world[k].isEquivalent(viaPath[k], 1e-12));
    EXPECT_DOUBLE_EQ(world[0].x, -0.5 + 10.0 * i);
  }
  // Without its second parent the shape has one instance again.
  MObject cube = dagtest::node("pCube1");
  ASSERT_TRUE(MFnDagNode(dagtest::node("g2")).removeChild(cube));
  EXPECT_EQ(dagtest::plug("pCubeShape1", "worldMesh").numElements(), 1u);
  EXPECT_FALSE(paths[1].isValid());
}

TEST_F(Dag, TheSelectionKeepsWhichInstanceWasNamed) {
  run("parent -add -r pCube1 g2");
  run("select -r |g2|pCube1|pCubeShape1 g1");
  MSelectionList selection;
  MGlobal::getActiveSelectionList(selection);
  MDagPath picked;
  ASSERT_TRUE(selection.getDagPath(0, picked));
  EXPECT_EQ(picked.fullPathName(), MString("|g2|pCube1|pCubeShape1"));
  EXPECT_EQ(picked.instanceNumber(), 1u);
  EXPECT_TRUE(selection.getDagPath(1, picked));
  EXPECT_EQ(picked.fullPathName(), MString("|g1"));
  EXPECT_FALSE(MGlobal::executeCommand("select -r |g1|pCube1|nothing"));
  EXPECT_FALSE(MGlobal::executeCommand("select -r |pCube1"));  // not a path that exists
  // A node added by object has its first path.
  MSelectionList byObject;
  byObject.add(dagtest::node("pCubeShape1"));
  ASSERT_TRUE(byObject.getDagPath(0, picked));
  EXPECT_EQ(picked.fullPathName(), MString("|g1|pCube1|pCubeShape1"));
  MSelectionList plugs;
  plugs.add("pCube1.translateX");
  EXPECT_FALSE(plugs.getDagPath(0, picked));
}

TEST_F(Dag, FunctionSetEditsOfTheHierarchyTakeEffectAtOnce) {
  MFnDagNode g2(dagtest::node("g2"));
  MObject cube = dagtest::node("pCube1");
  ASSERT_TRUE(g2.addChild(cube, MFnDagNode::kNextPos, true));
  EXPECT_EQ(MFnDagNode(cube).parentCount(), 2u);
  EXPECT_TRUE(MFnDagNode(cube).isChildOf(dagtest::node("g2")));
  EXPECT_TRUE(MFnDagNode(dagtest::node("g1")).isParentOf(dagtest::node("pCubeShape1")));
  EXPECT_FALSE(g2.isParentOf(dagtest::node("g1")));
  EXPECT_FALSE(g2.addChild(cube, MFnDagNode::kNextPos, true));  // already a child
  // Without keeping the other parents, the child moves.
  ASSERT_TRUE(MFnDagNode(dagtest::node("g1")).addChild(cube));
  EXPECT_EQ(MFnDagNode(cube).parentCount(), 1u);
  EXPECT_TRUE(MFnDagNode(dagtest::node("g1")).hasChild(cube));
  // A transform taken from its only parent goes under the world; a shape cannot.
  ASSERT_TRUE(MFnDagNode(dagtest::node("g1")).removeChild(cube));
  EXPECT_EQ(path("pCube1").fullPathName(), MString("|pCube1"));
  MObject shape = dagtest::node("pCubeShape1");
  EXPECT_FALSE(MFnDagNode(cube).removeChild(shape));
  EXPECT_EQ(MFnDagNode(cube).childCount(), 1u);
}

TEST_F(Dag, NodeAddedCallbacksSeeTheNewNodeInItsPlace) {
  static std::vector<std::string> seen;
  seen.clear();
  MDGMessage::addNodeAddedCallback(
      [](MObject& node, void*) {
        MDagPath where;
        if (MDagPath::getAPathTo(node, where)) seen.push_back(where.fullPathName().asChar());
      },
      "dagNode");
  run("createNode mesh -n extra -p g2");
  run("polyPlane -n sheet");
  EXPECT_EQ(seen, (std::vector<std::string>{"|g2|extra", "|sheet", "|sheet|sheetShape"}));
}

TEST_F(Dag, IteratorWalksDepthFirstOrBreadthFirstWithFilterAndPrune) {
  run("polySphere -n ball");
  run("parent ball g1");
  EXPECT_EQ(walk(MItDag::kDepthFirst), (std::vector<std::string>{"|g1", "|g1|pCube1", "|g1|pCube1|pCubeShape1",
                                                                 "|g1|ball", "|g1|ball|ballShape", "|g2"}));
  EXPECT_EQ(walk(MItDag::kBreadthFirst), (std::vector<std::string>{"|g1", "|g2", "|g1|pCube1", "|g1|ball",
                                                                   "|g1|pCube1|pCubeShape1", "|g1|ball|ballShape"}));
  EXPECT_EQ(walk(MItDag::kDepthFirst, MFn::kMesh),
            (std::vector<std::string>{"|g1|pCube1|pCubeShape1", "|g1|ball|ballShape"}));
  std::vector<std::string> pruned;
  for (MItDag it; !it.isDone(); it.next()) {
    pruned.push_back(it.partialPathName().asChar());
    if (it.partialPathName() == "pCube1") it.prune();
  }
  EXPECT_EQ(pruned, (std::vector<std::string>{"g1", "pCube1", "ball", "ballShape", "g2"}));
  MItDag below;
  below.reset(dagtest::node("g1"), MItDag::kDepthFirst, MFn::kTransform);
  std::vector<unsigned int> depths;
  for (; !below.isDone(); below.next()) depths.push_back(below.depth());
  EXPECT_EQ(depths, (std::vector<unsigned int>{1, 2, 2}));
}

TEST_F(Dag, DagModifierMakesAndMovesNodesAndUndoesBoth) {
  registerTestNodes();
  MDagModifier modifier;
  MStatus status;
  // A shape given no parent comes with a transform, which is returned.
  const MObject made = modifier.createNode("testLocator", MObject::kNullObj, &status);
  ASSERT_TRUE(status);
  EXPECT_TRUE(made.hasFn(MFn::kTransform));
  const MObject shape = modifier.createNode("testLocator", dagtest::node("g2"));
  ASSERT_TRUE(modifier.reparentNode(dagtest::node("pCube1"), dagtest::node("g2")));
  ASSERT_TRUE(modifier.doIt());
  EXPECT_EQ(MFnDagNode(made).childCount(), 1u);
  EXPECT_EQ(MFnDagNode(shape).fullPathName(), MString("|g2|testLocator2"));
  EXPECT_EQ(path("pCube1").fullPathName(), MString("|g2|pCube1"));
  ASSERT_TRUE(modifier.undoIt());
  EXPECT_EQ(path("pCube1").fullPathName(), MString("|g1|pCube1"));
  EXPECT_EQ(run("ls -type testLocator").size(), 0u);
  ASSERT_TRUE(modifier.doIt());
  EXPECT_EQ(run("ls -type testLocator"), (std::vector<std::string>{"testLocator1", "testLocator2"}));
  // Shapes cannot go under the world, nor transforms under themselves.
  MDagModifier refused;
  refused.reparentNode(dagtest::node("pCubeShape1"));
  refused.reparentNode(dagtest::node("g2"), dagtest::node("pCube1"));
  refused.reparentNode(dagtest::node("g1"), dagtest::node("pCube1"));
  EXPECT_FALSE(refused.doIt());
  EXPECT_EQ(path("pCubeShape1").fullPathName(), MString("|g2|pCube1|pCubeShape1"));
}

TEST_F(Dag, DeletingAGroupTakesItsChildrenAndUndoBringsThemBack) {
  run("parent -add -r pCube1 g2");
  run("select -r g1");
  ASSERT_TRUE(MGlobal::executeCommand("delete g1", false, true));
  // The instance under g2 keeps the cube alive.
  EXPECT_EQ(run("ls -dag"), (std::vector<std::string>{"g2", "pCube1", "pCubeShape1"}));
  ASSERT_TRUE(MGlobal::executeCommand("delete g2", false, true));
  EXPECT_TRUE(run("ls -dag").empty());
  ASSERT_TRUE(MGlobal::executeCommand("undo; undo"));
  MDagPathArray paths;
  ASSERT_TRUE(MDagPath::getAllPathsTo(dagtest::node("pCubeShape1"), paths));
  ASSERT_EQ(paths.length(), 2u);
  EXPECT_EQ(paths[0].fullPathName(), MString("|g1|pCube1|pCubeShape1"));
  EXPECT_EQ(paths[1].fullPathName(), MString("|g2|pCube1|pCubeShape1"));
  EXPECT_TRUE(dagtest::plug("pCubeShape1", "inMesh").isDestination());
  EXPECT_EQ(MFnMesh(paths[0]).numPolygons(), 6);
}

}  // namespace
