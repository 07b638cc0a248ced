#include "platform/Threads.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <new>
#include <system_error>
#include <vector>

namespace zov::platform {
namespace {

/// Nice steps that correspond to the highest priority above normal.
constexpr int kHighestPriorityBoost = 2;

/// Thrown by exitCurrentThread and caught where the thread began.
struct ThreadExit {
  unsigned exitCode;
};

thread_local bool t_startedByPlatform = false;

/// The threads startThread started whose routines have not returned, so that
/// cancelThread never reaches a thread it must not cancel, nor one that has
/// left its routine.
struct RunningThreads {
  std::mutex lock;
  std::vector<std::thread::id> ids;  ///< guarded by lock
};

RunningThreads& runningThreads() {
  static RunningThreads running;
  return running;
}

/// Takes the calling thread off the running threads when its routine ends,
/// however it ends.
class RunningMark {
 public:
  RunningMark() = default;
  RunningMark(const RunningMark&) = delete;
  RunningMark& operator=(const RunningMark&) = delete;
  ~RunningMark() {
    RunningThreads& running = runningThreads();
    const std::lock_guard<std::mutex> guard(running.lock);
    const auto it = std::find(running.ids.begin(), running.ids.end(), std::this_thread::get_id());
    if (it != running.ids.end()) running.ids.erase(it);
  }
};

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
  // Cancellation acts only inside a CancellationPoint: anywhere else it could
  // end the thread holding a lock or inside a destructor.
  int previous = 0;
  pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &previous);
  const RunningMark mark;
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
    RunningThreads& running = runningThreads();
    // Held until the thread is listed: the thread cannot take itself off the
    // list before it is on it.
    const std::lock_guard<std::mutex> guard(running.lock);
    running.ids.reserve(running.ids.size() + 1);
    std::thread thread(runRoutine, routine, argument, highestPriority);
    running.ids.push_back(thread.get_id());
    return thread;
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

bool cancelThread(std::thread& thread) {
  if (!thread.joinable()) return false;
  RunningThreads& running = runningThreads();
  // While the lock is held a listed thread is still inside its routine.
  const std::lock_guard<std::mutex> guard(running.lock);
  if (std::find(running.ids.begin(), running.ids.end(), thread.get_id()) == running.ids.end()) return false;
  return pthread_cancel(thread.native_handle()) == 0;
}

CancellationPoint::CancellationPoint() {
  if (!t_startedByPlatform) return;
  opened = pthread_setcancelstate(PTHREAD_CANCEL_ENABLE, &previousState) == 0;
}

CancellationPoint::~CancellationPoint() {
  if (opened) pthread_setcancelstate(previousState, nullptr);
}

}  // namespace zov::platform
