#include <gtest/gtest.h>

#include <cstdint>

#include "engine/MeshFactory.h"

namespace {

TEST(MeshFactory, NewMeshesHoldZeroedArraysAndEmptyFacesAndZeroCountsGiveNone) {
  EXPECT_EQ(createMesh(0, 4), nullptr);
  EXPECT_EQ(createMesh(4, 0), nullptr);
  EXPECT_EQ(createMesh3(0, 2, 4), nullptr);

  ZOVmesh* mesh = createMesh3(5, 3, 7);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->numVertices + mesh->numUVs + mesh->numFaces, 5u + 3u + 7u);
  for (std::uint32_t v = 0; v < 5; ++v)
    for (const Mgc::MgcVector3* array : {mesh->vertices, mesh->worldVertices, mesh->vertexData})
      EXPECT_TRUE(array[v].x == 0.0 && array[v].y == 0.0 && array[v].z == 0.0);
  EXPECT_EQ(mesh->uvs[2].y, 0.0);
  for (std::uint32_t f = 0; f < 7; ++f) {
    const mesh_face& face = mesh->faces[f];
    EXPECT_TRUE(face.numVertices == 0 && face.numEdges == 0 && face.groupId == 0 && face.mark == 1);
    EXPECT_TRUE(mesh->faceNormals[f].z == 0.0 && mesh->worldFaceNormals[f].z == 0.0);
  }
  deleteMesh(&mesh);
  EXPECT_EQ(mesh, nullptr);
  deleteMesh(&mesh);  // a null mesh is left alone

  ZOVmesh* plain = createMesh(2, 1);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->uvs, nullptr);
  deleteMesh(&plain);
}

}  // namespace
