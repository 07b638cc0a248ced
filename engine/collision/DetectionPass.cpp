// The detection pass's frame: the manager's entry points, the pass's
// bodies gathered and placed, its end, and the lifting of the pairs of
// pieces to pairs of their fracture bodies. The phases that meet the bodies
// follow in DetectionWaves.cpp.

#include "engine/collision/DetectionPass.h"

#include <algorithm>
#include <atomic>

#include "engine/EngineTrace.h"
#include "engine/bodies/CompoundPieces.h"
#include "engine/bodies/HardBody.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactManifold.h"
#include "engine/collision/threads/WorkerPool.h"
#include "engine/fracture/FractureBody.h"
#include "math/MgcMatrix3.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// Clears every body's pass slot when the pass ends, also on an exception.
struct PassSlotsGuard {
  BroadPhase& table;
  ~PassSlotsGuard() { table.clear(); }
};

/// The values of each given list, and the pass's view of them.
struct ListedBodies {
  std::vector<HardBody*> values[4];
  CollisionManager::PassBodies view;
  ListedBodies(EngineList<HardBody*>* active, EngineList<HardBody*>* statics, EngineList<HardBody*>* sleeping,
               EngineList<HardBody*>* barriers) {
    const std::vector<HardBody*>** into[4] = {&view.active, &view.statics, &view.sleeping, &view.barriers};
    EngineList<HardBody*>* lists[4] = {active, statics, sleeping, barriers};
    for (int k = 0; k < 4; ++k) {
      if (lists[k] == nullptr) continue;
      values[k] = valuesOf(*lists[k]);
      *into[k] = &values[k];
    }
  }
};

}  // namespace

// ---- The manager's entry points ----------------------------------------------------

DetectionPass& CollisionManager::detectionPass() {
  if (!detection) detection = std::make_unique<DetectionPass>(*this);
  return *detection;
}

int CollisionManager::detectContacts(EngineList<HardBody*>* active, EngineList<HardBody*>* statics,
                                     EngineList<HardBody*>* sleeping, EngineList<HardBody*>* barriers) {
  const ListedBodies listed(active, statics, sleeping, barriers);
  // The detection asks which bodies touch: none is swept.
  const double sweep = dispatcher.getSweepStep();
  setSweepStep(0.0);
  struct KeepSweep {
    CollisionManager& manager;
    double seconds;
    ~KeepSweep() { manager.setSweepStep(seconds); }
  } keepSweep{*this, sweep};
  return detectionPass().run(listed.view, 0, false);
}

int CollisionManager::contactPass(EngineList<HardBody*>* active, EngineList<HardBody*>* statics,
                                  EngineList<HardBody*>* sleeping, EngineList<HardBody*>* barriers) {
  const ListedBodies listed(active, statics, sleeping, barriers);
  return contactPass(listed.view);
}

int CollisionManager::contactPass(const PassBodies& listed) {
  const std::uint8_t keptOption = orderedExtraction;
  // Without a usable worker the pass runs on the calling thread alone.
  const std::uint32_t helpers = passHelpers();
  if (helpers != 0) {
    workers->workersInUse = helpers;
    // Records for as many pairs as the last pass kept, as many again as it
    // gained on the one before, and one in test on every thread, made here
    // so that the helpers make none: the first block a helper makes opens a
    // heap of that thread's own, kept, with the records in it, for as long
    // as the thread lives. (A pass that finds more new pairs than that
    // makes the rest where it runs.)
    pairPool.makeFree(passPairs + passPairGrowth + helpers + 1);
    dealFreePairs();
  }
  int result = 0;
  try {
    result = detectionPass().run(listed, helpers, true);
  } catch (...) {
    if (helpers != 0) collectWorkerPairs();
    orderedExtraction = keptOption;
    throw;
  }
  if (helpers != 0) collectWorkerPairs();
  orderedExtraction = keptOption;
  return result;
}

// ---- The pass ----------------------------------------------------------------------

void DetectionPass::asAppended(std::vector<std::uint32_t>& appendOrder) {
  std::reverse(appendOrder.begin(), appendOrder.end());
}

void DetectionPass::setPositions(const std::vector<std::uint32_t>& list, std::vector<std::int32_t>& pos) {
  std::fill(pos.begin(), pos.end(), -1);
  for (std::size_t i = 0; i < list.size(); ++i) pos[list[i]] = static_cast<std::int32_t>(i);
}

