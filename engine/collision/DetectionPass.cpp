// The collision manager's world-step passes: the detection pass (moving
// bodies against the resting side, waves outward from it, islands of moving
// bodies, staging), the cracker pass, and the contact pass, which runs the
// detection pass's rules with its pair tests spread over helper threads,
// testing the pieces of fracture bodies in place of their bodies and lifting
// the pairs of pieces to pairs of their fracture bodies at the end.
//
// On helpers run the pair tests, which read bodies whose world data is up
// to date and write only the pair records they take from their own pools,
// the extractions that move different bodies, and the work on each body
// alone (its marks, world data and box, its candidate partners). Everything
// a found pair changes (levels, in-contact flags, wake-ups, the order of the
// lists and of the bounds table) is done by the calling thread afterwards,
// walking the pairs in the order in which one thread would have found them,
// so every thread count gives the same pairs in the same order.

#include <algorithm>
#include <atomic>

#include "engine/EngineTrace.h"
#include "engine/bodies/HardBody.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/CompoundPieces.h"
#include "engine/collision/ContactManifold.h"
#include "engine/collision/threads/WorkerPool.h"
#include "engine/fracture/FractureBody.h"
#include "math/MgcMatrix3.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// Candidates a helper takes at a time from a batch of pair tests.
constexpr std::uint32_t kPassTestGrain = 8;
/// Bodies whose candidates a helper gathers at a time.
constexpr std::uint32_t kGatherGrain = 32;
/// Candidates a body of a pile has: the boxes around it, those above and
/// below it and those beside them.
constexpr std::uint32_t kTypicalPartners = 8;
/// Moving bodies a helper places in the world at a time.
constexpr std::uint32_t kRefreshGrain = 32;
/// Blocks of moving bodies each thread takes on average when they are
/// tested against the resting ones.
constexpr std::uint32_t kBlocksPerThread = 8;

/// The result rule of every pass: a running value that a pair's contact count
/// replaces when it is 1 or when the value is still 0.
void foldPassResult(std::uint32_t& result, std::uint32_t count) {
  if (count == 1 || result == 0) result = count;
}

/// A list walked the way the engine's lists walk: appending puts a value in
/// front, so the walk meets the values in the reverse order of their
/// appending.
void asAppended(std::vector<std::uint32_t>& appendOrder) { std::reverse(appendOrder.begin(), appendOrder.end()); }

void setPositions(const std::vector<std::uint32_t>& list, std::vector<std::int32_t>& pos) {
  std::fill(pos.begin(), pos.end(), -1);
  for (std::size_t i = 0; i < list.size(); ++i) pos[list[i]] = static_cast<std::int32_t>(i);
}

/// Clears every body's pass slot when the pass ends, also on an exception.
struct PassSlotsGuard {
  BroadPhase& table;
  ~PassSlotsGuard() { table.clear(); }
};

/// Whether one of the bodies is a fracture body and the other its piece.
bool compoundAndPiece(const HardBody* a, const HardBody* b) {
  return (a->getType() == kFractureBody && b->getParent() == a) ||
         (b->getType() == kFractureBody && a->getParent() == b);
}

/// Whether the bodies are two pieces of one fracture body, which the joints,
/// not contacts, hold together.
bool siblingPieces(const HardBody* a, const HardBody* b) {
  return a->getParent() != nullptr && a->getParent() == b->getParent();
}

/// Notes in the bounds table that `moved` moved: its own slot, or those of
/// its pieces when they stand in for it in the pass.
void noteMovedInPass(BroadPhase& table, HardBody* moved) {
  if (moved->getPassSlot() >= 0) {
    table.noteMoved(static_cast<std::uint32_t>(moved->getPassSlot()));
    return;
  }
  if (const EngineList<PrivateHardBody*>* pieces = compoundPiecesOf(moved)) {
    for (auto* node = pieces->getFirst(); node != nullptr; node = node->next) {
      HardBody* piece = node->value;
      if (piece != nullptr && piece->getPassSlot() >= 0)
        table.noteMoved(static_cast<std::uint32_t>(piece->getPassSlot()));
    }
  }
}

}  // namespace

// ---- Pair test -----------------------------------------------------------------

std::uint32_t CollisionManager::testPairOn(CollisionPair* record, HardBody* first, HardBody* second,
                                           std::uint32_t worker) {
  if (record == nullptr || first == nullptr || second == nullptr) return 0;
  record->reset();
  record->firstBody = first;
  record->secondBody = second;
  // The pair's kept narrow-phase answer stands for the searches while both
  // bodies stand where it was found.
  narrowMemos.beginTest(worker, first, second);
  struct EndTest {
    NarrowPhaseMemos& memos;
    std::uint32_t worker;
    ~EndTest() { memos.endTest(worker); }
  } endTest{narrowMemos, worker};
  if (testBodyPair(first, second, record, worker) && testBodyPairExact(first, second, record, worker)) {
    prepareContacts(*record);
  } else {
    record->contactCount = 0;
  }
  record->resultCount = record->contactCount;
  return record->contactCount;
}

std::uint32_t CollisionManager::initPair(HardBody* first, HardBody* second, CollisionPair* record,
                                         std::uint32_t worker) {
  return testPairOn(record, first, second, worker);
}

std::uint32_t CollisionManager::testPair(HardBody* first, HardBody* second) {
  if (first == nullptr || second == nullptr) return 0;
  CollisionPair* record = threadBuffer(0);
  if (record == nullptr) return 0;
  const std::uint32_t count = testPairOn(record, first, second, 0);
  if (count == 0) {
    queueContact(record, 0);
    return 0;
  }
  newPairs.append(record);
  ++pairCounter;
  return count;
}

// ---- Pass helpers ----------------------------------------------------------------

void CollisionManager::refreshForPass(HardBody* body) {
  if (body == nullptr || body->getType() == kPhantomBody) return;
  if (!body->isWorldModified()) body->updateWorldData();
  body->notePassPose();
  if (const EngineList<PrivateHardBody*>* pieces = compoundPiecesOf(body)) {
    for (auto* node = pieces->getFirst(); node != nullptr; node = node->next) {
      HardBody* piece = node->value;
      if (piece != nullptr && piece->getType() != kPhantomBody && !piece->isWorldModified()) piece->updateWorldData();
    }
  }
}

void CollisionManager::extractNow(CollisionPair* pair) {
  extractContacts(pair);
  for (HardBody* b : {pair->firstBody, pair->secondBody}) {
    if (b == nullptr) continue;
    HardBody* moved = b->getParent() != nullptr ? b->getParent() : b;
    refreshForPass(moved);
    noteMovedInPass(broadPhase, moved);
  }
}

