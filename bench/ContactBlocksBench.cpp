// The pair solve of the contact systems recorded from the box pile, over the
// dense matrix and over the contact blocks, timed side by side.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "engine/collision/SolverWorkspace.h"
#include "engine/solver/ContactBlocks.h"
#include "engine/solver/ContactBlocksWide.h"
#include "engine/solver/Lsqr.h"
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

/// Runs `first` and `second` in alternating batches of 16, so that both
/// meet the same machine state: the counters give each one's microseconds
/// a run and the ratio of first to second.
template <typename First, typename Second>
void timeAlternately(benchmark::State& state, First&& first, Second&& second, const char* firstName,
                     const char* secondName) {
  using Clock = std::chrono::steady_clock;
  constexpr int kBatch = 16;
  double firstSeconds = 0.0, secondSeconds = 0.0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (int b = 0; b < kBatch; ++b) first();
    const auto t1 = Clock::now();
    for (int b = 0; b < kBatch; ++b) second();
    const auto t2 = Clock::now();
    firstSeconds += std::chrono::duration<double>(t1 - t0).count();
    secondSeconds += std::chrono::duration<double>(t2 - t1).count();
  }
  const double runs = static_cast<double>(state.iterations()) * kBatch;
  state.counters[firstName] = 1e6 * firstSeconds / runs;
  state.counters[secondName] = 1e6 * secondSeconds / runs;
  state.counters["ratio"] = firstSeconds / secondSeconds;
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
  timeAlternately(
      state,
      [&] {
        for (std::size_t k = 0; k < normals.size(); ++k) {
          benchmark::DoNotOptimize(solveDense(dense, kRecordedPileSystems[k], normals[k].data(), marks));
        }
      },
      [&] {
        for (std::size_t k = 0; k < normals.size(); ++k) {
          benchmark::DoNotOptimize(solveBlocks(blocks, kRecordedPileSystems[k], normals[k].data(), marks));
        }
      },
      "dense_us", "blocks_us");
}
BENCHMARK(BM_RecordedPileSystemsDenseVsBlocks);

/// One solve of a recorded system over its blocks, every contact in, from
/// zero, in two-lane or (where the processor has them) four-lane registers.
void solveOnce(const RecordedContactSystem& system, LsqrProblem& problem, bool wide) {
  const std::uint32_t n = system.contacts;
  const std::uint32_t m = 3 * n;
  ContactBlocks blocks;
  fillContactBlocks(system, blocks);
  std::uint8_t marks[ContactBlocks::kMaxContacts] = {};
  lsqr_set_input_size(problem.input, m, m);
  lsqr_set_output_size(problem.output, m);
  lsqr_set_work_size(problem.work, m);
  lsqr_input* input = problem.input;
  input->damp = input->atol = input->btol = input->conlim = 0.0;
  input->iterationLimit = (3 * m) / 2;
  for (std::uint32_t r = 0; r < m; ++r) {
    input->b->elements[r] = system.rhs[r];
    input->x->elements[r] = 0.0;
  }
  const ContactBlockProducts products(blocks, marks);
  if (!wide || !contactblockswide::solve(products.activeContacts(), problem.input, problem.output, problem.work)) {
    products.solveBaseline(problem.input, problem.output, problem.work);
  }
}

// Every recorded system solved over its blocks in two-lane and in four-lane
// registers, in alternating batches: microseconds for the whole set each way
// and their ratio (1 where the processor lacks the four-lane instructions).
void BM_RecordedPileSystemsTwoVsFourLanes(benchmark::State& state) {
  LsqrProblem problem(3 * ContactBlocks::kMaxContacts, 3 * ContactBlocks::kMaxContacts, 0, 0);
  timeAlternately(
      state,
      [&] {
        for (const RecordedContactSystem& system : kRecordedPileSystems) solveOnce(system, problem, false);
        benchmark::DoNotOptimize(problem.output->normR);
      },
      [&] {
        for (const RecordedContactSystem& system : kRecordedPileSystems) solveOnce(system, problem, true);
        benchmark::DoNotOptimize(problem.output->normR);
      },
      "two_lanes_us", "four_lanes_us");
}
BENCHMARK(BM_RecordedPileSystemsTwoVsFourLanes);

}  // namespace
