// Automatic joint creation: the bodies a fracture body is made from start
// on its disconnected list, and these builders join those that touch or lie
// close to each other with new joints, which turns them into pieces.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/HullBody.h"
#include "engine/bodies/MeshVolumes.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/bodies/TriMeshBody.h"
#include "engine/fracture/FractureBody.h"
#include "geometry/BoxFits.h"
#include "geometry/MeshDistance.h"
#include "geometry/MeshTouchTests.h"
#include "geometry/OverlapTests.h"
#include "math/Tolerances.h"
#include "platform/ModuleState.h"

using Mgc::MgcVector3;

namespace {

/// Break tolerance of every joint made here.
constexpr double kAutomaticTolerance = 1.0;

/// Running joint indices, one per builder, from 0 at each load of the
/// module and never reset while it is loaded: joints made by one builder
/// keep the order of their making.
std::atomic<std::uint32_t> g_pairwiseJointIndex{0};
std::atomic<std::uint32_t> g_proximityJointIndex{0};
/// Starts, at the first call after the load, at the active joint count of
/// that call's body.
std::atomic<std::uint32_t> g_neighbourJointIndex{0};
std::atomic<bool> g_neighbourIndexStarted{false};
const zov::platform::ModuleStateReset g_jointIndicesReset([] {
  g_pairwiseJointIndex = 0;
  g_proximityJointIndex = 0;
  g_neighbourJointIndex = 0;
  g_neighbourIndexStarted = false;
});

/// A body that may be joined, with its world data brought up to date.
struct JoinCandidate {
  PrivateHardBody* body = nullptr;
  const BVmesh* volume = nullptr;
  ZOVmesh* mesh = nullptr;
};

JoinCandidate joinCandidateOf(PrivateHardBody* body) {
  JoinCandidate c;
  c.body = body;
  c.volume = boundingMeshOf(body);
  if (c.volume != nullptr) {
    body->updateWorldData();
    c.mesh = body->getWorldMesh();
  }
  return c;
}

bool canJoin(const JoinCandidate& c) { return c.volume != nullptr && c.mesh != nullptr; }

/// Whether the bounding spheres, each grown by d, come within the tolerance.
bool spheresNear(PrivateHardBody* a, PrivateHardBody* b, double d) {
  const double reach = a->getShape().radius + d + b->getShape().radius + d;
  return (b->getShape().worldCenter - a->getShape().worldCenter).SquaredLength() - reach * reach < zov::kTolerance;
}

/// Whether the bounding boxes, each extent grown by d, overlap.
bool boxesNear(PrivateHardBody* a, PrivateHardBody* b, double d) {
  ZOVbox boxA = a->getBbox();
  ZOVbox boxB = b->getBbox();
  const MgcVector3 grow(d, d, d);
  boxA.extents += grow;
  boxB.extents += grow;
  boxA.maxExtent += d;
  boxB.maxExtent += d;
  return obbOverlap(boxA, boxB);
}

bool bothStatic(const PrivateHardBody* a, const PrivateHardBody* b) { return a->isStatic() && b->isStatic(); }

/// The squared distance of the two meshes' closest faces and the midpoint of
/// their closest points (zov::kMaxFloat without facing faces).
double closestFaces(const JoinCandidate& a, const JoinCandidate& b, MgcVector3& midpoint) {
  std::uint32_t faceA = 0;
  std::uint32_t faceB = 0;
  MgcVector3 pointA;
  MgcVector3 pointB;
  const double d2 = closestFacePair(*a.mesh, *b.mesh, faceA, faceB, pointA, pointB);
  midpoint = (pointA + pointB) * 0.5;
  return d2;
}

/// The same through the mesh volumes' vertex search.
double closestVolumes(const JoinCandidate& a, const JoinCandidate& b, MgcVector3& midpoint) {
  return closestMidpoint(*a.volume, *b.volume, midpoint);
}

/// A new joint between a (first, its PNode) and b at `anchor`, named from
/// the two bodies (cut to the name buffer), tolerance 1.0; null when memory
/// runs out.
DynamicStress* newJoint(PrivateHardBody* a, PrivateHardBody* b, const MgcVector3& anchor, std::uint32_t index) {
  auto* joint = new (std::nothrow) DynamicStress;
  if (joint == nullptr) return nullptr;
  joint->attach(anchor, 1, a, b);
  joint->setName(("str_" + std::string(a->getShape().name) + "_" + std::string(b->getShape().name)).c_str());
  joint->setIndex(index);
  joint->set_break_tolerance(kAutomaticTolerance);
  return joint;
}

/// Whether some joint on a's joint list already holds b.
bool alreadyJoined(PrivateHardBody* a, const PrivateHardBody* b) {
  for (auto* node = a->getJointList().getFirst(); node != nullptr; node = node->next) {
    if (node->value->getCNode() == b || node->value->getPNode() == b) return true;
  }
  return false;
}

}  // namespace

