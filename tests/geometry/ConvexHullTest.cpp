#include "geometry/ConvexHull.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "support/HullChecks.h"
#include "support/MeshFixtures.h"
#include "support/PointClouds.h"
#include "support/QhullReference.h"
#include "support/reference/EigenReference.h"

using Mgc::MgcVector3;
using zovtest::Points;

namespace {

/// Points within this distance of a hull face count as lying on it.
constexpr double kOnFace = 1e-5;

bool samePosition(const MgcVector3& a, const MgcVector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// The first point at the same position as each given one, so that duplicates
// compare equal; sorted and unique.
std::vector<std::int64_t> canonical(const std::vector<std::int64_t>& indices, const Points& points) {
  std::vector<std::int64_t> result;
  for (std::int64_t index : indices) {
    std::int64_t first = index;
    for (std::int64_t i = 0; i < index; ++i)
      if (samePosition(points[i], points[index])) {
        first = i;
        break;
      }
    result.push_back(first);
  }
  std::sort(result.begin(), result.end());
  result.erase(std::unique(result.begin(), result.end()), result.end());
  return result;
}

// The hull is a closed convex polyhedron with the reference's vertices and
// volume that holds every input point.
void expectMatchesReference(const zovtest::CheckedHull& hull, const Points& points) {
  zovtest::ReferenceHull reference;
  ASSERT_TRUE(zovtest::qhullReference(points, reference));
  const std::vector<std::int64_t> actual = zovtest::vertexInputIndices(hull, points);
  ASSERT_EQ(std::count(actual.begin(), actual.end(), -1), 0) << "a hull vertex is not an input point";
  EXPECT_EQ(
      canonical(actual, points),
      canonical(std::vector<std::int64_t>(reference.vertexIndices.begin(), reference.vertexIndices.end()), points))
      << "vertex sets differ";
  EXPECT_EQ(actual.size(), canonical(actual, points).size()) << "a position is a vertex twice";
  EXPECT_NEAR(zovtest::enclosedVolume(hull), reference.volume, 1e-9 * reference.volume);
  EXPECT_LE(zovtest::largestOutsideDistance(hull, points), kOnFace);
  const std::vector<std::string> problems = zovtest::convexityProblems(hull, kMaxFaceCorners, 1e-9);
  EXPECT_TRUE(problems.empty()) << problems.size() << " problems, first: " << problems.front();
}

struct CloudCase {
  const char* name;
  std::function<Points()> make;
};

Points scaled(Points points, double factor) {
  for (MgcVector3& p : points) p *= factor;
  return points;
}

// A lattice of g^3 points spaced 0.5 apart: rows, planes and corners full of
// collinear and coplanar points.
Points lattice(int g) {
  Points points;
  for (int i = 0; i < g; ++i)
    for (int j = 0; j < g; ++j)
      for (int k = 0; k < g; ++k) points.emplace_back(0.5 * i, 0.5 * j, 0.5 * k);
  return points;
}

const std::vector<CloudCase>& referenceClouds() {
  static const std::vector<CloudCase> cases = {
      {"4 random points", [] { return zovtest::uniformInCube(4, 1); }},
      {"20 in a cube", [] { return zovtest::uniformInCube(20, 2); }},
      {"1000 in a cube", [] { return zovtest::uniformInCube(1000, 3); }},
      {"1000 in a ball", [] { return zovtest::uniformInBall(1000, 4); }},
      {"2000 gaussian", [] { return zovtest::gaussianCloud(2000, 5); }},
      {"300 on a sphere", [] { return zovtest::onSphere(300, 6); }},
      {"500 in a cube 100 wide", [] { return scaled(zovtest::uniformInCube(500, 7), 50.0); }},
      {"cube corners shuffled", [] { return zovtest::shuffled(zovtest::boxCorners(1.0, 1.0, 1.0), 8); }},
      {"box with interior points",
       [] {
         Points points = zovtest::insideBox(200, 2.0, 1.0, 0.5, 9);
         zovtest::append(points, zovtest::boxCorners(2.0, 1.0, 0.5));
         return zovtest::shuffled(points, 10);
       }},
      {"every point three times",
       [] {
         Points points = zovtest::uniformInBall(150, 11);
         const Points copy = points;
         zovtest::append(points, copy);
         zovtest::append(points, copy);
         return zovtest::shuffled(points, 12);
       }},
      {"cube with points on its faces and edges",
       [] {
         Points points = zovtest::cubeSurfaceGrid(6);
         zovtest::append(points, zovtest::boxCorners(1.0, 1.0, 1.0));
         zovtest::append(points, zovtest::insideBox(50, 1.0, 1.0, 1.0, 13));
         return zovtest::shuffled(points, 14);
       }},
      {"lattice of 4 x 4 x 4", [] { return zovtest::shuffled(lattice(4), 15); }},
      {"prism over a 20-gon",
       [] {
         Points points = zovtest::regularPolygon(20, -1.0);
         zovtest::append(points, zovtest::regularPolygon(20, 0.0));
         zovtest::append(points, zovtest::regularPolygon(20, 1.0));
         return zovtest::shuffled(points, 16);
       }},
  };
  return cases;
}

}  // namespace

TEST(ConvexHull, HullsOfPointCloudsMatchTheReference) {
  for (const CloudCase& cloud : referenceClouds()) {
    SCOPED_TRACE(cloud.name);
    const Points points = cloud.make();
    const auto n = static_cast<std::uint32_t>(points.size());
    const auto hull = convexHull(points.data(), n);
    ASSERT_NE(hull, nullptr);
    expectMatchesReference(zovtest::checkedHull(*hull), points);
    const auto dfHull = convexHullDF(points.data(), n);
    ASSERT_NE(dfHull, nullptr);
    expectMatchesReference(zovtest::checkedHull(*dfHull), points);
    for (std::uint32_t f = 0; f < dfHull->numFaces; ++f) EXPECT_EQ(dfHull->faces[f].normal, dfHull->faceNormals[f]);
  }
}

// Points as a host mesh in single precision delivers them: rotated, scaled
// and rounded to float, so that flat parts are flat only to within rounding.
Points singlePrecision(Points points, double scale, unsigned seed) {
  std::mt19937 engine(seed);
  std::normal_distribution<double> normal;
  const zovref::Quat q(normal(engine), normal(engine), normal(engine), normal(engine));
  const zovref::Mat3 rotation = zovref::toRotationMatrix(zovref::normalized(q));
  for (MgcVector3& p : points) {
    const zovref::Vec3 r = scale * (rotation * zovref::Vec3(p.x, p.y, p.z));
    p = MgcVector3(static_cast<float>(r.x()), static_cast<float>(r.y()), static_cast<float>(r.z()));
  }
  return points;
}

TEST(ConvexHull, HullsOfSinglePrecisionPointsAreClosedAndConvex) {
  struct Case {
    const char* name;
    Points points;
  };
  Points gridCube = zovtest::cubeSurfaceGrid(7);
  zovtest::append(gridCube, zovtest::boxCorners(1.0, 1.0, 1.0));
  Points cylinder;
  for (double z : {-1.0, -0.3, 0.4, 1.0}) zovtest::append(cylinder, zovtest::regularPolygon(32, z));
  zovtest::append(cylinder, zovtest::insideBox(50, 0.6, 0.6, 0.9, 31));
  for (double scale : {1.0, 100.0, 3000.0}) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
      const Case cases[] = {
          {"cube with grids on its faces", zovtest::shuffled(singlePrecision(gridCube, scale, seed), seed)},
          {"cylinder", zovtest::shuffled(singlePrecision(cylinder, scale, seed), seed)},
          {"sphere", singlePrecision(zovtest::onSphere(200, seed), scale, seed)},
      };
      for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.name) + " at scale " + std::to_string(scale) + ", seed " + std::to_string(seed));
        // Flatness holds to the tolerance or to the rounding of the positions,
        // whichever is larger.
        const double tolerance = kOnFace + 1e-6 * scale;
        const auto hull = convexHull(test.points.data(), static_cast<std::uint32_t>(test.points.size()));
        ASSERT_NE(hull, nullptr);
        const zovtest::CheckedHull checked = zovtest::checkedHull(*hull);
        EXPECT_LE(zovtest::largestOutsideDistance(checked, test.points), tolerance);
        const std::vector<std::string> problems = zovtest::convexityProblems(checked, kMaxFaceCorners, tolerance);
        EXPECT_TRUE(problems.empty()) << problems.size() << " problems, first: " << problems.front();
        zovtest::ReferenceHull reference;
        ASSERT_TRUE(zovtest::qhullReference(test.points, reference));
        EXPECT_NEAR(zovtest::enclosedVolume(checked), reference.volume, 1e-6 * reference.volume);
      }
    }
  }
}

