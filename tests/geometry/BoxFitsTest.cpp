#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/BVmesh.h"
#include "geometry/BoxFits.h"
#include "geometry/MeshTransforms.h"
#include "math/Tolerances.h"
#include "support/BruteForceGeometry.h"
#include "support/GeometryFixtures.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::Random;
using zovtest::toRef;

namespace {

using Points = std::vector<MgcVector3>;

/// Uniform in a rotated stretched box, Gaussian-like, or clustered near a line.
Points randomCloud(Random& random, int kind, std::uint32_t n) {
  const MgcMatrix3 rotation = random.rotation();
  const MgcVector3 offset = random.vector(-5, 5);
  const MgcVector3 stretch = kind == 0   ? MgcVector3(4.0, 1.5, 0.3)
                             : kind == 1 ? MgcVector3(2, 0.7, 0.7)
                                         : MgcVector3(10, 0.1, 0.1);
  Points points;
  for (std::uint32_t i = 0; i < n; ++i) {
    const MgcVector3 p = random.vector();
    points.push_back(offset + rotation * MgcVector3(stretch.x * p.x, stretch.y * p.y, stretch.z * p.z));
  }
  return points;
}

double distanceToSegment(const MgcVector3& p, const MgcVector3& a, const MgcVector3& b) {
  return std::sqrt(zovtest::bfPointSegmentSq(p, a, b));
}

}  // namespace

TEST(BoxFits, BoxFittedToTheCornersOfABoxIsThatBox) {
  Random random(17u);
  for (int trial = 0; trial < 40; ++trial) {
    const MgcMatrix3 axes = random.rotation();
    const MgcVector3 extents(random.uniform(0.1, 1.0), random.uniform(1.2, 2.0), random.uniform(2.2, 5.0));
    const MgcVector3 centre = random.vector(-10.0, 10.0);
    Points corners;
    for (int k = 0; k < 8; ++k)
      corners.push_back(centre + axes * MgcVector3((k & 1) ? extents.x : -extents.x, (k & 2) ? extents.y : -extents.y,
                                                   (k & 4) ? extents.z : -extents.z));
    ZOVbox box;
    fitOrientedBox(box, 8, corners.data());
    EXPECT_LT((box.center - centre).Length(), 1e-9);
    EXPECT_NEAR(box.axes.Determinant(), 1.0, 1e-12);
    // Each fitted axis is one of the box's axes (either sign) with its half extent.
    for (int k = 0; k < 3; ++k) {
      int match = -1;
      for (int j = 0; j < 3; ++j)
        if (std::fabs(std::fabs(box.axes.GetColumn(k).Dot(axes.GetColumn(j))) - 1.0) < 1e-9) match = j;
      ASSERT_GE(match, 0) << trial;
      EXPECT_NEAR(box.extents[k], extents[match], 1e-9);
    }
    EXPECT_NEAR(box.maxExtent, extents.z, 1e-9);
  }
}

