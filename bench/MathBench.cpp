#include <benchmark/benchmark.h>

#include "math/MgcVector3.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

static void BM_Vector3Unitize(benchmark::State& state) {
  MgcVector3 v(1.0, 2.0, 3.0);
  for (auto _ : state) {
    MgcVector3 w = v;
    benchmark::DoNotOptimize(w.Unitize(zov::kUnitizeTolerance));
    benchmark::DoNotOptimize(w);
  }
}
BENCHMARK(BM_Vector3Unitize);
