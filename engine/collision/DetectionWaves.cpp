// The phases of the detection pass that meet the bodies: the moving bodies
// against the resting side, resting bodies against each other, the waves
// outward from the resting side and the islands of moving bodies.

#include <algorithm>

#include "engine/bodies/CompoundPieces.h"
#include "engine/bodies/HardBody.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/DetectionPass.h"
#include "engine/collision/PairProcessingCommon.h"
#include "engine/collision/threads/WorkerPool.h"
#include "math/MgcVector3.h"

using Mgc::MgcVector3;

namespace {

/// The result rule of every pass: a running value that a pair's contact count
/// replaces when it is 1 or when the value is still 0.
void foldPassResult(std::uint32_t& result, std::uint32_t count) {
  if (count == 1 || result == 0) result = count;
}

/// Whether one of the bodies is a fracture body and the other its piece.
bool compoundAndPiece(const HardBody* a, const HardBody* b) {
  return (a->getType() == kFractureBody && b->getParent() == a) ||
         (b->getType() == kFractureBody && a->getParent() == b);
}

/// A body asleep, or a piece of a fracture body asleep.
bool asleep(const HardBody* body) {
  const HardBody* whole = body->getParent() != nullptr ? body->getParent() : body;
  return !whole->isStatic() && !whole->isActive();
}

/// Whether the pair's second body sleeps and its first, moving, meets it
/// faster than a body coming to rest on it would (the rest speed of the
/// hits, which wake such a sleeper): a strike.
bool strikesSleeper(const CollisionPair& pair) {
  if (!asleep(pair.secondBody)) return false;
  const RBDynamics& piece = pair.firstBody->getDyn();
  const HardBody* mover = pair.firstBody->getParent() != nullptr ? pair.firstBody->getParent() : pair.firstBody;
  const RBDynamics& state = mover->getDyn();
  for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
    const MgcVector3 point = piece.orientation * pair.points[i] + piece.position;
    const MgcVector3 v = state.linearVelocity + state.angularVelocity.Cross(point - state.position);
    const double rest = pairprocessing::kRestingContactSpeed;
    if (!(v.SquaredLength() < rest * rest)) return true;
  }
  return false;
}

}  // namespace

void DetectionPass::meetStruckSupports(State& pass, const std::vector<std::uint32_t>& struck) {
  // A sleeper's own pairs are not searched while it sleeps. Struck, it
  // wakes in the step's hits and moves in the advance that follows: without
  // the pairs of what it stands on, the blow drives it into them for a whole
  // step. Its pairs with the static bodies it touches, and with the sleepers
  // it lies on (or, struck too, that lie on it), are found here.
  const MgcVector3 up = -manager.gravityDirection;
  for (auto at = struck.begin(); at != struck.end(); ++at) {
    const std::uint32_t s = *at;
    if (manager.broadPhase.isInert(s)) continue;
    HardBody* S = pass.all[s];
    partners.clear();
    const auto consider = [&](std::uint32_t n) {
      if (n != s && pass.restingPos[n] >= 0) partners.push_back(n);
    };
    manager.broadPhase.forEachNeighbour(s, consider);
    for (std::uint32_t n : manager.broadPhase.unbounded()) consider(n);
    std::sort(partners.begin(), partners.end(),
              [&](std::uint32_t x, std::uint32_t y) { return pass.restingPos[x] < pass.restingPos[y]; });
    for (std::uint32_t n : partners) {
      HardBody* other = pass.all[n];
      // A body the rest test finds moving meets the sleeper among the
      // resting side's pairs; a struck sleeper meets another struck one once.
      if (compoundAndPiece(S, other) || other->updateSleepState()) continue;
      const auto otherAt = std::find(struck.begin(), struck.end(), n);
      if (otherAt < at || !manager.broadPhase.mayTouch(s, n)) continue;
      CollisionPair* pair = manager.testPairRecord(S, other, 0);
      if (pair == nullptr) continue;
      // The normal points from the other body towards the struck one.
      const double rise = pair->normals[0].Dot(up);
      const bool otherStruck = otherAt != struck.end();
      const bool bears =
          rise > pairprocessing::kSupportCosine || (otherStruck && -rise > pairprocessing::kSupportCosine);
      if (!other->isStatic() && !bears) {
        manager.queueContact(pair, 0);
        continue;
      }
      // Not extracted: the sleeper moves only once the blow wakes it.
      countFoundPair(pass, *pair);
      S->enableInContact();
      other->enableInContact();
      manager.newPairs.append(pair);
    }
  }
}

