#include "engine/bodies/PrivateHardBody.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <iterator>
#include <new>

#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/ListWalk.h"
#include "engine/bodies/ShapeFrames.h"
#include "geometry/MeshTransforms.h"
#include "geometry/VolumeMath.h"
#include "math/Finite.h"
#include "math/Tolerances.h"
#include "platform/Assert.h"
#include "platform/ModuleState.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using Mgc::Quaternion;

namespace {

// q turned by the rotation vector r (axis r/|r|, angle |r|) and normalised.
// False, with q unchanged, when the result has no direction.
bool turnQuaternion(Quaternion& q, const MgcVector3& r, double angle) {
  Quaternion turned = Quaternion(r / angle, angle) * q;
  const double norm = turned.Length();
  if (!(norm > 0.0) || !std::isfinite(norm)) return false;
  q = turned / norm;
  return true;
}

/// Worker states a new body keeps: every slot until a world says how many
/// threads its passes use.
std::atomic<int> g_defaultWorkerStates{kThreadSlotCount};
const zov::platform::ModuleStateReset g_workerStatesReset([] { g_defaultWorkerStates = kThreadSlotCount; });

}  // namespace

PrivateHardBody::PrivateHardBody(eHBodyType bodyKind) : HardBody(bodyKind) {
  dynLast = RBDynamics();
  dynLast.invMass = 1.0;
  dyn = dynLast;
  setWorkerStateCount(g_defaultWorkerStates.load());
}

PrivateHardBody::~PrivateHardBody() {
  jointCount = 0;
  delete[] workerStates.load();
}

void PrivateHardBody::setRestitutionCoeff(double c) {
  if (!std::isfinite(c)) return;
  restitution = c;
  initialRestitution = c;
}

void PrivateHardBody::setFrictionCoeff(double c) {
  if (!std::isfinite(c)) return;
  friction = c;
  initialFriction = c;
}

void PrivateHardBody::activate() {
  updateWorldData();
  flags |= kBodyActive;
  countWakeUp();
  sleepCount = 0;
  integrator.forgetStepStart();
}

void PrivateHardBody::deActivate() {
  flags &= ~kBodyActive;
  integrator.forgetStepStart();
}

bool PrivateHardBody::isFirstHit(bool askParent) {
  if ((flags & kBodyFirstHit) != 0) return true;
  if (askParent && parent != nullptr) return parent->isFirstHit(false);
  return false;
}

void PrivateHardBody::enableBreakByFrame() {}

void PrivateHardBody::disableBreakByFrame() {}

bool PrivateHardBody::isBreakByFrame() { return false; }

void PrivateHardBody::resetProcessedThreads() {
  processedThreads.store(0, std::memory_order_relaxed);
  flags &= ~kBodyProcessed;
}

void PrivateHardBody::modify(ZOVmesh* newMesh) { setMesh(newMesh); }

void PrivateHardBody::placeMeshInWorld() {
  if (mesh != nullptr) meshTransformSRT(mesh.get(), dyn.position, dyn.orientation, shape.scale);
}

void PrivateHardBody::orientationFromQuat() { dyn.orientationQuat.ToRotationMatrix(dyn.orientation); }

void PrivateHardBody::updateShapeWorldData() {
  if (kind == kHullBody || kind == kTriMeshBody) placeMeshInWorld();
}

void PrivateHardBody::updateWorldData() {
  updateBounds();
  updateShapeWorldData();
  // A phantom keeps no world data to be current.
  if (kind != kPhantomBody) flags |= kBodyWorldUpdate;
}

double PrivateHardBody::computeEnergy() {
  if (isStatic()) return zov::kMaxFloat;
  const double linearEnergy = dyn.linearVelocity.Dot(dyn.linearVelocity) / dyn.invMass;
  const double angularEnergy = dyn.angularMomentum.Dot(dyn.angularVelocity);
  return linearEnergy + angularEnergy;
}

bool PrivateHardBody::updateSleepState() {
  if (!isActive()) return false;
  // Per-vertex motion (a deforming mesh) keeps the body awake. Only the mark is
  // read: placing the mesh is not this test's business.
  if (mesh != nullptr && mesh->hasVertexData != 0) return true;
  return movedSinceLast();
}

void PrivateHardBody::ApplyBreakEnergy(DynamicStress* joint) {
  if (joint == nullptr) return;
  const double energy = joint->getBreakEnergy();
  if (!(energy > zov::kTolerance) || !std::isfinite(energy)) return;
  MgcVector3 separation = joint->direction() * energy;
  if (joint->getCNode() == this) separation = -separation;
  dyn.linearVelocity += (separation * getMass()) * dyn.invMass;
  if (!isActive()) activate();
}

