// The collision manager's work on pairs found in contact: extraction (the
// position correction that pushes penetrating bodies apart), the energy
// measure, the processing of a colliding pair, of all the step's pairs and of
// the cracker pairs. The dealing of the pairs to lists that run at once is in
// PairDealer.cpp, the upward pass that holds each pile's bodies on their
// supports in PileHolder.cpp, the resting pass, the alignment on crackers and
// the point-mass impact in RestingBodies.cpp; the hit processing of a step is
// in HitProcessing.cpp.

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "engine/EngineTrace.h"
#include "engine/WorldFlags.h"
#include "engine/bodies/HardBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactDepths.h"
#include "engine/collision/ContactKinematics.h"
#include "engine/collision/ContactManifold.h"
#include "engine/collision/PairProcessingCommon.h"
#include "engine/collision/SolverWorkspace.h"
#include "engine/collision/threads/WorkerPool.h"
#include "engine/fracture/FractureBody.h"
#include "engine/solver/ContactBlocks.h"
#include "geometry/VolumeMath.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// Scale of the extraction system: displacements are solved as impulses of
/// a hundredth of the body's momentum units.
constexpr double kExtractionScale = 100.0;
/// A pair whose bodies' masses differ more than this gets no resting-contact
/// stage.
constexpr double kRestingMassRatio = 100.0;
/// A pair whose energy grows by more than this factor is traced.
constexpr double kEnergyGrowthTrace = 3.0;
/// The pair processing's modes: the step's hit processing and the advance's
/// resting contact, once per integration step.
constexpr int kHitMode = 1;
constexpr int kRestingMode = 2;
/// Passes over the pairs per integration step before the upward pass.
constexpr int kPairPasses = 4;
/// Passes over the pairs of loaded bodies after those, at most (enough for
/// a body six times as heavy as the one it overhangs to keep it from tipping
/// from under it, or for a body a hundred times as heavy as the one it lies
/// on to be stopped on it) ...
constexpr int kLoadedPasses = 28;
/// ... ending at the first that changes no body's velocity, or turn rate,
/// by more than this (m/s, rad/s): a few thousandths of what gravity gives a
/// body in an integration step.
constexpr double kSettledChange = 1e-4;
/// What settleLoadedPairs finds under a lighter body: no static body, a
/// static body whose box reaches under its centre, or only static bodies
/// whose boxes end before it (it overhangs an edge).
constexpr std::uint8_t kStandsOnNothing = 0;
constexpr std::uint8_t kStandsOver = 1;
constexpr std::uint8_t kOverhangs = 2;
/// A contact whose normal lies within 75 degrees of the vertical (this
/// cosine) may, with the sides of its body's other supports, wedge it.
constexpr double kWedgeCosine = 0.25881904510252074;

/// The approach speed (m/s) from which a swept pair's contact that strikes
/// within an integration step bounces off. Slower, it is mostly a tile that
/// tips or slides onto the next, or falls onto the tiles and the ground with
/// them, whose bounces at 0.5 to 2 feed each other: tiles thrown off their
/// feet and into each other. A landing that slow is a drop under a third of
/// a metre, which rebounds 3 cm at bounciness 0.3.
constexpr double kBounceSpeed = 2.5;
/// Passes over the pairs that give the struck contacts their bounce: one,
/// since a body struck from above is held by its supports (pickBounces).
constexpr int kBouncePasses = 1;

/// Mass of the body extraction moves, 0 when that body is static.
double extractionMass(HardBody* body) {
  HardBody* moved = pairprocessing::extractedBody(body);
  return moved->isStatic() ? 0.0 : moved->getMass();
}

/// How much a pair's contacts hold one body up on the other: 0 unless both
/// bodies are as slow as the resting pass asks, else the largest share of
/// a contact normal along the gravity direction (0 without gravity). A
/// body still falling or flying is not held: it passes its momentum on.
/// But one that lands on a slow body it loads, lighter than it
/// (pairprocessing::loadsLighterBody), is held on it where that one's
/// supports pin it (PileHolder::holdPiles): the passes, each a share of
/// what it asks, would not stop it there, and extraction, lifting it out
/// step after step, would leave it its speed.
double bearing(const CollisionPair& pair, const MgcVector3& gravityDirection) {
  // A pair that bounced off in the step parts: held, it would give back
  // the bounce.
  if (pair.found.count == 0 || pair.bouncing) return 0.0;
  const MgcVector3& normal = pair.normals[pair.foundSlot(0)];
  const HardBody* landing = nullptr;
  if (pairprocessing::loadsLighterBody(pair, normal, gravityDirection)) {
    landing = -normal.Dot(gravityDirection) > 0.0 ? pair.firstBody : pair.secondBody;
    // The pile holds the body higher in it on the other.
    if (pairprocessing::restingBody(pair, gravityDirection) != landing) landing = nullptr;
  }
  for (const HardBody* body : {pair.firstBody, pair.secondBody}) {
    if (!body->isStatic() && body != landing && !pairprocessing::restsSlowly(*body)) return 0.0;
  }
  double most = 0.0;
  for (std::uint32_t k = 0; k < pair.found.count; ++k) {
    most = std::max(most, std::fabs(pair.normals[pair.foundSlot(k)].Dot(gravityDirection)));
  }
  // Slow bodies touching count, side by side too.
  return std::max(most, std::numeric_limits<double>::min());
}

