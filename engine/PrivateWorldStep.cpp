#include <new>

#include "engine/EngineTrace.h"
#include "engine/PrivateWorld.h"
#include "engine/bodies/HardBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/WorkerPool.h"

using Mgc::MgcVector3;

namespace {

/// The contact pass's mode of the step's hit processing and of the advance's
/// pair processing.
constexpr int kHitProcessingMode = 1;
constexpr int kPairProcessingMode = 2;

/// Bodies a thread takes at a time in the step's per-body loops: each body
/// costs well under a microsecond, so a block must be worth waking a helper.
constexpr std::uint32_t kBodyLoopGrain = 32;

/// The collision state the pre-step leaves alone.
void clearCollisionState(HardBody* body) {
  if (body->getCollisionState() != kMotionStateKept) body->setCollisionState(kMotionStateNone);
}

}  // namespace

bool PrivateWorld::step(double dt) {
  // The passes below are the collision manager's; a world that could not
  // make one has nothing to step with.
  if (!collisionManager) return false;
  CollisionManager& manager = *collisionManager;
  manager.setGravityDirection(isGravityActive() ? unitGravity() : MgcVector3());

  if (isDetectModeActive()) {
    for (const EngineList<HardBody*>* list : {&dynamicBodies, &staticBodies}) {
      for (auto* node = list->getFirst(); node != nullptr; node = node->next) node->value->disableWorldUpdate();
    }
    stepTime = dt;
    preStep();
    return manager.detectContacts(&dynamicBodies, &staticBodies, &sleepingBodies, &barrierBodies) == 1;
  }

  stepTime = dt;
  preStep();
  disableBodyChangeState();
  try {
    const int crackers = manager.testCrackerPairs(&crackerBodies, &dynamicBodies, &staticBodies, &sleepingBodies);
    const int contacts = manager.contactPass(&dynamicBodies, &staticBodies, &sleepingBodies, &barrierBodies);
    const int result = contacts != 0 ? contacts : crackers;
    if (result != 1) return true;
    if (isRepportCollisionsActive()) manager.refreshPairList();
    std::uint32_t outFlags = 0;
    const MgcVector3 direction = unitGravity();
    manager.processHits(kHitProcessingMode, direction, &dynamicBodies, &staticBodies, outFlags);
    if ((outFlags & kWorldBodyChangeState) != 0) enableBodyChangeState();
    postStep();
    return true;
  } catch (const std::bad_alloc&) {
    // The lists may hold half a step's records: start them afresh.
    rebuild();
    return false;
  }
}

bool PrivateWorld::advance(double dt, std::int64_t* out) {
  if (out != nullptr) *out = 0;
  if (!collisionManager) return false;
  const double h = kWorldIntegrationStep;
  double ratio = dt / h;
  std::int32_t steps = static_cast<std::int32_t>(ratio);
  stepTime = h;
  if (steps == 0) {
    steps = 1;
    ratio = 1.0;
    stepTime = dt;
  }
  refileChangedBodies();
  storeBodyStates();
  const MgcVector3 direction = unitGravity();
  for (std::int32_t i = 0; i <= steps; ++i) {
    if (i == steps) {
      if (ratio == static_cast<double>(steps)) break;
      stepTime = (ratio - steps) * h;
    }
    applyForces(stepTime);
    std::uint32_t outFlags = 0;
    collisionManager->processPairs(&dynamicBodies, kPairProcessingMode, direction, outFlags);
    updateActivation(stepTime);
  }
  if (isBodyDeactivationEnabled()) collisionManager->settleRestingBodies();
  return true;
}

bool PrivateWorld::advanceWithGravity(double dt, std::int64_t* out) {
  advance(dt, out);
  return true;
}

void PrivateWorld::preStep() {
  for (auto* node = staticBodies.getFirst(); node != nullptr; node = node->next) {
    HardBody* body = node->value;
    if (body->isFirstHit(false) && !body->isStatic()) {
      // A body waiting for its first hit is parked static again.
      body->setContactStage(0);
      body->disableInContact();
      body->disableWorldUpdate();
      body->enableStatic();
    } else {
      body->disableInContact();
    }
    clearCollisionState(body);
  }
  for (const EngineList<HardBody*>* list : {&dynamicBodies, &inactiveBodies, &crackerBodies, &barrierBodies}) {
    const bool keepWorldUpdate = list == &inactiveBodies;
    for (auto* node = list->getFirst(); node != nullptr; node = node->next) {
      HardBody* body = node->value;
      body->disableInContact();
      body->setContactStage(0);
      clearCollisionState(body);
      if (!keepWorldUpdate) body->disableWorldUpdate();
    }
  }
  if (collisionManager) collisionManager->releasePairRecords();
}

