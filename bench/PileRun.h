#pragma once

// The pile benchmark runs every pile in a fresh process of the benchmark
// program: a process whose heap earlier benchmarks left full of scattered
// free blocks serves the engine's many small allocations from them, and
// the same pile then ran 15% slower after the stand-in host's benchmark.

namespace zovbench {

/// When the environment asks this process for one pile, runs it, prints its
/// figures on standard output, sets `status` and answers true; otherwise
/// answers false.
bool runRequestedPile(int& status);

/// The same for a pile of the unequal-pile benchmark (UnequalPileBench.cpp).
bool runRequestedUnequalPile(int& status);

}  // namespace zovbench
