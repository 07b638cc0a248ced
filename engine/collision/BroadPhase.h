#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "math/MgcVector3.h"

class HardBody;
class WorkerPool;

/// The bounds table of the collision passes: which candidate bodies may
/// touch. In a pass each body has a slot (its index in `build`'s list, also
/// written to the body's pass slot) and an axis-aligned box around what the
/// pair tests require to overlap (its world box and, for capsules, its
/// capsule), widened by a margin. Two bounded bodies whose boxes are apart
/// cannot pass any pair test, so the passes skip them; barriers are
/// unbounded and meet every body; phantoms meet none.
///
/// The table outlives the passes: a body keeps its box, its grid cells and
/// its partners from one pass to the next, and is boxed again only when its
/// new box leaves its widened one, so a body that did not move (a sleeper, a
/// static body) costs a pass nothing. Changed on the calling thread (the
/// boxes made with the help of the pool's helpers); workers only read it.
class BroadPhase {
 public:
  /// Gives the bodies of a pass their slots and brings their boxes up to
  /// date: a body whose world box was not recomputed since it was last boxed
  /// keeps box and partners, one whose box left its widened one is boxed
  /// again and its partners looked up afresh, bodies no longer listed are
  /// forgotten. New boxes are made on the calling thread and up to `helpers`
  /// helpers of the pool (none: all here). The bodies' world data must be
  /// current.
  void build(const std::vector<HardBody*>& bodies, WorkerPool* pool = nullptr, std::uint32_t helpers = 0);
  /// Ends the pass: the bodies' pass slots back to -1 (on the pool's
  /// helpers when given). Boxes and partners stay for the next build.
  void clear(WorkerPool* pool = nullptr, std::uint32_t helpers = 0);
  /// Forgets every body, as a new table would.
  void reset();
  /// The step the bodies move through before the next pass (s): a swept
  /// body's box grows by how far it may travel in it (sweptReach). 0, the
  /// start, grows none.
  void setSweepStep(double seconds) { sweepStep = seconds > 0.0 ? seconds : 0.0; }
  /// How far the body's points may travel in a step of `seconds`: its
  /// speed and its turn over its farthest point, with the margins of
  /// kSweptReachShare and kSweptReachFixed; 0 for a body that is not a free
  /// hull (static, asleep, a piece or another shape) or whose points travel
  /// less than kSweptShare of its thickness (its box's least extent).
  static double sweptReach(HardBody& body, double seconds);
  /// Calls fn(slot) for each bounded slot whose box meets the slot's, in no
  /// particular order.
  template <typename Fn>
  void forEachNeighbour(std::uint32_t slot, Fn&& fn) const {
    for (std::uint32_t partner : entries[slotEntries[slot]].partners) fn(entries[partner].slot);
  }
  /// The unbounded slots (barriers), ascending.
  const std::vector<std::uint32_t>& unbounded() const { return unboundedSlots; }
  /// Whether the slot's body meets nothing (a phantom).
  bool isInert(std::uint32_t slot) const { return slotKinds[slot] == kInert; }
  bool isUnbounded(std::uint32_t slot) const { return slotKinds[slot] == kUnbounded; }
  /// Whether the two slots may touch.
  bool mayTouch(std::uint32_t a, std::uint32_t b) const;
  /// The body of the slot moved (its world data current again): its box is
  /// renewed and, when it left the widened box, its partners found again.
  void noteMoved(std::uint32_t slot);
  /// noteMoved for each of the slots in turn (each once), their tight boxes
  /// made on the helpers first; with `place`, each slot's body is given to
  /// it just before, on the same thread (to bring its world data up to date:
  /// a call may write only that body).
  void noteMovedAll(const std::vector<std::uint32_t>& slots, WorkerPool* pool, std::uint32_t helpers,
                    const std::function<void(HardBody*)>* place = nullptr);
  /// Counts the boxes renewed: partner lists read before a change may be out
  /// of date after it.
  std::uint64_t changes() const { return changeCount; }
  /// The body's entry when the table keeps one for it, else -1: a number
  /// below entryCount() that no other body has while the table lasts. Only
  /// reads, so any thread may ask while nothing builds the table.
  std::int32_t keptEntry(const HardBody* body) const;
  /// Entries made so far.
  std::uint32_t entryCount() const { return static_cast<std::uint32_t>(entries.size()); }
  /// The slots of the running pass (0 outside one).
  std::uint32_t size() const { return static_cast<std::uint32_t>(bodies.size()); }
  HardBody* body(std::uint32_t slot) const { return bodies[slot]; }