/// Whether the pair's awake body (the first when `awakeFirst`) meets the
/// other slower than the resting contact speed at every found contact: the
/// other, asleep, stands still, so that is their relative speed.
bool meetsSlowly(const CollisionPair& pair, bool awakeFirst) {
  if (pair.found.count == 0) return false;
  const RBDynamics& state = (awakeFirst ? pair.firstBody : pair.secondBody)->getDyn();
  const MgcVector3* const points = awakeFirst ? pair.points : pair.secondPoints;
  for (std::uint32_t k = 0; k < pair.found.count; ++k) {
    const MgcVector3 arm = state.orientation * points[pair.foundSlot(k)];
    const MgcVector3 v = state.linearVelocity + state.angularVelocity.Cross(arm);
    const double rest = pairprocessing::kRestingContactSpeed;
    if (!(v.SquaredLength() < rest * rest)) return false;
  }
  return true;
}

bool hasJoints(HardBody* body) {
  auto* compound = dynamic_cast<FractureBody*>(body);
  return compound != nullptr && compound->getNActiveJoints() + compound->getNInactiveJoints() != 0;
}

/// Each found contact's depth measured again from the bodies as they stand
/// (its points were found once in the step, the bodies have moved since):
/// how far its point on the first body stands from its point on the second
/// along the normal, negative where they overlap. The solves let a contact
/// that stands apart close its gap.
void measureSeparations(CollisionPair& pair) {
  // The contacts the solves set aside as separating keep their slots, behind
  // the others, with both points: a swept pair's are measured too.
  if (pair.found.count == 0 || (pair.secondCount < pair.found.count && pair.swept == 0)) return;
  // A swept pair whose contacts the last integration step's solves all set
  // aside is measured too when one of its bodies holds still (static or
  // asleep): else the body that moves would close, in each integration step
  // of the substep, the gap it stood apart by at the substep's start, and
  // pass through it into the other. Between two moving bodies the found
  // points slide over each other, and measured along the found normal they
  // would stand apart where the bodies touch.
  const auto holdsStill = [](const HardBody* body) { return body->isStatic() || !body->isActive(); };
  if (pair.secondCount == 0 && !holdsStill(pair.firstBody) && !holdsStill(pair.secondBody)) return;
  const RBDynamics& first = pair.firstBody->getDyn();
  const RBDynamics& second = pair.secondBody->getDyn();
  const MgcMatrix3 turn1 = first.orientation;
  const MgcMatrix3 turn2 = second.orientation;
  const MgcVector3 at1 = first.position;
  const MgcVector3 at2 = second.position;
  const std::uint32_t count = pair.found.count;
  const MgcVector3* const points = pair.points;
  const MgcVector3* const secondPoints = pair.secondPoints;
  const MgcVector3* const normals = pair.normals;
  const std::uint8_t* const index = pair.foundIndex;
  double* const depths = pair.depths;
  double* const foundDepths = pair.found.depths;
  for (std::uint32_t i = 0; i < count; ++i) {
    const double depth = ((turn1 * points[i] + at1) - (turn2 * secondPoints[i] + at2)).Dot(normals[i]);
    depths[i] = depth;
    foundDepths[index[i]] = depth;
  }
}

/// Each found contact's normal speed from the bodies' velocities as they
/// stand (negative: approaching), by found index, into pair.approaches; 0
/// for a contact that touches already. Only a contact that stands apart
/// strikes within the step: one that touches and approaches is pressed by
/// what the bodies meet elsewhere, and bounced off, it would pass the
/// bounce on to them.
void measureApproaches(CollisionPair& pair) {
  const RBDynamics& first = pair.firstBody->getDyn();
  const RBDynamics& second = pair.secondBody->getDyn();
  const bool staticSecond = pair.secondBody->isStatic();
  for (std::uint32_t i = 0; i < pair.found.count; ++i) {
    const MgcVector3 p = first.orientation * pair.points[i] + first.position;
    const MgcVector3 v1 = first.linearVelocity + first.angularVelocity.Cross(p - first.position);
    const MgcVector3 v2 = staticSecond ? pair.staticVelocity(i)
                                       : second.linearVelocity + second.angularVelocity.Cross(p - second.position);
    const bool apart = closingGap(pair.depths[i]) > 0.0;
    pair.approaches[pair.foundIndex[i]] = apart ? (v1 - v2).Dot(pair.normals[i]) : 0.0;
  }
}

/// Which of a swept pair's contacts bounce off in the integration step: those
/// that approached faster than kBounceSpeed before its passes and took a
/// push in them (they struck within the step). Each is given the pair's
/// restitution of its approach as the speed it leaves at, the others none.
bool pickBounces(CollisionPair& pair, const MgcVector3& down) {
  bool any = false;
  double* const speeds = pair.approaches;
  for (std::uint32_t i = 0; i < pair.found.count; ++i) {
    const std::uint32_t k = pair.foundIndex[i];
    const double approach = speeds[k];
    const bool struck = approach < -kBounceSpeed && pair.found.carried[k].Dot(pair.normals[i]) > 0.0;
    speeds[k] = struck ? -pair.restitution * approach : 0.0;
    any = any || struck;
  }
  pair.bouncing = any;
  if (any) {
    // A body struck from above by a body higher in the pile is held up by
    // its supports: the blow bounces off it as off them.
    const double firstBelow = pair.normals[0].Dot(down);
    HardBody* lower = nullptr;
    HardBody* upper = nullptr;
    if (firstBelow > pairprocessing::kSupportCosine) {
      lower = pair.firstBody;
      upper = pair.secondBody;
    } else if (-firstBelow > pairprocessing::kSupportCosine) {
      lower = pair.secondBody;
      upper = pair.firstBody;
    }
    if (lower != nullptr && !lower->isStatic() &&
        (!lower->isActive() || (lower->getContactLevel() > 0 && lower->getContactLevel() < upper->getContactLevel()))) {
      pair.held |= lower == pair.firstBody ? kHeldFirst : kHeldSecond;
    }
  }
  return any;
}

