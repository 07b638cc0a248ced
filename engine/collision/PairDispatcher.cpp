// The pair dispatcher: overlap and contact generation of a body pair by
// shape-pair code, and the walk over the pieces of fracture bodies.

#include "engine/collision/PairDispatcher.h"

#include <algorithm>

#include "engine/bodies/BarrierBody.h"
#include "engine/bodies/CapsuleBody.h"
#include "engine/bodies/CompoundPieces.h"
#include "engine/bodies/HullBody.h"
#include "engine/bodies/TriMeshBody.h"
#include "engine/collision/BroadPhase.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactDepths.h"
#include "engine/collision/ContactKinematics.h"
#include "engine/collision/ContactResolver.h"
#include "engine/collision/narrowphase/ContactClipping.h"
#include "engine/collision/narrowphase/FaceTree.h"
#include "engine/collision/narrowphase/PkJump.h"
#include "geometry/ContactBuilders.h"
#include "geometry/CovarianceFit.h"
#include "geometry/OverlapTests.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// The shapes of the dispatch table, in its row and column order.
enum DispatchShape : int { kShapeCapsule = 0, kShapeHull = 1, kShapeMesh = 2, kShapePlane = 3, kShapeNone = 4 };

DispatchShape dispatchShape(std::uint32_t type) {
  switch (type) {
    case kCapsuleBody:
    case kCrackerBody:
      return kShapeCapsule;
    case kHullBody:
      return kShapeHull;
    case kTriMeshBody:
      return kShapeMesh;
    case kBarrierBody:
      return kShapePlane;
    default:
      return kShapeNone;
  }
}

bool isFracture(const HardBody* body) { return body->getType() == kFractureBody; }

/// Brings the body's world data up to date unless they are. A phantom keeps
/// none that a test reads (and never counts as current), so it is left
/// alone: refreshing it on every test would write it from every worker.
void refresh(HardBody* body) {
  if (body->getType() != kPhantomBody && !body->isWorldModified()) body->updateWorldData();
}

/// |c1 - c2|^2 - (r1 + r2 + gap)^2 < 1e-5 on the bodies' bounding spheres as
/// the last world update stored them.
bool spheresMeet(const HardBody* a, const HardBody* b, double gap = 0.0) {
  const double reach = a->getShape().radius + b->getShape().radius + gap;
  return (a->getShape().worldCenter - b->getShape().worldCenter).SquaredLength() - reach * reach < zov::kTolerance;
}

/// The bodies' world boxes overlap, the first's grown by `gap` on every side.
bool boxesMeet(HardBody* a, HardBody* b, double gap = 0.0) {
  if (gap <= 0.0) return obbOverlap(a->getBbox(), b->getBbox());
  ZOVbox grown = a->getBbox();
  for (int k = 0; k < 3; ++k) grown.extents[k] += gap;
  grown.maxExtent += gap;
  return obbOverlap(grown, b->getBbox());
}

/// The least gap (m) at which a point of a face facing a touching one joins
/// the contacts: closer ones stand where the found contacts do.
constexpr double kFacingPointLeast = 1e-3;

/// How far apart two hulls may stand and still meet in a pass before a step
/// of `seconds`: the sum of their reaches when one of them is swept.
double pairReach(HardBody* a, HardBody* b, double seconds) {
  if (!(seconds > 0.0) || a->getParent() != nullptr || b->getParent() != nullptr) return 0.0;
  return BroadPhase::sweptReach(*a, seconds) + BroadPhase::sweptReach(*b, seconds);
}

bool worldCapsule(const HardBody* body, ZOVcapsule& capsule) {
  return static_cast<const CapsuleBody*>(body)->placedCapsule(capsule);
}

const BVmesh* hullOf(const HardBody* body) { return static_cast<const HullBody*>(body)->getBoundingMesh(); }

/// The triangle-mesh body's mesh (world data) through its mesh volume; null
/// when it has none.
const ZOVmesh* meshOf(const HardBody* body) {
  const BVmesh* volume = static_cast<const TriMeshBody*>(body)->getBoundingMesh();
  return volume != nullptr ? volume->getMesh() : nullptr;
}

