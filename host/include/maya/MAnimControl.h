#pragma once

#include <maya/MStatus.h>
#include <maya/MTime.h>

/// The host's animation controls: current time, playback and animation
/// ranges, playback speed, and whether playback or scrubbing is going on.
class MAnimControl {
 public:
  static MTime currentTime();
  /// Sets the current time: time1's outTime changes and "timeChanged" is raised.
  static MStatus setCurrentTime(const MTime& time);
  /// The playback range (what plays and loops).
  static MTime minTime();
  static MTime maxTime();
  /// Setting the playback range raises "playbackRangeChanged".
  static MStatus setMinTime(const MTime& time);
  static MStatus setMaxTime(const MTime& time);
  static MStatus setMinMaxTime(const MTime& min, const MTime& max);
  /// The animation range (the whole time slider).
  static MTime animationStartTime();
  static MTime animationEndTime();
  static MStatus setAnimationStartTime(const MTime& time);
  static MStatus setAnimationEndTime(const MTime& time);
  static MStatus setAnimationStartEndTime(const MTime& start, const MTime& end);
  /// Playback speed: 0 plays every frame, 1 plays in real time.
  static double playbackSpeed();
  static MStatus setPlaybackSpeed(double speed);
  static bool isPlaying();
  static bool isScrubbing();
};
