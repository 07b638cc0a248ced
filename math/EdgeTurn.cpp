#include "math/EdgeTurn.h"

#include "math/Tolerances.h"
#include "math/TrianglePredicates.h"

using Mgc::MgcVector3;

int edgeTurnSign(const std::uint32_t edge0[2], const std::uint32_t edge1[2], const MgcVector3* points,
                 const MgcVector3& normal) {
  const MgcVector3& from = points[edge0[0]];
  const MgcVector3& corner = points[edge0[1]];
  const MgcVector3& to = points[edge1[1]];

  if (!isTriangleDegenerate(from, corner, to, false, zov::kTolerance)) {
    MgcVector3 u0 = corner - from;
    MgcVector3 u1 = to - points[edge1[0]];
    u0.Unitize(zov::kUnitizeTolerance);
    u1.Unitize(zov::kUnitizeTolerance);
    const double turn = u1.Cross(u0).Dot(normal);
    if (turn > zov::kTolerance) return 1;
    if (turn < -zov::kTolerance) return -1;
    return 0;
  }

  // Collinear: in order when the corner lies strictly between the two ends.
  MgcVector3 line = to - from;
  line.Unitize(zov::kUnitizeTolerance);
  const double a = from.Dot(line);
  const double b = corner.Dot(line);
  const double c = to.Dot(line);
  const bool between = (a < b && b < c) || (c < b && b < a);
  return between ? 0 : -1;
}
