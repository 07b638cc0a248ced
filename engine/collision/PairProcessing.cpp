// The collision manager's work on pairs found in contact: extraction (the
// position correction that pushes penetrating bodies apart), the energy
// measure, the processing of a colliding pair and of all the step's pairs
// (dealt to lists that share no body, run at once, then the pairs that join
// two lists),
// the cracker pairs, the resting-body pass, the alignment of bodies resting
// on crackers and the impact of an outside point mass. The hit processing
// of a step is in HitProcessing.cpp.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/EngineTrace.h"
#include "engine/WorldFlags.h"
#include "engine/bodies/CapsuleBody.h"
#include "engine/bodies/HardBody.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactKinematics.h"
#include "engine/collision/ContactManifold.h"
#include "engine/collision/ContactSolver.h"
#include "engine/collision/SolverWorkspace.h"
#include "engine/collision/threads/LevelOrder.h"
#include "engine/collision/threads/WorkerPool.h"
#include "engine/fracture/FractureBody.h"
#include "engine/solver/ContactBlocks.h"
#include "engine/solver/Lsqr.h"
#include "engine/solver/LsqrSystem.h"
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
/// A contact holds a body up when its normal lies within 45 degrees of the
/// gravity direction.
constexpr double kSupportCosine = 0.7071067811865476;
/// The weight of the sideways parts of the impulses that hold a body on its
/// supports against their parts along the normals: the hold asks for the
/// impulses that are least in its units, whose sideways parts count
/// 1 / kHoldSideways^2 times.
constexpr double kHoldSideways = 0.1;
/// A pivot of a body's 6 x 6 hold system below this share of its largest
/// diagonal entry counts as zero: the contacts do not pin the body.
constexpr double kPinnedPivot = 1e-9;
/// A contact whose normal lies within 75 degrees of the vertical (this
/// cosine) may, with the sides of its body's other supports, wedge it.
constexpr double kWedgeCosine = 0.25881904510252074;
/// Contacts a pair needs before the resting pass may settle its bodies.
constexpr std::uint32_t kRestingContacts = 3;
/// Contact points closer than this (m) to the line through the others
/// hold a body no better than the line.
constexpr double kSupportSpread = 1e-3;
/// Rest thresholds of the resting pass (squared speeds).
constexpr float kRestThreshold = 1.0f;
constexpr float kSupportRestThreshold = 10.0f;
/// Lists the pair processing deals the pairs to. A fixed number, not the
/// thread count: the dealing decides the order in which pairs that share a
/// body are solved, so the result is the same at every thread count.
constexpr std::uint32_t kPairLists = kMaxWorkerThreads;
/// Pairs a thread of a pair pass should have at least: a pair's solve takes
/// a few microseconds, a helper's wake-up some tens.
constexpr std::uint32_t kPairsPerThread = 16;
/// Pairs a thread takes at a time in the per-pair loops of the processing,
/// each a copy of a few contacts.
constexpr std::uint32_t kPairLoopGrain = 64;
/// Pairs a helper reads at a time when the dealing looks ahead.
constexpr std::uint32_t kDealGrain = 64;
/// The holder of a body that only shared pairs write.
constexpr std::uint32_t kSharedBody = kPairLists + 1;
/// Bytes of a cache line.
constexpr std::size_t kCacheLineBytes = 64;
/// A body stands upright on a cracker when its third axis is this close to z.
constexpr double kUprightDot = static_cast<double>(0.98f);

/// How far ahead of the pair being processed a walk over a list of pairs
/// asks for the records, and for what the records point at (their contacts
/// and bodies), which it reads from the records asked for before: a large
/// pile's pairs lie far apart in memory, and each pass meets them cold.
constexpr std::size_t kRecordAhead = 3;
constexpr std::size_t kContactsAhead = 2;

/// Asks for a pair's record, which its processing reads first.
void prefetchRecord(const CollisionPair* pair) {
  const char* at = reinterpret_cast<const char*>(pair);
  for (std::size_t offset = 0; offset < sizeof(CollisionPair); offset += kCacheLineBytes) {
    __builtin_prefetch(at + offset);
  }
}

/// Asks for the start of a pair's per-contact arrays and its bodies' states.
void prefetchContacts(const CollisionPair* pair) {
  __builtin_prefetch(pair->points);
  __builtin_prefetch(pair->normals);
  __builtin_prefetch(pair->foundIndex);
  __builtin_prefetch(pair->found.depths);
  for (const HardBody* body : {pair->firstBody, pair->secondBody}) {
    if (body == nullptr) continue;
    const char* state = reinterpret_cast<const char*>(&body->getDyn());
    for (std::size_t offset = 0; offset < sizeof(RBDynamics); offset += kCacheLineBytes) {
      __builtin_prefetch(state + offset);
    }
  }
}

/// The body an extraction moves for `body`: a piece moves its fracture body.
HardBody* extractedBody(HardBody* body) { return body->getParent() != nullptr ? body->getParent() : body; }

/// Mass of the body extraction moves, 0 when that body is static.
double extractionMass(HardBody* body) {
  HardBody* moved = extractedBody(body);
  return moved->isStatic() ? 0.0 : moved->getMass();
}

/// How much a pair's contacts hold one body up on the other: 0 unless both
/// bodies are as slow as the resting pass asks, else the largest share of
/// a contact normal along the gravity direction (0 without gravity). A
/// body still falling or flying is not held: it passes its momentum on.
double bearing(const CollisionPair& pair, const MgcVector3& gravityDirection) {
  if (pair.found.count == 0) return 0.0;
  for (const HardBody* body : {pair.firstBody, pair.secondBody}) {
    const RBDynamics& state = body->getDyn();
    const double slow = static_cast<double>(kRestThreshold);
    if (!body->isStatic() &&
        !(state.linearVelocity.SquaredLength() < slow && state.angularVelocity.SquaredLength() < slow)) {
      return 0.0;
    }
  }
  double most = 0.0;
  for (std::uint32_t k = 0; k < pair.found.count; ++k) {
    most = std::max(most, std::fabs(pair.normals[pair.foundSlot(k)].Dot(gravityDirection)));
  }
  // Slow bodies touching count, side by side too.
  return std::max(most, std::numeric_limits<double>::min());
}

