#include <gtest/gtest.h>

#include <cstdint>

#include "engine/MeshFactory.h"

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
