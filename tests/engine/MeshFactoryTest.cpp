#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/MeshFactory.h"
#include "geometry/ConvexHull.h"

TEST(MeshFactory, NewMeshesHoldZeroedArraysAndEmptyFacesAndZeroCountsGiveNone) {
  EXPECT_EQ(createMesh(0, 4), nullptr);
  EXPECT_EQ(createMesh(4, 0), nullptr);
  EXPECT_EQ(createMesh3(0, 2, 4), nullptr);

  ZOVmesh* mesh = createMesh3(5, 3, 7);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->numVertices, 5u);
  EXPECT_EQ(mesh->numUVs, 3u);
  EXPECT_EQ(mesh->numFaces, 7u);
  for (std::uint32_t v = 0; v < 5; ++v)
    for (const Mgc::MgcVector3* array : {mesh->vertices, mesh->worldVertices, mesh->vertexData})
      EXPECT_EQ(array[v], Mgc::MgcVector3::ZERO);
  EXPECT_EQ(mesh->uvs[2], Mgc::MgcVector3::ZERO);
  for (std::uint32_t f = 0; f < 7; ++f) {
    EXPECT_EQ(mesh->faces[f].numVertices, 0u);
    EXPECT_EQ(mesh->faces[f].numEdges, 0u);
    EXPECT_EQ(mesh->faces[f].mark, 1u);
    // Room for the largest face a builder may write, every entry usable.
    EXPECT_EQ(mesh->faces[f].cornerCapacity, kMaxFaceCorners);
    for (std::uint32_t k = 0; k < kMaxFaceCorners; ++k) mesh->faces[f].edges[k] = k;
    EXPECT_EQ(mesh->worldFaceNormals[f], Mgc::MgcVector3::ZERO);
  }
  deleteMesh(&mesh);
  EXPECT_EQ(mesh, nullptr);
  deleteMesh(&mesh);  // a null mesh is left alone

  ZOVmesh* plain = createMesh(2, 1);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->uvs, nullptr);
  deleteMesh(&plain);
}

// A copy of a hull keeps faces sized as the source's, in storage of its own
// that outlives the source.
TEST(MeshFactory, CopiesHoldTheirOwnFaceCorners) {
  const Mgc::MgcVector3 corners[] = {{-1, -1, -1}, {1, -1, -1}, {-1, 1, -1}, {1, 1, -1},
                                     {-1, -1, 1},  {1, -1, 1},  {-1, 1, 1},  {1, 1, 1}};
  std::unique_ptr<ZOVmesh> hull = convexHull(corners, 8);
  ASSERT_NE(hull, nullptr);
  for (std::uint32_t f = 0; f < hull->numFaces; ++f) hull->faces[f].edges[0] = 100 + f;
  std::unique_ptr<ZOVmesh> copy(copyMesh(hull.get()));
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy->faceCorners, hull->faceCorners);
  const std::uint32_t numFaces = hull->numFaces;
  std::vector<std::vector<std::uint32_t>> expected;
  for (std::uint32_t f = 0; f < numFaces; ++f) {
    const mesh_face& face = hull->faces[f];
    expected.emplace_back(face.vertices, face.vertices + face.numVertices);
    EXPECT_EQ(copy->faces[f].cornerCapacity, face.cornerCapacity);
  }
  hull.reset();
  ASSERT_EQ(copy->numFaces, numFaces);
  for (std::uint32_t f = 0; f < numFaces; ++f) {
    const mesh_face& face = copy->faces[f];
    EXPECT_EQ(std::vector<std::uint32_t>(face.vertices, face.vertices + face.numVertices), expected[f]);
    EXPECT_EQ(face.edges[0], 100 + f);
  }
}
