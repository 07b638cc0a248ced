#include "platform/Threads.h"

#include <gtest/gtest.h>

#include <thread>

using zov::platform::exitCurrentThread;
using zov::platform::startThread;

TEST(Threads, StartedThreadRunsRoutineOnItsArgument) {
  for (bool highestPriority : {false, true}) {
    int value = 0;
    std::thread thread = startThread(
        [](void* argument) -> unsigned {
          *static_cast<int*>(argument) = 42;
          return 0;
        },
        &value, highestPriority);
    ASSERT_TRUE(thread.joinable());
    thread.join();
    EXPECT_EQ(value, 42);
  }
}

TEST(Threads, ExitEndsOnlyThreadsThePlatformStarted) {
  EXPECT_FALSE(exitCurrentThread(1));  // the test's own thread goes on

  int steps = 0;
  std::thread thread = startThread(
      [](void* argument) -> unsigned {
        int& count = *static_cast<int*>(argument);
        ++count;
        exitCurrentThread(7);
        ++count;
        return 0;
      },
      &steps, false);
  thread.join();
  EXPECT_EQ(steps, 1);
}
