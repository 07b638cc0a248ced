// The closest-rotation members are checked against a brute-force search over
// a grid of half angles: the result must be at least as close to the input as
// every grid point (grid points are feasible answers), and it must itself be
// a feasible answer.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "math/MgcQuaternion.h"
#include "support/MathTestUtil.h"

using namespace Mgc;
using namespace zovtest;

namespace {

using Constraints = Quaternion::Constraints;

constexpr double kRounding = 1e-12;

/// (cos h, sin h * e_axis), axis 0, 1, 2 for x, y, z.
Quaternion axisRotation(int axis, double halfAngle) {
  Quaternion q(std::cos(halfAngle), 0.0, 0.0, 0.0);
  q[axis + 1] = std::sin(halfAngle);
  return q;
}

double distanceUpToSign(const Quaternion& a, const Quaternion& b) {
  return std::min((a - b).Length(), (a + b).Length());
}

// Evenly spaced half angles over [low, high].
std::vector<double> grid(double low, double high, int steps) {
  std::vector<double> angles;
  for (int i = 0; i <= steps; ++i) angles.push_back(low + (high - low) * i / steps);
  return angles;
}

struct Search {
  double bestDot = 0.0;        // largest |dot| over the grid
  double nearestResult = 1e9;  // distance from the result to the nearest grid point
};

// Searches the products axisRotation(a, hA) * axisRotation(b, hB) over the two
// angle grids.
Search searchPairs(const Quaternion& q, const Quaternion& result, int a, const std::vector<double>& anglesA, int b,
                   const std::vector<double>& anglesB) {
  Search search;
  for (const double hA : anglesA) {
    const Quaternion first = axisRotation(a, hA);
    const Quaternion rest = first.Conjugate() * q;  // q . (first*second) = rest . second
    for (const double hB : anglesB) {
      const double c = std::cos(hB), s = std::sin(hB);
      search.bestDot = std::max(search.bestDot, std::fabs(rest.W() * c + rest[b + 1] * s));
      search.nearestResult = std::min(search.nearestResult, distanceUpToSign(result, first * axisRotation(b, hB)));
    }
  }
  return search;
}

struct PairOrder {
  std::string name;
  int first, second;
  Quaternion (Quaternion::*closest)() const;
  Quaternion (Quaternion::*constrained)(const Constraints&, const Constraints&) const;
};

const PairOrder kPairOrders[] = {
    {"XY", 0, 1, &Quaternion::GetClosestXY, &Quaternion::GetClosestXY},
    {"YX", 1, 0, &Quaternion::GetClosestYX, &Quaternion::GetClosestYX},
    {"ZX", 2, 0, &Quaternion::GetClosestZX, &Quaternion::GetClosestZX},
    {"XZ", 0, 2, &Quaternion::GetClosestXZ, &Quaternion::GetClosestXZ},
    {"YZ", 1, 2, &Quaternion::GetClosestYZ, &Quaternion::GetClosestYZ},
    {"ZY", 2, 1, &Quaternion::GetClosestZY, &Quaternion::GetClosestZY},
};

Constraints randomRange(Random& random) {
  const double low = random.uniform(-0.5 * kPi, 0.5 * kPi);
  return Constraints(low, low + random.uniform(0.1, 1.5));
}

}  // namespace

// Without a range the whole half-angle range [-pi/2, pi/2] is allowed.
TEST(MgcQuaternionClosest, OneAxisIsTheBestRotationAboutThatAxisInRange) {
  Random random(41);
  for (int i = 0; i < 300; ++i) {
    const Quaternion q = fromRef(randomQuaternion(random));
    const bool ranged = i % 3 != 0;
    const Constraints range = ranged ? randomRange(random) : Constraints(-0.5 * kPi, 0.5 * kPi);
    const Quaternion results[3] = {ranged ? q.GetClosestX(range) : q.GetClosestX(),
                                   ranged ? q.GetClosestY(range) : q.GetClosestY(),
                                   ranged ? q.GetClosestZ(range) : q.GetClosestZ()};
    for (int axis = 0; axis < 3; ++axis) {
      // The products of the identity with rotations about the axis.
      const Search search =
          searchPairs(q, results[axis], axis, {0.0}, axis, grid(range.LowAngle, range.HighAngle, 2000));
      EXPECT_GE(results[axis].Dot(q), search.bestDot - kRounding);
      EXPECT_LT(search.nearestResult, 1e-3);
    }
  }
  // No content about x at all: every angle is as good, and the identity is
  // taken; with a range, its middle.
  EXPECT_EQ(Quaternion(0, 0, 1, 0).GetClosestX(), Quaternion::IDENTITY);
  EXPECT_EQ(Quaternion(0, 0, 1, 0).GetClosestX(Constraints(0.2, 0.6)), Quaternion(std::cos(0.4), std::sin(0.4), 0, 0));
}