std::uint32_t FractureBody::createJoints(double d, bool connected, bool allowStaticPairs) {
  if (connected) return createJointsByProximity(d);
  deleteAllJoints();
  std::vector<JoinCandidate> bodies;
  for (PrivateHardBody* body : valuesOf(disconnectedBodies)) bodies.push_back(joinCandidateOf(body));
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    const JoinCandidate& A = bodies[i];
    for (std::size_t k = i + 1; k < bodies.size(); ++k) {
      const JoinCandidate& B = bodies[k];
      if (!allowStaticPairs && bothStatic(A.body, B.body)) continue;
      if (!canJoin(A) || !canJoin(B)) continue;
      if (!spheresNear(A.body, B.body, d) || !boxesNear(A.body, B.body, d)) continue;
      // Jagged faces rarely lie flat on each other: such bodies touch at
      // their nearest vertices.
      const bool jagged = A.body->hasJagginess() || B.body->hasJagginess();
      bool touch = false;
      if (!jagged) {
        touch = meshesTouchFaceToFace(*A.mesh, *B.mesh, d);
      } else {
        MgcVector3 towards = B.body->getShape().worldCenter - A.body->getShape().worldCenter;
        towards.Unitize(zov::kUnitizeTolerance);
        touch = meshesTouchAtVertices(*A.mesh, *B.mesh, towards, d);
      }
      if (!touch) continue;
      const MgcVector3 anchor = (A.body->getShape().worldCenter + B.body->getShape().worldCenter) * 0.5;
      if (DynamicStress* joint = newJoint(A.body, B.body, anchor, g_pairwiseJointIndex++)) activeJoints.append(joint);
    }
  }
  pieces.clear();
  bodyCursor = nullptr;
  registerJointBodies(activeJoints);
  return 1;
}

std::uint32_t FractureBody::createJointsByProximity(double d) {
  deleteAllJoints();
  if (disconnectedBodies.getCount() == 0) return 0;
  // Joins a (first) and b at the midpoint of their closest points and takes
  // them in as pieces.
  const auto join = [&](const JoinCandidate& a, const JoinCandidate& b, const MgcVector3& anchor) {
    return addActiveJoint(a.body, b.body, anchor, g_proximityJointIndex++) != nullptr;
  };
  // The nearest pair by centres of a left x right (a strictly nearer pair
  // replaces, so the first found wins), with the midpoint of its closest
  // points; false when no pair may be joined.
  const auto nearestPair = [](const std::vector<JoinCandidate>& left, const std::vector<JoinCandidate>& right,
                              bool sameList, JoinCandidate& a, JoinCandidate& b, MgcVector3& anchor) {
    bool found = false;
    double best = 0.0;
    for (std::size_t i = 0; i < left.size(); ++i) {
      for (std::size_t k = sameList ? i + 1 : 0; k < right.size(); ++k) {
        const JoinCandidate& A = left[i];
        const JoinCandidate& B = right[k];
        if (bothStatic(A.body, B.body) || !canJoin(A) || !canJoin(B)) continue;
        const double d2 = (B.body->getShape().worldCenter - A.body->getShape().worldCenter).SquaredLength();
        if (found && !(d2 < best)) continue;
        found = true;
        best = d2;
        a = A;
        b = B;
        closestFaces(A, B, anchor);
      }
    }
    return found;
  };

  std::vector<JoinCandidate> loose;
  for (PrivateHardBody* body : valuesOf(disconnectedBodies)) loose.push_back(joinCandidateOf(body));
  JoinCandidate a;
  JoinCandidate b;
  MgcVector3 anchor;
  if (!nearestPair(loose, loose, true, a, b, anchor)) return 0;
  join(a, b, anchor);

  // Growth: the nearest pair of a disconnected body and a piece, however far
  // apart, until every body that may be joined is a piece.
  while (disconnectedBodies.getCount() != 0) {
    loose.clear();
    for (PrivateHardBody* body : valuesOf(disconnectedBodies)) loose.push_back(joinCandidateOf(body));
    std::vector<JoinCandidate> joined;
    for (PrivateHardBody* body : valuesOf(pieces)) joined.push_back(joinCandidateOf(body));
    // A joint that cannot be made ends the growth: the pair would be found
    // again for ever.
    if (!nearestPair(loose, joined, false, a, b, anchor) || !join(a, b, anchor)) break;
  }

  // Extra contacts: every other pair of pieces whose closest faces lie
  // within d (compared with their squared distance).
  std::vector<JoinCandidate> joined;
  for (PrivateHardBody* body : valuesOf(pieces)) joined.push_back(joinCandidateOf(body));
  EngineList<DynamicStress*> extra;
  for (std::size_t i = 0; i < joined.size(); ++i) {
    for (std::size_t k = i + 1; k < joined.size(); ++k) {
      const JoinCandidate& A = joined[i];
      const JoinCandidate& B = joined[k];
      if (bothStatic(A.body, B.body) || !boxesNear(A.body, B.body, d) || alreadyJoined(A.body, B.body)) continue;
      if (!canJoin(A) || !canJoin(B)) continue;
      MgcVector3 midpoint;
      if (!(closestFaces(A, B, midpoint) < d)) continue;
      if (DynamicStress* joint = newJoint(A.body, B.body, midpoint, g_proximityJointIndex++)) extra.append(joint);
    }
  }
  registerJointBodies(extra);
  for (DynamicStress* joint : valuesOf(extra)) activeJoints.append(joint);
  return 1;
}

