// The threaded pair processing (PairDealer.h): the dealing and the passes
// over the dealt pairs.

#include <algorithm>
#include <vector>

#include "engine/bodies/HardBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/PairDealer.h"
#include "engine/collision/threads/WorkerPool.h"

namespace {

/// Lists the pair processing deals the pairs to. A fixed number, not the
/// thread count: the dealing decides the order in which pairs that share a
/// body are solved, so the result is the same at every thread count.
constexpr std::uint32_t kPairLists = kMaxWorkerThreads;
/// Pairs a thread of a pair pass should have at least: a pair's solve takes
/// a few microseconds, a helper's wake-up some tens.
constexpr std::uint32_t kPairsPerThread = 16;
/// Pairs a helper reads at a time when the dealing looks ahead.
constexpr std::uint32_t kDealGrain = 64;
/// The holder of a body that only shared pairs write.
constexpr std::uint32_t kSharedBody = kPairLists + 1;
/// Bytes of a cache line.
constexpr std::size_t kCacheLineBytes = 64;

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

/// Reads ahead, on the helpers, the bodies each of `pairs` writes and their
/// kept entries in the bounds table into `written`, each pair prepared first
/// when `prepare` is given; a pair of more than DealtBodies::kHeld bodies
/// keeps only its count, to be read again.
void readDealtBodies(const std::vector<CollisionPair*>& pairs, WorkerPool* pool, std::uint32_t helpers,
                     const BroadPhase& table, std::vector<PairDealer::DealtBodies>& written,
                     const PairDealer::PairPreparation* prepare) {
  using DealtBodies = PairDealer::DealtBodies;
  reserveScratch(written, pairs.size());
  written.resize(pairs.size());
  forEachIndex(pool, helpers, static_cast<std::uint32_t>(pairs.size()), kDealGrain,
               [&](std::uint32_t i, std::uint32_t) {
                 if (prepare != nullptr) (*prepare)(*pairs[i]);
                 HardBody* all[kMaxTaskBodies];
                 const std::uint32_t count = CollisionManager::pairBodies(*pairs[i], all, kMaxTaskBodies);
                 DealtBodies& out = written[i];
                 out.count = count;
                 if (count > DealtBodies::kHeld) return;
                 for (std::uint32_t k = 0; k < count; ++k) {
                   out.bodies[k] = all[k];
                   out.numbers[k] = table.keptEntry(all[k]);
                 }
               });
}

/// A pass ends with each body last written by the last shared pair that
/// writes it, if any: the next pass's shared pair waits for those of its
/// bodies. `sharedSlots` holds each shared pair's body slots as a run from
/// its entry in `sharedSlotsStart` to the next; `lastShared`, by slot, the
/// last shared pair that writes the body.
void waitForLastShared(PairDealer::Dealing& dealing, const std::vector<std::uint32_t>& sharedSlots,
                       const std::vector<std::uint32_t>& sharedSlotsStart,
                       const std::vector<std::int32_t>& lastShared) {
  dealing.sharedAfterPass.resize(dealing.shared.size());
  for (std::size_t i = 0; i < dealing.shared.size(); ++i) {
    std::vector<std::uint32_t>& last = dealing.sharedAfterPass[i];
    for (std::uint32_t k = sharedSlotsStart[i]; k < sharedSlotsStart[i + 1]; ++k) {
      last.push_back(static_cast<std::uint32_t>(lastShared[sharedSlots[k]]));
    }
    std::sort(last.begin(), last.end());
    last.erase(std::unique(last.begin(), last.end()), last.end());
  }
}
}  // namespace

