#pragma once

// Small kinematic helpers of the contact solver, on bodies' current states.

#include "engine/bodies/HardBody.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "math/Tolerances.h"

namespace contactkinematics {

/// Velocity of a rigid state at the world point p.
inline Mgc::MgcVector3 velocityAt(const RBDynamics& state, const Mgc::MgcVector3& p) {
  return state.angularVelocity.Cross(p - state.position) + state.linearVelocity;
}

/// The energy measure of HardBody::computeEnergy (m v.v + L.w, kMaxFloat for
/// a static body), computed without storing anything in the body, so that
/// threads sharing a body may ask at once.
inline double energyOf(const HardBody& body) {
  if (body.isStatic()) return zov::kMaxFloat;
  const RBDynamics& state = body.getDyn();
  return state.linearVelocity.Dot(state.linearVelocity) / state.invMass +
         state.angularMomentum.Dot(state.angularVelocity);
}

/// How an impulse along nl at the lever arm rl changes the velocity along nk
/// at the lever arm rk of one body, scaled by s: s (nk . nl / m - nk . (rk x
/// (I^-1 (rl x nl)))), the entry nk . ((s/m) I - [rk] s I^-1 [rl]) nl.
inline double coupling(const Mgc::MgcVector3& nk, const Mgc::MgcVector3& rk, const Mgc::MgcVector3& nl,
                       const Mgc::MgcVector3& rl, double invMass, const Mgc::MgcMatrix3& invInertia, double s) {
  return s * (invMass * nk.Dot(nl) - nk.Dot(rk.Cross(invInertia * rl.Cross(nl))));
}

}  // namespace contactkinematics
