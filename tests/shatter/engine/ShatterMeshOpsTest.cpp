#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/shatter/ShatterMeshOps.h"
#include "geometry/MassProperties.h"
#include "geometry/shatter/BVDFmesh.h"
#include "geometry/shatter/Clipper.h"
#include "shatter/CutFixtures.h"

using Mgc::MgcVector3;
using namespace zovtest;

namespace {

std::uint32_t cutFaces(const ZOV_DFmesh& mesh) {
  std::uint32_t n = 0;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) n += (mesh.faces[f].faceFlags & kDFfaceCut) != 0 ? 1 : 0;
  return n;
}

double largestX(const ZOV_DFmesh& mesh) {
  double x = -1e300;
  for (std::uint32_t v = 0; v < mesh.numVertices; ++v) x = std::max(x, mesh.worldVertices[v].x);
  return x;
}

/// An L-shaped prism with arms 2 long and 0.5 wide: area 1.75 of a hull of
/// area 2.875.
Solid thinLPrism() {
  return prismSolid({{0, 0, 0}, {2, 0, 0}, {2, 0.5, 0}, {0.5, 0.5, 0}, {0.5, 2, 0}, {0, 2, 0}}, 0.0, 1.0);
}

/// A unit cylinder of `segments` sides.
Solid cylinder(int segments) {
  std::vector<MgcVector3> ring;
  for (int i = 0; i < segments; ++i) {
    const double a = 2.0 * M_PI * i / segments;
    ring.emplace_back(std::cos(a), std::sin(a), 0.0);
  }
  return prismSolid(ring, 0.0, 1.0);
}

}  // namespace

