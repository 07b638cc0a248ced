#include "math/TrianglePredicates.h"

#include <gtest/gtest.h>

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <random>

using Mgc::MgcVector3;

namespace {

Eigen::Vector3d toEigen(const MgcVector3& v) { return {v.x, v.y, v.z}; }

// The textbook answer: the squared height over the longest edge is
// (2 * area / |longest edge|)^2, the area from the cross product.
bool expectedDegenerate(const MgcVector3& a, const MgcVector3& b, const MgcVector3& c, bool relative, double tol) {
  const Eigen::Vector3d pa = toEigen(a), pb = toEigen(b), pc = toEigen(c);
  const double ab = (pb - pa).squaredNorm(), bc = (pc - pb).squaredNorm(), ca = (pa - pc).squaredNorm();
  if (std::min({ab, bc, ca}) < 1e-5) return true;
  const double longestSq = std::max({ab, bc, ca});
  const double doubleArea = (pb - pa).cross(pc - pa).norm();
  const double heightSq = doubleArea * doubleArea / longestSq;
  return heightSq < (relative ? tol * longestSq : tol);
}

}  // namespace

TEST(TrianglePredicates, DegenerateCasesFollowEdgeAndHeightLimits) {
  struct Case {
    const char* name;
    MgcVector3 a, b, c;
    bool relative;
    bool degenerate;
  };
  const Case cases[] = {
      {"well shaped", {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, false, false},
      {"short edge, even with a tall apex", {0, 0, 0}, {0.003, 0, 0}, {0, 5, 0}, false, true},
      {"short edge, relative", {0, 0, 0}, {0.003, 0, 0}, {0, 5, 0}, true, true},
      {"corners on a line", {0, 0, 0}, {1, 1, 1}, {3, 3, 3}, false, true},
      {"height 0.01 over 10: kept absolute", {0, 0, 0}, {5, 0.01, 0}, {10, 0, 0}, false, false},
      {"height 0.01 over 10: flat relative", {0, 0, 0}, {5, 0.01, 0}, {10, 0, 0}, true, true},
      {"apex past the end of the longest edge", {0, 0, 0}, {10, 0, 0}, {12, 0.001, 0}, true, true},
      {"small but well shaped", {0, 0, 0}, {0.01, 0, 0}, {0, 0.01, 0}, true, false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(isTriangleDegenerate(test.a, test.b, test.c, test.relative, 1e-5), test.degenerate);
    EXPECT_EQ(isTriangleDegenerate(test.c, test.a, test.b, test.relative, 1e-5), test.degenerate) << "corner order";
  }
}

TEST(TrianglePredicates, AgreesWithHeightFromAreaOnRandomTriangles) {
  std::mt19937 engine(11);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::uniform_real_distribution<double> logScale(-6.0, 1.0);
  for (int trial = 0; trial < 20000; ++trial) {
    const double scale = std::pow(10.0, logScale(engine));
    const MgcVector3 a(uniform(engine), uniform(engine), uniform(engine));
    const MgcVector3 b(uniform(engine), uniform(engine), uniform(engine));
    // Third corner near the line a-b, offset by a random, often tiny, amount.
    const double t = 2.0 * uniform(engine);
    const MgcVector3 c = a + (b - a) * t + MgcVector3(uniform(engine), uniform(engine), uniform(engine)) * scale;
    for (bool relative : {false, true}) {
      const double tol = 1e-5;
      const bool expected = expectedDegenerate(a, b, c, relative, tol);
      // Skip cases within rounding of the limit.
      const double heightSqOverLimit = [&] {
        const Eigen::Vector3d pa = toEigen(a), pb = toEigen(b), pc = toEigen(c);
        const double longestSq = std::max({(pb - pa).squaredNorm(), (pc - pb).squaredNorm(), (pa - pc).squaredNorm()});
        const double doubleArea = (pb - pa).cross(pc - pa).norm();
        return doubleArea * doubleArea / longestSq / (relative ? tol * longestSq : tol);
      }();
      if (std::abs(heightSqOverLimit - 1.0) < 1e-9) continue;
      EXPECT_EQ(isTriangleDegenerate(a, b, c, relative, tol), expected) << "trial " << trial;
    }
  }
}
