#pragma once

#include <maya/MAngle.h>
#include <maya/MDistance.h>
#include <maya/MTime.h>

#include <memory>

namespace zovhost {

class NodeImpl;

/// The host's time: current time (mirrored by the time1 node's outTime),
/// playback and animation ranges, playback speed, playing and scrubbing
/// flags, and the user-interface units. Changes raise "timeChanged",
/// "playbackRangeChanged", "timeUnitChanged", "linearUnitChanged" and
/// "angularUnitChanged" when the value actually changes.
class TimeState {
 public:
  /// Back to the defaults: time 1, playback 1..120, animation 1..200, speed 1.
  void resetScene();
  /// Back to the default units too (film, centimetres, degrees).
  void resetAll();

  MTime currentTime() const { return m_current; }
  void setCurrentTime(const MTime& time);
  MTime minTime() const { return m_min; }
  MTime maxTime() const { return m_max; }
  MTime animationStart() const { return m_animationStart; }
  MTime animationEnd() const { return m_animationEnd; }
  void setPlaybackRange(const MTime& min, const MTime& max);
  void setAnimationRange(const MTime& start, const MTime& end);

  double playbackSpeed = 1.0;
  bool playing = false;
  bool scrubbing = false;

  MTime::Unit timeUnit() const { return m_timeUnit; }
  MDistance::Unit linearUnit() const { return m_linearUnit; }
  MAngle::Unit angleUnit() const { return m_angleUnit; }
  void setTimeUnit(MTime::Unit unit);
  void setLinearUnit(MDistance::Unit unit);
  void setAngleUnit(MAngle::Unit unit);

  /// Makes the scene's time1 node and gives it the current time.
  void createTimeNode();
  std::shared_ptr<NodeImpl> timeNode() const { return m_timeNode.lock(); }

 private:
  void pushToTimeNode();

  MTime m_current{1.0, MTime::kFilm};
  MTime m_min{1.0, MTime::kFilm};
  MTime m_max{120.0, MTime::kFilm};
  MTime m_animationStart{1.0, MTime::kFilm};
  MTime m_animationEnd{200.0, MTime::kFilm};
  MTime::Unit m_timeUnit = MTime::kFilm;
  MDistance::Unit m_linearUnit = MDistance::kCentimeters;
  MAngle::Unit m_angleUnit = MAngle::kDegrees;
  std::weak_ptr<NodeImpl> m_timeNode;
};

}  // namespace zovhost
