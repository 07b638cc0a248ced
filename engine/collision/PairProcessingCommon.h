// What the pair processing's files share: the rest threshold of the resting
// pass, the grain of its per-pair loops and which body of a pair moves or
// rests.

#pragma once

#include <cmath>
#include <cstdint>

#include "engine/bodies/HardBody.h"
#include "engine/collision/CollisionPair.h"

namespace pairprocessing {

/// A contact holds a body up when its normal lies within 45 degrees of the
/// gravity direction.
inline constexpr double kSupportCosine = 0.7071067811865476;
/// A body whose every found contact with a sleeping body moves slower than
/// this (m/s) rests on it or against it rather than striking it: about what
/// gravity gives a body in an integration step (9.81 / 300).
inline constexpr double kRestingContactSpeed = 0.03;
/// A contact moving on what it touches slower than this (m/s) is still: a
/// held body whose contact moves faster after the hold has a support that
/// moved, held later or not at all; a much lighter support that moves faster
/// under a body than its others do is not at rest; and a lighter body must
/// move into a heavier one faster than the heavier one moves into it, by
/// more than this, for extraction to part them by their masses.
inline constexpr double kHeldResidual = 1e-3;
/// A body this many times as heavy as another is much heavier: lying on
/// it, it loads it, and the passes meet that load slowly; extraction parts
/// the two by their masses where the lighter one moves into the heavier
/// one, rather than moving the heavier one alone.
inline constexpr double kLoadingMassRatio = 1.5;
/// A body this many times as heavy as the one it lies on is stopped on it
/// only by passes beyond the step's few: a pass over the pair changes the
/// heavier body's motion by about a share 1 / (ratio + 1) of what it asks.
/// Lighter, the pile hold stops it (a tower of cubes alternating 1 and 50
/// stands and sleeps without the passes), and in a pile of boxes of unequal
/// sizes the passes would run over many pairs, step after step, for nothing.
inline constexpr double kSlowPassMassRatio = 30.0;
/// Rest thresholds of the resting pass (squared speeds).
inline constexpr float kRestThreshold = 1.0f;
inline constexpr float kSupportRestThreshold = 10.0f;
/// Pairs a thread takes at a time in the per-pair loops of the processing,
/// each a copy of a few contacts.
inline constexpr std::uint32_t kPairLoopGrain = 64;

/// The body an extraction moves for `body`: a piece moves its fracture body.
inline HardBody* extractedBody(HardBody* body) { return body->getParent() != nullptr ? body->getParent() : body; }

/// Whether the vertical through `point` (along `down`) passes through the
/// box of `support`; a barrier extends everywhere.
bool overBody(const HardBody& support, const Mgc::MgcVector3& point, const Mgc::MgcVector3& down);

/// The body of the pair that rests on the other: the one higher in the
/// pile, or, of two of one level, the one on top (the normal points from
/// the second body towards the first).
inline HardBody* restingBody(const CollisionPair& pair, const Mgc::MgcVector3& gravityDirection) {
  const std::int32_t first = pair.firstBody->getContactLevel();
  const std::int32_t second = pair.secondBody->getContactLevel();
  if (first != second) return first > second ? pair.firstBody : pair.secondBody;
  const Mgc::MgcVector3& normal = pair.normals[pair.found.count != 0 ? pair.foundSlot(0) : 0];
  return -normal.Dot(gravityDirection) > 0.0 ? pair.firstBody : pair.secondBody;
}

/// Whether the body moves slowly enough for the resting pass to hold it on
/// what it rests on: its speed and turn rate both under the rest threshold.
inline bool restsSlowly(const HardBody& body) {
  const RBDynamics& state = body.getDyn();
  const double slow = static_cast<double>(kRestThreshold);
  return state.linearVelocity.SquaredLength() < slow && state.angularVelocity.SquaredLength() < slow;
}

/// Whether one of the pair's bodies, both awake, is kLoadingMassRatio times
/// as heavy as the other; a piece weighs as its fracture body.
inline bool massesDiffer(const CollisionPair& pair) {
  const HardBody* first = extractedBody(pair.firstBody);
  const HardBody* second = extractedBody(pair.secondBody);
  if (first->isStatic() || second->isStatic() || !first->isActive() || !second->isActive()) return false;
  return first->getMass() > kLoadingMassRatio * second->getMass() ||
         second->getMass() > kLoadingMassRatio * first->getMass();
}

/// Whether, of a pair whose `normal` (from the second body towards the
/// first) lies within kSupportCosine of the vertical, the body on top is
/// kLoadingMassRatio times as heavy as the one under it, both dynamic; a
/// piece weighs as its fracture body.
inline bool loadsLighterBody(const CollisionPair& pair, const Mgc::MgcVector3& normal,
                             const Mgc::MgcVector3& gravityDirection) {
  const double firstAbove = -normal.Dot(gravityDirection);
  if (!(std::fabs(firstAbove) > kSupportCosine)) return false;
  const HardBody* upper = extractedBody(firstAbove > 0.0 ? pair.firstBody : pair.secondBody);
  const HardBody* lower = extractedBody(firstAbove > 0.0 ? pair.secondBody : pair.firstBody);
  if (upper->isStatic() || lower->isStatic()) return false;
  return upper->getMass() > kLoadingMassRatio * lower->getMass();
}

}  // namespace pairprocessing
