// The collision manager's contact resolution: preparing a pair's contacts,
// classifying the pair, collision impulses with restitution and Coulomb
// friction, resting-contact impulses coupled with the contact manifolds, the
// rest test and the staging of the pairs of the sequential pass.

#include <cmath>

#include "engine/bodies/HardBody.h"
#include "engine/bodies/TriMeshBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactKinematics.h"
#include "engine/collision/ContactManifold.h"
#include "engine/collision/ContactSolver.h"
#include "engine/collision/SolverWorkspace.h"
#include "engine/solver/ContactBlocks.h"
#include "engine/solver/Lsqr.h"
#include "geometry/ContactBuilders.h"
#include "math/Tolerances.h"

using contactkinematics::energyOf;
using contactkinematics::velocityAt;
using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// Squared speeds below this count as no motion when a pair is classified.
constexpr double kStillSquared = 1e-10;
/// A static body that moves is approaching when its contact closes faster.
constexpr double kMovingSupportApproach = -2e-5;
/// The friction back-off scales friction by this factor per try ...
constexpr double kBackoffFactor = 0.8;
/// ... down to this factor (a single-precision 0.4) ...
constexpr double kBackoffFloor = static_cast<double>(0.4f);
/// ... below which the largest factor that does not turn the sliding round
/// is found by this many halvings (to 0.4 / 2^12, about 1e-4).
constexpr int kBackoffHalvings = 12;
/// Relative rounding allowed in the energy balance of a collision.
constexpr double kEnergyRounding = 1e-12;
/// Calls in a row of the rest test below its threshold before a body rests.
constexpr std::int32_t kRestingCalls = 20;

/// The unit direction opposing the tangential part of u, or zero when that
/// part is not longer than 1e-5. Inlined, so that u and the result stay in
/// registers: through memory, the callers' copies of them wait on stores
/// that a wide load cannot take its data from.
[[gnu::always_inline]] inline MgcVector3 opposingTangent(const MgcVector3& u, const MgcVector3& n) {
  MgcVector3 t = u - n * u.Dot(n);
  const double squared = t.SquaredLength();
  if (squared <= kStillSquared) return MgcVector3();
  return t * (-1.0 / std::sqrt(squared));
}

/// m s, each element's product as MgcMatrix3's product with a scalar forms
/// it, inline: every collision solve makes two.
MgcMatrix3 scaledBy(const MgcMatrix3& m, double s) {
  return MgcMatrix3(m[0][0] * s, m[0][1] * s, m[0][2] * s, m[1][0] * s, m[1][1] * s, m[1][2] * s, m[2][0] * s,
                    m[2][1] * s, m[2][2] * s);
}