/// The body of the pair that rests on the other: the one higher in the
/// pile, or, of two of one level, the one on top (the normal points from
/// the second body towards the first).
HardBody* restingBody(const CollisionPair& pair, const MgcVector3& gravityDirection) {
  const std::int32_t first = pair.firstBody->getContactLevel();
  const std::int32_t second = pair.secondBody->getContactLevel();
  if (first != second) return first > second ? pair.firstBody : pair.secondBody;
  const MgcVector3& normal = pair.normals[pair.found.count != 0 ? pair.foundSlot(0) : 0];
  return -normal.Dot(gravityDirection) > 0.0 ? pair.firstBody : pair.secondBody;
}

bool hasJoints(HardBody* body) {
  auto* compound = dynamic_cast<FractureBody*>(body);
  return compound != nullptr && compound->getNActiveJoints() + compound->getNInactiveJoints() != 0;
}

/// The cross-product matrix [r] of r: [r] v = r x v.
MgcMatrix3 impactCrossMatrix(const MgcVector3& r) { return MgcMatrix3(0.0, -r.z, r.y, r.z, 0.0, -r.x, -r.y, r.x, 0.0); }

void zeroMotion(HardBody* body) {
  body->setAngularMomentum(MgcVector3());
  body->setLinearVelocity(MgcVector3());
}

/// Each found contact's depth measured again from the bodies as they stand
/// (its points were found once in the step, the bodies have moved since):
/// how far its point on the first body stands from its point on the second
/// along the normal, negative where they overlap. The solves let a contact
/// that stands apart close its gap.
void measureSeparations(CollisionPair& pair) {
  if (pair.secondCount < pair.found.count) return;
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

/// Whether some three of the points [first, last) span a triangle: one
/// lies farther than kSupportSpread from the line through the two farthest
/// apart (none when those lie within kSupportSpread of each other).
template <typename It>
bool spansTriangle(It first, It last) {
  double widest = 0.0;
  MgcVector3 from;
  MgcVector3 to;
  for (It a = first; a != last; ++a) {
    for (It b = a + 1; b != last; ++b) {
      const double d = (b->second - a->second).SquaredLength();
      if (d > widest) {
        widest = d;
        from = a->second;
        to = b->second;
      }
    }
  }
  if (widest <= kSupportSpread * kSupportSpread) return false;
  const MgcVector3 along = (to - from) / std::sqrt(widest);
  for (It p = first; p != last; ++p) {
    if ((p->second - from).Cross(along).SquaredLength() > kSupportSpread * kSupportSpread) return true;
  }
  return false;
}

/// A symmetric 6 x 6 system over a body's motion: three rows of linear
/// motion, three of turn.
struct MotionSystem {
  double a[6][6] = {};
  double b[6] = {};

  /// a += A_i^T D A_i for the contact of arm r, where A_i = [I, -[r]] takes
  /// the body's motion (velocity, turn rate) to the point's velocity and D
  /// is the symmetric weight w I + (1 - w) n n^T (unit n; the identity for
  /// w = 1): w A_i^T A_i plus (1 - w) q q^T, q = A_i^T n = (n, r x n).
  void addContact(const MgcVector3& r, const MgcVector3& n, double w) {
    // A_i^T A_i = [I, -[r]; [r], -[r][r]], with -[r][r] = |r|^2 I - r r^T.
    const double rr = r.Dot(r);
    const double arm[3] = {r.x, r.y, r.z};
    for (int j = 0; j < 3; ++j) {
      a[j][j] += w;
      a[j + 3][j + 3] += w * rr;
      for (int k = 0; k < 3; ++k) a[j + 3][k + 3] -= w * arm[j] * arm[k];
    }
    // -[r] in the upper right, [r] in the lower left.
    a[0][4] += w * r.z;
    a[0][5] -= w * r.y;
    a[1][3] -= w * r.z;
    a[1][5] += w * r.x;
    a[2][3] += w * r.y;
    a[2][4] -= w * r.x;
    a[4][0] += w * r.z;
    a[5][0] -= w * r.y;
    a[3][1] -= w * r.z;
    a[5][1] += w * r.x;
    a[3][2] += w * r.y;
    a[4][2] -= w * r.x;
    if (w == 1.0) return;
    const MgcVector3 m = r.Cross(n);
    const double q[6] = {n.x, n.y, n.z, m.x, m.y, m.z};
    const double s = 1.0 - w;
    for (int j = 0; j < 6; ++j) {
      for (int k = 0; k < 6; ++k) a[j][k] += s * q[j] * q[k];
    }
  }
  /// b += A_i^T v: the force and moment about the body's position of v
  /// at the contact of arm r.
  void addLoad(const MgcVector3& r, const MgcVector3& v) {
    const MgcVector3 moment = r.Cross(v);
    for (int k = 0; k < 3; ++k) {
      b[k] += v[k];
      b[k + 3] += moment[k];
    }
  }
  /// Solves a x = b in place of b by Cholesky; false when a pivot falls
  /// below kPinnedPivot of the largest diagonal entry (the contacts leave
  /// the body free to move some way).
  bool solve() {
    double largest = 0.0;
    for (int k = 0; k < 6; ++k) largest = std::max(largest, a[k][k]);
    if (!(largest > 0.0)) return false;
    for (int j = 0; j < 6; ++j) {
      double d = a[j][j];
      for (int k = 0; k < j; ++k) d -= a[j][k] * a[j][k];
      if (!(d > kPinnedPivot * largest)) return false;
      a[j][j] = std::sqrt(d);
      for (int i = j + 1; i < 6; ++i) {
        double e = a[i][j];
        for (int k = 0; k < j; ++k) e -= a[i][k] * a[j][k];
        a[i][j] = e / a[j][j];
      }
    }
    for (int i = 0; i < 6; ++i) {
      for (int k = 0; k < i; ++k) b[i] -= a[i][k] * b[k];
      b[i] /= a[i][i];
    }
    for (int i = 5; i >= 0; --i) {
      for (int k = i + 1; k < 6; ++k) b[i] -= a[k][i] * b[k];
      b[i] /= a[i][i];
    }
    return true;
  }
};

/// The impulses T_i (totals) that stop a body on supports held still: of
/// those that take the contacts' relative velocities away (in the least
/// squares, as the shortest impulses would), the ones that ask least
/// friction, their sideways parts weighing 1 / kHoldSideways^2. C_i is what
/// each contact carried in the passes. Contacts marked in `pulling` on entry
/// take no part; a contact whose impulse would pull is taken out (marked,
/// the first in order) and the rest solved again. False when the kept
/// contacts do not pin the body (a point, or points on a line) or none is
/// kept.
///
/// With A the map of the body's motion to the contacts' velocities and M
/// its mass and inertia: the motion change that best stops the contacts is
/// dx = -(A^T A)^-1 A^T u, which the impulses give when A^T T = M dx +
/// A^T C; the least weighted of those is T = D A (A^T D A)^-1 (M dx + A^T
/// C), D the contacts' weights.
bool holdWithLeastFriction(const RBDynamics& state, double mass, std::uint32_t n, const MgcVector3* arms,
                           const MgcVector3* normals, const MgcVector3* relative, const MgcVector3* carried,
                           std::uint8_t* pulling, MgcVector3* totals) {
  for (std::uint32_t kept = n; kept != 0; --kept) {
    MotionSystem stop;
    MotionSystem least;
    for (std::uint32_t i = 0; i < n; ++i) {
      if (pulling[i] != 0) continue;
      stop.addContact(arms[i], normals[i], 1.0);
      stop.addLoad(arms[i], -relative[i]);
      least.addContact(arms[i], normals[i], kHoldSideways * kHoldSideways);
      least.addLoad(arms[i], carried[i]);
    }
    if (!stop.solve()) return false;
    const MgcVector3 linear(stop.b[0], stop.b[1], stop.b[2]);
    const MgcVector3 turn(stop.b[3], stop.b[4], stop.b[5]);
    const MgcVector3 momentum = linear * mass;
    const MgcVector3 angular = state.worldInertia * turn;
    for (int k = 0; k < 3; ++k) {
      least.b[k] += momentum[k];
      least.b[k + 3] += angular[k];
    }
    if (!least.solve()) return false;
    const MgcVector3 push(least.b[0], least.b[1], least.b[2]);
    const MgcVector3 spin(least.b[3], least.b[4], least.b[5]);
    std::uint32_t pulls = n;
    for (std::uint32_t i = 0; i < n; ++i) {
      if (pulling[i] != 0) {
        totals[i] = MgcVector3();
        continue;
      }
      // D_i A_i (push, spin).
      const MgcVector3 v = push + spin.Cross(arms[i]);
      const double along = v.Dot(normals[i]);
      totals[i] = v * (kHoldSideways * kHoldSideways) + normals[i] * ((1.0 - kHoldSideways * kHoldSideways) * along);
      if (pulls == n && totals[i].Dot(normals[i]) < -zov::kTolerance) pulls = i;
    }
    if (pulls == n) return true;
    pulling[pulls] = 1;
    totals[pulls] = MgcVector3();
  }
  return false;
}
}  // namespace

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
  const bool onTop = std::fabs(firstAbove) > kSupportCosine;
  if (onTop && (level == otherLevel || (level > 0 && otherLevel > 0))) return first == (firstAbove > 0.0);
  // Otherwise only the body higher in the pile moves; both, by their
  // masses, when they stand side by side on one level.
  return level >= otherLevel;
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
  // they stand side by side on one level).
  const double weightA = extractionMoves(*pair, true) ? extractionMass(A) : 0.0;
  const double weightB = extractionMoves(*pair, false) ? extractionMass(B) : 0.0;
  if (weightA == 0.0 && weightB == 0.0) return;
  HardBody* movedA = weightA != 0.0 ? extractedBody(A) : nullptr;
  HardBody* movedB = weightB != 0.0 ? extractedBody(B) : nullptr;
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
      if (support != nullptr && !support->isStatic()) add(extractedBody(support));
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