TEST(CutDFmeshByPlane, CutsKeepTheSideTheNormalPointsTo) {
  struct Case {
    const char* name;
    MgcVector3 normal, point;
    bool detectGroups;
    std::int32_t result;
    double volume;
    std::uint32_t faces, capFaces;
  };
  const Case cases[] = {
      {"through the middle", {1, 0, 0}, {0.5, 0, 0}, false, kClipCut, 2.0, 6, 1},
      {"unnormalised, with groups", {0, 0, -3}, {0, 0, 0.25}, true, kClipCut, 5.0, 6, 1},
      {"misses", {1, 0, 0}, {-2, 0, 0}, false, kClipNothingBelow, 8.0, 6, 0},
      {"everything below", {1, 0, 0}, {2, 0, 0}, true, -1, 8.0, 6, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto mesh = toDFmesh(boxSolid({1, 1, 1}));
    EXPECT_EQ(cutDFmeshByPlane(mesh.get(), c.normal, c.point, c.detectGroups), c.result);
    EXPECT_NEAR(meshVolume(*mesh), c.volume, 1e-12);
    EXPECT_EQ(mesh->numFaces, c.faces);
    EXPECT_EQ(cutFaces(*mesh), c.capFaces);
    EXPECT_TRUE(isClosedMesh(*mesh));
    // The cut mesh is back in its own scale.
    EXPECT_NEAR(largestX(*mesh), 1.0, 1e-12);
  }
}

TEST(CutDFmeshByPlane, BadMeshesAreRefusedUntouched) {
  EXPECT_EQ(cutDFmeshByPlane(nullptr, {1, 0, 0}, {0, 0, 0}, false), -1);
  auto mesh = toDFmesh(boxSolid({1, 1, 1}));
  mesh->faces[2].vertices[1] = 8;
  for (const bool groups : {false, true}) {
    EXPECT_EQ(cutDFmeshByPlane(mesh.get(), {1, 0, 0}, {0, 0, 0}, groups), -1);
    EXPECT_EQ(mesh->numVertices, 8u);
    EXPECT_EQ(mesh->numFaces, 6u);
  }
}

TEST(CutDFmeshByPlane, PiecesAreCutOneByOneAndJoinedBack) {
  // Two boxes apart; the plane x = 4 removes the first and leaves the second
  // whole, the plane y = 0 halves both.
  const Solid apart = joinSolids(boxSolid({1, 1, 1}), boxSolid({1, 1, 1}), {5, 0, 0});
  struct Case {
    const char* name;
    MgcVector3 normal, point;
    std::int32_t result;
    double volume;
    std::uint32_t pieces, vertices;
  };
  const Case cases[] = {
      {"one removed, one untouched", {1, 0, 0}, {4, 0, 0}, kClipNothingBelow, 8.0, 1, 8},
      {"both halved", {0, 1, 0}, {0, 0, 0}, kClipCut, 8.0, 2, 16},
      {"both removed", {0, 1, 0}, {0, 3, 0}, -1, 16.0, 2, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto mesh = toDFmesh(apart);
    EXPECT_EQ(cutDFmeshByPlane(mesh.get(), c.normal, c.point, true), c.result);
    EXPECT_NEAR(meshVolume(*mesh), c.volume, 1e-12);
    EXPECT_EQ(mesh->numMeshGroups, c.pieces);
    EXPECT_EQ(mesh->numVertices, c.vertices);
    EXPECT_TRUE(isClosedMesh(*mesh));
    for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
      const DFface& face = mesh->faces[f];
      EXPECT_GE(face.pieceId, 1);
      EXPECT_LE(face.pieceId, c.pieces);
      // The pieces' normals, colours and texture coordinates come back with
      // them: on the source's faces each corner still has those of its
      // position; caps are white.
      const bool cap = (face.faceFlags & kDFfaceCut) != 0;
      const MgcVector3 n = mesh->worldFaceNormals[f];
      for (std::uint32_t k = 0; k < face.numVertices; ++k) {
        const MgcVector3& p = mesh->worldVertices[face.vertices[k]];
        EXPECT_NEAR((mesh->extraPoints[face.extraIndices[k]] - (cap ? MgcVector3(1, 1, 1) : vertexColor(p))).Length(),
                    0.0, 1e-12);
        EXPECT_NEAR((mesh->auxPoints[face.cornerData[k]] - n).Length(), 0.0, 1e-12);
        if (!cap) {
          EXPECT_NEAR((mesh->uvLayers[0][face.layerUVIndices[0][k]] - faceUV(n, p, 1)).Length(), 0.0, 1e-12);
        }
      }
    }
  }

  // Without piece detection the count of the last labelling stands; numbers
  // that no longer fit the faces are renewed rather than losing faces.
  auto mesh = toDFmesh(apart);
  mesh->numMeshGroups = 5;
  EXPECT_EQ(cutDFmeshByPlane(mesh.get(), {0, 1, 0}, {0, 0, 0}, false), kClipCut);
  EXPECT_NEAR(meshVolume(*mesh), 8.0, 1e-12);
  EXPECT_EQ(mesh->numMeshGroups, 2u);
}

TEST(SplitDFmeshParts, MeshesSplitIntoTheirConnectedParts) {
  // Two boxes apart: two parts of 8 vertices and 6 faces, vertices in the
  // source order.
  const Solid apart = joinSolids(boxSolid({1, 1, 1}), boxSolid({1, 1, 1}), {5, 0, 0});
  auto mesh = toDFmesh(apart);
  ZOV_DFmesh** parts = nullptr;
  ASSERT_EQ(splitDFmeshParts(mesh.get(), &parts), 2);
  ASSERT_NE(parts, nullptr);
  for (int p = 0; p < 2; ++p) {
    EXPECT_EQ(parts[p]->numVertices, 8u);
    EXPECT_EQ(parts[p]->numFaces, 6u);
    EXPECT_NEAR(meshVolume(*parts[p]), 8.0, 1e-12);
    for (std::uint32_t v = 0; v < 8; ++v) EXPECT_EQ(parts[p]->vertices[v], apart.points[8 * p + v]);
  }
  deleteDFmeshParts(&parts, 2);
  EXPECT_EQ(parts, nullptr);

  // A flat part inside a box folds into it.
  auto withFlat = toDFmesh(joinSolids(boxSolid({1, 1, 1}), flatSquare(0.5, {0, 0, 0}), {0, 0, 0}));
  EXPECT_EQ(splitDFmeshParts(withFlat.get(), &parts), 1);
  deleteDFmeshParts(&parts, 1);

  // One part, a broken mesh, no place for the parts: nothing handed back.
  ZOV_DFmesh** untouched = reinterpret_cast<ZOV_DFmesh**>(&mesh);
  auto single = toDFmesh(boxSolid({1, 1, 1}));
  EXPECT_EQ(splitDFmeshParts(single.get(), &untouched), 1);
  EXPECT_EQ(untouched, reinterpret_cast<ZOV_DFmesh**>(&mesh));
  single->faces[0].vertices[0] = 99;
  EXPECT_EQ(splitDFmeshParts(single.get(), &untouched), -1);
  EXPECT_EQ(splitDFmeshParts(nullptr, &untouched), -1);
  EXPECT_EQ(splitDFmeshParts(mesh.get(), nullptr), -1);
  EXPECT_EQ(untouched, reinterpret_cast<ZOV_DFmesh**>(&mesh));
}

TEST(IsHullVolumeClose, ShardsCloseToTheirHullPass) {
  Random random(7);
  struct Case {
    const char* name;
    Solid solid;
    bool close;
  };
  const Case cases[] = {
      {"box", boxSolid({1, 2, 3}), true},
      // 0.61 of its hull's volume.
      {"thin L prism", thinLPrism(), false},
      {"flat", flatSquare(1.0, {0, 0, 0}), false},
      {"hull of random points", randomHull(random, 40), true},
      // More than 512 vertices: the hull is approximated. A sphere whose
      // radius varies from 0.6 to 1.4 fills about half of its hull.
      {"bumpy sphere", bumpySphere(random, 30, 30), false},
      {"cylinder of 1200 vertices", cylinder(600), true},
      {"cylinder of 510 vertices", cylinder(255), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto mesh = toDFmesh(c.solid);
    EXPECT_EQ(isHullVolumeClose(mesh.get()), c.close);
  }
  EXPECT_FALSE(isHullVolumeClose(nullptr));
  auto broken = toDFmesh(boxSolid({1, 1, 1}));
  broken->faces[4].vertices[0] = 1000;
  EXPECT_FALSE(isHullVolumeClose(broken.get()));
}

TEST(BuildDFmeshVolumeFlags, SubdividesTheWholeMeshOrTheMarkedFaces) {
  // The whole box: every quad becomes 4, none stays marked.
  auto box = toDFmesh(boxSolid({1, 1, 1}));
  ASSERT_TRUE(buildDFmeshVolumeFlags(box.get(), 1, false));
  EXPECT_EQ(box->numFaces, 24u);
  EXPECT_NEAR(meshVolume(*box), 8.0, 1e-12);
  EXPECT_TRUE(isClosedMesh(*box));
  for (std::uint32_t f = 0; f < box->numFaces; ++f) EXPECT_EQ(box->faces[f].faceFlags & kDFfaceSelected, 0);

  // One marked face: its 4 pieces are the marked faces afterwards.
  auto marked = toDFmesh(boxSolid({1, 1, 1}));
  marked->faces[1].faceFlags |= kDFfaceSelected;
  ASSERT_TRUE(subdivideDFmeshFaces(marked.get(), 2, true));
  std::uint32_t selected = 0;
  for (std::uint32_t f = 0; f < marked->numFaces; ++f) selected += marked->faces[f].faceFlags & kDFfaceSelected;
  EXPECT_EQ(selected, 16u);
  EXPECT_NEAR(meshVolume(*marked), 8.0, 1e-12);

  // No marked face, an iteration count out of range or a broken mesh: the
  // mesh stays as it was.
  struct Case {
    std::uint16_t iterations;
    bool keep;
    bool broken;
    bool result;
  };
  for (const Case& c : {Case{1, true, false, true}, Case{0, false, false, true}, Case{5, false, false, true},
                        Case{0x8001, false, false, true}, Case{1, false, true, false}}) {
    auto mesh = toDFmesh(boxSolid({1, 1, 1}));
    if (c.broken) mesh->faces[5].vertices[2] = 8;
    EXPECT_EQ(buildDFmeshVolumeFlags(mesh.get(), c.iterations, c.keep), c.result);
    EXPECT_EQ(mesh->numFaces, 6u);
    EXPECT_EQ(mesh->numVertices, 8u);
    for (std::uint32_t f = 0; f < mesh->numFaces; ++f) EXPECT_EQ(mesh->faces[f].faceFlags, 0);
  }
  EXPECT_FALSE(buildDFmeshVolumeFlags(nullptr, 1, false));
}
