#include "src/draw/viewportResources.h"

#include <maya/MGlobal.h>

#include "src/draw/RawFootPrintDrawAgentCoreProfile.h"
#include "src/draw/RawFootPrintDrawAgentDX.h"

void releaseDrawAgents() {
  getDXDrawAgent()->releaseDXDrawAgent();
  getCoreProfileDrawAgent()->releaseCoreProfileDrawAgent();
}

void onReleaseViewportResources(void*) {
  MGlobal::executeCommand("displayColor -dormant \"grid\" 3", false, false);
  MGlobal::executeCommand("savePrefs -colors", false, false);
  releaseDrawAgents();
}
