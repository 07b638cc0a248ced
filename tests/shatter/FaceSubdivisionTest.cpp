#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "CutFixtures.h"
#include "geometry/MassProperties.h"
#include "geometry/shatter/BVDFmesh.h"

using Mgc::MgcVector3;
using namespace zovtest;

namespace {

std::vector<MgcVector3> cornersOf(const ZOV_DFmesh& mesh, std::uint32_t f) {
  std::vector<MgcVector3> points;
  for (std::uint32_t k = 0; k < mesh.faces[f].numVertices; ++k)
    points.push_back(mesh.worldVertices[mesh.faces[f].vertices[k]]);
  return points;
}

struct Subdivided {
  std::unique_ptr<ZOV_DFmesh> mesh;
  double markedArea = 0.0;
  double volume = 0.0;
};

/// The solid with face `marked` marked, subdivided `passes` times.
Subdivided subdivide(const Solid& solid, std::uint32_t marked, std::int16_t passes) {
  Subdivided out;
  out.mesh = toDFmesh(solid);
  out.mesh->faces[marked].faceFlags |= kDFfaceSelected;
  out.markedArea = polygonAreaOf(cornersOf(*out.mesh, marked));
  out.volume = meshVolume(*out.mesh);
  BVDFmesh structure;
  EXPECT_TRUE(structure.init(out.mesh.get(), kDFmeshEdgeTable | kDFmeshBox));
  EXPECT_TRUE(structure.subdivideFaces(passes));
  return out;
}

std::vector<MgcVector3> regularPolygon(std::uint32_t n) {
  std::vector<MgcVector3> points;
  for (std::uint32_t i = 0; i < n; ++i) {
    const double a = 2.0 * M_PI * (i + 0.5) / n;
    points.emplace_back(std::cos(a), std::sin(a), 0.0);
  }
  return points;
}

}  // namespace