void CollisionManager::gatherCandidates(const std::vector<std::uint32_t>& xs, const std::vector<std::uint32_t>& ys,
                                        const std::vector<std::int32_t>& yPos, bool laterOnly,
                                        std::vector<PassCandidate>& out) {
  // The candidates of xs[ix] with the partners later than it wants, in ys's
  // order: appended as found, then that tail sorted by place in ys (each
  // partner has its own place, so that the order is the one of the places).
  const auto partnersOf = [&](std::size_t ix, std::vector<PassCandidate>& into) {
    const std::uint32_t x = xs[ix];
    if (broadPhase.isInert(x)) return;
    const std::int32_t after = laterOnly ? static_cast<std::int32_t>(ix) : -1;
    if (broadPhase.isUnbounded(x)) {
      for (std::size_t iy = static_cast<std::size_t>(after + 1); iy < ys.size(); ++iy) {
        if (!broadPhase.isInert(ys[iy])) into.push_back(PassCandidate{x, ys[iy]});
      }
      return;
    }
    const std::size_t first = into.size();
    const auto consider = [&](std::uint32_t y) {
      if (yPos[y] > after) into.push_back(PassCandidate{x, y});
    };
    broadPhase.forEachNeighbour(x, consider);
    for (std::uint32_t y : broadPhase.unbounded()) consider(y);
    std::sort(into.begin() + static_cast<std::ptrdiff_t>(first), into.end(),
              [&](const PassCandidate& a, const PassCandidate& b) { return yPos[a.second] < yPos[b.second]; });
  };
  const auto n = static_cast<std::uint32_t>(xs.size());
  if (passHelperCount == 0 || n <= 2 * kGatherGrain) {
    for (std::size_t ix = 0; ix < n; ++ix) partnersOf(ix, out);
    return;
  }
  // Each body's partners only read the bounds table: gathered on the
  // helpers, each block of bodies apart, then joined in order. The blocks'
  // lists live only for the call, so that what the busiest pass gathered is
  // not kept between steps; they are made here at once with room for a
  // pile's partners, so that the helpers neither make them nor grow them
  // through every small size.
  const std::uint32_t blocks = (n + kGatherGrain - 1) / kGatherGrain;
  std::vector<std::vector<PassCandidate>> blockCandidates(blocks);
  for (std::vector<PassCandidate>& candidates : blockCandidates) candidates.reserve(kGatherGrain * kTypicalPartners);
  forEachIndex(workerPool(), passHelperCount, blocks, 1, [&](std::uint32_t block, std::uint32_t) {
    const std::uint32_t end = std::min(n, (block + 1) * kGatherGrain);
    for (std::uint32_t ix = block * kGatherGrain; ix < end; ++ix) partnersOf(ix, blockCandidates[block]);
  });
  for (const std::vector<PassCandidate>& candidates : blockCandidates) {
    out.insert(out.end(), candidates.begin(), candidates.end());
  }
}

CollisionPair* CollisionManager::testCandidate(const PassCandidate& candidate, std::uint32_t worker) {
  return testPairRecord(broadPhase.body(candidate.first), broadPhase.body(candidate.second), worker);
}

void CollisionManager::testCandidates(const std::vector<PassCandidate>& candidates, std::vector<CollisionPair*>& found,
                                      std::uint32_t helpers) {
  found.assign(candidates.size(), nullptr);
  forEachIndex(helpers != 0 ? workerPool() : nullptr, helpers, static_cast<std::uint32_t>(candidates.size()),
               kPassTestGrain,
               [&](std::uint32_t i, std::uint32_t worker) { found[i] = testCandidate(candidates[i], worker); });
}

void CollisionManager::testMovingAgainstResting(const std::vector<PassCandidate>& candidates,
                                                std::vector<CollisionPair*>& found, std::uint32_t helpers) {
  found.assign(candidates.size(), nullptr);
  // The moving bodies in candidate order, with where their candidates start.
  std::vector<std::uint32_t> starts;
  reserveScratch(starts, candidates.size() + 1);
  for (std::uint32_t i = 0; i < candidates.size(); ++i) {
    if (i == 0 || candidates[i].first != candidates[i - 1].first) starts.push_back(i);
  }
  const auto bodies = static_cast<std::uint32_t>(starts.size());
  starts.push_back(static_cast<std::uint32_t>(candidates.size()));
  const auto runBodies = [&](std::uint32_t from, std::uint32_t to, std::uint32_t worker) {
    for (std::uint32_t i = starts[from]; i < starts[to]; ++i) found[i] = testCandidate(candidates[i], worker);
  };
  // A body's candidates go to one thread, taken in small blocks of bodies
  // by whichever thread is free: bodies of a pile meet very different
  // numbers of partners, so shares fixed beforehand end far apart, while
  // blocks of one body would have the threads queue for the next.
  const std::uint32_t grain = std::max(1u, bodies / ((helpers + 1) * kBlocksPerThread));
  forEachIndex(helpers != 0 ? workerPool() : nullptr, helpers, bodies, grain,
               [&](std::uint32_t body, std::uint32_t worker) { runBodies(body, body + 1, worker); });
}

CollisionManager::BodyNumbers::~BodyNumbers() {
  for (const auto& kept : lent) kept.first->setPassSlot(kept.second);
}

std::uint32_t CollisionManager::BodyNumbers::of(HardBody* body, std::int32_t known) {
  if (known < 0) known = table.keptEntry(body);
  if (known >= 0) return static_cast<std::uint32_t>(known);
  // Pass slots lie below the entries: a slot past them was lent here.
  if (body->getPassSlot() < 0 || static_cast<std::uint32_t>(body->getPassSlot()) < base) {
    lent.emplace_back(body, body->getPassSlot());
    body->setPassSlot(static_cast<std::int32_t>(base + lent.size() - 1));
  }
  return static_cast<std::uint32_t>(body->getPassSlot());
}

