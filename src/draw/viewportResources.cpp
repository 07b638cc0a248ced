#include "src/draw/viewportResources.h"

#include "src/draw/RawFootPrintDrawAgentCoreProfile.h"
#include "src/draw/RawFootPrintDrawAgentDX.h"

void releaseDrawAgents() {
  getDXDrawAgent()->releaseDXDrawAgent();
  getCoreProfileDrawAgent()->releaseCoreProfileDrawAgent();
}
