// The contact resolver's impulses: a collision's over the full impulse
// vectors of its contacts, with the friction cone and the friction back-off,
// and resting contact's over the normal impulses, coupled with the contact
// manifolds linked to the pair.

#include "engine/collision/ContactResolver.h"

#include <cmath>

#include "engine/bodies/HardBody.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactManifold.h"
#include "engine/collision/ContactSolver.h"
#include "engine/collision/SolverWorkspace.h"
#include "engine/solver/ContactBlocks.h"
#include "engine/solver/Lsqr.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// The friction back-off scales friction by this factor per try ...
constexpr double kBackoffFactor = 0.8;
/// ... down to this factor (a single-precision 0.4) ...
constexpr double kBackoffFloor = static_cast<double>(0.4f);
/// ... below which the largest factor that does not turn the sliding round
/// is found by this many halvings (to 0.4 / 2^12, about 1e-4).
constexpr int kBackoffHalvings = 12;
/// Relative rounding allowed in the energy balance of a collision.
constexpr double kEnergyRounding = 1e-12;

/// The unit direction opposing the tangential part of u, or zero when that
/// part is not longer than 1e-5. Inlined, so that u and the result stay in
/// registers: through memory, the callers' copies of them wait on stores
/// that a wide load cannot take its data from.
[[gnu::always_inline]] inline MgcVector3 opposingTangent(const MgcVector3& u, const MgcVector3& n) {
  MgcVector3 t = u - n * u.Dot(n);
  const double squared = t.SquaredLength();
  if (squared <= ContactResolver::kStillSquared) return MgcVector3();
  return t * (-1.0 / std::sqrt(squared));
}

void zeroVector(dvec* v) {
  for (std::uint32_t i = 0; i < v->length; ++i) v->elements[i] = 0.0;
}

/// The identity in the matrix's current size, but for the leading `skip` x
/// `skip` block, which the caller writes whole.
void setIdentity(dmat* matrix, std::uint32_t skip = 0) {
  // A matrix the caller writes whole is left to it.
  if (skip >= matrix->rows && skip >= matrix->columns) return;
  for (std::uint32_t r = 0; r < matrix->rows; ++r) {
    dvec row = getMatrixRow(matrix, r);
    for (std::uint32_t c = r < skip ? skip : 0; c < row.length; ++c) row.elements[c] = r == c ? 1.0 : 0.0;
  }
}

/// Velocity changes of the pair's bodies from impulses, without touching the
/// bodies: the trial states of the friction back-off. Which bodies move is
/// read once: it holds while the pair is solved.
struct TrialMotion {
  explicit TrialMotion(const CollisionPair& pair) : first(pair.movesFirst()), second(pair.movesSecond()) {}

  bool first;
  bool second;
  MgcVector3 linear1;
  MgcVector3 momentum1;
  MgcVector3 linear2;
  MgcVector3 momentum2;

  void add(const CollisionPair& pair, std::uint32_t i, const MgcVector3& J) {
    if (first) {
      linear1 += J * pair.firstBody->getInvMass();
      momentum1 += pair.firstArms[i].Cross(J);
    }
    if (second) {
      linear2 -= J * pair.secondBody->getInvMass();
      momentum2 -= pair.secondArms[i].Cross(J);
    }
  }
  /// The kinetic energy the pair's bodies would gain (negative: lose) with
  /// these changes; a static or held body counts for nothing.
  double energyGain(const CollisionPair& pair) const {
    double gain = first ? gainOf(*pair.firstBody, linear1, momentum1) : 0.0;
    if (second) gain += gainOf(*pair.secondBody, linear2, momentum2);
    return gain;
  }
  /// The changes of the bodies' angular velocities, made once for every
  /// contact's relativeChange.
  struct Spins {
    MgcVector3 spin1;
    MgcVector3 spin2;
  };
  Spins spins(const CollisionPair& pair) const {
    Spins out;
    if (first) out.spin1 = pair.firstBody->getDyn().worldInvInertia * momentum1;
    if (second) out.spin2 = pair.secondBody->getDyn().worldInvInertia * momentum2;
    return out;
  }
  /// The change of the relative velocity at contact i.
  MgcVector3 relativeChange(const CollisionPair& pair, std::uint32_t i, const Spins& spins) const {
    MgcVector3 change;
    if (first) change += linear1 + spins.spin1.Cross(pair.firstArms[i]);
    if (second) change -= linear2 + spins.spin2.Cross(pair.secondArms[i]);
    return change;
  }

