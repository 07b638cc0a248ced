#include <benchmark/benchmark.h>

#include <Eigen/Dense>

#include <time.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchChecks.h"
#include "engine/collision/SolverWorkspace.h"
#include "engine/solver/Lsqr.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "platform/CRandom.h"

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

// A dense n x n system: a diagonally weighted random matrix and right-hand
// side, row-major as the engine's systems are.
struct DenseSystem {
  std::uint32_t n;
  std::vector<double> matrix;
  std::vector<double> rhs;

  explicit DenseSystem(std::uint32_t size) : n(size), matrix(std::size_t{size} * size), rhs(size) {
    zov::platform::crtSrand(17);
    auto uniform = [] { return 2.0 * zov::platform::crtRand() / static_cast<double>(zov::platform::kRandMax) - 1.0; };
    for (std::uint32_t r = 0; r < n; ++r) {
      for (std::uint32_t c = 0; c < n; ++c) matrix[r * n + c] = uniform() + (r == c ? 4.0 : 0.0);
      rhs[r] = uniform();
    }
  }
  explicit DenseSystem(const ContactSystem& contacts) : n(kUnknowns), matrix(contacts.matrix), rhs(contacts.rhs) {}
};

// Textbook LSQR (Paige and Saunders, without damping) on Eigen, for a fixed
// number of iterations: the bidiagonalisation, the plane rotation, the update
// of x and w and the estimates of |A| and cond(A) that its stopping tests use.
class EigenLsqr {
 public:
  explicit EigenLsqr(const DenseSystem& system)
      : A(Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>(system.matrix.data(),
                                                                                                   system.n, system.n)),
        b(Eigen::Map<const Eigen::VectorXd>(system.rhs.data(), system.n)),
        u(system.n),
        v(system.n),
        w(system.n),
        x(system.n) {}

  const Eigen::VectorXd& solve(int iterations) {
    x.setZero();
    u = b;
    double beta = u.norm();
    u /= beta;
    v.noalias() = A.transpose() * u;
    double alpha = v.norm();
    v /= alpha;
    w = v;
    double phibar = beta, rhobar = alpha, bbnorm = 0.0, ddnorm = 0.0;
    for (int k = 0; k < iterations; ++k) {
      u = -alpha * u;
      u.noalias() += A * v;
      beta = u.norm();
      u /= beta;
      v = -beta * v;
      v.noalias() += A.transpose() * u;
      alpha = v.norm();
      v /= alpha;
      bbnorm += alpha * alpha + beta * beta;

      const double rho = std::sqrt(rhobar * rhobar + beta * beta);
      const double c = rhobar / rho, s = beta / rho;
      const double theta = s * alpha;
      rhobar = -c * alpha;
      const double phi = c * phibar;
      phibar = s * phibar;
      x += (phi / rho) * w;
      ddnorm += (w / rho).squaredNorm();
      w = v - (theta / rho) * w;
    }
    normA = std::sqrt(bbnorm);
    condA = normA * std::sqrt(ddnorm);
    return x;
  }

  double normA = 0.0, condA = 0.0;

 private:
  Eigen::MatrixXd A;
  Eigen::VectorXd b, u, v, w, x;
};

// The engine's LSQR on the same system, with the engine's settings.
class EngineLsqr {
 public:
  explicit EngineLsqr(const DenseSystem& system) : system_(system), problem_(system.n, system.n) {
    problem_.setSize(system.n, system.n);
    problem_.input->iterationLimit = (3 * system.n) / 2;
    for (std::uint32_t r = 0; r < system.n; ++r) {
      dvec row = getMatrixRow(problem_.func->matrix, r);
      for (std::uint32_t c = 0; c < system.n; ++c) row.elements[c] = system.matrix[r * system.n + c];
    }
  }

  std::uint32_t solve() {
    for (std::uint32_t i = 0; i < system_.n; ++i) {
      problem_.input->x->elements[i] = 0.0;
      problem_.input->b->elements[i] = system_.rhs[i];
    }
    problem_.solve();
    return problem_.output->iterations;
  }

 private:
  const DenseSystem& system_;
  LsqrProblem problem_;
};

/// How many times the textbook solve's time the engine's may take: past it
/// the benchmark fails.
constexpr double kEigenRatioLimit = 1.15;

/// The processor time of the calling thread, in seconds: the time a busy
/// machine's other work takes from it is not counted, as on a clock it is.
double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Both solvers on one system for the engine's iteration count, timed by the
// thread's processor time in alternating batches of 8 solves each: the
// counters give each one's mean time per solve in microseconds and the median
// of the batches' ratios, which the few batches slowed by other work (an
// interrupt, a busy neighbour on the core, caches another thread emptied) do
// not move; the benchmark fails when that ratio is past kEigenRatioLimit.
void compareWithEigen(benchmark::State& state, const DenseSystem& system, const char* name) {
  constexpr int batch = 8;
  EngineLsqr engine(system);
  EigenLsqr reference(system);
  const std::uint32_t iterations = engine.solve();
  double engineSeconds = 0.0, eigenSeconds = 0.0;
  std::vector<double> ratios;
  for (auto _ : state) {
    const double t0 = threadSeconds();
    for (int i = 0; i < batch; ++i) benchmark::DoNotOptimize(engine.solve());
    const double t1 = threadSeconds();
    for (int i = 0; i < batch; ++i) benchmark::DoNotOptimize(reference.solve(static_cast<int>(iterations)).data());
    const double t2 = threadSeconds();
    engineSeconds += t1 - t0;
    eigenSeconds += t2 - t1;
    ratios.push_back((t1 - t0) / (t2 - t1));
  }
  const double solves = static_cast<double>(state.iterations()) * batch;
  state.counters["iterations"] = iterations;
  state.counters["ours_us"] = 1e6 * engineSeconds / solves;
  state.counters["eigen_us"] = 1e6 * eigenSeconds / solves;
  const auto middle = ratios.begin() + static_cast<std::ptrdiff_t>(ratios.size() / 2);
  std::nth_element(ratios.begin(), middle, ratios.end());
  const double ratio = *middle;
  state.counters["ratio"] = ratio;
  if (ratio > kEigenRatioLimit) {
    char message[160];
    std::snprintf(message, sizeof message, "%s: the engine's LSQR takes %.3f times Eigen's, past the limit of %.2f",
                  name, ratio, kEigenRatioLimit);
    zovbench::failBenchmark(state, message);
  }
}

void BM_LsqrVsEigen48ContactSystem(benchmark::State& state) {
  const DenseSystem system{ContactSystem()};
  compareWithEigen(state, system, "48 x 48 contact system");
}
BENCHMARK(BM_LsqrVsEigen48ContactSystem);

void BM_LsqrVsEigen200DenseSystem(benchmark::State& state) {
  const DenseSystem system(200);
  compareWithEigen(state, system, "200 x 200 dense system");
}
BENCHMARK(BM_LsqrVsEigen200DenseSystem);

}  // namespace
