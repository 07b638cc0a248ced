// The pair solve of the contact systems recorded from the box pile, over the
// dense matrix and over the contact blocks, timed side by side.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "engine/collision/ContactBlocks.h"
#include "engine/collision/Lsqr.h"
#include "engine/collision/SolverWorkspace.h"
#include "math/MgcVector3.h"
#include "support/RecordedContactSystems.h"

using Mgc::MgcVector3;
using zovfixtures::fillContactBlocks;
using zovfixtures::kRecordedPileSystems;
using zovfixtures::RecordedContactSystem;

namespace {

/// The normals of a recorded system.
std::vector<MgcVector3> normalsOf(const RecordedContactSystem& system) {
  std::vector<MgcVector3> out;
  for (std::uint32_t i = 0; i < system.contacts; ++i) {
    out.emplace_back(system.normals[3 * i], system.normals[3 * i + 1], system.normals[3 * i + 2]);
  }
  return out;
}

/// One dense pair solve as the engine ran it: size, fill, solve with
/// removals.
double solveDense(SolverWorkspace& workspace, const RecordedContactSystem& system, const MgcVector3* normals,
                  std::uint8_t* marks) {
  const std::uint32_t n = system.contacts;
  dvec *rhs = nullptr, *x = nullptr;
  dmat* matrix = nullptr;
  workspace.prepareVectorSystem(n, 0, rhs, x, matrix);
  ContactBlocks blocks;
  fillContactBlocks(system, blocks);
  blocks.expand(matrix);
  for (std::uint32_t r = 0; r < 3 * n; ++r) rhs->elements[r] = system.rhs[r];
  return workspace.solveVectorSystem(n, matrix, rhs, x, normals, marks);
}

/// The same solve over the blocks.
double solveBlocks(SolverWorkspace& workspace, const RecordedContactSystem& system, const MgcVector3* normals,
                   std::uint8_t* marks) {
  const std::uint32_t n = system.contacts;
  dvec *rhs = nullptr, *x = nullptr;
  ContactBlocks* blocks = nullptr;
  workspace.prepareBlockSystem(n, rhs, x, blocks);
  fillContactBlocks(system, *blocks);
  for (std::uint32_t r = 0; r < 3 * n; ++r) rhs->elements[r] = system.rhs[r];
  return workspace.solveBlockSystem(n, blocks, rhs, x, normals, marks);
}

// Every recorded system solved densely and over blocks, in alternating
// batches: the counters give each way's time for the whole set in
// microseconds and their ratio.
void BM_RecordedPileSystemsDenseVsBlocks(benchmark::State& state) {
  std::vector<std::vector<MgcVector3>> normals;
  for (const RecordedContactSystem& system : kRecordedPileSystems) normals.push_back(normalsOf(system));
  SolverWorkspace dense;
  SolverWorkspace blocks;
  std::uint8_t marks[ContactBlocks::kMaxContacts];
  using Clock = std::chrono::steady_clock;
  constexpr int kBatch = 16;
  double denseSeconds = 0.0, blockSeconds = 0.0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (int b = 0; b < kBatch; ++b) {
      for (std::size_t k = 0; k < normals.size(); ++k) {
        benchmark::DoNotOptimize(solveDense(dense, kRecordedPileSystems[k], normals[k].data(), marks));
      }
    }
    const auto t1 = Clock::now();
    for (int b = 0; b < kBatch; ++b) {
      for (std::size_t k = 0; k < normals.size(); ++k) {
        benchmark::DoNotOptimize(solveBlocks(blocks, kRecordedPileSystems[k], normals[k].data(), marks));
      }
    }
    const auto t2 = Clock::now();
    denseSeconds += std::chrono::duration<double>(t1 - t0).count();
    blockSeconds += std::chrono::duration<double>(t2 - t1).count();
  }
  const double sets = static_cast<double>(state.iterations()) * kBatch;
  state.counters["dense_us"] = 1e6 * denseSeconds / sets;
  state.counters["blocks_us"] = 1e6 * blockSeconds / sets;
  state.counters["ratio"] = denseSeconds / blockSeconds;
}
BENCHMARK(BM_RecordedPileSystemsDenseVsBlocks);

}  // namespace
