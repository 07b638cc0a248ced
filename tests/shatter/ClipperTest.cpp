#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

#include "CutFixtures.h"
#include "geometry/BVmesh.h"
#include "geometry/MassProperties.h"
#include "geometry/shatter/CapLoops.h"
#include "geometry/shatter/Clipper.h"

using Mgc::MgcVector3;
using namespace zovtest;

namespace {

void expectNear(const MgcVector3& a, const MgcVector3& b, double tolerance) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, b.z, tolerance);
}

std::vector<MgcVector3> facePolygon(const ZOVmesh& mesh, std::uint32_t f) {
  std::vector<MgcVector3> polygon;
  for (std::uint32_t k = 0; k < mesh.faces[f].numVertices; ++k)
    polygon.push_back(mesh.worldVertices[mesh.faces[f].vertices[k]]);
  return polygon;
}

std::vector<MgcVector3> facePolygon(const ZOV_DFmesh& mesh, std::uint32_t f) {
  std::vector<MgcVector3> polygon;
  for (std::uint32_t k = 0; k < mesh.faces[f].numVertices; ++k)
    polygon.push_back(mesh.worldVertices[mesh.faces[f].vertices[k]]);
  return polygon;
}

}  // namespace

TEST(Clipper, CubeCutThroughMiddleKeepsHalfOnNormalSide) {
  auto mesh = toMesh(boxSolid({1, 1, 1}), true);
  ASSERT_EQ(cutMesh(*mesh, {0, 1, 0}, {0, 0.25, 0}), kClipCut);
  EXPECT_EQ(mesh->numFaces, 6u);
  EXPECT_EQ(mesh->numVertices, 8u);
  EXPECT_NEAR(meshVolume(*mesh), 2.0 * 2.0 * 0.75, 1e-12);
  EXPECT_TRUE(isClosedMesh(*mesh));
  int caps = 0;
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
    const mesh_face& face = mesh->faces[f];
    const MgcVector3& n = mesh->worldFaceNormals[f];
    if ((face.faceFlags & kMeshFaceCut) != 0) {
      ++caps;
      expectNear(n, {0, -1, 0}, 1e-12);
      EXPECT_NEAR(polygonAreaOf(facePolygon(*mesh, f)), 4.0, 1e-12);
      continue;
    }
    // Side faces keep their texture map at the cut corners.
    for (std::uint32_t k = 0; k < face.numVertices; ++k)
      expectNear(mesh->uvs[face.uvIndices[k]], faceUV(n, mesh->worldVertices[face.vertices[k]]), 1e-12);
  }
  EXPECT_EQ(caps, 1);
  for (std::uint32_t v = 0; v < mesh->numVertices; ++v) EXPECT_GE(mesh->worldVertices[v].y, 0.25 - 1e-12);
}

TEST(Clipper, ShatterMeshCutCarriesEveryAttribute) {
  auto mesh = toDFmesh(boxSolid({1, 2, 1}));
  const MgcVector3 normal = MgcVector3(1, 1, 0.5) * (1.0 / 1.5);
  ASSERT_EQ(cutDFmesh(*mesh, normal, {0.1, 0, 0}), kClipCut);
  EXPECT_TRUE(isClosedMesh(*mesh));
  int caps = 0;
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
    const DFface& face = mesh->faces[f];
    const MgcVector3& n = mesh->worldFaceNormals[f];
    const bool cap = (face.faceFlags & kDFfaceCut) != 0;
    caps += cap ? 1 : 0;
    if (cap) expectNear(n, -normal, 1e-12);
    for (std::uint32_t k = 0; k < face.numVertices; ++k) {
      const MgcVector3& p = mesh->worldVertices[face.vertices[k]];
      expectNear(mesh->auxPoints[face.cornerData[k]], cap ? -normal : n, 1e-12);
      expectNear(mesh->extraPoints[face.extraIndices[k]], cap ? MgcVector3(1, 1, 1) : vertexColor(p), 1e-12);
      if (cap) continue;
      expectNear(mesh->uvs[face.uvIndices[k]], faceUV(n, p, 0), 1e-12);
      expectNear(mesh->uvLayers[0][face.layerUVIndices[0][k]], faceUV(n, p, 1), 1e-12);
    }
  }
  EXPECT_EQ(caps, 1);
}

