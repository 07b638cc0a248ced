// Cap construction: the closing edges that the clipper appended outline the
// opening in the cut plane. They are chained into loops, holes are bridged
// into the loops around them, and every loop becomes one or more cap faces.

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "geometry/shatter/CapLoops.h"
#include "geometry/shatter/Clipper.h"
#include "math/EdgeTurn.h"
#include "math/PlanarConvexHull.h"
#include "math/PolygonClipping.h"
#include "math/PolygonPredicates.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// Splits nested deeper than this hand their loop to the ear clipper.
constexpr int kMaxSplitDepth = 256;
/// Twice the area below which an ear clipper corner counts as straight, in
/// the clipper's working scale (the mesh spans about 160 units).
constexpr double kEarAreaTolerance = 1e-9;
/// Relative area by which the caps of a loop may miss or overlap it.
constexpr double kCoverTolerance = 1e-9;

bool touches(const ClipEdge& edge, std::uint32_t vertex) { return edge.from == vertex || edge.to == vertex; }

template <typename List>
void eraseValue(List& list, std::uint32_t value) {
  list.erase(std::find(list.begin(), list.end(), value));
}

}  // namespace

std::uint32_t Clipper::newCapEdge(std::uint32_t from, std::uint32_t to, std::uint32_t uvFrom, std::uint32_t uvTo) {
  ClipEdge edge{};
  edge.from = from;
  edge.to = to;
  edge.uvIds[kSlotFromFace1] = edge.uvIds[kSlotFromFace2] = uvFrom;
  edge.uvIds[kSlotToFace1] = edge.uvIds[kSlotToFace2] = uvTo;
  edge.face[0] = edge.face[1] = -1;
  edge.place[0] = edge.place[1] = zov::kNoIndex;
  edge.valid = 1;
  edge.channelCount = 1;
  edges_.push_back(edge);
  return static_cast<std::uint32_t>(edges_.size() - 1);
}

void Clipper::flipEdge(ClipEdge& edge) const {
  std::swap(edge.from, edge.to);
  auto swapSlots = [](std::uint32_t* ids) {
    std::swap(ids[kSlotFromFace1], ids[kSlotToFace1]);
    std::swap(ids[kSlotFromFace2], ids[kSlotToFace2]);
  };
  swapSlots(edge.normalIds);
  swapSlots(edge.colorIds);
  swapSlots(edge.uvIds);
  for (auto& layer : edge.uvSetIds) swapSlots(layer);
}

std::uint32_t Clipper::capUVAt(std::uint32_t e, std::uint32_t vertex) const {
  const ClipEdge& edge = edges_[e];
  return vertex == edge.from ? edge.uvIds[kSlotFromFace1] : edge.uvIds[kSlotToFace1];
}

void Clipper::buildCaps() {
  std::vector<CapLoop> loops;
  assembleLoops(loops);
  resolveLoopNesting(loops);
  for (CapLoop& capLoop : loops) {
    std::vector<std::uint32_t>& loop = capLoop.edges;
    if (loop.size() <= 2) continue;
    removeDegenerateLoopEdges(loop);
    if (loop.size() <= 2) continue;
    if (hasUVs_) copyLoopUVs(loop);
    // Every piece of a loop winds as the loop does; slivers among them are
    // turned by this rather than by their own vanishing area.
    const std::vector<MgcVector3> points = loopPoints(loop, edges_, vertices_);
    const int winding = polygonArea(points.data(), static_cast<std::uint32_t>(points.size()), -normal_) < 0.0 ? -1 : 1;
    const std::size_t firstCap = faces_.size();
    if (isLoopConcave(loop, normal_, edges_, vertices_)) {
      // Split about the normal along which the loop's convex corners turn.
      const MgcVector3 N = loopOrientation(loop, normal_, edges_, vertices_) == -1 ? -normal_ : normal_;
      splitConcaveLoop(loop, N, 0, winding);
    } else {
      addCapFace(loop, winding);
    }
    // The caps of a loop must cover it once: a split whose pieces overlap
    // (around bridge ends, where corners coincide) gives way to ears.
    if (!capsCoverLoop(firstCap, points)) {
      faces_.resize(firstCap);
      earClipLoop(loop, normal_);
    }
  }
}