void CollisionManager::processPairs(EngineList<HardBody*>* /*active*/, const int& mode,
                                    const MgcVector3& gravityDirection, std::uint32_t& outFlags) {
  if (stepPairs.getCount() == 0) return;
  // The pairs run in list order: the repeated passes below converge from
  // the ground up, and met the other way round a resting stack creeps.
  std::vector<CollisionPair*>& pairs = processedPairs;
  pairs.clear();
  for (auto* node = stepPairs.getFirst(); node != nullptr; node = node->next) pairs.push_back(node->value);
  const std::uint32_t helpers = passHelpers();
  // What each pair starts from is its own: the pairs go in any order.
  const auto forEachPair = [&](auto&& fn) {
    forEachIndex(helpers != 0 ? workerPool() : nullptr, helpers, static_cast<std::uint32_t>(pairs.size()),
                 kPairLoopGrain, [&](std::uint32_t i, std::uint32_t) { fn(*pairs[i]); });
  };
  // A sleeping body holds up what rests on it without being woken.
  const auto sleeping = [](const HardBody* b) { return !b->isActive() && !b->isStatic(); };
  forEachPair([&](CollisionPair& pair) {
    // The step's hit processing meets the pairs first: their contacts as
    // found. Every processing starts with none carrying an impulse.
    if (mode == kHitMode || pair.found.count == 0) pair.keepFoundContacts();
    for (std::uint32_t k = 0; k < pair.found.count; ++k) pair.found.carried[k] = MgcVector3();
    measureSeparations(pair);
    if (mode == kRestingMode) {
      pair.manifolds.clear();
      pair.scratch = 0;
      pair.held = (sleeping(pair.firstBody) ? kHeldFirst : 0) | (sleeping(pair.secondBody) ? kHeldSecond : 0);
    }
  });
  if (mode == kHitMode) {
    // Manifolds are the bodies', shared between pairs: in order.
    for (CollisionPair* pair : pairs) maintainManifolds(*pair, gravityDirection);
  }
  if (mode != kRestingMode) {
    runPairPass(pairs, mode, helpers, outFlags);
    return;
  }
  // One pass resolves each pair once, so a pair's impulses push the bodies
  // of the pairs resolved before it back into their supports: the passes
  // repeat, each from every contact found, since a contact that separated
  // in one pass may carry load in the next.
  // The passes change no pair's bodies: one dealing serves them all.
  dealPairs(pairs, pairDealing, helpers);
  runDealtPairs(pairDealing, pairs.size(), mode, helpers, outFlags, true, kPairPasses);
  // Then each body of a pile, from the ground up, on its supports held as
  // if static (the bodies extraction leaves in place): what the passes left
  // of the load of the bodies above no longer drives the lower ones into
  // their supports, and the pile ends the step at rest.
  // A body is held on its supports (the slow bodies lower in the pile it
  // touches) when one of them holds it up, by a contact within
  // kSupportCosine of the vertical, or when together they may: one leans
  // less than kWedgeCosine from the horizontal, so that the others' sides
  // may wedge it (a box fallen between boxes, on an edge of one and against
  // the faces of two). The pushes of its other supports, from the side,
  // hold it with them. A push only from the side holds nothing up.
  // Of two bodies of one level, one that lies on the other (a fragment on
  // another that also touches the ground) is held on it too.
  std::vector<double>& bears = pairBearing;
  bears.resize(pairs.size());
  forEachIndex(helpers != 0 ? workerPool() : nullptr, helpers, static_cast<std::uint32_t>(pairs.size()), kPairLoopGrain,
               [&](std::uint32_t i, std::uint32_t) {
                 const CollisionPair& pair = *pairs[i];
                 const double holds = bearing(pair, gravityDirection);
                 bears[i] =
                     pair.firstBody->getContactLevel() != pair.secondBody->getContactLevel() || holds > kSupportCosine
                         ? holds
                         : 0.0;
               });
  const auto upperOf = [&](const CollisionPair& pair) { return restingBody(pair, gravityDirection); };
  // The bodies some support holds up or wedges, by address: a set only.
  std::vector<const HardBody*>& held = heldUpper;
  held.clear();
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    if (bears[i] > kWedgeCosine) held.push_back(upperOf(*pairs[i]));
  }
  std::sort(held.begin(), held.end(), std::less<const HardBody*>());
  std::vector<CollisionPair*> bearing;
  reserveScratch(bearing, pairs.size());
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    if (bears[i] > 0.0 &&
        std::binary_search(held.begin(), held.end(), upperOf(*pairs[i]), std::less<const HardBody*>())) {
      bearing.push_back(pairs[i]);
    }
  }
  holdPiles(bearing, mode, outFlags);
  // holdPiles's arrays are as long as the bearing pairs: between passes only
  // their small storage stays.
  clearScratch(bearingPairs);
  clearScratch(heldBodies);
  clearScratch(heldSupports);
  clearScratch(heldUpper);
  forEachPair([](CollisionPair& pair) { pair.held = 0; });
}