TEST(Clipper, PlanesThatMissLeaveTheMeshUnchanged) {
  struct Case {
    MgcVector3 normal, point;
    int expected;
  };
  const Case cases[] = {
      {{0, 1, 0}, {0, -1.5, 0}, kClipNothingBelow},
      {{0, 1, 0}, {0, 1.5, 0}, kClipNothingAbove},
      // Touching from above within the dead zone counts as nothing below.
      {{0, 0, 2}, {0, 0, -1.0 - 1e-8}, kClipNothingBelow},
      {{0, 0, -1}, {0, 0, -1.0 + 1e-8}, kClipNothingAbove},
  };
  for (const Case& c : cases) {
    auto mesh = toMesh(boxSolid({1, 1, 1}), true);
    auto reference = toMesh(boxSolid({1, 1, 1}), true);
    EXPECT_EQ(cutMesh(*mesh, c.normal, c.point), c.expected);
    ASSERT_EQ(mesh->numVertices, reference->numVertices);
    ASSERT_EQ(mesh->numFaces, reference->numFaces);
    EXPECT_EQ(std::memcmp(mesh->worldVertices, reference->worldVertices, 8 * sizeof(MgcVector3)), 0);
    for (std::uint32_t f = 0; f < 6; ++f) {
      const mesh_face& got = mesh->faces[f];
      const mesh_face& want = reference->faces[f];
      ASSERT_EQ(got.cornerCapacity, want.cornerCapacity);
      const std::uint32_t n = want.cornerCapacity;
      EXPECT_TRUE(std::equal(got.vertices, got.vertices + n, want.vertices));
      EXPECT_TRUE(std::equal(got.uvIndices, got.uvIndices + n, want.uvIndices));
      EXPECT_TRUE(std::equal(got.edges, got.edges + n, want.edges));
      EXPECT_EQ(std::make_tuple(got.numVertices, got.numEdges, got.mark, got.faceFlags, got.groupId, got.tag),
                std::make_tuple(want.numVertices, want.numEdges, want.mark, want.faceFlags, want.groupId, want.tag));
    }

    auto df = toDFmesh(boxSolid({1, 1, 1}));
    EXPECT_EQ(cutDFmesh(*df, c.normal, c.point), c.expected);
    EXPECT_EQ(df->numVertices, 8u);
    EXPECT_EQ(df->numFaces, 6u);
    EXPECT_EQ(std::memcmp(df->worldVertices, reference->worldVertices, 8 * sizeof(MgcVector3)), 0);
  }
}

TEST(Clipper, PlanesThroughCornersAndFacesCutExactly) {
  // Planes through existing corners, along edges and faces: faces in the
  // plane or touching it from below go, and the cap takes their place.
  const Solid L = prismSolid({{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}}, 0.0, 1.0);
  const Solid U =
      prismSolid({{0, 0, 0}, {3, 0, 0}, {3, 2, 0}, {2, 2, 0}, {2, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}}, 0.0, 1.0);
  const double r = 1.0 / std::sqrt(2.0);
  struct Case {
    Solid solid;
    MgcVector3 normal, point;
    double volume;
    std::uint32_t vertices, faces;
  };
  const Case cases[] = {
      {L, {0, 1, 0}, {1, 1, 0}, 1.0, 8, 6},
      // The corners of the L's step stay on the edges of the kept box.
      {L, {0, -1, 0}, {1, 1, 0}, 2.0, 10, 6},
      {L, {1, 0, 0}, {1, 1, 0}, 1.0, 8, 6},
      {L, {-1, 0, 0}, {1, 1, 0}, 2.0, 10, 6},
      // Across the arms of a U: each U-shaped end face leaves one face per
      // arm, and the two openings get a cap each.
      {U, {0, 1, 0}, {0, 1.5, 0}, 1.0, 16, 12},
      // The diagonal plane of a cube: half of it, a prism of 6 corners.
      {boxSolid({1, 1, 1}), {r, -r, 0}, {0, 0, 0}, 4.0, 6, 5},
      // Through a corner only, cutting off a corner tetrahedron's complement.
      {boxSolid({1, 1, 1}), MgcVector3(1, 1, 1) * (1 / std::sqrt(3.0)), {1, 1, -1}, 1.0 / 6.0 * 8.0, 4, 4},
  };
  for (const Case& c : cases) {
    auto mesh = toMesh(c.solid, true);
    ASSERT_EQ(cutMesh(*mesh, c.normal, c.point), kClipCut);
    EXPECT_NEAR(meshVolume(*mesh), c.volume, 1e-12);
    EXPECT_TRUE(isClosedMesh(*mesh));
    EXPECT_EQ(mesh->numVertices, c.vertices);
    EXPECT_EQ(mesh->numFaces, c.faces);
  }
}

