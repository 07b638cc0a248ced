#include "geometry/MeshTransforms.h"

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <Eigen/Geometry>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "support/MeshFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector2;
using Mgc::MgcVector3;

namespace {

Eigen::Vector3d toEigen(const MgcVector3& v) { return {v.x, v.y, v.z}; }

MgcVector3 fromEigen(const Eigen::Vector3d& v) { return {v.x(), v.y(), v.z()}; }

MgcMatrix3 fromEigen(const Eigen::Matrix3d& m) {
  return {m(0, 0), m(0, 1), m(0, 2), m(1, 0), m(1, 1), m(1, 2), m(2, 0), m(2, 1), m(2, 2)};
}

Eigen::Matrix3d toEigen(const MgcMatrix3& m) {
  Eigen::Matrix3d e;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) e(r, c) = m[r][c];
  return e;
}

void expectNear(const MgcVector3& actual, const Eigen::Vector3d& expected, double tolerance) {
  EXPECT_NEAR(actual.x, expected.x(), tolerance);
  EXPECT_NEAR(actual.y, expected.y(), tolerance);
  EXPECT_NEAR(actual.z, expected.z(), tolerance);
}

class Random {
 public:
  explicit Random(unsigned seed) : engine_(seed) {}
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(engine_); }
  Eigen::Vector3d vector(double lo, double hi) { return {uniform(lo, hi), uniform(lo, hi), uniform(lo, hi)}; }
  Eigen::Matrix3d rotation() {
    Eigen::Quaterniond q(uniform(-1, 1), uniform(-1, 1), uniform(-1, 1), uniform(-1, 1));
    return q.normalized().toRotationMatrix();
  }
  // A scale whose components have random signs and magnitudes in [0.2, 4].
  Eigen::Vector3d scale() {
    Eigen::Vector3d s = vector(0.2, 4.0);
    for (int i = 0; i < 3; ++i)
      if (uniform(0, 1) < 0.25) s[i] = -s[i];
    return s;
  }
  std::uint32_t index(std::uint32_t n) { return static_cast<std::uint32_t>(engine_() % n); }

 private:
  std::mt19937 engine_;
};

// A mesh of random points with well-shaped random triangles whose local
// normals are their unit cross products; centre and radius enclose the points.
std::unique_ptr<ZOVmesh> randomTriangleMesh(Random& random, std::uint32_t numVertices, std::uint32_t numFaces) {
  auto mesh = zovtest::makeMesh(numVertices, numFaces);
  Eigen::Vector3d sum = Eigen::Vector3d::Zero();
  for (std::uint32_t i = 0; i < numVertices; ++i) {
    const Eigen::Vector3d p = random.vector(-1.0, 1.0);
    mesh->vertices[i] = fromEigen(p);
    sum += p;
  }
  const Eigen::Vector3d center = sum / numVertices;
  mesh->center = fromEigen(center);
  for (std::uint32_t i = 0; i < numVertices; ++i)
    mesh->radius = std::max(mesh->radius, (toEigen(mesh->vertices[i]) - center).norm());
  for (std::uint32_t f = 0; f < numFaces; ++f) {
    mesh_face& face = mesh->faces[f];
    Eigen::Vector3d cross;
    do {
      for (std::uint32_t k = 0; k < 3; ++k) face.vertices[k] = random.index(numVertices);
      const Eigen::Vector3d a = toEigen(mesh->vertices[face.vertices[0]]);
      const Eigen::Vector3d b = toEigen(mesh->vertices[face.vertices[1]]);
      const Eigen::Vector3d c = toEigen(mesh->vertices[face.vertices[2]]);
      cross = (b - a).cross(c - a);
    } while (cross.norm() < 0.1);
    face.numVertices = 3;
    mesh->faceNormals[f] = fromEigen(cross.normalized());
  }
  return mesh;
}

Eigen::Vector3d worldTriangleNormal(const ZOVmesh& mesh, std::uint32_t f) {
  const mesh_face& face = mesh.faces[f];
  const Eigen::Vector3d a = toEigen(mesh.worldVertices[face.vertices[0]]);
  const Eigen::Vector3d b = toEigen(mesh.worldVertices[face.vertices[1]]);
  const Eigen::Vector3d c = toEigen(mesh.worldVertices[face.vertices[2]]);
  return (b - a).cross(c - a).normalized();
}

