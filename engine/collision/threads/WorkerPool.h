#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

/// Tells the processor that this thread is waiting for another one (the
/// other hardware thread of the core runs on), without a system call.
inline void cpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield" ::: "memory");
#endif
}

/// The size of a cache line, apart from which data written by one thread
/// and read by others is kept.
constexpr std::size_t kCacheLine = 64;

/// Tries to take `mutex` this many times before sleeping on it.
constexpr int kLockTries = 256;

/// Takes `mutex`, trying it for a while before sleeping on it: for a lock
/// held for a few list operations at a time, which a thread that slept on
/// it would wait for many times over until it woke again.
inline std::unique_lock<std::mutex> lockTrying(std::mutex& mutex) {
  for (int attempt = 0; attempt < kLockTries; ++attempt) {
    if (mutex.try_lock()) return std::unique_lock<std::mutex>(mutex, std::adopt_lock);
    cpuRelax();
  }
  return std::unique_lock<std::mutex>(mutex);
}

/// Helper threads of the collision passes that live from their first use to
/// the pool's destruction, so that a phase only wakes them instead of
/// starting and joining threads. A job runs as worker 0 on the calling
/// thread and as workers 1 .. n on the helpers; `run` returns once every
/// one of them has returned. Jobs spread their work so that the result does
/// not depend on how many helpers took part (see forEachIndex).
///
/// Between jobs a helper watches for the next one for half a millisecond
/// (the phases of one pass follow each other far more closely), then
/// sleeps until it is called: by the first helper of the job to take
/// part, or by the calling thread when every helper sleeps. The calling
/// thread waits for the helpers the same way. A watcher keeps its
/// processor for its first tens of microseconds and then offers it between
/// looks, so that on a busy machine it does not hold up the thread it waits
/// for; an idle pool sleeps and costs no processor time.
///
/// Used from one thread at a time (the world's); not copyable.
class WorkerPool {
 public:
  using Job = std::function<void(std::uint32_t worker)>;

  WorkerPool() = default;
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;
  /// Stops and joins the helpers.
  ~WorkerPool();

  /// Runs job(0) here and job(k) on helpers k = 1 .. `helpers` (starting
  /// those not yet started; a helper the system refuses is left out). The
  /// first exception thrown, the calling thread's first, reaches the caller
  /// after every helper has finished.
  void run(std::uint32_t helpers, const Job& job);
  /// As run, for a job whose threads share its work among themselves, so
  /// that whatever is there finishes it: once job(0) returns, helpers that
  /// have not yet begun (not yet given a processor on a busy machine) are
  /// no longer waited for and skip it.
  void runShared(std::uint32_t helpers, const Job& job);
  /// Helpers started so far.
  std::uint32_t startedHelpers() const { return static_cast<std::uint32_t>(helperThreads.size()); }

 private:
  /// What a helper sleeps on; one per helper, so that a job wakes only the
  /// helpers it asks for.
  struct alignas(64) Helper {
    WorkerPool* pool = nullptr;
    std::uint32_t worker = 0;
    std::mutex mutex;
    std::condition_variable wake;
    std::atomic<bool> sleeping{false};
  };
  static unsigned helperEntry(void* argument);
  void helperLoop(Helper& self);
  void ensureStarted(std::uint32_t helpers);
  /// Wakes helper k (1-based) if it sleeps.
  void wakeHelper(std::uint32_t k);
  /// Wakes up to `wakes` sleeping helpers of the running job's
  /// `participants`, taken in turn from wakeCursor, skipping awake ones;
  /// false once every participant was taken. Called by the calling thread
  /// or by a helper once it takes part, so that the job cannot end (and a
  /// later one start) meanwhile.
  bool wakeSleepers(std::uint64_t participants, std::uint32_t wakes);
  /// Whether one of helpers 1 .. participants is not asleep.
  bool anyAwake(std::uint64_t participants) const;
  /// Wakes the calling thread if it sleeps in waitForHelpers.
  void notifyCaller();
  /// Runs the job as `worker`, keeping its first exception.
  void runHere(std::uint32_t worker);
  /// Publishes the job to min(wanted, started) = n helpers and wakes them.
  void start(std::uint32_t wanted, const Job& work, bool shared, std::uint32_t& n);
  /// The calling thread watches, then sleeps, until `done`.
  void waitForHelpers(const std::function<bool()>& done);
  /// Forgets the job and rethrows its first exception.
  void finish(std::exception_ptr callerError);
  /// Runs the calling thread's share, job(0), keeping what it throws for
  /// finish, which rethrows it once the helpers are done.
  std::exception_ptr runOwnShare(const Job& work);

  /// The running job's number (upper bits), whether it is shared, and how
  /// many helpers take part (lower bits), in one word so that a helper reads
  /// them at once; kStopParticipants asks the helpers to end.
  /// The words the threads write while a job runs each keep a cache line of
  /// their own: a write takes the line from every thread that reads it, and
  /// the helpers watch jobState and read the job through its neighbours.
  alignas(kCacheLine) std::atomic<std::uint64_t> jobState{0};
  /// Helpers of the running job that have not yet returned.
  alignas(kCacheLine) std::atomic<std::uint32_t> pending{0};
  /// The next helper (1-based) of the running job that wakeSleepers looks
  /// at.
  std::atomic<std::uint64_t> wakeCursor{1};
  /// A shared job's number, whether the caller closed it, and how many
  /// helpers are inside it.
  alignas(kCacheLine) std::atomic<std::uint64_t> gate{0};
  /// Set before jobState changes; the calling thread keeps it until every
  /// helper of the job has returned.
  alignas(kCacheLine) const Job* job = nullptr;
  std::vector<std::unique_ptr<Helper>> helpers;
  std::vector<std::thread> helperThreads;
  /// The calling thread's sleep while helpers finish.
  std::mutex finishMutex;
  std::condition_variable finished;
  std::atomic<bool> callerSleeping{false};
  /// The first exception of a helper in the running job.
  std::mutex errorMutex;
  std::exception_ptr helperError;
  /// Once the system refused a helper, no more are tried.
  bool startRefused = false;
};

