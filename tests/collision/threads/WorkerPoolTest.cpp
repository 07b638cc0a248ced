// The helper threads of the passes: every index once, tasks after the tasks
// they wait for, errors back to the caller, and a pool the system gives no
// thread still does all the work.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/collision/threads/CollisionWorkers.h"
#include "engine/collision/threads/WorkerPool.h"

namespace {

std::thread refuseHelper(zov::platform::ThreadRoutine, void*, bool) { return std::thread(); }

struct StarterGuard {
  ~StarterGuard() { setWorkerThreadStarter(nullptr); }
};

TEST(WorkerPool, EveryIndexRunsOnceWhateverTheHelpers) {
  WorkerPool pool;
  for (std::uint32_t helpers : {0u, 1u, 3u, 7u}) {
    for (std::uint32_t count : {0u, 1u, 8u, 9u, 17u, 100u, 1000u, 4099u}) {
      std::vector<std::atomic<int>> runs(count);
      std::atomic<std::uint32_t> maxWorker{0};
      const std::uint32_t grain = count % 3 == 0 ? 1 : 8;
      forEachIndex(&pool, helpers, count, grain, [&](std::uint32_t i, std::uint32_t worker) {
        runs[i].fetch_add(1);
        std::uint32_t seen = maxWorker.load();
        while (worker > seen && !maxWorker.compare_exchange_weak(seen, worker)) {
        }
      });
      for (std::uint32_t i = 0; i < count; ++i) EXPECT_EQ(runs[i].load(), 1) << helpers << " " << count;
      EXPECT_LE(maxWorker.load(), helpers);
    }
  }
}

// A chain per residue class: task i waits for task i - 5. Each task checks
// that the one it waits for has finished, and reads what it wrote.
TEST(WorkerPool, TasksRunAfterTheTasksTheyWaitFor) {
  WorkerPool pool;
  const std::uint32_t n = 400;
  for (std::uint32_t helpers : {0u, 2u, 7u}) {
    TaskOrder order;
    order.reset(n);
    for (std::uint32_t i = 5; i < n; ++i) {
      order.wait(i - 5, i);
      order.wait(i - 5, i);  // repeated: counts once
    }
    std::vector<std::uint64_t> value(n, 0);
    std::vector<std::atomic<int>> finished(n);
    order.run(&pool, helpers, [&](std::uint32_t i, std::uint32_t) {
      if (i >= 5) {
        EXPECT_EQ(finished[i - 5].load(), 1);
        value[i] = value[i - 5] * 3 + i;
      } else {
        value[i] = i;
      }
      finished[i].store(1);
    });
    std::vector<std::uint64_t> expected(n);
    for (std::uint32_t i = 0; i < n; ++i) expected[i] = i < 5 ? i : expected[i - 5] * 3 + i;
    EXPECT_EQ(value, expected) << helpers;
  }
}

// Tasks that are long runs of work are worth a thread each: six of them, in
// two chains, may go to five helpers and still wait for theirs.
TEST(WorkerPool, FewLongTasksGoToTheHelpersAndWaitForTheirs) {
  WorkerPool pool;
  const std::uint32_t n = 6;
  TaskOrder order;
  order.reset(n);
  for (std::uint32_t i = 2; i < n; ++i) order.wait(i - 2, i);
  std::vector<std::atomic<int>> finished(n);
  std::atomic<std::uint32_t> maxWorker{0};
  order.run(
      &pool, 7,
      [&](std::uint32_t i, std::uint32_t worker) {
        if (i >= 2) {
          EXPECT_EQ(finished[i - 2].load(), 1) << i;
        }
        std::uint32_t seen = maxWorker.load();
        while (worker > seen && !maxWorker.compare_exchange_weak(seen, worker)) {
        }
        finished[i].store(1);
      },
      1);
  for (std::uint32_t i = 0; i < n; ++i) EXPECT_EQ(finished[i].load(), 1) << i;
  EXPECT_LE(maxWorker.load(), n - 1);
}

// One order reused for runs of other sizes: each run keeps only the waits
// given since its reset, and a run without a reset has no tasks.
TEST(WorkerPool, TaskOrderStartsOverAtEachResetAndForgetsItsTasksAfterARun) {
  WorkerPool pool;
  TaskOrder order;
  for (const std::uint32_t n : {40u, 20u, 64u}) {
    order.reset(n);
    // Task i waits for task i - 3 (three chains).
    for (std::uint32_t i = 3; i < n; ++i) order.wait(i - 3, i);
    std::vector<std::atomic<int>> runs(n);
    order.run(
        &pool, 3,
        [&](std::uint32_t i, std::uint32_t) {
          if (i >= 3) {
            EXPECT_EQ(runs[i - 3].load(), 1) << n << " " << i;
          }
          runs[i].fetch_add(1);
        },
        1);
    for (std::uint32_t i = 0; i < n; ++i) EXPECT_EQ(runs[i].load(), 1) << n << " " << i;
  }
  std::atomic<int> calls{0};
  order.run(
      &pool, 3, [&](std::uint32_t, std::uint32_t) { calls.fetch_add(1); }, 1);
  EXPECT_EQ(calls.load(), 0);
}

// A task released by many at once, or releasing many at once, on every
// helper: shapes that follow one another on one order (repeated waits
// counting once) each run every task once, after the tasks it waits for.
TEST(WorkerPool, TasksReleasedManyAtOnceRunOnceAfterTheirWaits) {
  struct Shape {
    const char* name;
    std::uint32_t n;
    // The tasks task i waits for.
    std::vector<std::uint32_t> (*waitsOf)(std::uint32_t i);
  };
  const Shape shapes[] = {
      {"fan-out", 64,
       [](std::uint32_t i) { return i == 0 ? std::vector<std::uint32_t>{} : std::vector<std::uint32_t>{0}; }},
      {"chain", 40,
       [](std::uint32_t i) { return i == 0 ? std::vector<std::uint32_t>{} : std::vector<std::uint32_t>{i - 1}; }},
      {"fan-out then fan-in", 66,
       [](std::uint32_t i) {
         if (i == 0) return std::vector<std::uint32_t>{};
         if (i < 65) return std::vector<std::uint32_t>{0, 0};
         std::vector<std::uint32_t> all;
         for (std::uint32_t k = 1; k < 65; ++k) all.push_back(k);
         return all;
       }},
      {"two fans", 48,
       [](std::uint32_t i) { return i < 2 ? std::vector<std::uint32_t>{} : std::vector<std::uint32_t>{i % 2}; }},
  };
  WorkerPool pool;
  TaskOrder order;
  for (const Shape& shape : shapes) {
    order.reset(shape.n);
    for (std::uint32_t i = 0; i < shape.n; ++i) {
      for (std::uint32_t earlier : shape.waitsOf(i)) order.wait(earlier, i);
    }
    std::vector<std::atomic<int>> runs(shape.n);
    order.run(
        &pool, 7,
        [&](std::uint32_t i, std::uint32_t) {
          for (std::uint32_t earlier : shape.waitsOf(i)) EXPECT_EQ(runs[earlier].load(), 1) << shape.name << " " << i;
          runs[i].fetch_add(1);
        },
        1);
    for (std::uint32_t i = 0; i < shape.n; ++i) EXPECT_EQ(runs[i].load(), 1) << shape.name << " " << i;
  }
}

TEST(WorkerPool, ErrorsReachTheCallerAndThePoolGoesOn) {
  WorkerPool pool;
  TaskOrder order;
  order.reset(50);
  EXPECT_THROW(order.run(&pool, 3,
                         [](std::uint32_t i, std::uint32_t) {
                           if (i == 17) throw std::runtime_error("task");
                         }),
               std::runtime_error);
  EXPECT_THROW(pool.run(3,
                        [](std::uint32_t worker) {
                          if (worker == 0) throw std::bad_alloc();
                        }),
               std::bad_alloc);
  std::atomic<int> runs{0};
  pool.run(3, [&](std::uint32_t) { runs.fetch_add(1); });
  EXPECT_EQ(runs.load(), 4);
}

TEST(WorkerPool, AHelpersErrorReachesTheCallerAfterEveryHelperReturned) {
  WorkerPool pool;
  for (std::uint32_t thrower : {1u, 3u, 7u}) {
    std::atomic<int> returned{0};
    EXPECT_THROW(pool.run(7,
                          [&](std::uint32_t worker) {
                            if (worker == thrower) throw std::runtime_error("helper");
                            std::this_thread::sleep_for(std::chrono::milliseconds(worker == 0 ? 0 : 1));
                            returned.fetch_add(1);
                          }),
                 std::runtime_error);
    EXPECT_EQ(returned.load(), 7) << thrower;
  }
  // A helper inside a shared job throws: the caller gets it too.
  std::atomic<bool> thrown{false};
  for (int attempt = 0; attempt < 100 && !thrown.load(); ++attempt) {
    try {
      pool.runShared(3, [&](std::uint32_t worker) {
        if (worker == 0) {
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
          return;
        }
        throw std::runtime_error("helper");
      });
    } catch (const std::runtime_error&) {
      thrown.store(true);
    }
  }
  EXPECT_TRUE(thrown.load());
  // The calling thread's own error comes first.
  try {
    pool.run(3, [](std::uint32_t worker) {
      if (worker == 0) throw std::logic_error("caller");
      throw std::runtime_error("helper");
    });
    ADD_FAILURE() << "no error";
  } catch (const std::logic_error&) {
  }
}

// Many jobs of a few instructions, and jobs after pauses long enough that
// the helpers (and the caller) have gone to sleep: every one ends, with
// every worker it asked for. A lost wake-up hangs here.
TEST(WorkerPool, TinyJobsAndJobsAfterSleepLoseNoWakeUp) {
  WorkerPool pool;
  std::atomic<std::uint64_t> sum{0};
  std::uint64_t expected = 0;
  for (int job = 0; job < 20000; ++job) {
    const std::uint32_t helpers = static_cast<std::uint32_t>(job % 8);
    if (job % 1000 == 999) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    pool.run(helpers, [&](std::uint32_t worker) { sum.fetch_add(worker + 1); });
    const std::uint32_t n = std::min(helpers, pool.startedHelpers());
    expected += (n + 1) * (n + 2) / 2;
  }
  EXPECT_EQ(sum.load(), expected);
  // Shared jobs: helpers that come late skip them, and every helper that
  // came in has returned when the job does.
  for (int job = 0; job < 20000; ++job) {
    if (job % 1000 == 999) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::atomic<int> inside{0};
    std::atomic<int> returned{0};
    std::atomic<bool> callerRan{false};
    pool.runShared(static_cast<std::uint32_t>(job % 8), [&](std::uint32_t worker) {
      if (worker == 0) callerRan.store(true);
      inside.fetch_add(1);
      if (job % 97 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
      returned.fetch_add(1);
    });
    ASSERT_TRUE(callerRan.load()) << job;
    ASSERT_EQ(returned.load(), inside.load()) << job;
  }
  // The caller sleeps while a helper works longer than it watches.
  std::atomic<int> slow{0};
  pool.run(1, [&](std::uint32_t worker) {
    if (worker == 1) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    slow.fetch_add(1);
  });
  EXPECT_EQ(slow.load(), 2);
}

// Jobs whose workers all have to be inside at once, after pauses around
// the helpers' watch, so that some helpers are awake and others asleep when
// a job starts: whoever wakes them, every worker a job asks for comes. A
// worker that comes late ends the wait below unmet; one never woken hangs
// the job.
TEST(WorkerPool, EveryWorkerOfAJobComesWhetherItsHelpersWatchOrSleep) {
  WorkerPool pool;
  const int pausesMicroseconds[] = {0, 20, 45, 55, 100, 150, 450, 550, 1000};
  for (int job = 0; job < 900; ++job) {
    std::this_thread::sleep_for(std::chrono::microseconds(pausesMicroseconds[job % 9]));
    const std::uint32_t helpers = 1 + static_cast<std::uint32_t>(job % 7);
    std::atomic<std::uint32_t> arrived{0};
    std::atomic<bool> met{true};
    pool.run(helpers, [&](std::uint32_t) {
      arrived.fetch_add(1);
      const std::uint32_t all = std::min(helpers, pool.startedHelpers()) + 1;
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (arrived.load() < all) {
        if (std::chrono::steady_clock::now() > deadline) {
          met.store(false);
          return;
        }
        std::this_thread::yield();
      }
    });
    ASSERT_TRUE(met.load()) << job;
  }
}

// A pool is destroyed right after a job (its helpers still watching), after
// its helpers went to sleep, and before it ever ran one: each time the
// destruction ends and joins every helper.
TEST(WorkerPool, PoolDestroyedBusyIdleOrUnusedEndsItsHelpers) {
  for (int round = 0; round < 50; ++round) {
    WorkerPool pool;
    std::atomic<int> runs{0};
    pool.run(7, [&](std::uint32_t) { runs.fetch_add(1); });
    if (round % 2 == 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(runs.load(), static_cast<int>(pool.startedHelpers()) + 1);
  }
  WorkerPool unused;
  EXPECT_EQ(unused.startedHelpers(), 0u);
}

// One chain: each task waits for the one before, so every helper but one
// has nothing to do and sleeps, and must be woken at the end.
TEST(WorkerPool, AChainOfTasksEndsWithEveryHelperWoken) {
  WorkerPool pool;
  const std::uint32_t n = 64;
  TaskOrder order;
  order.reset(n);
  for (std::uint32_t i = 1; i < n; ++i) order.wait(i - 1, i);
  std::vector<std::uint32_t> ran;
  std::mutex ranMutex;
  order.run(&pool, 7, [&](std::uint32_t i, std::uint32_t) {
    if (i % 16 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
    std::lock_guard<std::mutex> lock(ranMutex);
    ran.push_back(i);
  });
  std::vector<std::uint32_t> inOrder(n);
  for (std::uint32_t i = 0; i < n; ++i) inOrder[i] = i;
  EXPECT_EQ(ran, inOrder);
}

// Threads that find nothing to take watch for half a millisecond and then
// sleep: tasks that last about that long release their followers
// just as other threads go to sleep, look a last time or wake. Layers of
// four such tasks, each waiting for one task of the layer before, run again
// and again: every run ends, each task once, after the task it waits for.
TEST(WorkerPool, TasksReleasedAsOthersGoToSleepAllRunOnce) {
  WorkerPool pool;
  TaskOrder order;
  const std::uint32_t n = 24;
  const auto busyFor = [](std::chrono::microseconds length) {
    const auto end = std::chrono::steady_clock::now() + length;
    while (std::chrono::steady_clock::now() < end) {
    }
  };
  for (std::uint32_t round = 0; round < 60; ++round) {
    order.reset(n);
    for (std::uint32_t i = 4; i < n; ++i) order.wait(i - 4 + (i + round) % 4 / 3, i);
    std::vector<std::atomic<int>> runs(n);
    order.run(
        &pool, 7,
        [&](std::uint32_t i, std::uint32_t) {
          if (i >= 4) {
            EXPECT_EQ(runs[i - 4 + (i + round) % 4 / 3].load(), 1) << round << " " << i;
          }
          busyFor(std::chrono::microseconds(420 + 20 * ((i * 7 + round) % 8)));
          runs[i].fetch_add(1);
        },
        1);
    for (std::uint32_t i = 0; i < n; ++i) ASSERT_EQ(runs[i].load(), 1) << round << " " << i;
  }
}

// Jobs back to back, each for a different number of helpers: every job
// runs once on exactly the workers it asked for, however late a helper
// wakes.
TEST(WorkerPool, BackToBackJobsRunOnExactlyTheirWorkers) {
  WorkerPool pool;
  for (int job = 0; job < 2000; ++job) {
    const std::uint32_t helpers = static_cast<std::uint32_t>(job * 5 % 8);
    std::vector<std::atomic<int>> runs(8);
    pool.run(helpers, [&](std::uint32_t worker) { runs[worker].fetch_add(1); });
    const std::uint32_t expected = std::min(helpers, pool.startedHelpers());
    for (std::uint32_t w = 0; w < 8; ++w) ASSERT_EQ(runs[w].load(), w <= expected ? 1 : 0) << job << " " << w;
  }
}

TEST(WorkerPool, WithoutThreadsTheCallerDoesEverything) {
  StarterGuard guard;
  setWorkerThreadStarter(&refuseHelper);
  WorkerPool pool;
  std::vector<int> runs(100, 0);
  forEachIndex(&pool, 7, 100, 4, [&](std::uint32_t i, std::uint32_t worker) {
    EXPECT_EQ(worker, 0u);
    ++runs[i];
  });
  EXPECT_EQ(pool.startedHelpers(), 0u);
  for (int r : runs) EXPECT_EQ(r, 1);
}

}  // namespace