const BoxTree* treeOf(const HardBody* body) {
  const BoxTree* tree = static_cast<const TriMeshBody*>(body)->getTriangleTree();
  return tree != nullptr && tree->getRoot() != nullptr ? tree : nullptr;
}

const BarrierBody& planeOf(const HardBody* body) { return *static_cast<const BarrierBody*>(body); }

/// The pair's cached narrow-phase state, in the pair's order or (swapped)
/// in the other shape's order with the separating vector reversed.
JumpState pairState(const CollisionPair& pair, bool swapped) {
  JumpState state;
  state.vertexA = pair.featureIds[swapped ? 1 : 0];
  state.vertexB = pair.featureIds[swapped ? 0 : 1];
  state.direction = swapped ? -pair.separatingVector : pair.separatingVector;
  return state;
}

void storePairState(CollisionPair& pair, const JumpState& state, bool swapped) {
  pair.featureIds[swapped ? 1 : 0] = state.vertexA;
  pair.featureIds[swapped ? 0 : 1] = state.vertexB;
  pair.separatingVector = swapped ? -state.direction : state.direction;
}

/// The narrow phase's contact arrays over the pair's, with face lists of
/// their own (the queries write the faces of contact 0 only).
struct PairJumpContacts {
  std::uint32_t facesA[kMaxJumpContacts];
  std::uint32_t facesB[kMaxJumpContacts];
  JumpContacts out;

  explicit PairJumpContacts(CollisionPair& pair) {
    facesA[0] = zov::kNoIndex;
    facesB[0] = zov::kNoIndex;
    out = JumpContacts{pair.points, pair.normals, &pair.contactCount, pair.depths, facesA, facesB};
  }
};

/// While it lives, the pair's generated arrays are the thread slot's
/// full-size set, which the narrow phase fills without growing anything;
/// then the pair keeps what was found in arrays of its own size. Without a
/// set to lend (none, or already lent), the pair's own arrays are made full
/// size. In a pass on helpers (with `retired`, the slot's) the block the
/// pair lets go of is set aside there, for a later pair of its size on
/// the same thread or for the calling thread to free, and the new one is
/// taken from there or from `parked`, the pass's room, while it lasts: the
/// calling thread too, so that the blocks a pass makes are made after those
/// it lets go of are free, and reuse them.
class LentContacts {
 public:
  LentContacts(CollisionPair& pair, ContactScratch* scratch, RetiredBlocks* retired, ParkedBlocks* parked)
      : pair(pair),
        scratch(scratch != nullptr && !scratch->lent && pair.lendContacts(*scratch) ? scratch : nullptr),
        retired(retired),
        parked(parked) {
    if (this->scratch != nullptr) {
      this->scratch->lent = true;
    } else {
      pair.reserveContacts(kMaxPairContacts);
    }
  }
  LentContacts(const LentContacts&) = delete;
  LentContacts& operator=(const LentContacts&) = delete;
  ~LentContacts() {
    if (scratch == nullptr) return;
    pair.returnContacts(retired, retired != nullptr ? parked : nullptr);
    scratch->lent = false;
  }

 private:
  CollisionPair& pair;
  ContactScratch* scratch;
  RetiredBlocks* retired;
  ParkedBlocks* parked;
};

/// Contact 0's normal and features for every contact of the pair (each
/// keeps its own depth).
void spreadFirstContact(CollisionPair& pair, std::uint32_t firstFeature, std::uint32_t secondFeature) {
  for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
    pair.normals[i] = pair.normals[0];
    pair.features[i].firstFeature = firstFeature;
    pair.features[i].secondFeature = secondFeature;
  }
}

/// Every contact of a piece's pair at the depth of the set's deepest point.
/// A fracture body rests on the contacts of several of its pieces and is
/// moved through its centre: with each point at its own height, the points
/// its pieces hold above the other face let it turn and rock on the others
/// without end, where one depth a set holds it as one face.
void pieceSetDepth(CollisionPair& pair) {
  double deepest = pair.depths[0];
  for (std::uint32_t i = 1; i < pair.contactCount; ++i) deepest = std::min(deepest, pair.depths[i]);
  for (std::uint32_t i = 0; i < pair.contactCount; ++i) pair.depths[i] = deepest;
}

