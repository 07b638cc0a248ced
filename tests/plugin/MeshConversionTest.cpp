#include <maya/MFloatArray.h>

#include <cmath>

#include "MeshTestSupport.h"
#include "PluginFixture.h"
#include "src/meshConversion.h"

namespace {

using meshtest::ints;
using meshtest::MeshPtr;
using meshtest::pathOf;

MVector vec(const Mgc::MgcVector3& v) { return MVector(v.x, v.y, v.z); }

/// Area of an engine face from its corners (Newell's vector area).
double faceArea(const ZOV_DFmesh& mesh, const DFface& face) {
  MVector sum;
  for (std::uint32_t k = 0; k < face.numVertices; ++k) {
    const MVector a = vec(mesh.vertices[face.vertices[k]]);
    const MVector b = vec(mesh.vertices[face.vertices[(k + 1) % face.numVertices]]);
    sum += a ^ b;
  }
  return 0.5 * sum.length();
}

/// An L-shaped prism: the L (three unit squares) at z = 0 and z = 1 as
/// six-corner polygons, joined by six quads.
MDagPath makeLPrism() {
  const double outline[6][2] = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
  std::vector<MPoint> points;
  for (double z : {0.0, 1.0})
    for (const auto& xy : outline) points.emplace_back(xy[0], xy[1], z);
  std::vector<int> counts{6, 6};
  std::vector<int> corners{5, 4, 3, 2, 1, 0, 6, 7, 8, 9, 10, 11};
  for (int k = 0; k < 6; ++k) {
    counts.push_back(4);
    corners.insert(corners.end(), {k, (k + 1) % 6, 6 + (k + 1) % 6, 6 + k});
  }
  return meshtest::makeMesh(points, counts, corners);
}

class MeshConversion : public PluginTest {};

TEST_F(MeshConversion, ACubeGivesSixQuadsInWorldSpaceWithAnIdentityTransform) {
  run("polyCube -w 2 -h 2 -d 2 -n box");
  run("xform -t 5 0 0 box");
  MFnMesh host(pathOf("box"));
  MStringArray names;
  for (int variant = 0; variant < 2; ++variant) {
    MeshPtr mesh(variant == 0 ? mayaMeshToEngineMesh(host, MIntArray(), names, "")
                              : mayaMeshToEngineMeshWorld(pathOf("box"), MIntArray(), names, nullptr));
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->numFaces, 6u);
    EXPECT_EQ(mesh->numVertices, 8u);
    ASSERT_EQ(names.length(), 1u);
    EXPECT_EQ(names[0], MString("map1"));
    EXPECT_TRUE(vec(mesh->center).isEquivalent(MVector(5.0, 0.0, 0.0), 1e-12));
    EXPECT_EQ(vec(mesh->center), vec(mesh->worldCenter));
    EXPECT_TRUE(vec(mesh->scale) == MVector(1.0, 1.0, 1.0) && vec(mesh->translation) == MVector::zero);
    EXPECT_EQ(mesh->rotation, Mgc::MgcMatrix3::IDENTITY);
    EXPECT_EQ(mesh->numAuxPoints, 24u);
    EXPECT_EQ(mesh->numUVs, static_cast<std::uint32_t>(host.numUVs()));
    for (std::uint32_t v = 0; v < mesh->numVertices; ++v) {
      EXPECT_EQ(vec(mesh->vertices[v]), vec(mesh->worldVertices[v]));
      EXPECT_NEAR(std::fabs(mesh->vertices[v].x - 5.0), 1.0, 1e-12);
    }
    for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
      const DFface& face = mesh->faces[f];
      EXPECT_EQ(face.numVertices, 4u);
      EXPECT_NEAR(faceArea(*mesh, face), 4.0, 1e-12);
      // Each corner's normal is the face's own on a cube.
      for (std::uint32_t k = 0; k < face.numVertices; ++k) {
        ASSERT_LT(face.cornerData[k], mesh->numAuxPoints);
        EXPECT_TRUE(vec(mesh->auxPoints[face.cornerData[k]]).isEquivalent(vec(mesh->faceNormals[f]), 1e-6));
      }
    }
  }
}

