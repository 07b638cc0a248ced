#include <algorithm>
#include <cmath>

#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/bodies/ShapeFrames.h"
#include "engine/fracture/FractureBody.h"
#include "geometry/MeshTransforms.h"
#include "geometry/VolumeMath.h"
#include "math/Finite.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using Mgc::Quaternion;

// The compound as one rigid body: its mass and inertia from the pieces, its
// integration, the bounded moves of contact extraction, saving and restoring.
// Every change of the compound's pose or velocity is handed down to the
// pieces.

namespace {

// The piece's orientation in the compound with orientation R: R Q^T.
MgcMatrix3 pieceFrame(const MgcMatrix3& R, const PrivateHardBody* piece) {
  return R.TimesTranspose(piece->getMatrixPivotCm());
}

// q turned by the rotation vector r (axis r / |r|, angle |r|), not yet
// normalised; false when r is too short to give an axis.
bool turned(const Quaternion& q, const MgcVector3& r, double angle, Quaternion& out) {
  if (!(angle > 0.0) || !std::isfinite(angle)) return false;
  out = Quaternion(r / angle, angle) * q;
  return true;
}

// q normalised into the orientation and its matrix; false, with nothing
// set, when q's length is zero or not finite.
bool normaliseInto(const Quaternion& q, Quaternion& orientation, MgcMatrix3& matrix) {
  const double norm = q.Length();
  if (!(norm > 0.0 && std::isfinite(norm))) return false;
  orientation = q / norm;
  orientation.ToRotationMatrix(matrix);
  return true;
}

}  // namespace

void FractureBody::placePieces() {
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    PrivateHardBody* piece = node->value;
    const MgcMatrix3 frame = pieceFrame(dyn.orientation, piece);
    piece->setOrientation(frame);
    piece->setPosition(dyn.position - frame * piece->getTransPivotCm());
  }
}

void FractureBody::movePieces() {
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    PrivateHardBody* piece = node->value;
    piece->setLinearVelocity(dyn.linearVelocity + dyn.angularVelocity.Cross(piece->getDyn().position - dyn.position));
    piece->setAngularVelocity(dyn.angularVelocity);
  }
}

void FractureBody::init(const MgcVector3& centre, const MgcMatrix3& R, const MgcVector3& s) {
  if (!zov::isFinite(centre) || !zov::isFinite(R) || !zov::isFinite(s)) return;
  shape.localCenter = centre;
  shapeframes::setBoxRotation(shape, R);
  shape.scale = s;
  activate();
}

void FractureBody::computeInertiaTensor() {
  if (isSplitted()) return;
  MgcMatrix3 I;
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    const PrivateHardBody* piece = node->value;
    if (piece->isStatic()) continue;
    const double m = piece->getMass();
    const RBDynamics& state = piece->getDyn();
    const MgcVector3 d = state.orientation.Transpose() * (state.position - dyn.position);
    // The piece's own tensor moved to the compound's reference point, in the
    // piece frame, then turned into the compound frame.
    MgcMatrix3 M = piece->getLocalInertiaTensor();
    M[0][0] += m * (d.y * d.y + d.z * d.z);
    M[1][1] += m * (d.x * d.x + d.z * d.z);
    M[2][2] += m * (d.x * d.x + d.y * d.y);
    M[0][1] = M[1][0] = M[0][1] - m * d.x * d.y;
    M[0][2] = M[2][0] = M[0][2] - m * d.x * d.z;
    M[1][2] = M[2][1] = M[1][2] - m * d.y * d.z;
    const MgcMatrix3& Q = piece->getMatrixPivotCm();
    I = I + Q.TransposeTimes(M) * Q;
  }
  localInertia = I;
  localInvInertia = I.Inverse(zov::kInertiaInverseTolerance);
  updateWorldTensors();
}

void FractureBody::moveCenterOfMass(const MgcVector3& q) {
  if (!zov::isFinite(q)) return;
  const MgcVector3 c = computeWCenter();
  const MgcVector3 inv = shapeframes::inverseScale(shape.scale);
  const MgcVector3 local = dyn.orientation.Transpose() * (c - q);
  shape.localCenter = MgcVector3(local.x * inv.x, local.y * inv.y, local.z * inv.z);
  // The pieces keep their places: their offsets are taken from the new
  // reference point.
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    PrivateHardBody* piece = node->value;
    piece->setTransPivotCm(pieceFrame(dyn.orientation, piece).Transpose() * (q - piece->getDyn().position));
  }
  dyn.position = q;
  dyn.integratedPosition = q;
  changeLast().position = q;
  computeInertiaTensor();
  setAngularVelocity(dyn.angularVelocity);
}

double FractureBody::computeEnergy() {
  if (isStatic()) return zov::kMaxFloat;
  const double linearEnergy = getMass() * dyn.linearVelocity.Dot(dyn.linearVelocity);
  const double angularEnergy = dyn.angularVelocity.Dot(dyn.angularMomentum);
  return linearEnergy + angularEnergy;
}