// Checks a transformed mesh against its own world geometry: each world normal
// is the unit normal of its transformed triangle (flipped when the scale
// mirrors), and the bounding sphere holds every world vertex.
void expectConsistentWorldData(const ZOVmesh& mesh, const Eigen::Vector3d& s) {
  const double mirror = s.prod() < 0.0 ? -1.0 : 1.0;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f)
    expectNear(mesh.worldFaceNormals[f], mirror * worldTriangleNormal(mesh, f), 1e-9);
  const Eigen::Vector3d center = toEigen(mesh.worldCenter);
  for (std::uint32_t i = 0; i < mesh.numVertices; ++i)
    EXPECT_LE((toEigen(mesh.worldVertices[i]) - center).norm(), mesh.worldRadius * (1.0 + 1e-12));
}

double closedMeshVolume(const MgcVector3* world, const mesh_face* faces, std::uint32_t numFaces) {
  double volume = 0.0;
  for (std::uint32_t f = 0; f < numFaces; ++f) {
    const Eigen::Vector3d a = toEigen(world[faces[f].vertices[0]]);
    for (std::uint32_t k = 1; k + 1 < faces[f].numVertices; ++k)
      volume += a.dot(toEigen(world[faces[f].vertices[k]]).cross(toEigen(world[faces[f].vertices[k + 1]]))) / 6.0;
  }
  return volume;
}

ZOVbox randomBox(Random& random) {
  ZOVbox box;
  box.center = fromEigen(random.vector(-5.0, 5.0));
  box.axes = fromEigen(random.rotation());
  box.extents = fromEigen(random.vector(0.1, 3.0));
  return box;
}

// The signs of the box-frame coordinates of each corner, in corner order.
constexpr int kCornerSigns[8][3] = {{1, 1, 1},    {1, 1, -1},  {1, -1, -1}, {1, -1, 1},
                                    {-1, -1, -1}, {-1, 1, -1}, {-1, 1, 1},  {-1, -1, 1}};

// The box mesh has 8 corners, 6 outward quads covering the box, and local data
// in the box frame.
void expectBoxMesh(const ZOVbox& box, const ZOVmesh& mesh) {
  const Eigen::Matrix3d axes = toEigen(box.axes);
  const Eigen::Vector3d center = toEigen(box.center);
  const Eigen::Vector3d extents = toEigen(box.extents);
  ASSERT_EQ(mesh.numVertices, 8u);
  ASSERT_EQ(mesh.numFaces, 6u);
  for (std::uint32_t i = 0; i < 8; ++i) {
    const Eigen::Vector3d local(kCornerSigns[i][0] * extents.x(), kCornerSigns[i][1] * extents.y(),
                                kCornerSigns[i][2] * extents.z());
    expectNear(mesh.worldVertices[i], center + axes * local, 1e-12);
    expectNear(mesh.vertices[i], local, 1e-12);
  }
  std::vector<Eigen::Vector3d> normals;
  for (std::uint32_t f = 0; f < 6; ++f) {
    const mesh_face& face = mesh.faces[f];
    ASSERT_EQ(face.numVertices, 4u);
    const Eigen::Vector3d n = toEigen(mesh.worldFaceNormals[f]);
    EXPECT_NEAR(n.norm(), 1.0, 1e-12);
    Eigen::Vector3d centroid = Eigen::Vector3d::Zero();
    for (std::uint32_t k = 0; k < 4; ++k) centroid += toEigen(mesh.worldVertices[face.vertices[k]]) / 4.0;
    EXPECT_GT(n.dot(centroid - center), 0.0) << "face " << f << " points inward";
    for (std::uint32_t k = 0; k < 4; ++k) {
      const Eigen::Vector3d p = toEigen(mesh.worldVertices[face.vertices[k]]);
      const Eigen::Vector3d q = toEigen(mesh.worldVertices[face.vertices[(k + 1) % 4]]);
      const Eigen::Vector3d r = toEigen(mesh.worldVertices[face.vertices[(k + 2) % 4]]);
      EXPECT_NEAR((p - centroid).dot(n), 0.0, 1e-9) << "corners lie in the face plane";
      EXPECT_GT((q - p).cross(r - q).dot(n), 0.0) << "corners wind counter-clockwise seen from outside";
    }
    expectNear(mesh.faceNormals[f], axes.transpose() * n, 1e-12);
    normals.push_back(n);
  }
  // Six different normals: one quad per side of the box.
  for (std::size_t i = 0; i < normals.size(); ++i)
    for (std::size_t j = i + 1; j < normals.size(); ++j) EXPECT_LT(normals[i].dot(normals[j]), 0.5);
  EXPECT_NEAR(closedMeshVolume(mesh.worldVertices, mesh.faces, 6), 8.0 * extents.prod(), 1e-9);
  EXPECT_EQ(mesh.rotation, box.axes);
  EXPECT_EQ(mesh.translation, box.center);
  EXPECT_EQ(mesh.worldCenter, box.center);
  EXPECT_EQ(mesh.center, MgcVector3::ZERO);
}

}  // namespace