void PairDealer::dealPairs(const std::vector<CollisionPair*>& pairs, Dealing& dealing, std::uint32_t helpers,
                           const PairPreparation* prepare) {
  // Which bodies each pair writes only reads the pair and its bodies: read
  // on the helpers first, the few pairs of many bodies again below.
  std::vector<DealtBodies>& written = dealtBodies;
  readDealtBodies(pairs, helpers != 0 ? manager.workerPool() : nullptr, helpers, manager.broadPhase, written, prepare);
  dealing.lists.resize(kPairLists);
  for (std::vector<CollisionPair*>& list : dealing.lists) list.clear();
  dealing.shared.clear();
  dealing.sharedAfterLists.clear();
  dealing.sharedAfterShared.clear();
  dealing.sharedAfterPass.clear();
  // Each shared pair's body slots, as a run of sharedSlots from its start.
  std::vector<std::uint32_t> sharedSlots;
  std::vector<std::uint32_t> sharedSlotsStart;
  CollisionManager::BodyNumbers slots(manager.broadPhase);
  // By body slot: the list that holds the body (kPairLists for none,
  // kSharedBody for a body of shared pairs only), and the last shared pair
  // that writes it (-1 for none).
  std::vector<std::uint32_t> owner;
  std::vector<std::int32_t> lastShared;
  // Grown a slot at a time, they would leave a block of every size they
  // passed through in the allocator's cache for this thread.
  reserveScratch(owner, manager.broadPhase.entryCount());
  reserveScratch(lastShared, manager.broadPhase.entryCount());
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
      count = CollisionManager::pairBodies(*pair, bodies, kMaxTaskBodies);
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
        // The lists met, in order, each once: a pair meets one or two.
        const auto at = std::lower_bound(met.begin(), met.end(), owner[slot]);
        if (at == met.end() || *at != owner[slot]) met.insert(at, owner[slot]);
      }
    }
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
  sharedSlotsStart.push_back(static_cast<std::uint32_t>(sharedSlots.size()));
  waitForLastShared(dealing, sharedSlots, sharedSlotsStart, lastShared);
  // The bodies read ahead are a pass's working array, as long as the pair
  // list: between passes only its small storage stays.
  clearScratch(written);
}

void PairDealer::processPairsThreaded(const std::vector<CollisionPair*>& pairs, const int& mode, std::uint32_t helpers,
                                      std::uint32_t& outFlags) {
  dealPairs(pairs, kept, helpers);
  runDealtPairs(kept, pairs.size(), mode, helpers, outFlags, false);
}

void PairDealer::runPasses(const std::vector<CollisionPair*>& pairs, const int& mode, std::uint32_t helpers,
                           std::uint32_t& outFlags, int passes, const PairPreparation* prepare) {
  // The passes change no pair's bodies: one dealing serves them all.
  dealPairs(pairs, kept, helpers, prepare);
  runDealtPairs(kept, pairs.size(), mode, helpers, outFlags, true, passes);
}

void PairDealer::runDealtPairs(const Dealing& dealing, std::size_t pairCount, const int& mode, std::uint32_t helpers,
                               std::uint32_t& outFlags, bool fromFound, int passes) {
  const std::uint8_t keptOption = manager.orderedExtraction;
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
  manager.taskOrder.reset(passTasks * static_cast<std::uint32_t>(passes));
  for (std::uint32_t p = 0; p < static_cast<std::uint32_t>(passes); ++p) {
    const std::uint32_t first = p * passTasks;
    if (p != 0) {
      // A list's bodies were written last in the pass before by the list,
      // or by a shared pair that waited for it; a shared pair's bodies, by
      // the shared pairs that write them last.
      const std::uint32_t before = first - passTasks;
      for (std::uint32_t t = 0; t < listTasks; ++t) manager.taskOrder.wait(before + t, first + t);
      for (std::uint32_t i = 0; i < sharedCount; ++i) {
        for (std::uint32_t list : dealing.sharedAfterLists[i]) {
          manager.taskOrder.wait(before + listTasks + i, first + listTask[list]);
        }
        for (std::uint32_t last : dealing.sharedAfterPass[i]) {
          manager.taskOrder.wait(before + listTasks + last, first + listTasks + i);
        }
      }
    }
    for (std::uint32_t i = 0; i < sharedCount; ++i) {
      for (std::uint32_t list : dealing.sharedAfterLists[i])
        manager.taskOrder.wait(first + listTask[list], first + listTasks + i);
      for (std::uint32_t earlier : dealing.sharedAfterShared[i]) {
        manager.taskOrder.wait(first + listTasks + earlier, first + listTasks + i);
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
    return manager.processPair(pair, mode, worker);
  };
  // Each task gathers its flags on its own and writes them once: the
  // threads' flags share a cache line.
  manager.taskOrder.run(
      helpers != 0 ? manager.workerPool() : nullptr, helpers,
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
  manager.orderedExtraction = keptOption;
}