int DetectionPass::run(const CollisionManager::PassBodies& listed, std::uint32_t helpers, bool piecesInPlace) {
  State pass;
  pass.ordered = manager.orderedExtraction != 0;
  pass.helpers = helpers;
  manager.narrowMemos.beginPass(helpers);
  pass.pieces = piecesInPlace;
  manager.passHelperCount = helpers;
  PassSlotsGuard slotsGuard{manager.broadPhase};
  if (helpers != 0) manager.pairPool.prepareHelpers(helpers, manager.passPairBytes);
  reserveScratch(candidates, 0);
  reserveScratch(found, 0);
  gatherBodies(pass, listed);
  if (pass.ordered) {
    manager.manifolds.releaseAll();
    manager.manifolds.setCount(0);
    manager.waveStamp = 0;
  }
  manager.frontier.clear();
  manager.deferredPairs.clear();
  meetMovingAndResting(pass);
  meetRestingPairs(pass);
  runWaves(pass);
  meetIslands(pass);
  if (pass.pieces) levelCompoundsFromPieces(pass);
  const int result = finish(pass);
  if (pass.pieces && pass.parented) liftPiecePairs();
  // The helpers are done: the free records give up the blocks they kept,
  // the pairs the helpers tested get blocks of their own, those of their
  // sizes that were let go of first, and the blocks left over are freed.
  if (helpers != 0) manager.pairPool.retireFreeBlocks(manager.workerPool(), helpers);
  manager.pairPool.settleParkedBlocks();
  manager.pairPool.freeRetiredBlocks();
  if (helpers != 0) manager.pairPool.freeHelperSets();
  // The candidate lists hold a word or two a candidate: made for the pass
  // (reserveScratch above) and freed after it.
  clearScratch(candidates);
  clearScratch(found);
  // The pass slots go back on the helpers; the guard then finds none left.
  manager.broadPhase.clear(pass.helpers != 0 ? manager.workerPool() : nullptr, pass.helpers);
  manager.narrowMemos.endPass();
  return result;
}

void DetectionPass::gatherBodies(State& pass, const CollisionManager::PassBodies& listed) {
  manager.broadPhase.clear();
  manager.newPairs.clear();
  manager.movingCandidates.clear();
  manager.pairCounter = 0;
  // The pass's arrays are a word or two a body, made for the pass beyond the
  // sizes the allocator keeps cached for this thread (reserveScratch): made
  // at each pass's body count, they would leave a block of every size they
  // had waiting there.
  std::size_t listedCount = 0;
  for (const std::vector<HardBody*>* list : {listed.barriers, listed.statics, listed.sleeping, listed.active}) {
    if (list != nullptr) listedCount += list->size();
  }
  for (std::vector<std::uint32_t>* slots : {&pass.resting, &pass.moving, &pass.frontier}) {
    reserveScratch(*slots, listedCount);
  }
  reserveScratch(pass.all, listedCount);
  // Pieces of moving fracture bodies, met after the other moving bodies.
  std::vector<std::uint32_t> movingPieces;
  const auto place = [&](HardBody* body, std::int32_t level, std::vector<std::uint32_t>& into) {
    if (body == nullptr || body->getPassSlot() >= 0) return;
    body->disableInContact();
    body->setContactLevel(level);
    // The pre-step starts the world's bodies at stage 0, not pieces, which
    // no world list holds: a piece standing in for its body starts there
    // too, or the staging it kept from an earlier step (or from before a
    // restore) would decide which manifolds its pairs build.
    if (body->getParent() != nullptr) {
      body->setContactStage(0);
      pass.parented = true;
    }
    body->setPassSlot(static_cast<std::int32_t>(pass.all.size()));
    into.push_back(static_cast<std::uint32_t>(pass.all.size()));
    pass.all.push_back(body);
  };
  const auto take = [&](HardBody* body, std::int32_t level, std::vector<std::uint32_t>& into) {
    if (body == nullptr || body->getPassSlot() >= 0) return;
    if (std::find(pass.compounds.begin(), pass.compounds.end(), body) != pass.compounds.end()) return;
    body->disableInContact();
    body->setContactLevel(level);
    if (body->getType() == kFractureBody) {
      if (auto* compound = dynamic_cast<FractureBody*>(body)) compound->setHitMark(0);
    }
    manager.refreshForPass(body);
    const EngineList<PrivateHardBody*>* pieces = pass.pieces ? compoundPiecesOf(body) : nullptr;
    if (pieces == nullptr) {
      place(body, level, into);
      return;
    }
    // The pieces are tested in place of their fracture body: a contact
    // lies on the piece that makes it.
    pass.compounds.push_back(body);
    std::vector<std::uint32_t>& pieceSlots = level < 0 ? movingPieces : into;
    for (auto* node = pieces->getFirst(); node != nullptr; node = node->next) place(node->value, level, pieceSlots);
  };
  // A moving body's world data (its placed mesh and bounds) depends on its
  // own pose alone: placed on the helpers before the walk, the walk finds
  // it current.
  if (!placeListedAtOnce(pass, listed)) {
    if (pass.helpers != 0 && listed.active != nullptr) {
      const std::vector<HardBody*>& movers = *listed.active;
      forEachIndex(manager.workerPool(), pass.helpers, static_cast<std::uint32_t>(movers.size()), kRefreshGrain,
                   [&](std::uint32_t k, std::uint32_t) { manager.refreshForPass(movers[k]); });
    }
    for (const std::vector<HardBody*>* list : {listed.barriers, listed.statics, listed.sleeping}) {
      if (list == nullptr) continue;
      for (HardBody* body : *list) take(body, 0, pass.resting);
    }
    if (listed.active != nullptr) {
      for (HardBody* body : *listed.active) take(body, -1, pass.moving);
    }
  }
  asAppended(pass.resting);
  asAppended(pass.moving);
  pass.moving.insert(pass.moving.end(), movingPieces.begin(), movingPieces.end());
  for (std::uint32_t slot : pass.moving) manager.movingCandidates.append(pass.all[slot]);
  manager.broadPhase.build(pass.all, pass.helpers != 0 ? manager.workerPool() : nullptr, pass.helpers);
  const std::size_t slots = pass.all.size();
  for (std::vector<std::int32_t>* positions : {&pass.restingPos, &pass.movingPos, &pass.frontierPos}) {
    reserveScratch(*positions, slots);
  }
  pass.restingPos.assign(slots, -1);
  pass.movingPos.assign(slots, -1);
  pass.frontierPos.assign(slots, -1);
  setPositions(pass.resting, pass.restingPos);
}