void Clipper::assembleLoops(std::vector<CapLoop>& loops) {
  std::vector<std::uint32_t> pool;
  for (std::uint32_t e = closingStart_; e < edgeEnd_; ++e) {
    edges_[e].valid = 1;
    pool.push_back(e);
  }
  // Sides lying in the plane that one kept face still has are part of the
  // outline too: the face on their other side lay in the plane, or below it,
  // and went.
  std::vector<std::uint32_t> keepers(closingStart_, 0);
  for (std::uint32_t f = 0; f < baseFaceCount_; ++f) {
    if (faces_[f].keep == 0) continue;
    for (const std::uint32_t e : faces_[f].edges)
      if (e < closingStart_ && isInPlane(edges_[e])) ++keepers[e];
  }
  for (std::uint32_t e = 0; e < closingStart_; ++e)
    if (keepers[e] == 1) pool.push_back(e);

  while (!pool.empty()) {
    for (const std::uint32_t e : pool) vertexUse_[edges_[e].from] = vertexUse_[edges_[e].to] = 0;
    // Walk forward to the end of the chain (or once around it), so that the
    // loop is then built backwards from an end.
    std::uint32_t current = pool.front();
    ++vertexUse_[edges_[current].from];
    ++vertexUse_[edges_[current].to];
    for (std::size_t step = 0; step < pool.size(); ++step) {
      const std::uint32_t at = edges_[current].to;
      std::uint32_t next = zov::kNoIndex;
      for (const std::uint32_t e : pool) {
        if (e != current && touches(edges_[e], at)) {
          next = e;
          break;
        }
      }
      if (next == zov::kNoIndex) break;
      if (edges_[next].from != at) flipEdge(edges_[next]);
      ++vertexUse_[edges_[next].from];
      ++vertexUse_[edges_[next].to];
      current = next;
      if (vertexUse_[edges_[current].from] > 2 || vertexUse_[edges_[current].to] > 2) break;
    }
    for (const std::uint32_t e : pool) vertexUse_[edges_[e].from] = vertexUse_[edges_[e].to] = 0;

    std::deque<std::uint32_t> chain;
    eraseValue(pool, current);
    chain.push_back(current);
    ++vertexUse_[edges_[current].from];
    ++vertexUse_[edges_[current].to];
    extendBackward(chain, pool);

    bool closed = edges_[chain.back()].to == edges_[chain.front()].from;
    if (chain.size() > 1 && edges_[chain[0]].to != edges_[chain[1]].from &&
        edges_[chain[1]].to == edges_[chain[0]].from) {
      std::reverse(chain.begin(), chain.end());
      for (const std::uint32_t e : chain) flipEdge(edges_[e]);
    }
    if (!closed) closed = finishOpenLoop(chain, pool);
    CapLoop loop;
    loop.edges.assign(chain.begin(), chain.end());
    loop.closed = closed;
    loops.push_back(std::move(loop));
  }
}

void Clipper::extendBackward(std::deque<std::uint32_t>& chain, std::vector<std::uint32_t>& pool) {
  while (!pool.empty()) {
    const ClipEdge& front = edges_[chain.front()];
    // The loop has closed on itself.
    if (vertexUse_[front.from] >= 2) break;
    std::uint32_t previous = zov::kNoIndex;
    for (const std::uint32_t e : pool) {
      const ClipEdge& edge = edges_[e];
      if (touches(edge, front.from) && !(edge.from == front.to && edge.to == front.from)) {
        previous = e;
        break;
      }
    }
    if (previous == zov::kNoIndex) break;
    if (edges_[previous].to != front.from) flipEdge(edges_[previous]);
    eraseValue(pool, previous);
    chain.push_front(previous);
    const std::uint32_t start = edges_[previous].from;
    ++vertexUse_[start];
    ++vertexUse_[edges_[previous].to];
    if (vertexUse_[start] == 3) closeLoopAtPinch(chain, start, pool);
  }
}

