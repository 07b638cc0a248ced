// The solver's frame loop: what the solver node does when its `rigidBodies`
// output is evaluated, and the bookkeeping of the bodies it steps.
//
// Frames are simulated one at a time, each only once: a frame after the last
// simulated one is simulated when the time moved forward by at most one
// frame since the previous evaluation (and never jumped further since the
// last reset); a frame at or before the last simulated one is played back
// from the frame caches. The start of the playback range resets everything.
#include <maya/MAnimControl.h>
#include <maya/MConditionMessage.h>
#include <maya/MGlobal.h>
#include <maya/MItDag.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/PublicWorld.h"
#include "src/nodeLinks.h"
#include "src/simulation/frameParticipant.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"
#include "src/simulation/zovCrackerNode.h"

namespace {

const char* const kCachedModeOn = "print \" ZOV bake cached mode is active \\n\"";
/// Whether the body, or the fracture body it is a piece of, is static or
/// waits for its activation.
bool isWaiting(const HardBody& body) {
  if (body.isStatic()) return true;
  const HardBody* owner = body.getParent();
  return owner != nullptr && owner->isStatic();
}

bool isKinematic(const rigidBodyNode& rigid) {
  return rigid.passiveState() == PassiveState::kDrivenByTransform || rigid.isPieceAnimated();
}

int frameNumber(const MTime& time) { return static_cast<int>(std::trunc(time.value())); }

}  // namespace

void zovSolverNode::stepFrame(const MPlug& plug, MDataBlock& block) {
  if (theWorld == nullptr) {
    block.setClean(plug);
    return;
  }
  const MTime T = block.inputValue(inTime).asTime();
  const MTime start = MAnimControl::minTime();
  const int substepCount = block.inputValue(substeps).asInt();
  const bool cached = block.inputValue(cachedMode).asBool();
  const MObject self = thisMObject();
  const MPlugArray bodies = connectedPlugs(self, rigidBodies);
  const MPlugArray crackerPlugs = connectedPlugs(self, crackers);
  const MPlugArray fractures = connectedPlugs(self, fractureBodies);
  // Bodies whose deletion was undone take part again, from where they stand.
  for (rigidBodyNode* rigid : userNodesOf<rigidBodyNode>(bodies))
    if (rigid->awaitsBodyAgain()) rigid->engineBody(true);

  if (T == start) {
    MAnimControl::setPlaybackSpeed(0.0);
    if (keepsCacheAtStart(bodies, fractures, cached)) {
      rewindBodies(bodies, crackerPlugs, fractures);
      for (zovCrackerNode* cracker : userNodesOf<zovCrackerNode>(crackerPlugs)) {
        cracker->resetToRestPosition();
        cracker->placeAtCurrentPose(T);
      }
    } else {
      MDataHandle mode = block.outputValue(cachedMode);
      if (mode.asBool()) MGlobal::displayInfo(kCachedModeOffMessage);
      mode.set(false);
      rewindBodies(bodies, crackerPlugs, fractures);
      resetToStart(bodies, crackerPlugs, fractures, T, substepCount);
      lastSimTime = T;
    }
    maxStep = 1.0;
    prevTime = start;
    return;
  }

  const int frame = frameNumber(T);
  const MTime end = MAnimControl::maxTime();
  const int firstSimulated = block.inputValue(startFrame).asInt();
  const double d = (T - prevTime).value();
  maxStep = std::max(maxStep, d);
  const bool cacheOn = block.inputValue(cacheActive).asBool();

  if (cacheOn && (cached || T <= lastSimTime)) {
    for (rigidBodyNode* rigid : userNodesOf<rigidBodyNode>(bodies)) {
      if (rigid->cachedFrameCount() <= 1) continue;
      const int cacheStart = rigid->cacheStartFrame();
      const unsigned int index = frame > cacheStart ? static_cast<unsigned int>(frame - cacheStart) : 0u;
      if (rigid->isLive() && (!rigid->isPieceAnimated() || frame > cacheStart)) rigid->playCachedFrame(index);
    }
  } else if (T > prevTime && d <= 1.0 && maxStep <= 1.0) {
    // Each frame is simulated once, over the time since the last one.
    if (frame > firstSimulated && T > lastSimTime) {
      const int count = std::max(substepCount, 1);
      const double dt = (T - lastSimTime).as(MTime::kSeconds) / static_cast<double>(count);
      simulateFrame(bodies, crackerPlugs, fractures, T, count, dt);
      lastSimTime = T;
    }
    if (end <= lastSimTime && cacheOn) {
      block.outputValue(cachedMode).set(true);
      MGlobal::executeCommandOnIdle(kCachedModeOn);
    }
  }
  prevTime = T;
}

