#include <maya/MFnMeshData.h>

#include <cmath>
#include <map>

#include "CommandFixture.h"
#include "RoughenSupport.h"

namespace {

using meshtest::pathOf;

/// The mesh operation node "op" fed by the cube "cube" (no history).
class MeshOperations : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    meshtest::makeCube("cube", 2.0);
    run("createNode zovMeshOpNode -n op");
    run("connectAttr cubeShape.outMesh op.inMesh");
  }
  static MObject cubeMesh() { return MFnDependencyNode(node("cubeShape")).findPlug("outMesh").asMObject(); }
  static MObject output() { return MPlug(node("op"), zovMeshOpNode::outMesh).asMObject(); }
  static zovMeshOpNode* operationNode() {
    return static_cast<zovMeshOpNode*>(MFnDependencyNode(node("op")).userNode());
  }
  /// Every point selected, moving along +x.
  static void selectAllAlongX() {
    for (int v = 0; v < 8; ++v) {
      run("setAttr op.versel[" + std::to_string(v) + "] 1");
      run("setAttr op.normals[" + std::to_string(v) + "] 1 0 0");
    }
  }
  static bool samePoints(const MObject& a, const MObject& b) {
    const MPointArray pa = roughtest::pointsOf(a), pb = roughtest::pointsOf(b);
    if (pa.length() != pb.length() || MFnMesh(a).numPolygons() != MFnMesh(b).numPolygons()) return false;
    for (unsigned int i = 0; i < pa.length(); ++i)
      if (!(pa[i] == pb[i])) return false;
    return true;
  }
};

TEST_F(MeshOperations, TagsGoOnTheCutFacesAndZeroOnTheFacesBetweenThemOnly) {
  // A strip of ten quads.
  MPointArray points;
  for (int i = 0; i <= 10; ++i) {
    points.append(MPoint(i, 0, 0));
    points.append(MPoint(i, 1, 0));
  }
  MIntArray counts, corners;
  for (int i = 0; i < 10; ++i) {
    counts.append(4);
    for (int c : {2 * i, 2 * i + 2, 2 * i + 3, 2 * i + 1}) corners.append(c);
  }
  MObject data = MFnMeshData().create();
  MFnMesh().create(22, 10, points, counts, corners, data);
  zovMeshOpNode* op = operationNode();
  op->cutFaces = meshtest::ints({3, 7});
  op->cutFaceValues = meshtest::ints({1, 1});
  ASSERT_TRUE(op->tagCutFaces(data));
  MFnMesh mesh(data);
  for (int f = 0; f < 10; ++f) {
    int value = -1;
    const bool has = static_cast<bool>(
        mesh.getIntBlindData(f, MFn::kMeshPolygonComponent, kCutFaceBlindDataId, kCutFaceAttribute, value));
    EXPECT_EQ(has, f < 8) << f;
    if (f < 8) {
      EXPECT_EQ(value, (f == 3 || f == 7) ? 1 : 0) << f;
    }
  }
  op->cutFaces.clear();
  EXPECT_FALSE(op->tagCutFaces(data));
}

TEST_F(MeshOperations, NoiseMovesNothingWithoutSelectionOrLengthAndFollowsItsFormulaOtherwise) {
  const MObject input = cubeMesh();
  run("setAttr op.operationType 3");
  for (int v = 0; v < 8; ++v) run("setAttr op.versel[" + std::to_string(v) + "] 0");
  EXPECT_TRUE(samePoints(output(), input));
  selectAllAlongX();
  run("setAttr op.lenght 0; setAttr op.amplitude 2");
  EXPECT_TRUE(samePoints(output(), input));

  // Settings other than the amplitude compute nothing by themselves...
  const double s = 0.7, a = 0.5, f = 3.0, l = 0.01;
  run("setAttr op.scale 0.7; setAttr op.lenght 0.01; setAttr op.frequency 3; setAttr op.center 0.1 0.2 0.3");
  EXPECT_TRUE(samePoints(output(), input));
  // ...until the amplitude changes, when every current value is used.
  run("setAttr op.amplitude 0.5");
  const MPointArray before = roughtest::pointsOf(input), after = roughtest::pointsOf(output());
  ASSERT_EQ(after.length(), before.length());
  const MVector c(0.1f, 0.2f, 0.3f);
  for (unsigned int i = 0; i < before.length(); ++i) {
    const MVector d = MVector(before[i]) - c;
    const MVector refA(50.0 * l, 0.0, 0.0), refB(0.0, 50.0 * l, 0.0);
    const double m = std::max((d - refA) * (d - refA), (d - refB) * (d - refB));
    const double expected = before[i].x + l * a * static_cast<float>(std::sin(f * M_PI * s * m));
    EXPECT_NEAR(after[i].x, expected, 1e-6) << i;
    EXPECT_EQ(after[i].y, before[i].y) << i;
  }
}

