// The step's hit processing: hits on fracture bodies become impulses on the
// nearest pieces and joint stress, fracture bodies whose joints broke split,
// and the pairs of a body that split are handed to its parts before the
// pair processing resolves every step pair.
//
// All of it runs on the calling thread, after the contact pass's workers
// have ended, with worker slot 0: the impact walks, the split and the
// counters they keep (cracks, pending deactivations, joint bits) are never
// touched by two threads at once.

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/WorldFlags.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/HardBody.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactKinematics.h"
#include "engine/fracture/FractureBody.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// The worker slot of the hit processing: the calling thread's.
constexpr std::uint32_t kHitWorker = 0;
/// Mode of the hits of the cracker pairs and of the fracture pairs.
constexpr int kCrackerHitMode = 1;
constexpr int kPairHitMode = 0;
/// Restitution of the impulse a hit gives the nearest piece.
constexpr double kHitRestitution = 1.0;
/// The impact measure a hit must pass, per unit of the global stress
/// threshold (at most one unit).
constexpr double kHitLimitScale = 100.0;
/// Secondary cracks need an impact of the first body above
/// sqrt(threshold + 1) + kCrackMargin.
constexpr double kCrackMargin = 10.0;

FractureBody* asFracture(HardBody* body) {
  return body != nullptr && body->getType() == kFractureBody ? static_cast<FractureBody*>(body) : nullptr;
}

/// Makes the list hold `values` in that order, reusing its nodes.
template <typename T>
void refill(EngineList<T>& list, const std::vector<T>& values) {
  list.reserve(static_cast<std::uint32_t>(values.size()));
  list.clear();
  auto* position = list.getHead();
  for (const T& value : values) {
    list.insertAfter(value, position);
    if (position->next == nullptr) break;
    position = position->next;
  }
}

/// The impact measure of a pair: the bodies' energies (the first's alone
/// against a static second body, the largest float against a static one
/// that moves).
double measureImpact(const CollisionPair& pair) {
  HardBody* first = pair.firstBody;
  HardBody* second = pair.secondBody;
  using contactkinematics::energyOf;
  if (second->isStatic()) return second->updateSleepState() ? zov::kMaxFloat : energyOf(*first);
  return energyOf(*first) + energyOf(*second);
}

/// Whether the body is a fracture body that split (in this step: a body
/// that split earlier has left the world's lists).
bool hasSplit(HardBody* body) {
  const FractureBody* compound = asFracture(body);
  return compound != nullptr && compound->isSplitted();
}

/// The parts a body that split left: its fragments, then the bodies it
/// released. A body that did not split stands for itself.
std::vector<HardBody*> partsOf(HardBody* body) {
  FractureBody* compound = asFracture(body);
  if (!hasSplit(body)) return {body};
  std::vector<HardBody*> parts = valuesOf(compound->getChildBodies());
  for (PrivateHardBody* loose : valuesOf(compound->getDisconnectedBodies())) parts.push_back(loose);
  return parts;
}

}  // namespace

void CollisionManager::processHits(const int& mode, const MgcVector3& gravityDirection, EngineList<HardBody*>* active,
                                   EngineList<HardBody*>* statics, std::uint32_t& outFlags) {
  bool hits = false;
  for (CollisionPair* pair : valuesOf(crackerPairs)) {
    secondaryImpacts(pair, kHitWorker, kCrackerHitMode);
    hits = true;
  }
  const auto withFracture = [](const CollisionPair* pair) {
    return asFracture(pair->firstBody) != nullptr || asFracture(pair->secondBody) != nullptr;
  };
  bool anyFracture = false;
  for (auto* node = stepPairs.getFirst(); node != nullptr && !anyFracture; node = node->next) {
    anyFracture = withFracture(node->value);
  }
  // Any step with pairs lets ready bodies split below, also those made
  // ready between steps (joints broken by the host) that touch nothing.
  if (pairCounter != 0) hits = true;
  // Without a fracture body the step's pairs keep their order: the list is
  // left as it is rather than copied out and written back.
  if (pairCounter != 0 && anyFracture) {
    // The pairs with a fracture body, from the highest impact down (equal
    // measures in their order), go last among the step's pairs.
    // Read from the list itself, into a block beyond the sizes the allocator
    // keeps cached for this thread: made every step at a size that follows
    // the pair count, the arrays would leave a block of each size they had
    // waiting there.
    std::vector<CollisionPair*> kept;
    std::vector<CollisionPair*> fracture;
    reserveScratch(kept, stepPairs.getCount());
    for (auto* node = stepPairs.getFirst(); node != nullptr; node = node->next) {
      CollisionPair* pair = node->value;
      (withFracture(pair) ? fracture : kept).push_back(pair);
    }
    for (CollisionPair* pair : fracture) pair->impactMeasure = measureImpact(*pair);
    std::stable_sort(fracture.begin(), fracture.end(), [](const CollisionPair* a, const CollisionPair* b) {
      return a->impactMeasure > b->impactMeasure;
    });
    for (CollisionPair* pair : fracture) secondaryImpacts(pair, kHitWorker, kPairHitMode);
    kept.insert(kept.end(), fracture.begin(), fracture.end());
    refill(stepPairs, kept);
  }
  if (hits) {
    for (EngineList<HardBody*>* list : {active, statics}) {
      if (list == nullptr) continue;
      for (HardBody* body : valuesOf(*list)) {
        FractureBody* compound = asFracture(body);
        if (compound == nullptr || !compound->isSplitReady()) continue;
        compound->removeDeactivatedJointsFromActiveList();
        compound->splitIntoFragments(false);
        if (compound->isStatic() && compound->isSplitted()) outFlags |= kWorldBodyChangeState;
      }
    }
    // Only a pair with a fracture body can hold a body that split.
    if (anyFracture) handOverSplitPairs();
  }
  processPairs(active, mode, gravityDirection, outFlags);
  processCrackerPairs(mode);
}

