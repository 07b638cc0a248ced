#include <new>

#include "engine/EngineTrace.h"
#include "engine/PrivateWorld.h"
#include "engine/bodies/HardBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/threads/WorkerPool.h"
#include "platform/Assert.h"

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
    CollisionManager::PassBodies listed;
    listed.active = &orderFor(kOnDynamic);
    listed.statics = &orderFor(kOnStatic);
    listed.sleeping = &orderFor(kOnSleeping);
    listed.barriers = &orderFor(kOnBarriers);
    listed.distinct = true;
    // Bodies fast enough to pass into others within the step meet them
    // before they do.
    manager.setSweepStep(dt);
    const int contacts = manager.contactPass(listed);
    const int result = contacts != 0 ? contacts : crackers;
    if (result != 1) return true;
    // What overlap extraction left in the step's pairs is taken out by
    // positions before the pairs are solved.
    manager.correctPositions();
    if (isRepportCollisionsActive()) manager.refreshPairList();
    std::uint32_t outFlags = 0;
    const MgcVector3 direction = unitGravity();
    // The hits' velocities last until the advance's first integration step
    // solves the contacts again.
    manager.setSolveStep(dt < kWorldIntegrationStep ? dt : kWorldIntegrationStep);
    manager.processHits(kHitProcessingMode, direction, &dynamicBodies, &staticBodies, outFlags);
    if ((outFlags & kWorldBodyChangeState) != 0) enableBodyChangeState();
    postStep();
    ZOV_ASSERT(listsKeepTheirRules());
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
  // The length of integration step i, 0 past the last.
  const auto stepLength = [&](std::int32_t i) {
    if (i < steps) return stepTime;
    return i == steps && ratio != static_cast<double>(steps) ? (ratio - steps) * h : 0.0;
  };
  for (std::int32_t i = 0; i <= steps; ++i) {
    if (i == steps) {
      if (ratio == static_cast<double>(steps)) break;
      stepTime = (ratio - steps) * h;
    }
    // Later steps' forces are applied in the walk that ends the step before.
    if (i == 0) applyForces(stepTime);
    std::uint32_t outFlags = 0;
    collisionManager->setSolveStep(stepTime);
    collisionManager->processPairs(&dynamicBodies, kPairProcessingMode, direction, outFlags);
    updateActivation(stepTime, stepLength(i + 1));
  }
  // A swept body that passed into another within the substep, through a
  // gap its pair was found with, goes back to where they touch.
  collisionManager->clampSweptMotion();
  if (isBodyDeactivationEnabled()) collisionManager->settleRestingBodies();
  ZOV_ASSERT(listsKeepTheirRules());
  return true;
}

bool PrivateWorld::advanceWithGravity(double dt, std::int64_t* out) {
  advance(dt, out);
  return true;
}

void PrivateWorld::preStep() {
  // Each body's marks are its own and no body is on two of these lists: the
  // bodies go in any order.
  forEachBody(orderFor(kOnStatic), [](HardBody* body) {
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
  });
  for (ListBit list : {kOnDynamic, kOnInactive, kOnCrackers, kOnBarriers}) {
    const bool keepWorldUpdate = list == kOnInactive;
    forEachBody(orderFor(list), [keepWorldUpdate](HardBody* body) {
      body->disableInContact();
      body->setContactStage(0);
      clearCollisionState(body);
      if (!keepWorldUpdate) body->disableWorldUpdate();
    });
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

void PrivateWorld::selectBodies(const std::vector<HardBody*>& bodies, std::vector<HardBody*>& out,
                                const std::function<bool(HardBody*)>& test) {
  selected.resize(bodies.size());
  std::uint8_t* answers = selected.data();
  const std::uint32_t helpers = collisionManager ? collisionManager->passHelpers() : 0;
  WorkerPool* pool = helpers != 0 ? collisionManager->workerPool() : nullptr;
  forEachIndex(pool, helpers, static_cast<std::uint32_t>(bodies.size()), kBodyLoopGrain,
               [&](std::uint32_t i, std::uint32_t) { answers[i] = test(bodies[i]) ? 1 : 0; });
  out.clear();
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    if (answers[i] != 0) out.push_back(bodies[i]);
  }
}

void PrivateWorld::applyForces(double h) {
  // Each body's forces and velocities are its own: the bodies go in any
  // order.
  forEachBody(orderFor(kOnDynamic), [&](HardBody* body) { applyForcesTo(body, h); });
}

void PrivateWorld::applyForcesTo(HardBody* body, double h) {
  if (!body->isActive()) return;
  body->clearDynForces();
  body->clearDynTorques();
  if (isGravityActive()) {
    const double m = 1.0 / body->getInvMass();
    body->addDynForces(MgcVector3(m * gravity.x, m * gravity.y, m * gravity.z));
  }
  body->integrateForces(h, isAirDampingActive());
}

void PrivateWorld::storeBodyStates() {
  for (ListBit list : {kOnDynamic, kOnStatic}) {
    forEachBody(orderFor(list), [](HardBody* body) { body->storeLastDynamics(); });
  }
}

void PrivateWorld::refileChangedBodies() {
  // Gathered first: registerBody changes the lists being walked.
  selectBodies(orderFor(kOnStatic), changedBodies, [](HardBody* body) { return !body->isStatic(); });
  for (HardBody* body : changedBodies) registerBody(body, true);
  selectBodies(orderFor(kOnDynamic), changedBodies, [](HardBody* body) { return body->isStatic(); });
  for (HardBody* body : changedBodies) registerBody(body, false);
}

void PrivateWorld::updateActivation(double h, double next) {
  const std::uint64_t wakeUps = HardBody::wakeUps();
  if (!sleepersChecked || wakeUps != sleepersAsleepAt) {
    selectBodies(orderFor(kOnSleeping), changedBodies, [](HardBody* body) { return body->isActive(); });
    for (HardBody* body : changedBodies) {
      engineTrace(g_engineTraceStream, " %s reactivated\n", body->getShape().name);
      unlinkFrom(kOnSleeping, body);
      unlinkFrom(kOnInactive, body);
      // Still counted as dynamic: a sleeper never left the count.
      linkFirst(kOnDynamic, body);
    }
  }
  // The bodies that went to sleep leave the list, in its order; the motion
  // of the awake ones, each its own, is integrated in the same walk over the
  // bodies, in any order, and the next step's forces applied: a body's
  // integration changes neither whether it is awake nor any other body, and
  // the bodies the next step's forces meet are the awake ones that stay.
  selectBodies(orderFor(kOnDynamic), changedBodies, [this, h, next](HardBody* body) {
    if (!body->isActive()) return true;
    body->integrateMotion(h);
    if (next > 0.0) applyForcesTo(body, next);
    return false;
  });
  for (HardBody* body : changedBodies) {
    engineTrace(g_engineTraceStream, " %s deactivated\n", body->getShape().name);
    unlinkFrom(kOnDynamic, body);
    linkFirst(kOnSleeping, body);
    linkFirst(kOnInactive, body);
  }
  numActiveBodies = static_cast<std::int32_t>(orderFor(kOnDynamic).size()) + numStaticBodies;
  sleepersAsleepAt = wakeUps;
  sleepersChecked = true;
}
