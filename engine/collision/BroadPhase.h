#pragma once

#include <cstdint>
#include <vector>

#include "math/MgcVector3.h"

class HardBody;

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
/// afresh. Built and changed on the calling thread; workers only read it.
class BroadPhase {
 public:
  /// Sorts and sweeps the bodies' boxes. Every body gets its slot; the
  /// bodies' world data must be current.
  void build(const std::vector<HardBody*>& bodies);
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

  std::vector<HardBody*> bodies;
  std::vector<SlotKind> kinds;
  std::vector<Box> boxes;
  /// One partner list per slot; lists past size() are spare storage.
  std::vector<std::vector<std::uint32_t>> adjacency;
  std::vector<std::uint32_t> unboundedSlots;
  // Scratch of build, kept for its storage.
  std::vector<std::uint32_t> boundedSlots;
  std::vector<double> sizeScratch;
  std::vector<std::pair<std::uint64_t, std::uint32_t>> cellEntries;
};
