#include "support/HullVolumes.h"

#include <cmath>
#include <cstdint>

#include "geometry/MeshTransforms.h"
#include "support/GeometryFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace zovtest {

HullVolume placeHull(std::unique_ptr<ZOVmesh> mesh, const MgcMatrix3& R, const MgcVector3& t, double scale) {
  HullVolume hull;
  hull.mesh = std::move(mesh);
  hull.volume = std::make_unique<BVmesh>();
  hull.volume->init(hull.mesh.get(), kMeshHullMode);
  meshTransformSRT(hull.mesh.get(), t, R, MgcVector3(scale, scale, scale));
  return hull;
}

HullVolume boxHull(const MgcVector3& half, const MgcMatrix3& R, const MgcVector3& t) {
  return placeHull(boxMesh(half), R, t);
}

HullVolume icosahedronHull(double radius, const MgcMatrix3& R, const MgcVector3& t) {
  const double phi = (1.0 + std::sqrt(5.0)) / 2.0;
  const double k = radius / std::sqrt(1.0 + phi * phi);
  std::vector<MgcVector3> points;
  for (const double a : {-1.0, 1.0})
    for (const double b : {-phi, phi}) {
      points.emplace_back(0.0, a * k, b * k);
      points.emplace_back(a * k, b * k, 0.0);
      points.emplace_back(b * k, 0.0, a * k);
    }
  return placeHull(convexHullMesh(points), R, t);
}

HullVolume randomHull(Random& random, std::size_t count, double radius, const MgcMatrix3& R, const MgcVector3& t) {
  std::vector<MgcVector3> points;
  while (points.size() < count) {
    const MgcVector3 p = random.vector(-radius, radius);
    if (p.SquaredLength() <= radius * radius) points.push_back(p);
  }
  // Only the hull's corners stay, as in the hulls that bodies hold.
  const std::unique_ptr<ZOVmesh> hull = convexHullMesh(points);
  std::vector<std::int64_t> remap(hull->numVertices, -1);
  std::vector<MgcVector3> corners;
  std::vector<std::vector<std::uint32_t>> faces(hull->numFaces);
  for (std::uint32_t f = 0; f < hull->numFaces; ++f)
    for (std::uint32_t k = 0; k < hull->faces[f].numVertices; ++k) {
      const std::uint32_t v = hull->faces[f].vertices[k];
      if (remap[v] < 0) {
        remap[v] = static_cast<std::int64_t>(corners.size());
        corners.push_back(hull->worldVertices[v]);
      }
      faces[f].push_back(static_cast<std::uint32_t>(remap[v]));
    }
  return placeHull(polygonMesh(corners, faces), R, t);
}

std::vector<MgcVector3> worldVertices(const ZOVmesh& mesh) {
  return std::vector<MgcVector3>(mesh.worldVertices, mesh.worldVertices + mesh.numVertices);
}

}  // namespace zovtest