/// A dynamic body put to sleep; one that moves.
bool sleeping(const HardBody* b) { return !b->isActive() && !b->isStatic(); }
bool moving(const HardBody* b) { return b->isActive() && !b->isStatic(); }

/// The sides of the pair the resting passes hold in place: its sleeping
/// bodies, which hold what rests on them or leans on them. A swept body may
/// strike a sleeper through a contact found standing apart, which closes
/// only in these passes, after the hits met it still apart: a sleeper struck
/// faster than a body at rest meets it is not held, so that the impulse
/// wakes it and it takes the blow, rather than stopping the striking body
/// dead as a wall would; struck from above, it is held, since what it rests
/// on takes the blow (its own pairs are not among the step's while it
/// sleeps).
std::uint8_t sleepersHeldAtRest(const CollisionPair& pair, const MgcVector3& gravityDirection) {
  const double firstBelow = pair.found.count != 0 ? pair.normals[pair.foundSlot(0)].Dot(gravityDirection) : 0.0;
  const bool firstHeld =
      sleeping(pair.firstBody) && (pair.swept == 0 || !moving(pair.secondBody) || meetsSlowly(pair, false) ||
                                   firstBelow > pairprocessing::kSupportCosine);
  const bool secondHeld =
      sleeping(pair.secondBody) && (pair.swept == 0 || !moving(pair.firstBody) || meetsSlowly(pair, true) ||
                                    -firstBelow > pairprocessing::kSupportCosine);
  return (firstHeld ? kHeldFirst : 0) | (secondHeld ? kHeldSecond : 0);
}

/// Whether one of the pair's bodies is kRestingMassRatio times as heavy as
/// the other, or more; a piece weighs as its fracture body.
bool massesFarApart(const CollisionPair& pair) {
  const double first = pairprocessing::extractedBody(pair.firstBody)->getMass();
  const double second = pairprocessing::extractedBody(pair.secondBody)->getMass();
  return !(std::max(first, second) < kRestingMassRatio * std::min(first, second));
}

/// Whether, of a pair whose masses differ (pairprocessing::massesDiffer),
/// the lighter body moves into the heavier one, at those of the pair's first
/// `n` contacts that overlap beyond what extraction leaves, faster than the
/// heavier one moves into it, by more than a still contact moves at each of
/// the `n`: then the overlap is the lighter body's doing. `points` are the
/// contacts on the first body; a piece moves with its fracture body.
bool lighterMovesIn(const CollisionPair& pair, std::uint32_t n, const ContactVectors& points) {
  const HardBody* first = pairprocessing::extractedBody(pair.firstBody);
  const HardBody* second = pairprocessing::extractedBody(pair.secondBody);
  const bool firstLighter = first->getMass() < second->getMass();
  const RBDynamics& onSecond = pair.secondBody->getDyn();
  double lighterIn = 0.0;
  double heavierIn = 0.0;
  std::uint32_t overlapping = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    if (!(pair.depths[i] < -(kRestingOverlap + zov::kTolerance))) continue;
    ++overlapping;
    // The normal points from the second body towards the first.
    const MgcVector3 secondPoint = onSecond.orientation * pair.secondPoints[i] + onSecond.position;
    const double firstIn = -contactkinematics::velocityAt(first->getDyn(), points[i]).Dot(pair.normals[i]);
    const double secondIn = contactkinematics::velocityAt(second->getDyn(), secondPoint).Dot(pair.normals[i]);
    lighterIn += firstLighter ? firstIn : secondIn;
    heavierIn += firstLighter ? secondIn : firstIn;
  }
  return overlapping != 0 && lighterIn > heavierIn + pairprocessing::kHeldResidual * n;
}

}  // namespace

bool pairprocessing::overBody(const HardBody& support, const MgcVector3& point, const MgcVector3& down) {
  if (support.getType() == kBarrierBody) return true;
  const HardBodyShape& shape = support.getShape();
  const RBDynamics& state = support.getDyn();
  const MgcVector3 centre = state.orientation * zov::scaledBy(shape.scale, shape.localCenter) + state.position;
  const MgcMatrix3 axes = state.orientation * shape.boxRotation;
  const MgcVector3 half = zov::scaledBy(shape.scale, shape.boxSize) * 0.5;
  const MgcVector3 offset = point - centre;
  // The line point + t down meets each slab of the box over an interval of
  // t; it passes through the box where the three meet.
  double from = -std::numeric_limits<double>::infinity();
  double to = std::numeric_limits<double>::infinity();
  for (int k = 0; k < 3; ++k) {
    const MgcVector3 axis = axes.GetColumn(k);
    const double at = offset.Dot(axis);
    const double along = down.Dot(axis);
    if (std::fabs(along) < zov::kTolerance) {
      if (std::fabs(at) > half[k]) return false;
      continue;
    }
    const double enter = (-half[k] - at) / along;
    const double leave = (half[k] - at) / along;
    from = std::max(from, std::min(enter, leave));
    to = std::min(to, std::max(enter, leave));
    if (from > to) return false;
  }
  return true;
}

// ---- Extraction ------------------------------------------------------------------