 private:
  static double gainOf(const HardBody& body, const MgcVector3& dv, const MgcVector3& dL) {
    const RBDynamics& state = body.getDyn();
    const MgcVector3 v = state.linearVelocity + dv;
    const MgcVector3 L = state.angularMomentum + dL;
    const double linear = v.SquaredLength() - state.linearVelocity.SquaredLength();
    const double angular =
        L.Dot(state.worldInvInertia * L) - state.angularMomentum.Dot(state.worldInvInertia * state.angularMomentum);
    return 0.5 * (linear / state.invMass + angular);
  }
};

/// The impulse contact i has carried so far in the running pair processing.
MgcVector3 carriedBy(const CollisionPair& pair, std::uint32_t i) {
  const std::uint32_t k = pair.foundIndex[i];
  return k < pair.found.count ? pair.found.carried[k] : MgcVector3();
}

/// Marks the manifolds linked to the pair as counted into a solve and
/// returns their rows.
std::uint32_t countManifoldRows(CollisionPair& pair) {
  std::uint32_t rows = 0;
  for (auto* node = pair.manifolds.getFirst(); node != nullptr; node = node->next) {
    node->value->flags |= kManifoldCurrent;
    rows += node->value->pointCount;
  }
  pair.manifoldRows = rows;
  return rows;
}

/// The rows of the pair's linked manifolds from `offset` on: right-hand
/// sides, diagonal blocks, the coupling with the pair's contact rows (when
/// `withPair`) and between every two manifolds.
void fillManifoldRows(const CollisionPair& pair, double s, dvec* rhs, dmat* matrix, std::uint32_t offset,
                      bool withPair) {
  std::uint32_t at = offset;
  for (auto* node = pair.manifolds.getFirst(); node != nullptr; node = node->next) {
    const ContactManifold& manifold = *node->value;
    ContactSolver::applyImpulses(manifold, s, rhs, at);
    ContactSolver::resolveList(manifold, s, matrix, at);
    if (withPair) ContactSolver::resolvePair(manifold, pair, s, matrix, 0, at);
    std::uint32_t laterAt = at + manifold.pointCount;
    for (auto* later = node->next; later != nullptr; later = later->next) {
      ContactSolver::resolveGroup(manifold, *later->value, s, matrix, at, laterAt);
      laterAt += later->value->pointCount;
    }
    at += manifold.pointCount;
  }
}

/// Applies the manifolds' impulses from a compacted solution: each
/// manifold's rows from `rowStart` on were judged by `marks`, its kept rows
/// read in turn from `offset`.
void applyManifoldRows(CollisionPair& pair, const std::uint8_t* marks, const dvec* x, std::uint32_t offset) {
  std::uint32_t rowStart = 0;
  for (auto* node = pair.manifolds.getFirst(); node != nullptr; node = node->next) {
    ContactManifold& manifold = *node->value;
    const std::uint32_t rows = manifold.pointCount;
    const std::uint32_t kept = manifold.countUnmarked(marks + rowStart);
    if (kept != 0) ContactSolver::bodyPass(manifold, x, offset);
    offset += kept;
    rowStart += rows;
  }
}

}  // namespace

// ---- Collision -----------------------------------------------------------------

bool ContactResolver::lendSolveArrays(CollisionPair& pair, const Worker& worker) {
  SolverWorkspace* workspace = worker.workspace;
  if (workspace == nullptr) return false;
  SolveArrays& arrays = workspace->solveArrays();
  if (pair.firstArms != arrays.firstArms) pair.useSolveArrays(&arrays);
  return true;
}

void ContactResolver::resolveCollision(CollisionPair& pair, std::uint32_t hint, ContactBlocks*& K, double s,
                                       std::uint8_t manifoldOption, const Worker& worker) {
  K = nullptr;
  if (pair.firstBody == nullptr || pair.secondBody == nullptr || pair.contactCount == 0) return;
  if (!lendSolveArrays(pair, worker)) return;
  classifyContacts(pair, hint, worker.closingRate);
  if (pair.status == kContactNone) return;
  removeSeparatingContacts(pair);
  removeDuplicateContacts(pair);
  removeOpposingContacts(pair);
  if (pair.contactCount == 0) return;
  countManifoldRows(pair);
  solveCollisionImpulses(pair, hint, K, s, worker);
  if (hint == kContactColliding && manifoldOption != 0) resolveRestingGroup(pair, s, worker);
}

