#include "DagSupport.h"
#include "HostFixture.h"

#include <maya/MFnMesh.h>
#include <maya/MObjectArray.h>

namespace {

using namespace dagtest;

int intResult(const std::string& line) {
  int value = -1;
  EXPECT_TRUE(MGlobal::executeCommand(line.c_str(), value)) << line;
  return value;
}

std::vector<std::string> selectedNames() { return run("ls -sl"); }

class ShadingCommands : public HostTest {};

TEST_F(ShadingCommands, ALambertGivesItsColourOnAndIsListedByExactType) {
  EXPECT_EQ(run("shadingNode -asShader lambert -n paint"), (std::vector<std::string>{"paint"}));
  // The new shader is left selected.
  EXPECT_EQ(selectedNames(), (std::vector<std::string>{"paint"}));
  run("setAttr paint.color 0.25 0.5 0.75");
  float r = 0, g = 0, b = 0;
  plug("paint", "outColorR").getValue(r);
  plug("paint", "outColorG").getValue(g);
  plug("paint", "outColorB").getValue(b);
  EXPECT_EQ(r, 0.25f);
  EXPECT_EQ(g, 0.5f);
  EXPECT_EQ(b, 0.75f);
  run("createNode transform -n notAShader");
  EXPECT_EQ(run("ls -et lambert"), (std::vector<std::string>{"paint"}));
  EXPECT_TRUE(run("ls -et shadingEngine") == (std::vector<std::string>{"initialShadingGroup"}));
}

TEST_F(ShadingCommands, ATakenShaderNameIsNumberedAndBadRequestsAreRefused) {
  run("shadingNode -asShader lambert -n paint");
  EXPECT_EQ(run("shadingNode -asShader lambert -n paint"), (std::vector<std::string>{"paint1"}));
  const char* refused[] = {
      "shadingNode lambert -n plain",              // no -asShader, -asTexture or -asUtility
      "shadingNode -asShader noSuchType -n x",     // unknown type
      "shadingNode -asShader transform -n x",      // a DAG type is no rendering node
      "shadingNode -asShader lambert -n \"a b\"",  // invalid name
  };
  for (const char* line : refused) EXPECT_TRUE(lineFails(line)) << line;
  EXPECT_EQ(run("ls -et lambert").size(), 2u);
}

TEST_F(ShadingCommands, AnEmptyShadingGroupTakesTheShaderColourAndFaces) {
  run("shadingNode -asShader lambert -n paint");
  EXPECT_EQ(run("sets -renderable true -noSurfaceShader true -empty -name paintSG"),
            (std::vector<std::string>{"paintSG"}));
  runUndoable("sets -renderable true -noSurfaceShader true -empty -name paintSG");
  EXPECT_EQ(run("ls -et shadingEngine").back(), "paintSG1");
  run("connectAttr -f paint.outColor paintSG.surfaceShader");
  EXPECT_EQ(run("listConnections -d on -s off (\"paint.outColor\")"), (std::vector<std::string>{"paintSG"}));
  EXPECT_EQ(run("listConnections -d off -s on paintSG"), (std::vector<std::string>{"paint"}));
  EXPECT_TRUE(run("listConnections -d on -s off paint.color").empty());
  run("polyCube -n box");
  run("sets -e -nw -fe paintSG box.f[1] box.f[3]");
  EXPECT_EQ(run("sets -q paintSG"), (std::vector<std::string>{"boxShape.f[1]", "boxShape.f[3]"}));
  MObjectArray groups;
  MIntArray indices;
  MFnMesh(path("box")).getConnectedShaders(0, groups, indices);
  EXPECT_EQ(groups.length(), 2u);
  for (const char* line : {"sets -renderable false -empty -name x", "sets -renderable true -name x",
                           "listConnections noSuchNode", "listConnections paint.noSuchPlug"})
    EXPECT_TRUE(lineFails(line)) << line;
  // Undo takes the group away again.
  runUndoable("undo");
  EXPECT_TRUE(run("ls paintSG1").empty());
}

TEST_F(ShadingCommands, AttributeQueryAndAddAttrOnTheSelection) {
  run("shadingNode -asShader lambert -n paint");
  EXPECT_EQ(intResult("attributeQuery -node paint -ex \"cutmat\""), 0);
  // addAttr without a node acts on the selected node, which shadingNode left selected.
  run("addAttr -sn \"cm\" -ln \"cutmat\" -at \"message\" ");
  EXPECT_EQ(intResult("attributeQuery -node paint -ex \"cutmat\""), 1);
  EXPECT_EQ(intResult("attributeQuery -node paint -ex cm"), 1);
  EXPECT_EQ(intResult("attributeQuery -node paint -exists color"), 1);
  run("select -clear");
  EXPECT_TRUE(selectedNames().empty());
  EXPECT_TRUE(lineFails("addAttr -ln other -at message"));
  EXPECT_TRUE(lineFails("attributeQuery -node noSuchNode -ex cutmat"));
  EXPECT_TRUE(lineFails("attributeQuery -ex cutmat"));
}

TEST_F(ShadingCommands, ABlindDataTypeIsQueriedAsTheListOfItsId) {
  EXPECT_TRUE(run("blindDataType -q -id 70111001").empty());
  run("blindDataType -id 70111001 -dataType \"int\" -longDataName \"zovCutFace\" -shortDataName \"zcut\"");
  MIntArray ids;
  ASSERT_TRUE(MGlobal::executeCommand("blindDataType -q -id 70111001", ids));
  ASSERT_EQ(ids.length(), 1u);
  EXPECT_EQ(ids[0], 70111001);
  // A second definition of the same id is refused.
  EXPECT_TRUE(lineFails("blindDataType -id 70111001 -dataType \"int\" -longDataName \"zovCutFace\""));
}

}  // namespace
