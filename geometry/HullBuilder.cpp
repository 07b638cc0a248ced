#include "geometry/HullBuilder.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <utility>

#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace zov::hull {

namespace {

constexpr std::uint32_t kNoFace = kNoIndex;

/// How far behind a face's plane a point may lie and still count as seeing
/// it: the rounding of the plane test. Points exactly in the plane of several
/// faces then see all of them, instead of a random few.
constexpr double kPlaneRoundingSlack = 1e-12;

/// The noise of input positions relative to their magnitude: single-precision
/// positions widened to double carry a few units of 1e-7.
constexpr double kRelativePositionNoise = 1e-6;

// The key of an edge between two vertices, the same for either direction.
std::uint64_t edgeKey(std::uint32_t a, std::uint32_t b) {
  if (a > b) std::swap(a, b);
  return (static_cast<std::uint64_t>(a) << 32) | b;
}

// The position k of the side (corner k, corner k+1) that joins a and b, in
// either direction; -1 when no side does.
int sideIndex(const std::vector<std::uint32_t>& corners, std::uint32_t a, std::uint32_t b) {
  const std::size_t n = corners.size();
  for (std::size_t k = 0; k < n; ++k) {
    const std::uint32_t p = corners[k];
    const std::uint32_t q = corners[(k + 1) % n];
    if ((p == a && q == b) || (p == b && q == a)) return static_cast<int>(k);
  }
  return -1;
}

/// Below this sine of the angle between two edges, a triangle is taken as
/// flat: its normal would be mostly rounding. The test is relative, so that
/// small hulls, whose cross products are tiny, keep their normals.
constexpr double kFlatSine = 1e-6;

// The unit normal of the triangle with edges u and w from one corner, as
// u x w; false when the triangle is flat.
bool triangleNormal(const MgcVector3& u, const MgcVector3& w, MgcVector3& normal) {
  normal = u.Cross(w);
  const double length = normal.Length();
  if (!(length > kFlatSine * u.Length() * w.Length())) return false;
  normal /= length;
  return true;
}

// The normal of the cone face over the side (a, b) to the new point; false
// when the point lies on the side's line, where there is no plane.
bool coneNormal(const MgcVector3& a, const MgcVector3& b, const MgcVector3& point, MgcVector3& normal) {
  return triangleNormal(b - a, point - b, normal);
}

// Whether a ring corner lies within zov::kTolerance of the line through its
// two neighbours, so that the ring runs straight on through it (or, with both
// neighbours in one place, turns back on itself).
bool runsStraight(const MgcVector3& previous, const MgcVector3& corner, const MgcVector3& next) {
  const MgcVector3 chord = next - previous;
  const MgcVector3 offset = corner - previous;
  const double chordSq = chord.SquaredLength();
  if (chordSq == 0.0) return true;
  const MgcVector3 height = offset - chord * (offset.Dot(chord) / chordSq);
  return height.SquaredLength() <= kTolerance * kTolerance;
}

}  // namespace

HullBuilder::HullBuilder(const MgcVector3* points, std::uint32_t n) : points_(points), numPoints_(n) {}

bool HullBuilder::build() {
  double extent = 0.0;
  for (std::uint32_t i = 0; points_ != nullptr && i < numPoints_; ++i)
    extent = std::max({extent, std::abs(points_[i].x), std::abs(points_[i].y), std::abs(points_[i].z)});
  noiseBand_ = kTolerance + kRelativePositionNoise * extent;

  std::uint32_t simplex[4];
  if (!buildInitialSimplex(simplex)) return false;
  if (singleTriangle_) return true;
  growHull(simplex);
  mergeCoplanarFaces();
  removeUnusedVertices();
  return true;
}

std::vector<HullFace> HullBuilder::takeFaces() {
  std::vector<HullFace> result;
  result.reserve(numLiveFaces_);
  for (auto it = faces_.rbegin(); it != faces_.rend(); ++it)
    if (it->alive) result.push_back(std::move(it->face));
  faces_.clear();
  sides_.clear();
  numLiveFaces_ = 0;
  return result;
}

