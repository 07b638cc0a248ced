#include "engine/BarrierBody.h"

#include "engine/ShapeFrames.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

BarrierBody::BarrierBody() : PrivateHardBody(kBarrierBody) {}

void BarrierBody::place(const MgcVector3& p, const MgcMatrix3& R, const MgcVector3& s) {
  planePoint = p;
  shape.localCenter = p;
  shapeframes::setBoxRotation(shape, R);
  shape.scale = s;
  shape.localRadius = shapeframes::largestComponent(shape.boxSize) / 2.0;
  shape.radius = shape.localRadius * shapeframes::largestComponent(s);
  setOrientation(R);
  computeInertiaTensor();
  dyn.position = p;
  dyn.integratedPosition = p;
  clearDynForces();
  clearDynTorques();
  dynLast = dyn;
  activate();
  enableStatic();
}

void BarrierBody::setPlane(const MgcVector3& point, const MgcVector3& normal) {
  planeNormal = normal;
  place(point, MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
}

void BarrierBody::init(const MgcVector3& p, const MgcMatrix3& R, const MgcVector3& s) {
  place(p, R, shapeframes::usableScale(s));
}

void BarrierBody::computeInertiaTensor() {
  const double m = getMass();
  const MgcVector3& c = shape.localCenter;
  localInertia = shapeframes::placedInertia(MgcMatrix3::IDENTITY, shape.boxRotation, c, m);
  localInvInertia = localInertia.Inverse(zov::kInertiaInverseTolerance);
  updateWorldTensors();
  setAngularVelocity(dyn.angularVelocity);
}

void BarrierBody::moveCenterOfMass(const MgcVector3& P) { planePoint = P; }

void BarrierBody::modify(ZOVmesh* /*mesh*/) {}
