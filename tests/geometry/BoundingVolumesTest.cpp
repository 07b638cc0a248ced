#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <set>
#include <type_traits>
#include <utility>
#include <vector>

#include "geometry/BCapsule.h"
#include "geometry/BVAAbox.h"
#include "geometry/BVbox.h"
#include "geometry/BVmesh.h"
#include "geometry/MassProperties.h"
#include "geometry/MeshTransforms.h"
#include "support/GeometryFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::Random;

namespace {

// Volumes may own arrays or records: a shallow copy would free them twice.
static_assert(!std::is_copy_constructible_v<BVmesh> && !std::is_copy_assignable_v<BVmesh>);
static_assert(!std::is_copy_constructible_v<BVbox> && !std::is_copy_assignable_v<BVbox>);
static_assert(!std::is_copy_constructible_v<BVAAbox> && !std::is_copy_assignable_v<BVAAbox>);
static_assert(!std::is_copy_constructible_v<BCapsule> && !std::is_copy_assignable_v<BCapsule>);

constexpr int kAllTables = kMeshEdgeTable | kMeshVertexTable | kMeshGroups;

double distance(const MgcVector3& a, const MgcVector3& b) { return (a - b).Length(); }

/// Copies of a box mesh side by side in one mesh.
std::unique_ptr<ZOVmesh> cubes(int count) {
  auto cube = zovtest::boxMesh({1.0, 1.0, 1.0});
  std::vector<MgcVector3> vertices;
  std::vector<std::vector<std::uint32_t>> faces;
  for (int c = 0; c < count; ++c) {
    const std::uint32_t base = static_cast<std::uint32_t>(vertices.size());
    for (std::uint32_t v = 0; v < 8; ++v) vertices.push_back(cube->vertices[v] + MgcVector3(5.0 * c, 0, 0));
    for (std::uint32_t f = 0; f < 6; ++f) {
      const std::uint32_t* corners = cube->faces[f].vertices;
      faces.push_back({base + corners[0], base + corners[1], base + corners[2], base + corners[3]});
    }
  }
  return zovtest::polygonMesh(vertices, faces);
}

// Side k of a face is the edge between its corners k and k + 1; each edge
// keeps the texture coordinates (numbered after the vertices) in its own vertex
// order on both faces; every corner of a cube meets three faces and edges.
TEST(BVmesh, ClosedCubeTablesLinkEdgesFacesAndVertices) {
  auto cube = zovtest::boxMesh({1.0, 2.0, 3.0});
  constexpr std::uint32_t kUvOffset = 100;
  cube->numUVs = 8;
  for (std::uint32_t f = 0; f < 6; ++f)
    for (std::uint32_t k = 0; k < 4; ++k) cube->faces[f].uvIndices[k] = cube->faces[f].vertices[k] + kUvOffset;
  BVmesh volume;
  ASSERT_TRUE(volume.init(cube.get(), kAllTables));
  ASSERT_EQ(volume.getNumEdges(), 12u);
  for (std::uint32_t f = 0; f < 6; ++f) {
    const mesh_face& face = cube->faces[f];
    ASSERT_EQ(face.numEdges, 4u);
    for (std::uint32_t k = 0; k < 4; ++k) {
      const connect_edge& edge = volume.getConnectEdges(face.edges[k]);
      EXPECT_EQ(std::minmax(edge.vertexA, edge.vertexB), std::minmax(face.vertices[k], face.vertices[(k + 1) % 4]));
      EXPECT_EQ(std::set<std::uint32_t>({edge.faceA, edge.faceB}).count(f), 1u);
      EXPECT_NE(edge.faceA, edge.faceB);
      EXPECT_EQ(edge.uvAonFaceA - edge.vertexA, kUvOffset);
      EXPECT_EQ(edge.uvBonFaceA - edge.vertexB, kUvOffset);
      EXPECT_EQ(edge.uvAonFaceB - edge.vertexA, kUvOffset);
      EXPECT_EQ(edge.uvBonFaceB - edge.vertexB, kUvOffset);
    }
  }
  for (std::uint32_t v = 0; v < 8; ++v) {
    const connect_vertex& around = volume.getConnectVertex(v);
    ASSERT_EQ(around.numFaces, 3u);
    ASSERT_EQ(around.numEdges, 3u);
    for (std::uint32_t i = 0; i < 3; ++i) {
      const std::uint32_t* corners = cube->faces[around.faces[i]].vertices;
      EXPECT_NE(std::find(corners, corners + 4, v), corners + 4);
      const connect_edge& edge = volume.getConnectEdges(around.edges[i]);
      EXPECT_TRUE(edge.vertexA == v || edge.vertexB == v);
    }
  }
}

TEST(BVmesh, EdgesAndGroupsOfClosedOpenAndSeparateMeshes) {
  struct Case {
    const char* what;
    std::unique_ptr<ZOVmesh> mesh;
    std::uint32_t edges, borderEdges, groups;
  };
  Case cases[] = {
      {"cube", cubes(1), 12, 0, 1},
      {"two disjoint cubes", cubes(2), 24, 0, 2},
      {"three disjoint cubes", cubes(3), 36, 0, 3},
      {"open square", zovtest::polygonMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}}), 4, 4, 1},
  };
  for (Case& c : cases) {
    BVmesh volume;
    ASSERT_TRUE(volume.init(c.mesh.get(), kMeshGroups)) << c.what;
    ASSERT_EQ(volume.getNumEdges(), c.edges) << c.what;
    std::uint32_t border = 0;
    for (std::uint32_t e = 0; e < c.edges; ++e)
      border += volume.getConnectEdges(e).faceA == volume.getConnectEdges(e).faceB;
    EXPECT_EQ(border, c.borderEdges) << c.what;
    EXPECT_EQ(volume.getNumMeshGroups(), c.groups) << c.what;
    for (std::uint32_t f = 0; f < c.mesh->numFaces; ++f) EXPECT_EQ(c.mesh->faces[f].groupId, f / 6 + 1u) << c.what;
  }
}

