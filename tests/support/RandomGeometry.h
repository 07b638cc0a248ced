#pragma once

#include <cstdint>
#include <random>

#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

namespace zovtest {

/// Random numbers, vectors and rotations for the geometry tests, from a seed.
class GeometryRandom {
 public:
  explicit GeometryRandom(unsigned seed) : engine_(seed) {}
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(engine_); }
  Mgc::MgcVector3 vector(double lo, double hi) { return {uniform(lo, hi), uniform(lo, hi), uniform(lo, hi)}; }
  Mgc::MgcVector3 unitVector();
  /// A uniformly distributed rotation (axes in the columns).
  Mgc::MgcMatrix3 rotation();
  std::uint32_t index(std::uint32_t n) { return static_cast<std::uint32_t>(engine_() % n); }

 private:
  std::mt19937 engine_;
};

/// Unit normal of the triangle (a, b, c), counter-clockwise seen from its tip.
Mgc::MgcVector3 unitNormal(const Mgc::MgcVector3& a, const Mgc::MgcVector3& b, const Mgc::MgcVector3& c);

}  // namespace zovtest
