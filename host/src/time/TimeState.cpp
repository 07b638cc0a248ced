#include "time/TimeState.h"

#include <maya/MPlug.h>

#include "core/Host.h"
#include "time/TimeNode.h"

namespace zovhost {

void TimeState::resetScene() {
  m_current = MTime(1.0, MTime::kFilm);
  m_min = MTime(1.0, MTime::kFilm);
  m_max = MTime(120.0, MTime::kFilm);
  m_animationStart = MTime(1.0, MTime::kFilm);
  m_animationEnd = MTime(200.0, MTime::kFilm);
  playbackSpeed = 1.0;
  playing = false;
  scrubbing = false;
  pushToTimeNode();
}

void TimeState::resetAll() {
  m_timeUnit = MTime::kFilm;
  m_linearUnit = MDistance::kCentimeters;
  m_angleUnit = MAngle::kDegrees;
  resetScene();
}

void TimeState::setCurrentTime(const MTime& time) {
  const bool changed = time != m_current;
  m_current = time;
  pushToTimeNode();
  if (changed) host().callbacks.raiseEvent("timeChanged");
}

void TimeState::setPlaybackRange(const MTime& min, const MTime& max) {
  const bool changed = min != m_min || max != m_max;
  m_min = min;
  m_max = max;
  if (changed) host().callbacks.raiseEvent("playbackRangeChanged");
}

void TimeState::setAnimationRange(const MTime& start, const MTime& end) {
  m_animationStart = start;
  m_animationEnd = end;
}

void TimeState::setTimeUnit(MTime::Unit unit) {
  if (unit == m_timeUnit || unit == MTime::kInvalid || unit == MTime::kLast) return;
  m_timeUnit = unit;
  host().callbacks.raiseEvent("timeUnitChanged");
}

void TimeState::setLinearUnit(MDistance::Unit unit) {
  if (unit == m_linearUnit || unit == MDistance::kInvalid || unit == MDistance::kLast) return;
  m_linearUnit = unit;
  host().callbacks.raiseEvent("linearUnitChanged");
}

void TimeState::setAngleUnit(MAngle::Unit unit) {
  if (unit == m_angleUnit || unit == MAngle::kInvalid || unit == MAngle::kLast) return;
  m_angleUnit = unit;
  host().callbacks.raiseEvent("angularUnitChanged");
}

void TimeState::createTimeNode() {
  MStatus status;
  const std::shared_ptr<NodeImpl> node = host().graph.instantiate(host().nodeTypes.find("time"), &status);
  if (!node) return;
  node->name = "time1";
  node->defaultNode = true;
  host().graph.add(node);
  m_timeNode = node;
  pushToTimeNode();
}

void TimeState::pushToTimeNode() {
  const std::shared_ptr<NodeImpl> node = m_timeNode.lock();
  if (!node || !node->inGraph) return;
  MPlug(MObject(node), TimeNode::outTime).setValue(m_current);
}

}  // namespace zovhost
