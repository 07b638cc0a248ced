#include "engine/collision/BroadPhase.h"

#include <algorithm>
#include <cmath>

#include "engine/bodies/CapsuleBody.h"
#include "engine/bodies/HardBody.h"
#include "engine/collision/ContactDepths.h"
#include "engine/collision/threads/WorkerPool.h"

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
/// Bodies a thread takes at a time when boxes are made.
constexpr std::uint32_t kBuildGrain = 64;
/// Bodies a thread takes at a time when they are placed before their boxes
/// are made: placing a body costs far more than its box.
constexpr std::uint32_t kPlaceGrain = 16;
/// Entries a thread takes at a time in the partner searches of a build.
constexpr std::uint32_t kPartnerGrain = 16;
/// A slot whose body has no entry yet.
constexpr std::uint32_t kNoEntry = ~std::uint32_t{0};

/// One key per cell; coordinates below kGridReach in size.
std::uint64_t gridKey(std::int64_t x, std::int64_t y, std::int64_t z) {
  constexpr std::int64_t kOffset = 1 << 20;
  return (static_cast<std::uint64_t>(x + kOffset) << 42) | (static_cast<std::uint64_t>(y + kOffset) << 21) |
         static_cast<std::uint64_t>(z + kOffset);
}

/// Calls fn(key) for each grid cell from lo to hi, corners included.
template <typename Cells, typename Fn>
void forEachCellKey(const Cells& lo, const Cells& hi, Fn&& fn) {
  for (std::int32_t x = lo[0]; x <= hi[0]; ++x) {
    for (std::int32_t y = lo[1]; y <= hi[1]; ++y) {
      for (std::int32_t z = lo[2]; z <= hi[2]; ++z) fn(gridKey(x, y, z));
    }
  }
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

double BroadPhase::sweptReach(HardBody& body, double seconds) {
  if (!(seconds > 0.0) || body.getType() != kHullBody || body.getParent() != nullptr || body.isStatic() ||
      !body.isActive()) {
    return 0.0;
  }
  const RBDynamics& state = body.getDyn();
  const HardBodyShape& shape = body.getShape();
  const double arm = shape.radius + (shape.worldCenter - state.position).Length();
  const double travel = (state.linearVelocity.Length() + state.angularVelocity.Length() * arm) * seconds;
  const MgcVector3& half = body.getBbox().extents;
  const double thickness = 2.0 * std::min(half.x, std::min(half.y, half.z));
  if (!(travel > kSweptShare * thickness)) return 0.0;
  return kSweptReachShare * travel + kSweptReachFixed;
}

BroadPhase::Box BroadPhase::tightBox(HardBody* body) const {
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
  // A swept body meets what it may reach within the step.
  const double reach = sweptReach(*body, sweepStep);
  for (int k = 0; k < 3; ++k) half[k] += reach;
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

void BroadPhase::reset() {
  clear();
  entries.clear();
  freeEntries.clear();
  liveEntries = 0;
  boundedEntries = 0;
  cells.clear();
  largeEntries.clear();
  gridChosen = false;
  griddedEntries = 0;
  largeWhenGridded = 0;
  batchDone.clear();
  visitMarks.clear();
  intact = true;
}

void BroadPhase::clear(WorkerPool* pool, std::uint32_t helpers) {
  forEachIndex(pool, helpers, static_cast<std::uint32_t>(bodies.size()), kBuildGrain,
               [&](std::uint32_t i, std::uint32_t) { bodies[i]->setPassSlot(-1); });
  bodies.clear();
  unboundedSlots.clear();
}

std::int32_t BroadPhase::keptEntry(const HardBody* body) const {
  const std::int32_t kept = body->getBoundsEntry();
  return kept >= 0 && static_cast<std::size_t>(kept) < entries.size() && entries[kept].body == body ? kept : -1;
}

std::uint32_t BroadPhase::entryOf(HardBody* body) {
  const std::int32_t kept = body->getBoundsEntry();
  if (kept >= 0 && static_cast<std::size_t>(kept) < entries.size() && entries[kept].body == body)
    return static_cast<std::uint32_t>(kept);
  std::uint32_t e;
  if (!freeEntries.empty()) {
    e = freeEntries.back();
    freeEntries.pop_back();
  } else {
    e = static_cast<std::uint32_t>(entries.size());
    entries.emplace_back();
    batchDone.push_back(0);
    visitMarks.push_back(0);
  }
  Entry& entry = entries[e];
  entry.body = body;
  entry.kind = kindOf(body);
  entry.boxed = false;
  entry.large = false;
  entry.partners.clear();
  ++liveEntries;
  if (entry.kind == kBounded) ++boundedEntries;
  body->setBoundsEntry(static_cast<std::int32_t>(e));
  return e;
}

void BroadPhase::forget(std::uint32_t e) {
  Entry& entry = entries[e];
  if (entry.boxed) {
    unlinkAll(e);
    leaveGrid(e);
  }
  if (entry.kind == kBounded) --boundedEntries;
  --liveEntries;
  entry.body = nullptr;
  entry.boxed = false;
  freeEntries.push_back(e);
}

void BroadPhase::link(std::uint32_t a, std::uint32_t b) {
  entries[a].partners.push_back(b);
  entries[b].partners.push_back(a);
}

void BroadPhase::unlinkAll(std::uint32_t e) {
  std::vector<std::uint32_t>& partners = entries[e].partners;
  for (std::uint32_t other : partners) {
    std::vector<std::uint32_t>& back = entries[other].partners;
    auto at = std::find(back.begin(), back.end(), e);
    if (at == back.end()) continue;
    *at = back.back();
    back.pop_back();
  }
  partners.clear();
}

bool BroadPhase::cellRange(const Box& box, std::int32_t lo[3], std::int32_t hi[3]) const {
  for (int k = 0; k < 3; ++k) {
    const double a = box.min[k] * cellInverse;
    const double b = box.max[k] * cellInverse;
    if (!(std::fabs(a) < kGridReach && std::fabs(b) < kGridReach)) return false;
    lo[k] = static_cast<std::int32_t>(std::floor(a));
    hi[k] = static_cast<std::int32_t>(std::floor(b));
    if (hi[k] - lo[k] >= kGridSpan) return false;
  }
  return true;
}

void BroadPhase::enterGrid(std::uint32_t e) {
  Entry& entry = entries[e];
  entry.large = !cellRange(entry.box, entry.cellLo, entry.cellHi);
  if (entry.large) {
    largeEntries.push_back(e);
    return;
  }
  forEachCellKey(entry.cellLo, entry.cellHi, [&](std::uint64_t key) { cells[key].push_back(e); });
}

void BroadPhase::leaveGrid(std::uint32_t e) {
  const Entry& entry = entries[e];
  if (entry.large) {
    largeEntries.erase(std::find(largeEntries.begin(), largeEntries.end(), e));
    return;
  }
  forEachCellKey(entry.cellLo, entry.cellHi, [&](std::uint64_t key) {
    auto cell = cells.find(key);
    if (cell == cells.end()) return;
    std::vector<std::uint32_t>& held = cell->second;
    auto at = std::find(held.begin(), held.end(), e);
    if (at != held.end()) {
      *at = held.back();
      held.pop_back();
    }
    // Cells a body passed through are not kept.
    if (held.empty()) cells.erase(cell);
  });
}

bool BroadPhase::needsRegrid() const {
  if (!gridChosen) return true;
  // The cell size suits the boxes it was chosen for: a table that doubled
  // or halved, or whose boxes outgrew the cells, chooses again.
  if (boundedEntries > 2 * griddedEntries || 2 * boundedEntries < griddedEntries) return true;
  return largeEntries.size() > 2 * static_cast<std::size_t>(largeWhenGridded) + 8;
}

void BroadPhase::regrid() {
  cells.clear();
  largeEntries.clear();
  std::vector<double>& sizes = sizeScratch;
  sizes.clear();
  for (const Entry& entry : entries) {
    if (entry.body == nullptr || !entry.boxed) continue;
    double size = 0.0;
    for (int k = 0; k < 3; ++k) size = std::max(size, entry.box.max[k] - entry.box.min[k]);
    if (std::isfinite(size)) sizes.push_back(size);
  }
  double cell = 1.0;
  if (!sizes.empty()) {
    std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
    cell = std::max(sizes[sizes.size() / 2], kBoundsMarginFixed);
  }
  cellInverse = 1.0 / cell;
  for (std::uint32_t e = 0; e < entries.size(); ++e) {
    if (entries[e].body != nullptr && entries[e].boxed) enterGrid(e);
  }
  gridChosen = true;
  griddedEntries = boundedEntries;
  largeWhenGridded = static_cast<std::uint32_t>(largeEntries.size());
}

void BroadPhase::findPartners(std::uint32_t e) {
  const Entry& entry = entries[e];
  const std::uint32_t mark = ++visitCount;
  if (mark == 0) {
    // The marks wrapped: none may read as this search's.
    std::fill(visitMarks.begin(), visitMarks.end(), 0);
    visitCount = 1;
  }
  visitMarks[e] = visitCount;
  const auto consider = [&](std::uint32_t other) {
    if (visitMarks[other] == visitCount) return;
    visitMarks[other] = visitCount;
    if (batchDone[other] != 0) return;
    if (meet(entry.box, entries[other].box)) link(e, other);
  };
  if (entry.large) {
    for (std::uint32_t other = 0; other < entries.size(); ++other) {
      const Entry& candidate = entries[other];
      if (candidate.body != nullptr && candidate.boxed) consider(other);
    }
    return;
  }
  forEachCellKey(entry.cellLo, entry.cellHi, [&](std::uint64_t key) {
    auto cell = cells.find(key);
    if (cell != cells.end()) {
      for (std::uint32_t other : cell->second) consider(other);
    }
  });
  for (std::uint32_t other : largeEntries) consider(other);
}

void BroadPhase::rebox(std::uint32_t e, const Box& tight) {
  Entry& entry = entries[e];
  const Box box = widened(tight);
  const bool stays = entry.boxed && sameCells(entry, box);
  if (entry.boxed) {
    unlinkAll(e);
    if (!stays) leaveGrid(e);
  }
  entry.box = box;
  entry.boxed = true;
  if (!stays) enterGrid(e);
  findPartners(e);
}

bool BroadPhase::sameCells(const Entry& entry, const Box& box) const {
  // Who shares a cell with whom is all the grid tells: the order in a cell
  // is no one's concern (the readers of the partners sort them).
  if (entry.large) return false;
  std::int32_t lo[3];
  std::int32_t hi[3];
  if (!cellRange(box, lo, hi)) return false;
  for (int k = 0; k < 3; ++k) {
    if (lo[k] != entry.cellLo[k] || hi[k] != entry.cellHi[k]) return false;
  }
  return true;
}

void BroadPhase::linkMovedEntries(WorkerPool* pool, std::uint32_t helpers) {
  const auto moved = static_cast<std::uint32_t>(movedEntries.size());
  if (pool == nullptr || helpers == 0 || moved <= 2 * kPartnerGrain) {
    for (std::uint32_t e : movedEntries) {
      findPartners(e);
      batchDone[e] = 1;
    }
  } else {
    // The searches only read the table: each entry's partners are counted
    // on the helpers, then written there into its own stretch of one array,
    // and linked here in the batch's order, as the searches one by one
    // would have linked them. The array is the renewed entries' (read no
    // more): where each stretch starts, then the stretches.
    for (std::uint32_t e : movedEntries) batchDone[e] = 1;
    std::vector<std::uint32_t>& found = renewed;
    found.resize(moved + 1);
    found[0] = moved + 1;
    forEachIndex(pool, helpers, moved, kPartnerGrain,
                 [&](std::uint32_t k, std::uint32_t) { found[k + 1] = batchPartners(movedEntries[k], nullptr); });
    for (std::uint32_t k = 0; k < moved; ++k) found[k + 1] += found[k];
    found.resize(found[moved]);
    forEachIndex(pool, helpers, moved, kPartnerGrain,
                 [&](std::uint32_t k, std::uint32_t) { batchPartners(movedEntries[k], found.data() + found[k]); });
    for (std::uint32_t k = 0; k < moved; ++k) {
      for (std::uint32_t j = found[k]; j < found[k + 1]; ++j) link(movedEntries[k], found[j]);
    }
  }
}

void BroadPhase::build(const std::vector<HardBody*>& list, WorkerPool* pool, std::uint32_t helpers) {
  clear();
  if (!intact) reset();
  intact = false;
  ++buildCount;
  bodies = list;
  const auto n = static_cast<std::uint32_t>(bodies.size());
  slotEntries.resize(n);
  slotKinds.resize(n);
  renewed.clear();
  slotRenewed.resize(n);
  // A body with an entry kept from an earlier build touches only its own
  // entry and slot: those are taken up on the helpers, the bodies that need
  // a new entry afterwards, in their order.
  const auto takeUp = [&](std::uint32_t i, std::uint32_t e) {
    Entry& entry = entries[e];
    entry.seen = buildCount;
    entry.slot = i;
    slotEntries[i] = e;
    slotKinds[i] = entry.kind;
    slotRenewed[i] = entry.kind == kBounded && (!entry.boxed || entry.stamp != entry.body->getBoundsStamp()) ? 1 : 0;
  };
  forEachIndex(pool, helpers, n, kBuildGrain, [&](std::uint32_t i, std::uint32_t) {
    HardBody* b = bodies[i];
    b->setPassSlot(static_cast<std::int32_t>(i));
    const std::int32_t kept = b->getBoundsEntry();
    if (kept >= 0 && static_cast<std::size_t>(kept) < entries.size() && entries[kept].body == b) {
      takeUp(i, static_cast<std::uint32_t>(kept));
    } else {
      slotEntries[i] = kNoEntry;
    }
  });
  for (std::uint32_t i = 0; i < n; ++i) {
    if (slotEntries[i] == kNoEntry) takeUp(i, entryOf(bodies[i]));
    if (slotKinds[i] == kUnbounded) unboundedSlots.push_back(i);
    if (slotRenewed[i] != 0) renewed.push_back(slotEntries[i]);
  }
  // Bodies no longer listed are forgotten.
  if (liveEntries != n) {
    for (std::uint32_t e = 0; e < entries.size(); ++e) {
      if (entries[e].body != nullptr && entries[e].seen != buildCount) forget(e);
    }
  }
  // Each new box is the body's own: made anywhere.
  const auto count = static_cast<std::uint32_t>(renewed.size());
  renewedBoxes.resize(count);
  renewedLeft.resize(count);
  forEachIndex(pool, helpers, count, kBuildGrain, [&](std::uint32_t k, std::uint32_t) {
    Entry& entry = entries[renewed[k]];
    renewedBoxes[k] = tightBox(entry.body);
    renewedLeft[k] = !entry.boxed || !contains(entry.box, renewedBoxes[k]) ? 1 : 0;
    entry.stamp = entry.body->getBoundsStamp();
  });
  // The boxes that left their widened ones leave grid and partners, all
  // take their new boxes, then each finds its partners: among the others
  // of the batch, those that looked before it found it already.
  movedEntries.clear();
  for (std::uint32_t k = 0; k < count; ++k) {
    if (renewedLeft[k] == 0) continue;
    const std::uint32_t e = renewed[k];
    Entry& entry = entries[e];
    const Box box = widened(renewedBoxes[k]);
    if (entry.boxed) {
      unlinkAll(e);
      // Marked until the grid is entered: a box that keeps its cells stays.
      if (sameCells(entry, box)) {
        batchDone[e] = 1;
      } else {
        leaveGrid(e);
      }
    }
    entry.box = box;
    entry.boxed = true;
    movedEntries.push_back(e);
  }
  if (needsRegrid()) {
    regrid();
  } else {
    for (std::uint32_t e : movedEntries) {
      if (batchDone[e] == 0) enterGrid(e);
    }
  }
  for (std::uint32_t e : movedEntries) batchDone[e] = 0;
  linkMovedEntries(pool, helpers);
  for (std::uint32_t e : movedEntries) batchDone[e] = 0;
  intact = true;
}

std::uint32_t BroadPhase::batchPartners(std::uint32_t e, std::uint32_t* into) const {
  const Entry& entry = entries[e];
  std::uint32_t count = 0;
  const auto consider = [&](std::uint32_t other) {
    if (other == e) return;
    const Entry& candidate = entries[other];
    // The entries of the batch in earlier slots found this one themselves.
    if (batchDone[other] != 0 && candidate.slot < entry.slot) return;
    if (!meet(entry.box, candidate.box)) return;
    if (into != nullptr) into[count] = other;
    ++count;
  };
  if (entry.large) {
    for (std::uint32_t other = 0; other < entries.size(); ++other) {
      const Entry& candidate = entries[other];
      if (candidate.body != nullptr && candidate.boxed) consider(other);
    }
    return count;
  }
  const std::int32_t* lo = entry.cellLo;
  const std::int32_t* hi = entry.cellHi;
  for (std::int32_t x = lo[0]; x <= hi[0]; ++x) {
    for (std::int32_t y = lo[1]; y <= hi[1]; ++y) {
      for (std::int32_t z = lo[2]; z <= hi[2]; ++z) {
        auto cell = cells.find(gridKey(x, y, z));
        if (cell == cells.end()) continue;
        for (std::uint32_t other : cell->second) {
          // A box that shares several cells is met first, in this order,
          // in the lowest corner of the cells both cover: counted there.
          const std::int32_t* otherLo = entries[other].cellLo;
          if (x != std::max(lo[0], otherLo[0]) || y != std::max(lo[1], otherLo[1]) || z != std::max(lo[2], otherLo[2]))
            continue;
          consider(other);
        }
      }
    }
  }
  for (std::uint32_t other : largeEntries) consider(other);
  return count;
}

void BroadPhase::noteMovedAll(const std::vector<std::uint32_t>& slots, WorkerPool* pool, std::uint32_t helpers,
                              const std::function<void(HardBody*)>* place) {
  const auto count = static_cast<std::uint32_t>(slots.size());
  renewedBoxes.resize(count);
  renewedLeft.resize(count);
  // Each box, its stamp and whether it left its widened one are the body's
  // own entry's: made anywhere. A rebox changes only its own entry's box, so
  // the boxes that left are the same whether asked before or between them.
  forEachIndex(pool, helpers, count, place != nullptr ? kPlaceGrain : kBuildGrain, [&](std::uint32_t k, std::uint32_t) {
    const std::uint32_t slot = slots[k];
    renewedLeft[k] = 0;
    if (slot >= bodies.size()) return;
    if (place != nullptr) (*place)(bodies[slot]);
    if (slotKinds[slot] != kBounded) return;
    Entry& entry = entries[slotEntries[slot]];
    renewedBoxes[k] = tightBox(bodies[slot]);
    entry.stamp = entry.body->getBoundsStamp();
    renewedLeft[k] = contains(entry.box, renewedBoxes[k]) ? 0 : 1;
  });
  for (std::uint32_t k = 0; k < count; ++k) {
    if (renewedLeft[k] == 0) continue;
    const std::uint32_t e = slotEntries[slots[k]];
    intact = false;
    rebox(e, renewedBoxes[k]);
    ++changeCount;
    intact = true;
  }
}

bool BroadPhase::mayTouch(std::uint32_t a, std::uint32_t b) const {
  if (slotKinds[a] == kInert || slotKinds[b] == kInert) return false;
  if (slotKinds[a] == kUnbounded || slotKinds[b] == kUnbounded) return true;
  return meet(entries[slotEntries[a]].box, entries[slotEntries[b]].box);
}

void BroadPhase::noteMoved(std::uint32_t slot) {
  if (slot >= bodies.size() || slotKinds[slot] != kBounded) return;
  const std::uint32_t e = slotEntries[slot];
  Entry& entry = entries[e];
  const Box tight = tightBox(entry.body);
  entry.stamp = entry.body->getBoundsStamp();
  if (contains(entry.box, tight)) return;
  intact = false;
  rebox(e, tight);
  ++changeCount;
  intact = true;
}