void CollisionManager::holdPiles(const std::vector<CollisionPair*>& bearing, const int& mode, std::uint32_t& outFlags) {
  const std::uint32_t helpers = passHelpers();
  WorkerPool* pool = helpers != 0 ? workerPool() : nullptr;
  const auto pairCount = static_cast<std::uint32_t>(bearing.size());
  // Each pair's upper body, the one that rests on the other, read on the
  // helpers with its level; the pair holds the lower one.
  std::vector<BearingPair>& upper = bearingPairs;
  reserveScratch(upper, pairCount);
  upper.resize(pairCount);
  forEachIndex(pool, helpers, pairCount, kPairLoopGrain, [&](std::uint32_t k, std::uint32_t) {
    CollisionPair* pair = bearing[k];
    HardBody* body = restingBody(*pair, gravityDirection);
    const bool firstUpper = body == pair->firstBody;
    pair->held |= firstUpper ? kHeldSecond : kHeldFirst;
    // A body on another of its own level is held after it: between its
    // level and the next.
    const bool sameLevel = pair->firstBody->getContactLevel() == pair->secondBody->getContactLevel();
    upper[k] = BearingPair{body, k, 2 * body->getContactLevel() + (sameLevel ? 1 : 0)};
  });
  // The bodies that rest on others, each with its support pairs in their
  // order, lowest first (a body is stopped on supports that are already at
  // rest), bodies of one level in the order the pairs meet them.
  // Grouped by body (the addresses only gather each body's pairs; the order
  // comes from the levels and the pairs' order).
  std::sort(upper.begin(), upper.end(), [](const BearingPair& a, const BearingPair& b) {
    return a.body != b.body ? std::less<const HardBody*>()(a.body, b.body) : a.pair < b.pair;
  });
  std::vector<HeldBody>& held = heldBodies;
  held.clear();
  reserveScratch(held, pairCount);
  for (std::uint32_t k = 0; k < pairCount; ++k) {
    if (k == 0 || upper[k].body != upper[k - 1].body) held.push_back(HeldBody{upper[k].body, upper[k].level, k, k});
    held.back().end = k + 1;
    held.back().level = std::max(held.back().level, upper[k].level);
  }
  orderByLevelThenFirst(
      held, pairCount, [](const HeldBody& body) { return body.level; },
      [&](const HeldBody& body) { return upper[body.begin].pair; });
  const auto n = static_cast<std::uint32_t>(held.size());
  // Every body's support pairs in one array, each body's run where its
  // bearing pairs lie.
  std::vector<CollisionPair*>& supportPairs = heldSupports;
  reserveScratch(supportPairs, pairCount);
  supportPairs.resize(pairCount);
  for (std::uint32_t k = 0; k < pairCount; ++k) supportPairs[k] = bearing[upper[k].pair];
  const auto supportsOf = [&](std::uint32_t task) {
    return PairRun{supportPairs.data() + held[task].begin, supportPairs.data() + held[task].end};
  };
  const auto hold = [&](std::uint32_t task, std::uint32_t worker) {
    HardBody* body = held[task].body;
    if (!body->isActive() || body->isStatic() || holdOnSupports(body, supportsOf(task), worker)) return 0u;
    std::uint32_t flags = 0;
    for (CollisionPair* pair : supportsOf(task)) {
      pair->restoreFoundContacts();
      flags |= processPair(pair, mode, worker);
    }
    return flags;
  };
  if (helpers == 0 || n < kTaskOrderMinimum) {
    for (std::uint32_t task = 0; task < n; ++task) outFlags |= hold(task, 0);
    return;
  }
  // A body's hold writes the body and reads its supports, held in its
  // support pairs also where the hold is refused and the pairs are
  // resolved; a static support a hit may make dynamic counts as written.
  // Each body waits for the earlier holds that write a body it uses, and
  // for those that read one it writes, so that every hold meets what a run
  // in order would, while bodies on one support and separate stacks go at
  // once.
  const auto heldIn = [](const CollisionPair& pair, const HardBody* b) {
    if (b->isStatic()) return false;
    return (b == pair.firstBody && (pair.held & kHeldFirst) != 0) ||
           (b == pair.secondBody && (pair.held & kHeldSecond) != 0);
  };
  std::atomic<bool> tooMany{false};
  const auto accessesOf = [&](std::uint32_t task, HardBody** out, bool* writes) {
    std::uint32_t count = 0;
    const auto add = [&](HardBody* b, bool write) {
      for (std::uint32_t k = 0; k < count; ++k) {
        if (out[k] == b) {
          writes[k] = writes[k] || write;
          return;
        }
      }
      if (count == kMaxTaskBodies) {
        tooMany.store(true, std::memory_order_relaxed);
        return;
      }
      writes[count] = write;
      out[count++] = b;
    };
    add(held[task].body, true);
    add(extractedBody(held[task].body), true);
    HardBody* met[kMaxTaskBodies];
    for (const CollisionPair* pair : supportsOf(task)) {
      const std::uint32_t m = pairBodies(*pair, met, kMaxTaskBodies);
      if (m == kMaxTaskBodies) tooMany.store(true, std::memory_order_relaxed);
      for (std::uint32_t k = 0; k < m; ++k) add(met[k], !heldIn(*pair, met[k]));
    }
    return count;
  };
  // What each hold reads and writes only reads the pairs and bodies: read
  // on the helpers first, the few holds of many bodies again in order. The
  // reads are a few hundred bytes a body and needed only until the holds are
  // ordered: made for each call and freed with it, not kept between steps.
  std::vector<HoldAccess> access(n);
  forEachIndex(pool, helpers, n, kPairLoopGrain, [&](std::uint32_t task, std::uint32_t) {
    HardBody* bodies[kMaxTaskBodies];
    bool writes[kMaxTaskBodies];
    HoldAccess& out = access[task];
    out.count = accessesOf(task, bodies, writes);
    if (out.count > HoldAccess::kHeld) return;
    for (std::uint32_t k = 0; k < out.count; ++k) {
      out.bodies[k] = bodies[k];
      out.writes[k] = writes[k];
      out.numbers[k] = broadPhase.keptEntry(bodies[k]);
    }
  });
  orderByAccess(n, [&](std::uint32_t task, HardBody** out, bool* writes, std::int32_t* numbers) {
    const HoldAccess& known = access[task];
    if (known.count > HoldAccess::kHeld) {
      const std::uint32_t count = accessesOf(task, out, writes);
      std::fill(numbers, numbers + count, -1);
      return count;
    }
    std::copy(known.bodies, known.bodies + known.count, out);
    std::copy(known.writes, known.writes + known.count, writes);
    std::copy(known.numbers, known.numbers + known.count, numbers);
    return known.count;
  });
  if (tooMany.load()) {
    for (std::uint32_t task = 0; task < n; ++task) outFlags |= hold(task, 0);
    return;
  }
  std::vector<std::uint32_t> flags(helpers + 1, 0);
  taskOrder.run(pool, helpers, [&](std::uint32_t task, std::uint32_t worker) { flags[worker] |= hold(task, worker); });
  for (std::uint32_t f : flags) outFlags |= f;
}