void PrivateHardBody::setScale(const MgcVector3& s) {
  if (!zov::isFinite(s)) return;
  const MgcVector3& E = shape.boxSize;
  // A mirrored scale encloses the same volume, hence the magnitudes.
  const double oldVolume = std::fabs(E.x * shape.scale.x * E.y * shape.scale.y * E.z * shape.scale.z);
  const double newVolume = std::fabs(E.x * s.x * E.y * s.y * E.z * s.z);
  shape.scale = s;
  // A box without volume has no density to keep: the mass stays.
  if (oldVolume > 0.0) {
    const double density = getMass() / oldVolume;
    if (std::isfinite(density)) setMass(static_cast<float>(density * newVolume));
  }

  const MgcVector3 size = zov::scaledBy(E, s);
  const double fullDiagonal = 0.5 * std::sqrt(size.x * size.x + size.y * size.y + size.z * size.z);
  switch (kind) {
    case kPhantomBody:
      break;
    case kCapsuleBody:
    case kCrackerBody:
      shape.radius = 0.5 * std::sqrt(size.x * size.x + size.z * size.z);
      break;
    case kHullBody:
      shape.radius = fullDiagonal;
      placeMeshInWorld();
      break;
    case kBarrierBody:
      shape.radius = 1.0;
      break;
    default:
      shape.radius = fullDiagonal;
      break;
  }
}

void PrivateHardBody::setMass(float m) {
  if (!std::isfinite(m)) return;
  const double mass = std::max(static_cast<double>(m), kMinBodyMass);
  dyn.invMass = 1.0 / mass;
  computeInertiaTensor();
}

void PrivateHardBody::resetDynamics() {
  changeLast() = RBDynamics();
  dyn = RBDynamics();
  integrator.forgetStepStart();
}

void PrivateHardBody::setOrientationQuat(const Quaternion& q) {
  const double norm = q.Length();
  if (!zov::isFinite(q) || !(norm > 0.0) || !std::isfinite(norm)) return;
  dyn.orientationQuat = q / norm;
  dyn.referenceQuat = dyn.orientationQuat;
  orientationFromQuat();
  updateWorldTensors();
  flags &= ~kBodyWorldUpdate;
  ZOV_ASSERT(poseIsFinite(dyn));
}

void PrivateHardBody::setOrientation(const MgcMatrix3& R) {
  if (!zov::isFinite(R)) return;
  dyn.orientation = R;
  dyn.orientationQuat = Quaternion(R);
  dyn.referenceQuat = dyn.orientationQuat;
  updateWorldTensors();
  flags &= ~kBodyWorldUpdate;
  ZOV_ASSERT(poseIsFinite(dyn));
}

void PrivateHardBody::setPosition(const MgcVector3& p) {
  if (!zov::isFinite(p)) return;
  dyn.position = p;
  dyn.integratedPosition = p;
  flags &= ~kBodyWorldUpdate;
  ZOV_ASSERT(poseIsFinite(dyn));
}

void PrivateHardBody::setLinearVelocity(const MgcVector3& v) {
  if (zov::isFinite(v)) dyn.linearVelocity = v;
}

ZOVbox* PrivateHardBody::updateBounds() { return placeBoundingBox(); }

ZOVcapsule* PrivateHardBody::getBoundingVolume(int /*world*/) {
  updateBounds();
  return capsuleAroundBox();
}

ZOVmesh* PrivateHardBody::getWorldMesh() {
  if (mesh == nullptr) return nullptr;
  if (!isWorldModified()) placeMeshInWorld();
  return mesh.get();
}

void PrivateHardBody::saveDynamics(int what) { saveState(what); }

void PrivateHardBody::restoreDynamics() {
  dyn = dynInit;
  changeLast() = dynInit;
  integrator.forgetStepStart();
  restitution = initialRestitution;
  friction = initialFriction;
  if (isFirstHit(false)) flags |= kBodyStatic;
  updateWorldData();
}

void PrivateHardBody::storeLastDynamics() { storeLastStates(); }

void PrivateHardBody::integrateForces(double dt, bool damping) {
  integrator.integrateForces(dyn, dt, damping, airDamping, angularAirDamping);
}

void PrivateHardBody::integrateMotion(double dt) {
  if (isStatic()) return;
  if (integrator.integrateMotion(dyn, dynLast.orientationQuat, dt)) flags &= ~kBodyWorldUpdate;
  updateInertia();
  ZOV_ASSERT(dyn.invMass == 0.0 || motionIsFinite(dyn));
}

