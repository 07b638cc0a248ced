#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "geometry/BoxFits.h"
#include "geometry/BoxTree.h"
#include "math/MgcVector3.h"

using Mgc::MgcVector3;

namespace {

std::vector<MgcVector3> pointsInBox(std::uint32_t n, unsigned seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<MgcVector3> points;
  for (std::uint32_t i = 0; i < n; ++i)
    points.emplace_back(4.0 * uniform(engine), uniform(engine), 0.5 * uniform(engine));
  return points;
}

void BM_FitOrientedBox(benchmark::State& state) {
  const std::vector<MgcVector3> points = pointsInBox(static_cast<std::uint32_t>(state.range(0)), 1);
  ZOVbox box;
  for (auto _ : state) {
    fitOrientedBox(box, static_cast<std::uint32_t>(points.size()), points.data());
    benchmark::DoNotOptimize(box);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FitOrientedBox)->Arg(1000);

void BM_FitCapsule(benchmark::State& state) {
  const std::vector<MgcVector3> points = pointsInBox(static_cast<std::uint32_t>(state.range(0)), 2);
  MgcVector3 endA, endB;
  double radius = 0.0;
  for (auto _ : state) {
    fitCapsule(static_cast<std::uint32_t>(points.size()), points.data(), endA, endB, radius);
    benchmark::DoNotOptimize(radius);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FitCapsule)->Arg(1000);

// The cluster tree of a fracture body with as many pieces as boxes. Its cost
// should grow as n log n: each level of the tree fits and splits every item once.
void BM_BuildBoxTree(benchmark::State& state) {
  const std::uint32_t n = static_cast<std::uint32_t>(state.range(0));
  const std::vector<MgcVector3> centres = pointsInBox(n, 3);
  std::vector<ZOVbox> boxes(n);
  std::vector<std::int32_t> tags(n, 0);
  for (std::uint32_t i = 0; i < n; ++i) boxes[i].center = centres[i];
  BoxTree tree;
  for (std::uint32_t i = 0; i < n; ++i) tree.appendItem(&boxes[i], &tags[i]);
  for (auto _ : state) {
    const bool built = tree.build();
    benchmark::DoNotOptimize(built);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildBoxTree)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);

}  // namespace