/// Capsule against capsule: the builder's one contact.
bool capsuleCapsuleContacts(const HardBody* body1, const HardBody* body2, ContactSet& set) {
  ZOVcapsule a;
  ZOVcapsule b;
  if (!worldCapsule(body1, a) || !worldCapsule(body2, b)) return false;
  MgcVector3 point;
  MgcVector3 normal;
  double depth = 0.0;
  capsuleCapsuleContact(a, b, point, normal, depth);
  // The builder's normal points from the first capsule to the second; the
  // set's points the other way.
  if ((body1->getShape().worldCenter - point).Dot(normal) < zov::kTolerance) {
    point -= normal * depth;
    normal = -normal;
  }
  set.append(point, normal, depth, zov::kNoIndex, zov::kNoIndex);
  return true;
}

/// A hull against a capsule, the capsule first in the pair or second. The
/// query takes the hull first: with the capsule first, the state is kept in
/// the query's order and the contacts, found on the hull with the normal
/// towards it, go over to the capsule.
bool hullCapsuleContacts(const Pk_jump* jump, CollisionPair& pair, const HardBody* hullBody,
                         const HardBody* capsuleBody, bool capsuleFirst) {
  ZOVcapsule capsule;
  if (jump == nullptr || !worldCapsule(capsuleBody, capsule)) return false;
  PairJumpContacts contacts(pair);
  JumpState state = pairState(pair, capsuleFirst);
  const bool found = jump->meshVolumeContacts(hullOf(hullBody), capsule, state, contacts.out);
  storePairState(pair, state, capsuleFirst);
  if (!found) {
    pair.contactCount = 0;
    return false;
  }
  if (!capsuleFirst) {
    spreadFirstContact(pair, contacts.facesA[0], zov::kNoIndex);
    return true;
  }
  spreadFirstContact(pair, zov::kNoIndex, contacts.facesA[0]);
  // Every point, not only the first, goes over to the capsule.
  for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
    pair.points[i] -= pair.normals[i] * pair.depths[i];
    pair.normals[i] = -pair.normals[i];
  }
  return true;
}

/// A triangle mesh against a capsule, in either order.
bool meshCapsuleContacts(const Pk_jump* jump, const HardBody* body1, const HardBody* body2, ContactSet& set) {
  const bool meshFirst = body1->getType() == kTriMeshBody;
  const HardBody* meshBody = meshFirst ? body1 : body2;
  ZOVcapsule capsule;
  const ZOVmesh* mesh = meshOf(meshBody);
  if (mesh == nullptr || !worldCapsule(meshFirst ? body2 : body1, capsule) ||
      !FaceTree::capsuleContacts(treeOf(meshBody), *mesh, capsule, jump, set)) {
    return false;
  }
  if (!meshFirst) set.flip();
  return true;
}

/// A capsule against the barrier's plane: the builder's points, one normal
/// and depth.
bool capsulePlaneContacts(const HardBody* body, const BarrierBody& plane, ContactSet& set) {
  ZOVcapsule capsule;
  if (!worldCapsule(body, capsule)) return false;
  MgcVector3 points[kMaxCapsuleContacts];
  MgcVector3 normal;
  std::uint32_t n = 0;
  double depth = 0.0;
  capsulePlaneContact(capsule, plane.getPlanePoint(), plane.getPlaneNormal(), points, normal, n, depth);
  for (std::uint32_t i = 0; i < n; ++i) set.append(points[i], normal, depth, zov::kNoIndex, zov::kNoIndex);
  return set.size() > 0;
}

/// Whether the hulls stand apart by the overlap test, run on a copy of the
/// pair's state: the state takes its answer only when apart, so that the
/// contact query of overlapping hulls starts from the state as it was.
bool hullsApart(const Pk_jump& jump, const BVmesh* a, const BVmesh* b, JumpState& state) {
  JumpState probe = state;
  if (jump.meshMeshOverlap(a, b, probe) != 0) return false;
  state = probe;
  return true;
}

