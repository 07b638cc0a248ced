#pragma once

// The engine's locks, condition variables and thread control, behind three
// small interfaces with one implementation each. The implementations keep
// the contracts of the Windows primitives they are named after (re-entrant
// critical sections; condition variables whose signal wakes at most one
// waiter and whose broadcast wakes every waiter present, neither remembered
// for later waiters) on std::thread, std::mutex and std::condition_variable.
//
// One win32ThreadsApi serves the process: the collision passes create it with
// their worker table and wait through it for the worker threads they start
// (platform/Threads.h).
//
// A thread that platform::startThread started can be ended from outside only
// where it blocks in one of these waits (a condition wait, waitThread): the
// system's cancellation is off everywhere else in it, since ending a thread
// wherever it stands would leave locks held and memory unfreed.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

/// waitThread's result when the thread has ended.
constexpr unsigned kWaitObject0 = 0;
/// waitThread's result when there is no thread to wait for.
constexpr unsigned kWaitFailed = 0xFFFFFFFFu;

/// A lock that the thread holding it may enter again.
class vyrCriticalSection {
 public:
  virtual ~vyrCriticalSection() = default;  // slot 0
  /// Enters, waiting as long as another thread holds it; 0.
  virtual int lock() = 0;  // slot 1
  /// Enters without waiting: 0 when entered, -1 when another thread holds it.
  virtual int tryLock() = 0;  // slot 2
  /// Leaves once; only the holding thread may call it. 0.
  virtual int unlock() = 0;  // slot 3
};

/// A condition variable used with a vyrCriticalSection.
class vyrConditionVar {
 public:
  virtual ~vyrConditionVar() = default;  // slot 0
  /// Leaves `held` (entered once by the caller), waits without time-out for
  /// a signal or broadcast, and enters `held` again; 0. A thread ended by
  /// terminateThread while it waits here enters `held` again before it
  /// unwinds.
  virtual int wait(vyrCriticalSection* held) = 0;  // slot 1
  /// Wakes at most one waiting thread; nothing when none waits. 0.
  virtual int signal() = 0;  // slot 2
  /// Wakes every thread waiting now; nothing when none waits. 0.
  virtual int broadcast() = 0;  // slot 3
};

/// Thread control and the factory of locks and condition variables.
class vyrThreadsApi {
 public:
  virtual ~vyrThreadsApi() = default;  // slot 0
  /// Ends a thread by force: nonzero when it will end. See win32ThreadsApi.
  virtual int terminateThread(std::thread& thread, unsigned exitCode) = 0;  // slot 1
  /// Ends the calling thread.
  virtual void exitThread(unsigned exitCode) = 0;  // slot 2
  /// Waits without time-out until the thread has ended: kWaitObject0, or
  /// kWaitFailed when there is no thread to wait for. A thread ended by
  /// terminateThread while it waits here leaves `thread` joinable.
  virtual unsigned waitThread(std::thread& thread) = 0;  // slot 3
  /// A new critical section owned by the caller; null when memory runs out.
  virtual vyrCriticalSection* newCriticalSection() = 0;  // slot 4
  /// Deletes *section when it is not null and sets it to null.
  virtual void deleteCriticalSection(vyrCriticalSection*& section) = 0;  // slot 5
  /// A new condition variable owned by the caller; null when memory runs out.
  virtual vyrConditionVar* newConditionVar() = 0;  // slot 6
  /// Deletes *condition when it is not null and sets it to null.
  virtual void deleteConditionVar(vyrConditionVar*& condition) = 0;  // slot 7
};

class win32CriticalSection : public vyrCriticalSection {
 public:
  win32CriticalSection() = default;
  win32CriticalSection(const win32CriticalSection&) = delete;
  win32CriticalSection& operator=(const win32CriticalSection&) = delete;

  int lock() override;
  int tryLock() override;
  int unlock() override;

 private:
  std::recursive_mutex section;
};

class win32ConditionVar : public vyrConditionVar {
 public:
  win32ConditionVar() = default;
  win32ConditionVar(const win32ConditionVar&) = delete;
  win32ConditionVar& operator=(const win32ConditionVar&) = delete;

  int wait(vyrCriticalSection* held) override;
  int signal() override;
  int broadcast() override;

 private:
  std::mutex internal;  ///< guards every field below
  std::condition_variable wakeUp;
  /// Threads waiting that no signal or broadcast has released yet.
  std::uint32_t waiterCount = 0;
  /// Wake-ups granted by signal and not yet taken, never more than the
  /// waiters: each one releases exactly one waiter, so two signals to two
  /// waiters wake both.
  std::uint32_t signalEvent = 0;
  /// Counts broadcasts; a waiter is released when it changes, so a broadcast
  /// releases exactly the threads waiting at that moment.
  std::uint64_t broadcastEvent = 0;
};

class win32ThreadsApi : public vyrThreadsApi {
 public:
  /// The system's cancellation of a thread that platform::startThread
  /// started and whose routine runs: it ends where it waits in a condition
  /// wait or in waitThread, at once when it waits already, else at its next
  /// such wait (a thread that waits no more runs on to its end), unwinding
  /// its frames as exitThread does; answers 1. The calling thread itself is
  /// ended by exitThread. Any other thread (not started by the platform
  /// layer, not started, or past its routine) is left alone: 0. The exit
  /// code is not kept: a std::thread has none to read.
  int terminateThread(std::thread& thread, unsigned exitCode) override;
  /// Ends the calling thread when platform::startThread started it;
  /// elsewhere it does nothing.
  void exitThread(unsigned exitCode) override;
  unsigned waitThread(std::thread& thread) override;
  vyrCriticalSection* newCriticalSection() override;
  void deleteCriticalSection(vyrCriticalSection*& section) override;
  vyrConditionVar* newConditionVar() override;
  void deleteConditionVar(vyrConditionVar*& condition) override;
};
