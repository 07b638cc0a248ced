#include "engine/collision/narrowphase/SeparationSearch.h"

#include <algorithm>
#include <cmath>

#include "geometry/ContactBuilders.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// Relative size of the last improvement below which the search has stalled.
constexpr double kStallRatio = 1e-12;

/// Up to four support points of the difference shape.
struct Simplex {
  MgcVector3 points[4];
  int count = 0;
};

/// The closest point of the segment ab to the origin; the simplex keeps the
/// ends that make it.
MgcVector3 closestOnSegment(Simplex& s) {
  const MgcVector3 a = s.points[0];
  const MgcVector3 ab = s.points[1] - a;
  const double lengthSq = ab.SquaredLength();
  const double t = lengthSq > 0.0 ? -a.Dot(ab) / lengthSq : 0.0;
  if (t <= 0.0) {
    s.count = 1;
    return a;
  }
  if (t >= 1.0) {
    s.points[0] = s.points[1];
    s.count = 1;
    return s.points[0];
  }
  return a + ab * t;
}

/// The closest point of a triangle to the origin, with the corners that make it.
MgcVector3 closestOnTriangle(const MgcVector3 triangle[3], Simplex& kept) {
  double weights[4];
  triangleClosestPointWeights(triangle, MgcVector3(), weights);
  MgcVector3 closest;
  kept.count = 0;
  for (int i = 0; i < 3; ++i) {
    if (weights[i] <= 0.0) continue;
    closest += triangle[i] * weights[i];
    kept.points[kept.count++] = triangle[i];
  }
  return closest;
}

/// Which side of the plane through a, b and c the point d lies on: six times
/// the signed volume of the tetrahedron abcd, (b - a) x (c - a) . (d - a).
double sideOfPlane(const MgcVector3& a, const MgcVector3& b, const MgcVector3& c, const MgcVector3& d) {
  return (b - a).Cross(c - a).Dot(d - a);
}

/// Replaces the simplex by the smallest part of it that holds its closest
/// point to the origin and returns that point; true in `encloses` when the
/// tetrahedron holds the origin.
MgcVector3 reduce(Simplex& s, bool& encloses) {
  encloses = false;
  if (s.count == 1) return s.points[0];
  if (s.count == 2) return closestOnSegment(s);
  if (s.count == 3) {
    const MgcVector3 triangle[3] = {s.points[0], s.points[1], s.points[2]};
    return closestOnTriangle(triangle, s);
  }
  static constexpr int kFaces[4][4] = {{0, 1, 2, 3}, {0, 1, 3, 2}, {0, 2, 3, 1}, {1, 2, 3, 0}};
  const MgcVector3 origin;
  bool inside = true;
  bool outsideFace[4];
  for (int f = 0; f < 4; ++f) {
    const MgcVector3& a = s.points[kFaces[f][0]];
    const MgcVector3& b = s.points[kFaces[f][1]];
    const MgcVector3& c = s.points[kFaces[f][2]];
    const double opposite = sideOfPlane(a, b, c, s.points[kFaces[f][3]]);
    const double atOrigin = sideOfPlane(a, b, c, origin);
    outsideFace[f] = opposite * atOrigin < 0.0 || opposite == 0.0;
    inside = inside && opposite * atOrigin > 0.0;
  }
  if (inside) {
    encloses = true;
    return origin;
  }
  MgcVector3 best;
  Simplex bestKept;
  double bestDistance = -1.0;
  for (int f = 0; f < 4; ++f) {
    if (!outsideFace[f]) continue;
    const MgcVector3 triangle[3] = {s.points[kFaces[f][0]], s.points[kFaces[f][1]], s.points[kFaces[f][2]]};
    Simplex kept;
    const MgcVector3 closest = closestOnTriangle(triangle, kept);
    if (bestDistance < 0.0 || closest.SquaredLength() < bestDistance) {
      bestDistance = closest.SquaredLength();
      best = closest;
      bestKept = kept;
    }
  }
  s = bestKept;
  return best;
}

}  // namespace