/// Swept hulls that touch: the rest of the faces that face each other
/// across the contact, standing apart by less than they close within the
/// step at their present speeds (with the reach's margins), join the
/// contacts with their gaps, so that a face turning onto the other (a tile
/// slapping down flat) meets it along its whole length, not only where it
/// touches. Points that do not close so fast are left out: a face resting
/// at a slant on another gains nothing.
void addFacingPoints(const Pk_jump& jump, CollisionPair& pair, HardBody* body1, HardBody* body2, double seconds,
                     double reach) {
  MgcVector3 points[kMaxPolygonClipPoints];
  double gaps[kMaxPolygonClipPoints];
  MgcVector3 normal;
  const std::uint32_t n = jump.meshMeshFacingPoints(hullOf(body1), hullOf(body2), pair.normals[0], reach,
                                                    kFacingPointLeast, points, gaps, normal);
  if (n == 0) return;
  const RBDynamics& state1 = body1->getDyn();
  const RBDynamics& state2 = body2->getDyn();
  ContactSet set = pair.contactSet();
  for (std::uint32_t k = 0; k < n; ++k) {
    MgcVector3 relative = contactkinematics::velocityAt(state1, points[k]);
    if (!body2->isStatic()) relative -= contactkinematics::velocityAt(state2, points[k]);
    const double closing = -relative.Dot(normal) * seconds;
    if (!(kSweptReachShare * closing + kSweptReachFixed > gaps[k])) continue;
    if (!set.append(points[k], normal, gaps[k], pair.features[0].firstFeature, pair.features[0].secondFeature)) break;
  }
}

}  // namespace

// ---- Shape-pair codes ---------------------------------------------------------------

std::uint32_t PairDispatcher::shapePairCode(std::uint32_t firstType, std::uint32_t secondType) {
  static constexpr std::uint32_t kCodes[3][4] = {
      {kPairCapsuleCapsule, kPairCapsuleHull, kPairCapsuleMesh, kPairCapsulePlane},
      {kPairHullCapsule, kPairHullHull, kPairHullMesh, kPairHullPlane},
      {kPairMeshCapsule, kPairMeshHull, kPairMeshMesh, kPairMeshPlane},
  };
  const DispatchShape first = dispatchShape(firstType);
  const DispatchShape second = dispatchShape(secondType);
  if (first > kShapeMesh || second == kShapeNone) return kPairNone;
  return kCodes[first][second];
}

// ---- Overlap ------------------------------------------------------------------

bool PairDispatcher::testBodyPair(HardBody* body1, HardBody* body2, CollisionPair* pair, std::uint32_t worker) {
  if (body1 == nullptr || body2 == nullptr || pair == nullptr) return false;
  const bool compoundFirst = isFracture(body1);
  if (!compoundFirst && !isFracture(body2)) return testShapePair(body1, body2, pair, worker);

  refresh(body1);
  refresh(body2);
  // The whole fracture body against the other body first.
  if (body2->getType() == kBarrierBody) {
    const BarrierBody& plane = planeOf(body2);
    const double height = (body1->getShape().worldCenter - plane.getPlanePoint()).Dot(plane.getPlaneNormal());
    if (!(height < body1->getShape().radius) ||
        !obbPlaneOverlap(body1->getBbox(), plane.getPlanePoint(), plane.getPlaneNormal())) {
      return false;
    }
  } else if (!spheresMeet(body1, body2) || !boxesMeet(body1, body2)) {
    return false;
  }
  return compoundFirst ? testPiecesOverlap(body1, body2, true, worker) : testPiecesOverlap(body2, body1, false, worker);
}

bool PairDispatcher::testPiecesOverlap(HardBody* compound, HardBody* other, bool compoundFirst, std::uint32_t worker) {
  const EngineList<PrivateHardBody*>* pieces = compoundPiecesOf(compound);
  if (pieces == nullptr) return false;
  // The walk keeps its cursor here, not in the body, so that threads testing
  // the same fracture body do not share it.
  for (auto* node = pieces->getFirst(); node != nullptr; node = node->next) {
    HardBody* piece = node->value;
    if (piece == nullptr) continue;
    CollisionPair* scratch = pairPool.take(worker);
    if (scratch == nullptr) return false;
    scratch->reset();
    const bool overlap =
        compoundFirst ? testBodyPair(piece, other, scratch, worker) : testBodyPair(other, piece, scratch, worker);
    pairPool.giveBack(scratch, worker);
    if (overlap) return true;
  }
  return false;
}

