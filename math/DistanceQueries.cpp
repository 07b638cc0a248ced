#include "math/DistanceQueries.h"

#include <cmath>
#include <limits>

#include "math/PolygonClipping.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;
using zov::kTolerance;

namespace {

double clampUnit(double value) { return value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value); }

// The quadratic Q(s, t) = |P0 + s D0 - Q0 - t D1|^2 of two segments, written
// Q = a s^2 + 2 b s t + c t^2 + 2 d s + 2 e t + f.
struct SegmentPairQuadratic {
  double a, b, c, d, e, f;
};

// The exact minimum of Q on the unit square, for the pairs the parallel rules
// cannot take: a segment shorter than the tolerance, or short segments whose
// small Gram determinant does not come from parallel directions. It is the
// free minimiser when that lies in the square, else the best of the square's
// four edges (an end of one segment against the other segment).
double exactSquareMinimum(const SegmentPairQuadratic& q, double det, double& s, double& t) {
  const auto value = [&q](double si, double ti) {
    return si * (q.a * si + q.b * ti + 2.0 * q.d) + ti * (q.b * si + q.c * ti + 2.0 * q.e) + q.f;
  };
  if (det > 0.0) {
    const double sN = q.b * q.e - q.c * q.d;
    const double tN = q.b * q.d - q.a * q.e;
    if (sN >= 0.0 && sN <= det && tN >= 0.0 && tN <= det) {
      s = sN / det;
      t = tN / det;
      return value(s, t);
    }
  }
  s = 0.0;
  t = 0.0;
  double best = q.f;
  for (int edge = 0; edge < 4; ++edge) {
    // Edges 0, 1: s fixed, t free along Q; edges 2, 3: t fixed, s free along P.
    // A segment of zero length has no free direction to search.
    const bool alongQ = edge < 2;
    if ((alongQ ? q.c : q.a) <= 0.0) continue;
    const double fixed = alongQ ? edge : edge - 2;
    const double free = alongQ ? clampUnit(-(q.b * fixed + q.e) / q.c) : clampUnit(-(q.b * fixed + q.d) / q.a);
    const double si = alongQ ? fixed : free;
    const double ti = alongQ ? free : fixed;
    const double candidate = value(si, ti);
    if (candidate < best) {
      best = candidate;
      s = si;
      t = ti;
    }
  }
  return best;
}

// The parallel rules: the minimum lies at an end of one of the segments.
double parallelSegmentsValue(const SegmentPairQuadratic& q, double& s, double& t) {
  const double a = q.a, b = q.b, c = q.c, d = q.d, e = q.e, f = q.f;
  if (b > -kTolerance) {
    // Opposite directions.
    if (d > -kTolerance) {
      s = 0.0;
      t = 0.0;
      return f;
    }
    if (-d >= a) {
      s = 1.0;
      const double m = a + d;
      if (-m > b) {
        t = 1.0;
        return a + c + f + 2.0 * (b + d + e);
      }
      t = -m / b;
      return a + 2.0 * d + f + t * (c * t + 2.0 * (b + e));
    }
    s = -d / a;
    t = 0.0;
    return f - d * d / a;
  }
  // Same direction.
  if (-d > a) {
    s = 1.0;
    t = 0.0;
    return a + 2.0 * d + f;
  }
  if (d >= -kTolerance) {
    s = 0.0;
    if (d > -b) {
      t = 1.0;
      return c + 2.0 * e + f;
    }
    t = -d / b;
    return (2.0 * e + c * t) * t + f;
  }
  s = -d / a;
  t = 0.0;
  return f - d * d / a;
}

// s = 0, t minimising Q along that edge; `atStart` is the test on e that keeps t = 0.
double edgeAtSZero(const SegmentPairQuadratic& q, bool atStart, double& t) {
  if (atStart) {
    t = 0.0;
    return q.f;
  }
  if (-q.e > q.c) {
    t = 1.0;
    return q.c + 2.0 * q.e + q.f;
  }
  t = -q.e / q.c;
  return q.f - q.e * q.e / q.c;
}

