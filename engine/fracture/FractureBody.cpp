#include "engine/fracture/FractureBody.h"

#include <cmath>

#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/ListWalk.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureHolder.h"
#include "math/Finite.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

// The compound's lists, switches, parameters and joint bookkeeping. Its
// dynamics are in FractureBodyDynamics.cpp, its assembly in
// FractureBodyAssembly.cpp.

FractureBody::FractureBody() : HardBody(kFractureBody) {}

FractureBody::~FractureBody() {
  if (holdingWorld != nullptr) holdingWorld->unlinkBody(this);
  if (!isFragment()) {
    deleteAllJoints();
  } else {
    deleteFragments();
  }
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    if (node->value->getParent() == this) node->value->setParent(nullptr);
  }
}

// ---- Coefficients and switches ------------------------------------------------

void FractureBody::setRestitutionCoeff(double c) {
  if (!std::isfinite(c)) return;
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) node->value->setRestitutionCoeff(c);
  restitution = c;
  initialRestitution = c;
}

void FractureBody::setFrictionCoeff(double c) {
  if (!std::isfinite(c)) return;
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) node->value->setFrictionCoeff(c);
  friction = c;
  initialFriction = c;
}

void FractureBody::setAirDampingCoeff(double c) {
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) node->value->setAirDampingCoeff(c);
  HardBody::setAirDampingCoeff(c);
}

void FractureBody::setAirDampingCoeff2(double c) {
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) node->value->setAirDampingCoeff2(c);
  HardBody::setAirDampingCoeff2(c);
}

void FractureBody::activate() {
  updateBounds();
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) node->value->activate();
  flags |= kBodyActive | kBodyWorldUpdate;
  countWakeUp();
  sleepCount = 0;
  integrator.forgetStepStart();
}

void FractureBody::deActivate() {
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) node->value->deActivate();
  flags &= ~kBodyActive;
  integrator.forgetStepStart();
}

bool FractureBody::isFirstHit(bool /*askParent*/) { return (flags & kBodyFirstHit) != 0; }

void FractureBody::enableBreakByFrame() { flags |= kBodyBreakByFrame; }

void FractureBody::disableBreakByFrame() { flags &= ~kBodyBreakByFrame; }

bool FractureBody::isBreakByFrame() { return (flags & kBodyBreakByFrame) != 0; }

void FractureBody::resetProcessedThreads() {
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) node->value->resetProcessedThreads();
  flags &= ~kBodyProcessed;
}

void FractureBody::modify(ZOVmesh* /*mesh*/) {}

void FractureBody::updateWorldData() {
  updateBounds();
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) node->value->updateWorldData();
  flags |= kBodyWorldUpdate;
}

ZOVmesh* FractureBody::getWorldMesh() { return mesh.get(); }

void FractureBody::ApplyBreakEnergy(DynamicStress* joint) {
  if (joint == nullptr) return;
  const double energy = joint->getBreakEnergy();
  if (!(energy > zov::kTolerance) || !std::isfinite(energy)) return;
  MgcVector3 push = joint->direction() * energy;
  if (hasPiece(joint->getCNode())) push = -push;
  dyn.linearVelocity += (push * getMass()) * dyn.invMass;
  if (!isActive()) activate();
}

// ---- Walks --------------------------------------------------------------------------

PrivateHardBody* FractureBody::getFirstBody() { return walkFirst(pieces, bodyCursor, iteratingBodies); }

PrivateHardBody* FractureBody::getNextBody() { return walkNext<PrivateHardBody*>(bodyCursor, iteratingBodies); }

PrivateHardBody* FractureBody::getFirstDisconectBody() {
  return walkFirst(disconnectedBodies, bodyCursor, iteratingBodies);
}

PrivateHardBody* FractureBody::getNextDisconectBody() { return getNextBody(); }

DynamicStress* FractureBody::getFirstActiveJoint() {
  return walkFirst(activeJoints, jointCursor, iteratingActiveJoints);
}

DynamicStress* FractureBody::getNextActiveJoint() {
  return walkNext<DynamicStress*>(jointCursor, iteratingActiveJoints);
}