TEST_F(MeshConversion, ANonConvexPolygonBecomesTheHostTrianglesWithThePolygonsData) {
  const MDagPath prism = makeLPrism();
  meshtest::makeCutFaceType();
  meshtest::tagFace(prism, 1, 1);
  MFnMesh host(prism);
  MStringArray names;
  const MIntArray values = ints({3, 4, 0, 0, 0, 0, 0, 0});
  MeshPtr mesh(mayaMeshToEngineMesh(host, values, names, ""));
  ASSERT_TRUE(mesh);
  // 4 triangles for each L, 6 quads.
  ASSERT_EQ(mesh->numFaces, 14u);
  double bottom = 0.0;
  double top = 0.0;
  for (std::uint32_t f = 0; f < 8; ++f) {
    const DFface& face = mesh->faces[f];
    EXPECT_EQ(face.numVertices, 3u);
    const bool isTop = f >= 4;
    (isTop ? top : bottom) += faceArea(*mesh, face);
    EXPECT_EQ(face.faceByte, isTop ? 4 : 3);
    EXPECT_EQ(face.faceFlags, isTop ? kCutFaceFlag : 0);
    EXPECT_TRUE(vec(mesh->faceNormals[f]).isEquivalent(MVector(0.0, 0.0, isTop ? 1.0 : -1.0), 1e-12));
  }
  // The triangles cover the L's three unit squares.
  EXPECT_NEAR(bottom, 3.0, 1e-12);
  EXPECT_NEAR(top, 3.0, 1e-12);
  for (std::uint32_t f = 8; f < 14; ++f) EXPECT_EQ(mesh->faces[f].numVertices, 4u);
  // The engine's own convexity test gives the same faces.
  EXPECT_EQ(MeshPtr(mayaMeshToEngineMeshWorld(prism, values, names, nullptr))->numFaces, 14u);
}

TEST_F(MeshConversion, DegeneratePolygonsGiveNoFaceAndTheOthersKeepTheirData) {
  // A quad, a polygon whose corners lie on one line, another quad.
  const MDagPath mesh = meshtest::makeMesh(
      {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}, {2, 1, 0}, {3, 1, 0}}, {4, 3, 4},
      {0, 1, 2, 3, 4, 5, 6, 1, 4, 7, 2});
  meshtest::makeCutFaceType();
  meshtest::tagFace(mesh, 2, 2);
  MFnMesh host(mesh);
  MStringArray names;
  const MIntArray values = ints({1, 2, 3});
  MeshPtr fromFn(mayaMeshToEngineMesh(host, values, names, ""));
  MeshPtr fromPath(mayaMeshToEngineMeshWorld(mesh, values, names, nullptr));
  for (const MeshPtr* converted : {&fromFn, &fromPath}) {
    ASSERT_TRUE(*converted);
    const ZOV_DFmesh& m = **converted;
    ASSERT_EQ(m.numFaces, 2u);
    EXPECT_EQ(m.faces[0].faceByte, 1);
    EXPECT_EQ(m.faces[1].faceByte, 3);
    EXPECT_EQ(m.faces[0].faceFlags, 0);
    EXPECT_EQ(m.faces[1].faceFlags, kSecondCutFaceFlag);
  }
  // Every polygon degenerate: no faces from the function set, nothing from the path.
  const MDagPath flat = meshtest::makeMesh({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, {3, 3}, {0, 1, 2, 1, 2, 3});
  MFnMesh flatHost(flat);
  MeshPtr none(mayaMeshToEngineMesh(flatHost, MIntArray(), names, ""));
  ASSERT_TRUE(none);
  EXPECT_EQ(none->numFaces, 0u);
  EXPECT_FALSE(MeshPtr(mayaMeshToEngineMeshWorld(flat, MIntArray(), names, nullptr)));
  // No mesh at all.
  MFnMesh unattached;
  EXPECT_FALSE(MeshPtr(mayaMeshToEngineMesh(unattached, MIntArray(), names, "")));
  EXPECT_FALSE(MeshPtr(mayaMeshToEngineMeshWorld(MDagPath(), MIntArray(), names, nullptr)));
}