/// [r]: the matrix with [r] v = r x v.
MgcMatrix3 crossProductMatrix(const MgcVector3& r) {
  return MgcMatrix3(0.0, -r.z, r.y, r.z, 0.0, -r.x, -r.y, r.x, 0.0);
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

/// block := block - [r] t, [r] = crossProductMatrix(r), with the products'
/// sums formed as [r] * t forms them.
void subtractProduct(MgcMatrix3& block, const MgcVector3& r, const MgcMatrix3& t) {
  const MgcMatrix3 a = crossProductMatrix(r);
  for (int i = 0; i < 3; ++i) {
    for (int c = 0; c < 3; ++c) block[i][c] -= a[i][0] * t[0][c] + a[i][1] * t[1][c] + a[i][2] * t[2][c];
  }
}

/// Hands each block (i, j) of the extraction system of n contacts to
/// put(i, j, block): block (i, j) is the velocity change at contact i of a
/// unit impulse at contact j, c I - [r_i] (s I^-1) [r_j] per body, [r] the
/// cross-product matrix.
template <typename Subtract, typename Put>
void extractionBlocks(std::uint32_t n, const HardBody* first, const MgcVector3* firstArms, const HardBody* second,
                      const MgcVector3* secondArms, double s, Subtract subtract, Put put) {
  const double c =
      (first != nullptr ? s * first->getInvMass() : 0.0) + (second != nullptr ? s * second->getInvMass() : 0.0);
  const MgcMatrix3 inertia1 = first != nullptr ? first->getDyn().worldInvInertia * s : MgcMatrix3::ZERO;
  const MgcMatrix3 inertia2 = second != nullptr ? second->getDyn().worldInvInertia * s : MgcMatrix3::ZERO;
  // (s I^-1) [r_j] is made once per contact j.
  MgcMatrix3 turned1[kMaxPairContacts];
  MgcMatrix3 turned2[kMaxPairContacts];
  const std::uint32_t count = n < kMaxPairContacts ? n : kMaxPairContacts;
  for (std::uint32_t j = 0; j < count; ++j) {
    if (first != nullptr) turned1[j] = inertia1 * crossProductMatrix(firstArms[j]);
    if (second != nullptr) turned2[j] = inertia2 * crossProductMatrix(secondArms[j]);
  }
  const MgcMatrix3 diagonal = MgcMatrix3::IDENTITY * c;
  for (std::uint32_t i = 0; i < count; ++i) {
    for (std::uint32_t j = 0; j < count; ++j) {
      // c I - [r1_i] turned1_j - [r2_i] turned2_j, entry by entry.
      MgcMatrix3 block = diagonal;
      if (first != nullptr) subtract(block, firstArms[i], turned1[j]);
      if (second != nullptr) subtract(block, secondArms[i], turned2[j]);
      put(i, j, block);
    }
  }
}

/// The velocity of a static triangle-mesh body at world point p from its
/// per-vertex velocities over the contact's face (its first triangle).
/// False when the mesh carries none or the face or its vertices do not
/// exist.
bool vertexVelocity(const ZOVmesh& mesh, std::uint32_t face, const MgcVector3& p, MgcVector3& velocity) {
  if (mesh.hasVertexData == 0 || mesh.vertexData == nullptr || mesh.worldVertices == nullptr || mesh.faces == nullptr ||
      face >= mesh.numFaces || mesh.faces[face].numVertices < 3) {
    return false;
  }
  MgcVector3 triangle[3];
  std::uint32_t corners[3];
  for (int k = 0; k < 3; ++k) {
    corners[k] = mesh.faces[face].vertices[k];
    if (corners[k] >= mesh.numVertices) return false;
    triangle[k] = mesh.worldVertices[corners[k]];
  }
  double weights[4] = {};
  triangleClosestPointWeights(triangle, p, weights);
  velocity = MgcVector3();
  for (int k = 0; k < 3; ++k) {
    if (weights[k] != 0.0) velocity += mesh.vertexData[corners[k]] * weights[k];
  }
  return true;
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

// ---- Preparation and classification ------------------------------------------

void CollisionManager::prepareContacts(CollisionPair& pair) {
  HardBody* first = pair.firstBody;
  HardBody* second = pair.secondBody;
  if (first == nullptr || second == nullptr) return;
  const RBDynamics& state1 = first->getDyn();
  const RBDynamics& state2 = second->getDyn();
  const MgcMatrix3 toFirst = state1.orientation.Transpose();
  const MgcMatrix3 toSecond = state2.orientation.Transpose();

  MgcVector3 world[kMaxPairContacts];
  for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
    world[i] = pair.points[i];
    const MgcVector3 onSecond = world[i] - pair.normals[i] * pair.depths[i];
    pair.points[i] = toFirst * (world[i] - state1.position);
    pair.secondPoints[i] = toSecond * (onSecond - state2.position);
  }
  pair.secondCount = pair.contactCount;

  // Arms and relative velocities are the classification's, made from the
  // bodies' states at each solve; tangents are the friction back-off's.
  staticContactVelocities(pair);
  for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
    pair.marks[i] = 0;
    pair.foundIndex[i] = static_cast<std::uint8_t>(i);
  }

  pair.status = kContactColliding;
  setPairCoefficients(pair);
  first->setCollisionState(kMotionStateResolved);
  second->setCollisionState(kMotionStateResolved);
}

