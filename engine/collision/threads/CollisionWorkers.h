#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <thread>

#include "engine/ThreadSlots.h"
#include "engine/ThreadsApi.h"
#include "geometry/EngineList.h"
#include "platform/Threads.h"

class CollisionManager;
class CollisionPair;
class HardBody;
class vyrThreadsApi;
class win32ThreadsApi;

struct WorkerSlot;

/// What a worker thread runs on its slot; returns 0.
using WorkerRoutine = unsigned (*)(WorkerSlot* slot);

/// One worker of the collision passes. A pass sets the slot's lists before it
/// starts the slot's thread; the thread reads them only while it runs, and
/// writes only its slot, its found pairs and its own free pair records.
struct WorkerSlot {
  /// 1-based: the slot of worker k (0-based) holds k + 1.
  std::uint32_t workerNumber = 0;
  /// The thread of the current phase.
  std::thread thread;
  std::uint8_t finished = 0;
  /// 1 once the thread of this phase was started.
  std::uint8_t created = 0;
  /// The slot's running result.
  std::uint32_t result = 0;
  /// Phase 1: the resting candidates; later phases: the slot's own share.
  EngineList<HardBody*>* testList = nullptr;
  /// Phase 1: the slot's dealt moving bodies; later phases: the calling
  /// thread's kept moving candidates.
  EngineList<HardBody*>* firstList = nullptr;
  /// Phase 1: the slot's dealt pieces.
  EngineList<HardBody*>* secondList = nullptr;
  /// The manager's found-pairs list of this worker.
  EngineList<CollisionPair*>* foundPairs = nullptr;
  /// First node of the partner list, or null.
  EngineList<HardBody*>::Node* partnerStart = nullptr;
  CollisionManager* manager = nullptr;
  /// The routine of the current phase.
  WorkerRoutine routine = nullptr;
  /// What the routine threw, handed to the calling thread after the waits.
  std::exception_ptr error;
};

/// The workers of the collision passes: one per processor but one, at most
/// kMaxWorkerThreads.
struct WorkerTable {
  std::uint32_t capacity = 0;
  /// Workers a pass uses; lowered by the pass to what it needs.
  std::uint32_t workersInUse = 0;
  std::unique_ptr<WorkerSlot[]> slots;
  /// The threads object the passes wait through.
  std::unique_ptr<win32ThreadsApi> threads;
};

/// How the passes start a worker's thread. Tests replace it to see what
/// happens when the system refuses a thread.
using ThreadStarter = std::thread (*)(zov::platform::ThreadRoutine routine, void* argument, bool highestPriority);

/// The starter in use (zov::platform::startThread unless replaced).
ThreadStarter workerThreadStarter();
/// Replaces the starter; null restores zov::platform::startThread.
void setWorkerThreadStarter(ThreadStarter starter);

/// Workers for a machine of `processors` processors: one fewer, at most
/// kMaxWorkerThreads; none for one processor or a count of 0 or below.
std::uint32_t workersForProcessors(int processors);

/// The block size c of the contact pass's dealing of n items to w workers:
/// 2n / ((w + 1)(w + 2)) in unsigned integer division, at least 8. Worker k
/// (from 0) takes the next (k + 2) c items; the calling thread keeps the rest.
std::uint32_t dealBlockSize(std::uint32_t n, std::uint32_t w);

/// Deals `from` to lists[0 .. w - 1] as dealBlockSize says: each list is
/// emptied, then worker k moves the next (k + 2) c values from the front of
/// `from` (fewer when they run out), keeping their order. What stays in
/// `from` is the calling thread's share.
void dealFromFront(EngineList<HardBody*>& from, EngineList<HardBody*>* lists, std::uint32_t w);

/// Starts a thread for each of the table's first `count` slots whose `hasWork`
/// is set, each on the slot's routine; runs `callerShare` on the calling
/// thread; then waits, through the table's threads object, for every thread
/// it started. A slot whose thread cannot be
/// started is run on the calling thread after its own share, so no share is
/// left untested. An exception thrown by the calling thread's share or by a
/// routine reaches the caller after every thread has ended (the calling
/// thread's first, then the slots' in order).
template <typename CallerShare>
void runWorkerPhase(WorkerTable& table, const bool* hasWork, std::uint32_t count, CallerShare&& callerShare);

/// The part of runWorkerPhase that does not depend on the caller's share.
namespace workerphase {
/// Starts the slots with work; returns nothing (a slot whose start failed
/// keeps `created` 0).
void startSlots(WorkerSlot* slots, const bool* hasWork, std::uint32_t count);
/// Runs the slots with work that have no thread on the calling thread, waits
/// for the others and rethrows the first error (`callerError` first).
void finishSlots(WorkerSlot* slots, const bool* hasWork, std::uint32_t count, vyrThreadsApi& threads,
                 std::exception_ptr callerError);
}  // namespace workerphase

template <typename CallerShare>
void runWorkerPhase(WorkerTable& table, const bool* hasWork, std::uint32_t count, CallerShare&& callerShare) {
  workerphase::startSlots(table.slots.get(), hasWork, count);
  std::exception_ptr callerError;
  try {
    callerShare();
  } catch (...) {
    callerError = std::current_exception();
  }
  workerphase::finishSlots(table.slots.get(), hasWork, count, *table.threads, callerError);
}
