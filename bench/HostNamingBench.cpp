// Naming new nodes in the stand-in host: a scene of n nodes named from one
// base ("transform1", "transform2", ...). The time per node should not grow
// with n.
#include <benchmark/benchmark.h>
#include <maya/MGlobal.h>

#include "testing/HostTesting.h"

static void BM_HostCreateNamedNodes(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    zovhost::testing::resetScene();
    state.ResumeTiming();
    for (int i = 0; i < count; ++i) MGlobal::executeCommand("createNode transform -n \"piece#\"");
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.SetComplexityN(count);
}
BENCHMARK(BM_HostCreateNamedNodes)->RangeMultiplier(4)->Range(1000, 16000)->Complexity();