bool DetectionPass::placeListedAtOnce(State& pass, const CollisionManager::PassBodies& listed) {
  if (!listed.distinct || pass.helpers == 0) return false;
  // Both arrays are a word or two a body, needed only for the call: freed
  // after it unless small (clearScratch).
  struct ReleaseScratch {
    std::vector<HardBody*>& bodies;
    std::vector<std::int32_t>& slots;
    ~ReleaseScratch() {
      clearScratch(bodies);
      clearScratch(slots);
    }
  } release{listedBodies, listedSlots};
  std::vector<HardBody*>& bodies = listedBodies;
  bodies.clear();
  std::size_t listedCount = 0;
  for (const std::vector<HardBody*>* list : {listed.barriers, listed.statics, listed.sleeping, listed.active}) {
    if (list != nullptr) listedCount += list->size();
  }
  reserveScratch(bodies, listedCount);
  for (const std::vector<HardBody*>* list : {listed.barriers, listed.statics, listed.sleeping}) {
    if (list != nullptr) bodies.insert(bodies.end(), list->begin(), list->end());
  }
  const auto restingEnd = static_cast<std::uint32_t>(bodies.size());
  if (listed.active != nullptr) bodies.insert(bodies.end(), listed.active->begin(), listed.active->end());
  const auto n = static_cast<std::uint32_t>(bodies.size());
  std::vector<std::int32_t>& slots = listedSlots;
  slots.resize(n);
  // Which bodies take part, read on the helpers; a fracture body whose
  // pieces stand in for it sends the whole gathering back to the walk.
  std::atomic<bool> pieces{false};
  std::atomic<bool> parented{false};
  forEachIndex(manager.workerPool(), pass.helpers, n, kRefreshGrain, [&](std::uint32_t i, std::uint32_t) {
    HardBody* body = bodies[i];
    const bool takes = body != nullptr && body->getPassSlot() < 0;
    slots[i] = takes ? 0 : -1;
    if (takes && pass.pieces && compoundPiecesOf(body) != nullptr) pieces.store(true, std::memory_order_relaxed);
    if (takes && body->getParent() != nullptr) parented.store(true, std::memory_order_relaxed);
  });
  if (pieces.load()) return false;
  pass.parented = parented.load();
  // The slots in list order, as the walk gives them.
  for (std::uint32_t i = 0; i < n; ++i) {
    if (slots[i] < 0) continue;
    const auto slot = static_cast<std::uint32_t>(pass.all.size());
    slots[i] = static_cast<std::int32_t>(slot);
    pass.all.push_back(bodies[i]);
    (i < restingEnd ? pass.resting : pass.moving).push_back(slot);
  }
  // Each body's marks and world data are its own.
  forEachIndex(manager.workerPool(), pass.helpers, n, kRefreshGrain, [&](std::uint32_t i, std::uint32_t) {
    if (slots[i] < 0) return;
    HardBody* body = bodies[i];
    body->disableInContact();
    body->setContactLevel(i < restingEnd ? 0 : -1);
    if (body->getType() == kFractureBody) {
      if (auto* compound = dynamic_cast<FractureBody*>(body)) compound->setHitMark(0);
    }
    manager.refreshForPass(body);
    if (body->getParent() != nullptr) body->setContactStage(0);
    body->setPassSlot(slots[i]);
  });
  return true;
}