SeparationResult searchSeparation(const PairSupport& shapes, const MgcVector3& start, std::uint32_t startA,
                                  std::uint32_t startB) {
  SeparationResult result;
  MgcVector3 v = start;
  if (v.Unitize(zov::kUnitizeTolerance) == 0.0) v = MgcVector3::UNIT_X;
  SupportPair pair = shapes.support(v, startA, startB);
  Simplex simplex;
  for (std::uint32_t step = 0; step < kMaxSeparationSteps; ++step) {
    const MgcVector3 w = pair.point();
    const double vw = v.Dot(w);
    const double vv = v.SquaredLength();
    if (vw > zov::kTolerance * std::sqrt(vv)) {
      // Every point x of B - A lies more than 1e-5 along v.
      result.apart = true;
      result.direction = v;
      result.direction.Unitize(zov::kUnitizeTolerance);
      result.pair = pair;
      return result;
    }
    if (step > 0 && vv - vw <= kStallRatio * vv) return result;
    simplex.points[simplex.count++] = w;
    bool encloses = false;
    v = reduce(simplex, encloses);
    if (encloses || v.SquaredLength() == 0.0 || simplex.count == 4) return result;
    // Round shapes take their support from a unit direction.
    MgcVector3 direction = v;
    direction.Unitize(zov::kUnitizeTolerance);
    pair = shapes.support(direction, pair.vertexA, pair.vertexB);
  }
  return result;
}

namespace {

/// Relative and absolute shortfall of the lower bound within which the
/// distance search has converged.
constexpr double kDistanceRelative = 1e-9;
constexpr double kDistanceAbsolute = 1e-9;
/// The shortfall of the lower bound, relative to the distance, beyond which
/// a search that meets a support point again has stalled.
constexpr double kStalledShortfall = 1e-6;
/// Closer than this the shapes count as touching.
constexpr double kTouchingDistance = 1e-7;

/// Up to four support pairs of the difference shape.
struct PairSimplex {
  SupportPair pairs[4];
  int count = 0;
};

/// The closest point of the simplex to the origin, with the weights of its
/// support pairs; the simplex keeps only the pairs with a weight. False when
/// a tetrahedron holds the origin.
bool closestOfSimplex(PairSimplex& s, double weights[4], MgcVector3& closest) {
  const MgcVector3 origin;
  if (s.count == 1) {
    weights[0] = 1.0;
    closest = s.pairs[0].point();
    return true;
  }
  if (s.count == 2) {
    const MgcVector3 a = s.pairs[0].point();
    const MgcVector3 ab = s.pairs[1].point() - a;
    const double lengthSq = ab.SquaredLength();
    double t = lengthSq > 0.0 ? -a.Dot(ab) / lengthSq : 0.0;
    if (t <= 0.0) {
      s.count = 1;
      weights[0] = 1.0;
      closest = a;
      return true;
    }
    if (t >= 1.0) {
      s.pairs[0] = s.pairs[1];
      s.count = 1;
      weights[0] = 1.0;
      closest = s.pairs[0].point();
      return true;
    }
    weights[0] = 1.0 - t;
    weights[1] = t;
    closest = a + ab * t;
    return true;
  }
  // A triangle is its own best face; a tetrahedron that does not hold the
  // origin has its closest point on one of its faces.
  static constexpr int kFaces[4][4] = {{0, 1, 2, 3}, {0, 1, 3, 2}, {0, 2, 3, 1}, {1, 2, 3, 0}};
  const int faces = s.count == 3 ? 1 : 4;
  if (s.count == 4) {
    bool inside = true;
    for (int f = 0; f < 4 && inside; ++f) {
      const MgcVector3 a = s.pairs[kFaces[f][0]].point();
      const MgcVector3 b = s.pairs[kFaces[f][1]].point();
      const MgcVector3 c = s.pairs[kFaces[f][2]].point();
      const double opposite = sideOfPlane(a, b, c, s.pairs[kFaces[f][3]].point());
      inside = opposite * sideOfPlane(a, b, c, origin) > 0.0;
    }
    if (inside) return false;
  }
  double bestDistance = -1.0;
  PairSimplex best;
  double bestWeights[4] = {0.0, 0.0, 0.0, 0.0};
  for (int f = 0; f < faces; ++f) {
    const MgcVector3 triangle[3] = {s.pairs[kFaces[f][0]].point(), s.pairs[kFaces[f][1]].point(),
                                    s.pairs[kFaces[f][2]].point()};
    double w[4];
    triangleClosestPointWeights(triangle, origin, w);
    MgcVector3 point;
    PairSimplex kept;
    double keptWeights[4] = {0.0, 0.0, 0.0, 0.0};
    for (int i = 0; i < 3; ++i) {
      if (w[i] <= 0.0) continue;
      point += triangle[i] * w[i];
      keptWeights[kept.count] = w[i];
      kept.pairs[kept.count++] = s.pairs[kFaces[f][i]];
    }
    if (kept.count == 0) continue;
    if (bestDistance < 0.0 || point.SquaredLength() < bestDistance) {
      bestDistance = point.SquaredLength();
      best = kept;
      std::copy(keptWeights, keptWeights + 4, bestWeights);
      closest = point;
    }
  }
  if (bestDistance < 0.0) return false;
  s = best;
  std::copy(bestWeights, bestWeights + 4, weights);
  return true;
}

}  // namespace

