#pragma once

// The upward pass of a step's resting-contact processing: after the pair
// passes, each body that rests on others, from the bottom of the pile up, is
// stopped on all its supports at once, or, where that is refused, each of its
// support pairs is resolved with the support held. A body that tips over the
// edge of the region its supports hold it on with what rests on it (a
// fracture body as one body) is not held, and the bodies on it are resolved
// with it free. Bodies on one support and separate stacks go at
// once on the helpers, each hold after the earlier ones that use a body it
// writes or write one it uses.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "math/MgcVector3.h"

class CollisionManager;
class CollisionPair;
class HardBody;
struct RBDynamics;
class WorkerPool;

/// The pile holding of CollisionManager::processPairs. The manager owns it;
/// it keeps the working arrays of the pass, for their storage, and nothing
/// else.
///
/// Reads: the bearing pairs handed to it (their bodies, found contacts,
/// friction) and their bodies' motion states, levels, masses and meshes
/// (a fracture body's pieces');
/// the manager's processed pairs (which bodies touch), gravity direction,
/// closing rate, helpers, bounds table and solver workspaces. Writes: each
/// pair's held flags and contacts (put back from the found ones and
/// compacted to those that hold), the bodies' velocities through impulses,
/// their meshes' world places, and, where a hold is refused, what the
/// manager's processPair writes; the manager's task order.
class PileHolder {
 public:
  explicit PileHolder(CollisionManager& manager) : manager(manager) {}
  PileHolder(const PileHolder&) = delete;
  PileHolder& operator=(const PileHolder&) = delete;

  /// Holds each body that rests on others in `bearing` (the pairs that bear
  /// weight, in the step's order) on its supports, lowest first: stopped on
  /// all of them at once (holdOnSupports), or, where that is refused, each
  /// of its support pairs processed in `mode` with the support held (only
  /// those at rest, supportsAtRest, where a support is loaded over a static
  /// body's edge: CollisionManager::loadedOverLedge). A body that tips with
  /// what it bears (tipsWithBorne)
  /// is not held but has all its support pairs processed so, and the bodies
  /// on it have their pairs with it processed after the holds, both bodies
  /// free. Gathers the processing's flags into `outFlags`.
  void holdPiles(const std::vector<CollisionPair*>& bearing, const int& mode, std::uint32_t& outFlags);
  /// Lets the working arrays go but for their small storage: they are as
  /// long as the bearing pairs.
  void releaseArrays();
  /// Bytes the working arrays keep between passes.
  std::size_t keptBytes() const;

 private:
  /// A run of pairs in an array, [first, last).
  struct PairRun {
    CollisionPair* const* first;
    CollisionPair* const* last;
    CollisionPair* const* begin() const { return first; }
    CollisionPair* const* end() const { return last; }
  };
  /// A pair that bears weight: the body resting on the other, the pair's
  /// place in the bearing pairs, the body's contact level and its kept entry
  /// in the bounds table (-1 for none).
  struct BearingPair {
    HardBody* body;
    std::uint32_t pair;
    std::int32_t level;
    std::int32_t entry;
  };
  /// A body that rests on others: its level and its run of BearingPairs.
  struct HeldBody {
    HardBody* body;
    std::int32_t level;
    std::uint32_t begin;
    std::uint32_t end;
  };
  /// The bodies a hold reads and writes, as read ahead on the helpers; a
  /// hold of more than kHeld bodies is read again in order.
  struct HoldAccess {
    static constexpr std::uint32_t kHeld = 12;
    /// Set for every hold by the reading: left unset when made, so that
    /// making the array costs no pass over it.
    std::uint32_t count;
    HardBody* bodies[kHeld];
    bool writes[kHeld];
    /// Each body's kept entry in the bounds table (-1 for none).
    std::int32_t numbers[kHeld];
  };