void CollisionManager::handOverSplitPairs() {
  const auto splitOne = [](const CollisionPair* pair) {
    return hasSplit(pair->firstBody) || hasSplit(pair->secondBody);
  };
  // Looked for in the list itself: a copy made every step, of a size that
  // follows the pair count, would leave a block of each size it had in the
  // allocator's cache for this thread.
  bool anySplit = false;
  for (auto* node = stepPairs.getFirst(); node != nullptr && !anySplit; node = node->next) {
    anySplit = splitOne(node->value);
  }
  if (!anySplit) return;
  const std::vector<CollisionPair*> pairs = valuesOf(stepPairs);
  // A body that split leaves the world after this step: resolved against
  // it, the hit would push nothing that stays. Its parts meet the other
  // body instead, each in a pair of its own from a fresh pair test.
  std::vector<CollisionPair*> handed;
  for (CollisionPair* pair : pairs) {
    if (!splitOne(pair)) {
      handed.push_back(pair);
      continue;
    }
    const std::vector<HardBody*> firsts = partsOf(pair->firstBody);
    const std::vector<HardBody*> seconds = partsOf(pair->secondBody);
    for (HardBody* first : firsts) {
      for (HardBody* second : seconds) {
        for (HardBody* part : {first, second}) {
          HardBody* whole = part == first ? pair->firstBody : pair->secondBody;
          if (part == whole) continue;
          part->setContactLevel(whole->getContactLevel());
          part->setContactStage(whole->getContactStage());
          refreshForPass(part);
        }
        CollisionPair* record = threadBuffer(kHitWorker);
        if (record == nullptr) continue;
        if (testPairOn(record, first, second, kHitWorker) == 0) {
          queueContact(record, kHitWorker);
          continue;
        }
        first->enableInContact();
        second->enableInContact();
        handed.push_back(record);
      }
    }
    queueContact(pair, kHitWorker);
  }
  refill(stepPairs, handed);
  pairCounter = stepPairs.getCount();
}

