#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "geometry/CovarianceFit.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "platform/CRandom.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

double unitRandom() { return static_cast<double>(zov::platform::crtRand()) / 32767.0 * 2.0 - 1.0; }

MgcMatrix3 randomMatrix() {
  MgcMatrix3 a;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) a[r][c] = unitRandom();
  return a;
}

void BM_Matrix3SingularValueDecomposition(benchmark::State& state) {
  zov::platform::crtSrand(1);
  const MgcMatrix3 a = randomMatrix();
  MgcMatrix3 L, R;
  MgcVector3 S;
  for (auto _ : state) {
    a.SingularValueDecomposition(L, S, R);
    benchmark::DoNotOptimize(S);
  }
}
BENCHMARK(BM_Matrix3SingularValueDecomposition);

void BM_Matrix3EigenSolveSymmetric(benchmark::State& state) {
  zov::platform::crtSrand(2);
  const MgcMatrix3 a = randomMatrix();
  const MgcMatrix3 symmetric = a.TransposeTimes(a);
  double values[3];
  MgcVector3 vectors[3];
  for (auto _ : state) {
    symmetric.EigenSolveSymmetric(values, vectors);
    benchmark::DoNotOptimize(values);
  }
}
BENCHMARK(BM_Matrix3EigenSolveSymmetric);

// Contact reduction: n points down to k extremes.
void BM_SelectExtremePoints(benchmark::State& state) {
  zov::platform::crtSrand(3);
  const auto count = static_cast<std::uint32_t>(state.range(0));
  const auto wanted = static_cast<std::uint32_t>(state.range(1));
  std::vector<MgcVector3> points;
  for (std::uint32_t i = 0; i < count; ++i) points.emplace_back(unitRandom() * 3.0, unitRandom(), unitRandom() * 0.1);
  std::vector<std::uint32_t> indices(wanted);
  for (auto _ : state) {
    std::uint32_t k = wanted;
    selectExtremePoints(points.data(), count, indices.data(), k);
    benchmark::DoNotOptimize(indices.data());
  }
}
BENCHMARK(BM_SelectExtremePoints)->Args({32, 6})->Args({64, 16})->Args({256, 16});

}  // namespace
