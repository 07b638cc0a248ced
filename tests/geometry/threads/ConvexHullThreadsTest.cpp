#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "geometry/ConvexHull.h"
#include "geometry/ZOVmesh.h"
#include "support/MeshFixtures.h"
#include "support/PointClouds.h"

using Mgc::MgcVector3;

namespace {

// Everything a hull build produces that a caller reads.
struct HullResult {
  std::vector<MgcVector3> vertices;
  std::vector<std::vector<std::uint32_t>> faces;
  std::vector<MgcVector3> normals;

  bool operator==(const HullResult& other) const {
    return vertices == other.vertices && faces == other.faces && normals == other.normals;
  }
};

HullResult resultOf(const ZOVmesh* hull) {
  HullResult result;
  if (hull == nullptr) return result;
  result.vertices.assign(hull->vertices, hull->vertices + hull->numVertices);
  for (std::uint32_t f = 0; f < hull->numFaces; ++f) {
    result.faces.emplace_back(hull->faces[f].vertices, hull->faces[f].vertices + hull->faces[f].numVertices);
    result.normals.push_back(hull->faceNormals[f]);
  }
  return result;
}

// One build job: a point hull, or an approximate hull of a mesh, as the
// shatter code and the body factory build them.
struct Job {
  zovtest::Points points;
  std::unique_ptr<ZOVmesh> mesh;

  HullResult run() const {
    if (mesh != nullptr) return resultOf(approxConvexHull(mesh.get(), 64).get());
    return resultOf(convexHull(points.data(), static_cast<std::uint32_t>(points.size())).get());
  }
};

std::vector<Job> makeJobs() {
  std::vector<Job> jobs;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    jobs.push_back({zovtest::uniformInBall(300, seed), nullptr});
    zovtest::Points cube = zovtest::cubeSurfaceGrid(4);
    zovtest::append(cube, zovtest::boxCorners(1.0, 2.0, 0.5));
    jobs.push_back({zovtest::shuffled(cube, seed), nullptr});
    jobs.push_back({{}, zovtest::meshOfPoints(zovtest::onSphere(400, seed))});
  }
  return jobs;
}

}  // namespace

TEST(ConvexHullThreads, HullsBuiltAtOnceEqualHullsBuiltOneAtATime) {
  const std::vector<Job> jobs = makeJobs();
  std::vector<HullResult> expected;
  for (const Job& job : jobs) expected.push_back(job.run());
  for (const HullResult& result : expected) ASSERT_FALSE(result.vertices.empty());

  constexpr int kThreads = 4;
  constexpr int kRounds = 2;
  std::vector<std::vector<HullResult>> results(kThreads);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Start together so that the builds overlap.
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      for (int round = 0; round < kRounds; ++round)
        for (std::size_t j = 0; j < jobs.size(); ++j) results[t].push_back(jobs[(j + t) % jobs.size()].run());
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(results[t].size(), kRounds * jobs.size());
    for (std::size_t i = 0; i < results[t].size(); ++i)
      EXPECT_TRUE(results[t][i] == expected[(i % jobs.size() + t) % jobs.size()]) << "thread " << t << ", build " << i;
  }
}
