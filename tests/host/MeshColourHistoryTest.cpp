// Colour sets taken away, the colour nodes that older scenes put into a
// mesh's history, and the dialog and refresh lines the module queues.
#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MSelectionList.h>
#include <maya/MStringArray.h>

#include <string>

#include "HostFixture.h"
#include "support/HostLookups.h"

namespace {

using zovhost::testing::commands;

class MeshColourHistory : public HostTest {
 protected:
  static MObject node(const char* name) { return zovtest::nodeNamed(name); }
  static MDagPath path(const char* name) {
    MDagPath found;
    MDagPath::getAPathTo(node(name), found);
    return found;
  }
  static bool ran(const std::string& line) {
    for (const auto& command : commands())
      if (command.line == line) return true;
    return false;
  }
};

TEST_F(MeshColourHistory, AColourSetGoesAndTheCurrentOneMovesToTheFirstLeft) {
  ASSERT_TRUE(MGlobal::executeCommand("polyCube -n box; disconnectAttr polyCube1.output boxShape.inMesh"));
  MFnMesh mesh(path("boxShape"));
  ASSERT_EQ(mesh.numVertices(), 8);
  const MString first = mesh.createColorSetWithName("first");
  const MString second = mesh.createColorSetWithName("second");
  const MString third = mesh.createColorSetWithName("third");
  ASSERT_TRUE(mesh.setCurrentColorSetName(second));
  EXPECT_EQ(mesh.deleteColorSet("missing"), MS::kInvalidParameter);
  ASSERT_TRUE(mesh.deleteColorSet(first));
  EXPECT_EQ(mesh.currentColorSetName(), second);
  ASSERT_TRUE(mesh.deleteColorSet(second));
  EXPECT_EQ(mesh.currentColorSetName(), third);
  ASSERT_TRUE(mesh.deleteColorSet(third));
  EXPECT_EQ(mesh.numColorSets(), 0);
  EXPECT_EQ(mesh.currentColorSetName(), MString());
  EXPECT_EQ(mesh.numVertices(), 8);
}

TEST_F(MeshColourHistory, ColourNodesHandTheMeshOnAndAnswerTheirFunctionTypes) {
  ASSERT_TRUE(
      MGlobal::executeCommand("polyCube -n box; createNode polyColorSet -n set; "
                              "createNode polyColorPerVertex -n paint"));
  ASSERT_TRUE(
      MGlobal::executeCommand("connectAttr polyCube1.output set.inputPolymesh; "
                              "connectAttr set.output paint.inputPolymesh; "
                              "connectAttr -f paint.output boxShape.inMesh"));
  EXPECT_EQ(static_cast<int>(node("paint").apiType()), 730);
  EXPECT_EQ(static_cast<int>(node("set").apiType()), 731);
  EXPECT_TRUE(node("paint").hasFn(MFn::kDependencyNode));
  EXPECT_EQ(MFnMesh(path("boxShape")).numVertices(), 8);
  EXPECT_EQ(MFnMesh(path("boxShape")).numPolygons(), 6);
}

TEST_F(MeshColourHistory, ADialogQueuedForIdleRunsAndIsRecordedWhenTheHostIsIdle) {
  const std::string dialog =
      "confirmDialog -title \"Info\" -button \"OK\" -defaultButton \"OK\" -message \"Something happened \"";
  MGlobal::executeCommandOnIdle(dialog.c_str());
  MGlobal::executeCommandOnIdle("refresh -force;");
  EXPECT_FALSE(ran(dialog));
  EXPECT_EQ(zovhost::testing::flushIdleQueue(), 2u);
  EXPECT_TRUE(ran(dialog));
  EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Info, "Info: Something happened "));
  bool refreshed = false;
  for (const auto& command : commands())
    refreshed = refreshed || (command.line.rfind("refresh -force", 0) == 0 && command.succeeded);
  EXPECT_TRUE(refreshed);
}

}  // namespace
