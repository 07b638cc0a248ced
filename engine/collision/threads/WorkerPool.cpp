#include "engine/collision/threads/WorkerPool.h"

#include <chrono>

#include "engine/collision/threads/CollisionWorkers.h"
#include "platform/Assert.h"

namespace {

/// How long a waiting thread watches for what it waits for before it sleeps:
/// the phases of one pass follow each other within microseconds, most of
/// the calling thread's serial work between them within a hundred, and a
/// watching thread takes the next one at once, while a longer gap (the host
/// between steps) costs one wake-up, which on a virtual machine takes tens
/// of microseconds to come.
constexpr auto kWatchTime = std::chrono::microseconds(120);
/// How long of that the thread keeps its processor throughout; then it
/// offers it between checks, so that on a machine with more threads ready
/// than processors the watching does not hold up the thread it waits for.
constexpr auto kWatchAlone = std::chrono::microseconds(40);
/// Sleeping helpers a helper wakes for a job once it takes part: all that
/// are left. A wake-up's system call costs the waker a few microseconds,
/// the woken thread's start many more, so one thread waking the others at
/// once brings them sooner than a tree of wake-ups, each level waiting for
/// the one before to start.
constexpr std::uint32_t kHelperWakes = kMaxWorkerThreads;
/// Checks between two readings of the clock while watching.
constexpr int kChecksPerClockRead = 64;

/// Tells the processor that this thread is waiting for another one (the
/// other hardware thread of the core runs on), without a system call.
inline void cpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield" ::: "memory");
#endif
}

/// Watches `done` for kWatchTime; true as soon as it holds.
template <typename Done>
bool watchFor(Done&& done) {
  const auto start = std::chrono::steady_clock::now();
  const auto yieldFrom = start + kWatchAlone;
  const auto deadline = start + kWatchTime;
  for (;;) {
    for (int check = 0; check < kChecksPerClockRead; ++check) {
      if (done()) return true;
      cpuRelax();
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return done();
    if (now >= yieldFrom) std::this_thread::yield();
  }
}

/// jobState: the job number above the participant count, whose top bit
/// marks a shared job.
constexpr int kParticipantBits = 32;
constexpr std::uint64_t kParticipantMask = (std::uint64_t{1} << (kParticipantBits - 1)) - 1;
constexpr std::uint64_t kSharedJob = std::uint64_t{1} << (kParticipantBits - 1);
/// The participant count that ends the helpers.
constexpr std::uint64_t kStopParticipants = kParticipantMask;

std::uint64_t jobNumber(std::uint64_t state) { return state >> kParticipantBits; }
std::uint64_t nextJobState(std::uint64_t state, std::uint64_t participants) {
  return ((jobNumber(state) + 1) << kParticipantBits) | participants;
}

/// gate: the shared job's number above a closed bit and the count of
/// helpers inside it.
constexpr std::uint64_t kGateClosed = std::uint64_t{1} << (kParticipantBits - 1);
constexpr std::uint64_t kGateInside = kGateClosed - 1;

}  // namespace

WorkerPool::~WorkerPool() {
  jobState.store(nextJobState(jobState.load(), kStopParticipants));
  for (std::uint32_t k = 1; k <= startedHelpers(); ++k) wakeHelper(k);
  for (std::thread& thread : helperThreads) {
    if (thread.joinable()) thread.join();
  }
}

unsigned WorkerPool::helperEntry(void* argument) {
  auto* helper = static_cast<Helper*>(argument);
  helper->pool->helperLoop(*helper);
  return 0;
}

void WorkerPool::ensureStarted(std::uint32_t wanted) {
  const ThreadStarter starter = workerThreadStarter();
  while (helperThreads.size() < wanted && !startRefused) {
    auto helper = std::make_unique<Helper>();
    helper->pool = this;
    helper->worker = static_cast<std::uint32_t>(helperThreads.size() + 1);
    std::thread thread = starter(&WorkerPool::helperEntry, helper.get(), true);
    if (!thread.joinable()) {
      startRefused = true;
      break;
    }
    helpers.push_back(std::move(helper));
    helperThreads.push_back(std::move(thread));
  }
}

void WorkerPool::wakeHelper(std::uint32_t k) {
  Helper& helper = *helpers[k - 1];
  // The helper marks itself sleeping before it reads jobState for the last
  // time, and jobState changed before this read: either it saw the new job
  // or it is marked, and then it waits on the lock taken here.
  if (!helper.sleeping.load()) return;
  { std::lock_guard<std::mutex> lock(helper.mutex); }
  helper.wake.notify_one();
}

