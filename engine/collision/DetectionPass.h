#pragma once

// The detection pass of the collision manager: moving bodies against the
// resting side, waves outward from it, islands of moving bodies, staging;
// with the pieces of fracture bodies in place of their bodies (the contact
// pass), the pairs of pieces lifted to pairs of their fracture bodies at the
// end.
//
// On helpers run the pair tests, which read bodies whose world data is up
// to date and write only the pair records they take from their own pools,
// the extractions that move different bodies, and the work on each body
// alone (its marks, world data and box, its candidate partners). Everything
// a found pair changes (levels, in-contact flags, wake-ups, the order of the
// lists and of the bounds table) is done by the calling thread afterwards,
// walking the pairs in the order in which one thread would have found them,
// so every thread count gives the same pairs in the same order.

#include <cstdint>
#include <vector>

#include "engine/collision/CollisionManager.h"

class CollisionPair;
class HardBody;

/// One detection pass over the manager's bodies, run by
/// CollisionManager::detectContacts and CollisionManager::contactPass. The
/// manager owns it; it holds the working arrays that the pass keeps between
/// steps and nothing else.
///
/// Reads: the listed bodies (their poses, types, parents and pieces), the
/// manager's ordered-extraction switch, its helpers and its pools.
/// Writes: each body's pass slot (cleared again at the end), contact level,
/// in-contact flag, contact stage and world data; the manager's bounds
/// table, new, deferred and step pairs, frontier and moving candidates, pair
/// counter, wave stamp and the manifolds (released); the narrow phase's
/// memos; and, through extraction, the poses of the bodies it takes out of
/// each other.
class DetectionPass {
 public:
  /// Bodies a helper places in the world at a time.
  static constexpr std::uint32_t kRefreshGrain = 32;
  /// Bodies whose candidates a helper gathers at a time.
  static constexpr std::uint32_t kGatherGrain = 32;
  /// Candidates a helper takes at a time from a batch of pair tests: a test
  /// takes up to tens of microseconds, and the batch ends when the last
  /// block taken does.
  static constexpr std::uint32_t kPassTestGrain = 2;
  /// Pairs a helper reads at a time when the bodies of a wave's extractions
  /// are read ahead.
  static constexpr std::uint32_t kAccessGrain = 8;

  explicit DetectionPass(CollisionManager& manager) : manager(manager) {}
  DetectionPass(const DetectionPass&) = delete;
  DetectionPass& operator=(const DetectionPass&) = delete;

  /// The pass over the given lists with `helpers` helpers for its pair
  /// tests; the result does not depend on their number. With
  /// `piecesInPlace` (the contact pass) fracture bodies take part through
  /// their pieces and the pairs of pieces are lifted at the end. 1 when some
  /// pair is in contact, else 0.
  int run(const CollisionManager::PassBodies& listed, std::uint32_t helpers, bool piecesInPlace);

 private:
  using PassCandidate = CollisionManager::PassCandidate;
  /// What the phases of one pass share.
  struct State {
    bool ordered = false;
    std::uint32_t helpers = 0;
    /// Fracture bodies take part through their pieces (the contact pass).
    bool pieces = false;
    /// The fracture bodies whose pieces stand in for them.
    std::vector<HardBody*> compounds;
    /// Whether a body of the pass has a parent (is a piece): only then may
    /// a pair need lifting.
    bool parented = false;
    /// The pass's bodies by pass slot.
    std::vector<HardBody*> all;
    /// Pass slots, each in the order the engine's lists walk them: the
    /// resting side, the moving bodies no wave has reached yet, the running
    /// wave's frontier.
    std::vector<std::uint32_t> resting;
    std::vector<std::uint32_t> moving;
    std::vector<std::uint32_t> frontier;
    /// Positions in those lists by pass slot (-1 for none).
    std::vector<std::int32_t> restingPos;
    std::vector<std::int32_t> movingPos;
    std::vector<std::int32_t> frontierPos;
    /// The pass's result, folded from the contact counts of its pairs
    /// (countFoundPair).
    std::uint32_t result = 0;
    /// The running wave; the islands take the level after the last.
    std::int32_t wave = 0;
    /// By pass slot, the resting bodies' answers to the rest test and the
    /// round of answers they belong to.
    std::vector<std::uint32_t> restingAskedIn;
    std::vector<std::uint8_t> restingMoves;
  };

