#include "engine/ThreadsApi.h"

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
  wakeUp.wait(guard, [&] { return signalEvent > 0 || broadcastEvent != broadcastSeen; });
  if (broadcastEvent == broadcastSeen) {
    // Released by a signal; a broadcast takes its waiters off the count itself.
    --signalEvent;
    --waiterCount;
  }
  guard.unlock();
  held->lock();
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

int win32ThreadsApi::terminateThread(std::thread& /*thread*/, unsigned /*exitCode*/) { return 0; }

void win32ThreadsApi::exitThread(unsigned exitCode) { zov::platform::exitCurrentThread(exitCode); }

unsigned win32ThreadsApi::waitThread(std::thread& thread) {
  if (!thread.joinable() || thread.get_id() == std::this_thread::get_id()) return kWaitFailed;
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
