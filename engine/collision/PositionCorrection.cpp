// The position correction of the step: what overlap extraction left in the
// step's pairs is taken out by moving bodies apart, by positions alone.
//
// Extraction moves a body only within its own last motion, so a body that
// landed deeper than it fell in its last substep, or on an edge it could not
// turn off, keeps the rest of its overlap, and once it rests no step can lift
// it. This pass takes out what is left beyond a slop, a bounded share a
// visit, without touching a velocity or a turn: no pair gains the energy a
// push apart by impulses would give it, and nothing that rests is set moving
// or turned off its supports. The slop stays: bodies that rest on others
// overlap them by up to it, so that the next step's pair test finds them
// touching, however little they part while they settle. Static and sleeping
// bodies hold; of two moving bodies, the one extraction would move moves
// (the one on top, or the one higher in the pile where it lies above the
// other), both by their masses otherwise, and also where two bodies side by
// side stay jammed between the others. The pairs are visited from the
// bottom of each pile up, on the calling thread: the same poses at any
// thread count.

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/bodies/HardBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactDepths.h"
#include "engine/collision/threads/LevelOrder.h"
#include "engine/collision/threads/WorkerPool.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using Mgc::Quaternion;

namespace {

/// Overlap (m) a contact keeps without being corrected: more than the
/// integration step's sinking of a resting body, which extraction takes out,
/// and than a settling body parts from its supports in a substep.
constexpr double kCorrectionSlop = 5e-4;
/// Share of a contact's overlap beyond the slop that one visit takes out:
/// less than all of it, so that the pairs of a pile do not push each other
/// past where they touch.
constexpr double kCorrectionShare = 0.8;
/// Most a body is moved apart from another in one visit (m): a body buried
/// deep comes out over several steps rather than in one jump.
constexpr double kMaxCorrection = 0.0025;
/// A contact whose normal rises less than this sine over the horizontal (15
/// degrees) joins its bodies side by side.
constexpr double kSideBySideSine = 0.25881904510252074;
/// A pair is jammed when, by its next visit, the others have pushed it back
/// in by more than this share of what its visit took out.
constexpr double kJammedShare = 0.5;
/// Visits of the deep pairs a step, at most.
constexpr int kCorrectionPasses = 4;
/// Sweeps over a pair's contacts in one visit.
constexpr int kCorrectionSweeps = 8;
/// Pairs a thread takes at a time while the depths are measured.
constexpr std::uint32_t kMeasureGrain = 64;
/// Rounds of clampSweptMotion at most: a body cut back for one pair may
/// still pass into another through its gap.
constexpr int kClampRounds = 4;
/// How deep (m) a swept body's contact that touched a static body at the
/// start of the step may pass into it by the step's end before its motion is
/// cut back: beyond what the correction takes out in a visit and its slop.
/// The integration moves a point by the mean of the step's linear
/// velocities but turns the body by its turn rate grown by half its change,
/// so a slab whose slap on the ground stops its turn within one integration
/// step drives the edge it turns about into the ground by about that change
/// times its half-length times the step, a centimetre and more, though the
/// contacts there ask for no approach at all.
constexpr double kSweptSinking = 0.004;

/// A body's pose: where it stands and how it is turned.
struct Pose {
  MgcVector3 position;
  MgcMatrix3 orientation;
};

/// The pose a body passes through at `share` of its motion since its last
/// state (0: the last state, 1: as it stands).
Pose poseAlong(const HardBody& body, double share) {
  const RBDynamics& now = body.getDyn();
  if (share >= 1.0) return Pose{now.position, now.orientation};
  const RBDynamics& last = body.getLastDyn();
  Pose pose;
  pose.position = last.position + (now.position - last.position) * share;
  // Along the shorter way round: q and -q are one turn.
  const Quaternion& to = now.orientationQuat;
  const Quaternion from = last.orientationQuat.Dot(to) < 0.0 ? -last.orientationQuat : last.orientationQuat;
  Quaternion q = from + (to - from) * share;
  const double norm = q.Length();
  q = norm > 0.0 ? q / norm : to;
  q.ToRotationMatrix(pose.orientation);
  return pose;
}

/// How far contact i's point on the first body stands from its point on the
/// second along its normal, the bodies at the given poses.
double separationAt(const CollisionPair& pair, std::uint32_t i, const Pose& first, const Pose& second) {
  return ((first.orientation * pair.points[i] + first.position) -
          (second.orientation * pair.secondPoints[i] + second.position))
      .Dot(pair.normals[i]);
}

/// The body that moves for `body`: a piece moves its fracture body.
HardBody* movedBody(HardBody* body) { return body->getParent() != nullptr ? body->getParent() : body; }

/// Whether the pass may move `body`'s moved body: awake and not static.
bool correctable(HardBody* body) {
  const HardBody* moved = movedBody(body);
  return moved->isActive() && !moved->isStatic();
}

/// Whether the pair overlaps beyond the slop and the pass may move one of
/// its bodies. Each pair reads its bodies only.
bool overlapsBeyondSlop(const CollisionManager& manager, const CollisionPair& pair) {
  if (pair.firstBody == nullptr || pair.secondBody == nullptr || pair.contactCount == 0 ||
      pair.secondCount < pair.contactCount || pair.secondBody->getType() == kCrackerBody) {
    return false;
  }
  if (!correctable(pair.firstBody) && !correctable(pair.secondBody)) return false;
  // The depths the pair was found with, before extraction moved its
  // bodies apart: a pair found no deeper than the slop is not measured.
  double found = 0.0;
  for (std::uint32_t k = 0; k < pair.contactCount; ++k) found = std::min(found, pair.depths[k]);
  if (-found <= kCorrectionSlop) return false;
  return manager.deepestOverlap(pair, MgcVector3(), MgcVector3(), nullptr) > kCorrectionSlop;
}

/// The push that parts the pair's contacts, of the given overlaps, by their
/// share beyond the slop, its bodies' inverse masses summing to
/// `inverseMasses`. A push p_k >= 0 along each contact's normal moves each
/// moving body by p_k over its mass (the second the other way), which parts
/// contact j by the pushes' sum along n_j: the pushes, none pulling, by
/// Gauss-Seidel sweeps, summed.
MgcVector3 partingPush(const CollisionPair& pair, const double* overlaps, double inverseMasses) {
  double pushes[kMaxPairContacts];
  double targets[kMaxPairContacts];
  const std::uint32_t count = pair.contactCount;
  for (std::uint32_t k = 0; k < count; ++k) {
    targets[k] = std::min(kCorrectionShare * (overlaps[k] - kCorrectionSlop), kMaxCorrection) / inverseMasses;
    pushes[k] = 0.0;
  }
  for (int sweep = 0; sweep < kCorrectionSweeps; ++sweep) {
    for (std::uint32_t k = 0; k < count; ++k) {
      double parted = 0.0;
      for (std::uint32_t l = 0; l < count; ++l) parted += pushes[l] * pair.normals[k].Dot(pair.normals[l]);
      pushes[k] = std::max(0.0, pushes[k] + targets[k] - parted);
    }
  }
  MgcVector3 push;
  for (std::uint32_t k = 0; k < count; ++k) push += pair.normals[k] * pushes[k];
  return push;
}

}  // namespace

