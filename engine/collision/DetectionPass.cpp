// The collision manager's world-step passes: the detection pass (moving
// bodies against the resting side, waves outward from it, islands of moving
// bodies, staging), the cracker pass, and the contact pass, which is the
// detection pass with its pair tests spread over helper threads.
//
// Only pair tests run on helpers. They read bodies whose world data the
// calling thread brought up to date, and write only the pair records they
// take from their own pools. Everything a found pair changes (levels,
// in-contact flags, wake-ups, extraction, the order of the lists) is done
// by the calling thread afterwards, walking the pairs in the order in which
// one thread would have found them, so every thread count gives the same
// pairs in the same order.

#include <algorithm>

#include "engine/EngineTrace.h"
#include "engine/FractureBody.h"
#include "engine/HardBody.h"
#include "engine/PrivateHardBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/CompoundPieces.h"
#include "engine/collision/ContactManifold.h"
#include "engine/collision/WorkerPool.h"

namespace {

/// Candidates a helper takes at a time from a batch of pair tests.
constexpr std::uint32_t kPassTestGrain = 8;

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

}  // namespace

// ---- Pair test -----------------------------------------------------------------

std::uint32_t CollisionManager::testPairOn(CollisionPair* record, HardBody* first, HardBody* second,
                                           std::uint32_t worker) {
  if (record == nullptr || first == nullptr || second == nullptr) return 0;
  record->reset();
  record->firstBody = first;
  record->secondBody = second;
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
    if (moved->getPassSlot() >= 0) broadPhase.noteMoved(static_cast<std::uint32_t>(moved->getPassSlot()));
  }
}

void CollisionManager::gatherCandidates(const std::vector<std::uint32_t>& xs, const std::vector<std::uint32_t>& ys,
                                        const std::vector<std::int32_t>& yPos, bool laterOnly,
                                        std::vector<PassCandidate>& out) {
  std::vector<std::pair<std::int32_t, std::uint32_t>> partners;
  for (std::size_t ix = 0; ix < xs.size(); ++ix) {
    const std::uint32_t x = xs[ix];
    if (broadPhase.isInert(x)) continue;
    const std::int32_t after = laterOnly ? static_cast<std::int32_t>(ix) : -1;
    if (broadPhase.isUnbounded(x)) {
      for (std::size_t iy = static_cast<std::size_t>(after + 1); iy < ys.size(); ++iy) {
        if (!broadPhase.isInert(ys[iy])) out.push_back(PassCandidate{x, ys[iy]});
      }
      continue;
    }
    partners.clear();
    for (const std::vector<std::uint32_t>* group : {&broadPhase.neighbours(x), &broadPhase.unbounded()}) {
      for (std::uint32_t y : *group) {
        if (yPos[y] > after) partners.emplace_back(yPos[y], y);
      }
    }
    std::sort(partners.begin(), partners.end());
    for (const auto& partner : partners) out.push_back(PassCandidate{x, partner.second});
  }
}

CollisionPair* CollisionManager::testCandidate(const PassCandidate& candidate, std::uint32_t worker) {
  CollisionPair* record = threadBuffer(worker);
  if (record == nullptr) return nullptr;
  if (testPairOn(record, broadPhase.body(candidate.first), broadPhase.body(candidate.second), worker) == 0) {
    queueContact(record, worker);
    return nullptr;
  }
  return record;
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
  for (std::uint32_t i = 0; i < candidates.size(); ++i) {
    if (i == 0 || candidates[i].first != candidates[i - 1].first) starts.push_back(i);
  }
  const auto bodies = static_cast<std::uint32_t>(starts.size());
  starts.push_back(static_cast<std::uint32_t>(candidates.size()));
  const auto runBodies = [&](std::uint32_t from, std::uint32_t to, std::uint32_t worker) {
    for (std::uint32_t i = starts[from]; i < starts[to]; ++i) found[i] = testCandidate(candidates[i], worker);
  };
  if (helpers == 0 || bodies == 0) {
    runBodies(0, bodies, 0);
    return;
  }
  // Worker k takes the next (k + 2) c bodies from the front; the calling
  // thread keeps what is left.
  const std::uint32_t c = dealBlockSize(bodies, helpers);
  std::vector<std::uint32_t> shareStart(helpers + 1);
  std::uint32_t taken = 0;
  for (std::uint32_t k = 0; k < helpers; ++k) {
    shareStart[k] = taken;
    taken = std::min(bodies, taken + (k + 2) * c);
  }
  shareStart[helpers] = taken;
  std::uint32_t busy = 0;
  for (std::uint32_t k = 0; k < helpers; ++k) {
    if (shareStart[k + 1] > shareStart[k]) busy = k + 1;
  }
  WorkerPool& helpersPool = *workerPool();
  helpersPool.run(busy, [&](std::uint32_t worker) {
    if (worker != 0) {
      runBodies(shareStart[worker - 1], shareStart[worker], worker);
      return;
    }
    runBodies(shareStart[helpers], bodies, 0);
    // Shares whose helper the system refused are the calling thread's too.
    for (std::uint32_t k = helpersPool.startedHelpers(); k < busy; ++k) runBodies(shareStart[k], shareStart[k + 1], 0);
  });
}