  /// The bodies that rest on others, each with its run of support pairs in
  /// their order, lowest first (a body is stopped on supports that are
  /// already at rest), bodies of one level in the order the pairs meet them.
  void gatherHeldBodies(const std::vector<CollisionPair*>& bearing, WorkerPool* pool, std::uint32_t helpers);
  /// The support pairs of held body `task`.
  PairRun heldSupportsOf(std::uint32_t task) const;
  /// Of each held body, the held body that stands for the body that moves
  /// it: itself, or, for a piece, the first held piece of its fracture body,
  /// at which the fracture body's weights and tipping are kept (into
  /// moverTasks, nextPieces and heldByAddress).
  void gatherMovers();
  /// The held body that stands for the body that moves `body` (see
  /// gatherMovers), when that body weighs in the pile: its place among the
  /// held bodies, else -1.
  std::int32_t moverTaskOf(const HardBody& body) const;
  /// Into borneWeights, at the held body that stands for each body that
  /// moves, the weight of the bodies that rest on it, from the top of each
  /// pile down. Only a moving body that rests on its supports alone (in no
  /// other pair but those in which it bears another) weighs on them: on one
  /// body that moves, it hands that its own weight and what it bears, where
  /// they are; on several, each the share its contacts there carried in the
  /// step's passes, where they carried it, a load whose place the statics
  /// of all the supports decide.
  void gatherBorneWeights();
  /// Into moverStates, of each body that moves, whether it tips with what
  /// it bears (tipsWithBorne), or lies on a body that does, or on one such.
  void judgeTipping();
  /// Whether the body that held body `mover` stands for (see gatherMovers),
  /// with the weight it bears, tips over an edge of the region its supports
  /// hold it on: its contacts with them lie in one plane, and the centre of
  /// mass of it and what it bears, seen along gravity, lies past the convex
  /// hull of the points where a support holds it up (the contacts found, and
  /// the corners of the faces that meet there, also where the body rocks off
  /// some), while its own centre lies inside. Then nothing under the body
  /// holds the pile up, however each body of it stands on the one below.
  /// Where the place of what it bears is not known, only a centre past the
  /// outline the body casts on the plane tips it. May place meshes in the
  /// world.
  bool tipsWithBorne(std::uint32_t mover);
  /// Orders the holds in the manager's task order by the bodies each reads
  /// and writes; false when a hold uses more than kMaxTaskBodies bodies.
  bool orderHolds(WorkerPool* pool, std::uint32_t helpers);
  /// Stops `body` on every contact of its support pairs `supports` that are
  /// at rest (supportsAtRest; the other bodies held) in one system: the
  /// impulses that leave no contact moving, without the contacts that could
  /// only pull. False, with nothing applied, when the contacts do not fit in
  /// one system or those impulses leave a friction cone (counted with the
  /// load each contact carried in the step's passes): then the body slides,
  /// or leaves, as its pairs decide.
  /// Sets `leftMoving` when, held, the body still moves on a support at one
  /// of the contacts that hold it.
  /// Sets `pinned` when the contacts that hold it pin the body, so that a
  /// blow on it from above goes on to its supports.
  bool holdOnSupports(HardBody* body, const PairRun& supports, std::uint32_t worker, bool& leftMoving, bool& pinned);
  /// Whether every support of held body `task` that moves is held, pinned by
  /// its own supports, in this pass (see holdOnSupports).
  bool onPinnedSupports(std::uint32_t task) const;
  /// Of the support pairs of `body`, those whose contacts move no faster
  /// than the slowest support's by more than a resting contact does
  /// (pairprocessing::kRestingContactSpeed), or, of a support much lighter
  /// than the body (pairprocessing::kLoadingMassRatio) that overhangs a
  /// static body's edge under load (CollisionManager::loadedOverLedge), by
  /// more than a still contact does (pairprocessing::kHeldResidual), copied
  /// into `room` (room for kMaxPairContacts pairs) when some are left out;
  /// `supports` itself when none is, or when they are one or more than
  /// `room` holds.
  PairRun supportsAtRest(const HardBody& body, const PairRun& supports, CollisionPair** room) const;

