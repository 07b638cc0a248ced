#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "engine/collision/narrowphase/PkJump.h"
#include "geometry/BVmesh.h"
#include "geometry/ConvexHull.h"
#include "geometry/MeshTransforms.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

constexpr std::size_t kPairs = 256;

/// A hull body's volume: a convex hull of random points, placed in the world.
struct PlacedHull {
  std::unique_ptr<ZOVmesh> mesh;
  BVmesh volume;
};

std::unique_ptr<PlacedHull> randomHull(std::mt19937& engine, int points, const MgcVector3& at) {
  std::normal_distribution<double> normal;
  std::vector<MgcVector3> cloud;
  while (cloud.size() < static_cast<std::size_t>(points)) {
    MgcVector3 p(normal(engine), normal(engine), normal(engine));
    p.Unitize(1e-12);
    cloud.push_back(p * (0.5 + 0.5 * std::uniform_real_distribution<double>(0, 1)(engine)));
  }
  auto hull = std::make_unique<PlacedHull>();
  hull->mesh = convexHull(cloud.data(), static_cast<std::uint32_t>(cloud.size()));
  hull->mesh->worldVertices = static_cast<MgcVector3*>(std::calloc(cloud.size(), sizeof(MgcVector3)));
  hull->volume.init(hull->mesh.get(), kMeshHullMode);
  double q[4] = {normal(engine), normal(engine), normal(engine), normal(engine)};
  const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  const double w = q[0] / length, x = q[1] / length, y = q[2] / length, z = q[3] / length;
  const MgcMatrix3 R(1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y), 2 * (x * y + w * z),
                     1 - 2 * (x * x + z * z), 2 * (y * z - w * x), 2 * (x * z - w * y), 2 * (y * z + w * x),
                     1 - 2 * (x * x + y * y));
  meshTransformSRT(hull->mesh.get(), at, R, MgcVector3(1, 1, 1));
  return hull;
}

/// Pairs of hulls of `points` random points whose centres lie 0 to 1.6
/// apart: about half of them overlap.
struct HullPairs {
  std::vector<std::unique_ptr<PlacedHull>> a, b;
  explicit HullPairs(int points) {
    std::mt19937 engine(11);
    std::uniform_real_distribution<double> distance(0.0, 1.6);
    std::normal_distribution<double> normal;
    for (std::size_t i = 0; i < kPairs; ++i) {
      MgcVector3 offset(normal(engine), normal(engine), normal(engine));
      offset.Unitize(1e-12);
      a.push_back(randomHull(engine, points, MgcVector3()));
      b.push_back(randomHull(engine, points, offset * distance(engine)));
    }
  }
};

void BM_MeshMeshOverlapFresh(benchmark::State& state) {
  const HullPairs pairs(static_cast<int>(state.range(0)));
  const Pk_jump jump;
  std::size_t i = 0;
  for (auto _ : state) {
    JumpState query;
    benchmark::DoNotOptimize(jump.meshMeshOverlap(&pairs.a[i]->volume, &pairs.b[i]->volume, query));
    i = (i + 1) % kPairs;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MeshMeshOverlapFresh)->Arg(12)->Arg(64)->Arg(256);

// Frame to frame: each pair starts from what its last query left.
void BM_MeshMeshOverlapCached(benchmark::State& state) {
  const HullPairs pairs(static_cast<int>(state.range(0)));
  const Pk_jump jump;
  std::vector<JumpState> states(kPairs);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(jump.meshMeshOverlap(&pairs.a[i]->volume, &pairs.b[i]->volume, states[i]));
    i = (i + 1) % kPairs;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MeshMeshOverlapCached)->Arg(12)->Arg(64)->Arg(256);

// Contacts of the overlapping pairs, with the overlap test's direction, as
// the contact phase runs them.
void BM_MeshMeshContacts(benchmark::State& state) {
  const HullPairs pairs(static_cast<int>(state.range(0)));
  const Pk_jump jump;
  std::vector<std::size_t> overlapping;
  std::vector<JumpState> seeds;
  for (std::size_t i = 0; i < kPairs; ++i) {
    JumpState seed;
    if (jump.meshMeshOverlap(&pairs.a[i]->volume, &pairs.b[i]->volume, seed) == 0) continue;
    overlapping.push_back(i);
    seeds.push_back(seed);
  }
  MgcVector3 points[kMaxJumpContacts], normals[kMaxJumpContacts];
  double depths[kMaxJumpContacts];
  std::uint32_t count = 0, facesA[kMaxJumpContacts], facesB[kMaxJumpContacts];
  const JumpContacts out{points, normals, &count, depths, facesA, facesB};
  std::size_t k = 0;
  for (auto _ : state) {
    JumpState query = seeds[k];
    const std::size_t i = overlapping[k];
    benchmark::DoNotOptimize(jump.meshMeshContacts(&pairs.a[i]->volume, &pairs.b[i]->volume, query, out));
    k = (k + 1) % overlapping.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MeshMeshContacts)->Arg(12)->Arg(64)->Arg(256);

}  // namespace