void CollisionManager::orderByAccess(std::uint32_t n,
                                     const std::function<std::uint32_t(std::uint32_t, HardBody**, bool*)>& accessesOf) {
  taskOrder.reset(n);
  // Bodies without a pass slot get one for the while, past the table's.
  std::vector<HardBody*> lent;
  const std::uint32_t base = broadPhase.size();
  std::vector<std::int32_t>& lastWriter = accessWriters;
  std::vector<std::vector<std::uint32_t>>& readers = accessReaders;
  lastWriter.clear();
  for (auto& list : readers) list.clear();
  const auto slotOf = [&](HardBody* b) {
    if (b->getPassSlot() < 0) {
      b->setPassSlot(static_cast<std::int32_t>(base + lent.size()));
      lent.push_back(b);
    }
    const auto slot = static_cast<std::uint32_t>(b->getPassSlot());
    if (slot >= lastWriter.size()) lastWriter.resize(slot + 1, -1);
    if (slot >= readers.size()) readers.resize(slot + 1);
    return slot;
  };
  struct LentSlots {
    std::vector<HardBody*>& bodies;
    ~LentSlots() {
      for (HardBody* b : bodies) b->setPassSlot(-1);
    }
  } lentSlots{lent};
  HardBody* bodies[kMaxTaskBodies];
  bool writes[kMaxTaskBodies];
  std::vector<std::uint32_t>& before = accessBefore;
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t count = std::min(accessesOf(i, bodies, writes), kMaxTaskBodies);
    before.clear();
    for (std::uint32_t k = 0; k < count; ++k) {
      const std::uint32_t slot = slotOf(bodies[k]);
      if (lastWriter[slot] >= 0) before.push_back(static_cast<std::uint32_t>(lastWriter[slot]));
      if (writes[k]) before.insert(before.end(), readers[slot].begin(), readers[slot].end());
    }
    for (std::uint32_t k = 0; k < count; ++k) {
      const std::uint32_t slot = slotOf(bodies[k]);
      if (writes[k]) {
        lastWriter[slot] = static_cast<std::int32_t>(i);
        readers[slot].clear();
      } else {
        readers[slot].push_back(i);
      }
    }
    std::sort(before.begin(), before.end());
    before.erase(std::unique(before.begin(), before.end()), before.end());
    for (std::uint32_t earlier : before) {
      if (earlier != i) taskOrder.wait(earlier, i);
    }
  }
}

