#include <benchmark/benchmark.h>

#include <btBulletDynamicsCommon.h>

#include <chrono>
#include <memory>
#include <vector>

#include "engine/PrivateWorld.h"
#include "engine/bodies/BarrierBody.h"
#include "engine/bodies/CapsuleBody.h"
#include "engine/bodies/HullBody.h"
#include "engine/bodies/PhantomBody.h"
#include "engine/bodies/RBDynamics.h"
#include "engine/bodies/TriMeshBody.h"
#include "engine/fracture/FractureBody.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

// N free boxes of size (1, 2, 3) tumbling under gravity with air damping, no
// contacts, each integrated for one step of 1/300 s: ours through the
// world's advance on one thread (the states stored for the step, the forces
// into the velocities, the motion, the activation pass) and through the bare
// per-body calls the advance makes; Bullet's (single precision, as Debian
// builds it) through the calls its dynamics world makes for a body without
// constraints: gravity, velocities, the implicit gyroscopic term, damping,
// the predicted transform taken, forces cleared, deactivation time kept.

constexpr double kStep = kWorldIntegrationStep;

MgcVector3 placeOf(int i) { return MgcVector3(3.0 * (i % 100), 0.0, 3.0 * (i / 100)); }

// Our bodies in a world of one thread.
class OurScene {
 public:
  explicit OurScene(int n) {
    world.setThreadCount(1);
    for (int i = 0; i < n; ++i) {
      auto* body = new PhantomBody;
      body->getShape().boxSize = MgcVector3(1.0, 2.0, 3.0);
      body->setMesh(new ZOVmesh);
      body->init(placeOf(i), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
      body->setAngularVelocity(MgcVector3(0.3, 1.0, -0.2));
      body->setAirDampingCoeff(0.01);
      body->setAirDampingCoeff2(0.01);
      world.addBody(body, 0);
      bodies.push_back(body);
    }
  }

  void advance() { world.advance(kStep, nullptr); }

  // The advance's work on each body, without the world's lists.
  void integrate() {
    const MgcVector3 gravity = world.GetGravity();
    for (PhantomBody* body : bodies) body->storeLastDynamics();
    for (PhantomBody* body : bodies) {
      body->clearDynForces();
      body->clearDynTorques();
      const double m = 1.0 / body->getInvMass();
      body->addDynForces(MgcVector3(m * gravity.x, m * gravity.y, m * gravity.z));
      body->integrateForces(kStep, true);
    }
    for (PhantomBody* body : bodies) body->integrateMotion(kStep);
  }

  PrivateWorld world;
  std::vector<PhantomBody*> bodies;
};

class BulletScene {
 public:
  explicit BulletScene(int n) : shape(btVector3(0.5f, 1.0f, 1.5f)) {
    const btScalar mass = 1.0f;
    btVector3 inertia;
    shape.calculateLocalInertia(mass, inertia);
    for (int i = 0; i < n; ++i) {
      const MgcVector3 p = placeOf(i);
      btTransform start;
      start.setIdentity();
      start.setOrigin(btVector3(static_cast<btScalar>(p.x), static_cast<btScalar>(p.y), static_cast<btScalar>(p.z)));
      btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, &shape, inertia);
      info.m_startWorldTransform = start;
      info.m_linearDamping = 0.01f;
      info.m_angularDamping = 0.01f;
      auto body = std::make_unique<btRigidBody>(info);
      body->setGravity(btVector3(0.0f, -10.0f, 0.0f));
      body->setAngularVelocity(btVector3(0.3f, 1.0f, -0.2f));
      body->setActivationState(DISABLE_DEACTIVATION);
      bodies.push_back(std::move(body));
    }
  }

  void integrate() {
    const auto h = static_cast<btScalar>(kStep);
    btTransform next;
    for (const auto& body : bodies) {
      body->applyGravity();
      body->integrateVelocities(h);
      body->setAngularVelocity(body->getAngularVelocity() + body->computeGyroscopicImpulseImplicit_Body(h));
      body->applyDamping(h);
      body->predictIntegratedTransform(h, next);
      body->proceedToTransform(next);
      body->clearForces();
      body->updateDeactivation(h);
    }
  }

  btBoxShape shape;
  std::vector<std::unique_ptr<btRigidBody>> bodies;
};

// Both sides timed in alternation, so that the machine's load weighs on
// them alike; the counters give nanoseconds per body-step and the ratios.
// Fifty bodies stay within the second-level cache, which shows the
// arithmetic alone; a thousand and a hundred thousand show the memory a step
// reads and writes as well.
void BM_IntegrationBesideBullet(benchmark::State& state) {
  const auto n = static_cast<int>(state.range(0));
  OurScene ours(n);
  BulletScene bullet(n);
  using Clock = std::chrono::steady_clock;
  double advanceSeconds = 0.0, loopSeconds = 0.0, bulletSeconds = 0.0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    ours.advance();
    const auto t1 = Clock::now();
    ours.integrate();
    const auto t2 = Clock::now();
    bullet.integrate();
    const auto t3 = Clock::now();
    advanceSeconds += std::chrono::duration<double>(t1 - t0).count();
    loopSeconds += std::chrono::duration<double>(t2 - t1).count();
    bulletSeconds += std::chrono::duration<double>(t3 - t2).count();
    benchmark::DoNotOptimize(ours.bodies.back()->getDyn().position);
    benchmark::DoNotOptimize(bullet.bodies.back()->getCenterOfMassPosition());
  }
  const double perBodyStep = 1e9 / (static_cast<double>(state.iterations()) * n);
  state.counters["ours_ns"] = advanceSeconds * perBodyStep;
  state.counters["ours_loop_ns"] = loopSeconds * perBodyStep;
  state.counters["bullet_ns"] = bulletSeconds * perBodyStep;
  state.counters["ratio"] = advanceSeconds / bulletSeconds;
  state.counters["ratio_loop"] = loopSeconds / bulletSeconds;
}
BENCHMARK(BM_IntegrationBesideBullet)->Arg(50)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The bytes of one body of each kind, with its table of the thread slots of
// a world of one thread (a slot's dynamic state is made when a pass first
// uses it; a fracture body keeps none: its pieces do), and Bullet's body
// (its shape may be shared, so it is left out).
void BM_BodyKindSizes(benchmark::State& state) {
  PrivateWorld world;
  world.setThreadCount(1);
  const PhantomBody probe;  // made with the slots of the world's passes
  const auto states = static_cast<double>(probe.getWorkerStateCount() * sizeof(void*));
  for (auto _ : state) benchmark::DoNotOptimize(states);
  state.counters["worker_states"] = probe.getWorkerStateCount();
  state.counters["PhantomBody"] = static_cast<double>(sizeof(PhantomBody)) + states;
  state.counters["HullBody"] = static_cast<double>(sizeof(HullBody)) + states;
  state.counters["CapsuleBody"] = static_cast<double>(sizeof(CapsuleBody)) + states;
  state.counters["TriMeshBody"] = static_cast<double>(sizeof(TriMeshBody)) + states;
  state.counters["BarrierBody"] = static_cast<double>(sizeof(BarrierBody)) + states;
  state.counters["FractureBody"] = static_cast<double>(sizeof(FractureBody));
  state.counters["RBDynamics"] = static_cast<double>(sizeof(RBDynamics));
  state.counters["btRigidBody"] = static_cast<double>(sizeof(btRigidBody));
}
BENCHMARK(BM_BodyKindSizes)->Iterations(1);

}  // namespace
