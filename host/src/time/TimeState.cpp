#include "time/TimeState.h"

#include <maya/MPlug.h>

#include "core/CallbackRegistry.h"
#include "dg/Graph.h"
#include "dg/NodeTypeRegistry.h"
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
  busy = false;
  pushToTimeNode();
}

void TimeState::setCurrentTime(const MTime& time) {
  const bool changed = time != m_current;
  m_current = time;
  pushToTimeNode();
  if (changed) m_callbacks.raiseEvent("timeChanged");
}

void TimeState::raiseTimeChanged() { m_callbacks.raiseEvent("timeChanged"); }

void TimeState::setPlaybackRange(const MTime& min, const MTime& max) {
  const bool changed = min != m_min || max != m_max;
  m_min = min;
  m_max = max;
  if (changed) m_callbacks.raiseEvent("playbackRangeChanged");
}

void TimeState::setAnimationRange(const MTime& start, const MTime& end) {
  m_animationStart = start;
  m_animationEnd = end;
}

void TimeState::createTimeNode() {
  MStatus status;
  const std::shared_ptr<NodeImpl> node = m_graph.instantiate(m_types.find("time"), &status);
  if (!node) return;
  node->name = "time1";
  node->defaultNode = true;
  m_graph.add(node);
  m_timeNode = node;
  pushToTimeNode();
}

void TimeState::evaluateAt(const MTime& when, const std::function<void()>& read) {
  if (when == m_current) {
    read();
    return;
  }
  pushToTimeNode(when);
  read();
  pushToTimeNode(m_current);
}

void TimeState::pushToTimeNode(const MTime& shown) {
  const std::shared_ptr<NodeImpl> node = m_timeNode.lock();
  if (!node || !node->inGraph) return;
  MPlug(MObject(node), TimeNode::outTime).setValue(shown);
}

}  // namespace zovhost