void Clipper::closeLoopAtPinch(std::deque<std::uint32_t>& chain, std::uint32_t vertex,
                               std::vector<std::uint32_t>& pool) {
  // The chain passes the vertex a second time: the loop closes there, and the
  // edges beyond the earlier visit go back to the pool for another loop.
  for (std::size_t j = 1; j < chain.size(); ++j) {
    if (edges_[chain[j]].to != vertex) continue;
    while (chain.size() > j + 1) {
      const std::uint32_t e = chain.back();
      chain.pop_back();
      --vertexUse_[edges_[e].from];
      --vertexUse_[edges_[e].to];
      pool.push_back(e);
    }
    vertexUse_[edges_[chain.front()].to] = 2;
    return;
  }
}

bool Clipper::finishOpenLoop(std::deque<std::uint32_t>& chain, std::vector<std::uint32_t>& pool) {
  // Each bridge takes at least one pool edge into the chain, or ends the search.
  for (std::size_t attempt = 0; attempt <= pool.size() + 1; ++attempt) {
    const std::uint32_t start = edges_[chain.front()].from;
    const std::uint32_t end = edges_[chain.back()].to;
    if (start == end) return true;
    const double gap = (vertices_[end] - vertices_[start]).SquaredLength();

    std::uint32_t nearest = zov::kNoIndex, nearestEdge = zov::kNoIndex;
    double nearestDistance = 0.0;
    for (const std::uint32_t e : pool) {
      const ClipEdge& edge = edges_[e];
      for (const std::uint32_t candidate : {edge.from, edge.to}) {
        if (vertexUse_[candidate] != 0) continue;
        if (candidate == edge.to && vertexUse_[edge.from] <= 2) continue;
        const double d = (vertices_[candidate] - vertices_[start]).SquaredLength();
        if (nearest == zov::kNoIndex || d < nearestDistance) {
          nearest = candidate;
          nearestEdge = e;
          nearestDistance = d;
        }
      }
    }
    if (nearest != zov::kNoIndex && nearestDistance < gap) {
      // Bridge to the nearer chain and go on along it.
      const std::uint32_t bridge =
          newCapEdge(nearest, start, capUVAt(nearestEdge, nearest), capUVAt(chain.front(), start));
      chain.push_front(bridge);
      ++vertexUse_[nearest];
      ++vertexUse_[start];
      const std::size_t before = pool.size();
      extendBackward(chain, pool);
      if (pool.size() == before) return false;
      continue;
    }
    if (vertexUse_[start] <= 1 && vertexUse_[end] <= 1) {
      const std::uint32_t closing = newCapEdge(end, start, capUVAt(chain.back(), end), capUVAt(chain.front(), start));
      chain.push_front(closing);
      ++vertexUse_[start];
      ++vertexUse_[end];
      return true;
    }
    return false;
  }
  return false;
}

void Clipper::resolveLoopNesting(std::vector<CapLoop>& loops) {
  loops.erase(std::remove_if(loops.begin(), loops.end(), [](const CapLoop& loop) { return loop.edges.size() < 3; }),
              loops.end());
  bool merged = true;
  while (merged) {
    merged = false;
    for (std::size_t i = 0; i < loops.size() && !merged; ++i) {
      for (std::size_t j = i + 1; j < loops.size() && !merged; ++j) {
        CapLoop& a = loops[i];
        CapLoop& b = loops[j];
        if (loopsCross(a.edges, a.closed, b.edges, edges_, vertices_)) {
          separateTouchingLoops(a, b);
          continue;
        }
        // Only closed loops bound a region that can hold a hole.
        if (!a.closed || !b.closed) continue;
        if (loopContainsLoop(a.edges, b.edges, normal_, edges_, vertices_)) {
          mergeHole(a, b);
          loops.erase(loops.begin() + static_cast<std::ptrdiff_t>(j));
          merged = true;
        } else if (loopContainsLoop(b.edges, a.edges, normal_, edges_, vertices_)) {
          mergeHole(b, a);
          loops.erase(loops.begin() + static_cast<std::ptrdiff_t>(i));
          merged = true;
        }
      }
    }
  }
}