void CollisionManager::setPairCoefficients(CollisionPair& pair) {
  const HardBody* first = pair.firstBody;
  const HardBody* second = pair.secondBody;
  pair.restitution = std::fmin(first->getRestitutionCoeff(), second->getRestitutionCoeff());
  pair.friction = second->getType() == kBarrierBody ? first->getFrictionCoeff()
                                                    : std::fmax(first->getFrictionCoeff(), second->getFrictionCoeff());
}

void CollisionManager::staticContactVelocities(CollisionPair& pair) {
  HardBody* first = pair.firstBody;
  HardBody* second = pair.secondBody;
  const bool moving = first != nullptr && second != nullptr && second->isStatic();
  // Only a static second body has velocities of its own to keep: a pair
  // without them reads zero.
  if (moving && !pair.holdStaticVelocities()) return;
  if (pair.staticVelocities != nullptr) {
    for (std::uint32_t i = 0; i < pair.contactCount; ++i) pair.staticVelocities[i] = MgcVector3();
  }
  if (!moving) return;
  // The mesh is read only while its world data are current: placing it here
  // would write a body that other workers may be reading.
  const ZOVmesh* mesh =
      second->getType() == kTriMeshBody && second->isWorldModified() ? second->getWorldMesh() : nullptr;
  const RBDynamics& state1 = first->getDyn();
  const RBDynamics& state2 = second->getDyn();
  for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
    const MgcVector3 p = state1.orientation * pair.points[i] + state1.position;
    // A face id the generator left unset, or one out of range, falls back
    // to the body's rigid velocity.
    if (mesh != nullptr && vertexVelocity(*mesh, pair.features[i].secondFeature, p, pair.staticVelocities[i])) {
      continue;
    }
    pair.staticVelocities[i] = velocityAt(state2, p);
  }
}

namespace {

/// The arms and relative velocities of the pair's contacts from the bodies'
/// states. Again, the arms are the ones in the pair's arrays, made by the
/// classification before from the same positions.
template <bool Again>
void classifyMotion(CollisionPair& pair, const RBDynamics& state1, const RBDynamics& state2, bool staticSecond) {
  // The states in locals: the stores into the pair's arrays could
  // otherwise be the bodies' states, read again for every contact. The
  // velocities are velocityAt's, on the arms it subtracts the same way;
  // the second body's is the stored one when it is static, else its rigid
  // velocity, however slow (a body that creeps into the first must be
  // stopped like any other).
  const MgcMatrix3 turn1 = state1.orientation;
  const MgcVector3 at1 = state1.position;
  const MgcVector3 at2 = state2.position;
  const MgcVector3 spin1 = state1.angularVelocity;
  const MgcVector3 move1 = state1.linearVelocity;
  const MgcVector3 spin2 = staticSecond ? MgcVector3() : state2.angularVelocity;
  const MgcVector3 move2 = staticSecond ? MgcVector3() : state2.linearVelocity;
  const std::uint32_t count = pair.contactCount;
  MgcVector3* const points = pair.points;
  MgcVector3* const firstArms = pair.firstArms;
  MgcVector3* const secondArms = pair.secondArms;
  MgcVector3* const relative = pair.relativeVelocities;
  const MgcVector3* const held = pair.staticVelocities;
  for (std::uint32_t i = 0; i < count; ++i) {
    MgcVector3 arm1;
    MgcVector3 arm2;
    if (Again) {
      arm1 = firstArms[i];
      arm2 = secondArms[i];
    } else {
      const MgcVector3 p = turn1 * points[i] + at1;
      arm1 = p - at1;
      arm2 = p - at2;
      firstArms[i] = arm1;
      secondArms[i] = arm2;
    }
    MgcVector3 v2;
    if (!staticSecond) {
      v2 = spin2.Cross(arm2) + move2;
    } else if (held != nullptr) {
      v2 = held[i];
    }
    MgcVector3 u = (spin1.Cross(arm1) + move1) - v2;
    if (u.SquaredLength() < kStillSquared) u = MgcVector3();
    relative[i] = u;
  }
}

}  // namespace

