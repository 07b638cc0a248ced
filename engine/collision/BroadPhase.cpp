#include "engine/collision/BroadPhase.h"

#include <algorithm>
#include <cmath>

#include "engine/bodies/CapsuleBody.h"
#include "engine/bodies/HardBody.h"
#include "engine/collision/WorkerPool.h"

using Mgc::MgcVector3;

namespace {

/// The margin of the widened boxes: a share of the box's size and a fixed
/// part, so that the small moves of contact extraction rarely leave it.
constexpr double kBoundsMarginShare = 0.05;
constexpr double kBoundsMarginFixed = 1e-3;
/// Cells a box may span along an axis before it counts as large, and the
/// largest cell coordinate the grid keys hold.
constexpr std::int64_t kGridSpan = 4;
constexpr double kGridReach = 1e6;
/// Bodies a thread takes at a time when boxes are made or partner lists
/// sorted.
constexpr std::uint32_t kBuildGrain = 64;

/// One key per cell; coordinates below kGridReach in size.
std::uint64_t gridKey(std::int64_t x, std::int64_t y, std::int64_t z) {
  constexpr std::int64_t kOffset = 1 << 20;
  return (static_cast<std::uint64_t>(x + kOffset) << 42) | (static_cast<std::uint64_t>(y + kOffset) << 21) |
         static_cast<std::uint64_t>(z + kOffset);
}

void growBox(MgcVector3& lo, MgcVector3& hi, const MgcVector3& centre, const MgcVector3& half) {
  for (int k = 0; k < 3; ++k) {
    lo[k] = std::min(lo[k], centre[k] - half[k]);
    hi[k] = std::max(hi[k], centre[k] + half[k]);
  }
}

}  // namespace

BroadPhase::SlotKind BroadPhase::kindOf(const HardBody* body) {
  switch (body->getType()) {
    case kPhantomBody:
      return kInert;
    case kBarrierBody:
      return kUnbounded;
    default:
      return kBounded;
  }
}

BroadPhase::Box BroadPhase::tightBox(HardBody* body) {
  const double inf = HUGE_VAL;
  MgcVector3 lo(inf, inf, inf);
  MgcVector3 hi(-inf, -inf, -inf);
  // The world box as the box tests read it, extents along its axes: every
  // pair test of two bounded bodies but that of two capsules requires the
  // two boxes to overlap.
  const ZOVbox& box = body->getBbox();
  MgcVector3 half;
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) half[row] += std::fabs(box.axes[row][col]) * std::fabs(box.extents[col]);
  }
  growBox(lo, hi, box.center, half);
  // Two capsules meet without the box test.
  if (body->getType() == kCapsuleBody || body->getType() == kCrackerBody) {
    ZOVcapsule capsule;
    if (static_cast<const CapsuleBody*>(body)->placedCapsule(capsule)) {
      MgcVector3 reach;
      for (int k = 0; k < 3; ++k) reach[k] = 0.5 * capsule.length * std::fabs(capsule.axis[k]) + capsule.radius;
      growBox(lo, hi, capsule.center, reach);
    }
  }
  bool finite = true;
  for (int k = 0; k < 3; ++k) finite = finite && std::isfinite(lo[k]) && std::isfinite(hi[k]);
  if (!finite) {
    // A body whose bounds cannot be trusted meets everything.
    lo = MgcVector3(-inf, -inf, -inf);
    hi = MgcVector3(inf, inf, inf);
  }
  return Box{lo, hi};
}

BroadPhase::Box BroadPhase::widened(const Box& box) {
  Box out = box;
  double size = 0.0;
  for (int k = 0; k < 3; ++k) size = std::max(size, box.max[k] - box.min[k]);
  const double margin = (std::isfinite(size) ? kBoundsMarginShare * size : 0.0) + kBoundsMarginFixed;
  for (int k = 0; k < 3; ++k) {
    out.min[k] -= margin;
    out.max[k] += margin;
  }
  return out;
}

bool BroadPhase::meet(const Box& a, const Box& b) {
  for (int k = 0; k < 3; ++k) {
    if (a.max[k] < b.min[k] || b.max[k] < a.min[k]) return false;
  }
  return true;
}

