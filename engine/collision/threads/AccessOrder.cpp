#include "engine/collision/threads/AccessOrder.h"

#include <algorithm>

#include "engine/collision/threads/WorkerPool.h"

void AccessOrder::begin(std::uint32_t tasks, std::uint32_t slots) {
  added = 0;
  reads.clear();
  // Only the slots the last order met hold anything.
  for (std::uint32_t slot : touched) {
    lastWriter[slot] = -1;
    readerHead[slot] = -1;
  }
  touched.clear();
  // Room for every slot at once rather than grown slot by slot, and for a
  // read a task.
  reserveScratch(lastWriter, slots);
  reserveScratch(readerHead, slots);
  reserveScratch(reads, tasks);
  if (lastWriter.size() < slots) {
    lastWriter.resize(slots, -1);
    readerHead.resize(slots, -1);
  }
}

const std::vector<std::uint32_t>& AccessOrder::add(const std::uint32_t* slots, const bool* writes,
                                                   std::uint32_t count) {
  const std::uint32_t task = added++;
  before.clear();
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint32_t slot = slots[k];
    if (slot >= lastWriter.size()) {
      lastWriter.resize(slot + 1, -1);
      readerHead.resize(slot + 1, -1);
    }
    if (lastWriter[slot] < 0 && readerHead[slot] < 0) touched.push_back(slot);
    if (lastWriter[slot] >= 0) before.push_back(static_cast<std::uint32_t>(lastWriter[slot]));
    if (writes[k]) {
      for (std::int32_t r = readerHead[slot]; r >= 0; r = reads[r].next) before.push_back(reads[r].task);
    }
  }
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint32_t slot = slots[k];
    if (writes[k]) {
      lastWriter[slot] = static_cast<std::int32_t>(task);
      readerHead[slot] = -1;
    } else {
      reads.push_back(Read{task, readerHead[slot]});
      readerHead[slot] = static_cast<std::int32_t>(reads.size() - 1);
    }
  }
  std::sort(before.begin(), before.end());
  before.erase(std::unique(before.begin(), before.end()), before.end());
  return before;
}

void AccessOrder::end() {
  clearScratch(lastWriter);
  clearScratch(readerHead);
  clearScratch(reads);
  touched.clear();
}