TEST(ConvexHull, ThreePointsGiveOneTriangleInInputOrder) {
  const Points points = {{0.0, 0.0, 0.0}, {2.0, 0.0, 0.0}, {0.0, 3.0, 0.0}};
  const MgcVector3 normal(0.0, 0.0, -1.0);  // (p2 - p0) x (p1 - p0)
  const auto hull = convexHull(points.data(), 3);
  const auto dfHull = convexHullDF(points.data(), 3);
  ASSERT_NE(hull, nullptr);
  ASSERT_NE(dfHull, nullptr);
  ASSERT_EQ(hull->numFaces, 1u);
  ASSERT_EQ(dfHull->numFaces, 1u);
  EXPECT_EQ(std::vector<MgcVector3>(hull->vertices, hull->vertices + hull->numVertices), points);
  EXPECT_EQ(std::vector<std::uint32_t>(hull->faces[0].vertices, hull->faces[0].vertices + hull->faces[0].numVertices),
            (std::vector<std::uint32_t>{0, 1, 2}));
  EXPECT_EQ(dfHull->faces[0].vertices[2], 2u);
  EXPECT_EQ(hull->faceNormals[0], normal);
  EXPECT_EQ(hull->worldFaceNormals[0], normal);
  EXPECT_EQ(dfHull->faceNormals[0], normal);
}

