#include "engine/collision/PairPool.h"

#include <new>

#include "engine/collision/CollisionPair.h"

PairPool::PairPool() { pools[0].reserve(kListNodeReserve); }

EngineList<CollisionPair*>* PairPool::freeRecords(std::uint32_t worker) {
  return worker > workerCount ? nullptr : &pools[worker];
}

CollisionPair* PairPool::take(std::uint32_t worker) {
  EngineList<CollisionPair*>* pool = freeRecords(worker);
  if (pool == nullptr) return nullptr;
  if (pool->getFirst() == nullptr) {
    // Only this worker touches its own pool and block list while it runs.
    try {
      std::unique_ptr<CollisionPair[]> block(new CollisionPair[kPairBatch]);
      for (std::uint32_t i = 0; i < kPairBatch; ++i) pool->append(&block[i]);
      blocks[worker].push_back(std::move(block));
    } catch (const std::bad_alloc&) {
      // The records appended so far belong to the block just freed.
      pool->clear();
      return nullptr;
    }
  }
  EngineList<CollisionPair*>::Node* first = pool->getFirst();
  if (first == nullptr) return nullptr;
  CollisionPair* record = first->value;
  pool->remove(record);
  return record;
}

void PairPool::giveBack(CollisionPair* record, std::uint32_t worker) {
  EngineList<CollisionPair*>* pool = freeRecords(worker);
  if (pool != nullptr && record != nullptr) pool->append(record);
}

void PairPool::giveBackAll(EngineList<CollisionPair*>& list) {
  moveRecords(list, pools[0], list.getCount());
  list.clear();
}

void PairPool::deal(std::uint32_t w) {
  if (w == 0) return;
  const std::uint32_t share = pools[0].getCount() / (w + 1);
  for (std::uint32_t k = 1; k <= w; ++k) moveRecords(pools[0], pools[k], share);
}

void PairPool::collect() {
  for (std::uint32_t k = 1; k <= workerCount; ++k) moveRecords(pools[k], pools[0], pools[k].getCount());
}

void PairPool::emptyPools() {
  for (EngineList<CollisionPair*>& pool : pools) pool.clear();
}

void PairPool::freeAll() {
  emptyPools();
  for (auto& slotBlocks : blocks) slotBlocks.clear();
  pools[0].reserve(kListNodeReserve);
}

void PairPool::moveRecords(EngineList<CollisionPair*>& from, EngineList<CollisionPair*>& to, std::uint32_t n) {
  for (std::uint32_t i = 0; i < n; ++i) {
    EngineList<CollisionPair*>::Node* first = from.getFirst();
    if (first == nullptr) return;
    CollisionPair* record = first->value;
    from.remove(record);
    to.append(record);
  }
}