TEST(BVmesh, InvalidMeshIsRefusedAndReleasesTheMeshHeldBefore) {
  struct Case {
    const char* what;
    void (*spoil)(ZOVmesh&);
  };
  const Case cases[] = {
      {"index equal to the vertex count", [](ZOVmesh& m) { m.faces[2].vertices[1] = m.numVertices; }},
      {"index far out of range", [](ZOVmesh& m) { m.faces[5].vertices[3] = 0xFFFFFFF0u; }},
      {"more corners than a face holds", [](ZOVmesh& m) { m.faces[0].numVertices = kMaxFaceCorners + 1; }},
  };
  for (const Case& c : cases) {
    auto held = zovtest::boxMesh({1, 1, 1});
    auto bad = zovtest::boxMesh({1, 1, 1});
    c.spoil(*bad);
    BVmesh volume;
    ASSERT_TRUE(volume.init(held.get(), kAllTables));
    EXPECT_FALSE(volume.init(bad.get(), kAllTables)) << c.what;
    EXPECT_EQ(volume.getMesh(), nullptr) << c.what;
    EXPECT_FALSE(volume.isConnectEdges()) << c.what;
    EXPECT_FALSE(volume.copyAprox(bad.get(), kAllTables)) << c.what;
  }
  BVmesh volume;
  EXPECT_FALSE(volume.init(nullptr, kAllTables));

  // The vertex table alone has no counts to fill it: every record is empty.
  auto cube = zovtest::boxMesh({1, 1, 1});
  ASSERT_TRUE(volume.init(cube.get(), kMeshVertexTable));
  EXPECT_FALSE(volume.isConnectEdges());
  EXPECT_TRUE(volume.isConnectVertex());
  for (std::uint32_t v = 0; v < 8; ++v) EXPECT_EQ(volume.getConnectVertex(v).numFaces, 0u);
}