bool CollisionManager::extractionMoves(const CollisionPair& pair, bool first) const {
  const HardBody* body = first ? pair.firstBody : pair.secondBody;
  const HardBody* other = first ? pair.secondBody : pair.firstBody;
  if (body == nullptr || other == nullptr || body->isStatic()) return false;
  const std::int32_t level = body->getContactLevel();
  const std::int32_t otherLevel = other->getContactLevel();
  if (pair.contactCount == 0) return level > otherLevel;
  // Where one body lies on the other, the one on top moves and the one
  // underneath holds, whatever their levels when both move: a body that
  // leans on another and also stands on the ground (a fallen domino on the
  // next) has the lower level of the two, and pushing the other down would
  // drive it into its own support, step after step. The normal points from
  // the second body towards the first: along it against gravity, the first
  // lies on the second.
  const double firstAbove = -pair.normals[0].Dot(gravityDirection);
  const bool onTop = std::fabs(firstAbove) > pairprocessing::kSupportCosine;
  if (onTop && (level == otherLevel || (level > 0 && otherLevel > 0))) return first == (firstAbove > 0.0);
  // Of two moving bodies, the levels say only which one the detection
  // reached through the other, not which lies on which. The one higher in
  // the pile moves alone where it lies above the other. Level with it or
  // under it (a box on the ground that leans on one lying on another box),
  // moved alone it is pushed into what holds it, its supports and the
  // bodies beside it, which give it back step after step while the other
  // leans on into it: the two part by their masses.
  if (level > 0 && otherLevel > 0 && level != otherLevel) {
    const double higherAbove = (level > otherLevel) == first ? firstAbove : -firstAbove;
    if (!(higherAbove > 0.0)) return true;
  }
  // Otherwise only the body higher in the pile moves; both, by their
  // masses, when they stand side by side on one level.
  return level >= otherLevel;
}

bool CollisionManager::lighterOverLedge(const CollisionPair& pair) const {
  const HardBody* first = pairprocessing::extractedBody(pair.firstBody);
  const HardBody* second = pairprocessing::extractedBody(pair.secondBody);
  return loadedOverLedge(first->getMass() < second->getMass() ? *first : *second);
}

bool CollisionManager::loadedOverLedge(const HardBody& body) const {
  return std::binary_search(ledgeLoaded.begin(), ledgeLoaded.end(), body.getIdentity());
}

void CollisionManager::extractContacts(CollisionPair* pair) { extractContactsOn(pair, 0); }

void CollisionManager::extractContactsOn(CollisionPair* pair, std::uint32_t worker) {
  if (pair == nullptr || pair->firstBody == nullptr || pair->secondBody == nullptr) return;
  HardBody* A = pair->firstBody;
  HardBody* B = pair->secondBody;
  if (B->getType() == kCrackerBody) return;
  const std::uint32_t n = std::min(pair->contactCount, kMaxPairContacts);
  const RBDynamics& stateA = A->getDyn();
  const RBDynamics& stateB = B->getDyn();
  ContactVectors worldPoints;
  bool penetrates = false;
  for (std::uint32_t i = 0; i < n; ++i) {
    worldPoints[i] = stateA.orientation * pair->points[i] + stateA.position;
    const MgcVector3 onB = stateB.orientation * pair->secondPoints[i] + stateB.position;
    const double d = (worldPoints[i] - onB).Dot(pair->normals[i]);
    pair->depths[i] = d >= -zov::kTolerance ? 0.0 : d;
    // Bodies left kRestingOverlap deep stay as they are, rounding included.
    if (d < -(kRestingOverlap + zov::kTolerance)) penetrates = true;
  }
  if (!penetrates) return;

  // Only the body higher in the pile moves (both, by their masses, when
  // they stand side by side on one level). But a body much heavier than the
  // other is not moved out of it alone where the lighter one moved into it:
  // tipping under it or beside it, the lighter one would shift it for no
  // work (a slab lifted by the rising corner of the cube it overhangs, until
  // it came off its other supports and went with the cube). Nor where the
  // masses lie too far apart for the resting passes to meet. Then the two
  // part by their masses. A heavier body that sinks into a lighter one at
  // rest on its support is moved out alone, as any body on top: parted, the
  // lighter one would be pushed into its own support by more than its own
  // extraction from there takes back, and would rest in it. But a lighter
  // one that overhangs the edge of a static body under the heavier one's
  // load tips into it, however slowly: the two part by their masses there
  // too, or the heavier one would ride its rising corner.
  const bool parted = pairprocessing::massesDiffer(*pair) &&
                      (massesFarApart(*pair) || lighterMovesIn(*pair, n, worldPoints) || lighterOverLedge(*pair));
  const double weightA = parted || extractionMoves(*pair, true) ? extractionMass(A) : 0.0;
  const double weightB = parted || extractionMoves(*pair, false) ? extractionMass(B) : 0.0;
  if (weightA == 0.0 && weightB == 0.0) return;
  HardBody* movedA = weightA != 0.0 ? pairprocessing::extractedBody(A) : nullptr;
  HardBody* movedB = weightB != 0.0 ? pairprocessing::extractedBody(B) : nullptr;
  ContactVectors armsA;
  ContactVectors armsB;
  for (std::uint32_t i = 0; i < n; ++i) {
    // A piece is pushed through its fracture body's centre.
    armsA[i] = A->getParent() != nullptr ? MgcVector3() : worldPoints[i] - stateA.position;
    armsB[i] = B->getParent() != nullptr ? MgcVector3() : worldPoints[i] - stateB.position;
  }
  engineTrace(g_engineTraceStream, " extracting %s %s  %d nPoints\n", A->getShape().name, B->getShape().name,
              static_cast<int>(n));

  SolverWorkspace* workspace = workspaceOf(worker);
  dvec* rhs = nullptr;
  dvec* x = nullptr;
  ContactBlocks* K = nullptr;
  if (workspace == nullptr || !workspace->prepareBlockSystem(n, rhs, x, K)) return;
  for (std::uint32_t i = 0; i < n; ++i) {
    const double push = std::max(0.0, -pair->depths[i] - kRestingOverlap);
    const MgcVector3 target = pair->normals[i] * push;
    for (int r = 0; r < 3; ++r) rhs->elements[3 * i + r] = target[r];
  }
  buildExtractionMatrix(n, movedA, armsA, movedB, armsB, kExtractionScale, K);
  std::uint8_t marks[kMaxPairContacts] = {};
  workspace->solveBlockSystem(n, K, rhs, x, pair->normals, marks);

  // x_i is the push at point i in units of a hundredth: each body moves by
  // the push over its mass and turns by its moment.
  MgcVector3 translationA;
  MgcVector3 rotationA;
  MgcVector3 translationB;
  MgcVector3 rotationB;
  for (std::uint32_t i = 0, kept = 0; i < n; ++i) {
    if (marks[i] != 0) continue;
    const MgcVector3 push =
        MgcVector3(x->elements[3 * kept], x->elements[3 * kept + 1], x->elements[3 * kept + 2]) * kExtractionScale;
    ++kept;
    if (movedA != nullptr) {
      translationA += push * movedA->getInvMass();
      rotationA += armsA[i].Cross(push);
    }
    if (movedB != nullptr) {
      translationB -= push * movedB->getInvMass();
      rotationB -= armsB[i].Cross(push);
    }
  }
  if (movedA != nullptr) movedA->translate(translationA, rotationA);
  if (movedB != nullptr) movedB->translate(translationB, rotationB);
}

