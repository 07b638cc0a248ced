#include <benchmark/benchmark.h>

#include "engine/PrivateWorld.h"
#include "engine/bodies/PhantomBody.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

// One host substep of 1/60 s for a world of n tumbling boxes under gravity
// with air damping and no contacts: the step, then the advance (five
// integration steps of every body and the sleep and wake pass).
void BM_WorldAdvance(benchmark::State& state) {
  const auto n = static_cast<int>(state.range(0));
  PrivateWorld world;
  for (int i = 0; i < n; ++i) {
    auto* body = new PhantomBody;
    body->getShape().boxSize = MgcVector3(1.0, 2.0, 3.0);
    body->setMesh(new ZOVmesh);
    body->init(MgcVector3(3.0 * (i % 100), 0.0, 3.0 * (i / 100)), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
    body->setAngularVelocity(MgcVector3(0.3, 1.0, -0.2));
    body->setAirDampingCoeff(0.01);
    world.addBody(body, 0);
  }
  for (auto _ : state) {
    world.step(1.0 / 60.0);
    world.advance(1.0 / 60.0, nullptr);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_WorldAdvance)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
