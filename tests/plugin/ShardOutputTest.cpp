#include <maya/MFloatArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MObjectArray.h>

#include <map>
#include <set>

#include "MeshTestSupport.h"
#include "PluginFixture.h"
#include "src/engineMeshOutput.h"
#include "src/meshConversion.h"
#include "src/shardOutput.h"
#include "src/shardParts.h"

namespace {

using meshtest::ints;
using meshtest::MeshPtr;
using meshtest::pathOf;
using zovhost::testing::commands;

const MStringArray kNoLinks[kLinkedUVSets];

/// The shading group of every polygon of a mesh, by name ("" for none).
std::vector<std::string> groupsOf(const MDagPath& mesh) {
  MObjectArray shaders;
  MIntArray indices;
  getMeshShaders(mesh, shaders, indices);
  std::vector<std::string> names;
  for (unsigned int i = 0; i < indices.length(); ++i)
    names.push_back(indices[i] < 0 ? ""
                                   : MFnDependencyNode(shaders[static_cast<unsigned int>(indices[i])]).name().asChar());
  return names;
}

MDagPath shapeBelow(const MObject& transform) {
  MDagPath path;
  MDagPath::getAPathTo(transform, path);
  path.extendToShape();
  return path;
}

size_t commandsContaining(const std::string& text) {
  size_t count = 0;
  for (const auto& command : commands())
    if (command.line.find(text) != std::string::npos) ++count;
  return count;
}

/// A cube with UVs, a colour set, faces 0 to 2 in "red" and 3 to 5 in "blue",
/// and cut tags 1 on face 1 and 2 on face 4.
void makeSourceCube() {
  meshtest::makeCube("source", 2.0);
  const MDagPath cube = pathOf("source");
  MFnMesh host(cube);
  const MString set = host.createColorSetWithName("paint");
  host.setCurrentColorSetName(set);
  MColorArray colours;
  for (int i = 0; i < 8; ++i) colours.append(MColor(i / 8.0f, 0.5f, 1.0f - i / 8.0f));
  host.setColors(colours, &set);
  MIntArray counts, corners;
  host.getVertices(counts, corners);
  host.assignColors(corners, &set);
  for (const char* line : {"createNode shadingEngine -n red", "createNode shadingEngine -n blue",
                           "sets -e -fe red source.f[0:2]", "sets -e -fe blue source.f[3:5]"})
    EXPECT_TRUE(MGlobal::executeCommand(line)) << line;
  meshtest::makeCutFaceType();
  meshtest::tagFace(cube, 1, 1);
  meshtest::tagFace(cube, 4, 2);
}

class ShardOutput : public PluginTest {};

TEST_F(ShardOutput, HostToEngineToHostKeepsPointsUVsColoursShadingAndTags) {
  makeSourceCube();
  const MDagPath source = pathOf("source");
  MObjectArray shaders;
  MIntArray shaderIndices;
  ASSERT_TRUE(getMeshShaders(source, shaders, shaderIndices));
  MFnMesh host(source);
  MStringArray names;
  MeshPtr engine(mayaMeshToEngineMesh(host, shaderIndices, names, "paint"));
  ASSERT_TRUE(engine);
  MObject parent;
  ASSERT_TRUE(createShardMeshes(engine.get(), false, true, "", shaders, names, kNoLinks, &parent));
  ASSERT_FALSE(parent.isNull());
  const MDagPath made = shapeBelow(parent);
  MFnMesh copy(made);
  ASSERT_EQ(copy.numPolygons(), 6);
  EXPECT_TRUE(copy.displayColors());
  EXPECT_EQ(groupsOf(made), groupsOf(source));
  MPointArray before, after;
  host.getPoints(before, MSpace::kWorld);
  copy.getPoints(after, MSpace::kWorld);
  ASSERT_EQ(before.length(), after.length());
  for (unsigned int i = 0; i < before.length(); ++i) EXPECT_TRUE(before[i].isEquivalent(after[i], 1e-6));
  MColorArray colourBefore, colourAfter;
  const MColor none(-1.0f, -1.0f, -1.0f);
  host.getColors(colourBefore, nullptr, &none);
  copy.getColors(colourAfter, nullptr, &none);
  ASSERT_EQ(colourBefore.length(), colourAfter.length());
  for (int p = 0; p < 6; ++p) {
    EXPECT_EQ(meshtest::tagOf(made, p), meshtest::tagOf(source, p)) << p;
    for (int k = 0; k < 4; ++k) {
      float u0, v0, u1, v1;
      ASSERT_TRUE(host.getPolygonUV(p, k, u0, v0));
      ASSERT_TRUE(copy.getPolygonUV(p, k, u1, v1));
      EXPECT_FLOAT_EQ(u0, u1);
      EXPECT_FLOAT_EQ(v0, v1);
    }
  }
  for (unsigned int i = 0; i < colourBefore.length(); ++i) EXPECT_EQ(colourBefore[i], colourAfter[i]);
  // The pivot sits in the middle of the piece.
  EXPECT_EQ(commandsContaining("xform -cp"), 1u);
}

TEST_F(ShardOutput, CutFacesGoToTheCutGroupAndUnlinkedSingleSetsRunNoUVLink) {
  meshtest::makeCube("source");
  run("createNode shadingEngine -n stone");
  run("createNode shadingEngine -n cut");
  run("sets -e -fe stone source");
  MFnMesh host(pathOf("source"));
  MObjectArray shaders;
  MIntArray indices;
  getMeshShaders(pathOf("source"), shaders, indices);
  MStringArray names;
  MeshPtr engine(mayaMeshToEngineMesh(host, indices, names, ""));
  engine->faces[2].faceFlags = kCutFaceFlag;
  engine->faces[5].faceFlags = kSecondCutFaceFlag;
  MStringArray links[kLinkedUVSets];
  links[0].append("someTexture");
  zovhost::testing::clearLogs();
  MObject parent;
  ASSERT_TRUE(createShardMeshes(engine.get(), true, false, "cut", shaders, names, links, &parent));
  const std::vector<std::string> groups = groupsOf(shapeBelow(parent));
  EXPECT_EQ(groups, (std::vector<std::string>{"stone", "stone", "cut", "stone", "stone", "cut"}));
  EXPECT_EQ(commandsContaining("uvLink"), 0u);
  EXPECT_EQ(commandsContaining("undoInfo -swf o"), 2u);
}

TEST_F(ShardOutput, EachPolygonGoesToItsGroupAndFacesWithoutOneAreLeftOut) {
  makeSourceCube();
  MObjectArray shaders;
  MIntArray indices;
  getMeshShaders(pathOf("source"), shaders, indices);
  MFnMesh host(pathOf("source"));
  MStringArray names;
  MeshPtr engine(mayaMeshToEngineMesh(host, indices, names, ""));
  engine->faces[3].faceByte = 255;
  MObject parent;
  ASSERT_TRUE(createShardMeshesInSets(engine.get(), false, false, "rock", "", shaders, names, kNoLinks, &parent));
  EXPECT_EQ(groupsOf(shapeBelow(parent)), (std::vector<std::string>{"red", "red", "red", "", "blue", "blue"}));
  EXPECT_EQ(MFnDependencyNode(shapeBelow(parent).node()).name(), MString("rock_shard0"));
}

TEST_F(ShardOutput, UVSetsAndTheirTextureLinksFollowThePiece) {
  meshtest::makeCube("source");
  MFnMesh host(pathOf("source"));
  MFloatArray u, v;
  host.getUVs(u, v);
  MIntArray counts, ids;
  host.getAssignedUVs(counts, ids);
  const MString second = host.createUVSetWithName("detail");
  host.setUVs(u, v, &second);
  host.assignUVs(counts, ids, &second);
  run("createNode file -n wood");
  run("uvLink -uvSet sourceShape.uvSet[1].uvSetName -texture wood");
  MStringArray names;
  MeshPtr engine(mayaMeshToEngineMesh(host, MIntArray(), names, ""));
  MStringArray links[kLinkedUVSets];
  ASSERT_TRUE(queryUVSetLinks(names, "sourceShape", links));
  ASSERT_EQ(links[1].length(), 1u);
  MObject parent;
  ASSERT_TRUE(createShardMeshes(engine.get(), false, false, "", MObjectArray(), names, links, &parent));
  MStringArray linked;
  MGlobal::executeCommand(
      MString("uvLink -q -uvSet ") + MFnMesh(shapeBelow(parent)).fullPathName() + ".uvSet[1].uvSetName", linked);
  ASSERT_EQ(linked.length(), 1u);
  EXPECT_EQ(linked[0], MString("wood"));
}

/// One mesh of n unit cubes 3 apart along x: a piece that fell into n parts.
MDagPath separateCubes(int n) {
  std::vector<MPoint> points;
  std::vector<int> counts, corners;
  const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (int part = 0; part < n; ++part) {
    const int base = static_cast<int>(points.size());
    for (int c = 0; c < 8; ++c) points.emplace_back(3.0 * part + (c & 1), (c >> 1) & 1, (c >> 2) & 1);
    for (const auto& quad : quads) {
      counts.push_back(4);
      for (int k : quad) corners.push_back(base + k);
    }
  }
  return meshtest::makeMesh(points, counts, corners);
}

TEST_F(ShardOutput, APieceInPartsGivesNumberedShardsInTheSourceGroups) {
  run("createNode shadingEngine -n stone");
  run("createNode shadingEngine -n cut");
  const MDagPath piece = separateCubes(3);
  run("sets -e -fe stone " + std::string(MFnMesh(piece).name().asChar()));
  MObjectArray shaders;
  MIntArray indices;
  getMeshShaders(piece, shaders, indices);
  MFnMesh host(piece);
  MStringArray names;
  MeshPtr engine(mayaMeshToEngineMesh(host, indices, names, ""));
  for (std::uint32_t part = 0; part < 3; ++part) engine->faces[part * 6].faceFlags = kCutFaceFlag;
  EXPECT_FALSE(shardFillsHull(*engine));
  MObjectArray transforms;
  MIntArray numbers;
  ASSERT_TRUE(createShardBatch(engine.get(), true, false, 7, "cut", shaders, names, kNoLinks, transforms, &numbers));
  ASSERT_EQ(transforms.length(), 3u);
  EXPECT_EQ(numbers[0], 7);
  EXPECT_EQ(numbers[1], 10007);
  EXPECT_EQ(numbers[2], 20007);
  for (unsigned int i = 0; i < 3; ++i) {
    const MDagPath shard = shapeBelow(transforms[i]);
    EXPECT_EQ(meshtest::tagOf(shard, 0), 1);
    EXPECT_EQ(groupsOf(shard), (std::vector<std::string>{"cut", "stone", "stone", "stone", "stone", "stone"}));
  }
  // Eight parts: numbers past 16 bits stay distinct.
  MFnMesh eight(separateCubes(8));
  MeshPtr many(mayaMeshToEngineMesh(eight, MIntArray(), names, ""));
  transforms.clear();
  numbers.clear();
  ASSERT_TRUE(createShardBatch(many.get(), false, false, 7, "", MObjectArray(), names, kNoLinks, transforms, &numbers));
  ASSERT_EQ(numbers.length(), 8u);
  EXPECT_EQ(numbers[7], 70007);
  EXPECT_EQ(std::set<int>(&numbers[0], &numbers[0] + 8).size(), 8u);
}

TEST_F(ShardOutput, BadPiecesMakeNothingAndAFailedSplitGoesOutWhole) {
  MeshPtr tetra(createDFmesh(4, 0, 5, 1, 0));
  const Mgc::MgcVector3 corners[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int i = 0; i < 4; ++i) tetra->worldVertices[i] = tetra->vertices[i] = corners[i];
  const std::uint32_t faces[5][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}, {0, 1, 2}};
  for (int f = 0; f < 5; ++f) {
    allocateBufferChannels(&tetra->faces[f], 3, 1, false);
    std::copy(faces[f], faces[f] + 3, tetra->faces[f].vertices);
    tetra->faces[f].numVertices = 3;
  }
  MFnMesh fn;
  MObject parent;
  // Four points with five faces: refused, nothing made.
  EXPECT_FALSE(engineMeshToMayaMesh(*tetra, fn, MStringArray(), &parent));
  EXPECT_TRUE(parent.isNull());
  tetra->numFaces = 4;
  ASSERT_TRUE(engineMeshToMayaMesh(*tetra, fn, MStringArray(), &parent));
  EXPECT_EQ(fn.numPolygons(), 4);
  EXPECT_FALSE(createShardMeshes(nullptr, false, false, "", MObjectArray(), MStringArray(), kNoLinks, &parent));

  // A corner out of range stops the split; the piece goes out whole.
  MeshPtr broken(createDFmesh(8, 0, 2, 1, 0));
  for (int i = 0; i < 8; ++i)
    broken->worldVertices[i] = broken->vertices[i] = corners[i % 4] + Mgc::MgcVector3(i / 4 * 3.0, 0, 0);
  for (int f = 0; f < 2; ++f) {
    allocateBufferChannels(&broken->faces[f], 3, 1, false);
    for (int k = 0; k < 3; ++k) broken->faces[f].vertices[k] = static_cast<std::uint32_t>(f * 4 + k);
    broken->faces[f].numVertices = 3;
  }
  broken->faces[1].vertices[2] = 99;
  std::vector<ZOV_DFmesh*> parts;
  EXPECT_EQ(splitShardParts(*broken, parts), -1);
  EXPECT_TRUE(parts.empty());
  MObjectArray transforms;
  ASSERT_TRUE(
      createShardBatch(broken.get(), false, false, 3, "", MObjectArray(), MStringArray(), kNoLinks, transforms));
  EXPECT_EQ(transforms.length(), 1u);
}

}  // namespace