void CollisionManager::classifyContacts(CollisionPair& pair, std::uint32_t hint, bool again) {
  HardBody* first = pair.firstBody;
  HardBody* second = pair.secondBody;
  if (first == nullptr || second == nullptr) return;
  const RBDynamics& state1 = first->getDyn();
  const RBDynamics& state2 = second->getDyn();
  if (again) {
    classifyMotion<true>(pair, state1, state2, second->isStatic());
  } else {
    classifyMotion<false>(pair, state1, state2, second->isStatic());
  }

  if (hint == kContactResting) {
    for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
      if (pair.relativeVelocities[i].Dot(pair.normals[i]) < -zov::kTolerance) {
        pair.status = kContactResting;
        return;
      }
    }
    return;
  }

  const RBDynamics& last1 = first->getLastDyn();
  const RBDynamics& last2 = second->getLastDyn();
  const bool secondMoves = !second->isStatic();
  pair.status = kContactNone;
  for (std::uint32_t i = 0; i < pair.contactCount && pair.status != kContactColliding; ++i) {
    const MgcVector3& n = pair.normals[i];
    const double approach = pair.relativeVelocities[i].Dot(n);
    if (approach >= -zov::kTolerance) continue;
    // Whether the contact was approaching in the last state already: then it
    // collides; one that only now approaches is resting.
    const MgcVector3 lastPoint1 = last1.orientation * pair.points[i] + last1.position;
    double before = 0.0;
    double threshold = -zov::kTolerance;
    if (secondMoves) {
      const MgcVector3 lastPoint2 = last2.orientation * pair.secondPoints[i] + last2.position;
      before = (velocityAt(last1, lastPoint1) - velocityAt(last2, lastPoint2)).Dot(n);
    } else if (energyOf(*second) > zov::kTolerance) {
      before = approach;
      threshold = kMovingSupportApproach;
    } else {
      before = velocityAt(last1, lastPoint1).Dot(n);
    }
    pair.status = before > threshold ? kContactResting : kContactColliding;
  }
}

// ---- Filters -----------------------------------------------------------------

void CollisionManager::compactContacts(CollisionPair& pair, const std::uint8_t* marks) {
  const std::uint32_t n = pair.setAsideMarked(marks);
  pair.contactCount = n;
  if (pair.secondCount > n) pair.secondCount = n;
  for (std::uint8_t& mark : pair.marks) mark = 0;
}

// The filters read the pair's count and arrays into locals: a store into
// their byte marks could otherwise be any of them, read again after it.

void CollisionManager::removeSeparatingContacts(CollisionPair& pair) {
  std::uint8_t marks[kMaxPairContacts] = {};
  bool any = false;
  const std::uint32_t count = pair.contactCount;
  const MgcVector3* const relative = pair.relativeVelocities;
  const MgcVector3* const normals = pair.normals;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (relative[i].Dot(normals[i]) > zov::kTolerance) marks[i] = 1;
    any = any || marks[i] != 0;
  }
  if (any) compactContacts(pair, marks);
}

void CollisionManager::removeDuplicateContacts(CollisionPair& pair) {
  std::uint8_t marks[kMaxPairContacts] = {};
  bool any = false;
  const std::uint32_t count = pair.contactCount;
  const MgcVector3* const points = pair.points;
  for (std::uint32_t j = 1; j < count; ++j) {
    for (std::uint32_t i = 0; i < j; ++i) {
      if (marks[i] == 0 && (points[j] - points[i]).SquaredLength() < zov::kTolerance) {
        marks[j] = 1;
        any = true;
        break;
      }
    }
  }
  if (any) compactContacts(pair, marks);
}

