#include "geometry/MeshTransforms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/GeometryFixtures.h"
#include "support/HullChecks.h"
#include "support/MathTestUtil.h"
#include "support/MeshFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector2;
using Mgc::MgcVector3;
using zovtest::expectNear;
using zovtest::fromRef;
using zovtest::Random;
using zovtest::toRef;

namespace {

// A scale whose components have random signs and magnitudes in [0.2, 4].
MgcVector3 randomScale(Random& random) {
  MgcVector3 s = random.vector(0.2, 4.0);
  for (int i = 0; i < 3; ++i) s[i] *= random.uniform(0, 1) < 0.25 ? -1.0 : 1.0;
  return s;
}

// Random points with well-shaped triangles whose local normals are their
// unit cross products; centre and radius enclose the points.
std::unique_ptr<ZOVmesh> randomTriangleMesh(Random& random, std::uint32_t numVertices, std::uint32_t numFaces) {
  auto mesh = zovtest::makeMesh(numVertices, numFaces);
  for (std::uint32_t i = 0; i < numVertices; ++i) mesh->vertices[i] = random.vector();
  for (std::uint32_t i = 0; i < numVertices; ++i) mesh->center += mesh->vertices[i] / numVertices;
  for (std::uint32_t i = 0; i < numVertices; ++i)
    mesh->radius = std::max(mesh->radius, (mesh->vertices[i] - mesh->center).Length());
  for (std::uint32_t f = 0; f < numFaces; ++f) {
    mesh_face& face = mesh->faces[f];
    face.numVertices = 3;
    MgcVector3 cross;
    do {
      for (std::uint32_t k = 0; k < 3; ++k) face.vertices[k] = random.index(numVertices);
      const MgcVector3* v = mesh->vertices;
      cross = (v[face.vertices[1]] - v[face.vertices[0]]).Cross(v[face.vertices[2]] - v[face.vertices[0]]);
    } while (cross.Length() < 0.1);
    mesh->faceNormals[f] = cross / cross.Length();
  }
  return mesh;
}

// A box mesh: 8 corners in the documented order (signs of the box-frame
// coordinates below) with local data in the box frame, and 6 quads that make
// a closed convex polyhedron of the box's volume with outward world normals.
constexpr int kCornerSigns[8][3] = {{1, 1, 1},    {1, 1, -1},  {1, -1, -1}, {1, -1, 1},
                                    {-1, -1, -1}, {-1, 1, -1}, {-1, 1, 1},  {-1, -1, 1}};

void expectBoxMesh(const ZOVbox& box, const ZOVmesh& mesh) {
  ASSERT_EQ(mesh.numVertices, 8u);
  ASSERT_EQ(mesh.numFaces, 6u);
  zovtest::CheckedHull world;
  for (std::uint32_t i = 0; i < 8; ++i) {
    const MgcVector3 local(kCornerSigns[i][0] * box.extents.x, kCornerSigns[i][1] * box.extents.y,
                           kCornerSigns[i][2] * box.extents.z);
    expectNear(mesh.vertices[i], local);
    expectNear(mesh.worldVertices[i], box.center + box.axes * local);
    world.vertices.push_back(mesh.worldVertices[i]);
  }
  for (std::uint32_t f = 0; f < 6; ++f) {
    ASSERT_EQ(mesh.faces[f].numVertices, 4u);
    world.faces.push_back({{mesh.faces[f].vertices, mesh.faces[f].vertices + 4}, mesh.worldFaceNormals[f]});
    expectNear(mesh.faceNormals[f], mesh.worldFaceNormals[f] * box.axes);
  }
  const std::vector<std::string> problems = zovtest::convexityProblems(world, 4, 1e-9);
  EXPECT_TRUE(problems.empty()) << problems.front();
  EXPECT_NEAR(zovtest::enclosedVolume(world), 8.0 * box.extents.x * box.extents.y * box.extents.z, 1e-9);
  EXPECT_EQ(mesh.rotation, box.axes);
  EXPECT_EQ(mesh.worldCenter, box.center);
}

}  // namespace

