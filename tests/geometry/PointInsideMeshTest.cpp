#include "geometry/PointInsideMesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/MeshTransforms.h"
#include "platform/CRandom.h"
#include "support/GeometryFixtures.h"
#include "support/MathTestUtil.h"
#include "support/MeshFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::expectNear;
using zovtest::Random;

namespace {

// The largest signed distance of a point in front of the mesh's world face planes.
double mostInFront(const ZOVmesh& mesh, const MgcVector3& p) {
  double most = -1e300;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f)
    most = std::max(most, (p - mesh.worldVertices[mesh.faces[f].vertices[0]]).Dot(mesh.worldFaceNormals[f]));
  return most;
}

TEST(PointInsideMesh, CubeCases) {
  auto cube = zovtest::boxMesh({1, 1, 1});
  struct Case {
    const char* name;
    MgcVector3 point;
    double margin;
    bool nearest;
    MgcVector3 expected;
  };
  const Case cases[] = {
      {"inside stays", {0.2, -0.5, 0.9}, 0.1, false, {0.2, -0.5, 0.9}},
      {"within the tolerance outside stays", {1 + 0.5e-5, 0, 0}, 0.1, false, {1 + 0.5e-5, 0, 0}},
      {"outside one face", {3, 0.5, 0}, 0.1, false, {0.8, 0.5, 0}},
      {"outside two faces near a corner", {1.5, 1.2, 0}, 0.1, false, {0.95, 0.98, 0}},
      {"outside three faces", {2, -3, 1.5}, 0.5, false, {0.5, 0, 0.75}},
      {"nearest face, outside", {1.2, 0.3, 0}, 0.5, true, {0.9, 0.3, 0}},
      {"nearest face, inside: pushed out", {0.8, 0.3, 0}, 0.5, true, {1.1, 0.3, 0}},
      {"nearest face, margin 0 lands on the plane", {0.3, -0.9, 0.5}, 0.0, true, {0.3, -1, 0.5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (unsigned seed = 1; seed <= 6; ++seed) {  // start faces vary with the generator
      zov::platform::crtSrand(seed);
      MgcVector3 p = c.point;
      makePointInsideMesh(*cube, p, c.margin, c.nearest);
      expectNear(p, c.expected);
    }
    MgcVector3 p = c.point;  // a mesh without faces leaves the point
    makePointInsideMesh(ZOVmesh(), p, c.margin, c.nearest);
    EXPECT_EQ(p, c.point);
  }
}

TEST(PointInsideMesh, RandomStartModeEndsInsideRandomConvexMeshes) {
  Random random(41);
  for (int i = 0; i < 150; ++i) {
    std::vector<MgcVector3> points;
    const int count = 4 + static_cast<int>(random.index(8));
    for (int k = 0; k < count; ++k) points.push_back(random.vector(-1, 1));
    auto mesh = zovtest::convexHullMesh(points);
    // Placed somewhere else, turned and scaled.
    meshTransformSRT(mesh.get(), random.vector(-5, 5), random.rotation(), random.vector(0.5, 2.0));
    const double margin = std::vector<double>{1e-5, 0.01, 0.1, 1.0}[i % 4];
    SCOPED_TRACE(i);
    for (int j = 0; j < 10; ++j) {
      const MgcVector3 start = mesh->translation + random.vector(-4, 4);
      MgcVector3 p = start;
      makePointInsideMesh(*mesh, p, margin, false);
      // Inside by ray parity, or left where the face planes allow: within the
      // 1e-5 tolerance of the inside.
      const bool inside = zovtest::insideByRayParity(*mesh, p);
      EXPECT_TRUE(inside || mostInFront(*mesh, p) <= 1e-5 + 1e-9) << j;
      if (mostInFront(*mesh, start) < 0.0) expectNear(p, start);
    }
  }
}

TEST(PointInsideMesh, BothMeshRecordsGiveTheSamePoint) {
  Random random(42);
  std::vector<MgcVector3> points;
  for (int k = 0; k < 9; ++k) points.push_back(random.vector(-1, 1));
  auto mesh = zovtest::convexHullMesh(points);
  meshTransformSRT(mesh.get(), {1, 2, 3}, random.rotation(), {1.5, 0.5, 2});
  auto df = zovtest::dfMeshOf(*mesh);
  for (int j = 0; j < 50; ++j) {
    const MgcVector3 start = random.vector(-4, 4) + MgcVector3(1, 2, 3);
    for (bool nearest : {false, true}) {
      MgcVector3 p = start, q = start;
      zov::platform::crtSrand(100 + j);
      makePointInsideMesh(*mesh, p, 0.05, nearest);
      zov::platform::crtSrand(100 + j);
      makePointInsideMesh(*df, q, 0.05, nearest);
      EXPECT_EQ(p, q);
    }
  }
}

TEST(PointInsideMesh, NonConvexMeshAsFarAsItsFacePlanesGo) {
  // The L-shaped prism: a point behind every face plane (the corner cube
  // [0,1]^3) stays; the nearest-face mode moves across the nearest plane.
  auto l = zovtest::lPrismMesh();
  const MgcVector3 core(0.5, 0.4, 0.7);
  MgcVector3 p = core;
  makePointInsideMesh(*l, p, 0.1, false);
  EXPECT_EQ(p, core);
  EXPECT_TRUE(zovtest::insideByRayParity(*l, p));

  p = {1.5, 0.5, 1.2};  // over the right arm: the top plane is nearest
  makePointInsideMesh(*l, p, 0.5, true);
  expectNear(p, {1.5, 0.5, 0.9});
  EXPECT_TRUE(zovtest::insideByRayParity(*l, p));
  p = {0.5, 1.9, 0.5};  // in the upper arm, 0.1 from its top side
  makePointInsideMesh(*l, p, 1.0, true);
  expectNear(p, {0.5, 2.1, 0.5});
}

TEST(PointInsideMesh, MakePointInsideOBB) {
  Random random(43);
  for (int i = 0; i < 500; ++i) {
    const ZOVbox box = zovtest::randomBox(random, 3.0, 0.2, 2.0);
    const MgcVector3 start = box.center + random.vector(-4, 4);
    MgcVector3 p = start;
    makePointInsideOBB(box, p);
    bool startInside = true;
    for (int a = 0; a < 3; ++a) {
      const double along = (p - box.center).Dot(box.axes.GetColumn(a));
      EXPECT_LE(std::fabs(along), box.extents[a] + 1e-9) << i;
      startInside = startInside && std::fabs((start - box.center).Dot(box.axes.GetColumn(a))) < box.extents[a];
    }
    if (startInside) expectNear(p, start, 1e-12);
  }
}

TEST(PointInsideMesh, PointInsideConvexMeshAgreesWithRayParity) {
  Random random(44);
  auto cube = zovtest::boxMesh({1, 1, 1});
  EXPECT_TRUE(pointInsideConvexMesh({1, 0.5, 0}, *cube, 0.0));  // on a face
  EXPECT_FALSE(pointInsideConvexMesh({1.001, 0.5, 0}, *cube, 0.0));
  EXPECT_TRUE(pointInsideConvexMesh({1.001, 0.5, 0}, *cube, 0.01));  // within the tolerance
  EXPECT_TRUE(pointInsideConvexMesh({5, 5, 5}, ZOVmesh(), 0.0));

  for (int i = 0; i < 40; ++i) {
    std::vector<MgcVector3> points;
    for (int k = 0; k < 8; ++k) points.push_back(random.vector(-1, 1));
    auto mesh = zovtest::convexHullMesh(points);
    meshTransformSRT(mesh.get(), random.vector(-5, 5), random.rotation(), random.vector(0.5, 2.0));
    for (int j = 0; j < 50; ++j) {
      const MgcVector3 p = mesh->translation + random.vector(-2.5, 2.5);
      if (std::fabs(mostInFront(*mesh, p)) < 1e-6) continue;
      EXPECT_EQ(pointInsideConvexMesh(p, *mesh, 1e-9), zovtest::insideByRayParity(*mesh, p)) << i << " " << j;
    }
  }
}

TEST(PointInsideMesh, SegmentOverlapsConvexMeshCases) {
  auto cube = zovtest::boxMesh({1, 1, 1});
  meshTransformSRT(cube.get(), {10, 0, 0}, MgcMatrix3::IDENTITY, {1, 1, 1});
  struct Case {
    const char* name;
    MgcVector3 a, b;
    bool overlap;
  };
  const Case cases[] = {
      {"through the cube", {7, 0, 0}, {13, 0.5, 0.5}, true},
      {"one end inside", {10, 0, 0}, {15, 5, 5}, true},
      {"wholly in front of one face", {11.5, -5, 0}, {11.5, 5, 0}, false},
      {"on a face plane", {11, -5, 0}, {11, 5, 0}, true},
      // Passes beside an edge without lying wholly in front of one face: the
      // test is conservative and counts it.
      {"beside an edge", {11.8, 0, 0}, {10, 1.8, 0}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(segmentOverlapsConvexMesh(c.a, c.b, *cube), c.overlap) << c.name;
}

TEST(PointInsideMesh, PointsInsideConvexMeshTakesLocalPoints) {
  auto cube = zovtest::boxMesh({1, 1, 1});
  meshTransformSRT(cube.get(), {10, 0, 0}, MgcMatrix3::IDENTITY, {1, 1, 1});  // world data moves, local stays
  const MgcVector3 local[3] = {{0.5, 0.5, 0.5}, {-1, 0, 0}, {0, 0.9, -0.9}};
  const MgcVector3 outside[2] = {{0.5, 0.5, 0.5}, {1.1, 0, 0}};
  EXPECT_TRUE(pointsInsideConvexMesh(cube.get(), local, 3, 0.0));
  EXPECT_FALSE(pointsInsideConvexMesh(cube.get(), outside, 2, 0.0));
  EXPECT_TRUE(pointsInsideConvexMesh(cube.get(), outside, 2, 0.2));
  EXPECT_TRUE(pointsInsideConvexMesh(cube.get(), local, 0, 0.0));
  EXPECT_FALSE(pointsInsideConvexMesh(nullptr, local, 3, 0.0));
}

TEST(PointInsideMesh, BoxesContainPointsWithinTheirTolerance) {
  const ZOVAAbox aa{{-1, -2, -3}, {1, 2, 3}};
  ZOVbox box;
  box.center = {5, 5, 5};
  box.axes = MgcMatrix3(0, -1, 0, 1, 0, 0, 0, 0, 1);  // a quarter turn about z
  box.extents = {1, 2, 3};
  struct Case {
    const char* name;
    MgcVector3 offset;
    double tolerance;
    bool contained;
  };
  const Case cases[] = {
      {"centre", {0, 0, 0}, 0.0, true},
      {"on a face, tolerance 0", {1, 0, 0}, 0.0, true},
      {"on a corner", {1, -2, 3}, 0.0, true},
      {"just beyond a face", {0, 2.00002, 0}, 1e-5, false},
      {"beyond, within the tolerance", {0, 0, -3.000005}, 1e-5, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(aabbContainsPoint(c.offset, aa, c.tolerance), c.contained);
    // The oriented box holds the same point given in its own axes.
    const MgcVector3 world = box.center + box.axes * c.offset;
    EXPECT_EQ(obbContainsPoint(world, box, c.tolerance), c.contained);
  }
}

}  // namespace
