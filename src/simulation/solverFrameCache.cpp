// The solver's frame caches: each rigid body keeps its poses; the solver
// sizes them from `cacheSize`.
#include <maya/MAnimControl.h>
#include <maya/MGlobal.h>

#include <cmath>

#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

namespace {

const char* const kCacheTooSmall = " ZOV cache size is less than current time range ";

}  // namespace

void zovSolverNode::sizeFrameCaches(MDataBlock& block) {
  if (!block.inputValue(cacheActive).asBool()) return;
  const int size = block.inputValue(cacheSize).asInt();
  const int simulated = static_cast<int>(std::trunc((lastSimTime - MAnimControl::minTime()).value()));
  // Growing keeps what was simulated; a smaller size after the start changes nothing.
  if (size >= 0 && cacheCapacity >= static_cast<std::uint32_t>(size)) {
    if (simulated == 0) resetFrameCaches(size);
  } else if (simulated > 0) {
    growFrameCaches(size);
  } else {
    resetFrameCaches(size);
  }
}

void zovSolverNode::resetFrameCaches(int size) {
  const int first = MPlug(thisMObject(), startFrame).asInt();
  for (rigidBodyNode* rigid : userNodesOf<rigidBodyNode>(connectedPlugs(thisMObject(), rigidBodies)))
    rigid->allocateFrameCache(size, first);
  lastSimTime = MTime(0.0);
  // The time goes back to the start after this evaluation, outside it and
  // off the undo queue; that evaluation records the start poses.
  const MString start(std::to_string(MAnimControl::minTime().as(MTime::uiUnit())).c_str());
  MGlobal::executeCommandOnIdle("undoInfo -swf off; currentTime " + start + "; undoInfo -swf on");
  deactivateCachedMode();
  if ((MAnimControl::maxTime() - MAnimControl::minTime()).value() > size) MGlobal::displayWarning(kCacheTooSmall);
  cacheCapacity = size > 0 ? static_cast<std::uint32_t>(size) : 0;
}

void zovSolverNode::growFrameCaches(int size) {
  for (rigidBodyNode* rigid : userNodesOf<rigidBodyNode>(connectedPlugs(thisMObject(), rigidBodies)))
    rigid->growFrameCache(size);
  MPlug mode(thisMObject(), cachedMode);
  if (!mode.isNull()) {
    mode.setValue(false);
    MGlobal::displayInfo(kCachedModeOffMessage);
  }
  cacheCapacity = size > 0 ? static_cast<std::uint32_t>(size) : 0;
}
