#include "src/draw/viewportResources.h"

#include <new>

#include "platform/ModuleState.h"
#include "src/draw/RawFootPrintDrawAgentCoreProfile.h"
#include "src/draw/RawFootPrintDrawAgentDX.h"
#include "src/draw/RawFootPrintDrawAgentGL.h"

namespace {

/// The agent as constructed, without a call to the graphics API.
template <typename Agent>
void renew(Agent& agent) {
  agent.~Agent();
  new (&agent) Agent();
}

/// A load starts with agents as new: the graphics objects an earlier load's
/// agents made were freed when it unloaded, in contexts that may be gone.
const zov::platform::ModuleStateReset g_drawAgentsReset([] {
  renew(*getGLDrawAgent());
  renew(*getCoreProfileDrawAgent());
  renew(*getDXDrawAgent());
});

}  // namespace

void releaseDrawAgents() {
  getDXDrawAgent()->releaseDXDrawAgent();
  getCoreProfileDrawAgent()->releaseCoreProfileDrawAgent();
}