int DetectionPass::finish(State& pass) {
  // The step's pairs are the new ones, last found first: the lists trade
  // their nodes whole, spare ones included, and the order turns in place.
  manager.stepPairs.clear();
  manager.stepPairs.swap(manager.newPairs);
  manager.stepPairs.reverse();
  manager.manifolds.releaseAll();
  manager.manifolds.setCount(0);
  manager.pairCounter = manager.stepPairs.getCount();
  manager.passPairGrowth = manager.pairCounter > manager.passPairs ? manager.pairCounter - manager.passPairs : 0;
  manager.passPairs = manager.pairCounter;
  manager.passPairBytes = 0;
  for (auto* node = manager.stepPairs.getFirst(); node != nullptr; node = node->next) {
    manager.passPairBytes += ParkedBlocks::roomFor(node->value->contactBytes());
  }
  manager.movingCandidates.clear();
  return pass.result != 0 ? 1 : 0;
}

void DetectionPass::levelCompoundsFromPieces(State& pass) {
  // The solver and the hit processing meet the fracture bodies, not their
  // pieces: each takes the lowest level its touching pieces reached.
  for (HardBody* compound : pass.compounds) {
    const EngineList<PrivateHardBody*>* pieces = compoundPiecesOf(compound);
    if (pieces == nullptr) continue;
    bool touched = false;
    std::int32_t level = compound->getContactLevel();
    for (auto* node = pieces->getFirst(); node != nullptr; node = node->next) {
      HardBody* piece = node->value;
      if (piece == nullptr || !piece->isInContact()) continue;
      level = touched ? std::min(level, piece->getContactLevel()) : piece->getContactLevel();
      touched = true;
    }
    if (!touched) continue;
    compound->enableInContact();
    // A resting fracture body stays on the resting side.
    if (compound->getContactLevel() < 0) compound->setContactLevel(level);
  }
}

// ---- Pairs of pieces ------------------------------------------------------------------

void DetectionPass::liftPair(CollisionPair& pair) {
  HardBody* pieces[2] = {pair.firstBody, pair.secondBody};
  HardBody* bodies[2];
  for (int side = 0; side < 2; ++side) {
    bodies[side] = pieces[side]->getParent() != nullptr ? pieces[side]->getParent() : pieces[side];
  }
  const RBDynamics& from1 = pieces[0]->getDyn();
  const RBDynamics& from2 = pieces[1]->getDyn();
  const RBDynamics& to1 = bodies[0]->getDyn();
  const RBDynamics& to2 = bodies[1]->getDyn();
  const MgcMatrix3 toFirst = to1.orientation.Transpose();
  const MgcMatrix3 toSecond = to2.orientation.Transpose();
  for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
    const MgcVector3 onFirst = from1.orientation * pair.points[i] + from1.position;
    const MgcVector3 onSecond = from2.orientation * pair.secondPoints[i] + from2.position;
    pair.points[i] = toFirst * (onFirst - to1.position);
    pair.secondPoints[i] = toSecond * (onSecond - to2.position);
  }
  pair.firstPiece = bodies[0] != pieces[0] ? pieces[0] : nullptr;
  pair.secondPiece = bodies[1] != pieces[1] ? pieces[1] : nullptr;
  pair.firstBody = bodies[0];
  pair.secondBody = bodies[1];
  ContactResolver::setPairCoefficients(pair);
  for (HardBody* body : bodies) body->setCollisionState(kMotionStateResolved);
}

