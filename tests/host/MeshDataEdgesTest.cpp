#include "DagSupport.h"
#include "HostFixture.h"
#include "support/ScratchFile.h"

#include <maya/MAnimUtil.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnMesh.h>
#include <maya/MFnMeshData.h>
#include <maya/MFnNurbsCurve.h>
#include <maya/MItDependencyGraph.h>

namespace {

using namespace dagtest;

MPointArray squarePoints() {
  MPointArray points;
  for (const MPoint& p : {MPoint(0, 0, 0), MPoint(1, 0, 0), MPoint(1, 1, 0), MPoint(0, 1, 0)}) points.append(p);
  return points;
}

/// Saves the scene and opens it again.
void reopen() {
  const zovtest::ScratchFile scratch{"zovhost_edges_", ".zsc"};
  const std::string& file = scratch.path;
  ASSERT_TRUE(MGlobal::executeCommand(("file -rename \"" + file + "\"; file -save").c_str()));
  ASSERT_TRUE(MGlobal::executeCommand(("file -open \"" + file + "\"").c_str()));
}

class MeshDataEdges : public HostTest {};

TEST_F(MeshDataEdges, MeshDataTakesSetsOfItsOwnAndRefusesNodeOnlyEdits) {
  MFnMeshData dataFn;
  const MObject data = dataFn.create();
  MFnMesh mesh;
  mesh.create(4, 1, squarePoints(), ints({4}), ints({0, 1, 2, 3}), data);
  MStatus status;
  EXPECT_EQ(mesh.createUVSetDataMeshWithName("extra", &status), MString("extra"));
  EXPECT_TRUE(status);
  const MString colours = mesh.createColorSetWithNameDataMesh("clampedSet", true, &status);
  ASSERT_TRUE(status);
  MColorArray values;
  values.append(MColor(2.0f, -1.0f, 0.5f, 3.0f));
  ASSERT_TRUE(mesh.setColors(values, &colours));
  MColorArray read;
  mesh.getColors(read, &colours);
  EXPECT_EQ(read[0], MColor(1.0f, 0.0f, 0.5f, 1.0f));
  // Display colours belong to mesh nodes.
  EXPECT_FALSE(mesh.setDisplayColors(true));
  EXPECT_FALSE(mesh.displayColors());
  EXPECT_EQ(mesh.numUVSets(), 2);
  EXPECT_TRUE(mesh.deleteUVSet("map1"));
  EXPECT_EQ(mesh.currentUVSetName(), MString("extra"));
  EXPECT_FALSE(mesh.deleteUVSet("extra"));
}

TEST_F(MeshDataEdges, AFedMeshRefusesEditsThatTheNextEvaluationWouldLose) {
  run("polyCube -n box");
  MFnMesh mesh(path("box"));
  MStatus status;
  EXPECT_EQ(mesh.createUVSetWithName("extra", &status), MString());
  EXPECT_FALSE(status);
  EXPECT_FALSE(mesh.createColorSetWithName("paint", &status).length());
  run("blindDataType -id 12 -dt int -ldn tag");
  EXPECT_FALSE(mesh.setIntBlindData(0, MFn::kMeshPolygonComponent, 12, "tag", 1));
  EXPECT_TRUE(lineFails("polyBlindData -id 12 -ldn tag -ind 1 boxShape.f[0]"));
  EXPECT_EQ(run("blindDataType -q -id 12"), (std::vector<std::string>{"12"}));
  EXPECT_EQ(run("blindDataType -q -id 13"), (std::vector<std::string>{}));
}

TEST_F(MeshDataEdges, SetsTakeWholeMeshesTransformsAndFaceRangesAndLetThemGo) {
  run("polyCube -n box");
  run("createNode shadingEngine -n glass");
  run("sets -e -fe glass box.f[*]");
  EXPECT_EQ(run("sets -q glass"), (std::vector<std::string>{"boxShape.f[0:5]"}));
  EXPECT_TRUE(run("sets -q initialShadingGroup").empty());
  run("sets -e -rm glass boxShape.f[2:3]");
  EXPECT_EQ(run("sets -q glass"), (std::vector<std::string>{"boxShape.f[0:1]", "boxShape.f[4:5]"}));
  run("sets -e -fe glass box");
  EXPECT_EQ(run("sets -q glass"), (std::vector<std::string>{"boxShape"}));
  run("sets -e -rm glass boxShape");
  EXPECT_TRUE(run("sets -q glass").empty());
  // The membership flags work without -e too.
  run("sets -fe glass box.f[1]");
  run("sets -rm glass box.f[1]");
  EXPECT_TRUE(run("sets -q glass").empty());
  for (const char* bad : {"sets -e glass box", "sets -e -fe glass -in glass box", "sets -q", "sets -q time1",
                          "sets -e -fe glass box.f[9]", "sets -e -fe glass box.f[a]", "sets -e -fe glass nothing"})
    EXPECT_TRUE(lineFails(bad)) << bad;
}

TEST_F(MeshDataEdges, CurvesAndKeysSurviveSavingAndOpening) {
  run("curve -p 0 0 0 -p 1 2 3 -p 4 5 6 -n path");
  run("polyCube -n box");
  MFnAnimCurve curve;
  curve.create(plug("box", "translateX"));
  curve.addKeyframe(MTime(1.0, MTime::kFilm), 0.0);
  curve.addKeyframe(MTime(5.0, MTime::kFilm), 8.0);
  curve.addKeyframe(MTime(5.0, MTime::kFilm), 4.0);
  EXPECT_EQ(curve.numKeys(), 2u);
  EXPECT_FALSE(curve.isStatic());
  reopen();
  MFnNurbsCurve reopened(path("path"));
  EXPECT_EQ(reopened.numCVs(), 3);
  MPoint point;
  reopened.getPointAtParam(1.5, point);
  EXPECT_TRUE(point.isEquivalent(MPoint(2.5, 3.5, 4.5), 1e-12));
  run("currentTime 3");
  EXPECT_DOUBLE_EQ(plug("box", "translateX").asDouble(), 2.0);
  MFnAnimCurve again(plug("box", "translateX"));
  ASSERT_EQ(again.numKeys(), 2u);
  EXPECT_EQ(again.animCurveType(), MFnAnimCurve::kAnimCurveTL);
  double value = 0.0;
  EXPECT_TRUE(again.evaluate(MTime(0.0, MTime::kFilm), value));
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(again.time(1).as(MTime::kFilm), 5.0);
  EXPECT_EQ(again.value(1), 4.0);
  EXPECT_TRUE(MAnimUtil::isAnimated(plug("box", "translateX"), true));
  EXPECT_TRUE(MAnimUtil::isAnimated(node("box")));
  EXPECT_FALSE(MAnimUtil::isAnimated(plug("box", "translateY"), true));
}

TEST_F(MeshDataEdges, CurveAndCameraCommandsAreUndone) {
  ASSERT_TRUE(MGlobal::executeCommand("curve -p 0 0 0 -p 1 0 0 -n line", false, true));
  ASSERT_TRUE(MGlobal::executeCommand("camera -n eye", false, true));
  EXPECT_EQ(run("ls -type camera"), (std::vector<std::string>{"eyeShape"}));
  run("undo");
  run("undo");
  EXPECT_TRUE(run("ls -type camera").empty());
  EXPECT_TRUE(run("ls -type nurbsCurve").empty());
  run("redo");
  EXPECT_EQ(run("ls -type nurbsCurve"), (std::vector<std::string>{"lineShape"}));
  EXPECT_TRUE(lineFails("camera extra"));
  EXPECT_TRUE(lineFails("camera -n 9bad"));
}

TEST_F(MeshDataEdges, BadMeshTextIsRefused) {
  run("createNode mesh -n m");
  const std::string square = "setAttr m.inMesh -type \"mesh\" 4 0 0 0 1 0 0 1 1 0 0 1 0 1 4 0 1 2 3 0 ";
  run(square + "uvSets 1 map1 map1 1 0.5 0.5 4 0 0 0 -1");
  MFnMesh mesh(path("m"));
  int id = -1;
  EXPECT_TRUE(mesh.getPolygonUVid(0, 2, id));
  EXPECT_FALSE(mesh.getPolygonUVid(0, 3, id));
  for (const char* tail :
       {"uvSets 1 map1 map1 1 0.5 0.5 4 0 0 0 1", "uvSets 1 map1 other 0 0", "uvSets 0 map1", "colorSets 1 - c 0 0 0",
        "colorSets 1 c c 2 1 0 0 0 0", "blindData 1 5 tag 1 9 1", "nonsense 1"})
    EXPECT_TRUE(lineFails(square + tail)) << tail;
  run(square + "colorSets 1 c c 0 1 1 0 0 1 4 0 0 0 0 blindData 1 5 tag 1 0 3");
  EXPECT_EQ(mesh.currentColorSetName(), MString("c"));
  EXPECT_TRUE(mesh.hasBlindData(MFn::kMeshPolygonComponent, 5));
}

TEST_F(MeshDataEdges, DepthFirstWalksFollowEachBranchToItsEnd) {
  for (const char* name : {"a", "b", "c", "d"}) run(std::string("createNode meshCache -n ") + name);
  run("connectAttr a.outMesh b.inMesh");
  run("connectAttr b.outMesh c.inMesh");
  run("connectAttr a.outMesh d.inMesh");
  MItDependencyGraph walk(node("a"), MFn::kInvalid, MItDependencyGraph::kDownstream, MItDependencyGraph::kDepthFirst);
  std::vector<std::string> order;
  for (; !walk.isDone(); walk.next()) order.push_back(MFnDependencyNode(walk.currentItem()).name().asChar());
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c", "d"}));
  MItDependencyGraph breadth(node("a"), MFn::kInvalid, MItDependencyGraph::kDownstream,
                             MItDependencyGraph::kBreadthFirst);
  order.clear();
  for (; !breadth.isDone(); breadth.next()) order.push_back(MFnDependencyNode(breadth.currentItem()).name().asChar());
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "d", "c"}));
  EXPECT_EQ(breadth.rootNode(), node("a"));
  MStatus status;
  MItDependencyGraph plugLevel(node("a"), MFn::kInvalid, MItDependencyGraph::kDownstream,
                               MItDependencyGraph::kDepthFirst, MItDependencyGraph::kPlugLevel, &status);
  EXPECT_FALSE(status);
}

}  // namespace
