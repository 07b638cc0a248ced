#include "geometry/ContactBuilders.h"

#include <cmath>

#include "geometry/ZOVmesh.h"
#include "math/DistanceQueries.h"
#include "math/PolygonClipping.h"
#include "math/Tolerances.h"
#include "math/TrianglePredicates.h"

using Mgc::MgcVector3;
using zov::kTolerance;
using zov::kUnitizeTolerance;

namespace {

// A plane frame: origin and two in-plane unit axes; 2D points carry z = 0.
struct PlaneFrame {
  MgcVector3 origin, u, v;
  MgcVector3 to2D(const MgcVector3& p) const {
    const MgcVector3 offset = p - origin;
    return {offset.Dot(u), offset.Dot(v), 0.0};
  }
  MgcVector3 to3D(const MgcVector3& p) const { return origin + u * p.x + v * p.y; }
};

PlaneFrame frameAt(const MgcVector3& origin, const MgcVector3& towards, const MgcVector3& normal) {
  PlaneFrame frame;
  frame.origin = origin;
  frame.u = towards - origin;
  frame.u.Unitize(kUnitizeTolerance);
  frame.v = frame.u.Cross(normal);
  return frame;
}

// True when p0, p1, p2 wind clockwise about the normal (or nearly collinear):
// the 2D frames of frameAt then need the other order to run counter-clockwise.
bool windsAgainst(const MgcVector3& p0, const MgcVector3& p1, const MgcVector3& p2, const MgcVector3& normal) {
  return (p2 - p1).Cross(p1 - p0).Dot(normal) < kTolerance;
}

// One reference face of triTriContact: clip, then move the points along the
// reference normal onto the other triangle's plane.
bool referenceContact(const MgcVector3 ref[3], const MgcVector3& refNormal, const MgcVector3 other[3],
                      const MgcVector3& otherNormal, double leastPenetration, double normalSign,
                      MgcVector3 points[kMaxTriangleContacts], MgcVector3& normal, std::uint32_t& count,
                      double& depth) {
  MgcVector3 clipped[kMaxTriangleContacts];
  const std::uint32_t k = triangleContactPoints(ref, refNormal, other, clipped);
  if (k == 0) {
    count = 0;
    return false;
  }
  normal = refNormal * normalSign;
  const double cosine = refNormal.Dot(otherNormal);
  if (std::fabs(cosine) <= kTolerance) {
    // Faces at right angles: no motion along the reference normal reaches the
    // other plane, so the points stay where they were clipped.
    for (std::uint32_t i = 0; i < k; ++i) points[i] = clipped[i];
    count = k;
    depth = leastPenetration;
    return true;
  }
  std::uint32_t deepest = 0;
  double least = 0.0;
  for (std::uint32_t i = 0; i < k; ++i) {
    const double travel = (other[0] - clipped[i]).Dot(otherNormal) / cosine;
    if (i == 0 || travel < least) {
      least = travel;
      deepest = i;
    }
  }
  depth = least > -kTolerance ? 0.0 : least;
  if (std::fabs(cosine) > zov::kUnitLow) {
    // Near-parallel faces touch over an area: every clipped point counts.
    for (std::uint32_t i = 0; i < k; ++i) points[i] = clipped[i] + refNormal * depth;
    count = k;
  } else {
    points[0] = clipped[deepest] + refNormal * depth;
    count = 1;
  }
  return true;
}

// Johnson's sub-determinants of a triangle's points relative to the query,
// y_i = point i - query: one for each member of each sub-simplex.
struct SimplexDeterminants {
  double pair[3][2];   // (0,1), (0,2), (1,2): the determinant of each member
  double triangle[3];  // (0,1,2)
};

constexpr int kPairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};