// The largest tetrahedron the greedy choice finds: the point of largest x,
// the point farthest from it, the point farthest from their line, and the
// point farthest from their plane. Face 0 is the base; faces 1 to 3 join the
// base edges to the apex. Each normal points away from the opposite corner.
bool HullBuilder::buildInitialSimplex(std::uint32_t simplex[4]) {
  const std::uint32_t n = numPoints_;
  if (points_ == nullptr || n < 3) return false;
  const MgcVector3* p = points_;

  std::uint32_t i0 = 0;
  std::uint32_t i1 = 1;
  std::uint32_t i2 = 2;
  if (n > 3) {
    for (std::uint32_t i = 1; i < n; ++i)
      if (p[i].x > p[i0].x) i0 = i;
    double best = -kMaxFloat;
    for (std::uint32_t i = 0; i < n; ++i) {
      const double distanceSq = (p[i] - p[i0]).SquaredLength();
      if (distanceSq > best) {
        best = distanceSq;
        i1 = i;
      }
    }
    const MgcVector3 axis = p[i1] - p[i0];
    best = -1.0;
    for (std::uint32_t i = 0; i < n; ++i) {
      const MgcVector3 cross = (p[i] - p[i0]).Cross(axis);
      const double areaSq = cross.SquaredLength();
      if (areaSq > best) {
        best = areaSq;
        i2 = i;
      }
    }
  }
  // Three points on one line span no plane: there is no hull to build.
  MgcVector3 baseNormal;
  if (!triangleNormal(p[i2] - p[i0], p[i1] - p[i0], baseNormal)) return false;

  vertices_.reserve(n);
  appendVertex(p[i0]);
  appendVertex(p[i1]);
  appendVertex(p[i2]);
  simplex[0] = i0;
  simplex[1] = i1;
  simplex[2] = i2;
  if (n == 3) {
    singleTriangle_ = true;
    appendFace({0, 1, 2}, baseNormal);
    return true;
  }

  std::uint32_t i3 = kNoIndex;
  double bestHeight = -1.0;
  double apexHeight = 0.0;
  for (std::uint32_t i = 0; i < n; ++i) {
    if (i == i0 || i == i1 || i == i2) continue;
    const double height = (p[i] - p[i0]).Dot(baseNormal);
    if (std::abs(height) > bestHeight) {
      bestHeight = std::abs(height);
      apexHeight = height;
      i3 = i;
    }
  }
  // Points that all lie in one plane span no volume; a tetrahedron on them
  // would be flat, with faces that have no normal.
  if (i3 == kNoIndex || bestHeight <= kTolerance) return false;
  if (apexHeight > 0.0) baseNormal = -baseNormal;
  simplex[3] = i3;

  // Corners wind counter-clockwise seen from outside, here and in every face
  // made later, so that each cone face takes its orientation from the face
  // it replaces rather than from the geometry, which rounding can blur.
  if ((vertices_[1] - vertices_[0]).Cross(vertices_[2] - vertices_[0]).Dot(baseNormal) > 0.0)
    appendFace({0, 1, 2}, baseNormal);
  else
    appendFace({0, 2, 1}, baseNormal);
  appendEdge(0, 1);
  appendEdge(1, 2);
  appendEdge(2, 0);
  const std::uint32_t apex = appendVertex(p[i3]);
  const std::uint32_t sides[3][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}};
  for (const auto& side : sides) {
    const MgcVector3& a = vertices_[side[0]];
    const MgcVector3& b = vertices_[side[1]];
    // The tetrahedron has volume, so no side is flat, however thin.
    MgcVector3 normal = (b - a).Cross(vertices_[apex] - b);
    normal /= normal.Length();
    if ((vertices_[side[2]] - vertices_[apex]).Dot(normal) > 0.0)
      appendFace({side[1], side[0], apex}, -normal);
    else
      appendFace({side[0], side[1], apex}, normal);
  }
  appendEdge(1, apex);
  appendEdge(apex, 0);
  appendEdge(apex, 2);
  return true;
}

