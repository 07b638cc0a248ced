#include "platform/Threads.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <system_error>

namespace zov::platform {
namespace {

/// Nice steps that correspond to the highest priority above normal.
constexpr int kHighestPriorityBoost = 2;

/// Thrown by exitCurrentThread and caught where the thread began.
struct ThreadExit {
  unsigned exitCode;
};

thread_local bool t_startedByPlatform = false;

void raiseCurrentThreadPriority() {
  // On Linux the nice value is per thread. Lowering it needs a privilege that
  // a host process rarely has; the request is then refused and ignored.
  const pid_t thread = gettid();
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
  if (errno != 0) return;
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(thread), nice - kHighestPriorityBoost);
}

void runRoutine(ThreadRoutine routine, void* argument, bool highestPriority) {
  t_startedByPlatform = true;
  if (highestPriority) raiseCurrentThreadPriority();
  try {
    routine(argument);
  } catch (const ThreadExit&) {
    // The routine ended itself through exitCurrentThread.
  }
}

}  // namespace

std::thread startThread(ThreadRoutine routine, void* argument, bool highestPriority) {
  try {
    return std::thread(runRoutine, routine, argument, highestPriority);
  } catch (const std::system_error&) {
    return std::thread();
  } catch (const std::bad_alloc&) {
    return std::thread();
  }
}

bool exitCurrentThread(unsigned exitCode) {
  if (!t_startedByPlatform) return false;
  throw ThreadExit{exitCode};
}

}  // namespace zov::platform
