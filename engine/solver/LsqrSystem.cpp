#include "engine/solver/LsqrSystem.h"

#include <new>

std::array<std::unique_ptr<LsqrSystem>, kLsqrSystemCount> g_lsqrSystems;

LsqrSystem::LsqrSystem() : problem(kMaxUnknowns, kMaxUnknowns), backup(alloc_dvec(kMaxUnknowns)) {}

bool LsqrSystem::prepare(int n, dmat*& A, dvec*& b, dvec*& x) {
  if (n < 1 || n > kMaxUnknowns) return false;
  const auto unknowns = static_cast<std::uint32_t>(n);
  problem.setSize(unknowns, unknowns);
  lsqr_input* input = problem.input;
  input->damp = 0.0;
  input->atol = 0.0;
  input->btol = 0.0;
  input->conlim = 0.0;
  input->iterationLimit = (3 * unknowns) / 2;
  backup->length = unknowns;
  size = n;
  A = problem.func->matrix;
  b = input->b;
  x = input->x;
  return true;
}

bool LsqrSystem::solve(int n, dmat* A, dvec* b, dvec* x) {
  lsqr_input* input = problem.input;
  if (size == 0 || n != size || A != problem.func->matrix || b != input->b || x != input->x) {
    return false;
  }
  for (std::uint32_t i = 0; i < x->length; ++i) x->elements[i] = 0.0;
  dvec_copy(b, backup.get());
  problem.solve();
  dvec_copy(backup.get(), b);
  return true;
}

bool createLsqrSystems(std::uint32_t workerCount) {
  destroyLsqrSystems();
  if (workerCount >= kLsqrSystemCount) return false;
  try {
    for (std::uint32_t t = 0; t <= workerCount; ++t) g_lsqrSystems[t] = std::make_unique<LsqrSystem>();
  } catch (const std::bad_alloc&) {
    destroyLsqrSystems();
    return false;
  }
  return true;
}

void destroyLsqrSystems() {
  for (auto& system : g_lsqrSystems) system.reset();
}
