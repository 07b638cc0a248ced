#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "BenchPoints.h"
#include "engine/shatter/VoronoiCarving.h"
#include "geometry/ZOV_DFmesh.h"
#include "math/MgcVector3.h"

#ifdef ZOV_BENCH_VORO
#include <voro++/voro++.hh>
#endif

using Mgc::MgcVector3;

namespace {

/// The cube [-1, 1]^3 as a shatter mesh.
std::unique_ptr<ZOV_DFmesh> cubeMesh() {
  static const std::uint32_t faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                            {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  static const double normals[6][3] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}};
  auto mesh = std::make_unique<ZOV_DFmesh>();
  mesh->numVertices = 8;
  mesh->vertices = static_cast<MgcVector3*>(std::calloc(8, sizeof(MgcVector3)));
  mesh->worldVertices = static_cast<MgcVector3*>(std::calloc(8, sizeof(MgcVector3)));
  for (int i = 0; i < 8; ++i)
    mesh->vertices[i] = mesh->worldVertices[i] = MgcVector3(i & 1 ? 1 : -1, i & 2 ? 1 : -1, i & 4 ? 1 : -1);
  mesh->numFaces = 6;
  mesh->faces = new DFface[6];
  mesh->faceNormals = static_cast<MgcVector3*>(std::calloc(6, sizeof(MgcVector3)));
  mesh->worldFaceNormals = static_cast<MgcVector3*>(std::calloc(6, sizeof(MgcVector3)));
  mesh->numUVLayers = 1;
  for (int f = 0; f < 6; ++f) {
    allocateBufferChannels(&mesh->faces[f], 4, 1, false);
    for (int k = 0; k < 4; ++k) mesh->faces[f].vertices[k] = faces[f][k];
    mesh->faces[f].numVertices = 4;
    mesh->faces[f].mark = 1;
    mesh->faceNormals[f] = mesh->worldFaceNormals[f] = MgcVector3(normals[f][0], normals[f][1], normals[f][2]);
    mesh->faces[f].normal = mesh->faceNormals[f];
  }
  return mesh;
}

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
  const std::unique_ptr<ZOV_DFmesh> cube = cubeMesh();
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
