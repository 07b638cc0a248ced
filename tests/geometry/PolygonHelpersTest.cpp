#include "geometry/PolygonHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "platform/CRandom.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector2;
using Mgc::MgcVector3;

namespace {

// A fan piece as the tests see it, from any of the three record kinds.
struct Piece {
  std::vector<std::uint32_t> corners, parallel;
};

enum class Record { kMeshFace, kDFface, kDFfaceWithParallel };

// Splits the regular polygon of k + 1 corners (the anchor 0, then the chain
// 1 .. k, parallel indices 1000 more) into faces of one record kind.
std::vector<Piece> split(Record record, std::int32_t k, std::uint32_t limit) {
  std::vector<std::uint32_t> chain(static_cast<std::size_t>(std::max(k, 0))), parallel(chain.size());
  std::iota(chain.begin(), chain.end(), 1);
  std::iota(parallel.begin(), parallel.end(), 1001);
  std::vector<mesh_face> faces(64);
  const std::unique_ptr<std::uint32_t, void (*)(void*)> corners(allocateCornerBlock(faces.data(), 64), &std::free);
  std::vector<DFface> dfFaces(64);
  std::int32_t count = 0;
  if (record == Record::kMeshFace)
    appendFanFaces(0, chain.data(), 1000, parallel.data(), k, faces.data(), count, limit);
  else if (record == Record::kDFface)
    appendFanFacesDF(0, chain.data(), k, dfFaces.data(), count, limit);
  else
    appendFanFacesDFAttr(0, chain.data(), 1000, parallel.data(), k, dfFaces.data(), count, limit);
  std::vector<Piece> pieces;
  for (std::int32_t f = 0; f < count; ++f) {
    const std::uint32_t n = record == Record::kMeshFace ? faces[f].numVertices : dfFaces[f].numVertices;
    const std::uint32_t* corners = record == Record::kMeshFace ? faces[f].vertices : dfFaces[f].vertices;
    const std::uint32_t* uvs = record == Record::kMeshFace ? faces[f].uvIndices : dfFaces[f].uvIndices;
    pieces.push_back({{corners, corners + n}, {uvs, uvs + n}});
    if (record == Record::kMeshFace) {
      EXPECT_EQ(faces[f].mark, 1u);
    } else {
      EXPECT_EQ((dfFaces[f].faceFlags & kDFfaceSelected) != 0, record == Record::kDFface);
    }
  }
  return pieces;
}

// Twice the area of the polygon through the given corners of the regular
// polygon of `sides` corners on the unit circle.
double doubleArea(const std::vector<std::uint32_t>& corners, std::uint32_t sides) {
  double area = 0.0;
  for (std::size_t i = 0; i < corners.size(); ++i)
    area += std::sin(2.0 * M_PI * (static_cast<double>(corners[(i + 1) % corners.size()]) - corners[i]) / sides);
  return area;
}

// The area centroid from a triangle fan: the area-weighted mean of the
// triangles' centroids.
MgcVector2 centroidOfTriangles(const std::vector<MgcVector2>& p) {
  double area = 0.0;
  MgcVector2 weighted(0.0, 0.0);
  for (std::size_t i = 1; i + 1 < p.size(); ++i) {
    const MgcVector2 a = p[i] - p[0], b = p[i + 1] - p[0];
    const double triangle = a.x * b.y - a.y * b.x;
    area += triangle;
    weighted += (p[0] + p[i] + p[i + 1]) * (triangle / 3.0);
  }
  return weighted / area;
}

}  // namespace