  CollisionManager& manager;
  /// The working arrays, kept for their storage.
  std::vector<BearingPair> bearingPairs;
  std::vector<BearingPair> groupedPairs;
  std::vector<std::uint32_t> entryStarts;
  std::vector<HeldBody> heldBodies;
  std::vector<CollisionPair*> heldSupports;
  /// How a body's hold ended: held; held, but still moving on a support
  /// (held again once its supports are); not held, as it tips with what it
  /// bears (tipsWithBorne); not held, as it lies on a body that does so, or
  /// on one such itself.
  enum HoldOutcome : std::uint8_t { kHeld, kLeftMoving, kTipping, kOnTipping };
  /// By held body, how its hold ended.
  std::vector<std::uint8_t> holdOutcomes;
  /// By held body, whether its hold pinned it on its supports.
  std::vector<std::uint8_t> pinnedHolds;
  /// The mass a held body bears and its first moment (the sum of mass times
  /// position), and whether the load's place is known: every body it bears
  /// rests on it alone, and on the bodies it bears alone.
  struct Borne {
    double mass;
    Mgc::MgcVector3 moment;
    bool located;
  };
  /// By held body that stands for a body that moves, the weight it bears.
  std::vector<Borne> borneWeights;
  /// By held body, the held body that stands for the body that moves it,
  /// and the next held piece of its fracture body (the count of held bodies
  /// for none).
  std::vector<std::uint32_t> moverTasks;
  std::vector<std::uint32_t> nextPieces;
  /// The fracture bodies of held pieces, and the held bodies the bounds
  /// table keeps no entry of (a whole fracture body), by address, each with
  /// the held body that stands for it.
  std::vector<std::pair<const HardBody*, std::uint32_t>> heldByAddress;
  /// By held body that stands for a body that moves, how that body's holds
  /// end for its tipping: 0, kTipping or kOnTipping.
  std::vector<std::uint8_t> moverStates;
  /// Two directions across gravity, square to each other, in which the
  /// tipping of a pile is seen (set by gatherBorneWeights).
  Mgc::MgcVector3 levelAcross;
  Mgc::MgcVector3 levelAlong;
  /// By kept entry in the bounds table, the held body's place (-1 for none).
  std::vector<std::int32_t> heldOfEntry;
  /// By held body, the pairs in which it is not held up.
  std::vector<std::uint32_t> pairsTouching;
};

namespace pileholding {

/// A body on several supports is stopped by many sets of impulses: every
/// set that puts the same force and moment on it. Moves the impulses
/// `totals` (on the body, at the points of arms `arms` from its position)
/// of the n contacts not marked in `out` to such a set that lies in each
/// contact's friction cone: pushing along its unit normal `normals[i]`, the
/// part across it at most `friction[i]` times the part along it. Projects
/// into the cones and back onto the sets of that force and moment in turn,
/// which reaches a set in both when there is one, the parts across the
/// normals counting more than those along them, as in the hold. True when
/// the impulses reach such a set within a few rounds; else `totals` is left
/// as it came.
bool spreadIntoCones(std::uint32_t n, const Mgc::MgcVector3* arms, const Mgc::MgcVector3* normals,
                     const double* friction, const std::uint8_t* out, Mgc::MgcVector3* totals);

/// Whether taking the impulses `impulses` at the n points of arms `arms`
/// from its position would leave a body of motion `state` with more than
/// twice the kinetic energy it has, and that of moving at 3 mm/s (what a body
/// come to rest takes from supports still settling under it). A hold stops
/// a body on slow supports, or takes it along with them; one that sets it
/// moving faster follows a support kicked in the step's passes (a slab under
/// a leaning one, lifted by the bounce of the slab it lies on) by turning
/// the leaning slab about its contacts there, which would drive its other
/// end into what it has no pair with (the ground it stands a few
/// millimetres above).
bool holdKicks(const RBDynamics& state, std::uint32_t n, const Mgc::MgcVector3* arms, const Mgc::MgcVector3* impulses);

}  // namespace pileholding
