#include "math/PolygonClipping.h"

#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

// The point where the edge from a to b crosses the plane, from the signed
// distances of its ends.
MgcVector3 planeCrossing(const MgcVector3& a, double da, const MgcVector3& b, double db) {
  return b + (a - b) * (db / (db - da));
}

}  // namespace

bool splitPolygonByPlane(const MgcVector3& normal, double constant, std::uint32_t& count, MgcVector3* vertices) {
  const std::uint32_t n = count;
  if (n > kMaxClipVertices) return false;

  double distance[kMaxClipVertices];
  std::uint32_t positive = 0;
  std::uint32_t negative = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    distance[i] = normal.Dot(vertices[i]) - constant;
    if (distance[i] > 0.0) ++positive;
    if (distance[i] < 0.0) ++negative;
  }
  if (positive == 0) {
    count = 0;
    return true;
  }
  if (negative == 0) return true;

  // Walk the edges, keeping the positive vertices and adding a crossing
  // point at every change between the positive side and the rest.
  MgcVector3 clipped[kMaxClipVertices + 1];
  const std::uint32_t room = n + 1;
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t next = i + 1 < n ? i + 1 : 0;
    const bool inside = distance[i] > 0.0;
    if (inside) {
      if (kept == room) return false;
      clipped[kept++] = vertices[i];
    }
    if (inside != (distance[next] > 0.0)) {
      if (kept == room) return false;
      clipped[kept++] = planeCrossing(vertices[i], distance[i], vertices[next], distance[next]);
    }
  }
  for (std::uint32_t i = 0; i < kept; ++i) vertices[i] = clipped[i];
  count = kept;
  return true;
}

bool intersectLines2D(const MgcVector3& P0, const MgcVector3& D0, const MgcVector3& Q0, const MgcVector3& D1,
                      MgcVector3& E, double& squaredLengthD0, int& count, double parameters[2]) {
  const double cross = D1.x * D0.y - D0.x * D1.y;
  E = Q0 - P0;
  squaredLengthD0 = D0.SquaredLength();
  const double squaredLengthD1 = D1.SquaredLength();
  const double squaredLengthE = E.SquaredLength();

  if (cross * cross > squaredLengthD1 * squaredLengthD0 * zov::kTolerance) {
    count = 1;
    parameters[0] = (D1.x * E.y - D1.y * E.x) / cross;
    parameters[1] = (D0.x * E.y - E.x * D0.y) / cross;
    return true;
  }

  if (squaredLengthD0 > 0.0) {
    const double k = E.y * D0.x - E.x * D0.y;
    count = k * k > squaredLengthE * squaredLengthD0 * zov::kTolerance ? 0 : 2;
  } else if (squaredLengthD1 > 0.0) {
    // The first "line" is the point P0: the same line only when it lies on
    // the second one.
    const double k = E.y * D1.x - E.x * D1.y;
    count = k * k > squaredLengthE * squaredLengthD1 * zov::kTolerance ? 0 : 2;
  } else {
    count = squaredLengthE > 0.0 ? 0 : 2;
  }
  return count != 0;
}

bool intersectSegments2D(const MgcVector3& P0, const MgcVector3& P1, const MgcVector3& Q0, const MgcVector3& Q1,
                         int& count, double parameters[2]) {
  const MgcVector3 D0 = P1 - P0;
  const MgcVector3 D1 = Q1 - Q0;
  MgcVector3 E;
  double squaredLengthD0 = 0.0;
  intersectLines2D(P0, D0, Q0, D1, E, squaredLengthD0, count, parameters);
  if (count == 0) return false;

  if (count == 1) {
    const double s = parameters[0];
    const double t = parameters[1];
    if (!(s >= 0.0 && s <= 1.0 && t >= 0.0 && t <= 1.0)) count = 0;
    return count != 0;
  }

  if (squaredLengthD0 == 0.0) {
    // The first segment is a point on the second segment's line: it meets
    // the segment when it lies between its ends.
    const double squaredLengthD1 = D1.SquaredLength();
    const double t = squaredLengthD1 > 0.0 ? -E.Dot(D1) / squaredLengthD1 : 0.0;
    if (t < 0.0 || t > 1.0) {
      count = 0;
      return false;
    }
    count = 1;
    parameters[0] = 0.0;
    parameters[1] = t;
    return true;
  }

  // Collinear: the second segment covers [lo, hi] along D0 (in units of D0.D0).
  const double delta = D0.Dot(D1);
  const double s0 = D0.Dot(E);
  const double lo = delta > 0.0 ? s0 : s0 + delta;
  const double hi = delta > 0.0 ? s0 + delta : s0;
  if (hi < 0.0 || lo > squaredLengthD0) {
    count = 0;
  } else if (hi == 0.0) {
    count = 1;
    parameters[0] = 0.0;
  } else if (lo == squaredLengthD0) {
    count = 1;
    parameters[0] = 1.0;
  } else {
    count = 2;
    parameters[0] = (lo > 0.0 ? lo : 0.0) / squaredLengthD0;
    parameters[1] = hi > squaredLengthD0 ? 1.0 : hi / squaredLengthD0;
  }
  return count != 0;
}