bool CollisionManager::holdOnSupports(HardBody* body, const PairRun& supports, std::uint32_t worker) {
  // A piece moves with its fracture body: its pairs decide.
  SolverWorkspace* workspace = workspaceOf(worker);
  if (workspace == nullptr || body->getParent() != nullptr) return false;
  const RBDynamics& state = body->getDyn();
  // Every found contact of every support, seen from the body: its point and
  // arm, the normal from the support towards the body, the velocity
  // relative to the support, and the impulse it carried in the passes.
  ContactVectors points;
  ContactVectors arms;
  ContactVectors normals;
  ContactVectors relative;
  ContactVectors carried;
  std::uint32_t n = 0;
  for (const CollisionPair* pair : supports) {
    const bool first = pair->firstBody == body;
    const HardBody* support = first ? pair->secondBody : pair->firstBody;
    const CollisionPair::FoundContacts& found = pair->found;
    if (n + found.count > kMaxPairContacts) return false;
    for (std::uint32_t k = 0; k < found.count; ++k, ++n) {
      const std::uint32_t slot = pair->foundSlot(k);
      points[n] = state.orientation * (first ? pair->points[slot] : pair->secondPoints[slot]) + state.position;
      arms[n] = points[n] - state.position;
      normals[n] = first ? pair->normals[slot] : -pair->normals[slot];
      const MgcVector3 supportVelocity = first && support->isStatic()
                                             ? pair->staticVelocity(slot)
                                             : contactkinematics::velocityAt(support->getDyn(), points[n]);
      relative[n] = contactkinematics::velocityAt(state, points[n]) - supportVelocity;
      // A contact standing apart holds only what would close its gap, as in
      // the pairs' solves.
      const double gap = closingGap(found.depths[k]);
      if (gap > 0.0) relative[n] += normals[n] * (gap * closingRate);
      carried[n] = first ? found.carried[k] : -found.carried[k];
    }
  }
  if (n == 0) return false;
  // The unknowns are each contact's whole impulse of the step, T = C + J
  // (C carried in the passes, J taken now), so that a contact may give back
  // part of what it carried but never pull in all.
  std::uint8_t pulling[kMaxPairContacts] = {};
  ContactVectors totals;
  if (!holdWithLeastFriction(state, body->getMass(), n, arms, normals, relative, carried, pulling, totals)) {
    // Contacts on a line or at a point leave the body a turn they cannot
    // stop: the shortest impulses that stop them, over the contact blocks.
    dvec* b = nullptr;
    dvec* x = nullptr;
    ContactBlocks* K = nullptr;
    if (!workspace->prepareBlockSystem(n, b, x, K)) return false;
    // K J = b, the impulses that take every contact's relative velocity
    // away, becomes K T = b + K C in the body's momentum units.
    const double s = body->getMass();
    buildExtractionMatrix(n, body, arms, nullptr, nullptr, s, K);
    ContactVectors targets;
    for (std::uint32_t i = 0; i < n; ++i) targets[i] = relative[i] * -s;
    K->addProducts(carried, targets);
    for (std::uint32_t i = 0; i < n; ++i) {
      for (int r = 0; r < 3; ++r) b->elements[3 * i + r] = targets[i][r];
    }
    workspace->solveBlockSystem(n, K, b, x, normals, pulling);
    for (std::uint32_t i = 0, kept = 0; i < n; ++i) {
      if (pulling[i] != 0) {
        totals[i] = MgcVector3();
        continue;
      }
      totals[i] = MgcVector3(x->elements[3 * kept], x->elements[3 * kept + 1], x->elements[3 * kept + 2]);
      ++kept;
    }
  }
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < n; ++i) kept += pulling[i] == 0 ? 1 : 0;
  if (kept == 0) return false;
  // Each support's contacts together stay in its friction cone: the
  // tangential part of their whole impulses is at most mu times the normal
  // part.
  std::uint32_t from = 0;
  for (const CollisionPair* pair : supports) {
    MgcVector3 tangential;
    double normal = 0.0;
    for (std::uint32_t i = from; i < from + pair->found.count; ++i) {
      const double along = totals[i].Dot(normals[i]);
      normal += along;
      tangential += totals[i] - normals[i] * along;
    }
    if (tangential.Length() > pair->friction * normal) return false;
    from += pair->found.count;
  }
  for (std::uint32_t i = 0; i < n; ++i) {
    const MgcVector3 J = totals[i] - carried[i];
    if (J.SquaredLength() > 0.0) body->applyImpulse(J, points[i]);
  }
  // Each support pair keeps the contacts that hold the body.
  from = 0;
  for (CollisionPair* pair : supports) {
    const std::uint32_t count = pair->found.count;
    pair->restoreFoundContacts();
    compactContacts(*pair, pulling + from);
    from += count;
  }
  return true;
}