TEST_F(MeshOperations, ANodeWithoutEffectAndEveryOtherOperationHandTheInputOn) {
  const MObject input = cubeMesh();
  selectAllAlongX();
  run("setAttr op.lenght 0.1");
  run("setAttr op.nodeState 1");
  for (int operation : {0, 1, 2, 3}) {
    run("setAttr op.operationType " + std::to_string(operation));
    EXPECT_TRUE(samePoints(output(), input)) << operation;
  }
  run("setAttr op.nodeState 0");
  // Operation 2 has no behaviour; it hands the mesh on rather than losing it.
  run("setAttr op.operationType 2");
  EXPECT_TRUE(samePoints(output(), input));
  EXPECT_EQ(MFnMesh(output()).numPolygons(), 6);
}

TEST_F(MeshOperations, SubdivisionKeepsTheKindOfEachCutFaceAndAFailedOneHandsTheInputOn) {
  meshtest::makeCutFaceType();
  meshtest::tagFace(pathOf("cube"), 0, 1);
  meshtest::tagFace(pathOf("cube"), 1, 2);
  run("setAttr op.operationType 1; setAttr op.operationIter 1");
  const MObject made = output();
  MFnMesh mesh(made);
  // Face 0 becomes four faces tagged 1; face 1 stays whole and keeps 2.
  ASSERT_EQ(mesh.numPolygons(), 9);
  std::map<int, int> kinds;
  for (int f = 0; f < 9; ++f) {
    int value = 0;
    mesh.getIntBlindData(f, MFn::kMeshPolygonComponent, kCutFaceBlindDataId, kCutFaceAttribute, value);
    ++kinds[value];
  }
  EXPECT_EQ(kinds[1], 4);
  EXPECT_EQ(kinds[2], 1);
  EXPECT_EQ(kinds[0], 4);

  // A lone triangle, not subdivided, cannot come back as a mesh: the node
  // hands it on.
  run("setAttr op.operationIter 0");
  MPointArray points;
  points.append(MPoint(0, 0, 0));
  points.append(MPoint(1, 0, 0));
  points.append(MPoint(0, 1, 0));
  MFnMesh triangle;
  triangle.create(3, 1, points, meshtest::ints({3}), meshtest::ints({0, 1, 2}));
  meshtest::tagFace(triangle.dagPath(), 0, 1);
  run("disconnectAttr cubeShape.outMesh op.inMesh");
  run("connectAttr " + std::string(triangle.name().asChar()) + ".outMesh op.inMesh");
  EXPECT_EQ(MFnMesh(output()).numPolygons(), 1);
  EXPECT_EQ(MFnMesh(output()).numVertices(), 3);
}

TEST_F(MeshOperations, ASelectedPointWithoutADirectionStaysWhereItIs) {
  const MObject input = cubeMesh();
  run("setAttr op.operationType 3; setAttr op.lenght 0.1");
  for (int v = 0; v < 8; ++v) run("setAttr op.versel[" + std::to_string(v) + "] 1");
  run("setAttr op.normals[0] 0 0 1");
  run("setAttr op.amplitude 3");
  const MPointArray before = roughtest::pointsOf(input), after = roughtest::pointsOf(output());
  for (unsigned int i = 1; i < before.length(); ++i) EXPECT_EQ(after[i], before[i]) << i;
}

}  // namespace