void PrivateHardBody::rollbackDynamics() {
  rollbackStates();
  integrator.forgetStepStart();
}

void PrivateHardBody::translate(const MgcVector3& d, const MgcVector3& angular) {
  if (!zov::isFinite(d) || !zov::isFinite(angular)) return;
  const double tolerance = extractionCoeff >= 1.0 ? zov::kMaxFloat : extractionCoeff;
  MgcVector3 target = dyn.position + d;
  clampVectorToBox(target, dynLast.position, dyn.integratedPosition, tolerance);
  dyn.position = target;

  const MgcVector3 r = dyn.worldInvInertia * angular;
  const double angle = r.Length();
  if (angle > zov::kTolerance) {
    Quaternion q = Quaternion(r / angle, angle) * dyn.orientationQuat;
    clampQuatToBox(q, dyn.referenceQuat, dynLast.orientationQuat, 0.0);
    const double norm = q.Length();
    if (norm > 0.0 && std::isfinite(norm)) {
      dyn.orientationQuat = q / norm;
      orientationFromQuat();
      updateInertia();
    }
  }
  flags &= ~kBodyWorldUpdate;
  ZOV_ASSERT(poseIsFinite(dyn));
}

void PrivateHardBody::moveBy(const MgcVector3& d) {
  if (zov::isFinite(d)) dyn.position += d;
  flags &= ~kBodyWorldUpdate;
}

void PrivateHardBody::moveTo(const MgcVector3& offset, const MgcVector3& position) {
  if (!zov::isFinite(offset) || !zov::isFinite(position)) return;
  dyn.position = position + offset;
  dyn.integratedPosition = dyn.position;
  flags &= ~kBodyWorldUpdate;
  ZOV_ASSERT(poseIsFinite(dyn));
}

void PrivateHardBody::rotate(const MgcVector3& angular) {
  if (zov::isFinite(angular)) {
    const MgcVector3 r = dyn.worldInvInertia * angular;
    const double squaredAngle = r.SquaredLength();
    if (squaredAngle > zov::kTolerance) {
      Quaternion q = dyn.orientationQuat;
      if (turnQuaternion(q, r, std::sqrt(squaredAngle))) {
        dyn.orientationQuat = q;
        orientationFromQuat();
        updateInertia();
      }
    }
  }
  flags &= ~kBodyWorldUpdate;
}

void PrivateHardBody::shapeIntoFrame(ZOVmesh* shapeMesh, const MgcVector3& p, const MgcMatrix3& R,
                                     const MgcVector3& s) {
  shapeframes::meshIntoFrame(shapeMesh, p, R, s);
  const MgcMatrix3 Rt = R.Transpose();
  const MgcVector3 inv = shapeframes::inverseScale(s);
  const MgcVector3 c = Rt * (shape.localCenter - p);
  shape.localCenter = MgcVector3(c.x * inv.x, c.y * inv.y, c.z * inv.z);
  shapeframes::setBoxRotation(shape, Rt * shape.boxRotation);
}

void PrivateHardBody::placeAt(const MgcVector3& p, const MgcMatrix3& R) {
  setOrientation(R);
  computeInertiaTensor();
  dyn.position = p;
  dyn.integratedPosition = p;
  clearDynForces();
  clearDynTorques();
  ZOV_ASSERT(poseIsFinite(dyn));
}

void PrivateHardBody::setLocalInertia(const MgcMatrix3& I, const MgcVector3& w) {
  localInertia = I;
  localInvInertia = I.Inverse(zov::kInertiaInverseTolerance);
  updateWorldTensors();
  setAngularVelocity(w);
}

MgcVector3 PrivateHardBody::moveFrameTo(const MgcVector3& P, MeshCentre centre) {
  const MgcMatrix3 Rt = dyn.orientation.Transpose();
  const MgcVector3 inv = shapeframes::inverseScale(shape.scale);
  const MgcVector3 c = Rt * (computeWCenter() - P);
  shape.localCenter = MgcVector3(c.x * inv.x, c.y * inv.y, c.z * inv.z);
  const MgcVector3 d = Rt * (dyn.position - P);
  countShapeChange();
  if (mesh != nullptr && mesh->vertices != nullptr) {
    for (std::uint32_t i = 0; i < mesh->numVertices; ++i) mesh->vertices[i] += d;
    if (centre == MeshCentre::kShifted) mesh->center += d;
  }
  dyn.position = P;
  changeLast().position = P;
  return d;
}

