#pragma once

#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>

/// Heap blocks that the pairs a thread slot tests let go of during a pass,
/// kept by size: a later pair of the slot that needs a block of one of
/// those sizes takes it back (take), and the calling thread frees the rest
/// once the helpers are done. A block freed on a helper would stay in that
/// thread's allocator cache, counted as in use, until the same thread asked
/// for a block of its size again; set aside here, helpers free nothing
/// during a pass. In a pile most pairs hold a few contacts, so that the
/// blocks pairs let go of are mostly of the sizes the next pairs need. The
/// blocks are chained through their own first bytes, so that setting one
/// aside allocates nothing. Owns its blocks; touched by one thread at a
/// time.
class RetiredBlocks {
 public:
  RetiredBlocks() = default;
  RetiredBlocks(const RetiredBlocks&) = delete;
  RetiredBlocks& operator=(const RetiredBlocks&) = delete;
  ~RetiredBlocks() { freeAll(); }

  /// Takes `block`, of `bytes` bytes (at least sizeof(void*)), to free
  /// later or to give back to take; nothing for null.
  void add(std::unique_ptr<unsigned char[]> block, std::size_t bytes);
  /// A block of exactly `bytes` bytes set aside, the last one added of that
  /// size; null when there is none.
  std::unique_ptr<unsigned char[]> take(std::size_t bytes);
  /// Frees every block set aside.
  void freeAll();
  /// Blocks set aside and not yet freed or taken.
  std::size_t size() const { return count; }

  /// Sizes kept apart for take; blocks of further sizes are only freed.
  static constexpr std::size_t kSizes = 16;

 private:
  /// The blocks of one size, chained.
  struct Chain {
    std::size_t bytes = 0;
    unsigned char* head = nullptr;
  };
  static void push(unsigned char*& head, unsigned char* block);
  static void freeChain(unsigned char*& head);

  /// The sizes in the order they first came (bytes 0: not yet used).
  Chain chains[kSizes];
  std::size_t sizesUsed = 0;
  /// Blocks of sizes beyond the kept ones.
  unsigned char* others = nullptr;
  std::size_t count = 0;
};

class CollisionPair;

/// Room for the pair blocks the helper threads need during a pass, made by
/// the calling thread before it: a pair tested on a helper takes its block
/// from here, and once the helpers are done the calling thread gives every
/// pair that holds one a block of its own (settleAll). Blocks allocated on a
/// helper would live in that thread's own heap, which the allocator keeps,
/// with the blocks cached there, for as long as the thread lives; here,
/// helpers allocate nothing for their pairs while the room lasts. The room
/// of the next pass is sized from what this one asked for. Every helper
/// takes from the one room at once.
///
/// The room lies in pages of its own (platform Pages), not in a heap block:
/// only the pages the helpers write become resident, so that a generous
/// room costs address space, and a room freed to the heap leaves no hole
/// there for the heap to grow around. The pages are kept from one pass to
/// the next while they fit the room wanted, so that a pass maps none and
/// touches the pages the last one did; given back when the room wanted
/// changes much, and by release.
class ParkedBlocks {
 public:
  ParkedBlocks() = default;
  ParkedBlocks(const ParkedBlocks&) = delete;
  ParkedBlocks& operator=(const ParkedBlocks&) = delete;
  ~ParkedBlocks() { release(); }

  /// Makes room for the pass, in place of any left: kLeastRoom bytes more
  /// than twice the larger of what the last pass asked for and `expected`,
  /// the blocks of the pairs it kept (which thread tested which pair, and
  /// so what the helpers asked for, changes with the scheduling). False
  /// when memory runs out (the pass then makes its blocks where it runs).
  /// Only while no helper runs.
  bool prepare(std::size_t expected);
  /// Bytes of room a block of `bytes` takes.
  static std::size_t roomFor(std::size_t bytes) { return sizeof(Entry) + rounded(bytes); }
  /// A block of `bytes` for `owner`, aligned for doubles; null when the room
  /// is out or no pass made it. Safe to call from every helper at once.
  unsigned char* take(std::size_t bytes, CollisionPair* owner);
  /// Calls settle(owner, block, bytes) for every block taken, in the room's
  /// order, then ends the room (discard). Only while no helper runs.
  template <typename Settle>
  void settleAll(Settle&& settle) {
    const std::size_t end = used.load(std::memory_order_relaxed);
    std::size_t at = 0;
    while (at < end) {
      Entry entry;
      std::memcpy(&entry, room + at, sizeof entry);
      settle(entry.owner, room + at + sizeof(Entry), entry.bytes);
      at += sizeof(Entry) + rounded(entry.bytes);
    }
    discard();
  }
  /// Ends the pass's room, forgetting the blocks taken from it (their pairs
  /// gone); its pages are kept for the next. Only while no helper runs.
  void discard();
  /// Ends the room and gives its pages back. Only while no helper runs.
  void release();
  /// Bytes of room made for the pass (0 between passes).
  std::size_t roomBytes() const { return size; }
  /// Bytes of the pages kept for the rooms (0 once released).
  std::size_t pageBytes() const { return mappedBytes; }

  /// Room every pass has beyond its estimate: untouched, it is only
  /// address space.
  static constexpr std::size_t kLeastRoom = 65536;
  /// Kept pages more than this many times the room wanted are given back
  /// for pages of the room's size.
  static constexpr std::size_t kMostSpare = 4;

 private:
  /// What precedes each block in the room.
  struct Entry {
    CollisionPair* owner;
    std::size_t bytes;
  };
  static std::size_t rounded(std::size_t bytes) { return (bytes + kAlign - 1) / kAlign * kAlign; }

  static constexpr std::size_t kAlign = 16;
  /// The pass's room, at the start of the pages; null between passes.
  unsigned char* room = nullptr;
  std::size_t size = 0;
  unsigned char* pages = nullptr;
  std::size_t mappedBytes = 0;
  std::atomic<std::size_t> used{0};
  /// Bytes this pass asked for, taken or not.
  std::atomic<std::size_t> asked{0};
  std::size_t lastAsked = 0;
};