bool PairDispatcher::hullsMeet(HardBody* body1, HardBody* body2, CollisionPair& pair, std::uint32_t worker) {
  const Pk_jump* jump = narrowPhase.get();
  const double reach = pairReach(body1, body2, sweepStep);
  if (!spheresMeet(body1, body2, reach) || !boxesMeet(body1, body2, reach) || jump == nullptr) return false;
  // A kept answer was found with contacts: the hulls overlap.
  if (narrowMemos.answerFor(worker, body1, body2) != nullptr) return true;
  // The cache is written back whether or not the hulls meet: apart, it
  // holds the direction that separates them for the next step.
  JumpState state = pairState(pair, false);
  int overlap = jump->meshMeshOverlap(hullOf(body1), hullOf(body2), state);
  // Swept hulls apart by less than their reach meet as well.
  if (overlap == 0 && reach > 0.0 && jump->meshMeshDistance(hullOf(body1), hullOf(body2), reach, state) < reach) {
    overlap = 1;
  }
  storePairState(pair, state, false);
  return overlap != 0;
}

bool PairDispatcher::testShapePair(HardBody* body1, HardBody* body2, CollisionPair* pair, std::uint32_t worker) {
  if (body1 == nullptr || body2 == nullptr || pair == nullptr) return false;
  // Resting bodies meet only where one of them waits for its first hit.
  if (body1->isStatic() && body2->isStatic() && !body1->isFirstHit(false) && !body2->isFirstHit(false)) return false;
  // Shapes that meet nothing need no world data.
  const std::uint32_t code = shapePairCode(body1->getType(), body2->getType());
  if (code == kPairNone) return false;
  refresh(body1);
  refresh(body2);
  const Pk_jump* jump = narrowPhase.get();

  switch (code) {
    case kPairCapsuleCapsule: {
      ZOVcapsule a;
      ZOVcapsule b;
      return worldCapsule(body1, a) && worldCapsule(body2, b) && capsuleCapsuleOverlap(a, b);
    }
    case kPairCapsuleHull:
    case kPairHullCapsule: {
      const bool hullFirst = body1->getType() == kHullBody;
      HardBody* hull = hullFirst ? body1 : body2;
      ZOVcapsule capsule;
      if (!boxesMeet(body1, body2) || jump == nullptr || !worldCapsule(hullFirst ? body2 : body1, capsule)) {
        return false;
      }
      JumpState state = freshJumpState();
      return jump->meshVolumeOverlap(hullOf(hull), capsule, state) != 0;
    }
    case kPairCapsuleMesh: {
      ZOVcapsule capsule;
      const ZOVmesh* mesh = meshOf(body2);
      return boxesMeet(body1, body2) && treeOf(body2) != nullptr && mesh != nullptr && worldCapsule(body1, capsule) &&
             FaceTree::capsuleOverlap(treeOf(body2), *mesh, capsule, jump, pair->secondCachedNode);
    }
    case kPairMeshCapsule: {
      ZOVcapsule capsule;
      const ZOVmesh* mesh = meshOf(body1);
      return boxesMeet(body1, body2) && treeOf(body1) != nullptr && mesh != nullptr && worldCapsule(body2, capsule) &&
             FaceTree::capsuleOverlap(treeOf(body1), *mesh, capsule, jump, pair->firstCachedNode);
    }
    case kPairHullHull:
      return hullsMeet(body1, body2, *pair, worker);
    case kPairHullMesh:
    case kPairMeshHull: {
      const bool hullFirst = body1->getType() == kHullBody;
      HardBody* meshBody = hullFirst ? body2 : body1;
      const BVmesh* hull = hullOf(hullFirst ? body1 : body2);
      const ZOVmesh* mesh = meshOf(meshBody);
      return spheresMeet(body1, body2) && boxesMeet(body1, body2) && treeOf(meshBody) != nullptr && mesh != nullptr &&
             hull != nullptr && FaceTree::meshOverlap(treeOf(meshBody), *mesh, *hull, jump, pair->firstCachedNode);
    }
    case kPairMeshMesh: {
      const ZOVmesh* mesh1 = meshOf(body1);
      const ZOVmesh* mesh2 = meshOf(body2);
      return spheresMeet(body1, body2) && boxesMeet(body1, body2) && treeOf(body1) != nullptr &&
             treeOf(body2) != nullptr && mesh1 != nullptr && mesh2 != nullptr &&
             FaceTree::treeOverlap(treeOf(body1), *mesh1, *mesh2, treeOf(body2), pair->firstCachedNode,
                                   pair->secondCachedNode);
    }
    case kPairCapsulePlane: {
      ZOVcapsule capsule;
      const BarrierBody& plane = planeOf(body2);
      return worldCapsule(body1, capsule) &&
             segmentPlaneOverlap(capsule, plane.getPlanePoint(), plane.getPlaneNormal());
    }
    case kPairHullPlane: {
      const BarrierBody& plane = planeOf(body2);
      if (!obbPlaneOverlap(body1->getBbox(), plane.getPlanePoint(), plane.getPlaneNormal()) || jump == nullptr) {
        return false;
      }
      JumpState state = freshJumpState();
      if (!jump->meshPointsInside(hullOf(body1), plane.getPlanePoint(), plane.getPlaneNormal(), state)) return false;
      storePairState(*pair, state, false);
      return true;
    }
    case kPairMeshPlane: {
      const BarrierBody& plane = planeOf(body2);
      const ZOVmesh* mesh = meshOf(body1);
      return obbPlaneOverlap(body1->getBbox(), plane.getPlanePoint(), plane.getPlaneNormal()) &&
             treeOf(body1) != nullptr && mesh != nullptr &&
             FaceTree::planeOverlap(treeOf(body1), *mesh, plane.getPlanePoint(), plane.getPlaneNormal(),
                                    pair->firstCachedNode);
    }
    default:
      return false;
  }
}