double CollisionManager::deepestOverlap(const CollisionPair& pair, const MgcVector3& firstShift,
                                        const MgcVector3& secondShift, double* overlaps) const {
  const RBDynamics& first = pair.firstBody->getDyn();
  const RBDynamics& second = pair.secondBody->getDyn();
  const MgcVector3 at1 = first.position + firstShift;
  const MgcVector3 at2 = second.position + secondShift;
  const std::uint32_t count = pair.contactCount;
  double deepest = 0.0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const double overlap =
        -((first.orientation * pair.points[i] + at1) - (second.orientation * pair.secondPoints[i] + at2))
             .Dot(pair.normals[i]);
    if (overlaps != nullptr) overlaps[i] = overlap;
    deepest = std::max(deepest, overlap);
  }
  return deepest;
}

void CollisionManager::correctPositions() {
  if (stepPairs.getCount() == 0) return;
  std::vector<CollisionPair*>& pairs = processedPairs;
  pairs.clear();
  for (auto* node = stepPairs.getFirst(); node != nullptr; node = node->next) pairs.push_back(node->value);
  const auto n = static_cast<std::uint32_t>(pairs.size());
  // Which pairs overlap beyond the slop, measured on the helpers: each pair
  // reads its bodies and writes its own answer.
  std::vector<std::uint8_t>& deep = correctedDeep;
  deep.resize(n);
  const std::uint32_t helpers = passHelpers();
  forEachIndex(helpers != 0 ? workerPool() : nullptr, helpers, n, kMeasureGrain,
               [&](std::uint32_t i, std::uint32_t) { deep[i] = overlapsBeyondSlop(*this, *pairs[i]) ? 1 : 0; });
  std::vector<CorrectedPair>& visits = correctedPairs;
  std::vector<CorrectedBody>& bodies = correctedBodies;
  visits.clear();
  bodies.clear();
  // Each moved body's working shift, in the slot its pass slot lends while
  // the pass runs.
  const auto slotOf = [&](HardBody* body) -> std::int32_t {
    HardBody* moved = movedBody(body);
    const std::int32_t lent = moved->getPassSlot();
    if (lent >= 0 && static_cast<std::size_t>(lent) < bodies.size() && bodies[lent].body == moved) return lent;
    bodies.push_back(CorrectedBody{moved, MgcVector3(), moved->getInvMass(), lent});
    moved->setPassSlot(static_cast<std::int32_t>(bodies.size() - 1));
    return moved->getPassSlot();
  };
  for (std::uint32_t i = 0; i < n; ++i) {
    if (deep[i] == 0) continue;
    CollisionPair& pair = *pairs[i];
    // The body extraction would move moves; where that one holds (asleep
    // or static), the other one.
    bool moves[2] = {correctable(pair.firstBody) && extractionMoves(pair, true),
                     correctable(pair.secondBody) && extractionMoves(pair, false)};
    if (!moves[0] && !moves[1]) {
      moves[0] = correctable(pair.firstBody);
      moves[1] = correctable(pair.secondBody);
    }
    // Of two bodies side by side, the one the levels hold yields where the
    // pair is jammed (see below).
    const bool sideBySide =
        gravityDirection.SquaredLength() > 0.0 && std::fabs(pair.normals[0].Dot(gravityDirection)) < kSideBySideSine;
    CorrectedPair visit{&pair, {-1, -1}, {-1, -1}, {-1, -1}, 0, i, 0.0, 0.0};
    for (int side = 0; side < 2; ++side) {
      HardBody* body = side == 0 ? pair.firstBody : pair.secondBody;
      if (!movedBody(body)->isStatic()) visit.shifts[side] = slotOf(body);
      if (moves[side]) {
        visit.moves[side] = visit.shifts[side];
      } else if (sideBySide && correctable(body)) {
        visit.yields[side] = visit.shifts[side];
      }
    }
    // Two pieces of one fracture body move together: nothing parts them.
    if (visit.moves[0] >= 0 && visit.moves[0] == visit.moves[1]) continue;
    if (visit.shifts[0] == visit.shifts[1]) visit.yields[0] = visit.yields[1] = -1;
    visit.level = std::min(pair.firstBody->getContactLevel(), pair.secondBody->getContactLevel());
    visits.push_back(visit);
  }
  // From the bottom of each pile up, so that a body is set on supports
  // already moved out of theirs; pairs of one level in their order.
  orderByLevelThenFirst(
      visits, n, [](const CorrectedPair& v) { return v.level; }, [](const CorrectedPair& v) { return v.index; });

  double overlaps[kMaxPairContacts];
  for (int pass = 0; pass < kCorrectionPasses && !visits.empty(); ++pass) {
    bool corrected = false;
    for (CorrectedPair& visit : visits) {
      const CollisionPair& pair = *visit.pair;
      const auto shiftOf = [&](int side) {
        return visit.shifts[side] >= 0 ? bodies[static_cast<std::size_t>(visit.shifts[side])].shift : MgcVector3();
      };
      const double met = deepestOverlap(pair, shiftOf(0), shiftOf(1), overlaps);
      if (met <= kCorrectionSlop) {
        visit.met = 0.0;
        continue;
      }
      // A pair the visits of its bodies' other neighbours pushed back in by
      // more than half of what its last visit took out is jammed: a body
      // wedged sideways between two that the levels hold (a box lying on
      // others between two that stand on the ground), taken out of one only
      // to be pushed back into the other. The passes stop its contacts but
      // never part them, so what presses on it would drive it in further,
      // step after step: the side neighbour the levels hold yields too, by
      // the masses, from here on.
      if (visit.met > 0.0 && visit.met - met < kJammedShare * (visit.met - visit.left)) {
        for (int side = 0; side < 2; ++side) {
          if (visit.yields[side] < 0) continue;
          visit.moves[side] = visit.yields[side];
          visit.yields[side] = -1;
        }
      }
      double inverseMasses = 0.0;
      for (int side = 0; side < 2; ++side) {
        if (visit.moves[side] >= 0) inverseMasses += bodies[static_cast<std::size_t>(visit.moves[side])].inverseMass;
      }
      if (!(inverseMasses > 0.0)) continue;
      const MgcVector3 push = partingPush(pair, overlaps, inverseMasses);
      for (int side = 0; side < 2; ++side) {
        if (visit.moves[side] < 0) continue;
        CorrectedBody& body = bodies[static_cast<std::size_t>(visit.moves[side])];
        body.shift += push * (side == 0 ? body.inverseMass : -body.inverseMass);
      }
      visit.met = met;
      visit.left = deepestOverlap(pair, shiftOf(0), shiftOf(1), nullptr);
      corrected = true;
    }
    if (!corrected) break;
  }
  for (CorrectedBody& body : bodies) {
    body.body->setPassSlot(body.keptSlot);
    if (body.shift.SquaredLength() > 0.0) body.body->setPosition(body.body->getDyn().position + body.shift);
  }
  clearScratch(visits);
  clearScratch(bodies);
  clearScratch(deep);
}