SimplexDeterminants johnsonDeterminants(const MgcVector3 y[3]) {
  SimplexDeterminants det;
  // Delta_j(X + j) = sum over i in X of Delta_i(X) ((y_k - y_j) . y_i), k the
  // first member of X; for one-point sets Delta = 1.
  for (int p = 0; p < 3; ++p) {
    const int i = kPairs[p][0];
    const int j = kPairs[p][1];
    det.pair[p][0] = (y[j] - y[i]).Dot(y[j]);
    det.pair[p][1] = (y[i] - y[j]).Dot(y[i]);
  }
  // Adding vertex 2 to {0,1}, vertex 1 to {0,2}, vertex 0 to {1,2}.
  det.triangle[2] = det.pair[0][0] * (y[0] - y[2]).Dot(y[0]) + det.pair[0][1] * (y[0] - y[2]).Dot(y[1]);
  det.triangle[1] = det.pair[1][0] * (y[0] - y[1]).Dot(y[0]) + det.pair[1][1] * (y[0] - y[1]).Dot(y[2]);
  det.triangle[0] = det.pair[2][0] * (y[1] - y[0]).Dot(y[1]) + det.pair[2][1] * (y[1] - y[0]).Dot(y[2]);
  return det;
}

}  // namespace

bool capsulePlaneContact(const ZOVcapsule& capsule, const MgcVector3& planePoint, const MgcVector3& planeNormal,
                         MgcVector3 points[kMaxCapsuleContacts], MgcVector3& normal, std::uint32_t& count,
                         double& depth) {
  const MgcVector3 upper = upperEnd(capsule);
  const MgcVector3 lower = lowerEnd(capsule);
  const MgcVector3 drop = planeNormal * capsule.radius;
  const MgcVector3 axis = lower - upper;
  if (axis.SquaredLength() < kTolerance) {
    points[0] = upper - drop;
    count = 1;
  } else if (std::fabs(axis.Dot(planeNormal)) < kTolerance) {
    points[0] = upper - drop;
    points[1] = lower - drop;
    count = 2;
  } else {
    const double upperDistance = (upper - planePoint).Dot(planeNormal);
    const double lowerDistance = (lower - planePoint).Dot(planeNormal);
    points[0] = (upperDistance < lowerDistance ? upper : lower) - drop;
    count = 1;
  }
  depth = (points[0] - planePoint).Dot(planeNormal);
  normal = planeNormal;
  return true;
}

bool capsuleCapsuleContact(const ZOVcapsule& a, const ZOVcapsule& b, MgcVector3& point, MgcVector3& normal,
                           double& depth) {
  const MgcVector3 lowerA = lowerEnd(a);
  const MgcVector3 lowerB = lowerEnd(b);
  const MgcVector3 axisA = upperEnd(a) - lowerA;
  const MgcVector3 axisB = upperEnd(b) - lowerB;
  double s = 0.0;
  double t = 0.0;
  distanceSq_seg2seg(lowerA, lowerA + axisA, lowerB, lowerB + axisB, s, t);
  sphereSphereContact(lowerA + axisA * s, a.radius, lowerB + axisB * t, b.radius, point, normal, depth);
  return true;
}

