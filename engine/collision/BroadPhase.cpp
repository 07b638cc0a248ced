#include "engine/collision/BroadPhase.h"

#include <algorithm>
#include <cmath>

#include "engine/CapsuleBody.h"
#include "engine/HardBody.h"

using Mgc::MgcVector3;

namespace {

/// The margin of the widened boxes: a share of the box's size and a fixed
/// part, so that the small moves of contact extraction rarely leave it.
constexpr double kBoundsMarginShare = 0.05;
constexpr double kBoundsMarginFixed = 1e-3;

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
  // The bounding sphere as stored: the sphere tests read it.
  const HardBodyShape& shape = body->getShape();
  const double r = std::fabs(shape.radius);
  growBox(lo, hi, shape.worldCenter, MgcVector3(r, r, r));
  // The world box as the box tests read it: extents along its axes.
  const ZOVbox& box = body->getBbox();
  MgcVector3 half;
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) half[row] += std::fabs(box.axes[row][col]) * std::fabs(box.extents[col]);
  }
  growBox(lo, hi, box.center, half);
  // Capsules meet without the box or sphere tests.
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
  adjacency.clear();
  unboundedSlots.clear();
}

void BroadPhase::link(std::uint32_t a, std::uint32_t b) {
  adjacency[a].push_back(b);
  adjacency[b].push_back(a);
}

void BroadPhase::build(const std::vector<HardBody*>& list) {
  clear();
  bodies = list;
  const auto n = static_cast<std::uint32_t>(bodies.size());
  kinds.resize(n);
  boxes.resize(n);
  adjacency.resize(n);
  std::vector<std::uint32_t> bounded;
  bounded.reserve(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    HardBody* b = bodies[i];
    b->setPassSlot(static_cast<std::int32_t>(i));
    kinds[i] = kindOf(b);
    if (kinds[i] == kUnbounded) unboundedSlots.push_back(i);
    if (kinds[i] != kBounded) continue;
    boxes[i] = widened(tightBox(b));
    bounded.push_back(i);
  }
  if (bounded.empty()) return;
  // Sweep along the axis where the boxes spread most.
  int axis = 0;
  double best = -1.0;
  for (int k = 0; k < 3; ++k) {
    double lo = HUGE_VAL;
    double hi = -HUGE_VAL;
    for (std::uint32_t i : bounded) {
      const double c = 0.5 * (boxes[i].min[k] + boxes[i].max[k]);
      if (!std::isfinite(c)) continue;
      lo = std::min(lo, c);
      hi = std::max(hi, c);
    }
    if (hi - lo > best) {
      best = hi - lo;
      axis = k;
    }
  }
  std::sort(bounded.begin(), bounded.end(), [&](std::uint32_t a, std::uint32_t b) {
    const double ma = boxes[a].min[axis];
    const double mb = boxes[b].min[axis];
    return ma < mb || (ma == mb && a < b);
  });
  for (std::size_t i = 0; i < bounded.size(); ++i) {
    const Box& a = boxes[bounded[i]];
    for (std::size_t j = i + 1; j < bounded.size(); ++j) {
      const Box& b = boxes[bounded[j]];
      if (b.min[axis] > a.max[axis]) break;
      if (meet(a, b)) link(bounded[i], bounded[j]);
    }
  }
  for (auto& partners : adjacency) std::sort(partners.begin(), partners.end());
}

bool BroadPhase::mayTouch(std::uint32_t a, std::uint32_t b) const {
  if (kinds[a] == kInert || kinds[b] == kInert) return false;
  if (kinds[a] == kUnbounded || kinds[b] == kUnbounded) return true;
  return meet(boxes[a], boxes[b]);
}

void BroadPhase::noteMoved(std::uint32_t slot) {
  if (slot >= bodies.size() || kinds[slot] != kBounded) return;
  const Box tight = tightBox(bodies[slot]);
  if (contains(boxes[slot], tight)) return;
  boxes[slot] = widened(tight);
  for (std::uint32_t other : adjacency[slot]) {
    auto& back = adjacency[other];
    back.erase(std::remove(back.begin(), back.end(), slot), back.end());
  }
  adjacency[slot].clear();
  for (std::uint32_t other = 0; other < bodies.size(); ++other) {
    if (other == slot || kinds[other] != kBounded || !meet(boxes[slot], boxes[other])) continue;
    adjacency[slot].push_back(other);
    auto& back = adjacency[other];
    back.insert(std::lower_bound(back.begin(), back.end(), slot), slot);
  }
}
