#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "math/MgcVector3.h"

namespace zovbench {

/// n points uniform in the cube [-1, 1]^3, drawn from the seed.
inline std::vector<Mgc::MgcVector3> pointsInCube(std::uint32_t n, unsigned seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<Mgc::MgcVector3> points;
  for (std::uint32_t i = 0; i < n; ++i) points.emplace_back(uniform(engine), uniform(engine), uniform(engine));
  return points;
}

/// n points on the unit sphere: normal draws from the seed scaled to unit
/// length (draws too short to scale are passed over). All of them are hull
/// vertices.
inline std::vector<Mgc::MgcVector3> pointsOnSphere(std::uint32_t n, unsigned seed) {
  std::mt19937 engine(seed);
  std::normal_distribution<double> normal;
  std::vector<Mgc::MgcVector3> points;
  while (points.size() < n) {
    Mgc::MgcVector3 p(normal(engine), normal(engine), normal(engine));
    if (p.Unitize(1e-3) > 0.0) points.push_back(p);
  }
  return points;
}

}  // namespace zovbench
