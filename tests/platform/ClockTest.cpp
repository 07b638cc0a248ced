#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace zov::platform;

// The clock is a wall clock: sleeping advances it even though no processor time
// is spent.
TEST(Clock, AdvancesWithWallTimeWhileSleeping) {
  const long before = crtClock();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const long after = crtClock();
  EXPECT_GE(after - before, 25);
  EXPECT_GE(before, 0);
}
