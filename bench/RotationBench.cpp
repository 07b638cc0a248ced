// Hot paths of the rotation math: the bodies multiply orientation matrices and
// convert orientation quaternions to matrices every integration step.

#include <benchmark/benchmark.h>

#include "math/MgcMatrix3.h"
#include "math/MgcQuaternion.h"
#include "math/MgcVector3.h"
#include "math/SymmetricEigen.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using Mgc::Quaternion;

namespace {

MgcMatrix3 sampleRotation(double angle) {
  MgcMatrix3 m;
  m.FromAxisAngle(MgcVector3(0.48, 0.6, 0.64), angle);
  return m;
}

/// Times a * b, keeping both operands and the product from being optimised
/// away.
template <typename A, typename B>
void timeProduct(benchmark::State& state, const A& a, const B& b) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(b);
    auto product = a * b;
    benchmark::DoNotOptimize(product);
  }
}

/// Times convert(from, to), keeping its input and output from being optimised
/// away.
template <typename From, typename To, typename Convert>
void timeConversion(benchmark::State& state, const From& from, To& to, Convert convert) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(from);
    convert(from, to);
    benchmark::DoNotOptimize(to);
  }
}

}  // namespace

static void BM_Matrix3Product(benchmark::State& state) {
  const MgcMatrix3 a = sampleRotation(0.3);
  const MgcMatrix3 b = sampleRotation(1.1);
  timeProduct(state, a, b);
}
BENCHMARK(BM_Matrix3Product);

static void BM_Matrix3TimesVector(benchmark::State& state) {
  const MgcMatrix3 a = sampleRotation(0.3);
  const MgcVector3 v(1.0, -2.0, 0.5);
  timeProduct(state, a, v);
}
BENCHMARK(BM_Matrix3TimesVector);

static void BM_QuaternionToRotationMatrix(benchmark::State& state) {
  const Quaternion q(MgcVector3(0.48, 0.6, 0.64), 0.7);
  MgcMatrix3 m;
  timeConversion(state, q, m, [](const Quaternion& from, MgcMatrix3& to) { from.ToRotationMatrix(to); });
}
BENCHMARK(BM_QuaternionToRotationMatrix);

static void BM_QuaternionFromRotationMatrix(benchmark::State& state) {
  const MgcMatrix3 m = sampleRotation(2.5);
  Quaternion q;
  timeConversion(state, m, q, [](const MgcMatrix3& from, Quaternion& to) { to.FromRotationMatrix(from); });
}
BENCHMARK(BM_QuaternionFromRotationMatrix);

static void BM_QuaternionProduct(benchmark::State& state) {
  const Quaternion a(MgcVector3(0.48, 0.6, 0.64), 0.7);
  const Quaternion b(MgcVector3(0.0, 0.6, 0.8), -1.2);
  timeProduct(state, a, b);
}
BENCHMARK(BM_QuaternionProduct);

static void BM_SymmetricEigen3(benchmark::State& state) {
  const MgcMatrix3 inertia(2.0, 0.3, -0.1, 0.3, 1.5, 0.2, -0.1, 0.2, 1.0);
  for (auto _ : state) {
    MgcMatrix3 vectors = inertia;
    double values[3], sub[3];
    zov::symmetricTridiagonalize(vectors, values, sub);
    benchmark::DoNotOptimize(zov::tridiagonalQL(3, values, sub, vectors));
    zov::sortEigenSystem(3, values, vectors);
    benchmark::DoNotOptimize(values);
    benchmark::DoNotOptimize(vectors);
  }
}
BENCHMARK(BM_SymmetricEigen3);