template <typename Fn>
void PrivateWorld::forEachBody(const std::vector<HardBody*>& bodies, Fn&& fn) {
  const std::uint32_t helpers = collisionManager ? collisionManager->passHelpers() : 0;
  WorkerPool* pool = helpers != 0 ? collisionManager->workerPool() : nullptr;
  forEachIndex(pool, helpers, static_cast<std::uint32_t>(bodies.size()), kBodyLoopGrain,
               [&](std::uint32_t i, std::uint32_t) { fn(bodies[i]); });
}

void PrivateWorld::applyForces(double h) {
  const bool gravityOn = isGravityActive();
  const bool damping = isAirDampingActive();
  // Each body's forces and velocities are its own: the bodies go in any
  // order.
  loopBodies.clear();
  for (auto* node = dynamicBodies.getFirst(); node != nullptr; node = node->next) {
    if (node->value->isActive()) loopBodies.push_back(node->value);
  }
  const MgcVector3 g = gravity;
  forEachBody(loopBodies, [&](HardBody* body) {
    body->clearDynForces();
    body->clearDynTorques();
    if (gravityOn) {
      const double m = 1.0 / body->getInvMass();
      body->addDynForces(MgcVector3(m * g.x, m * g.y, m * g.z));
    }
    body->integrateForces(h, damping);
  });
}

void PrivateWorld::storeBodyStates() {
  loopBodies.clear();
  for (const EngineList<HardBody*>* list : {&dynamicBodies, &staticBodies}) {
    for (auto* node = list->getFirst(); node != nullptr; node = node->next) loopBodies.push_back(node->value);
  }
  forEachBody(loopBodies, [](HardBody* body) { body->storeLastDynamics(); });
}

void PrivateWorld::refileChangedBodies() {
  // Gathered first: registerBody changes the lists being walked.
  EngineList<HardBody*> changed;
  for (auto* node = staticBodies.getFirst(); node != nullptr; node = node->next) {
    if (!node->value->isStatic()) changed.append(node->value);
  }
  for (auto* node = changed.getFirst(); node != nullptr; node = node->next) registerBody(node->value, true);
  changed.clear();
  for (auto* node = dynamicBodies.getFirst(); node != nullptr; node = node->next) {
    if (node->value->isStatic()) changed.append(node->value);
  }
  for (auto* node = changed.getFirst(); node != nullptr; node = node->next) registerBody(node->value, false);
}

void PrivateWorld::updateActivation(double h) {
  const std::uint64_t wakeUps = HardBody::wakeUps();
  if (!sleepersChecked || wakeUps != sleepersAsleepAt) {
    for (auto* node = sleepingBodies.getFirst(); node != nullptr;) {
      auto* next = node->next;
      HardBody* body = node->value;
      if (body->isActive()) {
        engineTrace(g_engineTraceStream, " %s reactivated\n", body->getShape().name);
        unlinkFrom(kOnSleeping, body);
        unlinkFrom(kOnInactive, body);
        // Still counted as dynamic: a sleeper never left the count.
        linkFirst(kOnDynamic, body);
      }
      node = next;
    }
  }
  numActiveBodies = 0;
  // The lists change in their order here; the motion of the awake bodies,
  // each its own, is integrated afterwards in any order.
  loopBodies.clear();
  for (auto* node = dynamicBodies.getFirst(); node != nullptr;) {
    auto* next = node->next;
    HardBody* body = node->value;
    if (!body->isActive()) {
      engineTrace(g_engineTraceStream, " %s deactivated\n", body->getShape().name);
      unlinkFrom(kOnDynamic, body);
      linkFirst(kOnSleeping, body);
      linkFirst(kOnInactive, body);
    } else {
      loopBodies.push_back(body);
      ++numActiveBodies;
    }
    node = next;
  }
  forEachBody(loopBodies, [h](HardBody* body) { body->integrateMotion(h); });
  numActiveBodies += numStaticBodies;
  sleepersAsleepAt = wakeUps;
  sleepersChecked = true;
}