void CollisionManager::orderByAccess(
    std::uint32_t n, const std::function<std::uint32_t(std::uint32_t, HardBody**, bool*, std::int32_t*)>& accessesOf) {
  taskOrder.reset(n);
  BodyNumbers numbers(broadPhase);
  std::vector<std::int32_t>& lastWriter = accessWriters;
  // Each slot's readers since its last writer, as a chain through
  // accessReads from the slot's head (-1 ends it).
  std::vector<std::int32_t>& readerHead = accessReaderHeads;
  std::vector<AccessRead>& reads = accessReads;
  reads.clear();
  // Only the slots the last call met hold anything.
  for (std::uint32_t slot : accessTouched) {
    lastWriter[slot] = -1;
    readerHead[slot] = -1;
  }
  accessTouched.clear();
  // Room for every kept entry of the bounds table at once rather than grown
  // body by body, and for a read a task.
  reserveScratch(lastWriter, broadPhase.entryCount());
  reserveScratch(readerHead, broadPhase.entryCount());
  reserveScratch(reads, n);
  HardBody* bodies[kMaxTaskBodies];
  bool writes[kMaxTaskBodies];
  std::int32_t known[kMaxTaskBodies];
  std::uint32_t slots[kMaxTaskBodies];
  std::vector<std::uint32_t>& before = accessBefore;
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t count = std::min(accessesOf(i, bodies, writes, known), kMaxTaskBodies);
    before.clear();
    for (std::uint32_t k = 0; k < count; ++k) {
      const std::uint32_t slot = numbers.of(bodies[k], known[k]);
      slots[k] = slot;
      if (slot >= lastWriter.size()) {
        lastWriter.resize(slot + 1, -1);
        readerHead.resize(slot + 1, -1);
      }
      if (lastWriter[slot] < 0 && readerHead[slot] < 0) accessTouched.push_back(slot);
      if (lastWriter[slot] >= 0) before.push_back(static_cast<std::uint32_t>(lastWriter[slot]));
      if (writes[k]) {
        for (std::int32_t r = readerHead[slot]; r >= 0; r = reads[r].next) before.push_back(reads[r].task);
      }
    }
    for (std::uint32_t k = 0; k < count; ++k) {
      const std::uint32_t slot = slots[k];
      if (writes[k]) {
        lastWriter[slot] = static_cast<std::int32_t>(i);
        readerHead[slot] = -1;
      } else {
        reads.push_back(AccessRead{i, readerHead[slot]});
        readerHead[slot] = static_cast<std::int32_t>(reads.size() - 1);
      }
    }
    std::sort(before.begin(), before.end());
    before.erase(std::unique(before.begin(), before.end()), before.end());
    for (std::uint32_t earlier : before) {
      if (earlier != i) taskOrder.wait(earlier, i);
    }
  }
  // A few words a slot and a read, kept only for the call unless small.
  clearScratch(lastWriter);
  clearScratch(readerHead);
  clearScratch(reads);
  accessTouched.clear();
}

void CollisionManager::updatePairs() {
  linkCounter += linkPairRecords(deferredPairs);
  updateManifolds(deferredPairs);
  std::vector<CollisionPair*> pairs;
  reserveScratch(pairs, deferredPairs.getCount());
  for (auto* node = deferredPairs.getFirst(); node != nullptr; node = node->next) pairs.push_back(node->value);
  if (passHelperCount == 0 || pairs.size() < 2) {
    for (CollisionPair* pair : pairs) extractNow(pair);
  } else {
    // Extraction moves only the higher body of a pair: pairs that move
    // different bodies, and read none that another moves, run at once.
    const auto moved = [this](CollisionPair* pair, int side) { return extractionMoves(*pair, side == 0); };
    const auto n = static_cast<std::uint32_t>(pairs.size());
    // Which bodies each extraction reads and moves, their numbers and pass
    // slots, read on the helpers.
    std::vector<ExtractionAccess>& access = extractionAccess;
    reserveScratch(access, n);
    access.resize(n);
    forEachIndex(workerPool(), passHelperCount, n, kPassTestGrain, [&](std::uint32_t i, std::uint32_t) {
      CollisionPair* pair = pairs[i];
      ExtractionAccess& out = access[i];
      for (int side = 0; side < 2; ++side) {
        HardBody* b = side == 0 ? pair->firstBody : pair->secondBody;
        out.bodies[side] = b->getParent() != nullptr ? b->getParent() : b;
        out.moves[side] = moved(pair, side);
        out.numbers[side] = broadPhase.keptEntry(out.bodies[side]);
        out.slots[side] = out.bodies[side]->getPassSlot();
      }
    });
    orderByAccess(n, [&](std::uint32_t i, HardBody** bodies, bool* writes, std::int32_t* numbers) {
      for (int side = 0; side < 2; ++side) {
        bodies[side] = access[i].bodies[side];
        writes[side] = access[i].moves[side];
        numbers[side] = access[i].numbers[side];
      }
      return 2u;
    });
    taskOrder.run(workerPool(), passHelperCount, [&](std::uint32_t i, std::uint32_t worker) {
      CollisionPair* pair = pairs[i];
      extractContactsOn(pair, worker);
      for (int side = 0; side < 2; ++side) {
        if (!moved(pair, side)) continue;
        HardBody* b = side == 0 ? pair->firstBody : pair->secondBody;
        refreshForPass(b->getParent() != nullptr ? b->getParent() : b);
      }
    });
    // Every body of the pairs placed and its box renewed, each once, in the
    // order the pairs meet them; a fracture body's pieces stand in for it.
    std::vector<std::uint32_t>& slots = extractedSlots;
    slots.clear();
    reserveScratch(slots, broadPhase.size());
    std::vector<std::uint8_t>& seen = extractedSeen;
    reserveScratch(seen, broadPhase.size());
    seen.assign(broadPhase.size(), 0);
    const auto note = [&](std::uint32_t slot) {
      if (seen[slot] != 0) return;
      seen[slot] = 1;
      slots.push_back(slot);
    };
    for (const ExtractionAccess& pairAccess : access) {
      for (int side = 0; side < 2; ++side) {
        if (pairAccess.slots[side] >= 0) {
          note(static_cast<std::uint32_t>(pairAccess.slots[side]));
          continue;
        }
        HardBody* body = pairAccess.bodies[side];
        refreshForPass(body);
        if (const EngineList<PrivateHardBody*>* pieces = compoundPiecesOf(body)) {
          for (auto* node = pieces->getFirst(); node != nullptr; node = node->next) {
            if (node->value != nullptr && node->value->getPassSlot() >= 0)
              note(static_cast<std::uint32_t>(node->value->getPassSlot()));
          }
        }
      }
    }
    forEachIndex(workerPool(), passHelperCount, static_cast<std::uint32_t>(slots.size()), kRefreshGrain,
                 [&](std::uint32_t k, std::uint32_t) { refreshForPass(broadPhase.body(slots[k])); });
    broadPhase.noteMovedAll(slots, workerPool(), passHelperCount);
    // Only small storage is kept between extractions.
    clearScratch(access);
    clearScratch(slots);
    clearScratch(seen);
  }
  for (CollisionPair* pair : pairs) {
    pair->waveStamp = waveStamp;
    newPairs.append(pair);
  }
  ++waveStamp;
  deferredPairs.clear();
}

// ---- Passes ------------------------------------------------------------------

namespace {

/// The values of each given list, and the pass's view of them.
struct ListedBodies {
  std::vector<HardBody*> values[4];
  CollisionManager::PassBodies view;
  ListedBodies(EngineList<HardBody*>* active, EngineList<HardBody*>* statics, EngineList<HardBody*>* sleeping,
               EngineList<HardBody*>* barriers) {
    const std::vector<HardBody*>** into[4] = {&view.active, &view.statics, &view.sleeping, &view.barriers};
    EngineList<HardBody*>* lists[4] = {active, statics, sleeping, barriers};
    for (int k = 0; k < 4; ++k) {
      if (lists[k] == nullptr) continue;
      values[k] = valuesOf(*lists[k]);
      *into[k] = &values[k];
    }
  }
};

}  // namespace

