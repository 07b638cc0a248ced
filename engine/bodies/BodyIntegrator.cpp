#include "engine/bodies/BodyIntegrator.h"

#include <cmath>

#include "engine/bodies/AirDamping.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;
using Mgc::Quaternion;

bool BodyIntegrator::integrateForces(RBDynamics& dyn, double dt, bool damping, double linearDamping,
                                     double angularDamping) {
  if (!(dt >= 0.0) || !std::isfinite(dt)) return false;
  stepStartVelocity = dyn.linearVelocity;
  stepStartMomentum = dyn.angularMomentum;
  hasStepStart = true;

  DampingFactors& factors = dampingFactors;
  if (damping &&
      !(dt == factors.dt && linearDamping == factors.linearCoeff && angularDamping == factors.angularCoeff)) {
    factors = {dt, linearDamping, angularDamping, airdamping::factor(linearDamping, dt),
               airdamping::factor(angularDamping, dt)};
  }
  dyn.linearVelocity += dyn.dynForce * (dt * dyn.invMass);
  dyn.linearVelocity += dyn.externalForce * (dt * dyn.invMass);
  if (damping) dyn.linearVelocity = airdamping::damped(dyn.linearVelocity, factors.linear);
  dyn.angularMomentum += dyn.dynTorque * dt;
  dyn.angularMomentum += dyn.externalTorque * dt;
  if (damping) dyn.angularMomentum = airdamping::damped(dyn.angularMomentum, factors.angular);
  dyn.angularVelocity = dyn.worldInvInertia * dyn.angularMomentum;
  return true;
}

bool BodyIntegrator::integrateMotion(RBDynamics& dyn, const Quaternion& lastQuat, double dt) {
  const bool moves = dt > 0.0 && std::isfinite(dt);
  if (moves) {
    // Without integrateForces in this step the velocities did not change.
    const MgcVector3& startVelocity = hasStepStart ? stepStartVelocity : dyn.linearVelocity;
    const MgcVector3& startMomentum = hasStepStart ? stepStartMomentum : dyn.angularMomentum;
    const MgcVector3& w = dyn.angularVelocity;
    const MgcVector3& L = dyn.angularMomentum;

    dyn.position += (startVelocity + dyn.linearVelocity) * (dt / 2.0);

    const MgcVector3 torque = (L - startMomentum) / dt;
    const MgcVector3 alpha = dyn.worldInvInertia * (torque + L.Cross(w));
    const MgcVector3 rate = w + alpha * (dt / 2.0) + alpha.Cross(w) * (dt * dt / 12.0);
    const double speed = rate.Length();
    if (speed > zov::kTolerance) {
      const double angle = speed * dt;
      const Quaternion turned = Quaternion(rate * dt / angle, angle) * dyn.orientationQuat;
      const double norm = turned.Length();
      if (norm > 0.0 && std::isfinite(norm)) {
        Quaternion q = turned / norm;
        // Stay in the last state's hemisphere, which the bounds of the
        // extraction moves compare against.
        if (q.Dot(lastQuat) < -zov::kTolerance) q = -q;
        dyn.orientationQuat = q;
        q.ToRotationMatrix(dyn.orientation);
      }
    }
  }
  hasStepStart = false;
  dyn.integratedPosition = dyn.position;
  dyn.referenceQuat = dyn.orientationQuat;
  return moves;
}
