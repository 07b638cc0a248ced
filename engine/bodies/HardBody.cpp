#include "engine/bodies/HardBody.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "geometry/VolumeMath.h"
#include "math/Finite.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using Mgc::Quaternion;

namespace {

// A damping coefficient is a fraction lost per 1/100 s: above 1 the factor
// (1 - c)^(100 dt) would take a negative base to a fractional power (NaN).
double clampDamping(double c) {
  if (!(c >= 0.0)) return 0.0;  // also NaN
  return c > 1.0 ? 1.0 : c;
}

}  // namespace

std::atomic<std::uint64_t> HardBody::wakeUpCount{0};

HardBody::HardBody(eHBodyType bodyKind) : kind(bodyKind) {
  localInvInertia.SetIdentity();
  localInertia.SetIdentity();
  dynInit.orientation.SetIdentity();
  dynInit.orientationQuat = Quaternion(1.0, 0.0, 0.0, 0.0);
  dynInit.referenceQuat = dynInit.orientationQuat;
  dynInit.invMass = 1.0;
  dynInit.worldInertia.SetIdentity();
  dynInit.worldInvInertia.SetIdentity();
  dynLast = dynInit;
  dyn = dynInit;
}

RBDynamics& HardBody::changeLast() {
  if (backupIsLast) {
    dynBackup.reset(new (std::nothrow) RBDynamics(dynLast));
    backupIsLast = dynBackup == nullptr;
  }
  return dynLast;
}

void HardBody::storeLastStates() {
  dynLastBackup = dynLast;
  dynLast = dyn;
  dynBackup.reset();
  backupIsLast = true;
}

void HardBody::rollbackStates() {
  RBDynamics& last = changeLast();
  dyn = currentBackup();
  last = dynLastBackup;
}

const RBDynamics& HardBody::currentBackup() const {
  static const RBDynamics zeroed;
  if (backupIsLast) return dynLast;
  return dynBackup != nullptr ? *dynBackup : zeroed;
}

HardBody::PivotCm* HardBody::setPivot() {
  if (pivot == nullptr) pivot.reset(new (std::nothrow) PivotCm);
  return pivot.get();
}

HardBody::~HardBody() {
  mesh.reset();
  parent = nullptr;
}

void HardBody::updateWorldTensors() {
  const MgcMatrix3& R = dyn.orientation;
  dyn.worldInertia = (R * localInertia).TimesTranspose(R);
  dyn.worldInvInertia = (R * localInvInertia).TimesTranspose(R);
}

void HardBody::updateInertia() {
  updateWorldTensors();
  dyn.angularVelocity = dyn.worldInvInertia * dyn.angularMomentum;
}

void HardBody::setAngularVelocity(const MgcVector3& w) {
  if (!zov::isFinite(w)) return;
  dyn.angularVelocity = w;
  dyn.angularMomentum = dyn.worldInertia * w;
}

bool HardBody::movedSinceLast() const {
  if ((dyn.position - dynLast.position).SquaredLength() > zov::kTolerance) return true;
  // The turn since the last state is last * current^T; identity when none.
  const MgcMatrix3 turn = dynLast.orientation.TimesTranspose(dyn.orientation);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      const double offIdentity = r == c ? turn[r][c] - 1.0 : turn[r][c];
      if (std::fabs(offIdentity) >= zov::kTolerance) return true;
    }
  }
  return false;
}

ZOVbox* HardBody::placeBoundingBox() {
  const MgcVector3 halfExtents = zov::scaledBy(shape.boxSize, shape.scale) * 0.5;
  bbox.center = computeWCenter();
  bbox.axes = dyn.orientation * shape.boxRotation;
  bbox.extents = halfExtents;
  bbox.maxExtent = std::max({halfExtents.x, halfExtents.y, halfExtents.z});
  ++boundsStamp;
  return &bbox;
}

void HardBody::saveState(int what) {
  if ((what & kSaveAll) != 0) {
    dynInit = dyn;
    initialRestitution = restitution;
    initialFriction = friction;
  } else if ((what & kSaveMass) != 0) {
    dynInit.invMass = dyn.invMass;
    dynInit.worldInertia = dyn.worldInertia;
    dynInit.worldInvInertia = dyn.worldInvInertia;
    dynInit.angularMomentum = dyn.angularMomentum;
  } else if ((what & kSaveLinearVelocity) != 0) {
    dynInit.linearVelocity = dyn.linearVelocity;
  } else if ((what & kSaveAngularVelocity) != 0) {
    dynInit.angularVelocity = dyn.angularVelocity;
    dynInit.angularMomentum = dyn.angularMomentum;
  }
}

void HardBody::setAirDampingCoeff(double c) { airDamping = clampDamping(c); }

void HardBody::setAirDampingCoeff2(double c) { angularAirDamping = clampDamping(c); }

void HardBody::resetDynamics() {}

void HardBody::clearExternalForces() {
  dyn.externalForce = MgcVector3();
  dyn.externalTorque = MgcVector3();
}

void HardBody::applyExternalForce(const MgcVector3& F, const MgcVector3& P) {
  if (!zov::isFinite(F) || !zov::isFinite(P)) return;
  dyn.externalForce += F;
  dyn.externalTorque += (P - dyn.position).Cross(F);
}

void HardBody::applyExternalForce(const MgcVector3& F) {
  if (!zov::isFinite(F)) return;
  dyn.externalForce += F;
}

void HardBody::applyExternalTorque(MgcVector3 T) {
  if (!zov::isFinite(T)) return;
  dyn.externalTorque += T;
}

