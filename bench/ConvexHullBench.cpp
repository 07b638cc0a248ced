#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

extern "C" {
#include <libqhull_r/libqhull_r.h>
}

#include "BenchPoints.h"
#include "geometry/ConvexHull.h"
#include "math/MgcVector3.h"

using Mgc::MgcVector3;

namespace {

// Few of these end on the hull: about n^(2/3) of them.
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

// Every one of these is a hull vertex: the hardest case for a hull builder.
std::vector<MgcVector3> pointsOnSphere(std::uint32_t n) { return zovbench::pointsOnSphere(n, 3); }

// qhull's hull of the same points with its default options, which join
// coplanar facets as ours does. The result is freed inside the timing, as
// ours is.
void qhullOf(std::vector<coordT>& coordinates) {
  qhT context;
  qhT* qh = &context;
  qh_zero(qh, stderr);
  char options[] = "qhull";
  const int status = qh_new_qhull(qh, 3, static_cast<int>(coordinates.size() / 3), coordinates.data(), False, options,
                                  nullptr, stderr);
  benchmark::DoNotOptimize(status);
  qh_freeqhull(qh, !qh_ALL);
  int currentLong = 0;
  int totalLong = 0;
  qh_memfreeshort(qh, &currentLong, &totalLong);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Our hull and qhull's of the same cloud, one after the other in each
// iteration. The reported time is ours; the counters give qhull's time per
// hull (ms) and our time over qhull's.
template <std::vector<MgcVector3> (*Cloud)(std::uint32_t)>
void BM_ConvexHullBesideQhull(benchmark::State& state) {
  const std::vector<MgcVector3> points = Cloud(static_cast<std::uint32_t>(state.range(0)));
  std::vector<coordT> coordinates;
  for (const MgcVector3& p : points) coordinates.insert(coordinates.end(), {p.x, p.y, p.z});
  double ours = 0.0;
  double reference = 0.0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    auto hull = convexHull(points.data(), static_cast<std::uint32_t>(points.size()));
    benchmark::DoNotOptimize(hull.get());
    hull.reset();
    const double oursNow = secondsSince(start);
    start = std::chrono::steady_clock::now();
    qhullOf(coordinates);
    reference += secondsSince(start);
    ours += oursNow;
    state.SetIterationTime(oursNow);
  }
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["ours_ms"] = 1e3 * ours / iterations;
  state.counters["qhull_ms"] = 1e3 * reference / iterations;
  state.counters["ratio"] = ours / reference;
}

void hullSizes(benchmark::internal::Benchmark* b) {
  b->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000);
  b->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK_TEMPLATE(BM_ConvexHullBesideQhull, pointsInBall)->Apply(hullSizes);
BENCHMARK_TEMPLATE(BM_ConvexHullBesideQhull, pointsOnSphere)->Apply(hullSizes);

void BM_ConvexHullCube(benchmark::State& state) {
  const std::vector<MgcVector3> points = zovbench::pointsInCube(static_cast<std::uint32_t>(state.range(0)), 1);
  for (auto _ : state) {
    auto hull = convexHull(points.data(), static_cast<std::uint32_t>(points.size()));
    benchmark::DoNotOptimize(hull.get());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ConvexHullCube)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
