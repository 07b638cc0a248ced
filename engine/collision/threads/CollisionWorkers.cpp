#include "engine/collision/threads/CollisionWorkers.h"

#include <algorithm>
#include <atomic>

#include "engine/ThreadsApi.h"

namespace {

/// Smallest block of the contact pass's dealing.
constexpr std::uint32_t kMinDealBlock = 8;

std::atomic<ThreadStarter> g_threadStarter{nullptr};

// The entry of every worker thread: the slot's routine, with whatever it
// throws kept for the calling thread.
unsigned slotEntry(void* argument) {
  auto* slot = static_cast<WorkerSlot*>(argument);
  try {
    if (slot->routine != nullptr) slot->routine(slot);
  } catch (...) {
    slot->error = std::current_exception();
  }
  slot->finished = 1;
  return 0;
}

}  // namespace

ThreadStarter workerThreadStarter() {
  ThreadStarter starter = g_threadStarter.load();
  return starter != nullptr ? starter : &zov::platform::startThread;
}

void setWorkerThreadStarter(ThreadStarter starter) { g_threadStarter.store(starter); }

std::uint32_t workersForProcessors(int processors) {
  if (processors <= 1) return 0;
  return static_cast<std::uint32_t>(std::min(processors - 1, kMaxWorkerThreads));
}

std::uint32_t dealBlockSize(std::uint32_t n, std::uint32_t w) {
  const std::uint32_t c = (2u * n) / ((w + 1u) * (w + 2u));
  return c > kMinDealBlock ? c : kMinDealBlock;
}

void dealFromFront(EngineList<HardBody*>& from, EngineList<HardBody*>* lists, std::uint32_t w) {
  const std::uint32_t c = dealBlockSize(from.getCount(), w);
  for (std::uint32_t k = 0; k < w; ++k) {
    EngineList<HardBody*>& share = lists[k];
    share.clear();
    // Appending links after the head; inserting after the last node taken
    // keeps the dealt bodies in the order they had.
    EngineList<HardBody*>::Node* tail = share.getHead();
    for (std::uint32_t taken = 0; taken < (k + 2) * c; ++taken) {
      EngineList<HardBody*>::Node* first = from.getFirst();
      if (first == nullptr) break;
      HardBody* body = first->value;
      share.insertAfter(body, tail);
      if (tail->next != nullptr) tail = tail->next;
      from.remove(body);
    }
  }
}

namespace workerphase {

void startSlots(WorkerSlot* slots, const bool* hasWork, std::uint32_t count) {
  const ThreadStarter start = workerThreadStarter();
  for (std::uint32_t k = 0; k < count; ++k) {
    WorkerSlot& slot = slots[k];
    slot.created = 0;
    slot.error = nullptr;
    if (!hasWork[k]) continue;
    slot.finished = 0;
    slot.thread = start(&slotEntry, &slot, true);
    if (slot.thread.joinable()) slot.created = 1;
  }
}

void finishSlots(WorkerSlot* slots, const bool* hasWork, std::uint32_t count, vyrThreadsApi& threads,
                 std::exception_ptr callerError) {
  // A share whose thread the system refused is not dropped: the calling
  // thread runs it, so every dealt body is still tested.
  for (std::uint32_t k = 0; k < count; ++k) {
    if (hasWork[k] && slots[k].created == 0) slotEntry(&slots[k]);
  }
  for (std::uint32_t k = 0; k < count; ++k) {
    if (slots[k].created != 0) threads.waitThread(slots[k].thread);
  }
  if (callerError) std::rethrow_exception(callerError);
  for (std::uint32_t k = 0; k < count; ++k) {
    if (slots[k].error) {
      std::exception_ptr error = slots[k].error;
      slots[k].error = nullptr;
      std::rethrow_exception(error);
    }
  }
}

}  // namespace workerphase