int CollisionManager::detectContacts(EngineList<HardBody*>* active, EngineList<HardBody*>* statics,
                                     EngineList<HardBody*>* sleeping, EngineList<HardBody*>* barriers) {
  const ListedBodies listed(active, statics, sleeping, barriers);
  return runDetection(listed.view, 0, false);
}

int CollisionManager::contactPass(EngineList<HardBody*>* active, EngineList<HardBody*>* statics,
                                  EngineList<HardBody*>* sleeping, EngineList<HardBody*>* barriers) {
  const ListedBodies listed(active, statics, sleeping, barriers);
  return contactPass(listed.view);
}

int CollisionManager::contactPass(const PassBodies& listed) {
  const std::uint8_t keptOption = orderedExtraction;
  // Without a usable worker the pass runs on the calling thread alone.
  const std::uint32_t helpers = passHelpers();
  if (helpers != 0) {
    workers->workersInUse = helpers;
    // Records for as many pairs as the last pass kept, as many again as it
    // gained on the one before, and one in test on every thread, made here
    // so that the helpers make none: the first block a helper makes opens a
    // heap of that thread's own, kept, with the records in it, for as long
    // as the thread lives. (A pass that finds more new pairs than that
    // makes the rest where it runs.)
    pairPool.makeFree(passPairs + passPairGrowth + helpers + 1);
    dealFreePairs();
  }
  int result = 0;
  try {
    result = runDetection(listed, helpers, true);
  } catch (...) {
    if (helpers != 0) collectWorkerPairs();
    orderedExtraction = keptOption;
    throw;
  }
  if (helpers != 0) collectWorkerPairs();
  orderedExtraction = keptOption;
  return result;
}

struct CollisionManager::PassState {
  bool ordered = false;
  std::uint32_t helpers = 0;
  /// Fracture bodies take part through their pieces (the contact pass).
  bool pieces = false;
  /// The fracture bodies whose pieces stand in for them.
  std::vector<HardBody*> compounds;
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
  /// The pass's result by foldPassResult.
  std::uint32_t result = 0;
  /// The running wave; the islands take the level after the last.
  std::int32_t wave = 0;
  /// By pass slot, the resting bodies' answers to the rest test and the
  /// round of answers they belong to.
  std::vector<std::uint32_t> restingAskedIn;
  std::vector<std::uint8_t> restingMoves;
};

int CollisionManager::runDetection(const PassBodies& listed, std::uint32_t helpers, bool piecesInPlace) {
  PassState pass;
  pass.ordered = orderedExtraction != 0;
  pass.helpers = helpers;
  narrowMemos.beginPass(helpers);
  pass.pieces = piecesInPlace;
  passHelperCount = helpers;
  PassSlotsGuard slotsGuard{broadPhase};
  if (helpers != 0) pairPool.prepareHelpers(helpers, passPairBytes);
  reserveScratch(passCandidates, 0);
  reserveScratch(passFound, 0);
  gatherPassBodies(pass, listed);
  if (pass.ordered) {
    manifolds.releaseAll();
    manifolds.setCount(0);
    waveStamp = 0;
  }
  frontier.clear();
  deferredPairs.clear();
  meetMovingAndResting(pass);
  meetRestingPairs(pass);
  runWaves(pass);
  meetIslands(pass);
  if (pass.pieces) levelCompoundsFromPieces(pass);
  const int result = finishPass(pass);
  if (pass.pieces) liftPiecePairs();
  // The helpers are done: the free records give up the blocks they kept,
  // the pairs the helpers tested get blocks of their own, those of their
  // sizes that were let go of first, and the blocks left over are freed.
  if (helpers != 0) pairPool.retireFreeBlocks(workerPool(), helpers);
  pairPool.settleParkedBlocks();
  pairPool.freeRetiredBlocks();
  if (helpers != 0) pairPool.freeHelperSets();
  // The candidate lists hold a word or two a candidate: made for the pass
  // (reserveScratch above) and freed after it.
  clearScratch(passCandidates);
  clearScratch(passFound);
  // The pass slots go back on the helpers; the guard then finds none left.
  broadPhase.clear(pass.helpers != 0 ? workerPool() : nullptr, pass.helpers);
  narrowMemos.endPass();
  return result;
}

CollisionPair* CollisionManager::testPairRecord(HardBody* first, HardBody* second, std::uint32_t worker) {
  if (siblingPieces(first, second)) return nullptr;
  CollisionPair* record = threadBuffer(worker);
  if (record == nullptr) return nullptr;
  if (testPairOn(record, first, second, worker) == 0) {
    queueContact(record, worker);
    return nullptr;
  }
  return record;
}

void CollisionManager::countFoundPair(PassState& pass, const CollisionPair& pair) {
  ++pairCounter;
  foldPassResult(pass.result, pair.contactCount);
}

void CollisionManager::keepRaisingPair(PassState& pass, CollisionPair* pair) {
  if (pass.ordered) {
    deferredPairs.append(pair);
  } else {
    newPairs.append(pair);
    extractNow(pair);
  }
}

