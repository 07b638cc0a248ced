#include "engine/collision/CollisionManager.h"

#include <algorithm>
#include <new>

#include "engine/bodies/HardBody.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactManifold.h"
#include "engine/collision/DetectionPass.h"
#include "engine/collision/SolverWorkspace.h"
#include "engine/collision/narrowphase/PkJump.h"
#include "engine/collision/threads/WorkerPool.h"
#include "engine/solver/LsqrSystem.h"
#include "platform/Processors.h"

using Mgc::MgcVector3;

CollisionManager::CollisionManager() {
  solverWorkspace = std::make_unique<SolverWorkspace>();
  narrowPhase = std::make_unique<Pk_jump>();
  g_pkJump = narrowPhase.get();
  if (setupThreads() < 0) {
    workerCount = 0;
    pairPool.setWorkerCount(0);
  }
  if (!createLsqrSystems(workerCount)) throw std::bad_alloc();
  threadCount = 1;
  for (EngineList<CollisionPair*>* list : {&newPairs, &deferredPairs, &stepPairs, &groupPairs, &reportedPairs}) {
    list->reserve(kListNodeReserve);
  }
  frontier.reserve(kListNodeReserve);
  movingCandidates.reserve(kListNodeReserve);
}

CollisionManager::~CollisionManager() {
  // The query engine stays published only while its manager lives.
  if (g_pkJump == narrowPhase.get()) g_pkJump = nullptr;
  teardownThreads();
  destroyLsqrSystems();
  // Lists, pools and workspaces are members and go with the manager; every
  // pair record and manifold with the pool that made it.
}

// ---- Pools ------------------------------------------------------------------

CollisionPair* CollisionManager::threadBuffer(std::uint32_t worker) { return pairPool.take(worker); }

void CollisionManager::queueContact(CollisionPair* record, std::uint32_t worker) { pairPool.giveBack(record, worker); }

void CollisionManager::emptyWorkingLists() {
  for (EngineList<CollisionPair*>* list :
       {&newPairs, &deferredPairs, &stepPairs, &groupPairs, &reportedPairs, &crackerPairs}) {
    list->clear();
  }
  pairPool.emptyPools();
  frontier.clear();
  movingCandidates.clear();
  pieceList.clear();
  for (std::uint32_t k = 0; k < kMaxWorkerThreads; ++k) workerFoundPairs[k].clear();
  for (std::uint32_t k = 0; k <= kMaxWorkerThreads; ++k) {
    workerFirstDealt[k].clear();
    workerSecondDealt[k].clear();
  }
}

void CollisionManager::clearAll() {
  // Every pair record, wherever a failed step left it (a worker's pool or
  // found pairs included), is freed with the block that made it; the pools
  // make new ones on demand.
  emptyWorkingLists();
  pairPool.freeAll();
  manifolds.reset();
  narrowMemos.clear();
  ledgeLoaded.clear();
  pairCounter = 0;
}

void CollisionManager::releasePairRecords() {
  if (pairCounter != 0) {
    pairPool.giveBackAll(stepPairs);
    pairCounter = 0;
    manifolds.releaseAll();
  }
  if (crackerPairs.getCount() != 0) pairPool.giveBackAll(crackerPairs);
}

void CollisionManager::releaseBodyRecords() {
  if (manifolds.count() == 0) return;
  for (auto* node = manifolds.inUse().getFirst(); node != nullptr; node = node->next) {
    if (node->value->body != nullptr) node->value->body->disableInContact();
  }
  manifolds.releaseAll();
}

void CollisionManager::setNarrowPhaseMode(const std::uint32_t* record) {
  if (narrowPhase) narrowPhase->alwaysTrue(record != nullptr ? *record : 0);
}

SolverWorkspace* CollisionManager::workspaceOf(std::uint32_t worker) {
  if (worker == 0) return solverWorkspace.get();
  if (worker > workerCount || !workerWorkspaces) return nullptr;
  return workerWorkspaces[worker - 1].get();
}

// ---- Queries ----------------------------------------------------------------

std::uint32_t CollisionManager::bodyPartners(HardBody* body, HardBody*** out) {
  if (!partnerBuffer) {
    partnerBuffer.reset(new (std::nothrow) HardBody*[kMaxPartners]);
    if (!partnerBuffer) return 0;
  }
  std::uint32_t count = 0;
  for (auto* node = reportedPairs.getFirst(); node != nullptr && count < kMaxPartners; node = node->next) {
    const CollisionPair* pair = node->value;
    if (pair->firstBody == body) {
      partnerBuffer[count++] = pair->secondBody;
    } else if (pair->secondBody == body) {
      partnerBuffer[count++] = pair->firstBody;
    }
  }
  if (out != nullptr) *out = partnerBuffer.get();
  return count;
}