void CollisionManager::runPairPass(const std::vector<CollisionPair*>& pairs, const int& mode, std::uint32_t helpers,
                                   std::uint32_t& outFlags) {
  processPairsThreaded(pairs, mode, helpers, outFlags);
}

void CollisionManager::dealPairs(const std::vector<CollisionPair*>& pairs, PairDealing& dealing,
                                 std::uint32_t helpers) {
  // Which bodies each pair writes only reads the pair and its bodies: read
  // on the helpers first, the few pairs of many bodies again below.
  std::vector<DealtBodies>& written = dealtBodies;
  reserveScratch(written, pairs.size());
  written.resize(pairs.size());
  forEachIndex(helpers != 0 ? workerPool() : nullptr, helpers, static_cast<std::uint32_t>(pairs.size()), kDealGrain,
               [&](std::uint32_t i, std::uint32_t) {
                 HardBody* all[kMaxTaskBodies];
                 const std::uint32_t count = pairBodies(*pairs[i], all, kMaxTaskBodies);
                 DealtBodies& out = written[i];
                 out.count = count;
                 if (count > DealtBodies::kHeld) return;
                 for (std::uint32_t k = 0; k < count; ++k) {
                   out.bodies[k] = all[k];
                   out.numbers[k] = broadPhase.keptEntry(all[k]);
                 }
               });
  dealing.lists.resize(kPairLists);
  for (std::vector<CollisionPair*>& list : dealing.lists) list.clear();
  dealing.shared.clear();
  dealing.sharedAfterLists.clear();
  dealing.sharedAfterShared.clear();
  dealing.sharedAfterPass.clear();
  // Each shared pair's body slots, as a run of sharedSlots from its start.
  std::vector<std::uint32_t> sharedSlots;
  std::vector<std::uint32_t> sharedSlotsStart;
  BodyNumbers slots(broadPhase);
  // By body slot: the list that holds the body (kPairLists for none,
  // kSharedBody for a body of shared pairs only), and the last shared pair
  // that writes it (-1 for none).
  std::vector<std::uint32_t> owner;
  std::vector<std::int32_t> lastShared;
  // Grown a slot at a time, they would leave a block of every size they
  // passed through in the allocator's cache for this thread.
  reserveScratch(owner, broadPhase.entryCount());
  reserveScratch(lastShared, broadPhase.entryCount());
  std::uint32_t next = 0;
  HardBody* bodies[kMaxTaskBodies];
  std::int32_t known[kMaxTaskBodies];
  std::uint32_t bodySlots[kMaxTaskBodies];
  std::vector<std::uint32_t> met;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    CollisionPair* pair = pairs[i];
    std::uint32_t count = written[i].count;
    if (count <= DealtBodies::kHeld) {
      std::copy(written[i].bodies, written[i].bodies + count, bodies);
      std::copy(written[i].numbers, written[i].numbers + count, known);
    } else {
      count = pairBodies(*pair, bodies, kMaxTaskBodies);
      std::fill(known, known + count, -1);
    }
    met.clear();
    bool touchesShared = false;
    for (std::uint32_t k = 0; k < count; ++k) {
      const std::uint32_t slot = slots.of(bodies[k], known[k]);
      bodySlots[k] = slot;
      if (slot >= owner.size()) {
        owner.resize(slot + 1, kPairLists);
        lastShared.resize(slot + 1, -1);
      }
      if (owner[slot] == kSharedBody) {
        touchesShared = true;
      } else if (owner[slot] != kPairLists) {
        met.push_back(owner[slot]);
      }
    }
    std::sort(met.begin(), met.end());
    met.erase(std::unique(met.begin(), met.end()), met.end());
    if (met.size() > 1 || touchesShared) {
      const auto index = static_cast<std::int32_t>(dealing.shared.size());
      std::vector<std::uint32_t> earlier;
      for (std::uint32_t k = 0; k < count; ++k) {
        std::uint32_t& holder = owner[bodySlots[k]];
        if (holder == kPairLists) holder = kSharedBody;
        std::int32_t& last = lastShared[bodySlots[k]];
        if (last >= 0) earlier.push_back(static_cast<std::uint32_t>(last));
        last = index;
      }
      std::sort(earlier.begin(), earlier.end());
      earlier.erase(std::unique(earlier.begin(), earlier.end()), earlier.end());
      dealing.shared.push_back(pair);
      dealing.sharedAfterLists.push_back(met);
      dealing.sharedAfterShared.push_back(std::move(earlier));
      sharedSlotsStart.push_back(static_cast<std::uint32_t>(sharedSlots.size()));
      sharedSlots.insert(sharedSlots.end(), bodySlots, bodySlots + count);
      continue;
    }
    // A pair of bodies no list holds yet opens the next list in turn.
    const std::uint32_t list = met.empty() ? next++ % kPairLists : met[0];
    for (std::uint32_t k = 0; k < count; ++k) {
      if (owner[bodySlots[k]] == kPairLists) owner[bodySlots[k]] = list;
    }
    dealing.lists[list].push_back(pair);
  }
  // A pass ends with each body last written by the last shared pair that
  // writes it, if any: the next pass's shared pair waits for those of its
  // bodies.
  sharedSlotsStart.push_back(static_cast<std::uint32_t>(sharedSlots.size()));
  dealing.sharedAfterPass.resize(dealing.shared.size());
  for (std::size_t i = 0; i < dealing.shared.size(); ++i) {
    std::vector<std::uint32_t>& last = dealing.sharedAfterPass[i];
    for (std::uint32_t k = sharedSlotsStart[i]; k < sharedSlotsStart[i + 1]; ++k) {
      last.push_back(static_cast<std::uint32_t>(lastShared[sharedSlots[k]]));
    }
    std::sort(last.begin(), last.end());
    last.erase(std::unique(last.begin(), last.end()), last.end());
  }
  // The bodies read ahead are a pass's working array, as long as the pair
  // list: between passes only its small storage stays.
  clearScratch(written);
}