void CollisionManager::removeOpposingContacts(CollisionPair& pair) {
  const std::uint32_t count = pair.contactCount;
  const MgcVector3* const normals = pair.normals;
  // Contacts on one normal (a face on a face) do not oppose: n . n >= 0.
  bool oneNormal = true;
  for (std::uint32_t i = 1; i < count && oneNormal; ++i) {
    oneNormal = normals[i].x == normals[0].x && normals[i].y == normals[0].y && normals[i].z == normals[0].z;
  }
  if (oneNormal) return;
  std::uint8_t marks[kMaxPairContacts] = {};
  bool any = false;
  const double* const depths = pair.depths;
  for (std::uint32_t i = 0; i < count; ++i) {
    for (std::uint32_t j = i + 1; j < count && marks[i] == 0; ++j) {
      if (marks[j] != 0 || normals[i].Dot(normals[j]) >= -zov::kTolerance) continue;
      any = true;
      // The shallower contact (the larger depth value) goes, j on a tie.
      if (depths[i] > depths[j]) {
        marks[i] = 1;
      } else {
        marks[j] = 1;
      }
    }
  }
  if (any) compactContacts(pair, marks);
}

// ---- Systems ------------------------------------------------------------------

void CollisionManager::buildExtractionMatrix(std::uint32_t n, const HardBody* first, const MgcVector3* firstArms,
                                             const HardBody* second, const MgcVector3* secondArms, double s,
                                             ContactBlocks* K) {
  // The factors of extractionBlocks' blocks, formed as it forms them.
  const double c =
      (first != nullptr ? s * first->getInvMass() : 0.0) + (second != nullptr ? s * second->getInvMass() : 0.0);
  const MgcMatrix3 inertia1 = first != nullptr ? scaledBy(first->getDyn().worldInvInertia, s) : MgcMatrix3::ZERO;
  const MgcMatrix3 inertia2 = second != nullptr ? scaledBy(second->getDyn().worldInvInertia, s) : MgcMatrix3::ZERO;
  K->reset(n < kMaxPairContacts ? n : kMaxPairContacts, c, first != nullptr ? &inertia1 : nullptr, firstArms,
           second != nullptr ? &inertia2 : nullptr, secondArms);
}

void CollisionManager::buildExtractionMatrix(std::uint32_t n, const HardBody* first, const MgcVector3* firstArms,
                                             const HardBody* second, const MgcVector3* secondArms, double s, dmat* K) {
  extractionBlocks(
      n, first, firstArms, second, secondArms, s,
      [](MgcMatrix3& block, const MgcVector3& r, const MgcMatrix3& t) { subtractProduct(block, r, t); },
      [K](std::uint32_t i, std::uint32_t j, const MgcMatrix3& block) {
        for (int r = 0; r < 3; ++r) {
          double* row = K->data + static_cast<std::size_t>(3 * i + r) * K->stride + 3 * j;
          row[0] = block[r][0];
          row[1] = block[r][1];
          row[2] = block[r][2];
        }
      });
}

void CollisionManager::buildCollisionMatrix(CollisionPair& pair, double s, ContactBlocks* K) {
  buildExtractionMatrix(pair.contactCount, pair.movesFirst() ? pair.firstBody : nullptr, pair.firstArms,
                        pair.movesSecond() ? pair.secondBody : nullptr, pair.secondArms, s, K);
}

void CollisionManager::normalMatrix(const CollisionPair& pair, const ContactBlocks* K, dmat* N) {
  K->project(pair.normals, pair.normals, N);
}

void CollisionManager::frictionNormalMatrix(const CollisionPair& pair, const ContactBlocks* K, double f, dmat* N) {
  ContactVectors directions;
  const std::uint32_t n = pair.contactCount < kMaxPairContacts ? pair.contactCount : kMaxPairContacts;
  for (std::uint32_t j = 0; j < n; ++j) directions[j] = pair.normals[j] + pair.tangents[j] * (f * pair.friction);
  K->project(pair.normals, directions, N);
}

