#include <maya/MFnDagNode.h>
#include <maya/MObjectArray.h>

#include "MeshTestSupport.h"
#include "PluginFixture.h"
#include "engine/shatter/ShatterMeshOps.h"
#include "src/meshes/engineMeshOutput.h"
#include "src/meshes/meshConversion.h"
#include "src/meshes/shardOutput.h"

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

/// A cube moved to (5, 0, 0) with a colour set whose ids are not the vertex
/// ids, faces 0 to 2 in "red" and 3 to 5 in "blue", cut tags 1 on face 1 and
/// 2 on face 4, and a second UV set linked to the texture "wood".
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
  for (unsigned int i = 0; i < corners.length(); ++i) corners[i] = (corners[i] + 3) % 8;
  host.assignColors(corners, &set);
  meshtest::addUVSet(host, "detail");
  for (const char* line :
       {"xform -t 5 0 0 source", "createNode shadingEngine -n red", "createNode shadingEngine -n blue",
        "sets -e -fe red source.f[0:2]", "sets -e -fe blue source.f[3:5]", "createNode file -n wood",
        "uvLink -uvSet sourceShape.uvSet[1].uvSetName -texture wood"})
    EXPECT_TRUE(MGlobal::executeCommand(line)) << line;
  meshtest::makeCutFaceType();
  meshtest::tagFace(cube, 1, 1);
  meshtest::tagFace(cube, 4, 2);
}

/// Per polygon corner of a mesh: its world point, UV, colour and normal;
/// then per polygon its cut tag.
std::vector<double> cornerData(const MDagPath& path) {
  MFnMesh mesh(path);
  MColorArray colours;
  mesh.getColors(colours);
  std::vector<double> data;
  for (int p = 0; p < mesh.numPolygons(); ++p) {
    MIntArray vertices;
    mesh.getPolygonVertices(p, vertices);
    for (unsigned int k = 0; k < vertices.length(); ++k) {
      MPoint point;
      MVector normal;
      float u = -1.0f, v = -1.0f;
      int colour = -1;
      mesh.getPoint(vertices[k], point, MSpace::kWorld);
      mesh.getPolygonUV(p, static_cast<int>(k), u, v);
      mesh.getColorIndex(p, static_cast<int>(k), colour);
      mesh.getFaceVertexNormal(p, vertices[k], normal, MSpace::kWorld);
      const MColor c = colour >= 0 ? colours[static_cast<unsigned int>(colour)] : MColor(-1, -1, -1);
      data.insert(data.end(), {point.x, point.y, point.z, u, v, c.r, c.g, c.b, normal.x, normal.y, normal.z});
    }
  }
  for (int p = 0; p < mesh.numPolygons(); ++p) data.push_back(meshtest::tagOf(path, p));
  return data;
}

class ShardOutput : public PluginTest {
 protected:
  /// The engine mesh of a host mesh, each face's byte the index of its
  /// shading group in `shaders`; `names` gets the UV set names. The path
  /// converter when `world`, else the function set's with `colourSet`.
  MeshPtr engineOf(const MDagPath& mesh, bool world = false, const MString& colourSet = "") {
    MIntArray indices;
    shaders.clear();
    getMeshShaders(mesh, shaders, indices);
    MFnMesh host(mesh);
    return MeshPtr(world ? mayaMeshToEngineMeshWorld(mesh, indices, names, nullptr)
                         : mayaMeshToEngineMesh(host, indices, names, colourSet));
  }
  MObjectArray shaders;
  MStringArray names;
};