// Every edge joins the corners of the face sides that name it, and every
// vertex record lists faces that hold the vertex and edges that end at it.
void expectTablesDescribe(BVmesh& volume, const ZOVmesh& mesh, const char* what) {
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const mesh_face& face = mesh.faces[f];
    for (std::uint32_t k = 0; k < face.numEdges; ++k) {
      const connect_edge& edge = volume.getConnectEdges(face.edges[k]);
      EXPECT_EQ(std::minmax(edge.vertexA, edge.vertexB),
                std::minmax(face.vertices[k], face.vertices[(k + 1) % face.numVertices]))
          << what;
      EXPECT_TRUE(edge.faceA == f || edge.faceB == f) << what;
    }
  }
  for (std::uint32_t v = 0; v < mesh.numVertices; ++v) {
    const connect_vertex& around = volume.getConnectVertex(v);
    for (std::uint32_t i = 0; i < around.numFaces; ++i) {
      const mesh_face& face = mesh.faces[around.faces[i]];
      EXPECT_NE(std::find(face.vertices, face.vertices + face.numVertices, v), face.vertices + face.numVertices)
          << what;
    }
    for (std::uint32_t i = 0; i < around.numEdges; ++i) {
      const connect_edge& edge = volume.getConnectEdges(around.edges[i]);
      EXPECT_TRUE(edge.vertexA == v || edge.vertexB == v) << what;
    }
  }
}

// Volumes over meshes of one shape (the same faces over the same vertex
// numbers, wherever the vertices are) keep one copy of each table; a table
// that differs in anything is kept apart.
TEST(BVmesh, VolumesOverMeshesOfOneShapeShareOneCopyOfEachTable) {
  const std::size_t heldBefore = BVmesh::heldTableCount();
  auto first = zovtest::boxMesh({1.0, 1.0, 1.0});
  auto sameShape = zovtest::boxMesh({3.0, 0.5, 2.0});
  auto withUVs = zovtest::boxMesh({1.0, 1.0, 1.0});
  withUVs->numUVs = 8;
  for (std::uint32_t f = 0; f < 6; ++f)
    for (std::uint32_t k = 0; k < 4; ++k) withUVs->faces[f].uvIndices[k] = withUVs->faces[f].vertices[k] + 1;
  auto otherShape = cubes(2);

  auto a = std::make_unique<BVmesh>();
  BVmesh b, uv, other;
  ASSERT_TRUE(a->init(first.get(), kAllTables));
  ASSERT_TRUE(b.init(sameShape.get(), kAllTables));
  ASSERT_TRUE(uv.init(withUVs.get(), kAllTables));
  ASSERT_TRUE(other.init(otherShape.get(), kAllTables));

  EXPECT_TRUE(a->sharesEdgeTable(b));
  EXPECT_TRUE(a->sharesVertexTable(b));
  EXPECT_EQ(&a->getConnectEdges(0), &b.getConnectEdges(0));
  EXPECT_EQ(&a->getConnectVertex(0), &b.getConnectVertex(0));
  // The texture coordinates are part of the edge records only.
  EXPECT_FALSE(a->sharesEdgeTable(uv));
  EXPECT_TRUE(a->sharesVertexTable(uv));
  EXPECT_EQ(uv.getConnectEdges(0).uvAonFaceA, uv.getConnectEdges(0).vertexA + 1);
  EXPECT_FALSE(a->sharesEdgeTable(other));
  EXPECT_FALSE(a->sharesVertexTable(other));
  EXPECT_EQ(other.getNumEdges(), 24u);
  // Four volumes, two shapes, one with two kinds of edges: five tables.
  EXPECT_EQ(BVmesh::heldTableCount(), heldBefore + 5);

  // A volume let go, or built again over another mesh, leaves the tables of
  // the others as they were.
  a.reset();
  auto open = zovtest::polygonMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}});
  ASSERT_TRUE(uv.init(open.get(), kAllTables));
  EXPECT_EQ(uv.getNumEdges(), 4u);
  EXPECT_FALSE(uv.sharesVertexTable(b));
  expectTablesDescribe(b, *sameShape, "box after its sharer went");
  expectTablesDescribe(uv, *open, "open square");
  expectTablesDescribe(other, *otherShape, "two cubes");
  for (std::uint32_t v = 0; v < 8; ++v) {
    EXPECT_EQ(b.getConnectVertex(v).numFaces, 3u);
    EXPECT_EQ(b.getConnectVertex(v).numEdges, 3u);
  }

  // A volume made later over the first mesh takes the tables that the other
  // box still holds.
  BVmesh again;
  ASSERT_TRUE(again.init(first.get(), kAllTables));
  EXPECT_TRUE(again.sharesEdgeTable(b));
  expectTablesDescribe(again, *first, "box built again");
}

