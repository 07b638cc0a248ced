#pragma once

// The threaded pair processing: the step's pairs dealt to lists that share
// no body, the lists run at once on the calling thread and the helpers, each
// in its order, then the pairs that join two lists, in their order, each
// after the lists and the earlier shared pairs that write one of its bodies.
// The dealing, not the thread count, decides the order in which pairs that
// share a body are solved: every thread count gives the same result.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class CollisionManager;
class CollisionPair;
class HardBody;

/// The pair dealing and the passes over the dealt pairs of
/// CollisionManager::processPairs. The manager owns it; it keeps the dealing
/// and the bodies read ahead, for their storage, and nothing else.
///
/// Reads: the pairs handed to it and the bodies each writes
/// (CollisionManager::pairBodies); the manager's bounds table, helpers and
/// ordered-extraction switch. Writes: its dealing; the bodies' pass slots
/// while a dealing lends them numbers; the manager's task order; and, through
/// the manager's processPair, what the pairs' processing writes.
class PairDealer {
 public:
  /// The pairs of one pair processing dealt to lists that share no body,
  /// and the pairs that join two lists.
  struct Dealing {
    /// kMaxWorkerThreads lists, whatever the thread count.
    std::vector<std::vector<CollisionPair*>> lists;
    std::vector<CollisionPair*> shared;
    /// For each shared pair: the lists, and the earlier shared pairs (by
    /// their index in `shared`), that write one of its bodies.
    std::vector<std::vector<std::uint32_t>> sharedAfterLists;
    std::vector<std::vector<std::uint32_t>> sharedAfterShared;
    /// For each shared pair: the shared pairs that write one of its bodies
    /// last in a pass (itself among them), which it waits for in the next
    /// pass.
    std::vector<std::vector<std::uint32_t>> sharedAfterPass;
  };
  /// The bodies a pair writes, as the dealing reads them ahead on the
  /// helpers; a pair of more than kHeld bodies is read again when dealt.
  struct DealtBodies {
    static constexpr std::uint32_t kHeld = 6;
    /// Set for every pair by the reading: left unset when made, so that
    /// making the array costs no pass over it.
    std::uint32_t count;
    HardBody* bodies[kHeld];
    /// Each body's kept entry in the bounds table (-1 for none).
    std::int32_t numbers[kHeld];
  };

  /// What the passes' caller does to each pair before it is dealt: called
  /// once a pair, on any thread, in any order, so it may write only its pair.
  using PairPreparation = std::function<void(CollisionPair&)>;

  explicit PairDealer(CollisionManager& manager) : manager(manager) {}
  PairDealer(const PairDealer&) = delete;
  PairDealer& operator=(const PairDealer&) = delete;

  /// Deals the pairs in their order: a pair that writes bodies of one list
  /// joins that list (its other bodies with it), a pair of bodies no list
  /// holds opens the next list in turn, and a pair that writes bodies of two
  /// lists, or a body of a shared pair, is shared (its bodies no list holds
  /// with it), so that no list writes a body a shared pair writes unless the
  /// pair waits for that list. With `prepare`, each pair is prepared first,
  /// just before its bodies are read.
  void dealPairs(const std::vector<CollisionPair*>& pairs, Dealing& dealing, std::uint32_t helpers = 0,
                 const PairPreparation* prepare = nullptr);
  /// The threaded pair processing: the pairs dealt (dealPairs), the lists run
  /// at once on the calling thread and the helpers, each in its order, then
  /// the shared pairs as a run in order on the calling thread would.
  void processPairsThreaded(const std::vector<CollisionPair*>& pairs, const int& mode, std::uint32_t helpers,
                            std::uint32_t& outFlags);
  /// `passes` passes over `pairs`, dealt once, each as processPairsThreaded
  /// runs them, a pass's work on a body after the earlier pass's (so that one
  /// pass may go on where another has not yet ended), each pair starting from
  /// the contacts it found, put back by the thread that resolves it. With
  /// `prepare`, each pair is first prepared, in the dealing's reading of its
  /// bodies (one walk over the pairs instead of two).
  void runPasses(const std::vector<CollisionPair*>& pairs, const int& mode, std::uint32_t helpers,
                 std::uint32_t& outFlags, int passes, const PairPreparation* prepare = nullptr);
  /// Bytes the bodies read ahead keep between passes.
  std::size_t keptBytes() const { return dealtBodies.capacity() * sizeof(DealtBodies); }

 private:
  /// `passes` passes over `pairCount` pairs dealt to `dealing`; with
  /// `fromFound`, each pair starts from the contacts it found.
  void runDealtPairs(const Dealing& dealing, std::size_t pairCount, const int& mode, std::uint32_t helpers,
                     std::uint32_t& outFlags, bool fromFound, int passes = 1);

  CollisionManager& manager;
  /// The bodies each pair writes, read ahead, and the processing's dealing,
  /// kept to reuse their storage.
  std::vector<DealtBodies> dealtBodies;
  Dealing kept;
};
