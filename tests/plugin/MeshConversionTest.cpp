#include <maya/MFloatArray.h>

#include <cmath>
#include <string>
#include <vector>

#include "MeshTestSupport.h"
#include "PluginFixture.h"
#include "src/meshes/engineMeshOutput.h"
#include "src/meshes/meshConversion.h"

namespace {

using meshtest::ints;
using meshtest::MeshPtr;
using meshtest::pathOf;
using meshtest::vec;

/// An L-shaped prism: the L (three unit squares) at z = 0 and z = 1 as
/// six-corner polygons, joined by six quads; between the two Ls, a polygon
/// whose corners lie on one line.
MDagPath makeLPrism() {
  const double outline[6][2] = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
  std::vector<MPoint> points;
  for (double z : {0.0, 1.0})
    for (const auto& xy : outline) points.emplace_back(xy[0], xy[1], z);
  points.insert(points.end(), {{3, 0, 0}, {4, 0, 0}, {5, 0, 0}});
  std::vector<int> counts{6, 3, 6};
  std::vector<int> corners{5, 4, 3, 2, 1, 0, 12, 13, 14, 6, 7, 8, 9, 10, 11};
  for (int k = 0; k < 6; ++k) {
    counts.push_back(4);
    corners.insert(corners.end(), {k, (k + 1) % 6, 6 + (k + 1) % 6, 6 + k});
  }
  return meshtest::makeMesh(points, counts, corners);
}

class MeshConversion : public PluginTest {};

TEST_F(MeshConversion, NonConvexPolygonsBecomeHostTrianglesAndFlatOnesNothingEachFaceWithItsPolygonsData) {
  const MDagPath prism = makeLPrism();
  // Per polygon its cut tag; the per-face values, shorter than the
  // polygons, give 0 past their end and their low byte within it.
  const int tags[9] = {3, 0, 1, 2, 0, 0, 0, 0, 0};
  meshtest::makeCutFaceType();
  for (int p = 0; p < 9; ++p) meshtest::tagFace(prism, p, tags[p]);
  MFnMesh host(prism);
  MStringArray names;
  const MIntArray values = ints({-1, 9, 300, 2, 5});
  for (const bool world : {false, true}) {
    const MeshPtr mesh(world ? mayaMeshToEngineMeshWorld(prism, values, names, nullptr)
                             : mayaMeshToEngineMesh(host, values, names, ""));
    ASSERT_TRUE(mesh);
    // 4 triangles for each L, 6 quads; the flat polygon gives none.
    ASSERT_EQ(mesh->numFaces, 14u);
    double area[2] = {0.0, 0.0};
    for (std::uint32_t f = 0; f < 14; ++f) {
      const DFface& face = mesh->faces[f];
      const unsigned int p = f < 4 ? 0 : f < 8 ? 2 : f - 5;
      EXPECT_EQ(face.numVertices, f < 8 ? 3u : 4u);
      EXPECT_EQ(face.faceByte, p < values.length() ? values[p] & 0xFF : 0) << f;
      // A tag of 2 or more is a second cut to the function set's converter, only 2 to the path's.
      const int tag = tags[p];
      EXPECT_EQ(face.faceFlags,
                (tag == 1 ? kCutFaceFlag : 0) | ((world ? tag == 2 : tag >= 2) ? kSecondCutFaceFlag : 0))
          << world << " face " << f;
      if (f >= 8) continue;
      area[p == 2] += meshtest::vectorArea(*mesh, face).length();
      EXPECT_TRUE(vec(mesh->faceNormals[f]).isEquivalent(MVector(0.0, 0.0, p == 2 ? 1.0 : -1.0), 1e-12));
    }
    // The triangles cover the L's three unit squares.
    EXPECT_NEAR(area[0], 3.0, 1e-12);
    EXPECT_NEAR(area[1], 3.0, 1e-12);
  }
  // Every polygon flat: no faces from the function set, nothing from the
  // path; and nothing from no mesh at all.
  const MDagPath flat = meshtest::makeMesh({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, {3, 3}, {0, 1, 2, 1, 2, 3});
  MFnMesh flatHost(flat), unattached;
  EXPECT_EQ(MeshPtr(mayaMeshToEngineMesh(flatHost, MIntArray(), names, ""))->numFaces, 0u);
  EXPECT_FALSE(MeshPtr(mayaMeshToEngineMeshWorld(flat, MIntArray(), names, nullptr)));
  EXPECT_FALSE(MeshPtr(mayaMeshToEngineMesh(unattached, MIntArray(), names, "")));
  EXPECT_FALSE(MeshPtr(mayaMeshToEngineMeshWorld(MDagPath(), MIntArray(), names, nullptr)));
}

TEST_F(MeshConversion, TenUVSetsCarryTheFirstEightAndNameAllTen) {
  meshtest::makeCube("box");
  MFnMesh host(pathOf("box"));
  MFloatArray u, v;
  host.getUVs(u, v);
  for (int set = 1; set < 10; ++set) meshtest::addUVSet(host, MString("extra") + std::to_string(set).c_str(), set);
  MStringArray names;
  MeshPtr mesh(mayaMeshToEngineMesh(host, MIntArray(), names, ""));
  ASSERT_TRUE(mesh);
  EXPECT_EQ(names.length(), 10u);
  EXPECT_EQ(mesh->numUVLayers, 8u);
  ASSERT_EQ(mesh->numUVs, u.length());
  for (std::uint32_t layer = 1; layer < 8; ++layer) {
    ASSERT_TRUE(mesh->uvLayers[layer - 1]);
    for (std::uint32_t i = 0; i < mesh->numUVs; ++i)
      EXPECT_FLOAT_EQ(static_cast<float>(mesh->uvLayers[layer - 1][i].x), u[i] + static_cast<float>(layer));
    EXPECT_EQ(mesh->faces[0].layerUVIndices[layer - 1][2], mesh->faces[0].uvIndices[2]);
  }
}

TEST_F(MeshConversion, AMatrixReplacesTheWorldTransformWithoutRenormalising) {
  run("polyCube -n box");
  run("xform -t 9 9 9 box");
  MMatrix doubled;
  doubled[0][0] = doubled[1][1] = doubled[2][2] = 2.0;
  MStringArray names;
  MeshPtr mesh(mayaMeshToEngineMeshWorld(pathOf("box"), MIntArray(), names, &doubled));
  EXPECT_NEAR(vec(mesh->vertices[0]).length(), std::sqrt(3.0), 1e-12);
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) EXPECT_NEAR(vec(mesh->faceNormals[f]).length(), 2.0, 1e-12);
}

/// What one corner of a host polygon carries.
struct CornerData {
  float u = 0.0f, v = 0.0f;
  MVector normal;
  MColor colour;
};

/// Corner k of polygon p of the host mesh; colours from the named set.
CornerData hostCorner(MFnMesh& mesh, int p, int k, const MString& set) {
  CornerData data;
  mesh.getPolygonUV(p, k, data.u, data.v);
  MIntArray vertices;
  mesh.getPolygonVertices(p, vertices);
  mesh.getFaceVertexNormal(p, vertices[static_cast<unsigned int>(k)], data.normal);
  int index = 0;
  MColorArray colours;
  mesh.getColorIndex(p, k, index, &set);
  mesh.getColors(colours, &set);
  data.colour = colours[static_cast<unsigned int>(index)];
  return data;
}

void expectSameCorner(const CornerData& a, const CornerData& b, const std::string& where) {
  EXPECT_FLOAT_EQ(a.u, b.u) << where;
  EXPECT_FLOAT_EQ(a.v, b.v) << where;
  EXPECT_TRUE(a.normal.isEquivalent(b.normal, 1e-6)) << where;
  EXPECT_EQ(a.colour, b.colour) << where;
}

// An L-shaped hexagon whose corners carry distinct UVs, normals and colours,
// numbered apart from its vertices: the host's triangles of it carry, at
// each corner, the data of the polygon's corner at the same vertex, in the
// engine mesh from either converter and in the host mesh made back from it.
TEST_F(MeshConversion, TrianglesOfANonConvexPolygonCarryTheirOwnCornersData) {
  const double outline[6][2] = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
  std::vector<MPoint> points;
  for (const auto& xy : outline) points.emplace_back(xy[0], xy[1], 0.0);
  const MDagPath shape = meshtest::makeMesh(points, {6}, {3, 4, 5, 0, 1, 2});
  MFnMesh host(shape);
  MFloatArray us, vs;
  MColorArray colours;
  MVectorArray normals;
  MIntArray uvIds, colourIds, faces, vertices;
  for (int k = 0; k < 6; ++k) {
    us.append(0.11f * k);
    vs.append(0.9f - 0.13f * k);
    colours.append(MColor(0.1f * k, 0.2f, 1.0f - 0.1f * k));
    uvIds.append((k + 2) % 6);
    colourIds.append((k + 4) % 6);
    normals.append(MVector(0.1 * k, -0.05 * k, 1.0).normal());
    faces.append(0);
    vertices.append((k + 3) % 6);
  }
  ASSERT_TRUE(host.setUVs(us, vs));
  ASSERT_TRUE(host.assignUVs(ints({6}), uvIds));
  ASSERT_TRUE(host.setFaceVertexNormals(normals, faces, vertices));
  const MString set = host.createColorSetWithName("paint");
  host.setCurrentColorSetName(set);
  ASSERT_TRUE(host.setColors(colours, &set));
  ASSERT_TRUE(host.assignColors(colourIds, &set));
  // The polygon's corner at each vertex.
  int cornerOf[6];
  for (int k = 0; k < 6; ++k) cornerOf[(k + 3) % 6] = k;

  MStringArray names;
  for (const bool world : {false, true}) {
    const MeshPtr mesh(world ? mayaMeshToEngineMeshWorld(shape, MIntArray(), names, nullptr)
                             : mayaMeshToEngineMesh(host, MIntArray(), names, set));
    ASSERT_TRUE(mesh);
    ASSERT_EQ(mesh->numFaces, 4u);
    for (std::uint32_t f = 0; f < 4; ++f) {
      const DFface& face = mesh->faces[f];
      ASSERT_EQ(face.numVertices, 3u);
      for (unsigned int c = 0; c < 3; ++c) {
        const int vertex = static_cast<int>(face.vertices[c]);
        CornerData engine;
        engine.u = static_cast<float>(mesh->uvs[face.uvIndices[c]].x);
        engine.v = static_cast<float>(mesh->uvs[face.uvIndices[c]].y);
        engine.normal = vec(mesh->auxPoints[face.cornerData[c]]);
        const Mgc::MgcVector3 rgb = mesh->extraPoints[face.extraIndices[c]];
        engine.colour = MColor(static_cast<float>(rgb.x), static_cast<float>(rgb.y), static_cast<float>(rgb.z));
        expectSameCorner(engine, hostCorner(host, 0, cornerOf[vertex], set),
                         "world " + std::to_string(world) + " face " + std::to_string(f));
      }
    }
    // Back to the host: each triangle's corners, read back one by one.
    MFnMesh back;
    MObject parent;
    ASSERT_TRUE(engineMeshToMayaMesh(*mesh, back, names, &parent));
    ASSERT_EQ(back.numPolygons(), 4);
    const MString backSet = back.currentColorSetName();
    for (int p = 0; p < 4; ++p) {
      MIntArray corners;
      back.getPolygonVertices(p, corners);
      for (unsigned int c = 0; c < corners.length(); ++c)
        expectSameCorner(hostCorner(back, p, static_cast<int>(c), backSet),
                         hostCorner(host, 0, cornerOf[corners[c]], set),
                         "back, world " + std::to_string(world) + " polygon " + std::to_string(p));
    }
  }
}

}  // namespace
