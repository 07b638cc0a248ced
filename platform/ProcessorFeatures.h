#pragma once

// What the processor offers beyond the baseline the code is compiled for.
// Code with a faster encoding for wider registers compiles it beside the
// baseline one where ZOV_AVX2_KERNELS is 1, and takes it at run time when
// hasAvx2() answers true.

/// 1 where functions for AVX2 processors can be compiled beside the baseline
/// code ([[gnu::target("avx2")]], <immintrin.h>) and the processor can be
/// asked whether it runs them (GCC and Clang on x86); 0 elsewhere.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define ZOV_AVX2_KERNELS 1
#else
#define ZOV_AVX2_KERNELS 0
#endif

namespace zov::platform {

/// Whether the processor and the system run AVX2 instructions. Asked once,
/// then answered from memory; false wherever ZOV_AVX2_KERNELS is 0.
bool hasAvx2();

}  // namespace zov::platform