void CollisionManager::gatherPassBodies(PassState& pass, const PassBodies& listed) {
  broadPhase.clear();
  newPairs.clear();
  movingCandidates.clear();
  pairCounter = 0;
  // The pass's arrays are a word or two a body, made for the pass beyond the
  // sizes the allocator keeps cached for this thread (reserveScratch): made
  // at each pass's body count, they would leave a block of every size they
  // had waiting there.
  std::size_t listedCount = 0;
  for (const std::vector<HardBody*>* list : {listed.barriers, listed.statics, listed.sleeping, listed.active}) {
    if (list != nullptr) listedCount += list->size();
  }
  for (std::vector<std::uint32_t>* slots : {&pass.resting, &pass.moving, &pass.frontier}) {
    reserveScratch(*slots, listedCount);
  }
  reserveScratch(pass.all, listedCount);
  // Pieces of moving fracture bodies, met after the other moving bodies.
  std::vector<std::uint32_t> movingPieces;
  const auto place = [&](HardBody* body, std::int32_t level, std::vector<std::uint32_t>& into) {
    if (body == nullptr || body->getPassSlot() >= 0) return;
    body->disableInContact();
    body->setContactLevel(level);
    // The pre-step starts the world's bodies at stage 0, not pieces, which
    // no world list holds: a piece standing in for its body starts there
    // too, or the staging it kept from an earlier step (or from before a
    // restore) would decide which manifolds its pairs build.
    if (body->getParent() != nullptr) body->setContactStage(0);
    body->setPassSlot(static_cast<std::int32_t>(pass.all.size()));
    into.push_back(static_cast<std::uint32_t>(pass.all.size()));
    pass.all.push_back(body);
  };
  const auto take = [&](HardBody* body, std::int32_t level, std::vector<std::uint32_t>& into) {
    if (body == nullptr || body->getPassSlot() >= 0) return;
    if (std::find(pass.compounds.begin(), pass.compounds.end(), body) != pass.compounds.end()) return;
    body->disableInContact();
    body->setContactLevel(level);
    if (body->getType() == kFractureBody) {
      if (auto* compound = dynamic_cast<FractureBody*>(body)) compound->setHitMark(0);
    }
    refreshForPass(body);
    const EngineList<PrivateHardBody*>* pieces = pass.pieces ? compoundPiecesOf(body) : nullptr;
    if (pieces == nullptr) {
      place(body, level, into);
      return;
    }
    // The pieces are tested in place of their fracture body: a contact
    // lies on the piece that makes it.
    pass.compounds.push_back(body);
    std::vector<std::uint32_t>& pieceSlots = level < 0 ? movingPieces : into;
    for (auto* node = pieces->getFirst(); node != nullptr; node = node->next) place(node->value, level, pieceSlots);
  };
  // A moving body's world data (its placed mesh and bounds) depends on its
  // own pose alone: placed on the helpers before the walk, the walk finds
  // it current.
  if (!placeListedAtOnce(pass, listed)) {
    if (pass.helpers != 0 && listed.active != nullptr) {
      const std::vector<HardBody*>& movers = *listed.active;
      forEachIndex(workerPool(), pass.helpers, static_cast<std::uint32_t>(movers.size()), kRefreshGrain,
                   [&](std::uint32_t k, std::uint32_t) { refreshForPass(movers[k]); });
    }
    for (const std::vector<HardBody*>* list : {listed.barriers, listed.statics, listed.sleeping}) {
      if (list == nullptr) continue;
      for (HardBody* body : *list) take(body, 0, pass.resting);
    }
    if (listed.active != nullptr) {
      for (HardBody* body : *listed.active) take(body, -1, pass.moving);
    }
  }
  asAppended(pass.resting);
  asAppended(pass.moving);
  pass.moving.insert(pass.moving.end(), movingPieces.begin(), movingPieces.end());
  for (std::uint32_t slot : pass.moving) movingCandidates.append(pass.all[slot]);
  broadPhase.build(pass.all, pass.helpers != 0 ? workerPool() : nullptr, pass.helpers);
  const std::size_t slots = pass.all.size();
  for (std::vector<std::int32_t>* positions : {&pass.restingPos, &pass.movingPos, &pass.frontierPos}) {
    reserveScratch(*positions, slots);
  }
  pass.restingPos.assign(slots, -1);
  pass.movingPos.assign(slots, -1);
  pass.frontierPos.assign(slots, -1);
  setPositions(pass.resting, pass.restingPos);
}

bool CollisionManager::placeListedAtOnce(PassState& pass, const PassBodies& listed) {
  if (!listed.distinct || pass.helpers == 0) return false;
  // Both arrays are a word or two a body, needed only for the call: freed
  // after it unless small (clearScratch).
  struct ReleaseScratch {
    std::vector<HardBody*>& bodies;
    std::vector<std::int32_t>& slots;
    ~ReleaseScratch() {
      clearScratch(bodies);
      clearScratch(slots);
    }
  } release{listedBodies, listedSlots};
  std::vector<HardBody*>& bodies = listedBodies;
  bodies.clear();
  std::size_t listedCount = 0;
  for (const std::vector<HardBody*>* list : {listed.barriers, listed.statics, listed.sleeping, listed.active}) {
    if (list != nullptr) listedCount += list->size();
  }
  reserveScratch(bodies, listedCount);
  for (const std::vector<HardBody*>* list : {listed.barriers, listed.statics, listed.sleeping}) {
    if (list != nullptr) bodies.insert(bodies.end(), list->begin(), list->end());
  }
  const auto restingEnd = static_cast<std::uint32_t>(bodies.size());
  if (listed.active != nullptr) bodies.insert(bodies.end(), listed.active->begin(), listed.active->end());
  const auto n = static_cast<std::uint32_t>(bodies.size());
  std::vector<std::int32_t>& slots = listedSlots;
  slots.resize(n);
  // Which bodies take part, read on the helpers; a fracture body whose
  // pieces stand in for it sends the whole gathering back to the walk.
  std::atomic<bool> pieces{false};
  forEachIndex(workerPool(), pass.helpers, n, kRefreshGrain, [&](std::uint32_t i, std::uint32_t) {
    HardBody* body = bodies[i];
    const bool takes = body != nullptr && body->getPassSlot() < 0;
    slots[i] = takes ? 0 : -1;
    if (takes && pass.pieces && compoundPiecesOf(body) != nullptr) pieces.store(true, std::memory_order_relaxed);
  });
  if (pieces.load()) return false;
  // The slots in list order, as the walk gives them.
  for (std::uint32_t i = 0; i < n; ++i) {
    if (slots[i] < 0) continue;
    const auto slot = static_cast<std::uint32_t>(pass.all.size());
    slots[i] = static_cast<std::int32_t>(slot);
    pass.all.push_back(bodies[i]);
    (i < restingEnd ? pass.resting : pass.moving).push_back(slot);
  }
  // Each body's marks and world data are its own.
  forEachIndex(workerPool(), pass.helpers, n, kRefreshGrain, [&](std::uint32_t i, std::uint32_t) {
    if (slots[i] < 0) return;
    HardBody* body = bodies[i];
    body->disableInContact();
    body->setContactLevel(i < restingEnd ? 0 : -1);
    if (body->getType() == kFractureBody) {
      if (auto* compound = dynamic_cast<FractureBody*>(body)) compound->setHitMark(0);
    }
    refreshForPass(body);
    if (body->getParent() != nullptr) body->setContactStage(0);
    body->setPassSlot(slots[i]);
  });
  return true;
}

