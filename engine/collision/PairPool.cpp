#include "engine/collision/PairPool.h"

#include <new>

#include "engine/collision/CollisionPair.h"
#include "engine/collision/threads/WorkerPool.h"

namespace {

/// Free records the calling thread walks itself after a pass.
constexpr std::uint32_t kWalkedHere = 512;

}  // namespace

PairPool::PairPool() { slots[0].records.reserve(kListNodeReserve); }

PairPool::~PairPool() = default;

EngineList<CollisionPair*>* PairPool::freeRecords(std::uint32_t worker) {
  return worker > workerCount ? nullptr : &slots[worker].records;
}

CollisionPair* PairPool::take(std::uint32_t worker) {
  EngineList<CollisionPair*>* pool = freeRecords(worker);
  if (pool == nullptr) return nullptr;
  if (CollisionPair* record = popFree(worker)) return record;
  // The slot's own records are out: take some of another slot's spare ones
  // before making new, so that the records made follow the pairs in use and
  // not how the work fell between the threads.
  CollisionPair* borrowed[kPairBatch];
  std::uint32_t count = 0;
  for (std::uint32_t step = 1; step <= workerCount && count == 0; ++step) {
    const std::uint32_t from = (worker + step) % (workerCount + 1);
    // The batch under one hold of the lender's lock: taken record by record
    // the borrower would queue with the lender's own takes once a record.
    const std::unique_lock<std::mutex> lock = lockTrying(slots[from].lock);
    count = takeFirst(from, borrowed, kPairBatch);
  }
  if (count == 0) {
    // Records may have come back behind the scan: look again with every pool
    // held at once (always locked in slot order), so that new records are
    // made only when none is free anywhere.
    std::unique_lock<std::mutex> held[kMaxWorkerThreads + 1];
    for (std::uint32_t k = 0; k <= workerCount; ++k) held[k] = lockTrying(slots[k].lock);
    for (std::uint32_t k = 0; k <= workerCount && count == 0; ++k) count = takeFirst(k, borrowed, kPairBatch);
  }
  if (count == 0) {
    if (!makeBatch(worker, borrowed)) return nullptr;
    count = kPairBatch;
  }
  {
    const std::unique_lock<std::mutex> lock = lockTrying(slots[worker].lock);
    for (std::uint32_t i = 1; i < count; ++i) pool->append(borrowed[i]);
  }
  return borrowed[0];
}

