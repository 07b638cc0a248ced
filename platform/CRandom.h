#pragma once

// The pseudo-random generator of the Windows C runtime, reproduced bit for bit
// so that seeded shatter patterns and fracture splits give the same results as
// on the original platform. Every random number of the engine comes from here;
// nothing calls the C library's own rand.
//
// state = state * 214013 + 2531011 (mod 2^32); result = (state >> 16) & 0x7FFF.
// The state is shared by all callers, as the C runtime's is, and starts as
// after srand(1) at each load of the module (platform/ModuleState.h).
namespace zov::platform {

/// The largest value crtRand returns.
constexpr int kRandMax = 32767;

/// Reseeds the process-wide generator (the C runtime's srand).
void crtSrand(unsigned int seed);

/// Next value in [0, kRandMax] (the C runtime's rand). Safe to call from several
/// threads; the sequence is then shared between them.
int crtRand();

}  // namespace zov::platform
