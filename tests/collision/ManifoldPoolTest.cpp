// The manifold pool: records made in batches once the free ones run out,
// the count of manifolds in use kept by use and release, and a reset that
// leaves exactly the inline records free.

#include <gtest/gtest.h>

#include <set>

#include "engine/collision/ContactManifold.h"
#include "engine/collision/ManifoldPool.h"

TEST(ManifoldPool, MakesBatchesAndResetsToTheInlineRecords) {
  ManifoldPool pool;
  // A fresh pool has nothing free: the first take makes a batch.
  std::set<ContactManifold*> taken;
  for (std::uint32_t i = 0; i < kManifoldBatch + 1; ++i) taken.insert(pool.take());
  EXPECT_EQ(taken.size(), kManifoldBatch + 1);
  EXPECT_EQ(pool.free().getCount(), kManifoldBatch - 1);

  for (ContactManifold* m : taken) pool.use(m);
  EXPECT_EQ(pool.count(), kManifoldBatch + 1);
  EXPECT_EQ(pool.inUse().getCount(), kManifoldBatch + 1);
  pool.release(*taken.begin());
  EXPECT_EQ(pool.count(), kManifoldBatch);
  // The count never drops below 0, whatever it was told.
  pool.setCount(3);
  pool.releaseAll();
  EXPECT_EQ(pool.count(), 0u);
  EXPECT_EQ(pool.inUse().getCount(), 0u);
  EXPECT_EQ(pool.free().getCount(), 2 * kManifoldBatch);

  pool.reset();
  EXPECT_EQ(pool.free().getCount(), kInlineManifolds);
  EXPECT_EQ(pool.inlineRecord(kInlineManifolds), nullptr);
  std::set<ContactManifold*> inlineRecords;
  for (auto* node = pool.free().getFirst(); node != nullptr; node = node->next) inlineRecords.insert(node->value);
  std::uint32_t inlineFree = 0;
  for (std::uint32_t i = 0; i < kInlineManifolds; ++i) inlineFree += inlineRecords.count(pool.inlineRecord(i));
  EXPECT_EQ(inlineFree, kInlineManifolds);
}