// s = 1, t minimising Q along that edge.
double edgeAtSOne(const SegmentPairQuadratic& q, double& s, double& t) {
  s = 1.0;
  const double m = q.b + q.e;
  if (m > -kTolerance) {
    t = 0.0;
    return q.a + 2.0 * q.d + q.f;
  }
  if (-m > q.c) {
    t = 1.0;
    return q.a + q.c + q.f + 2.0 * (m + q.d);
  }
  t = -m / q.c;
  return m * t + q.a + 2.0 * q.d + q.f;
}

double nonParallelSegmentsValue(const SegmentPairQuadratic& q, double det, double& s, double& t) {
  const double a = q.a, b = q.b, c = q.c, d = q.d, e = q.e, f = q.f;
  const double sN = b * e - c * d;
  const double tN = b * d - a * e;
  // The minimiser of Q over the plane is (sN, tN) / det; it is classified
  // against the square with exact comparisons, so that a minimiser just before
  // a segment's start is clamped rather than returned outside the segment.
  enum Side { kLow, kMiddle, kHigh };
  const Side sSide = sN < 0.0 ? kLow : (sN >= det ? kHigh : kMiddle);
  const Side tSide = tN < 0.0 ? kLow : (tN >= det ? kHigh : kMiddle);

  if (sSide == kMiddle) {
    if (tSide == kMiddle) {
      s = sN / det;
      t = tN / det;
      return s * (a * s + b * t + 2.0 * d) + t * (b * s + c * t + 2.0 * e) + f;
    }
    if (tSide == kHigh) {
      t = 1.0;
      const double m = b + d;
      if (m > -kTolerance) {
        s = 0.0;
        return c + 2.0 * e + f;
      }
      if (-m > a) {
        s = 1.0;
        return a + c + f + 2.0 * (m + e);
      }
      s = -m / a;
      return m * s + c + 2.0 * e + f;
    }
    t = 0.0;
    if (d > -kTolerance) {
      s = 0.0;
      return f;
    }
    if (-d >= a) {
      s = 1.0;
      return a + 2.0 * d + f;
    }
    s = -d / a;
    return f - d * d / a;
  }

  if (sSide == kHigh) {
    if (tSide == kMiddle) return edgeAtSOne(q, s, t);
    if (tSide == kHigh) {
      const double m = b + d;
      if (a > -m) {
        t = 1.0;
        if (m > -kTolerance) {
          s = 0.0;
          return c + 2.0 * e + f;
        }
        s = -m / a;
        return m * s + c + 2.0 * e + f;
      }
      return edgeAtSOne(q, s, t);
    }
    if (a > -d) {
      t = 0.0;
      if (d > -kTolerance) {
        s = 0.0;
        return f;
      }
      s = -d / a;
      return f - d * d / a;
    }
    return edgeAtSOne(q, s, t);
  }

  // sSide == kLow
  if (tSide == kMiddle) {
    s = 0.0;
    return edgeAtSZero(q, e > 0.0, t);
  }
  if (tSide == kHigh) {
    const double m = b + d;
    if (m < 0.0) {
      t = 1.0;
      if (-m > a) {
        s = 1.0;
        return a + c + f + 2.0 * (m + e);
      }
      s = -m / a;
      return m * s + c + 2.0 * e + f;
    }
    s = 0.0;
    return edgeAtSZero(q, e > -kTolerance, t);
  }
  if (d < kTolerance) {
    t = 0.0;
    if (-d > a) {
      s = 1.0;
      return a + 2.0 * d + f;
    }
    s = -d / a;
    return f - d * d / a;
  }
  s = 0.0;
  return edgeAtSZero(q, e > -kTolerance, t);
}

// The closest point of a triangle to a point when the triangle has no area to
// speak of: the best of its three edges, turned into triangle parameters.
double degenerateTriangleDistanceSq(const MgcVector3& point, const MgcVector3 tri[3], double& s, double& t) {
  double u = 0.0;
  double best = distanceSq_pt2seg(point, tri[0], tri[1], u);
  s = u;
  t = 0.0;
  double candidate = distanceSq_pt2seg(point, tri[0], tri[2], u);
  if (candidate < best) {
    best = candidate;
    s = 0.0;
    t = u;
  }
  candidate = distanceSq_pt2seg(point, tri[1], tri[2], u);
  if (candidate < best) {
    best = candidate;
    s = 1.0 - u;
    t = u;
  }
  return best;
}

