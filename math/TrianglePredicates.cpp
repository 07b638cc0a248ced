#include "math/TrianglePredicates.h"

#include "math/Tolerances.h"

using Mgc::MgcVector3;

bool isTriangleDegenerate(const MgcVector3& a, const MgcVector3& b, const MgcVector3& c, bool relative,
                          double tolerance) {
  const double acSq = (a - c).SquaredLength();
  const double abSq = (a - b).SquaredLength();
  const double bcSq = (b - c).SquaredLength();
  if (acSq < zov::kTolerance || abSq < zov::kTolerance || bcSq < zov::kTolerance) return true;

  // The longest edge (from, to) and the corner opposite it.
  const MgcVector3* from = &a;
  const MgcVector3* to = &c;
  const MgcVector3* apex = &b;
  double edgeSq = acSq;
  if (abSq > edgeSq) {
    to = &b;
    apex = &c;
    edgeSq = abSq;
  }
  if (bcSq > edgeSq) {
    from = &b;
    to = &c;
    apex = &a;
    edgeSq = bcSq;
  }

  // The apex's offset from the edge's midpoint, less its part along the edge,
  // is the height of the triangle over that edge.
  const MgcVector3 edge = *to - *from;
  const MgcVector3 offset = *apex - (*from + *to) * 0.5;
  const MgcVector3 height = offset - edge * (offset.Dot(edge) / edgeSq);
  const double limit = relative ? tolerance * edgeSq : tolerance;
  return height.SquaredLength() < limit;
}
