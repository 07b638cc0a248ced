#include "geometry/PolygonHelpers.h"

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <Eigen/Geometry>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "platform/CRandom.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector2;
using Mgc::MgcVector3;

namespace {

// A fan piece as the tests see it, from any of the three record kinds.
struct Piece {
  std::vector<std::uint32_t> corners;
  std::vector<std::uint32_t> parallel;
};

// Area of the polygon through the given corners of a unit circle's regular
// polygon, the shoelace formula over its corners' angles.
double polygonArea(const std::vector<std::uint32_t>& corners, std::uint32_t sides) {
  double area = 0.0;
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const double a = 2.0 * M_PI * corners[i] / sides;
    const double b = 2.0 * M_PI * corners[(i + 1) % corners.size()] / sides;
    area += 0.5 * (std::cos(a) * std::sin(b) - std::cos(b) * std::sin(a));
  }
  return area;
}

// The regular polygon of k + 1 corners: the anchor 0, then the chain 1 .. k.
// Parallel indices are the corner index plus 1000.
std::vector<std::uint32_t> chainOf(std::int32_t k, std::uint32_t offset = 0) {
  std::vector<std::uint32_t> chain(static_cast<std::size_t>(std::max(k, 0)));
  std::iota(chain.begin(), chain.end(), 1 + offset);
  return chain;
}

std::vector<Piece> splitIntoMeshFaces(std::int32_t k, std::uint32_t limit) {
  const std::vector<std::uint32_t> chain = chainOf(k);
  const std::vector<std::uint32_t> parallel = chainOf(k, 1000);
  std::vector<mesh_face> faces(64);
  std::int32_t count = 0;
  appendFanFaces(0, chain.data(), 1000, parallel.data(), k, faces.data(), count, limit);
  std::vector<Piece> pieces;
  for (std::int32_t f = 0; f < count; ++f) {
    const mesh_face& face = faces[f];
    EXPECT_EQ(face.mark, 1u);
    EXPECT_EQ(face.numEdges, 0u);
    EXPECT_LE(face.numVertices, kMaxFaceCorners);
    pieces.push_back(
        {{face.vertices, face.vertices + face.numVertices}, {face.uvIndices, face.uvIndices + face.numVertices}});
  }
  return pieces;
}

std::vector<Piece> splitIntoDFfaces(std::int32_t k, std::uint32_t limit, bool withParallel) {
  const std::vector<std::uint32_t> chain = chainOf(k);
  const std::vector<std::uint32_t> parallel = chainOf(k, 1000);
  std::vector<DFface> faces(64);
  std::int32_t count = 0;
  if (withParallel)
    appendFanFacesDFAttr(0, chain.data(), 1000, parallel.data(), k, faces.data(), count, limit);
  else
    appendFanFacesDF(0, chain.data(), k, faces.data(), count, limit);
  std::vector<Piece> pieces;
  for (std::int32_t f = 0; f < count; ++f) {
    const DFface& face = faces[f];
    EXPECT_EQ(face.mark, 1u);
    EXPECT_EQ(face.numList, 0u);
    EXPECT_EQ(face.numLayers, 1u);
    EXPECT_GE(face.capacity, face.numVertices);
    EXPECT_EQ((face.faceFlags & kDFfaceSelected) != 0, !withParallel);
    pieces.push_back(
        {{face.vertices, face.vertices + face.numVertices}, {face.uvIndices, face.uvIndices + face.numVertices}});
  }
  return pieces;
}

// The pieces are fans from the anchor over consecutive runs of the chain that
// share their end entries, cover the chain from first to last, keep the
// parallel indices beside their corners, and add up to the polygon's area.
void expectFanCoversPolygon(const std::vector<Piece>& pieces, std::int32_t k, bool withParallel) {
  ASSERT_FALSE(pieces.empty());
  double area = 0.0;
  std::uint32_t expectedStart = 1;
  for (const Piece& piece : pieces) {
    ASSERT_GE(piece.corners.size(), 3u);
    EXPECT_EQ(piece.corners[0], 0u);
    EXPECT_EQ(piece.corners[1], expectedStart);
    for (std::size_t i = 2; i < piece.corners.size(); ++i) EXPECT_EQ(piece.corners[i], piece.corners[i - 1] + 1);
    if (withParallel) {
      for (std::size_t i = 0; i < piece.corners.size(); ++i) EXPECT_EQ(piece.parallel[i], piece.corners[i] + 1000);
    }
    expectedStart = piece.corners.back();
    area += polygonArea(piece.corners, static_cast<std::uint32_t>(k + 1));
  }
  EXPECT_EQ(expectedStart, static_cast<std::uint32_t>(k));
  EXPECT_NEAR(area, polygonArea(chainOf(k + 1, static_cast<std::uint32_t>(-1)), static_cast<std::uint32_t>(k + 1)),
              1e-12);
}

