#pragma once

#include <cstdint>
#include <vector>

#include "math/MgcVector3.h"

class HardBody;
class WorkerPool;

/// The bounds table of one collision pass: which candidate bodies may touch.
/// Each body gets a slot (its index in `build`'s list, also written to the
/// body's pass slot) and an axis-aligned box around what the pair tests
/// require to overlap (its world box and, for capsules, its capsule),
/// widened by a margin. Two bounded bodies whose boxes are apart cannot pass
/// any pair test, so the passes skip them; barriers are unbounded and meet
/// every body; phantoms meet none.
///
/// The passes keep the table right while bodies move: a body whose new box
/// leaves its widened one is boxed again and its partners are looked up
/// afresh, in the grid cells its box covers and among the bodies boxed
/// again before it. Built (with the help of the pool's helpers) and changed
/// on the calling thread; workers only read it.
class BroadPhase {
 public:
  /// Sorts and sweeps the bodies' boxes, the boxes made and the partner
  /// lists sorted on the calling thread and up to `helpers` helpers of the
  /// pool (none: all here). Every body gets its slot; the bodies' world
  /// data must be current.
  void build(const std::vector<HardBody*>& bodies, WorkerPool* pool = nullptr, std::uint32_t helpers = 0);
  /// Forgets the bodies (their pass slots back to -1).
  void clear();
  /// The bounded bodies whose boxes meet the slot's, in ascending slots.
  const std::vector<std::uint32_t>& neighbours(std::uint32_t slot) const { return adjacency[slot]; }
  /// The unbounded slots (barriers), ascending.
  const std::vector<std::uint32_t>& unbounded() const { return unboundedSlots; }
  /// Whether the slot's body meets nothing (a phantom).
  bool isInert(std::uint32_t slot) const { return kinds[slot] == kInert; }
  bool isUnbounded(std::uint32_t slot) const { return kinds[slot] == kUnbounded; }
  /// Whether the two slots may touch.
  bool mayTouch(std::uint32_t a, std::uint32_t b) const;
  /// The body of the slot moved (its world data current again): its box is
  /// renewed and, when it left the widened box, its partners found again.
  void noteMoved(std::uint32_t slot);
  /// Counts the boxes renewed since the build: partner lists read before a
  /// change may be out of date after it.
  std::uint64_t changes() const { return changeCount; }
  std::uint32_t size() const { return static_cast<std::uint32_t>(bodies.size()); }
  HardBody* body(std::uint32_t slot) const { return bodies[slot]; }

 private:
  enum SlotKind : std::uint8_t { kBounded = 0, kUnbounded = 1, kInert = 2 };
  struct Box {
    Mgc::MgcVector3 min;
    Mgc::MgcVector3 max;
  };
  static SlotKind kindOf(const HardBody* body);
  /// The tight box of the body.
  static Box tightBox(HardBody* body);
  /// The tight box widened by the margin.
  static Box widened(const Box& box);
  static bool meet(const Box& a, const Box& b);
  static bool contains(const Box& outer, const Box& inner);
  void link(std::uint32_t a, std::uint32_t b);
  /// The grid cells the box covers; false when it is too large for the
  /// grid (or beyond its reach) and meets bodies outside the grid's cells.
  bool cellRange(const Box& box, std::int64_t lo[3], std::int64_t hi[3]) const;
  std::int64_t cellOf(double x) const;
  /// The slots whose boxes may meet the slot's box: a superset, ascending.
  void partnerCandidates(std::uint32_t slot, std::vector<std::uint32_t>& out) const;

  std::vector<HardBody*> bodies;
  std::vector<SlotKind> kinds;
  std::vector<Box> boxes;
  /// One partner list per slot; lists past size() are spare storage.
  std::vector<std::vector<std::uint32_t>> adjacency;
  std::vector<std::uint32_t> unboundedSlots;
  // Scratch of build, kept for its storage.
  std::vector<std::uint32_t> boundedSlots;
  std::vector<double> sizeScratch;
  /// The grid of the last build: (cell, slot) sorted, each bounded slot in
  /// the cells its box then covered; the inverse of the cell size.
  std::vector<std::pair<std::uint64_t, std::uint32_t>> cellEntries;
  double cellInverse = 1.0;
  /// Bounded slots compared with every box (too large for the grid).
  std::vector<std::uint32_t> largeSlots;
  /// Slots boxed again since the build, whose grid cells are out of date,
  /// and a mark per slot.
  std::vector<std::uint32_t> movedSlots;
  std::vector<std::uint8_t> movedMark;
  std::vector<std::uint32_t> candidateScratch;
  std::uint64_t changeCount = 0;
};
