// Extraction inside the collision manager's passes: a pair taken apart at
// once, or the deferred pairs of a wave taken apart on the helpers in an
// order by the bodies each moves; and that order, which the pair processing
// uses too.

#include <algorithm>

#include "engine/bodies/CompoundPieces.h"
#include "engine/bodies/HardBody.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/DetectionPass.h"
#include "engine/collision/PairProcessingCommon.h"
#include "engine/collision/threads/WorkerPool.h"

namespace {

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

bool CollisionManager::extractionMayMove(const CollisionPair& pair, bool first) const {
  // Extraction moves only the higher body of a pair, or both where they part
  // by their masses, which only the extraction itself decides (from the
  // bodies' motion): a pair whose masses differ counts as moving both.
  return extractionMoves(pair, first) || pairprocessing::massesDiffer(pair);
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
    // Pairs that move different bodies, and read none that another moves,
    // run at once.
    const auto moved = [this](CollisionPair* pair, int side) { return extractionMayMove(*pair, side == 0); };
    const auto n = static_cast<std::uint32_t>(pairs.size());
    // Which bodies each extraction reads and moves, their numbers and pass
    // slots, read on the helpers.
    std::vector<ExtractionAccess>& access = extractionAccess;
    reserveScratch(access, n);
    access.resize(n);
    forEachIndex(workerPool(), passHelperCount, n, DetectionPass::kAccessGrain, [&](std::uint32_t i, std::uint32_t) {
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
    const std::function<void(HardBody*)> place = [this](HardBody* body) { refreshForPass(body); };
    broadPhase.noteMovedAll(slots, workerPool(), passHelperCount, &place);
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

// ---- Tasks in order of the bodies they touch ------------------------------------------

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
  accessOrder.begin(n, broadPhase.entryCount());
  HardBody* bodies[kMaxTaskBodies];
  bool writes[kMaxTaskBodies];
  std::int32_t known[kMaxTaskBodies];
  std::uint32_t slots[kMaxTaskBodies];
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t count = std::min(accessesOf(i, bodies, writes, known), kMaxTaskBodies);
    for (std::uint32_t k = 0; k < count; ++k) slots[k] = numbers.of(bodies[k], known[k]);
    for (std::uint32_t earlier : accessOrder.add(slots, writes, count)) taskOrder.wait(earlier, i);
  }
  accessOrder.end();
}
