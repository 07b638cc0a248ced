// The benchmarks' entry point: Google Benchmark's, unless this process was
// started to run a single pile for the pile benchmark (see PileRun.h). The
// status is a failure when a benchmark held to a limit drifted past it (see
// BenchChecks.h).

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>

#include "BenchChecks.h"
#include "PileRun.h"

namespace {

std::atomic<bool> failed{false};

}  // namespace

void zovbench::failBenchmark(benchmark::State& state, const std::string& message) {
  failed = true;
  std::fprintf(stderr, "FAILED: %s\n", message.c_str());
  state.SkipWithError(message.c_str());
}

bool zovbench::anyBenchmarkFailed() { return failed; }

int main(int argc, char** argv) {
  int status = 0;
  if (zovbench::runRequestedPile(status) || zovbench::runRequestedUnequalPile(status)) return status;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return zovbench::anyBenchmarkFailed() ? 1 : 0;
}