bool capsuleTriangleContact(const ZOVcapsule& capsule, const MgcVector3 triangle[3], const MgcVector3& triangleNormal,
                            MgcVector3 points[kMaxCapsuleContacts], MgcVector3& normal, std::uint32_t& count,
                            double& depth) {
  const MgcVector3 upper = upperEnd(capsule);
  const MgcVector3 lower = lowerEnd(capsule);
  const double radius = capsule.radius;
  const MgcVector3& base = triangle[0];

  if ((lower - upper).SquaredLength() < kTolerance) {
    // A sphere: against the face when it lies over it, else against the
    // nearest point of the boundary, as a segment beside the triangle is.
    double s = 0.0;
    double t = 0.0;
    const double distance = distanceSq_pt2tri(upper, triangle, s, t);
    const MgcVector3 closest = triangle[0] + (triangle[1] - triangle[0]) * s + (triangle[2] - triangle[0]) * t;
    const MgcVector3 offset = upper - closest;
    const MgcVector3 sideways = offset - triangleNormal * offset.Dot(triangleNormal);
    normal = triangleNormal;
    if (sideways.SquaredLength() < kTolerance) {
      points[0] = upper - triangleNormal * radius;
      depth = (points[0] - base).Dot(triangleNormal);
    } else {
      normal = offset;
      normal.Unitize(kUnitizeTolerance);
      depth = std::sqrt(distance) - radius;
      points[0] = upper - normal * radius;
    }
    count = 1;
    return true;
  }

  // Each call clips into its own buffer: the collision workers run this at once.
  MgcVector3 clipped[2];
  const std::uint32_t k = clipSegmentToPolygon(upper, lower, triangle, 3, triangleNormal, clipped);
  if (k > 0) {
    const double d0 = (clipped[0] - base).Dot(triangleNormal);
    double height = d0;
    count = 1;
    if (k == 2) {
      const double d1 = (clipped[1] - base).Dot(triangleNormal);
      if (std::fabs(d1 - d0) < kTolerance) {
        count = 2;
        height = d1;
      } else if (d0 > d1) {
        clipped[0] = clipped[1];
        height = d1;
      }
    }
    normal = triangleNormal;
    depth = height - radius;
    for (std::uint32_t i = 0; i < count; ++i) points[i] = clipped[i] - triangleNormal * radius;
    return true;
  }

  // The segment passes beside the triangle: its nearest edge decides.
  double best = 0.0;
  MgcVector3 onSegment;
  MgcVector3 onEdge;
  for (int edge = 0; edge < 3; ++edge) {
    const MgcVector3& start = triangle[edge];
    const MgcVector3& end = triangle[(edge + 1) % 3];
    double s = 0.0;
    double t = 0.0;
    const double distance = distanceSq_seg2seg(upper, lower, start, end, s, t);
    if (edge == 0 || distance < best) {
      best = distance;
      onSegment = upper + (lower - upper) * s;
      onEdge = start + (end - start) * t;
    }
  }
  normal = onSegment - onEdge;
  // A segment touching the edge has no direction of its own: take the face's.
  if (normal.Unitize(kUnitizeTolerance) == 0.0) normal = triangleNormal;
  depth = std::sqrt(best) - radius;
  points[0] = onSegment - normal * radius;
  count = 1;
  return true;
}

bool triTriContact(const MgcVector3 A[3], const MgcVector3& normalA, const MgcVector3 B[3], const MgcVector3& normalB,
                   MgcVector3 points[kMaxTriangleContacts], MgcVector3& normal, std::uint32_t& count, double& depth) {
  double penetrationA = 0.0;
  double penetrationB = 0.0;
  for (int i = 0; i < 3; ++i) {
    penetrationA = std::fmin(penetrationA, (B[i] - A[0]).Dot(normalA));
    penetrationB = std::fmin(penetrationB, (A[i] - B[0]).Dot(normalB));
  }
  if (penetrationA >= penetrationB)
    return referenceContact(A, normalA, B, normalB, penetrationA, -1.0, points, normal, count, depth);
  return referenceContact(B, normalB, A, normalA, penetrationB, 1.0, points, normal, count, depth);
}