TEST(MeshTransforms, SRTAgreesWithMatrixArithmetic) {
  Random random(7);
  for (int trial = 0; trial < 40; ++trial) {
    auto mesh = randomTriangleMesh(random, 50, 30);
    const Eigen::Matrix3d R = random.rotation();
    const Eigen::Vector3d t = random.vector(-10.0, 10.0);
    const Eigen::Vector3d s = random.scale();
    meshTransformSRT(mesh.get(), fromEigen(t), fromEigen(R), fromEigen(s));
    for (std::uint32_t i = 0; i < mesh->numVertices; ++i)
      expectNear(mesh->worldVertices[i], R * s.asDiagonal() * toEigen(mesh->vertices[i]) + t, 1e-12);
    expectNear(mesh->worldCenter, R * s.asDiagonal() * toEigen(mesh->center) + t, 1e-12);
    EXPECT_DOUBLE_EQ(mesh->worldRadius, mesh->radius * s.cwiseAbs().maxCoeff());
    expectConsistentWorldData(*mesh, s);
    EXPECT_EQ(mesh->rotation, fromEigen(R));
    EXPECT_EQ(mesh->translation, fromEigen(t));
    EXPECT_EQ(mesh->scale, fromEigen(s));
  }
}

TEST(MeshTransforms, TRSAgreesWithMatrixArithmetic) {
  Random random(11);
  for (int trial = 0; trial < 40; ++trial) {
    auto mesh = randomTriangleMesh(random, 50, 30);
    const Eigen::Matrix3d R = random.rotation();
    const Eigen::Vector3d t = random.vector(-10.0, 10.0);
    const Eigen::Vector3d s = random.scale();
    meshTransformTRS(mesh.get(), fromEigen(t), fromEigen(R), fromEigen(s));
    for (std::uint32_t i = 0; i < mesh->numVertices; ++i)
      expectNear(mesh->worldVertices[i], s.asDiagonal() * (R * (toEigen(mesh->vertices[i]) + t)), 1e-11);
    expectNear(mesh->worldCenter, s.asDiagonal() * (R * (toEigen(mesh->center) + t)), 1e-11);
    EXPECT_DOUBLE_EQ(mesh->worldRadius, mesh->radius * s.cwiseAbs().maxCoeff());
    expectConsistentWorldData(*mesh, s);
  }
}

