#include "math/EdgeTurn.h"

#include "math/Tolerances.h"
#include "math/TrianglePredicates.h"

using Mgc::MgcVector3;

namespace {

bool strictlyBetween(double value, double end0, double end1) {
  return (end0 < value && value < end1) || (end1 < value && value < end0);
}

}  // namespace

int edgeTurnSign(const DirectedEdge& e0, const DirectedEdge& e1, const MgcVector3* points, const MgcVector3& normal) {
  const MgcVector3& start = points[e0.from];
  const MgcVector3& corner = points[e0.to];
  const MgcVector3& end = points[e1.to];

  if (!isTriangleDegenerate(start, corner, end, false, zov::kTolerance)) {
    MgcVector3 u0 = corner - start;
    MgcVector3 u1 = end - points[e1.from];
    u0.Unitize(zov::kUnitizeTolerance);
    u1.Unitize(zov::kUnitizeTolerance);
    const double turn = u1.Cross(u0).Dot(normal);
    if (turn > zov::kTolerance) return 1;
    if (turn < -zov::kTolerance) return -1;
    return 0;
  }

  // Collinear: the path goes straight on when the corner lies between the
  // outer points along the line, and doubles back otherwise.
  MgcVector3 line = end - start;
  line.Unitize(zov::kUnitizeTolerance);
  return strictlyBetween(corner.Dot(line), start.Dot(line), end.Dot(line)) ? 0 : -1;
}