// Adds, one at a time, the candidate that lies farthest out along the normal
// of the newest face it is outside of. A candidate outside no face is inside
// the hull for good, since the hull only grows.
void HullBuilder::growHull(const std::uint32_t simplex[4]) {
  struct Candidate {
    std::uint32_t point;
    /// The newest face the point lay outside of at the last scan.
    std::uint32_t face;
  };
  std::vector<Candidate> candidates;
  candidates.reserve(numPoints_);
  for (std::uint32_t i = 0; i < numPoints_; ++i)
    if (std::find(simplex, simplex + 4, i) == simplex + 4) candidates.push_back({i, kNoFace});

  auto scanned = static_cast<std::uint32_t>(0);
  while (!candidates.empty()) {
    double best = -kMaxFloat;
    std::uint32_t chosen = kNoIndex;
    std::size_t kept = 0;
    for (Candidate& candidate : candidates) {
      const MgcVector3& p = points_[candidate.point];
      candidate.face = newestFaceOutside(p, candidate.face, scanned);
      if (candidate.face == kNoFace) continue;
      // The score is the point's own projection on the normal, not its
      // height above the face.
      const double score = p.Dot(faces_[candidate.face].face.normal);
      if (score > best) {
        best = score;
        chosen = candidate.point;
      }
      candidates[kept++] = candidate;
    }
    candidates.resize(kept);
    scanned = static_cast<std::uint32_t>(faces_.size());

    if (chosen == kNoIndex || vertices_.size() >= numPoints_) break;
    // A point that cannot be added without breaking the hull lies within
    // the positions' noise of it; it is passed over, not the whole growth.
    addPoint(points_[chosen]);
    candidates.erase(std::find_if(candidates.begin(), candidates.end(),
                                  [chosen](const Candidate& candidate) { return candidate.point == chosen; }));
  }
}

// The newest live face that p lies more than zov::kTolerance outside of, or
// kNoFace. `previous` is the answer of the scan before, when the faces from
// `scanned` on did not exist yet. Face planes never change while the hull
// grows, so only the new faces and, when `previous` has gone, the older ones
// below it need a look.
std::uint32_t HullBuilder::newestFaceOutside(const MgcVector3& p, std::uint32_t previous, std::uint32_t scanned) const {
  auto isOutside = [&](std::uint32_t f) {
    return faces_[f].alive && p.Dot(faces_[f].face.normal) > faces_[f].planeOffset + kTolerance;
  };
  for (auto f = static_cast<std::uint32_t>(faces_.size()); f-- > scanned;)
    if (isOutside(f)) return f;
  if (previous != kNoFace && faces_[previous].alive) return previous;
  for (std::uint32_t f = previous == kNoFace ? scanned : previous; f-- > 0;)
    if (isOutside(f)) return f;
  return kNoFace;
}

// Replaces the faces that `point` sees by a cone of faces from the point to
// the horizon around them. False, with nothing changed, when the point sees no
// face or every face.
bool HullBuilder::addPoint(const MgcVector3& point) {
  std::vector<bool> isVisible;
  if (!findVisibleRegion(point, isVisible)) return false;
  std::vector<std::uint32_t> visible;
  for (std::uint32_t f = static_cast<std::uint32_t>(faces_.size()); f-- > 0;)
    if (faces_[f].alive && isVisible[f]) visible.push_back(f);

  const auto v = static_cast<std::uint32_t>(vertices_.size());
  std::vector<std::pair<std::uint32_t, std::uint32_t>> newEdges;
  std::vector<std::uint64_t> newEdgeKeys;
  std::vector<HullFace> newFaces;
  auto recordNewEdge = [&](std::uint32_t a, std::uint32_t b) {
    const std::uint64_t key = edgeKey(a, b);
    if (std::find(newEdgeKeys.begin(), newEdgeKeys.end(), key) != newEdgeKeys.end()) return;
    newEdgeKeys.push_back(key);
    newEdges.emplace_back(a, b);
  };

  for (std::uint32_t f : visible) {
    const std::vector<std::uint32_t> corners = faces_[f].face.corners;
    for (std::size_t k = 0; k < corners.size(); ++k) {
      const std::uint32_t a = corners[k];
      const std::uint32_t b = corners[(k + 1) % corners.size()];
      const std::uint32_t across = faceAcross(f, a, b);
      if (across != kNoFace && isVisible[across]) {
        // Between two visible faces: the edge disappears under the cone.
        removeEdge(a, b);
        continue;
      }
      // A horizon side. The cone face keeps the side's direction from the
      // face it replaces, which makes it wind, and face, outward. The
      // visible region was grown so that every such face has a normal.
      MgcVector3 normal;
      coneNormal(vertices_[a], vertices_[b], point, normal);
      recordNewEdge(a, v);
      recordNewEdge(v, b);
      newFaces.push_back({{a, b, v}, normal});
    }
  }

  for (std::uint32_t f : visible) killFace(f);
  appendVertex(point);
  for (HullFace& face : newFaces) appendFace(std::move(face.corners), face.normal);
  for (const auto& edge : newEdges) appendEdge(edge.first, edge.second);
  return true;
}

