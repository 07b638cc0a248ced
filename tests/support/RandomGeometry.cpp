#include "support/RandomGeometry.h"

#include <cmath>

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace zovtest {

MgcVector3 GeometryRandom::unitVector() {
  MgcVector3 v;
  do {
    v = vector(-1.0, 1.0);
  } while (v.SquaredLength() > 1.0 || v.SquaredLength() < 1e-4);
  return v / std::sqrt(v.SquaredLength());
}

MgcMatrix3 GeometryRandom::rotation() {
  double q[4];
  double length = 0.0;
  do {
    length = 0.0;
    for (double& c : q) {
      c = uniform(-1.0, 1.0);
      length += c * c;
    }
  } while (length > 1.0 || length < 1e-4);
  length = std::sqrt(length);
  const double w = q[0] / length, x = q[1] / length, y = q[2] / length, z = q[3] / length;
  return {1 - 2 * (y * y + z * z), 2 * (x * y - w * z),     2 * (x * z + w * y),
          2 * (x * y + w * z),     1 - 2 * (x * x + z * z), 2 * (y * z - w * x),
          2 * (x * z - w * y),     2 * (y * z + w * x),     1 - 2 * (x * x + y * y)};
}

MgcVector3 unitNormal(const MgcVector3& a, const MgcVector3& b, const MgcVector3& c) {
  const MgcVector3 n = (b - a).Cross(c - a);
  return n / std::sqrt(n.SquaredLength());
}

}  // namespace zovtest
