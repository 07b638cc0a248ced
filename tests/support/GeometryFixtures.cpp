#include "support/GeometryFixtures.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "support/BruteForceGeometry.h"
#include "support/MeshFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace zovtest {

ZOVbox randomBox(Random& random, double centerRange, double minExtent, double maxExtent) {
  ZOVbox box;
  box.center = random.vector(-centerRange, centerRange);
  box.axes = random.rotation();
  box.extents = random.vector(minExtent, maxExtent);
  return box;
}

ZOVcapsule randomCapsule(Random& random, double centerRange, double maxLength, double maxRadius) {
  ZOVcapsule capsule;
  capsule.center = random.vector(-centerRange, centerRange);
  capsule.axis = random.unitVector();
  capsule.length = random.uniform(0.0, maxLength);
  capsule.radius = random.uniform(0.05, maxRadius);
  return capsule;
}

ZOVcapsule capsuleBetween(const MgcVector3& lower, const MgcVector3& upper, double radius) {
  ZOVcapsule c;
  c.center = (lower + upper) * 0.5;
  c.axis = upper - lower;
  c.length = c.axis.Unitize(1e-12);
  if (c.length == 0.0) c.axis = MgcVector3::UNIT_Z;
  c.radius = radius;
  return c;
}

std::unique_ptr<ZOVmesh> polygonMesh(const std::vector<MgcVector3>& vertices,
                                     const std::vector<std::vector<std::uint32_t>>& faces) {
  auto mesh = makeMesh(static_cast<std::uint32_t>(vertices.size()), static_cast<std::uint32_t>(faces.size()));
  for (std::uint32_t i = 0; i < mesh->numVertices; ++i) mesh->vertices[i] = mesh->worldVertices[i] = vertices[i];
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
    mesh_face& face = mesh->faces[f];
    face.numVertices = static_cast<std::uint32_t>(faces[f].size());
    for (std::uint32_t k = 0; k < face.numVertices; ++k) face.vertices[k] = faces[f][k];
    const MgcVector3 n = unitNormal(vertices[faces[f][0]], vertices[faces[f][1]], vertices[faces[f][2]]);
    mesh->faceNormals[f] = mesh->worldFaceNormals[f] = n;
  }
  return mesh;
}

std::unique_ptr<ZOVmesh> convexHullMesh(const std::vector<MgcVector3>& points) {
  std::vector<std::vector<std::uint32_t>> faces;
  const std::uint32_t n = static_cast<std::uint32_t>(points.size());
  for (std::uint32_t i = 0; i < n; ++i)
    for (std::uint32_t j = i + 1; j < n; ++j)
      for (std::uint32_t k = j + 1; k < n; ++k) {
        const MgcVector3 normal = (points[j] - points[i]).Cross(points[k] - points[i]);
        bool anyAbove = false;
        bool anyBelow = false;
        for (std::uint32_t l = 0; l < n; ++l) {
          if (l == i || l == j || l == k) continue;
          const double side = (points[l] - points[i]).Dot(normal);
          anyAbove = anyAbove || side > 0.0;
          anyBelow = anyBelow || side < 0.0;
        }
        if (!anyAbove)
          faces.push_back({i, j, k});
        else if (!anyBelow)
          faces.push_back({i, k, j});
      }
  return polygonMesh(points, faces);
}

