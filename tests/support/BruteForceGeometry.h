#pragma once

#include <cstdint>

#include "math/MgcVector3.h"

// Reference answers for the geometry tests, computed by other means than the
// library: closed-form projections, golden-section searches over convex
// functions.
namespace zovtest {

/// Minimum of a convex function on [lo, hi] by golden-section search.
template <typename Function>
double minimiseConvex(Function f, double lo, double hi, double* argmin = nullptr) {
  constexpr double kInverseGolden = 0.6180339887498949;
  constexpr int kIterations = 80;
  double a = lo, b = hi;
  double x1 = b - kInverseGolden * (b - a), x2 = a + kInverseGolden * (b - a);
  double f1 = f(x1), f2 = f(x2);
  for (int i = 0; i < kIterations; ++i) {
    if (f1 < f2) {
      b = x2;
      x2 = x1;
      f2 = f1;
      x1 = b - kInverseGolden * (b - a);
      f1 = f(x1);
    } else {
      a = x1;
      x1 = x2;
      f1 = f2;
      x2 = a + kInverseGolden * (b - a);
      f2 = f(x2);
    }
  }
  // The ends too: the search never evaluates them exactly.
  double best = f1 < f2 ? f1 : f2;
  double where = f1 < f2 ? x1 : x2;
  const double fl = f(lo), fh = f(hi);
  if (fl < best) best = fl, where = lo;
  if (fh < best) best = fh, where = hi;
  if (argmin != nullptr) *argmin = where;
  return best;
}

double bfPointSegmentSq(const Mgc::MgcVector3& p, const Mgc::MgcVector3& a, const Mgc::MgcVector3& b);

/// By projection onto the plane and edge distances; writes the closest point.
double bfPointTriangleSq(const Mgc::MgcVector3& p, const Mgc::MgcVector3 tri[3], Mgc::MgcVector3* closest = nullptr);

double bfSegmentSegmentSq(const Mgc::MgcVector3& P0, const Mgc::MgcVector3& P1, const Mgc::MgcVector3& Q0,
                          const Mgc::MgcVector3& Q1);
double bfSegmentTriangleSq(const Mgc::MgcVector3& A, const Mgc::MgcVector3& B, const Mgc::MgcVector3 tri[3]);
double bfTriangleTriangleSq(const Mgc::MgcVector3 A[3], const Mgc::MgcVector3 B[3]);

/// Squared distance of two planar convex polygons over their fan triangles.
double bfPolygonPolygonSq(const Mgc::MgcVector3* a, std::uint32_t countA, const Mgc::MgcVector3* b,
                          std::uint32_t countB);

/// Area and perimeter of the part of triangle A under the shadow of triangle B
/// along A's unit normal nA (Sutherland-Hodgman against B's edge lines).
double shadowOverlapArea(const Mgc::MgcVector3 A[3], const Mgc::MgcVector3& nA, const Mgc::MgcVector3 B[3],
                         double* perimeter);

/// Lowest height above A's plane (along its unit normal nA) of the part of B
/// over A, by dense sampling of B; a huge value when no part of B is over A.
double sampledDepth(const Mgc::MgcVector3 A[3], const Mgc::MgcVector3& nA, const Mgc::MgcVector3 B[3]);

}  // namespace zovtest