bool WorkerPool::wakeSleepers(std::uint64_t participants, std::uint32_t wakes) {
  while (wakes != 0) {
    const std::uint64_t k = wakeCursor.fetch_add(1);
    if (k > participants) return false;
    Helper& helper = *helpers[k - 1];
    // An awake helper sees the job by itself: the job was published before
    // this read (see wakeHelper).
    if (!helper.sleeping.load()) continue;
    wakeHelper(static_cast<std::uint32_t>(k));
    --wakes;
  }
  return true;
}

bool WorkerPool::anyAwake(std::uint64_t participants) const {
  for (std::uint64_t k = 1; k <= participants; ++k) {
    if (!helpers[k - 1]->sleeping.load()) return true;
  }
  return false;
}

void WorkerPool::notifyCaller() {
  if (!callerSleeping.load()) return;
  { std::lock_guard<std::mutex> lock(finishMutex); }
  finished.notify_one();
}

void WorkerPool::runHere(std::uint32_t worker) {
  try {
    (*job)(worker);
  } catch (...) {
    std::lock_guard<std::mutex> lock(errorMutex);
    if (!helperError) helperError = std::current_exception();
  }
}

void WorkerPool::helperLoop(Helper& self) {
  std::uint64_t seen = 0;
  const auto newJob = [&] { return jobNumber(jobState.load()) != seen; };
  for (;;) {
    if (!watchFor(newJob)) {
      std::unique_lock<std::mutex> lock(self.mutex);
      self.sleeping.store(true);
      self.wake.wait(lock, newJob);
      self.sleeping.store(false);
    }
    // The job and whether this helper takes part come in one word.
    const std::uint64_t state = jobState.load();
    seen = jobNumber(state);
    const std::uint64_t participants = state & kParticipantMask;
    if (participants == kStopParticipants) return;
    if (self.worker > participants) continue;
    if ((state & kSharedJob) == 0) {
      // A helper that takes part holds the job in place until it returns.
      wakeSleepers(participants, kHelperWakes);
      runHere(self.worker);
      if (pending.fetch_sub(1) == 1) notifyCaller();
      continue;
    }
    // A shared job holds still only for the helpers inside its gate; one
    // that comes after the caller closed it (or after a later job opened
    // its own) has nothing left to do.
    std::uint64_t entry = gate.load();
    do {
      if (jobNumber(entry) != seen || (entry & kGateClosed) != 0) break;
    } while (!gate.compare_exchange_weak(entry, entry + 1));
    if (jobNumber(entry) != seen || (entry & kGateClosed) != 0) continue;
    wakeSleepers(participants, kHelperWakes);
    runHere(self.worker);
    const std::uint64_t left = gate.fetch_sub(1);
    if ((left & kGateClosed) != 0 && (left & kGateInside) == 1) notifyCaller();
  }
}

void WorkerPool::waitForHelpers(const std::function<bool()>& done) {
  if (watchFor(done)) return;
  std::unique_lock<std::mutex> lock(finishMutex);
  callerSleeping.store(true);
  finished.wait(lock, done);
  callerSleeping.store(false);
}

void WorkerPool::start(std::uint32_t wanted, const Job& work, bool shared, std::uint32_t& n) {
  ensureStarted(wanted);
  n = std::min(wanted, startedHelpers());
  if (n == 0) return;
  job = &work;
  const std::uint64_t next = nextJobState(jobState.load(), n | (shared ? kSharedJob : 0));
  if (shared) {
    gate.store(jobNumber(next) << kParticipantBits);
  } else {
    pending.store(n);
  }
  wakeCursor.store(1);
  jobState.store(next);
  // A helper that takes part wakes the sleeping ones, kHelperWakes each. An
  // awake helper takes part by itself; only when every helper sleeps does
  // this thread wake one, so that a job mostly starts without a system call
  // here.
  if (!anyAwake(n)) wakeSleepers(n, 1);
}

void WorkerPool::finish(std::exception_ptr callerError) {
  job = nullptr;
  std::exception_ptr error;
  {
    std::lock_guard<std::mutex> lock(errorMutex);
    error = helperError;
    helperError = nullptr;
  }
  if (callerError) std::rethrow_exception(callerError);
  if (error) std::rethrow_exception(error);
}

