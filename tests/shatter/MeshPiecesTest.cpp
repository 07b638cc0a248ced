#include <gtest/gtest.h>

#include <vector>

#include "CutFixtures.h"
#include "geometry/MassProperties.h"
#include "geometry/shatter/BVDFmesh.h"

using Mgc::MgcVector3;
using namespace zovtest;

namespace {

DFmeshPieces piecesOf(const std::vector<Solid>& solids) {
  DFmeshPieces pieces;
  for (const Solid& solid : solids) pieces.push_back(toDFmesh(solid));
  return pieces;
}

}  // namespace

TEST(MeshPieces, PiecesCopyOutWithTheirOwnEntriesInSourceOrder) {
  const Solid both = joinSolids(boxSolid({1, 1, 1}), boxSolid({1, 2, 1}), {5, 0, 0});
  auto mesh = toDFmesh(both);
  BVDFmesh structure;
  ASSERT_TRUE(structure.init(mesh.get(), kDFmeshPieces));
  ASSERT_EQ(mesh->numMeshGroups, 2u);
  const DFmeshPieces pieces = structure.extractPieces();
  ASSERT_EQ(pieces.size(), 2u);
  for (std::size_t p = 0; p < 2; ++p) {
    const ZOV_DFmesh& piece = *pieces[p];
    EXPECT_EQ(piece.numVertices, 8u);
    EXPECT_EQ(piece.numFaces, 6u);
    EXPECT_EQ(piece.numAuxPoints, 24u);
    EXPECT_EQ(piece.numUVs, 24u);
    EXPECT_EQ(piece.numExtraPoints, 8u);
    EXPECT_EQ(piece.numMeshGroups, 1u);
    EXPECT_TRUE(isClosedMesh(piece));
    EXPECT_NEAR(meshVolume(piece), p == 0 ? 8.0 : 16.0, 1e-12);
    for (std::uint32_t v = 0; v < 8; ++v) EXPECT_EQ(piece.vertices[v], both.points[8 * p + v]);
    for (std::uint32_t f = 0; f < 6; ++f) EXPECT_EQ(piece.faces[f].pieceId, p + 1);
    expectAttributesFollowPositions(piece, piece.worldFaceNormals, 0.0);
  }

  // A face numbered outside the pieces cannot be placed: nothing is copied.
  mesh->faces[3].pieceId = 3;
  EXPECT_TRUE(structure.extractPieces().empty());
}

TEST(MeshPieces, JoinedMeshHoldsBothInOrder) {
  auto a = toDFmesh(tetrahedronSolid());
  auto b = toDFmesh(boxSolid({1, 1, 1}));
  const std::unique_ptr<ZOV_DFmesh> joined = joinDFmeshes(*a, *b);
  ASSERT_TRUE(joined);
  EXPECT_EQ(joined->numVertices, 12u);
  EXPECT_EQ(joined->numFaces, 10u);
  EXPECT_EQ(joined->numUVs, 12u + 24u);
  EXPECT_NEAR(meshVolume(*joined), 1.0 / 6.0 + 8.0, 1e-12);
  for (std::uint32_t v = 0; v < 4; ++v) EXPECT_EQ(joined->vertices[v], a->vertices[v]);
  for (std::uint32_t v = 0; v < 8; ++v) EXPECT_EQ(joined->worldVertices[4 + v], b->worldVertices[v]);
  expectAttributesFollowPositions(*joined, joined->worldFaceNormals, 0.0);
}

TEST(MeshPieces, FlatPiecesFoldIntoThePieceThatEnclosesThem) {
  const Solid cube = boxSolid({1, 1, 1});
  const Solid inside = flatSquare(0.5, {0.2, 0, 0});
  const Solid outside = flatSquare(0.5, {5, 0, 0});
  const Solid farCube = joinSolids(Solid{}, boxSolid({1, 1, 1}), {10, 0, 0});
  const Solid insideFar = flatSquare(0.5, {10, 0, 0.5});
  struct Case {
    const char* name;
    std::vector<Solid> pieces;
    /// Vertex counts of the pieces left.
    std::vector<std::uint32_t> vertices;
  };
  const Case cases[] = {
      // The flat piece's vertices come first in the joined mesh.
      {"inside", {cube, inside}, {12}},
      {"outside stays", {cube, outside}, {8, 4}},
      // The first flat piece stops the merging when nothing encloses it,
      // even though a later one could be merged.
      {"first flat piece decides", {outside, cube, inside}, {4, 8, 4}},
      // The first enclosing piece takes it; the joined piece takes the lower
      // place and the pieces behind move up.
      {"second cube", {cube, farCube, insideFar, cube}, {8, 12, 8}},
      {"two flat pieces", {inside, cube, insideFar, farCube}, {12, 12}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DFmeshPieces pieces = piecesOf(c.pieces);
    BVDFmesh::mergeDegeneratePieces(pieces);
    ASSERT_EQ(pieces.size(), c.vertices.size());
    for (std::size_t p = 0; p < pieces.size(); ++p) {
      EXPECT_EQ(pieces[p]->numVertices, c.vertices[p]);
      // Volumes are kept; every face of a moved or joined piece is numbered
      // after its place.
      EXPECT_GE(meshVolume(*pieces[p]), -1e-12);
    }
  }

  // The joined mesh: the flat piece first, the faces numbered after the
  // joined piece's place, the volume of the enclosing piece.
  DFmeshPieces pieces = piecesOf({cube, farCube, insideFar, cube});
  BVDFmesh::mergeDegeneratePieces(pieces);
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[1]->vertices[0], insideFar.points[0]);
  EXPECT_NEAR(meshVolume(*pieces[1]), 8.0, 1e-12);
  for (std::size_t p = 1; p < 3; ++p)
    for (std::uint32_t f = 0; f < pieces[p]->numFaces; ++f) EXPECT_EQ(pieces[p]->faces[f].pieceId, p + 1);
}
