// The registry of the resets that put module-wide variables back at load.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/CRandom.h"
#include "platform/ModuleState.h"

using zov::platform::ModuleStateReset;

namespace {

constexpr int kResets = 8;
// How often each reset ran, and whether it is registered; both start zeroed
// before any file's initialisers run.
std::array<int, kResets> g_runs{};
std::array<bool, kResets> g_registered{};

template <int N>
void countRun() {
  ++g_runs[N];
}

/// Registers reset N the first time it is reached, as a function's own
/// state registers its reset.
template <int N>
void reach() {
  static const ModuleStateReset reset(countRun<N>);
  g_registered[N] = true;
}

// Registered as the program starts, by this file's initialisers, which the
// linker puts before or after those of the registry's own file.
const bool g_registeredAtStart = (reach<0>(), reach<1>(), true);
// Registered at start; its first run registers reset 3, while the registry
// is running its resets.
const ModuleStateReset g_registersAnother([] {
  ++g_runs[2];
  reach<3>();
});
const bool g_registersAnotherAtStart = (g_registered[2] = true);

TEST(ModuleState, EveryRegisteredResetRunsOnceAtEachResetHoweverLateItWasRegistered) {
  ASSERT_TRUE(g_registeredAtStart && g_registersAnotherAtStart);
  // Resets reached before each pass, in that order.
  const std::vector<std::vector<void (*)()>> passes = {
      {}, {reach<5>, reach<4>}, {}, {reach<4>, reach<7>, reach<6>}, {}};
  for (size_t pass = 0; pass < passes.size(); ++pass) {
    for (void (*registration)() : passes[pass]) registration();
    const std::array<bool, kResets> registered = g_registered;
    const std::array<int, kResets> before = g_runs;
    zov::platform::crtSrand(7);
    zov::platform::crtRand();
    zov::platform::resetModuleState();
    for (int n = 0; n < kResets; ++n) {
      const int runs = g_runs[n] - before[n];
      if (registered[n]) {
        EXPECT_EQ(runs, 1) << "reset " << n << ", pass " << pass;
      } else if (n == 3) {
        // Registered during the pass, whose own state is then as at start.
        EXPECT_LE(runs, 1) << "pass " << pass;
      } else {
        EXPECT_EQ(runs, 0) << "reset " << n << ", pass " << pass;
      }
    }
    // The runtime's random state, registered by another file of the
    // library, is as if srand(1) had been called: its first value is 41.
    EXPECT_EQ(zov::platform::crtRand(), 41) << "pass " << pass;
  }
  EXPECT_TRUE(g_registered[3]);
}

}  // namespace
