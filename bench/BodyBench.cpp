#include <benchmark/benchmark.h>

#include "engine/PrivateHardBody.h"
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

}  // namespace
