#include "DagSupport.h"
#include "HostFixture.h"

#include <maya/MFloatArray.h>
#include <maya/MFnComponentListData.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnEnumAttribute.h>
#include <maya/MFnMesh.h>
#include <maya/MFnSingleIndexedComponent.h>
#include <maya/MItSelectionList.h>
#include <maya/MPxNode.h>

namespace {

using namespace dagtest;

class MeshHistory : public HostTest {
 protected:
  /// A 2 x 2 x 2 cube "box" without history.
  static void makeBox() {
    run("polyCube -w 2 -h 2 -d 2 -n box");
    run("disconnectAttr polyCube1.output boxShape.inMesh");
  }
  static MPoint pointOf(const std::string& mesh, int vertex) {
    MPoint p;
    MFnMesh(path(mesh)).getPoint(vertex, p);
    return p;
  }
};

TEST_F(MeshHistory, EveryNodeHasAStateThatHasNoEffectAtOne) {
  makeBox();
  run("createNode groupParts -n parts");
  for (const char* name : {"box", "boxShape", "parts", "time1"}) {
    const MPlug state(node(name), MPxNode::state);
    ASSERT_FALSE(state.isNull()) << name;
    EXPECT_EQ(state.asShort(), 0) << name;
  }
  run("setAttr parts.nodeState 1");
  EXPECT_EQ(plug("parts", "nodeState").asShort(), 1);
  EXPECT_EQ(MFnEnumAttribute(MPxNode::state).fieldName(1), MString("hasNoEffect"));
}

TEST_F(MeshHistory, TweaksAddToWhatReachesTheMeshAndATweakNodeAddsItsOwn) {
  makeBox();
  const MPoint corner = pointOf("box", 2);
  run("setAttr boxShape.pnts[2] 0.25 0 0");
  EXPECT_EQ(pointOf("box", 2), corner + MVector(0.25, 0.0, 0.0));
  // An edit keeps the tweak on top of the new mesh.
  MFnMesh(path("box")).setPoint(2, corner + MVector(0.0, 1.0, 0.0));
  EXPECT_EQ(pointOf("box", 2), corner + MVector(0.0, 1.0, 0.0));
  EXPECT_FLOAT_EQ(plug("boxShape", "pnts").elementByLogicalIndex(2).child(0).asFloat(), 0.25f);

  run("polyCube -w 2 -h 2 -d 2 -n shown; createNode polyTweak -n tweak");
  run("disconnectAttr polyCube2.output shownShape.inMesh");
  run("connectAttr boxShape.outMesh tweak.inputPolymesh; connectAttr tweak.output shownShape.inMesh");
  run("setAttr tweak.tweak[2] 0 0 1; setAttr shownShape.pnts[2] 0 2 0");
  EXPECT_EQ(pointOf("shown", 2), pointOf("box", 2) + MVector(0.0, 2.0, 1.0));
}

TEST_F(MeshHistory, VertexNormalsOfAMeshWithHistoryComeThroughANormalNodeThatDeletionTakesOutAgain) {
  makeBox();
  run("polyCube -w 2 -h 2 -d 2 -n shown");
  MVectorArray normals;
  normals.append(MVector(0.0, 0.0, 1.0));
  ASSERT_TRUE(MFnMesh(path("shown")).setVertexNormals(normals, ints({0})));
  MObject edit = plug("shownShape", "inMesh").source().node();
  ASSERT_EQ(edit.apiType(), MFn::kPolyNormalPerVertex);
  MFnMesh shown(path("shown"));
  for (int face = 0; face < shown.numPolygons(); ++face) {
    MIntArray corners;
    shown.getPolygonVertices(face, corners);
    for (unsigned int k = 0; k < corners.length(); ++k) {
      if (corners[k] != 0) continue;
      MVector n;
      shown.getFaceVertexNormal(face, 0, n);
      EXPECT_EQ(n, MVector(0.0, 0.0, 1.0)) << face;
    }
  }
  // A second edit uses the same node; deleting it joins the history again.
  ASSERT_TRUE(MFnMesh(path("shown")).setVertexNormals(normals, ints({1})));
  EXPECT_TRUE(plug("shownShape", "inMesh").source().node() == edit);
  ASSERT_TRUE(MGlobal::deleteNode(edit));
  EXPECT_EQ(plug("shownShape", "inMesh").source().name(), MString("polyCube2.output"));

  // Without history the mesh holds its normals itself; unlocking gives a
  // corner its polygon's normal back.
  MFnMesh box(path("box"));
  ASSERT_TRUE(box.setVertexNormals(normals, ints({0})));
  EXPECT_FALSE(plug("boxShape", "inMesh").isDestination());
  MIntArray corners;
  box.getPolygonVertices(0, corners);
  MVector n, own;
  ASSERT_TRUE(box.unlockFaceVertexNormals(ints({0}), ints({corners[0]})));
  box.getFaceVertexNormal(0, corners[0], n);
  box.getPolygonNormal(0, own);
  EXPECT_EQ(n, own);
}

TEST_F(MeshHistory, SomeUVsChangeAndTheOthersStay) {
  makeBox();
  MFnMesh box(path("box"));
  MFloatArray u, v;
  box.getUVs(u, v);
  ASSERT_GT(u.length(), 3u);
  MFloatArray newU, newV;
  newU.append(0.125f);
  newV.append(0.75f);
  ASSERT_TRUE(box.setSomeUVs(ints({2}), newU, newV));
  MFloatArray afterU, afterV;
  box.getUVs(afterU, afterV);
  for (unsigned int i = 0; i < u.length(); ++i) {
    EXPECT_EQ(afterU[i], i == 2 ? 0.125f : u[i]) << i;
    EXPECT_EQ(afterV[i], i == 2 ? 0.75f : v[i]) << i;
  }
  EXPECT_FALSE(box.setSomeUVs(ints({static_cast<int>(u.length())}), newU, newV));
  EXPECT_FALSE(box.setSomeUVs(ints({1, 2}), newU, newV));
}

TEST_F(MeshHistory, BlindDataOnAListOfFacesLinksTheTypeToTheMesh) {
  makeBox();
  run("blindDataType -id 70 -dt \"int\" -ldn \"tag\" -sdn \"tg\"");
  MFnMesh box(path("box"));
  ASSERT_TRUE(box.setIntBlindData(ints({1, 3}), MFn::kMeshPolygonComponent, 70, "tag", 7));
  ASSERT_TRUE(box.setIntBlindData(ints({4, 5}), MFn::kMeshPolygonComponent, 70, "tg", ints({1, 2})));
  const int expected[] = {-1, 7, -1, 7, 1, 2};
  for (int f = 0; f < 6; ++f) {
    int value = -1;
    box.getIntBlindData(f, MFn::kMeshPolygonComponent, 70, "tag", value);
    EXPECT_EQ(value, expected[f]) << f;
  }
  EXPECT_FALSE(box.setIntBlindData(ints({1, 9}), MFn::kMeshPolygonComponent, 70, "tag", 1));
  const MPlug link = plug("boxShape", "blindDataNodes").elementByLogicalIndex(0);
  ASSERT_FALSE(link.source().isNull());
  EXPECT_EQ(link.source().node().apiType(), MFn::kBlindDataTemplate);
  EXPECT_EQ(plug("boxShape", "blindDataNodes").numElements(), 1u);
  // The values travel with the mesh through connections.
  run("polyCube -n shown; disconnectAttr polyCube2.output shownShape.inMesh");
  run("connectAttr boxShape.outMesh shownShape.inMesh");
  int value = 0;
  MFnMesh(path("shown")).getIntBlindData(5, MFn::kMeshPolygonComponent, 70, "tag", value);
  EXPECT_EQ(value, 2);
}

TEST_F(MeshHistory, ADuplicateIsACopyUnderANewTransformThatCanBeIntermediate) {
  makeBox();
  run("setAttr boxShape.pnts[0] 0 0 3");
  MObject copy = MFnDagNode(node("boxShape")).duplicate();
  ASSERT_TRUE(copy.hasFn(MFn::kTransform));
  const MObject shape = MFnDagNode(copy).child(0);
  ASSERT_TRUE(shape.hasFn(MFn::kMesh));
  MDagPath copyPath;
  MDagPath::getAPathTo(shape, copyPath);
  MPoint p;
  MFnMesh(copyPath).getPoint(0, p);
  EXPECT_EQ(p, pointOf("box", 0));
  // It is a copy: changing one leaves the other.
  MFnMesh(copyPath).setPoint(1, MPoint(9, 9, 9));
  EXPECT_NE(pointOf("box", 1), MPoint(9, 9, 9));
  MFnDagNode(shape).setIntermediateObject(true);
  EXPECT_TRUE(MFnDagNode(shape).isIntermediateObject());
}

TEST_F(MeshHistory, FacesAndEdgesCanBeSelectedAndListedAsComponents) {
  makeBox();
  run("select box.f[3] box.e[0:2]");
  MSelectionList selection;
  MGlobal::getActiveSelectionList(selection);
  std::vector<std::pair<MFn::Type, int>> seen;
  for (MItSelectionList it(selection, MFn::kMesh); !it.isDone(); it.next()) {
    MDagPath p;
    MObject component;
    ASSERT_TRUE(it.getDagPath(p, component));
    EXPECT_TRUE(p.node() == node("boxShape"));
    seen.emplace_back(component.apiType(), MFnSingleIndexedComponent(component).elementCount());
  }
  EXPECT_EQ(seen,
            (std::vector<std::pair<MFn::Type, int>>{{MFn::kMeshPolygonComponent, 1}, {MFn::kMeshEdgeComponent, 3}}));
  MStringArray names;
  selection.getSelectionStrings(names);
  EXPECT_EQ(names[0], MString("boxShape.f[3]"));
  for (const char* bad : {"select box.f[x]", "select box.q[1]", "select box.f[3:1]"})
    EXPECT_TRUE(lineFails(bad)) << bad;

  MFnComponentListData list;
  const MObject data = list.create();
  MFnSingleIndexedComponent faces;
  const MObject component = faces.create(MFn::kMeshPolygonComponent);
  faces.addElements(ints({4, 2, 4}));
  ASSERT_TRUE(list.add(component));
  EXPECT_FALSE(list.add(data));
  EXPECT_EQ(list.length(), 1u);
  EXPECT_TRUE(list.has(component));
  MIntArray elements;
  MFnSingleIndexedComponent(list[0]).getElements(elements);
  EXPECT_EQ(elements.length(), 2u);
  EXPECT_TRUE(MFnSingleIndexedComponent().create(MFn::kMesh).isNull());
}

TEST_F(MeshHistory, HistoryRecordingEvaluationAndDeletionOfHistory) {
  EXPECT_EQ(dagtest::run("constructionHistory -q -tgl"), std::vector<std::string>{"1"});
  run("constructionHistory -tgl off");
  EXPECT_EQ(dagtest::run("constructionHistory -q -tgl"), std::vector<std::string>{"0"});
  run("constructionHistory -tgl on");
  EXPECT_TRUE(lineFails("constructionHistory -tgl maybe"));

  // dgeval pulls a value through its connection, which the plug keeps.
  makeBox();
  run("polyCube -w 4 -h 4 -d 4 -n big; createNode transform -n holder; createNode mesh -n heldShape -p holder");
  run("connectAttr bigShape.outMesh heldShape.inMesh");
  run("dgeval -src heldShape.inMesh");
  run("disconnectAttr bigShape.outMesh heldShape.inMesh");
  EXPECT_EQ(MFnMesh(path("holder")).numPolygons(), 6);
  EXPECT_NEAR(pointOf("holder", 0).x, -2.0, 1e-6);
  EXPECT_TRUE(lineFails("dgeval -src nothing.inMesh"));

  // delete -ch keeps the shape and takes its history, intermediate shapes included.
  run("createNode groupParts -n parts; connectAttr boxShape.outMesh parts.inputGeometry");
  run("disconnectAttr polyCube2.output bigShape.inMesh; connectAttr parts.outputGeometry bigShape.inMesh");
  MObject copy = MFnDagNode(node("boxShape")).duplicate();
  const MObject copyShape = MFnDagNode(copy).child(0);
  MFnDagNode(copyShape).setIntermediateObject(true);
  const std::string copyName = MFnDependencyNode(copyShape).name().asChar();
  run("disconnectAttr boxShape.outMesh parts.inputGeometry");
  run("connectAttr " + copyName + ".outMesh parts.inputGeometry");
  run("setAttr bigShape.pnts[0] 0 1 0");
  const MPoint before = pointOf("big", 0);
  dagtest::runUndoable("delete -ch big");
  EXPECT_FALSE(plug("bigShape", "inMesh").isDestination());
  EXPECT_TRUE(node("parts").isNull());
  EXPECT_TRUE(node(copyName).isNull());
  EXPECT_FALSE(node("boxShape").isNull());
  EXPECT_EQ(pointOf("big", 0), before);
  run("undo");
  EXPECT_TRUE(plug("bigShape", "inMesh").isDestination());
  EXPECT_FALSE(node(copyName).isNull());
}

}  // namespace