std::uint32_t triangleContactPoints(const MgcVector3 A[3], const MgcVector3& normalA, const MgcVector3 B[3],
                                    MgcVector3 points[kMaxTriangleContacts]) {
  const PlaneFrame frame = frameAt(A[0], A[1], normalA);
  MgcVector3 corner[3] = {MgcVector3::ZERO, frame.to2D(A[1]), frame.to2D(A[2])};
  if (windsAgainst(A[0], A[1], A[2], normalA)) {
    const MgcVector3 swap = corner[1];
    corner[1] = corner[2];
    corner[2] = swap;
  }

  // B's shadow clipped by the three edge lines of A (now counter-clockwise),
  // keeping A's side. Each clip adds at most one point, so the polygon ends
  // with at most 6; the array has room for the point a clip may add.
  MgcVector3 polygon[kMaxTriangleContacts + 1] = {frame.to2D(B[0]), frame.to2D(B[1]), frame.to2D(B[2])};
  std::uint32_t n = 3;
  constexpr int kEdgeOrder[3][2] = {{2, 0}, {0, 1}, {1, 2}};  // from corner j to corner i
  for (const auto& edge : kEdgeOrder) {
    const MgcVector3& from = corner[edge[0]];
    const MgcVector3& to = corner[edge[1]];
    const MgcVector3 inward(from.y - to.y, to.x - from.x, 0.0);
    if (!splitPolygonByPlane(inward, inward.Dot(from), n, polygon) || n == 0) return 0;
  }

  // Thinning. Clips through a corner can put copies of it anywhere in the
  // list; they go first (within the degenerate-edge tolerance of the point
  // kept before them, or of the first point at the end), so that a corner
  // keeps exactly one copy.
  MgcVector3 distinct[kMaxTriangleContacts];
  std::uint32_t m = 0;
  distinct[m++] = polygon[0];
  for (std::uint32_t i = 1; i < n; ++i)
    if ((polygon[i] - distinct[m - 1]).SquaredLength() >= kTolerance) distinct[m++] = polygon[i];
  while (m > 1 && (distinct[m - 1] - distinct[0]).SquaredLength() < kTolerance) --m;

  // Then the points on the line through their neighbours (relative
  // tolerance 1e-5), each judged against the last point kept. The last point
  // closes the polygon: on one line with the last kept point and the first,
  // the one of the two farther from the first point stays.
  constexpr double kCollinear = kTolerance;
  MgcVector3 thinned[kMaxTriangleContacts];
  std::uint32_t kept = 0;
  thinned[kept++] = distinct[0];
  for (std::uint32_t i = 1; i + 1 < m; ++i)
    if (!isTriangleDegenerate(thinned[kept - 1], distinct[i], distinct[i + 1], true, kCollinear))
      thinned[kept++] = distinct[i];
  if (m >= 2) {
    const MgcVector3& first = distinct[0];
    const MgcVector3& last = distinct[m - 1];
    MgcVector3& previous = thinned[kept - 1];
    if (kept == 1 || !isTriangleDegenerate(previous, last, first, true, kCollinear))
      thinned[kept++] = last;
    else if ((last - first).SquaredLength() > (previous - first).SquaredLength())
      previous = last;
  }
  for (std::uint32_t i = 0; i < kept; ++i) points[i] = frame.to3D(thinned[i]);
  return kept;
}

std::uint32_t clipSegmentToPolygon(const MgcVector3& a, const MgcVector3& b, const MgcVector3* polygon,
                                   std::uint32_t count, const MgcVector3& polygonNormal, MgcVector3 points[2]) {
  if (count < 3 || count > kMaxFaceCorners) return 0;
  const PlaneFrame frame = frameAt(polygon[0], polygon[1], polygonNormal);
  const bool reverse = windsAgainst(polygon[0], polygon[1], polygon[2], polygonNormal);
  MgcVector3 flat[kMaxFaceCorners];
  flat[0] = frame.to2D(polygon[0]);
  for (std::uint32_t i = 1; i < count; ++i) flat[reverse ? count - i : i] = frame.to2D(polygon[i]);

  const MgcVector3 a2 = frame.to2D(a);
  const MgcVector3 b2 = frame.to2D(b);
  const auto inside = [&](const MgcVector3& q) {
    std::uint32_t failingEdge = 0;
    return pointInConvexPolygon(q, flat, count, MgcVector3::UNIT_Z, failingEdge);
  };

  MgcVector3 crossings[3];
  std::uint32_t found = 0;
  polygonSegmentIntersections(flat, count, a2, b2, found, crossings);
  MgcVector3 kept[2];
  std::uint32_t k = 0;
  if (found > 0) {
    kept[k++] = crossings[0];
    if (found > 1)
      kept[k++] = crossings[1];
    else if (inside(a2))
      kept[k++] = a2;
    else if (inside(b2))
      kept[k++] = b2;
  } else if (inside(a2)) {
    kept[k++] = a2;
    if (inside(b2)) kept[k++] = b2;
  }
  if (k == 0) return 0;

  // Back onto the segment: the point of ab whose shadow is the kept 2D point.
  // A segment along the normal has a point for a shadow and lies over the
  // polygon as a whole.
  const MgcVector3 shadow = b2 - a2;
  const double shadowLength = shadow.SquaredLength();
  if (shadowLength < kTolerance) {
    points[0] = a;
    points[1] = b;
    return 2;
  }
  for (std::uint32_t i = 0; i < k; ++i) {
    double along = (kept[i] - a2).Dot(shadow) / shadowLength;
    along = along < 0.0 ? 0.0 : (along > 1.0 ? 1.0 : along);
    points[i] = a + (b - a) * along;
  }
  return k;
}