void ContactResolver::solveCollisionImpulses(CollisionPair& pair, std::uint32_t hint, ContactBlocks*& K, double s,
                                             const Worker& worker) {
  SolverWorkspace* workspace = worker.workspace;
  if (workspace == nullptr) return;
  dvec* b = nullptr;
  dvec* x = nullptr;
  const double e = hint == kContactResting ? 0.0 : pair.restitution;
  // K J = b over the pair's contacts: the impulses that stop every contact
  // sliding and return e of its approach along the normal (no change for a
  // contact that does not approach). The blocks are made once: a second
  // set-up on the same contacts takes them all in again.
  const auto setUp = [&](bool build) {
    if (!workspace->prepareBlockSystem(pair.contactCount, b, x, K)) return false;
    zeroVector(b);
    for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
      const MgcVector3& u = pair.relativeVelocities[i];
      const MgcVector3& n = pair.normals[i];
      const MgcVector3 target = (u + n * (e * u.Dot(n))) * -s;
      if (target.Dot(n) <= zov::kTolerance) continue;
      for (int r = 0; r < 3; ++r) b->elements[3 * i + r] = target[r];
    }
    if (build) {
      buildCollisionMatrix(pair, s, K);
    } else {
      K->restore();
    }
    return true;
  };
  K = nullptr;
  if (!setUp(true)) return;

  // The sticking solution: contacts that could only stick by pulling are
  // taken out and the rest solved again; the system ends cut down to the
  // contacts kept, in order.
  const std::uint32_t n = pair.contactCount;
  std::uint8_t pulling[kMaxPairContacts] = {};
  workspace->solveBlockSystem(n, K, b, x, pair.normals, pulling);
  ContactVectors sticking;
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    if (pulling[i] != 0) {
      sticking[i] = MgcVector3();
      continue;
    }
    sticking[i] = MgcVector3(x->elements[3 * kept], x->elements[3 * kept + 1], x->elements[3 * kept + 2]);
    ++kept;
  }

  ResolutionCounters& counters = slotCounters[worker.slot < kThreadSlotCount ? worker.slot : 0];
  // With every contact pulling nothing would stop the approach: the
  // back-off decides.
  bool insideCones = kept != 0;
  for (std::uint32_t i = 0; i < n && insideCones; ++i) {
    if (pulling[i] != 0) continue;
    const MgcVector3 total = sticking[i] + carriedBy(pair, i);
    const double normal = total.Dot(pair.normals[i]);
    insideCones = (total - pair.normals[i] * normal).Length() <= normal * pair.friction;
  }
  if (insideCones) {
    // Sticking contacts that return part of their approach can, through the
    // bodies' turning, hand out more energy than the approach brought: such
    // impulses go to the back-off, whose impulses oppose the sliding.
    TrialMotion trial(pair);
    const double inverseMasses =
        (trial.first ? pair.firstBody->getInvMass() : 0.0) + (trial.second ? pair.secondBody->getInvMass() : 0.0);
    double scale = 0.0;
    for (std::uint32_t i = 0; i < n; ++i) {
      trial.add(pair, i, sticking[i]);
      scale += sticking[i].SquaredLength() * inverseMasses;
    }
    insideCones = trial.energyGain(pair) <= kEnergyRounding * scale;
  }
  if (insideCones) {
    for (std::uint32_t i = 0; i < n; ++i) {
      const MgcVector3& J = sticking[i];
      // Every impulse counts, however small: the impulses that hold a
      // resting body, or correct it in a later pass, are small ones.
      if (pulling[i] == 0 && J.SquaredLength() > 0.0) {
        pair.impulses[i] = J;
        applyContactImpulse(pair, i, J);
      } else {
        pair.impulses[i] = MgcVector3();
      }
    }
    ++counters.withinCone;
    pair.backedOff = 0;
    compactContacts(pair, pulling);
    return;
  }
  // A contact that had to pull to stick may well push while the bodies
  // slide: the back-off works on every contact of the pair again.
  if (kept != n && !setUp(false)) return;
  backOffFriction(pair, K, b, x, worker);
}

