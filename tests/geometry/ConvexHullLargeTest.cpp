#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

extern "C" {
#include <libqhull_r/libqhull_r.h>
}

#include "geometry/ConvexHull.h"
#include "support/HullChecks.h"
#include "support/PointClouds.h"
#include "support/QhullReference.h"

using Mgc::MgcVector3;
using zovtest::Points;

// Hulls of clouds of tens of thousands of points, checked with tests that
// cost about n log n so that they stay quick at that size.
namespace {

/// Points within this distance of a hull face count as lying on it.
constexpr double kOnFace = 1e-5;

/// qhull's hull as a graph of its vertices: the supporting point of any
/// direction is found by climbing along edges, which on a convex polytope
/// ends at the highest vertex.
struct VertexGraph {
  std::vector<MgcVector3> positions;
  std::vector<std::vector<std::uint32_t>> neighbours;

  /// The largest dot product of a point of the cloud with `direction`,
  /// climbing from vertex `start`, which becomes the vertex reached.
  double support(const MgcVector3& direction, std::uint32_t& start) const {
    double best = positions[start].Dot(direction);
    for (bool climbed = true; climbed;) {
      climbed = false;
      for (std::uint32_t next : neighbours[start]) {
        const double height = positions[next].Dot(direction);
        if (height > best) {
          best = height;
          start = next;
          climbed = true;
        }
      }
    }
    return best;
  }
};

VertexGraph qhullGraph(const Points& points) {
  std::vector<coordT> coordinates;
  for (const MgcVector3& p : points) coordinates.insert(coordinates.end(), {p.x, p.y, p.z});
  qhT context;
  qhT* qh = &context;
  qh_zero(qh, stderr);
  char options[] = "qhull Qt";
  VertexGraph graph;
  if (qh_new_qhull(qh, 3, static_cast<int>(points.size()), coordinates.data(), False, options, nullptr, stderr) == 0) {
    std::map<int, std::uint32_t> slot;
    vertexT* vertex;
    FORALLvertices {
      slot[qh_pointid(qh, vertex->point)] = static_cast<std::uint32_t>(graph.positions.size());
      graph.positions.push_back(points[static_cast<std::size_t>(qh_pointid(qh, vertex->point))]);
    }
    graph.neighbours.resize(graph.positions.size());
    facetT* facet;
    FORALLfacets {
      std::vector<std::uint32_t> corners;
      vertexT** vertexp;
      FOREACHvertex_(facet->vertices) corners.push_back(slot[qh_pointid(qh, vertex->point)]);
      for (std::uint32_t a : corners)
        for (std::uint32_t b : corners)
          if (a != b) graph.neighbours[a].push_back(b);
    }
  }
  qh_freeqhull(qh, !qh_ALL);
  int currentLong = 0;
  int totalLong = 0;
  qh_memfreeshort(qh, &currentLong, &totalLong);
  return graph;
}

// Problems of the hull as a closed convex surface, found edge by edge: every
// directed side is met once in reverse, and across every edge each face's
// corners lie behind the other face's plane. Together with a volume that
// matches the reference, that makes it the boundary of a convex polytope.
std::vector<std::string> surfaceProblems(const zovtest::CheckedHull& hull, double tolerance) {
  std::vector<std::string> problems;
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> sideOwner;
  for (std::uint32_t f = 0; f < hull.faces.size(); ++f) {
    const zovtest::CheckedFace& face = hull.faces[f];
    const std::size_t k = face.corners.size();
    if (k < 3 || k > kMaxFaceCorners) problems.push_back("face " + std::to_string(f) + " has " + std::to_string(k));
    if (std::abs(face.normal.Length() - 1.0) > 1e-9) problems.push_back("face " + std::to_string(f) + " normal");
    for (std::uint32_t corner : face.corners)
      if (std::abs((hull.vertices[corner] - hull.vertices[face.corners[0]]).Dot(face.normal)) > tolerance)
        problems.push_back("face " + std::to_string(f) + " corner off its plane");
    for (std::size_t i = 0; i < k; ++i)
      if (!sideOwner.emplace(std::make_pair(face.corners[i], face.corners[(i + 1) % k]), f).second)
        problems.push_back("side met twice in one direction");
  }
  auto behind = [&](std::uint32_t plane, std::uint32_t other) {
    const zovtest::CheckedFace& face = hull.faces[plane];
    for (std::uint32_t corner : hull.faces[other].corners)
      if ((hull.vertices[corner] - hull.vertices[face.corners[0]]).Dot(face.normal) > tolerance) return false;
    return true;
  };
  for (const auto& [side, f] : sideOwner) {
    const auto reverse = sideOwner.find({side.second, side.first});
    if (reverse == sideOwner.end()) {
      problems.push_back("open side at face " + std::to_string(f));
      continue;
    }
    if (!behind(f, reverse->second)) problems.push_back("edge folds inward at face " + std::to_string(f));
  }
  return problems;
}

// The largest distance of a cloud point beyond a face plane of the hull.
double largestOutsideDistance(const zovtest::CheckedHull& hull, const VertexGraph& cloud) {
  double largest = -1e300;
  std::uint32_t start = 0;
  for (const zovtest::CheckedFace& face : hull.faces)
    largest = std::max(largest, cloud.support(face.normal, start) - hull.vertices[face.corners[0]].Dot(face.normal));
  return largest;
}

// Input indices of the hull's vertices, ascending; -1 for a vertex that is
// no input point.
std::vector<std::int64_t> inputIndices(const zovtest::CheckedHull& hull, const Points& points) {
  std::map<std::tuple<double, double, double>, std::int64_t> index;
  for (std::size_t i = 0; i < points.size(); ++i)
    index.emplace(std::make_tuple(points[i].x, points[i].y, points[i].z), static_cast<std::int64_t>(i));
  std::vector<std::int64_t> result;
  for (const MgcVector3& v : hull.vertices) {
    const auto found = index.find(std::make_tuple(v.x, v.y, v.z));
    result.push_back(found == index.end() ? -1 : found->second);
  }
  std::sort(result.begin(), result.end());
  return result;
}

Points scaled(Points points, double factor) {
  for (MgcVector3& p : points) p *= factor;
  return points;
}

// A rock as a scanner delivers it: a lumpy closed surface, sampled densely
// and stored in single precision.
Points scannedRock(std::uint32_t n, double scale, unsigned seed) {
  Points points = zovtest::onSphere(n, seed);
  std::mt19937 engine(seed);
  std::uniform_real_distribution<double> noise(-1e-3, 1e-3);
  for (MgcVector3& p : points) {
    const double lumps = 1.0 + 0.2 * std::sin(3.0 * p.x) * std::cos(2.0 * p.y) + 0.1 * std::sin(5.0 * p.z);
    const MgcVector3 r = p * (scale * (lumps + noise(engine)));
    p = MgcVector3(static_cast<float>(1.5 * r.x), static_cast<float>(r.y), static_cast<float>(0.7 * r.z));
  }
  return points;
}

}  // namespace