bool pointInConvexPolygon(const MgcVector3& q, const MgcVector3* vertices, std::uint32_t count,
                          const MgcVector3& normal, std::uint32_t& failingEdge) {
  constexpr std::uint32_t kFewestVertices = 3;
  if (count < kFewestVertices) {
    failingEdge = 0;
    return false;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    const MgcVector3& start = vertices[i];
    const MgcVector3& end = vertices[(i + 1) % count];
    const MgcVector3& after = vertices[(i + 2) % count];
    // The edge's outward direction: the polygon lies on its non-positive side.
    MgcVector3 outward = (end - start).Cross(normal);
    outward.Unitize(zov::kUnitizeTolerance);
    if ((after - end).Dot(outward) > zov::kTolerance) outward = -outward;
    MgcVector3 toPoint = q - end;
    toPoint.Unitize(zov::kUnitizeTolerance);
    if (!(toPoint.Dot(outward) < zov::kTolerance)) {
      failingEdge = i;
      return false;
    }
  }
  return true;
}

bool polygonSegmentIntersections(const MgcVector3* vertices, std::uint32_t count, const MgcVector3& a,
                                 const MgcVector3& b, std::uint32_t& found, MgcVector3 points[3]) {
  constexpr std::uint32_t kMostPoints = 3;
  found = 0;
  for (std::uint32_t i = 0; i < count && found < kMostPoints; ++i) {
    const MgcVector3& start = vertices[i];
    const MgcVector3& end = vertices[i + 1 < count ? i + 1 : 0];
    int meeting = 0;
    double parameters[2] = {0.0, 0.0};
    if (!intersectSegments2D(start, end, a, b, meeting, parameters)) continue;
    const MgcVector3 point = start + (end - start) * parameters[0];
    bool known = false;
    for (std::uint32_t k = 0; k < found && !known; ++k) {
      known = (points[k] - point).SquaredLength() < zov::kTolerance;
    }
    if (!known) points[found++] = point;
  }
  return found > 0;
}

void sphereSphereContact(const MgcVector3& c0, double r0, const MgcVector3& c1, double r1, MgcVector3& point,
                         MgcVector3& normal, double& depth) {
  MgcVector3 d = c1 - c0;
  double overlap = 0.0;
  if (d.SquaredLength() > zov::kTolerance) {
    overlap = r0 + r1 - d.Length();
  } else {
    d = MgcVector3::UNIT_X;
    overlap = r0 > r1 ? r0 : r1;
  }
  depth = -overlap;
  d.Unitize(zov::kUnitizeTolerance);
  normal = d;
  point = c0 + normal * r0;
}

double distanceSq_pt2seg(const MgcVector3& p, const MgcVector3& a, const MgcVector3& b, double& t) {
  const MgcVector3 d = b - a;
  const double squaredLength = d.SquaredLength();
  if (squaredLength < zov::kTolerance) {
    t = 0.0;
    return (p - a).SquaredLength();
  }
  t = (p - a).Dot(d) / squaredLength;
  MgcVector3 closest;
  if (t <= 0.0) {
    t = 0.0;
    closest = a;
  } else if (t >= 1.0) {
    t = 1.0;
    closest = b;
  } else {
    closest = a + d * t;
  }
  return (p - closest).SquaredLength();
}

int compareU32(const void* first, const void* second) {
  const std::uint32_t a = *static_cast<const std::uint32_t*>(first);
  const std::uint32_t b = *static_cast<const std::uint32_t*>(second);
  if (a > b) return 1;
  if (a < b) return -1;
  return 0;
}
