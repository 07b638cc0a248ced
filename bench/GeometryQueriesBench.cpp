#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

#include "geometry/OverlapTests.h"
#include "geometry/ShapeRecords.h"
#include "math/DistanceQueries.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

constexpr std::size_t kPairs = 1024;

MgcVector3 randomVector(std::mt19937& engine, double lo, double hi) {
  std::uniform_real_distribution<double> uniform(lo, hi);
  return {uniform(engine), uniform(engine), uniform(engine)};
}

// The rotation of a random unit quaternion (w, x, y, z).
MgcMatrix3 randomRotation(std::mt19937& engine) {
  std::normal_distribution<double> normal;
  double q[4] = {normal(engine), normal(engine), normal(engine), normal(engine)};
  const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  const double w = q[0] / length, x = q[1] / length, y = q[2] / length, z = q[3] / length;
  return {1 - 2 * (y * y + z * z), 2 * (x * y - w * z),     2 * (x * z + w * y),
          2 * (x * y + w * z),     1 - 2 * (x * x + z * z), 2 * (y * z - w * x),
          2 * (x * z - w * y),     2 * (y * z + w * x),     1 - 2 * (x * x + y * y)};
}

struct TrianglePair {
  MgcVector3 a[3], b[3];
  MgcVector3 normalA, normalB;
};

// Pairs of unit-sized triangles whose centres lie up to `spread` apart: a mix
// of meeting, close and distant pairs, as the closest-face searches see them.
std::vector<TrianglePair> trianglePairs(double spread) {
  std::mt19937 engine(7);
  std::vector<TrianglePair> pairs(kPairs);
  for (TrianglePair& pair : pairs) {
    const MgcVector3 offset = randomVector(engine, -spread, spread);
    for (int i = 0; i < 3; ++i) {
      pair.a[i] = randomVector(engine, -1, 1);
      pair.b[i] = offset + randomVector(engine, -1, 1);
    }
    pair.normalA = (pair.a[1] - pair.a[0]).Cross(pair.a[2] - pair.a[0]);
    pair.normalB = (pair.b[1] - pair.b[0]).Cross(pair.b[2] - pair.b[0]);
    pair.normalA.Unitize(1e-12);
    pair.normalB.Unitize(1e-12);
  }
  return pairs;
}

void BM_TriangleTriangleDistance(benchmark::State& state) {
  const std::vector<TrianglePair> pairs = trianglePairs(static_cast<double>(state.range(0)));
  std::size_t i = 0;
  for (auto _ : state) {
    const TrianglePair& pair = pairs[i++ % kPairs];
    MgcVector3 closestA, closestB;
    benchmark::DoNotOptimize(distanceSq_tri2tri(pair.a, pair.normalA, pair.b, pair.normalB, closestA, closestB));
    benchmark::DoNotOptimize(closestA);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TriangleTriangleDistance)->Arg(1)->Arg(4);

// Box pairs with centres up to `spread` apart: small spreads overlap mostly,
// larger ones are mostly rejected by an early axis.
void BM_ObbOverlap(benchmark::State& state) {
  std::mt19937 engine(8);
  const double spread = static_cast<double>(state.range(0));
  std::vector<ZOVbox> boxes(2 * kPairs);
  for (ZOVbox& box : boxes) {
    box.center = randomVector(engine, -spread, spread);
    box.axes = randomRotation(engine);
    box.extents = randomVector(engine, 0.2, 1.5);
  }
  std::size_t i = 0;
  for (auto _ : state) {
    const std::size_t k = 2 * (i++ % kPairs);
    benchmark::DoNotOptimize(obbOverlap(boxes[k], boxes[k + 1]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ObbOverlap)->Arg(1)->Arg(3)->Arg(10);

}  // namespace