void ContactResolver::backOffFriction(CollisionPair& pair, ContactBlocks* K, dvec* b, dvec* x, const Worker& worker) {
  SolverWorkspace* workspace = worker.workspace;
  if (workspace == nullptr) return;
  ResolutionCounters& counters = slotCounters[worker.slot < kThreadSlotCount ? worker.slot : 0];
  const std::uint32_t n = pair.contactCount;
  // The tangents are the back-off's alone: made here, from the relative
  // velocities of the classification.
  for (std::uint32_t i = 0; i < n; ++i) pair.tangents[i] = opposingTangent(pair.relativeVelocities[i], pair.normals[i]);
  ContactVectors impulses;
  std::uint8_t negative[kMaxPairContacts] = {};
  // Impulses along n + f mu t, their magnitudes from the normal rows of the
  // system; true when the friction would turn a contact's sliding round.
  const auto tryFactor = [&](double f) {
    dvec* normalRhs = nullptr;
    dvec* lambda = nullptr;
    dmat* N = nullptr;
    std::uint8_t* bytes = nullptr;
    for (std::uint32_t i = 0; i < n; ++i) impulses[i] = MgcVector3();
    if (!workspace->prepareScalarSystem(n, normalRhs, lambda, N, bytes)) return false;
    // The normal rows of K J = b: the right-hand side is the normal part of
    // b, a velocity change like the rest of the row.
    normalComponents(pair, b, normalRhs);
    frictionNormalMatrix(pair, K, f, N);
    workspace->solveScalarSystem(n, 0, N, normalRhs, lambda, negative, nullptr);
    TrialMotion trial(pair);
    for (std::uint32_t i = 0, kept = 0; i < n; ++i) {
      if (negative[i] != 0) continue;
      const double magnitude = lambda->elements[kept++];
      if (!(magnitude > 0.0)) continue;
      impulses[i] = (pair.normals[i] + pair.tangents[i] * (f * pair.friction)) * magnitude;
      trial.add(pair, i, impulses[i]);
    }
    if (f == 0.0) return false;
    const TrialMotion::Spins spins = trial.spins(pair);
    for (std::uint32_t i = 0; i < n; ++i) {
      const MgcVector3& t = pair.tangents[i];
      const MgcVector3 after = pair.relativeVelocities[i] + trial.relativeChange(pair, i, spins);
      if (after.Dot(t) * pair.relativeVelocities[i].Dot(t) < -zov::kTolerance) return true;
    }
    return false;
  };

  // Full friction first, then less by steps of kBackoffFactor down to
  // kBackoffFloor. Friction that still turns the sliding round is not
  // dropped altogether: the largest factor below that does not turn it is
  // searched by halving, so that the contacts lose what friction can take
  // from their sliding in this step and no more.
  double f = 1.0;
  bool reverses = tryFactor(f);
  while (reverses && f * kBackoffFactor >= kBackoffFloor) {
    f *= kBackoffFactor;
    reverses = tryFactor(f);
  }
  if (reverses) {
    double low = 0.0;
    double high = f;
    // The impulses and marks stand as the last try left them, which the
    // same factor gives again.
    bool lastAtLow = false;
    for (int k = 0; k < kBackoffHalvings; ++k) {
      const double middle = 0.5 * (low + high);
      lastAtLow = !tryFactor(middle);
      if (lastAtLow) {
        low = middle;
      } else {
        high = middle;
      }
    }
    f = low;
    if (!lastAtLow) tryFactor(f);
  }
  for (std::uint32_t i = 0; i < n; ++i) {
    pair.impulses[i] = impulses[i];
    if (impulses[i].SquaredLength() > 0.0) {
      applyContactImpulse(pair, i, impulses[i]);
    }
  }
  if (f > 0.0) {
    ++counters.backedOff;
    pair.backedOff = 1;
  } else {
    ++counters.frictionDropped;
    pair.backedOff = 0;
  }
  compactContacts(pair, negative);
  workspace->compactBlockSystem(n, K, b, x, negative);
}

// ---- Resting contact -------------------------------------------------------------

void ContactResolver::resolveContact(CollisionPair& pair, std::uint32_t hint, ContactBlocks* K, double s,
                                     const Worker& worker, bool afterCollision) {
  if (pair.firstBody == nullptr || pair.secondBody == nullptr || pair.contactCount == 0) return;
  if (!lendSolveArrays(pair, worker)) return;
  classifyContacts(pair, hint, worker.closingRate, afterCollision);
  if (pair.status == kContactNone) return;
  countManifoldRows(pair);
  solveContactImpulses(pair, hint, K, s, worker);
}

