#pragma once

#include "engine/collision/ContactSet.h"
#include "math/MgcVector3.h"

/// What a solve derives per contact from a pair's contacts and its bodies'
/// current states (lever arms, relative velocities and sliding directions)
/// and the impulses it applies.
/// Every classification makes them anew, so no pair keeps them between
/// passes: each solving thread lends its own set (SolverWorkspace) to the
/// pair it solves.
struct SolveArrays {
  /// Relative velocity of the first body against the second at each contact.
  Mgc::MgcVector3 relativeVelocities[kMaxPairContacts];
  /// Unit direction opposing each contact's sliding, zero when it does not slide.
  Mgc::MgcVector3 tangents[kMaxPairContacts];
  /// Contact point minus each body's position.
  Mgc::MgcVector3 firstArms[kMaxPairContacts];
  Mgc::MgcVector3 secondArms[kMaxPairContacts];
  /// The impulse the last solve applied at each contact (on the first body;
  /// the second takes its opposite).
  Mgc::MgcVector3 impulses[kMaxPairContacts];
};
