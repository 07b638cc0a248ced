#pragma once

// Benchmarks that hold a figure to a limit (a ratio to a reference library)
// fail loudly when it drifts past it: the benchmark reports the error with
// its figure, and the program ends with a failing status.

#include <benchmark/benchmark.h>

#include <string>

namespace zovbench {

/// Marks `state`'s benchmark as failed with `message`, printed on standard
/// error as well, and makes the program's status a failure.
void failBenchmark(benchmark::State& state, const std::string& message);

/// Whether any benchmark failed so far.
bool anyBenchmarkFailed();

}  // namespace zovbench
