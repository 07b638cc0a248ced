#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

#include "engine/bodies/PrivateHardBody.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

// A solid box of size (1, 2, 3): just enough shape to integrate.
class BenchBox : public PrivateHardBody {
 public:
  BenchBox() { shape.boxSize = MgcVector3(1.0, 2.0, 3.0); }

  void init(const MgcVector3& p, const MgcMatrix3& R, const MgcVector3& s) override {
    shape.scale = s;
    setOrientation(R);
    computeInertiaTensor();
    setPosition(p);
    dynLast = dyn;
    activate();
  }
  void computeInertiaTensor() override {
    const double m = getMass();
    localInertia.MakeDiagonal(m * 13.0 / 12.0, m * 10.0 / 12.0, m * 5.0 / 12.0);
    localInvInertia = localInertia.Inverse(zov::kInertiaInverseTolerance);
    updateInertia();
  }
  void moveCenterOfMass(const MgcVector3& worldPoint) override { setPosition(worldPoint); }
};

constexpr double kStep = static_cast<double>(1.0f / 300.0f);

// One integration step of the world for one tumbling body under gravity with
// air damping: its weight, the forces into the velocities, then the motion.
void BM_BodyIntegrationStep(benchmark::State& state) {
  BenchBox body;
  body.init(MgcVector3(0.0, 10.0, 0.0), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
  body.setMass(2.0f);
  body.setAirDampingCoeff(0.01);
  body.setAirDampingCoeff2(0.01);
  body.setAngularVelocity(MgcVector3(1.0, 0.5, 2.0));
  body.storeLastDynamics();
  const MgcVector3 gravity(0.0, -10.0, 0.0);
  for (auto _ : state) {
    body.clearDynForces();
    body.clearDynTorques();
    body.addDynForces(gravity * body.getMass());
    body.integrateForces(kStep, true);
    body.integrateMotion(kStep);
    benchmark::DoNotOptimize(body.getDyn().position);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BodyIntegrationStep);

// A body left alone under air damping with a trace of motion (too slow to
// turn it), integrated for a million steps: the cost per step of a late
// window against an early one, and of one near where the damped motion would
// pass below the smallest normal double. A scene's age must not make a step
// dearer.
void BM_DampedRestingBodyStepCostByAge(benchmark::State& state) {
  constexpr std::uint32_t kSteps = 1000000;
  constexpr std::uint32_t kWindow = 20000;
  const std::uint32_t windowStarts[3] = {0, 200000, kSteps - kWindow};
  double windowSeconds[3] = {};
  for (auto _ : state) {
    BenchBox body;
    body.init(MgcVector3(0.0, 0.0, 0.0), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
    body.setMass(2.0f);
    body.setAirDampingCoeff(0.01);
    body.setAirDampingCoeff2(0.01);
    body.setAngularVelocity(MgcVector3(2e-6, 1e-6, -3e-6));
    body.setLinearVelocity(MgcVector3(1e-6, 0.0, 2e-6));
    body.storeLastDynamics();
    using Clock = std::chrono::steady_clock;
    Clock::time_point start;
    for (std::uint32_t step = 0; step < kSteps; ++step) {
      for (int w = 0; w < 3; ++w)
        if (step == windowStarts[w]) start = Clock::now();
      body.clearDynForces();
      body.clearDynTorques();
      body.integrateForces(kStep, true);
      body.integrateMotion(kStep);
      benchmark::DoNotOptimize(body.getDyn().angularMomentum);
      for (int w = 0; w < 3; ++w)
        if (step + 1 == windowStarts[w] + kWindow)
          windowSeconds[w] += std::chrono::duration<double>(Clock::now() - start).count();
    }
  }
  const double perWindow = 1e9 / (static_cast<double>(state.iterations()) * kWindow);
  state.counters["early_ns"] = windowSeconds[0] * perWindow;
  state.counters["at_200k_ns"] = windowSeconds[1] * perWindow;
  state.counters["late_ns"] = windowSeconds[2] * perWindow;
  state.counters["late_over_early"] = windowSeconds[2] / windowSeconds[0];
}
BENCHMARK(BM_DampedRestingBodyStepCostByAge)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
