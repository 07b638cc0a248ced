// The collision manager's contact manifolds: building them from the pairs in
// contact, linking them to the pairs and pruning them every substep.

#include <new>

#include "engine/bodies/HardBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactManifold.h"

using Mgc::MgcVector3;

namespace {

/// Reduces both manifolds when together they would fill one.
void makeRoomFor(ContactManifold& target, ContactManifold& source) {
  if (target.pointCount + source.pointCount >= kMaxManifoldPoints) {
    target.reduce();
    source.reduce();
  }
}

/// Gives the manifold the body `b`, re-expressing its points held in the
/// old body's frame in the frame of `b` (a piece's points go over to a
/// sibling piece of the same fracture body).
void handOver(ContactManifold& manifold, HardBody* b) {
  const HardBody* old = manifold.body;
  if (old == b) return;
  if (manifold.bodyPoints) {
    const RBDynamics& from = old->getDyn();
    const RBDynamics& to = b->getDyn();
    for (std::uint32_t k = 0; k < manifold.pointCount; ++k) {
      const MgcVector3 world = from.orientation * manifold.bodyPoints[k] + from.position;
      manifold.bodyPoints[k] = to.orientation.Transpose() * (world - to.position);
    }
  }
  manifold.body = b;
}

bool sameParent(const HardBody* a, const HardBody* b) {
  return a->getParent() != nullptr && a->getParent() == b->getParent();
}

}  // namespace

bool CollisionManager::updateManifolds(EngineList<CollisionPair*>& pairs) {
  EngineList<CollisionPair*>::Node* head = pairs.getFirst();
  if (head == nullptr || head->value == nullptr) return true;
  const CollisionPair& lead = *head->value;
  if (lead.firstBody == nullptr || lead.secondBody == nullptr) return true;
  const std::int32_t stage1 = lead.firstBody->getContactStage();
  const std::int32_t stage2 = lead.secondBody->getContactStage();
  const std::int32_t reference = stage1 < stage2 ? stage1 : stage2;

  // Manifolds built by this call sit at the head of the list in use; only
  // they are merged, so that manifolds linked to pairs earlier stay put.
  std::uint32_t builtHere = 0;
  for (auto* node = pairs.getFirst(); node != nullptr; node = node->next) {
    const CollisionPair* pair = node->value;
    if (pair == nullptr) continue;
    for (HardBody* b : {pair->firstBody, pair->secondBody}) {
      if (b == nullptr || b->getContactStage() == reference) continue;
      b->enableInContact();
      ContactManifold* manifold = manifolds.take();
      if (!manifold->merge(*pair, b)) {
        manifolds.giveBack(manifold);
        return false;
      }
      ContactManifold* earlier = nullptr;
      std::uint32_t seen = 0;
      for (auto* m = manifolds.inUse().getFirst(); m != nullptr && seen < builtHere; m = m->next, ++seen) {
        if (m->value->body == b) {
          earlier = m->value;
          break;
        }
      }
      if (earlier != nullptr) {
        makeRoomFor(*manifold, *earlier);
        manifold->addPoints(*earlier);
        manifolds.release(earlier);
        --builtHere;
      }
      manifolds.use(manifold);
      ++builtHere;
    }
  }
  return true;
}

std::uint32_t CollisionManager::linkPairRecords(EngineList<CollisionPair*>& pairs) {
  std::uint32_t links = 0;
  for (auto* node = pairs.getFirst(); node != nullptr; node = node->next) {
    CollisionPair* pair = node->value;
    if (pair == nullptr || pair->firstBody == nullptr || pair->secondBody == nullptr) continue;
    if (!pair->firstBody->isInContact() && !pair->secondBody->isInContact()) continue;
    pair->manifolds.clear();
    for (auto* m = manifolds.inUse().getFirst(); m != nullptr; m = m->next) {
      ContactManifold* manifold = m->value;
      const HardBody* b = manifold->body;
      if (b == nullptr) continue;
      if (b->getParent() == nullptr) {
        if (b == pair->firstBody || b == pair->secondBody) {
          pair->manifolds.append(manifold);
          ++links;
          break;
        }
      } else if (b->getParent() == pair->firstBody->getParent() || b->getParent() == pair->secondBody->getParent()) {
        pair->manifolds.append(manifold);
        ++links;
      }
    }
  }
  return links;
}

void CollisionManager::maintainManifolds(CollisionPair& pair, const MgcVector3& direction) {
  EngineList<ContactManifold*>& linked = pair.manifolds;
  for (auto* node = linked.getFirst(); node != nullptr;) {
    auto* next = node->next;
    const HardBody* b = node->value->body;
    if (b == nullptr || (b != pair.firstBody && b != pair.secondBody && b->getParent() == nullptr)) {
      linked.remove(node->value);
    }
    node = next;
  }

  if (linked.getCount() > 1) {
    ContactManifold* lead = linked.getFirst()->value;
    for (auto* node = linked.getFirst()->next; node != nullptr;) {
      auto* next = node->next;
      ContactManifold* other = node->value;
      if (other != lead && (other->body == lead->body || sameParent(other->body, lead->body))) {
        makeRoomFor(*lead, *other);
        handOver(*other, lead->body);
        lead->addPoints(*other);
        linked.remove(other);
      }
      node = next;
    }
  }

  for (auto* node = linked.getFirst(); node != nullptr;) {
    auto* next = node->next;
    ContactManifold* manifold = node->value;
    manifold->reset();
    manifold->keepDominantSide();
    manifold->keepAlignedNormals(direction);
    if (manifold->pointCount == 0) linked.remove(manifold);
    node = next;
  }
}