// Corners in any order, with interior points, copies of the corners or points
// on the faces and edges: the hull is the cube, six quads with outward axis
// normals, its world data left for the caller's transform.
TEST(ConvexHull, CubeCornersWithAnythingInsideOrOnTheSurfaceGiveTheCube) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    Points points = zovtest::boxCorners(1.0, 1.0, 1.0);
    if (seed % 3 == 1) zovtest::append(points, zovtest::insideBox(100, 1.0, 1.0, 1.0, seed));
    if (seed % 3 == 2) {
      zovtest::append(points, zovtest::boxCorners(1.0, 1.0, 1.0));
      zovtest::append(points, zovtest::cubeSurfaceGrid(5));
    }
    points = zovtest::shuffled(points, seed);
    SCOPED_TRACE(seed);
    const auto hull = convexHull(points.data(), static_cast<std::uint32_t>(points.size()));
    ASSERT_NE(hull, nullptr);
    EXPECT_EQ(hull->numVertices, 8u);
    ASSERT_EQ(hull->numFaces, 6u);
    for (std::uint32_t f = 0; f < 6; ++f) {
      EXPECT_EQ(hull->faces[f].numVertices, 4u);
      const MgcVector3& n = hull->faceNormals[f];
      EXPECT_EQ(std::abs(n.x) + std::abs(n.y) + std::abs(n.z), 1.0);
      EXPECT_GT(n.Dot(hull->vertices[hull->faces[f].vertices[0]]), 0.0);
      EXPECT_EQ(hull->worldFaceNormals[f], MgcVector3::ZERO);
      EXPECT_EQ(hull->faces[f].mark, 1u);
    }
  }
}

TEST(ConvexHull, FlatFacesSplitIntoFansOnlyAboveThirtyTwoCorners) {
  struct Case {
    std::uint32_t sides;
    std::uint32_t baseFaces;
    std::uint32_t baseCorners;
  };
  for (const Case& test : {Case{31, 1, 31}, Case{32, 1, 32}, Case{33, 31, 3}, Case{40, 38, 3}}) {
    SCOPED_TRACE(test.sides);
    // A pyramid over a regular polygon: its base is one flat face.
    Points points = zovtest::regularPolygon(test.sides, 0.0);
    points.emplace_back(0.1, 0.2, 1.0);
    points = zovtest::shuffled(points, test.sides);
    for (const bool dfMesh : {false, true}) {
      zovtest::CheckedHull hull;
      if (dfMesh) {
        const auto mesh = convexHullDF(points.data(), static_cast<std::uint32_t>(points.size()));
        ASSERT_NE(mesh, nullptr);
        hull = zovtest::checkedHull(*mesh);
      } else {
        const auto mesh = convexHull(points.data(), static_cast<std::uint32_t>(points.size()));
        ASSERT_NE(mesh, nullptr);
        hull = zovtest::checkedHull(*mesh);
      }
      std::vector<const zovtest::CheckedFace*> base;
      for (const zovtest::CheckedFace& face : hull.faces)
        if (face.normal.z < -0.999999) base.push_back(&face);
      ASSERT_EQ(base.size(), test.baseFaces);
      for (const zovtest::CheckedFace* face : base) {
        EXPECT_EQ(face->corners.size(), test.baseCorners);
        // The fan's triangles all start at the same corner.
        EXPECT_EQ(face->corners[0], base.front()->corners[0]);
      }
      const std::vector<std::string> problems = zovtest::convexityProblems(hull, kMaxFaceCorners, 1e-9);
      EXPECT_TRUE(problems.empty()) << problems.front();
    }
  }
}