bool triangleClosestPointWeights(const MgcVector3 triangle[3], const MgcVector3& query, double weights[4]) {
  const MgcVector3 y[3] = {triangle[0] - query, triangle[1] - query, triangle[2] - query};
  for (int i = 0; i < 4; ++i) weights[i] = 0.0;

  // A vertex region: moving towards either other vertex does not get closer.
  for (int i = 0; i < 3; ++i) {
    bool closest = true;
    for (int j = 0; j < 3 && closest; ++j)
      if (j != i) closest = y[i].Dot(y[i] - y[j]) <= 0.0;
    if (closest) {
      weights[i] = 1.0;
      return true;
    }
  }

  SimplexDeterminants det = johnsonDeterminants(y);
  // The face determinants add up to |(y1 - y0) x (y2 - y0)|^2. For collinear
  // corners they are rounding noise, which would let the face case accept
  // arbitrary weights: they count as 0, and the edges decide.
  const double faceSize = (y[1] - y[0]).SquaredLength() * (y[2] - y[0]).SquaredLength();
  if (det.triangle[0] + det.triangle[1] + det.triangle[2] <= zov::kCollinearRatio * faceSize) {
    for (double& value : det.triangle) value = 0.0;
  }
  for (int p = 0; p < 3; ++p) {
    const double first = det.pair[p][0];
    const double second = det.pair[p][1];
    const double sum = first + second;
    const int third = 3 - kPairs[p][0] - kPairs[p][1];
    if (sum > 0.0 && first > 0.0 && second > 0.0 && det.triangle[third] <= 0.0) {
      weights[kPairs[p][0]] = first / sum;
      weights[kPairs[p][1]] = second / sum;
      return true;
    }
  }
  const double faceSum = det.triangle[0] + det.triangle[1] + det.triangle[2];
  if (faceSum > 0.0 && det.triangle[0] > 0.0 && det.triangle[1] > 0.0 && det.triangle[2] > 0.0) {
    for (int i = 0; i < 3; ++i) weights[i] = det.triangle[i] / faceSum;
    return true;
  }

  // Rounding left no case accepted: the qualifying sub-simplex nearest to the
  // query wins (vertices always qualify), the first among equals.
  double best = zov::kMaxFloat;
  double bestWeights[3] = {0.0, 0.0, 0.0};
  const auto consider = [&](const double candidate[3]) {
    const MgcVector3 point = y[0] * candidate[0] + y[1] * candidate[1] + y[2] * candidate[2];
    const double distance = std::fabs(point.SquaredLength());
    if (distance < best) {
      best = distance;
      for (int i = 0; i < 3; ++i) bestWeights[i] = candidate[i];
    }
  };
  for (int i = 0; i < 3; ++i) {
    double candidate[3] = {0.0, 0.0, 0.0};
    candidate[i] = 1.0;
    consider(candidate);
  }
  for (int p = 0; p < 3; ++p) {
    const double sum = det.pair[p][0] + det.pair[p][1];
    if (!(sum > 0.0 && det.pair[p][0] > 0.0 && det.pair[p][1] > 0.0)) continue;
    double candidate[3] = {0.0, 0.0, 0.0};
    candidate[kPairs[p][0]] = det.pair[p][0] / sum;
    candidate[kPairs[p][1]] = det.pair[p][1] / sum;
    consider(candidate);
  }
  if (faceSum > 0.0 && det.triangle[0] > 0.0 && det.triangle[1] > 0.0 && det.triangle[2] > 0.0) {
    const double candidate[3] = {det.triangle[0] / faceSum, det.triangle[1] / faceSum, det.triangle[2] / faceSum};
    consider(candidate);
  }
  for (int i = 0; i < 3; ++i) weights[i] = bestWeights[i];
  return true;
}