// SRT places a vertex at R S v + t, TRS at S R (v + t); world normals are the
// normals of the moved triangles (flipped by a mirroring scale) and the world
// sphere holds every moved vertex. The shatter mesh moves the same way.
TEST(MeshTransforms, TransformsAgreeWithMatrixArithmetic) {
  Random random(7);
  for (int trial = 0; trial < 40; ++trial) {
    auto mesh = randomTriangleMesh(random, 50, 30);
    auto dfMesh = zovtest::makeDFmesh(50, 30);
    std::copy(mesh->vertices, mesh->vertices + 50, dfMesh->vertices);
    std::copy(mesh->faceNormals, mesh->faceNormals + 30, dfMesh->faceNormals);
    dfMesh->center = mesh->center;
    dfMesh->radius = mesh->radius;
    const MgcMatrix3 R = random.rotation();
    const MgcVector3 t = random.vector(-10.0, 10.0), drawn = randomScale(random);
    // Every fourth trial places at unit scale, the engine's common case.
    const MgcVector3 s = trial % 4 == 0 ? MgcVector3(1.0, 1.0, 1.0) : drawn;
    const bool srt = trial % 2 == 0;
    srt ? meshTransformSRT(mesh.get(), t, R, s) : meshTransformTRS(mesh.get(), t, R, s);
    srt ? meshTransformSRT(dfMesh.get(), t, R, s) : meshTransformTRS(dfMesh.get(), t, R, s);
    const zovref::Mat3 S = zovref::Mat3::diagonal(toRef(s));
    const auto moved = [&](const MgcVector3& v) {
      return fromRef(srt ? toRef(R) * S * toRef(v) + toRef(t) : S * toRef(R) * (toRef(v) + toRef(t)));
    };
    for (std::uint32_t i = 0; i < 50; ++i) {
      expectNear(mesh->worldVertices[i], moved(mesh->vertices[i]), 1e-11);
      EXPECT_LE((mesh->worldVertices[i] - mesh->worldCenter).Length(), mesh->worldRadius * (1.0 + 1e-12));
      EXPECT_EQ(dfMesh->worldVertices[i], mesh->worldVertices[i]);
    }
    expectNear(mesh->worldCenter, moved(mesh->center), 1e-11);
    EXPECT_DOUBLE_EQ(mesh->worldRadius, mesh->radius * std::max({std::fabs(s.x), std::fabs(s.y), std::fabs(s.z)}));
    const double mirror = s.x * s.y * s.z < 0.0 ? -1.0 : 1.0;
    for (std::uint32_t f = 0; f < 30; ++f) {
      const std::vector<MgcVector3> p = zovtest::worldFace(*mesh, f);
      expectNear(mesh->worldFaceNormals[f], zovtest::unitNormal(p[0], p[1], p[2]) * mirror, 1e-9);
      EXPECT_EQ(dfMesh->worldFaceNormals[f], mesh->worldFaceNormals[f]);
    }
    EXPECT_EQ(dfMesh->worldRadius, mesh->worldRadius);
    EXPECT_EQ(mesh->scale, s);
  }
  // A mesh whose world arrays were never allocated still gets its centre.
  meshTransformSRT(static_cast<ZOVmesh*>(nullptr), MgcVector3::ZERO, MgcMatrix3::IDENTITY, MgcVector3(1, 1, 1));
  ZOVmesh bare;
  bare.numVertices = 4;
  bare.numFaces = 2;
  bare.center = MgcVector3(1.0, 0.0, 0.0);
  meshTransformSRT(&bare, MgcVector3(0.0, 1.0, 0.0), MgcMatrix3::IDENTITY, MgcVector3(2.0, 2.0, 2.0));
  EXPECT_EQ(bare.worldCenter, MgcVector3(2.0, 1.0, 0.0));
}

TEST(MeshTransforms, FramesFromADirectionAreOrthonormalAndRightHanded) {
  Random random(5);
  for (int trial = 0; trial < 200; ++trial) {
    const MgcVector3 d = random.unitVector();
    MgcVector3 u, v;
    generateOrthonormalBasis(d, u, v);
    EXPECT_LT(zovtest::maxDifference(MgcMatrix3(u, v, d).TransposeTimes(MgcMatrix3(u, v, d)), MgcMatrix3::IDENTITY),
              1e-12);
    EXPECT_NEAR(MgcMatrix3(u, v, d).Determinant(), 1.0, 1e-12);
    // A longer normal is unitised first; the frame maps it to z.
    MgcMatrix3 frame;
    basisFromNormal(d * (1.0 + trial % 3), frame);
    EXPECT_LT(zovtest::maxDifference(frame.TimesTranspose(frame), MgcMatrix3::IDENTITY), 1e-12);
    expectNear(frame * d, MgcVector3::UNIT_Z);
  }
}

TEST(MeshTransforms, TriangleUVInterpolatesAlongTheEdges) {
  Random random(17);
  for (int trial = 0; trial < 200; ++trial) {
    const MgcVector3 e1 = random.vector(-2, 2), e2 = random.vector(-2, 2);
    if (e1.Cross(e2).Length() < 0.2) continue;
    const double alpha = random.uniform(0, 1), beta = random.uniform(0, 1 - alpha);
    const MgcVector2 uEdge(random.uniform(-1, 1), random.uniform(-1, 1)), vEdge(random.uniform(-1, 1), 0.5);
    float u = 0.0f, v = 0.0f;
    triangleUVAtPoint(e1 * alpha + e2 * beta, e1.UnitCross(e2), e1, e2, uEdge, vEdge, u, v);
    EXPECT_NEAR(u, alpha * uEdge.x + beta * uEdge.y, 1e-5);
    EXPECT_NEAR(v, alpha * vEdge.x + beta * vEdge.y, 1e-5);
  }
  float u = 1.0f, v = 1.0f;  // parallel edges span no triangle
  triangleUVAtPoint({0.5, 0, 0}, {0, 0, 1}, {1, 0, 0}, {2, 0, 0}, MgcVector2(1, 1), MgcVector2(1, 1), u, v);
  EXPECT_EQ(u, 0.0f);
  EXPECT_EQ(v, 0.0f);
}

