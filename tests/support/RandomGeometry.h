#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

namespace zovtest {

/// Random numbers, vectors and rotations for the tests, from a seed.
class Random {
 public:
  explicit Random(unsigned seed) : engine_(seed) {}
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(engine_); }
  double normal() { return std::normal_distribution<double>()(engine_); }
  Mgc::MgcVector3 vector(double lo = -1.0, double hi = 1.0) {
    return {uniform(lo, hi), uniform(lo, hi), uniform(lo, hi)};
  }
  Mgc::MgcVector3 unitVector();
  /// A uniformly distributed rotation (axes in the columns).
  Mgc::MgcMatrix3 rotation();
  std::uint32_t index(std::uint32_t n) { return static_cast<std::uint32_t>(engine_() % n); }

 private:
  std::mt19937 engine_;
};

/// Unit normal of the triangle (a, b, c), counter-clockwise seen from its tip.
Mgc::MgcVector3 unitNormal(const Mgc::MgcVector3& a, const Mgc::MgcVector3& b, const Mgc::MgcVector3& c);

/// A convex polygon: `count` corners on the ellipse of semi-axes rx, ry about
/// `center` in the plane of the first two columns of `frame`, counter-clockwise
/// about its third column, one corner in each of `count` equal angular sectors.
std::vector<Mgc::MgcVector3> ellipsePolygon(Random& random, std::uint32_t count, const Mgc::MgcMatrix3& frame,
                                            const Mgc::MgcVector3& center, double rx, double ry);

}  // namespace zovtest
