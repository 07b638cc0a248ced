#include "geometry/HullBuilder.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace zov::hull {

namespace {

/// The most triangles room is made for before a build starts.
constexpr std::size_t kTrianglesReserved = std::size_t{1} << 20;

/// How far behind a face's plane a point may lie and still count as seeing
/// it: the rounding of the plane test. Points exactly in the plane of several
/// faces then see all of them, instead of a random few.
constexpr double kPlaneRoundingSlack = 1e-12;

/// The noise of input positions relative to their magnitude: single-precision
/// positions widened to double carry a few units of 1e-7.
constexpr double kRelativePositionNoise = 1e-6;

// The position k of the side (corner k, corner k+1) that joins a and b, in
// either direction; -1 when no side does.
int sideIndex(const std::uint32_t* corners, std::size_t n, std::uint32_t a, std::uint32_t b) {
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
  const double lengthSq = normal.SquaredLength();
  if (!(lengthSq > kFlatSine * kFlatSine * u.SquaredLength() * w.SquaredLength())) return false;
  normal /= std::sqrt(lengthSq);
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

// The second value of the pair whose first is `key` in a vector sorted by
// first values; kNoIndex when there is none.
std::uint32_t lookUp(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& sorted, std::uint32_t key) {
  const auto found = std::lower_bound(sorted.begin(), sorted.end(), std::make_pair(key, std::uint32_t{0}));
  return found != sorted.end() && found->first == key ? found->second : kNoIndex;
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
  assignInitialPoints(simplex);
  growHull();
  collectFaces();
  mergeCoplanarFaces();
  removeUnusedVertices();
  return true;
}

std::vector<HullFace> HullBuilder::faces() const {
  std::vector<HullFace> result;
  for (auto it = faces_.rbegin(); it != faces_.rend(); ++it)
    if (it->alive) result.push_back({cornersOf(*it), it->numCorners, it->normal});
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
    const std::uint32_t corners[3] = {0, 1, 2};
    appendFace(corners, 3, baseNormal);
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

  // A hull of v vertices has 2v - 4 triangles; room for that many (up to a
  // bound) spares the copies of a growing array.
  triangles_.reserve(std::min<std::size_t>(2 * static_cast<std::size_t>(n) + 4, kTrianglesReserved));

  // Corners wind counter-clockwise seen from outside, here and in every face
  // made later, so that each cone face takes its orientation from the face
  // it replaces rather than from the geometry, which rounding can blur.
  if ((vertices_[1] - vertices_[0]).Cross(vertices_[2] - vertices_[0]).Dot(baseNormal) > 0.0)
    newTriangle(0, 1, 2, baseNormal);
  else
    newTriangle(0, 2, 1, baseNormal);
  const std::uint32_t apex = appendVertex(p[i3]);
  const std::uint32_t sides[3][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}};
  for (const auto& side : sides) {
    const MgcVector3& a = vertices_[side[0]];
    const MgcVector3& b = vertices_[side[1]];
    // The tetrahedron has volume, so no side is flat, however thin.
    MgcVector3 normal = (b - a).Cross(vertices_[apex] - b);
    normal /= normal.Length();
    if ((vertices_[side[2]] - vertices_[apex]).Dot(normal) > 0.0)
      newTriangle(side[1], side[0], apex, -normal);
    else
      newTriangle(side[0], side[1], apex, normal);
  }
  // Each side of a face of the tetrahedron is a side of one other face.
  for (std::uint32_t f = 0; f < 4; ++f) {
    Triangle& face = triangles_[f];
    for (int k = 0; k < 3; ++k)
      for (std::uint32_t g = 0; g < 4; ++g)
        if (g != f && sideIndex(triangles_[g].corners, 3, face.corners[k], face.corners[(k + 1) % 3]) >= 0)
          face.neighbours[k] = g;
  }
  return true;
}

// Hands each point outside the tetrahedron to the face it lies farthest in
// front of; points inside it are done with.
void HullBuilder::assignInitialPoints(const std::uint32_t simplex[4]) {
  nextConflict_.assign(numPoints_, kNoPoint);
  for (std::uint32_t i = 0; i < numPoints_; ++i) {
    if (std::find(simplex, simplex + 4, i) != simplex + 4) continue;
    std::uint32_t best = kNoFace;
    double bestHeight = kTolerance;
    for (std::uint32_t f = 0; f < 4; ++f) {
      const double height = planeHeight(f, points_[i]);
      if (height > bestHeight) {
        bestHeight = height;
        best = f;
      }
    }
    if (best != kNoFace) assignConflict(best, i, bestHeight);
  }
  for (std::uint32_t f = 0; f < 4; ++f) enqueue(f);
}

// Adds, one at a time, the point that lies farthest in front of the face
// that holds it, until no face holds a point. Far points first make large
// faces early, so that the points near the surface are mostly found inside.
void HullBuilder::growHull() {
  while (!queue_.empty()) {
    const QueueEntry entry = queue_.top();
    queue_.pop();
    const std::uint32_t f = entry.second;
    const Triangle& face = triangles_[f];
    // Entries of faces that died, or whose farthest point changed, are stale.
    if (!face.alive || face.firstConflict == kNoPoint || entry.first != face.farthestHeight) continue;
    if (vertices_.size() >= numPoints_) break;
    const std::uint32_t point = face.farthest;
    if (addPoint(point, f)) continue;
    // A point that cannot be added without breaking the hull lies within
    // the positions' noise of it; it is passed over, not the whole growth.
    dropConflict(f, point);
    enqueue(f);
  }
}

// Replaces the faces that the point sees, starting from `seed`, by a cone of
// faces from the point to the horizon around them, and hands their conflict
// points on to the new faces. False, with nothing changed, when no visible
// region can be found that keeps the hull convex.
bool HullBuilder::addPoint(std::uint32_t point, std::uint32_t seed) {
  const MgcVector3& position = points_[point];
  ++stamp_;
  if (!findVisibleRegion(position, seed)) return false;

  conflicts_.clear();
  for (std::uint32_t f : region_) {
    for (std::uint32_t q = triangles_[f].firstConflict; q != kNoPoint; q = nextConflict_[q])
      if (q != point) conflicts_.push_back(q);
    killTriangle(f);
  }

  const std::uint32_t v = appendVertex(position);
  newFaces_.clear();
  byFirstCorner_.clear();
  for (const HorizonSide& side : horizon_) {
    // The cone face keeps the side's direction from the face it replaces,
    // which makes it wind, and face, outward. The visible region was grown
    // so that every such face has a normal.
    const std::uint32_t f = newTriangle(side.a, side.b, v, side.normal);
    triangles_[f].neighbours[0] = side.across;
    Triangle& across = triangles_[side.across];
    across.neighbours[sideIndex(across.corners, 3, side.a, side.b)] = f;
    newFaces_.push_back(f);
    byFirstCorner_.emplace_back(side.a, f);
  }
  // The horizon is one loop, so the cone face over the side from a to b
  // meets the cone face over the side that starts at b along the edge b-v.
  std::sort(byFirstCorner_.begin(), byFirstCorner_.end());
  for (std::uint32_t f : newFaces_) {
    const std::uint32_t next = lookUp(byFirstCorner_, triangles_[f].corners[1]);
    triangles_[f].neighbours[1] = next;
    triangles_[next].neighbours[2] = f;
  }

  partitionConflicts();
  for (std::uint32_t f : newFaces_) enqueue(f);
  return true;
}

// The faces the point sees, as one connected region whose border (the
// horizon) is a single loop: grown across sides from the seed face, into
// every face the point lies in front of, then repaired. The region's faces
// are marked visible and listed in region_, its border in horizon_.
bool HullBuilder::findVisibleRegion(const MgcVector3& point, std::uint32_t seed) {
  region_.clear();
  markVisible(seed);
  for (std::size_t i = 0; i < region_.size(); ++i) {
    const std::uint32_t f = region_[i];
    for (int k = 0; k < 3; ++k) {
      const std::uint32_t across = triangles_[f].neighbours[k];
      if (isVisible(across) || heightOf(across, point) <= -kPlaneRoundingSlack) continue;
      markVisible(across);
    }
  }
  return repairVisibleRegion(point);
}

// Whether the cone face from `point` over the horizon side, which keeps the
// side's direction, would not join the unseen face across it in a convex
// edge: because it has no plane (the point lies on the side's line), because
// it folds back over that face, or because a corner of that face lies in
// front of it. The cone face's normal goes into the side.
bool HullBuilder::coneFoldsOver(HorizonSide& side, const MgcVector3& point) const {
  if (!coneNormal(vertices_[side.a], vertices_[side.b], point, side.normal)) return true;
  const Triangle& beyond = triangles_[side.across];
  if (side.normal.Dot(beyond.normal) < -kUnitLow) return true;
  for (std::uint32_t corner : beyond.corners)
    if (corner != side.a && corner != side.b &&
        (vertices_[corner] - vertices_[side.a]).Dot(side.normal) > kPlaneRoundingSlack)
      return true;
  return false;
}

// Grows the visible region until the cone over its horizon is a proper part
// of a convex hull. Near flat parts of the hull, rounding can leave a face
// beyond the horizon that the cone would fold over (or a horizon side on the
// point's line, where the cone face is flat), unseen islands inside the
// region, or a region that touches itself at a vertex. Those faces join the
// region when the point lies on their plane within the positions' noise;
// false when that does not suffice, or when the region would be the whole hull.
bool HullBuilder::repairVisibleRegion(const MgcVector3& point) {
  std::vector<std::uint32_t> joining;
  std::vector<std::uint32_t> pinches;
  for (;;) {
    if (region_.size() == numLiveTriangles_) return false;
    horizon_.clear();
    joining.clear();
    for (std::uint32_t f : region_) {
      for (int k = 0; k < 3; ++k) {
        const std::uint32_t across = triangles_[f].neighbours[k];
        if (isVisible(across)) continue;
        horizon_.push_back({triangles_[f].corners[k], triangles_[f].corners[(k + 1) % 3], across, MgcVector3()});
        if (coneFoldsOver(horizon_.back(), point)) joining.push_back(across);
      }
    }
    if (joining.empty()) {
      pinches.clear();
      if (isSimpleLoop(pinches)) return true;
      islandsAndPinches(point, pinches, joining);
      if (joining.empty()) return false;
    }
    for (std::uint32_t f : joining) {
      // Taking in a face the point lies well behind would cut the hull open.
      if (heightOf(f, point) < -noiseBand_) return false;
      if (!isVisible(f)) markVisible(f);
    }
  }
}

// Whether the horizon sides, each directed as in its visible face, form one
// loop through distinct vertices. The vertices with more than one outgoing
// side, where the region touches itself, go to `pinches`.
bool HullBuilder::isSimpleLoop(std::vector<std::uint32_t>& pinches) {
  if (horizon_.empty()) return false;
  byFirstCorner_.clear();
  for (const HorizonSide& side : horizon_) byFirstCorner_.emplace_back(side.a, side.b);
  std::sort(byFirstCorner_.begin(), byFirstCorner_.end());
  for (std::size_t i = 1; i < byFirstCorner_.size(); ++i)
    if (byFirstCorner_[i].first == byFirstCorner_[i - 1].first) pinches.push_back(byFirstCorner_[i].first);
  if (!pinches.empty()) return false;
  const std::uint32_t start = horizon_.front().a;
  std::uint32_t vertex = start;
  for (std::size_t steps = 1; steps <= horizon_.size(); ++steps) {
    vertex = lookUp(byFirstCorner_, vertex);
    if (vertex == kNoIndex) return false;
    if (vertex == start) return steps == horizon_.size();
  }
  return false;
}

// The unseen faces to take in when the horizon is not one simple loop: those
// around a vertex where the region touches itself that the point lies on
// within the positions' noise, and islands inside the region. An island is a
// group of unseen faces, joined across sides, that ends without reaching a
// face the point lies well behind; the rest of the hull always has such a
// face, and taking in one would cut the hull open anyway.
void HullBuilder::islandsAndPinches(const MgcVector3& point, const std::vector<std::uint32_t>& pinches,
                                    std::vector<std::uint32_t>& joining) {
  std::vector<std::uint32_t> reached;
  for (std::uint32_t vertex : pinches) {
    // The faces around the vertex, reached across the sides that end at it.
    const std::uint32_t search = ++searchStamp_;
    reached.clear();
    for (std::uint32_t f : region_) {
      const std::uint32_t* corners = triangles_[f].corners;
      if (std::find(corners, corners + 3, vertex) == corners + 3) continue;
      triangles_[f].reachedStamp = search;
      reached.push_back(f);
      break;
    }
    for (std::size_t i = 0; i < reached.size(); ++i) {
      const Triangle& face = triangles_[reached[i]];
      for (int k = 0; k < 3; ++k) {
        if (face.corners[k] != vertex && face.corners[(k + 1) % 3] != vertex) continue;
        const std::uint32_t across = face.neighbours[k];
        if (triangles_[across].reachedStamp == search) continue;
        triangles_[across].reachedStamp = search;
        reached.push_back(across);
      }
    }
    for (std::uint32_t f : reached)
      if (!isVisible(f) && heightOf(f, point) >= -noiseBand_) joining.push_back(f);
  }

  const std::uint32_t firstSearch = searchStamp_ + 1;
  for (const HorizonSide& side : horizon_) {
    if (triangles_[side.across].reachedStamp >= firstSearch) continue;
    const std::uint32_t search = ++searchStamp_;
    triangles_[side.across].reachedStamp = search;
    reached.assign(1, side.across);
    bool anchored = false;
    for (std::size_t i = 0; i < reached.size() && !anchored; ++i) {
      const std::uint32_t f = reached[i];
      if (heightOf(f, point) < -noiseBand_) {
        anchored = true;
        break;
      }
      for (int k = 0; k < 3 && !anchored; ++k) {
        const std::uint32_t across = triangles_[f].neighbours[k];
        if (isVisible(across)) continue;
        std::uint32_t& mark = triangles_[across].reachedStamp;
        if (mark == search) continue;
        // An earlier search that reached this face stopped at the rest of
        // the hull: islands are searched to their end.
        if (mark >= firstSearch) anchored = true;
        mark = search;
        reached.push_back(across);
      }
    }
    if (!anchored) joining.insert(joining.end(), reached.begin(), reached.end());
  }
}

// Turns the live triangles, oldest first, into the faces that are joined
// next, and lists each edge once, with the newer of its two faces, so that
// the joining visits the newest edges first.
void HullBuilder::collectFaces() {
  std::vector<std::uint32_t> bySerial(nextSerial_, kNoFace);
  for (std::uint32_t f = 0; f < triangles_.size(); ++f)
    if (triangles_[f].alive) bySerial[triangles_[f].serial] = f;
  std::vector<std::uint32_t> live;
  live.reserve(numLiveTriangles_);
  for (std::uint32_t f : bySerial)
    if (f != kNoFace) live.push_back(f);

  std::vector<std::uint32_t> faceOf(triangles_.size(), kNoFace);
  faces_.reserve(live.size());
  cornerPool_.reserve(3 * live.size());
  for (std::uint32_t f : live) {
    const Triangle& face = triangles_[f];
    faceOf[f] = static_cast<std::uint32_t>(faces_.size());
    appendFace(face.corners, 3, face.normal);
  }
  edges_.reserve(3 * live.size() / 2);
  for (std::uint32_t i = 0; i < live.size(); ++i) {
    const Triangle& face = triangles_[live[i]];
    for (int k = 0; k < 3; ++k) {
      const std::uint32_t across = faceOf[face.neighbours[k]];
      if (across >= i) continue;
      // Faces that bend at the edge are seen apart here already, while
      // both are at hand.
      const bool bends = face.normal.Dot(triangles_[face.neighbours[k]].normal) <= kUnitLow;
      edges_.push_back({face.corners[k], face.corners[(k + 1) % 3], {i, across}, bends ? 1u : 0u, true});
    }
  }
  grownAt_.assign(faces_.size(), 0);
  joinedInto_.resize(faces_.size());
  for (std::uint32_t f = 0; f < faces_.size(); ++f) joinedInto_[f] = f;
  vertexUses_.assign(vertices_.size(), 0);
  for (std::uint32_t corner : cornerPool_) ++vertexUses_[corner];

  std::vector<Triangle>().swap(triangles_);
  std::vector<std::uint32_t>().swap(freeTriangles_);
  std::vector<std::uint32_t>().swap(nextConflict_);
}

// Joins pairs of faces that share an edge and lie in one plane, pass after
// pass, until a pass joins nothing.
void HullBuilder::mergeCoplanarFaces() {
  bool merged = true;
  while (merged) {
    merged = false;
    for (std::uint32_t e = static_cast<std::uint32_t>(edges_.size()); e-- > 0;) {
      HullEdge& edge = edges_[e];
      if (!edge.alive) continue;
      // Faces that did not join across this edge the last time, for lack of
      // a common plane, cannot join now unless one of them has grown since.
      if (grownAt_[faceNow(edge.faces[0])] < edge.apartBefore && grownAt_[faceNow(edge.faces[1])] < edge.apartBefore)
        continue;
      if (mergeAcrossEdge(edge)) merged = true;
    }
  }
}

// Joins the two faces on either side of `edge` into the newer one, A, when
// their normals agree within zov::kUnitLow and the other face's corners lie
// within zov::kTolerance of A's plane. The joined ring walks A from the corner
// after the edge round to the edge's first corner, then B from there round to
// the edge's other corner; corners where it runs straight on are dropped.
bool HullBuilder::mergeAcrossEdge(HullEdge& edge) {
  const std::uint32_t first = faceNow(edge.faces[0]);
  const std::uint32_t second = faceNow(edge.faces[1]);
  if (first == second) {
    edge.alive = false;
    return false;
  }
  const std::uint32_t faceA = std::max(first, second);
  const std::uint32_t faceB = std::min(first, second);
  const PolygonFace& a = faces_[faceA];
  const PolygonFace& b = faces_[faceB];
  const std::uint32_t* cornersA = cornersOf(a);
  const std::uint32_t* cornersB = cornersOf(b);
  const std::uint32_t nA = a.numCorners;
  const std::uint32_t nB = b.numCorners;
  if (a.normal.Dot(b.normal) <= kUnitLow) {
    edge.apartBefore = numJoins_ + 1;
    return false;
  }
  // Normals that nearly agree still let the faces bend at the edge; joined,
  // they would make a face whose corners leave its plane, or one folded over
  // its neighbour where a vertex pokes out a little. Each face's corners
  // must lie in the other's plane, so that which face is the newer does not
  // decide whether they join.
  auto withinPlaneOf = [&](const PolygonFace& plane, const PolygonFace& other) {
    const MgcVector3& onPlane = vertices_[cornersOf(plane)[0]];
    const std::uint32_t* corners = cornersOf(other);
    return std::all_of(corners, corners + other.numCorners, [&](std::uint32_t corner) {
      return std::abs((vertices_[corner] - onPlane).Dot(plane.normal)) <= kTolerance;
    });
  };
  if (!withinPlaneOf(a, b) || !withinPlaneOf(b, a)) {
    edge.apartBefore = numJoins_ + 1;
    return false;
  }

  const int sideA = sideIndex(cornersA, nA, edge.a, edge.b);
  const int sideB = sideIndex(cornersB, nB, edge.a, edge.b);
  if (sideA < 0 || sideB < 0) return false;
  const auto kA = static_cast<std::uint32_t>(sideA);
  const auto kB = static_cast<std::uint32_t>(sideB);
  std::vector<std::uint32_t>& ring = ring_;
  ring.clear();
  for (std::uint32_t j = 0; j + 2 < nA; ++j) ring.push_back(cornersA[(kA + 2 + j) % nA]);
  ring.push_back(cornersA[kA]);
  if (cornersA[kA] == cornersB[kB]) {
    // B runs along the edge the same way as A: walk B backwards.
    for (std::uint32_t j = 0; j + 3 <= nB; ++j) ring.push_back(cornersB[(nB - 1 - j + kB) % nB]);
    ring.push_back(cornersB[(kB + 1) % nB]);
  } else {
    for (std::uint32_t j = 0; j + 3 <= nB; ++j) ring.push_back(cornersB[(kB + 2 + j) % nB]);
    ring.push_back(cornersB[kB]);
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
  std::vector<std::uint32_t>& kept = kept_;
  kept.clear();
  for (std::size_t i = 1; i + 1 < m; ++i)
    if (!straight(i - 1, i, i + 1)) kept.push_back(ring[i]);
  if (!straight(m - 2, m - 1, 0)) kept.push_back(ring[m - 1]);
  if (!straight(m - 1, 0, 1)) kept.push_back(ring[0]);
  if (kept.size() < 3 || !isConvexRing(kept, a.normal)) return false;

  for (std::uint32_t j = 0; j < nA; ++j) --vertexUses_[cornersA[j]];
  for (std::uint32_t j = 0; j < nB; ++j) --vertexUses_[cornersB[j]];
  for (std::uint32_t corner : kept) ++vertexUses_[corner];
  faces_[faceB].alive = false;
  joinedInto_[faceB] = faceA;
  // The joined ring goes to the end of the pool; the faces' old corners
  // stay behind unused.
  faces_[faceA].first = static_cast<std::uint32_t>(cornerPool_.size());
  faces_[faceA].numCorners = static_cast<std::uint32_t>(kept.size());
  cornerPool_.insert(cornerPool_.end(), kept.begin(), kept.end());
  grownAt_[faceA] = ++numJoins_;
  edge.alive = false;
  return true;
}

// Drops the vertices that no face uses and renumbers the corners; the kept
// vertices stay in order.
void HullBuilder::removeUnusedVertices() {
  std::vector<bool> used(vertices_.size(), false);
  for (const PolygonFace& face : faces_)
    if (face.alive)
      for (std::uint32_t j = 0; j < face.numCorners; ++j) used[cornersOf(face)[j]] = true;
  std::vector<std::uint32_t> newIndex(vertices_.size(), kNoIndex);
  std::uint32_t numKept = 0;
  for (std::uint32_t i = 0; i < vertices_.size(); ++i) {
    if (!used[i]) continue;
    vertices_[numKept] = vertices_[i];
    newIndex[i] = numKept++;
  }
  vertices_.resize(numKept);
  for (const PolygonFace& face : faces_)
    if (face.alive)
      for (std::uint32_t j = 0; j < face.numCorners; ++j)
        cornerPool_[face.first + j] = newIndex[cornerPool_[face.first + j]];
}

std::uint32_t HullBuilder::appendVertex(const MgcVector3& position) {
  vertices_.push_back(position);
  return static_cast<std::uint32_t>(vertices_.size() - 1);
}

void HullBuilder::appendFace(const std::uint32_t* corners, std::uint32_t numCorners, const MgcVector3& normal) {
  faces_.push_back({static_cast<std::uint32_t>(cornerPool_.size()), numCorners, normal, true});
  cornerPool_.insert(cornerPool_.end(), corners, corners + numCorners);
}

// The face that `f` has been joined into, directly or through others.
std::uint32_t HullBuilder::faceNow(std::uint32_t f) {
  while (joinedInto_[f] != f) {
    joinedInto_[f] = joinedInto_[joinedInto_[f]];
    f = joinedInto_[f];
  }
  return f;
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
  auto usesIn = [&](std::uint32_t f) {
    const std::uint32_t* corners = cornersOf(faces_[f]);
    return static_cast<std::uint32_t>(std::count(corners, corners + faces_[f].numCorners, vertex));
  };
  return vertexUses_[vertex] > usesIn(faceA) + usesIn(faceB);
}

}  // namespace zov::hull
