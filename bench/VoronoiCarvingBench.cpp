#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "BenchMeshes.h"
#include "BenchPoints.h"
#include "engine/shatter/VoronoiCarving.h"
#include "geometry/ZOV_DFmesh.h"
#include "math/MgcVector3.h"

#ifdef ZOV_BENCH_VORO
#include <voro++/voro++.hh>
#endif

using Mgc::MgcVector3;

namespace {

#ifdef ZOV_BENCH_VORO
/// voro++'s time for the same cells in the same cube, in seconds: the mean of
/// a few runs.
double voroSeconds(const std::vector<MgcVector3>& seeds) {
  const int runs = 20;
  double volume = 0.0;
  const auto start = std::chrono::steady_clock::now();
  for (int run = 0; run < runs; ++run) {
    const int blocks = std::max(1, static_cast<int>(std::cbrt(seeds.size() / 5.0)));
    voro::container container(-1, 1, -1, 1, -1, 1, blocks, blocks, blocks, false, false, false, 8);
    for (std::size_t i = 0; i < seeds.size(); ++i)
      container.put(static_cast<int>(i), seeds[i].x, seeds[i].y, seeds[i].z);
    voro::c_loop_all loop(container);
    voro::voronoicell cell;
    if (loop.start()) do
        if (container.compute_cell(cell, loop)) volume += cell.volume();
      while (loop.inc());
  }
  benchmark::DoNotOptimize(volume);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / runs;
}
#endif

/// Carves the cube into as many cells as the argument; with voro++ present,
/// "x voro++" is this time over voro++'s for the same cells.
void BM_CarveCube(benchmark::State& state) {
  const auto count = static_cast<std::uint32_t>(state.range(0));
  const std::unique_ptr<ZOV_DFmesh> cube = zovbench::shatterCubeMesh();
  const std::vector<MgcVector3> seeds = zovbench::pointsInCube(count, 3);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    VoronoiCarving carving = carveVoronoiCells(cube.get(), seeds.data(), count, false);
    benchmark::DoNotOptimize(carving.cells.data());
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / state.iterations();
  state.SetItemsProcessed(state.iterations() * state.range(0));
#ifdef ZOV_BENCH_VORO
  state.counters["x voro++"] = seconds / voroSeconds(seeds);
#else
  benchmark::DoNotOptimize(seconds);
#endif
}
BENCHMARK(BM_CarveCube)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
