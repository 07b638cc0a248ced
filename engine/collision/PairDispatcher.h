#pragma once

// The pair dispatcher of the collision manager: the narrow phase of a
// candidate body pair. It answers whether the two bodies overlap, then which
// contacts they have, dispatched on the code of their shapes; fracture
// bodies answer through their pieces.

#include <cstdint>
#include <memory>

#include "engine/collision/PairPool.h"
#include "engine/collision/narrowphase/NarrowPhaseMemos.h"
#include "geometry/EngineList.h"

class CollisionPair;
class HardBody;
class Pk_jump;

/// Contacts each side keeps when two contact sets are merged.
constexpr std::uint32_t kMergedContacts = 16;

/// Shape-pair codes of the pair dispatch: the first body's shape, then the
/// second's. Capsules and crackers count as one shape; 0 collides with
/// nothing (a barrier in first place, two barriers, phantoms, fracture
/// bodies).
enum ShapePairCode : std::uint32_t {
  kPairNone = 0,
  kPairCapsuleCapsule = 1,
  kPairCapsuleHull = 2,
  kPairHullCapsule = 3,
  kPairCapsuleMesh = 4,
  kPairMeshCapsule = 5,
  kPairHullHull = 6,
  kPairHullMesh = 7,
  kPairMeshHull = 8,
  kPairMeshMesh = 9,
  kPairCapsulePlane = 10,
  kPairHullPlane = 11,
  kPairMeshPlane = 12,
};

/// The overlap tests and contact generation of body pairs, run by the
/// manager's testBodyPair and testBodyPairExact. The manager owns it and
/// lends it the pools, the narrow phase, its kept answers and the list of
/// new pairs; it keeps nothing of its own, and knows nothing of the manager.
///
/// Reads: both bodies' types, flags, bounding spheres, boxes and shapes
/// (world capsules, hull meshes, triangle meshes and their face trees,
/// barrier planes) and a fracture body's pieces; the narrow phase.
/// Writes: the pair's contact set (points on the first body, normals from
/// the second towards the first, depths negative in penetration), its
/// cached narrow-phase state (feature ids, separating vector, face-tree
/// nodes) and touching pieces; the world data of a body that is not current;
/// scratch pairs from worker `worker`'s pool (given back), the worker's
/// contact scratch and set-aside blocks; the narrow phase's kept answers
/// (worker `worker`'s); with addContactPair, the new pairs.
///
/// `worker` (0 = the calling thread) selects the pool that scratch pairs
/// come from; the tests keep every other working state on their own stack,
/// so workers may test different pairs at once provided the bodies' world
/// data are current and nothing moves them.
class PairDispatcher {
 public:
  PairDispatcher(PairPool& pairPool, const std::unique_ptr<Pk_jump>& narrowPhase, NarrowPhaseMemos& narrowMemos,
                 EngineList<CollisionPair*>& newPairs)
      : pairPool(pairPool), narrowPhase(narrowPhase), narrowMemos(narrowMemos), newPairs(newPairs) {}
  PairDispatcher(const PairDispatcher&) = delete;
  PairDispatcher& operator=(const PairDispatcher&) = delete;

  /// The code of the shape pair (ShapePairCode).
  static std::uint32_t shapePairCode(std::uint32_t firstType, std::uint32_t secondType);
  /// Whether the bodies overlap; a fracture body answers through its first
  /// overlapping piece. False for a null body or pair.
  bool testBodyPair(HardBody* body1, HardBody* body2, CollisionPair* pair, std::uint32_t worker);
  /// The overlap test of two bodies that are not fracture bodies, on the
  /// pair's narrow-phase cache.
  bool testShapePair(HardBody* body1, HardBody* body2, CollisionPair* pair, std::uint32_t worker);
  /// Fills the pair's contact set (at most kMaxPairContacts: the pieces of a
  /// fracture body add theirs, both sets cut to kMergedContacts when the sum
  /// would reach the limit) and drops depth outliers. True when it holds
  /// contacts; false, with nothing touched, for a null body or pair.
  bool testBodyPairExact(HardBody* body1, HardBody* body2, CollisionPair* pair, std::uint32_t worker);
  /// Contact generation of two bodies that are not fracture bodies.
  bool generateShapeContacts(HardBody* body1, HardBody* body2, CollisionPair* pair, std::uint32_t worker);
  /// Generates the contacts of the scratch pair's two bodies and appends
  /// them to `pair`, which records the scratch's bodies as its touching
  /// pieces. False when the scratch has no contacts.
  bool mergePieceContacts(CollisionPair* pair, CollisionPair* scratch, std::uint32_t worker);
  /// Cuts the pair's contacts to kMergedContacts extreme points, moved to the
  /// front in the order chosen.
  static void reducePairContacts(CollisionPair& pair);
  /// Drops the contacts whose depth lies more than 1.1 standard deviations
  /// from the mean, compacting every per-contact array of the pair.
  static void filterDepthOutliers(CollisionPair& pair);
  /// Appends a pair found in contact to the new pairs; true.
  bool addContactPair(CollisionPair* pair);
  /// The step the bodies move through before the next pass (s): two hulls,
  /// one of them swept (BroadPhase::sweptReach), that stand apart by less
  /// than their reaches over it meet, with contacts standing apart. 0, the
  /// start, sweeps none.
  void setSweepStep(double seconds) { sweepStep = seconds > 0.0 ? seconds : 0.0; }
  double getSweepStep() const { return sweepStep; }

 private:
  /// Walks the pieces of the fracture body `compound` (the pair's first body
  /// when `compoundFirst`) against `other` with a scratch pair of the worker:
  /// the overlap test, stopping at the first piece that overlaps.
  bool testPiecesOverlap(HardBody* compound, HardBody* other, bool compoundFirst, std::uint32_t worker);
  /// Appends the contacts of `source` to `pair`, cutting both sets to
  /// kMergedContacts first when together they would reach kMaxPairContacts.
  static void appendPairContacts(CollisionPair& pair, CollisionPair& source);
  /// The overlap test of two hulls, on the pair's narrow-phase cache; swept
  /// hulls apart by less than their reach meet too.
  bool hullsMeet(HardBody* body1, HardBody* body2, CollisionPair& pair, std::uint32_t worker);
  /// Contact generation of two hulls, on the pair's narrow-phase cache and
  /// the kept answers; a swept pair's hulls that stand apart within their
  /// reach meet with contacts standing apart.
  bool hullHullContacts(HardBody* body1, HardBody* body2, CollisionPair& pair, std::uint32_t worker);

  /// The free pair records of every thread slot, which scratch pairs come
  /// from, with each slot's contact scratch and set-aside blocks.
  PairPool& pairPool;
  /// The one query engine (made after the dispatcher, hence held by its
  /// owner).
  const std::unique_ptr<Pk_jump>& narrowPhase;
  NarrowPhaseMemos& narrowMemos;
  EngineList<CollisionPair*>& newPairs;
  double sweepStep = 0.0;
};