bool Clipper::separateTouchingLoops(const CapLoop& a, CapLoop& b) {
  std::vector<std::uint32_t> shared;
  for (const std::uint32_t e : a.edges) {
    shared.push_back(edges_[e].from);
    shared.push_back(edges_[e].to);
  }
  std::sort(shared.begin(), shared.end());
  std::map<std::uint32_t, std::uint32_t> copies;
  for (const std::uint32_t e : b.edges) {
    for (std::uint32_t* end : {&edges_[e].from, &edges_[e].to}) {
      if (!std::binary_search(shared.begin(), shared.end(), *end)) continue;
      auto found = copies.find(*end);
      if (found == copies.end()) {
        const MgcVector3 position = vertices_[*end];
        found = copies.emplace(*end, addVertex(position)).first;
      }
      *end = found->second;
    }
  }
  return !copies.empty();
}

void Clipper::mergeHole(CapLoop& outer, const CapLoop& hole) {
  const int outerWinding = loopOrientation(outer.edges, normal_, edges_, vertices_);
  const int holeWinding = loopOrientation(hole.edges, normal_, edges_, vertices_);
  const std::size_t no = outer.edges.size();
  const std::size_t nh = hole.edges.size();

  // Outer corners where an earlier bridge ends are not used again: two
  // bridges from one point leave corners that no split can tell apart.
  std::vector<bool> bridgeEnd(no, false);
  bool anyFree = false;
  for (std::size_t j = 0; j < no; ++j) {
    const MgcVector3& p = vertices_[edges_[outer.edges[j]].from];
    for (std::size_t k = 0; k < no && !bridgeEnd[j]; ++k)
      bridgeEnd[j] = k != j && (vertices_[edges_[outer.edges[k]].from] - p).SquaredLength() < zov::kTolerance;
    anyFree = anyFree || !bridgeEnd[j];
  }
  if (!anyFree) bridgeEnd.assign(no, false);

  // The closest pair of a hole corner and an outer corner.
  std::size_t holeIndex = 0, outerIndex = 0;
  double best = -1.0;
  for (std::size_t i = 0; i < nh; ++i) {
    const MgcVector3& h = vertices_[edges_[hole.edges[i]].to];
    for (std::size_t j = 0; j < no; ++j) {
      if (bridgeEnd[j]) continue;
      const double d = (vertices_[edges_[outer.edges[j]].from] - h).SquaredLength();
      if (best < 0.0 || d < best) {
        best = d;
        holeIndex = i;
        outerIndex = j;
      }
    }
  }
  const std::uint32_t h = edges_[hole.edges[holeIndex]].to;
  const MgcVector3& hp = vertices_[h];

  // Prefer the end of the nearest outer edge that faces the hole.
  const ClipEdge& holeEdge = edges_[hole.edges[holeIndex]];
  const MgcVector3 holeSide = (vertices_[holeEdge.to] - vertices_[holeEdge.from]).Cross(normal_);
  double nearestEdge = -1.0;
  for (std::size_t j = 0; j < no; ++j) {
    const ClipEdge& edge = edges_[outer.edges[j]];
    double t = 0.0;
    const double d = distanceSq_pt2seg(hp, vertices_[edge.from], vertices_[edge.to], t);
    if (d > best + zov::kTolerance) continue;
    const double side = (vertices_[edge.to] - vertices_[edge.from]).Cross(normal_).Dot(holeSide) *
                        static_cast<double>(outerWinding * holeWinding);
    if (side <= 0.0 || (nearestEdge >= 0.0 && d >= nearestEdge)) continue;
    const std::size_t next = (j + 1) % no;
    const bool fromNearer = (vertices_[edge.from] - hp).SquaredLength() <= (vertices_[edge.to] - hp).SquaredLength();
    std::size_t end = fromNearer ? j : next;
    if (bridgeEnd[end]) end = end == j ? next : j;
    if (bridgeEnd[end]) continue;
    nearestEdge = d;
    outerIndex = end;
  }
  const std::uint32_t o = edges_[outer.edges[outerIndex]].from;

  // The outer loop from o back to o, the hole from h back to h, wound the
  // other way round than the outer loop.
  std::vector<std::uint32_t> outerRun(outer.edges.begin() + static_cast<std::ptrdiff_t>(outerIndex), outer.edges.end());
  outerRun.insert(outerRun.end(), outer.edges.begin(), outer.edges.begin() + static_cast<std::ptrdiff_t>(outerIndex));
  std::vector<std::uint32_t> holeRun(hole.edges.begin() + static_cast<std::ptrdiff_t>(holeIndex + 1), hole.edges.end());
  holeRun.insert(holeRun.end(), hole.edges.begin(), hole.edges.begin() + static_cast<std::ptrdiff_t>(holeIndex + 1));
  if (outerWinding != 0 && outerWinding == holeWinding) {
    std::reverse(holeRun.begin(), holeRun.end());
    for (const std::uint32_t e : holeRun) flipEdge(edges_[e]);
  }

  // The bridge runs out and back; its second visit of each corner is a copy,
  // so that every vertex id is met once going in and once going out.
  const std::uint32_t uvOuter = capUVAt(outerRun.back(), o);
  const std::uint32_t uvHole = capUVAt(holeRun.back(), h);
  const MgcVector3 op = vertices_[o];
  const std::uint32_t oCopy = addVertex(op);
  const std::uint32_t hCopy = addVertex(vertices_[h]);
  const std::uint32_t out = newCapEdge(o, hCopy, uvOuter, uvHole);
  const std::uint32_t back = newCapEdge(h, oCopy, uvHole, uvOuter);
  edges_[holeRun.front()].from = hCopy;
  edges_[outerRun.front()].from = oCopy;

  std::vector<std::uint32_t> merged;
  merged.reserve(no + nh + 2);
  merged.insert(merged.end(), outerRun.begin(), outerRun.end());
  merged.push_back(out);
  merged.insert(merged.end(), holeRun.begin(), holeRun.end());
  merged.push_back(back);
  outer.edges.swap(merged);
}