// ---- Contacts -----------------------------------------------------------------

bool PairDispatcher::testBodyPairExact(HardBody* body1, HardBody* body2, CollisionPair* pair, std::uint32_t worker) {
  if (body1 == nullptr || body2 == nullptr || pair == nullptr) return false;
  const bool compound1 = isFracture(body1);
  const bool compound2 = isFracture(body2);
  if (!compound1 && !compound2) return generateShapeContacts(body1, body2, pair, worker);

  CollisionPair* scratch = pairPool.take(worker);
  if (scratch == nullptr) return false;
  if (compound1 && compound2) {
    // Every piece of the first against the second, which walks its own.
    pair->contactCount = 0;
    scratch->reset();
    scratch->secondBody = body2;
    if (const EngineList<PrivateHardBody*>* pieces = compoundPiecesOf(body1)) {
      for (auto* node = pieces->getFirst(); node != nullptr; node = node->next) {
        HardBody* piece = node->value;
        if (piece == nullptr) continue;
        scratch->firstBody = piece;
        if (testBodyPairExact(piece, body2, scratch, worker)) {
          pair->firstPiece = piece;
          pair->secondPiece = scratch->secondPiece;
          appendPairContacts(*pair, *scratch);
        }
        scratch->contactCount = 0;
      }
    }
  } else {
    HardBody* compound = compound1 ? body1 : body2;
    HardBody* other = compound1 ? body2 : body1;
    if (const EngineList<PrivateHardBody*>* pieces = compoundPiecesOf(compound)) {
      for (auto* node = pieces->getFirst(); node != nullptr; node = node->next) {
        HardBody* piece = node->value;
        if (piece == nullptr) continue;
        scratch->reset();
        scratch->firstBody = compound1 ? piece : other;
        scratch->secondBody = compound1 ? other : piece;
        if (testShapePair(scratch->firstBody, scratch->secondBody, scratch, worker)) {
          mergePieceContacts(pair, scratch, worker);
        }
      }
    }
    (compound1 ? pair->secondPiece : pair->firstPiece) = nullptr;
  }
  pairPool.giveBack(scratch, worker);
  if (pair->contactCount == 0) return false;
  filterDepthOutliers(*pair);
  return true;
}

