#pragma once

// Thread start and priority as the engine's worker passes need them, on
// std::thread. The passes start one thread per worker with work, raise it to
// the highest priority, and wait for it to end.

#include <thread>

namespace zov::platform {

/// A thread's entry point: gets the argument given at the start and returns
/// the thread's exit code.
using ThreadRoutine = unsigned (*)(void* argument);

/// Starts routine(argument) on a new thread with the default stack size.
/// With `highestPriority` the thread first asks for the highest priority
/// (two steps above normal); the request is best effort and a refusal (an
/// unprivileged process on Linux) is ignored. Returns a thread that is not
/// joinable when the system cannot start one.
std::thread startThread(ThreadRoutine routine, void* argument, bool highestPriority);

/// Ends the calling thread, as if its routine had returned `exitCode`,
/// unwinding its frames (destructors run; a routine must not swallow the
/// unwinding with catch (...)). Only threads that startThread started can be
/// ended so; on any other thread this does nothing and answers false.
bool exitCurrentThread(unsigned exitCode);

/// Asks the system to cancel a thread that startThread started and whose
/// routine has not returned yet: true when the request was made, false (with
/// nothing done) for any other thread. Such a thread runs with cancellation
/// off except inside a CancellationPoint, so the request takes effect only
/// there, at once when the thread waits in one already, else at the next
/// one it enters; a thread that enters none runs on to its end. The thread
/// unwinds as exitCurrentThread unwinds it; wait for it with join.
bool cancelThread(std::thread& thread);

/// While it lives, a blocking call of the calling thread that the system
/// counts as a cancellation point (a condition wait, a join) can end the
/// thread when cancelThread asked for it; on a thread that startThread did
/// not start it does nothing. Its scope must hold only code that unwinds
/// cleanly from the blocking call.
class CancellationPoint {
 public:
  CancellationPoint();
  ~CancellationPoint();
  CancellationPoint(const CancellationPoint&) = delete;
  CancellationPoint& operator=(const CancellationPoint&) = delete;

 private:
  bool opened = false;
  int previousState = 0;
};

}  // namespace zov::platform
