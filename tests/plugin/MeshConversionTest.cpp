#include <maya/MFloatArray.h>

#include <cmath>

#include "MeshTestSupport.h"
#include "PluginFixture.h"
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

}  // namespace
