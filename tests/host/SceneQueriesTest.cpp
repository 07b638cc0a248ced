#include "DagSupport.h"
#include "HostFixture.h"

#include <maya/M3dView.h>
#include <maya/MAnimUtil.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnCamera.h>
#include <maya/MFnMesh.h>
#include <maya/MFnNurbsCurve.h>
#include <maya/MItDependencyGraph.h>
#include <maya/MItMeshVertex.h>

#include <cmath>

namespace {

using namespace dagtest;

constexpr double kPi = 3.14159265358979323846;

std::vector<std::string> names(MItDependencyGraph& it) {
  std::vector<std::string> result;
  for (; !it.isDone(); it.next()) result.push_back(MFnDependencyNode(it.currentItem()).name().asChar());
  return result;
}

class SceneQueries : public HostTest {};

TEST_F(SceneQueries, GraphWalksGoUpstreamOrDownstreamInBreadthOrDepthOrder) {
  // a -> b -> d and a -> c -> d, b made before c.
  for (const char* name : {"a", "b", "c", "d"}) run(std::string("createNode meshCache -n ") + name);
  run("polyCube -n box");
  run("connectAttr a.outMesh b.inMesh");
  run("connectAttr b.outMesh d.inMesh");
  run("connectAttr d.outMesh c.inMesh");
  run("disconnectAttr polyCube1.output boxShape.inMesh");
  run("connectAttr c.outMesh boxShape.inMesh");
  MItDependencyGraph up(node("boxShape"), MFn::kInvalid, MItDependencyGraph::kUpstream,
                        MItDependencyGraph::kBreadthFirst);
  EXPECT_EQ(names(up), (std::vector<std::string>{"boxShape", "c", "d", "b", "a"}));
  MItDependencyGraph meshes(node("a"), MFn::kMesh, MItDependencyGraph::kDownstream, MItDependencyGraph::kDepthFirst);
  EXPECT_EQ(names(meshes), (std::vector<std::string>{"boxShape"}));
  MStatus status;
  MItDependencyGraph none(MObject(), MFn::kInvalid, MItDependencyGraph::kUpstream, MItDependencyGraph::kBreadthFirst,
                          MItDependencyGraph::kNodeLevel, &status);
  EXPECT_FALSE(status);
  EXPECT_TRUE(none.isDone());
}

TEST_F(SceneQueries, VerticesKnowTheirFacesAndNeighbours) {
  run("polyCube -n box");
  MItMeshVertex vertex(path("box"));
  EXPECT_EQ(vertex.count(), 8);
  for (; !vertex.isDone(); vertex.next()) {
    MIntArray faces, neighbours;
    vertex.getConnectedFaces(faces);
    vertex.getConnectedVertices(neighbours);
    // A cube corner touches three faces and three edges.
    EXPECT_EQ(faces.length(), 3u);
    EXPECT_EQ(neighbours.length(), 3u);
    const MPoint p = vertex.position(MSpace::kWorld);
    EXPECT_NEAR(std::fabs(p.x) + std::fabs(p.y) + std::fabs(p.z), 1.5, 1e-12);
  }
}

TEST_F(SceneQueries, DegreeOneCurvesAreParametricPolylines) {
  run("curve -d 1 -p 0 0 0 -p 2 0 0 -p 2 4 0 -k 0 -k 1 -k 3 -n path");
  run("xform -t 0 0 5 path");
  MFnNurbsCurve curve(path("path"));
  EXPECT_EQ(curve.numCVs(), 3);
  double start = 0.0, end = 0.0;
  ASSERT_TRUE(curve.getKnotDomain(start, end));
  EXPECT_EQ(start, 0.0);
  EXPECT_EQ(end, 3.0);
  MPoint point;
  ASSERT_TRUE(curve.getPointAtParam(2.0, point, MSpace::kWorld));
  EXPECT_TRUE(point.isEquivalent(MPoint(2.0, 2.0, 5.0), 1e-12));
  ASSERT_TRUE(curve.getPointAtParam(0.5, point));
  EXPECT_TRUE(point.isEquivalent(MPoint(1.0, 0.0, 0.0), 1e-12));
  EXPECT_FALSE(curve.getPointAtParam(3.5, point));
  // Bad input makes nothing.
  for (const char* line : {"curve -d 3 -p 0 0 0 -p 1 0 0", "curve -p 0 0 0", "curve -p 0 0 0 -p 1 0 0 -k 1 -k 0",
                           "curve -p 0 0 0 -p 1 0 x"})
    EXPECT_FALSE(MGlobal::executeCommand(line)) << line;
  EXPECT_EQ(run("ls -type nurbsCurve").size(), 1u);
}

TEST_F(SceneQueries, TheActiveViewLooksThroughItsCamera) {
  MDagPath camera;
  EXPECT_FALSE(M3dView::active3dView().getCamera(camera));
  run("camera -n eye");
  run("camera -n other");
  // Turned a quarter turn about y: -z turns to -x.
  run("xform -ro 0 90 0 eye");
  ASSERT_TRUE(M3dView::active3dView().getCamera(camera));
  EXPECT_TRUE(MFnCamera(camera).viewDirection(MSpace::kWorld).isEquivalent(MVector(-1.0, 0.0, 0.0), 1e-12));
  ASSERT_TRUE(M3dView::active3dView().setCamera(path("other")));
  ASSERT_TRUE(M3dView::active3dView().getCamera(camera));
  EXPECT_EQ(MFnDagNode(camera).name(), MString("otherShape"));
  EXPECT_TRUE(MFnCamera(camera).viewDirection(MSpace::kWorld).isEquivalent(MVector(0.0, 0.0, -1.0), 1e-12));
}

TEST_F(SceneQueries, LinearKeysDrivePlugsFromTimeAndMarkThemAnimated) {
  run("polyCube -n box");
  run("group -n holder box");
  MFnAnimCurve curve;
  MStatus status;
  curve.create(plug("box", "scaleY"), &status);
  ASSERT_TRUE(status);
  EXPECT_EQ(curve.animCurveType(), MFnAnimCurve::kAnimCurveTU);
  curve.addKeyframe(MTime(1.0, MTime::kFilm), 1.0);
  curve.addKeyframe(MTime(11.0, MTime::kFilm), 3.0);
  EXPECT_EQ(curve.numKeys(), 2u);
  run("currentTime 6");
  EXPECT_DOUBLE_EQ(plug("box", "scaleY").asDouble(), 2.0);
  run("currentTime 20");
  EXPECT_DOUBLE_EQ(plug("box", "scaleY").asDouble(), 3.0);
  // A plug that already has a source gets no curve.
  curve.create(plug("box", "scaleY"), &status);
  EXPECT_FALSE(status);

  EXPECT_TRUE(MAnimUtil::isAnimated(plug("box", "scaleY")));
  EXPECT_TRUE(MAnimUtil::isAnimated(plug("box", "scale")));
  EXPECT_FALSE(MAnimUtil::isAnimated(plug("box", "scaleX")));
  EXPECT_TRUE(MAnimUtil::isAnimated(path("box")));
  EXPECT_FALSE(MAnimUtil::isAnimated(path("holder")));
  EXPECT_FALSE(MAnimUtil::isAnimated(path("boxShape")));
  EXPECT_TRUE(MAnimUtil::isAnimated(path("boxShape"), true));

  MFnAnimCurve turn;
  turn.create(plug("holder", "rotateY"), &status);
  ASSERT_TRUE(status);
  EXPECT_EQ(turn.animCurveType(), MFnAnimCurve::kAnimCurveTA);
  turn.addKeyframe(MTime(0.0, MTime::kFilm), 0.0);
  turn.addKeyframe(MTime(24.0, MTime::kFilm), kPi);
  run("currentTime 12");
  EXPECT_NEAR(plug("holder", "rotateY").asDouble(), kPi / 2.0, 1e-12);
  EXPECT_TRUE(MAnimUtil::isAnimated(plug("holder", "rotate")));
}

TEST_F(SceneQueries, AMeshCacheFeedsAShapeThroughInMesh) {
  run("polyCube -n box");
  run("createNode meshCache -n cache");
  run("connectAttr polyCube1.output cache.inMesh");
  run("disconnectAttr polyCube1.output boxShape.inMesh");
  run("connectAttr cache.outMesh boxShape.inMesh");
  EXPECT_EQ(MFnMesh(path("box")).numPolygons(), 6);
  EXPECT_TRUE(plug("boxShape", "inMesh").source().node().hasFn(MFn::kMeshCache));
  EXPECT_EQ(static_cast<int>(MFn::kMeshCache), 1000);
}

}  // namespace

namespace {

TEST_F(SceneQueries, PolyOptionsKeepsTheSelectedMeshesGeometryDisplayAndShowWindowIsOnlyRecorded) {
  run("polyCube -n a; polyCube -n b");
  // A mesh shows its geometry until told otherwise.
  run("select b");
  EXPECT_EQ(run("polyOptions -q -dg"), std::vector<std::string>{"1"});
  run("select a bShape");
  run("polyOptions -dg false");
  for (const char* mesh : {"a", "b", "bShape"}) {
    run(std::string("select ") + mesh);
    EXPECT_EQ(run("polyOptions -q -dg"), std::vector<std::string>{"0"}) << mesh;
  }
  run("select a; polyOptions -displayGeometry true");
  EXPECT_EQ(run("polyOptions -q -dg"), std::vector<std::string>{"1"});
  EXPECT_TRUE(dagtest::lineFails("polyOptions -dg maybe"));
  run("select -clear");
  EXPECT_TRUE(dagtest::lineFails("polyOptions -q -dg"));

  run("global string $window = \"someWindow\"; showWindow $window");
  const auto commands = zovhost::testing::commands();
  ASSERT_FALSE(commands.empty());
  EXPECT_TRUE(commands.back().succeeded);
}

}  // namespace
