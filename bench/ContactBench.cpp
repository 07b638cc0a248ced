#include <benchmark/benchmark.h>

#include <memory>

#include "engine/BodyFactory.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/solver/ContactBlocks.h"
#include "geometry/MeshTransforms.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

const MgcVector3 kUp(0.0, 1.0, 0.0);

struct BodyDeleter {
  void operator()(HardBody* body) const { delete body; }
};
using BodyPtr = std::unique_ptr<HardBody, BodyDeleter>;

/// A unit box of mass 3 resting with its bottom face on the ground plane
/// y = 0, made as a hull or a triangle-mesh body.
BodyPtr unitBox(bool triangles, double sunk) {
  ZOVbox box;
  box.axes = MgcMatrix3::IDENTITY;
  box.extents = MgcVector3(0.5, 0.5, 0.5);
  ZOVmesh mesh;
  meshFromOBB(box, &mesh);
  BodyPtr body(triangles ? createTriMeshBody(&mesh) : createHullBody(&mesh));
  body->init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
  body->setMass(3.0f);
  body->setPosition(MgcVector3(0.0, 0.5 - sunk, 0.0));
  body->updateWorldData();
  return body;
}

/// The unit box over the barrier y = 0 (sunk into it by `sunk`), made as a
/// hull or a triangle-mesh body, and the manager's pair buffer of thread 0.
struct BoxOnBarrier {
  BoxOnBarrier(bool triangles, double sunk)
      : ground(barrier()), box(unitBox(triangles, sunk)), pair(manager.threadBuffer(0)) {}
  static HardBody* barrier() {
    MgcVector3 normal = kUp;
    return createBarrierBody(MgcVector3(), normal);
  }
  CollisionManager manager;
  BodyPtr ground;
  BodyPtr box;
  CollisionPair* pair;
};

/// The pair as the four bottom corners of the unit box touching the ground,
/// the box falling at `speed` without spin, prepared by the manager.
void cornersOnGround(CollisionManager& manager, CollisionPair& pair, HardBody& box, HardBody& ground, double speed) {
  static const MgcVector3 corners[4] = {{-0.5, 0, -0.5}, {0.5, 0, -0.5}, {0.5, 0, 0.5}, {-0.5, 0, 0.5}};
  box.setLinearVelocity(kUp * -speed);
  box.setAngularVelocity(MgcVector3());
  box.storeLastDynamics();
  pair.reset();
  pair.firstBody = &box;
  pair.secondBody = &ground;
  for (const MgcVector3& corner : corners) pair.contactSet().append(corner, kUp, 0.0, 0, 0);
  manager.prepareContacts(pair);
}

/// The four bottom corners of the box in contact with the ground, falling at
/// 2 m/s: preparation and the collision solve (inside the friction cones).
void BM_BoxOnBarrierCollision(benchmark::State& state) {
  BoxOnBarrier s(false, 0.0);
  s.box->setFrictionCoeff(0.5);
  for (auto _ : state) {
    cornersOnGround(s.manager, *s.pair, *s.box, *s.ground, 2.0);
    ContactBlocks* K = nullptr;
    s.manager.resolveCollision(*s.pair, kContactColliding, K, s.box->getMass(), 0, 0);
    benchmark::DoNotOptimize(s.box->getDyn().linearVelocity);
  }
}
BENCHMARK(BM_BoxOnBarrierCollision);

/// The same contacts through the resting-contact solve.
void BM_BoxOnBarrierRestingContact(benchmark::State& state) {
  BoxOnBarrier s(false, 0.0);
  for (auto _ : state) {
    cornersOnGround(s.manager, *s.pair, *s.box, *s.ground, 0.05);
    s.manager.resolveContact(*s.pair, kContactResting, nullptr, s.box->getMass(), 0);
    benchmark::DoNotOptimize(s.box->getDyn().linearVelocity);
  }
}
BENCHMARK(BM_BoxOnBarrierRestingContact);

/// Overlap and contacts of a box sunk 1 mm into the ground: the hull through
/// the narrow phase (three contacts), the triangle mesh through its face
/// tree (four).
void BM_BoxOnBarrierContacts(benchmark::State& state) {
  BoxOnBarrier s(state.range(0) != 0, 1e-3);
  for (auto _ : state) {
    s.pair->reset();
    s.pair->firstBody = s.box.get();
    s.pair->secondBody = s.ground.get();
    const bool touching = s.manager.testBodyPair(s.box.get(), s.ground.get(), s.pair, 0) &&
                          s.manager.testBodyPairExact(s.box.get(), s.ground.get(), s.pair, 0);
    benchmark::DoNotOptimize(touching);
  }
  state.SetLabel(state.range(0) != 0 ? "triangle mesh" : "hull");
}
BENCHMARK(BM_BoxOnBarrierContacts)->Arg(0)->Arg(1);

}  // namespace