TEST(Clipper, OppositeHalvesAddUpToTheWholeAndAreClosed) {
  Random random(20240611);
  std::vector<Solid> solids;
  for (int i = 0; i < 4; ++i) solids.push_back(randomHull(random, 24));
  for (int i = 0; i < 4; ++i) solids.push_back(bumpySphere(random, 9, 14));
  solids.push_back(tubeSolid(0.5, 1.0, 12, -1.0, 1.0));
  solids.push_back(prismSolid({{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}}, -0.5, 0.5));

  int cuts = 0;
  for (std::size_t s = 0; s < solids.size(); ++s) {
    const Solid& solid = solids[s];
    for (int plane = 0; plane < 12; ++plane) {
      const MgcVector3 normal = random.unitVector();
      const MgcVector3 point = random.vector(-0.4, 0.4) + MgcVector3(0.3, 0.3, 0.0) * static_cast<double>(plane % 2);
      auto whole = toMesh(solid, true);
      const double volume = meshVolume(*whole);
      auto above = toMesh(solid, true);
      auto below = toMesh(solid, true);
      const int a = cutMesh(*above, normal, point);
      const int b = cutMesh(*below, -normal, point);
      auto aboveDF = toDFmesh(solid);
      auto belowDF = toDFmesh(solid);
      EXPECT_EQ(cutDFmesh(*aboveDF, normal, point), a);
      EXPECT_EQ(cutDFmesh(*belowDF, -normal, point), b);
      if (a != kClipCut || b != kClipCut) continue;
      ++cuts;
      EXPECT_NEAR(meshVolume(*above) + meshVolume(*below), volume, 1e-9 * volume);
      EXPECT_NEAR(meshVolume(*aboveDF) + meshVolume(*belowDF), volume, 1e-9 * volume);
      EXPECT_GT(meshVolume(*above), 0.0);
      EXPECT_GT(meshVolume(*below), 0.0);
      EXPECT_TRUE(isClosedMesh(*above));
      EXPECT_TRUE(isClosedMesh(*below));
      EXPECT_TRUE(isClosedMesh(*aboveDF));
      EXPECT_TRUE(isClosedMesh(*belowDF));
      for (std::uint32_t f = 0; f < above->numFaces; ++f) EXPECT_LE(above->faces[f].numVertices, kMaxFaceCorners);
    }
  }
  EXPECT_GT(cuts, 80);
}

