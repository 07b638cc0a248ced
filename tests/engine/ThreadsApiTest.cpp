#include "engine/ThreadsApi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "platform/Threads.h"

namespace {

template <typename Function>
std::thread start(Function& function) {
  return zov::platform::startThread(
      [](void* argument) -> unsigned {
        (*static_cast<Function*>(argument))();
        return 0;
      },
      &function, true);
}

// Threads waiting on one condition variable. Each records, under the
// section, the phase in which it woke; the test moves to the next phase under
// the section before each signal or broadcast and waits for the wake-ups it
// expects before going on, so a waiter released when it should not be shows
// up in an earlier phase or as one wake-up too many.
struct Waiters {
  win32ThreadsApi api;
  vyrCriticalSection* section = api.newCriticalSection();
  vyrConditionVar* condition = api.newConditionVar();
  int phase = 0, ready = 0;  // guarded by the section
  std::vector<int> wokeIn;   // guarded by the section
  std::vector<std::thread> threads;
  std::function<void()> body = [this] {
    section->lock();
    ++ready;  // the section is held until wait leaves it: then this thread waits
    condition->wait(section);
    wokeIn.push_back(phase);
    section->unlock();
  };

  ~Waiters() {
    section->lock();
    condition->broadcast();  // releases any waiter a failed test left behind
    section->unlock();
    for (std::thread& thread : threads) api.waitThread(thread);
    api.deleteConditionVar(condition);
    api.deleteCriticalSection(section);
  }
  // Polls a condition under the section; false when it does not come true
  // within a generous bound, so that a lost wake-up fails instead of hanging.
  bool await(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
      section->lock();
      const bool met = done();
      section->unlock();
      if (met) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::yield();
    }
  }
  bool startWaiters(int count) {
    const int target = ready + count;
    for (int i = 0; i < count; ++i) threads.push_back(start(body));
    return await([&] { return ready == target; });
  }
  void nextPhase(const std::function<void()>& action) {
    section->lock();
    ++phase;
    action();
    section->unlock();
  }
  bool awaitWakes(std::size_t count) {
    return await([&] { return wokeIn.size() >= count; });
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
  auto tryFromOther = [&] {
    fromOther = section->tryLock();
    if (fromOther == 0) section->unlock();
  };
  std::thread other = start(tryFromOther);
  EXPECT_EQ(api.waitThread(other), kWaitObject0);
  EXPECT_EQ(fromOther, -1);
  EXPECT_EQ(section->unlock(), 0);
  EXPECT_EQ(section->unlock(), 0);
  other = start(tryFromOther);
  api.waitThread(other);
  EXPECT_EQ(fromOther, 0);
  api.deleteCriticalSection(section);
  EXPECT_EQ(section, nullptr);
}

// Many threads share counters under one section, entering it by lock and by
// tryLock, re-entrantly.
TEST(ThreadsApi, CriticalSectionStress) {
  win32ThreadsApi api;
  vyrCriticalSection* section = api.newCriticalSection();
  constexpr int kThreads = 12, kRounds = 5000;
  std::int64_t counter = 0, checksum = 0;
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
  constexpr int kPairs = 4, kItems = 3000;
  std::deque<int> queue;
  std::int64_t consumedSum = 0;
  auto produce = [&] {
    for (int i = 1; i <= kItems; ++i) {
      section->lock();
      while (queue.size() == 3) notFull->wait(section);
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
      notFull->signal();
      section->unlock();
    }
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < kPairs; ++i) threads.push_back(start(consume));
  for (int i = 0; i < kPairs; ++i) threads.push_back(start(produce));
  for (std::thread& thread : threads) EXPECT_EQ(api.waitThread(thread), kWaitObject0);
  EXPECT_EQ(consumedSum, std::int64_t{kPairs} * kItems * (kItems + 1) / 2);
  EXPECT_TRUE(queue.empty());
  api.deleteConditionVar(notEmpty);
  api.deleteConditionVar(notFull);
  api.deleteCriticalSection(section);
}

// Given before anyone waits, neither is remembered: the first waiter sleeps
// through the start of the second.
TEST(ThreadsApi, SignalWithoutWaiterIsNotRemembered) {
  Waiters waiters;
  EXPECT_EQ(waiters.condition->signal(), 0);
  EXPECT_EQ(waiters.condition->broadcast(), 0);
  ASSERT_TRUE(waiters.startWaiters(1));
  ASSERT_TRUE(waiters.startWaiters(1));
  for (std::size_t woken = 1; woken <= 2; ++woken) {
    waiters.nextPhase([&] { waiters.condition->signal(); });
    ASSERT_TRUE(waiters.awaitWakes(woken));
  }
  EXPECT_EQ(waiters.wokeIn, (std::vector<int>{1, 2}));
}

// Two signals given before any waiter can leave release two waiters; each
// further signal releases one more.
TEST(ThreadsApi, SignalWakesOneWaiterPerCall) {
  Waiters waiters;
  ASSERT_TRUE(waiters.startWaiters(6));
  waiters.nextPhase([&] {
    waiters.condition->signal();
    waiters.condition->signal();
  });
  ASSERT_TRUE(waiters.awaitWakes(2));
  for (std::size_t woken = 3; woken <= 6; ++woken) {
    waiters.nextPhase([&] { waiters.condition->signal(); });
    ASSERT_TRUE(waiters.awaitWakes(woken));
  }
  EXPECT_EQ(waiters.wokeIn, (std::vector<int>{1, 1, 2, 3, 4, 5}));
}

// A broadcast releases every waiter present, and not one that starts
// waiting after it.
TEST(ThreadsApi, BroadcastWakesEveryWaiterPresentOnly) {
  Waiters waiters;
  ASSERT_TRUE(waiters.startWaiters(5));
  waiters.nextPhase([&] { waiters.condition->broadcast(); });
  ASSERT_TRUE(waiters.awaitWakes(5));
  ASSERT_TRUE(waiters.startWaiters(1));
  waiters.nextPhase([&] { waiters.condition->signal(); });
  ASSERT_TRUE(waiters.awaitWakes(6));
  EXPECT_EQ(waiters.wokeIn, (std::vector<int>{1, 1, 1, 1, 1, 2}));
}

// A broadcast takes every waiter it releases off the count: a signal given
// afterwards with no one waiting is not kept, so of two later waiters the
// next signal releases one and the one after it the other.
TEST(ThreadsApi, ABroadcastLeavesNoWaiterCountBehind) {
  Waiters waiters;
  ASSERT_TRUE(waiters.startWaiters(3));
  waiters.nextPhase([&] { waiters.condition->broadcast(); });
  ASSERT_TRUE(waiters.awaitWakes(3));
  waiters.nextPhase([&] { waiters.condition->signal(); });
  ASSERT_TRUE(waiters.startWaiters(2));
  for (std::size_t woken = 4; woken <= 5; ++woken) {
    waiters.nextPhase([&] { waiters.condition->signal(); });
    ASSERT_TRUE(waiters.awaitWakes(woken));
  }
  EXPECT_EQ(waiters.wokeIn, (std::vector<int>{1, 1, 1, 3, 4}));
}

TEST(ThreadsApi, ThreadControl) {
  win32ThreadsApi api;
  std::thread none;
  EXPECT_EQ(api.waitThread(none), kWaitFailed);
  // terminate does nothing: the thread runs to its end.
  std::atomic<bool> release{false}, finished{false};
  auto worker = [&] {
    while (!release.load()) std::this_thread::yield();
    finished.store(true);
  };
  std::thread thread = start(worker);
  // Asked to end, the busy thread waits nowhere again: it runs to its end.
  EXPECT_EQ(api.terminateThread(thread, 3), 1);
  release.store(true);
  EXPECT_EQ(api.waitThread(thread), kWaitObject0);
  EXPECT_TRUE(finished.load());
  EXPECT_EQ(api.waitThread(thread), kWaitFailed);

  // exitThread ends the calling worker after unwinding its frames; on a
  // thread the platform did not start it does nothing.
  struct Mark {
    std::atomic<bool>& destroyed;
    ~Mark() { destroyed.store(true); }
  };
  std::atomic<bool> destroyed{false}, passedExit{false};
  auto exiting = [&] {
    Mark mark{destroyed};
    api.exitThread(5);
    passedExit.store(true);
  };
  thread = start(exiting);
  EXPECT_EQ(api.waitThread(thread), kWaitObject0);
  EXPECT_TRUE(destroyed.load());
  EXPECT_FALSE(passedExit.load());
  api.exitThread(1);

  vyrCriticalSection* section = nullptr;
  api.deleteCriticalSection(section);
  vyrConditionVar* condition = nullptr;
  api.deleteConditionVar(condition);
  EXPECT_EQ(condition, nullptr);
}

namespace {

// The section entered for a scope: a thread ended inside the scope leaves it
// on the way out.
class Entered {
 public:
  explicit Entered(vyrCriticalSection* entered) : section(entered) { section->lock(); }
  ~Entered() { section->unlock(); }
  Entered(const Entered&) = delete;
  Entered& operator=(const Entered&) = delete;