DistanceResult searchDistance(const PairSupport& shapes, const MgcVector3& start, std::uint32_t startA,
                              std::uint32_t startB, double reach) {
  DistanceResult result;
  MgcVector3 d = start;
  if (d.Unitize(zov::kUnitizeTolerance) == 0.0) d = MgcVector3::UNIT_X;
  SupportPair pair = shapes.support(d, startA, startB);
  PairSimplex simplex;
  double weights[4] = {1.0, 0.0, 0.0, 0.0};
  MgcVector3 v;
  bool haveV = false;
  // The lower bound a stalled search ends with; negative while it runs.
  double stalledBound = -1.0;
  for (std::uint32_t step = 0; step < kMaxSeparationSteps; ++step) {
    const MgcVector3 w = pair.point();
    if (haveV) {
      const double length = v.Length();
      // Every point of B - A lies at least `bound` along v's direction.
      const double bound = v.Dot(w) / length;
      if (bound >= reach) {
        result.apart = true;
        result.beyond = true;
        result.distance = bound;
        result.direction = v / length;
        result.pair = pair;
        return result;
      }
      if (length - bound <= kDistanceRelative * length + kDistanceAbsolute) break;
    }
    // A point the simplex already holds adds nothing: converged within rounding.
    bool repeated = false;
    for (int i = 0; i < simplex.count; ++i) {
      repeated = repeated || (simplex.pairs[i].vertexA == pair.vertexA && simplex.pairs[i].vertexB == pair.vertexB);
    }
    // A support point the simplex holds ends the search: within rounding of
    // the distance it is converged. Otherwise rounding has stalled it short
    // of the distance, as on a long thin face of the difference shape (an
    // edge lying along a wide face, a hair above it), but its lower bound
    // still holds: shapes it sets further apart than touching stand apart by
    // at least that. Below, the distance is not known.
    if (repeated) {
      const double length = v.Length();
      const double bound = v.Dot(w) / length;
      if (length - bound > kStalledShortfall * length) {
        if (!(bound > kTouchingDistance)) return result;
        stalledBound = bound;
      }
      break;
    }
    simplex.pairs[simplex.count++] = pair;
    if (!closestOfSimplex(simplex, weights, v)) return result;
    haveV = true;
    if (v.Length() <= kTouchingDistance) return result;
    pair = shapes.support(v / v.Length(), pair.vertexA, pair.vertexB);
  }
  if (!haveV || v.Length() <= kTouchingDistance) return result;
  result.apart = true;
  const double length = v.Length();
  result.distance = stalledBound > 0.0 ? stalledBound : length;
  result.direction = v / length;
  for (int i = 0; i < simplex.count; ++i) {
    result.pointA += simplex.pairs[i].pointA * weights[i];
    result.pointB += simplex.pairs[i].pointB * weights[i];
  }
  result.pair = shapes.support(result.direction, pair.vertexA, pair.vertexB);
  return result;
}