// The last volume to let go of a table frees it, whether it is destroyed,
// bound to another mesh or cut free of its tables.
TEST(BVmesh, TheLastVolumeHoldingATableFreesIt) {
  const std::size_t heldBefore = BVmesh::heldTableCount();
  auto box = zovtest::boxMesh({1.0, 1.0, 1.0});
  auto twoBoxes = cubes(2);
  {
    std::vector<std::unique_ptr<BVmesh>> volumes;
    for (int i = 0; i < 10; ++i) {
      volumes.push_back(std::make_unique<BVmesh>());
      ASSERT_TRUE(volumes.back()->init(i % 2 == 0 ? box.get() : twoBoxes.get(), kAllTables));
    }
    EXPECT_EQ(BVmesh::heldTableCount(), heldBefore + 4);
    volumes[1]->destroy();
    volumes[3]->deleteMesh();
    ASSERT_TRUE(volumes[5]->init(box.get(), kMeshEdgeTable));
    ASSERT_TRUE(volumes[7]->init(box.get(), kAllTables));
    volumes[9].reset();
    EXPECT_EQ(BVmesh::heldTableCount(), heldBefore + 2);
    // Volume 5 holds the box's edge table alone.
    EXPECT_TRUE(volumes[5]->sharesEdgeTable(*volumes[0]));
    EXPECT_FALSE(volumes[5]->isConnectVertex());
  }
  EXPECT_EQ(BVmesh::heldTableCount(), heldBefore);
}

TEST(BVmesh, VolumeAndTransformsAgreeWithTheMeshRecordsOwn) {
  // The L prism is the union of a 2x1x1 and a 1x1x1 box: volume 3, centre of
  // mass (2 (1, .5, .5) + (.5, 1.5, .5)) / 3.
  auto prism = zovtest::lPrismMesh();
  BVmesh volume;
  ASSERT_TRUE(volume.init(prism.get(), kMeshVolume));
  EXPECT_NEAR(volume.getVolumen(), 3.0, 1e-12);
  EXPECT_LT(distance(prism->center, MgcVector3(2.5 / 3.0, 2.5 / 3.0, 0.5)), 1e-12);
  auto reference = zovtest::lPrismMesh();
  MgcVector3 centre;
  EXPECT_EQ(volume.getVolumen(), ComputeMassProperties(*reference, centre));

  Random random(7u);
  for (const bool srt : {true, false}) {
    const MgcVector3 t = random.vector(-5, 5), s = random.vector(0.5, 2.0);
    const MgcMatrix3 R = random.rotation();
    srt ? volume.transformSRT(t, R, s) : volume.transformTRS(t, R, s);
    srt ? meshTransformSRT(reference.get(), t, R, s) : meshTransformTRS(reference.get(), t, R, s);
    for (std::uint32_t v = 0; v < prism->numVertices; ++v)
      EXPECT_EQ(prism->worldVertices[v], reference->worldVertices[v]);
  }
}

TEST(BVmesh, ApproximateHullSamplesMeshesOfMoreThan512Vertices) {
  Random random(11u);
  for (const std::uint32_t count : {1000u, 512u}) {
    std::vector<MgcVector3> sphere;
    for (std::uint32_t i = 0; i < count; ++i) sphere.push_back(random.unitVector() * 3.0);
    auto mesh = zovtest::polygonMesh(sphere, {{0, 1, 2}});
    // World data differs from local data, to see which the hull is built from.
    for (std::uint32_t i = 0; i < count; ++i) mesh->worldVertices[i] = mesh->vertices[i] * 2.0;

    BVmesh volume;
    ASSERT_TRUE(volume.copyAprox(mesh.get(), kAllTables | kMeshVolume)) << count;
    const ZOVmesh* hull = volume.getMesh();
    EXPECT_EQ(volume.getOwnership(), kOwnedRecord);
    EXPECT_EQ(volume.getNumMeshGroups(), 1u);
    EXPECT_GT(volume.getVolumen(), 0.0);
    // 1000 vertices: the hull of 512 sampled local vertices (a stride of 1
    // takes the first 512). 512: the hull of all world vertices, every one of
    // which lies on the sphere.
    const MgcVector3* source = count > 512 ? mesh->vertices : mesh->worldVertices;
    if (count == 512) {
      EXPECT_EQ(hull->numVertices, 512u);
    }
    for (std::uint32_t v = 0; v < hull->numVertices; ++v) {
      EXPECT_EQ(hull->worldVertices[v], hull->vertices[v]);
      EXPECT_NE(std::find(source, source + 512, hull->vertices[v]), source + 512);
    }
  }
}