std::uint32_t FractureBody::joinPieceToNeighbours(PrivateHardBody* b, double d) {
  bool expected = false;
  if (g_neighbourIndexStarted.compare_exchange_strong(expected, true)) {
    g_neighbourJointIndex = activeJoints.getCount();
  }
  const JoinCandidate joining = joinCandidateOf(b);
  if (!canJoin(joining)) return 0;
  EngineList<DynamicStress*> made;
  for (PrivateHardBody* body : valuesOf(pieces)) {
    if (body == b) continue;
    const JoinCandidate piece = joinCandidateOf(body);
    if (!canJoin(piece) || !spheresNear(piece.body, b, d)) continue;
    MgcVector3 midpoint;
    if (!(closestVolumes(joining, piece, midpoint) < d)) continue;
    if (DynamicStress* joint = newJoint(b, body, midpoint, g_neighbourJointIndex++)) made.append(joint);
  }
  if (made.getCount() == 0) return 0;
  registerJointBodies(made);
  for (DynamicStress* joint : valuesOf(made)) activeJoints.append(joint);
  return 1;
}

DynamicStress* FractureBody::createJointForPiece(PrivateHardBody* p, double d, bool force) {
  const JoinCandidate joining = joinCandidateOf(p);
  if (!canJoin(joining)) return nullptr;
  JoinCandidate nearest;
  MgcVector3 anchor;
  double best = 0.0;
  for (PrivateHardBody* body : valuesOf(pieces)) {
    if (body == p) continue;
    const JoinCandidate piece = joinCandidateOf(body);
    if (!canJoin(piece) || !spheresNear(p, body, d)) continue;
    MgcVector3 midpoint;
    const double d2 = closestVolumes(joining, piece, midpoint);
    if (nearest.body != nullptr && !(d2 < best)) continue;
    nearest = piece;
    best = d2;
    anchor = midpoint;
  }
  if (nearest.body == nullptr || alreadyJoined(p, nearest.body)) return nullptr;
  if (!force && !(best < d)) return nullptr;
  return addActiveJoint(p, nearest.body, anchor, activeJoints.getCount());
}

DynamicStress* FractureBody::addActiveJoint(PrivateHardBody* a, PrivateHardBody* b, const MgcVector3& anchor,
                                            std::uint32_t index) {
  DynamicStress* joint = newJoint(a, b, anchor, index);
  if (joint == nullptr) return nullptr;
  EngineList<DynamicStress*> one;
  one.append(joint);
  registerJointBodies(one);
  activeJoints.append(joint);
  return joint;
}