 private:
  /// Each moved entry's partners found and linked in the order of the
  /// moved entries, searched on the helpers when there are enough; every
  /// moved entry ends marked done in batchDone.
  void linkMovedEntries(WorkerPool* pool, std::uint32_t helpers);
  enum SlotKind : std::uint8_t { kBounded = 0, kUnbounded = 1, kInert = 2 };
  struct Box {
    Mgc::MgcVector3 min;
    Mgc::MgcVector3 max;
  };
  /// What the table keeps of one body between passes.
  struct Entry {
    /// Null for a free entry. Once the body is no longer listed it may be
    /// gone: the entry is forgotten at the next build without reading it.
    HardBody* body = nullptr;
    /// The body's bounds stamp when it was last boxed.
    std::uint32_t stamp = 0;
    /// The build that last listed the body, and its slot there.
    std::uint32_t seen = 0;
    std::uint32_t slot = 0;
    SlotKind kind = kBounded;
    bool boxed = false;
    /// Compared with every box instead of entered in the grid.
    bool large = false;
    /// The grid cells the box is entered in, when it is not large.
    std::int32_t cellLo[3] = {0, 0, 0};
    std::int32_t cellHi[3] = {0, 0, 0};
    Box box;
    /// The bounded entries whose boxes meet this one's.
    std::vector<std::uint32_t> partners;
  };
  static SlotKind kindOf(const HardBody* body);
  /// The tight box of the body, grown by its reach over the sweep step.
  Box tightBox(HardBody* body) const;
  /// The tight box widened by the margin.
  static Box widened(const Box& box);
  static bool meet(const Box& a, const Box& b);
  static bool contains(const Box& outer, const Box& inner);
  /// The body's entry, made when it has none.
  std::uint32_t entryOf(HardBody* body);
  void forget(std::uint32_t entry);
  void link(std::uint32_t a, std::uint32_t b);
  /// Takes the entry out of its partners' lists and empties its own.
  void unlinkAll(std::uint32_t entry);
  /// The grid cells the box covers; false when it is too large for the
  /// grid (or beyond its reach) and meets bodies outside the grid's cells.
  bool cellRange(const Box& box, std::int32_t lo[3], std::int32_t hi[3]) const;
  void enterGrid(std::uint32_t entry);
  /// Whether the box covers the very grid cells the boxed entry is entered
  /// in (then it stays in them).
  bool sameCells(const Entry& entry, const Box& box) const;
  void leaveGrid(std::uint32_t entry);
  /// Chooses the cell size for the boxes as they are and enters them all.
  void regrid();
  bool needsRegrid() const;
  /// Links the entry with every box that meets its own, but those of
  /// entries marked done in the running batch (which found it themselves).
  void findPartners(std::uint32_t entry);
  /// The partners findPartners would link the entry of the running batch
  /// with, in its order, when every entry of the batch is marked done:
  /// written to `into` unless null; how many. Only reads the table.
  std::uint32_t batchPartners(std::uint32_t entry, std::uint32_t* into) const;
  /// Boxes the entry again around `tight`, with its grid cells and partners.
  void rebox(std::uint32_t entry, const Box& tight);

  std::vector<Entry> entries;
  std::vector<std::uint32_t> freeEntries;
  std::uint32_t liveEntries = 0;
  std::uint32_t boundedEntries = 0;
  std::uint32_t buildCount = 0;
  /// False while a change is under way: a change cut short by an exception
  /// leaves the table to be made afresh.
  bool intact = true;
  // The running pass, by slot.
  std::vector<HardBody*> bodies;
  std::vector<std::uint32_t> slotEntries;
  std::vector<SlotKind> slotKinds;
  /// By slot, whether the body's box is made anew in the running build.
  std::vector<std::uint8_t> slotRenewed;
  std::vector<std::uint32_t> unboundedSlots;
  /// The grid: bounded entries by the cells their boxes cover, cubic cells
  /// about the size of a typical box; the inverse of the cell size. Two
  /// boxes that meet share the cell of the lower corner of their overlap.
  std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> cells;
  double cellInverse = 1.0;
  double sweepStep = 0.0;
  bool gridChosen = false;
  /// Bounded entries and large ones when the cell size was chosen.
  std::uint32_t griddedEntries = 0;
  std::uint32_t largeWhenGridded = 0;
  /// Bounded entries compared with every box (too large for the grid).
  std::vector<std::uint32_t> largeEntries;
  // Scratch, kept for its storage: the entries a build boxes again, their
  // tight boxes and whether they left their widened ones, the mark of the
  // running batch and of the running partner search per entry.
  std::vector<std::uint32_t> renewed;
  std::vector<Box> renewedBoxes;
  std::vector<std::uint8_t> renewedLeft;
  std::vector<std::uint32_t> movedEntries;
  std::vector<std::uint8_t> batchDone;
  std::vector<std::uint32_t> visitMarks;
  std::uint32_t visitCount = 0;
  std::vector<double> sizeScratch;
  std::uint64_t changeCount = 0;
};
