#include "engine/bodies/HullBody.h"

#include <cmath>
#include <cstdlib>

#include "engine/bodies/ShapeFrames.h"
#include "geometry/BoxFits.h"
#include "geometry/ConvexHull.h"
#include "geometry/MassProperties.h"
#include "geometry/SharedFaces.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// Hulls of meshes with this many vertices or more are budgeted to it.
constexpr std::uint32_t kHullVertexBudget = 512;

}  // namespace

HullBody::HullBody() : PrivateHardBody(kHullBody) {}

HullBody::~HullBody() { boundingMesh.reset(); }

void HullBody::setHullMesh(std::unique_ptr<ZOVmesh> hull) {
  countShapeChange();
  mesh.reset();
  mesh = std::move(hull);
}

void HullBody::init(const MgcVector3& p, const MgcMatrix3& R, const MgcVector3& scale) {
  if (mesh == nullptr) return;
  placeMeshShape(p, R, shapeframes::usableScale(scale));
  activate();
}

void HullBody::computeInertiaTensor() {
  if (mesh == nullptr) return;
  setLocalInertia(computeMassPropertiesInertia(*mesh, getMass(), MgcVector3(), shape.scale), dynInit.angularVelocity);
}

void HullBody::moveCenterOfMass(const MgcVector3& P) {
  moveFrameTo(P, MeshCentre::kShifted);
  computeInertiaTensor();
  updateWorldData();
}

void HullBody::modify(ZOVmesh* source) {
  if (source == nullptr) return;
  std::unique_ptr<ZOVmesh> hull = source->numVertices >= kHullVertexBudget
                                      ? approxConvexHull(source, kHullVertexBudget)
                                      : convexHull(source->vertices, source->numVertices);
  if (hull == nullptr || hull->numVertices == 0) return;
  hull->worldVertices = static_cast<MgcVector3*>(std::calloc(hull->numVertices, sizeof(MgcVector3)));
  if (hull->worldVertices == nullptr) return;
  auto volume = std::make_unique<BVmesh>();

  ZOVbox box;
  fitOrientedBox(box, hull->numVertices, hull->vertices);
  shape.localCenter = box.center;
  shape.boxSize = box.extents * 2.0;
  shapeframes::setBoxRotation(shape, box.axes);
  hull->center = box.center;
  hull->radius = 2.0 * box.extents.Length();

  shapeIntoFrame(hull.get(), dyn.position, dyn.orientation, MgcVector3(1.0, 1.0, 1.0));

  const MgcVector3& E = shape.boxSize;
  const MgcVector3& s = shape.scale;
  shape.localRadius = 0.5 * E.Length();
  shape.radius = 0.5 * std::sqrt((E.x * s.x) * (E.x * s.x) + (E.y * s.y) * (E.y * s.y) + (E.z * s.z) * (E.z * s.z));
  shape.scale = MgcVector3(1.0, 1.0, 1.0);

  boundingMesh.reset();
  countShapeChange();
  mesh = std::move(hull);
  volume->init(mesh.get(), kMeshHullMode);
  shareFaceTables(*mesh);
  boundingMesh = std::move(volume);
  computeInertiaTensor();
  updateWorldData();
}