void ContactResolver::solveContactImpulses(CollisionPair& pair, std::uint32_t hint, ContactBlocks* K, double s,
                                           const Worker& worker) {
  SolverWorkspace* workspace = worker.workspace;
  if (workspace == nullptr) return;
  const std::uint32_t n = pair.contactCount;
  const std::uint32_t rows = pair.manifolds.getCount() != 0 ? pair.manifoldRows : 0;
  const double e = hint == kContactResting ? 0.0 : pair.restitution;
  // Contact i's right-hand side: the normal velocity change it asks for,
  // none below kTolerance.
  const auto targetOf = [&](std::uint32_t i) {
    const double target = -pair.relativeVelocities[i].Dot(pair.normals[i]) * (1.0 + e) * s;
    return target < zov::kTolerance ? 0.0 : target;
  };
  if (rows == 0) {
    // With every right-hand side zero the least-squares solution from zero
    // is zero (the solve stops at its start, on any finite matrix): no
    // contact is taken out and none takes an impulse. In a settled pile
    // nearly every resting solve finds it so.
    bool asks = false;
    for (std::uint32_t i = 0; i < n && !asks; ++i) asks = targetOf(i) != 0.0;
    if (!asks) {
      const std::uint8_t none[kMaxPairContacts] = {};
      compactContacts(pair, none);
      for (std::uint32_t i = 0; i < pair.contactCount; ++i) pair.impulses[i] = MgcVector3();
      return;
    }
  }
  if (K == nullptr || K->count() != n) {
    // No collision matrix of these contacts: build it.
    dvec* b = nullptr;
    dvec* x = nullptr;
    if (!workspace->prepareBlockSystem(n, b, x, K)) return;
    buildCollisionMatrix(pair, s, K);
  }
  dvec* rhs = nullptr;
  dvec* lambda = nullptr;
  dmat* N = nullptr;
  std::uint8_t* manifoldMarks = nullptr;
  if (!workspace->prepareScalarSystem(n + rows, rhs, lambda, N, manifoldMarks)) return;
  zeroVector(rhs);
  // The normal rows of the contacts (normalMatrix) fill the leading n x n.
  setIdentity(N, n);
  for (std::uint32_t i = 0; i < n; ++i) rhs->elements[i] = targetOf(i);
  normalMatrix(pair, K, N);
  if (rows != 0) fillManifoldRows(pair, s, rhs, N, n, true);

  std::uint8_t contactMarks[kMaxPairContacts] = {};
  workspace->solveScalarSystem(n, rows, N, rhs, lambda, contactMarks, manifoldMarks);
  compactContacts(pair, contactMarks);
  const std::uint32_t kept = pair.contactCount;
  for (std::uint32_t i = 0; i < kept; ++i) {
    const double magnitude = lambda->elements[i];
    if (std::fabs(magnitude) <= zov::kTolerance) {
      pair.impulses[i] = MgcVector3();
      continue;
    }
    const MgcVector3 J = pair.normals[i] * magnitude;
    pair.impulses[i] = J;
    applyContactImpulse(pair, i, J);
  }
  if (rows != 0) applyManifoldRows(pair, manifoldMarks, lambda, kept);
}

void ContactResolver::resolveRestingGroup(CollisionPair& pair, double s, const Worker& worker) {
  std::uint32_t rows = 0;
  for (auto* node = pair.manifolds.getFirst(); node != nullptr; node = node->next) rows += node->value->pointCount;
  SolverWorkspace* workspace = worker.workspace;
  dvec* rhs = nullptr;
  dvec* lambda = nullptr;
  dmat* N = nullptr;
  std::uint8_t* marks = nullptr;
  if (rows == 0 || workspace == nullptr || !workspace->prepareScalarSystem(rows, rhs, lambda, N, marks)) return;
  zeroVector(rhs);
  setIdentity(N);
  fillManifoldRows(pair, s, rhs, N, 0, false);
  workspace->solveScalarSystem(rows, 0, N, rhs, lambda, marks, nullptr);
  // The solution holds the kept rows only; each manifold takes its kept
  // points' impulses in turn (a removed point's would be zero).
  applyManifoldRows(pair, marks, lambda, 0);
}

void ContactResolver::applyContactImpulse(CollisionPair& pair, std::uint32_t i, const MgcVector3& J) {
  const MgcVector3 p = pair.firstBody->getDyn().position + pair.firstArms[i];
  if (pair.movesFirst()) pair.firstBody->applyImpulse(J, p);
  if (pair.movesSecond()) pair.secondBody->applyImpulse(-J, p);
  const std::uint32_t k = pair.foundIndex[i];
  if (k < pair.found.count) pair.found.carried[k] += J;
}