// The faces the point sees, as one connected region whose border (the
// horizon) is a single loop: grown across sides from the face the point lies
// farthest out of, into every face the point lies in front of, then repaired.
// False when the region would be the whole hull.
bool HullBuilder::findVisibleRegion(const MgcVector3& point, std::vector<bool>& isVisible) const {
  std::vector<double> heights(faces_.size(), 0.0);
  std::uint32_t seed = kNoFace;
  double farthest = 0.0;
  for (std::uint32_t f = 0; f < faces_.size(); ++f) {
    if (!faces_[f].alive) continue;
    heights[f] = heightAbove(point, f);
    if (heights[f] > farthest) {
      farthest = heights[f];
      seed = f;
    }
  }
  if (seed == kNoFace) return false;

  isVisible.assign(faces_.size(), false);
  isVisible[seed] = true;
  std::deque<std::uint32_t> queue{seed};
  while (!queue.empty()) {
    const std::uint32_t f = queue.front();
    queue.pop_front();
    const std::vector<std::uint32_t>& corners = faces_[f].face.corners;
    for (std::size_t k = 0; k < corners.size(); ++k) {
      const std::uint32_t across = faceAcross(f, corners[k], corners[(k + 1) % corners.size()]);
      if (across == kNoFace || isVisible[across] || heights[across] <= -kPlaneRoundingSlack) continue;
      isVisible[across] = true;
      queue.push_back(across);
    }
  }
  return repairVisibleRegion(point, heights, isVisible);
}

// Whether the cone face from `point` over the horizon side (a, b), which
// keeps the direction a to b, would not join the unseen face `across` in a
// convex edge: because it has no plane (the point lies on the side's line),
// because it folds back over that face, or because a corner of that face lies
// in front of it.
bool HullBuilder::coneFoldsOver(std::uint32_t a, std::uint32_t b, std::uint32_t across, const MgcVector3& point) const {
  MgcVector3 normal;
  if (!coneNormal(vertices_[a], vertices_[b], point, normal)) return true;
  const HullFace& beyond = faces_[across].face;
  if (normal.Dot(beyond.normal) < -kUnitLow) return true;
  for (std::uint32_t corner : beyond.corners)
    if (corner != a && corner != b && (vertices_[corner] - vertices_[a]).Dot(normal) > kPlaneRoundingSlack) return true;
  return false;
}

// Grows the visible region until the cone over its horizon is a proper part
// of a convex hull. Near flat parts of the hull, rounding can leave a face
// beyond the horizon that the cone would fold over (or a horizon side on the
// point's line, where the cone face is flat), unseen islands inside the
// region, or a region that touches itself at a vertex. Those faces join the
// region when the point lies on their plane within the positions' noise;
// false when that does not suffice, or when the region would be the whole hull.
bool HullBuilder::repairVisibleRegion(const MgcVector3& point, const std::vector<double>& heights,
                                      std::vector<bool>& isVisible) const {
  std::vector<std::uint32_t> region;
  for (std::uint32_t f = 0; f < faces_.size(); ++f)
    if (faces_[f].alive && isVisible[f]) region.push_back(f);

  for (;;) {
    if (region.size() == numLiveFaces_) return false;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> horizon;
    std::vector<std::uint32_t> joining;
    for (std::uint32_t f : region) {
      const std::vector<std::uint32_t>& corners = faces_[f].face.corners;
      for (std::size_t k = 0; k < corners.size(); ++k) {
        const std::uint32_t a = corners[k];
        const std::uint32_t b = corners[(k + 1) % corners.size()];
        const std::uint32_t across = faceAcross(f, a, b);
        if (across == kNoFace || isVisible[across]) continue;
        horizon.emplace_back(a, b);
        if (coneFoldsOver(a, b, across, point)) joining.push_back(across);
      }
    }
    if (joining.empty()) {
      std::vector<std::uint32_t> pinches;
      if (isSimpleLoop(horizon, pinches)) return true;
      joining = islandsAndPinches(heights, isVisible, pinches);
      if (joining.empty()) return false;
    }
    for (std::uint32_t f : joining) {
      // Taking in a face the point lies well behind would cut the hull open.
      if (heights[f] < -noiseBand_) return false;
      if (isVisible[f]) continue;
      isVisible[f] = true;
      region.push_back(f);
    }
  }
}