void DetectionPass::countFoundPair(State& pass, const CollisionPair& pair) {
  ++manager.pairCounter;
  foldPassResult(pass.result, pair.contactCount);
}

void DetectionPass::keepRaisingPair(State& pass, CollisionPair* pair) {
  if (pass.ordered) {
    manager.deferredPairs.append(pair);
  } else {
    manager.newPairs.append(pair);
    manager.extractNow(pair);
  }
}

void DetectionPass::meetMovingAndResting(State& pass) {
  std::vector<std::uint8_t> reached(pass.all.size(), 0);
  std::vector<std::uint32_t> reachedSlots;
  // Extraction moves the moving body (deferred with ordered extraction).
  // A sleeping body touched stays asleep: its own supports are not searched
  // in this step, so woken here it would fall through them; an impact wakes
  // it through the impulse it takes.
  std::vector<std::uint32_t>& struck = struckSleepers;
  struck.clear();
  const auto meet = [&](CollisionPair* pair, std::uint32_t a, std::uint32_t b) {
    HardBody* A = pass.all[a];
    HardBody* B = pass.all[b];
    countFoundPair(pass, *pair);
    if (strikesSleeper(*pair) && std::find(struck.begin(), struck.end(), b) == struck.end()) struck.push_back(b);
    A->setContactLevel(std::max(A->getContactLevel(), B->getContactLevel() + 1));
    A->enableInContact();
    keepRaisingPair(pass, pair);
    if (reached[a] == 0) {
      reached[a] = 1;
      reachedSlots.push_back(a);
    }
  };
  if (pass.ordered) {
    candidates.clear();
    manager.gatherCandidates(pass.moving, pass.resting, pass.restingPos, false, candidates);
    manager.testMovingAgainstResting(candidates, found, pass.helpers);
    for (std::size_t i = 0; i < candidates.size(); ++i) {
      if (found[i] != nullptr) meet(found[i], candidates[i].first, candidates[i].second);
    }
  } else {
    // Extraction moves each body while its tests go on: one at a time.
    for (std::uint32_t a : pass.moving) {
      for (std::uint32_t b : pass.resting) {
        if (!manager.broadPhase.mayTouch(a, b)) continue;
        if (CollisionPair* pair = manager.testPairRecord(pass.all[a], pass.all[b], 0)) meet(pair, a, b);
      }
    }
  }
  joinSiblingPieces(pass, reached, reachedSlots);
  meetStruckSupports(pass, struck);
  // The bodies that touched leave the moving bodies for the frontier.
  pass.frontier = reachedSlots;
  asAppended(pass.frontier);
  std::vector<std::uint32_t>& moving = pass.moving;
  moving.erase(std::remove_if(moving.begin(), moving.end(), [&](std::uint32_t s) { return reached[s] != 0; }),
               moving.end());
}