bool PairDispatcher::mergePieceContacts(CollisionPair* pair, CollisionPair* scratch, std::uint32_t worker) {
  scratch->separatingVector = MgcVector3();
  scratch->featureIds[0] = zov::kNoIndex;
  scratch->featureIds[1] = zov::kNoIndex;
  if (!generateShapeContacts(scratch->firstBody, scratch->secondBody, scratch, worker)) return false;
  pair->firstPiece = scratch->firstBody;
  pair->secondPiece = scratch->secondBody;
  appendPairContacts(*pair, *scratch);
  return true;
}

void PairDispatcher::appendPairContacts(CollisionPair& pair, CollisionPair& source) {
  if (pair.contactCount + source.contactCount >= kMaxPairContacts) {
    reducePairContacts(pair);
    reducePairContacts(source);
  }
  ContactSet target = pair.contactSet();
  for (std::uint32_t i = 0; i < source.contactCount; ++i) {
    if (!target.append(source.points[i], source.normals[i], source.depths[i], source.features[i].firstFeature,
                       source.features[i].secondFeature)) {
      break;
    }
  }
}

void PairDispatcher::reducePairContacts(CollisionPair& pair) {
  std::uint32_t chosen[kMergedContacts] = {};
  std::uint32_t wanted = kMergedContacts;
  selectExtremePoints(pair.points, pair.contactCount, chosen, wanted);
  pair.contactSet().keep(chosen, wanted);
}

void PairDispatcher::filterDepthOutliers(CollisionPair& pair) {
  std::uint8_t marks[kMaxPairContacts] = {};
  if (markDepthOutliers(pair.depths, pair.contactCount, marks)) ContactResolver::compactContacts(pair, marks);
  for (std::uint8_t& mark : pair.marks) mark = 0;
}

bool PairDispatcher::addContactPair(CollisionPair* pair) {
  newPairs.append(pair);
  return true;
}

bool PairDispatcher::hullHullContacts(HardBody* body1, HardBody* body2, CollisionPair& pair, std::uint32_t worker) {
  const Pk_jump* jump = narrowPhase.get();
  PairJumpContacts jumpContacts(pair);
  if (jump == nullptr) return false;
  JumpState state = pairState(pair, false);
  bool found = false;
  JumpFeatureLists lists;
  const double reach = pairReach(body1, body2, sweepStep);
  pair.swept = 0;
  if (reach > 0.0) {
    if (BroadPhase::sweptReach(*body1, sweepStep) > 0.0) pair.swept |= kSweptFirst;
    if (BroadPhase::sweptReach(*body2, sweepStep) > 0.0) pair.swept |= kSweptSecond;
  }
  const NarrowPhaseMemo* answer = narrowMemos.answerFor(worker, body1, body2);
  bool apart = false;
  if (answer != nullptr) {
    // The searches would end as they ended for the kept answer.
    state.vertexA = answer->featureIds[0];
    state.vertexB = answer->featureIds[1];
    state.direction = answer->direction;
    lists = answer->lists();
    found = jump->meshMeshFeatureContactsOf(hullOf(body1), hullOf(body2), lists, state, jumpContacts.out);
    if (found) narrowMemos.keep(worker, body1, body2, state, lists);
  } else {
    if (reach > 0.0 && hullsApart(*jump, hullOf(body1), hullOf(body2), state)) {
      // Swept hulls that stand apart: contacts standing apart within the
      // reach, which the solves let close by no more than their gaps.
      // Nothing is kept: the kept answers stand for overlapping hulls.
      apart = jump->meshMeshNearContacts(hullOf(body1), hullOf(body2), reach, state, jumpContacts.out);
      found = apart;
      // Hulls the overlap test parts by less than the distance query
      // tells from touching meet as touching hulls, searched afresh:
      // from the state that parted them the contact query would find
      // them apart too, and the pair would be lost.
      if (!apart) state = freshJumpState();
    }
    if (!apart) {
      found = jump->meshMeshContacts(hullOf(body1), hullOf(body2), state, jumpContacts.out, &lists);
      if (found) narrowMemos.keep(worker, body1, body2, state, lists);
    }
  }
  storePairState(pair, state, false);
  if (!found) {
    pair.contactCount = 0;
    return false;
  }
  spreadFirstContact(pair, jumpContacts.facesA[0], jumpContacts.facesB[0]);
  if (body1->getParent() != nullptr || body2->getParent() != nullptr) pieceSetDepth(pair);
  if (reach > 0.0 && !apart) addFacingPoints(*jump, pair, body1, body2, sweepStep, reach);
  return true;
}