void CollisionManager::clampSweptMotion() {
  if (stepPairs.getCount() == 0) return;
  std::vector<CollisionPair*>& pairs = processedPairs;
  std::vector<ClampedBody>& bodies = clampedBodies;
  pairs.clear();
  bodies.clear();
  // Each swept body's share of its motion, in the slot its pass slot lends
  // while the pass runs.
  const auto slotOf = [&](HardBody* body) -> std::int32_t {
    const std::int32_t lent = body->getPassSlot();
    if (lent >= 0 && static_cast<std::size_t>(lent) < bodies.size() && bodies[lent].body == body) return lent;
    bodies.push_back(ClampedBody{body, 1.0, lent});
    body->setPassSlot(static_cast<std::int32_t>(bodies.size() - 1));
    return body->getPassSlot();
  };
  const auto sweptSide = [](const CollisionPair& pair, int side) {
    HardBody* body = side == 0 ? pair.firstBody : pair.secondBody;
    const std::uint8_t bit = side == 0 ? kSweptFirst : kSweptSecond;
    return (pair.swept & bit) != 0 && body->getParent() == nullptr && !body->isStatic();
  };
  for (auto* node = stepPairs.getFirst(); node != nullptr; node = node->next) {
    CollisionPair& pair = *node->value;
    // Contacts the solves set aside keep both their points: a pair whose
    // contacts were all set aside is cut back as well.
    if (pair.swept == 0 || pair.found.count == 0) continue;
    if (!sweptSide(pair, 0) && !sweptSide(pair, 1)) continue;
    for (int side = 0; side < 2; ++side) {
      if (sweptSide(pair, side)) slotOf(side == 0 ? pair.firstBody : pair.secondBody);
    }
    pairs.push_back(&pair);
  }
  const auto shareOf = [&](HardBody* body) {
    const std::int32_t slot = body->getPassSlot();
    return slot >= 0 && static_cast<std::size_t>(slot) < bodies.size() && bodies[slot].body == body ? bodies[slot].share
                                                                                                    : 1.0;
  };
  for (int round = 0; round < kClampRounds && !pairs.empty(); ++round) {
    bool cut = false;
    for (CollisionPair* pair : pairs) {
      HardBody* sides[2] = {pair->firstBody, pair->secondBody};
      double shares[2];
      Pose from[2];
      Pose to[2];
      for (int side = 0; side < 2; ++side) {
        const bool swept = sweptSide(*pair, side);
        shares[side] = swept ? shareOf(sides[side]) : 1.0;
        // The swept bodies from their last state, the others as they stand.
        from[side] = poseAlong(*sides[side], swept ? 0.0 : 1.0);
        to[side] = poseAlong(*sides[side], shares[side]);
      }
      // The least share of the way from `from` to `to` at which no contact
      // has passed in too far: one that stood apart, beyond the slop; one
      // that touched a static body, beyond kSweptSinking. Contacts deeper
      // than the slop at the start are the correction's.
      double least = 1.0;
      const std::uint32_t count = std::min(pair->found.count, kMaxPairContacts);
      const bool onStatic = pair->firstBody->isStatic() || pair->secondBody->isStatic();
      for (std::uint32_t i = 0; i < count; ++i) {
        const double start = separationAt(*pair, i, from[0], from[1]);
        const double end = separationAt(*pair, i, to[0], to[1]);
        if (start > kCorrectionSlop) {
          // It stood apart: back to the slop on a static body, to where it
          // touches on a moving one.
          const double allowed = onStatic ? kCorrectionSlop : kRestingOverlap;
          if (end < -kCorrectionSlop) least = std::min(least, (start + allowed) / (start - end));
        } else if (onStatic && end < std::min(start, -kCorrectionSlop) + kCorrectionSlop - kSweptSinking) {
          // It touched a static body: back to the slop. One already in it by
          // the slop or more (the correction's to take out) goes back to
          // where it started.
          least = std::min(least, std::max(0.0, (start + kCorrectionSlop) / (start - end)));
        }
      }
      if (!(least < 1.0)) continue;
      for (int side = 0; side < 2; ++side) {
        if (!sweptSide(*pair, side)) continue;
        bodies[static_cast<std::size_t>(sides[side]->getPassSlot())].share = shares[side] * least;
      }
      cut = true;
    }
    if (!cut) break;
  }
  for (ClampedBody& clamped : bodies) {
    HardBody* body = clamped.body;
    body->setPassSlot(clamped.keptSlot);
    if (!(clamped.share < 1.0)) continue;
    const Pose pose = poseAlong(*body, clamped.share);
    const MgcVector3 spin = body->getDyn().angularVelocity;
    body->setPosition(pose.position);
    body->setOrientation(pose.orientation);
    // The spin stays as the step left it, its momentum for the new turn.
    body->setAngularVelocity(spin);
  }
  pairs.clear();
  clearScratch(bodies);
}