void PrivateHardBody::placeMeshShape(const MgcVector3& p, const MgcMatrix3& R, const MgcVector3& s) {
  countShapeChange();
  shapeIntoFrame(mesh.get(), p, R, s);
  shape.scale = s;
  const double halfBox = 0.5 * shape.boxSize.Length();
  const double meshRadius = mesh != nullptr ? mesh->radius : halfBox;
  shape.localRadius = meshRadius <= halfBox ? meshRadius : halfBox;
  shape.radius = shapeframes::largestComponent(s) * shape.localRadius;
  placeAt(p, R);
  changeLast() = dyn;
}

void PrivateHardBody::placeBoxShape(const MgcVector3& p, const MgcMatrix3& R, const MgcVector3& s) {
  refillBoxMesh();
  shapeIntoFrame(mesh.get(), p, R, s);
  shape.scale = s;
  setBoxRadii();
  placeAt(p, R);
  meshTransformSRT(mesh.get(), dyn.position, dyn.orientation, shape.scale);
}

void PrivateHardBody::reframeBoxShape() {
  refillBoxMesh();
  countShapeChange();
  shapeIntoFrame(mesh.get(), dyn.position, dyn.orientation, MgcVector3(1.0, 1.0, 1.0));
  setBoxRadii();
  computeInertiaTensor();
  meshTransformSRT(mesh.get(), dyn.position, dyn.orientation, shape.scale);
  updateWorldData();
}

void PrivateHardBody::refillBoxMesh() {
  countShapeChange();
  if (mesh == nullptr) mesh = std::make_unique<ZOVmesh>();
  ZOVbox box;
  box.center = shape.localCenter;
  box.axes = shape.boxRotation;
  box.extents = shape.boxSize * 0.5;
  meshFromOBB(box, mesh.get());
  shapeframes::worldToLocal(mesh.get());
}

void PrivateHardBody::setBoxRadii() {
  shape.localRadius = shapeframes::largestComponent(shape.boxSize) / 2.0;
  shape.radius = shapeframes::largestComponent(shape.scale) * shape.localRadius;
}

bool PrivateHardBody::hasActiveJoint() {
  jointIterating = 1;
  for (jointCursor = jointList.getFirst(); jointCursor != nullptr; jointCursor = jointCursor->next) {
    const DynamicStress* joint = jointCursor->value;
    if (joint != nullptr && joint->isActive()) return true;
  }
  jointIterating = 0;
  return false;
}

bool PrivateHardBody::hasInactiveJoint() {
  jointIterating = 1;
  for (jointCursor = jointList.getFirst(); jointCursor != nullptr; jointCursor = jointCursor->next) {
    const DynamicStress* joint = jointCursor->value;
    if (joint != nullptr && !joint->isActive()) return true;
  }
  jointIterating = 0;
  return false;
}

void PrivateHardBody::clearJoints() {
  jointList.clear();
  jointCursor = nullptr;
  jointIterating = 0;
  jointCount = 0;
  flags &= ~kBodyJoined;
}

DynamicStress* PrivateHardBody::getFirstJoint() {
  jointCursor = jointList.getFirst();
  jointIterating = jointCursor != nullptr ? 1 : 0;
  return jointCursor != nullptr ? jointCursor->value : nullptr;
}

DynamicStress* PrivateHardBody::getNextJoint() { return walkNext<DynamicStress*>(jointCursor, jointIterating); }

RBDynamics* PrivateHardBody::getWorkerDyn(int t) {
  if (t < 0 || t >= workerStateCount) return nullptr;
  std::unique_ptr<RBDynamics>* states = workerStates.load(std::memory_order_acquire);
  if (states == nullptr) {
    auto* made = new (std::nothrow) std::unique_ptr<RBDynamics>[workerStateCount];
    if (made == nullptr) return nullptr;
    // Another slot may make them at the same time: the first one made stays.
    if (workerStates.compare_exchange_strong(states, made, std::memory_order_acq_rel)) {
      states = made;
    } else {
      delete[] made;
    }
  }
  // Each slot's pointer is written by the one thread that runs as it.
  std::unique_ptr<RBDynamics>& state = states[t];
  if (!state) state.reset(new (std::nothrow) RBDynamics());
  return state.get();
}

void PrivateHardBody::setDefaultWorkerStateCount(int count) {
  g_defaultWorkerStates.store(std::clamp(count, 1, kThreadSlotCount));
}

bool PrivateHardBody::setWorkerStateCount(int count) {
  count = std::clamp(count, 1, kThreadSlotCount);
  if (count == workerStateCount) return true;
  delete[] workerStates.exchange(nullptr);
  workerStateCount = static_cast<std::uint8_t>(count);
  return true;
}