// Whether the horizon sides, each directed as in its visible face, form one
// loop through distinct vertices. The vertices with more than one outgoing
// side, where the region touches itself, go to `pinches`.
bool HullBuilder::isSimpleLoop(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& horizon,
                               std::vector<std::uint32_t>& pinches) const {
  std::unordered_map<std::uint32_t, std::uint32_t> next;
  for (const auto& [a, b] : horizon)
    if (!next.emplace(a, b).second) pinches.push_back(a);
  if (!pinches.empty() || horizon.empty()) return false;
  std::uint32_t vertex = horizon.front().first;
  for (std::size_t steps = 1; steps <= horizon.size(); ++steps) {
    const auto step = next.find(vertex);
    if (step == next.end()) return false;
    vertex = step->second;
    if (vertex == horizon.front().first) return steps == horizon.size();
  }
  return false;
}

// The unseen faces to take in when the horizon is not one simple loop: those
// cut off from the face the point lies farthest behind (islands inside the
// region), and those around a vertex where the region touches itself that
// the point lies on within the positions' noise.
std::vector<std::uint32_t> HullBuilder::islandsAndPinches(const std::vector<double>& heights,
                                                          const std::vector<bool>& isVisible,
                                                          const std::vector<std::uint32_t>& pinches) const {
  const auto numFaces = static_cast<std::uint32_t>(faces_.size());
  std::uint32_t anchor = kNoFace;
  for (std::uint32_t f = 0; f < numFaces; ++f)
    if (faces_[f].alive && !isVisible[f] && (anchor == kNoFace || heights[f] < heights[anchor])) anchor = f;
  std::vector<bool> reached(numFaces, false);
  std::deque<std::uint32_t> queue;
  if (anchor != kNoFace) {
    reached[anchor] = true;
    queue.push_back(anchor);
  }
  while (!queue.empty()) {
    const std::uint32_t f = queue.front();
    queue.pop_front();
    const std::vector<std::uint32_t>& corners = faces_[f].face.corners;
    for (std::size_t k = 0; k < corners.size(); ++k) {
      const std::uint32_t across = faceAcross(f, corners[k], corners[(k + 1) % corners.size()]);
      if (across == kNoFace || isVisible[across] || reached[across]) continue;
      reached[across] = true;
      queue.push_back(across);
    }
  }

  std::vector<std::uint32_t> joining;
  for (std::uint32_t f = 0; f < numFaces; ++f) {
    const WorkingFace& face = faces_[f];
    if (!face.alive || isVisible[f]) continue;
    const bool island = !reached[f];
    const bool atPinch = heights[f] >= -noiseBand_ &&
                         std::any_of(face.face.corners.begin(), face.face.corners.end(), [&](std::uint32_t c) {
                           return std::find(pinches.begin(), pinches.end(), c) != pinches.end();
                         });
    if (island || atPinch) joining.push_back(f);
  }
  return joining;
}

// Joins pairs of faces that share an edge and lie in one plane, pass after
// pass, until a pass joins nothing.
void HullBuilder::mergeCoplanarFaces() {
  bool merged = true;
  while (merged) {
    merged = false;
    for (std::uint32_t e = static_cast<std::uint32_t>(edges_.size()); e-- > 0;) {
      if (!edges_[e].alive) continue;
      if (mergeAcrossEdge(edges_[e])) merged = true;
    }
  }
}

