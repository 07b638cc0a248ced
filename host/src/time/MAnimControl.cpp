#include <maya/MAnimControl.h>
#include <maya/MConditionMessage.h>

#include "core/Host.h"

using zovhost::host;

MTime MAnimControl::currentTime() { return host().time.currentTime(); }

MStatus MAnimControl::setCurrentTime(const MTime& time) {
  if (MTime::ticksPerUnit(time.unit()) == 0.0) return MS::kInvalidParameter;
  host().time.setCurrentTime(time);
  return MS::kSuccess;
}

MTime MAnimControl::minTime() { return host().time.minTime(); }
MTime MAnimControl::maxTime() { return host().time.maxTime(); }

MStatus MAnimControl::setMinTime(const MTime& time) { return setMinMaxTime(time, maxTime()); }
MStatus MAnimControl::setMaxTime(const MTime& time) { return setMinMaxTime(minTime(), time); }

MStatus MAnimControl::setMinMaxTime(const MTime& min, const MTime& max) {
  if (max < min) return MS::kInvalidParameter;
  host().time.setPlaybackRange(min, max);
  return MS::kSuccess;
}

MTime MAnimControl::animationStartTime() { return host().time.animationStart(); }
MTime MAnimControl::animationEndTime() { return host().time.animationEnd(); }

MStatus MAnimControl::setAnimationStartTime(const MTime& time) {
  return setAnimationStartEndTime(time, animationEndTime());
}

MStatus MAnimControl::setAnimationEndTime(const MTime& time) {
  return setAnimationStartEndTime(animationStartTime(), time);
}

MStatus MAnimControl::setAnimationStartEndTime(const MTime& start, const MTime& end) {
  if (end < start) return MS::kInvalidParameter;
  host().time.setAnimationRange(start, end);
  return MS::kSuccess;
}

double MAnimControl::playbackSpeed() { return host().time.playbackSpeed; }

MStatus MAnimControl::setPlaybackSpeed(double speed) {
  if (speed < 0.0) return MS::kInvalidParameter;
  host().time.playbackSpeed = speed;
  return MS::kSuccess;
}

bool MAnimControl::isPlaying() { return host().time.playing; }
bool MAnimControl::isScrubbing() { return host().time.scrubbing; }

bool MConditionMessage::getConditionState(const MString& name, MStatus* status) {
  if (status) *status = MS::kSuccess;
  if (name == "playingBack") return host().time.playing;
  if (name == "scrubbing") return host().time.scrubbing;
  if (status) *status = MS::kInvalidParameter;
  return false;
}