bool HardBody::isExternalForces() const {
  return dyn.externalTorque.SquaredLength() + dyn.externalForce.SquaredLength() > 0.0;
}

void HardBody::applyImpulse(const MgcVector3& J, const MgcVector3& P) {
  if (!zov::isFinite(J) || !zov::isFinite(P)) return;
  dyn.linearVelocity += J * dyn.invMass;
  dyn.angularMomentum += (P - dyn.position).Cross(J);
  dyn.angularVelocity = dyn.worldInvInertia * dyn.angularMomentum;
  if (!isActive()) activate();
}

void HardBody::applyImpulse(const MgcVector3& J) {
  if (!zov::isFinite(J)) return;
  dyn.linearVelocity += J * dyn.invMass;
  if (!isActive()) activate();
}

void HardBody::applyTorque(const MgcVector3& T) {
  if (!zov::isFinite(T)) return;
  dyn.angularMomentum += T;
  dyn.angularVelocity = dyn.worldInvInertia * dyn.angularMomentum;
  if (!isActive()) activate();
}

void HardBody::setAngularMomentum(const MgcVector3& L) {
  if (!zov::isFinite(L)) return;
  dyn.angularMomentum = L;
  dyn.angularVelocity = dyn.worldInvInertia * L;
}

MgcVector3 HardBody::getPointVelocity(const MgcVector3& P) const {
  return dyn.linearVelocity + dyn.angularVelocity.Cross(P - dyn.position);
}

MgcVector3 HardBody::computeWCenter() {
  // Scale in the body frame first, then turn and shift.
  const MgcVector3& c = shape.localCenter;
  const MgcVector3& s = shape.scale;
  shape.worldCenter = dyn.orientation * MgcVector3(s.x * c.x, s.y * c.y, s.z * c.z) + dyn.position;
  return shape.worldCenter;
}

ZOVcapsule* HardBody::capsuleAroundBox() {
  const MgcVector3& E = shape.boxSize;
  const MgcVector3& h = bbox.extents;
  int axis = 0;
  if (E.z >= E.x && E.z >= E.y) {
    axis = 2;
  } else if (E.y >= E.x && E.y >= E.z) {
    axis = 1;
  }
  if (bcapsule == nullptr) bcapsule.reset(new (std::nothrow) ZOVcapsule());
  if (bcapsule == nullptr) return nullptr;
  bcapsule->center = bbox.center;
  bcapsule->axis = bbox.axes.GetColumn(axis);
  bcapsule->length = 2.0 * h[axis];
  bcapsule->radius = 2.0 * std::max(h[(axis + 1) % 3], h[(axis + 2) % 3]);
  return bcapsule.get();
}

void HardBody::getBSphere(MgcVector3& center, double& radius) {
  center = computeWCenter();
  radius = shape.radius;
}

void HardBody::enableProcessedThread(int t) {
  if (isThreadSlot(t)) processedThreads.fetch_or(std::uint64_t{1} << t, std::memory_order_relaxed);
}

void HardBody::disableProcessedThread(int t) {
  if (isThreadSlot(t)) processedThreads.fetch_and(~(std::uint64_t{1} << t), std::memory_order_relaxed);
}

bool HardBody::isProcessedThread(int t) const {
  return isThreadSlot(t) && (processedThreads.load(std::memory_order_relaxed) >> t & 1u) != 0;
}

int HardBody::getProcessedThreadID() const {
  const std::uint64_t marks = processedThreads.load(std::memory_order_relaxed);
  for (int t = 0; t < kThreadSlotCount; ++t)
    if ((marks >> t & 1u) != 0) return t;
  return -1;
}

void HardBody::setExtractionCoeff(double c) {
  if (std::isfinite(c)) extractionCoeff = c;
}

void HardBody::setMesh(ZOVmesh* newMesh) {
  countShapeChange();
  if (newMesh != mesh.get()) mesh.reset(newMesh);
}

// ---- Pass poses ---------------------------------------------------------------

std::atomic<std::uint64_t> HardBody::identities{0};

const zov::platform::ModuleStateReset HardBody::countersReset([] {
  wakeUpCount.store(0, std::memory_order_relaxed);
  identities.store(0, std::memory_order_relaxed);
});

bool HardBody::keepsPassPose() const {
  return kind == kHullBody && parent == nullptr && mesh != nullptr && mesh->hasVertexData == 0;
}

bool HardBody::isPassPose(const PassPose& pose) const {
  // Bit for bit: a pose that differs in the last bit places the mesh
  // differently.
  return std::memcmp(&pose.position, &dyn.position, sizeof pose.position) == 0 &&
         std::memcmp(&pose.orientation, &dyn.orientation, sizeof pose.orientation) == 0 &&
         std::memcmp(&pose.scale, &shape.scale, sizeof pose.scale) == 0 && pose.mesh == mesh.get() &&
         pose.shapeStamp == shapeStamp;
}

void HardBody::notePassPose() {
  if (!keepsPassPose()) {
    passPose.reset();
    return;
  }
  if (passPose == nullptr) {
    passPose = std::make_unique<PassPose>();
  } else if (isPassPose(*passPose)) {
    return;
  }
  passPose->position = dyn.position;
  passPose->orientation = dyn.orientation;
  passPose->scale = shape.scale;
  passPose->mesh = mesh.get();
  passPose->shapeStamp = shapeStamp;
  ++passPose->version;
}

bool HardBody::atPassPose() const {
  return passPose != nullptr && isWorldModified() && isPassPose(*passPose) && keepsPassPose();
}