TEST(MeshTransforms, BoxMeshesHaveTheBoxCornersAndOutwardQuads) {
  Random random(23);
  for (int trial = 0; trial < 20; ++trial) {
    ZOVbox box = zovtest::randomBox(random, 5.0, 0.1, 3.0);
    // Half the boxes have left-handed axes; the quads must still face out.
    if (trial % 2 == 1) box.axes = box.axes * MgcMatrix3(1, 0, 0, 0, -1, 0, 0, 0, 1);
    MgcVector3 corners[8];
    obbCorners(box, corners);
    ZOVmesh mesh;
    meshFromOBB(box, &mesh);
    SCOPED_TRACE(trial);
    expectBoxMesh(box, mesh);
    for (int i = 0; i < 8; ++i) expectNear(corners[i], mesh.worldVertices[i]);
  }
  // Larger arrays stay in place; smaller ones are replaced, per-vertex data
  // included so that it has an entry for every vertex.
  const ZOVbox box = zovtest::randomBox(random, 5.0, 0.1, 3.0);
  auto large = zovtest::makeMesh(12, 10), small = zovtest::makeMesh(4, 2);
  MgcVector3* vertices = large->vertices;
  meshFromOBB(box, large.get());
  EXPECT_EQ(large->vertices, vertices);
  expectBoxMesh(box, *large);
  small->hasVertexData = 1;
  meshFromOBB(box, small.get());
  expectBoxMesh(box, *small);
  for (std::uint32_t i = 0; i < 8; ++i) small->vertexData[i] = MgcVector3(1.0, 1.0, 1.0);
  EXPECT_EQ(small->hasVertexData, 0);
  meshFromOBB(box, static_cast<ZOVmesh*>(nullptr));

  // An aligned box gives the same mesh, also as a shatter mesh.
  const ZOVAAbox aabb{MgcVector3(-1.0, 2.0, 3.0), MgcVector3(1.0, 6.0, 4.0)};
  ZOVmesh mesh;
  meshFromAABB(aabb, &mesh);
  expectBoxMesh(ZOVbox{{0.0, 4.0, 3.5}, MgcMatrix3::IDENTITY, {1.0, 2.0, 0.5}}, mesh);
  MgcVector3 corners[8];
  aabbCorners(aabb, corners);
  ZOV_DFmesh dfMesh;
  meshFromAABB(aabb, &dfMesh);
  ASSERT_EQ(dfMesh.numFaces, 6u);
  for (std::uint32_t i = 0; i < 8; ++i) EXPECT_EQ(dfMesh.worldVertices[i], corners[i]);
  for (std::uint32_t f = 0; f < 6; ++f) {
    EXPECT_EQ(std::vector<std::uint32_t>(dfMesh.faces[f].vertices, dfMesh.faces[f].vertices + 4),
              std::vector<std::uint32_t>(mesh.faces[f].vertices, mesh.faces[f].vertices + 4));
    EXPECT_EQ(dfMesh.worldFaceNormals[f], mesh.worldFaceNormals[f]);
  }
}

TEST(MeshTransforms, ClampsKeepComponentsWithinTheTolerance) {
  struct Case {
    double x, a, b, tolerance, expected;
  };
  const Case cases[] = {
      {0.5, 0.0, 1.0, 0.0, 0.5},     {-0.5, 0.0, 1.0, 0.0, 0.0},
      {1.5, 0.0, 1.0, 0.0, 1.0},     {1.5, 1.0, 0.0, 0.0, 1.0},  // bounds in either order
      {-0.05, 0.0, 1.0, 0.1, -0.05},                             // outside, but within the tolerance
      {-0.2, 0.0, 1.0, 0.1, 0.0},    {1.2, 0.0, 1.0, 0.1, 1.0},
  };
  for (const Case& c : cases) {
    MgcVector3 x(c.x, 0.5, c.x);
    const MgcVector3 copy = clampVectorToBox(x, MgcVector3(c.a, 0.0, c.a), MgcVector3(c.b, 1.0, c.b), c.tolerance);
    EXPECT_EQ(x, MgcVector3(c.expected, 0.5, c.expected)) << c.x << " in [" << c.a << ", " << c.b << "]";
    EXPECT_EQ(copy, x);
    double q[4] = {0.5, c.x, 0.5, c.x};
    const double a[4] = {0.0, c.a, 0.0, c.a}, b[4] = {1.0, c.b, 1.0, c.b};
    const std::array<double, 4> clamped = clampQuatToBox(q, a, b, c.tolerance);
    EXPECT_EQ(std::vector<double>(q, q + 4), (std::vector<double>{0.5, c.expected, 0.5, c.expected}));
    EXPECT_EQ(clamped[1], c.expected);
  }
}