TEST(Clipper, AVertexJustBeyondTheDeadZoneAmongVerticesOnThePlaneStaysOnTheCapOutline) {
  // A sphere of 12 meridians and 7 rings whose meridians at 90 and 270
  // degrees lie in the plane x = 0. One vertex of each is moved across the
  // plane by 3e-7, about 2e-5 in the clipper's scale (the sphere's half
  // extent 1.2 becomes 80): just beyond the dead zone of 1e-5, so close that
  // what is left of a face beside it is a single side.
  const double radius = 1.2;
  const std::uint32_t segments = 12, rings = 7;
  Solid sphere;
  sphere.points.push_back({0.0, -radius, 0.0});
  for (std::uint32_t r = 1; r <= rings; ++r)
    for (std::uint32_t s = 0; s < segments; ++s) {
      const double theta = M_PI * r / (rings + 1), phi = M_PI / 2 + 2 * M_PI * s / segments;
      sphere.points.push_back({radius * std::sin(theta) * std::cos(phi), -radius * std::cos(theta),
                               radius * std::sin(theta) * std::sin(phi)});
    }
  sphere.points.push_back({0.0, radius, 0.0});
  const auto at = [segments](std::uint32_t r, std::uint32_t s) { return 1 + (r - 1) * segments + s % segments; };
  for (std::uint32_t s = 0; s < segments; ++s) {
    sphere.faces.push_back({0, at(1, s), at(1, s + 1)});
    for (std::uint32_t r = 1; r < rings; ++r)
      sphere.faces.push_back({at(r, s), at(r + 1, s), at(r + 1, s + 1), at(r, s + 1)});
    sphere.faces.push_back({at(rings, s), static_cast<std::uint32_t>(sphere.points.size() - 1), at(rings, s + 1)});
  }
  sphere.points[at(2, 0)].x = 3e-7;
  sphere.points[at(5, 6)].x = -3e-7;
  const double whole = meshVolume(*toDFmesh(sphere));
  for (const MgcVector3& normal : {MgcVector3(1, 0, 0), MgcVector3(-1, 0, 0)}) {
    auto shatterMesh = toDFmesh(sphere);
    ASSERT_EQ(cutDFmesh(*shatterMesh, normal, {0, 0, 0}), kClipCut) << normal.x;
    EXPECT_TRUE(isClosedMesh(*shatterMesh)) << normal.x;
    EXPECT_NEAR(meshVolume(*shatterMesh), whole / 2.0, 1e-6 * whole) << normal.x;
    auto mesh = toMesh(sphere, true);
    ASSERT_EQ(cutMesh(*mesh, normal, {0, 0, 0}), kClipCut) << normal.x;
    EXPECT_TRUE(isClosedMesh(*mesh)) << normal.x;
    EXPECT_NEAR(meshVolume(*mesh), whole / 2.0, 1e-6 * whole) << normal.x;
  }
}

TEST(Clipper, TubeCutAcrossGetsOneBridgedCapAroundItsHole) {
  auto mesh = toDFmesh(tubeSolid(1.0, 2.0, 16, -1.0, 1.0));
  ASSERT_EQ(cutDFmesh(*mesh, {0, 0, 1}, {0, 0, 0.3}), kClipCut);
  EXPECT_TRUE(isClosedMesh(*mesh));
  const double ring = 0.5 * 16 * std::sin(2.0 * M_PI / 16);  // area of a unit 16-gon
  EXPECT_NEAR(meshVolume(*mesh), ring * (4.0 - 1.0) * 0.7, 1e-9);
  double capArea = 0.0;
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
    if ((mesh->faces[f].faceFlags & kDFfaceCut) == 0) continue;
    const std::vector<MgcVector3> polygon = facePolygon(*mesh, f);
    capArea += polygonAreaOf(polygon);
    for (const MgcVector3& p : polygon) EXPECT_NEAR(p.z, 0.3, 1e-12);
  }
  // The caps cover the ring exactly: the hole stays open.
  EXPECT_NEAR(capArea, ring * 3.0, 1e-9);
}

TEST(Clipper, LShapedSectionIsCappedByConvexFacesCoveringIt) {
  // The L lies in the xz plane; the prism runs along y.
  Solid solid = prismSolid({{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}}, 0.0, 3.0);
  auto mesh = toMesh(solid, false);
  ASSERT_EQ(cutMesh(*mesh, {0, 0, 1}, {0, 0, 1.0}), kClipCut);
  EXPECT_TRUE(isClosedMesh(*mesh));
  EXPECT_NEAR(meshVolume(*mesh), 3.0 * 2.0, 1e-12);
  double capArea = 0.0;
  int caps = 0;
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
    if ((mesh->faces[f].faceFlags & kMeshFaceCut) == 0) continue;
    ++caps;
    const std::vector<MgcVector3> polygon = facePolygon(*mesh, f);
    capArea += polygonAreaOf(polygon);
    // Convex: every corner turns the same way as the face normal.
    for (std::size_t k = 0; k < polygon.size(); ++k) {
      const MgcVector3 e0 = polygon[(k + 1) % polygon.size()] - polygon[k];
      const MgcVector3 e1 = polygon[(k + 2) % polygon.size()] - polygon[(k + 1) % polygon.size()];
      EXPECT_GE(e0.Cross(e1).Dot(mesh->worldFaceNormals[f]), -1e-12);
    }
  }
  EXPECT_GE(caps, 2);
  EXPECT_NEAR(capArea, 3.0, 1e-12);
}