// The pieces are fans from the anchor over consecutive runs of the chain that
// share their end entries, cover it from first to last within the corner
// limit, keep the parallel indices beside their corners, and add up to the
// polygon's area.
TEST(PolygonHelpers, FanPiecesCoverThePolygonWithinTheCornerLimit) {
  struct Case {
    std::int32_t k;
    std::uint32_t limit;
    std::size_t pieces, largest;  // of mesh faces, at most 32 corners each
  };
  const Case cases[] = {
      {31, 33, 1, 32},  {31, 32, 2, 18},   // 32 corners: one face, or 16 and 18
      {2, 33, 1, 3},    {5, 4, 2, 5},      // a small limit cuts once, then the limit of 32
      {39, 33, 2, 22},  {100, 33, 4, 28},  // 101 corners: 26, 27, 26 and 28
      {60, 100, 3, 31},                    // a limit beyond 32 is lowered: 31, 16 and 18
  };
  for (const Case& c : cases) {
    for (const Record record : {Record::kMeshFace, Record::kDFface, Record::kDFfaceWithParallel}) {
      SCOPED_TRACE("k " + std::to_string(c.k) + ", limit " + std::to_string(c.limit));
      const std::vector<Piece> pieces = split(record, c.k, c.limit);
      ASSERT_FALSE(pieces.empty());
      std::size_t largest = 0;
      std::uint32_t start = 1;
      double area = 0.0;
      for (const Piece& piece : pieces) {
        ASSERT_GE(piece.corners.size(), 3u);
        EXPECT_EQ(piece.corners[0], 0u);
        EXPECT_EQ(piece.corners[1], start);
        for (std::size_t i = 2; i < piece.corners.size(); ++i) EXPECT_EQ(piece.corners[i], piece.corners[i - 1] + 1);
        for (std::size_t i = 0; i < piece.corners.size() && record != Record::kDFface; ++i)
          EXPECT_EQ(piece.parallel[i], piece.corners[i] + 1000);
        start = piece.corners.back();
        largest = std::max(largest, piece.corners.size());
        area += doubleArea(piece.corners, c.k + 1);
      }
      EXPECT_EQ(start, static_cast<std::uint32_t>(c.k));
      EXPECT_NEAR(area, (c.k + 1) * std::sin(2.0 * M_PI / (c.k + 1)), 1e-12);
      if (record == Record::kMeshFace) {
        EXPECT_EQ(pieces.size(), c.pieces);
        EXPECT_EQ(largest, c.largest);
      } else {
        EXPECT_LE(largest, std::max<std::size_t>(c.limit - 1, 31));
      }
    }
  }
  for (const std::int32_t k : {-3, 0, 1})  // chains shorter than two write nothing
    for (const Record record : {Record::kMeshFace, Record::kDFface, Record::kDFfaceWithParallel})
      EXPECT_TRUE(split(record, k, 33).empty()) << k;
}

TEST(PolygonHelpers, DegenerateEdgesAndConvexFaces) {
  const std::vector<MgcVector3> points = {{0, 0, 0}, {0.003, 0, 0}, {0.0032, 0, 0}, {1, 1, 1}, {0, 0, 0}};
  // A vertex to itself, squared lengths 9e-6 and 1.024e-5, two vertices in one place.
  EXPECT_TRUE(isEdgeDegenerate({3, 3}, points.data()));
  EXPECT_TRUE(isEdgeDegenerate({0, 1}, points.data()));
  EXPECT_FALSE(isEdgeDegenerate({0, 2}, points.data()));
  EXPECT_FALSE(isEdgeDegenerate({0, 3}, points.data()));
  EXPECT_TRUE(isEdgeDegenerate({0, 4}, points.data()));

  // A square, its centre, and two points on the x axis.
  const std::vector<MgcVector3> plane = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}, {1, 1, 0}, {4, 0, 0}, {6, 0, 0}};
  struct Case {
    std::vector<std::uint32_t> corners;
    MgcVector3 normal;
    std::uint32_t listCount;
    bool convex;
  };
  const Case cases[] = {
      {{0, 1, 2, 3}, {0, 0, 1}, 0, true},
      {{0, 1, 2, 3}, {0, 0, -1}, 0, true},     // either normal
      {{0, 1, 2, 4, 3}, {0, 0, 1}, 0, false},  // a dent
      {{0, 1, 5, 6}, {0, 0, 1}, 0, true},      // corners on a line
      {{0, 1, 2, 4, 3}, {0, 0, 1}, 3, true},   // a triangle record
      {{}, {0, 0, 1}, 0, true},
  };
  for (const Case& c : cases) {
    DFface face;
    if (!c.corners.empty()) face.allocate(static_cast<std::int32_t>(c.corners.size()), 1, false);
    std::copy(c.corners.begin(), c.corners.end(), face.vertices);
    face.numVertices = static_cast<std::uint32_t>(c.corners.size());
    face.normal = c.normal;
    face.numList = c.listCount;
    EXPECT_EQ(isFaceConvex(face, plane.data()), c.convex)
        << c.corners.size() << " " << c.normal.z << " " << c.listCount;
  }
}