// A stretched mesh must stay inside its world sphere: a point at the local
// radius along the stretched axis lands at radius * 3 from the centre.
TEST(MeshTransforms, WorldRadiusCoversNonUniformScales) {
  auto mesh = zovtest::makeMesh(2, 0);
  mesh->vertices[0] = MgcVector3(1.0, 0.0, 0.0);
  mesh->vertices[1] = MgcVector3(0.0, -1.0, 0.0);
  mesh->radius = 1.0;
  meshTransformSRT(mesh.get(), MgcVector3(4.0, 5.0, 6.0), MgcMatrix3::IDENTITY, MgcVector3(3.0, 0.5, 0.5));
  EXPECT_DOUBLE_EQ(mesh->worldRadius, 3.0);
  EXPECT_LE((mesh->worldVertices[0] - mesh->worldCenter).Length(), mesh->worldRadius);
  meshTransformTRS(mesh.get(), MgcVector3::ZERO, MgcMatrix3::IDENTITY, MgcVector3(0.5, -4.0, 1.0));
  EXPECT_DOUBLE_EQ(mesh->worldRadius, 4.0);
  EXPECT_LE((mesh->worldVertices[1] - mesh->worldCenter).Length(), mesh->worldRadius);
}

TEST(MeshTransforms, TransformEdgeCases) {
  auto mesh = zovtest::makeMesh(2, 2);
  mesh->vertices[0] = MgcVector3::ZERO;
  mesh->vertices[1] = MgcVector3(1.0, -2.0, 3.0);
  mesh->faceNormals[0] = MgcVector3(0.0, 0.0, 2.0);
  mesh->faceNormals[1] = MgcVector3(1.0, 1.0, 0.0) / std::sqrt(2.0);
  mesh->radius = 2.0;

  // The identity copies the vertices and unitises the normals.
  meshTransformSRT(mesh.get(), MgcVector3::ZERO, MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
  EXPECT_EQ(mesh->worldVertices[1], mesh->vertices[1]);
  EXPECT_EQ(mesh->worldFaceNormals[0], MgcVector3(0.0, 0.0, 1.0));
  EXPECT_DOUBLE_EQ(mesh->worldRadius, 2.0);

  // Normals follow the inverse scale: (1, 1, 0) under s = (2, 1, 1) leans towards y.
  meshTransformSRT(mesh.get(), MgcVector3::ZERO, MgcMatrix3::IDENTITY, MgcVector3(2.0, 1.0, 1.0));
  const double length = std::sqrt(0.25 + 1.0);
  expectNear(mesh->worldFaceNormals[1], Eigen::Vector3d(0.5 / length, 1.0 / length, 0.0), 1e-15);

  // SRT and TRS differ by where the translation acts: for the origin vertex
  // SRT gives t, TRS gives s . (R t).
  const MgcVector3 t(1.0, 2.0, 3.0);
  const MgcMatrix3 quarterTurnZ(0.0, -1.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0);
  const MgcVector3 s(2.0, 3.0, 4.0);
  meshTransformSRT(mesh.get(), t, quarterTurnZ, s);
  EXPECT_EQ(mesh->worldVertices[0], t);
  meshTransformTRS(mesh.get(), t, quarterTurnZ, s);
  EXPECT_EQ(mesh->worldVertices[0], MgcVector3(-4.0, 3.0, 12.0));
}

TEST(MeshTransforms, DFmeshOverloadsMatchTheMeshOnes) {
  Random random(3);
  auto mesh = randomTriangleMesh(random, 20, 10);
  auto dfMesh = zovtest::makeDFmesh(20, 10);
  std::copy(mesh->vertices, mesh->vertices + 20, dfMesh->vertices);
  std::copy(mesh->faceNormals, mesh->faceNormals + 10, dfMesh->faceNormals);
  dfMesh->center = mesh->center;
  dfMesh->radius = mesh->radius;
  const MgcMatrix3 R = fromEigen(random.rotation());
  const MgcVector3 t = fromEigen(random.vector(-1, 1));
  const MgcVector3 s = fromEigen(random.scale());
  for (bool srt : {true, false}) {
    if (srt) {
      meshTransformSRT(mesh.get(), t, R, s);
      meshTransformSRT(dfMesh.get(), t, R, s);
    } else {
      meshTransformTRS(mesh.get(), t, R, s);
      meshTransformTRS(dfMesh.get(), t, R, s);
    }
    for (std::uint32_t i = 0; i < 20; ++i) EXPECT_EQ(dfMesh->worldVertices[i], mesh->worldVertices[i]);
    for (std::uint32_t f = 0; f < 10; ++f) EXPECT_EQ(dfMesh->worldFaceNormals[f], mesh->worldFaceNormals[f]);
    EXPECT_EQ(dfMesh->worldCenter, mesh->worldCenter);
    EXPECT_EQ(dfMesh->worldRadius, mesh->worldRadius);
    EXPECT_EQ(dfMesh->scale, s);
  }
}

TEST(MeshTransforms, MissingArraysAreSkipped) {
  meshTransformSRT(static_cast<ZOVmesh*>(nullptr), MgcVector3::ZERO, MgcMatrix3::IDENTITY, MgcVector3(1, 1, 1));
  meshTransformTRS(static_cast<ZOV_DFmesh*>(nullptr), MgcVector3::ZERO, MgcMatrix3::IDENTITY, MgcVector3(1, 1, 1));
  // A mesh whose world arrays were never allocated still gets its centre.
  ZOVmesh mesh;
  mesh.numVertices = 4;
  mesh.numFaces = 2;
  mesh.center = MgcVector3(1.0, 0.0, 0.0);
  meshTransformSRT(&mesh, MgcVector3(0.0, 1.0, 0.0), MgcMatrix3::IDENTITY, MgcVector3(2.0, 2.0, 2.0));
  EXPECT_EQ(mesh.worldCenter, MgcVector3(2.0, 1.0, 0.0));
}

TEST(MeshTransforms, OrthonormalBasisCompletesADirection) {
  struct Case {
    MgcVector3 d, u, v;
  };
  const Case cases[] = {
      {{0.0, 0.0, 1.0}, {-1.0, 0.0, 0.0}, {0.0, -1.0, 0.0}},
      {{0.0, 1.0, 0.0}, {0.0, 0.0, -1.0}, {-1.0, 0.0, 0.0}},
  };
  for (const Case& c : cases) {
    MgcVector3 u, v;
    generateOrthonormalBasis(c.d, u, v);
    EXPECT_EQ(u, c.u);
    EXPECT_EQ(v, c.v);
  }
  Random random(5);
  for (int trial = 0; trial < 200; ++trial) {
    const Eigen::Vector3d d = random.vector(-1, 1).normalized();
    MgcVector3 u, v;
    generateOrthonormalBasis(fromEigen(d), u, v);
    Eigen::Matrix3d frame;
    frame << toEigen(u), toEigen(v), d;
    EXPECT_TRUE((frame.transpose() * frame).isApprox(Eigen::Matrix3d::Identity(), 1e-12));
    EXPECT_NEAR(frame.determinant(), 1.0, 1e-12) << "right-handed";
  }
}

TEST(MeshTransforms, BasisFromNormalMapsTheNormalToZ) {
  Random random(13);
  for (int trial = 0; trial < 100; ++trial) {
    const Eigen::Vector3d n = random.vector(-1, 1).normalized();
    // Longer normals are unitised first.
    for (double length : {1.0, 3.0}) {
      MgcMatrix3 frame;
      basisFromNormal(fromEigen(Eigen::Vector3d(n * length)), frame);
      const Eigen::Matrix3d F = toEigen(frame);
      EXPECT_TRUE((F * F.transpose()).isApprox(Eigen::Matrix3d::Identity(), 1e-12));
      expectNear(frame * fromEigen(n), Eigen::Vector3d(0.0, 0.0, 1.0), 1e-12);
    }
  }
}

TEST(MeshTransforms, TriangleUVInterpolatesAlongTheEdges) {
  Random random(17);
  for (int trial = 0; trial < 200; ++trial) {
    const Eigen::Vector3d e1 = random.vector(-2, 2);
    const Eigen::Vector3d e2 = random.vector(-2, 2);
    if (e1.cross(e2).norm() < 0.2) continue;
    const Eigen::Vector3d normal = e1.cross(e2).normalized();
    const double alpha = random.uniform(0, 1);
    const double beta = random.uniform(0, 1 - alpha);
    const Eigen::Vector3d p = alpha * e1 + beta * e2;
    const MgcVector2 uEdge(random.uniform(-1, 1), random.uniform(-1, 1));
    const MgcVector2 vEdge(random.uniform(-1, 1), random.uniform(-1, 1));
    float u = 0.0f, v = 0.0f;
    triangleUVAtPoint(fromEigen(p), fromEigen(normal), fromEigen(e1), fromEigen(e2), uEdge, vEdge, u, v);
    EXPECT_NEAR(u, alpha * uEdge.x + beta * uEdge.y, 1e-5);
    EXPECT_NEAR(v, alpha * vEdge.x + beta * vEdge.y, 1e-5);
  }
  // Parallel edges span no triangle: the result is 0, 0.
  float u = 1.0f, v = 1.0f;
  triangleUVAtPoint(MgcVector3(0.5, 0.0, 0.0), MgcVector3(0.0, 0.0, 1.0), MgcVector3(1.0, 0.0, 0.0),
                    MgcVector3(2.0, 0.0, 0.0), MgcVector2(1.0, 1.0), MgcVector2(1.0, 1.0), u, v);
  EXPECT_EQ(u, 0.0f);
  EXPECT_EQ(v, 0.0f);
}

TEST(MeshTransforms, FaceCenterIsTheMean) {
  const MgcVector3 points[] = {{0.0, 0.0, 0.0}, {2.0, 0.0, 0.0}, {2.0, 4.0, 0.0}, {0.0, 4.0, 6.0}};
  EXPECT_EQ(computeFaceCenter(points, 4), MgcVector3(1.0, 2.0, 1.5));
  EXPECT_EQ(computeFaceCenter(points + 1, 1), points[1]);
}

TEST(MeshTransforms, BoxCornersComeInTheDocumentedOrder) {
  Random random(19);
  const ZOVbox box = randomBox(random);
  MgcVector3 corners[8];
  obbCorners(box, corners);
  const Eigen::Matrix3d axes = toEigen(box.axes);
  for (int i = 0; i < 8; ++i) {
    const Eigen::Vector3d local = axes.transpose() * (toEigen(corners[i]) - toEigen(box.center));
    expectNear(fromEigen(local),
               Eigen::Vector3d(kCornerSigns[i][0] * box.extents.x, kCornerSigns[i][1] * box.extents.y,
                               kCornerSigns[i][2] * box.extents.z),
               1e-12);
  }
  const ZOVAAbox aabb{MgcVector3(-1.0, 2.0, 3.0), MgcVector3(1.0, 6.0, 4.0)};
  aabbCorners(aabb, corners);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(corners[i].x, kCornerSigns[i][0] > 0 ? aabb.max.x : aabb.min.x);
    EXPECT_EQ(corners[i].y, kCornerSigns[i][1] > 0 ? aabb.max.y : aabb.min.y);
    EXPECT_EQ(corners[i].z, kCornerSigns[i][2] > 0 ? aabb.max.z : aabb.min.z);
  }
}

