#include "engine/PrivateWorld.h"

#include <algorithm>
#include <vector>

#include "engine/ThreadSlots.h"
#include "engine/bodies/HardBody.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/fracture/FractureBody.h"
#include "math/Tolerances.h"
#include "platform/Assert.h"
#include "platform/Clock.h"
#include "platform/ModuleState.h"
#include "platform/Processors.h"

using Mgc::MgcVector3;

namespace {

/// The id the next body without one gets: 0 at each load of the module,
/// never reset while it is loaded.
std::uint32_t g_nextBodyIndex = 0;
/// The timer's clock readings (shared by every world, as the timer is).
long g_timerStart = 0;
long g_timerEnd = 0;
const zov::platform::ModuleStateReset g_worldCountersReset([] {
  g_nextBodyIndex = 0;
  g_timerStart = 0;
  g_timerEnd = 0;
});

std::uint32_t bodyId(const HardBody* body) { return static_cast<std::uint32_t>(body->getShape().id); }

/// The least room a list's walk-order array makes when it grows.
constexpr std::size_t kOrderMinimumCapacity = 64;

}  // namespace

PrivateWorld::PrivateWorld() {
  gravity = MgcVector3(0.0, -10.0, 0.0);
  try {
    collisionManager = std::make_unique<CollisionManager>();
  } catch (const std::bad_alloc&) {
    collisionManager.reset();
  }
  PrivateHardBody::setDefaultWorkerStateCount(threadSlotsInUse());
}

PrivateWorld::~PrivateWorld() {
  collisionManager.reset();
  deleteAllBodies();
  PrivateHardBody::setDefaultWorkerStateCount(kThreadSlotCount);
}

void PrivateWorld::dropCollisionManager() { collisionManager.reset(); }

std::uint32_t PrivateWorld::getNextBodyIndex() { return g_nextBodyIndex; }

void PrivateWorld::assignBodyIndex(HardBody* body) {
  const std::uint32_t id = bodyId(body);
  if (id == zov::kNoIndex) {
    body->getShape().id = static_cast<std::int32_t>(g_nextBodyIndex++);
  } else if (id >= g_nextBodyIndex) {
    g_nextBodyIndex = id + 1;
  }
}

EngineList<HardBody*>& PrivateWorld::listFor(ListBit list) {
  switch (list) {
    case kOnDynamic:
      return dynamicBodies;
    case kOnStatic:
      return staticBodies;
    case kOnInactive:
      return inactiveBodies;
    case kOnSleeping:
      return sleepingBodies;
    case kOnCrackers:
      return crackerBodies;
    case kOnBarriers:
      break;
  }
  ZOV_ASSERT(list == kOnBarriers);
  return barrierBodies;
}

bool PrivateWorld::isOn(const HardBody* body, ListBit list) const {
  const auto found = listBits.find(body);
  return found != listBits.end() && (found->second & list) != 0;
}

void PrivateWorld::noteHeld(const HardBody* body, bool held) {
  if (body == nullptr || body->getType() != kFractureBody) return;
  auto* compound = static_cast<FractureBody*>(const_cast<HardBody*>(body));
  compound->setHoldingWorld(held ? this : nullptr);
}

bool PrivateWorld::markOn(HardBody* body, ListBit list) {
  try {
    listBits[body] |= list;
    noteHeld(body, true);
    return true;
  } catch (const std::bad_alloc&) {
    listFor(list).remove(body);
    eraseFromOrder(list, body);
    return false;
  }
}

std::vector<HardBody*>& PrivateWorld::orderFor(ListBit list) {
  // One list at a time: a single bit, the index of its array.
  ZOV_ASSERT(list != 0 && (list & (list - 1)) == 0);
  const auto index = static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(list)));
  ZOV_ASSERT(index < kListKinds);
  return listOrders[index];
}

void PrivateWorld::eraseFromOrder(ListBit list, const HardBody* body) {
  std::vector<HardBody*>& order = orderFor(list);
  const auto at = std::find(order.begin(), order.end(), body);
  ZOV_ASSERT(at != order.end());
  order.erase(at);
}

