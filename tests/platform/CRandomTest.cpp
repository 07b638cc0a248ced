#include "platform/CRandom.h"
#include "platform/Processors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

using namespace zov::platform;

// The first values of the Windows C runtime's rand after srand(1), as documented
// for that runtime; the linear congruential recurrence must reproduce them.
TEST(CRandom, MatchesWindowsRuntimeSequenceAfterSeedOne) {
  crtSrand(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int value : expected) EXPECT_EQ(crtRand(), value);
}

TEST(CRandom, ReseedingRestartsTheSequence) {
  crtSrand(7);
  std::vector<int> first;
  for (int i = 0; i < 100; ++i) first.push_back(crtRand());
  crtSrand(7);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(crtRand(), first[i]);
}

TEST(CRandom, ValuesStayInRange) {
  crtSrand(12345);
  for (int i = 0; i < 100000; ++i) {
    const int value = crtRand();
    ASSERT_GE(value, 0);
    ASSERT_LE(value, kRandMax);
  }
}

// Several threads drawing at once share one sequence: the values drawn are
// exactly the sequence a single thread would have drawn, in some interleaving.
TEST(CRandom, ConcurrentDrawsPartitionTheSingleThreadSequence) {
  constexpr int kThreads = 4;
  constexpr int kDraws = 5000;
  crtSrand(99);
  std::vector<int> reference;
  for (int i = 0; i < kThreads * kDraws; ++i) reference.push_back(crtRand());

  crtSrand(99);
  std::vector<std::vector<int>> drawn(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&drawn, t] {
      for (int i = 0; i < kDraws; ++i) drawn[t].push_back(crtRand());
    });
  for (auto& thread : threads) thread.join();

  std::vector<int> all;
  for (const auto& values : drawn) all.insert(all.end(), values.begin(), values.end());
  std::sort(all.begin(), all.end());
  std::sort(reference.begin(), reference.end());
  EXPECT_EQ(all, reference);
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