// Joins the two faces on either side of `edge` into the newer one, A, when
// their normals agree within zov::kUnitLow and the other face's corners lie
// within zov::kTolerance of A's plane. The joined ring walks A from the corner
// after the edge round to the edge's first corner, then B from there round to
// the edge's other corner; corners where it runs straight on are dropped.
bool HullBuilder::mergeAcrossEdge(const HullEdge& edge) {
  const auto side = sides_.find(edgeKey(edge.a, edge.b));
  if (side == sides_.end() || side->second[0] == kNoFace || side->second[1] == kNoFace) return false;
  const std::uint32_t faceA = std::max(side->second[0], side->second[1]);
  const std::uint32_t faceB = std::min(side->second[0], side->second[1]);
  const HullFace& a = faces_[faceA].face;
  const HullFace& b = faces_[faceB].face;
  if (a.normal.Dot(b.normal) <= kUnitLow) return false;
  // Normals that nearly agree still let the faces bend at the edge; joined,
  // they would make a face whose corners leave its plane, or one folded over
  // its neighbour where a vertex pokes out a little.
  const MgcVector3& onPlaneA = vertices_[a.corners[0]];
  for (std::uint32_t corner : b.corners)
    if (std::abs((vertices_[corner] - onPlaneA).Dot(a.normal)) > kTolerance) return false;

  const int sideA = sideIndex(a.corners, edge.a, edge.b);
  const int sideB = sideIndex(b.corners, edge.a, edge.b);
  if (sideA < 0 || sideB < 0) return false;
  const auto nA = static_cast<std::uint32_t>(a.corners.size());
  const auto nB = static_cast<std::uint32_t>(b.corners.size());
  const auto kA = static_cast<std::uint32_t>(sideA);
  const auto kB = static_cast<std::uint32_t>(sideB);
  std::vector<std::uint32_t> ring;
  ring.reserve(nA + nB - 2);
  for (std::uint32_t j = 0; j + 2 < nA; ++j) ring.push_back(a.corners[(kA + 2 + j) % nA]);
  ring.push_back(a.corners[kA]);
  if (a.corners[kA] == b.corners[kB]) {
    // B runs along the edge the same way as A: walk B backwards.
    for (std::uint32_t j = 0; j + 3 <= nB; ++j) ring.push_back(b.corners[(nB - 1 - j + kB) % nB]);
    ring.push_back(b.corners[(kB + 1) % nB]);
  } else {
    for (std::uint32_t j = 0; j + 3 <= nB; ++j) ring.push_back(b.corners[(kB + 2 + j) % nB]);
    ring.push_back(b.corners[kB]);
  }

  // Faces that share more than the edge (a corner between them that only the
  // two of them use) make the ring run out to that corner and back: drop
  // such spikes.
  for (bool folded = true; folded && ring.size() >= 3;) {
    folded = false;
    for (std::size_t i = 0; i < ring.size() && ring.size() >= 3; ++i) {
      const std::size_t previous = (i + ring.size() - 1) % ring.size();
      const std::size_t next = (i + 1) % ring.size();
      if (ring[previous] != ring[next]) continue;
      ring.erase(ring.begin() + static_cast<std::ptrdiff_t>(std::max(i, next)));
      ring.erase(ring.begin() + static_cast<std::ptrdiff_t>(std::min(i, next)));
      folded = true;
    }
  }
  if (ring.size() < 3) return false;

  const std::size_t m = ring.size();
  // A corner where the ring runs straight on is dropped, unless another face
  // still uses it: dropping it there would open a crack beside that face.
  auto straight = [&](std::size_t previous, std::size_t at, std::size_t next) {
    return runsStraight(vertices_[ring[previous]], vertices_[ring[at]], vertices_[ring[next]]) &&
           !usedByOtherFaces(ring[at], faceA, faceB);
  };
  std::vector<std::uint32_t> kept;
  kept.reserve(m);
  for (std::size_t i = 1; i + 1 < m; ++i)
    if (!straight(i - 1, i, i + 1)) kept.push_back(ring[i]);
  if (!straight(m - 2, m - 1, 0)) kept.push_back(ring[m - 1]);
  if (!straight(m - 1, 0, 1)) kept.push_back(ring[0]);
  if (kept.size() < 3 || !isConvexRing(kept, a.normal)) return false;

  unlinkSides(faceA);
  killFace(faceB);
  faces_[faceA].face.corners = std::move(kept);
  linkSides(faceA);
  removeEdge(edge.a, edge.b);
  return true;
}

// Drops the vertices that no face uses and renumbers the corners; the kept
// vertices stay in order.
void HullBuilder::removeUnusedVertices() {
  std::vector<bool> used(vertices_.size(), false);
  for (const WorkingFace& face : faces_)
    if (face.alive)
      for (std::uint32_t corner : face.face.corners) used[corner] = true;
  std::vector<std::uint32_t> newIndex(vertices_.size(), kNoIndex);
  std::uint32_t numKept = 0;
  for (std::uint32_t i = 0; i < vertices_.size(); ++i) {
    if (!used[i]) continue;
    vertices_[numKept] = vertices_[i];
    newIndex[i] = numKept++;
  }
  vertices_.resize(numKept);
  for (WorkingFace& face : faces_)
    if (face.alive)
      for (std::uint32_t& corner : face.face.corners) corner = newIndex[corner];
}

