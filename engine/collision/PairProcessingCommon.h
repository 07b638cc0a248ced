// What the pair processing's files share: the rest threshold of the resting
// pass, the grain of its per-pair loops and which body of a pair moves or
// rests.

#pragma once

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
/// Rest thresholds of the resting pass (squared speeds).
inline constexpr float kRestThreshold = 1.0f;
inline constexpr float kSupportRestThreshold = 10.0f;
/// Pairs a thread takes at a time in the per-pair loops of the processing,
/// each a copy of a few contacts.
inline constexpr std::uint32_t kPairLoopGrain = 64;

/// The body an extraction moves for `body`: a piece moves its fracture body.
inline HardBody* extractedBody(HardBody* body) { return body->getParent() != nullptr ? body->getParent() : body; }

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

}  // namespace pairprocessing
