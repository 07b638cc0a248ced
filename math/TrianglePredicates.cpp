#include "math/TrianglePredicates.h"

#include "math/Tolerances.h"

using Mgc::MgcVector3;

bool isTriangleDegenerate(const MgcVector3& a, const MgcVector3& b, const MgcVector3& c, bool relative,
                          double tolerance) {
  const double lengthAC = (a - c).SquaredLength();
  const double lengthAB = (a - b).SquaredLength();
  const double lengthBC = (b - c).SquaredLength();
  if (lengthAC < zov::kTolerance || lengthAB < zov::kTolerance || lengthBC < zov::kTolerance) return true;

  // The longest edge, a-c first among equals, then a-b, then b-c.
  MgcVector3 start = a;
  MgcVector3 end = c;
  MgcVector3 opposite = b;
  double longest = lengthAC;
  if (lengthAB > longest) {
    start = a;
    end = b;
    opposite = c;
    longest = lengthAB;
  }
  if (lengthBC > longest) {
    start = b;
    end = c;
    opposite = a;
    longest = lengthBC;
  }

  const MgcVector3 edge = end - start;
  const MgcVector3 toOpposite = opposite - (start + end) * 0.5;
  const MgcVector3 height = toOpposite - edge * (toOpposite.Dot(edge) / longest);
  const double limit = relative ? tolerance * longest : tolerance;
  return height.SquaredLength() < limit;
}