TEST(ConvexHullLarge, LargeCloudsGiveTheReferenceHull) {
  struct Case {
    const char* name;
    Points points;
    double scale;
  };
  // At this size no point lies within the tolerance of the hull of the
  // others, so the vertices are exactly the reference's.
  const Case cases[] = {
      {"100000 in a ball of radius 1000", scaled(zovtest::uniformInBall(100000, 41), 1000.0), 1000.0},
      {"20000 on a sphere of radius 1000", scaled(zovtest::onSphere(20000, 42), 1000.0), 1000.0},
      {"30000 gaussian, 1000 wide", scaled(zovtest::gaussianCloud(30000, 43), 1000.0), 3000.0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const auto n = static_cast<std::uint32_t>(test.points.size());
    const auto hull = convexHull(test.points.data(), n);
    ASSERT_NE(hull, nullptr);
    const zovtest::CheckedHull checked = zovtest::checkedHull(*hull);
    zovtest::ReferenceHull reference;
    ASSERT_TRUE(zovtest::qhullReference(test.points, reference));
    EXPECT_EQ(inputIndices(checked, test.points),
              std::vector<std::int64_t>(reference.vertexIndices.begin(), reference.vertexIndices.end()));
    EXPECT_NEAR(zovtest::enclosedVolume(checked), reference.volume, 1e-9 * reference.volume);
    const std::vector<std::string> problems = surfaceProblems(checked, 1e-12 * test.scale);
    EXPECT_TRUE(problems.empty()) << problems.size() << " problems, first: " << problems.front();
  }
}

TEST(ConvexHullLarge, DenseSurfacesKeepEveryPointWithinTheTolerance) {
  struct Case {
    const char* name;
    Points points;
    double scale;
  };
  // So dense that many points lie within the tolerance of the hull of the
  // others: those never become vertices.
  const Case cases[] = {
      {"30000 on the unit sphere", zovtest::onSphere(30000, 44), 1.0},
      {"30000 on a rock of size 1", scannedRock(30000, 1.0, 45), 1.5},
      {"30000 on a rock of size 100", scannedRock(30000, 100.0, 46), 150.0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    // Flatness holds to the tolerance or to the rounding of the positions,
    // whichever is larger. Faces that join keep the plane of one of them,
    // which may lie up to the tolerance off the other's corners, so corners
    // and points near a joined face can end up to twice the tolerance off it.
    const double tolerance = 2.0 * kOnFace + 1e-6 * test.scale;
    const auto hull = convexHull(test.points.data(), static_cast<std::uint32_t>(test.points.size()));
    ASSERT_NE(hull, nullptr);
    const zovtest::CheckedHull checked = zovtest::checkedHull(*hull);
    const std::vector<std::int64_t> indices = inputIndices(checked, test.points);
    EXPECT_EQ(std::count(indices.begin(), indices.end(), -1), 0) << "a hull vertex is not an input point";
    EXPECT_EQ(std::adjacent_find(indices.begin(), indices.end()), indices.end()) << "a point is a vertex twice";
    const std::vector<std::string> problems = surfaceProblems(checked, tolerance);
    EXPECT_TRUE(problems.empty()) << problems.size() << " problems, first: " << problems.front();
    EXPECT_LE(largestOutsideDistance(checked, qhullGraph(test.points)), tolerance);
    zovtest::ReferenceHull reference;
    ASSERT_TRUE(zovtest::qhullReference(test.points, reference));
    EXPECT_NEAR(zovtest::enclosedVolume(checked), reference.volume, 1e-6 * reference.volume);
  }
}
