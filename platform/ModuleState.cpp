#include "platform/ModuleState.h"

namespace zov::platform {
namespace {

// The registered resets, the latest first. Zero-initialised before any
// registration runs, whatever order the files' initialisers run in.
const ModuleStateReset* g_latestReset = nullptr;

}  // namespace

ModuleStateReset::ModuleStateReset(void (*reset)()) noexcept : reset(reset), next(g_latestReset) {
  g_latestReset = this;
}

void resetModuleState() {
  for (const ModuleStateReset* entry = g_latestReset; entry != nullptr; entry = entry->next) entry->reset();
}

}  // namespace zov::platform