TEST(MeshTransforms, MeshFromOBBBuildsOutwardQuadsOnTheCorners) {
  Random random(23);
  for (int trial = 0; trial < 20; ++trial) {
    ZOVbox box = randomBox(random);
    // Half the boxes have left-handed axes; the quads must still face out.
    if (trial % 2 == 1) {
      const Eigen::Matrix3d axes = toEigen(box.axes) * Eigen::Vector3d(1.0, -1.0, 1.0).asDiagonal();
      box.axes = fromEigen(axes);
    }
    ZOVmesh mesh;
    meshFromOBB(box, &mesh);
    SCOPED_TRACE(trial);
    expectBoxMesh(box, mesh);
  }
}

TEST(MeshTransforms, MeshFromOBBArrayEdgeCases) {
  Random random(29);
  const ZOVbox box = randomBox(random);
  meshFromOBB(box, static_cast<ZOVmesh*>(nullptr));

  // Larger arrays stay in place; the counts become the box's.
  auto large = zovtest::makeMesh(12, 10);
  MgcVector3* vertices = large->vertices;
  mesh_face* faces = large->faces;
  meshFromOBB(box, large.get());
  EXPECT_EQ(large->vertices, vertices);
  EXPECT_EQ(large->faces, faces);
  expectBoxMesh(box, *large);

  // Smaller arrays are replaced, per-vertex data included so that it still
  // has an entry for every vertex.
  auto small = zovtest::makeMesh(4, 2);
  small->hasVertexData = 1;
  meshFromOBB(box, small.get());
  expectBoxMesh(box, *small);
  for (std::uint32_t i = 0; i < small->numVertices; ++i) small->vertexData[i] = MgcVector3(1.0, 1.0, 1.0);
  EXPECT_EQ(small->hasVertexData, 0);
  for (std::uint32_t f = 0; f < 6; ++f) EXPECT_EQ(small->faces[f].mark, 1);
}