TEST(BVbox, TransformsMoveTheCornersAsTheMeshTransformsDo) {
  Random random(3u);
  // The box is scaled along its own axes: exact for a uniform scale of any
  // box, and for any scale of a box aligned with the frame.
  for (int trial = 0; trial < 8; ++trial) {
    ZOVbox record = zovtest::randomBox(random, 3.0, 0.2, 2.0);
    const bool uniform = trial % 2 == 0;
    if (!uniform) record.axes = MgcMatrix3::IDENTITY;
    const double k = random.uniform(0.5, 2.0);
    const MgcVector3 s = uniform ? MgcVector3(k, k, k) : random.vector(0.5, 2.0), t = random.vector(-5, 5);
    const MgcMatrix3 R = random.rotation();
    BVbox box(&record);
    MgcVector3 corners[8], movedCorners[8];
    ASSERT_EQ(box.computeVertexes(corners), 8u);
    auto mesh = zovtest::polygonMesh(std::vector<MgcVector3>(corners, corners + 8), {{0, 1, 2}});
    for (const bool srt : {true, false}) {
      if (!srt && !uniform) continue;
      BVbox moved;
      srt ? box.transformSRT(t, R, s, moved) : box.transformTRS(t, R, s, moved);
      srt ? meshTransformSRT(mesh.get(), t, R, s) : meshTransformTRS(mesh.get(), t, R, s);
      moved.computeVertexes(movedCorners);
      for (int i = 0; i < 8; ++i) EXPECT_LT(distance(movedCorners[i], mesh->worldVertices[i]), 1e-12) << trial;
      const MgcVector3& e = moved.getBox()->extents;
      EXPECT_EQ(moved.getBox()->maxExtent, std::max({e.x, e.y, e.z}));
    }
  }
}

// A mirrored axis flips the box's side but not its size: the half extents
// are |s| times the old ones, never negative, and the box is as large.
TEST(BVbox, MirroredScalesKeepExtentsNonNegative) {
  const MgcVector3 scales[] = {{-2.0, 1.5, 0.5}, {1.0, -1.0, 1.0}, {-0.5, -3.0, -2.0}, {0.25, 2.0, -4.0}};
  Random random(11u);
  for (const MgcVector3& s : scales) {
    ZOVbox record = zovtest::randomBox(random, 3.0, 0.2, 2.0);
    BVbox box(&record);
    for (const bool srt : {true, false}) {
      SCOPED_TRACE(srt ? "SRT" : "TRS");
      BVbox moved;
      srt ? box.transformSRT(random.vector(-5, 5), random.rotation(), s, moved)
          : box.transformTRS(random.vector(-5, 5), random.rotation(), s, moved);
      const ZOVbox& out = *moved.getBox();
      for (int k = 0; k < 3; ++k) {
        EXPECT_GE(out.extents[k], 0.0) << k;
        EXPECT_NEAR(out.extents[k], std::fabs(s[k]) * record.extents[k], 1e-15 * record.extents[k]) << k;
      }
      EXPECT_EQ(out.maxExtent, std::max({out.extents.x, out.extents.y, out.extents.z}));
      const double volume = 8.0 * record.extents.x * record.extents.y * record.extents.z;
      EXPECT_NEAR(moved.getVolumen(), std::fabs(s.x * s.y * s.z) * volume, 1e-12 * volume);
    }
  }
}

