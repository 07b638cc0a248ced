#pragma once

/// A stopwatch of wall-clock time.
class MTimer {
 public:
  MTimer();
  void beginTimer();
  void endTimer();
  /// Seconds between the last beginTimer and endTimer; 0 after clear.
  double elapsedTime();
  void clear();

 private:
  double m_begin = 0.0;
  double m_end = 0.0;
};
