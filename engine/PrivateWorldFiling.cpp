// Filing bodies in the world: adding, removing, activating and deactivating
// them on its lists, registering and restoring them, and emptying and
// rebuilding the world.

#include <vector>

#include "engine/PrivateWorld.h"
#include "engine/bodies/HardBody.h"
#include "engine/bodies/HullBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/fracture/FractureBody.h"
#include "platform/Assert.h"

using Mgc::MgcVector3;

namespace {

/// Crackers and barriers keep lists of their own, beside the world's
/// dynamic, inactive and static lists.
bool isOwnListKind(const HardBody* body) { return body->getType() == kCrackerBody || body->getType() == kBarrierBody; }

}  // namespace

// ---- Filing -------------------------------------------------------------------

bool PrivateWorld::addBody(HardBody* body, std::int32_t layer) {
  if (body == nullptr) return false;
  sizeWorkerStates(body);
  if (body->getType() == kHullBody && collisionManager) {
    const ZOVmesh* worldMesh = body->getWorldMesh();
    const std::uint32_t vertexCount = worldMesh != nullptr ? worldMesh->numVertices : 0;
    collisionManager->setNarrowPhaseMode(&vertexCount);
  }
  if (isOwnListKind(body)) {
    const ListBit own = body->getType() == kCrackerBody ? kOnCrackers : kOnBarriers;
    if (isOn(body, own)) return true;
    linkFirst(own, body);
    body->activate();
    return true;
  }
  if (layer != 0) return true;
  body->setLayer(0);

  if (!body->isActive()) {
    removeBody(body);
    linkFirst(kOnInactive, body);
  } else if (body->isStatic()) {
    body->setAngularVelocity(MgcVector3());
    body->setLinearVelocity(MgcVector3());
    body->setContactStage(0);
    unlinkExcept(body, kOnStatic);
    if (!isOn(body, kOnStatic)) {
      assignBodyIndex(body);
      if (linkSorted(kOnStatic, body)) ++numStaticBodies;
    }
  } else {
    unlinkExcept(body, kOnDynamic);
    if (!isOn(body, kOnDynamic)) {
      assignBodyIndex(body);
      if (linkSorted(kOnDynamic, body)) ++numDynamicBodies;
    }
  }
  if (body->getType() == kFractureBody) addFractureParts(static_cast<FractureBody*>(body));
  return true;
}

bool PrivateWorld::removeBody(HardBody* body) {
  if (body == nullptr) return false;
  if (isOwnListKind(body)) {
    const ListBit own = body->getType() == kCrackerBody ? kOnCrackers : kOnBarriers;
    if (isOn(body, own)) {
      releaseRecords(body);
      unlinkFrom(own, body);
    }
    return true;
  }
  if (body->getLayer() != 0) return true;
  unlinkExcept(body, ListBit{});
  if (body->getType() == kFractureBody) removeFractureParts(static_cast<FractureBody*>(body));
  return true;
}

bool PrivateWorld::activateBody(HardBody* body) {
  if (body == nullptr) return false;
  if (!isOwnListKind(body)) {
    if (isOn(body, kOnInactive)) {
      // A sleeper leaves both lists: left on the sleeping list, the next
      // sleep and wake pass would file it a second time.
      unlinkInactive(body);
    } else if (!body->isStatic() && isOn(body, kOnStatic)) {
      unlinkFrom(kOnStatic, body);
      --numStaticBodies;
    }
  }
  body->activate();
  addBody(body, 0);
  return true;
}

bool PrivateWorld::deactivateBody(HardBody* body) {
  if (body == nullptr) return false;
  if (!isOwnListKind(body)) {
    if (!body->isStatic() && isOn(body, kOnDynamic)) {
      unlinkFrom(kOnDynamic, body);
      --numDynamicBodies;
    } else if (isOn(body, kOnStatic)) {
      unlinkFrom(kOnStatic, body);
      --numStaticBodies;
    }
    linkFirst(kOnInactive, body);
  }
  body->deActivate();
  return true;
}

void PrivateWorld::registerBody(HardBody* body, bool dynamic) {
  if (body == nullptr) return;
  if (dynamic) {
    body->disableStatic();
  } else {
    body->enableStatic();
  }
  // Crackers and barriers stay on their own lists.
  if (isOwnListKind(body)) return;

  if (dynamic) {
    if (isOn(body, kOnStatic)) {
      unlinkFrom(kOnStatic, body);
      --numStaticBodies;
    }
    if (isOn(body, kOnDynamic) || isOn(body, kOnInactive)) return;
    const bool linked = linkSorted(kOnDynamic, body);
    body->activate();
    if (linked) ++numDynamicBodies;
    return;
  }

  if (isOn(body, kOnDynamic)) {
    unlinkFrom(kOnDynamic, body);
    --numDynamicBodies;
  } else if (isOn(body, kOnInactive)) {
    // Only a sleeper was counted as dynamic.
    unlinkInactive(body);
  }
  if (isOn(body, kOnStatic)) return;
  body->setAngularVelocity(MgcVector3());
  body->setLinearVelocity(MgcVector3());
  body->setContactStage(0);
  const bool linked = linkSorted(kOnStatic, body);
  body->activate();
  if (linked) ++numStaticBodies;
}

