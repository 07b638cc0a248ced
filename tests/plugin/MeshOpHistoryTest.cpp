#include <maya/MDataBlock.h>
#include <maya/MDataHandle.h>
#include <maya/MFnPlugin.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MPxNode.h>

#include <string>
#include <vector>

#include "CommandFixture.h"
#include "src/meshes/meshOpHistory.h"
#include "testing/HostTesting.h"

namespace {

/// A node of another plug-in that hands a mesh on.
template <int Tag>
class PassMeshNode : public MPxNode {
 public:
  static void* creator() { return new PassMeshNode; }
  static MStatus initialize() {
    MFnTypedAttribute typed;
    inMesh = typed.create("inMesh", "im", MFnData::kMesh);
    outMesh = typed.create("outMesh", "om", MFnData::kMesh);
    typed.setWritable(false);
    typed.setStorable(false);
    addAttribute(inMesh);
    addAttribute(outMesh);
    attributeAffects(inMesh, outMesh);
    return MS::kSuccess;
  }
  MStatus compute(const MPlug& plug, MDataBlock& block) override {
    if (plug != outMesh) return MS::kUnknownParameter;
    block.outputValue(outMesh).set(block.inputValue(inMesh).data());
    block.setClean(plug);
    return MS::kSuccess;
  }
  static MObject inMesh;
  static MObject outMesh;
};
template <int Tag>
MObject PassMeshNode<Tag>::inMesh;
template <int Tag>
MObject PassMeshNode<Tag>::outMesh;

class MeshOpHistory : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    MFnPlugin plugin(zovhost::testing::pluginObject());
    ASSERT_TRUE(
        plugin.registerNode("otherMeshOp", MTypeId(0x7E57), PassMeshNode<1>::creator, PassMeshNode<1>::initialize));
  }

  /// The input and output plug names of each kind of node in the chains.
  static std::pair<std::string, std::string> plugsOf(const std::string& type) {
    if (type == "groupParts") return {"inputGeometry", "outputGeometry"};
    if (type == "polyNormalPerVertex" || type == "polyModifier") return {"inputPolymesh", "output"};
    return {"inMesh", "outMesh"};
  }

  /// A cube without history fed through nodes of the types, the first the
  /// farthest upstream; a type of "-" leaves the input of the node below it
  /// unconnected. Answers the cube's mesh.
  static MObject meshFedBy(const std::vector<std::string>& chain) {
    run("polyCube -n source; polyCube -n shown");
    run("disconnectAttr polyCube2.output shownShape.inMesh");
    std::string upstream = "sourceShape.outMesh";
    for (const std::string& type : chain) {
      if (type == "-") {
        upstream.clear();
        continue;
      }
      MString name;
      MGlobal::executeCommand(("createNode " + type).c_str(), name);
      const auto plugs = plugsOf(type);
      if (!upstream.empty()) run("connectAttr " + upstream + " " + name.asChar() + "." + plugs.first);
      upstream = std::string(name.asChar()) + "." + plugs.second;
    }
    if (!upstream.empty()) run("connectAttr " + upstream + " shownShape.inMesh");
    return node("shownShape");
  }
};

TEST_F(MeshOpHistory, TheWalkFindsTheOperationNodeOnlyThroughTheNodesItKnows) {
  const struct {
    const char* name;
    std::vector<std::string> chain;
    bool found;
  } cases[] = {
      {"operation node alone", {"zovMeshOpNode"}, true},
      {"component groups in a row", {"zovMeshOpNode", "groupParts", "groupParts"}, true},
      {"a group with nothing fed in", {"zovMeshOpNode", "-", "groupParts"}, false},
      {"normals, copy, group", {"zovMeshOpNode", "groupParts", "polyMeshCopy", "polyNormalPerVertex"}, true},
      {"normals straight on the operation", {"zovMeshOpNode", "polyNormalPerVertex"}, true},
      {"a copy fed by no group", {"zovMeshOpNode", "polyMeshCopy", "polyNormalPerVertex"}, false},
      {"another plug-in's node", {"otherMeshOp"}, false},
      {"another plug-in's node in between", {"zovMeshOpNode", "otherMeshOp"}, false},
      {"a polygon edit in between", {"zovMeshOpNode", "polyModifier"}, false},
      {"no input", {"-"}, false},
  };
  for (const auto& c : cases) {
    zovhost::testing::resetScene();
    const MObject mesh = meshFedBy(c.chain);
    const MObject found = findMeshOpNode(mesh);
    EXPECT_EQ(hasMeshOpHistory(mesh), c.found) << c.name;
    EXPECT_EQ(!found.isNull(), c.found) << c.name;
    if (c.found) {
      EXPECT_EQ(MFnDependencyNode(found).typeName(), MString("zovMeshOpNode")) << c.name;
    }
  }
  EXPECT_TRUE(findMeshOpNode(MObject()).isNull());
}

TEST_F(MeshOpHistory, ARoughenedMeshsBodyGoesOnTheMeshItIsMadeFrom) {
  meshFedBy({"zovMeshOpNode", "groupParts"});
  run("setAttr shown.translate 3 4 0");
  run("playbackOptions -min 1 -max 24; zovSolver");
  std::vector<std::string> result;
  ASSERT_TRUE(runs("new_ZOVBody shown", &result));
  EXPECT_EQ(result, std::vector<std::string>{"sourceZovBody"});
  EXPECT_TRUE(feeds("sourceShape.worldMesh[0]", "sourceZovBodyShape.inShape"));
  EXPECT_EQ(getDouble("sourceZovBody.isJaggy"), 1.0);
  HardBody* body = bodyNode("sourceZovBody").engineBody(true);
  ASSERT_NE(body, nullptr);
  EXPECT_TRUE(body->hasJagginess());
  // The source starts where the roughened mesh is seen.
  EXPECT_DOUBLE_EQ(getDouble("source.translateX"), 3.0);
  EXPECT_DOUBLE_EQ(getDouble("source.translateY"), 4.0);
}

}  // namespace