// ---- Energy ----------------------------------------------------------------------

double CollisionManager::measurePairEnergy(const CollisionPair& pair, double* terms, MgcVector3* momenta) {
  double linear = 0.0;
  double angular = 0.0;
  MgcVector3 momentum;
  MgcVector3 angularMomentum;
  for (const HardBody* body : {pair.firstBody, pair.secondBody}) {
    if (body == nullptr) continue;
    const RBDynamics& state = body->getDyn();
    const double m = body->getMass();
    linear += m * state.linearVelocity.SquaredLength();
    angular += state.angularVelocity.Dot(state.angularMomentum);
    momentum += state.linearVelocity * m;
    angularMomentum += state.angularMomentum;
  }
  if (terms != nullptr) {
    terms[0] = linear + angular;
    terms[1] = linear;
    terms[2] = angular;
  }
  if (momenta != nullptr) {
    momenta[0] = momentum;
    momenta[1] = angularMomentum;
  }
  return linear + angular;
}

double CollisionManager::pairEnergy(CollisionPair* pair) {
  if (pair == nullptr) return -1.0;
  return measurePairEnergy(*pair, pairEnergyTerms, pairEnergyVectors);
}

// ---- Pair processing ----------------------------------------------------------------

std::uint32_t CollisionManager::pairBodies(const CollisionPair& pair, HardBody** out, std::uint32_t capacity) {
  std::uint32_t count = resolvedBodies(pair, out, capacity);
  const auto add = [&](HardBody* b) {
    if (b == nullptr || count >= capacity) return;
    for (std::uint32_t i = 0; i < count; ++i)
      if (out[i] == b) return;
    out[count++] = b;
  };
  for (HardBody* b : {pair.firstBody, pair.secondBody}) {
    // A static body that a hit may make dynamic is written too.
    if (b != nullptr && b->isStatic() && (b->isFirstHit(false) || b->getType() == kFractureBody)) add(b);
  }
  for (auto* node = pair.manifolds.getFirst(); node != nullptr; node = node->next) {
    const ContactManifold& manifold = *node->value;
    for (std::uint32_t k = 0; k < manifold.pointCount && k < kMaxManifoldPoints; ++k) {
      HardBody* support = manifold.supports[k];
      if (support != nullptr && !support->isStatic()) add(pairprocessing::extractedBody(support));
    }
  }
  return count;
}

std::uint32_t CollisionManager::processPair(CollisionPair* pair, const int& mode, std::uint32_t worker) {
  if (pair == nullptr || pair->firstBody == nullptr || pair->secondBody == nullptr) return 0;
  HardBody* A = pair->firstBody;
  HardBody* B = pair->secondBody;
  // The pair's energy feeds the trace line below only: it is measured when
  // a trace stream is set, since reading both bodies first thing costs every
  // pair a wait on memory.
  const bool traced = g_engineTraceStream != nullptr;
  const double before = traced ? measurePairEnergy(*pair, nullptr, nullptr) : 0.0;
  if (!A->isActive() && !B->isActive()) {
    pair->resultCount = 0;
    return 0;
  }
  std::uint32_t result = 0;
  if (A->isStatic() && A->isFirstHit(false)) {
    A->disableStatic();
    result = kWorldBodyChangeState;
  }
  if (B->isStatic()) {
    if (!A->isActive()) {
      pair->resultCount = 0;
      return result;
    }
    if (B->isFirstHit(false) || (B->getType() == kFractureBody && B->getMass() < A->getMass() && hasJoints(B))) {
      B->disableStatic();
      result = kWorldBodyChangeState;
    }
  }
  double ratio = 1.0;
  if (!B->isStatic()) {
    const double mA = A->getMass();
    const double mB = B->getMass();
    ratio = std::max(mA, mB) / std::min(mA, mB);
  }
  // The systems' scale: the product of the masses the impulses move.
  const double s = (pair->movesFirst() ? A->getMass() : 1.0) * (pair->movesSecond() ? B->getMass() : 1.0);
  const auto hint = static_cast<std::uint32_t>(mode);
  ContactBlocks* K = nullptr;
  resolveCollision(*pair, hint, K, s, orderedExtraction, worker);
  if (ratio < kRestingMassRatio && orderedExtraction != 0 && pair->contactCount != 0) {
    resolveContact(*pair, hint, K, s, worker, true);
  }
  // The arrays were the worker's: another pair's solve on it refills them.
  pair->useSolveArrays(nullptr);
  if (mode == kHitMode && pair->resultCount == 1) pair->resultCount = 0;
  if (mode == kRestingMode && pair->resultCount != 0) pair->resultCount = 2;
  if (traced && measurePairEnergy(*pair, nullptr, nullptr) > kEnergyGrowthTrace * before) {
    engineTrace(g_engineTraceStream, "WARNING : pair %s %s mass %.4f mass %.4f\n", A->getShape().name,
                B->getShape().name, A->getMass(), B->getMass());
  }
  return result;
}