// The triangle parameters of a point at parameter u along edge 0 (t0-t1),
// edge 1 (t0-t2) or edge 2 (t1-t2).
void edgeToTriangleParameters(int edge, double u, double& s, double& t) {
  switch (edge) {
    case 0:
      s = u;
      t = 0.0;
      break;
    case 1:
      s = 0.0;
      t = u;
      break;
    default:
      s = 1.0 - u;
      t = u;
      break;
  }
}

constexpr int kTriangleEdges[3][2] = {{0, 1}, {0, 2}, {1, 2}};

}  // namespace

double distanceSq_seg2seg(const MgcVector3& P0, const MgcVector3& P1, const MgcVector3& Q0, const MgcVector3& Q1,
                          double& s, double& t) {
  const MgcVector3 D0 = P1 - P0;
  const MgcVector3 D1 = Q1 - Q0;
  const MgcVector3 W = P0 - Q0;
  SegmentPairQuadratic q;
  q.a = D0.Dot(D0);
  q.b = -D0.Dot(D1);
  q.c = D1.Dot(D1);
  q.d = D0.Dot(W);
  q.e = -D1.Dot(W);
  q.f = W.Dot(W);
  const double det = std::fabs(q.a * q.c - q.b * q.b);

  double value;
  if (det > kTolerance) {
    value = nonParallelSegmentsValue(q, det, s, t);
  } else if (q.a >= kTolerance && q.c >= kTolerance && det <= kTolerance * q.a * q.c) {
    value = parallelSegmentsValue(q, s, t);
  } else {
    // A point-like segment (the parallel rules would pair the two start points
    // whatever the other segment does) or short segments at an angle.
    value = exactSquareMinimum(q, det, s, t);
  }
  s = clampUnit(s);
  t = clampUnit(t);
  return std::fabs(value);
}

double distanceSq_pt2tri(const MgcVector3& point, const MgcVector3 tri[3], double& s, double& t) {
  const MgcVector3 E0 = tri[1] - tri[0];
  const MgcVector3 E1 = tri[2] - tri[0];
  const MgcVector3 W = tri[0] - point;
  const double a = E0.Dot(E0);
  const double b = E0.Dot(E1);
  const double c = E1.Dot(E1);
  const double d = W.Dot(E0);
  const double e = W.Dot(E1);
  const double f = W.Dot(W);
  const double det = std::fabs(a * c - b * b);
  if (det <= zov::kCollinearRatio * a * c) return degenerateTriangleDistanceSq(point, tri, s, t);

  s = b * e - c * d;
  t = b * d - a * e;
  double value;
  const auto interiorValue = [&](double si, double ti) {
    return si * (a * si + b * ti + 2.0 * d) + ti * (b * si + c * ti + 2.0 * e) + f;
  };
  // An edge along one parameter, the other held at 0: `along` minimises
  // lin * 2 * along + quad * along^2 over [0, 1].
  const auto edgeAlong = [&](double& along, double& held, double lin, double quad) {
    held = 0.0;
    if (lin >= 0.0) {
      along = 0.0;
      return f;
    }
    if (-lin >= quad) {
      along = 1.0;
      return quad + 2.0 * lin + f;
    }
    along = -lin / quad;
    return lin * along + f;
  };
  // Edge s = 0 (t0-t2), t minimising.
  const auto edgeSZero = [&]() { return edgeAlong(t, s, e, c); };
  // Edge t = 0 (t0-t1), s minimising.
  const auto edgeTZero = [&]() { return edgeAlong(s, t, d, a); };
  // Edge s + t = 1 (t1-t2), from the numerator of its minimiser in s.
  const auto edgeHypotenuse = [&](double numer) {
    const double denom = a - 2.0 * b + c;
    if (numer <= 0.0) {
      s = 0.0;
      t = 1.0;
      return c + 2.0 * e + f;
    }
    if (numer >= denom) {
      s = 1.0;
      t = 0.0;
      return a + 2.0 * d + f;
    }
    s = numer / denom;
    t = 1.0 - s;
    return interiorValue(s, t);
  };

  if (s + t <= det) {
    if (s < 0.0) {
      if (t < 0.0) {
        // Beyond corner t0: the edge that the gradient leads into.
        value = d < 0.0 ? edgeTZero() : edgeSZero();
      } else {
        value = edgeSZero();
      }
    } else if (t < 0.0) {
      value = edgeTZero();
    } else {
      s /= det;
      t /= det;
      value = interiorValue(s, t);
    }
  } else if (s < 0.0) {
    // Beyond corner t2.
    const double tmp0 = b + d;
    const double tmp1 = c + e;
    if (tmp1 > tmp0) {
      value = edgeHypotenuse(tmp1 - tmp0);
    } else if (tmp1 <= 0.0) {
      s = 0.0;
      t = 1.0;
      value = c + 2.0 * e + f;
    } else {
      value = edgeSZero();
    }
  } else if (t < 0.0) {
    // Beyond corner t1.
    const double tmp0 = b + e;
    const double tmp1 = a + d;
    if (tmp1 > tmp0) {
      const double numer = tmp1 - tmp0;
      const double denom = a - 2.0 * b + c;
      if (numer >= denom) {
        s = 0.0;
        t = 1.0;
        value = c + 2.0 * e + f;
      } else {
        t = numer / denom;
        s = 1.0 - t;
        value = interiorValue(s, t);
      }
    } else if (tmp1 <= 0.0) {
      s = 1.0;
      t = 0.0;
      value = a + 2.0 * d + f;
    } else {
      value = edgeTZero();
    }
  } else {
    value = edgeHypotenuse(c + e - b - d);
  }
  return std::fabs(value);
}

