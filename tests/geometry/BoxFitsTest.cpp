#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/BCapsule.h"
#include "geometry/BVbox.h"
#include "geometry/BVmesh.h"
#include "geometry/BoxFits.h"
#include "geometry/MeshTransforms.h"
#include "math/Tolerances.h"
#include "support/GeometryFixtures.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::Random;
using zovtest::toEigen;

namespace {

using Points = std::vector<MgcVector3>;

/// Distance from p to the segment [a, b].
double segmentDistance(const MgcVector3& p, const MgcVector3& a, const MgcVector3& b) {
  const MgcVector3 ab = b - a;
  const double lengthSq = ab.SquaredLength();
  const double t = lengthSq > 0.0 ? std::clamp((p - a).Dot(ab) / lengthSq, 0.0, 1.0) : 0.0;
  return (a + ab * t - p).Length();
}

/// Three kinds of cloud: uniform in a rotated stretched box, Gaussian, and
/// clustered near a line.
Points randomCloud(Random& random, int kind, std::uint32_t n) {
  const Eigen::Matrix3d rotation = zovtest::randomQuaternion(random).toRotationMatrix();
  const Eigen::Vector3d offset = 5.0 * toEigen(random.vector());
  std::normal_distribution<double> normal;
  Points points;
  for (std::uint32_t i = 0; i < n; ++i) {
    Eigen::Vector3d p;
    if (kind == 0) p = Eigen::Vector3d(4.0, 1.5, 0.3).cwiseProduct(toEigen(random.vector()));
    if (kind == 1) p = Eigen::Vector3d(random.uniform(-3, 3), random.uniform(-1, 1), random.uniform(-1, 1)) * 0.7;
    if (kind == 2) p = Eigen::Vector3d(random.uniform(-10, 10), random.uniform(-0.1, 0.1), random.uniform(-0.1, 0.1));
    p = offset + rotation * p;
    points.emplace_back(p.x(), p.y(), p.z());
  }
  return points;
}

TEST(BoxFits, BoxFittedToTheCornersOfABoxIsThatBox) {
  Random random(17u);
  for (int trial = 0; trial < 40; ++trial) {
    const MgcMatrix3 axes = zovtest::fromEigen(zovtest::randomQuaternion(random).toRotationMatrix());
    const MgcVector3 extents(random.uniform(0.1, 1.0), random.uniform(1.2, 2.0), random.uniform(2.2, 5.0));
    const MgcVector3 centre = random.vector(-10.0, 10.0);
    Points corners;
    for (int k = 0; k < 8; ++k) {
      const MgcVector3 local((k & 1) ? extents.x : -extents.x, (k & 2) ? extents.y : -extents.y,
                             (k & 4) ? extents.z : -extents.z);
      corners.push_back(centre + axes * local);
    }
    ZOVbox box;
    fitOrientedBox(box, 8, corners.data());
    EXPECT_LT((box.center - centre).Length(), 1e-9);
    EXPECT_NEAR(box.axes.Determinant(), 1.0, 1e-12);
    // Each fitted axis is one of the box's axes (either sign) with its half extent.
    for (int k = 0; k < 3; ++k) {
      const MgcVector3 fitted = box.axes.GetColumn(k);
      int match = -1;
      for (int j = 0; j < 3; ++j)
        if (std::fabs(std::fabs(fitted.Dot(axes.GetColumn(j))) - 1.0) < 1e-9) match = j;
      ASSERT_GE(match, 0) << trial;
      EXPECT_NEAR(box.extents[k], extents[match], 1e-9);
    }
    EXPECT_NEAR(box.maxExtent, extents.z, 1e-9);
  }
}

TEST(BoxFits, EveryPointLiesInItsFittedBoxAndCapsuleWhichTouchTheCloud) {
  Random random(23u);
  for (int trial = 0; trial < 30; ++trial) {
    const Points points = randomCloud(random, trial % 3, 50 + 20 * static_cast<std::uint32_t>(trial));
    const std::uint32_t n = static_cast<std::uint32_t>(points.size());

    ZOVbox box;
    fitOrientedBox(box, n, points.data());
    MgcVector3 reach;  // the largest |offset| along each axis
    for (const MgcVector3& p : points)
      for (int k = 0; k < 3; ++k) {
        const double offset = std::fabs((p - box.center).Dot(box.axes.GetColumn(k)));
        EXPECT_LE(offset, box.extents[k] + 1e-9);
        reach[k] = std::max(reach[k], offset);
      }
    // The smallest box with those axes: a point on each face.
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(reach[k], box.extents[k], 1e-9);

    MgcVector3 endA, endB;
    double radius = -1.0;
    fitCapsule(n, points.data(), endA, endB, radius);
    double farthest = 0.0;
    for (const MgcVector3& p : points) {
      const double d = segmentDistance(p, endA, endB);
      EXPECT_LE(d, radius + 1e-9);
      farthest = std::max(farthest, d);
    }
    EXPECT_NEAR(farthest, radius, 1e-9);
  }
}

TEST(BoxFits, BoxAxesAreTheEigenvectorsOfTheCovariance) {
  Random random(29u);
  for (int trial = 0; trial < 20; ++trial) {
    const Points points = randomCloud(random, 0, 400);
    Eigen::Vector3d mean = Eigen::Vector3d::Zero();
    for (const MgcVector3& p : points) mean += toEigen(p) / static_cast<double>(points.size());
    Eigen::Matrix3d covariance = Eigen::Matrix3d::Zero();
    for (const MgcVector3& p : points) covariance += (toEigen(p) - mean) * (toEigen(p) - mean).transpose();
    const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> reference(covariance);

    ZOVbox box;
    fitOrientedBox(box, static_cast<std::uint32_t>(points.size()), points.data());
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(std::fabs(toEigen(box.axes.GetColumn(k)).dot(reference.eigenvectors().col(k))), 1.0, 1e-9);
  }
}

TEST(BoxFits, IndexedFitsEqualTheFitsOfTheSelectedPoints) {
  Random random(31u);
  const Points points = randomCloud(random, 1, 200);
  std::vector<std::uint32_t> index;
  Points selected;
  for (std::uint32_t i = 0; i < points.size(); i += 3) {
    index.push_back(i);
    selected.push_back(points[i]);
  }
  const std::uint32_t n = static_cast<std::uint32_t>(index.size());
  ZOVAAbox bounds, indexedBounds;
  pointListBounds(bounds, n, selected.data());
  pointListBounds(indexedBounds, n, index.data(), points.data());
  EXPECT_TRUE(bounds.min == indexedBounds.min && bounds.max == indexedBounds.max);
  for (const MgcVector3& p : selected)
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(bounds.min[k] <= p[k] && p[k] <= bounds.max[k]);

  ZOVbox box, indexedBox;
  fitOrientedBox(box, n, selected.data());
  fitOrientedBox(indexedBox, n, index.data(), points.data());
  EXPECT_TRUE(box.center == indexedBox.center && box.extents == indexedBox.extents);
  MgcVector3 a, b, ia, ib;
  double r = 0.0, ir = 0.0;
  fitCapsule(n, selected.data(), a, b, r);
  fitCapsule(n, index.data(), points.data(), ia, ib, ir);
  EXPECT_TRUE(a == ia && b == ib && r == ir);
}

TEST(BoxFits, DegeneratePointSets) {
  const MgcVector3 p(1.5, -2.0, 3.0);
  ZOVAAbox bounds{{9, 9, 9}, {9, 9, 9}};
  pointListBounds(bounds, 1, &p);
  EXPECT_TRUE(bounds.min == p && bounds.max == p);
  pointListBounds(bounds, 0, &p);  // nothing to read: the origin
  EXPECT_TRUE(bounds.min == MgcVector3::ZERO && bounds.max == MgcVector3::ZERO);
  ZOVbox box;
  fitOrientedBox(box, 0, nullptr);
  EXPECT_TRUE(box.center == MgcVector3::ZERO && box.maxExtent == 0.0);

  MgcVector3 a, b;
  double radius = -1.0;
  fitCapsule(1, &p, a, b, radius);
  EXPECT_LT((a - p).Length() + (b - p).Length(), 1e-12);
  EXPECT_EQ(radius, 0.0);
  // Points on one line: radius 0, the ends at the extreme points.
  const MgcVector3 direction = MgcVector3(1, 2, -2) / 3.0;
  Points line;
  for (const double t : {0.5, -4.0, 2.0, 7.0, 1.0}) line.push_back(p + direction * t);
  fitCapsule(5, line.data(), a, b, radius);
  EXPECT_NEAR(radius, 0.0, 1e-7);
  const double along[2] = {(a - p).Dot(direction), (b - p).Dot(direction)};
  EXPECT_NEAR(std::min(along[0], along[1]), -4.0, 1e-7);
  EXPECT_NEAR(std::max(along[0], along[1]), 7.0, 1e-7);
  EXPECT_LT(segmentDistance(p, a, b), 1e-7);
}

TEST(BoxFits, ClosestFacesOfTwoCubesFacingEachOther) {
  auto cubeA = zovtest::boxMesh({1, 1, 1});
  auto cubeB = zovtest::boxMesh({1, 1, 1});
  // The search ranks face pairs by the distance of B's vertex from A's face
  // plane; with parallel faces that is the face distance.
  meshTransformSRT(cubeB.get(), {2.5, 0.2, -0.3}, MgcMatrix3::IDENTITY, {1, 1, 1});
  BVmesh a, b;
  ASSERT_TRUE(a.init(cubeA.get(), kMeshEdgeTable | kMeshVertexTable));
  ASSERT_TRUE(b.init(cubeB.get(), kMeshEdgeTable | kMeshVertexTable));

  std::uint32_t va, vb, fa, fb;
  MgcVector3 pa, pb;
  const double dSq = closestMeshFaces(a, b, va, vb, fa, fb, pa, pb);
  EXPECT_NEAR(dSq, 0.25, 1e-12);  // the +x face of A and the -x face of B, 0.5 apart
  EXPECT_NEAR(cubeA->worldFaceNormals[fa].x, 1.0, 1e-12);
  EXPECT_NEAR(cubeB->worldFaceNormals[fb].x, -1.0, 1e-12);
  EXPECT_NEAR(pa.x, 1.0, 1e-12);
  EXPECT_NEAR(pb.x, 1.5, 1e-12);
  EXPECT_NEAR((pa - pb).SquaredLength(), dSq, 1e-12);
}

TEST(BoxFits, ClosestFacesWithoutAnOpposedPairOrTablesFindNothing) {
  // Two triangles facing the same way have no opposed pair.
  auto first = zovtest::polygonMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  auto second = zovtest::polygonMesh({{0, 0, 2}, {1, 0, 2}, {0, 1, 2}}, {{0, 1, 2}});
  BVmesh a, b, bare;
  ASSERT_TRUE(a.init(first.get(), kMeshEdgeTable | kMeshVertexTable));
  ASSERT_TRUE(b.init(second.get(), kMeshEdgeTable | kMeshVertexTable));
  ASSERT_TRUE(bare.init(second.get(), 0));  // no vertex table to search from

  const MgcVector3 untouched(7, 7, 7);
  for (const BVmesh* other : {&b, &bare}) {
    std::uint32_t va = 1, vb = 1, fa = 1, fb = 1;
    MgcVector3 pa = untouched, pb = untouched;
    EXPECT_EQ(closestMeshFaces(a, *other, va, vb, fa, fb, pa, pb), zov::kMaxFloat);
    EXPECT_TRUE(va == zov::kNoIndex && vb == zov::kNoIndex && fa == zov::kNoIndex && fb == zov::kNoIndex);
    EXPECT_TRUE(pa == untouched && pb == untouched);
  }
}

}  // namespace
