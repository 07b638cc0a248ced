// The pair tests of the collision manager's passes: one pair on a record of
// a thread slot's pool, the candidates of a pass gathered from the bounds
// table and tested on the helpers, and the cracker pairs.

#include <algorithm>

#include "engine/bodies/HardBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/DetectionPass.h"
#include "engine/collision/threads/WorkerPool.h"

namespace {

/// Candidates a body of a pile has: the boxes around it, those above and
/// below it and those beside them.
constexpr std::uint32_t kTypicalPartners = 8;
/// Blocks of moving bodies each thread takes on average when they are
/// tested against the resting ones.
constexpr std::uint32_t kBlocksPerThread = 8;

/// Whether the bodies are two pieces of one fracture body, which the joints,
/// not contacts, hold together.
bool siblingPieces(const HardBody* a, const HardBody* b) {
  return a->getParent() != nullptr && a->getParent() == b->getParent();
}

}  // namespace

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
  if (passHelperCount == 0 || n <= 2 * DetectionPass::kGatherGrain) {
    for (std::size_t ix = 0; ix < n; ++ix) partnersOf(ix, out);
    return;
  }
  // Each body's partners only read the bounds table: gathered on the
  // helpers, each block of bodies apart, then joined in order. The blocks'
  // lists live only for the call, so that what the busiest pass gathered is
  // not kept between steps; they are made here at once with room for a
  // pile's partners, so that the helpers neither make them nor grow them
  // through every small size.
  const std::uint32_t blocks = (n + DetectionPass::kGatherGrain - 1) / DetectionPass::kGatherGrain;
  std::vector<std::vector<PassCandidate>> blockCandidates(blocks);
  for (std::vector<PassCandidate>& candidates : blockCandidates)
    candidates.reserve(DetectionPass::kGatherGrain * kTypicalPartners);
  forEachIndex(workerPool(), passHelperCount, blocks, 1, [&](std::uint32_t block, std::uint32_t) {
    const std::uint32_t end = std::min(n, (block + 1) * DetectionPass::kGatherGrain);
    for (std::uint32_t ix = block * DetectionPass::kGatherGrain; ix < end; ++ix) partnersOf(ix, blockCandidates[block]);
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
               DetectionPass::kPassTestGrain,
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
