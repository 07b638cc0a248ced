#include <maya/MObjectArray.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "CommandFixture.h"
#include "RoughenSupport.h"
#include "src/shatter/modifiers/tesselateFacesCmd.h"

namespace {

using meshtest::pathOf;
using shattertest::childrenOf;

/// What undo must give back of the mesh "box".
struct MeshState {
  std::vector<MPoint> points;
  std::vector<std::vector<float>> tweaks;
  std::vector<std::string> shading;
  std::vector<int> tags;
  bool operator==(const MeshState& other) const {
    return points == other.points && tweaks == other.tweaks && shading == other.shading && tags == other.tags;
  }
};

MeshState stateOf(const std::string& name) {
  MeshState state;
  const MDagPath mesh = pathOf(name);
  MPointArray points;
  MFnMesh(mesh).getPoints(points);
  for (unsigned int i = 0; i < points.length(); ++i) state.points.push_back(points[i]);
  const MPlug tweaks = MFnDependencyNode(mesh.node()).findPlug("pnts");
  for (unsigned int i = 0; i < tweaks.numElements(); ++i) {
    const MPlug element = tweaks.elementByPhysicalIndex(i);
    state.tweaks.push_back({static_cast<float>(element.logicalIndex()), element.child(0).asFloat(),
                            element.child(1).asFloat(), element.child(2).asFloat()});
  }
  MObjectArray groups;
  MIntArray indices;
  MFnMesh(mesh).getConnectedShaders(0, groups, indices);
  for (unsigned int f = 0; f < indices.length(); ++f)
    state.shading.push_back(indices[f] < 0 ? "" : MFnDependencyNode(groups[indices[f]]).name().asChar());
  state.tags = roughtest::tagsOf(mesh);
  return state;
}

/// The plugs that driver.translateZ feeds, by name.
std::vector<std::string> driverFeeds() {
  MPlugArray driven;
  MFnDependencyNode(pathOf("driver", false).node()).findPlug("translateZ").connectedTo(driven, false, true);
  std::vector<std::string> names;
  for (unsigned int i = 0; i < driven.length(); ++i) names.push_back(driven[i].name().asChar());
  return names;
}

bool hasPoint(const MeshState& state, const MPoint& point) {
  for (const MPoint& p : state.points)
    if (p.distanceTo(point) < 1e-6) return true;
  return false;
}

/// A subdivision whose second node cannot be made: its type is unknown
/// once the first is made.
class SecondNodeFails : public tesselateFacesCmd {
 public:
  MStatus initModifierNode(MObject node) override {
    first = node;
    const MStatus status = tesselateFacesCmd::initModifierNode(node);
    setNodeType(MTypeId(0x7FFF0));
    return status;
  }
  MObject first;
};

class ModifierFramework : public CommandTest {
 protected:
  /// The cube "box" (fed by "src" when `history`), face 0 cut, faces 1 to 5
  /// in setA and face 0 in setB, vertex 2 tweaked by 0.1 along x.
  void makeBox(bool history) {
    meshtest::makeCutFaceType();
    meshtest::makeCube("box", 2.0);
    if (history) {
      meshtest::makeCube("src", 2.0);
      meshtest::tagFace(pathOf("src"), 0, 1);
      run("createNode groupParts -n parts");
      run("connectAttr srcShape.outMesh parts.inputGeometry");
      run("connectAttr parts.outputGeometry boxShape.inMesh");
      run("setAttr src.visibility 0");
    } else {
      meshtest::tagFace(pathOf("box"), 0, 1);
    }
    run("sets -renderable true -empty -n setA; sets -renderable true -empty -n setB");
    run("sets -e -fe setA box.f[1:5]; sets -e -fe setB box.f[0]");
    run("setAttr boxShape.pnts[2] 0.1 0 0");
    MPoint p;
    MFnMesh(pathOf("box")).getPoint(2, p);
    tweaked = p;
  }
  std::unique_ptr<tesselateFacesCmd> subdivider() {
    auto command = std::make_unique<tesselateFacesCmd>();
    command->setMeshPath(pathOf("box", false));
    command->setNodeType(zovMeshOpNode::id);
    command->setOperation(zovMeshOpNode::kSubdivideFaces, 0, 1);
    return command;
  }
  MPoint tweaked;
};

TEST_F(ModifierFramework, UndoAndRedoGiveBackPointsTweaksShadingAndTagsInEveryCase) {
  const struct {
    const char* name;
    bool history;
    bool recording;
    int faces;
  } cases[] = {{"with history", true, true, 9}, {"without history", false, true, 9}, {"direct", false, false, 21}};
  for (const auto& c : cases) {
    zovhost::testing::resetScene();
    run(std::string("constructionHistory -tgl ") + (c.recording ? "on" : "off"));
    makeBox(c.history);
    const MeshState before = stateOf("box");
    auto command = subdivider();
    ASSERT_TRUE(command->applyModifier()) << c.name;
    EXPECT_EQ(command->hasHistory(), c.history) << c.name;
    EXPECT_TRUE(command->hasTweaks()) << c.name;
    const MeshState after = stateOf("box");
    EXPECT_EQ(static_cast<int>(after.shading.size()), c.faces) << c.name;
    // The tweak applies once.
    EXPECT_TRUE(hasPoint(after, tweaked)) << c.name;
    EXPECT_FALSE(hasPoint(after, tweaked + MVector(0.1, 0.0, 0.0))) << c.name;
    int cut = 0;
    for (size_t f = 0; f < after.tags.size(); ++f) {
      cut += after.tags[f] == 1;
      EXPECT_EQ(after.shading[f], after.tags[f] == 1 ? "setB" : "setA") << c.name << " " << f;
    }
    EXPECT_EQ(cut, c.faces - 5) << c.name;
    EXPECT_EQ(!roughtest::meshOpChain(pathOf("box")).empty(), c.recording || c.history) << c.name;

    ASSERT_TRUE(command->undoModifier()) << c.name;
    EXPECT_TRUE(stateOf("box") == before) << c.name;
    EXPECT_TRUE(nodesOfType("zovMeshOpNode").empty()) << c.name;
    ASSERT_TRUE(command->redoModifier()) << c.name;
    EXPECT_TRUE(stateOf("box") == after) << c.name;
    ASSERT_TRUE(command->undoModifier()) << c.name;
    EXPECT_TRUE(stateOf("box") == before) << c.name;
    // Nothing of the change is left in the scene.
    EXPECT_EQ(childrenOf("box").size(), 1u) << c.name;
    EXPECT_TRUE(nodesOfType("polyTweak").empty()) << c.name;
  }
  run("constructionHistory -tgl on");
}

TEST_F(ModifierFramework, AMeshWithoutHistoryIsFedByAnIntermediateCopyThatTakesItsBlindDataNode) {
  makeBox(false);
  MPlug links = MFnDependencyNode(node("boxShape")).findPlug("blindDataNodes");
  const MObject type = links.elementByLogicalIndex(0).source().node();
  ASSERT_FALSE(type.isNull());
  auto command = subdivider();
  ASSERT_TRUE(command->applyModifier());
  const std::vector<std::string> shapes = childrenOf("box");
  ASSERT_EQ(shapes.size(), 2u);
  const MObject copy = node(shapes[1]);
  EXPECT_TRUE(MFnDagNode(copy).isIntermediateObject());
  EXPECT_TRUE(feeds(shapes[1] + ".outMesh", nodesOfType("polyTweak")[0] + ".inputPolymesh"));
  EXPECT_TRUE(links.elementByLogicalIndex(0).source().isNull());
  EXPECT_TRUE(MFnDependencyNode(copy).findPlug("blindDataNodes").elementByLogicalIndex(0).source().node() == type);
  // The copy's own transform is gone.
  EXPECT_EQ(nodesOfType("transform"), std::vector<std::string>{"box"});
}

TEST_F(ModifierFramework, ConnectedTweaksMoveToTheTweakNodeAndFacesOfOneSetGoInOneCommand) {
  makeBox(true);
  run("createNode transform -n driver; createNode transform -n driven");
  run("setAttr driver.translateZ 0.25");
  run("connectAttr driver.translateZ boxShape.pnts[2].pntsz");
  run("connectAttr boxShape.pnts[2].pntsx driven.translateX");
  zovhost::testing::clearLogs();
  auto command = subdivider();
  ASSERT_TRUE(command->applyModifier());
  const std::string tweak = nodesOfType("polyTweak")[0];
  EXPECT_EQ(driverFeeds(), std::vector<std::string>{tweak + ".tweak[2].tweakz"});
  EXPECT_TRUE(feeds(tweak + ".tweak[2].tweakx", "driven.translateX"));
  // setA's five faces come in one command.
  int setALines = 0;
  for (const auto& line : zovhost::testing::commands())
    if (line.line.rfind("sets -e  -fe \"setA\"", 0) == 0) {
      ++setALines;
      EXPECT_EQ(std::count(line.line.begin(), line.line.end(), '['), 5) << line.line;
    }
  EXPECT_EQ(setALines, 1);
  ASSERT_TRUE(command->undoModifier());
  EXPECT_EQ(driverFeeds(), std::vector<std::string>{"boxShape.pnts[2].pntsz"});
  EXPECT_TRUE(feeds("boxShape.pnts[2].pntsx", "driven.translateX"));
}

TEST_F(ModifierFramework, ANodeTypeWithoutMeshPlugsStopsTheChangeBeforeAnythingIsConnected) {
  makeBox(false);
  const MeshState before = stateOf("box");
  tesselateFacesCmd command;
  command.setMeshPath(pathOf("box"));
  command.setNodeType(MString("groupParts"));
  EXPECT_FALSE(command.applyModifier());
  EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Error,
                                           "Invalid Modifier Node: inMesh and outMesh attributes are required."));
  EXPECT_TRUE(stateOf("box") == before);
  EXPECT_TRUE(nodesOfType("groupParts").empty());
  EXPECT_FALSE(MFnDependencyNode(node("boxShape")).findPlug("inMesh").isDestination());
  tesselateFacesCmd nothing;
  EXPECT_FALSE(nothing.applyModifier());
}

TEST_F(ModifierFramework, ASecondNodeThatCannotBeMadeTakesTheFirstBack) {
  for (const bool history : {true, false}) {
    zovhost::testing::resetScene();
    makeBox(history);
    const MeshState before = stateOf("box");
    const std::vector<std::string> upstream = nodesOfType("groupParts");
    SecondNodeFails command;
    command.setMeshPath(pathOf("box", false));
    command.setNodeType(zovMeshOpNode::id);
    command.setOperation(zovMeshOpNode::kSubdivideFaces, 0, 1);
    EXPECT_FALSE(command.applyModifier()) << history;
    ASSERT_FALSE(command.first.isNull()) << history;
    // The first node made is gone with everything it did to the mesh's sets.
    EXPECT_TRUE(nodesOfType("zovMeshOpNode").empty()) << history;
    EXPECT_TRUE(stateOf("box") == before) << history;
    EXPECT_EQ(nodesOfType("groupParts"), upstream) << history;
    EXPECT_EQ(MFnDependencyNode(node("boxShape")).findPlug("inMesh").isDestination(), history) << history;
    EXPECT_EQ(childrenOf("box").size(), 1u) << history;
  }
}

}  // namespace