void CollisionManager::normalComponents(const CollisionPair& pair, const dvec* rhs, dvec* out) {
  for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
    const double* b = rhs->elements + 3 * i;
    out->elements[i] = pair.normals[i].Dot(MgcVector3(b[0], b[1], b[2]));
  }
}

void CollisionManager::applyContactImpulse(CollisionPair& pair, std::uint32_t i, const MgcVector3& J) {
  const MgcVector3 p = pair.firstBody->getDyn().position + pair.firstArms[i];
  if (pair.movesFirst()) pair.firstBody->applyImpulse(J, p);
  if (pair.movesSecond()) pair.secondBody->applyImpulse(-J, p);
  const std::uint32_t k = pair.foundIndex[i];
  if (k < pair.found.count) pair.found.carried[k] += J;
}

// ---- Collision -----------------------------------------------------------------

bool CollisionManager::lendSolveArrays(CollisionPair& pair, std::uint32_t worker) {
  SolverWorkspace* workspace = workspaceOf(worker);
  if (workspace == nullptr) return false;
  SolveArrays& arrays = workspace->solveArrays();
  if (pair.firstArms != arrays.firstArms) pair.useSolveArrays(&arrays);
  return true;
}

void CollisionManager::resolveCollision(CollisionPair& pair, std::uint32_t hint, ContactBlocks*& K, double s,
                                        std::uint8_t manifoldOption, std::uint32_t worker) {
  K = nullptr;
  if (pair.firstBody == nullptr || pair.secondBody == nullptr || pair.contactCount == 0) return;
  if (!lendSolveArrays(pair, worker)) return;
  classifyContacts(pair, hint);
  if (pair.status == kContactNone) return;
  removeSeparatingContacts(pair);
  removeDuplicateContacts(pair);
  removeOpposingContacts(pair);
  if (pair.contactCount == 0) return;
  countManifoldRows(pair);
  solveCollisionImpulses(pair, hint, K, s, worker);
  if (hint == kContactColliding && manifoldOption != 0) resolveRestingGroup(pair, s, worker);
}

