#pragma once

// The C runtime's clock as the original platform has it: wall-clock
// milliseconds since the process started (not processor time).
namespace zov::platform {

/// Ticks of crtClock per second.
constexpr long kClocksPerSecond = 1000;

/// Milliseconds of wall-clock time since the process started.
long crtClock();

}  // namespace zov::platform
