// The engine's demo: builds a few math values and prints them.
#include <cstdio>

#include "math/MgcVector3.h"
#include "math/Tolerances.h"

int main() {
  using Mgc::MgcVector3;
  MgcVector3 axis(3.0, 4.0, 0.0);
  const double length = axis.Unitize(zov::kUnitizeTolerance);
  std::printf("zov engine demo\n");
  std::printf("unitised (3, 4, 0): length %g, direction (%g, %g, %g)\n", length, axis.x, axis.y, axis.z);
  return 0;
}