TEST_F(MeshConversion, TenUVSetsCarryTheFirstEightAndNameAllTen) {
  meshtest::makeCube("box");
  MFnMesh host(pathOf("box"));
  MFloatArray u, v;
  host.getUVs(u, v);
  MIntArray counts, ids;
  host.getAssignedUVs(counts, ids);
  for (int set = 1; set < 10; ++set) {
    const MString name = host.createUVSetWithName(MString("extra") + MString(std::to_string(set).c_str()));
    MFloatArray shifted(u);
    for (unsigned int i = 0; i < shifted.length(); ++i) shifted[i] += static_cast<float>(set);
    host.setUVs(shifted, v, &name);
    host.assignUVs(counts, ids, &name);
  }
  MStringArray names;
  MeshPtr mesh(mayaMeshToEngineMesh(host, MIntArray(), names, ""));
  ASSERT_TRUE(mesh);
  EXPECT_EQ(names.length(), 10u);
  EXPECT_EQ(mesh->numUVLayers, 8u);
  EXPECT_TRUE(mesh->dfFlags & kDFmeshMultipleUVLayers);
  ASSERT_EQ(mesh->numUVs, u.length());
  for (std::uint32_t layer = 1; layer < 8; ++layer) {
    ASSERT_TRUE(mesh->uvLayers[layer - 1]);
    for (std::uint32_t i = 0; i < mesh->numUVs; ++i)
      EXPECT_FLOAT_EQ(static_cast<float>(mesh->uvLayers[layer - 1][i].x), u[i] + static_cast<float>(layer));
    EXPECT_EQ(mesh->faces[0].layerUVIndices[layer - 1][2], mesh->faces[0].uvIndices[2]);
  }
}

TEST_F(MeshConversion, ColoursAreCarriedAsRGBWithTheirCornerIds) {
  const MDagPath quad = meshtest::makeMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {4}, {0, 1, 2, 3});
  MFnMesh host(quad);
  const MString set = host.createColorSetWithName("paint");
  host.setCurrentColorSetName(set);
  MColorArray colours;
  colours.append(MColor(1.0f, 0.0f, 0.0f, 0.2f));
  colours.append(MColor(0.0f, 1.0f, 0.0f, 0.2f));
  host.setColors(colours, &set);
  host.assignColors(ints({1, 0, 1, 0}), &set);
  MStringArray names;
  for (int variant = 0; variant < 2; ++variant) {
    MeshPtr mesh(variant == 0 ? mayaMeshToEngineMesh(host, MIntArray(), names, set)
                              : mayaMeshToEngineMeshWorld(quad, MIntArray(), names, nullptr));
    ASSERT_TRUE(mesh);
    EXPECT_TRUE(mesh->dfFlags & kDFmeshHasExtraPoints);
    ASSERT_EQ(mesh->numExtraPoints, 2u);
    EXPECT_EQ(vec(mesh->extraPoints[1]), MVector(0.0, 1.0, 0.0));
    ASSERT_TRUE(mesh->faces[0].extraIndices);
    EXPECT_EQ(mesh->faces[0].extraIndices[0], 1u);
    EXPECT_EQ(mesh->faces[0].extraIndices[3], 0u);
  }
  // No UVs anywhere: nothing is carried.
  EXPECT_EQ(MeshPtr(mayaMeshToEngineMesh(host, MIntArray(), names, set))->numUVs, 0u);
}

TEST_F(MeshConversion, TagValuesAndShaderBytesFollowEachConverterRule) {
  meshtest::makeCube("box");
  meshtest::makeCutFaceType();
  for (int face = 0; face < 4; ++face) meshtest::tagFace(pathOf("box"), face, face);
  MFnMesh host(pathOf("box"));
  MStringArray names;
  const MIntArray values = ints({-1, 0, 1, 2, 300, 5});
  MeshPtr fromFn(mayaMeshToEngineMesh(host, values, names, ""));
  MeshPtr fromPath(mayaMeshToEngineMeshWorld(pathOf("box"), values, names, nullptr));
  const std::uint16_t fnFlags[] = {0, kCutFaceFlag, kSecondCutFaceFlag, kSecondCutFaceFlag, 0, 0};
  const std::uint16_t pathFlags[] = {0, kCutFaceFlag, kSecondCutFaceFlag, 0, 0, 0};
  const int bytes[] = {255, 0, 1, 2, 300 & 0xFF, 5};
  for (std::uint32_t f = 0; f < 6; ++f) {
    EXPECT_EQ(fromFn->faces[f].faceFlags, fnFlags[f]) << f;
    EXPECT_EQ(fromPath->faces[f].faceFlags, pathFlags[f]) << f;
    EXPECT_EQ(fromFn->faces[f].faceByte, bytes[f]) << f;
  }
  // Values shorter than the polygons give 0 past their end.
  EXPECT_EQ(MeshPtr(mayaMeshToEngineMesh(host, ints({7}), names, ""))->faces[5].faceByte, 0);
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
