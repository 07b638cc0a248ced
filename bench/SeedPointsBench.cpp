#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "BenchPoints.h"
#include "geometry/ConvexHull.h"
#include "geometry/shatter/SeedPoints.h"
#include "math/MgcVector3.h"

using Mgc::MgcVector3;

namespace {

// A convex mesh of n vertices: the hull of points on the unit sphere.
std::unique_ptr<ZOV_DFmesh> sphereMesh(std::uint32_t n) {
  const std::vector<MgcVector3> points = zovbench::pointsOnSphere(n, 3);
  return convexHullDF(points.data(), n);
}

void runPattern(benchmark::State& state, std::uint16_t pattern) {
  const auto count = static_cast<std::uint32_t>(state.range(0));
  const auto mesh = sphereMesh(1000);
  std::vector<MgcVector3> out(count);
  for (auto _ : state) {
    zov_shatter_params params;
    params.outPoints = out.data();
    params.numShards = params.numPoints = count;
    params.shatterStyle = pattern;
    params.seed = 5;
    params.noise = 0.5;
    params.center = params.centers[0] = MgcVector3(0.5, 0.0, 0.0);
    params.numCenters = 1;
    benchmark::DoNotOptimize(generateShatterSeeds(params, mesh.get(), nullptr));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Uniform seeds in a 1,000-vertex mesh: dominated by the budgeted hull and the
// pulls into it.
void BM_SeedsUniform(benchmark::State& state) { runPattern(state, 0); }
BENCHMARK(BM_SeedsUniform)->Arg(200)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Gaussian clusters around one impact centre, with the repeated separation.
void BM_SeedsAroundCentres(benchmark::State& state) { runPattern(state, 1); }
BENCHMARK(BM_SeedsAroundCentres)->Arg(200)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