double segmentTriangleDistanceSq(const MgcVector3& A, const MgcVector3& B, const MgcVector3 tri[3], double& r,
                                 double& s, double& t) {
  const MgcVector3 D = B - A;
  const MgcVector3 E0 = tri[1] - tri[0];
  const MgcVector3 E1 = tri[2] - tri[0];
  const MgcVector3 N = E0.Cross(E1);
  const double lengthD = D.SquaredLength();
  const double lengthN = N.SquaredLength();
  const double alongNormal = D.Dot(N);
  // A zero-length segment and a triangle without area go through the boundary
  // search as well: their 3x3 system has no unique solution.
  const bool triangleHasArea = lengthN > zov::kCollinearRatio * E0.SquaredLength() * E1.SquaredLength();
  const bool notParallel =
      triangleHasArea && lengthD > 0.0 && alongNormal * alongNormal >= kTolerance * lengthD * lengthN;

  // Candidates on the boundary of the prism r in [0, 1] x triangle, in the
  // order edges t0-t1, t0-t2, t1-t2, end A, end B; a later one wins only when
  // strictly smaller. `use` selects which of them are tried.
  const auto boundary = [&](const bool use[5]) {
    double best = std::numeric_limits<double>::max();
    for (int edge = 0; edge < 3; ++edge) {
      if (!use[edge]) continue;
      double ri = 0.0;
      double u = 0.0;
      const double candidate =
          distanceSq_seg2seg(A, B, tri[kTriangleEdges[edge][0]], tri[kTriangleEdges[edge][1]], ri, u);
      if (candidate < best) {
        best = candidate;
        r = ri;
        edgeToTriangleParameters(edge, u, s, t);
      }
    }
    for (int end = 0; end < 2; ++end) {
      if (!use[3 + end]) continue;
      double si = 0.0;
      double ti = 0.0;
      const double candidate = distanceSq_pt2tri(end == 0 ? A : B, tri, si, ti);
      if (candidate < best) {
        best = candidate;
        r = end;
        s = si;
        t = ti;
      }
    }
    return best;
  };

  if (!notParallel) {
    const bool all[5] = {true, true, true, true, true};
    return boundary(all);
  }

  // The unconstrained minimiser of |A + r D - t0 - s E0 - t E1|^2 from its
  // normal equations M (r, s, t) = rhs, solved by cofactors.
  const MgcVector3 W = A - tri[0];
  const double m00 = lengthD, m01 = -D.Dot(E0), m02 = -D.Dot(E1);
  const double m11 = E0.Dot(E0), m12 = E0.Dot(E1), m22 = E1.Dot(E1);
  const double rhs0 = -D.Dot(W), rhs1 = E0.Dot(W), rhs2 = E1.Dot(W);
  const double c00 = m11 * m22 - m12 * m12;
  const double c01 = m02 * m12 - m01 * m22;
  const double c02 = m01 * m12 - m02 * m11;
  const double c11 = m00 * m22 - m02 * m02;
  const double c12 = m01 * m02 - m00 * m12;
  const double c22 = m00 * m11 - m01 * m01;
  const double det = m00 * c00 + m01 * c01 + m02 * c02;
  const double ri = (c00 * rhs0 + c01 * rhs1 + c02 * rhs2) / det;
  const double si = (c01 * rhs0 + c11 * rhs1 + c12 * rhs2) / det;
  const double ti = (c02 * rhs0 + c12 * rhs1 + c22 * rhs2) / det;

  const bool use[5] = {ti < 0.0, si<0.0, si + ti> 1.0, ri<0.0, ri> 1.0};
  if (!(use[0] || use[1] || use[2] || use[3] || use[4])) {
    r = ri;
    s = si;
    t = ti;
    return (W + D * ri - E0 * si - E1 * ti).SquaredLength();
  }
  // The minimum over the prism lies on a face whose constraint the free
  // minimiser breaks, so only those faces are searched.
  return boundary(use);
}

