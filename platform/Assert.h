#pragma once

// ZOV_ASSERT(condition) checks an invariant the code relies on: a state that
// only a fault of the program itself can break, never something a user or a
// stored scene can give (those are refused with results and messages).
//
// Builds without NDEBUG (the sanitizer variants, a debug build) evaluate the
// condition and, when it does not hold, print it with its file and line and
// abort. The optimised build (NDEBUG) compiles the check out: the condition
// is not evaluated, though it must still compile.

/// 1 where ZOV_ASSERT checks its condition, 0 where it is compiled out.
#if defined(NDEBUG)
#define ZOV_ASSERTS_ON 0
#else
#define ZOV_ASSERTS_ON 1
#endif

namespace zov::platform {

/// Prints "<file>:<line>: assertion failed: <condition>" to standard error
/// and aborts the process.
[[noreturn]] void assertionFailed(const char* condition, const char* file, int line);

}  // namespace zov::platform

#if ZOV_ASSERTS_ON
#define ZOV_ASSERT(condition)                          \
  (static_cast<bool>(condition) ? static_cast<void>(0) \
                                : ::zov::platform::assertionFailed(#condition, __FILE__, __LINE__))
#else
// sizeof keeps the condition an unevaluated operand: it compiles, its names
// count as used, and nothing of it runs.
#define ZOV_ASSERT(condition) static_cast<void>(sizeof(static_cast<bool>(condition)))
#endif