bool PrivateWorld::roomInOrder(ListBit list) {
  std::vector<HardBody*>& order = orderFor(list);
  if (order.size() < order.capacity()) return true;
  try {
    order.reserve(std::max<std::size_t>(kOrderMinimumCapacity, 2 * order.size()));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool PrivateWorld::listOrdersMatchLists() const {
  const EngineList<HardBody*>* lists[kListKinds] = {&dynamicBodies,  &staticBodies,  &inactiveBodies,
                                                    &sleepingBodies, &crackerBodies, &barrierBodies};
  for (int k = 0; k < kListKinds; ++k) {
    if (valuesOf(*lists[k]) != listOrders[k]) return false;
  }
  return true;
}

bool PrivateWorld::listsKeepTheirRules() const {
  if (!listOrdersMatchLists()) return false;
  const EngineList<HardBody*>* lists[kListKinds] = {&dynamicBodies,  &staticBodies,  &inactiveBodies,
                                                    &sleepingBodies, &crackerBodies, &barrierBodies};
  // Bodies whose bits name each list; a list with more nodes holds a body
  // twice or one whose bit is missing.
  std::uint32_t named[kListKinds] = {};
  for (const auto& [body, bits] : listBits) {
    for (int k = 0; k < kListKinds; ++k) named[k] += (bits >> k) & 1u;
    const int mainLists = ((bits & kOnDynamic) != 0) + ((bits & kOnStatic) != 0) + ((bits & kOnInactive) != 0);
    if (mainLists > 1 || ((bits & kOnSleeping) != 0 && (bits & kOnInactive) == 0)) return false;
  }
  for (int k = 0; k < kListKinds; ++k) {
    if (lists[k]->getCount() != named[k]) return false;
    for (auto* node = lists[k]->getFirst(); node != nullptr; node = node->next) {
      if (!isOn(node->value, static_cast<ListBit>(1u << k))) return false;
    }
  }
  return numStaticBodies == static_cast<std::int32_t>(staticBodies.getCount()) &&
         numDynamicBodies == static_cast<std::int32_t>(dynamicBodies.getCount() + sleepingBodies.getCount());
}

bool PrivateWorld::linkFirst(ListBit list, HardBody* body) {
  if (isOn(body, list)) return true;
  EngineList<HardBody*>& target = listFor(list);
  // The array takes the body without allocating once the list has it.
  if (!roomInOrder(list)) return false;
  const std::uint32_t before = target.getCount();
  target.append(body);
  if (target.getCount() == before) return false;
  std::vector<HardBody*>& order = orderFor(list);
  order.insert(order.begin(), body);
  return markOn(body, list);
}

bool PrivateWorld::linkSorted(ListBit list, HardBody* body) {
  if (isOn(body, list)) return true;
  EngineList<HardBody*>& target = listFor(list);
  // The last body whose id is not greater, found from the end: bodies mostly
  // come in ascending id, so the walk is short.
  EngineList<HardBody*>::Node* position = target.getLast();
  while (position != nullptr && position != target.getHead() && bodyId(position->value) > bodyId(body)) {
    position = position->prev;
  }
  if (!roomInOrder(list)) return false;
  const std::uint32_t before = target.getCount();
  target.insertAfter(body, position != nullptr ? position : target.getHead());
  if (target.getCount() == before) return false;
  // The same place in the array: after the last body whose id is not
  // greater.
  std::vector<HardBody*>& order = orderFor(list);
  auto at = order.end();
  while (at != order.begin() && bodyId(*(at - 1)) > bodyId(body)) --at;
  order.insert(at, body);
  return markOn(body, list);
}

void PrivateWorld::unlinkFrom(ListBit list, HardBody* body) {
  const auto found = listBits.find(body);
  if (found == listBits.end() || (found->second & list) == 0) return;
  EngineList<HardBody*>& target = listFor(list);
  const std::uint32_t before = target.getCount();
  target.remove(body);
  // The bit says the list holds the body: it held it once.
  ZOV_ASSERT(target.getCount() + 1 == before);
  eraseFromOrder(list, body);
  found->second = static_cast<std::uint8_t>(found->second & ~list);
  if (found->second == 0) {
    listBits.erase(found);
    noteHeld(body, false);
  }
}

void PrivateWorld::emptyList(ListBit list) {
  EngineList<HardBody*>& target = listFor(list);
  for (auto* node = target.getFirst(); node != nullptr; node = node->next) {
    const auto found = listBits.find(node->value);
    if (found == listBits.end()) continue;
    found->second = static_cast<std::uint8_t>(found->second & ~list);
    if (found->second == 0) {
      listBits.erase(found);
      noteHeld(node->value, false);
    }
  }
  target.clear();
  orderFor(list).clear();
}

int PrivateWorld::threadSlotsInUse() const {
  if (!collisionManager) return 1;
  const std::uint32_t threads = collisionManager->getThreadCount();
  const std::uint32_t workers = collisionManager->getWorkerCount();
  const std::uint32_t used = threads <= 1 ? 0 : (workers < threads - 1 ? workers : threads - 1);
  return static_cast<int>(used) + 1;
}

void PrivateWorld::sizeWorkerStates(HardBody* body) const {
  if (auto* plain = dynamic_cast<PrivateHardBody*>(body)) {
    plain->setWorkerStateCount(threadSlotsInUse());
    return;
  }
  // A fracture body keeps its states in its pieces, and its fragments theirs.
  if (body == nullptr || body->getType() != kFractureBody) return;
  auto* compound = static_cast<FractureBody*>(body);
  for (auto* node = compound->getPieces().getFirst(); node != nullptr; node = node->next) {
    node->value->setWorkerStateCount(threadSlotsInUse());
  }
  for (auto* node = compound->getChildBodies().getFirst(); node != nullptr; node = node->next) {
    sizeWorkerStates(node->value);
  }
}

void PrivateWorld::sizeAllWorkerStates() {
  PrivateHardBody::setDefaultWorkerStateCount(threadSlotsInUse());
  for (const EngineList<HardBody*>* list :
       {&dynamicBodies, &staticBodies, &inactiveBodies, &crackerBodies, &barrierBodies}) {
    for (auto* node = list->getFirst(); node != nullptr; node = node->next) sizeWorkerStates(node->value);
  }
}

void PrivateWorld::releaseRecords(HardBody* body) {
  if (!collisionManager) return;
  collisionManager->releasePairRecords();
  collisionManager->releaseBodyRecords();
  collisionManager->releaseBodyPairs(body);
}

void PrivateWorld::unlinkInactive(HardBody* body) {
  unlinkFrom(kOnInactive, body);
  if (isOn(body, kOnSleeping)) {
    unlinkFrom(kOnSleeping, body);
    --numDynamicBodies;
  }
}

void PrivateWorld::unlinkExcept(HardBody* body, ListBit keep) {
  if (keep != kOnDynamic && isOn(body, kOnDynamic)) {
    releaseRecords(body);
    unlinkFrom(kOnDynamic, body);
    --numDynamicBodies;
  }
  if (keep != kOnStatic && isOn(body, kOnStatic)) {
    releaseRecords(body);
    unlinkFrom(kOnStatic, body);
    --numStaticBodies;
  }
  if (keep != kOnInactive && isOn(body, kOnInactive)) {
    releaseRecords(body);
    unlinkInactive(body);
  }
}

MgcVector3 PrivateWorld::unitGravity() const {
  MgcVector3 direction = gravity;
  direction.Unitize(zov::kUnitizeTolerance);
  return direction;
}

// ---- Manager forwards -----------------------------------------------------------

bool PrivateWorld::alignRestingBodies() {
  if (collisionManager) collisionManager->alignRestingBodies();
  return true;
}

void PrivateWorld::resolveBodyImpact(HardBody* body, double restitution, double friction, const MgcVector3& point,
                                     double partnerInvMass, const MgcVector3& normal, MgcVector3& partnerVelocity) {
  if (collisionManager) {
    collisionManager->resolveBodyImpact(restitution, friction, point, partnerInvMass, normal, partnerVelocity, body);
  }
}

std::uint32_t PrivateWorld::bodyPartners(HardBody* body, HardBody*** out) {
  return collisionManager ? collisionManager->bodyPartners(body, out) : 0;
}

std::uint32_t PrivateWorld::pairContacts(HardBody* a, HardBody* b, MgcVector3** out) {
  return collisionManager ? collisionManager->pairContacts(a, b, out) : 0;
}

std::uint32_t PrivateWorld::pairContactsDetailed(HardBody* a, HardBody* b, MgcVector3** normals, double** depths) {
  return collisionManager ? collisionManager->pairContactsDetailed(a, b, normals, depths) : 0;
}

void PrivateWorld::releaseAllPairs() {
  if (collisionManager) collisionManager->releaseAllPairs();
}

void PrivateWorld::useAllThreads() {
  if (collisionManager) collisionManager->useAllThreads();
  sizeAllWorkerStates();
}

void PrivateWorld::setSingleThread() {
  if (collisionManager) collisionManager->setThreadCount(1);
  sizeAllWorkerStates();
}

void PrivateWorld::setThreadCount(std::uint32_t n) {
  if (collisionManager) collisionManager->setThreadCount(n);
  sizeAllWorkerStates();
}

std::uint32_t PrivateWorld::getThreadCount() { return collisionManager ? collisionManager->getThreadCount() : 0; }

std::int32_t PrivateWorld::getNumProcessors() { return zov::platform::processorCount(); }

void PrivateWorld::enableManagerOption() {
  if (collisionManager) collisionManager->setOrderedExtraction(1);
}

void PrivateWorld::disableManagerOption() {
  if (collisionManager) collisionManager->setOrderedExtraction(0);
}

// ---- Timer ------------------------------------------------------------------------

long PrivateWorld::startTimer() {
  g_timerStart = zov::platform::crtClock();
  return g_timerStart;
}

long PrivateWorld::stopTimer() {
  g_timerEnd = zov::platform::crtClock();
  const long ticks = g_timerEnd - g_timerStart;
  elapsedTime = static_cast<std::int32_t>(ticks) / 1000.0;
  return ticks;
}

double PrivateWorld::getElapsedTime() { return elapsedTime; }