TEST(ConvexHull, PointsWithinToleranceBeyondTheHullStayWithinIt) {
  // Points just beyond the cube's faces, edges and corners: whether or not one
  // becomes a vertex depends on when it is met, but every point ends within
  // the tolerance of the hull and the hull stays the cube within it.
  Points points = zovtest::boxCorners(1.0, 1.0, 1.0);
  const double nudge = 0.9 * kOnFace;
  zovtest::append(points, {{1.0 + nudge, 0.2, -0.3},
                           {0.5, -1.0 - nudge, 0.5},
                           {1.0 + 0.5 * nudge, 1.0 + 0.5 * nudge, 0.0},
                           {-1.0, -1.0, -1.0 - 0.5 * nudge}});
  for (unsigned seed = 1; seed <= 6; ++seed) {
    const Points order = zovtest::shuffled(points, seed);
    const auto hull = convexHull(order.data(), static_cast<std::uint32_t>(order.size()));
    ASSERT_NE(hull, nullptr);
    const zovtest::CheckedHull checked = zovtest::checkedHull(*hull);
    EXPECT_LE(zovtest::largestOutsideDistance(checked, order), kOnFace);
    EXPECT_NEAR(zovtest::enclosedVolume(checked), 8.0, 24.0 * kOnFace);
    EXPECT_TRUE(zovtest::convexityProblems(checked, kMaxFaceCorners, kOnFace).empty());
  }
}

TEST(ConvexHull, InputsWithoutVolumeGiveNoHull) {
  struct Case {
    const char* name;
    Points points;
  };
  Points square;
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 5; ++j) square.emplace_back(i, j, 0.0);
  Points thinSlab = square;
  thinSlab.emplace_back(2.0, 2.0, 0.5 * kOnFace);
  const Case cases[] = {
      {"no points", {}},
      {"one point", {{1, 2, 3}}},
      {"two points", {{0, 0, 0}, {1, 1, 1}}},
      {"three points on a line", {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}},
      {"three equal points", {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}},
      {"ten points on a line",
       [] {
         Points line;
         for (int i = 0; i < 10; ++i) line.emplace_back(0.5 * i, -0.25 * i, i);
         return line;
       }()},
      {"ten equal points", Points(10, MgcVector3(4, 5, 6))},
      {"a flat grid", square},
      {"a grid with a point within the tolerance of its plane", thinSlab},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const auto n = static_cast<std::uint32_t>(test.points.size());
    EXPECT_EQ(convexHull(test.points.data(), n), nullptr);
    EXPECT_EQ(convexHullDF(test.points.data(), n), nullptr);
  }
  EXPECT_EQ(convexHull(nullptr, 8), nullptr);
}

TEST(ConvexHull, ApproximateHullAtOrUnderBudgetIsTheFullHull) {
  const Points points = zovtest::uniformInBall(200, 21);
  const auto mesh = zovtest::meshOfPoints(points);
  const auto full = convexHull(points.data(), 200);
  for (std::uint32_t budget : {200u, 500u}) {
    const auto approx = approxConvexHull(mesh.get(), budget);
    ASSERT_NE(approx, nullptr);
    ASSERT_EQ(approx->numVertices, full->numVertices);
    ASSERT_EQ(approx->numFaces, full->numFaces);
    for (std::uint32_t i = 0; i < full->numVertices; ++i) EXPECT_EQ(approx->vertices[i], full->vertices[i]);
    for (std::uint32_t f = 0; f < full->numFaces; ++f) {
      EXPECT_EQ(approx->faces[f].numVertices, full->faces[f].numVertices);
      EXPECT_EQ(approx->faceNormals[f], full->faceNormals[f]);
    }
  }
}

TEST(ConvexHull, ApproximateHullNeverExceedsItsBudget) {
  const Points points = zovtest::onSphere(2000, 22);
  const auto mesh = zovtest::meshOfPoints(points);
  const auto dfMesh = zovtest::dfMeshOfPoints(points);
  for (std::uint32_t budget : {6u, 7u, 8u, 16u, 33u, 64u, 100u, 512u, 1999u}) {
    SCOPED_TRACE(budget);
    for (const bool fromDF : {false, true}) {
      const auto hull = fromDF ? approxConvexHull(dfMesh.get(), budget) : approxConvexHull(mesh.get(), budget);
      ASSERT_NE(hull, nullptr);
      EXPECT_LE(hull->numVertices, budget);
      const std::vector<std::int64_t> sources = zovtest::vertexInputIndices(zovtest::checkedHull(*hull), points);
      EXPECT_EQ(std::count(sources.begin(), sources.end(), -1), 0) << "a hull vertex is not an input point";
      // Faces of the dense sphere that lie in one plane within the
      // tolerance are joined, so corners leave the plane by up to that much.
      const std::vector<std::string> problems =
          zovtest::convexityProblems(zovtest::checkedHull(*hull), kMaxFaceCorners, kOnFace);
      EXPECT_TRUE(problems.empty()) << problems.front();
    }
  }
  for (std::uint32_t budget = 0; budget < 6; ++budget) {  // too small for a solid
    EXPECT_EQ(approxConvexHull(mesh.get(), budget), nullptr) << budget;
    EXPECT_EQ(approxConvexHull(dfMesh.get(), budget), nullptr) << budget;
  }
  EXPECT_EQ(approxConvexHull(static_cast<const ZOVmesh*>(nullptr), 64), nullptr);
  EXPECT_EQ(approxConvexHull(static_cast<const ZOV_DFmesh*>(nullptr), 64), nullptr);
}

