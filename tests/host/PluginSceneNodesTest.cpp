// The host's node kinds that the module's commands and callbacks meet: NURBS
// surfaces, the host's own rigid bodies, the nodes of a mesh's history, the
// fields that scripts make, and a selected transform reaching its shape.
#include "HostFixture.h"
#include "support/HostLookups.h"

#include <maya/MDGMessage.h>
#include <maya/MDagPath.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MItSelectionList.h>
#include <maya/MSelectionList.h>
#include <maya/MStringArray.h>

#include <string>
#include <utility>
#include <vector>

namespace {

class SceneNodes : public HostTest {
 protected:
  /// Runs a line that must succeed; answers the first word of its result.
  static MString run(const std::string& line) {
    MStringArray result;
    EXPECT_TRUE(MGlobal::executeCommand(line.c_str(), result, false, true)) << line;
    return result.length() > 0 ? result[0] : MString();
  }
  static MObject node(const std::string& name) { return zovtest::nodeNamed(name); }
};

TEST_F(SceneNodes, SurfacesAndRigidBodiesAreShapesOfTheirOwnKind) {
  run("createNode nurbsSurface -n plateShape");
  const MObject surface = node("plateShape");
  ASSERT_FALSE(surface.isNull());
  EXPECT_EQ(surface.apiType(), MFn::kNurbsSurface);
  EXPECT_EQ(static_cast<int>(MFn::kNurbsSurface), 294);
  EXPECT_TRUE(surface.hasFn(MFn::kGeometric) && surface.hasFn(MFn::kShape));
  // A shape made alone gets a transform above it.
  EXPECT_EQ(MFnDagNode(surface).parentCount(), 1u);
  EXPECT_TRUE(MFnDagNode(surface).parent(0).hasFn(MFn::kTransform));

  run("polyCube -n cube");
  run("createNode rigidBody -p cube -n cubeRigid");
  const MObject rigid = node("cubeRigid");
  EXPECT_EQ(MFnDependencyNode(rigid).typeName(), MString("rigidBody"));
  EXPECT_TRUE(rigid.hasFn(MFn::kShape));
  EXPECT_FALSE(rigid.hasFn(MFn::kGeometric));
  EXPECT_TRUE(MFnDagNode(rigid).parent(0) == node("cube"));
}

TEST_F(SceneNodes, HistoryNodesHandTheMeshOnAndAnswerTheirTypes) {
  // Each kind: its type name, its function-set type, its input and output.
  const struct {
    const char* type;
    int fn;
    const char* input;
    const char* output;
  } kinds[] = {{"groupParts", 355, "inputGeometry", "outputGeometry"},
               {"polyModifier", 429, "inputPolymesh", "output"},
               {"polyMeshCopy", 753, "inMesh", "outMesh"},
               {"polyNormalPerVertex", 754, "inputPolymesh", "output"},
               {"polyTweak", static_cast<int>(MFn::kPolyTweak), "inputPolymesh", "output"}};
  run("polyCube -n source");
  std::string upstream = "sourceShape.outMesh";
  std::vector<std::string> names;
  for (const auto& kind : kinds) {
    const std::string name = run(std::string("createNode ") + kind.type).asChar();
    EXPECT_EQ(static_cast<int>(node(name).apiType()), kind.fn) << kind.type;
    run("connectAttr " + upstream + " " + name + "." + kind.input);
    upstream = name + "." + kind.output;
  }
  // A mesh at the end of the chain holds the source's cube.
  const MObject transform = MFnMesh().create(0, 0, MPointArray(), MIntArray(), MIntArray());
  const MObject mesh = MFnDagNode(transform).child(0);
  run("connectAttr " + upstream + " " + MFnDependencyNode(mesh).name().str() + ".inMesh");
  EXPECT_EQ(MFnMesh(mesh).numPolygons(), 6);
  EXPECT_EQ(MFnMesh(mesh).numVertices(), 8);
}

TEST_F(SceneNodes, SelectedTransformsReachTheirShapeThroughAShapeFilter) {
  run("polyCube -n cube");
  run("createNode camera -n viewShape");
  // A transform whose first mesh is an intermediate object reaches the
  // mesh after it.
  run("polyCube -n twin");
  run("polyCube -n other");
  run("parent -s -r otherShape twin");
  MFnDagNode(node("twinShape")).setIntermediateObject(true);
  MSelectionList list;
  for (const char* name : {"cube", "camera1", "twin"}) ASSERT_TRUE(list.add(name)) << name;

  std::vector<std::pair<std::string, MFn::Type>> seen;
  for (MItSelectionList it(list, MFn::kGeometric); !it.isDone(); it.next()) {
    MDagPath path;
    MObject item;
    ASSERT_TRUE(it.getDagPath(path));
    ASSERT_TRUE(it.getDependNode(item));
    EXPECT_TRUE(path.node() == item);
    seen.emplace_back(path.fullPathName().asChar(), path.apiType());
  }
  const std::vector<std::pair<std::string, MFn::Type>> expected = {{"|cube|cubeShape", MFn::kMesh},
                                                                   {"|twin|otherShape", MFn::kMesh}};
  EXPECT_EQ(seen, expected);
}

TEST_F(SceneNodes, FieldsMadeByScriptsAreSeenByNodeAddedCallbacks) {
  std::vector<std::pair<std::string, MFn::Type>> added;
  const MCallbackId id = MDGMessage::addNodeAddedCallback(
      [](MObject& node, void* data) {
        if (node.hasFn(MFn::kField))
          static_cast<std::vector<std::pair<std::string, MFn::Type>>*>(data)->emplace_back(
              MFnDependencyNode(node).name().asChar(), node.apiType());
      },
      "dependNode", &added);
  run("gravity -n pull");
  run("uniform");
  MMessage::removeCallback(id);
  const std::vector<std::pair<std::string, MFn::Type>> expected = {{"pull", MFn::kGravity},
                                                                   {"uniformField1", MFn::kUniform}};
  EXPECT_EQ(added, expected);
}

}  // namespace
