#pragma once

// A concrete body for the engine tests, and a driver that runs bodies through
// the world's advance the way the world does, without a world.

#include <cmath>
#include <vector>

#include "engine/bodies/PrivateHardBody.h"
#include "math/Finite.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "math/Tolerances.h"

namespace zovtest {

/// One second of simulated time cut into advances of the named kind.
struct TimeSplit {
  const char* name;
  std::vector<double> advances;
};

/// One second whole, in frames, substeps, world steps and short advances,
/// and in uneven advances.
inline std::vector<TimeSplit> splitsOfOneSecond() {
  const auto equalSplit = [](int count) { return std::vector<double>(count, 1.0 / count); };
  std::vector<double> uneven = {0.25, 0.001, 0.1, 1.0 / 24.0, 0.3, 0.0005};
  double used = 0.0;
  for (double dt : uneven) used += dt;
  uneven.push_back(1.0 - used);
  return {{"one advance", {1.0}},
          {"24 frames", equalSplit(24)},
          {"100 substeps", equalSplit(100)},
          {"300 world steps", equalSplit(300)},
          {"1000 short advances", equalSplit(1000)},
          {"uneven advances", uneven}};
}

/// The rotation by angle (radians) about the axis, which need not be unit.
inline Mgc::MgcMatrix3 rotationAbout(const Mgc::MgcVector3& axis, double angle) {
  Mgc::MgcVector3 unit = axis;
  unit.Unitize(zov::kUnitizeTolerance);
  Mgc::MgcMatrix3 R;
  R.FromAxisAngle(unit, angle);
  return R;
}

/// A solid box of uniform density, its reference point at the box centre.
/// Exposes its states so that tests can set up and inspect them.
class BoxBody : public PrivateHardBody {
 public:
  explicit BoxBody(const Mgc::MgcVector3& boxSize = {1.0, 1.0, 1.0}, eHBodyType bodyKind = kPhantomBody)
      : PrivateHardBody(bodyKind) {
    shape.boxSize = boxSize;
    shape.localRadius = 0.5 * boxSize.Length();
    shape.radius = shape.localRadius;
  }

  void init(const Mgc::MgcVector3& p, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s) override {
    shape.scale = s;
    placeAt(p, R);
    changeLast() = dyn;
    activate();
  }

  void computeInertiaTensor() override {
    const double m = getMass();
    const Mgc::MgcVector3& E = shape.boxSize;
    const Mgc::MgcVector3& s = shape.scale;
    const double a = (s.x * E.x) * (s.x * E.x);
    const double b = (s.y * E.y) * (s.y * E.y);
    const double c = (s.z * E.z) * (s.z * E.z);
    localInertia.MakeDiagonal(m * (b + c) / 12.0, m * (a + c) / 12.0, m * (a + b) / 12.0);
    localInvInertia = localInertia.Inverse(zov::kInertiaInverseTolerance);
    updateInertia();
  }

  void moveCenterOfMass(const Mgc::MgcVector3& worldPoint) override {
    dyn.position = worldPoint;
    changeLast().position = worldPoint;
  }

  RBDynamics& current() { return dyn; }
  RBDynamics& last() { return changeLast(); }
  RBDynamics& initial() { return dynInit; }
};

/// The world's fixed integration step: 1/300 s rounded to single precision.
constexpr double kWorldStep = static_cast<double>(1.0f / 300.0f);

/// One advance of the world over dt for the given bodies: the last states are
/// stored once, then steps of kWorldStep and a remainder step; in each step
/// every active body gets its weight as dynamic force and integrateForces,
/// then integrateMotion.
inline void advanceBodies(const std::vector<HardBody*>& bodies, double dt, const Mgc::MgcVector3& gravity,
                          bool damping) {
  double ratio = dt / kWorldStep;
  int steps = static_cast<int>(ratio);
  double stepTime = kWorldStep;
  if (steps == 0) {
    steps = 1;
    ratio = 1.0;
    stepTime = dt;
  }
  for (HardBody* body : bodies) body->storeLastDynamics();
  for (int i = 0; i <= steps; ++i) {
    if (i == steps) {
      if (ratio == steps) break;
      stepTime = (ratio - steps) * kWorldStep;
    }
    for (HardBody* body : bodies) {
      if (!body->isActive()) continue;
      body->clearDynForces();
      body->clearDynTorques();
      body->addDynForces(gravity * body->getMass());
      body->integrateForces(stepTime, damping);
    }
    for (HardBody* body : bodies)
      if (body->isActive()) body->integrateMotion(stepTime);
  }
}

/// Every value of the state is finite.
inline bool isFiniteState(const RBDynamics& s) {
  const Mgc::Quaternion& q = s.orientationQuat;
  return zov::isFinite(s.position) && zov::isFinite(s.integratedPosition) && zov::isFinite(s.orientation) &&
         std::isfinite(q.W()) && std::isfinite(q.X()) && std::isfinite(q.Y()) && std::isfinite(q.Z()) &&
         zov::isFinite(s.linearVelocity) && zov::isFinite(s.angularVelocity) && zov::isFinite(s.angularMomentum) &&
         std::isfinite(s.invMass) && zov::isFinite(s.worldInertia) && zov::isFinite(s.worldInvInertia);
}

}  // namespace zovtest