void CollisionManager::meetMovingAndResting(PassState& pass) {
  std::vector<std::uint8_t> reached(pass.all.size(), 0);
  std::vector<std::uint32_t> reachedSlots;
  // Extraction moves the moving body (deferred with ordered extraction).
  // A sleeping body touched stays asleep: its own supports are not searched
  // in this step, so woken here it would fall through them; an impact wakes
  // it through the impulse it takes.
  const auto meet = [&](CollisionPair* pair, std::uint32_t a, std::uint32_t b) {
    HardBody* A = pass.all[a];
    HardBody* B = pass.all[b];
    countFoundPair(pass, *pair);
    A->setContactLevel(std::max(A->getContactLevel(), B->getContactLevel() + 1));
    A->enableInContact();
    keepRaisingPair(pass, pair);
    if (reached[a] == 0) {
      reached[a] = 1;
      reachedSlots.push_back(a);
    }
  };
  if (pass.ordered) {
    std::vector<PassCandidate>& candidates = passCandidates;
    std::vector<CollisionPair*>& found = passFound;
    candidates.clear();
    gatherCandidates(pass.moving, pass.resting, pass.restingPos, false, candidates);
    testMovingAgainstResting(candidates, found, pass.helpers);
    for (std::size_t i = 0; i < candidates.size(); ++i) {
      if (found[i] != nullptr) meet(found[i], candidates[i].first, candidates[i].second);
    }
  } else {
    // Extraction moves each body while its tests go on: one at a time.
    for (std::uint32_t a : pass.moving) {
      for (std::uint32_t b : pass.resting) {
        if (!broadPhase.mayTouch(a, b)) continue;
        if (CollisionPair* pair = testPairRecord(pass.all[a], pass.all[b], 0)) meet(pair, a, b);
      }
    }
  }
  joinSiblingPieces(pass, reached, reachedSlots);
  // The bodies that touched leave the moving bodies for the frontier.
  pass.frontier = reachedSlots;
  asAppended(pass.frontier);
  std::vector<std::uint32_t>& moving = pass.moving;
  moving.erase(std::remove_if(moving.begin(), moving.end(), [&](std::uint32_t s) { return reached[s] != 0; }),
               moving.end());
}

void CollisionManager::meetRestingPairs(PassState& pass) {
  const std::vector<std::uint32_t>& resting = pass.resting;
  // Every two resting bodies whose bounds meet, in list order, one of which
  // at least answers the rest test as moving. Most of them sleep, so each
  // body's partners come from the bounds table rather than from the whole
  // list, and each body is asked once: only an extraction, which moves
  // bodies, changes the answers, and after one the partners still ahead are
  // looked up and asked afresh.
  std::vector<std::uint32_t>& askedIn = pass.restingAskedIn;
  std::vector<std::uint8_t>& answers = pass.restingMoves;
  reserveScratch(askedIn, pass.all.size());
  reserveScratch(answers, pass.all.size());
  askedIn.assign(pass.all.size(), 0);
  answers.assign(pass.all.size(), 0);
  std::uint32_t round = 1;
  const auto moves = [&](std::uint32_t slot) {
    if (askedIn[slot] != round) {
      askedIn[slot] = round;
      answers[slot] = pass.all[slot]->updateSleepState() ? 1 : 0;
    }
    return answers[slot] != 0;
  };
  // A resting side of sleepers and still bodies has no pair to meet.
  bool anyMoving = false;
  for (std::uint32_t s : resting) {
    if (!broadPhase.isInert(s) && moves(s)) {
      anyMoving = true;
      break;
    }
  }
  if (!anyMoving) return;
  std::vector<std::uint32_t>& later = restingScratch;
  const auto gatherLater = [&](std::uint32_t s1, std::size_t from) {
    later.clear();
    const bool s1Moves = moves(s1);
    if (broadPhase.isUnbounded(s1)) {
      for (std::size_t j = from; j < resting.size(); ++j) {
        if (s1Moves || moves(resting[j])) later.push_back(static_cast<std::uint32_t>(j));
      }
      return;
    }
    const auto consider = [&](std::uint32_t s2) {
      const std::int32_t j = pass.restingPos[s2];
      if (j >= 0 && static_cast<std::size_t>(j) >= from && (s1Moves || moves(s2)))
        later.push_back(static_cast<std::uint32_t>(j));
    };
    broadPhase.forEachNeighbour(s1, consider);
    for (std::uint32_t s2 : broadPhase.unbounded()) consider(s2);
    std::sort(later.begin(), later.end());
  };
  for (std::size_t i = 0; i < resting.size(); ++i) {
    const std::uint32_t s1 = resting[i];
    if (broadPhase.isInert(s1)) continue;
    std::size_t from = i + 1;
    bool relist = true;
    while (relist) {
      relist = false;
      gatherLater(s1, from);
      for (std::uint32_t j : later) {
        from = j + 1;
        const std::uint32_t s2 = resting[j];
        if (!broadPhase.mayTouch(s1, s2)) continue;
        HardBody* B1 = pass.all[s1];
        HardBody* B2 = pass.all[s2];
        if (compoundAndPiece(B1, B2)) continue;
        // The first the one waiting for its first hit.
        HardBody* first = B1->isFirstHit(true) ? B1 : B2;
        HardBody* second = first == B1 ? B2 : B1;
        CollisionPair* pair = testPairRecord(first, second, 0);
        if (pair == nullptr) continue;
        countFoundPair(pass, *pair);
        const std::int32_t level = std::max(B1->getContactLevel(), B2->getContactLevel());
        for (HardBody* b : {B1, B2}) {
          b->enableInContact();
          b->setContactLevel(level);
        }
        newPairs.append(pair);
        extractNow(pair);
        ++round;
        relist = true;
        break;
      }
    }
  }
}

void CollisionManager::runWaves(PassState& pass) {
  std::vector<PassCandidate>& candidates = passCandidates;
  std::vector<CollisionPair*>& found = passFound;
  // A frontier body raises the moving body it touches.
  const auto meet = [&](CollisionPair* pair, std::uint32_t f, std::uint32_t m) {
    HardBody* F = pass.all[f];
    HardBody* M = pass.all[m];
    countFoundPair(pass, *pair);
    M->setContactLevel(std::max(M->getContactLevel(), F->getContactLevel() + 1));
    M->enableInContact();
    keepRaisingPair(pass, pair);
  };
  pass.wave = 0;
  while (!pass.frontier.empty()) {
    ++pass.wave;
    if (pass.ordered) updatePairs();
    frontier.clear();
    for (auto it = pass.frontier.rbegin(); it != pass.frontier.rend(); ++it) frontier.append(pass.all[*it]);
    setPositions(pass.frontier, pass.frontierPos);
    // Every two frontier bodies, extracted at once.
    candidates.clear();
    gatherCandidates(pass.frontier, pass.frontier, pass.frontierPos, true, candidates);
    for (const PassCandidate& c : candidates) {
      CollisionPair* pair = testPairRecord(pass.all[c.first], pass.all[c.second], 0);
      if (pair == nullptr) continue;
      countFoundPair(pass, *pair);
      newPairs.append(pair);
      extractNow(pair);
    }
    // Every frontier body against every moving body.
    if (pass.ordered) {
      setPositions(pass.moving, pass.movingPos);
      candidates.clear();
      gatherCandidates(pass.frontier, pass.moving, pass.movingPos, false, candidates);
      testCandidates(candidates, found, pass.helpers);
      for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (found[i] != nullptr) meet(found[i], candidates[i].first, candidates[i].second);
      }
    } else {
      for (std::uint32_t f : pass.frontier) {
        for (std::uint32_t m : pass.moving) {
          if (!broadPhase.mayTouch(f, m)) continue;
          if (CollisionPair* pair = testPairRecord(pass.all[f], pass.all[m], 0)) meet(pair, f, m);
        }
      }
    }
    // The moving bodies reached become the next frontier.
    std::vector<std::uint32_t> reachedSlots;
    std::vector<std::uint8_t> reached(pass.all.size(), 0);
    // Which moving bodies the wave touched, read on the helpers.
    std::vector<std::uint8_t>& touched = movingTouched;
    const auto movingCount = static_cast<std::uint32_t>(pass.moving.size());
    touched.resize(movingCount);
    forEachIndex(pass.helpers != 0 ? workerPool() : nullptr, pass.helpers, movingCount, kGatherGrain,
                 [&](std::uint32_t i, std::uint32_t) { touched[i] = pass.all[pass.moving[i]]->isInContact() ? 1 : 0; });
    for (std::uint32_t i = 0; i < movingCount; ++i) {
      if (touched[i] == 0) continue;
      const std::uint32_t m = pass.moving[i];
      reached[m] = 1;
      reachedSlots.push_back(m);
    }
    joinSiblingPieces(pass, reached, reachedSlots);
    std::vector<std::uint32_t>& moving = pass.moving;
    moving.erase(std::remove_if(moving.begin(), moving.end(), [&](std::uint32_t s) { return reached[s] != 0; }),
                 moving.end());
    pass.frontier = reachedSlots;
    asAppended(pass.frontier);
  }
  frontier.clear();
}