Eigen::Vector2d toEigen(const MgcVector2& v) { return {v.x, v.y}; }

// The area centroid by splitting the polygon into triangles from its first
// corner: the area-weighted mean of the triangles' centroids.
Eigen::Vector2d centroidOfTriangles(const std::vector<MgcVector2>& points) {
  double area = 0.0;
  Eigen::Vector2d weighted = Eigen::Vector2d::Zero();
  for (std::size_t i = 1; i + 1 < points.size(); ++i) {
    const Eigen::Vector2d a = toEigen(points[0]), b = toEigen(points[i]), c = toEigen(points[i + 1]);
    const double triangle = 0.5 * ((b - a).x() * (c - a).y() - (b - a).y() * (c - a).x());
    area += triangle;
    weighted += triangle * (a + b + c) / 3.0;
  }
  return weighted / area;
}

// The centroid of points given in absolute coordinates, computed the way the
// callers do: relative to the first point, then moved back.
Eigen::Vector2d centroidOf(const std::vector<MgcVector2>& points) {
  std::vector<MgcVector2> relative;
  for (const MgcVector2& p : points) relative.push_back(p - points[0]);
  MgcVector2 out(0.0, 0.0);
  const MgcVector2& result = polygonCentroid2D(out, relative.data(), static_cast<std::int32_t>(relative.size()));
  EXPECT_EQ(&result, &out);
  return toEigen(out) + toEigen(points[0]);
}

}  // namespace

TEST(PolygonHelpers, FanPiecesCoverThePolygonWithinTheCornerLimit) {
  struct Case {
    std::int32_t k;
    std::uint32_t limit;
    std::size_t pieces;
    std::size_t maxCorners;
  };
  const Case cases[] = {
      {31, 33, 1, 32},   // 32 corners stay one face under a limit of 33
      {31, 32, 2, 18},   // and split into 16 and 18 corners under 32
      {2, 33, 1, 3},     // a triangle
      {5, 4, 2, 5},      // a small limit cuts once, later pieces follow the limit of 32
      {39, 33, 2, 22},   // 40 corners: 20 and 22
      {100, 33, 4, 28},  // 101 corners: 26, 27, 26 and 28
      {60, 100, 3, 31},  // a limit beyond the record's 32 corners is lowered: 31, 16 and 18
  };
  for (const Case& test : cases) {
    SCOPED_TRACE("k " + std::to_string(test.k) + ", limit " + std::to_string(test.limit));
    const std::vector<Piece> pieces = splitIntoMeshFaces(test.k, test.limit);
    EXPECT_EQ(pieces.size(), test.pieces);
    std::size_t largest = 0;
    for (const Piece& piece : pieces) largest = std::max(largest, piece.corners.size());
    EXPECT_EQ(largest, test.maxCorners);
    expectFanCoversPolygon(pieces, test.k, true);
  }
  const std::vector<Piece> split = splitIntoMeshFaces(31, 32);
  ASSERT_EQ(split.size(), 2u);
  EXPECT_EQ(split[0].corners.back(), 15u);  // the anchor with c0 .. c14
  EXPECT_EQ(split[1].corners[1], 15u);      // the anchor with c14 .. c30
  EXPECT_EQ(split[1].corners.back(), 31u);
}

TEST(PolygonHelpers, DFFanPiecesCoverThePolygon) {
  for (const bool withParallel : {false, true}) {
    for (const auto& [k, limit] : {std::pair<std::int32_t, std::uint32_t>{31, 33}, {31, 32}, {100, 33}, {60, 100}}) {
      SCOPED_TRACE("k " + std::to_string(k) + ", limit " + std::to_string(limit));
      const std::vector<Piece> pieces = splitIntoDFfaces(k, limit, withParallel);
      for (const Piece& piece : pieces) EXPECT_LE(piece.corners.size(), std::max<std::size_t>(limit - 1, 31));
      expectFanCoversPolygon(pieces, k, withParallel);
    }
  }
}

TEST(PolygonHelpers, ChainsShorterThanTwoWriteNothing) {
  for (const std::int32_t k : {-3, 0, 1}) {
    std::vector<mesh_face> faces(2);
    std::vector<DFface> dfFaces(2);
    const std::vector<std::uint32_t> chain = {1, 2};
    std::int32_t count = 0;
    appendFanFaces(0, chain.data(), 0, chain.data(), k, faces.data(), count, 33);
    appendFanFacesDF(0, chain.data(), k, dfFaces.data(), count, 33);
    appendFanFacesDFAttr(0, chain.data(), 0, chain.data(), k, dfFaces.data(), count, 33);
    EXPECT_EQ(count, 0) << k;
    EXPECT_EQ(dfFaces[0].vertices, nullptr);
  }
}