bool FractureBody::updateSleepState() { return movedSinceLast(); }

void FractureBody::setScale(const MgcVector3& s) {
  if (!zov::isFinite(s)) return;
  const MgcVector3& e = shape.boxSize;
  const MgcVector3& old = shape.scale;
  // A mirrored scale encloses the same volume; a box without volume has no
  // density to keep, so its mass stays.
  const double oldVolume = std::fabs(e.x * old.x * e.y * old.y * e.z * old.z);
  const double newVolume = std::fabs(e.x * s.x * e.y * s.y * e.z * s.z);
  const double density = oldVolume > 0.0 ? getMass() / oldVolume : 0.0;
  shape.scale = s;
  if (oldVolume > 0.0 && std::isfinite(density)) setMass(static_cast<float>(density * newVolume));
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) node->value->setScale(s);
  for (auto* node = activeJoints.getFirst(); node != nullptr; node = node->next) {
    DynamicStress* joint = node->value;
    PrivateHardBody* p = joint->getPNode();
    PrivateHardBody* c = joint->getCNode();
    if (p == nullptr || c == nullptr) continue;
    const MgcVector3 midpoint = (p->computeWCenter() + c->computeWCenter()) * 0.5;
    joint->attach(midpoint, 1, p, c);
  }
}

void FractureBody::setMass(float m) {
  if (isSplitted() || !std::isfinite(m)) return;
  const double mass = std::max(static_cast<double>(m), kMinBodyMass);
  // A piece list that changed since the ratios were taken gets ratios of
  // its own pieces, so that each piece keeps its share.
  if (!ratiosMatchPieces()) {
    double total = 0.0;
    for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) total += node->value->getMass();
    computeMassRatios(total);
  }
  for (const auto& [piece, ratio] : massRatios) {
    if (!piece->isStatic()) piece->setMass(static_cast<float>(mass * ratio));
  }
  dyn.invMass = 1.0 / mass;
  computeInertiaTensor();
  setAngularVelocity(dynInit.angularVelocity);
}

void FractureBody::setOrientationQuat(const Quaternion& q) {
  const double norm = q.Length();
  if (!zov::isFinite(q) || !(norm > 0.0) || !std::isfinite(norm)) return;
  dyn.orientationQuat = q / norm;
  dyn.orientationQuat.ToRotationMatrix(dyn.orientation);
  updateWorldTensors();
  placePieces();
  flags &= ~kBodyWorldUpdate;
}

void FractureBody::setOrientation(const MgcMatrix3& R) {
  if (!zov::isFinite(R)) return;
  dyn.orientation = R;
  dyn.orientationQuat = Quaternion(R);
  updateWorldTensors();
  dyn.referenceQuat = dyn.orientationQuat;
  placePieces();
  flags &= ~kBodyWorldUpdate;
}

void FractureBody::setPosition(const MgcVector3& p) {
  if (!zov::isFinite(p)) return;
  dyn.position = p;
  dyn.integratedPosition = p;
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    PrivateHardBody* piece = node->value;
    piece->setPosition(p - pieceFrame(dyn.orientation, piece) * piece->getTransPivotCm());
  }
  flags &= ~kBodyWorldUpdate;
}

void FractureBody::setLinearVelocity(const MgcVector3& v) {
  if (!zov::isFinite(v)) return;
  dyn.linearVelocity = v;
  if (isSplitted()) return;
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    PrivateHardBody* piece = node->value;
    piece->setLinearVelocity(v + dyn.angularVelocity.Cross(piece->getDyn().position - dyn.position));
  }
}

ZOVbox* FractureBody::updateBounds() { return placeBoundingBox(); }

ZOVcapsule* FractureBody::getBoundingVolume(int /*world*/) {
  updateBounds();
  return capsuleAroundBox();
}

void FractureBody::saveDynamics(int what) {
  if ((what & kSaveAll) != 0) {
    savedLocalCenter = shape.localCenter;
    savedBoxSize = shape.boxSize;
    savedBoxRotation = shape.boxRotation;
  }
  saveState(what);
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) node->value->saveDynamics(what);
  for (auto* node = disconnectedBodies.getFirst(); node != nullptr; node = node->next) {
    node->value->saveDynamics(what);
  }
}