TEST(MgcQuaternionClosest, TwoAxesIsTheBestProductInRangeForEveryOrder) {
  Random random(43);
  const Constraints full(-0.5 * kPi, 0.5 * kPi);
  for (const PairOrder& order : kPairOrders) {
    SCOPED_TRACE(order.name);
    for (int i = 0; i < 60; ++i) {
      // Random rotations, and ones in gimbal lock for the pair: a quarter turn
      // about the third axis between rotations about the two, where only the
      // sum or difference of their angles is determined.
      Quaternion q = fromRef(randomQuaternion(random));
      const double firstAngle = random.uniform(-kPi, kPi), secondAngle = random.uniform(-kPi, kPi);
      const Quaternion quarter = axisRotation(3 - order.first - order.second, (i % 4 < 2 ? 0.25 : -0.25) * kPi);
      if (i % 3 == 2) q = axisRotation(order.first, firstAngle) * quarter * axisRotation(order.second, secondAngle);
      const bool ranged = i % 2 == 0;
      const Constraints firstRange = ranged ? randomRange(random) : full;
      const Constraints secondRange = ranged ? randomRange(random) : full;
      const Quaternion r = ranged ? (q.*order.constrained)(firstRange, secondRange) : (q.*order.closest)();
      const int steps = ranged ? 200 : 300;
      const Search search = searchPairs(q, r, order.first, grid(firstRange.LowAngle, firstRange.HighAngle, steps),
                                        order.second, grid(secondRange.LowAngle, secondRange.HighAngle, steps));
      EXPECT_GE(r.Dot(q), search.bestDot - kRounding);
      EXPECT_LT(search.nearestResult, 1e-2);
      EXPECT_NEAR(r.Length(), 1.0, 1e-7);
    }
  }
}

TEST(MgcQuaternionClosest, FactorsMultiplyBackToTheQuaternion) {
  struct FactorOrder {
    std::string name;
    int axes[3];
    void (Quaternion::*factor)(double&, double&, double&, double&, double&, double&) const;
  };
  const FactorOrder orders[] = {
      {"XYZ", {0, 1, 2}, &Quaternion::FactorXYZ}, {"XZY", {0, 2, 1}, &Quaternion::FactorXZY},
      {"YZX", {1, 2, 0}, &Quaternion::FactorYZX}, {"YXZ", {1, 0, 2}, &Quaternion::FactorYXZ},
      {"ZXY", {2, 0, 1}, &Quaternion::FactorZXY}, {"ZYX", {2, 1, 0}, &Quaternion::FactorZYX},
  };
  Random random(45);
  for (const FactorOrder& order : orders) {
    SCOPED_TRACE(order.name);
    for (int i = 0; i < 300; ++i) {
      // Random rotations, then the middle rotation at, and just off, a quarter
      // turn (gimbal lock).
      Quaternion q = fromRef(randomQuaternion(random));
      if (i % 3 != 0) {
        const double middle = (i % 2 == 0 ? 0.25 : -0.25) * kPi + (i % 3 == 1 ? 0.0 : 1e-6);
        q = axisRotation(order.axes[0], random.uniform(-kPi, kPi)) * axisRotation(order.axes[1], middle) *
            axisRotation(order.axes[2], random.uniform(-kPi, kPi));
      }
      double c[3], s[3];
      (q.*order.factor)(c[0], s[0], c[1], s[1], c[2], s[2]);
      Quaternion product = Quaternion::IDENTITY;
      for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(c[k] * c[k] + s[k] * s[k], 1.0, 1e-9);
        Quaternion factor(c[k], 0.0, 0.0, 0.0);
        factor[order.axes[k] + 1] = s[k];
        product = product * factor;
      }
      EXPECT_LT(distanceUpToSign(product, q), 1e-9);
    }
  }
}