DynamicStress* FractureBody::getFirstOffJoint() { return walkFirst(offJoints, jointCursor, iteratingOffJoints); }

DynamicStress* FractureBody::getNextOffJoint() { return walkNext<DynamicStress*>(jointCursor, iteratingOffJoints); }

HardBody* FractureBody::getFirstFBody() { return walkFirst(childBodies, childCursor, iteratingChildren); }

HardBody* FractureBody::getNextFBody() { return walkNext<HardBody*>(childCursor, iteratingChildren); }

void FractureBody::ClearBrokenJointsList() {
  offJoints.clear();
  brokenJointCount = 0;
}

void FractureBody::removeDisconectBodies() { disconnectedBodies.clear(); }

void FractureBody::adquireVelocity(HardBody* other) {
  if (other == nullptr) return;
  setLinearVelocity(other->getDyn().linearVelocity);
  setAngularVelocity(other->getDyn().angularVelocity);
}

// ---- Fragments ------------------------------------------------------------------------

bool FractureBody::addFragment(FractureBody* fragment) {
  if (fragment == nullptr || fragment == this || fragment->isFragment()) return false;
  const std::uint32_t before = childBodies.getCount();
  childBodies.append(fragment);
  if (childBodies.getCount() == before) return false;
  fragment->fragmentOwner = this;
  return true;
}

void FractureBody::deleteFragments() {
  for (auto* node = childBodies.getFirst(); node != nullptr; node = node->next) {
    // The destructor takes the fragment off its world's lists first.
    delete static_cast<FractureBody*>(node->value);
  }
  childBodies.clear();
  childBodies.releaseCache();
  childCursor = nullptr;
}

// ---- Switches over the family ---------------------------------------------------------

bool FractureBody::checkSecImpactsCond() const {
  if (clusterTree) return false;
  if (!(secImpactReferenceMass != 0.0)) return false;
  const double percent = std::trunc(getMass() / secImpactReferenceMass * 100.0);
  return std::isfinite(percent) && percent >= static_cast<double>(secImpactPercentage);
}

void FractureBody::setSubtreeFlag() {
  flags |= kBodyUnbreakable;
  forEachFragment([](FractureBody* child) { child->setSubtreeFlag(); });
}

void FractureBody::clearSubtreeFlag() {
  flags &= ~kBodyUnbreakable;
  forEachFragment([](FractureBody* child) { child->clearSubtreeFlag(); });
}

void FractureBody::setBreakModeRecursive(int type) {
  propagationType = type == 0 || type == 1 ? type : 2;
  forEachFragment([&](FractureBody* child) { child->setBreakModeRecursive(type); });
}

void FractureBody::disableStaticParts() {
  flags &= ~kBodyStatic;
  forEachFragment([](FractureBody* child) { child->disableStaticParts(); });
}

bool FractureBody::hasStaticBodies() const {
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next)
    if (node->value->isStatic()) return true;
  return false;
}

void FractureBody::setSecImpactsParams(int percentage, double referenceMass) {
  secImpactPercentage = percentage;
  secImpactReferenceMass = referenceMass;
}

std::uint32_t FractureBody::getClusterTreeDepth() const { return clusterTree ? clusterTree->getDepth() : 0; }

void FractureBody::labelClusters(std::uint32_t threshold) {
  if (clusterTree && clusterTree->getRoot() != nullptr) clusterTree->labelLeaves(threshold);
}

void FractureBody::labelClusters(const std::uint32_t* threshold) {
  if (threshold != nullptr) labelClusters(*threshold);
}

// ---- Joint bookkeeping ------------------------------------------------------------------

void FractureBody::setUpActiveJoints() { registerJointBodies(activeJoints); }

void FractureBody::removeDeactivatedJointsFromActiveList() {
  for (auto* node = activeJoints.getFirst(); node != nullptr;) {
    auto* next = node->next;
    DynamicStress* joint = node->value;
    if (!joint->isActive()) {
      activeJoints.remove(joint);
      inactiveJoints.append(joint);
    }
    node = next;
  }
  jointCursor = nullptr;
  pendingDeactivations = inactiveJoints.getCount();
}

