#include "engine/ThreadsApi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

#include "platform/Threads.h"

namespace {

using zov::platform::startThread;

// How long a thread that must stay blocked is watched before it is released.
constexpr auto kBlockedWatch = std::chrono::milliseconds(100);

template <typename Function>
std::thread start(Function& function) {
  return startThread(
      [](void* argument) -> unsigned {
        (*static_cast<Function*>(argument))();
        return 0;
      },
      &function, true);
}

// Threads that wait on one condition variable; each counts itself as ready
// (inside the critical section, so that once the section is free again it is
// inside wait) and counts its wake-up.
struct Waiters {
  win32ThreadsApi api;
  vyrCriticalSection* section = api.newCriticalSection();
  vyrConditionVar* condition = api.newConditionVar();
  std::atomic<int> ready{0};
  std::atomic<int> woken{0};
  std::vector<std::thread> threads;
  std::function<void()> body = [this] {
    section->lock();
    ready.fetch_add(1);
    condition->wait(section);
    woken.fetch_add(1);
    section->unlock();
  };

  ~Waiters() {
    for (std::thread& thread : threads) {
      if (thread.joinable()) api.waitThread(thread);
    }
    api.deleteConditionVar(condition);
    api.deleteCriticalSection(section);
  }
  void startWaiters(int count) {
    const int before = ready.load();
    for (int i = 0; i < count; ++i) threads.push_back(start(body));
    while (ready.load() < before + count) std::this_thread::yield();
    // Every ready waiter holds the section until wait has counted it.
    section->lock();
    section->unlock();
  }
  void waitForWoken(int count) {
    while (woken.load() < count) std::this_thread::yield();
  }
};

}  // namespace

TEST(ThreadsApi, CriticalSectionIsReentrantAndExclusive) {
  win32ThreadsApi api;
  vyrCriticalSection* section = api.newCriticalSection();
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(section->lock(), 0);
  EXPECT_EQ(section->tryLock(), 0);  // the holder may enter again

  int fromOther = 1;
  auto tryFromOther = [&] { fromOther = section->tryLock(); };
  std::thread other = start(tryFromOther);
  EXPECT_EQ(api.waitThread(other), kWaitObject0);
  EXPECT_EQ(fromOther, -1);

  EXPECT_EQ(section->unlock(), 0);
  EXPECT_EQ(section->unlock(), 0);
  auto tryAgain = [&] {
    fromOther = section->tryLock();
    if (fromOther == 0) section->unlock();
  };
  other = start(tryAgain);
  api.waitThread(other);
  EXPECT_EQ(fromOther, 0);
  api.deleteCriticalSection(section);
  EXPECT_EQ(section, nullptr);
}

