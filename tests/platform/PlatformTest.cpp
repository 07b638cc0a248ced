// The stand-ins for the platform's C runtime and threads.

#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Assert.h"
#include "platform/CRandom.h"
#include "platform/Clock.h"
#include "platform/Pages.h"
#include "platform/ProcessorFeatures.h"
#include "platform/Processors.h"
#include "platform/Threads.h"

using namespace zov::platform;

// After srand(1) the Windows C runtime's rand gives 41, 18467, ... as
// documented for that runtime. Threads started here, at either priority, draw
// from that one sequence: together they advance it exactly as one thread
// drawing as often would. A routine that exits ends on the spot (its last draw
// never happens); the test's own thread cannot be ended so.
TEST(PlatformThreads, StartedThreadsShareTheRuntimeSequenceAndExitOnTheSpot) {
  constexpr int kThreads = 4, kDraws = 5000;
  std::vector<int> sequence(kThreads * kDraws + 1);
  crtSrand(1);
  for (int& value : sequence) value = crtRand();
  EXPECT_EQ(std::vector<int>(sequence.begin(), sequence.begin() + 5),
            (std::vector<int>{41, 18467, 6334, 26500, 19169}));
  EXPECT_FALSE(exitCurrentThread(1));
  crtSrand(1);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.push_back(startThread(
        [](void*) -> unsigned {
          for (int i = 0; i < kDraws; ++i) crtRand();
          exitCurrentThread(7);
          return static_cast<unsigned>(crtRand());
        },
        nullptr, t % 2 == 1));
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(crtRand(), sequence.back());
}

TEST(Processors, OverrideReplacesTheRuntimeCountUntilCleared) {
  const int natural = processorCount();
  EXPECT_GE(natural, 1);
  setProcessorCountOverride(8);
  EXPECT_EQ(processorCount(), 8);
  setProcessorCountOverride(-1);
  EXPECT_EQ(processorCount(), natural);
}

// The answer matches the processor flags the system lists for the first
// processor, and it does not change between calls.
TEST(ProcessorFeatures, Avx2AnswerMatchesTheFlagsTheSystemLists) {
#if ZOV_AVX2_KERNELS
  std::ifstream info("/proc/cpuinfo");
  if (!info) GTEST_SKIP() << "the system lists no processor flags";
  bool listed = false;
  for (std::string line; std::getline(info, line);) {
    if (line.rfind("flags", 0) != 0) continue;
    std::istringstream flags(line.substr(line.find(':') + 1));
    for (std::string flag; flags >> flag;) listed = listed || flag == "avx2";
    break;
  }
  EXPECT_EQ(hasAvx2(), listed);
#else
  EXPECT_FALSE(hasAvx2());
#endif
  EXPECT_EQ(hasAvx2(), hasAvx2());
}

// A wall clock: sleeping advances it although no processor time is spent.
TEST(Clock, AdvancesWithWallTimeWhileSleeping) {
  const long before = crtClock();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_GE(crtClock() - before, 25);
}

// Mapped pages come zeroed, aligned to a page and writable to their last
// byte however many bytes were asked for; none are mapped for no bytes, and
// giving back null does nothing.
TEST(Pages, MappedPagesAreZeroedAlignedAndWritable) {
  EXPECT_EQ(mapPages(0), nullptr);
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  for (const std::size_t bytes : {std::size_t{1}, page, 3 * page + 100}) {
    auto* pages = static_cast<unsigned char*>(mapPages(bytes));
    ASSERT_NE(pages, nullptr) << bytes;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(pages) % page, 0u) << bytes;
    EXPECT_TRUE(std::all_of(pages, pages + bytes, [](unsigned char b) { return b == 0; })) << bytes;
    std::fill(pages, pages + bytes, static_cast<unsigned char>(0xA5));
    EXPECT_EQ(pages[bytes - 1], 0xA5) << bytes;
    unmapPages(pages, bytes);
  }
  unmapPages(nullptr, page);
}

// Where checks are on (the sanitizer variants, a debug build) a holding check
// evaluates its condition once and goes on, and a failing one prints its
// condition with its file and line and aborts. In the optimised build the
// check is compiled out: its condition, false here, never runs.
TEST(AssertDeathTest, ChecksRunWhereTheyAreOnAndAreCompiledOutElsewhere) {
  int evaluations = 0;
  ZOV_ASSERT(++evaluations == 1);
#if ZOV_ASSERTS_ON
  EXPECT_EQ(evaluations, 1);
  const std::string where = "PlatformTest\\.cpp:" + std::to_string(__LINE__ + 1);
  EXPECT_EXIT(ZOV_ASSERT(evaluations > 1), testing::KilledBySignal(SIGABRT),
              where + ": assertion failed: evaluations > 1");
#else
  EXPECT_EQ(evaluations, 0);
  ZOV_ASSERT(++evaluations > 1);
  EXPECT_EQ(evaluations, 0);
#endif
}