void FractureBody::activateJoint(DynamicStress* joint) {
  if (joint == nullptr || !inactiveJoints.contains(joint)) return;
  inactiveJoints.remove(joint);
  activeJoints.append(joint);
  if (pendingDeactivations > 0) --pendingDeactivations;
  joint->activate();
}

bool FractureBody::deActivateJoint(DynamicStress* joint) {
  if (joint == nullptr) return false;
  if (activeJoints.contains(joint)) {
    activeJoints.remove(joint);
    inactiveJoints.append(joint);
    ++pendingDeactivations;
    joint->deActivate();
    return true;
  }
  for (auto* node = childBodies.getFirst(); node != nullptr; node = node->next) {
    if (static_cast<FractureBody*>(node->value)->deActivateJoint(joint)) return true;
  }
  return false;
}

void FractureBody::beginMainPass() {
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    PrivateHardBody* piece = node->value;
    piece->disableProcessed();
    piece->disableProcessedThread(0);
    if (RBDynamics* slot = piece->getWorkerDyn(0)) *slot = piece->getDyn();
  }
  for (auto* node = activeJoints.getFirst(); node != nullptr; node = node->next) {
    node->value->disableProcessed();
    node->value->disableProcessedThread(0);
  }
}

void FractureBody::beginThreadPass(int t) {
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    PrivateHardBody* piece = node->value;
    piece->disableProcessedThread(t);
    if (RBDynamics* slot = piece->getWorkerDyn(t)) *slot = piece->getDyn();
  }
  ++crackCount;
  for (auto* node = activeJoints.getFirst(); node != nullptr; node = node->next) node->value->disableProcessedThread(t);
}

// ---- Host-side synchronisation ----------------------------------------------------------

void FractureBody::syncPositionFromPieces(bool onlyStatic) {
  if (isSplitted()) {
    forEachFragment([&](FractureBody* child) { child->syncPositionFromPieces(onlyStatic); });
    return;
  }
  if (!(onlyStatic && !isStatic()) && pieces.getCount() != 0) {
    MgcVector3 sum;
    for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
      const PrivateHardBody* piece = node->value;
      const MgcMatrix3 frame = dyn.orientation.TimesTranspose(piece->getMatrixPivotCm());
      sum += piece->getDyn().position + frame * piece->getTransPivotCm();
    }
    dyn.position = sum / static_cast<double>(pieces.getCount());
    dyn.integratedPosition = dyn.position;
  }
  flags &= ~kBodyWorldUpdate;
}

void FractureBody::syncOrientationFromPieces(bool onlyStatic) {
  if (isSplitted()) {
    forEachFragment([&](FractureBody* child) { child->syncOrientationFromPieces(onlyStatic); });
    return;
  }
  if (!(onlyStatic && !isStatic()) && pieces.getCount() != 0) {
    const PrivateHardBody* first = pieces.getFirst()->value;
    dyn.orientation = first->getDyn().orientation * first->getMatrixPivotCm();
    dyn.orientationQuat = Mgc::Quaternion(dyn.orientation);
    updateWorldTensors();
  }
  flags &= ~kBodyWorldUpdate;
}

void FractureBody::moveWithPieces(const MgcVector3& v, const MgcVector3& c) {
  if (!zov::isFinite(v) || !zov::isFinite(c)) return;
  if (isStatic() || isSplitted()) {
    dyn.linearVelocity = v;
    for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
      PrivateHardBody* piece = node->value;
      piece->setLinearVelocity(v + dyn.angularVelocity.Cross(piece->getDyn().position - c));
    }
  }
  for (auto* node = childBodies.getFirst(); node != nullptr; node = node->next) {
    auto* child = static_cast<FractureBody*>(node->value);
    if (child->isStatic() || child->isSplitted()) child->moveWithPieces(v, child->getDyn().position);
  }
}

void FractureBody::addExternalForce(const MgcVector3& f) {
  if (zov::isFinite(f)) dyn.externalForce += f;
}