std::unique_ptr<ZOVmesh> boxMesh(const MgcVector3& half) {
  std::vector<MgcVector3> vertices;
  for (int k = 0; k < 8; ++k)
    vertices.emplace_back((k & 1) ? half.x : -half.x, (k & 2) ? half.y : -half.y, (k & 4) ? half.z : -half.z);
  const std::vector<std::vector<std::uint32_t>> faces = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                                         {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
  return polygonMesh(vertices, faces);
}

std::unique_ptr<ZOVmesh> lPrismMesh() {
  // The L outline in the xy plane, counter-clockwise, at z = 0 and z = 1.
  const double outline[6][2] = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
  std::vector<MgcVector3> vertices;
  for (int level = 0; level < 2; ++level)
    for (const auto& p : outline) vertices.emplace_back(p[0], p[1], level);
  std::vector<std::vector<std::uint32_t>> faces;
  for (std::uint32_t i = 0; i < 6; ++i) {
    const std::uint32_t next = (i + 1) % 6;
    faces.push_back({i, next, next + 6, i + 6});
  }
  // Caps as two convex quads each: bottom (normal -z) and top (+z).
  faces.push_back({0, 3, 2, 1});
  faces.push_back({0, 5, 4, 3});
  faces.push_back({6, 7, 8, 9});
  faces.push_back({6, 9, 10, 11});
  return polygonMesh(vertices, faces);
}

std::vector<MgcVector3> worldFace(const ZOVmesh& mesh, std::uint32_t f) {
  std::vector<MgcVector3> polygon;
  for (std::uint32_t k = 0; k < mesh.faces[f].numVertices; ++k)
    polygon.push_back(mesh.worldVertices[mesh.faces[f].vertices[k]]);
  return polygon;
}

namespace {

// Moller-Trumbore: whether the ray origin + t dir, t > 0, crosses the triangle.
bool rayCrossesTriangle(const MgcVector3& origin, const MgcVector3& dir, const MgcVector3& a, const MgcVector3& b,
                        const MgcVector3& c) {
  const MgcVector3 e1 = b - a;
  const MgcVector3 e2 = c - a;
  const MgcVector3 p = dir.Cross(e2);
  const double det = e1.Dot(p);
  if (std::fabs(det) < 1e-14) return false;
  const MgcVector3 s = origin - a;
  const double u = s.Dot(p) / det;
  if (u < 0.0 || u > 1.0) return false;
  const MgcVector3 q = s.Cross(e1);
  const double v = dir.Dot(q) / det;
  if (v < 0.0 || u + v > 1.0) return false;
  return e2.Dot(q) / det > 0.0;
}

}  // namespace

bool insideByRayParity(const ZOVmesh& mesh, const MgcVector3& point) {
  const MgcVector3 directions[3] = {{0.5773, 0.4142, 0.7071}, {-0.3119, 0.8271, -0.2236}, {0.1414, -0.6180, 0.3333}};
  int votes = 0;
  for (const MgcVector3& dir : directions) {
    int crossings = 0;
    for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
      const std::vector<MgcVector3> polygon = worldFace(mesh, f);
      for (std::size_t k = 1; k + 1 < polygon.size(); ++k)
        if (rayCrossesTriangle(point, dir, polygon[0], polygon[k], polygon[k + 1])) ++crossings;
    }
    votes += crossings % 2;
  }
  return votes >= 2;
}

double convexMeshDistanceSq(const ZOVmesh& a, const ZOVmesh& b) {
  double best = 1e300;
  for (int side = 0; side < 2; ++side) {
    const ZOVmesh& m = side == 0 ? a : b;
    const ZOVmesh& n = side == 0 ? b : a;
    for (std::uint32_t f = 0; f < n.numFaces; ++f) {
      const std::vector<MgcVector3> polygon = worldFace(n, f);
      for (std::size_t k = 1; k + 1 < polygon.size(); ++k) {
        const MgcVector3 tri[3] = {polygon[0], polygon[k], polygon[k + 1]};
        for (std::uint32_t v = 0; v < m.numVertices; ++v)
          best = std::min(best, bfPointTriangleSq(m.worldVertices[v], tri));
      }
    }
  }
  for (std::uint32_t f = 0; f < a.numFaces; ++f) {
    const std::vector<MgcVector3> pa = worldFace(a, f);
    for (std::uint32_t g = 0; g < b.numFaces; ++g) {
      const std::vector<MgcVector3> pb = worldFace(b, g);
      for (std::size_t i = 0; i < pa.size(); ++i)
        for (std::size_t j = 0; j < pb.size(); ++j)
          best = std::min(best, bfSegmentSegmentSq(pa[i], pa[(i + 1) % pa.size()], pb[j], pb[(j + 1) % pb.size()]));
    }
  }
  return best;
}

}  // namespace zovtest
