#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <vector>

#include "geometry/CovarianceFit.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovref::Vec3;
using zovtest::Random;
using zovtest::toRef;

namespace {

// A cloud stretched differently along three random directions, away from the origin.
std::vector<MgcVector3> randomCloud(Random& random, std::uint32_t count) {
  const MgcMatrix3 rotation = random.rotation();
  const MgcVector3 offset = random.vector(-10, 10);
  std::vector<MgcVector3> points;
  for (std::uint32_t i = 0; i < count; ++i) {
    const MgcVector3 p = random.vector();
    points.push_back(offset + rotation * MgcVector3(5.0 * p.x, 2.0 * p.y, 0.5 * p.z));
  }
  return points;
}

// The covariance of the points about their mean, in double precision throughout.
zovref::SymmetricEigen3 referenceAxes(const std::vector<MgcVector3>& points, Vec3& mean) {
  mean = Vec3();
  for (const MgcVector3& p : points) mean += toRef(p);
  mean /= static_cast<double>(points.size());
  zovref::Mat3 covariance;
  for (const MgcVector3& p : points) {
    const Vec3 d = toRef(p) - mean;
    covariance += zovref::outer(d, d);
  }
  covariance /= static_cast<double>(points.size());
  return zovref::symmetricEigen(covariance);
}

TEST(CovarianceFit, BoxAxesAndLineFollowTheEigenvectorsOfTheCovariance) {
  Random random(31u);
  for (int trial = 0; trial < 50; ++trial) {
    const std::vector<MgcVector3> points = randomCloud(random, 200);
    Vec3 mean;
    const auto reference = referenceAxes(points, mean);

    ZOVbox box;
    fitBoxToPoints(static_cast<std::uint32_t>(points.size()), points.data(), box);
    // The single-precision 1/count costs about 1e-7 relative.
    EXPECT_LT(norm(toRef(box.center) - mean), 1e-6 * norm(mean));
    const zovref::Mat3 axes = toRef(box.axes);
    EXPECT_NEAR(determinant(axes), 1.0, 1e-12);
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(box.extents[i], reference.values[i], 1e-6 * reference.values[i]);
      EXPECT_NEAR(std::fabs(dot(axes.col(i), reference.vectors.col(i))), 1.0, 1e-9);
    }

    // The indexed form over a permutation fits the same points.
    std::vector<std::uint32_t> order(points.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(order.size()) - 1 - i;
    ZOVbox indexed;
    fitBoxToPoints(static_cast<std::uint32_t>(order.size()), order.data(), points.data(), indexed);
    EXPECT_LT(zovtest::maxDifference(indexed.axes, box.axes), 1e-9);
    EXPECT_LT(norm(toRef(indexed.center) - toRef(box.center)), 1e-12 * norm(mean));

    // The line runs through the mean along the direction of greatest spread.
    MgcVector3 center, direction;
    fitLineToPoints(static_cast<std::uint32_t>(points.size()), points.data(), center, direction);
    EXPECT_LT(norm(toRef(center) - mean), 1e-6 * norm(mean));
    EXPECT_NEAR(direction.Length(), 1.0, 1e-14);
    EXPECT_NEAR(std::fabs(dot(toRef(direction), reference.vectors.col(2))), 1.0, 1e-9);
  }
}

TEST(CovarianceFit, DegenerateSets) {
  // Points on the x axis: direction +-x, two zero variances and the largest last.
  const MgcVector3 line[] = {{1.0, 0.0, 0.0}, {-2.0, 0.0, 0.0}, {4.0, 0.0, 0.0}, {0.5, 0.0, 0.0}};
  MgcVector3 mean, direction;
  fitLineToPoints(4, line, mean, direction);
  EXPECT_EQ(std::fabs(direction.x), 1.0);
  ZOVbox box;
  fitBoxToPoints(4, line, box);
  EXPECT_EQ(box.extents.x, 0.0);
  EXPECT_EQ(box.extents.y, 0.0);
  EXPECT_GT(box.extents.z, 0.0);
  EXPECT_EQ(std::fabs(box.axes[0][2]), 1.0);

  // The mean scales by 1.0f / 3 widened to double, not by the double 1/3.
  const MgcVector3 three[] = {{3.0, 0.0, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
  fitLineToPoints(3, three, mean, direction);
  EXPECT_EQ(mean.x, 3.0 * 0.3333333432674408);

  // An empty set reads nothing.
  fitBoxToPoints(0, static_cast<const MgcVector3*>(nullptr), box);
  EXPECT_EQ(box.center, MgcVector3::ZERO);
  EXPECT_EQ(box.axes, Mgc::MgcMatrix3::IDENTITY);
  EXPECT_EQ(box.extents, MgcVector3::ZERO);
  fitLineToPoints(0, static_cast<const MgcVector3*>(nullptr), mean, direction);
  EXPECT_EQ(mean, MgcVector3::ZERO);
  EXPECT_EQ(direction, MgcVector3::UNIT_X);
}

// The indices, chosen the straightforward way with the reference axes, of the
// extremes wanted / 4 at a time: largest and smallest along the axis of
// greatest spread, then along the middle axis, never the same point twice.
std::vector<std::uint32_t> expectedExtremes(const std::vector<MgcVector3>& points, std::uint32_t wanted) {
  Vec3 mean;
  const auto reference = referenceAxes(points, mean);
  std::vector<std::uint32_t> chosen;
  const int axes[4] = {2, 2, 1, 1};
  const double signs[4] = {1.0, -1.0, 1.0, -1.0};
  for (int pass = 0; pass < 4; ++pass) {
    const Vec3 axis = reference.vectors.col(axes[pass]);
    std::vector<std::uint32_t> order;
    for (std::uint32_t i = 0; i < points.size(); ++i)
      if (std::find(chosen.begin(), chosen.end(), i) == chosen.end()) order.push_back(i);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
      return signs[pass] * dot(toRef(points[a]), axis) > signs[pass] * dot(toRef(points[b]), axis);
    });
    chosen.insert(chosen.end(), order.begin(), order.begin() + wanted / 4);
  }
  std::sort(chosen.begin(), chosen.end());
  return chosen;
}

TEST(CovarianceFit, SelectsTheExtremesAlongThePrincipalAxes) {
  Random random(33u);
  for (int trial = 0; trial < 100; ++trial) {
    const std::vector<MgcVector3> points = randomCloud(random, 20 + trial);
    // The eigenvector signs are arbitrary; each axis contributes both ends.
    for (std::uint32_t wanted : {4u, 6u, 16u}) {
      std::vector<std::uint32_t> indices(wanted);
      std::uint32_t count = wanted;
      selectExtremePoints(points.data(), static_cast<std::uint32_t>(points.size()), indices.data(), count);
      ASSERT_EQ(count, wanted / 4 * 4);
      indices.resize(count);
      EXPECT_EQ(indices, expectedExtremes(points, wanted));
    }
    // Fewer than four: the largest sums of projections weighted by the variances.
    Vec3 mean;
    const auto reference = referenceAxes(points, mean);
    const zovref::Mat3 weighted = zovref::Mat3::diagonal(reference.values) * transpose(reference.vectors);
    std::vector<double> score;
    for (const MgcVector3& p : points) score.push_back(absSum(weighted * toRef(p)));
    std::vector<std::uint32_t> expected(points.size());
    std::iota(expected.begin(), expected.end(), 0u);
    std::sort(expected.begin(), expected.end(), [&](auto a, auto b) { return score[a] > score[b]; });
    expected.resize(3);
    std::sort(expected.begin(), expected.end());
    std::vector<std::uint32_t> indices(3);
    std::uint32_t count = 3;
    selectExtremePoints(points.data(), static_cast<std::uint32_t>(points.size()), indices.data(), count);
    EXPECT_EQ(indices, expected);
  }
}

TEST(CovarianceFit, ExtremeSelectionEdgeCases) {
  const MgcVector3 boxCorners[8] = {{-3, -2, -1}, {3, -2, -1}, {-3, 2, -1}, {3, 2, -1},
                                    {-3, -2, 1},  {3, -2, 1},  {-3, 2, 1},  {3, 2, 1}};
  std::vector<MgcVector3> collinear, coincident;
  for (int i = 0; i < 20; ++i) {
    collinear.emplace_back(0.1 * i, 0.2 * i, -0.1 * i);
    coincident.emplace_back(1.0, 2.0, 3.0);
  }
  struct Case {
    const char* name;
    const MgcVector3* points;
    std::uint32_t count;
    std::uint32_t wanted;
    std::vector<std::uint32_t> expected;  // empty: only check distinct valid indices
    std::uint32_t expectedCount;
  };
  const Case cases[] = {
      // Ties go to the lowest index: both ends along x, then along y.
      {"box corners", boxCorners, 8, 4, {0, 1, 2, 4}, 4},
      {"wanted >= count", boxCorners, 3, 5, {0, 1, 2}, 3},
      {"one point", boxCorners, 1, 6, {0}, 1},
      {"empty set", boxCorners, 0, 6, {}, 0},
      {"collinear", collinear.data(), 20, 8, {}, 8},
      {"coincident, four or more", coincident.data(), 20, 8, {}, 8},
      {"coincident, fewer than four", coincident.data(), 20, 3, {}, 3},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    std::vector<std::uint32_t> indices(std::max(test.wanted, 1u), 999u);
    std::uint32_t count = test.wanted;
    selectExtremePoints(test.points, test.count, indices.data(), count);
    ASSERT_EQ(count, test.expectedCount);
    indices.resize(count);
    if (!test.expected.empty()) {
      EXPECT_EQ(indices, test.expected);
    }
    EXPECT_TRUE(std::is_sorted(indices.begin(), indices.end()));
    EXPECT_EQ(std::adjacent_find(indices.begin(), indices.end()), indices.end()) << "an index twice";
    EXPECT_TRUE(std::all_of(indices.begin(), indices.end(), [&](std::uint32_t i) { return i < test.count; }));
  }
}

}  // namespace