TEST(Clipper, LargeCapOfAFixedFaceMeshIsStoredAsFanPieces) {
  std::vector<MgcVector3> outline;
  for (int i = 0; i < 40; ++i) outline.emplace_back(std::cos(2 * M_PI * i / 40), std::sin(2 * M_PI * i / 40), 0);
  Solid solid = prismSolid(outline, 0.0, 1.0);
  // The end faces of 40 corners are themselves fans in a face record.
  solid.faces.pop_back();
  solid.faces.pop_back();
  for (std::uint32_t i = 1; i + 1 < 40; ++i) {
    solid.faces.push_back({0, 40 - i, 39 - i});
    solid.faces.push_back({40, 40 + i, 41 + i});
  }
  auto mesh = toMesh(solid, false);
  const double volume = meshVolume(*mesh);
  ASSERT_EQ(cutMesh(*mesh, {0, 0, -1}, {0, 0, 0.4}), kClipCut);
  EXPECT_TRUE(isClosedMesh(*mesh));
  EXPECT_NEAR(meshVolume(*mesh), 0.4 * volume, 1e-12);
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) EXPECT_LE(mesh->faces[f].numVertices, kMaxFaceCorners);
}

TEST(Clipper, ClipperPreparedForAnotherStateRefusesToCut) {
  auto mesh = toMesh(boxSolid({1, 1, 1}), true);
  BVmesh volume(mesh.get());
  EXPECT_EQ(volume.clip({0, 1, 0}, {0, 0, 0}, kClipCaps), 0);  // no clipper
  volume.initClipper();
  ASSERT_EQ(volume.clip({0, 1, 0}, {0, 0, 0}, kClipCaps), kClipCut);
  // The same clipper again: its working copy is the mesh before the cut.
  EXPECT_EQ(volume.clip({1, 0, 0}, {0, 0, 0}, kClipCaps), kClipFailed);
  EXPECT_EQ(mesh->numFaces, 6u);
  volume.initClipper();
  EXPECT_EQ(volume.clip({1, 0, 0}, {0, 0, 0}, kClipCaps), kClipCut);
}

TEST(Clipper, ThinLoopWithoutADiagonalFromItsReflexCornerIsStillCapped) {
  // Replays a run of random cuts through jagged meshes up to one whose cap
  // has a needle-thin loop: the split from its reflex corner finds no target
  // corner, and the loop is capped by ears instead of being left open.
  Random random(7);
  for (int round = 0; round <= 17; ++round) {
    Solid solid;
    if (round % 4 == 0) {
      solid = randomHull(random, 30);
    } else if (round % 4 == 1) {
      solid = bumpySphere(random, 12, 18);
    } else if (round % 4 == 2) {
      solid = tubeSolid(random.uniform(0.2, 0.8), 1.0, 5 + random.index(20), -1, 1);
    } else {
      const int n = 5 + static_cast<int>(random.index(25));
      std::vector<MgcVector3> outline;
      for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n, r = random.uniform(0.3, 1.2);
        outline.emplace_back(r * std::cos(a), r * std::sin(a), 0);
      }
      solid = prismSolid(outline, -0.7, 0.7);
    }
    for (int plane = 0; plane < 20; ++plane) {
      MgcVector3 normal = random.unitVector();
      if (plane % 5 == 0) normal = MgcVector3(0, 0, 1);
      const MgcVector3 point = random.vector(-0.5, 0.5);
      if (round != 17 || plane != 15) continue;
      auto whole = toMesh(solid, false);
      auto above = toMesh(solid, false);
      auto below = toMesh(solid, false);
      ASSERT_EQ(cutMesh(*above, normal, point), kClipCut);
      ASSERT_EQ(cutMesh(*below, -normal, point), kClipCut);
      EXPECT_TRUE(isClosedMesh(*above));
      EXPECT_TRUE(isClosedMesh(*below));
      EXPECT_NEAR(meshVolume(*above) + meshVolume(*below), meshVolume(*whole), 1e-9 * meshVolume(*whole));
    }
  }
}

