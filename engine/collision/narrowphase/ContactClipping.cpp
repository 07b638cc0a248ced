#include "engine/collision/narrowphase/ContactClipping.h"

#include <cmath>

#include "math/DistanceQueries.h"
#include "math/PolygonClipping.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;
using zov::kTolerance;

namespace {

/// Room for a polygon while it is clipped: each clipping line adds at most
/// one point to a convex polygon.
constexpr std::uint32_t kClipRoom = kMaxPolygonClipPoints + 2;

/// Keeps the part of the polygon on the inner side of the line through
/// `origin` with in-plane normal `inward`; a point up to 1e-5 outside counts
/// as inside, so that shared borders keep their points.
std::uint32_t clipByLine(const MgcVector3* in, std::uint32_t count, const MgcVector3& origin, const MgcVector3& inward,
                         MgcVector3* out) {
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < count && kept < kClipRoom; ++i) {
    const MgcVector3& p = in[i];
    const MgcVector3& q = in[(i + 1) % count];
    const double sp = (p - origin).Dot(inward);
    const double sq = (q - origin).Dot(inward);
    const bool pInside = sp >= -kTolerance;
    if (pInside) out[kept++] = p;
    if (pInside != (sq >= -kTolerance) && kept < kClipRoom) {
      // The crossing of the line itself; a point kept by the tolerance may
      // put it just beyond the side.
      double t = sp / (sp - sq);
      t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
      out[kept++] = p + (q - p) * t;
    }
  }
  return kept;
}

/// Drops repeated points and points within 1e-5 of the chord of their
/// neighbours, keeping at least one point.
std::uint32_t dropCollinear(MgcVector3* points, std::uint32_t count) {
  bool changed = true;
  while (changed && count > 1) {
    changed = false;
    for (std::uint32_t i = 0; i < count && count > 1; ++i) {
      const MgcVector3& previous = points[(i + count - 1) % count];
      const MgcVector3& next = points[(i + 1) % count];
      bool drop = (points[i] - previous).SquaredLength() < kTolerance * kTolerance;
      if (!drop && count > 2) {
        double t = 0.0;
        drop = distanceSq_pt2seg(points[i], previous, next, t) < kTolerance * kTolerance;
      }
      if (drop) {
        for (std::uint32_t k = i + 1; k < count; ++k) points[k - 1] = points[k];
        --count;
        changed = true;
      }
    }
  }
  return count;
}

}  // namespace

std::uint32_t clipPolygonToPolygon(const MgcVector3* polygonA, std::uint32_t countA, const MgcVector3& normal,
                                   const MgcVector3* polygonB, std::uint32_t countB, MgcVector3* out) {
  if (countA < 3 || countB < 3) return 0;
  if (countA > kMaxFaceCorners) countA = kMaxFaceCorners;
  if (countB > kMaxFaceCorners) countB = kMaxFaceCorners;

  // B's winding about the normal decides which side of each edge is inside.
  MgcVector3 area;
  for (std::uint32_t i = 0; i < countB; ++i) area += polygonB[i].Cross(polygonB[(i + 1) % countB]);
  const double winding = area.Dot(normal) >= 0.0 ? 1.0 : -1.0;

  MgcVector3 buffers[2][kClipRoom];
  std::uint32_t count = countA;
  for (std::uint32_t i = 0; i < countA; ++i) buffers[0][i] = polygonA[i];
  int current = 0;
  for (std::uint32_t i = 0; i < countB && count > 0; ++i) {
    const MgcVector3& origin = polygonB[i];
    MgcVector3 inward = normal.Cross(polygonB[(i + 1) % countB] - origin) * winding;
    if (inward.Unitize(zov::kUnitizeTolerance) == 0.0) continue;
    count = clipByLine(buffers[current], count, origin, inward, buffers[1 - current]);
    current = 1 - current;
  }
  count = dropCollinear(buffers[current], count);
  if (count > kMaxPolygonClipPoints) count = kMaxPolygonClipPoints;
  for (std::uint32_t i = 0; i < count; ++i) out[i] = buffers[current][i];
  return count;
}

double closestSegmentPolygon(const MgcVector3& start, const MgcVector3& end, const MgcVector3* polygon,
                             std::uint32_t count, const MgcVector3& /*normal*/, MgcVector3& onSegment,
                             MgcVector3& onPolygon) {
  if (count == 0) return zov::kMaxFloat;
  if (count == 1) {
    double t = 0.0;
    const double distance = distanceSq_pt2seg(polygon[0], start, end, t);
    onSegment = start + (end - start) * t;
    onPolygon = polygon[0];
    return distance;
  }
  if (count == 2) {
    double s = 0.0;
    double t = 0.0;
    const double distance = distanceSq_seg2seg(start, end, polygon[0], polygon[1], s, t);
    onSegment = start + (end - start) * s;
    onPolygon = polygon[0] + (polygon[1] - polygon[0]) * t;
    return distance;
  }
  double best = zov::kMaxFloat;
  for (std::uint32_t k = 2; k < count && k < kMaxFaceCorners; ++k) {
    const MgcVector3 triangle[3] = {polygon[0], polygon[k - 1], polygon[k]};
    double r = 0.0;
    double s = 0.0;
    double t = 0.0;
    const double distance = segmentTriangleDistanceSq(start, end, triangle, r, s, t);
    if (distance < best) {
      best = distance;
      onSegment = start + (end - start) * r;
      onPolygon = triangle[0] + (triangle[1] - triangle[0]) * s + (triangle[2] - triangle[0]) * t;
    }
  }
  return best;
}
