#include <gtest/gtest.h>

#include <vector>

#include "CutFixtures.h"
#include "geometry/BVmesh.h"
#include "geometry/MassProperties.h"
#include "geometry/shatter/BVDFmesh.h"
#include "geometry/shatter/Clipper.h"

using Mgc::MgcVector3;
using namespace zovtest;

namespace {

void expectNear(const MgcVector3& a, const MgcVector3& b) { EXPECT_NEAR((a - b).Length(), 0.0, 1e-12); }

}  // namespace

TEST(BVDFmesh, EdgeTableAndPiecesFollowTheConnectivity) {
  struct Case {
    Solid solid;
    std::uint32_t edges, pieces;
  };
  // Two cubes sharing one corner touch at a vertex only: still one piece.
  Solid corner = joinSolids(boxSolid({1, 1, 1}), boxSolid({1, 1, 1}), {2, 2, 2});
  for (std::vector<std::uint32_t>& face : corner.faces)
    for (std::uint32_t& v : face)
      if (v == 8) v = 7;
  const Case cases[] = {
      {tetrahedronSolid(), 6, 1},
      {joinSolids(boxSolid({1, 1, 1}), boxSolid({1, 1, 1}), {5, 0, 0}), 24, 2},
      {corner, 24, 1},
  };
  for (const Case& c : cases) {
    auto mesh = toDFmesh(c.solid);
    BVDFmesh structure;
    ASSERT_TRUE(structure.init(mesh.get(), kDFmeshEdgeTable | kDFmeshVertexTable | kDFmeshPieces | kDFmeshVolume));
    EXPECT_EQ(structure.getEdgeCount(), c.edges);
    for (std::uint32_t e = 0; e < structure.getEdgeCount(); ++e)
      EXPECT_NE(structure.getEdge(e).face[0], structure.getEdge(e).face[1]);
    EXPECT_EQ(mesh->numMeshGroups, c.pieces);
    EXPECT_NEAR(structure.getVolume(), meshVolume(*mesh), 1e-12);
    // Every face lists the edge of each of its sides.
    for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
      const DFface& face = mesh->faces[f];
      ASSERT_EQ(face.numList, face.numVertices);
      for (std::uint32_t i = 0; i < face.numVertices; ++i) {
        const DFmeshEdge& edge = structure.getEdge(face.list[i]);
        const std::uint32_t a = face.vertices[i], b = face.vertices[(i + 1) % face.numVertices];
        EXPECT_TRUE((edge.vertex[0] == a && edge.vertex[1] == b) || (edge.vertex[0] == b && edge.vertex[1] == a));
      }
    }
  }
}

// Pieces are numbered in the order of their first faces; pieces that touch
// only at a corner share the lower number. Three cubes, the first and the
// third sharing one corner and the second apart: their faces are numbered
// 1, 2 and 1, and the mesh holds two pieces.
TEST(BVDFmesh, PiecesTouchingAtACornerShareTheFirstNumber) {
  Solid three =
      joinSolids(joinSolids(boxSolid({1, 1, 1}), boxSolid({1, 1, 1}), {5, 0, 0}), boxSolid({1, 1, 1}), {2, 2, 2});
  // The third cube's corner (-1, -1, -1) + (2, 2, 2) is the first cube's corner (1, 1, 1).
  for (std::size_t f = 12; f < three.faces.size(); ++f)
    for (std::uint32_t& v : three.faces[f])
      if (v == 16) v = 7;
  auto mesh = toDFmesh(three);
  BVDFmesh structure;
  ASSERT_TRUE(structure.init(mesh.get(), kDFmeshEdgeTable | kDFmeshPieces));
  ASSERT_EQ(mesh->numFaces, 18u);
  EXPECT_EQ(mesh->numMeshGroups, 2u);
  const std::uint16_t expected[3] = {1, 2, 1};
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) EXPECT_EQ(mesh->faces[f].pieceId, expected[f / 6]) << f;
}

TEST(BVDFmesh, MeshWithAFaceIndexOutOfRangeIsRefused) {
  auto mesh = toDFmesh(tetrahedronSolid());
  mesh->faces[2].vertices[1] = mesh->numVertices;
  BVDFmesh structure;
  EXPECT_FALSE(structure.init(mesh.get(), kDFmeshEdgeTable));
  EXPECT_EQ(structure.getMesh(), nullptr);
  EXPECT_EQ(structure.getEdgeCount(), 0u);
  EXPECT_FALSE(structure.init(nullptr, 0));
}

