#pragma once

#include <cstddef>
#include <memory>

/// Heap blocks that a helper thread let go of during a pass, kept for the
/// calling thread to free once the helpers are done. A block freed on a
/// helper would stay in that thread's allocator cache, counted as in use,
/// until the same thread asked for a block of its size again; set aside
/// here, helpers free nothing during a pass. The blocks are chained through
/// their own first bytes, so that setting one aside allocates nothing.
/// Owns its blocks; touched by one thread at a time.
class RetiredBlocks {
 public:
  RetiredBlocks() = default;
  RetiredBlocks(const RetiredBlocks&) = delete;
  RetiredBlocks& operator=(const RetiredBlocks&) = delete;
  ~RetiredBlocks() { freeAll(); }

  /// Takes `block`, of at least sizeof(void*) bytes, to free later; nothing
  /// for null.
  void add(std::unique_ptr<unsigned char[]> block);
  /// Frees every block set aside.
  void freeAll();
  /// Blocks set aside and not yet freed.
  std::size_t size() const { return count; }

 private:
  unsigned char* head = nullptr;
  std::size_t count = 0;
};
