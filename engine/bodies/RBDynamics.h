#pragma once

#include "math/Finite.h"
#include "math/MgcMatrix3.h"
#include "math/MgcQuaternion.h"
#include "math/MgcVector3.h"

/// One body's dynamic state, in world units, seconds and radians. A body keeps
/// several: initial, last, current, a backup of the last and of the current,
/// and one per thread slot. Plain data: copies are member-wise.
struct RBDynamics {
  /// World position of the body's reference point, its centre of mass.
  Mgc::MgcVector3 position;
  /// The position as the last integration (or setPosition) left it; bounds the
  /// extraction moves of `translate`.
  Mgc::MgcVector3 integratedPosition;
  /// Rotation body to world, the body axes in its columns.
  Mgc::MgcMatrix3 orientation;
  /// The same rotation, kept in step with the matrix.
  Mgc::Quaternion orientationQuat{0.0, 0.0, 0.0, 0.0};
  /// The orientation when it was last set or integrated; bounds the turning of
  /// `translate`.
  Mgc::Quaternion referenceQuat{0.0, 0.0, 0.0, 0.0};
  /// World units per second.
  Mgc::MgcVector3 linearVelocity;
  /// Radians per second, world frame.
  Mgc::MgcVector3 angularVelocity;
  /// World frame.
  Mgc::MgcVector3 angularMomentum;
  /// Force accumulated by addDynForces (gravity and the like).
  Mgc::MgcVector3 dynForce;
  /// Torque accumulated by addDynTorques.
  Mgc::MgcVector3 dynTorque;
  /// Force accumulated by applyExternalForce.
  Mgc::MgcVector3 externalForce;
  /// Torque accumulated by applyExternalForce at a point and applyExternalTorque.
  Mgc::MgcVector3 externalTorque;
  /// 1 / mass.
  double invMass = 0.0;
  /// R I R^T.
  Mgc::MgcMatrix3 worldInertia;
  /// R I^-1 R^T.
  Mgc::MgcMatrix3 worldInvInertia;
};

/// Whether the body's pose is finite: position and orientation (matrix and
/// quaternion). The setters refuse non-finite input, so only a fault of the
/// engine's own computations can make it otherwise.
inline bool poseIsFinite(const RBDynamics& d) {
  return zov::isFinite(d.position) && zov::isFinite(d.orientation) && zov::isFinite(d.orientationQuat);
}

/// Whether the pose and the motion (linear and angular velocity, angular
/// momentum) are finite: what integrating a body with a mass leaves. A body
/// whose state was reset to a zeroed record has no mass yet (invMass 0), and
/// its angular values follow from infinite inertia until one is set.
inline bool motionIsFinite(const RBDynamics& d) {
  return poseIsFinite(d) && zov::isFinite(d.linearVelocity) && zov::isFinite(d.angularVelocity) &&
         zov::isFinite(d.angularMomentum);
}