void PrivateWorld::restoreBody(HardBody* body) {
  if (body == nullptr) return;
  if (body->getType() == kFractureBody) {
    removeBody(body);
    body->restoreDynamics();
    addBody(body, 0);
    return;
  }
  body->restoreDynamics();
}

// ---- Emptying -----------------------------------------------------------------

void PrivateWorld::clearBodies() {
  emptyList(kOnDynamic);
  emptyList(kOnSleeping);
  emptyList(kOnInactive);
  numDynamicBodies = 0;
}

void PrivateWorld::deleteBodies() {
  if (collisionManager) {
    // The records name bodies about to go.
    collisionManager->releasePairRecords();
    collisionManager->releaseBodyRecords();
    for (const EngineList<HardBody*>* list : {&dynamicBodies, &inactiveBodies}) {
      for (auto* node = list->getFirst(); node != nullptr; node = node->next) {
        collisionManager->releaseBodyPairs(node->value);
      }
    }
  }
  // Sleepers are also on the inactive list: they are deleted there, once.
  std::vector<HardBody*> doomed;
  for (const EngineList<HardBody*>* list : {&dynamicBodies, &inactiveBodies}) {
    for (auto* node = list->getFirst(); node != nullptr; node = node->next) doomed.push_back(node->value);
  }
  emptyAndDelete({kOnDynamic, kOnSleeping, kOnInactive}, doomed);
  numDynamicBodies = 0;
}

void PrivateWorld::emptyAndDelete(std::initializer_list<ListBit> lists, const std::vector<HardBody*>& doomed) {
  for (ListBit list : lists) {
    emptyList(list);
    listFor(list).releaseCache();
  }
  deleteOwnedBodies(doomed);
}

void PrivateWorld::clearAllBodies() {
  clearBodies();
  emptyList(kOnStatic);
  emptyList(kOnCrackers);
  emptyList(kOnBarriers);
  numStaticBodies = 0;
  timeScale = 1.0;
}

void PrivateWorld::deleteAllBodies() {
  deleteBodies();
  std::vector<HardBody*> doomed;
  for (const EngineList<HardBody*>* list : {&staticBodies, &crackerBodies, &barrierBodies}) {
    for (auto* node = list->getFirst(); node != nullptr; node = node->next) {
      if (node->value == nullptr) continue;
      if (collisionManager) collisionManager->releaseBodyPairs(node->value);
      doomed.push_back(node->value);
    }
  }
  emptyAndDelete({kOnStatic, kOnCrackers, kOnBarriers}, doomed);
  numStaticBodies = 0;
}

bool PrivateWorld::reset() {
  if (collisionManager) {
    const std::uint32_t mode = 8;
    collisionManager->setNarrowPhaseMode(&mode);
  }
  deleteAllBodies();
  timeScale = 1.0;
  rebuild();
  return true;
}

void PrivateWorld::rebuild() {
  if (collisionManager) collisionManager->clearAll();
  // Retired split fracture bodies are no longer the world's to simulate or
  // delete.
  std::vector<HardBody*> retired;
  for (auto* node = inactiveBodies.getFirst(); node != nullptr; node = node->next) {
    HardBody* body = node->value;
    if (body->getType() == kFractureBody && static_cast<FractureBody*>(body)->isSplitted()) retired.push_back(body);
  }
  for (HardBody* body : retired) unlinkInactive(body);

  std::vector<HardBody*> sleepers;
  for (auto* node = sleepingBodies.getFirst(); node != nullptr; node = node->next) sleepers.push_back(node->value);
  emptyList(kOnSleeping);
  for (HardBody* body : sleepers) {
    body->activate();
    unlinkFrom(kOnInactive, body);
    linkFirst(kOnDynamic, body);
  }

  std::vector<HardBody*> kept;
  std::vector<HardBody*> parked;
  for (auto* node = dynamicBodies.getFirst(); node != nullptr; node = node->next) {
    (node->value->isFirstHit(false) ? parked : kept).push_back(node->value);
  }
  emptyList(kOnDynamic);
  for (HardBody* body : parked) linkFirst(kOnStatic, body);
  for (HardBody* body : kept) {
    linkSorted(kOnDynamic, body);
    body->activate();
    body->setCollisionState(kMotionStateNone);
  }
  numDynamicBodies = static_cast<std::int32_t>(dynamicBodies.getCount());

  std::vector<HardBody*> statics;
  for (auto* node = staticBodies.getFirst(); node != nullptr; node = node->next) statics.push_back(node->value);
  emptyList(kOnStatic);
  for (HardBody* body : statics) {
    linkSorted(kOnStatic, body);
    body->activate();
    body->setCollisionState(kMotionStateNone);
  }
  numStaticBodies = static_cast<std::int32_t>(staticBodies.getCount());
  elapsedTime = 0.0;
  ZOV_ASSERT(listsKeepTheirRules());
}