bool BroadPhase::contains(const Box& outer, const Box& inner) {
  for (int k = 0; k < 3; ++k) {
    if (inner.min[k] < outer.min[k] || inner.max[k] > outer.max[k]) return false;
  }
  return true;
}

void BroadPhase::clear() {
  for (HardBody* b : bodies) b->setPassSlot(-1);
  bodies.clear();
  kinds.clear();
  boxes.clear();
  // The partner lists keep their storage for the next pass.
  for (auto& partners : adjacency) partners.clear();
  unboundedSlots.clear();
  cellEntries.clear();
  largeSlots.clear();
  movedSlots.clear();
  movedMark.clear();
}

void BroadPhase::link(std::uint32_t a, std::uint32_t b) {
  adjacency[a].push_back(b);
  adjacency[b].push_back(a);
}

std::int64_t BroadPhase::cellOf(double x) const { return static_cast<std::int64_t>(std::floor(x * cellInverse)); }

bool BroadPhase::cellRange(const Box& box, std::int64_t lo[3], std::int64_t hi[3]) const {
  for (int k = 0; k < 3; ++k) {
    const double a = box.min[k] * cellInverse;
    const double b = box.max[k] * cellInverse;
    if (!(std::fabs(a) < kGridReach && std::fabs(b) < kGridReach)) return false;
    lo[k] = cellOf(box.min[k]);
    hi[k] = cellOf(box.max[k]);
    if (hi[k] - lo[k] >= kGridSpan) return false;
  }
  return true;
}

void BroadPhase::build(const std::vector<HardBody*>& list, WorkerPool* pool, std::uint32_t helpers) {
  clear();
  bodies = list;
  const auto n = static_cast<std::uint32_t>(bodies.size());
  kinds.resize(n);
  boxes.resize(n);
  movedMark.assign(n, 0);
  if (adjacency.size() < n) adjacency.resize(n);
  std::vector<std::uint32_t>& bounded = boundedSlots;
  bounded.clear();
  for (std::uint32_t i = 0; i < n; ++i) {
    HardBody* b = bodies[i];
    b->setPassSlot(static_cast<std::int32_t>(i));
    kinds[i] = kindOf(b);
    if (kinds[i] == kUnbounded) unboundedSlots.push_back(i);
    if (kinds[i] == kBounded) bounded.push_back(i);
  }
  if (bounded.empty()) return;
  // Each box is the body's own: made anywhere.
  forEachIndex(pool, helpers, static_cast<std::uint32_t>(bounded.size()), kBuildGrain,
               [&](std::uint32_t k, std::uint32_t) { boxes[bounded[k]] = widened(tightBox(bodies[bounded[k]])); });
  // A grid of cubic cells about the size of a typical box: each box is
  // entered in the cells it covers, and two boxes are compared in the one
  // cell that holds the lower corner of where they overlap. Boxes much
  // larger than a cell are compared with every box instead.
  std::vector<double>& sizes = sizeScratch;
  sizes.clear();
  for (std::uint32_t i : bounded) {
    double size = 0.0;
    for (int k = 0; k < 3; ++k) size = std::max(size, boxes[i].max[k] - boxes[i].min[k]);
    if (std::isfinite(size)) sizes.push_back(size);
  }
  double cell = 1.0;
  if (!sizes.empty()) {
    std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
    cell = std::max(sizes[sizes.size() / 2], kBoundsMarginFixed);
  }
  cellInverse = 1.0 / cell;
  std::vector<std::uint32_t>& large = largeSlots;
  std::vector<std::pair<std::uint64_t, std::uint32_t>>& entries = cellEntries;
  for (std::uint32_t i : bounded) {
    std::int64_t lo[3];
    std::int64_t hi[3];
    if (!cellRange(boxes[i], lo, hi)) {
      large.push_back(i);
      continue;
    }
    for (std::int64_t x = lo[0]; x <= hi[0]; ++x) {
      for (std::int64_t y = lo[1]; y <= hi[1]; ++y) {
        for (std::int64_t z = lo[2]; z <= hi[2]; ++z) entries.emplace_back(gridKey(x, y, z), i);
      }
    }
  }
  std::sort(entries.begin(), entries.end());
  for (std::size_t start = 0; start < entries.size();) {
    std::size_t end = start + 1;
    while (end < entries.size() && entries[end].first == entries[start].first) ++end;
    for (std::size_t p = start; p < end; ++p) {
      const std::uint32_t a = entries[p].second;
      for (std::size_t q = p + 1; q < end; ++q) {
        const std::uint32_t b = entries[q].second;
        if (!meet(boxes[a], boxes[b])) continue;
        const std::uint64_t owner = gridKey(cellOf(std::max(boxes[a].min[0], boxes[b].min[0])),
                                            cellOf(std::max(boxes[a].min[1], boxes[b].min[1])),
                                            cellOf(std::max(boxes[a].min[2], boxes[b].min[2])));
        if (owner == entries[start].first) link(a, b);
      }
    }
    start = end;
  }
  for (std::size_t p = 0; p < large.size(); ++p) {
    for (std::uint32_t other : bounded) {
      if (other == large[p]) continue;
      // Two large boxes are compared once.
      const bool otherLarge = std::find(large.begin(), large.end(), other) != large.end();
      if (otherLarge && other < large[p]) continue;
      if (meet(boxes[large[p]], boxes[other])) link(large[p], other);
    }
  }
  forEachIndex(pool, helpers, n, kBuildGrain,
               [&](std::uint32_t i, std::uint32_t) { std::sort(adjacency[i].begin(), adjacency[i].end()); });
}

