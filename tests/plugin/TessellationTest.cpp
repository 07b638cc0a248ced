#include <maya/MArgList.h>
#include <maya/MFnComponentListData.h>
#include <maya/MFnSingleIndexedComponent.h>
#include <maya/MObjectArray.h>

#include <string>

#include "CommandFixture.h"
#include "RoughenSupport.h"
#include "src/shatter/modifiers/tesselateFacesCmd.h"

namespace {

using meshtest::pathOf;
using namespace zovhost::testing;

class Tessellation : public CommandTest {
 protected:
  /// The cube "box": face 0 cut and in setB, the others in setA.
  void makeBox() {
    meshtest::makeCutFaceType();
    meshtest::makeCube("box", 2.0);
    meshtest::tagFace(pathOf("box"), 0, 1);
    run("sets -renderable true -empty -n setA; sets -renderable true -empty -n setB");
    run("sets -e -fe setA box.f[1:5]; sets -e -fe setB box.f[0]");
  }
  void TearDown() override {
    MGlobal::executeCommand("constructionHistory -tgl on");
    CommandTest::TearDown();
  }
};

TEST_F(Tessellation, TheDirectPathSubdividesCutFacesTwiceWhateverWasAskedAndKeepsEachFaceInItsSet) {
  makeBox();
  run("constructionHistory -tgl off");
  tesselateFacesCmd command;
  command.setMeshPath(pathOf("box"));
  command.setNodeType(zovMeshOpNode::id);
  command.setOperation(5, 1, 7);
  ASSERT_TRUE(command.applyModifier());
  EXPECT_TRUE(nodesOfType("zovMeshOpNode").empty());
  // Twice: the cut quad becomes 4 x 4 quads.
  MFnMesh mesh(pathOf("box"));
  ASSERT_EQ(mesh.numPolygons(), 5 + 16);
  MObjectArray groups;
  MIntArray indices;
  mesh.getConnectedShaders(0, groups, indices);
  for (int f = 0; f < mesh.numPolygons(); ++f) {
    const std::string group = MFnDependencyNode(groups[static_cast<unsigned int>(indices[f])]).name().asChar();
    EXPECT_EQ(group, meshtest::tagOf(pathOf("box"), f) == 1 ? "setB" : "setA") << f;
  }
}

TEST_F(Tessellation, AsACommandItTakesTheSelectedFacesAndRefusesOtherComponentsAndMissingArguments) {
  makeBox();
  {
    run("select box.e[1]");
    tesselateFacesCmd command;
    EXPECT_FALSE(command.doIt(MArgList().addArg(1)));
    EXPECT_TRUE(hasMessage(MessageKind::Error, "meshOp command failed: Unable to find selected components"));
  }
  {
    testing::internal::CaptureStderr();
    tesselateFacesCmd command;
    EXPECT_FALSE(command.doIt(MArgList()));
    const std::string usage = testing::internal::GetCapturedStderr();
    EXPECT_NE(usage.find("Expecting one parameter: the operation type.\nValid types are: \n"), std::string::npos);
    EXPECT_NE(usage.find("   0 - Subdivide edge(s).\n"), std::string::npos);
    EXPECT_NE(usage.find("   8 - Split face(s).\n"), std::string::npos);
    EXPECT_TRUE(hasMessage(MessageKind::Error, " Expecting one parameter: the operation type."));
  }
  run("select box.f[0]");
  tesselateFacesCmd command;
  command.setNodeType(zovMeshOpNode::id);
  ASSERT_TRUE(command.doIt(MArgList().addArg(1)));
  const std::vector<MObject> chain = roughtest::meshOpChain(pathOf("box"));
  ASSERT_EQ(chain.size(), 2u);
  MFnComponentListData list(MPlug(chain[1], zovMeshOpNode::inputComponents).asMObject());
  ASSERT_EQ(list.length(), 1u);
  MIntArray faces;
  MFnSingleIndexedComponent(list[0]).getElements(faces);
  EXPECT_EQ(faces.length(), 1u);
  EXPECT_TRUE(command.undoIt());
  EXPECT_TRUE(nodesOfType("zovMeshOpNode").empty());
  EXPECT_TRUE(command.redoIt());
  EXPECT_EQ(roughtest::meshOpChain(pathOf("box")).size(), 2u);
}

}  // namespace