TEST(PolygonHelpers, DegenerateEdgesAreLoopsOrShorterThanTheTolerance) {
  const std::vector<MgcVector3> points = {{0, 0, 0}, {0.003, 0, 0}, {0.0032, 0, 0}, {1, 1, 1}, {0, 0, 0}};
  struct Case {
    DirectedEdge edge;
    bool degenerate;
  };
  const Case cases[] = {
      {{3, 3}, true},                   // a vertex to itself
      {{0, 1}, true},                   // squared length 9e-6
      {{0, 2}, false},                  // squared length 1.024e-5
      {{0, 3}, false}, {{0, 4}, true},  // two vertices in one place
  };
  for (const Case& test : cases)
    EXPECT_EQ(isEdgeDegenerate(test.edge, points.data()), test.degenerate) << test.edge.from << "-" << test.edge.to;
}

TEST(PolygonHelpers, FacesAreConvexUnlessTheyTurnBothWays) {
  const std::vector<MgcVector3> points = {
      {0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0},  // square
      {1, 1, 0},                                   // its centre
      {4, 0, 0}, {6, 0, 0},                        // on the x axis
  };
  struct Case {
    const char* name;
    std::vector<std::uint32_t> corners;
    MgcVector3 normal;
    std::uint32_t listCount;
    bool convex;
  };
  const Case cases[] = {
      {"square", {0, 1, 2, 3}, {0, 0, 1}, 0, true},
      {"square against its normal", {0, 1, 2, 3}, {0, 0, -1}, 0, true},
      {"arrow with a dent", {0, 1, 2, 4, 3}, {0, 0, 1}, 0, false},
      {"corners on one line", {0, 1, 5, 6}, {0, 0, 1}, 0, true},
      {"dent in a triangle record", {0, 1, 2, 4, 3}, {0, 0, 1}, 3, true},
      {"no corners", {}, {0, 0, 1}, 0, true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    DFface face;
    if (!test.corners.empty()) {
      face.allocate(static_cast<std::int32_t>(test.corners.size()), 1, false);
      std::copy(test.corners.begin(), test.corners.end(), face.vertices);
      face.numVertices = static_cast<std::uint32_t>(test.corners.size());
    }
    face.normal = test.normal;
    face.numList = test.listCount;
    EXPECT_EQ(isFaceConvex(face, points.data()), test.convex);
  }
}

TEST(PolygonHelpers, CentroidOfPlanarPolygonsIsTheAreaCentroid) {
  MgcVector2 out(0.0, 0.0);
  const std::vector<MgcVector2> square = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  polygonCentroid2D(out, square.data(), 4);
  EXPECT_DOUBLE_EQ(out.x, 0.5);
  EXPECT_DOUBLE_EQ(out.y, 0.5);

  // An L of three unit squares: centroid (5/6, 5/6) by symmetry and moments.
  const std::vector<MgcVector2> ell = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
  const Eigen::Vector2d ellCentroid = centroidOf(ell);
  EXPECT_NEAR(ellCentroid.x(), 5.0 / 6.0, 1e-12);
  EXPECT_NEAR(ellCentroid.y(), 5.0 / 6.0, 1e-12);

  // Random convex polygons far from the origin, either winding.
  std::mt19937 engine(41);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  for (int trial = 0; trial < 200; ++trial) {
    const int n = 3 + trial % 20;
    std::vector<double> angles(n);
    for (double& angle : angles) angle = 2.0 * M_PI * uniform(engine);
    std::sort(angles.begin(), angles.end());
    if (trial % 2 == 1) std::reverse(angles.begin(), angles.end());
    const Eigen::Vector2d center(100.0 * uniform(engine), -50.0 * uniform(engine));
    std::vector<MgcVector2> polygon;
    for (double angle : angles)
      polygon.emplace_back(center.x() + 3.0 * std::cos(angle), center.y() + 2.0 * std::sin(angle));
    const Eigen::Vector2d expected = centroidOfTriangles(polygon);
    const Eigen::Vector2d actual = centroidOf(polygon);
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9) << trial;
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9) << trial;
  }
}

