#include "support/RandomGeometry.h"

#include <cmath>

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace zovtest {

MgcVector3 Random::unitVector() {
  MgcVector3 v;
  do {
    v = vector(-1.0, 1.0);
  } while (v.SquaredLength() > 1.0 || v.SquaredLength() < 1e-4);
  return v / std::sqrt(v.SquaredLength());
}

MgcMatrix3 Random::rotation() {
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

std::vector<MgcVector3> ellipsePolygon(Random& random, std::uint32_t count, const MgcMatrix3& frame,
                                       const MgcVector3& center, double rx, double ry) {
  std::vector<MgcVector3> polygon;
  for (std::uint32_t k = 0; k < count; ++k) {
    const double angle = 2.0 * M_PI * (k + random.uniform(0.1, 0.9)) / count;
    polygon.push_back(center + frame.GetColumn(0) * (rx * std::cos(angle)) +
                      frame.GetColumn(1) * (ry * std::sin(angle)));
  }
  return polygon;
}

}  // namespace zovtest
