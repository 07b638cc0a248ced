#include "engine/ThreadsApi.h"

#include <algorithm>
#include <new>

#include "platform/Threads.h"

// ---------------------------------------------------------------------------
// win32CriticalSection

int win32CriticalSection::lock() {
  section.lock();
  return 0;
}

int win32CriticalSection::tryLock() { return section.try_lock() ? 0 : -1; }

int win32CriticalSection::unlock() {
  section.unlock();
  return 0;
}

// ---------------------------------------------------------------------------
// win32ConditionVar

int win32ConditionVar::wait(vyrCriticalSection* held) {
  std::unique_lock<std::mutex> guard(internal);
  ++waiterCount;
  const std::uint64_t broadcastSeen = broadcastEvent;
  // `held` is left only after this thread counts as waiting, so a signal
  // given as soon as another thread can enter `held` reaches it.
  held->unlock();
  bool woken = false;
  // Leaves the wait on every way out, the thread's cancellation included:
  // the count stays true, no wake-up outlives the waiters it was for, and
  // `held` is entered again, as the caller expects.
  struct Leaving {
    win32ConditionVar& condition;
    std::unique_lock<std::mutex>& guard;
    vyrCriticalSection* held;
    std::uint64_t broadcastSeen;
    const bool& woken;
    Leaving(const Leaving&) = delete;
    Leaving& operator=(const Leaving&) = delete;
    ~Leaving() {
      if (!guard.owns_lock()) guard.lock();
      // A broadcast takes its waiters off the count itself.
      if (condition.broadcastEvent == broadcastSeen) {
        if (woken) --condition.signalEvent;
        --condition.waiterCount;
        condition.signalEvent = std::min(condition.signalEvent, condition.waiterCount);
      }
      guard.unlock();
      held->lock();
    }
  } leaving{*this, guard, held, broadcastSeen, woken};
  const zov::platform::CancellationPoint cancellable;
  wakeUp.wait(guard, [&] { return signalEvent > 0 || broadcastEvent != broadcastSeen; });
  woken = true;
  return 0;
}

int win32ConditionVar::signal() {
  std::lock_guard<std::mutex> guard(internal);
  if (waiterCount > signalEvent) {
    ++signalEvent;
    wakeUp.notify_one();
  }
  return 0;
}

int win32ConditionVar::broadcast() {
  std::lock_guard<std::mutex> guard(internal);
  if (waiterCount > 0) {
    ++broadcastEvent;
    waiterCount = 0;
    signalEvent = 0;
    wakeUp.notify_all();
  }
  return 0;
}

// ---------------------------------------------------------------------------
// win32ThreadsApi

int win32ThreadsApi::terminateThread(std::thread& thread, unsigned exitCode) {
  if (thread.joinable() && thread.get_id() == std::this_thread::get_id()) {
    exitThread(exitCode);
    return 0;
  }
  return zov::platform::cancelThread(thread) ? 1 : 0;
}

void win32ThreadsApi::exitThread(unsigned exitCode) { zov::platform::exitCurrentThread(exitCode); }

unsigned win32ThreadsApi::waitThread(std::thread& thread) {
  if (!thread.joinable() || thread.get_id() == std::this_thread::get_id()) return kWaitFailed;
  const zov::platform::CancellationPoint cancellable;
  thread.join();
  return kWaitObject0;
}

vyrCriticalSection* win32ThreadsApi::newCriticalSection() { return new (std::nothrow) win32CriticalSection(); }

void win32ThreadsApi::deleteCriticalSection(vyrCriticalSection*& section) {
  delete section;
  section = nullptr;
}

vyrConditionVar* win32ThreadsApi::newConditionVar() { return new (std::nothrow) win32ConditionVar(); }

void win32ThreadsApi::deleteConditionVar(vyrConditionVar*& condition) {
  delete condition;
  condition = nullptr;
}
