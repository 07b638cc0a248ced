#pragma once

#include <cstdint>
#include <memory>

#include "geometry/EngineList.h"

class ContactManifold;

/// Manifold records built into the pool.
constexpr std::uint32_t kInlineManifolds = 1024;
/// Manifold records made at a time once the inline ones run out.
constexpr std::uint32_t kManifoldBatch = 10;

/// The contact manifolds of the collision passes: the free records, the
/// manifolds in use (newest first) with their count, and the records that
/// own them: kInlineManifolds built in, and batches made when those run out.
///
/// Used by the world's thread only.
class ManifoldPool {
 public:
  ManifoldPool();
  ManifoldPool(const ManifoldPool&) = delete;
  ManifoldPool& operator=(const ManifoldPool&) = delete;
  /// Deletes the records made beyond the inline ones.
  ~ManifoldPool();

  /// A free record, making kManifoldBatch new ones when none is free
  /// (std::bad_alloc when memory runs out).
  ContactManifold* take();
  /// A record taken and not put in use goes back to the free ones.
  void giveBack(ContactManifold* manifold);
  /// Puts a taken record in use, at the head of the manifolds in use.
  void use(ContactManifold* manifold);
  /// Takes a manifold out of use, back to the free ones.
  void release(ContactManifold* manifold);
  /// Every manifold in use back to the free ones, the count down by one for
  /// each (not below 0).
  void releaseAll();
  /// Every record free again: the inline ones free, the others deleted, none
  /// in use, the count 0.
  void reset();

  EngineList<ContactManifold*>& free() { return freeManifolds; }
  EngineList<ContactManifold*>& inUse() { return manifoldsInUse; }
  /// The count of manifolds in use that the releases keep.
  std::uint32_t count() const { return manifoldCount; }
  void setCount(std::uint32_t value) { manifoldCount = value; }
  /// Inline record i (below kInlineManifolds), or null.
  ContactManifold* inlineRecord(std::uint32_t i);

 private:
  std::unique_ptr<ContactManifold[]> inlineManifolds;
  EngineList<ContactManifold*> freeManifolds;
  EngineList<ContactManifold*> manifoldsInUse;
  /// The records made beyond the inline ones; only this list frees them.
  EngineList<ContactManifold*> madeManifolds;
  std::uint32_t manifoldCount = 0;
};
