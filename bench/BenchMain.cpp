// The benchmarks' entry point: Google Benchmark's, unless this process was
// started to run a single pile for the pile benchmark (see PileRun.h).

#include <benchmark/benchmark.h>

#include "PileRun.h"

int main(int argc, char** argv) {
  int status = 0;
  if (zovbench::runRequestedPile(status)) return status;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