void DetectionPass::mergePairContacts(CollisionPair& target, const CollisionPair& source, double sign) {
  const bool swapped = sign < 0.0;
  const RBDynamics& source1 = source.firstBody->getDyn();
  const RBDynamics& source2 = source.secondBody->getDyn();
  const RBDynamics& to1 = target.firstBody->getDyn();
  const RBDynamics& to2 = target.secondBody->getDyn();
  const MgcMatrix3 toFirst = to1.orientation.Transpose();
  const MgcMatrix3 toSecond = to2.orientation.Transpose();
  std::uint32_t n = target.contactCount;
  // The target's arrays hold what it has; make room for what comes.
  const std::uint32_t wanted = n + source.contactCount;
  target.reserveContacts(wanted < kMaxPairContacts ? wanted : kMaxPairContacts);
  const std::uint32_t room = target.contactCapacity();
  for (std::uint32_t i = 0; i < source.contactCount && n < room; ++i, ++n) {
    // Each side keeps its own point, so the depth between them survives.
    const MgcVector3 onSource1 = source1.orientation * source.points[i] + source1.position;
    const MgcVector3 onSource2 = source2.orientation * source.secondPoints[i] + source2.position;
    const MgcVector3& onFirst = swapped ? onSource2 : onSource1;
    const MgcVector3& onSecond = swapped ? onSource1 : onSource2;
    target.points[n] = toFirst * (onFirst - to1.position);
    target.secondPoints[n] = toSecond * (onSecond - to2.position);
    target.normals[n] = source.normals[i] * sign;
    if (source.staticVelocities != nullptr && target.holdStaticVelocities()) {
      target.staticVelocities[n] = source.staticVelocities[i];
    } else if (target.staticVelocities != nullptr) {
      target.staticVelocities[n] = MgcVector3();
    }
    target.depths[n] = source.depths[i];
    target.features[n] = source.features[i];
    if (swapped) std::swap(target.features[n].firstFeature, target.features[n].secondFeature);
    target.marks[n] = 0;
    target.foundIndex[n] = static_cast<std::uint8_t>(n);
  }
  target.contactCount = n;
  target.secondCount = n;
}

void DetectionPass::liftPiecePairs() {
  if (manager.pairCounter == 0) return;
  std::vector<CollisionPair*> kept;
  std::vector<CollisionPair*> lifted;
  reserveScratch(kept, manager.stepPairs.getCount());
  for (auto* node = manager.stepPairs.getFirst(); node != nullptr; node = node->next) {
    CollisionPair* pair = node->value;
    const bool piecePair = pair->firstBody->getParent() != nullptr || pair->secondBody->getParent() != nullptr;
    (piecePair ? lifted : kept).push_back(pair);
  }
  if (lifted.empty()) return;
  // The first pair of each two bodies takes the contacts of the later ones.
  std::vector<CollisionPair*> merged;
  for (CollisionPair* pair : lifted) {
    liftPair(*pair);
    // Opposing normals contradict each other only within one piece pair:
    // two pieces of one body may hold a piece of the other from both sides.
    CollisionManager::removeOpposingContacts(*pair);
    CollisionPair* into = nullptr;
    for (CollisionPair* earlier : merged) {
      if (earlier->joins(pair->firstBody, pair->secondBody)) {
        into = earlier;
        break;
      }
    }
    if (into == nullptr) {
      merged.push_back(pair);
      continue;
    }
    mergePairContacts(*into, *pair, into->firstBody == pair->firstBody ? 1.0 : -1.0);
    manager.queueContact(pair, 0);
  }
  for (CollisionPair* pair : merged) {
    CollisionManager::removeDuplicateContacts(*pair);
    engineTrace(g_engineTraceStream, "resolver pair %s %s points %d\n", pair->firstBody->getShape().name,
                pair->secondBody->getShape().name, static_cast<int>(pair->contactCount));
    kept.push_back(pair);
  }
  // The lifted pairs follow the others.
  manager.stepPairs.clear();
  for (auto it = kept.rbegin(); it != kept.rend(); ++it) manager.stepPairs.append(*it);
  manager.pairCounter = manager.stepPairs.getCount();
}