std::uint32_t CollisionManager::pairContacts(HardBody* a, HardBody* b, MgcVector3** out) {
  const CollisionPair* found = nullptr;
  for (auto* node = reportedPairs.getFirst(); node != nullptr; node = node->next) {
    if (node->value->joins(a, b)) {
      found = node->value;
      break;
    }
  }
  if (found == nullptr || found->contactCount == 0 || found->firstBody == nullptr) return 0;
  const std::uint32_t count = found->contactCount < kMaxPairContacts ? found->contactCount : kMaxPairContacts;
  // The new array is made before the old one goes, so a failure leaves the
  // caller's last answer valid.
  std::unique_ptr<MgcVector3[]> points(new (std::nothrow) MgcVector3[count]);
  if (!points) return 0;
  const RBDynamics& first = found->firstBody->getDyn();
  for (std::uint32_t i = 0; i < count; ++i) points[i] = first.orientation * found->points[i] + first.position;
  contactPoints = std::move(points);
  if (out != nullptr) *out = contactPoints.get();
  return count;
}

std::uint32_t CollisionManager::pairContactsDetailed(HardBody* a, HardBody* b, MgcVector3** normals, double** depths) {
  std::uint32_t total = 0;
  for (auto* node = stepPairs.getFirst(); node != nullptr; node = node->next) {
    const CollisionPair* pair = node->value;
    if (pair->joins(a, b)) total += pair->contactCount < kMaxPairContacts ? pair->contactCount : kMaxPairContacts;
  }
  if (total == 0) return 0;
  std::unique_ptr<MgcVector3[]> newNormals(new (std::nothrow) MgcVector3[total]);
  std::unique_ptr<double[]> newDepths(new (std::nothrow) double[total]);
  if (!newNormals || !newDepths) return 0;
  std::uint32_t k = 0;
  for (auto* node = stepPairs.getFirst(); node != nullptr; node = node->next) {
    const CollisionPair* pair = node->value;
    if (!pair->joins(a, b)) continue;
    const double sign = pair->firstBody == a ? 1.0 : -1.0;
    const std::uint32_t count = pair->contactCount < kMaxPairContacts ? pair->contactCount : kMaxPairContacts;
    for (std::uint32_t i = 0; i < count; ++i, ++k) {
      newNormals[k] = pair->normals[i] * sign;
      // A contact standing apart reports no penetration.
      newDepths[k] = std::min(pair->depths[i], 0.0);
    }
  }
  contactNormals = std::move(newNormals);
  contactDepths = std::move(newDepths);
  if (normals != nullptr) *normals = contactNormals.get();
  if (depths != nullptr) *depths = contactDepths.get();
  return total;
}

void CollisionManager::releaseAllPairs() { pairPool.giveBackAll(reportedPairs); }

void CollisionManager::releaseBodyPairs(const HardBody* body) {
  auto* node = reportedPairs.getFirst();
  while (node != nullptr) {
    auto* next = node->next;
    CollisionPair* pair = node->value;
    // A report that remembers the body as a touching piece names it too.
    if (pair->firstBody == body || pair->secondBody == body || pair->firstPiece == body || pair->secondPiece == body) {
      reportedPairs.remove(pair);
      pairPool.giveBack(pair, 0);
    }
    node = next;
  }
}

// ---- Passes -----------------------------------------------------------------

void CollisionManager::refreshPairList() {
  for (auto* node = stepPairs.getFirst(); node != nullptr; node = node->next) {
    const CollisionPair* pair = node->value;
    CollisionPair* report = nullptr;
    for (auto* r = reportedPairs.getFirst(); r != nullptr; r = r->next) {
      if (r->value->joins(pair->firstBody, pair->secondBody)) {
        report = r->value;
        break;
      }
    }
    if (report == nullptr) {
      report = threadBuffer(0);
      if (report == nullptr) continue;
      reportedPairs.append(report);
    }
    report->copyFrom(*pair);
  }
}

// ---- Threads ----------------------------------------------------------------

int CollisionManager::setupThreads() {
  const std::uint32_t w = workersForProcessors(zov::platform::processorCount());
  try {
    auto workspaces = std::make_unique<std::unique_ptr<SolverWorkspace>[]>(w);
    for (std::uint32_t k = 0; k < w; ++k) workspaces[k] = std::make_unique<SolverWorkspace>();
    auto table = std::make_unique<WorkerTable>();
    table->slots = std::make_unique<WorkerSlot[]>(w);
    table->threads = std::make_unique<win32ThreadsApi>();
    table->capacity = w;
    table->workersInUse = w;
    for (std::uint32_t k = 0; k < w; ++k) {
      WorkerSlot& slot = table->slots[k];
      slot.workerNumber = k + 1;
      slot.manager = this;
      slot.foundPairs = &workerFoundPairs[k];
    }
    workerWorkspaces = std::move(workspaces);
    workers = std::move(table);
    workerCount = w;
    pairPool.setWorkerCount(w);
  } catch (const std::bad_alloc&) {
    workers.reset();
    workerWorkspaces.reset();
    workerCount = 0;
    pairPool.setWorkerCount(0);
    return -1;
  }
  return static_cast<int>(w);
}