void CollisionManager::solveCollisionImpulses(CollisionPair& pair, std::uint32_t hint, ContactBlocks*& K, double s,
                                              std::uint32_t worker) {
  SolverWorkspace* workspace = workspaceOf(worker);
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

  ResolutionCounters& counters = resolutionCounters[worker < kThreadSlotCount ? worker : 0];
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

void CollisionManager::backOffFriction(CollisionPair& pair, ContactBlocks* K, dvec* b, dvec* x, std::uint32_t worker) {
  SolverWorkspace* workspace = workspaceOf(worker);
  if (workspace == nullptr) return;
  ResolutionCounters& counters = resolutionCounters[worker < kThreadSlotCount ? worker : 0];
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

void CollisionManager::resolveContact(CollisionPair& pair, std::uint32_t hint, ContactBlocks* K, double s,
                                      std::uint32_t worker, bool afterCollision) {
  if (pair.firstBody == nullptr || pair.secondBody == nullptr || pair.contactCount == 0) return;
  if (!lendSolveArrays(pair, worker)) return;
  classifyContacts(pair, hint, afterCollision);
  if (pair.status == kContactNone) return;
  countManifoldRows(pair);
  solveContactImpulses(pair, hint, K, s, worker);
}

void CollisionManager::solveContactImpulses(CollisionPair& pair, std::uint32_t hint, ContactBlocks* K, double s,
                                            std::uint32_t worker) {
  SolverWorkspace* workspace = workspaceOf(worker);
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

void CollisionManager::resolveRestingGroup(CollisionPair& pair, double s, std::uint32_t worker) {
  std::uint32_t rows = 0;
  for (auto* node = pair.manifolds.getFirst(); node != nullptr; node = node->next) rows += node->value->pointCount;
  SolverWorkspace* workspace = workspaceOf(worker);
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

// ---- Rest test and staging ---------------------------------------------------------

bool CollisionManager::isRestingBody(HardBody* body, float threshold) {
  if (body == nullptr) return false;
  if (body->getType() == kFractureBody && body->isBreakByFrame()) return false;
  const RBDynamics& now = body->getDyn();
  const RBDynamics& last = body->getLastDyn();
  const double linear = now.linearVelocity.SquaredLength();
  const double angular = now.angularVelocity.SquaredLength();
  const double h = static_cast<double>(threshold);
  const bool speedingUp = linear - last.linearVelocity.SquaredLength() >= zov::kTolerance ||
                          angular - last.angularVelocity.SquaredLength() >= zov::kTolerance;
  if (!speedingUp && linear < h && angular < h) {
    body->countSleeping();
    return body->getsleepCount() >= kRestingCalls;
  }
  body->resetCountSleeping();
  return false;
}

void CollisionManager::stageContacts(EngineList<CollisionPair*>& pairs, EngineList<CollisionPair*>& ordered,
                                     std::int32_t& stage) {
  constexpr std::int32_t kNoStage = -1;
  for (auto* node = pairs.getFirst(); node != nullptr; node = node->next) {
    for (HardBody* b : {node->value->firstBody, node->value->secondBody}) {
      b->setContactStage(kNoStage);
      b->disableInContact();
    }
  }
  while (pairs.getFirst() != nullptr) {
    // The seed: the most energetic body left, the lowest among near ties.
    HardBody* seed = nullptr;
    double best = 0.0;
    for (auto* node = pairs.getFirst(); node != nullptr; node = node->next) {
      for (HardBody* b : {node->value->firstBody, node->value->secondBody}) {
        const double energy = energyOf(*b);
        const bool tie = std::fabs(energy - best) <= zov::kTolerance;
        if (seed == nullptr || (!tie && energy > best) || (tie && b->getDyn().position.y < seed->getDyn().position.y)) {
          if (seed == nullptr || !tie) best = energy;
          seed = b;
        }
      }
    }
    seed->enableInContact();
    seed->setContactStage(stage);
    // Outward from the seed: the first pair touching a body reached so far.
    for (;;) {
      CollisionPair* next = nullptr;
      for (auto* node = pairs.getFirst(); node != nullptr && next == nullptr; node = node->next) {
        if (node->value->firstBody->isInContact() || node->value->secondBody->isInContact()) next = node->value;
      }
      if (next == nullptr) break;
      pairs.remove(next);
      ordered.append(next);
      HardBody* a = next->firstBody;
      HardBody* b = next->secondBody;
      if (a->isInContact() != b->isInContact()) {
        HardBody* reached = a->isInContact() ? a : b;
        HardBody* other = a->isInContact() ? b : a;
        const std::int32_t outward = reached->getContactStage() + 1;
        if (other->getContactStage() < outward) other->setContactStage(outward);
      }
      a->enableInContact();
      b->enableInContact();
      ++stage;
    }
  }
}

// ---- Bookkeeping ---------------------------------------------------------------------

std::uint32_t CollisionManager::resolvedBodies(const CollisionPair& pair, HardBody** out, std::uint32_t capacity) {
  std::uint32_t count = 0;
  auto add = [&](HardBody* b) {
    if (b == nullptr || b->isStatic() || count >= capacity) return;
    for (std::uint32_t i = 0; i < count; ++i)
      if (out[i] == b) return;
    out[count++] = b;
  };
  add(pair.firstBody);
  add(pair.secondBody);
  for (auto* node = pair.manifolds.getFirst(); node != nullptr; node = node->next) {
    add(ContactSolver::solverBody(*node->value));
  }
  return count;
}

ResolutionCounters CollisionManager::getResolutionCounters(std::uint32_t worker) const {
  if (worker < kThreadSlotCount) return resolutionCounters[worker];
  ResolutionCounters sum;
  for (const ResolutionCounters& c : resolutionCounters) {
    sum.withinCone += c.withinCone;
    sum.backedOff += c.backedOff;
    sum.frictionDropped += c.frictionDropped;
  }
  return sum;
}