void CollisionManager::processPairsThreaded(const std::vector<CollisionPair*>& pairs, const int& mode,
                                            std::uint32_t helpers, std::uint32_t& outFlags) {
  dealPairs(pairs, pairDealing, helpers);
  runDealtPairs(pairDealing, pairs.size(), mode, helpers, outFlags, false);
}

void CollisionManager::runDealtPairs(const PairDealing& dealing, std::size_t pairCount, const int& mode,
                                     std::uint32_t helpers, std::uint32_t& outFlags, bool fromFound, int passes) {
  const std::uint8_t keptOption = orderedExtraction;
  // One task per list with pairs, each list in its order (the lists share
  // no body, so they run at once), then one per shared pair, in their
  // order, each waiting for the lists and the earlier shared pairs that
  // write one of its bodies: it meets them as a run of the shared pairs on
  // the calling thread after the lists would.
  // The longest lists come first, so that the threads run out of work at
  // about the same time (which thread runs a list changes nothing).
  std::uint32_t listTask[kPairLists];
  std::vector<std::uint32_t> byLength;
  for (std::uint32_t k = 0; k < kPairLists; ++k) {
    if (!dealing.lists[k].empty()) byLength.push_back(k);
  }
  std::stable_sort(byLength.begin(), byLength.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return dealing.lists[a].size() > dealing.lists[b].size(); });
  std::vector<const std::vector<CollisionPair*>*> tasks;
  for (std::uint32_t k : byLength) {
    listTask[k] = static_cast<std::uint32_t>(tasks.size());
    tasks.push_back(&dealing.lists[k]);
  }
  const auto listTasks = static_cast<std::uint32_t>(tasks.size());
  const auto sharedCount = static_cast<std::uint32_t>(dealing.shared.size());
  // A pass's tasks follow the earlier pass's: pass p's task t is
  // p * passTasks + t.
  const std::uint32_t passTasks = listTasks + sharedCount;
  if (passes < 1) passes = 1;
  taskOrder.reset(passTasks * static_cast<std::uint32_t>(passes));
  for (std::uint32_t p = 0; p < static_cast<std::uint32_t>(passes); ++p) {
    const std::uint32_t first = p * passTasks;
    if (p != 0) {
      // A list's bodies were written last in the pass before by the list,
      // or by a shared pair that waited for it; a shared pair's bodies, by
      // the shared pairs that write them last.
      const std::uint32_t before = first - passTasks;
      for (std::uint32_t t = 0; t < listTasks; ++t) taskOrder.wait(before + t, first + t);
      for (std::uint32_t i = 0; i < sharedCount; ++i) {
        for (std::uint32_t list : dealing.sharedAfterLists[i]) {
          taskOrder.wait(before + listTasks + i, first + listTask[list]);
        }
        for (std::uint32_t last : dealing.sharedAfterPass[i]) {
          taskOrder.wait(before + listTasks + last, first + listTasks + i);
        }
      }
    }
    for (std::uint32_t i = 0; i < sharedCount; ++i) {
      for (std::uint32_t list : dealing.sharedAfterLists[i])
        taskOrder.wait(first + listTask[list], first + listTasks + i);
      for (std::uint32_t earlier : dealing.sharedAfterShared[i]) {
        taskOrder.wait(first + listTasks + earlier, first + listTasks + i);
      }
    }
  }
  // A list is a long run of pairs: every list may go to a thread of its
  // own, as long as each thread has pairs enough to be worth waking.
  helpers = std::min(helpers, static_cast<std::uint32_t>(pairCount / kPairsPerThread));
  std::vector<std::uint32_t> flags(helpers + 1, 0);
  // A pair's contacts are its own: putting them back just before it is
  // resolved is putting them back before the pass.
  const auto process = [&](CollisionPair* pair, std::uint32_t worker) {
    if (fromFound) pair->restoreFoundContacts();
    return processPair(pair, mode, worker);
  };
  // Each task gathers its flags on its own and writes them once: the
  // threads' flags share a cache line.
  taskOrder.run(
      helpers != 0 ? workerPool() : nullptr, helpers,
      [&](std::uint32_t task, std::uint32_t worker) {
        std::uint32_t taskFlags = 0;
        const std::uint32_t inPass = task % passTasks;
        if (inPass < listTasks) {
          const std::vector<CollisionPair*>& list = *tasks[inPass];
          const std::size_t count = list.size();
          for (std::size_t i = 0; i < count; ++i) {
            if (i + kRecordAhead < count) prefetchRecord(list[i + kRecordAhead]);
            if (i + kContactsAhead < count) prefetchContacts(list[i + kContactsAhead]);
            taskFlags |= process(list[i], worker);
          }
        } else {
          taskFlags = process(dealing.shared[inPass - listTasks], worker);
        }
        flags[worker] |= taskFlags;
      },
      1);
  for (std::uint32_t f : flags) outFlags |= f;
  orderedExtraction = keptOption;
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

// ---- Resting bodies -----------------------------------------------------------------

void CollisionManager::settleRestingBodies() {
  // A pair of one or two contacts alone holds a body on a point or a line,
  // on which it may still tip; several such pairs that touch it at three
  // points not on one line hold it as one pair of three does. Without them
  // a body on an edge on the ground that leans on another, or one wedged
  // between others, is never put to rest and keeps its pile awake.
  restingTouches.clear();
  for (auto* node = stepPairs.getFirst(); node != nullptr; node = node->next) {
    const CollisionPair* pair = node->value;
    if (pair->contactCount >= kRestingContacts || pair->firstBody == nullptr || pair->secondBody == nullptr) continue;
    const RBDynamics& first = pair->firstBody->getDyn();
    const RBDynamics& second = pair->secondBody->getDyn();
    for (std::uint32_t i = 0; i < std::min(pair->contactCount, kMaxPairContacts); ++i) {
      restingTouches.emplace_back(pair->firstBody, first.orientation * pair->points[i] + first.position);
      restingTouches.emplace_back(pair->secondBody, second.orientation * pair->secondPoints[i] + second.position);
    }
  }
  // Grouped by body; each body's points keep the pairs' order.
  std::stable_sort(restingTouches.begin(), restingTouches.end(),
                   [](const auto& a, const auto& b) { return std::less<HardBody*>()(a.first, b.first); });
  touchHeldBodies.clear();
  for (auto begin = restingTouches.begin(); begin != restingTouches.end();) {
    auto end = begin;
    while (end != restingTouches.end() && end->first == begin->first) ++end;
    if (end - begin >= static_cast<std::ptrdiff_t>(kRestingContacts) && spansTriangle(begin, end)) {
      touchHeldBodies.push_back(begin->first);
    }
    begin = end;
  }
  const auto heldByTouches = [this](HardBody* body) {
    return std::binary_search(touchHeldBodies.begin(), touchHeldBodies.end(), body, std::less<HardBody*>());
  };
  for (auto* node = stepPairs.getFirst(); node != nullptr; node = node->next) {
    CollisionPair* pair = node->value;
    if (pair->firstBody == nullptr || pair->secondBody == nullptr) continue;
    HardBody* A = pair->firstBody;
    HardBody* B = pair->secondBody;
    if (pair->contactCount < kRestingContacts) {
      // The body the pair may put to rest: the second only when the first
      // sleeps on it.
      HardBody* resting = !B->isStatic() && B->isActive() ? B : A;
      if (pair->contactCount == 0 || !heldByTouches(resting)) continue;
    }
    if (B->isStatic()) {
      if (A->isActive() && isRestingBody(A, kRestThreshold)) {
        zeroMotion(A);
        A->deActivate();
      }
    } else if (B->isActive()) {
      if (A->isActive()) continue;
      if (!isRestingBody(A, kRestThreshold)) {
        A->activate();
      } else if (isRestingBody(B, kSupportRestThreshold)) {
        zeroMotion(B);
        B->deActivate();
      }
    } else {
      if (!A->isActive()) continue;
      if (!isRestingBody(B, kRestThreshold)) {
        B->activate();
      } else if (isRestingBody(A, kSupportRestThreshold)) {
        zeroMotion(A);
        A->deActivate();
      }
    }
  }
}