void CollisionManager::secondaryImpacts(CollisionPair* pair, std::uint32_t worker, int /*mode*/) {
  if (pair == nullptr || pair->contactCount == 0 || pair->firstBody == nullptr || pair->secondBody == nullptr) return;
  const bool firstSide = asFracture(pair->firstBody) != nullptr;
  FractureBody* F = asFracture(firstSide ? pair->firstBody : pair->secondBody);
  if (F == nullptr) return;
  HardBody* otherBody = firstSide ? pair->secondBody : pair->firstBody;
  FractureBody* otherCompound = asFracture(otherBody);
  // The pieces the pair remembers for each side. The other side O is the
  // piece it remembers when the other body is a fracture body too (the body
  // itself when it remembers none): the tests below weigh what struck, not
  // the whole of what it belongs to.
  HardBody* piece = firstSide ? pair->firstPiece : pair->secondPiece;
  HardBody* otherPiece = otherCompound != nullptr ? (firstSide ? pair->secondPiece : pair->firstPiece) : otherBody;
  HardBody* O = otherPiece != nullptr ? otherPiece : otherBody;

  const bool hitF = piece != nullptr && !piece->isStatic() && F->isBreakable();
  const bool hitO =
      otherCompound != nullptr && otherCompound->isBreakable() && otherPiece != nullptr && !otherPiece->isStatic();
  if (!hitF && !hitO) return;

  bool forced = false;
  if (F->isStatic()) {
    if (O->getMass() > F->getMass()) {
      forced = true;
    } else if (O->isStatic()) {
      forced = O->updateSleepState();
    }
  }
  const double threshold = F->getGlobalStressThreshold();
  const double limit = threshold >= 1.0 ? kHitLimitScale : kHitLimitScale * threshold;
  if (!forced && !(pair->impactMeasure > limit)) return;

  if (O->isStatic() && !O->updateSleepState() && F->isSecImpacts()) {
    const double impact = pair->firstBody->getInvMass() * pair->impactMeasure;
    if (impact > std::sqrt(threshold + 1.0) + kCrackMargin && F->checkSecImpactsCond()) F->applySecondaryCracks();
  }

  const RBDynamics& firstState = pair->firstBody->getDyn();
  const auto t = static_cast<int>(worker);
  PrivateHardBody* previous = nullptr;
  for (std::uint32_t i = 0; i < pair->contactCount && i < kMaxPairContacts; ++i) {
    const MgcVector3 w = firstState.orientation * pair->points[i] + firstState.position;
    PrivateHardBody* hit = F->getNearestBody(w);
    if (hit == nullptr || hit == previous) continue;
    previous = hit;
    HardBody* other = otherBody;
    if (otherCompound != nullptr) {
      if (PrivateHardBody* nearest = otherCompound->getNearestBody(w)) other = nearest;
    }
    auto* otherPlain = dynamic_cast<PrivateHardBody*>(other);
    for (PrivateHardBody* body : {hit, otherPlain}) {
      if (body == nullptr) continue;
      if (RBDynamics* slot = body->getWorkerDyn(t)) *slot = body->getDyn();
    }
    // The pair's normals point from the second body towards the first; the
    // impulse wants it from the other body towards the hit piece.
    const MgcVector3 normal = firstSide ? pair->normals[i] : -pair->normals[i];
    const bool approached = applyImpactImpulse(hit, other, w, normal, kHitRestitution, worker, false);
    if (!approached && !forced) continue;
    ImpactHit record;
    record.piece[0] = hit;
    record.compound[0] = F;
    record.hit[0] = hitF;
    record.piece[1] = otherCompound != nullptr ? otherPlain : nullptr;
    record.compound[1] = otherCompound;
    record.hit[1] = hitO && record.piece[1] != nullptr;
    propagateImpacts(record, forced, worker);
  }
}

bool CollisionManager::applyImpactImpulse(PrivateHardBody* piece, HardBody* other, const MgcVector3& point,
                                          const MgcVector3& normal, double restitution, std::uint32_t worker,
                                          bool unbounded) {
  if (piece == nullptr || other == nullptr) return false;
  const auto t = static_cast<int>(worker);
  const RBDynamics* A = piece->getWorkerDyn(t);
  if (A == nullptr) return false;
  auto* otherPlain = dynamic_cast<PrivateHardBody*>(other);
  const RBDynamics* slotB = otherPlain != nullptr ? otherPlain->getWorkerDyn(t) : nullptr;
  const RBDynamics& B = slotB != nullptr ? *slotB : other->getDyn();

  using contactkinematics::coupling;
  using contactkinematics::velocityAt;
  MgcVector3 relative = velocityAt(*A, point);
  if (other->updateSleepState()) relative -= velocityAt(B, point);
  const double vn = relative.Dot(normal);
  if (vn > zov::kTolerance) return false;

  // How much a unit impulse along the normal changes the approach speed.
  const MgcVector3 rA = point - A->position;
  double K = coupling(normal, rA, normal, rA, A->invMass, A->worldInvInertia, 1.0);
  const bool otherMoves = !other->isStatic();
  if (otherMoves) {
    const MgcVector3 rB = point - B.position;
    K += coupling(normal, rB, normal, rB, B.invMass, B.worldInvInertia, 1.0);
  }
  if (!(K > 0.0) || !std::isfinite(K)) return false;
  const double j = (1.0 + restitution) * vn / K;
  MgcVector3 J = normal * -j;
  if (unbounded) J = J * zov::kMaxFloat;
  applyImpulseAtPoint(piece, J, point, t);
  if (otherMoves && otherPlain != nullptr) applyImpulseAtPoint(otherPlain, -J, point, t);
  return true;
}

void CollisionManager::propagateImpacts(const ImpactHit& hit, bool forced, std::uint32_t worker) {
  const auto t = static_cast<int>(worker);
  for (int side = 0; side < 2; ++side) {
    PrivateHardBody* piece = hit.piece[side];
    FractureBody* compound = hit.compound[side];
    if (!hit.hit[side] || piece == nullptr || compound == nullptr) continue;
    // The pass refreshes every piece's slot: the hit piece keeps its hit.
    RBDynamics* slot = piece->getWorkerDyn(t);
    if (slot == nullptr) continue;
    const RBDynamics kept = *slot;
    compound->beginThreadPass(t);
    *slot = kept;
    compound->propagateImpact(piece, forced, t);
  }
}