 private:
  vyrCriticalSection* section;
};

// Counts the thread's leaving of a scope, however it leaves.
struct Leaving {
  std::atomic<int>& count;
  ~Leaving() { ++count; }
};

// Polls until `done` holds; false after a generous bound.
bool eventually(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

}  // namespace

// A thread the platform layer started, blocked in a condition wait, ends at
// once when terminated: its frames unwind, the section it waited with is
// free again, and the condition still counts its waiters right (a signal
// given to nobody is not kept for the next waiter). A thread that names
// itself ends as by exitThread; threads the platform layer did not start are
// left alone.
TEST(ThreadsApi, TerminateEndsAPlatformThreadWhereItWaits) {
  win32ThreadsApi api;
  vyrCriticalSection* section = api.newCriticalSection();
  vyrConditionVar* condition = api.newConditionVar();
  std::atomic<int> waiting{0}, left{0}, woke{0};
  std::atomic<bool> release{false};
  int phase = 0;            // under the section
  std::vector<int> wokeIn;  // under the section
  auto waiter = [&] {
    const Leaving leaving{left};
    while (!release.load()) std::this_thread::yield();
    const Entered entered(section);
    ++waiting;
    condition->wait(section);
    wokeIn.push_back(phase);
    ++woke;
  };
  // Every waiter started so far waits and has left the section.
  const auto allWait = [&](int count) {
    return eventually([&] {
      if (waiting.load() != count || section->tryLock() != 0) return false;
      section->unlock();
      return true;
    });
  };
  const auto signalIn = [&](int next) {
    const Entered entered(section);
    phase = next;
    condition->signal();
  };

  release.store(true);
  std::thread first = start(waiter);
  std::thread second = start(waiter);
  ASSERT_TRUE(allWait(2));
  EXPECT_EQ(api.terminateThread(first, 9), 1);
  if (!eventually([&] { return left.load() == 1; })) {
    // Still waiting: both are let go, so that the test ends.
    {
      const Entered entered(section);
      condition->broadcast();
    }
    api.waitThread(first);
    api.waitThread(second);
    FAIL() << "the terminated thread went on waiting";
  }
  EXPECT_EQ(api.waitThread(first), kWaitObject0);
  EXPECT_EQ(woke.load(), 0);
  signalIn(1);
  ASSERT_TRUE(eventually([&] { return woke.load() == 1; }));
  EXPECT_EQ(api.waitThread(second), kWaitObject0);
  signalIn(2);  // nobody waits
  std::thread third = start(waiter);
  ASSERT_TRUE(allWait(3));
  signalIn(3);
  ASSERT_TRUE(eventually([&] { return woke.load() == 2; }));
  EXPECT_EQ(api.waitThread(third), kWaitObject0);
  EXPECT_EQ(wokeIn, (std::vector<int>{1, 3}));

  // Ending itself.
  std::atomic<std::thread*> self{nullptr};
  auto selfEnding = [&] {
    const Leaving leaving{left};
    while (self.load() == nullptr) std::this_thread::yield();
    api.terminateThread(*self.load(), 4);
    ++woke;
  };
  std::thread ending = start(selfEnding);
  self.store(&ending);
  EXPECT_EQ(api.waitThread(ending), kWaitObject0);
  EXPECT_EQ(left.load(), 4);

  // Not the platform layer's: left waiting until signalled.
  std::thread none;
  EXPECT_EQ(api.terminateThread(none, 9), 0);
  std::thread plain(waiter);
  ASSERT_TRUE(allWait(4));
  EXPECT_EQ(api.terminateThread(plain, 9), 0);
  signalIn(5);
  plain.join();
  EXPECT_EQ(woke.load(), 3);
  EXPECT_EQ(wokeIn, (std::vector<int>{1, 3, 5}));
  api.deleteConditionVar(condition);
  api.deleteCriticalSection(section);
}

// A thread busy when terminated runs through the calls that the system
// counts as cancellation points outside the platform layer's waits (a sleep,
// a write) and ends at its next wait there, a condition wait or a wait for
// another thread, its frames unwound.
TEST(ThreadsApi, ABusyThreadTerminatedSleepsAndWritesThenEndsAtItsNextWait) {
  win32ThreadsApi api;
  vyrCriticalSection* section = api.newCriticalSection();
  vyrConditionVar* condition = api.newConditionVar();
  // The thread sanitizer cannot follow a thread ended inside a join (it
  // ends the process): its build tries the condition wait alone.
#if defined(__SANITIZE_THREAD__)
  const bool waitsForThreads[] = {false};
#else
  const bool waitsForThreads[] = {false, true};
#endif
  for (const bool waitsForAThread : waitsForThreads) {
    SCOPED_TRACE(waitsForAThread ? "waiting for a thread" : "in a condition wait");
    int pipeEnds[2];
    ASSERT_EQ(pipe2(pipeEnds, O_NONBLOCK), 0);
    std::atomic<bool> asked{false}, released{false};
    std::atomic<int> passed{0}, left{0};  // 1: the sleep and the write, 2: the wait
    auto held = [&] {
      while (!released.load()) std::this_thread::yield();
    };
    std::thread other = start(held);
    auto busy = [&] {
      const Leaving leaving{left};
      while (!asked.load()) std::this_thread::yield();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      const char byte = 'w';
      if (write(pipeEnds[1], &byte, 1) == 1) passed.store(1);
      if (waitsForAThread) {
        api.waitThread(other);
      } else {
        const Entered entered(section);
        condition->wait(section);
      }
      passed.store(2);
    };
    std::thread thread = start(busy);
    EXPECT_EQ(api.terminateThread(thread, 9), 1);
    asked.store(true);
    const bool ended = eventually([&] { return left.load() == 1; });
    released.store(true);  // lets a thread that went on waiting go, so that the test ends
    if (!ended) {
      const Entered entered(section);
      condition->broadcast();
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(api.waitThread(thread), kWaitObject0);
    EXPECT_EQ(api.waitThread(other), kWaitObject0);
    EXPECT_EQ(passed.load(), 1);
    char byte = 0;
    EXPECT_EQ(read(pipeEnds[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'w');
    close(pipeEnds[0]);
    close(pipeEnds[1]);
  }
  api.deleteConditionVar(condition);
  api.deleteCriticalSection(section);
}