void CollisionManager::meetIslands(PassState& pass) {
  std::vector<PassCandidate>& candidates = passCandidates;
  std::vector<CollisionPair*>& found = passFound;
  const std::int32_t wave = ++pass.wave;
  setPositions(pass.moving, pass.movingPos);
  candidates.clear();
  gatherCandidates(pass.moving, pass.moving, pass.movingPos, true, candidates);
  testCandidates(candidates, found, pass.helpers);
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    CollisionPair* pair = found[i];
    if (pair == nullptr) continue;
    countFoundPair(pass, *pair);
    for (HardBody* b : {pass.all[candidates[i].first], pass.all[candidates[i].second]}) {
      b->enableInContact();
      b->setContactLevel(wave);
    }
    newPairs.append(pair);
  }
  movingCandidates.clear();
  for (auto it = pass.moving.rbegin(); it != pass.moving.rend(); ++it) movingCandidates.append(pass.all[*it]);

  // The island pairs (the newest, down to the first pair of a body below
  // the islands' level) are deferred and staged, or extracted now.
  deferredPairs.clear();
  std::vector<CollisionPair*> islandPairs;
  for (auto* node = newPairs.getFirst(); node != nullptr; node = node->next) {
    CollisionPair* pair = node->value;
    if (pair->firstBody->getContactLevel() < wave || pair->secondBody->getContactLevel() < wave) break;
    islandPairs.push_back(pair);
  }
  for (CollisionPair* pair : islandPairs) {
    if (pass.ordered) {
      newPairs.remove(pair);
      pair->waveStamp = waveStamp++;
      deferredPairs.append(pair);
    } else {
      extractNow(pair);
    }
  }
  if (deferredPairs.getCount() != 0) {
    const std::uint32_t staged = deferredPairs.getCount();
    std::int32_t stage = 1;
    stageContacts(deferredPairs, newPairs, stage);
    deferredPairs.clear();
    // Bodies that touch only each other are taken out of each other too, in
    // the staged order, as the waves take out theirs: a penetration left
    // here stays once they come to rest. The staged pairs lead the list,
    // newest first: walk to the oldest, then back towards the head.
    auto* oldest = newPairs.getFirst();
    for (std::uint32_t i = 1; oldest != nullptr && i < staged && oldest->next != nullptr; ++i) oldest = oldest->next;
    for (auto* node = oldest; node != nullptr && node != newPairs.getHead(); node = node->prev) extractNow(node->value);
  }
}

int CollisionManager::finishPass(PassState& pass) {
  // The step's pairs are the new ones, last found first: the lists trade
  // their nodes whole, spare ones included, and the order turns in place.
  stepPairs.clear();
  stepPairs.swap(newPairs);
  stepPairs.reverse();
  manifolds.releaseAll();
  manifolds.setCount(0);
  pairCounter = stepPairs.getCount();
  passPairGrowth = pairCounter > passPairs ? pairCounter - passPairs : 0;
  passPairs = pairCounter;
  passPairBytes = 0;
  for (auto* node = stepPairs.getFirst(); node != nullptr; node = node->next) {
    passPairBytes += ParkedBlocks::roomFor(node->value->contactBytes());
  }
  movingCandidates.clear();
  return pass.result != 0 ? 1 : 0;
}

void CollisionManager::joinSiblingPieces(PassState& pass, std::vector<std::uint8_t>& reached,
                                         std::vector<std::uint32_t>& reachedSlots) {
  if (pass.compounds.empty()) return;
  // A fracture body moves as one: the pieces of a piece that was reached
  // go with it, at its level. They leave the moving bodies together, so a
  // sibling not yet reached is still among them.
  for (std::size_t i = 0; i < reachedSlots.size(); ++i) {
    HardBody* piece = pass.all[reachedSlots[i]];
    const EngineList<PrivateHardBody*>* siblings = compoundPiecesOf(piece->getParent());
    if (siblings == nullptr) continue;
    for (auto* node = siblings->getFirst(); node != nullptr; node = node->next) {
      HardBody* sibling = node->value;
      if (sibling == nullptr || sibling->getPassSlot() < 0) continue;
      const auto slot = static_cast<std::uint32_t>(sibling->getPassSlot());
      if (reached[slot] != 0 || sibling->getContactLevel() >= 0) continue;
      sibling->setContactLevel(piece->getContactLevel());
      reached[slot] = 1;
      reachedSlots.push_back(slot);
    }
  }
}

void CollisionManager::levelCompoundsFromPieces(PassState& pass) {
  // The solver and the hit processing meet the fracture bodies, not their
  // pieces: each takes the lowest level its touching pieces reached.
  for (HardBody* compound : pass.compounds) {
    const EngineList<PrivateHardBody*>* pieces = compoundPiecesOf(compound);
    if (pieces == nullptr) continue;
    bool touched = false;
    std::int32_t level = compound->getContactLevel();
    for (auto* node = pieces->getFirst(); node != nullptr; node = node->next) {
      HardBody* piece = node->value;
      if (piece == nullptr || !piece->isInContact()) continue;
      level = touched ? std::min(level, piece->getContactLevel()) : piece->getContactLevel();
      touched = true;
    }
    if (!touched) continue;
    compound->enableInContact();
    // A resting fracture body stays on the resting side.
    if (compound->getContactLevel() < 0) compound->setContactLevel(level);
  }
}