TEST_F(ShardOutput, HostToEngineToHostKeepsPointsUVsColoursNormalsShadingAndTagsThroughEitherConverter) {
  makeSourceCube();
  const MDagPath source = pathOf("source");
  const std::vector<double> expected = cornerData(source);
  ASSERT_EQ(expected.size(), 6u * 4u * 11u + 6u);
  for (const bool world : {false, true}) {
    MeshPtr engine = engineOf(source, world, "paint");
    ASSERT_TRUE(engine);
    MStringArray links[kLinkedUVSets];
    ASSERT_TRUE(queryUVSetLinks(names, "sourceShape", links));
    zovhost::testing::clearLogs();
    MObject parent;
    ASSERT_TRUE(createShardMeshes(engine.get(), false, true, "", shaders, names, links, &parent));
    const MDagPath made = shapeBelow(parent);
    EXPECT_EQ(groupsOf(made), groupsOf(source));
    // The tags and the link name the new mesh by its full path.
    const std::string mesh = MFnMesh(made).fullPathName().asChar();
    EXPECT_EQ(commandsContaining("-ind 1  \"" + mesh + ".f[1]\""), 1u);
    MStringArray linked;
    MGlobal::executeCommand(("uvLink -q -uvSet " + mesh + ".uvSet[1].uvSetName").c_str(), linked);
    EXPECT_EQ(linked, MStringArray(1, "wood"));
    const std::vector<double> copied = cornerData(made);
    ASSERT_EQ(copied.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(copied[i], expected[i], 1e-6) << world << ": " << i;
  }
}

TEST_F(ShardOutput, FacesGoToTheirSourceGroupsOrTheCutGroupAndFacesWithoutOneAreLeftOut) {
  makeSourceCube();  // red 0-2, blue 3-5, cut tags on faces 1 and 4
  run("createNode shadingEngine -n cut");
  // With one group the faces tagged 1 and 2 alike go to the cut group.
  const struct {
    bool cut;
    const char* inSets;
    int unshaded;
    bool oneGroup;
    std::vector<std::string> groups;
  } rows[] = {
      {true, nullptr, -1, false, {"red", "cut", "red", "blue", "cut", "blue"}},
      {false, "rock", 3, false, {"red", "red", "red", "", "blue", "blue"}},
      {true, nullptr, -1, true, {"red", "cut", "red", "red", "cut", "red"}},
  };
  for (const auto& row : rows) {
    MeshPtr engine = engineOf(pathOf("source"));
    if (row.unshaded >= 0) engine->faces[row.unshaded].faceByte = 255;
    if (row.oneGroup) {
      shaders.setLength(1);
      for (std::uint32_t f = 0; f < engine->numFaces; ++f) engine->faces[f].faceByte = 0;
    }
    MObject parent;
    ASSERT_TRUE(row.inSets ? createShardMeshesInSets(engine.get(), row.cut, false, row.inSets, "cut", shaders, names,
                                                     kNoLinks, &parent)
                           : createShardMeshes(engine.get(), row.cut, false, "cut", shaders, names, kNoLinks, &parent));
    EXPECT_EQ(groupsOf(shapeBelow(parent)), row.groups) << row.cut;
    if (row.inSets) {
      EXPECT_EQ(MFnDependencyNode(shapeBelow(parent).node()).name(), MString("rock_shard0"));
    }
  }
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

TEST_F(ShardOutput, APieceInPartsGivesShardsNumberedPast16BitsInTheSourceGroups) {
  run("createNode shadingEngine -n stone");
  run("createNode shadingEngine -n cut");
  const MDagPath piece = separateCubes(8);
  run("sets -e -fe stone " + std::string(MFnMesh(piece).name().asChar()));
  MeshPtr engine = engineOf(piece);
  for (int part = 0; part < 8; ++part) engine->faces[part * 6].faceFlags = kCutFaceFlag;
  MObjectArray transforms;
  MIntArray numbers;
  // Links are made only for a source of two or more UV sets.
  MStringArray links[kLinkedUVSets];
  links[0].append("someTexture");
  zovhost::testing::clearLogs();
  ASSERT_TRUE(createShardBatch(engine.get(), true, false, 7, "cut", shaders, names, links, transforms, &numbers));
  EXPECT_EQ(commandsContaining("uvLink"), 0u);
  ASSERT_EQ(numbers.length(), 8u);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(numbers[i], 10000 * i + 7);
    const MDagPath shard = shapeBelow(transforms[i]);
    EXPECT_EQ(meshtest::tagOf(shard, 0), 1);
    EXPECT_EQ(groupsOf(shard), (std::vector<std::string>{"cut", "stone", "stone", "stone", "stone", "stone"}));
  }
}

TEST_F(ShardOutput, BadPiecesMakeNothingAndAFailedSplitGoesOutWhole) {
  const std::vector<Mgc::MgcVector3> corners = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  MeshPtr tetra = meshtest::engineMesh(corners, {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}, {0, 1, 2}});
  MFnMesh fn;
  MObject parent;
  // Four points with five faces: refused, nothing made.
  EXPECT_FALSE(engineMeshToMayaMesh(*tetra, fn, MStringArray(), &parent));
  EXPECT_TRUE(parent.isNull());
  tetra->numFaces = 4;
  ASSERT_TRUE(engineMeshToMayaMesh(*tetra, fn, MStringArray(), &parent));
  EXPECT_FALSE(createShardMeshes(nullptr, false, false, "", MObjectArray(), MStringArray(), kNoLinks, &parent));

  // A corner out of range stops the split; the piece goes out whole.
  std::vector<Mgc::MgcVector3> two(corners);
  for (const auto& c : corners) two.push_back(c + Mgc::MgcVector3(3, 0, 0));
  MeshPtr broken = meshtest::engineMesh(two, {{0, 1, 2}, {4, 5, 99}});
  ZOV_DFmesh** parts = nullptr;
  EXPECT_EQ(splitDFmeshParts(broken.get(), &parts), -1);
  EXPECT_EQ(parts, nullptr);
  MObjectArray transforms;
  ASSERT_TRUE(
      createShardBatch(broken.get(), false, false, 3, "", MObjectArray(), MStringArray(), kNoLinks, transforms));
  EXPECT_EQ(transforms.length(), 1u);
}

}  // namespace
