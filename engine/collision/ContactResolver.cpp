// The contact resolver's preparation of a pair's contacts, its
// classification, the contact filters, the rest test and the staging of the
// pairs of the sequential pass. The impulses follow in ContactImpulses.cpp,
// the systems they solve in ContactSystems.cpp.

#include "engine/collision/ContactResolver.h"

#include <cmath>

#include "engine/bodies/HardBody.h"
#include "engine/bodies/TriMeshBody.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactDepths.h"
#include "engine/collision/ContactKinematics.h"
#include "engine/collision/ContactSolver.h"
#include "geometry/ContactBuilders.h"
#include "math/Tolerances.h"

using contactkinematics::energyOf;
using contactkinematics::velocityAt;
using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// A static body that moves is approaching when its contact closes faster.
constexpr double kMovingSupportApproach = -2e-5;
/// Calls in a row of the rest test below its threshold before a body rests.
constexpr std::int32_t kRestingCalls = 20;

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

}  // namespace

// ---- Preparation and classification ------------------------------------------

void ContactResolver::prepareContacts(CollisionPair& pair) {
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

void ContactResolver::setPairCoefficients(CollisionPair& pair) {
  const HardBody* first = pair.firstBody;
  const HardBody* second = pair.secondBody;
  pair.restitution = std::fmin(first->getRestitutionCoeff(), second->getRestitutionCoeff());
  pair.friction = second->getType() == kBarrierBody ? first->getFrictionCoeff()
                                                    : std::fmax(first->getFrictionCoeff(), second->getFrictionCoeff());
}

void ContactResolver::staticContactVelocities(CollisionPair& pair) {
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
/// classification before from the same positions. A contact whose points
/// overlap by less than extraction leaves bodies resting, or stand apart,
/// approaches only by what would close more than that gap (closingGap) over
/// the solve step (`closingRate` is one over it): the corner of a leaning
/// face that stands above the other face is free to come down.
template <bool Again>
void classifyMotion(CollisionPair& pair, const RBDynamics& state1, const RBDynamics& state2, bool staticSecond,
                    double closingRate) {
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
  const MgcVector3* const normals = pair.normals;
  const double* const depths = pair.depths;
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
    if (u.SquaredLength() < ContactResolver::kStillSquared) u = MgcVector3();
    const double gap = closingGap(depths[i]);
    if (gap > 0.0) u += normals[i] * (gap * closingRate);
    relative[i] = u;
  }
}

/// A bouncing pair's contacts that leave at a speed (CollisionPair::
/// approaches) ask for that speed apart rather than for no approach: their
/// gap, which they closed within the step, no longer counts.
void askForBounces(CollisionPair& pair, double closingRate) {
  MgcVector3* const relative = pair.relativeVelocities;
  for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
    const double speed = pair.approaches[pair.foundIndex[i]];
    if (!(speed > 0.0)) continue;
    const double gap = closingGap(pair.depths[i]);
    relative[i] -= pair.normals[i] * ((gap > 0.0 ? gap * closingRate : 0.0) + speed);
  }
}

/// A swept pair's contacts that stand apart strike, if at all, within the
/// advance's integration steps, which give them their bounce when they do
/// (CollisionManager::processPairs): the hits leave them out.
void leaveGapsToTheAdvance(CollisionPair& pair) {
  for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
    if (closingGap(pair.depths[i]) > 0.0) pair.relativeVelocities[i] = pair.normals[i];
  }
}

}  // namespace

void ContactResolver::classifyContacts(CollisionPair& pair, std::uint32_t hint, double closingRate, bool again) {
  HardBody* first = pair.firstBody;
  HardBody* second = pair.secondBody;
  if (first == nullptr || second == nullptr) return;
  const RBDynamics& state1 = first->getDyn();
  const RBDynamics& state2 = second->getDyn();
  if (again) {
    classifyMotion<true>(pair, state1, state2, second->isStatic(), closingRate);
  } else {
    classifyMotion<false>(pair, state1, state2, second->isStatic(), closingRate);
  }

  if (hint == kContactResting) {
    if (pair.bouncing && pair.approaches != nullptr) askForBounces(pair, closingRate);
    for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
      if (pair.relativeVelocities[i].Dot(pair.normals[i]) < -zov::kTolerance) {
        pair.status = kContactResting;
        return;
      }
    }
    return;
  }

  if (pair.swept != 0 && pair.restitution > 0.0) leaveGapsToTheAdvance(pair);
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

void ContactResolver::compactContacts(CollisionPair& pair, const std::uint8_t* marks) {
  const std::uint32_t n = pair.setAsideMarked(marks);
  pair.contactCount = n;
  if (pair.secondCount > n) pair.secondCount = n;
  for (std::uint8_t& mark : pair.marks) mark = 0;
}

// The filters read the pair's count and arrays into locals: a store into
// their byte marks could otherwise be any of them, read again after it.

void ContactResolver::removeSeparatingContacts(CollisionPair& pair) {
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

void ContactResolver::removeDuplicateContacts(CollisionPair& pair) {
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

void ContactResolver::removeOpposingContacts(CollisionPair& pair) {
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

// ---- Rest test and staging ---------------------------------------------------------

bool ContactResolver::isRestingBody(HardBody* body, float threshold) {
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

void ContactResolver::stageContacts(EngineList<CollisionPair*>& pairs, EngineList<CollisionPair*>& ordered,
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

std::uint32_t ContactResolver::resolvedBodies(const CollisionPair& pair, HardBody** out, std::uint32_t capacity) {
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

ResolutionCounters ContactResolver::counters(std::uint32_t worker) const {
  if (worker < kThreadSlotCount) return slotCounters[worker];
  ResolutionCounters sum;
  for (const ResolutionCounters& c : slotCounters) {
    sum.withinCone += c.withinCone;
    sum.backedOff += c.backedOff;
    sum.frictionDropped += c.frictionDropped;
  }
  return sum;
}
