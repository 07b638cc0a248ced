#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "geometry/ConvexHull.h"
#include "math/MgcVector3.h"

using Mgc::MgcVector3;

namespace {

std::vector<MgcVector3> pointsInCube(std::uint32_t n) {
  std::mt19937 engine(1);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<MgcVector3> points;
  for (std::uint32_t i = 0; i < n; ++i) points.emplace_back(uniform(engine), uniform(engine), uniform(engine));
  return points;
}

std::vector<MgcVector3> pointsInBall(std::uint32_t n) {
  std::mt19937 engine(2);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<MgcVector3> points;
  while (points.size() < n) {
    const MgcVector3 p(uniform(engine), uniform(engine), uniform(engine));
    if (p.SquaredLength() <= 1.0) points.push_back(p);
  }
  return points;
}

void BM_ConvexHullCube(benchmark::State& state) {
  const std::vector<MgcVector3> points = pointsInCube(static_cast<std::uint32_t>(state.range(0)));
  for (auto _ : state) {
    auto hull = convexHull(points.data(), static_cast<std::uint32_t>(points.size()));
    benchmark::DoNotOptimize(hull.get());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ConvexHullCube)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Points in a ball leave many more of them on the hull than points in a cube.
void BM_ConvexHullBall(benchmark::State& state) {
  const std::vector<MgcVector3> points = pointsInBall(static_cast<std::uint32_t>(state.range(0)));
  for (auto _ : state) {
    auto hull = convexHull(points.data(), static_cast<std::uint32_t>(points.size()));
    benchmark::DoNotOptimize(hull.get());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ConvexHullBall)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
