// The stand-ins for the platform's C runtime and threads.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/CRandom.h"
#include "platform/Clock.h"
#include "platform/Processors.h"
#include "platform/Threads.h"

using namespace zov::platform;

// The first values of the Windows C runtime's rand after srand(1), as documented
// for that runtime; reseeding starts them again.
TEST(CRandom, EachReseedStartsTheWindowsRuntimeSequence) {
  for (int round = 0; round < 2; ++round) {
    crtSrand(1);
    for (int value : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464}) EXPECT_EQ(crtRand(), value);
  }
}

// Threads drawing at once share one sequence: together they draw exactly the
// values that one thread would have drawn.
TEST(CRandom, ConcurrentDrawsShareTheSingleThreadSequence) {
  constexpr int kThreads = 4, kDraws = 5000;
  crtSrand(99);
  std::vector<int> expected(kThreads * kDraws), drawn(kThreads * kDraws);
  for (int& value : expected) value = crtRand();
  crtSrand(99);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&drawn, t] { std::generate_n(drawn.begin() + t * kDraws, kDraws, crtRand); });
  for (std::thread& thread : threads) thread.join();
  std::sort(expected.begin(), expected.end());
  std::sort(drawn.begin(), drawn.end());
  EXPECT_EQ(drawn, expected);
}

TEST(Processors, OverrideReplacesTheRuntimeCount) {
  const int natural = processorCount();
  EXPECT_GE(natural, 1);
  for (int forced : {1, 2, 4, 8}) {
    setProcessorCountOverride(forced);
    EXPECT_EQ(processorCount(), forced);
  }
  setProcessorCountOverride(0);
  EXPECT_EQ(processorCount(), natural);
}

// A wall clock: sleeping advances it although no processor time is spent.
TEST(Clock, AdvancesWithWallTimeWhileSleeping) {
  const long before = crtClock();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_GE(crtClock() - before, 25);
}

TEST(Threads, StartedThreadRunsItsRoutineUntilItExits) {
  EXPECT_FALSE(exitCurrentThread(1));  // the test's own thread goes on
  for (bool highestPriority : {false, true}) {
    int steps = 0;
    std::thread thread = startThread(
        [](void* argument) -> unsigned {
          ++*static_cast<int*>(argument);
          exitCurrentThread(7);
          ++*static_cast<int*>(argument);
          return 0;
        },
        &steps, highestPriority);
    ASSERT_TRUE(thread.joinable());
    thread.join();
    EXPECT_EQ(steps, 1);
  }
}