void FractureBody::restoreDynamics() {
  // Every joint the body had at its save comes back active in index order:
  // those handed to fragments or broken by splits, and those broken since
  // and still waiting for a split (left out, they would stay registered
  // with pieces while no list of the body owned them).
  for (EngineList<DynamicStress*>* list : {&splitJoints, &inactiveJoints}) {
    for (auto* node = list->getFirst(); node != nullptr; node = node->next) {
      if (!activeJoints.contains(node->value)) insertActiveByIndex(node->value);
      node->value->activate();
    }
    list->clear();
  }
  offJoints.clear();
  pendingDeactivations = 0;
  brokenJointCount = 0;

  // The fragments go first: their pieces come back as this body's below.
  forgetFamilyJoints();
  deleteFragments();
  fragmentCount = 0;
  for (auto* node = disconnectedBodies.getFirst(); node != nullptr; node = node->next) node->value->clearJoints();
  pieces.clear();
  bodyCursor = nullptr;
  jointCursor = nullptr;
  registerJointBodies(activeJoints);

  dyn = dynInit;
  changeLast() = dynInit;
  integrator.forgetStepStart();
  shape.localCenter = savedLocalCenter;
  shape.boxSize = savedBoxSize;
  shapeframes::setBoxRotation(shape, savedBoxRotation);
  shape.scale = MgcVector3(1.0, 1.0, 1.0);
  restitution = initialRestitution;
  friction = initialFriction;
  shape.localRadius = shape.boxSize.Length() / 2.0;
  shape.radius = shape.localRadius;

  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    PrivateHardBody* piece = node->value;
    piece->setParent(this);
    piece->restoreDynamics();
    const MgcMatrix3& Rp = piece->getDyn().orientation;
    piece->setMatrixPivotCm(Rp.Transpose());
    piece->setTransPivotCm(Rp.Transpose() * (dyn.position - piece->getDyn().position));
  }
  for (auto* node = disconnectedBodies.getFirst(); node != nullptr; node = node->next) {
    node->value->restoreDynamics();
  }
  if (isFirstHit(false) && !isStatic()) flags |= kBodyStatic;
  updateWorldData();
}

void FractureBody::storeLastDynamics() {
  storeLastStates();
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) node->value->storeLastDynamics();
}

void FractureBody::rollbackDynamics() {
  rollbackStates();
  integrator.forgetStepStart();
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) node->value->rollbackDynamics();
}

void FractureBody::clearExternalForces() {
  HardBody::clearExternalForces();
  for (auto* node = disconnectedBodies.getFirst(); node != nullptr; node = node->next) {
    node->value->clearExternalForces();
  }
  for (auto* node = childBodies.getFirst(); node != nullptr; node = node->next) node->value->clearExternalForces();
}

void FractureBody::integrateForces(double dt, bool damping) {
  if (integrator.integrateForces(dyn, dt, damping, airDamping, angularAirDamping)) movePieces();
}

void FractureBody::integrateMotion(double dt) {
  if (isStatic()) return;
  if (!integrator.integrateMotion(dyn, dynLast.orientationQuat, dt)) return;
  updateInertia();
  // Poses first, so that each piece's velocity is taken at its new place.
  placePieces();
  movePieces();
  flags &= ~kBodyWorldUpdate;
}

void FractureBody::translate(const MgcVector3& d, const MgcVector3& angular) {
  if (!zov::isFinite(d) || !zov::isFinite(angular)) return;
  MgcVector3 target = dyn.position + d;
  clampVectorToBox(target, dynLast.position, dyn.integratedPosition, 0.0);
  const MgcVector3 integrated = dyn.integratedPosition;
  dyn.position = target;

  const MgcVector3 a = dyn.worldInvInertia * angular;
  const double angle = a.Length();
  Quaternion q;
  if (angle > zov::kTolerance && turned(dyn.orientationQuat, a, angle, q)) {
    clampQuatToBox(q, dynLast.orientationQuat, dyn.referenceQuat, 0.0);
    if (normaliseInto(q, dyn.orientationQuat, dyn.orientation)) updateInertia();
  }
  placePieces();
  dyn.integratedPosition = integrated;
  flags &= ~kBodyWorldUpdate;
}

void FractureBody::moveBy(const MgcVector3& d) {
  if (!zov::isFinite(d)) return;
  MgcVector3 target = dyn.position + d;
  // The move stays within the sphere about the last step's midpoint through
  // the current position.
  const MgcVector3 middle = (dynLast.position + dyn.position) * 0.5;
  const double radius2 = (dyn.position - middle).SquaredLength();
  if ((target - middle).SquaredLength() > radius2) {
    MgcVector3 away = target - middle;
    away.Unitize(zov::kUnitizeTolerance);
    target = middle + away * std::sqrt(radius2);
  }
  setPosition(target);
}

void FractureBody::rotate(const MgcVector3& angular) {
  if (zov::isFinite(angular)) {
    const MgcVector3 a = dyn.worldInvInertia * angular;
    const double angle2 = a.SquaredLength();
    Quaternion q;
    if (angle2 > zov::kTolerance && turned(dyn.orientationQuat, a, std::sqrt(angle2), q)) {
      // Kept within the 4-sphere about the midpoint of the last and the
      // current orientation that passes through the current one.
      const Quaternion middle = (dyn.orientationQuat + dynLast.orientationQuat) * 0.5;
      const double radius2 = (dyn.orientationQuat - middle).Dot(dyn.orientationQuat - middle);
      const Quaternion away = q - middle;
      const double distance2 = away.Dot(away);
      if (distance2 > radius2) q = middle + away * (std::sqrt(radius2) / std::sqrt(distance2));
      if (normaliseInto(q, dyn.orientationQuat, dyn.orientation)) updateInertia();
    }
  }
  placePieces();
  flags &= ~kBodyWorldUpdate;
}