TEST(ConvexHull, ApproximateHullGrowsUntilNoVertexLiesFarBeyond) {
  // A cube mesh with a dense grid on its faces: the first sample misses
  // corners, the support points bring them in, and the hull ends as the cube.
  Points points = zovtest::cubeSurfaceGrid(12);
  zovtest::append(points, zovtest::boxCorners(1.0, 1.0, 1.0));
  points = zovtest::shuffled(points, 23);
  const auto mesh = zovtest::meshOfPoints(points);
  const auto hull = approxConvexHull(mesh.get(), 16);
  ASSERT_NE(hull, nullptr);
  EXPECT_EQ(hull->numVertices, 8u);
  EXPECT_EQ(hull->numFaces, 6u);
  EXPECT_LE(zovtest::largestOutsideDistance(zovtest::checkedHull(*hull), points), kOnFace);
}

TEST(ConvexHull, SamplingTakesEvenlySpacedVertices) {
  Points points;
  for (int i = 0; i < 10; ++i) points.emplace_back(i, 0.0, 0.0);
  const auto mesh = zovtest::meshOfPoints(points);
  const auto dfMesh = zovtest::dfMeshOfPoints(points);
  struct Case {
    std::uint32_t n;
    bool fromDF;
    std::vector<double> expected;  // x of each sampled vertex
  };
  const Case cases[] = {
      {5, false, {0, 2, 4, 6, 8}},
      {3, false, {0, 3, 6}},
      {10, false, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {20, false, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {5, true, {0, 2, 4, 6, 8}},
      {4, true, {0, 2, 4, 6}},
      {7, true, {0, 2, 4, 6, 8, 1, 3}},
      {10, true, {0, 2, 4, 6, 8, 1, 3, 5, 7, 9}},
      {25, true, {0, 2, 4, 6, 8, 1, 3, 5, 7, 9}},
      {0, false, {}},
      {0, true, {}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(std::to_string(test.n) + (test.fromDF ? " DF" : ""));
    std::vector<MgcVector3> out(std::max<std::uint32_t>(test.n, 1));
    const std::uint32_t written = test.fromDF ? sampleMeshVertices(dfMesh.get(), test.n, out.data())
                                              : sampleMeshVertices(mesh.get(), test.n, out.data());
    ASSERT_EQ(written, test.expected.size());
    for (std::uint32_t i = 0; i < written; ++i) EXPECT_EQ(out[i].x, test.expected[i]);
  }
}

TEST(ConvexHull, SupportPointsAreTheVerticesFarBeyondHullFaces) {
  // The hull of the cube's corners, and a mesh that pokes out of its +x face
  // by 0.5 and of its +y face by 0.05 (not enough to count).
  const Points corners = zovtest::boxCorners(1.0, 1.0, 1.0);
  const auto hull = convexHull(corners.data(), 8);
  Points meshPoints = corners;
  meshPoints.emplace_back(1.5, 0.0, 0.0);
  meshPoints.emplace_back(0.0, 1.05, 0.0);
  const auto mesh = zovtest::meshOfPoints(meshPoints);
  std::vector<MgcVector3> out(8);
  const std::uint32_t found = farthestSupportPoints(mesh.get(), hull.get(), 8, out.data());
  ASSERT_EQ(found, 1u);
  EXPECT_EQ(out[0], MgcVector3(1.5, 0.0, 0.0));
  EXPECT_EQ(farthestSupportPoints(mesh.get(), hull.get(), 0, out.data()), 0u);
  const auto dfMesh = zovtest::dfMeshOfPoints(meshPoints);
  EXPECT_EQ(farthestSupportPoints(dfMesh.get(), hull.get(), 8, out.data()), 1u);
}
