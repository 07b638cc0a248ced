#include "engine/HullBody.h"

#include <cmath>
#include <cstdlib>

#include "engine/ShapeFrames.h"
#include "geometry/BoxFits.h"
#include "geometry/ConvexHull.h"
#include "geometry/MassProperties.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// Hulls of meshes with this many vertices or more are budgeted to it.
constexpr std::uint32_t kHullVertexBudget = 512;

}  // namespace

HullBody::HullBody() : PrivateHardBody(kHullBody) {}

HullBody::~HullBody() { boundingMesh.reset(); }

void HullBody::setHullMesh(std::unique_ptr<ZOVmesh> hull) {
  mesh.reset();
  mesh = std::move(hull);
}

void HullBody::init(const MgcVector3& p, const MgcMatrix3& R, const MgcVector3& scale) {
  if (mesh == nullptr) return;
  const MgcVector3 s = shapeframes::usableScale(scale);
  const MgcMatrix3 Rt = R.Transpose();
  shapeframes::meshIntoFrame(mesh.get(), p, R, s);

  const MgcVector3 inv = shapeframes::inverseScale(s);
  const MgcVector3 c = Rt * (shape.localCenter - p);
  shape.localCenter = MgcVector3(c.x * inv.x, c.y * inv.y, c.z * inv.z);
  shapeframes::setBoxRotation(shape, Rt * shape.boxRotation);
  shape.scale = s;

  const double halfBox = 0.5 * shape.boxSize.Length();
  shape.localRadius = mesh->radius <= halfBox ? mesh->radius : halfBox;
  shape.radius = shapeframes::largestComponent(s) * shape.localRadius;

  setOrientation(R);
  computeInertiaTensor();
  dyn.position = p;
  dyn.integratedPosition = p;
  clearDynForces();
  clearDynTorques();
  dynLast = dyn;
  activate();
}

void HullBody::computeInertiaTensor() {
  if (mesh == nullptr) return;
  localInertia = computeMassPropertiesInertia(*mesh, getMass(), MgcVector3(), shape.scale);
  localInvInertia = localInertia.Inverse(zov::kInertiaInverseTolerance);
  updateWorldTensors();
  setAngularVelocity(dynInit.angularVelocity);
}

void HullBody::moveCenterOfMass(const MgcVector3& P) {
  const MgcMatrix3 Rt = dyn.orientation.Transpose();
  const MgcVector3 inv = shapeframes::inverseScale(shape.scale);
  const MgcVector3 c = Rt * (computeWCenter() - P);
  shape.localCenter = MgcVector3(c.x * inv.x, c.y * inv.y, c.z * inv.z);
  const MgcVector3 d = Rt * (dyn.position - P);
  if (mesh != nullptr && mesh->vertices != nullptr) {
    for (std::uint32_t i = 0; i < mesh->numVertices; ++i) mesh->vertices[i] += d;
    mesh->center += d;
  }
  dyn.position = P;
  dynLast.position = P;
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

  const MgcMatrix3 Rt = dyn.orientation.Transpose();
  shapeframes::meshIntoFrame(hull.get(), dyn.position, dyn.orientation, MgcVector3(1.0, 1.0, 1.0));
  shape.localCenter = Rt * (shape.localCenter - dyn.position);
  shapeframes::setBoxRotation(shape, Rt * shape.boxRotation);

  const MgcVector3& E = shape.boxSize;
  const MgcVector3& s = shape.scale;
  shape.localRadius = 0.5 * E.Length();
  shape.radius = 0.5 * std::sqrt((E.x * s.x) * (E.x * s.x) + (E.y * s.y) * (E.y * s.y) + (E.z * s.z) * (E.z * s.z));
  shape.scale = MgcVector3(1.0, 1.0, 1.0);

  boundingMesh.reset();
  mesh = std::move(hull);
  volume->init(mesh.get(), kMeshHullMode);
  boundingMesh = std::move(volume);
  computeInertiaTensor();
  updateWorldData();
}
