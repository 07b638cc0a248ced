#include "engine/bodies/BarrierBody.h"

#include "engine/bodies/ShapeFrames.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

BarrierBody::BarrierBody() : PrivateHardBody(kBarrierBody) {}

void BarrierBody::place(const MgcVector3& p, const MgcMatrix3& R, const MgcVector3& s) {
  planePoint = p;
  shape.localCenter = p;
  shapeframes::setBoxRotation(shape, R);
  shape.scale = s;
  setBoxRadii();
  placeAt(p, R);
  changeLast() = dyn;
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
  setLocalInertia(shapeframes::placedInertia(MgcMatrix3::IDENTITY, shape.boxRotation, c, m), dyn.angularVelocity);
}

void BarrierBody::moveCenterOfMass(const MgcVector3& P) { planePoint = P; }

void BarrierBody::modify(ZOVmesh* /*mesh*/) {}