void CollisionManager::liftPair(CollisionPair& pair) {
  HardBody* pieces[2] = {pair.firstBody, pair.secondBody};
  HardBody* bodies[2];
  for (int side = 0; side < 2; ++side) {
    bodies[side] = pieces[side]->getParent() != nullptr ? pieces[side]->getParent() : pieces[side];
  }
  const RBDynamics& from1 = pieces[0]->getDyn();
  const RBDynamics& from2 = pieces[1]->getDyn();
  const RBDynamics& to1 = bodies[0]->getDyn();
  const RBDynamics& to2 = bodies[1]->getDyn();
  const MgcMatrix3 toFirst = to1.orientation.Transpose();
  const MgcMatrix3 toSecond = to2.orientation.Transpose();
  for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
    const MgcVector3 onFirst = from1.orientation * pair.points[i] + from1.position;
    const MgcVector3 onSecond = from2.orientation * pair.secondPoints[i] + from2.position;
    pair.points[i] = toFirst * (onFirst - to1.position);
    pair.secondPoints[i] = toSecond * (onSecond - to2.position);
  }
  pair.firstPiece = bodies[0] != pieces[0] ? pieces[0] : nullptr;
  pair.secondPiece = bodies[1] != pieces[1] ? pieces[1] : nullptr;
  pair.firstBody = bodies[0];
  pair.secondBody = bodies[1];
  setPairCoefficients(pair);
  for (HardBody* body : bodies) body->setCollisionState(kMotionStateResolved);
}

void CollisionManager::mergePairContacts(CollisionPair& target, const CollisionPair& source, double sign) {
  const bool swapped = sign < 0.0;
  const RBDynamics& source1 = source.firstBody->getDyn();
  const RBDynamics& source2 = source.secondBody->getDyn();
  const RBDynamics& to1 = target.firstBody->getDyn();
  const RBDynamics& to2 = target.secondBody->getDyn();
  const MgcMatrix3 toFirst = to1.orientation.Transpose();
  const MgcMatrix3 toSecond = to2.orientation.Transpose();
  std::uint32_t n = target.contactCount;
  // The target's arrays hold what it has; make room for what comes.
  const std::uint32_t wanted = n + source.contactCount;
  target.reserveContacts(wanted < kMaxPairContacts ? wanted : kMaxPairContacts);
  const std::uint32_t room = target.contactCapacity();
  for (std::uint32_t i = 0; i < source.contactCount && n < room; ++i, ++n) {
    // Each side keeps its own point, so the depth between them survives.
    const MgcVector3 onSource1 = source1.orientation * source.points[i] + source1.position;
    const MgcVector3 onSource2 = source2.orientation * source.secondPoints[i] + source2.position;
    const MgcVector3& onFirst = swapped ? onSource2 : onSource1;
    const MgcVector3& onSecond = swapped ? onSource1 : onSource2;
    target.points[n] = toFirst * (onFirst - to1.position);
    target.secondPoints[n] = toSecond * (onSecond - to2.position);
    target.normals[n] = source.normals[i] * sign;
    if (source.staticVelocities != nullptr && target.holdStaticVelocities()) {
      target.staticVelocities[n] = source.staticVelocities[i];
    } else if (target.staticVelocities != nullptr) {
      target.staticVelocities[n] = MgcVector3();
    }
    target.depths[n] = source.depths[i];
    target.features[n] = source.features[i];
    if (swapped) std::swap(target.features[n].firstFeature, target.features[n].secondFeature);
    target.marks[n] = 0;
    target.foundIndex[n] = static_cast<std::uint8_t>(n);
  }
  target.contactCount = n;
  target.secondCount = n;
}

void CollisionManager::liftPiecePairs() {
  if (pairCounter == 0) return;
  std::vector<CollisionPair*> kept;
  std::vector<CollisionPair*> lifted;
  reserveScratch(kept, stepPairs.getCount());
  for (auto* node = stepPairs.getFirst(); node != nullptr; node = node->next) {
    CollisionPair* pair = node->value;
    const bool piecePair = pair->firstBody->getParent() != nullptr || pair->secondBody->getParent() != nullptr;
    (piecePair ? lifted : kept).push_back(pair);
  }
  if (lifted.empty()) return;
  // The first pair of each two bodies takes the contacts of the later ones.
  std::vector<CollisionPair*> merged;
  for (CollisionPair* pair : lifted) {
    liftPair(*pair);
    // Opposing normals contradict each other only within one piece pair:
    // two pieces of one body may hold a piece of the other from both sides.
    removeOpposingContacts(*pair);
    CollisionPair* into = nullptr;
    for (CollisionPair* earlier : merged) {
      if (earlier->joins(pair->firstBody, pair->secondBody)) {
        into = earlier;
        break;
      }
    }
    if (into == nullptr) {
      merged.push_back(pair);
      continue;
    }
    mergePairContacts(*into, *pair, into->firstBody == pair->firstBody ? 1.0 : -1.0);
    queueContact(pair, 0);
  }
  for (CollisionPair* pair : merged) {
    removeDuplicateContacts(*pair);
    engineTrace(g_engineTraceStream, "resolver pair %s %s points %d\n", pair->firstBody->getShape().name,
                pair->secondBody->getShape().name, static_cast<int>(pair->contactCount));
    kept.push_back(pair);
  }
  // The lifted pairs follow the others.
  stepPairs.clear();
  for (auto it = kept.rbegin(); it != kept.rend(); ++it) stepPairs.append(*it);
  pairCounter = stepPairs.getCount();
}

int CollisionManager::testCrackerPairs(EngineList<HardBody*>* crackers, EngineList<HardBody*>* active,
                                       EngineList<HardBody*>* statics, EngineList<HardBody*>* sleeping) {
  if (crackers == nullptr || crackers->getCount() == 0) return 0;
  crackerPairs.clear();
  std::vector<HardBody*> candidates;
  for (EngineList<HardBody*>* list : {active, statics}) {
    if (list == nullptr) continue;
    for (auto* node = list->getFirst(); node != nullptr; node = node->next) candidates.push_back(node->value);
  }
  std::reverse(candidates.begin(), candidates.end());
  // A pile at rest sleeps: a cracker that passed over sleepers would go
  // through it. The sleepers it touches wake and take its push.
  if (sleeping != nullptr) {
    for (auto* node = sleeping->getFirst(); node != nullptr; node = node->next) candidates.push_back(node->value);
  }
  int result = 0;
  for (auto* cracker = crackers->getFirst(); cracker != nullptr; cracker = cracker->next) {
    for (HardBody* body : candidates) {
      CollisionPair* record = threadBuffer(0);
      if (record == nullptr) break;
      if (testPairOn(record, body, cracker->value, 0) == 0) {
        queueContact(record, 0);
        continue;
      }
      if (!body->isActive() && !body->isStatic()) body->activate();
      crackerPairs.append(record);
      result = 1;
    }
  }
  return result;
}
