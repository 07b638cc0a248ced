#include "platform/CRandom.h"

#include <atomic>
#include <cstdint>

#include "platform/ModuleState.h"

namespace zov::platform {
namespace {

constexpr std::uint32_t kMultiplier = 214013u;
constexpr std::uint32_t kIncrement = 2531011u;

// The C runtime starts as if srand(1) had been called.
constexpr std::uint32_t kInitialState = 1u;

std::atomic<std::uint32_t> g_state{kInitialState};
const ModuleStateReset g_randomStateReset([] { g_state.store(kInitialState, std::memory_order_relaxed); });

}  // namespace

void crtSrand(unsigned int seed) { g_state.store(seed, std::memory_order_relaxed); }

int crtRand() {
  std::uint32_t state = g_state.load(std::memory_order_relaxed);
  std::uint32_t next;
  do {
    next = state * kMultiplier + kIncrement;
  } while (!g_state.compare_exchange_weak(state, next, std::memory_order_relaxed));
  return static_cast<int>((next >> 16) & 0x7FFFu);
}

}  // namespace zov::platform