bool PairPool::makeBatch(std::uint32_t worker, CollisionPair** into) {
  // Only this slot's thread touches its block list.
  try {
    std::unique_ptr<CollisionPair[]> block(new CollisionPair[kPairBatch]);
    for (std::uint32_t i = 0; i < kPairBatch; ++i) into[i] = &block[i];
    blocks[worker].push_back(std::move(block));
    ++madeBlocks;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool PairPool::makeFree(std::uint32_t wanted) {
  while (slots[0].records.getCount() < wanted) {
    CollisionPair* made[kPairBatch];
    if (!makeBatch(0, made)) return false;
    const std::unique_lock<std::mutex> lock = lockTrying(slots[0].lock);
    for (CollisionPair* record : made) slots[0].records.append(record);
  }
  return true;
}

std::uint32_t PairPool::takeFirst(std::uint32_t slot, CollisionPair** into, std::uint32_t n) {
  EngineList<CollisionPair*>& pool = slots[slot].records;
  std::uint32_t count = 0;
  for (; count < n && pool.getFirst() != nullptr; ++count) {
    into[count] = pool.getFirst()->value;
    pool.remove(into[count]);
  }
  // Taken from the front, the records without a block at the back go last.
  if (slot == 0 && blocklessTail > pool.getCount()) blocklessTail = pool.getCount();
  return count;
}

CollisionPair* PairPool::popFree(std::uint32_t slot) {
  const std::unique_lock<std::mutex> lock = lockTrying(slots[slot].lock);
  CollisionPair* record = nullptr;
  return takeFirst(slot, &record, 1) != 0 ? record : nullptr;
}

void PairPool::giveBack(CollisionPair* record, std::uint32_t worker) {
  EngineList<CollisionPair*>* pool = freeRecords(worker);
  if (pool == nullptr || record == nullptr) return;
  const std::unique_lock<std::mutex> lock = lockTrying(slots[worker].lock);
  pool->append(record);
}

void PairPool::giveBackAll(EngineList<CollisionPair*>& list) {
  const std::unique_lock<std::mutex> lock = lockTrying(slots[0].lock);
  moveRecords(list, slots[0].records, list.getCount());
  list.clear();
}

void PairPool::deal(std::uint32_t w) {
  if (w == 0) return;
  // The free records keep their blocks: a record whose block is of the
  // size its next pair needs keeps it, and on a helper the blocks of the
  // other sizes go round among the pairs it tests (RetiredBlocks), so that
  // a pass frees and makes few blocks, and none of them here. The records
  // that hold one (the last step's pairs, given back at the front) lead
  // each pool, and those that hold none (left at the back by the last
  // pass) close it: a slot takes from the front, so that the records a
  // pass leaves untaken hold next to no block for it to free.
  const std::uint32_t count = slots[0].records.getCount();
  const std::uint32_t blockless = blocklessTail < count ? blocklessTail : count;
  const std::uint32_t holding = count - blockless;
  for (std::uint32_t k = 1; k <= w; ++k) {
    const std::uint32_t share = slots[0].records.moveFirstRunTo(slots[k].records, holding / (w + 1)) +
                                slots[0].records.moveLastRunTo(slots[k].records, blockless / (w + 1));
    // A worker whose pool runs out appends up to a batch less one borrowed
    // records, with the nodes its takes cached: spare nodes for what the
    // share does not cover come from the calling thread, so that the
    // workers' takes and gives make none.
    const std::uint32_t spare = share + 1 < kPairBatch ? kPairBatch - 1 - share : 0;
    slots[0].records.giveCacheTo(slots[k].records, spare);
    slots[k].records.reserve(spare);
  }
  blocklessTail = 0;
}

void PairPool::collect() {
  // The workers' lists give their spare nodes back with the records, for the
  // next deal.
  for (std::uint32_t k = 1; k <= workerCount; ++k) {
    slots[k].records.moveFirstRunTo(slots[0].records, slots[k].records.getCount());
    slots[k].records.giveCacheTo(slots[0].records);
  }
}

void PairPool::emptyPools() {
  for (SlotPool& slot : slots) slot.records.clear();
  blocklessTail = 0;
}

void PairPool::freeAll() {
  emptyPools();
  parked.release();
  freeRetiredBlocks();
  for (auto& slotBlocks : blocks) slotBlocks.clear();
  madeBlocks = 0;
  slots[0].records.reserve(kListNodeReserve);
}

ContactScratch* PairPool::contactScratch(std::uint32_t worker) {
  if (worker >= static_cast<std::uint32_t>(kThreadSlotCount)) return nullptr;
  if (!scratch[worker]) scratch[worker].reset(new (std::nothrow) ContactScratch);
  return scratch[worker].get();
}

void PairPool::prepareHelpers(std::uint32_t helpers, std::size_t expected) {
  // A room a pass that failed part way left unsettled.
  settleParkedBlocks();
  for (std::uint32_t worker = 1; worker <= helpers; ++worker) contactScratch(worker);
  parked.prepare(expected);
}

void PairPool::freeHelperSets() {
  for (int worker = 1; worker < kThreadSlotCount; ++worker) scratch[worker].reset();
}

void PairPool::retireFreeBlocks(WorkerPool* pool, std::uint32_t helpers) {
  if (helpers > workerCount) helpers = workerCount;
  std::uint32_t free = 0;
  for (std::uint32_t k = 0; k <= helpers; ++k) free += slots[k].records.getCount();
  // A pass leaves few records untaken; waking the helpers pays only for a
  // pile that lost many pairs (or fell asleep).
  forEachIndex(free > kWalkedHere ? pool : nullptr, helpers, helpers + 1, 1,
               [this](std::uint32_t slot, std::uint32_t) { retireSlotBlocks(slot); });
  // Collected behind the records given back before the next deal.
  blocklessTail = free;
}

void PairPool::retireSlotBlocks(std::uint32_t slot) {
  RetiredBlocks& into = retired[slot].blocks;
  for (auto* node = slots[slot].records.getFirst(); node != nullptr; node = node->next)
    node->value->dropContacts(&into);
}

std::unique_ptr<unsigned char[]> PairPool::takeRetired(std::size_t bytes) {
  for (SlotBlocks& slot : retired) {
    if (std::unique_ptr<unsigned char[]> block = slot.blocks.take(bytes)) return block;
  }
  return nullptr;
}

void PairPool::settleParkedBlocks() {
  parked.settleAll([this](CollisionPair* owner, const unsigned char* at, std::size_t bytes) {
    if (owner->holdsParkedBlock(at)) owner->settleParked(at, bytes, takeRetired(bytes));
  });
}

void PairPool::freeRetiredBlocks() {
  for (SlotBlocks& slot : retired) slot.blocks.freeAll();
}

std::size_t PairPool::retiredBlockCount() const {
  std::size_t count = 0;
  for (const SlotBlocks& slot : retired) count += slot.blocks.size();
  return count;
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