TEST(MeshTransforms, MeshFromAABBMatchesTheOrientedBuilder) {
  const ZOVAAbox aabb{MgcVector3(-1.0, 2.0, 3.0), MgcVector3(1.0, 6.0, 4.0)};
  ZOVbox box;
  box.center = MgcVector3(0.0, 4.0, 3.5);
  box.axes = MgcMatrix3::IDENTITY;
  box.extents = MgcVector3(1.0, 2.0, 0.5);
  ZOVmesh mesh;
  meshFromAABB(aabb, &mesh);
  expectBoxMesh(box, mesh);

  // The shatter-mesh overloads build the same quads.
  ZOV_DFmesh dfMesh;
  meshFromAABB(aabb, &dfMesh);
  ASSERT_EQ(dfMesh.numFaces, 6u);
  ASSERT_EQ(dfMesh.numVertices, 8u);
  for (std::uint32_t f = 0; f < 6; ++f) {
    ASSERT_EQ(dfMesh.faces[f].numVertices, 4u);
    for (std::uint32_t k = 0; k < 4; ++k) EXPECT_EQ(dfMesh.faces[f].vertices[k], mesh.faces[f].vertices[k]);
    EXPECT_EQ(dfMesh.worldFaceNormals[f], mesh.worldFaceNormals[f]);
  }
  for (std::uint32_t i = 0; i < 8; ++i) EXPECT_EQ(dfMesh.worldVertices[i], mesh.worldVertices[i]);

  // Rebuilding over the shatter mesh's own faces reuses them.
  DFface* faces = dfMesh.faces;
  meshFromOBB(box, &dfMesh);
  EXPECT_EQ(dfMesh.faces, faces);
}

