#include <maya/MAnimControl.h>
#include <maya/MConditionMessage.h>

#include "mathtypes/StatusOut.h"
#include "time/TimeState.h"

using zovhost::setStatus;
using zovhost::timeState;

MTime MAnimControl::currentTime() { return timeState().currentTime(); }

MStatus MAnimControl::setCurrentTime(const MTime& time) {
  if (MTime::ticksPerUnit(time.unit()) == 0.0) return MS::kInvalidParameter;
  timeState().setCurrentTime(time);
  return MS::kSuccess;
}

MTime MAnimControl::minTime() { return timeState().minTime(); }
MTime MAnimControl::maxTime() { return timeState().maxTime(); }

MStatus MAnimControl::setMinTime(const MTime& time) { return setMinMaxTime(time, maxTime()); }
MStatus MAnimControl::setMaxTime(const MTime& time) { return setMinMaxTime(minTime(), time); }

MStatus MAnimControl::setMinMaxTime(const MTime& min, const MTime& max) {
  if (max < min) return MS::kInvalidParameter;
  timeState().setPlaybackRange(min, max);
  return MS::kSuccess;
}

MTime MAnimControl::animationStartTime() { return timeState().animationStart(); }
MTime MAnimControl::animationEndTime() { return timeState().animationEnd(); }

MStatus MAnimControl::setAnimationStartTime(const MTime& time) {
  return setAnimationStartEndTime(time, animationEndTime());
}

MStatus MAnimControl::setAnimationEndTime(const MTime& time) {
  return setAnimationStartEndTime(animationStartTime(), time);
}

MStatus MAnimControl::setAnimationStartEndTime(const MTime& start, const MTime& end) {
  if (end < start) return MS::kInvalidParameter;
  timeState().setAnimationRange(start, end);
  return MS::kSuccess;
}

double MAnimControl::playbackSpeed() { return timeState().playbackSpeed; }

MStatus MAnimControl::setPlaybackSpeed(double speed) {
  if (speed < 0.0) return MS::kInvalidParameter;
  timeState().playbackSpeed = speed;
  return MS::kSuccess;
}

bool MAnimControl::isPlaying() { return timeState().playing; }
bool MAnimControl::isScrubbing() { return timeState().scrubbing; }

bool MConditionMessage::getConditionState(const MString& name, MStatus* status) {
  setStatus(status, MS::kSuccess);
  if (name == "playingBack") return timeState().playing;
  if (name == "scrubbing") return timeState().scrubbing;
  if (name == "busy") return timeState().busy;
  setStatus(status, MS::kInvalidParameter);
  return false;
}