bool zovSolverNode::keepsCacheAtStart(const MPlugArray& bodies, const MPlugArray& fractures, bool cached) const {
  if (!cached) return false;
  constexpr int kKeyedOrFed = rigidBodyNode::kParametersAnimated | rigidBodyNode::kShapeMeshDeformed;
  for (rigidBodyNode* rigid : userNodesOf<rigidBodyNode>(bodies))
    if (rigid->isAnimated(kKeyedOrFed)) return false;
  if (MConditionMessage::getConditionState("playingBack")) return true;
  // A field may have changed while the time stood still.
  if (!MItDag(MItDag::kDepthFirst, MFn::kField).isDone()) return false;
  for (FrameParticipant* fracture : frameParticipantsOf(fractures))
    if (fracture->parametersAnimated()) return false;
  return true;
}

void zovSolverNode::simulateFrame(const MPlugArray& bodies, const MPlugArray& crackerPlugs, const MPlugArray& fractures,
                                  const MTime& time, int substepCount, double dt) {
  if (theWorld->getNumberOfBodies() == 0) return;
  if (bodies.length() != activeBodies.size() + idleBodies.size()) sortBodies(bodies);
  const int frame = static_cast<int>(std::trunc(time.as(MTime::uiUnit())));
  const bool cacheOn = MPlug(thisMObject(), cacheActive).asBool();
  const double frameDuration = substepCount * dt;
  const MTime before = time - 1.0;

  activateWaitingBodies(frame);
  // Copies: a service may make the solver sort its lists again.
  const std::vector<rigidBodyNode*> active = activeBodies;
  const std::vector<rigidBodyNode*> idle = idleBodies;
  const std::vector<zovCrackerNode*> crackerNodes = userNodesOf<zovCrackerNode>(crackerPlugs);
  for (rigidBodyNode* rigid : idle)
    if (isKinematic(*rigid)) {
      rigid->captureTargetPose(time);
      rigid->computeKinematicVelocity(frameDuration, before, time);
    }
  for (zovCrackerNode* cracker : crackerNodes)
    if (cracker->isActive()) {
      cracker->readTargetPose(time);
      cracker->setVelocityFromMotion(frameDuration, before, time);
    }
  const std::vector<FrameParticipant*> participants = frameParticipantsOf(fractures);
  for (FrameParticipant* fracture : participants) fracture->beforeSubsteps(before, time, frameDuration);

  for (int i = 1; i <= substepCount; ++i) {
    const double fraction = static_cast<double>(i) / static_cast<double>(substepCount);
    for (rigidBodyNode* rigid : idle)
      if (rigid->passiveState() == PassiveState::kDrivenByTransform) rigid->placeAtFraction(fraction, before, time);
    for (zovCrackerNode* cracker : crackerNodes) cracker->placeAtFraction(fraction, before, time);
    theWorld->step(dt);
    applyFields(bodies, fractures, frame, static_cast<float>(dt));
    theWorld->advance(dt, nullptr);
  }

  for (rigidBodyNode* rigid : active) {
    rigid->writeTransform();
    if (cacheOn) rigid->recordFrameAt(frame);
  }
  for (rigidBodyNode* rigid : idle) {
    if (isKinematic(*rigid)) rigid->bodyFromMaya(time, false);
    if (cacheOn && (rigid->firstHitActive() || rigid->isPieceAnimated())) rigid->recordFrameAt(frame);
  }
  for (zovCrackerNode* cracker : crackerNodes)
    if (cracker->isActive()) cracker->placeAtCurrentPose(time);

  for (FrameParticipant* fracture : participants) fracture->afterFrame(frame);
}

