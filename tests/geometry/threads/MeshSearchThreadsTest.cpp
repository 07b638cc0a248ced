// The mesh searches and contact builders that the collision workers call run
// on several threads at once. Each call works in buffers of its own, so
// concurrent calls must give exactly the answers of one thread, and the
// ThreadSanitizer build must see no race.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "geometry/ContactBuilders.h"
#include "geometry/MeshDistance.h"
#include "geometry/MeshTouchTests.h"
#include "geometry/OverlapTests.h"
#include "geometry/PointInsideMesh.h"
#include "math/DistanceQueries.h"
#include "support/GeometryFixtures.h"

using Mgc::MgcVector3;

namespace {

struct Scene {
  std::vector<std::unique_ptr<ZOVmesh>> meshes;
  std::vector<ZOVcapsule> capsules;
};

Scene makeScene() {
  zovtest::Random random(61);
  Scene scene;
  for (int m = 0; m < 6; ++m) {
    std::vector<MgcVector3> points;
    const MgcVector3 offset = random.vector(-2, 2);
    for (int k = 0; k < 10; ++k) points.push_back(offset + random.vector(-1, 1));
    scene.meshes.push_back(zovtest::convexHullMesh(points));
  }
  for (int c = 0; c < 8; ++c) scene.capsules.push_back(zovtest::randomCapsule(random, 2.0, 1.5, 0.8));
  return scene;
}

// Every query over the scene, flattened into one list of numbers.
std::vector<double> runQueries(const Scene& scene) {
  std::vector<double> out;
  const auto& meshes = scene.meshes;
  for (std::size_t a = 0; a < meshes.size(); ++a) {
    for (std::size_t b = a + 1; b < meshes.size(); ++b) {
      std::uint32_t faceA = 0, faceB = 0;
      MgcVector3 pointA, pointB;
      out.push_back(closestFacePair(*meshes[a], *meshes[b], faceA, faceB, pointA, pointB));
      out.insert(out.end(), {double(faceA), double(faceB), pointA.x, pointA.y, pointA.z, pointB.x});
      out.push_back(meshesTouchFaceToFace(*meshes[a], *meshes[b], 0.05));
      out.push_back(meshesTouchAtVertices(*meshes[a], *meshes[b], MgcVector3::UNIT_X, 0.05));
    }
    // Triangle faces of this mesh against the capsules and the next mesh.
    const ZOVmesh& mesh = *meshes[a];
    const ZOVmesh& next = *meshes[(a + 1) % meshes.size()];
    for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
      const auto tri = zovtest::worldFace(mesh, f);
      const MgcVector3 A[3] = {tri[0], tri[1], tri[2]};
      for (const ZOVcapsule& capsule : scene.capsules) {
        MgcVector3 points[kMaxCapsuleContacts];
        MgcVector3 normal;
        std::uint32_t count = 0;
        double depth = 0.0;
        capsuleTriangleContact(capsule, A, mesh.worldFaceNormals[f], points, normal, count, depth);
        out.insert(out.end(), {double(count), depth, points[0].x, points[0].y, normal.z});
      }
      for (std::uint32_t g = 0; g < next.numFaces; ++g) {
        const auto other = zovtest::worldFace(next, g);
        const MgcVector3 B[3] = {other[0], other[1], other[2]};
        MgcVector3 points[kMaxTriangleContacts];
        MgcVector3 normal;
        std::uint32_t count = 0;
        double depth = 0.0;
        if (triTriOverlapExact(A, mesh.worldFaceNormals[f], B, next.worldFaceNormals[g]) &&
            triTriContact(A, mesh.worldFaceNormals[f], B, next.worldFaceNormals[g], points, normal, count, depth))
          out.insert(out.end(), {double(count), depth, points[0].x});
      }
    }
    MgcVector3 p = mesh.worldVertices[0] * 1.5;
    makePointInsideMesh(mesh, p, 0.1, true);
    out.insert(out.end(), {p.x, p.y, p.z});
  }
  return out;
}

TEST(MeshSearchThreads, ConcurrentSearchesGiveTheSingleThreadAnswers) {
  const Scene scene = makeScene();
  const std::vector<double> expected = runQueries(scene);
  ASSERT_GT(expected.size(), 1000u);

  constexpr int kThreads = 6;
  std::vector<std::vector<double>> results(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&scene, &results, t] {
      for (int round = 0; round < 3; ++round) results[t] = runQueries(scene);
    });
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(results[t], expected) << "thread " << t;
}

}  // namespace