TEST(FaceSubdivision, MarkedFacesBecomeFansAndNeighboursGainTheMidpoints) {
  struct Case {
    const char* name;
    Solid solid;
    std::uint32_t marked;
    std::int16_t passes;
    std::uint32_t newFaces, cornersEach, vertices;
    /// One pass over a regular polygon: every piece reaches the centre, at
    /// the same distance from every side, and the attributes of the centre
    /// (the means of the corners') are those of its position.
    bool evenPieces;
  };
  const Solid octagonPrism = prismSolid(regularPolygon(8), 0.0, 1.0);
  const Case cases[] = {
      // Every side of a triangle is split: 6 corners, 3 pieces of 3 boundary
      // corners and the centre; 4 + 3 midpoints + 1 centre vertices.
      {"triangle", tetrahedronSolid(), 3, 1, 3, 4, 8, true},
      // A quad: 8 corners, 4 pieces.
      {"quad", boxSolid({1, 1, 1}), 1, 1, 4, 4, 13, true},
      // A regular octagon: every second side is split (12 corners), and it
      // is cut into 4 pieces of a quarter of its perimeter, 3 sides each.
      {"octagon", octagonPrism, 9, 1, 4, 5, 21, true},
      // Two passes: each quad of the first is cut into 4 again.
      {"triangle twice", tetrahedronSolid(), 3, 2, 12, 4, 8 + 9 + 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Subdivided out = subdivide(c.solid, c.marked, c.passes);
    const ZOV_DFmesh& mesh = *out.mesh;
    const auto oldFaces = static_cast<std::uint32_t>(c.solid.faces.size()) - 1;
    ASSERT_EQ(mesh.numFaces, oldFaces + c.newFaces);
    EXPECT_EQ(mesh.numVertices, c.vertices);
    // The surface is the same: closed, same volume, the marked face's area
    // shared out among its pieces.
    EXPECT_TRUE(isClosedMesh(mesh));
    EXPECT_NEAR(meshVolume(mesh), out.volume, 1e-12);
    double area = 0.0;
    for (std::uint32_t f = oldFaces; f < mesh.numFaces; ++f) {
      const double piece = polygonAreaOf(cornersOf(mesh, f));
      area += piece;
      EXPECT_EQ(mesh.faces[f].numVertices, c.cornersEach);
      EXPECT_EQ(mesh.faces[f].faceFlags & kDFfaceSelected, kDFfaceSelected);
      if (c.evenPieces) {
        EXPECT_NEAR(piece, out.markedArea / c.newFaces, 1e-12);
      }
    }
    EXPECT_NEAR(area, out.markedArea, 1e-12);
    for (std::uint32_t f = 0; f < oldFaces; ++f) EXPECT_EQ(mesh.faces[f].faceFlags & kDFfaceSelected, 0);
    if (c.evenPieces) expectAttributesFollowPositions(mesh, mesh.faceNormals, 1e-12);
  }
}

TEST(FaceSubdivision, PassCountsOutsideOneToFourAndUnmarkedMeshesChangeNothing) {
  for (const std::int16_t passes : {0, 5, -1}) {
    const Subdivided out = subdivide(boxSolid({1, 1, 1}), 0, passes);
    EXPECT_EQ(out.mesh->numFaces, 6u);
    EXPECT_EQ(out.mesh->numVertices, 8u);
  }
  auto mesh = toDFmesh(boxSolid({1, 1, 1}));
  BVDFmesh structure;
  ASSERT_TRUE(structure.init(mesh.get(), kDFmeshEdgeTable));
  EXPECT_TRUE(structure.subdivideFaces(2));
  EXPECT_EQ(mesh->numFaces, 6u);
  EXPECT_EQ(mesh->numVertices, 8u);
  // Without an edge table nothing happens either.
  BVDFmesh bare;
  ASSERT_TRUE(bare.init(mesh.get(), 0));
  mesh->faces[0].faceFlags |= kDFfaceSelected;
  EXPECT_TRUE(bare.subdivideFaces(1));
  EXPECT_EQ(mesh->numFaces, 6u);
}

TEST(FaceSubdivision, MarkedFaceLeftWithFewerThanFiveCornersStaysWhole) {
  // A face of two corners: both its sides are split, which makes four
  // corners, too few for a fan.
  Solid solid = boxSolid({1, 1, 1});
  solid.faces.push_back({0, 7});
  auto mesh = toDFmesh(solid);
  mesh->faces[6].faceFlags |= kDFfaceSelected;
  BVDFmesh structure;
  ASSERT_TRUE(structure.init(mesh.get(), kDFmeshEdgeTable));
  EXPECT_TRUE(structure.subdivideFaces(1));
  ASSERT_EQ(mesh->numFaces, 7u);
  EXPECT_EQ(mesh->faces[6].numVertices, 4u);
  EXPECT_EQ(mesh->faces[6].faceFlags & (kDFfaceSelected | kDFfaceLeftWhole), kDFfaceLeftWhole);
  EXPECT_EQ(mesh->numVertices, 9u);
}

TEST(FaceSubdivision, CentroidIsTheAreaCentroidOfTheFace) {
  // An L-shaped face: its area centroid differs from the mean of its corners.
  const std::vector<MgcVector3> outline = {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}};
  auto mesh = toDFmesh(prismSolid(outline, 0.0, 1.0));
  BVDFmesh structure;
  ASSERT_TRUE(structure.init(mesh.get(), 0));
  const DFface& top = mesh->faces[7];
  // The rectangle [0,2]x[0,1] (area 2) and the square [0,1]x[1,2] (area 1).
  const MgcVector3 expected((1.0 * 2 + 0.5 * 1) / 3.0, (0.5 * 2 + 1.5 * 1) / 3.0, 1.0);
  EXPECT_NEAR((structure.faceCentroid(top) - expected).Length(), 0.0, 1e-12);
}