TEST(BVAAbox, TransformMovesTheCentreAndKeepsTheFrameAlignedHalfSize) {
  ZOVAAbox record{{1, 2, 3}, {3, 3, 7}};  // centre (2, 2.5, 5), half size (1, .5, 2)
  BVAAbox box(&record);
  // A quarter turn about z moves the centre but leaves the half size unrotated.
  MgcMatrix3 quarter;
  quarter.FromAxisAngle(MgcVector3::UNIT_Z, 0.5 * 3.14159265358979323846);
  BVAAbox turned;
  box.transformSRT({10, 0, 0}, quarter, {1, 1, 1}, turned);
  EXPECT_LT(distance(turned.getCenter(), MgcVector3(10 - 2.5, 2, 5)), 1e-12);
  EXPECT_LT(distance(turned.getBox()->max - turned.getBox()->min, MgcVector3(2, 1, 4)), 1e-12);

  // Without rotation the result is the bounds of the moved corners, a
  // mirrored axis included; transforming into itself writes the lent record.
  const MgcVector3 s(2.0, -0.5, 3.0), t(1, -1, 4);
  MgcVector3 corners[8];
  box.computeVertexes(corners);
  MgcVector3 low(1e300, 1e300, 1e300), high(-1e300, -1e300, -1e300);
  for (const MgcVector3& c : corners)
    for (int k = 0; k < 3; ++k) {
      low[k] = std::min(low[k], s[k] * c[k] + t[k]);
      high[k] = std::max(high[k], s[k] * c[k] + t[k]);
    }
  box.transformSRT(t, MgcMatrix3::IDENTITY, s, box);
  EXPECT_LT(distance(record.min, low), 1e-12);
  EXPECT_LT(distance(record.max, high), 1e-12);
}

TEST(BCapsule, TransformMovesTheTipsAsPointsAndTheFrameIsOrthonormal) {
  Random random(5u);
  for (int trial = 0; trial < 6; ++trial) {
    ZOVcapsule record = zovtest::randomCapsule(random, 3.0, 4.0, 1.0);
    BCapsule capsule(&record);
    const MgcVector3 u = capsule.getAxis(0), w = capsule.getAxis(1), axis = capsule.getAxis(2);
    EXPECT_NEAR(u.Dot(w), 0.0, 1e-12);
    EXPECT_NEAR(u.Dot(axis), 0.0, 1e-12);
    EXPECT_LT(distance(u.Cross(w), axis), 1e-12);  // right-handed (u, w, axis)

    const double k = random.uniform(0.5, 2.0);
    const MgcVector3 t = random.vector(-5, 5);
    const MgcMatrix3 R = random.rotation();
    BCapsule moved;
    capsule.transformSRT(t, R, {k, k, k}, moved);
    MgcVector3 tips[4], movedTips[4];
    capsule.computeVertexes(tips);
    moved.computeVertexes(movedTips);
    for (int i = 0; i < 2; ++i) EXPECT_LT(distance(movedTips[i], R * (tips[i] * k) + t), 1e-12);
    EXPECT_NEAR(moved.getCap()->radius, k * record.radius, 1e-12);
    // A mirrored axis scales sizes by its magnitude.
    capsule.transformSRT(t, R, {-2.0 * k, k, k}, moved);
    EXPECT_NEAR(moved.getCap()->radius, 2.0 * k * record.radius, 1e-12);
    EXPECT_NEAR(moved.getSize(), 2.0 * k * record.length, 1e-12);
  }
  ZOVcapsule sphere{{1, 2, 3}, {0, 0, 0}, 0.0, 1.0};
  BCapsule ball(&sphere);
  EXPECT_EQ(ball.getAxis(0), MgcVector3::ZERO);
  EXPECT_EQ(ball.getAxis(1), MgcVector3::ZERO);
}