std::exception_ptr WorkerPool::runOwnShare(const Job& work) {
  try {
    work(0);
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
}

void WorkerPool::run(std::uint32_t wanted, const Job& work) {
  std::uint32_t n = 0;
  start(wanted, work, false, n);
  if (n == 0) {
    work(0);
    return;
  }
  const std::exception_ptr callerError = runOwnShare(work);
  waitForHelpers([&] { return pending.load() == 0; });
  finish(callerError);
}

void WorkerPool::runShared(std::uint32_t wanted, const Job& work) {
  std::uint32_t n = 0;
  start(wanted, work, true, n);
  if (n == 0) {
    work(0);
    return;
  }
  const std::exception_ptr callerError = runOwnShare(work);
  // Helpers that have not come in by now (on a busy machine, not yet given
  // a processor) are not waited for.
  const std::uint64_t closing = gate.fetch_or(kGateClosed);
  if ((closing & kGateInside) != 0) waitForHelpers([&] { return (gate.load() & kGateInside) == 0; });
  finish(callerError);
}

void TaskOrder::reset(std::uint32_t n) {
  count = n;
  reserveScratch(waits, n);
  reserveScratch(firstFollower, n);
  reserveScratch(lastFollower, n);
  reserveScratch(followers, n);
  waits.assign(n, 0);
  firstFollower.assign(n, -1);
  lastFollower.assign(n, -1);
  followers.clear();
}

void TaskOrder::release() {
  count = 0;
  clearScratch(waits);
  clearScratch(firstFollower);
  clearScratch(lastFollower);
  clearScratch(followers);
  if (waitingCapacity * sizeof(waiting[0]) > kCachedBlockBytes) {
    waiting.reset();
    waitingCapacity = 0;
  }
}

void TaskOrder::wait(std::uint32_t earlier, std::uint32_t later) {
  const std::int32_t last = lastFollower[earlier];
  if (last >= 0 && followers[last].task == later) return;
  const auto added = static_cast<std::int32_t>(followers.size());
  followers.push_back(Follower{later, -1});
  (last >= 0 ? followers[last].next : firstFollower[earlier]) = added;
  lastFollower[earlier] = added;
  ++waits[later];
}

void TaskOrder::prepareRun() {
  if (waitingCapacity < count) {
    const std::uint32_t room = std::max<std::uint32_t>(count, kKeptScratchBytes / sizeof(waiting[0]));
    waiting.reset(new std::atomic<std::uint32_t>[room]);
    waitingCapacity = room;
  }
  for (std::uint32_t i = 0; i < count; ++i) waiting[i].store(waits[i], std::memory_order_relaxed);
}

namespace {

/// A task's count of waits once a thread has taken it.
constexpr std::uint32_t kTaskTaken = ~std::uint32_t{0};
/// No task: none ready, or none left to take.
constexpr std::uint32_t kNoTask = ~std::uint32_t{0};
/// Tasks past the earliest one not yet taken that a free thread looks at
/// for one it can run: enough to pass the chains a pass's order makes, few
/// enough that a look costs well under a task.
constexpr std::uint32_t kTaskLookahead = 64;

}  // namespace

/// One run's taking of tasks. A task is taken by turning its count of
/// waits from 0 to kTaskTaken, so that taking one costs no lock: a free
/// thread takes the earliest task it finds ready from firstOpen on, below
/// which every task is taken. Threads that found nothing to take sleep
/// until a task is left for others, the last one is taken or one failed.
class TaskOrder::Taking {
 public:
  explicit Taking(TaskOrder& order) : order(order) {}

  /// Runs tasks on this thread until every task is taken or one failed.
  void work(std::uint32_t worker, const std::function<void(std::uint32_t, std::uint32_t)>& fn) {
    std::uint32_t task = kNoTask;
    for (;;) {
      if (task == kNoTask) task = take();
      if (task == kNoTask || failed.load()) return;
      try {
        fn(task, worker);
      } catch (...) {
        failed.store(true);
        wakeSleepers();
        throw;
      }
      task = releaseFollowers(task);
    }
  }

 private:
  /// Ends one wait of each of task's followers. The earliest follower
  /// released is taken to run on this thread next (returned; kNoTask for
  /// none); the others are left for whoever is free.
  std::uint32_t releaseFollowers(std::uint32_t task) {
    std::uint32_t next = kNoTask;
    bool others = false;
    for (std::int32_t f = order.firstFollower[task]; f >= 0; f = order.followers[f].next) {
      const std::uint32_t follower = order.followers[f].task;
      if (order.waiting[follower].fetch_sub(1) != 1) continue;
      if (next != kNoTask) others = true;
      next = std::min(next, follower);
    }
    const std::uint32_t mine = next != kNoTask && tryTake(next) ? next : kNoTask;
    if (others) {
      offered.fetch_add(1);
      wakeSleepers();
    }
    return mine;
  }

  void wakeSleepers() {
    if (sleepers.load() == 0) return;
    {
      std::lock_guard<std::mutex> lock(sleepMutex);
      ++released;
    }
    sleepWake.notify_all();
  }

  bool tryTake(std::uint32_t task) {
    std::uint32_t ready = 0;
    if (!order.waiting[task].compare_exchange_strong(ready, kTaskTaken)) return false;
    if (taken.fetch_add(1) + 1 == order.count) wakeSleepers();
    return true;
  }

  /// The earliest ready task within kTaskLookahead of firstOpen, taken;
  /// kNoTask when there is none.
  std::uint32_t findReady() {
    const std::uint32_t first = firstOpen.load();
    const std::uint32_t end = std::min(order.count, first + kTaskLookahead);
    std::uint32_t open = first;
    std::uint32_t found = kNoTask;
    for (std::uint32_t i = first; i < end && found == kNoTask; ++i) {
      const std::uint32_t left = order.waiting[i].load();
      if (left == 0 && tryTake(i)) found = i;
      if (open == i && (left == kTaskTaken || found == i)) ++open;
    }
    // Tasks taken from the first open one on need not be looked at again.
    std::uint32_t seen = first;
    while (seen < open && !firstOpen.compare_exchange_weak(seen, open)) {
    }
    return found;
  }

  bool over() const { return failed.load() || taken.load() == order.count; }

  /// A task to run, watched for and then slept for; kNoTask once every task
  /// is taken or the run failed.
  std::uint32_t take() {
    std::uint32_t task = kNoTask;
    std::uint32_t lookedAt = 0;
    std::uint32_t lookedFrom = kNoTask;
    const auto found = [&] {
      if (over()) return true;
      const std::uint32_t offers = offered.load();
      const std::uint32_t from = firstOpen.load();
      if (offers == lookedAt && from == lookedFrom) return false;
      lookedAt = offers;
      lookedFrom = from;
      task = findReady();
      return task != kNoTask;
    };
    for (;;) {
      if (watchFor(found)) return task;
      // Counted among the sleepers, this thread is woken by whatever
      // releases a task after its last look below (which may take a task
      // and so wake others: it is made without the lock).
      sleepers.fetch_add(1);
      std::uint64_t seen = 0;
      {
        std::lock_guard<std::mutex> lock(sleepMutex);
        seen = released;
      }
      const bool now = found();
      if (!now) {
        std::unique_lock<std::mutex> lock(sleepMutex);
        sleepWake.wait(lock, [&] { return released != seen || over(); });
      }
      sleepers.fetch_sub(1);
      if (now) return task;
    }
  }

  TaskOrder& order;
  std::atomic<std::uint32_t> firstOpen{0};
  std::atomic<std::uint32_t> taken{0};
  std::atomic<bool> failed{false};
  std::mutex sleepMutex;
  std::condition_variable sleepWake;
  /// Wake-ups given to the sleepers, counted under sleepMutex.
  std::uint64_t released = 0;
  std::atomic<std::uint32_t> sleepers{0};
  /// Tasks released and left for others, counted: a thread that found
  /// nothing looks again only once this or firstOpen moved, instead of
  /// reading the counts others are writing over and over.
  std::atomic<std::uint32_t> offered{0};
};

void TaskOrder::run(WorkerPool* pool, std::uint32_t helpers,
                    const std::function<void(std::uint32_t, std::uint32_t)>& fn, std::uint32_t tasksPerThread) {
  // A few tasks are done before helpers would have woken.
  if (tasksPerThread == 0) tasksPerThread = 1;
  if (pool == nullptr || helpers == 0 || count < std::min(kTaskOrderMinimum, 2 * tasksPerThread)) {
    for (std::uint32_t i = 0; i < count; ++i) fn(i, 0);
    release();
    return;
  }
  // Each thread gets a share worth waking it for.
  helpers = std::min(helpers, count / tasksPerThread - 1);
  prepareRun();
  Taking taking(*this);
  pool->runShared(helpers, [&](std::uint32_t worker) { taking.work(worker, fn); });
  release();
}
