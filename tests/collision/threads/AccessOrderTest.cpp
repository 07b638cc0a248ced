// The waits of tasks by the slots they read and write.

#include "engine/collision/threads/AccessOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "support/RandomGeometry.h"

namespace {

using Uses = std::vector<std::pair<std::uint32_t, bool>>;  // a slot, and whether it is written

// Two tasks conflict when one writes a slot that both use.
bool conflict(const Uses& a, const Uses& b) {
  for (const auto& [slotA, writesA] : a)
    for (const auto& [slotB, writesB] : b)
      if (slotA == slotB && (writesA || writesB)) return true;
  return false;
}

// Tasks that read and write random slots, some past those the order began
// with, on one order reused: every task comes after each earlier task it
// conflicts with, waiting for it or for a task that comes after it, and waits
// only for tasks it conflicts with, so that readers of a slot go at once.
TEST(AccessOrder, EachTaskComesAfterEveryEarlierTaskThatWritesWhatItUsesOrUsesWhatItWrites) {
  struct Case {
    std::uint32_t tasks, slots, slotsPast, accesses;
    double writeShare;
  };
  const Case cases[] = {
      {40, 1, 0, 1, 0.3}, {200, 12, 3, 3, 0.4}, {300, 40, 0, 2, 0.5}, {64, 8, 8, 5, 0.1}, {100, 6, 0, 4, 0.9}};
  zovtest::Random random(7);
  AccessOrder order;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.tasks << " tasks on " << c.slots << " slots");
    order.begin(c.tasks, c.slots);
    std::vector<Uses> uses(c.tasks);
    // after[j][i]: task j comes after task i.
    std::vector<std::vector<bool>> after(c.tasks, std::vector<bool>(c.tasks, false));
    for (std::uint32_t j = 0; j < c.tasks; ++j) {
      std::uint32_t slots[8];
      bool writes[8];
      const std::uint32_t count = 1 + random.index(c.accesses);
      for (std::uint32_t k = 0; k < count; ++k) {
        slots[k] = random.index(c.slots + c.slotsPast);
        writes[k] = random.uniform(0.0, 1.0) < c.writeShare;
        uses[j].emplace_back(slots[k], writes[k]);
      }
      const std::vector<std::uint32_t>& waits = order.add(slots, writes, count);
      EXPECT_EQ(std::adjacent_find(waits.begin(), waits.end(), std::greater_equal<>()), waits.end());  // increasing
      for (const std::uint32_t i : waits) {
        ASSERT_LT(i, j);
        EXPECT_TRUE(conflict(uses[i], uses[j])) << j << " waits for " << i;
        after[j][i] = true;
        for (std::uint32_t e = 0; e < i; ++e) after[j][e] = after[j][e] || after[i][e];
      }
      for (std::uint32_t i = 0; i < j; ++i)
        EXPECT_TRUE(after[j][i] || !conflict(uses[i], uses[j])) << j << " after " << i;
    }
    order.end();
  }
}

}  // namespace