TEST(PolygonHelpers, CentroidOfPolygonWithoutAreaIsTheMeanOfItsPoints) {
  MgcVector2 out(7.0, 7.0);
  const std::vector<MgcVector2> line = {{0, 0}, {1, 1}, {3, 3}};
  polygonCentroid2D(out, line.data(), 3);
  EXPECT_DOUBLE_EQ(out.x, 4.0 / 3.0);
  EXPECT_DOUBLE_EQ(out.y, 4.0 / 3.0);
  const std::vector<MgcVector2> twoPoints = {{0, 0}, {2, 4}};
  polygonCentroid2D(out, twoPoints.data(), 2);
  EXPECT_EQ(out, MgcVector2(1.0, 2.0));
  polygonCentroid2D(out, nullptr, 0);
  EXPECT_EQ(out, MgcVector2(0.0, 0.0));
}

TEST(PolygonHelpers, GaussianVectorsWithZeroSpreadAreTheCentre) {
  const MgcVector3 centre(1.5, -2.0, 3.25);
  MgcVector3 out[2];
  randomGaussianVectors(centre, MgcVector3::ZERO, MgcMatrix3::IDENTITY, out);
  EXPECT_EQ(out[0], centre);
  EXPECT_EQ(out[1], centre);
}

TEST(PolygonHelpers, GaussianVectorsHaveTheGivenMeanAndSpread) {
  zov::platform::crtSrand(7);
  const MgcVector3 centre(10.0, -5.0, 2.0);
  const MgcVector3 scale(2.0, 0.5, 1.0);
  const Eigen::Matrix3d rotation = Eigen::AngleAxisd(0.7, Eigen::Vector3d(1, 2, 3).normalized()).toRotationMatrix();
  const MgcMatrix3 R(rotation(0, 0), rotation(0, 1), rotation(0, 2), rotation(1, 0), rotation(1, 1), rotation(1, 2),
                     rotation(2, 0), rotation(2, 1), rotation(2, 2));
  constexpr int kPairs = 30000;
  // Polar Box-Muller over values k/32767 in [-1, 1] can reach at most
  // sqrt(2 ln(32767^2 / 2)) in one standard normal number.
  const double largestNormal = std::sqrt(2.0 * std::log(32767.0 * 32767.0 / 2.0));
  Eigen::Vector3d sum = Eigen::Vector3d::Zero(), sumSq = Eigen::Vector3d::Zero(), sumAB = Eigen::Vector3d::Zero();
  std::vector<double> standardized;
  for (int i = 0; i < kPairs; ++i) {
    MgcVector3 out[2];
    randomGaussianVectors(centre, scale, R, out);
    Eigen::Vector3d u[2];
    for (int j = 0; j < 2; ++j) {
      u[j] = Eigen::Vector3d((out[j].x - centre.x) / scale.x, (out[j].y - centre.y) / scale.y,
                             (out[j].z - centre.z) / scale.z);
      EXPECT_LE(u[j].norm(), std::sqrt(3.0) * largestNormal);
      sum += u[j];
      sumSq += u[j].cwiseProduct(u[j]);
      for (int axis = 0; axis < 3; ++axis) standardized.push_back(u[j][axis]);
    }
    sumAB += u[0].cwiseProduct(u[1]);
  }
  const double n = 2.0 * kPairs;
  // Each component of the rotated standard normal vector is standard normal.
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_NEAR(sum[axis] / n, 0.0, 5.0 / std::sqrt(n));
    EXPECT_NEAR(sumSq[axis] / n, 1.0, 0.03);
    EXPECT_NEAR(sumAB[axis] / kPairs, 0.0, 5.0 / std::sqrt(kPairs)) << "the two points are independent";
  }
  // Kolmogorov-Smirnov distance to the standard normal distribution.
  std::sort(standardized.begin(), standardized.end());
  double largestGap = 0.0;
  for (std::size_t i = 0; i < standardized.size(); i += 7) {
    const double cdf = 0.5 * std::erfc(-standardized[i] / std::sqrt(2.0));
    largestGap = std::max(largestGap, std::abs(cdf - static_cast<double>(i + 1) / standardized.size()));
  }
  EXPECT_LT(largestGap, 0.01);
}

TEST(PolygonHelpers, GaussianVectorsFollowTheProcessWideSequence) {
  const MgcVector3 centre(0.0, 0.0, 0.0);
  const MgcVector3 scale(1.0, 1.0, 1.0);
  MgcVector3 first[2], second[2], again[2];
  zov::platform::crtSrand(3);
  randomGaussianVectors(centre, scale, MgcMatrix3::IDENTITY, first);
  randomGaussianVectors(centre, scale, MgcMatrix3::IDENTITY, second);
  zov::platform::crtSrand(3);
  randomGaussianVectors(centre, scale, MgcMatrix3::IDENTITY, again);
  EXPECT_EQ(first[0], again[0]);
  EXPECT_EQ(first[1], again[1]);
  EXPECT_NE(first[0], second[0]) << "a call does not reseed the generator";
}
