#include "math/PolygonPredicates.h"

#include "math/Tolerances.h"

using Mgc::MgcVector3;
using zov::kTolerance;

bool pointInPolygon(const MgcVector3& p, const MgcVector3* polygon, std::uint32_t count, const MgcVector3& normal,
                    double tolerance) {
  if (count < 3) return false;
  if ((p - polygon[0]).Dot(normal) > tolerance) return false;

  // The winding: edge x normal points out of a counter-clockwise polygon and
  // into a clockwise one. The first edge with p on the far side of it marks
  // the polygon counter-clockwise; corners at p say nothing.
  double winding = 1.0;
  for (std::uint32_t i = 0; i + 1 < count; ++i) {
    const MgcVector3 offset = p - polygon[i];
    if (offset.SquaredLength() <= kTolerance) continue;
    if (offset.Dot((polygon[i + 1] - polygon[i]).Cross(normal)) < 0.0) {
      winding = -1.0;
      break;
    }
  }

  for (std::uint32_t i = 0; i < count; ++i) {
    const MgcVector3& next = polygon[i + 1 == count ? 0 : i + 1];
    MgcVector3 edgeNormal = (next - polygon[i]).Cross(normal);
    edgeNormal.Unitize(zov::kUnitizeTolerance);
    if ((p - polygon[i]).Dot(edgeNormal) * winding < -tolerance) return false;
  }
  return true;
}

bool segmentsIntersect(const MgcVector3& a0, const MgcVector3& a1, const MgcVector3& b0, const MgcVector3& b1) {
  const MgcVector3 D = a1 - a0;
  const MgcVector3 E = b1 - b0;
  const MgcVector3 C = D.Cross(E);
  const double lengthD = D.SquaredLength();

  if (C.SquaredLength() < kTolerance) {
    // Parallel: on one line, and overlapping along it.
    const MgcVector3 offset = b0 - a0;
    const MgcVector3 across = lengthD > 0.0 ? offset - D * (offset.Dot(D) / lengthD) : offset;
    if (across.SquaredLength() > kTolerance) return false;
    const double along0 = b0.Dot(D);
    const double along1 = b1.Dot(D);
    const double low = along0 < along1 ? along0 : along1;
    const double high = along0 < along1 ? along1 : along0;
    return !(low > a1.Dot(D) || a0.Dot(D) > high);
  }

  MgcVector3 N = C;
  N.Unitize(zov::kUnitizeTolerance);
  MgcVector3 M = N.Cross(D);
  M.Unitize(zov::kUnitizeTolerance);
  if ((b1 - a0).Dot(M) * (b0 - a0).Dot(M) > -kTolerance) return false;
  MgcVector3 M2 = N.Cross(E);
  M2.Unitize(zov::kUnitizeTolerance);
  if ((b0 - a0).Dot(M2) * (b0 - a1).Dot(M2) > -kTolerance) return false;
  return true;
}

double polygonArea(const MgcVector3* points, std::uint32_t count, const MgcVector3& normal) {
  if (count < 3) return 0.0;
  MgcVector3 sum;
  for (std::uint32_t i = 0; i < count; ++i) sum += points[i].Cross(points[i + 1 == count ? 0 : i + 1]);
  return 0.5 * sum.Dot(normal);
}
