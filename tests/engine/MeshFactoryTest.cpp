#include <gtest/gtest.h>

#include <cstdint>

#include "engine/MeshFactory.h"

namespace {

TEST(MeshFactory, ZeroCountsGiveNoMesh) {
  EXPECT_EQ(createMesh(0, 4), nullptr);
  EXPECT_EQ(createMesh(4, 0), nullptr);
  EXPECT_EQ(createMesh3(0, 2, 4), nullptr);
  EXPECT_EQ(createMesh3(4, 2, 0), nullptr);
}

TEST(MeshFactory, NewMeshesHoldZeroedArraysAndEmptyFacesUntilDeleted) {
  ZOVmesh* mesh = createMesh3(5, 3, 7);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->numVertices, 5u);
  EXPECT_EQ(mesh->numFaces, 7u);
  EXPECT_EQ(mesh->numUVs, 3u);
  EXPECT_EQ(mesh->hasVertexData, 0);
  for (std::uint32_t v = 0; v < 5; ++v)
    for (const Mgc::MgcVector3* array : {mesh->vertices, mesh->worldVertices, mesh->vertexData})
      EXPECT_TRUE(array[v].x == 0.0 && array[v].y == 0.0 && array[v].z == 0.0);
  for (std::uint32_t u = 0; u < 3; ++u) EXPECT_EQ(mesh->uvs[u].x, 0.0);
  for (std::uint32_t f = 0; f < 7; ++f) {
    EXPECT_EQ(mesh->faces[f].numVertices, 0u);
    EXPECT_EQ(mesh->faces[f].numEdges, 0u);
    EXPECT_EQ(mesh->faces[f].groupId, 0u);
    EXPECT_EQ(mesh->faces[f].mark, 1u);
    EXPECT_EQ(mesh->faceNormals[f].z, 0.0);
    EXPECT_EQ(mesh->worldFaceNormals[f].z, 0.0);
  }
  deleteMesh(&mesh);
  EXPECT_EQ(mesh, nullptr);
  deleteMesh(&mesh);  // a null mesh is left alone

  ZOVmesh* plain = createMesh(2, 1);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->numUVs, 0u);
  EXPECT_EQ(plain->uvs, nullptr);
  deleteMesh(&plain);
}

}  // namespace