void zovSolverNode::activateWaitingBodies(int frame) {
  for (size_t i = 0; i < idleBodies.size();) {
    rigidBodyNode* rigid = idleBodies[i];
    HardBody* body = rigid->engineBody(false);
    bool move = false;
    if (body == nullptr) {
      move = false;
    } else if (body->getParent() == nullptr) {
      if (rigid->activatesAtFrame() && rigid->activationFrame() <= frame) {
        body->disableStatic();
        move = true;
      } else {
        // The engine wakes a body waiting for its first hit.
        move = !body->isStatic();
      }
    } else {
      move = !isWaiting(*body);
    }
    if (move) {
      idleBodies.erase(idleBodies.begin() + static_cast<std::ptrdiff_t>(i));
      activeBodies.push_back(rigid);
    } else {
      ++i;
    }
  }
}

void zovSolverNode::resetToStart(const MPlugArray& bodies, const MPlugArray& crackerPlugs, const MPlugArray& fractures,
                                 const MTime& time, int) {
  sortBodies(bodies);
  const bool cacheOn = MPlug(thisMObject(), cacheActive).asBool();
  const double frameDuration = ((time + 1.0) - time).as(MTime::kSeconds);
  const MTime after = time + 1.0;
  for (rigidBodyNode* rigid : userNodesOf<rigidBodyNode>(bodies)) {
    if (!rigid->isLive()) continue;
    rigid->resetToStart(time);
    HardBody* body = rigid->engineBody(false);
    const bool waiting = body != nullptr && isWaiting(*body);
    if (waiting) {
      if (isKinematic(*rigid)) {
        rigid->bodyFromMaya(time, false);
        rigid->computeKinematicVelocity(frameDuration, time, after);
      }
    } else {
      rigid->applyInitialVelocities();
    }
    rigid->restoreRestTransform();
    if (cacheOn && !(waiting && !rigid->firstHitActive() && !rigid->isFracturePieceNode())) {
      rigid->clearFrameCache();
      rigid->recordFrame();
    }
  }
  for (zovCrackerNode* cracker : userNodesOf<zovCrackerNode>(crackerPlugs))
    if (cracker->isActive()) {
      cracker->storeRestPosition(time);
      cracker->placeAtCurrentPose(time);
      cracker->setVelocityFromMotion(frameDuration, time, after);
      cracker->resetToRestPosition();
    }
  for (FrameParticipant* fracture : frameParticipantsOf(fractures)) fracture->restart(time);
}

void zovSolverNode::rewindBodies(const MPlugArray& bodies, const MPlugArray& crackerPlugs,
                                 const MPlugArray& fractures) {
  if (theWorld != nullptr) theWorld->rebuild();
  const MTime start = MAnimControl::minTime();
  for (rigidBodyNode* rigid : userNodesOf<rigidBodyNode>(bodies)) {
    if (!rigid->isLive() || rigid->isFracturePieceNode()) continue;
    rigid->restoreRestTransform();
    HardBody* body = rigid->engineBody(false);
    if (body != nullptr && body->isStatic() && rigid->passiveState() == PassiveState::kDrivenByTransform)
      rigid->resetToStart(start);
  }
  for (FrameParticipant* fracture : frameParticipantsOf(fractures)) fracture->rewind();
  for (zovCrackerNode* cracker : userNodesOf<zovCrackerNode>(crackerPlugs)) {
    cracker->resetToRestPosition();
    cracker->placeAtCurrentPose(start);
  }
  MString renderer;
  MGlobal::executeCommand("modelEditor -q -rnm modelPanel4", renderer, false, false);
  int evaluationMode = 0;
  MGlobal::executeCommand("optionVar -q evaluationMode", evaluationMode, false, false);
  if (renderer == "vp2Renderer" && evaluationMode == 1) MGlobal::executeCommandOnIdle("ogs -reset");
}

void zovSolverNode::sortBodies(const MPlugArray& bodies) {
  activeBodies.clear();
  idleBodies.clear();
  for (rigidBodyNode* rigid : userNodesOf<rigidBodyNode>(bodies)) {
    if (!rigid->isLive()) continue;
    if (isWaiting(*rigid->engineBody(false)))
      idleBodies.push_back(rigid);
    else
      activeBodies.push_back(rigid);
  }
}