TEST(BVDFmesh, CutComesBackInTheMeshScale) {
  // A large and a tiny box: the clipper works at one scale for both.
  for (const double size : {1e-3, 1.0, 1e3}) {
    auto mesh = toDFmesh(boxSolid({size, size, size}));
    ASSERT_EQ(cutDFmesh(*mesh, {1, 0, 0}, {0.5 * size, 0, 0}), kClipCut);
    EXPECT_NEAR(meshVolume(*mesh), size * size * size * 2.0, 1e-9 * size * size * size);
    for (std::uint32_t v = 0; v < mesh->numVertices; ++v) {
      EXPECT_NEAR(mesh->worldVertices[v].x, mesh->vertices[v].x, 1e-12 * size);
      EXPECT_GE(mesh->worldVertices[v].x, 0.5 * size - 1e-12 * size);
    }
    for (std::uint32_t f = 0; f < mesh->numFaces; ++f) EXPECT_GE(mesh->faces[f].numVertices, 3u);
  }
}

TEST(BVmesh, CutOfAPlacedMeshKeepsItsLocalFrame) {
  // World = R (s . local) + t: the local copy of a cut mesh is still that.
  auto mesh = toMesh(boxSolid({1, 1, 1}), false);
  const Mgc::MgcMatrix3 R(0, -1, 0, 1, 0, 0, 0, 0, 1);
  const MgcVector3 t(3, -2, 5), s(2, 1, 0.5);
  for (std::uint32_t v = 0; v < mesh->numVertices; ++v) {
    const MgcVector3& p = mesh->vertices[v];
    mesh->worldVertices[v] = R * MgcVector3(s.x * p.x, s.y * p.y, s.z * p.z) + t;
  }
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) mesh->worldFaceNormals[f] = R * mesh->faceNormals[f];
  mesh->rotation = R;
  mesh->translation = t;
  mesh->scale = s;
  ASSERT_EQ(cutMesh(*mesh, {0, 0, 1}, t), kClipCut);
  EXPECT_NEAR(meshVolume(*mesh), 4.0, 1e-12);  // half of the unit-scale box, in local units
  for (std::uint32_t v = 0; v < mesh->numVertices; ++v) {
    const MgcVector3& p = mesh->vertices[v];
    const MgcVector3 world = R * MgcVector3(s.x * p.x, s.y * p.y, s.z * p.z) + t;
    EXPECT_NEAR((world - mesh->worldVertices[v]).Length(), 0.0, 1e-12);
  }
}

TEST(BVmesh, GroupsSplitIntoMeshesAndNestedGroupsJoin) {
  Solid apart = joinSolids(boxSolid({1, 1, 1}), boxSolid({1, 1, 1}), {5, 0, 0});
  auto mesh = toMesh(apart, true);
  BVmesh volume;
  ASSERT_TRUE(volume.init(mesh.get(), kMeshGroups));
  std::vector<std::unique_ptr<ZOVmesh>> groups = volume.splitGroups();
  ASSERT_EQ(groups.size(), 2u);
  for (std::size_t g = 0; g < 2; ++g) {
    EXPECT_EQ(groups[g]->numVertices, 8u);
    EXPECT_EQ(groups[g]->numFaces, 6u);
    EXPECT_EQ(groups[g]->numUVs, 24u);
    EXPECT_TRUE(isClosedMesh(*groups[g]));
    EXPECT_NEAR(meshVolume(*groups[g]), 8.0, 1e-12);
    // Vertices keep their order, renumbered from 0.
    for (std::uint32_t v = 0; v < 8; ++v) expectNear(groups[g]->vertices[v], apart.points[8 * g + v]);
  }
  EXPECT_EQ(BVmesh::mergeNestedGroups(groups), 0u);
  EXPECT_EQ(groups.size(), 2u);

  Solid nested = joinSolids(boxSolid({2, 2, 2}), boxSolid({0.5, 0.5, 0.5}), {0.5, 0, 0});
  auto nestedMesh = toMesh(nested, false);
  BVmesh nestedVolume;
  ASSERT_TRUE(nestedVolume.init(nestedMesh.get(), kMeshGroups));
  groups = nestedVolume.splitGroups();
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(BVmesh::mergeNestedGroups(groups), 1u);
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0]->numVertices, 16u);
  EXPECT_EQ(groups[0]->numFaces, 12u);
  EXPECT_NEAR(meshVolume(*groups[0]), 64.0 + 1.0, 1e-12);
}