// The box axes are the eigenvectors of the covariance, the box the smallest
// with those axes (a point on each face); the capsule holds every point and
// touches the farthest.
TEST(BoxFits, BoxAndCapsuleHoldTheCloudAndTouchIt) {
  Random random(23u);
  for (int trial = 0; trial < 30; ++trial) {
    const Points points = randomCloud(random, trial % 3, 50 + 20 * static_cast<std::uint32_t>(trial));
    const auto n = static_cast<std::uint32_t>(points.size());
    ZOVbox box;
    fitOrientedBox(box, n, points.data());
    zovref::Vec3 mean;
    for (const MgcVector3& p : points) mean += toRef(p) / n;
    zovref::Mat3 covariance;
    for (const MgcVector3& p : points) covariance += zovref::outer(toRef(p) - mean, toRef(p) - mean);
    const zovref::SymmetricEigen3 reference = zovref::symmetricEigen(covariance);
    MgcVector3 reach;
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(std::fabs(zovref::dot(toRef(box.axes.GetColumn(k)), reference.vectors.col(k))), 1.0, 1e-9);
      for (const MgcVector3& p : points)
        reach[k] = std::max(reach[k], std::fabs((p - box.center).Dot(box.axes.GetColumn(k))));
      EXPECT_NEAR(reach[k], box.extents[k], 1e-9);
    }
    MgcVector3 endA, endB;
    double radius = -1.0, farthest = 0.0;
    fitCapsule(n, points.data(), endA, endB, radius);
    for (const MgcVector3& p : points) farthest = std::max(farthest, distanceToSegment(p, endA, endB));
    EXPECT_NEAR(farthest, radius, 1e-9);
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
  const auto n = static_cast<std::uint32_t>(index.size());
  ZOVAAbox bounds, indexedBounds;
  pointListBounds(bounds, n, selected.data());
  pointListBounds(indexedBounds, n, index.data(), points.data());
  EXPECT_EQ(indexedBounds.min, bounds.min);
  EXPECT_EQ(indexedBounds.max, bounds.max);
  for (const MgcVector3& p : selected)
    for (int k = 0; k < 3; ++k) {
      EXPECT_LE(bounds.min[k], p[k]);
      EXPECT_LE(p[k], bounds.max[k]);
    }
  ZOVbox box, indexedBox;
  fitOrientedBox(box, n, selected.data());
  fitOrientedBox(indexedBox, n, index.data(), points.data());
  EXPECT_EQ(indexedBox.center, box.center);
  EXPECT_EQ(indexedBox.extents, box.extents);
  MgcVector3 a, b, ia, ib;
  double r = 0.0, ir = 0.0;
  fitCapsule(n, selected.data(), a, b, r);
  fitCapsule(n, index.data(), points.data(), ia, ib, ir);
  EXPECT_EQ(ia, a);
  EXPECT_EQ(ib, b);
  EXPECT_EQ(ir, r);
}

TEST(BoxFits, DegeneratePointSets) {
  const MgcVector3 p(1.5, -2.0, 3.0);
  ZOVAAbox bounds{{9, 9, 9}, {9, 9, 9}};
  pointListBounds(bounds, 1, &p);
  EXPECT_EQ(bounds.min, p);
  EXPECT_EQ(bounds.max, p);
  pointListBounds(bounds, 0, &p);  // nothing to read: the origin
  EXPECT_EQ(bounds.max, MgcVector3::ZERO);
  ZOVbox box;
  fitOrientedBox(box, 0, nullptr);
  EXPECT_EQ(box.center, MgcVector3::ZERO);
  EXPECT_EQ(box.maxExtent, 0.0);
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
  EXPECT_NEAR(std::min((a - p).Dot(direction), (b - p).Dot(direction)), -4.0, 1e-7);
  EXPECT_NEAR(std::max((a - p).Dot(direction), (b - p).Dot(direction)), 7.0, 1e-7);
  EXPECT_LT(distanceToSegment(p, a, b), 1e-7);
}

// The search ranks face pairs by the distance of B's vertex from A's face
// plane; two triangles facing the same way, or a mesh without tables, have
// no opposed pair.
TEST(BoxFits, ClosestFacesOfTwoMeshes) {
  auto cubeA = zovtest::boxMesh({1, 1, 1}), cubeB = zovtest::boxMesh({1, 1, 1});
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

  auto first = zovtest::polygonMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  auto second = zovtest::polygonMesh({{0, 0, 2}, {1, 0, 2}, {0, 1, 2}}, {{0, 1, 2}});
  BVmesh c, d, bare;
  ASSERT_TRUE(c.init(first.get(), kMeshEdgeTable | kMeshVertexTable));
  ASSERT_TRUE(d.init(second.get(), kMeshEdgeTable | kMeshVertexTable));
  ASSERT_TRUE(bare.init(second.get(), 0));
  for (const BVmesh* other : {&d, &bare}) {
    va = vb = fa = fb = 1;
    pa = pb = MgcVector3(7, 7, 7);
    EXPECT_EQ(closestMeshFaces(c, *other, va, vb, fa, fb, pa, pb), zov::kMaxFloat);
    for (const std::uint32_t index : {va, vb, fa, fb}) EXPECT_EQ(index, zov::kNoIndex);
    EXPECT_EQ(pa, MgcVector3(7, 7, 7));
  }
}
