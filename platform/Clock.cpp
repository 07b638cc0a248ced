#include "platform/Clock.h"

#include <chrono>

namespace zov::platform {
namespace {

using SteadyClock = std::chrono::steady_clock;

const SteadyClock::time_point g_processStart = SteadyClock::now();

}  // namespace

long crtClock() {
  const auto elapsed = SteadyClock::now() - g_processStart;
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

}  // namespace zov::platform
