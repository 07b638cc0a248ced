#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "engine/collision/Lsqr.h"
#include "engine/collision/SolverWorkspace.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

constexpr std::uint32_t kContacts = 16;
constexpr std::uint32_t kUnknowns = 3 * kContacts;  // 48

// A box of mass 2 resting on a 4 x 4 grid of contacts over its bottom face:
// the impulse-response matrix K_ij = (1/m) I - [r_i] I^-1 [r_j] of the
// contact solver, and a right-hand side that stops a downward velocity with
// some spin.
struct ContactSystem {
  std::vector<double> matrix = std::vector<double>(kUnknowns * kUnknowns);
  std::vector<double> rhs = std::vector<double>(kUnknowns);
  std::vector<MgcVector3> normals = std::vector<MgcVector3>(kContacts, MgcVector3(0, 1, 0));

  ContactSystem() {
    const double mass = 2.0;
    const MgcVector3 half(1.0, 0.25, 0.6);
    MgcMatrix3 inverseInertia;
    inverseInertia.MakeDiagonal(3.0 / (mass * (half.y * half.y + half.z * half.z)),
                                3.0 / (mass * (half.x * half.x + half.z * half.z)),
                                3.0 / (mass * (half.x * half.x + half.y * half.y)));
    std::vector<MgcVector3> arms;
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) {
        arms.emplace_back(half.x * (-1.0 + i * 2.0 / 3.0), -half.y, half.z * (-1.0 + j * 2.0 / 3.0));
      }
    }
    MgcMatrix3 identity;
    identity.SetIdentity();
    for (std::uint32_t i = 0; i < kContacts; ++i) {
      for (std::uint32_t j = 0; j < kContacts; ++j) {
        const MgcMatrix3 block =
            identity * (1.0 / mass) - Mgc::SkewSymmetric(arms[i]) * inverseInertia * Mgc::SkewSymmetric(arms[j]);
        for (int r = 0; r < 3; ++r) {
          for (int c = 0; c < 3; ++c) matrix[(3 * i + r) * kUnknowns + 3 * j + c] = block[r][c];
        }
      }
      const MgcVector3 spin(0.3, 0.0, -0.2);
      const MgcVector3 velocity = MgcVector3(0.0, -1.5, 0.1) + spin.Cross(arms[i]);
      rhs[3 * i] = -velocity.x;
      rhs[3 * i + 1] = -velocity.y;
      rhs[3 * i + 2] = -velocity.z;
    }
  }

  void load(dmat* a, dvec* b) const {
    for (std::uint32_t r = 0; r < kUnknowns; ++r) {
      dvec row = getMatrixRow(a, r);
      for (std::uint32_t c = 0; c < kUnknowns; ++c) row.elements[c] = matrix[r * kUnknowns + c];
      b->elements[r] = rhs[r];
    }
  }
};

// One LSQR run with the engine's settings on the 48 x 48 system.
void BM_Lsqr48ContactSystem(benchmark::State& state) {
  const ContactSystem system;
  LsqrProblem problem(kUnknowns, kUnknowns);
  problem.setSize(kUnknowns, kUnknowns);
  problem.input->iterationLimit = (3 * kUnknowns) / 2;
  system.load(problem.func->matrix, problem.input->b);
  std::vector<double> backup(system.rhs);
  for (auto _ : state) {
    for (std::uint32_t i = 0; i < kUnknowns; ++i) {
      problem.input->x->elements[i] = 0.0;
      problem.input->b->elements[i] = backup[i];
    }
    problem.solve();
    benchmark::DoNotOptimize(problem.input->x->elements);
  }
}
BENCHMARK(BM_Lsqr48ContactSystem);

// The contact solver's full vector solve: sizing, filling, removal passes
// and compaction.
void BM_SolveVectorSystem16Contacts(benchmark::State& state) {
  const ContactSystem system;
  SolverWorkspace workspace;
  std::uint8_t marks[kContacts];
  for (auto _ : state) {
    dvec *rhs = nullptr, *x = nullptr;
    dmat* matrix = nullptr;
    workspace.prepareVectorSystem(kContacts, 0, rhs, x, matrix);
    system.load(matrix, rhs);
    benchmark::DoNotOptimize(workspace.solveVectorSystem(kContacts, matrix, rhs, x, system.normals.data(), marks));
  }
}
BENCHMARK(BM_SolveVectorSystem16Contacts);

}  // namespace