bool BroadPhase::mayTouch(std::uint32_t a, std::uint32_t b) const {
  if (kinds[a] == kInert || kinds[b] == kInert) return false;
  if (kinds[a] == kUnbounded || kinds[b] == kUnbounded) return true;
  return meet(boxes[a], boxes[b]);
}

void BroadPhase::partnerCandidates(std::uint32_t slot, std::vector<std::uint32_t>& out) const {
  out.clear();
  std::int64_t lo[3];
  std::int64_t hi[3];
  if (!cellRange(boxes[slot], lo, hi)) {
    for (std::uint32_t other = 0; other < size(); ++other) out.push_back(other);
    return;
  }
  // A box that meets this one either kept its box since the build, and
  // then was entered in the cell of the lower corner of their overlap,
  // which this box covers too; or it is large, or boxed again since.
  for (std::int64_t x = lo[0]; x <= hi[0]; ++x) {
    for (std::int64_t y = lo[1]; y <= hi[1]; ++y) {
      for (std::int64_t z = lo[2]; z <= hi[2]; ++z) {
        const std::uint64_t key = gridKey(x, y, z);
        auto entry = std::lower_bound(cellEntries.begin(), cellEntries.end(), std::make_pair(key, std::uint32_t{0}));
        for (; entry != cellEntries.end() && entry->first == key; ++entry) out.push_back(entry->second);
      }
    }
  }
  out.insert(out.end(), largeSlots.begin(), largeSlots.end());
  out.insert(out.end(), movedSlots.begin(), movedSlots.end());
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
}

void BroadPhase::noteMoved(std::uint32_t slot) {
  if (slot >= bodies.size() || kinds[slot] != kBounded) return;
  const Box tight = tightBox(bodies[slot]);
  if (contains(boxes[slot], tight)) return;
  boxes[slot] = widened(tight);
  ++changeCount;
  if (movedMark[slot] == 0) {
    movedMark[slot] = 1;
    movedSlots.push_back(slot);
  }
  for (std::uint32_t other : adjacency[slot]) {
    auto& back = adjacency[other];
    back.erase(std::remove(back.begin(), back.end(), slot), back.end());
  }
  adjacency[slot].clear();
  std::vector<std::uint32_t>& candidates = candidateScratch;
  partnerCandidates(slot, candidates);
  for (std::uint32_t other : candidates) {
    if (other == slot || kinds[other] != kBounded || !meet(boxes[slot], boxes[other])) continue;
    adjacency[slot].push_back(other);
    auto& back = adjacency[other];
    back.insert(std::lower_bound(back.begin(), back.end(), slot), slot);
  }
}