namespace {

/// Outline loops in a tilted cut plane, given by plane coordinates, as the
/// clipper's edge table holds them.
struct PlaneLoops {
  const MgcVector3 origin{1.0, -2.0, 0.5};
  const MgcVector3 across{0.6, 0.8, 0.0};
  const MgcVector3 up{0.0, 0.0, 1.0};
  std::vector<MgcVector3> vertices;
  std::vector<ClipEdge> edges;

  MgcVector3 normal() const { return across.Cross(up); }

  /// The loop through the points in order, closing back to the first.
  std::vector<std::uint32_t> loop(const std::vector<std::pair<double, double>>& points) {
    const auto first = static_cast<std::uint32_t>(vertices.size());
    const auto n = static_cast<std::uint32_t>(points.size());
    for (const auto& [x, y] : points) vertices.push_back(origin + across * x + up * y);
    std::vector<std::uint32_t> chain;
    for (std::uint32_t i = 0; i < n; ++i) {
      ClipEdge edge{};
      edge.from = first + i;
      edge.to = first + (i + 1) % n;
      chain.push_back(static_cast<std::uint32_t>(edges.size()));
      edges.push_back(edge);
    }
    return chain;
  }
};

}  // namespace

// A loop holds another when the other's first corner lies inside it. The
// outer loops have slanted sides (and one a notch), some start on a slanted
// side, and the inner loops are triangles and hexagons starting at the
// corner tested; the answers are those of a hand count of crossings.
TEST(Clipper, LoopContainmentFollowsSlantedSidesAndNotches) {
  using Points = std::vector<std::pair<double, double>>;
  const Points trapezoid = {{10, 0}, {7, 5}, {3, 5}, {0, 0}};
  const Points notched = {{0, 0}, {10, 0}, {10, 6}, {5, 2}, {0, 6}};
  const Points triangle = {{4, 8}, {0, 0}, {8, 0}};
  const auto smallTriangle = [](double x, double y) { return Points{{x, y}, {x + 0.2, y}, {x + 0.1, y + 0.15}}; };
  const auto hexagon = [](double x, double y) {
    return Points{{x, y}, {x + 0.1, y - 0.1}, {x + 0.2, y - 0.1}, {x + 0.3, y}, {x + 0.2, y + 0.1}, {x + 0.1, y + 0.1}};
  };
  const struct {
    const char* name;
    const Points& outer;
    Points inner;
    bool contained;
  } cases[] = {
      {"inside by the left slant", trapezoid, smallTriangle(2, 1), true},
      {"outside the left slant", trapezoid, smallTriangle(0.4, 1), false},
      {"inside by the right slant", trapezoid, hexagon(8.5, 2), true},
      {"outside the right slant", trapezoid, hexagon(9, 2), false},
      {"in the notch", notched, hexagon(5, 4), false},
      {"below the notch", notched, smallTriangle(5, 1), true},
      {"beside the notch", notched, hexagon(2, 4), true},
      {"near the apex", triangle, hexagon(4, 7), true},
      {"beside the apex", triangle, smallTriangle(5, 7), false},
      {"near the base", triangle, hexagon(4, 0.5), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PlaneLoops loops;
    const std::vector<std::uint32_t> outer = loops.loop(c.outer);
    const std::vector<std::uint32_t> inner = loops.loop(c.inner);
    EXPECT_EQ(loopContainsLoop(outer, inner, loops.normal(), loops.edges, loops.vertices), c.contained);
    // The inner loop holds no corner of the outer one.
    EXPECT_FALSE(loopContainsLoop(inner, outer, loops.normal(), loops.edges, loops.vertices));
  }
}