void CollisionManager::updatePairs() {
  linkCounter += linkPairRecords(deferredPairs);
  updateManifolds(deferredPairs);
  std::vector<CollisionPair*> pairs;
  for (auto* node = deferredPairs.getFirst(); node != nullptr; node = node->next) pairs.push_back(node->value);
  if (passHelperCount == 0 || pairs.size() < 2) {
    for (CollisionPair* pair : pairs) extractNow(pair);
  } else {
    // Extraction moves only the higher body of a pair: pairs that move
    // different bodies, and read none that another moves, run at once.
    const auto moved = [](CollisionPair* pair, int side) {
      HardBody* b = side == 0 ? pair->firstBody : pair->secondBody;
      HardBody* other = side == 0 ? pair->secondBody : pair->firstBody;
      return extractionMoves(b, other);
    };
    const auto n = static_cast<std::uint32_t>(pairs.size());
    orderByAccess(n, [&](std::uint32_t i, HardBody** bodies, bool* writes) {
      CollisionPair* pair = pairs[i];
      for (int side = 0; side < 2; ++side) {
        HardBody* b = side == 0 ? pair->firstBody : pair->secondBody;
        bodies[side] = b->getParent() != nullptr ? b->getParent() : b;
        writes[side] = moved(pair, side);
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
    for (CollisionPair* pair : pairs) {
      for (HardBody* b : {pair->firstBody, pair->secondBody}) {
        HardBody* body = b->getParent() != nullptr ? b->getParent() : b;
        refreshForPass(body);
        if (body->getPassSlot() >= 0) broadPhase.noteMoved(static_cast<std::uint32_t>(body->getPassSlot()));
      }
    }
  }
  for (CollisionPair* pair : pairs) {
    pair->waveStamp = waveStamp;
    newPairs.append(pair);
  }
  ++waveStamp;
  deferredPairs.clear();
}

// ---- Passes ------------------------------------------------------------------

int CollisionManager::detectContacts(EngineList<HardBody*>* active, EngineList<HardBody*>* statics,
                                     EngineList<HardBody*>* third, EngineList<HardBody*>* barriers) {
  return runDetection(active, statics, third, barriers, 0);
}

int CollisionManager::contactPass(EngineList<HardBody*>* active, EngineList<HardBody*>* statics,
                                  EngineList<HardBody*>* third, EngineList<HardBody*>* barriers) {
  const std::uint8_t keptOption = orderedExtraction;
  // Without a usable worker the pass runs on the calling thread alone.
  const std::uint32_t helpers = passHelpers();
  if (helpers != 0) {
    workers->workersInUse = helpers;
    dealFreePairs();
  }
  int result = 0;
  try {
    result = runDetection(active, statics, third, barriers, helpers);
  } catch (...) {
    if (helpers != 0) collectWorkerPairs();
    orderedExtraction = keptOption;
    throw;
  }
  if (helpers != 0) collectWorkerPairs();
  orderedExtraction = keptOption;
  return result;
}

int CollisionManager::runDetection(EngineList<HardBody*>* active, EngineList<HardBody*>* statics,
                                   EngineList<HardBody*>* third, EngineList<HardBody*>* barriers,
                                   std::uint32_t helpers) {
  const bool ordered = orderedExtraction != 0;
  passHelperCount = helpers;
  PassSlotsGuard slotsGuard{broadPhase};
  broadPhase.clear();
  newPairs.clear();
  restingCandidates.clear();
  movingCandidates.clear();
  pairCounter = 0;

  // Candidate lists: the resting side (barriers, static bodies, the third
  // list) at level 0, the moving bodies at level -1.
  std::vector<HardBody*> all;
  std::vector<std::uint32_t> resting;
  std::vector<std::uint32_t> moving;
  const auto take = [&](HardBody* body, std::int32_t level, std::vector<std::uint32_t>& into) {
    if (body == nullptr || body->getPassSlot() >= 0) return;
    body->disableInContact();
    body->setContactLevel(level);
    if (auto* compound = dynamic_cast<FractureBody*>(body)) compound->setHitMark(0);
    refreshForPass(body);
    body->setPassSlot(static_cast<std::int32_t>(all.size()));
    into.push_back(static_cast<std::uint32_t>(all.size()));
    all.push_back(body);
  };
  for (EngineList<HardBody*>* list : {barriers, statics, third}) {
    if (list == nullptr) continue;
    for (auto* node = list->getFirst(); node != nullptr; node = node->next) take(node->value, 0, resting);
  }
  if (active != nullptr) {
    for (auto* node = active->getFirst(); node != nullptr; node = node->next) take(node->value, -1, moving);
  }
  asAppended(resting);
  asAppended(moving);
  for (std::uint32_t slot : resting) restingCandidates.append(all[slot]);
  for (std::uint32_t slot : moving) movingCandidates.append(all[slot]);
  broadPhase.build(all);
  const auto slots = static_cast<std::uint32_t>(all.size());
  std::vector<std::int32_t> restingPos(slots, -1);
  std::vector<std::int32_t> movingPos(slots, -1);
  std::vector<std::int32_t> frontierPos(slots, -1);
  setPositions(resting, restingPos);

  if (ordered) {
    while (EngineList<ContactManifold*>::Node* node = manifoldsInUse.getFirst()) {
      ContactManifold* manifold = node->value;
      manifoldsInUse.remove(manifold);
      freeManifolds.append(manifold);
    }
    manifoldCount = 0;
    waveStamp = 0;
  }
  frontier.clear();
  deferredPairs.clear();
  std::uint32_t result = 0;
  std::vector<PassCandidate>& candidates = passCandidates;
  std::vector<CollisionPair*>& found = passFound;
  std::vector<std::uint8_t> reached(slots, 0);
  std::vector<std::uint32_t> frontierAppends;

  // Moving against resting. A found pair raises the moving body above what
  // it touches and is deferred (ordered extraction) or extracted at once.
  // A sleeping body touched stays asleep: its own supports are not searched
  // in this step, so woken here it would fall through them; an impact wakes
  // it through the impulse it takes.
  const auto movingMeetsResting = [&](CollisionPair* pair, std::uint32_t a, std::uint32_t b) {
    HardBody* A = all[a];
    HardBody* B = all[b];
    ++pairCounter;
    foldPassResult(result, pair->contactCount);
    A->setContactLevel(std::max(A->getContactLevel(), B->getContactLevel() + 1));
    A->enableInContact();
    if (ordered) {
      deferredPairs.append(pair);
    } else {
      newPairs.append(pair);
      extractNow(pair);
    }
    if (reached[a] == 0) {
      reached[a] = 1;
      frontierAppends.push_back(a);
    }
  };
  candidates.clear();
  if (ordered) {
    setPositions(resting, restingPos);
    gatherCandidates(moving, resting, restingPos, false, candidates);
    testMovingAgainstResting(candidates, found, helpers);
    for (std::size_t i = 0; i < candidates.size(); ++i) {
      if (found[i] != nullptr) movingMeetsResting(found[i], candidates[i].first, candidates[i].second);
    }
  } else {
    // Extraction moves each body while its tests go on: one at a time.
    for (std::uint32_t a : moving) {
      for (std::uint32_t b : resting) {
        if (!broadPhase.mayTouch(a, b)) continue;
        CollisionPair* record = threadBuffer(0);
        if (record == nullptr) continue;
        if (testPairOn(record, all[a], all[b], 0) == 0) {
          queueContact(record, 0);
        } else {
          movingMeetsResting(record, a, b);
        }
      }
    }
  }
  // The bodies that touched leave the moving candidates for the frontier.
  std::vector<std::uint32_t> frontierSlots = frontierAppends;
  asAppended(frontierSlots);
  moving.erase(std::remove_if(moving.begin(), moving.end(), [&](std::uint32_t s) { return reached[s] != 0; }),
               moving.end());

  // Resting against resting: only where one of the two moves, the first
  // the one waiting for its first hit; extracted at once.
  for (std::size_t i = 0; i < resting.size(); ++i) {
    for (std::size_t j = i + 1; j < resting.size(); ++j) {
      const std::uint32_t s1 = resting[i];
      const std::uint32_t s2 = resting[j];
      if (!broadPhase.mayTouch(s1, s2)) continue;
      HardBody* B1 = all[s1];
      HardBody* B2 = all[s2];
      if (compoundAndPiece(B1, B2)) continue;
      if (!B1->updateSleepState() && !B2->updateSleepState()) continue;
      HardBody* first = B1->isFirstHit(true) ? B1 : B2;
      HardBody* second = first == B1 ? B2 : B1;
      CollisionPair* record = threadBuffer(0);
      if (record == nullptr) continue;
      const std::uint32_t count = testPairOn(record, first, second, 0);
      if (count == 0) {
        queueContact(record, 0);
        continue;
      }
      ++pairCounter;
      foldPassResult(result, count);
      const std::int32_t level = std::max(B1->getContactLevel(), B2->getContactLevel());
      for (HardBody* b : {B1, B2}) {
        b->enableInContact();
        b->setContactLevel(level);
      }
      newPairs.append(record);
      extractNow(record);
    }
  }

  // Waves outward from the resting side.
  std::int32_t wave = 0;
  while (!frontierSlots.empty()) {
    ++wave;
    if (ordered) updatePairs();
    frontier.clear();
    for (auto it = frontierSlots.rbegin(); it != frontierSlots.rend(); ++it) frontier.append(all[*it]);
    setPositions(frontierSlots, frontierPos);
    // Every two frontier bodies, extracted at once.
    candidates.clear();
    gatherCandidates(frontierSlots, frontierSlots, frontierPos, true, candidates);
    for (const PassCandidate& c : candidates) {
      CollisionPair* record = threadBuffer(0);
      if (record == nullptr) continue;
      const std::uint32_t count = testPairOn(record, all[c.first], all[c.second], 0);
      if (count == 0) {
        queueContact(record, 0);
        continue;
      }
      ++pairCounter;
      foldPassResult(result, count);
      newPairs.append(record);
      extractNow(record);
    }
    // Every frontier body against every moving candidate.
    const auto frontierMeetsMoving = [&](CollisionPair* pair, std::uint32_t f, std::uint32_t m) {
      HardBody* F = all[f];
      HardBody* M = all[m];
      ++pairCounter;
      foldPassResult(result, pair->contactCount);
      M->setContactLevel(std::max(M->getContactLevel(), F->getContactLevel() + 1));
      M->enableInContact();
      if (ordered) {
        deferredPairs.append(pair);
      } else {
        newPairs.append(pair);
        extractNow(pair);
      }
    };
    if (ordered) {
      setPositions(moving, movingPos);
      candidates.clear();
      gatherCandidates(frontierSlots, moving, movingPos, false, candidates);
      testCandidates(candidates, found, helpers);
      for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (found[i] != nullptr) frontierMeetsMoving(found[i], candidates[i].first, candidates[i].second);
      }
    } else {
      for (std::uint32_t f : frontierSlots) {
        for (std::uint32_t m : moving) {
          if (!broadPhase.mayTouch(f, m)) continue;
          CollisionPair* record = threadBuffer(0);
          if (record == nullptr) continue;
          if (testPairOn(record, all[f], all[m], 0) == 0) {
            queueContact(record, 0);
          } else {
            frontierMeetsMoving(record, f, m);
          }
        }
      }
    }
    // The moving bodies reached become the next frontier.
    frontierAppends.clear();
    for (std::uint32_t m : moving) {
      if (all[m]->isInContact()) frontierAppends.push_back(m);
    }
    moving.erase(std::remove_if(moving.begin(), moving.end(), [&](std::uint32_t s) { return all[s]->isInContact(); }),
                 moving.end());
    frontierSlots = frontierAppends;
    asAppended(frontierSlots);
  }
  frontier.clear();

  // Islands: moving bodies that touch only each other.
  ++wave;
  setPositions(moving, movingPos);
  candidates.clear();
  gatherCandidates(moving, moving, movingPos, true, candidates);
  testCandidates(candidates, found, helpers);
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    CollisionPair* pair = found[i];
    if (pair == nullptr) continue;
    ++pairCounter;
    foldPassResult(result, pair->contactCount);
    for (HardBody* b : {all[candidates[i].first], all[candidates[i].second]}) {
      b->enableInContact();
      b->setContactLevel(wave);
    }
    newPairs.append(pair);
  }
  movingCandidates.clear();
  for (auto it = moving.rbegin(); it != moving.rend(); ++it) movingCandidates.append(all[*it]);

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
    if (ordered) {
      newPairs.remove(pair);
      pair->waveStamp = waveStamp++;
      deferredPairs.append(pair);
    } else {
      extractNow(pair);
    }
  }
  if (deferredPairs.getCount() != 0) {
    std::int32_t stage = 1;
    stageContacts(deferredPairs, newPairs, stage);
    deferredPairs.clear();
  }

  // The pairs found become the step's pairs, oldest first.
  stepPairs.clear();
  while (EngineList<CollisionPair*>::Node* node = newPairs.getFirst()) {
    CollisionPair* pair = node->value;
    newPairs.remove(pair);
    stepPairs.append(pair);
  }
  while (EngineList<ContactManifold*>::Node* node = manifoldsInUse.getFirst()) {
    ContactManifold* manifold = node->value;
    manifoldsInUse.remove(manifold);
    freeManifolds.append(manifold);
  }
  manifoldCount = 0;
  pairCounter = stepPairs.getCount();
  movingCandidates.clear();
  restingCandidates.clear();
  return result != 0 ? 1 : 0;
}

int CollisionManager::testCrackerPairs(EngineList<HardBody*>* crackers, EngineList<HardBody*>* active,
                                       EngineList<HardBody*>* statics) {
  if (crackers == nullptr || crackers->getCount() == 0) return 0;
  crackerPairs.clear();
  std::vector<HardBody*> candidates;
  for (EngineList<HardBody*>* list : {active, statics}) {
    if (list == nullptr) continue;
    for (auto* node = list->getFirst(); node != nullptr; node = node->next) candidates.push_back(node->value);
  }
  std::reverse(candidates.begin(), candidates.end());
  int result = 0;
  for (auto* cracker = crackers->getFirst(); cracker != nullptr; cracker = cracker->next) {
    for (HardBody* body : candidates) {
      CollisionPair* record = threadBuffer(0);
      if (record == nullptr) break;
      if (testPairOn(record, body, cracker->value, 0) == 0) {
        queueContact(record, 0);
        continue;
      }
      crackerPairs.append(record);
      result = 1;
    }
  }
  return result;
}
