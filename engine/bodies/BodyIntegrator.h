#pragma once

#include "engine/bodies/RBDynamics.h"
#include "math/MgcQuaternion.h"
#include "math/MgcVector3.h"

/// The integration of one body's dynamic state over the world's steps, the
/// same for rigid bodies and fracture bodies: forces into velocities with air
/// damping, then positions by the mean of the step's start and end velocity
/// and the orientation turned by the step's mean angular rate.
///
/// A step is integrateForces then integrateMotion over the same dt. The steps
/// of one advance share one last state, so the integrator keeps the
/// velocities its own step started from; it also keeps the damping factors of
/// the last step length, the dearest part of a step, which the steps of an
/// advance share.
class BodyIntegrator {
 public:
  /// v += dt (dynamic force + external force) / m, then L += dt (dynamic
  /// torque + external torque); with `damping` each is then multiplied by
  /// (1 - c)^(100 dt) of its coefficient (fractions lost per 1/100 s, so the
  /// decay does not depend on the step length); w = world I^-1 L. Forces and
  /// torques stay. False, with nothing changed, for a negative or non-finite
  /// dt.
  bool integrateForces(RBDynamics& dyn, double dt, bool damping, double linearDamping, double angularDamping);

  /// Moves the pose over dt: the position by the mean of the step's start and
  /// end velocity (exact under constant force), the orientation by the mean
  /// angular rate of the step (w, half the step's change from its torque and
  /// the gyroscopic term L x w, and a second-order correction for the rate
  /// turning meanwhile), normalised and kept in the hemisphere of `lastQuat`.
  /// The integrated position and the reference quaternion then take the pose.
  /// The world tensors and w are left to the body's updateInertia. Returns
  /// whether the pose could move: false for a dt that is not positive and
  /// finite, when only the integrated position and reference quaternion are
  /// taken.
  bool integrateMotion(RBDynamics& dyn, const Mgc::Quaternion& lastQuat, double dt);

  /// Forgets the velocities of the step's start: a motion step with no forces
  /// step before it starts from the current velocities. Run whenever the
  /// state is set anew (activation, restore, rollback, reset).
  void forgetStepStart() { hasStepStart = false; }

 private:
  Mgc::MgcVector3 stepStartVelocity;
  Mgc::MgcVector3 stepStartMomentum;
  bool hasStepStart = false;

  // The damping factors (1 - c)^(100 dt) of the last damped step, with the
  // step length and coefficients they were made for.
  struct DampingFactors {
    double dt = -1.0;  // no step has a negative length
    double linearCoeff = 0.0, angularCoeff = 0.0;
    double linear = 1.0, angular = 1.0;
  };
  DampingFactors dampingFactors;
};