bool CollisionManager::lendApproachRecords(const std::vector<CollisionPair*>& pairs) {
  std::size_t elastic = 0;
  for (const CollisionPair* pair : pairs) elastic += pair->swept != 0 && pair->restitution > 0.0 ? 1 : 0;
  if (elastic == 0) return false;
  approachRecords.resize(elastic);
  std::size_t next = 0;
  for (CollisionPair* pair : pairs) {
    if (pair->swept != 0 && pair->restitution > 0.0) pair->approaches = approachRecords[next++].data();
  }
  return true;
}

void CollisionManager::processPairs(EngineList<HardBody*>* /*active*/, const int& mode,
                                    const MgcVector3& gravityDirection, std::uint32_t& outFlags) {
  if (stepPairs.getCount() == 0) return;
  // The pairs run in list order: the repeated passes below converge from
  // the ground up, and met the other way round a resting stack creeps.
  std::vector<CollisionPair*>& pairs = processedPairs;
  pairs.clear();
  for (auto* node = stepPairs.getFirst(); node != nullptr; node = node->next) pairs.push_back(node->value);
  const bool elastic = mode == kRestingMode && lendApproachRecords(pairs);
  const std::uint32_t helpers = passHelpers();
  // What each pair starts from is its own: the pairs go in any order.
  const auto forEachPair = [&](auto&& fn) {
    forEachIndex(helpers != 0 ? workerPool() : nullptr, helpers, static_cast<std::uint32_t>(pairs.size()),
                 pairprocessing::kPairLoopGrain, [&](std::uint32_t i, std::uint32_t) { fn(*pairs[i]); });
  };
  const PairDealer::PairPreparation prepare = [&](CollisionPair& pair) {
    // The step's hit processing meets the pairs first: their contacts as
    // found. Every processing starts with none carrying an impulse.
    if (mode == kHitMode || pair.found.count == 0) pair.keepFoundContacts();
    for (std::uint32_t k = 0; k < pair.found.count; ++k) pair.found.carried[k] = MgcVector3();
    measureSeparations(pair);
    if (mode == kRestingMode) {
      if (pair.approaches != nullptr) measureApproaches(pair);
      pair.manifolds.clear();
      pair.scratch = 0;
      pair.held = sleepersHeldAtRest(pair, gravityDirection);
    } else if (mode == kHitMode) {
      // A hit wakes a sleeping body, a body that only rests on it or leans
      // on it does not: the sleeper holds as in the resting passes. Else a
      // body that never quite stops on a sleeping support (a slide of a few
      // millimetres a second that it never makes) wakes it every step, and
      // with it the column below, which never sleeps again.
      const bool firstRests = sleeping(pair.firstBody) && moving(pair.secondBody) && meetsSlowly(pair, false);
      const bool secondRests = sleeping(pair.secondBody) && moving(pair.firstBody) && meetsSlowly(pair, true);
      pair.held = (firstRests ? kHeldFirst : 0) | (secondRests ? kHeldSecond : 0);
    }
  };
  if (mode != kRestingMode) {
    forEachPair(prepare);
    if (mode == kHitMode) {
      // Manifolds are the bodies', shared between pairs: in order.
      for (CollisionPair* pair : pairs) maintainManifolds(*pair, gravityDirection);
    }
    runPairPass(pairs, mode, helpers, outFlags);
    forEachPair([](CollisionPair& pair) { pair.held = 0; });
    return;
  }
  // One pass resolves each pair once, so a pair's impulses push the bodies
  // of the pairs resolved before it back into their supports: the passes
  // repeat, each from every contact found, since a contact that separated
  // in one pass may carry load in the next. A pair's preparation writes only
  // the pair, and the dealing's reading of the bodies it writes reads only
  // the pair and its bodies: each pair is prepared just before it is read,
  // in one walk over the pairs.
  dealer.runPasses(pairs, mode, helpers, outFlags, kPairPasses, &prepare);
  settleLoadedPairs(pairs, mode, outFlags);
  // The passes stop every contact that strikes within the step, as if it
  // struck without bouncing. Those of swept pairs that struck fast bounce
  // off in passes of their own, which ask for their bounce and again for no
  // approach at every other contact: what the bounce pushes on takes it on
  // to its supports.
  if (elastic) {
    bool bounces = false;
    for (CollisionPair* pair : pairs) {
      if (pair->approaches != nullptr) bounces = pickBounces(*pair, gravityDirection) || bounces;
    }
    if (bounces) dealer.runPasses(pairs, mode, helpers, outFlags, kBouncePasses);
  }
  // Then each body of a pile, from the ground up, on its supports held as
  // if static (the bodies extraction leaves in place): what the passes left
  // of the load of the bodies above no longer drives the lower ones into
  // their supports, and the pile ends the step at rest.
  std::vector<CollisionPair*> bearing;
  reserveScratch(bearing, pairs.size());
  pickBearingPairs(pairs, gravityDirection, helpers, bearing);
  piles.holdPiles(bearing, mode, outFlags);
  // The holding's arrays are as long as the bearing pairs: between passes
  // only their small storage stays.
  piles.releaseArrays();
  clearScratch(heldUpper);
  forEachPair([](CollisionPair& pair) {
    pair.held = 0;
    pair.approaches = nullptr;
    pair.bouncing = false;
  });
}