// The moved capsule's frame is its own: the axis is R times the old one,
// the side vectors complete it to a right-handed orthonormal frame, the end
// tips lie half a length plus a radius along it and the side tips a radius
// out along the side vectors. The capsule moved into is one that held
// another capsule (a scratch volume reused), whose frame must not linger.
TEST(BCapsule, EveryAxisAndTipOfAMovedCapsuleFollowsItsNewAxis) {
  Random random(17u);
  const MgcVector3 scales[] = {{1.5, 1.5, 1.5}, {-2.0, 1.0, 0.5}, {0.5, -0.5, 3.0}};
  ZOVcapsule scratchRecord = zovtest::randomCapsule(random, 1.0, 2.0, 0.5);
  BCapsule scratch(&scratchRecord);
  for (const MgcVector3& s : scales) {
    ZOVcapsule record = zovtest::randomCapsule(random, 3.0, 4.0, 1.0);
    BCapsule capsule(&record);
    for (const bool srt : {true, false}) {
      SCOPED_TRACE(srt ? "SRT" : "TRS");
      const MgcVector3 t = random.vector(-5, 5);
      const MgcMatrix3 R = random.rotation();
      srt ? capsule.transformSRT(t, R, s, scratch) : capsule.transformTRS(t, R, s, scratch);
      const ZOVcapsule& out = *scratch.getCap();
      const MgcVector3 centre =
          srt ? R * MgcVector3(s.x * record.center.x, s.y * record.center.y, s.z * record.center.z) + t : [&] {
            const MgcVector3 q = R * (record.center + t);
            return MgcVector3(s.x * q.x, s.y * q.y, s.z * q.z);
          }();
      const double k = std::max({std::fabs(s.x), std::fabs(s.y), std::fabs(s.z)});
      const MgcVector3 axis = R * record.axis, u = scratch.getAxis(0), w = scratch.getAxis(1);
      EXPECT_LT(distance(out.center, centre), 1e-12);
      EXPECT_LT(distance(scratch.getAxis(2), axis), 1e-12);
      EXPECT_NEAR(out.radius, k * record.radius, 1e-12);
      EXPECT_NEAR(out.length, k * record.length, 1e-12);
      EXPECT_NEAR(u.Length(), 1.0, 1e-12);
      EXPECT_NEAR(w.Length(), 1.0, 1e-12);
      EXPECT_NEAR(u.Dot(w), 0.0, 1e-12);
      EXPECT_NEAR(u.Dot(axis), 0.0, 1e-12);
      EXPECT_LT(distance(u.Cross(w), axis), 1e-12);
      MgcVector3 tips[4];
      ASSERT_EQ(scratch.computeVertexes(tips), 4u);
      const double reach = 0.5 * k * record.length + k * record.radius;
      EXPECT_LT(distance(tips[0], centre - axis * reach), 1e-12);
      EXPECT_LT(distance(tips[1], centre + axis * reach), 1e-12);
      EXPECT_LT(distance(tips[2], centre + u * (k * record.radius)), 1e-12);
      EXPECT_LT(distance(tips[3], centre + w * (k * record.radius)), 1e-12);
    }
  }
}

TEST(BoundingVolumes, LentRecordsOutliveTheirVolumesAndOwnedOnesAreFreed) {
  ZOVAAbox aabox{};
  ZOVcapsule capsule{};
  auto cube = zovtest::boxMesh({1, 1, 1});
  {
    BVAAbox b(&aabox);
    BCapsule c(&capsule);
    BVmesh m(cube.get());
    b.init(ZOVAAbox{{-1, -1, -1}, {1, 1, 1}});  // writes into the lent record
    c.deleteCap();                              // drops the lent record unfreed
    c.init(ZOVcapsule{{0, 0, 0}, {0, 0, 1}, 2.0, 0.5});
    EXPECT_EQ(c.getOwnership(), kOwnedRecord);
    ASSERT_TRUE(m.createMesh());  // replaces the lent cube by an owned empty mesh
  }
  // The lent records are intact; the sanitizers catch a free of them.
  EXPECT_EQ(aabox.max, MgcVector3(1, 1, 1));
  EXPECT_EQ(cube->numVertices, 8u);

  // Re-binding an owned mesh keeps it owned: the leak checker sees a drop.
  BVmesh volume;
  ASSERT_TRUE(volume.copyAprox(cube.get(), 0));
  ASSERT_TRUE(volume.init(volume.getMesh(), kAllTables));
  EXPECT_EQ(volume.getOwnership(), kOwnedRecord);
}

}  // namespace
