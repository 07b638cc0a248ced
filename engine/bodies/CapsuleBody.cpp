#include "engine/bodies/CapsuleBody.h"

#include <cmath>

#include "engine/bodies/ShapeFrames.h"
#include "geometry/BoxFits.h"
#include "geometry/MeshTransforms.h"
#include "geometry/VolumeMath.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

CapsuleBody::CapsuleBody() : CapsuleBody(kCapsuleBody) {}

CapsuleBody::CapsuleBody(eHBodyType bodyKind) : PrivateHardBody(bodyKind) {
  // The world capsule owns a record of its own from the start.
  worldCapsule_.init(ZOVcapsule());
}

void CapsuleBody::init(const MgcVector3& p, const MgcMatrix3& R, const MgcVector3& scale) {
  const MgcVector3 s = shapeframes::usableScale(scale);
  if (localCapsule.getCap() != nullptr) {
    localCapsule.transformTRS(-p, R.Transpose(), shapeframes::inverseScale(s), worldCapsule_);
    if (worldCapsule_.getCap() != nullptr) localCapsule.init(*worldCapsule_.getCap());
  }
  placeBoxShape(p, R, s);
  activate();
}

void CapsuleBody::computeInertiaTensor() {
  const double m = getMass();
  const ZOVcapsule* capsule = localCapsule.getCap();
  const MgcVector3& s = shape.scale;
  // The capsule is scaled as the world capsule is: by the largest scale.
  const double k = std::fmax(std::fabs(s.x), std::fmax(std::fabs(s.y), std::fabs(s.z)));
  const double r = capsule != nullptr ? capsule->radius * k : 0.0;
  const double L = capsule != nullptr ? capsule->length * k : 0.0;
  const MgcVector3 c(shape.localCenter.x * s.x, shape.localCenter.y * s.y, shape.localCenter.z * s.z);
  setLocalInertia(shapeframes::placedInertia(shapeframes::capsuleInertia(m, r, L), shape.boxRotation, c, m),
                  keptAngularVelocity());
}

void CapsuleBody::moveCenterOfMass(const MgcVector3& P) {
  moveFrameTo(P, MeshCentre::kShifted);
  localCapsule.setCenter(shape.localCenter);
  computeInertiaTensor();
  meshTransformSRT(mesh.get(), dyn.position, dyn.orientation, shape.scale);
  updateWorldData();
}

void CapsuleBody::modify(ZOVmesh* source) {
  if (source == nullptr) return;
  MgcVector3 a;
  MgcVector3 b;
  double r = 0.0;
  fitCapsule(source->numVertices, source->vertices, a, b, r);
  const double length = (b - a).Length();
  ZOVcapsule record;
  record.center = (a + b) * 0.5;
  record.axis = length > zov::kTolerance ? (b - a) / length : MgcVector3();
  record.length = length;
  record.radius = r;
  localCapsule.init(record);

  shape.localCenter = record.center;
  shape.boxSize = MgcVector3(r, r, length / 2.0 + r) * 2.0;
  const MgcVector3 side = localCapsule.getAxis(0);
  MgcMatrix3 rotation = MgcMatrix3::IDENTITY;
  if (side.SquaredLength() > zov::kTolerance)
    rotation = MgcMatrix3(side, localCapsule.getAxis(1), localCapsule.getAxis(2));
  shapeframes::setBoxRotation(shape, rotation);

  // Capsule, then centre, box and mesh into the body frame (unit scale).
  localCapsule.transformTRS(-dyn.position, dyn.orientation.Transpose(), MgcVector3(1.0, 1.0, 1.0), worldCapsule_);
  if (worldCapsule_.getCap() != nullptr) localCapsule.init(*worldCapsule_.getCap());
  reframeBoxShape();
}

ZOVcapsule* CapsuleBody::worldCapsule() {
  localCapsule.transformSRT(dyn.position, dyn.orientation, shape.scale, worldCapsule_);
  return worldCapsule_.getCap();
}

bool CapsuleBody::placedCapsule(ZOVcapsule& out) const {
  const ZOVcapsule* local = localCapsule.getCap();
  if (local == nullptr) return false;
  // As BCapsule::transformSRT places it.
  const double factor = zov::largestScale(shape.scale);
  out.center = dyn.orientation * zov::scaledBy(shape.scale, local->center) + dyn.position;
  out.axis = dyn.orientation * local->axis;
  out.length = local->length * factor;
  out.radius = local->radius * factor;
  return true;
}

ZOVcapsule* CapsuleBody::getBoundingVolume(int world) {
  if (world != 0) return worldCapsule();
  return localCapsule.getCap();
}
