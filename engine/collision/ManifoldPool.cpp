#include "engine/collision/ManifoldPool.h"

#include <new>

#include "engine/collision/ContactManifold.h"
#include "engine/collision/PairPool.h"

ManifoldPool::ManifoldPool() : inlineManifolds(std::make_unique<ContactManifold[]>(kInlineManifolds)) {
  manifoldsInUse.reserve(kListNodeReserve);
  madeManifolds.reserve(kListNodeReserve);
}

ManifoldPool::~ManifoldPool() {
  for (auto* node = madeManifolds.getFirst(); node != nullptr; node = node->next) delete node->value;
  madeManifolds.clear();
}

ContactManifold* ManifoldPool::take() {
  if (freeManifolds.getFirst() == nullptr) {
    for (std::uint32_t i = 0; i < kManifoldBatch; ++i) {
      auto* record = new ContactManifold;
      const std::uint32_t held = madeManifolds.getCount();
      madeManifolds.append(record);
      if (madeManifolds.getCount() == held) {
        // Not entered anywhere: nothing would free it later.
        delete record;
        throw std::bad_alloc();
      }
      freeManifolds.append(record);
    }
  }
  EngineList<ContactManifold*>::Node* first = freeManifolds.getFirst();
  if (first == nullptr) throw std::bad_alloc();
  ContactManifold* record = first->value;
  freeManifolds.remove(record);
  return record;
}

void ManifoldPool::giveBack(ContactManifold* manifold) { freeManifolds.append(manifold); }

void ManifoldPool::use(ContactManifold* manifold) {
  manifoldsInUse.append(manifold);
  ++manifoldCount;
}

void ManifoldPool::release(ContactManifold* manifold) {
  manifoldsInUse.remove(manifold);
  freeManifolds.append(manifold);
  if (manifoldCount != 0) --manifoldCount;
}

void ManifoldPool::releaseAll() {
  while (EngineList<ContactManifold*>::Node* node = manifoldsInUse.getFirst()) release(node->value);
}

void ManifoldPool::reset() {
  manifoldsInUse.clear();
  freeManifolds.clear();
  for (std::uint32_t i = 0; i < kInlineManifolds; ++i) freeManifolds.append(&inlineManifolds[i]);
  for (auto* node = madeManifolds.getFirst(); node != nullptr; node = node->next) delete node->value;
  madeManifolds.clear();
  madeManifolds.reserve(kListNodeReserve);
  manifoldCount = 0;
}

ContactManifold* ManifoldPool::inlineRecord(std::uint32_t i) {
  return i < kInlineManifolds ? &inlineManifolds[i] : nullptr;
}