double triangleTriangleDistanceSq(const MgcVector3 A[3], const MgcVector3 B[3], double& a1, double& a2, double& b1,
                                  double& b2) {
  double best = std::numeric_limits<double>::max();
  for (int side = 0; side < 2; ++side) {
    const MgcVector3* edges = side == 0 ? A : B;
    const MgcVector3* other = side == 0 ? B : A;
    for (int edge = 0; edge < 3; ++edge) {
      double r = 0.0;
      double s = 0.0;
      double t = 0.0;
      const double candidate =
          segmentTriangleDistanceSq(edges[kTriangleEdges[edge][0]], edges[kTriangleEdges[edge][1]], other, r, s, t);
      if (candidate < best) {
        best = candidate;
        double edgeS = 0.0;
        double edgeT = 0.0;
        edgeToTriangleParameters(edge, r, edgeS, edgeT);
        if (side == 0) {
          a1 = edgeS;
          a2 = edgeT;
          b1 = s;
          b2 = t;
        } else {
          b1 = edgeS;
          b2 = edgeT;
          a1 = s;
          a2 = t;
        }
      }
    }
  }
  return std::fabs(best);
}

double distanceSq_tri2tri(const MgcVector3 A[3], const MgcVector3& /*normalA*/, const MgcVector3 B[3],
                          const MgcVector3& /*normalB*/, MgcVector3& closestA, MgcVector3& closestB) {
  double sA = 0.0, tA = 0.0, sB = 0.0, tB = 0.0;
  const double distance = triangleTriangleDistanceSq(A, B, sA, tA, sB, tB);
  closestA = A[0] + (A[1] - A[0]) * sA + (A[2] - A[0]) * tA;
  closestB = B[0] + (B[1] - B[0]) * sB + (B[2] - B[0]) * tB;
  return distance;
}

double polygonPolygonDistanceSq(const MgcVector3* polygonA, std::uint32_t countA, const MgcVector3& normalA,
                                const MgcVector3* polygonB, std::uint32_t countB, const MgcVector3& normalB,
                                MgcVector3& pointA, MgcVector3& pointB) {
  double best = zov::kMaxFloat;
  if (countA < 3 || countB < 3) return best;
  for (std::uint32_t i = 1; i + 1 < countA; ++i) {
    const MgcVector3 triangleA[3] = {polygonA[0], polygonA[i], polygonA[i + 1]};
    for (std::uint32_t j = 1; j + 1 < countB; ++j) {
      const MgcVector3 triangleB[3] = {polygonB[0], polygonB[j], polygonB[j + 1]};
      MgcVector3 closestA;
      MgcVector3 closestB;
      const double distance = distanceSq_tri2tri(triangleA, normalA, triangleB, normalB, closestA, closestB);
      if (distance < best) {
        best = distance;
        pointA = closestA;
        pointB = closestB;
      }
    }
  }
  return best;
}
