#include "engine/bodies/PhantomBody.h"

#include "engine/bodies/ShapeFrames.h"
#include "geometry/BoxFits.h"
#include "geometry/MeshTransforms.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

PhantomBody::PhantomBody() : PrivateHardBody(kPhantomBody) {}

void PhantomBody::init(const MgcVector3& p, const MgcMatrix3& R, const MgcVector3& scale) {
  placeBoxShape(p, R, shapeframes::usableScale(scale));
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
  setLocalInertia(shapeframes::placedInertia(box, shape.boxRotation, c, m), dynInit.angularVelocity);
}

void PhantomBody::moveCenterOfMass(const MgcVector3& P) {
  moveFrameTo(P, MeshCentre::kShifted);
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
  reframeBoxShape();
}