void CollisionManager::alignRestingBodies() {
  for (auto* node = crackerPairs.getFirst(); node != nullptr; node = node->next) {
    CollisionPair* pair = node->value;
    HardBody* A = pair->firstBody;
    HardBody* C = pair->secondBody;
    if (A == nullptr || C == nullptr || (C->getType() != kCrackerBody && C->getType() != kCapsuleBody)) continue;
    ZOVcapsule rim;
    if (!static_cast<const CapsuleBody*>(C)->placedCapsule(rim)) continue;
    const double r = rim.radius;
    const MgcVector3& c = rim.center;
    const RBDynamics& state = A->getDyn();
    const MgcVector3 up(state.orientation[0][2], state.orientation[1][2], state.orientation[2][2]);
    MgcVector3 Z(0.0, 0.0, 1.0);
    if (!(up.Dot(Z) > kUprightDot)) continue;
    double h = (state.position - c).Dot(Z);
    if (h < 0.0) {
      Z = -Z;
      h = -h;
    }
    // A body above the rim's reach has no place on it.
    if (h > r) continue;
    const MgcVector3 q = c + Z * h;
    MgcVector3 u = state.position - q;
    if (u.Unitize(zov::kUnitizeTolerance) <= zov::kUnitizeTolerance) continue;
    const MgcVector3 s = q + u * (2.0 * std::sqrt(r * r - h * h));
    MgcVector3 w = (c + Z * r) - s;
    if (w.Unitize(zov::kUnitizeTolerance) <= zov::kUnitizeTolerance) continue;
    const MgcVector3 a = u.Cross(w);
    const double sine = std::min(1.0, a.Length());
    const double angle = std::asin(sine);
    const double reach = (state.position - s).Length();
    if (angle > zov::kTolerance) {
      // rotate takes an angular impulse: the inertia turns the rotation
      // vector into one.
      const MgcVector3 turn = a * (angle / a.Length());
      A->rotate(A->getDyn().worldInertia * turn);
    }
    const MgcVector3 target = s + w * reach;
    if (auto* plain = dynamic_cast<PrivateHardBody*>(A)) {
      plain->moveTo(MgcVector3(), target);
    } else {
      A->setPosition(target);
    }
  }
}

// ---- Point-mass impact ----------------------------------------------------------------

void CollisionManager::resolveBodyImpact(double restitution, double friction, const MgcVector3& point,
                                         double partnerInvMass, const MgcVector3& normal, MgcVector3& partnerVelocity,
                                         HardBody* body) {
  if (body == nullptr || !g_lsqrSystems[0]) return;
  const double e = std::min(restitution, body->getRestitutionCoeff());
  const double mu = std::min(friction, body->getFrictionCoeff());
  const RBDynamics& state = body->getDyn();
  const MgcVector3 r = point - state.position;
  MgcVector3 u = partnerVelocity;
  if (contactkinematics::energyOf(*body) > zov::kTolerance) u -= contactkinematics::velocityAt(state, point);
  const double vn = u.Dot(normal);
  if (vn > zov::kTolerance) return;

  // K J is the change of the relative velocity that the impulse J on the
  // partner (and -J on the body) makes.
  MgcMatrix3 K = MgcMatrix3::IDENTITY * partnerInvMass;
  if (!body->isStatic()) {
    const MgcMatrix3 rx = impactCrossMatrix(r);
    K = K + MgcMatrix3::IDENTITY * body->getInvMass() - rx * state.worldInvInertia * rx;
  }
  LsqrSystem& system = *g_lsqrSystems[0];
  dmat* A = nullptr;
  dvec* b = nullptr;
  dvec* x = nullptr;
  if (!system.prepare(3, A, b, x)) return;
  const MgcVector3 target = normal * (-e * vn) - u;
  for (int row = 0; row < 3; ++row) {
    dvec line = getMatrixRow(A, static_cast<std::uint32_t>(row));
    for (int col = 0; col < 3; ++col) line.elements[col] = K[row][col];
    b->elements[row] = target[row];
  }
  if (!system.solve(3, A, b, x)) return;
  MgcVector3 J(x->elements[0], x->elements[1], x->elements[2]);

  const double along = J.Dot(normal);
  const MgcVector3 tangential = J - normal * along;
  if (tangential.Length() > mu * along) {
    // Sliding: the impulse lies on the friction cone, against the slide,
    // and still turns the approach into -e vn.
    MgcVector3 t = u - normal * vn;
    if (t.Unitize(zov::kUnitizeTolerance) <= zov::kUnitizeTolerance) {
      t = -tangential;
      t.Unitize(zov::kUnitizeTolerance);
    }
    const MgcVector3 direction = normal - t * mu;
    const double denominator = normal.Dot(K * direction);
    if (!(std::fabs(denominator) > zov::kTolerance)) return;
    J = direction * (-(1.0 + e) * vn / denominator);
  }
  partnerVelocity += J * partnerInvMass;
  if (!body->isStatic()) body->applyImpulse(-J, point);
}
