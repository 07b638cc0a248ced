#include "DagSupport.h"
#include "HostFixture.h"
#include "support/ScratchFile.h"

#include <maya/MFnMesh.h>
#include <maya/MItMeshPolygon.h>

namespace {

using namespace dagtest;

constexpr int kTagId = 4242;

/// Two unit quads side by side, as a mesh node under a new transform "strip".
MDagPath makeStrip() {
  MPointArray points;
  for (double y : {0.0, 1.0})
    for (double x : {0.0, 1.0, 2.0}) points.append(MPoint(x, y, 0.0));
  MFnMesh fn;
  const MObject transform = fn.create(6, 2, points, ints({4, 4}), ints({0, 1, 4, 3, 1, 2, 5, 4}));
  MFnDependencyNode(transform).setName("strip");
  return path("strip");
}

std::string shapeName(const MDagPath& mesh) { return MFnMesh(mesh).name().asChar(); }

class MeshChannels : public HostTest {};

TEST_F(MeshChannels, UVSetsAreNamedCreatedRenamedAndAssignedPerCorner) {
  MFnMesh mesh(makeStrip());
  EXPECT_EQ(mesh.numUVSets(), 1);
  EXPECT_EQ(mesh.currentUVSetName(), MString("map1"));
  EXPECT_EQ(mesh.numUVs(), 0);
  int id = 0;
  EXPECT_FALSE(mesh.getPolygonUVid(0, 0, id));

  MStatus status;
  EXPECT_EQ(mesh.createUVSetWithName("map1", &status), MString("map2"));
  EXPECT_EQ(mesh.createUVSetWithName("bad name", &status), MString());
  EXPECT_FALSE(status);
  EXPECT_TRUE(mesh.renameUVSet("map1", "base"));
  EXPECT_EQ(mesh.currentUVSetName(), MString("base"));
  EXPECT_FALSE(mesh.renameUVSet("base", "map2"));

  // Six UVs on the six points; the second set shares nothing with the first.
  MFloatArray u, v;
  for (int i = 0; i < 6; ++i) {
    u.append(static_cast<float>(i % 3) / 2.0f);
    v.append(static_cast<float>(i / 3));
  }
  ASSERT_TRUE(mesh.setUVs(u, v));
  ASSERT_TRUE(mesh.assignUVs(ints({4, 4}), ints({0, 1, 4, 3, 1, 2, 5, 4})));
  EXPECT_FALSE(mesh.assignUVs(ints({4, 4}), ints({0, 1, 4, 3, 1, 2, 5, 9})));
  const MString second("map2");
  EXPECT_TRUE(mesh.setUVs(u, v, &second));
  EXPECT_TRUE(mesh.assignUVs(ints({0, 4}), ints({5, 4, 3, 2}), &second));

  MItMeshPolygon polygon(mesh.dagPath());
  polygon.next();
  ASSERT_TRUE(polygon.getUVIndex(2, id));
  EXPECT_EQ(id, 5);
  ASSERT_TRUE(polygon.getUVIndex(0, id, &second));
  EXPECT_EQ(id, 5);
  polygon.reset();
  EXPECT_FALSE(polygon.getUVIndex(0, id, &second));
  EXPECT_FALSE(polygon.hasUVs(second));
  float uv[2];
  ASSERT_TRUE(polygon.getUV(2, uv));
  EXPECT_FLOAT_EQ(uv[0], 0.5f);
  EXPECT_FLOAT_EQ(uv[1], 1.0f);

  // Fewer UVs drop the corners that pointed past them.
  u.setLength(2);
  v.setLength(2);
  ASSERT_TRUE(mesh.setUVs(u, v));
  EXPECT_FALSE(mesh.getPolygonUVid(0, 2, id));
  EXPECT_TRUE(mesh.getPolygonUVid(0, 1, id));
}

TEST_F(MeshChannels, ColourSetsHoldColoursAndCornerIds) {
  MFnMesh mesh(makeStrip());
  EXPECT_EQ(mesh.numColorSets(), 0);
  EXPECT_EQ(mesh.currentColorSetName(), MString());
  const MString set = mesh.createColorSetWithName("colorSet1");
  ASSERT_EQ(set, MString("colorSet1"));
  ASSERT_TRUE(mesh.setCurrentColorSetName(set));
  MColorArray colors;
  colors.append(MColor(1.0f, 0.0f, 0.0f));
  colors.append(MColor(0.0f, 0.0f, 1.0f, 0.5f));
  ASSERT_TRUE(mesh.setColors(colors));
  EXPECT_FALSE(mesh.assignColors(ints({0, 1})));
  ASSERT_TRUE(mesh.assignColors(ints({0, 0, 0, 0, 1, 1, 1, -1})));
  EXPECT_EQ(mesh.numColors(), 2);
  int index = -1;
  EXPECT_TRUE(mesh.getColorIndex(1, 0, index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(mesh.getColorIndex(1, 3, index));
  MColorArray perCorner;
  const MColor unset(0.5f, 0.5f, 0.5f);
  mesh.getColors(perCorner, nullptr, &unset);
  ASSERT_EQ(perCorner.length(), 8u);
  EXPECT_EQ(perCorner[4], MColor(0.0f, 0.0f, 1.0f, 0.5f));
  EXPECT_EQ(perCorner[7], unset);
  EXPECT_TRUE(mesh.setDisplayColors(true));
  EXPECT_TRUE(mesh.displayColors());
}

TEST_F(MeshChannels, FaceBlindDataNeedsItsTypeAndIsUndone) {
  const MDagPath strip = makeStrip();
  const std::string shape = shapeName(strip);
  MFnMesh mesh(strip);
  const std::string tag = "polyBlindData -id " + std::to_string(kTagId) + " -at \"face\" -ldn \"tag\" -ind 2 ";
  // Without the type the command changes nothing.
  EXPECT_FALSE(MGlobal::executeCommand((tag + shape + ".f[1]").c_str()));
  EXPECT_FALSE(mesh.hasBlindData(MFn::kMeshPolygonComponent));
  run("blindDataType -id " + std::to_string(kTagId) + " -dt \"int\" -ldn \"tag\" -sdn \"tg\"");
  EXPECT_TRUE(mesh.isBlindDataTypeUsed(kTagId));
  EXPECT_FALSE(
      MGlobal::executeCommand(("blindDataType -id " + std::to_string(kTagId) + " -dt int -ldn other").c_str()));
  EXPECT_FALSE(MGlobal::executeCommand("blindDataType -id 7 -dt \"double\" -ldn d"));

  runUndoable(tag + shape + ".f[1]");
  int value = 0;
  EXPECT_TRUE(mesh.hasBlindData(MFn::kMeshPolygonComponent, kTagId));
  EXPECT_FALSE(mesh.hasBlindData(MFn::kMeshPolygonComponent, kTagId + 1));
  EXPECT_FALSE(mesh.getIntBlindData(0, MFn::kMeshPolygonComponent, kTagId, "tag", value));
  ASSERT_TRUE(mesh.getIntBlindData(1, MFn::kMeshPolygonComponent, kTagId, "tg", value));
  EXPECT_EQ(value, 2);
  EXPECT_FALSE(mesh.getIntBlindData(1, MFn::kMeshPolygonComponent, kTagId, "nope", value));

  // Bad input: a face that is not there, a vertex association, no value.
  EXPECT_FALSE(MGlobal::executeCommand((tag + shape + ".f[5]").c_str()));
  EXPECT_FALSE(MGlobal::executeCommand(
      ("polyBlindData -id " + std::to_string(kTagId) + " -at vertex -ldn tag -ind 1 " + shape + ".f[0]").c_str()));
  EXPECT_FALSE(MGlobal::executeCommand(
      ("polyBlindData -id " + std::to_string(kTagId) + " -ldn tag " + shape + ".f[0]").c_str()));
  run("undo");
  EXPECT_FALSE(mesh.hasBlindData(MFn::kMeshPolygonComponent, kTagId));
  ASSERT_TRUE(mesh.setIntBlindData(0, MFn::kMeshPolygonComponent, kTagId, "tag", 7));
  ASSERT_TRUE(mesh.getIntBlindData(0, MFn::kMeshPolygonComponent, kTagId, "tag", value));
  EXPECT_EQ(value, 7);
}

TEST_F(MeshChannels, FacesBelongToOneShadingGroupAtATime) {
  const MDagPath strip = makeStrip();
  const std::string shape = shapeName(strip);
  run("createNode shadingEngine -n red");
  run("createNode shadingEngine -n blue");
  MFnMesh mesh(strip);
  MObjectArray shaders;
  MIntArray indices;
  mesh.getConnectedShaders(0, shaders, indices);
  EXPECT_EQ(shaders.length(), 0u);
  EXPECT_EQ(indices[0], -1);

  run("sets -e -nw -fe initialShadingGroup " + shape);
  run("sets -e -nw -fe red " + shape + ".f[1]");
  mesh.getConnectedShaders(0, shaders, indices);
  ASSERT_EQ(shaders.length(), 2u);
  EXPECT_EQ(MFnDependencyNode(shaders[static_cast<unsigned int>(indices[0])]).name(), MString("initialShadingGroup"));
  EXPECT_EQ(MFnDependencyNode(shaders[static_cast<unsigned int>(indices[1])]).name(), MString("red"));
  EXPECT_EQ(run("sets -q red"), (std::vector<std::string>{shape + ".f[1]"}));
  EXPECT_EQ(run("sets -q initialShadingGroup"), (std::vector<std::string>{shape + ".f[0]"}));

  // Include leaves faces that another group holds; force takes them.
  zovhost::testing::clearLogs();
  run("sets -e -in blue " + shape + ".f[0:1]");
  EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Warning, "already in another shading group"));
  EXPECT_TRUE(run("sets -q blue").empty());
  runUndoable("sets -e -fe blue " + shape + ".f[0:1]");
  EXPECT_EQ(run("sets -q blue"), (std::vector<std::string>{shape + ".f[0:1]"}));
  EXPECT_TRUE(run("sets -q red").empty());
  run("undo");
  EXPECT_EQ(run("sets -q red"), (std::vector<std::string>{shape + ".f[1]"}));

  // Bad input changes nothing.
  EXPECT_FALSE(MGlobal::executeCommand(("sets -e -fe nothing " + shape).c_str()));
  EXPECT_FALSE(MGlobal::executeCommand(("sets -e -fe red " + shape + ".f[2]").c_str()));
  EXPECT_FALSE(MGlobal::executeCommand("sets -e -fe red time1"));
  EXPECT_EQ(run("sets -q red"), (std::vector<std::string>{shape + ".f[1]"}));
}

TEST_F(MeshChannels, PrimitivesHaveUVsOnEveryCornerAndTheDefaultGroup) {
  for (const char* line : {"polyCube -sx 2", "polyPlane -sx 3 -sy 2", "polyCylinder -sc 2", "polyCylinder -sc 0",
                           "polySphere -sa 6 -sh 4"}) {
    const std::string transform = run(line).front();
    MFnMesh mesh(path(transform));
    MFloatArray u, v;
    mesh.getUVs(u, v);
    ASSERT_GT(u.length(), 0u) << line;
    for (unsigned int i = 0; i < u.length(); ++i) {
      EXPECT_TRUE(u[i] >= 0.0f && u[i] <= 1.0f && v[i] >= 0.0f && v[i] <= 1.0f) << line;
    }
    for (MItMeshPolygon polygon(mesh.dagPath()); !polygon.isDone(); polygon.next())
      EXPECT_TRUE(polygon.hasUVs("map1")) << line << " polygon " << polygon.index();
    MObjectArray shaders;
    MIntArray indices;
    mesh.getConnectedShaders(0, shaders, indices);
    ASSERT_EQ(shaders.length(), 1u) << line;
    EXPECT_EQ(MFnDependencyNode(shaders[0]).name(), MString("initialShadingGroup"));
  }
}

TEST_F(MeshChannels, UVsColoursBlindDataAndMembershipSurviveSavingAndOpening) {
  const MDagPath strip = makeStrip();
  const std::string shape = shapeName(strip);
  MFnMesh mesh(strip);
  MFloatArray u(3, 0.25f), v(3, 0.75f);
  mesh.setUVs(u, v);
  mesh.assignUVs(ints({0, 4}), ints({0, 1, 2, 1}));
  mesh.createUVSetWithName("second");
  mesh.createColorSetWithName("paint");
  mesh.setCurrentColorSetName("paint");
  MColorArray colors;
  colors.append(MColor(0.1f, 0.2f, 0.3f, 0.4f));
  mesh.setColors(colors);
  mesh.assignColors(ints({0, -1, -1, -1, -1, -1, -1, 0}));
  run("blindDataType -id " + std::to_string(kTagId) + " -dt int -ldn tag");
  run("polyBlindData -id " + std::to_string(kTagId) + " -at face -ldn tag -ind 1 " + shape + ".f[1]");
  run("createNode shadingEngine -n red");
  run("sets -e -fe red " + shape + ".f[0]");
  run("createNode file -n tex");
  run("uvLink -uvSet " + shape + ".uvSet[1].uvSetName -texture tex");

  const zovtest::ScratchFile scratch{"zovhost_channels_", ".zsc"};
  const std::string& file = scratch.path;
  ASSERT_TRUE(MGlobal::executeCommand(("file -rename \"" + file + "\"; file -save").c_str()));
  ASSERT_TRUE(MGlobal::executeCommand(("file -open \"" + file + "\"").c_str()));

  MFnMesh reopened(path(shape));
  MStringArray uvSets;
  reopened.getUVSetNames(uvSets);
  ASSERT_EQ(uvSets.length(), 2u);
  EXPECT_EQ(uvSets[1], MString("second"));
  int id = 0;
  ASSERT_TRUE(reopened.getPolygonUVid(1, 3, id));
  EXPECT_EQ(id, 1);
  EXPECT_FALSE(reopened.getPolygonUVid(0, 0, id));
  EXPECT_EQ(reopened.currentColorSetName(), MString("paint"));
  MColorArray read;
  reopened.getColors(read);
  ASSERT_EQ(read.length(), 1u);
  EXPECT_EQ(read[0], MColor(0.1f, 0.2f, 0.3f, 0.4f));
  ASSERT_TRUE(reopened.getColorIndex(1, 3, id));
  EXPECT_EQ(id, 0);
  int value = 0;
  ASSERT_TRUE(reopened.getIntBlindData(1, MFn::kMeshPolygonComponent, kTagId, "tag", value));
  EXPECT_EQ(value, 1);
  EXPECT_EQ(run("sets -q red"), (std::vector<std::string>{shape + ".f[0]"}));
  EXPECT_EQ(run("uvLink -q -uvSet " + shape + ".uvSet[1].uvSetName"), (std::vector<std::string>{"tex"}));
}

TEST_F(MeshChannels, UVLinksJoinAMeshUVSetToTextures) {
  const std::string shape = shapeName(makeStrip());
  run("createNode file -n wood");
  run("createNode checker -n squares");
  run("uvLink -uvSet " + shape + ".uvSet[0].uvSetName -texture wood");
  run("uvLink -uvSet " + shape + ".uvSet[0].uvSetName -texture squares");
  run("uvLink -uvSet " + shape + ".uvSet[0].uvSetName -texture wood");
  EXPECT_EQ(run("uvLink -query -uvSet " + shape + ".uvSet[0].uvSetName"),
            (std::vector<std::string>{"wood", "squares"}));
  EXPECT_TRUE(run("uvLink -query -uvSet " + shape + ".uvSet[5].uvSetName").empty());
  // A set the mesh does not have, or something that is not a texture.
  EXPECT_FALSE(MGlobal::executeCommand(("uvLink -uvSet " + shape + ".uvSet[1].uvSetName -texture wood").c_str()));
  EXPECT_FALSE(MGlobal::executeCommand(("uvLink -uvSet " + shape + ".uvSet[0].uvSetName -texture time1").c_str()));
  EXPECT_FALSE(MGlobal::executeCommand("uvLink -uvSet time1.outTime -texture wood"));
}

TEST_F(MeshChannels, CentrePivotsPutsThePivotsInTheMiddleWithoutMovingTheMesh) {
  const MDagPath strip = makeStrip();
  run("xform -t 5 0 0 strip");
  run("xform -cp strip");
  const std::vector<double> pivot = dagtest::runNumbers("xform -q -ws -piv strip");
  ASSERT_GE(pivot.size(), 3u);
  EXPECT_NEAR(pivot[0], 6.0, 1e-12);
  EXPECT_NEAR(pivot[1], 0.5, 1e-12);
  EXPECT_NEAR(pivot[2], 0.0, 1e-12);
  MPoint first;
  MFnMesh(strip).getPoint(0, first, MSpace::kWorld);
  EXPECT_TRUE(first.isEquivalent(MPoint(5.0, 0.0, 0.0), 1e-12));
}

}  // namespace