int CollisionManager::teardownThreads() {
  // The helpers end before the workspaces they solve in.
  pool.reset();
  if (!workers) return -1;
  workerWorkspaces.reset();
  workers->workersInUse = 0;
  workers.reset();
  workerCount = 0;
  pairPool.setWorkerCount(0);
  return 0;
}

std::uint32_t CollisionManager::passHelpers() const {
  if (threadCount <= 1 || !workers) return 0;
  const std::uint32_t wanted = threadCount - 1;
  return workerCount < wanted ? workerCount : wanted;
}

WorkerPool* CollisionManager::workerPool() {
  if (!pool) pool = std::make_unique<WorkerPool>();
  return pool.get();
}

void CollisionManager::useAllThreads() { threadCount = workers ? workerCount + 1 : 1; }

void CollisionManager::dealFreePairs() {
  if (!workers) return;
  pairPool.deal(workers->workersInUse);
}

void CollisionManager::collectWorkerPairs() {
  if (workers) pairPool.collect();
}

// ---- Pair dispatch (PairDispatcher) ------------------------------------------------

std::uint32_t CollisionManager::shapePairCode(std::uint32_t firstType, std::uint32_t secondType) {
  return PairDispatcher::shapePairCode(firstType, secondType);
}

bool CollisionManager::testBodyPair(HardBody* body1, HardBody* body2, CollisionPair* pair, std::uint32_t worker) {
  return dispatcher.testBodyPair(body1, body2, pair, worker);
}

bool CollisionManager::testBodyPairExact(HardBody* body1, HardBody* body2, CollisionPair* pair, std::uint32_t worker) {
  return dispatcher.testBodyPairExact(body1, body2, pair, worker);
}

// ---- Contact resolution (ContactResolver) ----------------------------------------------

void CollisionManager::prepareContacts(CollisionPair& pair) { ContactResolver::prepareContacts(pair); }

void CollisionManager::resolveCollision(CollisionPair& pair, std::uint32_t hint, ContactBlocks*& K, double s,
                                        std::uint8_t manifoldOption, std::uint32_t worker) {
  resolver.resolveCollision(pair, hint, K, s, manifoldOption, {workspaceOf(worker), worker, closingRate});
}

void CollisionManager::resolveContact(CollisionPair& pair, std::uint32_t hint, ContactBlocks* K, double s,
                                      std::uint32_t worker, bool afterCollision) {
  resolver.resolveContact(pair, hint, K, s, {workspaceOf(worker), worker, closingRate}, afterCollision);
}

ResolutionCounters CollisionManager::getResolutionCounters(std::uint32_t worker) const {
  return resolver.counters(worker);
}

bool CollisionManager::isRestingBody(HardBody* body, float threshold) {
  return ContactResolver::isRestingBody(body, threshold);
}

void CollisionManager::stageContacts(EngineList<CollisionPair*>& pairs, EngineList<CollisionPair*>& ordered,
                                     std::int32_t& stage) {
  ContactResolver::stageContacts(pairs, ordered, stage);
}

std::uint32_t CollisionManager::resolvedBodies(const CollisionPair& pair, HardBody** out, std::uint32_t capacity) {
  return ContactResolver::resolvedBodies(pair, out, capacity);
}

void CollisionManager::removeDuplicateContacts(CollisionPair& pair) { ContactResolver::removeDuplicateContacts(pair); }

void CollisionManager::removeOpposingContacts(CollisionPair& pair) { ContactResolver::removeOpposingContacts(pair); }

void CollisionManager::compactContacts(CollisionPair& pair, const std::uint8_t* marks) {
  ContactResolver::compactContacts(pair, marks);
}

void CollisionManager::buildExtractionMatrix(std::uint32_t n, const HardBody* first, const MgcVector3* firstArms,
                                             const HardBody* second, const MgcVector3* secondArms, double s,
                                             ContactBlocks* K) {
  ContactResolver::buildExtractionMatrix(n, first, firstArms, second, secondArms, s, K);
}

void CollisionManager::buildExtractionMatrix(std::uint32_t n, const HardBody* first, const MgcVector3* firstArms,
                                             const HardBody* second, const MgcVector3* secondArms, double s, dmat* K) {
  ContactResolver::buildExtractionMatrix(n, first, firstArms, second, secondArms, s, K);
}