bool PairDispatcher::generateShapeContacts(HardBody* body1, HardBody* body2, CollisionPair* pair,
                                           std::uint32_t worker) {
  if (body1 == nullptr || body2 == nullptr || pair == nullptr) return false;
  pair->contactCount = 0;
  // The pass's room is open only while its helpers may run.
  ParkedBlocks& room = pairPool.parkedBlocks();
  const bool inPass = worker != 0 || room.roomBytes() != 0;
  const LentContacts lent(
      *pair, pairPool.contactScratch(worker),
      inPass && worker < static_cast<std::uint32_t>(kThreadSlotCount) ? &pairPool.retiredBlocks(worker) : nullptr,
      &room);
  const Pk_jump* jump = narrowPhase.get();
  ContactSet set = pair->contactSet();
  PairJumpContacts jumpContacts(*pair);

  switch (shapePairCode(body1->getType(), body2->getType())) {
    case kPairCapsuleCapsule:
      return capsuleCapsuleContacts(body1, body2, set);
    case kPairCapsuleHull:
      return hullCapsuleContacts(jump, *pair, body2, body1, true);
    case kPairHullCapsule:
      return hullCapsuleContacts(jump, *pair, body1, body2, false);
    case kPairCapsuleMesh:
    case kPairMeshCapsule:
      return meshCapsuleContacts(jump, body1, body2, set);
    case kPairHullHull:
      return hullHullContacts(body1, body2, *pair, worker);
    case kPairHullMesh:
    case kPairMeshHull: {
      const bool meshFirst = body1->getType() == kTriMeshBody;
      HardBody* meshBody = meshFirst ? body1 : body2;
      const BVmesh* hull = hullOf(meshFirst ? body2 : body1);
      const ZOVmesh* mesh = meshOf(meshBody);
      if (mesh == nullptr || hull == nullptr || !FaceTree::meshContacts(treeOf(meshBody), *mesh, *hull, jump, set)) {
        return false;
      }
      if (!meshFirst) set.flip();
      return true;
    }
    case kPairMeshMesh: {
      const ZOVmesh* mesh1 = meshOf(body1);
      const ZOVmesh* mesh2 = meshOf(body2);
      return mesh1 != nullptr && mesh2 != nullptr &&
             FaceTree::treeContacts(treeOf(body1), *mesh1, *mesh2, treeOf(body2), set);
    }
    case kPairCapsulePlane:
      return capsulePlaneContacts(body1, planeOf(body2), set);
    case kPairHullPlane: {
      if (jump == nullptr) return false;
      const BarrierBody& plane = planeOf(body2);
      JumpState state = pairState(*pair, false);
      if (!jump->meshPlaneRestingContacts(hullOf(body1), plane.getPlanePoint(), plane.getPlaneNormal(), state,
                                          jumpContacts.out)) {
        pair->contactCount = 0;
        return false;
      }
      storePairState(*pair, state, false);
      spreadFirstContact(*pair, jumpContacts.facesA[0], zov::kNoIndex);
      if (body1->getParent() != nullptr) pieceSetDepth(*pair);
      return true;
    }
    case kPairMeshPlane: {
      const BarrierBody& plane = planeOf(body2);
      const ZOVmesh* mesh = meshOf(body1);
      return mesh != nullptr &&
             FaceTree::planeContacts(treeOf(body1), *mesh, plane.getPlanePoint(), plane.getPlaneNormal(), set);
    }
    default:
      return false;
  }
}
