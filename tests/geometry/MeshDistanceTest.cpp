#include "geometry/MeshDistance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "math/Tolerances.h"
#include "support/BruteForceGeometry.h"
#include "support/GeometryFixtures.h"

using Mgc::MgcVector3;
using zovtest::Random;

namespace {

// Agreement with a reference: absolute for small values, relative for large.
void expectSameDistance(double actual, double expected, double tolerance = 1e-9) {
  EXPECT_NEAR(actual, expected, tolerance * (1.0 + expected));
}

void moveMesh(ZOVmesh& mesh, const MgcVector3& offset) {
  for (std::uint32_t i = 0; i < mesh.numVertices; ++i) mesh.worldVertices[i] += offset;
}

TEST(MeshDistance, ClosestFacePairOfFacingCubes) {
  auto a = zovtest::boxMesh({0.5, 0.5, 0.5});
  auto b = zovtest::boxMesh({0.5, 0.5, 0.5});
  moveMesh(*b, {1.5, 0.2, -0.1});
  std::uint32_t faceA = 0, faceB = 0;
  MgcVector3 pointA, pointB;
  EXPECT_NEAR(closestFacePair(*a, *b, faceA, faceB, pointA, pointB), 0.25, 1e-12);
  // The facing sides: A's +x face and B's -x face.
  EXPECT_NEAR(a->worldFaceNormals[faceA].x, 1.0, 1e-12);
  EXPECT_NEAR(b->worldFaceNormals[faceB].x, -1.0, 1e-12);
  EXPECT_NEAR(pointA.x, 0.5, 1e-12);
  EXPECT_NEAR(pointB.x, 1.0, 1e-12);

  // With every normal of B turned to match A's, no pair is left to compare.
  for (std::uint32_t f = 0; f < b->numFaces; ++f) b->worldFaceNormals[f] = MgcVector3::UNIT_X;
  for (std::uint32_t f = 0; f < a->numFaces; ++f) a->worldFaceNormals[f] = MgcVector3::UNIT_X;
  EXPECT_EQ(closestFacePair(*a, *b, faceA, faceB, pointA, pointB), zov::kMaxFloat);
  EXPECT_EQ(faceA, zov::kNoIndex);
  EXPECT_EQ(faceB, zov::kNoIndex);

  const ZOVmesh empty;
  EXPECT_EQ(closestFacePair(empty, *b, faceA, faceB, pointA, pointB), zov::kMaxFloat);
}

// Distance of two disjoint convex meshes from their closest features: a
// vertex against a face, or an edge against an edge.
double convexMeshDistanceSq(const ZOVmesh& a, const ZOVmesh& b) {
  double best = 1e300;
  for (int side = 0; side < 2; ++side) {
    const ZOVmesh& m = side == 0 ? a : b;
    const ZOVmesh& n = side == 0 ? b : a;
    for (std::uint32_t f = 0; f < n.numFaces; ++f) {
      const std::vector<MgcVector3> polygon = zovtest::worldFace(n, f);
      for (std::size_t k = 1; k + 1 < polygon.size(); ++k) {
        const MgcVector3 tri[3] = {polygon[0], polygon[k], polygon[k + 1]};
        for (std::uint32_t v = 0; v < m.numVertices; ++v)
          best = std::min(best, zovtest::bfPointTriangleSq(m.worldVertices[v], tri));
      }
    }
  }
  for (std::uint32_t f = 0; f < a.numFaces; ++f) {
    const std::vector<MgcVector3> pa = zovtest::worldFace(a, f);
    for (std::uint32_t g = 0; g < b.numFaces; ++g) {
      const std::vector<MgcVector3> pb = zovtest::worldFace(b, g);
      for (std::size_t i = 0; i < pa.size(); ++i)
        for (std::size_t j = 0; j < pb.size(); ++j)
          best = std::min(best,
                          zovtest::bfSegmentSegmentSq(pa[i], pa[(i + 1) % pa.size()], pb[j], pb[(j + 1) % pb.size()]));
    }
  }
  return best;
}

TEST(MeshDistance, ClosestFacePairMatchesConvexMeshDistance) {
  Random random(16);
  for (int i = 0; i < 12; ++i) {
    std::vector<MgcVector3> pointsA, pointsB;
    for (int k = 0; k < 8; ++k) pointsA.push_back(random.vector(-1, 1));
    for (int k = 0; k < 8; ++k) pointsB.push_back(random.vector(-1, 1));
    auto a = zovtest::convexHullMesh(pointsA);
    auto b = i % 3 == 0 ? zovtest::boxMesh(random.vector(0.2, 1.0)) : zovtest::convexHullMesh(pointsB);
    moveMesh(*b, random.unitVector() * random.uniform(2.2, 3.0));
    SCOPED_TRACE(i);
    std::uint32_t faceA = 0, faceB = 0;
    MgcVector3 pointA, pointB;
    const double distance = closestFacePair(*a, *b, faceA, faceB, pointA, pointB);
    expectSameDistance(distance, convexMeshDistanceSq(*a, *b), 1e-8);
    expectSameDistance((pointA - pointB).SquaredLength(), distance, 1e-8);
    const std::vector<MgcVector3> polygonA = zovtest::worldFace(*a, faceA);
    const std::vector<MgcVector3> polygonB = zovtest::worldFace(*b, faceB);
    expectSameDistance(zovtest::bfPolygonPolygonSq(polygonA.data(), static_cast<std::uint32_t>(polygonA.size()),
                                                   polygonB.data(), static_cast<std::uint32_t>(polygonB.size())),
                       distance, 1e-8);
  }
}

}  // namespace
