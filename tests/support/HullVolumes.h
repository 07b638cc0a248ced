#pragma once

#include <memory>
#include <vector>

#include "geometry/BVmesh.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "support/RandomGeometry.h"

// Convex hull meshes placed in the world as hull bodies hold them: a mesh
// volume with its edge and vertex tables, world vertices, normals and centre.
namespace zovtest {

/// A placed hull: the mesh and the volume over it (the volume borrows the mesh).
struct HullVolume {
  std::unique_ptr<ZOVmesh> mesh;
  std::unique_ptr<BVmesh> volume;
  const BVmesh* get() const { return volume.get(); }
};

/// Builds the volume's tables and centre of mass over `mesh` (local = world
/// data) and then places it: world = R (scale . local) + t.
HullVolume placeHull(std::unique_ptr<ZOVmesh> mesh, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& t,
                     double scale = 1.0);

/// The box [-half, half] with quad faces, placed.
HullVolume boxHull(const Mgc::MgcVector3& half, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& t);
/// A regular icosahedron of circumradius `radius`, placed.
HullVolume icosahedronHull(double radius, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& t);
/// The hull of `count` random points in a ball of the given radius, placed.
HullVolume randomHull(Random& random, std::size_t count, double radius, const Mgc::MgcMatrix3& R,
                      const Mgc::MgcVector3& t);

/// The world vertices of a mesh.
std::vector<Mgc::MgcVector3> worldVertices(const ZOVmesh& mesh);

}  // namespace zovtest