void DetectionPass::meetRestingPairs(State& pass) {
  const std::vector<std::uint32_t>& resting = pass.resting;
  // Every two resting bodies whose bounds meet, in list order, one of which
  // at least answers the rest test as moving. Most of them sleep, so each
  // body's partners come from the bounds table rather than from the whole
  // list, and each body is asked once: only an extraction, which moves
  // bodies, changes the answers, and after one the partners still ahead are
  // looked up and asked afresh.
  std::vector<std::uint32_t>& askedIn = pass.restingAskedIn;
  std::vector<std::uint8_t>& answers = pass.restingMoves;
  reserveScratch(askedIn, pass.all.size());
  reserveScratch(answers, pass.all.size());
  askedIn.assign(pass.all.size(), 0);
  answers.assign(pass.all.size(), 0);
  std::uint32_t round = 1;
  const auto moves = [&](std::uint32_t slot) {
    if (askedIn[slot] != round) {
      askedIn[slot] = round;
      answers[slot] = pass.all[slot]->updateSleepState() ? 1 : 0;
    }
    return answers[slot] != 0;
  };
  // A resting side of sleepers and still bodies has no pair to meet.
  bool anyMoving = false;
  for (std::uint32_t s : resting) {
    if (!manager.broadPhase.isInert(s) && moves(s)) {
      anyMoving = true;
      break;
    }
  }
  if (!anyMoving) return;
  std::vector<std::uint32_t>& later = laterResting;
  const auto gatherLater = [&](std::uint32_t s1, std::size_t from) {
    later.clear();
    const bool s1Moves = moves(s1);
    if (manager.broadPhase.isUnbounded(s1)) {
      for (std::size_t j = from; j < resting.size(); ++j) {
        if (s1Moves || moves(resting[j])) later.push_back(static_cast<std::uint32_t>(j));
      }
      return;
    }
    const auto consider = [&](std::uint32_t s2) {
      const std::int32_t j = pass.restingPos[s2];
      if (j >= 0 && static_cast<std::size_t>(j) >= from && (s1Moves || moves(s2)))
        later.push_back(static_cast<std::uint32_t>(j));
    };
    manager.broadPhase.forEachNeighbour(s1, consider);
    for (std::uint32_t s2 : manager.broadPhase.unbounded()) consider(s2);
    std::sort(later.begin(), later.end());
  };
  for (std::size_t i = 0; i < resting.size(); ++i) {
    const std::uint32_t s1 = resting[i];
    if (manager.broadPhase.isInert(s1)) continue;
    std::size_t from = i + 1;
    bool relist = true;
    while (relist) {
      relist = false;
      gatherLater(s1, from);
      for (std::uint32_t j : later) {
        from = j + 1;
        const std::uint32_t s2 = resting[j];
        if (!manager.broadPhase.mayTouch(s1, s2)) continue;
        HardBody* B1 = pass.all[s1];
        HardBody* B2 = pass.all[s2];
        if (compoundAndPiece(B1, B2)) continue;
        // The first the one waiting for its first hit.
        HardBody* first = B1->isFirstHit(true) ? B1 : B2;
        HardBody* second = first == B1 ? B2 : B1;
        CollisionPair* pair = manager.testPairRecord(first, second, 0);
        if (pair == nullptr) continue;
        countFoundPair(pass, *pair);
        const std::int32_t level = std::max(B1->getContactLevel(), B2->getContactLevel());
        for (HardBody* b : {B1, B2}) {
          b->enableInContact();
          b->setContactLevel(level);
        }
        manager.newPairs.append(pair);
        manager.extractNow(pair);
        ++round;
        relist = true;
        break;
      }
    }
  }
}

void DetectionPass::runWaves(State& pass) {
  // Which moving bodies the running wave touched, by pass slot: a moving
  // body is in contact once a frontier body met it, and only that way.
  std::vector<std::uint8_t>& reached = movingTouched;
  // A frontier body raises the moving body it touches.
  const auto meet = [&](CollisionPair* pair, std::uint32_t f, std::uint32_t m) {
    HardBody* F = pass.all[f];
    HardBody* M = pass.all[m];
    countFoundPair(pass, *pair);
    M->setContactLevel(std::max(M->getContactLevel(), F->getContactLevel() + 1));
    M->enableInContact();
    reached[m] = 1;
    keepRaisingPair(pass, pair);
  };
  pass.wave = 0;
  while (!pass.frontier.empty()) {
    ++pass.wave;
    if (pass.ordered) manager.updatePairs();
    manager.frontier.clear();
    for (auto it = pass.frontier.rbegin(); it != pass.frontier.rend(); ++it) manager.frontier.append(pass.all[*it]);
    setPositions(pass.frontier, pass.frontierPos);
    // Every two frontier bodies, extracted at once.
    candidates.clear();
    manager.gatherCandidates(pass.frontier, pass.frontier, pass.frontierPos, true, candidates);
    for (const PassCandidate& c : candidates) {
      CollisionPair* pair = manager.testPairRecord(pass.all[c.first], pass.all[c.second], 0);
      if (pair == nullptr) continue;
      countFoundPair(pass, *pair);
      manager.newPairs.append(pair);
      manager.extractNow(pair);
    }
    // Every frontier body against every moving body.
    reached.assign(pass.all.size(), 0);
    if (pass.ordered) {
      setPositions(pass.moving, pass.movingPos);
      candidates.clear();
      manager.gatherCandidates(pass.frontier, pass.moving, pass.movingPos, false, candidates);
      manager.testCandidates(candidates, found, pass.helpers);
      for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (found[i] != nullptr) meet(found[i], candidates[i].first, candidates[i].second);
      }
    } else {
      for (std::uint32_t f : pass.frontier) {
        for (std::uint32_t m : pass.moving) {
          if (!manager.broadPhase.mayTouch(f, m)) continue;
          if (CollisionPair* pair = manager.testPairRecord(pass.all[f], pass.all[m], 0)) meet(pair, f, m);
        }
      }
    }
    // The moving bodies reached become the next frontier, in their order.
    std::vector<std::uint32_t> reachedSlots;
    for (std::uint32_t m : pass.moving) {
      if (reached[m] != 0) reachedSlots.push_back(m);
    }
    joinSiblingPieces(pass, reached, reachedSlots);
    std::vector<std::uint32_t>& moving = pass.moving;
    moving.erase(std::remove_if(moving.begin(), moving.end(), [&](std::uint32_t s) { return reached[s] != 0; }),
                 moving.end());
    pass.frontier = reachedSlots;
    asAppended(pass.frontier);
  }
  manager.frontier.clear();
}