TEST(MeshTransforms, ClampsKeepComponentsWithinTheTolerance) {
  struct Case {
    double x, a, b, tolerance, expected;
  };
  const Case cases[] = {
      {0.5, 0.0, 1.0, 0.0, 0.5},      // inside
      {-0.5, 0.0, 1.0, 0.0, 0.0},     // below
      {1.5, 0.0, 1.0, 0.0, 1.0},      // above
      {1.5, 1.0, 0.0, 0.0, 1.0},      // bounds given in either order
      {-0.05, 0.0, 1.0, 0.1, -0.05},  // outside, but within the tolerance
      {-0.2, 0.0, 1.0, 0.1, 0.0},     // beyond the tolerance: to the bound itself
      {1.2, 0.0, 1.0, 0.1, 1.0},
  };
  for (const Case& c : cases) {
    MgcVector3 x(c.x, 0.5, c.x);
    const MgcVector3 copy = clampVectorToBox(x, MgcVector3(c.a, 0.0, c.a), MgcVector3(c.b, 1.0, c.b), c.tolerance);
    EXPECT_EQ(x, MgcVector3(c.expected, 0.5, c.expected)) << c.x << " in [" << c.a << ", " << c.b << "]";
    EXPECT_EQ(copy, x);

    double q[4] = {0.5, c.x, 0.5, c.x};
    const double a[4] = {0.0, c.a, 0.0, c.a};
    const double b[4] = {1.0, c.b, 1.0, c.b};
    const std::array<double, 4> clamped = clampQuatToBox(q, a, b, c.tolerance);
    EXPECT_EQ(q[1], c.expected);
    EXPECT_EQ(q[3], c.expected);
    EXPECT_EQ(q[0], 0.5);
    EXPECT_EQ(clamped[1], c.expected);
  }
}
