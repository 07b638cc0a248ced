#pragma once

// Module-wide variables (counters, flags, registries, the random state) start
// at their initial values at each load of the module. A host may unload the
// module and load it again in the same process while the system keeps the
// file mapped (another module or the program links it), and then nothing
// gives them their initial values again but the module itself: each file
// that keeps such variables registers, beside them, a function that puts
// them back, and the module's entry point runs every one of them when it is
// loaded.
namespace zov::platform {

/// Registers `reset` with resetModuleState for the life of the program.
/// Define one at namespace scope, beside the variables that `reset` puts
/// back at their initial values.
class ModuleStateReset {
 public:
  explicit ModuleStateReset(void (*reset)()) noexcept;
  ModuleStateReset(const ModuleStateReset&) = delete;
  ModuleStateReset& operator=(const ModuleStateReset&) = delete;

 private:
  friend void resetModuleState();
  void (*const reset)();
  const ModuleStateReset* next = nullptr;
};

/// Runs every registered reset, so that the module-wide variables of every
/// layer linked into this program start again as at load. Only while
/// nothing else runs in the module: no worker thread, and no object alive
/// that relies on the state (no world, body or node of the module).
void resetModuleState();

}  // namespace zov::platform