TEST(PolygonHelpers, CentroidIsTheAreaCentroidOrForNoAreaTheMean) {
  // An L of three unit squares: (5/6, 5/6) by moments.
  const std::vector<MgcVector2> ell = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
  MgcVector2 out(0.0, 0.0);
  EXPECT_EQ(&polygonCentroid2D(out, ell.data(), 6), &out);
  EXPECT_NEAR(out.x, 5.0 / 6.0, 1e-12);
  EXPECT_NEAR(out.y, 5.0 / 6.0, 1e-12);
  // Random convex polygons, either winding, relative to a corner far from the
  // origin as callers give them.
  zovtest::Random random(41);
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<MgcVector2> polygon;
    for (const MgcVector3& p : zovtest::ellipsePolygon(random, 3 + trial % 20, MgcMatrix3::IDENTITY,
                                                       {100 * random.uniform(0, 1), -50, 0}, 3.0, 2.0))
      polygon.emplace_back(p.x, p.y);
    if (trial % 2 == 1) std::reverse(polygon.begin(), polygon.end());
    const MgcVector2 origin = polygon[0];
    for (MgcVector2& p : polygon) p -= origin;
    const MgcVector2 expected = centroidOfTriangles(polygon);
    polygonCentroid2D(out, polygon.data(), static_cast<std::int32_t>(polygon.size()));
    EXPECT_NEAR(out.x, expected.x, 1e-9) << trial;
    EXPECT_NEAR(out.y, expected.y, 1e-9) << trial;
  }
  const std::vector<MgcVector2> line = {{0, 0}, {1, 1}, {3, 3}};
  polygonCentroid2D(out, line.data(), 3);
  EXPECT_DOUBLE_EQ(out.x, 4.0 / 3.0);
  EXPECT_DOUBLE_EQ(out.y, 4.0 / 3.0);
  polygonCentroid2D(out, nullptr, 0);
  EXPECT_EQ(out, MgcVector2(0.0, 0.0));
}

// Each component of the rotated standard normal vector is standard normal:
// mean, spread, independence of the pair and the Kolmogorov-Smirnov distance.
TEST(PolygonHelpers, GaussianVectorsHaveTheGivenMeanAndSpread) {
  zov::platform::crtSrand(7);
  const MgcVector3 centre(10.0, -5.0, 2.0), scale(2.0, 0.5, 1.0);
  MgcMatrix3 R;
  R.FromAxisAngle(MgcVector3(1, 2, 3) / std::sqrt(14.0), 0.7);
  constexpr int kPairs = 30000;
  MgcVector3 sum, sumSq, sumAB;
  std::vector<double> standardized;
  for (int i = 0; i < kPairs; ++i) {
    MgcVector3 out[2], u[2];
    randomGaussianVectors(centre, scale, R, out);
    for (int j = 0; j < 2; ++j) {
      for (int axis = 0; axis < 3; ++axis) {
        u[j][axis] = (out[j][axis] - centre[axis]) / scale[axis];
        sumSq[axis] += u[j][axis] * u[j][axis];
        standardized.push_back(u[j][axis]);
      }
      sum += u[j];
    }
    for (int axis = 0; axis < 3; ++axis) sumAB[axis] += u[0][axis] * u[1][axis];
  }
  const double n = 2.0 * kPairs;
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_NEAR(sum[axis] / n, 0.0, 5.0 / std::sqrt(n));
    EXPECT_NEAR(sumSq[axis] / n, 1.0, 0.03);
    EXPECT_NEAR(sumAB[axis] / kPairs, 0.0, 5.0 / std::sqrt(kPairs)) << "the two points are independent";
  }
  std::sort(standardized.begin(), standardized.end());
  double largestGap = 0.0;
  for (std::size_t i = 0; i < standardized.size(); i += 7) {
    const double cdf = 0.5 * std::erfc(-standardized[i] / std::sqrt(2.0));
    largestGap = std::max(largestGap, std::abs(cdf - static_cast<double>(i + 1) / standardized.size()));
  }
  EXPECT_LT(largestGap, 0.01);

  // Zero spread gives the centre; the draws follow the process-wide sequence.
  MgcVector3 first[2], again[2];
  randomGaussianVectors(centre, MgcVector3::ZERO, MgcMatrix3::IDENTITY, first);
  EXPECT_EQ(first[0], centre);
  zov::platform::crtSrand(3);
  randomGaussianVectors(centre, scale, R, first);
  zov::platform::crtSrand(3);
  randomGaussianVectors(centre, scale, R, again);
  EXPECT_EQ(first[1], again[1]);
}
