#pragma once

#include <maya/MTime.h>

#include <functional>
#include <memory>

namespace zovhost {

class CallbackRegistry;
class Graph;
class NodeImpl;
class NodeTypeRegistry;

/// The host's time: current time (mirrored by the time1 node's outTime),
/// playback and animation ranges, playback speed, and the playing and
/// scrubbing flags. Changes raise "timeChanged" and "playbackRangeChanged"
/// when the value actually changes.
class TimeState {
 public:
  /// The time1 node is made in graph from the "time" type of types.
  TimeState(Graph& graph, NodeTypeRegistry& types, CallbackRegistry& callbacks)
      : m_graph(graph), m_types(types), m_callbacks(callbacks) {}
  TimeState(const TimeState&) = delete;
  TimeState& operator=(const TimeState&) = delete;

  /// Back to the defaults: time 1, playback 1..120, animation 1..200, speed 1.
  void resetScene();

  MTime currentTime() const { return m_current; }
  void setCurrentTime(const MTime& time);
  /// Raises "timeChanged" for the current time (playback shows a frame
  /// even when the time was already there).
  void raiseTimeChanged();
  MTime minTime() const { return m_min; }
  MTime maxTime() const { return m_max; }
  MTime animationStart() const { return m_animationStart; }
  MTime animationEnd() const { return m_animationEnd; }
  void setPlaybackRange(const MTime& min, const MTime& max);
  void setAnimationRange(const MTime& start, const MTime& end);

  double playbackSpeed = 1.0;
  bool playing = false;
  bool scrubbing = false;
  /// The host runs a long operation (playback) and draws nothing meanwhile.
  bool busy = false;

  /// Runs read with the time node showing another time, without changing
  /// the current time or raising events; afterwards what follows time is
  /// dirty, so that its next read computes it at the current time again.
  void evaluateAt(const MTime& when, const std::function<void()>& read);

  /// Makes the scene's time1 node and gives it the current time.
  void createTimeNode();
  std::shared_ptr<NodeImpl> timeNode() const { return m_timeNode.lock(); }

 private:
  void pushToTimeNode(const MTime& shown);
  void pushToTimeNode() { pushToTimeNode(m_current); }

  Graph& m_graph;
  NodeTypeRegistry& m_types;
  CallbackRegistry& m_callbacks;
  MTime m_current{1.0, MTime::kFilm};
  MTime m_min{1.0, MTime::kFilm};
  MTime m_max{120.0, MTime::kFilm};
  MTime m_animationStart{1.0, MTime::kFilm};
  MTime m_animationEnd{200.0, MTime::kFilm};
  std::weak_ptr<NodeImpl> m_timeNode;
};

/// The scene's time, which the API works on; owned by the host's composition root.
TimeState& timeState();

}  // namespace zovhost
