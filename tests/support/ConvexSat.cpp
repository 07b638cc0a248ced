#include "support/ConvexSat.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "math/DistanceQueries.h"

using Mgc::MgcVector3;

namespace zovtest {

namespace {

void projection(const std::vector<MgcVector3>& points, const MgcVector3& axis, double& low, double& high) {
  low = std::numeric_limits<double>::infinity();
  high = -low;
  for (const MgcVector3& p : points) {
    const double h = p.Dot(axis);
    low = std::min(low, h);
    high = std::max(high, h);
  }
}

MgcVector3 normalised(const MgcVector3& v) { return v / std::sqrt(v.SquaredLength()); }

}  // namespace

ConvexPolyhedron convexPolyhedron(const ZOVmesh& mesh) {
  ConvexPolyhedron hull;
  hull.vertices.assign(mesh.worldVertices, mesh.worldVertices + mesh.numVertices);
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    hull.faceNormals.push_back(mesh.worldFaceNormals[f]);
    const mesh_face& face = mesh.faces[f];
    for (std::uint32_t k = 0; k < face.numVertices; ++k) {
      const MgcVector3 edge =
          mesh.worldVertices[face.vertices[(k + 1) % face.numVertices]] - mesh.worldVertices[face.vertices[k]];
      hull.edgeDirections.push_back(normalised(edge));
    }
  }
  return hull;
}

ConvexPolyhedron convexPolyhedron(const ZOVbox& box) {
  ConvexPolyhedron hull;
  for (int k = 0; k < 8; ++k) {
    MgcVector3 corner = box.center;
    for (int axis = 0; axis < 3; ++axis) {
      const double sign = (k >> axis) & 1 ? 1.0 : -1.0;
      corner += box.axes.GetColumn(axis) * (sign * box.extents[axis]);
    }
    hull.vertices.push_back(corner);
  }
  for (int axis = 0; axis < 3; ++axis) {
    hull.faceNormals.push_back(box.axes.GetColumn(axis));
    hull.edgeDirections.push_back(box.axes.GetColumn(axis));
  }
  return hull;
}

SatResult separatingAxes(const ConvexPolyhedron& a, const ConvexPolyhedron& b) {
  std::vector<MgcVector3> axes = a.faceNormals;
  axes.insert(axes.end(), b.faceNormals.begin(), b.faceNormals.end());
  for (const MgcVector3& ea : a.edgeDirections)
    for (const MgcVector3& eb : b.edgeDirections) {
      const MgcVector3 axis = ea.Cross(eb);
      if (axis.SquaredLength() > 1e-12) axes.push_back(normalised(axis));
    }

  SatResult result{-std::numeric_limits<double>::infinity(), MgcVector3(), std::numeric_limits<double>::infinity()};
  std::vector<std::pair<double, MgcVector3>> overlaps;
  for (const MgcVector3& axis : axes) {
    double lowA, highA, lowB, highB;
    projection(a.vertices, axis, lowA, highA);
    projection(b.vertices, axis, lowB, highB);
    // A moved up by highB - lowA, or down by highA - lowB, clears B.
    const double up = highB - lowA;
    const double down = highA - lowB;
    const double overlap = std::min(up, down);
    overlaps.emplace_back(overlap, up <= down ? axis : -axis);
    if (-overlap > result.gap) {
      result.gap = -overlap;
      result.normal = overlaps.back().second;
    }
  }
  const double cosOneDegree = std::cos(M_PI / 180.0);
  for (const auto& [overlap, axis] : overlaps)
    if (std::fabs(axis.Dot(result.normal)) < cosOneDegree)
      result.runnerUpDepth = std::min(result.runnerUpDepth, overlap);
  return result;
}

double signedDistanceToHull(const ZOVmesh& mesh, const MgcVector3& p) {
  double largest = -std::numeric_limits<double>::infinity();
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const MgcVector3& corner = mesh.worldVertices[mesh.faces[f].vertices[0]];
    largest = std::max(largest, (p - corner).Dot(mesh.worldFaceNormals[f]));
  }
  return largest;
}

double segmentPolyhedronDistance(const MgcVector3& p0, const MgcVector3& p1, const ZOVmesh& mesh) {
  if (signedDistanceToHull(mesh, p0) <= 0.0 || signedDistanceToHull(mesh, p1) <= 0.0) return 0.0;
  double best = std::numeric_limits<double>::infinity();
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const mesh_face& face = mesh.faces[f];
    for (std::uint32_t k = 2; k < face.numVertices; ++k) {
      const MgcVector3 triangle[3] = {mesh.worldVertices[face.vertices[0]], mesh.worldVertices[face.vertices[k - 1]],
                                      mesh.worldVertices[face.vertices[k]]};
      double r, s, t;
      best = std::min(best, segmentTriangleDistanceSq(p0, p1, triangle, r, s, t));
    }
  }
  return std::sqrt(best);
}

}  // namespace zovtest
