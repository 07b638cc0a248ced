#include "platform/Processors.h"

#include <omp.h>

#include <atomic>

namespace zov::platform {
namespace {

std::atomic<int> g_override{0};

}  // namespace

int processorCount() {
  const int forced = g_override.load(std::memory_order_relaxed);
  return forced > 0 ? forced : omp_get_num_procs();
}

void setProcessorCountOverride(int count) { g_override.store(count > 0 ? count : 0, std::memory_order_relaxed); }

}  // namespace zov::platform