bool Clipper::capsCoverLoop(std::size_t firstCap, const std::vector<MgcVector3>& loopPoints) const {
  const double loopArea =
      std::fabs(polygonArea(loopPoints.data(), static_cast<std::uint32_t>(loopPoints.size()), normal_));
  double total = 0.0, overlap = 0.0;
  std::vector<MgcVector3> points;
  for (std::size_t f = firstCap; f < faces_.size(); ++f) {
    points.clear();
    for (const ClipCorner& corner : faces_[f].corners) points.push_back(vertices_[corner.vertex]);
    const double area = polygonArea(points.data(), static_cast<std::uint32_t>(points.size()), -normal_);
    total += area;
    if (area < 0.0) overlap -= area;
  }
  const double slack = kCoverTolerance * std::max(loopArea, 1.0);
  return overlap <= slack && std::fabs(total - loopArea) <= slack;
}

void Clipper::removeDegenerateLoopEdges(std::vector<std::uint32_t>& loop) {
  std::size_t i = 0;
  while (i < loop.size() && loop.size() > 1) {
    // Only an edge from a vertex to itself goes: a short edge is also a side
    // of the face it closes, and the cap must meet that face along it.
    const ClipEdge& edge = edges_[loop[i]];
    if (edge.from != edge.to) {
      ++i;
      continue;
    }
    edges_[loop[(i + 1) % loop.size()]].from = edge.from;
    loop.erase(loop.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

void Clipper::copyLoopUVs(const std::vector<std::uint32_t>& loop) {
  // Cap corners never share UV entries with the side faces.
  for (const std::uint32_t e : loop) {
    const std::uint32_t id = edges_[e].uvIds[kSlotToFace1];
    const MgcVector3 value = id < uvs_.size() ? uvs_[id] : MgcVector3::ZERO;
    uvs_.push_back(value);
    edges_[e].uvIds[kSlotToFace1] = static_cast<std::uint32_t>(uvs_.size() - 1);
  }
}

void Clipper::splitConcaveLoop(const std::vector<std::uint32_t>& loop, const MgcVector3& N, int depth, int winding) {
  const std::vector<MgcVector3> points = loopPoints(loop, edges_, vertices_);
  const std::size_t n = points.size();
  if (n < 3) return;
  if (depth > kMaxSplitDepth) {
    earClipLoop(loop, N);
    return;
  }

  // The deepest point of the pockets between the loop and its convex hull.
  std::vector<std::uint32_t> hull;
  planarConvexHull(points.data(), static_cast<std::uint32_t>(n), N, hull);
  if (hull.size() < 3) return;  // all corners on one line: nothing to cap
  std::sort(hull.begin(), hull.end());
  hull.erase(std::unique(hull.begin(), hull.end()), hull.end());
  std::vector<double> depthOf(n, 0.0);
  for (std::size_t a = 0; a < hull.size(); ++a) {
    const std::size_t from = hull[a];
    const std::size_t to = hull[(a + 1) % hull.size()];
    for (std::size_t i = (from + 1) % n; i != to; i = (i + 1) % n) {
      double t = 0.0;
      depthOf[i] = distanceSq_pt2seg(points[i], points[from], points[to], t);
    }
  }
  std::size_t deepest = 0;
  for (std::size_t i = 1; i < n; ++i)
    if (depthOf[i] > depthOf[deepest]) deepest = i;

  // From there on to the first reflex corner.
  auto directed = [&](std::size_t i) {
    const ClipEdge& edge = edges_[loop[i % n]];
    return DirectedEdge{edge.from, edge.to};
  };
  std::size_t reflex = n;
  for (std::size_t step = 0; step < n; ++step) {
    const std::size_t i = (deepest + step) % n;
    if (edgeTurnSign(directed(i), directed(i + 1), vertices_.data(), N) < 0) {
      reflex = i;
      break;
    }
  }
  if (reflex == n) {
    addCapFace(loop, winding);
    return;
  }

  const std::uint32_t A = edges_[loop[reflex]].from;
  const std::uint32_t C = edges_[loop[reflex]].to;
  const std::uint32_t B = edges_[loop[(reflex + 1) % n]].to;
  auto near = [&](std::uint32_t a, std::uint32_t b) {
    return (vertices_[a] - vertices_[b]).SquaredLength() < zov::kTolerance;
  };
  MgcVector3 D = vertices_[C] - vertices_[A];
  D.Unitize(zov::kUnitizeTolerance);
  const MgcVector3 Q = D.Cross(N);

  // Targets on the inner side of the edge into the reflex corner, nearest
  // first; a diagonal that crosses the loop would make overlapping caps.
  std::vector<std::pair<double, std::size_t>> candidates;
  for (std::size_t k = 0; k < n; ++k) {
    const ClipEdge& edge = edges_[loop[k]];
    if (near(edge.from, A) || near(edge.from, C) || near(edge.to, A) || near(edge.to, C) || near(edge.to, B)) continue;
    MgcVector3 direction = vertices_[edge.to] - vertices_[C];
    const double distance = direction.SquaredLength();
    direction.Unitize(zov::kUnitizeTolerance);
    if (Q.Dot(direction) < -zov::kTolerance) continue;
    candidates.emplace_back(distance, k);
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::size_t target = n;
  for (const auto& candidate : candidates) {
    const std::uint32_t T = edges_[loop[candidate.second]].to;
    bool crosses = false;
    for (std::size_t k = 0; k < n && !crosses; ++k) {
      const ClipEdge& edge = edges_[loop[k]];
      if (near(edge.from, C) || near(edge.to, C) || near(edge.from, T) || near(edge.to, T)) continue;
      crosses = segmentsIntersect(vertices_[C], vertices_[T], vertices_[edge.from], vertices_[edge.to]);
    }
    if (!crosses) {
      target = candidate.second;
      break;
    }
  }
  if (target == n) {
    // No diagonal from this corner: the loop is still capped, by ears.
    earClipLoop(loop, N);
    return;
  }

  const std::uint32_t T = edges_[loop[target]].to;
  const std::uint32_t uvC = edges_[loop[reflex]].uvIds[kSlotToFace1];
  const std::uint32_t uvT = edges_[loop[target]].uvIds[kSlotToFace1];
  std::vector<std::uint32_t> first, second;
  for (std::size_t i = (reflex + 1) % n;; i = (i + 1) % n) {
    first.push_back(loop[i]);
    if (i == target) break;
  }
  first.push_back(newCapEdge(T, C, uvT, uvC));
  for (std::size_t i = (target + 1) % n;; i = (i + 1) % n) {
    second.push_back(loop[i]);
    if (i == reflex) break;
  }
  second.push_back(newCapEdge(C, T, uvC, uvT));

  for (const std::vector<std::uint32_t>* part : {&first, &second}) {
    if (part->size() > 3 && isLoopConcave(*part, N, edges_, vertices_))
      splitConcaveLoop(*part, N, depth + 1, winding);
    else
      addCapFace(*part, winding);
  }
}

void Clipper::earClipLoop(const std::vector<std::uint32_t>& loop, const MgcVector3& N) {
  std::vector<std::uint32_t> corners, uvIds;
  for (const std::uint32_t e : loop) {
    corners.push_back(edges_[e].to);
    uvIds.push_back(edges_[e].uvIds[kSlotToFace1]);
  }
  if (corners.size() < 3) return;

  // A frame of the plane; corners counter-clockwise in it.
  MgcVector3 u, v, w = N;
  MgcVector3::GenerateOrthonormalBasis(u, v, w, false);
  std::vector<MgcVector3> points;
  for (const std::uint32_t c : corners) points.push_back(vertices_[c]);
  if (polygonArea(points.data(), static_cast<std::uint32_t>(points.size()), w) < 0.0) {
    std::reverse(corners.begin(), corners.end());
    std::reverse(uvIds.begin(), uvIds.end());
  }
  std::vector<std::pair<double, double>> flat;
  for (const std::uint32_t c : corners) flat.emplace_back(vertices_[c].Dot(u), vertices_[c].Dot(v));
  auto cross = [&](std::size_t a, std::size_t b, std::size_t c) {
    return (flat[b].first - flat[a].first) * (flat[c].second - flat[a].second) -
           (flat[b].second - flat[a].second) * (flat[c].first - flat[a].first);
  };
  auto same = [&](std::size_t a, std::size_t b) {
    return (vertices_[corners[a]] - vertices_[corners[b]]).SquaredLength() < zov::kTolerance;
  };

  std::vector<std::size_t> remaining(corners.size());
  for (std::size_t i = 0; i < remaining.size(); ++i) remaining[i] = i;
  // The ears wind counter-clockwise about N.
  const int winding = N.Dot(-normal_) < 0.0 ? -1 : 1;
  auto emit = [&](std::size_t a, std::size_t b, std::size_t c) {
    addCapCorners({corners[a], corners[b], corners[c]}, {uvIds[a], uvIds[b], uvIds[c]}, winding);
  };
  // Whether the corner at position i of `remaining` can be cut off: it is
  // convex, no other corner lies in the ear, and no corner at the place of one
  // of the ear's corners (a bridge end) has a side running into the ear.
  auto isEar = [&](std::size_t i) {
    const std::size_t m = remaining.size();
    const std::size_t a = remaining[(i + m - 1) % m], b = remaining[i], c = remaining[(i + 1) % m];
    if (cross(a, b, c) <= kEarAreaTolerance) return false;
    const std::size_t ear[3] = {a, b, c};
    for (std::size_t j = 0; j < m; ++j) {
      const std::size_t p = remaining[j];
      if (p == a || p == b || p == c) continue;
      int at = -1;
      for (int k = 0; k < 3; ++k)
        if (same(p, ear[k])) at = k;
      if (at < 0) {
        if (cross(a, b, p) >= 0.0 && cross(b, c, p) >= 0.0 && cross(c, a, p) >= 0.0) return false;
        continue;
      }
      const std::size_t X = ear[at], Y = ear[(at + 1) % 3], Z = ear[(at + 2) % 3];
      for (const std::size_t q : {remaining[(j + m - 1) % m], remaining[(j + 1) % m]}) {
        if (same(q, Y) || same(q, Z) || same(q, X)) continue;
        if (cross(X, Y, q) > 0.0 && cross(X, q, Z) > 0.0) return false;
      }
    }
    return true;
  };
  while (remaining.size() > 3) {
    const std::size_t m = remaining.size();
    std::size_t ear = m;
    for (std::size_t i = 0; i < m && ear == m; ++i)
      if (isEar(i)) ear = i;
    if (ear == m) {
      // Only straight or coincident corners are left: a fan covers what area
      // remains.
      for (std::size_t i = 1; i + 1 < remaining.size(); ++i) emit(remaining[0], remaining[i], remaining[i + 1]);
      return;
    }
    emit(remaining[(ear + m - 1) % m], remaining[ear], remaining[(ear + 1) % m]);
    remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(ear));
  }
  emit(remaining[0], remaining[1], remaining[2]);
}

void Clipper::addCapFace(const std::vector<std::uint32_t>& loop, int winding) {
  std::vector<std::uint32_t> corners, uvIds;
  const std::size_t n = loop.size();
  for (std::size_t i = 0; i < n; ++i) {
    const ClipEdge& edge = edges_[loop[i]];
    if (edge.to != edges_[loop[(i + 1) % n]].from) continue;
    corners.push_back(edge.to);
    uvIds.push_back(edge.uvIds[kSlotToFace1]);
  }
  addCapCorners(corners, uvIds, winding);
}

void Clipper::addCapCorners(std::vector<std::uint32_t> corners, std::vector<std::uint32_t> uvIds, int winding) {
  std::vector<std::uint32_t> distinct = corners;
  std::sort(distinct.begin(), distinct.end());
  if (std::unique(distinct.begin(), distinct.end()) - distinct.begin() < 3) return;
  // Caps face along the reversed plane normal. Every piece of a loop is
  // turned the way the whole loop winds, so that pieces meet along their
  // diagonals edge for edge; a sliver (a corner all but on the line of the
  // other two) is kept for the same reason.
  const bool reverse = winding < 0;
  if (reverse) {
    std::reverse(corners.begin(), corners.end());
    std::reverse(uvIds.begin(), uvIds.end());
  }
  // Every cap face gets a normal entry of its own, after those of the cut.
  if (hasNormals_) normalCount_ = static_cast<std::uint32_t>(normals_.size());
  ClipFace face;
  face.channelCount = 1;
  for (std::size_t k = 0; k < corners.size(); ++k)
    face.addCorner(corners[k], normalCount_, hasUVs_ ? uvIds[k] : 0, hasColors_ ? whiteColorIndex_ : 0, nullptr);
  face.keep = 1;
  face.flags = kDFfaceCut;
  face.kind = 0;
  face.normal = -normal_;
  faces_.push_back(std::move(face));
  if (hasNormals_) normals_.push_back(-normal_);
  ++normalCount_;
}
