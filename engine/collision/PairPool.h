#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/ThreadSlots.h"
#include "engine/collision/RetiredBlocks.h"
#include "geometry/EngineList.h"

class CollisionPair;
class WorkerPool;
struct ContactScratch;

/// Pair records a worker's empty pool makes at a time.
constexpr std::uint32_t kPairBatch = 16;
/// Spare list nodes the manager's busiest lists keep.
constexpr std::uint32_t kListNodeReserve = 1024;

/// The free pair records of the collision passes: one pool per thread slot (0
/// the calling thread, k worker k), so that workers take and give back records
/// without a lock, and the blocks that own every record.
///
/// Records move between the pools and the manager's lists; only the blocks
/// free them, when the pool is cleared or destroyed. Each slot's blocks are
/// touched only by the thread running as that slot; its pool also by the
/// slots that borrow from it, under the pool's lock.
class PairPool {
 public:
  PairPool();
  ~PairPool();
  PairPool(const PairPool&) = delete;
  PairPool& operator=(const PairPool&) = delete;

  /// Slots 1 .. count have pools; takes and gives of higher slots do nothing.
  void setWorkerCount(std::uint32_t count) { workerCount = count; }

  /// A free record of slot `worker`. When its pool is empty, up to
  /// kPairBatch of the first other slot's free records that has any move to
  /// it, and only when every pool is empty are kPairBatch new ones made.
  /// Null above the worker count or when memory runs out. Safe to call from
  /// every slot's thread at once.
  CollisionPair* take(std::uint32_t worker);
  /// Gives a record back to slot `worker`'s pool; nothing above the worker
  /// count or for a null record. Safe to call from every slot's thread.
  void giveBack(CollisionPair* record, std::uint32_t worker);
  /// Every record of `list` back to the calling thread's pool, the list
  /// emptied.
  void giveBackAll(EngineList<CollisionPair*>& list);
  /// The free records of slot `worker`; null above the worker count.
  EngineList<CollisionPair*>* freeRecords(std::uint32_t worker);
  /// The calling thread's free records.
  EngineList<CollisionPair*>& callingThreadRecords() { return slots[0].records; }

  /// Makes records, kPairBatch at a time, until the calling thread's pool
  /// holds `wanted` free ones: from the calling thread before a pass, so
  /// that its helpers find the records they take and need make none. False
  /// when memory runs out (the slots then make records on demand).
  bool makeFree(std::uint32_t wanted);
  /// Moves about n / (w + 1) of the calling thread's n free records to each
  /// of workers 1 .. w, with the list nodes a worker needs to borrow a batch;
  /// the records keep their contact blocks, those that hold one first in
  /// each pool. The records move with their list nodes, so that the pools'
  /// nodes go round between the calling thread and the workers instead of
  /// each pool caching its own.
  void deal(std::uint32_t w);
  /// Every worker's free records back to the calling thread's pool, with the
  /// workers' spare list nodes.
  void collect();

  /// Every pool emptied; the records stay in their blocks.
  void emptyPools();
  /// Every record freed with its block, wherever it was (a step that failed
  /// part way may have left records on any list); the pools make new ones on
  /// demand.
  void freeAll();

  /// Pair records made so far, in every slot.
  std::uint32_t recordCount() const { return madeBlocks * kPairBatch; }

  /// Slot `worker`'s full-size contact set for the narrow phase, made on
  /// first use by the thread running as that slot unless made before
  /// (prepareHelpers); null for a slot beyond kThreadSlotCount or when memory
  /// runs out.
  ContactScratch* contactScratch(std::uint32_t worker);
  /// From the calling thread before a pass whose helpers are slots 1 ..
  /// helpers: makes their contact sets, and room for the pair blocks they
  /// will make (ParkedBlocks), `expected` bytes of it or more, so that they
  /// allocate neither.
  void prepareHelpers(std::uint32_t helpers, std::size_t expected);
  /// The pass's room for the pair blocks of helpers.
  ParkedBlocks& parkedBlocks() { return parked; }
  /// Frees the helpers' contact sets (slots 1 and up) with the blocks they
  /// hold set aside: a pass on helpers makes them again (prepareHelpers), so
  /// that what they take lasts only for the pass. Only while no helper
  /// runs, from the calling thread.
  void freeHelperSets();
  /// From the calling thread after a pass on slots 0 .. helpers, before
  /// their pools are collected: the free records that no pair took in the
  /// pass let go of the blocks they kept from their last pair, set aside in
  /// their slot's retired blocks, so that no free record holds memory
  /// between passes. Walked on the helpers when the pools hold many records.
  void retireFreeBlocks(WorkerPool* pool, std::uint32_t helpers);
  /// Gives every pair whose block lies in the pass's room a block of its
  /// own, one of its size that the slots hold set aside where there is one,
  /// and frees the room. Only while no helper runs, from the calling thread.
  void settleParkedBlocks();
  /// The pair blocks slot `worker` sets aside during a pass (below
  /// kThreadSlotCount); touched only by the thread running as the slot.
  RetiredBlocks& retiredBlocks(std::uint32_t worker) { return retired[worker].blocks; }
  /// Frees the pair blocks every slot holds set aside. Only while no helper
  /// runs, from the calling thread.
  void freeRetiredBlocks();
  /// Pair blocks the slots hold set aside.
  std::size_t retiredBlockCount() const;

  /// Moves the first n records of `from` to `to`, one by one.
  static void moveRecords(EngineList<CollisionPair*>& from, EngineList<CollisionPair*>& to, std::uint32_t n);

 private:
  /// kPairBatch new records in slot `worker`'s blocks, written to `into`;
  /// false when memory runs out. Only from the thread running as the slot.
  bool makeBatch(std::uint32_t worker, CollisionPair** into);
  /// Up to n of the first records of slot `slot`'s pool taken out into
  /// `into`; how many. The caller holds the pool's lock.
  std::uint32_t takeFirst(std::uint32_t slot, CollisionPair** into, std::uint32_t n);
  /// retireFreeBlocks for slot `slot`'s pool.
  void retireSlotBlocks(std::uint32_t slot);
  /// A block of `bytes` bytes that a slot holds set aside, taken out; null
  /// when none.
  std::unique_ptr<unsigned char[]> takeRetired(std::size_t bytes);
  /// The first free record of a slot's pool, taken out; null when empty.
  CollisionPair* popFree(std::uint32_t slot);

  std::uint32_t workerCount = 0;
  /// Each slot's free records and the lock that guards them while the slots
  /// take and borrow at once, a cache line apart: every slot's thread takes
  /// and gives back records all through a pass.
  struct alignas(64) SlotPool {
    EngineList<CollisionPair*> records;
    std::mutex lock;
  };
  SlotPool slots[kMaxWorkerThreads + 1];
  std::vector<std::unique_ptr<CollisionPair[]>> blocks[kThreadSlotCount];
  std::unique_ptr<ContactScratch> scratch[kThreadSlotCount];
  /// Each slot's set-aside blocks, a cache line apart, since the slots'
  /// threads write them at once.
  struct alignas(64) SlotBlocks {
    RetiredBlocks blocks;
  };
  SlotBlocks retired[kThreadSlotCount];
  ParkedBlocks parked;
  std::atomic<std::uint32_t> madeBlocks{0};
  /// Free records at the back of the calling thread's pool that hold no
  /// contact block (retireFreeBlocks), for the next deal; records taken from
  /// the front and given back there leave them in place.
  std::uint32_t blocklessTail = 0;
};