void DetectionPass::meetIslands(State& pass) {
  const std::int32_t wave = ++pass.wave;
  setPositions(pass.moving, pass.movingPos);
  candidates.clear();
  manager.gatherCandidates(pass.moving, pass.moving, pass.movingPos, true, candidates);
  manager.testCandidates(candidates, found, pass.helpers);
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    CollisionPair* pair = found[i];
    if (pair == nullptr) continue;
    countFoundPair(pass, *pair);
    for (HardBody* b : {pass.all[candidates[i].first], pass.all[candidates[i].second]}) {
      b->enableInContact();
      b->setContactLevel(wave);
    }
    manager.newPairs.append(pair);
  }
  manager.movingCandidates.clear();
  for (auto it = pass.moving.rbegin(); it != pass.moving.rend(); ++it) manager.movingCandidates.append(pass.all[*it]);

  // The island pairs (the newest, down to the first pair of a body below
  // the islands' level) are deferred and staged, or extracted now.
  manager.deferredPairs.clear();
  std::vector<CollisionPair*> islandPairs;
  for (auto* node = manager.newPairs.getFirst(); node != nullptr; node = node->next) {
    CollisionPair* pair = node->value;
    if (pair->firstBody->getContactLevel() < wave || pair->secondBody->getContactLevel() < wave) break;
    islandPairs.push_back(pair);
  }
  for (CollisionPair* pair : islandPairs) {
    if (pass.ordered) {
      manager.newPairs.remove(pair);
      pair->waveStamp = manager.waveStamp++;
      manager.deferredPairs.append(pair);
    } else {
      manager.extractNow(pair);
    }
  }
  if (manager.deferredPairs.getCount() != 0) {
    const std::uint32_t staged = manager.deferredPairs.getCount();
    std::int32_t stage = 1;
    CollisionManager::stageContacts(manager.deferredPairs, manager.newPairs, stage);
    manager.deferredPairs.clear();
    // Bodies that touch only each other are taken out of each other too, in
    // the staged order, as the waves take out theirs: a penetration left
    // here stays once they come to rest. The staged pairs lead the list,
    // newest first: walk to the oldest, then back towards the head.
    auto* oldest = manager.newPairs.getFirst();
    for (std::uint32_t i = 1; oldest != nullptr && i < staged && oldest->next != nullptr; ++i) oldest = oldest->next;
    for (auto* node = oldest; node != nullptr && node != manager.newPairs.getHead(); node = node->prev)
      manager.extractNow(node->value);
  }
}

void DetectionPass::joinSiblingPieces(State& pass, std::vector<std::uint8_t>& reached,
                                      std::vector<std::uint32_t>& reachedSlots) {
  if (pass.compounds.empty()) return;
  // A fracture body moves as one: the pieces of a piece that was reached
  // go with it, at its level. They leave the moving bodies together, so a
  // sibling not yet reached is still among them.
  for (std::size_t i = 0; i < reachedSlots.size(); ++i) {
    HardBody* piece = pass.all[reachedSlots[i]];
    const EngineList<PrivateHardBody*>* siblings = compoundPiecesOf(piece->getParent());
    if (siblings == nullptr) continue;
    for (auto* node = siblings->getFirst(); node != nullptr; node = node->next) {
      HardBody* sibling = node->value;
      if (sibling == nullptr || sibling->getPassSlot() < 0) continue;
      const auto slot = static_cast<std::uint32_t>(sibling->getPassSlot());
      if (reached[slot] != 0 || sibling->getContactLevel() >= 0) continue;
      sibling->setContactLevel(piece->getContactLevel());
      reached[slot] = 1;
      reachedSlots.push_back(slot);
    }
  }
}
