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

}  // namespace zov::platform