/// Calls fn(i, worker) once for every i in [0, count), the indices taken in
/// blocks of `grain` by whichever thread is free: the calling thread (worker
/// 0) and up to `helpers` helpers of the pool (none: all here, in order).
template <typename Fn>
void forEachIndex(WorkerPool* pool, std::uint32_t helpers, std::uint32_t count, std::uint32_t grain, Fn&& fn) {
  if (grain == 0) grain = 1;
  // Two blocks or fewer are done before helpers would have woken.
  if (pool == nullptr || helpers == 0 || count <= 2 * grain) {
    for (std::uint32_t i = 0; i < count; ++i) fn(i, 0u);
    return;
  }
  const std::uint32_t blocks = (count + grain - 1) / grain;
  helpers = std::min(helpers, blocks - 1);
  // The next block, taken by every thread, on a line apart from what they
  // read.
  struct alignas(kCacheLine) NextBlock {
    std::atomic<std::uint32_t> index{0};
  } next;
  pool->runShared(helpers, [&](std::uint32_t worker) {
    for (;;) {
      const std::uint32_t start = next.index.fetch_add(grain, std::memory_order_relaxed);
      if (start >= count) return;
      const std::uint32_t end = std::min(count, start + grain);
      for (std::uint32_t i = start; i < end; ++i) fn(i, worker);
    }
  });
}

/// The largest block the allocator keeps in a thread's cache once freed,
/// counted as in use while it waits there.
constexpr std::size_t kCachedBlockBytes = 1032;
/// Bytes of room a pass's scratch array has at least: beyond
/// kCachedBlockBytes, so that the block, freed after the call, goes back to
/// the heap instead of waiting in the calling thread's cache. Made and freed
/// at the size each call needs, small arrays would leave a block of every
/// size they had waiting there.
constexpr std::size_t kKeptScratchBytes = 1088;

/// Makes room in `scratch` for n entries, and at least kKeptScratchBytes.
template <typename T>
void reserveScratch(std::vector<T>& scratch, std::size_t n) {
  scratch.reserve(n > kKeptScratchBytes / sizeof(T) ? n : kKeptScratchBytes / sizeof(T));
}

/// Empties `scratch`, freeing its storage when the allocator would not
/// cache it for this thread (a block reserveScratch made), keeping a
/// smaller one.
template <typename T>
void clearScratch(std::vector<T>& scratch) {
  if (scratch.capacity() * sizeof(T) > kCachedBlockBytes) {
    std::vector<T>().swap(scratch);
  } else {
    scratch.clear();
  }
}

/// Fewer tasks than this run on the calling thread alone.
constexpr std::uint32_t kTaskOrderMinimum = 16;
/// Tasks a thread of TaskOrder::run should have at least.
constexpr std::uint32_t kTasksPerThread = 8;

/// Tasks 0 .. n - 1 in a fixed order, each waiting for the earlier tasks it
/// conflicts with; run on the pool, the tasks that conflict with none still
/// running go at once. A task's result then depends only on the tasks it
/// waits for, so it is the one a run in order would give. Threads take
/// tasks without a lock (a pass's tasks are often a microsecond or less,
/// and a lock taken for each would hold the threads in turn).
class alignas(kCacheLine) TaskOrder {
 public:
  /// Starts over with n tasks and no waits.
  void reset(std::uint32_t n);
  /// Task `later` waits for task `earlier` (earlier < later); repeated waits
  /// count once when they follow each other.
  void wait(std::uint32_t earlier, std::uint32_t later);
  /// Runs fn(task, worker) for every task, on the calling thread (worker 0)
  /// and up to `helpers` helpers, each thread given at least
  /// `tasksPerThread` tasks (tasks that are long runs of work need fewer to
  /// be worth a thread). The first exception ends the run and reaches the
  /// caller. The tasks are forgotten after the run: the next run needs a
  /// reset.
  void run(WorkerPool* pool, std::uint32_t helpers, const std::function<void(std::uint32_t, std::uint32_t)>& fn,
           std::uint32_t tasksPerThread = kTasksPerThread);

 private:
  /// The tasks forgotten, their storage freed unless small (clearScratch):
  /// it is a few words a task and a wait, needed only from reset to the end
  /// of run.
  void release();
  /// Sets each task's count of waits still to end for a run.
  void prepareRun();
  /// One run's taking of tasks by the pool's threads.
  class Taking;

  std::uint32_t count = 0;
  std::vector<std::uint32_t> waits;
  /// Each task's followers in the order they were added: a chain through
  /// `followers` from firstFollower to lastFollower (-1 for none).
  struct Follower {
    std::uint32_t task;
    std::int32_t next;
  };
  std::vector<std::int32_t> firstFollower;
  std::vector<std::int32_t> lastFollower;
  std::vector<Follower> followers;
  /// run's count of each task's waits still to end, for waitingCapacity
  /// tasks.
  std::unique_ptr<std::atomic<std::uint32_t>[]> waiting;
  std::uint32_t waitingCapacity = 0;
};
