#include "src/fracture/shatterGroupFinder.h"

#include "platform/ModuleState.h"

namespace {

ShatterGroupFinder g_shatterGroupFinder = nullptr;
const zov::platform::ModuleStateReset g_groupFinderReset([] { g_shatterGroupFinder = nullptr; });

}  // namespace

void registerShatterGroupFinder(ShatterGroupFinder finder) { g_shatterGroupFinder = finder; }

bool findShatterGroup(const MDagPath& path, int& group) {
  return g_shatterGroupFinder != nullptr && g_shatterGroupFinder(path, group);
}
