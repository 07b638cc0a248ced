#include "support/BruteForceGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using Mgc::MgcVector3;

namespace zovtest {

double bfPointSegmentSq(const MgcVector3& p, const MgcVector3& a, const MgcVector3& b) {
  const MgcVector3 d = b - a;
  const double length = d.SquaredLength();
  const double t = length > 0.0 ? std::clamp((p - a).Dot(d) / length, 0.0, 1.0) : 0.0;
  return (p - (a + d * t)).SquaredLength();
}

double bfPointTriangleSq(const MgcVector3& p, const MgcVector3 tri[3], MgcVector3* closest) {
  const MgcVector3 n = (tri[1] - tri[0]).Cross(tri[2] - tri[0]);
  const double area2 = n.SquaredLength();
  if (area2 > 1e-24) {
    const MgcVector3 foot = p - n * ((p - tri[0]).Dot(n) / area2);
    bool inside = true;
    for (int i = 0; i < 3; ++i) inside = inside && (tri[(i + 1) % 3] - tri[i]).Cross(foot - tri[i]).Dot(n) >= 0.0;
    if (inside) {
      if (closest != nullptr) *closest = foot;
      return (p - foot).SquaredLength();
    }
  }
  double best = std::numeric_limits<double>::max();
  for (int i = 0; i < 3; ++i) {
    const MgcVector3& a = tri[i];
    const MgcVector3& b = tri[(i + 1) % 3];
    const double distance = bfPointSegmentSq(p, a, b);
    if (distance < best) {
      best = distance;
      if (closest != nullptr) {
        const MgcVector3 d = b - a;
        const double length = d.SquaredLength();
        const double t = length > 0.0 ? std::clamp((p - a).Dot(d) / length, 0.0, 1.0) : 0.0;
        *closest = a + d * t;
      }
    }
  }
  return best;
}

double bfSegmentSegmentSq(const MgcVector3& P0, const MgcVector3& P1, const MgcVector3& Q0, const MgcVector3& Q1) {
  return minimiseConvex([&](double s) { return bfPointSegmentSq(P0 + (P1 - P0) * s, Q0, Q1); }, 0.0, 1.0);
}

double bfSegmentTriangleSq(const MgcVector3& A, const MgcVector3& B, const MgcVector3 tri[3]) {
  return minimiseConvex([&](double r) { return bfPointTriangleSq(A + (B - A) * r, tri); }, 0.0, 1.0);
}

double bfTriangleTriangleSq(const MgcVector3 A[3], const MgcVector3 B[3]) {
  // dist^2(A0 + u e1 + v e2, B) is convex in (u, v); minimising over v for
  // each u keeps it convex in u.
  const MgcVector3 e1 = A[1] - A[0];
  const MgcVector3 e2 = A[2] - A[0];
  const auto overV = [&](double u) {
    return minimiseConvex([&](double v) { return bfPointTriangleSq(A[0] + e1 * u + e2 * v, B); }, 0.0, 1.0 - u);
  };
  return minimiseConvex(overV, 0.0, 1.0);
}

double bfPolygonPolygonSq(const MgcVector3* a, std::uint32_t countA, const MgcVector3* b, std::uint32_t countB) {
  double best = std::numeric_limits<double>::max();
  for (std::uint32_t i = 1; i + 1 < countA; ++i) {
    const MgcVector3 ta[3] = {a[0], a[i], a[i + 1]};
    for (std::uint32_t j = 1; j + 1 < countB; ++j) {
      const MgcVector3 tb[3] = {b[0], b[j], b[j + 1]};
      best = std::min(best, bfTriangleTriangleSq(ta, tb));
    }
  }
  return best;
}

double shadowOverlapArea(const MgcVector3 A[3], const MgcVector3& nA, const MgcVector3 B[3], double* perimeter) {
  std::vector<MgcVector3> polygon(A, A + 3);
  MgcVector3 shadow[3];
  for (int c = 0; c < 3; ++c) shadow[c] = B[c] - nA * (B[c] - A[0]).Dot(nA);
  const double winding = (shadow[1] - shadow[0]).Cross(shadow[2] - shadow[0]).Dot(nA) > 0.0 ? 1.0 : -1.0;
  for (int e = 0; e < 3 && !polygon.empty(); ++e) {
    const MgcVector3& from = shadow[e];
    const MgcVector3 inward = nA.Cross(shadow[(e + 1) % 3] - from) * winding;
    std::vector<MgcVector3> kept;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
      const MgcVector3& p = polygon[i];
      const MgcVector3& q = polygon[(i + 1) % polygon.size()];
      const double dp = (p - from).Dot(inward);
      const double dq = (q - from).Dot(inward);
      if (dp >= 0.0) kept.push_back(p);
      if ((dp >= 0.0) != (dq >= 0.0)) kept.push_back(p + (q - p) * (dp / (dp - dq)));
    }
    polygon = kept;
  }
  double area = 0.0;
  for (std::size_t i = 1; i + 1 < polygon.size(); ++i)
    area += 0.5 * std::fabs((polygon[i] - polygon[0]).Cross(polygon[i + 1] - polygon[0]).Dot(nA));
  *perimeter = 0.0;
  for (std::size_t i = 0; i < polygon.size(); ++i)
    *perimeter += (polygon[(i + 1) % polygon.size()] - polygon[i]).Length();
  return area;
}

double sampledDepth(const MgcVector3 A[3], const MgcVector3& nA, const MgcVector3 B[3]) {
  constexpr int kSteps = 300;
  double lowest = std::numeric_limits<double>::max();
  for (int i = 0; i <= kSteps; ++i)
    for (int j = 0; i + j <= kSteps; ++j) {
      const MgcVector3 x = B[0] + (B[1] - B[0]) * (double(i) / kSteps) + (B[2] - B[0]) * (double(j) / kSteps);
      const double height = (x - A[0]).Dot(nA);
      if (bfPointTriangleSq(x - nA * height, A) <= 1e-20) lowest = std::min(lowest, height);
    }
  return lowest;
}

}  // namespace zovtest