// A pass meets the pairs one by one: of a body lying on two supports, the
// pair met first takes the whole of its weight, and a pass only pushes, so
// the weight stays there. A lighter support that only the body's weight
// keeps from tipping (a cube whose centre lies past the ground's edge, under
// a slab) tips as if unloaded, pass after pass, and carries the slab with
// it; and a body many times as heavy as the one it lies on is barely slowed
// by a pass over that pair, so that the step's few passes leave it falling
// into it. The pairs of those bodies pass on until the weight is shared.
// Elsewhere the passes would only repeat what the pile hold, which stops
// each body on all its supports at once, does anyway: a pile of bodies of
// unequal masses would run to the last of them, step after step.
void CollisionManager::settleLoadedPairs(const std::vector<CollisionPair*>& pairs, const int& mode,
                                         std::uint32_t& outFlags) {
  // Of a pair where a body lies on a much lighter one, the two.
  const auto loadedBy = [&](const CollisionPair& pair, HardBody*& upper, HardBody*& lower) {
    if (pair.found.count == 0) return false;
    const MgcVector3& normal = pair.normals[pair.foundSlot(0)];
    if (!pairprocessing::loadsLighterBody(pair, normal, gravityDirection)) return false;
    const bool firstAbove = -normal.Dot(gravityDirection) > 0.0;
    upper = pairprocessing::extractedBody(firstAbove ? pair.firstBody : pair.secondBody);
    lower = pairprocessing::extractedBody(firstAbove ? pair.secondBody : pair.firstBody);
    return true;
  };
  // The lighter bodies lain on, looked up by address (the order of the
  // passes is the pairs'), and of each whether it stands on a static body
  // that does not reach under its centre.
  std::vector<HardBody*>& lighter = loadedLighter;
  std::vector<std::uint8_t>& ledge = lighterOnLedge;
  std::vector<HardBody*>& loading = loadingBodies;
  std::vector<HardBody*>& bodies = loadedBodies;
  std::vector<CollisionPair*>& run = loadedPairs;
  const auto release = [&] {
    clearScratch(lighter);
    clearScratch(ledge);
    clearScratch(loading);
    clearScratch(bodies);
    clearScratch(run);
  };
  lighter.clear();
  ledgeLoaded.clear();
  for (const CollisionPair* pair : pairs) {
    HardBody* upper = nullptr;
    HardBody* lower = nullptr;
    if (loadedBy(*pair, upper, lower)) lighter.push_back(lower);
  }
  if (lighter.empty()) return;
  std::sort(lighter.begin(), lighter.end(), std::less<HardBody*>());
  lighter.erase(std::unique(lighter.begin(), lighter.end()), lighter.end());
  const auto lighterSlot = [&](HardBody* body) -> std::size_t {
    const auto at = std::lower_bound(lighter.begin(), lighter.end(), body, std::less<HardBody*>());
    return at != lighter.end() && *at == body ? static_cast<std::size_t>(at - lighter.begin()) : lighter.size();
  };
  ledge.assign(lighter.size(), kStandsOnNothing);
  for (const CollisionPair* pair : pairs) {
    for (int side = 0; side < 2; ++side) {
      const HardBody* support = side == 0 ? pair->secondBody : pair->firstBody;
      if (!support->isStatic()) continue;
      HardBody* body = pairprocessing::extractedBody(side == 0 ? pair->firstBody : pair->secondBody);
      const std::size_t slot = lighterSlot(body);
      if (slot == lighter.size() || ledge[slot] == kStandsOver) continue;
      ledge[slot] =
          pairprocessing::overBody(*support, body->getDyn().position, gravityDirection) ? kStandsOver : kOverhangs;
    }
  }
  for (std::size_t i = 0; i < lighter.size(); ++i) {
    if (ledge[i] == kOverhangs) ledgeLoaded.push_back(lighter[i]->getIdentity());
  }
  std::sort(ledgeLoaded.begin(), ledgeLoaded.end());
  // The bodies that load a lighter one the passes must hold: many times as
  // heavy as it, or on one that overhangs its static support's edge.
  loading.clear();
  for (const CollisionPair* pair : pairs) {
    HardBody* upper = nullptr;
    HardBody* lower = nullptr;
    if (!loadedBy(*pair, upper, lower)) continue;
    if (upper->getMass() >= pairprocessing::kSlowPassMassRatio * lower->getMass() ||
        ledge[lighterSlot(lower)] == kOverhangs) {
      loading.push_back(upper);
    }
  }
  if (loading.empty()) {
    release();
    return;
  }
  std::sort(loading.begin(), loading.end(), std::less<HardBody*>());
  loading.erase(std::unique(loading.begin(), loading.end()), loading.end());
  // Those bodies and every lighter body they lie on: the weight is shared
  // between all of them.
  bodies.assign(loading.begin(), loading.end());
  for (const CollisionPair* pair : pairs) {
    HardBody* upper = nullptr;
    HardBody* lower = nullptr;
    if (loadedBy(*pair, upper, lower) &&
        std::binary_search(loading.begin(), loading.end(), upper, std::less<HardBody*>())) {
      bodies.push_back(lower);
    }
  }
  std::sort(bodies.begin(), bodies.end(), std::less<HardBody*>());
  bodies.erase(std::unique(bodies.begin(), bodies.end()), bodies.end());
  const auto loaded = [&](HardBody* body) {
    return std::binary_search(bodies.begin(), bodies.end(), pairprocessing::extractedBody(body),
                              std::less<HardBody*>());
  };
  run.clear();
  for (CollisionPair* pair : pairs) {
    if (pair->found.count != 0 && (loaded(pair->firstBody) || loaded(pair->secondBody))) run.push_back(pair);
  }
  for (int pass = 0; pass < kLoadedPasses; ++pass) {
    double change = 0.0;
    for (CollisionPair* pair : run) {
      HardBody* moved[2] = {pairprocessing::extractedBody(pair->firstBody),
                            pairprocessing::extractedBody(pair->secondBody)};
      MgcVector3 before[4];
      for (int k = 0; k < 2; ++k) {
        before[2 * k] = moved[k]->getDyn().linearVelocity;
        before[2 * k + 1] = moved[k]->getDyn().angularVelocity;
      }
      pair->restoreFoundContacts();
      outFlags |= processPair(pair, mode, 0);
      for (int k = 0; k < 2; ++k) {
        change = std::max({change, (moved[k]->getDyn().linearVelocity - before[2 * k]).Length(),
                           (moved[k]->getDyn().angularVelocity - before[2 * k + 1]).Length()});
      }
    }
    if (!(change > kSettledChange)) break;
  }
  release();
}

