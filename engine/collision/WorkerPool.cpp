#include "engine/collision/WorkerPool.h"

#include "engine/collision/CollisionWorkers.h"

namespace {

/// Checks of a waiting thread before it sleeps: phases of one pass follow
/// each other within microseconds, and a spinning helper takes the next one
/// at once.
constexpr int kPoolSpinChecks = 1000;
/// A short wait of a spinning thread: the rest of its time slice, so that
/// a busy machine runs the threads with work first.
void relax() { std::this_thread::yield(); }

}  // namespace

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    stopping.store(true);
    generation.fetch_add(1);
  }
  wake.notify_all();
  for (std::thread& thread : threads) {
    if (thread.joinable()) thread.join();
  }
}

unsigned WorkerPool::helperEntry(void* argument) {
  const auto* start = static_cast<HelperStart*>(argument);
  start->pool->helperLoop(start->worker);
  return 0;
}

void WorkerPool::ensureStarted(std::uint32_t helpers) {
  const ThreadStarter starter = workerThreadStarter();
  while (threads.size() < helpers && !startRefused) {
    const auto worker = static_cast<std::uint32_t>(threads.size() + 1);
    starts.push_back(std::make_unique<HelperStart>(HelperStart{this, worker}));
    std::thread thread = starter(&WorkerPool::helperEntry, starts.back().get(), true);
    if (!thread.joinable()) {
      starts.pop_back();
      startRefused = true;
      break;
    }
    threads.push_back(std::move(thread));
  }
}

void WorkerPool::helperLoop(std::uint32_t worker) {
  std::uint64_t seen = 0;
  for (;;) {
    // Spin a little for the next job, then sleep; what the job is, and
    // whether this helper takes part, is read under the lock, so that a
    // helper waking late never mixes one job's values with another's.
    for (int spins = 0; generation.load() == seen && spins < kPoolSpinChecks; ++spins) relax();
    const Job* work = nullptr;
    {
      std::unique_lock<std::mutex> lock(mutex);
      wake.wait(lock, [&] { return generation.load() != seen; });
      seen = generation.load();
      if (stopping.load()) return;
      if (worker > participants.load()) continue;
      work = job;
    }
    try {
      (*work)(worker);
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex);
      if (!helperError) helperError = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (pending.fetch_sub(1) == 1) finished.notify_all();
  }
}

void WorkerPool::run(std::uint32_t helpers, const Job& work) {
  ensureStarted(helpers);
  const std::uint32_t n = std::min(helpers, startedHelpers());
  if (n == 0) {
    work(0);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    job = &work;
    helperError = nullptr;
    participants.store(n);
    pending.store(n);
    generation.fetch_add(1);
  }
  wake.notify_all();
  std::exception_ptr callerError;
  try {
    work(0);
  } catch (...) {
    callerError = std::current_exception();
  }
  int spins = 0;
  while (pending.load() != 0 && spins < kPoolSpinChecks) {
    relax();
    ++spins;
  }
  std::exception_ptr error;
  {
    std::unique_lock<std::mutex> lock(mutex);
    finished.wait(lock, [&] { return pending.load() == 0; });
    job = nullptr;
    error = helperError;
    helperError = nullptr;
  }
  if (callerError) std::rethrow_exception(callerError);
  if (error) std::rethrow_exception(error);
}

void TaskOrder::reset(std::uint32_t n) {
  count = n;
  waits.assign(n, 0);
  if (followers.size() < n) followers.resize(n);
  for (std::uint32_t i = 0; i < n; ++i) followers[i].clear();
}

void TaskOrder::wait(std::uint32_t earlier, std::uint32_t later) {
  std::vector<std::uint32_t>& after = followers[earlier];
  if (!after.empty() && after.back() == later) return;
  after.push_back(later);
  ++waits[later];
}

void TaskOrder::run(WorkerPool* pool, std::uint32_t helpers,
                    const std::function<void(std::uint32_t, std::uint32_t)>& fn) {
  // A few tasks are done before helpers would have woken.
  if (pool == nullptr || helpers == 0 || count < kTaskOrderMinimum) {
    for (std::uint32_t i = 0; i < count; ++i) fn(i, 0);
    return;
  }
  std::unique_ptr<std::atomic<std::uint32_t>[]> waiting(new std::atomic<std::uint32_t>[count]);
  std::vector<std::uint32_t> ready;
  for (std::uint32_t i = 0; i < count; ++i) {
    waiting[i].store(waits[i]);
    if (waits[i] == 0) ready.push_back(i);
  }
  // Taken from the back: the earliest tasks first.
  std::reverse(ready.begin(), ready.end());
  std::mutex readyMutex;
  std::atomic<std::uint32_t> done{0};
  std::atomic<bool> failed{false};
  pool->run(helpers, [&](std::uint32_t worker) {
    while (done.load() < count && !failed.load()) {
      std::uint32_t task = 0;
      bool got = false;
      {
        std::lock_guard<std::mutex> lock(readyMutex);
        if (!ready.empty()) {
          task = ready.back();
          ready.pop_back();
          got = true;
        }
      }
      if (!got) {
        relax();
        continue;
      }
      try {
        fn(task, worker);
      } catch (...) {
        failed.store(true);
        throw;
      }
      for (std::uint32_t next : followers[task]) {
        if (waiting[next].fetch_sub(1) == 1) {
          std::lock_guard<std::mutex> lock(readyMutex);
          ready.push_back(next);
        }
      }
      done.fetch_add(1);
    }
  });
}