  /// The pass's bodies by pass slot: the resting side (barriers, static and
  /// sleeping bodies) at contact level 0, the moving bodies at -1; each body
  /// once, its world data current; the bounds table built over them.
  void gatherBodies(State& pass, const CollisionManager::PassBodies& listed);
  /// gatherBodies's placing of distinct listed bodies, on the helpers;
  /// false, with nothing changed, without helpers, for lists that may hold
  /// a body twice, or when a fracture body's pieces stand in for it.
  bool placeListedAtOnce(State& pass, const CollisionManager::PassBodies& listed);
  /// Every moving body against the resting side. A pair found raises the
  /// moving body above what it touches and wakes the resting one; the moving
  /// bodies that touched become the first frontier.
  void meetMovingAndResting(State& pass);
  /// Each sleeper in `struck` (pass slots, which a moving body strikes)
  /// against the static bodies it touches and the sleepers it lies on, so
  /// that the advance after the hits that wake it holds it on them.
  void meetStruckSupports(State& pass, const std::vector<std::uint32_t>& struck);
  /// Resting bodies against each other, where one of the two moves (a pair
  /// extracted at once).
  void meetRestingPairs(State& pass);
  /// Waves outward from the resting side: the frontier's bodies against each
  /// other and against the moving bodies, those reached the next frontier.
  void runWaves(State& pass);
  /// Moving bodies that touch only each other, a level above the last wave;
  /// their pairs staged (ordered extraction) or extracted now.
  void meetIslands(State& pass);
  /// The pairs found become the step's pairs, oldest first; the manifolds
  /// are released. The pass's result.
  int finish(State& pass);
  /// Counts a pair found by the pass into the pair counter and the result.
  void countFoundPair(State& pass, const CollisionPair& pair);
  /// A pair that raised a body: deferred with ordered extraction, else a new
  /// pair extracted at once.
  void keepRaisingPair(State& pass, CollisionPair* pair);
  /// Adds to `reachedSlots` (flagged in `reached`) the pieces of each
  /// fracture body a reached piece belongs to, at that piece's level.
  static void joinSiblingPieces(State& pass, std::vector<std::uint8_t>& reached,
                                std::vector<std::uint32_t>& reachedSlots);
  /// Each fracture body whose pieces stood in for it: in contact when one
  /// of them is, a moving one at the lowest level they reached.
  static void levelCompoundsFromPieces(State& pass);
  /// Every step pair of a piece becomes a pair of its fracture body (the
  /// piece kept in the pair's piece field, the contacts in the new bodies'
  /// frames); the later pairs of the same two bodies are merged into the
  /// first and given back; the lifted pairs, cleared of duplicate and
  /// opposing contacts, follow the others. The pair counter is the step
  /// pairs' count.
  void liftPiecePairs();
  /// One pair of pieces to the pair of their fracture bodies (a side that is
  /// not a piece stays).
  static void liftPair(CollisionPair& pair);
  /// Appends the contacts of `source` to `target` while it holds fewer than
  /// kMaxPairContacts, in the target's frames: `sign` 1 when both pairs hold
  /// the bodies in the same order, -1 when swapped (normals and tangents
  /// turned round).
  static void mergePairContacts(CollisionPair& target, const CollisionPair& source, double sign);

  /// A list walked the way the engine's lists walk: appending puts a value
  /// in front, so the walk meets the values in the reverse order of their
  /// appending.
  static void asAppended(std::vector<std::uint32_t>& appendOrder);
  /// pos[list[i]] = i, every other position -1.
  static void setPositions(const std::vector<std::uint32_t>& list, std::vector<std::int32_t>& pos);

  CollisionManager& manager;
  /// Working arrays of the phases, kept to reuse their storage: the
  /// candidates of a batch of pair tests and their pairs, the later resting
  /// partners of a resting body, which moving bodies the running wave
  /// touched, and the listed bodies placed at once with their pass slots.
  std::vector<PassCandidate> candidates;
  std::vector<CollisionPair*> found;
  std::vector<std::uint32_t> laterResting;
  /// The sleepers moving bodies strike, and a struck sleeper's partners,
  /// by pass slot.
  std::vector<std::uint32_t> struckSleepers;
  std::vector<std::uint32_t> partners;
  std::vector<std::uint8_t> movingTouched;
  std::vector<HardBody*> listedBodies;
  std::vector<std::int32_t> listedSlots;
};
