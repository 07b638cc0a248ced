#include "platform/ProcessorFeatures.h"

namespace zov::platform {

bool hasAvx2() {
#if ZOV_AVX2_KERNELS
  static const bool supported = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return supported;
#else
  return false;
#endif
}

}  // namespace zov::platform
