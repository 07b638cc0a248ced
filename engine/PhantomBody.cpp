#include "engine/PhantomBody.h"

#include "engine/ShapeFrames.h"
#include "geometry/BoxFits.h"
#include "geometry/MeshTransforms.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

PhantomBody::PhantomBody() : PrivateHardBody(kPhantomBody) {}

void PhantomBody::refillBoxMesh() {
  if (mesh == nullptr) mesh = std::make_unique<ZOVmesh>();
  ZOVbox box;
  box.center = shape.localCenter;
  box.axes = shape.boxRotation;
  box.extents = shape.boxSize * 0.5;
  meshFromOBB(box, mesh.get());
  shapeframes::worldToLocal(mesh.get());
}

void PhantomBody::init(const MgcVector3& p, const MgcMatrix3& R, const MgcVector3& scale) {
  const MgcVector3 s = shapeframes::usableScale(scale);
  const MgcVector3 inv = shapeframes::inverseScale(s);
  const MgcMatrix3 Rt = R.Transpose();
  refillBoxMesh();
  shapeframes::meshIntoFrame(mesh.get(), p, R, s);

  const MgcVector3 c = Rt * (shape.localCenter - p);
  shape.localCenter = MgcVector3(c.x * inv.x, c.y * inv.y, c.z * inv.z);
  shapeframes::setBoxRotation(shape, Rt * shape.boxRotation);
  shape.scale = s;
  shape.localRadius = shapeframes::largestComponent(shape.boxSize) / 2.0;
  shape.radius = shapeframes::largestComponent(s) * shape.localRadius;

  setOrientation(R);
  computeInertiaTensor();
  dyn.position = p;
  dyn.integratedPosition = p;
  clearDynForces();
  clearDynTorques();
  meshTransformSRT(mesh.get(), dyn.position, dyn.orientation, shape.scale);
  activate();
}

void PhantomBody::computeInertiaTensor() {
  const double m = getMass();
  const MgcVector3& E = shape.boxSize;
  const MgcVector3& s = shape.scale;
  const double a = (s.x * E.x) * (s.x * E.x);
  const double b = (s.y * E.y) * (s.y * E.y);
  const double d = (s.z * E.z) * (s.z * E.z);
  MgcMatrix3 box;
  box.MakeDiagonal(m * (b + d) / 12.0, m * (a + d) / 12.0, m * (a + b) / 12.0);
  const MgcVector3 c(shape.localCenter.x * s.x, shape.localCenter.y * s.y, shape.localCenter.z * s.z);
  localInertia = shapeframes::placedInertia(box, shape.boxRotation, c, m);
  localInvInertia = localInertia.Inverse(zov::kInertiaInverseTolerance);
  updateWorldTensors();
  setAngularVelocity(dynInit.angularVelocity);
}

void PhantomBody::moveCenterOfMass(const MgcVector3& P) {
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
  meshTransformSRT(mesh.get(), dyn.position, dyn.orientation, shape.scale);
  updateWorldData();
}

void PhantomBody::modify(ZOVmesh* source) {
  if (source == nullptr) return;
  ZOVbox box;
  fitOrientedBox(box, source->numVertices, source->vertices);
  shape.localCenter = box.center;
  shape.boxSize = box.extents * 2.0;
  shapeframes::setBoxRotation(shape, box.axes);
  refillBoxMesh();

  const MgcVector3 one(1.0, 1.0, 1.0);
  const MgcMatrix3 Rt = dyn.orientation.Transpose();
  shape.localCenter = Rt * (shape.localCenter - dyn.position);
  shapeframes::setBoxRotation(shape, Rt * shape.boxRotation);
  shapeframes::meshIntoFrame(mesh.get(), dyn.position, dyn.orientation, one);

  shape.localRadius = shapeframes::largestComponent(shape.boxSize) / 2.0;
  shape.radius = shapeframes::largestComponent(shape.scale) * shape.localRadius;
  computeInertiaTensor();
  meshTransformSRT(mesh.get(), dyn.position, dyn.orientation, shape.scale);
  updateWorldData();
}
