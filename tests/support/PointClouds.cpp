#include "support/PointClouds.h"

#include <algorithm>
#include <cmath>
#include <random>

using Mgc::MgcVector3;

namespace zovtest {

Points uniformInCube(std::uint32_t n, unsigned seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  Points points;
  for (std::uint32_t i = 0; i < n; ++i) points.emplace_back(uniform(engine), uniform(engine), uniform(engine));
  return points;
}

Points uniformInBall(std::uint32_t n, unsigned seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  Points points;
  while (points.size() < n) {
    const MgcVector3 p(uniform(engine), uniform(engine), uniform(engine));
    if (p.SquaredLength() <= 1.0) points.push_back(p);
  }
  return points;
}

Points gaussianCloud(std::uint32_t n, unsigned seed) {
  std::mt19937 engine(seed);
  std::normal_distribution<double> normal;
  Points points;
  for (std::uint32_t i = 0; i < n; ++i) points.emplace_back(3.0 * normal(engine), normal(engine), 0.5 * normal(engine));
  return points;
}

Points onSphere(std::uint32_t n, unsigned seed) {
  std::mt19937 engine(seed);
  std::normal_distribution<double> normal;
  Points points;
  while (points.size() < n) {
    MgcVector3 p(normal(engine), normal(engine), normal(engine));
    if (p.Unitize(1e-3) > 0.0) points.push_back(p);
  }
  return points;
}

Points boxCorners(double hx, double hy, double hz) {
  Points points;
  for (int i = 0; i < 8; ++i) points.emplace_back((i & 1) ? hx : -hx, (i & 2) ? hy : -hy, (i & 4) ? hz : -hz);
  return points;
}

Points insideBox(std::uint32_t interior, double hx, double hy, double hz, unsigned seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<double> uniform(-0.95, 0.95);
  Points points;
  for (std::uint32_t i = 0; i < interior; ++i)
    points.emplace_back(hx * uniform(engine), hy * uniform(engine), hz * uniform(engine));
  return points;
}

Points cubeSurfaceGrid(std::uint32_t g) {
  Points points;
  for (int axis = 0; axis < 3; ++axis)
    for (double side : {-1.0, 1.0})
      for (std::uint32_t i = 0; i < g; ++i)
        for (std::uint32_t j = 0; j < g; ++j) {
          const double u = -1.0 + 2.0 * i / (g - 1);
          const double v = -1.0 + 2.0 * j / (g - 1);
          if (std::fabs(u) == 1.0 && std::fabs(v) == 1.0) continue;
          MgcVector3 p;
          p[axis] = side;
          p[(axis + 1) % 3] = u;
          p[(axis + 2) % 3] = v;
          points.push_back(p);
        }
  return points;
}

Points regularPolygon(std::uint32_t sides, double z) {
  Points points;
  const double step = 2.0 * M_PI / sides;
  for (std::uint32_t i = 0; i < sides; ++i) points.emplace_back(std::cos(i * step), std::sin(i * step), z);
  return points;
}

Points shuffled(Points points, unsigned seed) {
  std::mt19937 engine(seed);
  std::shuffle(points.begin(), points.end(), engine);
  return points;
}

void append(Points& points, const Points& more) { points.insert(points.end(), more.begin(), more.end()); }

}  // namespace zovtest