std::uint32_t HullBuilder::appendVertex(const MgcVector3& position) {
  vertices_.push_back(position);
  return static_cast<std::uint32_t>(vertices_.size() - 1);
}

void HullBuilder::appendFace(std::vector<std::uint32_t> corners, const MgcVector3& normal) {
  const double planeOffset = vertices_[corners[0]].Dot(normal);
  faces_.push_back({{std::move(corners), normal}, planeOffset, true});
  ++numLiveFaces_;
  linkSides(static_cast<std::uint32_t>(faces_.size() - 1));
}

void HullBuilder::killFace(std::uint32_t f) {
  unlinkSides(f);
  faces_[f].alive = false;
  std::vector<std::uint32_t>().swap(faces_[f].face.corners);
  --numLiveFaces_;
}

void HullBuilder::linkSides(std::uint32_t f) {
  const std::vector<std::uint32_t>& corners = faces_[f].face.corners;
  for (std::size_t k = 0; k < corners.size(); ++k) {
    const std::uint64_t key = edgeKey(corners[k], corners[(k + 1) % corners.size()]);
    SideFaces& users = sides_.try_emplace(key, SideFaces{kNoFace, kNoFace}).first->second;
    users[users[0] == kNoFace ? 0 : 1] = f;
  }
}

void HullBuilder::unlinkSides(std::uint32_t f) {
  const std::vector<std::uint32_t>& corners = faces_[f].face.corners;
  for (std::size_t k = 0; k < corners.size(); ++k) {
    const auto side = sides_.find(edgeKey(corners[k], corners[(k + 1) % corners.size()]));
    if (side == sides_.end()) continue;
    SideFaces& users = side->second;
    if (users[0] == f) users[0] = kNoFace;
    if (users[1] == f) users[1] = kNoFace;
    if (users[0] == kNoFace && users[1] == kNoFace) sides_.erase(side);
  }
}

void HullBuilder::appendEdge(std::uint32_t a, std::uint32_t b) {
  edgeSlots_[edgeKey(a, b)] = static_cast<std::uint32_t>(edges_.size());
  edges_.push_back({a, b, true});
}

void HullBuilder::removeEdge(std::uint32_t a, std::uint32_t b) {
  const auto slot = edgeSlots_.find(edgeKey(a, b));
  if (slot == edgeSlots_.end()) return;
  edges_[slot->second].alive = false;
  edgeSlots_.erase(slot);
}

// Whether the ring turns counter-clockwise about `normal` at every corner:
// no corner lies inside the polygon beyond the chord between its neighbours
// by more than zov::kTolerance. Faces that are nearly coplanar can still join
// into a ring that bends inward where one of them leaned out a little.
bool HullBuilder::isConvexRing(const std::vector<std::uint32_t>& ring, const MgcVector3& normal) const {
  const std::size_t n = ring.size();
  for (std::size_t i = 0; i < n; ++i) {
    const MgcVector3& previous = vertices_[ring[(i + n - 1) % n]];
    const MgcVector3& next = vertices_[ring[(i + 1) % n]];
    MgcVector3 inward = normal.Cross(next - previous);
    if (inward.Unitize(0.0) == 0.0) continue;
    if ((vertices_[ring[i]] - previous).Dot(inward) > kTolerance) return false;
  }
  return true;
}

bool HullBuilder::usedByOtherFaces(std::uint32_t vertex, std::uint32_t faceA, std::uint32_t faceB) const {
  for (std::uint32_t f = 0; f < faces_.size(); ++f) {
    if (!faces_[f].alive || f == faceA || f == faceB) continue;
    const std::vector<std::uint32_t>& corners = faces_[f].face.corners;
    if (std::find(corners.begin(), corners.end(), vertex) != corners.end()) return true;
  }
  return false;
}

std::uint32_t HullBuilder::faceAcross(std::uint32_t f, std::uint32_t a, std::uint32_t b) const {
  const auto side = sides_.find(edgeKey(a, b));
  if (side == sides_.end()) return kNoFace;
  return side->second[0] == f ? side->second[1] : side->second[0];
}

double HullBuilder::heightAbove(const MgcVector3& point, std::uint32_t f) const {
  const HullFace& face = faces_[f].face;
  return (point - vertices_[face.corners[0]]).Dot(face.normal);
}

}  // namespace zov::hull
