#pragma once

// Worlds with a ground and boxes, balls and fracture bodies on it, stepped
// the way the host's frame loop steps them.

#include <cstdio>
#include <random>
#include <vector>

#include "engine/BodyFactory.h"
#include "engine/PrivateWorld.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "support/GeometryFixtures.h"

namespace zovtest {

/// The ground plane y = 0, added to the world, which owns it.
inline HardBody* addGround(PrivateWorld& world, const Mgc::MgcVector3& normal = {0.0, 1.0, 0.0},
                           const Mgc::MgcVector3& point = {}) {
  Mgc::MgcVector3 n = normal;
  HardBody* ground = createBarrierBody(point, n);
  ground->getShape().setName("ground");
  world.addBody(ground, 0);
  return ground;
}

/// A hull box of the given half size, centre at `at`, turned by R, with the
/// given mass, restitution and friction, added to the world as dynamic.
inline HardBody* addBox(PrivateWorld& world, const Mgc::MgcVector3& half, const Mgc::MgcVector3& at, float mass = 1.0f,
                        double restitution = 0.0, double friction = 0.5,
                        const Mgc::MgcMatrix3& R = Mgc::MgcMatrix3::IDENTITY) {
  HardBody* body = createHullBody(boxMesh(half).get());
  body->init(Mgc::MgcVector3(), Mgc::MgcMatrix3::IDENTITY, Mgc::MgcVector3(1.0, 1.0, 1.0));
  body->setOrientation(R);
  body->setPosition(at);
  body->setMass(mass);
  body->setRestitutionCoeff(restitution);
  body->setFrictionCoeff(friction);
  body->activate();
  world.addBody(body, 0);
  return body;
}

/// A side x side x side grid of unit boxes 1.2 apart, the lowest layer 0.1
/// above the ground, each moved sideways by up to 0.05 and turned about the
/// vertical by up to 0.1 rad, drawn from `seed`: the benchmark's pile.
inline void addJitteredPile(PrivateWorld& world, int side, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> offset(-0.05, 0.05);
  std::uniform_real_distribution<double> turn(-0.1, 0.1);
  for (int y = 0; y < side; ++y) {
    for (int z = 0; z < side; ++z) {
      for (int x = 0; x < side; ++x) {
        Mgc::MgcMatrix3 R;
        R.FromAxisAngle(Mgc::MgcVector3(0.0, 1.0, 0.0), turn(random));
        const Mgc::MgcVector3 at(1.2 * x + offset(random), 0.6 + 1.2 * y, 1.2 * z + offset(random));
        addBox(world, Mgc::MgcVector3(0.5, 0.5, 0.5), at, 1.0f, 0.0, 0.5, R);
      }
    }
  }
}

/// A world with ordered extraction on (as the host's solver makes it), no
/// air damping, and `threads` threads for its passes.
inline void prepareWorld(PrivateWorld& world, std::uint32_t threads = 1) {
  world.enableManagerOption();
  world.disableAirDamping();
  world.setThreadCount(threads);
}

/// `steps` host substeps of dt: the collision step, then the advance.
inline void runSteps(PrivateWorld& world, int steps, double dt = kWorldIntegrationStep) {
  for (int i = 0; i < steps; ++i) {
    world.step(dt);
    world.advance(dt, nullptr);
  }
}

}  // namespace zovtest