// Many threads share counters under one critical section, entering it both
// by lock and by tryLock, re-entrantly.
TEST(ThreadsApi, CriticalSectionStress) {
  win32ThreadsApi api;
  vyrCriticalSection* section = api.newCriticalSection();
  constexpr int kThreads = 12;
  constexpr int kRounds = 5000;
  std::int64_t counter = 0;
  std::int64_t checksum = 0;
  auto work = [&] {
    for (int i = 0; i < kRounds; ++i) {
      if (i % 3 == 0) {
        while (section->tryLock() != 0) std::this_thread::yield();
      } else {
        section->lock();
      }
      section->lock();
      ++counter;
      checksum += i;
      section->unlock();
      section->unlock();
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.push_back(start(work));
  for (std::thread& thread : threads) EXPECT_EQ(api.waitThread(thread), kWaitObject0);
  EXPECT_EQ(counter, std::int64_t{kThreads} * kRounds);
  EXPECT_EQ(checksum, std::int64_t{kThreads} * kRounds * (kRounds - 1) / 2);
  api.deleteCriticalSection(section);
}

// Producers and consumers on a small bounded queue, woken only by signal:
// a lost wake-up would leave a thread waiting for ever.
TEST(ThreadsApi, ConditionVariableStressDeliversEveryItem) {
  win32ThreadsApi api;
  vyrCriticalSection* section = api.newCriticalSection();
  vyrConditionVar* notEmpty = api.newConditionVar();
  vyrConditionVar* notFull = api.newConditionVar();
  ASSERT_NE(notEmpty, nullptr);
  constexpr int kProducers = 4, kConsumers = 4, kItems = 3000;
  constexpr std::size_t kQueueSize = 3;
  std::deque<int> queue;
  std::int64_t consumedSum = 0;
  int consumed = 0;

  auto produce = [&] {
    for (int i = 1; i <= kItems; ++i) {
      section->lock();
      while (queue.size() == kQueueSize) notFull->wait(section);
      queue.push_back(i);
      notEmpty->signal();
      section->unlock();
    }
  };
  auto consume = [&] {
    for (int i = 0; i < kItems; ++i) {
      section->lock();
      while (queue.empty()) notEmpty->wait(section);
      consumedSum += queue.front();
      queue.pop_front();
      ++consumed;
      notFull->signal();
      section->unlock();
    }
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < kConsumers; ++i) threads.push_back(start(consume));
  for (int i = 0; i < kProducers; ++i) threads.push_back(start(produce));
  for (std::thread& thread : threads) EXPECT_EQ(api.waitThread(thread), kWaitObject0);
  EXPECT_EQ(consumed, kProducers * kItems);
  EXPECT_EQ(consumedSum, std::int64_t{kProducers} * kItems * (kItems + 1) / 2);
  EXPECT_TRUE(queue.empty());
  api.deleteConditionVar(notEmpty);
  api.deleteConditionVar(notFull);
  api.deleteCriticalSection(section);
}

TEST(ThreadsApi, SignalWithoutWaiterIsNotRemembered) {
  Waiters waiters;
  EXPECT_EQ(waiters.condition->signal(), 0);
  EXPECT_EQ(waiters.condition->broadcast(), 0);
  waiters.startWaiters(1);
  std::this_thread::sleep_for(kBlockedWatch);
  EXPECT_EQ(waiters.woken.load(), 0);
  waiters.condition->signal();
  waiters.waitForWoken(1);
  EXPECT_EQ(waiters.woken.load(), 1);
}

TEST(ThreadsApi, SignalWakesOneWaiterPerCall) {
  Waiters waiters;
  waiters.startWaiters(3);
  // Both signals are given before any waiter can leave: each must still
  // release a waiter of its own.
  waiters.section->lock();
  waiters.condition->signal();
  waiters.condition->signal();
  waiters.section->unlock();
  waiters.waitForWoken(2);
  std::this_thread::sleep_for(kBlockedWatch);
  EXPECT_EQ(waiters.woken.load(), 2);
  waiters.condition->signal();
  waiters.waitForWoken(3);
}

TEST(ThreadsApi, BroadcastWakesEveryWaiterPresentOnly) {
  Waiters waiters;
  waiters.startWaiters(5);
  waiters.condition->broadcast();
  waiters.waitForWoken(5);
  // A thread that starts waiting after the broadcast is not released by it.
  waiters.startWaiters(1);
  std::this_thread::sleep_for(kBlockedWatch);
  EXPECT_EQ(waiters.woken.load(), 5);
  waiters.condition->broadcast();
  waiters.waitForWoken(6);
}

TEST(ThreadsApi, ThreadControl) {
  win32ThreadsApi api;
  std::thread none;
  EXPECT_EQ(api.waitThread(none), kWaitFailed);

  // terminate does nothing: the thread runs to its end.
  std::atomic<bool> release{false};
  std::atomic<bool> finished{false};
  auto worker = [&] {
    while (!release.load()) std::this_thread::yield();
    finished.store(true);
  };
  std::thread thread = start(worker);
  EXPECT_EQ(api.terminateThread(thread, 3), 0);
  release.store(true);
  EXPECT_EQ(api.waitThread(thread), kWaitObject0);
  EXPECT_TRUE(finished.load());
  EXPECT_EQ(api.waitThread(thread), kWaitFailed);

  // exitThread ends the calling worker after unwinding its frames.
  struct Mark {
    std::atomic<bool>& destroyed;
    ~Mark() { destroyed.store(true); }
  };
  std::atomic<bool> destroyed{false};
  std::atomic<bool> passedExit{false};
  auto exiting = [&] {
    Mark mark{destroyed};
    api.exitThread(5);
    passedExit.store(true);
  };
  thread = start(exiting);
  EXPECT_EQ(api.waitThread(thread), kWaitObject0);
  EXPECT_TRUE(destroyed.load());
  EXPECT_FALSE(passedExit.load());

  // On a thread the platform did not start it does nothing.
  api.exitThread(1);

  vyrCriticalSection* section = nullptr;
  api.deleteCriticalSection(section);
  EXPECT_EQ(section, nullptr);
  vyrConditionVar* condition = nullptr;
  api.deleteConditionVar(condition);
  EXPECT_EQ(condition, nullptr);
}
