#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/collision/threads/WorkerPool.h"

/// Level spreads beyond the item count that orderByLevelThenFirst counts
/// rather than sorts.
constexpr std::int64_t kCountedLevelSpread = 1024;

/// Puts `items` in order of level(item), those of one level in order of
/// first(item); the firsts are distinct and below `firstCount`. Levels that
/// lie close together (the waves of a pass, a few dozen) are counted, in
/// time linear in the items and firstCount; others are sorted.
template <typename T, typename Level, typename First>
void orderByLevelThenFirst(std::vector<T>& items, std::uint32_t firstCount, Level&& level, First&& first) {
  if (items.size() < 2) return;
  std::int64_t lowest = level(items[0]);
  std::int64_t highest = lowest;
  for (const T& item : items) {
    lowest = std::min<std::int64_t>(lowest, level(item));
    highest = std::max<std::int64_t>(highest, level(item));
  }
  const std::int64_t spread = highest - lowest + 1;
  if (spread > static_cast<std::int64_t>(items.size()) + kCountedLevelSpread) {
    std::sort(items.begin(), items.end(), [&](const T& a, const T& b) {
      if (level(a) != level(b)) return level(a) < level(b);
      return first(a) < first(b);
    });
    return;
  }
  constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  // The items by their firsts, then each level's in that order. The arrays
  // are a word an item, freed after the call unless small (clearScratch).
  std::vector<std::uint32_t> byFirst;
  reserveScratch(byFirst, firstCount);
  byFirst.assign(firstCount, kNone);
  std::vector<std::uint32_t> levelStart;
  reserveScratch(levelStart, static_cast<std::size_t>(spread) + 1);
  levelStart.assign(static_cast<std::size_t>(spread) + 1, 0);
  for (std::uint32_t i = 0; i < items.size(); ++i) {
    byFirst[first(items[i])] = i;
    ++levelStart[static_cast<std::size_t>(level(items[i]) - lowest) + 1];
  }
  for (std::size_t l = 1; l < levelStart.size(); ++l) levelStart[l] += levelStart[l - 1];
  std::vector<T> ordered;
  reserveScratch(ordered, items.size());
  ordered.resize(items.size());
  for (std::uint32_t i : byFirst) {
    if (i != kNone) ordered[levelStart[static_cast<std::size_t>(level(items[i]) - lowest)]++] = items[i];
  }
  std::copy(ordered.begin(), ordered.end(), items.begin());
  clearScratch(byFirst);
  clearScratch(levelStart);
  clearScratch(ordered);
}
