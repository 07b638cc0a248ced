// The helper threads of the passes: every index once, tasks after the tasks
// they wait for, errors back to the caller, and a pool the system gives no
// thread still does all the work.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/collision/CollisionWorkers.h"
#include "engine/collision/WorkerPool.h"

namespace {

std::thread refuseHelper(zov::platform::ThreadRoutine, void*, bool) { return std::thread(); }

struct StarterGuard {
  ~StarterGuard() { setWorkerThreadStarter(nullptr); }
};

TEST(WorkerPool, EveryIndexRunsOnceWhateverTheHelpers) {
  WorkerPool pool;
  for (std::uint32_t helpers : {0u, 1u, 3u, 7u}) {
    for (std::uint32_t count : {0u, 1u, 8u, 9u, 1000u}) {
      std::vector<std::atomic<int>> runs(count);
      std::atomic<std::uint32_t> maxWorker{0};
      forEachIndex(&pool, helpers, count, 8, [&](std::uint32_t i, std::uint32_t worker) {
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
