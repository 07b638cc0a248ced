#include "geometry/MeshDistance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "math/Tolerances.h"
#include "support/BruteForceGeometry.h"
#include "support/GeometryFixtures.h"
#include "support/MathTestUtil.h"

using Mgc::MgcVector3;
using zovtest::expectSameDistance;
using zovtest::Random;

namespace {

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
    expectSameDistance(distance, zovtest::convexMeshDistanceSq(*a, *b), 1e-8);
    expectSameDistance((pointA - pointB).SquaredLength(), distance, 1e-8);
    const std::vector<MgcVector3> polygonA = zovtest::worldFace(*a, faceA);
    const std::vector<MgcVector3> polygonB = zovtest::worldFace(*b, faceB);
    expectSameDistance(zovtest::bfPolygonPolygonSq(polygonA.data(), static_cast<std::uint32_t>(polygonA.size()),
                                                   polygonB.data(), static_cast<std::uint32_t>(polygonB.size())),
                       distance, 1e-8);
  }
}

}  // namespace