// A body is held on its supports (the slow bodies lower in the pile it
// touches) when one of them holds it up, by a contact within
// kSupportCosine of the vertical, or when together they may: one leans
// less than kWedgeCosine from the horizontal, so that the others' sides
// may wedge it (a box fallen between boxes, on an edge of one and against
// the faces of two). The pushes of its other supports, from the side,
// hold it with them. A push only from the side holds nothing up.
// Of two bodies of one level, one that lies on the other (a fragment on
// another that also touches the ground) or leans on it, by a contact less
// than kWedgeCosine from the horizontal, is held on it too: a box with
// one corner on the ground and its faces on the edges of two boxes beside
// it stands on all three, not on its corner alone.
void CollisionManager::pickBearingPairs(const std::vector<CollisionPair*>& pairs, const MgcVector3& gravityDirection,
                                        std::uint32_t helpers, std::vector<CollisionPair*>& picked) {
  std::vector<double>& bears = pairBearing;
  bears.resize(pairs.size());
  const auto upperOf = [&](const CollisionPair& pair) { return pairprocessing::restingBody(pair, gravityDirection); };
  std::vector<std::int32_t>& upper = heldUpper;
  reserveScratch(upper, pairs.size());
  upper.resize(pairs.size());
  forEachIndex(helpers != 0 ? workerPool() : nullptr, helpers, static_cast<std::uint32_t>(pairs.size()),
               pairprocessing::kPairLoopGrain, [&](std::uint32_t i, std::uint32_t) {
                 const CollisionPair& pair = *pairs[i];
                 const double holds = bearing(pair, gravityDirection);
                 bears[i] =
                     pair.firstBody->getContactLevel() != pair.secondBody->getContactLevel() || holds > kWedgeCosine
                         ? holds
                         : 0.0;
                 upper[i] = bears[i] > 0.0 ? broadPhase.keptEntry(upperOf(pair)) : -1;
               });
  {
    // The bodies some support holds up or wedges, marked by their numbers,
    // lent only until the pairs are picked (the holding lends its own).
    BodyNumbers numbers(broadPhase);
    std::vector<std::uint8_t> marked;
    reserveScratch(marked, broadPhase.entryCount());
    marked.assign(broadPhase.entryCount(), 0);
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      if (!(bears[i] > 0.0)) continue;
      const std::uint32_t number = numbers.of(upperOf(*pairs[i]), upper[i]);
      upper[i] = static_cast<std::int32_t>(number);
      if (number >= marked.size()) marked.resize(number + 1, 0);
      if (bears[i] > kWedgeCosine) marked[number] = 1;
    }
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      if (bears[i] > 0.0 && marked[static_cast<std::uint32_t>(upper[i])] != 0) picked.push_back(pairs[i]);
    }
    clearScratch(marked);
  }
}

void CollisionManager::runPairPass(const std::vector<CollisionPair*>& pairs, const int& mode, std::uint32_t helpers,
                                   std::uint32_t& outFlags) {
  dealer.processPairsThreaded(pairs, mode, helpers, outFlags);
}

void CollisionManager::dealPairs(const std::vector<CollisionPair*>& pairs, PairDealing& dealing,
                                 std::uint32_t helpers) {
  dealer.dealPairs(pairs, dealing, helpers);
}

void CollisionManager::processCrackerPairs(const int& /*mode*/) {
  const int crackerMode = 1;
  for (auto* node = crackerPairs.getFirst(); node != nullptr; node = node->next) {
    CollisionPair* pair = node->value;
    pair->manifolds.clear();
    pair->scratch = 0;
    if (pair->firstBody != nullptr && pair->firstBody->getParent() != nullptr) {
      pair->resultCount = 0;
      continue;
    }
    processPair(pair, crackerMode, 0);
  }
}
